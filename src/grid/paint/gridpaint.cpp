// The data grid's painting: the frame through the shared off-screen surface,
// grid lines, heading and row-bar cells, cell contents, focus marks and
// selections, and the invalidation and update lock around them.
#include "classlib/scopeexit.h"
#include "grid/basegrid/inplaceedit.h"
#include "grid/data/celltext.h"
#include "grid/data/colrow.h"
#include "grid/data/links.h"
#include "grid/data/qtbytes.h"
#include "grid/widget/dgbasegrid.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPolygon>

#include <algorithm>
#include <exception>

namespace marrowen {

QFont toQFont(const TFont &font) {
  QFont result(bytesToQString(font.Name()));
  result.setPointSize(font.Size() > 0 ? font.Size() : 8);
  result.setBold(font.Style() & fsBold);
  result.setItalic(font.Style() & fsItalic);
  result.setUnderline(font.Style() & fsUnderline);
  result.setStrikeOut(font.Style() & fsStrikeOut);
  return result;
}

namespace {

QRect qrect(const TRect &r) { return QRect(r.Left, r.Top, r.Width(), r.Height()); }

// The record's transparent colour that leaves the picture its own.
constexpr TColor clPictureOwn = 0x20000000;

void hline(QPainter &p, int x0, int x1, int y, const QColor &c) {
  if (x1 > x0)
    p.fillRect(x0, y, x1 - x0, 1, c);
}

void vline(QPainter &p, int x, int y0, int y1, const QColor &c) {
  if (y1 > y0)
    p.fillRect(x, y0, 1, y1 - y0, c);
}

// A raised inner edge along the left and top.
void raisedLeftTop(QPainter &p, const TRect &r) {
  hline(p, r.Left, r.Right, r.Top, Qt::white);
  vline(p, r.Left, r.Top, r.Bottom, Qt::white);
}

void sunkenLeftTop(QPainter &p, const TRect &r) {
  hline(p, r.Left, r.Right, r.Top, QColor(0x80, 0x80, 0x80));
  vline(p, r.Left, r.Top, r.Bottom, QColor(0x80, 0x80, 0x80));
}

void invert(QPainter &p, const TRect &r) {
  if (IsRectEmpty(r))
    return;
  p.save();
  p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
  p.fillRect(qrect(r), Qt::white);
  p.restore();
}

// A font key cheap enough to compare for every cell.
struct FontKey {
  std::string name;
  int size;
  std::uint8_t style;
  bool operator==(const FontKey &) const = default;
};

} // namespace

// ------------------------------------------------------------------ frame

void TdgBaseGrid::paintEvent(QPaintEvent *e) {
  if (PaintSuppressed()) {
    FRepaintPending = true;
    return;
  }
  FPaintRect =
      TRect{e->rect().left(), e->rect().top(), e->rect().right() + 1, e->rect().bottom() + 1};
  PaintStarting();
  TCustomGrid_dg::paintEvent(e);
  // An editor placed while painting was locked shows once the cells it
  // covers are drawn; widgets are not shown from inside a paint.
  if (FPendingShow && !FPendingShowQueued) {
    FPendingShowQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
          FPendingShowQueued = false;
          if (FPendingShow && !Updating()) {
            try {
              PlaceEditor();
            } catch (...) {
              reportGridException(std::current_exception());
            }
          }
        },
        Qt::QueuedConnection);
  }
}

void TdgBaseGrid::Paint() {
  QPainter &screen = *Canvas();
  const TRect clip{std::max(0, FPaintRect.Left), std::max(0, FPaintRect.Top),
                   std::min(ClientWidth(), FPaintRect.Right),
                   std::min(ClientHeight(), FPaintRect.Bottom)};
  FPaintingNow = true;
  ScopeExit done{[this] { FPaintingNow = false; }};
  if (!FFirstPaintDone) {
    PaintGrid(screen, clip);
    DoPaint();
    FFirstPaintDone = true;
    FLastPaintBuffered = false;
    return;
  }
  TdgMemoryCanvas &memory = TdgMemoryCanvas::shared();
  QImage *surface = memory.Acquire(ClientWidth(), ClientHeight());
  // A failure mid-paint still shows what was drawn; the buffer's painter ends
  // before the shared surface is given back, which may free it.
  std::exception_ptr failure;
  {
    QPainter buffer(surface);
    buffer.setClipRect(qrect(clip));
    SetCanvas(&buffer);
    try {
      PaintGrid(buffer, clip);
      DoPaint();
    } catch (...) {
      failure = std::current_exception();
    }
    SetCanvas(&screen);
  }
  screen.drawImage(qrect(clip), *surface, qrect(clip));
  memory.Release();
  FLastPaintBuffered = true;
  if (failure)
    std::rethrow_exception(failure);
}

