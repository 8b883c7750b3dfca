#pragma once

#include "classlib/scopeexit.h"
#include "grid/basegrid/basegrid.h"
#include "grid/data/buttons.h"
#include "grid/data/cells.h"
#include "grid/data/colrow.h"
#include "grid/data/component.h"
#include "grid/data/font.h"
#include "grid/data/gridhost.h"
#include "grid/data/gridlook.h"
#include "grid/data/gridtypes.h"
#include "grid/data/links.h"
#include "grid/data/published.h"
#include "grid/data/selection.h"
#include "grid/data/storage.h"
#include "grid/data/tables.h"
#include "grid/data/variant.h"
#include "grid/editors/editorwrappers.h"
#include "grid/widget/basegridstate.h"
#include "grid/widget/celllevel.h"
#include "grid/widget/currentcell.h"
#include "grid/widget/datagridevents.h"
#include "grid/widget/datagridhost.h"
#include "grid/widget/datagridlook.h"
#include "grid/widget/datagridmouse.h"
#include "grid/widget/gridcomponent.h"
#include "grid/widget/gridevents.h"
#include "grid/widget/gridmodes.h"

#include <QFont>
#include <QPointer>
#include <QTimer>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QMenu;

namespace marrowen {

class PainterTextMetrics;
class TdgGridStreamComponent;
class TdgDropDownForm;
class TdgDateTimePicker;
class TdgGridDateTimeLink;
class TStream;

// The data grid: data columns 1..Cols and data rows 1..Rows shown in display
// order behind the row bar (display column 0) and the heading (display row
// 0). Display positions map to data numbers both ways; values live in the
// grid's storage while StoreData is on. Every index error goes through one
// routine, which names the grid and raises unless errors are switched off.
class TdgBaseGrid : public DataGridLook,
                    public DataGridHost,
                    public Published,
                    public DataGridEvents,
                    public DataGridMouseSettings,
                    protected TdgBaseGridState {
  friend class DataGridHost;
  friend class DataGridLook;

public:
  using CellLevel = marrowen::CellLevel;

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
  // The grid a drop-down's list drops down for; null for any other grid.
  TdgBaseGrid *ListOwner() const;
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
  // The collections and "Data" one by one, each as a value; the Has tests
  // say whether the form stream writes them.
  bool HasColItems() const;
  bool HasRowItems() const;
  bool HasCellItems() const;
  void WriteColProperties(ComponentWriter &writer) const;
  void WriteRowProperties(ComponentWriter &writer) const;
  void WriteCellProperties(ComponentWriter &writer) const;
  void WriteData(ComponentWriter &writer) const;
  // Suspends writing the collections and "Data" (False) or resumes it (True).
  void SuspendDataWriting(bool resume);
  // Whether a value suits a cell of the control type; a refusal is reported.
  bool CheckCellValue(TdgControlType type, const Variant &value) const;
  // The heading texts' look where a column sets none of its own.
  const std::vector<std::string> &ImageListIds() const { return FImageListIds; }
  // How "ColProperties" items find their column: 1 by data column, 0 by
  // field name (a layout read into a grid whose columns may have moved on).
  std::uint8_t ColMatchMode() const { return FColMatchMode; }
  void SetColMatchMode(std::uint8_t mode) { FColMatchMode = mode; }
  // Handed to each column matched by field name.
  std::uint32_t PropertyMask() const { return FPropertyMask; }
  void SetPropertyMask(std::uint32_t mask) { FPropertyMask = mask; }
  // Stored column (from 0) to current data column (0: dropped), built while
  // items are matched by field name; "Data" is read through it.
  const TdgIntegerList *LoadColMap() const { return FLoadColMap.get(); }
  void ClearLoadColMap() { FLoadColMap.reset(); }

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
  void MoveRows(int fromDisplay, int toDisplay);
  void MoveCols(int fromDisplay, int toDisplay);

  // Cells that hold file names (or messages naming files) are drawn as names
  // show, a byte that no UTF-8 holds apart from every letter; others as
  // engine text.
  void SetShowsFileNames(bool value);
  bool ShowsFileNames() const { return FShowsFileNames; }

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
  // A cell's own font: none while it follows its parents and the grid is
  // being written; while loading, a cell without one is given a copy of the
  // grid's font for the reader to change.
  TFont *GetCellFont(int dataCol, int dataRow);
  void SetCellFont(int dataCol, int dataRow, const TFont *font);
  // Whether the grid is being written to a stream.
  bool Saving() const { return FSaveCount > 0; }
  void beginSave() const { ++FSaveCount; }
  void endSave() const { --FSaveCount; }
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
  // The row's own font, or none while it follows the grid's.
  TFont *GetRowFont(int dataRow);
  void SetRowFont(int dataRow, const TFont *value);
  bool GetRowParentFont(int dataRow);
  void SetRowParentFont(int dataRow, bool value);
  bool GetRowKeepOwnFonts(int dataRow);
  void SetRowKeepOwnFonts(int dataRow, bool value);
  bool GetRowAlign(int dataRow);
  void SetRowAlign(int dataRow, bool value);
  int GetRowAlignment(int dataRow);
  void SetRowAlignment(int dataRow, int value);
  TdgHorzAlignment GetRowHorzAlignment(int dataRow);
  void SetRowHorzAlignment(int dataRow, TdgHorzAlignment value);
  TdgVertAlignment GetRowVertAlignment(int dataRow);
  void SetRowVertAlignment(int dataRow, TdgVertAlignment value);
  std::string GetRowMaskName(int dataRow);
  void SetRowMaskName(int dataRow, const std::string &value);
  TdgCombo *GetRowCombo(int dataRow);
  bool GetRowParentCombo(int dataRow);
  void SetRowParentCombo(int dataRow, bool value);
  TdgDrawOption GetRowStretchPicture(int dataRow);
  void SetRowStretchPicture(int dataRow, TdgDrawOption value);
  TdgDrawOption GetRowShrinkPicture(int dataRow);
  void SetRowShrinkPicture(int dataRow, TdgDrawOption value);
  TdgDrawOption GetRowCenterPicture(int dataRow);
  void SetRowCenterPicture(int dataRow, TdgDrawOption value);
  TdgDrawOption GetRowKeepAspectRatio(int dataRow);
  void SetRowKeepAspectRatio(int dataRow, TdgDrawOption value);
  TdgSpinOptions GetRowSpinOptions(int dataRow);
  void SetRowSpinOptions(int dataRow, TdgSpinOptions value);
  double GetRowSpinIncrement(int dataRow);
  void SetRowSpinIncrement(int dataRow, double value);
  TdgDateTimeDefComponent *GetRowDateTimeDef(int dataRow);
  void SetRowDateTimeDef(int dataRow, TdgDateTimeDefComponent *value);
  TdgDropDownStyle GetRowDropDownStyle(int dataRow);
  void SetRowDropDownStyle(int dataRow, TdgDropDownStyle value);
  // A row's order position: the serial number it got when it came into
  // being, ascending with the data row; -1 for a bad row. The data row that
  // holds a position, -1 when none does.
  int GetRowOrderPosition(int dataRow);
  int DataRowOfOrderPosition(int position) const;

  // The value that applies to one cell: cell, then row and column in
  // DrawOverlap order, then the grid.
  int RowBarWidth() const;
  void SetRowBarWidth(int value);
  int HeadingHeight() const;
  void SetHeadingHeight(int value);
  TColor EffectiveColor(int dataCol, int dataRow, bool drawn3D);
  const TFont &EffectiveFont(int dataCol, int dataRow);
  TdgWordWrap EffectiveWordWrap(int dataCol, int dataRow);
  TdgHorzAlignment EffectiveHorzAlignment(int dataCol, int dataRow);
  TdgVertAlignment EffectiveVertAlignment(int dataCol, int dataRow);
  // A picture option of the cell (1 stretch, 2 shrink, 3 centre, 4 keep
  // aspect), dopDefault where the grid's own setting applies.
  int PictureOption(int dataCol, int dataRow, int sub);
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
  // Every change of the grid status goes through here; a status that stops
  // editing drops the value being typed and hides the editor first.
  void ChangeGridStatus(TdgGridStatus value);
  // Moves the current cell within its row to the nearest column the moves
  // may stop on, when its own may no longer hold it.
  void RevalidateCurrentCol();
  void CurrentCellWritten(const Variant &value);

  // Column selection.
  virtual void SelectCols(int fromDisplay, int toDisplay);
  virtual void DeselectCols(int fromDisplay, int toDisplay);
  void ClearColSelection() { DeselectCols(1, ColCount() - 1); }
  void ToggleCols(int fromDisplay, int toDisplay);
  void SelectOnlyCols(int fromDisplay, int toDisplay);
  // Selects or deselects a range of columns from code: the row edit ends
  // first (nothing happens when it may not), rows and cell ranges selected
  // before are dropped, and the notices fire at the end.
  void SelectColRange(int fromDisplay, int toDisplay, bool select);
  const TdgSelection &ColSelection() const { return FColSelection; }

  // The current cell's value while it is edited. It belongs to the data
  // cell: rows and columns moved, inserted or deleted around it leave it
  // with its cell.
  bool HasValue() const { return !FPendingValue.isEmpty(); }
  bool ValueFor(int displayCol, int displayRow) const {
    return HasValue() && FPendingCol == DataColAt(displayCol) &&
           FPendingRow == DataRowAt(displayRow);
  }
  void SetPending(const Variant &value);
  void DropPending();
  const Variant &PendingValue() const { return FPendingValue; }
  // Moves the current cell to a data column of the current row while a new
  // row is typed (gmEditInsert, not on the insert row).
  virtual void MoveToCol(int dataCol);

  TdgCurrentCell &CurrentCell() { return FCurrentCell; }
  // What an empty cell of a control type counts as: no text, a grayed check
  // box, no picture.
  static Variant EmptyValueOf(TdgControlType type);

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
  // The current cell takes a value as an edit of the user's: the cell and
  // row edits start, OnCellEdit fires, and Escape takes it back. Answers
  // whether the value was taken.
  bool ChangeCurrentValue(const Variant &value, bool startRowEdit);
  bool CellEditing() const { return FCellEditing; }
  bool RowEditing() const { return FRowEditing; }
  virtual bool RowChangedMark(int dataRow) const;
  // Clearing the current row's mark also forgets that its edit changed it.
  virtual void SetRowChangedMark(int dataRow, bool value);
  // Whether the row bar marks a display row as changed.
  bool RowCountsAsChanged(int displayRow) const;
  bool DoMouseWheel(TShiftState shift, int wheelDelta, QPoint mousePos) override;
  // The system's lines per wheel notch.
  virtual int WheelScrollLines() const;

  // Deletion.
  virtual void DeleteRows(int fromRow, int toRow);
  virtual void DeleteSelectedRows();
  virtual void DeleteCols(int fromCol, int toCol);
  virtual void DeleteSelectedCols();

  // The drop-down factories of the event layer; the base has none.
  virtual std::unique_ptr<TdgCombo> CreateCombo();
  virtual std::unique_ptr<TdgComboGrid> CreateComboGrid();

  // ---- Copying another grid and saving or loading the layout.
  // Takes over everything of another grid; anything that is not a grid is
  // refused with "Cannot assign %s to %s" and nothing is copied.
  void Assign(const QObject &source);
  // Copies the chosen parts; with values the cell values come too, without
  // them values that no longer suit their cells are dropped.
  virtual void CopyGrid(const TdgBaseGrid &source, TdgPropKinds kinds, bool withValues);
  // The cell values alone; storage beyond this grid's counts is trimmed.
  void CopyCellValuesFrom(const TdgBaseGrid &source);
  // The grid's own properties back at a new grid's, as a full layout is read:
  // the default sizes only with their kinds, never the counts.
  void ResetOwnProperties(TdgPropKinds kinds);
  // Every column (pkCols) or row (pkRows) back to those of a new grid of the
  // same counts and default sizes: no own settings, shown, in data order.
  void ResetLinesToNew(TdgPropKinds kinds);
  bool BeingCopied() const { return FCopying > 0; }
  // The class name error texts give this grid.
  virtual std::string ClassName() const { return "TdgGrid"; }

  virtual void LoadFromStream(TStream &stream, bool fieldState);
  virtual void LoadFromFile(const std::string &fileName, bool fieldState);
  // Answers whether a layout was found and read.
  virtual bool LoadFromRegistry(const std::string &key, const std::string &valueName,
                                bool fieldState);
  virtual void SaveToStream(TStream &stream, TdgPropKinds kinds, std::uint32_t properties,
                            bool saveData);
  void SaveToStream(TStream &stream, bool saveData);
  virtual void SaveToFile(const std::string &fileName, TdgPropKinds kinds, std::uint32_t properties,
                          bool saveData);
  // With a file name the layout goes to that file and the value holds its
  // full path; without, the value holds the layout itself.
  virtual void SaveToRegistry(const std::string &key, const std::string &valueName,
                              const std::string &fileName, TdgPropKinds kinds,
                              std::uint32_t properties, bool saveData);
  void SaveToRegistry(const std::string &key, const std::string &valueName,
                      const std::string &fileName, bool saveData);
  // True while a layout is read or written, and while a form stream is.
  virtual bool IsLoadingLayout() const { return FLayoutLoading || !NotLoading(); }
  virtual bool IsSavingLayout() const { return FLayoutSaving || Saving(); }
  bool FieldState() const { return FFieldState; }
  virtual std::unique_ptr<TdgGridStreamComponent> CreateStreamComponent();
  // The layout as bytes, and read back; a damaged layout raises an error
  // naming sourceName, and the grid is left painting and firing events.
  std::string SaveLayout(TdgPropKinds kinds, std::uint32_t properties, bool saveData);
  void LoadLayout(std::string_view bytes, const std::string &sourceName, bool fieldState);
  // A hidden grid of this class holding everything of this one.
  std::unique_ptr<TdgBaseGrid> CreateLayoutCopy(bool withData) const;
  // Puts the chosen parts back to those of a fresh grid.
  virtual void ResetToNewGrid(TdgPropKinds kinds);

  // ---- Combo drop-downs. The drop-down always shows the grid's own combo;
  // a cell's own combo is copied into it when the list opens.
  TdgCombo *GetCombo();
  TdgDropDownForm *DropDownForm();
  TdgDropDownForm *ExistingDropDownForm() const { return FDropDownForm; }
  // Gives a list grid this grid's look, and a combo its starting settings.
  virtual void InitComboGrid(TdgComboGrid &comboGrid);
  virtual void InitCombo(TdgCombo *combo);
  // The cell's own combo, or its row's or column's; null when the grid's
  // own combo serves it.
  virtual TdgCombo *ComboOfCell(int dataCol, int dataRow);
  virtual TdgDropDownStyle CellDropDownStyle(int dataCol, int dataRow);
  // Whether a list is open, and for which cell (-1, -1: none).
  bool ComboOpen() const;
  int ComboCol() const { return FComboCol; }
  int ComboRow() const { return FComboRow; }
  bool ComboPrepared() const { return FComboPrepared; }
  TdgCombo *LastCopiedCombo() const { return FLastCopiedCombo; }
  void ForgetCopiedCombo(const TdgCombo *combo);
  // Closes the list when it is open for that cell, else opens it there.
  void ToggleComboDropDown(int dataCol, int dataRow);
  void OpenComboDropDown(int dataCol, int dataRow);
  // Rolls the list up without taking its value.
  void CloseComboDropDown(bool refocus = true);
  // Closes the open list or picker, taking nothing.
  void CloseDropDowns();
  void PrepareCombo(int dataCol, int dataRow);
  void PositionListOnCell(TdgComboGrid &list, int dataCol, int dataRow);
  // The size a list grid asks for, showing cols columns and rows rows.
  virtual int DropDownWidth(int cols);
  virtual int DropDownHeight(int rows);
  // Sizes the open list to its settings; places it again while it is open.
  void SizeDropDown(TdgComboGrid &comboGrid, bool force);
  void PlaceDropDown(TdgComboGrid &comboGrid, int width, int height);
  // The available area of the screen that shows a global point.
  static QRect ScreenAreaAt(const QPoint &global);
  // Takes a value picked in the list into the current cell.
  void TakeComboValue(const Variant &value);
  // The list's value for the current cell: its current row's value column.
  Variant ComboValue(int valueCol);
  void TakeListValueAndClose();
  // Keys for drop-downs: F4 and Alt+Down open one, and while a list is open
  // its table decides. Answers whether the key was consumed.
  bool DropDownKeyDown(std::uint16_t &key, TShiftState shift);
  // The same for a key that the open picker had first and let go
  // (`qtKey`): the picker is not given it again.
  bool PickerKeyLetGo(std::uint16_t &key, TShiftState shift, int qtKey);
  // A press on this grid while its list is open.
  void DropDownPress(QMouseEvent &e);
  // The editor's text changed while the list is open: search, and complete.
  void ComboEditorChanged(bool complete);
  // A character typed (UTF-8) into a list without an editor; answers
  // whether a choice agrees with the letters typed. A letter that the list's
  // row starts with steps on to the next row it starts only with `stepOn`.
  bool ComboTypeAhead(std::string_view typed, bool stepOn = true);
  // A character typed (UTF-8) on a combo cell that has no text editor picks
  // the value it leads to; answers whether the cell was such a cell.
  bool ComboKeyToValue(std::string_view typed);
  bool ClearComboTypeAhead();
  // Milliseconds for the type-ahead; tests set their own.
  std::function<std::int64_t()> TickCount;
  // The list grid's column width hook: its DefaultColWidth is width + 10.
  void SetComboColumnWidth(int width);
  // The list of an open drop-down is sized again after its layout changed;
  // any other grid does nothing.
  virtual void DropDownResize() {}

  // ---- Date-time drop-downs.
  TdgDateTimeDefComponent *DateTimeDef() const { return FDateTimeDef; }
  void SetDateTimeDef(TdgDateTimeDefComponent *def);
  // The definition that serves a cell: its own, its row's or column's by
  // DrawOverlap when their button is a date-time one, else the grid's.
  virtual TdgDateTimeDefComponent *DateTimeDefOfCell(int dataCol, int dataRow);
  // The editor's value as a date-time.
  virtual double EditorDateValue();
  // Opens the picker of the cell; the popup kind opens a window-modal tool
  // window and returns at once, its choice taken when the picker closes.
  void DateTimeDropDown(int dataCol, int dataRow);
  // Closes the picker when it is open for that cell, else opens it there.
  bool ToggleDateTimeDropDown(int dataCol, int dataRow);
  void CloseDateTimeDropDown(bool refocus = true);
  bool DateTimeOpen() const;
  int DateTimeCol() const { return FDateTimeCol; }
  TdgDateTimePicker *Picker() const;
  QWidget *DateTimeWindow() const;
  // A definition went away: the grid and its columns, rows and cells drop it.
  virtual void DateTimeDefRemoved(const TComponent *def);

protected:
  virtual void CopyCols(const TdgBaseGrid &source);
  virtual void CopyRows(const TdgBaseGrid &source);
  virtual void CopyRowChangedMarks(const TdgBaseGrid &source);
  virtual void CopyCellProperties(const TdgBaseGrid &source);
  virtual void CopyProperties(const TdgBaseGrid &source, const std::string &exclude);
  virtual void CopyCellValues(const TdgBaseGrid &source);
  virtual void CopySelection(const TdgBaseGrid &source, TdgPropKinds kinds);
  // A fresh hidden grid of this grid's class, for resets and partial saves.
  virtual std::unique_ptr<TdgBaseGrid> NewGridOfSameClass() const;

public:
  // ---- Look, geometry and layout (painting, hit tests, scrolling). The look
  // settings themselves are DataGridLook's.
  bool RowBarOn() const;
  void SetRowBarOn(bool value);
  bool HeadingOn() const;
  void SetHeadingOn(bool value);

  // Headings as buttons or plain cells, and whether the mouse is on one; the
  // column whose heading is held down, -1 for none.
  bool HeadingActsAsButton(int displayCol) const;
  bool HeadingActsAsCell(int displayCol) const;
  bool MouseOnHeading(int x, int y, int displayCol) const;
  // A heading that acts as a button takes presses on its top part only.
  static constexpr int HeadingButtonHeight = 14;
  int HeldHeading() const { return FHeldHeading; }
  // The mouse holds a column's heading down (by data column) from the press
  // until HoldHeading(-1); it looks pressed only while the mouse stays inside.
  void HoldHeading(int dataCol);
  void SetHeldHeadingInside(bool inside);
  bool HeadingHeldDown(int displayCol) const;

  // Cell buttons under the mouse: hovered and pressed cells (-1: none), the
  // pressed spin half (0 none, 1 first, 2 second) and the repeat count.
  bool ButtonIsActive(int displayCol, int displayRow) const;
  // Hover tracking: the button under the mouse is drawn hot, any other hot
  // one normal again; a point on no button clears the hot cell.
  void UpdateButtonHover(int x, int y);
  void ClearButtonHover();
  // Whether hovering draws buttons hot at all.
  virtual bool HotTracking() const { return true; }
  void PressCellButton(int displayCol, int displayRow, int spinHalf);
  void LeaveCellButtons();
  // The held combo button lets go of the mouse once it has slid into the
  // open list, which takes the press over from there.
  void HandHeldButtonToList();
  // A drop-down that closes with no mouse button down (by a key, or after
  // it took the release) ends the button press it held.
  void EndPressHeldByDropDown();
  int HoverCol() const { return FHoverCol; }
  int HoverRow() const { return FHoverRow; }
  int PressedCol() const { return FPressedCol; }
  bool HeldButtonDrawn() const { return FHeldDrawn; }
  int RepeatCount() const { return FRepeatCount; }
  // Spin repeat: waits SpinStartDelay, then repeats every SpinRepeatDelay
  // while the press lasts; each tick counts and fires the spin-repeat event.
  int SpinStartDelay() const { return FSpinStartDelay; }
  void SetSpinStartDelay(int value) { FSpinStartDelay = value; }
  int SpinRepeatDelay() const { return FSpinRepeatDelay; }
  void SetSpinRepeatDelay(int value) { FSpinRepeatDelay = value; }
  void StartSpinTimer();
  bool StopSpinTimer();
  const QTimer &SpinTimer() const { return FSpinTimer; }
  void SpinRepeatTick();

  // Pictures named in cells come from the image list; a stored reference
  // that carries the picture's identity follows a renamed picture.
  TdgImageListComponent *ImageList() const;
  void SetImageList(TdgImageListComponent *value);
  TdgMaskDefsComponent *MaskDefs() const;
  void SetMaskDefs(TdgMaskDefsComponent *value);
  // The mask of that name, or an empty Variant.
  Variant FindMask(std::string_view name) const;
  // The image list's picture of that name; none without a list or a string.
  Picture FindPicture(const Variant &name) const;

  // The heading font follows the parent's font until it is set itself.
  void SetHeadingFont(const TFont &font);
  bool HeadingParentFont() const { return FHeadingParentFont; }
  void SetHeadingParentFont(bool value);
  // So does the cells' font: setting or changing Font ends that.
  bool ParentFont() const { return FParentFont; }
  void SetParentFont(bool value);

  // The control properties a form gives every control, kept by the widget:
  // Visible is false only when the grid was hidden, TabStop is the Tab part
  // of the focus policy, and the constraints are the minimum and maximum
  // size, 0 meaning none.
  bool Enabled() const;
  void SetEnabled(bool value);
  bool TabStop() const;
  void SetTabStop(bool value);
  bool Visible() const;
  void SetVisible(bool value);
  int MinWidthConstraint() const { return minimumWidth(); }
  void SetMinWidthConstraint(int value) { setMinimumWidth(std::max(value, 0)); }
  int MinHeightConstraint() const { return minimumHeight(); }
  void SetMinHeightConstraint(int value) { setMinimumHeight(std::max(value, 0)); }
  int MaxWidthConstraint() const;
  void SetMaxWidthConstraint(int value);
  int MaxHeightConstraint() const;
  void SetMaxHeightConstraint(int value);
  // Tooltips show as anywhere while ParentShowHint holds; setting ShowHint
  // ends it, and then ShowHint decides.
  bool ShowHint() const { return FShowHint; }
  void SetShowHint(bool value);
  bool ParentShowHint() const { return FParentShowHint; }
  void SetParentShowHint(bool value) { FParentShowHint = value; }
  // Shown by a right click, unless the window asks for the click itself.
  QMenu *PopupMenu() const;
  void SetPopupMenu(QMenu *menu);

  // Visible ranges from a start column or row; 0 without a window.
  int LastColShownFrom(int start) const;
  int LastRowShownFrom(int start) const;
  int ColsFittingFrom(int start) const;
  int RowsFittingFrom(int start) const;
  int LastVisibleCol() const;
  int LastVisibleRow() const;

  // The main window's Edit menu reaches the current cell's text here.
  void cut();
  void copy();
  void paste();
  // Alt and a heading's accelerator character, anywhere in the window, run
  // that column's heading accelerator: a click on the heading.
  bool HeadingAccelerator(char ch);
  virtual void HeadingAcceleratorFor(int dataCol) { DoHeadingClick(dataCol); }
  // Automatic scrolling while the mouse drags outside the cells: the first
  // step after 50 milliseconds, later ones as ScrollSpeed waits. Starting
  // restarts a running timer; stopping answers whether it ran.
  void StartAutoScrollTimer();
  bool StopAutoScrollTimer();
  const QTimer &AutoScrollTimer() const { return FAutoScrollTimer; }
  // One step of automatic scrolling; the mouse handling supplies it.
  virtual void AutoScrollStep();
  // The same timer, with no drag running, follows a hot button.
  void HoverTimerStep();
  // A spin step on a picture cell: the image list names the next picture.
  void SpinPictureCell(int dataCol, int dataRow, TdgSpinButton button);

  // Text measuring for automatic sizes.
  int GridTextHeight();
  // A row as high as the letters of `font` need (those beyond ASCII too),
  // with the grid line below them: no row of the default height and no
  // heading is lower than its font needs.
  int FontRowHeight(const TFont &font);
  void FitRowsToFont();
  TPoint CellTextExtent(int dataCol, int dataRow);

  // Geometry by display position; -1 where not shown.
  int ColumnLeft(int displayCol) const;
  int RowTop(int displayRow) const;
  TRect GetCellRect(int displayCol, int displayRow) const;
  TRect GetPaintCellRect(int displayCol, int displayRow) const;
  int ColumnAt(int x) const;
  int RowAt(int y) const;
  bool PointOnCellButton(int x, int y, int displayRow, int displayCol);
  // As PointOnCellButton, but a drop-down-list cell is a button all over.
  bool PointOnClickButton(int x, int y, int displayRow, int displayCol);
  // A cell that takes only what its drop-down list offers: no free text,
  // typing searches the list.
  bool ListOnlyCell(int dataCol, int dataRow);
  TdgButtonType EffectiveButtonType(int dataCol, int dataRow);
  // The button the cell has as a data row: the insert row's cells answer as
  // the row they become once a change enters it.
  TdgButtonType ButtonTypeAsDataRow(int dataCol, int dataRow);
  TdgCustomButton *GetCellButton(int displayCol, TdgButtonType type);
  TdgSelectionPattern &SelectionPattern() { return FSelectionPattern; }
  // The selection pattern in the selection colour (the focus colour without
  // one), made when missing with `create`; none while both colours are clNone.
  const QImage *UpdateSelectionPattern(bool create);
  bool ScrollBarNeeded(bool vertical, int extent) const;
  int FirstScrollableCol() const;
  int FirstScrollableRow() const;

  // Layout and scrolling.
  void MoveTopLeft(std::int32_t aLeft, std::int32_t aTop) override;
  int MaxTopRow() const;
  int MaxLeftCol() const;
  int MaxTopPosition() const;
  int MaxLeftPosition() const;
  int PageSizeDown() const;
  int PageSizeUp() const;
  int PageSizeRight() const;
  int PageSizeLeft() const;
  // Moves the top-left cell with a pixel-moving mode for the move: 0 moves
  // the scrollable area, 1 keeps the current cell's pixels where they are, 2
  // moves only the rows above or below the current row.
  void MoveTopLeftInMode(int left, int top, int mode);
  int ScrollMode() const { return FScrollMode; }
  // The bar record for a bar (0 horizontal, 1 vertical), and whether it scales.
  TScrollInfo CalcScrollInfo(int bar, bool &scaled) const;
  void UpdateScrollBars();
  void ScrollMessage(int bar, int code, int thumb);
  bool AutoScrollWait(int x, int y, int direction, int screenWidth = 1 << 20,
                      int screenHeight = 1 << 20);
  // The delay an automatic scroll step waits at this distance.
  int AutoScrollDelay(int distance, int zone) const;
  // Scales by multiplier / divisor while AutoScale is on: with sfHeight the
  // heading, the default and own row heights, with sfWidth the row bar, the
  // default and own column widths, with sfFont the grid's font and the own
  // fonts of columns, rows and cells; the lists of combo drop-downs follow.
  enum TdgScalingFlag : std::uint8_t { sfWidth = 1, sfHeight = 2, sfFont = 4 };
  void ChangeScale(int multiplier, int divisor, std::uint8_t flags = sfWidth | sfHeight | sfFont);
  // The logical dots per inch of the screen the grid is on. Qt draws fonts
  // in points at that density but keeps sizes in pixels, so a move to a
  // screen of another density scales the sizes, not the fonts.
  virtual int ScreenDpi() const { return logicalDpiY(); }
  void FollowScreenScale();
  // A drop-down's list scales with the grid it drops down for and follows
  // that grid's setting; its own setter does nothing.
  bool AutoScale() const;
  void SetAutoScale(bool value);

  // Painting locks and invalidation.
  void BeginUpdate();
  void EndUpdate();
  bool Updating() const { return FUpdateLock > 0; }
  bool PaintSuppressed() const { return FUpdateLock > 0; }
  bool CanPaintNow() const;
  void InvalidateGrid() override;
  void InvalidateDisplayRow(int displayRow);
  void InvalidateDisplayCol(int displayCol);
  // Every invalidation of the grid passes here; tests record them.
  std::function<void(const TRect &)> OnInvalidate;
  bool FirstPaintDone() const { return FFirstPaintDone; }
  bool PaintedThroughBuffer() const { return FLastPaintBuffered; }
  bool HasFocusNow() const;
  bool IsCellSelected(int displayCol, int displayRow) const;
  // The settings a selection is drawn with: a drop-down's list whose own
  // SelectionType is sltDefault takes those of the grid it drops down for.
  const DataGridLook &SelectionLook() const;
  // Selected cells take the selection colour rather than being inverted.
  bool SelectionInColour() const;

  // Where the current cell may stand. Column and row finders search from a
  // display position, not including it, and answer -1 when nothing passes;
  // read-only columns and rows pass unless skipReadOnly (never in list-box
  // mode). Cell finders walk row by row and answer the data column and the
  // display row.
  int NextCol(int displayCol, bool skipReadOnly) const;
  int PrevCol(int displayCol, bool skipReadOnly) const;
  int FirstCol(bool skipReadOnly) const { return NextCol(0, skipReadOnly); }
  int LastCol(bool skipReadOnly) const { return PrevCol(ColCount(), skipReadOnly); }
  int NextRow(int displayRow, bool skipReadOnly) const;
  int PrevRow(int displayRow, bool skipReadOnly) const;
  int FirstRow(bool skipReadOnly) const { return NextRow(0, skipReadOnly); }
  int LastRow(bool skipReadOnly) const;
  bool NextCell(int displayCol, int displayRow, bool editable, int &dataCol, int &foundRow);
  bool PrevCell(int displayCol, int displayRow, bool editable, int &dataCol, int &foundRow);
  // Whether a cell can be edited: visible, and not read-only at the level that
  // decides.
  bool CellEditable(int dataCol, int dataRow);
  // The spin settings of the first level whose button is a spin button;
  // none and 0 when no level has one.
  TdgSpinOptions CellSpinOptions(int dataCol, int dataRow);
  double CellSpinIncrement(int dataCol, int dataRow);
  std::string CellMaskName(int dataCol, int dataRow);
  // The column's own check-box values when it has some, else the grid's.
  std::string CheckBoxValuesOf(int dataCol) const;
  // Moves the current cell to the nearest row at or below displayRow that can
  // hold it, else above.
  virtual void MoveToRow(int displayRow, bool skipReadOnly);
  // The key that undoes the edit; answers whether it was used.
  bool EscapeKey();
  // Escape's undo: the cell being edited first, the row at a further Escape.
  bool EscapeUndo();
  bool WantsKey(const QKeyEvent &e) const override;
  bool EditorOpenedForEdit() const;
  void KeyDown(std::uint16_t &key, TShiftState shift) override;
  // The in-place editor shows the current cell's value, and its changes
  // become the value being edited.
  std::string GetEditText(std::int32_t col, std::int32_t row) override;
  void SetEditText(std::int32_t col, std::int32_t row, const std::string &value) override;

  // The mouse operation in progress; every change is reported.
  TdgMouseStatus MouseStatus() const { return FMouseStatus; }
  void SetMouseStatus(TdgMouseStatus value);
  // Focus coming into the grid from elsewhere, and leaving it.
  void FocusEntered() override;
  void FocusLeft() override;
  bool Exiting() const { return FExiting > 0; }
  // The text typed ahead into a drop-down cell.
  const std::string &TypeAhead() const { return FTypeAhead; }
  void ClearTypeAhead() { FTypeAhead.clear(); }

  // What the column, row and cell objects ask of their grid beyond what
  // DataGridHost answers: the fonts, the display order and the cell elements.
  const TFont &Font() const override { return FFont; }
  // The font of the cells, and of the columns, rows and cells that follow it.
  void SetFont(const TFont &value);
  const TFont &HeadingFont() const override { return FHeadingFont; }
  void setDisplayRowOf(int dataRow, int displayRow) override;
  void moveColumn(int fromDisplay, int toDisplay) override;
  void dropUnfitValues(int dataCol, int dataRow) override;
  void cellElementAdded(TdgCellElement &element) override;
  void cellElementRemoved(TdgCellElement &element) override;
  void dropDateTimePopupOf(TdgDateTimeDefComponent *def) override;
  TdgDateTimeDefComponent *cellDateTimeDef(int dataCol, int dataRow) override;
  void setCellDateTimeDef(int dataCol, int dataRow, TdgDateTimeDefComponent *def) override;

  // ---- In-place controls and keyboard navigation.
  enum TdgRowChangedIndicator : std::uint8_t { riOn, riOff, riAutoReset };
  bool AlwaysShowEditor() const { return FAlwaysShowEditor; }
  void SetAlwaysShowEditor(bool value);
  bool GetSkipReadOnly() const { return FSkipReadOnly; }
  void SetSkipReadOnly(bool value);
  bool SelectFixed() const { return FSelectFixed; }
  void SetSelectFixed(bool value);
  TdgRowChangedIndicator RowChangedIndicator() const { return FRowChangedIndicator; }
  void SetRowChangedIndicator(TdgRowChangedIndicator value);
  bool WantTabs() const { return FWantTabs; }
  void SetWantTabs(bool value);
  // Whether Tab walks the cells: the grid then leaves by Ctrl+Tab.
  bool KeepsTab() const { return FWantTabs && (FGridMode == gmEdit || FGridMode == gmEditInsert); }
  bool TabRowWrap() const { return FTabRowWrap; }
  void SetTabRowWrap(bool value) { FTabRowWrap = value; }
  bool CheckMouseFocus() const { return FCheckMouseFocus; }
  void SetCheckMouseFocus(bool value) { FCheckMouseFocus = value; }
  std::string CheckBoxValues() const { return FCheckBoxValues; }
  void SetCheckBoxValues(const std::string &value);

  // The control standing over the current cell, and the three kinds.
  TdgCustomGridControl &ActiveControl() const { return *FActiveControl; }
  TdgEditGridControl &EditControl() const { return *FEditControl; }
  TdgCheckGridControl &CheckControl() const { return *FCheckControl; }
  TdgCustomGridControl &ControlForType(TdgControlType type) const;
  bool EditorShown() const { return FEditorShown; }
  // Whether the current cell is in edit state: the control shows over it.
  bool Editing() const { return FEditing; }
  // Whether arrow keys walk cells rather than rows and columns.
  bool CellNavigation() const;
  // The moves skip read-only places except at design time and in a list box.
  bool MovesSkipReadOnly() const { return FSkipReadOnly && FGridMode != gmListBox; }
  // Moves the current cell (display position), scrolling it into view and
  // placing the editor; answers whether it moved.
  virtual bool MoveToCell(int displayCol, int displayRow, int scrollKind = 3);
  virtual void PlaceEditor();
  // A changed look, kind, limit or mask reaches the editor at once: it is set
  // up again over the current cell.
  void RefreshEditor();
  // The control of a cell takes its changed properties; for the current cell
  // that is the editor. Both indexes are checked.
  void RefreshCellControl(int dataCol, int dataRow);
  virtual void HideCellEditor(bool forScrolling = false);
  // Puts the current cell in edit state as a key asks: mode 0 selects the
  // whole text, 2 puts the caret at the end.
  virtual bool StartEditing(int mode);
  virtual void EndEditInCell();
  // A text cell whose mask asks for it is checked as a whole when its edit
  // ends: a refused text keeps the edit open unless the invalid-value
  // handler accepts it.
  virtual bool CheckMaskOnEnd();
  virtual void EditorSetup(TdgCustomGridControl &control);
  // The shown editor and the cell around it take the edit colours again.
  void RefreshEditedCell();
  virtual void MoveUp();
  virtual void MoveDown();
  virtual void MovePageUp();
  virtual void MovePageDown();
  virtual void MoveFirstRow();
  virtual void MoveLastRow();
  virtual void MoveFirstCell();
  virtual void MoveLastCell();
  virtual void MoveNextCell(bool byEnter);
  virtual void MovePrevCell();
  virtual void EndEditOrAppend();
  void KeyUp(std::uint16_t &key, TShiftState shift) override;
  void KeyPress(char &key) override;
  void WMChar(char ch) override;
  // Typed characters no code-page byte holds: they begin or go on with an
  // edit, as a typed key does, in a cell that takes text.
  void TypeBeyondCodePage(const QString &text);
  // ---- The mouse: presses, drags, releases and the cursor. What it may do
  // is set in DataGridMouseSettings.
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  // The cursor a point shows: the grid's own kinds; crGrid is the grid's
  // Cursor, crNone leaves the choice to the window.
  enum TdgCursorKind : std::uint8_t {
    crNone,
    crGrid,
    crHSplit,
    crVSplit,
    crIBeam,
    crRowSelect,
    crColSelect,
    crCellSelect,
    crDrag,
    crSelectedArea
  };
  // Whether a press on a display cell may drag its selection elsewhere: a
  // selected cell whose selection the moving drags do not move.
  bool DraggableSelected(int displayCol, int displayRow) const;
  // Whether the row (or column) selection may be moved by the moving drags:
  // fixed lines stay, so a selection that takes one in is never moved.
  bool SelectionClearOfFixed(bool rows) const;
  // The cursor over a draggable selection (a class-library cursor number,
  // 0 for none).
  int SelectedAreaCursor() const { return FSelectedAreaCursor; }
  void SetSelectedAreaCursor(int value) { FSelectedAreaCursor = value; }
  // An OnCanStartDrag handler calls BeginDrag when it takes the press for a
  // drag of its own; the drag lasts until EndDrag or the release.
  void BeginDrag() { FDragging = true; }
  void EndDrag() { FDragging = false; }
  bool Dragging() const { return FDragging; }
  virtual TdgCursorKind GetCursor(int x, int y);
  void UpdateCursor(int x, int y) override;
  // Which border lies under a point: the sizing status it starts, 0 for none.
  TdgMouseStatus BorderAt(int x, int y, int &index, int &linePos) const;
  // Display cells of the last press and release.
  QPoint MouseDownCell() const { return FDownCell; }
  QPoint MouseUpCell() const { return FUpCell; }
  // Ends a mouse operation without applying it, as Escape does.
  void CancelMouseOperation();
  // The drop marker of a moving drag and the sizing line, where shown.
  bool DropMarkerShown() const { return FMarkerShown; }
  int MoveTarget() const { return FMoveTarget; }
  bool SizingLineShown() const { return FSizingLine >= 0; }
  // A selected cell range in display positions; empty unless the grid status
  // says a range.
  TGridRect CellRange() const;
  // One step of a spin button on the current cell.
  virtual void SpinCurrentCell(int dataCol, int dataRow, TdgSpinButton button);
  void SelectAllRows(bool byMouse);
  // Reset the flagged properties (bits of resetBit) of every column, row or
  // cell property object.
  virtual void ResetColProperties(std::uint32_t flags);
  virtual void ResetRowProperties(std::uint32_t flags);
  virtual void ResetCellProperties(std::uint32_t flags);

  // Keys are ignored while this is above 0; raised and lowered in pairs.
  void SuspendKeys() { ++FKeySuspend; }
  void ResumeKeys() { FKeySuspend = std::max(0, FKeySuspend - 1); }

protected:
  void keyPressEvent(QKeyEvent *e) override;
  void mousePressEvent(QMouseEvent *e) override;
  bool focusNextPrevChild(bool next) override;
  // Ctrl+Tab: the focus goes to the control before or after the grid.
  bool LeaveByTab(bool forward);
  void paintEvent(QPaintEvent *e) override;
  void InvalidateScreenRect(const TRect &rect) override;
  void focusInEvent(QFocusEvent *e) override;
  void focusOutEvent(QFocusEvent *e) override;
  void ModifyScrollBar(int scrollBar, int scrollCode, int pos, bool useRightToLeft) override;
  void UpdateScrollPos() override;
  void UpdateScrollRange() override;
  void ApplyScrollBarPolicies() override;
  void ScrollDataInfo(int dx, int dy, const TGridDrawInfo &info) override;
  int buttonFrameWidth() const override { return 0; }
  void DrawCell(std::int32_t col, std::int32_t row, const TRect &rect,
                TGridDrawState state) override;
  void SizeChanged(std::int32_t oldColCount, std::int32_t oldRowCount) override;
  // The visible-column (or row) list again from each line's Visible flag.
  void RebuildVisibleList(bool rows);
  bool SelectCell(std::int32_t col, std::int32_t row) override;
  void CurrentCellMoved() override;
  void MoveCurrentEnded() override;
  // After every move of the current cell, and after lines went, came or
  // moved under it: a list open on another cell closes, a new cell starts
  // out of edit state, the insert row is entered or left (after a move
  // only), the changes are reported and the editor takes the cell.
  void FollowCurrentCell(bool moved = false);
  // Answers whether the current cell had to move off a hidden line.
  bool LeaveHiddenLines();
  void FollowIndicator();
  void RowMoved(std::int32_t fromIndex, std::int32_t toIndex) override;
  // The current cell stands on the insert row: it becomes a data row, as a
  // move onto it makes it. Also for a current cell that stood there from the
  // start (an empty grid), so that what is typed there lands in a row.
  void EnterInsertRow();
  void ResetEditState();
  // The row's edit ends unreported, with the copy an undo would write back:
  // the row went, or what it held was replaced.
  void DropRowEdit();
  // Every stored value was replaced at once (a layout's or another grid's
  // values read in): an undo would write the row as it was before, or an
  // empty one, over what was read, and the editor would show text of the
  // past that its next key writes back.
  void StoredValuesReplaced();
  // The row's edit is over without a change kept: a typed new row becomes
  // an entered, unchanged row again.
  void RowEditUndone(int dataRow);
  // After a cell's undo: a typed new row with no other change goes back to
  // an entered, unchanged one, so that leaving it removes it.
  bool UndoUnchangedNewRow();
  void CellEditStarted();
  // The current cell stands on the last display row of gmEditInsert: the
  // insert row itself, or the row it became when entered and not changed
  // yet (a changed one has the next insert row below it).
  bool OnAppendRow() const {
    return FGridMode == gmEditInsert && Row() >= 1 && Row() == RowCount() - 1;
  }
  // The editor standing over the current cell shows the cell's value again.
  void ShowCurrentValueInEditor();
  // A control shows an empty cell as the cell is drawn: no text, a grayed
  // check box.
  void LoadControl(TdgCustomGridControl &control, const Variant &value);
  void ColWidthsChanged() override;
  void RowHeightsChanged() override;
  // One column or row changed size through its object: cheaper than the
  // all-sizes handlers, and fires no resize event.
  // A size set on the base grid becomes the column's or row's own, so it
  // survives hiding, showing and the form stream.
  void ExtentStored(bool rows, std::int32_t index) override;
  virtual void ColWidthChanged(int displayCol);
  virtual void RowHeightChanged(int displayRow);
  void TopLeftMoved(TGridCoord oldTopLeft) override;
  // Reports the top-left cell when it differs from the one reported last.
  void ReportTopLeft(bool byUser);
  void Paint() override;
  void resizeEvent(QResizeEvent *e) override;
  void changeEvent(QEvent *e) override;
  bool event(QEvent *e) override;

  void ApplyColCount(int n);
  void ApplyRowCount(int n);
  struct CountChange {
    TGridCoord current, rangeEnd, topLeft;
    int fixedCols = 0, fixedRows = 0;
  };
  CountChange BeginCountChange() const;
  void EndCountChange(bool rows, const CountChange &before);
  void CutCellRange(bool rows, int lastLine);
  void MakeFixed();
  // A drop-down's list keeps the modes its owning grid set it up with: only
  // that set-up and a stream being read change them.
  bool ListModesLocked() const;
  // In a list box of single rows, selects the current row unless it already
  // is the selection; answers whether it did.
  bool KeepListBoxRowSelected();
  // Removes the given data rows (ascending, distinct) from the maps, heights,
  // selection and storage in one pass each; later rows are renumbered.
  void RemoveDataRows(const std::vector<int> &dataRows);
  void ShrinkRowCount();
  void MoveRowDisplay(int fromDisplay, int toDisplay);
  static void MoveSelectionMark(TdgSelection &selection, int fromDisplay, int toDisplay);
  // Cell elements of removed rows or columns go; later ones are renumbered.
  void RenumberCellElements(const std::vector<int> &newCol, const std::vector<int> &newRow);
  void DropCellCache() { FCacheValid = false; }
  const TdgCol *ColObject(int dataCol) const;
  const TdgRow *RowObject(int dataRow) const;
  TdgControlType ControlTypeCascade(int dataCol, int dataRow) const;
  // A row property through its row object: the getter answers the fallback
  // for a bad index or a row without object; the setter makes the object
  // only for a value other than the default, and frees one back at defaults.
  template <class T, class G> T RowGet(int dataRow, T fallback, G get);
  template <class T, class S> void RowSet(int dataRow, T value, T defaultValue, S set);
  // The same for data columns.
  void RemoveDataCols(const std::vector<int> &dataCols);
  void PlaceCurrentCol(int displayCol);
  void PlaceCurrentRow(int displayRow);
  // The current row went: the row now at its place takes the current cell,
  // the last one above the insert row rather than the insert row.
  void PlaceCurrentRowAfterDeletion(int displayRow);
  // The current cell's own line stays, renumbered or shown elsewhere as
  // others went: it is the same cell, so its edit is not asked to end, and a
  // refusal cannot leave the current cell on the line that came to stand
  // where its own was.
  void PlaceOwnLine(bool rows, int display);

  bool FInCellLoaded = false;

private:
  TdgGridComponent FComponent{*this};
  TFont FFont;
  TFont FHeadingFont;
  std::unique_ptr<TdgGridCols> FColStore;
  TdgCellPropSet FCellProps{this};
  TdgCurrentCell FCurrentCell{*this};
  std::vector<int> RowItems() const;
  void ApplyPendingRowOrder();
  class SelectionRedraw;
  void SelectLines(bool rows, int fromDisplay, int toDisplay);
  // The column's or the row's own setting, whichever the overlap puts on top
  // and has one; unset when neither has.
  template <class T> T OnTop(T colValue, T rowValue, T unset) const {
    const bool colOnTop = FDrawOverlap == doDrawColOnTop;
    const T first = colOnTop ? colValue : rowValue;
    const T second = colOnTop ? rowValue : colValue;
    return first != unset ? first : second;
  }

public:
  // The levels a data cell's properties come from (CellLevel).
  // A data cell's levels in the order every effective property asks them:
  // the cell, then row and column in DrawOverlap order.
  std::array<CellLevel, 3> CellLevels(int dataCol, int dataRow);
  // The first level's own value of a property (get), passOn when every level
  // passes the question on.
  TdgButtonType ButtonTypeUpTo(int dataCol, int dataRow, int lastRow);
  bool CellEditableUpTo(int dataCol, int dataRow, int lastRow);
  template <class T, class Get> T Cascade(int dataCol, int dataRow, Get get, T passOn) {
    for (const CellLevel &level : CellLevels(dataCol, dataRow))
      if (level)
        if (T value = get(level); value != passOn)
          return value;
    return passOn;
  }
  // The first level whose button type passes test; an empty level when none.
  template <class Test> CellLevel ButtonLevel(int dataCol, int dataRow, Test test) {
    for (const CellLevel &level : CellLevels(dataCol, dataRow))
      if (level && test(level.ButtonType()))
        return level;
    return {};
  }

private:
  // Finds the column named fieldName for a stored column and maps the
  // stored column to it (0 when none has the name).
  TdgCol *MatchColumnByFieldName(int storedCol, const std::string &fieldName);
  std::unique_ptr<TdgGridRows> FRowStore;
  [[nodiscard]] auto UserScrolling() {
    ++FUserScrolls;
    return ScopeExit{[this] { --FUserScrolls; }};
  }
  int RowsBottom() const;
  void ScrollArea(int dx, int dy, const TRect &area);
  std::unique_ptr<TdgImageLink> FImageLink;
  std::unique_ptr<TdgMaskLink> FMaskLink;
  void contextMenuEvent(QContextMenuEvent *e) override;
  // The parent's font, in the grid's terms; false without a parent.
  bool ParentTFont(TFont &font) const;
  // The name part of a stored picture reference, renamed as the image list
  // now names the picture it identifies.
  std::string ResolvePictureName(int dataCol, int dataRow, const std::string &text);
  // The heading and the cells that follow the parent take its font.
  void TakeParentFont();
  void GridFontChanged();
  bool HandleShortcutEvent(QEvent *e);
  void HeadingsChanged();
  void RebuildHeadingShortcuts();
  void ConnectMessageTimers();
  void ScaleBy(int multiplier, int divisor, std::uint8_t flags);
  std::unique_ptr<TdgCombo> FCombo;
  std::unique_ptr<TdgGridDateTimeLink> FDateTimeLink;
  void PickerClosed(bool accepted);
  void TakeDateTimeChoice();
  bool DateTimeKeyDown(std::uint16_t &key, TShiftState shift);
  // ---- In-place controls and keyboard state.
  std::unique_ptr<TdgEditGridControl> FEditControl;
  std::unique_ptr<TdgCheckGridControl> FCheckControl;
  std::unique_ptr<TdgDefaultGridControl> FDefaultControl;
  CellIdentity CurrentIdentity() const;
  bool EditorHoldsCurrentCell() const {
    return FEditorCol >= 0 && FEditorCol == Col() && FEditorRow == Row() &&
           FEditorCell == CurrentIdentity();
  }
  void NewCellEditState();
  TdgRowChangedIndicator FRowChangedIndicator = riOn;
  void CreateControls();
  void WireControl(TdgCustomGridControl &control);
  bool EditorMayShow();
  // The editor may stand over the current cell, wherever that lies.
  bool EditorMayStand() const;
  // Hidden and moved off the grid, as the editor of no cell in view.
  void PutOutOfSight(TdgCustomGridControl &control);
  // The editor a character typed on the grid goes to, shown for a new edit
  // when it was not; none when the current cell takes no `key`.
  TdgCustomGridControl *EditorTaking(char key);
  void ScrollCurrentIntoView();
  int FullyVisibleRows() const;
  // The editor's notifications.
  void EditorKeyDown(std::uint16_t &key, TShiftState shift);
  void EditorKeyPress(char &key);
  void EditorChanged(bool notify, bool byUser);
  void EditorExit();
  // The control's own undo takes the cell's edit back; the row edit stays
  // unless it holds nothing else.
  bool UndoCellFromControl();
  void HideControl(TdgCustomGridControl &control);
  TdgMaskDefinition *MaskDefinitionFor(int dataCol, int dataRow);
  class MouseOverlay;
  MouseOverlay *FOverlay = nullptr;
  void UpdateOverlay();
  void PixelsScrolled(int dx, int dy, const QRect &area) override;
  void StartSizing(TdgMouseStatus status, int index, int linePos, int x, int y);
  void FinishSizing(int x, int y, bool apply);
  void DataCellPress(TMouseButton button, TShiftState shift, int col, int row, int x, int y);
  void CellButtonPress(TShiftState shift, int col, int row, int x, int y);
  void HeadingLetGo(int col);
  void RowBarPress(TShiftState shift, int row);
  void HeadingPress(TShiftState shift, int col, int x, int y);
  void RangePress(TShiftState shift, int col, int row);
  void ExtendRange(int col, int row);
  void ClearRange();
  // The cell range after lines went or hid: its bounds given, the current
  // cell stays the corner it anchors (a range left empty is cleared).
  void SetCellRange(const TGridRect &range);
  static TGridRect RangeWithout(TGridRect range, const std::vector<int> &goneDisplay, bool rows);
  // A line at a bound of the cell range hid: that bound moves inward past it.
  void RangeLineHidden(bool rows, int display);
  bool SelectableByMouse(int col, int row) const;
  // The first display row (or column) the mouse may select.
  int FirstSelectableLine(bool rows) const;
  void FollowRowDrag(int row);
  void FollowColDrag(int col);
  bool MoveChangesSomething(bool rows, int origin, int target) const;
  void FollowDrag(int x, int y);
  int DragLineAt(bool rows, int pos) const;
  int NearestShownLine(bool rows, int requested, int current) const;
  int FirstLineShown(bool rows) const;
  int SpinPartAt(int col, int row, int x, int y);
  // Where a cell's button stands in the cell's paint rectangle: at its right
  // edge, the cell's height for a one-part button, the button's own height
  // for a spin pair. Drawing, presses and the spin halves share it.
  static TRect CellButtonRect(const TRect &cell, const TdgCustomButton &button);
  void ButtonRelease(int col, int row, int x, int y);
  void PaintGrid(QPainter &p, const TRect &clip);
  void PaintDataCell(QPainter &p, int col, int row, TRect rect, bool selected);
  void PaintHeadingCell(QPainter &p, int col, int row, const TRect &rect, bool contentPainted);
  TdgCustomButton *ButtonOfCell(int col, int dataCol, int dataRow);
  void PaintCellDecorations(QPainter &p, int col, int row, const TRect &r, bool selected);
  void DrawCellButton(QPainter &p, int col, int row, const TRect &r, TdgCustomButton &button,
                      TColor background);
  void DrawLines(QPainter &p, int col, int row, const TRect &full);
  void DrawFocusMark(QPainter &p, int col, int row, const TRect &rect);
  // A single or double focus frame reaches one pixel over its cell's left
  // and top neighbours.
  bool FocusFrameOutside() const;
  void RedrawFocusFrame(QPainter &p);
  void InvalidateFocusFrame();
  void DrawRowIndicator(QPainter &p, int row, const TRect &rect);
  const PainterTextMetrics &MetricsFor(const QFont &font);
  bool FocusCellTest(int col, int row, bool painting) const;
  void RecomputeFixedSizes();
  // The fixed area's width and height from the fixed lines' sizes.
  void SumFixedSizes();
  // Keeps hidden items at 0, the row bar and heading at their sizes and the
  // default at least 1 after the base sizes changed; False while re-entered.
  bool SyncSizes(bool rows);
  void FreeCachedButtons(bool cellButtons);
  void Repaint();
  void ApplyScrollBar(int bar, bool needed);
};

} // namespace marrowen

// The event layer and the grid a form places, which includers of this header
// expect along with it.
#include "grid/widget/customgrid.h"
