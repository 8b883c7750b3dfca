// The data grid's mouse while a button is held and as it comes up: sizing,
// selecting and moving rows and columns with automatic scrolling, a held
// cell or heading button, what the release completes, and the overlay that
// draws the sizing line and the drop marker.

#include "grid/widget/dgbasegrid.h"

#include <QPainter>
#include <QScreen>

#include <algorithm>
#include <utility>

namespace marrowen {

namespace {

// Moves a drag's span from anchor..last to anchor..point: the lines it
// leaves are deselected, the lines it newly covers selected, and what lay
// selected outside it before the press stays.
template <class Select, class Deselect>
void followSpan(int anchor, int last, int point, Select select, Deselect deselect) {
  const int oldLow = std::min(anchor, last), oldHigh = std::max(anchor, last);
  const int low = std::min(anchor, point), high = std::max(anchor, point);
  if (oldLow < low)
    deselect(oldLow, low - 1);
  if (oldHigh > high)
    deselect(high + 1, oldHigh);
  if (low < oldLow)
    select(low, oldLow - 1);
  if (high > oldHigh)
    select(oldHigh + 1, high);
}

} // namespace

// The sizing line and the drop marker lie over everything the grid paints;
// a transparent child of the viewport draws them.
class TdgBaseGrid::MouseOverlay : public QWidget {
public:
  explicit MouseOverlay(TdgBaseGrid &grid) : QWidget(grid.viewport()) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
  }
  QRect line;
  bool dotted = false;

protected:
  void paintEvent(QPaintEvent *) override {
    if (line.isEmpty())
      return;
    QPainter p(this);
    if (dotted) {
      p.setPen(QPen(Qt::black, 1, Qt::DotLine));
      if (line.width() == 1)
        p.drawLine(line.left(), line.top(), line.left(), line.bottom());
      else
        p.drawLine(line.left(), line.top(), line.right(), line.top());
    } else {
      p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
      p.fillRect(line, Qt::white);
    }
  }
};

void TdgBaseGrid::UpdateOverlay() {
  if (!FOverlay) {
    FOverlay = new MouseOverlay(*this);
  }
  FOverlay->setGeometry(0, 0, ClientWidth(), ClientHeight());
  QRect line;
  bool dotted = false;
  const int right =
      std::min(ClientWidth(), ColumnLeft(ColCount() - 1) >= 0
                                  ? ColumnLeft(ColCount() - 1) + ColWidths(ColCount() - 1)
                                  : ClientWidth());
  const int bottom =
      std::min(ClientHeight(), RowTop(RowCount() - 1) >= 0
                                   ? RowTop(RowCount() - 1) + RowHeights(RowCount() - 1)
                                   : ClientHeight());
  if (FSizingLine >= 0) {
    dotted = true;
    if (MouseStatus() == msRowSizing || MouseStatus() == msHeadingSizing)
      line = QRect(0, FSizingLine, right, 1);
    else
      line = QRect(FSizingLine, 0, 1, bottom);
  } else if (FMarkerShown) {
    if (MouseStatus() == msRowMoving) {
      const int top = RowTop(FMoveTarget);
      const int y = FMoveTarget > FMoveOrigin ? top + RowHeights(FMoveTarget) - 2 : top;
      line = QRect(0, y, right, 2);
    } else {
      const int left = ColumnLeft(FMoveTarget);
      const int x = FMoveTarget > FMoveOrigin ? left + ColWidths(FMoveTarget) - 2 : left;
      line = QRect(x, 0, 2, bottom);
    }
  }
  if (line != FOverlay->line || dotted != FOverlay->dotted) {
    FOverlay->update(FOverlay->line.adjusted(-1, -1, 1, 1));
    FOverlay->line = line;
    FOverlay->dotted = dotted;
    FOverlay->update(line.adjusted(-1, -1, 1, 1));
  }
  FOverlay->setVisible(!line.isEmpty());
  FOverlay->raise();
}

// The drop marker is drawn over the cells' pixels, and a scroll of the view
// under a drag carries that drawing along: the copy is painted over again
// where it went, and only the marker at the new target stays.
void TdgBaseGrid::PixelsScrolled(int dx, int dy, const QRect &area) {
  if (FOverlay && FOverlay->isVisible() && !FOverlay->line.isEmpty())
    FOverlay->update(FOverlay->line.adjusted(-1, -1, 1, 1).translated(dx, dy) & area);
}

