#include "filters/fields.h"

#include "filters/selected_run.h"
#include "support/chunk_harness.h"

#include <gtest/gtest.h>

namespace marrowen {
namespace {

using testing::expectChunkInvariant;
using testing::withBracketRun;

struct FieldCase {
  LocateRange range;
  std::string input, expected;
};

void expectFieldCases(bool csv, const std::vector<FieldCase> &cases) {
  for (const FieldCase &c : cases)
    EXPECT_EQ(expectChunkInvariant(withBracketRun<TCSVfield>(c.range, csv), c.input), c.expected)
        << "method " << c.range.method << " a " << c.range.a << " b " << c.range.b << " on "
        << testing::printable(c.input);
}

TEST(CSVfield, FieldsKeepTheirQuotesAndDelimiters) {
  expectFieldCases(true, {
                             // A quoted comma does not end the field; the comma after it does.
                             {{0, 2, 2}, "a,\"b,c\",d\r\n", "a,[\"B,C\",]d\r\n"},
                             // A doubled quote stays inside the value.
                             {{0, 2, 2}, "a,\"x\"\"y\",z\n", "a,[\"X\"\"Y\",]z\n"},
                             // The byte after a closing quote ends the field.
                             {{0, 1, 1}, "\"a\"b,c\n", "[\"A\"B],c\n"},
                             // An unfinished quote runs to the end of the line.
                             {{0, 2, 2}, "a,\"b,c\n", "a,[\"B,C]\n"},
                             {{0, 3, 3}, "a,b,c", "a,b,[C]"},
                         });
}

TEST(CSVfield, RangesByLocateMethod) {
  const std::string line = "a,b,c,d,e\n";
  expectFieldCases(true, {
                             {{0, 2, 3}, line, "a,[B,C,]d,e\n"},
                             {{1, 2, 3}, line, "a,[B,C,D,]e\n"},
                             // Two fields starting at END - 2.
                             {{2, 2, 2}, line, "a,b,[C,D,]e\n"},
                             {{3, 2, 1}, line, "a,[B,C,D,]e\n"},
                             {{4, 3, 1}, line, "a,[B,C,D,]e\n"},
                             // Counted from the end on a line with too few fields:
                             // unchanged, and the subfilters do not run.
                             {{2, 6, 1}, line, line},
                             {{4, 7, 6}, line, line},
                             // Past the last field: an empty run after the whole line.
                             {{0, 7, 7}, line, "a,b,c,d,e[]\n"},
                         });
}

TEST(CSVfield, EmptyLines) {
  // No fields (CSV) or one empty field (tabs): either way the subfilters run
  // over nothing.
  expectFieldCases(true, {{{0, 1, 1}, "\n\n", "[]\n[]\n"}});
  expectFieldCases(false, {{{0, 1, 1}, "\r\n", "[]\r\n"}});
}

TEST(CSVfield, TabFields) {
  expectFieldCases(false, {
                              {{0, 2, 2}, "a,b\tc d\te\n", "a,b\t[C D\t]e\n"},
                              {{0, 3, 3}, "a\tb\t\n", "a\tb\t[]\n"},
                              {{4, 0, 0}, "a\tb\tc", "a\tb\t[C]"},
                          });
}

TEST(CSVfield, NoFieldAppearsTwice) {
  // Fields 4 .. 2: the fields between would have been both before and after
  // the range; they keep their one place and the empty range sits at field 4.
  expectFieldCases(true, {{{0, 4, 2}, "a,b,c,d,e\n", "a,b,c,[]d,e\n"}});
}

TEST(CSVfield, UnknownMethodKeepsTheLine) {
  expectFieldCases(true, {{{5, 1, 1}, "a,b\nc\n", "a,b\nc\n"}});
}

} // namespace
} // namespace marrowen
