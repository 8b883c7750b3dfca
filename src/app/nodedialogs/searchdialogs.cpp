#include "app/nodedialogs/searchdialogs.h"

#include "app/common/memos.h"
#include "app/common/patternmenu.h"
#include "app/common/translateform.h"
#include "classlib/exceptions.h"
#include "classlib/utf8.h"
#include "components/dialogrunner.h"
#include "engine/escapes.h"
#include "engine/messages.h"
#include "filterlist/searchnodes.h"
#include "filters/dialects.h"
#include "qtext/qtext.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace marrowen {

namespace {

// Pattern, Perl, Brief-style and Word-style: the types that compile.
bool isPatternDialect(std::int32_t type) { return type == 1 || (type >= 4 && type <= 6); }

// Counted in letters as the user typed them: "\xC3\xA4" is one, as is a
// byte that is no UTF-8.
QString lengthAndLines(const std::string &decoded, int lines) {
  return toQString(
      translateFormat(1040, "Length: %d  Lines: %d",
                      {static_cast<std::int64_t>(utf8::characterCount(decoded)), lines}));
}

QDialogButtonBox *okCancel(QDialog *dialog) {
  auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
  buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("OKBtn"));
  buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("CancelBtn"));
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  return buttons;
}

} // namespace

// --- TsearchForm ---

