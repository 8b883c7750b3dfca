#include "app/listwindow/wizard.h"

#include "app/common/forminfo.h"
#include "app/common/translateform.h"
#include "app/listwindow/childform.h"
#include "app/listwindow/listdocument.h"
#include "app/main/mainform.h"
#include "components/dialogrunner.h"
#include "engine/messages.h"
#include "filterlist/commentnodes.h"
#include "filterlist/descriptionnodes.h"
#include "filterlist/eolnodes.h"
#include "filterlist/filenodes.h"
#include "filterlist/ionodes.h"
#include "filterlist/linenodes.h"
#include "filterlist/scriptnodes.h"
#include "filterlist/searchnodes.h"
#include "filterlist/settings.h"
#include "filterlist/unicodenodes.h"
#include "filterlist/utilitynodes.h"
#include "qtext/qtext.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace marrowen {

const std::vector<WizardTask> &wizardTasks() {
  static const std::vector<WizardTask> tasks = {
      {1750, "Search and replace (single or multiple lines, patterns and more)", {21, 0}},
      {1760, "Find an HTML tag", {27, 1}},
      {1770, "Convert end of line characters (PC, Mac, Unix, Amiga, Mainframe)", {1, 0}},
      {1780, "Convert to UPPERCASE", {15, 5}},
      {1790, "Convert to lowercase", {15, 6}},
      {1800, "Convert to Title Case", {15, 7}},
      {1810, "Convert to Sentence Case", {15, 8}},
      {1820, "Convert to tOGGLE cASE", {15, 9}},
      {1830, "Convert to RanDOm case", {15, 42}},
      {1840, "Convert from ASCII to EBCDIC", {15, 1}},
      {1850, "Convert from EBCDIC to ASCII", {15, 2}},
      {1870, "Split files at a given size or when a letter is found", {6, 0}},
      {1880, "Join files together", {5, 0}},
      {1890, "Add a left margin", {17, 0}},
      {1900, "Add a header (at the start)", {17, 1}},
      {1910, "Add a footer (at the end)", {17, 2}},
      {1920, "Add a right margin", {17, 3}},
      {1930, "Add a column of text", {10, 0}},
      {1940, "Add line numbers", {14, 0}},
      {1950, "Remove blank lines", {15, 10}},
      {1960, "Remove spaces from the start of each line", {15, 12}},
      {1970, "Remove spaces from the end of each line", {15, 11}},
      {1980, "Remove extra spaces", {15, 19}},
      {2010, "Remove columns", {2, 0}},
      {2020, "Keep lines matching a pattern", {26, 0}},
      {2030, "Keep lines NOT matching a pattern", {26, 1}},
      {2040, "Remove lines matching a pattern", {26, 1}},
      {2050, "Remove lines NOT matching a pattern", {26, 0}},
      {2060, "Remove HTML", {15, 16}},
      {2070, "Remove binary characters", {15, 13}},
      {2080, "Expand tabs to spaces", {16, 0}},
      {2090, "Compress spaces to tabs", {16, 1}},
      {2100, "Word wrap", {16, 2}},
      {2110, "Sort the text", {4, 0}},
      {2120, "Map from one set of characters to another (single byte)", {18, 0}},
      {2130, "Map from one set of characters to another (double byte)", {20, 0}},
      {2140, "Search and replace in a column range", {22, 2}},
      {2150, "Search and replace in a line range", {22, 1}},
      {2160, "Search and replace in CSV-delimited fields", {22, 4}},
      {2170, "Search and replace in tab-delimited fields", {22, 5}},
      {2180, "Search and replace in a line and column range", {23, 0}},
      {2190, "Search and replace in lines matching a pattern", {24, 0}},
      {2200, "Search and replace in lines not matching a pattern", {24, 1}},
      {2210, "Convert a Search and Replace result to UPPERCASE", {25, 0}},
      {2220, "Add a comment to document your filter", {9, 0}},
  };
  return tasks;
}

namespace {

std::unique_ptr<TListObject> documentingComment() {
  return TCommentObject::CreateWith(
      translate(1730, "This comment filter can be used to document the filters below it, or "
                      "you can delete it if you don't need it"));
}

} // namespace

