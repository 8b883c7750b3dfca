#include "app/nodedialogs/dialogbase.h"

#include "app/common/patternmenu.h"
#include "app/common/translateform.h"
#include "classlib/exceptions.h"
#include "engine/escapes.h"
#include "engine/messages.h"
#include "filters/regex.h"
#include "qtext/qtext.h"

#include <QAbstractSpinBox>
#include <QButtonGroup>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTextEdit>
#include <QVBoxLayout>
#include <QValidator>

namespace marrowen {

// ------------------------------------------------------------- shared checks

void stringFieldChange(TNodeEditorSite &window, std::string_view text) {
  // A text that does not decode yet is still an edit: the list must know it
  // changed, or closing would lose it without asking.
  window.fieldChanged();
  try {
    decodeEscapes(text);
  } catch (const Exception &e) {
    window.statusBarError(e.message());
    return;
  }
  window.statusBarText(std::string());
}

std::string fromDisplayHandleError(TNodeEditorSite &window, std::string_view text) {
  try {
    return decodeEscapes(text);
  } catch (const Exception &e) {
    window.statusBarError(e.message());
    return std::string(text);
  }
}

void testRegExp(TNodeEditorSite &window, std::string_view pattern) {
  if (pattern.empty()) {
    window.statusBarError(translate(5080, "Warning: Pattern is blank - all lines will be matched"));
    return;
  }
  try {
    TRegex regex;
    regex.CompileRegex(std::string(pattern));
  } catch (const Exception &e) {
    window.statusBarError(e.message());
    return;
  }
  window.statusBarText(std::string());
}

// ------------------------------------------------------------- TdefaultForm1

TdefaultForm1::TdefaultForm1(QWidget *owner, TNodeEditorSite *window)
    : QWidget(owner), window_(window) {}

TdefaultForm1::~TdefaultForm1() = default;

void TdefaultForm1::putToScreen(TListObject &) {}
void TdefaultForm1::getFromScreen(TListObject &) {}
bool TdefaultForm1::isDifferent(const TListObject &) const { return false; }

void TdefaultForm1::applyLanguage() { translateForm(this); }

void TdefaultForm1::statusBarText(const std::string &text) const {
  if (window_)
    window_->statusBarText(text);
}

void TdefaultForm1::statusBarError(const std::string &text) const {
  if (window_)
    window_->statusBarError(text);
}

void TdefaultForm1::stringFieldChange(std::string_view text) const {
  if (window_)
    marrowen::stringFieldChange(*window_, text);
}

std::string TdefaultForm1::fromDisplayHandleError(std::string_view text) const {
  return window_ ? marrowen::fromDisplayHandleError(*window_, text) : decodeEscapes(text);
}

void TdefaultForm1::fieldChanged() {
  if (!filling_ && window_)
    window_->fieldChanged();
}

void TdefaultForm1::whileFilling(const std::function<void()> &fill) {
  const bool was = filling_;
  filling_ = true;
  try {
    fill();
  } catch (...) {
    filling_ = was;
    throw;
  }
  filling_ = was;
}

namespace {

// The control that shows the context menu: a spin or combo box's own line
// edit does.
QWidget *menuHolder(QWidget *field) {
  if (auto *combo = qobject_cast<QComboBox *>(field); combo && combo->lineEdit())
    return combo->lineEdit();
  if (auto *spin = qobject_cast<QAbstractSpinBox *>(field))
    if (auto *edit = spin->findChild<QLineEdit *>())
      return edit;
  return field;
}

bool isMemo(const QWidget *field) {
  return qobject_cast<const QPlainTextEdit *>(field) || qobject_cast<const QTextEdit *>(field);
}

void bindPopup(QWidget *field, bool noFrills, std::function<void(TmenuForm &)> customize) {
  QWidget *holder = menuHolder(field);
  holder->setContextMenuPolicy(Qt::CustomContextMenu);
  QWidget *shown = isMemo(field) ? static_cast<QAbstractScrollArea *>(field)->viewport() : holder;
  if (isMemo(field))
    field->setContextMenuPolicy(Qt::CustomContextMenu);
  QObject::connect(holder, &QWidget::customContextMenuRequested, holder,
                   [field, holder, shown, noFrills, customize](const QPoint &at) {
                     TmenuForm &menu = TmenuForm::instance();
                     const bool memo = isMemo(field);
                     if (holder == field || memo)
                       menu.preparePopup(field, !memo);
                     else
                       menu.preparePopupHWND(holder, true);
                     if (noFrills)
                       menu.specialSubmenu()->menuAction()->setVisible(false);
                     if (customize)
                       customize(menu);
                     menu.popup((memo ? shown : holder)->mapToGlobal(at));
                   });
}

} // namespace

void TdefaultForm1::preparePopup(QWidget *field, std::function<void(TmenuForm &)> customize) {
  bindPopup(field, false, std::move(customize));
}

void TdefaultForm1::prepareNoFrillsPopup(QWidget *field,
                                         std::function<void(TmenuForm &)> customize) {
  bindPopup(field, true, std::move(customize));
}

// ------------------------------------------------------------- TRadioGroup

TRadioGroup::TRadioGroup(const QString &caption, const QStringList &items, QWidget *parent)
    : QGroupBox(caption, parent), buttons_(new QButtonGroup(this)) {
  markRadioGroup(this);
  auto *layout = new QVBoxLayout(this);
  int id = 0;
  for (const QString &item : items) {
    auto *button = new QRadioButton(item, this);
    buttons_->addButton(button, id++);
    layout->addWidget(button);
  }
  connect(buttons_, &QButtonGroup::idToggled, this, [this](int, bool checked) {
    if (checked)
      emit changed();
  });
}

int TRadioGroup::itemIndex() const { return buttons_->checkedId(); }

void TRadioGroup::setItemIndex(int index) {
  if (QAbstractButton *button = buttons_->button(index)) {
    button->setChecked(true);
    return;
  }
  if (QAbstractButton *checked = buttons_->checkedButton()) {
    buttons_->setExclusive(false);
    checked->setChecked(false);
    buttons_->setExclusive(true);
    emit changed();
  }
}

int TRadioGroup::count() const { return static_cast<int>(buttons_->buttons().size()); }

void TRadioGroup::setItemText(int index, const QString &text) {
  if (QAbstractButton *button = buttons_->button(index))
    button->setText(text);
}

QString TRadioGroup::itemText(int index) const {
  const QAbstractButton *button = buttons_->button(index);
  return button ? button->text() : QString();
}

// ------------------------------------------------------------- held values

namespace {

// State a control's dialog keeps beside it, as the control's child so that
// it goes with the control.
template <class State> State *stateOf(const QObject *control) {
  for (QObject *child : control->children())
    if (auto *state = dynamic_cast<State *>(child))
      return state;
  return nullptr;
}

// A stored value its control cannot show, and what the control showed for it.
class HeldValue : public QObject {
public:
  HeldValue(QObject *control, int stored, int shown)
      : QObject(control), stored(stored), shown(shown) {}

