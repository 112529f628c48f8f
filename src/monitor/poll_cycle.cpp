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

LeftView* FindLeftView(ProgramState& state, const ViewId& id) {
  for (LeftView& view : state.LeftViews) {
    if (ViewId{view.hwnd, view.Thread, view.Process} == id) return &view;
  }
  return nullptr;
}

// Fails when the voice is missing, refuses the text or throws.
bool HandOver(platform::Voice* voice, const Text& phrase) noexcept {
  bool taken = false;
  ResumeNext{}([&] { taken = voice && voice->Speak(phrase, kSpeakFlags) >= 0; });
  return taken;
}

}  // namespace

bool PollCycle::Running() noexcept {
  if (busy_) return false;
  bool timerOn = false;
  ResumeNext{}([&] { timerOn = ctx_.scan.timer.Enabled(); });
  return timerOn;
}

void PollCycle::Timer2_Timer() noexcept {
  if (!Running()) return;
  TickMark mark(busy_);
  ResumeNext{}([&] { Tick(); });
  ResumeNext{}([&] { ShowBlocked(); });
}

void PollCycle::CapturesFinished() noexcept {
  if (!Running()) return;
  TickMark mark(busy_);
  ResumeNext{}([&] { HandleFinished(); });
  ResumeNext{}([&] { ShowBlocked(); });
}

std::chrono::steady_clock::time_point PollCycle::Now() const {
  return ctx_.now ? ctx_.now() : std::chrono::steady_clock::now();
}

bool PollCycle::AskLater(const clsIMWindow& view) const {
  const auto found = blocked_.find(IdOf(view));
  return found != blocked_.end() && Now() < found->second;
}

// The first listed conversation that refuses us is named; views no longer listed are forgotten.
void PollCycle::ShowBlocked() {
  const ProgramState& state = ctx_.state;
  std::map<ViewId, std::chrono::steady_clock::time_point> listed;
  Text title;
  for (const auto& entry : state.IMWindows) {
    if (!entry) continue;
    const auto found = blocked_.find(IdOf(*entry));
    if (found == blocked_.end()) continue;
    listed.insert(*found);
    for (const auto& parent : state.ParentWindows) {
      if (title.empty() && parent && parent->hwnd == entry->ParenthWnd) title = parent->WindowName;
    }
  }
  blocked_.swap(listed);
  if (title == blockedTitle_) return;
  if (ctx_.blockedChanged) ctx_.blockedChanged(title);
  blockedTitle_ = std::move(title);
}

void PollCycle::Rescan() {
  rescanDue_ = false;
  ReadWindows(ctx_.state, ctx_.scan);
}

void PollCycle::Tick() {
  ProgramState& state = ctx_.state;
  ResumeNext step;
  // Also what a lost wake-up left waiting.
  HandleFinished();
  step([&] { ForgetClosedViews(state, ctx_.scan); });
  if (rescanDue_ || state.IMWindows.Empty()) {
    Rescan();
    return;
  }
  // A conversation opened since the last scan: find it before its first lines are missed.
  bool unlisted = false;
  step([&] { unlisted = HasUnlistedConversation(state, ctx_.scan); });
  if (unlisted) {
    Rescan();
    return;
  }
  const std::size_t count = state.IMWindows.Count();
  for (std::size_t position = 1; position <= count; ++position) {
    std::shared_ptr<clsIMWindow> view;
    step([&] { view = state.IMWindows.Item(position); });
    if (!view) continue;
    bool exists = false;
    step([&] { exists = ctx_.scan.windows.IsWindow(view->hwnd); });
    if (!exists) {
      Rescan();
      return;
    }
    if (AskLater(*view)) continue;
    step([&] { RequestCapture(ctx_.scan, *view); });
  }
  // A tick that rescanned has had this done by the scan.
  step([&] { ctx_.scan.captures.ReleaseGone(); });
}

void PollCycle::HandleFinished() {
  ResumeNext step;
  FinishedCaptures finished;
  step([&] { finished = ctx_.scan.captures.TakeFinished(); });
  for (const FinishedCapture& capture : finished) step([&] { Handle(capture); });
}

