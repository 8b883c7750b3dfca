#pragma once

#include "grid/data/buttons.h"
#include "grid/data/gridtypes.h"
#include "grid/data/keys.h"
#include "grid/data/sets.h"
#include "grid/data/variant.h"

#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace marrowen {

class PainterTextMetrics;
class TdgGridControl;

// The notifications a cell control sends its grid. The control never writes
// the cell: it keeps its own content and reports every change here.
using TdgEditKeyEvent = std::function<void(TdgGridControl *, std::uint16_t &key, TShiftState)>;
using TdgEditKeyPressEvent = std::function<void(TdgGridControl *, char &key)>;
using TdgEditCancelEvent = std::function<void(TdgGridControl *, bool &cancel)>;
using TdgEditByUserCancelEvent = std::function<void(TdgGridControl *, bool byUser, bool &cancel)>;
using TdgEditSelChangeEvent = std::function<void(TdgGridControl *, bool textChanged)>;
using TdgEditChangeEvent =
    std::function<void(TdgGridControl *, bool notify, bool byUser, bool inserted)>;
using TdgEditNotifyEvent = std::function<void(TdgGridControl *)>;
using TdgEditWantKeyEvent = std::function<void(TdgGridControl *, std::uint16_t key, bool &want)>;
using TdgEditInvalidKeyEvent =
    std::function<void(TdgGridControl *, const std::string &text, bool &accept)>;
using TdgEditResizedEvent = std::function<void(TdgGridControl *, bool byUser)>;
using TdgEditMouseEvent =
    std::function<void(TdgGridControl *, TMouseButton, TShiftState, int x, int y)>;
using TdgEditMouseMoveEvent = std::function<void(TdgGridControl *, TShiftState, int x, int y)>;

// The base of the grid's in-place controls: a child of the grid's viewport
// laid over the current cell. It judges its own double clicks (the editor
// usually appears at the first click of one), reports a click on release
// wherever the button went up, and forwards the keys it leaves alone.
class TdgGridControl : public QWidget {
public:
  explicit TdgGridControl(QWidget *parent = nullptr);
  ~TdgGridControl() override;

  virtual void SetHorzAlignment(TdgHorzAlignment value) { FHorzAlignment = value; }
  virtual void SetVertAlignment(TdgVertAlignment value) { FVertAlignment = value; }
  virtual void SetWordWrap(TdgWordWrap value) { FWordWrap = value; }
  TdgHorzAlignment HorzAlignment() const { return FHorzAlignment; }
  TdgVertAlignment VertAlignment() const { return FVertAlignment; }
  TdgWordWrap WordWrap() const { return FWordWrap; }
  // Answers whether a change may be made (ByUser False for the program's).
  virtual bool CanEdit(bool byUser);
  // Asked before the first change of each change request.
  virtual bool StartEdit(bool byUser);
  virtual bool IsInputChar(char) const { return false; }

  int TextMargin() const { return FTextMargin; }
  void SetTextMargin(int value);
  bool Editable() const { return FEditable; }
  void SetEditable(bool value) { FEditable = value; }
  bool Selectable() const { return FSelectable; }
  void SetSelectable(bool value) { FSelectable = value; }
  bool WantTabs() const { return FWantTabs; }
  void SetWantTabs(bool value) { FWantTabs = value; }
  bool KeepSelection() const { return FKeepSelection; }
  void SetKeepSelection(bool value);
  bool DoubleClickEmulation() const { return FDblClickEmulation; }
  // The grid that owns the control; its focus counts as the control's for
  // drawing the selection and the focus mark.
  QWidget *GridWidget() const { return FGrid; }
  void SetGridWidget(QWidget *grid) { FGrid = grid; }
  // The text is a file name, drawn as the grid draws its names.
  bool ShowsFileNames() const { return FShowsFileNames; }
  void SetShowsFileNames(bool value) {
    FShowsFileNames = value;
    update();
  }
  bool FocusLook() const;