TsearchForm::TsearchForm(QWidget *owner, TNodeEditorSite *window) : TdefaultForm1(owner, window) {
  setObjectName(QStringLiteral("searchForm"));
  setHelpContext(1170);
  auto *topPanel = new QWidget(this);
  topPanel->setObjectName(QStringLiteral("topPanel"));
  searchString_ = namedMemo(topPanel, "searchString");
  searchStringLabel_ =
      namedLabel(topPanel, "searchStringLabel", QStringLiteral("&Find"), searchString_);
  searchStringLength_ = namedLabel(topPanel, "searchStringLength", QStringLiteral("Length:"));
  patternTypeBox_ = new QComboBox(topPanel);
  patternTypeBox_->setObjectName(QStringLiteral("patternType"));
  patternTypeBox_->addItems({QStringLiteral("Exact match"), QStringLiteral("Pattern match"),
                             QStringLiteral("Sounds like"), QStringLiteral("Edit distance")});
  auto *typeLabel =
      namedLabel(topPanel, "patternTypeLabel", QStringLiteral("Find t&ype"), patternTypeBox_);
  searchIgnoreCase_ = namedCheckBox(topPanel, "searchIgnoreCase", QStringLiteral("Matc&h case"));
  wholeWord_ = namedCheckBox(topPanel, "wholeWord", QStringLiteral("Find &whole words only"));
  patternOptionsButton_ = namedButton(topPanel, "patternOptionsButton", QStringLiteral("..."));
  patternOptionsButton_->setFixedWidth(28);
  auto *heading = new QHBoxLayout;
  heading->addWidget(searchStringLabel_);
  heading->addStretch();
  heading->addWidget(searchStringLength_);
  // Two short rows rather than one long one, so the dialog fits a narrow panel.
  auto *options = new QHBoxLayout;
  options->addWidget(typeLabel);
  options->addWidget(patternTypeBox_);
  options->addWidget(patternOptionsButton_);
  options->addStretch();
  auto *matching = new QHBoxLayout;
  matching->addWidget(searchIgnoreCase_);
  matching->addWidget(wholeWord_);
  matching->addStretch();
  auto *top = new QVBoxLayout(topPanel);
  top->setContentsMargins(0, 0, 0, 0);
  top->addLayout(heading);
  top->addWidget(searchString_, 1);
  top->addLayout(options);
  top->addLayout(matching);

  auto *bottomPanel = new QWidget(this);
  bottomPanel->setObjectName(QStringLiteral("bottomPanel"));
  replaceString_ = namedMemo(bottomPanel, "replaceString");
  auto *replaceLabel = namedLabel(bottomPanel, "replaceStringLabel",
                                  QStringLiteral("&Replace with"), replaceString_);
  replaceStringLength_ = namedLabel(bottomPanel, "replaceStringLength", QStringLiteral("Length:"));
  caseSensitiveReplace_ =
      namedCheckBox(bottomPanel, "caseSensitiveReplace", QStringLiteral("&Case sensitive replace"));
  promptOnReplace_ =
      namedCheckBox(bottomPanel, "promptOnReplace", QStringLiteral("Pr&ompt on replace"));
  skipPromptIdentical_ =
      namedCheckBox(bottomPanel, "skipPromptIdentical", QStringLiteral("Skip prompt if identical"));
  firstOnly_ = namedCheckBox(bottomPanel, "firstOnly", QStringLiteral("Replace first only"));
  auto *replaceHeading = new QHBoxLayout;
  replaceHeading->addWidget(replaceLabel);
  replaceHeading->addStretch();
  replaceHeading->addWidget(replaceStringLength_);
  auto *replies = new QGridLayout;
  replies->addWidget(caseSensitiveReplace_, 0, 0);
  replies->addWidget(promptOnReplace_, 0, 1);
  replies->addWidget(firstOnly_, 1, 0);
  replies->addWidget(skipPromptIdentical_, 1, 1);
  replies->setColumnStretch(2, 1);
  auto *bottom = new QVBoxLayout(bottomPanel);
  bottom->setContentsMargins(0, 0, 0, 0);
  bottom->addLayout(replaceHeading);
  bottom->addWidget(replaceString_, 1);
  bottom->addLayout(replies);

  // The top panel takes half of the height.
  auto *layout = new QVBoxLayout(this);
  layout->addWidget(topPanel, 1);
  layout->addWidget(bottomPanel, 1);

  searchText_ = memoValue(searchString_);
  replaceText_ = memoValue(replaceString_);
  ignoreCase_ = checkBoxValue(searchIgnoreCase_, true);
  wholeWordFlag_ = checkBoxValue(wholeWord_);
  caseSensitive_ = checkBoxValue(caseSensitiveReplace_);
  prompt_ = checkBoxValue(promptOnReplace_);
  skipIdentical_ = checkBoxValue(skipPromptIdentical_);
  firstOnlyFlag_ = checkBoxValue(firstOnly_);
  patternType_ = comboIndexValue(patternTypeBox_);
  keptBufferSize_ = keptValue(bufferSize);
  keptThreshold_ = keptValue(threshold);
  keptGreedy_ = keptValue(greedy);
  keptComments_ = keptValue(allowComments);
  keptDot_ = keptValue(dotMatchesNewLines);
  fields_.bind(&TSearchObject::searchString, searchText_);
  fields_.bind(&TSearchObject::replaceString, replaceText_);
  fields_.bind(&TSearchObject::ignoreCase, ignoreCase_);
  fields_.bind(&TSearchObject::wholeWord, wholeWordFlag_);
  fields_.bind(&TSearchObject::caseSensitiveReplace, caseSensitive_);
  fields_.bind(&TSearchObject::patternType, patternType_);
  fields_.bind(&TSearchObject::promptOnReplace, prompt_);
  fields_.bind(&TSearchObject::skipPromptIdentical, skipIdentical_);
  fields_.bind(&TSearchObject::firstOnly, firstOnlyFlag_);
  fields_.bind(&TSearchObject::bufferSize, keptBufferSize_);
  fields_.bind(&TSearchObject::threshold, keptThreshold_);
  fields_.bind(&TSearchObject::greedy, keptGreedy_);
  fields_.bind(&TSearchObject::allowComments, keptComments_);
  fields_.bind(&TSearchObject::dotMatchesNewLines, keptDot_);

  connect(searchString_, &QPlainTextEdit::textChanged, this, &TsearchForm::searchStringChange);
  connect(replaceString_, &QPlainTextEdit::textChanged, this, &TsearchForm::searchStringChange);
  connect(patternTypeBox_, &QComboBox::activated, this, &TsearchForm::patternTypeClick);
  connect(patternTypeBox_, &QComboBox::currentIndexChanged, this, &TsearchForm::patternTypeChange);
  connect(patternOptionsButton_, &QPushButton::clicked, this,
          &TsearchForm::patternOptionsButtonClick);
  for (QCheckBox *box : {caseSensitiveReplace_, promptOnReplace_, skipPromptIdentical_, firstOnly_,
                         searchIgnoreCase_, wholeWord_})
    connect(box, &QCheckBox::clicked, this, &TsearchForm::replyOptionsClick);

  preparePopup(replaceString_, [this](TmenuForm &menu) {
    const bool pattern = isPatternDialect(patternType());
    menu.specialSubmenu()->menuAction()->setVisible(true);
    menu.matchedSubmenu()->menuAction()->setVisible(pattern);
    menu.specialDollarItem()->setVisible(pattern);
  });
  preparePopup(searchString_, [this](TmenuForm &menu) {
    const bool pattern = isPatternDialect(patternType());
    menu.patternSubmenu()->menuAction()->setVisible(pattern);
    menu.specialSubmenu()->menuAction()->setVisible(!pattern);
    menu.regexpSubmenu()->menuAction()->setVisible(pattern);
  });
}

