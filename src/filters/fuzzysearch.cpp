#include "filters/fuzzysearch.h"

#include "classlib/codepage.h"
#include "classlib/exceptions.h"
#include "classlib/format.h"
#include "engine/escapes.h"
#include "engine/messages.h"

#include <algorithm>
#include <cstdlib>

namespace marrowen {

namespace {

constexpr std::size_t contextLength = 200;

// The sounds-like digit of an upper-case byte, or 0 when it adds none.
char soundexDigit(unsigned char c) {
  switch (c) {
  case 'B':
  case 'F':
  case 'P':
  case 'V':
    return '1';
  case 'C':
  case 'G':
  case 'J':
  case 'K':
  case 'Q':
  case 'S':
  case 'X':
  case 'Z':
    return '2';
  case 'D':
  case 'T':
    return '3';
  case 'L':
    return '4';
  case 'M':
  case 'N':
    return '5';
  case 'R':
    return '6';
  default:
    return 0;
  }
}

bool isWordContinuation(unsigned char c, const CodePage &tables) {
  return tables.isAlphaNumeric(c) || c == '-';
}

} // namespace

std::string soundexCode(std::string_view word, const CodePage &tables) {
  std::string code;
  int previous = -1;
  for (unsigned char raw : word) {
    unsigned char c = tables.toUpper(raw);
    if (c == previous)
      continue; // a run of one byte counts once
    previous = c;
    if (code.empty()) {
      code += static_cast<char>(c);
    } else if (char digit = soundexDigit(c)) {
      code += digit;
    }
    if (code.size() == 4)
      break;
  }
  if (!code.empty())
    code.resize(4, '0');
  return code;
}

namespace {

// Two rows of the distance table, reused from word to word.
int editDistanceWithRows(std::string_view a, std::string_view b, std::vector<int> &row,
                         std::vector<int> &next) {
  row.resize(b.size() + 1);
  next.resize(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j)
    row[j] = static_cast<int>(j);
  for (std::size_t i = 0; i < a.size(); ++i) {
    next[0] = static_cast<int>(i + 1);
    for (std::size_t j = 0; j < b.size(); ++j) {
      if (a[i] == b[j])
        next[j + 1] = row[j];
      else
        next[j + 1] = 1 + std::min({row[j + 1], next[j], row[j]});
    }
    row.swap(next);
  }
  return row[b.size()];
}

} // namespace

int editDistance(std::string_view a, std::string_view b) {
  std::vector<int> row, next;
  return editDistanceWithRows(a, b, row, next);
}

// ---- TEditDistance ----

TEditDistance::TEditDistance(const std::string &word, const std::string &replacement,
                             bool caseSensitive, bool caseSensitiveReplace, bool prompt,
                             bool noPromptWhenUnchanged, bool firstOnly, int threshold)
    : TGenericSearchReplace(caseSensitiveReplace, prompt, noPromptWhenUnchanged, firstOnly),
      tables_(charTables()), threshold_(threshold), caseSensitive_(caseSensitive) {
  for (unsigned char c : word)
    if (!isWordContinuation(c, *tables_))
      throw Exception(translate(850, "The text must be a single word"));
  if (word.size() > maxLength || threshold < 0 || threshold > maxLength)
    throw ERangeError();
  searchText_ = word;
  // Case is ignored by the code page's letters, accented ones included.
  searchWord_ = caseSensitive ? word : tables_->upperCase(word);
  replacement_ = replacement;
  dialogReplacement_ = replacement;
  decodeEscapes(replacement_); // a malformed escape is reported now
  information_ = translateFormat(
      830, "Edit distance from word: %s\r\nReplace when edit distance is <= %d\r\n\r\n",
      {word, threshold});
  statisticsSuffix_ = translateFormat(840, " for edit distance [%s]", {word});
}

bool TEditDistance::processChunk(std::string &chunk) {
  const CodePage &tables = *tables_;
  const auto *data = reinterpret_cast<const unsigned char *>(chunk.data());
  const std::size_t size = chunk.size();
  std::string output;
  output.reserve(size + 16);
  std::size_t i = 0;
  while (i < size) {
    if (state_ == 0) {
      std::size_t start = i;
      while (i < size && !tables.isLetter(data[i]))
        ++i;
      output.append(chunk, start, i - start);
      if (i == size)
        break;
      word_.assign(1, static_cast<char>(data[i++]));
      state_ = 1;
      continue;
    }
    std::size_t start = i;
    while (i < size && isWordContinuation(data[i], tables))
      ++i;
    word_.append(chunk, start, i - start);
    if (i == size)
      break;
    processWord(output, std::string_view(chunk).substr(i, contextLength));
    output += static_cast<char>(data[i++]);
    state_ = 0;
  }
  return passOn(output);
}

void TEditDistance::endFile() {
  if (state_ == 1) {
    std::string output;
    processWord(output, std::string_view());
    state_ = 0;
    passOn(output);
  }
  TGenericSearchReplace::endFile();
}

void TEditDistance::startFile() {
  word_.clear();
  TGenericSearchReplace::startFile();
}

std::string TEditDistance::getStatistics() {
  return TGenericSearchReplace::getStatistics() + statisticsSuffix_;
}

bool TEditDistance::passOn(std::string &output) {
  bool goOn = sendToNext(output);
  if (answer_ == Answer::Cancel || answer_ == Answer::Stop) {
    // Without a job no one would stop the run: a truncated text must not
    // look like a success.
    if (!job())
      throw EAbort();
    return false;
  }
  return goOn;
}

bool TEditDistance::searchStopped() const {
  return answer_ == Answer::Cancel || answer_ == Answer::Stop;
}

bool TEditDistance::matchesKept() const { return firstMatchDone_ || answerKeepsMatches(); }

void TEditDistance::offerWord(std::string &output, std::string_view information,
                              std::string_view followingText) {
  pendingText_ = word_;
  if (!replaceMatch(output, replacement_, information, followingText))
    output.append(word_, 1); // the base appended the first byte
}

void TEditDistance::processWord(std::string &output, std::string_view followingText) {
  // A word whose length alone puts it beyond the threshold is not compared,
  // however long it is.
  std::size_t gap = word_.size() > searchWord_.size() ? word_.size() - searchWord_.size()
                                                      : searchWord_.size() - word_.size();
  if (searchStopped() || gap > static_cast<std::size_t>(threshold_)) {
    output += word_;
  } else {
    foundWord_ = caseSensitive_ ? word_ : tables_->upperCase(word_);
    int distance = editDistanceWithRows(searchWord_, foundWord_, row_, nextRow_);
    if (distance <= threshold_) {
      std::string information =
          matchesKept() ? std::string()
                        : translateFormat(860, "%sFound word: %s\r\nActual edit distance: %d",
                                          {information_, word_, distance});
      offerWord(output, information, followingText);
    } else {
      output += word_;
    }
  }
  word_.clear();
}

// ---- TSoundexSearchReplace ----

TSoundexSearchReplace::TSoundexSearchReplace(const std::string &word,
                                             const std::string &replacement,
                                             bool caseSensitiveReplace, bool prompt,
                                             bool noPromptWhenUnchanged, bool firstOnly)
    : TEditDistance(word, replacement, false, caseSensitiveReplace, prompt, noPromptWhenUnchanged,
                    firstOnly, 0) {
  searchCode_ = soundexCode(searchWord_, *tables_);
  information_ = translateFormat(800, "Sounds like: %s\r\nSoundex('%s')=%s\r\n\r\n",
                                 {word, word, searchCode_});
  statisticsSuffix_ = translateFormat(810, " for sounds-like [%s]", {word});
}

void TSoundexSearchReplace::processWord(std::string &output, std::string_view followingText) {
  if (searchStopped() || soundexCode(word_, *tables_) != searchCode_) {
    output += word_;
  } else {
    std::string information = matchesKept()
                                  ? std::string()
                                  : translateFormat(820, "%sFound word: %s", {information_, word_});
    offerWord(output, information, followingText);
  }
  word_.clear();
}

} // namespace marrowen
