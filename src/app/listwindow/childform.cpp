#include "app/listwindow/childform.h"

#include "app/common/forminfo.h"
#include "app/common/memos.h"
#include "app/common/patternmenu.h"
#include "app/common/translateform.h"
#include "app/listwindow/filtertreemodel.h"
#include "classlib/codepage.h"
#include "classlib/exceptions.h"
#include "classlib/format.h"
#include "classlib/graphemes.h"
#include "components/dialogrunner.h"
#include "components/trayicon.h"
#include "engine/escapes.h"
#include "engine/log.h"
#include "engine/messages.h"
#include "engine/userinterface.h"
#include "engine/utilities.h"
#include "filterlist/commentnodes.h"
#include "filterlist/descriptionnodes.h"
#include "filterlist/ionodes.h"
#include "filterlist/nodecatalog.h"
#include "grid/widget/dgbasegrid.h"
#include "qtext/qtext.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QScrollArea>
#include <QSplitter>
#include <QTabBar>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextEdit>
#include <QThreadPool>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace marrowen {

namespace {

QString lastStatusText;

QPushButton *makeButton(QWidget *parent, const char *name, const QString &caption) {
  auto *button = new QPushButton(caption, parent);
  button->setObjectName(QString::fromLatin1(name));
  return button;
}

bool answersAltKey(const QString &caption, int key) {
  const QKeySequence mnemonic = QKeySequence::mnemonic(caption);
  return !mnemonic.isEmpty() && mnemonic[0].key() == key;
}

// The shown control of `area`, outside `skip`, whose caption answers Alt
// and `key`; none.
QWidget *altKeyTarget(QWidget &area, int key, const QWidget *skip = nullptr) {
  for (QWidget *control : area.findChildren<QWidget *>()) {
    if (!control->isVisible() || !control->isEnabled() ||
        (skip && (control == skip || skip->isAncestorOf(control))))
      continue;
    QString caption;
    if (auto *button = qobject_cast<QAbstractButton *>(control))
      caption = button->text();
    else if (auto *label = qobject_cast<QLabel *>(control); label && label->buddy())
      caption = label->text();
    else if (auto *group = qobject_cast<QGroupBox *>(control))
      caption = group->title();
    if (answersAltKey(caption, key))
      return control;
  }
  return nullptr;
}

// Whether Alt and the letter of `target` would do anything while `focus`
// has the focus: a label's field or a group that has the focus already
// would only keep it.
bool altKeyMoves(QWidget &target, const QWidget *focus) {
  const auto holds = [focus](const QWidget *area) {
    return area && focus && (area == focus || area->isAncestorOf(focus));
  };
  if (auto *label = qobject_cast<QLabel *>(&target))
    return !holds(label->buddy());
  if (qobject_cast<QGroupBox *>(&target))
    return !holds(&target);
  return true;
}

// What Alt and a control's letter do: a label hands the focus to its field,
// a button is pressed, a group gives the focus to its chosen item.
void pressAltKey(QWidget &target) {
  if (auto *label = qobject_cast<QLabel *>(&target)) {
    label->buddy()->setFocus(Qt::ShortcutFocusReason);
  } else if (auto *button = qobject_cast<QAbstractButton *>(&target)) {
    button->setFocus(Qt::ShortcutFocusReason);
    button->click();
  } else if (auto *group = qobject_cast<QGroupBox *>(&target)) {
    QWidget *first = nullptr;
    for (QWidget *item : group->findChildren<QWidget *>()) {
      if (!item->isVisible() || !item->isEnabled() || !(item->focusPolicy() & Qt::TabFocus))
        continue;
      if (auto *radio = qobject_cast<QRadioButton *>(item); radio && radio->isChecked()) {
        first = item;
        break;
      }
      if (!first)
        first = item;
    }
    if (first)
      first->setFocus(Qt::ShortcutFocusReason);
  }
}

std::function<void()> pressing(QWidget *target) {
  return [target = QPointer<QWidget>(target)] {
    if (target)
      pressAltKey(*target);
  };
}

} // namespace

// ---------------------------------------------------------------------------
// TByteMemo

void TByteMemo::setBytes(const std::string &bytes, const std::string &areaName) {
  const QString warning = setMemoBytes(this, bytes, areaName);
  // Shown once the caller is done: a box's event loop in the middle of a
  // load or a paste could see the window closed under it.
  if (!warning.isEmpty())
    QTimer::singleShot(0, this, [text = fromQString(warning)] {
      TchildForm::messageBox(QMessageBox::Warning, text);
    });
}

TByteMemo::TByteMemo(QWidget *parent) : QPlainTextEdit(parent) {
  connect(this, &QPlainTextEdit::textChanged, this, [this] {
    cacheValid_ = false;
    cache_.clear();
    ++revision_;
  });
}

std::string TByteMemo::bytes() const {
  if (!edited())
    return memoBytes(this);
  if (!cacheValid_) {
    cache_ = memoBytes(this);
    cacheValid_ = true;
  }
  return cache_;
}

bool TByteMemo::bytesPending() const {
  // A short text converts faster than a thread starts.
  constexpr int longText = 1 << 18;
  return edited() && !cacheValid_ && document()->characterCount() > longText;
}

void TByteMemo::prepareBytes(std::function<void()> ready) {
  QPointer<TByteMemo> self(this);
  const quint64 revision = revision_;
  QThreadPool::globalInstance()->start(
      [self, revision, text = document()->toPlainText(), ready = std::move(ready)] {
        auto bytes = std::make_shared<std::string>(memoTextBytes(text));
        QMetaObject::invokeMethod(
            qApp,
            [self, revision, bytes, ready] {
              if (!self)
                return;
              if (self->revision_ == revision && self->edited()) {
                self->cache_ = std::move(*bytes);
                self->cacheValid_ = true;
              }
              ready();
            },
            Qt::QueuedConnection);
      });
}

