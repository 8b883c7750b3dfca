#include "components/fileutil.h"

#include "components/kitutils.h"
#include "qtext/qtext.h"

#include <sys/stat.h>

namespace marrowen {

namespace {

// What the file system says of a shown name, looked up by its own bytes (Qt
// would look up a byte that no UTF-8 holds as another character).
bool lookUp(const QString &name, struct stat &info) {
  return !name.isEmpty() && ::stat(fileNameFromQString(name).c_str(), &info) == 0;
}

} // namespace

bool IsValidFileName(const QString &name) {
  return !name.isEmpty() && !name.contains(QChar(u'\0')) && !name.contains(u'"');
}

bool FolderExists(const QString &name) {
  struct stat info {};
  return lookUp(name, info) && S_ISDIR(info.st_mode);
}

QString LongFileNameOf(const QString &name) {
  struct stat info {};
  return lookUp(name, info) ? name.mid(name.lastIndexOf(u'/') + 1) : QString();
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
  if (struct stat info{}; lookUp(text, info) && S_ISREG(info.st_mode))
    return text;
  return CommandToken(text, 0);
}

QString QuotedFileName(const QString &name) {
  if (name.contains(u' ') && !name.startsWith(u'"'))
    return u'"' + name + u'"';
  return name;
}

} // namespace marrowen
