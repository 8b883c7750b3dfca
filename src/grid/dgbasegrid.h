#pragma once

#include "grid/basegrid.h"
#include "grid/cells.h"
#include "grid/colrow.h"
#include "grid/component.h"
#include "grid/font.h"
#include "grid/gridhost.h"
#include "grid/gridtypes.h"
#include "grid/published.h"
#include "grid/selection.h"
#include "grid/storage.h"
#include "grid/tables.h"
#include "grid/variant.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace marrowen {

enum TdgGridMode : std::uint8_t { gmListBox, gmEdit, gmEditInsert, gmBrowse };
enum TdgRowSelectMode : std::uint8_t { rsNone, rsSingle, rsMulti };
enum TdgDrawOverlap : std::uint8_t { doDrawColOnTop, doDrawRowOnTop };
// What is selected: nothing, columns, rows, or a range of cells.
enum TdgGridStatus : std::uint8_t {
  gsNothing = 0,
  gsColsSelected = 1,
  gsRowsSelected = 2,
  gsCellRange = 3
};
enum TdgSelectType : std::uint8_t { stRows = 0, stCols = 1, stCells = 2 };

class TdgBaseGrid;

// The grid's current cell as one object: where it is, the value being edited
// there (held until it is written), and the moves and checks that concern it.
class TdgCurrentCell {
public:
  explicit TdgCurrentCell(TdgBaseGrid &grid) : Grid(grid) {}
  virtual ~TdgCurrentCell() = default;

  // Display position; -1 when the grid has no current cell.
  int DisplayCol() const;
  int DisplayRow() const;
  virtual TdgControlType ControlType() const;
  // Unassigned without a current cell; else the held value, or the stored one.
  virtual Variant GetValue() const;
  // Takes a value for the current cell when the grid may change it; answers
  // whether it was taken.
  virtual bool SetValue(const Variant &value, bool startRowEdit, bool repaint);
  virtual void MoveToCol(int dataCol);
  virtual void Refresh();
  bool HasValue() const;
  bool ValueFor(int displayCol, int displayRow) const;
  void SetPending(const Variant &value);
  void DropPending();

  TdgBaseGrid &Grid;
};

// The grid's events; each fires through its virtual Do<Name> and only when
// assigned. Count, move and selection events stay silent while loading.
using TdgCountChangedEvent = std::function<void(TdgBaseGrid *, int oldCount, int newCount)>;
using TdgMovedEvent = std::function<void(TdgBaseGrid *, int toDisplay, int count, bool byUser)>;
using TdgRowEvent = std::function<void(TdgBaseGrid *, int dataRow, bool byUser)>;
using TdgCellLoadedEvent =
    std::function<void(TdgBaseGrid *, int dataCol, int dataRow, Variant &value)>;
using TdgRowLoadedEvent = std::function<void(TdgBaseGrid *, int dataRow)>;
using TdgSelectChangedEvent = std::function<void(TdgBaseGrid *, TdgSelectType, bool byUser)>;
using TdgGridStatusChangedEvent =
    std::function<void(TdgBaseGrid *, TdgGridStatus oldStatus, TdgGridStatus newStatus)>;
using TdgRowChangedEvent = std::function<void(TdgBaseGrid *, int oldRow, int newRow)>;
using TdgNotifyEvent = std::function<void(TdgBaseGrid *)>;
using TdgCellEditingEvent =
    std::function<void(TdgBaseGrid *, int dataCol, int dataRow, bool &cancel)>;
using TdgRowEditingEvent = std::function<void(TdgBaseGrid *, int dataRow, bool &cancel)>;
using TdgUndoCellEditEvent =
    std::function<void(TdgBaseGrid *, int dataCol, int dataRow, bool byUser, bool &cancel)>;
using TdgUndoRowEditEvent =
    std::function<void(TdgBaseGrid *, int dataRow, bool byUser, bool &cancel)>;
using TdgCellEditEvent = std::function<void(TdgBaseGrid *, int dataCol, int dataRow, bool byUser)>;
using TdgColChangedEvent = std::function<void(TdgBaseGrid *, int oldCol, int newCol)>;
using TdgCellChangedEvent =
    std::function<void(TdgBaseGrid *, int oldCol, int newCol, int oldRow, int newRow)>;
