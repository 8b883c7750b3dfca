#include "app/common/patternmenu.h"

#include "app/common/screenfit.h"
#include "app/common/translateform.h"
#include "classlib/safefile.h"
#include "classlib/streams.h"
#include "classlib/utf8.h"
#include "components/dialogrunner.h"
#include "components/filedialog.h"
#include "engine/escapes.h"
#include "qtext/qtext.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFontDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPen>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPolygon>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTextEdit>
#include <QVBoxLayout>

#include <array>
#include <type_traits>

namespace marrowen {

QString escapedForPaste(const QString &text, bool singleLine) {
  QString escaped;
  escaped.reserve(text.size());
  for (QChar c : text) {
    const char16_t u = c.unicode();
    const bool kept = !singleLine && (u == '\t' || u == '\n' || u == '\r');
    if (u < 32 && !kept)
      escaped += QString::fromLatin1(encodeEscapes(std::string(1, static_cast<char>(u))));
    else
      escaped += c;
  }
  return escaped;
}

void pasteEscaped(TextTarget target, bool singleLine) {
  target.replaceSelection(escapedForPaste(QApplication::clipboard()->text(), singleLine));
}

// ------------------------------------------------------------- TextTarget

namespace {

QLineEdit *lineEditOf(QWidget *control) {
  if (auto *edit = qobject_cast<QLineEdit *>(control))
    return edit;
  if (auto *combo = qobject_cast<QComboBox *>(control))
    return combo->lineEdit();
  if (auto *spin = qobject_cast<QAbstractSpinBox *>(control))
    return spin->findChild<QLineEdit *>();
  return nullptr;
}

} // namespace

TextTarget::TextTarget(QWidget *control) : control_(control) {
  if (!isMemo())
    if (QLineEdit *edit = lineEditOf(control))
      control_ = edit;
}

namespace {

// Marks a plain memo that stands for a rich edit.
constexpr char richMemoProperty[] = "marrowenRichMemo";

} // namespace

bool TextTarget::isRich() const {
  return qobject_cast<QTextEdit *>(control_.data()) != nullptr ||
         (control_ && control_->property(richMemoProperty).toBool());
}

bool TextTarget::isMemo() const {
  return isRich() || qobject_cast<QPlainTextEdit *>(control_.data()) != nullptr;
}

namespace {

template <class Edit> constexpr bool isLineEdit = std::is_same_v<Edit, QLineEdit *>;

// Runs `operation` on the control as the class it is; the two memo classes
// share their names, a one-line edit has its own. `fallback` answers for a
// control that is gone.
template <class Operation, class Result>
Result onControl(QWidget *control, Operation operation, Result fallback) {
  if (auto *line = qobject_cast<QLineEdit *>(control))
    return operation(line);
  if (auto *plain = qobject_cast<QPlainTextEdit *>(control))
    return operation(plain);
  if (auto *rich = qobject_cast<QTextEdit *>(control))
    return operation(rich);
  return fallback;
}

template <class Operation> void onControl(QWidget *control, Operation operation) {
  onControl(
      control, [&](auto *edit) { return (operation(edit), true); }, false);
}

} // namespace

bool TextTarget::isReadOnly() const {
  return onControl(
      control_, [](auto *edit) { return edit->isReadOnly(); }, false);
}

QString TextTarget::text() const {
  return onControl(
      control_,
      [](auto *edit) {
        if constexpr (isLineEdit<decltype(edit)>)
          return edit->text();
        else
          return edit->toPlainText();
      },
      QString());
}

void TextTarget::setText(const QString &text) {
  if (isReadOnly())
    return;
  onControl(control_, [&](auto *edit) {
    if constexpr (isLineEdit<decltype(edit)>)
      edit->setText(text);
    else
      edit->setPlainText(text);
  });
}

void TextTarget::replaceSelection(const QString &text) {
  if (isReadOnly())
    return;
  onControl(control_, [&](auto *edit) {
    if constexpr (isLineEdit<decltype(edit)>)
      edit->insert(text);
    else
      edit->insertPlainText(text);
  });
}

bool TextTarget::hasSelection() const {
  return onControl(
      control_,
      [](auto *edit) {
        if constexpr (isLineEdit<decltype(edit)>)
          return edit->hasSelectedText();
        else
          return edit->textCursor().hasSelection();
      },
      false);
}

bool TextTarget::canUndo() const {
  return onControl(
      control_,
      [](auto *edit) {
        if constexpr (isLineEdit<decltype(edit)>)
          return edit->isUndoAvailable();
        else
          return edit->document()->isUndoAvailable();
      },
      false);
}

void TextTarget::undo() {
  if (!isReadOnly())
    onControl(control_, [](auto *edit) { edit->undo(); });
}
// Through the control's own slot, so that an edit which keeps typing out
// keeps these out too.
void TextTarget::cut() {
  if (control_ && !isReadOnly())
    QMetaObject::invokeMethod(control_, "cut", Qt::DirectConnection);
}
void TextTarget::copy() {
  onControl(control_, [](auto *edit) { edit->copy(); });
}
void TextTarget::paste() {
  if (control_ && !isReadOnly())
    QMetaObject::invokeMethod(control_, "paste", Qt::DirectConnection);
}
void TextTarget::selectAll() {
  onControl(control_, [](auto *edit) { edit->selectAll(); });
}

void TextTarget::deleteSelection() {
  if (isReadOnly())
    return;
  // The selection only: with none, nothing goes.
  onControl(control_, [](auto *edit) {
    if constexpr (isLineEdit<decltype(edit)>) {
      if (edit->hasSelectedText())
        edit->del();
    } else
      edit->textCursor().removeSelectedText();
  });
}

int TextTarget::selectionStart() const {
  return onControl(
      control_,
      [](auto *edit) {
        if constexpr (isLineEdit<decltype(edit)>)
          return edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
        else
          return edit->textCursor().selectionStart();
      },
      0);
}

int TextTarget::caret() const {
  return onControl(
      control_,
      [](auto *edit) {
        if constexpr (isLineEdit<decltype(edit)>)
          return edit->cursorPosition();
        else
          return edit->textCursor().position();
      },
      0);
}

void TextTarget::select(int start, int length) {
  onControl(control_, [&](auto *edit) {
    if constexpr (isLineEdit<decltype(edit)>) {
      edit->setSelection(start, length);
    } else {
      QTextCursor cursor = edit->textCursor();
      cursor.setPosition(start);
      cursor.setPosition(start + length, QTextCursor::KeepAnchor);
      edit->setTextCursor(cursor);
    }
  });
}

QFont TextTarget::font() const { return control_ ? control_->font() : QFont(); }

void TextTarget::setFont(const QFont &font) {
  if (control_)
    control_->setFont(font);
}

// ------------------------------------------------------------- TFindDialog

TFindDialog::TFindDialog(QWidget *parent) : QDialog(parent) {
  setObjectName(QStringLiteral("FindDialog"));
  setWindowTitle(QStringLiteral("Find"));
  // Stays above the memo while the search goes on in it.
  setWindowFlags(windowFlags() | Qt::WindowStaysOnTopHint | Qt::Tool);
  findEdit_ = new QLineEdit(this);
  findEdit_->setObjectName(QStringLiteral("findText"));
  matchCase_ = new QCheckBox(QStringLiteral("Match &case"), this);
  matchCase_->setObjectName(QStringLiteral("matchCase"));
  wholeWord_ = new QCheckBox(QStringLiteral("Match &whole word only"), this);
  wholeWord_->setObjectName(QStringLiteral("wholeWord"));
  auto *findButton = new QPushButton(QStringLiteral("&Find Next"), this);
  findButton->setObjectName(QStringLiteral("findNextButton"));
  findButton->setDefault(true);
  auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
  cancel->setObjectName(QStringLiteral("cancelButton"));
  auto *label = new QLabel(QStringLiteral("Fi&nd what:"), this);
  label->setBuddy(findEdit_);

  auto *row = new QHBoxLayout;
  row->addWidget(label);
  row->addWidget(findEdit_);
  auto *buttons = new QVBoxLayout;
  buttons->addWidget(findButton);
  buttons->addWidget(cancel);
  buttons->addStretch();
  auto *left = new QVBoxLayout;
  left->addLayout(row);
  left->addWidget(wholeWord_);
  left->addWidget(matchCase_);
  left->addStretch();
  auto *layout = new QHBoxLayout(this);
  layout->addLayout(left);
  layout->addLayout(buttons);
  connect(findButton, &QPushButton::clicked, this, &TFindDialog::find);
  connect(cancel, &QPushButton::clicked, this, &QDialog::hide);
}

QString TFindDialog::findText() const { return findEdit_->text(); }
void TFindDialog::setFindText(const QString &text) { findEdit_->setText(text); }

void TFindDialog::showBeside(const QPoint &corner) {
  move(corner);
  show();
  // The memo may reach the screen's edge; beside it the dialog could not be used.
  fitToAvailableArea(*this);
  raise();
  activateWindow();
  findEdit_->setFocus();
  findEdit_->selectAll();
}
bool TFindDialog::matchCase() const { return matchCase_->isChecked(); }
bool TFindDialog::wholeWord() const { return wholeWord_->isChecked(); }

// ------------------------------------------------------------- TmenuForm

namespace {

struct Item {
  const char *caption;
  int tag;
};

constexpr std::array<Item, 7> controlItems{{{"Carriage return (\\r)", 3},
                                            {"Line feed (\\n)", 4},
                                            {"Form feed (\\f)", 5},
                                            {"Tab (\\t)", 6},
                                            {"Vertical tab (\\v)", 7},
                                            {"Bell (\\a)", 8},
                                            {"Escape (\\e)", 9}}};
constexpr std::array<Item, 3> codeItems{
    {{"ASCII char (\\000)", 10}, {"Hex char (\\x00)", 11}, {"Control character (\\cC)", 12}}};

TmenuForm *theMenuForm = nullptr;

// Our own small images: a page for a filter, with a mark of what it does.
std::vector<QIcon> makeTreeIcons() {
  struct Mark {
    int index;
    QColor colour;
    const char *text;
  };
  static const Mark marks[] = {
      {1, QColor(90, 110, 160), ""},        {3, QColor(150, 90, 40), "+"},
      {6, QColor(40, 120, 120), "\u21b5"},  {7, QColor(160, 60, 60), "@"},
      {8, QColor(60, 110, 60), "#"},        {9, QColor(90, 110, 160), "\u2192"},
      {10, QColor(170, 120, 0), "?"},       {11, QColor(100, 60, 140), "\u2193"},
      {12, QColor(90, 110, 160), "\u2194"}, {13, QColor(120, 120, 120), "C"},
      {14, QColor(70, 100, 170), "F"},      {15, QColor(40, 120, 60), "A"},
      {16, QColor(90, 110, 160), "\u2191"}, {17, QColor(90, 110, 160), "\u2193"},
      {18, QColor(90, 110, 160), "["},      {19, QColor(90, 110, 160), "]"},
      {20, QColor(180, 40, 40), "!"},       {37, QColor(60, 60, 60), ">"},
  };
  std::vector<QIcon> icons(41);
  auto draw = [](const QColor &colour, const QString &text) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setPen(colour.darker(140));
    painter.setBrush(Qt::white);
    painter.drawRect(2, 1, 11, 13);
    painter.setPen(colour);
    QFont font = painter.font();
    font.setPixelSize(10);
    font.setBold(true);
    painter.setFont(font);
    if (text.isEmpty())
      for (int y = 4; y <= 11; y += 3)
        painter.drawLine(4, y, 11, y);
    else
      painter.drawText(QRect(2, 1, 12, 14), Qt::AlignCenter, text);
    return QIcon(pixmap);
  };
  for (std::size_t i = 0; i < icons.size(); ++i)
    icons[i] = draw(QColor(90, 110, 160), QString());
  for (const Mark &mark : marks)
    icons[static_cast<std::size_t>(mark.index)] = draw(mark.colour, QString::fromUtf8(mark.text));
  auto symbol = [](auto paint) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    paint(painter);
    return QIcon(pixmap);
  };
  icons[21] = symbol([](QPainter &p) {
    p.setPen(QPen(QColor(200, 0, 0), 2.5));
    p.drawLine(3, 3, 13, 13);
    p.drawLine(13, 3, 3, 13);
  });
  icons[39] = symbol([](QPainter &p) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 140, 50));
    p.drawPolygon(QPolygon({QPoint(4, 2), QPoint(13, 8), QPoint(4, 14)}));
  });
  icons[40] = symbol([](QPainter &p) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(190, 30, 30));
    p.drawRect(4, 4, 9, 9);
  });
  return icons;
}

} // namespace

