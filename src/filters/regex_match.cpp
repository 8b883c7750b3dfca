#include "filters/regex.h"
#include "filters/regex_program.h"

#include "classlib/exceptions.h"
#include "classlib/format.h"
#include "classlib/utf8.h"

#include "engine/job.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string.h> // memmem, memrchr

namespace marrowen {

using namespace regex_op;

namespace {

constexpr std::size_t notFound = static_cast<std::size_t>(-1);
// Above this many frames the backtracking stack is given back after a search.
constexpr std::size_t keptFrames = 1 << 16;

[[noreturn]] void stackOverflow() { throw Exception("Stack overflow"); }

// Steps between two looks at the job's abort request: a fraction of a
// millisecond of matching.
constexpr std::size_t abortPollSteps = 1 << 15;
constexpr std::size_t never = static_cast<std::size_t>(-1);

// Thrown when a search proves costly: the linear matcher takes over at the
// attempt that was running, every earlier one having failed.
struct HandOver {
  std::size_t attemptStart;
};

} // namespace

// The backtracking matcher. It walks the node program as a recursive matcher
// would, but keeps what the recursion would hold on the stack (group marks,
// alternatives and repeat counts still to try) in a vector of its own, so
// deep patterns neither need a large thread stack nor crash.
//
// Group positions are only written once a whole attempt succeeds, innermost
// frame first, which is the order a recursive matcher sets them on its way
// back; so a group inside a loop reports its last iteration.
//
// A search that grows costly (more steps than its budget, or more than
// TRegex::maxMatchDepth frames) throws HandOver for the linear matcher to
// finish; with no budget it goes on, and past the depth gives up with
// "Stack overflow". Long scans over the subject count as steps too, so the
// budget bounds the time spent, not only the nodes walked.
class RegexMatcher {
public:
  enum Kind : std::uint8_t { OpenMark, CloseMark, BranchChoice, RepeatChoice, LazyChoice };
  struct Frame {
    std::uint32_t pos;
    std::uint32_t count;
    std::uint16_t node;
    std::uint8_t kind;
    std::uint8_t group;
  };

  explicit RegexMatcher(TRegex &owner) : owner_(owner) {}

  // `boundary` is where `^` matches (notFound: nowhere); without
  // `endIsFinal` the text goes on after the subject's end.
  void start(const RegexProgram &program, const char *subject, std::size_t length,
             std::size_t boundary, bool ignoreCase, std::size_t stepLimit, bool endIsFinal = true) {
    nextPoll_ = abortPollSteps;
    p_ = &program;
    s_ = reinterpret_cast<const unsigned char *>(subject);
    end_ = length;
    bol_ = boundary;
    endIsFinal_ = endIsFinal;
    ci_ = ignoreCase;
    upper_ = program.upper.data();
    text_ = RegexText(s_, end_, program, ignoreCase);
    steps_ = 0;
    stepLimit_ = stepLimit;
  }

  const RegexText &text() const { return text_; }

  // The steps after which the search hands over (never: it does not).
  void setHandOver(std::size_t steps) { handOverAt_ = steps; }

  void finish() {
    if (stack_.capacity() > keptFrames)
      std::vector<Frame>().swap(stack_);
    else
      stack_.clear();
  }

  // One attempt at 0-based `position`.
  bool MatchAt(std::size_t position) {
    leadRunKnown_ = false;
    leadRun_ = 0;
    attemptStart_ = position;
    nextCheck_ = std::min({handOverAt_, nextPoll_, stepLimit_ ? stepLimit_ : never});
    std::size_t pos = position;
    if (!MatchPrim(1, pos))
      return false;
    owner_.clearMatches();
    int slots = 1;
    for (std::size_t i = stack_.size(); i-- > 0;) {
      const Frame &f = stack_[i];
      if (f.kind == OpenMark && owner_.startp_[f.group] < 0)
        owner_.startp_[f.group] = static_cast<int>(f.pos);
      else if (f.kind == CloseMark && owner_.endp_[f.group] < 0)
        owner_.endp_[f.group] = static_cast<int>(f.pos);
      else
        continue;
      slots = std::max(slots, f.group + 1);
    }
    owner_.startp_[0] = static_cast<int>(position);
    owner_.endp_[0] = static_cast<int>(pos);
    owner_.setSlots_ = slots;
    return true;
  }

