// Running a filter list from its window: Go, the trial run, verifying,
// the compiled text filter and the trial area.
#include "app/listwindow/childform.h"

#include "app/common/memos.h"
#include "app/jobs/windowjobhost.h"
#include "app/listwindow/filtertreemodel.h"
#include "app/nodedialogs/dialogbase.h"
#include "classlib/exceptions.h"
#include "classlib/format.h"
#include "components/dialogrunner.h"
#include "engine/fileinput.h"
#include "engine/inputs.h"
#include "engine/messages.h"
#include "engine/outputs.h"
#include "engine/processingthread.h"
#include "engine/statuswindow.h"
#include "engine/userinterface.h"
#include "filterlist/commentnodes.h"
#include "filterlist/filterfile.h"
#include "filterlist/listobject.h"
#include "grid/widget/dgbasegrid.h"
#include "qtext/qtext.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTextBlock>
#include <QThread>
#include <QThreadPool>

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include <algorithm>

namespace marrowen {

namespace {} // namespace

WindowJobHost &TchildForm::jobHost() {
  if (TmainForm *main = TmainForm::instance())
    return main->jobHost();
  // Windows made without a main window (tests, tools) share one host. It
  // stays to the very end: its jobs may still be ending when the
  // application object goes, and waiting for them then would need it.
  static WindowJobHost *host = new WindowJobHost;
  return *host;
}

namespace {

// The trial run the window is waiting for; a newer one or a stop makes an
// older job's reports go nowhere.
int trialSerial = 0;

// A trial output that also hands each piece to a document builder, so the
// output memo's document grows while the job runs, and tells whether the
// run was stopped before its end.
class TTrialOutput : public TAdhocOutput {
public:
  TTrialOutput(std::function<void(const std::string &, bool stopped)> show,
               std::shared_ptr<MemoDocumentBuilder> builder)
      : TAdhocOutput([this](const std::string &text) { show_(text, stopped_); }),
        show_(std::move(show)), builder_(std::move(builder)) {}
  bool processChunk(std::string &chunk) override {
    builder_->append(chunk);
    return TAdhocOutput::processChunk(chunk);
  }
  void endJob() override {
    stopped_ = isAborted();
    TAdhocOutput::endJob();
  }

private:
  std::function<void(const std::string &, bool)> show_;
  std::shared_ptr<MemoDocumentBuilder> builder_;
  bool stopped_ = false;
};

// Below this a result is placed at once; above, the builder's document is taken.
constexpr std::size_t placedAtOnce = 1 << 20;

} // namespace

std::unique_ptr<TFilter> TchildForm::create_filters(bool clipboard, bool innerOnly,
                                                    std::string *errorText) {
  storeEditor();
  int errorIndex = -1;
  try {
    filterList_.getFromChildForm(*this);
    return filterList_.createFilters(clipboard, innerOnly, errorIndex);
  } catch (const std::exception &error) {
    if (errorIndex >= 0 && errorIndex < tree_.count()) {
      Tabs->setCurrentWidget(filtersTab);
      selectItem(errorIndex);
    }
    if (errorText)
      *errorText = error.what();
    if (callerAwaitsAnswer())
      throw;
    if (TmainForm *main = TmainForm::instance())
      main->logError(error.what());
    else
      messageBox(QMessageBox::Critical, error.what());
    return nullptr;
  }
}

std::unique_ptr<TGenericInput> TchildForm::createFilters() {
  std::unique_ptr<TFilter> chain = create_filters(false, false);
  if (auto *input = dynamic_cast<TGenericInput *>(chain.get())) {
    chain.release();
    return std::unique_ptr<TGenericInput>(input);
  }
  return nullptr;
}

void TchildForm::beginButtonClick(bool clipboard) {
  std::unique_ptr<TGenericInput> input;
  {
    std::unique_ptr<TFilter> chain = create_filters(clipboard, false);
    auto *head = dynamic_cast<TGenericInput *>(chain.get());
    if (!head)
      return;
    chain.release();
    input.reset(head);
  }
  JobOptions options;
  options.filterName = getFilterName();
  options.closeStatusWhenDone = false;
  options.deferLogging = true;
  if (auto *top = dynamic_cast<TFilterCommentObject *>(tree_.count() ? &tree_.node(0) : nullptr)) {
    options.loggingOn = top->log.enabled;
    options.logFileName = top->log.fileName;
    options.appendToLog = top->log.append;
    options.lineLimit = top->log.lineThreshold;
  }
  if (TmainForm *main = TmainForm::instance()) {
    options.playSound = main->settings().playSound;
    options.soundFile = main->settings().soundFile;
  }
  QPointer<TchildForm> self(this);
  if (clipboard) {
    clipboardButton->setEnabled(false);
    // Enabled again when the job ends, however it ends; flipping the state
    // would leave it wrong after a failed or an overlapping job.
    options.toggleClipboardButton = [] {};
    options.onEnded = [self](bool) {
      if (self)
        self->clipboardButton->setEnabled(true);
    };
  }
  jobHost().startJob(std::move(input), std::move(options));
}

void TchildForm::trialRunButtonClick() {
  if (trialRunning_) {
    if (trialJob_)
      trialJob_->terminate();
    trialJob_ = nullptr;
    ++trialSerial;
    setTrialRunning(false);
    // Nothing is being generated any more.
    trialOutput->setBytes({});
    statusBarText(jobEndText(JobEnd::Stopped));
    return;
  }
  if (Tabs->currentWidget() == trialSheet && !trialInputChanged_) {
    Tabs->setCurrentWidget(filtersTab);
    return;
  }
  Tabs->setCurrentWidget(trialSheet);
  layoutTrialArea();
  trialInputChanged_ = false;
  try {
    doTrialRun();
  } catch (const std::exception &error) {
    messageBox(QMessageBox::Critical, error.what());
  }
}

void TchildForm::doTrialRun() {
  if (trialInput->document()->isEmpty())
    throw Exception(translate(
        4800,
        "You need to enter some text in the trial run input area\r\n to test your filters on"));
  if (trialInput->bytesPending()) {
    // A long edited text is converted off the user-interface thread first.
    setTrialRunning(true);
    statusBarText(translate(4820, "Processing trial input..."));
    QPointer<TchildForm> self(this);
    trialInput->prepareBytes([self, serial = ++trialSerial] {
      if (!self || serial != trialSerial)
        return;
      self->setTrialRunning(false);
      try {
        self->doTrialRun();
      } catch (const std::exception &error) {
        messageBox(QMessageBox::Critical, error.what());
      }
    });
    return;
  }
  const QPointer<TchildForm> self(this);
  std::unique_ptr<TFilter> chain = create_filters(false, true);
  if (!chain) {
    // The window may have gone while its error was shown.
    if (self)
      Tabs->setCurrentWidget(filtersTab);
    return;
  }
  // Building the chain read the trial input into the list.
  std::string text = filterList_.trialInput;
  setTrialRunning(true);
  trialOutput->setBytes(translate(4810, "Generating output..."));
  statusBarText(translate(4820, "Processing trial input..."));

  const int serial = ++trialSerial;
  // Whether the output reached the window; a job that ends without it
  // (stopped, failed) still leaves the window idle.
  auto delivered = std::make_shared<bool>(false);
  auto builder = std::make_shared<MemoDocumentBuilder>(thread(), trialOutput->font());
  auto input = std::make_unique<TStringInput>("trialInput");
  input->setNext(std::move(chain));
  input->lastFilter()->setNext(std::make_unique<TTrialOutput>(
      [self, serial, delivered, builder](const std::string &out, bool stopped) {
        if (!self || serial != trialSerial) {
          builder->cancel();
          return;
        }
        *delivered = true;
        self->trialJob_ = nullptr;
        self->showTrialOutput(serial, out, *builder, stopped);
      },
      builder));
  input->setText(std::move(text));

  JobOptions options;
  options.filterName = getFilterName();
  options.closeStatusWhenDone = true;
  options.deferLogging = false;
  options.lineLimit = 50;
  options.onEnded = [self, serial, delivered, builder](bool) {
    if (!*delivered)
      builder->cancel();
    if (!self || serial != trialSerial)
      return;
    self->trialJob_ = nullptr;
    if (!*delivered)
      self->setTrialRunning(false);
  };
  trialJob_ = jobHost().startJob(std::move(input), std::move(options));
}

void TchildForm::showTrialOutput(int serial, const std::string &text, MemoDocumentBuilder &builder,
                                 bool stopped) {
  const std::string areaName = translate(4080, "Trial Output");
  // The output shows as far as the run came; a run stopped on the way says so.
  auto finished = [this, stopped] {
    setTrialRunning(false);
    statusBarText(stopped ? jobEndText(JobEnd::Stopped) : translate(4090, "Trial run completed"));
  };
  if (text.size() < placedAtOnce) {
    builder.cancel();
    trialOutput->setBytes(text, areaName);
    finished();
    return;
  }
  // The output shows as far as the builder got; the rest follows between
  // events, and a press of the button meanwhile stops it there.
  builder.finish(text, areaName, this, [this, serial, finished](PreparedMemoText prepared) {
    if (serial != trialSerial)
      return;
    QPointer<TchildForm> self(this);
    const QString warning = adoptMemoDocument(
        trialOutput, std::move(prepared),
        [self, serial, finished](bool whole) {
          if (!self || serial != trialSerial)
            return;
          if (whole)
            finished();
          else
            self->setTrialRunning(false);
        },
        [self, serial] { return self && serial == trialSerial; });
    if (!warning.isEmpty())
      messageBox(QMessageBox::Warning, fromQString(warning));
  });
}

void TchildForm::setTrialRunning(bool running) {
  if (running == trialRunning_)
    return;
  trialRunning_ = running;
  trialRunButton->setIcon(treeIcon(running ? 40 : 39));
}

void TchildForm::verifyFilterList() {
  if (create_filters(false, true))
    messageBox(QMessageBox::Information, translate(4830, "Filter checks out Ok"));
}

void TchildForm::setTestMode(bool testMode) {
  beginButton->setText(
      toQString(testMode ? translate(4850, "&Go (Test)") : translate(4870, "&Go (Real)")));
  beginButton->setToolTip(toQString(
      testMode
          ? translate(4860, "Begin transform in test mode (original files will not be altered)")
          : translate(4880, "Begin transform in real mode (original files may be altered)")));
}

void TchildForm::testRegExp(const std::string &pattern) { marrowen::testRegExp(*this, pattern); }

void TchildForm::Preparefilterforautomation1Click() {
  hideCurrentEditor();
  // A Yes switches something off in a filter: the list is to be saved again.
  bool switchedOff = false;
  const ConfirmPrompt ask = [this, &switchedOff](const std::string &text) {
    switch (showMessageBox(this, QMessageBox::Question, QApplication::applicationName(),
                           toQString(text),
                           QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel)) {
    case QMessageBox::Yes:
      switchedOff = true;
      return Answer::Yes;
    case QMessageBox::No:
      return Answer::No;
    default:
      return Answer::Cancel;
    }
  };
  // A question's event loop may see the list changed (each node checked is
  // held until its questions end) or the window closed: then nothing follows.
  const QPointer<TchildForm> self(this);
  std::vector<std::shared_ptr<TListObject>> nodes;
  for (const FilterTreeItem &item : tree_.items)
    nodes.push_back(item.node);
  for (const std::shared_ptr<TListObject> &node : nodes)
    if (!node->automationCheck(ask) || !self)
      break;
  if (!self)
    return;
  if (switchedOff)
    setFilterHasChanged(true);
  messageBox(QMessageBox::Information, translate(5070, "Automation check complete"));
  if (self)
    showCurrentEditor();
}

void TchildForm::Preparefilterfordistribution1Click() {
  trialInput->setBytes({});
  trialOutput->setBytes({});
  scratchPad->setBytes({});
  // Both memos are saved with the list, so the file must be written again.
  setFilterHasChanged(true);
  checkButtonsEnableStatus();
  messageBox(QMessageBox::Information,
             translate(5060, "Filter is now ready for distribution\r\n(trial input, trial "
                             "output and scratch pad have been cleared)"));
}

std::string TchildForm::getFirstFileMatching(const std::string &mask) {
  const std::size_t slash = mask.find_last_of('/');
  const std::string folder = slash == std::string::npos ? std::string() : mask.substr(0, slash + 1);
  const std::string pattern = slash == std::string::npos ? mask : mask.substr(slash + 1);
  DIR *dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!dir)
    return {};
  std::vector<std::string> names;
  while (dirent *entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..")
      continue;
    if (!matchesFileMask(pattern, name))
      continue;
    struct stat info {};
    if (::stat((folder + name).c_str(), &info) == 0 && S_ISREG(info.st_mode))
      names.push_back(name);
  }
  ::closedir(dir);
  if (names.empty())
    return {};
  // The first in name order: a directory's own order is no order at all.
  return folder + *std::min_element(names.begin(), names.end());
}

