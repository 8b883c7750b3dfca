#include "app/listdocument.h"

#include "app/mainform.h"
#include "app/windowjobhost.h"
#include "classlib/format.h"
#include "classlib/stringlist.h"
#include "engine/inputs.h"
#include "engine/messages.h"
#include "engine/outputs.h"
#include "engine/userinterface.h"
#include "filterlist/commentnodes.h"
#include "filterlist/ionodes.h"

#include <sys/stat.h>

#include <algorithm>

namespace marrowen {

int TreePlacement::subtreeEnd(const TFilterList &list, int index) {
  const int level = list.nodes[static_cast<std::size_t>(index)].level;
  int end = index + 1;
  while (end < list.count() && list.nodes[static_cast<std::size_t>(end)].level > level)
    ++end;
  return end;
}

std::pair<int, int> TreePlacement::insertionPoint(const TFilterList &list, int selected) {
  const int count = list.count();
  if (selected > 0 && selected < count) {
    if (count > 2 && selected == count - 1)
      --selected;
    return {subtreeEnd(list, selected), list.nodes[static_cast<std::size_t>(selected)].level};
  }
  if (count < 3)
    return {1, 1};
  return {2, list.nodes[2].level};
}

int TreePlacement::addFilter(TFilterList &list, int selected, std::unique_ptr<TListObject> node) {
  if (list.count() == 0)
    list.resetToTopNode();
  const auto [index, level] = insertionPoint(list, selected);
  list.insertNode(index, std::move(node), level, true);
  return index;
}

int TreePlacement::moveTreeNode(TFilterList &list, int source, int target) {
  const int end = subtreeEnd(list, source);
  if (target >= source && target < end)
    return source; // a node cannot go under itself
  std::vector<TFilterList::Entry> moved;
  for (int i = source; i < end; ++i)
    moved.push_back(std::move(list.nodes[static_cast<std::size_t>(i)]));
  list.nodes.erase(list.nodes.begin() + source, list.nodes.begin() + end);
  if (target > source)
    target -= end - source;
  const int shift = list.nodes[static_cast<std::size_t>(target)].level + 1 - moved.front().level;
  const int at = subtreeEnd(list, target);
  for (auto &entry : moved)
    entry.level += shift;
  list.nodes.insert(list.nodes.begin() + at, std::make_move_iterator(moved.begin()),
                    std::make_move_iterator(moved.end()));
  return at;
}

TInputObject *FilterListTarget::inputNode() {
  TFilterList &list = filterList();
  return list.count() > 1 ? dynamic_cast<TInputObject *>(&list.node(1)) : nullptr;
}

TOutputObject *FilterListTarget::outputNode() {
  TFilterList &list = filterList();
  return list.count() > 2 ? dynamic_cast<TOutputObject *>(&list.node(list.count() - 1)) : nullptr;
}

TCompiledFilter::TCompiledFilter(std::unique_ptr<TFilter> inner)
    : input_(std::make_unique<TStringInput>("text")) {
  input_->setNext(std::move(inner));
  input_->lastFilter()->setNext(std::make_unique<TStringOutput>(result_));
  input_->attachJob(nullptr);
}

TCompiledFilter::~TCompiledFilter() = default;

std::string TCompiledFilter::process(std::string text) {
  result_.clear();
  input_->setText(std::move(text));
  input_->runInput();
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
  auto &files = filterList().files;
  // A new row takes the choices of the row above it, as a typed one does.
  FileGridRow row{name, "None", "Add"};
  if (!files.empty() && !files.back().pathMask.empty()) {
    row.subfolders = files.back().subfolders;
    row.action = files.back().action;
    files.push_back(std::move(row));
  } else if (files.empty()) {
    files.push_back(std::move(row));
  } else {
    files.back().pathMask = name;
  }
  FileGridRow &last = files.back();
  if (subfolders == 0)
    last.subfolders = "None";
  else if (subfolders == 1)
    last.subfolders = "1 level";
  else if (subfolders >= 2 && subfolders <= 9)
    last.subfolders = Format("%d levels", {subfolders});
  else if (subfolders == 255)
    last.subfolders = "All";
  if (action >= 1 && action <= 3)
    last.action = action == 1 ? "Add" : action == 2 ? "Subtract" : "Ignore";
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
  std::string error;
  if (std::unique_ptr<TFilter> inner = buildChain(false, true, &error))
    compiled_ = std::make_unique<TCompiledFilter>(std::move(inner));
  return error;
}

std::string FilterListTarget::processTextWithCompiledFilter(std::string text) {
  return compiled_ ? compiled_->process(std::move(text)) : std::string();
}

std::string FilterListTarget::processText(std::string text) {
  compileFilter();
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
  selected_ = TreePlacement::addFilter(list_, selected_, std::move(node));
  changed_ = true;
  return selected_;
}

void TListDocument::MoveTreeNode(int source, int target) {
  selected_ = TreePlacement::moveTreeNode(list_, source, target);
  changed_ = true;
}

std::string TListDocument::getFilterName() const {
  if (fileName_.empty())
    return translateFormat(4510, "Untitled%d", {1});
  std::string name = fileName_.substr(fileName_.find_last_of('/') + 1);
  std::string upper = name;
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  if (const auto cut = upper.find(".FLL"); cut != std::string::npos)
    name.resize(cut);
  return name;
}

void TListDocument::loadFilterList(const std::string &fileName, const LoadListOptions &load) {
  const bool inserting = load.inserting;
  if (!inserting)
    list_.resetToDefault();
  // Inserted filters go after the selected one; with the top or the input
  // selected, after the filters already there.
  const int cursor = selected_ < 2 ? list_.count() - 1 : selected_;
  const int at = inserting ? TreePlacement::insertionPoint(list_, cursor).first : 0;
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
  const std::string entry = fileGridEntry(name);
  // A new row takes the choices of the row above it.
  FileGridRow row{entry, "None", "Add"};
  if (!list_.files.empty()) {
    row.subfolders = list_.files.back().subfolders;
    row.action = list_.files.back().action;
  }
  list_.files.push_back(std::move(row));
  changed_ = true;
  return true;
}

void TListDocument::setLastSubfolders(const std::string &value) {
  if (!list_.files.empty())
    list_.files.back().subfolders = value;
}

void TListDocument::processFile(const std::string &listFile) {
  TStringList lines;
  lines.LoadFromFile(listFile);
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
