// Each unpacked zip: its three files, a program built for its processor that carries the icon in
// every size the shell asks for, 32 bits with alpha, and a murmuro.exe that starts from that
// folder with the kel.dat beside it, shows its tray icon and exits cleanly, leaving the settings
// as they were.
#include "e2e/support/murmuro_run.h"
#include "e2e/ui/program_windows.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "app/resource_ids.h"

namespace murmuro::e2e {
namespace {

std::string ReadFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The processor a program's PE header names; 0 when it cannot be read.
WORD Machine(const std::string& image) {
  IMAGE_DOS_HEADER dos{};
  if (image.size() < sizeof dos) return 0;
  std::memcpy(&dos, image.data(), sizeof dos);
  const auto at = static_cast<std::size_t>(dos.e_lfanew);
  if (dos.e_magic != IMAGE_DOS_SIGNATURE || image.size() < at + 4 + sizeof(IMAGE_FILE_HEADER)) return 0;
  if (image.compare(at, 4, std::string("PE\0\0", 4)) != 0) return 0;
  IMAGE_FILE_HEADER header{};
  std::memcpy(&header, image.data() + at + 4, sizeof header);
  return header.Machine;
}

#pragma pack(push, 2)
struct GroupIconEntry {
  BYTE width;  // 0: 256
  BYTE height;
  BYTE colours;
  BYTE reserved;
  WORD planes;
  WORD bitCount;
  DWORD bytes;
  WORD id;
};
#pragma pack(pop)

// One image of the program icon as the program carries it.
struct IconImage {
  int size = 0;
  int bitCount = 0;
  bool png = false;
  bool partlyTransparent = false;  // a bitmap with alpha strictly between 0 and 255 somewhere
};

std::string Resource(HMODULE module, LPCWSTR name, LPCWSTR type) {
  HRSRC found = FindResourceW(module, name, type);
  HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  const auto* data = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  return data ? std::string(data, SizeofResource(module, found)) : std::string();
}

// The program icon's directory and the images it names, read from the file as data (a 64-bit
// test reads a 32-bit program too).
std::vector<IconImage> ProgramIcon(const std::filesystem::path& exe) {
  std::vector<IconImage> images;
  HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!module) return images;
  const std::string group = Resource(module, MAKEINTRESOURCEW(IDI_MURMURO), MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
  WORD count = 0;
  if (group.size() >= 6) std::memcpy(&count, group.data() + 4, sizeof count);
  for (WORD i = 0; i < count && 6 + (i + 1) * sizeof(GroupIconEntry) <= group.size(); ++i) {
    GroupIconEntry entry{};
    std::memcpy(&entry, group.data() + 6 + i * sizeof entry, sizeof entry);
    IconImage image{entry.width == 0 ? 256 : entry.width, entry.bitCount};
    const std::string bits = Resource(module, MAKEINTRESOURCEW(entry.id), MAKEINTRESOURCEW(3));  // RT_ICON
    image.png = bits.rfind("\x89PNG\r\n\x1a\n", 0) == 0;
    if (image.png) {
      // IHDR: width, height, depth 8, colour type 6 (RGBA).
      image.bitCount = bits.size() > 25 && bits[24] == 8 && bits[25] == 6 ? 32 : 0;
    } else if (bits.size() >= sizeof(BITMAPINFOHEADER)) {
      BITMAPINFOHEADER info{};
      std::memcpy(&info, bits.data(), sizeof info);
      if (info.biBitCount != image.bitCount || info.biWidth != image.size) image.bitCount = 0;
      const std::size_t pixels = static_cast<std::size_t>(image.size) * static_cast<std::size_t>(image.size);
      for (std::size_t p = 0; info.biBitCount == 32 && p < pixels && info.biSize + p * 4 + 3 < bits.size(); ++p) {
        const auto alpha = static_cast<unsigned char>(bits[info.biSize + p * 4 + 3]);
        image.partlyTransparent = image.partlyTransparent || (alpha > 0 && alpha < 255);
      }
    }
    images.push_back(image);
  }
  FreeLibrary(module);
  return images;
}

struct PackageCase {
  const char* name;
  const char* folderVariable;
  WORD machine;
};

TEST(Package, UnpacksToAProgramThatStarts) {
  ASSERT_TRUE(RegisterRecordingVoice());
  const PackageCase cases[] = {{"win64", "MURMURO_PACKAGE_DIR", IMAGE_FILE_MACHINE_AMD64},
                               // Runs under Wine's 32-bit side with the voices registered for it.
                               {"win32", "MURMURO_PACKAGE32_DIR", IMAGE_FILE_MACHINE_I386}};
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
    EXPECT_EQ(Machine(ReadFile(folder / "murmuro.exe")), c.machine);

    const std::vector<IconImage> icon = ProgramIcon(folder / "murmuro.exe");
    std::vector<int> sizes;
    for (const IconImage& image : icon) {
      sizes.push_back(image.size);
      EXPECT_EQ(image.bitCount, 32) << image.size << " px";
      EXPECT_EQ(image.png, image.size == 256) << image.size << " px";
      if (!image.png) {
        EXPECT_TRUE(image.partlyTransparent) << image.size << " px has no smooth edge";
      }
    }
    EXPECT_EQ(sizes, (std::vector<int>{16, 20, 24, 32, 40, 48, 64, 256}));

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