using TdgResizedEvent = std::function<void(TdgBaseGrid *, int rowColNr)>;
using TdgTopLeftChangedEvent =
    std::function<void(TdgBaseGrid *, int oldCol, int oldRow, int newCol, int newRow, bool byUser)>;

// The data grid: data columns 1..Cols and data rows 1..Rows shown in display
// order behind the row bar (display column 0) and the heading (display row
// 0). Display positions map to data numbers both ways; values live in the
// grid's storage while StoreData is on. Every index error goes through one
// routine, which names the grid and raises unless errors are switched off.
class TdgBaseGrid : public TCustomGrid_dg, public TdgGridHost, public Published {
public:
  explicit TdgBaseGrid(QWidget *parent = nullptr);
  ~TdgBaseGrid() override;

  using TCustomGrid_dg::ColCount;
  using TCustomGrid_dg::RowCount;
  int ColCount() const override { return TCustomGrid_dg::ColCount(); }
  int RowCount() const override { return TCustomGrid_dg::RowCount(); }
  int DefaultColWidth() const override { return TCustomGrid_dg::DefaultColWidth(); }
  int DefaultRowHeight() const override { return TCustomGrid_dg::DefaultRowHeight(); }

  // Column and row objects.
  TdgCol *GetCol(const Variant &index);
  bool GetRowVisible(int dataRow);
  virtual void SetRowVisible(int dataRow, bool visible);
  TdgGridCols &ColStore() { return *FColStore; }
  TdgGridRows &RowStore() { return *FRowStore; }

  // Identity, errors and loading.
  std::string Name() const;
  void SetName(const std::string &name);
  bool RaiseErrors() const { return FRaiseErrors; }
  void SetRaiseErrors(bool value) { FRaiseErrors = value; }
  // Raises EInvalidGridOperation "<Name>: <text>" while errors are on.
  void ReportError(const std::string &text) const;
  // Whether value lies in low..high; outside it the range error is reported.
  bool CheckIndex(TdgIndexKind kind, int value, int low, int high) const;
  virtual bool NotLoading() const { return FLoadCount == 0; }
  // Enclose code that configures a grid as its form stream would; endLoad
  // runs Loaded.
  void beginLoad();
  void endLoad();
  virtual void Loaded();
  virtual std::string GetVersion() const { return "2.01"; }
  virtual void SetVersion(const std::string &) {}

  // The form stream: the published table, and "ColWidths", "RowHeights",
  // the legacy entries, "ImageListIds", the three property collections and
  // "Data" as defined properties.
  std::span<const PublishedProperty> publishedProperties() const override;
  void writeDefinedProperties(ComponentWriter &writer, std::string_view prefix) const override;
  bool readDefinedProperty(std::string_view name, ComponentReader &reader) override;
  // Suspends writing the collections and "Data" (False) or resumes it (True).
  void SuspendDataWriting(bool resume);
  // Whether a value suits a cell of the control type; a refusal is reported.
  bool CheckCellValue(TdgControlType type, const Variant &value) const;
  TdgHorzAlignment HeadingHorzAlignment() const { return FHeadingHorzAlignment; }
  const std::vector<std::string> &ImageListIds() const { return FImageListIds; }

  // Counts and positions.
  int Cols() const override { return FDataCols - FPendingColRemovals; }
  virtual void SetCols(int value);
  int Rows() const override { return FDataRows - FPendingRowRemovals; }
  virtual void SetRows(int value);
  TdgGridMode GridMode() const { return FGridMode; }
  void SetGridMode(TdgGridMode value);
  int InsertRowFlag() const { return FInsertRowFlag; }
  void InsertRow(int displayRow);
  int GetCurrentDataRow() const;
  void SetCurrentDataRow(int dataRow);
  int GetCurrentDataCol() const;
  int GetDataRow(int displayRow) const;
  int DataRowAt(int displayRow) const;
  int DataColAt(int displayCol) const;
  int DisplayColOf(int dataCol) const;
  virtual int GetDisplayRowOf(int dataRow) const;
  virtual void SetDisplayRowOf(int dataRow, int displayRow);
  bool GetRowMoving() const { return FRowMoving; }
  void SetRowMoving(bool value) { FRowMoving = value; }
  void MoveRows(int fromDisplay, int toDisplay);
  void MoveCols(int fromDisplay, int toDisplay);

