#include "classlib/stringlist.h"

#include "classlib/collation.h"
#include "classlib/format.h"
#include "classlib/streams.h"

#include <cstring>
#include <utility>

namespace marrowen {

namespace {

[[noreturn]] void sortedListError() {
  throw EStringListError("Operation not allowed on sorted list");
}

} // namespace

void TStringList::checkIndex(int index) const {
  if (index < 0 || index >= Count())
    throw EStringListError(Format("List index out of bounds (%d)", {index}));
}

void TStringList::checkIndexForInsert(int index) const {
  if (index < 0 || index > Count())
    throw EStringListError(Format("List index out of bounds (%d)", {index}));
}

const std::string &TStringList::Strings(int index) const {
  checkIndex(index);
  return items_[static_cast<std::size_t>(index)].text;
}

void TStringList::SetStrings(int index, std::string s) {
  if (sorted_)
    sortedListError();
  checkIndex(index);
  Changing();
  items_[static_cast<std::size_t>(index)].text = std::move(s);
  Changed();
}

const std::any &TStringList::Objects(int index) const {
  checkIndex(index);
  return items_[static_cast<std::size_t>(index)].object;
}

void TStringList::SetObjects(int index, std::any object) {
  checkIndex(index);
  Changing();
  items_[static_cast<std::size_t>(index)].object = std::move(object);
  Changed();
}

int TStringList::AddObject(std::string s, std::any object) {
  int index = Count();
  if (sorted_ && Find(s, index)) {
    switch (duplicates_) {
    case TDuplicates::dupIgnore:
      return index;
    case TDuplicates::dupError:
      throw EStringListError("String list does not allow duplicates");
    case TDuplicates::dupAccept:
      break;
    }
  }
  insertItem(index, std::move(s), std::move(object));
  return index;
}

void TStringList::AddStrings(const TStringList &other) {
  if (&other == this) {
    // Adding a list to itself doubles what it held when the call began.
    std::vector<Item> copy = items_;
    BeginUpdate();
    try {
      for (Item &item : copy)
        AddObject(std::move(item.text), std::move(item.object));
    } catch (...) {
      EndUpdate();
      throw;
    }
    EndUpdate();
    return;
  }
  BeginUpdate();
  try {
    for (const Item &item : other.items_)
      AddObject(item.text, item.object);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TStringList::Assign(const TStringList &other) {
  if (&other == this)
    return;
  BeginUpdate();
  try {
    Clear();
    AddStrings(other);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TStringList::InsertObject(int index, std::string s, std::any object) {
  if (sorted_)
    sortedListError();
  checkIndexForInsert(index);
  insertItem(index, std::move(s), std::move(object));
}

void TStringList::insertItem(int index, std::string s, std::any object) {
  Changing();
  items_.insert(items_.begin() + index, Item{std::move(s), std::move(object)});
  Changed();
}

void TStringList::Delete(int index) {
  checkIndex(index);
  Changing();
  items_.erase(items_.begin() + index);
  Changed();
}

void TStringList::Clear() {
  if (items_.empty())
    return;
  Changing();
  items_.clear();
  Changed();
}

void TStringList::Exchange(int index1, int index2) {
  checkIndex(index1);
  checkIndex(index2);
  Changing();
  std::swap(items_[static_cast<std::size_t>(index1)], items_[static_cast<std::size_t>(index2)]);
  Changed();
}

void TStringList::Move(int curIndex, int newIndex) {
  if (curIndex == newIndex)
    return;
  if (sorted_)
    sortedListError();
  checkIndex(curIndex);
  checkIndex(newIndex);
  Changing();
  Item item = std::move(items_[static_cast<std::size_t>(curIndex)]);
  items_.erase(items_.begin() + curIndex);
  items_.insert(items_.begin() + newIndex, std::move(item));
  Changed();
}

bool TStringList::Find(std::string_view s, int &index) const {
  bool found = false;
  int low = 0;
  int high = Count() - 1;
  while (low <= high) {
    int middle = low + (high - low) / 2;
    int c = CompareStrings(items_[static_cast<std::size_t>(middle)].text, s);
    if (c < 0) {
      low = middle + 1;
    } else {
      high = middle - 1;
      if (c == 0) {
        found = true;
        if (duplicates_ != TDuplicates::dupAccept)
          low = middle;
      }
    }
  }
  index = low;
  return found;
}

int TStringList::IndexOf(std::string_view s) const {
  if (sorted_) {
    int index;
    return Find(s, index) ? index : -1;
  }
  for (std::size_t i = 0; i < items_.size(); ++i)
    if (SameStrings(items_[i].text, s))
      return static_cast<int>(i);
  return -1;
}

int TStringList::IndexOfObject(const std::function<bool(const std::any &)> &matches) const {
  for (std::size_t i = 0; i < items_.size(); ++i)
    if (matches(items_[i].object))
      return static_cast<int>(i);
  return -1;
}

void TStringList::Sort() {
  CustomSort([](TStringList &list, int a, int b) {
    return list.CompareStrings(list.items_[static_cast<std::size_t>(a)].text,
                               list.items_[static_cast<std::size_t>(b)].text);
  });
}

void TStringList::CustomSort(const TStringListSortCompare &compare) {
  if (sorted_ || Count() < 2)
    return;
  Changing();
  quickSort(0, Count() - 1, [&](int a, int b) { return compare(*this, a, b); });
  Changed();
}

// The partitioning and pivot choice decide where equal lines end up, so they
// stay as the class library has them. The smaller part is sorted by recursion
// and the larger by the loop, which gives the same result with a stack depth
// that grows only with the logarithm of the count.
void TStringList::quickSort(int left, int right, const std::function<int(int, int)> &compare) {
  while (left < right) {
    int i = left;
    int j = right;
    int pivot = left + (right - left) / 2;
    do {
      // The bounds only matter for a comparison that contradicts itself;
      // they keep such a one from walking off the list.
      while (i < right && compare(i, pivot) < 0)
        ++i;
      while (j > left && compare(j, pivot) > 0)
        --j;
      if (i <= j) {
        std::swap(items_[static_cast<std::size_t>(i)], items_[static_cast<std::size_t>(j)]);
        if (pivot == i)
          pivot = j;
        else if (pivot == j)
          pivot = i;
        ++i;
        --j;
      }
    } while (i <= j);
    if (j - left < right - i) {
      if (left < j)
        quickSort(left, j, compare);
      left = i;
    } else {
      if (i < right)
        quickSort(i, right, compare);
      right = j;
    }
  }
}

void TStringList::SetSorted(bool sorted) {
  if (sorted == sorted_)
    return;
  if (sorted)
    Sort();
  sorted_ = sorted;
}

void TStringList::SetCaseSensitive(bool caseSensitive) {
  if (caseSensitive == caseSensitive_)
    return;
  caseSensitive_ = caseSensitive;
  if (sorted_) {
    sorted_ = false;
    Sort();
    sorted_ = true;
  }
}

std::string TStringList::Names(int index) const {
  const std::string &s = Strings(index);
  auto eq = s.find('=');
  return eq == std::string::npos ? std::string() : s.substr(0, eq);
}

std::string TStringList::ValueFromIndex(int index) const {
  const std::string &s = Strings(index);
  auto eq = s.find('=');
  return eq == std::string::npos ? std::string() : s.substr(eq + 1);
}

int TStringList::IndexOfName(std::string_view name) const {
  for (std::size_t i = 0; i < items_.size(); ++i) {
    const std::string &s = items_[i].text;
    auto eq = s.find('=');
    if (eq != std::string::npos && AnsiSameText(std::string_view(s).substr(0, eq), name))
      return static_cast<int>(i);
  }
  return -1;
}

std::string TStringList::Values(std::string_view name) const {
  int index = IndexOfName(name);
  return index >= 0 ? ValueFromIndex(index) : std::string();
}

void TStringList::SetValues(std::string_view name, std::string_view value) {
  int index = IndexOfName(name);
  if (value.empty()) {
    if (index >= 0)
      Delete(index);
    return;
  }
  std::string line;
  line.reserve(name.size() + 1 + value.size());
  line.append(name).append(1, '=').append(value);
  if (!sorted_) {
    if (index < 0)
      Add(std::move(line));
    else
      SetStrings(index, std::move(line));
    return;
  }
  // A sorted list cannot take a line at a chosen place: the new line goes
  // where it sorts, keeping the object of the line it replaces.
  BeginUpdate();
  try {
    std::any object;
    if (index >= 0) {
      object = std::move(items_[static_cast<std::size_t>(index)].object);
      Delete(index);
    }
    AddObject(std::move(line), std::move(object));
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

std::string TStringList::Text() const {
  std::size_t size = 0;
  for (const Item &item : items_)
    size += item.text.size() + 2;
  std::string text;
  text.reserve(size);
  for (const Item &item : items_) {
    text += item.text;
    text += "\r\n";
  }
  return text;
}

void TStringList::SetText(std::string_view text) {
  BeginUpdate();
  try {
    Clear();
    const char *p = text.data();
    const char *end = p + text.size();
    // The next CR and the next LF are each searched for once per occurrence,
    // so texts with only one kind of line end are not scanned again per line.
    auto next = [end](const char *from, char c) {
      if (from == end)
        return end;
      const void *hit = std::memchr(from, c, static_cast<std::size_t>(end - from));
      return hit ? static_cast<const char *>(hit) : end;
    };
    const char *nextCr = next(p, '\r');
    const char *nextLf = next(p, '\n');
    while (p < end) {
      if (nextCr < p)
        nextCr = next(p, '\r');
      if (nextLf < p)
        nextLf = next(p, '\n');
      const char *lineEnd = nextCr < nextLf ? nextCr : nextLf;
      Add(std::string(p, lineEnd));
      p = lineEnd;
      if (p < end && *p == '\r')
        ++p;
      if (p < end && *p == '\n')
        ++p;
    }
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TStringList::LoadFromFile(const std::string &fileName) { SetText(readFileBytes(fileName)); }

void TStringList::SaveToFile(const std::string &fileName) const {
  TFileStream file(fileName, TFileMode::fmCreate);
  SaveToStream(file);
}

void TStringList::LoadFromStream(TStream &stream) { SetText(stream.ReadAll()); }

void TStringList::SaveToStream(TStream &stream) const { stream.WriteBuffer(Text()); }

void TStringList::BeginUpdate() {
  if (updateCount_ == 0)
    Changing();
  ++updateCount_;
}

void TStringList::EndUpdate() {
  if (updateCount_ > 0 && --updateCount_ == 0)
    Changed();
}

void TStringList::Changing() {
  if (updateCount_ == 0 && OnChanging)
    OnChanging(*this);
}

void TStringList::Changed() {
  if (updateCount_ == 0 && OnChange)
    OnChange(*this);
}

int TStringList::CompareStrings(std::string_view a, std::string_view b) const {
  return caseSensitive_ ? AnsiCompareStr(a, b) : AnsiCompareText(a, b);
}

bool TStringList::SameStrings(std::string_view a, std::string_view b) const {
  return caseSensitive_ ? a == b : AnsiSameText(a, b);
}

} // namespace marrowen
