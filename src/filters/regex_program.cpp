#include "filters/regex_program.h"

#include "classlib/exceptions.h"
#include "engine/messages.h"

#include <cstring>
#include <optional>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace marrowen {

namespace {

using namespace regex_op;

struct MessageText {
  int id;
  const char *text;
};

constexpr MessageText messageTexts[] = {
    {2400, "Regular expression is missing"},
    {2410, "Regular expression is too complex (%d > max of %d)"},
    {2430, "Too many () - limit is %s"},
    {2440, "Unmatched () - you need a )"},
    {2450, "Unmatched () - you need a ("},
    {2460, "Junk on end of regular expression"},
    {2470, "%s expression can be blank (hint: escape meta characters with '\\')"},
    {2480, "Nested %s are not allowed"},
    {2490, "\\xXX Bad hex digit '%s'"},
    {2500, "\\DDD Bad decimal digit '%s'"},
    {2510, "\\xXX Missing hex code"},
    {2520, "\\xXX Missing hex code"},
    {2530, "\\DDD Missing 3 digits of decimal code"},
    {2540, "\\DDD Missing 3 digits of decimal code"},
    {2550, "\\DDD Maximum decimal value is 255"},
    {2560, "\\cC Missing control code"},
    {2570, "\\000 is not allowed in a set [...] because of an internal limitation. Use "
           "([...]|\\000) instead"},
    {2580, "Trailing \\ needs to be followed by something"},
    {2590, "\\%s is not valid as the end of a range because it consists of more than character"},
    {2600, "\\DDD must start with the decimal digit 0, 1 or 2 (Leading zeros are required). "
           "Valid range is 001-255"},
    {2610, "Trailing \\ needs to be followed by something"},
    {2620, "\\DDD must start with the decimal digit 0, 1 or 2 (Leading zeros are required). "
           "Valid range is 000-255"},
    {2630, "Unmatched [] - need a ]"},
    {2640, "Internal error 2"},
    {2650, "?+* follows nothing (hint: Meta characters can be escaped with '\\')"},
    {2660, "Trailing \\ - must be followed by something (hint: use '\\\\')"},
    {2670, "\\DDD must start with the decimal digit 0, 1 or 2 (Leading zeros are required). "
           "Valid range is 000-255"},
    {2680, "Internal error 3"},
    {2690, "Internal error 4"},
    {2700, "MatchPrim: Memory corruption"},
    {2710, "No regular expression assigned"},
    {2720, "Corrupted program"},
    {2730, "Error %s\r\nPlease alter your pattern"},
    {2740, "$%s is not a valid subexpression identifier for this pattern.\r\nThe maximum allowed "
           "subexpression identifier is $%s (or escape the $ sign using '$$')"},
};

bool isGroupOp(std::uint8_t op) { return isOpenOp(op) || isCloseOp(op); }

// How ignoring case the upper-case table finds `literal`.
RegexProgram::LiteralSearch literalSearch(std::string_view literal) {
  RegexProgram::LiteralSearch how = RegexProgram::byBytes;
  for (unsigned char c : literal) {
    if (c >= 0x80)
      return RegexProgram::byCharacters;
    if (utf8::isFoldSensitive(c))
      how = RegexProgram::byBytesInAscii;
  }
  return how;
}

// The first byte of the UTF-8 form of `cp` (at least U+0080).
unsigned char leadByteOf(char32_t cp) {
  return static_cast<unsigned char>(cp < 0x800     ? 0xC0 | (cp >> 6)
                                    : cp < 0x10000 ? 0xE0 | (cp >> 12)
                                                   : 0xF0 | (cp >> 18));
}

// Adds every byte that a character of `ranges` beyond ASCII begins with.
void addLeadBytes(const utf8::CodePointRanges &ranges, ByteSet &bytes) {
  for (const auto &[first, last] : ranges) {
    if (last < 0x80)
      continue;
    for (int b = leadByteOf(std::max<char32_t>(first, 0x80)); b <= leadByteOf(last); ++b)
      bytes.set(static_cast<unsigned char>(b));
  }
}

// Search shortcuts read the program as the matcher would, to learn which
// positions can never start a match. They only ever skip such positions.
class ShortcutFinder {
public:
  explicit ShortcutFinder(RegexProgram &p) : p_(p) {}

  void run() {
    for (int mode = 0; mode < 2; ++mode) {
      ByteSet set;
      bool restricted = firstSet(mode, set);
      p_.firstSetUseful[mode] = restricted && set.count() < 256;
      p_.firstScan[mode].build(set);
      p_.startsInside[mode] = canStartInside(mode);
      ByteSet asSequences;
      p_.loneFirst[mode] = ByteSet{};
      if (restricted && firstSet(mode, asSequences, true))
        for (int b = 0x80; b < 256; ++b)
          if (set.test(static_cast<unsigned char>(b)) &&
              !asSequences.test(static_cast<unsigned char>(b)))
            p_.loneFirst[mode].set(static_cast<unsigned char>(b));
    }
    findLiterals();
    p_.requiredSearch = literalSearch(p_.required.bytes);
    p_.anchorSearch = literalSearch(p_.anchor.bytes);
    p_.requiredIsAnchor = p_.hasAnchor && p_.required.bytes == p_.anchor.bytes;
    findLeadingRepeat();
    findRepeatStop();
    findPrefix();
    p_.literalIsMatch = p_.prefixIsMatch && p_.hasRequired && p_.required.fixedDistance &&
                        p_.required.distance == 0 && p_.required.bytes.size() == p_.prefix.size();
    p_.shortcutsValid = true;
  }

private:
  static bool isZeroWidth(std::uint8_t op) {
    return op == BOL || op == EOL || op == NOTHING || isGroupOp(op);
  }
  static bool isOneByte(std::uint8_t op) {
    return op == ANY || op == ANYOF || op == ANYBUT || (op >= ANYDIGIT && op <= NOTSPACE);
  }

  bool valid(std::size_t node) const {
    return node != regexNone && node < p_.bytes.size() && p_.bytes.size() - node >= regexNodeSize;
  }
  bool hasChoice(std::size_t branch) const {
    std::size_t next = p_.next(branch);
    return valid(next) && p_.op(next) == BRANCH;
  }
  std::size_t joinOf(std::size_t branch) const {
    std::size_t steps = 0;
    while (hasChoice(branch) && ++steps < p_.bytes.size())
      branch = p_.next(branch);
    return p_.next(branch);
  }

