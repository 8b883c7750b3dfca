#include "app/nodedialogs/descriptiondialogs.h"

#include "app/common/memos.h"
#include "app/common/patternmenu.h"
#include "classlib/codepage.h"
#include "classlib/exceptions.h"
#include "classlib/graphemes.h"
#include "components/fileedits.h"
#include "engine/escapes.h"
#include "filterlist/descriptionnodes.h"
#include "filterlist/nodecatalog.h"
#include "qtext/qtext.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QRadioButton>
#include <QSpinBox>
#include <QTextEdit>
#include <QVBoxLayout>

namespace marrowen {

namespace {

QTextEdit *readOnlyText(QWidget *parent, const char *name) {
  auto *text = named(new QTextEdit(parent), name);
  text->setReadOnly(true);
  text->setAcceptRichText(false);
  return text;
}

} // namespace

// ------------------------------------------------------------- TdescriptionForm

TdescriptionForm::TdescriptionForm(QWidget *owner, TNodeEditorSite *window)
    : TdefaultForm1(owner, window) {
  setObjectName(QStringLiteral("descriptionForm"));
  filterDescription = readOnlyText(this, "filterDescription");
  (new QVBoxLayout(this))->addWidget(filterDescription);
}

void TdescriptionForm::putToScreen(TListObject &node) {
  const auto &description = static_cast<const TDescriptionObject &>(node);
  setMemoBytes(filterDescription, description.description());
  setHelpContext(node.helpContext());
}

// ------------------------------------------------------------- TnumberForm

TnumberForm::TnumberForm(QWidget *owner, TNodeEditorSite *window) : TdefaultForm1(owner, window) {
  setObjectName(QStringLiteral("numberForm"));
  numberLabel = named(new QLabel(this), "numberLabel");
  numberField = named(new QSpinBox(this), "numberField");
  numberField->setRange(1, 100000);
  numberLabel->setBuddy(numberField);
  numberPanelDescription = readOnlyText(this, "numberPanelDescription");
  auto *layout = new QVBoxLayout(this);
  auto *row = new QHBoxLayout;
  row->addWidget(numberLabel);
  row->addWidget(numberField);
  row->addStretch();
  layout->addLayout(row);
  layout->addWidget(numberPanelDescription, 1);
  reportChanges(this, numberField, &QSpinBox::valueChanged);
}

void TnumberForm::putToScreen(TListObject &node) {
  const auto &number = static_cast<const TNumberObject &>(node);
  whileFilling([&] {
    numberLabel->setText(toQString(number.field_name()));
    showNumber(numberField, number.number);
    numberField->setToolTip(toQString(number.fieldHint()));
    setMemoBytes(numberPanelDescription, number.description());
  });
  setHelpContext(node.helpContext());
}

void TnumberForm::getFromScreen(TListObject &node) {
  static_cast<TNumberObject &>(node).number = numberShown(numberField);
}

bool TnumberForm::isDifferent(const TListObject &node) const {
  return static_cast<const TNumberObject &>(node).number != numberShown(numberField);
}

// ------------------------------------------------------------- TstringForm

TstringForm::TstringForm(QWidget *owner, TNodeEditorSite *window) : TdefaultForm1(owner, window) {
  setObjectName(QStringLiteral("stringForm"));
  stringLabel = named(new QLabel(this), "stringLabel");
  stringUseString =
      named(new QRadioButton(QStringLiteral("Using this text"), this), "stringUseString");
  stringUseFile = named(new QRadioButton(QStringLiteral("From file"), this), "stringUseFile");
  stringField = named(new QTextEdit(this), "stringField");
  stringField->setAcceptRichText(false);
  stringStatus = named(new MemoStatusBar(this), "stringStatus");
  stringFilename = named(new TFilenameEdit(this), "stringFilename");
  stringFilename->SetButtonHint(QStringLiteral("Browse for a file"));
  stringLabel->setBuddy(stringField);

  auto *layout = new QVBoxLayout(this);
  layout->addWidget(stringLabel);
  layout->addWidget(stringUseString);
  layout->addWidget(stringField, 1);
  layout->addWidget(stringStatus);
  layout->addWidget(stringUseFile);
  layout->addWidget(stringFilename);

  for (QRadioButton *radio : {stringUseString, stringUseFile})
    connect(radio, &QRadioButton::toggled, this, [this](bool on) {
      if (on) {
        stringUseFileClick();
        fieldChanged();
      }
    });
  connect(stringField, &QTextEdit::textChanged, this, &TstringForm::stringFieldChange);
  connect(stringField, &QTextEdit::cursorPositionChanged, this,
          [this] { UpdateMemoCursorPos(stringField, stringStatus); });
  reportChanges(this, stringFilename, &TCustomComboEdit::changed);
  preparePopup(stringField, [](TmenuForm &menu) {
    menu.fieldSubmenu()->menuAction()->setVisible(true);
    menu.specialAtItem()->setVisible(true);
  });
  preparePopup(stringFilename);
}

void TstringForm::stringUseFileClick() {
  const bool fromFile = stringUseFile->isChecked();
  stringFilename->setEnabled(fromFile);
  stringField->setEnabled(!fromFile);
}

void TstringForm::stringFieldChange() {
  // The escapes are checked as they are typed; the memo's own bytes stay.
  try {
    decodeEscapes(memoBytes(stringField));
    statusBarText({});
  } catch (const Exception &e) {
    statusBarError(e.message());
  }
  UpdateMemoPosAndSize(stringField, stringStatus);
  fieldChanged();
}

void TstringForm::putToScreen(TListObject &node) {
  const auto &text = static_cast<const TStringObject &>(node);
  whileFilling([&] {
    stringLabel->setText(toQString(text.field_name()));
    const QString hint = toQString(text.fieldHint());
    stringField->setToolTip(hint);
    stringFilename->setToolTip(hint);
    textCut_ = text.text.size() > editableTextLimit;
    stringField->setReadOnly(textCut_);
    setMemoBytes(stringField, textCut_ ? std::string(graphemes::cutToBytes(
                                             text.text, *systemCodePage(), editableTextLimit)) +
                                             " ..."
                                       : text.text);
    showFileName(stringFilename, text.fileName);
    stringUseString->setChecked(text.useString);
    stringUseFile->setChecked(!text.useString);
    stringUseFileClick();
  });
  setHelpContext(node.helpContext());
}

void TstringForm::getFromScreen(TListObject &node) {
  auto &text = static_cast<TStringObject &>(node);
  if (!textCut_)
    text.text = memoBytes(stringField);
  text.fileName = fileNameShown(stringFilename);
  text.useString = stringUseString->isChecked();
}

bool TstringForm::isDifferent(const TListObject &node) const {
  const auto &text = static_cast<const TStringObject &>(node);
  return (!textCut_ && text.text != memoBytes(stringField)) ||
         text.fileName != fileNameShown(stringFilename) ||
         text.useString != stringUseString->isChecked();
}

void registerDescriptionDialogs() {
  registerNodeDialog("TDescriptionObject", [](TListObject &, TNodeEditorSite &window) {
    return std::unique_ptr<TNodeEditor>(TdefaultForm1::Create<TdescriptionForm>(nullptr, &window));
  });
  registerNodeDialog("TNumberObject", [](TListObject &, TNodeEditorSite &window) {
    return std::unique_ptr<TNodeEditor>(TdefaultForm1::Create<TnumberForm>(nullptr, &window));
  });
  registerNodeDialog("TStringObject", [](TListObject &, TNodeEditorSite &window) {
    return std::unique_ptr<TNodeEditor>(TdefaultForm1::Create<TstringForm>(nullptr, &window));
  });
}

} // namespace marrowen