void addWizardTask(FilterListTarget &window, const TWizardFilter &task) {
  const std::int32_t p = task.parameter;
  auto add = [&](std::unique_ptr<TListObject> node) { return window.addFilter(std::move(node)); };
  // Moves `child` under `parent`; gives the parent's index, which a move to
  // a later place leaves unchanged.
  auto under = [&](int child, int parent) { window.MoveTreeNode(child, parent); };
  switch (task.kind) {
  case 1:
    add(TEOLObject::CreateDefault());
    break;
  case 2:
    add(TDeleteColumnsObject::CreateWith(p));
    break;
  case 3:
    add(THeadTailObject::CreateWith(p));
    break;
  case 4:
    add(TSortObject::CreateDefault());
    break;
  case 5:
    add(TMergeObject::CreateDefault(p));
    break;
  case 6:
    add(TSplitObject::CreateDefault());
    break;
  case 7:
    add(TDuplicateObject::CreateDefault(p));
    break;
  case 8:
    add(TExecuteObject::CreateDefault());
    break;
  case 9:
    add(TCommentObject::CreateDefault());
    break;
  case 10:
    add(TInsertColumnObject::CreateWithPrompt());
    break;
  case 11:
    add(TMathsObject::CreateDefault());
    break;
  case 12:
  case 26:
    add(TGrepObject::CreateWithPrompt(p));
    break;
  case 13:
    add(TScriptObject::CreateDefault());
    break;
  case 14:
    add(TLineNumberObject::CreateDefault());
    break;
  case 15:
    add(TDescriptionObject::CreateWith(p));
    break;
  case 16:
    add(TNumberObject::CreateDefault(p));
    break;
  case 17:
    add(TStringObject::CreateWith(
        p, translate(1740, "Enter the text to use here (the text can be multi-line)")));
    break;
  case 18:
    add(TUserObject::CreateDefault());
    break;
  case 19:
    add(TDatabaseObject::CreateDefault());
    break;
  case 20:
    add(TUnicodeMapObject::CreateDefault());
    break;
  case 21:
    add(TSearchObject::CreateWithPrompt(p));
    break;
  case 22:
  case 24:
  case 25: {
    const int outer = task.kind == 22   ? add(TDeleteColumnsObject::CreateWith(p))
                      : task.kind == 24 ? add(TGrepObject::CreateDefault(p))
                                        : add(TSearchObject::CreateWithPrompt(0));
    const int inner = task.kind == 25 ? add(TDescriptionObject::CreateWith(5))
                                      : add(TSearchObject::CreateWithPrompt(0));
    under(inner, outer);
    // The comment documents the task's outermost node, at its level.
    window.select(outer);
    add(documentingComment());
    break;
  }
  case 23: {
    const int lines = add(TDeleteColumnsObject::CreateWith(1));
    const int columns = add(TDeleteColumnsObject::CreateWith(2));
    const int search = add(TSearchObject::CreateWithPrompt(0));
    add(documentingComment());
    under(columns, lines);
    under(search, columns);
    window.select(lines);
    break;
  }
  case 27: {
    auto search = TSearchObject::CreateWithPrompt(p);
    search->searchString = "<font[^>]*>[^<]*</font>";
    add(std::move(search));
    break;
  }
  default:
    break;
  }
}

namespace {

// What a list that reads files does with each, as its output node says.
QString fileOutputSentence(const TOutputObject *output) {
  const QString reads = QStringLiteral(
      "The filter list reads the files you add on its page \"Files to Process\" and ");
  if (!output)
    return reads + QStringLiteral("writes each file back in place.");
  const QString folder = fileNameToQString(output->newBaseDir);
  const QString extension = fileNameToQString(output->newExtension);
  const QString stay = QStringLiteral("; the files themselves stay as they are.");
  switch (output->outputToFile) {
  case TOutputObject::clipboard:
    return reads + QStringLiteral("puts the result on the clipboard.");
  case TOutputObject::mergedFile:
    return reads +
           (output->appendMode
                ? QStringLiteral("adds them all, one after another, to the end of %1")
                : QStringLiteral("writes them all, one after another, into %1"))
               .arg(fileNameToQString(output->singleFilename)) +
           stay;
  default:
    break;
  }
  QString more;
  if (output->changeBaseDir && output->keepStructure)
    more += QStringLiteral(", in the same subfolders");
  if (output->changeExtension)
    more += QStringLiteral(", with the extension %1").arg(extension);
  if (output->testMode)
    return reads +
           QStringLiteral("writes a test copy of each result (its name followed by \".dCv\")") +
           (output->changeBaseDir ? QStringLiteral(" in the folder %1").arg(folder)
                                  : QStringLiteral(" beside its file")) +
           more + stay;
  if (!output->changeBaseDir && !output->changeExtension)
    return reads + (output->appendMode
                        ? QStringLiteral("adds each result to the end of its own file.")
                        : QStringLiteral("writes each file back in place."));
  return reads +
         (output->appendMode
              ? QStringLiteral("adds each result to the end of a file of the same name")
              : QStringLiteral("writes each result to a file of the same name")) +
         (output->changeBaseDir ? QStringLiteral(" in the folder %1").arg(folder)
                                : QStringLiteral(" beside it")) +
         more + stay;
}

} // namespace

