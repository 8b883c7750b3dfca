#include "classlib/exceptions.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

using namespace marrowen;

TEST(GuardedArithmetic, ResultsThatWouldWrapRaise) {
  EXPECT_EQ(checkedAdd(INT32_MAX - 1, 1), INT32_MAX);
  EXPECT_THROW(checkedAdd(INT32_MAX, 1), EIntOverflow);
  EXPECT_THROW(checkedAdd<std::int64_t>(INT64_MIN, -1), EIntOverflow);
  EXPECT_THROW(checkedAdd<std::size_t>(SIZE_MAX, 1), EIntOverflow);
  EXPECT_EQ(checkedSub(INT32_MIN + 1, 1), INT32_MIN);
  EXPECT_THROW(checkedSub(INT32_MIN, 1), EIntOverflow);
  EXPECT_THROW(checkedSub<unsigned>(0u, 1u), EIntOverflow);
  EXPECT_EQ(checkedMul(46340, 46340), 2147395600);
  EXPECT_THROW(checkedMul(46341, 46341), EIntOverflow);
  EXPECT_THROW(checkedMul(INT32_MIN, -1), EIntOverflow);
}

TEST(GuardedArithmetic, ConversionsAndIndexesOutOfRangeRaise) {
  EXPECT_EQ(checkedCast<std::int8_t>(127), 127);
  EXPECT_THROW(checkedCast<std::int8_t>(128), ERangeError);
  EXPECT_THROW(checkedCast<unsigned>(-1), ERangeError);
  EXPECT_THROW(checkedCast<std::int32_t>(std::int64_t{1} << 31), ERangeError);
  EXPECT_THROW(checkedCast<std::int64_t>(UINT64_MAX), ERangeError);
  EXPECT_EQ(checkedIndex(2, 3), 2u);
  EXPECT_THROW(checkedIndex(3, 3), ERangeError);
  EXPECT_THROW(checkedIndex(-1, 3), ERangeError);
  EXPECT_THROW(checkedIndex(0, 0), ERangeError);
  EXPECT_THROW(checkedIndex(LLONG_MIN, SIZE_MAX), ERangeError);
}

TEST(Exceptions, StreamErrorsNameTheFile) {
  try {
    throw EFOpenError("/tmp/in put.txt");
  } catch (const EStreamError &e) {
    EXPECT_EQ(e.message(), "Cannot open file /tmp/in put.txt");
  }
  try {
    throw EFCreateError("out%s.txt"); // a name is data, never a format
  } catch (const Exception &e) {
    EXPECT_EQ(std::string(e.what()), "Cannot create file out%s.txt");
  }
  EXPECT_THROW(throw EAbort(), Exception);
}
