#pragma once

#include "engine/fileinput.h"
#include "filterlist/filterfile.h"
#include "filterlist/listobject.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace marrowen {

class FilterListForm;
class TFilter;
class TFilterCommentObject;

// How a filter file comes into a list.
struct FilterFileLoadOptions {
  // Not inserting, the file replaces the list's nodes (and its files grid,
  // after the grid's rows when `keepFileList`); inserting, its filters go
  // in at `insertionIndex`, one level below the node there, without its
  // input, output and top nodes.
  bool inserting = false;
  // Takes the file's texts and log options.
  bool wantOptions = true;
  int insertionIndex = -1;
  bool keepFileList = false;
};

// The model behind one filter-list window, and behind every filter file run
// without one: the nodes of the filter tree in tree order with their levels
// and expanded flags, the files grid, three free texts and the list's log
// options. It validates a tree, builds it into a runtime chain, and reads
// and writes itself as a filter file.
//
// Invariants: the list holds its nodes (a window's tree may share them); index 0 is the top node
// (level 0) once the list has been loaded or reset; levels lie in 0..maxLevel. A well-formed list
// has exactly one enabled input node first and one enabled output node last, both at level 1.
class TFilterList : public StreamableComponent {
public:
  // The window's tree shares the nodes with the list it is copied to and from.
  struct Entry {
    std::shared_ptr<TListObject> node;
    // The node's short title when it came from a file; empty from a window.
    std::string text;
    int level = 1;
    bool expanded = true;
  };

  // Building a chain and validating it recurse once per level of nesting;
  // no real list comes near this depth, and refusing deeper ones keeps the
  // recursion well inside any thread's stack.
  static constexpr int maxLevel = 1000;

  TFilterList();
  ~TFilterList() override;

  // --- Contents ---
  std::vector<Entry> nodes;
  // The files grid: mask or folder, sub-folder setting ("All", "None",
  // "1 level", "%d levels"), action ("Add", "Subtract", "Ignore").
  std::vector<FileGridRow> files;
  std::string comments;
  std::string scratchPad;
  std::string trialInput;
  LogOptions log;

  int count() const { return static_cast<int>(nodes.size()); }
  TListObject &node(int index) const;
  // The top node; none while the list is empty.
  TListObject *firstObject() const;

  // Inserts a node at `index` (0..count); a level outside 0..32767 raises ERangeError.
  void insertNode(int index, std::shared_ptr<TListObject> node, int level, bool expanded,
                  std::string text = {});
  // Appends a node.
  void addNode(std::shared_ptr<TListObject> node, int level, bool expanded = true);

  // [top node, input node, output node], as a new window shows them.
  void resetToDefault();
  // Only the top node.
  void resetToTopNode();

  // --- Filter files ---

  using LoadOptions = FilterFileLoadOptions;

  // Reads a filter file. A file that cannot be opened raises EFOpenError; a
  // damaged one EReadError naming the file, the list then holding what was
  // read before the damage.
  void loadFromFile(const std::string &fileName, const LoadOptions &options = {});
  // The same from a filter file's bytes; `sourceName` names them in errors.
  void loadFromBytes(std::string_view bytes, const std::string &sourceName,
                     const LoadOptions &options = {});
  // Writes the list as a filter file, replacing the file only once it is
  // written whole.
  void saveToFile(const std::string &fileName) const;
  // Where warnings raised while reading go (message 6790, a file of a later
  // type); by default a warning message box.
  void setWarningHandler(std::function<void(const std::string &)> handler);
  // The tag of the file's version record, which goes with the list's options.
  std::int32_t versionTag() const { return versionTag_; }
  void setVersionTag(std::int32_t tag) { versionTag_ = tag; }

  // The files grid as filter-file strings: mask, "|", sub-folder letter, action letter.
  std::vector<std::string> fileListStrings() const;
  // Fills the files grid from filter-file strings, after the existing rows
  // when `keep`, else in place of them.
  void putFileList(const std::vector<std::string> &strings, bool keep);

  // --- The window ---
  // The window's texts, tree (sharing its nodes) and files grid into the list.
  void getFromChildForm(FilterListForm &window);
  // The list into the window; raises 6750 when a level jumps by more than one.
  void putToChildForm(FilterListForm &window);

  // The list's log options from the top node, and back.
  void logOptionsFromTopNode();
  void logOptionsToTopNode();

  // --- Building ---

  // Validates the tree and builds its runtime chain; the caller owns the
  // head. `clipboard`: read and write the clipboard whatever the input and
  // output nodes say. `innerOnly`: only the filters between them. On a
  // failure `errorIndex` holds the index of the node that failed, -1 when
  // the failure belongs to no single node.
  std::unique_ptr<TFilter> createFilters(bool clipboard, bool innerOnly, int &errorIndex);

  // Raise 6730/6720 and 6710/6700; return the input's and output's index.
  int checkInputs() const;
  int checkOutputs(int inputIndex) const;

  // A new node equal to `node`, made through a memory stream.
  static std::unique_ptr<TListObject> cloneListObject(const TListObject &node);

  // --- Streaming ---
  std::string_view className() const override { return filterListClassName; }
  std::string_view definedPropertyName() const override { return filterListPropertyName; }
  void writeData(ComponentWriter &writer) const override;
  void readData(ComponentReader &reader) override;

private:
  struct Build;
  struct BuiltChain;

  TVersion makeVersion() const;
  void takeOptions(const TVersion &version);
  void insertObject(std::unique_ptr<TListObject> node, int level, bool expanded);
  void readItem(ComponentReader &reader, std::unique_ptr<StreamableComponent> component, int level,
                bool expanded);

  BuiltChain buildChainLevel(int &index, int last, Build &build);
  void buildChildChain(int &index, int last, int callLevel, TFilter *parentFilter,
                       BuiltChain &chain, Build &build);
  // Validates the built chain as the chain does, naming the node whose
  // filter failed.
  void validateBuiltChain(TFilter &head, Build &build);

  // Flags of one loadFromFile.
  bool inserting_ = false;
  bool wantOptions_ = false;
  int insertionIndex_ = 0;
  int levelOffset_ = 0;
  bool keepFileList_ = false;
  bool listRead_ = false;
  std::function<void(const std::string &)> warningHandler_;
  // The version record's tag, kept with the options it was read with.
  std::int32_t versionTag_ = 0;
};

} // namespace marrowen
