#include "grid/data/colrow.h"

#include "classlib/componentstream.h"
#include "grid/data/buttons.h"
#include "grid/data/component.h"
#include "grid/data/gridutils.h"
#include "grid/data/links.h"
#include "grid/data/tables.h"

namespace marrowen {

namespace {

template <class T> bool change(T &field, T value) {
  if (field == value)
    return false;
  field = std::move(value);
  return true;
}

TdgHorzAlignment horzOf(bool align, int alignment) {
  if (!align)
    return htaDefault;
  return alignment == 1 ? htaRight : alignment == 2 ? htaCenter : htaLeft;
}

int alignmentOfIdent(std::string_view ident) {
  if (sameName(ident, "taRightJustify"))
    return 1;
  if (sameName(ident, "taCenter"))
    return 2;
  return 0;
}

constexpr std::string_view buttonTypeNames[] = {
    "btCombo",    "btNormal",           "btNone",         "btDefault", "btVertSpin",
    "btHorzSpin", "btDateTimeDropDown", "btDateTimePopup"};
constexpr std::string_view drawOptionNames[] = {"dopOn", "dopOff", "dopDefault"};
constexpr std::string_view controlTypeNames[] = {"ctNone", "ctText", "ctCheck", "ctPicture",
                                                 "ctDefault"};
constexpr std::string_view dropDownStyleNames[] = {"ddDropDown", "ddDropDownList"};
constexpr std::string_view vertAlignmentNames[] = {"vtaTop", "vtaBottom", "vtaCenter",
                                                   "vtaDefault"};
constexpr std::string_view wordWrapNames[] = {"wwOn", "wwOff", "wwDefault"};
constexpr std::string_view headingButtonNames[] = {"cbCell", "cbButton", "cbGrid", "cbNone"};
constexpr std::string_view sortPictureNames[] = {"spUp", "spDown", "spBullet", "spNone"};
constexpr std::string_view spinOptionNames[] = {"spoAutoRepeat", "spoAutoIncrement", "spoKeyEdit"};

template <class C> PublishedProperty fontProperty(std::string_view name, bool heading) {
  PublishedProperty p;
  p.name = name;
  p.kind = PropKind::Font;
  p.getFont = [heading](const Published &o) -> const TFont * {
    (void)heading; // rows have no heading
    const auto &c = static_cast<const C &>(o);
    if constexpr (std::is_same_v<C, TdgCol>)
      if (heading)
        return c.HeadingParentFont() ? nullptr : c.OwnHeadingFont();
    return c.ParentFont() ? nullptr : c.OwnFont();
  };
  p.setFont = [heading](Published &o, const TFont *f) {
    (void)heading; // rows have no heading
    auto &c = static_cast<C &>(o);
    if constexpr (std::is_same_v<C, TdgCol>)
      if (heading) {
        c.SetHeadingFont(f);
        return;
      }
    c.SetFont(f);
  };
  return p;
}

} // namespace

const std::string_view horzAlignmentNames[4] = {"htaLeft", "htaRight", "htaCenter", "htaDefault"};

// ---------------------------------------------------------------------------
// Shared column and row properties

ColRowProperties::~ColRowProperties() = default;

void ColRowProperties::SetButtonType(TdgButtonType v) {
  if (grid_->isComboGrid() || !change(buttonType_, v))
    return;
  if (v == btCombo)
    grid_->ensureSharedCombo();
  repaint();
  if (isCurrent()) {
    grid_->refreshEditor();
    if (v == btDateTimeDropDown || v == btDateTimePopup)
      grid_->closeDateTimePopup();
  }
}

void ColRowProperties::setPicture(int i, TdgDrawOption v) {
  if (change(pictures_[i], v))
    repaint();
}

void ColRowProperties::SetColor(TColor v) {
  if (change(color_, v))
    repaintAndRefresh();
}

void ColRowProperties::SetControlType(TdgControlType v) {
  if (controlType_ == v)
    return;
  if (isCurrent())
    grid_->endEdit();
  controlType_ = v;
  repaint();
  grid_->refreshEditor();
  controlTypeChanged();
}

void ColRowProperties::SetDateTimeDef(TdgDateTimeDefComponent *v) {
  if (dateTimeDef_ == v)
    return;
  grid_->dropDateTimePopupOf(dateTimeDef_);
  // The grid stays told when the old definition goes: other columns, rows
  // or cells may still hold it.
  dateTimeDef_ = v;
  if (v)
    grid_->gridComponent().FreeNotification(v);
}

TdgDropDownStyle ColRowProperties::DropDownStyle() const {
  return combo_ ? combo_->DropDownStyle() : dropDownStyle_;
}

void ColRowProperties::SetDropDownStyle(TdgDropDownStyle v) {
  const bool changed = DropDownStyle() != v;
  dropDownStyle_ = v;
  if (combo_)
    combo_->SetDropDownStyle(v);
  // A list-only cell has no text editor.
  if (changed)
    refreshIfCurrent();
}

TdgHorzAlignment ColRowProperties::HorzAlignment() const { return horzOf(align_, alignment_); }

void ColRowProperties::SetHorzAlignment(TdgHorzAlignment v) {
  if (v == HorzAlignment())
    return;
  alignment_ = v == htaRight ? 1 : v == htaCenter ? 2 : 0;
  align_ = v != htaDefault;
  repaintAndRefresh();
}

void ColRowProperties::SetAlignment(int v) {
  if (change(alignment_, v))
    repaintAndRefresh();
}

void ColRowProperties::SetAlign(bool v) {
  if (change(align_, v))
    repaintAndRefresh();
}

void ColRowProperties::SetIs3D(bool v) {
  if (change(is3D_, v))
    repaintAndRefresh();
}

void ColRowProperties::SetMaskName(std::string v) {
  maskName_ = std::move(v);
  if (isCurrent())
    grid_->reapplyMask(grid_->currentDataCol(), grid_->currentDataRow());
}

void ColRowProperties::SetParentCombo(bool v) {
  parentCombo_ = v;
  if (v)
    combo_.reset();
}

void ColRowProperties::SetReadOnly(bool v) {
  if (!change(readOnly_, v))
    return;
  repaint();
  if (isCurrent() || grid_->currentDataCol() < 0)
    grid_->refreshEditor();
}

void ColRowProperties::SetVertAlignment(TdgVertAlignment v) {
  if (change(vertAlignment_, v))
    repaintAndRefresh();
}

void ColRowProperties::SetWordWrap(TdgWordWrap v) {
  if (change(wordWrap_, v))
    repaintAndRefresh();
}

void ColRowProperties::fontChanged(TFont &, bool &parentFlag) {
  if (fontLock_ > 0)
    return;
  parentFlag = false;
  if (&parentFlag == &parentFont_)
    repaint();
  else
    repaintHeadingArea();
}

void ColRowProperties::makeOwnFont(std::unique_ptr<TFont> &font, bool &parentFlag,
                                   const TFont &parent) {
  ++fontLock_;
  if (!font) {
    font = std::make_unique<TFont>(parent);
    TFont *own = font.get();
    font->OnChange = [this, own, &parentFlag] { fontChanged(*own, parentFlag); };
  } else
    font->Assign(parent);
  --fontLock_;
}

TFont *ColRowProperties::Font() {
  if (!font_ && (keepOwnFonts_ || grid_->parentFontCopies()))
    makeOwnFont(font_, parentFont_, parentFontOf());
  return font_.get();
}

void ColRowProperties::SetFont(const TFont *font) {
  if (font) {
    makeOwnFont(font_, parentFont_, *font);
    parentFont_ = false;
  } else {
    font_.reset();
    parentFont_ = true;
  }
  repaint();
}

void ColRowProperties::SetParentFont(bool v) {
  if (v) {
    if (font_)
      makeOwnFont(font_, parentFont_, parentFontOf());
  } else if (parentFont_)
    makeOwnFont(font_, parentFont_, parentFontOf());
  parentFont_ = v;
  repaint();
}

void ColRowProperties::SetKeepOwnFonts(bool v) {
  keepOwnFonts_ = v;
  if (!v && parentFont_)
    font_.reset(); // it only mirrored the grid's
}

TdgCombo &ColRowProperties::EnsureCombo() {
  if (!combo_) {
    combo_ = grid_->makeCombo();
    combo_->SetDropDownStyle(dropDownStyle_);
    parentCombo_ = false;
  }
  return *combo_;
}

bool ColRowProperties::IsDefault() const {
  return buttonType_ == btDefault && pictures_[0] == dopDefault && pictures_[1] == dopDefault &&
         pictures_[2] == dopDefault && pictures_[3] == dopDefault && color_ == clNone &&
         controlType_ == ctDefault && !dateTimeDef_ && dropDownStyle_ == ddDropDown && !align_ &&
         alignment_ == 0 && !is3D_ && maskName_.empty() && parentCombo_ && !readOnly_ &&
         spinIncrement_ == 1.0 && spinOptions_ == allSpinOptions && vertAlignment_ == vtaDefault &&
         visible_ && wordWrap_ == wwDefault && !font_ && parentFont_ && !combo_;
}

void ColRowProperties::CopyProperties(const ColRowProperties &s) {
  std::copy(std::begin(s.pictures_), std::end(s.pictures_), std::begin(pictures_));
  color_ = s.color_;
  controlType_ = s.controlType_;
  dropDownStyle_ = s.dropDownStyle_;
  alignment_ = s.alignment_;
  align_ = s.align_;
  is3D_ = s.is3D_;
  maskName_ = s.maskName_;
  parentCombo_ = s.parentCombo_;
  readOnly_ = s.readOnly_;
  spinIncrement_ = s.spinIncrement_;
  spinOptions_ = s.spinOptions_;
  vertAlignment_ = s.vertAlignment_;
  visible_ = s.visible_;
  wordWrap_ = s.wordWrap_;
  SetButtonType(s.buttonType_);
  SetDateTimeDef(s.dateTimeDef_);
  if (s.combo_)
    EnsureCombo().Assign(*s.combo_);
  else
    combo_.reset();
  if (s.parentFont_) {
    parentFont_ = true;
    if (font_)
      makeOwnFont(font_, parentFont_, parentFontOf());
  } else {
    makeOwnFont(font_, parentFont_, *s.font_);
    parentFont_ = false;
  }
}

void ColRowProperties::ResetProperties(std::uint32_t flags) {
  const auto bit = [flags](int n) { return (flags & resetBit(n)) != 0; };
  if (bit(pnColor))
    SetColor(clNone);
  if (bit(pnFont))
    SetFont(nullptr);
  if (bit(pnLocked))
    SetReadOnly(false);
  if (bit(pnAlign))
    SetAlign(false);
  if (bit(pnAlignment))
    SetAlignment(0);
  if (bit(pnIs3D))
    SetIs3D(false);
  if (bit(pnVisible))
    SetVisible(true);
  if (bit(pnWordWrap))
    SetWordWrap(wwDefault);
  if (bit(pnMaskName))
    SetMaskName({});
  if (bit(pnCombo))
    combo_.reset();
  if (bit(pnParentCombo))
    SetParentCombo(true);
  if (bit(pnPictureOptions))
    for (int i = 0; i < 4; ++i)
      setPicture(i, dopDefault);
  if (bit(pnSpinOptions))
    SetSpinOptions(allSpinOptions);
  if (bit(pnSpinIncrement))
    SetSpinIncrement(1.0);
  if (bit(pnHorzAlignment))
    SetHorzAlignment(htaDefault);
  if (bit(pnVertAlignment))
    SetVertAlignment(vtaDefault);
  if (bit(pnDateTimeDef))
    SetDateTimeDef(nullptr);
}

// The legacy alignment pair is read, never written; "Combo" is the own
// combo's inner grid, written only while the button is a combo.
void ColRowProperties::writeDefinedProperties(ComponentWriter &w, std::string_view prefix) const {
  if (combo_ && buttonType_ == btCombo) {
    w.writeName(std::string(prefix) + "Combo");
    combo_->writeInnerGrid(w);
  }
}

bool ColRowProperties::readDefinedProperty(std::string_view name, ComponentReader &r) {
  if (sameName(name, "Alignment"))
    alignment_ = alignmentOfIdent(r.readIdent());
  else if (sameName(name, "Align"))
    align_ = r.readBoolean();
  else if (sameName(name, "Combo"))
    EnsureCombo().readInnerGrid(r);
  else
    return false;
  return true;
}

// ---------------------------------------------------------------------------
// Columns

TdgCol::TdgCol(TdgGridHost *grid, int displayCol)
    : ColRowProperties(grid), displayCol_(displayCol) {
  width_ = requestedWidth_ = grid->DefaultColWidth();
}

TdgCol::~TdgCol() {
  if (keepOwnFonts_)
    grid_->registerKeepOwnFonts(this, false);
}

void TdgCol::repaintHeadingArea() { grid_->repaintHeading(DataCol()); }

void TdgCol::SetAllowGrayed(bool v) {
  if (change(allowGrayed_, v))
    repaintAndRefresh();
}

void TdgCol::SetCheckBoxValues(std::string v) {
  if (!IsValidCheckBoxValues(v)) {
    grid_->reportError(std::string(invalidCheckBoxValuesText));
    return;
  }
  checkBoxValues_ = std::move(v);
  if (isCurrent()) {
    grid_->refreshCheckBoxValues();
    repaint();
  }
}

void TdgCol::SetDisplayCol(int v) {
  if (v < 1 || v > grid_->Cols() || v == displayCol_)
    return;
  grid_->moveColumn(displayCol_, v);
  grid_->refreshEditor();
}

bool TdgCol::IsDisplayColStored() const { return displayCol_ != DataCol(); }

void TdgCol::SetHeading(std::string v) {
  std::string plain;
  StripAccelerator(v, accelerator_, plain);
  heading_ = std::move(plain);
  grid_->repaintHeading(DataCol());
}

void TdgCol::SetHeadingButton(TdgColHeadingButton v) {
  if (change(headingButton_, v))
    grid_->repaintHeading(DataCol());
}

void TdgCol::SetHeadingColor(TColor v) {
  if (change(headingColor_, v))
    grid_->repaintHeading(DataCol());
}

TFont *TdgCol::HeadingFont() {
  if (!headingFont_ && (keepOwnFonts_ || grid_->parentFontCopies()))
    makeOwnFont(headingFont_, headingParentFont_, grid_->HeadingFont());
  return headingFont_.get();
}

void TdgCol::SetHeadingFont(const TFont *font) {
  if (font) {
    makeOwnFont(headingFont_, headingParentFont_, *font);
    headingParentFont_ = false;
  } else {
    headingFont_.reset();
    headingParentFont_ = true;
  }
  grid_->repaintHeading(DataCol());
}

void TdgCol::SetHeadingParentFont(bool v) {
  if (v) {
    if (headingFont_)
      makeOwnFont(headingFont_, headingParentFont_, grid_->HeadingFont());
  } else if (headingParentFont_)
    makeOwnFont(headingFont_, headingParentFont_, grid_->HeadingFont());
  headingParentFont_ = v;
  grid_->repaintHeading(DataCol());
}

TdgHorzAlignment TdgCol::HeadingHorzAlignment() const {
  return horzOf(headingAlign_, headingAlignment_);
}

void TdgCol::SetHeadingHorzAlignment(TdgHorzAlignment v) {
  if (v == HeadingHorzAlignment())
    return;
  headingAlignment_ = v == htaRight ? 1 : v == htaCenter ? 2 : 0;
  headingAlign_ = v != htaDefault;
  grid_->repaintHeading(DataCol());
}

void TdgCol::SetHeadingAlignment(int v) {
  if (change(headingAlignment_, v))
    grid_->repaintHeading(DataCol());
}

void TdgCol::SetHeadingAlign(bool v) {
  if (change(headingAlign_, v))
    grid_->repaintHeading(DataCol());
}

void TdgCol::SetHeadingVertAlignment(TdgVertAlignment v) {
  if (change(headingVertAlignment_, v))
    grid_->repaintHeading(DataCol());
}

void TdgCol::SetHeadingWordWrap(TdgWordWrap v) {
  if (change(headingWordWrap_, v))
    grid_->repaintHeading(DataCol());
}

void TdgCol::SetMaxLength(int v) {
  maxLength_ = v < 0 ? 0 : v;
  grid_->setEditorMaxLength(DataCol(), maxLength_);
}

void TdgCol::SetSortPicture(TdgSortPicture v) {
  if (change(sortPicture_, v))
    grid_->repaintHeading(DataCol());
}

void TdgCol::SetWidth(int v) {
  requestedWidth_ = v;
  if (!change(width_, v))
    return;
  if (visible_)
    grid_->setColWidth(displayCol_, v);
  grid_->relayout();
  grid_->restoreFixedSizes();
  grid_->refreshEditor();
}

void TdgCol::SetVisible(bool v) {
  if (visible_ == v)
    return;
  const int dataCol = DataCol();
  const bool current = grid_->currentDataCol() == dataCol;
  if (current && !grid_->canLeaveCell(0, grid_->currentDataRow()))
    return;
  visible_ = v;
  // Column 0 is the row bar: shown or not, never in the visible list.
  if (displayCol_ == 0) {
    grid_->setColWidth(0, v ? width_ : 0);
    grid_->restoreFixedSizes();
    grid_->relayout();
    grid_->refreshEditor();
    return;
  }
  if (v) {
    grid_->visibleCols().Add(displayCol_);
    grid_->setColWidth(displayCol_, width_);
  } else {
    grid_->visibleCols().Remove(displayCol_);
    grid_->setColWidth(displayCol_, 0);
    grid_->dropColSelection(dataCol);
    if (current)
      grid_->moveOffColumn(dataCol);
    grid_->correctScrolling();
  }
  grid_->relayout();
  grid_->refreshEditor();
}

void TdgCol::SetKeepOwnFonts(bool v) {
  if (keepOwnFonts_ == v)
    return;
  ColRowProperties::SetKeepOwnFonts(v);
  if (!v && headingParentFont_)
    headingFont_.reset();
  grid_->registerKeepOwnFonts(this, v);
}

bool TdgCol::IsDefault() const {
  return ColRowProperties::IsDefault() && !allowGrayed_ && checkBoxValues_.empty() &&
         fieldName_.empty() && heading_.empty() && headingButton_ == cbGrid &&
         headingColor_ == clNone && !headingFont_ && headingParentFont_ && !headingAlign_ &&
         headingAlignment_ == 0 && headingVertAlignment_ == vtaDefault &&
         headingWordWrap_ == wwDefault && maxLength_ == 0 && sortPicture_ == spNone &&
         width_ == grid_->DefaultColWidth() && !IsDisplayColStored();
}

void TdgCol::CopyProperties(const ColRowProperties &source) {
  const auto &s = static_cast<const TdgCol &>(source);
  allowGrayed_ = s.allowGrayed_;
  checkBoxValues_ = s.checkBoxValues_;
  fieldName_ = s.fieldName_;
  heading_ = s.heading_;
  accelerator_ = s.accelerator_;
  headingButton_ = s.headingButton_;
  headingColor_ = s.headingColor_;
  headingAlignment_ = s.headingAlignment_;
  headingAlign_ = s.headingAlign_;
  headingVertAlignment_ = s.headingVertAlignment_;
  headingWordWrap_ = s.headingWordWrap_;
  maxLength_ = s.maxLength_;
  sortPicture_ = s.sortPicture_;
  width_ = requestedWidth_ = s.width_;
  ColRowProperties::CopyProperties(source);
  if (s.button_)
    button_ = grid_->makeButton(*s.button_);
  else
    button_.reset();
  if (s.headingParentFont_) {
    headingParentFont_ = true;
    if (headingFont_)
      makeOwnFont(headingFont_, headingParentFont_, grid_->HeadingFont());
  } else {
    makeOwnFont(headingFont_, headingParentFont_, *s.headingFont_);
    headingParentFont_ = false;
  }
}

void TdgCol::SetButton(std::unique_ptr<TdgCustomButton> button) {
  button_ = std::move(button);
  repaintAndRefresh();
}

void TdgCol::SetButtonPicture(const Picture &picture, TColor transparentColor, int height,
                              int width) {
  SetButton(picture
                ? std::make_unique<TdgNormalButton>(grid_, height, width, transparentColor, picture)
                : nullptr);
}

void TdgCol::CopyAll(const TdgCol &source) {
  grid_ = source.grid_;
  displayCol_ = source.displayCol_;
  CopyProperties(source);
}

void TdgCol::Assign(const TdgCol &source) {
  if (&source == this)
    return;
  CopyProperties(source);
  if (visible_)
    grid_->setColWidth(displayCol_, width_);
  repaintAndRefresh();
}

void TdgCol::ResetProperties(std::uint32_t flags) {
  const auto bit = [flags](int n) { return (flags & resetBit(n)) != 0; };
  ColRowProperties::ResetProperties(flags);
  if (bit(pnColor))
    SetHeadingColor(clNone);
  if (bit(pnDisplayIndex))
    SetDisplayCol(DataCol());
  if (bit(pnWidth))
    SetWidth(requestedWidth_);
  if (bit(pnColSelected))
    grid_->setColSelected(DataCol(), false);
  if (bit(pnHeadingButton))
    SetHeadingButton(cbGrid);
  if (bit(pnSortPicture))
    SetSortPicture(spNone);
  if (bit(pnMaxLength))
    SetMaxLength(0);
}

void TdgCol::writeDefinedProperties(ComponentWriter &w, std::string_view prefix) const {
  ColRowProperties::writeDefinedProperties(w, prefix);
}

bool TdgCol::readDefinedProperty(std::string_view name, ComponentReader &r) {
  if (sameName(name, "HeadingAlignment"))
    headingAlignment_ = alignmentOfIdent(r.readIdent());
  else if (sameName(name, "HeadingAlign"))
    headingAlign_ = r.readBoolean();
  else
    return ColRowProperties::readDefinedProperty(name, r);
  return true;
}

std::span<const PublishedProperty> TdgCol::publishedProperties() const {
  using C = TdgCol;
  using K = PropKind;
  static const PublishedProperty table[] = {
      publishedValue<C, bool>("AllowGrayed", K::Boolean, &C::AllowGrayed, &C::SetAllowGrayed,
                              false),
      publishedValue<C, TdgButtonType>("ButtonType", K::Enumeration, &C::ButtonType,
                                       &C::SetButtonType, Variant(int(btDefault)), nullptr,
                                       buttonTypeNames),
      publishedValue<C, TdgDrawOption>("CenterPicture", K::Enumeration, &C::CenterPicture,
                                       &C::SetCenterPicture, Variant(int(dopDefault)), nullptr,
                                       drawOptionNames),
      publishedValue<C, const std::string &>("CheckBoxValues", K::String, &C::CheckBoxValues,
                                             &C::SetCheckBoxValues, Variant("")),
      publishedValue<C, TColor>("Color", K::Integer, &C::Color, &C::SetColor, Variant(clNone)),
      publishedValue<C, TdgControlType>("ControlType", K::Enumeration, &C::ControlType,
                                        &C::SetControlType, Variant(int(ctDefault)), nullptr,
                                        controlTypeNames),
      dateTimeDefProperty<C>(),
      publishedValue<C, int>("DisplayCol", K::Integer, &C::DisplayCol, &C::SetDisplayCol, {},
                             &C::IsDisplayColStored),
      publishedValue<C, TdgDropDownStyle>("DropDownStyle", K::Enumeration, &C::DropDownStyle,
                                          &C::SetDropDownStyle, Variant(int(ddDropDown)), nullptr,
                                          dropDownStyleNames),
      publishedValue<C, const std::string &>("FieldName", K::String, &C::FieldName,
                                             &C::SetFieldName, Variant("")),
      fontProperty<C>("Font", false),
      publishedValue<C, std::string>("Heading", K::String, &C::Heading, &C::SetHeading, {},
                                     &C::IsHeadingStored),
      publishedValue<C, TdgColHeadingButton>("HeadingButton", K::Enumeration, &C::HeadingButton,
                                             &C::SetHeadingButton, Variant(int(cbGrid)), nullptr,
                                             headingButtonNames),
      publishedValue<C, TColor>("HeadingColor", K::Integer, &C::HeadingColor, &C::SetHeadingColor,
                                Variant(clNone)),
      fontProperty<C>("HeadingFont", true),
      publishedValue<C, TdgHorzAlignment>("HeadingHorzAlignment", K::Enumeration,
                                          &C::HeadingHorzAlignment, &C::SetHeadingHorzAlignment,
                                          Variant(int(htaDefault)), nullptr, horzAlignmentNames),
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
      publishedValue<C, bool>("Is3D", K::Boolean, &C::Is3D, &C::SetIs3D, false),
      publishedValue<C, TdgDrawOption>("KeepAspectRatio", K::Enumeration, &C::KeepAspectRatio,
                                       &C::SetKeepAspectRatio, Variant(int(dopDefault)), nullptr,
                                       drawOptionNames),
      publishedValue<C, const std::string &>("MaskName", K::String, &C::MaskName, &C::SetMaskName,
                                             Variant("")),
      publishedValue<C, int>("MaxLength", K::Integer, &C::MaxLength, &C::SetMaxLength, Variant(0)),
      publishedValue<C, bool>("ParentCombo", K::Boolean, &C::ParentCombo, &C::SetParentCombo, true),
      publishedValue<C, bool>("ParentFont", K::Boolean, &C::ParentFont, &C::SetParentFont, true),
      publishedValue<C, bool>("ReadOnly", K::Boolean, &C::ReadOnly, &C::SetReadOnly, false),
      publishedValue<C, TdgDrawOption>("ShrinkPicture", K::Enumeration, &C::ShrinkPicture,
                                       &C::SetShrinkPicture, Variant(int(dopDefault)), nullptr,
                                       drawOptionNames),
      publishedValue<C, TdgSortPicture>("SortPicture", K::Enumeration, &C::SortPicture,
                                        &C::SetSortPicture, Variant(int(spNone)), nullptr,
                                        sortPictureNames),
      publishedValue<C, double>("SpinIncrement", K::Double, &C::SpinIncrement, &C::SetSpinIncrement,
                                {}, &C::IsSpinIncrementStored),
      publishedValue<C, TdgSpinOptions>("SpinOptions", K::Set, &C::SpinOptions, &C::SetSpinOptions,
                                        Variant(int(allSpinOptions)), nullptr, spinOptionNames),
      publishedValue<C, TdgDrawOption>("StretchPicture", K::Enumeration, &C::StretchPicture,
                                       &C::SetStretchPicture, Variant(int(dopDefault)), nullptr,
                                       drawOptionNames),
      publishedValue<C, TdgVertAlignment>("VertAlignment", K::Enumeration, &C::VertAlignment,
                                          &C::SetVertAlignment, Variant(int(vtaDefault)), nullptr,
                                          vertAlignmentNames),
      publishedValue<C, bool>("Visible", K::Boolean, &C::Visible, &C::SetVisible, true),
      withRange(publishedValue<C, int>("Width", K::Integer, &C::Width, &C::SetWidth, {}), -1,
                maxStreamedExtent),
      publishedValue<C, TdgWordWrap>("WordWrap", K::Enumeration, &C::WordWrap, &C::SetWordWrap,
                                     Variant(int(wwDefault)), nullptr, wordWrapNames),
  };
  return table;
}

// ---------------------------------------------------------------------------
// Rows

TdgRow::~TdgRow() {
  if (keepOwnFonts_)
    grid_->registerKeepOwnFonts(this, false);
}

void TdgRow::SetHeight(int v) {
  requestedHeight_ = v;
  if (!change(height_, v))
    return;
  // A row of no height cannot hold the current cell: moving it off an
  // entered, unchanged insert row takes that row away, this object with it.
  // Only the grid is used from there on.
  TdgGridHost *const grid = grid_;
  if (visible_)
    grid->setRowHeight(DisplayRow(), v);
  grid->relayout();
  grid->restoreFixedSizes();
  grid->refreshEditor();
}

void TdgRow::SetVisible(bool v) {
  if (visible_ == v || grid_->isInsertRow(dataRow_))
    return;
  // Row 0 is the heading: shown or not, never in the visible list.
  if (dataRow_ == 0) {
    visible_ = v;
    grid_->setRowHeight(0, v ? height_ : 0);
    grid_->restoreFixedSizes();
    grid_->relayout();
    grid_->refreshEditor();
    return;
  }
  const bool current = grid_->currentDataRow() == dataRow_;
  if (current && !grid_->canLeaveCell(grid_->currentDataCol(), 0))
    return;
  visible_ = v;
  const int displayRow = DisplayRow();
  // Moving the current cell off an entered, unchanged insert row takes that
  // row away, this object with it, as soon as the row has no height: only
  // the grid is used from there on.
  TdgGridHost *const grid = grid_;
  const int dataRow = dataRow_;
  if (v) {
    grid->visibleRows().Add(displayRow);
    grid->setRowHeight(displayRow, height_);
  } else {
    grid->visibleRows().Remove(displayRow);
    grid->setRowHeight(displayRow, 0);
    grid->dropRowSelection(dataRow);
    if (current && grid->currentDataRow() == dataRow)
      grid->moveOffRow(dataRow);
    grid->correctScrolling();
  }
  grid->relayout();
  grid->refreshEditor();
}

void TdgRow::SetKeepOwnFonts(bool v) {
  if (keepOwnFonts_ == v)
    return;
  ColRowProperties::SetKeepOwnFonts(v);
  grid_->registerKeepOwnFonts(this, v);
}

bool TdgRow::IsDefault() const {
  return ColRowProperties::IsDefault() && height_ == grid_->DefaultRowHeight() &&
         !IsDisplayRowStored();
}

void TdgRow::CopyProperties(const ColRowProperties &source) {
  const auto &s = static_cast<const TdgRow &>(source);
  height_ = requestedHeight_ = s.height_;
  ColRowProperties::CopyProperties(source);
}

void TdgRow::CopyAll(const TdgRow &source) {
  grid_ = source.grid_;
  CopyProperties(source);
}

void TdgRow::Assign(const TdgRow &source) {
  if (&source == this)
    return;
  CopyProperties(source);
  if (visible_)
    grid_->setRowHeight(DisplayRow(), height_);
  repaintAndRefresh();
}

void TdgRow::ResetProperties(std::uint32_t flags) {
  const auto bit = [flags](int n) { return (flags & resetBit(n)) != 0; };
  ColRowProperties::ResetProperties(flags);
  if (bit(pnDisplayIndex))
    SetDisplayRow(dataRow_);
  if (bit(pnHeight))
    SetHeight(requestedHeight_);
  if (bit(pnRowSelected))
    grid_->setRowSelected(dataRow_, false);
}

std::span<const PublishedProperty> TdgRow::publishedProperties() const {
  using C = TdgRow;
  using K = PropKind;
  static const PublishedProperty table[] = {
      publishedValue<C, TdgButtonType>("ButtonType", K::Enumeration, &C::ButtonType,
                                       &C::SetButtonType, Variant(int(btDefault)), nullptr,
                                       buttonTypeNames),
      publishedValue<C, TdgDrawOption>("CenterPicture", K::Enumeration, &C::CenterPicture,
                                       &C::SetCenterPicture, Variant(int(dopDefault)), nullptr,
                                       drawOptionNames),
      publishedValue<C, TColor>("Color", K::Integer, &C::Color, &C::SetColor, Variant(clNone)),
      publishedValue<C, TdgControlType>("ControlType", K::Enumeration, &C::ControlType,
                                        &C::SetControlType, Variant(int(ctDefault)), nullptr,
                                        controlTypeNames),
      dateTimeDefProperty<C>(),
      publishedValue<C, int>("DisplayRow", K::Integer, &C::DisplayRow, &C::SetDisplayRow, {},
                             &C::IsDisplayRowStored),
      publishedValue<C, TdgDropDownStyle>("DropDownStyle", K::Enumeration, &C::DropDownStyle,
                                          &C::SetDropDownStyle, Variant(int(ddDropDown)), nullptr,
                                          dropDownStyleNames),
      fontProperty<C>("Font", false),
      withRange(publishedValue<C, int>("Height", K::Integer, &C::Height, &C::SetHeight, {}), -1,
                maxStreamedExtent),
      publishedValue<C, TdgHorzAlignment>("HorzAlignment", K::Enumeration, &C::HorzAlignment,
                                          &C::SetHorzAlignment, Variant(int(htaDefault)), nullptr,
                                          horzAlignmentNames),
      publishedValue<C, bool>("Is3D", K::Boolean, &C::Is3D, &C::SetIs3D, false),
      publishedValue<C, TdgDrawOption>("KeepAspectRatio", K::Enumeration, &C::KeepAspectRatio,
                                       &C::SetKeepAspectRatio, Variant(int(dopDefault)), nullptr,
                                       drawOptionNames),
      publishedValue<C, const std::string &>("MaskName", K::String, &C::MaskName, &C::SetMaskName,
                                             Variant("")),
      publishedValue<C, bool>("ParentCombo", K::Boolean, &C::ParentCombo, &C::SetParentCombo, true),
      publishedValue<C, bool>("ParentFont", K::Boolean, &C::ParentFont, &C::SetParentFont, true),
      publishedValue<C, bool>("ReadOnly", K::Boolean, &C::ReadOnly, &C::SetReadOnly, false),
      publishedValue<C, TdgDrawOption>("ShrinkPicture", K::Enumeration, &C::ShrinkPicture,
                                       &C::SetShrinkPicture, Variant(int(dopDefault)), nullptr,
                                       drawOptionNames),
      publishedValue<C, double>("SpinIncrement", K::Double, &C::SpinIncrement, &C::SetSpinIncrement,
                                {}, &C::IsSpinIncrementStored),
      publishedValue<C, TdgSpinOptions>("SpinOptions", K::Set, &C::SpinOptions, &C::SetSpinOptions,
                                        Variant(int(allSpinOptions)), nullptr, spinOptionNames),
      publishedValue<C, TdgDrawOption>("StretchPicture", K::Enumeration, &C::StretchPicture,
                                       &C::SetStretchPicture, Variant(int(dopDefault)), nullptr,
                                       drawOptionNames),
      publishedValue<C, TdgVertAlignment>("VertAlignment", K::Enumeration, &C::VertAlignment,
                                          &C::SetVertAlignment, Variant(int(vtaDefault)), nullptr,
                                          vertAlignmentNames),
      publishedValue<C, bool>("Visible", K::Boolean, &C::Visible, &C::SetVisible, true),
      publishedValue<C, TdgWordWrap>("WordWrap", K::Enumeration, &C::WordWrap, &C::SetWordWrap,
                                     Variant(int(wwDefault)), nullptr, wordWrapNames),
  };
  return table;
}

} // namespace marrowen
