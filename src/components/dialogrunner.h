#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

class QDialog;
class QWidget;

namespace marrowen {

// Every modal dialog and message box of the program runs through here, so a
// test can answer each one (press a button, fill in a field) without a nested
// event loop that would wait for a person. The default runs the dialog with
// exec().
//
// While a dialog runs, its owners may go at any time (a timer, a queued
// deletion, another program's call): the windows it stands in and the object
// that asked for it. The dialog is then taken out of the window that would
// free it with itself, closes, and answers Rejected; the caller must not touch
// what went.
class DialogRunner {
public:
  // Runs `dialog` modally and gives its result (QDialog::Accepted, Rejected,
  // or the button a message box ended with).
  using Runner = std::function<int(QDialog &dialog)>;

  // `owner`, when given, is watched beside the dialog's parent windows.
  static int exec(QDialog &dialog, const QObject *owner = nullptr);
  // Installs `runner` and gives back the one it replaces; an empty runner
  // restores the modal default.
  static Runner replace(Runner runner);
  // With no screen nobody can answer: a dialog run with no runner installed
  // writes its text to standard error and is answered at once, a message box
  // with Yes to All, Yes or OK (the first it offers), any other dialog as
  // cancelled.
  static void setHeadless(bool headless);
  static bool headless();
  // Whether a dialog run now reaches someone who may answer it: there is a
  // screen, or a runner answers for the user.
  static bool canAsk();
};

// Whether the platform has no screen a person could see ("offscreen",
// "minimal").
bool platformHasNoScreen();

// Replaces the runner for its lifetime, then puts the previous one back.
class ScopedDialogRunner {
public:
  explicit ScopedDialogRunner(DialogRunner::Runner runner)
      : previous_(DialogRunner::replace(std::move(runner))) {}
  ~ScopedDialogRunner() { DialogRunner::replace(std::move(previous_)); }
  ScopedDialogRunner(const ScopedDialogRunner &) = delete;
  ScopedDialogRunner &operator=(const ScopedDialogRunner &) = delete;

private:
  DialogRunner::Runner previous_;
};

// A message box run through the runner; gives the button that closed it, or
// Cancel when `parent` went while it was open.
QMessageBox::StandardButton
showMessageBox(QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &text,
               QMessageBox::StandardButtons buttons = QMessageBox::Ok,
               QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

} // namespace marrowen
