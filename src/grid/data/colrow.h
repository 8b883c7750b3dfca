#pragma once

#include "grid/data/font.h"
#include "grid/data/gridhost.h"
#include "grid/data/gridtypes.h"
#include "grid/data/published.h"

#include <memory>
#include <string>

namespace marrowen {

class TdgDateTimeDefComponent;

// What columns and rows share: their display and edit properties, own fonts
// and combo. A change tells the grid what to repaint or refresh; an object
// with every default is one the grid need not keep (rows) or stream.
class ColRowProperties : public Published {
public:
  explicit ColRowProperties(TdgGridHost *grid) : grid_(grid) {}
  ~ColRowProperties() override;
  ColRowProperties(const ColRowProperties &) = delete;
  ColRowProperties &operator=(const ColRowProperties &) = delete;

  TdgGridHost *Grid() const { return grid_; }

  TdgButtonType ButtonType() const { return buttonType_; }
  void SetButtonType(TdgButtonType v);
  TdgDrawOption CenterPicture() const { return pictures_[2]; }
  void SetCenterPicture(TdgDrawOption v) { setPicture(2, v); }
  TdgDrawOption KeepAspectRatio() const { return pictures_[3]; }
  void SetKeepAspectRatio(TdgDrawOption v) { setPicture(3, v); }
  TdgDrawOption ShrinkPicture() const { return pictures_[1]; }
  void SetShrinkPicture(TdgDrawOption v) { setPicture(1, v); }
  TdgDrawOption StretchPicture() const { return pictures_[0]; }
  void SetStretchPicture(TdgDrawOption v) { setPicture(0, v); }
  TColor Color() const { return color_; }
  void SetColor(TColor v);
  TdgControlType ControlType() const { return controlType_; }
  virtual void SetControlType(TdgControlType v);
  TdgDateTimeDefComponent *DateTimeDef() const { return dateTimeDef_; }
  void SetDateTimeDef(TdgDateTimeDefComponent *v);
  TdgDropDownStyle DropDownStyle() const;
  void SetDropDownStyle(TdgDropDownStyle v);
  TdgHorzAlignment HorzAlignment() const;
  void SetHorzAlignment(TdgHorzAlignment v);
  int Alignment() const { return alignment_; }
  void SetAlignment(int v);
  bool Align() const { return align_; }
  void SetAlign(bool v);
  bool Is3D() const { return is3D_; }
  void SetIs3D(bool v);
  const std::string &MaskName() const { return maskName_; }
  virtual void SetMaskName(std::string v);
  bool ParentCombo() const { return parentCombo_; }
  void SetParentCombo(bool v);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool v);
  double SpinIncrement() const { return spinIncrement_; }
  void SetSpinIncrement(double v) { spinIncrement_ = v; }
  bool IsSpinIncrementStored() const { return spinIncrement_ != 1.0; }
  TdgSpinOptions SpinOptions() const { return spinOptions_; }
  void SetSpinOptions(TdgSpinOptions v) { spinOptions_ = v; }
  TdgVertAlignment VertAlignment() const { return vertAlignment_; }
  void SetVertAlignment(TdgVertAlignment v);
  bool Visible() const { return visible_; }
  virtual void SetVisible(bool v) = 0;
  TdgWordWrap WordWrap() const { return wordWrap_; }
  void SetWordWrap(TdgWordWrap v);

  // Fonts: no own font while ParentFont, unless the grid's font state or
  // KeepOwnFonts asks for a mirror of the grid's font.
  TFont *Font();
  const TFont *OwnFont() const { return font_.get(); }
  void SetFont(const TFont *font);
  bool ParentFont() const { return parentFont_; }
  void SetParentFont(bool v);
  bool KeepOwnFonts() const { return keepOwnFonts_; }
  virtual void SetKeepOwnFonts(bool v);

  TdgCombo *Combo() const { return combo_.get(); }
  TdgCombo &EnsureCombo();

  virtual bool IsDefault() const;
  virtual void CopyProperties(const ColRowProperties &source);
  // The grid's font changed: a font that mirrors it takes it again.
  void ParentFontChanged() {
    if (parentFont_ && font_)
      makeOwnFont(font_, parentFont_, parentFontOf());
  }
  virtual void ResetProperties(std::uint32_t flags);

