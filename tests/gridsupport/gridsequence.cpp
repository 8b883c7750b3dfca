#include "gridsupport/gridsequence.h"

#include "grid/data/colrow.h"
#include "grid/data/gridutils.h"
#include "grid/editing/combo.h"
#include "grid/editors/celleditors.h"
#include "grid/widget/dgbasegrid.h"
#include "gridsupport/gridsequencemore.h"
#include "gridsupport/screencheck.h"
#include "gridsupport/testdatetime.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <QWindow>

#include <algorithm>
#include <cctype>
#include <map>
#include <random>
#include <set>
#include <sstream>

namespace marrowen::gridsequence {

namespace {

using more::pick;

enum Kind { kText, kCheck, kCombo, kListOnly, kDate, kSpin, kWrap, kReadOnly };
constexpr Kind startKinds[] = {kText, kCheck, kCombo, kListOnly, kDate, kSpin, kWrap, kReadOnly};
constexpr int startRows = 24;
const char *const items[] = {"Apple", "Banana", "Cherry", "Damson"};

enum Op : std::uint8_t {
  opKey,
  opType,
  opClick,
  opDoubleClick,
  opLineClick,
  opSetRows,
  opSetCols,
  opInsertRow,
  opDeleteRows,
  opDeleteCols,
  opDeleteSelectedRows,
  opDeleteSelectedCols,
  opMoveRows,
  opMoveCols,
  opRowVisible,
  opColVisible,
  opMode,
  opAlwaysShowEditor,
  opSelect,
  opCurrent,
  opSetCell,
  opLayout,
  opDropDown,
  opResize,
  opRefuse,
  opEditorKey,
  opProgramEdit,
  opReset,
  opDisplayRowOf,
  opWheel,
  opMoreKeys,
  opRightClick,
  opDrag,
  opSetting,
  opScrollEdit,
  opInsertCall,
  opEdgeDrag,
  opListOnly,
  opCount
};

// Each operation's name and how often it comes in a random sequence.
struct OpInfo {
  const char *name;
  int weight;
};
constexpr OpInfo ops[opCount] = {{"key", 14},
                                 {"type", 8},
                                 {"click", 6},
                                 {"double-click", 2},
                                 {"line click", 3},
                                 {"SetRows", 2},
                                 {"SetCols", 2},
                                 {"InsertRow", 2},
                                 {"DeleteRows", 2},
                                 {"DeleteCols", 1},
                                 {"DeleteSelectedRows", 1},
                                 {"DeleteSelectedCols", 1},
                                 {"MoveRows", 2},
                                 {"MoveCols", 2},
                                 {"row Visible", 2},
                                 {"column Visible", 1},
                                 {"GridMode", 2},
                                 {"AlwaysShowEditor", 1},
                                 {"selection", 2},
                                 {"current cell", 2},
                                 {"SetCell", 2},
                                 {"layout", 1},
                                 {"drop-down", 4},
                                 {"resize", 1},
                                 {"handlers refuse", 2},
                                 {"editor key", 6},
                                 {"program edit", 2},
                                 {"reset", 1},
                                 {"SetDisplayRowOf", 1},
                                 {"wheel", 1},
                                 {"more keys", 5},
                                 {"right click", 2},
                                 {"drag", 3},
                                 {"setting", 2},
                                 {"type and scroll", 4},
                                 {"insert-mode call", 3},
                                 {"drag past an edge", 3},
                                 {"list-only cell", 3}};

struct KeyChoice {
  Qt::Key key;
  Qt::KeyboardModifiers mods;
  const char *name;
};
const KeyChoice keys[] = {
    {Qt::Key_Up, {}, "Up"},
    {Qt::Key_Down, {}, "Down"},
    {Qt::Key_Left, {}, "Left"},
    {Qt::Key_Right, {}, "Right"},
    {Qt::Key_Tab, {}, "Tab"},
    {Qt::Key_Backtab, Qt::ShiftModifier, "Shift+Tab"},
    {Qt::Key_Return, {}, "Enter"},
    {Qt::Key_PageUp, {}, "PageUp"},
    {Qt::Key_PageDown, {}, "PageDown"},
    {Qt::Key_Home, {}, "Home"},
    {Qt::Key_End, {}, "End"},
    {Qt::Key_Home, Qt::ControlModifier, "Ctrl+Home"},
    {Qt::Key_End, Qt::ControlModifier, "Ctrl+End"},
    {Qt::Key_Escape, {}, "Escape"},
    {Qt::Key_Escape, {}, "Escape"},
    {Qt::Key_F2, {}, "F2"},
    {Qt::Key_F4, {}, "F4"},
    {Qt::Key_Down, Qt::AltModifier, "Alt+Down"},
    {Qt::Key_Z, Qt::ControlModifier, "Ctrl+Z"},
    {Qt::Key_Backspace, {}, "Backspace"},
};
// The keys the text editor keeps for itself.
const KeyChoice editorKeys[] = {
    {Qt::Key_Home, {}, "Home"},
    {Qt::Key_End, {}, "End"},
    {Qt::Key_Delete, {}, "Delete"},
    {Qt::Key_Return, Qt::ControlModifier, "Ctrl+Enter"},
    {Qt::Key_Left, Qt::ShiftModifier, "Shift+Left"},
    {Qt::Key_Right, Qt::ShiftModifier, "Shift+Right"},
    {Qt::Key_Home, Qt::ShiftModifier, "Shift+Home"},
    {Qt::Key_End, Qt::ShiftModifier, "Shift+End"},
    {Qt::Key_Left, Qt::ControlModifier, "Ctrl+Left"},
    {Qt::Key_Right, Qt::ControlModifier, "Ctrl+Right"},
    {Qt::Key_A, Qt::ControlModifier, "Ctrl+A"},
    {Qt::Key_C, Qt::ControlModifier, "Ctrl+C"},
    {Qt::Key_X, Qt::ControlModifier, "Ctrl+X"},
    {Qt::Key_V, Qt::ControlModifier, "Ctrl+V"},
    {Qt::Key_Insert, Qt::ShiftModifier, "Shift+Insert"},
    {Qt::Key_Delete, Qt::ShiftModifier, "Shift+Delete"},
    {Qt::Key_Space, {}, "Space"},
};

// Which of the grid's handshake handlers say no.
enum Refusal { rfNone, rfEndRow, rfEndCell, rfStartCell, rfStartRow, rfUndo, rfCount };
const char *const refusalNames[] = {"none",           "OnEndRowEdit",
                                    "OnEndCellEdit",  "OnStartCellEdit",
                                    "OnStartRowEdit", "the undo events"};

// What a cell value is for the model: an empty cell and an empty text alike.
std::string sig(const Variant &v) {
  if (v.isEmpty())
    return {};
  if (v.isNull())
    return "<null>";
  return v.toString();
}

struct Col {
  int id;
  Kind kind;
};

class Run {
public:
  explicit Run(bool checkPainting) : checkPainting_(checkPainting) {
    setGridExceptionReporter([this](const std::exception &e) { thrown_ += e.what(); });
    window_.resize(440, 260);
    grid_ = new TdgGrid(&window_);
    grid_->SetName("Grid1");
    grid_->setGeometry(0, 0, 420, 240);
    grid_->SetRaiseErrors(false);
    grid_->SetStoreData(true);
    grid_->SetCols(static_cast<int>(std::size(startKinds)));
    grid_->SetRows(startRows);
    grid_->SetDateTimeDef(&def_);
    for (int c = 1; c <= grid_->Cols(); ++c) {
      const Kind kind = startKinds[c - 1];
      cols_.push_back({nextId_++, kind});
      TdgCol *col = grid_->GetCol(Variant(c));
      switch (kind) {
      case kCheck:
        col->SetControlType(ctCheck);
        break;
      case kCombo:
      case kListOnly: {
        col->SetButtonType(btCombo);
        TdgComboGrid *list = col->EnsureCombo().ComboGrid();
        list->SetStoreData(true);
        list->SetRows(static_cast<int>(std::size(items)));
        for (int i = 0; i < static_cast<int>(std::size(items)); ++i)
          list->SetCell(1, i + 1, Variant(std::string(items[i])));
        if (kind == kListOnly)
          col->SetDropDownStyle(ddDropDownList);
        break;
      }
      case kDate:
        col->SetButtonType(btDateTimeDropDown);
        break;
      case kSpin:
        col->SetButtonType(btVertSpin);
        break;
      case kWrap:
        col->SetWordWrap(wwOn);
        col->SetWidth(90);
        break;
      case kReadOnly:
        col->SetReadOnly(true);
        break;
      default:
        break;
      }
    }
    for (int r = 1; r <= startRows; ++r) {
      rows_.push_back(nextId_++);
      for (int c = 1; c <= grid_->Cols(); ++c)
        write(c, r, startValue(startKinds[c - 1], r, c));
    }
    grid_->SetRowHeight(3, 30);
    wireEvents();
    wireRefusals();
    QApplication::clipboard()->setText(QStringLiteral("clip"));
    window_.show();
    QApplication::setActiveWindow(&window_);
    grid_->setFocus();
    QApplication::processEvents();
    countRows_ = grid_->Rows();
    countCols_ = grid_->Cols();
  }

