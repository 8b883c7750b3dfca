#include "grid/data/colrow.h"
#include "grid/widget/dgbasegrid.h"
#include "gridsupport/datagridscenes.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

#include <gtest/gtest.h>

#include <vector>

namespace marrowen {
namespace {

TEST(GridMessages, HeadingAcceleratorsAreWindowShortcuts) {
  QWidget form;
  auto *layout = new QVBoxLayout(&form);
  auto *other = new QLineEdit(&form);
  auto *grid = new TdgGrid(&form);
  layout->addWidget(other);
  layout->addWidget(grid);
  grid->GetCol(Variant(2))->SetHeading("&Mode");
  grid->GetCol(Variant(3))->SetHeading("Size && &mass"); // the first column wins
  grid->GetCol(Variant(4))->SetHeading("&&Plain");
  grid->GetCol(Variant(1))->SetHeading("&\xC4lter"); // beyond ASCII, in the code page
  std::vector<int> clicked;
  grid->OnHeadingClick = [&](TdgBaseGrid *, int dataCol) { clicked.push_back(dataCol); };
  form.show();
  other->setFocus();
  QApplication::processEvents();
  QTest::keyClick(other, Qt::Key_M, Qt::AltModifier);
  QTest::keyClick(other, Qt::Key_P, Qt::AltModifier); // "&&" is no accelerator
  QTest::keyClick(other, Qt::Key_Adiaeresis, Qt::AltModifier);
  EXPECT_EQ(clicked, (std::vector<int>{2, 1}));
  EXPECT_TRUE(grid->HeadingAccelerator('\xE4'));
  grid->MoveCols(2, 4); // display order decides
  EXPECT_TRUE(grid->HeadingAccelerator('m'));
  EXPECT_EQ(clicked.back(), 3);
  grid->setEnabled(false);
  EXPECT_FALSE(grid->HeadingAccelerator('m'));
}

TEST(GridMessages, AutoScrollTimerNeedsAWindowAndRestarts) {
  TdgGrid grid;
  grid.StartAutoScrollTimer();
  EXPECT_FALSE(grid.AutoScrollTimer().isActive());
  showDataGrid(grid, 200, 100);
  grid.StartAutoScrollTimer();
  EXPECT_EQ(grid.AutoScrollTimer().interval(), 50);
  EXPECT_TRUE(grid.StopAutoScrollTimer());
  EXPECT_FALSE(grid.StopAutoScrollTimer());
}

} // namespace
} // namespace marrowen
