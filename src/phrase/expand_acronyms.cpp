#include "phrase/expand_acronyms.h"

#include "phrase/lines.h"

namespace murmuro {

TextView AcronymName(TextView record) noexcept {
  return record.substr(0, record.find(u','));
}

TextView AcronymMeaning(TextView record) noexcept {
  const auto comma = record.find(u',');
  return comma == TextView::npos ? TextView() : record.substr(comma + 1);
}

Text ExpandAcronyms(TextView message, const AcronymList& acronyms, const platform::LowerCase& lower) {
  Text result;
  for (TextView word : SplitWords(message)) {
    const Text lowered = lower.Lower(word);
    TextView spoken = word;
    // The first record with an equal name wins; names are compared exactly as stored.
    for (const Text& record : acronyms) {
      if (AcronymName(record) == lowered) {
        spoken = AcronymMeaning(record);
        break;
      }
    }
    result.push_back(u' ');
    result.append(spoken);
  }
  return result;
}

}  // namespace murmuro
