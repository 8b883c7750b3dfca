#pragma once

#include "grid/data/buttons.h"
#include "grid/data/cells.h"
#include "grid/data/font.h"
#include "grid/data/gridhost.h"
#include "grid/data/gridtypes.h"
#include "grid/data/links.h"
#include "grid/data/selection.h"
#include "grid/data/storage.h"
#include "grid/data/tables.h"
#include "grid/data/variant.h"
#include "grid/widget/gridevents.h"
#include "grid/widget/gridmodes.h"

#include <QFont>
#include <QPoint>
#include <QPointer>
#include <QTimer>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QMenu;
class QWidget;

namespace marrowen {

class PainterTextMetrics;
class TdgCustomGridControl;
class TdgDateTimePicker;
class TdgDropDownForm;

// What the base grid knows between two calls: its counts and maps, the edit
// flow, the look and layout, the in-place controls and the mouse. Only the
// grid reads and writes it; it lives apart from the grid's operations so that
// each can be read on its own. Members that others point back into, or whose
// destruction the grid orders itself, stay in the grid.
struct TdgBaseGridState {
  int FApplyingCount = 0;
  bool FSettingUpList = false;
  bool FCountShrinking = false;
  bool FLoadingCell = false;
  int FLoadingCol = -1;
  int FLoadingRow = -1;
  Variant FLoadingValue;
  bool FRaiseErrors = true;
  bool FDestroying = false;
  int FRequestedDefaultRowHeight = 14;
  TdgCoordList FKeptFontCells;
  TdgVisibleItems FVisibleCols;
  TdgVisibleItems FVisibleRows;
  bool FVisibleRowsDeferred = false;
  bool FCacheValid = false;
  int FCacheCol = -1;
  int FCacheRow = -1;
  TdgCellElement *FCacheElement = nullptr;
  // How many cell elements lie in each data column and data row.
  std::vector<int> FColElements;
  std::vector<int> FRowElements;
  std::vector<std::string> FImageListIds;
  std::uint8_t FColMatchMode = 1;
  mutable int FSaveCount = 0;
  TdgMouseStatus FMouseStatus = msNothing;
  int FExiting = 0;
  bool FRefocusing = false;
  std::string FTypeAhead;
  std::uint32_t FPropertyMask = 0;
  std::unique_ptr<TdgIntegerList> FLoadColMap;
  int FDataWritingSuspended = 0;
  // While "RowProperties" is read, display positions are collected and
  // applied as one order at the end.
  bool FReadingRows = false;
  Variant FPendingValue;
  int FPendingCol = -1;
  int FPendingRow = -1;
  bool FCellEditing = false;
  // The control's start-of-edit question was answered yes and its change has
  // not come yet: that change begins the edit without asking again.
  bool FEditStartGranted = false;
  Variant FCellOldValue;
  // Values written to the shown cells of a grid that keeps no data, by data
  // cell: painted where the cell was, until something repaints that cell and
  // its value comes from OnCellLoaded again.
  std::map<std::pair<int, int>, Variant> FDrawnValues;
  bool FRowEditing = false;
  bool FCellEditEnded = false;
  bool FRowChangedMarkOn = false;
  bool FAppended = false;
  bool FUndoing = false;
  // An Escape in the current cell undid its cell edit or found none: the
  // next Escape there undoes the row. Cleared when the current cell moves.
  bool FEscapeUndidCell = false;
  // The display row whose row-bar cell shows the current-row mark.
  int FIndicatorRow = 1;
  bool FLeaving = false;
  int FLastReportedCol = -1;
  int FLastReportedRow = -1;
  std::vector<bool> FRowChangedMarks;
  std::vector<std::pair<int, int>> FPendingRowOrder;
  int FLoadCount = 0;
  bool FSettingDefaults = false;
  // While a row count is applied, the current cell placed on the insert row
  // does not make it a data row.
  bool FApplyingRowCount = false;
  int FDataCols = 0;
  int FDataRows = 0;
  int FPendingColRemovals = 0;
  int FPendingRowRemovals = 0;
  int FInsertRowFlag = 0;
  int FPreviousInsertRowFlag = 0;
  TdgGridMode FGridMode = gmEdit;
  TdgRowSelectMode FRowSelectMode = rsMulti;
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
  // ---- Look, layout and painting state.
  bool FAutoScale = false;
  int FUpdateLock = 0;
  bool FRepaintPending = false;
  bool FFirstPaintDone = false;
  bool FLastPaintBuffered = false;
  bool FPaintingNow = false;
  std::unique_ptr<TdgCustomButton> FComboButton, FNormalButton, FVertSpin, FHorzSpin,
      FDateTimeDropDown, FDateTimePopup;
  TdgSelectionPattern FSelectionPattern;
  std::int64_t FWaitStart = 0;
  int FWaitLeft = 0; // milliseconds of the running wait still to go
  std::unique_ptr<PainterTextMetrics> FMetrics;
  std::unique_ptr<QFont> FMetricsFont;
  bool FShowsFileNames = false;
  TRect FPaintRect;
  bool FBarShown[2] = {false, false};
  bool FBarEnabled[2] = {true, true};
  // Above 0 while the user's keys and mouse act: their scrolls are the user's.
  int FUserScrolls = 0;
  int FScrollMode = 0;
  TRect FModeCellRect{};
  TRect FModeRowRect{};
  bool FHeadingParentFont = true;
  bool FParentFont = true;
  bool FTakingParentFont = false;
  bool FShowHint = false;
  bool FParentShowHint = true;
  QPointer<QMenu> FPopupMenu;
  int FTopLeftDepth = 0;
  TGridCoord FReportedTopLeft{1, 1};
  int FHeldHeading = -1;
  bool FHeadingPressedLook = false;
  std::unique_ptr<TFont> FDrawInfoFont;
  QTimer FAutoScrollTimer;
  // Window shortcuts for the heading accelerators, rebuilt once after any
  // heading change.
  std::vector<std::pair<int, char>> FHeadingShortcuts;
  QTimer FShortcutRebuild;
  int FHoverCol = -1, FHoverRow = -1;
  int FPressedCol = -1, FPressedRow = -1;
  int FPressedSpin = 0;
  int FRepeatCount = 0;
  int FSpinStartDelay = 500;
  int FSpinRepeatDelay = 80;
  bool FSpinFirstStep = false;
  bool FSpinConnected = false;
  QTimer FSpinTimer;
  int FScaling = 0;
  int FScreenDpi = 0; // of the screen the grid was last shown on; 0 before
  int FCopying = 0;
  TdgDropDownForm *FDropDownForm = nullptr;
  int FComboCol = -1;
  int FComboRow = -1;
  TdgCombo *FLastCopiedCombo = nullptr;
  bool FComboPrepared = false;
  std::int64_t FTypeAheadTick = 0;
  TdgDateTimeDefComponent *FDateTimeDef = nullptr;
  QPointer<TdgDateTimePicker> FPicker;
  std::string FPickerClass;
  TdgDateTimeDefComponent *FPickerDef = nullptr;
  QPointer<QWidget> FDateTimeWindow;
  int FDateTimeCol = -1;
  int FDateTimeRow = -1;
  bool FDateTimeModal = false;
  int FPickerHadKey = 0;
  bool FLayoutLoading = false;
  bool FLayoutSaving = false;
  bool FFieldState = true;
  TdgCustomGridControl *FActiveControl = nullptr;
  // A cell as the lines' own serial numbers name it: it stays the same cell
  // wherever moves and deletions put it.
  struct CellIdentity {
    int col = -1, row = -1;
    bool operator==(const CellIdentity &) const = default;
  };
  // Where the editor stands and whose value it holds; the cell the edit
  // state belongs to.
  int FEditorCol = -1, FEditorRow = -1;
  CellIdentity FEditorCell, FCurrentIdentity;
  // A scroll under way to a new current cell leaves the editor to the move.
  bool FPlaceAfterMove = false;
  bool FEditorShown = false;
  bool FHiddenForScrolling = false;
  // Above 0 while the editor is placed or hidden: the focus that moves
  // meanwhile between it and the grid must not place it again.
  int FEditorBusy = 0;
  bool FEditing = true;
  int FEditingMode = 0;
  bool FPendingShow = false;
  bool FPendingShowQueued = false;
  int FSelectedAreaCursor = 0;
  bool FDragging = false;
  bool FHeldDrawn = false; // the held cell button is drawn pushed in
  int FKeySuspend = 0;
  bool FFocusEditorOnKeyUp = false;
  bool FKeyFromEditor = false;
  bool FEditorPassedKey = false;
  bool FFocusFromControl = false;
  bool FAlwaysShowEditor = true;
  bool FSkipReadOnly = true;
  bool FSelectFixed = true;
  bool FWantTabs = true;
  bool FTabRowWrap = true;
  bool FCheckMouseFocus = true;
  std::string FCheckBoxValues;
  // ---- Mouse state.
  QPoint FDownCell{-1, -1}, FUpCell{-1, -1};
  QPoint FPressPoint;
  qint64 FPressTime = 0;
  bool FDblClickPress = false;
  bool FShowEditorAfterPress = false;
  bool FPressNotedByControl = false;
  bool FPressToControl = false;
  bool FSuppressClick = false;
  // A handler let go of the mouse during the press: its release is not ours.
  bool FPressLetGo = false;
  int FSizeIndex = -1;
  int FSizingLine = -1;
  int FGrabOffset = 0;
  bool FSizeNoMove = false;
  // A selection drag reaches from the pressed line (the anchor) to the
  // last line it covered.
  int FRowAnchor = -1, FDragRow = -1;
  int FColAnchor = -1, FDragCol = -1;
  int FMoveOrigin = -1;
  int FMoveTarget = -1;
  bool FMarkerShown = false;
  int FHeldPart = 0;
  bool FHeldLook = false;
  QPoint FLastMouse;
  bool FSyncingSizes = false;
  // The defaults the own sizes were last brought in line with.
  int FSyncedRowHeight = -1, FSyncedColWidth = -1;
  // Set while the bars are decided and applied: the resizes their showing
  // causes come back here and must not decide again on a half-applied state.
  bool FUpdatingScrollBars = false;
};

} // namespace marrowen
