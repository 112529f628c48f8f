#pragma once
// A voice that records what it is asked to speak; it can refuse (an HRESULT) or throw. A purge
// is recorded as an empty text with the purge and asynchronous flags. Its status is what the test
// sets.
#include <memory>
#include <optional>
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
  std::int32_t Purge() override {
    return Speak(Text(), platform::SVSFlagsAsync | platform::SVSFPurgeBeforeSpeak);
  }
  std::optional<platform::VoiceStatus> Status() override {
    ++statusReads;
    return status;
  }
  // Every call, refused or not.
  std::vector<Spoken> calls;
  std::optional<platform::VoiceStatus> status;  // empty: the voice cannot tell
  int statusReads = 0;
  std::int32_t result = 0;  // negative: refused
  bool throws = false;
};

// Hands out the voices queued in `next`, then nothing.
class FakeVoiceFactory final : public platform::VoiceFactory {
 public:
  std::shared_ptr<platform::Voice> Create() override {
    ++created;
    if (next.empty()) return nullptr;
    auto voice = next.front();
    next.erase(next.begin());
    return voice;
  }
  std::vector<std::shared_ptr<FakeVoice>> next;
  int created = 0;  // requests, answered or not
};

}  // namespace murmuro::fakes
