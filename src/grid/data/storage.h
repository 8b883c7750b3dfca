#pragma once

#include "grid/data/sets.h"
#include "grid/data/variant.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace marrowen {

// Kinds of stored cells; the same numbers tag the cells of the "Data" stream.
enum TdgCellKind : std::uint8_t {
  ckEmpty = 0,
  ckText = 1,
  ckInteger = 2,
  ckPicture = 3,
  ckPictureName = 4,
  ckNull = 5,
};

// The grid's own cell values: typed cells by data column and data row, both
// from 1. Row slot 0 is the holding row, which keeps a copy of one row while
// it is edited and is never streamed. Every allocated cell at or past a row's
// used count, and every cell of a row without cells, is empty. Pictures are
// shared: the last cell (or caller) to let go of one frees it.
class Tdg2DStorage {
public:
  explicit Tdg2DStorage(int minCols = 0, int minRows = 0) : MinCols(minCols), MinRows(minRows) {}
  virtual ~Tdg2DStorage() = default;
  Tdg2DStorage(const Tdg2DStorage &) = delete;
  Tdg2DStorage &operator=(const Tdg2DStorage &) = delete;

  virtual void Assign(const Tdg2DStorage *source);
  virtual void SaveRow(int row);
  virtual void ClearSavedRow();
  virtual void RemoveCols(int fromCol, int toCol);
  virtual void RemoveRows(int fromRow, int toRow);
  // Removes every row whose flag is set, in one pass; later rows move up.
  void RemoveRowSet(const std::vector<bool> &removed);
  virtual Variant GetValue(int col, int row) const;
  virtual std::uint8_t GetKind(int col, int row) const;
  // Reads the "Data" stream. With `targetCols`, stream column i goes to entry
  // i - 1 of the list (or i past its end) and only the listed columns are
  // cleared first. A damaged stream raises EReadError and changes nothing.
  virtual void ReadValues(std::string_view data, const TdgIntegerList *targetCols = nullptr);
  virtual void RestoreRow(int row);
  // Appends the "Data" stream to `out`.
  virtual void WriteValues(std::string &out) const;
  // Stores `value` as `kind`; a value that does not convert raises
  // EConvertError and leaves the cell as it was.
  virtual void SetValue(int col, int row, const Variant &value, std::uint8_t kind);

  // Column capacity of a row that must grow, and the row-slot hint; the grid
  // keeps them at its column and row counts. Rows past MinRows are not read.
  int MinCols;
  int MinRows;
  bool OwnerFlag = false;

  int RowSlots() const { return static_cast<int>(rows_.size()); }
  int UsedCols(int row) const;
  int Capacity(int row) const;
  int LastRow() const;
  int TrimmedColCount(int row) const;

private:
  // The alternative's index is the cell's kind, so a cell is one variant.
  struct PictureName {
    std::string text;
  };
  struct NullMark {};
  using Value =
      std::variant<std::monostate, std::string, std::int32_t, Picture, PictureName, NullMark>;
  struct Cell {
    Value value;
    std::uint8_t kind() const { return static_cast<std::uint8_t>(value.index()); }
  };
  struct Row {
    std::vector<Cell> cells; // size is the capacity; empty: no arrays
    int used = 0;
  };

  bool hasCells(int row) const { return row >= 0 && row < RowSlots() && !rows_[row].cells.empty(); }
  void clearCell(Cell &cell) { cell.value = std::monostate{}; }
  void clearRow(int row, int newCapacity);
  void clearCol(int col);
  void clearFrom(int fromRow, bool shrink);
  void setRowSlots(int count) { rows_.resize(count > 0 ? count : 0); }
  void setRowCapacity(int row, int newCapacity);
  void ensureRow(int row);
  void ensureCol(int col, int row);
  void copyRow(int fromRow, int toRow);
  void put(int col, int row, Value &&value);

  std::vector<Row> rows_;
};

} // namespace marrowen
