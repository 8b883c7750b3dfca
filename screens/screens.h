#pragma once

#include <QImage>
#include <QString>

#include <functional>
#include <vector>

class QWidget;

namespace marrowen {

// One picture of a window or control in one state, for a person to look at
// (tools/screenshots) and for a test to check that something was drawn.
struct Screen {
  QString name; // the PNG file's name without extension
  std::function<QImage()> render;
};

// The kit's controls in each of their states and its folder dialogs.
std::vector<Screen> componentScreens();
// The tray icon's menu and the kit's cursors.
std::vector<Screen> trayScreens();

// The program's windows: the main window, the job status window in its
// states, and the small windows of the main window.
std::vector<Screen> appScreens();

// The node dialogs (each kind where it changes by kind), the Unicode map
// editor and the pattern menu.
std::vector<Screen> dialogScreens();
// The dialogs of the search, end-of-line, file, utility, comment and script
// nodes (each kind where it changes by kind) and the query-replace dialog.
std::vector<Screen> nodeDialogScreens();

// The filter-list window, page by page, over a nested list.
std::vector<Screen> childFormScreens();

// Every screen of the program.
std::vector<Screen> allScreens();

// Draws `widget` as it would appear on screen, at its current size, after
// pending layout and paint events have run.
QImage renderWidget(QWidget &widget);

} // namespace marrowen
