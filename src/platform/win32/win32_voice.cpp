#include "platform/win32/win32_voice.h"

#include <windows.h>
#include <sapi.h>
#include <wrl/client.h>

#include <cstdio>

namespace murmuro::win32 {
namespace {

// SAPI's flag values are the automation names' values; the portable code uses the latter.
static_assert(platform::SVSFlagsAsync == SPF_ASYNC);
static_assert(platform::SVSFIsNotXML == SPF_IS_NOT_XML);
static_assert(platform::SVSFPurgeBeforeSpeak == SPF_PURGEBEFORESPEAK);
static_assert(platform::kVoiceDone == SPRS_DONE);
static_assert(platform::kVoiceSpeaking == SPRS_IS_SPEAKING);

class SystemVoice final : public platform::Voice {
 public:
  explicit SystemVoice(Microsoft::WRL::ComPtr<ISpVoice> voice) : voice_(std::move(voice)) {}
  std::int32_t Speak(const Text& text, std::uint32_t flags) override {
    static_assert(sizeof(wchar_t) == sizeof(char16_t));
    return voice_->Speak(reinterpret_cast<const wchar_t*>(text.c_str()), flags, nullptr);
  }
  // No text: only the purge. Asynchronous: a synchronous call waits for a busy audio device,
  // and the purge comes before the save at a session's end.
  std::int32_t Purge() override { return voice_->Speak(nullptr, SPF_ASYNC | SPF_PURGEBEFORESPEAK, nullptr); }
  std::optional<platform::VoiceStatus> Status() override {
    SPVOICESTATUS status{};
    if (FAILED(voice_->GetStatus(&status, nullptr))) return std::nullopt;
    return platform::VoiceStatus{status.hrLastResult,   status.dwRunningState,  status.ulCurrentStream,
                                 status.ulLastStreamQueued, status.ulInputWordPos, status.ulInputSentPos};
  }

 private:
  Microsoft::WRL::ComPtr<ISpVoice> voice_;
};

}  // namespace

std::shared_ptr<platform::Voice> CreateSystemVoice(std::string& error) {
  Microsoft::WRL::ComPtr<ISpVoice> voice;
  const HRESULT hr = ::CoCreateInstance(CLSID_SpVoice, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&voice));
  if (FAILED(hr) || !voice) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
    error = std::string("No speech voice could be created (error ") + code +
            "). Speech (SAPI 5) must be installed and working.";
    return nullptr;
  }
  return std::make_shared<SystemVoice>(std::move(voice));
}

}  // namespace murmuro::win32
