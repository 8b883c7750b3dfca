#pragma once

#include "classlib/codepage.h"
#include "engine/searchreplace.h"
#include "filters/regex.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace marrowen {

// The search dialects, numbered as filter files store them.
enum class TPatternType : int {
  ExactText = 0,
  Pattern = 1,
  SoundsLike = 2,
  SimilarTo = 3,
  PerlPattern = 4,
  BriefPattern = 5,
  WordPattern = 6,
};

// The base of the search-and-replace filters that search a whole text rather
// than single lines. It collects the incoming chunks and searches only once
// it holds `bufferSize` + 4096 bytes; a match may begin only before the last
// 4096 bytes held, and a search hands on the processed head and keeps that
// tail back. So a match of up to 4096 bytes is found whole wherever chunks
// and searches end; a longer one is cut where the held text ends (`a+` over
// 8193 "a" with the smallest buffer gives two matches), and a larger buffer
// size lets each search see more. At the end of the file everything held is
// searched. Nothing is carried over to the next file.
//
// The buffer also keeps the character just before the held text (a space at
// the start of a file), so the whole-word test and the pattern engine see the
// text around a match as it was, wherever the buffering cut it. A search
// hands on text only up to the start of a character (a valid multi-byte
// UTF-8 sequence is one), and until the file ends it leaves out a sequence
// that the next chunk may complete, so no character is judged in halves.
class TBuffer : public TGenericSearchReplace {
public:
  static constexpr std::size_t heldTail = 4096;

  TBuffer(bool preserveCase, bool prompt, bool noPromptWhenUnchanged, bool wholeWord,
          bool firstOnly, int bufferSize);

  bool processChunk(std::string &chunk) override;
  std::int64_t bufferedLength() override;
  void startFile() override;
  void endFile() override;

protected:
  // Searches what is held, hands the processed text on and returns the
  // result of passing it on.
  virtual bool searchBuffer() = 0;
  // Deals with the match at `matchPos_`; returns whether to go on searching.
  virtual bool handleMatch(std::string &output) = 0;

  // Hands the held bytes from the scan position up to `end` (an index into
  // `buffer_`) to `output`, and makes `end` the start of what is held.
  void emitUpTo(std::string &output, std::size_t end);
  void emitRest(std::string &output);
  // Notes the original text held up to `end` (noteText), once and in order.
  void noteUpTo(std::size_t end);
  // Whether the match stands as a whole word: no letter or digit touches
  // it (a character beyond ASCII by Unicode, a byte by the code page), nor
  // a combining mark of a letter at its edge; a match that ends where the
  // held text ends passes only at the end of the file.
  bool isWholeWord() const;
  // The held text a search may look at: until the file ends, without a
  // sequence cut at its end.
  std::size_t searchableEnd() const;
  // `limit` moved back to the start of the character it lies in, but not
  // before the scan position.
  std::size_t characterStart(std::size_t limit) const;
  // Whether the user cancelled or stopped. Without a job there is no one to
  // stop the run, so a truncated text must not look like a success: the
  // quiet abort is raised instead.
  bool answerStopsRun() const;
  void raiseIfStoppedWithoutJob() const;
  // What follows the current match for the prompt: until the file ends,
  // without a sequence the next chunk may complete.
  std::string_view followingText() const;

  std::size_t heldLength() const { return buffer_.size() - heldStart_; }

  // `buffer_[0, heldStart_)` has been handed on; the bytes just before
  // heldStart_ are the character before the held text. Indexes are 0-based.
  std::string buffer_;
  std::size_t heldStart_ = 1;
  std::size_t scan_ = 1;
  std::size_t notedUpTo_ = 1;
  std::size_t matchPos_ = 0;
  std::size_t matchLength_ = 0;
  bool endOfFile_ = false;
  bool wholeWord_;
  std::size_t bufferSize_;
  // False for a filter that passes on only what it finds: the text the
  // search passes over is dropped instead of emitted.
  bool passesText_ = true;
  std::shared_ptr<const CodePage> tables_;

private:
  bool processBuffer();
};

// Search and replace with a regular expression, in the engine's own syntax
// (pattern and Perl pattern) or in the Brief and Word dialects converted
// into it. A match may begin only before the last 4096 held bytes until the
// file ends; `^` matches only where a search really starts (the start of
// the file, or where the filter resumed after a match), so the results do
// not depend on how the text was cut.
class TRegExpFilter : public TBuffer {
public:
  // `greedy`, `allowComments` and `dotMatchesNewLines` are stored settings
  // that the engine has no use for.
  TRegExpFilter(const std::string &pattern, const std::string &replacement, bool caseSensitive,
                bool wholeWord, bool caseSensitiveReplace, bool prompt, bool noPromptWhenUnchanged,
                bool firstOnly, bool greedy, bool allowComments, bool dotMatchesNewLines,
                int bufferSize, TPatternType patternType);

  std::string getStatistics() override;
  void startFile() override;
  void endFile() override;
  void getReplacement(std::string_view replacement, std::string_view found,
                      std::string &result) override;

  TRegex &engine() { return *engine_; }
  TPatternType patternType() const { return patternType_; }

protected:
  bool searchBuffer() override;
  bool handleMatch(std::string &output) override;

  // The search loop shared with the extract filter, which neither asks nor
  // keeps what lies between matches.
  bool searchHeld(bool obeyAnswers);
  std::string promptInformation() const;

  std::unique_ptr<TRegex> engine_;
  std::string statisticsSuffix_;
  TPatternType patternType_;
  // Whether `^` may match at the scan position: false after the buffering,
  // not a match, moved the search on.
  bool anchorValid_ = true;
};

// Passes on only the matched texts, one per line (CR LF), or only their
// count, optionally after a line naming the file.
class TExtract : public TRegExpFilter {
public:
  TExtract(const std::string &pattern, bool fileNameHeader, bool ignoreCase, bool countOnly);

  bool hasChanged() override;
  std::string getStatistics() override;
  void startFile() override;
  void resetStatistics() override;
  void endFile() override;

  int extractCount() const { return extractCount_; }

protected:
  bool searchBuffer() override;
  bool handleMatch(std::string &output) override;

private:
  bool fileNameHeader_;
  bool countOnly_;
  bool headerPending_ = true;
  int extractCount_ = 0;
};

} // namespace marrowen
