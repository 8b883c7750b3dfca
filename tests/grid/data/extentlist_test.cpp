#include "grid/data/basegridtypes.h"
#include "grid/data/extentlist.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace marrowen {
namespace {

std::vector<int> values(const ExtentList &list) {
  std::vector<int> v;
  for (int i = 0; i < list.count(); ++i)
    v.push_back(list[i]);
  return v;
}

// Inserting or removing at an index keeps the sizes of the entries that
// follow, as a plain vector would.
TEST(ExtentList, ModifyAndMoveMatchAReferenceVector) {
  std::mt19937 random(15);
  ExtentList list;
  std::vector<int> reference;
  for (int step = 0; step < 2000; ++step) {
    const int count = static_cast<int>(reference.size());
    const int op = static_cast<int>(random() % 4);
    if (op == 0) {
      const int index = static_cast<int>(random() % (count + 1));
      const int amount = static_cast<int>(random() % 4) + 1;
      const int value = static_cast<int>(random() % 100);
      list.Modify(index, amount, value);
      reference.insert(reference.begin() + index, amount, value);
    } else if (op == 1 && count > 0) {
      const int index = static_cast<int>(random() % count);
      const int amount = 1 + static_cast<int>(random() % (count - index));
      list.Modify(index, -amount, 0);
      reference.erase(reference.begin() + index, reference.begin() + index + amount);
    } else if (op == 2 && count > 1) {
      const int from = static_cast<int>(random() % count);
      const int to = static_cast<int>(random() % count);
      list.Move(from, to);
      const int v = reference[from];
      reference.erase(reference.begin() + from);
      reference.insert(reference.begin() + to, v);
    } else {
      const int size = static_cast<int>(random() % 12);
      list.Update(size, 7);
      reference.resize(size, 7);
    }
    ASSERT_EQ(values(list), reference) << "step " << step;
    ASSERT_EQ(list.empty(), reference.empty());
  }
}

TEST(ExtentList, RefusesIndexesAndCountsOutOfRange) {
  struct Case {
    int start, index, amount;
    const char *message;
  };
  const Case cases[] = {
      {3, 4, 1, "Grid index out of range"},
      {3, -1, 1, "Grid index out of range"},
      {3, 1, -4, "Too many rows or columns deleted"},
      {3, 2, -2, "Too many rows or columns deleted"},
      {0, 0, 134217726, "Grid too large for operation"},
  };
  for (const Case &c : cases) {
    ExtentList list;
    list.Update(c.start, 5);
    try {
      list.Modify(c.index, c.amount, 0);
      ADD_FAILURE() << "no error for " << c.index << "," << c.amount;
    } catch (const EInvalidGridOperation &e) {
      EXPECT_STREQ(e.what(), c.message);
    }
    EXPECT_EQ(list.count(), c.start);
  }
}

} // namespace
} // namespace marrowen
