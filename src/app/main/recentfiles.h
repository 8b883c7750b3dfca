#pragma once

#include <QAction>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <string>
#include <vector>

namespace marrowen {

class TCustomIniFile;

// The recent filter files, newest first (mode 0) or oldest first (mode 1),
// never more than Capacity entries; each entry carries an integer the caller
// may attach. Texts match as the same bytes: file names that differ in
// letter case name different files.
class TRecentStrings {
public:
  struct Entry {
    std::string text;
    int user = 0;
  };

  int Count() const { return static_cast<int>(entries_.size()); }
  const Entry &at(int index) const { return entries_.at(static_cast<std::size_t>(index)); }
  int Capacity() const { return capacity_; }
  void SetCapacity(int value);
  int Mode() const { return mode_; }
  void SetMode(int mode) { mode_ = mode; }

  // The entry's new index.
  int Add(const std::string &text, int user = 0);
  // At most Capacity entries of `texts`, left in their order.
  void AddStrings(const std::vector<std::string> &texts);
  void Remove(const std::string &text);
  void Clear();
  int IndexOf(const std::string &text) const;

  // Called after every change.
  std::function<void()> OnChange;

  // The adds, removals and clearings made since the list was last read or
  // written, in order, so that a save can make them again on the list as
  // another copy of the program left it.
  struct Change {
    enum Kind { Added, Removed, Cleared } kind;
    Entry entry;
  };
  const std::vector<Change> &changes() const { return changes_; }
  void forgetChanges() { changes_.clear(); }
  // Makes the change on this list.
  void apply(const Change &change);
  // Takes the entries of `other`, cut to this list's capacity, without
  // recording a change.
  void takeEntries(const TRecentStrings &other);

private:
  void trim();
  void changed();

  std::vector<Entry> entries_;
  std::vector<Change> changes_;
  int capacity_ = 10;
  int mode_ = 0;
};

// Shows a TRecentStrings as items under a menu and reports the chosen one.
class TMRUManager : public QObject {
  Q_OBJECT
public:
  explicit TMRUManager(QObject *parent = nullptr);

  TRecentStrings &Strings() { return strings_; }
  QMenu *RecentMenu() const { return menu_; }
  void SetRecentMenu(QMenu *menu);
  bool AutoEnable = true;
  bool AutoUpdate = true;
  bool ShowAccelChar = true;
  int StartAccel = 1;
  int AccelDelimiter = 0; // 0 tab, 1 blank; both show as a blank in a menu
  int SeparateSize = 0;
  bool RemoveOnSelect = false;
  // The chosen entry's text and its integer.
  std::function<void(const std::string &text, int user)> OnClick;
  // After every change of the list but the loading of it.
  std::function<void()> OnListChange;

  // The caption of the entry at `index`, accelerator included.
  QString itemCaption(int index) const;
  void updateMenu();
  // Runs the entry at `index` as a click on its item would.
  void click(int index);

  // "Item_%d" and "User_%d" values of `section`; loading keeps the stored
  // order and reads no further than the capacity. True when entries are
  // stored beyond it (RewriteIni cuts them back).
  bool LoadFromIni(TCustomIniFile &ini, const std::string &section);
  // Reads the list back first, as another copy of the program may have
  // stored it since, and makes this list's own changes again on it: what
  // both opened stays, newest first. Then writes it, removing what lies
  // beyond the count.
  void SaveToIni(TCustomIniFile &ini, const std::string &section);
  // Writes the list as it is, in place of everything the section holds.
  void RewriteIni(TCustomIniFile &ini, const std::string &section);

private:
  // The entries stored in `section`, up to `list`'s capacity.
  static void readEntries(TCustomIniFile &ini, const std::string &section, TRecentStrings &list);
  void writeEntries(TCustomIniFile &ini, const std::string &section);

  TRecentStrings strings_;
  bool loading_ = false;
  QPointer<QMenu> menu_;
  std::vector<QPointer<QAction>> added_;
};

} // namespace marrowen