  // How far past a failed attempt's start the leading repeat ran (0 when
  // the attempt did not reach it).
  std::size_t leadingRun() const { return leadRunKnown_ ? leadRun_ : 0; }

  std::size_t findLiteral(std::string_view literal, std::size_t from, std::size_t to) const {
    std::size_t length = literal.size();
    if (to > end_)
      to = end_;
    if (from > to || to - from < length)
      return notFound;
    const auto *lit = reinterpret_cast<const unsigned char *>(literal.data());
    if (!ci_) {
      // Short stretches are searched fastest by the first byte; after many
      // false hits the remainder goes to memmem.
      const unsigned char *q = s_ + from;
      const unsigned char *stop = s_ + to - length + 1;
      for (int misses = 0; q < stop; ++q, ++misses) {
        if (misses == 16) {
          const void *hit = memmem(q, s_ + to - q, lit, length);
          return hit ? static_cast<const unsigned char *>(hit) - s_ : notFound;
        }
        q = static_cast<const unsigned char *>(std::memchr(q, lit[0], stop - q));
        if (!q)
          return notFound;
        if (std::memcmp(q + 1, lit + 1, length - 1) == 0)
          return q - s_;
      }
      return notFound;
    }
    unsigned char first = upper_[lit[0]];
    for (std::size_t q = from; q + length <= to; ++q) {
      if (upper_[s_[q]] != first)
        continue;
      std::size_t i = 1;
      while (i < length && upper_[s_[q + i]] == upper_[lit[i]])
        ++i;
      if (i == length)
        return q;
    }
    return notFound;
  }

  // Whether a byte of 128 or more lies at or after `from`.
  [[gnu::noinline]] bool holdsHighByte(std::size_t from) const {
    constexpr std::uint64_t high = ~std::uint64_t(0) / 255 * 0x80;
    const unsigned char *q = s_ + std::min(from, end_);
    const unsigned char *stop = s_ + end_;
    for (; stop - q >= 8; q += 8) {
      std::uint64_t x;
      std::memcpy(&x, q, 8);
      if (x & high)
        return true;
    }
    for (; q < stop; ++q)
      if (*q >= 0x80)
        return true;
    return false;
  }

  // The first position in [from, to) whose byte is in the scan's set.
  std::size_t findInSet(const ByteScan &scan, std::size_t from, std::size_t to) const {
    const unsigned char *hit = scan.find(s_ + from, s_ + to);
    return hit == s_ + to ? notFound : hit - s_;
  }

  // The start of the run of `members` that ends at `end`, not before `floor`.
  // A character beyond ASCII belongs to the run when the simple node at
  // `node` takes it whole.
  std::size_t runStart(std::size_t node, const ByteScan &members, std::size_t floor,
                       std::size_t end) const {
    const std::string_view text(reinterpret_cast<const char *>(s_), end_);
    while (end > floor) {
      const unsigned char b = s_[end - 1];
      if (!members.table[b])
        break;
      if (b < 0x80) {
        --end;
        continue;
      }
      const std::size_t n = end - utf8::lastCharacterStart(text.substr(0, end));
      if (end - floor < n || text_.takeOne(node, end - n) != n)
        break;
      end -= n;
    }
    return end;
  }

  // The next position from `from` whose byte folds to `c`, before `to`.
  std::size_t findByte(unsigned char c, std::size_t from, std::size_t to) const {
    if (!ci_) {
      const void *hit = std::memchr(s_ + from, c, to - from);
      return hit ? static_cast<const unsigned char *>(hit) - s_ : notFound;
    }
    for (std::size_t q = from; q < to; ++q)
      if (upper_[s_[q]] == upper_[c])
        return q;
    return notFound;
  }

private:
  unsigned char byteAt(std::size_t pos) const { return pos < end_ ? s_[pos] : 0; }
  bool validNode(std::size_t node) const {
    return node != regexNone && node < p_->bytes.size() && p_->bytes.size() - node >= regexNodeSize;
  }