bool TByteMemo::edited() const { return memoEdited(this); }

void TchildForm::trialInputEdited() {
  statusBarText({});
  trialInputChanged_ = true;
  setFilterHasChanged(true);
}

// ---------------------------------------------------------------------------
// Construction

TchildForm::TchildForm(int windowNumber, QWidget *parent)
    : QWidget(parent), windowNumber_(windowNumber) {
  setObjectName(QStringLiteral("childForm"));
  // F1 in its pages, and in a filter's dialog without a page of its own.
  setProperty("helpContext", 20);
  setMinimumSize(530, 320);
  buildPages();
  buildMenus();
  setTrialRunning(false);
  trialRunButton->setIcon(treeIcon(39));
  // The trial areas show in the font the preferences chose, in every window
  // and after a restart, not only in the windows open when it was chosen.
  if (TmainForm *main = TmainForm::instance()) {
    const MainSettings &settings = main->settings();
    if (!settings.adhocFontName.empty() && settings.adhocFontSize > 0)
      updateTrialFont(trialFontOf(settings));
  }
  setTestMode(false);
  setWindowTitle();
  Tabs->setCurrentWidget(filtersTab);
  translateForm(this);
  rememberPlacement(this);
  // The pattern menu's keys act on whichever control of the window has focus.
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) {
    if (now && now != treeView_ && isAncestorOf(now))
      now->installEventFilter(this);
    if (now == trialInput || now == trialOutput || now == scratchPad)
      pageMemo_ = static_cast<QPlainTextEdit *>(now);
  });
  activateWindow_();
}

void TchildForm::rememberPlacement(QWidget *frame) {
  formInfo_ = std::make_unique<TFormInfo>(frame, QStringLiteral("childForm"));
  formInfo_->recordPosition = false;
  formInfo_->Load();
}

void TchildForm::preparePatternMenuFor(QWidget *control) {
  TmenuForm &menu = TmenuForm::instance();
  if (qobject_cast<QPlainTextEdit *>(control) || qobject_cast<QTextEdit *>(control))
    menu.preparePopup(control, false);
  else if (qobject_cast<QLineEdit *>(control))
    menu.preparePopup(control, true);
  else if (auto *combo = qobject_cast<QComboBox *>(control); combo && combo->lineEdit())
    menu.preparePopupHWND(combo->lineEdit(), true);
  else if (auto *spin = qobject_cast<QAbstractSpinBox *>(control))
    if (auto *edit = spin->findChild<QLineEdit *>())
      menu.preparePopupHWND(edit, true);
}

TchildForm::~TchildForm() {
  // Focus moves as the controls go; this window's part is gone by then.
  disconnect(qApp, nullptr, this, nullptr);
  // The dialog goes with the window; the node must not reach for it.
  if (TListObject *shown = tree_.selectedNode(); shown && shown->childForm == this)
    shown->clearEditorLink();
  for (const FilterTreeItem &item : tree_.items)
    if (item.node->childForm == this)
      item.node->clearEditorLink();
  editor_.reset();
}