// ------------------------------------------------------------- sizing

void TdgBaseGrid::StartSizing(TdgMouseStatus status, int index, int linePos, int x, int y) {
  SetMouseStatus(status);
  FSizeIndex = index;
  const bool rows = status == msRowSizing || status == msHeadingSizing;
  FGrabOffset = linePos - (rows ? y : x);
  FSizingLine = linePos;
  FSizeNoMove = true;
  UpdateOverlay();
}

void TdgBaseGrid::FinishSizing(int x, int y, bool apply) {
  const TdgMouseStatus status = MouseStatus();
  const bool rows = status == msRowSizing || status == msHeadingSizing;
  const int index = FSizeIndex;
  FSizingLine = -1;
  UpdateOverlay();
  if (!apply || index < 0)
    return;
  if (FSizeNoMove)
    return; // nothing moved: the size stays as it was
  const int edge =
      rows ? std::min(y + FGrabOffset, ClientHeight()) : std::min(x + FGrabOffset, ClientWidth());
  const int start = rows ? RowTop(index) : ColumnLeft(index);
  if (start < 0 || edge <= start)
    return;
  const int extent = edge - start + 1;
  const int before = rows ? RowHeights(index) : ColWidths(index);
  if (index == 0) {
    if (rows)
      SetHeadingHeight(extent);
    else
      SetRowBarWidth(extent);
  } else if (rows ? FResizeRows == rrAll : FResizeCols == rcAll) {
    if (rows || extent != DefaultColWidth()) {
      HideCellEditor();
      if (rows)
        SetDefaultRowHeight(extent);
      else
        SetDefaultColWidth(extent);
    }
  } else if (extent != before) {
    if (index == (rows ? Row() : Col()))
      HideCellEditor();
    if (rows)
      SetRowHeights(index, extent);
    else
      SetColWidths(index, extent);
  }
  // Every sizing the user made is reported with the line sized, the row bar
  // and the heading (0) and a size given to all lines included.
  if (extent != before) {
    if (rows)
      DoRowResized(index == 0 ? 0 : DataRowAt(index));
    else
      DoColResized(index == 0 ? 0 : DataColAt(index));
  }
  UpdateScrollRange();
  PlaceEditor();
}

void TdgBaseGrid::CancelMouseOperation() {
  const TdgMouseStatus status = MouseStatus();
  if (status == msNothing || status == msButtonHeld)
    return;
  StopAutoScrollTimer();
  switch (status) {
  case msRowSizing:
  case msColSizing:
  case msHeadingSizing:
  case msRowBarSizing:
    FinishSizing(0, 0, false);
    break;
  case msRowMoving:
  case msColMoving:
    FMarkerShown = false;
    UpdateOverlay();
    break;
  case msRowSelecting:
    // The drag's rows go again; the pressed one keeps what the press made it.
    if (FRowSelectMode == rsMulti)
      FollowRowDrag(FRowAnchor);
    break;
  case msColSelecting:
    if (FColAnchor >= 1)
      FollowColDrag(FColAnchor);
    break;
  case msRangeSelecting:
    ExtendRange(Col(), Row());
    FireSelectChanged(true);
    break;
  case msHeadingButtonHeld:
    // The heading comes up without a click: its up event ends what its
    // down event began.
    if (const int held = FHeldHeading; held >= 0) {
      HoldHeading(-1);
      DoHeadingUp(held);
    }
    break;
  default:
    break;
  }
  FSuppressClick = true;
  SetMouseStatus(msNothing);
  ReportGridStatus();
  PlaceEditor();
}

// -------------------------------------------------------------- moves

bool TdgBaseGrid::MoveChangesSomething(bool rows, int origin, int target) const {
  const int from = std::min(origin, target), to = std::max(origin, target);
  for (int i = from; i <= to; ++i) {
    const bool selected = rows ? FRowSelection.IsSelected(i) : FColSelection.IsSelected(i);
    const bool hidden = rows ? RowHeights(i) <= 0 : ColWidths(i) <= 0;
    if (!selected && !hidden)
      return true;
  }
  return false;
}

