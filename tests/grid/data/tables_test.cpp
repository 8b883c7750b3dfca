#include "grid/data/tables.h"

#include "grid/fake_grid.h"

#include <gtest/gtest.h>

#include <random>

using namespace marrowen;
using namespace marrowen::testing;

namespace {

std::vector<int> positions(const TdgVisibleItems &list) {
  std::vector<int> out;
  for (int i = 1; i <= list.VisibleCount(); ++i)
    out.push_back(list.Get(i));
  return out;
}

} // namespace

TEST(VisibleItems, HidingActivatesAndShowingKeepsActive) {
  TdgVisibleItems list;
  list.SetVisibleCount(5, 1);
  bool found;
  EXPECT_EQ(list.Search(7, found), 6);
  EXPECT_FALSE(found);
  list.Remove(3);
  EXPECT_TRUE(list.Active());
  EXPECT_EQ(positions(list), (std::vector<int>{1, 2, 4, 5}));
  list.Add(3);
  EXPECT_TRUE(list.Active());
  EXPECT_EQ(positions(list), (std::vector<int>{1, 2, 3, 4, 5}));
  TdgVisibleItems three;
  three.SetVisibleCount(3, 1);
  EXPECT_EQ(three.Search(4, found), 4);
  EXPECT_FALSE(found);
}

TEST(VisibleItems, MoveItemCarriesVisibilityLikeAReferenceModel) {
  std::mt19937 random(5);
  for (int round = 0; round < 2000; ++round) {
    const int n = 2 + random() % 9;
    std::vector<bool> shown(n + 1, true);
    TdgVisibleItems list;
    list.SetVisibleCount(n, 1);
    for (int p = 1; p <= n; ++p)
      if (random() % 3 == 0) {
        list.Remove(p);
        shown[p] = false;
      }
    if (!list.Active())
      continue;
    const int from = 1 + random() % n, to = 1 + random() % n;
    list.MoveItem(from, to);
    const bool moving = shown[from];
    shown.erase(shown.begin() + from);
    shown.insert(shown.begin() + to, moving);
    std::vector<int> expected;
    for (int p = 1; p <= n; ++p)
      if (shown[p])
        expected.push_back(p);
    ASSERT_EQ(positions(list), expected) << "n " << n << " from " << from << " to " << to;
  }
}

TEST(GridRows, MoveItemsCarriesIdsAndDisplayRowsTogether) {
  FakeGrid grid;
  TdgGridRows rows(&grid, 5);
  rows.EnsureDisplayMap();
  rows.SetDisplayRow(1, 4);
  rows.EnsureRowObject(1).SetColor(clRed);
  rows.MoveItems(1, 3, 2); // rows 1, 2 to 3, 4; 3, 4 to 1, 2
  EXPECT_EQ(rows.GetRowId(3), 1);
  EXPECT_EQ(rows.GetRowId(1), 3);
  EXPECT_EQ(rows.GetDisplayRow(3), 4);
  ASSERT_NE(rows.Item(3), nullptr);
  EXPECT_EQ(rows.Item(3)->DataRow(), 3);
  EXPECT_EQ(rows.Item(1), nullptr);
  ASSERT_NE(rows.Item(0), nullptr); // the heading always has one
}

TEST(GridRows, DefaultHeightsNeedNoRowObject) {
  FakeGrid grid;
  TdgGridRows rows(&grid, 5);
  rows.SetHeight(2, 14);
  EXPECT_EQ(rows.Item(2), nullptr);
  rows.SetHeight(2, 20);
  ASSERT_NE(rows.Item(2), nullptr);
  EXPECT_EQ(rows.GetHeight(2), 20);
  rows.SetHeight(2, 14);
  EXPECT_EQ(rows.Item(2), nullptr);
  EXPECT_THROW(rows.RowObject(5), Exception);
  EXPECT_EQ(grid.take().size(), 0u);
}

TEST(GridCols, IndexOrFieldName) {
  FakeGrid grid;
  grid.raiseErrors = false;
  TdgGridCols cols(&grid, 5);
  cols.Item(0)->SetFieldName("bar");
  cols.Item(2)->SetFieldName("Path");
  EXPECT_EQ(cols.ColByIndexOrName(Variant("PATH")), cols.Item(2));
  EXPECT_EQ(cols.FindByFieldName("bar"), nullptr);
  EXPECT_EQ(cols.ColByIndexOrName(Variant(5)), nullptr);
  grid.raiseErrors = true;
  EXPECT_THROW(cols.ColByIndexOrName(Variant(5)), Exception);
  EXPECT_EQ(cols.ColByIndexOrName(Variant(1.0)), nullptr);
}

TEST(CoordList, PairsWalkAndRemove) {
  TdgCoordList list;
  list.AddPair(1, 2);
  list.AddPair(3, 4);
  int index = 0, col, row;
  ASSERT_TRUE(list.NextPair(index, col, row));
  EXPECT_EQ(col * 10 + row, 12);
  ASSERT_TRUE(list.NextPair(index, col, row));
  EXPECT_EQ(col * 10 + row, 34);
  EXPECT_FALSE(list.NextPair(index, col, row));
  list.RemovePair(1, 2);
  EXPECT_EQ(list.Count(), 2);
}
