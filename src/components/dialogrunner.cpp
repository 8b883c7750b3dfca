#include "components/dialogrunner.h"

#include <QApplication>
#include <QDialog>

#include <cstdio>

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
  const QByteArray bytes = text.toLocal8Bit();
  std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stderr);
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

} // namespace

int DialogRunner::exec(QDialog &dialog) {
  keepAboveStayOnTopWindows(dialog);
  // A copy, so a runner that replaces itself while a dialog runs stays alive.
  const Runner runner = currentRunner();
  if (runner)
    return runner(dialog);
  if (headlessFlag())
    return answerHeadless(dialog);
  return dialog.exec();
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
  QMessageBox box(icon, title, text, buttons, parent);
  if (defaultButton != QMessageBox::NoButton)
    box.setDefaultButton(defaultButton);
  const int result = DialogRunner::exec(box);
  // A runner may answer with a button code directly or by clicking one.
  if (QAbstractButton *clicked = box.clickedButton())
    return box.standardButton(clicked);
  return static_cast<QMessageBox::StandardButton>(result);
}

} // namespace marrowen
