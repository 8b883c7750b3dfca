#include "app/nodedialogs/iodialogs.h"

#include "components/dialogrunner.h"
#include "components/fileedits.h"
#include "engine/messages.h"
#include "filterlist/ionodes.h"
#include "filterlist/nodecatalog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace marrowen {

// ------------------------------------------------------------- TinputForm

TinputForm::TinputForm(QWidget *owner, TNodeEditorSite *window) : TdefaultForm1(owner, window) {
  setObjectName(QStringLiteral("inputForm"));
  auto *choice = named(new QWidget(this), "inputChoicePanel");
  fileInputRadio =
      named(new QRadioButton(QStringLiteral("Input from file(s)"), choice), "fileInputRadio");
  clipInputRadio =
      named(new QRadioButton(QStringLiteral("Input from clipboard"), choice), "clipInputRadio");
  auto *choiceLayout = new QVBoxLayout(choice);
  choiceLayout->addWidget(fileInputRadio);
  choiceLayout->addWidget(clipInputRadio);
  skipBinary = named(new TRadioGroup(QStringLiteral(" Binary files "),
                                     {QStringLiteral("Process"), QStringLiteral("Skip"),
                                      QStringLiteral("Confirm before processing")},
                                     this),
                     "skipBinary");
  binarySamplePanel = named(new QWidget(this), "binarySamplePanel");
  binarySampleLabel =
      named(new QLabel(QStringLiteral("Sample size"), binarySamplePanel), "binarySampleLabel");
  binarySampleSize = named(new QSpinBox(binarySamplePanel), "binarySampleSize");
  binarySampleSize->setRange(4, 10000);
  binarySampleLabel->setBuddy(binarySampleSize);
  auto *sampleLayout = new QHBoxLayout(binarySamplePanel);
  sampleLayout->addWidget(binarySampleLabel);
  sampleLayout->addWidget(binarySampleSize);
  sampleLayout->addStretch();
  promptEachfile = named(new QCheckBox(QStringLiteral("Confirm before processing each file"), this),
                         "promptEachfile");
  confirmReadOnly =
      named(new QCheckBox(QStringLiteral("Confirm before processing read only files"), this),
            "confirmReadOnly");
  deleteInputFiles =
      named(new QCheckBox(QStringLiteral("Delete input files after processing"), this),
            "deleteInputFiles");

  auto *layout = new QVBoxLayout(this);
  layout->addWidget(choice);
  layout->addWidget(skipBinary);
  layout->addWidget(binarySamplePanel);
  layout->addWidget(promptEachfile);
  layout->addWidget(confirmReadOnly);
  layout->addWidget(deleteInputFiles);
  layout->addStretch();

  for (QRadioButton *radio : {fileInputRadio, clipInputRadio})
    connect(radio, &QRadioButton::toggled, this, [this](bool on) {
      if (on) {
        inputChoiceClick();
        fieldChanged();
      }
    });
  connect(skipBinary, &TRadioGroup::changed, this, [this] {
    binaryChoiceClick();
    fieldChanged();
  });
  reportChanges(this, binarySampleSize, &QSpinBox::valueChanged);
  reportChanges(this, promptEachfile, &QCheckBox::toggled);
  reportChanges(this, confirmReadOnly, &QCheckBox::toggled);
  reportChanges(this, deleteInputFiles, &QCheckBox::toggled);
  // Only a click of the user's warns, never the filling.
  connect(deleteInputFiles, &QCheckBox::clicked, this, &TinputForm::deleteInputFilesClick);
}

void TinputForm::inputChoiceClick() {
  const bool fromFiles = fileInputRadio->isChecked();
  for (QWidget *option : std::initializer_list<QWidget *>{skipBinary, promptEachfile,
                                                          confirmReadOnly, deleteInputFiles})
    option->setEnabled(fromFiles);
  if (window())
    window()->setInputFromFiles(fromFiles);
}

void TinputForm::binaryChoiceClick() {
  const int choice = indexShown(skipBinary);
  const bool sampled = choice == 1 || choice == 2;
  binarySampleSize->setEnabled(sampled);
  binarySampleLabel->setEnabled(sampled);
}

void TinputForm::deleteInputFilesClick(bool checked) {
  if (checked)
    showMessageBox(
        this, QMessageBox::Information, QString(),
        QStringLiteral("Warning! All Input Files will be deleted when processing has finished!"));
}

void TinputForm::putToScreen(TListObject &node) {
  const auto &input = static_cast<const TInputObject &>(node);
  whileFilling([&] {
    fileInputRadio->setChecked(input.inputFromFile);
    clipInputRadio->setChecked(!input.inputFromFile);
    showIndex(skipBinary, input.skipBinary);
    promptEachfile->setChecked(input.promptEachFile);
    showNumber(binarySampleSize, input.binarySampleSize);
    confirmReadOnly->setChecked(input.promptOnReadOnly);
    deleteInputFiles->setChecked(input.deleteInput);
    binaryChoiceClick();
    inputChoiceClick();
  });
  setHelpContext(node.helpContext());
}