void PollCycle::Handle(const FinishedCapture& finished) {
  ProgramState& state = ctx_.state;
  platform::WindowSystem& windows = ctx_.scan.windows;
  ResumeNext step;

  // Matched by who the view is: a rescan makes new entries. A listed entry is held across the
  // handling; one that left the list while its window lives is judged the same way, so it comes
  // back knowing what it showed.
  std::shared_ptr<clsIMWindow> listed;
  for (const auto& entry : state.IMWindows) {
    if (entry && IdOf(*entry) == finished.view) listed = entry;
  }
  LeftView* left = listed ? nullptr : FindLeftView(state, finished.view);
  const IMTextResult& captured = finished.result;
  if ((!listed && !left) || captured.How == Answer::kUnchanged) return;
  if (captured.How == Answer::kBlocked) {
    // Its client runs as administrator. Asking every tick would change nothing; its start state
    // stays, so what it shows once it can be read is not taken for news.
    blocked_[finished.view] = Now() + kBlockedAskInterval;
    return;
  }
  blocked_.erase(finished.view);
  Text& known = listed ? listed->IMText : left->IMText;
  clsIMWindow::Start& start = listed ? listed->State : left->State;

  if (captured.How == Answer::kNone) {
    // Unreadable for now (its client busy, say) is not gone; only a listed view whose window has
    // gone calls for the rescan, which the next tick makes.
    bool exists = false;
    step([&] { exists = windows.IsWindow(finished.view.hwnd); });
    if (listed && !exists) rescanDue_ = true;
    return;
  }
  const Text& text = captured.Text;
  // Every text kept without being spoken goes through here: less its open last line, so the
  // line that finishes it is one more line, spoken once and alone.
  const auto remember = [&](TextView shown) { step([&] { known = Text(WithoutOpenLine(shown)); }); };

  switch (start) {
    case clsIMWindow::Start::kKnown:
      if (captured.How == Answer::kTooShort) return;  // nothing to compare with its lines
      break;
    case clsIMWindow::Start::kUnprimed:
      if (captured.How == Answer::kRead) {
        // What it showed at its first answer was there before us.
        remember(text);
        start = clsIMWindow::Start::kKnown;
      } else {
        // No conversation yet at start-up: its first line is news, as in a new one.
        known.clear();
        start = clsIMWindow::Start::kNew;
      }
      return;
    case clsIMWindow::Start::kNew: {
      if (captured.How != Answer::kRead) return;
      // Its last line that holds text opened the conversation; what came before it is history
      // the client shows. The usual rules speak the opening line, once it is settled.
      const auto history = LinesBeforeLastWithText(text);
      if (!history) return;  // no line yet
      remember(*history);
      start = clsIMWindow::Start::kKnown;
      break;
    }
  }

  if (state.TopOnly > 0) {
    // Judged where the view stands now: a client may have moved it into another window.
    Hwnd root = 0;
    Hwnd foreground = 0;
    step([&] { root = windows.GetAncestor(finished.view.hwnd, platform::kGaRoot); });
    step([&] { foreground = windows.GetForegroundWindow(); });
    if (root != foreground) {
      remember(text);
      return;
    }
  }

  // Read before reading was last switched on, it may hold lines that came while it was off.
  const bool reading = state.UseReader > 0 && finished.tag == state.ReadingSwitchedOn->load();
  if (!reading) {
    remember(text);
  } else if (text != known && Settled(text)) {
    Text phrase;
    step([&] { phrase = ProcessPhrase(known, text, state.Acronyms, ctx_.lower); });
    Speak(phrase);
    remember(text);
  }
  // Otherwise unchanged, or its last line is still empty: look again at the next result, with
  // whatever came since.
}

// A voice that fails once fails for good (its audio device went away, the speech service
// restarted), so a fresh one gets the same phrase. It fails when it refuses the text, or while it
// speaks, which shows only in its status: read before each phrase. If the fresh one fails too the
// phrase is dropped; the next phrase tries the same way. Either way nothing is handed over twice.
void PollCycle::Speak(const Text& phrase) {
  ProgramState& state = ctx_.state;
  const bool stopped = Stopped(state.Voice.get());
  if (!stopped && HandOver(state.Voice.get(), phrase)) return;
  std::shared_ptr<platform::Voice> fresh;
  ResumeNext{}([&] { fresh = ctx_.voices.Create(); });
  if (!fresh) return;
  // What it still held is not spoken, neither by the new voice nor late by the old one, whose
  // release then waits for no queue.
  if (stopped) ResumeNext{}([&] { state.Voice->Purge(); });
  state.Voice = std::move(fresh);
  progress_.reset();
  HandOver(state.Voice.get(), phrase);
}

// Failed while speaking, or stuck: text queued and its place in it unmoved for the stall limit.
bool PollCycle::Stopped(platform::Voice* voice) {
  std::optional<platform::VoiceStatus> status;
  ResumeNext{}([&] {
    if (voice) status = voice->Status();
  });
  if (status && status->lastResult < 0) return true;
  const bool queued =
      status && status->lastStreamQueued != 0 && (status->runningState & platform::kVoiceDone) == 0;
  if (!queued) {
    progress_.reset();
    return false;
  }
  // Where it is; what was queued since does not count as moving.
  platform::VoiceStatus place = *status;
  place.lastStreamQueued = 0;
  place.lastResult = 0;
  const auto now = Now();
  if (!progress_ || progress_->voice != voice || progress_->status != place) {
    progress_ = Progress{voice, place, now};
    return false;
  }
  return now - progress_->since >= kVoiceStallLimit;
}

}  // namespace murmuro