  // Cell values.
  bool StoreData() const { return FStorage != nullptr; }
  void SetStoreData(bool value);
  Tdg2DStorage *Storage() const { return FStorage.get(); }
  virtual Variant GetCell(int dataCol, int dataRow);
  virtual void SetCell(int dataCol, int dataRow, const Variant &value);
  virtual TdgControlType EffectiveControlType(int dataCol, int dataRow) const;

  // Per-cell properties by the cell property numbers, with their defaults
  // where a cell has no element; the one-element cache serves a paint's
  // repeated questions about one cell.
  TdgCellElement *CellElement(int dataCol, int dataRow, bool testIndexes);
  TdgCellPropSet &CellProps() { return FCellProps; }
  Variant GetCellProperty(int dataCol, int dataRow, int number, int subIndex = 0);
  void SetCellProperty(int dataCol, int dataRow, int number, const Variant &value,
                       int subIndex = 0);
  // Per-row properties through the row objects, made only for non-defaults.
  TColor GetRowColor(int dataRow);
  void SetRowColor(int dataRow, TColor value);
  TdgControlType GetRowControlType(int dataRow);
  void SetRowControlType(int dataRow, TdgControlType value);
  int GetRowHeight(int dataRow);
  void SetRowHeight(int dataRow, int value);
  bool GetRowReadOnly(int dataRow) const;
  void SetRowReadOnly(int dataRow, bool value);
  bool GetRowIs3D(int dataRow);
  void SetRowIs3D(int dataRow, bool value);
  TdgWordWrap GetRowWordWrap(int dataRow);
  void SetRowWordWrap(int dataRow, TdgWordWrap value);
  TdgButtonType GetRowButtonType(int dataRow);
  void SetRowButtonType(int dataRow, TdgButtonType value);

  // The value that applies to one cell: cell, then row and column in
  // DrawOverlap order, then the grid.
  TdgDrawOverlap DrawOverlap() const { return FDrawOverlap; }
  void SetDrawOverlap(TdgDrawOverlap value);
  TColor HeadingColor() const { return FHeadingColor; }
  void SetHeadingColor(TColor value);
  int RowBarWidth() const { return FRowBarWidth; }
  void SetRowBarWidth(int value);
  int HeadingHeight() const { return FHeadingHeight; }
  void SetHeadingHeight(int value);
  bool Heading3D() const { return FHeading3D; }
  void SetHeading3D(bool value);
  bool Is3D() const { return FIs3D; }
  void SetIs3D(bool value) { FIs3D = value; }
  TdgWordWrap WordWrap() const { return FWordWrap; }
  void SetWordWrap(TdgWordWrap value) { FWordWrap = value; }
  TColor EffectiveColor(int dataCol, int dataRow, bool drawn3D);
  const TFont &EffectiveFont(int dataCol, int dataRow);
  TdgWordWrap EffectiveWordWrap(int dataCol, int dataRow);
  TdgHorzAlignment EffectiveHorzAlignment(int dataCol, int dataRow);
  bool EffectiveIs3D(int dataCol, int dataRow);
  // The control type as painting and editing see it: rows up to the last
  // display row, the insert row included.
  TdgControlType CellControlType(int dataCol, int dataRow);

  // Row selection and the grid status.
  TdgRowSelectMode RowSelectMode() const { return FRowSelectMode; }
  void SetRowSelectMode(TdgRowSelectMode value);
  virtual void SelectRows(int fromDisplay, int toDisplay);
  virtual void DeselectRows(int fromDisplay, int toDisplay);
  virtual void ClearRowSelection();
  virtual bool RowSelected(int dataRow) const;
  virtual void SelectCurrentRow();
  bool CurrentRowSelected() const { return RowSelected(GetCurrentDataRow()); }
  const TdgSelection &RowSelection() const { return FRowSelection; }
  TdgGridStatus GridStatus() const { return FGridStatus; }
  void FireSelectChanged(bool byUser);
  void ReportGridStatus();

  // Column selection.
  virtual void SelectCols(int fromDisplay, int toDisplay);
  virtual void DeselectCols(int fromDisplay, int toDisplay);
  void ClearColSelection() { DeselectCols(1, ColCount() - 1); }
  void ToggleCols(int fromDisplay, int toDisplay);
  void SelectOnlyCols(int fromDisplay, int toDisplay) {
    ClearColSelection();
    SelectCols(fromDisplay, toDisplay);
  }
  const TdgSelection &ColSelection() const { return FColSelection; }