  // The key, character and mouse handling as the window delivers it; tests
  // and the grid call these directly.
  virtual void KeyDown(std::uint16_t &key, TShiftState shift);
  virtual void KeyUp(std::uint16_t &key, TShiftState shift);
  virtual void KeyPress(char &key);
  // Each typed character: one the code page holds as a key byte (KeyPress),
  // any other as its UTF-8 (TypeCharacter), which only a text editor takes.
  void TypeText(const QString &text);
  virtual void TypeCharacter(const std::string &) {}
  virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseMove(TShiftState shift, int x, int y);
  virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
  virtual void DblClick();
  // A left press as the platform delivered it, judged for a double click.
  void LeftPress(TShiftState shift, int x, int y, qint64 time);
  // The grid sets this while it hands a press over from itself.
  void ForgetLastClick() { FLastClickTime = 0; }
  // A press the grid handled itself counts as the first of a double click
  // whose second press comes here.
  void NoteClick(QPoint at, qint64 time) {
    FLastClickTime = std::max<qint64>(time, 1);
    FLastClickPos = at;
  }
  // A release the grid hands over ends a click, as the control's own would.
  void FireClickOnRelease() { FClickOnRelease = true; }
  // Escape is wanted while the grid says so; Return always while it is down.
  virtual bool WantsKey(const QKeyEvent &e);

  TdgEditKeyEvent OnEditKeyDown, OnEditKeyUp;
  TdgEditKeyPressEvent OnEditKeyPress;
  TdgEditCancelEvent OnStartEdit;
  TdgEditByUserCancelEvent OnCanEdit;
  TdgEditSelChangeEvent OnSelChange;
  TdgEditChangeEvent OnChange;
  TdgEditByUserCancelEvent OnUndoEdit;
  TdgEditNotifyEvent OnExitEdit;
  TdgEditWantKeyEvent OnWantKey;
  TdgEditInvalidKeyEvent OnInvalidEditKey;
  TdgEditResizedEvent OnEditTextResized;
  // The class library's events of a control.
  TdgEditKeyEvent OnKeyDown, OnKeyUp;
  TdgEditKeyPressEvent OnKeyPress;
  TdgEditNotifyEvent OnClick, OnDblClick, OnEnter, OnExit;
  TdgEditMouseEvent OnMouseDown, OnMouseUp;
  TdgEditMouseMoveEvent OnMouseMove;

protected:
  // Whether an undo may go ahead: the control holds a change and
  // OnUndoEdit does not cancel it.
  bool UndoAllowed(bool modified);
  void FireSelChange(bool textChanged);
  void FireChange(bool notify, bool byUser, bool inserted);
  void keyPressEvent(QKeyEvent *e) override;
  void keyReleaseEvent(QKeyEvent *e) override;
  void inputMethodEvent(QInputMethodEvent *e) override;
  void mousePressEvent(QMouseEvent *e) override;
  void mouseDoubleClickEvent(QMouseEvent *e) override;
  void mouseMoveEvent(QMouseEvent *e) override;
  void mouseReleaseEvent(QMouseEvent *e) override;
  void moveEvent(QMoveEvent *e) override;
  void focusInEvent(QFocusEvent *e) override;
  void focusOutEvent(QFocusEvent *e) override;
  bool event(QEvent *e) override;

  TdgHorzAlignment FHorzAlignment = htaLeft;
  TdgVertAlignment FVertAlignment = vtaDefault;
  TdgWordWrap FWordWrap = wwOn;
  int FTextMargin = 0;
  bool FEditable = true;
  bool FDblClickEmulation = true;
  bool FWantTabs = true;
  bool FKeepSelection = false;
  bool FSelectable = true;
  bool FClickOnRelease = false;
  bool FReturnDown = false;

private:
  QWidget *FGrid = nullptr;
  bool FShowsFileNames = false;
  qint64 FLastClickTime = 0;
  QPoint FLastClickPos;
};

