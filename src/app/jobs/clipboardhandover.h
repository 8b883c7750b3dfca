#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>
#include <string>

namespace marrowen {

// On X11 the clipboard's text lives in the program that put it there: when
// that program ends, only a copy another program took outlives it. A
// clipboard manager takes one when the program asks at exit (the application
// object asks, as it goes) or copies each new text while its owner still
// runs. These calls see to it that a job's clipboard output is not lost at
// quit unsaid. Elsewhere (Wayland, no display) they do nothing.

// Waits, at most `limit`, for another program to copy `text` off the
// clipboard, letting events run meanwhile; returns at once where a clipboard
// manager is ready to take it at exit. Whether either is so. With the
// application object alive.
bool awaitClipboardCopy(const QString &text, std::chrono::milliseconds limit);

// After the application object is gone: whether a program on `display` now
// serves `text` as the clipboard, waiting at most `limit` for one to take it
// over. True where that cannot be asked (no X11 support built in).
bool clipboardOutlivesProgram(const QByteArray &display, const QString &text,
                              std::chrono::milliseconds limit);

// What a run says when the clipboard output did not outlive it.
std::string clipboardLostMessage();

} // namespace marrowen
