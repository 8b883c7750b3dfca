#pragma once

#include "filterlist/nodeeditor.h"

#include <QGroupBox>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <string_view>

class QButtonGroup;
class QComboBox;
class QLineEdit;
class QSpinBox;

namespace marrowen {

// A control given the name of the component it stands for: the language
// file keys on it.
template <class Control> Control *named(Control *control, const char *name) {
  control->setObjectName(QString::fromLatin1(name));
  return control;
}

class TListObject;
class TmenuForm;

// The checks every dialog shares, made through the window's status bar.
// A dialog memo changed: its escapes are checked; sound ones clear the
// status bar and report the change, a malformed one shows its message.
void stringFieldChange(TNodeEditorSite &window, std::string_view text);
// The text's escapes decoded; a malformed escape shows its message as a
// status error and the text itself is handed back.
std::string fromDisplayHandleError(TNodeEditorSite &window, std::string_view text);
// Compiles `pattern` as a check: blank gives 5080, an engine error its
// message (both as status errors), a sound pattern clears the status bar.
// The window's testRegExp calls it.
void testRegExp(TNodeEditorSite &window, std::string_view pattern);

// The base of every node's dialog: shown inside the filter-list window
// beside the tree, it reports each change of an option control to the
// window, takes the language file's texts once its controls are built, and
// gives its text fields the pattern menu.
//
// A dialog copies a node's fields into its controls (putToScreen), back
// into the node (getFromScreen) and tells whether they differ (isDifferent).
// While it is being filled, `filling()` is set and no change is reported.
class TdefaultForm1 : public QWidget, public TNodeEditor {
  Q_OBJECT
public:
  // Makes a dialog of class `Form` inside `owner` for `window`, its texts
  // from the language file.
  template <class Form, class... Args>
  static std::unique_ptr<Form> Create(QWidget *owner, TNodeEditorSite *window, Args &&...args) {
    auto form = std::make_unique<Form>(owner, window, std::forward<Args>(args)...);
    form->applyLanguage();
    return form;
  }

  TdefaultForm1(QWidget *owner, TNodeEditorSite *window);
  ~TdefaultForm1() override;

  TNodeEditorSite *window() const { return window_; }

  // The node exchange; the base has nothing to exchange.
  void putToScreen(TListObject &node) override;
  void getFromScreen(TListObject &node) override;
  bool isDifferent(const TListObject &node) const override;

  // The window's status bar, given engine text as the messages make it (a
  // file name in it as its bytes), and its escape checks of a memo's text.
  void statusBarText(const std::string &text) const;
  void statusBarError(const std::string &text) const;
  void stringFieldChange(std::string_view text) const;
  std::string fromDisplayHandleError(std::string_view text) const;

  // Every option control's change or click: reported to the window unless
  // the dialog is being filled.
  void fieldChanged();
  bool filling() const { return filling_; }

  // Gives `field` the pattern menu on a right click: the full menu for a
  // one-line field, the memo menu for a memo. `customize` runs after the
  // menu is prepared and before it shows, to show or hide submenus.
  void preparePopup(QWidget *field, std::function<void(TmenuForm &)> customize = {});
  // The same without the special-character submenu.
  void prepareNoFrillsPopup(QWidget *field, std::function<void(TmenuForm &)> customize = {});

  // The dialog's help topic (0: none, and F1 asks the window's).
  int helpContext() const { return helpContext_; }
  void setHelpContext(int context) {
    helpContext_ = context;
    setProperty("helpContext", context ? QVariant(context) : QVariant());
  }

  // Applies the language file to the dialog; Create does it once.
  void applyLanguage();

protected:
  // Runs `fill` with change reports off.
  void whileFilling(const std::function<void()> &fill);

private:
  TNodeEditorSite *window_;
  bool filling_ = false;
  int helpContext_ = 0;
};

// Binds a control's change or click signal to the dialog's fieldChanged.
template <class Control, class Signal>
void reportChanges(TdefaultForm1 *form, Control *control, Signal signal) {
  QObject::connect(control, signal, form, &TdefaultForm1::fieldChanged);
}

// A group box of radio buttons chosen by index, as the class library's
// radio group: -1 when none is checked. Its items translate as one key.
class TRadioGroup : public QGroupBox {
  Q_OBJECT
public:
  TRadioGroup(const QString &caption, const QStringList &items, QWidget *parent = nullptr);
  int itemIndex() const;
  // -1 (or any index outside the items) checks none.
  void setItemIndex(int index);
  int count() const;
  void setItemText(int index, const QString &text);
  QString itemText(int index) const;

signals:
  // Any change of the checked item, by the user or the program.
  void changed();

private:
  QButtonGroup *buttons_;
};

// A stored value its control cannot show (outside a spin box's range, past
// a list's items) is shown as near as the control allows and handed back
// unchanged until the user changes the control; the value shown at filling
// is remembered on the control for that.
void showNumber(QSpinBox *spin, int stored);
int numberShown(const QSpinBox *spin);
void showIndex(QComboBox *combo, int stored);
int indexShown(const QComboBox *combo);
// `nearest` is the item to show for a value the group has no item for.
void showIndex(TRadioGroup *group, int stored, int nearest = -1);
int indexShown(const TRadioGroup *group);

// A one-line field bound to bytes as the memos are: it hands back the very
// bytes it was given until its text changes. Texts cross through the code
// page, file names through the file-name conversion.
void showText(QLineEdit *edit, std::string_view bytes);
std::string textShown(const QLineEdit *edit);
void showFileName(QLineEdit *edit, std::string_view fileName);
std::string fileNameShown(const QLineEdit *edit);
// Refuses typing or a paste that makes the field's name longer than `bytes`
// as the file system spells it, where a filter file keeps no more, and calls
// `refused` to say so.
void limitFileNameBytes(QLineEdit *edit, std::size_t bytes, std::function<void()> refused);

} // namespace marrowen
