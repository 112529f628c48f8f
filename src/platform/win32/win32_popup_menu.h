#pragma once
// The tray icon's popup menu: TrackPopupMenu at the mouse position, owned by the hidden window.
#include <windows.h>

#include "platform/popup_menu.h"
#include "platform/win32/handles.h"

namespace murmuro::win32 {

// The menu for `items`: item i gets command id i + 1 (0 is TrackPopupMenu's "nothing chosen");
// a "-" caption becomes a separator. Throws std::system_error when the system refuses.
UniqueMenu BuildPopupMenu(std::span<const platform::MenuItem> items);

class Win32PopupMenu final : public platform::PopupMenu {
 public:
  // `owner` receives the menu's messages; the program passes its hidden main window.
  explicit Win32PopupMenu(HWND owner) noexcept : owner_(owner) {}

  // Runs the menu's modal loop, which keeps dispatching the thread's other messages (timer
  // ticks go on) until the menu closes.
  std::optional<std::int16_t> PopupAtMouse(std::span<const platform::MenuItem> items) override;

 private:
  HWND owner_;
};

}  // namespace murmuro::win32