void TdgBaseGrid::PaintGrid(QPainter &p, const TRect &clip) {
  const int cw = ClientWidth();
  const int ch = ClientHeight();
  // The columns this clip crosses, with their left edges; every row shares them.
  struct Column {
    int col, left, width;
  };
  std::vector<Column> columns;
  int x = 0;
  for (int c = 0; c < FixedCols() && x < cw; ++c) {
    const int w = ColWidths(c);
    if (w > 0 && x + w > clip.Left && x < clip.Right)
      columns.push_back({c, x, w});
    x += w;
  }
  bool found = false;
  for (int pos = FVisibleCols.Search(LeftCol(), found);
       pos <= FVisibleCols.VisibleCount() && x < clip.Right; ++pos) {
    const int c = FVisibleCols.Get(pos);
    if (c < FixedCols())
      continue;
    const int w = ColWidths(c);
    if (w > 0 && x + w > clip.Left)
      columns.push_back({c, x, w});
    x += w;
  }
  const int reachX = x;
  int y = 0;
  // A line of no width or height has no line either: its neighbour's stays.
  auto paintRow = [&](int row, int h) {
    if (h > 0 && y + h > clip.Top && y < clip.Bottom)
      for (const Column &c : columns) {
        const TRect full{c.left, y, c.left + c.width, y + h};
        if (c.col >= 1 && row >= 1)
          DrawLines(p, c.col, row, full);
        DrawCell(c.col, row, full, 0);
      }
    y += h;
  };
  for (int r = 0; r < FixedRows() && y < ch; ++r) {
    const int h = RowHeights(r);
    if (h >= 1)
      paintRow(r, h);
  }
  // The visible rows may already hold the insert row; it is painted once.
  bool insertRowPainted = false;
  for (int pos = FVisibleRows.Search(TopRow(), found);
       pos <= FVisibleRows.VisibleCount() && y < clip.Bottom; ++pos) {
    const int r = FVisibleRows.Get(pos);
    if (r >= FixedRows()) {
      paintRow(r, RowHeights(r));
      insertRowPainted = insertRowPainted || r == RowCount() - 1;
    }
  }
  if (FInsertRowFlag && !insertRowPainted && y < clip.Bottom && TopRow() <= RowCount() - 1)
    paintRow(RowCount() - 1, RowHeights(RowCount() - 1));
  RedrawFocusFrame(p);
  const QColor background = colorToQColor(Color(), palette());
  if (reachX < cw)
    p.fillRect(reachX, 0, cw - reachX, ch, background);
  if (y < ch)
    p.fillRect(0, y, cw, ch - y, background);
}

void TdgBaseGrid::DrawLines(QPainter &p, int col, int row, const TRect &full) {
  const int dataCol = DataColAt(col);
  const int dataRow = DataRowAt(row);
  const bool is3D = dataRow <= Rows() && EffectiveIs3D(dataCol, dataRow);
  const QColor grey(0x80, 0x80, 0x80);
  const QColor line = colorToQColor(FLineColor, palette());
  auto colourOf = [&](bool flag, bool lastFixed, QColor &out) {
    if (is3D) {
      out = grey;
      return true;
    }
    if (!flag)
      return false;
    out = lastFixed && FFixedLineColor != clNone ? colorToQColor(FFixedLineColor, palette()) : line;
    return true;
  };
  QColor c;
  if (colourOf(FHorzLineWidth > 0, FixedRows() > 1 && row == FixedRows() - 1, c))
    hline(p, full.Left, full.Right, full.Bottom - 1, c);
  if (colourOf(FVertLineWidth > 0, FixedCols() > 1 && col == FixedCols() - 1, c))
    vline(p, full.Right - 1, full.Top, full.Bottom, c);
}

// ------------------------------------------------------------------ cells

const PainterTextMetrics &TdgBaseGrid::MetricsFor(const QFont &font) {
  if (!FMetrics || !FMetricsFont || !(*FMetricsFont == font)) {
    FMetricsFont = std::make_unique<QFont>(font);
    FMetrics = std::make_unique<PainterTextMetrics>(font, FShowsFileNames);
  }
  return *FMetrics;
}

void TdgBaseGrid::SetShowsFileNames(bool value) {
  if (value == FShowsFileNames)
    return;
  FShowsFileNames = value;
  FMetrics.reset();
  FMetricsFont.reset();
  if (FEditControl)
    FEditControl->Control().SetShowsFileNames(value);
  viewport()->update();
}

TdgVertAlignment TdgBaseGrid::EffectiveVertAlignment(int dataCol, int dataRow) {
  const TdgCol *col = ColObject(dataCol);
  if (dataRow == 0) {
    TdgVertAlignment heading = col ? col->HeadingVertAlignment() : vtaDefault;
    if (heading == vtaDefault)
      heading = FHeadingVertAlignment != vtaDefault ? FHeadingVertAlignment : FVertAlignment;
    return heading == vtaDefault ? vtaTop : heading;
  }
  auto result = Cascade(
      dataCol, dataRow, [](const CellLevel &l) { return l.VertAlignment(); }, vtaDefault);
  if (result == vtaDefault)
    result = FVertAlignment;
  return result == vtaDefault ? vtaTop : result;
}

int TdgBaseGrid::PictureOption(int dataCol, int dataRow, int sub) {
  return Cascade(
      dataCol, dataRow, [sub](const CellLevel &l) { return l.PictureOption(sub); }, dopDefault);
}

bool TdgBaseGrid::HeadingHeldDown(int displayCol) const {
  return FHeldHeading >= 0 && FHeadingPressedLook && DisplayColOf(FHeldHeading) == displayCol;
}

