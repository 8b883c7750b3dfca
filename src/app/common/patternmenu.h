#pragma once

#include <QDialog>
#include <QIcon>
#include <QPointer>
#include <QWidget>

#include <map>
#include <string>
#include <vector>

class QAction;
class QCheckBox;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QTextEdit;

namespace marrowen {

// One text control the pattern menu works on, whatever its class: a
// one-line edit (a spin or combo box's own line edit included), a plain
// memo or a "rich" control. Every operation does nothing once the control
// is gone.
class TextTarget {
public:
  TextTarget() = default;
  explicit TextTarget(QWidget *control);

  QWidget *widget() const { return control_; }
  bool isValid() const { return !control_.isNull(); }
  bool isRich() const;
  bool isMemo() const;
  // A read-only text keeps its text whatever command reaches it (Qt's own
  // cut, paste and delete of a one-line edit would change it); it can still
  // be selected and copied.
  bool isReadOnly() const;

  QString text() const;
  void setText(const QString &text);
  // Replaces the selection with `text`, as one step the user can undo.
  void replaceSelection(const QString &text);
  bool hasSelection() const;
  bool canUndo() const;
  void undo();
  void cut();
  void copy();
  void paste();
  void deleteSelection();
  void selectAll();
  // The selection (or the caret, when nothing is selected) as start and length.
  int selectionStart() const;
  int caret() const;
  void select(int start, int length);
  QFont font() const;
  void setFont(const QFont &font);

private:
  QPointer<QWidget> control_;
};

// What a paste puts into a field that holds escaped text: the clipboard's
// text with its control characters escaped (in a memo tabs and line breaks
// stay). The clipboard itself is left as it is, for every other program.
QString escapedForPaste(const QString &text, bool singleLine);
// Pastes the clipboard's text into `target` so escaped.
void pasteEscaped(TextTarget target, bool singleLine);

// Asks for the text to look for in a memo, with match case and whole word;
// the search always runs downwards. Stays open beside the memo, never modal.
class TFindDialog : public QDialog {
  Q_OBJECT
public:
  explicit TFindDialog(QWidget *parent = nullptr);

  QString findText() const;
  void setFindText(const QString &text);
  // Shows the dialog inside the screen at `corner`, active, its text
  // selected for what is typed next.
  void showBeside(const QPoint &corner);
  bool matchCase() const;
  bool wholeWord() const;

signals:
  void find();

private:
  QLineEdit *findEdit_;
  QCheckBox *matchCase_;
  QCheckBox *wholeWord_;
};

// The one context menu of every text field of the filter dialogs and the
// window's memos: it inserts escapes, special fields, pattern tokens and
// subexpression references at the caret, and offers the edit commands,
// loading and saving a memo, find and font. Made once, kept for the run;
// each popup re-targets it.
class TmenuForm : public QWidget {
  Q_OBJECT
public:
  // The program's one pattern menu, made on first use.
  static TmenuForm &instance();
  explicit TmenuForm(QWidget *parent = nullptr);
  ~TmenuForm() override;

  // Targets `control` (single-line unless a memo) and resets the menu:
  // load and save only for a memo, find and font only for a rich control.
  void preparePopup(QWidget *control, bool singleLine);
  // Targets a control reached only through its inner line edit: no load,
  // save, find or font.
  void preparePopupHWND(QWidget *lineEdit, bool singleLine);
  // Shows the prepared menu at a global position.
  void popup(const QPoint &globalPos);

  QMenu *memoMenu() const { return memoMenu_; }
  QMenu *specialSubmenu() const { return specialSubmenu_; }
  QMenu *regexpSubmenu() const { return regexpSubmenu_; }
  QMenu *fieldSubmenu() const { return fieldSubmenu_; }
  QMenu *matchedSubmenu() const { return matchedSubmenu_; }
  QMenu *patternSubmenu() const { return patternSubmenu_; }
  // The "$" and "@" items of the special-character submenu.
  QAction *specialDollarItem() const { return specialDollar_; }
  QAction *specialAtItem() const { return specialAt_; }
  // The item carrying `tag` (the first, for a tag in two submenus).
  QAction *itemWithTag(int tag) const;
  // The edit command named `name` ("Cut1", "Find1" ...).
  QAction *command(const QString &name) const;
  const TextTarget &target() const { return target_; }
  bool singleLine() const { return singleLine_; }
  TFindDialog &findDialog();
  // The images of the filter tree and the trial button, at the indexes the
  // nodes' iconIndex gives (21 the disabled overlay, 39 idle, 40 running).
  const std::vector<QIcon> &treeIconList() const { return treeIcons_; }

  // The text an insert item puts in.
  static QString insertText(int tag);

  // Handlers of the menu's items.
  void menuItemClick(int tag);
  void Undo1Click();
  void Cut1Click();
  void Copy1Click();
  void Paste1Click();
  void Pastespecial1Click();
  void Delete1Click();
  void Clearentirefield1Click();
  void Selectall1Click();
  void Selectallandcopy1Click();
  void Loadfromfile1Click();
  void Savetofile1Click();
  void Find1Click();
  void FindDialogFind();
  void Findnext1Click();
  void Font1Click();
  void memoMenuPopup();

private:
  void build();
  void reset();
  QAction *addInsertItem(QMenu *menu, const QString &name, const QString &caption, int tag);
  QAction *addCommand(QMenu *menu, const char *name, const QString &caption, const QString &hint,
                      void (TmenuForm::*handler)(), const QKeySequence &shortcut = {});

  TextTarget target_;
  bool singleLine_ = true;
  QMenu *memoMenu_ = nullptr;
  QMenu *specialSubmenu_ = nullptr;
  QMenu *regexpSubmenu_ = nullptr;
  QMenu *fieldSubmenu_ = nullptr;
  QMenu *matchedSubmenu_ = nullptr;
  QMenu *patternSubmenu_ = nullptr;
  QAction *specialDollar_ = nullptr;
  QAction *specialAt_ = nullptr;
  std::multimap<int, QAction *> itemsByTag_;
  std::map<QString, QAction *> commands_;
  QPointer<TFindDialog> findDialog_;
  std::vector<QIcon> treeIcons_;
};

// Gives a memo of a window (not of a dialog) the pattern menu on a right
// click, without its special characters. Such a memo is the window's rich
// text, so the menu offers it find and font as it does a rich edit.
void usePatternMenuForMemo(QPlainTextEdit *memo);

} // namespace marrowen
