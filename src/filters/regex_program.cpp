#include "filters/regex_program.h"

#include "classlib/exceptions.h"
#include "engine/messages.h"

#include <cstring>
#include <optional>

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
    }
    findLiterals();
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

  // The bytes a simple node accepts, in one case mode.
  std::optional<ByteSet> simpleSet(std::size_t node, int mode) const {
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
      unsigned char c = p_.bytes[p_.operand(node)];
      if (c == 0 || mode == 0) {
        set.set(c);
      } else {
        for (int b = 0; b < 256; ++b)
          if (p_.upper[b] == p_.upper[c])
            set.set(static_cast<unsigned char>(b));
      }
      return set;
    }
    case ANYOF:
    case ANYBUT:
      return p_.sets[p_.nodes[node].setIndex][mode];
    default:
      if (op >= ANYDIGIT && op <= NOTSPACE)
        return p_.classes[op - ANYDIGIT];
      return std::nullopt;
    }
  }

  // Every byte a match can begin with; false when a match can begin with
  // anything (or be empty). A match always starts before the subject's
  // end, so a node that needs the end needs a NUL there.
  bool firstSet(int mode, ByteSet &set) const {
    std::vector<char> visited(p_.bytes.size(), 0);
    std::vector<std::size_t> work{1};
    while (!work.empty()) {
      std::size_t node = work.back();
      work.pop_back();
      if (!valid(node))
        return false;
      if (visited[node])
        continue;
      visited[node] = 1;
      std::uint8_t op = p_.op(node);
      if (op == EOL || (op == EXACTLY && p_.nodes[node].operandLength == 0)) {
        set.set(0);
      } else if (op == BOL || op == NOTHING || isGroupOp(op)) {
        work.push_back(p_.next(node));
      } else if (op == STAR || op == PLUS) {
        auto operandSet = simpleSet(p_.operand(node), mode);
        if (!operandSet)
          return false;
        set |= *operandSet;
        if (op == STAR)
          work.push_back(p_.next(node));
      } else if (op == BRANCH) {
        if (!hasChoice(node)) {
          work.push_back(p_.operand(node));
        } else {
          std::size_t steps = 0;
          for (std::size_t b = node; valid(b) && p_.op(b) == BRANCH && ++steps < 65536;
               b = p_.next(b))
            work.push_back(p_.operand(b));
        }
      } else if (auto s = simpleSet(node, mode)) {
        set |= *s;
      } else {
        return false; // END, BACK or anything unforeseen
      }
    }
    return true;
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
        total += p_.nodes[node].operandLength;
        node = p_.next(node);
      } else if (isOneByte(op)) {
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
        if (run.bytes.empty()) {
          run.fixedDistance = distanceKnown;
          run.distance = distance;
        }
        std::size_t length = p_.nodes[node].operandLength;
        run.bytes.append(reinterpret_cast<const char *>(&p_.bytes[p_.operand(node)]), length);
        distance += length;
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
        distance += 1;
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
    for (int mode = 0; mode < 2; ++mode) {
      auto members = simpleSet(p_.operand(p_.leadingRepeat), mode);
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

bool simpleNodeAccepts(const RegexProgram &program, std::size_t node, unsigned char c,
                       bool ignoreCase) {
  const std::uint8_t op = program.op(node);
  switch (op) {
  case ANY:
    return c != 0;
  case EXACTLY: {
    const unsigned char want = program.bytes[program.operand(node)];
    return want != 0 && (ignoreCase ? program.upper[c] == program.upper[want] : c == want);
  }
  case ANYOF:
  case ANYBUT:
    if (program.nodes[node].opcode != op)
      regexCorruption();
    return program.sets[program.nodes[node].setIndex][ignoreCase].test(c);
  default:
    if (op < ANYDIGIT || op > NOTSPACE)
      throw Exception(regexMessage(2690));
    return program.classes[op - ANYDIGIT].test(c);
  }
}

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

  // Nodes lie one after another; only literal and set nodes carry a
  // NUL-ended operand of their own.
  p.nodes.assign(p.bytes.size(), RegexNodeInfo{});
  p.sets.clear();
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
      if (op != EXACTLY) {
        ByteSet members, upperMembers;
        for (std::size_t i = 0; i < length; ++i) {
          members.set(p.bytes[next + i]);
          upperMembers.set(p.upper[p.bytes[next + i]]);
        }
        std::array<ByteSet, 2> tables;
        for (int b = 1; b < 256; ++b) {
          auto c = static_cast<unsigned char>(b);
          bool inSet = members.test(c);
          bool inUpper = upperMembers.test(p.upper[c]);
          if (inSet == (op == ANYOF))
            tables[0].set(c);
          if (inUpper == (op == ANYOF))
            tables[1].set(c);
        }
        info.setIndex = static_cast<std::uint16_t>(p.sets.size());
        p.sets.push_back(tables);
      }
      // The NUL escape's operand is that NUL and the terminating one.
      next += length + 1 + (op == EXACTLY && length == 0 && next + 1 < p.bytes.size());
    }
    node = next;
  }
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
