#include "platform/options_layout.h"

#include <set>

#include <gtest/gtest.h>

namespace murmuro {
namespace {

struct Box {
  std::int32_t left, top, right, bottom;
};

Box BoxOf(const OptionsControl& c) { return {c.Left, c.Top, c.Left + c.Width, c.Top + c.Height}; }

bool Overlap(const Box& a, const Box& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

TEST(OptionsLayout, ControlsFitWithoutOverlapAndTabsVisitEachOnce) {
  std::set<std::int32_t> tabs;
  for (std::size_t i = 0; i < kOptionsControls.size(); ++i) {
    const Box box = BoxOf(kOptionsControls[i]);
    SCOPED_TRACE(i);
    EXPECT_TRUE(box.left >= 0 && box.top >= 0 && box.right <= kOptionsClientTwips &&
                box.bottom <= kOptionsClientTwips);
    for (std::size_t j = i + 1; j < kOptionsControls.size(); ++j) {
      EXPECT_FALSE(Overlap(box, BoxOf(kOptionsControls[j]))) << "with " << j;
    }
    tabs.insert(kOptionsControls[i].TabOrder);
  }
  EXPECT_EQ(tabs.size(), kOptionsControls.size());
  EXPECT_EQ(*tabs.begin(), 0);
  EXPECT_EQ(*tabs.rbegin(), static_cast<std::int32_t>(kOptionsControls.size()) - 1);
}

}  // namespace
}  // namespace murmuro
