#pragma once

#include "engine/searchreplace.h"
#include "filters/charactercarry.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace marrowen {

class CodePage;

// A valid multi-byte UTF-8 sequence is one character of a word, judged and
// cased by Unicode; any other byte is a character of the code page.

// The four-character sounds-like code of a word: its first character
// (upper-cased), then a digit for each following consonant group, runs of
// one character counting once, padded with 0.
std::string soundexCode(std::string_view word, const CodePage &tables);

// The edit distance (insertions, deletions and substitutions of one
// character each) between two texts.
int editDistance(std::string_view a, std::string_view b);

// Replaces each word of the text whose edit distance from the search word is
// at most a threshold. A word starts with a letter and goes on over letters,
// digits, hyphens and combining marks; a word (or a character) that a chunk
// boundary cuts waits for the rest.
class TEditDistance : public TGenericSearchReplace {
public:
  static constexpr int maxLength = 255;

  // The word must be letters, digits and hyphens (message 850); the word and
  // the threshold are at most 255.
  TEditDistance(const std::string &word, const std::string &replacement, bool caseSensitive,
                bool caseSensitiveReplace, bool prompt, bool noPromptWhenUnchanged, bool firstOnly,
                int threshold);

  bool processChunk(std::string &chunk) override;
  std::string getStatistics() override;
  void startFile() override;
  void endFile() override;

protected:
  // Decides about the word in `word_` and appends what stands for it.
  virtual void processWord(std::string &output, std::string_view followingText);
  // Whether the user cancelled or stopped: words then pass unchanged and
  // are no longer counted.
  bool searchStopped() const;
  // Whether the next match will be kept without a question (first match
  // done, or an answer that keeps every match); it is still counted.
  bool matchesKept() const;
  // Hands the match in `word_` to the replace step; when it is kept, the
  // rest of the word follows the first byte the base appended.
  void offerWord(std::string &output, std::string_view information, std::string_view followingText);
  bool passOn(std::string &output);

  std::shared_ptr<const CodePage> tables_;
  // The search word as compared: one number a character, folded when case
  // is ignored.
  std::u32string searchWord_;
  int threshold_;
  bool caseSensitive_;
  std::string word_;
  std::string information_;
  std::string statisticsSuffix_;

private:
  // Runs the word scanner over `text`, whole characters.
  void scan(std::string_view text, std::string &output);

  std::u32string foundWord_; // the word as compared
  CharacterCarry carry_;
  std::vector<int> row_, nextRow_;
};

// Replaces each word with the same sounds-like code as the search word.
class TSoundexSearchReplace : public TEditDistance {
public:
  TSoundexSearchReplace(const std::string &word, const std::string &replacement,
                        bool caseSensitiveReplace, bool prompt, bool noPromptWhenUnchanged,
                        bool firstOnly);

  const std::string &searchCode() const { return searchCode_; }

protected:
  void processWord(std::string &output, std::string_view followingText) override;

private:
  std::string searchCode_;
};

} // namespace marrowen
