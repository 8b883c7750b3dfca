#include "filterlist/filtertree.h"

#include "classlib/exceptions.h"
#include "engine/messages.h"
#include "filterlist/commentnodes.h"
#include "filterlist/filterlist.h"
#include "filterlist/ionodes.h"
#include "filterlist/listobject.h"

#include <algorithm>

namespace marrowen {

TListObject &FilterTree::node(int index) const {
  return *items.at(static_cast<std::size_t>(index)).node;
}

TListObject *FilterTree::selectedNode() const {
  return selected >= 0 && selected < count() ? items[static_cast<std::size_t>(selected)].node.get()
                                             : nullptr;
}

std::string FilterTree::caption(int index) const { return shortTitle(node(index)); }

int FilterTree::overlay(int index) const { return node(index).getEnabled() ? -1 : 21; }

int FilterTree::parentOf(int index) const {
  const int level = items[static_cast<std::size_t>(index)].level;
  for (int i = index - 1; i >= 0; --i)
    if (items[static_cast<std::size_t>(i)].level < level)
      return i;
  return -1;
}

int FilterTree::subtreeEnd(int index) const {
  const int level = items[static_cast<std::size_t>(index)].level;
  int end = index + 1;
  while (end < count() && items[static_cast<std::size_t>(end)].level > level)
    ++end;
  return end;
}

int FilterTree::nextSibling(int index) const {
  const int end = subtreeEnd(index);
  return end < count() && items[static_cast<std::size_t>(end)].level ==
                              items[static_cast<std::size_t>(index)].level
             ? end
             : -1;
}

int FilterTree::moveSubtree(int source, int before, int level) {
  const int end = subtreeEnd(source);
  std::vector<FilterTreeItem> moved(std::make_move_iterator(items.begin() + source),
                                    std::make_move_iterator(items.begin() + end));
  const int shift = level - moved.front().level;
  for (FilterTreeItem &item : moved)
    item.level += shift;
  items.erase(items.begin() + source, items.begin() + end);
  if (before > source)
    before -= end - source;
  items.insert(items.begin() + before, std::make_move_iterator(moved.begin()),
               std::make_move_iterator(moved.end()));
  return before;
}

std::pair<int, int> FilterTree::insertionPoint() const {
  int s = selected;
  if (s > 0 && s < count()) {
    if (count() > 2 && s == count() - 1)
      --s;
    return {subtreeEnd(s), items[static_cast<std::size_t>(s)].level};
  }
  if (count() < 3)
    return {1, 1};
  return {2, items[2].level};
}

int FilterTree::fileInsertionIndex() const {
  if (selected >= 2 && selected < count())
    return selected;
  return std::max(count() - 1, std::min(1, count()));
}

int FilterTree::addFilter(std::shared_ptr<TListObject> node) {
  if (items.empty())
    clearTree();
  const auto [at, level] = insertionPoint();
  items.insert(items.begin() + at, FilterTreeItem{std::move(node), level, true});
  selected = at;
  return at;
}

bool FilterTree::canDelete() const { return selected >= 2 && selected <= count() - 2; }

bool FilterTree::DeleteNodeClick() {
  if (!canDelete())
    return false;
  const int end = subtreeEnd(selected);
  items.erase(items.begin() + selected, items.begin() + end);
  // The tree control selects what now stands in the deleted item's place.
  selected = std::min(selected, count() - 1);
  return true;
}

bool FilterTree::canMoveUp() const { return selected > 2 && selected < count() - 1; }

bool FilterTree::moveItemUp() {
  if (!canMoveUp())
    return false;
  const int previous = selected - 1;
  const int level = items[static_cast<std::size_t>(previous)].level;
  // The selection goes with the moved item, as it does on the way down, so
  // that pressing the key again moves the same filter further.
  selected = moveSubtree(selected, previous, level);
  return true;
}

bool FilterTree::canMoveDown() const {
  if (selected <= 1 || selected >= count() - 2)
    return false;
  // A filter of the chain whose subtree ends at the output node stays
  // before it: nothing may follow the output node.
  return !(items[static_cast<std::size_t>(selected)].level == 1 &&
           subtreeEnd(selected) >= count() - 1);
}

bool FilterTree::moveItemDown() {
  if (!canMoveDown())
    return false;
  // An item with subfilters moves past what follows its own subtree.
  const int next = subtreeEnd(selected);
  if (next >= count())
    return false;
  const int after = nextSibling(next);
  if (after >= 0) {
    selected = moveSubtree(selected, after, items[static_cast<std::size_t>(next)].level);
  } else {
    // What follows is the last of its parent's items: the filter goes after
    // it, at its level, so a last subfilter still comes out of its parent.
    // Nothing goes after the output node.
    if (next == count() - 1)
      return false;
    const int parent = parentOf(next);
    const int end = parent >= 0 ? subtreeEnd(parent) : count();
    selected = moveSubtree(selected, end, items[static_cast<std::size_t>(next)].level);
  }
  return true;
}

int FilterTree::MoveTreeNode(int source, int target) {
  const int end = subtreeEnd(source);
  if (target >= source && target < end)
    return source;
  for (int i = source; i < end; ++i)
    items[static_cast<std::size_t>(i)].node->clearEditorLink();
  const int level = items[static_cast<std::size_t>(target)].level + 1;
  const TListObject *kept = selectedNode();
  const int head = moveSubtree(source, subtreeEnd(target), level);
  if (kept)
    selected = static_cast<int>(
        std::find_if(items.begin(), items.end(),
                     [kept](const FilterTreeItem &item) { return item.node.get() == kept; }) -
        items.begin());
  return head;
}

bool FilterTree::IsAParentNode(int source, int target) const {
  if (source < 0 || target < 0)
    return false;
  return target >= source && target < subtreeEnd(source);
}

int FilterTree::ValidateDrag(bool senderIsTree, int source, int target, bool childDrop) const {
  if (!senderIsTree)
    return 4900;
  if (source < 0 || source >= count() || source <= 1)
    return 4910;
  if (source == count() - 1)
    return 4920;
  if (target < 0 || target >= count())
    return 4930;
  if (target <= 1)
    return 4940;
  if (target == source || (target == parentOf(source) && childDrop))
    return 4950;
  if (IsAParentNode(source, target))
    return 4960;
  if (!childDrop)
    return 4990;
  return node(target).canParent() ? 4980 : 4970;
}

int FilterTree::dropNode(int source, int target, bool childDrop) {
  if (childDrop && node(target).canParent())
    selected = MoveTreeNode(source, target);
  else
    selected = moveSubtree(source, target, items[static_cast<std::size_t>(target)].level);
  return selected;
}

bool FilterTree::canDuplicate() const { return selected > 1 && selected < count() - 1; }

bool FilterTree::duplicateNode() {
  if (!canDuplicate())
    return false;
  const int end = subtreeEnd(selected);
  std::vector<FilterTreeItem> copies;
  copies.reserve(static_cast<std::size_t>(end - selected));
  for (int i = selected; i < end; ++i) {
    const FilterTreeItem &item = items[static_cast<std::size_t>(i)];
    copies.push_back({TFilterList::cloneListObject(*item.node), item.level, item.expanded});
  }
  items.insert(items.begin() + selected, std::make_move_iterator(copies.begin()),
               std::make_move_iterator(copies.end()));
  selected += static_cast<int>(copies.size());
  return true;
}

bool FilterTree::canToggleEnabled(int index) const {
  if (index < 0 || index >= count())
    return false;
  const TListObject &item = node(index);
  return !dynamic_cast<const TInputObject *>(&item) &&
         !dynamic_cast<const TFilterCommentObject *>(&item);
}

bool FilterTree::isInnerFilter(int index) const {
  return canToggleEnabled(index) && !dynamic_cast<const TOutputObject *>(&node(index));
}

bool FilterTree::toggleEnabled() {
  TListObject *current = selectedNode();
  if (!current || !canToggleEnabled(selected))
    return false;
  current->setEnabled(!current->getEnabled());
  return true;
}

void FilterTree::clearTree() {
  items.clear();
  items.push_back({TFilterCommentObject::CreateDefault(), 0, true});
  selected = -1;
}

void FilterTree::buildTree(const TFilterList &list) {
  items.clear();
  selected = -1;
  items.reserve(list.nodes.size());
  for (const TFilterList::Entry &entry : list.nodes) {
    const int level = entry.level;
    int depth = 0;
    if (!items.empty()) {
      const int previous = count() - 1;
      const int previousDepth = items.back().level;
      if (previousDepth == level) {
        depth = previousDepth;
      } else if (previousDepth == level - 1) {
        depth = level;
      } else if (previousDepth > level) {
        int reached = parentOf(previous);
        while (reached >= 0 && items[static_cast<std::size_t>(reached)].level > level)
          reached = parentOf(reached);
        depth = reached >= 0 ? items[static_cast<std::size_t>(reached)].level : 0;
      } else {
        throw Exception(translate(6750, "Invalid tree being loaded"));
      }
    }
    items.push_back({entry.node, depth, entry.expanded});
  }
}

} // namespace marrowen
