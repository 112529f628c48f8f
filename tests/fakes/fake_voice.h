#pragma once
// A voice that records what it is asked to speak; it can refuse (an HRESULT) or throw.
#include <stdexcept>
#include <vector>

#include "platform/voice.h"

namespace murmuro::fakes {

struct Spoken {
  Text text;
  std::uint32_t flags = 0;
  bool operator==(const Spoken&) const = default;
};

class FakeVoice final : public platform::Voice {
 public:
  std::int32_t Speak(const Text& text, std::uint32_t flags) override {
    calls.push_back(Spoken{text, flags});
    if (throws) throw std::runtime_error("speech runtime failed");
    return result;
  }
  // Every call, refused or not.
  std::vector<Spoken> calls;
  std::int32_t result = 0;  // negative: refused
  bool throws = false;
};

}  // namespace murmuro::fakes