  // The current cell's value while it is edited, by display position.
  bool HasValue() const { return !FPendingValue.isEmpty(); }
  bool ValueFor(int displayCol, int displayRow) const {
    return HasValue() && FPendingCol == displayCol && FPendingRow == displayRow;
  }
  void SetPending(const Variant &value);
  void DropPending();
  const Variant &PendingValue() const { return FPendingValue; }
  // Moves the current cell to a data column of the current row while a new
  // row is typed (gmEditInsert, not on the insert row).
  virtual void MoveToCol(int dataCol);

  TdgCurrentCell &CurrentCell() { return FCurrentCell; }

  // The editing flow.
  bool EditingAllowed() const;
  virtual bool StartEdit();
  virtual bool StartCellEdit();
  virtual bool StartRowEdit();
  virtual bool CanLeaveCell(int newDataCol, int newDataRow, bool byUser);
  virtual bool EndEdit();
  virtual bool EndRowEdit();
  virtual bool EndCellAndRowEdit(bool byUser);
  virtual bool UndoEdit(bool byUser, bool wholeRow);
  // The in-place editor's value changed: the current cell holds it and, with
  // StoreData, the storage too.
  virtual void EditorValueChanged(const Variant &value);
  bool CellEditing() const { return FCellEditing; }
  bool RowEditing() const { return FRowEditing; }
  bool RowChangedMark(int dataRow) const;
  bool DoMouseWheel(TShiftState shift, int wheelDelta, QPoint mousePos) override;
  // The system's lines per wheel notch.
  virtual int WheelScrollLines() const;

  // Deletion.
  virtual void DeleteRows(int fromRow, int toRow);
  virtual void DeleteSelectedRows();
  virtual void DeleteCols(int fromCol, int toCol);
  virtual void DeleteSelectedCols();

  // Firing operations.
  virtual void DoColCountChanged(int oldCount, int newCount);
  virtual void DoRowCountChanged(int oldCount, int newCount);
  virtual void DoRowMoved(int toDisplayRow, int count, bool byUser);
  virtual void DoDeleteCol(int dataCol, bool byUser);
  virtual void DoColMoved(int toDisplayCol, int count, bool byUser);
  virtual void DoColChanged(int oldCol, int newCol);
  virtual bool DoStartCellEdit(int dataCol, int dataRow) = 0;
  virtual bool DoStartRowEdit(int dataRow) = 0;
  virtual bool DoEndCellEdit(int dataCol, int dataRow) = 0;
  virtual bool DoEndRowEdit(int dataRow) = 0;
  virtual bool DoUndoCellEdit(int dataCol, int dataRow, bool byUser) = 0;
  virtual bool DoUndoRowEdit(int dataRow, bool byUser) = 0;
  virtual void DoCellEdit(int dataCol, int dataRow, bool byUser) = 0;
  virtual void DoRowChanged(int oldRow, int newRow) = 0;
  virtual void DoCellChanged(int oldCol, int newCol, int oldRow, int newRow) = 0;
  virtual void DoColResized(int colNr);
  virtual void DoRowResized(int rowNr);
  virtual void DoResize();
  virtual void DoPaint();
  virtual void TopLeftChangedBy(int oldCol, int oldRow, bool byUser, int newCol, int newRow) = 0;
  // The drop-down factories of the event layer; the base has none.
  virtual std::unique_ptr<TdgCombo> CreateCombo();
  virtual QWidget *CreateComboGrid();
  virtual void DoSelectChanged(TdgSelectType type, bool byUser);
  virtual void DoGridStatusChanged(TdgGridStatus oldStatus, TdgGridStatus newStatus);
  virtual void RowInserted(int dataRow, bool byUser) = 0;
  virtual void RowDeleted(int dataRow, bool byUser) = 0;
  // Fetches a value for display or reading: the row-loaded and cell-loaded
  // events, and the conversion of what the handler left.
  virtual void CellLoaded(int dataCol, int dataRow, Variant &value, TdgControlType type) = 0;

