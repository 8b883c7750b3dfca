#include "app/listwindow/childform.h"
#include "app/nodedialogs/dialogbase.h"
#include "app/nodedialogs/nodedialogs.h"
#include "app_testing.h"
#include "filterlist/ionodes.h"
#include "filterlist/nodecatalog.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextEdit>

namespace marrowen::testing {
namespace {

class EveryDialog : public AppTest {
protected:
  void SetUp() override {
    AppTest::SetUp();
    registerNodeDialogs();
  }
};

// Looking at every node in its dialog, and leaving it, changes no stored byte.
TEST_F(EveryDialog, SelectingEachNodeLeavesTheSavedListUnchanged) {
  const std::string stored = MARROWEN_SOURCE_DIR "/tests/filterlist/data/every-node-class.fll";
  TchildForm form(1);
  form.resize(800, 600);
  form.show();
  form.loadFilterList(stored, {});
  form.saveFilterListAs(dir.file("before.fll"));
  const int count = form.filterTree().count();
  ASSERT_GT(count, 25);
  for (int i = 0; i < count; ++i) {
    form.selectItem(i);
    QCoreApplication::processEvents();
    const std::string name(form.filterTree().node(i).className());
    if (name != "TListObject") {
      EXPECT_NE(form.filterTree().node(i).editorForm, nullptr) << name;
    }
  }
  form.selectItem(0);
  form.saveFilterListAs(dir.file("after.fll"));
  EXPECT_EQ(readFile(dir.file("after.fll")), readFile(dir.file("before.fll")));
}

// The controls a user reads or uses, where they show on the dialog.
std::vector<std::pair<QWidget *, QRect>> controlsOf(QWidget &dialog) {
  std::vector<std::pair<QWidget *, QRect>> controls;
  for (QWidget *w : dialog.findChildren<QWidget *>()) {
    if (!w->isVisibleTo(&dialog))
      continue;
    // The edit inside a spin box or combo box is part of it.
    if (qobject_cast<QLineEdit *>(w) && (qobject_cast<QAbstractSpinBox *>(w->parentWidget()) ||
                                         qobject_cast<QComboBox *>(w->parentWidget())))
      continue;
    if (qobject_cast<QLabel *>(w) || qobject_cast<QAbstractButton *>(w) ||
        qobject_cast<QAbstractSpinBox *>(w) || qobject_cast<QComboBox *>(w) ||
        qobject_cast<QLineEdit *>(w) || qobject_cast<QPlainTextEdit *>(w) ||
        qobject_cast<QTextEdit *>(w))
      controls.emplace_back(w, QRect(w->mapTo(&dialog, QPoint(0, 0)), w->size()));
  }
  return controls;
}

// At the window's smallest usual size every dialog shows whole: no caption
// cut short, no control over another (a dialog that cannot fit scrolls).
TEST_F(EveryDialog, EachDialogLaysOutWholeAtTheDefaultWindowSize) {
  TchildForm form(1);
  form.resize(614, 300);
  form.show();
  QCoreApplication::processEvents();
  std::vector<std::string> faults;
  bool describedOnce = false;
  for (const NodeCatalogEntry &entry : nodeCatalog()) {
    if (!entry.createDefault || !nodeDialogFactory(entry.names.className))
      continue;
    // The built-in filters share one dialog that only describes them.
    if (entry.names.className == std::string_view("TDescriptionObject") &&
        std::exchange(describedOnce, true))
      continue;
    form.addFilter(entry.createDefault(entry.kind));
    QCoreApplication::processEvents();
    QWidget *dialog = nullptr;
    for (auto *shown : form.blankPanel->findChildren<TdefaultForm1 *>())
      if (shown->isVisible())
        dialog = shown;
    ASSERT_NE(dialog, nullptr) << entry.names.className;
    const std::string name = std::string(entry.names.className) + " " + std::to_string(entry.kind);
    const auto controls = controlsOf(*dialog);
    for (const auto &[w, at] : controls) {
      const auto *label = qobject_cast<QLabel *>(w);
      const bool wraps = label && label->wordWrap();
      const QString text = label ? label->text()
                           : qobject_cast<QAbstractButton *>(w)
                               ? static_cast<QAbstractButton *>(w)->text()
                               : QString();
      // A push button's own minimum width is style, not text.
      const int needed = qobject_cast<QPushButton *>(w)
                             ? w->fontMetrics().horizontalAdvance(QString(text).remove('&')) + 6
                             : w->sizeHint().width();
      if (!text.isEmpty() && !wraps && w->width() < needed)
        faults.push_back(name + ": \"" + text.toStdString() + "\" cut");
      if (!dialog->rect().contains(at))
        faults.push_back(name + ": " + w->objectName().toStdString() + " outside the dialog");
    }
    for (std::size_t i = 0; i < controls.size(); ++i)
      for (std::size_t j = i + 1; j < controls.size(); ++j) {
        QWidget *a = controls[i].first, *b = controls[j].first;
        if (a->isAncestorOf(b) || b->isAncestorOf(a))
          continue;
        if (controls[i].second.intersects(controls[j].second))
          faults.push_back(name + ": " + a->objectName().toStdString() + " over " +
                           b->objectName().toStdString());
      }
  }
  EXPECT_EQ(faults, std::vector<std::string>());
}

// The heading and the Go button follow what the dialogs hold, from the
// first look at a list on.
TEST_F(EveryDialog, HeadingAndGoCaptionFollowTheDialogs) {
  TchildForm form(1);
  form.resize(800, 600);
  form.show();
  form.OutputFilter()->outputToFile = TOutputObject::files;
  form.OutputFilter()->testMode = true;
  const std::string stored = dir.file("test-mode.fll");
  form.saveFilterListAs(stored);

  TchildForm opened(2);
  opened.loadFilterList(stored, {});
  EXPECT_EQ(opened.beginButton->text(), "&Go (Test)");
  opened.selectItem(opened.filterTree().count() - 1);
  opened.blankPanel->findChild<QCheckBox *>("testMode")->click();
  EXPECT_EQ(opened.beginButton->text(), "&Go (Real)");

  opened.addFilter(findCatalogEntry("TSortObject", 0)->createDefault(0));
  const QString ascending = opened.filterHeading->text();
  opened.blankPanel->findChild<QCheckBox *>("sortReverseOrder")->click();
  EXPECT_NE(opened.filterHeading->text(), ascending);
  EXPECT_TRUE(opened.filterHeading->text().contains("Descending"));
  opened.Undochangestothisline1Click();
  EXPECT_EQ(opened.filterHeading->text(), ascending);
}

} // namespace
} // namespace marrowen::testing
