#pragma once

// The compiled form of a TRegex pattern, shared by the compiler and the
// matcher; not part of the engine's public face.

#include "classlib/codepage.h"
#include "classlib/format.h"
#include "classlib/utf8.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace marrowen {

namespace regex_op {
enum : std::uint8_t {
  END = 0,
  BOL = 1,
  EOL = 2,
  ANY = 3,
  ANYOF = 4,
  ANYBUT = 5,
  BRANCH = 6,
  BACK = 7,
  EXACTLY = 8,
  NOTHING = 9,
  STAR = 10,
  PLUS = 11,
  ANYDIGIT = 12,
  NOTDIGIT = 13,
  ANYLETTER = 14,
  NOTLETTER = 15,
  ANYSPACE = 16,
  NOTSPACE = 17,
  OPEN = 20,  // OPEN + n, n = 1..35
  CLOSE = 57, // CLOSE + n, n = 1..35
};
} // namespace regex_op

// Nodes that only the Word-style tokens compile to (TRegex::setWordTokens);
// a pattern of any other dialect never holds them.
namespace regex_op {
enum : std::uint8_t {
  WORDSTART = 93, // the start of a word: no word byte before, one after
  WORDEND = 94,   // the end of a word: a word byte before, none after
  LAZYSTAR = 95,  // the simple operand node 0 or more times, fewest first
  LAZYPLUS = 96,  // the simple operand node 1 or more times, fewest first
};
} // namespace regex_op

inline constexpr std::uint8_t regexMagic = 156;
inline constexpr int regexMaxGroups = 35;
inline constexpr std::size_t regexNodeSize = 3;
inline constexpr std::size_t regexNone = 0; // byte 0 holds the magic, never a node

inline bool isOpenOp(std::uint8_t op) {
  return op > regex_op::OPEN && op <= regex_op::OPEN + regexMaxGroups;
}
inline bool isCloseOp(std::uint8_t op) {
  return op > regex_op::CLOSE && op <= regex_op::CLOSE + regexMaxGroups;
}

// A 256-bit membership table.
struct ByteSet {
  std::uint64_t words[4] = {0, 0, 0, 0};

  bool test(unsigned char c) const { return (words[c >> 6] >> (c & 63)) & 1; }
  void set(unsigned char c) { words[c >> 6] |= std::uint64_t(1) << (c & 63); }
  void reset(unsigned char c) { words[c >> 6] &= ~(std::uint64_t(1) << (c & 63)); }
  ByteSet &operator|=(const ByteSet &other) {
    for (int i = 0; i < 4; ++i)
      words[i] |= other.words[i];
    return *this;
  }
  int count() const {
    int n = 0;
    for (auto w : words)
      n += __builtin_popcountll(w);
    return n;
  }
};

// Finds the next byte of a set fast: one byte by memchr, any other set
// through a table, four bytes a step.
struct ByteScan {
  int only = -1; // the set's one member, or -1
  // A set that is one range of ASCII bytes, low < b < high, is tested eight
  // bytes at a time.
  int low = -1;
  int high = -1;
  // A set of a few bytes (a letter's forms and case partners) is looked for
  // sixteen bytes at a time, as memchr looks for one.
  std::array<unsigned char, 8> few{};
  int fewCount = 0;
  // Each of `few` sixteen times over, ready to compare with a block of text.
  alignas(16) std::array<std::array<unsigned char, 16>, 8> fewBlocks{};
  // A larger set of bytes of 128 or more only passes over ASCII 32 bytes at
  // a time.
  bool highOnly = false;
  std::array<std::uint8_t, 256> table{};

  void build(const ByteSet &set);
  // The first position in [from, to) whose byte is in the set, or `to`.
  const unsigned char *find(const unsigned char *from, const unsigned char *to) const;
};

// A literal that every match must contain (consecutive literal nodes
// joined), found by the search shortcuts.
struct RegexLiteral {
  std::string bytes;
  // Distance from the match start, when every match has it there.
  bool fixedDistance = false;
  std::size_t distance = 0;
};

