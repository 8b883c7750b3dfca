#pragma once

#include "grid/data/gridtypes.h"
#include "grid/data/variant.h"
#include "grid/widget/gridevents.h"
#include "grid/widget/gridmodes.h"

#include <functional>
#include <string>

namespace marrowen {

class TdgBaseGrid;
class TdgComboGrid;
class TdgDateTimeDefComponent;

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

// The events a form assigns to a data grid and the firing operations that
// call them; the grid derives from it. Those left abstract here fire from
// the event layer, which names data rows.
class DataGridEvents {
public:
  virtual ~DataGridEvents() = default;

  TdgCountChangedEvent OnColCountChanged;
  TdgCountChangedEvent OnRowCountChanged;
  TdgMovedEvent OnRowMoved;
  TdgRowEvent OnInsertRow;
  TdgRowEvent OnDeleteRow;
  TdgRowEvent OnDeleteCol;
  TdgRowEvent OnInsertCol;
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

  // Events of the mouse, buttons, drop-downs, masks and focus. Those naming
  // a data row fire from the event layer below.
  TdgButtonEvent OnButtonClick;
  TdgButtonEvent OnButtonDown;
  TdgButtonEvent OnButtonUp;
  TdgCanStartDragEvent OnCanStartDrag;
  TdgClickCellEvent OnClickCell;
  TdgDblClickCellEvent OnDblClickCell;
  TdgComboCellLoadedEvent OnComboCellLoaded;
  TdgComboCompareValueEvent OnComboCompareValue;
  TdgComboLCompareValueEvent OnComboLCompareValue;
  TdgComboCellEvent OnComboDropDown;
  TdgComboGetValueEvent OnComboGetValue;
  TdgComboCellEvent OnComboInit;
  TdgComboCellEvent OnComboRollUp;
  TdgDateTimeCellEvent OnDateTimeDropDown;
  TdgDateTimeGetValueEvent OnDateTimeGetValue;
  TdgDateTimeCellEvent OnDateTimeInit;
  TdgDateTimeCellEvent OnDateTimeRollUp;
  TdgEditTextResizedEvent OnEditTextResized;
  TdgHeadingClickEvent OnHeadingClick;
  TdgHeadingClickEvent OnHeadingDown;
  TdgHeadingClickEvent OnHeadingUp;
  TdgInvalidCellKeysEvent OnInvalidMaskEdit;
  TdgInvalidCellValueEvent OnInvalidMaskValue;
  TdgMouseStatusChangedEvent OnMouseStatusChanged;
  TdgPaintCellEvent OnPaintCell;
  TdgGetDrawInfoEvent OnGetDrawInfo;
  TdgShowEditorEvent OnShowEditor;
  TdgSpinButtonEvent OnSpinButtonClick;
  TdgSpinButtonEvent OnSpinButtonDown;
  TdgSpinButtonEvent OnSpinButtonUp;
  TdgSpinIncrementEvent OnSpinIncrement;
  TdgSpinRepeatEvent OnSpinRepeat;
  TdgFocusEvent OnEnter;
  TdgFocusEvent OnExit;

