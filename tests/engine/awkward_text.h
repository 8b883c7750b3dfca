#pragma once

#include <string>

namespace marrowen::testing {

// A text of a little over two 4096-byte chunks that puts the bytes the
// built-in filters care about where chunks split: a CR as the last byte of
// the first chunk with its LF opening the second, a lone CR ending the
// second, and on the way every line end, tabs and runs of blanks, ANSI
// sequences, tags, backspaces, punctuation, high bytes and NUL.
inline std::string awkwardText() {
  const std::string pieces[] = {
      "Hello wORLD 2nd. hi: there! ",
      "a\tb  \t c\r\n",
      "\x1b[1;31mred\x1b[0m \x1bXplain\n",
      "<b>bold</b> a > b <i\n>tail ",
      "ab\bc\b\b\bxyz\r",
      "\r",
      std::string("n\0l\xe9\xc9\xff\x80 word_list-of, words;\n", 29),
      "    spaces    to    tabs\t\t\n",
      "averyveryverylongwordwithoutanybreakatall and more. ",
  };
  std::string text;
  for (std::size_t i = 0; text.size() < 4095; ++i)
    text += pieces[i % std::size(pieces)];
  text.resize(4095);
  text += "\r\n";
  for (std::size_t i = 0; text.size() < 8191; ++i)
    text += pieces[(i * 5) % std::size(pieces)];
  text.resize(8191);
  text += "\rz\t \r";
  return text;
}

} // namespace marrowen::testing
