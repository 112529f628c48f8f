#include "app/main_window.h"

#include "ui/close_request.h"
#include "ui/icon_to_sys_tray.h"

namespace murmuro::app {
namespace {

constexpr wchar_t kClassName[] = L"MurmuroMain";

void Fire(const std::function<void()>& event) noexcept {
  try {
    if (event) event();
  } catch (...) {
    // Nothing may cross the window procedure; the handlers report nothing either.
  }
}

// The shell's broadcast after it restarts; 0 when it cannot be registered.
UINT TaskbarCreatedMessage() noexcept {
  static const UINT message = RegisterWindowMessageW(L"TaskbarCreated");
  return message;
}

// An installer's request to end before a deadline; 0 when it cannot be registered.
UINT CloseRequestMessage() noexcept {
  static const UINT message = RegisterWindowMessageW(kCloseRequestName);
  return message;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* events = reinterpret_cast<MainWindowEvents*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  const UINT taskbarCreated = TaskbarCreatedMessage();
  const UINT closeRequest = CloseRequestMessage();
  if (events) {
    if (message == WM_TIMER && (wParam == kPollTimerId || wParam == kIconRetryTimerId)) {
      Fire(wParam == kPollTimerId ? events->Timer : events->IconRetryTimer);
      return 0;
    }
    if (message == kTrayCallbackMessage) {
      // The icon's callback reuses the window's own mouse-move number; the code is in lParam.
      const auto code = static_cast<std::uint32_t>(LOWORD(lParam));
      Fire([&] { if (events->TrayNotify) events->TrayNotify(code); });
      return 0;
    }
    if (message == kCapturesFinishedMessage) {
      Fire(events->CapturesFinished);
      return 0;
    }
    if (message == taskbarCreated && taskbarCreated != 0) {
      Fire(events->TaskbarCreated);
      return 0;
    }
    if (message == WM_SETTINGCHANGE || message == WM_DISPLAYCHANGE) {
      // The primary monitor's scale may have changed, and with it the notification area's icon
      // size: the icon is loaded afresh and handed over as after the shell's restart.
      Fire(events->TaskbarCreated);
      return 0;
    }
    if (message == WM_CLOSE) {
      Fire(events->Close);
      return 0;
    }
    if (message == closeRequest && closeRequest != 0) {
      // The installer has given up once the deadline passed, and leaves Murmuro running.
      if (CloseRequestInTime(static_cast<std::uint32_t>(wParam), GetTickCount())) Fire(events->Close);
      return 0;
    }
    if (message == WM_ENDSESSION && wParam) {
      Fire(events->EndSession);
      return 0;
    }
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

win32::UniqueHwnd CreateMainWindow(HINSTANCE instance, HICON icon, MainWindowEvents& events) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hIcon = icon;
  wc.lpszClassName = kClassName;
  RegisterClassExW(&wc);
  // WS_POPUP and never shown: no taskbar button, nothing drawn.
  win32::UniqueHwnd window(CreateWindowExW(WS_EX_TOOLWINDOW, kClassName, L"Murmuro", WS_POPUP, 0, 0, 0, 0,
                                           nullptr, nullptr, instance, &events));
  // Run as administrator, the window would not hear the shell's restart (its icon would never
  // come back) nor an installer's request to close: Windows drops messages that come from less
  // trusted processes unless the window lets them in. Nothing else is let in.
  if (window) {
    for (const UINT message : {TaskbarCreatedMessage(), static_cast<UINT>(WM_CLOSE), CloseRequestMessage()}) {
      if (message != 0) ChangeWindowMessageFilterEx(window.get(), message, MSGFLT_ALLOW, nullptr);
    }
  }
  return window;
}

}  // namespace murmuro::app
