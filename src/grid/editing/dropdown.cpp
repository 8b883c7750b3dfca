#include "grid/data/cells.h"
#include "grid/data/colrow.h"
#include "grid/data/gridutils.h"
#include "grid/data/keys.h"
#include "grid/data/qtbytes.h"
#include "grid/editing/combo.h"
#include "grid/editing/datetime.h"
#include "grid/editors/editorwrappers.h"
#include "grid/widget/dgbasegrid.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>

#include <algorithm>

namespace marrowen {

namespace {

template <class F> struct Finally {
  F f;
  ~Finally() { f(); }
};
template <class F> Finally(F) -> Finally<F>;

std::int64_t monotonicMilliseconds() {
  static QElapsedTimer timer = [] {
    QElapsedTimer t;
    t.start();
    return t;
  }();
  return timer.elapsed();
}

constexpr std::int64_t typeAheadPause = 2000;

} // namespace

// The text editor when it shows over the current cell.
TdgGridEditBox *ShownTextEditor(const TdgBaseGrid &grid) {
  if (!grid.EditorShown() || &grid.ActiveControl() != &grid.EditControl() ||
      !grid.EditControl().GetVisible())
    return nullptr;
  return &grid.EditControl().Editor();
}

TdgDropDownForm *TdgBaseGrid::DropDownForm() {
  if (!FDropDownForm) {
    FDropDownForm = new TdgDropDownForm(*this);
    FDropDownForm->setFont(toQFont(FFont));
  }
  return FDropDownForm;
}

TdgCombo *TdgBaseGrid::GetCombo() {
  if (!FCombo) {
    FCombo = CreateCombo();
    if (!FCombo || !FCombo->ComboGrid())
      return FCombo.get();
    // A combo made while the grid was read has not been set up yet.
    if (!NotLoading())
      InitComboGrid(*FCombo->ComboGrid());
    FCombo->ComboGrid()->show();
  }
  return FCombo.get();
}

void TdgBaseGrid::InitComboGrid(TdgComboGrid &list) {
  TdgBaseGrid &setUp = list;
  setUp.FSettingUpList = true;
  list.BeginUpdate();
  Finally end{[&list, &setUp] {
    list.EndUpdate();
    setUp.FSettingUpList = false;
  }};
  list.SetColor(Color());
  list.setCursor(cursor());
  list.SetDefaultButtonHeight(DefaultButtonHeight());
  list.SetDefaultButtonWidth(DefaultButtonWidth());
  list.SetDefaultRowHeight(DefaultRowHeight());
  list.SetEditColor(EditColor());
  list.SetEditFontColor(EditFontColor());
  list.SetSelectionColor(SelectionColor());
  list.SetSelectionFontColor(SelectionFontColor());
  list.SetSelectionType(SelectionType());
  static_cast<TdgBaseGrid &>(list).FFont.Assign(FFont);
  list.SetCols(1);
  list.SetRowSelectMode(rsSingle);
  list.SetGridMode(gmListBox);
  list.SetRowChangedIndicator(riAutoReset);
  list.SetColSelectMode(csNone);
  list.SetRowMoving(false);
  list.SetColMoving(false);
  list.SetAlwaysShowEditor(true);
  list.SetAlwaysShowFocus(false);
  list.SetResizeCols(rcNone);
  list.SetResizeRows(rrNone);
  list.SetFocusBorder(fbDot);
  list.SetHeadingOn(false);
  list.SetRowBarOn(false);
  list.SetHeadingHeight(15);
  list.SetRowBarWidth(14);
  list.SetScrollBars(ssVertical);
  list.SetThumbTracking(true);
}

void TdgBaseGrid::InitCombo(TdgCombo *combo) {
  if (!combo || !combo->ComboGrid())
    return;
  TdgComboGrid &list = *combo->ComboGrid();
  list.SetRows(0);
  combo->SetDropDownRows(4);
  list.SetCols(1);
  combo->SetDropDownCols(1);
  combo->SetValueCol(1);
  combo->SetCompareType(ctCaseInsensitive);
  list.SetStoreData(false);
}

TdgCombo *TdgBaseGrid::ComboOfCell(int dataCol, int dataRow) {
  if (dataCol < 1 || dataCol > Cols() || dataRow < 1 || dataRow >= RowCount())
    return nullptr;
  // The last level's combo serves even while it follows the grid's.
  const std::array<CellLevel, 3> levels = CellLevels(dataCol, dataRow);
  for (std::size_t i = 0; i < levels.size(); ++i)
    if (levels[i] && levels[i].ButtonType() == btCombo &&
        (i + 1 == levels.size() || !levels[i].ParentCombo()))
      return levels[i].Combo();
  return nullptr;
}

TdgDropDownStyle TdgBaseGrid::CellDropDownStyle(int dataCol, int dataRow) {
  const CellLevel level =
      ButtonLevel(dataCol, dataRow, [](TdgButtonType type) { return type != btDefault; });
  return level ? level.DropDownStyle() : ddDropDown;
}

bool TdgBaseGrid::ComboOpen() const {
  return FComboCol != -1 && FDropDownForm && FDropDownForm->isVisible();
}

void TdgBaseGrid::ForgetCopiedCombo(const TdgCombo *combo) {
  if (FLastCopiedCombo == combo) {
    FLastCopiedCombo = nullptr;
    FComboPrepared = false;
  }
}

void TdgBaseGrid::ToggleComboDropDown(int dataCol, int dataRow) {
  if (FComboCol == dataCol && FComboRow == dataRow && ComboOpen())
    CloseComboDropDown();
  else
    OpenComboDropDown(dataCol, dataRow);
}

void TdgBaseGrid::OpenComboDropDown(int dataCol, int dataRow) {
  if (FComboCol != -1 && (FComboCol != dataCol || FComboRow != dataRow))
    CloseComboDropDown(false);
  // A picker still open (its cell's button became a list's meanwhile) rolls
  // up first: the keys are the list's from now on.
  if (FDateTimeCol != -1)
    CloseDateTimeDropDown(false);
  TdgCombo *combo = GetCombo();
  if (!combo || !combo->ComboGrid())
    return;
  TdgComboGrid &list = *combo->ComboGrid();
  TdgDropDownForm *form = DropDownForm();
  if (list.Rows() > 0) {
    list.SetTopRow(1);
    list.SetLeftCol(1);
  }
  PrepareCombo(dataCol, dataRow);
  const bool wasOpen = FComboCol != -1;
  FComboCol = dataCol;
  FComboRow = dataRow;
  if (!wasOpen)
    DoComboDropDown(&list, dataCol, dataRow);
  SizeDropDown(list, true);
  if (list.GridMode() == gmListBox && list.RowSelectMode() == rsSingle && list.Rows() > 0)
    list.SelectCurrentRow();
  PlaceDropDown(list, list.width(), list.height());
  PositionListOnCell(list, dataCol, dataRow);
  if (FPicker && FPicker->parentWidget() == form)
    FPicker->hide();
  list.show();
  form->show();
  form->raise();
  list.update();
}

// The list opens on what the cell holds: searched as the editor's text is
// when the list searches, else on the row of that very value, so that taking
// the list's row at once changes nothing.
void TdgBaseGrid::PositionListOnCell(TdgComboGrid &list, int dataCol, int dataRow) {
  const TdgGridEditBox *editor = ShownTextEditor(*this);
  const bool current = dataCol == GetCurrentDataCol() && dataRow == GetCurrentDataRow();
  const std::string text = editor && current ? editor->Text()
                           : current         ? CurrentCell().GetValue().toString()
                                             : GetCell(dataCol, dataRow).toString();
  if (list.AutoSearch() != asNone) {
    bool found = false;
    list.Position(list.Search(text, false, found));
    return;
  }
  if (text.empty())
    return;
  if (const int row = list.RowOfValue(text); row > 0)
    list.Position(row);
}

void TdgBaseGrid::CloseComboDropDown(bool refocus) {
  ClearComboTypeAhead();
  const int col = FComboCol, row = FComboRow;
  const bool shown = FDropDownForm && FDropDownForm->isVisible();
  if (col == -1 && !shown)
    return;
  TdgComboGrid *list = FCombo ? FCombo->ComboGrid() : nullptr;
  if (col != -1)
    DoComboRollUp(list, col, row);
  FComboCol = -1;
  FComboRow = -1;
  // Each list is prepared for its own drop-down only.
  FComboPrepared = false;
  if (shown)
    FDropDownForm->hide();
  EndPressHeldByDropDown();
  if (refocus && window()->isActiveWindow()) {
    if (TdgGridEditBox *editor = ShownTextEditor(*this))
      editor->setFocus();
    else
      setFocus();
  }
}

void TdgBaseGrid::EndPressHeldByDropDown() {
  if (MouseStatus() != msButtonHeld || (QApplication::mouseButtons() & Qt::LeftButton))
    return;
  LeaveCellButtons();
  ReleaseMouseCapture();
  SetMouseStatus(msNothing);
}

void TdgBaseGrid::CloseDropDowns() {
  CloseComboDropDown(false);
  CloseDateTimeDropDown(false);
}

void TdgBaseGrid::PrepareCombo(int dataCol, int dataRow) {
  if (FComboPrepared)
    return;
  TdgCombo *combo = GetCombo();
  if (!combo || !combo->ComboGrid())
    return;
  TdgComboGrid &list = *combo->ComboGrid();
  if (TdgCombo *own = ComboOfCell(dataCol, dataRow)) {
    if (own != FLastCopiedCombo) {
      FLastCopiedCombo = own;
      combo->Assign(*own);
    }
  } else {
    if (FLastCopiedCombo)
      combo->Reinitialise();
    else
      InitCombo(combo);
    combo->SetDropDownStyle(CellDropDownStyle(dataCol, dataRow));
    list.SetDefaultColWidth(ColWidths(DisplayColOf(dataCol)) + 10);
    list.SetDefaultRowHeight(std::max(FRequestedDefaultRowHeight, list.GridTextHeight()));
    list.UpdateScrollBars();
    FLastCopiedCombo = nullptr;
  }
  DoComboInit(&list, dataCol, dataRow);
  FComboPrepared = true;
}

int TdgBaseGrid::DropDownWidth(int cols) {
  if (cols <= 0)
    return width();
  int w = 0, counted = 0;
  for (int p = 1; p <= Cols() && counted < cols; ++p) {
    const TdgCol *col = ColObject(DataColAt(p));
    if (col && !col->Visible())
      continue;
    w += ColWidths(p);
    ++counted;
  }
  if (BorderStyle() == bsSingle)
    w += 2 * frameWidth();
  if (RowBarOn())
    w += RowBarWidth();
  return w;
}

int TdgBaseGrid::DropDownHeight(int rows) {
  if (rows < 1)
    return height();
  int h = BorderStyle() == bsSingle ? 2 * frameWidth() : 0;
  if (HeadingOn())
    h += HeadingHeight();
  int shown = 0;
  for (int r = 1; r <= Rows() && shown < rows; ++r)
    shown += RowHeights(GetDisplayRowOf(r)) > 0 ? 1 : 0;
  return h + DefaultRowHeight() * std::max(1, shown);
}

void TdgBaseGrid::SizeDropDown(TdgComboGrid &list, bool force) {
  const int rows = list.DropDownRows(), cols = list.DropDownCols();
  int w = list.DropDownWidth(cols);
  int h = list.DropDownHeight(rows);
  const int extent = list.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &list);
  // A bar shows where the size leaves out columns or rows that are shown:
  // hidden ones take no room. A width or height kept as it stands is asked
  // the same.
  const bool horzBar = list.Cols() > 0 && list.DropDownWidth(list.Cols()) > w;
  const bool vertBar = list.Rows() > 0 && list.DropDownHeight(list.Rows()) > h;
  if (rows > 0 && horzBar)
    h += extent;
  if (cols > 0 && vertBar)
    w += extent;
  if (!force && w == list.width() && h == list.height())
    return;
  if (ComboOpen() || FComboCol != -1)
    PlaceDropDown(list, w, h);
  else
    list.resize(w, h);
}

