#include "filters/layoutfilters.h"

#include "support/awkward_text.h"
#include "classlib/exceptions.h"
#include "support/chunk_harness.h"
#include "support/filter_fixtures.h"

#include <gtest/gtest.h>

namespace marrowen {
namespace {

using testing::Cases;
using testing::expectCases;
using testing::expectChunkInvariant;
using testing::factory;
using testing::FilterFactory;
using testing::printable;

TEST(TabsToSpaces, ToTheNextTabStop) {
  expectCases(factory<TTabsToSpaces>(4), {
                                             {"ab\tc", "ab  c"},
                                             {"abcd\te", "abcd    e"},
                                             {"\t", "    "},
                                             {"abc\n\tx", "abc\n    x"},
                                             {"a\rb\t\t", "a\rb       "},
                                             {"abcde\t", "abcde   "},
                                         });
  expectCases(factory<TTabsToSpaces>(1), {{"a\tb", "a b"}});
  // The column carries over chunks without tabs.
  std::string text = std::string(4097, 'x') + "\t";
  EXPECT_EQ(expectChunkInvariant(factory<TTabsToSpaces>(8), text),
            std::string(4097, 'x') + "       ");
}

TEST(SpacesToTabs, SpacesEndingAStepBecomeATab) {
  expectCases(factory<TSpacesToTabs>(4), {
                                             {"    x", "\tx"},
                                             {"ab  cd", "ab\tcd"},
                                             {"abcdef\n", "abcdef\n"},
                                             {"a   ", "a\t"},
                                             {"ab \n  ", "ab \n  "},
                                             {"        ", "\t\t"},
                                         });
}

TEST(WordWrap, BreaksAfterTheLastBreakByte) {
  expectCases(factory<TWordWrap>(10),
              {
                  {std::string(25, 'w'), std::string(10, 'w') + "\r\n" + std::string(10, 'w') +
                                             "\r\n" + std::string(5, 'w')},
                  {"hello world foo", "hello \r\nworld foo"},
                  {"short\nlines\r", "short\nlines\r"},
                  {"one,two;three", "one,two;\r\nthree"},
                  {"0123456789", "0123456789"},
              });
}

TEST(Layout, WidthsBelowOneAreRefused) {
  EXPECT_THROW(TTabsToSpaces(0), Exception);
  EXPECT_THROW(TSpacesToTabs(0), Exception);
  EXPECT_THROW(TWordWrap(0), Exception);
  EXPECT_THROW(TWordWrap(-1), Exception);
}

TEST(Layout, ChunkInvariantOnAwkwardText) {
  const FilterFactory makers[] = {factory<TTabsToSpaces>(8), factory<TTabsToSpaces>(3),
                                  factory<TSpacesToTabs>(4), factory<TWordWrap>(10),
                                  factory<TWordWrap>(1)};
  for (const auto &make : makers)
    testing::expectSoundOnAwkwardTexts(make);
}

} // namespace
} // namespace marrowen
