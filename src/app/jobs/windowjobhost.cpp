#include "app/jobs/windowjobhost.h"

#include "app/common/launcher.h"
#include "app/jobs/debugwindow.h"
#include "app/jobs/queryreplace.h"
#include "app/jobs/statusform.h"
#include "components/dialogrunner.h"
#include "engine/inputs.h"
#include "engine/searchreplace.h"
#include "engine/userinterface.h"
#include "filters/debugfilter.h"
#include "qtext/qtext.h"

#include <QApplication>
#include <QClipboard>
#include <QEventLoop>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSoundEffect>
#include <QStyle>
#include <QThread>
#include <QUrl>

#include <algorithm>
#include <exception>
#include <functional>

namespace marrowen {

namespace {

// When a status window goes, the window that was active before it comes
// back to the front, whatever the order of the others.
class ReactivateOnHide : public QObject {
public:
  ReactivateOnHide(QMdiArea &area, QMdiSubWindow &status)
      : QObject(&status), area_(&area), previous_(area.currentSubWindow()) {
    // The job hides the window's content; the user closes the frame.
    status.installEventFilter(this);
    if (status.widget())
      status.widget()->installEventFilter(this);
  }
  bool eventFilter(QObject *, QEvent *event) override {
    // Left to itself the workspace would go to the next window in creation order.
    const bool going = event->type() == QEvent::Hide || event->type() == QEvent::DeferredDelete;
    if (going && area_ && previous_ && previous_->isVisible() &&
        area_->currentSubWindow() == parent())
      area_->setActiveSubWindow(previous_);
    return false;
  }

private:
  QPointer<QMdiArea> area_;
  QPointer<QMdiSubWindow> previous_;
};

// Shows a status window over the window that started its job without
// changing that window: a maximised one stays maximised under it.
void showOver(QMdiArea &area, QMdiSubWindow &status) {
  new ReactivateOnHide(area, status);
  QMdiSubWindow *active = area.currentSubWindow();
  const bool hold = active && active->isMaximized() &&
                    !area.testOption(QMdiArea::DontMaximizeSubWindowOnActivation);
  if (hold)
    area.setOption(QMdiArea::DontMaximizeSubWindowOnActivation, true);
  status.show();
  if (hold)
    area.setOption(QMdiArea::DontMaximizeSubWindowOnActivation, false);
}

// Opens a status window down and to the right of `last`, the latest one
// still shown, by a title bar's height, as the workspace's cascade does: a
// second job's window never lies exactly over the first's. One that would
// reach past the workspace starts again at its top left.
void placeAfter(QMdiArea &area, QMdiSubWindow &status, const QMdiSubWindow &last) {
  const int step = status.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &status);
  QPoint at = last.pos() + QPoint(step, step);
  const QSize room = area.viewport()->size();
  if (at.x() + status.width() > room.width() || at.y() + status.height() > room.height())
    at = last.pos() == QPoint(0, 0) ? QPoint(step, step) : QPoint(0, 0);
  status.move(at);
}

// Deletes a status window (its workspace frame with it) once the host and
// every caller that locked a job's handle to it have let go: a filter on the
// job's thread may hold it while the host forgets it. A window that went with
// its parent at exit is left alone.
struct DeleteStatusWindow {
  QPointer<TTstatusForm> form;
  QPointer<QWidget> container;
  void operator()(TTstatusForm *) const {
    if (form && container)
      container->deleteLater();
  }
};

} // namespace

namespace {

// The hosts alive, on the user-interface thread.
std::vector<WindowJobHost *> &liveHosts() {
  static std::vector<WindowJobHost *> hosts;
  return hosts;
}

} // namespace

WindowJobHost::WindowJobHost(QObject *parent) : QObject(parent) {
  liveHosts().push_back(this);
  onQuit = [] { QCoreApplication::quit(); };
}

WindowJobHost::~WindowJobHost() {
  std::erase(liveHosts(), this);
  stopAllJobs();
  for (auto &window : std::vector(windows_))
    forget(window.get());
}

ProcessingThread *WindowJobHost::startJob(std::unique_ptr<TGenericInput> chain,
                                          JobOptions options) {
  RunningJob entry;
  entry.chain = std::move(chain);
  entry.job = ProcessingThread::Create(*this, *entry.chain, std::move(options));
  ProcessingThread *job = entry.job.get();
  jobs_.push_back(std::move(entry));
  return job;
}