void usePatternMenuForMemo(QPlainTextEdit *memo) {
  memo->setProperty(richMemoProperty, true);
  memo->setContextMenuPolicy(Qt::CustomContextMenu);
  QObject::connect(memo, &QWidget::customContextMenuRequested, memo, [memo](const QPoint &at) {
    TmenuForm &menu = TmenuForm::instance();
    menu.preparePopup(memo, false);
    menu.specialSubmenu()->menuAction()->setVisible(false);
    menu.popup(memo->viewport()->mapToGlobal(at));
  });
}

TmenuForm &TmenuForm::instance() {
  if (!theMenuForm)
    theMenuForm = new TmenuForm;
  return *theMenuForm;
}

TmenuForm::TmenuForm(QWidget *parent) : QWidget(parent) {
  setObjectName(QStringLiteral("menuForm"));
  treeIcons_ = makeTreeIcons();
  build();
  translateForm(this);
  reset();
}

TmenuForm::~TmenuForm() {
  if (theMenuForm == this)
    theMenuForm = nullptr;
  delete findDialog_.data();
}

QString TmenuForm::insertText(int tag) {
  static const char *const controls = "rnftvae";
  static const char *const metacharacters = "|.[]()^$*+?";
  static const char *const classes = "dDwWsS";
  static const std::array<const char *, 10> patterns{
      "a1|a2", "(a1)", "[z1-z2]", "[z1z2z3...]", "[^z1z2z3...]", "^a1", "a1$", "a1*", "a1+", "a1?"};
  const QString backslash(QLatin1Char('\\'));
  if (tag == 1)
    return QStringLiteral("\\\\");
  if (tag == 2)
    return QStringLiteral("@@");
  if (tag >= 3 && tag <= 9)
    return backslash + QLatin1Char(controls[tag - 3]);
  if (tag == 10)
    return QStringLiteral("\\000");
  if (tag == 11)
    return QStringLiteral("\\x00");
  if (tag == 12)
    return QStringLiteral("\\cC");
  if (tag == 20)
    return QStringLiteral("@inputFilename");
  if (tag == 21)
    return QStringLiteral("@fullInputFilename");
  if (tag == 22)
    return QStringLiteral("@clipboard");
  if (tag >= 30 && tag <= 40)
    return backslash + QLatin1Char(metacharacters[tag - 30]);
  if (tag == 50)
    return QStringLiteral(".");
  if (tag >= 51 && tag <= 56)
    return backslash + QLatin1Char(classes[tag - 51]);
  if (tag >= 60 && tag <= 69)
    return QString::fromLatin1(patterns[static_cast<std::size_t>(tag - 60)]);
  if (tag >= 100 && tag <= 109)
    return QLatin1Char('$') + QString::number(tag - 100);
  if (tag >= 110 && tag <= 135)
    return QLatin1Char('$') + QChar(tag - 13);
  return {};
}

