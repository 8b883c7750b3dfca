#include "screens.h"

#include <QApplication>
#include <QWidget>

namespace marrowen {

std::vector<Screen> allScreens() {
  std::vector<Screen> screens;
  for (auto &&part : {componentScreens(), trayScreens(), appScreens(), dialogScreens(),
                      childFormScreens(), nodeDialogScreens()})
    screens.insert(screens.end(), part.begin(), part.end());
  return screens;
}

QImage renderWidget(QWidget &widget) {
  widget.ensurePolished();
  if (!widget.isVisible())
    widget.show();
  QApplication::processEvents();
  return widget.grab().toImage();
}

} // namespace marrowen
