// What the data grid takes from its window beyond painting and the mouse:
// the control properties every control has, the Edit menu's clipboard
// commands, heading accelerators as window shortcuts, and the
// automatic-scrolling timer.
#include "classlib/codepage.h"
#include "grid/data/colrow.h"
#include "grid/widget/dgbasegrid.h"

#include <QContextMenuEvent>
#include <QKeySequence>
#include <QMenu>
#include <QShortcutEvent>

namespace marrowen {

void TdgBaseGrid::ConnectMessageTimers() {
  FShortcutRebuild.setSingleShot(true);
  QObject::connect(&FShortcutRebuild, &QTimer::timeout, this,
                   [this] { RebuildHeadingShortcuts(); });
  FAutoScrollTimer.setInterval(50);
  QObject::connect(&FAutoScrollTimer, &QTimer::timeout, this, [this] {
    try {
      if (MouseStatus() == msNothing)
        HoverTimerStep();
      else
        AutoScrollStep();
    } catch (...) {
      reportGridException(std::current_exception());
    }
  });
}

// ------------------------------------------------------ control properties

bool TdgBaseGrid::Enabled() const { return !testAttribute(Qt::WA_ForceDisabled); }

void TdgBaseGrid::SetEnabled(bool value) { setEnabled(value); }

bool TdgBaseGrid::TabStop() const { return focusPolicy() & Qt::TabFocus; }

void TdgBaseGrid::SetTabStop(bool value) {
  const int policy = focusPolicy();
  setFocusPolicy(
      static_cast<Qt::FocusPolicy>(value ? policy | Qt::TabFocus : policy & ~Qt::TabFocus));
}

bool TdgBaseGrid::Visible() const {
  return !(testAttribute(Qt::WA_WState_ExplicitShowHide) && testAttribute(Qt::WA_WState_Hidden));
}

void TdgBaseGrid::SetVisible(bool value) { setVisible(value); }

int TdgBaseGrid::MaxWidthConstraint() const {
  return maximumWidth() == QWIDGETSIZE_MAX ? 0 : maximumWidth();
}

void TdgBaseGrid::SetMaxWidthConstraint(int value) {
  setMaximumWidth(value > 0 ? value : QWIDGETSIZE_MAX);
}

int TdgBaseGrid::MaxHeightConstraint() const {
  return maximumHeight() == QWIDGETSIZE_MAX ? 0 : maximumHeight();
}

void TdgBaseGrid::SetMaxHeightConstraint(int value) {
  setMaximumHeight(value > 0 ? value : QWIDGETSIZE_MAX);
}

void TdgBaseGrid::SetShowHint(bool value) {
  if (value == FShowHint)
    return;
  FShowHint = value;
  FParentShowHint = false;
}

QMenu *TdgBaseGrid::PopupMenu() const { return FPopupMenu; }

void TdgBaseGrid::SetPopupMenu(QMenu *menu) { FPopupMenu = menu; }

void TdgBaseGrid::contextMenuEvent(QContextMenuEvent *e) {
  if (!FPopupMenu) {
    e->ignore();
    return;
  }
  FPopupMenu->popup(e->globalPos());
  e->accept();
}

void TdgBaseGrid::cut() { FCurrentCell.CheckedCutToClipboard(); }
void TdgBaseGrid::copy() { FCurrentCell.CopyToClipboard(); }
void TdgBaseGrid::paste() { FCurrentCell.CheckedPasteFromClipboard(); }

// ------------------------------------------------------- heading accelerators

namespace {

// The character a column's heading underlines, 0 for none.
char acceleratorOf(const TdgCol &col) {
  const int pos = col.IsHeadingStored() ? col.AcceleratorPosition() : 0;
  const std::string heading = col.Heading();
  return pos >= 1 && pos <= static_cast<int>(heading.size()) ? heading[pos - 1] : '\0';
}

// Accelerators match without case as the program's code page has it: Alt+Ä
// for "&Älter".
char upper(char ch) {
  return static_cast<char>(systemCodePage()->toUpper(static_cast<unsigned char>(ch)));
}

} // namespace

bool TdgBaseGrid::HeadingAccelerator(char ch) {
  if (!isEnabled() || !isVisible() || focusPolicy() == Qt::NoFocus)
    return false;
  for (int display = 1; display < ColCount(); ++display) {
    const int dataCol = DataColAt(display);
    const TdgCol *col = ColObject(dataCol);
    if (col && acceleratorOf(*col) != '\0' && upper(acceleratorOf(*col)) == upper(ch)) {
      HeadingAcceleratorFor(dataCol);
      return true;
    }
  }
  return false;
}

void TdgBaseGrid::HeadingsChanged() {
  if (FDestroying)
    return;
  FShortcutRebuild.start(0);
}

void TdgBaseGrid::RebuildHeadingShortcuts() {
  for (const auto &[id, ch] : FHeadingShortcuts)
    releaseShortcut(id);
  FHeadingShortcuts.clear();
  for (int dataCol = 1; dataCol <= Cols(); ++dataCol) {
    const TdgCol *col = ColObject(dataCol);
    const char ch = col ? upper(acceleratorOf(*col)) : '\0';
    if (static_cast<unsigned char>(ch) <= ' ')
      continue;
    // A letter's key is its capital's character.
    const int key = systemCodePage()->toUnicode(static_cast<unsigned char>(ch));
    bool known = false;
    for (const auto &entry : FHeadingShortcuts)
      known |= entry.second == ch;
    if (!known)
      FHeadingShortcuts.emplace_back(
          grabShortcut(QKeySequence(QKeyCombination(Qt::AltModifier, Qt::Key(key))),
                       Qt::WindowShortcut),
          ch);
  }
}

bool TdgBaseGrid::HandleShortcutEvent(QEvent *e) {
  if (e->type() == QEvent::Shortcut) {
    const int id = static_cast<QShortcutEvent *>(e)->shortcutId();
    for (const auto &[known, ch] : FHeadingShortcuts)
      if (known == id) {
        try {
          HeadingAccelerator(ch);
        } catch (...) {
          reportGridException(std::current_exception());
        }
        return true;
      }
  }
  return false;
}

// ------------------------------------------------------ automatic scrolling

void TdgBaseGrid::StartAutoScrollTimer() {
  if (!HandleAllocated())
    return;
  FAutoScrollTimer.stop();
  FWaitStart = 0;
  FAutoScrollTimer.start(50);
}

bool TdgBaseGrid::StopAutoScrollTimer() {
  const bool running = FAutoScrollTimer.isActive();
  FAutoScrollTimer.stop();
  FWaitStart = 0;
  return running;
}

} // namespace marrowen
