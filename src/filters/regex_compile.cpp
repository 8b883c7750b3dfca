#include "filters/regex.h"

#include "filters/regex_program.h"

#include "classlib/asciitext.h"
#include "classlib/exceptions.h"
#include "classlib/format.h"
#include "classlib/utf8.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

namespace marrowen {

namespace {

using namespace regex_op;

// Parse flags of a piece or atom.
constexpr int WORST = 0;
constexpr int HASWIDTH = 1; // never matches the empty string
constexpr int SIMPLE = 2;   // one byte wide, fit for STAR and PLUS
constexpr int SPSTART = 4;  // starts with an empty-matchable piece

constexpr std::size_t maxProgramSize = 65536;
// Stands for every node while the first pass only counts sizes.
constexpr std::size_t dummyNode = static_cast<std::size_t>(-1);

bool isMeta(unsigned char c) { return c != 0 && std::strchr("^$.[()|?+*\\", c) != nullptr; }
bool isMult(unsigned char c) { return c == '*' || c == '+' || c == '?'; }
std::string oneByte(unsigned char c) { return std::string(1, static_cast<char>(c)); }

[[noreturn]] void fail(int id) { throw Exception(regexMessage(id)); }
[[noreturn]] void fail(int id, std::initializer_list<FormatArg> args) {
  throw Exception(regexMessage(id, args));
}

// Where an escape stands decides which message a bad decimal escape gives.
enum class EscapePlace { Outside, SetMember, RangeEnd };

// The recursive-descent parser. It runs twice over the same text: first with
// no program only counting bytes, then emitting into a block of exactly that
// size, so both passes must take the same path.
class Compiler {
public:
  Compiler(std::string_view text, const CodePage &codePage, std::vector<std::uint8_t> *program,
           bool wordTokens)
      : text_(text), codePage_(codePage), program_(program), wordTokens_(wordTokens) {}

  // Parses the whole expression; returns the top level's flags.
  int parse() {
    regc(regexMagic);
    int flags = 0;
    reg(false, flags);
    return flags;
  }

  std::size_t size() const { return program_ ? emit_ : size_; }
  int groupCount() const { return nextGroup_ - 1; }
  // In the order the nodes lie in the program (an insertion in front of a
  // node moves it but never past another).
  std::vector<bool> &literalEscapes() { return literalEscapes_; }
  std::vector<RegexSetMembers> &setMembers() { return setMembers_; }

private:
  unsigned char peek() const { return pos_ < text_.size() ? text_[pos_] : 0; }
  unsigned char peekAt(std::size_t at) const { return at < text_.size() ? text_[at] : 0; }
  // The length of the valid multi-byte sequence the pattern holds at `at`,
  // or 0: a character typed beyond ASCII.
  std::size_t sequenceAt(std::size_t at) const {
    return at < text_.size() && peekAt(at) >= 0xC2 ? utf8::sequenceLength(text_.substr(at)) : 0;
  }

  // ---- emission ----

  void ensureRoom(std::size_t bytes) {
    if (emit_ + bytes > program_->size())
      fail(2640); // the passes disagree; cannot happen
  }

  std::size_t regnode(std::uint8_t op) {
    if (!program_) {
      size_ += regexNodeSize;
      return dummyNode;
    }
    ensureRoom(regexNodeSize);
    std::size_t node = emit_;
    (*program_)[emit_++] = op;
    (*program_)[emit_++] = 0;
    (*program_)[emit_++] = 0;
    return node;
  }

  void regc(std::uint8_t b) {
    if (!program_) {
      ++size_;
      return;
    }
    ensureRoom(1);
    (*program_)[emit_++] = b;
  }

  // Inserts a node in front of the operand at `operand`, moving it up.
  void reginsert(std::uint8_t op, std::size_t operand) {
    if (!program_) {
      size_ += regexNodeSize;
      return;
    }
    ensureRoom(regexNodeSize);
    auto &p = *program_;
    std::memmove(&p[operand + regexNodeSize], &p[operand], emit_ - operand);
    emit_ += regexNodeSize;
    p[operand] = op;
    p[operand + 1] = 0;
    p[operand + 2] = 0;
  }

