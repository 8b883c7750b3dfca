#include "grid/editing/combo.h"

#include "classlib/codepage.h"
#include "classlib/componentstream.h"
#include "classlib/utf8.h"
#include "grid/data/keys.h"
#include "grid/data/qtbytes.h"
#include "grid/editing/datetime.h"
#include "grid/editors/editorwrappers.h"
#include "grid/stream/gridstream.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>

#include <algorithm>
#include <climits>
#include <vector>

namespace marrowen {

namespace {

constexpr std::string_view compareTypeNames[] = {"ctCaseSensitive", "ctCaseInsensitive", "ctOwn"};
constexpr std::string_view autoSearchNames[] = {"asNone", "asTop", "asBottom", "asCenter"};
constexpr std::string_view convertCaseNames[] = {"afcOnEdit", "afcOnExit", "afcNone"};
constexpr std::string_view dropDownStyleNames[] = {"ddDropDown", "ddDropDownList"};

// Lengths in the list's compares count characters, not bytes.
int characterLength(std::string_view text) {
  return static_cast<int>(std::min<std::size_t>(utf8::characterCount(text), INT_MAX));
}

bool typesText(const QKeyEvent &e) {
  if (e.modifiers() & (Qt::ControlModifier | Qt::AltModifier))
    return false;
  // An emoji comes as a surrogate pair, printable only as a whole.
  const QList<uint> text = e.text().toUcs4();
  return !text.isEmpty() && QChar::isPrint(char32_t(text.front()));
}

} // namespace

// ---------------------------------------------------------------------------
// The drop-down window

TdgDropDownForm::TdgDropDownForm(TdgBaseGrid &grid)
    : QWidget(&grid, Qt::Popup | Qt::FramelessWindowHint), grid_(grid) {
  // The press that closes the list is handed on here, once.
  setAttribute(Qt::WA_NoMouseReplay);
  setFocusPolicy(Qt::NoFocus);
}

void TdgDropDownForm::mousePressEvent(QMouseEvent *e) {
  if (rect().contains(e->position().toPoint())) {
    e->accept();
    return;
  }
  const QPoint global = e->globalPosition().toPoint();
  QWidget *under = QApplication::widgetAt(global);
  if (under && (under == &grid_ || grid_.isAncestorOf(under))) {
    grid_.DropDownPress(*e);
    return;
  }
  grid_.CloseComboDropDown(false);
  grid_.CloseDateTimeDropDown(false);
  // The toolkit drops the release of a press that closed a pop-up, so the
  // widget is given the whole click here.
  if (under && !under->window()->isHidden()) {
    const QPointF local = under->mapFromGlobal(QPointF(global));
    QPointer<QWidget> target = under;
    // The focus goes where the click would have put it.
    for (QWidget *w = under; w; w = w->isWindow() ? nullptr : w->parentWidget())
      if (w->isEnabled() && (w->focusPolicy() & Qt::ClickFocus)) {
        w->setFocus(Qt::MouseFocusReason);
        break;
      }
    QMouseEvent press(QEvent::MouseButtonPress, local, QPointF(global), e->button(), e->buttons(),
                      e->modifiers());
    QApplication::sendEvent(target, &press);
    if (target) {
      QMouseEvent release(QEvent::MouseButtonRelease, local, QPointF(global), e->button(),
                          e->buttons() & ~e->button(), e->modifiers());
      QApplication::sendEvent(target, &release);
    }
  }
}

// While the cell's button that opened the list is still held, the mouse over
// the grid is the grid's: the button follows it, released and pressed again.
void TdgDropDownForm::mouseMoveEvent(QMouseEvent *e) {
  if (grid_.PressedCol() < 0 || rect().contains(e->position().toPoint()))
    return;
  QWidget *port = grid_.viewport();
  const QPointF global = e->globalPosition();
  QMouseEvent move(QEvent::MouseMove, port->mapFromGlobal(global), global, e->button(),
                   e->buttons(), e->modifiers());
  QApplication::sendEvent(port, &move);
}

void TdgDropDownForm::mouseReleaseEvent(QMouseEvent *e) {
  // The press that opened the list held the grid's cell button: its release
  // belongs to the grid, or to the list once the list has taken it over.
  QWidget *target = nullptr;
  if (grid_.PressedCol() >= 0)
    target = grid_.viewport();
  else if (TdgComboGrid *list = grid_.ComboOpen() ? grid_.GetCombo()->ComboGrid() : nullptr;
           list && list->MouseStatus() != msNothing)
    target = list->viewport();
  if (rect().contains(e->position().toPoint()) || !target) {
    e->accept();
    return;
  }
  const QPointF global = e->globalPosition();
  QMouseEvent release(QEvent::MouseButtonRelease, target->mapFromGlobal(global), global,
                      e->button(), e->buttons(), e->modifiers());
  QApplication::sendEvent(target, &release);
}

void TdgDropDownForm::keyPressEvent(QKeyEvent *e) {
  e->accept();
  if (grid_.DateTimeOpen()) {
    // The picker's table decides; what it lets go reaches the grid. Holding
    // the focus, the picker heard the key first: what comes up here from it
    // is not its to hear again.
    const QWidget *focus = QApplication::focusWidget();
    const bool heard = focus && focus != this && isAncestorOf(focus);
    std::uint16_t key = virtualKeyOf(*e);
    const TShiftState shift = shiftStateOf(*e);
    if (key == 0 ||
        !(heard ? grid_.PickerKeyLetGo(key, shift, e->key()) : grid_.DropDownKeyDown(key, shift)))
      QApplication::sendEvent(&grid_, e);
    return;
  }
  TdgGridEditBox *editor = ShownTextEditor(grid_);
  const bool editorShown = editor != nullptr;
  if (typesText(*e)) {
    if (editorShown) {
      QApplication::sendEvent(editor, e);
      grid_.ComboEditorChanged(true);
    } else {
      grid_.ComboTypeAhead(qStringToBytes(e->text()));
    }
    return;
  }
  std::uint16_t key = virtualKeyOf(*e);
  // Caret and deleting keys are the editor's first; it hands on what it
  // does not keep.
  const bool editorFirst = editorShown && e->modifiers() == Qt::NoModifier &&
                           (key == VK_LEFT || key == VK_RIGHT || key == VK_HOME || key == VK_END ||
                            key == VK_BACK || key == VK_DELETE);
  const bool handled = !editorFirst && key != 0 && grid_.DropDownKeyDown(key, shiftStateOf(*e));
  if (handled)
    return;
  if (editorShown) {
    const std::string before = editor->Text();
    QApplication::sendEvent(editor, e);
    if (grid_.ComboOpen() && editor->Text() != before)
      grid_.ComboEditorChanged(false);
  } else {
    QApplication::sendEvent(&grid_, e);
  }
}

void TdgDropDownForm::keyReleaseEvent(QKeyEvent *e) { e->accept(); }

void TdgDropDownForm::hideEvent(QHideEvent *e) {
  QWidget::hideEvent(e);
  // Closed from outside (the application lost the focus): nothing is taken.
  if (grid_.ComboCol() != -1)
    grid_.CloseComboDropDown(false);
  if (grid_.DateTimeOpen() && grid_.Picker() && grid_.Picker()->parentWidget() == this)
    grid_.CloseDateTimeDropDown(false);
}

// ---------------------------------------------------------------------------
// Combo settings

TdgGridCombo::TdgGridCombo(TdgBaseGrid &grid) : grid_(grid) {
  comboGrid_ = grid.CreateComboGrid();
  if (!comboGrid_)
    return;
  comboGrid_->SetCombo(this);
  comboGrid_->hide();
  if (grid.NotLoading()) {
    grid.InitComboGrid(*comboGrid_);
    grid.InitCombo(this);
  }
}

TdgGridCombo::~TdgGridCombo() { grid_.ForgetCopiedCombo(this); }

#define COMBO_SETTING(Type, Name)                                                                  \
  Type TdgGridCombo::Name() const { return comboGrid_->Name(); }                                   \
  void TdgGridCombo::Set##Name(Type value) {                                                       \
    if (comboGrid_->Name() != value)                                                               \
      comboGrid_->Set##Name(value);                                                                \
  }
