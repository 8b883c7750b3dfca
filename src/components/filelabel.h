#pragma once

#include <QLabel>
#include <QStringList>

#include <functional>

namespace marrowen {

// A path cut at every separator, and shortened to a width by leaving out
// whole parts behind "..." + separator. Widths are measured piece by piece
// with `widthOf` and added; a piece that fits exactly is taken. The first
// part shows only when it is a drive ("C:"); the last part always shows.
class PathParts {
public:
  enum Direction { FromLeft, FromRight }; // which parts go first
  PathParts() = default;
  PathParts(const QString &path, const QString &separator);
  QString fit(Direction direction, int width,
              const std::function<int(const QString &)> &widthOf) const;

private:
  QString path_;
  QString separator_;
  QStringList parts_{QString()}; // never empty
  bool hasDrive_ = false;
};

// A label showing a path that leaves out whole folders, behind "...", until
// the path fits the label's width; characters are never cut. The path is set
// through FileName only: the shown text follows from it, the separator, the
// direction and the width, and is laid out again whenever any of them changes.
class TFileLabel : public QLabel {
  Q_OBJECT
  Q_PROPERTY(QString FileName READ FileName WRITE SetFileName)
  Q_PROPERTY(QString Separator READ Separator WRITE SetSeparator)
  Q_PROPERTY(QString Hint READ toolTip WRITE setToolTip)

public:
  // Which end of the path stays when folders must go: drFromLeft drops the
  // folders nearest the start.
  enum TDirection { drFromLeft, drFromRight };
  Q_ENUM(TDirection)

  explicit TFileLabel(QWidget *parent = nullptr);

  const QString &FileName() const { return fileName_; }
  void SetFileName(const QString &fileName);
  const QString &Separator() const { return separator_; }
  void SetSeparator(const QString &separator);
  TDirection Direction() const { return direction_; }
  void SetDirection(TDirection direction);

protected:
  void resizeEvent(QResizeEvent *event) override;
  void changeEvent(QEvent *event) override;

private:
  void cutParts();
  void layoutCaption();

  QString fileName_;
  QString separator_ = QStringLiteral("/");
  TDirection direction_ = drFromLeft;
  PathParts parts_;
};

} // namespace marrowen
