#include "app/common/translateform.h"

#include "components/inistorage.h"
#include "engine/messages.h"
#include "qtext/qtext.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QTabWidget>
#include <QWidget>

namespace marrowen {

namespace {

constexpr const char *radioGroupProperty = "marrowenRadioGroup";

bool isInner(const QObject *object) {
  const QString name = object->objectName();
  return name.isEmpty() || name.startsWith(QStringLiteral("qt_"));
}

class Translator {
public:
  Translator(TStringLoader &loader, std::string section, QObject *root)
      : loader_(loader), section_(std::move(section)), root_(root) {}

  void component(QObject *object);

private:
  // The stored text for `current`, or `current` when there is none (which is
  // then added, unless empty).
  QString lookup(const QObject *object, const char *property, const QString &current) {
    if (current.isEmpty() && std::string_view(property) != "Hint")
      return current;
    if (isInner(object))
      return current;
    const std::string key = fromQString(object->objectName()) + '.' + property;
    try {
      if (auto value = loader_.readValue(section_, key))
        return toQString(*value);
    } catch (const std::exception &) {
      // A malformed value must not stop the form from opening.
      return current;
    }
    if (!current.isEmpty())
      loader_.addValue(section_, key, fromQString(current));
    return current;
  }

  template <class Get, class Set>
  void property(QObject *object, const char *name, Get get, Set set) {
    const QString current = get();
    const QString value = lookup(object, name, current);
    if (value != current && !value.isEmpty())
      set(value);
  }

  void hint(QObject *object, const QString &toolTip, const QString &statusTip,
            const std::function<void(const QString &, const QString &)> &set) {
    QString current = toolTip;
    if (!statusTip.isEmpty() && statusTip != toolTip)
      current += '|' + statusTip;
    const QString value = lookup(object, "Hint", current);
    if (value == current || value.isEmpty())
      return;
    const int bar = value.indexOf('|');
    set(bar < 0 ? value : value.left(bar), bar < 0 ? value : value.mid(bar + 1));
  }

  void radioItems(QGroupBox *group) {
    QList<QRadioButton *> buttons = group->findChildren<QRadioButton *>();
    QStringList items;
    for (auto *button : buttons)
      items << button->text();
    const QString current = items.join(QStringLiteral("\r\n"));
    const QString value = lookup(group, "items", current);
    if (value == current || value.isEmpty())
      return;
    const QStringList lines = value.split(QStringLiteral("\r\n"));
    for (int i = 0; i < buttons.size() && i < lines.size(); ++i)
      buttons[i]->setText(lines[i]);
  }

  TStringLoader &loader_;
  std::string section_;
  QObject *root_;
};

void Translator::component(QObject *object) {
  if (auto *action = qobject_cast<QAction *>(object)) {
    if (action->isSeparator())
      return;
    property(
        object, "Caption", [&] { return action->text(); },
        [&](const QString &v) { action->setText(v); });
    hint(object,
         action->toolTip() == QString(action->text()).remove('&') ? QString() : action->toolTip(),
         action->statusTip(), [&](const QString &shortHint, const QString &longHint) {
           action->setToolTip(shortHint);
           action->setStatusTip(longHint);
         });
    return;
  }
  if (auto *label = qobject_cast<QLabel *>(object)) {
    property(
        object, "Caption", [&] { return label->text(); },
        [&](const QString &v) { label->setText(v); });
    return;
  }
  auto *widget = qobject_cast<QWidget *>(object);
  if (widget) {
    if (auto *menu = qobject_cast<QMenu *>(object))
      property(
          object, "Caption", [&] { return menu->title(); },
          [&](const QString &v) { menu->setTitle(v); });
    else if (auto *button = qobject_cast<QAbstractButton *>(object))
      property(
          object, "Caption", [&] { return button->text(); },
          [&](const QString &v) { button->setText(v); });
    else if (auto *group = qobject_cast<QGroupBox *>(object))
      property(
          object, "Caption", [&] { return group->title(); },
          [&](const QString &v) { group->setTitle(v); });
    else if (widget->isWindow() || object == root_)
      property(
          object, "Caption", [&] { return widget->windowTitle(); },
          [&](const QString &v) { widget->setWindowTitle(v); });
    hint(object, widget->toolTip(), widget->statusTip(),
         [&](const QString &shortHint, const QString &longHint) {
           widget->setToolTip(shortHint);
           widget->setStatusTip(longHint);
         });
    if (auto *edit = qobject_cast<QLineEdit *>(object))
      property(
          object, "Text", [&] { return edit->text(); },
          [&](const QString &v) { edit->setText(v); });
    if (object->property(radioGroupProperty).toBool()) {
      radioItems(static_cast<QGroupBox *>(widget));
      return;
    }
    if (auto *tabs = qobject_cast<QTabWidget *>(object)) {
      for (int i = 0; i < tabs->count(); ++i) {
        QWidget *page = tabs->widget(i);
        property(
            page, "Caption", [&] { return tabs->tabText(i); },
            [&](const QString &v) { tabs->setTabText(i, v); });
        for (QObject *child : page->children())
          component(child);
      }
      return;
    }
  }
  for (QObject *child : object->children())
    component(child);
}

} // namespace

void markRadioGroup(QObject *groupBox) { groupBox->setProperty(radioGroupProperty, true); }

void translateForm(QWidget *form) {
  const std::shared_ptr<TStringLoader> loader = installedStringLoader();
  if (!loader || loader->disabled() || !form)
    return;
  const std::string section = fromQString(formClassName(form));
  loader->section = section;
  TStringLoader::Batch batch(*loader);
  Translator(*loader, section, form).component(form);
}

} // namespace marrowen
