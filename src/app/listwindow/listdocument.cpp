#include "app/listwindow/listdocument.h"

#include "app/jobs/windowjobhost.h"
#include "app/main/mainform.h"
#include "classlib/asciitext.h"
#include "classlib/exceptions.h"
#include "classlib/format.h"
#include "classlib/scopeexit.h"
#include "classlib/streams.h"
#include "classlib/stringlist.h"
#include "engine/inputs.h"
#include "engine/messages.h"
#include "engine/outputs.h"
#include "engine/userinterface.h"
#include "engine/utilities.h"
#include "filterlist/commentnodes.h"
#include "filterlist/filtertree.h"
#include "filterlist/ionodes.h"
#include "qtext/qtext.h"

#include <sys/stat.h>

#include <algorithm>

namespace marrowen {

int subtreeEnd(const TFilterList &list, int index) {
  const int level = list.nodes[static_cast<std::size_t>(index)].level;
  int end = index + 1;
  while (end < list.count() && list.nodes[static_cast<std::size_t>(end)].level > level)
    ++end;
  return end;
}

namespace {

// A list's nodes as the window's tree, so that a list without a window is
// edited by the window's own rules; the tree goes back into the list.
class ListAsTree {
public:
  ListAsTree(TFilterList &list, int selected) : list_(list) {
    tree.buildTree(list);
    tree.selected = selected;
  }
  void writeBack() {
    list_.nodes.clear();
    for (FilterTreeItem &item : tree.items)
      list_.nodes.push_back({std::move(item.node), {}, item.level, item.expanded});
  }
  FilterTree tree;

private:
  TFilterList &list_;
};

// The grid rules over a list's own rows.
class ListRows : public FileRowStore {
public:
  explicit ListRows(std::vector<FileGridRow> &rows) : rows_(rows) {}
  int rowCount() const override { return static_cast<int>(rows_.size()); }
  std::string cell(int col, int row) const override {
    const FileGridRow &r = rows_[static_cast<std::size_t>(row - 1)];
    return col == 1 ? r.pathMask : col == 2 ? r.subfolders : r.action;
  }
  void setCell(int col, int row, const std::string &value) override {
    FileGridRow &r = rows_[static_cast<std::size_t>(row - 1)];
    (col == 1 ? r.pathMask : col == 2 ? r.subfolders : r.action) = value;
  }
  void appendRow() override { rows_.emplace_back(); }

private:
  std::vector<FileGridRow> &rows_;
};

bool validSubfolders(const std::string &value) {
  if (value == "All" || value == "None" || value == "1 level")
    return true;
  return value.size() == 8 && value[0] >= '2' && value[0] <= '9' && value.substr(1) == " levels";
}

bool validAction(const std::string &value) {
  return value == "Add" || value == "Subtract" || value == "Ignore";
}

} // namespace

void applyRowRules(FileRowStore &rows, int row) {
  if (row < 1 || row > rows.rowCount())
    return;
  auto rule = [&](int col, const char *first, bool (*valid)(const std::string &)) {
    std::string value = rows.cell(col, row);
    if (value.empty())
      value = row == 1 ? std::string(first) : rows.cell(col, row - 1);
    if (!valid(value))
      value = first;
    rows.setCell(col, row, value);
  };
  rule(2, "None", validSubfolders);
  rule(3, "Add", validAction);
}

int addFileRow(FileRowStore &rows, const std::string &name) {
  const int count = rows.rowCount();
  int target;
  if (count == 0) {
    rows.appendRow();
    target = 1;
  } else if (rows.cell(1, count).empty()) {
    target = count;
  } else {
    // The new row takes the choices of the last row above it.
    applyRowRules(rows, count);
    rows.appendRow();
    target = count + 1;
    rows.setCell(2, target, rows.cell(2, count));
    rows.setCell(3, target, rows.cell(3, count));
  }
  rows.setCell(1, target, name);
  applyRowRules(rows, target);
  rows.makeCurrent(target);
  return target;
}

std::string subfoldersChoice(int levels) {
  if (levels == 0)
    return "None";
  if (levels == 1)
    return "1 level";
  if (levels >= 2 && levels <= 9)
    return Format("%d levels", {levels});
  return levels == 255 ? "All" : std::string();
}

int addFileRowFromActiveX(FileRowStore &rows, const std::string &name, int subfolders, int action) {
  const int row = addFileRow(rows, name);
  if (const std::string choice = subfoldersChoice(subfolders); !choice.empty())
    rows.setCell(2, row, choice);
  static const char *actions[] = {"Add", "Subtract", "Ignore"};
  if (action >= 1 && action <= 3)
    rows.setCell(3, row, actions[action - 1]);
  return row;
}

std::string filterNameOf(const std::string &fileName, int untitledNumber) {
  if (fileName.empty())
    return translateFormat(4510, "Untitled%d", {untitledNumber});
  std::string name = fileName.substr(fileName.find_last_of('/') + 1);
  if (const std::size_t cut = asciiLowerCase(name).find(".fll"); cut != std::string::npos)
    name.resize(cut);
  return name;
}

QString filterTitleOf(const std::string &fileName, int untitledNumber) {
  return fileNameToQString(filterNameOf(fileName, untitledNumber));
}

std::string fileGridEntryOf(const std::string &name) {
  std::string entry;
  expandLongPathName(name, entry);
  if (entry.empty())
    entry = name;
  return fileGridEntry(std::move(entry));
}

TInputObject *FilterListTarget::inputNode() {
  TFilterList &list = filterList();
  return list.count() > 1 ? dynamic_cast<TInputObject *>(&list.node(1)) : nullptr;
}

TOutputObject *FilterListTarget::outputNode() {
  TFilterList &list = filterList();
  return list.count() > 2 ? dynamic_cast<TOutputObject *>(&list.node(list.count() - 1)) : nullptr;
}

std::unique_ptr<TOutputObject> FilterListTarget::outputAsShown() {
  TOutputObject *output = outputNode();
  if (!output)
    return nullptr;
  return std::unique_ptr<TOutputObject>(
      static_cast<TOutputObject *>(TFilterList::cloneListObject(*output).release()));
}

TCompiledFilter::TCompiledFilter(std::unique_ptr<TFilter> inner)
    : input_(std::make_unique<TStringInput>("text")) {
  input_->setNext(std::move(inner));
  input_->lastFilter()->setNext(std::make_unique<TStringOutput>(result_));
  input_->attachJob(nullptr);
}

TCompiledFilter::~TCompiledFilter() = default;

std::string TCompiledFilter::process(std::string text) {
  if (running_)
    throw Exception("The filter list is already running a text");
  running_ = true;
  const ScopeExit ran{[this] { running_ = false; }};
  result_.clear();
  input_->setText(std::move(text));
  if (!callerAwaitsAnswer()) {
    input_->runInput();
    return std::move(result_);
  }
  ReportsForCaller reports;
  input_->runInput();
  if (!reports.errors().empty()) {
    std::string errors;
    for (const std::string &error : reports.errors())
      errors += (errors.empty() ? "" : "\n") + error;
    throw Exception(errors);
  }
  return std::move(result_);
}

void FilterListTarget::resetFiltersOnly() {
  beginBulkUpdate();
  TFilterList &list = filterList();
  list.resetToTopNode();
  list.addNode(TInputObject::CreateDefault(), 1);
  list.addNode(TOutputObject::CreateDefault(), 1);
  select(1);
  endBulkUpdate();
}

void FilterListTarget::saveFilterListAs(const std::string &fileName) {
  storeEditor();
  filterList().saveToFile(fileName);
  setFilterHasChanged(false);
}

void FilterListTarget::clearAllFiles() {
  if (!filterList().files.empty())
    setFilterHasChanged(true);
  filterList().files.clear();
}

void FilterListTarget::addFileFromActiveX(const std::string &name, int subfolders, int action) {
  ListRows rows(filterList().files);
  addFileRowFromActiveX(rows, name, subfolders, action);
  setFilterHasChanged(true);
}

std::unique_ptr<TFilter> FilterListTarget::buildChain(bool clipboard, bool innerOnly,
                                                      std::string *error) {
  storeEditor();
  TFilterList &list = filterList();
  int errorIndex = -1;
  try {
    list.logOptionsFromTopNode();
    return list.createFilters(clipboard, innerOnly, errorIndex);
  } catch (const std::exception &failure) {
    if (errorIndex >= 0)
      select(errorIndex);
    if (error)
      *error = failure.what();
    if (callerAwaitsAnswer())
      throw;
    showBuildError(failure.what());
    return nullptr;
  }
}

void FilterListTarget::showBuildError(const std::string &text) {
  if (TmainForm *main = TmainForm::instance())
    main->logError(text);
  else
    showMessageBox(MessageBoxKind::Error, text);
}

std::string FilterListTarget::compileFilter() {
  compiled_.reset();
  // The error is the answer, which the caller shows or not as it likes.
  const CallerReportsFailures answered;
  try {
    if (std::unique_ptr<TFilter> inner = buildChain(false, true))
      compiled_ = std::make_shared<TCompiledFilter>(std::move(inner));
  } catch (const std::exception &error) {
    return error.what();
  }
  return {};
}

std::string FilterListTarget::processTextWithCompiledFilter(std::string text) {
  const std::shared_ptr<TCompiledFilter> compiled = compiled_;
  return compiled ? compiled->process(std::move(text)) : std::string();
}

std::string FilterListTarget::processText(std::string text) {
  if (std::string error = compileFilter(); !error.empty())
    throw Exception(error);
  return processTextWithCompiledFilter(std::move(text));
}

void FilterListTarget::beginButtonClick(bool clipboard) {
  std::unique_ptr<TFilter> chain = buildChain(clipboard, false);
  auto *input = dynamic_cast<TGenericInput *>(chain.get());
  if (!input)
    return;
  chain.release();
  const LogOptions &log = filterList().log;
  JobOptions options;
  options.filterName = getFilterName();
  options.closeStatusWhenDone = false;
  options.deferLogging = true;
  options.loggingOn = log.enabled;
  options.logFileName = log.fileName;
  options.appendToLog = log.append;
  options.lineLimit = log.lineThreshold;
  if (TmainForm *main = TmainForm::instance()) {
    options.playSound = main->settings().playSound;
    options.soundFile = main->settings().soundFile;
  }
  startJob(std::unique_ptr<TGenericInput>(input), std::move(options));
}

void FilterListTarget::startJob(std::unique_ptr<TGenericInput> chain, JobOptions options) {
  if (TmainForm *main = TmainForm::instance())
    main->jobHost().startJob(std::move(chain), std::move(options));
}

TListDocument::TListDocument() { resetFilterList(); }
TListDocument::~TListDocument() = default;

int TListDocument::addFilter(std::unique_ptr<TListObject> node) {
  ListAsTree edit(list_, selected_);
  selected_ = edit.tree.addFilter(std::move(node));
  edit.writeBack();
  changed_ = true;
  return selected_;
}

void TListDocument::MoveTreeNode(int source, int target) {
  ListAsTree edit(list_, selected_);
  selected_ = edit.tree.MoveTreeNode(source, target);
  edit.writeBack();
  changed_ = true;
}

std::string TListDocument::getFilterName() const { return filterNameOf(fileName_, 1); }

bool TListDocument::loadFilterList(const std::string &fileName, const LoadListOptions &load) {
  const bool inserting = load.inserting;
  if (!inserting)
    list_.resetToDefault();
  const int at = inserting ? ListAsTree(list_, selected_).tree.fileInsertionIndex() : 0;
  FilterFileLoadOptions options;
  options.inserting = inserting;
  options.wantOptions = load.takeOptions;
  options.insertionIndex = at;
  list_.loadFromFile(fileName, options);
  if (!inserting) {
    fileName_ = fileName;
    changed_ = false;
  } else {
    changed_ = true;
  }
  if (selected_ < 0 || selected_ >= list_.count())
    selected_ = std::min(1, list_.count() - 1);
  return true;
}

void TListDocument::resetFilterList() {
  list_.resetToDefault();
  list_.files.clear();
  fileName_.clear();
  changed_ = false;
  selected_ = std::min(1, list_.count() - 1);
}

std::string fileGridEntry(std::string name) {
  struct stat info {};
  if (name.find_first_of("*?") == std::string::npos && ::stat(name.c_str(), &info) == 0 &&
      S_ISDIR(info.st_mode)) {
    while (name.size() > 1 && name.back() == '/')
      name.pop_back();
    name += name == "/" ? "*.*" : "/*.*";
  }
  return name;
}

bool TListDocument::testThenAdd(const std::string &name) {
  ListRows rows(list_.files);
  addFileRow(rows, fileGridEntryOf(name));
  changed_ = true;
  return true;
}

void TListDocument::setLastSubfolders(const std::string &value) {
  if (!list_.files.empty())
    list_.files.back().subfolders = value;
}

void TListDocument::setLastAction(const std::string &value) {
  if (!list_.files.empty())
    list_.files.back().action = value;
}

void TListDocument::processFile(const std::string &listFile) {
  TStringList lines;
  lines.SetText(readSettingsFile(listFile, listFileLimit));
  for (int i = 0; i < lines.Count(); ++i)
    testThenAdd(lines.Strings(i));
}

std::unique_ptr<TGenericInput> TListDocument::createFilters() {
  std::unique_ptr<TFilter> chain = buildChain(false, false);
  if (auto *input = dynamic_cast<TGenericInput *>(chain.get())) {
    chain.release();
    return std::unique_ptr<TGenericInput>(input);
  }
  return nullptr;
}

void TListDocument::saveFilterListAs(const std::string &fileName) {
  FilterListTarget::saveFilterListAs(fileName);
  fileName_ = fileName;
}

void TListDocument::showBuildError(const std::string &text) {
  if (onError)
    onError(text);
  else
    showMessageBox(MessageBoxKind::Error, text);
}

void TListDocument::startJob(std::unique_ptr<TGenericInput> chain, JobOptions options) {
  if (onStartJob)
    onStartJob(std::move(chain), std::move(options));
  else
    FilterListTarget::startJob(std::move(chain), std::move(options));
}

} // namespace marrowen