  int stored;
  int shown;
};

void hold(QObject *control, int stored, int shown) {
  HeldValue *held = stateOf<HeldValue>(control);
  if (stored == shown) {
    delete held;
    return;
  }
  if (!held) {
    new HeldValue(control, stored, shown);
    return;
  }
  held->stored = stored;
  held->shown = shown;
}

int handBack(const QObject *control, int shown) {
  const HeldValue *held = stateOf<HeldValue>(control);
  if (held && held->shown == shown)
    return held->stored;
  return shown;
}

} // namespace

void showNumber(QSpinBox *spin, int stored) {
  spin->setValue(stored);
  hold(spin, stored, spin->value());
}

int numberShown(const QSpinBox *spin) { return handBack(spin, spin->value()); }

void showIndex(QComboBox *combo, int stored) {
  combo->setCurrentIndex(stored >= 0 && stored < combo->count() ? stored : -1);
  hold(combo, stored, combo->currentIndex());
}

int indexShown(const QComboBox *combo) { return handBack(combo, combo->currentIndex()); }

void showIndex(TRadioGroup *group, int stored, int nearest) {
  group->setItemIndex(stored >= 0 && stored < group->count() ? stored : nearest);
  hold(group, stored, group->itemIndex());
}

int indexShown(const TRadioGroup *group) { return handBack(group, group->itemIndex()); }

namespace {

// The bytes a one-line field was given and the text it showed for them.
class BoundBytes : public QObject {
public:
  explicit BoundBytes(QObject *edit) : QObject(edit) {}

  std::string bytes;
  QString text;
};

void bindBytes(QLineEdit *edit, std::string_view bytes, const QString &text) {
  BoundBytes *bound = stateOf<BoundBytes>(edit);
  if (!bound)
    bound = new BoundBytes(edit);
  bound->bytes.assign(bytes);
  bound->text = text;
  edit->setText(text);
}

} // namespace

void showText(QLineEdit *edit, std::string_view bytes) { bindBytes(edit, bytes, toQString(bytes)); }

std::string textShown(const QLineEdit *edit) {
  if (const BoundBytes *bound = stateOf<BoundBytes>(edit))
    return bytesForShownText(edit->text(), bound->bytes);
  return fromQString(edit->text());
}

void showFileName(QLineEdit *edit, std::string_view fileName) {
  bindBytes(edit, fileName, fileNameToQString(fileName));
}

namespace {

// The name a field's text stands for: the stored name's bytes while the text
// is the one shown for them.
std::string fileNameOfText(const QLineEdit *edit, const QString &text) {
  const BoundBytes *bound = stateOf<BoundBytes>(edit);
  return bound && bound->text == text ? bound->bytes : fileNameFromQString(text);
}

} // namespace

std::string fileNameShown(const QLineEdit *edit) { return fileNameOfText(edit, edit->text()); }

namespace {

// Counts the bytes the field hands back, the stored name's own while its text
// is unchanged (a byte no UTF-8 holds is one, its letter typed two or more):
// the stored name is acceptable, and a key or a paste that would make it more
// than a filter file keeps is refused, a deletion too.
class ByteLimit : public QValidator {
public:
  ByteLimit(QLineEdit *edit, std::size_t bytes, std::function<void()> refused)
      : QValidator(edit), edit_(edit), bytes_(bytes), refused_(std::move(refused)) {}
  State validate(QString &input, int &) const override {
    if (fileNameOfText(edit_, input).size() <= bytes_)
      return Acceptable;
    if (refused_)
      refused_();
    return Invalid;
  }

private:
  const QLineEdit *edit_;
  std::size_t bytes_;
  std::function<void()> refused_;
};

} // namespace

void limitFileNameBytes(QLineEdit *edit, std::size_t bytes, std::function<void()> refused) {
  edit->setValidator(new ByteLimit(edit, bytes, std::move(refused)));
  // A name set rather than typed (the browse button, a drop) passes no
  // validator: a longer one gives the field back what it held.
  QObject::connect(edit, &QLineEdit::textChanged, edit,
                   [edit, bytes, kept = edit->text()](const QString &text) mutable {
                     if (fileNameOfText(edit, text).size() <= bytes)
                       kept = text;
                     else
                       edit->setText(kept);
                   });
}

} // namespace marrowen