void TdgBaseGrid::HoldHeading(int dataCol) {
  // While one heading is held the others with a text lose their raised
  // edge, and get it back when it is let go: the whole heading row changes.
  if (FHeading3D && (FHeldHeading >= 0) != (dataCol >= 0) && RowCount() > 0)
    InvalidateRect(TGridRect{0, 0, ColCount() - 1, 0});
  if (FHeldHeading >= 0)
    InvalidateCell(DisplayColOf(FHeldHeading), 0);
  FHeldHeading = dataCol;
  FHeadingPressedLook = dataCol >= 0;
  if (dataCol >= 0)
    InvalidateCell(DisplayColOf(dataCol), 0);
}

void TdgBaseGrid::SetHeldHeadingInside(bool inside) {
  if (FHeldHeading < 0 || inside == FHeadingPressedLook)
    return;
  FHeadingPressedLook = inside;
  InvalidateCell(DisplayColOf(FHeldHeading), 0);
}

bool TdgBaseGrid::HasFocusNow() const {
  return hasFocus() || (FActiveControl && FActiveControl->Focused());
}

bool TdgBaseGrid::IsCellSelected(int displayCol, int displayRow) const {
  if (displayCol < 0 || displayCol >= ColCount() || displayRow < 0 || displayRow >= RowCount())
    return false;
  if (displayRow >= 1 && displayRow <= Rows() && RowSelected(DataRowAt(displayRow)))
    return true;
  if (displayCol >= 1 && FColSelection.IsSelected(displayCol))
    return true;
  if (FGridStatus == gsCellRange) {
    const TGridRect s = Selection();
    return displayCol >= s.Left && displayCol <= s.Right && displayRow >= s.Top &&
           displayRow <= s.Bottom;
  }
  return false;
}

const DataGridLook &TdgBaseGrid::SelectionLook() const {
  const TdgBaseGrid *owner = ListOwner();
  return owner && SelectionType() == sltDefault ? *owner : *this;
}

bool TdgBaseGrid::SelectionInColour() const {
  const DataGridLook &look = SelectionLook();
  return look.SelectionType() == sltColor && look.SelectionColor() != clNone;
}

bool TdgBaseGrid::FocusCellTest(int col, int row, bool painting) const {
  if (col != Col() || row != Row() || col < 1 || row < 1 || col >= ColCount() || row >= RowCount())
    return false;
  const bool highlight =
      FFocusBorder != fbNone || FFocusColor != clNone || FFocusFontColor != clNone;
  if (!highlight || FGridMode == gmListBox || FGridStatus != gsNothing)
    return false;
  if (painting && !HasFocusNow() && !FAlwaysShowFocus)
    return false;
  // The shown editor of a text or check-box cell stands in for the mark.
  return !(FEditorShown &&
           (FActiveControl == FEditControl.get() || FActiveControl == FCheckControl.get()));
}

void TdgBaseGrid::DrawCell(std::int32_t col, std::int32_t row, const TRect &rect,
                           TGridDrawState state) {
  QPainter &p = *Canvas();
  if (ColWidths(col) <= 0 || RowHeights(row) <= 0)
    return;
  const bool selected = IsCellSelected(col, row);
  if (col < 1 || row < 1) {
    if (row == 0 && col >= 1 && OnPaintCell) {
      // A handler may take over a heading's contents; its frame stays.
      const TRect inner{rect.Left, rect.Top, rect.Right - 1, rect.Bottom - 1};
      p.fillRect(qrect(inner), colorToQColor(EffectiveColor(DataColAt(col), 0, true), palette()));
      if (PaintCellByUser(col, row, inner, state)) {
        PaintHeadingCell(p, col, row, rect, true);
        if (selected)
          invert(p, inner);
        return;
      }
    }
    PaintHeadingCell(p, col, row, rect, false);
    if (selected)
      invert(p, {rect.Left, rect.Top, rect.Right - 1, rect.Bottom - 1});
    return;
  }
  // A cell the window's edge cuts is drawn as it is drawn whole: scrolled
  // into view by moving pixels, its cut part stays as it was painted.
  TRect r = rect;
  r.Right -= FVertLineWidth;
  r.Bottom -= FHorzLineWidth;
  bool painted = false;
  if (OnPaintCell) {
    const int dataRow = DataRowAt(row);
    const TColor fill = dataRow >= 1 && dataRow <= Rows()
                            ? EffectiveColor(DataColAt(col), dataRow, false)
                            : Color();
    p.fillRect(qrect(r), colorToQColor(fill, palette()));
    painted = PaintCellByUser(col, row, r, state);
  }
  if (painted)
    PaintCellDecorations(p, col, row, r, selected);
  else
    PaintDataCell(p, col, row, r, selected);
  if (selected && !SelectionInColour())
    invert(p, r);
}

