#include "components/formplacement.h"

#include "classlib/registry.h"
#include "components/inistorage.h"
#include "qtext/qtext.h"
#include "support/temp_folder.h"

#include <QCoreApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

using namespace marrowen;
using marrowen::testing::readFile;
using marrowen::testing::TempFolder;
using marrowen::testing::writeFile;

namespace {

class TPlacedForm : public QWidget {
  Q_OBJECT
public:
  TPlacedForm() {
    setGeometry(50, 60, 300, 200);
    edit = new QLineEdit(this);
    edit->setObjectName("NameEdit");
  }
  QLineEdit *edit;
};

QString screenSuffix() {
  QSize size = QGuiApplication::primaryScreen()->geometry().size();
  return QString("(%1x%2)").arg(size.width()).arg(size.height());
}

struct PlacedForm {
  explicit PlacedForm(const std::string &iniFile, int version = 0) {
    placement = new TFormPlacement(&form);
    placement->SetIniFileName(fileNameToQString(iniFile));
    placement->SetVersion(version);
  }
  TPlacedForm form;
  TFormPlacement *placement;
};

} // namespace

// The rectangle stored is the window's frame, title bar included.
TEST(FormPlacement, ClosingSavesAndShowingRestores) {
  TempFolder dir;
  const std::string ini = dir.file("placed.ini");
  QRect frame;
  {
    PlacedForm placed(ini);
    placed.placement->SetOptions(fpState | fpPosition | fpActiveControl);
    placed.form.show();
    placed.form.setGeometry(120, 90, 320, 240);
    frame = placed.form.frameGeometry();
    placed.form.edit->setFocus();
    placed.form.close();
  }
  const QString text = QString::fromStdString(readFile(ini));
  QString norm = QString("NormPos%1=%2,%3,%4,%5")
                     .arg(screenSuffix())
                     .arg(frame.left())
                     .arg(frame.top())
                     .arg(frame.right() + 1)
                     .arg(frame.bottom() + 1);
  EXPECT_TRUE(text.contains("[TPlacedForm]")) << text.toStdString();
  EXPECT_TRUE(text.contains(norm)) << text.toStdString();
  EXPECT_TRUE(text.contains("\r\n" + norm.remove(screenSuffix()))) << text.toStdString();
  EXPECT_TRUE(text.contains("ShowCmd=1"));
  EXPECT_TRUE(text.contains("ActiveControl=NameEdit"));
  EXPECT_TRUE(text.contains("FormVersion=0"));

  PlacedForm again(ini);
  again.placement->SetOptions(fpState | fpPosition | fpActiveControl);
  again.form.show();
  EXPECT_EQ(again.form.geometry(), QRect(120, 90, 320, 240));
  EXPECT_EQ(again.form.focusWidget(), again.form.edit);
}

TEST(FormPlacement, AFormThatGoesWithoutClosingStillSaves) {
  TempFolder dir;
  QRect frame;
  {
    PlacedForm placed(dir.file("p.ini"));
    placed.placement->SetOptions(fpState | fpPosition | fpActiveControl);
    placed.form.show();
    placed.form.setGeometry(70, 80, 300, 200);
    frame = placed.form.frameGeometry();
    placed.form.edit->setFocus(); // the edit goes before the placement
  }
  const std::string text = readFile(dir.file("p.ini"));
  EXPECT_NE(text.find("[TPlacedForm]"), std::string::npos) << text;
  EXPECT_NE(text.find("NormPos=" + std::to_string(frame.left()) + ',' +
                      std::to_string(frame.top()) + ',' + std::to_string(frame.right() + 1) + ',' +
                      std::to_string(frame.bottom() + 1)),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("Visible=1"), std::string::npos) << text;

  // Never shown, so never restored: the stored placement is kept.
  { PlacedForm placed(dir.file("p.ini")); }
  EXPECT_EQ(readFile(dir.file("p.ini")), text);
}

TEST(FormPlacement, AFormDeletedOnCloseSavesOnceAndGoesCleanly) {
  TempFolder dir;
  QPointer<TPlacedForm> form = new TPlacedForm;
  form->setAttribute(Qt::WA_DeleteOnClose);
  auto *placement = new TFormPlacement(form);
  placement->SetIniFileName(fileNameToQString(dir.file("p.ini")));
  int saves = 0;
  placement->OnSavePlacement = [&] { ++saves; };
  form->show();
  form->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(form.isNull());
  EXPECT_EQ(saves, 1);
  EXPECT_NE(readFile(dir.file("p.ini")).find("Visible=0"), std::string::npos);
}

