#include "qtext/qtext.h"

#include "classlib/codepage.h"

#include <QByteArray>
#include <QFile>

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
  return QFile::decodeName(QByteArray(fileName.data(), static_cast<qsizetype>(fileName.size())));
}

std::string fileNameFromQString(const QString &fileName) {
  const QByteArray bytes = QFile::encodeName(fileName);
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

} // namespace marrowen
