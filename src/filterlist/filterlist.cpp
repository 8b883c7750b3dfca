#include "filterlist/filterlist.h"
#include "filterlist/nodecatalog.h"

#include "classlib/format.h"
#include "classlib/scopeexit.h"
#include "engine/filter.h"
#include "engine/inputs.h"
#include "engine/messages.h"
#include "engine/outputs.h"
#include "engine/subchain.h"
#include "engine/userinterface.h"
#include "filterlist/classregistry.h"
#include "filterlist/commentnodes.h"
#include "filterlist/filtertree.h"
#include "filterlist/ionodes.h"

#include <algorithm>
#include <set>
#include <unordered_map>

namespace marrowen {

namespace {

std::string subfolderSpelling(char letter) {
  switch (letter) {
  case 'I':
  case 'A':
    return "All";
  case 'N':
  case 'E':
    return "None";
  case '1':
    return "1 level";
  default:
    if (letter >= '2' && letter <= '9')
      return Format("%d levels", {letter - '0'});
    return {};
  }
}

std::string actionSpelling(char letter) {
  switch (letter) {
  case 'I':
    return "Ignore";
  case 'S':
    return "Subtract";
  default:
    return "Add";
  }
}

} // namespace

// The state of one createFilters: the node being built, and which node made
// each filter, so that a failure can name its node.
struct TFilterList::Build {
  int current = -1;
  std::unordered_map<const TFilter *, int> owners;

  // Each filter also carries its node's title, for the failures it raises
  // while it runs.
  void own(TFilter *filter, int index, const std::string &title) {
    for (; filter; filter = filter->next()) {
      owners.insert_or_assign(filter, index);
      filter->setNodeTitle(title);
    }
  }
};

// A chain being built, its last filter at hand: a list of many thousand
// filters is built without walking the chain again for each one.
struct TFilterList::BuiltChain {
  std::unique_ptr<TFilter> head;
  TFilter *last = nullptr;