  ~Run() {
    grid_->CloseDropDowns();
    setGridExceptionReporter(nullptr);
  }

  Outcome play(const std::vector<Step> &steps) {
    Outcome out;
    // A click can land on the date picker's month button, whose menu runs a
    // loop of its own that no step drives: it is closed as a user would.
    QTimer menuCloser;
    QObject::connect(&menuCloser, &QTimer::timeout, [] {
      if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget()))
        menu->close();
    });
    menuCloser.start(50);
    for (std::size_t i = 0; i < steps.size(); ++i) {
      std::string failure;
      try {
        out.done.push_back(perform(steps[i]));
        failure = check();
      } catch (const std::exception &e) {
        out.done.push_back(std::string(ops[steps[i].op % opCount].name) + " threw");
        failure = std::string("x") + e.what();
      }
      if (!thrown_.empty() && failure.empty())
        failure = "x" + thrown_;
      if (!failure.empty()) {
        out.failure = Failure{static_cast<int>(i), failure[0], failure.substr(1)};
        return out;
      }
    }
    return out;
  }

private:
  Variant startValue(Kind kind, int r, int c) const {
    switch (kind) {
    case kCheck:
      return Variant(std::int32_t(r % 2));
    case kCombo:
    case kListOnly:
      return Variant(std::string(items[(r + c) % std::size(items)]));
    case kDate:
      return Variant(std::string());
    case kSpin:
      return Variant(std::to_string(r));
    case kWrap:
      return Variant("w" + std::to_string(r) + " words that wrap in the cell");
    default:
      return Variant("v" + std::to_string(r) + "_" + std::to_string(c));
    }
  }

  Variant programValue(Kind kind, std::uint32_t v) const {
    return kind == kCheck      ? Variant(std::int32_t(v % 3))
           : kind == kListOnly ? Variant(std::string(items[v % std::size(items)]))
                               : Variant("p" + std::to_string(v % 100));
  }

  // A program write, also into the model.
  void write(int c, int r, const Variant &v) {
    grid_->SetCell(c, r, v);
    if (c >= 1 && c <= static_cast<int>(cols_.size()) && r >= 1 &&
        r <= static_cast<int>(rows_.size()))
      values_[{cols_[c - 1].id, rows_[r - 1]}] = sig(v);
  }
  std::string model(int c, int r) const {
    const auto it = values_.find({cols_[c - 1].id, rows_[r - 1]});
    return it == values_.end() ? std::string() : it->second;
  }

  // ---- events, checked as they fire
  void fault(const std::string &text) {
    if (eventFault_.empty())
      eventFault_ = text;
  }
  std::string where() const {
    return " (Rows " + std::to_string(grid_->Rows()) + ", Cols " + std::to_string(grid_->Cols()) +
           ")";
  }
  void wireEvents() {
    grid_->OnRowChanged = [this](TdgBaseGrid *g, int oldRow, int newRow) {
      log("RowChanged(" + std::to_string(oldRow) + "," + std::to_string(newRow) + ")");
      const bool onInsert = g->InsertRowFlag() && g->Row() == g->RowCount() - 1;
      if (lastRow_ != unknown && oldRow != lastRow_)
        fault("OnRowChanged old row " + std::to_string(oldRow) + " after new row " +
              std::to_string(lastRow_));
      // Data row 0 is the heading, where a program may put the current cell.
      if (newRow < 0 || newRow > g->Rows() + (onInsert ? 1 : 0))
        fault("OnRowChanged new row " + std::to_string(newRow) + where());
      lastRow_ = newRow;
      sawMove_ = true;
    };
    grid_->OnColChanged = [this](TdgBaseGrid *g, int oldCol, int newCol) {
      log("ColChanged(" + std::to_string(oldCol) + "," + std::to_string(newCol) + ")");
      // A list box notes a new column without reporting it.
      if (lastCol_ != unknown && oldCol != lastCol_ && !listBoxSince_)
        fault("OnColChanged old column " + std::to_string(oldCol) + " after new column " +
              std::to_string(lastCol_));
      if (newCol < 0 || newCol > g->Cols() || (newCol == 0 && g->Cols() > 0))
        fault("OnColChanged new column " + std::to_string(newCol) + where());
      else if (newCol != g->GetCurrentDataCol())
        fault("OnColChanged new column " + std::to_string(newCol) + " while the current one is " +
              std::to_string(g->GetCurrentDataCol()));
      lastCol_ = newCol;
      listBoxSince_ = g->GridMode() == gmListBox;
      sawMove_ = true;
    };
    grid_->OnTopLeftChanged = [this](TdgBaseGrid *g, int oldCol, int oldRow, int newCol, int newRow,
                                     bool) {
      log("TopLeftChanged(" + std::to_string(newCol) + "," + std::to_string(newRow) + ")");
      fault(more::topLeftFault(*g, topLeft_, {oldCol, oldRow}, {newCol, newRow}));
      topLeft_ = {newCol, newRow};
    };
    grid_->OnGridStatusChanged = [this](TdgBaseGrid *, auto oldStatus, auto newStatus) {
      log("GridStatusChanged(" + std::to_string(oldStatus) + "," + std::to_string(newStatus) + ")");
      fault(more::statusFault("OnGridStatusChanged", oldStatus, newStatus, status_));
      status_ = newStatus;
    };
    grid_->OnMouseStatusChanged = [this](TdgBaseGrid *, auto oldStatus, auto newStatus) {
      fault(more::statusFault("OnMouseStatusChanged", oldStatus, newStatus, mouse_));
      mouse_ = newStatus;
    };
    grid_->OnRowCountChanged = [this](TdgBaseGrid *g, int oldCount, int newCount) {
      log("RowCountChanged(" + std::to_string(oldCount) + "," + std::to_string(newCount) + ")");
      if (oldCount != countRows_ || newCount != g->Rows())
        fault("OnRowCountChanged(" + std::to_string(oldCount) + ", " + std::to_string(newCount) +
              ") after a count of " + std::to_string(countRows_) + where());
      countRows_ = newCount;
    };
    grid_->OnColCountChanged = [this](TdgBaseGrid *g, int oldCount, int newCount) {
      log("ColCountChanged(" + std::to_string(oldCount) + "," + std::to_string(newCount) + ")");
      if (oldCount != countCols_ || newCount != g->Cols())
        fault("OnColCountChanged(" + std::to_string(oldCount) + ", " + std::to_string(newCount) +
              ") after a count of " + std::to_string(countCols_) + where());
      countCols_ = newCount;
    };
    grid_->OnInsertRow = [this](TdgBaseGrid *g, int row, bool byUser) {
      log("InsertRow(" + std::to_string(row) + "," + std::to_string(byUser) + ")");
      // The user's new row follows the rows a deletion under way left.
      const int rows = static_cast<int>(rows_.size() - deletedRows_.size());
      if (row != g->Rows() || (byUser && row != rows + 1))
        fault("OnInsertRow(" + std::to_string(row) + ")" + where());
      else if (byUser) {
        rows_.push_back(nextId_++);
        enteredRows_.push_back(rows_.back());
      } else
        programInserts_.push_back(row);
    };
    grid_->OnDeleteRow = [this](TdgBaseGrid *, int row, bool byUser) {
      log("DeleteRow(" + std::to_string(row) + "," + std::to_string(byUser) + ")");
      if (sawMove_ && !byUser)
        fault("OnDeleteRow(" + std::to_string(row) + ") after the current row moved");
      std::vector<int> &ids = byUser ? rows_ : goneRows_;
      if (row < 1 || row > static_cast<int>(ids.size())) {
        fault("OnDeleteRow(" + std::to_string(row) + ") of " + std::to_string(ids.size()));
        return;
      }
      if (!byUser)
        deletedRows_.push_back(ids[row - 1]);
      ids.erase(ids.begin() + (row - 1));
    };
    grid_->OnDeleteCol = [this](TdgBaseGrid *, int col, bool) {
      log("DeleteCol(" + std::to_string(col) + ")");
      if (sawMove_)
        fault("OnDeleteCol(" + std::to_string(col) + ") after the current column moved");
      if (col < 1 || col > static_cast<int>(goneCols_.size())) {
        fault("OnDeleteCol(" + std::to_string(col) + ") of " + std::to_string(goneCols_.size()));
        return;
      }
      deletedCols_.push_back(goneCols_[col - 1]);
      goneCols_.erase(goneCols_.begin() + (col - 1));
    };
  }
  void wireRefusals() {
    grid_->OnStartCellEdit = [this](TdgBaseGrid *, int, int, bool &cancel) {
      cancel = refusal_ == rfStartCell;
    };
    grid_->OnStartRowEdit = [this](TdgBaseGrid *, int, bool &cancel) {
      cancel = refusal_ == rfStartRow;
    };
    grid_->OnEndCellEdit = [this](TdgBaseGrid *, int, int, bool &cancel) {
      cancel = refusal_ == rfEndCell;
    };
    grid_->OnEndRowEdit = [this](TdgBaseGrid *, int, bool &cancel) {
      cancel = refusal_ == rfEndRow;
    };
    grid_->OnUndoCellEdit = [this](TdgBaseGrid *, int, int, bool, bool &cancel) {
      cancel = refusal_ == rfUndo;
    };
    grid_->OnUndoRowEdit = [this](TdgBaseGrid *, int, bool, bool &cancel) {
      cancel = refusal_ == rfUndo;
    };
  }
  void log(const std::string &event) { events_ += (events_.empty() ? "" : " ") + event; }

