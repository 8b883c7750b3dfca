#include "gridsupport/screenshots.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace marrowen {
namespace {

TEST(Screenshots, EveryPictureShowsSomething) {
  QTemporaryDir folder;
  const std::vector<std::string> files = renderGridScreenshots(folder.path().toStdString());
  EXPECT_EQ(files.size(), 4u);
  EXPECT_EQ(blankPictures(files), std::vector<std::string>{});
}

} // namespace
} // namespace marrowen
