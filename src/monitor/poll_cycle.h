#pragma once
// The once-a-second poll over the known views: capture each, speak the lines that are new,
// remember what each view showed, and rescan when a conversation opened or a view has gone.
#include <cstddef>

#include "core/state.h"
#include "imwindows/discovery.h"
#include "platform/lower_case.h"

namespace murmuro {

struct MonitorContext {
  ProgramState& state;
  ScanContext scan;
  const platform::LowerCase& lower;
  platform::VoiceFactory& voices;
};

// Flags for every phrase: never wait for the speech, and never read the text as markup.
inline constexpr std::uint32_t kSpeakFlags = platform::SVSFlagsAsync | platform::SVSFIsNotXML;

class PollCycle {
 public:
  explicit PollCycle(MonitorContext ctx) : ctx_(ctx) {}

  // One tick. Never throws. Does nothing while another tick runs (a cross-process call may pump
  // messages) or while the poll timer is off (a timer message left over from before a scan).
  void Timer2_Timer() noexcept;

 private:
  enum class After { kNextView, kEndTick };
  void Tick();
  After VisitView(std::size_t position);
  void Speak(const Text& phrase);

  MonitorContext ctx_;
  bool ticking_ = false;
};

}  // namespace murmuro