void TdgBaseGrid::FollowRowDrag(int row) {
  row = std::max(std::min(row, Rows()), FirstSelectableLine(true));
  if (FRowAnchor < 1 || row == FDragRow || row >= RowCount())
    return;
  if (FRowSelectMode == rsSingle) {
    // The one selected row goes where the mouse is, the current cell with it.
    if (!CanLeaveCell(GetCurrentDataCol(), DataRowAt(row), true))
      return;
    ClearRowSelection();
    SelectRows(row, row);
    MoveCurrent(Col(), row, true, false);
  } else if (FRowSelectMode == rsMulti) {
    followSpan(
        FRowAnchor, FDragRow, row, [this](int from, int to) { SelectRows(from, to); },
        [this](int from, int to) { DeselectRows(from, to); });
  } else {
    return;
  }
  FDragRow = row;
  FireSelectChanged(true);
}

void TdgBaseGrid::FollowColDrag(int col) {
  col = std::max(std::min(col, ColCount() - 1), FirstSelectableLine(false));
  if (FColAnchor < 1 || col == FDragCol || col >= ColCount())
    return;
  followSpan(
      FColAnchor, FDragCol, col, [this](int from, int to) { SelectCols(from, to); },
      [this](int from, int to) { DeselectCols(from, to); });
  FDragCol = col;
  FireSelectChanged(true);
}

// A drag reaches only what can be seen; automatic scrolling brings the
// next line into view a step at a time. A point past the last line (in the
// empty part of the window or beyond it) stands for the last line shown; one
// before the cells (the row bar, the heading, beyond the window) for none,
// which a range or a move takes as the first line shown.
int TdgBaseGrid::DragLineAt(bool rows, int pos) const {
  if (pos < 0)
    return 0;
  const int at =
      pos < (rows ? ClientHeight() : ClientWidth()) ? (rows ? RowAt(pos) : ColumnAt(pos)) : -1;
  return at >= 0 ? at : rows ? LastVisibleRow() : LastVisibleCol();
}

int TdgBaseGrid::FirstLineShown(bool rows) const {
  if (rows)
    return FixedRows() > 1 ? 1 : TopRow();
  return FixedCols() > 1 ? 1 : LeftCol();
}

void TdgBaseGrid::FollowDrag(int x, int y) {
  const TdgMouseStatus status = MouseStatus();
  const int col = DragLineAt(false, x);
  const int row = DragLineAt(true, y);
  const bool outside =
      x < 0 || y < 0 || x >= ClientWidth() || y >= ClientHeight() ||
      (status != msColMoving && status != msColSelecting && y < RowTop(TopRow())) ||
      (status != msRowMoving && status != msRowSelecting && x < ColumnLeft(std::max(LeftCol(), 1)));
  if (outside)
    StartAutoScrollTimer();
  else
    StopAutoScrollTimer();
  switch (status) {
  case msRowSelecting:
    if (row >= 1)
      FollowRowDrag(row);
    break;
  case msColSelecting:
    if (col >= 1)
      FollowColDrag(col);
    break;
  case msRangeSelecting:
    ExtendRange(col < 1 ? FirstLineShown(false) : col, row < 1 ? FirstLineShown(true) : row);
    FireSelectChanged(true);
    break;
  case msRowMoving:
  case msColMoving: {
    const bool rows = status == msRowMoving;
    int target =
        rows ? std::clamp(row < 1 ? FirstLineShown(true) : row, 1, std::max(1, LastVisibleRow()))
             : std::clamp(col < 1 ? FirstLineShown(false) : col, 1, std::max(1, LastVisibleCol()));
    if (rows && FGridMode == gmEditInsert && FInsertRowFlag && target == RowCount() - 1)
      target = std::max(1, target - 1);
    if (target >= 1)
      FMoveTarget = target;
    FMarkerShown = MoveChangesSomething(rows, FMoveOrigin, FMoveTarget);
    UpdateOverlay();
    break;
  }
  default:
    break;
  }
}

