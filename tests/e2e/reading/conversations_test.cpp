// Conversations that come, go, stay empty or stop answering while others are being read: no
// line of the others is lost and the newcomers are read too.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "e2e/reading/reading_support.h"

namespace murmuro::e2e::reading {
namespace {

using ::testing::ElementsAre;

// A conversation opened while another is listed and polled is found and read.
TEST_F(ReadingTest, ConversationOpenedWhileAnotherIsPolledIsRead) {
  auto old = LaunchClient("reading-open-old");
  auto late = LaunchClient("reading-open-late");
  ASSERT_TRUE(old && late);
  ASSERT_GT(old->Send("open fay title=IM with fay"), 0);

  MurmuroRun run(kReadingOn);
  ASSERT_TRUE(StartReading(run, {{old.get(), 1}, {late.get(), 0}}));
  CaptureCount fayCaptures(*old);
  ASSERT_TRUE(fayCaptures.WaitFor(1, 5000));  // ticks are running over fay

  CaptureCount gusCaptures(*late);
  ASSERT_GT(late->Send("open gus title=gus - Instant Message"), 0);
  ASSERT_TRUE(gusCaptures.WaitFor(1, 5000)) << "the new conversation was never looked at";
  ASSERT_EQ(late->Send("append gus 1 text=gus: lol hello"), 1);
  EXPECT_THAT(Texts(run.WaitForSpoken(1)), ElementsAre("gus says    laughing out loud hello\r\n"));

  ASSERT_EQ(old->Send("append fay 1 text=fay: me too"), 1);
  EXPECT_THAT(Texts(run.WaitForSpoken(2)),
              ElementsAre("gus says    laughing out loud hello\r\n", "fay says    me too\r\n"));
}

// A conversation that opens while the program runs holds its first message before the program
// has ever asked for it: that line is read, then the next one. One that opens showing earlier
// lines too reads only its last. What was there at start-up stays unread.
TEST_F(ReadingTest, ANewConversationIsReadFromTheLineItOpenedWith) {
  auto client = LaunchClient("reading-new-opening-line");
  ASSERT_TRUE(client);
  ASSERT_GT(client->Send("open amy lines=amy:\\sold\\snews title=IM with amy"), 0);
  MurmuroRun run(kReadingOn);
  ASSERT_TRUE(StartReading(run, {{client.get(), 1}}));

  ASSERT_GT(client->Send("open carol lines=carol:\\sare\\syou\\sthere? title=IM with carol"), 0);
  EXPECT_THAT(Texts(run.WaitForSpoken(1)), ElementsAre("carol says    are you there?\r\n"));
  ASSERT_EQ(client->Send("append carol 1 text=carol: lol hello"), 1);
  ASSERT_EQ(run.WaitForSpoken(2).size(), 2u);
  ASSERT_GT(client->Send("open dan lines=dan:\\sone\\r\\ndan:\\stwo\\r\\ndan:\\sthree title=IM with dan"), 0);
  EXPECT_THAT(Texts(run.WaitForSpoken(3)),
              ElementsAre("carol says    are you there?\r\n", "carol says    laughing out loud hello\r\n",
                          "dan says    three\r\n"));
  CaptureCount captures(*client);
  ASSERT_TRUE(captures.WaitFor(6, 8000));
  EXPECT_EQ(run.Transcribed().size(), 3u) << "each once";
}

// What the program holds in a client for a conversation goes when the conversation does, and at
// exit: the client's count of its objects held from outside comes back each time.
TEST_F(ReadingTest, WhatTheProgramHoldsInAClientGoesWithItsConversations) {
  auto client = LaunchClient("reading-release");
  ASSERT_TRUE(client);
  const auto alive = [&](LRESULT n) { return WaitUntil([&] { return client->Send("alive") == n; }, 8000); };
  ASSERT_TRUE(alive(0));
  for (const char* name : {"eve", "fred"}) {
    ASSERT_GT(client->Send(std::string("open ") + name + " title=IM with " + name), 0);
  }
  MurmuroRun run(kReadingOn);
  ASSERT_TRUE(StartReading(run, {{client.get(), 2}}));
  ASSERT_TRUE(alive(6)) << "a document, its body and its collection of elements a view";

  // In one tick: one closes, one opens; the rescan comes first.
  ASSERT_EQ(client->Send("close eve"), 1);
  ASSERT_GT(client->Send("open gil lines=gil:\\shi title=IM with gil"), 0);
  ASSERT_THAT(Texts(run.WaitForSpoken(1)), ElementsAre("gil says    hi\r\n"));
  EXPECT_TRUE(alive(7)) << "and the element that holds the end of gil's text: " << client->Send("alive");

  ASSERT_EQ(client->Send("close fred"), 1);
  ASSERT_EQ(client->Send("close gil"), 1);
  EXPECT_TRUE(alive(0)) << client->Send("alive");

  for (const char* name : {"hal", "ivy"}) {
    ASSERT_GT(client->Send(std::string("open ") + name + " title=IM with " + name), 0);
  }
  ASSERT_TRUE(alive(6));
  run.Close();
  EXPECT_EQ(run.WaitForExit(5000), std::optional<DWORD>(0));
  EXPECT_TRUE(alive(0)) << client->Send("alive");
}

// A conversation window whose browser view loads after the window itself: the line it opens with
// is read once the view is there, and while it has none the conversation beside it goes on being
// read.
TEST_F(ReadingTest, AViewThatComesAfterItsWindowIsRead) {
  auto live = LaunchClient("reading-late-view-live");
  auto late = LaunchClient("reading-late-view");
  ASSERT_TRUE(live && late);
  ASSERT_GT(live->Send("open oli title=IM with oli"), 0);
  ASSERT_GT(late->Send("open quin views=0 title=IM with quin"), 0);

  MurmuroRun run(kReadingOn);
  ASSERT_TRUE(StartReading(run, {{live.get(), 1}, {late.get(), 0}}));
  ASSERT_EQ(live->Send("append oli 1 text=oli: lol beside it"), 1);
  EXPECT_THAT(Texts(run.WaitForSpoken(1)), ElementsAre("oli says    laughing out loud beside it\r\n"));

  Sleep(2000);
  CaptureCount quinCaptures(*late);
  ASSERT_GT(late->Send("addview quin text=quin: hello"), 0);
  ASSERT_TRUE(quinCaptures.WaitFor(1, 5000)) << "the new view was never looked at";
  ASSERT_EQ(late->Send("append quin 1 text=quin: lol at last"), 1);
  EXPECT_THAT(Texts(run.WaitForSpoken(3)),
              ElementsAre("oli says    laughing out loud beside it\r\n", "quin says    hello\r\n",
                          "quin says    laughing out loud at last\r\n"));
  ASSERT_TRUE(quinCaptures.WaitFor(3, 5000));
  EXPECT_EQ(run.Transcribed().size(), 3u) << "spoken once";
}

// A new conversation whose text is still too short to read stands first in the list: the
// conversation after it is still read, and the newcomer is read once it has a line.
TEST_F(ReadingTest, EmptyNewConversationDoesNotSilenceTheOthers) {
  auto talking = LaunchClient("reading-empty-talking");
  auto empty = LaunchClient("reading-empty-new");
  ASSERT_TRUE(talking && empty);
  const HWND hal = ToHwnd(talking->Send("open hal title=IM with hal"));
  ASSERT_TRUE(hal);

  MurmuroRun run(kReadingOn);
  ASSERT_TRUE(StartReading(run, {{talking.get(), 1}}));
  // Two characters of body text: fewer than the five a capture drops.
  CaptureCount idaCaptures(*empty);
  const HWND ida = ToHwnd(empty->Send("open ida trailer=ab title=IM with ida"));
  ASSERT_TRUE(ida);
  ASSERT_TRUE(EnumeratedBefore(ida, hal));
  // Found by a rescan, then failed again by a tick.
  ASSERT_TRUE(idaCaptures.WaitFor(2, 5000)) << "the new conversation was never looked at";

  ASSERT_EQ(talking->Send("append hal 1 text=hal: still talking"), 1);
  EXPECT_THAT(Texts(run.WaitForSpoken(1)), ElementsAre("hal says    still talking\r\n"));

  ASSERT_EQ(empty->Send("trailer ida 1 text=\\r\\n\\r\\n\\s"), 1);
  ASSERT_EQ(empty->Send("append ida 1 text=ida: first words"), 1);
  // A tick between the two commands sees an empty conversation and hands over an empty phrase.
  std::vector<std::string> said;
  ASSERT_TRUE(WaitUntil(
      [&] {
        said.clear();
        for (const std::string& text : Texts(run.Transcribed())) {
          if (!text.empty()) said.push_back(text);
        }
        return said.size() >= 2;
      },
      5000));
  EXPECT_THAT(said, ElementsAre("hal says    still talking\r\n", "ida says    first words\r\n"));
}

// A conversation closes right after a line arrived in another one: the tick that finds it gone
// rescans, and the other conversation's line is still spoken after the rescan.
TEST_F(ReadingTest, ClosedConversationRescansWithoutLosingTheOthersLines) {
  auto staying = LaunchClient("reading-close-staying");
  auto leaving = LaunchClient("reading-close-leaving");
  ASSERT_TRUE(staying && leaving);
  const HWND jan = ToHwnd(staying->Send("open jan title=IM with jan"));
  const HWND kim = ToHwnd(leaving->Send("open kim title=IM with kim"));
  ASSERT_TRUE(jan && kim);
  ASSERT_TRUE(EnumeratedBefore(kim, jan));

  MurmuroRun run(kReadingOn);
  ASSERT_TRUE(StartReading(run, {{staying.get(), 1}, {leaving.get(), 1}}));
  CaptureCount janCaptures(*staying);
  ASSERT_TRUE(janCaptures.WaitFor(1, 5000));  // a tick has just ended with jan, the last
  ASSERT_EQ(staying->Send("append jan 1 text=jan: just before"), 1);
  ASSERT_EQ(leaving->Send("close kim"), 1);
  EXPECT_THAT(Texts(run.WaitForSpoken(1)), ElementsAre("jan says    just before\r\n"));

  ASSERT_EQ(staying->Send("append jan 1 text=jan: and after"), 1);
  EXPECT_THAT(Texts(run.WaitForSpoken(2)),
              ElementsAre("jan says    just before\r\n", "jan says    and after\r\n"));
}

// A client that stops answering for three seconds, first in the list: nobody waits for it, and
// the conversation after it loses nothing.
TEST_F(ReadingTest, AHungClientDelaysNoOtherConversationAndLosesNothing) {
  auto lively = LaunchClient("reading-hang-lively");
  auto hung = LaunchClient("reading-hang-hung");
  ASSERT_TRUE(lively && hung);
  const HWND liv = ToHwnd(lively->Send("open liv title=IM with liv"));
  const HWND max = ToHwnd(hung->Send("open max title=IM with max"));
  ASSERT_TRUE(liv && max);
  ASSERT_TRUE(EnumeratedBefore(max, liv));

  MurmuroRun run(kReadingOn);
  ASSERT_TRUE(StartReading(run, {{lively.get(), 1}, {hung.get(), 1}}));
  CaptureCount livCaptures(*lively);
  ASSERT_TRUE(livCaptures.WaitFor(1, 5000));

  ASSERT_EQ(hung->Send("hang 3000"), 1);
  const std::uint64_t hangStart = NowMs();
  // A line every 300 ms through the hang and for a second after it.
  std::vector<std::uint64_t> appended;
  std::string want;
  for (int i = 1; NowMs() < hangStart + 4000; ++i) {
    appended.push_back(NowMs());
    ASSERT_EQ(lively->Send("append liv 1 text=liv: line " + std::to_string(i)), 1);
    want += "liv says    line " + std::to_string(i) + "\r\n";
    Sleep(300);
  }
  const auto heard = [&] {
    std::string all;
    for (const Spoken& s : run.Transcribed()) all += s.Text;
    return all;
  };
  ASSERT_TRUE(WaitUntil([&] { return heard() == want; }, 5000)) << Describe(run.Transcribed());
  // The hung client's own conversation is read again once it answers.
  ASSERT_EQ(hung->Send("append max 1 text=max: back again"), 1);
  want += "max says    back again\r\n";
  ASSERT_TRUE(WaitUntil([&] { return heard() == want; }, 5000)) << Describe(run.Transcribed());

  // A tick comes a second after the one before, plus a little work: no line waits longer,
  // however long the other client hangs. The bounds leave room for a loaded machine.
  std::size_t line = 0;
  std::uint64_t previousTick = 0;
  for (const Spoken& s : run.Transcribed()) {
    if (s.Text.find("liv says") == std::string::npos) continue;
    // Lines arrive faster than ticks, so every tick speaks: the phrases are the ticks.
    if (previousTick) {
      EXPECT_LE(s.TimeMs - previousTick, 1000u + 1100u);
    }
    previousTick = s.TimeMs;
    for (auto at = s.Text.find("liv says"); at != std::string::npos; at = s.Text.find("liv says", at + 1)) {
      ASSERT_LT(line, appended.size());
      EXPECT_LE(s.TimeMs - appended[line], 2500u) << "line " << line + 1;
      ++line;
    }
  }
  EXPECT_EQ(line, appended.size());
}

// A client that stops answering, half-way through a capture (its text read takes 20 s) or before
// it (its thread stops for 20 s, with four conversations open), or that takes 0.95 s for every
// read, never holds up the program: the menu opens at once and Exit ends the program. The slow
// client's four conversations are each read in turn. Prints the menu's median time to open.
TEST_F(ReadingTest, AClientStuckInACaptureLeavesTheMenuAndExitWorking) {
  const struct {
    const char* name;
    int conversations;
    const char* stop;  // none: no client at all
  } rows[] = {{"no client", 0, nullptr},
              {"stall", 1, "stall c1 1 20000 text=c1: too late"},
              {"hang", 4, "hang 20000"},
              {"slow", 4, "readdelay 950"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    auto client = LaunchClient(std::string("reading-stuck-menu-") + row.name);
    ASSERT_TRUE(client);
    for (int n = 1; n <= row.conversations; ++n) {
      ASSERT_GT(client->Send("open c" + std::to_string(n) + " title=IM with c" + std::to_string(n)), 0);
    }
    MurmuroRun run(kReadingOn);
    ASSERT_TRUE(StartReading(run, {{client.get(), row.conversations}}));
    if (row.stop) {
      ASSERT_EQ(client->Send(row.stop), 1);
    }
    Sleep(2500);  // ticks have gone on handing out captures meanwhile

    const auto openMenu = [&] {
      const std::uint64_t asked = NowMs();
      PostMessageW(run.Window(), 512, 0, WM_RBUTTONUP);
      HWND menu = nullptr;
      EXPECT_TRUE(WaitUntil([&] { return (menu = FindProcessWindow(run.ProcessId(), L"#32768")) != nullptr; }, 5000));
      return std::pair{menu, NowMs() - asked};
    };
    std::vector<std::uint64_t> opens;
    for (int i = 0; i < 10; ++i) {
      const auto [menu, took] = openMenu();
      ASSERT_TRUE(menu);
      opens.push_back(took);
      PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 1);
      PostMessageW(menu, WM_KEYUP, VK_ESCAPE, static_cast<LPARAM>(0xC0000001u));
      ASSERT_TRUE(WaitUntil([&] { return FindProcessWindow(run.ProcessId(), L"#32768") == nullptr; }, 5000));
    }
    std::sort(opens.begin(), opens.end());
    const std::uint64_t median = (opens[4] + opens[5]) / 2;
    std::printf("[ figure ] %s: the menu opened in %llu ms (median of 10)\n", row.name,
                static_cast<unsigned long long>(median));
    EXPECT_LT(median, 500u) << "the menu opens at once";

    if (std::string(row.name) == "slow") {
      const std::uint64_t sent = NowMs();
      for (int n = 1; n <= row.conversations; ++n) {
        ASSERT_EQ(client->Send("append c" + std::to_string(n) + " 1 text=c" + std::to_string(n) + ": news"), 1);
      }
      // Each read in turn: the last of them waits for at most every view's read and a tick.
      EXPECT_EQ(run.WaitForSpoken(4, 12000).size(), 4u) << Describe(run.Transcribed());
      std::printf("[ figure ] slow: the last of four new lines was spoken after %llu ms\n",
                  static_cast<unsigned long long>(run.Transcribed().back().TimeMs - sent));
    }

    const auto [menu, took] = openMenu();
    ASSERT_TRUE(menu);
    for (int i = 0; i < 3; ++i) {  // Use Murmuro, Options, Exit
      PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 1);
      PostMessageW(menu, WM_KEYUP, VK_DOWN, static_cast<LPARAM>(0xC0000001u));
    }
    const std::uint64_t chosen = NowMs();
    PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 1);
    PostMessageW(menu, WM_KEYUP, VK_RETURN, static_cast<LPARAM>(0xC0000001u));
    EXPECT_EQ(run.WaitForExit(2000), std::optional<DWORD>(0)) << "Exit ends the program within 2 s";
    std::printf("[ figure ] %s: Exit ended the program after %llu ms\n", row.name,
                static_cast<unsigned long long>(NowMs() - chosen));
    EXPECT_EQ(run.Settings(), kReadingOn);
    TerminateProcess(client->Process(), 0);  // still stuck: quitting it would wait out the stall
  }
}

