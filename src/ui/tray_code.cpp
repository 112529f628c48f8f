#include "ui/tray_code.h"

#include <cmath>
#include <limits>

#include "platform/form_scale.h"

namespace murmuro {

std::optional<std::int32_t> RoundHalfEven(double value) noexcept {
  if (!std::isfinite(value)) return std::nullopt;
  const double below = std::floor(value);
  const double fraction = value - below;
  double rounded = below;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(below, 2.0) != 0.0)) rounded = below + 1.0;
  if (rounded < std::numeric_limits<std::int32_t>::min() ||
      rounded > std::numeric_limits<std::int32_t>::max()) {
    return std::nullopt;
  }
  return static_cast<std::int32_t>(rounded);
}

std::optional<std::int32_t> TrayNotificationCode(float x, std::int16_t scaleMode,
                                                 float twipsPerPixelX) noexcept {
  if (scaleMode == platform::kScaleModePixels) return RoundHalfEven(x);
  // Single by single stays single, as the form's arithmetic does.
  const float pixels = x / twipsPerPixelX;
  return RoundHalfEven(pixels);
}

}  // namespace murmuro