  void writeDefinedProperties(ComponentWriter &writer, std::string_view prefix) const override;
  bool readDefinedProperty(std::string_view name, ComponentReader &reader) override;

protected:
  // The grid's font a parent-font object mirrors.
  virtual const TFont &parentFontOf() const { return grid_->Font(); }
  virtual void repaint() = 0;
  virtual void repaintHeadingArea() { repaint(); }
  virtual bool isCurrent() const = 0;
  virtual void controlTypeChanged() = 0;
  void refreshIfCurrent() {
    if (isCurrent())
      grid_->refreshEditor();
  }
  void repaintAndRefresh() {
    repaint();
    refreshIfCurrent();
  }
  void setPicture(int i, TdgDrawOption v);
  void fontChanged(TFont &font, bool &parentFlag);
  void makeOwnFont(std::unique_ptr<TFont> &font, bool &parentFlag, const TFont &parent);

  TdgGridHost *grid_;
  TdgButtonType buttonType_ = btDefault;
  TdgDrawOption pictures_[4] = {dopDefault, dopDefault, dopDefault, dopDefault};
  TColor color_ = clNone;
  TdgControlType controlType_ = ctDefault;
  TdgDateTimeDefComponent *dateTimeDef_ = nullptr;
  TdgDropDownStyle dropDownStyle_ = ddDropDown;
  int alignment_ = 0;
  bool align_ = false;
  bool is3D_ = false;
  std::string maskName_;
  bool parentCombo_ = true;
  bool readOnly_ = false;
  double spinIncrement_ = 1.0;
  TdgSpinOptions spinOptions_ = allSpinOptions;
  TdgVertAlignment vertAlignment_ = vtaDefault;
  bool visible_ = true;
  TdgWordWrap wordWrap_ = wwDefault;
  std::unique_ptr<TFont> font_;
  bool parentFont_ = true;
  bool keepOwnFonts_ = false;
  int fontLock_ = 0; // above 0 while own fonts are replaced: no change notification
  std::unique_ptr<TdgCombo> combo_;
};

// One data column's properties; its data column is where the grid's column
// table holds it, its display column is kept here.
class TdgCol : public ColRowProperties {
public:
  explicit TdgCol(TdgGridHost *grid, int displayCol = 0);
  ~TdgCol() override;

  std::span<const PublishedProperty> publishedProperties() const override;

  int DataCol() const { return grid_->dataColAt(displayCol_); }
  int Id = 0;
  // Which properties a layout being read may set on this column.
  std::uint32_t PropertyMask = 0;

  bool AllowGrayed() const { return allowGrayed_; }
  void SetAllowGrayed(bool v);
  const std::string &CheckBoxValues() const { return checkBoxValues_; }
  void SetCheckBoxValues(std::string v);
  int DisplayCol() const { return displayCol_; }
  void SetDisplayCol(int v);
  // The grid's own moves keep the column's position up to date.
  void setDisplayColField(int v) { displayCol_ = v; }
  bool IsDisplayColStored() const;
  const std::string &FieldName() const { return fieldName_; }
  void SetFieldName(std::string v) { fieldName_ = std::move(v); }
  std::string Heading() const { return heading_.empty() ? fieldName_ : heading_; }
  void SetHeading(std::string v);
  int AcceleratorPosition() const { return accelerator_; }
  bool IsHeadingStored() const { return !heading_.empty(); }
  TdgColHeadingButton HeadingButton() const { return headingButton_; }
  void SetHeadingButton(TdgColHeadingButton v);
  TColor HeadingColor() const { return headingColor_; }
  void SetHeadingColor(TColor v);
  TFont *HeadingFont();
  const TFont *OwnHeadingFont() const { return headingFont_.get(); }
  void SetHeadingFont(const TFont *font);
  bool HeadingParentFont() const { return headingParentFont_; }
  void SetHeadingParentFont(bool v);
  TdgHorzAlignment HeadingHorzAlignment() const;
  void SetHeadingHorzAlignment(TdgHorzAlignment v);
  int HeadingAlignment() const { return headingAlignment_; }
  void SetHeadingAlignment(int v);
  bool HeadingAlign() const { return headingAlign_; }
  void SetHeadingAlign(bool v);
  TdgVertAlignment HeadingVertAlignment() const { return headingVertAlignment_; }
  void SetHeadingVertAlignment(TdgVertAlignment v);
  TdgWordWrap HeadingWordWrap() const { return headingWordWrap_; }
  void SetHeadingWordWrap(TdgWordWrap v);
  int MaxLength() const { return maxLength_; }
  void SetMaxLength(int v);
  TdgSortPicture SortPicture() const { return sortPicture_; }
  void SetSortPicture(TdgSortPicture v);
  void SetVisible(bool v) override;
  int Width() const { return width_; }
  void SetWidth(int v);
  int RequestedWidth() const { return requestedWidth_; }
  void setWidthFields(int width, int requested) {
    width_ = width;
    requestedWidth_ = requested;
  }
  void SetKeepOwnFonts(bool v) override;

