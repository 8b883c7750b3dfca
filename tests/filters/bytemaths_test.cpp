#include "filters/bytemaths.h"

#include "classlib/exceptions.h"
#include "support/filter_fixtures.h"

#include <gtest/gtest.h>

namespace marrowen {
namespace {

// The result of the operation on one byte.
unsigned char applied(int operation, int operand, unsigned char b) {
  std::string text(1, static_cast<char>(b));
  return static_cast<unsigned char>(
      testing::runInChunks(testing::factory<TMathsOperation>(operation, operand), text, 0)[0]);
}

TEST(MathsOperation, EachOperationKeepsTheLowEightBits) {
  struct Case {
    int operation, operand;
    unsigned char byte, result;
  };
  const Case cases[] = {
      {0, 1, 0xFF, 0x00},
      {0, -1, 0x00, 0xFF},
      {1, 3, 0x01, 0xFE},
      {2, 3, 0x81, 0x83},
      {3, 7, 200, 28},
      {3, -7, 200, 0xE4},
      {4, 7, 200, 4},
      {5, 0x0F, 0xF0, 0xFF},
      {6, 0x0F, 0xF3, 0x03},
      {7, 0x0F, 0xF0, 0xFF},
      {8, 99, 0x0F, 0xF0},
      {9, 1, 0x81, 0x02},
      {9, 33, 0x81, 0x02},
      {10, 4, 0xF0, 0x0F},
      {11, 1, 0x81, 0x03},
      {11, 0, 0x81, 0x81},
      {11, 8, 0x81, 0x81},
      {12, 1, 0x81, 0xC0},
      {12, 4, 0x12, 0x21},
      {13, 5, 0x12, 0x12},
      {-1, 5, 0x12, 0x12},
      {0, 2147483647, 0x02, 0x01}, // no overflow: only the low 8 bits count
      {2, 2147483647, 0x02, 0xFE},
  };
  for (const auto &c : cases)
    EXPECT_EQ(applied(c.operation, c.operand, c.byte), c.result)
        << c.operation << " " << c.operand << " " << int(c.byte);
}

TEST(MathsOperation, DivisionByZeroIsRefusedWhenMade) {
  EXPECT_THROW(TMathsOperation(3, 0), Exception);
  EXPECT_THROW(TMathsOperation(4, 0), Exception);
  EXPECT_NO_THROW(TMathsOperation(0, 0));
}

TEST(MathsOperation, WholeChunksInPlace) {
  std::string text = testing::allBytes();
  std::string out = testing::expectChunkInvariant(testing::factory<TMathsOperation>(8, 0), text);
  for (int b = 0; b < 256; ++b)
    ASSERT_EQ(static_cast<unsigned char>(out[b]), b ^ 255);
}

} // namespace
} // namespace marrowen