  void push(Kind kind, std::size_t node, std::size_t pos, std::size_t count, int group) {
    if (stack_.size() >= TRegex::maxMatchDepth) {
      if (handOverAt_ != never)
        throw HandOver{attemptStart_};
      stackOverflow();
    }
    stack_.push_back(Frame{static_cast<std::uint32_t>(pos), static_cast<std::uint32_t>(count),
                           static_cast<std::uint16_t>(node), kind,
                           static_cast<std::uint8_t>(group)});
  }

  // The look-ahead byte of a repeat: the first byte of a literal after it.
  // Only a byte that begins a character of the run (never a continuation
  // byte) and that the literal's match must hold there (ignoring case: one
  // the table folds, ASCII) can rule counts out.
  int lookAhead(std::size_t repeat) const {
    std::size_t next = p_->next(repeat);
    if (!validNode(next) || p_->op(next) != EXACTLY || next + regexNodeSize >= p_->bytes.size())
      return -1;
    const unsigned char la = p_->bytes[next + regexNodeSize];
    if ((la & 0xC0) == 0x80)
      return -1;
    // A letter beyond ASCII may stand in its other form there.
    if (la >= 0x80 && (p_->nodes[next].literal & RegexNodeInfo::otherForms))
      return -1;
    if (ci_ && la != 0 &&
        (la >= 0x80 || !(p_->nodes[next].literal & RegexNodeInfo::firstFoldsByByte)))
      return -1;
    return la;
  }

  // The largest count k, min <= k <= n, after which the look-ahead byte
  // fits; false when there is none.
  bool fittingCount(std::size_t save, std::size_t n, std::size_t min, int la,
                    std::size_t &k) const {
    if (n < min)
      return false;
    if (la < 0) {
      k = n;
      return true;
    }
    if (!ci_ && la != 0) {
      std::size_t lo = save + min;
      std::size_t hi = std::min(save + n, end_ == 0 ? 0 : end_ - 1);
      if (end_ == 0 || hi < lo)
        return false;
      const void *hit = memrchr(s_ + lo, la, hi - lo + 1);
      if (!hit)
        return false;
      k = static_cast<const unsigned char *>(hit) - s_ - save;
      return true;
    }
    unsigned char want = ci_ ? upper_[la] : static_cast<unsigned char>(la);
    for (std::size_t c = n + 1; c-- > min;) {
      unsigned char b = byteAt(save + c);
      if ((ci_ ? upper_[b] : b) == want && (b & 0xC0) != 0x80) {
        k = c;
        return true;
      }
    }
    return false;
  }

  // The length of the longest run from `pos` that the simple node matches:
  // whole characters, bytes given by escapes one at a time.
  std::size_t regRepeat(std::size_t node, std::size_t pos) const {
    if (!validNode(node))
      regexCorruptedPointers();
    std::uint8_t op = p_->op(node);
    const unsigned char *from = s_ + pos;
    const unsigned char *stop = s_ + end_;
    const unsigned char *q = from;
    const ByteSet *table = nullptr;
    switch (op) {
    case ANY: {
      if (pos < end_ && text_.inside(pos))
        return 0;
      const void *nul = std::memchr(from, 0, end_ - pos);
      return nul ? static_cast<const unsigned char *>(nul) - from : end_ - pos;
    }
    case EXACTLY: {
      const RegexNodeInfo &info = p_->nodes[node];
      if (info.opcode != EXACTLY)
        regexCorruption();
      unsigned char c = p_->bytes[node + regexNodeSize];
      if (c == 0)
        return 0;
      if (info.operandLength == 1 &&
          ((info.literal & RegexNodeInfo::escaped) ||
           (c < 0x80 && !(ci_ && (info.literal & RegexNodeInfo::foldsByCharacter))))) {
        if (!ci_) {
          while (q < stop && *q == c)
            ++q;
        } else {
          unsigned char u = upper_[c];
          while (q < stop && upper_[*q] == u)
            ++q;
        }
        return q - from;
      }
      std::size_t run = 0;
      while (std::size_t n = text_.takeOne(node, pos + run))
        run += n;
      return run;
    }
    case ANYOF:
    case ANYBUT: {
      if (p_->nodes[node].opcode != op)
        regexCorruption();
      table = &p_->sets[p_->nodes[node].setIndex].asciiRun[ci_];
      break;
    }
    default:
      if (op < ANYDIGIT || op > NOTSPACE)
        throw Exception(regexMessage(2690));
      table = &p_->classAsciiRuns[op - ANYDIGIT];
      break;
    }
    // ASCII by the table alone, in one tight loop as for 8-bit text (the
    // table holds no byte of 128 or more); the run goes on apart where it
    // meets such a byte.
    while (q < stop && table->test(*q))
      ++q;
    if (q < stop && *q >= 0x80) [[unlikely]]
      return runBeyondAscii(node, *table, pos, static_cast<std::size_t>(q - s_));
    return q - from;
  }