  std::size_t regnext(std::size_t node) const {
    if (node == dummyNode || node == regexNone)
      return regexNone;
    const auto &p = *program_;
    std::size_t offset = (std::size_t(p[node + 1]) << 8) | p[node + 2];
    if (offset == 0)
      return regexNone;
    return p[node] == BACK ? node - offset : node + offset;
  }

  // Links the last node of the chain starting at `node` to `target`.
  void regtail(std::size_t node, std::size_t target) {
    if (node == dummyNode || node == regexNone)
      return;
    std::size_t scan = node;
    for (std::size_t next = regnext(scan); next != regexNone; next = regnext(scan))
      scan = next;
    auto &p = *program_;
    std::size_t offset = p[scan] == BACK ? scan - target : target - scan;
    p[scan + 1] = static_cast<std::uint8_t>(offset >> 8);
    p[scan + 2] = static_cast<std::uint8_t>(offset & 0xFF);
  }

  // regtail on the operand chain of a BRANCH; nothing for other nodes.
  void regoptail(std::size_t node, std::size_t target) {
    if (node == dummyNode || node == regexNone || (*program_)[node] != BRANCH)
      return;
    regtail(node + regexNodeSize, target);
  }

  // ---- parser levels ----

  // A top level or a group body: branches separated by "|".
  std::size_t reg(bool paren, int &flags) {
    flags = HASWIDTH;
    std::size_t ret = regexNone;
    int group = 0;
    if (paren) {
      if (nextGroup_ > regexMaxGroups)
        fail(2430, {"36"});
      group = nextGroup_++;
      ret = regnode(static_cast<std::uint8_t>(OPEN + group));
    }
    int branchFlags = 0;
    std::size_t branch = regbranch(branchFlags);
    if (ret != regexNone)
      regtail(ret, branch);
    else
      ret = branch;
    if (!(branchFlags & HASWIDTH))
      flags &= ~HASWIDTH;
    flags |= branchFlags & SPSTART;
    while (peek() == '|') {
      ++pos_;
      branch = regbranch(branchFlags);
      regtail(ret, branch);
      if (!(branchFlags & HASWIDTH))
        flags &= ~HASWIDTH;
      flags |= branchFlags & SPSTART;
    }
    std::size_t ender =
        regnode(paren ? static_cast<std::uint8_t>(CLOSE + group) : std::uint8_t(END));
    regtail(ret, ender);
    for (std::size_t b = ret; b != regexNone && b != dummyNode; b = regnext(b))
      regoptail(b, ender);
    if (paren) {
      if (peek() != ')')
        fail(2440);
      ++pos_;
    } else if (peek() != 0) {
      if (peek() == ')')
        fail(2450);
      fail(2460);
    }
    return ret;
  }

  // One alternative: pieces up to the end, "|" or ")".
  std::size_t regbranch(int &flags) {
    flags = WORST;
    std::size_t ret = regnode(BRANCH);
    std::size_t chain = regexNone;
    while (peek() != 0 && peek() != '|' && peek() != ')') {
      int pieceFlags = 0;
      std::size_t latest = regpiece(pieceFlags);
      flags |= pieceFlags & HASWIDTH;
      if (chain == regexNone)
        flags |= pieceFlags & SPSTART;
      else
        regtail(chain, latest);
      chain = latest;
    }
    if (chain == regexNone)
      regnode(NOTHING);
    return ret;
  }

