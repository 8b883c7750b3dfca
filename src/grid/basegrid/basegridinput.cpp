// The base grid's keyboard and mouse: the keys that move the current cell,
// clicks, selecting by dragging with timed scrolls, sizing and moving columns
// and rows, and the Qt events that lead to them.

#include "grid/basegrid/basegrid.h"

#include "grid/basegrid/inplaceedit.h"

#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

#include <algorithm>

namespace marrowen {

namespace {

TMouseButton buttonOf(Qt::MouseButton button) {
  switch (button) {
  case Qt::RightButton:
    return mbRight;
  case Qt::MiddleButton:
    return mbMiddle;
  default:
    return mbLeft;
  }
}

enum : unsigned { sdLeft = 1, sdRight = 2, sdUp = 4, sdDown = 8 };

// The border a press at a point would size, if any, and where its line lies.
struct SizingHit {
  TGridState state = gsNormal;
  std::int32_t index = -1;
  int pos = 0;
  int ofs = 0;
};

SizingHit sizingHitAt(TCustomGrid_dg &grid, int x, int y, const TGridDrawInfo &info) {
  SizingHit hit;
  grid.CalcSizingState(x, y, hit.state, hit.index, hit.pos, hit.ofs, info);
  return hit;
}

} // namespace

// ------------------------------------------------------------- keys and mouse

void TCustomGrid_dg::DoKeyDownEvent(std::uint16_t &key, TShiftState shift) {
  if (OnKeyDown)
    OnKeyDown(this, key, shift);
}

void TCustomGrid_dg::DoKeyPressEvent(char &key) {
  if (OnKeyPress)
    OnKeyPress(this, key);
}

void TCustomGrid_dg::DoKeyUpEvent(std::uint16_t &key, TShiftState shift) {
  if (OnKeyUp)
    OnKeyUp(this, key, shift);
}

void TCustomGrid_dg::KeyUp(std::uint16_t &key, TShiftState shift) { DoKeyUpEvent(key, shift); }

void TCustomGrid_dg::KeyDown(std::uint16_t &key, TShiftState shift) {
  DoKeyDownEvent(key, shift);
  if (!CanGridAcceptKey(key, shift))
    key = 0;
  TGridCoord newTopLeft = FTopLeft;
  TGridCoord newCurrent = FCurrent;
  TGridDrawInfo info;
  CalcDrawInfo(info);
  const std::int32_t pageWidth = std::max(1, info.Horz.LastFullVisibleCell - LeftCol());
  const std::int32_t pageHeight = std::max(1, info.Vert.LastFullVisibleCell - TopRow());
  const bool rtl = UseRightToLeftAlignment();
  std::uint16_t k = key;
  if (rtl && k == VK_LEFT)
    k = VK_RIGHT;
  else if (rtl && k == VK_RIGHT)
    k = VK_LEFT;
  const bool rowSelect = FOptions.has(goRowSelect);
  if (shift.has(ssCtrl)) {
    switch (k) {
    case VK_UP:
      --newTopLeft.Y;
      break;
    case VK_DOWN:
      ++newTopLeft.Y;
      break;
    case VK_LEFT:
      if (!rowSelect) {
        newCurrent.X -= pageWidth;
        newTopLeft.X -= pageWidth;
      }
      break;
    case VK_RIGHT:
      if (!rowSelect) {
        newCurrent.X += pageWidth;
        newTopLeft.X += pageWidth;
      }
      break;
    case VK_PRIOR:
      newCurrent.Y = TopRow();
      break;
    case VK_NEXT:
      newCurrent.Y = info.Vert.LastFullVisibleCell;
      break;
    case VK_HOME:
      newCurrent = TGridCoord{FFixedCols, FFixedRows};
      if (rtl)
        InvalidateGrid();
      break;
    case VK_END:
      newCurrent = TGridCoord{FColCount - 1, FRowCount - 1};
      if (rtl)
        InvalidateGrid();
      break;
    default:
      break;
    }
  } else {
    switch (k) {
    case VK_UP:
      --newCurrent.Y;
      break;
    case VK_DOWN:
      ++newCurrent.Y;
      break;
    case VK_LEFT:
      if (rowSelect)
        --newTopLeft.X;
      else
        --newCurrent.X;
      break;
    case VK_RIGHT:
      if (rowSelect)
        ++newTopLeft.X;
      else
        ++newCurrent.X;
      break;
    case VK_NEXT:
      newCurrent.Y += pageHeight;
      newTopLeft.Y += pageHeight;
      break;
    case VK_PRIOR:
      newCurrent.Y -= pageHeight;
      newTopLeft.Y -= pageHeight;
      break;
    case VK_HOME:
      if (rowSelect)
        newTopLeft.X = FFixedCols;
      else
        newCurrent.X = FFixedCols;
      break;
    case VK_END:
      if (rowSelect)
        newTopLeft.X = FColCount - 1;
      else
        newCurrent.X = FColCount - 1;
      break;
    case VK_TAB:
      if (!shift.has(ssAlt)) {
        const bool backward = shift.has(ssShift);
        do {
          if (backward) {
            if (--newCurrent.X < FFixedCols) {
              newCurrent.X = FColCount - 1;
              if (--newCurrent.Y < FFixedRows)
                newCurrent.Y = FRowCount - 1;
            }
          } else {
            if (++newCurrent.X >= FColCount) {
              newCurrent.X = FFixedCols;
              if (++newCurrent.Y >= FRowCount)
                newCurrent.Y = FFixedRows;
            }
          }
        } while (!TabStops(newCurrent.X) && newCurrent.X != FCurrent.X);
        shift = TShiftState();
      }
      break;
    case VK_F2:
      SetEditorMode(true);
      break;
    default:
      break;
    }
  }
  const TGridCoord maxTopLeft = CalcMaxTopLeft(TGridCoord{FColCount - 1, FRowCount - 1}, info);
  newTopLeft.X = std::clamp(newTopLeft.X, FFixedCols, std::max(FFixedCols, maxTopLeft.X));
  newTopLeft.Y = std::clamp(newTopLeft.Y, FFixedRows, std::max(FFixedRows, maxTopLeft.Y));
  if (newTopLeft != FTopLeft)
    MoveTopLeft(newTopLeft.X, newTopLeft.Y);
  newCurrent.X = std::clamp(newCurrent.X, FFixedCols, FColCount - 1);
  newCurrent.Y = std::clamp(newCurrent.Y, FFixedRows, FRowCount - 1);
  if (newCurrent != FCurrent)
    FocusCell(newCurrent.X, newCurrent.Y, !shift.has(ssShift));
}

void TCustomGrid_dg::KeyPress(char &key) {
  DoKeyPressEvent(key);
  if (!FOptions.has(goAlwaysShowEditor) && key == 13) {
    if (FEditorMode)
      HideEditor();
    else
      ShowEditor();
    key = 0;
  }
}

void TCustomGrid_dg::WMChar(char ch) {
  if (FOptions.has(goEditing) && (ch == 8 || static_cast<unsigned char>(ch) >= 32))
    ShowEditorChar(ch);
  else
    KeyPress(ch);
}

void TCustomGrid_dg::Click() {
  if (OnClick)
    OnClick(this);
}

void TCustomGrid_dg::DblClick() {
  if (OnDblClick)
    OnDblClick(this);
}

void TCustomGrid_dg::StartTimer() { FTimer.start(); }
void TCustomGrid_dg::StopTimer() { FTimer.stop(); }

QPoint TCustomGrid_dg::CursorClientPos() const { return viewport()->mapFromGlobal(QCursor::pos()); }

void TCustomGrid_dg::DrawSizingLine(const TGridDrawInfo &info) {
  FSizingLineShown = !FSizingLineShown;
  if (FGridState == gsRowSizing) {
    FSizingLineFrom = QPoint(0, FSizingPos);
    FSizingLineTo = QPoint(info.Horz.GridBoundary, FSizingPos);
    if (UseRightToLeftAlignment()) {
      FSizingLineFrom.setX(ClientWidth() - info.Horz.GridBoundary);
      FSizingLineTo.setX(ClientWidth());
    }
  } else {
    FSizingLineFrom = QPoint(FSizingPos, 0);
    FSizingLineTo = QPoint(FSizingPos, info.Vert.GridBoundary);
  }
  if (FHandleAllocated)
    viewport()->update(QRect(FSizingLineFrom, FSizingLineTo).normalized().adjusted(-1, -1, 1, 1));
}

void TCustomGrid_dg::DrawMoveLine() {
  FMoveLineShown = !FMoveLineShown;
  const bool cols = FGridState == gsColMoving;
  const TRect cell = cols ? CellRect(FMovePos, 0) : CellRect(0, FMovePos);
  const bool trailing = FMovePos > FMoveIndex;
  if (cols) {
    int x = trailing ? cell.Right : cell.Left;
    if (UseRightToLeftAlignment())
      x = trailing ? cell.Left : cell.Right;
    FMoveLineRect = TRect{x - 2, 0, x + 3, ClientHeight()};
  } else {
    const int y = trailing ? cell.Bottom : cell.Top;
    FMoveLineRect = TRect{0, y - 2, ClientWidth(), y + 3};
  }
  InvalidateScreenRect(FMoveLineRect);
}

void TCustomGrid_dg::MoveAndScroll(int mouse, std::int32_t cellHit, TGridDrawInfo &info,
                                   TGridAxisDrawInfo &axis, int scrollBar, QPoint mousePt) {
  if (UseRightToLeftAlignment() && scrollBar == SB_HORZ)
    mouse = ClientWidth() - mouse;
  if (cellHit == FMovePos || (FMovePos == axis.FixedCellCount && mouse < axis.FixedBoundary) ||
      (FMovePos == axis.GridCellCount - 1 && mouse > axis.GridBoundary))
    return;
  DrawMoveLine();
  if (mouse < axis.FixedBoundary) {
    if (FMovePos > axis.FixedCellCount) {
      ModifyScrollBar(scrollBar, SB_LINEUP, 0, false);
      CalcDrawInfo(info);
    }
    cellHit = axis.FirstGridCell;
  } else if (mouse >= axis.FullVisBoundary) {
    if (FMovePos == axis.LastFullVisibleCell && FMovePos < axis.GridCellCount - 1) {
      ModifyScrollBar(scrollBar, SB_LINEDOWN, 0, false);
      CalcDrawInfo(info);
    }
    cellHit = axis.LastFullVisibleCell;
  } else if (cellHit < 0) {
    cellHit = FMovePos;
  }
  const bool agreed = scrollBar == SB_HORZ ? CheckColumnDrag(FMoveIndex, cellHit, mousePt)
                                           : CheckRowDrag(FMoveIndex, cellHit, mousePt);
  if (agreed)
    FMovePos = cellHit;
  DrawMoveLine();
}

void TCustomGrid_dg::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  HideEdit();
  const QPoint mousePt(x, y);
  if (focusPolicy() != Qt::NoFocus || !parentWidget()) {
    setFocus(Qt::MouseFocusReason);
    if (!IsActiveControl()) {
      FMouseCapture = false;
      return;
    }
  }
  if (button == mbLeft && shift.has(ssDouble)) {
    DblClick();
  } else if (button == mbLeft) {
    TGridDrawInfo info;
    CalcDrawInfo(info);
    const SizingHit hit = sizingHitAt(*this, x, y, info);
    if (hit.state != gsNormal) {
      FGridState = hit.state;
      FSizingIndex = hit.index;
      FSizingPos = hit.pos;
      FSizingOfs = hit.ofs;
      DrawSizingLine(info);
      return;
    }
    const TGridCoord cell = CalcCoordFromPoint(x, y, info);
    auto beginMove = [&](bool rows, std::int32_t line) {
      FMoveIndex = line;
      FMovePos = FMoveIndex;
      const bool agreed = rows ? BeginRowDrag(FMoveIndex, FMovePos, mousePt)
                               : BeginColumnDrag(FMoveIndex, FMovePos, mousePt);
      if (agreed) {
        FGridState = rows ? gsRowMoving : gsColMoving;
        DrawMoveLine();
        StartTimer();
      }
    };
    if (cell.X >= FFixedCols && cell.Y >= FFixedRows) {
      if (FOptions.has(goEditing)) {
        if (cell == FCurrent) {
          ShowEditor();
        } else {
          MoveCurrent(cell.X, cell.Y, true, true);
          UpdateEdit();
        }
        Click();
      } else {
        FGridState = gsSelecting;
        StartTimer();
        if (shift.has(ssShift))
          MoveRangeEnd(cell);
        else
          MoveCurrent(cell.X, cell.Y, true, true);
      }
    } else if (FOptions.has(goRowMoving) && cell.X >= 0 && cell.X < FFixedCols &&
               cell.Y >= FFixedRows) {
      beginMove(true, cell.Y);
    } else if (FOptions.has(goColMoving) && cell.Y >= 0 && cell.Y < FFixedRows &&
               cell.X >= FFixedCols) {
      beginMove(false, cell.X);
    }
  }
  try {
    if (OnMouseDown)
      OnMouseDown(this, button, shift, x, y);
  } catch (...) {
    // A failed handler must not leave a drag running that no release ends.
    if (FMoveLineShown)
      DrawMoveLine();
    StopTimer();
    FGridState = gsNormal;
    throw;
  }
}

