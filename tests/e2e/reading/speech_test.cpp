// What reaches the voice: only lines that arrive after start-up, each as sender, " says ", the
// expanded message, with the flags for asynchronous plain text; several views in list order.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "e2e/reading/reading_support.h"

namespace murmuro::e2e::reading {
namespace {

using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

constexpr std::uint32_t kAsyncPlainText = 1u | 16u;  // SVSFlagsAsync | SVSFIsNotXML

struct LineCase {
  const char* name;
  const char* append;  // the client's escapes: \r\n inside puts two lines in one append
  const char* spoken;
};

void PrintTo(const LineCase& c, std::ostream* out) { *out << c.name; }

class NewLine : public ReadingTest, public ::testing::WithParamInterface<LineCase> {};

// The conversation already holds lines, among them the same acronym: none of them is spoken,
// and the new line becomes exactly one phrase.
TEST_P(NewLine, IsSpokenAloneAsOnePlainTextPhrase) {
  const LineCase& c = GetParam();
  auto client = LaunchClient(std::string("reading-line-") + c.name);
  ASSERT_TRUE(client);
  ASSERT_GT(client->Send("open bob title=IM with bob"), 0);
  ASSERT_EQ(client->Send("append bob 1 text=bob: hello there"), 1);
  ASSERT_EQ(client->Send("append bob 1 text=amy: lol who is this"), 1);

  MurmuroRun run(kReadingOn);
  ASSERT_TRUE(StartReading(run, {{client.get(), 1}}));
  ASSERT_EQ(client->Send(std::string("append bob 1 text=") + c.append), 1);

  const auto spoken = run.WaitForSpoken(1);
  ASSERT_EQ(spoken.size(), 1u);
  EXPECT_EQ(spoken[0].Text, c.spoken);
  EXPECT_EQ(spoken[0].Flags, kAsyncPlainText);
  // Two more ticks change nothing: what was there at start-up stays unspoken.
  CaptureCount captures(*client);
  ASSERT_TRUE(captures.WaitFor(2, 5000));
  EXPECT_THAT(Texts(run.Transcribed()), ElementsAre(c.spoken));
}

INSTANTIATE_TEST_SUITE_P(
    Reading, NewLine,
    ::testing::Values(LineCase{"acronym", "bob: lol", "bob says    laughing out loud\r\n"},
                      LineCase{"markup", "<silence msec=\"9999\"/>: hi",
                               "<silence msec=\"9999\"/> says    hi\r\n"},
                      LineCase{"two_lines", "bob: one\\r\\namy: LOL ok",
                               "bob says    one\r\namy says    laughing out loud ok\r\n"}),
    [](const auto& test) { return std::string(test.param.name); });

// Two clients, one conversation each. Lines arriving in both between two ticks are spoken as two
// phrases, each once, in the order their clients answered, within one tick.
TEST_F(ReadingTest, TwoConversationsInOneTickSpeakOnceEach) {
  auto first = LaunchClient("reading-order-first");
  auto second = LaunchClient("reading-order-second");
  ASSERT_TRUE(first && second);
  const HWND ann = ToHwnd(first->Send("open ann title=IM with ann"));
  const HWND ben = ToHwnd(second->Send("open ben title=ben - Instant Message"));
  ASSERT_TRUE(ann && ben);

  MurmuroRun run(kReadingOn);
  ASSERT_TRUE(StartReading(run, {{first.get(), 1}, {second.get(), 1}}));
  // Right after ann's view has been looked at: the next tick is about a second away.
  CaptureCount annCaptures(*first);
  ASSERT_TRUE(annCaptures.WaitFor(1, 5000));
  ASSERT_EQ(first->Send("append ann 1 text=ann: first to arrive"), 1);
  ASSERT_EQ(second->Send("append ben 1 text=ben: second to arrive"), 1);

  const auto spoken = run.WaitForSpoken(2);
  ASSERT_EQ(spoken.size(), 2u);
  EXPECT_THAT(Texts(spoken), UnorderedElementsAre("ben says    second to arrive\r\n", "ann says    first to arrive\r\n"));
  // One tick: handed over back to back, not a tick apart.
  EXPECT_LT(spoken[1].TimeMs - spoken[0].TimeMs, 500u);
  ASSERT_TRUE(annCaptures.WaitFor(3, 5000));
  EXPECT_EQ(run.Transcribed().size(), 2u) << "each once";
}

// A fast conversation: lines keep arriving while the program reads the text, some of them
// between its reads within one capture. Every line is still spoken once, in order.
TEST_F(ReadingTest, LinesArrivingDuringACaptureAreEachSpokenOnceInOrder) {
  auto client = LaunchClient("reading-fast");
  ASSERT_TRUE(client);
  ASSERT_GT(client->Send("open pat title=IM with pat"), 0);
  ASSERT_EQ(client->Send("append pat 1 text=pat: hello"), 1);

  MurmuroRun run(kReadingOn);
  ASSERT_TRUE(StartReading(run, {{client.get(), 1}}));
  std::string want;
  const std::uint64_t until = NowMs() + 4000;
  for (int i = 1; NowMs() < until; ++i) {
    ASSERT_EQ(client->Send("append pat 1 text=pat: fast " + std::to_string(i)), 1);
    want += "pat says    fast " + std::to_string(i) + "\r\n";
    Sleep(15);
  }
  const auto heard = [&] {
    std::string all;
    for (const Spoken& s : run.Transcribed()) all += s.Text;
    return all;
  };
  EXPECT_TRUE(WaitUntil([&] { return heard() == want; }, 5000)) << Describe(run.Transcribed());
  // The same message three times in a row: each is a line of its own, and each is spoken.
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(client->Send("append pat 1 text=pat: ok"), 1);
    want += "pat says    ok\r\n";
    EXPECT_TRUE(WaitUntil([&] { return heard() == want; }, 5000)) << Describe(run.Transcribed());
  }
}

// Most IM clients are 32-bit programs and this one is 64-bit: the documents come across the
// process and the bitness. The history stays unspoken, the new line is read, the element count
// is asked across too, and what the program held in the client goes with the conversation.
TEST_F(ReadingTest, AThirtyTwoBitClientIsRead) {
  const char* exe = std::getenv("MURMURO_IM_CLIENT32");
  ASSERT_TRUE(exe && *exe) << "MURMURO_IM_CLIENT32 is not set: the 32-bit sample client was not built";
  auto client = im_client::ClientProcess::Launch(im_client::WindowsPath(exe), L"reading-32-bit");
  ASSERT_TRUE(client) << "the 32-bit client did not start (Wine needs its 32-bit side, wine32)";
  BOOL wow64 = FALSE;
  ASSERT_TRUE(IsWow64Process(client->Process(), &wow64));
  ASSERT_TRUE(wow64) << "a 32-bit process";
  ASSERT_GT(client->Send("open sam title=IM with sam"), 0);
  ASSERT_EQ(client->Send("append sam 1 text=sam: lol, earlier"), 1);

  MurmuroRun run(kReadingOn);
  ASSERT_TRUE(StartReading(run, {{client.get(), 1}}));
  ASSERT_EQ(client->Send("append sam 1 text=sam: lol from 32 bits"), 1);
  EXPECT_THAT(Texts(run.WaitForSpoken(1)), ElementsAre("sam says    laughing out loud from 32 bits\r\n"));
  EXPECT_TRUE(WaitUntil([&] { return client->Send("probes") > 0; }, 5000)) << "no element count asked";
  EXPECT_TRUE(WaitUntil([&] { return client->Send("alive") == 4; }, 8000))
      << "a document, its body, its collection and the element that holds its end, held: "
      << client->Send("alive");
  ASSERT_EQ(client->Send("close sam"), 1);
  EXPECT_TRUE(WaitUntil([&] { return client->Send("alive") == 0; }, 8000)) << client->Send("alive");
  EXPECT_EQ(run.Transcribed().size(), 1u) << Describe(run.Transcribed());
}

// The voice stops working after its first phrase (its audio device went away): a new voice takes
// the phrase over, and nothing is lost, repeated or put out of order. It either refuses the next
// text at once, or takes it and goes silent, which only its status tells.
class VoiceStops : public ReadingTest, public ::testing::WithParamInterface<const wchar_t*> {};
TEST_P(VoiceStops, AndIsMadeAnew) {
  SetEnvironmentVariableW(GetParam(), L"2");
  auto client = LaunchClient("reading-voice-renewed");
  ASSERT_TRUE(client);
  ASSERT_GT(client->Send("open rae title=IM with rae"), 0);
  MurmuroRun run(kReadingOn);
  ASSERT_TRUE(StartReading(run, {{client.get(), 1}}));
  SetEnvironmentVariableW(GetParam(), nullptr);
  for (const char* word : {"one", "two", "three"}) {
    const std::size_t before = run.Transcribed().size();
    ASSERT_EQ(client->Send(std::string("append rae 1 text=rae: ") + word), 1);
    ASSERT_EQ(run.WaitForSpoken(before + 1).size(), before + 1) << word;
  }
  EXPECT_THAT(Texts(run.Transcribed()),
              ElementsAre("rae says    one\r\n", "rae says    two\r\n", "rae says    three\r\n"));
}
INSTANTIATE_TEST_SUITE_P(Reading, VoiceStops,
                         ::testing::Values(L"MURMURO_VOICE_FAIL_FIRST", L"MURMURO_VOICE_SILENT_FIRST"));

}  // namespace
}  // namespace murmuro::e2e::reading