void TdgBaseGrid::AutoScrollStep() {
  const QPoint p = FLastMouse;
  const auto byUser = UserScrolling();
  const TdgMouseStatus status = MouseStatus();
  const bool vertical = status == msRowSelecting || status == msRowMoving ||
                        status == msRangeSelecting || FGridStatus == gsRowsSelected;
  const bool horizontal =
      status == msColSelecting || status == msColMoving || status == msRangeSelecting;
  // Each step waits as ScrollSpeed says, longer the nearer the mouse is to
  // the cells; a move of the mouse stops the timer and so ends the wait.
  const QRect screenArea = screen() ? screen()->geometry() : QRect(0, 0, 1 << 20, 1 << 20);
  const int direction = vertical && horizontal ? 2 : vertical ? 1 : 0;
  if (!AutoScrollWait(p.x(), p.y(), direction, screenArea.width(), screenArea.height())) {
    FAutoScrollTimer.start(std::max(1, FWaitLeft));
    return;
  }
  bool scrolled = false;
  if (vertical && p.y() >= ClientHeight() && TopRow() < MaxTopRow()) {
    MoveTopLeft(LeftCol(), TopRow() + 1);
    scrolled = true;
  } else if (vertical && p.y() < RowTop(TopRow()) && TopRow() > FirstScrollableRow()) {
    MoveTopLeft(LeftCol(), TopRow() - 1);
    scrolled = true;
  }
  if (horizontal && p.x() >= ClientWidth() && LeftCol() < MaxLeftCol()) {
    MoveTopLeft(LeftCol() + 1, TopRow());
    scrolled = true;
  } else if (horizontal && p.x() < ColumnLeft(std::max(LeftCol(), 1)) &&
             LeftCol() > FirstScrollableCol()) {
    MoveTopLeft(LeftCol() - 1, TopRow());
    scrolled = true;
  }
  if (!scrolled) {
    StopAutoScrollTimer();
    return;
  }
  const int x = std::clamp(p.x(), 0, ClientWidth() - 1);
  const int y = std::clamp(p.y(), RowTop(TopRow()), ClientHeight() - 1);
  const TdgMouseStatus keep = status;
  FollowDrag(x, y);
  if (keep == MouseStatus())
    FAutoScrollTimer.start(0); // the next step's wait starts now
}

// -------------------------------------------------------------- moves of the mouse

void TdgBaseGrid::MouseMove(TShiftState shift, int x, int y) {
  FLastMouse = QPoint(x, y);
  const auto byUser = UserScrolling();
  if (FPressLetGo)
    SetMouseStatus(msNothing);
  const TdgMouseStatus status = MouseStatus();
  if (shift.has(ssLeft) && !FDblClickPress) {
    switch (status) {
    case msRowSelecting:
    case msColSelecting:
    case msRangeSelecting:
    case msRowMoving:
    case msColMoving:
      FollowDrag(x, y);
      break;
    case msRowSizing:
    case msHeadingSizing:
      FSizingLine = y + FGrabOffset;
      FSizeNoMove = false;
      UpdateOverlay();
      break;
    case msColSizing:
    case msRowBarSizing:
      FSizingLine = std::min(x + FGrabOffset, ClientWidth());
      FSizeNoMove = false;
      UpdateOverlay();
      break;
    case msButtonHeld: {
      const int col = ColumnAt(x), row = RowAt(y);
      const bool onButton =
          col == PressedCol() && row == Row() && PointOnCellButton(x, y, row, col);
      const int part = onButton ? SpinPartAt(col, row, x, y) : 0;
      if (FHeldDrawn && (!onButton || part != FPressedSpin)) {
        // Off the held part the button looks released, the repeat stops and
        // its count starts again.
        StopSpinTimer();
        FPressedSpin = 0;
        FRepeatCount = 0;
        FHeldDrawn = false;
        InvalidateCell(FPressedCol, FPressedRow);
      }
      if (onButton && !FHeldDrawn && FHeldLook) {
        // Back on the button, the part under the mouse is pressed, the
        // other half of a spin pair as well as the one first held.
        FHeldPart = part;
        FPressedSpin = part;
        FHeldDrawn = true;
        InvalidateCell(FPressedCol, FPressedRow);
        if (part != 0 &&
            CellSpinOptions(GetCurrentDataCol(), GetCurrentDataRow()) & (1 << spoAutoRepeat))
          StartSpinTimer();
      }
      break;
    }
    case msHeadingButtonHeld: {
      const int col = ColumnAt(x);
      const bool inside = y >= 0 && RowAt(y) == 0 && col >= 1 && DataColAt(col) == FHeldHeading &&
                          (!HeadingActsAsButton(col) || y < HeadingButtonHeight);
      if (inside != FHeadingPressedLook) {
        FHeadingPressedLook = inside;
        InvalidateCell(DisplayColOf(FHeldHeading), 0);
      }
      break;
    }
    default:
      break;
    }
  } else if (!shift.has(ssMiddle) && !FDblClickPress) {
    UpdateButtonHover(x, y);
  }
  if (FPressToControl && FActiveControl) {
    const QPoint p = FActiveControl->Control().mapFrom(viewport(), QPoint(x, y));
    FActiveControl->Control().MouseMove(shift, p.x(), p.y());
  }
  if (OnMouseMove)
    OnMouseMove(this, shift, x, y);
}