// Per-node data the matcher needs that the byte program only implies.
struct RegexNodeInfo {
  // Of a literal: what the compiler knew of it.
  enum : std::uint8_t {
    // Written as an escape: a byte, which matches wherever it stands.
    escaped = 1,
    // Ignoring case it is compared character by character: it holds a
    // byte of 128 or more, or a letter that a longer character folds to.
    foldsByCharacter = 2,
    // Its first byte is a stray continuation byte, which must not stand
    // inside a character of the text.
    startsWithContinuation = 4,
    // It ends with the start of a sequence it does not complete, which
    // must not go on in the text.
    endsIncomplete = 8,
    // It is one character (or one escaped byte), fit for STAR and PLUS.
    oneCharacter = 16,
    // Ignoring case, its first byte says which bytes can begin a match
    // through the upper-case table alone.
    firstFoldsByByte = 32,
    // It holds a character with a second form (a letter beyond ASCII the
    // code page holds, or a byte of 128 or more), so it is compared
    // character by character in either case mode.
    otherForms = 64,
  };
  std::uint8_t opcode = 0xFF; // what the node was compiled as
  std::uint8_t literal = 0;   // the flags above
  std::uint16_t operandLength = 0;
  std::uint16_t setIndex = 0;
};

// Whether the matchers compare the literal of `info` character by character
// rather than byte by byte.
inline bool literalByCharacters(const RegexNodeInfo &info, bool ignoreCase) {
  return !(info.literal & RegexNodeInfo::escaped) &&
         ((info.literal & RegexNodeInfo::otherForms) ||
          (ignoreCase && (info.literal & RegexNodeInfo::foldsByCharacter)));
}

// A set's members as the compiler read them. The operand lists the member
// bytes (and the bytes of the characters that begin and end a range of
// characters); this holds their meaning.
struct RegexSetMembers {
  ByteSet ascii;   // bytes below 128, however written
  ByteSet escapes; // bytes of 128 or more written as escapes
  ByteSet lone;    // bytes of 128 or more typed as they are
  utf8::CodePointRanges characters;
  // The class escapes written in the set (\d \D \w \W \s \S), one bit
  // each by their opcode's distance from ANYDIGIT: they take there what they
  // take outside a set.
  std::uint8_t classes = 0;
};

// A set as the matchers test it. A byte of 128 or more given by an escape is
// a member wherever it stands, even inside a character of the text; a valid
// multi-byte sequence is one character, tested against the ranges of
// characters; any other byte is a character of the code page.
struct RegexSet {
  // What the search shortcuts know: every byte a match of the set can begin
  // with, [case-sensitive, ignoring case].
  std::array<ByteSet, 2> bytes;
  std::array<ByteSet, 2> ascii;
  std::array<ByteSet, 2> escapes;
  std::array<ByteSet, 2> lone;
  std::array<utf8::CodePointRanges, 2> characters;
  // Class escapes among the members, as in RegexSetMembers: a character
  // beyond ASCII is a member when its class takes it.
  std::uint8_t classes = 0;
  // The bytes below 128 the set takes (negation applied, NUL never): a run
  // over ASCII text is walked by this alone.
  std::array<ByteSet, 2> asciiRun;
  bool negated = false;
  // Whether the set takes exactly one byte below 128 whenever it matches,
  // so the bytes above say all about it.
  std::array<bool, 2> singleByte{false, false};
  // Whether it takes no byte of 128 or more (a positive set), or every
  // character and byte of 128 or more (a negated one): a run of it is then
  // found byte by byte.
  bool highDecided = false;
};

struct RegexProgram {
  std::vector<std::uint8_t> bytes;
  std::shared_ptr<const CodePage> codePage;
  int groupCount = 0;

  // The search data every program carries.
  std::uint8_t firstChar = 0; // 0: none
  // Whether ignoring case the first literal's first byte is found through
  // the upper-case table alone.
  bool firstCharFoldsByByte = false;
  bool anchored = false;
  bool hasMust = false;
  std::size_t mustOffset = 0; // operand offset inside `bytes`
  std::size_t mustLength = 0;
  // Whether the must-have literal holds a character with a second form, so
  // that even with case it is not found by its bytes.
  bool mustOtherForms = false;

  // What the compiler knew beyond the bytes, in the order the nodes lie:
  // whether each literal was written as an escape, the members of each set.
  std::vector<bool> literalEscapes;
  std::vector<RegexSetMembers> setMembers;

  // Node table, indexed by node offset.
  std::vector<RegexNodeInfo> nodes;
  std::vector<RegexSet> sets;
  // \d \D \w \W \s \S, indexed by opcode - ANYDIGIT: the bytes that are
  // members read alone (ASCII, or a byte of the code page), and every byte
  // a member can begin with, characters beyond ASCII included.
  std::array<ByteSet, 6> classes;
  std::array<ByteSet, 6> classStarts;
  // Of each class, the bytes below 128 it takes (NUL never), as a set's
  // `asciiRun`.
  std::array<ByteSet, 6> classAsciiRuns;
  std::array<unsigned char, 256> upper{};

