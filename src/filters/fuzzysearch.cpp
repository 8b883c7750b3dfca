#include "filters/fuzzysearch.h"

#include "classlib/codepage.h"
#include "classlib/exceptions.h"
#include "classlib/format.h"
#include "classlib/utf8.h"
#include "engine/escapes.h"
#include "engine/messages.h"

#include <algorithm>
#include <cstdlib>

#include <unicode/uchar.h>

namespace marrowen {

namespace {

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

bool isLetterAt(std::string_view text, const CodePage &tables) {
  const utf8::Character c = utf8::characterAt(text);
  return c.sequence ? utf8::isLetter(c.codePoint)
                    : tables.isLetter(static_cast<unsigned char>(c.codePoint));
}

// A combining mark goes on with the word of its letter.
bool isWordContinuation(std::string_view text, const CodePage &tables) {
  return text[0] == '-' || utf8::isAlphaNumericAt(text, tables) ||
         utf8::isCombiningMarkAt(text, tables);
}

// A text as the distance compares it: one number a character, the
// character a byte of the code page stands for as a typed letter does;
// ignoring case folded as Unicode folds it (a byte after the code page's
// upper-case map).
void compareKeys(std::string_view text, bool ignoreCase, const CodePage &tables,
                 std::u32string &keys) {
  keys.clear();
  for (std::size_t i = 0; i < text.size();) {
    utf8::Character c = utf8::characterAt(text.substr(i));
    i += c.length;
    if (ignoreCase && !c.sequence)
      c.codePoint = tables.toUpper(static_cast<unsigned char>(c.codePoint));
    const char32_t character = utf8::codePointOf(c, tables);
    keys += ignoreCase ? utf8::simpleFold(character) : character;
  }
}

// A character in upper case, as a code point, by Unicode's simple mapping:
// a byte of the code page as the character it stands for, so that a word
// sounds the same in either form (the code page keeps "µ" as it is).
char32_t upperOf(const utf8::Character &c, const CodePage &tables) {
  return static_cast<char32_t>(u_toupper(static_cast<UChar32>(utf8::codePointOf(c, tables))));
}

} // namespace

std::string soundexCode(std::string_view word, const CodePage &tables) {
  std::string code;
  char32_t previous = 0;
  std::size_t characters = 0;
  for (std::size_t i = 0; i < word.size() && characters < 4;) {
    const utf8::Character c = utf8::characterAt(word.substr(i));
    i += c.length;
    const char32_t upper = upperOf(c, tables);
    if (upper == previous)
      continue; // a run of one character counts once
    previous = upper;
    if (code.empty()) {
      // In UTF-8, whichever form the word has it in.
      utf8::append(code, upper);
      ++characters;
    } else if (upper < 0x80) {
      if (char digit = soundexDigit(static_cast<unsigned char>(upper))) {
        code += digit;
        ++characters;
      }
    }
  }
  if (!code.empty())
    code.append(4 - characters, '0');
  return code;
}

namespace {

// Two rows of the distance table, reused from word to word.
int editDistanceWithRows(std::u32string_view a, std::u32string_view b, std::vector<int> &row,
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
  const CodePage &tables = *charTables();
  std::u32string keysA, keysB;
  compareKeys(a, false, tables, keysA);
  compareKeys(b, false, tables, keysB);
  std::vector<int> row, next;
  return editDistanceWithRows(keysA, keysB, row, next);
}

// ---- TEditDistance ----

TEditDistance::TEditDistance(const std::string &word, const std::string &replacement,
                             bool caseSensitive, bool caseSensitiveReplace, bool prompt,
                             bool noPromptWhenUnchanged, bool firstOnly, int threshold)
    : TGenericSearchReplace(caseSensitiveReplace, prompt, noPromptWhenUnchanged, firstOnly),
      tables_(charTables()), threshold_(threshold), caseSensitive_(caseSensitive) {
  for (std::size_t i = 0; i < word.size(); i += utf8::characterLength(word.substr(i)))
    if (!isWordContinuation(std::string_view(word).substr(i), *tables_))
      throw Exception(translate(850, "The text must be a single word"));
  if (word.size() > maxLength || threshold < 0 || threshold > maxLength)
    throw ERangeError();
  searchText_ = word;
  compareKeys(word, !caseSensitive, *tables_, searchWord_);
  setReplacement(replacement);
  decodeEscapes(replacement_); // a malformed escape is reported now
  information_ = translateFormat(
      830, "Edit distance from word: %s\r\nReplace when edit distance is <= %d\r\n\r\n",
      {word, threshold});
  statisticsSuffix_ = translateFormat(840, " for edit distance [%s]", {word});
}

bool TEditDistance::processChunk(std::string &chunk) {
  std::string output;
  carry_.join(chunk);
  output.reserve(chunk.size() + 16);
  scan(chunk, output);
  return passOn(output);
}

void TEditDistance::scan(std::string_view text, std::string &output) {
  const CodePage &tables = *tables_;
  const std::size_t size = text.size();
  std::size_t i = 0;
  std::size_t noted = 0; // original text noted up to here
  auto next = [&](std::size_t at) { return at + utf8::characterLength(text.substr(at)); };
  while (i < size) {
    if (state_ == 0) {
      std::size_t start = i;
      while (i < size && !isLetterAt(text.substr(i), tables))
        i = next(i);
      output.append(text, start, i - start);
      if (i == size)
        break;
      const std::size_t end = next(i);
      word_.assign(text, i, end - i);
      i = end;
      state_ = 1;
      continue;
    }
    std::size_t start = i;
    while (i < size && isWordContinuation(text.substr(i), tables))
      i = next(i);
    word_.append(text, start, i - start);
    if (i == size)
      break;
    noteText(text.substr(noted, i - noted));
    noted = i;
    processWord(output, text.substr(i));
    const std::size_t end = next(i);
    output.append(text, i, end - i);
    i = end;
    state_ = 0;
  }
  noteText(text.substr(noted));
}

void TEditDistance::endFile() {
  std::string output;
  // What waits for the rest of a character is bytes of their own now.
  scan(carry_.take(), output);
  if (state_ == 1) {
    processWord(output, std::string_view());
    state_ = 0;
  }
  if (!output.empty())
    passOn(output);
  TGenericSearchReplace::endFile();
}

void TEditDistance::startFile() {
  word_.clear();
  carry_.clear();
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
  const std::size_t kept = keptLength();
  if (!replaceMatch(output, replacement_, information, followingText))
    output.append(word_, kept); // the base appended the first character
}

void TEditDistance::processWord(std::string &output, std::string_view followingText) {
  // A word whose length alone puts it beyond the threshold is not compared,
  // however long it is.
  if (searchStopped()) {
    output += word_;
    word_.clear();
    return;
  }
  compareKeys(word_, !caseSensitive_, *tables_, foundWord_);
  std::size_t gap = foundWord_.size() > searchWord_.size() ? foundWord_.size() - searchWord_.size()
                                                           : searchWord_.size() - foundWord_.size();
  if (gap > static_cast<std::size_t>(threshold_)) {
    output += word_;
  } else {
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
  searchCode_ = soundexCode(word, *tables_);
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