  TdgCustomButton *Button() const { return button_.get(); }
  // The column's own button (null: the grid's shared one); the editor over
  // the column's current cell takes its size at once.
  void SetButton(std::unique_ptr<TdgCustomButton> button);
  // An own button of that picture and face size; no picture gives none.
  void SetButtonPicture(const Picture &picture, TColor transparentColor, int height, int width);

  bool IsDefault() const override;
  bool IsDefaultWithoutButton() const { return IsDefault() && !button_; }
  void CopyProperties(const ColRowProperties &source) override;
  void CopyAll(const TdgCol &source);
  void Assign(const TdgCol &source);
  void ResetProperties(std::uint32_t flags) override;

  void writeDefinedProperties(ComponentWriter &writer, std::string_view prefix) const override;
  bool readDefinedProperty(std::string_view name, ComponentReader &reader) override;

protected:
  void repaint() override { grid_->repaintColumn(DataCol()); }
  void repaintHeadingArea() override;
  bool isCurrent() const override { return grid_->currentDataCol() == DataCol(); }
  void controlTypeChanged() override { grid_->dropUnfitValues(DataCol(), -1); }

private:
  int displayCol_;
  bool allowGrayed_ = false;
  std::string checkBoxValues_;
  std::string fieldName_;
  std::string heading_;
  int accelerator_ = 0;
  TdgColHeadingButton headingButton_ = cbGrid;
  TColor headingColor_ = clNone;
  std::unique_ptr<TFont> headingFont_;
  bool headingParentFont_ = true;
  int headingAlignment_ = 0;
  bool headingAlign_ = false;
  TdgVertAlignment headingVertAlignment_ = vtaDefault;
  TdgWordWrap headingWordWrap_ = wwDefault;
  int maxLength_ = 0;
  TdgSortPicture sortPicture_ = spNone;
  int width_ = 64;
  int requestedWidth_ = 64;
  std::unique_ptr<TdgCustomButton> button_;
};

// One data row's own properties; rows without any have no object.
class TdgRow : public ColRowProperties {
public:
  // A new row has the grid's default height, as a row without an object has.
  explicit TdgRow(TdgGridHost *grid, int dataRow = 0)
      : ColRowProperties(grid), dataRow_(dataRow), height_(grid->DefaultRowHeight()),
        requestedHeight_(height_) {}
  ~TdgRow() override;

  std::span<const PublishedProperty> publishedProperties() const override;

  int DataRow() const { return dataRow_; }
  void setDataRow(int v) { dataRow_ = v; }
  int DisplayRow() const { return grid_->displayRowOf(dataRow_); }
  void SetDisplayRow(int v) { grid_->setDisplayRowOf(dataRow_, v); }
  bool IsDisplayRowStored() const { return DisplayRow() != dataRow_; }
  int Height() const { return height_; }
  void SetHeight(int v);
  int RequestedHeight() const { return requestedHeight_; }
  void setHeightFields(int height, int requested) {
    height_ = height;
    requestedHeight_ = requested;
  }
  void SetVisible(bool v) override;
  void SetKeepOwnFonts(bool v) override;

  bool IsDefault() const override;
  bool IsDefaultAll() const { return IsDefault(); }
  void CopyProperties(const ColRowProperties &source) override;
  void CopyAll(const TdgRow &source);
  void Assign(const TdgRow &source);
  void ResetProperties(std::uint32_t flags) override;

protected:
  void repaint() override { grid_->repaintRow(dataRow_); }
  bool isCurrent() const override { return grid_->currentDataRow() == dataRow_; }
  void controlTypeChanged() override { grid_->dropUnfitValues(-1, dataRow_); }

private:
  int dataRow_;
  int height_;
  int requestedHeight_;
};

// The member names the stream writes for the enumerations.
extern const std::string_view horzAlignmentNames[4];

} // namespace marrowen