// With contentPainted an OnPaintCell handler painted the heading's content:
// only its edges, lines and button are drawn over it.
void TdgBaseGrid::PaintHeadingCell(QPainter &p, int col, int row, const TRect &rect,
                                   bool contentPainted) {
  const QPalette &pal = palette();
  const int dataCol = DataColAt(col);
  const TColor fill = row == 0 && col >= 1 ? EffectiveColor(dataCol, 0, true) : FHeadingColor;
  const TRect inner{rect.Left, rect.Top, rect.Right - 1, rect.Bottom - 1};
  if (!contentPainted)
    p.fillRect(qrect(inner), colorToQColor(fill, pal));
  // A plain-cell heading is held down as a whole; a button heading by its
  // button part.
  const bool heldDown = row == 0 && col >= 1 && HeadingHeldDown(col);
  const bool heldWhole = heldDown && HeadingActsAsCell(col);
  if (heldWhole)
    sunkenLeftTop(p, inner);
  else if (FHeading3D)
    raisedLeftTop(p, inner);
  const QColor edge = FHeading3D ? QColor(0x80, 0x80, 0x80) : QColor(Qt::black);
  vline(p, rect.Right - 1, rect.Top, rect.Bottom, edge);
  hline(p, rect.Left, rect.Right, rect.Bottom - 1, edge);
  if (col == 0 && row >= 1) {
    DrawRowIndicator(p, row, inner);
    return;
  }
  if (row != 0 || col < 1)
    return;
  TdgCol *column = FColStore->Item(dataCol);
  if (!column)
    return;
  const TdgColHeadingButton own = column->HeadingButton();
  const bool asButton = own == cbButton || (own == cbGrid && FHeadingButton == hbButton);
  const bool asCell = own == cbCell || (own == cbGrid && FHeadingButton == hbCell);
  const std::string heading = column->Heading();
  if (heading.empty() && !asButton && !asCell && column->SortPicture() == spNone)
    return;
  TRect text = inner;
  text.Right -= 1;
  if (heldWhole)
    text = {text.Left + 1, text.Top + 1, text.Right + 1, text.Bottom + 1};
  const bool buttonHeld = heldDown && !heldWhole;
  // A heading takes the column's look, else the grid's for headings, else
  // the grid's for cells.
  TdgHorzAlignment horz = column->HeadingHorzAlignment();
  if (horz == htaDefault)
    horz = FHeadingHorzAlignment != htaDefault ? FHeadingHorzAlignment : FHorzAlignment;
  if (horz == htaDefault)
    horz = htaLeft;
  const bool area = asButton || (asCell && column->SortPicture() != spNone);
  TRect button{};
  if (area) {
    if (horz == htaRight) {
      button = {text.Left, text.Top + 1, text.Left + std::min(text.Width(), 14),
                std::min(text.Bottom, text.Top + 14)};
      text.Left += 12;
    } else {
      text.Right -= 13;
      button = {std::max(text.Left + 3, text.Right), rect.Top + 1, inner.Right,
                std::min(rect.Top + HeadingHeight() - 1, rect.Top + 15)};
    }
  }
  if (!heading.empty() && text.Height() >= 3 && !contentPainted) {
    const TFont *own = column->HeadingFont();
    const TFont &headingFont = own ? *own : HeadingFont();
    const QFont font = toQFont(headingFont);
    p.setFont(font);
    p.setPen(colorToQColor(headingFont.Color(), pal));
    p.setBrush(colorToQColor(fill, pal));
    PainterTextCanvas canvas(p, MetricsFor(font));
    // The heading is kept without its accelerator mark; the column knows
    // which character to underline.
    const int underline = column->IsHeadingStored() ? column->AcceleratorPosition() : 0;
    TdgVertAlignment vert = column->HeadingVertAlignment();
    if (vert == vtaDefault)
      vert = FHeadingVertAlignment != vtaDefault ? FHeadingVertAlignment : FVertAlignment;
    if (vert == vtaDefault)
      vert = vtaTop;
    const TdgWordWrap wrap =
        column->HeadingWordWrap() != wwDefault ? column->HeadingWordWrap() : FHeadingWordWrap;
    const int shift = buttonHeld ? 1 : 0;
    DrawCellText(canvas, heading, HeadingHeight(), underline, wrap == wwOn, vert, horz,
                 text.Top + shift, text.Left + 3 + shift, text);
    if (FHeading3D && !heldWhole && (FHeldHeading < 0 || FHeldHeading == dataCol))
      raisedLeftTop(p, inner);
  }
  if (area && !IsRectEmpty(button)) {
    if (buttonHeld) {
      button.Right += 1;
      button.Bottom += 1;
    }
    if (asButton) {
      p.fillRect(qrect(button), colorToQColor(clBtnFace, pal));
      if (buttonHeld) {
        sunkenLeftTop(p, button);
      } else {
        raisedLeftTop(p, button);
        hline(p, button.Left, button.Right, button.Bottom - 1, QColor(0x80, 0x80, 0x80));
        vline(p, button.Right - 1, button.Top, button.Bottom, QColor(0x80, 0x80, 0x80));
      }
    }
    static constexpr GridGlyph sortGlyph[3] = {GridGlyph::SortUp, GridGlyph::SortDown,
                                               GridGlyph::SortBullet};
    if (column->SortPicture() != spNone) {
      const QImage &glyph = *GridBitmap(sortGlyph[column->SortPicture()]);
      p.save();
      p.setClipRect(qrect(button), Qt::IntersectClip);
      p.drawImage(button.Left + (button.Width() - glyph.width()) / 2,
                  button.Top + (button.Height() - glyph.height()) / 2, glyph);
      p.restore();
    }
  }
}

