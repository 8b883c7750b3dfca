#include "gridsupport/editingscenes.h"

#include "grid/data/colrow.h"
#include "grid/widget/dgbasegrid.h"
#include "gridsupport/datagridscenes.h"

#include <QApplication>
#include <QDir>
#include <QMouseEvent>
#include <QTest>

#include <functional>

namespace marrowen {

namespace {

void drag(QWidget *port, QPoint to) {
  QMouseEvent move(QEvent::MouseMove, QPointF(to), QPointF(to), Qt::NoButton, Qt::LeftButton,
                   Qt::NoModifier);
  QApplication::sendEvent(port, &move);
}

} // namespace

std::vector<std::string> renderEditingScreenshots(const std::string &folder) {
  QDir().mkpath(QString::fromStdString(folder));
  std::vector<std::string> files;
  auto shoot = [&](const char *name, const std::function<void(TdgGrid &)> &setUp) {
    TdgGrid grid;
    fillTextGrid(grid, 5, 12);
    showDataGrid(grid, 380, 200);
    QApplication::setActiveWindow(&grid);
    grid.setFocus();
    QApplication::processEvents();
    setUp(grid);
    QApplication::processEvents();
    const std::string path = folder + "/" + name + ".png";
    grid.grab().save(QString::fromStdString(path));
    files.push_back(path);
    // Whatever the scene holds down ends with it.
    grid.CancelMouseOperation();
  };
  shoot("editing-editor-selection", [](TdgGrid &grid) {
    grid.SetCell(2, 2, Variant("selected text"));
    grid.MoveToCell(2, 2);
    grid.EditControl().SetSelStart(0);
    grid.EditControl().SetSelLength(8);
  });
  shoot("editing-check-pressed", [](TdgGrid &grid) {
    grid.GetCol(Variant(std::int32_t(2)))->SetControlType(ctCheck);
    grid.SetCell(2, 2, Variant(std::int32_t(1)));
    grid.MoveToCell(2, 2);
    char space = ' ';
    grid.CheckControl().CheckBox().KeyPress(space);
  });
  shoot("editing-spin-held", [](TdgGrid &grid) {
    grid.GetCol(Variant(std::int32_t(3)))->SetButtonType(btVertSpin);
    const TRect cell = grid.GetPaintCellRect(3, 2);
    QTest::mousePress(grid.viewport(), Qt::LeftButton, {}, QPoint(cell.Right - 3, cell.Top + 2));
  });
  shoot("editing-spin-column", [](TdgGrid &grid) {
    TdgCol *col = grid.GetCol(Variant(std::int32_t(3)));
    col->SetButtonType(btVertSpin);
    col->SetSpinIncrement(5);
    for (int r = 1; r <= 12; ++r)
      grid.SetCell(3, r, Variant(std::to_string(r * 10)));
    grid.FocusCell(3, 2, true);
    grid.SpinCurrentCell(3, 2, sbUp);
  });
  shoot("editing-sizing-line", [](TdgGrid &grid) {
    const int edge = grid.ColumnLeft(2) + grid.ColWidths(2) - 1;
    QTest::mousePress(grid.viewport(), Qt::LeftButton, {}, QPoint(edge, 5));
    drag(grid.viewport(), QPoint(edge + 40, 5));
  });
  shoot("editing-row-drop-marker", [](TdgGrid &grid) {
    grid.SelectRows(2, 3);
    const QPoint bar(5, grid.RowTop(2) + 5);
    QTest::mousePress(grid.viewport(), Qt::LeftButton, {}, bar);
    drag(grid.viewport(), QPoint(5, grid.RowTop(7) + 5));
  });
  shoot("editing-cell-range", [](TdgGrid &grid) {
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {},
                      QPoint(grid.ColumnLeft(2) + 1, grid.RowTop(2) + 5));
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::ShiftModifier,
                      QPoint(grid.ColumnLeft(4) + 1, grid.RowTop(5) + 5));
  });
  return files;
}

} // namespace marrowen
