#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>
#include <memory>
#include <string>

struct xcb_connection_t;

namespace marrowen {

// On X11 the clipboard's text lives in the program that put it there: when
// that program ends, only a copy another program took outlives it. A
// clipboard manager takes one when the program asks at exit (the application
// object asks, as it goes) or copies each new text while its owner still
// runs. These calls see to it that a job's clipboard output is not lost at
// quit unsaid. Elsewhere (Wayland, no display) they do nothing.

// Sees, for as long as it lives, whether another program took a copy of the
// text this program last put on the clipboard. Made and ended with the
// application object alive.
class ClipboardCopyWatch {
public:
  ClipboardCopyWatch();
  ClipboardCopyWatch(const ClipboardCopyWatch &) = delete;
  ClipboardCopyWatch &operator=(const ClipboardCopyWatch &) = delete;
  ~ClipboardCopyWatch();

  // Whether a copy of `text` was taken, or a clipboard manager is ready to
  // take it at exit; while neither is so, waits at most `limit` for a copy,
  // letting events run meanwhile.
  bool awaitCopy(const QString &text, std::chrono::milliseconds limit);

private:
  struct Filter;
  std::unique_ptr<Filter> filter_;
  xcb_connection_t *connection_ = nullptr;
};

// After the application object is gone: whether a program on `display` now
// serves `text` as the clipboard, waiting at most `limit` for one to take it
// over. True where that cannot be asked (no X11 support built in).
bool clipboardOutlivesProgram(const QByteArray &display, const QString &text,
                              std::chrono::milliseconds limit);

// What a run says when the clipboard output did not outlive it.
std::string clipboardLostMessage();

} // namespace marrowen
