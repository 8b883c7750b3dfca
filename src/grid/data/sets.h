#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace marrowen {

class TdgCustomSet;
class TdgSetElement;

// Three-way answers of every comparison in the trees.
enum : int { cmpGoLeft = 0, cmpEqual = 1, cmpGoRight = 2 };

// What a tree is searched with: an integer for integer sets, the element being
// inserted for object sets, and up to two key values (column, row; a picture's
// identity) for finding in object sets.
struct SetKey {
  std::int32_t value = 0;
  TdgSetElement *element = nullptr;
  std::intptr_t keys[2] = {0, 0};
};

// One node of a height-balanced tree; Balance is the right subtree's height
// minus the left's, always -1, 0 or +1.
class TdgSetNode {
public:
  virtual ~TdgSetNode() = default;
  virtual void AssignNode(const TdgSetNode &source);
  virtual void DisposeNode() { delete this; }
  virtual int Compare(const TdgCustomSet &set, const SetKey &key) const;
  virtual int CompareFind(const TdgCustomSet &set, const SetKey &key) const {
    return Compare(set, key);
  }
  virtual void *GetData() { return nullptr; }

  TdgSetNode *Left = nullptr;
  TdgSetNode *Right = nullptr;
  std::int8_t Balance = 0;
};

class TdgIntegerSetNode : public TdgSetNode {
public:
  explicit TdgIntegerSetNode(std::int32_t value) : Value(value) {}
  // Nodes come from a free list: selections and cell indexes make and drop
  // them one at a time.
  static void *operator new(std::size_t size);
  static void operator delete(void *node, std::size_t size) noexcept;
  int Compare(const TdgCustomSet &set, const SetKey &key) const override;
  void *GetData() override { return &Value; }
  std::int32_t Value;
};

// The payload of an object set; the set owns it.
class TdgSetElement {
public:
  virtual ~TdgSetElement() = default;
  virtual int CompareElement(const TdgCustomSet &set, const TdgSetElement &other) const;
  virtual int CompareKeys(const TdgCustomSet &set, const std::intptr_t keys[2]) const;
  virtual std::string GetText() const;
  // A copy for a copied set; null when the element cannot be copied.
  virtual std::unique_ptr<TdgSetElement> CloneElement() const { return nullptr; }
};

class TdgObjectSetNode : public TdgSetNode {
public:
  explicit TdgObjectSetNode(TdgSetElement *element) : Element(element) {}
  void DisposeNode() override;
  int Compare(const TdgCustomSet &set, const SetKey &key) const override;
  int CompareFind(const TdgCustomSet &set, const SetKey &key) const override;
  void *GetData() override { return Element; }
  TdgSetElement *Element;
};

// A fixed array of Count values numbered from 1.
class TdgSetList {
public:
  explicit TdgSetList(int count) : items_(count > 0 ? count : 0) {}
  int Count() const { return static_cast<int>(items_.size()); }
  void *Get(int i) const { return i >= 1 && i <= Count() ? items_[i - 1] : nullptr; }
  void Put(int i, void *v) {
    if (i >= 1 && i <= Count())
      items_[i - 1] = v;
  }

private:
  std::vector<void *> items_;
};

// The path of a deletion: (node, direction) entries numbered from 1; the
// direction is -1 where the path went left, +1 where it went right.
class TdgNodeStack {
public:
  struct Entry {
    TdgSetNode *node = nullptr;
    int direction = 0;
  };
  int Push(TdgSetNode *node, int direction);
  Entry Pop();
  Entry GetAt(int i) const;
  void SetAt(int i, TdgSetNode *node, int direction);
  void Clear() { count_ = 0; }
  int Count() const { return count_; }
  int Capacity() const { return static_cast<int>(entries_.size()); }

private:
  std::vector<Entry> entries_;
  int count_ = 0;
};

// An AVL tree with pluggable nodes; keys are unique.
class TdgCustomSet {
public:
  TdgCustomSet() = default;
  virtual ~TdgCustomSet();
  TdgCustomSet(const TdgCustomSet &) = delete;
  TdgCustomSet &operator=(const TdgCustomSet &) = delete;

  int Count() const { return count_; }
  TdgSetNode *Root() const { return root_; }

