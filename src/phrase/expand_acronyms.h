#pragma once
// Replaces every word whose lower-case form equals an acronym name by that record's meaning.
#include "core/state.h"
#include "platform/lower_case.h"

namespace murmuro {

// The name is the text before the record's first comma, the meaning all after it. A record
// without a comma is all name and an empty meaning, so a hand-edited line never fails a message.
TextView AcronymName(TextView record) noexcept;
TextView AcronymMeaning(TextView record) noexcept;

// Each word, or its meaning, preceded by one space; empty for the empty message.
Text ExpandAcronyms(TextView message, const AcronymList& acronyms, const platform::LowerCase& lower);

}  // namespace murmuro
