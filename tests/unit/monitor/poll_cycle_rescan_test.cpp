// When a tick rescans, what it skips, and that it never runs inside another tick or a scan.
#include <stdexcept>
#include <vector>

#include "unit/monitor/poll_fixture.h"

namespace murmuro {
namespace {

using fakes::DocStep;

class PollRescanTest : public testing::PollFixture {};

TEST_F(PollRescanTest, WithoutConversationsEveryTickScansAgain) {
  Start();
  Tick();
  Tick();
  EXPECT_EQ(Rescans(), 2u);
  const auto bob = client.Open("IM with bob", u"bob: opening");
  Tick();
  ASSERT_EQ(state.IMWindows.Count(), 1u);
  client.Append(bob.view, u"\r\nbob: new");
  Tick();
  EXPECT_EQ(Said(), (std::vector<Text>{u"bob says    opening\r\n", u"bob says    new\r\n"}))
      << "captured by the scan that found it";
  EXPECT_EQ(Rescans(), 3u);
}

TEST_F(PollRescanTest, LinesInOtherViewsSurviveTheRescanForAClosedWindow) {
  const auto bob = client.Open("IM with bob", u"bob: hi");
  const auto ann = client.Open("IM with ann", u"ann: hi");
  Start();
  client.Append(ann.view, u"\r\nann: still here");
  client.Close(bob.window);
  Tick();
  EXPECT_EQ(Rescans(), 1u);
  ASSERT_EQ(state.IMWindows.Count(), 1u);
  EXPECT_EQ(Said(), (std::vector<Text>{u"ann says    still here\r\n"})) << "read by the rescan's capture";
  Tick();
  EXPECT_EQ(Said().size(), 1u);
}

// A client run as administrator refuses us. Its view stays listed, is asked again every ten
// seconds instead of every tick, and is named until it can be read; what it showed at start-up is
// history then, as for any view open at start-up.
TEST_F(PollRescanTest, AViewWhoseClientRefusesUsIsAskedEveryTenSecondsAndNamed) {
  using namespace std::chrono_literals;
  const auto adm = client.Open("IM with adm", u"adm: before us");
  const auto bob = client.Open("IM with bob", u"bob: hi");
  client.desktop.SetDenied(adm.view, true);
  Start();
  EXPECT_EQ(blockedTitles, (std::vector<Text>{u"IM with adm"}));
  client.Append(adm.view, u"\r\nadm: while refused");
  std::vector<int> asked;
  for (int second = 1; second <= 20; ++second) {
    const auto before = client.desktop.CountCalls("SendMessageTimeoutA", adm.view);
    if (second == 15) client.Append(bob.view, u"\r\nbob: heard meanwhile");
    Tick();
    if (client.desktop.CountCalls("SendMessageTimeoutA", adm.view) != before) asked.push_back(second);
  }
  EXPECT_EQ(asked, (std::vector<int>{10, 20}));
  EXPECT_EQ(Rescans(), 0u);
  ASSERT_EQ(state.IMWindows.Count(), 2u);
  EXPECT_EQ(state.IMWindows.Item(1)->State, clsIMWindow::Start::kUnprimed);
  EXPECT_EQ(blockedTitles.size(), 1u) << "told once";

  client.desktop.SetDenied(adm.view, false);
  Tick(10s);
  EXPECT_EQ(IMText(1), u"adm: before us\r\nadm: while refused");
  EXPECT_EQ(blockedTitles, (std::vector<Text>{u"IM with adm", u""}));
  client.Append(adm.view, u"\r\nadm: now heard");
  Tick();
  EXPECT_EQ(Said(), (std::vector<Text>{u"bob says    heard meanwhile\r\n", u"adm says    now heard\r\n"}));
}

TEST_F(PollRescanTest, ANewConversationIsFoundWhileOthersArePolled) {
  const auto bob = client.Open("IM with bob", u"bob: hi");
  Start();
  client.Append(bob.view, u"\r\nbob: waiting");
  const auto cy = client.Open("IM with cy", u"cy: before");
  Tick();
  EXPECT_EQ(Rescans(), 1u);
  ASSERT_EQ(state.IMWindows.Count(), 2u);
  client.Append(cy.view, u"\r\ncy: after");
  Tick();
  EXPECT_EQ(Said(), (std::vector<Text>{u"bob says    waiting\r\n", u"cy says    before\r\n",
                                       u"cy says    after\r\n"}));
  EXPECT_EQ(Rescans(), 1u);
}

// What a view answered first decides what it holds: a text too short to be a conversation makes
// it new, so its first line is news; no answer leaves it unprimed. A conversation that reads
// "Window Not Found" is a conversation like any other.
TEST_F(PollRescanTest, AnUnreadableViewIsSkippedWhileItsWindowExists) {
  const auto cy = client.Open("IM with cy", u"");
  client.SetBody(cy.view, u"cy");
  const auto odd = client.Open("IM with odd", u"Window Not Found");
  const auto bob = client.Open("IM with bob", u"bob: hi");
  const auto dan = client.Open("IM with dan", u"dan: before us");
  client.Document(dan.view).failAt = DocStep::kInnerText;
  Start();
  EXPECT_EQ(state.IMWindows.Item(1)->State, clsIMWindow::Start::kNew);
  EXPECT_EQ(state.IMWindows.Item(4)->State, clsIMWindow::Start::kUnprimed);
  client.Append(bob.view, u"\r\nbob: heard");
  client.Append(odd.view, u"\r\nodd: too");
  Tick();
  EXPECT_EQ(Rescans(), 0u);
  EXPECT_EQ(Said(), (std::vector<Text>{u"odd says    too\r\n", u"bob says    heard\r\n"}));
  EXPECT_EQ(IMText(1), u"") << "an unreadable text is never taken for the conversation";
  EXPECT_EQ(IMText(4), kCrLf);

  // Its first answer takes what it holds silently: that was there at start-up.
  client.Document(bob.view).noDocument2 = true;
  client.Document(dan.view).failAt.reset();
  client.Show(cy.view, u"cy: hello");
  Tick();
  EXPECT_EQ(Rescans(), 0u);
  EXPECT_EQ(Said(), (std::vector<Text>{u"odd says    too\r\n", u"bob says    heard\r\n", u"cy says    hello\r\n"}));
  EXPECT_EQ(IMText(4), u"dan: before us");
  EXPECT_EQ(IMText(3), u"bob: hi\r\nbob: heard");
}

TEST_F(PollRescanTest, AViewWhoseWindowGoesDuringTheCaptureTriggersTheRescan) {
  const auto bob = client.Open("IM with bob", u"bob: hi");
  const auto ann = client.Open("IM with ann", u"ann: hi");
  Start();
  client.Document(bob.view).beforeStep = [&](DocStep step) {
    if (step == DocStep::kLength) client.Close(bob.window);
  };
  client.Append(ann.view, u"\r\nann: meanwhile");
  Tick();
  EXPECT_EQ(Rescans(), 0u);
  EXPECT_EQ(Said(), (std::vector<Text>{u"ann says    meanwhile\r\n"})) << "the views after it are read";
  Tick();
  EXPECT_EQ(Rescans(), 1u) << "the next tick makes the rescan";
}

// A view whose capture was skipped keeps its last known text; one found by the first scan while
// it was skipped is primed by its first capture that ends, which speaks nothing, while one found
// later speaks its opening line. A line that came meanwhile is spoken once.
TEST_F(PollRescanTest, ASkippedCaptureIsNeitherAFailureNorNewText) {
  const auto bob = client.Open("IM with bob", u"bob: hi");
  const auto ann = client.Open("IM with ann", u"ann: there before us");
  captures.stuck = {ann.view};
  Start();
  client.Append(bob.view, u"\r\nbob: one");
  client.Append(ann.view, u"\r\nann: also before us");
  Tick();
  EXPECT_EQ(Said(), (std::vector<Text>{u"bob says    one\r\n"}));
  EXPECT_EQ(Rescans(), 0u) << "skipped is not gone";

  captures.stuck = {bob.view};
  client.Append(bob.view, u"\r\nbob: during the stall");
  const auto cy = client.Open("IM with cy", u"cy: hi");
  Tick();
  ASSERT_EQ(Rescans(), 1u);
  Tick();
  EXPECT_EQ(Said(), (std::vector<Text>{u"bob says    one\r\n", u"cy says    hi\r\n"}))
      << "ann's first capture primes it; cy is new";
  EXPECT_EQ(IMText(2), u"ann: there before us\r\nann: also before us");

  captures.stuck.clear();
  client.Append(ann.view, u"\r\nann: new");
  Tick();
  EXPECT_EQ(Said(), (std::vector<Text>{u"bob says    one\r\n", u"cy says    hi\r\n",
                                       u"bob says    during the stall\r\n", u"ann says    new\r\n"}));
  (void)cy;
}

// A conversation that opens while the program runs speaks its last line, the one that most likely
// opened it, at its first capture that holds a line; the earlier lines a client may show are not
// read. The switches apply as to any line.
TEST_F(PollRescanTest, ANewConversationSpeaksTheLineThatOpenedIt) {
  const auto bob = client.Open("IM with bob", u"bob: hi");
  Start();
  struct Case {
    const char* what;
    const char16_t* shown;
    std::int16_t useReader, topOnly;
    bool inFront;
    std::vector<Text> said;
    Text next = u"carol says    next\r\n";
  };
  const Case cases[] = {
      {"opening line", u"carol: are you there?", 1, 0, false, {u"carol says    are you there?\r\n"}},
      {"opening line still being written", u"carol: one\r\ncarol: hi\r\n", 1, 0, false, {},
       u"carol says    hi\r\ncarol says    next\r\n"},
      {"lines shown before it", u"carol: one\r\ncarol: two\r\ncarol: three", 1, 0, false, {u"carol says    three\r\n"}},
      {"no line yet", u"", 1, 0, false, {}},
      {"reading off", u"carol: hello", 0, 0, false, {}},
      {"active window only, behind", u"carol: hello", 1, 1, false, {}},
      {"active window only, in front", u"carol: hello", 1, 1, true, {u"carol says    hello\r\n"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    state.UseReader = c.useReader;
    state.TopOnly = c.topOnly;
    voice->calls.clear();
    const auto carol = client.Open("IM with carol", c.shown);
    client.desktop.SetForeground(c.inFront ? carol.window : bob.window);
    Tick();
    Tick();
    EXPECT_EQ(Said(), c.said);
    client.Append(carol.view, u"\r\ncarol: next");
    Tick();
    std::vector<Text> said = c.said;
    if (c.useReader > 0 && (c.topOnly == 0 || c.inFront)) said.push_back(c.next);
    EXPECT_EQ(Said(), said);
    client.Close(carol.window);
    Tick();
  }
}

// A view that leaves the list while its window lives has the capture that was out judged when it
// comes back, by the switch as it stood when it was read, and resumes from it.
TEST_F(PollRescanTest, AResultForAViewOffTheListIsJudgedAtOnce) {
  const struct {
    const char* what;
    std::int16_t readingWhileAway;
    std::vector<Text> said;
  } rows[] = {
      {"reading on", 1, {u"bob says    while away\r\n", u"bob says    back\r\n"}},
      {"reading off, switched on before it is back", 0, {u"bob says    back\r\n"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const auto bob = client.Open("IM with bob", u"bob: hi");
    Start();
    voice->calls.clear();
    state.UseReader = row.readingWhileAway;
    client.Append(bob.view, u"\r\nbob: while away");
    captures.stuck = {bob.view};
    Tick();
    client.desktop.SetTitle(bob.window, "bob - Editor");
    const auto cy = client.Open("IM with cy", u"");
    Tick();
    ASSERT_EQ(state.LeftViews.size(), 1u);
    captures.stuck.clear();
    Answer();
    state.UseReader = 1;
    state.ReadingSwitchedOn->fetch_add(1);
    client.desktop.SetTitle(bob.window, "IM with bob");
    Tick();
    ASSERT_TRUE(state.LeftViews.empty());
    client.Append(bob.view, u"\r\nbob: back");
    Tick();
    Tick();
    EXPECT_EQ(Said(), row.said);
    client.Close(bob.window);
    client.Close(cy.window);
    Tick();
  }
}

TEST_F(PollRescanTest, AWindowTestThatFailsCountsAsGone) {
  const auto cy = client.Open("IM with cy", u"");
  client.SetBody(cy.view, u"cy");
  Start();
  client.desktop.beforeCall = [](const fakes::WindowCall& call) {
    if (call.name == "IsWindow") throw std::runtime_error("failed");
  };
  Tick();
  EXPECT_EQ(Rescans(), 1u);
}

TEST_F(PollRescanTest, ATickNeverRunsInsideAnotherOrWhileTheTimerIsOff) {
  const auto bob = client.Open("IM with bob", u"bob: hi");
  Start();
  int nested = 0;
  client.Document(bob.view).beforeStep = [&](DocStep step) {
    if (step != DocStep::kInnerText) return;
    ++nested;
    cycle.Timer2_Timer();  // a timer message pumped during the cross-process call
  };
  client.Append(bob.view, u"\r\nbob: once");
  Tick();
  EXPECT_EQ(nested, 1) << "the nested tick made no capture";
  EXPECT_EQ(Said(), (std::vector<Text>{u"bob says    once\r\n"}));

  client.Document(bob.view).beforeStep = nullptr;
  timer.enabled = false;
  client.Append(bob.view, u"\r\nbob: later");
  client.desktop.ClearLog();
  Tick();
  EXPECT_TRUE(client.desktop.Calls().empty());
  timer.enabled = true;
  Tick();
  EXPECT_EQ(Said().back(), u"bob says    later\r\n");
}

}  // namespace
}  // namespace murmuro
