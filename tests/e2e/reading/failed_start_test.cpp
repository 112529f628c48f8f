// A start-up that cannot read its settings: a message box that says what is wrong and where,
// no icon left in the tray, the settings file untouched, and an exit code that is not 0.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "e2e/reading/reading_support.h"

namespace murmuro::e2e::reading {
namespace {

using ::testing::HasSubstr;

struct BadSettings {
  const char* name;
  std::optional<std::string> file;  // nullopt: no kel.dat at all
  const char* mentions;             // besides the file's name
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
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
  const auto exitCode = run.WaitForExit();
  ASSERT_TRUE(exitCode.has_value()) << "still running after the box was dismissed";
  EXPECT_NE(*exitCode, 0u);
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
                      BadSettings{"oversized", "1\r\n0\r\n" + std::string(1 << 20, 'x'), "is 1,048,582 bytes"}),
    [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace murmuro::e2e::reading