  // Search shortcuts, derived from the sound program; results never depend
  // on them. Index 0 case-sensitive, 1 ignoring case.
  bool shortcutsValid = false;
  bool firstSetUseful[2] = {false, false};
  // Bytes of the first set that begin a match only as a byte of the code
  // page standing alone: where the text holds a UTF-8 character there (as
  // UTF-8 text often holds such a byte, "ä"'s E4 leading a CJK character's
  // sequence), no match begins.
  ByteSet loneFirst[2];
  // Whether a match can begin inside a character of the text (through a byte
  // given by an escape, or empty): a search must then try those places too.
  bool startsInside[2] = {true, true};
  ByteScan firstScan[2];
  bool hasRequired = false;
  RegexLiteral required; // the longest literal every match holds
  // How ignoring case the upper-case table finds the required, the
  // must-have and the anchor's literal: whole (no byte of 128 or more, no
  // k or s), whole where the text is ASCII (ASCII with k or s: beyond ASCII
  // only the long s and the Kelvin sign fold to those), or not at all.
  enum LiteralSearch : std::uint8_t { byBytes, byBytesInAscii, byCharacters };
  LiteralSearch requiredSearch = byCharacters;
  LiteralSearch mustSearch = byCharacters;
  LiteralSearch anchorSearch = byCharacters;
  bool hasAnchor = false;
  RegexLiteral anchor; // the longest one at a fixed distance from the start
  bool requiredIsAnchor = false;
  std::size_t leadingRepeat = regexNone; // STAR/PLUS that starts every match
  // When the leading repeat's bytes never include the first byte of the
  // literal after it, a match starts where a run of them ends in that byte.
  bool hasRepeatStop[2] = {false, false};
  ByteScan repeatStop[2];    // the literal's first byte (and its case partners)
  ByteScan repeatMembers[2]; // what the leading repeat takes
  // The bytes every match begins with, one set a position (per case mode),
  // as far as every match has them one after another, up to eight. With
  // `prefixIsMatch` a match is exactly such a row of bytes, so a row found
  // is a match found; `literalIsMatch` when that row is `required`.
  std::vector<std::array<ByteSet, 2>> prefix;
  bool prefixIsMatch = false;
  bool literalIsMatch = false;

  std::uint8_t op(std::size_t node) const { return bytes[node]; }
  std::size_t operand(std::size_t node) const { return node + regexNodeSize; }
  // The next node or regexNone; no range check.
  std::size_t next(std::size_t node) const {
    std::size_t offset = (std::size_t(bytes[node + 1]) << 8) | bytes[node + 2];
    if (offset == 0)
      return regexNone;
    return bytes[node] == regex_op::BACK ? node - offset : node + offset;
  }
};

// The subject as both matchers read it: a valid multi-byte UTF-8 sequence
// is one character, which no match of a character enters; every other byte
// is a character of the code page. Bytes given by escapes match bytes.
class RegexText {
public:
  RegexText() = default;
  RegexText(const unsigned char *bytes, std::size_t length, const RegexProgram &program,
            bool ignoreCase)
      : s_(bytes), end_(length), p_(&program), ci_(ignoreCase) {}

  // Whether `pos` lies inside a character that began before it.
  bool inside(std::size_t pos) const {
    return pos < end_ && (s_[pos] & 0xC0) == 0x80 && utf8::isInsideSequence(view(), pos);
  }
  // The length of the valid sequence at `pos` (pos < length), or 0.
  std::size_t sequenceAt(std::size_t pos) const {
    return s_[pos] >= 0xC2 ? utf8::sequenceLength(view().substr(pos)) : 0;
  }
  // How many bytes the simple node (or one-character literal) at `node`
  // takes at `pos`; 0 when it does not match there. Raises message 2690 for
  // a node that is not simple.
  std::size_t takeOne(std::size_t node, std::size_t pos) const;
  // How many bytes the literal at `node` (not the empty NUL literal) takes
  // at `pos`, which ignoring case may differ from its own length; npos when
  // it does not match there.
  std::size_t takeLiteral(std::size_t node, std::size_t pos) const;
  // Ignoring case, how many bytes the character at `index` of the literal
  // at `node` (one compared by characters) takes at `pos`; 0 for none.
  std::size_t takeLiteralCharacter(std::size_t node, std::size_t index, std::size_t pos) const;
  // The length of the step a run of the simple node at `node` took last
  // before `pos`, a run that began at `start`.
  std::size_t stepBefore(std::size_t node, std::size_t start, std::size_t pos) const;
  // Whether a letter, digit or "_" ends at `pos` / begins at `pos`.
  bool wordBefore(std::size_t pos) const;
  bool wordAt(std::size_t pos) const;

private:
  std::string_view view() const {
    return std::string_view(reinterpret_cast<const char *>(s_), end_);
  }
  bool byCharacters(const RegexNodeInfo &info) const { return literalByCharacters(info, ci_); }
  std::size_t takeSet(const RegexSet &set, std::size_t pos) const;
  std::size_t takeClass(std::uint8_t op, std::size_t pos) const;

