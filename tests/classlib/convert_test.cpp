#include "classlib/convert.h"
#include "classlib/exceptions.h"

#include <gtest/gtest.h>

using namespace marrowen;

TEST(StrToInt, AcceptsWhatTheClassLibraryAccepts) {
  EXPECT_EQ(StrToInt("42"), 42);
  EXPECT_EQ(StrToInt("  -7"), -7);
  EXPECT_EQ(StrToInt("+8"), 8);
  EXPECT_EQ(StrToInt("$FF"), 255);
  EXPECT_EQ(StrToInt("0x1f"), 31);
  EXPECT_EQ(StrToInt("-2147483648"), INT32_MIN);
}

TEST(StrToInt, RefusesAnythingElse) {
  for (const char *bad : {"", " ", "AB", "4 ", "--1", "+-1", "$", "0x", "2147483648", "1.5"}) {
    try {
      StrToInt(bad);
      ADD_FAILURE() << bad;
    } catch (const EConvertError &e) {
      EXPECT_EQ(e.message(), "'" + std::string(bad) + "' is not a valid integer value");
    }
  }
}