void TdgBaseGrid::DrawRowIndicator(QPainter &p, int row, const TRect &cell) {
  if (!RowBarOn() || !FRowBarIndicator || row < 1)
    return;
  const bool insertRow = FInsertRowFlag && row == RowCount() - 1;
  const bool current = row == Row();
  if (!current && !insertRow)
    return;
  // With only the insert row below the heading, the current row is that row.
  if (!insertRow && FGridMode == gmEditInsert && RowCount() < 3)
    return;
  GridGlyph glyph = GridGlyph::DotArrowRight;
  if (insertRow && !current)
    glyph = GridGlyph::InsertRow;
  else if (row <= Rows() && RowCountsAsChanged(row))
    glyph = GridGlyph::ChangedRow;
  const QImage &image = *GridBitmap(glyph);
  const int left = std::max(1, (cell.Width() - 1) / 2 - image.width() / 2 + 1);
  TdgVertAlignment vert = FRowBarAlignment == vtaDefault ? FVertAlignment : FRowBarAlignment;
  int top;
  const int lineHeight = MetricsFor(toQFont(Font())).TextHeight();
  if (vert == vtaTop)
    top = cell.Top + lineHeight / 2 - image.height() / 2;
  else if (vert == vtaBottom)
    top = cell.Bottom - 1 - lineHeight / 2 - image.height() / 2;
  else
    top = cell.Top + (cell.Height() - image.height()) / 2;
  top = std::max(top, cell.Top + 1);
  p.save();
  p.setClipRect(qrect(cell), Qt::IntersectClip);
  p.drawImage(cell.Left + left, top, image);
  p.restore();
}

void TdgBaseGrid::PaintDataCell(QPainter &p, int col, int row, TRect r, bool selected) {
  const QPalette &pal = palette();
  const int dataCol = DataColAt(col);
  const int dataRow = DataRowAt(row);
  const bool insertRow = dataRow > Rows() || dataRow < 1;
  const bool is3D = !insertRow && EffectiveIs3D(dataCol, dataRow);
  if (is3D) {
    // Without lines a 3D cell leaves its last pixels to the grey outline.
    r.Right -= FVertLineWidth == 0 ? 1 : 0;
    r.Bottom -= FHorzLineWidth == 0 ? 1 : 0;
  }
  // The cell's draw record; a draw-info handler may change it for this cell.
  TColor background = insertRow ? Color() : EffectiveColor(dataCol, dataRow, is3D);
  const TFont *font = insertRow ? &Font() : &EffectiveFont(dataCol, dataRow);
  TdgWordWrap wrap = insertRow ? wwOff : EffectiveWordWrap(dataCol, dataRow);
  TdgHorzAlignment horz = insertRow ? htaLeft : EffectiveHorzAlignment(dataCol, dataRow);
  TdgVertAlignment vert = insertRow ? vtaTop : EffectiveVertAlignment(dataCol, dataRow);
  TColor transparent = clPictureOwn;
  if (!insertRow && HasDrawInfoHandler()) {
    if (!FDrawInfoFont)
      FDrawInfoFont = std::make_unique<TFont>();
    FDrawInfoFont->Assign(*font);
    TdgDrawInfo info{FDrawInfoFont.get(),
                     background,
                     wrap,
                     transparent,
                     vert,
                     horz == htaRight    ? taRightJustify
                     : horz == htaCenter ? taCenter
                                         : taLeftJustify};
    GetDrawInfo(dataCol, dataRow, info);
    font = FDrawInfoFont.get();
    background = info.Color;
    wrap = info.WordWrap;
    transparent = info.TransparentColor;
    vert = info.VertAlignment;
    horz = info.HorzAlignment == taRightJustify ? htaRight
           : info.HorzAlignment == taCenter     ? htaCenter
                                                : htaLeft;
  }
  const TColor cellColour = background;
  TColor fontColor = font->Color();
  const bool focus = FocusCellTest(col, row, true);
  const DataGridLook &selection = SelectionLook();
  const bool inColour = selected && SelectionInColour();
  if (focus && FFocusColor != clNone)
    background = FFocusColor;
  if (focus && FFocusFontColor != clNone)
    fontColor = FFocusFontColor;
  if (inColour) {
    background = selection.SelectionColor();
    if (selection.SelectionFontColor() != clNone)
      fontColor = selection.SelectionFontColor();
  }
  const TdgControlType controlType = insertRow ? ctText : CellControlType(dataCol, dataRow);
  if (!insertRow && controlType == ctText && col == Col() && row == Row() && FEditorShown &&
      FActiveControl == FEditControl.get()) {
    if (FEditColor != clNone)
      background = FEditColor;
    if (FEditFontColor != clNone)
      fontColor = FEditFontColor;
  }
  if (controlType == ctPicture)
    background = cellColour;
  const QColor bg = colorToQColor(background, pal);
  TRect text = r;
  TdgCustomButton *button = insertRow ? nullptr : ButtonOfCell(col, dataCol, dataRow);
  // A button wider than its cell leaves no room, never a rectangle turned
  // inside out that would draw over the cells beside it.
  if (button)
    text.Right = std::max(text.Left, text.Right - button->GetTotalWidth());
  const TdgControlType type = controlType;
  // The whole cell: a button shorter than its row leaves the rest below it.
  p.fillRect(qrect(r), bg);
  if (!insertRow && type != ctNone) {
    const auto drawn = FDrawnValues.find({dataCol, dataRow});
    const Variant value = drawn != FDrawnValues.end() && !ValueFor(col, row)
                              ? drawn->second
                              : GetCell(dataCol, dataRow);
    if (type == ctCheck) {
      const int state = value.isEmpty() ? 2 : CheckStateOfValue(value, CheckBoxValuesOf(dataCol));
      const TRect g = GetGlyphRect(FCheckBoxStyle, state, false);
      p.save();
      p.setClipRect(qrect(text), Qt::IntersectClip);
      p.drawImage(text.Left + (text.Width() - g.Width()) / 2,
                  text.Top + (text.Height() - g.Height()) / 2, CheckGlyphStrip(), g.Left, g.Top,
                  g.Width(), g.Height());
      p.restore();
    } else if (type == ctPicture) {
      const Picture picture =
          value.type() == varPicture ? value.pictureValue() : FindPicture(value);
      if (picture) {
        p.fillRect(qrect(text), colorToQColor(is3D ? clBtnFace : background, pal));
        p.setBrush(colorToQColor(is3D ? clBtnFace : background, pal));
        auto option = [&](int sub, bool gridValue) {
          const auto own = static_cast<TdgDrawOption>(PictureOption(dataCol, dataRow, sub));
          return own == dopDefault ? gridValue : own == dopOn;
        };
        DrawPicture(p, text, picture.get(), option(4, FKeepAspectRatio), option(2, FShrinkPicture),
                    option(1, FStretchPicture), option(3, FCenterPicture),
                    transparent == clPictureOwn ? FTransparentColor : transparent);
        if (inColour || (focus && FFocusColor != clNone)) {
          // A checkerboard keeps half the picture's pixels; the tint colours them.
          const TColor tint = inColour ? selection.SelectionColor() : FFocusColor;
          const QRect area(text.Left, text.Top, text.Width() / 8 * 8, text.Height());
          p.save();
          p.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
          p.fillRect(area, QBrush(CheckerboardBitmap()));
          p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
          p.fillRect(area, colorToQColor(tint, pal));
          p.restore();
        }
      }
    } else if (!value.isEmpty() && text.Width() > 3) {
      std::string s;
      VarToText(value, s);
      const QFont qfont = toQFont(*font);
      p.setFont(qfont);
      p.setPen(colorToQColor(fontColor, pal));
      p.setBrush(bg);
      PainterTextCanvas canvas(p, MetricsFor(qfont));
      DrawCellText(canvas, s, RowHeights(row) - FHorzLineWidth, 0, wrap == wwOn, vert, horz,
                   text.Top, text.Left + 3, text);
    }
  }
  if (is3D)
    raisedLeftTop(p, text);
  if (button)
    DrawCellButton(p, col, row, r, *button, background);
  if (focus)
    DrawFocusMark(p, col, row, r);
}