QRect TdgBaseGrid::ScreenAreaAt(const QPoint &global) {
  QScreen *screen = QGuiApplication::screenAt(global);
  if (!screen)
    screen = QGuiApplication::primaryScreen();
  return screen ? screen->availableGeometry() : QRect(0, 0, 1 << 20, 1 << 20);
}

void TdgBaseGrid::PlaceDropDown(TdgComboGrid &list, int w, int h) {
  int col = Col(), row = Row();
  if (FComboCol > 0 && FComboRow > 0 && FDropDownForm) {
    col = DisplayColOf(FComboCol);
    row = GetDisplayRowOf(FComboRow);
  }
  const TRect cell = GetPaintCellRect(col, row);
  QPoint p = cell.Width() > 0 && cell.Height() > 0
                 ? viewport()->mapToGlobal(QPoint(cell.Left, cell.Bottom))
                 : viewport()->mapToGlobal(QPoint(0, 0));
  if (const int colWidth = ColWidths(col); colWidth > w)
    p.rx() += colWidth - w;
  if (list.x() != 0 || list.y() != 0)
    list.move(0, 0);
  p = KeepDropDownOnScreen(ScreenAreaAt(viewport()->mapToGlobal(QPoint(cell.Left, cell.Top))),
                           p.x(), p.y(), w, h, row >= 0 ? RowHeights(row) : 0, VertLineWidth());
  if (list.width() != w || list.height() != h) {
    list.setGeometry(0, 0, w, h);
    list.UpdateScrollBars();
  }
  TdgDropDownForm *form = DropDownForm();
  form->setGeometry(p.x(), p.y(), w, h);
  form->raise();
}

