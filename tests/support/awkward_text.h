#pragma once

#include "support/chunk_harness.h"

#include <string>
#include <vector>

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

// The awkward text and texts that catch a filter out at the edges of a file
// and of its chunks: nothing at all, a lone CR or LF, NUL bytes and CRs
// only, no final line end, a line far longer than a chunk, and a CR ending
// each of three 4096-byte chunks (the first followed by an LF, the last
// ending the file).
inline std::vector<std::string> awkwardAndEdgeTexts() {
  std::vector<std::string> texts = {awkwardText(),
                                    "",
                                    "\r",
                                    "\n",
                                    "\r\r",
                                    "\n\r",
                                    std::string("\0\r\0\n\0\0", 6),
                                    "no line end",
                                    "two\nlines without an end"};
  std::string longLine(10000, 'w');
  longLine[4095] = ' ';
  longLine[6000] = '\t';
  longLine[8191] = ',';
  texts.push_back(longLine);
  texts.push_back(std::string(4095, 'a') + "\r\n" + std::string(4094, 'b') + "\r" +
                  std::string(4095, 'c') + "\r");
  return texts;
}

// Expects the filter to give the same output however each of those texts is
// cut, and each file of a job the output it gives alone: nothing held in one
// file (half a tag or escape, a CR, a word, a column, an odd byte) leaks into
// the next.
inline void expectSoundOnAwkwardTexts(const FilterFactory &make) {
  const std::vector<std::string> texts = awkwardAndEdgeTexts();
  for (std::size_t i = 0; i < texts.size(); ++i)
    EXPECT_TRUE(isChunkInvariant(make, texts[i])) << "text " << i << " of awkwardAndEdgeTexts";
  const std::string fileEnds[] = {"",     "\r", "\nz", "a<b", "c>d", "\x1b[", "1mX",
                                  "\x1b", "wo", "\bq", "  ",  "\t",  "odd"};
  for (const auto &first : fileEnds)
    for (const auto &second : fileEnds) {
      std::vector<std::string> alone = {runInChunks(make, first, 1), runInChunks(make, second, 1)};
      EXPECT_EQ(runFilesInChunks(make, {first, second}, 1), alone)
          << printable(first) << " then " << printable(second);
    }
}

} // namespace marrowen::testing
