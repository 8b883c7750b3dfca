// The files to process: the grid of file masks with their subfolder and
// action choices, and the buttons beside it.
#include "app/listwindow/childform.h"

#include "app/common/launcher.h"
#include "app/main/appsettings.h"
#include "classlib/exceptions.h"
#include "classlib/format.h"
#include "classlib/streams.h"
#include "classlib/stringlist.h"
#include "components/browsedir.h"
#include "components/dialogrunner.h"
#include "engine/messages.h"
#include "engine/userinterface.h"
#include "engine/utilities.h"
#include "filterlist/filterfile.h"
#include "grid/data/colrow.h"
#include "grid/data/font.h"
#include "grid/data/keys.h"
#include "grid/editing/combo.h"
#include "grid/widget/dgbasegrid.h"
#include "qtext/qtext.h"

#include <QHBoxLayout>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace marrowen {

namespace {

constexpr TColor aqua = 16776960;

std::string cellText(TdgGrid &grid, int col, int row) { return grid.GetCell(col, row).toString(); }

// The name the user means by a cell's text: its bytes, as the grid shows them
// as a name (a typed letter goes into the cell as its UTF-8).
std::string fileNameShownAs(const std::string &shown) { return shown; }

// The adding rules over the window's grid, row by row as the user sees
// them: a row inserted between others is a data row of the end, so "the row
// above" and "the last row" are found through the display order. A group
// heading's name paints its row aqua, and the row a rule adds to becomes the
// current one.
class GridRows : public FileRowStore {
public:
  explicit GridRows(TchildForm &form) : form_(form), grid_(form.fileGrid()) {}
  int rowCount() const override { return grid_.Rows(); }
  std::string cell(int col, int row) const override {
    const int data = grid_.GetDataRow(row);
    return col == 1 ? form_.fileNameAt(data) : cellText(grid_, col, data);
  }
  void setCell(int col, int row, const std::string &value) override {
    const int data = grid_.GetDataRow(row);
    if (col == 1)
      form_.setFileNameAt(data, value);
    else
      grid_.SetCell(col, data, Variant(value));
  }
  void appendRow() override { grid_.SetRows(grid_.Rows() + 1); }
  void makeCurrent(int row) override { grid_.SetCurrentDataRow(grid_.GetDataRow(row)); }

private:
  TchildForm &form_;
  TdgGrid &grid_;
};

} // namespace

