#pragma once

#include "classlib/exceptions.h"

#include <any>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace marrowen {

class TStream;

// "List index out of bounds (%d)", "String list does not allow duplicates",
// "Operation not allowed on sorted list".
class EStringListError : public Exception {
public:
  using Exception::Exception;
};

enum class TDuplicates { dupIgnore, dupAccept, dupError };

// The class library's list of byte strings, each line with an attached object.
//
// A sorted list keeps its lines in the order of CompareStrings: Add places a
// line by binary search (Find) and Insert, Move and SetStrings are refused.
// Duplicates decides what Add does with a line equal to one already there.
// Every change is announced by OnChanging before and OnChange after, except
// between BeginUpdate and EndUpdate, which announce the whole batch once.
//
// Lines of the form name=value are reached by name, ignoring case; the name
// ends at the first "=".
class TStringList {
public:
  using TNotifyEvent = std::function<void(TStringList &)>;
  // Compares the lines at two indexes, as CustomSort calls it.
  using TStringListSortCompare = std::function<int(TStringList &, int, int)>;

  TStringList() = default;
  virtual ~TStringList() = default;
  TStringList(const TStringList &) = delete;
  TStringList &operator=(const TStringList &) = delete;

  int Count() const { return static_cast<int>(items_.size()); }
  const std::string &Strings(int index) const;
  // Refused on a sorted list.
  void SetStrings(int index, std::string s);
  const std::any &Objects(int index) const;
  void SetObjects(int index, std::any object);

  int Add(std::string s) { return AddObject(std::move(s), std::any()); }
  // The index where the line went; on a sorted list that ignores duplicates,
  // the index of the equal line already there.
  int AddObject(std::string s, std::any object);
  void AddStrings(const TStringList &other);
  // The lines and objects of `other`, in its order; keeps this list's
  // settings (Sorted, Duplicates, events).
  void Assign(const TStringList &other);
  void Insert(int index, std::string s) { InsertObject(index, std::move(s), std::any()); }
  void InsertObject(int index, std::string s, std::any object);
  void Delete(int index);
  void Clear();
  void Exchange(int index1, int index2);
  void Move(int curIndex, int newIndex);

  // Binary search with CompareStrings; the list must be in that order. True
  // when an equal line is there; `index` is then the first equal line when
  // the list accepts duplicates (otherwise the one the search met), and
  // otherwise the index where `s` would be inserted.
  virtual bool Find(std::string_view s, int &index) const;
  // The index of a line equal to `s` under CompareStrings, or -1.
  virtual int IndexOf(std::string_view s) const;
  int IndexOfObject(const std::function<bool(const std::any &)> &matches) const;

  // Sorts with CompareStrings; nothing for a list that keeps itself sorted.
  virtual void Sort();
  void CustomSort(const TStringListSortCompare &compare);

  bool Sorted() const { return sorted_; }
  void SetSorted(bool sorted);
  TDuplicates Duplicates() const { return duplicates_; }
  void SetDuplicates(TDuplicates duplicates) { duplicates_ = duplicates; }
  bool CaseSensitive() const { return caseSensitive_; }
  void SetCaseSensitive(bool caseSensitive);

  // The name part of line `index` (before the first "="), empty without one.
  std::string Names(int index) const;
  // The value after the first "=" of line `index`.
  std::string ValueFromIndex(int index) const;
  // The value of the first line whose name is `name`, ignoring case; empty
  // when there is none.
  std::string Values(std::string_view name) const;
  // Sets the first line named `name`, adding it when absent; an empty value
  // deletes the line.
  void SetValues(std::string_view name, std::string_view value);
  int IndexOfName(std::string_view name) const;

  // Every line followed by CR LF.
  std::string Text() const;
  // Replaces the lines with those of `text`, split at CR LF, LF or CR. A line
  // end at the very end starts no further line.
  void SetText(std::string_view text);

  // Read and write the bytes of Text; EFOpenError / EFCreateError and
  // EStreamError as the streams raise them.
  void LoadFromFile(const std::string &fileName);
  void SaveToFile(const std::string &fileName) const;
  void LoadFromStream(TStream &stream);
  void SaveToStream(TStream &stream) const;

  void BeginUpdate();
  void EndUpdate();

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

  // The order of the list: AnsiCompareText, or AnsiCompareStr when the list is
  // case-sensitive. Descendants sort and search with an order of their own by
  // overriding it.
  virtual int CompareStrings(std::string_view a, std::string_view b) const;

protected:
  // Whether two lines are equal in the order of CompareStrings. A descendant
  // that overrides one overrides both.
  virtual bool SameStrings(std::string_view a, std::string_view b) const;

  // The class library's quicksort over indexes `left` .. `right` under
  // `compare`, moving objects with their lines.
  void quickSort(int left, int right, const std::function<int(int, int)> &compare);

  void Changing();
  void Changed();

  void checkIndex(int index) const;
  void checkIndexForInsert(int index) const;

private:
  struct Item {
    std::string text;
    std::any object;
  };

  void insertItem(int index, std::string s, std::any object);

  std::vector<Item> items_;
  int updateCount_ = 0;
  bool sorted_ = false;
  bool caseSensitive_ = false;
  TDuplicates duplicates_ = TDuplicates::dupIgnore;
};

} // namespace marrowen
