#pragma once

#include "grid/data/gridhost.h"
#include "grid/data/sets.h"
#include "grid/data/variant.h"

#include <memory>
#include <optional>
#include <vector>

namespace marrowen {

class TdgCol;
class TdgRow;

// One column object per data column, position 0 the row bar.
class TdgGridCols {
public:
  TdgGridCols(TdgGridHost *grid, int count);
  virtual ~TdgGridCols();

  int Count() const { return static_cast<int>(items_.size()); }
  TdgCol *Item(int i) const { return items_.at(i).get(); }
  void Resize(int oldCount, int newCount);
  void SetCount(int oldCount) { Resize(oldCount, grid_->ColCount()); }
  // Moves N entries from `from` to `to`; the entries the block passes over
  // close the gap it leaves, so no column object is lost or left out.
  void MoveItems(int from, int to, int n);
  void PutItem(int i, std::unique_ptr<TdgCol> col) { items_.at(i) = std::move(col); }
  std::unique_ptr<TdgCol> TakeItem(int i) { return std::move(items_.at(i)); }
  TdgCol *ColByIndexOrName(const Variant &index);
  TdgCol *FindByFieldName(std::string_view name) const;

protected:
  virtual std::unique_ptr<TdgCol> CreateItem();

private:
  TdgGridHost *grid_;
  std::vector<std::unique_ptr<TdgCol>> items_;
  int nextId_ = 0;
};

// Row objects only where a row has its own properties (row 0 always), with
// each row's display position (once rows have moved) and serial number.
class TdgGridRows {
public:
  TdgGridRows(TdgGridHost *grid, int count);
  virtual ~TdgGridRows();

  int Count() const { return static_cast<int>(items_.size()); }
  TdgRow *Item(int i) const { return items_.at(i).get(); }
  void Resize(int oldCount, int newCount);
  void SetCount(int oldCount) { Resize(oldCount, grid_->RowCount()); }
  void EnsureDisplayMap();
  bool HasDisplayMap() const { return displayRows_.has_value(); }
  int GetDisplayRow(int dataRow) const;
  void SetDisplayRow(int dataRow, int displayRow);
  int GetRowId(int dataRow) const { return rowIds_.at(dataRow); }
  // Moves N rows from `from` to `to` with their ids and display rows; the rows
  // passed over close the gap.
  void MoveItems(int from, int to, int n);
  // Takes out the rows whose flag is set in one pass; later rows move up and
  // are renumbered, and the freed places at the end are empty until the
  // count is lowered.
  void RemoveItems(const std::vector<bool> &removed);
  TdgRow *RowObject(int index);
  TdgRow &EnsureRowObject(int index);
  void FreeRow(int index) { items_.at(index).reset(); }
  void ReleaseIfDefault(int index);
  int GetHeight(int index) const;
  void SetHeight(int index, int height);
  int GetRequestedHeight(int index) const;
  void SetRequestedHeight(int index, int height);
  void ApplyHeight(int index, int height);

protected:
  virtual std::unique_ptr<TdgRow> CreateItem();

private:
  TdgGridHost *grid_;
  std::vector<std::unique_ptr<TdgRow>> items_;
  std::optional<std::vector<int>> displayRows_;
  std::vector<int> rowIds_;
  int nextId_ = 0;
};

// The visible positions of columns or rows, ascending. While inactive they are
// exactly 1 .. VisibleCount and the array is unused; the first hidden position
// makes the list active.
class TdgVisibleItems : public TdgSortIntList {
public:
  void Assign(const TdgSortIntList &source) override;
  std::int32_t Get(int pos) const override;
  int Add(std::int32_t value) override;
  int Search(std::int32_t value, bool &found) const override;
  void Remove(std::int32_t value) override;
  void Fill(int newCount, int firstValue);
  void SetVisibleCount(int newCount, int firstValue);
  // Renumbers for the item at position `from` moving to position `to`.
  void MoveItem(int from, int to);
  // Holds exactly the positions of `shown`, ascending.
  void Rebuild(const std::vector<int> &shown);

  int VisibleCount() const { return visibleCount_; }
  bool Active() const { return active_; }

private:
  int visibleCount_ = 0;
  bool active_ = false;
};

// Cell coordinates as consecutive (column, row) items.
class TdgCoordList : public TdgIntegerList {
public:
  void AddPair(int col, int row);
  void RemovePair(int col, int row);
  void PutPair(int index, int col, int row);
  bool NextPair(int &index, int &col, int &row) const;
};

} // namespace marrowen
