#pragma once
// The hidden main window: a top-level window that is never shown. It exists to receive the
// poll timer, the tray icon's notifications and the shell's "TaskbarCreated" broadcast (which
// only reaches top-level windows).
#include <windows.h>

#include <cstdint>
#include <functional>

#include "platform/win32/handles.h"

namespace murmuro::app {

inline constexpr UINT_PTR kPollTimerId = 2;
inline constexpr UINT_PTR kIconRetryTimerId = 3;
// The registered message by which an installer asks Murmuro to end; wParam is the GetTickCount
// value after which the request no longer counts.
inline constexpr wchar_t kCloseRequestName[] = L"MurmuroCloseRequest";
// Posted by a capture lane when results wait; it carries nothing.
inline constexpr UINT kCapturesFinishedMessage = WM_APP + 1;

struct MainWindowEvents {
  std::function<void()> Timer;
  std::function<void()> IconRetryTimer;
  // The mouse message that happened over the tray icon (WM_RBUTTONUP, ...).
  std::function<void(std::uint32_t code)> TrayNotify;
  // The shell restarted, or the display's settings changed: the tray icon is handed over afresh.
  std::function<void()> TaskbarCreated;
  // WM_CLOSE, or an installer's request in time: unload the form as the menu's Exit would.
  std::function<void()> Close;
  // WM_ENDSESSION for a session that ends.
  std::function<void()> EndSession;
  // Captures came back from the lanes.
  std::function<void()> CapturesFinished;
};

// Creates the window with the caption "Murmuro" and the program icon. `events` must outlive it.
win32::UniqueHwnd CreateMainWindow(HINSTANCE instance, HICON icon, MainWindowEvents& events);

}  // namespace murmuro::app
