#include "platform/win32/win32_popup_menu.h"

#include <cstdint>
#include <limits>
#include <stdexcept>
#include <system_error>

namespace murmuro::win32 {
namespace {

[[noreturn]] void ThrowLastError(const char* what) {
  throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(), what);
}

}  // namespace

UniqueMenu BuildPopupMenu(std::span<const platform::MenuItem> items) {
  if (items.size() > static_cast<std::size_t>(std::numeric_limits<std::int16_t>::max())) {
    throw std::length_error("too many menu items");
  }
  UniqueMenu menu(::CreatePopupMenu());
  if (!menu) ThrowLastError("CreatePopupMenu");
  UINT_PTR id = 1;
  for (const platform::MenuItem& item : items) {
    BOOL added;
    if (item.Caption == u"-") {
      added = ::AppendMenuW(menu.get(), MF_SEPARATOR, id, nullptr);
    } else {
      const UINT flags = MF_STRING | (item.Checked ? MF_CHECKED : MF_UNCHECKED);
      added = ::AppendMenuW(menu.get(), flags, id, reinterpret_cast<const wchar_t*>(item.Caption.c_str()));
    }
    if (!added) ThrowLastError("AppendMenuW");
    ++id;
  }
  return menu;
}

std::optional<std::int16_t> Win32PopupMenu::PopupAtMouse(std::span<const platform::MenuItem> items) {
  const UniqueMenu menu = BuildPopupMenu(items);
  POINT at{};
  ::GetCursorPos(&at);
  // Without the foreground the menu would not close on a click elsewhere; the posted WM_NULL
  // lets a second opening work at once (both as the shell expects of tray menus).
  ::SetForegroundWindow(owner_);
  const UINT flags = TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY;
  const BOOL chosen = ::TrackPopupMenu(menu.get(), flags, at.x, at.y, 0, owner_, nullptr);
  ::PostMessageW(owner_, WM_NULL, 0, 0);
  if (chosen <= 0 || static_cast<std::size_t>(chosen) > items.size()) return std::nullopt;
  return static_cast<std::int16_t>(chosen - 1);
}

}  // namespace murmuro::win32
