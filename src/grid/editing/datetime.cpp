#include "grid/editing/datetime.h"

#include "classlib/scopeexit.h"
#include "grid/data/cells.h"
#include "grid/data/colrow.h"
#include "grid/data/gridutils.h"
#include "grid/data/keys.h"
#include "grid/data/qtbytes.h"
#include "grid/editing/combo.h"
#include "grid/editors/editorwrappers.h"
#include "grid/widget/dgbasegrid.h"

#include <QApplication>
#include <QDateTime>
#include <QKeyEvent>
#include <QLocale>
#include <QScreen>

#include <cmath>
#include <functional>

namespace marrowen {

namespace {

bool isDateTimeButton(TdgButtonType type) {
  return type == btDateTimeDropDown || type == btDateTimePopup;
}

void preorder(TdgSetNode *node, const std::function<void(TdgCellElement &)> &visit) {
  if (!node)
    return;
  visit(*static_cast<TdgCellElement *>(node->GetData()));
  preorder(node->Left, visit);
  preorder(node->Right, visit);
}

// A tool window over the grid's window that keeps the rest of that window
// from input while it shows, without a loop of its own.
class ToolPickerWindow : public QWidget {
public:
  ToolPickerWindow(QWidget *owner, std::function<void()> closed)
      : QWidget(owner, Qt::Tool | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint),
        closed_(std::move(closed)) {
    setWindowModality(Qt::WindowModal);
  }

protected:
  void closeEvent(QCloseEvent *e) override {
    QWidget::closeEvent(e);
    if (closed_)
      closed_();
  }

private:
  std::function<void()> closed_;
};

} // namespace

void TdgGridComponent::Notification(TComponent *component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == TOperation::opRemove)
    grid_.DateTimeDefRemoved(component);
}

void TdgGridDateTimeLink::ComponentDestroyed(TdgDateTimeDefComponent *component) {
  TdgDateTimeLink::ComponentDestroyed(component);
  grid_.DateTimeDefRemoved(component);
}

std::string FormatDateTimeChoice(double value, TdgDateTimeKind kind) {
  const double days = std::floor(value);
  const QDate date = QDate(1899, 12, 30).addDays(static_cast<qint64>(days));
  const int ms = static_cast<int>(std::llround((value - days) * 86400000.0)) % 86400000;
  const QTime time = QTime(0, 0).addMSecs(ms);
  const QLocale locale;
  QString text;
  switch (kind) {
  case TdgDateTimeKind::Date:
    text = locale.toString(date, QLocale::ShortFormat);
    break;
  case TdgDateTimeKind::Time:
    text = locale.toString(time, QLocale::ShortFormat);
    break;
  case TdgDateTimeKind::DateTime:
    text = locale.toString(date, QLocale::ShortFormat);
    if (ms != 0)
      text += ' ' + locale.toString(time, QLocale::ShortFormat);
    break;
  }
  return qStringToBytes(text);
}

// ---------------------------------------------------------------------------
// Definitions

void TdgBaseGrid::SetDateTimeDef(TdgDateTimeDefComponent *def) {
  if (def == FDateTimeDef)
    return;
  if (!FDateTimeLink)
    FDateTimeLink = std::make_unique<TdgGridDateTimeLink>(*this);
  dropDateTimePopupOf(FDateTimeDef);
  if (FDateTimeDef)
    FDateTimeDef->UnregisterLink(FDateTimeLink.get(), false);
  FDateTimeDef = def;
  if (def)
    def->RegisterLink(FDateTimeLink.get());
}

TdgDateTimeDefComponent *TdgBaseGrid::cellDateTimeDef(int dataCol, int dataRow) {
  const TdgCellElement *element = CellElement(dataCol, dataRow, false);
  return element ? element->DateTimeDef() : nullptr;
}

