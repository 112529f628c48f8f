// The unpacked zip: its three files, and a murmuro.exe that starts from that folder with the
// kel.dat beside it, shows its tray icon and exits cleanly, leaving the settings as they were.
#include "e2e/support/murmuro_run.h"
#include "e2e/ui/program_windows.h"

#include <gtest/gtest.h>

namespace murmuro::e2e {
namespace {

std::string ReadFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(Package, UnpacksToAProgramThatStarts) {
  const std::filesystem::path folder = std::getenv("MURMURO_PACKAGE_DIR");
  for (const char* name : {"murmuro.exe", "kel.dat", "README.txt"}) {
    EXPECT_TRUE(std::filesystem::is_regular_file(folder / name)) << name;
  }
  const std::string settings = ReadFile(folder / "kel.dat");
  ASSERT_EQ(settings.rfind("1\r\n0\r\n", 0), 0u) << "reading on, every window";
  EXPECT_NE(ReadFile(folder / "README.txt").find("kel.dat"), std::string::npos);

  ASSERT_TRUE(RegisterRecordingVoice());
  MurmuroRun run(std::nullopt, folder / "murmuro.exe");
  ASSERT_TRUE(run.Start()) << "murmuro.exe did not come up";
  // The window comes before its icon.
  EXPECT_TRUE(WaitUntil([&] { return TrayIconExists(run.Window()); }));
  run.Close();
  EXPECT_EQ(run.WaitForExit(), std::optional<DWORD>(0));
  EXPECT_EQ(ReadFile(folder / "kel.dat"), settings);
}

}  // namespace
}  // namespace murmuro::e2e
