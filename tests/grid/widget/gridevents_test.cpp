#include "grid/basegrid/inplaceedit.h"
#include "grid/editing/combo.h"
#include "grid/widget/dgbasegrid.h"
#include "gridsupport/testgrid.h"

#include <QApplication>
#include <QLineEdit>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace marrowen {
namespace {

TEST(GridEvents, ClickPositionsFollowTheNumbers) {
  struct Case {
    int col, row;
    TdgClickPosition pos;
  };
  const Case cases[] = {{2, 0, cpHeading}, {0, 3, cpRowBar},   {0, 0, cpCorner},
                        {1, 1, cpCell},    {-1, 2, cpOutside}, {2, -1, cpOutside}};
  for (const Case &c : cases)
    EXPECT_EQ(ClickPositionOf(c.col, c.row), c.pos) << c.col << "," << c.row;
}

TEST(GridEvents, HandshakesAnswerFalseWithoutHandlersAndTakeTheHandlersWord) {
  TdgGrid grid;
  Variant value(std::int32_t(4));
  int pos = 1, len = 2;
  EXPECT_FALSE(grid.DoInvalidMaskEdit("x", 1, 1));
  EXPECT_FALSE(grid.DoInvalidMaskValue(1, 1));
  EXPECT_FALSE(grid.DoShowEditor(1, 1));
  EXPECT_TRUE(grid.DoSpinIncrement(1, 1, sbUp, value, pos, len)) << "the spin step's own word";
  EXPECT_FALSE(grid.DoClickCell(1, 1, 1, 1, cpCell, cpCell));
  EXPECT_FALSE(grid.PaintCellByUser(1, 1, TRect{0, 0, 10, 10}, 0));

  grid.OnSpinIncrement = [](TdgBaseGrid *, int, int, TdgSpinButton button, Variant &v, int &p,
                            int &l, bool &accept) {
    EXPECT_TRUE(accept);
    v = Variant(std::int32_t(button == sbDown ? 3 : 5));
    p = 0;
    l = 1;
    accept = true;
  };
  EXPECT_TRUE(grid.DoSpinIncrement(1, 1, sbDown, value, pos, len));
  EXPECT_EQ(value.toInteger(), 3);
  EXPECT_EQ(pos + len, 1);

  std::vector<int> painted;
  grid.OnPaintCell = [&](TdgBaseGrid *, int dataCol, int dataRow, const TRect &, TdgPaintCellState,
                         bool &cancel) {
    painted.push_back(dataCol * 10 + dataRow);
    cancel = dataRow == 0;
  };
  grid.MoveCols(1, 3);
  EXPECT_FALSE(grid.PaintCellByUser(0, 1, TRect{0, 0, 10, 10}, 0)) << "the row bar is the grid's";
  EXPECT_FALSE(grid.PaintCellByUser(1, 1, TRect{5, 0, 5, 10}, 0)) << "nothing to paint in";
  EXPECT_FALSE(grid.PaintCellByUser(1, 2, TRect{0, 0, 10, 10}, 0));
  EXPECT_TRUE(grid.PaintCellByUser(3, 0, TRect{0, 0, 10, 10}, 0));
  EXPECT_EQ(painted, (std::vector<int>{22, 10})) << "data numbers, heading as row 0";
}

TEST(GridEvents, MouseStatusReportsEachChangeOnce) {
  TdgGrid grid;
  std::vector<std::pair<int, int>> changes;
  grid.SetMouseStatus(msColSizing);
  grid.OnMouseStatusChanged = [&](TdgBaseGrid *, TdgMouseStatus oldStatus,
                                  TdgMouseStatus newStatus) {
    changes.emplace_back(oldStatus, newStatus);
  };
  grid.SetMouseStatus(msColSizing);
  grid.SetMouseStatus(msRowMoving);
  grid.SetMouseStatus(msNothing);
  EXPECT_EQ(changes, (std::vector<std::pair<int, int>>{{msColSizing, msRowMoving},
                                                       {msRowMoving, msNothing}}));
}

// Focus leaving the grid first ends the edit; a refusal keeps the focus and
// reports no exit.
TEST(GridEvents, LeavingTheGridEndsTheEditOrStays) {
  QWidget window;
  auto *layout = new QVBoxLayout(&window);
  auto *grid = new TdgGrid;
  auto *other = new QLineEdit;
  layout->addWidget(grid);
  layout->addWidget(other);
  int enters = 0, exits = 0;
  grid->OnEnter = [&](TdgBaseGrid *) { ++enters; };
  grid->OnExit = [&](TdgBaseGrid *) { ++exits; };
  bool refuse = true;
  grid->OnEndCellEdit = [&](TdgBaseGrid *, int, int, bool &cancel) { cancel = refuse; };
  window.show();
  QApplication::setActiveWindow(&window);
  other->setFocus();
  QApplication::processEvents();
  enters = exits = 0;
  grid->setFocus();
  QApplication::processEvents();
  EXPECT_EQ(enters, 1);
  ASSERT_TRUE(grid->StartEdit());
  other->setFocus();
  QApplication::processEvents();
  EXPECT_EQ(exits, 0);
  EXPECT_EQ(enters, 1) << "kept in the grid, it was never left";
  EXPECT_TRUE(grid->hasFocus() || grid->ActiveControl().Focused());
  refuse = false;
  other->setFocus();
  QApplication::processEvents();
  EXPECT_EQ(exits, 1);
  EXPECT_FALSE(grid->CellEditing());
}

} // namespace
} // namespace marrowen

