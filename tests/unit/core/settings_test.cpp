// Parsing and formatting of the settings text, without touching the disk.
#include <gtest/gtest.h>

#include "core/cp1252_codec.h"
#include "core/settings.h"

namespace murmuro {
namespace {

TEST(ParseSwitch, NumericRules) {
  struct Case {
    const char* line;
    std::optional<std::int16_t> value;
  };
  const Case cases[] = {
      {"1", 1},          {"0", 0},           {" 1 ", 1},           {"\t2\t", 2},
      {"-5", -5},        {"+7", 7},          {"00012", 12},        {"32767", 32767},
      {"-32768", -32768}, {"-0", 0},
      {"32768", std::nullopt},  {"-32769", std::nullopt}, {"99999999999999999999", std::nullopt},
      {"", std::nullopt},       {"   ", std::nullopt},    {"+", std::nullopt},
      {"1.5", std::nullopt},    {"1.0", std::nullopt},    {"abc", std::nullopt},
      {"1 2", std::nullopt},    {"0x10", std::nullopt},   {"- 1", std::nullopt},
      {"1\r", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseSwitch(c.line), c.value) << '"' << c.line << '"';
}

TEST(ParseSettings, ReadsSwitchesAndRecordsAsStored) {
  const Cp1252Codec codec;
  const Settings s = ParseSettings("1\r\n0\r\nLOL ,Shouting Out\r\n\r\noops\r\nbrb,be right back, ok\r\n"
                                   "caf\xe9,\x80\r\n", codec, "kel.dat");
  EXPECT_EQ(s.UseReader, 1);
  EXPECT_EQ(s.TopOnly, 0);
  EXPECT_EQ(s.Acronyms, (AcronymList{u"LOL ,Shouting Out", u"", u"oops", u"brb,be right back, ok",
                                     u"caf\u00e9,\u20ac"}));
}

TEST(ParseSettings, LineEnds) {
  const Cp1252Codec codec;
  // Only two lines: no records, whether or not the last line is ended.
  EXPECT_TRUE(ParseSettings("1\r\n0\r\n", codec, "f").Acronyms.Empty());
  EXPECT_TRUE(ParseSettings("1\r\n0", codec, "f").Acronyms.Empty());
  // A last record without an end of line still counts.
  EXPECT_EQ(ParseSettings("1\r\n0\r\nlol,x", codec, "f").Acronyms, (AcronymList{u"lol,x"}));
  // A file edited with LF endings reads the same; a lone CR stays inside the record.
  EXPECT_EQ(ParseSettings("2\n1\nlol,x\na\rb\n", codec, "f").Acronyms, (AcronymList{u"lol,x", u"a\rb"}));
  EXPECT_EQ(ParseSettings("2\n1\n", codec, "f").UseReader, 2);
}

TEST(ParseSettings, ErrorsNameTheFileAndTheLine) {
  const Cp1252Codec codec;
  struct Case {
    const char* bytes;
    const char* mentions;
  };
  const Case cases[] = {
      {"", "line 1: the file ends before this line"},
      {"1", "line 2: the file ends before this line"},
      {"1\r\n", "line 2: the file ends before this line"},
      {"yes\r\n0\r\n", "line 1: \"yes\" is not a whole number"},
      {"1\r\n\r\n", "line 2: \"\" is not a whole number"},
      {"40000\r\n0\r\n", "line 1: \"40000\" is not a whole number from -32768 to 32767"},
      {"1\r\n0.5\r\n", "line 2: \"0.5\""},
  };
  for (const Case& c : cases) {
    try {
      ParseSettings(c.bytes, codec, "C:\\Murmuro\\kel.dat");
      ADD_FAILURE() << "no error for \"" << c.bytes << '"';
    } catch (const SettingsError& e) {
      const std::string what = e.what();
      EXPECT_NE(what.find("C:\\Murmuro\\kel.dat"), std::string::npos) << what;
      EXPECT_NE(what.find(c.mentions), std::string::npos) << what;
    }
  }
}

TEST(FormatSettings, ExactBytes) {
  const Cp1252Codec codec;
  EXPECT_EQ(FormatSettings(Settings{1, 0, {}}, codec), "1\r\n0\r\n");
  EXPECT_EQ(FormatSettings(Settings{-3, 2, AcronymList{u"lol,laughing", u"", u"oops", u"\u20ac,euro"}}, codec),
            "-3\r\n2\r\nlol,laughing\r\n\r\noops\r\n\x80,euro\r\n");
}

}  // namespace
}  // namespace murmuro
