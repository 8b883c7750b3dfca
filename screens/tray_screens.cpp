#include "screens.h"

#include "components/kitutils.h"
#include "components/trayicon.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPixmap>

namespace marrowen {

namespace {

// The menu a tray icon pops up on a right click: its default item, the one a
// double click runs, is drawn in bold; a disabled item is greyed.
QImage trayMenu() {
  QMenu menu;
  menu.setObjectName("TaskMenu");
  QAction *open = menu.addAction("Open");
  menu.setDefaultAction(open);
  menu.addSeparator();
  menu.addAction("Tidy logs.fll");
  menu.addAction("Strip tags.fll")->setEnabled(false);
  menu.addSeparator();
  menu.addAction("Exit");
  return renderWidget(menu);
}

QImage kitCursors() {
  QWidget panel;
  panel.setAutoFillBackground(true);
  auto *row = new QHBoxLayout(&panel);
  for (int slot : {crHand, crDragHand}) {
    auto *picture = new QLabel(&panel);
    picture->setPixmap(screenCursor(slot).pixmap());
    row->addWidget(picture);
  }
  return renderWidget(panel);
}

} // namespace

std::vector<Screen> trayScreens() { return {{"kit_tray_menu", trayMenu}, {"kit_cursors", kitCursors}}; }

} // namespace marrowen
