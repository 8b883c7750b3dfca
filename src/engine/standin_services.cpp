#include "engine/standin_services.h"

#include "classlib/codepage.h"
#include "classlib/exceptions.h"
#include "engine/messages.h"

namespace marrowen {

namespace {
std::string clipboardText;
}

void decodeEscapes(std::string_view text, std::string &result) {
  result.clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c != '\\') {
      result += c;
      continue;
    }
    if (++i >= text.size())
      throw Exception(translate(2850, "Trailing \\ needs to be followed by something"));
    switch (text[i]) {
    case 'a':
      result += '\a';
      break;
    case 'b':
      result += '\b';
      break;
    case 't':
      result += '\t';
      break;
    case 'n':
      result += '\n';
      break;
    case 'v':
      result += '\v';
      break;
    case 'f':
      result += '\f';
      break;
    case 'r':
      result += '\r';
      break;
    case 'e':
      result += '\x1b';
      break;
    case '\\':
      result += '\\';
      break;
    case 'x': {
      if (i + 2 >= text.size())
        throw Exception(translate(2870, "\\xHH Expecting 2 trailing hex digits"));
      result += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
      i += 2;
      break;
    }
    default:
      result += '\\';
      result += text[i];
    }
  }
}

std::string decodeEscapes(std::string_view text) {
  std::string r;
  decodeEscapes(text, r);
  return r;
}

void matchCase(std::string_view found, std::string_view replacement, std::string &result) {
  auto cp = systemCodePage();
  std::string upper = cp->upperCase(found), lower = cp->lowerCase(found);
  if (found == upper) {
    result = cp->upperCase(replacement);
    return;
  }
  if (found == lower) {
    result = cp->lowerCase(replacement);
    return;
  }
  result = replacement;
  if (result.empty() || !cp->isLetter(found[0]))
    return;
  unsigned char f = found[0];
  result[0] = f != cp->toUpper(f) ? cp->toLower(result[0]) : cp->toUpper(result[0]);
  std::string_view restFound = found.substr(1);
  if (restFound == cp->upperCase(restFound)) {
    for (std::size_t i = 1; i < result.size(); ++i)
      result[i] = cp->toUpper(result[i]);
  } else if (restFound == cp->lowerCase(restFound)) {
    for (std::size_t i = 1; i < result.size(); ++i)
      result[i] = cp->toLower(result[i]);
  }
}

void initCharTables() {}

std::string getClipboardText() {
  auto end = clipboardText.find('\0');
  return clipboardText.substr(0, end);
}

void setClipboardText(std::string_view text) { clipboardText = text; }

} // namespace marrowen
