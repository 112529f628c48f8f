#pragma once
// A running program over the fake client: state, voice, timer and the poll cycle.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <set>
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
  // A tick, then the answers to the captures it handed out.
  void Tick() {
    cycle.Timer2_Timer();
    Answer();
  }
  void Answer() {
    captures.Finish();
    cycle.CapturesFinished();
    EXPECT_EQ(client.documents.Live(), 0) << "a capture kept a document reference";
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
  // Captures of the fake client as lanes make them: handed out without waiting, one a view at
  // most, and read in order when the test lets them; the captures of the views in `stuck` stay
  // out, as those of a client that stopped answering.
  class QueuedCaptures final : public Captures {
   public:
    explicit QueuedCaptures(fakes::FakeIMClient& client) : direct_({client.desktop, client.documents}) {}
    bool Request(const ViewId& view, std::uint64_t tag, bool) override {
      if (!out_.insert(view).second) return false;
      queued_.push_back({view, tag, {}});
      return true;
    }
    FinishedCaptures TakeFinished() override {
      FinishedCaptures done = direct_.TakeFinished();
      for (const auto& capture : done) out_.erase(capture.view);
      return done;
    }
    void Finish() {
      for (auto it = queued_.begin(); it != queued_.end();) {
        if (stuck.count(it->view.hwnd) != 0) {
          ++it;
        } else {
          direct_.Request(it->view, it->tag, true);
          it = queued_.erase(it);
        }
      }
    }
    std::set<Hwnd> stuck;

   private:
    DirectCaptures direct_;
    FinishedCaptures queued_;
    std::set<ViewId> out_;
  } captures{client};
  ScanContext scan{client.desktop, captures, codec, timer};
  std::chrono::steady_clock::time_point clock{};  // moved by the test alone
  std::vector<Text> blockedTitles;  // as the poll cycle told them
  PollCycle cycle{MonitorContext{state, scan, lower, voices,
                                 [this](const Text& title) { blockedTitles.push_back(title); },
                                 [this] { return clock; }}};
};

}  // namespace murmuro::testing