void WindowJobHost::stopAllJobs() {
  if (jobs_.empty())
    return;
  // Marked only while the jobs stop: the pattern, script and database steps
  // read the mark. Left set, it would stop every later job at its first match
  // as if the user had, when the program goes on (a quit that was not one, a
  // host that goes with its window); a quit by signal had set it before and
  // keeps it.
  const bool wasTerminating = applicationTerminating();
  setApplicationTerminating(true);
  QEventLoop loop;
  while (!jobs_.empty()) {
    // A job started while these end (another program's call, handled here)
    // stops too: the wait is for every job, not only those there at first.
    for (auto &entry : jobs_)
      entry.job->terminate();
    loop.processEvents(QEventLoop::WaitForMoreEvents);
  }
  setApplicationTerminating(wasTerminating);
}

namespace {

// Runs `call` on `context`'s thread and waits for it, its exception rethrown
// here; directly when already there, since a blocking queued call to one's
// own thread hangs.
void callOnThreadOf(QObject *context, const std::function<void()> &call) {
  if (QThread::currentThread() == context->thread()) {
    call();
    return;
  }
  std::exception_ptr failure;
  QMetaObject::invokeMethod(
      context,
      [&] {
        try {
          call();
        } catch (...) {
          failure = std::current_exception();
        }
      },
      Qt::BlockingQueuedConnection);
  if (failure)
    std::rethrow_exception(failure);
}

} // namespace

void WindowJobHost::runOnUserInterfaceAndWait(const std::function<void()> &call) {
  callOnThreadOf(this, call);
}

void WindowJobHost::jobExecuted(ProcessingThread &job) {
  ProcessingThread *finished = &job;
  QMetaObject::invokeMethod(
      this, [this, finished] { finishJob(finished); }, Qt::QueuedConnection);
}

void WindowJobHost::finishJob(ProcessingThread *job) {
  const auto it = std::find_if(jobs_.begin(), jobs_.end(),
                               [job](const RunningJob &entry) { return entry.job.get() == job; });
  if (it == jobs_.end())
    return;
  job->finish();
  RunningJob entry = std::move(*it);
  jobs_.erase(it);
  // The job reads its chain to the very end.
  entry.job.reset();
  entry.chain.reset();
}

void WindowJobHost::quitWhenJobsEnd() {
  for (auto &entry : jobs_)
    entry.job->terminate();
  quitWhenDone_ = true;
  if (runningJobs_ == 0 && onQuit)
    onQuit();
}

void WindowJobHost::reduceThreadCount() {
  if (runningJobs_ <= 0)
    return;
  if (--runningJobs_ == 0 && quitWhenDone_ && onQuit)
    onQuit();
}

std::vector<TTstatusForm *> WindowJobHost::statusWindows() const {
  std::vector<TTstatusForm *> forms;
  for (const auto &window : windows_)
    forms.push_back(window.get());
  return forms;
}

std::weak_ptr<JobStatusWindow> WindowJobHost::createStatusWindow() {
  for (auto &window : std::vector(windows_))
    if (!window->job())
      forget(window.get());
  auto *form = new TTstatusForm;
  QWidget *container = form;
  if (area_) {
    QMdiSubWindow *sub = area_->addSubWindow(form);
    sub->setAttribute(Qt::WA_DeleteOnClose, false);
    container = sub;
    for (auto it = windows_.rbegin(); it != windows_.rend(); ++it)
      if (auto *shown = qobject_cast<QMdiSubWindow *>((*it)->parentWidget());
          shown && shown->isVisible()) {
        placeAfter(*area_, *sub, *shown);
        break;
      }
  }
  std::shared_ptr<TTstatusForm> window(form, DeleteStatusWindow{form, container});
  connect(form, &QObject::destroyed, this, [this, form] { forget(form, true); });
  connect(form, &TTstatusForm::closeRequested, this, [this, form] { forget(form); });
  windows_.push_back(window);
  if (!showStatusWindows_)
    return window;
  if (auto *sub = qobject_cast<QMdiSubWindow *>(container); sub && area_)
    showOver(*area_, *sub);
  else
    container->show();
  return window;
}

void WindowJobHost::forget(TTstatusForm *form, bool destroying) {
  const auto it = std::find_if(windows_.begin(), windows_.end(),
                               [form](const auto &window) { return window.get() == form; });
  if (it == windows_.end())
    return;
  // The window disappears at once; it is deleted when the last handle goes.
  const std::shared_ptr<TTstatusForm> window = std::move(*it);
  windows_.erase(it);
  if (!destroying) {
    window->savePlacement();
    window->hide();
  }
}

void WindowJobHost::closeStatusWindow(TTstatusForm *form) { forget(form); }

void WindowJobHost::releaseStatusWindow(const std::shared_ptr<JobStatusWindow> &window) {
  forget(dynamic_cast<TTstatusForm *>(window.get()));
}

std::unique_ptr<QueryReplaceDialog> WindowJobHost::createQueryReplaceDialog() {
  return std::make_unique<TTQueryReplace>();
}