  // ---- fitting raw arguments to the grid as it is
  QWidget *focusTarget() {
    if (QWidget *popup = QApplication::activePopupWidget())
      return popup;
    if (!grid_->isAncestorOf(QApplication::focusWidget()) && QApplication::focusWidget() != grid_) {
      QApplication::setActiveWindow(&window_);
      grid_->setFocus();
    }
    return QApplication::focusWidget() ? QApplication::focusWidget() : grid_;
  }
  QPoint cellPoint(int col, int row, std::uint32_t where) const {
    const TRect r = grid_->GetCellRect(col, row);
    if (IsRectEmpty(r))
      return {-1, -1};
    switch (where % 3) {
    case 0:
      return {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
    case 1:
      return {r.Right - 4, (r.Top + r.Bottom) / 2}; // a button, where the cell has one
    default:
      return {r.Left + 1, (r.Top + r.Bottom) / 2}; // the range-selecting edge
    }
  }
  void clickAt(QPoint p, bool twice, Qt::KeyboardModifiers mods = {}) {
    QWindow *w = window_.windowHandle();
    const QPoint at = grid_->viewport()->mapTo(&window_, p);
    if (twice)
      QTest::mouseDClick(w, Qt::LeftButton, mods, at);
    else
      QTest::mouseClick(w, Qt::LeftButton, mods, at);
  }

  // ---- the steps
  std::string perform(const Step &s) {
    events_.clear();
    eventFault_.clear();
    stepFault_.clear();
    thrown_.clear();
    sawMove_ = false;
    programInserts_.clear();
    enteredRows_.clear();
    deletedRows_.clear();
    deletedCols_.clear();
    goneRows_ = rows_;
    goneCols_ = colIds();
    kind_ = static_cast<Op>(s.op);
    const int rows = grid_->Rows(), cols = grid_->Cols();
    before_ = currentIds();
    refusalBefore_ = refusal_;
    rowEditBefore_ = grid_->RowEditing();
    cellEditBefore_ = grid_->CellEditing();
    std::string done;
    switch (kind_) {
    case opKey: {
      const KeyChoice &k = keys[s.a % std::size(keys)];
      escape_ = k.key == Qt::Key_Escape || k.key == Qt::Key_Z;
      QTest::keyClick(focusTarget(), k.key, k.mods);
      done = std::string("key ") + k.name;
      break;
    }
    case opType: {
      typed_.clear();
      for (int i = 0; i <= static_cast<int>(s.b % 3); ++i)
        typed_ += static_cast<char>('a' + (s.a >> (5 * i)) % 26);
      QTest::keyClicks(focusTarget(), QString::fromStdString(typed_));
      done = "type \"" + typed_ + "\"";
      break;
    }
    case opClick:
    case opDoubleClick: {
      const int col = pick(s.a, 1, grid_->ColCount() - 1);
      const int row = pick(s.b, 1, grid_->RowCount() - 1);
      const QPoint p = col < grid_->ColCount() && row < grid_->RowCount()
                           ? cellPoint(col, row, s.a >> 16)
                           : QPoint(-1, -1);
      done = std::string(kind_ == opClick ? "click" : "double-click") + " display cell (" +
             std::to_string(col) + "," + std::to_string(row) + ")";
      if (p.x() < 0)
        return done + ": not shown";
      clickAt(p, kind_ == opDoubleClick);
      break;
    }
    case opLineClick: {
      const bool rowBar = s.a % 2 == 0;
      const int line = rowBar ? pick(s.b, 1, grid_->RowCount() - 1) : pick(s.b, 1, cols);
      const TRect r = rowBar ? grid_->GetCellRect(0, line) : grid_->GetCellRect(line, 0);
      const Qt::KeyboardModifiers mods = (s.a >> 1) % 3 == 0   ? Qt::ShiftModifier
                                         : (s.a >> 1) % 3 == 1 ? Qt::ControlModifier
                                                               : Qt::NoModifier;
      done = std::string("click ") + (rowBar ? "row bar " : "heading ") + std::to_string(line) +
             (mods == Qt::ShiftModifier     ? " with Shift"
              : mods == Qt::ControlModifier ? " with Ctrl"
                                            : "");
      if (IsRectEmpty(r))
        return done + ": not shown";
      clickAt({(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2}, false, mods);
      break;
    }
    case opSetRows:
      done = setRows(pick(s.a, 0, 40));
      break;
    case opSetCols:
      done = setCols(pick(s.a, 1, 10));
      break;
    case opInsertRow:
      done = insertRow(pick(s.a, 1, rows + 1));
      break;
    case opDeleteRows:
    case opDeleteCols: {
      const bool isRows = kind_ == opDeleteRows;
      const int n = isRows ? rows : cols;
      const int from = pick(s.a, 0, n + 1), to = pick(s.b, from, std::min(n + 1, from + 3));
      done = deleteLines(isRows, from, to);
      break;
    }
    case opDeleteSelectedRows:
    case opDeleteSelectedCols:
      done = deleteSelected(kind_ == opDeleteSelectedRows);
      break;
    case opMoveRows:
    case opMoveCols: {
      const bool isRows = kind_ == opMoveRows;
      const int n = isRows ? rows : cols;
      const int from = pick(s.a, 1, n), to = pick(s.b, 1, n);
      if (isRows)
        grid_->MoveRows(from, to);
      else
        grid_->MoveCols(from, to);
      done = std::string(isRows ? "MoveRows(" : "MoveCols(") + std::to_string(from) + ", " +
             std::to_string(to) + ")";
      break;
    }
    case opRowVisible: {
      const int r = pick(s.a, 1, rows);
      const bool visible = s.b % 3 == 0;
      grid_->SetRowVisible(r, visible);
      done = "SetRowVisible(" + std::to_string(r) + ", " + (visible ? "true" : "false") + ")";
      break;
    }
    case opColVisible: {
      const int c = pick(s.a, 1, cols);
      const bool visible = s.b % 3 == 0;
      if (TdgCol *col = grid_->GetCol(Variant(c)))
        col->SetVisible(visible);
      done = "column " + std::to_string(c) + " Visible " + (visible ? "true" : "false");
      break;
    }
    case opMode: {
      const TdgGridMode modes[] = {gmEdit, gmEditInsert, gmEdit, gmEditInsert, gmBrowse, gmListBox};
      const TdgGridMode mode = modes[s.a % std::size(modes)];
      grid_->SetGridMode(mode);
      const char *names[] = {"gmListBox", "gmEdit", "gmEditInsert", "gmBrowse"};
      done = std::string("GridMode ") + names[mode];
      break;
    }
    case opAlwaysShowEditor:
      grid_->SetAlwaysShowEditor(!grid_->AlwaysShowEditor());
      done = std::string("AlwaysShowEditor ") + (grid_->AlwaysShowEditor() ? "on" : "off");
      break;
    case opSelect: {
      const int which = static_cast<int>(s.a % 4);
      const int n = which < 2 ? rows : cols;
      const int from = pick(s.a >> 2, 1, n), to = pick(s.b, from, std::min(n, from + 2));
      if (which == 0) {
        grid_->SelectRows(from, to);
        done = "SelectRows(" + std::to_string(from) + ", " + std::to_string(to) + ")";
      } else if (which == 1) {
        grid_->ClearRowSelection();
        done = "ClearRowSelection";
      } else {
        grid_->SelectColRange(from, to, which == 2);
        done = std::string("SelectColRange(") + std::to_string(from) + ", " + std::to_string(to) +
               (which == 2 ? ", true)" : ", false)");
      }
      break;
    }
    case opCurrent: {
      if (s.a % 2 == 0) {
        const int r = pick(s.b, 0, rows);
        grid_->SetCurrentDataRow(r);
        done = "SetCurrentDataRow(" + std::to_string(r) + ")";
      } else {
        const int col = pick(s.b, 1, grid_->ColCount() - 1);
        const int row = pick(s.a >> 1, 1, grid_->RowCount() - 1);
        if (col >= grid_->ColCount() || row >= grid_->RowCount())
          return "FocusCell: no cells";
        grid_->FocusCell(col, row, true);
        done = "FocusCell(" + std::to_string(col) + ", " + std::to_string(row) + ")";
      }
      break;
    }
    case opSetCell: {
      const int c = pick(s.a, 1, cols), r = pick(s.b, 1, rows);
      if (rows == 0 || cols == 0)
        return "SetCell: no cells";
      const Variant v = programValue(cols_[c - 1].kind, s.b);
      write(c, r, v);
      done = "SetCell(" + std::to_string(c) + ", " + std::to_string(r) + ", \"" + sig(v) + "\")";
      break;
    }
    case opLayout: {
      // Events are quiet while a layout is read: the next ones start afresh.
      lastRow_ = lastCol_ = unknown;
      topLeft_ = {unknown, unknown};
      const std::string layout = grid_->SaveLayout(allPropKinds, allLayoutProperties, true);
      if (s.b % 3 == 1 && rows > 0) {
        // Cells written after the save get the saved values back.
        std::map<std::pair<int, int>, std::string> saved;
        done = "layout saved, ";
        for (int i = 0; i <= static_cast<int>(s.b % 2); ++i) {
          const int c = pick(s.b >> (4 + 8 * i), 1, cols), r = pick(s.a >> (8 * i), 1, rows);
          const std::pair<int, int> key{cols_[c - 1].id, rows_[r - 1]};
          saved.emplace(key, values_[key]);
          const Variant v = programValue(cols_[c - 1].kind, s.a >> (3 + 8 * i));
          write(c, r, v);
          done +=
              "SetCell(" + std::to_string(c) + ", " + std::to_string(r) + ", \"" + sig(v) + "\"), ";
        }
        grid_->LoadLayout(layout, "sequence", false);
        for (const auto &[key, value] : saved)
          values_[key] = value;
        done += "loaded";
        break;
      }
      grid_->LoadLayout(layout, "sequence", s.a % 2 == 0);
      done = "layout saved and loaded";
      break;
    }
    case opDropDown: {
      done = dropDown(s);
      break;
    }
    case opMoreKeys:
      done = more::key(*focusTarget(), s);
      break;
    case opRightClick:
      done = more::rightClick(*grid_, window_, s);
      break;
    case opDrag:
      done = more::drag(*grid_, window_, s);
      break;
    case opSetting:
      done = more::setting(*grid_, s);
      break;
    case opScrollEdit:
      done = scrollEdit(s);
      break;
    case opInsertCall:
      done = insertCall(s);
      break;
    case opListOnly:
      done = listOnly(s);
      break;
    case opEdgeDrag: {
      std::string f;
      done = more::edgeDrag(*grid_, s, f);
      if (!f.empty())
        stepFault_ = "g" + f;
      break;
    }
    case opResize: {
      const int height = 100 + static_cast<int>(s.a % 160);
      grid_->resize(420, height);
      done = "grid height " + std::to_string(height);
      break;
    }
    case opRefuse:
      refusal_ = static_cast<Refusal>(s.a % rfCount);
      done = std::string("refusing: ") + refusalNames[refusal_];
      break;
    case opEditorKey: {
      const KeyChoice &k = editorKeys[s.a % std::size(editorKeys)];
      QTest::keyClick(focusTarget(), k.key, k.mods);
      done = std::string("key ") + k.name;
      break;
    }
    case opProgramEdit: {
      switch (s.a % 4) {
      case 0:
        done = std::string("StartEdit: ") + (grid_->StartEdit() ? "true" : "false");
        break;
      case 1:
        escape_ = true;
        done =
            std::string("UndoEdit: ") + (grid_->UndoEdit(false, s.b % 2 == 0) ? "true" : "false");
        break;
      case 2:
        done = std::string("EndCellAndRowEdit: ") +
               (grid_->EndCellAndRowEdit(false) ? "true" : "false");
        break;
      default: {
        const int c = grid_->GetCurrentDataCol();
        if (c < 1 || c > cols)
          return "CurrentCell.SetValue: no current cell";
        const Variant v = programValue(cols_[c - 1].kind, s.b);
        const bool taken = grid_->CurrentCell().SetValue(v, true, true);
        done = "CurrentCell.SetValue(\"" + sig(v) + "\"): " + (taken ? "true" : "false");
        break;
      }
      }
      break;
    }
    case opReset: {
      const std::uint32_t rowBits[] = {4, 16, 512, 2048, 4 | 1024};
      const std::uint32_t colBits[] = {4, 8, 512, 1024};
      if (s.a % 2 == 0) {
        const std::uint32_t bits = rowBits[s.b % std::size(rowBits)];
        grid_->ResetRowProperties(bits);
        done = "ResetRowProperties(" + std::to_string(bits) + ")";
      } else {
        const std::uint32_t bits = colBits[s.b % std::size(colBits)];
        grid_->ResetColProperties(bits);
        done = "ResetColProperties(" + std::to_string(bits) + ")";
      }
      break;
    }
    case opDisplayRowOf: {
      const int r = pick(s.a, 1, rows), to = pick(s.b, 1, rows);
      grid_->SetDisplayRowOf(r, to);
      done = "SetDisplayRowOf(" + std::to_string(r) + ", " + std::to_string(to) + ")";
      break;
    }
    case opWheel: {
      const int delta = s.a % 2 == 0 ? -120 : 120;
      const QPoint at(200, 100);
      QWheelEvent wheel(at, grid_->viewport()->mapToGlobal(at), QPoint(), QPoint(0, delta),
                        Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
      QApplication::sendEvent(grid_->viewport(), &wheel);
      done = delta < 0 ? "wheel down" : "wheel up";
      break;
    }
    default:
      break;
    }
    QApplication::processEvents();
    listBoxSince_ = listBoxSince_ || grid_->GridMode() == gmListBox;
    if (!events_.empty())
      done += "  -> " + events_;
    return done;
  }

  // Lines that hold the current cell wait for its edit to end: a refusal
  // reports no line gone (a count kept by an insert row entered afterwards
  // is no refusal).
  std::string deleteLines(bool isRows, int from, int to) {
    const int n = isRows ? grid_->Rows() : grid_->Cols();
    std::vector<int> gone;
    for (int d = std::max(from, 1); d <= std::min(to, n); ++d)
      gone.push_back(isRows ? rows_[d - 1] : cols_[d - 1].id);
    if (isRows)
      grid_->DeleteRows(from, to);
    else
      grid_->DeleteCols(from, to);
    if ((isRows ? grid_->Rows() : grid_->Cols()) == n &&
        (isRows ? deletedRows_ : deletedCols_).empty())
      gone.clear();
    expectDeleted(isRows, gone);
    return std::string(isRows ? "DeleteRows(" : "DeleteCols(") + std::to_string(from) + ", " +
           std::to_string(to) + ")";
  }
  std::string deleteSelected(bool isRows) {
    const int n = isRows ? grid_->Rows() : grid_->Cols();
    std::vector<int> gone;
    const TdgSelection &sel = isRows ? grid_->RowSelection() : grid_->ColSelection();
    for (int p = sel.First; p != -1 && sel.Count > 0; p = sel.NextSelected(p)) {
      const int d = isRows ? grid_->GetDataRow(p) : grid_->DataColAt(p);
      if (d >= 1 && d <= n)
        gone.push_back(isRows ? rows_[d - 1] : cols_[d - 1].id);
    }
    // Only the insert row selected: nothing goes.
    if (isRows)
      grid_->DeleteSelectedRows();
    else
      grid_->DeleteSelectedCols();
    expectDeleted(isRows, gone);
    return isRows ? "DeleteSelectedRows" : "DeleteSelectedCols";
  }

  // The current cell on the list-only column, perhaps its last rows gone
  // (by number, by selection or by the count), then letters that no choice
  // starts with: the cell, or the new row's, keeps what it held.
  std::string listOnly(const Step &s) {
    int c = 0;
    for (int d = 1; d <= grid_->Cols(); ++d)
      if (cols_[d - 1].kind == kListOnly)
        c = d;
    if (c == 0)
      return "list-only cell: no such column";
    std::string done;
    if (grid_->RowCount() > 1) {
      const int row = std::clamp(grid_->Row(), 1, grid_->RowCount() - 1);
      grid_->FocusCell(grid_->DisplayColOf(c), row, true);
      // The deletion that follows is an action of its own, on the rows
      // there are now (the move may have entered the insert row).
      sawMove_ = false;
      goneRows_ = rows_;
      done = "FocusCell(" + std::to_string(grid_->DisplayColOf(c)) + ", " + std::to_string(row) +
             "), ";
    }
    const int rows = grid_->Rows();
    switch (s.a % 4) {
    case 1:
      done += deleteLines(true, rows - static_cast<int>(s.b % 2), rows) + ", ";
      break;
    case 2:
      done += setRows(0) + ", ";
      break;
    case 3:
      if (rows > 0)
        grid_->SelectRows(1, rows);
      done += "SelectRows(1, " + std::to_string(rows) + "), " + deleteSelected(true) + ", ";
      break;
    default:
      break;
    }
    QApplication::processEvents();
    // Apple, Banana, Cherry and Damson start with none of these.
    const char stray[] = "efghijklmnopqrstuvwxyz";
    typed_.clear();
    for (int i = 0; i <= static_cast<int>((s.b >> 1) % 2); ++i)
      typed_ += stray[(s.a >> (2 + 5 * i)) % (std::size(stray) - 1)];
    QTest::keyClicks(focusTarget(), QString::fromStdString(typed_));
    return done + "type \"" + typed_ + "\"";
  }

  // A count that would take the current cell away waits for its edit to
  // end; a refusal keeps the count.
  std::string setRows(int n) {
    grid_->SetRows(n);
    if (grid_->Rows() == n)
      resizeModel(rows_, n);
    return "SetRows(" + std::to_string(n) + ")";
  }
  std::string setCols(int n) {
    grid_->SetCols(n);
    while (grid_->Cols() == n && static_cast<int>(cols_.size()) > n)
      cols_.pop_back();
    while (static_cast<int>(cols_.size()) < n)
      cols_.push_back({nextId_++, kText});
    return "SetCols(" + std::to_string(n) + ")";
  }
  std::string insertRow(int at) {
    grid_->InsertRow(at);
    if (programInserts_.size() == 1)
      rows_.push_back(nextId_++);
    else
      fault("InsertRow fired " + std::to_string(programInserts_.size()) + " OnInsertRow");
    return "InsertRow(" + std::to_string(at) + ")";
  }

  std::string letters(std::uint32_t v) const {
    std::string text;
    for (int i = 0; i <= static_cast<int>(v % 2); ++i)
      text += static_cast<char>('a' + (v >> (5 * i + 1)) % 26);
    return text;
  }

  // Typing, then the view scrolled away from the cell (and perhaps back) by
  // the wheel or the scroll bars, then a key. The text editor keeps what was
  // typed and where its caret stood: scrolled back it shows them unchanged,
  // and the next key changes the text from there.
  std::string scrollEdit(const Step &s) {
    std::string done;
    auto textColumn = [this](int d) {
      return d >= 1 && d <= grid_->Cols() &&
             (cols_[d - 1].kind == kText || cols_[d - 1].kind == kWrap);
    };
    // Edited text lives in the text columns: a click takes the current row's
    // first one in view.
    if (!textColumn(grid_->GetCurrentDataCol()) && grid_->Row() >= 1 &&
        grid_->Row() < grid_->RowCount())
      for (int p = 1; p < grid_->ColCount(); ++p) {
        const QPoint at = cellPoint(p, grid_->Row(), 0);
        if (textColumn(grid_->DataColAt(p)) && at.x() >= 0) {
          clickAt(at, false);
          QApplication::processEvents();
          done = "click display cell (" + std::to_string(p) + "," + std::to_string(grid_->Row()) +
                 "), ";
          // The typing that follows is the new cell's.
          before_ = currentIds();
          rowEditBefore_ = grid_->RowEditing();
          cellEditBefore_ = grid_->CellEditing();
          break;
        }
      }
    if (s.a % 4 != 0) {
      typed_ = letters(s.a >> 2);
      QTest::keyClicks(focusTarget(), QString::fromStdString(typed_));
      QApplication::processEvents();
      done += "type \"" + typed_ + "\", ";
    }
    const Ids ids = currentIds();
    const int c = grid_->GetCurrentDataCol(), r = grid_->GetCurrentDataRow();
    const std::optional<more::EditorText> before = textColumn(c) && r >= 1 && r <= grid_->Rows()
                                                       ? more::shownEditorText(*grid_)
                                                       : std::nullopt;
    for (int i = 0; i <= static_cast<int>(s.b % 2); ++i) {
      done += more::scroll(*grid_, s.b >> (1 + 6 * i)) + ", ";
      QApplication::processEvents();
    }
    auto same = [&] {
      return before && currentIds().col == ids.col && currentIds().row == ids.row;
    };
    if (const auto after = more::shownEditorText(*grid_); same() && after && *after != *before)
      stepFault_ = "athe scroll changed the editor's \"" + before->text + "\" (" +
                   std::to_string(before->selStart) + "+" + std::to_string(before->selLength) +
                   ") into \"" + after->text + "\" (" + std::to_string(after->selStart) + "+" +
                   std::to_string(after->selLength) + ")";
    const KeyChoice follows[] = {{Qt::Key_Backspace, {}, "Backspace"},
                                 {Qt::Key_Down, {}, "Down"},
                                 {Qt::Key_Up, {}, "Up"},
                                 {Qt::Key_Tab, {}, "Tab"},
                                 {Qt::Key_Return, {}, "Enter"}};
    const int follow = static_cast<int>((s.b >> 13) % 8);
    std::string expected;
    if (follow < 3) {
      const std::string more = letters(s.b >> 16);
      QTest::keyClicks(focusTarget(), QString::fromStdString(more));
      done += "type \"" + more + "\"";
      if (before)
        expected = std::string(before->text)
                       .replace(static_cast<std::size_t>(before->selStart),
                                static_cast<std::size_t>(before->selLength), more);
    } else {
      const KeyChoice &k = follows[follow - 3];
      QTest::keyClick(focusTarget(), k.key, k.mods);
      done += std::string("key ") + k.name;
      if (before && k.key == Qt::Key_Backspace) {
        // The selection goes, or the letter before the caret.
        const bool selection = before->selLength > 0;
        const int at = selection ? before->selStart : before->selStart - 1;
        expected = before->text;
        if (at >= 0)
          expected.erase(static_cast<std::size_t>(at),
                         static_cast<std::size_t>(selection ? before->selLength : 1));
      }
    }
    QApplication::processEvents();
    // A handler refusing the edit keeps the text as it was.
    if (same() && stepFault_.empty() && follow <= 3) {
      const std::string now = sig(grid_->GetCell(c, r));
      if (now != expected && now != before->text)
        stepFault_ = "acell (" + std::to_string(c) + "," + std::to_string(r) + ") holds \"" + now +
                     "\" after the scroll, not \"" + expected + "\"";
    }
    return done;
  }

  // What a program does to a grid that appends rows: moves the current cell
  // (onto the insert row or the heading too), changes the counts, inserts a
  // row, sizes or hides the current row.
  std::string insertCall(const Step &s) {
    std::string done;
    if (grid_->GridMode() != gmEditInsert) {
      grid_->SetGridMode(gmEditInsert);
      QApplication::processEvents();
      done = "GridMode gmEditInsert, ";
    }
    const int call = static_cast<int>(s.a % 6);
    // The row sized or hidden is often the one just entered from the insert row.
    if ((call == 2 || call == 5) && (s.b >> 4) % 2 == 0) {
      const int insertRow = grid_->RowCount() - 1;
      grid_->SetCurrentDataRow(insertRow);
      done += "SetCurrentDataRow(" + std::to_string(insertRow) + "), ";
    }
    const int rows = grid_->Rows();
    int current = grid_->GetCurrentDataRow();
    if (current < 1 || current > rows)
      current = pick(s.b, 1, rows);
    switch (call) {
    case 0: {
      const int r = pick(s.b, 0, grid_->RowCount() - 1);
      grid_->SetCurrentDataRow(r);
      return done + "SetCurrentDataRow(" + std::to_string(r) + ")";
    }
    case 1:
      return done + setCols(std::clamp(grid_->Cols() + (s.b % 2 == 0 ? 1 : -1), 1, 10));
    case 2: {
      if (rows < 1)
        return done + "SetRowHeight: no rows";
      // No height takes the entered row away again; any other row keeps
      // some, as hiding is Visible's business.
      const bool entered = grid_->InsertRowFlag() == 0 && grid_->Row() == grid_->RowCount() - 1 &&
                           current == grid_->GetCurrentDataRow();
      const int height = s.b % 2 == 0 && entered ? 0 : 8 + static_cast<int>((s.b >> 8) % 30);
      grid_->SetRowHeight(current, height);
      return done + "SetRowHeight(" + std::to_string(current) + ", " + std::to_string(height) + ")";
    }
    case 3:
      return done + insertRow(pick(s.b, 1, rows + 1));
    case 4:
      return done + setRows(std::max(0, rows + (s.b % 2 == 0 ? 1 : -1)));
    default: {
      if (rows < 1)
        return done + "SetRowVisible: no rows";
      const bool visible = s.b % 2 == 0;
      grid_->SetRowVisible(current, visible);
      return done + "SetRowVisible(" + std::to_string(current) + ", " +
             (visible ? "true" : "false") + ")";
    }
    }
  }

  // Opens the current cell's list or picker and picks in it, by keys or by
  // the mouse.
  std::string dropDown(const Step &s) {
    QTest::keyClick(focusTarget(), Qt::Key_F4);
    QApplication::processEvents();
    QWidget *popup = QApplication::activePopupWidget();
    if (!popup)
      return "F4 (nothing dropped down)";
    const int downs = static_cast<int>(s.b % 4);
    if (grid_->ComboOpen() && s.a % 2 == 1) {
      TdgComboGrid &list = *grid_->GetCombo()->ComboGrid();
      const int row = pick(s.b, 1, std::max(1, list.RowCount() - 1));
      const TRect r = list.GetCellRect(1, row);
      if (!IsRectEmpty(r)) {
        const QPoint at = list.viewport()->mapTo(
            list.window(), QPoint((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2));
        QTest::mouseClick(list.window()->windowHandle(), Qt::LeftButton, {}, at);
        return "F4, click list row " + std::to_string(row);
      }
    }
    for (int i = 0; i < downs; ++i)
      QTest::keyClick(popup, Qt::Key_Down);
    if (s.a % 3 == 2) {
      QTest::keyClick(QApplication::activePopupWidget() ? QApplication::activePopupWidget() : popup,
                      Qt::Key_Escape);
      return "F4, Down x" + std::to_string(downs) + ", Escape";
    }
    QTest::keyClick(QApplication::activePopupWidget() ? QApplication::activePopupWidget() : popup,
                    Qt::Key_Return);
    return "F4, Down x" + std::to_string(downs) + ", Enter";
  }

  std::vector<int> colIds() const {
    std::vector<int> ids;
    for (const Col &c : cols_)
      ids.push_back(c.id);
    return ids;
  }
  void resizeModel(std::vector<int> &ids, int n) {
    while (static_cast<int>(ids.size()) > n)
      ids.pop_back();
    while (static_cast<int>(ids.size()) < n)
      ids.push_back(nextId_++);
  }
  // The lines a program deletion takes: the events must name exactly them,
  // each by its number at its turn.
  void expectDeleted(bool isRows, const std::vector<int> &gone) {
    std::vector<int> reported = isRows ? deletedRows_ : deletedCols_;
    std::vector<int> expected = gone;
    std::sort(reported.begin(), reported.end());
    std::sort(expected.begin(), expected.end());
    if (reported != expected)
      fault(std::string(isRows ? "the OnDeleteRow" : "the OnDeleteCol") +
            " events do not name the lines that went");
    const std::set<int> goneSet(gone.begin(), gone.end());
    if (isRows)
      std::erase_if(rows_, [&](int id) { return goneSet.count(id) > 0; });
    else
      std::erase_if(cols_, [&](const Col &c) { return goneSet.count(c.id) > 0; });
  }

  struct Ids {
    int col = -1, row = -1;
  };
  Ids currentIds() const {
    const int c = grid_->GetCurrentDataCol(), r = grid_->GetCurrentDataRow();
    Ids ids;
    if (c >= 1 && c <= static_cast<int>(cols_.size()))
      ids.col = cols_[c - 1].id;
    if (r >= 1 && r <= static_cast<int>(rows_.size()))
      ids.row = rows_[r - 1];
    return ids;
  }

  // ---- the checks
  std::string check() {
    if (!stepFault_.empty())
      return stepFault_;
    if (!eventFault_.empty())
      return "d" + eventFault_;
    if (std::string f = checkMaps(); !f.empty())
      return "e" + f;
    if (std::string f = checkValues(); !f.empty())
      return "e" + f;
    if (std::string f = checkChoices(); !f.empty())
      return "e" + f;
    if (std::string f = checkEditor(); !f.empty())
      return "a" + f;
    if (std::string f = checkVisibleCurrent(); !f.empty())
      return "b" + f;
    if (std::string f = checkRefusals(); !f.empty())
      return "f" + f;
    if (std::string f = more::selectionFault(*grid_, mouse_); !f.empty())
      return "g" + f;
    if (std::string f = more::viewFault(*grid_, topLeft_); !f.empty())
      return "h" + f;
    if (checkPainting_)
      if (std::string f = checkPainting(); !f.empty())
        return "c" + f;
    return {};
  }

  // A refused end of an edit keeps the current cell where the edit is,
  // whatever asked it to move; only lines deleted or read in take it along.
  std::string checkRefusals() const {
    // With no column left there is no cell to keep.
    if (kind_ == opDeleteSelectedRows || kind_ == opDeleteSelectedCols || kind_ == opLayout ||
        grid_->Cols() == 0)
      return {};
    const Ids after = currentIds();
    const bool rowThere = std::find(rows_.begin(), rows_.end(), before_.row) != rows_.end();
    const std::vector<int> ids = colIds();
    const bool colThere = std::find(ids.begin(), ids.end(), before_.col) != ids.end();
    if (refusalBefore_ == rfEndRow && rowEditBefore_ && rowThere && after.row != before_.row)
      return "the current cell left its row although OnEndRowEdit refused";
    if (refusalBefore_ == rfEndCell && cellEditBefore_ && rowThere && colThere &&
        (after.row != before_.row || after.col != before_.col))
      return "the current cell moved although OnEndCellEdit refused";
    return {};
  }

  std::string checkMaps() const {
    TdgGrid &g = *grid_;
    if (g.Rows() != static_cast<int>(rows_.size()) || g.Cols() != static_cast<int>(cols_.size()))
      return "counts " + std::to_string(g.Cols()) + " x " + std::to_string(g.Rows()) + ", model " +
             std::to_string(cols_.size()) + " x " + std::to_string(rows_.size());
    if (g.RowCount() != g.Rows() + 1 + g.InsertRowFlag() || g.ColCount() != g.Cols() + 1)
      return "base counts do not follow the data counts";
    if (g.Rows() != countRows_ || g.Cols() != countCols_)
      return "the count events ended at " + std::to_string(countCols_) + " x " +
             std::to_string(countRows_);
    std::vector<bool> seen(static_cast<std::size_t>(g.RowCount()), false);
    for (int p = 1; p < g.RowCount(); ++p) {
      const int d = g.GetDataRow(p);
      if (d < 1 || d >= g.RowCount() || seen[static_cast<std::size_t>(d)] ||
          g.GetDisplayRowOf(d) != p)
        return "row map at display row " + std::to_string(p);
      seen[static_cast<std::size_t>(d)] = true;
      const bool hidden = p <= g.Rows() && (!g.GetRowVisible(d) || g.GetRowHeight(d) == 0);
      if (hidden != (g.RowHeights(p) == 0))
        return "display row " + std::to_string(p) + " height " + std::to_string(g.RowHeights(p)) +
               (hidden ? " while hidden" : " while shown");
    }
    std::vector<bool> seenCol(static_cast<std::size_t>(g.ColCount()), false);
    for (int p = 1; p < g.ColCount(); ++p) {
      const int d = g.DataColAt(p);
      if (d < 1 || d >= g.ColCount() || seenCol[static_cast<std::size_t>(d)] ||
          g.DisplayColOf(d) != p)
        return "column map at display column " + std::to_string(p);
      seenCol[static_cast<std::size_t>(d)] = true;
      const TdgCol *col = g.GetCol(Variant(d));
      const bool hidden = col && !col->Visible();
      if (hidden != (g.ColWidths(p) == 0))
        return "display column " + std::to_string(p) + " width " + std::to_string(g.ColWidths(p)) +
               (hidden ? " while hidden" : " while shown");
    }
    return {};
  }

  std::string checkValues() {
    TdgGrid &g = *grid_;
    const bool userStep = kind_ == opKey || kind_ == opType || kind_ == opClick ||
                          kind_ == opDoubleClick || kind_ == opDropDown || kind_ == opLineClick ||
                          kind_ == opEditorKey || kind_ == opProgramEdit || kind_ == opMoreKeys ||
                          kind_ == opRightClick || kind_ == opDrag || kind_ == opScrollEdit ||
                          kind_ == opEdgeDrag || kind_ == opListOnly;
    // An edit may start only where the handlers let it; one under way goes on.
    const bool mayEdit = (refusalBefore_ != rfStartCell || cellEditBefore_) &&
                         (refusalBefore_ != rfStartRow || rowEditBefore_);
    const bool mayUndo = refusalBefore_ != rfUndo;
    const Ids after = currentIds();
    // Escape and undo may take a row's cells back to what they held while
    // the current cell stayed in that row.
    if (after.row != historyRow_) {
      historyRow_ = after.row;
      history_.clear();
    }
    for (int c = 1; c <= g.Cols(); ++c)
      for (int r = 1; r <= g.Rows(); ++r) {
        const std::string actual = sig(g.GetCell(c, r));
        const std::string expected = model(c, r);
        const std::pair<int, int> key{cols_[c - 1].id, rows_[r - 1]};
        if (rows_[r - 1] == historyRow_)
          history_[key.first].insert(expected);
        if (actual == expected)
          continue;
        // The insert row the current cell stood on counts as its row when
        // the step entered it.
        const bool entered =
            before_.row == -1 &&
            std::find(enteredRows_.begin(), enteredRows_.end(), key.second) != enteredRows_.end();
        const bool current = (key.first == after.col && key.second == after.row) ||
                             (key.first == before_.col && (key.second == before_.row || entered));
        bool allowed = false;
        if (userStep && current && mayEdit && (mayUndo || !escape_))
          allowed = typedFits(cols_[c - 1].kind, expected, actual);
        if (userStep && escape_ && mayUndo && key.second == historyRow_)
          allowed = allowed || history_[key.first].count(actual) > 0;
        if (!allowed)
          return "cell (" + std::to_string(c) + "," + std::to_string(r) + ") holds \"" + actual +
                 "\", model \"" + expected + "\"" + (current ? " (current cell)" : "");
        values_[key] = actual;
        if (rows_[r - 1] == historyRow_)
          history_[key.first].insert(actual);
      }
    escape_ = false;
    return {};
  }

  // What a user step may have made of the current cell's value.
  bool typedFits(Kind kind, const std::string &old, const std::string &now) const {
    if (kind == kReadOnly)
      return false;
    // Letters typed into a list-only cell lead only to a choice that starts
    // with one of them (the type-ahead may hold letters of an earlier step).
    if (kind == kListOnly && (kind_ == opType || kind_ == opListOnly)) {
      const std::string letters = typed_ + grid_->TypeAhead();
      return isChoice(now) && !now.empty() &&
             letters.find(static_cast<char>(std::tolower(static_cast<unsigned char>(now[0])))) !=
                 std::string::npos;
    }
    if (kind_ != opType ||
        (kind != kText && kind != kWrap && kind != kSpin && kind != kDate && kind != kCombo))
      return true;
    // The typed text replaced a selection (or nothing) at the caret.
    const std::size_t at = now.find(typed_);
    for (std::size_t i = at; i != std::string::npos; i = now.find(typed_, i + 1)) {
      const std::string head = now.substr(0, i), tail = now.substr(i + typed_.size());
      if (old.compare(0, head.size(), head) == 0 && tail.size() <= old.size() - head.size() &&
          old.compare(old.size() - tail.size(), tail.size(), tail) == 0)
        return true;
    }
    return false;
  }

  static bool isChoice(const std::string &value) {
    return std::find(std::begin(items), std::end(items), value) != std::end(items);
  }

  // A list-only cell holds one of its choices, or nothing.
  std::string checkChoices() {
    for (int c = 1; c <= grid_->Cols(); ++c)
      for (int r = 1; cols_[c - 1].kind == kListOnly && r <= grid_->Rows(); ++r)
        if (const std::string value = sig(grid_->GetCell(c, r));
            grid_->ListOnlyCell(c, r) && !value.empty() && !isChoice(value))
          return "list-only cell (" + std::to_string(c) + "," + std::to_string(r) + ") holds \"" +
                 value + "\"";
    return {};
  }

  std::string checkEditor() const {
    TdgGrid &g = *grid_;
    const std::vector<TdgCustomGridControl *> controls = {&g.EditControl(), &g.CheckControl()};
    for (TdgCustomGridControl *c : controls)
      if (c->Control().isVisible() && (!g.EditorShown() || c != &g.ActiveControl()))
        return "an editor is shown where the grid shows none";
    if (!g.EditorShown())
      return {};
    TdgCustomGridControl &c = g.ActiveControl();
    if (!c.Control().isVisible())
      return "the editor counts as shown but is hidden";
    const TRect cell = g.GetCellRect(g.Col(), g.Row());
    const QRect at = c.Control().geometry();
    if (IsRectEmpty(cell) || at.left() < cell.Left || at.top() < cell.Top ||
        at.right() >= cell.Right + 1 || at.bottom() >= cell.Bottom + 1)
      return "the editor stands at (" + std::to_string(at.left()) + "," + std::to_string(at.top()) +
             "), off the current cell (" + std::to_string(g.Col()) + "," + std::to_string(g.Row()) +
             ")";
    if (&c == &g.CheckControl() && g.GetCurrentDataRow() <= g.Rows() && !g.CellEditing()) {
      const Variant cell = g.GetCell(g.GetCurrentDataCol(), g.GetCurrentDataRow());
      const int shown = CheckStateOfValue(c.GetValue(), "");
      const int held = cell.isEmpty() ? 2 : CheckStateOfValue(cell, "");
      if (shown != held)
        return "the check box shows state " + std::to_string(shown) + " over cell (" +
               std::to_string(g.GetCurrentDataCol()) + "," + std::to_string(g.GetCurrentDataRow()) +
               ") holding state " + std::to_string(held);
    }
    if (&c == &g.EditControl()) {
      const std::string text = c.GetValue().toString();
      const std::string value = sig(g.GetCell(g.GetCurrentDataCol(), g.GetCurrentDataRow()));
      if (g.GetCurrentDataRow() <= g.Rows() && text != value)
        return "the editor shows \"" + text + "\" over cell (" +
               std::to_string(g.GetCurrentDataCol()) + "," + std::to_string(g.GetCurrentDataRow()) +
               ") holding \"" + value + "\"";
    }
    return {};
  }

  std::string checkVisibleCurrent() const {
    TdgGrid &g = *grid_;
    bool anyRow = false, anyCol = false;
    for (int p = 1; p < g.RowCount(); ++p)
      anyRow = anyRow || g.RowHeights(p) > 0;
    for (int p = 1; p < g.ColCount(); ++p)
      anyCol = anyCol || g.ColWidths(p) > 0;
    if (anyRow && (g.Row() < 0 || g.Row() >= g.RowCount() || g.RowHeights(g.Row()) == 0))
      return "the current row " + std::to_string(g.Row()) + " cannot be seen";
    if (anyCol && (g.Col() < 1 || g.Col() >= g.ColCount() || g.ColWidths(g.Col()) == 0))
      return "the current column " + std::to_string(g.Col()) + " cannot be seen";
    if (anyRow && g.RowHeights(g.LastVisibleRow()) == 0)
      return "LastVisibleRow answers hidden row " + std::to_string(g.LastVisibleRow());
    if (anyCol && g.ColWidths(g.LastVisibleCol()) == 0)
      return "LastVisibleCol answers hidden column " + std::to_string(g.LastVisibleCol());
    return {};
  }

  // The selections keep their bounds and counts with their bits, the grid
  // status names the kind of selection there is, and the events reported it.
  std::string checkPainting() {
    QWidget &view = *grid_->viewport();
    // What queued work repaints is painted by the window system's next turn.
    QApplication::processEvents();
    const std::string difference = screenDiffersFromFullPaint(view);
    if (difference.empty())
      return {};
    // Set to a folder, it receives both pictures of a difference.
    if (const QString folder = qEnvironmentVariable("MARROWEN_SEQUENCE_IMAGES");
        !folder.isEmpty()) {
      shownOnScreen(view).save(folder + "/shown.png");
      paintedInFull(view).save(folder + "/fresh.png");
    }
    return "the window differs from a full paint: " + difference;
  }

  static constexpr int unknown = -1000;
  bool checkPainting_;
  QWidget window_;
  TdgGrid *grid_ = nullptr;
  TestDateTimeDef def_;
  std::vector<Col> cols_;
  std::vector<int> rows_;
  std::map<std::pair<int, int>, std::string> values_;
  int nextId_ = 1;
  int countRows_ = 0, countCols_ = 0;
  int lastRow_ = unknown, lastCol_ = unknown;
  std::pair<int, int> topLeft_{1, 1};
  TdgGridStatus status_ = gsNothing;
  TdgMouseStatus mouse_ = msNothing;
  bool sawMove_ = false, listBoxSince_ = false;
  Op kind_ = opKey;
  bool escape_ = false;
  Refusal refusal_ = rfNone, refusalBefore_ = rfNone;
  bool rowEditBefore_ = false, cellEditBefore_ = false;
  std::string typed_;
  Ids before_;
  int historyRow_ = -1;
  std::map<int, std::set<std::string>> history_;
  std::vector<int> programInserts_, enteredRows_, deletedRows_, deletedCols_, goneRows_, goneCols_;
  std::string events_, eventFault_, stepFault_, thrown_;
};

Step stepFrom(std::uint32_t opRoll, std::uint32_t a, std::uint32_t b) {
  int total = 0;
  for (const OpInfo &op : ops)
    total += op.weight;
  int roll = static_cast<int>(opRoll % static_cast<std::uint32_t>(total));
  std::uint8_t op = 0;
  while (roll >= ops[op].weight)
    roll -= ops[op++].weight;
  return {op, a, b};
}

} // namespace

std::vector<Step> randomSteps(std::uint32_t seed, int count) {
  std::mt19937 random(seed);
  std::vector<Step> steps;
  for (int i = 0; i < count; ++i) {
    const std::uint32_t op = random(), a = random(), b = random();
    steps.push_back(stepFrom(op, a, b));
  }
  return steps;
}

std::vector<Step> stepsFromBytes(std::span<const std::uint8_t> bytes) {
  std::vector<Step> steps;
  for (std::size_t i = 0; i + 4 <= bytes.size(); i += 4)
    steps.push_back(stepFrom(bytes[i], bytes[i + 1] * 2654435761u + bytes[i + 3],
                             bytes[i + 2] * 40503u + bytes[i + 3]));
  return steps;
}

Outcome run(const std::vector<Step> &steps, bool checkPainting) {
  Run run(checkPainting);
  return run.play(steps);
}

std::vector<Step> shrink(std::vector<Step> steps, const Failure &failure,
                         std::chrono::seconds budget) {
  const auto end = std::chrono::steady_clock::now() + budget;
  steps.resize(static_cast<std::size_t>(failure.step) + 1);
  auto stillFails = [&](const std::vector<Step> &candidate) {
    const Outcome o = run(candidate, failure.check == 'c');
    return o.failure && o.failure->check == failure.check;
  };
  // Drop ever smaller blocks of steps while the same check still fails.
  for (std::size_t block = std::max<std::size_t>(1, steps.size() / 2); block >= 1; block /= 2) {
    for (std::size_t from = 0; from < steps.size() && std::chrono::steady_clock::now() < end;) {
      std::vector<Step> candidate = steps;
      candidate.erase(candidate.begin() + static_cast<std::ptrdiff_t>(from),
                      candidate.begin() +
                          static_cast<std::ptrdiff_t>(std::min(steps.size(), from + block)));
      if (!candidate.empty() && stillFails(candidate))
        steps = std::move(candidate);
      else
        from += block;
    }
    if (block == 1 || std::chrono::steady_clock::now() >= end)
      break;
  }
  // The last step is where it fails.
  const Outcome o = run(steps, failure.check == 'c');
  if (o.failure)
    steps.resize(static_cast<std::size_t>(o.failure->step) + 1);
  return steps;
}

std::string describe(const std::vector<Step> &steps) {
  const Outcome o = run(steps);
  std::ostringstream out;
  for (std::size_t i = 0; i < o.done.size(); ++i)
    out << "  " << i + 1 << ". " << o.done[i] << "  {" << int(steps[i].op) << ", " << steps[i].a
        << "u, " << steps[i].b << "u}\n";
  if (o.failure)
    out << "check (" << o.failure->check << ") fails after step " << o.failure->step + 1 << ": "
        << o.failure->message << "\n";
  return out.str();
}

} // namespace marrowen::gridsequence
