#include "gridsupport/screenshots.h"

#include <QDir>
#include <QImage>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace marrowen {
namespace {

TEST(Screenshots, EveryPictureShowsSomething) {
  QTemporaryDir folder;
  const std::vector<std::string> files = renderGridScreenshots(folder.path().toStdString());
  EXPECT_EQ(files.size(), 4u);
  for (const std::string &file : files) {
    const QImage image(QString::fromStdString(file));
    ASSERT_FALSE(image.isNull()) << file;
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 3)
      for (int x = 0; x < image.width(); x += 3)
        colours.insert(image.pixel(x, y));
    EXPECT_GT(colours.size(), 3) << file << " is blank";
  }
}

} // namespace
} // namespace marrowen