  const unsigned char *s_ = nullptr;
  std::size_t end_ = 0;
  const RegexProgram *p_ = nullptr;
  bool ci_ = false;
};

// Walks a program over a subject the way the backtracking matcher of
// TRegex would and finds the same match with the same groups, but keeps
// every way of matching that is still open side by side, in the order the
// backtracking matcher would try them, one byte of the subject at a time:
// its work grows with the subject's length times the program's size, never
// faster. Two ways that reach the same node at the same place have the same
// future, so only the first of them (the one the backtracking matcher
// would try first) is kept. Polls the job's abort request as it goes.
class RegexLinearMatcher {
public:
  struct Subject {
    const unsigned char *bytes = nullptr;
    std::size_t length = 0;
    std::size_t boundary = 0; // where `^` matches; an impossible place for nowhere
    bool endIsFinal = true;   // whether `$` and the end of a word match at the end
    bool ignoreCase = false;
  };

  // Finds the match that the first attempt to succeed, among the 0-based
  // positions `first` .. `last` - 1 tried in order, would find. `starts`,
  // when given, holds every byte a match can begin with; other positions
  // are passed over.
  bool search(const RegexProgram &program, const Subject &subject, std::size_t first,
              std::size_t last, const ByteScan *starts);
  // After a successful search: where the match begins and ends, and where
  // group g (1 .. the program's group count) begins and ends; -1 for a
  // group that took no part.
  int matchStart() const { return best_[0]; }
  int matchEnd() const { return bestEnd_; }
  int groupStart(int g) const { return best_[2 * g - 1]; }
  int groupEnd(int g) const { return best_[2 * g]; }

private:
  struct Thread {
    std::uint32_t node; // a node that takes a byte: a simple node, a literal, a repeat
    std::uint32_t sub;  // of a literal, the index of the byte it takes next
  };
  // The ways of matching that wait for the byte at one place, first the one
  // to try first, with their groups.
  struct List {
    std::vector<Thread> threads;
    std::vector<int> groups;
    void clear() {
      threads.clear();
      groups.clear();
    }
  };
  enum class Pending : std::uint8_t { Walk, Restore, TakeMore };
  struct Frame {
    std::uint32_t value; // a node, or a group slot
    int saved;
    Pending kind;
  };

  void add(List &list, std::size_t node, std::size_t sub);
  void follow(List &list, std::size_t node, bool afterByte);
  std::size_t walk(List &list, std::size_t node, bool afterByte);
  void take(const Thread &thread, unsigned char c, List &next);
  bool valid(std::size_t node) const;
  bool atTextEnd(std::size_t pos) const;
  void seed(List &list);
  void poll();

  const RegexProgram *p_ = nullptr;
  Subject s_;
  const unsigned char *upper_ = nullptr;
  std::size_t pos_ = 0;
  std::size_t slots_ = 1;
  // stamps_[id] == generation_: the node (or the second state of a repeat
  // that must take a byte, at id node + 1) was reached at the current place.
  std::vector<std::uint64_t> stamps_;
  std::uint64_t generation_ = 0;
  std::vector<int> groups_; // of the way being followed
  std::vector<Frame> pending_;
  List now_, next_;
  bool matched_ = false;
  bool cut_ = false;
  std::vector<int> best_;
  int bestEnd_ = -1;
  std::size_t work_ = 0;
  std::size_t nextPoll_ = 0;
  std::optional<RegexText> text_;
};

// The errors of a damaged program, shared by both matchers.
[[noreturn]] void regexCorruption();
[[noreturn]] void regexCorruptedPointers();

// Compiles `expression` (non-empty) or raises the compiler's message. With
// `wordTokens` a backslash before one of the TRegex::WordToken bytes is that
// token rather than a literal byte.
std::unique_ptr<RegexProgram> compileRegexProgram(const std::string &expression,
                                                  std::shared_ptr<const CodePage> codePage,
                                                  bool wordTokens = false);
// Derives the node table and the set tables, then the search shortcuts.
void analyseRegexProgram(RegexProgram &program);
std::string dumpRegexProgram(const RegexProgram &program);

// The numbered messages of the engine; the second fills the message's format
// (an English fallback when a translation does not fit).
std::string regexMessage(int id);
std::string regexMessage(int id, std::initializer_list<FormatArg> args);

} // namespace marrowen
