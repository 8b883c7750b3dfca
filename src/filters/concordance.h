#pragma once

#include "classlib/codepage.h"
#include "filters/batchedlines.h"

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

namespace marrowen {

// Turns a text into a concordance: for every occurrence of a dictionary word
// one line made of the format filled with the word in lower case, the number
// of the line it stands on and the words around it (up to `before` words
// before and `after` words after, across lines, joined by single blanks),
// ended by CR LF. The text itself is not passed on.
//
// A word is a letter followed by letters, digits, "_" and combining marks (a
// UTF-8 character whole); it never spans lines. Dictionary words match
// without regard to case. The format takes the line number as an integer
// ("%s %d %s") or, when it has a text conversion there, as a text
// ("%s %s %s"); any other format is refused when the filter is made.
//
// The window of the last `before` + `after` + 1 words is a ring that
// restarts with every file; each word becomes the centre once `after` more
// words have been read, and the words of a file's end get their turn at the
// end of the file.
class TWordConcordance : public TBatchedLineFilter {
public:
  // Counts of words from 0 to maxContextWords.
  static constexpr int maxContextWords = 10000;

  TWordConcordance(int before, int after, std::string format,
                   const std::vector<std::string> &dictionary);

  void startJob() override;
  void startFile() override;
  void endFile() override;
  void processLine(std::string_view lineEnd) override;

private:
  struct Entry {
    std::string word;
    std::int32_t line = 0;
  };

  // Stores a word (empty at the end of a file) and produces the entry of
  // the word `after` places back, when it is a dictionary word.
  // The code page's tables, and the dictionary lower-cased by them.
  void takeTables();
  void readWord(std::string_view word, std::int32_t line);
  void produceEntry(std::size_t centre);

  std::size_t before_;
  std::size_t after_;
  std::string format_;
  bool lineAsText_ = false;
  std::shared_ptr<const CodePage> tables_;
  std::vector<std::string> words_;             // as given
  std::unordered_set<std::string> dictionary_; // lower case
  std::vector<Entry> window_;
  std::size_t position_ = 0; // where the next word goes
  std::string lowered_;
  std::string context_;
};

} // namespace marrowen
