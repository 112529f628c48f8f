#include "platform/win32/win32_window_system.h"

#include <exception>

static_assert(murmuro::platform::kErrorAccessDenied == ERROR_ACCESS_DENIED);

namespace murmuro::win32 {
namespace {

// What the trampoline carries through the enumeration's LPARAM.
struct Enumeration {
  const platform::EnumProc* proc;
  std::int32_t context;
  std::exception_ptr failure;
};

BOOL CALLBACK Trampoline(HWND window, LPARAM param) noexcept {
  auto* e = reinterpret_cast<Enumeration*>(param);
  try {
    return (*e->proc)(FromHwnd(window), e->context) != 0 ? TRUE : FALSE;
  } catch (...) {
    e->failure = std::current_exception();
    return FALSE;
  }
}

void Rethrow(const Enumeration& e) {
  if (e.failure) std::rethrow_exception(e.failure);
}

}  // namespace

void Win32WindowSystem::EnumWindows(const platform::EnumProc& proc, std::int32_t context) {
  Enumeration e{&proc, context, nullptr};
  ::EnumWindows(Trampoline, reinterpret_cast<LPARAM>(&e));
  Rethrow(e);
}

void Win32WindowSystem::EnumChildWindows(Hwnd parent, const platform::EnumProc& proc,
                                         std::int32_t context) {
  Enumeration e{&proc, context, nullptr};
  ::EnumChildWindows(ToHwnd(parent), Trampoline, reinterpret_cast<LPARAM>(&e));
  Rethrow(e);
}

int Win32WindowSystem::GetWindowTextLengthA(Hwnd window) {
  return ::GetWindowTextLengthA(ToHwnd(window));
}

int Win32WindowSystem::GetWindowTextA(Hwnd window, char* buffer, int maxCount) {
  return ::GetWindowTextA(ToHwnd(window), buffer, maxCount);
}

int Win32WindowSystem::GetClassNameA(Hwnd window, char* buffer, int maxCount) {
  return ::GetClassNameA(ToHwnd(window), buffer, maxCount);
}

std::uint32_t Win32WindowSystem::RegisterWindowMessageA(const char* name) {
  return ::RegisterWindowMessageA(name);
}

std::intptr_t Win32WindowSystem::SendMessageTimeoutA(Hwnd window, std::uint32_t message,
                                                     std::uintptr_t wParam, std::intptr_t lParam,
                                                     std::uint32_t flags, std::uint32_t timeoutMs,
                                                     std::uintptr_t* result, std::uint32_t* error) {
  // Start from the caller's value: the system leaves the result alone when nothing answers.
  DWORD_PTR answer = result ? *result : 0;
  ::SetLastError(ERROR_SUCCESS);
  const LRESULT sent = ::SendMessageTimeoutA(ToHwnd(window), message, static_cast<WPARAM>(wParam),
                                             static_cast<LPARAM>(lParam), flags, timeoutMs, &answer);
  if (error) *error = sent == 0 ? ::GetLastError() : ERROR_SUCCESS;
  if (result) *result = answer;
  return static_cast<std::intptr_t>(sent);
}

Hwnd Win32WindowSystem::GetForegroundWindow() { return FromHwnd(::GetForegroundWindow()); }

bool Win32WindowSystem::IsWindow(Hwnd window) { return ::IsWindow(ToHwnd(window)) != FALSE; }

std::uint32_t Win32WindowSystem::GetWindowThreadProcessId(Hwnd window, std::uint32_t* processId) {
  DWORD process = 0;
  const DWORD thread = ::GetWindowThreadProcessId(ToHwnd(window), &process);
  if (processId) *processId = thread ? process : 0;
  return thread;
}

Hwnd Win32WindowSystem::GetAncestor(Hwnd window, std::uint32_t flags) {
  return FromHwnd(::GetAncestor(ToHwnd(window), flags));
}

}  // namespace murmuro::win32
