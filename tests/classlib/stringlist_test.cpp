#include "classlib/collation.h"
#include "classlib/stringlist.h"
#include "support/error_message.h"
#include "support/string_lines.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <random>

using namespace marrowen;
using namespace std::string_literals;
using marrowen::testing::errorOf;
using marrowen::testing::linesOf;
using marrowen::testing::readFile;
using marrowen::testing::TempFolder;
using marrowen::testing::writeFile;

namespace {

using Lines = std::vector<std::string>;

} // namespace

TEST(StringList, TextEndsEveryLineWithCrLf) {
  TStringList list;
  EXPECT_EQ(list.Text(), "");
  list.Add("a");
  list.Add("");
  list.Add("b");
  EXPECT_EQ(list.Text(), "a\r\n\r\nb\r\n");
}

TEST(StringList, SetTextSplitsAtCrLfOrLfOrCr) {
  struct Case {
    std::string text;
    Lines expected;
  };
  const Case cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\r\nb", {"a", "b"}},
      {"a\nb\n", {"a", "b"}},
      {"a\rb\r", {"a", "b"}},
      {"a\rb\r\n\nc", {"a", "b", "", "c"}},
      {"\n", {""}},
      {"\r\n\r\n", {"", ""}},
      {"a\n\rb", {"a", "", "b"}},
      {std::string("x\0y\nz", 5), {std::string("x\0y", 3), "z"}},
      {"\xe9t\xe9\r\n\xff", {"\xe9t\xe9", "\xff"}},
  };
  for (const Case &c : cases) {
    TStringList list;
    list.SetText(c.text);
    EXPECT_EQ(linesOf(list), c.expected) << c.text;
  }
}

TEST(StringList, SetTextWithOneKindOfLineEndOnly) {
  // Long texts with CR only or LF only must split at every line end.
  for (const char *eol : {"\r", "\n"}) {
    std::string text;
    for (int i = 0; i < 20000; ++i)
      text += std::to_string(i) + eol;
    TStringList list;
    list.SetText(text);
    ASSERT_EQ(list.Count(), 20000);
    EXPECT_EQ(list.Strings(19999), "19999");
  }
}

TEST(StringList, NameValueAccessIgnoresCase) {
  TStringList list;
  list.SetText("Alpha=1\nbeta=x=y\nnoequals\n=empty name\n");
  EXPECT_EQ(list.Values("ALPHA"), "1");
  EXPECT_EQ(list.Values("Beta"), "x=y");
  EXPECT_EQ(list.Values("noequals"), "");
  EXPECT_EQ(list.Values("missing"), "");
  EXPECT_EQ(list.Names(1), "beta");
  EXPECT_EQ(list.Names(2), "");
  EXPECT_EQ(list.IndexOfName(""), 3);
  EXPECT_EQ(list.ValueFromIndex(1), "x=y");
  EXPECT_EQ(list.IndexOfName("\xc9T\xc9"), -1);
  list.Add("\xe9t\xe9=summer");
  EXPECT_EQ(list.Values("\xc9T\xc9"), "summer");
}

TEST(StringList, SettingAValue) {
  TStringList list;
  list.SetText("a=1\nb=2\nc=3\n");
  list.SetValues("B", "20");
  EXPECT_EQ(linesOf(list), (Lines{"a=1", "B=20", "c=3"}));
  list.SetValues("d", "4");
  EXPECT_EQ(linesOf(list), (Lines{"a=1", "B=20", "c=3", "d=4"}));
  list.SetValues("A", "");
  EXPECT_EQ(linesOf(list), (Lines{"B=20", "c=3", "d=4"}));
  list.SetValues("missing", "");
  EXPECT_EQ(list.Count(), 3);
}

TEST(StringList, SettingAValueOnASortedList) {
  // The class library's own way (append an empty line, then overwrite it)
  // is refused on a sorted list and left the empty line behind.
  TStringList list;
  list.SetSorted(true);
  list.AddObject("m=1", 7);
  list.Add("z=2");
  list.SetValues("a", "0");
  list.SetValues("M", "9");
  EXPECT_EQ(linesOf(list), (Lines{"a=0", "M=9", "z=2"}));
  EXPECT_EQ(std::any_cast<int>(list.Objects(1)), 7);
  list.SetValues("z", "");
  EXPECT_EQ(linesOf(list), (Lines{"a=0", "M=9"}));
}

