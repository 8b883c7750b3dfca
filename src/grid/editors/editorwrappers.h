#pragma once

#include "grid/editors/celleditors.h"

#include <memory>

class QPainter;

namespace marrowen {

// The one face through which the grid drives a cell's in-place control,
// whatever its kind: text cells, check-box cells, and cells without an editor
// (whose control never shows). Setting a place, size or visibility equal to
// the current one makes no call on the control.
class TdgCustomGridControl {
public:
  explicit TdgCustomGridControl(std::unique_ptr<TdgGridControl> control);
  virtual ~TdgCustomGridControl();

  TdgGridControl &Control() const { return *FControl; }
  virtual TColor GetColor() const;
  virtual void SetColor(TColor color);
  virtual void SetFont(const QFont &font);
  bool GetVisible() const { return !FControl->isHidden(); }
  void SetVisible(bool value);
  void Hide() { SetVisible(false); }
  void Show() { SetVisible(true); }
  void SetMouseCapture(bool value);
  bool GetMouseCapture() const;

  virtual void SetSelStart(int) {}
  virtual void SetSelLength(int) {}
  virtual void SetSelText(const std::string &) {}
  virtual int GetSelStart() const { return 0; }
  virtual int GetSelLength() const { return 0; }
  virtual std::string GetSelText() const { return {}; }
  virtual void SetValue(const Variant &) {}
  virtual void SetValueNotify(const Variant &, bool) {}
  virtual Variant GetValue() const = 0;
  virtual void SetMaxLength(int) {}
  virtual int GetMaxLength() const { return 0; }
  virtual bool HasText() const = 0;
  virtual bool IsMultiLine() const { return false; }
  virtual void CutToClipboard(bool) {}
  virtual void CopyToClipboard() {}
  virtual void PasteFromClipboard(bool) {}
  virtual void DeleteSelection(bool) {}
  virtual void SelectAll() {}
  virtual void ReapplySelection() {}
  virtual bool Modified() const { return false; }
  // Draws the control's content into a cell rectangle of the grid's painter.
  virtual void Paint(QPainter &painter, bool focused, const QRect &rect) = 0;

  void SetEditable(bool value) { FControl->SetEditable(value); }
  bool GetEditable() const { return FControl->Editable(); }
  void SetSelectable(bool value) { FControl->SetSelectable(value); }
  void SetWantTabs(bool value) { FControl->SetWantTabs(value); }
  void SetKeepSelection(bool value) { FControl->SetKeepSelection(value); }
  void SetHorzAlignment(TdgHorzAlignment value) { FControl->SetHorzAlignment(value); }
  void SetVertAlignment(TdgVertAlignment value) { FControl->SetVertAlignment(value); }
  void SetWordWrap(TdgWordWrap value) { FControl->SetWordWrap(value); }
  void SetTextMargin(int value) { FControl->SetTextMargin(value); }
  bool IsInputChar(char key) const { return FControl->IsInputChar(key); }
  bool Focused() const { return FControl->hasFocus(); }
  void SetFocus();
  void Repaint() { FControl->repaint(); }
  void Invalidate() { FControl->update(); }
  void DblClick() { FControl->DblClick(); }

  int Left() const { return FControl->x(); }
  int Top() const { return FControl->y(); }
  int Width() const { return FControl->width(); }
  int Height() const { return FControl->height(); }
  void SetLeft(int value);
  void SetTop(int value);
  void SetWidth(int value);
  void SetHeight(int value);
  // Place and size in one call, each part only when it changed.
  void SetBounds(const QRect &rect);
  // How many calls have reached the control; tests watch it.
  int ControlCalls() const { return FCalls; }

protected:
  std::unique_ptr<TdgGridControl> FControl;
  int FCalls = 0;
};

class TdgEditGridControl : public TdgCustomGridControl {
public:
  explicit TdgEditGridControl(QWidget *parent);
  TdgGridEditBox &Editor() const { return static_cast<TdgGridEditBox &>(*FControl); }

  void SetSelStart(int charIndex) override;
  void SetSelLength(int charCount) override { Editor().SetSelLength(charCount); }
  void SetSelText(const std::string &text) override { Editor().ReplaceSel(text); }
  int GetSelStart() const override { return Editor().GetSelStart(); }
  int GetSelLength() const override { return Editor().GetSelLength(); }
  std::string GetSelText() const override { return Editor().GetSelText(); }
  void SetValue(const Variant &value) override;
  void SetValueNotify(const Variant &value, bool flag) override;
  Variant GetValue() const override { return Variant(Editor().Text()); }
  void SetMaxLength(int value) override { Editor().SetMaxLength(value); }
  int GetMaxLength() const override { return Editor().MaxLength(); }
  bool HasText() const override { return true; }
  bool IsMultiLine() const override { return Editor().LineCount() >= 2; }
  void CutToClipboard(bool byUser) override { Editor().CutToClipboard(byUser); }
  void CopyToClipboard() override { Editor().CopyToClipboard(); }
  void PasteFromClipboard(bool byUser) override { Editor().PasteFromClipboard(byUser); }
  void DeleteSelection(bool byUser) override { Editor().DeleteSelection(byUser); }
  void SelectAll() override { Editor().SelectAll(); }
  void ReapplySelection() override;
  bool Modified() const override { return Editor().Modified(); }
  void Paint(QPainter &painter, bool focused, const QRect &rect) override;
};

class TdgCheckGridControl : public TdgCustomGridControl {
public:
  explicit TdgCheckGridControl(QWidget *parent);
  TdgGridCheckBox &CheckBox() const { return static_cast<TdgGridCheckBox &>(*FControl); }

  void SetValue(const Variant &value) override { CheckBox().SetValue(value); }
  void SetValueNotify(const Variant &value, bool flag) override {
    CheckBox().SetValueNotify(value, flag);
  }
  Variant GetValue() const override { return CheckBox().GetValue(); }
  bool HasText() const override { return false; }
  bool Modified() const override { return CheckBox().Modified(); }
  void Paint(QPainter &painter, bool focused, const QRect &rect) override;
  void SetCheckBoxStyle(TdgCheckBoxStyle style) { CheckBox().SetCheckBoxStyle(style); }
  void SetAllowGrayed(bool value) { CheckBox().SetAllowGrayed(value); }
  void SetCheckBoxValues(const std::string &values) { CheckBox().SetCheckBoxValues(values); }
  const std::string &GetCheckBoxValues() const { return CheckBox().CheckBoxValues(); }
};

// For picture cells and cells without a control type: nothing to edit.
class TdgDefaultGridControl : public TdgCustomGridControl {
public:
  explicit TdgDefaultGridControl(QWidget *parent);
  TColor GetColor() const override { return clNone; }
  void SetColor(TColor) override {}
  void SetFont(const QFont &) override {}
  Variant GetValue() const override { return Variant(); }
  bool HasText() const override { return false; }
  void Paint(QPainter &, bool, const QRect &) override {}
};

} // namespace marrowen
