#pragma once

#include "grid/data/font.h"
#include "grid/data/gridhost.h"
#include "grid/data/gridtypes.h"
#include "grid/data/published.h"
#include "grid/data/sets.h"

#include <memory>
#include <string>

namespace marrowen {

class TdgDateTimeDefComponent;

// The value a cell property has while the cell has no element of its own, or
// its element was never given one: the one table every reader of cell
// properties falls back on.
Variant CellPropertyDefault(int number, int subIndex);

// An element of a property set: one value per property number.
class TdgCustomElement : public TdgSetElement {
public:
  explicit TdgCustomElement(TdgGridHost *grid) : Grid(grid) {}
  // The property's value; objects (font, combo, date-time definition) answer
  // 1 while held and 0 while not. Unknown numbers answer Unassigned.
  virtual Variant GetProp(int number, int subIndex) const = 0;
  // Objects can only be dropped this way (a value of 0).
  virtual void SetProp(const Variant &value, int number, int subIndex) = 0;
  virtual void CopyProperties(const TdgCustomElement &) {}
  virtual void AssignElement(const TdgCustomElement &) {}
  virtual bool IsDefault() const = 0;

  TdgGridHost *Grid;
};

// Every per-cell property at its default when made.
class TdgCustomPropElement : public TdgCustomElement {
public:
  using TdgCustomElement::TdgCustomElement;
  ~TdgCustomPropElement() override;

  Variant GetProp(int number, int subIndex) const override;
  void SetProp(const Variant &value, int number, int subIndex) override;
  void CopyProperties(const TdgCustomElement &source) override;
  void AssignElement(const TdgCustomElement &source) override;
  bool IsDefault() const override;

  virtual void FontChanged();
  virtual void SetFont(const TFont *font);
  virtual void SetParentFontFlag(bool value);
  virtual void RebaseFont();
  virtual TdgCombo &EnsureCombo();

  TFont *Font() const { return font_.get(); }
  TdgCombo *Combo() const { return combo_.get(); }
  TdgDateTimeDefComponent *DateTimeDef() const { return dateTimeDef_; }
  void SetDateTimeDef(TdgDateTimeDefComponent *def) { dateTimeDef_ = def; }
  bool KeepOwnFonts() const { return keepOwnFonts_; }
  void SetKeepOwnFontsFlag(bool v) { keepOwnFonts_ = v; }
  void DropMirrorFont();
  // Takes a copy of the font without changing whether it follows its parents.
  void CopyFont(const TFont &font) { ownFontFrom(font); }

protected:
  virtual const TFont &parentFont() const { return Grid->Font(); }
  void ownFontFrom(const TFont &font);

  TColor color_ = clNone;
  std::unique_ptr<TFont> font_;
  bool locked_ = false;
  bool align_ = false;
  int alignment_ = 0;
  bool is3D_ = false;
  TdgWordWrap wordWrap_ = wwDefault;
  TdgButtonType buttonType_ = btDefault;
  TdgDropDownStyle dropDownStyle_ = ddDropDown;
  TdgReadOnly readOnly_ = roDefault;
  bool parentFont_ = true;
  std::string maskName_;
  std::unique_ptr<TdgCombo> combo_;
  bool parentCombo_ = true;
  TdgDrawOption pictures_[4] = {dopDefault, dopDefault, dopDefault, dopDefault};
  TdgControlType controlType_ = ctDefault;
  TdgSpinOptions spinOptions_ = allSpinOptions;
  double spinIncrement_ = 1.0;
  TdgVertAlignment vertAlignment_ = vtaDefault;
  TdgDateTimeDefComponent *dateTimeDef_ = nullptr;
  bool keepOwnFonts_ = false;
  int fontLock_ = 0;
};

// The own properties of one cell, keyed (and ordered) by data row, then data
// column.
class TdgCellElement : public TdgCustomPropElement {
public:
  TdgCellElement(TdgGridHost *grid, int dataCol, int dataRow)
      : TdgCustomPropElement(grid), DataCol(dataCol), DataRow(dataRow) {}

  int CompareElement(const TdgCustomSet &set, const TdgSetElement &other) const override;
  int CompareKeys(const TdgCustomSet &set, const std::intptr_t keys[2]) const override;
  std::unique_ptr<TdgSetElement> CloneElement() const override;
  void AssignElement(const TdgCustomElement &source) override;
  void FontChanged() override;
  void SetParentFontFlag(bool value) override;
  void RebaseFont() override;
  TdgCombo &EnsureCombo() override;

