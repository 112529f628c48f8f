#pragma once
// The runs besides the default table; each prints its figures and returns the exit code.
#include "e2e/measure/support.h"

namespace murmuro::measure {

// Lines arriving one a second for minutes, with every core kept busy: is each spoken once, and
// does the program's memory stay put?
int RunSoak(const Options& o);

// The program's CPU beside two plain readers of the same conversations, in one Wine prefix.
int RunCompare(const Options& o);

// The program's CPU over short and over long unchanged conversations, beside the plain reader's
// least exchange over the short ones, in one Wine prefix.
int RunGrowth(const Options& o);

}  // namespace murmuro::measure
