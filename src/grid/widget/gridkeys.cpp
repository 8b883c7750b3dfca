// The data grid's keyboard: the key table of navigation and editing keys,
// the in-place control that stands over the current cell (placed after every
// move, hidden while the grid scrolls), and the notifications of the controls
// wired to the grid's own handling.

#include "classlib/scopeexit.h"
#include "grid/data/gridutils.h"
#include "grid/data/keys.h"
#include "grid/data/qtbytes.h"
#include "grid/widget/dgbasegrid.h"

#include <QApplication>
#include <QKeyEvent>

#include <algorithm>

namespace marrowen {

// ------------------------------------------------------------ the controls

void TdgBaseGrid::CreateControls() {
  QWidget *parent = viewport();
  FEditControl = std::make_unique<TdgEditGridControl>(parent);
  FCheckControl = std::make_unique<TdgCheckGridControl>(parent);
  FDefaultControl = std::make_unique<TdgDefaultGridControl>(parent);
  for (TdgCustomGridControl *c : {static_cast<TdgCustomGridControl *>(FEditControl.get()),
                                  static_cast<TdgCustomGridControl *>(FCheckControl.get()),
                                  static_cast<TdgCustomGridControl *>(FDefaultControl.get())}) {
    c->Control().SetGridWidget(this);
    c->Control().SetShowsFileNames(FShowsFileNames);
    c->SetTextMargin(3);
    c->SetTop(-(c->Height() + 1));
    WireControl(*c);
  }
  FCheckControl->SetAllowGrayed(false);
  FCheckControl->SetCheckBoxStyle(FCheckBoxStyle);
  FActiveControl = FEditControl.get();
}

void TdgBaseGrid::WireControl(TdgCustomGridControl &wrapper) {
  TdgGridControl &c = wrapper.Control();
  c.OnEditKeyDown = [this](TdgGridControl *, std::uint16_t &key, TShiftState shift) {
    EditorKeyDown(key, shift);
  };
  c.OnEditKeyUp = [this](TdgGridControl *, std::uint16_t &key, TShiftState shift) {
    KeyUp(key, shift);
  };
  c.OnEditKeyPress = [this](TdgGridControl *, char &key) { EditorKeyPress(key); };
  c.OnStartEdit = [this](TdgGridControl *, bool &cancel) {
    cancel = !EditingAllowed() || !StartCellEdit();
    if (!cancel)
      cancel = !StartRowEdit();
    // The change the control makes next begins the edit it asked for here.
    FEditStartGranted = !cancel;
  };
  c.OnChange = [this](TdgGridControl *, bool notify, bool byUser, bool) {
    EditorChanged(notify, byUser);
  };
  c.OnSelChange = [this](TdgGridControl *, bool) {
    if (FActiveControl)
      CurrentCell().TakeSelection(FActiveControl->GetSelStart(), FActiveControl->GetSelLength());
  };
  c.OnUndoEdit = [this](TdgGridControl *, bool, bool &cancel) { cancel = !UndoCellFromControl(); };
  c.OnWantKey = [this](TdgGridControl *, std::uint16_t, bool &want) {
    const QKeyEvent escape(QEvent::ShortcutOverride, Qt::Key_Escape, Qt::NoModifier);
    want = WantsKey(escape);
  };
  c.OnExitEdit = [this](TdgGridControl *) { EditorExit(); };
  c.OnEditTextResized = [this](TdgGridControl *, bool byUser) { DoEditTextResized(byUser); };
  c.OnInvalidEditKey = [this](TdgGridControl *, const std::string &keys, bool &accept) {
    accept = DoInvalidMaskEdit(keys, GetCurrentDataCol(), GetCurrentDataRow());
  };
  auto toGrid = [this, &c](int &x, int &y) {
    const QPoint p = c.mapTo(viewport(), QPoint(x, y));
    x = p.x();
    y = p.y();
  };
  c.OnClick = [this](TdgGridControl *) {
    Click();
    const int dataCol = GetCurrentDataCol(), dataRow = GetCurrentDataRow();
    DoClickCell(dataCol, dataRow, dataCol, dataRow, cpCell, cpCell);
  };
  c.OnDblClick = [this](TdgGridControl *) {
    DblClick();
    DoDblClickCell(GetCurrentDataCol(), GetCurrentDataRow(), cpCell);
  };
  c.OnMouseDown = [this, toGrid](TdgGridControl *, TMouseButton button, TShiftState shift, int x,
                                 int y) {
    toGrid(x, y);
    if (OnMouseDown)
      OnMouseDown(this, button, shift, x, y);
  };
  c.OnMouseMove = [this, toGrid](TdgGridControl *, TShiftState shift, int x, int y) {
    toGrid(x, y);
    if (OnMouseMove)
      OnMouseMove(this, shift, x, y);
  };
  c.OnMouseUp = [this, toGrid](TdgGridControl *, TMouseButton button, TShiftState shift, int x,
                               int y) {
    toGrid(x, y);
    if (OnMouseUp)
      OnMouseUp(this, button, shift, x, y);
  };
}

TdgCustomGridControl &TdgBaseGrid::ControlForType(TdgControlType type) const {
  switch (type) {
  case ctText:
    return *FEditControl;
  case ctCheck:
    return *FCheckControl;
  default:
    return *FDefaultControl;
  }
}

void TdgBaseGrid::EditorKeyDown(std::uint16_t &key, TShiftState shift) {
  FKeyFromEditor = true;
  ScopeExit done{[this] { FKeyFromEditor = false; }};
  KeyDown(key, shift);
  // An Escape left over goes on to the form holding the grid.
  FEditorPassedKey = key == VK_ESCAPE;
}

void TdgBaseGrid::EditorKeyPress(char &key) {
  FKeyFromEditor = true;
  ScopeExit done{[this] { FKeyFromEditor = false; }};
  KeyPress(key);
}

void TdgBaseGrid::EditorChanged(bool notify, bool) {
  if (!notify || !FActiveControl)
    return;
  CurrentCell().TakeSelection(FActiveControl->GetSelStart(), FActiveControl->GetSelLength());
  FEditing = true;
  const Variant value = FActiveControl->GetValue();
  // The control's own undo reports going back to what the cell holds (an
  // empty cell as the control shows it): that is no change, and no edit
  // starts over it. Under way, an edit takes every change without the cell
  // fetched again for each key.
  if (!FCellEditing) {
    Variant held = CurrentCell().GetValue();
    if (held.isEmpty())
      held = EmptyValueOf(CurrentCell().ControlType());
    if (VarSameValue(value, held)) {
      FEditStartGranted = false;
      return;
    }
  }
  EditorValueChanged(value);
}

bool TdgBaseGrid::UndoCellFromControl() {
  // An ended edit is kept: the control's saved text belongs to it, and
  // bringing it back would change a cell no edit is under way in, past the
  // handlers that ended the edit or refuse a new one.
  if (!FCellEditing)
    return false;
  const int dataCol = GetCurrentDataCol();
  const int dataRow = GetCurrentDataRow();
  if (DoUndoCellEdit(dataCol, dataRow, false))
    return false;
  FCellEditing = false;
  FEscapeUndidCell = true;
  DropPending();
  if (FStorage) {
    if (FActiveControl == FEditControl.get())
      SetCell(dataCol, dataRow, Variant(FEditControl->Editor().SavedText()));
    else if (FActiveControl == FCheckControl.get())
      SetCell(dataCol, dataRow, FCheckControl->CheckBox().SavedValue());
  }
  InvalidateCell(Col(), Row());
  UndoUnchangedNewRow();
  return true;
}

void TdgBaseGrid::EditorExit() {
  const QWidget *to = QApplication::focusWidget();
  if (!to)
    return;
  if (to == this || to == viewport()) {
    FFocusFromControl = true;
    return;
  }
  if (isAncestorOf(to))
    return;
  FocusLeft();
}

// -------------------------------------------------------------- properties

void TdgBaseGrid::SetAlwaysShowEditor(bool value) {
  if (FAlwaysShowEditor == value)
    return;
  FAlwaysShowEditor = value;
  if (!FCellEditing)
    FEditing = value;
  PlaceEditor();
}

void TdgBaseGrid::SetSkipReadOnly(bool value) {
  if (FSkipReadOnly == value)
    return;
  FSkipReadOnly = value;
  RevalidateCurrentCol();
}

void TdgBaseGrid::SetWantTabs(bool value) {
  FWantTabs = value;
  if (FActiveControl)
    FActiveControl->SetWantTabs(value);
}

void TdgBaseGrid::SetSelectFixed(bool value) {
  if (FSelectFixed == value)
    return;
  FSelectFixed = value;
  const int fixedRows = std::max(0, FixedRows() - 1);
  if (!value && fixedRows > 0) {
    DeselectRows(1, fixedRows);
    if (FGridMode == gmListBox && Row() >= 1 && Row() <= fixedRows)
      MoveToRow(fixedRows + 1, false);
  }
  if (FGridMode == gmListBox && FRowSelectMode == rsSingle && FRowSelection.Count == 0 &&
      Rows() >= 1 && Row() >= 1 && (value || Row() > fixedRows))
    SelectCurrentRow();
  FireSelectChanged(false);
  ReportGridStatus();
  InvalidateGrid();
}

void TdgBaseGrid::SetRowChangedIndicator(TdgRowChangedIndicator value) {
  if (FRowChangedIndicator == value)
    return;
  FRowChangedIndicator = value;
  // Without lasting marks none may stay behind to show later.
  if (value != riOn)
    ResetRowProperties(2048);
  else
    InvalidateDisplayCol(0);
}

void TdgBaseGrid::SetCheckBoxValues(const std::string &value) {
  if (FCheckBoxValues == value)
    return;
  // With errors off the text is taken as it is: its parts are read as far as
  // they go.
  if (!IsValidCheckBoxValues(value))
    ReportError(std::string(invalidCheckBoxValuesText));
  FCheckBoxValues = value;
  if (FCheckControl)
    FCheckControl->SetCheckBoxValues(value);
  InvalidateGrid();
}

// ------------------------------------------------------- editor placement

bool TdgBaseGrid::CellNavigation() const {
  if (FGridStatus != gsNothing)
    return false;
  if (FGridMode == gmEdit || FGridMode == gmEditInsert)
    return true;
  return FGridMode != gmListBox &&
         (FFocusBorder != fbNone || FFocusColor != clNone || FFocusFontColor != clNone);
}

bool TdgBaseGrid::EditorMayShow() {
  return EditorMayStand() && !IsRectEmpty(GetCellRect(Col(), Row()));
}

bool TdgBaseGrid::EditorMayStand() const {
  if (!HandleAllocated() || Col() < 1 || Row() < 1 || Row() >= RowCount() || Col() >= ColCount())
    return false;
  return FGridStatus == gsNothing && (FGridMode == gmEdit || FGridMode == gmEditInsert);
}

void TdgBaseGrid::EditorSetup(TdgCustomGridControl &control) {
  const int dataCol = GetCurrentDataCol();
  const int dataRow = GetCurrentDataRow();
  const TRect r = GetPaintCellRect(Col(), Row());
  int right = r.Right;
  const TdgButtonType button = EffectiveButtonType(dataCol, dataRow);
  if (button != btNone) {
    if (TdgCustomButton *b = GetCellButton(Col(), button))
      right = std::max(r.Left + 3, r.Right - b->GetTotalWidth());
  }
  control.SetBounds(
      QRect(r.Left + 3, r.Top, std::max(1, right - r.Left - 3), std::max(1, r.Height())));
  // An insert row not entered yet (an empty grid's only row, reached by the
  // keyboard) becomes a row at the first key typed in it, so its cells take
  // typing as their column allows.
  const bool newRow = FGridMode == gmEditInsert && FInsertRowFlag && Row() == RowCount() - 1;
  const TdgCol *col = ColObject(dataCol);
  const bool editable = (newRow ? dataCol >= 1 && !(col && (col->ReadOnly() || !col->Visible()))
                                : CellEditable(dataCol, dataRow)) &&
                        EditingAllowed();
  TColor color = EffectiveColor(dataCol, dataRow, false);
  if (editable && FEditColor != clNone)
    color = FEditColor;
  control.SetColor(color);
  QFont font = toQFont(EffectiveFont(dataCol, dataRow));
  control.SetFont(font);
  // The text colour is set every time: a cell without an edit colour shows
  // its own font's, not the one the previous cell was edited in.
  {
    QPalette pal = control.Control().palette();
    const TColor text = editable && FEditFontColor != clNone
                            ? FEditFontColor
                            : EffectiveFont(dataCol, dataRow).Color();
    pal.setColor(QPalette::Text, colorToQColor(text, palette()));
    control.Control().setPalette(pal);
  }
  const TdgHorzAlignment horz = EffectiveHorzAlignment(dataCol, dataRow);
  control.SetHorzAlignment(horz == htaDefault ? htaLeft : horz);
  control.SetVertAlignment(EffectiveVertAlignment(dataCol, dataRow));
  control.SetWordWrap(EffectiveWordWrap(dataCol, dataRow));
  control.SetEditable(editable);
  control.SetMaxLength(col ? col->MaxLength() : 0);
  control.SetWantTabs(FWantTabs);
  if (&control == FEditControl.get()) {
    TdgMaskDefinition *mask = MaskDefinitionFor(dataCol, dataRow);
    if (mask)
      FEditControl->Editor().MaskCheck = [mask](const std::string &text, std::string &insert,
                                                int pos) {
        return mask->Check(text, insert, pos, 0, mask->Mode());
      };
    else
      FEditControl->Editor().MaskCheck = nullptr;
  }
  control.SetKeepSelection(FAlwaysShowFocus);
  if (&control == FCheckControl.get()) {
    FCheckControl->SetAllowGrayed(col && col->AllowGrayed());
    FCheckControl->SetCheckBoxStyle(FCheckBoxStyle);
    FCheckControl->SetCheckBoxValues(CheckBoxValuesOf(dataCol));
  }
}

void TdgBaseGrid::PlaceEditor() {
  if (!FEditControl || !HandleAllocated())
    return;
  ++FEditorBusy;
  ScopeExit done{[this] { --FEditorBusy; }};
  if (Updating()) {
    FPendingShow = true;
    return;
  }
  FPendingShow = false;
  FHiddenForScrolling = false;
  FPlaceAfterMove = false;
  const bool mayShow = EditorMayShow();
  // A drop-down-list cell has no editor: its text only ever comes from the list.
  const TdgControlType type = mayShow && !ListOnlyCell(GetCurrentDataCol(), GetCurrentDataRow())
                                  ? CellControlType(GetCurrentDataCol(), GetCurrentDataRow())
                                  : ctNone;
  TdgCustomGridControl &control = ControlForType(type);
  const CellIdentity cell = CurrentIdentity();
  // The editor of a cell scrolled out of view goes out of sight with what was
  // typed and where the caret stood, and comes back with them: only an
  // editor whose cell changed is loaded afresh.
  if (!mayShow && FEditorCol >= 0 && FEditorCell == cell && EditorMayStand() &&
      FActiveControl != FDefaultControl.get() &&
      FActiveControl ==
          &ControlForType(CellControlType(GetCurrentDataCol(), GetCurrentDataRow()))) {
    PutOutOfSight(*FActiveControl);
    FEditorCol = Col();
    FEditorRow = Row();
    return;
  }
  // A control of another kind over the same cell (its kind changed) takes the
  // cell's value as over a new cell.
  bool newControl = false;
  if (FActiveControl != &control) {
    HideControl(*FActiveControl);
    FActiveControl = &control;
    newControl = true;
  }
  if (!mayShow || &control == FDefaultControl.get()) {
    PutOutOfSight(control);
    FEditorCol = FEditorRow = -1;
    return;
  }
  // The editor holds its own cell: a cell that moved keeps its text and
  // caret, another cell at the editor's place is loaded afresh.
  const bool newCell = newControl || FEditorCol < 0 || FEditorCell != cell;
  EditorSetup(control);
  if (FEditorCol >= 0 && (FEditorCol != Col() || FEditorRow != Row()))
    InvalidateCell(FEditorCol, FEditorRow);
  FEditorCol = Col();
  FEditorRow = Row();
  FEditorCell = cell;
  if (newCell) {
    LoadControl(control, CurrentCell().GetValue());
    if (&control == FEditControl.get()) {
      FEditControl->Editor().Reset();
      if (FEditingMode == 2)
        FEditControl->SetSelStart(static_cast<int>(FEditControl->Editor().Text().size()));
      else if (FEditingMode == 0)
        FEditControl->SelectAll();
    }
  }
  if (FEditing) {
    control.Show();
    FEditorShown = true;
    if (hasFocus() && !control.Focused())
      control.SetFocus();
  } else {
    HideControl(control);
    FEditorShown = false;
  }
}

void TdgBaseGrid::PutOutOfSight(TdgCustomGridControl &control) {
  HideControl(control);
  control.SetBounds(QRect(-control.Width(), -control.Height(), control.Width(), control.Height()));
  FEditorShown = false;
}

void TdgBaseGrid::RefreshEditor() {
  if (FDestroying)
    return;
  // A handler changing a property while the grid paints: the end of the
  // paint places the editor.
  if (FPaintingNow)
    FPendingShow = true;
  else if (!LeaveHiddenLines())
    PlaceEditor();
}

void TdgBaseGrid::RefreshCellControl(int dataCol, int dataRow) {
  if (!CheckIndex(TdgIndexKind::Column, dataCol, 1, Cols()) ||
      !CheckIndex(TdgIndexKind::Row, dataRow, 1, RowCount() - 1))
    return;
  InvalidateCell(DisplayColOf(dataCol), GetDisplayRowOf(dataRow));
  if (dataCol == GetCurrentDataCol() && dataRow == GetCurrentDataRow())
    RefreshEditor();
}

// The grid takes the focus first, so that it never wanders off the grid.
void TdgBaseGrid::HideControl(TdgCustomGridControl &control) {
  ++FEditorBusy;
  ScopeExit done{[this] { --FEditorBusy; }};
  if (QApplication::focusWidget() == &control.Control() && isVisible())
    setFocus();
  control.Hide();
}

void TdgBaseGrid::HideCellEditor(bool forScrolling) {
  if (!FActiveControl)
    return;
  HideControl(*FActiveControl);
  FEditorShown = false;
  // The window shows what lay under the control once it is hidden.
  if (forScrolling)
    FHiddenForScrolling = true;
}

bool TdgBaseGrid::StartEditing(int mode) {
  if (!EditingAllowed() || FEditing)
    return false;
  EnterInsertRow();
  if (!CellEditable(GetCurrentDataCol(), GetCurrentDataRow()))
    return false;
  FEditing = true;
  FEditingMode = mode;
  FEditorCol = FEditorRow = -1;
  PlaceEditor();
  return FEditorShown;
}

TdgMaskDefinition *TdgBaseGrid::MaskDefinitionFor(int dataCol, int dataRow) {
  TdgMaskDefsComponent *defs = MaskDefs();
  if (!defs || CellControlType(dataCol, dataRow) != ctText)
    return nullptr;
  const std::string name = CellMaskName(dataCol, dataRow);
  TdgMaskDefinition *mask = name.empty() ? nullptr : defs->FindDefinition(name);
  return mask && mask->Active() ? mask : nullptr;
}

bool TdgBaseGrid::CheckMaskOnEnd() {
  const int dataCol = GetCurrentDataCol(), dataRow = GetCurrentDataRow();
  TdgMaskDefinition *mask = MaskDefinitionFor(dataCol, dataRow);
  if (!mask || !mask->CheckOnEnd())
    return true;
  std::string text = CurrentCell().GetValue().toString();
  std::string append;
  if (!mask->CheckWhole(text, append))
    return DoInvalidMaskValue(dataCol, dataRow);
  if (!append.empty()) {
    text += append;
    if (FActiveControl == FEditControl.get() && EditorHoldsCurrentCell()) {
      FEditControl->SetValueNotify(Variant(text), true);
      FEditControl->SetSelStart(static_cast<int>(text.size()));
    } else {
      EditorValueChanged(Variant(text));
    }
  }
  return true;
}

void TdgBaseGrid::EndEditInCell() {
  if (FAlwaysShowEditor)
    return;
  if (!EndEdit())
    return;
  FEditing = FAlwaysShowEditor;
  FEditorCol = FEditorRow = -1;
  HideCellEditor();
  InvalidateCell(Col(), Row());
}

// ------------------------------------------------------------------- moves

bool TdgBaseGrid::MoveToCell(int displayCol, int displayRow, int) {
  if (displayCol < 1 || displayRow < 1 || displayCol >= ColCount() || displayRow >= RowCount())
    return false;
  if (displayCol == Col() && displayRow == Row()) {
    ScrollCurrentIntoView();
    return false;
  }
  if (!CanLeaveCell(DataColAt(displayCol), DataRowAt(displayRow), true))
    return false;
  // The control stays where it is, with the focus, until it is placed over
  // the new cell or hidden there: passing the focus to the grid and back for
  // every move would cost a repaint of each.
  FEditorShown = false;
  const int oldRow = Row();
  MoveCurrent(displayCol, displayRow, true, true);
  if (oldRow != Row())
    InvalidateCell(0, oldRow);
  InvalidateCell(0, Row());
  PlaceEditor();
  return true;
}

void TdgBaseGrid::ScrollCurrentIntoView() { ClampInView(TGridCoord{Col(), Row()}); }

int TdgBaseGrid::FullyVisibleRows() const { return std::max(1, RowsFittingFrom(TopRow())); }

void TdgBaseGrid::MoveUp() {
  const int row = PrevRow(Row(), MovesSkipReadOnly());
  if (row >= 1)
    MoveToCell(Col(), row, 2);
  if (!CellNavigation() && FGridStatus == gsRowsSelected) {
    ClearRowSelection();
    SelectCurrentRow();
    FireSelectChanged(true);
  }
}

void TdgBaseGrid::MoveDown() {
  int row = NextRow(Row(), MovesSkipReadOnly());
  if (row < 1 && FGridMode == gmEditInsert && FInsertRowFlag && Row() < RowCount() - 1)
    row = RowCount() - 1;
  if (row >= 1)
    MoveToCell(Col(), row, 2);
  if (!CellNavigation() && FGridStatus == gsRowsSelected) {
    ClearRowSelection();
    SelectCurrentRow();
    FireSelectChanged(true);
  }
}

void TdgBaseGrid::MovePageUp() {
  const int page = FullyVisibleRows();
  const int first = FirstScrollableRow();
  // From a fixed data row there is nothing further up to page to: Page Up
  // must not carry the current cell down into the scrolling rows.
  const int target = std::min(Row(), std::max(first, Row() - page));
  const int top = std::max(first, TopRow() - page);
  if (top != TopRow())
    MoveTopLeft(LeftCol(), top);
  MoveToCell(Col(), std::max(1, target), 2);
  if (FGridStatus == gsRowsSelected) {
    ClearRowSelection();
    SelectCurrentRow();
    FireSelectChanged(true);
  }
}

void TdgBaseGrid::MovePageDown() {
  const int page = FullyVisibleRows();
  const int last = RowCount() - 1;
  const int target = std::min(last, Row() + page);
  const int top = std::min(MaxTopRow(), TopRow() + page);
  if (top != TopRow() && top >= FirstScrollableRow())
    MoveTopLeft(LeftCol(), top);
  MoveToCell(Col(), target, 2);
  if (FGridStatus == gsRowsSelected) {
    ClearRowSelection();
    SelectCurrentRow();
    FireSelectChanged(true);
  }
}

void TdgBaseGrid::MoveFirstRow() {
  const int row = FirstRow(MovesSkipReadOnly());
  if (row >= 1)
    MoveToCell(Col(), row, 2);
}

void TdgBaseGrid::MoveLastRow() {
  const int row = LastRow(MovesSkipReadOnly());
  if (row >= 1)
    MoveToCell(Col(), row, 2);
}

void TdgBaseGrid::MoveFirstCell() {
  const int col = FirstCol(MovesSkipReadOnly());
  const int row = FirstRow(MovesSkipReadOnly());
  if (col >= 1 && row >= 1)
    MoveToCell(col, row);
}

void TdgBaseGrid::MoveLastCell() {
  const int col = LastCol(MovesSkipReadOnly());
  const int row = LastRow(MovesSkipReadOnly());
  if (col >= 1 && row >= 1)
    MoveToCell(col, row);
}

void TdgBaseGrid::MoveNextCell(bool byEnter) {
  const bool skip = MovesSkipReadOnly();
  const int col = NextCol(Col(), skip);
  if (col >= 1) {
    MoveToCell(col, Row(), 1);
    return;
  }
  if (!FTabRowWrap)
    return;
  const int row = NextRow(Row(), skip);
  const int first = FirstCol(skip);
  if (row >= 1 && first >= 1) {
    MoveToCell(first, row);
    return;
  }
  if (FGridMode == gmEditInsert && FInsertRowFlag && Row() < RowCount() - 1 && first >= 1) {
    MoveToCell(first, RowCount() - 1);
    return;
  }
  // Past the last cell, Enter ends the row and starts a new one.
  if (byEnter && FGridMode == gmEditInsert && first >= 1 && EndCellAndRowEdit(true) &&
      Row() == RowCount() - 1 && !FInsertRowFlag) {
    FInsertRowFlag = 1;
    SetRowCount(RowCount() + 1);
    MoveToCell(first, RowCount() - 1);
  }
}

void TdgBaseGrid::MovePrevCell() {
  const bool skip = MovesSkipReadOnly();
  const int col = PrevCol(Col(), skip);
  if (col >= 1) {
    MoveToCell(col, Row(), 1);
    return;
  }
  if (!FTabRowWrap)
    return;
  const int row = PrevRow(Row(), skip);
  const int last = LastCol(skip);
  if (row >= 1 && last >= 1)
    MoveToCell(last, row);
}

void TdgBaseGrid::EndEditOrAppend() {
  if ((FGridMode != gmEdit && FGridMode != gmEditInsert) || FGridStatus != gsNothing)
    return;
  // The row above may be hidden: the nearest shown row above takes the cell.
  if (const int above = OnAppendRow() ? PrevRow(RowCount() - 1, false) : -1; above >= 1) {
    HideCellEditor();
    MoveToCell(Col(), above);
    return;
  }
  EndEditInCell();
}

// -------------------------------------------------------------------- keys

void TdgBaseGrid::KeyDown(std::uint16_t &key, TShiftState shift) {
  const auto byUser = UserScrolling();
  DoKeyDownEvent(key, shift);
  if (key == 0 || FKeySuspend > 0)
    return;
  if (key == VK_ESCAPE && MouseStatus() != msNothing && MouseStatus() != msButtonHeld) {
    CancelMouseOperation();
    key = 0;
    return;
  }
  if (DropDownKeyDown(key, shift))
    return;
  const bool ctrl = shift.has(ssCtrl);
  const bool alt = shift.has(ssAlt);
  if (key == VK_TAB && ctrl && !alt) {
    if (LeaveByTab(!shift.has(ssShift)))
      key = 0;
    return;
  }
  // A key meets the current cell where it can be seen, also after the grid
  // was scrolled away from it.
  if (key != VK_SHIFT && key != VK_CONTROL && key != VK_MENU && Col() >= 1 && Row() >= 1)
    ScrollCurrentIntoView();
  const bool shiftOnly = shift.has(ssShift) && !ctrl && !alt;
  const bool none = !shift.has(ssShift) && !ctrl && !alt;
  if (key == VK_ESCAPE && !FTypeAhead.empty()) {
    ClearTypeAhead();
    // What the typed keys picked is taken back by the same Escape.
    if (!FCellEditing) {
      key = 0;
      return;
    }
  }
  const bool nav = CellNavigation();
  bool handled = true;
  if (none) {
    switch (key) {
    case VK_UP:
      MoveUp();
      break;
    case VK_DOWN:
      MoveDown();
      break;
    case VK_PRIOR:
      MovePageUp();
      break;
    case VK_NEXT:
      MovePageDown();
      break;
    case VK_LEFT:
      if (nav) {
        MovePrevCell();
      } else if (LeftCol() > FirstScrollableCol()) {
        MoveTopLeft(LeftCol() - 1, TopRow());
        if (Col() > LastVisibleCol())
          MoveToCell(LastVisibleCol(), Row(), 0);
      }
      break;
    case VK_RIGHT:
      if (nav) {
        MoveNextCell(false);
      } else if (LastVisibleCol() < ColCount() - 1 || ColumnLeft(ColCount() - 1) < 0) {
        const int left = std::min(LeftCol() + 1, MaxLeftCol());
        if (left != LeftCol()) {
          MoveTopLeft(left, TopRow());
          MoveToCell(std::max(Col() + 1 < ColCount() ? Col() + 1 : Col(), LeftCol()), Row(), 0);
        }
      }
      break;
    case VK_TAB:
      if (nav)
        MoveNextCell(false);
      else
        handled = false;
      break;
    case VK_RETURN:
      if ((FGridMode == gmEdit || FGridMode == gmEditInsert) && FGridStatus == gsNothing)
        MoveNextCell(true);
      else
        handled = false;
      break;
    case VK_ESCAPE: {
      const bool hadEdit = FCellEditing || FRowEditing;
      if (hadEdit && EscapeUndo()) {
        EndEditOrAppend();
      } else if (!hadEdit && (OnAppendRow() || EditorOpenedForEdit())) {
        EndEditOrAppend();
      } else {
        handled = false;
      }
      break;
    }
    case VK_F2:
      if (!FEditing || !FEditorShown) {
        FEditing = false;
        StartEditing(2);
      }
      break;
    default:
      handled = false;
      break;
    }
  } else if (shiftOnly) {
    switch (key) {
    case VK_TAB:
      MovePrevCell();
      break;
    case VK_INSERT:
      CurrentCell().CheckedPasteFromClipboard();
      break;
    case VK_DELETE:
      CurrentCell().CheckedCutToClipboard();
      break;
    default:
      handled = false;
      break;
    }
  } else if (ctrl && !alt && !shift.has(ssShift)) {
    switch (key) {
    case VK_INSERT:
    case 'C':
      CurrentCell().CopyToClipboard();
      break;
    case 'V':
      CurrentCell().CheckedPasteFromClipboard();
      break;
    case 'X':
      CurrentCell().CheckedCutToClipboard();
      break;
    case 'Z':
      if (UndoEdit(false, false))
        UndoUnchangedNewRow();
      else
        handled = false;
      break;
    case VK_HOME:
      MoveFirstCell();
      break;
    case VK_END:
      MoveLastCell();
      break;
    case VK_LEFT: {
      const int col = FirstCol(MovesSkipReadOnly());
      if (col >= 1)
        MoveToCell(col, Row(), 1);
      break;
    }
    case VK_RIGHT: {
      const int col = LastCol(MovesSkipReadOnly());
      if (col >= 1)
        MoveToCell(col, Row(), 1);
      break;
    }
    case VK_UP:
      MoveFirstRow();
      break;
    case VK_DOWN:
      MoveLastRow();
      break;
    default:
      handled = false;
      break;
    }
  } else {
    handled = false;
  }
  if (handled)
    key = 0;
}

void TdgBaseGrid::KeyUp(std::uint16_t &key, TShiftState shift) {
  if (FFocusEditorOnKeyUp) {
    FFocusEditorOnKeyUp = false;
    if (FEditorShown && FActiveControl)
      FActiveControl->SetFocus();
  }
  DoKeyUpEvent(key, shift);
}

void TdgBaseGrid::KeyPress(char &key) {
  DoKeyPressEvent(key);
  if (key == 0 || FKeySuspend > 0 || FKeyFromEditor)
    return;
  if (key == 13 || key == 27 || key == 9)
    return;
  if (ComboKeyToValue(typedKeyText(key))) {
    key = 0;
    return;
  }
  TdgCustomGridControl *editor = EditorTaking(key);
  if (!editor)
    return;
  // The character becomes the first of the edit, typed into the control.
  TdgGridControl &target = editor->Control();
  if (static_cast<unsigned char>(key) == 8) {
    std::uint16_t back = VK_BACK;
    target.KeyDown(back, TShiftState());
  } else {
    char ch = key;
    target.KeyPress(ch);
  }
  key = 0;
}

void TdgBaseGrid::WMChar(char ch) { KeyPress(ch); }

void TdgBaseGrid::TypeBeyondCodePage(const QString &text) {
  if (text.isEmpty() || FKeySuspend > 0 || FKeyFromEditor)
    return;
  // Such a letter leads a list-only cell to its value as any other does.
  if (ComboKeyToValue(qStringToBytes(text)))
    return;
  if (TdgCustomGridControl *editor = EditorTaking(' '))
    editor->Control().TypeText(text);
}

TdgCustomGridControl *TdgBaseGrid::EditorTaking(char key) {
  TdgCustomGridControl &control =
      ControlForType(CellControlType(GetCurrentDataCol(), GetCurrentDataRow()));
  if (!control.IsInputChar(key))
    return nullptr;
  // A key can reach the grid while the editor stands over the cell (the cell
  // was scrolled back into sight for it): the editor takes it then.
  if (FEditorShown && FActiveControl != &control)
    return nullptr;
  if (!FEditorShown) {
    FEditing = false;
    if (!StartEditing(0) || !FActiveControl)
      return nullptr;
  }
  return FActiveControl;
}

void TdgBaseGrid::keyPressEvent(QKeyEvent *e) {
  if (FEditorPassedKey) {
    // The control left this key: the form holding the grid may have it.
    FEditorPassedKey = false;
    e->ignore();
    return;
  }
  std::uint16_t key = virtualKeyOf(*e);
  const TShiftState shift = shiftStateOf(*e);
  try {
    if (key != 0)
      KeyDown(key, shift);
    char ch = typedCharOf(*e);
    bool beyond = false;
    if (ch == 0 && !e->text().isEmpty() &&
        !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
      characterBeyondCodePage(e->text(), 0, beyond);
    if (ch != 0 && key != VK_ESCAPE)
      WMChar(ch);
    else if (beyond)
      TypeBeyondCodePage(e->text());
  } catch (...) {
    reportGridException(std::current_exception());
  }
  if (key == VK_ESCAPE || (key == VK_TAB && !FWantTabs))
    e->ignore();
  else
    e->accept();
}

// As a dialog moves on from a control that keeps plain Tab: the next control
// outside the grid that Tab reaches, whether the grid or its editor has the
// focus.
bool TdgBaseGrid::LeaveByTab(bool forward) {
  for (QWidget *w = forward ? nextInFocusChain() : previousInFocusChain(); w && w != this;
       w = forward ? w->nextInFocusChain() : w->previousInFocusChain()) {
    if (isAncestorOf(w) || w->window() != window() || w->focusProxy() ||
        !(w->focusPolicy() & Qt::TabFocus) || !w->isEnabled() || !w->isVisibleTo(window()))
      continue;
    w->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
  }
  return false;
}

bool TdgBaseGrid::focusNextPrevChild(bool next) {
  if (KeepsTab() && !(QApplication::keyboardModifiers() & Qt::ControlModifier))
    return false;
  return QAbstractScrollArea::focusNextPrevChild(next);
}

} // namespace marrowen
