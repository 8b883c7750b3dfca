#pragma once

class QWidget;

namespace marrowen {

// A small read-only window on the clipboard's text, kept up to date while
// open; there is one at a time. Gives the window.
QWidget *showClipboardViewer();

} // namespace marrowen
