#include "core/cp1252_codec.h"

#include <gtest/gtest.h>

namespace murmuro {
namespace {

TEST(Cp1252Codec, EveryByteRoundTrips) {
  const Cp1252Codec codec;
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  const Text text = codec.ToText(all);
  ASSERT_EQ(text.size(), 256u);
  EXPECT_EQ(text[0x80], u'\u20AC');  // euro sign
  EXPECT_EQ(text[0x92], u'\u2019');  // right single quote
  EXPECT_EQ(text[0xE9], u'\u00E9');
  EXPECT_EQ(codec.FromText(text), all);
  // The exact forms leave out the five bytes the code page does not define, each way.
  EXPECT_EQ(codec.ToTextExactly("caf\xE9 \x80"), Text(u"caf\u00e9 \u20ac"));
  for (const char* undefined : {"\x81", "a\x8D", "\x8F", "\x90", "\x9D"}) {
    EXPECT_EQ(codec.ToTextExactly(undefined), std::nullopt);
    EXPECT_EQ(codec.FromTextExactly(codec.ToText(undefined)), std::nullopt);
  }
}

TEST(Cp1252Codec, UnmappableCharactersBecomeQuestionMarks) {
  EXPECT_EQ(Cp1252Codec().FromText(u"a\u4E2Db\u0100"), "a?b?");
  EXPECT_EQ(Cp1252Codec().FromTextExactly(u"a\u4E2Db"), std::nullopt);
  EXPECT_EQ(Cp1252Codec().FromTextExactly(u"a\u221e"), std::nullopt);
}

}  // namespace
}  // namespace murmuro
