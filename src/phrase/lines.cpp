#include "phrase/lines.h"

#include <algorithm>

namespace murmuro {
namespace {

std::vector<TextView> Split(TextView text, TextView separator) {
  std::vector<TextView> parts;
  if (text.empty()) return parts;
  for (;;) {
    const auto at = text.find(separator);
    parts.push_back(text.substr(0, at));
    if (at == TextView::npos) return parts;
    text.remove_prefix(at + separator.size());
  }
}

}  // namespace

std::vector<TextView> SplitLines(TextView text) { return Split(text, kCrLf); }
std::vector<TextView> SplitWords(TextView message) { return Split(message, u" "); }

std::size_t CountCrLf(TextView text) noexcept {
  // Branch-free over the pairs, so the compiler can vectorise it.
  std::size_t count = 0;
  const char16_t* p = text.data();
  const std::size_t n = text.size();
  for (std::size_t i = 1; i < n; ++i) {
    count += static_cast<std::size_t>((p[i - 1] == kCr) & (p[i] == kLf));
  }
  return count;
}

TextView LastLine(TextView text) noexcept {
  const auto at = text.rfind(kCrLf);
  return at == TextView::npos ? text : text.substr(at + kCrLf.size());
}

TextView WithoutOpenLine(TextView text) noexcept {
  while (text.ends_with(kCrLf)) text.remove_suffix(kCrLf.size());
  return text;
}

std::optional<TextView> LinesBeforeLastWithText(TextView text) noexcept {
  text = WithoutOpenLine(text);
  if (text.empty()) return std::nullopt;
  const auto at = text.rfind(kCrLf);
  return at == TextView::npos ? TextView{} : text.substr(0, at);
}

}  // namespace murmuro
