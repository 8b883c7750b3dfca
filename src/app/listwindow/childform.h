#pragma once

#include "app/listwindow/listdocument.h"
#include "app/main/mainform.h"
#include "filterlist/filterlist.h"
#include "filterlist/filtertree.h"
#include "filterlist/nodeeditor.h"

#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QLabel;
class QMenu;
class QPushButton;
class QScrollArea;
class QSplitter;
class QTabWidget;

namespace marrowen {

class FilterTreeModel;
class MemoDocumentBuilder;
class MemoStatusBar;
class FilterTreeView;
class ProcessingThread;
class TdgGrid;
class TFilter;
class TFormInfo;
class TGenericInput;
class TStringInput;
class WindowJobHost;

// A plain-text memo bound to bytes (memos.h): the bytes it was given come
// back until the user edits it. An edited text's bytes are kept until the
// next change, so a long trial text is converted once, not at every read.
class TByteMemo : public QPlainTextEdit {
  Q_OBJECT
public:
  explicit TByteMemo(QWidget *parent = nullptr);
  // Shows the bytes; a warning naming `areaName` tells of NULs left out.
  void setBytes(const std::string &bytes, const std::string &areaName = {});
  std::string bytes() const;
  bool edited() const;
  // Whether bytes() would have to convert a long text.
  bool bytesPending() const;
  // Converts the text off this thread, then keeps the bytes (unless the text
  // changed meanwhile) and calls `ready` here; nothing when the memo is gone.
  void prepareBytes(std::function<void()> ready);

private:
  mutable std::string cache_;
  mutable bool cacheValid_ = false;
  quint64 revision_ = 0;
};

// The filter-list window: one filter list shown as a tree beside the
// selected node's dialog, the files to process, comments, a scratch pad and
// the trial run area. The tree (FilterTree) is the master copy while the
// window is open; the TFilterList mirrors it from getFromChildForm on.
//
// Jobs started here are owned by the job host; the window learns of their
// end through a guarded pointer, so a window closed mid-job is skipped.
class TchildForm : public QWidget,
                   public FilterListWindow,
                   public FilterListTarget,
                   public TNodeEditorSite,
                   public FilterListForm {
  Q_OBJECT
public:
  explicit TchildForm(int windowNumber, QWidget *parent = nullptr);
  ~TchildForm() override;

  // Fills the main window's hooks: new windows, menu merging, commands.
  static void install();

  // --- Tree and editing ---
  FilterTree &filterTree() override { return tree_; }
  FilterTreeModel &treeModel() const { return *model_; }
  FilterTreeView &treeView() const { return *treeView_; }
  TListObject *selectedNode() const { return tree_.selectedNode(); }
  void selectItem(int index);
  int addFilter(std::unique_ptr<TListObject> node) override;
  void resetFiltersOnly();
  void resetFilterList() override;
  void DeleteNodeClick();
  void moveItemUp();
  void moveItemDown();
  void MoveTreeNode(int source, int target) override;
  // Answers a drag-over with the status text; returns the message number.
  int ValidateDrag(bool senderIsTree, int source, int target, bool childDrop);
  void TreeViewDragDrop(int source, int target, bool childDrop);
  void editMenuEnableDisableFilterClick();
  void Duplicatecurrentfilter1Click();
  void Undochangestothisline1Click();
  void hideCurrentEditor();
  void showCurrentEditor();
  void clearTree();
  void checkButtonsEnableStatus() override;
  void setFilterHasChanged(bool changed) override;
  bool filterHasChanged() const override { return filterHasChanged_; }
  void setLoadedFilterName(const std::string &name);
  std::string getFilterName() const override;
  void setWindowTitle();
  int windowNumber() const { return windowNumber_; }

  // --- TNodeEditorSite ---
  void setFilterHeading(const std::string &heading) override;
  void setFilterHeading(const std::string &heading, bool namesFiles);
  TNodeEditor *editorFor(TListObject &node, TNodeEditor *current) override;
  void placeEditor(TNodeEditor &editor) override;
  void releaseEditor(TNodeEditor *editor) override;
  void fieldChanged() override;
  void statusBarText(const std::string &text) override;
  void statusBarError(const std::string &text) override;
  void setTestMode(bool testMode) override;
  // The Go button's caption from the output node (its dialog's values while
  // it is shown).
  void refreshGoCaption();
  void setInputFromFiles(bool fromFiles) override;
  void testRegExp(const std::string &pattern) override;
  void mapFilesChanged() override { refreshMapList(); }

  // --- FilterListForm ---
  std::string memoText(Memo memo) const override;
  void setMemoText(Memo memo, const std::string &text, const std::string &areaName) override;
  std::vector<FileGridRow> fileRows() const override;
  void setFileRows(const std::vector<FileGridRow> &rows) override;
  void treeRebuilt() override;

  // --- FilterListTarget ---
  TFilterList &filterList() override;
  int selectedIndex() const override { return tree_.selected; }
  void select(int index) override { selectItem(index); }
  std::string fileName() const override { return loadedFilterName_; }
  bool loadFilterList(const std::string &fileName, const LoadListOptions &options) override;
  bool testThenAdd(const std::string &name) override;
  void setLastSubfolders(const std::string &value) override;
  void setLastAction(const std::string &value) override;
  void processFile(const std::string &listFile) override;
  std::unique_ptr<TGenericInput> createFilters() override;
  void beginBulkUpdate() override;
  void endBulkUpdate() override;
  void storeEditor() override;

  // --- FilterListWindow ---
  QWidget *widget() override { return this; }
  FilterListTarget *listTarget() override { return this; }
  void showFilesPage() override;
  void Save() override;
  void addDescriptionFilter(int kind) override;
  void addNumberFilter(int kind) override;
  void updateTrialFont(const QFont &font) override;
  bool closeQuery() override;
  void closeCancelled() override { closeAnswered_ = false; }

  // The input node (item 1) and the output node (the last item).
  TInputObject *InputFilter() { return inputNode(); }
  TOutputObject *OutputFilter() { return outputNode(); }
  TInputObject *inputNode() override;
  TOutputObject *outputNode() override;
  std::unique_ptr<TOutputObject> outputAsShown() override;

  // --- Files grid ---
  TdgGrid &fileGrid() const { return *fileGrid_; }
  void addFile(const std::string &name);
  void addFileFromActiveX(const std::string &fileSpec, int subfolders, int action);
  void removeFile();
  void clearAllFiles();
  void applyRowRules(int row);
  void insertNewRowButtonClick();
  void newFileGroupButtonClick();
  void copyFileRowClick();
  void viewButtonClick();
  void fileGridDblClick(int col, int row);
  void sortFileGrid();
  void saveFileList(const std::string &fileName);
  // The name of a row, as the file system spells it, and a name put into a
  // row. The grid shows and takes text in the code page; a name whose
  // letters the code page lacks shows "?" for them, and is kept whole for
  // as long as its cell shows what it was given.
  std::string fileNameAt(int dataRow) const;
  void setFileNameAt(int dataRow, const std::string &name);

  // --- Running ---
  // The host of the window's jobs: the main window's.
  static WindowJobHost &jobHost();
  // The chain built from the tree; none (the error shown, the failing node
  // selected) when it cannot be built.
  std::unique_ptr<TFilter> create_filters(bool clipboard, bool innerOnly,
                                          std::string *error = nullptr);
  void beginButtonClick(bool clipboard);
  void trialRunButtonClick();
  void doTrialRun();
  void setTrialRunning(bool running);
  bool trialRunning() const { return trialRunning_; }
  ProcessingThread *trialJob() const { return trialJob_; }
  void verifyFilterList();
  void Preparefilterforautomation1Click();
  void Preparefilterfordistribution1Click();
  void PutsampleinTrialInputArea1Click();
  void loadIntoAdhocInput(const std::string &file);
  static std::string getFirstFileMatching(const std::string &mask);
  void MoveTrialOutputtoTrialInput1Click();
  void layoutTrialArea();

  // --- Filter files and maps ---
  void InsertfilterList(const std::string &fileName);
  // Whether the list was saved under a name the user chose.
  bool SaveAs();
  void saveFilterListAs(const std::string &fileName);
  void refreshMapList();
  void MapFileClick(const std::string &mapName);
  void createMapBasedOnFilters();
  std::string fromDisplayHandleError(const std::string &text);

  // Menus merged into the main window's bar, in group order.
  const std::vector<QMenu *> &menus() const { return menus_; }
  QMenu *editMenu() const { return editMenu_; }
  QMenu *toolsMenu() const { return toolsMenu_; }
  QAction *findAction(const QString &objectName) const;
  // Runs the first activation (the default list) when it has not run.
  void activateWindow_();
  // Whether the window's menu items hold their keys. Only the active window
  // needs them, and Qt searches every held key whenever any item changes
  // state, so with hundreds of windows open, held keys make each new one
  // slower to open.
  void holdShortcuts(bool hold);
  // Keeps the size of `frame` (the window's own frame in a workspace, or the
  // window) between runs; loads it now.
  void rememberPlacement(QWidget *frame);
  // Aims the pattern menu at `control` as a key pressed there would.
  static void preparePatternMenuFor(QWidget *control);

  // Controls, by their component names.
  QTabWidget *Tabs;
  QWidget *filesTab, *filtersTab, *commentsSheet, *scratchPadSheet, *trialSheet;
  QLabel *filterHeading;
  QWidget *blankPanel;
  TByteMemo *comments, *scratchPad, *trialInput, *trialOutput;
  MemoStatusBar *trialInputStatus, *trialOutputStatus;
  QSplitter *trialSplitter;
  QPushButton *clipboardButton, *beginButton, *removeButton, *removeAllButton, *trialRunButton;
  QPushButton *addDirectoryButton, *insertNewRowButton, *copyFileRow, *viewButton,
      *newFileGroupButton, *loadFromFileButton, *saveToFileButton;

  // A message box through the dialog runner.
  static void messageBox(QMessageBox::Icon icon, const std::string &text);

  // Called with every main-window status text the window shows; for tests.
  static QString lastStatus();

  // A file dialog through the dialog runner, its filter "description|pattern"
  // pairs; the chosen files (fileNameFromQString gives their bytes), none on
  // cancel or when `owner` (the window the files are for) goes while it runs.
  static QStringList runFileDialog(QWidget *parent, const QString &title, const QString &filter,
                                   bool save, const QString &start = {}, const QString &suffix = {},
                                   const QString &selectedFilter = {},
                                   const QObject *owner = nullptr);

signals:
  // The list or the dialog shown for one of its nodes changed: a window
  // that describes the list (the wizard) follows it.
  void listChanged();

protected:
  // The window builds from the tree it shows.
  std::unique_ptr<TFilter> buildChain(bool clipboard, bool innerOnly,
                                      std::string *error = nullptr) override {
    return create_filters(clipboard, innerOnly, error);
  }
  void closeEvent(QCloseEvent *event) override;
  void resizeEvent(QResizeEvent *event) override;
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  void buildPages();
  void buildFilesPage();
  void buildMenus();
  void hintMenuItems();
  void buildTrialPage();
  void rebuildTreeView();
  // Puts a trial run's result in the trial output, unless a newer run began.
  void showTrialOutput(int serial, const std::string &text, MemoDocumentBuilder &builder,
                       bool stopped);
  void refreshItem(int index);
  // Shows the heading of the node's values as its dialog holds them.
  void followDialog(TListObject &node);
  // A copy of the node with its dialog's values while shown; none while a
  // value there cannot be taken yet.
  static std::unique_ptr<TListObject> shownCopy(const TListObject &node);
  // The user moves to another node in the tree (click, keys, right click).
  void userSelectsItem(int index);
  void removeButtonClick();
  // Puts the focus in the first field of the page shown, when it is in the window.
  void focusPageField();
  bool hasFocusInside() const;
  // The first control of `area` that Tab would reach; none.
  static QWidget *firstFieldOf(QWidget &area);
  void removeAllButtonClick();
  // What Alt and `key` do with the focus in the window outside the shown
  // dialog, whose controls do not count there; nothing when no control,
  // page or menu takes the key.
  std::function<void()> altKeyOutsideDialog(QWidget &dialog, int key);
  // Saves to `fileName`, showing a failure; whether the list was saved.
  bool saveTo(const std::string &fileName);
  // Loads into a fresh list and tree, taking them only when all went well.
  bool loadInto(const std::string &fileName, bool inserting, bool keepFileList, bool takeOptions);

  FilterTree tree_;
  TFilterList filterList_;
  FilterTreeModel *model_;
  FilterTreeView *treeView_;
  TdgGrid *fileGrid_;
  QScrollArea *editorScroll_;
  std::unique_ptr<TNodeEditor> editor_;
  std::string editorClass_;
  std::string loadedFilterName_;
  bool filterHasChanged_ = false;
  int windowNumber_;
  bool activatedOnce_ = false;
  // The close question was answered for a close that is under way.
  bool closeAnswered_ = false;
  // By data row, the names whose spelling the grid's text cannot hold;
  // empty for the others.
  std::vector<std::string> spelledNames_;
  void forgetSpelling(int dataRow);
  bool inputFromFiles_ = false;
  bool trialRunning_ = false;
  bool trialInputChanged_ = false;
  // The trial input holds a text the user changed or put there: it is run
  // anew and saved with the list.
  void trialInputEdited();
  ProcessingThread *trialJob_ = nullptr;
  int bulkDepth_ = 0;
  bool changingSelection_ = false;
  bool browsingTabs_ = false;
  // The trial or scratch-pad memo that last had the focus.
  QPointer<QPlainTextEdit> pageMemo_;
  std::vector<QMenu *> menus_;
  std::vector<std::pair<QPointer<QAction>, QList<QKeySequence>>> shortcuts_;
  QMenu *editMenu_ = nullptr;
  QMenu *toolsMenu_ = nullptr;
  QMenu *mapsMenu_ = nullptr;
  QAction *mapsDivider_ = nullptr;
  std::unique_ptr<TFormInfo> formInfo_;
  // Shared with the jobs' end handlers: cleared when the window goes.
  std::shared_ptr<QPointer<TchildForm>> self_;
};

} // namespace marrowen
