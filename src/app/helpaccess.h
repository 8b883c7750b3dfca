#pragma once

namespace marrowen {

// The help pages live in the program folder's "help/" and open in the
// browser: "index.html" the contents, "keywords.html" the index, "<n>.html"
// the topic of context n (the contents when there is no such page). Each
// gives 1 when a page was opened, 0 when not; without the folder an error box
// says so.
int showHelpContents();
int showHelpIndex();
// A negative context raises ERangeError.
int showHelpContext(int context);

} // namespace marrowen