void TdgBaseGrid::setCellDateTimeDef(int dataCol, int dataRow, TdgDateTimeDefComponent *def) {
  if (!CheckIndex(TdgIndexKind::Column, dataCol, 1, Cols()) ||
      !CheckIndex(TdgIndexKind::Row, dataRow, 1, RowCount() - 1))
    return;
  TdgCellElement *element = CellElement(dataCol, dataRow, false);
  if (!element && !def)
    return;
  if (!element)
    element = static_cast<TdgCellElement *>(
        FCellProps.AddElement(FCellProps.MakeElement(CellKeys{dataCol, dataRow})));
  // The grid stays told when the old definition goes: other cells, rows or
  // columns may still hold it.
  if (TdgDateTimeDefComponent *old = element->DateTimeDef(); old && old != def)
    dropDateTimePopupOf(old);
  element->SetDateTimeDef(def);
  if (def)
    FComponent.FreeNotification(def);
  DropCellCache();
}

void TdgBaseGrid::dropDateTimePopupOf(TdgDateTimeDefComponent *def) {
  if (def && def == FPickerDef && FDateTimeCol != -1)
    CloseDateTimeDropDown(false);
}

void TdgBaseGrid::DateTimeDefRemoved(const TComponent *component) {
  if (!component)
    return;
  const auto same = [component](const TdgDateTimeDefComponent *def) {
    return def && static_cast<const TComponent *>(def) == component;
  };
  if (same(FPickerDef)) {
    FDateTimeCol = FDateTimeRow = -1;
    FDateTimeModal = false;
    FPickerDef = nullptr;
    if (FDateTimeWindow)
      FDateTimeWindow->hide();
    if (FDropDownForm && FPicker && FPicker->parentWidget() == FDropDownForm)
      FDropDownForm->hide();
  }
  // The definition is going: nothing is asked of it any more.
  if (same(FDateTimeDef))
    FDateTimeDef = nullptr;
  for (int c = 0; c < FColStore->Count(); ++c)
    if (TdgCol *col = FColStore->Item(c); col && same(col->DateTimeDef()))
      col->SetDateTimeDef(nullptr);
  for (int r = 0; r < FRowStore->Count(); ++r)
    if (TdgRow *row = FRowStore->Item(r); row && same(row->DateTimeDef()))
      row->SetDateTimeDef(nullptr);
  preorder(FCellProps.Root(), [&](TdgCellElement &element) {
    if (same(element.DateTimeDef()))
      element.SetDateTimeDef(nullptr);
  });
  InvalidateGrid();
}

TdgDateTimeDefComponent *TdgBaseGrid::DateTimeDefOfCell(int dataCol, int dataRow) {
  if (dataCol < 1 || dataCol > Cols() || dataRow < 1 || dataRow > Rows())
    return nullptr;
  const CellLevel level = ButtonLevel(dataCol, dataRow, isDateTimeButton);
  TdgDateTimeDefComponent *def = level ? level.DateTimeDef() : nullptr;
  return def ? def : FDateTimeDef;
}

double TdgBaseGrid::EditorDateValue() {
  Variant value = CurrentCell().GetValue();
  if (TdgGridEditBox *editor = ShownTextEditor(*this))
    value = Variant(editor->Text());
  return VarToDateTime(value);
}

// ---------------------------------------------------------------------------
// The picker

TdgDateTimePicker *TdgBaseGrid::Picker() const { return FPicker.data(); }

QWidget *TdgBaseGrid::DateTimeWindow() const { return FDateTimeWindow.data(); }

bool TdgBaseGrid::DateTimeOpen() const { return FDateTimeCol != -1; }

