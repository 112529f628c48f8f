#pragma once
// The system's SAPI voice. Speak queues the text and returns; queued texts are spoken in order.
#include <memory>
#include <string>

#include "platform/voice.h"

namespace murmuro::win32 {

// The voice, or empty with `error` saying why (speech runtime missing or broken).
// COM must be initialised on the calling thread.
std::shared_ptr<platform::Voice> CreateSystemVoice(std::string& error);

class SystemVoiceFactory final : public platform::VoiceFactory {
 public:
  std::shared_ptr<platform::Voice> Create() override {
    std::string ignored;
    return CreateSystemVoice(ignored);
  }
};

}  // namespace murmuro::win32