COMBO_SETTING(int, DropDownRows)
COMBO_SETTING(int, DropDownCols)
COMBO_SETTING(int, ValueCol)
COMBO_SETTING(bool, ValueColSorted)
COMBO_SETTING(TdgComboCompareType, CompareType)
COMBO_SETTING(TdgComboAutoSearchType, AutoSearch)
COMBO_SETTING(bool, AutoFill)
COMBO_SETTING(TdgConvertCase, AutoFillConvertCase)
COMBO_SETTING(TdgDropDownStyle, DropDownStyle)
#undef COMBO_SETTING

void TdgGridCombo::Reinitialise() {
  TdgComboGrid &list = *comboGrid_;
  list.BeginUpdate();
  {
    struct End {
      TdgComboGrid &list;
      ~End() { list.EndUpdate(); }
    } end{list};
    grid_.ForgetCopiedCombo(this);
    list.ResetToNewGrid(allPropKinds);
  }
  if (grid_.ComboOpen() && grid_.GetCombo() == this)
    grid_.SizeDropDown(list, false);
}

void TdgGridCombo::SetWidth(int width) { comboGrid_->SetDefaultColWidth(width + 10); }

void TdgGridCombo::Assign(const TdgCombo &source) {
  if (&source == this || !source.ComboGrid())
    return;
  comboGrid_->CopyGrid(*source.ComboGrid(), allPropKinds, true);
}

