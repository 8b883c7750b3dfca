// The data grid's links to the picture list and the mask definitions beside
// it on a form, the pictures its cells name, and its heading font.
#include "grid/data/colrow.h"
#include "grid/data/tables.h"
#include "grid/editing/combo.h"
#include "grid/editors/editorwrappers.h"
#include "grid/widget/dgbasegrid.h"

#include "classlib/collation.h"
#include "classlib/scopeexit.h"
#include "grid/data/qtbytes.h"

#include <QEvent>
#include <QFontInfo>

namespace marrowen {

namespace {

// A changed or vanished picture list changes what the cells show.
class GridImageLink : public TdgImageLink {
public:
  explicit GridImageLink(TdgBaseGrid &grid) : grid_(grid) {}
  void ImagesChanged() override { grid_.InvalidateGrid(); }
  void ComponentFreed() override { grid_.InvalidateGrid(); }

private:
  TdgBaseGrid &grid_;
};

// The editor shows the mask of its cell; new definitions reach it at once.
class GridMaskLink : public TdgMaskLink {
public:
  explicit GridMaskLink(TdgBaseGrid &grid) : grid_(grid) {}
  void MasksChanged() override { grid_.RefreshEditor(); }
  void ComponentFreed() override { grid_.RefreshEditor(); }

private:
  TdgBaseGrid &grid_;
};

} // namespace

TdgImageListComponent *TdgBaseGrid::ImageList() const {
  return FImageLink ? FImageLink->Component() : nullptr;
}

void TdgBaseGrid::SetImageList(TdgImageListComponent *value) {
  if (value == ImageList())
    return;
  if (!FImageLink)
    FImageLink = std::make_unique<GridImageLink>(*this);
  FImageLink->SetComponent(value);
  Repaint();
}

TdgMaskDefsComponent *TdgBaseGrid::MaskDefs() const {
  return FMaskLink ? FMaskLink->Component() : nullptr;
}

void TdgBaseGrid::SetMaskDefs(TdgMaskDefsComponent *value) {
  if (value == MaskDefs())
    return;
  if (!FMaskLink)
    FMaskLink = std::make_unique<GridMaskLink>(*this);
  FMaskLink->SetComponent(value);
  RefreshEditor();
}

Variant TdgBaseGrid::FindMask(std::string_view name) const {
  return FMaskLink ? FMaskLink->FindMask(name) : Variant();
}

Picture TdgBaseGrid::FindPicture(const Variant &name) const {
  TdgImageListComponent *list = ImageList();
  if (!list || !name.isString())
    return nullptr;
  return list->FindPicture(name.toString());
}

std::string TdgBaseGrid::ResolvePictureName(int dataCol, int dataRow, const std::string &text) {
  std::string name;
  int listIndex = -1, id = -1;
  SplitPictureName(text, name, listIndex, id);
  TdgImageListComponent *list = ImageList();
  if (listIndex < 0 || id < 0 || !list || listIndex >= static_cast<int>(FImageListIds.size()) ||
      !AnsiSameText(FImageListIds[static_cast<std::size_t>(listIndex)], list->Name()))
    return name;
  const Picture picture = list->PictureById(id);
  if (!picture)
    return name;
  std::string current = list->PictureName(picture);
  if (current != name && FStorage)
    FStorage->SetValue(dataCol, dataRow, Variant(current), ckPictureName);
  return current;
}

// A cell keeps only a value of a kind its control type can show: text
// cells text, check boxes text, states and Null, pictures pictures and names.
void TdgBaseGrid::dropUnfitValues(int dataCol, int dataRow) {
  if (!FStorage || !NotLoading())
    return;
  auto drop = [this](int c, int r) {
    const std::uint8_t kind = FStorage->GetKind(c, r);
    if (kind == ckEmpty)
      return;
    bool fits = true;
    switch (EffectiveControlType(c, r)) {
    case ctText:
      fits = kind == ckText;
      break;
    case ctCheck:
      fits = kind == ckText || kind == ckInteger || kind == ckNull;
      break;
    case ctPicture:
      fits = kind == ckPicture || kind == ckPictureName;
      break;
    default:
      break;
    }
    if (!fits)
      FStorage->SetValue(c, r, Variant(), ckEmpty);
  };
  auto lastCol = [this](int r) { return std::min(FStorage->UsedCols(r), Cols()); };
  if (dataCol >= 1 && dataRow >= 1) {
    drop(dataCol, dataRow);
  } else if (dataCol >= 1) {
    for (int r = 1; r <= Rows(); ++r)
      drop(dataCol, r);
  } else if (dataRow >= 1) {
    for (int c = 1; c <= lastCol(dataRow); ++c)
      drop(c, dataRow);
  } else {
    for (int r = 1; r <= std::min(Rows(), FStorage->LastRow()); ++r)
      for (int c = 1; c <= lastCol(r); ++c)
        drop(c, r);
  }
}

// ------------------------------------------------------------ heading font

void TdgBaseGrid::SetHeadingFont(const TFont &font) {
  if (&font != &FHeadingFont)
    FHeadingFont.Assign(font);
  FHeadingParentFont = false;
}

void TdgBaseGrid::SetHeadingParentFont(bool value) {
  if (value == FHeadingParentFont)
    return;
  FHeadingParentFont = value;
  if (value)
    TakeParentFont();
}

void TdgBaseGrid::SetParentFont(bool value) {
  if (value == FParentFont)
    return;
  FParentFont = value;
  if (value)
    TakeParentFont();
}

void TdgBaseGrid::changeEvent(QEvent *e) {
  TCustomGrid_dg::changeEvent(e);
  if (e->type() == QEvent::FontChange || e->type() == QEvent::ParentChange)
    TakeParentFont();
}

bool TdgBaseGrid::event(QEvent *e) {
  if (e->type() == QEvent::Show && FScreenDpi == 0)
    FScreenDpi = ScreenDpi();
  if (e->type() == QEvent::ScreenChangeInternal
#if QT_VERSION >= QT_VERSION_CHECK(6, 6, 0)
      || e->type() == QEvent::DevicePixelRatioChange
#endif
  )
    FollowScreenScale();
  // The editors show the grid's own cursor over the cell they cover.
  if (e->type() == QEvent::CursorChange) {
    if (FEditControl)
      FEditControl->Control().setCursor(cursor());
    if (FCheckControl)
      FCheckControl->Control().setCursor(cursor());
  }
  if (e->type() == QEvent::ToolTip && !FParentShowHint && !FShowHint) {
    e->ignore();
    return true;
  }
  return HandleShortcutEvent(e) || TCustomGrid_dg::event(e);
}

void TdgBaseGrid::SetFont(const TFont &value) {
  FParentFont = false;
  if (value == FFont)
    return;
  FFont.Assign(value);
}

void TdgBaseGrid::GridFontChanged() {
  if (FDestroying || !FColStore || !FRowStore)
    return;
  for (int c = 0; c < FColStore->Count(); ++c)
    if (TdgCol *col = FColStore->Item(c))
      col->ParentFontChanged();
  for (int r = 0; r < FRowStore->Count(); ++r)
    if (TdgRow *row = FRowStore->Item(r))
      row->ParentFontChanged();
  FCellProps.RebaseKeptFonts();
  // The shared drop-down list shows its items in the grid's font; it was
  // given that font when it was made and follows every change since.
  if (FCombo && FCombo->ComboGrid())
    static_cast<TdgBaseGrid &>(*FCombo->ComboGrid()).FFont.Assign(FFont);
  // So does a date-time picker, on whichever window it drops down.
  for (QWidget *window : {static_cast<QWidget *>(FDropDownForm), FDateTimeWindow.data()})
    if (window)
      window->setFont(toQFont(FFont));
  // Scaling sizes the rows itself, after their fonts.
  if (FScaling == 0)
    FitRowsToFont();
  InvalidateGrid();
  // The editor shows the cell in its new font.
  RefreshEditor();
}

bool TdgBaseGrid::ParentTFont(TFont &font) const {
  const QWidget *parent = parentWidget();
  if (!parent)
    return false;
  const QFont &source = parent->font();
  font.SetName(qStringToBytes(source.family()));
  font.SetSize(source.pointSize() > 0 ? source.pointSize() : QFontInfo(source).pointSize());
  font.SetStyle(static_cast<std::uint8_t>(
      (source.bold() ? fsBold : 0) | (source.italic() ? fsItalic : 0) |
      (source.underline() ? fsUnderline : 0) | (source.strikeOut() ? fsStrikeOut : 0)));
  return true;
}

// A parent's font has no colour: each font keeps its own. Cells without a
// parent to follow show a new font's.
void TdgBaseGrid::TakeParentFont() {
  TFont font;
  const bool hasParent = ParentTFont(font);
  if (FHeadingParentFont && hasParent) {
    font.SetColor(FHeadingFont.Color());
    FHeadingFont.Assign(font);
  }
  if (!FParentFont)
    return;
  if (!hasParent)
    font.Assign(TFont());
  font.SetColor(FFont.Color());
  if (font == FFont)
    return;
  FTakingParentFont = true;
  ScopeExit done{[this] { FTakingParentFont = false; }};
  FFont.Assign(font);
}

} // namespace marrowen
