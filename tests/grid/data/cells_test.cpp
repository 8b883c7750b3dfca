#include "grid/data/cells.h"

#include "classlib/componentstream.h"
#include "grid/fake_grid.h"

#include <gtest/gtest.h>

using namespace marrowen;
using namespace marrowen::testing;
using Calls = std::vector<std::string>;

TEST(CellProperties, ElementsExistOnlyAwayFromTheDefaults) {
  FakeGrid grid;
  TdgCell cell(&grid, 2, 3);
  cell.SetColor(clNone);
  EXPECT_EQ(grid.cells.Count(), 0);
  cell.SetColor(clRed);
  EXPECT_EQ(grid.cells.Count(), 1);
  cell.SetColor(clNone);
  EXPECT_EQ(grid.cells.Count(), 0);
  EXPECT_EQ(grid.take(), (Calls{"cellElementAdded 2 3", "invalidateCell 2 3",
                                "cellElementRemoved 2 3", "invalidateCell 2 3"}));
  TdgCellElement element(&grid, 1, 1);
  EXPECT_TRUE(element.GetProp(pnPictureOptions, 5).isEmpty());
}

TEST(CellProperties, OrderedByRowThenColumn) {
  FakeGrid grid;
  TdgCell(&grid, 1, 2).Set(pnIs3D, Variant(true));
  TdgCell(&grid, 2, 1).Set(pnIs3D, Variant(true));
  const auto list = grid.cells.ToList();
  ASSERT_EQ(list->Count(), 2);
  const auto *first = static_cast<TdgCellElement *>(list->Get(1));
  EXPECT_EQ(first->DataCol, 2);
  EXPECT_EQ(first->DataRow, 1);
}

TEST(CellProperties, ResetNotifiesOnlyItsFirstChange) {
  FakeGrid grid;
  TdgCell cell(&grid, 1, 1);
  cell.SetColor(clRed);
  cell.Set(pnIs3D, Variant(true));
  cell.Set(pnWordWrap, Variant(int(wwOn)));
  cell.Set(pnMaskName, Variant("zip"));
  grid.take();
  grid.cells.ResetProperties(grid.cells.FindCell(1, 1),
                             resetBit(pnColor) | resetBit(pnIs3D) | resetBit(pnWordWrap) |
                                 resetBit(pnMaskName) | resetBit(pnColSelected),
                             true);
  EXPECT_EQ(grid.take(),
            (Calls{"invalidateCell 1 1", "cellElementRemoved 1 1", "reapplyMask 1 1"}));
  EXPECT_EQ(grid.cells.Count(), 0);
}

TEST(CellProperties, DirectPaintHoldsBackOnlyDrawingProperties) {
  FakeGrid grid;
  grid.directPaint = true;
  grid.currentCol = grid.currentRow = 2;
  TdgCell cell(&grid, 2, 2);
  cell.SetColor(clRed);
  EXPECT_EQ(grid.take(), Calls{"cellElementAdded 2 2"});
  cell.SetButtonType(btNormal);
  EXPECT_EQ(grid.take(), (Calls{"invalidateCell 2 2", "refreshEditor", "reenterCell"}));
}

TEST(CellProperties, ACopiedSetOwnsItsElements) {
  FakeGrid grid;
  TdgCell(&grid, 1, 1).SetColor(clRed);
  TdgCell(&grid, 3, 2).Set(pnIs3D, Variant(true));
  FakeGrid other;
  TdgCellPropSet copy(&other);
  copy.Assign(grid.cells);
  ASSERT_EQ(copy.Count(), 2);
  EXPECT_EQ(copy.FindCell(1, 1)->Grid, &other);
  EXPECT_NE(copy.FindCell(1, 1), grid.cells.FindCell(1, 1));
  EXPECT_EQ(copy.FindCell(1, 1)->GetProp(pnColor, 0).toInteger(), clRed);
  grid.cells.Clear();
  EXPECT_TRUE(copy.FindCell(3, 2)->GetProp(pnIs3D, 0).toBoolean());
}

TEST(CellProperties, CellAssignAndStreamRoundTrip) {
  FakeGrid grid;
  TdgCell source(&grid, 1, 1);
  source.SetColor(clRed);
  source.SetButtonType(btCombo);
  static_cast<FakeCombo &>(grid.ensureCellCombo(1, 1)).items = "x|y";
  source.Set(pnSpinIncrement, Variant(2.5));
  source.Set(pnReadOnly, Variant(int(roOn)));
  TFont font;
  font.SetName("Tahoma");
  source.SetFont(&font);
  TdgCell target(&grid, 2, 2);
  target.Assign(source);
  EXPECT_EQ(target.Color(), clRed);
  EXPECT_EQ(target.Get(pnReadOnly).toInteger(), roOn);
  ASSERT_NE(target.Combo(), nullptr);
  ASSERT_NE(target.Font(), nullptr);
  EXPECT_EQ(target.Font()->Name(), "Tahoma");
  EXPECT_FALSE(target.ParentFont());

  std::string bytes;
  ComponentWriter w(bytes);
  writePublished(w, source, "Cell.");
  w.writeListEnd();
  TdgCell read(&grid, 4, 4);
  ComponentReader r(bytes);
  while (!r.endOfList())
    ASSERT_TRUE(readPublished(r, read, r.readName().substr(5)));
  std::string again;
  ComponentWriter w2(again);
  writePublished(w2, read, "Cell.");
  w2.writeListEnd();
  EXPECT_EQ(again, bytes);
}
