#include "app/main/tipoftheday.h"

#include "app/common/translateform.h"
#include "classlib/paths.h"
#include "qtext/qtext.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include <cstdlib>

namespace marrowen {

QString findFileIgnoringCase(const QString &folder, const QString &name) {
  const QDir dir(folder);
  if (dir.exists(name))
    return dir.filePath(name);
  for (const QString &entry : dir.entryList(QDir::Files | QDir::Hidden))
    if (entry.compare(name, Qt::CaseInsensitive) == 0)
      return dir.filePath(entry);
  return dir.filePath(name);
}

Tip parseTip(const QString &line) {
  Tip tip;
  if (line.isEmpty())
    return tip;
  switch (line.front().unicode()) {
  case '?':
    tip.heading = QStringLiteral("Did you know...");
    break;
  case '^':
    tip.heading = QStringLiteral("Today's tip...");
    break;
  case '\'':
    tip.heading = QStringLiteral("Today's quote...");
    break;
  case '!':
    tip.heading = QStringLiteral("Today's joke...");
    break;
  case '#':
    tip.heading = QStringLiteral("Today's message...");
    break;
  default:
    break;
  }
  const QString body = line.mid(1, 255);
  int breaks = 0;
  for (int i = 0; i < body.size(); ++i) {
    if (body[i] == '%' && i + 1 < body.size()) {
      if (body[i + 1] == '%') {
        tip.text += '%';
        ++i;
        continue;
      }
      if (body[i + 1] == 's' && breaks < 5) {
        tip.text += '\n';
        ++breaks;
        ++i;
        continue;
      }
    }
    tip.text += body[i];
  }
  return tip;
}

QStringList loadTips(const QString &fileName) {
  const QFileInfo info(fileName);
  QFile file(findFileIgnoringCase(info.path(), info.fileName()));
  QStringList tips;
  if (!file.open(QIODevice::ReadOnly))
    return tips;
  QByteArray bytes = file.readAll();
  // A byte-order mark an editor wrote is no part of the first tip.
  if (bytes.startsWith("\xEF\xBB\xBF"))
    bytes.remove(0, 3);
  for (const QByteArray &line : bytes.split('\n')) {
    QString text =
        toQString(std::string_view(line.constData(), static_cast<std::size_t>(line.size())));
    if (text.endsWith('\r'))
      text.chop(1);
    if (!text.isEmpty())
      tips << text;
  }
  return tips;
}

QString tipsFile() {
  const QString name = QStringLiteral("TIPS.TXT");
  const QString here = findFileIgnoringCase(QDir::currentPath(), name);
  if (QFileInfo(here).isFile())
    return here;
  return findFileIgnoringCase(fileNameToQString(programFolder()), name);
}

int tipIndex(std::int64_t index, int count) {
  if (count <= 0)
    return 0;
  return static_cast<int>(std::llabs(index) % count);
}

TfTipOfTheDay::TfTipOfTheDay(const QString &tipsFileName, QWidget *parent) : QDialog(parent) {
  setObjectName(QStringLiteral("fTipOfTheDay"));
  setWindowTitle(QStringLiteral("Tip of the day"));
  resize(420, 220);
  auto *bulb = new QLabel(this);
  bulb->setObjectName(QStringLiteral("iBulb"));
  bulb->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(48, 48));
  lTitle_ = new QLabel(this);
  lTitle_->setObjectName(QStringLiteral("lTitle"));
  QFont bold = lTitle_->font();
  bold.setBold(true);
  bold.setPointSizeF(bold.pointSizeF() * 1.3);
  lTitle_->setFont(bold);
  lTip_ = new QLabel(this);
  lTip_->setObjectName(QStringLiteral("lTip"));
  lTip_->setWordWrap(true);
  lTip_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
  cbShowTips_ = new QCheckBox(QStringLiteral("Show Tips at Startup"), this);
  cbShowTips_->setObjectName(QStringLiteral("cbShowTips"));
  bPrevious_ = new QPushButton(QStringLiteral("&Previous"), this);
  bPrevious_->setObjectName(QStringLiteral("bPrevious"));
  bNext_ = new QPushButton(QStringLiteral("&Next"), this);
  bNext_->setObjectName(QStringLiteral("bNext"));
  auto *close = new QPushButton(QStringLiteral("Close"), this);
  close->setObjectName(QStringLiteral("bClose"));
  close->setDefault(true);

  auto *text = new QVBoxLayout;
  text->addWidget(lTitle_);
  text->addWidget(lTip_, 1);
  auto *top = new QHBoxLayout;
  top->addWidget(bulb, 0, Qt::AlignTop);
  top->addLayout(text, 1);
  auto *buttons = new QHBoxLayout;
  buttons->addWidget(cbShowTips_);
  buttons->addStretch();
  buttons->addWidget(bPrevious_);
  buttons->addWidget(bNext_);
  buttons->addWidget(close);
  auto *layout = new QVBoxLayout(this);
  layout->addLayout(top, 1);
  layout->addLayout(buttons);
  connect(bNext_, &QPushButton::clicked, this, &TfTipOfTheDay::bNextClick);
  connect(bPrevious_, &QPushButton::clicked, this, &TfTipOfTheDay::bPreviousClick);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);

  translateForm(this);
  tips_ = loadTips(tipsFileName);
  bNext_->setEnabled(!tips_.isEmpty());
  bPrevious_->setEnabled(!tips_.isEmpty());
}

void TfTipOfTheDay::setTip(int index) {
  // Without tips there is nothing to count, and the stored number stays.
  index_ = tips_.isEmpty() ? index : tipIndex(index, static_cast<int>(tips_.size()));
  const Tip tip =
      parseTip(tips_.isEmpty() ? QStringLiteral("^Couldn't locate TIPS.TXT") : tips_[index_]);
  lTitle_->setText(tip.heading);
  lTip_->setText(tip.text);
}

bool TfTipOfTheDay::showTips() const { return cbShowTips_->isChecked(); }
void TfTipOfTheDay::setShowTips(bool on) { cbShowTips_->setChecked(on); }
QString TfTipOfTheDay::heading() const { return lTitle_->text(); }
QString TfTipOfTheDay::tipText() const { return lTip_->text(); }

void TfTipOfTheDay::bNextClick() {
  const int next = index_ + 1;
  setTip(next >= tips_.size() ? 0 : next);
}

void TfTipOfTheDay::bPreviousClick() {
  const int previous = index_ - 1;
  setTip(previous < 0 ? static_cast<int>(tips_.size()) - 1 : previous);
}

} // namespace marrowen