// ------------------------------------------------------------ the release

void TdgBaseGrid::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (FDragging) {
    // The release drops the drag; the grid's own release has nothing to end.
    FDragging = false;
    if (OnMouseUp)
      OnMouseUp(this, button, shift, x, y);
    return;
  }
  StopSpinTimer();
  StopAutoScrollTimer();
  if (std::exchange(FPressLetGo, false)) {
    // Its press was let go of by a handler: this release ends nothing more.
    HoldHeading(-1);
    SetMouseStatus(msNothing);
    if (OnMouseUp)
      OnMouseUp(this, button, shift, x, y);
    return;
  }
  // A press that went on to the editor clicks there when it comes up there;
  // elsewhere the grid reports the click from the press to the release.
  const bool controlClicks = FPressToControl && FActiveControl &&
                             FActiveControl->Control().rect().contains(
                                 FActiveControl->Control().mapFrom(viewport(), QPoint(x, y)));
  if (button == mbLeft) {
    const int col = ColumnAt(x), row = RowAt(y);
    FUpCell = QPoint(col, row);
    const TdgMouseStatus status = MouseStatus();
    switch (status) {
    case msRowSizing:
    case msColSizing:
    case msHeadingSizing:
    case msRowBarSizing:
      FinishSizing(x, y, true);
      break;
    case msRowMoving:
    case msColMoving: {
      const bool rows = status == msRowMoving;
      const bool change = FMarkerShown;
      FMarkerShown = false;
      UpdateOverlay();
      if (change && FMoveTarget != FMoveOrigin) {
        if (rows)
          MoveRows(FMoveOrigin, FMoveTarget);
        else
          MoveCols(FMoveOrigin, FMoveTarget);
      }
      if (rows && FRowSelection.Count > 0)
        ChangeGridStatus(gsRowsSelected);
      if (!rows && FColSelection.Count > 0)
        ChangeGridStatus(gsColsSelected);
      InvalidateGrid();
      break;
    }
    case msRangeSelecting:
    case msRowSelecting:
    case msColSelecting:
      FireSelectChanged(true);
      break;
    case msHeadingButtonHeld: {
      const int held = FHeldHeading;
      const bool inside = FHeadingPressedLook;
      HoldHeading(-1);
      if (held >= 0) {
        DoHeadingUp(held);
        if (inside)
          DoHeadingClick(held);
      }
      break;
    }
    default:
      break;
    }
    SetMouseStatus(msNothing);
    ReportGridStatus();
    if (!FEditorShown)
      PlaceEditor();
    if (!FSuppressClick) {
      if (status == msButtonHeld) {
        ButtonRelease(col, row, x, y);
      } else if (status < msRowSizing || status > msColMoving) {
        if (!controlClicks) {
          Click();
          const QPoint d = FDownCell;
          auto dataCol = [this](int c) { return c >= 1 ? DataColAt(c) : c; };
          auto dataRow = [this](int r) { return r >= 1 ? DataRowAt(r) : r; };
          DoClickCell(dataCol(d.x()), dataRow(d.y()), dataCol(col), dataRow(row),
                      ClickPositionOf(d.x(), d.y()), ClickPositionOf(col, row));
        }
      }
    }
    FSuppressClick = false;
  }
  if (FPressToControl && FActiveControl) {
    // The press went to the editor: so does its release, and its click.
    FPressToControl = false;
    const QPoint p = FActiveControl->Control().mapFrom(viewport(), QPoint(x, y));
    if (controlClicks)
      FActiveControl->Control().FireClickOnRelease();
    FActiveControl->Control().MouseUp(button, shift, p.x(), p.y());
  } else if (OnMouseUp) {
    OnMouseUp(this, button, shift, x, y);
  }
  const QPoint now = CursorClientPos();
  UpdateCursor(now.x(), now.y());
}

} // namespace marrowen
