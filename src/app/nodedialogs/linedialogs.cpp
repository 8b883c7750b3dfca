#include "app/nodedialogs/linedialogs.h"

#include "classlib/exceptions.h"
#include "classlib/format.h"
#include "engine/escapes.h"
#include "engine/messages.h"
#include "filterlist/linenodes.h"
#include "filterlist/nodecatalog.h"
#include "qtext/qtext.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFont>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

#include <array>

namespace marrowen {

namespace {

QSpinBox *spinEdit(QWidget *parent, const char *name, int low, int high) {
  auto *spin = named(new QSpinBox(parent), name);
  spin->setRange(low, high);
  return spin;
}

QLabel *caption(QWidget *parent, const char *name, const QString &text, QWidget *buddy) {
  auto *label = named(new QLabel(text, parent), name);
  label->setBuddy(buddy);
  return label;
}

template <class Form> void registerDialog(const char *className) {
  registerNodeDialog(className, [](TListObject &, TNodeEditorSite &window) {
    return std::unique_ptr<TNodeEditor>(TdefaultForm1::Create<Form>(nullptr, &window));
  });
}

} // namespace

// ------------------------------------------------------------- TlineNumberForm

TlineNumberForm::TlineNumberForm(QWidget *owner, TNodeEditorSite *window)
    : TdefaultForm1(owner, window) {
  setObjectName(QStringLiteral("lineNumberForm"));
  firstLineNumber = spinEdit(this, "firstLineNumber", 0, 10000);
  lineNumberIncrement = spinEdit(this, "lineNumberIncrement", 1, 1000);
  lineNumberFormat = named(new QComboBox(this), "lineNumberFormat");
  lineNumberFormat->setEditable(true);
  lineNumberFormat->setInsertPolicy(QComboBox::NoInsert);
  lineNumberFormat->addItems({QStringLiteral("%d "), QStringLiteral("%5.5d "),
                              QStringLiteral("%4.4x "), QStringLiteral("%5d "),
                              QStringLiteral("%-5d "), QStringLiteral("Line %5d ")});
  exampleLineNumber = named(new QLabel(this), "exampleLineNumber");
  DontNumberBlank =
      named(new QCheckBox(QStringLiteral("Don't number blank lines"), this), "DontNumberBlank");
  skipBlankIncrement = named(new QCheckBox(QStringLiteral("Skip increment on blank lines"), this),
                             "skipBlankIncrement");
  auto *form = new QFormLayout;
  form->addRow(caption(this, "firstLabel", QStringLiteral("&First line number"), firstLineNumber),
               firstLineNumber);
  form->addRow(caption(this, "incrementLabel", QStringLiteral("&Increment"), lineNumberIncrement),
               lineNumberIncrement);
  form->addRow(caption(this, "formatLabel", QStringLiteral("For&mat"), lineNumberFormat),
               lineNumberFormat);
  auto *layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(exampleLineNumber);
  layout->addWidget(DontNumberBlank);
  layout->addWidget(skipBlankIncrement);
  layout->addStretch();

  connect(DontNumberBlank, &QCheckBox::toggled, this, [this] {
    DontNumberBlankClick();
    fieldChanged();
  });
  connect(firstLineNumber, &QSpinBox::valueChanged, this, &TlineNumberForm::showExampleLineNumber);
  connect(lineNumberIncrement, &QSpinBox::valueChanged, this,
          &TlineNumberForm::showExampleLineNumber);
  connect(lineNumberFormat, &QComboBox::currentTextChanged, this,
          &TlineNumberForm::showExampleLineNumber);
  connect(skipBlankIncrement, &QCheckBox::toggled, this, &TlineNumberForm::showExampleLineNumber);
  preparePopup(lineNumberFormat);
}

void TlineNumberForm::DontNumberBlankClick() {
  skipBlankIncrement->setEnabled(DontNumberBlank->isChecked());
}

void TlineNumberForm::showExampleLineNumber() {
  fieldChanged();
  std::string example;
  try {
    const std::string decoded = decodeEscapes(textShown(lineNumberFormat->lineEdit()));
    const std::int32_t first = numberShown(firstLineNumber);
    // Checked as the node's filter checks it, so the example never shows
    // a format the filter would refuse.
    if (!formatAccepts(decoded, {std::int32_t{110}}) || !formatAccepts(decoded, {first}))
      throw Exception("format");
    example = translateFormat(730, "Example: [%sStart of line text]", {Format(decoded, {first})});
  } catch (const Exception &) {
    example = translate(740, "Invalid format - please check help");
  }
  exampleLineNumber->setText(toQString(example));
}

void TlineNumberForm::putToScreen(TListObject &node) {
  const auto &numbers = static_cast<const TLineNumberObject &>(node);
  whileFilling([&] {
    showNumber(firstLineNumber, numbers.start);
    showNumber(lineNumberIncrement, numbers.increment);
    skipBlankIncrement->setChecked(numbers.skipBlankIncrement);
    DontNumberBlank->setChecked(numbers.dontNumberBlank);
    showText(lineNumberFormat->lineEdit(), numbers.format);
    DontNumberBlankClick();
    showExampleLineNumber();
  });
  setHelpContext(node.helpContext());
}

void TlineNumberForm::getFromScreen(TListObject &node) {
  auto &numbers = static_cast<TLineNumberObject &>(node);
  numbers.start = numberShown(firstLineNumber);
  numbers.increment = numberShown(lineNumberIncrement);
  numbers.skipBlankIncrement = skipBlankIncrement->isChecked();
  numbers.dontNumberBlank = DontNumberBlank->isChecked();
  numbers.format = textShown(lineNumberFormat->lineEdit());
}

bool TlineNumberForm::isDifferent(const TListObject &node) const {
  const auto &numbers = static_cast<const TLineNumberObject &>(node);
  return numbers.start != numberShown(firstLineNumber) ||
         numbers.increment != numberShown(lineNumberIncrement) ||
         numbers.skipBlankIncrement != skipBlankIncrement->isChecked() ||
         numbers.dontNumberBlank != DontNumberBlank->isChecked() ||
         numbers.format != textShown(lineNumberFormat->lineEdit());
}

// ------------------------------------------------------------- TexcludeLinesForm

TexcludeLinesForm::TexcludeLinesForm(QWidget *owner, TNodeEditorSite *window)
    : TdefaultForm1(owner, window) {
  setObjectName(QStringLiteral("excludeLinesForm"));
  includeOrExclude =
      named(new TRadioGroup(QStringLiteral(" &Include or Exclude "),
                            {QStringLiteral("Include"), QStringLiteral("Exclude")}, this),
            "includeOrExclude");
  linesOrBytesCount = spinEdit(this, "linesOrBytesCount", 1, 1000000);
  linesOrBytes =
      named(new TRadioGroup(QStringLiteral(" &Counting units "),
                            {QStringLiteral("lines"), QStringLiteral("characters")}, this),
            "linesOrBytes");
  StartOrEndOfFile =
      named(new TRadioGroup(
                QStringLiteral(" &Where to count from "),
                {QStringLiteral("from start of file"), QStringLiteral("from end of file")}, this),
            "StartOrEndOfFile");
  auto *layout = new QVBoxLayout(this);
  layout->addWidget(includeOrExclude);
  auto *row = new QHBoxLayout;
  row->addWidget(caption(this, "countLabel", QStringLiteral("Count"), linesOrBytesCount));
  row->addWidget(linesOrBytesCount);
  row->addStretch();
  layout->addLayout(row);
  layout->addWidget(linesOrBytes);
  layout->addWidget(StartOrEndOfFile);
  layout->addStretch();
  for (TRadioGroup *group : {includeOrExclude, linesOrBytes, StartOrEndOfFile})
    reportChanges(this, group, &TRadioGroup::changed);
  reportChanges(this, linesOrBytesCount, &QSpinBox::valueChanged);
}

void TexcludeLinesForm::putToScreen(TListObject &node) {
  const auto &headTail = static_cast<const THeadTailObject &>(node);
  // Every value but 0 means the second choice; that is the nearest shown.
  whileFilling([&] {
    showIndex(includeOrExclude, headTail.include, 1);
    showNumber(linesOrBytesCount, headTail.count);
    showIndex(linesOrBytes, headTail.units, 1);
    showIndex(StartOrEndOfFile, headTail.fromEnd, 1);
  });
  setHelpContext(node.helpContext());
}

void TexcludeLinesForm::getFromScreen(TListObject &node) {
  auto &headTail = static_cast<THeadTailObject &>(node);
  headTail.include = indexShown(includeOrExclude);
  headTail.count = numberShown(linesOrBytesCount);
  headTail.units = indexShown(linesOrBytes);
  headTail.fromEnd = indexShown(StartOrEndOfFile);
}

bool TexcludeLinesForm::isDifferent(const TListObject &node) const {
  const auto &headTail = static_cast<const THeadTailObject &>(node);
  return headTail.include != indexShown(includeOrExclude) ||
         headTail.count != numberShown(linesOrBytesCount) ||
         headTail.units != indexShown(linesOrBytes) ||
         headTail.fromEnd != indexShown(StartOrEndOfFile);
}

// ------------------------------------------------------------- TsortForm

TsortForm::TsortForm(QWidget *owner, TNodeEditorSite *window) : TdefaultForm1(owner, window) {
  setObjectName(QStringLiteral("sortForm"));
  sortType = named(new QComboBox(this), "sortType");
  sortType->addItems({QStringLiteral("ANSI sort (case insensitive)"),
                      QStringLiteral("ANSI sort (case sensitive)"),
                      QStringLiteral("ASCII sort (case insensitive)"),
                      QStringLiteral("ASCII sort (case sensitive)"), QStringLiteral("Numeric sort"),
                      QStringLiteral("Sort by length of line")});
  sortAllowDuplicates =
      named(new QCheckBox(QStringLiteral("&Remove duplicate lines"), this), "sortAllowDuplicates");
  auto note = [this](const char *name, const QString &text) {
    auto *label = named(new QLabel(text, this), name);
    label->setWordWrap(true);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
  };
  numericDuplicatesNote =
      note("numericDuplicatesNote",
           QStringLiteral("Lines that start with the same number are duplicates: one line is kept "
                          "for each number (10 apples and 10 pears keep one line)."));
  lengthDuplicatesNote =
      note("lengthDuplicatesNote",
           QStringLiteral("Lines of the same length in characters are duplicates: one line is kept "
                          "for each length (apple and peach keep one line)."));
  sortReverseOrder =
      named(new QCheckBox(QStringLiteral("&Descending order"), this), "sortReverseOrder");
  auto *layout = new QVBoxLayout(this);
  layout->addWidget(caption(this, "sortTypeLabel", QStringLiteral("&Sort type"), sortType));
  layout->addWidget(sortType);
  layout->addWidget(sortAllowDuplicates);
  layout->addWidget(numericDuplicatesNote);
  layout->addWidget(lengthDuplicatesNote);
  layout->addWidget(sortReverseOrder);
  layout->addStretch();
  reportChanges(this, sortType, &QComboBox::currentIndexChanged);
  reportChanges(this, sortAllowDuplicates, &QCheckBox::toggled);
  reportChanges(this, sortReverseOrder, &QCheckBox::toggled);
  connect(sortType, &QComboBox::currentIndexChanged, this, &TsortForm::showDuplicatesNote);
  showDuplicatesNote();
}

void TsortForm::showDuplicatesNote() {
  numericDuplicatesNote->setVisible(sortType->currentIndex() == 4);
  lengthDuplicatesNote->setVisible(sortType->currentIndex() == 5);
}

void TsortForm::putToScreen(TListObject &node) {
  const auto &sort = static_cast<const TSortObject &>(node);
  whileFilling([&] {
    sortAllowDuplicates->setChecked(sort.removeDuplicates);
    sortReverseOrder->setChecked(sort.reverseOrder);
    showIndex(sortType, sort.sortType);
  });
  setHelpContext(node.helpContext());
}

void TsortForm::getFromScreen(TListObject &node) {
  auto &sort = static_cast<TSortObject &>(node);
  sort.removeDuplicates = sortAllowDuplicates->isChecked();
  sort.reverseOrder = sortReverseOrder->isChecked();
  sort.sortType = indexShown(sortType);
}

bool TsortForm::isDifferent(const TListObject &node) const {
  const auto &sort = static_cast<const TSortObject &>(node);
  return sort.removeDuplicates != sortAllowDuplicates->isChecked() ||
         sort.reverseOrder != sortReverseOrder->isChecked() ||
         sort.sortType != indexShown(sortType);
}

// ------------------------------------------------------------- TmathForm

TmathForm::TmathForm(QWidget *owner, TNodeEditorSite *window) : TdefaultForm1(owner, window) {
  setObjectName(QStringLiteral("mathForm"));
  mathsOperation = named(new QComboBox(this), "mathsOperation");
  mathsOperation->addItems({QStringLiteral("+ (Plus)"), QStringLiteral("- (Minus)"),
                            QStringLiteral("* (Multiply)"), QStringLiteral("Div (Divide)"),
                            QStringLiteral("Mod (Remainder)"), QStringLiteral("Xor"),
                            QStringLiteral("And"), QStringLiteral("Or"), QStringLiteral("Not"),
                            QStringLiteral("Shift left"), QStringLiteral("Shift right"),
                            QStringLiteral("Rotate left"), QStringLiteral("Rotate right")});
  mathsOperand = spinEdit(this, "mathsOperand", 0, 255);
  operandBases = named(new QLabel(this), "operandBases");
  auto *form = new QFormLayout;
  form->addRow(
      caption(this, "operationLabel", QStringLiteral("&Mathematical operation"), mathsOperation),
      mathsOperation);
  form->addRow(caption(this, "operandLabel", QStringLiteral("&Operand (decimal)"), mathsOperand),
               mathsOperand);
  auto *layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(operandBases);
  layout->addStretch();
  connect(mathsOperation, &QComboBox::currentIndexChanged, this, [this] {
    mathsOperationChange();
    fieldChanged();
  });
  connect(mathsOperand, &QSpinBox::valueChanged, this, [this] {
    mathsOperandChange();
    fieldChanged();
  });
  mathsOperandChange();
}

void TmathForm::mathsOperationChange() {
  const int operation = indexShown(mathsOperation);
  mathsOperand->setEnabled(operation != 8);
  mathsOperand->setMaximum(operation >= 9 && operation <= 12 ? 7 : 255);
}

void TmathForm::mathsOperandChange() {
  const int operand = numberShown(mathsOperand);
  std::string binary;
  for (int bit = 7; bit >= 0; --bit)
    binary += (operand >> bit) & 1 ? '1' : '0';
  operandBases->setText(
      toQString(translateFormat(600, "Hex: %2.2x  Binary: %s", {operand, binary})));
}

void TmathForm::putToScreen(TListObject &node) {
  const auto &maths = static_cast<const TMathsObject &>(node);
  // The operation first: it sets the operand's range, which the stored
  // operand is then held against.
  whileFilling([&] {
    showIndex(mathsOperation, maths.operation);
    mathsOperationChange();
    showNumber(mathsOperand, maths.operand);
    mathsOperandChange();
  });
  setHelpContext(node.helpContext());
}

void TmathForm::getFromScreen(TListObject &node) {
  auto &maths = static_cast<TMathsObject &>(node);
  maths.operation = indexShown(mathsOperation);
  maths.operand = numberShown(mathsOperand);
}

bool TmathForm::isDifferent(const TListObject &node) const {
  const auto &maths = static_cast<const TMathsObject &>(node);
  return maths.operation != indexShown(mathsOperation) ||
         maths.operand != numberShown(mathsOperand);
}

// ------------------------------------------------------------- TdeleteColForm

std::string locateMethodItemText(int kind, int method, int param1, int param2) {
  // Messages 6400 + 50 x kind + 10 x method; the select-columns kind shows
  // the column texts.
  static constexpr std::array<std::array<const char *, 5>, 6> texts{{
      {"Column %d .. column %d", "%1:d columns starting at column %0:d",
       "%1:d columns starting at column END - %0:d", "Column %d .. column END - %d",
       "Column END - %d .. column END - %d"},
      {"Line %d .. line %d", "%1:d lines starting at line %0:d",
       "%1:d lines starting at line END - %0:d", "Line %d .. line END - %d",
       "Line END - %d .. line END - %d"},
      {"Column %d .. column %d", "%1:d columns starting at column %0:d",
       "%1:d columns starting at column END - %0:d", "Column %d .. column END - %d",
       "Column END - %d .. column END - %d"},
      {"Byte %d .. byte %d", "%1:d bytes starting at byte %0:d",
       "%1:d bytes starting at byte END - %0:d", "Byte %d .. byte END - %d",
       "Byte END - %d .. byte END - %d"},
      {"CSV field %d .. field %d", "%1:d CSV fields starting at field %0:d",
       "%1:d CSV fields starting at field END - %0:d", "CSV field %d .. field END - %d",
       "CSV field END - %d .. field END - %d"},
      {"Tab field %d .. field %d", "%1:d tab fields starting at field %0:d",
       "%1:d tab fields starting at field END - %0:d", "Tab field %d .. field END - %d",
       "Tab field END - %d .. field END - %d"},
  }};
  const int shownKind = kind >= 0 && kind <= 5 ? (kind == 2 ? 0 : kind) : 0;
  const int id = 6400 + 50 * (kind >= 0 && kind <= 5 ? kind : 0) + 10 * method;
  return translateFormat(
      id, texts[static_cast<std::size_t>(shownKind)][static_cast<std::size_t>(method)],
      {param1, param2});
}

TdeleteColForm::TdeleteColForm(QWidget *owner, TNodeEditorSite *window)
    : TdefaultForm1(owner, window) {
  setObjectName(QStringLiteral("deleteColForm"));
  QStringList items;
  for (int method = 0; method < 5; ++method)
    items << QString();
  locateMethod =
      named(new TRadioGroup(QStringLiteral(" &Delete column "), items, this), "locateMethod");
  param1 = spinEdit(this, "param1", 1, 10000);
  param2 = spinEdit(this, "param2", 1, 10000);
  param1Label = caption(this, "param1Label", QStringLiteral("S&tart"), param1);
  param2Label = caption(this, "param2Label", QStringLiteral("&End"), param2);
  auto *form = new QFormLayout;
  form->addRow(param1Label, param1);
  form->addRow(param2Label, param2);
  auto *layout = new QVBoxLayout(this);
  layout->addWidget(locateMethod);
  layout->addLayout(form);
  layout->addStretch();
  connect(locateMethod, &TRadioGroup::changed, this, [this] {
    columnSpecChanged();
    fieldChanged();
  });
  for (QSpinBox *param : {param1, param2})
    connect(param, &QSpinBox::valueChanged, this, [this] {
      showItemTexts();
      fieldChanged();
    });
  columnSpecChanged();
  showItemTexts();
}

void TdeleteColForm::columnSpecChanged() {
  struct Spec {
    int label1;
    const char *text1;
    int label2;
    const char *text2;
    int least1;
    int least2;
  };
  static constexpr std::array<Spec, 5> specs{{
      {500, "S&tart", 510, "&End", 1, 1},
      {520, "S&tart", 530, "&Length", 1, 1},
      {540, "S&tart (relative to end)", 550, "&Length", 0, 1},
      {560, "S&tart", 570, "&End (relative to end)", 1, 0},
      {580, "S&tart (relative to end)", 590, "&End (relative to end)", 0, 0},
  }};
  const int method = indexShown(locateMethod);
  const Spec &spec = specs[static_cast<std::size_t>(method >= 0 && method < 5 ? method : 0)];
  param1Label->setText(toQString(translate(spec.label1, spec.text1)));
  param2Label->setText(toQString(translate(spec.label2, spec.text2)));
  param1->setMinimum(spec.least1);
  param2->setMinimum(spec.least2);
}

void TdeleteColForm::showItemTexts() {
  const int first = numberShown(param1);
  const int second = numberShown(param2);
  for (int method = 0; method < 5; ++method)
    locateMethod->setItemText(method,
                              toQString(locateMethodItemText(kind_, method, first, second)));
}

void TdeleteColForm::putToScreen(TListObject &node) {
  const auto &columns = static_cast<const TDeleteColumnsObject &>(node);
  kind_ = columns.kind;
  struct Caption {
    int id;
    const char *text;
  };
  static constexpr std::array<Caption, 6> captions{{{9000, " &Delete column "},
                                                    {9010, " &Select lines "},
                                                    {9020, " &Select columns "},
                                                    {9030, " &Select bytes "},
                                                    {9040, " &Select CSV fields "},
                                                    {9050, " &Select tab-delimited fields "}}};
  const Caption &title = captions[static_cast<std::size_t>(kind_ >= 0 && kind_ <= 5 ? kind_ : 0)];
  // The method first: it sets the least values the stored numbers are held
  // against.
  whileFilling([&] {
    locateMethod->setTitle(toQString(translate(title.id, title.text)));
    showIndex(locateMethod, columns.method);
    columnSpecChanged();
    showNumber(param1, columns.param1);
    showNumber(param2, columns.param2);
    showItemTexts();
  });
  setHelpContext(node.helpContext());
}

void TdeleteColForm::getFromScreen(TListObject &node) {
  auto &columns = static_cast<TDeleteColumnsObject &>(node);
  columns.method = indexShown(locateMethod);
  columns.param1 = numberShown(param1);
  columns.param2 = numberShown(param2);
}

bool TdeleteColForm::isDifferent(const TListObject &node) const {
  const auto &columns = static_cast<const TDeleteColumnsObject &>(node);
  return columns.method != indexShown(locateMethod) || columns.param1 != numberShown(param1) ||
         columns.param2 != numberShown(param2);
}

void registerLineDialogs() {
  registerDialog<TlineNumberForm>("TLineNumberObject");
  registerDialog<TexcludeLinesForm>("THeadTailObject");
  registerDialog<TsortForm>("TSortObject");
  registerDialog<TmathForm>("TMathsObject");
  registerDialog<TdeleteColForm>("TDeleteColumnsObject");
}

} // namespace marrowen