  // Every byte a match of a simple node can begin with, in one case mode;
  // with `asSequences`, where the text holds a UTF-8 character (or ASCII).
  std::optional<ByteSet> simpleSet(std::size_t node, int mode, bool asSequences = false) const {
    if (!valid(node))
      return std::nullopt;
    std::uint8_t op = p_.op(node);
    ByteSet set;
    switch (op) {
    case ANY:
      for (int b = 1; b < 256; ++b)
        set.set(static_cast<unsigned char>(b));
      return set;
    case EXACTLY: {
      const RegexNodeInfo &info = p_.nodes[node];
      unsigned char c = p_.bytes[p_.operand(node)];
      // A first letter beyond ASCII begins a match in either form.
      const bool bothForms = c >= 0x80 && (info.literal & RegexNodeInfo::otherForms);
      if (c == 0 || (mode == 0 && !bothForms)) {
        set.set(c);
        return set;
      }
      if (mode == 1)
        for (int b = 0; b < 256; ++b)
          if (p_.upper[b] == p_.upper[c])
            set.set(static_cast<unsigned char>(b));
      if (asSequences && bothForms)
        set = ByteSet{};
      if (bothForms || (mode == 1 && !(info.literal & RegexNodeInfo::firstFoldsByByte))) {
        // The bytes the first character's forms (and ignoring case, its
        // case partners': an ASCII letter may have a longer one) begin with.
        const std::string_view operand(reinterpret_cast<const char *>(&p_.bytes[p_.operand(node)]),
                                       info.operandLength);
        const std::bitset<256> first =
            utf8::firstBytesOf(operand, *p_.codePage, mode == 1, asSequences && bothForms);
        for (int b = 0; b < 256; ++b)
          if (first.test(static_cast<std::size_t>(b)))
            set.set(static_cast<unsigned char>(b));
      }
      return set;
    }
    case ANYOF:
    case ANYBUT: {
      const RegexSet &s = p_.sets[p_.nodes[node].setIndex];
      if (!asSequences || s.negated)
        return s.bytes[mode];
      // A byte of 128 or more begins a character of the set's ranges or
      // classes there, or is an escape's.
      set = s.bytes[mode];
      for (int b = 0x80; b < 256; ++b)
        if (s.lone[mode].test(static_cast<unsigned char>(b)) &&
            !s.escapes[mode].test(static_cast<unsigned char>(b)))
          set.reset(static_cast<unsigned char>(b));
      addLeadBytes(s.characters[mode], set);
      if (s.classes != 0)
        for (int b = 0xC2; b <= 0xF4; ++b)
          set.set(static_cast<unsigned char>(b));
      return set;
    }
    default:
      if (op >= ANYDIGIT && op <= NOTSPACE)
        return p_.classStarts[op - ANYDIGIT];
      return std::nullopt;
    }
  }

  // The bytes a run of the simple node can hold, when its steps are whole
  // characters (no byte given by an escape steps alone): each byte below
  // 128 by itself, and every byte of 128 or more when the node can take a
  // character beyond ASCII, whose membership a run's walk back then asks
  // the node itself.
  std::optional<ByteSet> runBytes(std::size_t node, int mode) const {
    if (!valid(node))
      return std::nullopt;
    std::uint8_t op = p_.op(node);
    ByteSet high;
    for (int b = 0x80; b < 256; ++b)
      high.set(static_cast<unsigned char>(b));
    ByteSet members;
    switch (op) {
    case ANY:
      return simpleSet(node, mode);
    case EXACTLY: {
      const RegexNodeInfo &info = p_.nodes[node];
      const unsigned char c = p_.bytes[p_.operand(node)];
      if ((info.literal & RegexNodeInfo::escaped) && c >= 0x80)
        return std::nullopt;
      if (!(info.literal & RegexNodeInfo::escaped) &&
          (c >= 0x80 || (mode == 1 && utf8::isFoldSensitive(c)))) {
        if (mode == 1)
          for (int b = 1; b < 0x80; ++b)
            if (p_.upper[b] == p_.upper[c])
              members.set(static_cast<unsigned char>(b));
        members |= high;
        return members;
      }
      return simpleSet(node, mode);
    }
    case ANYOF:
    case ANYBUT: {
      const RegexSet &set = p_.sets[p_.nodes[node].setIndex];
      if (set.escapes[mode].count() > 0)
        return std::nullopt;
      for (int b = 1; b < 0x80; ++b)
        if (set.ascii[mode].test(static_cast<unsigned char>(b)) != set.negated)
          members.set(static_cast<unsigned char>(b));
      if (set.negated || !set.singleByte[mode])
        members |= high;
      return members;
    }
    default:
      if (op < ANYDIGIT || op > NOTSPACE)
        return std::nullopt;
      for (int b = 1; b < 0x80; ++b)
        if (p_.classes[op - ANYDIGIT].test(static_cast<unsigned char>(b)))
          members.set(static_cast<unsigned char>(b));
      if (op != ANYDIGIT && op != ANYSPACE)
        members |= high;
      return members;
    }
  }

  // Whether every match of the one-character node is one byte wide.
  bool oneByteWide(std::size_t node) const {
    std::uint8_t op = p_.op(node);
    if (op == ANYOF || op == ANYBUT) {
      const RegexSet &set = p_.sets[p_.nodes[node].setIndex];
      return set.singleByte[0] && set.singleByte[1];
    }
    return op == ANYDIGIT || op == ANYSPACE;
  }

  // The width of a literal when every match of it has it.
  std::optional<std::size_t> literalWidth(std::size_t node) const {
    const RegexNodeInfo &info = p_.nodes[node];
    if (info.literal & (RegexNodeInfo::escaped))
      return info.operandLength;
    if (info.literal & RegexNodeInfo::foldsByCharacter)
      return std::nullopt;
    return info.operandLength;
  }