TWizardForm::TWizardForm(FilterListTarget &target, QWidget *parent)
    : QDialog(parent), target_(target) {
  setObjectName(QStringLiteral("WizardForm"));
  setWindowTitle(QStringLiteral("Marrowen Filter Wizard"));
  setWindowFlag(Qt::WindowStaysOnTopHint);
  auto *layout = new QVBoxLayout(this);
  pages_ = new QStackedWidget(this);
  pages_->setObjectName(QStringLiteral("PageControl1"));
  layout->addWidget(pages_, 1);

  auto textPage = [this](const char *name, const QString &text) {
    auto *page = new QWidget(pages_);
    page->setObjectName(QString::fromLatin1(name));
    auto *box = new QVBoxLayout(page);
    auto *label = new QLabel(text, page);
    label->setWordWrap(true);
    box->addWidget(label);
    pages_->addWidget(page);
    return box;
  };
  QVBoxLayout *welcome =
      textPage("Welcome",
               QStringLiteral("Welcome to the Marrowen Filter Wizard.\n\nThis wizard helps you "
                              "set up a filter list: where your text is, and what to do with it."));
  showAtStartup_ = new QCheckBox(QStringLiteral("&Show this wizard at startup"), pages_->widget(0));
  showAtStartup_->setObjectName(QStringLiteral("showWizardAtStartup"));
  welcome->addStretch();
  welcome->addWidget(showAtStartup_);

  QVBoxLayout *source = textPage("FileOrClipboard", QStringLiteral("Where is the text to change?"));
  inputSource_ = new QButtonGroup(this);
  inputSource_->setObjectName(QStringLiteral("inputSource"));
  const QString items[] = {QStringLiteral("In a folder, file or group of files"),
                           QStringLiteral("On the clipboard (copied there from another "
                                          "program)")};
  for (int i = 0; i < 2; ++i) {
    auto *radio = new QRadioButton(items[i], pages_->widget(1));
    inputSource_->addButton(radio, i);
    source->addWidget(radio);
  }
  inputSource_->button(0)->setChecked(true);
  source->addStretch();
  textPage("FileInputOutput",
           QStringLiteral("The filter list reads the files you add on its page \"Files to "
                          "Process\" and writes each file back in place."))
      ->addStretch();
  fileSentence_ = pages_->widget(FileInputOutput)->findChild<QLabel *>();
  textPage("ClipboardInputOutput",
           QStringLiteral("The filter list reads the text on the clipboard and puts the result "
                          "back on the clipboard."))
      ->addStretch();
  QVBoxLayout *filters = textPage(
      "Filters", QStringLiteral("Choose a task and press Add (or double-click it). Add as many as "
                                "you need; each is added after the selected filter."));
  tasks_ = new QListWidget(pages_->widget(Filters));
  tasks_->setObjectName(QStringLiteral("tasks"));
  filters->addWidget(tasks_, 1);
  textPage("Finish", QStringLiteral("Your filter list is set up. Add files to process, try it in "
                                    "the trial run area and press Go."))
      ->addStretch();

  auto *buttons = new QHBoxLayout;
  add_ = new QPushButton(QStringLiteral("&Add"), this);
  add_->setObjectName(QStringLiteral("addButton"));
  add_->setToolTip(QStringLiteral("Add the selected filter to the list"));
  back_ = new QPushButton(QStringLiteral("< &Back"), this);
  back_->setObjectName(QStringLiteral("prevButton"));
  next_ = new QPushButton(QStringLiteral("&Next >"), this);
  next_->setObjectName(QStringLiteral("nextButton"));
  next_->setDefault(true);
  close_ = new QPushButton(QStringLiteral("Close"), this);
  close_->setObjectName(QStringLiteral("cancelButton"));
  buttons->addWidget(add_);
  buttons->addStretch();
  for (QPushButton *b : {back_, next_, close_})
    buttons->addWidget(b);
  layout->addLayout(buttons);

  connect(next_, &QPushButton::clicked, this, &TWizardForm::nextButtonClick);
  connect(back_, &QPushButton::clicked, this, &TWizardForm::prevButtonClick);
  connect(close_, &QPushButton::clicked, this, &QDialog::reject);
  connect(add_, &QPushButton::clicked, this, &TWizardForm::addButtonClick);
  connect(tasks_, &QListWidget::itemDoubleClicked, this, &TWizardForm::addButtonClick);
  connect(inputSource_, &QButtonGroup::idClicked, this, &TWizardForm::inputSourceClick);
  connect(pages_, &QStackedWidget::currentChanged, this, &TWizardForm::PageControl1Change);

  // FormCreate
  translateForm(this);
  for (const WizardTask &task : wizardTasks()) {
    auto *item = new QListWidgetItem(toQString(translate(task.message, task.text)));
    item->setData(Qt::UserRole, task.filter.kind);
    item->setData(Qt::UserRole + 1, task.filter.parameter);
    tasks_->addItem(item);
  }
  showAtStartup_->setChecked(readBoolSetting("showWizard", true));
  connect(showAtStartup_, &QCheckBox::clicked, this, &TWizardForm::showWizardAtStartupClick);
  formInfo_ = std::make_unique<TFormInfo>(this, QStringLiteral("WizardForm"));
  formInfo_->Load();
  setPage(Welcome);
  PageControl1Change();
}

