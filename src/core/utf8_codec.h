#pragma once
// UTF-8 <-> UTF-16 without the platform: the settings file and the texts of messages.
#include <optional>
#include <string>
#include <string_view>

#include "base/text.h"

namespace murmuro {

// No overlong forms, no surrogates, nothing above U+10FFFF, no cut-off sequences.
bool IsWellFormedUtf8(std::string_view bytes);

// nullopt unless `bytes` is well-formed UTF-8.
std::optional<Text> Utf8ToText(std::string_view bytes);

// An unpaired surrogate becomes U+FFFD, so the result always reads back.
std::string TextToUtf8(TextView text);

}  // namespace murmuro
