#pragma once

namespace marrowen {

// Plugs every window of the program into the main window's hooks: the
// filter-list windows with their menus and commands, exports, the wizard,
// the pattern menu, the node dialogs, the task menu, the update check, the
// shell extensions and the command-line helper. The program and the tests
// that drive the whole program call it alike.
void installProgramParts();

} // namespace marrowen
