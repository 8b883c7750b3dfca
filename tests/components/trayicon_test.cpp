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

TEST(TrayIcon, ClicksFollowTheMenuRules) {
  Tray tray;
  QMenu menu;
  QAction *open = menu.addAction("Open");
  QAction *run = menu.addAction("Run");
  menu.setDefaultAction(run);
  tray.icon->SetPopupMenu(&menu);
  std::vector<Qt::MouseButton> clicks;
  int doubles = 0, downs = 0, ups = 0;
  tray.icon->OnClick = [&](Qt::MouseButton button, Qt::KeyboardModifiers, QPoint) {
    clicks.push_back(button);
  };
  tray.icon->OnDblClick = [&] { ++doubles; };
  tray.icon->OnMouseDown = [&](Qt::MouseButton, Qt::KeyboardModifiers, QPoint) { ++downs; };
  tray.icon->OnMouseUp = [&](Qt::MouseButton, Qt::KeyboardModifiers, QPoint) { ++ups; };
  QSignalSpy runs(run, &QAction::triggered);
  QSignalSpy opens(open, &QAction::triggered);

  tray.fake->fire(Activation::DoubleClick);
  EXPECT_EQ(runs.count(), 1);
  EXPECT_EQ(doubles, 0);
  run->setEnabled(false);
  tray.fake->fire(Activation::DoubleClick);
  EXPECT_EQ(runs.count(), 1);
  EXPECT_EQ(opens.count(), 0);
  EXPECT_EQ(doubles, 1);

  tray.fake->fire(Activation::Context);
  EXPECT_TRUE(menu.isVisible());
  EXPECT_TRUE(clicks.empty());
  menu.close();
  menu.setProperty("AutoPopup", false);
  tray.fake->fire(Activation::Context);
  EXPECT_FALSE(menu.isVisible());
  tray.fake->fire(Activation::Click);
  tray.fake->fire(Activation::Middle);
  EXPECT_EQ(clicks, (std::vector<Qt::MouseButton>{Qt::RightButton, Qt::LeftButton}));
  EXPECT_EQ(downs, 1);
  EXPECT_EQ(ups, 1);
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
