#pragma once

#include "classlib/exceptions.h"
#include "components/speedbutton.h"

#include <QLineEdit>
#include <QPointer>
#include <QVariant>

#include <functional>

namespace marrowen {

// The failure of the edit-box family: a name it cannot take.
class EComboEditError : public Exception {
public:
  using Exception::Exception;
};

class TCustomComboEdit;

// The button inside an edit's frame. A press that closes the edit's popup
// is not also a click.
class TEditButton : public TKitSpeedButton {
  Q_OBJECT
public:
  TEditButton(TCustomComboEdit &edit, QWidget *parent);
  void Click() override;

protected:
  void mousePressEvent(QMouseEvent *event) override;
  void mouseReleaseEvent(QMouseEvent *event) override;
  void paintEvent(QPaintEvent *event) override;

private:
  TCustomComboEdit &edit_;
  bool noAction_ = false; // only until the press that set it is released
};

// Shortcut values as the forms keep them: a virtual-key code in the low
// byte, plus 0x2000 for Shift, 0x4000 for Ctrl and 0x8000 for Alt.
using TShortCut = int;
constexpr TShortCut scAltDown = 0x8000 + 0x28;
bool shortCutMatches(TShortCut shortCut, const QKeyEvent &event);

// A one-line edit with a button inside its right edge that the mouse or
// ClickKey presses. DirectInput off keeps typing, paste and cut out while
// the button still works; ReadOnly keeps both out. Enter never enters the
// text: it reaches the dialog, whose default button fires. Entering the box
// by any way but a left press on its text selects the whole text, with
// AutoSelect and DirectInput on.
class TCustomComboEdit : public QLineEdit {
  Q_OBJECT
  Q_PROPERTY(QString Text READ text WRITE setText)
  Q_PROPERTY(QString Hint READ toolTip WRITE setToolTip)
  Q_PROPERTY(QString ButtonHint READ ButtonHint WRITE SetButtonHint)

public:
  enum TGlyphKind { gkCustom, gkDefault, gkDropDown, gkEllipsis };
  Q_ENUM(TGlyphKind)

  explicit TCustomComboEdit(QWidget *parent = nullptr);
  ~TCustomComboEdit() override;

  int ButtonWidth() const;
  // Below 2 hides the button. Once the edit is shown, a width not smaller
  // than the edit's is ignored.
  void SetButtonWidth(int width);
  QString ButtonHint() const;
  void SetButtonHint(const QString &hint);
  const QImage &Glyph() const;
  // Makes the glyph kind gkCustom.
  void SetGlyph(const QImage &glyph);
  TGlyphKind GlyphKind() const { return glyphKind_; }
  void SetGlyphKind(TGlyphKind kind);
  int NumGlyphs() const;
  void SetNumGlyphs(int count);
  TShortCut ClickKey() const { return clickKey_; }
  void SetClickKey(TShortCut key) { clickKey_ = key; }
  bool DirectInput() const { return directInput_; }
  void SetDirectInput(bool direct);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool readOnly);
  bool AutoSelect() const { return autoSelect_; }
  void SetAutoSelect(bool select) { autoSelect_ = select; }

  TEditButton &button() { return *button_; }
  QWidget &buttonContainer() { return *container_; }
  int minimumTextHeight() const;

  // Runs the button's action: nothing while read-only, else ButtonClick.
  void pressButton();
  virtual void ButtonClick();

  std::function<void()> OnButtonClick;
  // Offered first when a context menu is asked for; setting `handled`
  // keeps the edit's own menu away, so the owner may show its own.
  std::function<void(QPoint position, bool &handled)> OnContextPopup;

  // Drop-down hooks: no control of this kit attaches a popup. A popup
  // replaced, detached or freed while open is closed without taking its value.
  QWidget *popup() const { return popup_; }
  void setPopup(QWidget *popup);
  bool popupVisible() const { return popupVisible_; }
  void closePopup(bool accept);

public slots:
  // Called from code (the Edit menu, the pattern menu), they too change
  // nothing while typing is not allowed.
  void cut();
  void paste();

signals:
  // The change event: the text changed. While a popup is open PopupChange
  // runs instead, and the popup's value, once taken, fires it.
  void changed();

protected:
  virtual QImage GetDefaultBitmap(bool &destroyNeeded);
  virtual void PopupDropDown(bool disableEdit);
  virtual void ShowPopup(QPoint origin);
  virtual void HidePopup();
  virtual bool AcceptPopup(QVariant &value);
  virtual void AcceptValue(const QVariant &value);
  virtual void SetPopupValue(const QVariant &value);
  virtual void GetPopupValue(QVariant &value);
  virtual void PopupChange() {}
  virtual void Change();

  bool event(QEvent *event) override;
  bool eventFilter(QObject *watched, QEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;
  void mousePressEvent(QMouseEvent *event) override;
  void focusInEvent(QFocusEvent *event) override;
  void focusOutEvent(QFocusEvent *event) override;
  void resizeEvent(QResizeEvent *event) override;
  void changeEvent(QEvent *event) override;
  void contextMenuEvent(QContextMenuEvent *event) override;

private:
  friend class TEditButton;
  void selectOnEntry();
  void placeButton();
  void applyReadOnly();
  void rebuildGlyph();
  void updateMinimumHeight();

  QWidget *container_ = nullptr;
  TEditButton *button_ = nullptr;
  TShortCut clickKey_ = scAltDown;
  bool readOnly_ = false;
  bool directInput_ = true;
  bool autoSelect_ = true;
  bool popupVisible_ = false;
  bool focusKept_ = false;      // the focus left only for a menu or another window
  bool enteredByPress_ = false; // which press, and where, is told by the press
  bool closingPopup_ = false;
  TGlyphKind glyphKind_ = gkCustom;
  QPointer<QWidget> popup_;
  int defNumGlyphs_ = 1;
};

} // namespace marrowen
