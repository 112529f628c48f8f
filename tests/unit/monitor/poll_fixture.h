#pragma once
// A running program over the fake client: state, voice, timer and the poll cycle.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "core/cp1252_codec.h"
#include "fakes/fake_im_client.h"
#include "fakes/fake_timer.h"
#include "fakes/fake_voice.h"
#include "monitor/poll_cycle.h"
#include "phrase/latin1_lower_case.h"

namespace murmuro::testing {

class PollFixture : public ::testing::Test {
 protected:
  PollFixture() {
    state.Voice = voice;
    state.UseReader = 1;
  }
  // The first scan, as the program makes it at start-up, and its captures' answers; the logs
  // start after it.
  void Start() {
    ReadWindows(state, scan);
    Answer();
    timer.calls.clear();
    client.desktop.ClearLog();
  }
  // A tick, a second after the last, then the answers to the captures it handed out.
  void Tick(std::chrono::milliseconds after = std::chrono::seconds(1)) {
    clock += after;
    cycle.Timer2_Timer();
    Answer();
  }
  void Answer() {
    captures.Finish();
    cycle.CapturesFinished();
  }
  std::vector<Text> Said() const {
    std::vector<Text> out;
    for (const auto& call : voice->calls) {
      EXPECT_EQ(call.flags, platform::SVSFlagsAsync | platform::SVSFIsNotXML);
      out.push_back(call.text);
    }
    return out;
  }
  // Scans the tick made: each one switches the timer off first.
  std::size_t Rescans() const {
    std::size_t n = 0;
    for (bool on : timer.calls) n += on ? 0 : 1;
    return n;
  }
  Text IMText(std::size_t position) const { return state.IMWindows.Item(position)->IMText; }

  fakes::FakeIMClient client;
  Cp1252Codec codec;
  Latin1LowerCase lower;
  fakes::FakeTimer timer;
  std::shared_ptr<fakes::FakeVoice> voice = std::make_shared<fakes::FakeVoice>();
  fakes::FakeVoiceFactory voices;
  ProgramState state;
  std::chrono::steady_clock::time_point clock{};  // the program's and the captures', moved by the test alone
  // Captures of the fake client as lanes make them: handed out without waiting, one a view at
  // most, and made in order when the test lets them, by the program's own capture (probe, kept
  // documents) on a clock that each tick moves on by a second. Each begins by reading the reading
  // switch, as a lane does; those of the views in `stuck` have begun and stay out, as those of a
  // client that stopped answering in the call.
  class QueuedCaptures final : public Captures {
   public:
    QueuedCaptures(fakes::FakeIMClient& client, const ProgramState& state,
                   const std::chrono::steady_clock::time_point& now)
        : client_(client), state_(state), now_(now) {}
    ~QueuedCaptures() override {
      for (const Hwnd view : views_) kept_.Release(view);
      EXPECT_EQ(client_.documents.Live(), 0) << "a reference outlived the lanes";
    }
    bool Request(const ViewId& view, bool read) override {
      if (!out_.insert(view).second) return false;
      queued_.push_back({view, read, std::nullopt});
      views_.insert(view.hwnd);
      return true;
    }
    FinishedCaptures TakeFinished() override {
      for (const auto& capture : done_) out_.erase(capture.view);
      return std::exchange(done_, {});
    }
    void ReleaseGone() override {
      std::erase_if(views_, [&](Hwnd view) {
        if (client_.desktop.Exists(view)) return false;
        kept_.Release(view);
        return true;
      });
    }
    void Finish() {
      std::erase_if(queued_, [&](Queued& capture) {
        if (!capture.tag) capture.tag = state_.ReadingSwitchedOn->load();
        if (stuck.count(capture.view.hwnd) != 0) return false;
        done_.push_back({capture.view, *capture.tag,
                         CaptureView({client_.desktop, client_.documents}, capture.view.hwnd, kept_, capture.read, now_)});
        return true;
      });
    }
    std::set<Hwnd> stuck;

   private:
    struct Queued {
      ViewId view;
      bool read;
      std::optional<std::uint32_t> tag;  // taken as the read begins
    };
    fakes::FakeIMClient& client_;
    const ProgramState& state_;
    const std::chrono::steady_clock::time_point& now_;
    KeptDocuments kept_;
    std::vector<Queued> queued_;
    FinishedCaptures done_;
    std::set<ViewId> out_;
    std::set<Hwnd> views_;
  } captures{client, state, clock};
  ScanContext scan{client.desktop, captures, codec, timer};
  std::vector<Text> blockedTitles;  // as the poll cycle told them
  PollCycle cycle{MonitorContext{state, scan, lower, voices,
                                 [this](const Text& title) { blockedTitles.push_back(title); },
                                 [this] { return clock; }}};
};

}  // namespace murmuro::testing
