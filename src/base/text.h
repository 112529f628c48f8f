#pragma once
// Shared vocabulary of the portable code: UTF-16 texts and 32-bit window handles.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace murmuro {

using Text = std::u16string;
using TextView = std::u16string_view;

// Window handles travel as 32-bit signed integers; Windows guarantees they fit, also on x64.
using Hwnd = std::int32_t;

inline constexpr char16_t kCr = u'\r';
inline constexpr char16_t kLf = u'\n';
inline constexpr TextView kCrLf = u"\r\n";

// At most the first `count` code units of `text`, one fewer where the last would be half of a
// character (a high surrogate without its pair).
constexpr TextView WholeCharacters(TextView text, std::size_t count) noexcept {
  if (count >= text.size()) return text;
  if (count > 0 && text[count - 1] >= 0xD800 && text[count - 1] <= 0xDBFF) --count;
  return text.substr(0, count);
}

// Bridges for tests and messages: ASCII/Latin-1 only, one byte a code unit (no code page involved).
inline Text Latin1ToText(std::string_view s) {
  Text t;
  t.reserve(s.size());
  for (unsigned char c : s) t.push_back(static_cast<char16_t>(c));
  return t;
}
inline std::string TextToLatin1(TextView t) {
  std::string s;
  s.reserve(t.size());
  for (char16_t c : t) s.push_back(c < 0x100 ? static_cast<char>(c) : '?');
  return s;
}

}  // namespace murmuro