namespace marrowen {
namespace {

TEST(GridEvents, RowsLoadOncePerPaintCombosReportTheirCellsAndColumnsTheirInsertion) {
  TdgGrid grid;
  grid.SetStoreData(true);
  grid.SetRows(1);
  int rowsLoaded = 0;
  grid.OnRowLoaded = [&](TdgBaseGrid *, int) { ++rowsLoaded; };
  showGrid(grid, 300, 100);
  const int firstPaint = rowsLoaded;
  EXPECT_GE(firstPaint, 1);
  grid.viewport()->repaint();
  EXPECT_GT(rowsLoaded, firstPaint) << "the next paint loads the row again";

  std::vector<int> combos;
  grid.OnComboCellLoaded = [&](TdgBaseGrid *, TdgComboGrid *, int, int row, Variant &value) {
    combos.push_back(row);
    value = Variant("from owner");
  };
  TdgComboGrid &list = *GiveDropDownList(*grid.GetCol(Variant(1)), {"a", "b"}).ComboGrid();
  EXPECT_EQ(list.GetCell(1, 2).toString(), "from owner");
  EXPECT_EQ(combos, std::vector<int>{2});
  // The owner's handler runs while the list fetches: a read of the list's
  // cells from there is refused, as from OnCellLoaded, and never recurses.
  grid.OnComboCellLoaded = [](TdgBaseGrid *, TdgComboGrid *list, int, int, Variant &) {
    list->GetCell(1, 1);
  };
  std::string error;
  try {
    list.GetCell(1, 1);
  } catch (const EInvalidGridOperation &e) {
    error = e.what();
  }
  EXPECT_TRUE(error.ends_with(": Cannot get Cell property value while in OnCellLoaded event"))
      << error;
  grid.OnComboCellLoaded = nullptr;

  std::vector<int> inserted;
  grid.OnInsertCol = [&](TdgBaseGrid *, int col, bool) { inserted.push_back(col); };
  grid.SetCols(6);
  EXPECT_EQ(inserted, (std::vector<int>{5, 6}));
}

} // namespace
} // namespace marrowen

namespace marrowen {
namespace {

// Lines taken away under the current cell: each goes with its event, then
// the current cell moves once, from the row it was on to a row that exists.
TEST(GridEvents, DeletionsAreReportedBeforeTheOneMoveOfTheCurrentCell) {
  struct Case {
    TdgGridMode mode;
    std::function<void(TdgGrid &)> change;
    std::vector<std::string> events;
  };
  const Case cases[] = {
      {gmEdit,
       [](TdgGrid &g) { g.DeleteRows(5, 6); },
       {"count 6>4", "delete 6", "delete 5", "row 6>4"}},
      {gmEdit,
       [](TdgGrid &g) {
         g.SelectRows(5, 6);
         g.DeleteSelectedRows();
       },
       {"count 6>4", "delete 6", "delete 5", "row 6>4"}},
      // The insert row entered by Down, then the rows cut to 2.
      {gmEditInsert,
       [](TdgGrid &g) {
         std::uint16_t down = VK_DOWN;
         g.KeyDown(down, {});
         g.SetRows(2);
       },
       {"count 6>7", "insert 7", "row 6>7", "count 7>2", "row 7>2"}},
      {gmEditInsert,
       [](TdgGrid &g) { g.DeleteRows(4, 6); },
       {"count 6>3", "delete 6", "delete 5", "delete 4", "row 6>3"}},
  };
  for (const Case &c : cases) {
    TdgGrid grid;
    grid.SetCols(2);
    grid.SetRows(6);
    grid.SetGridMode(c.mode);
    grid.resize(300, 300);
    grid.show();
    QApplication::processEvents();
    grid.SetCurrentDataRow(6);
    std::vector<std::string> events;
    grid.OnRowCountChanged = [&](TdgBaseGrid *, int from, int to) {
      events.push_back("count " + std::to_string(from) + ">" + std::to_string(to));
    };
    grid.OnDeleteRow = [&](TdgBaseGrid *, int row, bool) {
      events.push_back("delete " + std::to_string(row));
    };
    grid.OnInsertRow = [&](TdgBaseGrid *, int row, bool) {
      events.push_back("insert " + std::to_string(row));
    };
    grid.OnRowChanged = [&](TdgBaseGrid *g, int from, int to) {
      events.push_back("row " + std::to_string(from) + ">" + std::to_string(to));
      EXPECT_LE(to, g->Rows()) << "a row that exists";
    };
    c.change(grid);
    EXPECT_EQ(events, c.events);
  }
}

} // namespace
} // namespace marrowen
