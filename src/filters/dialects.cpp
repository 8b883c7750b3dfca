#include "filters/dialects.h"

#include "filters/regex.h"

namespace marrowen {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isWordTokenByte(char c) {
  return c == TRegex::WordToken::anyRun || c == TRegex::WordToken::repeat ||
         c == TRegex::WordToken::wordStart || c == TRegex::WordToken::wordEnd;
}

void appendToken(std::string &out, char token) {
  out += '\\';
  out += token;
}

} // namespace

std::string convertBriefPattern(std::string_view pattern) {
  std::string out;
  out.reserve(pattern.size() + 8);
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    char c = pattern[i];
    switch (c) {
    case '?':
      out += '.';
      break;
    case '@':
      out += ".*";
      break;
    case '+':
      out += ".+";
      break;
    case '{':
      out += '(';
      break;
    case '}':
      out += ')';
      break;
    case '%':
    case '<':
      out += i == 0 ? '^' : c;
      break;
    case '>':
      out += i == 0 ? '$' : c;
      break;
    case '\\':
      out += c;
      if (i + 1 < pattern.size())
        out += pattern[++i];
      break;
    default:
      out += c;
      break;
    }
  }
  return out;
}

std::string convertBriefReplacement(std::string_view replacement) {
  std::string out;
  out.reserve(replacement.size());
  const std::size_t size = replacement.size();
  for (std::size_t i = 0; i < size; ++i) {
    char c = replacement[i];
    if (c != '\\') {
      out += c;
      continue;
    }
    if (i + 1 == size)
      break; // a lone backslash at the end stands for nothing
    char r = replacement[i + 1];
    bool digitFollows = i + 2 < size && isDigit(replacement[i + 2]);
    out += isDigit(r) && !digitFollows ? '$' : '\\';
    out += r;
    ++i;
  }
  return out;
}

std::string convertWordPattern(std::string_view pattern) {
  std::string out;
  out.reserve(pattern.size() + 8);
  const std::size_t size = pattern.size();
  // A backslash and the byte after it, as typed; a byte that the tokens use
  // is written as a hex escape so that it stays a plain byte.
  auto copyEscape = [&](std::size_t &i) {
    out += '\\';
    if (i + 1 >= size)
      return;
    char b = pattern[++i];
    if (isWordTokenByte(b)) {
      static const char hex[] = "0123456789ABCDEF";
      out += 'x';
      out += hex[(static_cast<unsigned char>(b) >> 4) & 15];
      out += hex[static_cast<unsigned char>(b) & 15];
    } else {
      out += b;
    }
  };
  for (std::size_t i = 0; i < size; ++i) {
    char c = pattern[i];
    switch (c) {
    case '?':
      out += '.';
      break;
    case '*':
      appendToken(out, TRegex::WordToken::anyRun);
      break;
    case '@':
      appendToken(out, TRegex::WordToken::repeat);
      break;
    case '<':
      appendToken(out, TRegex::WordToken::wordStart);
      break;
    case '>':
      appendToken(out, TRegex::WordToken::wordEnd);
      break;
    case '\\':
      copyEscape(i);
      break;
    case '[': {
      // The set up to its "]" is copied as typed: its first byte is always
      // a member (so "[]" and "[!]" hold a bracket), "!" first negates.
      out += '[';
      if (i + 1 < size && pattern[i + 1] == '!') {
        out += '^';
        ++i;
      }
      if (i + 1 < size) {
        ++i;
        if (pattern[i] == '\\')
          copyEscape(i);
        else
          out += pattern[i];
      }
      while (i + 1 < size && pattern[i + 1] != ']') {
        ++i;
        if (pattern[i] == '\\')
          copyEscape(i);
        else
          out += pattern[i];
      }
      break; // the "]" is copied as an ordinary byte
    }
    default:
      out += c;
      break;
    }
  }
  return out;
}

} // namespace marrowen
