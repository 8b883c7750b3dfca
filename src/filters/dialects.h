#pragma once

#include <string>
#include <string_view>

namespace marrowen {

// The two pattern dialects that reach the regular-expression engine only
// after conversion into its own syntax.

// A Brief-style pattern in the engine's syntax: ? any byte, @ any run, + a
// run of one or more, { } a group, % or < first the start, > first the end;
// a backslash keeps the byte after it as it is.
std::string convertBriefPattern(std::string_view pattern);

// A Brief-style replacement as an engine template: a backslash and one digit
// (not followed by another) name that group; a backslash and two digits or
// more stay a decimal escape; a backslash before any other byte keeps its
// escape meaning; a lone backslash at the very end is dropped.
std::string convertBriefReplacement(std::string_view replacement);

// A Word-style pattern in the engine's syntax, for an engine compiled with
// word tokens (TRegex::setWordTokens): ? any byte, [!...] a negated set,
// * any run and @ the previous atom again (both fewest first), < and > the
// start and the end of a word. Inside a set every byte means itself; a
// backslash keeps the byte after it as it is.
std::string convertWordPattern(std::string_view pattern);

} // namespace marrowen
