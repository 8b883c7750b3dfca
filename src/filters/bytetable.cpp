#include "filters/bytetable.h"

namespace marrowen {

ByteTable identityTable() {
  ByteTable table{};
  for (int b = 0; b < 256; ++b)
    table[b] = static_cast<unsigned char>(b);
  return table;
}

void translateInPlace(char *data, std::size_t size, const ByteTable &table) {
  auto *p = reinterpret_cast<unsigned char *>(data);
  std::size_t i = 0;
  // Four independent lookups per step keep the loads in flight together.
  for (; i + 4 <= size; i += 4) {
    unsigned char a = table[p[i]], b = table[p[i + 1]], c = table[p[i + 2]], d = table[p[i + 3]];
    p[i] = a;
    p[i + 1] = b;
    p[i + 2] = c;
    p[i + 3] = d;
  }
  for (; i < size; ++i)
    p[i] = table[p[i]];
}

void translateInPlace(std::string &text, const ByteTable &table) {
  translateInPlace(text.data(), text.size(), table);
}

} // namespace marrowen