void TchildForm::buildPages() {
  auto *layout = new QVBoxLayout(this);
  Tabs = new QTabWidget(this);
  Tabs->setObjectName(QStringLiteral("Tabs"));
  layout->addWidget(Tabs, 1);

  filesTab = new QWidget;
  filesTab->setObjectName(QStringLiteral("filesTab"));
  Tabs->addTab(filesTab, QStringLiteral("&1 Files to Process"));
  buildFilesPage();

  filtersTab = new QWidget;
  filtersTab->setObjectName(QStringLiteral("filtersTab"));
  Tabs->addTab(filtersTab, QStringLiteral("&2 Filters to Apply"));
  auto *filtersLayout = new QHBoxLayout(filtersTab);
  auto *splitter = new QSplitter(Qt::Horizontal, filtersTab);
  splitter->setObjectName(QStringLiteral("Splitter1"));
  filtersLayout->addWidget(splitter);
  model_ = new FilterTreeModel(tree_, this);
  treeView_ = new FilterTreeView(splitter);
  treeView_->setObjectName(QStringLiteral("TreeView"));
  treeView_->setModel(model_);
  treeView_->setHeaderHidden(true);
  treeView_->setRootIsDecorated(false);
  treeView_->setIndentation(19);
  treeView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  treeView_->setDragEnabled(true);
  treeView_->setAcceptDrops(true);
  treeView_->setDropIndicatorShown(true);
  treeView_->setDragDropMode(QAbstractItemView::DragDrop);
  treeView_->setContextMenuPolicy(Qt::CustomContextMenu);
  treeView_->setToolTip(QStringLiteral("Click an item in the list to show its properties"));
  treeView_->itemOf = [this](const QModelIndex &index) { return model_->itemOf(index); };
  treeView_->onDragOver = [this](int source, int target, bool child) {
    return FilterTree::dragAccepted(ValidateDrag(true, source, target, child));
  };
  treeView_->onDrop = [this](int source, int target, bool child) {
    TreeViewDragDrop(source, target, child);
  };
  treeView_->installEventFilter(this);
  connect(treeView_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex &current) {
            if (!changingSelection_)
              userSelectsItem(model_->itemOf(current));
          });
  connect(treeView_, &QTreeView::expanded, this, [this](const QModelIndex &index) {
    const int item = model_->itemOf(index);
    if (!changingSelection_ && item >= 0 && item < tree_.count())
      tree_.items[static_cast<std::size_t>(item)].expanded = true;
  });
  connect(treeView_, &QTreeView::collapsed, this, [this](const QModelIndex &index) {
    const int item = model_->itemOf(index);
    if (changingSelection_ || item < 0 || item >= tree_.count())
      return;
    if (item == 0) { // the top node stays open
      treeView_->expand(index);
      return;
    }
    tree_.items[static_cast<std::size_t>(item)].expanded = false;
  });
  connect(treeView_, &QTreeView::doubleClicked, this,
          [this] { editMenuEnableDisableFilterClick(); });
  auto *treeMenu = new QMenu(this);
  treeMenu->setObjectName(QStringLiteral("treeMenu"));
  QAction *enabledItem = treeMenu->addAction(QStringLiteral("Enabled"));
  enabledItem->setObjectName(QStringLiteral("Enabled1"));
  enabledItem->setCheckable(true);
  QAction *deleteItem = treeMenu->addAction(QStringLiteral("Delete"));
  deleteItem->setObjectName(QStringLiteral("Delete2"));
  connect(enabledItem, &QAction::triggered, this, [this] { editMenuEnableDisableFilterClick(); });
  connect(deleteItem, &QAction::triggered, this, [this] { DeleteNodeClick(); });
  connect(treeView_, &QWidget::customContextMenuRequested, this,
          [this, treeMenu, enabledItem, deleteItem](const QPoint &at) {
            const int item = model_->itemOf(treeView_->indexAt(at));
            bool editable = false;
            enabledItem->setChecked(false);
            if (item >= 0) {
              userSelectsItem(item);
              enabledItem->setChecked(tree_.node(item).getEnabled());
              editable = tree_.isInnerFilter(item);
            }
            enabledItem->setEnabled(editable);
            deleteItem->setEnabled(editable);
            treeMenu->popup(treeView_->viewport()->mapToGlobal(at));
          });

  auto *editorSide = new QWidget(splitter);
  auto *editorLayout = new QVBoxLayout(editorSide);
  editorLayout->setContentsMargins(0, 0, 0, 0);
  editorLayout->setSpacing(0);
  filterHeading = new QLabel(editorSide);
  filterHeading->setObjectName(QStringLiteral("filterHeading"));
  filterHeading->setStyleSheet(
      QStringLiteral("QLabel { background: grey; color: white; font-weight: bold; }"));
  // However long the heading, it takes the panel's width and no more: its
  // text would otherwise widen the panel and push the tree aside.
  filterHeading->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  editorLayout->addWidget(filterHeading);
  blankPanel = new QWidget(editorSide);
  blankPanel->setObjectName(QStringLiteral("blankPanel"));
  editorLayout->addWidget(blankPanel, 1);
  // A dialog fills the panel; one that cannot fit whole scrolls, never squashed.
  editorScroll_ = new QScrollArea(blankPanel);
  editorScroll_->setObjectName(QStringLiteral("editorScroll"));
  editorScroll_->setFrameShape(QFrame::NoFrame);
  editorScroll_->setWidgetResizable(true);
  auto *panelLayout = new QVBoxLayout(blankPanel);
  panelLayout->setContentsMargins(0, 0, 0, 0);
  panelLayout->addWidget(editorScroll_);
  splitter->setStretchFactor(1, 1);

  commentsSheet = new QWidget;
  commentsSheet->setObjectName(QStringLiteral("commentsSheet"));
  Tabs->addTab(commentsSheet, QStringLiteral("&3 Comments"));
  comments = new TByteMemo(commentsSheet);
  comments->setObjectName(QStringLiteral("comments"));
  (new QVBoxLayout(commentsSheet))->addWidget(comments);

  scratchPadSheet = new QWidget;
  scratchPadSheet->setObjectName(QStringLiteral("scratchPadSheet"));
  Tabs->addTab(scratchPadSheet, QStringLiteral("&4 Scratch Pad"));
  scratchPad = new TByteMemo(scratchPadSheet);
  scratchPad->setObjectName(QStringLiteral("scratchPad"));
  (new QVBoxLayout(scratchPadSheet))->addWidget(scratchPad);
  for (TByteMemo *memo : {comments, scratchPad}) {
    connect(memo, &QPlainTextEdit::textChanged, this, [this, memo] {
      if (memo->edited()) {
        setFilterHasChanged(true);
        checkButtonsEnableStatus();
      }
    });
    // The pattern menu, without its special characters.
    memo->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(memo, &QWidget::customContextMenuRequested, this, [memo](const QPoint &at) {
      TmenuForm &menu = TmenuForm::instance();
      menu.preparePopup(memo, false);
      menu.specialSubmenu()->menuAction()->setVisible(false);
      menu.popup(memo->viewport()->mapToGlobal(at));
    });
  }

  trialSheet = new QWidget;
  trialSheet->setObjectName(QStringLiteral("trialSheet"));
  Tabs->addTab(trialSheet, QStringLiteral("&5 Trial Run Area"));
  buildTrialPage();

  auto *buttons = new QHBoxLayout;
  layout->addLayout(buttons);
  clipboardButton = makeButton(this, "clipboardButton", QStringLiteral("Cli&pboard"));
  beginButton = makeButton(this, "beginButton", QStringLiteral("&Go"));
  removeButton = makeButton(this, "removeButton", QStringLiteral("Remove"));
  removeAllButton = makeButton(this, "removeAllButton", QStringLiteral("Remove All"));
  trialRunButton = makeButton(this, "trialRunButton", QStringLiteral("Trial r&un"));
  buttons->addStretch(1);
  for (QPushButton *button :
       {clipboardButton, beginButton, removeButton, removeAllButton, trialRunButton})
    buttons->addWidget(button);
  connect(clipboardButton, &QPushButton::clicked, this, [this] { beginButtonClick(true); });
  connect(beginButton, &QPushButton::clicked, this, [this] { beginButtonClick(false); });
  connect(removeButton, &QPushButton::clicked, this, &TchildForm::removeButtonClick);
  connect(removeAllButton, &QPushButton::clicked, this, &TchildForm::removeAllButtonClick);
  connect(trialRunButton, &QPushButton::clicked, this, &TchildForm::trialRunButtonClick);
  connect(Tabs, &QTabWidget::currentChanged, this, [this] {
    if (Tabs->currentWidget() == trialSheet)
      layoutTrialArea();
    checkButtonsEnableStatus();
    focusPageField();
  });
}

