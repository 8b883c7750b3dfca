#include "app/automation/shellextensions.h"

#include "app/automation/commandlinehelper.h"
#include "app/common/forminfo.h"
#include "app/common/translateform.h"
#include "app/main/mainform.h"
#include "classlib/program.h"
#include "classlib/registry.h"
#include "classlib/safefile.h"
#include "classlib/utf8.h"
#include "components/dialogrunner.h"
#include "components/filedialog.h"
#include "filterlist/settings.h"
#include "grid/widget/dgbasegrid.h"
#include "qtext/qtext.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTabWidget>
#include <QVBoxLayout>

#include <filesystem>

namespace marrowen {

namespace {

QPointer<TshellExtensions> theWindow;

std::string entryKey(int number) {
  return std::string(program::registryKey) + "\\ShellFilters\\" + std::to_string(number);
}

// A value of a desktop entry: the general escapes of its string type.
QString escapeValue(const QString &text) {
  QString result;
  for (const QChar c : text) {
    if (c == '\\')
      result += QStringLiteral("\\\\");
    else if (c == '\n')
      result += QStringLiteral("\\n");
    else if (c == '\r')
      result += QStringLiteral("\\r");
    else if (c == '\t')
      result += QStringLiteral("\\t");
    else
      result += c;
  }
  return result;
}

// One argument of an Exec line: double-quoted, with the characters the
// quoting reserves escaped, and "%" doubled since it starts a field code.
QString quoteArgument(const QString &argument) {
  QString quoted = QStringLiteral("\"");
  for (const QChar c : argument) {
    if (c == '"' || c == '`' || c == '$' || c == '\\')
      quoted += '\\';
    if (c == '%')
      quoted += '%';
    quoted += c;
  }
  return quoted + '"';
}

// The grid shows code-page text; the file name it stands for is kept in a
// hidden column, so that a name the code page cannot spell is saved as it
// was while its cell is left alone.
constexpr int filterColumn = 3;
constexpr int storedNameColumn = 5;

} // namespace

std::vector<ShellFilter> loadShellFilters(SettingsStore &store) {
  std::vector<ShellFilter> filters;
  for (int n = 1;; ++n) {
    const std::string key = entryKey(n);
    // An empty name is a row of its own; only a missing one ends the list.
    if (!store.keyExists(key) || !store.readString(key, "Name"))
      break;
    filters.push_back({store.readString(key, "Name", ""), store.readString(key, "Comment", ""),
                       store.readString(key, "Filter", ""), store.readString(key, "Command", "")});
  }
  return filters;
}

void saveShellFilters(SettingsStore &store, const std::vector<ShellFilter> &filters) {
  // The program's own bytes: Qt spells a byte that no UTF-8 holds in its
  // folder as U+FFFD.
  std::error_code error;
  const std::string self = std::filesystem::read_symlink("/proc/self/exe", error).string();
  const QString program = error ? QCoreApplication::applicationFilePath() : fileNameToQString(self);
  {
    SettingsStore::BatchedWrites batch(store);
    for (std::size_t i = 0; i < filters.size(); ++i) {
      const std::string key = entryKey(static_cast<int>(i + 1));
      const ShellFilter &f = filters[i];
      store.writeString(key, "Name", f.name);
      store.writeString(key, "Comment", f.comment);
      store.writeString(key, "Filter", f.filter);
      store.writeString(key, "Command", f.command);
    }
    for (int n = static_cast<int>(filters.size()) + 1; store.keyExists(entryKey(n)); ++n)
      store.deleteKey(entryKey(n));
  }
  const QString folder = desktopEntryFolder();
  for (std::size_t i = 0; i < filters.size(); ++i) {
    const ShellFilter &f = filters[i];
    const QString file = desktopEntryFile(static_cast<int>(i + 1));
    if (f.name.empty() || f.command.empty()) {
      QFile::remove(file);
      continue;
    }
    QDir().mkpath(folder);
    const QByteArray bytes = desktopEntry(f, program);
    replaceFileContents(fileNameFromQString(file),
                        std::string_view(bytes.constData(), bytes.size()));
  }
  // The entries of rows gone, and only those.
  static const QRegularExpression ours(QStringLiteral("^marrowen-shellfilter-([0-9]+)\\.desktop$"));
  for (const QString &name : QDir(folder).entryList(QDir::Files)) {
    const auto match = ours.match(name);
    if (match.hasMatch() && match.captured(1).toULongLong() > filters.size())
      QFile::remove(QDir(folder).filePath(name));
  }
}

std::vector<std::string> splitCommand(const std::string &command) {
  std::vector<std::string> arguments;
  std::string current;
  bool inQuotes = false;
  bool have = false;
  for (std::size_t i = 0; i < command.size(); ++i) {
    const char c = command[i];
    if (c == '"') {
      inQuotes = !inQuotes;
      have = true;
    } else if (c == '\\' && i + 1 < command.size() &&
               (!inQuotes ||
                std::string_view("\"\\$`").find(command[i + 1]) != std::string_view::npos)) {
      current += command[++i];
      have = true;
    } else if (!inQuotes && (c == ' ' || c == '\t')) {
      if (have)
        arguments.push_back(std::move(current));
      current.clear();
      have = false;
    } else {
      current += c;
      have = true;
    }
  }
  if (have)
    arguments.push_back(std::move(current));
  return arguments;
}

QString desktopEntryFolder() {
  QByteArray data = qgetenv("XDG_DATA_HOME");
  const QString base =
      data.isEmpty() ? QDir::homePath() + QStringLiteral("/.local/share") : QFile::decodeName(data);
  return base + QStringLiteral("/applications");
}

QString desktopEntryFile(int number) {
  return desktopEntryFolder() + QStringLiteral("/marrowen-shellfilter-%1.desktop").arg(number);
}

QByteArray desktopEntry(const ShellFilter &filter, const QString &program) {
  QStringList exec{quoteArgument(program)};
  // The same command for sh, which alone can hand on a byte that no UTF-8
  // holds: a desktop entry is UTF-8 throughout.
  std::string script = "exec " + shellWord(fileNameFromQString(program));
  bool files = false;
  for (const std::string &argument : splitCommand(filter.command)) {
    if (argument == "%p") {
      exec << QStringLiteral("%F");
      script += " \"$@\"";
      files = true;
      continue;
    }
    // The command is typed text; only the filter file is a file name.
    QString expanded;
    std::string bytes;
    std::size_t from = 0;
    for (std::size_t at; (at = argument.find("%f", from)) != std::string::npos; from = at + 2) {
      expanded += toQString(argument.substr(from, at - from)) + fileNameToQString(filter.filter);
      bytes += fromQString(toQString(argument.substr(from, at - from))) + filter.filter;
    }
    expanded += toQString(argument.substr(from));
    bytes += fromQString(toQString(argument.substr(from)));
    exec << quoteArgument(expanded);
    script += " " + shellWord(bytes);
  }
  if (!utf8::isValid(filter.filter) || !utf8::isValid(fileNameFromQString(program)))
    exec = QStringList{QStringLiteral("sh"), QStringLiteral("-c"),
                       quoteArgument(QString::fromStdString(script)), QStringLiteral("marrowen")} +
           (files ? QStringList{QStringLiteral("%F")} : QStringList());
  QString text = QStringLiteral("[Desktop Entry]\nType=Application\n");
  text += QStringLiteral("Name=") + escapeValue(toQString(filter.name)) + '\n';
  text += QStringLiteral("Comment=") + escapeValue(toQString(filter.comment)) + '\n';
  text += QStringLiteral("Exec=") + escapeValue(exec.join(' ')) + '\n';
  text += QStringLiteral("NoDisplay=true\nMimeType=text/plain;inode/directory;\n");
  return text.toUtf8();
}

const std::vector<std::string> &shellCommandPresets() {
  // The command line takes "/i-" as the option; "-i-" would be a file name.
  static const std::vector<std::string> presets{"\"/f=%f\" %p /g /q", "\"/f=%f\" %p",
                                                "\"/f=%f\" /i- %p", "\"/f=%f\" /i- %p /g /q"};
  return presets;
}

TshellExtensions *TshellExtensions::instance() { return theWindow; }

TshellExtensions::TshellExtensions(QWidget *parent) : QWidget(parent) {
  theWindow = this;
  setObjectName(QStringLiteral("shellExtensions"));
  setWindowTitle(QStringLiteral("File manager \"Open With\" filters"));
  resize(640, 320);
  auto *pages = new QTabWidget(this);
  pages->setObjectName(QStringLiteral("PageControl1"));
  auto *page = new QWidget;
  page->setObjectName(QStringLiteral("TabSheet1"));
  fileGrid_ = new TdgGrid(page);
  fileGrid_->setObjectName(QStringLiteral("fileGrid"));
  fileGrid_->SetName("fileGrid");
  fileGrid_->beginLoad();
  fileGrid_->SetStoreData(true);
  fileGrid_->SetGridMode(gmEditInsert);
  fileGrid_->SetCols(storedNameColumn);
  fileGrid_->SetRows(0);
  const char *headings[] = {"Menu Name", "Comment", "Filter filename", "Command"};
  const int widths[] = {110, 130, 170, 190};
  for (int c = 1; c <= 4; ++c) {
    fileGrid_->GetCol(c)->SetHeading(headings[c - 1]);
    fileGrid_->GetCol(c)->SetWidth(widths[c - 1]);
  }
  fileGrid_->GetCol(storedNameColumn)->SetVisible(false);
  fileGrid_->GetCol(3)->SetButtonType(btNormal);
  fileGrid_->GetCol(4)->SetButtonType(btNormal);
  fileGrid_->endLoad();
  fileGrid_->OnButtonClick = [this](TdgBaseGrid *, int col, int row) {
    fileGridButtonDown(col, row);
  };
  fileGrid_->installEventFilter(this);
  (new QVBoxLayout(page))->addWidget(fileGrid_);
  pages->addTab(page, QStringLiteral("C&urrent shell extensions"));

  auto button = [this](const char *name, const QString &text, const QString &hint) {
    auto *b = new QPushButton(text, this);
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(hint);
    b->setStatusTip(hint);
    return b;
  };
  auto *deleteButton = button("deleteButton", QStringLiteral("&Delete row"),
                              QStringLiteral("Delete the current row"));
  auto *ok = button("okButton", QStringLiteral("&OK"), QStringLiteral("Save and close"));
  auto *apply = button("applyButton", QStringLiteral("&Apply"),
                       QStringLiteral("Save changes but do not close"));
  auto *cancel =
      button("cancelButton", QStringLiteral("&Cancel"), QStringLiteral("Close without saving"));
  connect(deleteButton, &QPushButton::clicked, this, &TshellExtensions::deleteButtonClick);
  connect(ok, &QPushButton::clicked, this, &TshellExtensions::okButtonClick);
  connect(apply, &QPushButton::clicked, this, &TshellExtensions::applyButtonClick);
  connect(cancel, &QPushButton::clicked, this, &TshellExtensions::cancelButtonClick);
  auto *buttons = new QHBoxLayout;
  buttons->addWidget(deleteButton);
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(apply);
  buttons->addWidget(cancel);
  auto *layout = new QVBoxLayout(this);
  layout->addWidget(pages);
  layout->addLayout(buttons);

  // FormCreate
  translateForm(this);
  const auto filters = loadShellFilters(settingsStore());
  fileGrid_->SetRows(static_cast<int>(filters.size()));
  for (std::size_t i = 0; i < filters.size(); ++i) {
    const int row = static_cast<int>(i + 1);
    fileGrid_->SetCell(1, row, Variant(filters[i].name));
    fileGrid_->SetCell(2, row, Variant(filters[i].comment));
    fileGrid_->SetCell(filterColumn, row, Variant(fileNameToText(filters[i].filter)));
    fileGrid_->SetCell(storedNameColumn, row, Variant(filters[i].filter));
    fileGrid_->SetCell(4, row, Variant(filters[i].command));
  }
  formInfo_ = std::make_unique<TFormInfo>(this, QStringLiteral("shellExtensions"));
  formInfo_->recordPosition = false;
  formInfo_->Load();
}

TshellExtensions::~TshellExtensions() {
  formInfo_->Save();
  if (theWindow == this)
    theWindow = nullptr;
}

std::vector<ShellFilter> TshellExtensions::rows() const {
  // Saved in the order the rows show.
  const int count = fileGrid_->Rows();
  std::vector<ShellFilter> filters(static_cast<std::size_t>(count));
  for (int row = 1; row <= count; ++row) {
    const int at = fileGrid_->GetDisplayRowOf(row);
    if (at < 1 || at > count)
      continue;
    auto text = [&](int col) { return fileGrid_->GetCell(col, row).toString(); };
    const std::string shown = text(filterColumn);
    const std::string stored = text(storedNameColumn);
    const std::string filter = !stored.empty() && fileNameToText(stored) == shown
                                   ? stored
                                   : fileNameFromQString(toQString(shown));
    filters[static_cast<std::size_t>(at - 1)] = {text(1), text(2), filter, text(4)};
  }
  return filters;
}

void TshellExtensions::applyButtonClick() { saveShellFilters(settingsStore(), rows()); }

void TshellExtensions::okButtonClick() {
  applyButtonClick();
  if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
    sub->close();
  else
    close();
}

void TshellExtensions::cancelButtonClick() {
  if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
    sub->close();
  else
    close();
}

void TshellExtensions::deleteButtonClick() {
  if (fileGrid_->RowSelection().Count == 0 && fileGrid_->GetCurrentDataRow() >= 1 &&
      fileGrid_->GetCurrentDataRow() <= fileGrid_->Rows())
    fileGrid_->SelectCurrentRow();
  fileGrid_->DeleteSelectedRows();
}

void TshellExtensions::fileGridButtonDown(int dataCol, int dataRow) {
  if (dataRow < 1 || dataRow > fileGrid_->Rows())
    return;
  if (dataCol == filterColumn) {
    FileDialog dialog(this, QStringLiteral("Open"),
                      QStringLiteral("Marrowen filter file (*.fll)|*.fll"));
    dialog.setObjectName(QStringLiteral("OpenDialog1"));
    dialog.setFileMode(FileDialog::ExistingFile);
    if (DialogRunner::exec(dialog) == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
      const std::string name = fileNameFromQString(dialog.selectedFiles().front());
      fileGrid_->SetCell(filterColumn, dataRow, Variant(fileNameToText(name)));
      fileGrid_->SetCell(storedNameColumn, dataRow, Variant(name));
    }
  } else if (dataCol == 4) {
    QMenu presets(this);
    for (const std::string &preset : shellCommandPresets())
      presets.addAction(toQString(preset));
    if (QAction *chosen = presets.exec(QCursor::pos()))
      fileGrid_->SetCell(4, dataRow, Variant(fromQString(chosen->text())));
  }
}

bool TshellExtensions::eventFilter(QObject *watched, QEvent *event) {
  if (watched == fileGrid_ && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent *>(event)->key() == Qt::Key_Delete && !fileGrid_->EditorMode()) {
    deleteButtonClick();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void showShellExtensions() {
  TmainForm *main = TmainForm::instance();
  if (!main)
    return;
  TshellExtensions *window = TshellExtensions::instance();
  if (!window) {
    window = new TshellExtensions;
    QMdiSubWindow *sub = main->mdiArea().addSubWindow(window);
    sub->setAttribute(Qt::WA_DeleteOnClose);
  }
  auto *sub = qobject_cast<QMdiSubWindow *>(window->parentWidget());
  if (sub) {
    sub->show();
    main->mdiArea().setActiveSubWindow(sub);
  }
}

void installShellExtensions() {
  mainFormHooks().commands.Customizeshellextensions1 = showShellExtensions;
}

} // namespace marrowen
