#include "gridsupport/dropdownscenes.h"

#include "grid/data/colrow.h"
#include "grid/editing/combo.h"
#include "gridsupport/datagridscenes.h"
#include "gridsupport/testdatetime.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>

#include <functional>

namespace marrowen {

namespace {

// The grid and every visible pop-up of it, where they stand on the screen.
QImage grabWithPopups(TdgGrid &grid) {
  QRect area(grid.mapToGlobal(QPoint(0, 0)), grid.size());
  TdgDropDownForm *form = grid.ExistingDropDownForm();
  const bool popup = form && form->isVisible();
  if (popup)
    area = area.united(form->geometry());
  QImage image(area.size(), QImage::Format_ARGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.drawPixmap(grid.mapToGlobal(QPoint(0, 0)) - area.topLeft(), grid.grab());
  if (popup)
    painter.drawPixmap(form->geometry().topLeft() - area.topLeft(), form->grab());
  return image;
}

void giveList(TdgGrid &grid, int col, const std::vector<std::string> &items) {
  TdgCombo &combo = GiveDropDownList(*grid.GetCol(Variant(col)), items);
  combo.SetDropDownRows(6);
  combo.SetAutoSearch(asTop);
}

} // namespace

std::vector<std::string> renderDropDownScreenshots(const std::string &folder) {
  QDir().mkpath(QString::fromStdString(folder));
  std::vector<std::string> files;
  auto shoot = [&](const char *name, const std::function<void(TdgGrid &)> &setUp) {
    TdgGrid grid;
    grid.SetName("Grid1");
    fillTextGrid(grid, 4, 12);
    giveList(grid, 2,
             {"Apple", "Apricot", "Banana", "Blackberry", "Blueberry", "Cherry", "Damson",
              "Elderberry", "Fig", "Grape"});
    showDataGrid(grid, 360, 220);
    grid.FocusCell(grid.DisplayColOf(2), 2, true);
    grid.OpenComboDropDown(2, 2);
    setUp(grid);
    QApplication::processEvents();
    const std::string path = folder + "/" + name + ".png";
    grabWithPopups(grid).save(QString::fromStdString(path));
    files.push_back(path);
    grid.CloseComboDropDown(false);
  };
  shoot("dropdown-combo-open", [](TdgGrid &) {});
  shoot("dropdown-combo-typeahead", [](TdgGrid &grid) {
    grid.ComboTypeAhead("b");
    grid.ComboTypeAhead("l");
  });
  // A drop-down-list cell takes what its typed key finds, with no editor.
  shoot("dropdown-list-cell-typed", [](TdgGrid &grid) {
    grid.CloseComboDropDown(false);
    char key = 'e';
    grid.KeyPress(key);
  });
  {
    TdgGrid grid;
    grid.SetName("Grid1");
    fillTextGrid(grid, 4, 12);
    TestDateTimeDef def;
    grid.SetDateTimeDef(&def);
    grid.GetCol(Variant(3))->SetButtonType(btDateTimeDropDown);
    grid.SetCell(3, 2, Variant(std::string("14/03/2026")));
    showDataGrid(grid, 360, 220);
    grid.FocusCell(grid.DisplayColOf(3), 2, true);
    grid.ToggleDateTimeDropDown(3, 2);
    QApplication::processEvents();
    const std::string path = folder + "/dropdown-datetime-open.png";
    grabWithPopups(grid).save(QString::fromStdString(path));
    files.push_back(path);
    grid.CloseDateTimeDropDown(false);
  }
  return files;
}

} // namespace marrowen
