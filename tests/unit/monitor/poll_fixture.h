#pragma once
// A running program over the fake client: state, voice, timer and the poll cycle.
#include <gtest/gtest.h>

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
  // The first scan, as the program makes it at start-up; the logs start after it.
  void Start() {
    ReadWindows(state, scan);
    timer.calls.clear();
    client.desktop.ClearLog();
  }
  void Tick() {
    cycle.Timer2_Timer();
    EXPECT_EQ(client.documents.Live(), 0) << "a tick kept a document reference";
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
  // Captures of the fake client; the views in `stuck` are skipped, as views whose last capture
  // has not ended.
  class SkippingCaptures final : public Captures {
   public:
    explicit SkippingCaptures(fakes::FakeIMClient& client) : direct_({client.desktop, client.documents}) {}
    IMTextResult Capture(Hwnd view) override {
      if (stuck.count(view) == 0) return direct_.Capture(view);
      IMTextResult skipped;
      skipped.Skipped = true;
      return skipped;
    }
    std::set<Hwnd> stuck;

   private:
    DirectCaptures direct_;
  } captures{client};
  ScanContext scan{client.desktop, captures, codec, timer};
  PollCycle cycle{MonitorContext{state, scan, lower, voices}};
};

}  // namespace murmuro::testing
