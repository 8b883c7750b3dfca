#include "grid/data/tables.h"

#include "classlib/collation.h"
#include "grid/data/colrow.h"

#include <algorithm>

namespace marrowen {

// ---------------------------------------------------------------------------
// Columns

TdgGridCols::TdgGridCols(TdgGridHost *grid, int count) : grid_(grid) { Resize(0, count); }

TdgGridCols::~TdgGridCols() = default;

std::unique_ptr<TdgCol> TdgGridCols::CreateItem() { return std::make_unique<TdgCol>(grid_); }

void TdgGridCols::Resize(int oldCount, int newCount) {
  newCount = std::max(newCount, 0);
  oldCount = std::min(oldCount, Count());
  items_.resize(newCount);
  for (int p = oldCount; p < newCount; ++p) {
    auto col = CreateItem();
    col->setDisplayColField(p);
    const int width = grid_->colWidth(p);
    col->setWidthFields(width, width);
    col->Id = nextId_++;
    items_[p] = std::move(col);
  }
}

namespace {

// Moves the n items at from so that they start at to, the others closing
// up behind them; the callers have checked both blocks lie inside.
template <class Array> void rotateBlock(Array &array, int from, int to, int n) {
  if (from < to)
    std::rotate(array.begin() + from, array.begin() + from + n, array.begin() + to + n);
  else
    std::rotate(array.begin() + to, array.begin() + from, array.begin() + from + n);
}

} // namespace

void TdgGridCols::MoveItems(int from, int to, int n) {
  const int count = Count();
  if (n <= 0 || from == to || from < 0 || to < 0 || from + n > count || to + n > count)
    return;
  rotateBlock(items_, from, to, n);
}

TdgCol *TdgGridCols::ColByIndexOrName(const Variant &index) {
  switch (index.type()) {
  case varSmallint:
  case varInteger:
  case varByte: {
    const int i = index.toInteger();
    return grid_->checkIndex(TdgIndexKind::Column, i, 0, Count() - 1) ? items_[i].get() : nullptr;
  }
  case varString:
  case varOleStr:
    return FindByFieldName(index.toString());
  default:
    return nullptr;
  }
}

TdgCol *TdgGridCols::FindByFieldName(std::string_view name) const {
  for (int i = 1; i < Count(); ++i)
    if (items_[i] && AnsiSameText(items_[i]->FieldName(), name))
      return items_[i].get();
  return nullptr;
}

// ---------------------------------------------------------------------------
// Rows

TdgGridRows::TdgGridRows(TdgGridHost *grid, int count) : grid_(grid) { Resize(0, count); }

TdgGridRows::~TdgGridRows() = default;

std::unique_ptr<TdgRow> TdgGridRows::CreateItem() { return std::make_unique<TdgRow>(grid_); }

void TdgGridRows::Resize(int oldCount, int newCount) {
  newCount = std::max(newCount, 0);
  oldCount = std::min(oldCount, Count());
  items_.resize(newCount);
  rowIds_.resize(newCount);
  if (displayRows_)
    displayRows_->resize(newCount);
  for (int r = oldCount; r < newCount; ++r) {
    if (displayRows_)
      (*displayRows_)[r] = r;
    rowIds_[r] = nextId_++;
  }
  if (oldCount == 0 && newCount > 0)
    EnsureRowObject(0);
}

void TdgGridRows::EnsureDisplayMap() {
  if (displayRows_)
    return;
  displayRows_.emplace(Count());
  for (int r = 0; r < Count(); ++r)
    (*displayRows_)[r] = r;
}

int TdgGridRows::GetDisplayRow(int dataRow) const {
  if (!displayRows_ || dataRow < 0 || dataRow >= Count())
    return dataRow;
  return (*displayRows_)[dataRow];
}

void TdgGridRows::SetDisplayRow(int dataRow, int displayRow) {
  if (displayRows_ && dataRow >= 0 && dataRow < Count())
    (*displayRows_)[dataRow] = displayRow;
}

void TdgGridRows::MoveItems(int from, int to, int n) {
  const int count = Count();
  if (n <= 0 || from == to || from < 0 || to < 0 || from + n > count || to + n > count)
    return;
  rotateBlock(items_, from, to, n);
  rotateBlock(rowIds_, from, to, n);
  if (displayRows_)
    rotateBlock(*displayRows_, from, to, n);
  for (int i = std::min(from, to); i < std::max(from, to) + n; ++i)
    if (items_[i])
      items_[i]->setDataRow(i);
}

void TdgGridRows::RemoveItems(const std::vector<bool> &removed) {
  const int count = Count();
  int to = 0;
  for (int r = 0; r < count; ++r) {
    if (r < static_cast<int>(removed.size()) && removed[r])
      continue;
    if (to != r) {
      items_[to] = std::move(items_[r]);
      rowIds_[to] = rowIds_[r];
      if (items_[to])
        items_[to]->setDataRow(to);
    }
    ++to;
  }
  for (int r = to; r < count; ++r) {
    items_[r].reset();
    rowIds_[r] = nextId_++;
  }
}

TdgRow *TdgGridRows::RowObject(int index) {
  if (!grid_->checkIndex(TdgIndexKind::Row, index, 0, Count() - 1))
    return nullptr;
  return items_[index].get();
}

TdgRow &TdgGridRows::EnsureRowObject(int index) {
  auto &item = items_.at(index);
  if (!item) {
    item = CreateItem();
    item->setDataRow(index);
    const int height = grid_->rowHeight(GetDisplayRow(index));
    item->setHeightFields(height, height);
  }
  return *item;
}

void TdgGridRows::ReleaseIfDefault(int index) {
  if (index > 0 && index < Count() && items_[index] && items_[index]->IsDefault())
    items_[index].reset();
}

int TdgGridRows::GetHeight(int index) const {
  const TdgRow *row = index >= 0 && index < Count() ? items_[index].get() : nullptr;
  return row ? row->Height() : grid_->DefaultRowHeight();
}

void TdgGridRows::SetHeight(int index, int height) {
  if (index < 0 || index >= Count())
    return;
  if (!items_[index] && height == grid_->DefaultRowHeight())
    return;
  TdgRow &row = EnsureRowObject(index);
  row.setHeightFields(height, row.RequestedHeight());
  ReleaseIfDefault(index);
}

int TdgGridRows::GetRequestedHeight(int index) const {
  const TdgRow *row = index >= 0 && index < Count() ? items_[index].get() : nullptr;
  return row ? row->RequestedHeight() : grid_->requestedDefaultRowHeight();
}

void TdgGridRows::SetRequestedHeight(int index, int height) {
  if (index < 0 || index >= Count())
    return;
  if (!items_[index] && height == grid_->requestedDefaultRowHeight())
    return;
  TdgRow &row = EnsureRowObject(index);
  row.setHeightFields(row.Height(), height);
  ReleaseIfDefault(index);
}

void TdgGridRows::ApplyHeight(int index, int height) {
  if (index < 0 || index >= Count())
    return;
  EnsureRowObject(index).SetHeight(height);
  ReleaseIfDefault(index);
}

// ---------------------------------------------------------------------------
// Visible positions

void TdgVisibleItems::Assign(const TdgSortIntList &source) {
  const auto *other = dynamic_cast<const TdgVisibleItems *>(&source);
  if (!other || other == this)
    return;
  TdgSortIntList::Assign(source);
  visibleCount_ = other->visibleCount_;
  active_ = other->active_;
}

std::int32_t TdgVisibleItems::Get(int pos) const {
  return active_ ? TdgSortIntList::Get(pos) : pos;
}

int TdgVisibleItems::Add(std::int32_t value) {
  if (!active_)
    return value;
  const int pos = TdgSortIntList::Add(value);
  visibleCount_ = count_;
  return pos;
}

int TdgVisibleItems::Search(std::int32_t value, bool &found) const {
  if (value >= 1 && value <= visibleCount_ && Get(value) == value) {
    found = true;
    return value;
  }
  if (!active_) {
    found = false;
    return value > 0 ? visibleCount_ + 1 : 1;
  }
  return sortedSearch(value, found);
}

void TdgVisibleItems::Remove(std::int32_t value) {
  if (!active_) {
    const int count = visibleCount_;
    count_ = 0;
    Fill(count, 1);
  }
  TdgSortIntList::Remove(value);
  visibleCount_ = count_;
}

void TdgVisibleItems::Fill(int newCount, int firstValue) {
  Reserve(newCount);
  for (int pos = count_ + 1; pos <= newCount; ++pos)
    items_[pos] = firstValue++;
  count_ = std::max(newCount, 0);
  active_ = true;
}

void TdgVisibleItems::SetVisibleCount(int newCount, int firstValue) {
  if (newCount == visibleCount_)
    return;
  visibleCount_ = newCount;
  if (active_)
    Fill(newCount, firstValue);
}

void TdgVisibleItems::Rebuild(const std::vector<int> &shown) {
  const int n = static_cast<int>(shown.size());
  Reserve(n);
  for (int pos = 1; pos <= n; ++pos)
    items_[static_cast<std::size_t>(pos)] = shown[static_cast<std::size_t>(pos - 1)];
  count_ = n;
  visibleCount_ = n;
  active_ = true;
}

void TdgVisibleItems::MoveItem(int from, int to) {
  if (!active_ || from == to)
    return;
  bool foundFrom, foundTo;
  const int p = Search(from, foundFrom);
  const int q = Search(to, foundTo);
  if (to > from) {
    int i = foundFrom ? p + 1 : p;
    for (; i <= visibleCount_ && items_[i] <= to; ++i)
      if (items_[i] >= from)
        --items_[i];
    if (foundFrom) {
      for (int k = p + 1; k <= i - 1; ++k)
        items_[k - 1] = items_[k];
      items_[i - 1] = to;
    }
  } else {
    // A hidden item past the last visible one starts at the last entry; the
    // entry "at" the insertion point does not exist there.
    int i = foundFrom ? p - 1 : std::min(p, count_);
    for (; i >= 1 && items_[i] >= to; --i)
      if (items_[i] <= from)
        ++items_[i];
    const int s = i;
    if (foundFrom && q < visibleCount_)
      for (int k = p - 1; k >= s + 1; --k)
        items_[k + 1] = items_[k];
    if (foundFrom)
      items_[s + 1] = to;
  }
}

// ---------------------------------------------------------------------------
// Coordinates

void TdgCoordList::AddPair(int col, int row) {
  Add(col);
  Add(row);
}

void TdgCoordList::RemovePair(int col, int row) {
  for (std::size_t i = 0; i + 1 < items_.size(); i += 2)
    if (items_[i] == col && items_[i + 1] == row) {
      items_.erase(items_.begin() + i, items_.begin() + i + 2);
      return;
    }
}

void TdgCoordList::PutPair(int index, int col, int row) {
  if (index >= 0 && index < Count() - 1) {
    items_[index] = col;
    items_[index + 1] = row;
  }
}

bool TdgCoordList::NextPair(int &index, int &col, int &row) const {
  if (index >= 0 && index < Count() - 1) {
    col = items_[index];
    row = items_[index + 1];
    index += 2;
    return true;
  }
  col = row = 0;
  return false;
}

} // namespace marrowen