  TdgCountChangedEvent OnColCountChanged;
  TdgCountChangedEvent OnRowCountChanged;
  TdgMovedEvent OnRowMoved;
  TdgRowEvent OnInsertRow;
  TdgRowEvent OnDeleteRow;
  TdgRowEvent OnDeleteCol;
  TdgMovedEvent OnColMoved;
  TdgResizedEvent OnColResized;
  TdgResizedEvent OnRowResized;
  TdgNotifyEvent OnResize;
  TdgNotifyEvent OnPaint;
  TdgTopLeftChangedEvent OnTopLeftChanged;
  TdgCellEditingEvent OnStartCellEdit;
  TdgCellEditingEvent OnEndCellEdit;
  TdgRowEditingEvent OnStartRowEdit;
  TdgRowEditingEvent OnEndRowEdit;
  TdgUndoCellEditEvent OnUndoCellEdit;
  TdgUndoRowEditEvent OnUndoRowEdit;
  TdgCellEditEvent OnCellEdit;
  TdgColChangedEvent OnColChanged;
  TdgCellChangedEvent OnCellChanged;
  TdgCellLoadedEvent OnCellLoaded;
  TdgRowLoadedEvent OnRowLoaded;
  TdgSelectChangedEvent OnSelectChanged;
  TdgGridStatusChangedEvent OnGridStatusChanged;
  TdgRowChangedEvent OnRowChanged;

  // What the column, row and cell objects ask of their grid.
  TComponent &gridComponent() override { return FComponent; }
  void reportError(const std::string &text) override { ReportError(text); }
  bool checkIndex(TdgIndexKind kind, int value, int low, int high) override {
    return CheckIndex(kind, value, low, high);
  }
  bool isInsertRow(int dataRow) const override {
    return FInsertRowFlag && dataRow == RowCount() - 1;
  }
  int requestedDefaultRowHeight() const override { return FRequestedDefaultRowHeight; }
  int colWidth(int displayCol) const override { return ColWidths(displayCol); }
  void setColWidth(int displayCol, int width) override;
  int rowHeight(int displayRow) const override { return RowHeights(displayRow); }
  void setRowHeight(int displayRow, int height) override;
  void restoreFixedSizes() override;
  int displayColOf(int dataCol) const override { return DisplayColOf(dataCol); }
  int dataColAt(int displayCol) const override { return DataColAt(displayCol); }
  int displayRowOf(int dataRow) const override;
  void setDisplayRowOf(int dataRow, int displayRow) override;
  void moveColumn(int fromDisplay, int toDisplay) override;
  TdgVisibleItems &visibleCols() override { return FVisibleCols; }
  TdgVisibleItems &visibleRows() override { return FVisibleRows; }
  const TFont &Font() const override { return FFont; }
  const TFont &HeadingFont() const override { return FHeadingFont; }
  bool parentFontCopies() const override { return false; }
  const TFont &cellFont(int, int) const override { return FFont; }
  void registerKeepOwnFonts(TdgCol *, bool) override {}
  void registerKeepOwnFonts(TdgRow *, bool) override {}
  TdgCoordList &keptFontCells() override { return FKeptFontCells; }
  bool isLoading() const override { return !NotLoading(); }
  bool isDestroying() const override { return FDestroying; }
  bool isComboGrid() const override { return false; }
  bool paintSuppressed() const override { return false; }
  bool directCellPaint() const override { return false; }
  int currentDataCol() const override;
  int currentDataRow() const override;
  bool canLeaveCell() override { return true; }
  void moveOffColumn(int) override {}
  void moveOffRow(int dataRow) override;
  void endEdit() override { HideEditor(); }
  void refreshEditor() override { UpdateEdit(); }
  void reenterCell() override {}
  void reapplyMask(int, int) override {}
  void setEditorMaxLength(int, int) override {}
  void refreshCheckBoxValues() override { InvalidateGrid(); }
  void repaintColumn(int dataCol) override;
  void repaintHeading(int dataCol) override { InvalidateCell(DisplayColOf(dataCol), 0); }
  void repaintRow(int dataRow) override;
  void repaintCell(int dataCol, int dataRow) override {
    InvalidateCell(DisplayColOf(dataCol), displayRowOf(dataRow));
  }
  void invalidateCell(int displayCol, int displayRow) override {
    InvalidateCell(displayCol, displayRow);
  }
  void relayout() override { UpdateScrollRange(); }
  void correctScrolling() override { UpdateScrollRange(); }
  void dropColSelection(int) override {}
  void dropRowSelection(int dataRow) override;
  void setColSelected(int, bool) override {}
  void setRowSelected(int dataRow, bool selected) override;
  void dropUnfitValues(int, int) override {}
  void ensureSharedCombo() override {}
  std::unique_ptr<TdgCombo> makeCombo() override { return CreateCombo(); }
  std::unique_ptr<TdgCustomButton> makeButton(const TdgCustomButton &) override { return {}; }
  void closeDateTimePopup() override {}
  void dropDateTimePopupOf(TdgDateTimeDefComponent *) override {}
  void cellElementAdded(TdgCellElement &element) override;
  void cellElementRemoved(TdgCellElement &element) override;
  Variant cellProperty(int dataCol, int dataRow, int number, int subIndex) override {
    return GetCellProperty(dataCol, dataRow, number, subIndex);
  }
  void setCellProperty(int dataCol, int dataRow, int number, int subIndex,
                       const Variant &value) override {
    SetCellProperty(dataCol, dataRow, number, value, subIndex);
  }
  TFont *cellOwnFont(int, int) override { return nullptr; }
  void setCellFont(int, int, const TFont *) override {}
  TdgCombo *cellCombo(int, int) override { return nullptr; }
  TdgCombo &ensureCellCombo(int, int) override;
  TdgDateTimeDefComponent *cellDateTimeDef(int, int) override { return nullptr; }
  void setCellDateTimeDef(int, int, TdgDateTimeDefComponent *) override {}

protected:
  void DrawCell(std::int32_t col, std::int32_t row, const TRect &rect,
                TGridDrawState state) override;
  void SizeChanged(std::int32_t oldColCount, std::int32_t oldRowCount) override;
  bool SelectCell(std::int32_t col, std::int32_t row) override;
  void CurrentCellMoved() override;
  void ResetEditState();
  void ColWidthsChanged() override;
  void RowHeightsChanged() override;
  void TopLeftMoved(TGridCoord oldTopLeft) override;
  void Paint() override;
  void resizeEvent(QResizeEvent *e) override;

