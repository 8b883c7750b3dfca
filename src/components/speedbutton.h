#pragma once

#include <QImage>
#include <QMenu>
#include <QPixmap>
#include <QPointer>
#include <QWidget>

#include <array>
#include <functional>

class QAction;
class QTimer;

namespace marrowen {

// The pictures of a button in each of its states, cut from one glyph image
// that holds up to five frames side by side (up, disabled, down, exclusive,
// inactive). A state without its own frame borrows one or is derived from
// frame 0; each picture is made on first use and kept until the glyph, the
// frame count or the palette changes. The glyph's bottom-left colour is its
// transparent colour.
class TKitButtonGlyph {
public:
  enum TButtonState { bsUp, bsDisabled, bsDown, bsExclusive, bsInactive };

  const QImage &Glyph() const { return glyph_; }
  // Takes the image; when its width is a whole multiple of its height, the
  // frame count becomes width / height, or 1 when that is more than five.
  void SetGlyph(const QImage &glyph);
  int NumGlyphs() const { return numGlyphs_; }
  // 1 to 5; more becomes 5.
  void SetNumGlyphs(int count);
  QColor TransparentColor() const { return transparentColor_; }
  // The size of one frame; empty without a glyph.
  QSize glyphSize() const;

  // The picture for `state` on `palette`; null without a glyph.
  QPixmap image(TButtonState state, const QPalette &palette);
  void dropImages();

  std::function<void()> OnChange;

private:
  QImage frame(int index) const;
  QImage makeImage(TButtonState state, const QPalette &palette) const;
  void changed();

  QImage glyph_;
  int numGlyphs_ = 1;
  QColor transparentColor_ = QColor(255, 0, 255);
  std::array<QPixmap, 5> images_;
  qint64 paletteKey_ = -1;
};

// Where the glyph and the caption go inside `client`: each is centred across
// the layout's axis and placed along it by `margin` and `spacing` (-1 for
// either means "centre evenly").
struct ButtonContentPlacement {
  QPoint glyph;
  QPoint caption;
};
enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
ButtonContentPlacement placeButtonContent(const QRect &client, QSize glyph, QSize caption,
                                          TButtonLayout layout, int margin, int spacing);

// A windowless push button with a glyph and an optional caption. Buttons of
// one parent with the same non-zero GroupIndex form a set of which at most
// one is Down. The button may repeat its click while held, drop down a menu,
// and, when Flat, raise its frame only while the mouse is over it.
class TKitSpeedButton : public QWidget {
  Q_OBJECT
  Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
  Q_PROPERTY(QString Hint READ toolTip WRITE setToolTip)

public:
  enum TButtonStyle { bsAutoDetect, bsWin31, bsNew };
  enum TKitDropDownMenuPos { dmpBottom, dmpRight };
  using TButtonState = TKitButtonGlyph::TButtonState;

  explicit TKitSpeedButton(QWidget *parent = nullptr);
  ~TKitSpeedButton() override;

