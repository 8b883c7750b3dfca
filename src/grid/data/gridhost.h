#pragma once

#include "grid/data/buttons.h"
#include "grid/data/font.h"
#include "grid/data/gridtypes.h"
#include "grid/data/variant.h"

#include <memory>
#include <string>
#include <string_view>

namespace marrowen {

class ComponentReader;
class ComponentWriter;
class TComponent;
class TdgCol;
class TdgComboGrid;
class TdgCoordList;
class TdgCellElement;
class TdgDateTimeDefComponent;
class TdgRow;
class TdgVisibleItems;

// A combo drop-down's settings, owned by a column, row or cell that has its
// own, and by the grid; the grid makes them. Each setting lives on the
// combo's list grid, and a setter given the current value leaves the list
// alone. Streams as its list grid, a component.
class TdgCombo {
public:
  virtual ~TdgCombo() = default;
  virtual int DropDownRows() const = 0;
  virtual void SetDropDownRows(int value) = 0;
  virtual int DropDownCols() const = 0;
  virtual void SetDropDownCols(int value) = 0;
  virtual int ValueCol() const = 0;
  virtual void SetValueCol(int value) = 0;
  virtual bool ValueColSorted() const = 0;
  virtual void SetValueColSorted(bool value) = 0;
  virtual TdgComboCompareType CompareType() const = 0;
  virtual void SetCompareType(TdgComboCompareType value) = 0;
  virtual TdgComboAutoSearchType AutoSearch() const = 0;
  virtual void SetAutoSearch(TdgComboAutoSearchType value) = 0;
  virtual bool AutoFill() const = 0;
  virtual void SetAutoFill(bool value) = 0;
  virtual TdgConvertCase AutoFillConvertCase() const = 0;
  virtual void SetAutoFillConvertCase(TdgConvertCase value) = 0;
  virtual TdgDropDownStyle DropDownStyle() const = 0;
  virtual void SetDropDownStyle(TdgDropDownStyle style) = 0;
  // Back to the settings and look of a new combo.
  virtual void Reinitialise() = 0;
  virtual TdgComboGrid *ComboGrid() const = 0;
  virtual void SetWidth(int width) = 0;
  virtual void Assign(const TdgCombo &source) = 0;
  virtual void writeInnerGrid(ComponentWriter &writer) const = 0;
  // Reads the inner grid and lets it finish loading.
  virtual void readInnerGrid(ComponentReader &reader) = 0;
};

// The grid as its data objects see it: what they ask of it and what they tell
// it to do. Columns and rows are given by data index unless a name says display.
class TdgGridHost {
public:
  virtual ~TdgGridHost() = default;

  // The grid as a component: its name (for error texts) and free notification.
  virtual TComponent &gridComponent() = 0;

  // Reports a grid error: raises EInvalidGridOperation "<Name>: <text>" unless
  // the grid's raise-errors flag is off, in which case it answers normally.
  virtual void reportError(const std::string &text) = 0;
  // Whether value lies in low..high; outside, "Column index %d out of range"
  // (or "Row ...") is reported first.
  virtual bool checkIndex(TdgIndexKind kind, int value, int low, int high) = 0;

  // Counts of the base grid, column 0 and row 0 included, and of data.
  virtual int ColCount() const = 0;
  virtual int RowCount() const = 0;
  virtual int Cols() const { return ColCount() - 1; }
  virtual int Rows() const { return RowCount() - 1; }
  virtual bool isInsertRow(int dataRow) const = 0;

  // Sizes: the grid's defaults, its own requested default row height, and the
  // base grid's widths and heights by display position.
  virtual int DefaultColWidth() const = 0;
  virtual int DefaultRowHeight() const = 0;
  virtual int requestedDefaultRowHeight() const = 0;
  // The frame a cell button's descriptor adds around each face.
  virtual int buttonFrameWidth() const { return 0; }
  virtual int colWidth(int displayCol) const = 0;
  virtual void setColWidth(int displayCol, int width) = 0;
  virtual int rowHeight(int displayRow) const = 0;
  virtual void setRowHeight(int displayRow, int height) = 0;
  // After a width or height change: column 0 and row 0 take the row bar's
  // width and the heading's height again, unless the user is sizing them.
  virtual void restoreFixedSizes() = 0;