Answer WindowJobHost::askQuestion(const std::string &text) {
  const auto button = showMessageBox(nullptr, QMessageBox::Question,
                                     QApplication::applicationName(), messageToQString(text),
                                     QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel |
                                         QMessageBox::NoToAll | QMessageBox::YesToAll,
                                     QMessageBox::Yes);
  switch (button) {
  case QMessageBox::Yes:
    return Answer::Yes;
  case QMessageBox::No:
    return Answer::No;
  case QMessageBox::YesToAll:
    return Answer::YesToAll;
  case QMessageBox::NoToAll:
    return Answer::NoToAll;
  default:
    return Answer::Cancel; // Cancel, Escape and the close box
  }
}

void WindowJobHost::showJobException(const std::string &message) {
  if (QWidget *grabber = QWidget::mouseGrabber())
    grabber->releaseMouse();
  showMessageBox(nullptr, QMessageBox::Critical, QApplication::applicationName(),
                 messageToQString(message));
}

void WindowJobHost::playSound(const std::string &fileName) {
  std::string name = fileName;
  if (name.size() >= 2 && name.front() == '"' && name.back() == '"')
    name = name.substr(1, name.size() - 2);
  if (name.empty()) {
    playCompletionSound();
    return;
  }
  // A missing sound file stays silent, as the system's own player does,
  // instead of filling standard error at every job's end.
  const QString path = fileNameToQString(name);
  if (!QFileInfo(path).isFile())
    return;
  delete sound_;
  auto *effect = new QSoundEffect(this);
  sound_ = effect;
  effect->setSource(QUrl::fromLocalFile(path));
  effect->play();
}

namespace {

void runOnUi(const std::function<void()> &call) { callOnThreadOf(qApp, call); }

// What a job last put on the clipboard; only the user-interface thread
// touches it.
QString &jobClipboardText() {
  static QString text;
  return text;
}

// The windows' side of what the engine asks outside a job's own calls.
class QtUserInterface : public HeadlessUserInterface {
public:
  explicit QtUserInterface(bool sharedClipboard) : sharedClipboard_(sharedClipboard) {}
  Answer askQueryReplace(QueryReplaceRequest &request) override {
    Answer answer = Answer::Cancel;
    runOnUi([&] { answer = askQueryReplaceInDialog(request); });
    return answer;
  }
  void showMessageBox(MessageBoxKind kind, const std::string &text) override {
    const QMessageBox::Icon icon = kind == MessageBoxKind::Error     ? QMessageBox::Critical
                                   : kind == MessageBoxKind::Warning ? QMessageBox::Warning
                                                                     : QMessageBox::Information;
    marrowen::showMessageBox(nullptr, icon, QApplication::applicationName(),
                             messageToQString(text));
  }
  void processMessages() override { QCoreApplication::processEvents(); }
  // The clipboard's text comes in as UTF-8; what goes out is shown as any
  // engine text is (toQString).
  std::string clipboardText() override {
    std::string text;
    runOnUi([&] { text = clipboardBytes(QApplication::clipboard()->text()); });
    return text;
  }
  void setClipboardText(std::string_view text) override {
    const QString value = toQString(text);
    runOnUi([&] {
      QApplication::clipboard()->setText(value);
      jobClipboardText() = value;
    });
  }
  bool hasSharedClipboard() override { return sharedClipboard_; }
  std::shared_ptr<DebugWindow> createDebugWindow() override {
    std::shared_ptr<DebugWindow> window;
    runOnUi([&] { window = TdebugWindowForm::createShared(); });
    return window;
  }
  // The running jobs stop at once, and the program quits once they have
  // ended (with the status their ends gave), without asking anything, as a
  // script that ends it expects.
  void terminateApplication() override {
    HeadlessUserInterface::terminateApplication();
    QMetaObject::invokeMethod(
        qApp,
        [] {
          if (liveHosts().empty())
            QCoreApplication::quit();
          for (WindowJobHost *host : std::vector(liveHosts()))
            host->quitWhenJobsEnd();
        },
        Qt::QueuedConnection);
  }

private:
  bool sharedClipboard_;
};

} // namespace

void installWindowHandlers(bool sharedClipboard) {
  setUserInterface(std::make_shared<QtUserInterface>(sharedClipboard));
}

bool platformSharesClipboard() {
  const QString platform = QGuiApplication::platformName();
  return platform == QLatin1String("xcb") || platform.startsWith(QLatin1String("wayland"));
}

QString clipboardTextOfJobs() {
  const QClipboard *clipboard = QApplication::clipboard();
  const QString &text = jobClipboardText();
  if (text.isEmpty() || !clipboard->ownsClipboard() || clipboard->text() != text)
    return {};
  return text;
}

} // namespace marrowen
