// Per-cell and per-row properties, and the cascade every effective property
// asks: the cell, then row and column in DrawOverlap order, then the grid.
#include "classlib/scopeexit.h"
#include "grid/widget/dgbasegrid.h"

#include "grid/editing/combo.h"
#include "grid/editing/datetime.h"

#include <algorithm>

namespace marrowen {

// ------------------------------------------------------------ the cascade

namespace {

template <class T> T cellProp(const TdgCellElement *cell, int number, int sub = 0) {
  return static_cast<T>(cell->GetProp(number, sub).toInteger());
}

} // namespace

TColor TdgBaseGrid::CellLevel::Color() const {
  return cell ? cellProp<TColor>(cell, pnColor) : line->Color();
}

TdgControlType TdgBaseGrid::CellLevel::ControlType() const {
  return cell ? cellProp<TdgControlType>(cell, pnControlType) : line->ControlType();
}

TdgButtonType TdgBaseGrid::CellLevel::ButtonType() const {
  return cell ? cellProp<TdgButtonType>(cell, pnButtonType) : line->ButtonType();
}

TdgDropDownStyle TdgBaseGrid::CellLevel::DropDownStyle() const {
  return cell ? cellProp<TdgDropDownStyle>(cell, pnDropDownStyle) : line->DropDownStyle();
}

TdgWordWrap TdgBaseGrid::CellLevel::WordWrap() const {
  return cell ? cellProp<TdgWordWrap>(cell, pnWordWrap) : line->WordWrap();
}

TdgHorzAlignment TdgBaseGrid::CellLevel::HorzAlignment() const {
  return cell ? cellProp<TdgHorzAlignment>(cell, pnHorzAlignment) : line->HorzAlignment();
}

TdgVertAlignment TdgBaseGrid::CellLevel::VertAlignment() const {
  return cell ? cellProp<TdgVertAlignment>(cell, pnVertAlignment) : line->VertAlignment();
}

TdgDrawOption TdgBaseGrid::CellLevel::PictureOption(int sub) const {
  if (cell)
    return cellProp<TdgDrawOption>(cell, pnPictureOptions, sub);
  switch (sub) {
  case 1:
    return line->StretchPicture();
  case 2:
    return line->ShrinkPicture();
  case 3:
    return line->CenterPicture();
  default:
    return line->KeepAspectRatio();
  }
}

std::string TdgBaseGrid::CellLevel::MaskName() const {
  return cell ? cell->GetProp(pnMaskName, 0).toString() : line->MaskName();
}

TdgSpinOptions TdgBaseGrid::CellLevel::SpinOptions() const {
  return cell ? cellProp<TdgSpinOptions>(cell, pnSpinOptions) : line->SpinOptions();
}

double TdgBaseGrid::CellLevel::SpinIncrement() const {
  return cell ? cell->GetProp(pnSpinIncrement, 0).toDouble() : line->SpinIncrement();
}

TdgCombo *TdgBaseGrid::CellLevel::Combo() const { return cell ? cell->Combo() : line->Combo(); }

bool TdgBaseGrid::CellLevel::ParentCombo() const {
  return cell ? cell->GetProp(pnParentCombo, 0).toBoolean() : line->ParentCombo();
}

TdgDateTimeDefComponent *TdgBaseGrid::CellLevel::DateTimeDef() const {
  return cell ? cell->DateTimeDef() : line->DateTimeDef();
}

std::array<TdgBaseGrid::CellLevel, 3> TdgBaseGrid::CellLevels(int dataCol, int dataRow) {
  const CellLevel col{nullptr, dataCol >= 1 ? ColObject(dataCol) : nullptr};
  const CellLevel row{nullptr, dataRow >= 1 ? RowObject(dataRow) : nullptr};
  const CellLevel cell{CellElement(dataCol, dataRow, false), nullptr};
  if (FDrawOverlap == doDrawRowOnTop)
    return {cell, row, col};
  return {cell, col, row};
}

TdgControlType TdgBaseGrid::EffectiveControlType(int dataCol, int dataRow) const {
  if (dataCol < 1 || dataCol > Cols() || dataRow < 1 || dataRow > Rows())
    return ctNone;
  return ControlTypeCascade(dataCol, dataRow);
}

TdgControlType TdgBaseGrid::CellControlType(int dataCol, int dataRow) {
  if (dataCol < 1 || dataCol > Cols() || dataRow < 1 || dataRow > RowCount() - 1)
    return ctNone;
  return ControlTypeCascade(dataCol, dataRow);
}

// ------------------------------------------------------- cell properties

void TdgBaseGrid::cellElementAdded(TdgCellElement &element) {
  DropCellCache();
  if (element.DataCol >= 0 && element.DataCol < static_cast<int>(FColElements.size()))
    ++FColElements[static_cast<std::size_t>(element.DataCol)];
  if (element.DataRow >= 0 && element.DataRow < static_cast<int>(FRowElements.size()))
    ++FRowElements[static_cast<std::size_t>(element.DataRow)];
}

void TdgBaseGrid::cellElementRemoved(TdgCellElement &element) {
  DropCellCache();
  if (element.DataCol >= 0 && element.DataCol < static_cast<int>(FColElements.size()))
    --FColElements[static_cast<std::size_t>(element.DataCol)];
  if (element.DataRow >= 0 && element.DataRow < static_cast<int>(FRowElements.size()))
    --FRowElements[static_cast<std::size_t>(element.DataRow)];
}

TdgCellElement *TdgBaseGrid::CellElement(int dataCol, int dataRow, bool testIndexes) {
  if (FCacheValid && FCacheCol == dataCol && FCacheRow == dataRow)
    return FCacheElement;
  if (testIndexes && (!CheckIndex(TdgIndexKind::Column, dataCol, 1, Cols()) ||
                      !CheckIndex(TdgIndexKind::Row, dataRow, 1, RowCount() - 1)))
    return nullptr;
  if (FCellProps.Count() == 0)
    return nullptr;
  TdgCellElement *element = nullptr;
  const bool colEmpty = dataCol < 0 || dataCol >= static_cast<int>(FColElements.size()) ||
                        FColElements[static_cast<std::size_t>(dataCol)] == 0;
  const bool rowEmpty = dataRow < 0 || dataRow >= static_cast<int>(FRowElements.size()) ||
                        FRowElements[static_cast<std::size_t>(dataRow)] == 0;
  if (!(colEmpty || rowEmpty))
    element = FCellProps.FindCell(dataCol, dataRow);
  FCacheValid = true;
  FCacheCol = dataCol;
  FCacheRow = dataRow;
  FCacheElement = element;
  return element;
}

Variant TdgBaseGrid::GetCellProperty(int dataCol, int dataRow, int number, int subIndex) {
  const TdgCellElement *element = CellElement(dataCol, dataRow, false);
  return element ? element->GetProp(number, subIndex) : CellPropertyDefault(number, subIndex);
}

void TdgBaseGrid::SetCellProperty(int dataCol, int dataRow, int number, const Variant &value,
                                  int subIndex) {
  if (!CheckIndex(TdgIndexKind::Column, dataCol, 1, Cols()) ||
      !CheckIndex(TdgIndexKind::Row, dataRow, 1, RowCount() - 1))
    return;
  TdgCellElement *cell = CellElement(dataCol, dataRow, false);
  if (number == pnControlType &&
      (cell ? cell->GetProp(pnControlType, 0) : CellPropertyDefault(pnControlType, 0))
              .toInteger() == value.toInteger())
    return;
  TdgCustomPropElement *element = cell;
  FCellProps.SetProperty(CellKeys{dataCol, dataRow}, number, subIndex, value, number != pnMaskName,
                         element);
  DropCellCache();
  if (number == pnControlType)
    dropUnfitValues(dataCol, dataRow);
}

TFont *TdgBaseGrid::GetCellFont(int dataCol, int dataRow) {
  TdgCellElement *element = CellElement(dataCol, dataRow, false);
  if (element) {
    if (!element->Font() && element->KeepOwnFonts())
      element->CopyFont(FFont);
    else if (element->Font() && element->GetProp(pnParentFont, 0).toBoolean() &&
             !element->KeepOwnFonts() && NotLoading())
      element->SetFont(nullptr);
  }
  const bool parentFont = !element || element->GetProp(pnParentFont, 0).toBoolean();
  if (parentFont && Saving())
    return nullptr;
  if ((element && element->Font()) || NotLoading())
    return element ? element->Font() : nullptr;
  SetCellFont(dataCol, dataRow, &FFont);
  element = CellElement(dataCol, dataRow, false);
  return element ? element->Font() : nullptr;
}

void TdgBaseGrid::SetCellFont(int dataCol, int dataRow, const TFont *font) {
  if (!font) {
    SetCellProperty(dataCol, dataRow, pnFont, Variant(std::int32_t(0)));
    return;
  }
  if (!CheckIndex(TdgIndexKind::Column, dataCol, 1, Cols()) ||
      !CheckIndex(TdgIndexKind::Row, dataRow, 1, RowCount() - 1))
    return;
  TdgCustomPropElement *element = CellElement(dataCol, dataRow, false);
  if (!element)
    element = FCellProps.AddElement(FCellProps.MakeElement(CellKeys{dataCol, dataRow}));
  element->SetFont(font);
  DropCellCache();
  repaintCell(dataCol, dataRow);
}

void TdgBaseGrid::RenumberCellElements(const std::vector<int> &newCol,
                                       const std::vector<int> &newRow) {
  DropCellCache();
  if (FCellProps.Count() == 0)
    return;
  const std::unique_ptr<TdgSetList> list = FCellProps.ToList();
  std::vector<std::unique_ptr<TdgSetElement>> kept;
  for (int i = 1; i <= list->Count(); ++i) {
    const auto *element = static_cast<const TdgCellElement *>(list->Get(i));
    const int c = element->DataCol < static_cast<int>(newCol.size())
                      ? newCol[static_cast<std::size_t>(element->DataCol)]
                      : element->DataCol;
    const int r = element->DataRow < static_cast<int>(newRow.size())
                      ? newRow[static_cast<std::size_t>(element->DataRow)]
                      : element->DataRow;
    if (c < 0 || r < 0)
      continue;
    std::unique_ptr<TdgSetElement> clone = element->CloneElement();
    auto *cell = static_cast<TdgCellElement *>(clone.get());
    cell->DataCol = c;
    cell->DataRow = r;
    kept.push_back(std::move(clone));
  }
  FCellProps.Clear();
  std::fill(FColElements.begin(), FColElements.end(), 0);
  std::fill(FRowElements.begin(), FRowElements.end(), 0);
  for (auto &element : kept) {
    const auto *cell = static_cast<const TdgCellElement *>(element.get());
    if (cell->DataCol < static_cast<int>(FColElements.size()))
      ++FColElements[static_cast<std::size_t>(cell->DataCol)];
    if (cell->DataRow < static_cast<int>(FRowElements.size()))
      ++FRowElements[static_cast<std::size_t>(cell->DataRow)];
    FCellProps.Add(std::move(element));
  }
  DropCellCache();
}

// -------------------------------------------------------- row properties

// Through the row objects, made only for a value other than the default and
// freed again at defaults.

template <class T, class G> T TdgBaseGrid::RowGet(int dataRow, T fallback, G get) {
  if (!CheckIndex(TdgIndexKind::Row, dataRow, 1, RowCount() - 1))
    return fallback;
  const TdgRow *row = RowObject(dataRow);
  return row ? (row->*get)() : fallback;
}

template <class T, class S> void TdgBaseGrid::RowSet(int dataRow, T value, T defaultValue, S set) {
  if (!CheckIndex(TdgIndexKind::Row, dataRow, 1, RowCount() - 1))
    return;
  if (!RowObject(dataRow) && value == defaultValue)
    return;
  (FRowStore->EnsureRowObject(dataRow).*set)(value);
  FRowStore->ReleaseIfDefault(dataRow);
}

TColor TdgBaseGrid::GetRowColor(int dataRow) { return RowGet(dataRow, clNone, &TdgRow::Color); }

void TdgBaseGrid::SetRowColor(int dataRow, TColor value) {
  RowSet(dataRow, value, clNone, &TdgRow::SetColor);
}

TdgControlType TdgBaseGrid::GetRowControlType(int dataRow) {
  return RowGet(dataRow, ctDefault, &TdgRow::ControlType);
}

void TdgBaseGrid::SetRowControlType(int dataRow, TdgControlType value) {
  RowSet(dataRow, value, ctDefault, &TdgRow::SetControlType);
}

int TdgBaseGrid::GetRowHeight(int dataRow) {
  return RowGet(dataRow, DefaultRowHeight(), &TdgRow::Height);
}

void TdgBaseGrid::SetRowHeight(int dataRow, int value) {
  RowSet(dataRow, value, DefaultRowHeight(), &TdgRow::SetHeight);
}

bool TdgBaseGrid::GetRowReadOnly(int dataRow) const {
  const TdgRow *row = RowObject(dataRow);
  return dataRow >= 1 && row ? row->ReadOnly() : false;
}

void TdgBaseGrid::SetRowReadOnly(int dataRow, bool value) {
  RowSet(dataRow, value, false, &TdgRow::SetReadOnly);
}

bool TdgBaseGrid::GetRowIs3D(int dataRow) { return RowGet(dataRow, false, &TdgRow::Is3D); }

void TdgBaseGrid::SetRowIs3D(int dataRow, bool value) {
  RowSet(dataRow, value, false, &TdgRow::SetIs3D);
}

TdgWordWrap TdgBaseGrid::GetRowWordWrap(int dataRow) {
  return RowGet(dataRow, wwDefault, &TdgRow::WordWrap);
}

void TdgBaseGrid::SetRowWordWrap(int dataRow, TdgWordWrap value) {
  RowSet(dataRow, value, wwDefault, &TdgRow::SetWordWrap);
}

TdgButtonType TdgBaseGrid::GetRowButtonType(int dataRow) {
  return RowGet(dataRow, btDefault, &TdgRow::ButtonType);
}

void TdgBaseGrid::SetRowButtonType(int dataRow, TdgButtonType value) {
  RowSet(dataRow, value, btDefault, &TdgRow::SetButtonType);
}

TFont *TdgBaseGrid::GetRowFont(int dataRow) {
  if (!CheckIndex(TdgIndexKind::Row, dataRow, 1, RowCount() - 1))
    return nullptr;
  TdgRow *row = FRowStore->Item(dataRow);
  return row ? row->Font() : nullptr;
}

void TdgBaseGrid::SetRowFont(int dataRow, const TFont *value) {
  RowSet(dataRow, value, static_cast<const TFont *>(nullptr), &TdgRow::SetFont);
}

bool TdgBaseGrid::GetRowParentFont(int dataRow) {
  return RowGet(dataRow, true, &TdgRow::ParentFont);
}

void TdgBaseGrid::SetRowParentFont(int dataRow, bool value) {
  RowSet(dataRow, value, true, &TdgRow::SetParentFont);
}

bool TdgBaseGrid::GetRowKeepOwnFonts(int dataRow) {
  return RowGet(dataRow, false, &TdgRow::KeepOwnFonts);
}

void TdgBaseGrid::SetRowKeepOwnFonts(int dataRow, bool value) {
  RowSet(dataRow, value, false, &TdgRow::SetKeepOwnFonts);
}

bool TdgBaseGrid::GetRowAlign(int dataRow) { return RowGet(dataRow, false, &TdgRow::Align); }

void TdgBaseGrid::SetRowAlign(int dataRow, bool value) {
  RowSet(dataRow, value, false, &TdgRow::SetAlign);
}

int TdgBaseGrid::GetRowAlignment(int dataRow) { return RowGet(dataRow, 0, &TdgRow::Alignment); }

void TdgBaseGrid::SetRowAlignment(int dataRow, int value) {
  RowSet(dataRow, value, 0, &TdgRow::SetAlignment);
}

TdgHorzAlignment TdgBaseGrid::GetRowHorzAlignment(int dataRow) {
  return RowGet(dataRow, htaDefault, &TdgRow::HorzAlignment);
}

void TdgBaseGrid::SetRowHorzAlignment(int dataRow, TdgHorzAlignment value) {
  RowSet(dataRow, value, htaDefault, &TdgRow::SetHorzAlignment);
}

TdgVertAlignment TdgBaseGrid::GetRowVertAlignment(int dataRow) {
  return RowGet(dataRow, vtaDefault, &TdgRow::VertAlignment);
}

void TdgBaseGrid::SetRowVertAlignment(int dataRow, TdgVertAlignment value) {
  RowSet(dataRow, value, vtaDefault, &TdgRow::SetVertAlignment);
}

std::string TdgBaseGrid::GetRowMaskName(int dataRow) {
  return RowGet(dataRow, std::string(), &TdgRow::MaskName);
}

void TdgBaseGrid::SetRowMaskName(int dataRow, const std::string &value) {
  RowSet(dataRow, value, std::string(), &TdgRow::SetMaskName);
}

TdgCombo *TdgBaseGrid::GetRowCombo(int dataRow) {
  return RowGet(dataRow, static_cast<TdgCombo *>(nullptr), &TdgRow::Combo);
}

bool TdgBaseGrid::GetRowParentCombo(int dataRow) {
  return RowGet(dataRow, true, &TdgRow::ParentCombo);
}

void TdgBaseGrid::SetRowParentCombo(int dataRow, bool value) {
  RowSet(dataRow, value, true, &TdgRow::SetParentCombo);
}

TdgDrawOption TdgBaseGrid::GetRowStretchPicture(int dataRow) {
  return RowGet(dataRow, dopDefault, &TdgRow::StretchPicture);
}

void TdgBaseGrid::SetRowStretchPicture(int dataRow, TdgDrawOption value) {
  RowSet(dataRow, value, dopDefault, &TdgRow::SetStretchPicture);
}

TdgDrawOption TdgBaseGrid::GetRowShrinkPicture(int dataRow) {
  return RowGet(dataRow, dopDefault, &TdgRow::ShrinkPicture);
}

void TdgBaseGrid::SetRowShrinkPicture(int dataRow, TdgDrawOption value) {
  RowSet(dataRow, value, dopDefault, &TdgRow::SetShrinkPicture);
}

TdgDrawOption TdgBaseGrid::GetRowCenterPicture(int dataRow) {
  return RowGet(dataRow, dopDefault, &TdgRow::CenterPicture);
}

void TdgBaseGrid::SetRowCenterPicture(int dataRow, TdgDrawOption value) {
  RowSet(dataRow, value, dopDefault, &TdgRow::SetCenterPicture);
}

TdgDrawOption TdgBaseGrid::GetRowKeepAspectRatio(int dataRow) {
  return RowGet(dataRow, dopDefault, &TdgRow::KeepAspectRatio);
}

void TdgBaseGrid::SetRowKeepAspectRatio(int dataRow, TdgDrawOption value) {
  RowSet(dataRow, value, dopDefault, &TdgRow::SetKeepAspectRatio);
}

TdgSpinOptions TdgBaseGrid::GetRowSpinOptions(int dataRow) {
  return RowGet(dataRow, allSpinOptions, &TdgRow::SpinOptions);
}

void TdgBaseGrid::SetRowSpinOptions(int dataRow, TdgSpinOptions value) {
  RowSet(dataRow, value, allSpinOptions, &TdgRow::SetSpinOptions);
}

double TdgBaseGrid::GetRowSpinIncrement(int dataRow) {
  return RowGet(dataRow, 1.0, &TdgRow::SpinIncrement);
}

void TdgBaseGrid::SetRowSpinIncrement(int dataRow, double value) {
  RowSet(dataRow, value, 1.0, &TdgRow::SetSpinIncrement);
}

TdgDateTimeDefComponent *TdgBaseGrid::GetRowDateTimeDef(int dataRow) {
  return RowGet(dataRow, static_cast<TdgDateTimeDefComponent *>(nullptr), &TdgRow::DateTimeDef);
}

void TdgBaseGrid::SetRowDateTimeDef(int dataRow, TdgDateTimeDefComponent *value) {
  RowSet(dataRow, value, static_cast<TdgDateTimeDefComponent *>(nullptr), &TdgRow::SetDateTimeDef);
}

TdgDropDownStyle TdgBaseGrid::GetRowDropDownStyle(int dataRow) {
  return RowGet(dataRow, ddDropDown, &TdgRow::DropDownStyle);
}

void TdgBaseGrid::SetRowDropDownStyle(int dataRow, TdgDropDownStyle value) {
  RowSet(dataRow, value, ddDropDown, &TdgRow::SetDropDownStyle);
}

int TdgBaseGrid::GetRowOrderPosition(int dataRow) {
  return CheckIndex(TdgIndexKind::Row, dataRow, 1, RowCount() - 1) ? FRowStore->GetRowId(dataRow)
                                                                   : -1;
}

int TdgBaseGrid::DataRowOfOrderPosition(int position) const {
  int low = 1, high = Rows();
  while (low <= high) {
    const int middle = low + (high - low) / 2;
    const int id = FRowStore->GetRowId(middle);
    if (id == position)
      return middle;
    if (id < position)
      low = middle + 1;
    else
      high = middle - 1;
  }
  return -1;
}

// ------------------------------------------------- effective properties

TColor TdgBaseGrid::EffectiveColor(int dataCol, int dataRow, bool drawn3D) {
  if (dataRow == 0) {
    const TdgCol *col = ColObject(dataCol);
    if (dataCol > 0 && col && col->HeadingColor() != clNone)
      return col->HeadingColor();
    return FHeadingColor;
  }
  if (const TColor own = Cascade(
          dataCol, dataRow, [](const CellLevel &l) { return l.Color(); }, TColor(clNone));
      own != clNone)
    return own;
  if ((Color() == clNone || Color() == clWindow) && drawn3D)
    return clBtnFace;
  return Color();
}

const TFont &TdgBaseGrid::EffectiveFont(int dataCol, int dataRow) {
  if (dataCol == 0 || dataRow == 0) {
    const TdgCol *col = ColObject(dataCol);
    return col && col->OwnHeadingFont() ? *col->OwnHeadingFont() : FHeadingFont;
  }
  const TdgCellElement *cell = CellElement(dataCol, dataRow, false);
  if (cell && !cell->GetProp(pnParentFont, 0).toBoolean() && cell->Font())
    return *cell->Font();
  const TdgCol *col = ColObject(dataCol);
  const TdgRow *row = RowObject(dataRow);
  const TFont *colFont = col && !col->ParentFont() ? col->OwnFont() : nullptr;
  const TFont *rowFont = row && !row->ParentFont() ? row->OwnFont() : nullptr;
  const TFont *own = OnTop<const TFont *>(colFont, rowFont, nullptr);
  return own ? *own : FFont;
}

TdgWordWrap TdgBaseGrid::EffectiveWordWrap(int dataCol, int dataRow) {
  if (dataRow == 0) {
    const TdgCol *col = ColObject(dataCol);
    const TdgWordWrap own = col ? col->HeadingWordWrap() : wwDefault;
    return own != wwDefault ? own : FHeadingWordWrap;
  }
  if (dataRow > 0)
    if (const TdgWordWrap own = Cascade(
            dataCol, dataRow, [](const CellLevel &l) { return l.WordWrap(); }, wwDefault);
        own != wwDefault)
      return own;
  return FWordWrap;
}

TdgHorzAlignment TdgBaseGrid::EffectiveHorzAlignment(int dataCol, int dataRow) {
  TdgHorzAlignment result = htaDefault;
  const TdgCol *col = ColObject(dataCol);
  if (dataRow == 0) {
    result = col ? col->HeadingHorzAlignment() : htaDefault;
    if (result == htaDefault)
      result = FHeadingHorzAlignment;
  } else {
    result = Cascade(
        dataCol, dataRow, [](const CellLevel &l) { return l.HorzAlignment(); }, htaDefault);
  }
  if (result == htaDefault)
    result = FHorzAlignment;
  return result == htaDefault ? htaLeft : result;
}

bool TdgBaseGrid::EffectiveIs3D(int dataCol, int dataRow) {
  if (dataRow == 0)
    return FHeading3D;
  const TdgCol *col = ColObject(dataCol);
  const TdgRow *row = RowObject(dataRow);
  return FIs3D || (col && col->Is3D()) || (row && row->Is3D()) ||
         GetCellProperty(dataCol, dataRow, pnIs3D).toBoolean();
}

// ------------------------------------------ resetting columns, rows and cells

void TdgBaseGrid::ResetColProperties(std::uint32_t flags) {
  BeginUpdate();
  ScopeExit unlock{[this] { EndUpdate(); }};
  if (flags & resetBit(pnColSelected))
    ClearColSelection();
  const bool allSized = FResizeCols == rcAll;
  const std::uint32_t own = allSized ? flags & ~resetBit(pnWidth) : flags;
  for (int dataCol = 1; dataCol <= Cols(); ++dataCol)
    if (TdgCol *col = FColStore->Item(dataCol))
      col->ResetProperties(own);
  if ((flags & resetBit(pnWidth)) && allSized) {
    HideCellEditor();
    for (int dataCol = 1; dataCol <= Cols(); ++dataCol)
      if (TdgCol *col = FColStore->Item(dataCol))
        col->SetWidth(DefaultColWidth());
    PlaceEditor();
  }
  InvalidateGrid();
}

void TdgBaseGrid::ResetRowProperties(std::uint32_t flags) {
  BeginUpdate();
  ScopeExit unlock{[this] { EndUpdate(); }};
  if (flags & resetBit(pnColSelected))
    ClearRowSelection();
  // For the grid the row objects' selection bit names the changed marks
  // (the selection goes with the column bit above), so the rows never see it.
  std::uint32_t own = flags & ~resetBit(pnRowSelected);
  if (FResizeRows == rrAll)
    own &= ~resetBit(pnHeight);
  for (int dataRow = 1; dataRow <= Rows(); ++dataRow) {
    if (TdgRow *row = FRowStore->Item(dataRow)) {
      row->ResetProperties(own);
      FRowStore->ReleaseIfDefault(dataRow);
    } else if ((flags & resetBit(pnDisplayIndex)) && GetDisplayRowOf(dataRow) != dataRow) {
      // A row without an object of its own goes back to its data place.
      SetDisplayRowOf(dataRow, dataRow);
    }
  }
  if (flags & resetBit(pnRowSelected))
    std::fill(FRowChangedMarks.begin(), FRowChangedMarks.end(), false);
  if ((flags & resetBit(pnHeight)) && FResizeRows == rrAll) {
    HideCellEditor();
    for (int dataRow = 1; dataRow <= Rows(); ++dataRow)
      SetRowHeight(dataRow, DefaultRowHeight());
    PlaceEditor();
  }
  InvalidateGrid();
}

void TdgBaseGrid::ResetCellProperties(std::uint32_t flags) {
  BeginUpdate();
  ScopeExit unlock{[this] { EndUpdate(); }};
  if ((flags & resetBit(pnColSelected)) && FGridStatus == gsCellRange) {
    ClearRange();
    FireSelectChanged(false);
    ReportGridStatus();
    FEditorCol = FEditorRow = -1;
    PlaceEditor();
  }
  FCellProps.ResetAll(flags, true);
  DropCellCache();
  InvalidateGrid();
}

} // namespace marrowen
