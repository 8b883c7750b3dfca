#include "grid/stream/gridstream.h"

#include "classlib/asciitext.h"
#include "grid/data/cells.h"
#include "grid/data/colrow.h"
#include "grid/data/published.h"
#include "grid/widget/dgbasegrid.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <memory>

namespace marrowen {

namespace {

constexpr std::array<std::string_view, 2> drawOverlapNames{"doDrawColOnTop", "doDrawRowOnTop"};
constexpr std::array<std::string_view, 4> gridModeNames{"gmListBox", "gmEdit", "gmEditInsert",
                                                        "gmBrowse"};
constexpr std::array<std::string_view, 3> rowSelectModeNames{"rsNone", "rsSingle", "rsMulti"};
constexpr std::array<std::string_view, 3> wordWrapNames{"wwOn", "wwOff", "wwDefault"};
constexpr std::array<std::string_view, 4> vertAlignmentNames{"vtaTop", "vtaBottom", "vtaCenter",
                                                             "vtaDefault"};
constexpr std::array<std::string_view, 4> scrollStyleNames{"ssNone", "ssHorizontal", "ssVertical",
                                                           "ssBoth"};
constexpr std::array<std::string_view, 2> borderStyleNames{"bsNone", "bsSingle"};
constexpr std::array<std::string_view, 2> cellSelectModeNames{"cmNone", "cmRange"};
constexpr std::array<std::string_view, 3> checkBoxStyleNames{"stFlat", "stCheck", "stCross"};
constexpr std::array<std::string_view, 2> colSelectModeNames{"csNone", "csMulti"};
constexpr std::array<std::string_view, 4> focusBorderNames{"fbNone", "fbDot", "fbSingle",
                                                           "fbDouble"};
constexpr std::array<std::string_view, 4> gridLinesNames{"glNone", "glVertLines", "glHorzLines",
                                                         "glBoth"};
constexpr std::array<std::string_view, 3> headingButtonNames{"hbCell", "hbButton", "hbNone"};
constexpr std::array<std::string_view, 3> inactiveButtonStateNames{"ibsBackGround", "ibsPicture",
                                                                   "ibsNone"};
constexpr std::array<std::string_view, 3> resizeColsNames{"rcNone", "rcSingle", "rcAll"};
constexpr std::array<std::string_view, 3> resizeRowsNames{"rrNone", "rrSingle", "rrAll"};
constexpr std::array<std::string_view, 3> rowChangedIndicatorNames{"riOn", "riOff", "riAutoReset"};
constexpr std::array<std::string_view, 3> scrollSpeedNames{"spHigh", "spLow", "spVariable"};
constexpr std::array<std::string_view, 3> selectionTypeNames{"sltDefault", "sltInvert", "sltColor"};

// The grid's own font and its heading font, each written only while it does
// not follow the parent's.
PublishedProperty gridFontProperty(std::string_view name, bool heading) {
  PublishedProperty p;
  p.name = name;
  p.kind = PropKind::Font;
  p.getFont = [heading](const Published &o) -> const TFont * {
    const auto &grid = static_cast<const TdgBaseGrid &>(o);
    if (heading)
      return grid.HeadingParentFont() ? nullptr : &grid.HeadingFont();
    return grid.ParentFont() ? nullptr : &grid.Font();
  };
  p.setFont = [heading](Published &o, const TFont *font) {
    auto &grid = static_cast<TdgBaseGrid &>(o);
    if (heading && font)
      grid.SetHeadingFont(*font);
    else if (heading)
      grid.SetHeadingParentFont(true);
    else if (font)
      grid.SetFont(*font);
    else
      grid.SetParentFont(true);
  };
  return p;
}

// A reference to a definition component; a stream names it.
template <class T>
PublishedProperty componentProperty(std::string_view name, T *(TdgBaseGrid::*getter)() const,
                                    void (TdgBaseGrid::*setter)(T *)) {
  PublishedProperty p;
  p.name = name;
  p.kind = PropKind::Component;
  p.getComponent = [getter](const Published &o) -> TComponent * {
    return (static_cast<const TdgBaseGrid &>(o).*getter)();
  };
  p.setComponent = [setter](Published &o, TComponent *c) {
    (static_cast<TdgBaseGrid &>(o).*setter)(dynamic_cast<T *>(c));
  };
  return p;
}

bool startsWithName(std::string_view name, std::string_view prefix) {
  return name.size() > prefix.size() && sameName(name.substr(0, prefix.size()), prefix);
}

// Reads one property of a nested object: its published table first, then
// its defined entries; a value nobody knows is stepped over.
void readNested(ComponentReader &r, Published &object, std::string_view name) {
  if (!readPublished(r, object, name) && !object.readDefinedProperty(name, r))
    r.readRawValue();
}

void preorder(const TdgSetNode *node, const std::function<void(const TdgCellElement &)> &visit) {
  if (!node)
    return;
  visit(*static_cast<const TdgCellElement *>(const_cast<TdgSetNode *>(node)->GetData()));
  preorder(node->Left, visit);
  preorder(node->Right, visit);
}

} // namespace

std::span<const PublishedProperty> TdgBaseGrid::publishedProperties() const {
  using C = TdgBaseGrid;
  using K = PropKind;
  // Cols and Rows come first: a reader applies the fixed counts and the
  // insert row against the counts already read.
  static const PublishedProperty table[] = {
      withRange(publishedValue<C, int>("Cols", K::Integer, &C::Cols, &C::SetCols, Variant(4)), 0,
                maxStreamedCols),
      withRange(publishedValue<C, int>("Rows", K::Integer, &C::Rows, &C::SetRows, Variant(4)), 0,
                maxStreamedRows),
      publishedValue<C, bool>("AlwaysShowEditor", K::Boolean, &C::AlwaysShowEditor,
                              &C::SetAlwaysShowEditor, true),
      publishedValue<C, bool>("AlwaysShowFocus", K::Boolean, &C::AlwaysShowFocus,
                              &C::SetAlwaysShowFocus, false),
      publishedValue<C, TScrollStyle>("AlwaysShowScrollBar", K::Enumeration,
                                      &C::AlwaysShowScrollBar, &C::SetAlwaysShowScrollBar,
                                      Variant(int(ssNone)), nullptr, scrollStyleNames),
      publishedValue<C, bool>("AutoScale", K::Boolean, &C::AutoScale, &C::SetAutoScale, false),
      publishedValue<C, TBorderStyle>("BorderStyle", K::Enumeration, &C::BorderStyle,
                                      &C::SetBorderStyle, Variant(int(bsSingle)), nullptr,
                                      borderStyleNames),
      withRange(publishedValue<C, int>("ButtonEdgeWidth", K::Integer, &C::ButtonEdgeWidth,
                                       &C::SetButtonEdgeWidth, Variant(2)),
                -1, maxStreamedExtent),
      publishedValue<C, TdgCellSelectMode>("CellSelectMode", K::Enumeration, &C::CellSelectMode,
                                           &C::SetCellSelectMode, Variant(int(cmRange)), nullptr,
                                           cellSelectModeNames),
      publishedValue<C, bool>("CenterPicture", K::Boolean, &C::CenterPicture, &C::SetCenterPicture,
                              true),
      // Written always, as a form stream has no default for it.
      publishedValue<C, TdgCheckBoxStyle>("CheckBoxStyle", K::Enumeration, &C::CheckBoxStyle,
                                          &C::SetCheckBoxStyle, {}, nullptr, checkBoxStyleNames),
      publishedValue<C, std::string, const std::string &>(
          "CheckBoxValues", K::String, &C::CheckBoxValues, &C::SetCheckBoxValues, Variant("")),
      publishedValue<C, bool>("CheckMouseFocus", K::Boolean, &C::CheckMouseFocus,
                              &C::SetCheckMouseFocus, true),
      publishedValue<C, TColor>("Color", K::Integer, &C::Color, &C::SetColor, Variant(clWindow)),
      publishedValue<C, bool>("ColMoving", K::Boolean, &C::ColMoving, &C::SetColMoving, true),
      publishedValue<C, int>("Constraints.MaxHeight", K::Integer, &C::MaxHeightConstraint,
                             &C::SetMaxHeightConstraint, Variant(0)),
      publishedValue<C, int>("Constraints.MaxWidth", K::Integer, &C::MaxWidthConstraint,
                             &C::SetMaxWidthConstraint, Variant(0)),
      withRange(publishedValue<C, int>("Constraints.MinHeight", K::Integer, &C::MinHeightConstraint,
                                       &C::SetMinHeightConstraint, Variant(0)),
                0, maxStreamedWindowExtent),
      withRange(publishedValue<C, int>("Constraints.MinWidth", K::Integer, &C::MinWidthConstraint,
                                       &C::SetMinWidthConstraint, Variant(0)),
                0, maxStreamedWindowExtent),
      publishedValue<C, TdgColSelectMode>("ColSelectMode", K::Enumeration, &C::ColSelectMode,
                                          &C::SetColSelectMode, Variant(int(csMulti)), nullptr,
                                          colSelectModeNames),
      dateTimeDefProperty<C>(),
      withRange(publishedValue<C, int>("DefaultButtonHeight", K::Integer, &C::DefaultButtonHeight,
                                       &C::SetDefaultButtonHeight, Variant(9)),
                -1, maxStreamedExtent),
      withRange(publishedValue<C, int>("DefaultButtonWidth", K::Integer, &C::DefaultButtonWidth,
                                       &C::SetDefaultButtonWidth, Variant(11)),
                -1, maxStreamedExtent),
      withRange(publishedValue<C, int>("DefaultColWidth", K::Integer, &C::DefaultColWidth,
                                       &C::SetDefaultColWidth, Variant(64)),
                -1, maxStreamedExtent),
      withRange(publishedValue<C, int>("DefaultRowHeight", K::Integer, &C::DefaultRowHeight,
                                       &C::SetDefaultRowHeight, Variant(14)),
                -1, maxStreamedExtent),
      publishedValue<C, TdgDrawOverlap>("DrawOverlap", K::Enumeration, &C::DrawOverlap,
                                        &C::SetDrawOverlap, Variant(int(doDrawColOnTop)), nullptr,
                                        drawOverlapNames),
      publishedValue<C, TColor>("EditColor", K::Integer, &C::EditColor, &C::SetEditColor,
                                Variant(clNone)),
      publishedValue<C, TColor>("EditFontColor", K::Integer, &C::EditFontColor,
                                &C::SetEditFontColor, Variant(clNone)),
      publishedValue<C, bool>("Enabled", K::Boolean, &C::Enabled, &C::SetEnabled, true),
      publishedValue<C, int>("FixedColCount", K::Integer, &C::FixedColCount, &C::SetFixedColCount,
                             Variant(0)),
      publishedValue<C, TColor>("FixedLineColor", K::Integer, &C::FixedLineColor,
                                &C::SetFixedLineColor, Variant(clBlack)),
      publishedValue<C, int>("FixedRowCount", K::Integer, &C::FixedRowCount, &C::SetFixedRowCount,
                             Variant(0)),
      publishedValue<C, bool>("FlatButtons", K::Boolean, &C::FlatButtons, &C::SetFlatButtons, true),
      publishedValue<C, TdgFocusBorder>("FocusBorder", K::Enumeration, &C::FocusBorder,
                                        &C::SetFocusBorder, Variant(int(fbDot)), nullptr,
                                        focusBorderNames),
      publishedValue<C, TColor>("FocusColor", K::Integer, &C::FocusColor, &C::SetFocusColor,
                                Variant(clNone)),
      publishedValue<C, TColor>("FocusFontColor", K::Integer, &C::FocusFontColor,
                                &C::SetFocusFontColor, Variant(clNone)),
      gridFontProperty("Font", false),
      publishedValue<C, TdgGridLines>("GridLines", K::Enumeration, &C::GridLines, &C::SetGridLines,
                                      Variant(int(glBoth)), nullptr, gridLinesNames),
      publishedValue<C, TdgGridMode>("GridMode", K::Enumeration, &C::GridMode, &C::SetGridMode,
                                     Variant(int(gmEdit)), nullptr, gridModeNames),
      publishedValue<C, bool>("Heading3D", K::Boolean, &C::Heading3D, &C::SetHeading3D, true),
      publishedValue<C, TdgHeadingButton>("HeadingButton", K::Enumeration, &C::HeadingButton,
                                          &C::SetHeadingButton, Variant(int(hbNone)), nullptr,
                                          headingButtonNames),
      publishedValue<C, TColor>("HeadingColor", K::Integer, &C::HeadingColor, &C::SetHeadingColor,
                                Variant(clBtnFace)),
      gridFontProperty("HeadingFont", true),
      withRange(publishedValue<C, int>("HeadingHeight", K::Integer, &C::HeadingHeight,
                                       &C::SetHeadingHeight, Variant(15)),
                -1, maxStreamedExtent),
      publishedValue<C, TdgHorzAlignment>("HeadingHorzAlignment", K::Enumeration,
                                          &C::HeadingHorzAlignment, &C::SetHeadingHorzAlignment,
                                          Variant(int(htaDefault)), nullptr, horzAlignmentNames),
      publishedValue<C, bool>("HeadingOn", K::Boolean, &C::HeadingOn, &C::SetHeadingOn, true),
      publishedValue<C, bool>("HeadingParentFont", K::Boolean, &C::HeadingParentFont,
                              &C::SetHeadingParentFont, true),
      publishedValue<C, TdgVertAlignment>("HeadingVertAlignment", K::Enumeration,
                                          &C::HeadingVertAlignment, &C::SetHeadingVertAlignment,
                                          Variant(int(vtaDefault)), nullptr, vertAlignmentNames),
      publishedValue<C, TdgWordWrap>("HeadingWordWrap", K::Enumeration, &C::HeadingWordWrap,
                                     &C::SetHeadingWordWrap, Variant(int(wwDefault)), nullptr,
                                     wordWrapNames),
      publishedValue<C, TdgHorzAlignment>("HorzAlignment", K::Enumeration, &C::HorzAlignment,
                                          &C::SetHorzAlignment, Variant(int(htaDefault)), nullptr,
                                          horzAlignmentNames),
      componentProperty<TdgImageListComponent>("ImageList", &C::ImageList, &C::SetImageList),
      publishedValue<C, TdgInactiveButtonState>("InactiveButtonState", K::Enumeration,
                                                &C::InactiveButtonState, &C::SetInactiveButtonState,
                                                Variant(int(ibsBackGround)), nullptr,
                                                inactiveButtonStateNames),
      publishedValue<C, bool>("Is3D", K::Boolean, &C::Is3D, &C::SetIs3D, false),
      publishedValue<C, bool>("KeepAspectRatio", K::Boolean, &C::KeepAspectRatio,
                              &C::SetKeepAspectRatio, false),
      publishedValue<C, TColor>("LineColor", K::Integer, &C::LineColor, &C::SetLineColor,
                                Variant(clSilver)),
      componentProperty<TdgMaskDefsComponent>("MaskDefs", &C::MaskDefs, &C::SetMaskDefs),
      publishedValue<C, bool>("ParentFont", K::Boolean, &C::ParentFont, &C::SetParentFont, true),
      publishedValue<C, bool>("ReadOnlyButton", K::Boolean, &C::ReadOnlyButton,
                              &C::SetReadOnlyButton, true),
      publishedValue<C, TdgResizeCols>("ResizeCols", K::Enumeration, &C::ResizeCols,
                                       &C::SetResizeCols, Variant(int(rcSingle)), nullptr,
                                       resizeColsNames),
      publishedValue<C, bool>("ResizeColsInGrid", K::Boolean, &C::ResizeColsInGrid,
                              &C::SetResizeColsInGrid, false),
      publishedValue<C, TdgResizeRows>("ResizeRows", K::Enumeration, &C::ResizeRows,
                                       &C::SetResizeRows, Variant(int(rrAll)), nullptr,
                                       resizeRowsNames),
      publishedValue<C, bool>("ResizeRowsInGrid", K::Boolean, &C::ResizeRowsInGrid,
                              &C::SetResizeRowsInGrid, false),
      publishedValue<C, TdgVertAlignment>("RowBarAlignment", K::Enumeration, &C::RowBarAlignment,
                                          &C::SetRowBarAlignment, Variant(int(vtaDefault)), nullptr,
                                          vertAlignmentNames),
      publishedValue<C, bool>("RowBarIndicator", K::Boolean, &C::RowBarIndicator,
                              &C::SetRowBarIndicator, true),
      publishedValue<C, bool>("RowBarOn", K::Boolean, &C::RowBarOn, &C::SetRowBarOn, true),
      withRange(publishedValue<C, int>("RowBarWidth", K::Integer, &C::RowBarWidth,
                                       &C::SetRowBarWidth, Variant(14)),
                -1, maxStreamedExtent),
      publishedValue<C, C::TdgRowChangedIndicator>(
          "RowChangedIndicator", K::Enumeration, &C::RowChangedIndicator,
          &C::SetRowChangedIndicator, Variant(int(C::riOn)), nullptr, rowChangedIndicatorNames),
      publishedValue<C, bool>("RowMoving", K::Boolean, &C::GetRowMoving, &C::SetRowMoving, true),
      publishedValue<C, TdgRowSelectMode>("RowSelectMode", K::Enumeration, &C::RowSelectMode,
                                          &C::SetRowSelectMode, Variant(int(rsMulti)), nullptr,
                                          rowSelectModeNames),
      publishedValue<C, TScrollStyle>("ScrollBars", K::Enumeration, &C::ScrollBars,
                                      &C::SetScrollBars, Variant(int(ssBoth)), nullptr,
                                      scrollStyleNames),
      publishedValue<C, TdgScrollSpeed>("ScrollSpeed", K::Enumeration, &C::ScrollSpeed,
                                        &C::SetScrollSpeed, Variant(int(spVariable)), nullptr,
                                        scrollSpeedNames),
      publishedValue<C, int>("SelectedAreaCursor", K::Integer, &C::SelectedAreaCursor,
                             &C::SetSelectedAreaCursor, Variant(0)),
      publishedValue<C, bool>("SelectFixed", K::Boolean, &C::SelectFixed, &C::SetSelectFixed, true),
      publishedValue<C, TColor>("SelectionColor", K::Integer, &C::SelectionColor,
                                &C::SetSelectionColor, Variant(clHighlight)),
      publishedValue<C, TColor>("SelectionFontColor", K::Integer, &C::SelectionFontColor,
                                &C::SetSelectionFontColor, Variant(clHighlightText)),
      publishedValue<C, TdgSelectionType>("SelectionType", K::Enumeration, &C::SelectionType,
                                          &C::SetSelectionType, Variant(int(sltDefault)), nullptr,
                                          selectionTypeNames),
      publishedValue<C, bool>("ShowHint", K::Boolean, &C::ShowHint, &C::SetShowHint, false),
      // After ShowHint, whose change ends it.
      publishedValue<C, bool>("ParentShowHint", K::Boolean, &C::ParentShowHint,
                              &C::SetParentShowHint, true),
      publishedValue<C, bool>("ShrinkPicture", K::Boolean, &C::ShrinkPicture, &C::SetShrinkPicture,
                              true),
      publishedValue<C, bool>("SkipReadOnly", K::Boolean, &C::GetSkipReadOnly, &C::SetSkipReadOnly,
                              true),
      withRange(publishedValue<C, int>("SpinButtonHeight", K::Integer, &C::SpinButtonHeight,
                                       &C::SetSpinButtonHeight, Variant(9)),
                -1, maxStreamedExtent),
      withRange(publishedValue<C, int>("SpinButtonWidth", K::Integer, &C::SpinButtonWidth,
                                       &C::SetSpinButtonWidth, Variant(11)),
                -1, maxStreamedExtent),
      publishedValue<C, int>("SpinRepeatDelay", K::Integer, &C::SpinRepeatDelay,
                             &C::SetSpinRepeatDelay, Variant(80)),
      publishedValue<C, int>("SpinStartDelay", K::Integer, &C::SpinStartDelay,
                             &C::SetSpinStartDelay, Variant(500)),
      publishedValue<C, bool>("StoreData", K::Boolean, &C::StoreData, &C::SetStoreData, false),
      publishedValue<C, bool>("StretchPicture", K::Boolean, &C::StretchPicture,
                              &C::SetStretchPicture, true),
      publishedValue<C, bool>("TabRowWrap", K::Boolean, &C::TabRowWrap, &C::SetTabRowWrap, true),
      publishedValue<C, bool>("TabStop", K::Boolean, &C::TabStop, &C::SetTabStop, true),
      publishedValue<C, bool>("ThumbTracking", K::Boolean, &C::ThumbTracking, &C::SetThumbTracking,
                              false),
      publishedValue<C, TColor>("TransparentColor", K::Integer, &C::PictureTransparentColor,
                                &C::SetPictureTransparentColor, Variant(clNone)),
      publishedValue<C, std::string>("Version", K::String, &C::GetVersion, &C::SetVersion),
      publishedValue<C, TdgVertAlignment>("VertAlignment", K::Enumeration, &C::VertAlignment,
                                          &C::SetVertAlignment, Variant(int(vtaDefault)), nullptr,
                                          vertAlignmentNames),
      publishedValue<C, bool>("Visible", K::Boolean, &C::Visible, &C::SetVisible, true),
      publishedValue<C, bool>("WantTabs", K::Boolean, &C::WantTabs, &C::SetWantTabs, true),
      publishedValue<C, TdgWordWrap>("WordWrap", K::Enumeration, &C::WordWrap, &C::SetWordWrap,
                                     Variant(int(wwOff)), nullptr, wordWrapNames),
  };
  return table;
}

void TdgBaseGrid::SuspendDataWriting(bool resume) {
  if (!resume)
    ++FDataWritingSuspended;
  else if (FDataWritingSuspended > 0)
    --FDataWritingSuspended;
}

bool TdgBaseGrid::CheckCellValue(TdgControlType type, const Variant &value) const {
  const TVarType t = value.type();
  switch (type) {
  case ctText:
    if (t == varString || t == varOleStr)
      return true;
    ReportError("Invalid cell value. A text column requires a value of type string");
    return false;
  case ctCheck:
    if (t == varInteger || t == varString || t == varOleStr || t == varNull)
      return true;
    ReportError("Invalid cell value. A checkbox column requires a value of type TCheckBoxState "
                "or string");
    return false;
  case ctPicture:
    // A picture travels as a picture; a plain number is no picture.
    if (t == varPicture || t == varString)
      return true;
    ReportError("Invalid cell value. A picture column requires a value of type TBitmap or string");
    return false;
  default:
    return true;
  }
}

void TdgBaseGrid::writeDefinedProperties(ComponentWriter &w, std::string_view) const {
  WriteCellExtents(w);
  if (!FImageListIds.empty()) {
    std::string ids;
    for (const std::string &id : FImageListIds)
      ids += (ids.empty() ? "" : ",") + id;
    w.writeName("ImageListIds");
    w.writeString(ids);
  }
  if (FDataWritingSuspended > 0)
    return;
  if (HasColItems()) {
    w.writeName("ColProperties");
    WriteColProperties(w);
  }
  if (HasRowItems()) {
    w.writeName("RowProperties");
    WriteRowProperties(w);
  }
  if (HasCellItems()) {
    w.writeName("CellProperties");
    WriteCellProperties(w);
  }
  if (FStorage) {
    w.writeName("Data");
    WriteData(w);
  }
}

namespace {

// Columns that differ from their defaults, in display order.
std::vector<int> colItems(const TdgBaseGrid &grid) {
  std::vector<int> cols;
  for (int p = 1; p <= grid.Cols(); ++p) {
    const int d = grid.DataColAt(p);
    if (const TdgCol *col = const_cast<TdgBaseGrid &>(grid).ColStore().Item(d);
        col && !col->IsDefault())
      cols.push_back(d);
  }
  return cols;
}

// The data line shown at each place 1..count: a stream names the lines shown
// away from their own number (a later name for a place wins); the others
// fill the remaining places in data order.
std::vector<int> displayOrder(int count, const std::vector<std::pair<int, int>> &named) {
  std::vector<int> target(static_cast<std::size_t>(count) + 1, 0);
  std::vector<bool> placed(static_cast<std::size_t>(count) + 1, false);
  for (const auto &[d, p] : named) {
    if (d < 1 || d > count || p < 1 || p > count || placed[static_cast<std::size_t>(d)])
      continue;
    if (const int old = target[static_cast<std::size_t>(p)]; old != 0)
      placed[static_cast<std::size_t>(old)] = false;
    target[static_cast<std::size_t>(p)] = d;
    placed[static_cast<std::size_t>(d)] = true;
  }
  int next = 1;
  for (int p = 1; p <= count; ++p) {
    if (target[static_cast<std::size_t>(p)] != 0)
      continue;
    while (placed[static_cast<std::size_t>(next)])
      ++next;
    target[static_cast<std::size_t>(p)] = next;
    placed[static_cast<std::size_t>(next)] = true;
  }
  return target;
}

} // namespace

bool TdgBaseGrid::HasColItems() const { return !colItems(*this).empty(); }

void TdgBaseGrid::WriteColProperties(ComponentWriter &w) const {
  w.writeCollectionBegin();
  for (int d : colItems(*this)) {
    const TdgCol &col = *ColObject(d);
    w.writeListBegin();
    w.writeName("DataCol");
    w.writeInteger(d);
    w.writeName("FieldName");
    w.writeString(col.FieldName());
    writePublished(w, col, "Col.");
    w.writeListEnd();
  }
  w.writeListEnd();
}

// Rows shown out of their data order, or with settings of their own.
std::vector<int> TdgBaseGrid::RowItems() const {
  std::vector<int> rows;
  for (int p = 1; p <= Rows(); ++p) {
    const int d = GetDataRow(p);
    const TdgRow *row = RowObject(d);
    if (d != p || (row && !row->IsDefault()))
      rows.push_back(p);
  }
  return rows;
}

bool TdgBaseGrid::HasRowItems() const { return !RowItems().empty(); }

void TdgBaseGrid::WriteRowProperties(ComponentWriter &w) const {
  w.writeCollectionBegin();
  for (int p : RowItems()) {
    const int d = GetDataRow(p);
    w.writeListBegin();
    w.writeName("DataRow");
    w.writeInteger(d);
    w.writeName("DisplayRow");
    w.writeInteger(p);
    if (RowSelected(d)) {
      w.writeName("Selected");
      w.writeBoolean(true);
    }
    if (const TdgRow *row = RowObject(d))
      writePublished(w, *row, "Row.");
    w.writeListEnd();
  }
  w.writeListEnd();
}

bool TdgBaseGrid::HasCellItems() const {
  bool any = false;
  preorder(FCellProps.Root(),
           [&](const TdgCellElement &element) { any = any || !element.IsDefault(); });
  return any;
}

void TdgBaseGrid::WriteCellProperties(ComponentWriter &w) const {
  std::vector<const TdgCellElement *> cells;
  preorder(FCellProps.Root(), [&](const TdgCellElement &element) {
    if (!element.IsDefault())
      cells.push_back(&element);
  });
  w.writeCollectionBegin();
  for (const TdgCellElement *element : cells) {
    w.writeListBegin();
    w.writeName("DataCol");
    w.writeInteger(element->DataCol);
    w.writeName("DataRow");
    w.writeInteger(element->DataRow);
    const TdgCell cell(const_cast<TdgBaseGrid *>(this), element->DataCol, element->DataRow);
    writePublished(w, cell, "Cell.");
    w.writeListEnd();
  }
  w.writeListEnd();
}

void TdgBaseGrid::WriteData(ComponentWriter &w) const {
  std::string data;
  if (FStorage)
    FStorage->WriteValues(data);
  w.writeBinary(data);
}

bool TdgBaseGrid::readDefinedProperty(std::string_view name, ComponentReader &r) {
  // Items that name no column, row or cell of this grid put their values
  // into a grid of their own, which is dropped afterwards.
  std::unique_ptr<TdgGrid> scratch;
  auto scratchGrid = [&]() -> TdgGrid & {
    if (!scratch) {
      scratch = std::make_unique<TdgGrid>();
      scratch->SetRaiseErrors(false);
    }
    return *scratch;
  };
  if (sameName(name, "ColWidths") || sameName(name, "RowHeights")) {
    const bool widths = sameName(name, "ColWidths");
    r.readListBegin();
    for (int i = 0; !r.endOfList(); ++i) {
      const int value = readBoundedInteger(r, -1, maxStreamedExtent);
      if (widths && i < ColCount())
        SetColWidths(i, value);
      else if (!widths && i < RowCount())
        SetRowHeights(i, value);
    }
    r.readListEnd();
    return true;
  }
  if (sameName(name, "EditMode")) {
    const std::string mode = asciiLowerCase(r.readIdent());
    SetGridMode(mode == "emnone"         ? gmListBox
                : mode == "emeditinsert" ? gmEditInsert
                : mode == "embrowse"     ? gmBrowse
                                         : gmEdit);
    return true;
  }
  if (sameName(name, "HeadingAlignment")) {
    const std::string alignment = asciiLowerCase(r.readIdent());
    FHeadingHorzAlignment = alignment == "tarightjustify" ? htaRight
                            : alignment == "tacenter"     ? htaCenter
                                                          : htaDefault;
    InvalidateRect(TGridRect{0, 0, ColCount() - 1, 0});
    return true;
  }
  if (sameName(name, "ImageListIds")) {
    FImageListIds.clear();
    const std::string ids = r.readString();
    std::size_t start = 0;
    while (start <= ids.size() && !ids.empty()) {
      const std::size_t comma = std::min(ids.find(',', start), ids.size());
      FImageListIds.push_back(ids.substr(start, comma - start));
      start = comma + 1;
    }
    return true;
  }
  if (sameName(name, "ColProperties")) {
    // A column shown at its own number carries no DisplayCol, so the moves of
    // the others while they are read can leave it elsewhere: the order is
    // settled once every item is in.
    std::vector<std::pair<int, int>> order;
    r.readCollectionBegin();
    while (!r.endOfList()) {
      r.readListBegin();
      TdgCol *target = nullptr;
      int dataCol = 0;
      int shownAt = 0;
      while (!r.endOfList()) {
        const std::string item = r.readName();
        if (sameName(item, "DataCol")) {
          dataCol = r.readInteger();
          if (FColMatchMode == 1)
            target = CheckIndex(TdgIndexKind::Column, dataCol, 1, Cols()) ? FColStore->Item(dataCol)
                                                                          : nullptr;
        } else if (sameName(item, "FieldName")) {
          const std::string fieldName = r.readString();
          if (FColMatchMode == 0)
            target = MatchColumnByFieldName(dataCol, fieldName);
        } else if (startsWithName(item, "Col.")) {
          TdgCol *col = target ? target : scratchGrid().GetCol(Variant(std::int32_t(1)));
          readNested(r, *col, std::string_view(item).substr(4));
          if (target && sameName(item, "Col.DisplayCol"))
            shownAt = target->DisplayCol();
        } else {
          r.readRawValue();
        }
      }
      if (target)
        order.emplace_back(target->DataCol(), shownAt > 0 ? shownAt : dataCol);
      r.readListEnd();
    }
    r.readListEnd();
    const std::vector<int> shown = displayOrder(Cols(), order);
    for (int p = 1; p <= Cols(); ++p)
      if (DataColAt(p) != shown[static_cast<std::size_t>(p)])
        moveColumn(DisplayColOf(shown[static_cast<std::size_t>(p)]), p);
    return true;
  }
  if (sameName(name, "RowProperties")) {
    FReadingRows = true;
    FPendingRowOrder.clear();
    struct Apply {
      TdgBaseGrid &grid;
      ~Apply() { grid.ApplyPendingRowOrder(); }
    } apply{*this};
    r.readCollectionBegin();
    while (!r.endOfList()) {
      r.readListBegin();
      int dataRow = -1;
      TdgRow *target = nullptr;
      while (!r.endOfList()) {
        const std::string item = r.readName();
        if (sameName(item, "DataRow")) {
          dataRow = r.readInteger();
          target = CheckIndex(TdgIndexKind::Row, dataRow, 1, Rows())
                       ? &FRowStore->EnsureRowObject(dataRow)
                       : nullptr;
        } else if (sameName(item, "DisplayRow")) {
          const int displayRow = r.readInteger();
          if (target)
            setDisplayRowOf(dataRow, displayRow);
        } else if (sameName(item, "Selected")) {
          const bool selected = r.readBoolean();
          if (target)
            setRowSelected(dataRow, selected);
        } else if (startsWithName(item, "Row.")) {
          TdgRow *row = target ? target : &scratchGrid().RowStore().EnsureRowObject(1);
          readNested(r, *row, std::string_view(item).substr(4));
        } else {
          r.readRawValue();
        }
      }
      if (target)
        FRowStore->ReleaseIfDefault(dataRow);
      r.readListEnd();
    }
    r.readListEnd();
    return true;
  }
  if (sameName(name, "CellProperties")) {
    r.readCollectionBegin();
    while (!r.endOfList()) {
      r.readListBegin();
      int dataCol = -1, dataRow = -1;
      std::unique_ptr<TdgCell> cell;
      while (!r.endOfList()) {
        const std::string item = r.readName();
        if (sameName(item, "DataCol")) {
          dataCol = r.readInteger();
          cell.reset();
        } else if (sameName(item, "DataRow")) {
          dataRow = r.readInteger();
          cell.reset();
        } else if (startsWithName(item, "Cell.")) {
          if (!cell) {
            const bool inside = CheckIndex(TdgIndexKind::Column, dataCol, 1, Cols()) &&
                                CheckIndex(TdgIndexKind::Row, dataRow, 1, RowCount() - 1);
            cell = inside ? std::make_unique<TdgCell>(this, dataCol, dataRow)
                          : std::make_unique<TdgCell>(&scratchGrid(), 1, 1);
          }
          readNested(r, *cell, std::string_view(item).substr(5));
        } else {
          r.readRawValue();
        }
      }
      r.readListEnd();
    }
    r.readListEnd();
    return true;
  }
  if (sameName(name, "Data")) {
    const std::string data = r.readBinary();
    SetStoreData(true);
    FStorage->ReadValues(data, FLoadColMap.get());
    StoredValuesReplaced();
    InvalidateGrid();
    return true;
  }
  return false;
}

TdgCol *TdgBaseGrid::MatchColumnByFieldName(int storedCol, const std::string &fieldName) {
  // A column without a name names no column: matched to the first nameless
  // one, every such column's properties and values would land in that one.
  TdgCol *col = fieldName.empty() ? nullptr : FColStore->FindByFieldName(fieldName);
  int target = 0;
  if (col) {
    col->PropertyMask = FPropertyMask;
    for (int d = 1; d <= Cols(); ++d)
      if (FColStore->Item(d) == col)
        target = d;
  }
  // A stored column numbered below 1 has no place in the map.
  if (storedCol >= 1) {
    if (!FLoadColMap)
      FLoadColMap = std::make_unique<TdgIntegerList>();
    if (FLoadColMap->Count() < storedCol)
      FLoadColMap->SetCount(storedCol);
    FLoadColMap->Put(storedCol - 1, target);
  }
  return col;
}

void TdgBaseGrid::setDisplayRowOf(int dataRow, int displayRow) {
  if (FReadingRows)
    FPendingRowOrder.emplace_back(dataRow, displayRow);
  else
    SetDisplayRowOf(dataRow, displayRow);
}

void TdgBaseGrid::ApplyPendingRowOrder() {
  FReadingRows = false;
  const int rows = Rows();
  const std::vector<int> target = displayOrder(rows, FPendingRowOrder);
  FPendingRowOrder.clear();
  for (int p = 1; p <= rows; ++p) {
    const int d = target[static_cast<std::size_t>(p)];
    if (GetDataRow(p) != d)
      MoveRowDisplay(GetDisplayRowOf(d), p);
  }
  // A row object that only says where its row is shown is not kept.
  for (int d = 1; d <= rows; ++d) {
    const TdgRow *row = RowObject(d);
    if (row && row->ColRowProperties::IsDefault() && row->Height() == DefaultRowHeight())
      FRowStore->FreeRow(d);
  }
  InvalidateGrid();
}

void TdgGridStreamer::writePublishedProperties(ComponentWriter &writer) const {
  writePublished(writer, grid_, "");
}

bool TdgGridStreamer::readPublishedProperty(std::string_view name, ComponentReader &reader) {
  NamesRead.emplace_back(name);
  if (!PassOver.empty() && sameName(PassOver, name)) {
    reader.readRawValue();
    return true;
  }
  return readPublished(reader, grid_, name);
}

void TdgGridStreamer::writeDefinedProperties(ComponentWriter &writer) const {
  grid_.writeDefinedProperties(writer, {});
}

bool TdgGridStreamer::readDefinedProperty(std::string_view name, ComponentReader &reader) {
  return grid_.readDefinedProperty(name, reader);
}

std::string writeGrid(const TdgBaseGrid &grid) {
  std::string out;
  ComponentWriter writer(out);
  const TdgGridStreamer streamer(const_cast<TdgBaseGrid &>(grid));
  grid.beginSave();
  struct EndSave {
    const TdgBaseGrid &grid;
    ~EndSave() { grid.endSave(); }
  } endSave{grid};
  writer.writeRootComponent(streamer);
  return out;
}

std::vector<std::string> readGrid(TdgBaseGrid &grid, std::string_view bytes,
                                  std::string_view passOver) {
  grid.beginLoad();
  struct EndLoad {
    TdgBaseGrid &grid;
    ~EndLoad() { grid.endLoad(); }
  } endLoad{grid};
  ComponentReader reader(bytes, "TdgGrid");
  TdgGridStreamer streamer(grid);
  streamer.PassOver = passOver;
  reader.readRootComponent(streamer);
  return std::move(streamer.NamesRead);
}

} // namespace marrowen