TEST(StringList, SortedAddAndDuplicates) {
  TStringList list;
  list.SetSorted(true);
  for (const char *s : {"pear", "Apple", "fig", "apple"})
    list.Add(s);
  // Without case "Apple" and "apple" are one line: the second is ignored.
  EXPECT_EQ(linesOf(list), (Lines{"Apple", "fig", "pear"}));
  EXPECT_EQ(list.Add("FIG"), 1);
  EXPECT_EQ(list.Count(), 3);

  list.SetDuplicates(TDuplicates::dupError);
  try {
    list.Add("PEAR");
    FAIL() << "a duplicate was accepted";
  } catch (const EStringListError &e) {
    EXPECT_EQ(e.message(), "String list does not allow duplicates");
  }
  EXPECT_EQ(list.Count(), 3);

  list.SetDuplicates(TDuplicates::dupAccept);
  list.Add("PEAR");
  list.Add("Fig");
  EXPECT_EQ(list.Count(), 5);
  int index;
  ASSERT_TRUE(list.Find("fig", index));
  EXPECT_EQ(index, 1) << "the first of the equal lines";
  EXPECT_EQ(list.IndexOf("pear"), 3);
}

TEST(StringList, FindGivesTheInsertionPointOfAMissingLine) {
  TStringList list;
  list.SetCaseSensitive(true);
  list.SetSorted(true);
  for (const char *s : {"b", "d", "f"})
    list.Add(s);
  const std::pair<const char *, int> cases[] = {{"a", 0}, {"c", 1}, {"e", 2}, {"g", 3}};
  for (auto [text, expected] : cases) {
    int index = -1;
    EXPECT_FALSE(list.Find(text, index));
    EXPECT_EQ(index, expected) << text;
  }
}

TEST(StringList, OperationsRefusedOnASortedList) {
  TStringList list;
  list.SetSorted(true);
  list.Add("a");
  list.Add("b");
  auto refused = [](auto op) { return errorOf<EStringListError>(op); };
  const std::string message = "Operation not allowed on sorted list";
  EXPECT_EQ(refused([&] { list.Insert(0, "z"); }), message);
  EXPECT_EQ(refused([&] { list.SetStrings(0, "z"); }), message);
  EXPECT_EQ(refused([&] { list.Move(0, 1); }), message);
  EXPECT_EQ(linesOf(list), (Lines{"a", "b"}));
}

TEST(StringList, IndexesOutOfBoundsRaise) {
  TStringList list;
  list.Add("a");
  auto message = [](auto op) { return errorOf<EStringListError>(op); };
  EXPECT_EQ(message([&] { list.Strings(1); }), "List index out of bounds (1)");
  EXPECT_EQ(message([&] { list.Delete(-1); }), "List index out of bounds (-1)");
  EXPECT_EQ(message([&] { list.Insert(2, "x"); }), "List index out of bounds (2)");
  EXPECT_EQ(message([&] { list.Exchange(0, 5); }), "List index out of bounds (5)");
  list.Insert(1, "b");
  EXPECT_EQ(linesOf(list), (Lines{"a", "b"}));
}

TEST(StringList, EditingKeepsObjectsWithTheirLines) {
  TStringList list;
  list.AddObject("one", 1);
  list.AddObject("two", 2);
  list.AddObject("three", 3);
  list.Exchange(0, 2);
  list.Move(0, 1);
  EXPECT_EQ(linesOf(list), (Lines{"two", "three", "one"}));
  EXPECT_EQ(std::any_cast<int>(list.Objects(0)), 2);
  EXPECT_EQ(std::any_cast<int>(list.Objects(1)), 3);
  list.Sort();
  EXPECT_EQ(linesOf(list), (Lines{"one", "three", "two"}));
  EXPECT_EQ(std::any_cast<int>(list.Objects(0)), 1);
  EXPECT_EQ(std::any_cast<int>(list.Objects(2)), 2);
  list.Delete(1);
  EXPECT_EQ(std::any_cast<int>(list.Objects(1)), 2);
  EXPECT_EQ(list.IndexOfObject([](const std::any &o) { return std::any_cast<int>(o) == 2; }), 1);
}

