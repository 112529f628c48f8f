#pragma once
// Lines are cut at CR LF only; the empty text has no lines, and a text ending in CR LF has an
// empty last line. Words are cut at every single space.
#include <cstddef>
#include <vector>

#include "base/text.h"

namespace murmuro {

std::vector<TextView> SplitLines(TextView text);
std::vector<TextView> SplitWords(TextView message);

// Number of CR LF pairs in `text`.
std::size_t CountCrLf(TextView text) noexcept;

// The last line (empty when the text ends in CR LF); the text must not be empty.
TextView LastLine(TextView text) noexcept;
// Every line but the last, without the CR LF that ended them; empty for a text of one line.
TextView LinesBeforeLast(TextView text) noexcept;

}  // namespace murmuro