  void ApplyColCount(int n);
  void ApplyRowCount(int n);
  void MakeFixed();
  // Removes the given data rows (ascending, distinct) from the maps, heights,
  // selection and storage in one pass each; later rows are renumbered.
  void RemoveDataRows(const std::vector<int> &dataRows);
  void MoveRowDisplay(int fromDisplay, int toDisplay);
  // Cell elements of removed rows or columns go; later ones are renumbered.
  void RenumberCellElements(const std::vector<int> &newCol, const std::vector<int> &newRow);
  void DropCellCache() { FCacheValid = false; }
  const TdgCol *ColObject(int dataCol) const;
  const TdgRow *RowObject(int dataRow) const;
  TdgControlType ControlTypeCascade(int dataCol, int dataRow) const;
  // A row property through its row object: the getter answers the fallback
  // for a bad index or a row without object; the setter makes the object
  // only for a value other than the default, and frees one back at defaults.
  template <class T, class G> T RowGet(int dataRow, T fallback, G get) {
    if (!CheckIndex(TdgIndexKind::Row, dataRow, 1, RowCount() - 1))
      return fallback;
    const TdgRow *row = RowObject(dataRow);
    return row ? (row->*get)() : fallback;
  }
  template <class T, class S> void RowSet(int dataRow, T value, T defaultValue, S set) {
    if (!CheckIndex(TdgIndexKind::Row, dataRow, 1, RowCount() - 1))
      return;
    if (!RowObject(dataRow) && value == defaultValue)
      return;
    (FRowStore->EnsureRowObject(dataRow).*set)(value);
    FRowStore->ReleaseIfDefault(dataRow);
  }
  // The same for data columns.
  void RemoveDataCols(const std::vector<int> &dataCols);
  void PlaceCurrentCol(int displayCol);
  void PlaceCurrentRow(int displayRow);