void TdgBaseGrid::TakeComboValue(const Variant &value) {
  const int col = GetCurrentDataCol(), row = GetCurrentDataRow();
  if (col < 1 || row < 1)
    return;
  const TdgControlType type = CellControlType(col, row);
  if (!value.isEmpty() && !CheckCellValue(type, value))
    return;
  if (VarSameValue(value, CurrentCell().GetValue()))
    return;
  if (!CurrentCell().SetValue(value, true, true))
    return;
  if (type == ctText)
    CurrentCell().SelectAll();
}

Variant TdgBaseGrid::ComboValue(int valueCol) {
  TdgComboGrid *list = FCombo ? FCombo->ComboGrid() : nullptr;
  if (!list)
    return {};
  const int listRow = list->GetCurrentDataRow();
  if (listRow < 1)
    return {};
  if (!list->SelectFixed() && list->Row() < list->FixedRows())
    return {};
  const int col = GetCurrentDataCol(), row = GetCurrentDataRow();
  Variant value;
  DoComboGetValue(list, col, row, listRow, value);
  if (value.isEmpty() && valueCol > 0)
    value = list->GetCell(valueCol, listRow);
  const TdgControlType type = CellControlType(col, row);
  if (value.isEmpty() && list->StoreData())
    value = EmptyValueOf(type);
  if (type == ctText && !value.isEmpty() && !value.isNull() && value.type() != varString)
    value = Variant(value.toString());
  return value;
}