void TinputForm::getFromScreen(TListObject &node) {
  auto &input = static_cast<TInputObject &>(node);
  input.inputFromFile = fileInputRadio->isChecked();
  input.skipBinary = indexShown(skipBinary);
  input.promptEachFile = promptEachfile->isChecked();
  input.binarySampleSize = numberShown(binarySampleSize);
  input.promptOnReadOnly = confirmReadOnly->isChecked();
  input.deleteInput = deleteInputFiles->isChecked();
}

bool TinputForm::isDifferent(const TListObject &node) const {
  const auto &input = static_cast<const TInputObject &>(node);
  return input.inputFromFile != fileInputRadio->isChecked() ||
         input.skipBinary != indexShown(skipBinary) ||
         input.promptEachFile != promptEachfile->isChecked() ||
         input.binarySampleSize != numberShown(binarySampleSize) ||
         input.promptOnReadOnly != confirmReadOnly->isChecked() ||
         input.deleteInput != deleteInputFiles->isChecked();
}

// ------------------------------------------------------------- ToutputForm

ToutputForm::ToutputForm(QWidget *owner, TNodeEditorSite *window) : TdefaultForm1(owner, window) {
  setObjectName(QStringLiteral("outputForm"));
  outputToClipRadio =
      named(new QRadioButton(QStringLiteral("Clipboard output (join input files together)"), this),
            "outputToClipRadio");
  outputToFileRadio =
      named(new QRadioButton(QStringLiteral("File(s) output"), this), "outputToFileRadio");
  outputSingleFile =
      named(new QRadioButton(QStringLiteral("Merge into one file"), this), "outputSingleFile");
  testMode = named(new QCheckBox(QStringLiteral("Test mode (add .dCv to output filename)"), this),
                   "testMode");
  retainDateTime = named(new QCheckBox(QStringLiteral("Keep original file's date and time"), this),
                         "retainDateTime");
  changeExtension =
      named(new QCheckBox(QStringLiteral("Change extension to"), this), "changeExtension");
  newExtension = named(new QLineEdit(this), "newExtension");
  changeBaseDir = named(new QCheckBox(QStringLiteral("Output folder"), this), "changeBaseDir");
  newBaseDir = named(new TDirectoryEdit(this), "newBaseDir");
  newBaseDir->SetButtonHint(QStringLiteral("Browse for a folder"));
  maintainStructure =
      named(new QCheckBox(QStringLiteral("Maintain folder structure"), this), "maintainStructure");
  limitFileNameBytes(newExtension, TOutputObject::shortStringLength, [this] {
    statusBarError(TOutputObject::longerThanKeptText("The extension"));
  });
  limitFileNameBytes(newBaseDir, TOutputObject::shortStringLength, [this] {
    statusBarError(TOutputObject::longerThanKeptText("The output folder"));
  });
  singleFilename = named(new TFilenameEdit(this), "singleFilename");
  singleFilename->SetDialogOptions(TFilenameEdit::ofHideReadOnly | TFilenameEdit::ofPathMustExist);
  append = named(new QCheckBox(QStringLiteral("Append to existing output files"), this), "append");

  auto *layout = new QGridLayout(this);
  int row = 0;
  layout->addWidget(outputToClipRadio, row++, 0, 1, 2);
  layout->addWidget(outputToFileRadio, row++, 0, 1, 2);
  layout->addWidget(testMode, row++, 0, 1, 2);
  layout->addWidget(retainDateTime, row++, 0, 1, 2);
  layout->addWidget(changeExtension, row, 0);
  layout->addWidget(newExtension, row++, 1);
  layout->addWidget(changeBaseDir, row, 0);
  layout->addWidget(newBaseDir, row++, 1);
  layout->addWidget(maintainStructure, row++, 1);
  layout->addWidget(outputSingleFile, row, 0);
  layout->addWidget(singleFilename, row++, 1);
  layout->addWidget(append, row++, 0, 1, 2);
  layout->setRowStretch(row, 1);
  layout->setColumnStretch(1, 1);

  for (QRadioButton *radio : {outputToClipRadio, outputToFileRadio, outputSingleFile})
    connect(radio, &QRadioButton::toggled, this, [this](bool on) {
      if (on) {
        outputChoiceClick();
        fieldChanged();
      }
    });
  connect(changeExtension, &QCheckBox::toggled, this, [this] {
    changeExtensionClick();
    fieldChanged();
  });
  connect(changeBaseDir, &QCheckBox::toggled, this, [this] {
    changeBaseDirClick();
    fieldChanged();
  });
  reportChanges(this, testMode, &QCheckBox::toggled);
  reportChanges(this, retainDateTime, &QCheckBox::toggled);
  reportChanges(this, maintainStructure, &QCheckBox::toggled);
  reportChanges(this, append, &QCheckBox::toggled);
  reportChanges(this, newExtension, &QLineEdit::textChanged);
  reportChanges(this, newBaseDir, &TCustomComboEdit::changed);
  reportChanges(this, singleFilename, &TCustomComboEdit::changed);
  for (QWidget *field : std::initializer_list<QWidget *>{newExtension, newBaseDir, singleFilename})
    prepareNoFrillsPopup(field);
}