QAction *TmenuForm::addInsertItem(QMenu *menu, const QString &name, const QString &caption,
                                  int tag) {
  QAction *action = menu->addAction(caption);
  action->setObjectName(name);
  action->setData(tag);
  connect(action, &QAction::triggered, this, [this, tag] { menuItemClick(tag); });
  itemsByTag_.emplace(tag, action);
  return action;
}

QAction *TmenuForm::addCommand(QMenu *menu, const char *name, const QString &caption,
                               const QString &hint, void (TmenuForm::*handler)(),
                               const QKeySequence &shortcut) {
  QAction *action = menu->addAction(caption);
  action->setObjectName(QString::fromLatin1(name));
  action->setStatusTip(hint);
  action->setToolTip(hint);
  action->setShortcut(shortcut);
  connect(action, &QAction::triggered, this, handler);
  commands_[action->objectName()] = action;
  return action;
}

void TmenuForm::build() {
  memoMenu_ = new QMenu(this);
  memoMenu_->setObjectName(QStringLiteral("memoMenu"));
  connect(memoMenu_, &QMenu::aboutToShow, this, &TmenuForm::memoMenuPopup);
  auto submenu = [this](QMenu *parent, const char *name, const QString &caption) {
    QMenu *menu = parent->addMenu(caption);
    menu->setObjectName(QString::fromLatin1(name));
    menu->menuAction()->setObjectName(QString::fromLatin1(name) + QStringLiteral("Item"));
    return menu;
  };
  auto addItems = [this](QMenu *menu, const QString &prefix, const auto &items) {
    for (const Item &item : items)
      addInsertItem(menu, prefix + QString::number(item.tag), QString::fromLatin1(item.caption),
                    item.tag);
  };

  addCommand(memoMenu_, "Undo1", QStringLiteral("&Undo"), {}, &TmenuForm::Undo1Click,
             QKeySequence(Qt::CTRL | Qt::Key_Z));

  specialSubmenu_ =
      submenu(memoMenu_, "specialSubmenu", QStringLiteral("Insert special character"));
  const QString special = QStringLiteral("special");
  addInsertItem(specialSubmenu_, special + "1", QStringLiteral("\\"), 1);
  specialDollar_ = addInsertItem(specialSubmenu_, special + "37", QStringLiteral("$"), 37);
  specialAt_ = addInsertItem(specialSubmenu_, special + "2", QStringLiteral("@"), 2);
  addItems(specialSubmenu_, special, controlItems);
  specialSubmenu_->addSeparator();
  addItems(specialSubmenu_, special, codeItems);

  regexpSubmenu_ = submenu(memoMenu_, "regexpSubmenu", QStringLiteral("Insert special character"));
  const QString regexp = QStringLiteral("regexp");
  static const char *const metacharacters = "|.[]()^$*+?";
  for (int tag = 30; tag <= 40; ++tag)
    addInsertItem(regexpSubmenu_, regexp + QString::number(tag),
                  QString(QLatin1Char(metacharacters[tag - 30])), tag);
  addInsertItem(regexpSubmenu_, regexp + "1", QStringLiteral("\\"), 1);
  addItems(regexpSubmenu_, regexp, controlItems);
  regexpSubmenu_->addSeparator();
  addItems(regexpSubmenu_, regexp, codeItems);

  fieldSubmenu_ = submenu(memoMenu_, "fieldSubmenu", QStringLiteral("Insert special field"));
  addInsertItem(fieldSubmenu_, QStringLiteral("field20"), QStringLiteral("@inputFilename"), 20);
  addInsertItem(fieldSubmenu_, QStringLiteral("field21"), QStringLiteral("@fullInputFilename"), 21);
  addInsertItem(fieldSubmenu_, QStringLiteral("field22"), QStringLiteral("@clipboard"), 22);

  matchedSubmenu_ =
      submenu(memoMenu_, "matchedSubmenu", QStringLiteral("Insert matched subexpression"));
  const QString matched = QStringLiteral("matched");
  addInsertItem(matchedSubmenu_, matched + "100", QStringLiteral("Entire match"), 100);
  for (int n = 1; n <= 9; ++n)
    addInsertItem(matchedSubmenu_, matched + QString::number(100 + n),
                  QStringLiteral("Expression %1").arg(n), 100 + n);
  QMenu *to23 = submenu(matchedSubmenu_, "expressions10", QStringLiteral("Expressions 10..23"));
  for (int n = 10; n <= 23; ++n)
    addInsertItem(to23, matched + QString::number(100 + n), QStringLiteral("Expression %1").arg(n),
                  100 + n);
  QMenu *to35 = submenu(matchedSubmenu_, "expressions24", QStringLiteral("Expressions 24..35"));
  for (int n = 24; n <= 35; ++n)
    addInsertItem(to35, matched + QString::number(100 + n), QStringLiteral("Expression %1").arg(n),
                  100 + n);

  patternSubmenu_ = submenu(memoMenu_, "patternSubmenu", QStringLiteral("Insert pattern"));
  static constexpr std::array<Item, 7> classes{{{"Any character (.)", 50},
                                                {"Any digit (\\d)", 51},
                                                {"Any non-digit (\\D)", 52},
                                                {"Any word character (\\w)", 53},
                                                {"Any non-word character (\\W)", 54},
                                                {"Any space character (\\s)", 55},
                                                {"Any non-space character (\\S)", 56}}};
  static constexpr std::array<Item, 10> operators{{{"Or (a1|a2)", 60},
                                                   {"Subexpression (a1)", 61},
                                                   {"Character range [z1-z2]", 62},
                                                   {"Character list [z1z2z3...]", 63},
                                                   {"Character not in list [^z1z2z3...]", 64},
                                                   {"Line start ^a1", 65},
                                                   {"Line end a1$", 66},
                                                   {"0 or more matches a1*", 67},
                                                   {"1 or more matches a1+", 68},
                                                   {"0 or 1 match a1?", 69}}};
  const QString pattern = QStringLiteral("pattern");
  addItems(patternSubmenu_, pattern, classes);
  patternSubmenu_->addSeparator();
  addItems(patternSubmenu_, pattern, operators);

  memoMenu_->addSeparator();
  addCommand(memoMenu_, "Cut1", QStringLiteral("Cu&t"),
             QStringLiteral("Remove the selection and place it on the clipboard"),
             &TmenuForm::Cut1Click, QKeySequence(Qt::CTRL | Qt::Key_X));
  addCommand(memoMenu_, "Copy1", QStringLiteral("&Copy"),
             QStringLiteral("Copy the current selection to the clipboard"), &TmenuForm::Copy1Click,
             QKeySequence(Qt::CTRL | Qt::Key_C));
  addCommand(memoMenu_, "Paste1", QStringLiteral("&Paste"),
             QStringLiteral("Paste the clipboard contents"), &TmenuForm::Paste1Click,
             QKeySequence(Qt::CTRL | Qt::Key_V));
  addCommand(memoMenu_, "Pastespecial1", QStringLiteral("Paste special"),
             QStringLiteral("Paste the clipboard text without converting it to Marrowen's "
                            "internal format"),
             &TmenuForm::Pastespecial1Click);
  addCommand(memoMenu_, "Delete1", QStringLiteral("&Delete"),
             QStringLiteral("Delete the selection"), &TmenuForm::Delete1Click);
  addCommand(memoMenu_, "Clearentirefield1", QStringLiteral("C&lear entire field"),
             QStringLiteral("Remove the field contents"), &TmenuForm::Clearentirefield1Click);
  memoMenu_->addSeparator();
  addCommand(memoMenu_, "Selectall1", QStringLiteral("Select &all"),
             QStringLiteral("Select the entire field contents"), &TmenuForm::Selectall1Click,
             QKeySequence(Qt::CTRL | Qt::Key_A));
  addCommand(memoMenu_, "Selectallandcopy1", QStringLiteral("Select all and cop&y"),
             QStringLiteral("Select the entire field and copy it to the clipboard"),
             &TmenuForm::Selectallandcopy1Click);
  addCommand(memoMenu_, "Loadfromfile1", QStringLiteral("L&oad from file..."),
             QStringLiteral("Load a file into this field (overwriting previous contents)"),
             &TmenuForm::Loadfromfile1Click);
  addCommand(memoMenu_, "Savetofile1", QStringLiteral("&Save to file..."),
             QStringLiteral("Save this field to a file"), &TmenuForm::Savetofile1Click);
  memoMenu_->addSeparator();
  addCommand(memoMenu_, "Find1", QStringLiteral("&Find..."),
             QStringLiteral("Search for text in this memo control"), &TmenuForm::Find1Click,
             QKeySequence(Qt::CTRL | Qt::Key_F));
  addCommand(memoMenu_, "Findnext1", QStringLiteral("Find next"),
             QStringLiteral("Search for the next occurrence of text in this memo control"),
             &TmenuForm::Findnext1Click, QKeySequence(Qt::CTRL | Qt::Key_G));
  memoMenu_->addSeparator();
  addCommand(memoMenu_, "Font1", QStringLiteral("Font..."), {}, &TmenuForm::Font1Click);
}

