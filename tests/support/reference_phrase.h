#pragma once
// A literal, line-by-line rendering of the phrase rules, slow on purpose: the fast pipeline
// must agree with it on every input (unit tests and the fuzzer compare the two).
#include <vector>

#include "phrase/lines.h"
#include "phrase/process_phrase.h"

namespace murmuro::testing {

inline Text ReferenceProcessPhrase(TextView oldText, TextView newText, const AcronymList& acronyms,
                                   const platform::LowerCase& lower) {
  const std::vector<TextView> o = SplitLines(oldText);
  const std::vector<TextView> n = SplitLines(newText);
  const long m = static_cast<long>(o.size()) - 1;
  const long last = static_cast<long>(n.size()) - 1;
  std::vector<TextView> picked;
  if (m < last) {
    for (long i = m + 1; i <= last; ++i) picked.push_back(n[static_cast<std::size_t>(i)]);
  } else {
    for (long i = last; i >= 0; --i) {
      if (n[static_cast<std::size_t>(i)] == o[static_cast<std::size_t>(m)]) break;
      picked.push_back(n[static_cast<std::size_t>(i)]);
    }
  }
  Text result;
  for (TextView line : picked) ComposeSentence(line, acronyms, lower, result);
  return result;
}

}  // namespace murmuro::testing