  bool FInCellLoaded = false;
  bool FLoadingCell = false;
  int FLoadingCol = -1;
  int FLoadingRow = -1;
  Variant FLoadingValue;

private:
  bool FRaiseErrors = true;
  bool FDestroying = false;
  int FRequestedDefaultRowHeight = 14;
  TComponent FComponent;
  TFont FFont;
  TFont FHeadingFont;
  TdgCoordList FKeptFontCells;
  TdgVisibleItems FVisibleCols;
  TdgVisibleItems FVisibleRows;
  std::unique_ptr<TdgGridCols> FColStore;
  TdgCellPropSet FCellProps{this};
  bool FCacheValid = false;
  int FCacheCol = -1;
  int FCacheRow = -1;
  TdgCellElement *FCacheElement = nullptr;
  // How many cell elements lie in each data column and data row.
  std::vector<int> FColElements;
  std::vector<int> FRowElements;
  TdgDrawOverlap FDrawOverlap = doDrawColOnTop;
  TColor FHeadingColor = clBtnFace;
  bool FIs3D = false;
  bool FHeading3D = true;
  TdgWordWrap FWordWrap = wwOff;
  TdgHorzAlignment FHorzAlignment = htaDefault;
  TdgHorzAlignment FHeadingHorzAlignment = htaDefault;
  std::vector<std::string> FImageListIds;
  int FDataWritingSuspended = 0;
  // While "RowProperties" is read, display positions are collected and
  // applied as one order at the end.
  bool FReadingRows = false;
  TdgCurrentCell FCurrentCell{*this};
  Variant FPendingValue;
  int FPendingCol = -1;
  int FPendingRow = -1;
  bool FCellEditing = false;
  bool FRowEditing = false;
  bool FCellEditEnded = false;
  bool FRowChangedMarkOn = false;
  bool FAppended = false;
  bool FUndoing = false;
  bool FLeaving = false;
  int FLastReportedCol = -1;
  int FLastReportedRow = -1;
  std::vector<bool> FRowChangedMarks;
  std::vector<std::pair<int, int>> FPendingRowOrder;
  void ApplyPendingRowOrder();
  std::unique_ptr<TdgGridRows> FRowStore;
  int FLoadCount = 0;
  bool FSettingDefaults = false;
  int FDataCols = 0;
  int FDataRows = 0;
  int FPendingColRemovals = 0;
  int FPendingRowRemovals = 0;
  int FInsertRowFlag = 0;
  int FPreviousInsertRowFlag = 0;
  TdgGridMode FGridMode = gmEdit;
  TdgRowSelectMode FRowSelectMode = rsMulti;
  bool FRowMoving = true;
  int FRowBarWidth = 14;
  int FHeadingHeight = 15;
  // Display position to data number, and data row to display position.
  std::vector<int> FColMap;
  std::vector<int> FRowMap;
  std::vector<int> FRowOrder;
  TdgSelection FRowSelection;
  TdgSelection FColSelection;
  TdgGridStatus FGridStatus = gsNothing;
  TdgGridStatus FReportedStatus = gsNothing;
  bool FSelectChanged[3] = {false, false, false};
  std::unique_ptr<Tdg2DStorage> FStorage;
};

// The event layer: the firing operations that name a data row.
class TdgCustomGrid : public TdgBaseGrid {
public:
  using TdgBaseGrid::TdgBaseGrid;

  void RowInserted(int dataRow, bool byUser) override;
  void RowDeleted(int dataRow, bool byUser) override;
  void CellLoaded(int dataCol, int dataRow, Variant &value, TdgControlType type) override;
  void TopLeftChangedBy(int oldCol, int oldRow, bool byUser, int newCol, int newRow) override;
  std::unique_ptr<TdgCombo> CreateCombo() override;
  virtual void DoTopLeftChanged(int oldCol, int oldRow, int newCol, int newRow, bool byUser);
  bool DoStartCellEdit(int dataCol, int dataRow) override;
  bool DoStartRowEdit(int dataRow) override;
  bool DoEndCellEdit(int dataCol, int dataRow) override;
  bool DoEndRowEdit(int dataRow) override;
  bool DoUndoCellEdit(int dataCol, int dataRow, bool byUser) override;
  bool DoUndoRowEdit(int dataRow, bool byUser) override;
  void DoCellEdit(int dataCol, int dataRow, bool byUser) override;
  void DoRowChanged(int oldRow, int newRow) override;
  void DoCellChanged(int oldCol, int newCol, int oldRow, int newRow) override;
  virtual void DoInsertRow(int dataRow, bool byUser);
  virtual void DoDeleteRow(int dataRow, bool byUser);
  virtual void DoRowLoaded(int dataRow);
  virtual void DoCellLoaded(int dataCol, int dataRow, Variant &value);

  // The data row for which the row-loaded event fired last; a paint starts
  // it afresh.
  int LastLoadedRow = -1;
};

class TdgGrid : public TdgCustomGrid {
public:
  using TdgCustomGrid::TdgCustomGrid;
};

} // namespace marrowen
