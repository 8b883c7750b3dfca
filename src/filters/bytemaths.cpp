#include "filters/bytemaths.h"

#include "classlib/exceptions.h"

namespace marrowen {

namespace {

// The result of one operation on one byte. Worked in 64 bits, so no operand
// overflows before its low 8 bits are taken.
std::uint8_t apply(int operation, std::int64_t b, std::int64_t x) {
  const unsigned count = static_cast<std::uint32_t>(x) & 31;
  const auto ub = static_cast<std::uint32_t>(b);
  switch (operation) {
  case 0:
    return static_cast<std::uint8_t>(b + x);
  case 1:
    return static_cast<std::uint8_t>(b - x);
  case 2:
    return static_cast<std::uint8_t>(b * x);
  case 3:
    return static_cast<std::uint8_t>(b / x);
  case 4:
    return static_cast<std::uint8_t>(b % x);
  case 5:
    return static_cast<std::uint8_t>(b ^ x);
  case 6:
    return static_cast<std::uint8_t>(b & x);
  case 7:
    return static_cast<std::uint8_t>(b | x);
  case 8:
    return static_cast<std::uint8_t>(b ^ 255);
  case 9:
    return static_cast<std::uint8_t>(ub << count);
  case 10:
    return static_cast<std::uint8_t>(ub >> count);
  case 11:
    return static_cast<std::uint8_t>((ub >> ((8 - x) & 31)) | (ub << count));
  case 12:
    return static_cast<std::uint8_t>((ub << ((8 - x) & 31)) | (ub >> count));
  default:
    return static_cast<std::uint8_t>(b);
  }
}

} // namespace

TMathsOperation::TMathsOperation(int operation, std::int32_t operand) {
  if ((operation == 3 || operation == 4) && operand == 0)
    throw Exception("Division by zero");
  for (int b = 0; b < 256; ++b)
    table_[static_cast<std::size_t>(b)] = apply(operation, b, operand);
}

bool TMathsOperation::processChunk(std::string &chunk) {
  translateInPlace(chunk, table_);
  return sendToNext(chunk);
}

} // namespace marrowen