void TsearchForm::putToScreen(TListObject &node) {
  auto &search = dynamic_cast<TSearchObject &>(node);
  // No build accepts such a type: the node starts again from exact text.
  if (search.patternType >= 7)
    search.patternType = 0;
  whileFilling([&] {
    fields_.put(search);
    patternTypeChange();
    patternTypeClick();
    replyOptionsClick();
    searchStringChange();
  });
}

void TsearchForm::getFromScreen(TListObject &node) {
  fields_.get(dynamic_cast<TSearchObject &>(node));
}

bool TsearchForm::isDifferent(const TListObject &node) const {
  return fields_.differs(dynamic_cast<const TSearchObject &>(node));
}

void TsearchForm::searchStringChange() {
  try {
    const std::string replacement = decodeEscapes(memoBytes(replaceString_));
    replaceStringLength_->setText(lengthAndLines(replacement, memoSize(replaceString_).lines));
    const std::string raw = memoBytes(searchString_);
    const std::string search = decodeEscapes(raw);
    searchStringLength_->setText(lengthAndLines(search, memoSize(searchString_).lines));
    const std::int32_t type = patternType();
    if (isPatternDialect(type)) {
      // The dialects reach the engine converted, as the filter converts them.
      if (window())
        window()->testRegExp(type == 5   ? convertBriefPattern(raw)
                             : type == 6 ? convertWordPattern(raw)
                                         : raw);
    } else if (search.empty()) {
      statusBarError(translate(1050, "Error: Find string is blank"));
    } else if (searchStringLength_->text() != replaceStringLength_->text()) {
      statusBarError(translate(1060, "Warning: Find and Replace string lengths don't match"));
    } else {
      statusBarText({});
    }
  } catch (const Exception &error) {
    statusBarError(error.message());
  }
  fieldChanged();
}

void TsearchForm::patternTypeClick() {
  const std::int32_t type = patternType();
  wholeWord_->setEnabled(type == 0 || isPatternDialect(type));
  searchIgnoreCase_->setEnabled(type != 2);
  fieldChanged();
}

void TsearchForm::patternTypeChange() {
  static constexpr std::pair<int, const char *> labels[] = {{1070, "&Find"},
                                                            {1080, "&Find pattern"},
                                                            {1090, "&Find a word that sounds like"},
                                                            {1100, "&Find a word similar to"},
                                                            {1110, "&Find Perl pattern"},
                                                            {1120, "&Find Brief-style pattern"},
                                                            {1130, "&Find MS Word-style pattern"}};
  const std::int32_t type = patternType();
  if (type >= 0 && type < 7)
    searchStringLabel_->setText(messageText(labels[type].first, labels[type].second));
  patternOptionsButton_->setVisible(type == 1 || (type >= 3 && type <= 6));
  // A newly chosen dialect changes what the texts mean.
  if (!filling())
    searchStringChange();
}

void TsearchForm::patternOptionsButtonClick() {
  const std::int32_t type = patternType();
  if (type == 3) {
    TeditDistanceOptions box(this);
    BoundNumber shown = spinValue(box.bufferSize);
    shown.put(threshold);
    if (DialogRunner::exec(box) != QDialog::Accepted)
      return;
    threshold = shown.value();
  } else if (isPatternDialect(type)) {
    TpatternOptions box(this, type == 4);
    BoundNumber size = spinValue(box.bufferSize);
    size.put(bufferSize);
    box.greedyButton->setChecked(greedy);
    box.nonGreedy->setChecked(!greedy);
    box.allowComments->setChecked(allowComments);
    box.dotMatchesNewLines->setChecked(dotMatchesNewLines);
    if (DialogRunner::exec(box) != QDialog::Accepted)
      return;
    bufferSize = size.value();
    greedy = box.greedyButton->isChecked();
    allowComments = box.allowComments->isChecked();
    dotMatchesNewLines = box.dotMatchesNewLines->isChecked();
  } else {
    return;
  }
  fieldChanged();
}

