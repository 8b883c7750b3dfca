#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace marrowen {

// The clipboard's text as bytes of the system code page. The windowed host
// supplies the real clipboard (and converts to and from UTF-16); headless
// runs and tests use a clipboard of their own inside the process.
class Clipboard {
public:
  virtual ~Clipboard() = default;
  // The text held, empty when there is none.
  virtual std::string getText() = 0;
  virtual void setText(std::string_view text) = 0;
};

// Makes `clipboard` the one used; an empty pointer gives a fresh in-process one.
void setClipboard(std::shared_ptr<Clipboard> clipboard);
std::shared_ptr<Clipboard> clipboard();

// The clipboard's text up to its first NUL byte.
void getClipboardText(std::string &text);
std::string getClipboardText();

} // namespace marrowen