void TdgBaseGrid::TakeListValueAndClose() {
  TdgComboGrid *list = FCombo ? FCombo->ComboGrid() : nullptr;
  const Variant value = list ? ComboValue(list->ValueCol()) : Variant();
  CloseComboDropDown();
  if (list && list->GetCurrentDataRow() >= 1)
    TakeComboValue(value);
}

bool TdgBaseGrid::DropDownKeyDown(std::uint16_t &key, TShiftState shift) {
  if (DateTimeOpen())
    return DateTimeKeyDown(key, shift);
  const bool none = shift == TShiftState();
  const bool opener =
      (none && key == VK_F4) || (shift == TShiftState(ssAlt) && (key == VK_UP || key == VK_DOWN));
  if (!ComboOpen()) {
    if (!opener)
      return false;
    const int col = GetCurrentDataCol(), row = GetCurrentDataRow();
    if (col < 1 || row < 1)
      return false;
    const TdgButtonType type = EffectiveButtonType(col, row);
    if (type == btCombo)
      OpenComboDropDown(col, row);
    else if (type == btDateTimeDropDown || type == btDateTimePopup)
      ToggleDateTimeDropDown(col, row);
    else
      return false;
    key = 0;
    return true;
  }
  TdgComboGrid &list = *FCombo->ComboGrid();
  const bool editorShown = ShownTextEditor(*this) != nullptr;
  const auto toList = [&](std::uint16_t listKey, TShiftState listShift) {
    list.KeyDown(listKey, listShift);
    key = 0;
    return true;
  };
  if (opener) {
    CloseComboDropDown();
    key = 0;
    return true;
  }
  if (key == VK_TAB && (none || shift == TShiftState(ssShift))) {
    CloseComboDropDown();
    return false;
  }
  if (shift.has(ssCtrl))
    return toList(key, shift);
  if (!none)
    return false;
  switch (key) {
  case VK_RETURN:
    TakeListValueAndClose();
    key = 0;
    return true;
  case VK_ESCAPE:
    CloseComboDropDown();
    key = 0;
    return true;
  case VK_PRIOR:
  case VK_NEXT:
  case VK_UP:
  case VK_DOWN:
    return toList(key, shift);
  case VK_HOME:
  case VK_END:
    if (editorShown)
      return false;
    return toList(key == VK_END ? VK_DOWN : VK_UP, TShiftState(ssCtrl));
  case VK_LEFT:
  case VK_RIGHT:
    if (editorShown && !HasValue()) {
      key = 0;
      return true;
    }
    return toList(key, shift);
  default:
    return false;
  }
}