// The text editor of text cells: keeps the text as code-page bytes, lays it
// out one line with horizontal scrolling or word-wrapped with vertical
// scrolling, and draws it and its caret with the cell text routines so the
// editor and the cell wrap alike. Offsets are 0-based bytes.
class TdgGridEditBox : public TdgGridControl {
public:
  explicit TdgGridEditBox(QWidget *parent = nullptr);
  ~TdgGridEditBox() override;

  void SetHorzAlignment(TdgHorzAlignment value) override;
  void SetVertAlignment(TdgVertAlignment value) override;
  void SetWordWrap(TdgWordWrap value) override;
  bool IsInputChar(char key) const override;

  const std::string &Text() const { return FText; }
  // Replaces the text quietly: the new text is the base for undo.
  void SetText(const std::string &text);
  // Replaces the text as a change; with flag the old text is kept for undo.
  void SetTextNotify(const std::string &text, bool flag);
  void ReplaceSel(const std::string &text);
  std::string GetSelText() const;
  void SelectAll();
  // Character positions; the bytes follow.
  void SetSelStart(int charIndex);
  void SetSelLength(int charCount);
  int GetSelStart() const;
  int GetSelLength() const;
  int SelStartByte() const { return FSelStart; }
  int SelLengthByte() const { return FSelLength; }
  int CaretPos() const { return FCaret; }
  void Undo();
  bool Modified() const { return FModified; }
  const std::string &SavedText() const { return FSavedText; }
  void CutToClipboard(bool byUser);
  void CopyToClipboard();
  void PasteFromClipboard(bool byUser);
  // Removes the selected text, if any, as a change; the clipboard stays.
  void DeleteSelection(bool byUser);
  // Lays the text out again for the present size and scrolls the caret into
  // view: the editor stands over a new cell.
  void Reset();
  int MaxLength() const { return FMaxLength; }
  void SetMaxLength(int value) { FMaxLength = value < 0 ? 0 : value; }
  // The cell's mask: judges text about to go in at a 1-based position and
  // may change it; none for a cell without one.
  std::function<bool(const std::string &text, std::string &insert, int pos)> MaskCheck;
  int LineCount() const { return FLineStarts.Count(); }
  bool MultiLine() const { return FMultiLine; }
  int ScrollStart() const { return FScrollStart; }
  int TopLine() const { return FTopLine; }
  // The caret's place in the client area.
  QPoint CaretPoint() const { return FCaretPoint; }
  bool CaretVisibleNow() const { return FCaretShown && FCaretOn; }
  // Draws the text the editor holds into a cell rectangle of another painter.
  void PaintInto(QPainter &painter, const QRect &rect);

  void KeyDown(std::uint16_t &key, TShiftState shift) override;
  void KeyUp(std::uint16_t &key, TShiftState shift) override;
  void KeyPress(char &key) override;
  void TypeCharacter(const std::string &character) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void DblClick() override;
  // The Ctrl and Shift keys of the editor's own table are its, before any
  // window shortcut; other Ctrl keys go on to the window.
  bool WantsKey(const QKeyEvent &e) override;

protected:
  void paintEvent(QPaintEvent *e) override;
  void resizeEvent(QResizeEvent *e) override;
  void changeEvent(QEvent *e) override;
  void focusInEvent(QFocusEvent *e) override;
  void focusOutEvent(QFocusEvent *e) override;

private:
  const PainterTextMetrics &Metrics() const;
  void Layout();
  int LineOf(int offset) const;
  int LineEnd(int line) const;
  // x of the text's first byte on a line, as the drawing places it.
  int LineOriginX(int line) const;
  int XOf(int offset) const;
  int XOnLine(int line, int offset) const;
  int OffsetAt(int line, int x) const;
  int LineAtY(int y) const;
  void PlaceCaret();
  void ScrollCaretIntoView(double fraction);
  void SetCaret(int offset, bool extend);
  void SetCaretOnLine(int line, int offset, bool extend);
  int StepRight(int offset) const;
  int StepLeft(int offset) const;
  int CharCount(int fromByte, int toByte) const;
  int ByteOfChar(int charIndex) const;
  // A change request: asks StartEdit, keeps the text for undo, replaces the
  // selection and lays out again; answers whether it was made.
  bool ChangeText(const std::string &insert, bool byUser, bool checkLength, double fraction);
  bool InsertTyped(std::string text, bool byUser, bool checkLength);
  void AfterTextChange(bool byUser);
  void ClearSelection() { FSelLength = 0; }

