#include "grid/data/selection.h"

#include <gtest/gtest.h>

namespace marrowen {
namespace {

TdgSelection twoFiveSeven() {
  TdgSelection s;
  s.SetSize(10);
  for (int i : {2, 5, 7})
    s.Bits[static_cast<std::size_t>(i)] = true;
  s.First = 2;
  s.Last = 7;
  s.Count = 3;
  return s;
}

TEST(Selection, RangeQuestionsUseTheSummaries) {
  const TdgSelection s = twoFiveSeven();
  EXPECT_EQ(s.CountInRange(6, 3), 1);
  EXPECT_EQ(s.CountInRange(0, 20), 3);
  EXPECT_EQ(s.CountInRange(8, 9), 0);
  EXPECT_EQ(s.NextSelected(7), -1);
  EXPECT_EQ(s.NextSelected(2), 5);
  EXPECT_EQ(s.PrevSelected(5), 2);
  EXPECT_EQ(s.PrevSelected(2), -1);
  EXPECT_FALSE(s.IsSelected(0));
  EXPECT_FALSE(s.IsSelected(10));
}

TEST(Selection, ShrinkingDropsThePositionsBeyond) {
  TdgSelection s = twoFiveSeven();
  s.SetSize(6);
  EXPECT_EQ(s.Count, 2);
  EXPECT_EQ(s.Last, 5);
  EXPECT_EQ(s.First, 2);
  s.SetSize(2);
  EXPECT_EQ(s.Count, 0);
  EXPECT_EQ(s.Last, -1);
  EXPECT_EQ(s.First, -1);
}

TEST(Selection, AssignReportsOnlyRealChanges) {
  TdgSelection empty, other;
  empty.SetSize(10);
  other.SetSize(10);
  EXPECT_FALSE(other.Assign(empty));
  const TdgSelection s = twoFiveSeven();
  EXPECT_TRUE(other.Assign(s));
  EXPECT_FALSE(other.Assign(s));
  EXPECT_EQ(other.CountInRange(1, 9), 3);
  EXPECT_TRUE(other.Assign(empty));
  EXPECT_EQ(other.Count, 0);
  // Sizes alone are no change; a place the source lacks counts as unselected.
  TdgSelection wider = s, shorter = s;
  wider.SetSize(14);
  shorter.SetSize(6);
  other.Assign(s);
  EXPECT_FALSE(other.Assign(wider));
  EXPECT_FALSE(other.Assign(s));
  EXPECT_TRUE(other.Assign(shorter));
}

} // namespace
} // namespace marrowen
