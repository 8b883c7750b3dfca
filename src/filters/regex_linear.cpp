#include "filters/regex_program.h"

#include "classlib/exceptions.h"
#include "engine/job.h"

#include <algorithm>

namespace marrowen {

using namespace regex_op;

namespace {

// Units of work (a node reached, a byte taken) between two looks at the
// job's abort request.
constexpr std::size_t abortPollWork = 1 << 15;
// The end of a way of matching: taken by a list, failed, or matched.
constexpr std::size_t wayEnds = static_cast<std::size_t>(-1);

bool isRepeat(std::uint8_t op) {
  return op == STAR || op == PLUS || op == LAZYSTAR || op == LAZYPLUS;
}
bool mustTakeOne(std::uint8_t op) { return op == PLUS || op == LAZYPLUS; }

} // namespace

bool RegexLinearMatcher::valid(std::size_t node) const {
  return node != regexNone && node < p_->bytes.size() && p_->bytes.size() - node >= regexNodeSize;
}

bool RegexLinearMatcher::atTextEnd(std::size_t pos) const {
  return pos < s_.length ? s_.bytes[pos] == 0 : s_.endIsFinal;
}

void RegexLinearMatcher::add(List &list, std::size_t node, std::size_t sub) {
  list.threads.push_back({static_cast<std::uint32_t>(node), static_cast<std::uint32_t>(sub)});
  list.groups.insert(list.groups.end(), groups_.begin(), groups_.end());
}

// Adds to `list` every way on from `node` at the current place up to the
// next byte it must take, in the backtracking matcher's order: the first
// alternative before the next, a greedy repeat's next byte before what
// follows it, a lazy repeat's follower before its next byte. What a way
// leaves for later (another alternative, a group mark to undo) waits on a
// stack, so nesting costs no recursion. With `afterByte`, `node` is a repeat
// that has just taken a byte.
void RegexLinearMatcher::follow(List &list, std::size_t node, bool afterByte) {
  pending_.clear();
  for (;;) {
    if (node != wayEnds) {
      node = walk(list, node, afterByte);
      afterByte = false;
      continue;
    }
    if (pending_.empty())
      return;
    const Frame frame = pending_.back();
    pending_.pop_back();
    switch (frame.kind) {
    case Pending::Restore:
      groups_[frame.value] = frame.saved;
      break;
    case Pending::TakeMore:
      add(list, frame.value, 0);
      break;
    case Pending::Walk:
      node = frame.value;
      break;
    }
  }
}

// One node of a way: returns the node to go on with, or wayEnds.
std::size_t RegexLinearMatcher::walk(List &list, std::size_t node, bool afterByte) {
  if (!valid(node))
    regexCorruptedPointers();
  const std::uint8_t op = p_->op(node);
  // A repeat that must take a byte is a different place to be before its
  // first byte than after it.
  const std::size_t id = afterByte && mustTakeOne(op) ? node + 1 : node;
  if (stamps_[id] == generation_)
    return wayEnds;
  stamps_[id] = generation_;
  ++work_;
  const std::size_t next = p_->next(node);
  switch (op) {
  case END:
    matched_ = true;
    cut_ = true;
    best_ = groups_;
    bestEnd_ = static_cast<int>(pos_);
    // Every way still waiting would have been tried after this one.
    pending_.clear();
    return wayEnds;
  case BOL:
    return pos_ == s_.boundary ? next : wayEnds;
  case EOL:
    return atTextEnd(pos_) ? next : wayEnds;
  case WORDSTART:
    return !text_->inside(pos_) && !text_->wordBefore(pos_) && text_->wordAt(pos_) ? next : wayEnds;
  case WORDEND:
    return !text_->inside(pos_) && text_->wordBefore(pos_) &&
                   (pos_ < s_.length ? !text_->wordAt(pos_) : s_.endIsFinal)
               ? next
               : wayEnds;
  case NOTHING:
  case BACK:
    return next;
  case EXACTLY: {
    const RegexNodeInfo &info = p_->nodes[node];
    if (info.opcode != EXACTLY)
      regexCorruption();
    // The empty literal (NUL) holds only where the text ends.
    if (info.operandLength == 0)
      return atTextEnd(pos_) ? next : wayEnds;
    if ((info.literal & RegexNodeInfo::startsWithContinuation) && text_->inside(pos_))
      return wayEnds;
    add(list, node, 0);
    return wayEnds;
  }
  case ANYOF:
  case ANYBUT:
    if (p_->nodes[node].opcode != op)
      regexCorruption();
    add(list, node, 0);
    return wayEnds;
  case BRANCH: {
    const std::size_t first = node + regexNodeSize;
    if (!valid(next) || p_->op(next) != BRANCH)
      return first;
    // The other alternatives wait, the second on top.
    const std::size_t mark = pending_.size();
    for (std::size_t alternative = next; valid(alternative) && p_->op(alternative) == BRANCH;
         alternative = p_->next(alternative))
      pending_.push_back(
          {static_cast<std::uint32_t>(alternative + regexNodeSize), 0, Pending::Walk});
    std::reverse(pending_.begin() + static_cast<std::ptrdiff_t>(mark), pending_.end());
    return first;
  }
  case STAR:
  case PLUS:
  case LAZYSTAR:
  case LAZYPLUS: {
    const std::size_t operand = node + regexNodeSize;
    if (!valid(operand))
      regexCorruptedPointers();
    const bool more = text_->takeOne(operand, pos_) > 0;
    if (mustTakeOne(op) && !afterByte) {
      if (more)
        add(list, node, 0);
      return wayEnds;
    }
    if (op == STAR || op == PLUS) {
      if (more)
        add(list, node, 0);
    } else if (more) {
      pending_.push_back({static_cast<std::uint32_t>(node), 0, Pending::TakeMore});
    }
    return next;
  }
  default:
    // Any byte, or one of a class.
    if (op == ANY || (op >= ANYDIGIT && op <= NOTSPACE)) {
      add(list, node, 0);
      return wayEnds;
    }
    if (isOpenOp(op) || isCloseOp(op)) {
      const int group = isOpenOp(op) ? op - OPEN : op - CLOSE;
      if (group > p_->groupCount)
        regexCorruption();
      const std::size_t slot = isOpenOp(op) ? 2 * group - 1 : 2 * group;
      pending_.push_back({static_cast<std::uint32_t>(slot), groups_[slot], Pending::Restore});
      groups_[slot] = static_cast<int>(pos_);
      return next;
    }
    regexCorruption();
  }
}

// The way `thread` takes the byte `c` at the place before the current one.
// A way that takes a character of several bytes waits through its other
// bytes (`sub` counts them; of a literal compared by characters, above the
// index of the literal's character).
void RegexLinearMatcher::take(const Thread &thread, unsigned char c, List &next) {
  const std::size_t node = thread.node;
  const std::uint8_t op = p_->op(node);
  const std::size_t at = pos_ - 1;
  ++work_;
  if (op == EXACTLY) {
    const RegexNodeInfo &info = p_->nodes[node];
    const std::uint8_t *operand = &p_->bytes[node + regexNodeSize];
    const bool byCharacter = literalByCharacters(info, s_.ignoreCase);
    if (!byCharacter) {
      const std::uint8_t want = operand[thread.sub];
      if (s_.ignoreCase ? upper_[c] != upper_[want] : c != want)
        return;
      if (thread.sub + 1 < info.operandLength) {
        add(next, node, thread.sub + 1);
        return;
      }
      if ((info.literal & RegexNodeInfo::endsIncomplete) && text_->inside(pos_))
        return;
      follow(next, p_->next(node), false);
      return;
    }
    const std::uint32_t index = thread.sub & 0xFFFFFF;
    std::uint32_t waiting = thread.sub >> 24;
    const std::string_view literal(reinterpret_cast<const char *>(operand), info.operandLength);
    if (waiting == 0) {
      const std::size_t taken = text_->takeLiteralCharacter(node, index, at);
      if (taken == 0)
        return;
      waiting = static_cast<std::uint32_t>(taken);
    }
    if (waiting > 1) {
      add(next, node, index | ((waiting - 1) << 24));
      return;
    }
    const std::size_t after = index + utf8::characterAt(literal.substr(index)).length;
    if (after < info.operandLength)
      add(next, node, after);
    else
      follow(next, p_->next(node), false);
    return;
  }
  const bool repeat = isRepeat(op);
  std::size_t waiting = thread.sub;
  if (waiting == 0) {
    waiting = text_->takeOne(repeat ? node + regexNodeSize : node, at);
    if (waiting == 0)
      return;
  }
  if (waiting > 1)
    add(next, node, waiting - 1);
  else if (repeat)
    follow(next, node, true);
  else
    follow(next, p_->next(node), false);
}

void RegexLinearMatcher::seed(List &list) {
  std::fill(groups_.begin(), groups_.end(), -1);
  groups_[0] = static_cast<int>(pos_);
  follow(list, 1, false);
}

void RegexLinearMatcher::poll() {
  if (work_ < nextPoll_)
    return;
  nextPoll_ = work_ + abortPollWork;
  if (currentJobAborted())
    throw EAbort();
}

bool RegexLinearMatcher::search(const RegexProgram &program, const Subject &subject,
                                std::size_t first, std::size_t last, const ByteScan *starts) {
  p_ = &program;
  s_ = subject;
  text_.emplace(subject.bytes, subject.length, program, subject.ignoreCase);
  upper_ = program.upper.data();
  slots_ = 1 + 2 * static_cast<std::size_t>(std::max(program.groupCount, 0));
  groups_.assign(slots_, -1);
  if (stamps_.size() < program.bytes.size() + 1)
    stamps_.resize(program.bytes.size() + 1, 0);
  matched_ = false;
  work_ = 0;
  nextPoll_ = abortPollWork;
  now_.clear();
  next_.clear();
  // The first place from `from` where a match may begin, or `last`.
  auto startFrom = [&](std::size_t from) {
    if (!starts || from >= last)
      return from;
    return static_cast<std::size_t>(starts->find(s_.bytes + from, s_.bytes + last) - s_.bytes);
  };
  if (first >= last)
    return false;
  pos_ = startFrom(first);
  if (pos_ >= last)
    return false;
  ++generation_;
  seed(now_);
  for (;;) {
    poll();
    if (now_.threads.empty()) {
      if (matched_)
        break;
      pos_ = startFrom(pos_ + 1);
      if (pos_ >= last)
        break;
      ++generation_;
      seed(now_);
      continue;
    }
    if (pos_ >= s_.length)
      break;
    const unsigned char c = s_.bytes[pos_];
    ++pos_;
    ++generation_;
    next_.clear();
    cut_ = false;
    for (std::size_t i = 0; i < now_.threads.size() && !cut_; ++i) {
      std::copy_n(now_.groups.begin() + static_cast<std::ptrdiff_t>(i * slots_), slots_,
                  groups_.begin());
      take(now_.threads[i], c, next_);
    }
    // A match that begins here is tried after every way begun before.
    if (!matched_ && pos_ < last && (!starts || starts->table[s_.bytes[pos_]]))
      seed(next_);
    std::swap(now_, next_);
  }
  return matched_;
}

} // namespace marrowen