void TchildForm::buildFilesPage() {
  auto *layout = new QVBoxLayout(filesTab);
  fileGrid_ = new TdgGrid(filesTab);
  fileGrid_->setObjectName(QStringLiteral("fileGrid"));
  fileGrid_->SetName("fileGrid");
  fileGrid_->SetStoreData(true);
  fileGrid_->SetShowsFileNames(true);
  fileGrid_->SetCols(3);
  fileGrid_->SetRows(0);
  fileGrid_->SetGridMode(gmEditInsert);
  fileGrid_->SetRowSelectMode(rsMulti);
  fileGrid_->SetScrollBars(ssVertical);
  fileGrid_->SetHeadingButton(hbButton);
  const char *headings[] = {"Filename or folder name (with wildcards)", "Subfolders", "Action"};
  for (int c = 1; c <= 3; ++c)
    fileGrid_->GetCol(Variant(c))->SetHeading(headings[c - 1]);
  fileGrid_->GetCol(Variant(1))->SetButtonType(btNormal);
  fileGrid_->GetCol(Variant(2))->SetWidth(90);
  fileGrid_->GetCol(Variant(3))->SetWidth(80);
  std::vector<std::string> subfolderChoices = {"None", "All", "1 level"};
  for (int levels = 2; levels <= 9; ++levels)
    subfolderChoices.push_back(Format("%d levels", {levels}));
  const std::vector<std::string> actionChoices = {"Add", "Subtract", "Ignore"};
  GiveDropDownList(*fileGrid_->GetCol(Variant(2)), subfolderChoices)
      .SetDropDownRows(static_cast<int>(subfolderChoices.size()));
  GiveDropDownList(*fileGrid_->GetCol(Variant(3)), actionChoices)
      .SetDropDownRows(static_cast<int>(actionChoices.size()));
  layout->addWidget(fileGrid_, 1);

  fileGrid_->OnInsertRow = [this](TdgBaseGrid *, int row, bool) {
    forgetSpelling(row);
    applyRowRules(row);
  };
  // Rows after a deleted one move up a data row; their spellings follow.
  fileGrid_->OnDeleteRow = [this](TdgBaseGrid *, int row, bool) {
    if (row >= 1 && row <= static_cast<int>(spelledNames_.size()))
      spelledNames_.erase(spelledNames_.begin() + (row - 1));
  };
  fileGrid_->OnRowCountChanged = [this](TdgBaseGrid *, int, int) {
    setFilterHasChanged(true);
    checkButtonsEnableStatus();
  };
  // The files are processed and saved in the order shown.
  fileGrid_->OnRowMoved = [this](TdgBaseGrid *, int, int, bool) { setFilterHasChanged(true); };
  fileGrid_->OnCellEdit = [this](TdgBaseGrid *, int col, int row, bool) {
    if (col == 1 && row >= 1 && row <= fileGrid_->Rows())
      fileGrid_->SetRowColor(row, cellText(*fileGrid_, 1, row).starts_with(':') ? aqua : clNone);
    setFilterHasChanged(true);
  };
  fileGrid_->OnDblClickCell = [this](TdgBaseGrid *, int col, int row, TdgClickPosition) {
    fileGridDblClick(col, row);
  };
  fileGrid_->OnHeadingClick = [this](TdgBaseGrid *, int) { sortFileGrid(); };
  fileGrid_->OnButtonClick = [this](TdgBaseGrid *, int col, int) {
    if (col != 1)
      return;
    const QStringList names = runFileDialog(this, toQString(translate(4550, "File(s) to Process")),
                                            QStringLiteral("All files (*.*)|*.*"), false);
    for (const QString &name : names)
      testThenAdd(fileNameFromQString(name));
  };
  fileGrid_->OnKeyDown = [this](TCustomGrid_dg *, std::uint16_t &key, TShiftState shift) {
    // Delete takes the rows selected at their row bar; with none selected it
    // edits the cell's text.
    if (key == VK_DELETE && !shift.has(ssShift) && !shift.has(ssCtrl) && !shift.has(ssAlt) &&
        fileGrid_->RowSelection().Count > 0) {
      removeFile();
      key = 0;
    }
  };

  auto *buttons = new QHBoxLayout;
  layout->addLayout(buttons);
  auto button = [this, buttons](const char *name, const QString &caption) {
    auto *b = new QPushButton(caption, filesTab);
    b->setObjectName(QString::fromLatin1(name));
    buttons->addWidget(b);
    return b;
  };
  addDirectoryButton = button("addDirectoryButton", QStringLiteral("A&dd folder"));
  insertNewRowButton = button("insertNewRowButton", QStringLiteral("Insert r&ow"));
  copyFileRow = button("copyFileRow", QStringLiteral("Cop&y row"));
  viewButton = button("viewButton", QStringLiteral("&View"));
  newFileGroupButton = button("newFileGroupButton", QStringLiteral("&New group"));
  loadFromFileButton = button("loadFromFileButton", QStringLiteral("Load..."));
  saveToFileButton = button("saveToFileButton", QStringLiteral("Save..."));
  buttons->addStretch(1);
  connect(addDirectoryButton, &QPushButton::clicked, this, [this] {
    // Owned by the window, which may be closed while the picker runs: it
    // goes with the window then, and nothing more happens.
    const QPointer<TBrowseDirectoryDlg> picker = new TBrowseDirectoryDlg(this);
    picker->SetTitle(QStringLiteral("Choose a folder"));
    picker->SetCaption(QStringLiteral("Select a folder to process"));
    picker->SetOptions(TBrowseDirectoryDlg::bfDirectoriesOnly | TBrowseDirectoryDlg::bfAncestors);
    // The status line, made only for a text present as the picker opens,
    // then names each folder the user selects.
    picker->SetStatusText(QStringLiteral(" "));
    picker->SetShowSelectionInStatus(true);
    const bool chosen = picker->Execute();
    if (!picker)
      return;
    const QString folder = picker->Selection();
    delete picker.data();
    if (chosen)
      testThenAdd(fileNameFromQString(folder));
  });
  connect(insertNewRowButton, &QPushButton::clicked, this, &TchildForm::insertNewRowButtonClick);
  connect(newFileGroupButton, &QPushButton::clicked, this, &TchildForm::newFileGroupButtonClick);
  connect(copyFileRow, &QPushButton::clicked, this, &TchildForm::copyFileRowClick);
  connect(viewButton, &QPushButton::clicked, this, &TchildForm::viewButtonClick);
  connect(loadFromFileButton, &QPushButton::clicked, this, [this] {
    const QStringList names =
        runFileDialog(this, toQString(translate(4570, "List File(s) to Open")),
                      QStringLiteral("Text files (*.txt)|*.txt|All files (*.*)|*.*"), false, {}, {},
                      QStringLiteral("All files (*.*)"));
    const QPointer<TchildForm> self(this);
    for (const QString &name : names) {
      try {
        processFile(fileNameFromQString(name));
      } catch (const std::exception &error) {
        messageBox(QMessageBox::Critical, error.what());
        // The window may have gone while the message was shown.
        if (!self)
          return;
      }
    }
  });
  connect(saveToFileButton, &QPushButton::clicked, this, [this] {
    const QStringList names =
        runFileDialog(this, QStringLiteral("Save File List"),
                      QStringLiteral("Text files (*.txt)|*.txt|All files (*.*)|*.*"), true, {},
                      QStringLiteral("txt"));
    if (!names.isEmpty())
      saveFileList(fileNameFromQString(names.front()));
  });
  auto *gridMenu = new QMenu(fileGrid_);
  gridMenu->setObjectName(QStringLiteral("gridMenu"));
  QAction *copy = gridMenu->addAction(QStringLiteral("Copy to Trial Input"));
  copy->setObjectName(QStringLiteral("CopytoAdhocInput1"));
  connect(copy, &QAction::triggered, this, [this] {
    const int row = fileGrid_->GetCurrentDataRow();
    if (row >= 1 && row <= fileGrid_->Rows())
      loadIntoAdhocInput(getFirstFileMatching(fileNameAt(row)));
    else
      loadIntoAdhocInput({});
  });
  fileGrid_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(fileGrid_, &QWidget::customContextMenuRequested, this,
          [this, gridMenu](const QPoint &at) { gridMenu->popup(fileGrid_->mapToGlobal(at)); });
}

