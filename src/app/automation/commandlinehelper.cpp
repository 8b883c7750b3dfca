#include "app/automation/commandlinehelper.h"

#include "app/common/forminfo.h"
#include "app/common/translateform.h"
#include "app/main/mainform.h"
#include "classlib/utf8.h"
#include "engine/messages.h"
#include "grid/widget/dgbasegrid.h"
#include "qtext/qtext.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include <filesystem>

namespace marrowen {

namespace {

QPointer<TcommandLineHelperForm> theForm;

constexpr TColor blue = 0xFF0000;

} // namespace

std::string shellWord(std::string_view bytes) {
  std::string word = "'";
  const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
  char32_t unused;
  const auto invalidAt = [&](std::size_t i) {
    return p[i] >= 0x80 && utf8::decodeSequence(p + i, bytes.size() - i, unused) == 0;
  };
  for (std::size_t i = 0; i < bytes.size();) {
    if (bytes[i] == '\'') {
      word += "'\\''";
      ++i;
    } else if (invalidAt(i)) {
      // sh has no $'...': printf makes the bytes, in double quotes, where
      // neither sh nor bash splits or expands them further.
      word += "'\"$(printf '";
      for (; i < bytes.size() && invalidAt(i); ++i) {
        word += '\\';
        word += static_cast<char>('0' + (p[i] >> 6));
        word += static_cast<char>('0' + ((p[i] >> 3) & 7));
        word += static_cast<char>('0' + (p[i] & 7));
      }
      word += "')\"'";
    } else {
      const std::size_t length = utf8::characterLength(bytes.substr(i));
      word.append(bytes.substr(i, length));
      i += length;
    }
  }
  return word + "'";
}

std::string baseCommand(std::string_view program, std::string_view filterFile) {
  return shellWord(program) + " " + shellWord("/f=" + std::string(filterFile));
}

QStringList commandLineRows(const std::string &base) {
  const QString command = QString::fromStdString(base);
  return {
      "+ Load your filter into Marrowen when it starts\n",
      "  " + command,
      "+ Load and run your filter (and Marrowen will wait for further commands)",
      "  " + command + " /g",
      "+ Load and run your filter and then exit Marrowen",
      "  " + command + " /g /q",
      "+ Load and run your filter with extra files (normally you would leave the file list blank "
      "when doing this). If file names contain spaces they must be double quoted",
      "  " + command + " [FILES] /g",
      "+ Schedule your filter to run via cron every day at 04:00 (add this line with "
      "crontab -e)",
      // One line of a crontab, in which cron reads an unescaped percent sign
      // as a line end.
      "  0 4 * * * " + QString(command).replace(u'%', QStringLiteral("\\%")) + " /g /q",
  };
}

TcommandLineHelperForm *TcommandLineHelperForm::instance() { return theForm; }

TcommandLineHelperForm::TcommandLineHelperForm(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint) {
  theForm = this;
  setObjectName(QStringLiteral("commandLineHelperForm"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("Command line automation wizard"));
  resize(560, 420);
  error_ = new QLabel(this);
  error_->setObjectName(QStringLiteral("error"));
  error_->setWordWrap(true);
  tsGrid1_ = new TdgGrid(this);
  tsGrid1_->setObjectName(QStringLiteral("tsGrid1"));
  tsGrid1_->SetName("tsGrid1");
  tsGrid1_->setToolTip(QStringLiteral("Click the button to copy the text to the clipboard"));
  tsGrid1_->beginLoad();
  tsGrid1_->SetStoreData(true);
  // Cell buttons answer only in a grid that edits: the descriptions are
  // read-only rows, and a command line may be touched up before it is copied.
  tsGrid1_->SetGridMode(gmEdit);
  tsGrid1_->SetCols(1);
  tsGrid1_->SetRows(10);
  tsGrid1_->SetWordWrap(wwOn);
  tsGrid1_->GetCol(1)->SetHeading("Use this command line to...");
  tsGrid1_->GetCol(1)->SetWidth(520);
  tsGrid1_->endLoad();
  TFont description;
  description.SetColor(blue);
  TFont command;
  command.SetName("Courier New");
  command.SetPitch(TFontPitch::fpFixed);
  for (int row = 1; row <= 10; ++row) {
    if (row % 2) {
      tsGrid1_->SetRowReadOnly(row, true);
      tsGrid1_->SetCellFont(1, row, &description);
      tsGrid1_->SetRowHeight(row, 36);
    } else {
      tsGrid1_->SetCellFont(1, row, &command);
      tsGrid1_->SetRowButtonType(row, btNormal);
      tsGrid1_->SetRowHeight(row, 36);
      tsGrid1_->SetRowVisible(row, false);
    }
  }
  tsGrid1_->OnButtonClick = [this](TdgBaseGrid *, int col, int row) {
    tsGrid1ButtonClick(col, row);
  };
  tsGrid1_->OnDblClickCell = [this](TdgBaseGrid *, int col, int row, TdgClickPosition) {
    tsGrid1DblClickCell(col, row);
  };
  auto *close = new QPushButton(QStringLiteral("Close"), this);
  close->setObjectName(QStringLiteral("okButton"));
  close->setToolTip(QStringLiteral("Close this window"));
  connect(close, &QPushButton::clicked, this, &QWidget::close);
  auto *refresh = new QPushButton(QStringLiteral("&Refresh"), this);
  refresh->setObjectName(QStringLiteral("regenerateButton"));
  refresh->setToolTip(QStringLiteral("Regenerate the text based on a new filter configuration"));
  connect(refresh, &QPushButton::clicked, this, &TcommandLineHelperForm::regenerateButtonClick);
  auto *layout = new QVBoxLayout(this);
  layout->addWidget(error_);
  layout->addWidget(tsGrid1_, 1);
  auto *buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(refresh);
  buttons->addWidget(close);
  layout->addLayout(buttons);

  translateForm(this);
  formInfo_ = std::make_unique<TFormInfo>(this, QStringLiteral("commandLineHelperForm"));
  formInfo_->recordPosition = false;
  formInfo_->Load();
  regenerateButtonClick();
}

TcommandLineHelperForm::~TcommandLineHelperForm() {
  formInfo_->Save();
  if (theForm == this)
    theForm = nullptr;
}

QString TcommandLineHelperForm::errorText() const { return error_->text(); }

void TcommandLineHelperForm::regenerateButtonClick() {
  tsGrid1_->hide();
  TmainForm *main = TmainForm::instance();
  auto refuse = [this](int number, const char *text) {
    error_->setText(toQString(translate(number, text)));
    error_->show();
  };
  if (!main || !main->hasFilterListWindow()) {
    refuse(1700, "You must load a filter before you can use the command line assistant. Use the "
                 "File Menu\\Open command to load a filter, then click the Refresh button.");
    return;
  }
  FilterListWindow *window = main->activeChildForm();
  if (!window) {
    refuse(1710, "The current window is not a filter list window. Please select a filter list "
                 "window, then click the Refresh button");
    return;
  }
  if (window->fileName().empty()) {
    refuse(1720, "Please save your filter first - then click on the Refresh button");
    return;
  }
  error_->hide();
  std::error_code error;
  const std::string program = std::filesystem::read_symlink("/proc/self/exe", error).string();
  rows_ = commandLineRows(baseCommand(program, window->fileName()));
  for (int row = 1; row <= 10; ++row)
    tsGrid1_->SetCell(1, row, Variant(fromQString(rows_[row - 1])));
  tsGrid1_->show();
}

void TcommandLineHelperForm::tsGrid1ButtonClick(int, int dataRow) {
  if (dataRow % 2 != 0 || dataRow < 1 || dataRow > 10)
    return;
  const std::string shown = tsGrid1_->GetCell(1, dataRow).toString();
  const bool untouched = dataRow <= rows_.size() && shown == fromQString(rows_[dataRow - 1]);
  QApplication::clipboard()->setText(untouched ? rows_[dataRow - 1] : toQString(shown));
}

void TcommandLineHelperForm::tsGrid1DblClickCell(int, int dataRow) {
  if (dataRow % 2 == 1 && dataRow < 10)
    tsGrid1_->SetRowVisible(dataRow + 1, !tsGrid1_->GetRowVisible(dataRow + 1));
}

void showCommandLineHelper() {
  TcommandLineHelperForm *form = TcommandLineHelperForm::instance();
  if (!form)
    form = new TcommandLineHelperForm(TmainForm::instance());
  form->show();
  form->raise();
}

void installCommandLineHelper() {
  mainFormHooks().commands.CommandLineHelper = showCommandLineHelper;
}

} // namespace marrowen
