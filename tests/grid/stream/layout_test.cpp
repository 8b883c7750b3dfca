#include "grid/stream/layout.h"

#include "classlib/registry.h"
#include "classlib/streams.h"
#include "grid/data/colrow.h"
#include "grid/editing/combo.h"
#include "grid/stream/gridstream.h"
#include "grid/widget/dgbasegrid.h"
#include "gridsupport/testdatetime.h"
#include "support/temp_folder.h"

#include <QImage>
#include <QMenu>
#include <QWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <sstream>
#include <sys/stat.h>

namespace marrowen {
namespace {

using testing::TempFolder;

// A grid of 3 columns and 4 rows holding "c,r" in every cell.
void fill(TdgGrid &grid, int cols = 3, int rows = 4) {
  grid.SetCols(cols);
  grid.SetRows(rows);
  grid.SetStoreData(true);
  for (int c = 1; c <= cols; ++c)
    for (int r = 1; r <= rows; ++r)
      grid.SetCell(c, r, Variant(std::to_string(c) + "," + std::to_string(r)));
}

std::string text(TdgGrid &grid, int c, int r) { return grid.GetCell(c, r).toString(); }

TEST(GridCopy, ColumnsOnlyTakeColumnsAndKeepTheRest) {
  TdgGrid source, target;
  fill(source, 5, 2);
  source.SetDefaultColWidth(80);
  source.GetCol(Variant(2))->SetFieldName("Name");
  fill(target, 3, 6);
  target.SetName("Target");
  target.CopyGrid(source, pkCols, false);
  EXPECT_EQ(target.Cols(), 5);
  EXPECT_EQ(target.DefaultColWidth(), 80);
  EXPECT_EQ(target.GetCol(Variant(2))->FieldName(), "Name");
  EXPECT_EQ(target.Rows(), 6);
  EXPECT_EQ(text(target, 1, 6), "1,6");
  EXPECT_EQ(target.Name(), "Target");
}

// After a copy the grid status says what is selected now, so editing is
// refused only while something is.
TEST(GridCopy, TheCopiedSelectionDecidesTheStatus) {
  TdgGrid source, target;
  fill(source);
  fill(target);
  target.SelectRows(2, 3);
  ASSERT_EQ(target.GridStatus(), gsRowsSelected);
  target.Assign(source);
  EXPECT_EQ(target.GridStatus(), gsNothing);
  EXPECT_TRUE(target.EditingAllowed());
  source.SelectCols(1, 1);
  target.Assign(source);
  EXPECT_EQ(target.GridStatus(), gsColsSelected);
  EXPECT_FALSE(target.EditingAllowed());
}

TEST(GridCopy, AssignTakesValuesAndOrderButNoHandlers) {
  TdgGrid source, target;
  fill(source);
  fill(target);
  source.MoveCols(3, 1);
  int sourceMoves = 0;
  source.OnColMoved = [&](TdgBaseGrid *, int, int, bool) { ++sourceMoves; };
  std::vector<std::pair<int, bool>> moves;
  target.OnColMoved = [&](TdgBaseGrid *, int to, int, bool byUser) {
    moves.emplace_back(to, byUser);
  };
  source.SetCell(2, 2, Variant(std::string("changed")));
  target.Assign(source);
  EXPECT_EQ(text(target, 2, 2), "changed");
  EXPECT_EQ(target.DataColAt(1), 3);
  ASSERT_FALSE(moves.empty());
  for (const auto &[to, byUser] : moves)
    EXPECT_FALSE(byUser);
  EXPECT_EQ(sourceMoves, 0);
  // The copy keeps its own handler and the source's stays its own.
  target.MoveCols(1, 2);
  EXPECT_EQ(sourceMoves, 0);
}

// What is typed after a copy lands in a cell that can be seen.
TEST(GridCopy, ACopyThatHidesTheCurrentCellMovesItToAShownOne) {
  TdgGrid source, target;
  fill(source);
  fill(target);
  source.GetCol(Variant(2))->SetVisible(false);
  source.SetRowVisible(2, false);
  target.MoveToCell(2, 2);
  target.Assign(source);
  EXPECT_GT(target.ColWidths(target.Col()), 0);
  EXPECT_GT(target.RowHeights(target.Row()), 0);
}

TEST(GridCopy, SomethingThatIsNoGridIsRefused) {
  TdgGrid grid;
  fill(grid);
  QWidget widget;
  try {
    grid.Assign(widget);
    FAIL() << "no error";
  } catch (const EInvalidGridOperation &e) {
    EXPECT_NE(std::string(e.what()).find("Cannot assign QWidget to TdgGrid"), std::string::npos);
  }
  grid.SetRaiseErrors(false);
  grid.Assign(widget);
  EXPECT_EQ(text(grid, 3, 4), "3,4");
}

TEST(GridCopy, CellValuesBeyondTheTargetAreNotKept) {
  TdgGrid source, target;
  fill(source, 5, 8);
  fill(target, 2, 3);
  target.CopyCellValuesFrom(target);
  EXPECT_EQ(text(target, 2, 3), "2,3");
  target.CopyCellValuesFrom(source);
  EXPECT_EQ(text(target, 2, 3), "2,3");
  EXPECT_EQ(target.Storage()->GetValue(5, 8).toString(), "");
  EXPECT_LE(target.Storage()->LastRow(), 3);
}

// A row whose own settings a copy takes away is shown at the default height.
TEST(GridCopy, RowsThatLoseTheirSettingsTakeTheDefaultHeight) {
  TdgGrid source, target;
  fill(source);
  source.SetDefaultRowHeight(29);
  fill(target);
  target.SetRowColor(2, 0x00FF00);
  target.Assign(source);
  EXPECT_EQ(target.RowHeights(target.GetDisplayRowOf(2)), 29);
  EXPECT_EQ(target.GetRowHeight(2), 29);
}

// A cell's own list belongs to the copy and outlives the grid it came from.
TEST(GridCopy, ACellsOwnListBelongsToTheCopy) {
  TdgGrid target;
  {
    TdgGrid source;
    source.SetCellProperty(2, 2, pnButtonType, Variant(std::int32_t(btCombo)));
    source.SetCellProperty(2, 2, pnParentCombo, Variant(false));
    source.ensureCellCombo(2, 2).SetDropDownRows(3);
    target.Assign(source);
  }
  TdgCombo *combo = target.cellCombo(2, 2);
  ASSERT_NE(combo, nullptr);
  EXPECT_EQ(combo->ComboGrid()->OwnerGrid(), &target);
  EXPECT_EQ(combo->DropDownRows(), 3);
}

std::string save(TdgGrid &grid, TdgPropKinds kinds = allPropKinds,
                 std::uint32_t mask = allLayoutProperties, bool data = true) {
  TMemoryStream stream;
  grid.SaveToStream(stream, kinds, mask, data);
  stream.SetPosition(0);
  return stream.ReadAll();
}

// Whether an entry of that name is written (a name carries its length).
bool has(const std::string &bytes, std::string_view name) {
  return bytes.find(char(name.size()) + std::string(name)) != std::string::npos;
}

struct Masks : TdgMaskDefsComponent {
  void RegisterLink(TdgMaskLink *link) override { link->component_ = this; }
  void UnregisterLink(TdgMaskLink *link) override { link->component_ = nullptr; }
  Variant FindMask(const Variant &) override { return {}; }
};

struct Pictures : TdgImageListComponent {
  void RegisterLink(TdgImageLink *link) override { link->component_ = this; }
  void UnregisterLink(TdgImageLink *link) override { link->component_ = nullptr; }
  Picture FindPicture(std::string_view) override { return nullptr; }
  Picture PictureById(int) override { return nullptr; }
  std::string PictureName(const Picture &) override { return {}; }
};

// Every published property of the grid, each away from its default, comes
// back through a copy, a layout and the form stream. A stream names the
// definition components, which the grids of a form read it into already
// point to: reading keeps them.
TEST(GridCopy, EveryPublishedPropertyComesBackThroughCopyLayoutAndFormStream) {
  Masks masks;
  masks.SetName("Masks1");
  Pictures pictures;
  pictures.SetName("Pictures1");
  TestDateTimeDef dates;
  dates.SetName("Dates1");
  TFont courier;
  courier.SetName("Courier New");
  courier.SetSize(11);

  const TdgGrid fresh;
  TdgGrid source;
  // The properties a form sets on a grid, each carried by all three.
  const std::string_view names =
      "AlwaysShowEditor;AlwaysShowFocus;AlwaysShowScrollBar;AutoScale;BorderStyle;"
      "ButtonEdgeWidth;CellSelectMode;CenterPicture;CheckBoxStyle;CheckBoxValues;"
      "CheckMouseFocus;Color;ColMoving;Cols;ColSelectMode;Constraints.MaxHeight;"
      "Constraints.MaxWidth;Constraints.MinHeight;Constraints.MinWidth;DateTimeDef;"
      "DefaultButtonHeight;DefaultButtonWidth;DefaultColWidth;DefaultRowHeight;DrawOverlap;"
      "EditColor;EditFontColor;Enabled;"
      "FixedColCount;FixedLineColor;FixedRowCount;FlatButtons;FocusBorder;FocusColor;"
      "FocusFontColor;Font;GridLines;GridMode;Heading3D;HeadingButton;HeadingColor;HeadingFont;"
      "HeadingHeight;HeadingHorzAlignment;HeadingOn;HeadingParentFont;HeadingVertAlignment;"
      "HeadingWordWrap;HorzAlignment;ImageList;InactiveButtonState;Is3D;KeepAspectRatio;"
      "LineColor;MaskDefs;ParentFont;ParentShowHint;ReadOnlyButton;ResizeCols;ResizeColsInGrid;"
      "ResizeRows;"
      "ResizeRowsInGrid;RowBarAlignment;RowBarIndicator;RowBarOn;RowBarWidth;"
      "RowChangedIndicator;RowMoving;Rows;RowSelectMode;ScrollBars;ScrollSpeed;"
      "SelectedAreaCursor;SelectFixed;SelectionColor;SelectionFontColor;SelectionType;ShowHint;"
      "ShrinkPicture;SkipReadOnly;SpinButtonHeight;SpinButtonWidth;SpinRepeatDelay;"
      "SpinStartDelay;StoreData;StretchPicture;TabRowWrap;TabStop;ThumbTracking;"
      "TransparentColor;Version;VertAlignment;Visible;WantTabs;WordWrap;";
  for (std::size_t at = 0, end; at < names.size(); at = end + 1) {
    end = names.find(';', at);
    EXPECT_NE(source.findProperty(names.substr(at, end - at)), nullptr)
        << names.substr(at, end - at) << " is not published";
  }
  for (const PublishedProperty &p : source.publishedProperties()) {
    const Variant base = p.defaultValue.isEmpty() && p.get ? p.get(fresh) : p.defaultValue;
    switch (p.kind) {
    case PropKind::Boolean:
      p.set(source, Variant(!base.toBoolean()));
      break;
    case PropKind::Enumeration:
      p.set(source, Variant(std::int32_t((base.toInteger() + 1) % p.members.size())));
      break;
    case PropKind::Integer:
      p.set(source, Variant(std::string_view(p.name).find("Color") != std::string_view::npos
                                ? std::int32_t(0x123456)
                                : base.toInteger() + 3));
      break;
    case PropKind::String:
      p.set(source, Variant(std::string("Yes|No")));
      break;
    case PropKind::Font:
      p.setFont(source, &courier);
      break;
    case PropKind::Component:
      p.setComponent(source, p.name == "MaskDefs"    ? static_cast<TComponent *>(&masks)
                             : p.name == "ImageList" ? static_cast<TComponent *>(&pictures)
                                                     : &dates);
      break;
    default:
      FAIL() << p.name << " has a kind this test does not set";
    }
  }
  for (const PublishedProperty &p : source.publishedProperties()) {
    if (p.kind == PropKind::Font) {
      EXPECT_TRUE(p.getFont(source) && *p.getFont(source) == courier) << p.name;
    } else if (p.kind == PropKind::Component) {
      EXPECT_NE(p.getComponent(source), nullptr) << p.name;
    } else if (p.name != "Version") {
      EXPECT_FALSE(VarSameValue(p.get(source), p.get(fresh))) << p.name << " kept its default";
    }
  }

  auto check = [&](const TdgGrid &target, std::string_view how) {
    for (const PublishedProperty &p : source.publishedProperties()) {
      if (how == "Assign" && p.name == "Visible") {
        EXPECT_TRUE(target.Visible()) << "a copy keeps its own";
      } else if (p.kind == PropKind::Font) {
        EXPECT_TRUE(p.getFont(target) && *p.getFont(target) == courier) << how << " " << p.name;
      } else if (p.kind == PropKind::Component) {
        EXPECT_EQ(p.getComponent(target), p.getComponent(source)) << how << " " << p.name;
      } else {
        EXPECT_TRUE(VarSameValue(p.get(target), p.get(source)))
            << how << " " << p.name << ": " << p.get(target).toString() << " for "
            << p.get(source).toString();
      }
    }
  };
  QMenu menu;
  source.SetPopupMenu(&menu);
  TdgGrid copied;
  copied.Assign(source);
  check(copied, "Assign");
  EXPECT_EQ(copied.PopupMenu(), &menu);
  TdgGrid laidOut, streamed;
  for (TdgGrid *target : {&laidOut, &streamed}) {
    target->SetMaskDefs(&masks);
    target->SetImageList(&pictures);
    target->SetDateTimeDef(&dates);
  }
  TMemoryStream in(save(source));
  laidOut.LoadFromStream(in, false);
  check(laidOut, "layout");
  readGrid(streamed, writeGrid(source));
  check(streamed, "form stream");

  // A full layout of a new grid puts every property back, but the links and
  // values it cannot name and the grid's own Visible.
  TdgGrid blankGrid;
  TMemoryStream blank(save(blankGrid));
  laidOut.LoadFromStream(blank, false);
  for (const PublishedProperty &p : fresh.publishedProperties()) {
    if (p.kind == PropKind::Font) {
      EXPECT_EQ(p.getFont(laidOut), nullptr) << p.name;
    } else if (p.kind != PropKind::Component && p.name != "Visible" && p.name != "StoreData") {
      EXPECT_TRUE(VarSameValue(p.get(laidOut), p.get(fresh)))
          << p.name << ": " << p.get(laidOut).toString() << " for " << p.get(fresh).toString();
    }
  }
  EXPECT_TRUE(laidOut.Font() == fresh.Font());
  EXPECT_EQ(laidOut.MaskDefs(), &masks);
}

TEST(LayoutStream, ACountTheLayoutNamesAgainDropsNoValueOnTheWay) {
  TdgGrid grid;
  fill(grid, 3, 7);
  TMemoryStream in(save(grid, allPropKinds, allLayoutProperties, false));
  grid.LoadFromStream(in, false);
  EXPECT_EQ(grid.Rows(), 7);
  EXPECT_EQ(text(grid, 3, 7), "3,7");
}

TEST(LayoutStream, SaveLoadAndSaveAgainGiveTheSameBytes) {
  TdgGrid source;
  fill(source);
  source.GetCol(Variant(1))->SetFieldName("First");
  source.GetCol(Variant(2))->SetWidth(99);
  source.MoveCols(3, 1);
  const std::string first = save(source);
  EXPECT_TRUE(has(first, "AllProperties"));
  TdgGrid target;
  TMemoryStream in(first);
  target.LoadFromStream(in, false);
  EXPECT_EQ(text(target, 2, 3), "2,3");
  EXPECT_EQ(target.GetCol(Variant(2))->Width(), 99);
  EXPECT_EQ(save(target), first);
}

TEST(LayoutStream, KindsDecideTheEntries) {
  TdgGrid grid;
  fill(grid);
  const std::string cols = save(grid, pkCols, resetBit(pnColor), false);
  for (std::string_view name :
       {"Properties", "AllProperties", "ResetProps", "Cols", "ColProperties"})
    EXPECT_TRUE(has(cols, name)) << name;
  for (std::string_view name : {"Grid", "Rows", "DefaultColWidth", "Data"})
    EXPECT_FALSE(has(cols, name)) << name;
  EXPECT_TRUE(has(save(grid, pkCols, resetBit(pnWidth), false), "DefaultColWidth"));
  EXPECT_FALSE(has(save(grid, allPropKinds, allLayoutProperties, false), "Data"));
}

// Columns without a name match none: they used to land all in the first
// nameless column, properties and values alike. The count stays also when the
// layout carries the whole grid, whose record names its own.
TEST(LayoutStream, FieldNameMatchingKeepsTheColumnCount) {
  for (const TdgPropKinds kinds : {TdgPropKinds(pkCols | pkCells), allPropKinds}) {
    TdgGrid source, target;
    fill(source, 5, 2);
    source.GetCol(Variant(4))->SetFieldName("Size");
    source.GetCol(Variant(4))->SetWidth(120);
    source.GetCol(Variant(5))->SetWidth(30);
    fill(target, 2, 2);
    target.GetCol(Variant(2))->SetFieldName("Size");
    TMemoryStream in(save(source, kinds));
    target.LoadFromStream(in, true);
    EXPECT_EQ(target.Cols(), 2);
    EXPECT_EQ(target.GetCol(Variant(2))->Width(), 120);
    EXPECT_EQ(text(target, 2, 1), "4,1");
    EXPECT_EQ(target.GetCol(Variant(1))->Width(), 64);
    EXPECT_EQ(text(target, 1, 1), "1,1");
  }
}

TEST(LayoutStream, AShortPropertiesValueIsPaddedAndAnOldSetMeansAll) {
  for (bool asSet : {false, true}) {
    std::string out;
    ComponentWriter w(out);
    w.writeSignature();
    w.writeName("TdgGridStreamComponent");
    w.writeName("");
    w.writeName("Properties");
    if (asSet)
      w.writeSet({"pgColor"});
    else
      w.writeString("\x08");
    w.writeListEnd();
    w.writeListEnd();
    TdgGrid grid;
    TdgGridStreamComponent component(grid);
    ComponentReader reader(out);
    reader.readRootComponent(component);
    EXPECT_EQ(component.Properties(), asSet ? allLayoutProperties : 8u);
  }
}

TEST(LayoutStream, ADamagedLayoutRaisesNamingItsFileAndLeavesTheGridWorking) {
  TempFolder dir;
  TdgGrid grid;
  fill(grid);
  const std::string name = dir.file("layout.dgl");
  grid.SaveToFile(name, allPropKinds, allLayoutProperties, true);
  const std::string whole = testing::readFile(name);
  testing::writeFile(name, whole.substr(0, whole.size() / 2));
  try {
    grid.LoadFromFile(name, false);
    FAIL() << "no error";
  } catch (const EReadError &e) {
    EXPECT_NE(std::string(e.what()).find("layout.dgl"), std::string::npos) << e.what();
  }
  // What is no regular file is refused before it is read: a pipe would wait
  // for a writer for ever.
  EXPECT_THROW(grid.LoadFromFile("/dev/null", false), EFOpenError);
  EXPECT_FALSE(grid.Updating());
  EXPECT_FALSE(grid.IsLoadingLayout());
  EXPECT_TRUE(grid.FieldState());
  EXPECT_EQ(grid.LoadColMap(), nullptr);
  int counts = 0;
  grid.OnRowCountChanged = [&](TdgBaseGrid *, int, int) { ++counts; };
  grid.SetRows(9);
  EXPECT_EQ(counts, 1);
}

TEST(LayoutStream, EventsAreQuietWhileLoading) {
  TdgGrid source, target;
  fill(source, 3, 7);
  int counts = 0;
  bool loadingSeen = false;
  target.OnRowCountChanged = [&](TdgBaseGrid *g, int, int) {
    ++counts;
    loadingSeen = static_cast<TdgGrid *>(g)->IsLoadingLayout();
  };
  TMemoryStream in(save(source));
  target.LoadFromStream(in, false);
  EXPECT_EQ(counts, 0);
  EXPECT_FALSE(loadingSeen);
  EXPECT_EQ(target.Rows(), 7);
}

TEST(LayoutStream, AFailedSaveLeavesThePreviousFile) {
  TempFolder dir;
  // A name at the longest a folder allows leaves no room for the save's
  // temporary file beside it, whoever runs the test.
  const std::string name = dir.file(std::string(251, 'k') + ".dgl");
  testing::writeFile(name, "previous");
  TdgGrid grid;
  fill(grid);
  EXPECT_THROW(grid.SaveToFile(name, allPropKinds, allLayoutProperties, true), EFCreateError);
  EXPECT_EQ(testing::readFile(name), "previous");
  const std::string nowhere = dir.file("no/such/layout.dgl");
  try {
    grid.SaveToFile(nowhere, allPropKinds, allLayoutProperties, true);
    ADD_FAILURE() << "no error";
  } catch (const EFCreateError &e) {
    EXPECT_EQ(e.message(), "Cannot create file " + nowhere + ". No such file or directory");
  }
  if (geteuid() != 0) {
    const std::string kept = dir.file("kept.dgl");
    testing::writeFile(kept, "previous");
    chmod(dir.path().c_str(), 0555);
    EXPECT_THROW(grid.SaveToFile(kept, allPropKinds, allLayoutProperties, true), EFCreateError);
    chmod(dir.path().c_str(), 0755);
    EXPECT_EQ(testing::readFile(kept), "previous");
  }
}

TEST(LayoutStream, SettingsValuesHoldTheLayoutOrItsFile) {
  TempFolder dir;
  SettingsStore &store = SettingsStore::global();
  const auto previous = store.file();
  store.setFile(dir.file("settings.ini"));
  const std::string key = "\\\\HKEY_CURRENT_USER\\Software\\GridTest";
  TdgGrid source;
  fill(source);
  source.SaveToRegistry(key, "Binary", "", true);
  {
    testing::WorkingFolder inFolder(dir.path());
    source.SaveToRegistry(key, "InFile", "layout.dgl", true);
  }
  TRegistry registry;
  ASSERT_TRUE(registry.OpenKey("Software\\GridTest", false));
  EXPECT_EQ(registry.ReadString("InFile"), dir.file("layout.dgl"));
  for (const char *value : {"Binary", "InFile"}) {
    TdgGrid target;
    EXPECT_TRUE(target.LoadFromRegistry(key, value, false));
    EXPECT_EQ(text(target, 3, 4), "3,4") << value;
  }
  source.SaveToRegistry("Software\\GridTest", "NoRoot", "", true);
  TdgGrid below;
  EXPECT_TRUE(below.LoadFromRegistry(key, "NoRoot", false)) << "below the default root";
  TdgGrid untouched;
  EXPECT_FALSE(
      untouched.LoadFromRegistry("\\\\HKEY_CURRENT_USER\\Software\\NoSuchKey", "Binary", false));
  EXPECT_FALSE(untouched.LoadFromRegistry(key, "Missing", false));
  EXPECT_THROW(untouched.LoadFromRegistry("\\\\HKEY_NOWHERE\\x", "Binary", false),
               ERegistryException);
  store.setFile(previous);
}

} // namespace
} // namespace marrowen

