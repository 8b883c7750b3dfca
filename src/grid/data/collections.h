#pragma once

#include "grid/data/gridhost.h"

#include <functional>
#include <memory>
#include <vector>

namespace marrowen {

class TCollection;

// One item of a collection; it knows its collection and its place in it.
class TCollectionItem {
public:
  virtual ~TCollectionItem() = default;
  TCollection *Collection() const { return collection_; }
  int Index() const;

private:
  friend class TCollection;
  TCollection *collection_ = nullptr;
};

// The class library's collection: owned items of one class, made by the
// collection itself.
class TCollection {
public:
  using ItemFactory = std::function<std::unique_ptr<TCollectionItem>(TCollection &)>;
  explicit TCollection(ItemFactory itemClass) : itemClass_(std::move(itemClass)) {}
  virtual ~TCollection() = default;
  TCollection(const TCollection &) = delete;
  TCollection &operator=(const TCollection &) = delete;

  TCollectionItem &Add();
  int Count() const { return static_cast<int>(items_.size()); }
  TCollectionItem &Item(int i) const { return *items_.at(i); }
  void Delete(int i) { items_.erase(items_.begin() + i); }
  void Clear() { items_.clear(); }

private:
  ItemFactory itemClass_;
  std::vector<std::unique_ptr<TCollectionItem>> items_;
};

// A collection serving one grid while its column, row or cell properties are
// written or read.
class TdgPropCollection : public TCollection {
public:
  TdgPropCollection(ItemFactory itemClass, TdgGridHost *grid)
      : TCollection(std::move(itemClass)), Grid(grid) {}
  TdgGridHost *Grid;
};

// Column items attach to columns by data column (match mode 1) or by field
// name (0).
class TdgColCollection : public TdgPropCollection {
public:
  TdgColCollection(ItemFactory itemClass, TdgGridHost *grid)
      : TdgPropCollection(std::move(itemClass), grid) {}
  bool MatchByDataCol = true;
  int Counter = 0;
};

} // namespace marrowen
