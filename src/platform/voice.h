#pragma once
// The speech voice. Speak hands the text over and returns without waiting for the speech.
#include <cstdint>
#include <memory>
#include <optional>

#include "base/text.h"

namespace murmuro::platform {

inline constexpr std::uint32_t SVSFlagsAsync = 1;
inline constexpr std::uint32_t SVSFPurgeBeforeSpeak = 2;
inline constexpr std::uint32_t SVSFIsNotXML = 16;

// The running state's bits.
inline constexpr std::uint32_t kVoiceDone = 1;      // SPRS_DONE: everything queued has been spoken
inline constexpr std::uint32_t kVoiceSpeaking = 2;  // SPRS_IS_SPEAKING

// What a voice tells of its speaking. A text handed over returns at once, so a failure while it
// is spoken (its audio device went away) shows only here.
struct VoiceStatus {
  std::int32_t lastResult = 0;  // an HRESULT: negative once speaking has failed
  std::uint32_t runningState = 0;
  std::uint32_t currentStream = 0;     // the text being spoken, counted from the first handed over
  std::uint32_t lastStreamQueued = 0;  // 0 while nothing was handed over
  std::uint32_t wordPosition = 0;      // where in its text the voice is
  std::uint32_t sentencePosition = 0;
  bool operator==(const VoiceStatus&) const = default;
};

class Voice {
 public:
  virtual ~Voice() = default;
  // An HRESULT: negative when the speech runtime refused the text.
  virtual std::int32_t Speak(const Text& text, std::uint32_t flags) = 0;
  // Drops everything queued and stops the sentence being spoken, without waiting for the audio
  // device; an HRESULT.
  virtual std::int32_t Purge() = 0;
  // Empty when the voice cannot tell.
  virtual std::optional<VoiceStatus> Status() = 0;
};

// Makes a fresh voice, for when the old one has stopped working (the audio device went away,
// the speech service restarted). Empty when none can be made now.
class VoiceFactory {
 public:
  virtual ~VoiceFactory() = default;
  virtual std::shared_ptr<Voice> Create() = 0;
};

}  // namespace murmuro::platform
