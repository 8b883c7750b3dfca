#include "grid/data/colrow.h"
#include "grid/widget/dgbasegrid.h"
#include "gridsupport/datagridscenes.h"
#include "gridsupport/screencheck.h"
#include "gridsupport/screenshots.h"

#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <memory>
#include <set>

namespace marrowen {
namespace {

// A shown 6 x 100 text grid; columns 64 wide, rows 14 high, row bar 14 and
// heading 15.
struct Shown {
  Shown(int rows = 100) {
    grid.SetName("Grid1");
    fillTextGrid(grid, 6, rows);
    showDataGrid(grid, 400, 300);
  }
  QImage shot() {
    QApplication::processEvents();
    return grid.viewport()->grab().toImage();
  }
  QRgb at(int x, int y) { return shot().pixel(x, y) & 0xFFFFFF; }
  TdgGrid grid;
};

constexpr QRgb black = 0x000000, grey = 0x808080, white = 0xFFFFFF;

TEST(GridPaint, HeadingEdges) {
  Shown s;
  const TRect h = s.grid.GetCellRect(2, 0);
  EXPECT_EQ(s.at(h.Right - 1, 5), grey);
  EXPECT_EQ(s.at(h.Left + 20, h.Top), white); // raised edge
  s.grid.SetHeading3D(false);
  EXPECT_EQ(s.at(h.Right - 1, 5), black);
  EXPECT_NE(s.at(h.Left + 20, h.Top), white);
}

TEST(GridPaint, GridLineColours) {
  Shown s;
  const TRect c = s.grid.GetCellRect(2, 3);
  EXPECT_EQ(s.at(c.Right - 1, c.Top + 5), QColor(0xC0, 0xC0, 0xC0).rgb() & 0xFFFFFF);
  s.grid.SetGridLines(glNone);
  EXPECT_NE(s.at(c.Right - 1, c.Top + 5), QColor(0xC0, 0xC0, 0xC0).rgb() & 0xFFFFFF);
  s.grid.SetIs3DLook(true); // grey outlines stay without lines
  EXPECT_EQ(s.at(c.Right - 1, c.Top + 5), grey);
  EXPECT_EQ(s.at(c.Left + 20, c.Bottom - 1), grey);

  Shown f;
  f.grid.SetFixedRowCount(1);
  f.grid.SetLineColor(0x0000FF); // red
  const TRect fixed = f.grid.GetCellRect(2, 1);
  EXPECT_EQ(f.at(fixed.Left + 20, fixed.Bottom - 1), black);
  f.grid.SetFixedLineColor(clNone);
  EXPECT_EQ(f.at(fixed.Left + 20, fixed.Bottom - 1), 0xFF0000u);
}

TEST(GridPaint, FocusBorders) {
  Shown s;
  s.grid.SetAlwaysShowEditor(false);
  s.grid.FocusCell(2, 3, true);
  s.grid.SetFocusBorder(fbDouble);
  const TRect c = s.grid.GetPaintCellRect(2, 3);
  EXPECT_EQ(s.at(c.Left - 1, c.Top + 7), black);
  EXPECT_EQ(s.at(c.Left, c.Top + 7), black);
  EXPECT_NE(s.at(c.Left + 1, c.Top + 7), black);
  s.grid.SetFocusBorder(fbNone);
  EXPECT_EQ(s.at(c.Left, c.Top + 7), white);
  EXPECT_NE(s.at(c.Left - 1, c.Top + 7), black);
}

// The cell under the shown editor has no focus mark; it takes the editing
// colours around the editor.
TEST(GridPaint, TheEditedCellShowsTheEditColourAndNoFocusMark) {
  Shown s;
  s.grid.FocusCell(2, 3, true);
  ASSERT_TRUE(s.grid.EditorShown());
  s.grid.SetFocusBorder(fbDouble);
  s.grid.SetFocusColor(0x00FF00);
  s.grid.SetEditColor(0x0000FF);
  s.grid.InvalidateGrid();
  const TRect c = s.grid.GetPaintCellRect(2, 3);
  EXPECT_NE(s.at(c.Left - 1, c.Top + 7), black);
  EXPECT_EQ(s.at(c.Left + 1, c.Top + 7), 0xFF0000u);
}

TEST(GridPaint, FocusMarkOnlyWithFocus) {
  Shown s;
  s.grid.FocusCell(2, 3, true);
  s.grid.SetFocusBorder(fbNone);
  s.grid.SetFocusColor(0x0000FF);
  s.grid.SetAlwaysShowEditor(false);
  const TRect c = s.grid.GetPaintCellRect(2, 3);
  s.grid.setFocus();
  if (!s.grid.hasFocus())
    GTEST_SKIP() << "no focus offscreen";
  EXPECT_EQ(s.at(c.Left + 1, c.Top + 1), 0xFF0000u);
  s.grid.clearFocus();
  s.grid.InvalidateGrid();
  EXPECT_EQ(s.at(c.Left + 1, c.Top + 1), white);
}

TEST(GridPaint, AlwaysShownFocusMarkTakesTheFocusColour) {
  Shown s;
  s.grid.SetAlwaysShowEditor(false);
  s.grid.FocusCell(2, 3, true);
  s.grid.SetFocusBorder(fbNone);
  s.grid.SetFocusColor(0x0000FF);
  QLineEdit elsewhere;
  elsewhere.show();
  QApplication::setActiveWindow(&elsewhere);
  elsewhere.setFocus();
  QApplication::processEvents();
  const TRect c = s.grid.GetPaintCellRect(2, 3);
  s.grid.InvalidateGrid();
  EXPECT_EQ(s.at(c.Left + 1, c.Top + 1), white) << "no focus, no mark";
  s.grid.SetAlwaysShowFocus(true);
  s.grid.InvalidateGrid();
  EXPECT_EQ(s.at(c.Left + 1, c.Top + 1), 0xFF0000u);
  s.grid.SetFocusColor(0x00FF00);
  s.grid.InvalidateGrid();
  EXPECT_EQ(s.at(c.Left + 1, c.Top + 1), 0x00FF00u);
}

TEST(GridPaint, AlwaysShownFocusKeepsTheEditorsSelectionInView) {
  Shown s;
  s.grid.SetAlwaysShowFocus(true); // set while the grid has the focus
  QLineEdit elsewhere;
  elsewhere.show();
  QApplication::setActiveWindow(&elsewhere);
  elsewhere.setFocus();
  QApplication::processEvents();
  QWidget &editor = s.grid.ActiveControl().Control();
  const QImage image = editor.grab().toImage();
  const QRgb highlight = editor.palette().color(QPalette::Highlight).rgb() & 0xFFFFFF;
  bool selectionShown = false;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      selectionShown |= (image.pixel(x, y) & 0xFFFFFF) == highlight;
  EXPECT_TRUE(selectionShown);
}

TEST(GridPaint, SelectionInvertedOrInColour) {
  Shown s;
  const TRect c = s.grid.GetPaintCellRect(3, 4);
  const QImage before = s.shot().copy(c.Left, c.Top, c.Width(), c.Height());
  s.grid.SelectRows(4, 4);
  const QImage after = s.shot().copy(c.Left, c.Top, c.Width(), c.Height());
  for (int y = 0; y < before.height(); ++y)
    for (int x = 0; x < before.width(); ++x)
      ASSERT_EQ(after.pixel(x, y) & 0xFFFFFF, ~before.pixel(x, y) & 0xFFFFFF) << x << ',' << y;
  s.grid.SetSelectionType(sltColor);
  s.grid.SetSelectionColor(0x00FF00);
  EXPECT_EQ(s.at(c.Right - 2, c.Top + 1), 0x00FF00u);
}

TEST(GridPaint, ZeroHeightRowDrawsNothingAndIndicatorMarksCurrentRow) {
  Shown s;
  s.grid.FocusCell(1, 2, true);
  const TRect bar = s.grid.GetCellRect(0, 2);
  bool dark = false;
  const QImage image = s.shot();
  for (int y = bar.Top; y < bar.Bottom; ++y)
    for (int x = bar.Left; x < bar.Right - 1; ++x)
      dark |= (image.pixel(x, y) & 0xFFFFFF) == black;
  EXPECT_TRUE(dark);
  const int below = s.grid.RowTop(4);
  s.grid.SetRowHeights(3, 0);
  EXPECT_EQ(s.grid.RowTop(4), s.grid.RowTop(3));
  EXPECT_LT(s.grid.RowTop(4), below);
}

// A grid that keeps no data paints a written value in its cell, until
// something repaints the cell from its source again.
TEST(GridPaint, AWriteToAGridWithoutDataIsPaintedInItsCell) {
  Shown s;
  s.grid.SetStoreData(false);
  const TRect c = s.grid.GetPaintCellRect(3, 4);
  const auto dark = [&] {
    const QImage image = s.shot();
    for (int y = c.Top; y < c.Bottom; ++y)
      for (int x = c.Left; x < c.Right; ++x)
        if ((image.pixel(x, y) & 0xFFFFFF) == black)
          return true;
    return false;
  };
  ASSERT_FALSE(dark());
  s.grid.SetCell(3, 4, Variant("written"));
  EXPECT_TRUE(dark());
  EXPECT_TRUE(s.grid.GetCell(3, 4).isEmpty());
  s.grid.InvalidateGrid();
  EXPECT_FALSE(dark());
}

TEST(GridPaint, InsertRowIsPaintedOnceBelowTheRows) {
  Shown s(3);
  s.grid.SetGridMode(gmEditInsert);
  const int below = s.grid.RowTop(s.grid.RowCount() - 1) + s.grid.RowHeights(s.grid.RowCount() - 1);
  const QImage image = s.shot();
  const TRect bar = s.grid.GetCellRect(0, 1);
  for (int y = below + 2; y < below + 14; ++y)
    for (int x = bar.Left + 1; x < bar.Right - 1; ++x)
      ASSERT_NE(image.pixel(x, y) & 0xFFFFFF, black) << x << "," << y;
}

TEST(GridPaint, CellBelowAShortButtonIsBackground) {
  Shown s;
  s.grid.GetCol(Variant(2))->SetButtonType(btNormal);
  s.grid.SetRowHeight(2, 40);
  const TRect cell = s.grid.GetCellRect(2, 2);
  const QImage image = s.shot();
  for (int y = cell.Bottom - 8; y < cell.Bottom - 2; ++y)
    for (int x = cell.Right - 8; x < cell.Right - 2; ++x)
      ASSERT_NE(image.pixel(x, y) & 0xFFFFFF, black) << x << "," << y;
}

// A one-part button stands the cell's height at its right edge with its glyph
// whole in the middle, and a press anywhere on it is a press of the button.
TEST(GridPaint, AButtonInATallRowTakesTheRowsHeight) {
  Shown s;
  s.grid.GetCol(Variant(2))->SetButtonType(btNormal);
  s.grid.SetRowHeight(2, 36);
  const TRect cell = s.grid.GetPaintCellRect(2, 2);
  const int left = cell.Right - s.grid.GetCellButton(2, btNormal)->GetTotalWidth();
  const QImage image = s.shot();
  int dots = 0, top = cell.Bottom, bottom = cell.Top;
  for (int y = cell.Top; y < cell.Bottom; ++y)
    for (int x = left; x < cell.Right; ++x)
      if ((image.pixel(x, y) & 0xFFFFFF) == black) {
        ++dots;
        top = std::min(top, y);
        bottom = std::max(bottom, y);
      }
  EXPECT_EQ(dots, 12) << "three dots of four pixels";
  EXPECT_NEAR(top + bottom, cell.Top + cell.Bottom, 3);
  EXPECT_EQ(image.pixel(left + 5, cell.Bottom - 2), image.pixel(left + 5, cell.Top + 1));
  EXPECT_TRUE(s.grid.PointOnCellButton(left + 5, (cell.Top + cell.Bottom) / 2, 2, 2));
}

// Each half of a spin button is a button of its own: holding one pushes in
// only that half, and an arrow stays inside its half in a row too low for it.
TEST(GridPaint, SpinHalvesArePressedAndClippedOneByOne) {
  for (TdgButtonType type : {btVertSpin, btHorzSpin}) {
    SCOPED_TRACE(type);
    Shown s(10);
    s.grid.GetCol(Variant(2))->SetButtonType(type);
    s.grid.SetFlatButtons(false);
    s.grid.SetRowHeight(3, 20);
    s.grid.FocusCell(2, 3, true);
    const TRect cell = s.grid.GetPaintCellRect(2, 3);
    const int left = cell.Right - s.grid.GetCellButton(2, type)->GetTotalWidth();
    const QRect first = type == btVertSpin ? QRect(left, cell.Top, cell.Right - left, 4)
                                           : QRect(left, cell.Top, 4, 4);
    const QImage released = s.shot().copy(first);
    // The second half held down.
    const QPoint second = type == btVertSpin ? QPoint(cell.Right - 3, cell.Top + 14)
                                             : QPoint(cell.Right - 3, cell.Top + 3);
    QTest::mousePress(s.grid.viewport(), Qt::LeftButton, {}, second);
    EXPECT_TRUE(s.shot().copy(first) == released) << "the other half stays up";
    QTest::mouseRelease(s.grid.viewport(), Qt::LeftButton, {}, second);

    // Whichever half is held, by a press or by sliding onto it with the
    // mouse button down, that half and only that one looks pushed in.
    QRect halves[2];
    if (type == btVertSpin) {
      const int middle = cell.Top + cell.Height() / 2;
      halves[0] = QRect(QPoint(left + 1, cell.Top), QPoint(cell.Right - 1, middle - 1));
      halves[1] = QRect(QPoint(left + 1, middle), QPoint(cell.Right - 1, cell.Bottom - 1));
    } else {
      const int middle = left + (cell.Right - left) / 2;
      halves[0] = QRect(QPoint(left + 1, cell.Top), QPoint(middle - 1, cell.Bottom - 1));
      halves[1] = QRect(QPoint(middle, cell.Top), QPoint(cell.Right - 1, cell.Bottom - 1));
    }
    const QImage shown = s.shot();
    auto expectHeld = [&](int half, const char *how) {
      const QImage shot = s.shot();
      EXPECT_FALSE(shot.copy(halves[half]) == shown.copy(halves[half]))
          << "half " << half << " held " << how << " looks pushed in";
      EXPECT_TRUE(shot.copy(halves[1 - half]) == shown.copy(halves[1 - half]))
          << "half " << 1 - half << " stays up while half " << half << " is held " << how;
    };
    for (int held = 0; held < 2; ++held) {
      QTest::mousePress(s.grid.viewport(), Qt::LeftButton, {}, halves[held].center());
      expectHeld(held, "by a press");
      QMouseEvent slide(QEvent::MouseMove, QPointF(halves[1 - held].center()),
                        QPointF(s.grid.viewport()->mapToGlobal(halves[1 - held].center())),
                        Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(s.grid.viewport(), &slide);
      expectHeld(1 - held, "by sliding onto it");
      QTest::mouseRelease(s.grid.viewport(), Qt::LeftButton, {}, halves[1 - held].center());
      EXPECT_TRUE(s.shot().copy(halves[0]) == shown.copy(halves[0]) &&
                  s.shot().copy(halves[1]) == shown.copy(halves[1]))
          << "released, both halves are up";
    }

    // A row of three pixels: what lies around it looks as it does without
    // a button in that row.
    s.grid.SetRowHeight(3, 3);
    s.grid.SetDrawOverlap(doDrawRowOnTop);
    s.grid.FocusCell(1, 6, true);
    const QImage with = s.shot();
    s.grid.SetRowButtonType(3, btNone);
    const QImage without = s.shot();
    const TRect low = s.grid.GetCellRect(2, 3);
    for (int y : {low.Top - 3, low.Top - 2, low.Top - 1, low.Bottom, low.Bottom + 1})
      for (int x = low.Left; x < low.Right; ++x)
        ASSERT_EQ(with.pixel(x, y), without.pixel(x, y)) << x << "," << y;
  }
}

TEST(GridPaint, SelectedPictureIsTinted) {
  Shown s;
  s.grid.GetCol(Variant(2))->SetControlType(ctPicture);
  auto picture = std::make_shared<QImage>(8, 8, QImage::Format_RGB32);
  picture->fill(Qt::white);
  s.grid.SetCell(2, 3, Variant(picture));
  s.grid.SetSelectionType(sltColor);
  s.grid.SetSelectionColor(0x0000FF);
  s.grid.SelectRows(3, 3);
  const TRect c = s.grid.GetPaintCellRect(2, 3);
  const QImage image = s.shot();
  // Half the pixels take the tint, the others the picture's inverse through it.
  std::set<QRgb> seen;
  for (int x = c.Left + 8; x < c.Left + 10; ++x)
    seen.insert(image.pixel(x, c.Top + 4) & 0xFFFFFF);
  EXPECT_EQ(seen, (std::set<QRgb>{0xFF0000u, 0x00FFFFu}));
}

TEST(GridPaint, PaintCellHandlerTakesOverOnlyItsCell) {
  Shown s;
  s.grid.OnPaintCell = [](TdgBaseGrid *grid, int dataCol, int dataRow, const TRect &rect,
                          TdgPaintCellState, bool &painted) {
    if (dataCol == 2 && dataRow == 3) {
      grid->Canvas()->fillRect(rect.Left, rect.Top, rect.Width(), rect.Height(), Qt::blue);
      painted = true;
    }
  };
  s.grid.InvalidateGrid();
  const TRect mine = s.grid.GetPaintCellRect(2, 3);
  const TRect other = s.grid.GetPaintCellRect(3, 3);
  EXPECT_EQ(s.at(mine.Left + 30, mine.Top + 2), 0x0000FFu);
  EXPECT_EQ(s.at(other.Left + 30, other.Top + 2), white);
  // The cell keeps its button and its focus mark; a heading its frame.
  s.grid.GetCol(Variant(2))->SetButtonType(btNormal);
  s.grid.SetAlwaysShowEditor(false);
  s.grid.FocusCell(2, 3, true);
  s.grid.SetFocusBorder(fbSingle);
  const int buttonLeft = mine.Right - s.grid.GetCellButton(2, btNormal)->GetTotalWidth();
  EXPECT_EQ(s.at(buttonLeft, mine.Top + 2), 0xC0C0C0u);
  EXPECT_EQ(s.at(mine.Left - 1, mine.Top + 7), black);
  s.grid.OnPaintCell = [](TdgBaseGrid *grid, int, int dataRow, const TRect &rect, TdgPaintCellState,
                          bool &painted) {
    if (dataRow == 0) {
      grid->Canvas()->fillRect(rect.Left, rect.Top, rect.Width(), rect.Height(), Qt::blue);
      painted = true;
    }
  };
  s.grid.InvalidateGrid();
  const TRect h = s.grid.GetCellRect(2, 0);
  EXPECT_EQ(s.at(h.Right - 1, 5), grey);
}

TEST(GridPaint, DrawInfoHandlerChangesOnlyItsCell) {
  Shown s;
  s.grid.OnGetDrawInfo = [](TdgBaseGrid *, int dataCol, int dataRow, TdgDrawInfo &info) {
    if (dataCol == 2 && dataRow == 3) {
      info.Color = 0x00FF00;
      info.Font->SetColor(0x0000FF);
      info.Font->SetSize(30);
    }
  };
  s.grid.InvalidateGrid();
  const TRect mine = s.grid.GetPaintCellRect(2, 3);
  const TRect other = s.grid.GetPaintCellRect(3, 3);
  EXPECT_EQ(s.at(mine.Right - 2, mine.Top + 1), 0x00FF00u);
  EXPECT_EQ(s.at(other.Right - 2, other.Top + 1), white);
  EXPECT_EQ(s.grid.EffectiveFont(2, 3).Size(), 8); // the handler changed a copy
  bool red = false, elsewhere = false;
  const QImage image = s.shot();
  for (int x = mine.Left; x < mine.Right; ++x)
    for (int y = mine.Top; y < mine.Bottom; ++y)
      red |= (image.pixel(x, y) & 0xFFFFFF) == 0xFF0000u;
  for (int x = other.Left; x < other.Right; ++x)
    for (int y = other.Top; y < other.Bottom; ++y)
      elsewhere |= (image.pixel(x, y) & 0xFFFFFF) == 0xFF0000u;
  EXPECT_TRUE(red);
  EXPECT_FALSE(elsewhere);
}

TEST(GridPaint, HeldHeadingLooksSunkenWhileTheMouseStaysInside) {
  Shown s;
  const TRect h = s.grid.GetCellRect(2, 0);
  s.grid.SetHeadingButton(hbCell); // held down as a whole
  s.grid.HoldHeading(2);
  EXPECT_EQ(s.at(h.Left + 20, h.Top), grey);
  s.grid.SetHeldHeadingInside(false);
  EXPECT_EQ(s.at(h.Left + 20, h.Top), white);
  s.grid.HoldHeading(-1);
  EXPECT_EQ(s.at(h.Left + 20, h.Top), white);
}

TEST(GridPaint, FirstPaintDirectLaterBuffered) {
  TdgGrid grid;
  fillTextGrid(grid, 3, 5);
  EXPECT_FALSE(grid.FirstPaintDone());
  showDataGrid(grid, 200, 100);
  EXPECT_TRUE(grid.FirstPaintDone());
  grid.InvalidateGrid();
  grid.viewport()->grab();
  EXPECT_TRUE(grid.PaintedThroughBuffer());
  // A handler that fails mid-paint is reported; what was drawn still shows.
  std::string reported;
  setGridExceptionReporter([&](const std::exception &e) { reported = e.what(); });
  grid.OnPaint = [](TCustomGrid_dg *) { throw std::runtime_error("paint failed"); };
  const QImage shown = grid.viewport()->grab().toImage();
  grid.OnPaint = nullptr;
  setGridExceptionReporter(nullptr);
  EXPECT_EQ(reported, "paint failed");
  EXPECT_EQ(shown, grid.viewport()->grab().toImage());
}

// What the window shows after pixel moves and partial repaints must equal
// a fresh paint of the whole grid.
TEST(GridPaint, ScreenMatchesFreshPaint) {
  Shown s(1000);
  if (shownOnScreen(s.grid).isNull())
    GTEST_SKIP() << "the platform cannot grab windows";
  const std::pair<int, int> steps[] = {{SB_LINEDOWN, 0},        {SB_LINEDOWN, 0}, {SB_PAGEDOWN, 0},
                                       {SB_THUMBPOSITION, 500}, {SB_LINEUP, 0},   {SB_PAGEUP, 0}};
  for (auto [code, thumb] : steps) {
    s.grid.ScrollMessage(SB_VERT, code, thumb);
    EXPECT_EQ(screenDiffersFromFullPaint(s.grid), "") << "after scroll code " << code;
  }
  s.grid.SetCurrentDataRow(s.grid.GetDataRow(s.grid.TopRow() + 3));
  EXPECT_EQ(screenDiffersFromFullPaint(s.grid), "") << "after a program moved the current row";
  s.grid.SelectRows(s.grid.TopRow() + 1, s.grid.TopRow() + 2);
  EXPECT_EQ(screenDiffersFromFullPaint(s.grid), "") << "after selecting";
  s.grid.ClearRowSelection();
  EXPECT_EQ(screenDiffersFromFullPaint(s.grid), "") << "after clearing the selection";
  s.grid.SetLineColor(0x0000FF);
  s.grid.SetHeadingHeight(20);
  EXPECT_EQ(screenDiffersFromFullPaint(s.grid), "") << "after setters";
  s.grid.resize(300, 200);
  EXPECT_EQ(screenDiffersFromFullPaint(s.grid), "") << "after resizing";
}

TEST(GridPaint, UpdateLockPaintsOnceAfterRelease) {
  Shown s;
  int paints = 0;
  s.grid.OnPaint = [&](TdgBaseGrid *) { ++paints; };
  s.grid.BeginUpdate();
  s.grid.SetLineColor(0x0000FF);
  s.grid.InvalidateCell(2, 2);
  s.grid.InvalidateGrid();
  QApplication::processEvents();
  EXPECT_EQ(paints, 0);
  s.grid.EndUpdate();
  QApplication::processEvents();
  EXPECT_EQ(paints, 1);
}

TEST(GridPaint, SetterWithCurrentValueDoesNothing) {
  Shown s;
  int invalidations = 0;
  s.grid.OnInvalidate = [&](const TRect &) { ++invalidations; };
  s.grid.SetLineColor(s.grid.LineColor());
  s.grid.SetFixedLineColor(s.grid.FixedLineColor());
  s.grid.SetGridLines(s.grid.GridLines());
  s.grid.SetHeading3D(s.grid.Heading3D());
  s.grid.SetFocusBorder(s.grid.FocusBorder());
  s.grid.SetSelectionColor(s.grid.SelectionColor());
  s.grid.SetHeadingHeight(s.grid.HeadingHeight());
  s.grid.SetFixedColCount(s.grid.FixedColCount());
  s.grid.SetDefaultButtonWidth(s.grid.DefaultButtonWidth());
  EXPECT_EQ(invalidations, 0);
  s.grid.SetLineColor(0x123456);
  EXPECT_GT(invalidations, 0);
}

TEST(GridPaint, SampleGridsAreNotBlank) {
  QTemporaryDir folder;
  const auto files = renderDataGridScreenshots(folder.path().toStdString());
  EXPECT_EQ(files.size(), 11u);
  EXPECT_EQ(blankPictures(files), std::vector<std::string>{});
}

} // namespace
} // namespace marrowen

namespace marrowen {
namespace {

// A check box looks the same whether its values are the column's or, the
// column having none, the grid's.
TEST(GridPaint, CheckBoxesReadTheGridsValuesWhereTheColumnHasNone) {
  auto cellImage = [](bool onColumn, const char *value) {
    Shown s(5);
    TdgCol *col = s.grid.GetCol(Variant(std::int32_t(2)));
    col->SetControlType(ctCheck);
    if (onColumn)
      col->SetCheckBoxValues("Yes|No|Maybe");
    else
      s.grid.SetCheckBoxValues("Yes|No|Maybe");
    s.grid.SetCell(2, 3, Variant(value));
    const TRect c = s.grid.GetPaintCellRect(2, 3);
    return s.shot().copy(c.Left, c.Top, c.Right - c.Left, c.Bottom - c.Top);
  };
  const QImage onColumn = cellImage(true, "Yes");
  EXPECT_EQ(cellImage(false, "Yes"), onColumn);
  EXPECT_NE(cellImage(false, "No"), onColumn) << "the values decide the state";
}

// A page back shows the rows that fit completely above the old top row, and
// a page forward comes back to where the page back started.
TEST(GridPaint, PageUpThenPageDownComesBack) {
  Shown s;
  s.grid.setFocus();
  s.grid.FocusCell(1, 50, true);
  s.grid.MoveTopLeft(1, 45);
  const int top = s.grid.TopRow(), row = s.grid.Row();
  QTest::keyClick(&s.grid, Qt::Key_PageUp);
  const int page = top - s.grid.TopRow();
  EXPECT_EQ(row - s.grid.Row(), page);
  EXPECT_LE(s.grid.RowTop(top - 1) + s.grid.RowHeights(top - 1), s.grid.ClientHeight())
      << "the row above the old top fits completely";
  EXPECT_GT(s.grid.RowTop(top) + s.grid.RowHeights(top), s.grid.ClientHeight())
      << "the old top row does not";
  QTest::keyClick(&s.grid, Qt::Key_PageDown);
  EXPECT_EQ(s.grid.TopRow(), top);
  EXPECT_EQ(s.grid.Row(), row);
}

} // namespace
} // namespace marrowen

namespace marrowen {
namespace {

// After each change the window shows what a paint of the whole grid draws:
// what a change leaves out of its repaint stays on the screen.
std::string stale(TdgGrid &grid) { return screenDiffersFromFullPaint(grid); }

TEST(GridScreen, FocusMarksFollowTheCurrentCell) {
  for (TdgFocusBorder border : {fbDot, fbSingle, fbDouble}) {
    SCOPED_TRACE(border);
    auto shown = [border](TdgGrid &grid) {
      fillTextGrid(grid, 12, 60);
      showDataGrid(grid, 400, 200);
      grid.SetAlwaysShowEditor(false);
      grid.SetAlwaysShowFocus(true);
      grid.SetFocusBorder(border);
    };
    TdgGrid grid;
    shown(grid);
    grid.FocusCell(2, 3, true);
    ASSERT_EQ(stale(grid), "");
    for (Qt::Key key : {Qt::Key_Right, Qt::Key_Down, Qt::Key_Left, Qt::Key_Up, Qt::Key_Up,
                        Qt::Key_Up, Qt::Key_PageDown, Qt::Key_Down, Qt::Key_PageUp}) {
      QTest::keyClick(&grid, key);
      EXPECT_EQ(stale(grid), "") << "after key " << key;
    }
    // The frame of the first row lies over the heading's line.
    grid.SetHeading3D(false);
    EXPECT_EQ(stale(grid), "") << "after a repaint of the heading";
    // Scrolled by moving pixels, the mark goes under the window's edges.
    TdgGrid scrolled;
    shown(scrolled);
    scrolled.FocusCell(10, 23, true);
    ASSERT_EQ(stale(scrolled), "");
    scrolled.ScrollMessage(SB_HORZ, SB_LINEUP, 0);
    EXPECT_EQ(stale(scrolled), "") << "after a scroll";
  }
}

// A dotted mark's dots are counted from its own corner: carried by a scroll
// of an odd number of pixels, it still matches one drawn afresh there.
TEST(GridScreen, ADottedMarkScrolledByAnOddStepMatchesOneDrawnAfresh) {
  TdgGrid grid;
  fillTextGrid(grid, 12, 60);
  showDataGrid(grid, 400, 200);
  grid.SetDefaultColWidth(63);
  grid.SetDefaultRowHeight(15);
  grid.SetAlwaysShowEditor(false);
  grid.SetAlwaysShowFocus(true);
  grid.SetFocusBorder(fbDot);
  grid.FocusCell(6, 20, true);
  ASSERT_EQ(stale(grid), "");
  for (int bar : {SB_HORZ, SB_VERT})
    for (int step : {SB_LINEUP, SB_LINEDOWN}) {
      grid.ScrollMessage(bar, step, 0);
      EXPECT_EQ(stale(grid), "") << "after a scroll " << bar << " " << step;
    }
}

TEST(GridScreen, ChangesWhileLockedShowAfterTheLock) {
  Shown s;
  s.grid.BeginUpdate();
  s.grid.SetHeading3D(false);
  s.grid.EndUpdate();
  EXPECT_EQ(stale(s.grid), "");
}

TEST(GridScreen, ANewEditColourFillsTheCellAroundTheEditor) {
  Shown s;
  s.grid.FocusCell(2, 3, true);
  ASSERT_TRUE(s.grid.EditorShown());
  ASSERT_EQ(stale(s.grid), "");
  s.grid.SetEditColor(0x0000FF);
  EXPECT_EQ(stale(s.grid), "");
  s.grid.SetEditFontColor(0x00FF00);
  EXPECT_EQ(stale(s.grid), "");
}

TEST(GridScreen, SelectingFixedLinesRepaintsThem) {
  Shown s;
  s.grid.SetFixedRowCount(2);
  s.grid.SetFixedColCount(1);
  s.grid.MoveTopLeft(2, 20);
  QApplication::processEvents();
  s.grid.SelectRows(1, 2);
  EXPECT_EQ(stale(s.grid), "") << "rows selected";
  s.grid.ClearRowSelection();
  EXPECT_EQ(stale(s.grid), "") << "rows cleared";
  s.grid.SelectCols(1, 1);
  EXPECT_EQ(stale(s.grid), "") << "column selected";
  s.grid.ClearColSelection();
  EXPECT_EQ(stale(s.grid), "") << "column cleared";
  // A cell range from a fixed row into rows scrolled out of sight.
  auto edge = [&](int col, int row) {
    const TRect r = s.grid.GetPaintCellRect(col, row);
    return QPoint(r.Left + 1, r.Top + 2);
  };
  s.grid.MoveTopLeft(2, 2);
  QTest::mouseClick(s.grid.viewport(), Qt::LeftButton, {}, edge(2, 1));
  QTest::mouseClick(s.grid.viewport(), Qt::LeftButton, Qt::ShiftModifier, edge(3, 6));
  ASSERT_EQ(s.grid.GridStatus(), gsCellRange);
  s.grid.MoveTopLeft(2, 30);
  QApplication::processEvents();
  QTest::mouseClick(s.grid.viewport(), Qt::LeftButton, {}, edge(4, 1) + QPoint(10, 0));
  EXPECT_EQ(stale(s.grid), "") << "range cleared";
}

// The window's edge cuts the last row through its buttons at every height.
TEST(GridScreen, ARowCutByTheEdgeShowsItsButtonsWholeOnceScrolledIn) {
  for (int height = 118; height <= 129; ++height) {
    SCOPED_TRACE(height);
    TdgGrid grid;
    fillTextGrid(grid, 4, 40);
    grid.GetCol(Variant(1))->SetButtonType(btCombo);
    grid.GetCol(Variant(2))->SetButtonType(btVertSpin);
    grid.GetCol(Variant(3))->SetButtonType(btHorzSpin);
    grid.SetFlatButtons(false);
    showDataGrid(grid, 300, height);
    grid.ScrollMessage(SB_VERT, SB_LINEDOWN, 0);
    EXPECT_EQ(stale(grid), "");
  }
}

// A row of no height looks like a hidden one: the fixed line above it, and
// the one left of a column of no width, keep their colour.
TEST(GridScreen, ALineOfNoSizeDrawsNothing) {
  auto picture = [](bool hidden) {
    Shown s(10);
    s.grid.SetLineColor(0x0000FF);
    s.grid.SetFixedRowCount(2);
    s.grid.SetFixedColCount(1);
    s.grid.SetAlwaysShowEditor(false);
    s.grid.FocusCell(3, 7, true);
    if (hidden) {
      s.grid.SetRowVisible(3, false);
      s.grid.GetCol(Variant(2))->SetVisible(false);
    } else {
      s.grid.SetRowHeight(3, 0);
      s.grid.SetColWidths(2, 0);
    }
    return s.shot();
  };
  EXPECT_EQ(pictureDifference(picture(false), picture(true)), "");
}

// A check box or a button in a column narrower than they are is cut at the
// cell's edges, never drawn over the cells beside it.
TEST(GridScreen, ACellTooNarrowForItsContentKeepsToItself) {
  for (int width : {1, 4}) {
    SCOPED_TRACE(width);
    Shown s(10);
    s.grid.GetCol(Variant(3))->SetControlType(ctCheck);
    s.grid.SetColWidths(3, width);
    s.grid.SetRowButtonType(5, btCombo);
    s.grid.FocusCell(1, 1, true);
    ASSERT_EQ(stale(s.grid), "");
    s.grid.FocusCell(2, 5, true);
    EXPECT_EQ(stale(s.grid), "") << "left of it";
    s.grid.FocusCell(4, 5, true);
    EXPECT_EQ(stale(s.grid), "") << "right of it";
  }
}

TEST(GridScreen, TheRowBarMarksTheCurrentRowAfterAMove) {
  Shown s(10);
  s.grid.FocusCell(1, 1, true);
  s.grid.MoveRows(1, 3);
  EXPECT_EQ(stale(s.grid), "") << "after the move";
  s.grid.SetCurrentDataRow(5);
  EXPECT_EQ(stale(s.grid), "") << "after a new current row";
}

// Without a row bar or a heading the first line starts at the window's edge,
// and a selected line reaching from there must still be repainted.
TEST(GridScreen, SelectionsShowWithoutRowBarOrHeading) {
  TdgGrid column;
  fillTextGrid(column, 1, 10);
  showDataGrid(column, 200, 150);
  column.SetRowBarOn(false);
  ASSERT_EQ(stale(column), "");
  column.SelectRows(3, 4);
  EXPECT_EQ(stale(column), "") << "rows of one column";
  TdgGrid row;
  fillTextGrid(row, 3, 1);
  showDataGrid(row, 200, 150);
  row.SetHeadingOn(false);
  ASSERT_EQ(stale(row), "");
  row.SelectCols(2, 2);
  EXPECT_EQ(stale(row), "") << "a column of one row";
}

// The mode decides whether the current cell shows its focus mark and an
// active button: each change of mode shows the cell as the mode draws it.
TEST(GridScreen, AModeChangeRedrawsTheCurrentCell) {
  Shown s(10);
  s.grid.GetCol(Variant(2))->SetButtonType(btNormal);
  s.grid.SetInactiveButtonState(ibsNone);
  s.grid.SetFocusColor(0x00FF00);
  s.grid.SetFocusFontColor(0x0000FF);
  s.grid.FocusCell(2, 3, true);
  ASSERT_EQ(stale(s.grid), "");
  for (TdgGridMode mode : {gmBrowse, gmEdit, gmListBox, gmBrowse, gmEditInsert, gmListBox}) {
    s.grid.SetGridMode(mode);
    EXPECT_EQ(stale(s.grid), "") << "after mode " << int(mode);
  }
}

// New default sizes move the cells under a shown editor: it goes with its
// cell, and leaves nothing behind when the current cell moves on.
TEST(GridScreen, TheEditorFollowsItsCellToNewDefaultSizes) {
  for (const bool rows : {true, false}) {
    TdgGrid grid;
    fillTextGrid(grid, 7, 40);
    grid.SetAlwaysShowEditor(true);
    showDataGrid(grid, 420, 260);
    grid.FocusCell(6, 10, true);
    ASSERT_EQ(stale(grid), "");
    if (rows)
      grid.SetDefaultRowHeight(22);
    else
      grid.SetDefaultColWidth(90);
    EXPECT_EQ(stale(grid), "") << rows;
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    EXPECT_EQ(stale(grid), "") << rows;
  }
}

// However new sizes move or size its cell (default ones, or its own column's
// or row's), the shown editor stands on the cell as it did.
TEST(GridScreen, TheEditorKeepsItsPlaceOnItsCellThroughNewSizes) {
  TdgGrid grid;
  fillTextGrid(grid, 7, 40);
  grid.SetAlwaysShowEditor(true);
  showDataGrid(grid, 420, 260);
  grid.FocusCell(3, 4, true);
  QApplication::processEvents();
  QWidget *editor = QApplication::focusWidget();
  ASSERT_TRUE(editor && editor != &grid);
  auto placeOnCell = [&] {
    const TRect cell = grid.GetPaintCellRect(grid.Col(), grid.Row());
    const QRect shown(editor->mapTo(grid.viewport(), QPoint(0, 0)), editor->size());
    return std::array{shown.left() - cell.Left, shown.top() - cell.Top,
                      shown.width() - cell.Width(), shown.height() - cell.Height()};
  };
  const auto place = placeOnCell();
  const std::pair<const char *, std::function<void()>> changes[] = {
      {"SetDefaultColWidth", [&] { grid.SetDefaultColWidth(90); }},
      {"SetColWidths", [&] { grid.SetColWidths(grid.Col(), 120); }},
      {"SetColWidths left of it", [&] { grid.SetColWidths(grid.Col() - 1, 40); }},
      {"SetDefaultRowHeight", [&] { grid.SetDefaultRowHeight(22); }},
      {"SetRowHeights", [&] { grid.SetRowHeights(grid.Row(), 30); }},
      {"SetRowHeights above it", [&] { grid.SetRowHeights(grid.Row() - 1, 9); }}};
  for (const auto &[name, change] : changes) {
    change();
    QApplication::processEvents();
    EXPECT_TRUE(editor->isVisible()) << name;
    EXPECT_EQ(placeOnCell(), place) << "after " << name;
  }
}

TEST(GridScreen, AnEnteredInsertRowIsPaintedAsADataRow) {
  Shown s(3);
  s.grid.SetGridMode(gmEditInsert);
  s.grid.GetCol(Variant(2))->SetButtonType(btCombo);
  s.grid.SetFlatButtons(false);
  s.grid.FocusCell(1, 3, true);
  QApplication::processEvents();
  QTest::keyClick(&s.grid, Qt::Key_Down);
  ASSERT_EQ(s.grid.Rows(), 4);
  EXPECT_EQ(stale(s.grid), "");
  // New columns reach the entered row too.
  s.grid.SetCols(8);
  EXPECT_EQ(stale(s.grid), "") << "more columns";
  s.grid.SetCols(5);
  EXPECT_EQ(stale(s.grid), "") << "fewer columns";
  // The insert row's own mark goes and comes with the row bar's marks.
  QTest::keyClick(&s.grid, Qt::Key_Escape);
  QTest::keyClick(&s.grid, Qt::Key_Up);
  for (bool on : {false, true}) {
    s.grid.SetRowBarIndicator(on);
    EXPECT_EQ(stale(s.grid), "") << on;
  }
  // The program moves the current row: the row bar's arrow goes with it.
  for (int row : {1, 3, 2}) {
    s.grid.SetCurrentDataRow(row);
    EXPECT_EQ(stale(s.grid), "") << "current row " << row;
  }
}

} // namespace
} // namespace marrowen
