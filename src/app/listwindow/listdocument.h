#pragma once

#include "app/common/loadlistoptions.h"
#include "engine/processingthread.h"
#include "filterlist/filterlist.h"

#include <QString>

#include <functional>
#include <memory>
#include <string>

namespace marrowen {

class TFilter;
class TGenericInput;
class TInputObject;
class TOutputObject;
class TStringInput;

// A list's inner filters built once and run over texts on the caller's
// thread, with no job: a text input named "text", the filters, a text
// output. Errors and information of the filters go to message boxes, or,
// for another program that waits for the text, its errors are its answer.
// A run lets events through between its chunks; a text given while one runs
// is refused, leaving that run's text and result alone.
class TCompiledFilter {
public:
  explicit TCompiledFilter(std::unique_ptr<TFilter> inner);
  ~TCompiledFilter();
  std::string process(std::string text);

private:
  std::unique_ptr<TStringInput> input_;
  std::string result_;
  bool running_ = false;
};

// What the files grid lists for `name`: a folder stands for every file in
// it ("folder/*.*"); a file or a mask stays as given.
std::string fileGridEntry(std::string name);

// One past the last descendant of the node at `index` of a list.
int subtreeEnd(const TFilterList &list, int index);

// The files grid's rows as the adding rules see them. The window's grid and
// a list run without a window both offer them, so both add names by one set
// of rules. Rows and columns count from 1: the name, Subfolders, Action.
class FileRowStore {
public:
  virtual ~FileRowStore() = default;
  virtual int rowCount() const = 0;
  virtual std::string cell(int col, int row) const = 0;
  virtual void setCell(int col, int row, const std::string &value) = 0;
  virtual void appendRow() = 0;
  // The row becomes the current one; a store without a cursor ignores it.
  virtual void makeCurrent(int) {}
};

// Makes a row's Subfolders and Action valid: an empty cell takes the row
// above's (row 1: "None", "Add"), anything unknown the first choice.
void applyRowRules(FileRowStore &rows, int row);
// Adds a name: into an empty last row, else into a new row that takes the
// last row's choices. Returns the row, which becomes current.
int addFileRow(FileRowStore &rows, const std::string &name);
// Adds a name as given, then sets the row's Subfolders by number (0
// "None", 1 "1 level", 2..9 "%d levels", 255 "All") and its Action (1
// "Add", 2 "Subtract", 3 "Ignore"); other numbers leave the row's own.
int addFileRowFromActiveX(FileRowStore &rows, const std::string &name, int subfolders, int action);
// The Subfolders choice that stands for a number of levels: 0 "None", 1
// "1 level", 2..9 "%d levels", 255 "All"; empty for any other number.
std::string subfoldersChoice(int levels);
// What adding a name from outside the grid adds: its long form, a folder
// standing for every file in it.
std::string fileGridEntryOf(const std::string &name);

// A list's name: its filter file's name without the folder and ".fll", in
// the file system's bytes, or "Untitled<n>" before it is saved (what
// getFilterName gives); and the same as windows show it.
std::string filterNameOf(const std::string &fileName, int untitledNumber);
QString filterTitleOf(const std::string &fileName, int untitledNumber);

// What the command line, a command file and the wizard ask of the list they
// fill; the filter-list window offers it, and `TListDocument` offers it with
// no window at all.
class FilterListTarget {
public:
  virtual ~FilterListTarget() = default;
  virtual TFilterList &filterList() = 0;
  virtual int selectedIndex() const = 0;
  virtual void select(int index) = 0;
  // Inserts at the cursor and selects the new node; marks the list changed.
  virtual int addFilter(std::unique_ptr<TListObject> node) = 0;
  virtual void MoveTreeNode(int source, int target) = 0;
  // The input node (second item) and the output node (last item); none
  // while the list lacks them. Found where the nodes are kept, without
  // bringing the whole list up to date, so that each command-file line
  // costs the same however many came before it.
  virtual TInputObject *inputNode();
  virtual TOutputObject *outputNode();
  // A copy of the output node as the user sees it: with the values its
  // dialog shows while it is open, which the node takes only when left.
  virtual std::unique_ptr<TOutputObject> outputAsShown();

