#include "components/trayicon.h"

#include "classlib/streams.h"
#include "support/error_message.h"

#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace marrowen;
using Activation = TrayBackend::Activation;

namespace {

// Keeps what the tray icon asked of the notification area.
class FakeTray : public TrayBackend {
public:
  struct State {
    bool shown = false;
    int adds = 0, modifies = 0;
    TrayNotifyData data;
  };
  explicit FakeTray(State &state) : state_(state) {}
  bool add(const TrayNotifyData &data) override {
    ++state_.adds;
    state_.shown = true;
    state_.data = data;
    return true;
  }
  void modify(const TrayNotifyData &data) override {
    ++state_.modifies;
    state_.data = data;
  }
  void remove() override { state_.shown = false; }
  void fire(Activation reason) { activated(reason); }

private:
  State &state_;
};

QIcon colourIcon(QColor colour, int size = 16) {
  QPixmap pixmap(size, size);
  pixmap.fill(colour);
  return QIcon(pixmap);
}

struct Tray {
  Tray() {
    auto backend = std::make_unique<FakeTray>(state);
    fake = backend.get();
    icon = std::make_unique<TKitTrayIcon>(nullptr, std::move(backend));
  }
  FakeTray::State state;
  FakeTray *fake;
  std::unique_ptr<TKitTrayIcon> icon;
};

} // namespace

TEST(TrayIcon, ShownOnlyWithAnIconWhileActiveWithTheShortHint) {
  Tray tray;
  tray.icon->SetHint("Marrowen|Runs filter lists");
  tray.icon->Icons().Clear();
  EXPECT_FALSE(tray.state.shown); // no icon at all: never added
  EXPECT_EQ(tray.state.adds, 0);

  tray.icon->SetIcon(colourIcon(Qt::red));
  EXPECT_TRUE(tray.state.shown);
  EXPECT_TRUE(tray.icon->added());
  EXPECT_EQ(tray.state.data.tip, "Marrowen");
  tray.icon->SetHint(QString(70, 'x'));
  EXPECT_EQ(tray.state.data.tip, QString(63, 'x'));
  // Cut before a letter that does not fit whole: no half of an emoji, no
  // letter without its accent.
  tray.icon->SetHint(QString(62, 'x') + QStringLiteral("\U0001F600y"));
  EXPECT_EQ(tray.state.data.tip, QString(62, 'x'));
  tray.icon->SetHint(QString(62, 'x') + QStringLiteral("e\u0301"));
  EXPECT_EQ(tray.state.data.tip, QString(62, 'x'));

  tray.icon->SetIcon(QIcon());
  EXPECT_FALSE(tray.state.shown);
  tray.icon->SetIcon(colourIcon(Qt::red));
  tray.icon->SetActive(false);
  EXPECT_FALSE(tray.state.shown);
  tray.icon->SetHint("changed");
  EXPECT_FALSE(tray.state.shown);
  tray.icon->SetActive(true);
  EXPECT_TRUE(tray.state.shown);
  EXPECT_EQ(tray.state.data.tip, "changed");
}

// Each click the notification area reports is a press and a release: the
// handlers see MouseDown, Click and MouseUp in that order, and a double
// click's second press comes after OnDblClick, marked as such.
TEST(TrayIcon, ClicksFollowTheMenuRules) {
  Tray tray;
  QMenu menu;
  QAction *open = menu.addAction("Open");
  QAction *run = menu.addAction("Run");
  menu.setDefaultAction(run);
  tray.icon->SetPopupMenu(&menu);
  QStringList events;
  auto note = [&](const char *what) {
    return [&events, what](Qt::MouseButton button, TKitTrayIcon::TShiftState shift, QPoint) {
      const char *name = button == Qt::LeftButton    ? "left"
                         : button == Qt::RightButton ? "right"
                                                     : "middle";
      events << QString("%1 %2%3").arg(what, name, shift.doubleClick ? " double" : "");
      EXPECT_TRUE(shift.buttons.testFlag(button));
    };
  };
  tray.icon->OnMouseDown = note("down");
  tray.icon->OnClick = note("click");
  tray.icon->OnMouseUp = note("up");
  tray.icon->OnDblClick = [&] { events << "double click"; };
  QSignalSpy runs(run, &QAction::triggered);
  QSignalSpy opens(open, &QAction::triggered);

  tray.fake->fire(Activation::DoubleClick);
  EXPECT_EQ(runs.count(), 1);
  run->setEnabled(false);
  tray.fake->fire(Activation::DoubleClick);
  EXPECT_EQ(runs.count(), 1);
  EXPECT_EQ(opens.count(), 0);
  EXPECT_EQ(events, (QStringList{"down left double", "up left", "double click", "down left double",
                                 "up left"}));

  events.clear();
  tray.fake->fire(Activation::Context);
  EXPECT_TRUE(menu.isVisible());
  menu.close();
  menu.setProperty("AutoPopup", false);
  tray.fake->fire(Activation::Context);
  EXPECT_FALSE(menu.isVisible());
  tray.fake->fire(Activation::Click);
  tray.fake->fire(Activation::Middle);
  EXPECT_EQ(events,
            (QStringList{"down right", "up right", "down right", "click right", "up right",
                         "down left", "click left", "up left", "down middle", "up middle"}));
}

