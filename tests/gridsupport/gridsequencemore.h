#pragma once

// The random grid sequences' rarer steps (navigation and clipboard keys,
// right clicks, drags, settings) and their check of the selections and of
// the grid and mouse status.

#include "grid/widget/gridevents.h"
#include "gridsupport/gridsequence.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

class QWidget;

namespace marrowen {
class TdgBaseGrid;
class TdgGrid;
} // namespace marrowen

namespace marrowen::gridsequence::more {

// A raw argument fitted to low..high; low when the range is empty.
int pick(std::uint32_t v, int low, int high);
std::string key(QWidget &target, const Step &s);
std::string rightClick(TdgGrid &g, QWidget &window, const Step &s);
// A press, a move with the button held and a release: over the row bar or
// the headings, from a border, or from a cell's left edge.
std::string drag(TdgGrid &g, QWidget &window, const Step &s);
// Settings that change where moves may go and what may be selected.
std::string setting(TdgGrid &g, const Step &s);
// A fault in the selections' bounds and counts, in the grid status against
// what is selected, or in the mouse status against the one reported last.
std::string selectionFault(TdgGrid &g, TdgMouseStatus reported);
// A top-left change that repeats a cell, starts elsewhere than the one
// reported last (none yet: a negative column) or ends elsewhere than the
// grid's; a status change that repeats or starts elsewhere than the last.
std::string topLeftFault(const TdgBaseGrid &g, std::pair<int, int> reported,
                         std::pair<int, int> from, std::pair<int, int> to);
std::string statusFault(const char *event, int from, int to, int reported);

// A turn of the wheel or a click on a scroll bar's arrow or track, as a user
// scrolls the view away from (or back to) the current cell.
std::string scroll(TdgGrid &g, std::uint32_t v);
// What the text editor shown over the current cell holds.
struct EditorText {
  std::string text;
  int selStart = 0, selLength = 0;
  bool operator==(const EditorText &) const = default;
};
std::optional<EditorText> shownEditorText(TdgGrid &g);
// A press on a shown line, a move past an edge of the cells (beyond the
// window, or into the window's empty part past the last line) and the
// release, with no scrolling in between: what was selected or moved must
// lie between the pressed line and the line shown at that edge.
std::string edgeDrag(TdgGrid &g, const Step &s, std::string &fault);
// The top-left cell moved without a report since `reported`, stands on a
// hidden line, or a shown scroll bar has nothing to scroll.
std::string viewFault(TdgGrid &g, std::pair<int, int> reported);

} // namespace marrowen::gridsequence::more
