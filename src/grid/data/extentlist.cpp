#include "grid/data/extentlist.h"

#include "grid/data/basegridtypes.h"

#include <algorithm>
#include <limits>

namespace marrowen {

void ExtentList::checkNewCount(std::int64_t newCount) const {
  if (newCount < 0)
    throw EInvalidGridOperation(SGridTooManyDeleted);
  if (newCount >= std::numeric_limits<std::int32_t>::max() / 16 - 1)
    throw EInvalidGridOperation(SGridTableTooLarge);
}

void ExtentList::Modify(std::int32_t index, std::int32_t amount, std::int32_t defaultValue) {
  if (amount == 0)
    return;
  const std::int32_t oldCount = count();
  if (index < 0 || index > oldCount)
    throw EInvalidGridOperation(SIndexOutOfRange);
  checkNewCount(std::int64_t(oldCount) + amount);
  const auto at = values_.begin() + index;
  if (amount > 0) {
    values_.insert(at, static_cast<std::size_t>(amount), defaultValue);
  } else {
    if (std::int64_t(index) - amount > oldCount)
      throw EInvalidGridOperation(SGridTooManyDeleted);
    values_.erase(at, at - amount);
  }
  if (values_.empty())
    values_.shrink_to_fit();
}

void ExtentList::Update(std::int32_t newSize, std::int32_t defaultValue) {
  checkNewCount(newSize);
  values_.resize(static_cast<std::size_t>(newSize), defaultValue);
  if (values_.empty())
    values_.shrink_to_fit();
}

void ExtentList::Filter(const std::vector<bool> &keep) {
  std::size_t to = 0;
  for (std::size_t i = 0; i < values_.size() && i < keep.size(); ++i)
    if (keep[i])
      values_[to++] = values_[i];
  values_.resize(to);
}

void ExtentList::Move(std::int32_t from, std::int32_t to) {
  const auto first = values_.begin();
  if (from < to)
    std::rotate(first + from, first + from + 1, first + to + 1);
  else if (to < from)
    std::rotate(first + to, first + from, first + from + 1);
}

} // namespace marrowen