QAction *TmenuForm::itemWithTag(int tag) const {
  const auto found = itemsByTag_.find(tag);
  return found == itemsByTag_.end() ? nullptr : found->second;
}

QAction *TmenuForm::command(const QString &name) const {
  const auto found = commands_.find(name);
  return found == commands_.end() ? nullptr : found->second;
}

void TmenuForm::reset() {
  specialSubmenu_->menuAction()->setVisible(true);
  specialDollar_->setVisible(false);
  specialAt_->setVisible(false);
  for (QMenu *menu : {regexpSubmenu_, fieldSubmenu_, matchedSubmenu_, patternSubmenu_})
    menu->menuAction()->setVisible(false);
}

void TmenuForm::preparePopup(QWidget *control, bool singleLine) {
  reset();
  target_ = TextTarget(control);
  singleLine_ = singleLine;
  const bool memo = !singleLine;
  command(QStringLiteral("Loadfromfile1"))->setVisible(memo);
  command(QStringLiteral("Savetofile1"))->setVisible(memo);
  const bool rich = target_.isRich();
  for (const char *name : {"Find1", "Findnext1", "Font1"})
    command(QString::fromLatin1(name))->setVisible(rich);
}

void TmenuForm::preparePopupHWND(QWidget *lineEdit, bool singleLine) {
  reset();
  target_ = TextTarget(lineEdit);
  singleLine_ = singleLine;
  for (const char *name : {"Loadfromfile1", "Savetofile1", "Find1", "Findnext1", "Font1"})
    command(QString::fromLatin1(name))->setVisible(false);
}