std::string TchildForm::fileNameAt(int dataRow) const {
  const std::string shown = cellText(*fileGrid_, 1, dataRow);
  if (dataRow >= 1 && dataRow <= static_cast<int>(spelledNames_.size())) {
    const std::string &spelled = spelledNames_[static_cast<std::size_t>(dataRow - 1)];
    if (!spelled.empty() && fileNameToText(spelled) == shown)
      return spelled;
  }
  return fileNameShownAs(shown);
}

void TchildForm::setFileNameAt(int dataRow, const std::string &name) {
  if (dataRow < 1 || dataRow > fileGrid_->Rows())
    return;
  const std::string shown = fileNameToText(name);
  fileGrid_->SetCell(1, dataRow, Variant(shown));
  fileGrid_->SetRowColor(dataRow, shown.starts_with(':') ? aqua : clNone);
  forgetSpelling(dataRow);
  if (fileNameShownAs(shown) != name) {
    if (static_cast<int>(spelledNames_.size()) < dataRow)
      spelledNames_.resize(static_cast<std::size_t>(dataRow));
    spelledNames_[static_cast<std::size_t>(dataRow - 1)] = name;
  }
}

void TchildForm::forgetSpelling(int dataRow) {
  if (dataRow >= 1 && dataRow <= static_cast<int>(spelledNames_.size()))
    spelledNames_[static_cast<std::size_t>(dataRow - 1)].clear();
}