  // An atom and its quantifier. Complex atoms are rewritten with BRANCH,
  // BACK and NOTHING: x* as (x&|), x+ as x(&|), x? as (x|).
  std::size_t regpiece(int &flags) {
    int atomFlags = 0;
    std::size_t ret = regatom(atomFlags);
    if (isWordRepeatAt(pos_))
      return regWordRepeat(ret, atomFlags, flags);
    unsigned char op = peek();
    if (!isMult(op)) {
      flags = atomFlags;
      return ret;
    }
    if (!(atomFlags & HASWIDTH) && op != '?')
      fail(2470, {oneByte(op)});
    flags = op != '+' ? (WORST | SPSTART) : (WORST | HASWIDTH);
    if (op == '*' && (atomFlags & SIMPLE)) {
      reginsert(STAR, ret);
    } else if (op == '*') {
      reginsert(BRANCH, ret);
      regoptail(ret, regnode(BACK));
      regoptail(ret, ret);
      regtail(ret, regnode(BRANCH));
      regtail(ret, regnode(NOTHING));
    } else if (op == '+' && (atomFlags & SIMPLE)) {
      reginsert(PLUS, ret);
    } else if (op == '+') {
      std::size_t next = regnode(BRANCH);
      regtail(ret, next);
      regtail(regnode(BACK), ret);
      regtail(next, regnode(BRANCH));
      regtail(ret, regnode(NOTHING));
    } else {
      reginsert(BRANCH, ret);
      regtail(ret, regnode(BRANCH));
      std::size_t next = regnode(NOTHING);
      regtail(ret, next);
      regoptail(ret, next);
    }
    ++pos_;
    if (isMult(peek()))
      fail(2480, {oneByte(peek())});
    if (isWordRepeatAt(pos_))
      fail(2480, {"@"});
    return ret;
  }

  std::size_t regatom(int &flags) {
    flags = WORST;
    unsigned char c = peek();
    switch (c) {
    case '^':
      ++pos_;
      return regnode(BOL);
    case '$':
      ++pos_;
      return regnode(EOL);
    case '.':
      ++pos_;
      flags |= HASWIDTH | SIMPLE;
      return regnode(ANY);
    case '[':
      ++pos_;
      flags |= HASWIDTH | SIMPLE;
      return regset();
    case '(': {
      ++pos_;
      int groupFlags = 0;
      std::size_t ret = reg(true, groupFlags);
      flags |= groupFlags & (HASWIDTH | SPSTART);
      return ret;
    }
    case 0:
    case '|':
    case ')':
      fail(2640);
    case '?':
    case '+':
    case '*':
      fail(2650);
    case '\\':
      if (isWordTokenAt(pos_))
        return regWordToken(flags);
      ++pos_;
      return regescape(flags);
    default:
      return regliteral(flags);
    }
  }

  // The longest run of ordinary bytes. Before a quantifier the run gives
  // up its last character (a valid multi-byte sequence is one), so the
  // quantifier applies to that character alone.
  std::size_t regliteral(int &flags) {
    std::size_t length = 0;
    std::size_t lastCharacter = 0; // where the run's last character begins
    while (pos_ + length < text_.size() && !isMeta(text_[pos_ + length])) {
      lastCharacter = length;
      length += std::max<std::size_t>(1, sequenceAt(pos_ + length));
    }
    if (length == 0)
      fail(2680);
    if (lastCharacter > 0 && (isMult(peekAt(pos_ + length)) || isWordRepeatAt(pos_ + length)))
      length = lastCharacter;
    flags |= HASWIDTH;
    if (lastCharacter == 0 || length == lastCharacter)
      flags |= SIMPLE;
    return literalNode(length, false);
  }

  // A literal node of the next `length` bytes of the pattern.
  std::size_t literalNode(std::size_t length, bool escaped) {
    literalEscapes_.push_back(escaped);
    std::size_t ret = regnode(EXACTLY);
    for (; length > 0; --length)
      regc(text_[pos_++]);
    regc(0);
    return ret;
  }