// A stored rectangle is the frame's; one that does not apply leaves the form
// as designed, and one beyond the screen's edge comes onto it whole.
TEST(FormPlacement, StoredValuesThatDoNotApplyLeaveTheFormAsDesigned) {
  TempFolder dir;
  const int ppi = qRound(QGuiApplication::primaryScreen()->logicalDotsPerInch());
  const QRect designed(50, 60, 300, 200);
  const QRect designedFrame = [] {
    TPlacedForm form;
    form.show();
    return form.frameGeometry();
  }();
  const struct {
    const char *name;
    std::string content;
    int version;
    QRect expectedFrame; // null: as designed
    bool anywhereOnScreen = false;
  } cases[] = {
      {"older version", "[TPlacedForm]\nFormVersion=1\nNormPos=10,10,110,110\n", 2, {}},
      {"other pixels per inch",
       "[TPlacedForm]\nPixelsPerInch=" + std::to_string(ppi + 24) + "\nNormPos=10,10,110,110\n",
       0,
       {}},
      {"numbers missing", "[TPlacedForm]\nNormPos=10 20\n", 0,
       QRect(QPoint(10, 20), designedFrame.bottomRight())},
      {"another screen size: the plain key",
       "[TPlacedForm]\nNormPos(1x1)=1,1,2,2\nNormPos=30,40,130,140\n", 0, QRect(30, 40, 100, 100)},
      {"this screen size: the suffixed key",
       "[TPlacedForm]\nNormPos" + screenSuffix().toStdString() +
           "=30,40,130,140\nNormPos=1,1,2,2\n",
       0, QRect(30, 40, 100, 100)},
      {"from a larger screen", "[TPlacedForm]\nNormPos=5000,4000,5400,4300\n", 0,
       QRect(0, 0, 400, 300), true},
      {"above and left of the screen", "[TPlacedForm]\nNormPos=-5000,-5000,-4600,-4700\n", 0,
       QRect(QGuiApplication::primaryScreen()->availableGeometry().topLeft(), QSize(400, 300))},
      // Damaged numbers: nothing wraps, and what cannot fit is ignored.
      {"extreme numbers", "[TPlacedForm]\nNormPos=-2147483648,0,2147483647,100\n", 0, {}},
      {"no width", "[TPlacedForm]\nNormPos=5,5,5,100\n", 0, {}},
      {"wider than the screen", "[TPlacedForm]\nNormPos=0,0,16777215,100\n", 0, {}},
  };
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    writeFile(dir.file("p.ini"), c.content);
    PlacedForm placed(dir.file("p.ini"), c.version);
    placed.form.show();
    if (c.expectedFrame.isNull()) {
      EXPECT_EQ(placed.form.geometry(), designed);
    } else if (c.anywhereOnScreen) {
      EXPECT_EQ(placed.form.frameGeometry().size(), c.expectedFrame.size());
      EXPECT_TRUE(screen.contains(placed.form.frameGeometry()));
    } else {
      EXPECT_EQ(placed.form.frameGeometry(), c.expectedFrame);
    }
    placed.placement->SetActive(false); // keep the file as the case wrote it
  }
}

// A form shown in a workspace frame is placed by its frame, whatever its
// state; the placement may be made once the form is in its frame.
TEST(FormPlacement, AFormInAWorkspaceFrameIsSavedAndRestored) {
  TempFolder dir;
  QMdiArea area;
  area.resize(700, 500);
  area.show();
  const Qt::WindowStates shown = Qt::WindowMinimized | Qt::WindowMaximized;
  for (const Qt::WindowState state :
       {Qt::WindowNoState, Qt::WindowMaximized, Qt::WindowMinimized}) {
    SCOPED_TRACE(state);
    for (const bool again : {false, true}) {
      auto *form = new TPlacedForm;
      QMdiSubWindow *frame = area.addSubWindow(form);
      auto *placement = new TFormPlacement(form);
      placement->SetIniFileName(fileNameToQString(dir.file("p.ini")));
      frame->show();
      if (again) {
        EXPECT_EQ(frame->windowState() & shown, state);
        if (state != Qt::WindowNoState)
          frame->showNormal();
        EXPECT_EQ(frame->geometry(), QRect(20, 30, 350, 250));
        EXPECT_EQ(GetDefaultSection(form), "TPlacedForm");
        EXPECT_EQ(GetDefaultSection(form->edit), "TPlacedFormNameEdit");
      } else {
        frame->setGeometry(20, 30, 350, 250);
        frame->setWindowState(frame->windowState() | state); // shows the form again
        EXPECT_EQ(frame->windowState() & shown, state);
      }
      frame->close();
      delete frame;
    }
  }
}

