#pragma once

#include "engine/fileinput.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace marrowen {

class TFilterList;
class TListObject;

// One item of the window's filter tree: the node it carries, its depth
// (0 for a root) and whether it is expanded.
struct FilterTreeItem {
  std::shared_ptr<TListObject> node;
  int level = 0;
  bool expanded = true;
};

// The filter-list window's editing copy of a filter list, without any
// window: the items in tree order (depth first), each subtree a contiguous
// run of deeper items after its head, and the selected item. Item 0 is the
// top node, item 1 the input node, the last level-1 item the output node.
// Every edit keeps each node present exactly once.
class FilterTree {
public:
  std::vector<FilterTreeItem> items;
  // The selected item; -1 for none.
  int selected = -1;

  int count() const { return static_cast<int>(items.size()); }
  TListObject &node(int index) const;
  TListObject *selectedNode() const;
  // The caption (the node's short title) and the overlay image (21 for a
  // disabled node, -1 for none).
  std::string caption(int index) const;
  int overlay(int index) const;
  // The parent item; -1 for a root.
  int parentOf(int index) const;
  // One past the item's last descendant.
  int subtreeEnd(int index) const;
  // The next item with the same parent; -1 when the item is the last child.
  int nextSibling(int index) const;
  bool hasChildren(int index) const { return subtreeEnd(index) > index + 1; }

  // --- Edits; each answers whether it changed the tree ---

  // Inserts after the selected item as its next sibling (never after the
  // output node), else right after the input node; selects it and returns
  // its index.
  int addFilter(std::shared_ptr<TListObject> node);
  // The index and level `addFilter` gives a new item.
  std::pair<int, int> insertionPoint() const;
  // Where a filter file's filters go: before the selected item; with the top
  // or the input selected, or nothing, after the filters already there, since
  // nothing may come before the input.
  int fileInsertionIndex() const;
  bool canDelete() const;
  bool DeleteNodeClick();
  bool canMoveUp() const;
  bool moveItemUp();
  bool canMoveDown() const;
  bool moveItemDown();
  // Moves `source` with its descendants to be the last child of `target`,
  // checking nothing but that target lies outside the moved subtree. Each
  // moved node forgets its dialog. Returns the moved item's new index.
  int MoveTreeNode(int source, int target);
  // Whether `source` is `target` or one of its ancestors.
  bool IsAParentNode(int source, int target) const;
  // The message number of a drag of `source` over `target`; a child drop
  // (right half, or Shift held) asks to nest. 4970 and up accept the drop.
  int ValidateDrag(bool senderIsTree, int source, int target, bool childDrop) const;
  static bool dragAccepted(int message) { return message >= 4970; }
  // Drops an accepted drag: as the last child of a target that can parent,
  // else above the target at its level. Returns the moved item's index.
  int dropNode(int source, int target, bool childDrop);
  bool canDuplicate() const;
  // Inserts a copy of the selected item and its descendants right before
  // it, expanded states kept; the selection stays on the original.
  bool duplicateNode();
  // Whether the item's node may be enabled and disabled: not the top or the
  // input node, which every list needs as they are. The output takes the
  // toggle into its stored flag, as saved lists carry it, and stays enabled
  // whatever is stored.
  bool canToggleEnabled(int index) const;
  // Whether the item is a filter of the list's own: neither the top, the
  // input nor the output node.
  bool isInnerFilter(int index) const;
  // Flips the selected node's enabled flag, when it may be.
  bool toggleEnabled();
  // Only a new top node.
  void clearTree();
  // The tree of a list's nodes by their levels; raises 6750 "Invalid tree
  // being loaded" when a level is more than one deeper than the item
  // before it, leaving the tree partly filled.
  void buildTree(const TFilterList &list);

private:
  // Moves the subtree of `source` to stand before the item `before` (or at
  // the end for count()), its head at `level`; returns the head's new index.
  int moveSubtree(int source, int before, int level);
};

// What a filter-list window offers its list: the tree, the three texts and
// the files grid.
class FilterListForm {
public:
  virtual ~FilterListForm() = default;
  virtual FilterTree &filterTree() = 0;
  enum class Memo { Comments, TrialInput, ScratchPad };
  virtual std::string memoText(Memo memo) const = 0;
  // Shows a text as stored; `areaName` names it in the warning about NUL bytes.
  virtual void setMemoText(Memo memo, const std::string &text, const std::string &areaName) = 0;
  virtual std::vector<FileGridRow> fileRows() const = 0;
  virtual void setFileRows(const std::vector<FileGridRow> &rows) = 0;
  // The tree changed as a whole.
  virtual void treeRebuilt() {}
};

} // namespace marrowen