  // Appends `filter` and the filters after it.
  void append(std::unique_ptr<TFilter> filter) {
    if (!filter)
      return;
    TFilter *added = filter.get();
    if (head)
      last->setNext(std::move(filter));
    else
      head = std::move(filter);
    last = added->lastFilter();
  }
  void append(BuiltChain other) {
    if (!other.head)
      return;
    if (head)
      last->setNext(std::move(other.head));
    else
      head = std::move(other.head);
    last = other.last;
  }
};

TFilterList::TFilterList() { registerNodeClasses(); }

TFilterList::~TFilterList() = default;

TListObject &TFilterList::node(int index) const {
  return *nodes.at(checkedIndex(index, nodes.size())).node;
}

TListObject *TFilterList::firstObject() const {
  return nodes.empty() ? nullptr : nodes.front().node.get();
}

void TFilterList::insertNode(int index, std::shared_ptr<TListObject> node, int level, bool expanded,
                             std::string text) {
  if (level < 0 || level > maxLevel || index < 0 || index > count() || !node)
    throw ERangeError();
  nodes.insert(nodes.begin() + index, Entry{std::move(node), std::move(text), level, expanded});
}

void TFilterList::addNode(std::shared_ptr<TListObject> node, int level, bool expanded) {
  insertNode(count(), std::move(node), level, expanded);
}

void TFilterList::resetToTopNode() {
  nodes.clear();
  nodes.push_back(Entry{TFilterCommentObject::CreateDefault(), {}, 0, true});
  insertionIndex_ = 1;
}

void TFilterList::resetToDefault() {
  resetToTopNode();
  nodes.push_back(Entry{std::make_unique<TInputObject>(), {}, 1, true});
  nodes.push_back(Entry{std::make_unique<TOutputObject>(), {}, 1, true});
  insertionIndex_ = 2;
}

void TFilterList::logOptionsFromTopNode() {
  if (auto *top = dynamic_cast<TFilterCommentObject *>(firstObject())) {
    log = top->log;
  }
}

void TFilterList::logOptionsToTopNode() {
  if (auto *top = dynamic_cast<TFilterCommentObject *>(firstObject())) {
    top->log = log;
  }
}

// ---------------------------------------------------------------------------
// The window

void TFilterList::getFromChildForm(FilterListForm &window) {
  using Memo = FilterListForm::Memo;
  comments = window.memoText(Memo::Comments);
  trialInput = window.memoText(Memo::TrialInput);
  scratchPad = window.memoText(Memo::ScratchPad);
  const FilterTree &tree = window.filterTree();
  nodes.clear();
  nodes.reserve(tree.items.size());
  for (const FilterTreeItem &item : tree.items) {
    if (item.level < 0 || item.level > maxLevel || !item.node)
      throw ERangeError();
    nodes.push_back(Entry{item.node, {}, item.level, item.expanded});
  }
  logOptionsFromTopNode();
  files = window.fileRows();
}

void TFilterList::putToChildForm(FilterListForm &window) {
  using Memo = FilterListForm::Memo;
  window.setMemoText(Memo::Comments, comments, translate(6760, "Comments"));
  window.setMemoText(Memo::TrialInput, trialInput, translate(6770, "Trial Input"));
  window.setMemoText(Memo::ScratchPad, scratchPad, translate(6780, "Scratch Pad"));
  ScopeExit rebuilt{[&window] { window.treeRebuilt(); }};
  window.filterTree().buildTree(*this);
  logOptionsToTopNode();
  window.setFileRows(files);
}

// ---------------------------------------------------------------------------
// File list strings

std::vector<std::string> TFilterList::fileListStrings() const {
  std::vector<std::string> strings;
  strings.reserve(files.size());
  for (const FileGridRow &row : files) {
    std::string entry = row.pathMask + "|";
    entry += row.subfolders.empty() ? 'N' : row.subfolders.front();
    entry += row.action.empty() ? 'A' : row.action.front();
    strings.push_back(std::move(entry));
  }
  return strings;
}

void TFilterList::putFileList(const std::vector<std::string> &strings, bool keep) {
  if (!keep)
    files.clear();
  files.reserve(files.size() + strings.size());
  for (const std::string &entry : strings) {
    FileGridRow row;
    // A Linux file name may hold a "|"; the letters follow the last one.
    const std::size_t bar = entry.rfind('|');
    if (bar != std::string::npos) {
      row.pathMask = entry.substr(0, bar);
      const std::string_view letters = std::string_view(entry).substr(bar + 1);
      row.subfolders = letters.size() >= 1 ? subfolderSpelling(letters[0]) : std::string();
      row.action = actionSpelling(letters.size() >= 2 ? letters[1] : '\0');
    } else {
      row.pathMask = entry;
      row.subfolders = entry.find_first_of("*?") != std::string::npos ? "All" : "None";
      row.action = "Add";
    }
    files.push_back(std::move(row));
  }
}

// ---------------------------------------------------------------------------
// Filter files

void TFilterList::setWarningHandler(std::function<void(const std::string &)> handler) {
  warningHandler_ = std::move(handler);
}

TVersion TFilterList::makeVersion() const {
  TVersion version;
  version.fileList = fileListStrings();
  version.comments = comments;
  version.scratchPad = scratchPad;
  version.trialInput = trialInput;
  version.log = log;
  version.setTag(versionTag_);
  return version;
}

void TFilterList::takeOptions(const TVersion &version) {
  // The version record already gave the fields its file type lacks their defaults.
  comments = version.comments;
  scratchPad = version.scratchPad;
  trialInput = version.trialInput;
  log = version.log;
  versionTag_ = version.tag();
}

void TFilterList::writeData(ComponentWriter &writer) const {
  std::vector<FilterListItem> items;
  items.reserve(nodes.size());
  for (const Entry &entry : nodes)
    items.push_back({entry.level, entry.expanded, entry.node.get()});
  writeFilterListValue(writer, makeVersion(), items);
}

void TFilterList::saveToFile(const std::string &fileName) const {
  writeFileBytesSafely(fileName, filterFileBytes(*this));
}

void TFilterList::loadFromFile(const std::string &fileName, const LoadOptions &options) {
  const std::string bytes = loadFileBytes(fileName);
  loadFromBytes(bytes, fileName, options);
}

void TFilterList::loadFromBytes(std::string_view bytes, const std::string &sourceName,
                                const LoadOptions &options) {
  inserting_ = options.inserting;
  wantOptions_ = options.wantOptions;
  keepFileList_ = options.keepFileList;
  levelOffset_ = 0;
  if (inserting_) {
    insertionIndex_ = std::clamp(options.insertionIndex, std::min(1, count()), count());
    if (insertionIndex_ < count())
      levelOffset_ = nodes[insertionIndex_].level - 1;
  } else {
    insertionIndex_ = 1;
  }

  ComponentReader reader(bytes, sourceName, globalClassRegistry());
  reader.setWarningHandler(warningHandler_ ? warningHandler_ : [](const std::string &text) {
    showMessageBox(MessageBoxKind::Warning, text);
  });
  listRead_ = false;
  readFilterFileBytes(reader, *this);
  // A root record without the list is no filter file, though the stream is whole.
  if (!listRead_)
    throw EReadError(std::string(invalidImageText), sourceName, 0);
}

void TFilterList::readData(ComponentReader &reader) {
  listRead_ = true;
  if (!inserting_)
    resetToDefault();
  readFilterListValue(
      reader, [&](std::unique_ptr<StreamableComponent> component, int level, bool expanded) {
        readItem(reader, std::move(component), level, expanded);
      });
}

void TFilterList::readItem(ComponentReader &reader, std::unique_ptr<StreamableComponent> component,
                           int level, bool expanded) {
  if (auto *version = dynamic_cast<TVersion *>(component.get())) {
    if (wantOptions_)
      takeOptions(*version);
    if (!inserting_)
      putFileList(version->fileList, keepFileList_);
    return;
  }
  auto *listObject = dynamic_cast<TListObject *>(component.get());
  if (!listObject)
    reader.fail(invalidPropertyValueText);
  if (checkedAdd(level, inserting_ ? levelOffset_ : 0) > maxLevel)
    reader.fail(Format("List nested deeper than %d levels", {maxLevel}));
  component.release();
  std::unique_ptr<TListObject> node(listObject);

  const bool isInput = dynamic_cast<TInputObject *>(node.get()) != nullptr;
  if (!inserting_) {
    // The input node starts the list proper: the default nodes and whatever
    // came before it in the file (its own top node) give way, the file's top
    // node leaving its tag and its collapsed state to the new one.
    if (isInput) {
      std::int32_t topTag = 0;
      bool topExpanded = true;
      for (std::size_t i = 1; i < nodes.size(); ++i)
        if (dynamic_cast<TFilterCommentObject *>(nodes[i].node.get())) {
          topTag = nodes[i].node->tag();
          topExpanded = nodes[i].expanded;
        }
      resetToTopNode();
      nodes.front().node->setTag(topTag);
      nodes.front().expanded = topExpanded;
    }
    insertObject(std::move(node), level, expanded);
    return;
  }
  if (isInput || dynamic_cast<TOutputObject *>(node.get()) ||
      dynamic_cast<TFilterCommentObject *>(node.get()))
    return;
  insertObject(std::move(node), checkedAdd(level, levelOffset_), expanded);
}

void TFilterList::insertObject(std::unique_ptr<TListObject> node, int level, bool expanded) {
  std::string text = shortTitle(*node);
  insertNode(std::min(insertionIndex_, count()), std::move(node), level, expanded, std::move(text));
  ++insertionIndex_;
}

std::unique_ptr<TListObject> TFilterList::cloneListObject(const TListObject &node) {
  registerNodeClasses();
  std::unique_ptr<StreamableComponent> copy =
      cloneComponent(node, globalClassRegistry(), currentFileType);
  auto *listObject = dynamic_cast<TListObject *>(copy.get());
  if (!listObject)
    throw EReadError(std::string(invalidPropertyValueText), {}, 0);
  copy.release();
  return std::unique_ptr<TListObject>(listObject);
}

// ---------------------------------------------------------------------------
// Validation and building

int TFilterList::checkInputs() const {
  int inputIndex = -1;
  for (int i = 1; i < count(); ++i) {
    const Entry &entry = nodes[i];
    if (entry.level != 1 || !entry.node->getEnabled())
      continue;
    const bool isInput = dynamic_cast<const TInputObject *>(entry.node.get()) != nullptr;
    if (isInput && inputIndex >= 0)
      throw Exception(translate(6720, "Error: There is more than one enabled Input Filter"));
    if (isInput)
      inputIndex = i;
    else if (inputIndex < 0)
      throw Exception(translate(6730, "Error: The first enabled filter is not an Input Filter"));
  }
  // A list without an input node has nothing to build from.
  if (inputIndex < 0)
    throw Exception(translate(6730, "Error: The first enabled filter is not an Input Filter"));
  return inputIndex;
}

int TFilterList::checkOutputs(int inputIndex) const {
  int outputIndex = -1;
  for (int i = count() - 1; i > inputIndex; --i) {
    const Entry &entry = nodes[i];
    if (entry.level != 1 || !entry.node->getEnabled())
      continue;
    const bool isOutput = dynamic_cast<const TOutputObject *>(entry.node.get()) != nullptr;
    if (isOutput && outputIndex >= 0)
      throw Exception(translate(6700, "Error: There is more than one enabled Output Filter"));
    if (isOutput)
      outputIndex = i;
    else if (outputIndex < 0)
      throw Exception(translate(6710, "Error: The last enabled filter is not an Ouput Filter"));
  }
  if (outputIndex < 0)
    throw Exception(translate(6710, "Error: The last enabled filter is not an Ouput Filter"));
  return outputIndex;
}

TFilterList::BuiltChain TFilterList::buildChainLevel(int &index, int last, Build &build) {
  BuiltChain chain;
  const int level = nodes[index].level;
  TFilter *previousFilter = nullptr;
  while (index <= last) {
    const int nodeLevel = nodes[index].level;
    if (nodeLevel < level)
      break;
    if (nodeLevel > level) {
      buildChildChain(index, last, level, previousFilter, chain, build);
      previousFilter = nullptr;
      continue;
    }
    build.current = index;
    std::unique_ptr<TFilter> filter = nodes[index].node->add_filter(*this);
    previousFilter = filter.get();
    build.own(previousFilter, index, shortTitle(*nodes[index].node));
    chain.append(std::move(filter));
    ++index;
  }
  return chain;
}

void TFilterList::buildChildChain(int &index, int last, int callLevel, TFilter *parentFilter,
                                  BuiltChain &chain, Build &build) {
  const int parentIndex = index - 1;
  TListObject &parent = *nodes[parentIndex].node;
  if (!parent.getEnabled()) {
    // Built only so that the children's errors are still reported.
    buildChainLevel(index, last, build);
    while (index <= last && nodes[index].level > callLevel)
      ++index;
    return;
  }
  const ChildChain children = parent.needGatherer();
  BuiltChain built = buildChainLevel(index, last, build);
  if (children == ChildChain::Inline) {
    chain.append(std::move(built));
    return;
  }
  std::unique_ptr<TFilter> block = std::move(built.head);
  // A selecting parent that made no filter has nothing to select with; its
  // children must not run on the whole text instead.
  if (!block || !parentFilter)
    return;
  std::unique_ptr<TFilter> end;
  if (children == ChildChain::Gathered)
    end = std::make_unique<TGatherer>();
  else
    end = std::make_unique<TIgnoreFlush>();
  TFilter *endFilter = end.get();
  build.owners.insert_or_assign(endFilter, parentIndex);
  endFilter->setNodeTitle(shortTitle(parent));
  built.last->setNext(std::move(end));
  block->markAsSubfilters();
  chain.last->setSubfilterChain(std::move(block), endFilter);
}

void TFilterList::validateBuiltChain(TFilter &head, Build &build) {
  std::set<const TFilter *> seen;
  std::function<void(TFilter *)> walk = [&](TFilter *filter) {
    for (; filter && seen.insert(filter).second; filter = filter->next()) {
      auto owner = build.owners.find(filter);
      build.current = owner == build.owners.end() ? -1 : owner->second;
      filter->validate();
      if (filter->firstSubfilter())
        walk(filter->firstSubfilter());
    }
  };
  walk(&head);
}

std::unique_ptr<TFilter> TFilterList::createFilters(bool clipboard, bool innerOnly,
                                                    int &errorIndex) {
  errorIndex = -1;
  const int inputIndex = checkInputs();
  const int outputIndex = checkOutputs(inputIndex);

  int first = inputIndex;
  int last = outputIndex;
  std::unique_ptr<TFilter> chain;
  if (clipboard || innerOnly) {
    ++first;
    --last;
  }
  if (clipboard)
    chain = std::make_unique<TClipboardInput>();

  Build build;
  BuiltChain built;
  try {
    // Nodes at a lower level than the first one built would end a single
    // level's call early; they still belong to the range.
    int index = first;
    while (index <= last)
      built.append(buildChainLevel(index, last, build));
    if (built.head)
      validateBuiltChain(*built.head, build);
  } catch (...) {
    errorIndex = build.current >= 0 && build.current < count() ? build.current : -1;
    throw;
  }
  if (!built.head)
    throw Exception(translate(6740, "No filters have been specified"));

  if (clipboard) {
    built.append(std::make_unique<TClipboardOutput>());
    chain->setNext(std::move(built.head));
    return chain;
  }
  return std::move(built.head);
}

} // namespace marrowen
