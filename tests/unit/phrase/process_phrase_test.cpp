#include "phrase/process_phrase.h"

#include <gtest/gtest.h>

#include <random>

#include "phrase/latin1_lower_case.h"
#include "support/reference_phrase.h"
#include "support/test_text.h"

namespace murmuro {
namespace {

using testing::Show;
using testing::T;

struct PhraseCase {
  const char* name;
  const char* oldText;
  const char* newText;
  const char* expected;
};

std::string CaseName(const ::testing::TestParamInfo<PhraseCase>& param) { return param.param.name; }

class ProcessPhraseTable : public ::testing::TestWithParam<PhraseCase> {};

TEST_P(ProcessPhraseTable, ComposesNewLines) {
  const PhraseCase& c = GetParam();
  const AcronymList none;
  const Latin1LowerCase lower;
  const Text got = ProcessPhrase(T(c.oldText), T(c.newText), none, lower);
  EXPECT_EQ(got, T(c.expected)) << "got ‹" << Show(got) << "›";
  EXPECT_EQ(got, testing::ReferenceProcessPhrase(T(c.oldText), T(c.newText), none, lower));
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ProcessPhraseTable,
    ::testing::Values(
        PhraseCase{"appended_line", "a⏎b", "a⏎b⏎bob:·hi", "bob·says····hi⏎"},
        PhraseCase{"line_without_colon", "a", "a⏎hello", ""},
        PhraseCase{"later_colons_stay_in_the_message", "a", "a⏎bob:·see·you·at·10:30", "bob·says····see·you·at·10:30⏎"},
        PhraseCase{"link_kept_whole", "a", "a⏎bob:·see·http://example.com/a", "bob·says····see·http://example.com/a⏎"},
        PhraseCase{"second_colon_after_a_word", "a", "a⏎bob:·note:·bring·the·keys", "bob·says····note:·bring·the·keys⏎"},
        PhraseCase{"walk_stops_at_old_last_line", "a⏎b", "b⏎c:·yo", "c·says····yo⏎"},
        PhraseCase{"old_last_line_missing_newest_first", "x⏎y", "a:·1⏎b:·2", "b·says····2⏎a·says····1⏎"},
        PhraseCase{"fewer_lines", "a⏎b⏎c", "c⏎d:·e", "d·says····e⏎"},
        PhraseCase{"counts_only_when_more_lines", "a⏎b", "c⏎d⏎e:·f", "e·says····f⏎"},
        PhraseCase{"empty_new_text", "a⏎b:·c", "", ""},
        PhraseCase{"empty_old_text", "", "p:·q", "p·says····q⏎"},
        PhraseCase{"unchanged", "a⏎b", "a⏎b", ""},
        PhraseCase{"empty_message", "a", "a⏎bob:", "bob·says··⏎"},
        PhraseCase{"empty_sender", "a", "a⏎:hi", "·says···hi⏎"},
        PhraseCase{"two_new_lines_oldest_first", "a", "a⏎x:·1⏎y:·2", "x·says····1⏎y·says····2⏎"},
        PhraseCase{"lone_lf_inside_line", "a", "a⏎b:·1\n2", "b·says····1\n2⏎"},
        PhraseCase{"case_b_compares_case", "a⏎B:·x", "b:·x", "b·says····x⏎"},
        PhraseCase{"case_b_stops_at_equal_line", "q⏎b:·x", "b:·x", ""},
        PhraseCase{"both_empty", "", "", ""},
        PhraseCase{"crlf_alone_is_two_lines", "a", "⏎", ""},
        PhraseCase{"new_ends_in_crlf", "a", "a⏎s:·t⏎", "s·says····t⏎"},
        PhraseCase{"sender_keeps_spaces", "a", "a⏎·bob·:x", "·bob··says···x⏎"},
        PhraseCase{"case_a_ignores_changed_old_lines", "a⏎b", "A⏎B⏎c:·d", "c·says····d⏎"},
        PhraseCase{"crlf_straddles_common_start", "a:·1\r", "a:·1\r\nb:·2", "b·says····2⏎"},
        PhraseCase{"last_line_changed_rewalks_all", "x:·0⏎b:·1", "x:·0⏎b:·12", "b·says····12⏎x·says····0⏎"}),
    CaseName);

TEST(ProcessPhrase, ExpandsAcronymsInMessages) {
  AcronymList acronyms;
  acronyms.Add(T("lol,laughing out loud"));
  EXPECT_EQ(ProcessPhrase(T("x"), T("x⏎bob:·lol"), acronyms, Latin1LowerCase()),
            T("bob·says····laughing out loud⏎"));
}

// The fast path cuts only what follows the common start of the two texts; random edits near
// line ends and CR LF pairs must give exactly what the literal rules give.
TEST(ProcessPhrase, AgreesWithLiteralRulesOnRandomEdits) {
  std::mt19937 rng(20261207);
  const char16_t alphabet[] = {u'a', u'b', u':', u' ', u'\r', u'\n', u'\r', u'\n'};
  auto randomText = [&](std::size_t maxLen) {
    Text t;
    const std::size_t len = rng() % (maxLen + 1);
    for (std::size_t i = 0; i < len; ++i) t.push_back(alphabet[rng() % std::size(alphabet)]);
    return t;
  };
  AcronymList acronyms;
  acronyms.Add(T("a,A"));
  const Latin1LowerCase lower;
  for (int i = 0; i < 20000; ++i) {
    const Text oldText = randomText(24);
    Text newText = oldText;
    switch (rng() % 4) {
      case 0: newText += randomText(8); break;                           // append
      case 1: newText = newText.substr(0, rng() % (newText.size() + 1)) + randomText(6); break;
      case 2: newText = randomText(24); break;                           // unrelated
      default: if (!newText.empty()) newText[rng() % newText.size()] = alphabet[rng() % 8]; break;
    }
    ASSERT_EQ(ProcessPhrase(oldText, newText, acronyms, lower),
              testing::ReferenceProcessPhrase(oldText, newText, acronyms, lower))
        << "old ‹" << Show(oldText) << "› new ‹" << Show(newText) << "›";
  }
}

}  // namespace
}  // namespace murmuro
