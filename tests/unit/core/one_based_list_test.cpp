#include "base/one_based_list.h"

#include <gtest/gtest.h>

namespace murmuro {
namespace {

TEST(OneBasedList, PositionsCountFromOne) {
  OneBasedList<int> list{10, 20, 30};
  EXPECT_EQ(list.Item(1), 10);
  EXPECT_EQ(list.Item(3), 30);
  list.Insert(1, 5);
  list.Insert(5, 40);  // one past the end appends
  list.Remove(3);
  EXPECT_EQ(list, (OneBasedList<int>{5, 10, 30, 40}));
  EXPECT_THROW(list.Item(0), std::out_of_range);
  EXPECT_THROW(list.Item(5), std::out_of_range);
  EXPECT_THROW(list.Insert(6, 1), std::out_of_range);
  EXPECT_THROW(list.Remove(0), std::out_of_range);
}

}  // namespace
}  // namespace murmuro
