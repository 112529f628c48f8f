// The settings file's storage on a real Windows file system.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32/handles.h"
#include "platform/win32/win32_file_system.h"

namespace murmuro::win32 {
namespace {

namespace fs = std::filesystem;

class FileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() /
             ("murmuro-fs-" + std::to_string(::GetCurrentProcessId()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder);
    fs::create_directories(folder);
    file = folder / "kel.dat";
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }

  void Write(const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
  }
  std::string Read() const {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  std::vector<fs::path> Entries() const {
    std::vector<fs::path> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename());
    return names;
  }

  fs::path folder;
  fs::path file;
};

// GetTempFileNameW's names end in ".TMP" on Windows, ".tmp" under Wine.
bool IsTemporary(const fs::path& name) { return ::_wcsicmp(name.extension().c_str(), L".tmp") == 0; }

const std::string kOld = "1\r\n0\r\nlol,laughing out loud\r\n";
// Bigger than one write, with every byte value, so nothing is translated on the way.
std::string NewBytes() {
  std::string bytes;
  for (int i = 0; i < 3 * 1024 * 1024 + 7; ++i) bytes += static_cast<char>(i * 7 % 256);
  return bytes;
}

TEST_F(FileSystemTest, ReplaceCreatesOrReplacesTheWholeFileAndLeavesNoTemporaryFile) {
  Win32FileSystem files;
  EXPECT_EQ(files.ReplaceAll(file, kOld), "");
  EXPECT_EQ(Read(), kOld);
  const std::string bytes = NewBytes();
  EXPECT_EQ(files.ReplaceAll(file, bytes), "");
  EXPECT_EQ(Read(), bytes);
  EXPECT_EQ(files.ReplaceAll(file, ""), "");
  EXPECT_EQ(Read(), "");
  EXPECT_EQ(Entries(), std::vector<fs::path>{"kel.dat"});
  const fs::path backup = folder / "kel.dat.bak";  // takes the replaced file, in place of an earlier one
  EXPECT_EQ(files.ReplaceAll(file, kOld, backup), "");
  EXPECT_EQ(files.ReplaceAll(file, "last", backup), "");
  EXPECT_TRUE(Read() == "last" && files.Read(backup, 100) == kOld && Entries().size() == 2u);
}

TEST_F(FileSystemTest, ReadGivesTheBytesUpToTheLimitOrNothingForAMissingFile) {
  Win32FileSystem files;
  EXPECT_EQ(files.Read(file, 100), std::nullopt);
  EXPECT_EQ(files.Size(file), std::nullopt);
  EXPECT_EQ(files.Size(folder), std::nullopt);
  const std::string bytes = NewBytes();
  Write(bytes);
  EXPECT_EQ(files.Size(file), std::optional<std::uint64_t>(bytes.size()));
  EXPECT_EQ(files.Read(file, bytes.size() + 1), std::optional<std::string>(bytes));
  EXPECT_EQ(files.Read(file, 70000), std::optional<std::string>(bytes.substr(0, 70000)));
}

TEST_F(FileSystemTest, AReplaceFailingAtAnyStageLeavesTheOldFileAndNoTemporaryFile) {
  for (const std::string_view failing : {"opened", "written", "flushed"}) {
    Write(kOld);
    Win32FileSystem files([&](std::string_view stage) { return stage != failing; });
    EXPECT_NE(files.ReplaceAll(file, NewBytes()), "") << failing;
    EXPECT_EQ(Read(), kOld) << failing;
    EXPECT_EQ(Entries(), std::vector<fs::path>{"kel.dat"}) << failing;
  }
}

// Another program holding the file open without delete sharing (an editor, a scanner) makes
// the final step fail. (A read-only target would too on Windows, but Wine replaces it.)
TEST_F(FileSystemTest, ATargetThatCannotBeReplacedIsLeftAsItWasAndTheFailureIsReported) {
  Write(kOld);
  UniqueFile holder(::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(holder);
  Win32FileSystem files;
  const std::string error = files.ReplaceAll(file, "new contents");
  EXPECT_NE(files.ReplaceAll(file, "new contents", folder / "kel.dat.bak"), "");
  holder.reset();
  EXPECT_NE(error.find("cannot replace the file"), std::string::npos) << error;
  EXPECT_NE(error.find("(error "), std::string::npos) << error;
  EXPECT_EQ(Read(), kOld);
  EXPECT_EQ(Entries(), std::vector<fs::path>{"kel.dat"});
}

// An indexer or a virus scanner opens the file, or the one just written, for a moment: the swap
// is tried again until it lets go, here at the third try.
TEST_F(FileSystemTest, AFileHeldForAMomentDuringTheSwapIsReplacedOnceItIsLetGo) {
  const struct {
    bool holdTheNewFile;
    bool backup;
  } rows[] = {{false, false}, {false, true}, {true, false}, {true, true}};
  for (const auto& row : rows) {
    Write(kOld);
    UniqueFile holder;
    int tries = 0;
    Win32FileSystem files([&](std::string_view stage) {
      if (stage != "swap") return true;
      if (++tries == 1) {
        fs::path held = file;
        for (const fs::path& name : Entries()) {
          if (row.holdTheNewFile && IsTemporary(name)) held = folder / name;
        }
        holder.reset(::CreateFileW(held.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
      }
      if (tries == 3) holder.reset();
      return true;
    });
    const fs::path backup = row.backup ? folder / "kel.dat.bak" : fs::path();
    EXPECT_EQ(files.ReplaceAll(file, "new contents", backup), "") << row.holdTheNewFile << row.backup;
    EXPECT_EQ(tries, 3) << "held at the first try, let go at the third";
    EXPECT_EQ(Read(), "new contents");
    EXPECT_EQ(files.Read(folder / "kel.dat.bak", 100), row.backup ? std::optional<std::string>(kOld) : std::nullopt);
    EXPECT_EQ(Entries().size(), row.backup ? 2u : 1u);
    fs::remove(folder / "kel.dat.bak");
  }
}

// The swap as Windows may fail it. With error 1177 the old file has already gone to the backup
// name, in place of the earlier backup; it is put back, and the message says where each file is.
TEST_F(FileSystemTest, AFailedSwapIsTriedAgainOnlyWhileHeldAndA1177PutsTheFileBack) {
  const fs::path backup = folder / "kel.dat.bak";
  enum class After { kNothing, kBackupHeld, kBothGone };
  const struct {
    unsigned long error;
    After after;
    bool severalTries;
    std::vector<std::string> said;
    std::optional<std::string> left, kept;
  } rows[] = {
      {ERROR_SHARING_VIOLATION, After::kNothing, true, {"cannot replace the file"}, kOld, "earlier"},
      {ERROR_UNABLE_TO_MOVE_REPLACEMENT, After::kNothing, false, {"cannot replace the file"}, kOld, "earlier"},
      {ERROR_UNABLE_TO_MOVE_REPLACEMENT_2, After::kNothing, false, {"it is as it was", "earlier kel.dat.bak is gone"},
       kOld, std::nullopt},
      {ERROR_UNABLE_TO_MOVE_REPLACEMENT_2, After::kBackupHeld, false,
       {"the settings it held are in kel.dat.bak and kel.dat is missing", "rename kel.dat.bak to kel.dat"},
       std::nullopt, kOld},
      {ERROR_UNABLE_TO_MOVE_REPLACEMENT_2, After::kBothGone, false, {"neither kel.dat nor kel.dat.bak is there"},
       std::nullopt, std::nullopt},
  };
  for (const auto& row : rows) {
    Write(kOld);
    std::ofstream(backup, std::ios::binary) << "earlier";
    UniqueFile holder;
    int tries = 0;
    Win32FileSystem files({}, [&](const fs::path& target, const fs::path&, const fs::path& kept) -> unsigned long {
      ++tries;
      if (row.error != ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) return row.error;
      ::MoveFileExW(target.c_str(), kept.c_str(), MOVEFILE_REPLACE_EXISTING);
      if (row.after == After::kBothGone) fs::remove(kept);
      if (row.after == After::kBackupHeld) {
        holder.reset(::CreateFileW(kept.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
      }
      return row.error;
    });
    const std::string error = files.ReplaceAll(file, "new contents", backup);
    holder.reset();
    for (const std::string& said : row.said) EXPECT_NE(error.find(said), std::string::npos) << error;
    EXPECT_EQ(tries > 1, row.severalTries) << error;
    EXPECT_EQ(files.Read(file, 100), row.left) << error;
    EXPECT_EQ(files.Read(backup, 100), row.kept) << error;
    for (const fs::path& name : Entries()) EXPECT_FALSE(IsTemporary(name)) << error;
    fs::remove(backup);
  }
}

TEST_F(FileSystemTest, AMissingFolderIsReportedAndNothingIsCreated) {
  Win32FileSystem files;
  const fs::path missing = folder / "nowhere" / "kel.dat";
  EXPECT_NE(files.ReplaceAll(missing, kOld), "");
  EXPECT_FALSE(fs::exists(folder / "nowhere"));
}

}  // namespace
}  // namespace murmuro::win32
