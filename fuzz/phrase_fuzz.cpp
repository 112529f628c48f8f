// The fast phrase pipeline must agree with the literal rules on any pair of texts.
// Input layout: acronym records, 0x01, old text, 0x01, new text (bytes widened to UTF-16,
// with 0x02 standing for CR LF so the fuzzer finds line ends easily).
#include <cstdint>
#include <cstdlib>

#include "phrase/latin1_lower_case.h"
#include "support/reference_phrase.h"

namespace {

murmuro::Text Widen(std::string_view bytes) {
  murmuro::Text t;
  for (unsigned char c : bytes) {
    if (c == 0x02) t += murmuro::kCrLf;
    else t.push_back(static_cast<char16_t>(c));
  }
  return t;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view in(reinterpret_cast<const char*>(data), size);
  const auto first = in.find('\x01');
  if (first == std::string_view::npos) return 0;
  const auto second = in.find('\x01', first + 1);
  if (second == std::string_view::npos) return 0;
  murmuro::AcronymList acronyms;
  std::string_view records = in.substr(0, first);
  while (!records.empty()) {
    const auto nl = records.find('\n');
    acronyms.Add(Widen(records.substr(0, nl)));
    if (nl == std::string_view::npos) break;
    records.remove_prefix(nl + 1);
  }
  const murmuro::Text oldText = Widen(in.substr(first + 1, second - first - 1));
  const murmuro::Text newText = Widen(in.substr(second + 1));
  const murmuro::Latin1LowerCase lower;
  if (murmuro::ProcessPhrase(oldText, newText, acronyms, lower) !=
      murmuro::testing::ReferenceProcessPhrase(oldText, newText, acronyms, lower)) {
    std::abort();
  }
  return 0;
}
