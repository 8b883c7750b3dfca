#include "components/filelabel.h"
#include "qt_printing.h"

#include <QFontMetrics>

#include <gtest/gtest.h>

using namespace marrowen;

namespace {

// The label measures each piece on its own and adds the widths.
int widthOf(const TFileLabel &label, std::initializer_list<QString> pieces) {
  const QFontMetrics metrics(label.font());
  int width = 0;
  for (const QString &piece : pieces)
    width += metrics.horizontalAdvance(piece);
  return width;
}

// A shown label re-fits as soon as it is resized.
QString shownAt(TFileLabel &label, int width) {
  label.show();
  label.resize(width, 20);
  return label.text();
}

} // namespace

TEST(FileLabel, DropsWholeFoldersFromEitherSideAsTheLabelNarrows) {
  TFileLabel label;
  label.SetFileName("C:/data/inbox/a.txt");
  EXPECT_EQ(shownAt(label, widthOf(label, {"C:/data/inbox/a.txt"})), "C:/data/inbox/a.txt");
  // A folder that fits exactly is taken.
  EXPECT_EQ(shownAt(label, widthOf(label, {"C:/", ".../", "inbox/", "a.txt"})),
            "C:/.../inbox/a.txt");
  EXPECT_EQ(shownAt(label, widthOf(label, {"C:/", ".../", "inbox/", "a.txt"}) - 1), "C:/.../a.txt");
  label.SetDirection(TFileLabel::drFromRight);
  EXPECT_EQ(shownAt(label, widthOf(label, {"C:/", "data/", ".../", "a.txt"})), "C:/data/.../a.txt");
  // The drive goes only when even drive, ellipsis and name no longer fit.
  EXPECT_EQ(shownAt(label, widthOf(label, {"C:/", ".../", "a.txt"}) + 1), "C:/.../a.txt");
  EXPECT_EQ(shownAt(label, widthOf(label, {"C:/", ".../", "a.txt"})), ".../a.txt");
  EXPECT_EQ(shownAt(label, widthOf(label, {".../", "a.txt"})), "a.txt");
  EXPECT_EQ(shownAt(label, 3), "a.txt");
}

TEST(FileLabel, ARelativeOrRootedPathNeverShowsItsFirstPart) {
  TFileLabel label;
  label.SetFileName("alpha/beta/c.txt");
  EXPECT_EQ(shownAt(label, widthOf(label, {"alpha/beta/c.txt"}) - 1), ".../beta/c.txt");
  label.SetFileName("//server/share/dir/f.txt");
  EXPECT_EQ(shownAt(label, widthOf(label, {".../", "share/", "dir/", "f.txt"})),
            ".../share/dir/f.txt");
  label.SetFileName("no-separator-at-all.txt");
  EXPECT_EQ(shownAt(label, 10), "no-separator-at-all.txt");
  label.SetFileName("");
  EXPECT_EQ(label.text(), "");
}

TEST(FileLabel, ANewSeparatorOrWidthFitsThePathAgain) {
  TFileLabel label;
  label.SetFileName("C:\\data\\in\\a.txt");
  EXPECT_EQ(shownAt(label, widthOf(label, {"C:\\", "...\\", "a.txt"}) + 1), "C:\\data\\in\\a.txt")
      << "one part, no separator to cut at";
  label.SetSeparator("\\");
  EXPECT_EQ(label.text(), "C:\\...\\a.txt");
  EXPECT_EQ(shownAt(label, 1000), "C:\\data\\in\\a.txt");
}
