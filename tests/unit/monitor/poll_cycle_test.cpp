// What a tick speaks and what each view remembers.
#include <chrono>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <tuple>

#include "unit/monitor/poll_fixture.h"

namespace murmuro {
namespace {

using Conversation = fakes::FakeIMClient::Conversation;

class PollCycleTest : public testing::PollFixture {
 protected:
  void SetUp() override {
    bob = client.Open("IM with bob", u"bob: hi");
    ann = client.Open("ann - Instant Message", u"ann: hello");
    Start();
  }
  Conversation bob, ann;
};

TEST_F(PollCycleTest, ANewLineIsSpokenOnceWithAcronymsExpanded) {
  state.Acronyms.Add(u"lol,laughing out loud");
  Tick();
  EXPECT_TRUE(Said().empty()) << "what a conversation showed when found is not spoken";
  client.Append(bob.view, u"\r\nbob: lol");
  Tick();
  Tick();
  EXPECT_EQ(Said(), (std::vector<Text>{u"bob says    laughing out loud\r\n"}));
  EXPECT_EQ(IMText(1), u"bob: hi\r\nbob: lol");
  EXPECT_EQ(Rescans(), 0u);
}

TEST_F(PollCycleTest, TwoViewsWithNewLinesAreSpokenInListOrder) {
  client.Append(ann.view, u"\r\nann: second");
  client.Append(bob.view, u"\r\nbob: first");
  Tick();
  EXPECT_EQ(Said(), (std::vector<Text>{u"bob says    first\r\n", u"ann says    second\r\n"}));
}

TEST_F(PollCycleTest, ReadingSwitchDecidesWhetherChangesAreSpoken) {
  struct Case {
    std::int16_t useReader;
    bool speaks;
  };
  Text shown = u"bob: hi";
  for (const Case c : {Case{0, false}, Case{-1, false}, Case{1, true}, Case{2, true}}) {
    SCOPED_TRACE(c.useReader);
    voice->calls.clear();
    state.UseReader = c.useReader;
    shown += u"\r\nbob: more";
    client.Show(bob.view, shown);
    Tick();
    EXPECT_EQ(Said().size(), c.speaks ? 1u : 0u);
    EXPECT_EQ(IMText(1), shown);
  }
}

TEST_F(PollCycleTest, ALineThatArrivedWhileReadingWasOffIsNeverSpoken) {
  state.UseReader = 0;
  client.Append(bob.view, u"\r\nbob: missed");
  Tick();
  state.UseReader = 1;
  Tick();
  // Read while reading was off and answered once it was on again: taken silently too.
  state.UseReader = 0;
  client.Append(bob.view, u"\r\nbob: missed too");
  captures.stuck = {bob.view};
  Tick();
  state.UseReader = 1;
  state.ReadingSwitchedOn->fetch_add(1);
  captures.stuck.clear();
  Answer();
  client.Append(bob.view, u"\r\nbob: heard");
  Tick();
  EXPECT_EQ(Said(), (std::vector<Text>{u"bob says    heard\r\n"}));

  // Asked for while off, read once it was on again: what came after the switch-on is news.
  state.UseReader = 0;
  cycle.Timer2_Timer();
  state.UseReader = 1;
  state.ReadingSwitchedOn->fetch_add(1);
  client.Append(bob.view, u"\r\nbob: just after");
  Answer();
  EXPECT_EQ(Said(), (std::vector<Text>{u"bob says    heard\r\n", u"bob says    just after\r\n"}));
}

TEST_F(PollCycleTest, AnOpenLastLineWaitsForTheNextTick) {
  client.Append(bob.view, u"\r\nbob: one\r\n");
  Tick();
  EXPECT_TRUE(Said().empty());
  EXPECT_EQ(IMText(1), u"bob: hi");
  client.Append(bob.view, u"bob: two");
  Tick();
  EXPECT_EQ(Said(), (std::vector<Text>{u"bob says    one\r\nbob says    two\r\n"}));
  EXPECT_EQ(IMText(1), u"bob: hi\r\nbob: one\r\nbob: two");
}

TEST_F(PollCycleTest, EmptyPhrasesStillGoToTheVoiceAndTheTextAdvances) {
  struct Case {
    const char* what;
    std::function<void()> change;
    Text expectedText;
  };
  // Read in full every time, as a client whose pages cannot count their elements, so every
  // change reaches the rules at once.
  client.Document(bob.view).probeUnsupported = true;
  const Case cases[] = {
      {"line without a colon", [&] { client.Show(bob.view, u"bob: hi\r\njust words"); },
       u"bob: hi\r\njust words"},
      {"an earlier line changed", [&] { client.Show(bob.view, u"bob: HI\r\njust words"); },
       u"bob: HI\r\njust words"},
      {"conversation emptied", [&] { client.Show(bob.view, u""); }, u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    voice->calls.clear();
    c.change();
    Tick();
    EXPECT_EQ(Said(), (std::vector<Text>{u""}));
    EXPECT_EQ(IMText(1), c.expectedText);
  }
  client.Show(bob.view, u"bob: back");
  voice->calls.clear();
  Tick();
  EXPECT_EQ(Said(), (std::vector<Text>{u"bob says    back\r\n"}));
}

TEST_F(PollCycleTest, AVoiceThatFailsDoesNotStopTheTick) {
  struct Case {
    const char* what;
    std::function<void()> breakVoice;
  };
  const Case cases[] = {
      {"refuses", [&] { voice->result = -2147467259; }},
      {"throws", [&] { voice->throws = true; }},
      {"missing", [&] { state.Voice.reset(); }},
  };
  int round = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    c.breakVoice();
    const Text line = u"\r\nx: " + Text(1, static_cast<char16_t>(u'a' + round++));
    client.Append(bob.view, line);
    client.Append(ann.view, line);
    voice->calls.clear();
    Tick();
    EXPECT_EQ(voice->calls.size(), state.Voice ? 2u : 0u) << "the second view is still visited";
    EXPECT_TRUE(IMText(1).ends_with(line)) << "failed lines are not tried again";
    EXPECT_TRUE(IMText(2).ends_with(line));
    state.Voice = voice;
    voice->result = 0;
    voice->throws = false;
  }
}

TEST_F(PollCycleTest, AFailedVoiceIsMadeAnewOnceAndGetsTheSamePhrase) {
  const auto second = std::make_shared<fakes::FakeVoice>();
  const auto third = std::make_shared<fakes::FakeVoice>();
  voices.next = {second, third};
  voice->result = -2147467259;  // the audio device went away
  client.Append(bob.view, u"\r\nbob: one");
  client.Append(ann.view, u"\r\nann: two");
  Tick();
  EXPECT_EQ(voice->calls.size(), 1u);
  EXPECT_EQ(second->calls, (std::vector<fakes::Spoken>{{u"bob says    one\r\n", kSpeakFlags},
                                                       {u"ann says    two\r\n", kSpeakFlags}}));
  EXPECT_EQ(state.Voice, second);

  // The new voice fails too: the phrase is dropped, and the next one tries the same way.
  second->throws = true;
  third->result = -1;
  client.Append(bob.view, u"\r\nbob: lost");
  Tick();
  client.Append(bob.view, u"\r\nbob: lost too");
  Tick();
  EXPECT_EQ(voices.created, 3) << "one request per failed phrase";
  third->result = 0;
  client.Append(bob.view, u"\r\nbob: three");
  Tick();
  EXPECT_EQ(voices.created, 3);
  EXPECT_EQ(second->calls.size(), 3u);
  ASSERT_EQ(third->calls.size(), 3u);
  EXPECT_EQ(third->calls.back().text, u"bob says    three\r\n");
  EXPECT_EQ(state.Voice, third);
}

// A voice goes on taking texts once it cannot speak; only its status tells. Phrases come five
// seconds apart. The phrase at hand goes to the new voice; what the old one held is dropped.
TEST_F(PollCycleTest, AVoiceThatStoppedWhileSpeakingIsReplacedOncePerFailure) {
  using namespace std::chrono_literals;
  using platform::VoiceStatus;
  constexpr std::uint32_t kSpeaking = platform::kVoiceSpeaking;
  const struct {
    const char* what;
    std::optional<VoiceStatus> status;
    bool moves;         // its place in the text moves between phrases
    std::size_t first;  // the first phrase the new voice gets (from 0); 4: none
    int created;
  } cases[] = {
      {"failed while speaking", VoiceStatus{-2004287484, kSpeaking, 1, 1}, false, 0, 1},
      {"stuck ten seconds with text queued", VoiceStatus{0, kSpeaking, 1, 2, 3, 0}, false, 2, 1},
      {"stuck between texts", VoiceStatus{0, 0, 1, 2}, false, 2, 1},
      {"slow but speaking", VoiceStatus{0, kSpeaking, 1, 2, 3, 0}, true, 4, 0},
      {"all spoken", VoiceStatus{0, platform::kVoiceDone, 2, 2}, false, 4, 0},
      {"nothing handed over yet", VoiceStatus{}, false, 4, 0},
      {"cannot tell", std::nullopt, false, 4, 0},
      {"failed, and no new voice to be had: each phrase asks", VoiceStatus{-1, kSpeaking, 1, 1}, false, 4, 4},
  };
  std::vector<std::shared_ptr<fakes::FakeVoice>> kept;  // no voice's address is reused
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto old = kept.emplace_back(std::make_shared<fakes::FakeVoice>());
    const auto fresh = kept.emplace_back(std::make_shared<fakes::FakeVoice>());
    old->status = c.status;
    state.Voice = old;
    voices.next = {fresh};
    if (c.created == 4) voices.next.clear();
    voices.created = 0;
    std::vector<fakes::Spoken> phrases;
    for (int phrase = 0; phrase < 4; ++phrase) {
      const Text word = u"w" + Text(1, static_cast<char16_t>(u'a' + (kept.size() + phrase) % 26));
      client.Append(bob.view, u"\r\nbob: " + word);
      phrases.push_back({u"bob says    " + word + u"\r\n", kSpeakFlags});
      Tick();
      clock += 4s;  // five seconds a phrase, with the tick's own
      if (!old->status || (old->status->runningState & platform::kVoiceDone) != 0) continue;
      if (old->status->lastStreamQueued != 0) ++old->status->lastStreamQueued;  // queued behind
      if (c.moves) ++old->status->wordPosition;
    }
    const auto split = phrases.begin() + static_cast<std::ptrdiff_t>(c.first);
    std::vector<fakes::Spoken> oldCalls(phrases.begin(), c.created == 4 ? phrases.begin() : split);
    if (c.created == 1) oldCalls.push_back({u"", platform::SVSFlagsAsync | platform::SVSFPurgeBeforeSpeak});
    EXPECT_EQ(old->calls, oldCalls);
    EXPECT_EQ(fresh->calls, std::vector<fakes::Spoken>(split, phrases.end()));
    EXPECT_EQ(voices.created, c.created);
  }
}

TEST_F(PollCycleTest, ActiveWindowOnlySpeaksTheForegroundConversationWhereverItStands) {
  state.TopOnly = 1;
  const Hwnd editor = client.desktop.Create(0, "Editor", "Frame");
  struct Case {
    const char* what;
    Hwnd foreground;
    std::vector<Text> said;
    bool moveFirst = false;
  };
  const Case cases[] = {
      {"first view in front", bob.window, {u"bob says    b1\r\n"}},
      {"second view in front", ann.window, {u"ann says    a2\r\n"}},
      {"another program in front", editor, {}},
      {"nothing in front", 0, {}},
      // Judged in the window it stands in now, as a client with tabs moves it.
      {"first view moved into the second's window, in front", ann.window,
       {u"bob says    b5\r\n", u"ann says    a5\r\n"}, true},
  };
  int round = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ++round;
    if (c.moveFirst) client.desktop.Reparent(bob.view, ann.window);
    client.Append(bob.view, u"\r\nbob: b" + Text(1, static_cast<char16_t>(u'0' + round)));
    client.Append(ann.view, u"\r\nann: a" + Text(1, static_cast<char16_t>(u'0' + round)));
    client.desktop.SetForeground(c.foreground);
    voice->calls.clear();
    Tick();
    EXPECT_EQ(Said(), c.said);
    // Views in the background take their text, unspoken lines and all.
    EXPECT_TRUE(IMText(1).ends_with(u"b" + Text(1, static_cast<char16_t>(u'0' + round))));
    EXPECT_TRUE(IMText(2).ends_with(u"a" + Text(1, static_cast<char16_t>(u'0' + round))));
  }
}

