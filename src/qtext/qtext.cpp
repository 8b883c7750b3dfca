#include "qtext/qtext.h"

#include "classlib/codepage.h"
#include "classlib/utf8.h"

#include <QByteArray>
#include <QFile>

namespace marrowen {

QString toQString(std::string_view bytes) {
  std::u16string text = utf8::toUtf16(bytes, *systemCodePage());
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

std::string fromQString(const QString &text) {
  std::int64_t lost = 0;
  return lineFromQString(text, LineEncoding::Utf8, lost);
}

std::string bytesForShownText(const QString &text, std::string_view shownFrom) {
  if (text == toQString(shownFrom))
    return std::string(shownFrom);
  return fromQString(text);
}

std::string clipboardBytes(const QString &text) {
  std::int64_t lost = 0;
  return lineFromQString(text, LineEncoding::Utf8, lost);
}

LineEncoding lineEncodingOf(std::string_view text) {
  return utf8::isValid(text) ? LineEncoding::Utf8 : LineEncoding::CodePage;
}

QString lineToQString(std::string_view text, LineEncoding encoding) {
  if (encoding == LineEncoding::Utf8)
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  std::u16string units = systemCodePage()->toUtf16(text);
  return QString::fromUtf16(units.data(), static_cast<qsizetype>(units.size()));
}

std::string lineFromQString(const QString &text, LineEncoding encoding, std::int64_t &lost) {
  const CodePage &page = *systemCodePage();
  const auto *units = reinterpret_cast<const char16_t *>(text.utf16());
  const auto size = static_cast<std::size_t>(text.size());
  std::string out;
  out.reserve(size);
  for (std::size_t i = 0; i < size;) {
    char32_t cp = units[i++];
    bool pair = false;
    if (cp >= 0xD800 && cp <= 0xDBFF && i < size && units[i] >= 0xDC00 && units[i] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (units[i++] - 0xDC00);
      pair = true;
    }
    unsigned char byte;
    if (encoding == LineEncoding::Utf8 && (cp < 0xD800 || cp > 0xDFFF)) {
      utf8::append(out, cp);
    } else if (encoding == LineEncoding::CodePage && !pair &&
               page.fromUnicode(static_cast<char16_t>(cp), byte)) {
      out += static_cast<char>(byte);
    } else {
      out += '?';
      ++lost;
    }
  }
  return out;
}

namespace {

// A byte that is no part of a valid UTF-8 sequence travels as the lone low
// surrogate U+DC80 + (byte - 0x80), which no real text holds, and comes
// back as the same byte.
constexpr char16_t escapeBase = 0xDC00;

// The length of the valid UTF-8 sequence at `i`, or 0.
std::size_t utf8SequenceAt(std::string_view s, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80)
    return 1;
  std::size_t length = 0;
  unsigned min = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    min = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    min = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    min = 0x10000;
  } else {
    return 0;
  }
  if (i + length > s.size())
    return 0;
  unsigned code = lead & (0x3F >> (length - 1));
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80)
      return 0;
    code = (code << 6) | (byte(i + k) & 0x3F);
  }
  if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
    return 0;
  return length;
}

} // namespace

QString fileNameToQString(std::string_view fileName) {
  const QByteArray bytes(fileName.data(), static_cast<qsizetype>(fileName.size()));
  QString text = QFile::decodeName(bytes);
  if (QFile::encodeName(text) == bytes)
    return text;
  text.clear();
  for (std::size_t i = 0; i < fileName.size();) {
    const std::size_t length = utf8SequenceAt(fileName, i);
    if (length == 0) {
      text += QChar(escapeBase + static_cast<unsigned char>(fileName[i]));
      ++i;
    } else {
      text += QString::fromUtf8(fileName.data() + i, static_cast<qsizetype>(length));
      i += length;
    }
  }
  return text;
}

std::string fileNameFromQString(const QString &fileName) {
  std::string result;
  const auto isEscape = [&](qsizetype i) {
    const char16_t c = fileName[i].unicode();
    return c >= escapeBase + 0x80 && c <= escapeBase + 0xFF &&
           (i == 0 || !fileName[i - 1].isHighSurrogate());
  };
  qsizetype runStart = 0;
  const auto flushRun = [&](qsizetype end) {
    const QByteArray bytes = QFile::encodeName(fileName.mid(runStart, end - runStart));
    result.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  };
  for (qsizetype i = 0; i < fileName.size(); ++i) {
    if (!isEscape(i))
      continue;
    flushRun(i);
    result += static_cast<char>(fileName[i].unicode() - escapeBase);
    runStart = i + 1;
  }
  flushRun(fileName.size());
  return result;
}

std::string fileNameToText(std::string_view fileName) {
  return fromQString(fileNameToQString(fileName));
}

} // namespace marrowen
