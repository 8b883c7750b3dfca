#pragma once

#include "app/nodedialogs/dialogbase.h"
#include "filterlist/nodecatalog.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QWidget;

namespace marrowen {

class TRadioGroup;

// Message `id` (English `text`) as a dialog shows it. The dialogs' own
// `translate` hides the message lookup of the same name.
QString messageText(int id, std::string_view text);

// Controls of the node dialogs, each named as the form names its component
// (the language file keys on it).
QLabel *namedLabel(QWidget *parent, const char *name, const QString &caption,
                   QWidget *buddy = nullptr);
QCheckBox *namedCheckBox(QWidget *parent, const char *name, const QString &caption);
QRadioButton *namedRadio(QWidget *parent, const char *name, const QString &caption);
QPushButton *namedButton(QWidget *parent, const char *name, const QString &caption);
QSpinBox *namedSpin(QWidget *parent, const char *name, int minimum, int maximum);
QLineEdit *namedEdit(QWidget *parent, const char *name);
// A multi-line text; `tabs` lets the tab key type a tab.
QPlainTextEdit *namedMemo(QWidget *parent, const char *name, bool tabs = false);
QGroupBox *namedGroup(QWidget *parent, const char *name, const QString &caption);

// One control showing one stored value. A control shows what it can of the
// value (a spin box clamps, a list without such an item shows none); while
// the control still shows what it was given, `value()` is the stored value
// itself, so viewing a node never changes it. Once the user changes the
// control, `value()` is what the control holds.
template <class T> class BoundValue {
public:
  BoundValue() = default;
  BoundValue(std::function<void(const T &)> show, std::function<T()> read)
      : show_(std::move(show)), read_(std::move(read)) {}

  void put(const T &stored) {
    stored_ = stored;
    show_(stored);
    shown_ = read_();
    filled_ = true;
  }
  T value() const {
    T now = read_();
    return filled_ && now == shown_ ? stored_ : now;
  }

private:
  std::function<void(const T &)> show_;
  std::function<T()> read_;
  T stored_{};
  T shown_{};
  bool filled_ = false;
};

using BoundFlag = BoundValue<bool>;
using BoundNumber = BoundValue<std::int32_t>;
using BoundText = BoundValue<std::string>;

// The usual controls as bound values. Texts cross through the code page.
BoundFlag checkBoxValue(QCheckBox *box, bool inverted = false);
BoundNumber spinValue(QSpinBox *spin);
BoundNumber comboIndexValue(QComboBox *combo);
// An editable combo box's text.
BoundText comboTextValue(QComboBox *combo);
BoundText lineEditValue(QLineEdit *edit);
// A file name field: names cross through the file-name conversion.
BoundText fileNameValue(QLineEdit *edit);
// A memo bound to bytes (line breaks as stored until the user edits it).
BoundText memoValue(QWidget *memo);
// A radio group's item index.
BoundNumber radioGroupValue(TRadioGroup *group);
// Loose radio buttons as the index of the checked one; -1 shows none checked.
BoundNumber radioIndexValue(std::vector<QRadioButton *> buttons);
// A value kept on the form, for option boxes that edit it later.
template <class T> BoundValue<T> keptValue(T &onForm) {
  return BoundValue<T>([&onForm](const T &value) { onForm = value; }, [&onForm] { return onForm; });
}

// A node's fields bound to a dialog's values: filling, copying back and
// comparing walk the same pairs.
template <class Node> class FieldBindings {
public:
  template <class T> void bind(T Node::*member, BoundValue<T> &control) {
    entries_.push_back(
        {[member, &control](const Node &node) { control.put(node.*member); },
         [member, &control](Node &node) { node.*member = control.value(); },
         [member, &control](const Node &node) { return !(control.value() == node.*member); }});
  }
  void put(const Node &node) const {
    for (const Entry &entry : entries_)
      entry.put(node);
  }
  void get(Node &node) const {
    for (const Entry &entry : entries_)
      entry.get(node);
  }
  bool differs(const Node &node) const {
    for (const Entry &entry : entries_)
      if (entry.differs(node))
        return true;
    return false;
  }

private:
  struct Entry {
    std::function<void(const Node &)> put;
    std::function<void(Node &)> get;
    std::function<bool(const Node &)> differs;
  };
  std::vector<Entry> entries_;
};

// Registers dialog `Form` for the nodes of `className`.
template <class Form> void registerDialog(std::string_view className) {
  registerNodeDialog(className, [](TListObject &, TNodeEditorSite &window) {
    return std::unique_ptr<TNodeEditor>(TdefaultForm1::Create<Form>(nullptr, &window));
  });
}

} // namespace marrowen
