#include "app/common/appicons.h"

#include <QString>

// The pictures are drawn in the SVG files beside them and shipped as PNG,
// which Qt reads without its SVG module. A static library's resources are
// registered only when asked for by name.
static void registerIconResources() { Q_INIT_RESOURCE(icons); }

namespace marrowen {

namespace {

QIcon shipped(const char *name) {
  static const bool registered = [] {
    registerIconResources();
    return true;
  }();
  (void)registered;
  return QIcon(QStringLiteral(":/icons/") + QString::fromLatin1(name) + QStringLiteral(".png"));
}

} // namespace

QIcon themedIcon(const char *themeName, const char *fallback) {
  if (!themeName || !*themeName)
    return shipped(fallback);
  return QIcon::fromTheme(QString::fromLatin1(themeName), shipped(fallback));
}

QIcon programIcon() {
  QIcon icon = shipped("marrowen");
  icon.addFile(QStringLiteral(":/icons/marrowen-128.png"));
  return icon;
}

} // namespace marrowen
