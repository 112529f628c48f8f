// A start-up that cannot read its settings: a message box that says what is wrong and where,
// no icon left in the tray, the settings file untouched, and an exit code that is not 0. And
// start-ups that must not go ahead: a session ending half-way, a second copy.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "core/start_up.h"
#include "e2e/reading/reading_support.h"

namespace murmuro::e2e::reading {
namespace {

using ::testing::HasSubstr;

struct BadSettings {
  const char* name;
  std::optional<std::string> file;  // nullopt: no kel.dat at all
  const char* mentions;             // besides the file's name
  bool closedFromOutside = false;   // WM_CLOSE to the main window ends the box, not its OK
};

void PrintTo(const BadSettings& c, std::ostream* out) { *out << c.name; }

class FailedStart : public ReadingTest, public ::testing::WithParamInterface<BadSettings> {};

TEST_P(FailedStart, ReportsTheFileLeavesNoIconAndEndsWithAnError) {
  const BadSettings& c = GetParam();
  // A conversation is open, so the first scan has something to do before the settings fail.
  auto client = LaunchClient(std::string("reading-failed-") + c.name);
  ASSERT_TRUE(client);
  ASSERT_GT(client->Send("open ned title=IM with ned"), 0);

  MurmuroRun run(c.file);
  ASSERT_TRUE(run.Start());
  const HWND window = run.Window();
  HWND box = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (box = FindProcessWindow(run.ProcessId(), L"#32770", L"Murmuro")) != nullptr; },
                        10000))
      << "no message box";
  const std::string text = Narrow(MessageBoxText(box));
  EXPECT_THAT(text, HasSubstr("kel.dat"));
  EXPECT_THAT(text, HasSubstr(c.mentions));
  // The icon went before the box appeared.
  EXPECT_FALSE(TrayIconExists(window));

  const HWND ok = GetDlgItem(box, IDOK);
  ASSERT_TRUE(ok);
  if (c.closedFromOutside) {
    MurmuroRun other(kReadingOn);
    EXPECT_TRUE(other.Start()) << "a start meanwhile is refused: the failed copy holds the one-copy name";
    PostMessageW(window, WM_CLOSE, 0, 0);  // as an installer's upgrade does
  } else {
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
  }
  const auto exitCode = run.WaitForExit();
  ASSERT_TRUE(exitCode.has_value()) << "still running after the box was dismissed or closed";
  EXPECT_EQ(*exitCode, static_cast<DWORD>(kExitSettings));
  EXPECT_FALSE(TrayIconExists(window));

  const bool present = std::filesystem::exists(run.Folder() / "kel.dat");
  EXPECT_EQ(present, c.file.has_value());
  if (c.file) {
    EXPECT_EQ(run.Settings(), *c.file);
  }
  EXPECT_FALSE(std::filesystem::exists(run.Transcript()));
}

INSTANTIATE_TEST_SUITE_P(
    Reading, FailedStart,
    ::testing::Values(BadSettings{"missing", std::nullopt, "missing"},
                      BadSettings{"malformed", std::string("1\r\nabc\r\nlol,laughing out loud\r\n"), "line 2"},
                      BadSettings{"oversized", "1\r\n0\r\n" + std::string(1 << 20, 'x'), "is 1,048,582 bytes"},
                      BadSettings{"closed", std::string("1\r\nabc\r\n"), "line 2", true}),
    [](const auto& test) { return std::string(test.param.name); });

// Logoff while the program starts at sign-in: the session's end reaches it while its first scan
// waits for a slow client, before the settings are read. The user's file must stay as it is.
TEST_F(ReadingTest, SessionEndDuringTheFirstScanLeavesTheSettingsAlone) {
  auto client = LaunchClient("reading-session-end");
  ASSERT_TRUE(client);
  ASSERT_GT(client->Send("open pam title=IM with pam"), 0);
  ASSERT_EQ(client->Send("slow pam 1 3000"), 1);
  const std::string file = "1\r\n1\r\nafk,away from keyboard\r\nbrb,be right back\r\n";
  MurmuroRun run(file);
  ASSERT_TRUE(run.Start());
  DWORD_PTR result = 0;
  ASSERT_TRUE(SendMessageTimeoutW(run.Window(), WM_ENDSESSION, TRUE, 0, SMTO_NORMAL, 10000, &result));
  EXPECT_EQ(run.WaitForExit(), std::optional<DWORD>(0));
  EXPECT_EQ(run.Settings(), file);
  EXPECT_FALSE(FindProcessWindow(run.ProcessId(), L"#32770")) << "the end asks nothing";
}

// A second start in the same session says where the first one is and changes nothing; neither a
// first copy that crashed nor a second that still shows its message keeps the next start out.
TEST_F(ReadingTest, ASecondCopySaysSoAndChangesNothing) {
  const std::string file = "1\r\n0\r\nlol,laughing out loud\r\n";
  MurmuroRun first(file);
  ASSERT_TRUE(first.Start());
  MurmuroRun second(std::nullopt, first.Folder() / "murmuro.exe");
  ASSERT_FALSE(second.Start(1500)) << "the second copy made no window of its own";
  HWND box = nullptr;
  ASSERT_TRUE(WaitUntil(
      [&] { return (box = FindProcessWindow(second.ProcessId(), L"#32770", L"Murmuro")) != nullptr; }, 10000));
  EXPECT_THAT(Narrow(MessageBoxText(box)),
              HasSubstr("Murmuro is already running. Its icon is in the notification area."));
  EXPECT_TRUE(TrayIconExists(first.Window())) << "the first copy runs on";

  ASSERT_TRUE(TerminateProcess(first.Process(), 9));
  ASSERT_TRUE(first.WaitForExit().has_value());
  MurmuroRun third(std::nullopt, first.Folder() / "murmuro.exe");
  ASSERT_TRUE(third.Start()) << "nothing runs, so nothing may block the next start";
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
  EXPECT_EQ(second.WaitForExit(), std::optional<DWORD>(0));
  third.Close();
  EXPECT_EQ(third.WaitForExit(), std::optional<DWORD>(0));
  EXPECT_EQ(first.Settings(), file);
}

}  // namespace
}  // namespace murmuro::e2e::reading
