#include "classlib/collation.h"
#include "engine/mystringlist.h"
#include "support/string_lines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using namespace marrowen;
using marrowen::testing::linesOf;

namespace {

int byLength(std::string_view a, std::string_view b) {
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

} // namespace

TEST(MyStringList, FindWithDuplicatesLandsOnTheFirstEqualItem) {
  // Lines compare by length only, so each run of equal lines is several
  // different texts; Find must land on the first of the run.
  TMyStringList list(byLength);
  list.SetDuplicates(TDuplicates::dupAccept);
  list.SetSorted(true);
  for (const char *s : {"bb", "a", "cc", "dddd", "ee", "ff", "g", "hhhh"})
    list.Add(s);
  ASSERT_EQ(list.Count(), 8);
  struct Case {
    const char *text;
    bool found;
    int index;
  };
  const Case cases[] = {
      {"x", true, 0},      // first of a, g
      {"xx", true, 2},     // first of bb, cc, ee, ff
      {"xxxx", true, 6},   // first of dddd, hhhh
      {"", false, 0},      // before everything
      {"xxx", false, 6},   // between the twos and the fours
      {"xxxxxx", false, 8} // after everything
  };
  for (const Case &c : cases) {
    int index = -1;
    EXPECT_EQ(list.Find(c.text, index), c.found) << c.text;
    EXPECT_EQ(index, c.index) << c.text;
  }
  // A line added to a sorted list goes before the equal lines already there.
  EXPECT_EQ(list.Add("zz"), 2);
  EXPECT_EQ(list.Strings(2), "zz");
}

TEST(MyStringList, FindWithoutDuplicatesMeetsAnEqualItem) {
  TMyStringList list(byLength);
  for (const char *s : {"a", "bb", "cc", "dd", "eee"})
    list.Add(s);
  int index = -1;
  EXPECT_TRUE(list.Find("xx", index));
  EXPECT_EQ(list.Strings(index).size(), 2u);
  EXPECT_FALSE(list.Find("xxxx", index));
  EXPECT_EQ(index, 5);
}

TEST(MyStringList, DefaultOrderIsTheLocaleWithCase) {
  TMyStringList list;
  list.SetSorted(true);
  for (const char *s : {"banana", "Apple", "apple", "cherry", "apple"})
    list.Add(s);
  // Case-sensitive: "apple" and "Apple" are two lines, the repeat is ignored.
  ASSERT_EQ(list.Count(), 4);
  EXPECT_EQ(list.Strings(2), "banana");
  EXPECT_EQ(list.Strings(3), "cherry");
  EXPECT_EQ(list.IndexOf("Apple") + list.IndexOf("apple"), 1);
  EXPECT_EQ(list.IndexOf("APPLE"), -1);
}

TEST(MyStringList, SortUsesTheComparisonAndMovesObjects) {
  TMyStringList list([](std::string_view a, std::string_view b) {
    return CompareStr(b, a); // descending bytes
  });
  int changes = 0;
  list.OnChange = [&](TStringList &) { ++changes; };
  list.AddObject("b", 2);
  list.AddObject("c", 3);
  list.AddObject("a", 1);
  changes = 0;
  list.Sort();
  EXPECT_EQ(linesOf(list), (std::vector<std::string>{"c", "b", "a"}));
  EXPECT_EQ(std::any_cast<int>(list.Objects(0)), 3);
  EXPECT_EQ(std::any_cast<int>(list.Objects(2)), 1);
  EXPECT_EQ(changes, 1) << "one change for the whole sort";
}

TEST(MyStringList, SortOfRandomLinesIsAnOrderedPermutation) {
  std::mt19937 random(42);
  TMyStringList list(CompareText);
  std::vector<std::string> all;
  for (int i = 0; i < 5000; ++i) {
    std::string s;
    for (int k = random() % 4; k >= 0; --k)
      s += "aAbB"[random() % 4];
    all.push_back(s);
    list.Add(s);
  }
  list.Sort();
  std::vector<std::string> sorted = linesOf(list);
  for (std::size_t i = 1; i < sorted.size(); ++i)
    ASSERT_LE(CompareText(sorted[i - 1], sorted[i]), 0) << i;
  std::sort(all.begin(), all.end());
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(sorted, all);
}
