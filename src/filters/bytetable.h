#pragma once

#include <array>
#include <cstddef>
#include <string>

namespace marrowen {

// A byte-to-byte translation: the new value of every byte value.
using ByteTable = std::array<unsigned char, 256>;

// The table that leaves every byte as it is.
ByteTable identityTable();

// Replaces every byte of `text` by its table entry, in place.
void translateInPlace(std::string &text, const ByteTable &table);
void translateInPlace(char *data, std::size_t size, const ByteTable &table);

} // namespace marrowen