void TdgBaseGrid::DateTimeDropDown(int dataCol, int dataRow) {
  TdgDropDownForm *form = DropDownForm();
  TdgDateTimeDefComponent *def = DateTimeDefOfCell(dataCol, dataRow);
  // The picker for the cell: kept while its class serves the next cell.
  if (!def) {
    delete FPicker.data();
    FPickerClass.clear();
    return;
  }
  if (FPicker && FPickerClass != def->PickerClass()) {
    delete FPicker.data();
    FPickerDef = nullptr;
  }
  if (!FPicker) {
    FPicker = def->CreatePicker(form);
    FPickerClass = std::string(def->PickerClass());
    if (!FPicker)
      return;
    FPicker->OnClose = [this](bool accepted) { PickerClosed(accepted); };
  }
  TdgDateTimePicker &picker = *FPicker;
  picker.ClearText();
  const bool popup = EffectiveButtonType(dataCol, dataRow) == btDateTimePopup;
  if (def != FPickerDef) {
    FPickerDef = def;
    picker.Reset();
  }
  picker.SetPopup(popup);
  DoDateTimeInit(def, dataCol, dataRow);
  if (FDateTimeCol == -1) {
    DoDateTimeDropDown(def, dataCol, dataRow);
    FDateTimeCol = dataCol;
    FDateTimeRow = dataRow;
  }
  if (picker.HasValueControl()) {
    double date = 0;
    try {
      date = EditorDateValue();
    } catch (const EConvertError &) {
      // A text that is no date opens the picker where an empty cell does.
      date = VarToDateTime(Variant());
    }
    picker.SetDateTime(date);
  }
  const QSize panel = picker.PanelSize();
  const int w = panel.width(), h = panel.height();
  const int displayCol = DisplayColOf(dataCol), displayRow = GetDisplayRowOf(dataRow);
  if (!popup) {
    if (FCombo && FCombo->ComboGrid())
      FCombo->ComboGrid()->hide();
    picker.setParent(form);
    picker.setGeometry(0, 0, w, h);
    const TRect cell = GetPaintCellRect(displayCol, displayRow);
    QPoint p = viewport()->mapToGlobal(QPoint(cell.Left, cell.Bottom));
    if (const int colWidth = ColWidths(displayCol); colWidth > w)
      p.rx() += colWidth - w;
    p = KeepDropDownOnScreen(ScreenAreaAt(viewport()->mapToGlobal(QPoint(cell.Left, cell.Top))),
                             p.x(), p.y(), w, h, RowHeights(displayRow), VertLineWidth());
    form->setGeometry(p.x(), p.y(), w, h);
    picker.show();
    form->show();
    picker.setFocus();
    return;
  }
  if (!FDateTimeWindow) {
    FDateTimeWindow = new ToolPickerWindow(this, [this] {
      if (FDateTimeModal)
        PickerClosed(false);
    });
    FDateTimeWindow->setFont(toQFont(FFont));
  }
  QWidget &window = *FDateTimeWindow;
  window.setWindowTitle(bytesToQString(picker.Caption()));
  picker.setParent(&window);
  picker.setGeometry(0, 0, w, h);
  picker.show();
  const QPoint at = CenterOnScreen(ScreenAreaAt(mapToGlobal(rect().center())), w, h);
  window.setGeometry(at.x(), at.y(), w, h);
  FDateTimeModal = true;
  window.show();
  picker.setFocus();
}

bool TdgBaseGrid::ToggleDateTimeDropDown(int dataCol, int dataRow) {
  if (FDateTimeCol == dataCol && FDateTimeRow == dataRow) {
    CloseDateTimeDropDown();
    return true;
  }
  // The cell's edit ends before a picker may change the cell.
  if (!EndEdit())
    return false;
  if (ComboOpen())
    CloseComboDropDown(false);
  if (FDateTimeCol != -1)
    CloseDateTimeDropDown(false);
  DateTimeDropDown(dataCol, dataRow);
  return false;
}

void TdgBaseGrid::CloseDateTimeDropDown(bool refocus) {
  const int col = FDateTimeCol, row = FDateTimeRow;
  if (col == -1)
    return;
  FDateTimeCol = FDateTimeRow = -1;
  FDateTimeModal = false;
  DoDateTimeRollUp(FPickerDef, col, row);
  if (FDateTimeWindow && FDateTimeWindow->isVisible())
    FDateTimeWindow->hide();
  if (FDropDownForm && FDropDownForm->isVisible() && FPicker &&
      FPicker->parentWidget() == FDropDownForm)
    FDropDownForm->hide();
  if (FPicker)
    FPicker->hide();
  EndPressHeldByDropDown();
  if (refocus && window()->isActiveWindow())
    setFocus();
}