void TchildForm::buildTrialPage() {
  auto *layout = new QHBoxLayout(trialSheet);
  trialSplitter = new QSplitter(Qt::Horizontal, trialSheet);
  trialSplitter->setObjectName(QStringLiteral("trialSplitter"));
  layout->addWidget(trialSplitter);
  auto side = [this](const char *memoName, const char *statusName, TByteMemo *&memo,
                     MemoStatusBar *&status) {
    auto *box = new QWidget(trialSplitter);
    auto *column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    memo = new TByteMemo(box);
    memo->setObjectName(QString::fromLatin1(memoName));
    memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::Monospace);
    memo->setFont(font);
    status = new MemoStatusBar(box);
    status->setObjectName(QString::fromLatin1(statusName));
    column->addWidget(memo, 1);
    column->addWidget(status);
  };
  side("trialInput", "trialInputStatus", trialInput, trialInputStatus);
  side("trialOutput", "trialOutputStatus", trialOutput, trialOutputStatus);
  bindMemoStatus(trialInput, trialInputStatus);
  connect(trialInput, &QPlainTextEdit::textChanged, this, [this] {
    // A text the window fills in itself (a list loaded, the command line's
    // new list) leaves the bar alone: what was said there still stands. The
    // commands that put a text there call trialInputEdited themselves.
    if (trialInput->edited())
      trialInputEdited();
    // Remove and Remove All act on this text, however it came.
    checkButtonsEnableStatus();
  });
  // The output's length panel has a message of its own; an output not made
  // yet has nothing to count.
  connect(trialOutput, &QPlainTextEdit::textChanged, this, [this] {
    if (trialOutput->document()->isEmpty()) {
      trialOutputStatus->setPanelText(0, {});
      trialOutputStatus->setPanelText(1, {});
      return;
    }
    UpdateMemoCursorPos(trialOutput, trialOutputStatus);
    UpdateMemoSize(trialOutput, trialOutputStatus, 4840);
  });
  connect(trialOutput, &QPlainTextEdit::cursorPositionChanged, this, [this] {
    if (!trialOutput->document()->isEmpty())
      UpdateMemoCursorPos(trialOutput, trialOutputStatus);
  });
}

QString TchildForm::lastStatus() { return lastStatusText; }

void TchildForm::messageBox(QMessageBox::Icon icon, const std::string &text) {
  showMessageBox(nullptr, icon, QApplication::applicationName(), messageToQString(text));
}

// ---------------------------------------------------------------------------
// Tree and editor

void TchildForm::rebuildTreeView() {
  if (bulkDepth_ > 0)
    return;
  changingSelection_ = true;
  treeView_->setUpdatesEnabled(false);
  model_->reset();
  for (int i = 0; i < tree_.count(); ++i)
    if (tree_.items[static_cast<std::size_t>(i)].expanded || i == 0)
      if (tree_.hasChildren(i))
        treeView_->setExpanded(model_->indexOf(i), true);
  if (tree_.selected >= 0)
    treeView_->setCurrentIndex(model_->indexOf(tree_.selected));
  treeView_->setUpdatesEnabled(true);
  changingSelection_ = false;
}

void TchildForm::refreshItem(int index) {
  if (bulkDepth_ == 0 && index >= 0 && index < tree_.count())
    model_->refresh(index);
}

void TchildForm::treeRebuilt() { rebuildTreeView(); }

void TchildForm::selectItem(int index) {
  if (index < 0 || index >= tree_.count())
    index = -1;
  if (index == tree_.selected && (index < 0 || tree_.node(index).shown || bulkDepth_ > 0))
    return;
  if (TListObject *old = tree_.selectedNode()) {
    old->removeFromScreen();
    refreshItem(tree_.selected);
  }
  tree_.selected = index;
  if (bulkDepth_ == 0) {
    changingSelection_ = true;
    treeView_->setCurrentIndex(model_->indexOf(index));
    changingSelection_ = false;
    showCurrentEditor();
    refreshItem(index);
    checkButtonsEnableStatus();
  }
}

void TchildForm::userSelectsItem(int index) {
  // What the bar said belonged to the filter left, or to a menu since
  // closed; the next filter's dialog shows its own checks.
  if (index != tree_.selected)
    statusBarText({});
  selectItem(index);
}

void TchildForm::hideCurrentEditor() {
  for (int i = 0; i < tree_.count(); ++i) {
    TListObject &node = tree_.node(i);
    if (node.shown) {
      node.removeFromScreen();
      refreshItem(i);
      return;
    }
  }
}

void TchildForm::showCurrentEditor() {
  if (bulkDepth_ > 0)
    return;
  if (TListObject *node = tree_.selectedNode())
    node->showOnScreen(*this);
  else
    setFilterHeading({});
}

void TchildForm::storeEditor() {
  if (TListObject *node = tree_.selectedNode())
    node->getFromScreen();
}

