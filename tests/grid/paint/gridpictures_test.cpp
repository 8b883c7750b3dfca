#include "grid/data/colrow.h"
#include "grid/data/gridutils.h"
#include "grid/editors/editorwrappers.h"
#include "grid/stream/gridstream.h"
#include "grid/widget/dgbasegrid.h"
#include "gridsupport/datagridscenes.h"

#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QWidget>

#include <gtest/gtest.h>

#include <map>

namespace marrowen {
namespace {

// Pictures by name and by a lasting identity, as a form's picture list keeps
// them; renaming keeps the identity.
struct Pictures : TdgImageListComponent {
  void RegisterLink(TdgImageLink *link) override { link->component_ = this; }
  void UnregisterLink(TdgImageLink *link) override { link->component_ = nullptr; }
  Picture FindPicture(std::string_view name) override {
    for (auto &[id, entry] : entries)
      if (entry.first == name)
        return entry.second;
    return nullptr;
  }
  Picture PictureById(int id) override {
    auto it = entries.find(id);
    return it == entries.end() ? nullptr : it->second.second;
  }
  std::string PictureName(const Picture &p) override {
    for (auto &[id, entry] : entries)
      if (entry.second == p)
        return entry.first;
    return {};
  }
  // Spin steps walk the pictures in identity order.
  std::string NextPictureName(std::string_view name) override { return step(name, 1); }
  std::string PriorPictureName(std::string_view name) override { return step(name, -1); }
  std::string step(std::string_view name, int by) {
    for (auto it = entries.begin(); it != entries.end(); ++it)
      if (it->second.first == name) {
        if (by > 0)
          return ++it == entries.end() ? std::string() : it->second.first;
        return it == entries.begin() ? std::string() : std::prev(it)->second.first;
      }
    return {};
  }
  void add(int id, std::string name, QRgb colour) {
    auto image = std::make_shared<QImage>(8, 8, QImage::Format_RGB32);
    image->fill(colour);
    entries[id] = {std::move(name), image};
  }
  std::map<int, std::pair<std::string, Picture>> entries;
};

// A grid whose column 2 holds pictures, linked to a list named "Pics" that
// its "ImageListIds" name first.
struct PictureGrid {
  PictureGrid() {
    pics.SetName("Pics");
    pics.add(7, "open", qRgb(255, 0, 0));
    grid.SetName("Grid1");
    std::string record;
    ComponentWriter w(record);
    w.writeSignature();
    w.writeName("TdgGrid");
    w.writeName("");
    w.writeName("ImageListIds");
    w.writeString("pics,Other");
    w.writeListEnd();
    w.writeListEnd();
    readGrid(grid, record);
    grid.SetStoreData(true);
    grid.GetCol(Variant(2))->SetControlType(ctPicture);
    grid.SetImageList(&pics);
  }
  // Stores text as a "Data" stream brings it, past the cell setter.
  void store(int col, int row, const std::string &text) {
    grid.Storage()->SetValue(col, row, Variant(text), ckPictureName);
  }
  Pictures pics;
  TdgGrid grid;
};

TEST(GridPictures, ReferencesFollowRenamedPicturesOfTheirOwnList) {
  PictureGrid g;
  ASSERT_EQ(g.grid.ImageListIds().size(), 2u);
  struct Case {
    std::string stored, read, kept;
  } cases[] = {
      {"open", "open", "open"},
      {MakePictureName("old", 0, 7), "open", "open"}, // renamed since: stored afresh
      {MakePictureName("old", 1, 7), "old", MakePictureName("old", 1, 7)},   // another list
      {MakePictureName("old", 0, 99), "old", MakePictureName("old", 0, 99)}, // gone
      {MakePictureName("old", 5, 7), "old", MakePictureName("old", 5, 7)},   // no such id
  };
  for (const Case &c : cases) {
    g.store(2, 1, c.stored);
    EXPECT_EQ(g.grid.GetCell(2, 1).toString(), c.read) << c.read;
    EXPECT_EQ(g.grid.Storage()->GetValue(2, 1).toString(), c.kept) << c.read;
  }
  g.grid.SetImageList(nullptr);
  g.store(2, 1, MakePictureName("old", 0, 7));
  EXPECT_EQ(g.grid.GetCell(2, 1).toString(), "old");
  EXPECT_EQ(g.grid.FindPicture(Variant("open")), nullptr);
}

TEST(GridPictures, ANamedPictureIsPaintedFromTheList) {
  PictureGrid g;
  g.grid.SetCell(2, 1, Variant("open"));
  g.grid.SetCell(2, 2, Variant("missing"));
  showDataGrid(g.grid, 300, 200);
  QApplication::processEvents();
  const QImage shot = g.grid.viewport()->grab().toImage();
  const TRect named = g.grid.GetPaintCellRect(2, 1);
  const TRect missing = g.grid.GetPaintCellRect(2, 2);
  const QPoint mid((named.Left + named.Right) / 2, (named.Top + named.Bottom) / 2);
  EXPECT_EQ(shot.pixel(mid) & 0xFFFFFF, 0xFF0000u);
  EXPECT_NE(shot.pixel(mid.x(), (missing.Top + missing.Bottom) / 2) & 0xFFFFFF, 0xFF0000u);
}

TEST(GridPictures, ACellKeepsOnlyValuesItsTypeCanShow) {
  TdgGrid grid;
  grid.SetStoreData(true);
  grid.GetCol(Variant(2))->SetControlType(ctCheck);
  grid.SetCell(1, 1, Variant("text"));
  grid.SetCell(2, 1, Variant(std::int32_t(1)));
  grid.SetCell(2, 2, Variant("Yes"));
  grid.SetCell(2, 3, Variant::Null());
  grid.SetCell(1, 3, Variant("gone"));
  grid.SetRowControlType(3, ctPicture);
  EXPECT_EQ(grid.Storage()->GetKind(1, 3), ckEmpty);
  grid.SetDrawOverlap(doDrawRowOnTop); // row 3's pictures now win over the check boxes
  EXPECT_EQ(grid.Storage()->GetKind(2, 3), ckEmpty);
  EXPECT_EQ(grid.Storage()->GetKind(2, 1), ckInteger);
  grid.GetCol(Variant(2))->SetControlType(ctText);
  EXPECT_EQ(grid.Storage()->GetKind(2, 1), ckEmpty);
  EXPECT_EQ(grid.GetCell(2, 2).toString(), "Yes");
  EXPECT_EQ(grid.GetCell(1, 1).toString(), "text");
}

TEST(GridPictures, ColumnsFollowingTheGridsFontTakeItsChanges) {
  TdgGrid grid;
  TFont own;
  own.SetSize(11);
  TdgCol *following = grid.GetCol(Variant(1));
  following->SetFont(&own);
  following->SetParentFont(true); // keeps a copy of the grid's font
  grid.GetCol(Variant(2))->SetFont(&own);
  TFont big = grid.Font();
  big.SetSize(19);
  grid.SetFont(big);
  EXPECT_EQ(following->Font()->Size(), 19);
  EXPECT_EQ(grid.GetCol(Variant(2))->Font()->Size(), 11) << "an own font stays";
  grid.setCursor(Qt::CrossCursor);
  EXPECT_EQ(grid.EditControl().Control().cursor().shape(), Qt::CrossCursor);
}

TEST(GridPictures, HeadingAndCellFontsFollowTheParentUntilSet) {
  QWidget form;
  QFont big = form.font();
  big.setPointSize(17);
  form.setFont(big);
  TdgGrid grid(&form);
  EXPECT_TRUE(grid.HeadingParentFont());
  EXPECT_EQ(grid.HeadingFont().Size(), 17);
  EXPECT_EQ(grid.Font().Size(), 17);
  TFont own;
  own.SetSize(11);
  grid.SetHeadingFont(own);
  EXPECT_FALSE(grid.HeadingParentFont());
  EXPECT_EQ(grid.HeadingFont().Size(), 11);
  big.setPointSize(20);
  form.setFont(big); // no longer followed
  EXPECT_EQ(grid.HeadingFont().Size(), 11);
  EXPECT_EQ(grid.Font().Size(), 20);
  grid.SetHeadingParentFont(true);
  EXPECT_EQ(grid.HeadingFont().Size(), 20);
  grid.SetFont(own);
  EXPECT_FALSE(grid.ParentFont());
  big.setPointSize(22);
  form.setFont(big);
  EXPECT_EQ(grid.Font().Size(), 11);
  grid.SetParentFont(true);
  EXPECT_EQ(grid.Font().Size(), 22);
}

} // namespace
} // namespace marrowen