void TCustomGrid_dg::MouseMove(TShiftState shift, int x, int y) {
  TGridDrawInfo info;
  CalcDrawInfo(info);
  switch (FGridState) {
  case gsSelecting:
  case gsColMoving:
  case gsRowMoving: {
    const TGridCoord cell = CalcCoordFromPoint(x, y, info);
    if (cell.X >= FFixedCols && cell.Y >= FFixedRows && cell.X < FColCount && cell.Y < FRowCount) {
      if (FGridState == gsSelecting) {
        if (cell != FRangeEnd)
          MoveRangeEnd(cell);
      } else if (FGridState == gsColMoving) {
        MoveAndScroll(x, cell.X, info, info.Horz, SB_HORZ, QPoint(x, y));
      } else {
        MoveAndScroll(y, cell.Y, info, info.Vert, SB_VERT, QPoint(x, y));
      }
    }
    break;
  }
  case gsRowSizing:
  case gsColSizing:
    DrawSizingLine(info);
    FSizingPos = (FGridState == gsRowSizing ? y : x) + FSizingOfs;
    DrawSizingLine(info);
    break;
  default:
    break;
  }
  if (OnMouseMove)
    OnMouseMove(this, shift, x, y);
}

void TCustomGrid_dg::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  struct BackToNormal {
    TCustomGrid_dg *grid;
    ~BackToNormal() { grid->FGridState = gsNormal; }
  } backToNormal{this};
  const QPoint mousePt(x, y);
  switch (FGridState) {
  case gsSelecting:
    MouseMove(shift, x, y);
    StopTimer();
    UpdateEdit();
    Click();
    break;
  case gsRowSizing:
  case gsColSizing: {
    TGridDrawInfo info;
    CalcDrawInfo(info);
    DrawSizingLine(info);
    const bool cols = FGridState == gsColSizing;
    const TGridAxisDrawInfo &axis = cols ? info.Horz : info.Vert;
    int start = axis.FixedBoundary;
    for (std::int32_t i = axis.FirstGridCell; i < FSizingIndex; ++i)
      start += axis.Extent(i) + axis.EffectiveLineWidth;
    const int pos = cols && UseRightToLeftAlignment() ? ClientWidth() - FSizingPos : FSizingPos;
    const int newSize = pos - start;
    if (newSize > 1 && FSizingIndex < axis.GridCellCount) {
      if (cols)
        SetColWidths(FSizingIndex, newSize);
      else
        SetRowHeights(FSizingIndex, newSize);
      UpdateDesigner();
    }
    break;
  }
  case gsColMoving:
  case gsRowMoving: {
    if (FMoveLineShown)
      DrawMoveLine();
    StopTimer();
    const bool cols = FGridState == gsColMoving;
    const bool agreed = cols ? EndColumnDrag(FMoveIndex, FMovePos, mousePt)
                             : EndRowDrag(FMoveIndex, FMovePos, mousePt);
    if (agreed && FMoveIndex != FMovePos) {
      if (cols)
        MoveColumn(FMoveIndex, FMovePos);
      else
        MoveRow(FMoveIndex, FMovePos);
      UpdateDesigner();
    }
    UpdateEdit();
    break;
  }
  default:
    UpdateEdit();
    break;
  }
  if (OnMouseUp)
    OnMouseUp(this, button, shift, x, y);
}

