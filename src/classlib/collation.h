#pragma once

#include <array>
#include <string>
#include <string_view>

namespace marrowen {

class CodePage;

// Comparisons of byte strings in the system code page. Each returns a
// negative number, zero or a positive number.
//
// The locale-aware pair decodes both texts (a valid UTF-8 sequence as its
// character, every other byte through the system code page) and compares them with the collation of
// the user's locale. Texts the collation finds equal but whose bytes differ are ordered by their
// bytes (case folded for the case-insensitive form), so zero always means "the same text" and never
// depends on what the collation chooses to ignore.
int AnsiCompareStr(std::string_view a, std::string_view b);
int AnsiCompareText(std::string_view a, std::string_view b);

// The same text ignoring case under the system code page; agrees with
// AnsiCompareText(a, b) == 0 at a fraction of its cost.
bool AnsiSameText(std::string_view a, std::string_view b);

// Appends to `key` the collation's sort key of `text`: comparing two keys
// byte by byte (the shorter first) gives the collation part of
// AnsiCompareStr (caseSensitive) or AnsiCompareText. Texts with equal keys
// are then ordered as those comparisons order them: by CompareStr, or by
// their bytes with the code page's case folded. Sorting many texts by key
// costs one collation per text instead of one per comparison.
void appendAnsiSortKey(std::string_view text, bool caseSensitive, std::string &key);
// The same in `codePage`, which a caller making many keys on several threads
// holds once rather than fetching the system's for every text.
void appendAnsiSortKey(std::string_view text, bool caseSensitive, const CodePage &codePage,
                       std::string &key);

// The order of the sort keys above, found by collating the two texts
// directly: read from their bytes through `codePage` one at a time, so a long
// text needs neither a key nor a decoded copy. 0 when the collation finds
// them equal (or cannot take them).
int ansiCollate(std::string_view a, std::string_view b, bool caseSensitive,
                const CodePage &codePage);

// Byte order, the shorter text first when one begins the other.
int CompareStr(std::string_view a, std::string_view b);
// Byte order with only the ASCII letters a-z folded to upper case.
int CompareText(std::string_view a, std::string_view b);
// Byte order with each byte first mapped through `map` (a code page's
// lower-case map, say), the shorter text first when one begins the other.
int compareFolded(const std::array<unsigned char, 256> &map, std::string_view a,
                  std::string_view b);

// The locale whose collation the Ansi comparisons use: an ICU or POSIX locale
// name ("de_DE", "sv_SE.UTF-8"). Empty selects the user's locale from the
// environment (LC_ALL, LC_COLLATE, LANG); "C" and "POSIX" select the root
// collation. Takes effect for comparisons that start after the call.
void setCollationLocale(std::string_view locale);
std::string collationLocale();

} // namespace marrowen
