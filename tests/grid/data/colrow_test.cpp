#include "grid/data/colrow.h"

#include "classlib/componentstream.h"
#include "grid/data/links.h"
#include "grid/fake_grid.h"
#include "grid/widget/dgbasegrid.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

using namespace marrowen;
using namespace marrowen::testing;
using Calls = std::vector<std::string>;

namespace {

// Writes the object's stored properties as a collection item would, reads
// them into `into`, and answers the bytes.
std::string roundTrip(const Published &from, Published &into, std::string_view prefix) {
  std::string bytes;
  ComponentWriter w(bytes);
  writePublished(w, from, prefix);
  w.writeListEnd();
  ComponentReader r(bytes);
  while (!r.endOfList()) {
    const std::string name = r.readName();
    EXPECT_EQ(name.substr(0, prefix.size()), prefix);
    EXPECT_TRUE(readPublished(r, into, std::string_view(name).substr(prefix.size()))) << name;
  }
  return bytes;
}

} // namespace

TEST(GridColumn, AlignmentPairAndLegacyEntries) {
  FakeGrid grid;
  TdgCol col(&grid, 1);
  col.SetHorzAlignment(htaCenter);
  EXPECT_EQ(col.Alignment(), 2);
  EXPECT_TRUE(col.Align());
  col.SetHorzAlignment(htaDefault);
  EXPECT_FALSE(col.Align());

  std::string legacy;
  ComponentWriter w(legacy);
  w.writeIdent("taRightJustify");
  w.writeBoolean(true);
  ComponentReader r(legacy);
  ASSERT_TRUE(col.readDefinedProperty("Alignment", r));
  ASSERT_TRUE(col.readDefinedProperty("Align", r));
  EXPECT_EQ(col.HorzAlignment(), htaRight);
}

TEST(GridColumn, HeadingAcceleratorAndFieldNameFallback) {
  FakeGrid grid;
  TdgCol col(&grid, 2);
  col.SetFieldName("Path");
  EXPECT_EQ(col.Heading(), "Path");
  EXPECT_FALSE(col.IsHeadingStored());
  col.SetHeading("&File name");
  EXPECT_EQ(col.Heading(), "File name");
  EXPECT_EQ(col.AcceleratorPosition(), 1);
  EXPECT_EQ(grid.take().back(), "repaintHeading 2");
}

TEST(GridColumn, CheckBoxValuesAreValidated) {
  FakeGrid grid;
  TdgCol col(&grid, 1);
  col.SetCheckBoxValues("Yes|No");
  col.SetCheckBoxValues("Yes|No|Maybe");
  try {
    col.SetCheckBoxValues("Yes");
    FAIL();
  } catch (const Exception &e) {
    EXPECT_EQ(e.message(), "Grid1: Invalid CheckBoxValues. CheckBoxValues have the format "
                           "'Checked|Unchecked|Grayed'. The Grayed value is optional");
  }
  EXPECT_EQ(col.CheckBoxValues(), "Yes|No|Maybe");
  col.SetMaxLength(-5);
  EXPECT_EQ(col.MaxLength(), 0);
}

// Moving, sizing and hiding a column or a row show on the grid: the editor
// follows its cell, the edit there must end before its column or row hides,
// and a hidden column takes neither the selection nor the current cell.
TEST(GridColumn, DisplayColWidthAndVisibleShowOnTheGrid) {
  TdgGrid grid;
  grid.SetStoreData(true);
  grid.SetCols(4);
  grid.SetRows(3);
  grid.resize(400, 200);
  grid.show();
  QApplication::setActiveWindow(&grid);
  grid.setFocus();
  const auto type = [](const char *text) { QTest::keyClicks(QApplication::focusWidget(), text); };
  TdgCol &col = *grid.GetCol(Variant(2));
  col.SetDisplayCol(5); // past Cols: nothing moves
  grid.SelectCols(4, 4);
  col.SetDisplayCol(4);
  EXPECT_EQ(grid.DisplayColOf(2), 4);
  EXPECT_EQ(grid.DataColAt(2), 3);
  EXPECT_TRUE(grid.ColSelection().IsSelected(3)) << "a selection mark goes with its column";
  EXPECT_FALSE(grid.ColSelection().IsSelected(4));
  grid.ClearColSelection();
  col.SetDisplayCol(2);
  grid.MoveCurrent(2, 1, true, false);
  col.SetWidth(80);
  EXPECT_EQ(grid.ColWidths(2), 80);
  EXPECT_GT(grid.EditControl().Width(), 70) << "the editor follows its column";

  type("zz");
  bool refuse = true;
  grid.OnEndCellEdit = [&](TdgBaseGrid *, int, int, bool &cancel) { cancel = refuse; };
  col.SetVisible(false);
  EXPECT_TRUE(col.Visible()) << "the edit there did not end";
  EXPECT_EQ(grid.ColWidths(2), 80);
  refuse = false;
  col.SetVisible(false);
  EXPECT_EQ(grid.ColWidths(2), 0);
  EXPECT_EQ(grid.Col(), 3) << "the current cell moves right";
  EXPECT_GE(grid.EditControl().Left(), grid.ColumnLeft(3));
  type("Z");
  EXPECT_EQ(grid.GetCell(3, 1).toString(), "Z");
  EXPECT_EQ(grid.GetCell(2, 1).toString(), "zz");
  col.SetWidth(90);
  EXPECT_EQ(grid.ColWidths(2), 0) << "a hidden column keeps no width";
  col.SetVisible(true);
  EXPECT_EQ(grid.ColWidths(2), 90);

  grid.SelectCols(2, 3);
  col.SetVisible(false);
  EXPECT_EQ(grid.ColSelection().Count, 1);
  col.SetVisible(true);
  grid.SelectCols(2, 2);
  col.ResetProperties(resetBit(pnColSelected));
  EXPECT_FALSE(grid.ColSelection().IsSelected(2));
  grid.ClearColSelection();

  grid.MoveCurrent(1, 1, true, false);
  type("q");
  refuse = true;
  grid.SetRowVisible(1, false);
  EXPECT_TRUE(grid.GetRowVisible(1));
  refuse = false;
  grid.SetRowVisible(1, false);
  EXPECT_FALSE(grid.GetRowVisible(1));
  EXPECT_EQ(grid.Row(), 2);
}

