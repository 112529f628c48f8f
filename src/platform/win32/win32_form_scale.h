#pragma once
// The hidden main form's coordinate unit: pixels, with the screen's twips per pixel beside them.
#include <windows.h>

#include "platform/form_scale.h"

namespace murmuro::win32 {

// Dots per inch of the screen along one axis (LOGPIXELSX or LOGPIXELSY); 96 if it cannot be read.
inline int ScreenDpi(int axis) noexcept {
  HDC screen = ::GetDC(nullptr);
  const int dpi = screen ? ::GetDeviceCaps(screen, axis) : 0;
  if (screen) ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

class Win32FormScale final : public platform::FormScale {
 public:
  // Read once, at start-up. The form counts in pixels, so this figure is only reported: a later
  // change of the screen's scale leaves the tray codes as they are.
  Win32FormScale() noexcept : twipsPerPixelX_(1440.0f / static_cast<float>(ScreenDpi(LOGPIXELSX))) {}

  std::int16_t ScaleMode() const override { return platform::kScaleModePixels; }
  float TwipsPerPixelX() const override { return twipsPerPixelX_; }

 private:
  float twipsPerPixelX_;
};

}  // namespace murmuro::win32