// The button a data cell shows, none for the insert row or btNone.
TdgCustomButton *TdgBaseGrid::ButtonOfCell(int col, int dataCol, int dataRow) {
  if (dataRow < 1 || dataRow > Rows())
    return nullptr;
  const TdgButtonType type = EffectiveButtonType(dataCol, dataRow);
  return type != btNone && type != btDefault ? GetCellButton(col, type) : nullptr;
}

// What an OnPaintCell handler leaves to the grid: the cell's button and its
// focus mark.
void TdgBaseGrid::PaintCellDecorations(QPainter &p, int col, int row, const TRect &r,
                                       bool selected) {
  const int dataCol = DataColAt(col);
  const int dataRow = DataRowAt(row);
  const bool focus = FocusCellTest(col, row, true);
  if (TdgCustomButton *button = ButtonOfCell(col, dataCol, dataRow)) {
    TColor background = EffectiveColor(dataCol, dataRow, EffectiveIs3D(dataCol, dataRow));
    if (focus && FFocusColor != clNone)
      background = FFocusColor;
    if (selected && SelectionInColour())
      background = SelectionLook().SelectionColor();
    DrawCellButton(p, col, row, r, *button, background);
  }
  if (focus)
    DrawFocusMark(p, col, row, r);
}

void TdgBaseGrid::DrawCellButton(QPainter &p, int col, int row, const TRect &r,
                                 TdgCustomButton &button, TColor background) {
  const QPalette &pal = palette();
  const TRect b = CellButtonRect(r, button);
  const bool active = ButtonIsActive(col, row);
  const bool pressed = col == FPressedCol && row == FPressedRow && FHeldDrawn;
  const bool hot = !pressed && col == FHoverCol && row == FHoverRow;
  const bool raised = hot || (!FFlatButtons && (FInactiveButtonState == ibsBackGround || active));
  p.fillRect(qrect(b),
             colorToQColor(FInactiveButtonState == ibsBackGround || active || pressed ? clBtnFace
                                                                                      : background,
                           pal));
  vline(p, b.Left, b.Top, b.Bottom, QColor(0xC0, 0xC0, 0xC0));
  auto frame = [&](const TRect &face, bool down) {
    if (down) {
      sunkenLeftTop(p, face);
    } else if (raised) {
      raisedLeftTop(p, face);
      hline(p, face.Left, face.Right, face.Bottom - 1, QColor(0x80, 0x80, 0x80));
      vline(p, face.Right - 1, face.Top, face.Bottom, QColor(0x80, 0x80, 0x80));
    }
  };
  const bool vertical = dynamic_cast<TdgVertSpinButton *>(&button) != nullptr;
  if (!vertical && !dynamic_cast<TdgHorzSpinButton *>(&button)) {
    frame(TRect{b.Left + 1, b.Top, b.Right, b.Bottom}, pressed);
    const int shift = pressed ? 1 : 0;
    if (FInactiveButtonState != ibsNone || active) {
      if (const Picture picture = button.GetPicture()) {
        // Centred in the face as a flat button insets it; the button's
        // rectangle clips only a picture wider than the button.
        const int edge = std::max(0, FButtonEdgeWidth);
        const TRect area{b.Left + edge, b.Top + edge, b.Right - edge, b.Bottom};
        p.save();
        p.setClipRect(qrect(b), Qt::IntersectClip);
        p.drawImage(area.Left + (area.Width() - picture->width()) / 2 + shift,
                    area.Top + (area.Height() - picture->height()) / 2 + shift, *picture);
        p.restore();
      }
    }
    return;
  }
  // A spin button is two buttons: only the half held down looks pushed in,
  // and each arrow stays inside its half however low the row is.
  const TRect face{b.Left + 1, b.Top, b.Right, b.Bottom};
  TRect halves[2] = {face, face};
  if (vertical)
    halves[0].Bottom = halves[1].Top = b.Top + b.Height() / 2;
  else
    halves[0].Right = halves[1].Left = b.Left + b.Width() / 2;
  const GridGlyph glyphs[2] = {vertical ? GridGlyph::SpinUp : GridGlyph::SpinLeft,
                               vertical ? GridGlyph::SpinDown : GridGlyph::SpinRight};
  for (int part = 0; part < 2; ++part) {
    const TRect &half = halves[part];
    const bool down = pressed && FPressedSpin == part + 1;
    frame(half, down);
    if (FInactiveButtonState == ibsNone && !active)
      continue;
    const QImage &glyph = *GridBitmap(glyphs[part]);
    const int shift = down ? 1 : 0;
    p.save();
    p.setClipRect(qrect(half), Qt::IntersectClip);
    p.drawImage(half.Left + (half.Width() - glyph.width()) / 2 + shift,
                half.Top + (half.Height() - glyph.height()) / 2 + shift, glyph);
    p.restore();
  }
}