bool TCustomGrid_dg::DoMouseWheel(TShiftState, int, QPoint) { return false; }

void TCustomGrid_dg::WMTimer() {
  if (FGridState != gsSelecting && FGridState != gsColMoving && FGridState != gsRowMoving)
    return;
  const QPoint pt = CursorClientPos();
  TGridDrawInfo info;
  CalcDrawInfo(info);
  const TGridCoord cell = CalcCoordFromPoint(pt.x(), pt.y(), info);
  switch (FGridState) {
  case gsColMoving:
    MoveAndScroll(pt.x(), cell.X, info, info.Horz, SB_HORZ, pt);
    break;
  case gsRowMoving:
    MoveAndScroll(pt.y(), cell.Y, info, info.Vert, SB_VERT, pt);
    break;
  case gsSelecting: {
    unsigned directions = 0;
    const int x = UseRightToLeftAlignment() ? ClientWidth() - pt.x() : pt.x();
    if (x < info.Horz.FixedBoundary)
      directions |= sdLeft;
    else if (x > info.Horz.FullVisBoundary)
      directions |= sdRight;
    if (pt.y() < info.Vert.FixedBoundary)
      directions |= sdUp;
    else if (pt.y() > info.Vert.FullVisBoundary)
      directions |= sdDown;
    if (directions != 0)
      TimedScroll(directions);
    break;
  }
  default:
    break;
  }
}

