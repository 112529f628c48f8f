#pragma once
// An installer's request that Murmuro end, as WM_CLOSE asks, but only until a deadline: the
// installer gives up waiting then and leaves Murmuro running, so a request read later (the
// program was busy) must not end it.
#include <cstdint>

namespace murmuro {

// How long after it asks the installer waits for Murmuro to take the request.
inline constexpr std::uint32_t kCloseRequestMs = 20000;

// Both are millisecond tick counts, which wrap around every 49.7 days: the deadline has passed
// when it lies less than half that cycle before `now`.
constexpr bool CloseRequestInTime(std::uint32_t deadline, std::uint32_t now) noexcept {
  return static_cast<std::int32_t>(deadline - now) >= 0;
}

}  // namespace murmuro