void TchildForm::setFilterHeading(const std::string &heading) {
  const TListObject *node = tree_.selectedNode();
  setFilterHeading(heading, node && node->titleNamesFiles());
}

void TchildForm::setFilterHeading(const std::string &heading, bool namesFiles) {
  // One line of the panel's width shows: laying out a text filter's whole
  // text (megabytes, maybe) would hold up the window for seconds or more.
  constexpr std::size_t shown = 1000;
  const std::string text =
      heading.size() <= shown
          ? heading
          : std::string(graphemes::cutToBytes(heading, *systemCodePage(), shown)) + " ...";
  filterHeading->setText(namesFiles ? fileNameToQString(text) : toQString(text));
}

TNodeEditor *TchildForm::editorFor(TListObject &node, TNodeEditor *current) {
  if (current && current == editor_.get() && editorClass_ == node.className())
    return current;
  if (current)
    releaseEditor(current);
  NodeDialogFactory factory = nodeDialogFactory(node.className());
  if (!factory)
    return nullptr;
  editor_ = factory(node, *this);
  editorClass_ = std::string(node.className());
  return editor_.get();
}

void TchildForm::placeEditor(TNodeEditor &editor) {
  if (auto *dialog = dynamic_cast<QWidget *>(&editor)) {
    if (editorScroll_->widget() != dialog) {
      // The panel never owns a dialog: the window does.
      editorScroll_->takeWidget();
      dialog->setWindowFlags(Qt::Widget);
      editorScroll_->setWidget(dialog);
    }
    dialog->show();
  }
}

void TchildForm::releaseEditor(TNodeEditor *editor) {
  if (!editor || editor != editor_.get())
    return;
  TNodeEditor *released = editor_.release();
  editorClass_.clear();
  if (auto *dialog = dynamic_cast<QWidget *>(released)) {
    dialog->hide();
    if (editorScroll_->widget() == dialog)
      editorScroll_->takeWidget();
    // Events already on their way to the dialog still find it.
    dialog->deleteLater();
  } else {
    delete released;
  }
}

void TchildForm::fieldChanged() {
  TListObject *node = tree_.selectedNode();
  if (!node)
    return;
  if (node->hasChanged())
    setFilterHasChanged(true);
  followDialog(*node);
  emit listChanged();
}

void TchildForm::followDialog(TListObject &node) {
  // The heading (and for the output node the Go button) follows the dialog
  // as it is edited, through a copy: the node itself takes the dialog's
  // values only when it is left, so "Undo changes to this line" still has them.
  if (!node.shown || !node.editorForm || node.filling)
    return;
  if (std::unique_ptr<TListObject> edited = shownCopy(node))
    setFilterHeading(edited->headingText(), edited->titleNamesFiles());
}

std::unique_ptr<TListObject> TchildForm::shownCopy(const TListObject &node) {
  std::unique_ptr<TListObject> copy = TFilterList::cloneListObject(node);
  if (!node.shown || !node.editorForm || node.filling)
    return copy;
  try {
    node.editorForm->getFromScreen(*copy);
    return copy;
  } catch (const std::exception &) {
    // A value the node cannot take yet (a half-typed escape) says nothing.
    return nullptr;
  }
}

std::unique_ptr<TOutputObject> TchildForm::outputAsShown() {
  TOutputObject *output = OutputFilter();
  std::unique_ptr<TListObject> copy = output ? shownCopy(*output) : nullptr;
  if (!copy)
    return nullptr;
  return std::unique_ptr<TOutputObject>(static_cast<TOutputObject *>(copy.release()));
}

void TchildForm::refreshGoCaption() {
  TOutputObject *output = OutputFilter();
  if (!output)
    return;
  setTestMode(output->showsTestMode());
  followDialog(*output);
}

void TchildForm::statusBarText(const std::string &text) {
  lastStatusText = messageToQString(text);
  if (TmainForm *main = TmainForm::instance())
    main->statusBarText(lastStatusText);
}

void TchildForm::statusBarError(const std::string &text) {
  lastStatusText = messageToQString(text);
  if (TmainForm *main = TmainForm::instance())
    main->statusBarError(lastStatusText);
}

void TchildForm::setInputFromFiles(bool fromFiles) {
  inputFromFiles_ = fromFiles;
  checkButtonsEnableStatus();
}

TInputObject *TchildForm::inputNode() {
  return tree_.count() > 1 ? dynamic_cast<TInputObject *>(&tree_.node(1)) : nullptr;
}

TOutputObject *TchildForm::outputNode() {
  return tree_.count() > 2 ? dynamic_cast<TOutputObject *>(&tree_.node(tree_.count() - 1))
                           : nullptr;
}

int TchildForm::addFilter(std::unique_ptr<TListObject> node) {
  // The new filter is the one shown now, as when the user moves to it.
  statusBarText({});
  if (TListObject *old = tree_.selectedNode()) {
    old->removeFromScreen();
    refreshItem(tree_.selected);
  }
  const int at = tree_.addFilter(std::move(node));
  rebuildTreeView();
  Tabs->setCurrentWidget(filtersTab);
  showCurrentEditor();
  checkButtonsEnableStatus();
  setFilterHasChanged(true);
  // What is typed next goes into the new filter's first field.
  if (QWidget *dialog = editorScroll_->widget(); dialog && hasFocusInside())
    if (QWidget *field = firstFieldOf(*dialog))
      field->setFocus(Qt::OtherFocusReason);
  return at;
}

bool TchildForm::hasFocusInside() const {
  const QWidget *focus = QApplication::focusWidget();
  return focus && (focus == this || isAncestorOf(focus));
}

