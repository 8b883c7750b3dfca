#include "components/filelabel.h"

#include <QEvent>
#include <QFontMetrics>

namespace marrowen {

TFileLabel::TFileLabel(QWidget *parent) : QLabel(parent) {
  setTextFormat(Qt::PlainText);
  setWordWrap(false);
  // The label keeps the width it is given; a long path must not widen it.
  setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void TFileLabel::SetFileName(const QString &fileName) {
  if (fileName == fileName_)
    return;
  fileName_ = fileName;
  cutParts();
  layoutCaption();
}

void TFileLabel::SetSeparator(const QString &separator) {
  if (separator == separator_)
    return;
  separator_ = separator;
  cutParts();
  layoutCaption();
}

void TFileLabel::SetDirection(TDirection direction) {
  if (direction == direction_)
    return;
  direction_ = direction;
  layoutCaption();
}

void TFileLabel::resizeEvent(QResizeEvent *event) {
  QLabel::resizeEvent(event);
  layoutCaption();
}

void TFileLabel::changeEvent(QEvent *event) {
  QLabel::changeEvent(event);
  if (event->type() == QEvent::FontChange)
    layoutCaption();
}

// Empty parts count: a path that starts with two separators gives two empty
// parts first. An empty separator leaves the path whole.
PathParts::PathParts(const QString &path, const QString &separator)
    : path_(path), separator_(separator) {
  parts_.clear();
  if (separator.isEmpty()) {
    parts_.append(path);
  } else {
    qsizetype from = 0;
    for (qsizetype at = path.indexOf(separator); at >= 0; at = path.indexOf(separator, from)) {
      parts_.append(path.mid(from, at - from));
      from = at + separator.size();
    }
    parts_.append(path.mid(from));
  }
  const QString &first = parts_.front();
  hasDrive_ = first.size() > 1 && first.endsWith(u':');
}

QString PathParts::fit(Direction direction, int width,
                       const std::function<int(const QString &)> &widthOf) const {
  if (path_.isEmpty() || widthOf(path_) <= width)
    return path_;
  const QString &last = parts_.back();
  const QString ellipsis = QStringLiteral("...") + separator_;
  if (widthOf(last) + widthOf(ellipsis) >= width)
    return last;
  // The first part is shown only as a drive; otherwise it is always among
  // what the ellipsis stands for.
  const QString drive = hasDrive_ ? parts_.front() + separator_ : QString();
  if (widthOf(drive) + widthOf(last) + widthOf(ellipsis) >= width)
    return ellipsis + last;
  const int used = widthOf(last) + widthOf(ellipsis) + widthOf(drive);
  QString middle;
  const qsizetype lastMiddle = parts_.size() - 2;
  if (direction == FromLeft) {
    for (qsizetype i = lastMiddle; i >= 1; --i) {
      QString trial = parts_[i] + separator_ + middle;
      if (widthOf(trial) + used > width)
        break;
      middle = std::move(trial);
    }
    return drive + ellipsis + middle + last;
  }
  for (qsizetype i = 1; i <= lastMiddle; ++i) {
    QString trial = middle + parts_[i] + separator_;
    if (widthOf(trial) + used > width)
      break;
    middle = std::move(trial);
  }
  return drive + middle + ellipsis + last;
}

void TFileLabel::cutParts() { parts_ = PathParts(fileName_, separator_); }

void TFileLabel::layoutCaption() {
  const QFontMetrics metrics(font());
  // The room QLabel leaves for text: inside the frame, the margin and, with
  // a frame, the indent it then adds by itself.
  int indent = this->indent();
  if (indent < 0)
    indent = frameWidth() > 0 ? metrics.horizontalAdvance(u'x') / 2 : 0;
  const int width = contentsRect().width() - 2 * margin() - indent;
  setText(parts_.fit(direction_ == drFromLeft ? PathParts::FromLeft : PathParts::FromRight, width,
                     [&](const QString &text) { return metrics.horizontalAdvance(text); }));
}

} // namespace marrowen
