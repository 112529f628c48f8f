// Each unpacked zip, 64-bit and 32-bit: its three files, and a murmuro.exe of its kind, carrying
// the icon, that starts from that folder with the kel.dat beside it, shows its tray icon and
// exits cleanly, leaving the settings as they were.
#include "e2e/support/murmuro_run.h"
#include "e2e/ui/program_windows.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "app/resource_ids.h"

namespace murmuro::e2e {
namespace {

std::string ReadFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The size and bit count of each image of the program icon, from the icon directory the program
// carries (read as data: the 64-bit test reads the 32-bit program too).
std::vector<std::pair<int, int>> IconDirectory(const std::filesystem::path& exe) {
  std::vector<std::pair<int, int>> images;
  HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  HRSRC found = module ? FindResourceW(module, MAKEINTRESOURCEW(IDI_MURMURO), MAKEINTRESOURCEW(14)) : nullptr;
  const auto* directory = found ? static_cast<const BYTE*>(LockResource(LoadResource(module, found))) : nullptr;
  // Six bytes, the count at 4; then 14 bytes an image: the width first (0 for 256), the bit count at 6.
  for (int i = 0; directory && i < directory[4] + 256 * directory[5]; ++i) {
    const BYTE* image = directory + 6 + 14 * i;
    images.emplace_back(image[0] == 0 ? 256 : image[0], image[6] + 256 * image[7]);
  }
  if (module) FreeLibrary(module);
  return images;
}

struct PackageCase {
  const char* name;
  const char* folderVariable;
  DWORD binaryType;
};

TEST(Package, UnpacksToAProgramThatStarts) {
  ASSERT_TRUE(RegisterRecordingVoice());
  const PackageCase cases[] = {{"win64", "MURMURO_PACKAGE_DIR", SCS_64BIT_BINARY},
                               // Runs under Wine's 32-bit side with the voices registered for it.
                               {"win32", "MURMURO_PACKAGE32_DIR", SCS_32BIT_BINARY}};
  for (const PackageCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::filesystem::path folder = HostPath(c.folderVariable);
    ASSERT_FALSE(folder.empty()) << c.folderVariable << " is not set: that zip was not made";
    for (const char* name : {"murmuro.exe", "kel.dat", "README.txt"}) {
      EXPECT_TRUE(std::filesystem::is_regular_file(folder / name)) << name;
    }
    const std::string settings = ReadFile(folder / "kel.dat");
    ASSERT_EQ(settings.rfind("1\r\n0\r\n", 0), 0u) << "reading on, every window";
    EXPECT_NE(ReadFile(folder / "README.txt").find("kel.dat"), std::string::npos);
    DWORD binaryType = 0;
    EXPECT_TRUE(GetBinaryTypeW((folder / "murmuro.exe").c_str(), &binaryType));
    EXPECT_EQ(binaryType, c.binaryType);
    // 32 bits with alpha, in every size the shell asks for at 100 % to 200 % and for large icons.
    const std::vector<std::pair<int, int>> icon = IconDirectory(folder / "murmuro.exe");
    EXPECT_EQ(icon, (std::vector<std::pair<int, int>>{
                        {16, 32}, {20, 32}, {24, 32}, {32, 32}, {40, 32}, {48, 32}, {64, 32}, {256, 32}}));

    MurmuroRun run(std::nullopt, folder / "murmuro.exe");
    ASSERT_TRUE(run.Start()) << "murmuro.exe did not come up";
    // The window comes before its icon.
    EXPECT_TRUE(WaitUntil([&] { return TrayIconExists(run.Window()); }));
    run.Close();
    EXPECT_EQ(run.WaitForExit(), std::optional<DWORD>(0));
    EXPECT_EQ(ReadFile(folder / "kel.dat"), settings);
  }
}

}  // namespace
}  // namespace murmuro::e2e