  // Every byte a match can begin with; false when a match can begin with
  // anything (or be empty). A match always starts before the subject's
  // end, so a node that needs the end needs a NUL there.
  bool firstSet(int mode, ByteSet &set, bool asSequences = false) const {
    return walkFromStart([&](std::size_t node, auto &&goOn) {
      std::uint8_t op = p_.op(node);
      if (op == EOL || (op == EXACTLY && p_.nodes[node].operandLength == 0)) {
        set.set(0);
      } else if (op == BOL || op == NOTHING || isGroupOp(op)) {
        goOn(p_.next(node));
      } else if (op == STAR || op == PLUS) {
        auto operandSet = simpleSet(p_.operand(node), mode, asSequences);
        if (!operandSet)
          return false;
        set |= *operandSet;
        if (op == STAR)
          goOn(p_.next(node));
      } else if (op == BRANCH) {
        goOnInEachAlternative(node, goOn);
      } else if (auto s = simpleSet(node, mode, asSequences)) {
        set |= *s;
      } else {
        return false; // END, BACK or anything unforeseen
      }
      return true;
    });
  }

  // Runs `visit` once on each node reached from the program's start, as
  // `visit` goes on (it calls its second argument with each node to go on
  // with); false as soon as `visit` stops the walk or meets a damaged node.
  template <class Visit> bool walkFromStart(Visit visit) const {
    std::vector<char> visited(p_.bytes.size(), 0);
    std::vector<std::size_t> work{1};
    auto goOn = [&work](std::size_t node) { work.push_back(node); };
    while (!work.empty()) {
      std::size_t node = work.back();
      work.pop_back();
      if (!valid(node))
        return false;
      if (visited[node])
        continue;
      visited[node] = 1;
      if (!visit(node, goOn))
        return false;
    }
    return true;
  }

  // Goes on into every alternative of the BRANCH chain at `branch`.
  template <class GoOn> void goOnInEachAlternative(std::size_t branch, GoOn &&goOn) const {
    if (!hasChoice(branch)) {
      goOn(p_.operand(branch));
      return;
    }
    std::size_t steps = 0;
    for (std::size_t b = branch; valid(b) && p_.op(b) == BRANCH && ++steps < 65536; b = p_.next(b))
      goOn(p_.operand(b));
  }

  // Whether a match can begin inside a character of the text: where a byte
  // given by an escape takes a continuation byte first, or where it is
  // empty. Every other match begins with a character, which no place inside
  // one holds.
  bool canStartInside(int mode) const {
    auto takesContinuation = [&](std::size_t node) {
      const std::uint8_t op = p_.op(node);
      if (op == EXACTLY) {
        const RegexNodeInfo &info = p_.nodes[node];
        if (!(info.literal & RegexNodeInfo::escaped) || info.operandLength == 0)
          return false;
        const unsigned char c = p_.bytes[p_.operand(node)];
        for (int b = 0x80; b < 0xC0; ++b)
          if (mode == 0 ? b == c : p_.upper[b] == p_.upper[c])
            return true;
        return false;
      }
      // A negated set never matches inside a character: a byte there is an
      // escaped member or no character at all.
      if (op == ANYOF) {
        const RegexSet &set = p_.sets[p_.nodes[node].setIndex];
        for (int b = 0x80; b < 0xC0; ++b)
          if (set.escapes[mode].test(static_cast<unsigned char>(b)))
            return true;
      }
      return false;
    };
    // The walk stops where a match can begin inside a character.
    return !walkFromStart([&](std::size_t node, auto &&goOn) {
      std::uint8_t op = p_.op(node);
      if (op == END)
        return false;
      if (op == BOL || op == NOTHING || op == BACK || isGroupOp(op)) {
        goOn(p_.next(node));
      } else if (op == BRANCH) {
        goOnInEachAlternative(node, goOn);
      } else if (op == STAR || op == PLUS || op == LAZYSTAR || op == LAZYPLUS) {
        if (!valid(p_.operand(node)) || takesContinuation(p_.operand(node)))
          return false;
        if (op == STAR || op == LAZYSTAR)
          goOn(p_.next(node));
      } else if (takesContinuation(node)) {
        return false;
      } else if (!(op == EXACTLY || op == ANY || op == ANYOF || op == ANYBUT || op == EOL ||
                   op == WORDSTART || op == WORDEND || (op >= ANYDIGIT && op <= NOTSPACE))) {
        return false; // anything unforeseen
      }
      // Otherwise a character, the end of the text or a word's edge: no
      // place inside a character holds them.
      return true;
    });
  }

  // The width every path from `from` to `to` has, if they all agree.
  std::optional<std::size_t> width(std::size_t from, std::size_t to, int depth) const {
    if (depth > 200)
      return std::nullopt;
    std::size_t total = 0;
    std::size_t node = from;
    for (std::size_t steps = 0; node != to; ++steps) {
      if (!valid(node) || steps > p_.bytes.size())
        return std::nullopt;
      std::uint8_t op = p_.op(node);
      if (isZeroWidth(op)) {
        node = p_.next(node);
      } else if (op == EXACTLY) {
        auto w = literalWidth(node);
        if (!w)
          return std::nullopt;
        total += *w;
        node = p_.next(node);
      } else if (isOneByte(op)) {
        if (!oneByteWide(node))
          return std::nullopt;
        total += 1;
        node = p_.next(node);
      } else if (op == BRANCH && !hasChoice(node)) {
        node = p_.operand(node);
      } else if (op == BRANCH) {
        auto w = alternationWidth(node, depth + 1);
        if (!w)
          return std::nullopt;
        total += *w;
        node = joinOf(node);
      } else {
        return std::nullopt;
      }
    }
    return total;
  }

  std::optional<std::size_t> alternationWidth(std::size_t branch, int depth) const {
    std::size_t join = joinOf(branch);
    std::optional<std::size_t> common;
    std::size_t steps = 0;
    for (std::size_t b = branch; valid(b) && p_.op(b) == BRANCH && ++steps < 65536;
         b = p_.next(b)) {
      auto w = width(p_.operand(b), join, depth);
      if (!w || (common && *common != *w))
        return std::nullopt;
      common = w;
    }
    return common;
  }