TEST_F(PollCycleTest, AForegroundQueryThatFailsCountsAsNoForeground) {
  state.TopOnly = 1;
  client.desktop.SetForeground(bob.window);
  client.desktop.beforeCall = [](const fakes::WindowCall& call) {
    if (call.name == "GetForegroundWindow") throw std::runtime_error("failed");
  };
  client.Append(bob.view, u"\r\nbob: lost");
  Tick();
  EXPECT_TRUE(Said().empty());
  EXPECT_EQ(IMText(1), u"bob: hi\r\nbob: lost");
}


// Every way a text is kept without being spoken, with the text settled, ending in a line break,
// or ending in one that the next change finishes together with another line: each line is
// spoken once, oldest first, and never the conversation read back from its end.
enum class KeptBy { kStartUp, kBehindTheFront, kReadingOff, kReadBeforeSwitchOn, kNewConversation };
enum class Ending { kSettled, kOpenLine, kTwoFinishTogether };

class KeptTextTest : public testing::PollFixture,
                     public ::testing::WithParamInterface<std::tuple<KeptBy, Ending>> {};

TEST_P(KeptTextTest, TheLinesThatFollowAreSpokenOnceInOrder) {
  const auto [kept, ending] = GetParam();
  const Text shown = ending == Ending::kSettled ? u"bob: one\r\nbob: two" : u"bob: one\r\nbob: two\r\n";
  const Text more = ending == Ending::kSettled   ? u"\r\nbob: three"
                    : ending == Ending::kOpenLine ? u"bob: three"
                                                  : u"bob: three\r\nbob: four";
  const auto ann = client.Open("IM with ann", u"ann: hi");
  Conversation bob;
  if (kept != KeptBy::kNewConversation) bob = client.Open("IM with bob", kept == KeptBy::kStartUp ? shown : u"bob: zero");
  Start();
  const auto switchOn = [&] {
    state.UseReader = 1;
    state.ReadingSwitchedOn->fetch_add(1);
  };
  switch (kept) {
    case KeptBy::kStartUp:
      break;
    case KeptBy::kBehindTheFront:
      state.TopOnly = 1;
      client.desktop.SetForeground(ann.window);
      client.Show(bob.view, shown);
      Tick();
      client.desktop.SetForeground(bob.window);
      break;
    case KeptBy::kReadingOff:
      state.UseReader = 0;
      client.Show(bob.view, shown);
      Tick();
      switchOn();
      break;
    case KeptBy::kReadBeforeSwitchOn:
      state.UseReader = 0;
      client.Show(bob.view, shown);
      captures.stuck = {bob.view};
      Tick();
      switchOn();
      captures.stuck.clear();
      Answer();
      break;
    case KeptBy::kNewConversation:
      bob = client.Open("IM with bob", shown);
      Tick();
      break;
  }
  client.Append(bob.view, more);
  Tick();
  Tick();
  Text said;
  for (const Text& phrase : Said()) said += phrase;
  Text expected = kept == KeptBy::kNewConversation ? u"bob says    two\r\n" : u"";
  expected += u"bob says    three\r\n";
  if (ending == Ending::kTwoFinishTogether) expected += u"bob says    four\r\n";
  EXPECT_EQ(said, expected);
}

INSTANTIATE_TEST_SUITE_P(EveryWayAndEnding, KeptTextTest,
                         ::testing::Combine(::testing::Values(KeptBy::kStartUp, KeptBy::kBehindTheFront,
                                                              KeptBy::kReadingOff, KeptBy::kReadBeforeSwitchOn,
                                                              KeptBy::kNewConversation),
                                            ::testing::Values(Ending::kSettled, Ending::kOpenLine,
                                                              Ending::kTwoFinishTogether)));

}  // namespace
}  // namespace murmuro
