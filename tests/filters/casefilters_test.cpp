#include "filters/casefilters.h"

#include "classlib/scopeexit.h"
#include "classlib/utf8.h"

#include "engine/escapes.h"
#include "support/awkward_text.h"
#include "support/chunk_harness.h"
#include "support/filter_fixtures.h"

#include <gtest/gtest.h>

#include <random>

namespace marrowen {
namespace {

using testing::allBytes;
using testing::expectChunkInvariant;
using testing::factory;
using testing::FilterFactory;
using testing::runInChunks;

// Every byte value, each at every offset within a word of eight, so the
// word-at-a-time path and its fallback both meet every byte.
std::string everyByteAtEveryOffset() {
  std::string text;
  for (int shift = 0; shift < 9; ++shift)
    text += std::string(static_cast<std::size_t>(shift), 'q') + allBytes() + "plain ascii text";
  return text;
}

std::string mapped(const std::string &text, const std::array<unsigned char, 256> &map) {
  std::string out = text;
  for (char &c : out)
    c = static_cast<char>(map[static_cast<unsigned char>(c)]);
  return out;
}

TEST(CaseFilters, UpperAndLowerFollowTheCodePageForEveryByte) {
  auto tables = charTables();
  std::string text = everyByteAtEveryOffset();
  EXPECT_EQ(expectChunkInvariant(factory<TConvertToUpperCase>(), text),
            mapped(text, tables->upperMap()));
  EXPECT_EQ(expectChunkInvariant(factory<TConvertToLowerCase>(), text),
            mapped(text, tables->lowerMap()));
  EXPECT_EQ(runInChunks(factory<TConvertToUpperCase>(),
                        "Stra\xdf"
                        "e \xe9t\xe9 z{",
                        0),
            "STRA\xdf"
            "E \xc9T\xc9 Z{");
}

// The filters' block and character paths (with the widest vectors the
// processor has, and without) against the whole-text mapping, over random
// mixes of ASCII, two- and three-byte letters of several lead bytes, scripts
// without case, letters whose mapping is longer or changes its lead byte,
// sigmas, overlong forms, surrogates and stray bytes.
TEST(CaseFilters, UpperAndLowerAgreeWithTheWholeTextMappingOnRandomText) {
  const char *pieces[] = {"a",
                          "Z",
                          " ",
                          ".",
                          "\xc3\xa9",
                          "\xc3\x89",
                          "\xc3\x9f",
                          "\xc3\xbf",
                          "\xc4\xb1",
                          "\xc5\x82",
                          "\xc2\xb5",
                          "\xd0\xb6",
                          "\xd0\x96",
                          "\xd1\x8f",
                          "\xce\xa3",
                          "\xcf\x82",
                          "\xce\x90",
                          "\xe4\xb8\xad",
                          "\xe3\x81\x82",
                          "\xe2\x80\x94",
                          "\xe2\x93\x90",
                          "\xe1\xba\x9e",
                          "\xf0\x90\x90\xa8",
                          "\xe0\x80\xaf",
                          "\xed\xa0\x80",
                          "\xc1\xbf",
                          "\xc0",
                          "\xe9",
                          "\x80",
                          "\xe4\xb8",
                          "\xdf",
                          "\xc2\xa0",
                          "'",
                          "\r\n"};
  std::mt19937 random(54);
  const auto tables = charTables();
  const ScopeExit allowAgain{[] { TCaseMappingFilter::allowWideVectors(true); }};
  for (bool wide : {true, false}) {
    TCaseMappingFilter::allowWideVectors(wide);
    for (int round = 0; round < 300; ++round) {
      std::string text;
      const int runs = 1 + static_cast<int>(random() % 60);
      for (int k = 0; k < runs; ++k) {
        const char *piece = pieces[random() % std::size(pieces)];
        for (int repeat = 1 + static_cast<int>(random() % 8); repeat > 0; --repeat)
          text += piece;
      }
      for (std::size_t cut : {std::size_t{0}, std::size_t{1}, std::size_t{37}}) {
        ASSERT_EQ(runInChunks(factory<TConvertToUpperCase>(), text, cut),
                  utf8::upperCase(text, *tables))
            << testing::printable(text) << " cut " << cut << (wide ? " wide" : "");
        ASSERT_EQ(runInChunks(factory<TConvertToLowerCase>(), text, cut),
                  utf8::lowerCase(text, *tables))
            << testing::printable(text) << " cut " << cut << (wide ? " wide" : "");
      }
    }
  }
}

TEST(CaseFilters, ToggleSwapsEachLetter) {
  EXPECT_EQ(expectChunkInvariant(factory<TConvertToToggleCase>(), "Hello, \xc9t\xe9 42!"),
            "hELLO, \xe9T\xc9 42!");
}

TEST(CaseFilters, TheCodePageOfTheJobDecides) {
  // In code page 437, 0x82 is e acute and 0x90 its capital.
  setSystemCodePage("ibm-437");
  initCharTables();
  std::string upper = runInChunks(factory<TConvertToUpperCase>(), "\x82t\x82", 0);
  setSystemCodePage("windows-1252");
  initCharTables();
  EXPECT_EQ(upper, "\x90T\x90");
}

TEST(CaseFilters, RandomCaseGivesOnlyTheTwoCasesAndBoth) {
  std::string text(4000, 'a');
  text += std::string(4000, 'B') + "1\xe9";
  std::string out = runInChunks(factory<TConvertToRandomCase>(), text, 7);
  ASSERT_EQ(out.size(), text.size());
  auto tables = charTables();
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    auto o = static_cast<unsigned char>(out[i]);
    ASSERT_TRUE(o == tables->toUpper(c) || o == tables->toLower(c)) << "at " << i;
  }
  for (char c : {'a', 'A', 'b', 'B'})
    EXPECT_NE(out.find(c), std::string::npos) << c;
}

TEST(CaseFilters, TitleCase) {
  const std::pair<std::string, std::string> cases[] = {
      {"hello wORLD 2nd", "Hello World 2Nd"},
      {"snake_case word", "Snake_case Word"},
      {"x9y z", "X9y Z"},
      {"\xe9t\xc9 l'\xc9T\xc9", "\xc9t\xe9 L'\xc9t\xe9"},
      // Decomposed: the combining acute goes on with the word.
      {"e\xcc\x81lan \xc3\xa9T\xc3\xa9", "E\xcc\x81lan \xc3\x89t\xc3\xa9"},
  };
  for (const auto &[text, expected] : cases)
    EXPECT_EQ(expectChunkInvariant(factory<TConvertToTitleCase>(), text), expected) << text;
}

TEST(CaseFilters, SentenceCaseRaisesOnlyFirstLetters) {
  const std::pair<std::string, std::string> cases[] = {
      {"hi. there", "Hi. There"},
      {"note: yes", "Note: Yes"},
      {"  2 apples. IBM said (so)", "  2 Apples. IBM said (So)"},
      {"what? \"no\"", "What? \"No\""},
  };
  for (const auto &[text, expected] : cases)
    EXPECT_EQ(expectChunkInvariant(factory<TConvertToSentenceCase>(), text), expected) << text;
  auto files = testing::runFilesInChunks(factory<TConvertToSentenceCase>(), {"a b", "c d"}, 1);
  EXPECT_EQ(files, (std::vector<std::string>{"A b", "C d"})) << "each file starts a sentence";
}

// One filter over several files: a file that starts with a capital sigma
// takes its small form by its own text, not by the letter that ended the
// file before.
TEST(CaseFilters, EachFileStartsWithNoLetterBefore) {
  const std::vector<std::string> inputs = {"a", "\xce\xa3 x", "\xce\xa3"};
  for (const FilterFactory &make :
       {factory<TConvertToLowerCase>(), factory<TConvertToToggleCase>()}) {
    const auto files = testing::runFilesInChunks(make, inputs, 1);
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[1].substr(0, 2), "\xcf\x83");
    EXPECT_EQ(files[2], "\xcf\x83");
  }
}

TEST(CaseFilters, StatefulOnesAreChunkInvariant) {
  testing::expectSoundOnAwkwardTexts(factory<TConvertToTitleCase>());
  testing::expectSoundOnAwkwardTexts(factory<TConvertToSentenceCase>());
}

} // namespace
} // namespace marrowen
