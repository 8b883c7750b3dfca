#include "components/fileutil.h"

#include "components/kitutils.h"

#include <QFileInfo>

namespace marrowen {

bool IsValidFileName(const QString &name) {
  return !name.isEmpty() && !name.contains(QChar(u'\0')) && !name.contains(u'"');
}

bool FolderExists(const QString &name) { return !name.isEmpty() && QFileInfo(name).isDir(); }

QString LongFileNameOf(const QString &name) {
  if (name.isEmpty())
    return {};
  const QFileInfo info(name);
  return info.exists() ? info.fileName() : QString();
}

QString ShortFileNameOf(const QString &name) { return LongFileNameOf(name); }

namespace {

// Each component is looked up with the whole path up to it, from the last
// backwards; what stands before the first separator is kept as it is.
QString convertPath(const QString &path, QString (*convert)(const QString &)) {
  QString result;
  QString rest = path;
  for (qsizetype slash = rest.lastIndexOf(u'/'); slash >= 0; slash = rest.lastIndexOf(u'/')) {
    result.prepend(u'/' + convert(rest));
    rest.truncate(slash);
  }
  return rest + result;
}

} // namespace

QString LongPathOf(const QString &path) { return convertPath(path, LongFileNameOf); }
QString ShortPathOf(const QString &path) { return convertPath(path, ShortFileNameOf); }

QString FileNameOfText(const QString &text) {
  if (!text.isEmpty() && QFileInfo(text).isFile())
    return text;
  return CommandToken(text, 0);
}

QString QuotedFileName(const QString &name) {
  if (name.contains(u' ') && !name.startsWith(u'"'))
    return u'"' + name + u'"';
  return name;
}

} // namespace marrowen
