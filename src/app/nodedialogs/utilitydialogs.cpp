#include "app/nodedialogs/utilitydialogs.h"

#include "app/common/memos.h"
#include "app/common/patternmenu.h"
#include "components/fileedits.h"
#include "filterlist/utilitynodes.h"
#include "qtext/qtext.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QVBoxLayout>

#include <climits>

namespace marrowen {

// --- TduplicatesForm ---

TduplicatesForm::TduplicatesForm(QWidget *owner, TNodeEditorSite *window)
    : TdefaultForm1(owner, window) {
  setObjectName(QStringLiteral("duplicatesForm"));
  setHelpContext(730);
  auto *ignoreCase = namedCheckBox(this, "dupIgnoreCase", QStringLiteral("&Ignore case"));
  auto *leading = namedSpin(this, "dupIgnoreLeadingChars", 0, 10000);
  auto *row = new QHBoxLayout;
  row->addWidget(namedLabel(this, "Label1", QStringLiteral("Ignore &leading characters"), leading));
  row->addWidget(leading);
  row->addStretch();
  auto *layout = new QVBoxLayout(this);
  layout->addWidget(ignoreCase);
  layout->addLayout(row);
  layout->addStretch();
  ignoreCase_ = checkBoxValue(ignoreCase);
  ignoreLeading_ = spinValue(leading);
  fields_.bind(&TDuplicateObject::ignoreCase, ignoreCase_);
  fields_.bind(&TDuplicateObject::ignoreLeading, ignoreLeading_);
  connect(ignoreCase, &QCheckBox::clicked, this, &TduplicatesForm::fieldChanged);
  connect(leading, &QSpinBox::valueChanged, this, &TduplicatesForm::fieldChanged);
}

void TduplicatesForm::putToScreen(TListObject &node) {
  auto &duplicates = dynamic_cast<TDuplicateObject &>(node);
  setHelpContext(duplicates.kind == TDuplicateObject::CountDuplicates ? 860 : 730);
  whileFilling([&] { fields_.put(duplicates); });
}

void TduplicatesForm::getFromScreen(TListObject &node) {
  fields_.get(dynamic_cast<TDuplicateObject &>(node));
}

bool TduplicatesForm::isDifferent(const TListObject &node) const {
  return fields_.differs(dynamic_cast<const TDuplicateObject &>(node));
}

// --- TexecuteForm ---

TexecuteForm::TexecuteForm(QWidget *owner, TNodeEditorSite *window) : TdefaultForm1(owner, window) {
  setObjectName(QStringLiteral("executeForm"));
  setHelpContext(830);
  // Each file field is named after its setting, which names the file from
  // the filter's side; its caption names it from the program's: the filter's
  // output is the program's input.
  static constexpr std::pair<const char *, const char *> controls[] = {
      {"commandLine", "Co&mmand line"},
      {"programOutputFilename", "&Input file for external program"},
      {"programInputFilename", "Program's &output file"}};
  auto *layout = new QVBoxLayout(this);
  files_.reserve(std::size(controls));
  for (const auto &[name, caption] : controls) {
    auto *edit = new TFilenameEdit(this);
    edit->setObjectName(QString::fromLatin1(name));
    layout->addWidget(namedLabel(this, (std::string(name) + "Label").c_str(),
                                 QString::fromLatin1(caption), edit));
    layout->addWidget(edit);
    connect(edit, &TCustomComboEdit::changed, this, &TexecuteForm::fieldChanged);
    prepareNoFrillsPopup(edit);
    // Bound through the field of the same name.
    const NodeField<TExecuteObject> *field = findField(TExecuteObject::fields(), name);
    files_.push_back(fileNameValue(edit));
    fields_.bind(std::get<std::string TExecuteObject::*>(field->member), files_.back());
  }
  layout->addStretch();
}

void TexecuteForm::putToScreen(TListObject &node) {
  whileFilling([&] { fields_.put(dynamic_cast<TExecuteObject &>(node)); });
}

void TexecuteForm::getFromScreen(TListObject &node) {
  fields_.get(dynamic_cast<TExecuteObject &>(node));
}

bool TexecuteForm::isDifferent(const TListObject &node) const {
  return fields_.differs(dynamic_cast<const TExecuteObject &>(node));
}

// --- TinsertColForm ---

TinsertColForm::TinsertColForm(QWidget *owner, TNodeEditorSite *window)
    : TdefaultForm1(owner, window) {
  setObjectName(QStringLiteral("insertColForm"));
  // Its own page: the main window's context would open the main window's.
  setHelpContext(1510);
  insertStr_ = namedMemo(this, "insertStr", true);
  auto *position = namedSpin(this, "insertPos", -99999, 99999);
  insertStatus_ = new MemoStatusBar(this);
  insertStatus_->setObjectName(QStringLiteral("insertStatus"));
  auto *row = new QHBoxLayout;
  row->addWidget(namedLabel(this, "Label1", QStringLiteral("&Column to insert text at"), position));
  row->addWidget(position);
  row->addWidget(
      namedLabel(this, "Label2", QStringLiteral("(For end of line use 0 or negative numbers)")));
  row->addStretch();
  auto *layout = new QVBoxLayout(this);
  layout->addLayout(row);
  layout->addWidget(namedLabel(this, "Label3", QStringLiteral("&Text to insert"), insertStr_));
  layout->addWidget(insertStr_, 1);
  layout->addWidget(insertStatus_);

  position_ = spinValue(position);
  text_ = memoValue(insertStr_);
  fields_.bind(&TInsertColumnObject::position, position_);
  fields_.bind(&TInsertColumnObject::text, text_);
  bindMemoStatus(insertStr_, insertStatus_);
  connect(insertStr_, &QPlainTextEdit::textChanged, this, &TinsertColForm::insertStrChange);
  connect(position, &QSpinBox::valueChanged, this, &TinsertColForm::fieldChanged);
  preparePopup(insertStr_, [](TmenuForm &menu) {
    menu.fieldSubmenu()->menuAction()->setVisible(true);
    menu.specialAtItem()->setVisible(true);
  });
}

void TinsertColForm::putToScreen(TListObject &node) {
  whileFilling([&] { fields_.put(dynamic_cast<TInsertColumnObject &>(node)); });
  UpdateMemoPosAndSize(insertStr_, insertStatus_);
}

void TinsertColForm::getFromScreen(TListObject &node) {
  fields_.get(dynamic_cast<TInsertColumnObject &>(node));
}

bool TinsertColForm::isDifferent(const TListObject &node) const {
  return fields_.differs(dynamic_cast<const TInsertColumnObject &>(node));
}

void TinsertColForm::insertStrChange() {
  UpdateMemoPosAndSize(insertStr_, insertStatus_);
  if (!filling())
    stringFieldChange(memoBytes(insertStr_));
}

// --- TconcordanceForm ---

TconcordanceForm::TconcordanceForm(QWidget *owner, TNodeEditorSite *window)
    : TdefaultForm1(owner, window) {
  setObjectName(QStringLiteral("concordanceForm"));
  auto *before = namedSpin(this, "concordanceBefore", 0, 1000);
  auto *after = namedSpin(this, "concordanceAfter", 0, 1000);
  auto *format = new QComboBox(this);
  format->setObjectName(QStringLiteral("concordanceFormat"));
  format->setEditable(true);
  format->addItems({QStringLiteral("%s %s %s"), QStringLiteral("%s [%s] %s")});
  auto *dictionary = namedMemo(this, "concordanceDictionary");
  dictionary->setFixedHeight(dictionary->fontMetrics().height() * 2 + 8);
  auto *form = new QFormLayout;
  form->addRow(namedLabel(this, "Label1", QStringLiteral("Words &before"), before), before);
  form->addRow(namedLabel(this, "Label2", QStringLiteral("Words &after"), after), after);
  form->addRow(namedLabel(this, "Label3", QStringLiteral("&Format"), format), format);
  form->addRow(namedLabel(this, "Label4", QStringLiteral("&Dictionary"), dictionary), dictionary);
  auto *layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addStretch();

  before_ = spinValue(before);
  after_ = spinValue(after);
  format_ = comboTextValue(format);
  dictionary_ = BoundValue<std::vector<std::string>>(
      [dictionary](const std::vector<std::string> &words) {
        setMemoBytes(dictionary, commaText(words));
      },
      [dictionary] { return itemsFromCommaText(memoBytes(dictionary)); });
  fields_.bind(&TConcordanceObject::wordsBefore, before_);
  fields_.bind(&TConcordanceObject::wordsAfter, after_);
  fields_.bind(&TConcordanceObject::format, format_);
  fields_.bind(&TConcordanceObject::dictionary, dictionary_);
  connect(before, &QSpinBox::valueChanged, this, &TconcordanceForm::fieldChanged);
  connect(after, &QSpinBox::valueChanged, this, &TconcordanceForm::fieldChanged);
  connect(format, &QComboBox::editTextChanged, this, &TconcordanceForm::fieldChanged);
  connect(dictionary, &QPlainTextEdit::textChanged, this, &TconcordanceForm::fieldChanged);
  preparePopup(format);
  preparePopup(dictionary);
}

void TconcordanceForm::putToScreen(TListObject &node) {
  whileFilling([&] { fields_.put(dynamic_cast<TConcordanceObject &>(node)); });
}

void TconcordanceForm::getFromScreen(TListObject &node) {
  fields_.get(dynamic_cast<TConcordanceObject &>(node));
}

bool TconcordanceForm::isDifferent(const TListObject &node) const {
  return fields_.differs(dynamic_cast<const TConcordanceObject &>(node));
}

void registerUtilityDialogs() {
  registerDialog<TduplicatesForm>("TDuplicateObject");
  registerDialog<TexecuteForm>("TExecuteObject");
  registerDialog<TinsertColForm>("TInsertColumnObject");
  registerDialog<TconcordanceForm>("TConcordanceObject");
}

} // namespace marrowen
