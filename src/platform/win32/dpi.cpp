#include "platform/win32/dpi.h"

#include "platform/win32/win32_form_scale.h"

namespace murmuro::win32 {
namespace {

template <class Function>
Function Lookup(HMODULE module, const char* name) noexcept {
  return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name))) : nullptr;
}

HMODULE User32() noexcept { return ::GetModuleHandleW(L"user32.dll"); }

}  // namespace

int WindowDpi(HWND window) noexcept {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  const auto get = Lookup<GetDpiForWindowFn>(User32(), "GetDpiForWindow");
  const UINT dpi = get && window ? get(window) : 0;
  return dpi > 0 ? static_cast<int>(dpi) : ScreenDpi(LOGPIXELSY);
}

}  // namespace murmuro::win32
