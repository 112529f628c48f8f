#include "phrase/lines.h"

#include <gtest/gtest.h>

#include "support/test_text.h"

namespace murmuro {
namespace {

using testing::T;

std::vector<Text> Owned(const std::vector<TextView>& views) { return {views.begin(), views.end()}; }

TEST(SplitLines, CutsAtCrLfOnly) {
  struct Case {
    Text text;
    std::vector<Text> lines;
  };
  const std::vector<Case> cases = {
      {T(""), {}},
      {T("a"), {T("a")}},
      {T("a⏎b"), {T("a"), T("b")}},
      {T("a⏎"), {T("a"), T("")}},
      {T("⏎"), {T(""), T("")}},
      {T("a\nb\rc"), {T("a\nb\rc")}},      // lone LF and lone CR stay inside the line
      {T("a\n\r⏎b"), {T("a\n\r"), T("b")}},
      {T("\r\r\n\n"), {T("\r"), T("\n")}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Owned(SplitLines(c.text)), c.lines) << testing::Show(c.text);
    EXPECT_EQ(CountCrLf(c.text) + (c.text.empty() ? 0 : 1), c.lines.size()) << testing::Show(c.text);
    if (!c.text.empty()) {
      EXPECT_EQ(Text(LastLine(c.text)), c.lines.back()) << testing::Show(c.text);
    }
  }
}

TEST(SplitWords, EverySpaceCuts) {
  EXPECT_EQ(Owned(SplitWords(T(""))), std::vector<Text>{});
  EXPECT_EQ(Owned(SplitWords(T("a"))), (std::vector<Text>{T("a")}));
  EXPECT_EQ(Owned(SplitWords(T("·a··b·"))), (std::vector<Text>{T(""), T("a"), T(""), T("b"), T("")}));
  EXPECT_EQ(Owned(SplitWords(T("a\tb"))), (std::vector<Text>{T("a\tb")}));
}

}  // namespace
}  // namespace murmuro
