#include "grid/data/collections.h"

#include <algorithm>

namespace marrowen {

int TCollectionItem::Index() const {
  if (!collection_)
    return -1;
  for (int i = 0; i < collection_->Count(); ++i)
    if (&collection_->Item(i) == this)
      return i;
  return -1;
}

TCollectionItem &TCollection::Add() {
  std::unique_ptr<TCollectionItem> item = itemClass_(*this);
  item->collection_ = this;
  items_.push_back(std::move(item));
  return *items_.back();
}

} // namespace marrowen