TWizardForm::~TWizardForm() { formInfo_->Save(); }

bool TWizardForm::pageVisible(int page) const {
  if (page == FileInputOutput)
    return clipboardChosen_ == 0;
  if (page == ClipboardInputOutput)
    return clipboardChosen_ == 1;
  return page >= 0 && page < pages_->count();
}

void TWizardForm::setPage(int page) { pages_->setCurrentIndex(page); }

void TWizardForm::nextButtonClick() {
  for (int page = pages_->currentIndex() + 1; page < pages_->count(); ++page)
    if (pageVisible(page))
      return setPage(page);
}

void TWizardForm::prevButtonClick() {
  for (int page = pages_->currentIndex() - 1; page >= 0; --page)
    if (pageVisible(page))
      return setPage(page);
}

void TWizardForm::PageControl1Change() {
  const int page = pages_->currentIndex();
  refreshFileSentence();
  add_->setVisible(page == Filters);
  back_->setEnabled(page > 0);
  next_->setEnabled(page < pages_->count() - 1);
}

// The list's output may change while the wizard is open, in its dialog too:
// the sentence says what the list does now.
void TWizardForm::refreshFileSentence() {
  if (pages_->currentIndex() != FileInputOutput)
    return;
  // A value half typed into the dialog keeps what was said.
  if (std::unique_ptr<TOutputObject> output = target_.outputAsShown())
    fileSentence_->setText(fileOutputSentence(output.get()));
  else if (!target_.outputNode())
    fileSentence_->setText(fileOutputSentence(nullptr));
}

void TWizardForm::inputSourceClick(int item) {
  clipboardChosen_ = item == 1 ? 1 : 0;
  if (inputSource_->checkedId() != item)
    inputSource_->button(item)->setChecked(true);
  target_.storeEditor();
  target_.beginBulkUpdate();
  bool changed = false;
  if (TInputObject *input = target_.inputNode()) {
    changed = changed || input->inputFromFile != (item == 0);
    input->inputFromFile = item == 0;
  }
  if (TOutputObject *output = target_.outputNode()) {
    const std::int32_t kind = item == 0 ? TOutputObject::files : TOutputObject::clipboard;
    changed = changed || output->outputToFile != kind;
    output->outputToFile = kind;
  }
  // A close would otherwise lose the change.
  if (changed)
    target_.setFilterHasChanged(true);
  target_.endBulkUpdate();
}

void TWizardForm::addButtonClick() {
  QListWidgetItem *item = tasks_->currentItem();
  if (!item || !item->isSelected())
    return;
  addWizardTask(target_, {static_cast<std::uint8_t>(item->data(Qt::UserRole).toInt()),
                          item->data(Qt::UserRole + 1).toInt()});
}

void TWizardForm::showWizardAtStartupClick(bool checked) {
  writeBoolSetting("showWizard", checked);
  if (TmainForm *main = TmainForm::instance())
    main->settings().showWizard = checked;
  if (!checked)
    showMessageBox(this, QMessageBox::Information, windowTitle(),
                   toQString(translate(
                       2250, "If you need it, you can find the Filter Wizard in the Tools Menu")));
}

void installWizard() {
  mainFormHooks().showWizard = [](FilterListWindow &window) {
    FilterListTarget *target = window.listTarget();
    if (!target)
      return;
    static QPointer<TWizardForm> shown;
    if (shown && &shown->target() != target)
      delete shown.data();
    if (!shown) {
      shown = new TWizardForm(*target, TmainForm::instance());
      shown->setAttribute(Qt::WA_DeleteOnClose);
      // Gone at once with its list, before anything could reach the list
      // through it.
      QObject::connect(window.widget(), &QObject::destroyed, shown.data(),
                       [wizard = shown.data()] { delete wizard; });
      if (auto *list = qobject_cast<TchildForm *>(window.widget()))
        QObject::connect(list, &TchildForm::listChanged, shown.data(),
                         &TWizardForm::refreshFileSentence);
    }
    shown->show();
    shown->raise();
    shown->activateWindow();
  };
}

} // namespace marrowen
