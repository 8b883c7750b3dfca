// What the data grid takes from its window beyond painting and the mouse:
// the Edit menu's clipboard commands, heading accelerators as window
// shortcuts, and the automatic-scrolling timer.
#include "grid/data/colrow.h"
#include "grid/widget/dgbasegrid.h"

#include <QKeySequence>
#include <QShortcutEvent>

#include <cctype>

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

char upper(char ch) { return static_cast<char>(std::toupper(static_cast<unsigned char>(ch))); }

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
    if (ch <= ' ' || static_cast<unsigned char>(ch) >= 0x80)
      continue;
    bool known = false;
    for (const auto &entry : FHeadingShortcuts)
      known |= entry.second == ch;
    if (!known)
      FHeadingShortcuts.emplace_back(
          grabShortcut(QKeySequence(QKeyCombination(Qt::AltModifier, Qt::Key(ch))),
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
