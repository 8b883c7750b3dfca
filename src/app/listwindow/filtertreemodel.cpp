#include "app/listwindow/filtertreemodel.h"

#include "app/common/patternmenu.h"
#include "filterlist/listobject.h"
#include "qtext/qtext.h"

#include <QApplication>
#include <QDrag>
#include <QDragMoveEvent>
#include <QMimeData>
#include <QPainter>
#include <QPixmap>
#include <QStyleOptionViewItem>

#include <map>

namespace marrowen {

namespace {

const QString treeMime = QStringLiteral("application/x-marrowen-tree-item");

} // namespace

QIcon treeIcon(int index) {
  const std::vector<QIcon> &icons = TmenuForm::instance().treeIconList();
  return index >= 0 && index < static_cast<int>(icons.size())
             ? icons[static_cast<std::size_t>(index)]
             : QIcon();
}

QIcon treeIconWithOverlay(int index, int overlay) {
  if (overlay < 0)
    return treeIcon(index);
  static std::map<std::pair<int, int>, QIcon> icons;
  auto it = icons.find({index, overlay});
  if (it == icons.end()) {
    QPixmap pixmap = treeIcon(index).pixmap(16, 16);
    QPainter painter(&pixmap);
    painter.drawPixmap(0, 0, treeIcon(overlay).pixmap(16, 16));
    it = icons.emplace(std::pair{index, overlay}, QIcon(pixmap)).first;
  }
  return it->second;
}

FilterTreeModel::FilterTreeModel(FilterTree &tree, QObject *parent)
    : QAbstractItemModel(parent), tree_(tree) {
  index_();
}

void FilterTreeModel::index_() {
  const int count = tree_.count();
  parents_.assign(static_cast<std::size_t>(count), -1);
  rows_.assign(static_cast<std::size_t>(count), 0);
  children_.assign(static_cast<std::size_t>(count), {});
  roots_.clear();
  std::vector<int> open; // the latest item at each depth
  for (int i = 0; i < count; ++i) {
    const int level = tree_.items[static_cast<std::size_t>(i)].level;
    while (!open.empty() && tree_.items[static_cast<std::size_t>(open.back())].level >= level)
      open.pop_back();
    const int parent = open.empty() ? -1 : open.back();
    auto &siblings = parent < 0 ? roots_ : children_[static_cast<std::size_t>(parent)];
    parents_[static_cast<std::size_t>(i)] = parent;
    rows_[static_cast<std::size_t>(i)] = static_cast<int>(siblings.size());
    siblings.push_back(i);
    open.push_back(i);
  }
}

void FilterTreeModel::reset() {
  beginResetModel();
  index_();
  endResetModel();
}

void FilterTreeModel::refresh(int item) {
  const QModelIndex at = indexOf(item);
  if (at.isValid())
    emit dataChanged(at, at);
}

QModelIndex FilterTreeModel::indexOf(int item) const {
  if (item < 0 || item >= static_cast<int>(rows_.size()))
    return {};
  return createIndex(rows_[static_cast<std::size_t>(item)], 0, static_cast<quintptr>(item));
}

int FilterTreeModel::itemOf(const QModelIndex &index) const {
  return index.isValid() ? static_cast<int>(index.internalId()) : -1;
}

QModelIndex FilterTreeModel::index(int row, int column, const QModelIndex &parent) const {
  if (column != 0 || row < 0)
    return {};
  const auto &siblings =
      parent.isValid() ? children_[static_cast<std::size_t>(itemOf(parent))] : roots_;
  if (row >= static_cast<int>(siblings.size()))
    return {};
  return createIndex(row, 0, static_cast<quintptr>(siblings[static_cast<std::size_t>(row)]));
}

QModelIndex FilterTreeModel::parent(const QModelIndex &child) const {
  const int item = itemOf(child);
  if (item < 0 || item >= static_cast<int>(parents_.size()))
    return {};
  return indexOf(parents_[static_cast<std::size_t>(item)]);
}

int FilterTreeModel::rowCount(const QModelIndex &parent) const {
  if (!parent.isValid())
    return static_cast<int>(roots_.size());
  const int item = itemOf(parent);
  return item < static_cast<int>(children_.size())
             ? static_cast<int>(children_[static_cast<std::size_t>(item)].size())
             : 0;
}

int FilterTreeModel::columnCount(const QModelIndex &) const { return 1; }

QVariant FilterTreeModel::data(const QModelIndex &index, int role) const {
  const int item = itemOf(index);
  if (item < 0 || item >= tree_.count())
    return {};
  switch (role) {
  case Qt::DisplayRole:
    return tree_.node(item).titleNamesFiles() ? fileNameToQString(tree_.caption(item))
                                              : toQString(tree_.caption(item));
  case Qt::DecorationRole:
    return treeIconWithOverlay(tree_.node(item).iconIndex(), tree_.overlay(item));
  case Qt::ToolTipRole:
    return QStringLiteral("Click an item in the list to show its properties");
  default:
    return {};
  }
}

Qt::ItemFlags FilterTreeModel::flags(const QModelIndex &index) const {
  if (!index.isValid())
    return Qt::ItemIsDropEnabled;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
}

QStringList FilterTreeModel::mimeTypes() const { return {treeMime}; }

QMimeData *FilterTreeModel::mimeData(const QModelIndexList &indexes) const {
  auto *data = new QMimeData;
  data->setData(treeMime, QByteArray::number(indexes.isEmpty() ? -1 : itemOf(indexes.front())));
  return data;
}

FilterTreeView::FilterTreeView(QWidget *parent) : QTreeView(parent) {
  // The selection stays in sight while the focus is elsewhere, but dimmed,
  // so that a person sees whether keys go to the tree.
  QPalette colours = palette();
  colours.setColor(QPalette::Inactive, QPalette::Highlight,
                   colours.color(QPalette::Active, QPalette::Button).darker(112));
  colours.setColor(QPalette::Inactive, QPalette::HighlightedText,
                   colours.color(QPalette::Active, QPalette::ButtonText));
  setPalette(colours);
}

void FilterTreeView::drawRow(QPainter *painter, const QStyleOptionViewItem &option,
                             const QModelIndex &index) const {
  QStyleOptionViewItem shown(option);
  if (hasFocus())
    // The current item is framed however the focus came, by key or by mouse.
    shown.state |= QStyle::State_KeyboardFocusChange;
  else
    shown.state &= ~QStyle::State_Active;
  QTreeView::drawRow(painter, shown, index);
}

bool FilterTreeView::childDropAt(int x) const {
  return x >= viewport()->width() / 2 ||
         QApplication::queryKeyboardModifiers().testFlag(Qt::ShiftModifier);
}

void FilterTreeView::startDrag(Qt::DropActions actions) {
  dragged_ = itemOf ? itemOf(currentIndex()) : -1;
  QTreeView::startDrag(actions);
  dragged_ = -1;
}

void FilterTreeView::dragEnterEvent(QDragEnterEvent *event) {
  if (event->source() == this)
    event->acceptProposedAction();
  else
    event->ignore();
}

void FilterTreeView::dragMoveEvent(QDragMoveEvent *event) {
  const QPoint at = event->position().toPoint();
  const int target = itemOf ? itemOf(indexAt(at)) : -1;
  const bool accepted =
      event->source() == this && onDragOver && onDragOver(dragged_, target, childDropAt(at.x()));
  event->setAccepted(accepted);
}

void FilterTreeView::dropEvent(QDropEvent *event) {
  const QPoint at = event->position().toPoint();
  const int target = itemOf ? itemOf(indexAt(at)) : -1;
  // The model is rebuilt by the window: the view must not remove the source.
  event->setDropAction(Qt::IgnoreAction);
  event->accept();
  if (event->source() == this && onDrop)
    onDrop(dragged_, target, childDropAt(at.x()));
}

} // namespace marrowen
