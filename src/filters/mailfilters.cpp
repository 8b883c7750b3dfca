#include "filters/mailfilters.h"

#include "classlib/asciitext.h"
#include "classlib/utf8.h"
#include "engine/escapes.h"

#include <array>
#include <bitset>
#include <string_view>

namespace marrowen {

namespace {

using ByteSet = std::bitset<256>;

ByteSet byteRanges(std::initializer_list<std::pair<int, int>> ranges) {
  ByteSet set;
  for (auto [from, to] : ranges)
    for (int c = from; c <= to; ++c)
      set.set(static_cast<std::size_t>(c));
  return set;
}

// What an address may hold before its "@", after the first byte; the "@"
// itself ends that part.
const ByteSet &localPartBytes() {
  static const ByteSet set = [] {
    ByteSet s =
        byteRanges({{'!', '+'}, {'-', '-'}, {'.', '.'}, {'0', ':'}, {'?', 'Z'}, {'^', 127}});
    s.reset('@');
    return s;
  }();
  return set;
}

// What an address may hold from its "@" on.
const ByteSet &domainPartBytes() {
  static const ByteSet set = [] {
    ByteSet s = byteRanges({{'!', 127}});
    for (char c : std::string_view("\"'(),/;<=>[\\]`"))
      s.reset(static_cast<unsigned char>(c));
    return s;
  }();
  return set;
}

// What a URL may hold after its scheme: all but the bytes that end it.
const ByteSet &urlBodyBytes() {
  static const ByteSet set = [] {
    ByteSet s;
    s.set();
    for (char c : std::string_view("\t\n\r \"'<>[]"))
      s.reset(static_cast<unsigned char>(c));
    return s;
  }();
  return set;
}

// The scheme texts a URL may start with; the last two continue "HTTP".
constexpr std::string_view schemes[] = {
    "FTP://", "GOPHER://", "HTTP", "MAILTO:", "NNTP://", "HTTPS://", "HTTP://"};
constexpr int httpScheme = 2;
constexpr int httpsScheme = 5;
constexpr int httpColonScheme = 6;

enum UrlState { searching = 0, inScheme = 1, afterHttp = 10, inBody = 20 };

std::string asciiLower(std::string_view text) {
  std::string s(text);
  for (char &c : s)
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c + 32);
  return s;
}

int schemeStartingWith(unsigned char upper) {
  switch (upper) {
  case 'F':
    return 0;
  case 'G':
    return 1;
  case 'H':
    return 2;
  case 'M':
    return 3;
  case 'N':
    return 4;
  default:
    return -1;
  }
}

// Appends the run of `allowed` bytes at `i` to `held`; returns where the run
// stopped (the chunk's size when it reaches the end).
std::size_t appendRun(std::string_view chunk, std::size_t i, const ByteSet &allowed,
                      std::string &held) {
  const std::size_t start = i;
  while (i < chunk.size() && allowed[static_cast<unsigned char>(chunk[i])])
    ++i;
  held.append(chunk, start, i - start);
  return i;
}

const std::array<unsigned char, 256> &rot13Table() {
  static const std::array<unsigned char, 256> table = [] {
    std::array<unsigned char, 256> t{};
    for (int c = 0; c < 256; ++c)
      t[c] = static_cast<unsigned char>(c);
    for (int i = 0; i < 26; ++i) {
      t['A' + i] = static_cast<unsigned char>('A' + (i + 13) % 26);
      t['a' + i] = static_cast<unsigned char>('a' + (i + 13) % 26);
    }
    return t;
  }();
  return table;
}

} // namespace

// --- E-mail addresses ---

TExtractEmails::TExtractEmails() : tables_(charTables()) {}

void TExtractEmails::startJob() {
  tables_ = charTables();
  TGenericStateMachine::startJob();
}

void TExtractEmails::startFile() {
  afterWord_ = false;
  local_.clear();
  domain_.clear();
  carry_.clear();
  TGenericStateMachine::startFile();
}

std::int64_t TExtractEmails::bufferedLength() {
  return static_cast<std::int64_t>(local_.size() + domain_.size() + carry_.size());
}

void TExtractEmails::endCandidate() {
  // The dot is allowed after "@", so a full stop that ends the sentence
  // stays with the address.
  if (domain_.find('.', 1) != std::string::npos)
    out_.append(local_).append(domain_).append("\r\n");
  local_.clear();
  domain_.clear();
  state_ = 0;
}

std::size_t TExtractEmails::passOver(std::string_view text) {
  const auto c = static_cast<unsigned char>(text[0]);
  if (c < 0x80) {
    afterWord_ = tables_->isWordChar(c);
    return 1;
  }
  const utf8::WordCharacter w = utf8::wordCharacterAt(text, *tables_);
  afterWord_ = w.word;
  return w.length;
}