void TdgBaseGrid::PickerClosed(bool accepted) {
  if (FDateTimeCol == -1)
    return;
  if (accepted)
    TakeDateTimeChoice();
  else
    CloseDateTimeDropDown();
}

void TdgBaseGrid::TakeDateTimeChoice() {
  TdgDateTimeDefComponent *def = FPickerDef;
  const int col = FDateTimeCol, row = FDateTimeRow;
  const double chosen = FPicker ? FPicker->DateTime() : 0.0;
  CloseDateTimeDropDown();
  Variant value(chosen);
  DoDateTimeGetValue(def, col, row, value);
  if (value.isEmpty() || !def)
    return;
  const Variant text(FormatDateTimeChoice(VarToDateTime(value), def->Kind()));
  if (!CheckCellValue(CellControlType(col, row), text))
    return;
  if (VarSameValue(text, CurrentCell().GetValue()))
    return;
  EditorValueChanged(text);
  if (TdgGridEditBox *editor = ShownTextEditor(*this))
    editor->SetText(text.toString());
  InvalidateCell(DisplayColOf(col), GetDisplayRowOf(row));
}

bool TdgBaseGrid::PickerKeyLetGo(std::uint16_t &key, TShiftState shift, int qtKey) {
  FPickerHadKey = qtKey;
  ScopeExit done{[this] { FPickerHadKey = 0; }};
  return DropDownKeyDown(key, shift);
}

// Keys while the picker is open go to it, as its table says.
bool TdgBaseGrid::DateTimeKeyDown(std::uint16_t &key, TShiftState shift) {
  TdgDateTimePicker *picker = FPicker;
  const int hadKey = FPickerHadKey;
  const auto send = [picker, hadKey](Qt::Key qtKey) {
    // A key the picker does not take comes back here through its window:
    // it goes no further. One it had already is not given twice.
    static bool sending = false;
    if (!picker || !picker->isVisible() || sending || qtKey == hadKey)
      return;
    sending = true;
    ScopeExit sent{[] { sending = false; }};
    QWidget *target = picker->focusWidget() ? picker->focusWidget() : picker;
    QKeyEvent press(QEvent::KeyPress, qtKey, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
  };
  const bool none = shift == TShiftState();
  const bool alt = shift == TShiftState(ssAlt);
  if (none) {
    switch (key) {
    case VK_PRIOR:
    case VK_NEXT:
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN:
    case VK_RETURN:
    case VK_ESCAPE: {
      static const std::pair<std::uint16_t, Qt::Key> keys[] = {
          {VK_PRIOR, Qt::Key_PageUp},  {VK_NEXT, Qt::Key_PageDown}, {VK_LEFT, Qt::Key_Left},
          {VK_UP, Qt::Key_Up},         {VK_RIGHT, Qt::Key_Right},   {VK_DOWN, Qt::Key_Down},
          {VK_RETURN, Qt::Key_Return}, {VK_ESCAPE, Qt::Key_Escape}};
      for (const auto &[vk, qtKey] : keys)
        if (vk == key)
          send(qtKey);
      key = 0;
      return true;
    }
    case VK_F4:
      send(Qt::Key_Escape);
      key = 0;
      return true;
    case VK_TAB:
      send(Qt::Key_Escape);
      return false;
    default:
      key = 0;
      return true;
    }
  }
  if (alt) {
    if (key == VK_UP || key == VK_DOWN) {
      send(Qt::Key_Escape);
      key = 0;
      return true;
    }
    return false;
  }
  if (shift == TShiftState(ssShift) && key == VK_TAB) {
    send(Qt::Key_Escape);
    return false;
  }
  key = 0;
  return true;
}

} // namespace marrowen
