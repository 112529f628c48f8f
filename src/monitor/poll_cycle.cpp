#include "monitor/poll_cycle.h"

#include <memory>

#include "core/resume_next.h"
#include "phrase/lines.h"
#include "phrase/process_phrase.h"

namespace murmuro {
namespace {

// Clears the in-tick mark however the tick ends.
class TickMark {
 public:
  explicit TickMark(bool& mark) noexcept : mark_(mark) { mark_ = true; }
  ~TickMark() { mark_ = false; }
  TickMark(const TickMark&) = delete;
  TickMark& operator=(const TickMark&) = delete;

 private:
  bool& mark_;
};

// A text that ends in CR LF is still being written: its last line is empty.
bool Settled(TextView text) { return text.empty() || !LastLine(text).empty(); }

// Fails when the voice is missing, refuses the text or throws.
bool HandOver(platform::Voice* voice, const Text& phrase) noexcept {
  bool taken = false;
  ResumeNext{}([&] { taken = voice && voice->Speak(phrase, kSpeakFlags) >= 0; });
  return taken;
}

}  // namespace

void PollCycle::Timer2_Timer() noexcept {
  if (ticking_) return;
  bool timerOn = false;
  ResumeNext{}([&] { timerOn = ctx_.scan.timer.Enabled(); });
  if (!timerOn) return;
  TickMark mark(ticking_);
  ResumeNext{}([&] { Tick(); });
}

void PollCycle::Tick() {
  ProgramState& state = ctx_.state;
  ResumeNext step;
  step([&] { ForgetClosedViews(state, ctx_.scan); });
  if (state.IMWindows.Empty()) {
    ReadWindows(state, ctx_.scan);
    return;
  }
  // A conversation opened since the last scan: find it before its first lines are missed.
  bool unlisted = false;
  step([&] { unlisted = HasUnlistedConversation(state, ctx_.scan); });
  if (unlisted) {
    ReadWindows(state, ctx_.scan);
    return;
  }
  const std::size_t count = state.IMWindows.Count();
  for (std::size_t position = 1; position <= count; ++position) {
    if (VisitView(position) == After::kEndTick) return;
  }
  // A tick that rescanned has had this done by the scan.
  step([&] { ctx_.scan.captures.ReleaseGone(); });
}

PollCycle::After PollCycle::VisitView(std::size_t position) {
  ProgramState& state = ctx_.state;
  platform::WindowSystem& windows = ctx_.scan.windows;
  ResumeNext step;

  // The tick holds its own reference: the entry outlives a rescan.
  std::shared_ptr<clsIMWindow> view;
  step([&] { view = state.IMWindows.Item(position); });
  if (!view) return After::kNextView;

  IMTextResult captured;  // a capture that fails outright counts as an empty text
  step([&] { captured = ctx_.scan.captures.Capture(view->hwnd); });
  // Its last capture has not ended: nothing is known of it now, and nothing is lost by waiting.
  if (captured.Skipped) return After::kNextView;
  const Text& text = captured.Text;

  if (text == kWindowNotFound) {
    // Unreadable for now (say, a new conversation still too short) is not gone: look again
    // next tick. Only a view whose window has gone calls for a rescan.
    bool exists = false;
    step([&] { exists = windows.IsWindow(view->hwnd); });
    if (exists) return After::kNextView;
    ReadWindows(state, ctx_.scan);
    return After::kEndTick;
  }

  switch (view->State) {
    case clsIMWindow::Start::kKnown:
      break;
    case clsIMWindow::Start::kUnprimed:
      // Not read at start-up (its client was busy, its text not there yet): what it shows now
      // was there before us.
      step([&] { view->IMText = text; });
      view->State = clsIMWindow::Start::kKnown;
      return After::kNextView;
    case clsIMWindow::Start::kNew:
      if (text.empty()) return After::kNextView;  // no line yet
      // Its last line opened the conversation; what came before it is history the client shows.
      step([&] { view->IMText = Text(LinesBeforeLast(text)); });
      view->State = clsIMWindow::Start::kKnown;
      break;
  }

  if (state.TopOnly > 0) {
    Hwnd foreground = 0;
    step([&] { foreground = windows.GetForegroundWindow(); });
    if (view->ParenthWnd != foreground) {
      step([&] { view->IMText = text; });
      return After::kNextView;
    }
  }

  if (text != view->IMText && state.UseReader > 0) {
    if (Settled(text)) {
      Text phrase;
      step([&] { phrase = ProcessPhrase(view->IMText, text, state.Acronyms, ctx_.lower); });
      Speak(phrase);
      step([&] { view->IMText = text; });
    }
    // Otherwise the last line is still empty: look again next tick, with whatever came since.
  } else {
    step([&] { view->IMText = text; });
  }
  return After::kNextView;
}

// A voice that fails once fails for good (its audio device went away, the speech service
// restarted), so a fresh one gets the same phrase. If that fails too the phrase is dropped; the
// next phrase tries the same way. Either way nothing is handed over twice.
void PollCycle::Speak(const Text& phrase) {
  ProgramState& state = ctx_.state;
  if (HandOver(state.Voice.get(), phrase)) return;
  std::shared_ptr<platform::Voice> fresh;
  ResumeNext{}([&] { fresh = ctx_.voices.Create(); });
  if (!fresh) return;
  state.Voice = std::move(fresh);
  HandOver(state.Voice.get(), phrase);
}

}  // namespace murmuro
