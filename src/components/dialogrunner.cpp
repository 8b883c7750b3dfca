#include "components/dialogrunner.h"

#include "qtext/qtext.h"

#include <QApplication>
#include <QDialog>
#include <QPointer>

#include <cstdio>
#include <vector>

namespace marrowen {

namespace {

DialogRunner::Runner &currentRunner() {
  static DialogRunner::Runner runner;
  return runner;
}

bool &headlessFlag() {
  static bool headless = false;
  return headless;
}

int answerHeadless(QDialog &dialog) {
  auto *box = qobject_cast<QMessageBox *>(&dialog);
  const QString text = box ? box->text() : dialog.windowTitle();
  // A name the box shows keeps its bytes.
  const std::string bytes = fromQString(text);
  std::fwrite(bytes.data(), 1, bytes.size(), stderr);
  std::fputc('\n', stderr);
  if (!box)
    return QDialog::Rejected;
  for (QMessageBox::StandardButton button :
       {QMessageBox::YesToAll, QMessageBox::Yes, QMessageBox::Ok})
    if (box->standardButtons() & button)
      return button;
  return box->escapeButton() ? box->standardButton(box->escapeButton()) : QMessageBox::Ok;
}

// A modal dialog must come above the program's windows that stay on top
// (the wizard, the command-line helper), or it would open hidden under one
// of them and hold the program with nothing to answer.
void keepAboveStayOnTopWindows(QDialog &dialog) {
  if (dialog.isVisible() || (dialog.windowFlags() & Qt::WindowStaysOnTopHint))
    return;
  for (QWidget *window : QApplication::topLevelWidgets())
    if (window != &dialog && window->isVisible() &&
        (window->windowFlags() & Qt::WindowStaysOnTopHint)) {
      dialog.setWindowFlag(Qt::WindowStaysOnTopHint, true);
      return;
    }
}

// Watches the windows a running dialog stands in, and the object that asked
// for it. A window tells it goes before it frees its children, which is when
// the dialog (often on its caller's stack) must leave it; the dialog then
// closes, ending its event loop.
class OwnerWatch {
public:
  OwnerWatch(QDialog &dialog, const QObject *owner) : dialog_(&dialog) {
    for (QWidget *window = dialog.parentWidget(); window; window = window->parentWidget())
      watch(window);
    if (owner)
      watch(owner);
  }
  ~OwnerWatch() {
    for (const QMetaObject::Connection &connection : connections_)
      QObject::disconnect(connection);
  }
  OwnerWatch(const OwnerWatch &) = delete;
  OwnerWatch &operator=(const OwnerWatch &) = delete;

  bool ownerGone() const { return gone_; }

private:
  void watch(const QObject *object) {
    connections_.push_back(
        QObject::connect(object, &QObject::destroyed, [this](QObject *) { ownerGoes(); }));
  }
  // Neither the dialog's done() nor its signals run: what they would reach
  // is being destroyed.
  void ownerGoes() {
    gone_ = true;
    if (!dialog_)
      return;
    dialog_->setResult(QDialog::Rejected);
    if (dialog_->parent())
      dialog_->setParent(nullptr, dialog_->windowFlags());
    dialog_->hide();
  }

  QPointer<QDialog> dialog_;
  std::vector<QMetaObject::Connection> connections_;
  bool gone_ = false;
};

} // namespace

int DialogRunner::exec(QDialog &dialog, const QObject *owner) {
  keepAboveStayOnTopWindows(dialog);
  const QPointer<QDialog> alive(&dialog);
  const OwnerWatch watch(dialog, owner);
  // A copy, so a runner that replaces itself while a dialog runs stays alive.
  const Runner runner = currentRunner();
  int result = QDialog::Rejected;
  if (runner)
    result = runner(dialog);
  else if (headlessFlag())
    result = answerHeadless(dialog);
  else
    result = dialog.exec();
  return watch.ownerGone() || !alive ? int(QDialog::Rejected) : result;
}

void DialogRunner::setHeadless(bool headless) { headlessFlag() = headless; }
bool DialogRunner::headless() { return headlessFlag(); }
bool DialogRunner::canAsk() { return !headlessFlag() || static_cast<bool>(currentRunner()); }

bool platformHasNoScreen() {
  const QString name = QGuiApplication::platformName();
  return name == QLatin1String("offscreen") || name == QLatin1String("minimal");
}

DialogRunner::Runner DialogRunner::replace(Runner runner) {
  Runner previous = std::move(currentRunner());
  currentRunner() = std::move(runner);
  return previous;
}

QMessageBox::StandardButton showMessageBox(QWidget *parent, QMessageBox::Icon icon,
                                           const QString &title, const QString &text,
                                           QMessageBox::StandardButtons buttons,
                                           QMessageBox::StandardButton defaultButton) {
  const QPointer<QWidget> owner(parent);
  QMessageBox box(icon, title, text, buttons, parent);
  if (defaultButton != QMessageBox::NoButton)
    box.setDefaultButton(defaultButton);
  const int result = DialogRunner::exec(box);
  if (parent && !owner)
    return QMessageBox::Cancel;
  // A runner may answer with a button code directly or by clicking one.
  if (QAbstractButton *clicked = box.clickedButton())
    return box.standardButton(clicked);
  return static_cast<QMessageBox::StandardButton>(result);
}

} // namespace marrowen
