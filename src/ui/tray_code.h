#pragma once
// The shell puts the code of the mouse message that happened over the tray icon where the
// horizontal coordinate of a mouse move belongs; the form sees it in its coordinate unit.
#include <cstdint>
#include <optional>

namespace murmuro {

inline constexpr std::int32_t kWmRButtonUp = 517;

// Nearest integer, halves to the even neighbour; nullopt when not finite or outside 32 bits.
std::optional<std::int32_t> RoundHalfEven(double value) noexcept;

// The message code from X: rounded as it is in pixels (scale mode 3), else divided by the
// twips per pixel first. nullopt when it cannot be a code.
std::optional<std::int32_t> TrayNotificationCode(float x, std::int16_t scaleMode,
                                                 float twipsPerPixelX) noexcept;

}  // namespace murmuro