TEST(FormPlacement, ShowCommandAndFlagsSetTheState) {
  TempFolder dir;
  const Qt::WindowStates minMax = Qt::WindowMinimized | Qt::WindowMaximized;
  const struct {
    const char *stored;
    Qt::WindowStates state;
  } cases[] = {
      {"ShowCmd=0", Qt::WindowNoState},
      {"ShowCmd=3", Qt::WindowMaximized},
      {"ShowCmd=1", Qt::WindowNoState},
      {"ShowCmd=8", Qt::WindowNoState},
      {"ShowCmd=2", Qt::WindowMinimized},
      // Minimized from maximized: it comes back maximized.
      {"Flags=2\nShowCmd=2", minMax},
  };
  for (const auto &c : cases) {
    writeFile(dir.file("p.ini"), std::string("[TPlacedForm]\n") + c.stored + "\n");
    {
      PlacedForm placed(dir.file("p.ini"));
      placed.form.show();
      EXPECT_EQ(placed.form.windowState() & minMax, c.state) << c.stored;
    }
    // Saved again as it was read.
    const std::string text = readFile(dir.file("p.ini"));
    EXPECT_EQ(text.find("Flags=2") != std::string::npos, c.state == minMax) << text;
  }
}

TEST(FormPlacement, LinksJoinSavingAndRestoringInTheSettingsStore) {
  TempFolder dir;
  SettingsStore &store = SettingsStore::global();
  const auto previous = store.file();
  store.setFile(dir.file("settings.ini"));
  {
    PlacedForm placed("Software\\PlacementTest");
    placed.placement->SetUseRegistry(true);
    placed.placement->SetIniSection("Main");
    TIniLink link;
    link.SetStorage(placed.placement);
    int saves = 0, loads = 0;
    link.OnSave = [&] {
      ++saves;
      IniWriteString(link.IniObject(), (link.RootSection() + "Recent").toStdString(), "Item_1",
                     "\"quoted\"");
    };
    // A link may go, or another join, while the links are called.
    auto gone = std::make_unique<TIniLink>();
    gone->SetStorage(placed.placement);
    TIniLink late;
    link.OnLoad = [&] {
      ++loads;
      gone.reset();
    };
    late.OnSave = [&] { ++saves; };
    placed.form.show();
    late.SetStorage(placed.placement);
    placed.form.close();
    EXPECT_EQ(loads, 1);
    EXPECT_EQ(saves, 2);
  }
  EXPECT_EQ(store.readString("Software\\PlacementTest\\Main", "ShowCmd", ""), "1");
  EXPECT_EQ(store.readString("Software\\PlacementTest\\Main\\Recent", "Item_1", ""), "\"quoted\"");
  store.setFile(previous);
}

