#include "phrase/process_phrase.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "phrase/expand_acronyms.h"
#include "phrase/lines.h"

namespace murmuro {
namespace {

// Conversations are long and grow at the end, so the texts are compared with memcmp in blocks
// and only the parts after their common start are cut into lines.
std::size_t CommonPrefix(TextView a, TextView b) noexcept {
  const std::size_t n = std::min(a.size(), b.size());
  constexpr std::size_t kBlock = 512;
  std::size_t i = 0;
  while (i + kBlock <= n && std::memcmp(a.data() + i, b.data() + i, kBlock * sizeof(char16_t)) == 0) {
    i += kBlock;
  }
  while (i < n && a[i] == b[i]) ++i;
  return i;
}

// How many more lines the new text has than the old one. Only the counts matter, and the
// CR LF pairs that lie wholly inside the common start are the same in both.
std::ptrdiff_t LineGain(TextView oldText, TextView newText) noexcept {
  const auto lines = [](TextView t) {
    return t.empty() ? std::ptrdiff_t{0} : static_cast<std::ptrdiff_t>(CountCrLf(t)) + 1;
  };
  if (oldText.empty() || newText.empty()) return lines(newText) - lines(oldText);
  const std::size_t prefix = CommonPrefix(oldText, newText);
  const std::size_t from = prefix == 0 ? 0 : prefix - 1;
  return static_cast<std::ptrdiff_t>(CountCrLf(newText.substr(from))) -
         static_cast<std::ptrdiff_t>(CountCrLf(oldText.substr(from)));
}

// Start of the line that is `count` lines before the end: 1 is the last line.
std::size_t StartOfLastLines(TextView text, std::size_t count) noexcept {
  std::size_t end = text.size();
  for (std::size_t seen = 1; seen < count; ++seen) {
    const auto at = end < 2 ? TextView::npos : text.rfind(kCrLf, end - 2);
    if (at == TextView::npos) return 0;
    end = at;
  }
  const auto at = end < 2 ? TextView::npos : text.rfind(kCrLf, end - 2);
  return at == TextView::npos ? 0 : at + kCrLf.size();
}

}  // namespace

void ComposeSentence(TextView line, const AcronymList& acronyms, const platform::LowerCase& lower,
                     Text& out) {
  const auto colon = line.find(u':');
  if (colon == TextView::npos) return;
  const TextView sender = line.substr(0, colon);
  // Later colons belong to the message: times, links, "note: ...".
  const TextView message = line.substr(colon + 1);
  out.append(sender);
  out.append(u" says ");
  out.append(u" ");
  out.append(ExpandAcronyms(message, acronyms, lower));
  out.append(kCrLf);
}

Text ProcessPhrase(TextView oldText, TextView newText, const AcronymList& acronyms,
                   const platform::LowerCase& lower) {
  Text result;
  if (const std::ptrdiff_t gain = LineGain(oldText, newText); gain > 0) {
    // Oldest first: every line past the old text's line count.
    const std::size_t start = StartOfLastLines(newText, static_cast<std::size_t>(gain));
    for (TextView line : SplitLines(newText.substr(start))) {
      ComposeSentence(line, acronyms, lower, result);
    }
    return result;
  }
  if (newText.empty()) return result;
  // Newest first: the lines after the last occurrence of the old text's last line.
  const TextView oldLast = LastLine(oldText);
  std::size_t end = newText.size();
  for (;;) {
    const auto at = end < 2 ? TextView::npos : newText.rfind(kCrLf, end - 2);
    const std::size_t begin = at == TextView::npos ? 0 : at + kCrLf.size();
    const TextView line = newText.substr(begin, end - begin);
    if (line == oldLast) break;
    ComposeSentence(line, acronyms, lower, result);
    if (at == TextView::npos) break;
    end = at;
  }
  return result;
}

}  // namespace murmuro