  // The rest of a run of the set or class at `node` that began at `pos` and
  // reached a byte of 128 or more at `at`: characters by the node, ASCII by
  // `ascii`. Kept out of line, so the ASCII loop above stays as tight as it
  // was for 8-bit text.
  [[gnu::noinline]] std::size_t runBeyondAscii(std::size_t node, const ByteSet &ascii,
                                               std::size_t pos, std::size_t at) const {
    while (at < end_) {
      const unsigned char b = s_[at];
      if (b < 0x80) {
        if (!ascii.test(b))
          break;
        ++at;
        continue;
      }
      const std::size_t n = text_.takeOne(node, at);
      if (n == 0)
        break;
      at += n;
    }
    return at - pos;
  }

  bool MatchPrim(std::size_t node, std::size_t &pos) {
    stack_.clear();
    const std::uint8_t *prog = p_->bytes.data();
    std::size_t scan = node;
    for (;;) {
      if (!validNode(scan))
        regexCorruptedPointers();
      if (++steps_ > nextCheck_)
        checkpoint();
      std::uint8_t op = prog[scan];
      std::size_t next = p_->next(scan);
      bool ok = true;
      switch (op) {
      case END:
        return true;
      case BOL:
        ok = pos == bol_;
        break;
      case EOL:
        ok = atTextEnd(pos);
        break;
      case ANY:
      case ANYOF:
      case ANYBUT:
      case ANYDIGIT:
      case NOTDIGIT:
      case ANYLETTER:
      case NOTLETTER:
      case ANYSPACE:
      case NOTSPACE: {
        // A byte below 128 by the tables at once; others by characters.
        const unsigned char b = byteAt(pos);
        if (b != 0 && b < 0x80) {
          if (op == ANY) {
            ok = true;
          } else if (op == ANYOF || op == ANYBUT) {
            const RegexNodeInfo &info = p_->nodes[scan];
            if (info.opcode != op)
              regexCorruption();
            ok = p_->sets[info.setIndex].asciiRun[ci_].test(b);
          } else {
            ok = p_->classAsciiRuns[op - ANYDIGIT].test(b);
          }
          pos += ok;
          break;
        }
        std::size_t n = text_.takeOne(scan, pos);
        ok = n > 0;
        pos += n;
        break;
      }
      case EXACTLY: {
        const RegexNodeInfo &info = p_->nodes[scan];
        if (info.opcode != EXACTLY)
          regexCorruption();
        if (info.operandLength == 0) {
          ok = atTextEnd(pos);
        } else if ((info.literal & RegexNodeInfo::escaped) ||
                   (!(info.literal &
                      (RegexNodeInfo::startsWithContinuation | RegexNodeInfo::endsIncomplete)) &&
                    !literalByCharacters(info, ci_))) {
          // Byte for byte, through the upper-case table when ignoring case.
          const std::uint8_t *operand = prog + scan + regexNodeSize;
          const std::size_t length = info.operandLength;
          ok = end_ - pos >= length;
          if (ok && !ci_)
            ok = s_[pos] == operand[0] && std::memcmp(s_ + pos, operand, length) == 0;
          for (std::size_t i = 0; ci_ && ok && i < length; ++i)
            ok = upper_[s_[pos + i]] == upper_[operand[i]];
          if (ok)
            pos += length;
        } else {
          std::size_t n = text_.takeLiteral(scan, pos);
          ok = n != std::string_view::npos;
          if (ok)
            pos += n;
        }
        break;
      }
      case NOTHING:
      case BACK:
        break;
      case BRANCH:
        // Without a second alternative there is no choice to remember.
        if (validNode(next) && prog[next] == BRANCH)
          push(BranchChoice, scan, pos, 0, 0);
        next = scan + regexNodeSize;
        break;
      case STAR:
      case PLUS: {
        std::size_t min = op == PLUS ? 1 : 0;
        std::size_t n = regRepeat(scan + regexNodeSize, pos);
        chargeScan(n);
        if (scan == p_->leadingRepeat && !leadRunKnown_) {
          leadRunKnown_ = true;
          leadRun_ = n;
        }
        std::size_t k = 0;
        ok = fittingCount(pos, n, min, lookAhead(scan), k);
        if (ok) {
          push(RepeatChoice, scan, pos, k, 0);
          pos += k;
        }
        break;
      }
      case WORDSTART:
      case WORDEND:
      case LAZYSTAR:
      case LAZYPLUS:
        ok = matchWordNode(op, scan, pos);
        break;
      default:
        if (isOpenOp(op))
          push(OpenMark, scan, pos, 0, op - OPEN);
        else if (isCloseOp(op))
          push(CloseMark, scan, pos, 0, op - CLOSE);
        else
          regexCorruption();
        break;
      }
      if (ok) {
        scan = next;
        continue;
      }
      if (!backtrack(scan, pos))
        return false;
    }
  }