  // A backslash outside a set: a class, or one escaped byte.
  std::size_t regescape(int &flags) {
    unsigned char c = peek();
    if (c == 0)
      fail(2660);
    ++pos_;
    flags |= HASWIDTH | SIMPLE;
    switch (c) {
    case 'd':
      return regnode(ANYDIGIT);
    case 'D':
      return regnode(NOTDIGIT);
    case 'w':
      return regnode(ANYLETTER);
    case 'W':
      return regnode(NOTLETTER);
    case 's':
      return regnode(ANYSPACE);
    case 'S':
      return regnode(NOTSPACE);
    default: {
      // A backslash before a character beyond ASCII makes the character
      // literal, as before any other byte that begins no escape.
      if (std::size_t length = sequenceAt(pos_ - 1)) {
        --pos_;
        return literalNode(length, false);
      }
      unsigned char b = escapedByte(c, EscapePlace::Outside);
      literalEscapes_.push_back(true);
      std::size_t ret = regnode(EXACTLY);
      regc(b);
      regc(0);
      return ret;
    }
    }
  }

  // The byte an escape stands for; `c` (already taken) follows the backslash.
  unsigned char escapedByte(unsigned char c, EscapePlace place) {
    switch (c) {
    case 'a':
      return 7;
    case 'b':
      return 8;
    case 't':
      return 9;
    case 'n':
      return 10;
    case 'v':
      return 11;
    case 'f':
      return 12;
    case 'r':
      return 13;
    case 'e':
      return 27;
    case 'x': {
      int value = 0;
      for (int digit = 0; digit < 2; ++digit) {
        unsigned char h = peek();
        if (h == 0)
          fail(digit == 0 ? 2510 : 2520);
        if (hexValueOf(static_cast<char>(h)) < 0)
          fail(2490, {oneByte(h)});
        ++pos_;
        value = value * 16 + hexValueOf(static_cast<char>(h));
      }
      return static_cast<unsigned char>(value);
    }
    case 'c': {
      unsigned char control = peek();
      if (control == 0)
        fail(2560);
      ++pos_;
      return codePage_.toUpper(control) ^ 64;
    }
    case '0':
    case '1':
    case '2': {
      int value = c - '0';
      for (int digit = 1; digit < 3; ++digit) {
        unsigned char d = peek();
        if (d == 0)
          fail(digit == 1 ? 2530 : 2540);
        if (d < '0' || d > '9')
          fail(2500, {oneByte(d)});
        ++pos_;
        value = value * 10 + (d - '0');
      }
      if (value > 255)
        fail(2550);
      return static_cast<unsigned char>(value);
    }
    case '3':
    case '4':
    case '5':
    case '6':
    case '7':
    case '8':
    case '9':
      fail(place == EscapePlace::Outside ? 2670 : place == EscapePlace::SetMember ? 2620 : 2600);
    default:
      return c;
    }
  }

  // How a set's member was written: a byte as typed, a byte given by an
  // escape, or a character beyond ASCII typed as a valid sequence.
  enum class Written { Byte, Escape, Character };
  struct Member {
    char32_t value; // the byte, or the character's code point
    Written written;
  };