QWidget *TchildForm::firstFieldOf(QWidget &area) {
  for (QWidget *w = area.nextInFocusChain(); w && w != &area; w = w->nextInFocusChain()) {
    if (!area.isAncestorOf(w))
      break;
    if (w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus))
      return w;
  }
  return nullptr;
}

void TchildForm::focusPageField() {
  // Only the window the user works in takes the focus: a list that another
  // program or the command line fills must not come to the front.
  if (!hasFocusInside() || browsingTabs_)
    return;
  QWidget *page = Tabs->currentWidget();
  QWidget *field = page == filesTab          ? fileGrid_
                   : page == filtersTab      ? static_cast<QWidget *>(treeView_)
                   : page == commentsSheet   ? comments
                   : page == scratchPadSheet ? scratchPad
                                             : trialInput;
  field->setFocus(Qt::OtherFocusReason);
}

void TchildForm::clearTree() {
  hideCurrentEditor();
  tree_.clearTree();
  rebuildTreeView();
}

void TchildForm::resetFiltersOnly() {
  hideCurrentEditor();
  tree_.items.clear();
  tree_.items.push_back({TFilterCommentObject::CreateDefault(), 0, true});
  tree_.items.push_back({TInputObject::CreateDefault(), 1, true});
  tree_.items.push_back({TOutputObject::CreateDefault(), 1, true});
  tree_.selected = -1;
  rebuildTreeView();
  // Go follows the new input, whose dialog is not shown to tell it.
  if (TInputObject *input = InputFilter())
    inputFromFiles_ = input->inputFromFile;
  checkButtonsEnableStatus();
}

void TchildForm::resetFilterList() {
  std::string folder;
  getProgramFolder(folder);
  const std::string normal = folder + "normal.fll";
  try {
    if (!loadInto(normal, false, false, true))
      throw Exception(Format("Cannot open file %s", {fileNameToText(normal)}));
  } catch (const std::exception &error) {
    // A window is still usable without the default list.
    resetFiltersOnly();
    filterList_.files.clear();
    setFileRows({});
    statusBarError(Format("%s: a new list was started instead", {std::string(error.what())}));
  }
  checkButtonsEnableStatus();
  loadedFilterName_.clear();
  filterHasChanged_ = true;
  setFilterHasChanged(false);
  if (tree_.selected < 0)
    selectItem(std::min(1, tree_.count() - 1));
  showCurrentEditor();
}

void TchildForm::DeleteNodeClick() {
  if (!tree_.canDelete())
    return;
  hideCurrentEditor();
  tree_.DeleteNodeClick();
  rebuildTreeView();
  showCurrentEditor();
  checkButtonsEnableStatus();
  setFilterHasChanged(true);
}

void TchildForm::moveItemUp() {
  if (!tree_.canMoveUp())
    return;
  hideCurrentEditor();
  tree_.moveItemUp();
  rebuildTreeView();
  showCurrentEditor();
  setFilterHasChanged(true);
}

void TchildForm::moveItemDown() {
  if (!tree_.canMoveDown())
    return;
  hideCurrentEditor();
  const bool moved = tree_.moveItemDown();
  rebuildTreeView();
  showCurrentEditor();
  if (moved)
    setFilterHasChanged(true);
}

void TchildForm::MoveTreeNode(int source, int target) {
  if (source < 0 || target < 0 || source >= tree_.count() || target >= tree_.count())
    return;
  hideCurrentEditor();
  tree_.MoveTreeNode(source, target);
  rebuildTreeView();
  showCurrentEditor();
  setFilterHasChanged(true);
}

int TchildForm::ValidateDrag(bool senderIsTree, int source, int target, bool childDrop) {
  const int message = tree_.ValidateDrag(senderIsTree, source, target, childDrop);
  static const std::map<int, const char *> texts = {
      {4900, "Invalid Action:Sender is not a TTreeView"},
      {4910, "Invalid Action:You cannot drag the Top Filter or Input Filter"},
      {4920, "Invalid Action:You cannot drag the Output Filter"},
      {4930, "Invalid Action:No Target filter is selected"},
      {4940, "Invalid Action:You cannot drop a filter before the Input Filter"},
      {4950, "Invalid Action:You cannot drop a filter onto itself or its parent filter"},
      {4960, "Invalid Action:You cannot drop a parent filter onto one of its child filters"},
      {4970, "Invalid Action:Target Filter cannot have subfilters - dropping Source Filter above "
             "it"},
      {4980, "Valid Action:Dropping Source Filter as subfilter of Target Filter"},
      {4990, "Valid Action:Dropping Source Filter above the Target Filter"}};
  const std::string text = translate(message, texts.at(message));
  if (message == 4980 || message == 4990)
    statusBarText(text);
  else
    statusBarError(text);
  return message;
}

void TchildForm::TreeViewDragDrop(int source, int target, bool childDrop) {
  const int message = ValidateDrag(true, source, target, childDrop);
  if (!FilterTree::dragAccepted(message)) {
    QApplication::beep();
    return;
  }
  const bool asChild = childDrop && tree_.node(target).canParent();
  if (!asChild)
    statusBarText(translate(5000, "Adding Source filter below Target filter"));
  hideCurrentEditor();
  TListObject *targetNode = &tree_.node(target);
  tree_.dropNode(source, target, childDrop);
  // Expand the target with all its descendants.
  for (int i = 0; i < tree_.count(); ++i)
    if (&tree_.node(i) == targetNode) {
      for (int j = i; j < tree_.subtreeEnd(i); ++j)
        tree_.items[static_cast<std::size_t>(j)].expanded = true;
      break;
    }
  rebuildTreeView();
  showCurrentEditor();
  setFilterHasChanged(true);
}

