#include "phrase/expand_acronyms.h"

#include <gtest/gtest.h>

#include "phrase/latin1_lower_case.h"
#include "support/test_text.h"

namespace murmuro {
namespace {

using testing::Show;
using testing::T;

struct ExpandCase {
  const char* name;
  std::vector<const char*> acronyms;
  const char* message;
  const char* expected;
};

AcronymList List(const std::vector<const char*>& records) {
  AcronymList list;
  for (const char* r : records) list.Add(T(r));
  return list;
}

std::string CaseName(const ::testing::TestParamInfo<ExpandCase>& param) { return param.param.name; }

class ExpandAcronymsTable : public ::testing::TestWithParam<ExpandCase> {};

TEST_P(ExpandAcronymsTable, ExpandsWordByWord) {
  const ExpandCase& c = GetParam();
  const Text got = ExpandAcronyms(T(c.message), List(c.acronyms), Latin1LowerCase());
  EXPECT_EQ(got, T(c.expected)) << "got ‹" << Show(got) << "›";
}

INSTANTIATE_TEST_SUITE_P(
    Words, ExpandAcronymsTable,
    ::testing::Values(
        ExpandCase{"no_acronyms", {}, "·hi·there", "··hi·there"},
        ExpandCase{"upper_word_matches", {"lol,laughing·out·loud"}, "·LOL", "··laughing·out·loud"},
        ExpandCase{"mixed_case_word_matches", {"lol,laughing"}, "Lol·lOl", "·laughing·laughing"},
        ExpandCase{"punctuation_stays_on_word", {"lol,laughing·out·loud"}, "·lol!", "··lol!"},
        ExpandCase{"comma_stays_on_word", {"lol,laughing"}, "lol,", "·lol,"},
        ExpandCase{"capital_name_never_matches", {"LOL,shouting"}, "LOL", "·LOL"},
        ExpandCase{"double_space_is_empty_word", {}, "a··b", "·a··b"},
        ExpandCase{"meaning_keeps_later_commas", {"brb,be·right·back,·ok"}, "brb", "·be·right·back,·ok"},
        ExpandCase{"lower_position_wins", {"gg,good·game", "gg,go·go"}, "gg", "·good·game"},
        ExpandCase{"empty_name_matches_empty_word", {",zero"}, "·hi", "·zero·hi"},
        ExpandCase{"empty_meaning_leaves_space", {"afk,"}, "afk", "·"},
        ExpandCase{"meaning_not_expanded_again", {"brb,lol", "lol,laughing"}, "brb", "·lol"},
        ExpandCase{"empty_message", {"lol,laughing"}, "", ""},
        ExpandCase{"only_spaces", {}, "··", "···"},
        ExpandCase{"tab_is_part_of_word", {"lol,laughing"}, "lol\t", "·lol\t"},
        ExpandCase{"name_with_space_never_matches", {"o·k,okay"}, "o·k", "·o·k"},
        ExpandCase{"latin1_word_lowered", {"\xe7" "a,that"}, "\xc7" "A", "·that"},
        // A record without a comma is all name and an empty meaning: it never fails a message.
        ExpandCase{"record_without_comma_no_match", {"hello"}, "hi", "·hi"},
        ExpandCase{"record_without_comma_matches_whole", {"hello"}, "hello", "·"},
        ExpandCase{"record_without_comma_empty_message", {"hello"}, "", ""},
        ExpandCase{"walk_stops_before_record_without_comma", {"lol,laughing", "oops"}, "lol", "·laughing"},
        ExpandCase{"word_past_record_without_comma", {"lol,laughing", "oops"}, "lol·x", "·laughing·x"},
        ExpandCase{"empty_record_is_harmless", {"", "lol,laughing"}, "·lol", "··laughing"}),
    CaseName);

TEST(AcronymRecord, NameAndMeaningSplitAtFirstComma) {
  EXPECT_EQ(AcronymName(T("brb,be right back, ok")), T("brb"));
  EXPECT_EQ(AcronymMeaning(T("brb,be right back, ok")), T("be right back, ok"));
  EXPECT_EQ(AcronymName(T("oops")), T("oops"));
  EXPECT_EQ(AcronymMeaning(T("oops")), T(""));
  EXPECT_EQ(AcronymName(T(",")), T(""));
  EXPECT_EQ(AcronymMeaning(T(",")), T(""));
}

}  // namespace
}  // namespace murmuro
