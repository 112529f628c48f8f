#pragma once
// The coordinate unit of the hidden main form's mouse events.
#include <cstdint>

namespace murmuro::platform {

inline constexpr std::int16_t kScaleModeTwips = 1;
inline constexpr std::int16_t kScaleModePixels = 3;

class FormScale {
 public:
  virtual ~FormScale() = default;
  // kScaleModePixels when mouse coordinates arrive in pixels; any other value means twips.
  virtual std::int16_t ScaleMode() const = 0;
  // Twips per horizontal screen pixel (15 at 96 dots per inch).
  virtual float TwipsPerPixelX() const = 0;
};

}  // namespace murmuro::platform