  // Walks the nodes every match passes through, joining consecutive
  // literals; keeps the longest, and the longest at a known distance.
  void findLiterals() {
    std::size_t node = 1;
    bool distanceKnown = true;
    std::size_t distance = 0;
    RegexLiteral run;
    auto closeRun = [&] {
      if (run.bytes.empty())
        return;
      if (run.bytes.size() > p_.required.bytes.size()) {
        p_.required = run;
        p_.hasRequired = true;
      }
      if (run.fixedDistance && run.bytes.size() > p_.anchor.bytes.size()) {
        p_.anchor = run;
        p_.hasAnchor = true;
      }
      run = RegexLiteral{};
    };
    for (std::size_t steps = 0; valid(node) && steps < p_.bytes.size(); ++steps) {
      std::uint8_t op = p_.op(node);
      if (op == END)
        break;
      if (op == EXACTLY && p_.nodes[node].operandLength > 0) {
        const std::size_t length = p_.nodes[node].operandLength;
        const std::string_view operand(reinterpret_cast<const char *>(&p_.bytes[p_.operand(node)]),
                                       length);
        if (!(p_.nodes[node].literal & RegexNodeInfo::otherForms)) {
          if (run.bytes.empty()) {
            run.fixedDistance = distanceKnown;
            run.distance = distance;
          }
          run.bytes.append(operand);
          if (auto w = literalWidth(node))
            distance += *w;
          else
            distanceKnown = false;
        } else {
          // A letter that may stand in either form is no bytes every match
          // holds: the runs between such letters are.
          for (std::size_t i = 0; i < length;) {
            const utf8::Character c = utf8::characterAt(operand.substr(i));
            if (utf8::hasOtherForm(c, *p_.codePage)) {
              closeRun();
              distanceKnown = false;
            } else {
              if (run.bytes.empty()) {
                run.fixedDistance = distanceKnown;
                run.distance = distance;
              }
              run.bytes.append(operand.substr(i, c.length));
              distance += c.length;
            }
            i += c.length;
          }
          distanceKnown = false;
        }
        node = p_.next(node);
        continue;
      }
      closeRun();
      if (op == BRANCH && !hasChoice(node)) {
        node = p_.operand(node);
      } else if (op == BRANCH) {
        auto w = alternationWidth(node, 0);
        if (w)
          distance += *w;
        else
          distanceKnown = false;
        node = joinOf(node);
      } else if (isZeroWidth(op) || op == EXACTLY) {
        node = p_.next(node);
      } else if (isOneByte(op)) {
        if (oneByteWide(node))
          distance += 1;
        else
          distanceKnown = false;
        node = p_.next(node);
      } else if (op == STAR || op == PLUS) {
        distanceKnown = false;
        node = p_.next(node);
      } else {
        break;
      }
    }
    closeRun();
  }

  // A STAR or PLUS that every match starts with, behind nothing but group
  // openings. An attempt that fails after it ran over n bytes also fails
  // at the n positions after its start, whose runs end at the same byte.
  void findLeadingRepeat() {
    std::size_t node = 1;
    for (std::size_t steps = 0; valid(node) && steps < p_.bytes.size(); ++steps) {
      std::uint8_t op = p_.op(node);
      if (op == BRANCH && !hasChoice(node)) {
        node = p_.operand(node);
      } else if (isOpenOp(op) || op == NOTHING) {
        node = p_.next(node);
      } else {
        if ((op == STAR || op == PLUS) && simpleSet(p_.operand(node), 0))
          p_.leadingRepeat = node;
        return;
      }
    }
  }

  void findRepeatStop() {
    if (p_.leadingRepeat == regexNone)
      return;
    std::size_t next = p_.next(p_.leadingRepeat);
    if (!valid(next) || p_.op(next) != EXACTLY || p_.nodes[next].operandLength == 0)
      return;
    unsigned char stop = p_.bytes[p_.operand(next)];
    // A stop byte below 128 always begins a character.
    if (stop >= 0x80)
      return;
    for (int mode = 0; mode < 2; ++mode) {
      if (mode == 1 && !(p_.nodes[next].literal & RegexNodeInfo::firstFoldsByByte))
        continue;
      auto members = runBytes(p_.operand(p_.leadingRepeat), mode);
      // A run never takes a NUL, not even the NUL literal's.
      if (members)
        members->reset(0);
      ByteSet stops;
      for (int b = 1; b < 256; ++b)
        if (mode == 0 ? b == stop : p_.upper[b] == p_.upper[stop])
          stops.set(static_cast<unsigned char>(b));
      bool disjoint = members.has_value();
      for (int i = 0; i < 4 && disjoint; ++i)
        disjoint = (members->words[i] & stops.words[i]) == 0;
      if (!disjoint)
        continue;
      p_.hasRepeatStop[mode] = true;
      p_.repeatStop[mode].build(stops);
      p_.repeatMembers[mode].build(*members);
    }
  }

  // The sets of the bytes that begin every match, in a row, as far as the
  // nodes every match passes through consume one byte each; the row is the
  // whole match when the program ends right after it.
  void findPrefix() {
    constexpr std::size_t longest = 8;
    auto add = [this](const ByteSet &sensitive, const ByteSet &ignoring) {
      if (p_.prefix.size() == longest)
        return false;
      p_.prefix.push_back({sensitive, ignoring});
      return true;
    };
    std::size_t node = 1;
    for (std::size_t steps = 0; valid(node) && steps < p_.bytes.size(); ++steps) {
      std::uint8_t op = p_.op(node);
      if (op == END) {
        p_.prefixIsMatch = !p_.prefix.empty();
        return;
      }
      if (op == BRANCH && !hasChoice(node)) {
        node = p_.operand(node);
      } else if (isGroupOp(op) || op == NOTHING) {
        node = p_.next(node);
      } else if (op == EXACTLY && p_.nodes[node].operandLength > 0) {
        // A row holds bytes that match by themselves: an escaped byte, or
        // ASCII whose case the table alone decides.
        const RegexNodeInfo &info = p_.nodes[node];
        if (!(info.literal & RegexNodeInfo::escaped) &&
            (info.literal & RegexNodeInfo::foldsByCharacter))
          return;
        const std::size_t operand = p_.operand(node);
        for (std::size_t i = 0; i < p_.nodes[node].operandLength; ++i) {
          const unsigned char c = p_.bytes[operand + i];
          ByteSet sensitive, ignoring;
          sensitive.set(c);
          for (int b = 1; b < 256; ++b)
            if (p_.upper[b] == p_.upper[c])
              ignoring.set(static_cast<unsigned char>(b));
          if (!add(sensitive, ignoring))
            return;
        }
        node = p_.next(node);
      } else if (isOneByte(op)) {
        if (!oneByteWide(node))
          return;
        auto sensitive = simpleSet(node, 0), ignoring = simpleSet(node, 1);
        if (!sensitive || !ignoring || !add(*sensitive, *ignoring))
          return;
        node = p_.next(node);
      } else {
        return; // an anchor, a repeat or a choice ends the row
      }
    }
  }

