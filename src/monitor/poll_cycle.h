#pragma once
// The once-a-second poll over the known views: hand out a capture of each, and as their results
// come back, speak the lines that are new and remember what each view showed; rescan when a
// conversation opened or a view has gone. Nothing here waits for a client.
#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <optional>

#include "core/state.h"
#include "imwindows/discovery.h"
#include "platform/lower_case.h"

namespace murmuro {

struct MonitorContext {
  ProgramState& state;
  ScanContext scan;
  const platform::LowerCase& lower;
  platform::VoiceFactory& voices;
  // Told the title of the first listed conversation whose client refuses to be read (it runs as
  // administrator) whenever that changes; empty once none does.
  std::function<void(const Text& title)> blockedChanged;
  // The time; the steady clock when empty.
  std::function<std::chrono::steady_clock::time_point()> now;
};

// A voice with text queued whose place in it has not moved for this long has stopped speaking.
inline constexpr std::chrono::seconds kVoiceStallLimit{10};
// How often a conversation whose client refuses us is asked again.
inline constexpr std::chrono::seconds kBlockedAskInterval{10};

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
  bool Stopped(platform::Voice* voice);
  bool Running() noexcept;
  std::chrono::steady_clock::time_point Now() const;
  bool AskLater(const clsIMWindow& view) const;
  void ShowBlocked();

  // Where the voice last stood in what it speaks, and since when.
  struct Progress {
    const platform::Voice* voice = nullptr;
    platform::VoiceStatus status;
    std::chrono::steady_clock::time_point since;
  };

  MonitorContext ctx_;
  bool busy_ = false;
  bool rescanDue_ = false;  // a view answered nothing and its window has gone
  std::optional<Progress> progress_;
  std::map<ViewId, std::chrono::steady_clock::time_point> blocked_;  // when each is asked again
  Text blockedTitle_;  // the conversation named as refusing us, as last told
};

}  // namespace murmuro
