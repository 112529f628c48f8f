// The two switches as the running program honours them: reading off (and switched on from the
// tray menu), and speaking only the conversation in the foreground.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "e2e/reading/reading_support.h"

namespace murmuro::e2e::reading {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Lines that arrive while reading is off are passed over for good; once the user switches
// reading on from the menu, the lines after that are spoken.
TEST_F(ReadingTest, LinesWhileReadingIsOffStayUnspokenAfterItIsSwitchedOn) {
  auto client = LaunchClient("reading-off");
  ASSERT_TRUE(client);
  ASSERT_GT(client->Send("open cat title=IM with cat"), 0);
  ASSERT_EQ(client->Send("append cat 1 text=cat: before start"), 1);

  MurmuroRun run("0\r\n0\r\nlol,laughing out loud\r\n");
  ASSERT_TRUE(StartReading(run, {{client.get(), 1}}));
  ASSERT_EQ(client->Send("append cat 1 text=cat: lol while off"), 1);
  ASSERT_EQ(client->Send("append cat 1 text=cat: still off"), 1);
  CaptureCount captures(*client);
  ASSERT_TRUE(captures.WaitFor(2, 5000));  // two ticks have seen both lines
  EXPECT_THAT(run.Transcribed(), IsEmpty());

  ASSERT_TRUE(ChooseTrayMenuItem(run, 1));  // "Use Murmuro"
  captures.Restart();
  ASSERT_TRUE(captures.WaitFor(2, 5000));
  EXPECT_THAT(run.Transcribed(), IsEmpty());

  ASSERT_EQ(client->Send("append cat 1 text=cat: now on"), 1);
  const auto spoken = run.WaitForSpoken(1);
  EXPECT_THAT(Texts(spoken), ElementsAre("cat says    now on\r\n"));
  // The switch is kept on exit.
  run.Close();
  EXPECT_EQ(run.WaitForExit(), std::optional<DWORD>(0));
  EXPECT_EQ(run.Settings(), "1\r\n0\r\nlol,laughing out loud\r\n");
}

// Active window only, with the foreground conversation second in the list: the one before it
// is passed over, the foreground one is still spoken.
TEST_F(ReadingTest, TopOnlySpeaksTheForegroundConversationWhereverItStands) {
  auto front = LaunchClient("reading-top-front");
  auto back = LaunchClient("reading-top-back");
  ASSERT_TRUE(front && back);
  const HWND dan = ToHwnd(front->Send("open dan title=IM with dan"));
  const HWND eve = ToHwnd(back->Send("open eve title=IM with eve"));
  ASSERT_TRUE(dan && eve);
  ASSERT_TRUE(EnumeratedBefore(eve, dan));

  MurmuroRun run("1\r\n1\r\nlol,laughing out loud\r\n");
  ASSERT_TRUE(StartReading(run, {{front.get(), 1}, {back.get(), 1}}));
  // dan comes forward; the program's list keeps eve first.
  ASSERT_EQ(front->Send("activate dan"), 1);
  ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == dan; }, 5000));

  CaptureCount danCaptures(*front);
  ASSERT_TRUE(danCaptures.WaitFor(1, 5000));  // a tick has just ended with dan
  ASSERT_EQ(back->Send("append eve 1 text=eve: in the background"), 1);
  ASSERT_EQ(front->Send("append dan 1 text=dan: lol in front"), 1);

  const auto spoken = run.WaitForSpoken(1);
  EXPECT_THAT(Texts(spoken), ElementsAre("dan says    laughing out loud in front\r\n"));
  // eve is looked at before dan in every tick: one more tick would have spoken her line.
  danCaptures.Restart();
  ASSERT_TRUE(danCaptures.WaitFor(1, 5000));
  EXPECT_THAT(Texts(run.Transcribed()), ElementsAre("dan says    laughing out loud in front\r\n"));

  // eve's line break, read behind the front, stays open: the line that finishes it once she is
  // in front is spoken alone, not her conversation read back from its end.
  CaptureCount eveCaptures(*back);
  ASSERT_EQ(back->Send("set eve 1 text=eve: in the background\\r\\neve: still behind\\r\\n"), 1);
  ASSERT_TRUE(eveCaptures.WaitFor(3, 5000));
  ASSERT_EQ(back->Send("activate eve"), 1);
  ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == eve; }, 5000));
  ASSERT_EQ(back->Send("set eve 1 text=eve: in the background\\r\\neve: still behind\\r\\neve: lol in front"), 1);
  EXPECT_THAT(Texts(run.WaitForSpoken(2)), ElementsAre("dan says    laughing out loud in front\r\n",
                                                       "eve says    laughing out loud in front\r\n"));
  eveCaptures.Restart();
  ASSERT_TRUE(eveCaptures.WaitFor(2, 5000));
  EXPECT_EQ(run.Transcribed().size(), 2u);
}

}  // namespace
}  // namespace murmuro::e2e::reading