// Sequences a window manager (openbox) gives, replayed without windows: what
// the frame of a form restored normal, maximized or minimized gets, and what
// is stored, whatever margins the frame shows in another state or for a
// moment while it is made.
TEST(FormPlacement, TheFrameGetsAndKeepsTheStoredRectangleWhateverItsMargins) {
  using View = WindowFrameTracker::View;
  using Placing = WindowFrameTracker::Placing;
  const QMargins normalMargins(1, 20, 1, 5), maximizedMargins(0, 19, 0, 0);
  const QRect screen(0, 0, 1600, 1200);
  auto framed = [](QRect inside, QMargins margins, bool normal = true) {
    return View{true, normal, inside, margins, {}};
  };
  auto maximized = [&](QRect normalInside) {
    return View{true, false, screen - maximizedMargins, maximizedMargins, normalInside};
  };
  const View unframed{false, true, QRect(60, 60, 320, 200), {}, {}};

  {
    SCOPED_TRACE("restored maximized, stored, made normal");
    WindowFrameTracker tracker;
    const QRect stored(900, 700, 360, 300);
    EXPECT_EQ(tracker.place(stored, unframed), (Placing{stored, true}));
    EXPECT_EQ(tracker.seen(maximized(stored)), std::nullopt);
    // The maximized frame's margins are not the normal ones.
    EXPECT_EQ(tracker.normalFrame(maximized(stored)), stored);
    // Made normal: told while the window and its margins are still the
    // maximized ones, then the margins change with nothing else.
    EXPECT_EQ(tracker.seen(framed(screen - maximizedMargins, maximizedMargins)),
              (Placing{QRect(900, 719, 360, 281), false}));
    EXPECT_EQ(tracker.seen(framed(QRect(900, 719, 360, 281), normalMargins)),
              (Placing{QRect(901, 720, 358, 275), false}));
    EXPECT_EQ(tracker.seen(framed(QRect(901, 720, 358, 275), normalMargins)), std::nullopt);
    tracker.settled();
    EXPECT_EQ(tracker.normalFrame(maximized(QRect(901, 720, 358, 275))), stored);
    // Moved and sized by the user, then maximized: the user's rectangle.
    EXPECT_EQ(tracker.seen(framed(QRect(301, 220, 500, 400), normalMargins)), std::nullopt);
    EXPECT_EQ(tracker.normalFrame(maximized(QRect(0, 0, 1, 1))), QRect(300, 200, 502, 425));
    // Settled, a frame whose margins change is not moved back.
    EXPECT_EQ(tracker.seen(framed(QRect(301, 220, 500, 400), QMargins(2, 24, 2, 2))), std::nullopt);
  }
  {
    SCOPED_TRACE("restored minimized, closed minimized");
    WindowFrameTracker tracker;
    const QRect stored(500, 400, 360, 300);
    tracker.place(stored, unframed);
    const View minimized{true, false, QRect(500, 400, 1, 1), {}, QRect(500, 400, 1, 1)};
    EXPECT_EQ(tracker.seen(minimized), std::nullopt);
    EXPECT_EQ(tracker.normalFrame(minimized), stored);
  }
  {
    SCOPED_TRACE("margins measured against a frame still 1x1");
    WindowFrameTracker tracker;
    const QRect stored(100, 100, 800, 600);
    tracker.place(stored, unframed);
    // Shown, not yet framed: placed by its corner.
    EXPECT_EQ(tracker.seen(framed(stored, QMargins())), (Placing{stored, true}));
    // Measured against a frame not yet grown from 1x1, the margins would
    // make the window 1599x1199: never used, nor stored.
    const View transient = framed(QRect(101, 120, 800, 600), QMargins(1, 20, -800, -619));
    EXPECT_EQ(transient.frame(), QRect(100, 100, 1, 1));
    EXPECT_EQ(tracker.seen(transient), std::nullopt);
    EXPECT_EQ(tracker.normalFrame(transient), stored);
    EXPECT_EQ(tracker.seen(framed(QRect(0, 0, 800, 600), QMargins(0, 19, 1240, 881))),
              std::nullopt);
    // The frame settles: placed again with its real margins.
    EXPECT_EQ(tracker.seen(framed(QRect(101, 120, 800, 600), normalMargins)),
              (Placing{QRect(101, 120, 798, 575), false}));
    EXPECT_EQ(tracker.seen(framed(QRect(101, 120, 798, 575), normalMargins)), std::nullopt);
    tracker.settled();
    EXPECT_EQ(tracker.normalFrame(framed(QRect(101, 120, 798, 575), normalMargins)), stored);
  }
  {
    SCOPED_TRACE("framed seconds late by a busy window manager, moved as it settles");
    WindowFrameTracker tracker;
    const QRect stored(300, 200, 400, 300);
    tracker.place(stored, unframed);
    EXPECT_EQ(tracker.seen(framed(stored, QMargins())), (Placing{stored, true}));
    for (int tenth = 0; tenth < 25; ++tenth)
      ASSERT_TRUE(tracker.tick());
    // Framed at last: the window is made the size that fits the frame.
    EXPECT_EQ(tracker.seen(framed(stored, normalMargins)),
              (Placing{QRect(301, 220, 398, 275), false}));
    // Moved by the user before it settles, maximized once it has: the
    // user's rectangle is the normal one.
    const QRect moved(401, 250, 398, 275);
    EXPECT_EQ(tracker.seen(framed(moved, normalMargins)), std::nullopt);
    for (int tenth = 0; tracker.tick(); ++tenth)
      ASSERT_LT(tenth, 10);
    EXPECT_EQ(tracker.seen(framed(moved, normalMargins)), std::nullopt);
    EXPECT_EQ(tracker.normalFrame(maximized(moved)), moved + normalMargins);
  }
  {
    SCOPED_TRACE("placed again while maximized, after a frame that took every correction");
    WindowFrameTracker tracker;
    const QRect first(100, 100, 400, 300), second(200, 150, 500, 400);
    tracker.place(first, unframed);
    EXPECT_EQ(tracker.seen(framed(first, QMargins())), (Placing{first, true}));
    for (const QMargins &margins : {normalMargins, QMargins(2, 24, 2, 2), QMargins(3, 22, 3, 3)})
      EXPECT_EQ(tracker.seen(framed(first - margins, margins)), (Placing{first - margins, false}));
    EXPECT_EQ(tracker.seen(framed(first, QMargins(4, 21, 4, 4))), std::nullopt);
    tracker.settled();
    // The maximized frame's margins place no normal window.
    EXPECT_EQ(tracker.place(second, maximized(first)), (Placing{second, true}));
    EXPECT_EQ(tracker.seen(maximized(first)), std::nullopt);
    // Made normal, the new placement has its corrections of its own.
    EXPECT_EQ(tracker.seen(framed(first - normalMargins, normalMargins)),
              (Placing{second - normalMargins, false}));
    const QMargins settled(2, 24, 2, 2);
    EXPECT_EQ(tracker.seen(framed(second - normalMargins, settled)),
              (Placing{second - settled, false}));
  }
}