void TchildForm::loadIntoAdhocInput(const std::string &file) {
  if (file.empty()) {
    messageBox(QMessageBox::Information,
               translate(5090, "Files grid is empty or no matching files were found"));
    return;
  }
  std::string bytes;
  try {
    bytes = loadFileBytes(file);
  } catch (const std::exception &error) {
    // A file the user may not read, or one that fails while read.
    messageBox(QMessageBox::Critical, error.what());
    return;
  }
  Tabs->setCurrentWidget(trialSheet);
  trialInput->setBytes(bytes, translate(6770, "Trial Input"));
  trialInputEdited();
}

void TchildForm::PutsampleinTrialInputArea1Click() {
  if (inputFromFiles_) {
    std::string found;
    for (const FileGridRow &row : fileRows()) {
      found = getFirstFileMatching(row.pathMask);
      if (!found.empty())
        break;
    }
    loadIntoAdhocInput(found);
  } else {
    trialInput->setBytes(clipboardBytes(QApplication::clipboard()->text()));
    trialInputEdited();
  }
  Tabs->setCurrentWidget(trialSheet);
  layoutTrialArea();
}

void TchildForm::MoveTrialOutputtoTrialInput1Click() {
  fieldChanged();
  trialInput->setBytes(trialOutput->bytes());
  trialInputEdited();
  trialOutput->setBytes({});
  Tabs->setCurrentWidget(trialSheet);
}

void TchildForm::layoutTrialArea() {
  const int half = trialSheet->contentsRect().width() / 2 - trialSplitter->handleWidth() - 2;
  if (half > 0)
    trialSplitter->setSizes({half, trialSheet->contentsRect().width() - half});
}

void TchildForm::updateTrialFont(const QFont &font) {
  trialInput->setFont(font);
  trialOutput->setFont(font);
}

} // namespace marrowen
