#pragma once

#include <QString>

#include <functional>
#include <string>

class QAction;
class QMenu;

namespace marrowen {

// Lists the files of a folder whose names end in `extension` (letter case
// ignored) as menu items after `divider`, in place of the items listed
// before (those tagged 1003). An item's caption is the file's
// name up to the first occurrence of `extension` (letter case ignored); the
// item keeps the file's full name, in its data, for the handler
// (menuItemFile). Nothing
// happens without the menu or the divider, when the divider is not among the
// menu's items, or when the menu is empty.
void refreshMenu(QMenu *menu, QAction *divider, const QString &hint, int helpContext,
                 const std::function<void(QAction *)> &handler, const std::string &folder,
                 const std::string &extension);

// The file of an item `refreshMenu` made, and its caption, as the file
// system spells them.
std::string menuItemFile(const QAction *item);
std::string menuItemCaption(const QAction *item);

// The folder the task menu lists, found as any file the program reads.
std::string taskMenuFolder();

// Rebuilds the task items of the main window's task menu.
void refreshTaskBarList();
// Loads a task item's filter file into a list without a window and runs it
// as a job at once.
void TaskMenuClick(QAction *item);

// Plugs the task menu into the main window's start-up.
void installTaskMenu();

} // namespace marrowen
