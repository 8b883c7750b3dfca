#include "app/nodedialogs/filedialogs.h"

#include "app/common/launcher.h"
#include "classlib/format.h"
#include "components/fileedits.h"
#include "engine/escapes.h"
#include "engine/messages.h"
#include "filterlist/filenodes.h"
#include "qtext/qtext.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace marrowen {

namespace {

struct MergeTexts {
  int helpContext;
  std::pair<int, const char *> caption, hint, buttonHint;
};

constexpr MergeTexts mergeTexts[] = {
    {850,
     {5360, "&Merge files to"},
     {5370, "Join all input files together and output to this single file"},
     {5380, "Select the file to merge into"}},
    {870,
     {5390, "&Only show lines found in"},
     {5400, "Only allow the lines found in this file"},
     {5410, "Select the file that defines the required lines"}},
    {890,
     {5420, "&Remove lines found in"},
     {5430, "Remove all matching lines found in this file"},
     {5440, "Select the file that lists the unwanted lines"}},
    {1240,
     {5450, "&Link to Marrowen filter file (.fll)"},
     {5460, "Add the filters in this file"},
     {5470, "Select the filter to link to"}},
};

const QString textFilter = QStringLiteral("Text files (*.txt)|*.txt|All files (*.*)|*.*");

// The sizes of the common-size list, from its second item on.
constexpr int commonSizes[] = {362496, 730112, 1213952, 1457664, 2915328};

} // namespace

// --- TmergeForm ---

TmergeForm::TmergeForm(QWidget *owner, TNodeEditorSite *window) : TdefaultForm1(owner, window) {
  setObjectName(QStringLiteral("mergeForm"));
  setHelpContext(850);
  mergeFilename_ = new TFilenameEdit(this);
  mergeFilename_->setObjectName(QStringLiteral("mergeFilename"));
  mergeFilename_->SetDefaultExt(QStringLiteral(".txt"));
  mergeFilename_->SetFilter(textFilter);
  label_ = namedLabel(this, "Label1", QStringLiteral("&Merge files to"), mergeFilename_);
  auto *open = namedButton(this, "openButton", QStringLiteral("Open"));
  auto *row = new QHBoxLayout;
  row->addWidget(mergeFilename_, 1);
  row->addWidget(open);
  auto *layout = new QVBoxLayout(this);
  layout->addWidget(label_);
  layout->addLayout(row);
  layout->addStretch();

  fileName_ = fileNameValue(mergeFilename_);
  fields_.bind(&TMergeObject::fileName, fileName_);
  connect(mergeFilename_, &TCustomComboEdit::changed, this, &TmergeForm::fieldChanged);
  connect(open, &QPushButton::clicked, this, &TmergeForm::openButtonClick);
  prepareNoFrillsPopup(mergeFilename_);
}

void TmergeForm::putToScreen(TListObject &node) {
  auto &merge = dynamic_cast<TMergeObject &>(node);
  whileFilling([&] {
    if (merge.kind >= 0 && merge.kind <= 3) {
      const MergeTexts &texts = mergeTexts[merge.kind];
      setHelpContext(texts.helpContext);
      label_->setText(messageText(texts.caption.first, texts.caption.second));
      mergeFilename_->setToolTip(messageText(texts.hint.first, texts.hint.second));
      mergeFilename_->SetButtonHint(messageText(texts.buttonHint.first, texts.buttonHint.second));
    }
    if (merge.kind == TMergeObject::LinkFilterFile) {
      mergeFilename_->SetDefaultExt(QStringLiteral(".fll"));
      mergeFilename_->SetFilter(
          messageText(5480, "Filter files (*.fll)|*.fll|All files (*.*)|*.*"));
    } else {
      mergeFilename_->SetDefaultExt(QStringLiteral(".txt"));
      mergeFilename_->SetFilter(textFilter);
    }
    fields_.put(merge);
  });
}

void TmergeForm::getFromScreen(TListObject &node) {
  fields_.get(dynamic_cast<TMergeObject &>(node));
}

bool TmergeForm::isDifferent(const TListObject &node) const {
  return fields_.differs(dynamic_cast<const TMergeObject &>(node));
}

void TmergeForm::openButtonClick() {
  const std::string name = unquote(fileNameShown(mergeFilename_));
  if (!name.empty())
    launcher().openUrl(fileNameToOpenTarget(localPath(name)));
}

// --- TsplitForm ---

