#pragma once
// How often reading was switched on. The capture lanes read it as each capture begins, so a
// result is judged by the switch as it stood when the client was read, not when it was asked.
#include <atomic>
#include <cstdint>

namespace murmuro {

using SwitchCount = std::atomic<std::uint32_t>;

}  // namespace murmuro