void TmenuForm::popup(const QPoint &globalPos) { memoMenu_->popup(globalPos); }

void TmenuForm::menuItemClick(int tag) { target_.replaceSelection(insertText(tag)); }

void TmenuForm::memoMenuPopup() {
  const bool selection = target_.hasSelection();
  const bool editable = !target_.isReadOnly();
  command(QStringLiteral("Copy1"))->setEnabled(selection);
  for (const char *name : {"Cut1", "Delete1"})
    command(QString::fromLatin1(name))->setEnabled(selection && editable);
  for (const char *name : {"Clearentirefield1", "Loadfromfile1"})
    command(QString::fromLatin1(name))->setEnabled(editable);
  const bool clipboardText = !QApplication::clipboard()->text().isEmpty();
  command(QStringLiteral("Paste1"))->setEnabled(clipboardText && editable);
  command(QStringLiteral("Pastespecial1"))->setEnabled(clipboardText && editable);
  command(QStringLiteral("Undo1"))->setEnabled(target_.canUndo() && editable);
}

void TmenuForm::Undo1Click() { target_.undo(); }
void TmenuForm::Cut1Click() { target_.cut(); }
void TmenuForm::Copy1Click() { target_.copy(); }
void TmenuForm::Delete1Click() { target_.deleteSelection(); }
void TmenuForm::Pastespecial1Click() { target_.paste(); }
void TmenuForm::Selectall1Click() { target_.selectAll(); }

