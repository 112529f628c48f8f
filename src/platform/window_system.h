#pragma once
// The window manager calls the scan, the capture and the poll tick make (8-bit forms).
#include <cstdint>
#include <functional>

#include "base/text.h"

namespace murmuro::platform {

inline constexpr std::uint32_t kSmtoAbortIfHung = 2;
// windows.h makes this name a macro of the same value; files that include it use the k-name.
#ifndef SMTO_ABORTIFHUNG
inline constexpr std::uint32_t SMTO_ABORTIFHUNG = kSmtoAbortIfHung;
#endif

inline constexpr std::uint32_t kGaRoot = 2;

// The error a message to a process of a higher integrity level fails with (an IM client run as
// administrator): such a process takes no registered message from us.
inline constexpr std::uint32_t kErrorAccessDenied = 5;

// Called once per enumerated window with the context value; return nonzero to go on.
using EnumProc = std::function<std::int32_t(Hwnd window, std::int32_t context)>;

class WindowSystem {
 public:
  virtual ~WindowSystem() = default;
  // Results of the enumerations are not consulted, so they return nothing.
  virtual void EnumWindows(const EnumProc& proc, std::int32_t context) = 0;
  virtual void EnumChildWindows(Hwnd parent, const EnumProc& proc, std::int32_t context) = 0;
  virtual int GetWindowTextLengthA(Hwnd window) = 0;
  virtual int GetWindowTextA(Hwnd window, char* buffer, int maxCount) = 0;
  virtual int GetClassNameA(Hwnd window, char* buffer, int maxCount) = 0;
  virtual std::uint32_t RegisterWindowMessageA(const char* name) = 0;
  // The answer goes to *result; the return value is the call's own (0 on failure or time-out),
  // and then *error, when asked for, says why (the system's error code; 0 when it gave none).
  virtual std::intptr_t SendMessageTimeoutA(Hwnd window, std::uint32_t message, std::uintptr_t wParam,
                                            std::intptr_t lParam, std::uint32_t flags,
                                            std::uint32_t timeoutMs, std::uintptr_t* result,
                                            std::uint32_t* error = nullptr) = 0;
  virtual Hwnd GetForegroundWindow() = 0;
  virtual bool IsWindow(Hwnd window) = 0;
  // The thread that owns the window (0 when it has gone) and, in *processId, its process.
  virtual std::uint32_t GetWindowThreadProcessId(Hwnd window, std::uint32_t* processId) = 0;
  // With kGaRoot: the top-level window the window stands in now; 0 when it has gone.
  virtual Hwnd GetAncestor(Hwnd window, std::uint32_t flags) = 0;
};

}  // namespace murmuro::platform