std::vector<FileGridRow> TchildForm::fileRows() const {
  std::vector<FileGridRow> rows;
  const int count = fileGrid_->Rows();
  rows.reserve(static_cast<std::size_t>(count));
  for (int r = 1; r <= count; ++r) {
    const int data = fileGrid_->GetDataRow(r);
    rows.push_back(
        {fileNameAt(data), cellText(*fileGrid_, 2, data), cellText(*fileGrid_, 3, data)});
  }
  return rows;
}

void TchildForm::setFileRows(const std::vector<FileGridRow> &rows) {
  fileGrid_->BeginUpdate();
  // Rows inserted between others show out of their data order; the rows
  // given are shown in their own order.
  for (int r = 1; r <= fileGrid_->Rows(); ++r)
    if (fileGrid_->GetDataRow(r) != r) {
      fileGrid_->SetRows(0);
      break;
    }
  fileGrid_->SetRows(static_cast<int>(rows.size()));
  spelledNames_.clear();
  for (int r = 1; r <= static_cast<int>(rows.size()); ++r) {
    const FileGridRow &row = rows[static_cast<std::size_t>(r - 1)];
    setFileNameAt(r, row.pathMask);
    fileGrid_->SetCell(2, r, Variant(row.subfolders));
    fileGrid_->SetCell(3, r, Variant(row.action));
  }
  fileGrid_->EndUpdate();
  checkButtonsEnableStatus();
}

void TchildForm::applyRowRules(int row) {
  GridRows rows(*this);
  marrowen::applyRowRules(rows, fileGrid_->GetDisplayRowOf(row));
}

void TchildForm::addFile(const std::string &name) {
  setFilterHasChanged(true);
  GridRows rows(*this);
  addFileRow(rows, name);
}

bool TchildForm::testThenAdd(const std::string &name) {
  addFile(fileGridEntryOf(name));
  checkButtonsEnableStatus();
  return true;
}

void TchildForm::setLastSubfolders(const std::string &value) {
  if (const int rows = fileGrid_->Rows(); rows > 0)
    fileGrid_->SetCell(2, fileGrid_->GetDataRow(rows), Variant(value));
}

void TchildForm::setLastAction(const std::string &value) {
  if (const int rows = fileGrid_->Rows(); rows > 0)
    fileGrid_->SetCell(3, fileGrid_->GetDataRow(rows), Variant(value));
}

void TchildForm::processFile(const std::string &listFile) {
  statusBarText(translateFormat(4500, "Processing %s", {fileNameToText(listFile)}));
  TStringList lines;
  lines.SetText(readSettingsFile(listFile, listFileLimit));
  for (int i = 0; i < lines.Count(); ++i)
    testThenAdd(lines.Strings(i));
}

void TchildForm::addFileFromActiveX(const std::string &fileSpec, int subfolders, int action) {
  setFilterHasChanged(true);
  GridRows rows(*this);
  addFileRowFromActiveX(rows, fileSpec, subfolders, action);
  checkButtonsEnableStatus();
}

void TchildForm::removeFile() {
  if (fileGrid_->Rows() == 0)
    return;
  if (fileGrid_->RowSelection().Count == 0 && fileGrid_->GetCurrentDataRow() >= 1)
    fileGrid_->SelectCurrentRow();
  fileGrid_->DeleteSelectedRows();
  checkButtonsEnableStatus();
}

void TchildForm::clearAllFiles() {
  fileGrid_->SetRows(0);
  spelledNames_.clear();
  checkButtonsEnableStatus();
  if (TmainForm *main = TmainForm::instance())
    main->statusBarStandardText();
}

void TchildForm::insertNewRowButtonClick() {
  const int current = fileGrid_->GetCurrentDataRow();
  const int rows = fileGrid_->Rows();
  int inserted;
  if (current < 1 || current > rows) {
    fileGrid_->SetRows(rows + 1);
    inserted = rows + 1;
  } else {
    applyRowRules(current);
    fileGrid_->InsertRow(fileGrid_->GetDisplayRowOf(current) + 1);
    inserted = fileGrid_->GetDataRow(fileGrid_->GetDisplayRowOf(current) + 1);
  }
  applyRowRules(inserted);
  fileGrid_->SetCurrentDataRow(inserted);
  checkButtonsEnableStatus();
}

