#include "components/dialogrunner.h"

#include <QDialog>

namespace marrowen {

namespace {

DialogRunner::Runner &currentRunner() {
  static DialogRunner::Runner runner;
  return runner;
}

} // namespace

int DialogRunner::exec(QDialog &dialog) {
  // A copy, so a runner that replaces itself while a dialog runs stays alive.
  const Runner runner = currentRunner();
  if (runner)
    return runner(dialog);
  return dialog.exec();
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