void TCustomGrid_dg::TimedScroll(unsigned directions) {
  if (FGridState != gsSelecting)
    return;
  TGridCoord newRangeEnd = FRangeEnd;
  if ((directions & sdLeft) && newRangeEnd.X > FFixedCols)
    --newRangeEnd.X;
  if ((directions & sdRight) && newRangeEnd.X < FColCount - 1)
    ++newRangeEnd.X;
  if ((directions & sdUp) && newRangeEnd.Y > FFixedRows)
    --newRangeEnd.Y;
  if ((directions & sdDown) && newRangeEnd.Y < FRowCount - 1)
    ++newRangeEnd.Y;
  if (newRangeEnd != FRangeEnd)
    MoveRangeEnd(newRangeEnd);
}

void TCustomGrid_dg::CancelMode() {
  switch (FGridState) {
  case gsSelecting:
    StopTimer();
    break;
  case gsRowSizing:
  case gsColSizing: {
    TGridDrawInfo info;
    CalcDrawInfo(info);
    if (FSizingLineShown)
      DrawSizingLine(info);
    break;
  }
  case gsColMoving:
  case gsRowMoving:
    if (FMoveLineShown)
      DrawMoveLine();
    StopTimer();
    break;
  default:
    break;
  }
  FGridState = gsNormal;
}