int ToutputForm::getChecked() const {
  if (outputToClipRadio->isChecked())
    return 0;
  if (outputToFileRadio->isChecked())
    return 1;
  if (outputSingleFile->isChecked())
    return 2;
  return storedKind_;
}

void ToutputForm::outputChoiceClick() {
  const int kind = getChecked();
  for (QWidget *option :
       std::initializer_list<QWidget *>{testMode, retainDateTime, changeExtension, changeBaseDir})
    option->setEnabled(kind == 1);
  newExtension->setEnabled(kind == 1 && changeExtension->isChecked());
  newBaseDir->setEnabled(kind == 1 && changeBaseDir->isChecked());
  maintainStructure->setEnabled(kind == 1 && changeBaseDir->isChecked());
  singleFilename->setEnabled(kind == 2);
  append->setEnabled(true);
}

void ToutputForm::changeExtensionClick() { newExtension->setEnabled(changeExtension->isChecked()); }

void ToutputForm::changeBaseDirClick() {
  newBaseDir->setEnabled(changeBaseDir->isChecked());
  maintainStructure->setEnabled(changeBaseDir->isChecked());
}

void ToutputForm::putToScreen(TListObject &node) {
  const auto &output = static_cast<const TOutputObject &>(node);
  whileFilling([&] {
    storedKind_ = output.outputToFile;
    testMode->setChecked(output.testMode);
    retainDateTime->setChecked(output.retainDate);
    // A kind no button stands for checks none and is handed back as stored.
    for (QRadioButton *radio : {outputToClipRadio, outputToFileRadio, outputSingleFile})
      radio->setAutoExclusive(false);
    outputToClipRadio->setChecked(output.outputToFile == TOutputObject::clipboard);
    outputToFileRadio->setChecked(output.outputToFile == TOutputObject::files);
    outputSingleFile->setChecked(output.outputToFile == TOutputObject::mergedFile);
    for (QRadioButton *radio : {outputToClipRadio, outputToFileRadio, outputSingleFile})
      radio->setAutoExclusive(true);
    changeExtension->setChecked(output.changeExtension);
    showFileName(newExtension, output.newExtension);
    changeBaseDir->setChecked(output.changeBaseDir);
    showFileName(newBaseDir, output.newBaseDir);
    maintainStructure->setChecked(output.keepStructure);
    append->setChecked(output.appendMode);
    showFileName(singleFilename, output.singleFilename);
    outputChoiceClick();
  });
  if (window())
    window()->setTestMode(output.showsTestMode());
  setHelpContext(node.helpContext());
}

void ToutputForm::getFromScreen(TListObject &node) {
  auto &output = static_cast<TOutputObject &>(node);
  output.testMode = testMode->isChecked();
  output.retainDate = retainDateTime->isChecked();
  output.outputToFile = getChecked();
  output.changeExtension = changeExtension->isChecked();
  output.newExtension = fileNameShown(newExtension);
  output.changeBaseDir = changeBaseDir->isChecked();
  output.newBaseDir = fileNameShown(newBaseDir);
  output.keepStructure = maintainStructure->isChecked();
  output.appendMode = append->isChecked();
  output.singleFilename = fileNameShown(singleFilename);
  if (window())
    window()->setTestMode(output.showsTestMode());
}

bool ToutputForm::isDifferent(const TListObject &node) const {
  const auto &output = static_cast<const TOutputObject &>(node);
  return output.testMode != testMode->isChecked() ||
         output.retainDate != retainDateTime->isChecked() || output.outputToFile != getChecked() ||
         output.changeExtension != changeExtension->isChecked() ||
         output.newExtension != fileNameShown(newExtension) ||
         output.changeBaseDir != changeBaseDir->isChecked() ||
         output.newBaseDir != fileNameShown(newBaseDir) ||
         output.keepStructure != maintainStructure->isChecked() ||
         output.appendMode != append->isChecked() ||
         output.singleFilename != fileNameShown(singleFilename);
}

void registerInputOutputDialogs() {
  registerNodeDialog("TInputObject", [](TListObject &, TNodeEditorSite &window) {
    return std::unique_ptr<TNodeEditor>(TdefaultForm1::Create<TinputForm>(nullptr, &window));
  });
  registerNodeDialog("TOutputObject", [](TListObject &, TNodeEditorSite &window) {
    return std::unique_ptr<TNodeEditor>(TdefaultForm1::Create<ToutputForm>(nullptr, &window));
  });
}

} // namespace marrowen