  RegexProgram &p_;
};

std::string escapedForDump(const std::uint8_t *bytes, std::size_t length) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  for (std::size_t i = 0; i < length; ++i) {
    unsigned char c = bytes[i];
    if (c >= 32 && c < 127 && c != '"' && c != '\\') {
      out += static_cast<char>(c);
    } else {
      out += "\\x";
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

std::string quoted(const std::uint8_t *bytes, std::size_t length) {
  std::string out(1, '"');
  out += escapedForDump(bytes, length);
  out += '"';
  return out;
}

const char *opName(std::uint8_t op) {
  static const char *const names[] = {"END",       "BOL",      "EOL",      "ANY",      "ANYOF",
                                      "ANYBUT",    "BRANCH",   "BACK",     "EXACTLY",  "NOTHING",
                                      "STAR",      "PLUS",     "ANYDIGIT", "NOTDIGIT", "ANYLETTER",
                                      "NOTLETTER", "ANYSPACE", "NOTSPACE"};
  if (op < sizeof(names) / sizeof(names[0]))
    return names[op];
  switch (op) {
  case WORDSTART:
    return "WORDSTART";
  case WORDEND:
    return "WORDEND";
  case LAZYSTAR:
    return "LAZYSTAR";
  case LAZYPLUS:
    return "LAZYPLUS";
  default:
    return nullptr;
  }
}

} // namespace

void ByteScan::build(const ByteSet &set) {
  int count = set.count();
  int first = -1, last = -1;
  for (int b = 0; b < 256; ++b) {
    table[b] = set.test(static_cast<unsigned char>(b));
    if (table[b]) {
      if (first < 0)
        first = b;
      last = b;
    }
  }
  only = count == 1 ? first : -1;
  fewCount = 0;
  if (count > 1 && count <= static_cast<int>(few.size()))
    for (int b = 0; b < 256; ++b)
      if (table[b]) {
        fewBlocks[static_cast<std::size_t>(fewCount)].fill(static_cast<unsigned char>(b));
        few[static_cast<std::size_t>(fewCount++)] = static_cast<unsigned char>(b);
      }
  highOnly = count > 1 && first >= 0x80;
  low = high = -1;
  if (count > 1 && first > 0 && last < 127 && last - first + 1 == count) {
    low = first - 1;
    high = last + 1;
  }
}

const unsigned char *ByteScan::find(const unsigned char *from, const unsigned char *to) const {
  if (only >= 0) {
    const void *hit = std::memchr(from, only, to - from);
    return hit ? static_cast<const unsigned char *>(hit) : to;
  }
  const unsigned char *q = from;
  if (fewCount > 0) {
#if defined(__SSE2__)
    const auto *members = reinterpret_cast<const __m128i *>(fewBlocks.data());
    while (to - q >= 16) {
      // Bytes of 128 or more only: ASCII passes 64 bytes a step.
      for (; highOnly && to - q >= 64; q += 64) {
        const auto *block = reinterpret_cast<const __m128i *>(q);
        const __m128i any =
            _mm_or_si128(_mm_or_si128(_mm_loadu_si128(block), _mm_loadu_si128(block + 1)),
                         _mm_or_si128(_mm_loadu_si128(block + 2), _mm_loadu_si128(block + 3)));
        if (_mm_movemask_epi8(any) != 0)
          break;
      }
      const unsigned char *stop = highOnly && to - q > 64 ? q + 64 : to;
      for (; stop - q >= 16; q += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(q));
        __m128i hit = _mm_cmpeq_epi8(block, _mm_load_si128(members));
        for (int i = 1; i < fewCount; ++i)
          hit = _mm_or_si128(hit, _mm_cmpeq_epi8(block, _mm_load_si128(members + i)));
        if (const int mask = _mm_movemask_epi8(hit))
          return q + __builtin_ctz(static_cast<unsigned>(mask));
      }
    }
#endif
    for (; q < to; ++q)
      if (table[*q])
        return q;
    return to;
  }
  if (highOnly) {
    constexpr std::uint64_t highBits = 0x8080808080808080u;
    for (;;) {
      for (; to - q >= 32; q += 32) {
        std::uint64_t w[4];
        std::memcpy(w, q, 32);
        if ((w[0] | w[1] | w[2] | w[3]) & highBits)
          break;
      }
      const unsigned char *end = to - q >= 32 ? q + 32 : to;
      for (; q < end; ++q)
        if (table[*q])
          return q;
      if (q == to)
        return to;
    }
  }
  if (low >= 0) {
    // Whether a word holds a byte b with low < b < high, b < 128.
    constexpr std::uint64_t ones = ~std::uint64_t(0) / 255;
    const std::uint64_t above = ones * (127 + static_cast<std::uint64_t>(high));
    const std::uint64_t below = ones * (127 - static_cast<std::uint64_t>(low));
    for (; to - q >= 8; q += 8) {
      std::uint64_t x;
      std::memcpy(&x, q, 8);
      std::uint64_t seven = x & (ones * 127);
      if ((above - seven) & ~x & (seven + below) & (ones * 128))
        break;
    }
  } else {
    for (; to - q >= 4; q += 4)
      if (table[q[0]] | table[q[1]] | table[q[2]] | table[q[3]])
        break;
  }
  for (; q < to; ++q)
    if (table[*q])
      return q;
  return to;
}

std::string regexMessage(int id) {
  for (const auto &m : messageTexts)
    if (m.id == id)
      return translate(id, m.text);
  return translate(id, "");
}

std::string regexMessage(int id, std::initializer_list<FormatArg> args) {
  for (const auto &m : messageTexts)
    if (m.id == id)
      return translateFormat(id, m.text, args);
  return translateFormat(id, "", args);
}

void regexCorruption() { throw Exception(regexMessage(2700)); }

void regexCorruptedPointers() { throw Exception("MatchPrim: Corrupted pointers"); }

std::size_t RegexText::takeOne(std::size_t node, std::size_t pos) const {
  if (pos >= end_)
    return 0;
  const RegexProgram &p = *p_;
  const std::uint8_t op = p.op(node);
  const unsigned char b = s_[pos];
  switch (op) {
  case ANY:
    if (b < 0x80)
      return b != 0;
    if (std::size_t n = sequenceAt(pos))
      return n;
    return inside(pos) ? 0 : 1;
  case EXACTLY: {
    const RegexNodeInfo &info = p.nodes[node];
    if (info.opcode != EXACTLY)
      regexCorruption();
    if (info.operandLength == 0)
      return 0;
    const std::size_t taken = takeLiteral(node, pos);
    return taken == std::string_view::npos ? 0 : taken;
  }
  case ANYOF:
  case ANYBUT:
    if (p.nodes[node].opcode != op)
      regexCorruption();
    return takeSet(p.sets[p.nodes[node].setIndex], pos);
  default:
    if (op < ANYDIGIT || op > NOTSPACE)
      throw Exception(regexMessage(2690));
    return takeClass(op, pos);
  }
}

namespace {

// Whether the class escape `op` takes the character `codePoint` beyond ASCII
// (a valid sequence of the text).
bool classTakes(std::uint8_t op, char32_t codePoint) {
  switch (op) {
  case NOTDIGIT:
  case NOTSPACE:
    return true;
  case ANYLETTER:
    return utf8::isLetter(codePoint);
  case NOTLETTER:
    return !utf8::isLetter(codePoint);
  default:
    return false;
  }
}

} // namespace

std::size_t RegexText::takeSet(const RegexSet &set, std::size_t pos) const {
  const unsigned char b = s_[pos];
  if (b == 0)
    return 0;
  bool member;
  std::size_t length = 1;
  if (b < 0x80) {
    member = set.ascii[ci_].test(b);
  } else if (set.escapes[ci_].test(b)) {
    member = true;
  } else if (std::size_t n = sequenceAt(pos)) {
    const char32_t cp = utf8::decode(view().substr(pos, n));
    member = utf8::inRanges(set.characters[ci_], cp);
    for (int k = 0; !member && set.classes >> k; ++k)
      member = ((set.classes >> k) & 1) && classTakes(static_cast<std::uint8_t>(ANYDIGIT + k), cp);
    length = n;
  } else {
    if (inside(pos))
      return 0;
    member = set.lone[ci_].test(b);
  }
  return member != set.negated ? length : 0;
}

std::size_t RegexText::takeClass(std::uint8_t op, std::size_t pos) const {
  const unsigned char b = s_[pos];
  const ByteSet &bytes = p_->classes[op - ANYDIGIT];
  if (b < 0x80)
    return bytes.test(b);
  if (std::size_t n = sequenceAt(pos))
    return classTakes(op, utf8::decode(view().substr(pos, n))) ? n : 0;
  return !inside(pos) && bytes.test(b);
}

std::size_t RegexText::takeLiteral(std::size_t node, std::size_t pos) const {
  constexpr std::size_t none = std::string_view::npos;
  const RegexProgram &p = *p_;
  const RegexNodeInfo &info = p.nodes[node];
  const std::size_t length = info.operandLength;
  const std::uint8_t *operand = p.bytes.data() + p.operand(node);
  if (!byCharacters(info)) {
    if (pos > end_ || end_ - pos < length)
      return none;
    if (!ci_) {
      if (s_[pos] != operand[0] || std::memcmp(s_ + pos, operand, length) != 0)
        return none;
    } else {
      for (std::size_t i = 0; i < length; ++i)
        if (p.upper[s_[pos + i]] != p.upper[operand[i]])
          return none;
    }
    if (info.literal & RegexNodeInfo::escaped)
      return length;
    if ((info.literal & RegexNodeInfo::startsWithContinuation) && inside(pos))
      return none;
    if ((info.literal & RegexNodeInfo::endsIncomplete) && inside(pos + length))
      return none;
    return length;
  }
  // Character by character: a letter may stand in its other form, and
  // ignoring case fold to one of another length.
  std::size_t q = pos;
  for (std::size_t i = 0; i < length;) {
    // ASCII against ASCII: the byte decides (ignoring case the upper-case
    // table), as for 8-bit text.
    if (operand[i] < 0x80 && q < end_ && s_[q] < 0x80) {
      if (ci_ ? p.upper[s_[q]] != p.upper[operand[i]] : s_[q] != operand[i])
        return none;
      ++q;
      ++i;
      continue;
    }
    const std::size_t taken = takeLiteralCharacter(node, i, q);
    if (taken == 0)
      return none;
    q += taken;
    i +=
        utf8::characterAt(std::string_view(reinterpret_cast<const char *>(operand) + i, length - i))
            .length;
  }
  return q - pos;
}

std::size_t RegexText::takeLiteralCharacter(std::size_t node, std::size_t index,
                                            std::size_t pos) const {
  if (pos >= end_ || s_[pos] == 0)
    return 0;
  const RegexProgram &p = *p_;
  const std::string_view literal(reinterpret_cast<const char *>(&p.bytes[p.operand(node)]),
                                 p.nodes[node].operandLength);
  const auto wantByte = static_cast<unsigned char>(literal[index]);
  if (wantByte < 0x80 && s_[pos] < 0x80)
    return ci_ ? p.upper[s_[pos]] == p.upper[wantByte] : s_[pos] == wantByte;
  const utf8::Character want = utf8::characterAt(literal.substr(index));
  const utf8::Character have = utf8::characterAt(view().substr(pos));
  if (!have.sequence && s_[pos] >= 0x80 && inside(pos))
    return 0;
  return utf8::sameCharacter(have, want, *p.codePage, ci_) ? have.length : 0;
}

std::size_t RegexText::stepBefore(std::size_t node, std::size_t start, std::size_t pos) const {
  if ((s_[pos - 1] & 0xC0) != 0x80)
    return 1;
  const std::size_t n = pos - utf8::lastCharacterStart(view().substr(0, pos));
  if (n == 1 || pos - start < n)
    return 1;
  // The run took the character whole, unless its first byte was taken alone
  // as a byte given by an escape.
  const std::uint8_t op = p_->op(node);
  if (op == EXACTLY && (p_->nodes[node].literal & RegexNodeInfo::escaped))
    return 1;
  if ((op == ANYOF || op == ANYBUT) &&
      p_->sets[p_->nodes[node].setIndex].escapes[ci_].test(s_[pos - n]))
    return 1;
  return n;
}

bool RegexText::wordAt(std::size_t pos) const {
  if (pos >= end_)
    return false;
  const unsigned char b = s_[pos];
  if (b >= 0x80) {
    if (std::size_t n = sequenceAt(pos)) {
      const char32_t cp = utf8::decode(view().substr(pos, n));
      return utf8::isLetter(cp) || utf8::isDigit(cp);
    }
  }
  return p_->codePage->isWordChar(b);
}

bool RegexText::wordBefore(std::size_t pos) const {
  if (pos == 0 || pos > end_)
    return false;
  // A byte below 128 is a character of its own.
  if (s_[pos - 1] < 0x80)
    return p_->codePage->isWordChar(s_[pos - 1]);
  const std::size_t n = pos - utf8::lastCharacterStart(view().substr(0, pos));
  if (n > 1) {
    const char32_t cp = utf8::decode(view().substr(pos - n, n));
    return utf8::isLetter(cp) || utf8::isDigit(cp);
  }
  return p_->codePage->isWordChar(s_[pos - 1]);
}

namespace {

// The literal flags of a typed literal of `length` bytes at `operand`.
std::uint8_t literalFlags(const std::uint8_t *operand, std::size_t length,
                          const CodePage &codePage) {
  using Info = RegexNodeInfo;
  const std::string_view bytes(reinterpret_cast<const char *>(operand), length);
  std::uint8_t flags = 0;
  for (unsigned char c : bytes)
    if (utf8::isFoldSensitive(c))
      flags |= Info::foldsByCharacter;
  for (std::size_t i = 0; i < length && (flags & Info::foldsByCharacter);) {
    const utf8::Character c = utf8::characterAt(bytes.substr(i));
    if (utf8::hasOtherForm(c, codePage)) {
      flags |= Info::otherForms;
      break;
    }
    i += c.length;
  }
  if ((operand[0] & 0xC0) == 0x80)
    flags |= Info::startsWithContinuation;
  if (utf8::incompleteTail(bytes) > 0)
    flags |= Info::endsIncomplete;
  const utf8::Character first = utf8::characterAt(bytes);
  if (first.length == length)
    flags |= Info::oneCharacter;
  if (!first.sequence && (operand[0] >= 0x80 || !utf8::isFoldSensitive(operand[0])))
    flags |= Info::firstFoldsByByte;
  return flags;
}

RegexSet makeSet(const RegexSetMembers &m, bool negated, const RegexProgram &p) {
  const std::array<unsigned char, 256> &upper = p.upper;
  const CodePage &codePage = *p.codePage;
  RegexSet set;
  set.negated = negated;
  set.classes = m.classes;
  set.ascii[0] = m.ascii;
  set.escapes[0] = m.escapes;
  set.lone[0] = m.lone;
  // A class takes the bytes below 128 and the code page's bytes it takes
  // outside a set; the characters beyond ASCII it takes are asked of it.
  for (int k = 0; k < 6; ++k) {
    if (!((m.classes >> k) & 1))
      continue;
    for (int b = 1; b < 256; ++b)
      if (p.classes[k].test(static_cast<unsigned char>(b)))
        (b < 0x80 ? set.ascii[0] : set.lone[0]).set(static_cast<unsigned char>(b));
  }
  // A letter typed in either form takes the other one too: a character
  // beyond ASCII the code page's byte of it, a byte typed as it is its
  // character in UTF-8.
  set.characters[0] = m.characters;
  for (int b = 0x80; b < 256; ++b)
    if (m.lone.test(static_cast<unsigned char>(b)))
      set.characters[0].emplace_back(codePage.toUnicode(static_cast<unsigned char>(b)),
                                     codePage.toUnicode(static_cast<unsigned char>(b)));
  utf8::mergeRanges(set.characters[0]);
  auto addCodePageForms = [&](int mode) {
    for (int b = 0x80; b < 256; ++b)
      if (!set.escapes[mode].test(static_cast<unsigned char>(b)) &&
          utf8::inRanges(set.characters[mode], codePage.toUnicode(static_cast<unsigned char>(b))))
        set.lone[mode].set(static_cast<unsigned char>(b));
  };
  addCodePageForms(0);
  // Ignoring case a byte is a member by the upper-case table of the code
  // page, as every byte is; a character by Unicode's case folding, which
  // also ties some characters beyond ASCII to ASCII letters (the Kelvin
  // sign to k).
  ByteSet upperOfAll, upperOfEscapes;
  for (int b = 1; b < 256; ++b) {
    auto c = static_cast<unsigned char>(b);
    if (set.ascii[0].test(c) || set.escapes[0].test(c) || set.lone[0].test(c))
      upperOfAll.set(upper[c]);
    if (m.escapes.test(c))
      upperOfEscapes.set(upper[c]);
  }
  for (int b = 1; b < 256; ++b) {
    auto c = static_cast<unsigned char>(b);
    if (!upperOfAll.test(upper[c]))
      continue;
    if (b < 0x80)
      set.ascii[1].set(c);
    else if (upperOfEscapes.test(upper[c]))
      set.escapes[1].set(c);
    else
      set.lone[1].set(c);
  }
  utf8::CodePointRanges closed = set.characters[0];
  for (int b = 'A'; b <= 'z'; ++b)
    if (set.ascii[0].test(static_cast<unsigned char>(b)) &&
        utf8::isFoldSensitive(static_cast<unsigned char>(b)))
      closed.emplace_back(b, b);
  if (!closed.empty())
    utf8::closeOverCase(closed);
  for (int b = 1; b < 0x80; ++b)
    if (utf8::inRanges(closed, static_cast<char32_t>(b)))
      set.ascii[1].set(static_cast<unsigned char>(b));
  set.characters[1] = std::move(closed);
  addCodePageForms(1);

  // The classes that take characters beyond ASCII.
  constexpr unsigned beyondAscii = 1u << (ANYLETTER - ANYDIGIT) | 1u << (NOTLETTER - ANYDIGIT) |
                                   1u << (NOTDIGIT - ANYDIGIT) | 1u << (NOTSPACE - ANYDIGIT);
  const bool classesBeyondAscii = (m.classes & beyondAscii) != 0;
  bool noHigh = true;
  for (int mode = 0; mode < 2; ++mode) {
    const bool high = set.escapes[mode].count() > 0 || set.lone[mode].count() > 0 ||
                      !set.characters[mode].empty() || classesBeyondAscii;
    noHigh = noHigh && !high;
    set.singleByte[mode] = !negated && !high;
    ByteSet &first = set.bytes[mode];
    if (negated) {
      for (int b = 1; b < 256; ++b)
        if (b >= 0x80 || !set.ascii[mode].test(static_cast<unsigned char>(b)))
          first.set(static_cast<unsigned char>(b));
    } else {
      first = set.ascii[mode];
      first |= set.escapes[mode];
      first |= set.lone[mode];
      addLeadBytes(set.characters[mode], first);
      if (classesBeyondAscii)
        for (int b = 0xC2; b <= 0xF4; ++b)
          first.set(static_cast<unsigned char>(b));
    }
  }
  set.highDecided = noHigh;
  for (int mode = 0; mode < 2; ++mode)
    for (int b = 1; b < 0x80; ++b)
      if (set.ascii[mode].test(static_cast<unsigned char>(b)) != negated)
        set.asciiRun[mode].set(static_cast<unsigned char>(b));
  return set;
}

} // namespace

void analyseRegexProgram(RegexProgram &p) {
  const CodePage &cp = *p.codePage;
  p.upper = cp.upperMap();

  ByteSet digit, letter, space;
  for (int b = '0'; b <= '9'; ++b)
    digit.set(static_cast<unsigned char>(b));
  for (int b : {' ', '\t', '\n', '\r'})
    space.set(static_cast<unsigned char>(b));
  for (int b = 1; b < 256; ++b)
    if (cp.isLetter(static_cast<unsigned char>(b)))
      letter.set(static_cast<unsigned char>(b));
  letter.set('_');
  auto complement = [](const ByteSet &set) {
    ByteSet result;
    for (int b = 1; b < 256; ++b)
      if (!set.test(static_cast<unsigned char>(b)))
        result.set(static_cast<unsigned char>(b));
    return result;
  };
  p.classes = {digit, complement(digit), letter, complement(letter), space, complement(space)};
  // A character beyond ASCII is a letter or not by Unicode, whatever byte
  // it begins with.
  p.classStarts = p.classes;
  for (int op : {ANYLETTER, NOTLETTER, NOTDIGIT, NOTSPACE})
    for (int b = 0xC2; b <= 0xF4; ++b)
      p.classStarts[op - ANYDIGIT].set(static_cast<unsigned char>(b));
  for (std::size_t i = 0; i < p.classes.size(); ++i) {
    p.classAsciiRuns[i] = ByteSet{};
    for (int b = 1; b < 0x80; ++b)
      if (p.classes[i].test(static_cast<unsigned char>(b)))
        p.classAsciiRuns[i].set(static_cast<unsigned char>(b));
  }

  // Nodes lie one after another; only literal and set nodes carry a
  // NUL-ended operand of their own.
  p.nodes.assign(p.bytes.size(), RegexNodeInfo{});
  p.sets.clear();
  std::size_t literals = 0;
  std::size_t node = 1;
  while (node + regexNodeSize <= p.bytes.size()) {
    std::uint8_t op = p.bytes[node];
    RegexNodeInfo &info = p.nodes[node];
    info.opcode = op;
    std::size_t next = node + regexNodeSize;
    if (op == EXACTLY || op == ANYOF || op == ANYBUT) {
      const void *nul = std::memchr(p.bytes.data() + next, 0, p.bytes.size() - next);
      if (!nul) {
        info.opcode = 0xFF;
        break;
      }
      std::size_t length = static_cast<const std::uint8_t *>(nul) - (p.bytes.data() + next);
      info.operandLength = static_cast<std::uint16_t>(length);
      if (op == EXACTLY) {
        const bool escaped = literals < p.literalEscapes.size() && p.literalEscapes[literals];
        ++literals;
        if (escaped)
          info.literal = RegexNodeInfo::escaped | RegexNodeInfo::oneCharacter |
                         RegexNodeInfo::firstFoldsByByte;
        else if (length > 0)
          info.literal = literalFlags(p.bytes.data() + next, length, cp);
      } else {
        RegexSetMembers members;
        if (p.sets.size() < p.setMembers.size()) {
          members = p.setMembers[p.sets.size()];
        } else {
          for (std::size_t i = 0; i < length; ++i) {
            unsigned char c = p.bytes[next + i];
            (c < 0x80 ? members.ascii : members.lone).set(c);
          }
        }
        info.setIndex = static_cast<std::uint16_t>(p.sets.size());
        p.sets.push_back(makeSet(members, op == ANYBUT, p));
      }
      // The NUL escape's operand is that NUL and the terminating one.
      next += length + 1 + (op == EXACTLY && length == 0 && next + 1 < p.bytes.size());
    }
    node = next;
  }
  p.mustSearch = literalSearch(std::string_view(
      reinterpret_cast<const char *>(p.bytes.data() + p.mustOffset), p.hasMust ? p.mustLength : 0));
  p.mustOtherForms = p.hasMust && p.mustOffset >= regexNodeSize &&
                     (p.nodes[p.mustOffset - regexNodeSize].literal & RegexNodeInfo::otherForms);
  ShortcutFinder(p).run();
}

std::string dumpRegexProgram(const RegexProgram &p) {
  std::string out;
  std::size_t node = 1;
  while (node + regexNodeSize <= p.bytes.size()) {
    std::uint8_t op = p.op(node);
    out += std::to_string(node);
    out += ' ';
    if (const char *name = opName(op)) {
      out += name;
    } else if (isOpenOp(op)) {
      out += "OPEN ";
      out += std::to_string(op - OPEN);
    } else if (isCloseOp(op)) {
      out += "CLOSE ";
      out += std::to_string(op - CLOSE);
    } else {
      out += '?';
      out += std::to_string(op);
    }
    std::size_t next = node + regexNodeSize;
    if (op == EXACTLY || op == ANYOF || op == ANYBUT) {
      std::size_t length = p.nodes[node].operandLength;
      out += " \"";
      out += escapedForDump(p.bytes.data() + next, length);
      out += '"';
      next += length + 1 + (op == EXACTLY && length == 0);
    }
    std::size_t target = p.next(node);
    if (target != regexNone) {
      out += " -> ";
      out += std::to_string(target);
    }
    out += '\n';
    node = next;
  }
  out += "first ";
  out += p.firstChar ? quoted(&p.firstChar, 1) : std::string("none");
  out += p.anchored ? ", anchored" : "";
  out += ", must ";
  out += p.hasMust ? quoted(&p.bytes[p.mustOffset], p.mustLength) : std::string("none");
  out += '\n';
  return out;
}

} // namespace marrowen