void TdgGridCombo::writeInnerGrid(ComponentWriter &writer) const {
  writer.writeBinary(writeGrid(*comboGrid_));
}

void TdgGridCombo::readInnerGrid(ComponentReader &reader) {
  const std::string bytes = reader.readBinary();
  try {
    readGrid(*comboGrid_, bytes);
  } catch (const EReadError &e) {
    reader.fail(e.detail());
  }
}

// ---------------------------------------------------------------------------
// The list grid

TdgComboGrid::TdgComboGrid(QWidget *parent, TdgBaseGrid *ownerGrid)
    : TdgCustomGrid(parent), FOwnerGrid(ownerGrid) {
  setFocusPolicy(Qt::NoFocus);
  if (ownerGrid)
    SetName(ownerGrid->Name() + ".Combo");
}

TdgComboGrid::~TdgComboGrid() = default;

void TdgComboGrid::SetDropDownRows(int value) {
  if (value == FDropDownRows)
    return;
  FDropDownRows = value;
  DropDownResize();
}

void TdgComboGrid::SetDropDownCols(int value) {
  if (value == FDropDownCols)
    return;
  FDropDownCols = value;
  DropDownResize();
}

void TdgComboGrid::DropDownResize() {
  if (FOwnerGrid && FCombo && FOwnerGrid->ComboOpen() && FOwnerGrid->GetCombo() == FCombo)
    FOwnerGrid->SizeDropDown(*this, false);
}

void TdgComboGrid::SetAutoFill(bool value) {
  if (value == FAutoFill)
    return;
  FAutoFill = value;
  if (value && NotLoading() && FAutoSearch == asNone)
    FAutoSearch = asTop;
}

void TdgComboGrid::SetDropDownStyle(TdgDropDownStyle value) {
  if (value == FDropDownStyle)
    return;
  FDropDownStyle = value;
  if (FOwnerGrid)
    FOwnerGrid->refreshEditor();
}

bool TdgComboGrid::NotLoading() const {
  return TdgCustomGrid::NotLoading() && (!FOwnerGrid || FOwnerGrid->NotLoading());
}

bool TdgComboGrid::IsLoadingLayout() const {
  return TdgCustomGrid::IsLoadingLayout() || (FOwnerGrid && FOwnerGrid->IsLoadingLayout());
}

