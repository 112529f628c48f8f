#pragma once
// The window manager's 8-bit calls, handles converted at the call.
#include <windows.h>

#include "platform/window_system.h"

namespace murmuro::win32 {

// Window handles fit 32 bits on every Windows, also x64 (they are shared across processes).
inline HWND ToHwnd(Hwnd window) noexcept { return static_cast<HWND>(LongToHandle(window)); }
inline Hwnd FromHwnd(HWND window) noexcept { return static_cast<Hwnd>(HandleToLong(window)); }

class Win32WindowSystem final : public platform::WindowSystem {
 public:
  // An exception from `proc` stops the enumeration and is rethrown once the system call has
  // returned: it never unwinds through the window manager's frames.
  void EnumWindows(const platform::EnumProc& proc, std::int32_t context) override;
  void EnumChildWindows(Hwnd parent, const platform::EnumProc& proc, std::int32_t context) override;
  int GetWindowTextLengthA(Hwnd window) override;
  int GetWindowTextA(Hwnd window, char* buffer, int maxCount) override;
  int GetClassNameA(Hwnd window, char* buffer, int maxCount) override;
  std::uint32_t RegisterWindowMessageA(const char* name) override;
  std::intptr_t SendMessageTimeoutA(Hwnd window, std::uint32_t message, std::uintptr_t wParam,
                                    std::intptr_t lParam, std::uint32_t flags,
                                    std::uint32_t timeoutMs, std::uintptr_t* result,
                                    std::uint32_t* error = nullptr) override;
  Hwnd GetForegroundWindow() override;
  bool IsWindow(Hwnd window) override;
  std::uint32_t GetWindowThreadProcessId(Hwnd window, std::uint32_t* processId) override;
  Hwnd GetAncestor(Hwnd window, std::uint32_t flags) override;
};

}  // namespace murmuro::win32
