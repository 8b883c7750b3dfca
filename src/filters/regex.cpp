#include "filters/regex.h"
#include "filters/regex_program.h"

#include "classlib/codepage.h"
#include "classlib/exceptions.h"
#include "classlib/format.h"
#include "engine/escapes.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace marrowen {

namespace {

const char identifierChars[] = "0123456789abcdefghijklmnopqrstuvwxyz";

// How often a byte turns up in ordinary text, roughly: the higher, the
// more false hits a scan for it meets.
int commonness(unsigned char c) {
  static const std::array<std::uint8_t, 256> table = [] {
    std::array<std::uint8_t, 256> t{};
    for (int b = 0x20; b < 0x80; ++b)
      t[b] = 10;
    for (int b = 'A'; b <= 'Z'; ++b)
      t[b] = 20;
    for (int b = '0'; b <= '9'; ++b)
      t[b] = 20;
    const char letters[] = "etaoinsrhldcumfpgwybvkxjqz";
    for (int i = 0; letters[i]; ++i)
      t[static_cast<unsigned char>(letters[i])] = static_cast<std::uint8_t>(90 - i * 3);
    t[' '] = 100;
    return t;
  }();
  return table[c];
}

// The first place of `literal` in `text` at or after `from`, else
// text.size(). Literals in text turn up every few lines, where memmem's
// setup costs more than its search saves: memchr for the literal's rarest
// byte finds most of them at once; after many false hits memmem takes the
// rest.
std::size_t findLiteral(std::string_view text, std::size_t from, std::string_view literal) {
  const std::size_t length = literal.size();
  if (text.size() < length || text.size() - length < from)
    return text.size();
  std::size_t rare = 0;
  for (std::size_t i = 1; i < length; ++i)
    if (commonness(static_cast<unsigned char>(literal[i])) <
        commonness(static_cast<unsigned char>(literal[rare])))
      rare = i;
  const char *data = text.data();
  const char *last = data + text.size() - length; // the last place the literal fits
  const char *p = data + from;
  for (int misses = 0; p <= last; ++p, ++misses) {
    if (misses == 16) {
      const void *hit =
          memmem(p, static_cast<std::size_t>(last - p) + length, literal.data(), length);
      return hit ? static_cast<std::size_t>(static_cast<const char *>(hit) - data) : text.size();
    }
    const void *found =
        std::memchr(p + rare, literal[rare], static_cast<std::size_t>(last - p) + 1);
    if (!found)
      return text.size();
    p = static_cast<const char *>(found) - rare;
    if (std::memcmp(p, literal.data(), length) == 0)
      return static_cast<std::size_t>(p - data);
  }
  return text.size();
}

} // namespace

void TRegex::raiseError(const std::string &message) const { throw Exception(message); }

void TRegex::clearMatches() {
  for (int i = 0; i < setSlots_; ++i)
    startp_[i] = endp_[i] = -1;
  setSlots_ = 0;
}

int TRegex::GetMatchCount() const {
  if (!searched_)
    return 0;
  int count = 0;
  while (count < subexpressionCount && startp_[count] >= 0 && endp_[count] >= 0)
    ++count;
  return count;
}

int TRegex::GetMatchPos(int n) const {
  if (n < 0 || n >= subexpressionCount || !subjectBase_ || startp_[n] < 0 || endp_[n] < 0)
    return -1;
  return startp_[n] + 1;
}

int TRegex::GetMatchLen(int n) const {
  if (n < 0 || n >= subexpressionCount || !subjectBase_ || startp_[n] < 0 || endp_[n] < 0)
    return -1;
  return endp_[n] - startp_[n];
}

bool TRegex::CompileRegex(const std::string &expression) {
  program_.reset();
  expression_ = expression.substr(0, expression.find('\0'));
  try {
    program_ = compileRegexProgram(expression_, systemCodePage(), wordTokens_);
  } catch (const Exception &e) {
    raiseError(e.message());
  }
  return true;
}

void TRegex::setCaseSensitive(bool caseSensitive) { caseSensitive_ = caseSensitive; }

void TRegex::setFirstChunk(bool) {}

void TRegex::setLastChunk(bool) {}

void TRegex::exceptionIfProgramNotValid() const {
  if (!program_ || program_->bytes.empty())
    raiseError(regexMessage(2710));
  if (program_->bytes[0] != regexMagic)
    raiseError(regexMessage(2720));
}

void TRegex::setExpression(const std::string &expression) {
  std::string text = expression.substr(0, expression.find('\0'));
  if (text == expression_ && program_)
    return;
  expression_.clear();
  program_.reset();
  if (!text.empty())
    CompileRegex(text);
}