  // Runs every so many steps: the test hook's step limit, the job's abort
  // request, and handing over once the search proves costly.
  void checkpoint() {
    if (stepLimit_ && steps_ > stepLimit_)
      stackOverflow();
    if (steps_ >= nextPoll_) {
      nextPoll_ = steps_ + abortPollSteps;
      if (currentJobAborted())
        throw EAbort();
    }
    if (steps_ >= handOverAt_)
      throw HandOver{attemptStart_};
    nextCheck_ = std::min({handOverAt_, nextPoll_, stepLimit_ ? stepLimit_ : never});
  }

  // A scan over `bytes` bytes of the subject costs a step for every 16.
  void chargeScan(std::size_t bytes) { steps_ += bytes >> 4; }

  // Resumes at the latest choice left open; false when none is left.
  bool backtrack(std::size_t &scan, std::size_t &pos) {
    while (!stack_.empty()) {
      Frame &f = stack_.back();
      if (f.kind == BranchChoice) {
        std::size_t alternative = p_->next(f.node);
        pos = f.pos;
        if (validNode(alternative) && p_->op(alternative) == BRANCH) {
          f.node = static_cast<std::uint16_t>(alternative);
          scan = alternative + regexNodeSize;
          return true;
        }
      } else if (f.kind == LazyChoice) {
        std::size_t k = 0;
        if (lazyCount(f.node, f.pos, f.count, true, k)) {
          f.count = static_cast<std::uint32_t>(k);
          pos = f.pos + k;
          scan = p_->next(f.node);
          return true;
        }
      } else if (f.kind == RepeatChoice && f.count > 0) {
        std::size_t min = p_->op(f.node) == PLUS ? 1 : 0;
        std::size_t k = 0;
        chargeScan(f.count);
        // One character fewer; with a look-ahead byte, whatever lies before
        // the next place it fits (a byte that begins a character).
        const int la = lookAhead(f.node);
        const std::size_t fewer =
            la < 0 ? f.count - text_.stepBefore(f.node + regexNodeSize, f.pos, f.pos + f.count)
                   : f.count - 1;
        if (fittingCount(f.pos, fewer, min, la, k)) {
          f.count = static_cast<std::uint32_t>(k);
          pos = f.pos + k;
          scan = p_->next(f.node);
          return true;
        }
      }
      stack_.pop_back();
    }
    return false;
  }

  // ---- Nodes of the Word-style tokens ----

  // Whether `pos` is where the text ends for `$`: at a NUL byte, or at the
  // subject's end when nothing follows it.
  bool atTextEnd(std::size_t pos) const { return pos < end_ ? s_[pos] == 0 : endIsFinal_; }