TEST(GridColumn, ResetBitsPutPropertiesBack) {
  struct Case {
    int bit;
    std::function<void(TdgCol &)> change;
    std::function<bool(const TdgCol &)> isBack;
  };
  const Case cases[] = {
      {pnColor, [](TdgCol &c) { c.SetColor(clRed), c.SetHeadingColor(clRed); },
       [](const TdgCol &c) { return c.Color() == clNone && c.HeadingColor() == clNone; }},
      {pnFont, [](TdgCol &c) { c.SetParentFont(false); },
       [](const TdgCol &c) { return c.ParentFont() && !c.OwnFont(); }},
      {pnWidth, [](TdgCol &c) { c.setWidthFields(10, 70); },
       [](const TdgCol &c) { return c.Width() == 70; }},
      {pnLocked, [](TdgCol &c) { c.SetReadOnly(true); },
       [](const TdgCol &c) { return !c.ReadOnly(); }},
      {pnAlign, [](TdgCol &c) { c.SetAlign(true); }, [](const TdgCol &c) { return !c.Align(); }},
      {pnAlignment, [](TdgCol &c) { c.SetAlignment(2); },
       [](const TdgCol &c) { return c.Alignment() == 0; }},
      {pnIs3D, [](TdgCol &c) { c.SetIs3D(true); }, [](const TdgCol &c) { return !c.Is3D(); }},
      {pnHeadingButton, [](TdgCol &c) { c.SetHeadingButton(cbNone); },
       [](const TdgCol &c) { return c.HeadingButton() == cbGrid; }},
      {pnSortPicture, [](TdgCol &c) { c.SetSortPicture(spUp); },
       [](const TdgCol &c) { return c.SortPicture() == spNone; }},
      {pnMaxLength, [](TdgCol &c) { c.SetMaxLength(9); },
       [](const TdgCol &c) { return c.MaxLength() == 0; }},
      {pnWordWrap, [](TdgCol &c) { c.SetWordWrap(wwOn); },
       [](const TdgCol &c) { return c.WordWrap() == wwDefault; }},
      {pnMaskName, [](TdgCol &c) { c.SetMaskName("zip"); },
       [](const TdgCol &c) { return c.MaskName().empty(); }},
      {pnCombo, [](TdgCol &c) { c.EnsureCombo(); }, [](const TdgCol &c) { return !c.Combo(); }},
      {pnParentCombo, [](TdgCol &c) { c.SetParentCombo(false); },
       [](const TdgCol &c) { return c.ParentCombo(); }},
      {pnPictureOptions, [](TdgCol &c) { c.SetShrinkPicture(dopOn), c.SetCenterPicture(dopOff); },
       [](const TdgCol &c) {
         return c.ShrinkPicture() == dopDefault && c.CenterPicture() == dopDefault;
       }},
      {pnSpinOptions, [](TdgCol &c) { c.SetSpinOptions(0); },
       [](const TdgCol &c) { return c.SpinOptions() == allSpinOptions; }},
      {pnSpinIncrement, [](TdgCol &c) { c.SetSpinIncrement(0.5); },
       [](const TdgCol &c) { return c.SpinIncrement() == 1.0; }},
      {pnHorzAlignment, [](TdgCol &c) { c.SetHorzAlignment(htaRight); },
       [](const TdgCol &c) { return c.HorzAlignment() == htaDefault; }},
      {pnVertAlignment, [](TdgCol &c) { c.SetVertAlignment(vtaTop); },
       [](const TdgCol &c) { return c.VertAlignment() == vtaDefault; }},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.bit);
    FakeGrid grid;
    TdgCol col(&grid, 1);
    c.change(col);
    ASSERT_FALSE(c.isBack(col));
    col.ResetProperties(resetBit(c.bit) ^ 0); // only this bit
    EXPECT_TRUE(c.isBack(col));
  }
  FakeGrid grid;
  TdgCol col(&grid, 3);
  col.ResetProperties(resetBit(pnColSelected));
  EXPECT_EQ(grid.take(), Calls{"setColSelected 3 0"});
  EXPECT_TRUE(col.IsDefaultWithoutButton());
}

