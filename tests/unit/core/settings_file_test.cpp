// LoadSettings and SaveSettings against a real folder.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/cp1252_codec.h"
#include "core/settings.h"
#include "support/native_file_system.h"
#include "support/temp_folder.h"

namespace murmuro {
namespace {

class SettingsFile : public ::testing::Test {
 protected:
  testing::TempFolder folder;
  testing::NativeFileSystem files;
  Cp1252Codec codec;
  SettingsStore store{folder.path(), files, codec};
  ProgramState state;
  int checks = 0;

  void Load() { LoadSettings(state, store, [this] { ++checks; }); }
};

TEST_F(SettingsFile, ReadingSwitchValueDecidesTheCheckMark) {
  struct Case {
    const char* bytes;
    std::int16_t useReader;
    int checks;
  };
  const Case cases[] = {{"1\r\n0\r\n", 1, 1}, {"0\r\n0\r\n", 0, 0}, {"2\r\n0\r\n", 2, 0}, {"-1\r\n1\r\n", -1, 0}};
  for (const Case& c : cases) {
    folder.Write("kel.dat", c.bytes);
    checks = 0;
    Load();
    EXPECT_EQ(state.UseReader, c.useReader) << c.bytes;
    EXPECT_EQ(checks, c.checks) << c.bytes;
  }
}

TEST_F(SettingsFile, RoundTripKeepsEverythingAsEntered) {
  const std::vector<AcronymList> lists = {
      {},
      {u"lol,laughing out loud", u"brb,be right back"},
      {u"LOL ,Shouting", u"", u"oops", u" spaced , out ", u"a,b,c", u"\u00e7a,\u20ac"},
  };
  folder.Write("kel.dat", "0\r\n0\r\n");
  Load();
  for (const AcronymList& list : lists) {
    state.UseReader = 1;
    state.TopOnly = 2;
    state.Acronyms = list;
    SaveSettings(state, store);
    state = ProgramState();
    Load();
    EXPECT_EQ(state.UseReader, 1);
    EXPECT_EQ(state.TopOnly, 2);
    EXPECT_EQ(state.Acronyms, list);
  }
  state.Acronyms = {};
  SaveSettings(state, store);
  EXPECT_EQ(folder.Read("kel.dat"), "1\r\n2\r\n");  // an empty list is the two switch lines alone
}

TEST_F(SettingsFile, HandEditedFile) {
  folder.Write("kel.dat", "0\r\n1\r\n\r\nhello\r\nLOL ,Shout\r\n");
  Load();
  EXPECT_EQ(state.TopOnly, 1);
  EXPECT_EQ(state.Acronyms, (AcronymList{u"", u"hello", u"LOL ,Shout"}));
  SaveSettings(state, store);
  EXPECT_EQ(folder.Read("kel.dat"), "0\r\n1\r\n\r\nhello\r\nLOL ,Shout\r\n");
}

TEST_F(SettingsFile, LoadReplacesTheEarlierList) {
  state.Acronyms = {u"old,one"};
  folder.Write("kel.dat", "1\r\n0\r\nnew,one\r\n");
  Load();
  EXPECT_EQ(state.Acronyms, (AcronymList{u"new,one"}));
}

TEST_F(SettingsFile, MissingOrShortFileIsAnErrorNamingIt) {
  EXPECT_THROW(
      {
        try {
          Load();
        } catch (const SettingsError& e) {
          EXPECT_NE(std::string(e.what()).find(PathForMessage(folder.path() / "kel.dat")), std::string::npos);
          EXPECT_NE(std::string(e.what()).find("missing"), std::string::npos);
          throw;
        }
      },
      SettingsError);
  folder.Write("kel.dat", "1\r\n");
  EXPECT_THROW(Load(), SettingsError);
}

TEST_F(SettingsFile, FailedSaveLeavesTheOldFileWhole) {
  const std::string before = "1\r\n0\r\nlol,laughing\r\n";
  for (const char* failingStage : {"opened", "written", "flushed"}) {
    folder.Write("kel.dat", before);
    testing::NativeFileSystem failing([&](std::string_view stage) { return stage != failingStage; });
    SettingsStore failingStore{folder.path(), failing, codec};
    LoadSettings(state, failingStore);
    state.UseReader = 0;
    state.Acronyms = {u"other,text", u"and,more"};
    EXPECT_THROW(SaveSettings(state, failingStore), SettingsError) << failingStage;
    EXPECT_EQ(folder.Read("kel.dat"), before) << failingStage;
    EXPECT_EQ(folder.FileCount(), 1u) << "temporary file left behind after " << failingStage;
  }
}

TEST_F(SettingsFile, SaveIntoMissingFolderReportsFailure) {
  folder.Write("kel.dat", "1\r\n0\r\n");
  Load();
  std::filesystem::remove_all(folder.path());
  EXPECT_THROW(SaveSettings(state, store), SettingsError);
}

// A session end can arrive before the load: what the state holds then is not the user's.
TEST_F(SettingsFile, NothingIsWrittenUntilALoadHasSucceeded) {
  const std::string users = "1\r\n1\r\nlol,laughing out loud\r\n";
  folder.Write("kel.dat", users);
  SaveSettings(state, store);
  SaveChangedSettings(state, store);
  EXPECT_EQ(folder.Read("kel.dat"), users);
  Load();
  // A failed load has emptied the list: nothing to write after it either.
  for (const std::string broken : {"1\r\n", "\xEF\xBB\xBF" "1\r\n0\r\n\xFF\r\n", "1\r\n0\r\n\x81\r\n"}) {
    folder.Write("kel.dat", broken);
    EXPECT_THROW(Load(), SettingsError);
    SaveSettings(state, store);
    SaveChangedSettings(state, store);
    EXPECT_EQ(folder.Read("kel.dat"), broken);
  }
}

// At unload an edit made outside meanwhile survives unless the settings changed by value: then as kel.dat.bak.
TEST_F(SettingsFile, UnloadWritesOnlyChangedSettings) {
  const std::string edited = "0\r\n0\r\nfixed,outside\r\n";
  folder.Write("kel.dat", "+1\r\n0\r\nlol,x");
  Load();
  state.Acronyms = {u"lol,x"};  // "+1" is 1, and the list is as loaded
  folder.Write("kel.dat", edited);
  SaveChangedSettings(state, store);
  EXPECT_EQ(folder.Read("kel.dat"), edited);
  std::filesystem::remove(folder.path() / "kel.dat");  // deleted meanwhile: written again
  SaveChangedSettings(state, store);
  EXPECT_EQ(folder.Read("kel.dat"), "1\r\n0\r\nlol,x\r\n");
  state.TopOnly = 1;  // changed in Murmuro too: Murmuro's settings win
  folder.Write("kel.dat", edited);
  SaveChangedSettings(state, store);
  EXPECT_EQ(folder.Read("kel.dat"), "1\r\n1\r\nlol,x\r\n");
  EXPECT_EQ(folder.Read("kel.dat.bak"), edited);
  state.TopOnly = 0;  // a save over Murmuro's own file leaves that alone
  SaveSettings(state, store);
  EXPECT_EQ(folder.Read("kel.dat.bak"), edited);
}

// Line 3 reads "\u00c3\u00a9" in the code page but "\u00e9" as UTF-8. A save that would make the
// file UTF-8, or leave it to be read as UTF-8, would change that: it fails and writes nothing.
TEST_F(SettingsFile, ASaveThatWouldChangeAnUneditedTwoWayLineFails) {
  const std::string mixed = "1\r\n0\r\n\xC3\xA9\r\ncaf\xE9\r\n";
  for (const bool removeTheCodePageLine : {false, true}) {
    folder.Write("kel.dat", mixed);
    Load();
    removeTheCodePageLine ? state.Acronyms.Remove(2) : state.Acronyms.Add(u"\u221e");
    EXPECT_THAT([&] { SaveSettings(state, store); },
                ::testing::ThrowsMessage<SettingsError>(::testing::HasSubstr("line 3 \"\xC3\x83\xC2\xA9\"")));
    EXPECT_EQ(folder.Read("kel.dat"), mixed);
  }
  state.Acronyms = {u"\u00e9"};  // typed again as meant
  SaveSettings(state, store);
  EXPECT_EQ(folder.Read("kel.dat"), "1\r\n0\r\n\xE9\r\n");
}

TEST_F(SettingsFile, SavesInTheEncodingFound) {
  const std::string mark = "\xEF\xBB\xBF";
  const struct {
    std::string found;
    Text added;
    std::string saved;
  } cases[] = {
      {"1\r\n0\r\ncaf\xE9\r\n", u"\u00fc", "1\r\n0\r\ncaf\xE9\r\n\xFC\r\n"},
      {"1\r\n0\r\ncaf\xC3\xA9\r\n", u"\u00fc", "1\r\n0\r\ncaf\xC3\xA9\r\n\xC3\xBC\r\n"},
      // A code-page line that also reads as UTF-8 keeps its bytes.
      {"1\r\n0\r\n\xC3\xA9\r\n\xE9\r\n", u"\u00fc", "1\r\n0\r\n\xC3\xA9\r\n\xE9\r\n\xFC\r\n"},
      {mark + "1\r\n0\r\n", u"\u00fc", mark + "1\r\n0\r\n\xC3\xBC\r\n"},
      // The code page lacks the Cyrillic letters: the whole file becomes UTF-8 (without the mark).
      {"1\r\n0\r\ncaf\xE9\r\n", u"\u0441\u043f", "1\r\n0\r\ncaf\xC3\xA9\r\n\xD1\x81\xD0\xBF\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.found);
    folder.Write("kel.dat", c.found);
    Load();
    state.Acronyms.Add(c.added);
    SaveSettings(state, store);
    SaveSettings(state, store);  // the same again
    EXPECT_EQ(folder.Read("kel.dat"), c.saved);
  }
  // Once UTF-8, it stays UTF-8 for the run, also when what needed it is gone.
  folder.Write("kel.dat", "1\r\n0\r\n");
  Load();
  state.Acronyms = {u"\u221e"};
  SaveSettings(state, store);
  state.Acronyms = {u"\u00e9"};
  SaveSettings(state, store);
  EXPECT_EQ(folder.Read("kel.dat"), "1\r\n0\r\n\xC3\xA9\r\n");
}

// Claims a size (50 MiB unless told); reads the real file.
struct HugeFiles final : platform::FileSystem {
  std::uint64_t claimed = 50u << 20;
  std::vector<std::size_t> reads;  // the bytes each read gave
  testing::NativeFileSystem native;
  std::optional<std::uint64_t> Size(const std::filesystem::path&) override { return claimed; }
  std::optional<std::string> Read(const std::filesystem::path& file, std::uint64_t maxBytes) override {
    auto bytes = native.Read(file, maxBytes);
    reads.push_back(bytes ? bytes->size() : 0);
    return bytes;
  }
  std::string ReplaceAll(const std::filesystem::path&, std::string_view, const std::filesystem::path&) override {
    return "no";
  }
};

TEST_F(SettingsFile, OverOneMebibyteIsNeitherReadNorWritten) {
  HugeFiles huge;
  SettingsStore hugeStore{folder.path(), huge, codec};
  using ::testing::HasSubstr;
  using ::testing::ThrowsMessage;
  EXPECT_THAT([&] { LoadSettings(state, hugeStore); },
              ThrowsMessage<SettingsError>(HasSubstr("is 52,428,800 bytes, more than the 1 MiB")));
  EXPECT_TRUE(huge.reads.empty());

  const std::string full = "1\r\n0\r\n" + std::string(kMaxSettingsFileBytes - 8, 'x') + "\r\n";
  folder.Write("kel.dat", full + "y");
  EXPECT_THROW(Load(), SettingsError);
  folder.Write("kel.dat", full + std::string(kMaxSettingsFileBytes, 'y'));
  huge.claimed = 8;  // taken before the file grew: the read stops one byte past the limit
  EXPECT_THAT([&] { LoadSettings(state, hugeStore); },
              ThrowsMessage<SettingsError>(HasSubstr("is more than the 1 MiB")));
  EXPECT_EQ(huge.reads, std::vector<std::size_t>{kMaxSettingsFileBytes + 1});
  folder.Write("kel.dat", full);
  Load();
  state.Acronyms.Item(1).push_back(u'x');
  EXPECT_THAT([&] { SaveSettings(state, store); },
              ThrowsMessage<SettingsError>(HasSubstr("it would be 1,048,577 bytes")));
  EXPECT_EQ(folder.Read("kel.dat"), full);
}

}  // namespace
}  // namespace murmuro

namespace murmuro {
namespace {

// The file shipped beside the program: reading on, every window read, lower-case names.
TEST(DefaultSettings, ShipsReadingOnWithCommonAcronyms) {
  testing::NativeFileSystem files;
  Cp1252Codec codec;
  const auto bytes = files.Read(MURMURO_DEFAULT_SETTINGS, kMaxSettingsFileBytes);
  ASSERT_TRUE(bytes.has_value());
  const Settings s = ParseSettings(*bytes, codec, "kel.dat");
  EXPECT_EQ(s.UseReader, 1);
  EXPECT_EQ(s.TopOnly, 0);
  EXPECT_GE(s.Acronyms.Count(), 10u);
  for (const Text& record : s.Acronyms) {
    const auto comma = record.find(u',');
    ASSERT_NE(comma, Text::npos);
    for (char16_t c : record.substr(0, comma)) EXPECT_TRUE(c >= u'a' && c <= u'z');
  }
  EXPECT_EQ(FormatSettings(s, codec), *bytes);  // written exactly as we would write it
}

}  // namespace
}  // namespace murmuro