void TdgBaseGrid::DropDownPress(QMouseEvent &e) {
  const QPoint global = e.globalPosition().toPoint();
  // The toolkit drops the release of this press: the target gets both.
  const auto deliver = [&](QWidget *target) {
    const QPointF local = target->mapFromGlobal(QPointF(global));
    QPointer<QWidget> guard = target;
    QMouseEvent press(QEvent::MouseButtonPress, local, QPointF(global), e.button(), e.buttons(),
                      e.modifiers());
    QApplication::sendEvent(target, &press);
    if (!guard)
      return;
    QMouseEvent release(QEvent::MouseButtonRelease, local, QPointF(global), e.button(),
                        e.buttons() & ~e.button(), e.modifiers());
    QApplication::sendEvent(target, &release);
  };
  TdgGridEditBox *editor = ShownTextEditor(*this);
  if (editor && editor->rect().contains(editor->mapFromGlobal(global))) {
    deliver(editor);
    return;
  }
  const QPoint p = viewport()->mapFromGlobal(global);
  const int col = ColumnAt(p.x()), row = RowAt(p.y());
  const bool openCell =
      DateTimeOpen() ? col == DisplayColOf(FDateTimeCol) && row == GetDisplayRowOf(FDateTimeRow)
                     : col == DisplayColOf(FComboCol) && row == GetDisplayRowOf(FComboRow);
  // A right press closes only a drop-down of another cell.
  if (openCell && e.button() == Qt::RightButton) {
    deliver(viewport());
    return;
  }
  if (DateTimeOpen()) {
    const bool onButton = openCell && PointOnCellButton(p.x(), p.y(), row, col);
    CloseDateTimeDropDown(onButton);
    if (!onButton)
      deliver(viewport());
    return;
  }
  if (openCell && e.button() == Qt::LeftButton) {
    // The open cell's button closes the list; anywhere else in it keeps it.
    // A double click whose first press opened the list is the cell's own
    // double click, as it is on a closed list.
    if (PointOnClickButton(p.x(), p.y(), row, col))
      CloseComboDropDown();
    if (e.type() == QEvent::MouseButtonDblClick && !PointOnCellButton(p.x(), p.y(), row, col)) {
      CloseComboDropDown();
      QMouseEvent twice(QEvent::MouseButtonDblClick, QPointF(p), QPointF(global), e.button(),
                        e.buttons(), e.modifiers());
      QApplication::sendEvent(viewport(), &twice);
    }
    return;
  }
  CloseComboDropDown(false);
  deliver(viewport());
}

void TdgBaseGrid::ComboEditorChanged(bool complete) {
  TdgComboGrid *list = FCombo ? FCombo->ComboGrid() : nullptr;
  TdgGridEditBox *editor = ShownTextEditor(*this);
  if (!list || !editor || !ComboOpen() || list->AutoSearch() == asNone)
    return;
  const std::string text = editor->Text();
  bool found = false;
  list->Position(list->Search(text, false, found));
  const int col = GetCurrentDataCol(), row = GetCurrentDataRow();
  if (!complete || !list->AutoFill() || CellControlType(col, row) != ctText)
    return;
  const int match = list->Search(text, true, found);
  if (!found)
    return;
  const std::string value = list->ValueText(match);
  const std::size_t typed = utf8::characterCount(text);
  if (value == text || utf8::characterCount(value) <= typed)
    return;
  // The caret stays after what was typed, counted in the value's own
  // characters (a letter folded to another case may take other bytes); the
  // completed rest is selected.
  const std::size_t start = utf8::characterOffset(value, typed);
  editor->SetTextNotify(value, true);
  editor->SetSelStart(static_cast<int>(start));
  editor->SetSelLength(static_cast<int>(value.size() - start));
}