TEST(TrayIcon, AnimationStepsThroughTheFramesOnlyWithFrames) {
  Tray tray;
  tray.icon->SetAnimated(true);
  EXPECT_FALSE(tray.icon->Animated());

  const QIcon red = colourIcon(Qt::red), blue = colourIcon(Qt::blue);
  tray.icon->Icons().Add(red);
  tray.icon->Icons().Add(blue);
  tray.icon->SetInterval(5);
  tray.icon->SetAnimated(true);
  EXPECT_TRUE(tray.state.shown); // the first frame stands in for the missing Icon
  EXPECT_EQ(tray.state.data.icon.cacheKey(), red.cacheKey());
  EXPECT_TRUE(QTest::qWaitFor([&] { return tray.state.data.icon.cacheKey() == blue.cacheKey(); }));
  tray.icon->Icons().Clear();
  EXPECT_FALSE(tray.icon->Animated());
  EXPECT_FALSE(tray.state.shown);
}

TEST(TrayIcon, IconListStreamRoundTripsAndRefusesDamage) {
  TIconList list;
  TMemoryStream empty;
  list.SaveToStream(empty);
  EXPECT_EQ(empty.Data(), std::string(4, '\0'));

  QPixmap picture(32, 32);
  picture.fill(Qt::transparent);
  {
    QPainter painter(&picture);
    painter.fillRect(4, 4, 10, 20, Qt::darkGreen);
  }
  list.Add(QIcon(picture));
  list.Add(QIcon());
  list.Add(colourIcon(Qt::blue, 16));
  TMemoryStream stream;
  list.SaveToStream(stream);

  TIconList copy;
  int changes = 0;
  copy.OnChange = [&] { ++changes; };
  stream.SetPosition(0);
  copy.LoadFromStream(stream);
  EXPECT_EQ(changes, 1);
  ASSERT_EQ(copy.Count(), 3);
  EXPECT_EQ(copy.Get(0).pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32),
            picture.toImage().convertToFormat(QImage::Format_ARGB32));
  EXPECT_TRUE(copy.Get(1).isNull());
  EXPECT_EQ(copy.Get(2).pixmap(16, 16).toImage().pixel(8, 8), QColor(Qt::blue).rgb());

  // Cut short, or claiming more than the stream holds: an error, and no list.
  for (std::string damaged :
       {stream.Data().substr(0, stream.Data().size() - 10),
        std::string("\1\0\0\0\xff\xff\xff\x7f", 8), std::string("\1\0\0\0\4\0\0\0abcd", 12)}) {
    TMemoryStream in(damaged);
    EXPECT_THROW(copy.LoadFromStream(in), EStreamError);
    EXPECT_EQ(copy.Count(), 0);
  }
  EXPECT_EQ(marrowen::testing::errorOf<EListError>([&] { copy.Get(0); }),
            "List index out of bounds (0)");
}

TEST(TrayIcon, TheDesktopTrayRaisesNothingWithoutANotificationArea) {
  TKitTrayIcon tray;
  tray.SetHint("Marrowen");
  tray.SetIcon(colourIcon(Qt::red));
  tray.SetActive(false);
  tray.SetActive(true);
  SUCCEED();
}