  // A set after "[": members as the operand bytes, in the order given (a
  // character as its bytes; a range of characters adds only its end's).
  std::size_t regset() {
    std::size_t ret;
    if (peek() == '^') {
      ret = regnode(ANYBUT);
      ++pos_;
    } else {
      ret = regnode(ANYOF);
    }
    RegexSetMembers members;
    Member last{0, Written::Byte}; // where the next range starts
    auto addByte = [&](int b, Written written) {
      regc(static_cast<std::uint8_t>(b));
      if (b < 0x80)
        members.ascii.set(static_cast<unsigned char>(b));
      else if (written == Written::Escape)
        members.escapes.set(static_cast<unsigned char>(b));
      else
        members.lone.set(static_cast<unsigned char>(b));
    };
    auto emitCharacter = [&](char32_t codePoint) {
      std::string bytes;
      utf8::append(bytes, codePoint);
      for (unsigned char b : bytes)
        regc(b);
    };
    auto add = [&](Member m) {
      if (m.written == Written::Character) {
        emitCharacter(m.value);
        members.characters.emplace_back(m.value, m.value);
      } else {
        addByte(static_cast<int>(m.value), m.written);
      }
      last = m;
    };
    if (peek() == ']' || peek() == '-')
      add({static_cast<unsigned char>(text_[pos_++]), Written::Byte});
    while (peek() != 0 && peek() != ']') {
      unsigned char c = peek();
      if (c == '-') {
        ++pos_;
        if (peek() == ']' || peek() == 0) {
          add({'-', Written::Byte});
        } else {
          Member end = rangeEnd();
          addRange(last, end, members, addByte);
          if (end.written == Written::Character)
            emitCharacter(end.value);
          last = {end.value + 1, end.written};
        }
      } else if (c == '\\') {
        ++pos_;
        unsigned char e = peek();
        if (e == 0)
          fail(2610);
        if (std::size_t length = sequenceAt(pos_)) {
          add(typedCharacter(length));
          continue;
        }
        ++pos_;
        // A class means in a set what it means outside one. A positive
        // one's ASCII members stand in the operand; a range after a class
        // starts at the last of those (a negated one's positive twin's).
        if (const int k = classIndex(e); k >= 0) {
          members.classes |= static_cast<std::uint8_t>(1u << k);
          const bool negated = e == 'D' || e == 'S' || e == 'W';
          for (char b : classAsciiMembers(e)) {
            const Member member{static_cast<unsigned char>(b), Written::Byte};
            if (negated)
              last = member;
            else
              add(member);
          }
        } else {
          unsigned char b = escapedByte(e, EscapePlace::SetMember);
          if (b == 0)
            fail(2570);
          add({b, Written::Escape});
        }
      } else if (std::size_t length = sequenceAt(pos_)) {
        add(typedCharacter(length));
      } else {
        ++pos_;
        add({c, Written::Byte});
      }
    }
    if (peek() != ']')
      fail(2630);
    ++pos_;
    regc(0);
    setMembers_.push_back(std::move(members));
    return ret;
  }

  // The class a letter after a backslash names, by its opcode's distance
  // from ANYDIGIT; -1 for none.
  static int classIndex(unsigned char e) {
    switch (e) {
    case 'd':
      return ANYDIGIT - ANYDIGIT;
    case 'D':
      return NOTDIGIT - ANYDIGIT;
    case 'w':
      return ANYLETTER - ANYDIGIT;
    case 'W':
      return NOTLETTER - ANYDIGIT;
    case 's':
      return ANYSPACE - ANYDIGIT;
    case 'S':
      return NOTSPACE - ANYDIGIT;
    default:
      return -1;
    }
  }

  // The ASCII members of a class, in the order a set lists them.
  static std::string_view classAsciiMembers(unsigned char e) {
    switch (e) {
    case 'd':
    case 'D':
      return "0123456789";
    case 's':
    case 'S':
      return " \t\n\r";
    default:
      return "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz_";
    }
  }

  Member typedCharacter(std::size_t length) {
    char32_t cp = utf8::decode(text_.substr(pos_, length));
    pos_ += length;
    return {cp, Written::Character};
  }

  // The member after "-" in a set, which may be escaped.
  Member rangeEnd() {
    unsigned char c = peek();
    if (std::size_t length = sequenceAt(pos_))
      return typedCharacter(length);
    ++pos_;
    if (c != '\\')
      return {c, Written::Byte};
    unsigned char e = peek();
    if (e == 0)
      fail(2580);
    if (std::size_t length = sequenceAt(pos_))
      return typedCharacter(length);
    ++pos_;
    if (e == 'd' || e == 's' || e == 'w')
      fail(2590, {oneByte(e)});
    return {escapedByte(e, EscapePlace::RangeEnd), Written::Escape};
  }