bool TdgComboGrid::IsSavingLayout() const {
  return TdgCustomGrid::IsSavingLayout() || (FOwnerGrid && FOwnerGrid->IsSavingLayout());
}

std::span<const PublishedProperty> TdgComboGrid::publishedProperties() const {
  using C = TdgComboGrid;
  using K = PropKind;
  static const std::vector<PublishedProperty> table = [this] {
    std::vector<PublishedProperty> t(TdgCustomGrid::publishedProperties().begin(),
                                     TdgCustomGrid::publishedProperties().end());
    t.push_back(publishedValue<C, int>("DropDownRows", K::Integer, &C::DropDownRows,
                                       &C::SetDropDownRows, Variant(4)));
    t.push_back(publishedValue<C, int>("DropDownCols", K::Integer, &C::DropDownCols,
                                       &C::SetDropDownCols, Variant(1)));
    t.push_back(
        publishedValue<C, int>("ValueCol", K::Integer, &C::ValueCol, &C::SetValueCol, Variant(1)));
    t.push_back(publishedValue<C, bool>("ValueColSorted", K::Boolean, &C::ValueColSorted,
                                        &C::SetValueColSorted, false));
    t.push_back(publishedValue<C, TdgComboCompareType>(
        "CompareType", K::Enumeration, &C::CompareType, &C::SetCompareType,
        Variant(int(ctCaseInsensitive)), nullptr, compareTypeNames));
    t.push_back(publishedValue<C, TdgComboAutoSearchType>(
        "AutoSearch", K::Enumeration, &C::AutoSearch, &C::SetAutoSearch, Variant(int(asNone)),
        nullptr, autoSearchNames));
    t.push_back(
        publishedValue<C, bool>("AutoFill", K::Boolean, &C::AutoFill, &C::SetAutoFill, false));
    t.push_back(publishedValue<C, TdgConvertCase>(
        "AutoFillConvertCase", K::Enumeration, &C::AutoFillConvertCase, &C::SetAutoFillConvertCase,
        Variant(int(afcOnEdit)), nullptr, convertCaseNames));
    t.push_back(publishedValue<C, TdgDropDownStyle>(
        "DropDownStyle", K::Enumeration, &C::DropDownStyle, &C::SetDropDownStyle,
        Variant(int(ddDropDown)), nullptr, dropDownStyleNames));
    return t;
  }();
  return table;
}

std::unique_ptr<TdgBaseGrid> TdgComboGrid::NewGridOfSameClass() const {
  auto grid = std::make_unique<TdgComboGrid>(parentWidget(), FOwnerGrid);
  grid->hide();
  return grid;
}

void TdgComboGrid::mousePressEvent(QMouseEvent *e) {
  TdgCustomGrid::mousePressEvent(e);
  const QPoint p = e->position().toPoint();
  const int row = RowAt(p.y());
  FPressedRow = e->button() == Qt::LeftButton && row >= 1 && row <= Rows() ? row : -1;
  if (FPressedRow >= 1 && Row() != FPressedRow)
    SetCurrentDataRow(GetDataRow(FPressedRow));
}

void TdgComboGrid::mouseMoveEvent(QMouseEvent *e) {
  if ((e->buttons() & Qt::LeftButton) && FOwnerGrid && FOwnerGrid->MouseStatus() == msButtonHeld &&
      FOwnerGrid->ComboOpen() && FCombo == FOwnerGrid->GetCombo()) {
    // The cell's button was pressed and the mouse slid into the list: the
    // list takes the press over, as if it had been made here.
    FOwnerGrid->HandHeldButtonToList();
    QMouseEvent press(QEvent::MouseButtonPress, e->position(), e->scenePosition(),
                      e->globalPosition(), Qt::LeftButton, e->buttons(), e->modifiers());
    mousePressEvent(&press);
  }
  TdgCustomGrid::mouseMoveEvent(e);
}

