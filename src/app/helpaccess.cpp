#include "app/helpaccess.h"

#include "app/launcher.h"
#include "classlib/exceptions.h"
#include "components/dialogrunner.h"
#include "engine/registryhelpers.h"
#include "qtext/qtext.h"

#include <QDir>
#include <QFileInfo>
#include <QMessageBox>

namespace marrowen {

namespace {

int openPage(const QString &page, const QString &fallback = QString()) {
  const QDir help(fileNameToQString(getApplicationFolder()) + QStringLiteral("help"));
  if (!help.exists()) {
    showMessageBox(nullptr, QMessageBox::Critical, QStringLiteral("Marrowen"),
                   QStringLiteral("The help pages are missing: %1").arg(help.path()));
    return 0;
  }
  QString file = help.filePath(page);
  if (!QFileInfo::exists(file) && !fallback.isEmpty())
    file = help.filePath(fallback);
  return launcher().openUrl(file) ? 1 : 0;
}

} // namespace

int showHelpContents() { return openPage(QStringLiteral("index.html")); }

int showHelpIndex() {
  return openPage(QStringLiteral("keywords.html"), QStringLiteral("index.html"));
}

int showHelpContext(int context) {
  if (context < 0)
    throw ERangeError("Range check error");
  return openPage(QString::number(context) + QStringLiteral(".html"), QStringLiteral("index.html"));
}

} // namespace marrowen
