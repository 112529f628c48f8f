#pragma once
// Lines are cut at CR LF only; the empty text has no lines, and a text ending in CR LF has an
// empty last line. Words are cut at every single space.
#include <cstddef>
#include <optional>
#include <vector>

#include "base/text.h"

namespace murmuro {

std::vector<TextView> SplitLines(TextView text);
std::vector<TextView> SplitWords(TextView message);

// Number of CR LF pairs in `text`.
std::size_t CountCrLf(TextView text) noexcept;

// The last line (empty when the text ends in CR LF); the text must not be empty.
TextView LastLine(TextView text) noexcept;
// The text less its open last line: the CR LF pairs it ends in go, so the line that finishes it
// counts as one more line.
TextView WithoutOpenLine(TextView text) noexcept;
// Every line before the last line that holds text, without the CR LF that ended the last of
// them; nullopt when no line holds text.
std::optional<TextView> LinesBeforeLastWithText(TextView text) noexcept;

}  // namespace murmuro
