#include "app/main/recentfiles.h"

#include "classlib/format.h"
#include "classlib/inifile.h"
#include "components/inistorage.h"
#include "components/kitutils.h"
#include "qtext/qtext.h"

#include <QAction>
#include <QMenu>

#include <algorithm>
#include <cctype>

namespace marrowen {

namespace {

bool sameText(const std::string &a, const std::string &b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

} // namespace

void TRecentStrings::SetCapacity(int value) {
  capacity_ = std::max(1, value);
  trim();
  changed();
}

// File names here differ in letter case as they are spelt: two names are one
// entry only when they are the same bytes, else the list would name, and the
// menu open, another file than the one the user used.
int TRecentStrings::IndexOf(const std::string &text) const {
  for (int i = 0; i < Count(); ++i)
    if (entries_[static_cast<std::size_t>(i)].text == text)
      return i;
  return -1;
}

int TRecentStrings::Add(const std::string &text, int user) {
  changes_.push_back({Change::Added, {text, user}});
  int index = IndexOf(text);
  if (index < 0) {
    if (mode_ == 0) {
      entries_.insert(entries_.begin(), Entry{text, user});
      index = 0;
    } else {
      entries_.push_back(Entry{text, user});
      index = Count() - 1;
    }
    const int before = Count();
    trim();
    if (mode_ == 1)
      index -= before - Count();
  } else {
    Entry entry = entries_[static_cast<std::size_t>(index)];
    entries_.erase(entries_.begin() + index);
    if (mode_ == 0) {
      entries_.insert(entries_.begin(), entry);
      index = 0;
    } else {
      entries_.push_back(entry);
      index = Count() - 1;
    }
  }
  changed();
  return index;
}

void TRecentStrings::AddStrings(const std::vector<std::string> &texts) {
  const int n = std::min<int>(capacity_, static_cast<int>(texts.size()));
  if (mode_ == 0)
    for (int i = n - 1; i >= 0; --i)
      Add(texts[static_cast<std::size_t>(i)]);
  else
    for (int i = 0; i < n; ++i)
      Add(texts[static_cast<std::size_t>(i)]);
}

void TRecentStrings::Remove(const std::string &text) {
  changes_.push_back({Change::Removed, {text, 0}});
  const int index = IndexOf(text);
  if (index >= 0) {
    entries_.erase(entries_.begin() + index);
    changed();
  }
}

void TRecentStrings::Clear() {
  changes_.push_back({Change::Cleared, {}});
  entries_.clear();
  changed();
}

void TRecentStrings::apply(const Change &change) {
  switch (change.kind) {
  case Change::Added:
    Add(change.entry.text, change.entry.user);
    break;
  case Change::Removed:
    Remove(change.entry.text);
    break;
  case Change::Cleared:
    Clear();
    break;
  }
}

void TRecentStrings::takeEntries(const TRecentStrings &other) {
  entries_ = other.entries_;
  trim();
  changed();
}

void TRecentStrings::trim() {
  while (Count() > capacity_) {
    if (mode_ == 0)
      entries_.pop_back();
    else
      entries_.erase(entries_.begin());
  }
}

void TRecentStrings::changed() {
  if (OnChange)
    OnChange();
}

TMRUManager::TMRUManager(QObject *parent) : QObject(parent) {
  strings_.OnChange = [this] {
    if (loading_)
      return;
    if (AutoUpdate)
      updateMenu();
    if (OnListChange)
      OnListChange();
  };
}

void TMRUManager::SetRecentMenu(QMenu *menu) {
  for (auto &action : added_)
    delete action.data();
  added_.clear();
  menu_ = menu;
  updateMenu();
}

QString TMRUManager::itemCaption(int index) const {
  // File names, not engine text.
  const QString text = menuCaptionOf(fileNameToQString(strings_.at(index).text));
  if (!ShowAccelChar)
    return text;
  const int n = index + StartAccel;
  QString accel;
  if (n < 10)
    accel = QStringLiteral("&") + QChar('0' + n);
  else if (n <= 100)
    accel = QStringLiteral("&") + QChar(n + 55);
  else
    accel = QStringLiteral(" ");
  // A tab in a menu item's text starts its shortcut, which the menu shows
  // apart at its right edge: the entry reads as the other items do, its
  // number, a blank and the name, whichever delimiter is set.
  return accel + QStringLiteral(" ") + text;
}

void TMRUManager::updateMenu() {
  for (auto &action : added_)
    delete action.data();
  added_.clear();
  if (!menu_)
    return;
  if (strings_.Count() > 0 && !menu_->actions().isEmpty())
    added_.emplace_back(menu_->addSeparator());
  for (int i = 0; i < strings_.Count(); ++i) {
    if (SeparateSize > 0 && i > 0 && i % SeparateSize == 0)
      added_.emplace_back(menu_->addSeparator());
    QAction *action = menu_->addAction(itemCaption(i));
    action->setData(i);
    // The long hint: the whole entry, after a "|" when it has one.
    const QString text = fileNameToQString(strings_.at(i).text);
    action->setStatusTip(text.mid(text.indexOf('|') + 1));
    connect(action, &QAction::triggered, this, [this, i] { click(i); });
    added_.emplace_back(action);
  }
  if (AutoEnable)
    menu_->setEnabled(!menu_->actions().isEmpty());
}

void TMRUManager::click(int index) {
  if (index < 0 || index >= strings_.Count())
    return;
  const TRecentStrings::Entry entry = strings_.at(index);
  if (OnClick)
    OnClick(entry.text, entry.user);
  if (RemoveOnSelect)
    strings_.Remove(entry.text);
}

void TMRUManager::readEntries(TCustomIniFile &ini, const std::string &section,
                              TRecentStrings &list) {
  const int mode = list.Mode();
  list.SetMode(0);
  list.Clear();
  for (int i = list.Capacity() - 1; i >= 0; --i) {
    const std::string text = IniReadString(&ini, section, Format("Item_%d", {i}), "");
    if (!text.empty())
      list.Add(text, IniReadInteger(&ini, section, Format("User_%d", {i}), 0));
  }
  list.SetMode(mode);
  list.forgetChanges();
}

bool TMRUManager::LoadFromIni(TCustomIniFile &ini, const std::string &section) {
  // The menu is built once, for the whole list, and what was just read is
  // not reported as a change.
  loading_ = true;
  readEntries(ini, section, strings_);
  loading_ = false;
  if (AutoUpdate)
    updateMenu();
  // A list never cut back may hold thousands of entries, which every later
  // save of the settings would write again.
  for (const std::string &name : ini.ReadSection(section)) {
    std::size_t digits = 0;
    for (const char *prefix : {"Item_", "User_"})
      if (name.size() > 5 && sameText(name.substr(0, 5), prefix))
        digits = 5;
    if (digits == 0 || name.find_first_not_of("0123456789", digits) != std::string::npos)
      continue;
    if (name.size() - digits > 9 || std::stoi(name.substr(digits)) >= strings_.Capacity())
      return true;
  }
  return false;
}

void TMRUManager::SaveToIni(TCustomIniFile &ini, const std::string &section) {
  TRecentStrings stored;
  stored.SetCapacity(strings_.Capacity());
  readEntries(ini, section, stored);
  stored.SetMode(strings_.Mode());
  for (const TRecentStrings::Change &change : strings_.changes())
    stored.apply(change);
  loading_ = true;
  strings_.takeEntries(stored);
  strings_.forgetChanges();
  loading_ = false;
  if (AutoUpdate)
    updateMenu();
  writeEntries(ini, section);
}

void TMRUManager::RewriteIni(TCustomIniFile &ini, const std::string &section) {
  ini.EraseSection(section);
  writeEntries(ini, section);
  strings_.forgetChanges();
}

void TMRUManager::writeEntries(TCustomIniFile &ini, const std::string &section) {
  for (int i = 0; i < strings_.Count(); ++i) {
    const auto &entry = strings_.at(i);
    IniWriteString(&ini, section, Format("Item_%d", {i}), entry.text);
    if (entry.user != 0)
      IniWriteInteger(&ini, section, Format("User_%d", {i}), entry.user);
    else
      IniDeleteKey(&ini, section, Format("User_%d", {i}));
  }
  // Entries dropped since the last save would otherwise come back at the next
  // start, since loading reads every index up to the capacity.
  const int last = std::max(strings_.Capacity(), 100);
  for (int i = strings_.Count(); i < last; ++i)
    for (const char *name : {"Item_%d", "User_%d"})
      if (ini.ValueExists(section, Format(name, {i})))
        IniDeleteKey(&ini, section, Format(name, {i}));
}

} // namespace marrowen