namespace marrowen {
namespace {

// What a user can see of a grid: counts, order and sizes, the own settings of
// every column, row and cell (a list by its settings) and every value.
std::string stateOf(TdgGrid &grid, bool selection) {
  auto settings = [](const Published &object) {
    std::string bytes;
    ComponentWriter w(bytes);
    writePublished(w, object, "");
    return bytes.substr(0, bytes.find("\x05"
                                      "Combo"));
  };
  auto list = [](TdgButtonType type, TdgCombo *combo) {
    return type == btCombo && combo ? " list" + std::to_string(combo->DropDownRows()) : "";
  };
  std::ostringstream out;
  out << grid.Cols() << "x" << grid.Rows() << " " << grid.DefaultColWidth() << " "
      << grid.DefaultRowHeight() << "\n";
  for (int p = 1; p <= grid.Cols(); ++p) {
    TdgCol &col = *grid.ColStore().Item(grid.DataColAt(p));
    out << "col " << grid.DataColAt(p) << " " << grid.ColWidths(p) << settings(col)
        << list(col.ButtonType(), col.Combo()) << "\n";
  }
  for (int p = 1; p <= grid.Rows(); ++p) {
    const int d = grid.GetDataRow(p);
    out << "row " << d << " " << grid.RowHeights(p)
        << (selection && grid.RowSelected(d) ? "+" : "");
    const TdgRow plain(&grid, d);
    if (const TdgRow *row = grid.RowStore().Item(d); row && settings(*row) != settings(plain))
      out << settings(*row);
    out << "\n";
  }
  for (int r = 1; r <= grid.Rows(); ++r)
    for (int c = 1; c <= grid.Cols(); ++c) {
      if (grid.CellProps().FindCell(c, r)) {
        const TdgCell cell(&grid, c, r);
        out << "cell " << c << "," << r << settings(cell) << list(cell.ButtonType(), cell.Combo());
      }
      if (const int kind = grid.Storage()->GetKind(c, r); kind != ckEmpty) {
        const Variant v = grid.Storage()->GetValue(c, r);
        out << " value" << kind << ":"
            << (kind == ckPicture ? std::to_string(v.pictureValue()->width())
                : kind == ckNull  ? ""
                                  : v.toString());
      }
      out << "\n";
    }
  return out.str();
}

// Sets about half of an object's published properties to random values.
void randomSettings(Published &object, std::mt19937 &random) {
  for (const PublishedProperty &p : object.publishedProperties()) {
    const std::string_view name = p.name;
    if (random() % 2 || name == "DisplayCol" || name == "DisplayRow" || name == "Visible" ||
        name == "DateTimeDef" || name == "CheckBoxValues")
      continue;
    TFont font;
    font.SetName("Courier New");
    const auto number = std::int32_t(random() % 9);
    switch (p.kind) {
    case PropKind::Enumeration:
      p.set(object, Variant(std::int32_t(random() % p.members.size())));
      break;
    case PropKind::Boolean:
    case PropKind::Set:
    case PropKind::Double:
      p.set(object, Variant(number));
      break;
    case PropKind::Integer:
      p.set(object, Variant(name == "Width" || name == "Height" ? 5 + 3 * number : number));
      break;
    case PropKind::String:
      p.set(object, Variant(std::string("x\0\xE9", 3).substr(0, number % 4)));
      break;
    case PropKind::Font:
      p.setFont(object, &font);
      break;
    default:
      break;
    }
  }
}

// A grid of random counts with moved, hidden and sized lines, settings on
// columns, rows and cells, own lists, selected rows and values of every kind.
void randomGrid(TdgGrid &grid, std::mt19937 &random) {
  grid.SetCols(1 + random() % 6);
  grid.SetRows(1 + random() % 12);
  grid.SetDefaultRowHeight(10 + random() % 20);
  grid.SetStoreData(true);
  const Picture picture = std::make_shared<QImage>(3, 2, QImage::Format_RGB32);
  picture->fill(Qt::red);
  for (int step = random() % 40; step > 0; --step) {
    const int c = 1 + random() % grid.Cols(), r = 1 + random() % grid.Rows();
    TdgCol &col = *grid.GetCol(Variant(c));
    switch (random() % 10) {
    case 0:
      randomSettings(col, random);
      break;
    case 1:
      col.SetVisible(random() % 2);
      col.SetDisplayCol(1 + random() % grid.Cols());
      break;
    case 2:
      grid.SetRowVisible(r, random() % 2);
      grid.SetDisplayRowOf(r, 1 + random() % grid.Rows());
      break;
    case 3:
      randomSettings(grid.RowStore().EnsureRowObject(r), random);
      grid.RowStore().ReleaseIfDefault(r);
      break;
    case 4: {
      TdgCell cell(&grid, c, r);
      randomSettings(cell, random);
      break;
    }
    case 5:
      grid.SetCellProperty(c, r, pnButtonType, Variant(std::int32_t(btCombo)));
      grid.SetCellProperty(c, r, pnParentCombo, Variant(false));
      grid.ensureCellCombo(c, r).SetDropDownRows(2 + random() % 9);
      break;
    case 6:
      col.SetButtonType(btCombo);
      col.EnsureCombo().SetDropDownRows(2 + random() % 9);
      break;
    case 7:
      if (grid.GetRowVisible(grid.GetDataRow(r)))
        grid.SelectRows(r, r);
      grid.SetRowHeight(r, 5 + random() % 30);
      break;
    default: {
      const std::uint8_t kind = 1 + random() % 5;
      grid.Storage()->SetValue(c, r,
                               kind == ckInteger   ? Variant(std::int32_t(random()))
                               : kind == ckPicture ? Variant(picture)
                               : kind == ckNull    ? Variant::Null()
                                                   : Variant(std::string("v\0\xFF", 3)),
                               kind);
    }
    }
  }
}

// A grid comes back whole through its form record and its layout, into a new
// grid and into one with settings of its own, and through a copy.
TEST(LayoutStream, RandomGridsComeBackWholeThroughEveryPath) {
  for (unsigned seed = 1; seed <= 30; ++seed) {
    std::mt19937 random(seed);
    TdgGrid source;
    source.SetRaiseErrors(false);
    randomGrid(source, random);
    const std::string layout = save(source);
    const std::string want = stateOf(source, false);
    TdgGrid streamed, laidOut, laidOver, copied;
    for (TdgGrid *other : {&laidOver, &copied}) {
      other->SetRaiseErrors(false);
      randomGrid(*other, random);
    }
    readGrid(streamed, writeGrid(source));
    EXPECT_EQ(stateOf(streamed, false), want) << "form record, seed " << seed;
    laidOut.LoadLayout(layout, "layout", false);
    EXPECT_EQ(stateOf(laidOut, false), want) << "layout, seed " << seed;
    laidOver.LoadLayout(layout, "layout", false);
    EXPECT_EQ(stateOf(laidOver, false), want) << "layout over settings, seed " << seed;
    copied.Assign(source);
    EXPECT_EQ(stateOf(copied, true), stateOf(source, true)) << "copy, seed " << seed;
  }
}

// The layout fuzzer's seed is a layout this grid writes: moved columns, own
// settings, a column's list and values. MARROWEN_WRITE_FUZZ_SEEDS=1 writes
// it again after a change of the layout.
TEST(LayoutStream, FuzzSeedIsALayoutTheGridWrites) {
  TdgGrid grid;
  fill(grid);
  grid.MoveCols(3, 1);
  TdgCol &col = *grid.GetCol(Variant(2));
  col.SetFieldName("Size");
  col.SetWidth(90);
  col.SetButtonType(btCombo);
  TdgComboGrid &list = *col.EnsureCombo().ComboGrid();
  list.SetStoreData(true);
  list.SetRows(2);
  list.SetCell(1, 1, Variant(std::string("small")));
  list.SetCell(1, 2, Variant(std::string("large")));
  grid.RowStore().EnsureRowObject(2).SetColor(0x0000FF);
  grid.SetCellProperty(1, 3, pnColor, Variant(0x00FF00));
  const std::string bytes = save(grid);
  const std::string seed = std::string(MARROWEN_SOURCE_DIR) + "/fuzz/corpus/gridlayout/seed.dgl";
  if (const char *write = std::getenv("MARROWEN_WRITE_FUZZ_SEEDS"); write && *write == '1')
    testing::writeFile(seed, bytes);
  EXPECT_EQ(testing::readFile(seed), bytes);
}

} // namespace
} // namespace marrowen
