#include "components/dialogrunner.h"

#include "components/browsedir.h"
#include "components/fileedits.h"

#include <QDialog>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <random>

using namespace marrowen;

TEST(DialogRunner, ReplacedRunnerAnswersAndScopeRestoresThePrevious) {
  int outerCalls = 0;
  ScopedDialogRunner outer([&](QDialog &) {
    ++outerCalls;
    return int(QDialog::Rejected);
  });
  {
    ScopedDialogRunner inner([](QDialog &dialog) {
      dialog.accept();
      return dialog.result();
    });
    QDialog dialog;
    EXPECT_EQ(DialogRunner::exec(dialog), QDialog::Accepted);
  }
  QDialog dialog;
  EXPECT_EQ(DialogRunner::exec(dialog), QDialog::Rejected);
  EXPECT_EQ(outerCalls, 1);
}

TEST(DialogRunner, MessageBoxGivesTheButtonTheRunnerClicked) {
  ScopedDialogRunner runner([](QDialog &dialog) {
    auto &box = static_cast<QMessageBox &>(dialog);
    EXPECT_EQ(box.text(), "Replace it?");
    EXPECT_EQ(box.defaultButton(), box.button(QMessageBox::No));
    box.button(QMessageBox::Yes)->click();
    return 0;
  });
  EXPECT_EQ(showMessageBox(nullptr, QMessageBox::Question, "Title", "Replace it?",
                           QMessageBox::Yes | QMessageBox::No, QMessageBox::No),
            QMessageBox::Yes);
}

namespace {

// An edit with a popup attached, as a descendant of the kit would attach one.
class PopupEdit : public TCustomComboEdit {
public:
  using TCustomComboEdit::TCustomComboEdit;
  int popupChanges = 0;

protected:
  void PopupChange() override { ++popupChanges; }
};

// A window with one of each kit control that opens a dialog, a popup or a menu.
struct Owner {
  QPointer<QWidget> window = new QWidget;
  QPointer<TFilenameEdit> file = new TFilenameEdit(window);
  QPointer<TDirectoryEdit> folder = new TDirectoryEdit(window);
  QPointer<TBrowseDirectoryDlg> picker = new TBrowseDirectoryDlg(window);
  QPointer<PopupEdit> popupEdit = new PopupEdit(window);
  QPointer<TKitSpeedButton> button = new TKitSpeedButton(window);
  int clicks = 0, changes = 0;

  Owner() {
    auto *layout = new QVBoxLayout(window);
    for (QWidget *control : std::initializer_list<QWidget *>{file, folder, popupEdit, button})
      layout->addWidget(control);
    button->OnClick = [this] { ++clicks; };
    QObject::connect(popupEdit, &TCustomComboEdit::changed, [this] { ++changes; });
    window->show();
  }
  ~Owner() { delete window; }
  bool whole() const { return window && file && folder && picker && popupEdit && button; }
};

} // namespace

