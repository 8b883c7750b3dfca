#pragma once

#include <QIcon>

namespace marrowen {

// The desktop theme's icon `themeName` (a freedesktop icon name), or the
// picture the program ships as `fallback` when the theme has none. An empty
// theme name always gives the shipped picture.
QIcon themedIcon(const char *themeName, const char *fallback);
// The program's own icon, for its windows and the tray.
QIcon programIcon();

} // namespace marrowen