void TchildForm::editMenuEnableDisableFilterClick() {
  if (!tree_.toggleEnabled())
    return;
  refreshItem(tree_.selected);
  setFilterHasChanged(true);
}

void TchildForm::Duplicatecurrentfilter1Click() {
  if (!tree_.canDuplicate()) {
    statusBarError(translate(5050, "Can't duplicate the input or output filters"));
    return;
  }
  storeEditor();
  tree_.duplicateNode();
  rebuildTreeView();
  checkButtonsEnableStatus();
  setFilterHasChanged(true);
}

void TchildForm::Undochangestothisline1Click() {
  if (TListObject *node = tree_.selectedNode(); node && node->shown) {
    node->putToScreen();
    followDialog(*node);
    emit listChanged();
  }
}

void TchildForm::checkButtonsEnableStatus() {
  // Read from the whole list, so once at the end of a run of changes, not
  // once for each of many files added.
  if (bulkDepth_ > 0)
    return;
  const int rows = fileGrid_->Rows();
  QWidget *page = Tabs->currentWidget();
  QAction *toggle = findAction(QStringLiteral("EnableDisablefilter1"));
  if (page == filtersTab) {
    const int s = tree_.selected;
    const bool removable = tree_.count() > 2 && s >= 2 && s < tree_.count() - 1;
    removeButton->setEnabled(removable);
    removeAllButton->setEnabled(tree_.count() > 2);
    if (toggle)
      toggle->setEnabled(tree_.count() > 2 && tree_.canToggleEnabled(s));
  } else if (page != commentsSheet) {
    bool any = rows > 0;
    if (page == scratchPadSheet)
      any = !scratchPad->document()->isEmpty();
    else if (page == trialSheet)
      any = !trialInput->document()->isEmpty();
    removeButton->setEnabled(any);
    removeAllButton->setEnabled(any);
    if (toggle)
      toggle->setEnabled(false);
  }
  beginButton->setEnabled(rows > 0 || !inputFromFiles_);
  refreshGoCaption();
  viewButton->setEnabled(rows > 0);
  if (TmainForm *main = TmainForm::instance())
    if (QAction *go = main->action(QStringLiteral("taskMenuGo")))
      go->setEnabled(beginButton->isEnabled());
}

void TchildForm::removeButtonClick() {
  QWidget *page = Tabs->currentWidget();
  if (page == filtersTab) {
    DeleteNodeClick();
  } else if (page == filesTab) {
    removeFile();
  } else if (page == trialSheet || page == scratchPadSheet) {
    // A click on the button has taken the focus from the memo the user
    // selected in. A memo still being filled is read-only and keeps its text.
    auto *memo = qobject_cast<QPlainTextEdit *>(QApplication::focusWidget());
    if (!memo || !page->isAncestorOf(memo))
      memo = pageMemo_ && page->isAncestorOf(pageMemo_) ? pageMemo_.data() : nullptr;
    if (memo)
      TextTarget(memo).deleteSelection();
  }
}

void TchildForm::removeAllButtonClick() {
  QWidget *page = Tabs->currentWidget();
  auto ask = [this](int id, const char *text) {
    return showMessageBox(this, QMessageBox::Warning, QApplication::applicationName(),
                          toQString(translate(id, text)),
                          QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel) ==
           QMessageBox::Yes;
  };
  if (page == filtersTab) {
    if (!ask(4590, "Remove all filters - are you sure?"))
      return;
    hideCurrentEditor();
    resetFiltersOnly();
    setFilterHasChanged(true);
  } else if (page == filesTab) {
    if (ask(4580, "Clear all files - Are you sure?"))
      clearAllFiles();
  } else if (page == scratchPadSheet) {
    // The scratch pad is saved with the list.
    scratchPad->clear();
    setFilterHasChanged(true);
  } else if (page == trialSheet) {
    trialInput->clear();
    trialOutput->clear();
    setFilterHasChanged(true);
  }
  checkButtonsEnableStatus();
}

// ---------------------------------------------------------------------------
// Changed flag and title

void TchildForm::setFilterHasChanged(bool changed) {
  // Every change is told, also one to a list already marked changed.
  emit listChanged();
  if (changed == filterHasChanged_)
    return;
  filterHasChanged_ = changed;
  setWindowTitle();
}

void TchildForm::setWindowTitle() {
  QString title = filterTitleOf(loadedFilterName_, windowNumber_);
  if (filterHasChanged_)
    title += toQString(translate(5010, " (modified)"));
  QWidget::setWindowTitle(title);
}

std::string TchildForm::getFilterName() const {
  return filterNameOf(loadedFilterName_, windowNumber_);
}

void TchildForm::setLoadedFilterName(const std::string &name) {
  if (name == loadedFilterName_)
    return;
  loadedFilterName_ = name;
  setWindowTitle();
  if (TmainForm *main = TmainForm::instance())
    if (TKitTrayIcon *tray = main->trayIcon())
      tray->SetHint(filterTitleOf(loadedFilterName_, windowNumber_));
}

// ---------------------------------------------------------------------------
// The list's texts

std::string TchildForm::memoText(Memo memo) const {
  switch (memo) {
  case Memo::Comments:
    return comments->bytes();
  case Memo::TrialInput:
    return trialInput->bytes();
  case Memo::ScratchPad:
    return scratchPad->bytes();
  }
  return {};
}

void TchildForm::setMemoText(Memo memo, const std::string &text, const std::string &areaName) {
  switch (memo) {
  case Memo::Comments:
    comments->setBytes(text, areaName);
    break;
  case Memo::TrialInput:
    trialInput->setBytes(text, areaName);
    break;
  case Memo::ScratchPad:
    scratchPad->setBytes(text, areaName);
    break;
  }
}