  // A range from `start` to `end`. Between two bytes it holds bytes, the
  // code page's way; with a character beyond ASCII at either end it holds
  // the characters between them by code point, the part below 128 as bytes.
  template <class AddByte>
  void addRange(Member start, Member end, RegexSetMembers &members, AddByte &addByte) {
    if (start.written != Written::Character && end.written != Written::Character) {
      Written high = start.written == Written::Escape || end.written == Written::Escape
                         ? Written::Escape
                         : Written::Byte;
      auto add = [&](int b) { addByte(b, high); };
      addRange(static_cast<int>(start.value), static_cast<int>(end.value), add);
      return;
    }
    auto codePoint = [&](Member m) -> char32_t {
      if (m.written == Written::Byte && m.value >= 0x80 && m.value <= 0xFF)
        return codePage_.toUnicode(static_cast<unsigned char>(m.value));
      return m.value;
    };
    const char32_t from = codePoint(start);
    const char32_t to = codePoint(end);
    // The start itself was added as a member; as with bytes, an ascending
    // range adds what follows it, a descending one what lies below it.
    char32_t low = to > from ? from + 1 : to;
    char32_t high = to > from ? to : from - 1;
    if (from == to || low > high)
      return;
    for (char32_t b = std::max<char32_t>(low, 1); b <= high && b < 0x80; ++b)
      members.ascii.set(static_cast<unsigned char>(b));
    if (high >= 0x80)
      members.characters.emplace_back(std::max<char32_t>(low, 0x80), high);
  }

  // Adds the bytes after `start` up to `end` (either direction), never NUL.
  // Three Windows-1251 ranges stand for the whole Cyrillic alphabet, whose
  // YO letters lie outside the block.
  template <class Add> void addRange(int start, int end, Add &add) {
    auto lowerCyrillic = [&] {
      for (int b = 0xE0; b <= 0xE5; ++b)
        add(b);
      add(0xB8);
      for (int b = 0xE6; b <= 0xFF; ++b)
        add(b);
    };
    auto upperCyrillic = [&] {
      for (int b = 0xC0; b <= 0xC5; ++b)
        add(b);
      add(0xA8);
      for (int b = 0xC6; b <= 0xDF; ++b)
        add(b);
    };
    if (start == 0xE0 && end == 0xFF) {
      lowerCyrillic();
    } else if (start == 0xC0 && end == 0xDF) {
      upperCyrillic();
    } else if (start == 0xE0 && end == 0xDF) {
      upperCyrillic();
      lowerCyrillic();
    } else if (end > start) {
      for (int b = start + 1; b <= end; ++b)
        add(b);
    } else {
      for (int b = std::min(start - 1, 255); b >= end; --b)
        if (b != 0)
          add(b);
    }
  }

  // ---- Word-style tokens (only with word tokens on) ----

  bool isWordTokenAt(std::size_t at) const {
    if (!wordTokens_ || peekAt(at) != '\\')
      return false;
    char token = static_cast<char>(peekAt(at + 1));
    return token == TRegex::WordToken::anyRun || token == TRegex::WordToken::repeat ||
           token == TRegex::WordToken::wordStart || token == TRegex::WordToken::wordEnd;
  }
  bool isWordRepeatAt(std::size_t at) const {
    return isWordTokenAt(at) && peekAt(at + 1) == TRegex::WordToken::repeat;
  }

  // A token that stands as an atom: any run (fewest bytes first), or the
  // start or end of a word.
  std::size_t regWordToken(int &flags) {
    char token = static_cast<char>(peekAt(pos_ + 1));
    if (token == TRegex::WordToken::repeat)
      fail(2650);
    pos_ += 2;
    if (token == TRegex::WordToken::anyRun) {
      flags = WORST | SPSTART;
      std::size_t ret = regnode(LAZYSTAR);
      regnode(ANY);
      return ret;
    }
    flags = WORST;
    return regnode(token == TRegex::WordToken::wordStart ? WORDSTART : WORDEND);
  }

