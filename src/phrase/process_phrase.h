#pragma once
// Turns the change between a view's last known text and its new text into the sentences to
// speak: sender, " says ", " ", the message with acronyms expanded, CR LF; one per new line.
#include "core/state.h"
#include "platform/lower_case.h"

namespace murmuro {

Text ProcessPhrase(TextView oldText, TextView newText, const AcronymList& acronyms,
                   const platform::LowerCase& lower);

// One sentence for one line (nothing when the line holds no colon), appended to `out`.
void ComposeSentence(TextView line, const AcronymList& acronyms, const platform::LowerCase& lower,
                     Text& out);

}  // namespace murmuro
