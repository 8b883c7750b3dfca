#include "qtext/qtext.h"

#include "classlib/codepage.h"
#include "classlib/graphemes.h"
#include "classlib/utf8.h"

#include <QByteArray>
#include <QUrl>

namespace marrowen {

namespace {

// A byte that no UTF-8 holds shows as the lone low surrogate U+DC00 plus the
// byte (U+DC80 to U+DCFF): no letter, and never the start of a pair, so it
// reads back as that byte alone (as Python's surrogateescape does).
constexpr char32_t escapedByteBase = 0xDC00;
constexpr char32_t escapedByteFirst = 0xDC80;
constexpr char32_t escapedByteLast = 0xDCFF;

} // namespace

QString toQString(std::string_view bytes) {
  std::u16string text = utf8::toUtf16(bytes, *systemCodePage());
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

std::string fromQString(const QString &text) {
  std::int64_t lost = 0;
  return lineFromQString(text, LineEncoding::Utf8, lost);
}

QString leftWholeLetters(const QString &text, qsizetype units) {
  if (units <= 0)
    return {};
  const std::u16string_view view(reinterpret_cast<const char16_t *>(text.utf16()),
                                 static_cast<std::size_t>(text.size()));
  return text.left(
      static_cast<qsizetype>(graphemes::unitsWithin(view, static_cast<std::size_t>(units))));
}

std::string bytesForShownText(const QString &text, std::string_view shownFrom) {
  if (text == toQString(shownFrom))
    return std::string(shownFrom);
  return fromQString(text);
}

std::string clipboardBytes(const QString &text) { return fromQString(text); }

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
    if (!pair && cp >= escapedByteFirst && cp <= escapedByteLast) {
      // A byte of a name that no UTF-8 holds, as fileNameToQString shows it.
      out += static_cast<char>(cp - escapedByteBase);
    } else if (encoding == LineEncoding::Utf8 && (cp < 0xD800 || cp > 0xDFFF)) {
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

QString fileNameToQString(std::string_view fileName) {
  QString text;
  text.reserve(static_cast<qsizetype>(fileName.size()));
  const auto *bytes = reinterpret_cast<const unsigned char *>(fileName.data());
  for (std::size_t i = 0; i < fileName.size();) {
    char32_t cp = bytes[i];
    std::size_t length = cp < 0x80 ? 1 : utf8::decodeSequence(bytes + i, fileName.size() - i, cp);
    if (length == 0) {
      cp = escapedByteBase + bytes[i];
      length = 1;
    }
    if (QChar::requiresSurrogates(cp)) {
      text += QChar(QChar::highSurrogate(cp));
      text += QChar(QChar::lowSurrogate(cp));
    } else {
      text += QChar(static_cast<char16_t>(cp));
    }
    i += length;
  }
  return text;
}

QString localFileNameOf(const QUrl &url) {
  if (!url.isLocalFile() || !url.host().isEmpty())
    return url.toLocalFile();
  const QByteArray path = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
  return fileNameToQString(std::string_view(path.constData(), std::size_t(path.size())));
}

std::string fileNameFromQString(const QString &fileName) { return fromQString(fileName); }

std::string fileNameFromQString(const QString &fileName, std::string_view shownFrom) {
  if (fileNameToQString(shownFrom) == fileName)
    return std::string(shownFrom);
  return fileNameFromQString(fileName);
}

std::string fileNameToText(std::string_view fileName) { return fileNameText(fileName); }

QString fileNameToOpenTarget(std::string_view fileName) {
  if (utf8::isValid(fileName))
    return QString::fromUtf8(fileName.data(), static_cast<qsizetype>(fileName.size()));
  const QByteArray bytes(fileName.data(), static_cast<qsizetype>(fileName.size()));
  return QStringLiteral("file://") + QString::fromLatin1(bytes.toPercentEncoding("/"));
}

} // namespace marrowen