void TchildForm::newFileGroupButtonClick() {
  insertNewRowButtonClick();
  const int row = fileGrid_->GetCurrentDataRow();
  fileGrid_->SetCell(1, row, Variant(translate(4790, ":New file processing group")));
  fileGrid_->SetRowColor(row, aqua);
}

void TchildForm::copyFileRowClick() {
  const int current = fileGrid_->GetCurrentDataRow();
  if (current < 1 || current > fileGrid_->Rows())
    return;
  const std::string cells[] = {fileNameAt(current), cellText(*fileGrid_, 2, current),
                               cellText(*fileGrid_, 3, current)};
  fileGrid_->InsertRow(fileGrid_->GetDisplayRowOf(current) + 1);
  const int copy = fileGrid_->GetDataRow(fileGrid_->GetDisplayRowOf(current) + 1);
  setFileNameAt(copy, cells[0]);
  for (int c = 2; c <= 3; ++c)
    fileGrid_->SetCell(c, copy, Variant(cells[c - 1]));
  checkButtonsEnableStatus();
}

void TchildForm::viewButtonClick() {
  if (fileGrid_->Rows() == 0) {
    statusBarError(translate(4540, "No items selected for viewing"));
    return;
  }
  int row = fileGrid_->GetCurrentDataRow();
  if (row < 1 || row > fileGrid_->Rows())
    row = 1;
  const std::string name = fileNameAt(row);
  if (name.find_first_of("*?") != std::string::npos)
    return;
  if (launcher().openUrl(fileNameToOpenTarget(name))) {
    statusBarText(translateFormat(4530, "Opening %s", {fileNameToText(name)}));
    return;
  }
  statusBarError(translateFormat(4520, "No association for %s - opening in default editor",
                                 {fileNameToText(name)}));
  std::string editor;
  if (TmainForm *main = TmainForm::instance())
    editor = main->settings().editor;
  openInEditor(fileNameToQString(editor), fileNameToQString(name));
}

void TchildForm::fileGridDblClick(int col, int row) {
  if (row < 1 || row > fileGrid_->Rows())
    return;
  if (col == 1) {
    viewButtonClick();
  } else if (col == 2) {
    fileGrid_->SetCell(2, row, Variant(cellText(*fileGrid_, 2, row) == "All" ? "None" : "All"));
    setFilterHasChanged(true);
  } else if (col == 3) {
    fileGrid_->SetCell(3, row, Variant(cellText(*fileGrid_, 3, row) == "Add" ? "Subtract" : "Add"));
    setFilterHasChanged(true);
  }
}

void TchildForm::sortFileGrid() {
  // Bytewise and stable: rows with equal names keep their order.
  std::vector<FileGridRow> rows = fileRows();
  const auto byName = [](const FileGridRow &a, const FileGridRow &b) {
    return a.pathMask < b.pathMask;
  };
  if (std::is_sorted(rows.begin(), rows.end(), byName))
    return;
  std::stable_sort(rows.begin(), rows.end(), byName);
  setFileRows(rows);
  // The files are saved in the new order.
  setFilterHasChanged(true);
}

void TchildForm::saveFileList(const std::string &fileName) {
  statusBarText(translateFormat(4560, "Saving file list to %s", {fileNameToText(fileName)}));
  std::string text;
  for (const FileGridRow &row : fileRows())
    text += row.pathMask + "\r\n";
  try {
    writeFileBytesSafely(fileName, text);
    // Saved: the message was about the saving, which is over.
    statusBarText({});
  } catch (const std::exception &error) {
    if (TmainForm *main = TmainForm::instance())
      main->logError(error.what());
    else
      messageBox(QMessageBox::Critical, error.what());
  }
}

void TchildForm::showFilesPage() { Tabs->setCurrentWidget(filesTab); }

} // namespace marrowen