bool TdgBaseGrid::FocusFrameOutside() const {
  return FFocusBorder == fbSingle || FFocusBorder == fbDouble;
}

// The frame lies over the lines of the cells left of and above its cell; a
// paint of those cells alone draws their lines over it, so it is drawn again
// over whatever this paint drew. Over itself it changes nothing.
void TdgBaseGrid::RedrawFocusFrame(QPainter &p) {
  if (!FocusFrameOutside() || !FocusCellTest(Col(), Row(), true))
    return;
  const int left = ColumnLeft(Col());
  const int top = RowTop(Row());
  if (left < 0 || top < 0 || ColWidths(Col()) <= 0 || RowHeights(Row()) <= 0)
    return;
  DrawFocusMark(p, Col(), Row(),
                TRect{left, top, left + ColWidths(Col()) - FVertLineWidth,
                      top + RowHeights(Row()) - FHorzLineWidth});
}

void TdgBaseGrid::InvalidateFocusFrame() {
  if (FocusFrameOutside() && HandleAllocated())
    InvalidateScreenRect(GetCellRect(Col(), Row()));
}

void TdgBaseGrid::DrawFocusMark(QPainter &p, int, int, const TRect &r) {
  switch (FFocusBorder) {
  case fbNone:
    return;
  case fbDot: {
    // Every other pixel of the outline, counted from its corner, each once:
    // a mark carried by a scroll then matches one drawn afresh, however the
    // window's edge cuts it (a dashed pen starts its dashes where clipping
    // lets it).
    if (r.Width() <= 0 || r.Height() <= 0)
      return;
    const int right = r.Right - 1, bottom = r.Bottom - 1;
    QPolygon dots;
    auto dot = [&](int x, int y) {
      if ((x - r.Left + y - r.Top) % 2 == 0)
        dots << QPoint(x, y);
    };
    for (int x = r.Left; x <= right; ++x)
      dot(x, r.Top);
    for (int y = r.Top + 1; y <= bottom; ++y)
      dot(right, y);
    for (int x = right - 1; x >= r.Left && bottom > r.Top; --x)
      dot(x, bottom);
    for (int y = bottom - 1; y > r.Top && right > r.Left; --y)
      dot(r.Left, y);
    p.save();
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    p.setPen(QPen(Qt::white, 1));
    p.drawPoints(dots);
    p.restore();
    return;
  }
  case fbSingle:
  case fbDouble:
    p.save();
    p.setPen(Qt::black);
    p.setBrush(Qt::NoBrush);
    p.drawRect(r.Left - 1, r.Top - 1, r.Width(), r.Height());
    if (FFocusBorder == fbDouble)
      p.drawRect(r.Left, r.Top, r.Width() - 2, r.Height() - 2);
    p.restore();
    return;
  }
}

// ------------------------------------------------------------- focus, text

void TdgBaseGrid::focusInEvent(QFocusEvent *e) {
  TCustomGrid_dg::focusInEvent(e);
  InvalidateCell(Col(), Row());
}

void TdgBaseGrid::focusOutEvent(QFocusEvent *e) {
  // A key released elsewhere must not pull the focus back to the editor.
  FFocusEditorOnKeyUp = false;
  TCustomGrid_dg::focusOutEvent(e);
  InvalidateCell(Col(), Row());
}