  std::string FText;
  std::string FSavedText;
  bool FModified = false;
  int FSelStart = 0;
  int FSelLength = 0;
  int FCaret = 0;
  int FAnchor = 0;
  int FScrollStart = 0;
  int FScrollEnd = 0;
  int FTopLine = 0;
  bool FMultiLine = false;
  TdgIntegerList FLineStarts;
  QPoint FCaretPoint;
  bool FCaretPrefersNext = true;
  bool FCaretShown = false;
  bool FCaretOn = true;
  bool FMouseSelecting = false;
  bool FKeyRepeat = false;
  int FMaxLength = 0;
  int FRightShift = 0;
  int FMouseX = 0, FMouseY = 0;
  QTimer FCaretTimer;
  QTimer FMouseScrollTimer;
  mutable std::unique_ptr<PainterTextMetrics> FMetrics;
  mutable bool FMetricsShowNames = false;
};

// The check-box editor of check-box cells: a glyph for the state, toggled
// by a click or the space bar, states mapped to values through the grid's
// check-box value text.
class TdgGridCheckBox : public TdgGridControl {
public:
  explicit TdgGridCheckBox(QWidget *parent = nullptr);

  void SetCheckBoxStyle(TdgCheckBoxStyle style) { FStyle = style; }
  TdgCheckBoxStyle CheckBoxStyle() const { return FStyle; }
  void SetAllowGrayed(bool value) { FAllowGrayed = value; }
  bool AllowGrayed() const { return FAllowGrayed; }
  const std::string &CheckBoxValues() const { return FCheckBoxValues; }
  void SetCheckBoxValues(const std::string &values) { FCheckBoxValues = values; }
  void SetValue(const Variant &value);
  void SetValueNotify(const Variant &value, bool flag);
  const Variant &GetValue() const { return FValue; }
  int State() const { return FState; }
  bool Pressed() const { return FSpaceDown || (FTracking && FInside); }
  bool Modified() const { return FModified; }
  const Variant &SavedValue() const { return FSavedValue; }
  // The part of the glyph strip that shows a state.
  TRect GetGlyphRect(int state, bool pressed) const;
  void PaintInto(QPainter &painter, const QRect &rect, bool focused);
  // Ends a mouse press without toggling.
  void EndTracking();
  // Finishes a toggle under way (the space bar or the mouse still down) as
  // its release would; answers whether one was.
  bool Complete();
  void Toggle();

  void KeyDown(std::uint16_t &key, TShiftState shift) override;
  void KeyUp(std::uint16_t &key, TShiftState shift) override;
  void KeyPress(char &key) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

protected:
  void paintEvent(QPaintEvent *e) override;

private:
  bool Inside(int x, int y) const { return x >= -3 && x < width() && y >= 0 && y < height(); }
  void Undo();
  void TakeValue(const Variant &value);

  int FSavedState = 0;
  Variant FSavedValue;
  bool FModified = false;
  int FState = 0;
  Variant FValue{std::int32_t(0)};
  TdgCheckBoxStyle FStyle = stCheck;
  bool FTracking = false;
  bool FInside = false;
  bool FSpaceDown = false;
  bool FCancelled = false;
  bool FAllowGrayed = false;
  std::string FCheckBoxValues;
};

} // namespace marrowen