TEST(FormPlacement, PreventResizeAndSizeLimits) {
  TempFolder dir;
  PlacedForm placed(dir.file("p.ini"));
  placed.placement->MinMaxInfo().SetValue(TWinMinMaxInfo::MinTrackWidth, 200);
  placed.placement->MinMaxInfo().SetValue(TWinMinMaxInfo::MaxTrackHeight, 500);
  EXPECT_EQ(placed.form.minimumWidth(), 200);
  EXPECT_EQ(placed.form.maximumHeight(), 500);
  placed.form.resize(100, 900);
  EXPECT_EQ(placed.form.size(), QSize(200, 500));

  // A form that cannot be resized offers no maximize button, and gets its own
  // back; a dialog keeps what it has.
  placed.placement->SetActive(false);
  placed.form.show();
  const Qt::WindowFlags flags = placed.form.windowFlags();
  placed.placement->SetPreventResize(true);
  EXPECT_TRUE(placed.form.windowFlags().testFlag(Qt::CustomizeWindowHint));
  EXPECT_FALSE(placed.form.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_TRUE(placed.form.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_TRUE(placed.form.isVisible());
  placed.form.resize(600, 400);
  EXPECT_EQ(placed.form.size(), QSize(200, 500));
  placed.placement->SetPreventResize(false);
  EXPECT_EQ(placed.form.windowFlags(), flags);
  placed.form.resize(600, 400);
  EXPECT_EQ(placed.form.size(), QSize(600, 400));
  QDialog dialog;
  const Qt::WindowFlags dialogFlags = dialog.windowFlags();
  (new TFormPlacement(&dialog))->SetPreventResize(true);
  EXPECT_EQ(dialog.windowFlags(), dialogFlags);

  // In a workspace the user sizes the form's frame.
  QMdiArea area;
  area.resize(700, 500);
  area.show();
  auto *framed = new TPlacedForm;
  QMdiSubWindow *frame = area.addSubWindow(framed);
  auto *placement = new TFormPlacement(framed);
  placement->SetActive(false);
  frame->show();
  placement->SetPreventResize(true);
  const QSize fixed = frame->size();
  frame->resize(fixed + QSize(100, 100));
  EXPECT_EQ(frame->size(), fixed);
}

#include "formplacement_test.moc"