  int DataCol;
  int DataRow;

protected:
  const TFont &parentFont() const override { return Grid->cellFont(DataCol, DataRow); }
};

// Keys of a cell: column first, row second.
struct CellKeys {
  int col = 0, row = 0;
};

class TdgCustomPropSet : public TdgObjectSet {
public:
  explicit TdgCustomPropSet(TdgGridHost *grid) : Grid(grid) {}

  virtual std::unique_ptr<TdgCustomPropElement> MakeElement(CellKeys keys) = 0;
  virtual TdgCustomPropElement *AddElement(std::unique_ptr<TdgCustomPropElement> element);
  virtual void RemoveElement(TdgCustomPropElement *element) = 0;
  virtual bool DropIfDefault(TdgCustomPropElement *element);
  // Stores one property; answers whether it changed. `element` is the cell's
  // element or null, and is updated when one is made or dropped.
  virtual bool SetProperty(CellKeys keys, int number, int subIndex, const Variant &value,
                           bool notifyCell, TdgCustomPropElement *&element);
  virtual void SetKeepOwnFonts(CellKeys keys, bool flag, TdgCustomPropElement *&element);
  // Puts the properties whose bits are set back to their defaults.
  void ResetProperties(TdgCustomPropElement *element, std::uint32_t flags, bool notify);
  void ResetAll(std::uint32_t flags, bool notify);

  TdgGridHost *Grid;

protected:
  // A copied set's elements are clones that belong to this set's grid.
  TdgSetNode *CreateNode(const SetKey &key) override;
  virtual CellKeys keysOf(const TdgCustomPropElement &element) const = 0;
};

// The grid's cell properties.
class TdgCellPropSet : public TdgCustomPropSet {
public:
  using TdgCustomPropSet::TdgCustomPropSet;

  TdgCellElement *FindCell(int dataCol, int dataRow) const {
    return static_cast<TdgCellElement *>(Find(dataCol, dataRow));
  }
  std::unique_ptr<TdgCustomPropElement> MakeElement(CellKeys keys) override;
  TdgCustomPropElement *AddElement(std::unique_ptr<TdgCustomPropElement> element) override;
  void RemoveElement(TdgCustomPropElement *element) override;
  bool SetProperty(CellKeys keys, int number, int subIndex, const Variant &value, bool notifyCell,
                   TdgCustomPropElement *&element) override;
  void SetKeepOwnFonts(CellKeys keys, bool flag, TdgCustomPropElement *&element) override;
  // After the grid's, a column's or a row's font changed: cells that keep own
  // fonts take the font the grid now computes for them.
  void RebaseKeptFonts();

protected:
  CellKeys keysOf(const TdgCustomPropElement &element) const override;
};

// The published face of one cell: each property goes to the grid's per-cell
// accessors for (DataCol, DataRow).
class TdgCell : public Published {
public:
  TdgCell(TdgGridHost *grid, int dataCol, int dataRow)
      : DataCol(dataCol), DataRow(dataRow), grid_(grid) {}

  std::span<const PublishedProperty> publishedProperties() const override;
  void Assign(const TdgCell &source);
  void writeDefinedProperties(ComponentWriter &writer, std::string_view prefix) const override;
  bool readDefinedProperty(std::string_view name, ComponentReader &reader) override;

  Variant Get(int number, int subIndex = 0) const {
    return grid_->cellProperty(DataCol, DataRow, number, subIndex);
  }
  void Set(int number, const Variant &value, int subIndex = 0) {
    grid_->setCellProperty(DataCol, DataRow, number, subIndex, value);
  }

  TColor Color() const { return Get(pnColor).toInteger(); }
  void SetColor(TColor v) { Set(pnColor, Variant(v)); }
  TdgButtonType ButtonType() const { return TdgButtonType(Get(pnButtonType).toInteger()); }
  void SetButtonType(TdgButtonType v) { Set(pnButtonType, Variant(int(v))); }
  const TFont *Font() const { return grid_->cellOwnFont(DataCol, DataRow); }
  void SetFont(const TFont *font) { grid_->setCellFont(DataCol, DataRow, font); }
  bool ParentFont() const { return Get(pnParentFont).toBoolean(); }
  void SetParentFont(bool v) { Set(pnParentFont, Variant(v)); }
  TdgCombo *Combo() const { return grid_->cellCombo(DataCol, DataRow); }
  TdgDateTimeDefComponent *DateTimeDef() const { return grid_->cellDateTimeDef(DataCol, DataRow); }
  void SetDateTimeDef(TdgDateTimeDefComponent *def) {
    grid_->setCellDateTimeDef(DataCol, DataRow, def);
  }

  TdgGridHost *Grid() const { return grid_; }
  int DataCol;
  int DataRow;

private:
  TdgGridHost *grid_;
};

} // namespace marrowen
