#include "grid/stream/gridstream.h"

#include "classlib/streams.h"
#include "grid/data/colrow.h"
#include "grid/stream/layout.h"
#include "grid/widget/dgbasegrid.h"

#include <QImage>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>

namespace marrowen {
namespace {

std::string errorOf(const std::function<void()> &f) {
  try {
    f();
  } catch (const EInvalidGridOperation &e) {
    return e.what();
  } catch (const EReadError &e) {
    return e.what();
  }
  return "(no error)";
}

// A grid record holding only the given entries, as an older form carries it.
std::string recordWith(const std::function<void(ComponentWriter &)> &entries) {
  std::string out;
  ComponentWriter w(out);
  w.writeSignature();
  w.writeName("TdgGrid");
  w.writeName("");
  entries(w);
  w.writeListEnd();
  w.writeListEnd();
  return out;
}

bool contains(const std::string &bytes, std::string_view name) {
  return bytes.find(name) != std::string::npos;
}

TEST(GridStream, AGridWrittenReadAndWrittenAgainGivesTheSameBytes) {
  std::mt19937 random(102);
  TdgGrid grid;
  grid.SetStoreData(true);
  grid.SetCols(5);
  grid.SetRows(30);
  for (int r = 1; r <= 30; ++r)
    for (int c = 1; c <= 5; c += 2)
      grid.SetCell(c, r, Variant("v" + std::to_string(r * 10 + c)));
  TdgCol *col = grid.GetCol(Variant(std::int32_t(2)));
  col->SetFieldName("Mode");
  col->SetControlType(ctCheck);
  grid.SetCell(2, 4, Variant(std::int32_t(1)));
  grid.SetCell(2, 5, Variant::Null());
  grid.SetRowColor(7, 0x00FFFF);
  grid.SetRowVisible(9, false);
  TFont font;
  font.SetName("Courier New");
  grid.RowStore().EnsureRowObject(11).SetFont(&font);
  grid.RowStore().Item(11)->SetParentFont(false);
  for (int i = 0; i < 20; ++i)
    grid.SetDisplayRowOf(1 + static_cast<int>(random() % 30), 1 + static_cast<int>(random() % 30));
  grid.SelectRows(3, 3);
  grid.SetCellProperty(3, 8, pnColor, Variant(std::int32_t(0x0000FF)));
  grid.SetCellProperty(4, 2, pnWordWrap, Variant(std::int32_t(wwOn)));
  grid.SetHeadingHeight(20);
  grid.SetRowBarWidth(30);

  const std::string first = writeGrid(grid);
  // MARROWEN_WRITE_FUZZ_SEEDS=1 keeps this record as the stream fuzzer's seed.
  if (std::getenv("MARROWEN_WRITE_FUZZ_SEEDS"))
    std::ofstream(std::string(MARROWEN_SOURCE_DIR) + "/fuzz/corpus/gridstream/grid.dfm",
                  std::ios::binary)
        << first;
  TdgGrid copy;
  readGrid(copy, first);
  EXPECT_EQ(writeGrid(copy), first);
  for (int p = 1; p <= 30; ++p) {
    ASSERT_EQ(copy.GetDataRow(p), grid.GetDataRow(p)) << p;
    ASSERT_EQ(copy.RowHeights(p), grid.RowHeights(p)) << p;
  }
  EXPECT_TRUE(copy.GetCell(2, 5).isNull());
  EXPECT_EQ(copy.RowHeights(0), 20);
  EXPECT_EQ(copy.ColWidths(0), 30);
  EXPECT_EQ(copy.GetCell(5, 30).toString(), "v305");
  EXPECT_FALSE(copy.GetRowVisible(9));
  EXPECT_EQ(copy.EffectiveColor(3, 8, false), 0x0000FF);
  EXPECT_EQ(copy.EffectiveFont(1, 11).Name(), "Courier New");
  EXPECT_TRUE(copy.RowSelected(grid.GetDataRow(3)));
  EXPECT_EQ(copy.GetCol(Variant("mode")), copy.GetCol(Variant(std::int32_t(2))));
}

// Column 3 is shown at its own place and so carries no position of its own,
// while the columns read before it move it away from there.
TEST(GridStream, ColumnsComeBackInTheOrderTheyWereShown) {
  TdgGrid grid;
  grid.SetCols(6);
  for (auto [from, to] : {std::pair{4, 1}, {5, 2}, {5, 3}, {6, 5}})
    grid.MoveCols(from, to);
  const std::vector<int> shown{4, 5, 3, 1, 6, 2};
  auto order = [](const TdgGrid &g) {
    std::vector<int> cols;
    for (int p = 1; p <= g.Cols(); ++p)
      cols.push_back(g.DataColAt(p));
    return cols;
  };
  ASSERT_EQ(order(grid), shown);
  TdgGrid copy;
  readGrid(copy, writeGrid(grid));
  EXPECT_EQ(order(copy), shown);
  TdgGrid laidOut;
  TMemoryStream out;
  grid.SaveToStream(out, false);
  TMemoryStream in(out.Data());
  laidOut.LoadFromStream(in, false);
  EXPECT_EQ(order(laidOut), shown);
}

TEST(GridStream, OnlyWhatDiffersFromTheDefaultsIsWritten) {
  TdgGrid grid;
  std::string bytes = writeGrid(grid);
  EXPECT_TRUE(contains(bytes, "Version"));
  EXPECT_FALSE(contains(bytes, "Cols"));
  EXPECT_FALSE(contains(bytes, "ColProperties"));
  EXPECT_FALSE(contains(bytes, "RowProperties"));
  EXPECT_FALSE(contains(bytes, "\x04"
                               "Data"));
  grid.SetStoreData(true);
  EXPECT_TRUE(contains(writeGrid(grid), "\x04"
                                        "Data"))
      << "an empty storage is written too";
  grid.SuspendDataWriting(false);
  EXPECT_FALSE(contains(writeGrid(grid), "\x04"
                                         "Data"));
  grid.SuspendDataWriting(true);
  grid.SetDisplayRowOf(4, 1);
  EXPECT_TRUE(contains(writeGrid(grid), "RowProperties")) << "a moved row is written";

  TdgGrid fromData;
  readGrid(fromData, recordWith([&](ComponentWriter &w) {
             w.writeName("Data");
             std::string data;
             grid.Storage()->WriteValues(data);
             w.writeBinary(data);
           }));
  EXPECT_TRUE(fromData.StoreData());
}

TEST(GridStream, LegacyEntriesStillRead) {
  struct Case {
    const char *ident;
    TdgGridMode mode;
  };
  for (const Case &c : {Case{"EMBrowse", gmBrowse}, Case{"emNone", gmListBox},
                        Case{"emEditInsert", gmEditInsert}, Case{"emWhatever", gmEdit}}) {
    TdgGrid grid;
    grid.SetGridMode(gmBrowse);
    readGrid(grid, recordWith([&](ComponentWriter &w) {
               w.writeName("EditMode");
               w.writeIdent(c.ident);
               w.writeName("ColWidths");
               w.writeListBegin();
               for (int i = 0; i < 9; ++i)
                 w.writeInteger(20 + i);
               w.writeListEnd();
             }));
    EXPECT_EQ(grid.GridMode(), c.mode) << c.ident;
    EXPECT_EQ(grid.ColWidths(4), 24) << "widths beyond the last column are dropped";
  }
}

// An item for a column or row the grid lacks is checked like any index and
// lands on a scratch object, never on the grid's own.
TEST(GridStream, ItemsOutsideTheGridTouchNothing) {
  const std::string stream = recordWith([](ComponentWriter &w) {
    w.writeName("ColProperties");
    w.writeCollectionBegin();
    for (int dataCol : {9, 0}) {
      w.writeListBegin();
      w.writeName("DataCol");
      w.writeInteger(dataCol);
      w.writeName("FieldName");
      w.writeString("Ghost");
      w.writeName("Col.FieldName");
      w.writeString("Ghost");
      w.writeListEnd();
    }
    w.writeListEnd();
    w.writeName("RowProperties");
    w.writeCollectionBegin();
    w.writeListBegin();
    w.writeName("DataRow");
    w.writeInteger(77);
    w.writeName("DisplayRow");
    w.writeInteger(1);
    w.writeName("Row.Color");
    w.writeInteger(255);
    w.writeListEnd();
    w.writeListEnd();
  });
  TdgGrid quiet;
  quiet.SetName("Grid1");
  quiet.SetRaiseErrors(false);
  readGrid(quiet, stream);
  for (int c = 0; c <= 4; ++c)
    EXPECT_EQ(quiet.ColStore().Item(c)->FieldName(), "");
  for (int r = 1; r <= 4; ++r) {
    EXPECT_EQ(quiet.GetRowColor(r), clNone);
    EXPECT_EQ(quiet.GetDataRow(r), r);
  }
  TdgGrid strict;
  strict.SetName("Grid1");
  EXPECT_EQ(errorOf([&] { readGrid(strict, stream); }), "Grid1: Column index 9 out of range");
}

// A count or size is read up to its largest allowed value and refused
// beyond, where it stands, in a grid record and in a layout: beyond any grid
// it would take all the memory, or overflow the grid's sums of sizes.
TEST(GridStream, CountsAndSizesAreReadUpToTheirLimitsAndRefusedBeyond) {
  struct Limit {
    std::string_view name;
    std::int32_t low, high;
    bool inLayout; // also a property a layout names itself
  };
  const Limit limits[] = {{"Cols", 0, maxStreamedCols, true},
                          {"Rows", 0, maxStreamedRows, true},
                          {"DefaultColWidth", -1, maxStreamedExtent, true},
                          {"DefaultRowHeight", -1, maxStreamedExtent, true},
                          {"RowBarWidth", -1, maxStreamedExtent, false},
                          {"SpinButtonHeight", -1, maxStreamedExtent, false},
                          {"Constraints.MinWidth", 0, maxStreamedWindowExtent, false},
                          {"Constraints.MinHeight", 0, maxStreamedWindowExtent, false},
                          {"Col.Width", -1, maxStreamedExtent, false},
                          {"Row.Height", -1, maxStreamedExtent, false},
                          {"ColWidths", -1, maxStreamedExtent, false},
                          {"RowHeights", -1, maxStreamedExtent, false}};
  for (const Limit &limit : limits)
    for (const std::int64_t value : {std::int64_t{limit.low} - 1, std::int64_t{limit.low},
                                     std::int64_t{limit.high}, std::int64_t{limit.high} + 1}) {
      const std::string name(limit.name);
      const bool refused = value < limit.low || value > limit.high;
      auto entry = [&](ComponentWriter &w) {
        const bool nested = name.starts_with("Col.") || name.starts_with("Row.");
        if (nested) {
          w.writeName(name[0] == 'C' ? "ColProperties" : "RowProperties");
          w.writeCollectionBegin();
          w.writeListBegin();
          w.writeName(name[0] == 'C' ? "DataCol" : "DataRow");
          w.writeInteger(1);
        }
        const bool list = name == "ColWidths" || name == "RowHeights";
        w.writeName(name);
        if (list)
          w.writeListBegin();
        w.writeInteger(static_cast<std::int32_t>(value));
        if (list)
          w.writeListEnd();
        if (nested) {
          w.writeListEnd();
          w.writeListEnd();
        }
      };
      TdgGrid grid;
      EXPECT_EQ(errorOf([&] {
                  readGrid(grid, recordWith(entry));
                }).find("Invalid property value") != std::string::npos,
                refused)
          << name << " " << value << " in a grid record";
      if (!limit.inLayout)
        continue;
      std::string layout;
      ComponentWriter w(layout);
      w.writeSignature();
      w.writeName("TdgGridStreamComponent");
      w.writeName("");
      entry(w);
      w.writeListEnd();
      w.writeListEnd();
      TdgGrid target;
      TdgGridStreamComponent component(target);
      EXPECT_EQ(errorOf([&] {
                  ComponentReader reader(layout);
                  reader.readRootComponent(component);
                }).find("Invalid property value") != std::string::npos,
                refused)
          << name << " " << value << " in a layout";
    }
}

TEST(GridStream, ColumnsMatchedByFieldNameTakeTheirStoredValues) {
  TdgGrid source;
  source.SetStoreData(true);
  source.SetCols(3);
  source.SetRows(2);
  const char *names[] = {"A", "B", "C"};
  for (int c = 1; c <= 3; ++c) {
    source.GetCol(Variant(std::int32_t(c)))->SetFieldName(names[c - 1]);
    source.GetCol(Variant(std::int32_t(c)))->SetColor(0x10 * c);
    for (int r = 1; r <= 2; ++r)
      source.SetCell(c, r, Variant(std::string(names[c - 1]) + std::to_string(r)));
  }
  const std::string stream = writeGrid(source);

  // The columns have since been reordered and one renamed.
  TdgGrid target;
  target.SetStoreData(true);
  target.SetCols(3);
  target.SetRows(2);
  const char *now[] = {"C", "A", "X"};
  for (int c = 1; c <= 3; ++c)
    target.GetCol(Variant(std::int32_t(c)))->SetFieldName(now[c - 1]);
  target.SetColMatchMode(0);
  target.SetPropertyMask(0x5);
  readGrid(target, stream);
  ASSERT_NE(target.LoadColMap(), nullptr);
  const std::vector<int> map = {target.LoadColMap()->Get(0), target.LoadColMap()->Get(1),
                                target.LoadColMap()->Get(2)};
  EXPECT_EQ(map, (std::vector<int>{2, 0, 1}));
  EXPECT_EQ(target.GetCell(1, 2).toString(), "C2");
  EXPECT_EQ(target.GetCell(2, 1).toString(), "A1");
  EXPECT_TRUE(target.GetCell(3, 1).isEmpty());
  EXPECT_EQ(target.GetCol(Variant(std::int32_t(1)))->Color(), 0x30);
  EXPECT_EQ(target.GetCol(Variant(std::int32_t(2)))->PropertyMask, 0x5u);
  EXPECT_EQ(target.GetCol(Variant(std::int32_t(3)))->Color(), clNone);

  // An item numbered below 1 still finds its column but takes no map place.
  TdgGrid zero;
  zero.GetCol(Variant(std::int32_t(1)))->SetFieldName("A");
  zero.SetColMatchMode(0);
  readGrid(zero, recordWith([](ComponentWriter &w) {
             w.writeName("ColProperties");
             w.writeCollectionBegin();
             w.writeListBegin();
             w.writeName("DataCol");
             w.writeInteger(-1);
             w.writeName("FieldName");
             w.writeString("A");
             w.writeName("Col.Color");
             w.writeInteger(255);
             w.writeListEnd();
             w.writeListEnd();
           }));
  EXPECT_EQ(zero.LoadColMap(), nullptr);
  EXPECT_EQ(zero.GetCol(Variant(std::int32_t(1)))->Color(), 255);
}

TEST(GridStream, PictureCellsTakePicturesNotNumbers) {
  TdgGrid grid;
  grid.SetName("Grid1");
  grid.SetStoreData(true);
  grid.GetCol(Variant(std::int32_t(1)))->SetControlType(ctPicture);
  EXPECT_EQ(errorOf([&] { grid.SetCell(1, 1, Variant(std::int32_t(12345))); }),
            "Grid1: Invalid cell value. A picture column requires a value of type TBitmap or "
            "string");
  EXPECT_EQ(grid.Storage()->GetKind(1, 1), ckEmpty);
  grid.SetRaiseErrors(false);
  grid.SetCell(1, 1, Variant(std::int32_t(12345)));
  EXPECT_EQ(grid.Storage()->GetKind(1, 1), ckEmpty);
  grid.SetCell(1, 2, Variant(std::make_shared<QImage>(4, 4, QImage::Format_RGB32)));
  EXPECT_EQ(grid.Storage()->GetKind(1, 2), ckPicture);
  grid.OnCellLoaded = [](TdgBaseGrid *, int, int, Variant &value) { value = std::int32_t(7); };
  EXPECT_TRUE(grid.GetCell(1, 2).isEmpty()) << "a number from the handler is no picture";
}

} // namespace
} // namespace marrowen