  // The smallest count k of the lazy repeat at `repeat`, starting at
  // `save`, from `count` on (one character further first when `takeOne`),
  // after which the look-ahead byte fits; false when there is none. Walks
  // forward one character at a time, so a search never pays for more of the
  // subject than the match looks at.
  bool lazyCount(std::size_t repeat, std::size_t save, std::size_t count, bool takeOne,
                 std::size_t &k) {
    std::size_t operand = repeat + regexNodeSize;
    if (!validNode(operand))
      regexCorruptedPointers();
    int la = lookAhead(repeat);
    unsigned char want = la < 0 ? 0 : ci_ ? upper_[la] : static_cast<unsigned char>(la);
    const std::size_t from = count;
    std::size_t c = count;
    if (takeOne) {
      std::size_t n = text_.takeOne(operand, save + c);
      if (n == 0)
        return false;
      c += n;
    }
    for (;;) {
      if (la < 0) {
        k = c;
        return true;
      }
      // Past the subject's end the byte is NUL, as for the greedy repeats:
      // the empty literal after a run fits where the text ends.
      if (save + c <= end_) {
        unsigned char b = byteAt(save + c);
        if ((ci_ ? upper_[b] : b) == want) {
          k = c;
          chargeScan(c - from);
          return true;
        }
      }
      std::size_t n = text_.takeOne(operand, save + c);
      if (n == 0) {
        chargeScan(c - from);
        return false;
      }
      c += n;
    }
  }

  bool matchWordNode(std::uint8_t op, std::size_t scan, std::size_t &pos) {
    switch (op) {
    case WORDSTART:
      return !text_.inside(pos) && !text_.wordBefore(pos) && text_.wordAt(pos);
    case WORDEND:
      return !text_.inside(pos) && text_.wordBefore(pos) &&
             (pos < end_ ? !text_.wordAt(pos) : endIsFinal_);
    default: {
      std::size_t k = 0;
      if (!lazyCount(scan, pos, 0, op == LAZYPLUS, k))
        return false;
      push(LazyChoice, scan, pos, k, 0);
      pos += k;
      return true;
    }
    }
  }