  // Firing operations.
  virtual void DoColCountChanged(int oldCount, int newCount);
  virtual void DoRowCountChanged(int oldCount, int newCount);
  virtual void DoRowMoved(int toDisplayRow, int count, bool byUser);
  virtual void DoDeleteCol(int dataCol, bool byUser);
  virtual void DoInsertCol(int dataCol, bool byUser);
  // Called as each paint begins.
  virtual void PaintStarting() {}
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
  virtual void DoSelectChanged(TdgSelectType type, bool byUser);
  virtual void DoGridStatusChanged(TdgGridStatus oldStatus, TdgGridStatus newStatus);
  virtual void RowInserted(int dataRow, bool byUser) = 0;
  virtual void RowDeleted(int dataRow, bool byUser) = 0;
  // Fetches a value for display or reading: the row-loaded and cell-loaded
  // events, and the conversion of what the handler left.
  virtual void CellLoaded(int dataCol, int dataRow, Variant &value, TdgControlType type) = 0;
  virtual bool DoCanStartDrag();
  virtual void DoComboCompareValue(const std::string &comboString,
                                   const std::string &currentCellString, int &compareRes);
  virtual void DoComboLCompareValue(const std::string &comboString,
                                    const std::string &currentCellString, int len, int &compareRes);
  virtual void DoEditTextResized(bool byUser);
  virtual void DoHeadingClick(int dataCol);
  virtual void DoHeadingDown(int dataCol);
  virtual void DoHeadingUp(int dataCol);
  virtual void DoMouseStatusChanged(TdgMouseStatus oldStatus, TdgMouseStatus newStatus);
  virtual void DoEnter();
  virtual void DoExit();
  virtual void DoButtonClick(int dataCol, int dataRow) = 0;
  virtual void DoButtonDown(int dataCol, int dataRow) = 0;
  virtual void DoButtonUp(int dataCol, int dataRow) = 0;
  // Answers whether a handler is assigned.
  virtual bool DoClickCell(int dataColDown, int dataRowDown, int dataColUp, int dataRowUp,
                           TdgClickPosition downPos, TdgClickPosition upPos) = 0;
  virtual void DoDblClickCell(int dataCol, int dataRow, TdgClickPosition pos) = 0;
  virtual void DoComboDropDown(TdgComboGrid *combo, int dataCol, int dataRow) = 0;
  virtual void DoComboGetValue(TdgComboGrid *combo, int gridDataCol, int gridDataRow,
                               int comboDataRow, Variant &value) = 0;
  virtual void DoComboInit(TdgComboGrid *combo, int dataCol, int dataRow) = 0;
  virtual void DoComboRollUp(TdgComboGrid *combo, int dataCol, int dataRow) = 0;
  virtual void DoDateTimeDropDown(TdgDateTimeDefComponent *def, int dataCol, int dataRow) = 0;
  virtual void DoDateTimeGetValue(TdgDateTimeDefComponent *def, int dataCol, int dataRow,
                                  Variant &value) = 0;
  virtual void DoDateTimeInit(TdgDateTimeDefComponent *def, int dataCol, int dataRow) = 0;
  virtual void DoDateTimeRollUp(TdgDateTimeDefComponent *def, int dataCol, int dataRow) = 0;
  // Answer the handler's Accept or Cancel, False when none is assigned.
  virtual bool DoInvalidMaskEdit(const std::string &keys, int dataCol, int dataRow) = 0;
  virtual bool DoInvalidMaskValue(int dataCol, int dataRow) = 0;
  virtual bool DoShowEditor(int dataCol, int dataRow) = 0;
  virtual void DoSpinButtonClick(int dataCol, int dataRow, TdgSpinButton button) = 0;
  virtual void DoSpinButtonDown(int dataCol, int dataRow, TdgSpinButton button) = 0;
  virtual void DoSpinButtonUp(int dataCol, int dataRow, TdgSpinButton button) = 0;
  virtual bool DoSpinIncrement(int dataCol, int dataRow, TdgSpinButton button, Variant &value,
                               int &pos, int &len) = 0;
  virtual void DoSpinRepeat(int dataCol, int dataRow, int count, TdgSpinButton button) = 0;
  // Whether a draw-info handler is assigned; the painter builds the record
  // for it only then.
  virtual bool HasDrawInfoHandler() const { return false; }
  virtual void GetDrawInfo(int, int, TdgDrawInfo &) {}
  // Whether the user's cell painting replaced the cell's content.
  virtual bool PaintCellByUser(int displayCol, int displayRow, const TRect &rect,
                               TdgPaintCellState state) = 0;

protected:
  // The grid the events name.
  TdgBaseGrid *Self();
};

} // namespace marrowen
