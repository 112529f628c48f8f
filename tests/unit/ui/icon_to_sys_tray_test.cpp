#include "ui/icon_to_sys_tray.h"

#include <gtest/gtest.h>

#include "core/cp1252_codec.h"
#include "unit/ui/recording_fakes.h"

namespace murmuro {
namespace {

using testing::EventLog;
using testing::RecordingTrayShell;

std::string Bytes(const std::array<char, platform::kTrayTipSize>& field) {
  return std::string(field.begin(), field.end());
}

std::string AnsiField(std::string tip) {
  tip.push_back('\0');
  tip.resize(platform::kTrayTipSize, ' ');
  return tip;
}

// Two bytes a character, as a double-byte code page gives for its ideographs.
class DoubleByteCodec final : public platform::AnsiCodec {
 public:
  Text ToText(std::string_view) const override { return {}; }
  std::optional<Text> ToTextExactly(std::string_view) const override { return Text(); }
  std::string FromText(TextView text) const override {
    std::string out;
    for (char16_t c : text) {
      out += c < 0x80 ? std::string(1, static_cast<char>(c)) : std::string("\x81\x40");
    }
    return out;
  }
  std::optional<std::string> FromTextExactly(TextView text) const override { return FromText(text); }
};

TEST(TrayTip, TheFieldHoldsTheTipANulAndSpaces) {
  const struct {
    Text tip;
    Text field;
  } cases[] = {
      {u"Murmuro", Text(u"Murmuro") + u'\0' + Text(56, u' ')},
      {u"", Text(1, u'\0') + Text(63, u' ')},
      {Text(63, u'x'), Text(63, u'x') + u'\0'},
      // Longer tips are cut so that the NUL always stays inside the field.
      {Text(64, u'x'), Text(63, u'x') + u'\0'},
      {Text(200, u'x'), Text(63, u'x') + u'\0'},
      {Text(62, u'x') + u"\U0001F600", Text(62, u'x') + u'\0' + u' '},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.tip.size());
    EXPECT_EQ(TrayTipField(c.tip), c.field);
  }
}

TEST(TrayTip, TheCodePageFormAlwaysEndsInsideTheField) {
  const Cp1252Codec cp1252;
  const DoubleByteCodec doubleByte;
  const struct {
    const char* what;
    const platform::AnsiCodec& codec;
    Text tip;
    std::string bytes;
  } cases[] = {
      {"plain", cp1252, u"Murmuro", AnsiField("Murmuro")},
      {"latin", cp1252, u"Caf\u00e9 \u20ac", AnsiField("Caf\xE9 \x80")},
      {"foreign", cp1252, u"\u4e2d", AnsiField("?")},
      {"double", doubleByte, u"a\u4e2d", AnsiField("a\x81\x40")},
      // 63 characters of two bytes: only 31 fit before the NUL, none is split.
      {"full", doubleByte, Text(63, u'\u4e2d'), [] {
         std::string s;
         for (int i = 0; i < 31; ++i) s += "\x81\x40";
         return AnsiField(s);
       }()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Bytes(TrayTipToAnsi(TrayTipField(c.tip), c.codec)), c.bytes);
  }
}

TEST(IconToSysTray, AddsAndRemovesWithTheSameRecord) {
  EventLog log;
  RecordingTrayShell shell{log};
  const Cp1252Codec codec;
  IconToSysTray tray{shell, codec};
  tray.AddTrayIcon(-4242, 0xABCDEF12u, u"Murmuro");
  tray.RemoveTrayIcon();

  const TrayIconRecord& kept = tray.TrayIconData();
  EXPECT_EQ(kept.hWnd, -4242);
  EXPECT_EQ(kept.uID, 1u);
  EXPECT_EQ(kept.uFlags, 7u);
  EXPECT_EQ(kept.uCallbackMessage, 512u);
  EXPECT_EQ(kept.hIcon, 0xABCDEF12u);
  EXPECT_EQ(kept.szTip, TrayTipField(u"Murmuro"));

  ASSERT_EQ(shell.calls.size(), 2u);
  EXPECT_EQ(shell.calls[0].message, platform::kNimAdd);
  EXPECT_EQ(shell.calls[1].message, platform::kNimDelete);
  const auto& sent = shell.calls[0].record;
  EXPECT_EQ(sent.hWnd, -4242);
  EXPECT_EQ(sent.uID, 1u);
  EXPECT_EQ(sent.uFlags, 7u);
  EXPECT_EQ(sent.uCallbackMessage, 512u);
  EXPECT_EQ(sent.hIcon, 0xABCDEF12u);
  EXPECT_EQ(Bytes(sent.szTip), AnsiField("Murmuro"));
  EXPECT_EQ(shell.calls[1].record, sent);
}

}  // namespace
}  // namespace murmuro
