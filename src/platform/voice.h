#pragma once
// The speech voice. Speak hands the text over and returns without waiting for the speech.
#include <cstdint>

#include "base/text.h"

namespace murmuro::platform {

inline constexpr std::uint32_t SVSFlagsAsync = 1;
inline constexpr std::uint32_t SVSFIsNotXML = 16;

class Voice {
 public:
  virtual ~Voice() = default;
  // An HRESULT: negative when the speech runtime refused the text.
  virtual std::int32_t Speak(const Text& text, std::uint32_t flags) = 0;
};

}  // namespace murmuro::platform