TEST(StringList, ChangeNotification) {
  TStringList list;
  std::vector<std::string> events;
  list.OnChanging = [&](TStringList &l) {
    events.push_back("changing " + std::to_string(l.Count()));
  };
  list.OnChange = [&](TStringList &l) { events.push_back("changed " + std::to_string(l.Count())); };
  list.Add("a");
  EXPECT_EQ(events, (Lines{"changing 0", "changed 1"}));

  events.clear();
  list.BeginUpdate();
  list.Add("b");
  list.BeginUpdate();
  list.Delete(0);
  list.EndUpdate();
  list.Add("c");
  list.EndUpdate();
  EXPECT_EQ(events, (Lines{"changing 1", "changed 2"}));

  events.clear();
  list.SetText("x\ny\nz");
  EXPECT_EQ(events, (Lines{"changing 2", "changed 3"}));

  events.clear();
  TStringList empty;
  empty.OnChange = list.OnChange;
  empty.Clear();
  EXPECT_TRUE(events.empty()) << "clearing an empty list changes nothing";
}

TEST(StringList, SortPutsLinesInLocaleOrderWithoutCase) {
  TStringList list;
  list.SetText("banana\nApple\ncherry\napple2\n");
  list.Sort();
  EXPECT_EQ(linesOf(list), (Lines{"Apple", "apple2", "banana", "cherry"}));
  list.SetCaseSensitive(true);
  list.Sort();
  EXPECT_EQ(list.Strings(3), "cherry");
}

TEST(StringList, SortOfManyLinesInAdverseOrders) {
  // Sorted, reversed and all-equal inputs of a large list: the sort must
  // stay within a shallow stack and leave an ordered permutation.
  const int n = 50000;
  auto byBytes = [](TStringList &l, int a, int b) {
    return CompareStr(l.Strings(a), l.Strings(b));
  };
  for (int kind = 0; kind < 4; ++kind) {
    TStringList list;
    std::mt19937 random(kind);
    list.BeginUpdate();
    for (int i = 0; i < n; ++i) {
      int v = kind == 0 ? i : kind == 1 ? n - i : kind == 2 ? 7 : static_cast<int>(random() % 50);
      char buffer[16];
      std::snprintf(buffer, sizeof buffer, "%08d", v);
      list.AddObject(buffer, v);
    }
    list.EndUpdate();
    list.CustomSort(byBytes);
    ASSERT_EQ(list.Count(), n);
    for (int i = 1; i < n; ++i)
      ASSERT_LE(list.Strings(i - 1), list.Strings(i)) << "kind " << kind << " at " << i;
    for (int i = 0; i < n; i += 997)
      ASSERT_EQ(std::stoi(list.Strings(i)), std::any_cast<int>(list.Objects(i)));
  }
}

TEST(StringList, FilesHoldTheBytesOfText) {
  TempFolder folder;
  std::string file = folder.file("lines.txt");
  writeFile(file, "one\r\ntw\0o\nthree\r\xff"s);
  TStringList list;
  list.LoadFromFile(file);
  EXPECT_EQ(linesOf(list), (Lines{"one", std::string("tw\0o", 4), "three", "\xff"}));
  list.SaveToFile(file);
  EXPECT_EQ(readFile(file), "one\r\ntw\0o\r\nthree\r\n\xff\r\n"s);

  try {
    list.LoadFromFile(folder.file("missing.txt"));
    FAIL();
  } catch (const EFOpenError &e) {
    EXPECT_EQ(e.message(), "Cannot open file " + folder.file("missing.txt"));
  }
  EXPECT_EQ(list.Count(), 4) << "a failed load keeps the lines";
  try {
    list.SaveToFile(folder.file("no/such/folder.txt"));
    FAIL();
  } catch (const EFCreateError &e) {
    EXPECT_EQ(e.message(), "Cannot create file " + folder.file("no/such/folder.txt") +
                               ". No such file or directory");
  }
}

TEST(StringList, AssignAndAddStrings) {
  TStringList source;
  source.SetText("b\na\n");
  TStringList target;
  target.SetSorted(true);
  target.Add("c");
  target.Assign(source);
  EXPECT_EQ(linesOf(target), (Lines{"a", "b"}));
  target.AddStrings(target);
  EXPECT_EQ(linesOf(target), (Lines{"a", "b"})) << "a sorted list ignoring duplicates";
  source.AddStrings(source);
  EXPECT_EQ(linesOf(source), (Lines{"b", "a", "b", "a"}));
}