TsplitForm::TsplitForm(QWidget *owner, TNodeEditorSite *window) : TdefaultForm1(owner, window) {
  setObjectName(QStringLiteral("splitForm"));
  setHelpContext(950);
  splitSizeRadio_ = namedRadio(this, "splitSizeRadio", QStringLiteral("&Split at size of (bytes)"));
  splitSize_ = namedSpin(this, "splitSize", 1, 100000000);
  splitSize_->setSingleStep(1024);
  splitSize_->setValue(1457664);
  commonSplitSizes_ = new QComboBox(this);
  commonSplitSizes_->setObjectName(QStringLiteral("commonSplitSizes"));
  commonSplitSizes_->addItems({QStringLiteral("Choose a common size"), QStringLiteral("360 Kb"),
                               QStringLiteral("720 Kb"), QStringLiteral("1.2 Mb"),
                               QStringLiteral("1.44 Mb"), QStringLiteral("2.88 Mb")});
  commonSizesLabel_ =
      namedLabel(this, "commonSizesLabel", QStringLiteral("Common si&zes"), commonSplitSizes_);
  splitCharRadio_ = namedRadio(this, "splitCharRadio", QStringLiteral("&Character"));
  splitChar_ = new QComboBox(this);
  splitChar_->setObjectName(QStringLiteral("splitChar"));
  for (int n = 0; n < 256; ++n) {
    QString character = toQString(escapeControlChars(std::string(1, static_cast<char>(n))));
    // A character without a glyph (DEL, bytes the code page leaves out) shows blank.
    if (character.size() == 1 && !character.at(0).isPrint())
      character.clear();
    splitChar_->addItem(toQString(Format("%3d  %s", {n, fromQString(character)})));
  }
  splitCharCount_ = namedSpin(this, "splitCharCount", 1, 100000);
  countLabel_ = namedLabel(this, "countLabel", QStringLiteral("C&ount"), splitCharCount_);
  splitCharPos_ = new QComboBox(this);
  splitCharPos_->setObjectName(QStringLiteral("splitCharPos"));
  splitCharPos_->addItems(
      {QStringLiteral("Before char"), QStringLiteral("After char"), QStringLiteral("At char")});
  positionLabel_ = namedLabel(this, "positionLabel", QStringLiteral("Pos&ition"), splitCharPos_);

  auto *grid = new QGridLayout;
  grid->addWidget(splitSizeRadio_, 0, 0);
  grid->addWidget(splitSize_, 0, 1);
  grid->addWidget(commonSizesLabel_, 1, 0, Qt::AlignRight);
  grid->addWidget(commonSplitSizes_, 1, 1);
  grid->addWidget(splitCharRadio_, 2, 0);
  grid->addWidget(splitChar_, 2, 1);
  grid->addWidget(countLabel_, 3, 0, Qt::AlignRight);
  grid->addWidget(splitCharCount_, 3, 1);
  grid->addWidget(positionLabel_, 4, 0, Qt::AlignRight);
  grid->addWidget(splitCharPos_, 4, 1);
  grid->setColumnStretch(2, 1);
  auto *layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addStretch();

  size_ = spinValue(splitSize_);
  // Type 1 whenever the size button is not checked.
  type_ = BoundNumber(
      [this](const std::int32_t &type) {
        for (QRadioButton *button : {splitSizeRadio_, splitCharRadio_}) {
          button->setAutoExclusive(false);
          button->setChecked(button == splitSizeRadio_ ? type == 0 : type == 1);
          button->setAutoExclusive(true);
        }
      },
      [this] { return splitSizeRadio_->isChecked() ? 0 : 1; });
  character_ = comboIndexValue(splitChar_);
  count_ = spinValue(splitCharCount_);
  position_ = comboIndexValue(splitCharPos_);
  fields_.bind(&TSplitObject::size, size_);
  fields_.bind(&TSplitObject::type, type_);
  fields_.bind(&TSplitObject::character, character_);
  fields_.bind(&TSplitObject::count, count_);
  fields_.bind(&TSplitObject::position, position_);

  for (QRadioButton *button : {splitSizeRadio_, splitCharRadio_})
    connect(button, &QRadioButton::clicked, this, &TsplitForm::splitSizeRadioClick);
  connect(commonSplitSizes_, &QComboBox::activated, this, &TsplitForm::commonSplitSizesChange);
  connect(splitSize_, &QSpinBox::valueChanged, this, &TsplitForm::fieldChanged);
  connect(splitCharCount_, &QSpinBox::valueChanged, this, &TsplitForm::fieldChanged);
  connect(splitChar_, &QComboBox::activated, this, &TsplitForm::fieldChanged);
  connect(splitCharPos_, &QComboBox::activated, this, &TsplitForm::fieldChanged);
}

void TsplitForm::putToScreen(TListObject &node) {
  whileFilling([&] {
    fields_.put(dynamic_cast<TSplitObject &>(node));
    dimGroups();
  });
}

void TsplitForm::getFromScreen(TListObject &node) {
  fields_.get(dynamic_cast<TSplitObject &>(node));
}

bool TsplitForm::isDifferent(const TListObject &node) const {
  return fields_.differs(dynamic_cast<const TSplitObject &>(node));
}

void TsplitForm::dimGroups() {
  const bool bySize = splitSizeRadio_->isChecked();
  for (QWidget *control :
       std::initializer_list<QWidget *>{splitSize_, commonSplitSizes_, commonSizesLabel_})
    control->setEnabled(bySize);
  for (QWidget *control : std::initializer_list<QWidget *>{
           splitChar_, splitCharCount_, splitCharPos_, countLabel_, positionLabel_})
    control->setEnabled(!bySize);
}

void TsplitForm::splitSizeRadioClick() {
  dimGroups();
  fieldChanged();
}

void TsplitForm::commonSplitSizesChange(int index) {
  if (index >= 1 && index <= 5)
    splitSize_->setValue(commonSizes[index - 1]);
  commonSplitSizes_->setCurrentIndex(0);
  fieldChanged();
}

void registerFileDialogs() {
  registerDialog<TmergeForm>("TMergeObject");
  registerDialog<TsplitForm>("TSplitObject");
}

} // namespace marrowen