// A dialog's owner may go at any time while it runs: its window or the object
// that asked for it, at once or by a queued deletion. Nothing is freed twice
// or used after it went, and the dialog answers Cancel. A popup or a menu that
// goes while open leaves its box open to typing and its button to clicks.
TEST(DialogRunner, RandomRunsOfOwnersGoingWhileTheirDialogsPopupsAndMenusAreOpen) {
  enum Fate { OwnerNow, OwnerLater, CallerNow, CallerLater, Cancel, Accept, fates };
  for (unsigned seed = 1; seed <= 3; ++seed) {
    std::mt19937 random(seed);
    auto owner = std::make_unique<Owner>();
    Fate fate = Cancel;
    QObject *caller = nullptr;
    QString steps;
    ScopedDialogRunner runner([&](QDialog &dialog) {
      QTimer::singleShot(0, &dialog, [&, shown = QPointer<QDialog>(&dialog)] {
        switch (fate) {
        case OwnerNow:
          delete owner->window;
          break;
        case OwnerLater:
          owner->window->deleteLater();
          break;
        case CallerNow:
          delete caller;
          break;
        case CallerLater:
          caller->deleteLater();
          break;
        case Cancel:
          shown->reject();
          break;
        default:
          shown->done(qobject_cast<QMessageBox *>(shown) ? int(QMessageBox::Yes)
                                                         : int(QDialog::Accepted));
        }
        // A queued deletion comes first; a dialog still open after it fails.
        if (shown)
          QTimer::singleShot(0, shown, [shown] {
            if (shown->isVisible()) {
              ADD_FAILURE() << "a dialog whose owner went stayed open";
              shown->reject();
            }
          });
      });
      return dialog.exec();
    });
    for (int step = 0; step < 40; ++step) {
      // What the last step left queued (a look at its closed dialog) is done.
      QCoreApplication::processEvents();
      if (!owner->whole())
        owner = std::make_unique<Owner>();
      const int op = int(random() % 6);
      fate = Fate(random() % fates);
      steps += QString("%1%2 ").arg(op).arg(int(fate));
      const std::string trace = "seed " + std::to_string(seed) + ": " + steps.toStdString();
      const bool goes = fate <= CallerLater;
      switch (op) {
      case 0: // the file edit's button, by mouse or key
      case 1: {
        TFileDirEdit *edit = op == 0 ? static_cast<TFileDirEdit *>(owner->file)
                                     : static_cast<TFileDirEdit *>(owner->folder);
        caller = edit;
        edit->setText("kept");
        if (random() % 2)
          QTest::mouseClick(&edit->button(), Qt::LeftButton);
        else
          QTest::keyClick(edit, Qt::Key_Down, Qt::AltModifier);
        ASSERT_EQ(goes, !owner->whole()) << trace;
        if (fate == Cancel) {
          ASSERT_EQ(edit->text(), "kept") << trace;
        }
        break;
      }
      case 2: {
        caller = owner->picker;
        const bool chosen = owner->picker->Execute();
        ASSERT_EQ(chosen, fate == Accept) << trace;
        ASSERT_EQ(goes, !owner->whole()) << trace;
        break;
      }
      case 3: {
        QWidget *parent = random() % 2 ? owner->window.data() : owner->file.data();
        caller = parent;
        const auto answer = showMessageBox(parent, QMessageBox::Question, "Title", "Go on?",
                                           QMessageBox::Yes | QMessageBox::No);
        if (goes || fate == Accept) {
          ASSERT_EQ(answer, goes ? QMessageBox::Cancel : QMessageBox::Yes) << trace;
        }
        ASSERT_EQ(goes, !owner->whole()) << trace;
        break;
      }
      case 4: { // the popup goes, is detached or replaced, or closes
        PopupEdit &edit = *owner->popupEdit;
        if (!edit.popup())
          edit.setPopup(new QWidget(owner->window, Qt::Tool));
        QPointer<QWidget> popup = edit.popup();
        edit.ButtonClick();
        ASSERT_TRUE(edit.popupVisible() && edit.isReadOnly()) << trace;
        if (fate <= OwnerLater)
          delete popup;
        else if (fate <= CallerLater)
          edit.setPopup(fate == CallerNow ? nullptr : new QWidget(owner->window, Qt::Tool));
        else
          edit.closePopup(fate == Accept);
        ASSERT_FALSE(edit.popupVisible()) << trace;
        ASSERT_FALSE(popup && popup->isVisible()) << trace;
        ASSERT_FALSE(edit.isReadOnly()) << trace;
        const int changes = owner->changes, popupChanges = edit.popupChanges;
        edit.setText(edit.text() + "x");
        ASSERT_EQ(owner->changes, changes + 1) << trace;
        ASSERT_EQ(edit.popupChanges, popupChanges) << trace;
        break;
      }
      case 5: { // the menu goes, or closes
        TKitSpeedButton &button = *owner->button;
        if (!button.DropDownMenu()) {
          button.SetDropDownMenu(new QMenu(owner->window));
          button.DropDownMenu()->addAction("item");
        }
        QMenu *menu = button.DropDownMenu();
        const int clicks = owner->clicks;
        QTest::mousePress(&button, Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return menu->isVisible(); })) << trace;
        if (goes)
          delete menu;
        else
          menu->hide();
        QTest::mouseRelease(&button, Qt::LeftButton);
        ASSERT_EQ(owner->clicks, clicks) << trace;
        if (goes) {
          QTest::mouseClick(&button, Qt::LeftButton);
          ASSERT_EQ(owner->clicks, clicks + 1) << trace;
        }
        break;
      }
      }
    }
  }
}