TFilterList &TchildForm::filterList() {
  filterList_.getFromChildForm(*this);
  return filterList_;
}

void TchildForm::beginBulkUpdate() {
  if (bulkDepth_++ == 0)
    hideCurrentEditor();
}

void TchildForm::endBulkUpdate() {
  if (bulkDepth_ == 0 || --bulkDepth_ > 0)
    return;
  rebuildTreeView();
  // The input may have changed with its dialog hidden (the wizard, a load,
  // automation): Go follows the input node, not only the dialog's clicks.
  if (TInputObject *input = InputFilter())
    inputFromFiles_ = input->inputFromFile;
  showCurrentEditor();
  checkButtonsEnableStatus();
  emit listChanged();
}

// ---------------------------------------------------------------------------
// Events

bool TchildForm::closeQuery() {
  storeEditor();
  TmainForm *main = TmainForm::instance();
  const bool quitting = main && !main->interactive();
  // A signal ends the program with nobody to ask: nothing is written over
  // the user's list, and the log says what was not saved.
  if (filterHasChanged_ && applicationTerminating()) {
    const std::string unsaved =
        Format("Filter '%s' has changed and was not saved: a signal ended the program%s",
               {getFilterName(),
                loadedFilterName_.empty()
                    ? std::string()
                    : " (its file [" + loggedName(loadedFilterName_) + "] is as it was)"});
    writeDefaultLog(TLogLevel::Warning, unsaved);
    writeErrorLine(unsaved);
  } else if (filterHasChanged_ && !quitting) {
    const auto answer =
        showMessageBox(this, QMessageBox::Question, QApplication::applicationName(),
                       messageToQString(translateFormat(
                           4780, "Filter '%s' has changed. Save it first?", {getFilterName()})),
                       QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    // A question ended by a signal is no No: the quit that follows logs
    // the list as not saved.
    if (answer != QMessageBox::Yes && answer != QMessageBox::No)
      return false;
    if (answer == QMessageBox::Yes) {
      // The file dialog or the save's error box may outlast the window.
      const QPointer<TchildForm> self(this);
      Save();
      if (!self || filterHasChanged_)
        return false;
    }
  }
  closeAnswered_ = true;
  return true;
}

void TchildForm::closeEvent(QCloseEvent *event) {
  if (!std::exchange(closeAnswered_, false) && !closeQuery()) {
    event->ignore();
    return;
  }
  closeAnswered_ = false;
  if (formInfo_)
    formInfo_->Save();
  event->accept();
}

void TchildForm::resizeEvent(QResizeEvent *event) {
  QWidget::resizeEvent(event);
  layoutTrialArea();
  if (fileGrid_->Cols() >= 1)
    fileGrid_->GetCol(Variant(1))->SetWidth(std::max(40, width() - 259));
}

std::function<void()> TchildForm::altKeyOutsideDialog(QWidget &dialog, int key) {
  if (QWidget *target = altKeyTarget(*this, key, &dialog))
    return pressing(target);
  for (int page = 0; page < Tabs->count(); ++page)
    if (answersAltKey(Tabs->tabText(page), key))
      return [this, page] { Tabs->setCurrentIndex(page); };
  if (TmainForm *main = TmainForm::instance())
    for (QAction *menu : main->menuBar()->actions())
      if (menu->isVisible() && menu->isEnabled() && answersAltKey(menu->text(), key))
        return [main, menu = QPointer<QAction>(menu)] {
          if (menu)
            main->menuBar()->setActiveAction(menu);
        };
  return {};
}

bool TchildForm::eventFilter(QObject *watched, QEvent *event) {
  // Keys that the page tabs handle themselves (the arrows) leave the focus
  // on the tabs, so the next arrow goes on to the next page.
  if (watched == Tabs->tabBar() && event->type() == QEvent::KeyPress && !browsingTabs_) {
    const QScopedValueRollback browsing(browsingTabs_, true);
    QCoreApplication::sendEvent(watched, event);
    return true;
  }
  if (watched == treeView_ && event->type() == QEvent::KeyPress) {
    auto *key = static_cast<QKeyEvent *>(event);
    if (key->modifiers() & Qt::AltModifier) {
      if (key->key() == Qt::Key_Up) {
        moveItemUp();
        return true;
      }
      if (key->key() == Qt::Key_Down) {
        moveItemDown();
        return true;
      }
    }
    if (key->key() == Qt::Key_Delete) {
      removeButtonClick();
      return true;
    }
  }
  if ((event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) &&
      watched == QApplication::focusWidget()) {
    // In a filter's dialog its own Alt keys come first, as in a dialog of
    // its own; the menu bar keeps every other letter, and all of them
    // elsewhere in the window. Left to the toolkit, a letter that the
    // dialog shares with a menu or a control of the window would go to
    // each of them in turn.
    auto *key = static_cast<QKeyEvent *>(event);
    auto *focus = static_cast<QWidget *>(watched);
    QWidget *dialog = editorScroll_->widget();
    QWidget *own =
        key->modifiers() == Qt::AltModifier && dialog ? altKeyTarget(*dialog, key->key()) : nullptr;
    // A letter whose field has the focus already (the search text after
    // Ctrl+H, and Alt+F) is left to the window and its menus.
    if (own)
      if (std::function<void()> act = dialog->isAncestorOf(focus) && altKeyMoves(*own, focus)
                                          ? pressing(own)
                                          : altKeyOutsideDialog(*dialog, key->key())) {
        event->accept();
        if (event->type() == QEvent::KeyPress)
          act();
        return true;
      }
    if (watched != treeView_)
      preparePatternMenuFor(focus);
  }
  return QWidget::eventFilter(watched, event);
}

} // namespace marrowen