void TExtractEmails::scan(std::string_view text) {
  const ByteSet &localBytes = localPartBytes();
  const ByteSet &domainBytes = domainPartBytes();
  const std::size_t size = text.size();
  std::size_t i = 0;
  while (i < size) {
    auto c = static_cast<unsigned char>(text[i]);
    // A UTF-8 character is judged whole and never enters an address but as
    // its first character (a letter or digit); every byte of it is passed
    // over together.
    const std::size_t length = c < 0x80 ? 1 : utf8::characterLength(text.substr(i));
    switch (state_) {
    case 0: {
      const bool follows = afterWord_;
      passOver(text.substr(i));
      // A letter or digit starts an address; a mark only goes on with a word.
      const bool starts =
          afterWord_ &&
          (length == 1 || !utf8::isCombiningMark(utf8::decode(text.substr(i, length))));
      if (starts && !follows) {
        local_.assign(text, i, length);
        state_ = 1;
      }
      i += length;
      break;
    }
    case 1: {
      if (c == '@') {
        domain_.assign(1, '@');
        state_ = 2;
        ++i;
        break;
      }
      i = appendRun(text, i, localBytes, local_);
      if (i < size && text[i] != '@') {
        local_.clear();
        state_ = 0;
        // the character that ended the candidate is not looked at again
        i += passOver(text.substr(i));
      }
      break;
    }
    default: {
      i = appendRun(text, i, domainBytes, domain_);
      if (i < size) {
        i += passOver(text.substr(i));
        // A letter the address may not hold cut the word: the text names
        // another domain than the part before it.
        if (afterWord_)
          domain_.clear();
        endCandidate();
      }
      break;
    }
    }
  }
}

bool TExtractEmails::processChunk(std::string &chunk) {
  carry_.join(chunk);
  out_.clear();
  scan(chunk);
  return sendToNext(out_);
}

void TExtractEmails::endFile() {
  out_.clear();
  // Bytes that never became a character are judged as the code page's.
  scan(carry_.take());
  if (state_ == 2)
    endCandidate();
  local_.clear();
  state_ = 0;
  TGenericStateMachine::endFile();
  sendToNext(out_);
}

// --- URLs ---

void TExtractURLs::startFile() {
  url_.clear();
  scheme_ = 0;
  matched_ = 0;
  TGenericStateMachine::startFile();
}

std::int64_t TExtractURLs::bufferedLength() { return static_cast<std::int64_t>(url_.size()); }

void TExtractURLs::endUrl() {
  std::size_t schemeLength = schemes[scheme_].size();
  if (url_.size() > schemeLength)
    out_.append(url_).append("\r\n");
  url_.clear();
  state_ = searching;
}

bool TExtractURLs::processChunk(std::string &chunk) {
  const ByteSet &bodyBytes = urlBodyBytes();
  out_.clear();
  const std::size_t size = chunk.size();
  std::size_t i = 0;
  while (i < size) {
    auto c = static_cast<unsigned char>(chunk[i]);
    switch (state_) {
    case searching: {
      int scheme = schemeStartingWith(asciiUpper(c));
      if (scheme >= 0) {
        scheme_ = scheme;
        matched_ = 1;
        state_ = inScheme;
      }
      ++i;
      break;
    }
    case inScheme: {
      std::string_view text = schemes[scheme_];
      if (asciiUpper(c) != static_cast<unsigned char>(text[matched_])) {
        state_ = searching; // the byte may start another scheme
        break;
      }
      ++i;
      if (++matched_ == text.size()) {
        url_ = asciiLower(text);
        state_ = scheme_ == httpScheme ? afterHttp : inBody;
      }
      break;
    }
    case afterHttp:
      if (asciiUpper(c) == 'S' || c == ':') {
        scheme_ = c == ':' ? httpColonScheme : httpsScheme;
        matched_ = schemes[httpScheme].size() + 1;
        state_ = inScheme;
        ++i;
      } else {
        state_ = searching;
      }
      break;
    default: {
      i = appendRun(chunk, i, bodyBytes, url_);
      if (i < size) {
        endUrl();
        ++i;
      }
      break;
    }
    }
  }
  return sendToNext(out_);
}

void TExtractURLs::endFile() {
  out_.clear();
  if (state_ == inBody)
    endUrl();
  url_.clear();
  state_ = searching;
  TGenericStateMachine::endFile();
  sendToNext(out_);
}

// --- Mail headers ---

void TRemoveEmailHeaders::openFile(const std::string &inputName) {
  state_ = 0;
  TBatchedLineFilter::openFile(inputName);
}

void TRemoveEmailHeaders::processLine(std::string_view lineEnd) {
  if (state_ == 0) {
    if (currentLine_.empty())
      state_ = 1;
    return;
  }
  if (currentLine_ == ".") {
    state_ = 0;
    return;
  }
  passOnLine(currentLine_, lineEnd);
}

// --- ROT13 ---

bool TROT13::processChunk(std::string &chunk) {
  const auto &table = rot13Table();
  for (char &c : chunk)
    c = static_cast<char>(table[static_cast<unsigned char>(c)]);
  return sendToNext(chunk);
}

} // namespace marrowen