  const QString &Caption() const { return caption_; }
  void SetCaption(const QString &caption);
  const QImage &Glyph() const { return glyph_.Glyph(); }
  void SetGlyph(const QImage &glyph);
  int NumGlyphs() const { return glyph_.NumGlyphs(); }
  void SetNumGlyphs(int count);
  int GroupIndex() const { return groupIndex_; }
  void SetGroupIndex(int index);
  bool Down() const { return down_; }
  void SetDown(bool down);
  bool AllowAllUp() const { return allowAllUp_; }
  void SetAllowAllUp(bool allow);
  bool Flat() const { return flat_; }
  void SetFlat(bool flat);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool transparent);
  bool GrayedInactive() const { return grayedInactive_; }
  void SetGrayedInactive(bool grayed);
  TButtonStyle Style() const { return style_; }
  void SetStyle(TButtonStyle style);
  TButtonLayout Layout() const { return layout_; }
  void SetLayout(TButtonLayout layout);
  int Margin() const { return margin_; }
  // Values below -1 are ignored.
  void SetMargin(int margin);
  int Spacing() const { return spacing_; }
  void SetSpacing(int spacing);
  Qt::Alignment Alignment() const { return alignment_; }
  void SetAlignment(Qt::Alignment alignment);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool wrap);
  int ModalResult() const { return modalResult_; }
  void SetModalResult(int result) { modalResult_ = result; }
  QMenu *DropDownMenu() const { return dropDownMenu_; }
  void SetDropDownMenu(QMenu *menu);
  bool MarkDropDown() const { return markDropDown_; }
  void SetMarkDropDown(bool mark);
  TKitDropDownMenuPos MenuPosition() const { return menuPosition_; }
  void SetMenuPosition(TKitDropDownMenuPos position) { menuPosition_ = position; }
  bool AllowTimer() const { return allowTimer_; }
  // False also stops a running repeat.
  void SetAllowTimer(bool allow);
  int InitPause() const { return initPause_; }
  void SetInitPause(int milliseconds) { initPause_ = milliseconds; }
  int RepeatInterval() const { return repeatInterval_; }
  void SetRepeatInterval(int milliseconds) { repeatInterval_ = milliseconds; }

  TButtonState state() const { return state_; }
  TKitButtonGlyph &glyph() { return glyph_; }

  // Presses the button in code, as a counted mouse click does.
  virtual void Click();

  std::function<void()> OnClick;
  std::function<void()> OnDblClick;
  std::function<void()> OnMouseEnter;
  std::function<void()> OnMouseLeave;

  // A linked action lends the button its text, hint, enabled and visible
  // state; a grouped button is Down while the action is checked, and a
  // button without a glyph takes the action's icon. A click triggers it.
  QAction *Action() const { return action_; }
  void SetAction(QAction *action);

  // A menu whose dynamic property "AutoPopup" is false is not opened by a
  // press; the press is then an ordinary one.
  static bool menuAutoPopup(const QMenu *menu);

protected:
  // Draws the glyph and caption inside `rect`, and the drop-down mark.
  virtual void PaintGlyph(QPainter &painter, const QRect &rect, TButtonState state, bool drawMark);
  void paintEvent(QPaintEvent *event) override;
  void mousePressEvent(QMouseEvent *event) override;
  void mouseMoveEvent(QMouseEvent *event) override;
  void mouseReleaseEvent(QMouseEvent *event) override;
  void mouseDoubleClickEvent(QMouseEvent *event) override;
  void enterEvent(QEnterEvent *event) override;
  void leaveEvent(QEvent *event) override;
  void changeEvent(QEvent *event) override;
  bool event(QEvent *event) override;

private:
  void releaseAt(QPoint position);
  void repeatTick();
  void popupMenu();
  void updateExclusive();
  void buttonPressed(TKitSpeedButton &sender);
  void updateMouseInControl();
  void updateShortcut();
  void actionChange();
  bool newStyle() const;

  TKitButtonGlyph glyph_;
  QString caption_;
  int groupIndex_ = 0;
  TButtonStyle style_ = bsAutoDetect;
  bool down_ = false;
  bool dragging_ = false;
  bool flat_ = false;
  bool mouseInControl_ = false;
  bool allowAllUp_ = false;
  TButtonLayout layout_ = blGlyphTop;
  int spacing_ = 1;
  int margin_ = -1;
  int modalResult_ = 0;
  bool transparent_ = false;
  bool markDropDown_ = true;
  QPointer<QMenu> dropDownMenu_;
  QPointer<QAction> action_;
  TKitDropDownMenuPos menuPosition_ = dmpBottom;
  bool grayedInactive_ = true;
  bool menuTracking_ = false;
  QMetaObject::Connection menuHidden_, menuGone_;
  QTimer *repeatTimer_ = nullptr;
  bool allowTimer_ = false;
  int initPause_ = 500;
  int repeatInterval_ = 100;
  Qt::Alignment alignment_ = Qt::AlignHCenter;
  bool wordWrap_ = false;
  int shortcutId_ = 0;
  TButtonState state_ = TKitButtonGlyph::bsUp;
};

} // namespace marrowen
