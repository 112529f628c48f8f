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

int PrimaryMonitorDpi() noexcept {
  // MDT_EFFECTIVE_DPI is 0; shellscalingapi.h would also pull in shcore's import library.
  using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
  const UniqueModule shcore(::LoadLibraryExW(L"shcore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
  const auto get = Lookup<GetDpiForMonitorFn>(shcore.get(), "GetDpiForMonitor");
  UINT dpiX = 0;
  UINT dpiY = 0;
  if (get && SUCCEEDED(get(::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), 0, &dpiX, &dpiY)) &&
      dpiY > 0) {
    return static_cast<int>(dpiY);
  }
  return ScreenDpi(LOGPIXELSY);
}

int SystemMetricForDpi(int metric, int dpi) noexcept {
  using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);
  const auto get = Lookup<GetSystemMetricsForDpiFn>(User32(), "GetSystemMetricsForDpi");
  const int value = get && dpi > 0 ? get(metric, static_cast<UINT>(dpi)) : 0;
  return value > 0 ? value : ::GetSystemMetrics(metric);
}

UniqueIcon LoadSmallIcon(HINSTANCE instance, int id, int dpi) noexcept {
  return UniqueIcon(static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON,
                                                    SystemMetricForDpi(SM_CXSMICON, dpi),
                                                    SystemMetricForDpi(SM_CYSMICON, dpi), 0)));
}

UniqueIcon LoadTrayIcon(HINSTANCE instance, int id) noexcept { return LoadSmallIcon(instance, id, PrimaryMonitorDpi()); }

}  // namespace murmuro::win32