  virtual std::string fileName() const = 0;
  virtual std::string getFilterName() const = 0;
  virtual bool filterHasChanged() const = 0;
  virtual void setFilterHasChanged(bool changed) = 0;
  // False when the file was not loaded: the user cancelled, or a failure
  // was shown (a caller that reports failures itself gets them thrown).
  virtual bool loadFilterList(const std::string &fileName, const LoadListOptions &options) = 0;
  // A fresh list: top, a default input and a default output node.
  virtual void resetFilterList() = 0;
  // Adds a file, folder or mask to the files to process; false when refused.
  virtual bool testThenAdd(const std::string &name) = 0;
  // The Subfolders and the Action cell of the files' last row.
  virtual void setLastSubfolders(const std::string &value) = 0;
  virtual void setLastAction(const std::string &value) = 0;
  // Adds the files named in a list file, one a line.
  virtual void processFile(const std::string &listFile) = 0;
  // Validates and builds the chain; on an error shows it and gives none.
  virtual std::unique_ptr<TGenericInput> createFilters() = 0;
  // Suspends showing the tree and the editor while many changes are made.
  virtual void beginBulkUpdate() {}
  virtual void endBulkUpdate() {}
  // The editor's values are copied into the selected node.
  virtual void storeEditor() {}

  // --- What other programs ask of a list (each may be refined by a window) ---
  // The top node and new default input and output nodes; the files stay.
  virtual void resetFiltersOnly();
  virtual void saveFilterListAs(const std::string &fileName);
  virtual void clearAllFiles();
  // Adds `name` as given; then the row's Subfolders by number (0 "None",
  // 1 "1 level", 2..9 "%d levels", 255 "All") and its Action (1 "Add",
  // 2 "Subtract", 3 "Ignore"). Other numbers leave the row's own choice.
  virtual void addFileFromActiveX(const std::string &name, int subfolders, int action);
  // Builds and keeps the inner filters for texts; the build error's text,
  // shown nowhere, empty when the list compiled.
  std::string compileFilter();
  // A text through the kept filters; empty when none are kept.
  std::string processTextWithCompiledFilter(std::string text);
  // Compiles, then runs the text through; a list that does not build raises
  // its build error.
  std::string processText(std::string text);
  // Go: a job over the files, or over the clipboard into the clipboard.
  virtual void beginButtonClick(bool clipboard);

protected:
  // Validates and builds the chain; on an error selects the failing node,
  // shows the error (`showBuildError`) and gives none with its text.
  virtual std::unique_ptr<TFilter> buildChain(bool clipboard, bool innerOnly,
                                              std::string *error = nullptr);
  virtual void showBuildError(const std::string &text);
  // Starts a job; by default in the main window's job host.
  virtual void startJob(std::unique_ptr<TGenericInput> chain, JobOptions options);

private:
  // Shared with the runs under way: a new compile or the window's end
  // while a text runs (other calls come in between its chunks) leaves that
  // run its filters.
  std::shared_ptr<TCompiledFilter> compiled_;
};

// A filter list with a cursor and no window: the command line fills it when
// no window can be shown.
class TListDocument : public FilterListTarget {
public:
  TListDocument();
  ~TListDocument() override;

  TFilterList &filterList() override { return list_; }
  int selectedIndex() const override { return selected_; }
  void select(int index) override { selected_ = index; }
  int addFilter(std::unique_ptr<TListObject> node) override;
  void MoveTreeNode(int source, int target) override;
  std::string fileName() const override { return fileName_; }
  std::string getFilterName() const override;
  bool filterHasChanged() const override { return changed_; }
  void setFilterHasChanged(bool changed) override { changed_ = changed; }
  bool loadFilterList(const std::string &fileName, const LoadListOptions &options) override;
  void resetFilterList() override;
  bool testThenAdd(const std::string &name) override;
  void setLastSubfolders(const std::string &value) override;
  void setLastAction(const std::string &value) override;
  void processFile(const std::string &listFile) override;
  std::unique_ptr<TGenericInput> createFilters() override;
  void saveFilterListAs(const std::string &fileName) override;

  // Where build errors are shown; a message box by default.
  std::function<void(const std::string &)> onError;
  // Where Go's jobs go; the main window's job host by default.
  std::function<void(std::unique_ptr<TGenericInput>, JobOptions)> onStartJob;

protected:
  void showBuildError(const std::string &text) override;
  void startJob(std::unique_ptr<TGenericInput> chain, JobOptions options) override;

private:
  TFilterList list_;
  int selected_ = -1;
  std::string fileName_;
  bool changed_ = false;
};

} // namespace marrowen