  // The repeat token after an atom: one or more times, fewest first. A
  // complex atom x becomes x followed by a choice that first goes on and
  // only then loops back by BACK: x(|&).
  std::size_t regWordRepeat(std::size_t ret, int atomFlags, int &flags) {
    if (!(atomFlags & HASWIDTH))
      fail(2470, {"@"});
    flags = WORST | HASWIDTH;
    if (atomFlags & SIMPLE) {
      reginsert(LAZYPLUS, ret);
    } else {
      std::size_t goOn = regnode(BRANCH);
      regtail(ret, goOn);
      std::size_t done = regnode(NOTHING);
      std::size_t loop = regnode(BRANCH);
      regtail(goOn, loop);
      regtail(regnode(BACK), ret);
      std::size_t join = regnode(NOTHING);
      regtail(ret, join);
      regtail(done, join);
    }
    pos_ += 2;
    if (isMult(peek()))
      fail(2480, {oneByte(peek())});
    if (isWordRepeatAt(pos_))
      fail(2480, {"@"});
    return ret;
  }

  std::string_view text_;
  const CodePage &codePage_;
  std::vector<std::uint8_t> *program_; // null while sizing
  bool wordTokens_;
  std::vector<bool> literalEscapes_;
  std::vector<RegexSetMembers> setMembers_;
  std::size_t pos_ = 0;
  std::size_t emit_ = 0;
  std::size_t size_ = 0;
  int nextGroup_ = 1;
};

std::size_t operandLength(const RegexProgram &p, std::size_t node) {
  const std::uint8_t *start = p.bytes.data() + p.operand(node);
  return std::strlen(reinterpret_cast<const char *>(start));
}

} // namespace

std::unique_ptr<RegexProgram> compileRegexProgram(const std::string &expression,
                                                  std::shared_ptr<const CodePage> codePage,
                                                  bool wordTokens) {
  std::string_view text(expression);
  text = text.substr(0, text.find('\0'));
  if (text.empty())
    fail(2400);

  Compiler sizing(text, *codePage, nullptr, wordTokens);
  sizing.parse();
  if (sizing.size() >= maxProgramSize)
    fail(2410, {sizing.size(), maxProgramSize});

  auto program = std::make_unique<RegexProgram>();
  program->bytes.assign(sizing.size(), 0);
  Compiler emitting(text, *codePage, &program->bytes, wordTokens);
  int flags = emitting.parse();
  if (emitting.size() != program->bytes.size())
    fail(2640);
  program->groupCount = emitting.groupCount();
  program->codePage = std::move(codePage);
  program->literalEscapes = std::move(emitting.literalEscapes());
  program->setMembers = std::move(emitting.setMembers());

  // The search data: a first byte, the anchored flag, and the literal
  // every match must contain when the pattern may start with a repeat.
  RegexProgram &p = *program;
  std::size_t scan = 1;
  std::size_t firstLiteral = regexNone;
  if (p.op(p.next(scan)) == END) {
    scan = p.operand(scan);
    if (p.op(scan) == EXACTLY) {
      p.firstChar = p.bytes[p.operand(scan)];
      firstLiteral = scan;
    } else if (p.op(scan) == BOL) {
      p.anchored = true;
    }
    if (flags & SPSTART) {
      std::size_t longest = 0;
      std::size_t length = 0;
      for (std::size_t steps = 0; scan != regexNone && steps < p.bytes.size();
           scan = p.next(scan), ++steps) {
        if (p.op(scan) == EXACTLY && operandLength(p, scan) >= length) {
          longest = p.operand(scan);
          length = operandLength(p, scan);
        }
      }
      // An empty literal (the NUL escape) rejects nothing a match could use.
      if (length > 0) {
        p.hasMust = true;
        p.mustOffset = longest;
        p.mustLength = length;
      }
    }
  }
  analyseRegexProgram(p);
  if (firstLiteral != regexNone) {
    p.firstCharFoldsByByte = p.nodes[firstLiteral].literal & RegexNodeInfo::firstFoldsByByte;
    // A first letter that may stand in either form is no one byte.
    if (p.firstChar >= 0x80 && (p.nodes[firstLiteral].literal & RegexNodeInfo::otherForms))
      p.firstChar = 0;
  }
  return program;
}

} // namespace marrowen