// The line that arrives while the client is stuck is spoken once, when it answers again.
TEST_F(ReadingTest, TheLineThatCameDuringAStallIsSpokenOnce) {
  auto client = LaunchClient("reading-stall-line");
  ASSERT_TRUE(client);
  ASSERT_GT(client->Send("open tom title=IM with tom"), 0);
  ASSERT_EQ(client->Send("append tom 1 text=tom: hello"), 1);
  MurmuroRun run(kReadingOn);
  ASSERT_TRUE(StartReading(run, {{client.get(), 1}}));
  ASSERT_EQ(client->Send("stall tom 1 6000 text=tom: hello\\r\\ntom: lol meanwhile"), 1);
  // The stall begins at the next text read: the look at the end of the unchanged conversation.
  EXPECT_THAT(Texts(run.WaitForSpoken(1, 20000)), ElementsAre("tom says    laughing out loud meanwhile\r\n"));
  CaptureCount captures(*client);
  ASSERT_TRUE(captures.WaitFor(2, 5000));
  ASSERT_EQ(client->Send("append tom 1 text=tom: after"), 1);
  EXPECT_THAT(Texts(run.WaitForSpoken(2)),
              ElementsAre("tom says    laughing out loud meanwhile\r\n", "tom says    after\r\n"));
}