void TmenuForm::Paste1Click() { pasteEscaped(target_, singleLine_); }

void TmenuForm::Clearentirefield1Click() {
  target_.selectAll();
  target_.deleteSelection();
}

void TmenuForm::Selectallandcopy1Click() {
  target_.selectAll();
  target_.copy();
}

namespace {

// The file chosen for the text field `field`; empty when cancelled or when the
// field went meanwhile. The dialog, a child of the field, is gone on return:
// while a message that follows runs, the field may go, and its children.
QString chooseFileFor(QWidget *field, const QString &objectName, bool save) {
  FileDialog dialog(field, save ? QStringLiteral("Save As") : QStringLiteral("Open"));
  dialog.setObjectName(objectName);
  dialog.setAcceptMode(save ? FileDialog::AcceptSave : FileDialog::AcceptOpen);
  dialog.setConfirmOverwrite(save);
  dialog.setFileMode(save ? FileDialog::AnyFile : FileDialog::ExistingFile);
  if (DialogRunner::exec(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return {};
  return dialog.selectedFiles().front();
}

} // namespace

void TmenuForm::Loadfromfile1Click() {
  if (!target_.isValid() || target_.isReadOnly())
    return;
  const QString chosen = chooseFileFor(target_.widget(), QStringLiteral("loadFromFile"), false);
  if (chosen.isEmpty())
    return;
  // Read by its own bytes: Qt would open another file for a name that no
  // UTF-8 holds.
  std::string bytes;
  try {
    bytes = readFileBytes(fileNameFromQString(chosen));
  } catch (const std::exception &) {
    showMessageBox(target_.widget(), QMessageBox::Critical, QString(),
                   QStringLiteral("Cannot open %1").arg(chosen));
    return;
  }
  // A byte-order mark an editor wrote is no part of the field's text.
  QString text = toQString(utf8::withoutByteOrderMark(bytes));
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  target_.selectAll();
  target_.replaceSelection(text);
}

void TmenuForm::Savetofile1Click() {
  if (!target_.isValid())
    return;
  const QString name = chooseFileFor(target_.widget(), QStringLiteral("saveToFile"), true);
  if (name.isEmpty())
    return;
  // Every line ends with CR LF, the last one too, as a list of lines is saved.
  std::string bytes = fromQString(target_.text());
  std::string lines;
  lines.reserve(bytes.size() + bytes.size() / 16 + 2);
  for (std::string &line : stringListFromText(bytes))
    lines += line + "\r\n";
  if (!replaceFileContents(fileNameFromQString(name), lines))
    showMessageBox(target_.widget(), QMessageBox::Critical, QString(),
                   QStringLiteral("Cannot write %1").arg(name));
}

TFindDialog &TmenuForm::findDialog() {
  if (!findDialog_) {
    findDialog_ = new TFindDialog;
    connect(findDialog_, &TFindDialog::find, this, &TmenuForm::FindDialogFind);
  }
  return *findDialog_;
}

void TmenuForm::Find1Click() {
  QWidget *control = target_.widget();
  // Asked for from a modal dialog, the box belongs to it: any other window is
  // shut out until that dialog ends.
  QWidget *owner = QApplication::activeModalWidget();
  if (findDialog().parentWidget() != owner)
    findDialog().setParent(owner, findDialog().windowFlags());
  findDialog().showBeside(control ? control->mapToGlobal(QPoint(control->width(), 0))
                                  : findDialog().pos());
}

void TmenuForm::Findnext1Click() { FindDialogFind(); }

void TmenuForm::FindDialogFind() {
  if (!target_.isValid())
    return;
  const QString text = target_.text();
  const QString wanted = findDialog().findText();
  // From one past the selection's start, or from the caret; a caret at the
  // end starts again from the top.
  int from = target_.hasSelection() ? target_.selectionStart() + 1 : target_.caret();
  if (!target_.hasSelection() && from >= text.size())
    from = 0;
  int found = -1;
  if (!wanted.isEmpty()) {
    QString pattern = QRegularExpression::escape(wanted);
    if (findDialog().wholeWord())
      pattern = QStringLiteral("\\b") + pattern + QStringLiteral("\\b");
    QRegularExpression expression(pattern, findDialog().matchCase()
                                               ? QRegularExpression::NoPatternOption
                                               : QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = expression.match(text, from);
    if (match.hasMatch())
      found = static_cast<int>(match.capturedStart());
  }
  if (found >= 0) {
    target_.widget()->activateWindow();
    target_.widget()->setFocus();
    target_.select(found, static_cast<int>(wanted.size()));
  } else {
    QApplication::beep();
    target_.select(static_cast<int>(text.size()), 0);
  }
}

void TmenuForm::Font1Click() {
  if (!target_.isValid())
    return;
  QFontDialog dialog(target_.font(), target_.widget());
  dialog.setObjectName(QStringLiteral("FontDialog"));
  if (DialogRunner::exec(dialog) == QDialog::Accepted)
    target_.setFont(dialog.selectedFont());
}

} // namespace marrowen