  TdgSetNode *Insert(const SetKey &key);
  TdgSetNode *FindNode(const SetKey &key) const;
  // Unlinks the node equal to `key` and answers it; the caller disposes of it.
  TdgSetNode *DeleteNode(const SetKey &key);
  std::unique_ptr<TdgSetList> ToList() const;
  bool IsCopying() const { return copyDepth_ > 0; }

  // Gives this set the source's nodes, shape and balances. Applied to new or
  // cleared sets: what the target held is cleared first.
  virtual void Assign(const TdgCustomSet &source);
  virtual void Clear();

protected:
  virtual TdgSetNode *CreateNode(const SetKey &key);
  virtual SetKey KeyOfData(void *data) const;
  virtual TdgSetNode *CopyTree(TdgSetNode *node);

private:
  static void disposeTree(TdgSetNode *node);
  void linkSubtree(TdgSetNode *parent, TdgSetNode *oldChild, TdgSetNode *newChild);
  static TdgSetNode *rotate(TdgSetNode *a, int d, bool &bWasBalanced);

  int count_ = 0;
  TdgSetNode *root_ = nullptr;
  TdgNodeStack stack_;
  int copyDepth_ = 0;
};

class TdgIntegerSet : public TdgCustomSet {
public:
  // The stored integer (the existing one when present).
  std::int32_t *Add(std::int32_t value);
  std::int32_t *Find(std::int32_t value) const;
  void Remove(std::int32_t value);

protected:
  TdgSetNode *CreateNode(const SetKey &key) override;
  SetKey KeyOfData(void *data) const override;
};

// A tree of owned elements.
class TdgObjectSet : public TdgCustomSet {
public:
  // Takes the element; an equal element already held is freed and replaced.
  TdgSetElement *Add(std::unique_ptr<TdgSetElement> element);
  TdgSetElement *Find(std::intptr_t key0, std::intptr_t key1 = 0) const;
  void Remove(std::intptr_t key0, std::intptr_t key1 = 0);

protected:
  TdgSetNode *CreateNode(const SetKey &key) override;
  SetKey KeyOfData(void *data) const override;
};

// A growable array of integers numbered from 1; ascending and unique when
// filled through Add.
class TdgSortIntList {
public:
  virtual ~TdgSortIntList() = default;
  virtual void Assign(const TdgSortIntList &source);
  virtual void Reserve(int n);
  virtual std::int32_t Get(int pos) const;
  virtual void Insert(int pos, std::int32_t value);
  virtual void Delete(int pos);
  virtual void SetCapacity(int n);
  virtual int Add(std::int32_t value);
  virtual int Search(std::int32_t value, bool &found) const;
  virtual void Remove(std::int32_t value);
  void Put(int pos, std::int32_t value);

  int Count() const { return count_; }
  int Capacity() const { return capacity_; }

protected:
  int sortedSearch(std::int32_t value, bool &found) const;
  std::vector<std::int32_t> items_{0}; // position 0 holds no entry
  int count_ = 0;
  int capacity_ = 0;
};

// Integers numbered from 0.
class TdgIntegerList {
public:
  void Add(std::int32_t v) { items_.push_back(v); }
  std::int32_t Get(int i) const { return items_.at(i); }
  void Put(int i, std::int32_t v) { items_.at(i) = v; }
  void Remove(std::int32_t v);
  void Delete(int i) { items_.erase(items_.begin() + i); }
  int Count() const { return static_cast<int>(items_.size()); }
  void SetCount(int n) { items_.resize(n > 0 ? n : 0); }
  void Clear() { items_.clear(); }

protected:
  std::vector<std::int32_t> items_;
};

// Owned integer sets numbered from 0; entries may be empty.
class TdgIntegerSetList {
public:
  virtual ~TdgIntegerSetList() = default;
  int Count() const { return static_cast<int>(sets_.size()); }
  void SetCount(int n) { sets_.resize(n > 0 ? n : 0); }
  TdgIntegerSet *Get(int i) const { return sets_.at(i).get(); }
  TdgIntegerSet &Ensure(int i);
  void Put(int i, std::unique_ptr<TdgIntegerSet> set) { sets_.at(i) = std::move(set); }
  void ClearSets();
  // Copies the source's sets at the indexes both lists have; the count stays.
  virtual void Assign(const TdgIntegerSetList &source);

private:
  std::vector<std::unique_ptr<TdgIntegerSet>> sets_;
};

} // namespace marrowen
