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

// UTF-8 needs the mark, or bytes above 127 that are all well-formed UTF-8.
TEST(ParseSettings, EncodingAsFound) {
  const Cp1252Codec codec;
  const struct {
    std::string bytes;
    SettingsEncoding encoding;
    Text record;
  } cases[] = {
      {"\xEF\xBB\xBF" "1\r\n0\r\nlol", SettingsEncoding::Utf8WithMark, u"lol"},
      {"1\r\n0\r\ncaf\xE9", SettingsEncoding::Ansi, u"caf\u00e9"},
      {"1\r\n0\r\n\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", SettingsEncoding::Utf8, u"\u00e9 \u20ac \U0001F600"},
      {"1\r\n0\r\n\xC3\xA9 \xE9", SettingsEncoding::Ansi, u"\u00c3\u00a9 \u00e9"},  // one byte is not UTF-8
      {"1\r\n0\r\n\xC0\xAF", SettingsEncoding::Ansi, u"\u00c0\u00af"},                 // overlong "/"
      {"1\r\n0\r\n\xED\xA0\x80", SettingsEncoding::Ansi, u"\u00ed\u00a0\u20ac"},       // a surrogate
      {"1\r\n0\r\n\xF4\xA0\x80\x80", SettingsEncoding::Ansi, u"\u00f4\u00a0\u20ac\u20ac"},  // > U+10FFFF
      {"1\r\n0\r\n\xE2\x82", SettingsEncoding::Ansi, u"\u00e2\u201a"},                 // cut off
  };
  for (const auto& c : cases) {
    const Settings s = ParseSettings(c.bytes, codec, "kel.dat");
    EXPECT_EQ(s.UseReader, 1) << c.bytes;
    EXPECT_EQ(s.Encoding, c.encoding) << c.bytes;
    EXPECT_EQ(s.Acronyms, (AcronymList{c.record})) << c.bytes;
  }
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
      {"\xEF\xBB\xBF" "1\r\n0\r\nok\r\n\xE9\r\n", "line 4: this is not UTF-8"},
      {"\xE9t\xE9\r\n0\r\n", "line 1: \"\xC3\xA9t\xC3\xA9\" is not"},  // quoted as UTF-8 whatever the file
      {"1\r\n0\r\nok\r\ncaf\xE9\x81\r\n", "line 4: these bytes are not text in this computer's ANSI"},
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
  // Code-page text goes out as UTF-8 when a character has no byte of its own ("8" is no
  // infinity), or when its bytes would read back as UTF-8 (C3 A9 is "é").
  EXPECT_EQ(FormatSettings(Settings{1, 0, {u"\u221e"}}, codec), "1\r\n0\r\n\xE2\x88\x9E\r\n");
  EXPECT_EQ(FormatSettings(Settings{1, 0, {u"\u00c3\u00a9"}}, codec), "1\r\n0\r\n\xC3\x83\xC2\xA9\r\n");
  // An unpaired surrogate (a text box can hold one) becomes U+FFFD: the file stays UTF-8.
  const AcronymList odd{u"a\U0001F600", Text(u"b") + char16_t(0xD800) + u"c"};
  EXPECT_EQ(FormatSettings(Settings{1, 0, odd, SettingsEncoding::Utf8WithMark}, codec),
            "\xEF\xBB\xBF" "1\r\n0\r\na\xF0\x9F\x98\x80\r\nb\xEF\xBF\xBD" "c\r\n");
}

}  // namespace
}  // namespace murmuro