void TdgComboGrid::mouseReleaseEvent(QMouseEvent *e) {
  if (FOwnerGrid && FOwnerGrid->PressedCol() >= 0 && FOwnerGrid->ComboOpen() &&
      FCombo == FOwnerGrid->GetCombo()) {
    // The cell's button was pressed and the list opened under the mouse: the
    // release ends the grid's press, not one of the list's.
    QWidget *port = FOwnerGrid->viewport();
    const QPointF global = e->globalPosition();
    QMouseEvent release(QEvent::MouseButtonRelease, port->mapFromGlobal(global), global,
                        e->button(), e->buttons(), e->modifiers());
    QApplication::sendEvent(port, &release);
    return;
  }
  TdgCustomGrid::mouseReleaseEvent(e);
  const int pressed = FPressedRow;
  FPressedRow = -1;
  // A press on a row that comes up on a row picks the value of the row the
  // drag made current.
  const QPoint p = e->position().toPoint();
  const int row = viewport()->rect().contains(p) ? RowAt(p.y()) : -1;
  if (pressed >= 1 && row >= 1 && row <= Rows() && FOwnerGrid && FOwnerGrid->ComboOpen() &&
      FCombo == FOwnerGrid->GetCombo())
    FOwnerGrid->TakeListValueAndClose();
}

// ---------------------------------------------------------------------------
// Searching the list

std::string TdgComboGrid::ValueText(int dataRow) { return GetCell(FValueCol, dataRow).toString(); }

int TdgComboGrid::Compare(const std::string &listText, const std::string &searchText, int length) {
  if (FCompareType == ctOwn) {
    int result = 0;
    if (FOwnerGrid) {
      FOwnerGrid->DoComboCompareValue(listText, searchText, result);
      FOwnerGrid->DoComboLCompareValue(listText, searchText, length, result);
    }
    return result;
  }
  if (length <= 0) {
    if (listText.empty() && searchText.empty())
      return 0;
    return listText.empty() ? -1 : 1;
  }
  // Character by character, as the rest of the program reads text: a UTF-8
  // sequence is one character and any other byte the code page's, so what is
  // typed (UTF-8) finds a value stored either way and never half a letter.
  // Without case, letters fold as Unicode folds them: "ü" finds "Über" and
  // "σ" finds "Σ".
  const std::shared_ptr<const CodePage> page = systemCodePage();
  const bool fold = FCompareType == ctCaseInsensitive;
  std::size_t i = 0, j = 0;
  for (int k = 0; k < length; ++k) {
    const bool endA = i >= listText.size(), endB = j >= searchText.size();
    if (endA || endB)
      return endA && endB ? 0 : (endA ? -1 : 1);
    std::size_t lengthA = 0, lengthB = 0;
    char32_t a = utf8::decodeCharacter(std::string_view(listText).substr(i), *page, lengthA);
    char32_t b = utf8::decodeCharacter(std::string_view(searchText).substr(j), *page, lengthB);
    if (fold) {
      a = utf8::simpleFold(a);
      b = utf8::simpleFold(b);
    }
    if (a != b)
      return a < b ? -1 : 1;
    i += lengthA;
    j += lengthB;
  }
  return 0;
}

bool TdgComboGrid::Equal(const std::string &a, const std::string &b) {
  const int length = characterLength(a);
  return length == characterLength(b) && Compare(a, b, length) == 0;
}

