#include "app/nodedialogs/dialogcontrols.h"

#include "app/common/memos.h"
#include "app/nodedialogs/dialogbase.h"
#include "engine/messages.h"
#include "qtext/qtext.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

namespace marrowen {

QString messageText(int id, std::string_view text) { return toQString(translate(id, text)); }

QLabel *namedLabel(QWidget *parent, const char *name, const QString &caption, QWidget *buddy) {
  auto *label = named(new QLabel(caption, parent), name);
  if (buddy)
    label->setBuddy(buddy);
  return label;
}

QCheckBox *namedCheckBox(QWidget *parent, const char *name, const QString &caption) {
  return named(new QCheckBox(caption, parent), name);
}

QRadioButton *namedRadio(QWidget *parent, const char *name, const QString &caption) {
  return named(new QRadioButton(caption, parent), name);
}

QPushButton *namedButton(QWidget *parent, const char *name, const QString &caption) {
  auto *button = named(new QPushButton(caption, parent), name);
  button->setAutoDefault(false);
  return button;
}

QSpinBox *namedSpin(QWidget *parent, const char *name, int minimum, int maximum) {
  auto *spin = named(new QSpinBox(parent), name);
  spin->setRange(minimum, maximum);
  return spin;
}

QLineEdit *namedEdit(QWidget *parent, const char *name) {
  return named(new QLineEdit(parent), name);
}

QPlainTextEdit *namedMemo(QWidget *parent, const char *name, bool tabs) {
  auto *memo = named(new QPlainTextEdit(parent), name);
  memo->setTabChangesFocus(!tabs);
  memo->setLineWrapMode(QPlainTextEdit::NoWrap);
  return memo;
}

QGroupBox *namedGroup(QWidget *parent, const char *name, const QString &caption) {
  return named(new QGroupBox(caption, parent), name);
}

BoundFlag checkBoxValue(QCheckBox *box, bool inverted) {
  return BoundFlag([box, inverted](const bool &value) { box->setChecked(value != inverted); },
                   [box, inverted] { return box->isChecked() != inverted; });
}

BoundNumber spinValue(QSpinBox *spin) {
  return BoundNumber([spin](const std::int32_t &value) { showNumber(spin, value); },
                     [spin] { return static_cast<std::int32_t>(numberShown(spin)); });
}

BoundNumber comboIndexValue(QComboBox *combo) {
  return BoundNumber([combo](const std::int32_t &value) { showIndex(combo, value); },
                     [combo] { return static_cast<std::int32_t>(indexShown(combo)); });
}

BoundNumber radioGroupValue(TRadioGroup *group) {
  return BoundNumber([group](const std::int32_t &value) { showIndex(group, value); },
                     [group] { return static_cast<std::int32_t>(indexShown(group)); });
}

BoundText comboTextValue(QComboBox *combo) {
  return BoundText([combo](const std::string &value) { combo->setEditText(toQString(value)); },
                   [combo] { return fromQString(combo->currentText()); });
}

BoundText lineEditValue(QLineEdit *edit) {
  return BoundText([edit](const std::string &value) { showText(edit, value); },
                   [edit] { return textShown(edit); });
}

BoundText fileNameValue(QLineEdit *edit) {
  return BoundText([edit](const std::string &value) { showFileName(edit, value); },
                   [edit] { return fileNameShown(edit); });
}

BoundText memoValue(QWidget *memo) {
  return BoundText([memo](const std::string &value) { setMemoBytes(memo, value); },
                   [memo] { return memoBytes(memo); });
}

BoundNumber radioIndexValue(std::vector<QRadioButton *> buttons) {
  return BoundNumber(
      [buttons](const std::int32_t &value) {
        for (std::size_t i = 0; i < buttons.size(); ++i) {
          // Unchecking needs the group's exclusivity off for a moment.
          const bool exclusive = buttons[i]->autoExclusive();
          buttons[i]->setAutoExclusive(false);
          buttons[i]->setChecked(static_cast<std::int32_t>(i) == value);
          buttons[i]->setAutoExclusive(exclusive);
        }
      },
      [buttons] {
        for (std::size_t i = 0; i < buttons.size(); ++i)
          if (buttons[i]->isChecked())
            return static_cast<std::int32_t>(i);
        return std::int32_t{-1};
      });
}

} // namespace marrowen
