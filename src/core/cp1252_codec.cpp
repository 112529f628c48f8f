#include "core/cp1252_codec.h"

#include <array>

namespace murmuro {
namespace {

// 0x80..0x9F; the five unassigned bytes map to the C1 controls of the same value, as Windows does.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool Undefined(unsigned char b) { return b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D; }

char16_t ToChar(unsigned char b) {
  return b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : static_cast<char16_t>(b);
}

std::optional<char> ToByte(char16_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
  for (std::size_t i = 0; i < kHigh.size(); ++i) {
    if (kHigh[i] == c) return static_cast<char>(0x80 + i);
  }
  return std::nullopt;
}

}  // namespace

Text Cp1252Codec::ToText(std::string_view ansi) const {
  Text out;
  out.reserve(ansi.size());
  for (unsigned char b : ansi) out.push_back(ToChar(b));
  return out;
}

std::optional<Text> Cp1252Codec::ToTextExactly(std::string_view ansi) const {
  Text out;
  out.reserve(ansi.size());
  for (unsigned char b : ansi) {
    if (Undefined(b)) return std::nullopt;
    out.push_back(ToChar(b));
  }
  return out;
}

std::string Cp1252Codec::FromText(TextView text) const {
  std::string out;
  out.reserve(text.size());
  for (char16_t c : text) out.push_back(ToByte(c).value_or('?'));
  return out;
}

std::optional<std::string> Cp1252Codec::FromTextExactly(TextView text) const {
  std::string out;
  out.reserve(text.size());
  for (char16_t c : text) {
    const auto byte = ToByte(c);
    if (!byte || Undefined(static_cast<unsigned char>(*byte))) return std::nullopt;
    out.push_back(*byte);
  }
  return out;
}

}  // namespace murmuro
