#pragma once
// The speech voice. Speak hands the text over and returns without waiting for the speech.
#include <cstdint>
#include <memory>

#include "base/text.h"

namespace murmuro::platform {

inline constexpr std::uint32_t SVSFlagsAsync = 1;
inline constexpr std::uint32_t SVSFPurgeBeforeSpeak = 2;
inline constexpr std::uint32_t SVSFIsNotXML = 16;

class Voice {
 public:
  virtual ~Voice() = default;
  // An HRESULT: negative when the speech runtime refused the text.
  virtual std::int32_t Speak(const Text& text, std::uint32_t flags) = 0;
  // Drops everything queued and stops the sentence being spoken; an HRESULT.
  virtual std::int32_t Purge() = 0;
};

// Makes a fresh voice, for when the old one has stopped working (the audio device went away,
// the speech service restarted). Empty when none can be made now.
class VoiceFactory {
 public:
  virtual ~VoiceFactory() = default;
  virtual std::shared_ptr<Voice> Create() = 0;
};

}  // namespace murmuro::platform