std::string TRegex::getExpression() const { return expression_; }

int TRegex::groupCount() const { return program_ ? program_->groupCount : 0; }

void TRegex::Substitute(const std::string &templateText, std::string &result) const {
  exceptionIfProgramNotValid();
  result.clear();
  result.reserve(templateText.size() + 16);
  const CodePage &codePage = *program_->codePage;
  const int groups = program_->groupCount;
  std::string escaped;
  const char *text = templateText.data();
  const std::size_t length = templateText.size();
  std::size_t i = 0;
  while (i < length) {
    const void *dollar = std::memchr(text + i, '$', length - i);
    std::size_t at = dollar ? static_cast<const char *>(dollar) - text : length;
    result.append(text + i, at - i);
    if (at == length)
      break;
    if (at + 1 == length) {
      result += '$';
      break;
    }
    auto c = static_cast<unsigned char>(text[at + 1]);
    i = at + 2;
    if (c == '$') {
      result += '$';
      continue;
    }
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'z'))) {
      result += '$';
      result += static_cast<char>(c);
      continue;
    }
    const char *found = std::strchr(identifierChars, codePage.toLower(c));
    int n = found && *found ? static_cast<int>(found - identifierChars) : -1;
    if (n >= groups + 1) {
      raiseError(regexMessage(
          2740, {std::string(1, static_cast<char>(c)), std::string(1, identifierChars[groups])}));
    }
    int pos = GetMatchPos(n);
    int len = GetMatchLen(n);
    if (pos > 0 && len > 0 && static_cast<std::size_t>(pos - 1 + len) <= subjectLength_) {
      encodeEscapes(std::string_view(subjectBase_ + pos - 1, static_cast<std::size_t>(len)),
                    escaped);
      result += escaped;
    }
  }
}

std::size_t TRegex::nextPossibleMatch(std::string_view text, std::size_t from, bool *startsMatch,
                                      std::size_t *matchLength) const {
  if (startsMatch)
    *startsMatch = false;
  if (matchLength)
    *matchLength = 0;
  if (from >= text.size())
    return text.size();
  if (!program_ || program_->bytes.empty() || program_->bytes[0] != regexMagic)
    return from; // the search itself reports what is wrong
  const RegexProgram &p = *program_;
  const bool fast = shortcuts_ && p.shortcutsValid;
  // Without case a literal has more than one spelling; the first-byte scan
  // knows them all.
  if (caseSensitive_) {
    std::string_view literal;
    if (fast && p.hasRequired)
      literal = p.required.bytes;
    else if (p.hasMust && !p.mustOtherForms)
      literal = {reinterpret_cast<const char *>(&p.bytes[p.mustOffset]), p.mustLength};
    if (!literal.empty()) {
      const std::size_t hit = findLiteral(text, from, literal);
      if (fast && p.hasRequired && p.literalIsMatch && hit < text.size()) {
        if (startsMatch)
          *startsMatch = true;
        if (matchLength)
          *matchLength = literal.size();
      }
      return hit;
    }
  }
  const int mode = caseSensitive_ ? 0 : 1;
  if (fast && p.firstSetUseful[mode]) {
    const auto *bytes = reinterpret_cast<const unsigned char *>(text.data());
    const unsigned char *end = bytes + text.size();
    if (startsMatch)
      *startsMatch = true;
    const ByteScan &scan = p.firstScan[mode];
    const std::size_t row = p.prefix.size();
    // A byte that begins no row of the bytes every match begins with begins
    // no match: the scan goes on past it.
    auto rowAt = [&](const unsigned char *q) {
      if (static_cast<std::size_t>(end - q) < row)
        return false;
      for (std::size_t i = 0; i < row; ++i)
        if (!p.prefix[i][mode].test(q[i]))
          return false;
      return true;
    };
    const unsigned char *q = scan.find(bytes + from, end);
    while (q < end && row > 1 && !rowAt(q))
      q = scan.find(q + 1, end);
    if (matchLength && q < end && p.prefixIsMatch && rowAt(q))
      *matchLength = row;
    return static_cast<std::size_t>(q - bytes);
  }
  return from;
}

std::string TRegex::dumpProgram() const {
  return program_ ? dumpRegexProgram(*program_) : std::string();
}

std::size_t TRegex::programSizeForTest() const { return program_ ? program_->bytes.size() : 0; }

void TRegex::setProgramByteForTest(std::size_t offset, unsigned char value) {
  if (!program_ || offset >= program_->bytes.size())
    throw ERangeError();
  program_->bytes[offset] = value;
  program_->shortcutsValid = false;
}

} // namespace marrowen