bool TCustomGrid_dg::Sizing(int x, int y) {
  if (FGridState != gsNormal)
    return true;
  TGridDrawInfo info;
  CalcDrawInfo(info);
  return sizingHitAt(*this, x, y, info).state != gsNormal;
}

void TCustomGrid_dg::CalcSizingState(int x, int y, TGridState &state, std::int32_t &index,
                                     int &sizingPos, int &sizingOfs,
                                     const TGridDrawInfo &fixedInfo) {
  state = gsNormal;
  index = -1;
  const TGridOptions options = FOptions;
  if (!options.has(goColSizing) && !options.has(goRowSizing))
    return;
  TGridDrawInfo info = fixedInfo;
  info.Horz.GridExtent = ClientWidth();
  info.Vert.GridExtent = ClientHeight();
  const bool rtl = UseRightToLeftAlignment();
  auto calcAxisState = [&](const TGridAxisDrawInfo &axis, int pos, TGridState newState) {
    int range = axis.EffectiveLineWidth;
    int back = 0;
    if (range < 7) {
      range = 7;
      back = (range - axis.EffectiveLineWidth) / 2;
    }
    int line = axis.FixedBoundary;
    for (std::int32_t i = axis.FirstGridCell; i < axis.GridCellCount; ++i) {
      line += axis.Extent(i);
      if (line > axis.GridBoundary)
        break;
      if (pos >= line - back && pos < line - back + range) {
        state = newState;
        sizingPos = line;
        sizingOfs = line - pos;
        index = i;
        return;
      }
      line += axis.EffectiveLineWidth;
    }
    if (axis.GridBoundary == axis.GridExtent && pos >= axis.GridExtent - back &&
        pos <= axis.GridExtent) {
      state = newState;
      sizingPos = axis.GridExtent;
      sizingOfs = sizingPos - pos;
      index = axis.LastFullVisibleCell + 1;
    }
  };
  const int mx = rtl ? ClientWidth() - x : x;
  if (mx > info.Horz.FixedBoundary && options.has(goColSizing)) {
    if (y >= info.Vert.FixedBoundary)
      return;
    calcAxisState(info.Horz, mx, gsColSizing);
    if (state != gsNormal && rtl) {
      // The sizing line follows the mouse in window coordinates.
      sizingPos = ClientWidth() - sizingPos;
      sizingOfs = sizingPos - x;
    }
  } else if (y > info.Vert.FixedBoundary && options.has(goRowSizing)) {
    if (mx >= info.Horz.FixedBoundary)
      return;
    calcAxisState(info.Vert, y, gsRowSizing);
  }
}