  // Display maps.
  virtual int displayColOf(int dataCol) const = 0;
  virtual int dataColAt(int displayCol) const = 0;
  virtual int displayRowOf(int dataRow) const = 0;
  virtual void setDisplayRowOf(int dataRow, int displayRow) = 0;
  // Moves a column in display order with its width, visibility, selection and
  // cell-property index.
  virtual void moveColumn(int fromDisplay, int toDisplay) = 0;
  virtual TdgVisibleItems &visibleCols() = 0;
  virtual TdgVisibleItems &visibleRows() = 0;

  // Fonts: the grid's, its heading font, and whether a column or row without
  // its own font answers a fresh copy of the grid's font when asked.
  virtual const TFont &Font() const = 0;
  virtual const TFont &HeadingFont() const = 0;
  virtual bool parentFontCopies() const = 0;
  // The font the grid paints a cell with (cell, row, column, grid).
  virtual const TFont &cellFont(int dataCol, int dataRow) const = 0;
  virtual void registerKeepOwnFonts(TdgCol *col, bool keep) = 0;
  virtual void registerKeepOwnFonts(TdgRow *row, bool keep) = 0;
  virtual TdgCoordList &keptFontCells() = 0;

  // States.
  virtual bool isLoading() const = 0;
  virtual bool isDestroying() const = 0;
  virtual bool isComboGrid() const = 0;
  virtual bool paintSuppressed() const = 0;
  virtual bool directCellPaint() const = 0;

  // The current cell, by data index; -1 when there is none.
  virtual int currentDataCol() const = 0;
  virtual int currentDataRow() const = 0;
  // Whether the current cell may go to another column (newDataCol 0) or
  // another row (newDataRow 0): the edit there must end first.
  virtual bool canLeaveCell(int newDataCol, int newDataRow) = 0;
  virtual void moveOffColumn(int dataCol) = 0;
  virtual void moveOffRow(int dataRow) = 0;
  virtual void endEdit() = 0;
  virtual void refreshEditor() = 0;
  virtual void reenterCell() = 0;
  virtual void reapplyMask(int dataCol, int dataRow) = 0;
  virtual void setEditorMaxLength(int dataCol, int maxLength) = 0;
  virtual void refreshCheckBoxValues() = 0;

  // Repainting and layout.
  virtual void repaintColumn(int dataCol) = 0;
  virtual void repaintHeading(int dataCol) = 0;
  virtual void repaintRow(int dataRow) = 0;
  virtual void repaintCell(int dataCol, int dataRow) = 0;
  virtual void invalidateCell(int displayCol, int displayRow) = 0;
  virtual void relayout() = 0;
  virtual void correctScrolling() = 0;
  virtual void dropColSelection(int dataCol) = 0;
  virtual void dropRowSelection(int dataRow) = 0;
  virtual void setColSelected(int dataCol, bool selected) = 0;
  virtual void setRowSelected(int dataRow, bool selected) = 0;

  // Stored values that no longer fit a changed control type (-1: all).
  virtual void dropUnfitValues(int dataCol, int dataRow) = 0;

  // Drop-downs and buttons.
  virtual void ensureSharedCombo() = 0;
  virtual std::unique_ptr<TdgCombo> makeCombo() = 0;
  virtual std::unique_ptr<TdgCustomButton> makeButton(const TdgCustomButton &like) = 0;
  virtual void closeDateTimePopup() = 0;
  virtual void dropDateTimePopupOf(TdgDateTimeDefComponent *definition) = 0;

  // Cell elements: created, registered in the per-column and per-row indexes,
  // and removed.
  virtual void cellElementAdded(TdgCellElement &element) = 0;
  virtual void cellElementRemoved(TdgCellElement &element) = 0;

  // The per-cell accessors, by property number (a Variant of the property's
  // type; objects have their own pairs).
  virtual Variant cellProperty(int dataCol, int dataRow, int number, int subIndex) = 0;
  virtual void setCellProperty(int dataCol, int dataRow, int number, int subIndex,
                               const Variant &value) = 0;
  virtual TFont *cellOwnFont(int dataCol, int dataRow) = 0;
  virtual void setCellFont(int dataCol, int dataRow, const TFont *font) = 0;
  virtual TdgCombo *cellCombo(int dataCol, int dataRow) = 0;
  virtual TdgCombo &ensureCellCombo(int dataCol, int dataRow) = 0;
  virtual TdgDateTimeDefComponent *cellDateTimeDef(int dataCol, int dataRow) = 0;
  virtual void setCellDateTimeDef(int dataCol, int dataRow, TdgDateTimeDefComponent *def) = 0;
};

} // namespace marrowen
