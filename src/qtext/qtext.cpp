#include "qtext/qtext.h"

#include "classlib/codepage.h"
#include "classlib/utf8.h"

#include <QByteArray>

namespace marrowen {

QString toQString(std::string_view bytes) {
  std::u16string text = systemCodePage()->toUtf16(bytes);
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

std::string fromQString(const QString &text) {
  return systemCodePage()->fromUtf16(std::u16string_view(
      reinterpret_cast<const char16_t *>(text.utf16()), static_cast<std::size_t>(text.size())));
}

QString fileNameToQString(std::string_view fileName) {
  const std::u16string text = utf8::toUtf16(fileName, *systemCodePage());
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

std::string fileNameFromQString(const QString &fileName) {
  const QByteArray bytes = fileName.toUtf8();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

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
