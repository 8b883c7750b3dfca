#pragma once

#include <QDialog>
#include <QStringList>

#include <cstdint>

class QCheckBox;
class QLabel;
class QPushButton;

namespace marrowen {

// One line of the tips file; its first character picks the heading.
struct Tip {
  QString heading;
  QString text;
};
// Up to five "%s" become line breaks and "%%" a "%"; nothing else in the
// line is read as a format.
Tip parseTip(const QString &line);
// The tips of a file: every non-empty line; none when it cannot be read.
// The file's name is matched ignoring letter case in its folder.
QStringList loadTips(const QString &fileName);
// The tips file: "TIPS.TXT" of the current folder, else the one shipped in
// the program folder.
QString tipsFile();
// |index| modulo count, computed so that no 32-bit index overflows.
int tipIndex(std::int64_t index, int count);

class TfTipOfTheDay : public QDialog {
  Q_OBJECT
public:
  explicit TfTipOfTheDay(const QString &tipsFileName = tipsFile(), QWidget *parent = nullptr);

  void setTip(int index);
  int index() const { return index_; }
  bool noTips() const { return tips_.isEmpty(); }
  bool showTips() const;
  void setShowTips(bool on);
  QString heading() const;
  QString tipText() const;

  void bNextClick();
  void bPreviousClick();

private:
  QStringList tips_;
  int index_ = 0;
  QLabel *lTitle_;
  QLabel *lTip_;
  QPushButton *bPrevious_;
  QPushButton *bNext_;
  QCheckBox *cbShowTips_;
};

// Finds `name` in `folder` ignoring letter case; the exact name when found
// so, else the first entry that matches, else the name as given.
QString findFileIgnoringCase(const QString &folder, const QString &name);

} // namespace marrowen
