#include "grid/data/sets.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

using namespace marrowen;

namespace {

// Checks every node's balance against its subtrees' heights; answers the height.
int checkedHeight(const TdgSetNode *node, int &faults) {
  if (!node)
    return 0;
  const int l = checkedHeight(node->Left, faults), r = checkedHeight(node->Right, faults);
  if (node->Balance != r - l)
    ++faults;
  return 1 + std::max(l, r);
}

std::vector<int> contents(const TdgIntegerSet &set) {
  std::vector<int> out;
  auto list = set.ToList();
  for (int i = 1; i <= list->Count(); ++i)
    out.push_back(*static_cast<int *>(list->Get(i)));
  return out;
}

struct Probe : TdgSetElement {
  int key;
  int *freed;
  Probe(int k, int *f) : key(k), freed(f) {}
  ~Probe() override { ++*freed; }
  int CompareElement(const TdgCustomSet &, const TdgSetElement &o) const override {
    const int other = static_cast<const Probe &>(o).key;
    return key == other ? cmpEqual : key > other ? cmpGoLeft : cmpGoRight;
  }
  int CompareKeys(const TdgCustomSet &, const std::intptr_t keys[2]) const override {
    return key == keys[0] ? cmpEqual : key > keys[0] ? cmpGoLeft : cmpGoRight;
  }
};

} // namespace

TEST(IntegerSet, StaysBalancedAndSortedThroughRandomInsertsAndDeletes) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> value(-5000, 5000);
  TdgIntegerSet set;
  std::set<int> reference;
  for (int i = 0; i < 100000; ++i) {
    const int v = value(random);
    if (random() % 3 != 0) {
      EXPECT_EQ(*set.Add(v), v);
      reference.insert(v);
    } else {
      set.Remove(v);
      reference.erase(v);
    }
    if (i % 5000 == 0) {
      int faults = 0;
      checkedHeight(set.Root(), faults);
      ASSERT_EQ(faults, 0) << "after step " << i;
    }
  }
  int faults = 0;
  checkedHeight(set.Root(), faults);
  EXPECT_EQ(faults, 0);
  EXPECT_EQ(set.Count(), static_cast<int>(reference.size()));
  EXPECT_EQ(contents(set), std::vector<int>(reference.begin(), reference.end()));
  for (int v : {-5001, 5001})
    EXPECT_EQ(set.Find(v), nullptr);
}

TEST(IntegerSet, AddingAKnownValueAnswersTheStoredOne) {
  TdgIntegerSet set;
  int *first = set.Add(3);
  EXPECT_EQ(set.Add(3), first);
  EXPECT_EQ(set.Count(), 1);
  set.Remove(4);
  EXPECT_EQ(set.Count(), 1);
  TdgIntegerSet empty;
  EXPECT_EQ(empty.ToList()->Count(), 0);
}

TEST(IntegerSet, AssignCopiesShapeAndBalancesAndClearsTheTarget) {
  TdgIntegerSet source, target;
  for (int v : {5, 3, 8, 1, 4, 7, 9, 2})
    source.Add(v);
  target.Add(100);
  target.Add(200);
  target.Assign(source);
  EXPECT_EQ(target.Count(), source.Count());
  EXPECT_EQ(contents(target), contents(source));
  std::vector<std::pair<const TdgSetNode *, const TdgSetNode *>> pairs{
      {source.Root(), target.Root()}};
  while (!pairs.empty()) {
    auto [a, b] = pairs.back();
    pairs.pop_back();
    ASSERT_EQ(a == nullptr, b == nullptr);
    if (!a)
      continue;
    EXPECT_NE(a, b);
    EXPECT_EQ(a->Balance, b->Balance);
    EXPECT_EQ(static_cast<const TdgIntegerSetNode *>(a)->Value,
              static_cast<const TdgIntegerSetNode *>(b)->Value);
    pairs.push_back({a->Left, b->Left});
    pairs.push_back({a->Right, b->Right});
  }
}

TEST(ObjectSet, AnEqualElementReplacesAndFreesTheOld) {
  int freed = 0;
  {
    TdgObjectSet set;
    set.Add(std::make_unique<Probe>(1, &freed));
    auto *second = set.Add(std::make_unique<Probe>(2, &freed));
    auto *replacement = set.Add(std::make_unique<Probe>(2, &freed));
    EXPECT_EQ(freed, 1);
    EXPECT_NE(replacement, second);
    EXPECT_EQ(set.Find(2), replacement);
    EXPECT_EQ(set.Count(), 2);
    set.Remove(1);
    EXPECT_EQ(freed, 2);
    set.Remove(9);
    EXPECT_EQ(set.Count(), 1);
  }
  EXPECT_EQ(freed, 3);
}

TEST(SortIntList, KeepsOrderAndAnswersInsertionPoints) {
  TdgSortIntList list;
  for (int v : {5, 1, 3, 3})
    list.Add(v);
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Get(1), 1);
  EXPECT_EQ(list.Get(2), 3);
  EXPECT_EQ(list.Get(3), 5);
  bool found = true;
  EXPECT_EQ(list.Search(4, found), 3);
  EXPECT_FALSE(found);
  EXPECT_EQ(list.Search(0, found), 1);
  EXPECT_EQ(list.Search(9, found), 4);
  list.Insert(0, 42);
  EXPECT_EQ(list.Get(1), 42);
  EXPECT_EQ(list.Get(0), 0);
  EXPECT_EQ(list.Get(list.Count() + 1), 0);
  list.Delete(1);
  list.Remove(3);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Get(2), 5);
  // A copy of a short list into a long one takes the short one's room.
  TdgSortIntList longer;
  for (int v = 1; v <= 1000; ++v)
    longer.Add(v);
  longer.Assign(list);
  EXPECT_EQ(longer.Count(), 2);
  EXPECT_EQ(longer.Capacity(), 2);
  EXPECT_EQ(longer.Get(2), 5);
}

TEST(IntegerSetList, AssignCopiesOnlyTheTargetsEntries) {
  TdgIntegerSetList source, target;
  source.SetCount(3);
  target.SetCount(2);
  source.Ensure(0).Add(1);
  source.Ensure(2).Add(3);
  target.Ensure(1).Add(7);
  target.Assign(source);
  EXPECT_EQ(target.Count(), 2);
  ASSERT_NE(target.Get(0), nullptr);
  EXPECT_NE(target.Get(0), source.Get(0));
  EXPECT_NE(target.Get(0)->Find(1), nullptr);
  EXPECT_EQ(target.Get(1), nullptr);
}
