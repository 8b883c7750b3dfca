#include "app/main/commandlineform.h"

#include "app/common/forminfo.h"
#include "app/common/patternmenu.h"
#include "app/common/translateform.h"
#include "grid/widget/dgbasegrid.h"
#include "qtext/qtext.h"

#include <QPlainTextEdit>
#include <QTabWidget>
#include <QVBoxLayout>

namespace marrowen {

TcommandLineForm::TcommandLineForm(const QStringList &arguments, QWidget *parent)
    : QWidget(parent) {
  setObjectName(QStringLiteral("commandLineForm"));
  setWindowTitle(QStringLiteral("Command line parameters"));
  resize(460, 260);
  auto *pages = new QTabWidget(this);
  pages->setObjectName(QStringLiteral("PageControl1"));
  auto *gridPage = new QWidget;
  gridPage->setObjectName(QStringLiteral("gridSheet"));
  tsGrid1_ = new TdgGrid(gridPage);
  tsGrid1_->setObjectName(QStringLiteral("tsGrid1"));
  tsGrid1_->SetName("tsGrid1");
  tsGrid1_->beginLoad();
  tsGrid1_->SetStoreData(true);
  // The parameters are the program's bytes, names among them.
  tsGrid1_->SetShowsFileNames(true);
  tsGrid1_->SetCols(2);
  tsGrid1_->SetRows(0);
  tsGrid1_->GetCol(1)->SetHeading("Parameter");
  tsGrid1_->GetCol(1)->SetHorzAlignment(htaCenter);
  tsGrid1_->GetCol(2)->SetHeading("Value");
  tsGrid1_->GetCol(2)->SetWidth(313);
  tsGrid1_->endLoad();
  (new QVBoxLayout(gridPage))->addWidget(tsGrid1_);
  pages->addTab(gridPage, QStringLiteral("&In a grid"));
  auto *memoPage = new QWidget;
  memoPage->setObjectName(QStringLiteral("stringSheet"));
  memo_ = new QPlainTextEdit(memoPage);
  memo_->setObjectName(QStringLiteral("memo"));
  usePatternMenuForMemo(memo_);
  (new QVBoxLayout(memoPage))->addWidget(memo_);
  pages->addTab(memoPage, QStringLiteral("&As a string"));
  (new QVBoxLayout(this))->addWidget(pages);

  translateForm(this);
  tsGrid1_->SetRows(static_cast<int>(arguments.size()));
  QString line;
  for (int i = 0; i < arguments.size(); ++i) {
    tsGrid1_->SetCell(1, i + 1, Variant(static_cast<std::int32_t>(i)));
    // Taken as typed text is: a parameter beyond ASCII shows as it was given.
    tsGrid1_->SetCell(2, i + 1, Variant(fromQString(arguments[i])));
    line += arguments[i].contains(' ') ? '"' + arguments[i] + QStringLiteral("\" ")
                                       : arguments[i] + ' ';
  }
  memo_->setPlainText(line);
  // Its placement is kept under the program file's name.
  formInfo_ = std::make_unique<TFormInfo>(this, QStringLiteral("commandLineForm"));
  formInfo_->AppName.clear();
  formInfo_->recordPosition = false;
  formInfo_->Load();
}

TcommandLineForm::~TcommandLineForm() { formInfo_->Save(); }

QString TcommandLineForm::memoText() const { return memo_->toPlainText(); }

} // namespace marrowen
