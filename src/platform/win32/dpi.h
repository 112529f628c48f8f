#pragma once
// Dots per inch of a window or monitor, and sizes for them. The per-DPI calls came with
// Windows 8.1 and 10 and are looked up at run time; where they are missing the screen's DPI and
// the system's metrics stand.
#include <windows.h>

#include "platform/win32/handles.h"

namespace murmuro::win32 {

// The DPI the window is drawn at (its monitor's, in a per-monitor aware program).
int WindowDpi(HWND window) noexcept;

// The DPI of the primary monitor, where the taskbar shows the notification area.
int PrimaryMonitorDpi() noexcept;

// A GetSystemMetrics value (SM_...) for `dpi`.
int SystemMetricForDpi(int metric, int dpi) noexcept;

// The icon resource `id` at the small-icon size for `dpi` (tray, captions); null if it cannot be
// loaded. Owned: a shared icon would come back in whatever size was loaded first.
UniqueIcon LoadSmallIcon(HINSTANCE instance, int id, int dpi) noexcept;

// The same at the notification area's DPI.
UniqueIcon LoadTrayIcon(HINSTANCE instance, int id) noexcept;

}  // namespace murmuro::win32