void TsearchForm::replyOptionsClick() {
  skipPromptIdentical_->setEnabled(promptOnReplace_->isChecked());
  fieldChanged();
}

TpatternOptions::TpatternOptions(QWidget *parent, bool perlPattern) : QDialog(parent) {
  setObjectName(QStringLiteral("patternOptions"));
  setWindowTitle(QStringLiteral("Pattern matching options"));
  bufferSize = namedSpin(this, "bufferSize", 4096, 999999);
  auto *sizeLabel =
      namedLabel(this, "Label1", QStringLiteral("Maximum text buffer size"), bufferSize);
  auto *group = namedGroup(this, "greedy", QStringLiteral(" Default match length "));
  markRadioGroup(group);
  nonGreedy = namedRadio(group, "greedy0", QStringLiteral("Minimum match (non-greedy)"));
  greedyButton = namedRadio(group, "greedy1", QStringLiteral("Maximum match (greedy)"));
  auto *groupLayout = new QVBoxLayout(group);
  groupLayout->addWidget(nonGreedy);
  groupLayout->addWidget(greedyButton);
  allowComments = namedCheckBox(this, "allowComments", QStringLiteral("Allow comments in pattern"));
  dotMatchesNewLines =
      namedCheckBox(this, "DotMatchesNewLines", QStringLiteral("'.' matches newline"));
  for (QWidget *perlOnly :
       std::initializer_list<QWidget *>{group, allowComments, dotMatchesNewLines})
    perlOnly->setVisible(perlPattern);
  auto *layout = new QVBoxLayout(this);
  auto *size = new QHBoxLayout;
  size->addWidget(sizeLabel);
  size->addWidget(bufferSize);
  layout->addLayout(size);
  layout->addWidget(group);
  layout->addWidget(allowComments);
  layout->addWidget(dotMatchesNewLines);
  layout->addWidget(okCancel(this));
  translateForm(this);
}

TeditDistanceOptions::TeditDistanceOptions(QWidget *parent) : QDialog(parent) {
  setObjectName(QStringLiteral("editDistanceOptions"));
  setWindowTitle(QStringLiteral("Edit distance threshold"));
  auto *group =
      namedGroup(this, "GroupBox1", QStringLiteral(" Edit distance replacement threshold "));
  bufferSize = namedSpin(group, "bufferSize", 1, 255);
  auto *groupLayout = new QVBoxLayout(group);
  groupLayout->addWidget(bufferSize);
  auto *layout = new QVBoxLayout(this);
  layout->addWidget(group);
  layout->addWidget(okCancel(this));
  translateForm(this);
}

// --- TgrepForm ---