namespace marrowen {
namespace {

TEST(GridPictures, SpinButtonsStepThroughTheListsNames) {
  PictureGrid g;
  g.pics.add(9, "shut", qRgb(0, 0, 255));
  g.grid.GetCol(Variant(2))->SetButtonType(btVertSpin);
  showDataGrid(g.grid, 300, 200);
  g.grid.SetCell(2, 1, Variant("open"));
  g.grid.FocusCell(2, 1, true);
  g.grid.SpinCurrentCell(2, 1, sbUp);
  EXPECT_EQ(g.grid.GetCell(2, 1).toString(), "shut");
  EXPECT_TRUE(g.grid.RowEditing()) << "a step is an edit of the cell";
  g.grid.SpinCurrentCell(2, 1, sbUp); // the last name goes nowhere
  EXPECT_EQ(g.grid.GetCell(2, 1).toString(), "shut");
  g.grid.OnSpinIncrement = [](TdgBaseGrid *, int, int, TdgSpinButton, Variant &, int &, int &,
                              bool &accept) { accept = false; };
  g.grid.SpinCurrentCell(2, 1, sbDown);
  EXPECT_EQ(g.grid.GetCell(2, 1).toString(), "shut") << "a refusing handler changes nothing";
  g.grid.OnSpinIncrement = nullptr;
  g.grid.SpinCurrentCell(2, 1, sbDown);
  EXPECT_EQ(g.grid.GetCell(2, 1).toString(), "open");
  g.grid.SetCell(2, 2, Variant());
  g.grid.FocusCell(2, 2, true);
  g.grid.SpinCurrentCell(2, 2, sbUp);
  EXPECT_TRUE(g.grid.GetCell(2, 2).isEmpty()) << "an empty cell has no name to step from";
}

} // namespace
} // namespace marrowen