// ------------------------------------------------------------------ Qt's side

bool TCustomGrid_dg::WantsKey(const QKeyEvent &e) const {
  const int key = e.key();
  if (key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down)
    return true;
  if (FOptions.has(goRowSelect))
    return false;
  if ((key == Qt::Key_Tab || key == Qt::Key_Backtab) && FOptions.has(goTabs))
    return true;
  return FOptions.has(goEditing) && !e.text().isEmpty() &&
         !(e.modifiers() & (Qt::ControlModifier | Qt::AltModifier));
}

bool TCustomGrid_dg::focusNextPrevChild(bool next) {
  if (FOptions.has(goTabs) && !FOptions.has(goRowSelect))
    return false;
  return QAbstractScrollArea::focusNextPrevChild(next);
}

bool TCustomGrid_dg::event(QEvent *e) {
  if (e->type() == QEvent::ShortcutOverride) {
    if (WantsKey(*static_cast<QKeyEvent *>(e))) {
      e->accept();
      return true;
    }
  } else if (e->type() == QEvent::LayoutDirectionChange) {
    InvalidateGrid();
  }
  return QAbstractScrollArea::event(e);
}

void TCustomGrid_dg::keyPressEvent(QKeyEvent *e) {
  guarded([&] {
    std::uint16_t key = virtualKeyOf(*e);
    char ch = typedCharOf(*e);
    if (key != 0)
      KeyDown(key, shiftStateOf(*e));
    if (ch != 0)
      WMChar(ch);
  });
  e->accept();
}

void TCustomGrid_dg::keyReleaseEvent(QKeyEvent *e) {
  guarded([&] {
    std::uint16_t key = virtualKeyOf(*e);
    if (key != 0)
      KeyUp(key, shiftStateOf(*e));
  });
  e->accept();
}

void TCustomGrid_dg::mousePressEvent(QMouseEvent *e) {
  FMouseCapture = true;
  const QPoint p = e->position().toPoint();
  FHitTest = p;
  if (FInplaceEdit && e->button() == Qt::LeftButton)
    FInplaceEdit->SetClickTime(static_cast<qint64>(e->timestamp()));
  guarded([&] { MouseDown(buttonOf(e->button()), shiftStateOf(*e), p.x(), p.y()); });
}

void TCustomGrid_dg::mouseDoubleClickEvent(QMouseEvent *e) { mousePressEvent(e); }

void TCustomGrid_dg::mouseMoveEvent(QMouseEvent *e) {
  const QPoint p = e->position().toPoint();
  FHitTest = p;
  guarded([&] {
    UpdateCursor(p.x(), p.y());
    MouseMove(shiftStateOf(*e), p.x(), p.y());
  });
}

void TCustomGrid_dg::mouseReleaseEvent(QMouseEvent *e) {
  const QPoint p = e->position().toPoint();
  guarded([&] { MouseUp(buttonOf(e->button()), shiftStateOf(*e), p.x(), p.y()); });
  FMouseCapture = false;
}

void TCustomGrid_dg::UpdateCursor(int x, int y) {
  TGridState state = FGridState;
  if (state == gsNormal) {
    TGridDrawInfo info;
    CalcDrawInfo(info);
    state = sizingHitAt(*this, x, y, info).state;
  }
  if (state == gsRowSizing)
    viewport()->setCursor(Qt::SplitVCursor);
  else if (state == gsColSizing)
    viewport()->setCursor(Qt::SplitHCursor);
  else
    viewport()->unsetCursor();
}

void TCustomGrid_dg::wheelEvent(QWheelEvent *e) {
  bool handled = false;
  guarded([&] {
    handled = DoMouseWheel(shiftStateOf(*e), e->angleDelta().y(), e->globalPosition().toPoint());
  });
  e->setAccepted(handled);
}

} // namespace marrowen