TEST(GridColumn, ParentFontRules) {
  FakeGrid grid;
  grid.font.SetName("Arial");
  TdgCol col(&grid, 1);
  EXPECT_EQ(col.Font(), nullptr); // the grid's font state gives no copy
  grid.copies = true;
  ASSERT_NE(col.Font(), nullptr);
  EXPECT_EQ(col.Font()->Name(), "Arial");
  EXPECT_TRUE(col.ParentFont()); // a mirror is still the parent's font
  grid.take();
  col.Font()->SetSize(12); // an edit through the font itself
  EXPECT_FALSE(col.ParentFont());
  EXPECT_EQ(grid.take(), Calls{"repaintColumn 1"});
  col.SetParentFont(true);
  EXPECT_EQ(col.Font()->Size(), grid.font.Size()); // re-based on the grid's font
  col.SetFont(nullptr);
  EXPECT_TRUE(col.ParentFont());
  EXPECT_EQ(col.OwnFont(), nullptr);
  TFont big;
  big.SetSize(20);
  col.SetFont(&big);
  EXPECT_FALSE(col.ParentFont());
  col.SetHeadingParentFont(true);
  grid.copies = true;
  ASSERT_NE(col.HeadingFont(), nullptr);
  grid.take();
  col.HeadingFont()->SetName("Heading face");
  EXPECT_FALSE(col.HeadingParentFont());
  EXPECT_EQ(grid.take(), Calls{"repaintHeading 1"});
}

TEST(GridColumn, StreamedColumnAndRowReadBackTheSame) {
  FakeGrid grid;
  TdgCol col(&grid, 2);
  col.SetHeading("&Name");
  col.SetFieldName("name");
  col.SetButtonType(btCombo);
  col.EnsureCombo();
  static_cast<FakeCombo *>(col.Combo())->items = "a\r\nb";
  col.SetSpinIncrement(0.25);
  col.SetSpinOptions(0b101);
  col.SetHorzAlignment(htaRight);
  TFont font;
  font.SetName("Courier New");
  font.SetStyle(fsBold | fsItalic);
  col.SetFont(&font);
  col.SetWidth(100);
  TdgCol back(&grid, 2);
  const std::string bytes = roundTrip(col, back, "Col.");
  EXPECT_EQ(back.Heading(), "Name");
  EXPECT_EQ(back.FieldName(), "name");
  EXPECT_EQ(back.ButtonType(), btCombo);
  ASSERT_NE(back.Combo(), nullptr);
  EXPECT_EQ(static_cast<FakeCombo *>(back.Combo())->items, "a\r\nb");
  EXPECT_EQ(back.SpinIncrement(), 0.25);
  EXPECT_EQ(back.SpinOptions(), 0b101);
  EXPECT_EQ(back.HorzAlignment(), htaRight);
  ASSERT_NE(back.OwnFont(), nullptr);
  EXPECT_TRUE(*back.OwnFont() == font);
  EXPECT_EQ(back.Width(), 100);
  TdgCol again(&grid, 2);
  EXPECT_EQ(roundTrip(back, again, "Col."), bytes);

  col.SetButtonType(btNormal); // "Combo" goes with the combo button only
  std::string noCombo;
  ComponentWriter w(noCombo);
  writePublished(w, col, "Col.");
  EXPECT_EQ(noCombo.find("Col.Combo"), std::string::npos);

  TdgRow row(&grid, 3);
  row.SetHeight(30);
  row.SetColor(clRed);
  row.SetReadOnly(true);
  TdgRow rowBack(&grid, 3);
  const std::string rowBytes = roundTrip(row, rowBack, "Row.");
  EXPECT_EQ(rowBack.Height(), 30);
  EXPECT_EQ(rowBack.Color(), clRed);
  EXPECT_TRUE(rowBack.ReadOnly());
  TdgRow rowAgain(&grid, 3);
  EXPECT_EQ(roundTrip(rowBack, rowAgain, "Row."), rowBytes);
}

TEST(GridRow, VisibleAndDefaults) {
  FakeGrid grid;
  TdgRow row(&grid, 2);
  EXPECT_TRUE(row.IsDefault());
  row.SetVisible(false);
  EXPECT_EQ(grid.take(), (Calls{"setRowHeight 2 0", "dropRowSelection 2", "correctScrolling",
                                "relayout", "refreshEditor"}));
  EXPECT_FALSE(row.IsDefault());
  row.ResetProperties(resetBit(pnVisible));
  EXPECT_TRUE(row.IsDefault());
}
