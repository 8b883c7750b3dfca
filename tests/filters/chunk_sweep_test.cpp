// Every line, column, buffer and byte-stream filter of the library over the
// same hostile inputs: however the input is cut, the output must not change,
// and a file run after another must come out as it does alone (no state may
// leak from one file into the next).

#include "engine/subchain.h"
#include "filters/bytemaths.h"
#include "filters/codecs_base64.h"
#include "filters/codecs_hex.h"
#include "filters/codecs_quotedprintable.h"
#include "filters/codecs_url.h"
#include "filters/codecs_uu.h"
#include "filters/concordance.h"
#include "filters/dumps.h"
#include "filters/fields.h"
#include "filters/grep.h"
#include "filters/headtail.h"
#include "filters/linebuffer.h"
#include "filters/linefilters.h"
#include "filters/mailfilters.h"
#include "filters/ranges.h"
#include "filters/unicodemap.h"
#include "filters/widthfilters.h"

#include "codec_testing.h"
#include "filters/selected_run.h"
#include "support/filter_fixtures.h"

#include <gtest/gtest.h>

namespace marrowen {
namespace {

using testing::factory;
using testing::FilterFactory;
using testing::printable;
using testing::withBracketRun;

struct Named {
  const char *name;
  FilterFactory make;
};

std::vector<Named> allFilters() {
  return {
      {"csv field 2", withBracketRun<TCSVfield>(LocateRange{0, 2, 2}, true)},
      {"tab fields END-1..END", withBracketRun<TCSVfield>(LocateRange{4, 1, 0}, false)},
      {"remove columns 2..4", factory<TRemoveColumns>(LocateRange{0, 2, 4})},
      {"select columns END-2..", withBracketRun<TSelectColumns>(LocateRange{4, 2, 0})},
      {"select lines 2..3", withBracketRun<TSelectLinesBasic>(2, false, 3)},
      {"select 2 lines from END-2", withBracketRun<TSelectLinesLengthFromEnd>(2, 2)},
      {"select line 2..END-1", withBracketRun<TSelectLinesOffsetToEnd>(2, 1)},
      {"select END-2..END-1", withBracketRun<TSelectLinesEndOffsets>(2, 1)},
      {"sort", factory<TSortLines>(false, 0, false)},
      {"sort numeric unique", factory<TSortLines>(true, 4, true)},
      {"reverse", factory<TReverseLines>()},
      {"lines found in", factory<TOnlyShowLinesFoundIn>(ReferenceText{"a\r\nb"})},
      {"remove duplicates", factory<TRemoveDuplicateLines>(true, 1)},
      {"show duplicates", factory<TShowDuplicateLines>(false, 0)},
      {"head 2 lines", factory<TIncludeExcludeLinesFromStart>(2, true)},
      {"head 5 bytes", factory<TIncludeExcludeBytesFromStart>(5, false)},
      {"tail 2 lines", factory<TIncludeExcludeLinesFromEnd>(2, true)},
      {"not tail 2 lines", factory<TIncludeExcludeLinesFromEnd>(2, false)},
      {"tail 5 bytes", factory<TIncludeExcludeBytesFromEnd>(5, true)},
      {"not tail 5 bytes", factory<TIncludeExcludeBytesFromEnd>(5, false)},
      {"hex dump", factory<THexDump>()},
      {"decimal dump", factory<TDecimalDump>()},
      {"rotate left 3", factory<TMathsOperation>(11, 3)},
      {"pad 6", factory<TPadLines>(6)},
      {"force 3", factory<TForceLineWidth>(3)},
      {"centre 9", factory<TCentreLines>(9)},
      {"insert column -1", factory<TInsertColumn>(-1, std::string("|"))},
      {"reverse each line", factory<TReverseEachLine>()},
      {"concordance",
       factory<TWordConcordance>(1, 1, std::string("%s %d %s"), std::vector<std::string>{"a"})},
      {"extract e-mails", factory<TExtractEmails>()},
      {"extract URLs", factory<TExtractURLs>()},
      {"remove mail headers", factory<TRemoveEmailHeaders>()},
      {"rot13", factory<TROT13>()},
      {"unicode map", factory<TUnicodeMap>(std::vector<std::string>{"$0D0A", "97"},
                                           std::vector<std::string>{"\\n", "<a>"})},
      {"qp encode", factory<TEncodeQuotedPrintable>(false)},
      {"qp decode", factory<TDecodeQuotedPrintable>()},
      {"base64 encode", factory<TEncodeBase64>()},
      {"base64 decode", factory<TDecodeBase64>()},
      {"hex encode", factory<TEncodeHex>()},
      {"hex decode", factory<TDecodeHex>()},
      {"url encode", factory<THTTPEncode>()},
      {"url decode", factory<THTTPDecode>()},
      {"uu encode", factory<TUUEncode>(true)},
      {"xx decode", factory<TUUDecode>(false)},
  };
}

std::vector<std::string> hostileInputs() {
  std::string crAtChunkEnds;
  for (int i = 0; i < 3; ++i)
    crAtChunkEnds += std::string(4095, 'x') + "\r";
  crAtChunkEnds += "\nlast";
  return {
      "",
      "a",
      "a\r",
      "\r\n\r\n\n\r\r",
      std::string("a\0b,c\0\t\"d\0\r\nb\0\n\0", 17),
      "b 1\na 1\r\nA 2\rb 3\n\nb 3", // no final line end
      "x=4G =\r\nmail@host.dom http://Web.x/p?q=1 %4a+%zz YWJj\n.\nend\n",
      "begin 644 f\r\n#80``\r\n`\r\nend\r\n",
      crAtChunkEnds,
      std::string(20000, 'q') + "\n" + std::string(9000, 'w'), // lines longer than a chunk
      testing::scrambledBytes(9000),
  };
}

TEST(ChunkSweep, EveryFilterGivesTheSameOutputHoweverTheInputIsCut) {
  testing::QuietMessageBoxes quiet;
  for (const Named &filter : allFilters())
    for (const std::string &input : hostileInputs())
      EXPECT_TRUE(testing::isChunkInvariant(filter.make, input))
          << filter.name << " over " << printable(input.substr(0, 60));
}

TEST(ChunkSweep, NoStateLeaksFromOneFileIntoTheNext) {
  testing::QuietMessageBoxes quiet;
  const std::vector<std::string> inputs = hostileInputs();
  for (const Named &filter : allFilters()) {
    std::vector<std::string> alone;
    for (const std::string &input : inputs)
      alone.push_back(testing::runInChunks(filter.make, input, 7));
    for (std::size_t split : {std::size_t{0}, std::size_t{7}}) {
      std::vector<std::string> together = testing::runFilesInChunks(filter.make, inputs, split);
      ASSERT_EQ(together.size(), inputs.size()) << filter.name;
      for (std::size_t i = 0; i < inputs.size(); ++i)
        EXPECT_EQ(together[i], alone[i])
            << filter.name << ": file " << i << " after " << i << " others, in chunks of " << split;
    }
  }
}

// A grep whose selected lines each run through a bracketing child chain
// that passes its output straight on.
template <class F, class... Args> FilterFactory withBracketedChild(Args... args) {
  return [=]() -> std::unique_ptr<TFilter> {
    auto filter = std::make_unique<F>(args...);
    testing::giveSubfilters(*filter, std::make_unique<testing::BracketRun>(),
                            std::make_unique<TIgnoreFlush>());
    return filter;
  };
}

// `first` followed by `second`: the first's lines go to the second whole.
FilterFactory chained(FilterFactory first, FilterFactory second) {
  return [=] {
    std::unique_ptr<TFilter> head = first();
    head->lastFilter()->setNext(second());
    return head;
  };
}

// Long lines and texts go on in pieces, never copied whole. With pieces of
// a few bytes every text goes that way, and must come out as it does whole.
TEST(ChunkSweep, TextsPassedOnInPiecesComeOutAsWhole) {
  testing::QuietMessageBoxes quiet;
  std::vector<Named> filters = allFilters();
  const FilterFactory numbers = factory<TAddLineNumbers>(1, 1, false, true, std::string("%d:"));
  filters.insert(
      filters.end(),
      {{"line numbers", numbers},
       {"margin", factory<TAddTextStartOrEndLine>(std::string("> "), true)},
       {"end text with a line end", factory<TAddTextStartOrEndLine>(std::string("<\n"), false)},
       {"no leading blanks", factory<TRemoveBlanksFromSOL>()},
       {"no trailing blanks", factory<TRemoveBlanksFromEOL>()},
       {"truncate 2", factory<TTruncateWidth>(2)},
       {"grep numbered with header",
        factory<TGrep>(std::string("[ab]"), true, false, true, false, false)},
       {"grep into child",
        withBracketedChild<TGrep>(std::string("a"), true, false, false, false, false)},
       {"context grep into child",
        withBracketedChild<TContextGrep>(std::string("a"), true, false, false, false, false, 1, 2)},
       {"reverse then numbers", chained(factory<TReverseEachLine>(), numbers)},
       {"numbers then a selection",
        chained(numbers, withBracketRun<TSelectLinesBasic>(1, true, 9))}});
  for (const Named &filter : filters)
    for (const std::string &input : hostileInputs()) {
      const std::string whole = testing::runInChunks(filter.make, input, 4096);
      TextPieceSizeForTests pieces(3);
      EXPECT_EQ(testing::runInChunks(filter.make, input, 4096), whole)
          << filter.name << " over " << printable(input.substr(0, 60));
    }
}

} // namespace
} // namespace marrowen