TgrepForm::TgrepForm(QWidget *owner, TNodeEditorSite *window) : TdefaultForm1(owner, window) {
  setObjectName(QStringLiteral("grepForm"));
  setHelpContext(1160);
  grepPattern_ = namedEdit(this, "grepPattern");
  grepTypeLabel_ =
      namedLabel(this, "grepTypeLabel", QStringLiteral("&Match pattern"), grepPattern_);
  grepPatternLength_ = namedLabel(this, "grepPatternLength", QStringLiteral("Length:"));
  grepMatchCase_ = namedCheckBox(this, "grepMatchCase", QStringLiteral("Matc&h case"));
  grepCountMatches_ =
      namedCheckBox(this, "grepCountMatches", QStringLiteral("Output &count of matches"));
  grepIncludeFileName_ =
      namedCheckBox(this, "grepIncludeFileName", QStringLiteral("Include &filename"));
  grepIncludeLineNumbers_ =
      namedCheckBox(this, "grepIncludeLineNumbers", QStringLiteral("Include line &numbers"));
  contextBox_ = namedGroup(this, "contextBox", QStringLiteral(" Conte&xt lines "));
  contextBefore_ = namedSpin(contextBox_, "contextBefore", 0, 100);
  contextAfter_ = namedSpin(contextBox_, "contextAfter", 0, 100);
  auto *context = new QHBoxLayout(contextBox_);
  context->addWidget(
      namedLabel(contextBox_, "contextBeforeLabel", QStringLiteral("Before"), contextBefore_));
  context->addWidget(contextBefore_);
  context->addWidget(
      namedLabel(contextBox_, "contextAfterLabel", QStringLiteral("After"), contextAfter_));
  context->addWidget(contextAfter_);
  context->addStretch();

  auto *heading = new QHBoxLayout;
  heading->addWidget(grepTypeLabel_);
  heading->addStretch();
  heading->addWidget(grepPatternLength_);
  auto *layout = new QVBoxLayout(this);
  layout->addLayout(heading);
  layout->addWidget(grepPattern_);
  for (QCheckBox *box :
       {grepMatchCase_, grepCountMatches_, grepIncludeFileName_, grepIncludeLineNumbers_})
    layout->addWidget(box);
  layout->addWidget(contextBox_);
  layout->addStretch();

  pattern_ = lineEditValue(grepPattern_);
  lineNumbers_ = checkBoxValue(grepIncludeLineNumbers_);
  fileName_ = checkBoxValue(grepIncludeFileName_);
  ignoreCase_ = checkBoxValue(grepMatchCase_, true);
  countMatches_ = checkBoxValue(grepCountMatches_);
  before_ = spinValue(contextBefore_);
  after_ = spinValue(contextAfter_);
  fields_.bind(&TGrepObject::includeLineNumbers, lineNumbers_);
  fields_.bind(&TGrepObject::includeFileName, fileName_);
  fields_.bind(&TGrepObject::ignoreCase, ignoreCase_);
  fields_.bind(&TGrepObject::countMatches, countMatches_);
  fields_.bind(&TGrepObject::pattern, pattern_);
  fields_.bind(&TGrepObject::contextBefore, before_);
  fields_.bind(&TGrepObject::contextAfter, after_);

  connect(grepPattern_, &QLineEdit::textChanged, this, &TgrepForm::grepPatternChange);
  for (QCheckBox *box :
       {grepMatchCase_, grepCountMatches_, grepIncludeFileName_, grepIncludeLineNumbers_})
    connect(box, &QCheckBox::clicked, this, &TgrepForm::grepTypeClick);
  for (QSpinBox *spin : {contextBefore_, contextAfter_})
    connect(spin, &QSpinBox::valueChanged, this, &TgrepForm::fieldChanged);
  prepareNoFrillsPopup(grepPattern_, [](TmenuForm &menu) {
    menu.patternSubmenu()->menuAction()->setVisible(true);
    menu.regexpSubmenu()->menuAction()->setVisible(true);
  });
}

void TgrepForm::putToScreen(TListObject &node) {
  auto &grep = dynamic_cast<TGrepObject &>(node);
  static constexpr std::pair<int, const char *> labels[] = {{5790, "&Select lines matching"},
                                                            {5800, "&Select lines NOT matching"},
                                                            {5810, "&Extract matches"}};
  static constexpr int helpContexts[] = {1160, 1260, 1250};
  whileFilling([&] {
    if (grep.kind >= 0 && grep.kind <= 2) {
      grepTypeLabel_->setText(messageText(labels[grep.kind].first, labels[grep.kind].second));
      setHelpContext(helpContexts[grep.kind]);
    }
    const bool extract = grep.kind == TGrepObject::Extract;
    contextBox_->setVisible(!extract);
    grepIncludeLineNumbers_->setVisible(!extract);
    fields_.put(grep);
    dimCounts();
    grepPatternChange();
  });
}

void TgrepForm::getFromScreen(TListObject &node) { fields_.get(dynamic_cast<TGrepObject &>(node)); }

bool TgrepForm::isDifferent(const TListObject &node) const {
  return fields_.differs(dynamic_cast<const TGrepObject &>(node));
}

void TgrepForm::grepPatternChange() {
  const std::string pattern = fromQString(grepPattern_->text());
  std::string decoded = pattern;
  try {
    decoded = fromDisplayHandleError(pattern);
  } catch (const Exception &) {
    // Without a window there is no status bar to show the fault in.
  }
  grepPatternLength_->setText(toQString(translateFormat(
      1020, "Length: %d", {static_cast<std::int64_t>(utf8::characterCount(decoded))})));
  fieldChanged();
  if (window())
    window()->testRegExp(pattern);
}

void TgrepForm::grepTypeClick() {
  fieldChanged();
  dimCounts();
}

void TgrepForm::dimCounts() {
  const bool counting = grepCountMatches_->isChecked();
  grepIncludeLineNumbers_->setEnabled(!counting);
  // The group's labels and fields follow it.
  contextBox_->setEnabled(!counting);
}

void registerSearchDialogs() {
  registerDialog<TsearchForm>("TSearchObject");
  registerDialog<TgrepForm>("TGrepObject");
}

} // namespace marrowen
