#include "filters/charfilters.h"

#include "classlib/utf8.h"

#include "classlib/exceptions.h"
#include "support/awkward_text.h"
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
using testing::runInChunks;

TEST(CharFilters, StatefulOnesAreChunkInvariant) {
  const FilterFactory makers[] = {factory<TTextToWordList>(), factory<TRemoveMultipleWhitespace>(),
                                  factory<TRemoveANSIcolour>(), factory<TRemoveHTML>(),
                                  factory<TResolveBackspaces>()};
  for (const auto &make : makers)
    testing::expectSoundOnAwkwardTexts(make);
}

TEST(TextToWordList, OneWordPerLine) {
  expectCases(factory<TTextToWordList>(),
              {
                  {"Hello, world 42x_y z", "Hello\r\nworld\r\nx_y\r\nz\r\n"},
                  {"  ...  ", ""},
                  {"caf\xe9 na\xefve", "caf\xe9\r\nna\xefve\r\n"},
                  {"a1 _b", "a1\r\nb\r\n"},
              });
}

TEST(RemoveMultipleWhitespace, EachRunBecomesOneSpace) {
  expectCases(factory<TRemoveMultipleWhitespace>(),
              {{"a \t  b\t\tc", "a b c"}, {"\t", " "}, {" a \n b ", " a \n b "}});
}

TEST(RemoveBinary, KeepsPrintableAndLineEndsAndCounts) {
  std::string statistics;
  testing::ChunkRunOptions options;
  options.afterRun = [&](TFilter &head) { statistics = head.getStatistics(); };
  EXPECT_EQ(testing::runInChunks(factory<TRemoveBinary>(), std::string("a\tb\x01\r\n\xff~\0", 9), 1,
                                 options),
            "ab\r\n~");
  EXPECT_EQ(statistics, "4 binary character(s) removed");
  runInChunks(factory<TRemoveBinary>(), "\t", 0, options);
  EXPECT_EQ(statistics, "1 binary character(s) removed") << "a tab counts";
  // A UTF-8 letter counts once, however the read loop cuts it, as its
  // Windows-1252 byte does; a lone byte of a sequence left at the end, too.
  for (std::size_t cut : {0, 1, 2}) {
    EXPECT_EQ(runInChunks(factory<TRemoveBinary>(), "Gr\u00f6\u00dfe \u65e5\U0001f600\xf0\x9f", cut,
                          options),
              "Gre ");
    EXPECT_EQ(statistics, "6 binary character(s) removed") << cut;
  }
}

TEST(RemoveANSIcolour, Sequences) {
  expectCases(factory<TRemoveANSIcolour>(),
              {
                  {"\x1b[1;31mred\x1b[0m", "red"},
                  {"\x1b"
                   "Xa",
                   "Xa"}, // an ESC without "[" loses the ESC only
                  {"a\x1b[2J\x1b[10;5Hb", "ab"},
                  {"keep\x1b[12", "keep"},    // unterminated at the end: dropped
                  {"\x1b\x1b[m!", "\x1b[m!"}, // the second ESC is an ordinary byte
              });
}

TEST(RemoveHTML, Tags) {
  expectCases(factory<TRemoveHTML>(), {
                                          {"<b>bold</b> a > b &amp; <i", "bold a > b &amp; "},
                                          {"x<a\nhref='y'>z", "xz"},
                                          {"<<>>", ">"},
                                      });
  // A tag split between two chunks is removed whole.
  std::string text(4090, 'x');
  text += "<table border=1>y";
  EXPECT_EQ(runInChunks(factory<TRemoveHTML>(), text, 4096), std::string(4090, 'x') + "y");
}

TEST(Backspaces, RemoveAndResolve) {
  EXPECT_EQ(expectChunkInvariant(factory<TRemoveBackspaces>(), "a\bb\b\b"), "ab");
  expectCases(factory<TResolveBackspaces>(), {
                                                 {"ab\bc", "ac"},
                                                 {"\b\ba", "a"},
                                                 {"abc\b\b\b\bd", "d"},
                                             });
  // Bytes already released stay: after 200 bytes the first 100 have gone.
  std::string text = std::string(200, 'a') + std::string(200, '\b') + "x";
  EXPECT_EQ(expectChunkInvariant(factory<TResolveBackspaces>(), text), std::string(100, 'a') + "x");
  // A backspace takes a UTF-8 character whole, and the held bytes are
  // released a whole character at a time: three-byte euro signs, then more
  // backspaces than the held part has characters.
  std::string euros;
  for (int i = 0; i < 67; ++i)
    euros += "\xe2\x82\xac";
  const std::string out = expectChunkInvariant(factory<TResolveBackspaces>(),
                                               "\xc3\xa9\b" + euros + std::string(67, '\b'));
  EXPECT_TRUE(utf8::isValid(out)) << testing::printable(out);
  EXPECT_EQ(out, euros.substr(0, out.size()));
}

std::array<std::string, 256> identityEntries() {
  std::array<std::string, 256> entries;
  for (int b = 0; b < 256; ++b)
    entries[b].assign(1, static_cast<char>(b));
  entries['\\'] = "\\\\";
  return entries;
}

TEST(UserDefined, EntriesReplaceBytes) {
  auto entries = identityEntries();
  entries['a'] = "";                    // deletes the byte
  entries['b'] = "\\x41\\x42";          // escapes are decoded
  entries['c'] = std::string(300, 'C'); // kept whole, however long
  entries[0] = "\\000";
  auto make = [&] { return std::make_unique<TUserDefined>(entries); };
  std::string expected = "xAB";
  expected.append(300, 'C').append("\0y", 2);
  EXPECT_EQ(expectChunkInvariant(make, std::string("xabc\0y", 6)), expected);
}

TEST(UserDefined, OneByteEntriesMapInPlace) {
  auto entries = identityEntries();
  entries['a'].assign(1, 'z');
  entries['z'].assign("\\n", 2);
  auto make = [&] { return std::make_unique<TUserDefined>(entries); };
  EXPECT_EQ(expectChunkInvariant(make, "abz\\"), "zb\n\\");
}

TEST(UserDefined, MalformedEntryRaisesItsMessage) {
  auto entries = identityEntries();
  entries[7] = "\\x4";
  try {
    TUserDefined filter(entries);
    FAIL() << "no exception";
  } catch (const Exception &e) {
    EXPECT_EQ(e.message(), "\\xHH Expecting 2 trailing hex digits");
  }
}

} // namespace
} // namespace marrowen
