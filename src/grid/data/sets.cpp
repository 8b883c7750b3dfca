#include "grid/data/sets.h"

#include <algorithm>
#include <mutex>
#include <stdexcept>

namespace marrowen {

namespace {

TdgSetNode *&child(TdgSetNode *node, int direction) {
  return direction < 0 ? node->Left : node->Right;
}

} // namespace

void TdgSetNode::AssignNode(const TdgSetNode &source) {
  Balance = source.Balance;
  Left = Right = nullptr;
}

int TdgSetNode::Compare(const TdgCustomSet &, const SetKey &) const { return cmpEqual; }

namespace {

// Free nodes, linked through their first word; blocks of nodes are kept for
// the program's lifetime and reused. One pool for all threads, so a set may be
// freed on another thread than the one that filled it.
struct NodePool {
  std::mutex mutex;
  union Slot {
    Slot *next;
    alignas(TdgIntegerSetNode) unsigned char storage[sizeof(TdgIntegerSetNode)];
  };
  Slot *free = nullptr;
  std::vector<std::unique_ptr<Slot[]>> blocks;
  std::size_t nextBlock = 64;

  void *take() {
    if (!free) {
      blocks.push_back(std::make_unique<Slot[]>(nextBlock));
      Slot *block = blocks.back().get();
      for (std::size_t i = 0; i < nextBlock; ++i) {
        block[i].next = free;
        free = &block[i];
      }
      nextBlock = std::min<std::size_t>(nextBlock * 2, 65536);
    }
    Slot *slot = free;
    free = slot->next;
    return slot;
  }
  void give(void *p) {
    auto *slot = static_cast<Slot *>(p);
    slot->next = free;
    free = slot;
  }
};

NodePool &nodePool() {
  static NodePool pool;
  return pool;
}

} // namespace

void *TdgIntegerSetNode::operator new(std::size_t size) {
  if (size != sizeof(TdgIntegerSetNode))
    return ::operator new(size);
  NodePool &pool = nodePool();
  std::lock_guard lock(pool.mutex);
  return pool.take();
}

void TdgIntegerSetNode::operator delete(void *node, std::size_t size) noexcept {
  if (size != sizeof(TdgIntegerSetNode)) {
    ::operator delete(node);
    return;
  }
  NodePool &pool = nodePool();
  std::lock_guard lock(pool.mutex);
  pool.give(node);
}

int TdgIntegerSetNode::Compare(const TdgCustomSet &, const SetKey &key) const {
  if (Value == key.value)
    return cmpEqual;
  return Value > key.value ? cmpGoLeft : cmpGoRight;
}

int TdgSetElement::CompareElement(const TdgCustomSet &, const TdgSetElement &) const {
  return cmpEqual;
}

int TdgSetElement::CompareKeys(const TdgCustomSet &, const std::intptr_t[2]) const {
  return cmpEqual;
}

std::string TdgSetElement::GetText() const { return {}; }

void TdgObjectSetNode::DisposeNode() {
  delete Element;
  Element = nullptr;
  delete this;
}

int TdgObjectSetNode::Compare(const TdgCustomSet &set, const SetKey &key) const {
  return Element->CompareElement(set, *key.element);
}

int TdgObjectSetNode::CompareFind(const TdgCustomSet &set, const SetKey &key) const {
  return Element->CompareKeys(set, key.keys);
}

// ---------------------------------------------------------------------------

int TdgNodeStack::Push(TdgSetNode *node, int direction) {
  if (count_ == Capacity())
    entries_.resize(entries_.size() + 10);
  entries_[count_++] = {node, direction};
  return count_;
}

TdgNodeStack::Entry TdgNodeStack::Pop() {
  if (count_ == 0)
    return {};
  return entries_[--count_];
}

TdgNodeStack::Entry TdgNodeStack::GetAt(int i) const {
  if (i < 1 || i > count_)
    return {};
  return entries_[i - 1];
}

void TdgNodeStack::SetAt(int i, TdgSetNode *node, int direction) {
  if (i >= 1 && i <= count_)
    entries_[i - 1] = {node, direction};
}

// ---------------------------------------------------------------------------

TdgCustomSet::~TdgCustomSet() { disposeTree(root_); }

void TdgCustomSet::disposeTree(TdgSetNode *node) {
  // Post-order; the recursion is as deep as the tree is high.
  if (!node)
    return;
  disposeTree(node->Left);
  disposeTree(node->Right);
  node->DisposeNode();
}

void TdgCustomSet::Clear() {
  disposeTree(root_);
  root_ = nullptr;
  count_ = 0;
  stack_.Clear();
}

TdgSetNode *TdgCustomSet::CreateNode(const SetKey &) { return new TdgSetNode; }

SetKey TdgCustomSet::KeyOfData(void *) const { return {}; }

TdgSetNode *TdgCustomSet::CopyTree(TdgSetNode *node) {
  if (!node)
    return nullptr;
  TdgSetNode *copy = CreateNode(KeyOfData(node->GetData()));
  ++count_;
  copy->AssignNode(*node);
  copy->Left = CopyTree(node->Left);
  copy->Right = CopyTree(node->Right);
  return copy;
}

void TdgCustomSet::Assign(const TdgCustomSet &source) {
  if (&source == this)
    return;
  // Nodes the target held would be lost and its count would be wrong.
  Clear();
  ++copyDepth_;
  try {
    root_ = CopyTree(source.root_);
  } catch (...) {
    --copyDepth_;
    throw;
  }
  --copyDepth_;
}

void TdgCustomSet::linkSubtree(TdgSetNode *parent, TdgSetNode *oldChild, TdgSetNode *newChild) {
  if (!parent)
    root_ = newChild;
  else if (parent->Left == oldChild)
    parent->Left = newChild;
  else
    parent->Right = newChild;
}

// Rotates the subtree at `a`, heavy on side d, and answers its new root.
TdgSetNode *TdgCustomSet::rotate(TdgSetNode *a, int d, bool &bWasBalanced) {
  TdgSetNode *b = child(a, d);
  bWasBalanced = b->Balance == 0;
  if (b->Balance == d || b->Balance == 0) {
    child(a, d) = child(b, -d);
    child(b, -d) = a;
    if (b->Balance != 0) {
      a->Balance = 0;
      b->Balance = 0;
    } else {
      a->Balance = static_cast<std::int8_t>(d);
      b->Balance = static_cast<std::int8_t>(-d);
    }
    return b;
  }
  TdgSetNode *c = child(b, -d);
  child(b, -d) = child(c, d);
  child(c, d) = b;
  child(a, d) = child(c, -d);
  child(c, -d) = a;
  if (c->Balance == d) {
    a->Balance = static_cast<std::int8_t>(-d);
    b->Balance = 0;
  } else if (c->Balance == 0) {
    a->Balance = 0;
    b->Balance = 0;
  } else {
    a->Balance = 0;
    b->Balance = static_cast<std::int8_t>(d);
  }
  c->Balance = 0;
  return c;
}

TdgSetNode *TdgCustomSet::Insert(const SetKey &key) {
  if (!root_) {
    root_ = CreateNode(key);
    ++count_;
    return root_;
  }
  TdgSetNode *critical = root_, *criticalParent = nullptr, *parent = nullptr, *p = root_;
  TdgSetNode *added = nullptr;
  for (;;) {
    const int cmp = p->Compare(*this, key);
    if (cmp == cmpEqual)
      return p;
    if (p->Balance != 0) {
      critical = p;
      criticalParent = parent;
    }
    TdgSetNode *&next = cmp == cmpGoLeft ? p->Left : p->Right;
    if (!next) {
      next = CreateNode(key);
      ++count_;
      added = next;
      break;
    }
    parent = p;
    p = next;
  }
  const int d = critical->Compare(*this, key) == cmpGoLeft ? -1 : 1;
  for (TdgSetNode *q = child(critical, d); q != added;) {
    if (q->Compare(*this, key) == cmpGoLeft) {
      q->Balance = -1;
      q = q->Left;
    } else {
      q->Balance = 1;
      q = q->Right;
    }
  }
  if (critical->Balance == 0)
    critical->Balance = static_cast<std::int8_t>(d);
  else if (critical->Balance == -d)
    critical->Balance = 0;
  else {
    bool unused;
    TdgSetNode *top = rotate(critical, d, unused);
    linkSubtree(criticalParent, critical, top);
  }
  return added;
}

TdgSetNode *TdgCustomSet::FindNode(const SetKey &key) const {
  TdgSetNode *p = root_;
  while (p) {
    const int cmp = p->CompareFind(*this, key);
    if (cmp == cmpEqual)
      return p;
    p = cmp == cmpGoLeft ? p->Left : p->Right;
  }
  return nullptr;
}

TdgSetNode *TdgCustomSet::DeleteNode(const SetKey &key) {
  stack_.Clear();
  TdgSetNode *p = root_;
  while (p) {
    const int cmp = p->CompareFind(*this, key);
    if (cmp == cmpEqual)
      break;
    const int dir = cmp == cmpGoLeft ? -1 : 1;
    stack_.Push(p, dir);
    p = child(p, dir);
  }
  if (!p)
    return nullptr;
  TdgSetNode *found = p, *unlink = p;
  int foundPos = 0;
  if (found->Left && found->Right) {
    foundPos = stack_.Push(found, 1);
    TdgSetNode *x = found->Right;
    while (x->Left) {
      stack_.Push(x, -1);
      x = x->Left;
    }
    unlink = x;
  }
  TdgSetNode *only = unlink->Left ? unlink->Left : unlink->Right;
  if (stack_.Count() == 0)
    root_ = only;
  else {
    const TdgNodeStack::Entry top = stack_.GetAt(stack_.Count());
    child(top.node, top.direction) = only;
  }
  --count_;
  if (unlink != found) {
    unlink->Left = found->Left;
    unlink->Right = found->Right;
    unlink->Balance = found->Balance;
    if (foundPos == 1)
      root_ = unlink;
    else {
      const TdgNodeStack::Entry up = stack_.GetAt(foundPos - 1);
      child(up.node, up.direction) = unlink;
    }
    stack_.SetAt(foundPos, unlink, 1);
  }
  while (stack_.Count() > 0) {
    const TdgNodeStack::Entry e = stack_.Pop();
    TdgSetNode *n = e.node;
    const int s = e.direction;
    if (n->Balance == 0) {
      n->Balance = static_cast<std::int8_t>(-s);
      break;
    }
    if (n->Balance == s) {
      n->Balance = 0;
      continue;
    }
    bool bWasBalanced;
    TdgSetNode *top = rotate(n, -s, bWasBalanced);
    if (stack_.Count() == 0)
      root_ = top;
    else {
      const TdgNodeStack::Entry below = stack_.GetAt(stack_.Count());
      child(below.node, below.direction) = top;
    }
    if (bWasBalanced)
      break;
  }
  stack_.Clear();
  found->Left = found->Right = nullptr;
  return found;
}

std::unique_ptr<TdgSetList> TdgCustomSet::ToList() const {
  auto list = std::make_unique<TdgSetList>(count_);
  std::vector<TdgSetNode *> path;
  int i = 0;
  TdgSetNode *p = root_;
  while (p || !path.empty()) {
    while (p) {
      path.push_back(p);
      p = p->Left;
    }
    p = path.back();
    path.pop_back();
    list->Put(++i, p->GetData());
    p = p->Right;
  }
  return list;
}

// ---------------------------------------------------------------------------

TdgSetNode *TdgIntegerSet::CreateNode(const SetKey &key) {
  return new TdgIntegerSetNode(key.value);
}

SetKey TdgIntegerSet::KeyOfData(void *data) const {
  SetKey key;
  key.value = *static_cast<std::int32_t *>(data);
  return key;
}

std::int32_t *TdgIntegerSet::Add(std::int32_t value) {
  SetKey key;
  key.value = value;
  return &static_cast<TdgIntegerSetNode *>(Insert(key))->Value;
}

std::int32_t *TdgIntegerSet::Find(std::int32_t value) const {
  SetKey key;
  key.value = value;
  TdgSetNode *node = FindNode(key);
  return node ? &static_cast<TdgIntegerSetNode *>(node)->Value : nullptr;
}

void TdgIntegerSet::Remove(std::int32_t value) {
  SetKey key;
  key.value = value;
  if (TdgSetNode *node = DeleteNode(key))
    node->DisposeNode();
}

// ---------------------------------------------------------------------------

TdgSetNode *TdgObjectSet::CreateNode(const SetKey &key) {
  if (IsCopying()) {
    std::unique_ptr<TdgSetElement> clone = key.element->CloneElement();
    if (!clone)
      throw std::logic_error("set element cannot be copied");
    return new TdgObjectSetNode(clone.release());
  }
  return new TdgObjectSetNode(key.element);
}

SetKey TdgObjectSet::KeyOfData(void *data) const {
  SetKey key;
  key.element = static_cast<TdgSetElement *>(data);
  return key;
}

TdgSetElement *TdgObjectSet::Add(std::unique_ptr<TdgSetElement> element) {
  SetKey key;
  key.element = element.get();
  auto *node = static_cast<TdgObjectSetNode *>(Insert(key));
  if (node->Element == element.get()) {
    element.release(); // the new node holds it
  } else {
    delete node->Element;
    node->Element = element.release();
  }
  return node->Element;
}

TdgSetElement *TdgObjectSet::Find(std::intptr_t key0, std::intptr_t key1) const {
  SetKey key;
  key.keys[0] = key0;
  key.keys[1] = key1;
  TdgSetNode *node = FindNode(key);
  return node ? static_cast<TdgObjectSetNode *>(node)->Element : nullptr;
}

void TdgObjectSet::Remove(std::intptr_t key0, std::intptr_t key1) {
  SetKey key;
  key.keys[0] = key0;
  key.keys[1] = key1;
  if (TdgSetNode *node = DeleteNode(key))
    node->DisposeNode();
}

// ---------------------------------------------------------------------------

void TdgSortIntList::Assign(const TdgSortIntList &source) {
  if (&source == this)
    return;
  if (source.count_ > 0) {
    // The old entries go: a list much longer than the source gives back its
    // room instead of keeping it for entries it no longer holds.
    count_ = 0;
    Reserve(source.count_);
    std::copy(source.items_.begin() + 1, source.items_.begin() + 1 + source.count_,
              items_.begin() + 1);
    count_ = source.count_;
  } else {
    items_.assign(1, 0);
    count_ = capacity_ = 0;
  }
}

void TdgSortIntList::Reserve(int n) {
  if (n > capacity_)
    SetCapacity(n + 100);
  else if (n < capacity_ - 100)
    SetCapacity(n);
}

void TdgSortIntList::SetCapacity(int n) {
  if (n == capacity_ || n < count_)
    return;
  items_.resize(static_cast<std::size_t>(n) + 1);
  capacity_ = n;
}

std::int32_t TdgSortIntList::Get(int pos) const {
  return pos >= 1 && pos <= count_ ? items_[pos] : 0;
}

void TdgSortIntList::Put(int pos, std::int32_t value) {
  if (pos >= 1 && pos <= count_)
    items_[pos] = value;
}

void TdgSortIntList::Insert(int pos, std::int32_t value) {
  if (pos == 0)
    pos = 1;
  if (pos < 1 || pos > count_ + 1)
    return;
  Reserve(count_ + 1);
  std::copy_backward(items_.begin() + pos, items_.begin() + count_ + 1,
                     items_.begin() + count_ + 2);
  items_[pos] = value;
  ++count_;
}

void TdgSortIntList::Delete(int pos) {
  if (pos < 1 || pos > count_)
    return;
  std::copy(items_.begin() + pos + 1, items_.begin() + count_ + 1, items_.begin() + pos);
  --count_;
  Reserve(count_);
}

int TdgSortIntList::sortedSearch(std::int32_t value, bool &found) const {
  int low = 1, high = count_;
  while (low <= high) {
    const int mid = (low + high) / 2;
    if (items_[mid] > value)
      high = mid - 1;
    else if (items_[mid] < value)
      low = mid + 1;
    else {
      found = true;
      return mid;
    }
  }
  found = false;
  return low;
}

int TdgSortIntList::Search(std::int32_t value, bool &found) const {
  return sortedSearch(value, found);
}

int TdgSortIntList::Add(std::int32_t value) {
  bool found;
  const int pos = Search(value, found);
  if (!found)
    Insert(pos, value);
  return pos;
}

void TdgSortIntList::Remove(std::int32_t value) {
  bool found;
  const int pos = Search(value, found);
  if (found)
    Delete(pos);
}

// ---------------------------------------------------------------------------

void TdgIntegerList::Remove(std::int32_t v) {
  auto it = std::find(items_.begin(), items_.end(), v);
  if (it != items_.end())
    items_.erase(it);
}

TdgIntegerSet &TdgIntegerSetList::Ensure(int i) {
  auto &set = sets_.at(i);
  if (!set)
    set = std::make_unique<TdgIntegerSet>();
  return *set;
}

void TdgIntegerSetList::ClearSets() {
  for (auto &set : sets_)
    set.reset();
}

void TdgIntegerSetList::Assign(const TdgIntegerSetList &source) {
  if (&source == this)
    return;
  ClearSets();
  const int n = std::min(Count(), source.Count());
  for (int i = 0; i < n; ++i)
    if (const TdgIntegerSet *from = source.Get(i)) {
      sets_[i] = std::make_unique<TdgIntegerSet>();
      sets_[i]->Assign(*from);
    }
}

} // namespace marrowen
