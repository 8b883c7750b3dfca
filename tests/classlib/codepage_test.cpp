#include "classlib/codepage.h"
#include "classlib/exceptions.h"

#include <gtest/gtest.h>

using namespace marrowen;

TEST(CodePage, Windows1252Letters) {
  auto cp = CodePage::create("windows-1252");
  for (unsigned char c : {0xE9, 0xC9, 0x9A, 0x8A, 0xFF, 0x9F, 0xDF, 0xAA, 0xBA})
    EXPECT_TRUE(cp->isLetter(c)) << int(c);
  EXPECT_FALSE(cp->isLetter('1'));
  EXPECT_FALSE(cp->isLetter('_'));
  EXPECT_TRUE(cp->isWordChar('_'));
  EXPECT_TRUE(cp->isWordChar('7'));
  EXPECT_TRUE(cp->isWordChar(0xE9));
  EXPECT_FALSE(cp->isWordChar(' '));
}

TEST(CodePage, Windows1252CasePartners) {
  auto cp = CodePage::create("windows-1252");
  const std::pair<unsigned char, unsigned char> pairs[] = {
      {0xE9, 0xC9}, {0x9A, 0x8A}, {0xFF, 0x9F}, {'a', 'A'}, {0xE0, 0xC0}};
  for (auto [lower, upper] : pairs) {
    EXPECT_EQ(cp->toUpper(lower), upper);
    EXPECT_EQ(cp->toLower(upper), lower);
  }
  for (unsigned char none : {0xDF, 0xAA, 0xBA, 0xB5}) {
    EXPECT_EQ(cp->toUpper(none), none) << int(none);
  }
  EXPECT_EQ(cp->upperCase("caf\xe9"), "CAF\xc9");
}

TEST(CodePage, ConversionsRoundTrip) {
  auto cp = systemCodePage();
  std::string all;
  for (int b = 0; b < 256; ++b)
    all += static_cast<char>(b);
  EXPECT_EQ(cp->fromUtf16(cp->toUtf16(all)), all);
  EXPECT_EQ(cp->fromUtf8(cp->toUtf8(all)), all);
  EXPECT_EQ(cp->toUtf8("\x80"), "\xe2\x82\xac");
  EXPECT_EQ(cp->fromUtf8("\xe4\xb8\xad"), "?");
  auto oem = oemCodePage();
  EXPECT_EQ(oem->toUnicode(0x82), u'\u00e9');
  EXPECT_THROW(CodePage::create("no-such-page"), EConvertError);
}
