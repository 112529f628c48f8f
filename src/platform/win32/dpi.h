#pragma once
// Dots per inch of a window, and sizes for them. The per-DPI calls came with Windows 8.1 and 10
// and are looked up at run time; where they are missing the screen's DPI stands.
#include <windows.h>

namespace murmuro::win32 {

// The DPI the window is drawn at (its monitor's, in a per-monitor aware program).
int WindowDpi(HWND window) noexcept;

}  // namespace murmuro::win32
