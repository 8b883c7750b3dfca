#pragma once

#include "filterlist/filtertree.h"

#include <QAbstractItemModel>
#include <QIcon>
#include <QTreeView>

#include <functional>
#include <vector>

namespace marrowen {

// An image of the pattern-menu window's tree image list (21 is the
// disabled overlay, 39 and 40 the trial button's idle and running glyphs).
QIcon treeIcon(int index);
QIcon treeIconWithOverlay(int index, int overlay);

// Shows a FilterTree in a QTreeView. The tree stays the master copy: every
// change to it is followed by `reset` (structure) or `refresh` (captions,
// images), and the view's expand and collapse are written back to it.
class FilterTreeModel : public QAbstractItemModel {
  Q_OBJECT
public:
  explicit FilterTreeModel(FilterTree &tree, QObject *parent = nullptr);

  void reset();
  void refresh(int item);

  QModelIndex indexOf(int item) const;
  int itemOf(const QModelIndex &index) const;

  QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
  QModelIndex parent(const QModelIndex &child) const override;
  int rowCount(const QModelIndex &parent = {}) const override;
  int columnCount(const QModelIndex &parent = {}) const override;
  QVariant data(const QModelIndex &index, int role) const override;
  Qt::ItemFlags flags(const QModelIndex &index) const override;
  Qt::DropActions supportedDropActions() const override { return Qt::MoveAction; }
  QStringList mimeTypes() const override;
  QMimeData *mimeData(const QModelIndexList &indexes) const override;

private:
  // Parents and children by item, rebuilt at each reset.
  void index_();
  FilterTree &tree_;
  std::vector<int> parents_;
  std::vector<int> rows_;
  std::vector<std::vector<int>> children_;
  std::vector<int> roots_;
};

// The tree view: drags of its own items only, each drag-over and drop asked
// of the window.
class FilterTreeView : public QTreeView {
  Q_OBJECT
public:
  explicit FilterTreeView(QWidget *parent = nullptr);
  // Answer a drag over `target` (-1 for none); return whether it is accepted.
  std::function<bool(int source, int target, bool childDrop)> onDragOver;
  std::function<void(int source, int target, bool childDrop)> onDrop;
  std::function<int(const QModelIndex &)> itemOf;
  // Whether a drop at `x` is a child drop (right half, or Shift held).
  bool childDropAt(int x) const;

protected:
  void drawRow(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
  void startDrag(Qt::DropActions actions) override;
  void dragEnterEvent(QDragEnterEvent *event) override;
  void dragMoveEvent(QDragMoveEvent *event) override;
  void dropEvent(QDropEvent *event) override;

private:
  int dragged_ = -1;
};

} // namespace marrowen
