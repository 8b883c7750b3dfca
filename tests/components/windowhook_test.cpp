#include "components/windowhook.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLineEdit>
#include <QStringList>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

using namespace marrowen;

namespace {

const auto probe = static_cast<QEvent::Type>(QEvent::User + 1);

// Writes down who saw a probe event, in order.
struct Journal {
  QStringList seen;
};

class JournalWidget : public QWidget {
public:
  explicit JournalWidget(Journal &journal) : journal_(journal) {}

protected:
  bool event(QEvent *e) override {
    if (e->type() == probe)
      journal_.seen << "widget";
    return QWidget::event(e);
  }

private:
  Journal &journal_;
};

class JournalFilter : public QObject {
public:
  explicit JournalFilter(Journal &journal) : journal_(journal) {}

protected:
  bool eventFilter(QObject *, QEvent *e) override {
    if (e->type() == probe)
      journal_.seen << "other filter";
    return false;
  }

private:
  Journal &journal_;
};

// Counts the events of one type that reach any object it watches.
struct EventCount : QObject {
  explicit EventCount(QEvent::Type type) : type(type) {}
  bool eventFilter(QObject *, QEvent *e) override {
    count += e->type() == type;
    return false;
  }
  QEvent::Type type;
  int count = 0;
};

void watch(TKitWindowHook &hook, Journal &journal, const QString &name, bool handles = false) {
  hook.BeforeMessage = [&journal, name, handles](QEvent *e, bool &handled) {
    if (e->type() == probe) {
      journal.seen << name + " before";
      handled = handles;
    }
  };
}

void sendProbe(QWidget &widget) {
  QEvent e(probe);
  QCoreApplication::sendEvent(&widget, &e);
}

} // namespace

TEST(WindowHook, HooksShareOneFilterAskedLastToFirstAndHandledStopsTheEvent) {
  Journal journal;
  JournalWidget widget(journal);
  {
    TKitWindowHook first, second;
    watch(first, journal, "first");
    watch(second, journal, "second", true);
    first.SetWinControl(&widget);
    second.SetWinControl(&widget);
    EXPECT_EQ(widget.findChildren<TControlHook *>().size(), 1);
    EXPECT_EQ(TControlHook::find(&widget)->userCount(), 2);

    sendProbe(widget);
    EXPECT_EQ(journal.seen, QStringList{"second before"});

    journal.seen.clear();
    second.SetActive(false);
    sendProbe(widget);
    EXPECT_EQ(journal.seen, (QStringList{"first before", "widget"}));
    EXPECT_NE(TControlHook::find(&widget), nullptr);
  }
  EXPECT_EQ(TControlHook::find(&widget), nullptr); // went with the last hook
  journal.seen.clear();
  sendProbe(widget);
  EXPECT_EQ(journal.seen, QStringList{"widget"});
}

// What watched the widget before the hook came, or watches the whole
// program, sees each event once, as it would without the hook.
TEST(WindowHook, AfterMessageComesAfterTheWidgetAndItsOtherFiltersWhichSeeItOnce) {
  Journal journal;
  JournalWidget widget(journal);
  JournalFilter filter(journal), later(journal), everywhere(journal);
  widget.installEventFilter(&filter);
  TKitWindowHook hook;
  watch(hook, journal, "hook");
  hook.AfterMessage = [&](QEvent *e, bool &) {
    if (e->type() == probe)
      journal.seen << "hook after";
  };
  hook.SetWinControl(&widget);
  widget.installEventFilter(&later);
  qApp->installEventFilter(&everywhere);
  sendProbe(widget);
  qApp->removeEventFilter(&everywhere);
  EXPECT_EQ(journal.seen, (QStringList{"other filter", "other filter", "hook before",
                                       "other filter", "widget", "hook after"}));

  // Typed keys and presses on a child pass to the form as they would unhooked.
  QWidget form;
  auto *edit = new QLineEdit(&form);
  form.show();
  hook.SetWinControl(edit);
  EventCount keys(QEvent::KeyPress), presses(QEvent::MouseButtonPress);
  qApp->installEventFilter(&keys);
  edit->installEventFilter(&presses);
  QTest::keyClicks(edit, "abc");
  for (int i = 0; i < 3; ++i)
    QTest::mouseClick(edit, Qt::LeftButton);
  qApp->removeEventFilter(&keys);
  EXPECT_EQ(edit->text(), "abc");
  EXPECT_EQ(keys.count, 3);
  EXPECT_EQ(presses.count, 3);
}

TEST(WindowHook, DestroyingTheWidgetClearsEveryHook) {
  Journal journal;
  auto widget = std::make_unique<JournalWidget>(journal);
  TKitWindowHook first, second;
  first.SetWinControl(widget.get());
  second.SetWinControl(widget.get());
  widget.reset();
  EXPECT_EQ(first.WinControl(), nullptr);
  EXPECT_EQ(second.WinControl(), nullptr);
  // A hook that outlives its widget can go and come back safely.
  Journal other;
  JournalWidget next(other);
  first.SetWinControl(&next);
  watch(first, other, "first");
  sendProbe(next);
  EXPECT_EQ(other.seen, (QStringList{"first before", "widget"}));
}