int TdgComboGrid::Search(const std::string &text, bool whole, bool &found) {
  found = false;
  const int rows = Rows();
  int result = GetCurrentDataRow();
  if (text.empty())
    result = std::min(1, rows);
  const int textLength = characterLength(text);
  auto agreement = [&](int row, int &n) {
    const std::string value = ValueText(row);
    const int valueLength = characterLength(value);
    n = std::min(textLength, valueLength);
    return std::make_pair(Compare(value, text, n), valueLength);
  };
  if (!FValueColSorted) {
    if (text.empty())
      return result;
    int best = 0;
    for (int row = 1; row <= rows; ++row) {
      int n = 0;
      const auto [c, valueLength] = agreement(row, n);
      if (valueLength == 0 || c != 0 || n <= best)
        continue;
      result = row;
      found = true;
      best = n;
      if (n == textLength)
        break;
    }
    return result;
  }
  if (text.empty())
    return result;
  int lo = 1, hi = rows;
  int best = whole ? textLength : 1;
  while (true) {
    if (lo > hi) {
      if (!found)
        result = std::max(1, std::min(lo - 1, rows));
      return result;
    }
    const int mid = (lo + hi) / 2;
    int n = 0;
    const auto [c, valueLength] = agreement(mid, n);
    if (c > 0) {
      hi = mid - 1;
    } else if (c < 0 || n < best) {
      lo = mid + 1;
    } else {
      result = mid;
      found = true;
      best = n;
      if (textLength < valueLength)
        hi = mid - 1;
      else if (textLength > valueLength)
        lo = mid + 1;
      else
        return result;
    }
  }
}

int TdgComboGrid::NextMatch(const std::string &text, bool &found) {
  found = false;
  const int rows = Rows();
  const int textLength = characterLength(text);
  auto agrees = [&](int row) {
    const std::string value = ValueText(row);
    const int n = std::min(textLength, characterLength(value));
    return !value.empty() && Compare(value, text, n) == 0;
  };
  const int current = std::max(0, GetCurrentDataRow());
  for (int row = current + 1; row <= rows; ++row)
    if (agrees(row)) {
      found = true;
      return row;
    }
  for (int row = 1; row <= current && row <= rows; ++row)
    if (agrees(row)) {
      found = true;
      return row;
    }
  return current;
}

int TdgComboGrid::RowOfValue(const std::string &value) {
  for (int row = 1; row <= Rows(); ++row)
    if (Equal(ValueText(row), value))
      return row;
  return 0;
}

void TdgComboGrid::Position(int dataRow) {
  if (dataRow < 1 || dataRow > Rows() || dataRow == GetCurrentDataRow())
    return;
  BeginUpdate();
  struct End {
    TdgComboGrid &grid;
    ~End() { grid.EndUpdate(); }
  } end{*this};
  SetCurrentDataRow(dataRow);
  const int display = GetDisplayRowOf(dataRow);
  int top = -1;
  switch (FAutoSearch) {
  case asTop:
    top = display;
    break;
  case asBottom:
    top = display - FDropDownRows + 1;
    break;
  case asCenter:
    top = display - (FDropDownRows - 1) / 2;
    break;
  case asNone:
    break;
  }
  if (top >= 0)
    SetTopRow(std::clamp(top, 1, std::max(1, MaxTopRow())));
}

// ---------------------------------------------------------------------------
// Placement

QPoint KeepDropDownOnScreen(const QRect &available, int x, int y, int w, int h, int cellHeight,
                            int lineWidth) {
  const int right = available.x() + available.width();
  const int bottom = available.y() + available.height();
  if (x + w > right)
    x = std::max(available.x(), right - w);
  if (y + h > bottom)
    y = std::max(available.y(), y - cellHeight + lineWidth - h);
  return {x, y};
}

QPoint CenterOnScreen(const QRect &available, int w, int h) {
  return {available.x() + (available.width() - w) / 2,
          available.y() + (available.height() - h) / 2};
}

TdgCombo &GiveDropDownList(TdgCol &column, const std::vector<std::string> &choices) {
  column.SetButtonType(btCombo);
  TdgCombo &combo = column.EnsureCombo();
  TdgComboGrid &list = *combo.ComboGrid();
  list.SetStoreData(true);
  list.SetRows(static_cast<int>(choices.size()));
  for (std::size_t i = 0; i < choices.size(); ++i)
    list.SetCell(1, static_cast<int>(i) + 1, Variant(choices[i]));
  combo.SetDropDownStyle(ddDropDownList);
  return combo;
}

} // namespace marrowen
