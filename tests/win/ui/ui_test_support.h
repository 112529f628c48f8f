#pragma once
// Shared by the user-interface tests: the program's icon from the test's own resources, and a
// message pump that feeds the options dialog's keyboard handling as the program's loop does.
#include <windows.h>

#include <string>

#include "app/resource_ids.h"
#include "base/text.h"
#include "platform/win32/handles.h"

namespace murmuro::wintest {

inline win32::UniqueIcon ProgramIcon(int size) {
  return win32::UniqueIcon(static_cast<HICON>(
      ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_MURMURO), IMAGE_ICON, size, size, 0)));
}

// Dispatches what is queued for this thread; `filter` may take a message first.
template <class Filter>
void Pump(Filter&& filter) {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (filter(msg)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}
inline void Pump() {
  Pump([](MSG&) { return false; });
}

inline Text WindowText(HWND window) {
  const int length = ::GetWindowTextLengthW(window);
  Text text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, u'\0');
  const int n = ::GetWindowTextW(window, reinterpret_cast<wchar_t*>(text.data()), length + 1);
  text.resize(static_cast<std::size_t>(n > 0 ? n : 0));
  return text;
}

inline std::string ClassName(HWND window) {
  char name[64] = {};
  const int n = ::GetClassNameA(window, name, sizeof name);
  return std::string(name, n > 0 ? static_cast<std::size_t>(n) : 0);
}

// The window's rectangle in its parent's client coordinates.
inline RECT RectInParent(HWND child) {
  RECT r{};
  ::GetWindowRect(child, &r);
  ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

}  // namespace murmuro::wintest