// A message that grows inside its element, by a line break with no element of its own (a grouped
// message): the element count cannot see it. The look at the end of the conversation finds it
// within the interval the first time and at the next tick from then on, with no full read of the
// idle conversation in between.
TEST_F(ReadingTest, ALineGrownInsideTheLastElementIsSpoken) {
  auto client = LaunchClient("reading-grown-line");
  ASSERT_TRUE(client);
  ASSERT_GT(client->Send("open una lines=una:\\shello title=IM with una"), 0);
  MurmuroRun run(kReadingOn);
  ASSERT_TRUE(StartReading(run, {{client.get(), 1}}));

  ASSERT_EQ(client->Send("grow una 1 text=\\r\\nuna: lol grouped"), 1);
  EXPECT_THAT(Texts(run.WaitForSpoken(1, 15000)), ElementsAre("una says    laughing out loud grouped\r\n"));
  ASSERT_EQ(client->Send("grow una 1 text=\\r\\nuna: and again"), 1);
  EXPECT_THAT(Texts(run.WaitForSpoken(2, 5000)),
              ElementsAre("una says    laughing out loud grouped\r\n", "una says    and again\r\n"));

  const LRESULT reads = client->Send("reads");
  const LRESULT checks = client->Send("checks");
  Sleep(3000);
  EXPECT_EQ(client->Send("reads"), reads) << "an idle conversation is not read in full every tick";
  EXPECT_GE(client->Send("checks"), checks + 2) << "its end is looked at every tick";
  EXPECT_EQ(run.Transcribed().size(), 2u) << "each once";
}

}  // namespace
}  // namespace murmuro::e2e::reading
