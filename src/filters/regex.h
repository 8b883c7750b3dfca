#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace marrowen {

struct RegexProgram;
class RegexMatcher;
class RegexLinearMatcher;

// The program's own regular-expression engine: a pattern is compiled into a
// compact node program that a backtracking matcher walks. In the pattern and
// in the text a valid multi-byte UTF-8 sequence is one character (`.`, a set
// and a class take it whole, a match never begins or ends inside it, a
// letter beyond ASCII is a letter by Unicode and folds by Unicode's simple
// case folding); every other byte is a character of the code page, so text
// without such sequences matches byte by byte as before. A byte given by an
// escape (alone, or in a set) matches that byte wherever it stands.
// A search that proves costly is finished by a matcher that keeps every way
// of matching side by side and finds the same match, so no search takes
// longer than the subject's length times the program's size (the syntax has
// no back-references, which would defeat that).
// Positions given to and reported by callers are 1-based byte positions;
// -1 means none. Every failure is an Exception carrying a numbered message.
//
// The engine keeps pointers into the subject of the last Exec until the next
// one, so the caller must leave the subject unchanged while it reads the match
// positions or calls Substitute. One object serves one thread.
class TRegex {
public:
  // Subexpression 0 is the whole match, 1..35 the parenthesised groups.
  static constexpr int subexpressionCount = 36;
  // Backtracking frames (one per nested group, alternative or repeat in
  // progress) after which the search hands over.
  static constexpr std::size_t maxMatchDepth = 1'000'000;
  // A search hands over once it has taken this many node steps, and this
  // many more for each byte of the subject from its start on: enough for
  // any ordinary pattern, little against the linear matcher's own work.
  static constexpr std::size_t handOverSteps = 2048;
  static constexpr std::size_t handOverStepsPerByte = 8;

  TRegex();
  TRegex(const TRegex &) = delete;
  TRegex &operator=(const TRegex &) = delete;
  virtual ~TRegex();

  [[noreturn]] virtual void raiseError(const std::string &message) const;
  virtual int GetMatchCount() const;
  virtual int GetMatchPos(int n) const;
  virtual int GetMatchLen(int n) const;
  // Compiles `expression` (up to its first NUL byte) and makes it the
  // current expression. Returns true; a bad pattern raises its message.
  virtual bool CompileRegex(const std::string &expression);
  virtual void setCaseSensitive(bool caseSensitive);
  // The pattern filters call these at each file's start and end; the engine
  // keeps no state between chunks, so they do nothing.
  virtual void setFirstChunk(bool firstChunk);
  virtual void setLastChunk(bool lastChunk);
  virtual void exceptionIfProgramNotValid() const;
  // Searches `subject` from `startPosition` for a match beginning at or
  // before `limit` (0 or out of range: the subject's length, written back).
  // A match may run past the limit. Any failure surfaces as message 2730.
  virtual bool Exec(std::string &subject, int &limit, int startPosition);
  // The same search over text the caller holds in some other buffer.
  bool Exec(std::string_view subject, int &limit, int startPosition);
  // The same search over one piece of a longer text: `^` matches only at
  // `anchorPosition` (1-based; 0: nowhere), and when `textGoesOn` the
  // subject's end is not the text's end, so `$` and the end of a word do
  // not match there. A filter that holds its text in pieces gets the
  // results it would get holding it whole.
  bool ExecInText(std::string_view subject, int &limit, int startPosition, int anchorPosition,
                  bool textGoesOn);

  // Where in `text`, at or after the 0-based `from`, a match could first
  // lie: the first place of the literal every match holds, or else the
  // first byte that can begin a match (text.size() when there is none);
  // `from` itself when the pattern offers neither. Every match that lies
  // wholly in text[from, text.size()) ends after it, so a caller that
  // searches many lines may pass over every line that ends before it
  // without searching it. Runs at the speed of memchr or memmem.
  // `startsMatch`, when given, tells whether no match begins before the
  // place found (the first-byte scan found it), so a search may begin there.
  // `matchLength`, when given, is the length of a match that begins at the
  // place found for certain (the pattern is a fixed row of bytes and the text
  // holds it there), 0 when the place is only possible.
  std::size_t nextPossibleMatch(std::string_view text, std::size_t from,
                                bool *startsMatch = nullptr,
                                std::size_t *matchLength = nullptr) const;

