#include "grid/data/cells.h"

#include "classlib/componentstream.h"
#include "grid/data/colrow.h"
#include "grid/data/component.h"
#include "grid/data/gridutils.h"
#include "grid/data/links.h"
#include "grid/data/tables.h"

namespace marrowen {

namespace {

// The properties a direct paint of a cell may change without the cell being
// invalidated again.
bool drawingOnly(int number) {
  switch (number) {
  case pnColor:
  case pnFont:
  case pnAlign:
  case pnAlignment:
  case pnWordWrap:
  case pnParentFont:
  case pnPictureOptions:
    return true;
  default:
    return false;
  }
}

} // namespace

Variant CellPropertyDefault(int number, int subIndex) {
  switch (number) {
  case pnColor:
    return Variant(clNone);
  case pnFont:
  case pnCombo:
  case pnDateTimeDef:
  case pnAlignment:
    return Variant(0);
  case pnLocked:
  case pnAlign:
  case pnIs3D:
    return Variant(false);
  case pnWordWrap:
    return Variant(int(wwDefault));
  case pnButtonType:
    return Variant(int(btDefault));
  case pnDropDownStyle:
    return Variant(int(ddDropDown));
  case pnReadOnly:
    return Variant(int(roDefault));
  case pnParentFont:
  case pnParentCombo:
    return Variant(true);
  case pnMaskName:
    return Variant("");
  case pnPictureOptions:
    return subIndex >= 1 && subIndex <= 4 ? Variant(int(dopDefault)) : Variant();
  case pnControlType:
    return Variant(int(ctDefault));
  case pnSpinOptions:
    return Variant(int(allSpinOptions));
  case pnSpinIncrement:
    return Variant(1.0);
  case pnHorzAlignment:
    return Variant(int(htaDefault));
  case pnVertAlignment:
    return Variant(int(vtaDefault));
  default:
    return {};
  }
}

namespace {

constexpr int resetOrder[] = {pnColor,       pnFont,          pnIs3D,          pnAlign,
                              pnAlignment,   pnHorzAlignment, pnVertAlignment, pnLocked,
                              pnWordWrap,    pnButtonType,    pnDropDownStyle, pnReadOnly,
                              pnParentFont,  pnCombo,         pnParentCombo,   pnPictureOptions,
                              pnControlType, pnSpinOptions,   pnSpinIncrement, pnDateTimeDef,
                              pnMaskName};

} // namespace

// ---------------------------------------------------------------------------
// Elements

TdgCustomPropElement::~TdgCustomPropElement() = default;

Variant TdgCustomPropElement::GetProp(int number, int subIndex) const {
  switch (number) {
  case pnColor:
    return Variant(color_);
  case pnFont:
    return Variant(font_ ? 1 : 0);
  case pnLocked:
    return Variant(locked_);
  case pnAlign:
    return Variant(align_);
  case pnAlignment:
    return Variant(alignment_);
  case pnIs3D:
    return Variant(is3D_);
  case pnWordWrap:
    return Variant(int(wordWrap_));
  case pnButtonType:
    return Variant(int(buttonType_));
  case pnDropDownStyle:
    return Variant(int(combo_ ? combo_->DropDownStyle() : dropDownStyle_));
  case pnReadOnly:
    return Variant(int(readOnly_));
  case pnParentFont:
    return Variant(parentFont_);
  case pnMaskName:
    return Variant(maskName_);
  case pnCombo:
    return Variant(combo_ ? 1 : 0);
  case pnParentCombo:
    return Variant(parentCombo_);
  case pnPictureOptions:
    return subIndex >= 1 && subIndex <= 4 ? Variant(int(pictures_[subIndex - 1])) : Variant();
  case pnControlType:
    return Variant(int(controlType_));
  case pnSpinOptions:
    return Variant(int(spinOptions_));
  case pnSpinIncrement:
    return Variant(spinIncrement_);
  case pnHorzAlignment:
    return Variant(int(!align_           ? htaDefault
                       : alignment_ == 1 ? htaRight
                       : alignment_ == 2 ? htaCenter
                                         : htaLeft));
  case pnVertAlignment:
    return Variant(int(vertAlignment_));
  case pnDateTimeDef:
    return Variant(dateTimeDef_ ? 1 : 0);
  default:
    return {};
  }
}

void TdgCustomPropElement::SetProp(const Variant &value, int number, int subIndex) {
  switch (number) {
  case pnColor:
    color_ = value.toInteger();
    break;
  case pnFont:
    if (value.toInteger() == 0)
      SetFont(nullptr);
    break;
  case pnLocked:
    locked_ = value.toBoolean();
    break;
  case pnAlign:
    align_ = value.toBoolean();
    break;
  case pnAlignment:
    alignment_ = value.toInteger();
    break;
  case pnIs3D:
    is3D_ = value.toBoolean();
    break;
  case pnWordWrap:
    wordWrap_ = TdgWordWrap(value.toInteger());
    break;
  case pnButtonType:
    buttonType_ = TdgButtonType(value.toInteger());
    if (buttonType_ == btCombo)
      Grid->ensureSharedCombo();
    break;
  case pnDropDownStyle:
    dropDownStyle_ = TdgDropDownStyle(value.toInteger());
    if (combo_)
      combo_->SetDropDownStyle(dropDownStyle_);
    break;
  case pnReadOnly:
    readOnly_ = TdgReadOnly(value.toInteger());
    break;
  case pnParentFont:
    SetParentFontFlag(value.toBoolean());
    break;
  case pnMaskName:
    maskName_ = value.toString();
    break;
  case pnCombo:
    if (value.toInteger() == 0)
      combo_.reset();
    break;
  case pnParentCombo:
    parentCombo_ = value.toBoolean();
    if (parentCombo_)
      combo_.reset();
    break;
  case pnPictureOptions:
    if (subIndex >= 1 && subIndex <= 4)
      pictures_[subIndex - 1] = TdgDrawOption(value.toInteger());
    break;
  case pnControlType:
    controlType_ = TdgControlType(value.toInteger());
    break;
  case pnSpinOptions:
    spinOptions_ = TdgSpinOptions(value.toInteger());
    break;
  case pnSpinIncrement:
    spinIncrement_ = value.toDouble();
    break;
  case pnHorzAlignment: {
    const int h = value.toInteger();
    alignment_ = h == htaRight ? 1 : h == htaCenter ? 2 : 0;
    align_ = h != htaDefault;
    break;
  }
  case pnVertAlignment:
    vertAlignment_ = TdgVertAlignment(value.toInteger());
    break;
  case pnDateTimeDef:
    if (value.toInteger() == 0)
      dateTimeDef_ = nullptr;
    break;
  default:
    break;
  }
}

void TdgCustomPropElement::CopyProperties(const TdgCustomElement &source) {
  const auto &s = static_cast<const TdgCustomPropElement &>(source);
  color_ = s.color_;
  locked_ = s.locked_;
  align_ = s.align_;
  alignment_ = s.alignment_;
  is3D_ = s.is3D_;
  wordWrap_ = s.wordWrap_;
  dropDownStyle_ = s.dropDownStyle_;
  readOnly_ = s.readOnly_;
  maskName_ = s.maskName_;
  parentCombo_ = s.parentCombo_;
  std::copy(std::begin(s.pictures_), std::end(s.pictures_), std::begin(pictures_));
  controlType_ = s.controlType_;
  spinOptions_ = s.spinOptions_;
  spinIncrement_ = s.spinIncrement_;
  vertAlignment_ = s.vertAlignment_;
  keepOwnFonts_ = s.keepOwnFonts_;
  SetProp(Variant(int(s.buttonType_)), pnButtonType, 0);
  dateTimeDef_ = s.dateTimeDef_;
  if (s.combo_)
    EnsureCombo().Assign(*s.combo_);
  else
    combo_.reset();
  SetFont(s.font_.get());
  parentFont_ = s.parentFont_;
}

void TdgCustomPropElement::AssignElement(const TdgCustomElement &source) {
  if (dynamic_cast<const TdgCustomPropElement *>(&source))
    CopyProperties(source);
}

bool TdgCustomPropElement::IsDefault() const {
  for (int number : resetOrder) {
    if (number == pnPictureOptions) {
      for (int i = 0; i < 4; ++i)
        if (pictures_[i] != dopDefault)
          return false;
      continue;
    }
    if (!VarSameValue(GetProp(number, 0), CellPropertyDefault(number, 0)))
      return false;
  }
  return !keepOwnFonts_;
}

void TdgCustomPropElement::ownFontFrom(const TFont &font) {
  ++fontLock_;
  if (!font_) {
    font_ = std::make_unique<TFont>(font);
    font_->OnChange = [this] { FontChanged(); };
  } else
    font_->Assign(font);
  --fontLock_;
}

void TdgCustomPropElement::FontChanged() {
  if (fontLock_ == 0)
    parentFont_ = false;
}

void TdgCustomPropElement::SetFont(const TFont *font) {
  if (font)
    ownFontFrom(*font);
  else
    font_.reset();
  parentFont_ = !font_;
}

void TdgCustomPropElement::SetParentFontFlag(bool value) {
  parentFont_ = value;
  if (value)
    RebaseFont();
  else if (!font_)
    ownFontFrom(parentFont());
}

void TdgCustomPropElement::RebaseFont() {
  if (parentFont_ && font_)
    ownFontFrom(parentFont());
}

void TdgCustomPropElement::DropMirrorFont() {
  if (parentFont_)
    font_.reset();
}

TdgCombo &TdgCustomPropElement::EnsureCombo() {
  if (!combo_) {
    combo_ = Grid->makeCombo();
    combo_->SetDropDownStyle(dropDownStyle_);
  }
  return *combo_;
}

int TdgCellElement::CompareElement(const TdgCustomSet &set, const TdgSetElement &other) const {
  const auto &o = static_cast<const TdgCellElement &>(other);
  const std::intptr_t keys[2] = {o.DataCol, o.DataRow};
  return CompareKeys(set, keys);
}

int TdgCellElement::CompareKeys(const TdgCustomSet &, const std::intptr_t keys[2]) const {
  if (DataRow != keys[1])
    return DataRow > keys[1] ? cmpGoLeft : cmpGoRight;
  if (DataCol != keys[0])
    return DataCol > keys[0] ? cmpGoLeft : cmpGoRight;
  return cmpEqual;
}

std::unique_ptr<TdgSetElement> TdgCellElement::CloneElement() const {
  auto copy = std::make_unique<TdgCellElement>(Grid, DataCol, DataRow);
  copy->AssignElement(*this);
  return copy;
}

void TdgCellElement::AssignElement(const TdgCustomElement &source) {
  TdgCustomPropElement::AssignElement(source);
  if (const auto *cell = dynamic_cast<const TdgCellElement *>(&source)) {
    DataCol = cell->DataCol;
    DataRow = cell->DataRow;
  }
}

void TdgCellElement::FontChanged() {
  if (fontLock_ > 0)
    return;
  TdgCustomPropElement::FontChanged();
  Grid->repaintCell(DataCol, DataRow);
  if (Grid->currentDataCol() == DataCol && Grid->currentDataRow() == DataRow)
    Grid->refreshEditor();
}

void TdgCellElement::SetParentFontFlag(bool value) {
  TdgCustomPropElement::SetParentFontFlag(value);
  if (value && !keepOwnFonts_ && !Grid->parentFontCopies())
    font_.reset();
  Grid->repaintCell(DataCol, DataRow);
}

void TdgCellElement::RebaseFont() { TdgCustomPropElement::RebaseFont(); }

TdgCombo &TdgCellElement::EnsureCombo() {
  const bool made = !combo_;
  TdgCombo &combo = TdgCustomPropElement::EnsureCombo();
  if (made)
    combo.SetWidth(Grid->colWidth(Grid->displayColOf(DataCol)));
  return combo;
}

// ---------------------------------------------------------------------------
// Sets

// A copied element is made for this set's grid before it takes the source's
// values: its combo must belong to this grid, not to the one it came from.
TdgSetNode *TdgCustomPropSet::CreateNode(const SetKey &key) {
  if (!IsCopying())
    return TdgObjectSet::CreateNode(key);
  const auto &source = static_cast<const TdgCustomPropElement &>(*key.element);
  std::unique_ptr<TdgCustomPropElement> copy = MakeElement(keysOf(source));
  copy->AssignElement(source);
  return new TdgObjectSetNode(copy.release());
}

TdgCustomPropElement *TdgCustomPropSet::AddElement(std::unique_ptr<TdgCustomPropElement> element) {
  return static_cast<TdgCustomPropElement *>(Add(std::move(element)));
}

bool TdgCustomPropSet::DropIfDefault(TdgCustomPropElement *element) {
  if (!element || !element->IsDefault())
    return false;
  RemoveElement(element);
  return true;
}

bool TdgCustomPropSet::SetProperty(CellKeys keys, int number, int subIndex, const Variant &value,
                                   bool, TdgCustomPropElement *&element) {
  const Variant current =
      element ? element->GetProp(number, subIndex) : CellPropertyDefault(number, subIndex);
  if (VarSameValue(current, value))
    return false;
  if (element) {
    element->SetProp(value, number, subIndex);
    if (VarSameValue(value, CellPropertyDefault(number, subIndex)) && DropIfDefault(element))
      element = nullptr;
  } else {
    std::unique_ptr<TdgCustomPropElement> made = MakeElement(keys);
    made->SetProp(value, number, subIndex);
    element = AddElement(std::move(made));
  }
  return true;
}

void TdgCustomPropSet::SetKeepOwnFonts(CellKeys keys, bool flag, TdgCustomPropElement *&element) {
  if (flag && !element)
    element = AddElement(MakeElement(keys));
  if (!element)
    return;
  element->SetKeepOwnFontsFlag(flag);
  if (!flag) {
    element->DropMirrorFont();
    if (DropIfDefault(element))
      element = nullptr;
  }
}

void TdgCustomPropSet::ResetProperties(TdgCustomPropElement *element, std::uint32_t flags,
                                       bool notify) {
  if (!element)
    return;
  const CellKeys keys = keysOf(*element);
  bool first = true;
  for (int number : resetOrder) {
    if (!element || !(flags & resetBit(number)))
      continue;
    const bool withNotice = number == pnMaskName      ? true
                            : number == pnDateTimeDef ? false
                                                      : first && notify;
    bool changed = false;
    if (number == pnPictureOptions) {
      for (int sub = 1; sub <= 4 && element; ++sub)
        changed |= SetProperty(keys, number, sub, CellPropertyDefault(number, sub),
                               withNotice && !changed, element);
    } else
      changed = SetProperty(keys, number, 0, CellPropertyDefault(number, 0), withNotice, element);
    if (changed && number != pnMaskName && number != pnDateTimeDef)
      first = false;
  }
}

void TdgCustomPropSet::ResetAll(std::uint32_t flags, bool notify) {
  const std::unique_ptr<TdgSetList> list = ToList();
  std::vector<CellKeys> keys;
  for (int i = 1; i <= list->Count(); ++i)
    keys.push_back(keysOf(*static_cast<TdgCustomPropElement *>(list->Get(i))));
  // Each reset may free its element, so they are found again by key.
  for (const CellKeys &k : keys)
    ResetProperties(static_cast<TdgCustomPropElement *>(Find(k.col, k.row)), flags, notify);
}

std::unique_ptr<TdgCustomPropElement> TdgCellPropSet::MakeElement(CellKeys keys) {
  return std::make_unique<TdgCellElement>(Grid, keys.col, keys.row);
}

TdgCustomPropElement *TdgCellPropSet::AddElement(std::unique_ptr<TdgCustomPropElement> element) {
  auto *added = static_cast<TdgCellElement *>(TdgCustomPropSet::AddElement(std::move(element)));
  Grid->cellElementAdded(*added);
  return added;
}

void TdgCellPropSet::RemoveElement(TdgCustomPropElement *element) {
  auto *cell = static_cast<TdgCellElement *>(element);
  Grid->cellElementRemoved(*cell);
  Remove(cell->DataCol, cell->DataRow);
}

CellKeys TdgCellPropSet::keysOf(const TdgCustomPropElement &element) const {
  const auto &cell = static_cast<const TdgCellElement &>(element);
  return {cell.DataCol, cell.DataRow};
}

bool TdgCellPropSet::SetProperty(CellKeys keys, int number, int subIndex, const Variant &value,
                                 bool notifyCell, TdgCustomPropElement *&element) {
  if (!TdgCustomPropSet::SetProperty(keys, number, subIndex, value, notifyCell, element))
    return false;
  if (number == pnMaskName) {
    Grid->reapplyMask(keys.col, keys.row);
    return true;
  }
  if (!notifyCell || (drawingOnly(number) && Grid->directCellPaint()))
    return true;
  if (!Grid->paintSuppressed() && !Grid->isDestroying() && keys.col >= 0 &&
      keys.col <= Grid->Cols() && keys.row >= 0 && keys.row <= Grid->Rows())
    Grid->invalidateCell(Grid->displayColOf(keys.col), Grid->displayRowOf(keys.row));
  if (Grid->currentDataCol() == keys.col && Grid->currentDataRow() == keys.row) {
    Grid->refreshEditor();
    Grid->reenterCell();
  }
  return true;
}

void TdgCellPropSet::SetKeepOwnFonts(CellKeys keys, bool flag, TdgCustomPropElement *&element) {
  TdgCoordList &kept = Grid->keptFontCells();
  kept.RemovePair(keys.col, keys.row);
  if (flag)
    kept.AddPair(keys.col, keys.row);
  TdgCustomPropSet::SetKeepOwnFonts(keys, flag, element);
}

void TdgCellPropSet::RebaseKeptFonts() {
  const TdgCoordList &kept = Grid->keptFontCells();
  int index = 0, col, row;
  while (kept.NextPair(index, col, row))
    if (TdgCellElement *element = FindCell(col, row))
      element->RebaseFont();
}

// ---------------------------------------------------------------------------
// The cell object

namespace {

constexpr std::string_view buttonTypeNames[] = {
    "btCombo",    "btNormal",           "btNone",         "btDefault", "btVertSpin",
    "btHorzSpin", "btDateTimeDropDown", "btDateTimePopup"};
constexpr std::string_view drawOptionNames[] = {"dopOn", "dopOff", "dopDefault"};
constexpr std::string_view controlTypeNames[] = {"ctNone", "ctText", "ctCheck", "ctPicture",
                                                 "ctDefault"};
constexpr std::string_view dropDownStyleNames[] = {"ddDropDown", "ddDropDownList"};
constexpr std::string_view readOnlyNames[] = {"roOn", "roOff", "roDefault"};
constexpr std::string_view vertAlignmentNames[] = {"vtaTop", "vtaBottom", "vtaCenter",
                                                   "vtaDefault"};
constexpr std::string_view wordWrapNames[] = {"wwOn", "wwOff", "wwDefault"};
constexpr std::string_view spinOptionNames[] = {"spoAutoRepeat", "spoAutoIncrement", "spoKeyEdit"};

PublishedProperty cellProperty(std::string_view name, PropKind kind, int number, int subIndex,
                               std::span<const std::string_view> members = {}) {
  PublishedProperty p;
  p.name = name;
  p.kind = kind;
  p.get = [number, subIndex](const Published &o) {
    return static_cast<const TdgCell &>(o).Get(number, subIndex);
  };
  p.set = [number, subIndex](Published &o, const Variant &v) {
    static_cast<TdgCell &>(o).Set(number, v, subIndex);
  };
  p.defaultValue = CellPropertyDefault(number, subIndex);
  p.members = members;
  if (number == pnSpinIncrement)
    p.stored = [](const Published &o) {
      return static_cast<const TdgCell &>(o).Get(pnSpinIncrement).toDouble() != 1.0;
    };
  return p;
}

} // namespace

std::span<const PublishedProperty> TdgCell::publishedProperties() const {
  using K = PropKind;
  static const PublishedProperty table[] = {
      cellProperty("ButtonType", K::Enumeration, pnButtonType, 0, buttonTypeNames),
      cellProperty("CenterPicture", K::Enumeration, pnPictureOptions, 3, drawOptionNames),
      cellProperty("Color", K::Integer, pnColor, 0),
      cellProperty("ControlType", K::Enumeration, pnControlType, 0, controlTypeNames),
      dateTimeDefProperty<TdgCell>(),
      cellProperty("DropDownStyle", K::Enumeration, pnDropDownStyle, 0, dropDownStyleNames),
      [] {
        PublishedProperty p;
        p.name = "Font";
        p.kind = K::Font;
        p.getFont = [](const Published &o) -> const TFont * {
          const auto &cell = static_cast<const TdgCell &>(o);
          return cell.ParentFont() ? nullptr : cell.Font();
        };
        p.setFont = [](Published &o, const TFont *f) { static_cast<TdgCell &>(o).SetFont(f); };
        return p;
      }(),
      cellProperty("HorzAlignment", K::Enumeration, pnHorzAlignment, 0, horzAlignmentNames),
      cellProperty("Is3D", K::Boolean, pnIs3D, 0),
      cellProperty("KeepAspectRatio", K::Enumeration, pnPictureOptions, 4, drawOptionNames),
      cellProperty("MaskName", K::String, pnMaskName, 0),
      cellProperty("ParentCombo", K::Boolean, pnParentCombo, 0),
      cellProperty("ParentFont", K::Boolean, pnParentFont, 0),
      cellProperty("ReadOnly", K::Enumeration, pnReadOnly, 0, readOnlyNames),
      cellProperty("ShrinkPicture", K::Enumeration, pnPictureOptions, 2, drawOptionNames),
      cellProperty("SpinIncrement", K::Double, pnSpinIncrement, 0),
      cellProperty("SpinOptions", K::Set, pnSpinOptions, 0, spinOptionNames),
      cellProperty("StretchPicture", K::Enumeration, pnPictureOptions, 1, drawOptionNames),
      cellProperty("VertAlignment", K::Enumeration, pnVertAlignment, 0, vertAlignmentNames),
      cellProperty("WordWrap", K::Enumeration, pnWordWrap, 0, wordWrapNames),
  };
  return table;
}

void TdgCell::Assign(const TdgCell &source) {
  if (&source == this)
    return;
  CopyPublishedProperties(*this, source, "Font;ParentFont");
  if (TdgCombo *combo = source.Combo())
    grid_->ensureCellCombo(DataCol, DataRow).Assign(*combo);
  SetParentFont(source.ParentFont());
  if (!source.ParentFont())
    SetFont(source.Font());
}

void TdgCell::writeDefinedProperties(ComponentWriter &w, std::string_view prefix) const {
  if (TdgCombo *combo = Combo(); combo && ButtonType() == btCombo) {
    w.writeName(std::string(prefix) + "Combo");
    combo->writeInnerGrid(w);
  }
}

bool TdgCell::readDefinedProperty(std::string_view name, ComponentReader &r) {
  if (!sameName(name, "Combo"))
    return false;
  grid_->ensureCellCombo(DataCol, DataRow).readInnerGrid(r);
  return true;
}

} // namespace marrowen