  TRegex &owner_;
  const RegexProgram *p_ = nullptr;
  const unsigned char *s_ = nullptr;
  std::size_t end_ = 0;
  std::size_t bol_ = 0;
  bool endIsFinal_ = true;
  bool ci_ = false;
  const unsigned char *upper_ = nullptr;
  std::size_t steps_ = 0;
  std::size_t stepLimit_ = 0;
  std::size_t nextCheck_ = 0;
  std::size_t nextPoll_ = 0;
  std::size_t handOverAt_ = never;
  std::size_t attemptStart_ = 0;
  bool leadRunKnown_ = false;
  std::size_t leadRun_ = 0;
  std::vector<Frame> stack_;
  RegexText text_;
};

TRegex::TRegex() {
  startp_.fill(-1);
  endp_.fill(-1);
}

TRegex::~TRegex() = default;

bool TRegex::Exec(std::string &subject, int &limit, int startPosition) {
  return execute(subject, limit, startPosition, startPosition, false);
}

bool TRegex::Exec(std::string_view subject, int &limit, int startPosition) {
  return execute(subject, limit, startPosition, startPosition, false);
}

bool TRegex::ExecInText(std::string_view subject, int &limit, int startPosition, int anchorPosition,
                        bool textGoesOn) {
  return execute(subject, limit, startPosition, anchorPosition, textGoesOn);
}

bool TRegex::execute(std::string_view subject, int &limit, int startPosition, int anchorPosition,
                     bool textGoesOn) {
  int length = checkedCast<int>(subject.size());
  if (limit <= 0 || limit > length)
    limit = length;
  subjectBase_ = subject.data();
  subjectLength_ = subject.size();
  searched_ = true;
  if (setSlots_)
    clearMatches();
  if (length < startPosition || startPosition < 1)
    return false;
  std::string failure;
  try {
    if (!program_ || program_->bytes[0] != regexMagic)
      exceptionIfProgramNotValid();
    if (!matcher_)
      matcher_ = std::make_unique<RegexMatcher>(*this);
    std::size_t from = static_cast<std::size_t>(startPosition - 1);
    std::size_t anchor =
        anchorPosition >= 1 ? static_cast<std::size_t>(anchorPosition - 1) : notFound;
    matcher_->start(*program_, subjectBase_, subjectLength_, anchor, !caseSensitive_, stepLimit_,
                    !textGoesOn);
    matcher_->setHandOver(handOverAt(from));
    bool found = false;
    try {
      found = search(from, static_cast<std::size_t>(limit), anchor);
    } catch (const HandOver &handOver) {
      matcher_->finish();
      // Where the search would have tried its last position.
      const std::size_t s = handOver.attemptStart;
      const std::size_t last = program_->anchored ? s + 1
                               : program_->firstChar
                                   ? static_cast<std::size_t>(limit)
                                   : std::max(static_cast<std::size_t>(limit), from + 1);
      found = searchLinearly(s, last, anchor, textGoesOn, !program_->anchored);
    }
    matcher_->finish();
    return found;
  } catch (const EAbort &) {
    matcher_->finish();
    throw;
  } catch (const std::bad_alloc &) {
    failure = "Out of memory";
  } catch (const std::exception &e) {
    failure = e.what();
  }
  if (matcher_)
    matcher_->finish();
  raiseError(regexMessage(2730, {failure}));
  return false;
}

// Positions are tried in order from `from`; a match may begin at a 0-based
// offset below `limit` (the first position is tried regardless unless a first
// byte is known). The shortcuts only pass over positions where no attempt
// could succeed, so the first match found is the same with or without them.
bool TRegex::search(std::size_t from, std::size_t limit, std::size_t anchor) {
  const RegexProgram &p = *program_;
  RegexMatcher &m = *matcher_;
  const bool fast = shortcuts_ && p.shortcutsValid;
  const int mode = caseSensitive_ ? 0 : 1;
  // Ignoring case a literal is found byte by byte only when the table
  // folds all of it: a letter beyond ASCII (or one a longer character folds
  // to) has partners of other bytes.
  const bool useAnchor = fast && p.hasAnchor &&
                         (caseSensitive_ || p.anchorSearch == RegexProgram::byBytes) &&
                         (p.anchor.bytes.size() >= 2 || !p.firstSetUseful[mode]);
  // Every match holds this literal somewhere at or after its start, which
  // may lie beyond the limit.
  if (fast && p.hasRequired) {
    // The anchor's own search below rejects the subject just as well.
    if (!(useAnchor && p.requiredIsAnchor)) {
      if (caseSensitive_ || p.requiredSearch == RegexProgram::byBytes) {
        if (m.findLiteral(p.required.bytes, from, subjectLength_) == notFound)
          return false;
      } else if (p.requiredSearch == RegexProgram::byBytesInAscii &&
                 m.findLiteral(p.required.bytes, from, subjectLength_) == notFound &&
                 !m.holdsHighByte(from)) {
        return false;
      }
    }
  } else if (p.hasMust) {
    std::string_view must(reinterpret_cast<const char *>(&p.bytes[p.mustOffset]), p.mustLength);
    if (caseSensitive_ ? !p.mustOtherForms : p.mustSearch == RegexProgram::byBytes) {
      if (m.findLiteral(must, from, subjectLength_) == notFound)
        return false;
    } else if (!caseSensitive_ && p.mustSearch == RegexProgram::byBytesInAscii &&
               m.findLiteral(must, from, subjectLength_) == notFound && !m.holdsHighByte(from)) {
      return false;
    }
  }

  if (p.anchored) {
    if (anchor == from)
      return m.MatchAt(from);
    return anchor != notFound && anchor > from && anchor < limit && m.MatchAt(anchor);
  }

  std::size_t last = p.firstChar ? limit : std::max(limit, from + 1);
  if (!fast) {
    const bool byFirstChar = p.firstChar && (caseSensitive_ || p.firstCharFoldsByByte);
    for (std::size_t pos = from; pos < last; ++pos) {
      if (byFirstChar && (pos = m.findByte(p.firstChar, pos, last)) == notFound)
        return false;
      if (m.MatchAt(pos))
        return true;
    }
    return false;
  }

  // Skipping over a run's places is sound only where no match can begin
  // inside one of its characters.
  const bool overRuns = !p.startsInside[mode];
  const bool useRepeatStop = !useAnchor && p.hasRepeatStop[mode] && overRuns;
  const bool plus = p.leadingRepeat != regexNone && p.op(p.leadingRepeat) == PLUS;
  std::size_t pos = from;
  while (pos < last) {
    if (useAnchor) {
      std::size_t distance = p.anchor.distance;
      std::size_t found = m.findLiteral(p.anchor.bytes, pos + distance,
                                        last - 1 + distance + p.anchor.bytes.size());
      if (found == notFound)
        return false;
      pos = found - distance;
      if (p.firstSetUseful[mode] &&
          !p.firstScan[mode].table[static_cast<unsigned char>(subjectBase_[pos])]) {
        ++pos;
        continue;
      }
    } else if (useRepeatStop) {
      // Only the start of the run before the stop byte needs a try: later
      // starts inside the run fail whenever it fails.
      std::size_t stop = m.findInSet(p.repeatStop[mode], pos, subjectLength_);
      if (stop == notFound)
        return false;
      std::size_t start = m.runStart(p.operand(p.leadingRepeat), p.repeatMembers[mode], pos, stop);
      // A run that takes every character beyond ASCII may begin inside one
      // where the search began; it can start only after that.
      while (start < stop && m.text().inside(start))
        ++start;
      if (start >= last)
        return false;
      if (!(plus && start == stop) && m.MatchAt(start))
        return true;
      pos = stop + 1;
      continue;
    } else if (p.firstSetUseful[mode]) {
      pos = m.findInSet(p.firstScan[mode], pos, last);
      if (pos == notFound)
        return false;
      // A byte of the code page that would begin the match is a UTF-8
      // character's byte here.
      if (p.loneFirst[mode].test(static_cast<unsigned char>(subjectBase_[pos])) &&
          (m.text().sequenceAt(pos) != 0 || m.text().inside(pos))) {
        ++pos;
        continue;
      }
    }
    if (m.MatchAt(pos))
      return true;
    pos += (overRuns ? m.leadingRun() : 0) + 1;
  }
  return false;
}

bool TRegex::MatchAt(int position) {
  exceptionIfProgramNotValid();
  if (!searched_ || position < 1 || static_cast<std::size_t>(position) > subjectLength_ + 1)
    return false;
  if (!matcher_)
    matcher_ = std::make_unique<RegexMatcher>(*this);
  std::size_t from = static_cast<std::size_t>(position - 1);
  matcher_->start(*program_, subjectBase_, subjectLength_, from, !caseSensitive_, stepLimit_);
  matcher_->setHandOver(handOverAt(from));
  bool found = false;
  try {
    found = matcher_->MatchAt(from);
  } catch (const HandOver &) {
    found = searchLinearly(from, from + 1, from, false, false);
  }
  matcher_->finish();
  return found;
}

std::size_t TRegex::handOverAt(std::size_t from) const {
  if (!linear_)
    return never;
  return handOverAfter_ + handOverPerByte_ * (subjectLength_ - std::min(from, subjectLength_));
}

bool TRegex::searchLinearly(std::size_t first, std::size_t last, std::size_t anchor,
                            bool textGoesOn, bool passOver) {
  const RegexProgram &p = *program_;
  if (!linearMatcher_)
    linearMatcher_ = std::make_unique<RegexLinearMatcher>();
  RegexLinearMatcher::Subject subject;
  subject.bytes = reinterpret_cast<const unsigned char *>(subjectBase_);
  subject.length = subjectLength_;
  subject.boundary = anchor;
  subject.endIsFinal = !textGoesOn;
  subject.ignoreCase = !caseSensitive_;
  const int mode = caseSensitive_ ? 0 : 1;
  const bool skip = passOver && shortcuts_ && p.shortcutsValid && p.firstSetUseful[mode];
  RegexLinearMatcher &m = *linearMatcher_;
  if (!m.search(p, subject, first, last, skip ? &p.firstScan[mode] : nullptr))
    return false;
  clearMatches();
  startp_[0] = m.matchStart();
  endp_[0] = m.matchEnd();
  int slots = 1;
  for (int g = 1; g <= std::min(p.groupCount, subexpressionCount - 1); ++g) {
    startp_[g] = m.groupStart(g);
    endp_[g] = m.groupEnd(g);
    if (startp_[g] >= 0 || endp_[g] >= 0)
      slots = g + 1;
  }
  setSlots_ = slots;
  return true;
}

} // namespace marrowen