  // The Word-style converter writes its four tokens as a backslash and one
  // of these bytes; an expression compiled with word tokens on reads them as
  // the tokens (any run, fewest first; the previous atom one or more times,
  // fewest first; start of a word; end of a word), which no other dialect's
  // syntax can express. Takes effect at the next compile.
  struct WordToken {
    static constexpr char anyRun = '\x01';
    static constexpr char repeat = '\x02';
    static constexpr char wordStart = '\x03';
    static constexpr char wordEnd = '\x04';
  };
  void setWordTokens(bool wordTokens) { wordTokens_ = wordTokens; }

  // Compiles at once when the text differs from the current expression (or
  // nothing usable is compiled); an empty text leaves no expression and no
  // program.
  void setExpression(const std::string &expression);
  std::string getExpression() const;
  bool caseSensitive() const { return caseSensitive_; }
  // The number of parenthesised groups of the compiled pattern.
  int groupCount() const;

  // Expands `$0`-`$9` and `$a`-`$z` from the last match (escape-encoded so
  // that decoding the result restores the matched bytes), `$$` to `$`.
  // Without a match the groups expand to nothing, so calling it before any
  // search checks a template against the pattern.
  void Substitute(const std::string &templateText, std::string &result) const;

  // A readable listing of the compiled program, one node a line, and the
  // search data (first character, anchored flag, must-have literal).
  std::string dumpProgram() const;

  // Test hooks: the compiled program's size, and overwriting one byte of it
  // so the matcher's corruption checks can be reached. Overwriting also
  // drops the search shortcuts that were derived from the sound program.
  std::size_t programSizeForTest() const;
  void setProgramByteForTest(std::size_t offset, unsigned char value);
  // Test hook: with shortcuts off, Exec tries positions exactly as the
  // plain algorithm does (first character, anchored, must-have literal
  // only), so tests and the fuzzer can check the shortcuts change nothing.
  void setSearchShortcutsForTest(bool enabled) { shortcuts_ = enabled; }
  // Test hook: the backtracking matcher raises "Stack overflow" after this
  // many node steps (0: no limit), so the fuzzer is not stalled by
  // exponential patterns when it runs without the linear matcher.
  void setStepLimitForTest(std::size_t steps) { stepLimit_ = steps; }
  // Test hook: the backtracking matcher alone (then past maxMatchDepth it
  // raises "Stack overflow"), or handing over after the given steps (0, 0:
  // the linear matcher from the first attempt on), so tests and the fuzzer
  // can check that both find the same.
  void setLinearMatchForTest(bool enabled, std::size_t afterSteps = handOverSteps,
                             std::size_t stepsPerByte = handOverStepsPerByte) {
    linear_ = enabled;
    handOverAfter_ = afterSteps;
    handOverPerByte_ = stepsPerByte;
  }

protected:
  // One attempt at one 1-based position of the current subject.
  bool MatchAt(int position);

private:
  friend class RegexMatcher;

  bool execute(std::string_view subject, int &limit, int startPosition, int anchorPosition,
               bool textGoesOn);
  bool search(std::size_t from, std::size_t limit, std::size_t anchor);
  // The linear matcher's search for a match beginning at a 0-based position
  // in [first, last); `passOver`: it may skip positions as `search` does.
  bool searchLinearly(std::size_t first, std::size_t last, std::size_t anchor, bool textGoesOn,
                      bool passOver);
  std::size_t handOverAt(std::size_t from) const;
  void clearMatches();

  std::string expression_;
  std::unique_ptr<RegexProgram> program_;
  bool caseSensitive_ = true;
  bool shortcuts_ = true;
  std::size_t stepLimit_ = 0;
  bool linear_ = true;
  std::size_t handOverAfter_ = handOverSteps;
  std::size_t handOverPerByte_ = handOverStepsPerByte;
  bool wordTokens_ = false;

  // Match table: 0-based offsets into the subject, -1 when not set.
  std::array<int, subexpressionCount> startp_;
  std::array<int, subexpressionCount> endp_;
  const char *subjectBase_ = nullptr;
  std::size_t subjectLength_ = 0;
  bool searched_ = false;
  int setSlots_ = 0; // slots below this may hold positions

  std::unique_ptr<RegexMatcher> matcher_;
  std::unique_ptr<RegexLinearMatcher> linearMatcher_;
};

} // namespace marrowen