int TdgBaseGrid::FontRowHeight(const TFont &font) {
  return MetricsFor(toQFont(font)).TextHeight() + FHorzLineWidth;
}

void TdgBaseGrid::FitRowsToFont() {
  if (const int needed = FontRowHeight(FFont); DefaultRowHeight() < needed)
    SetDefaultRowHeight(needed);
  if (const int needed = FontRowHeight(FHeadingFont); HeadingHeight() < needed)
    SetHeadingHeight(needed);
}

int TdgBaseGrid::GridTextHeight() {
  if (!HandleAllocated())
    return 0;
  return MetricsFor(toQFont(Font())).TextHeight();
}

TPoint TdgBaseGrid::CellTextExtent(int dataCol, int dataRow) {
  if (!CheckIndex(TdgIndexKind::Column, dataCol, 1, Cols()) ||
      !CheckIndex(TdgIndexKind::Row, dataRow, 1, RowCount() - 1) ||
      CellControlType(dataCol, dataRow) != ctText)
    return {};
  std::string text;
  VarToText(GetCell(dataCol, dataRow), text);
  const QFont font = toQFont(EffectiveFont(dataCol, dataRow));
  const PainterTextMetrics &metrics = MetricsFor(font);
  int width = ColWidths(DisplayColOf(dataCol)) - 3 - FVertLineWidth;
  const TdgButtonType type = EffectiveButtonType(dataCol, dataRow);
  if (type != btNone && type != btDefault)
    if (TdgCustomButton *button = GetCellButton(DisplayColOf(dataCol), type))
      width -= button->GetTotalWidth();
  const bool wrap = EffectiveWordWrap(dataCol, dataRow) == wwOn;
  const TPoint lines = CalcTextHeight(metrics, text, width, wrap, htaLeft);
  return {wrap ? width : TextWidthOf(metrics, text, false, false), lines.Y};
}

// ------------------------------------------------------------ invalidation

bool TdgBaseGrid::CanPaintNow() const { return false; }

void TdgBaseGrid::InvalidateScreenRect(const TRect &area) {
  if (PaintSuppressed()) {
    FRepaintPending = true;
    return;
  }
  if (!HandleAllocated() || IsRectEmpty(area))
    return;
  // What is repainted takes the focus frame of a cell right of or below it
  // along; a cell repainted loses or gains its frame over its neighbours.
  TRect rect = area;
  if (FocusFrameOutside()) {
    rect.Left = std::max(0, rect.Left - 1);
    rect.Top = std::max(0, rect.Top - 1);
  }
  if (OnInvalidate)
    OnInvalidate(rect);
  // A cell repainted shows its value from its source again.
  std::erase_if(FDrawnValues, [&](const auto &drawn) {
    const TRect cell =
        GetCellRect(DisplayColOf(drawn.first.first), GetDisplayRowOf(drawn.first.second));
    return IsRectEmpty(cell) || (cell.Left < rect.Right && rect.Left < cell.Right &&
                                 cell.Top < rect.Bottom && rect.Top < cell.Bottom);
  });
  TCustomGrid_dg::InvalidateScreenRect(rect);
}

// The editor leaves a margin of its cell to the grid's painting.
void TdgBaseGrid::RefreshEditedCell() {
  if (!FEditorShown || !FActiveControl)
    return;
  EditorSetup(*FActiveControl);
  InvalidateCell(Col(), Row());
}

void TdgBaseGrid::InvalidateGrid() {
  InvalidateScreenRect(TRect{0, 0, ClientWidth(), ClientHeight()});
}

void TdgBaseGrid::Repaint() { InvalidateGrid(); }

void TdgBaseGrid::InvalidateDisplayRow(int displayRow) {
  if (!HandleAllocated())
    return;
  if (PaintSuppressed()) {
    FRepaintPending = true;
    return;
  }
  const int top = RowTop(displayRow);
  if (top < 0)
    return;
  InvalidateScreenRect(TRect{0, top, ClientWidth(), top + RowHeights(displayRow)});
}

void TdgBaseGrid::InvalidateDisplayCol(int displayCol) {
  if (!HandleAllocated())
    return;
  if (PaintSuppressed()) {
    FRepaintPending = true;
    return;
  }
  const int left = ColumnLeft(displayCol);
  if (left < 0)
    return;
  InvalidateScreenRect(TRect{left, 0, left + ColWidths(displayCol), ClientHeight()});
}

void TdgBaseGrid::BeginUpdate() {
  if (FUpdateLock == 0)
    FRepaintPending = false;
  ++FUpdateLock;
}

void TdgBaseGrid::EndUpdate() {
  if (FUpdateLock == 0)
    return;
  if (--FUpdateLock > 0)
    return;
  const bool pending = FRepaintPending;
  FRepaintPending = false;
  if (pending)
    InvalidateGrid();
  // Lines moved, hidden or resized while locked may have taken the top-left
  // cell's place or left it on a hidden line: it is settled now, reported,
  // and the bars follow.
  UpdateScrollRange();
  // An editor whose cell moved while locked goes there now, not at some
  // later paint: until then it would stand over another cell.
  if (FPendingShow && !FPaintingNow)
    PlaceEditor();
}

} // namespace marrowen
