#pragma once

// Temporary stand-ins for the escape, character-table and clipboard services
// that land separately; removed when they do.

#include <string>
#include <string_view>

namespace marrowen {

void decodeEscapes(std::string_view text, std::string &result);
std::string decodeEscapes(std::string_view text);
void matchCase(std::string_view found, std::string_view replacement, std::string &result);
void initCharTables();
std::string getClipboardText();
void setClipboardText(std::string_view text);

} // namespace marrowen
