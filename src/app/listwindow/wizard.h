#pragma once

#include <QDialog>
#include <QPointer>

#include <cstdint>
#include <memory>

class QButtonGroup;
class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;
class QStackedWidget;

namespace marrowen {

class FilterListTarget;
class TFormInfo;

// One task of the wizard: which nodes it adds, and their parameter.
struct TWizardFilter {
  std::uint8_t kind = 0;
  std::int32_t parameter = 0;
};

// One entry of the wizard's task list.
struct WizardTask {
  int message;
  const char *text;
  TWizardFilter filter;
};
// The 45 tasks, in the list's order.
const std::vector<WizardTask> &wizardTasks();

// Adds the nodes of `task` to `window` at its cursor.
void addWizardTask(FilterListTarget &window, const TWizardFilter &task);

// Guides a user through setting up one filter list: where the data is (files
// or the clipboard) and a list of tasks, each adding its nodes. It stays on
// top while the user goes on working in the list, so each task goes after
// whichever filter is selected there.
class TWizardForm : public QDialog {
  Q_OBJECT
public:
  enum Page { Welcome, FileOrClipboard, FileInputOutput, ClipboardInputOutput, Filters, Finish };

  explicit TWizardForm(FilterListTarget &target, QWidget *parent = nullptr);
  ~TWizardForm() override;

  void nextButtonClick();
  void prevButtonClick();
  void inputSourceClick(int item);
  void addButtonClick();
  void showWizardAtStartupClick(bool checked);
  // The File input/output page's sentence from the list's output as it is
  // now; nothing on another page.
  void refreshFileSentence();

  QStackedWidget *pages() const { return pages_; }
  QListWidget *tasks() const { return tasks_; }
  QCheckBox *showAtStartup() const { return showAtStartup_; }
  QPushButton *addButton() const { return add_; }
  FilterListTarget &target() const { return target_; }
  bool pageVisible(int page) const;

private:
  void PageControl1Change();
  void setPage(int page);

  FilterListTarget &target_;
  QStackedWidget *pages_;
  QCheckBox *showAtStartup_;
  QLabel *fileSentence_;
  QButtonGroup *inputSource_;
  QListWidget *tasks_;
  QPushButton *back_, *next_, *close_, *add_;
  int clipboardChosen_ = 0;
  std::unique_ptr<TFormInfo> formInfo_;
};

// Opens the wizard at start-up and from the Tools menu: one at a time,
// going with the list it fills.
void installWizard();

} // namespace marrowen
