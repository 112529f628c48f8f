#pragma once
// The once-a-second poll over the known views: hand out a capture of each, and as their results
// come back, speak the lines that are new and remember what each view showed; rescan when a
// conversation opened or a view has gone. Nothing here waits for a client.
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

  // One tick: first the results that came back, then a capture for every listed view whose last
  // one is back. Never throws. Does nothing inside another tick or handling (a call may pump
  // messages) or while the poll timer is off (the program is ending, a start-up failure is on
  // show, or a timer message is left over from before a scan).
  void Timer2_Timer() noexcept;
  // Captures came back: handles them now, on the same terms as a tick runs.
  void CapturesFinished() noexcept;

 private:
  void Tick();
  void HandleFinished();
  void Handle(const FinishedCapture& finished);
  void Rescan();
  void Speak(const Text& phrase);
  bool Running() noexcept;

  MonitorContext ctx_;
  bool busy_ = false;
  bool rescanDue_ = false;  // a view answered nothing and its window has gone
};

}  // namespace murmuro