bool TdgBaseGrid::ClearComboTypeAhead() {
  const bool had = !FTypeAhead.empty() || FTypeAheadTick != 0;
  FTypeAhead.clear();
  FTypeAheadTick = 0;
  return had;
}

bool TdgBaseGrid::ComboTypeAhead(std::string_view typed, bool stepOn) {
  TdgComboGrid *list = FCombo ? FCombo->ComboGrid() : nullptr;
  if (!list || typed.empty())
    return false;
  const std::int64_t now = TickCount ? TickCount() : monotonicMilliseconds();
  if (now - FTypeAheadTick >= typeAheadPause)
    FTypeAhead.clear();
  FTypeAhead += typed;
  bool found = false;
  int row = list->Search(FTypeAhead, true, found);
  const int current = list->GetCurrentDataRow();
  if (stepOn && utf8::characterCount(FTypeAhead) == 1 && current >= 1 &&
      list->Compare(list->ValueText(current), FTypeAhead, 1) == 0 && !list->ValueColSorted())
    row = list->NextMatch(FTypeAhead, found);
  if (found)
    list->Position(row);
  FTypeAheadTick = now;
  return found;
}

bool TdgBaseGrid::ComboKeyToValue(std::string_view typed) {
  const int col = GetCurrentDataCol(), row = GetCurrentDataRow();
  if (col < 1 || row < 1 || typed.empty() || static_cast<unsigned char>(typed[0]) < 32 ||
      ButtonTypeAsDataRow(col, row) != btCombo ||
      !CellEditableUpTo(col, row, Rows() + FInsertRowFlag) ||
      (&ControlForType(CellControlType(col, row)) != FDefaultControl.get() &&
       !ListOnlyCell(col, row)))
    return false;
  const bool open = ComboOpen();
  if (!open) {
    // Prepared for this key only: the next drop-down prepares afresh.
    PrepareCombo(col, row);
    FComboPrepared = false;
  }
  TdgComboGrid *list = FCombo ? FCombo->ComboGrid() : nullptr;
  if (!list)
    return true;
  // The shared list still stands where another cell left it: the letters
  // step on from this cell's own value, and letters no choice agrees with
  // leave the value as it is.
  // A cell that holds no choice has no row to step on from: its letter
  // leads to the first choice it starts.
  bool stepOn = true;
  if (!open) {
    PositionListOnCell(*list, col, row);
    const int listRow = list->GetCurrentDataRow();
    stepOn =
        listRow >= 1 && list->Equal(list->ValueText(listRow), CurrentCell().GetValue().toString());
  }
  if (!ComboTypeAhead(typed, stepOn))
    return true;
  const Variant value = ComboValue(list->ValueCol());
  if (!value.isEmpty() && !VarSameValue(value, CurrentCell().GetValue()))
    CurrentCell().SetValue(value, true, true);
  if (open)
    list->update();
  return true;
}

void TdgBaseGrid::SetComboColumnWidth(int width) { SetDefaultColWidth(width + 10); }

void TdgBaseGrid::ResetToNewGrid(TdgPropKinds kinds) {
  const std::unique_ptr<TdgBaseGrid> fresh = NewGridOfSameClass();
  auto *list = dynamic_cast<TdgComboGrid *>(this);
  TdgBaseGrid *owner = list ? list->OwnerGrid() : nullptr;
  if (list && owner && NotLoading()) {
    auto &freshList = static_cast<TdgComboGrid &>(*fresh);
    owner->InitComboGrid(freshList);
    if (owner->ComboCol() > 0)
      freshList.SetComboColumnWidth(owner->ColWidths(owner->DisplayColOf(owner->ComboCol())));
  }
  CopyGrid(*fresh, kinds, false);
  if (list && owner) {
    if (NotLoading())
      owner->InitCombo(list->Combo());
  } else {
    if (FCombo)
      FCombo->Reinitialise();
    FComboPrepared = false;
    FLastCopiedCombo = nullptr;
  }
  UpdateScrollBars();
}

} // namespace marrowen
