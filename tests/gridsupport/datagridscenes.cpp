#include "gridsupport/datagridscenes.h"

#include "grid/data/colrow.h"
#include "grid/widget/dgbasegrid.h"
#include "gridsupport/testgrid.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPixmap>

#include <algorithm>
#include <functional>
#include <memory>

namespace marrowen {

void fillTextGrid(TdgGrid &grid, int cols, int rows) {
  grid.SetStoreData(true);
  grid.SetCols(cols);
  grid.SetRows(rows);
  for (int r = 1; r <= rows; ++r)
    for (int c = 1; c <= cols; ++c)
      grid.SetCell(c, r, Variant("r" + std::to_string(r) + "c" + std::to_string(c)));
}

void showDataGrid(TdgGrid &grid, int clientWidth, int clientHeight) {
  showGrid(grid, clientWidth, clientHeight);
}

std::vector<std::string> renderDataGridScreenshots(const std::string &folder) {
  QDir().mkpath(QString::fromStdString(folder));
  std::vector<std::string> files;
  auto shoot = [&](const char *name, int rows, const std::function<void(TdgGrid &)> &setUp) {
    TdgGrid grid;
    grid.SetName("Grid1");
    // Only the rows a scene can show get values.
    fillTextGrid(grid, 6, std::min(rows, 30));
    if (rows > 30) {
      grid.SetRows(rows);
      for (int r = rows - 30; r <= rows; ++r)
        for (int c = 1; c <= 6; ++c)
          grid.SetCell(c, r, Variant("r" + std::to_string(r) + "c" + std::to_string(c)));
    }
    showDataGrid(grid, 420, 240);
    setUp(grid);
    QApplication::processEvents();
    const std::string path = folder + "/" + name + ".png";
    grid.grab().save(QString::fromStdString(path));
    files.push_back(path);
  };
  shoot("datagrid-plain", 30, [](TdgGrid &grid) {
    for (int c = 1; c <= 6; ++c)
      grid.GetCol(Variant(c))->SetHeading("Column &" + std::to_string(c));
  });
  shoot("datagrid-3d-fixed", 30, [](TdgGrid &grid) {
    grid.SetIs3DLook(true);
    grid.SetFixedColCount(1);
    grid.SetFixedRowCount(2);
    grid.SetGridLines(glNone);
  });
  shoot("datagrid-buttons", 30, [](TdgGrid &grid) {
    const TdgButtonType types[] = {btCombo,    btNormal,           btVertSpin,
                                   btHorzSpin, btDateTimeDropDown, btDateTimePopup};
    for (int c = 1; c <= 6; ++c)
      grid.GetCol(Variant(c))->SetButtonType(types[c - 1]);
    grid.SetFlatButtons(false);
    grid.SetHeadingButton(hbButton);
    grid.GetCol(Variant(2))->SetSortPicture(spUp);
    grid.GetCol(Variant(3))->SetSortPicture(spDown);
  });
  shoot("datagrid-check-picture", 30, [](TdgGrid &grid) {
    grid.GetCol(Variant(1))->SetControlType(ctCheck);
    grid.GetCol(Variant(2))->SetControlType(ctPicture);
    for (int r = 1; r <= 6; ++r)
      grid.SetCell(1, r, Variant(r % 3));
    auto picture = std::make_shared<QImage>(12, 12, QImage::Format_RGB32);
    picture->fill(Qt::darkGreen);
    grid.SetCell(2, 1, Variant(picture));
  });
  shoot("datagrid-wrapped", 10, [](TdgGrid &grid) {
    grid.SetWordWrapLook(wwOn);
    grid.SetDefaultRowHeight(40);
    grid.SetCell(1, 1, Variant("a long text that wraps over lines"));
    grid.GetCol(Variant(2))->SetHorzAlignment(htaRight);
    grid.GetCol(Variant(3))->SetHorzAlignment(htaCenter);
  });
  for (TdgFocusBorder border : {fbDot, fbSingle, fbDouble}) {
    static const char *names[] = {"", "datagrid-focus-dot", "datagrid-focus-single",
                                  "datagrid-focus-double"};
    shoot(names[border], 30, [border](TdgGrid &grid) {
      grid.SetFocusBorder(border);
      grid.SetAlwaysShowFocus(true);
      grid.FocusCell(2, 2, true);
    });
  }
  shoot("datagrid-selection-colour", 30, [](TdgGrid &grid) {
    grid.SetSelectionType(sltColor);
    grid.SelectRows(2, 4);
  });
  shoot("datagrid-selection-inverted", 30, [](TdgGrid &grid) { grid.SelectRows(2, 4); });
  shoot("datagrid-million-end", 1000000, [](TdgGrid &grid) { grid.ScrollMessage(SB_VERT, 7, 0); });
  return files;
}

} // namespace marrowen
