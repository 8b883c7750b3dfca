#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace marrowen {

class CodePage;

// What the eye sees as one letter: a grapheme cluster as ICU's character
// break iterator finds it (a letter with its combining marks, a flag, an
// emoji with its skin tone or a family of emoji joined into one, CR LF).
// Engine text is read by the one rule of utf8.h; counts stay counts of its
// characters (code points, as `wc -m` counts them), and the clusters only
// decide where a cut may fall: never inside one. Text in which every
// character stands alone (no valid multi-byte sequence, no byte the code page
// reads as a combining mark or a joiner) is cut without the break iterator,
// as fast as bytes.
namespace graphemes {

// Walks the clusters of a text from its start, a piece at a time, so a long
// text is never converted whole. A text that does not end where `text` ends
// (a chunk of a file) keeps back what the next bytes may still change: a
// character cut short and the last cluster, which a following combining mark
// would lengthen.
class ClusterWalk {
public:
  ClusterWalk(std::string_view text, const CodePage &codePage, bool textEnds = true);
  ~ClusterWalk();
  ClusterWalk(const ClusterWalk &) = delete;
  ClusterWalk &operator=(const ClusterWalk &) = delete;

  // Where the next cluster begins: a place where the text may be cut.
  std::size_t position() const { return pos_; }
  // The end of what the walk may read: the text less a character cut short
  // at its end when the text does not end there.
  std::size_t end() const { return end_; }

  // Moves over whole clusters while they hold at most `characters`
  // characters in all and returns how many they hold: it stops before a
  // cluster that does not fit, or where no cluster is left to take.
  std::size_t takeWithin(std::size_t characters);
  // Moves over whole clusters until they hold at least `characters`, or no
  // cluster is left; returns how many they hold.
  std::size_t takeAtLeast(std::size_t characters);
  // Moves over the clusters that end at or before the byte offset `at`;
  // returns the position.
  std::size_t advanceTo(std::size_t at);
  // Moves over clusters until the position is at or past `at`, or no
  // cluster is left; returns the position.
  std::size_t advancePast(std::size_t at);
  // Whether no cluster is left to take.
  bool done() { return !ensureCluster(); }

  // How a text is walked: a letter a byte (ASCII, a code page's text), a
  // letter a character (UTF-8 without marks, joiners or flags), both but
  // for CR LF; or letters as ICU's iterator finds them.
  enum class Kind { Bytes, Characters, Letters };
  // Bytes and Characters count the text's characters into `characters`.
  static Kind kindOf(std::string_view text, const CodePage &codePage, std::size_t *characters);

private:
  std::size_t take(std::size_t characters, bool atLeast);
  std::size_t advance(std::size_t at, bool past);
  // Makes a cluster that may be taken begin at the position; false when
  // none can.
  bool ensureCluster();
  void load(std::size_t from, std::size_t bytes);
  // Sizes the first piece for a walk over about `bytes` bytes.
  void expect(std::size_t bytes);
  // The slow piece's characters in units [from, to).
  std::size_t charactersOfUnits(std::int32_t from, std::int32_t to) const;

  std::string_view text_;
  const CodePage &codePage_;
  bool textEnds_;
  std::size_t end_;
  std::size_t pos_ = 0;
  // The piece [pieceStart_, pieceEnd_) is read; its clusters up to
  // `certainEnd_` may be taken.
  std::size_t pieceStart_ = 0;
  std::size_t pieceEnd_ = 0;
  std::size_t certainEnd_ = 0;
  std::size_t pieceBytes_;
  Kind kind_ = Kind::Bytes;
  // The characters from the position to `certainEnd_` in a piece walked by
  // characters, while they are known.
  static constexpr std::size_t unknown = static_cast<std::size_t>(-1);
  std::size_t ahead_ = unknown;
  // A slow piece in UTF-16, each unit's byte offset beside it (one more at
  // its end), and the unit at the position.
  std::u16string units_;
  std::vector<std::size_t> offsets_;
  std::int32_t unit_ = 0;
  struct Iterator;
  std::unique_ptr<Iterator> iterator_;
};

// Whether `at` lies between two letters for certain, judged from the
// characters on either side alone: neither joins a neighbour (a mark, a
// joiner, a flag's half, a Hangul jamo) and they are not CR and LF. False
// within a character, and where only a walk can tell. The edges of `text`
// count as between letters.
bool isPlainBoundary(std::string_view text, const CodePage &codePage, std::size_t at);

// The length of the longest start of `text` made of whole clusters holding
// at most `characters` characters; how many they hold in `taken`.
std::size_t prefixWithin(std::string_view text, const CodePage &codePage, std::size_t characters,
                         std::size_t *taken = nullptr);

// The longest start of `text` made of whole clusters at most `bytes` long:
// a text limited in bytes is cut before the letter that does not fit.
std::string_view cutToBytes(std::string_view text, const CodePage &codePage, std::size_t bytes);

namespace detail {
std::size_t boundaryFrom(std::string_view text, const CodePage &codePage, std::size_t at);
} // namespace detail

// `at`, or the end of the cluster that `at` falls within.
inline std::size_t boundaryFrom(std::string_view text, const CodePage &codePage, std::size_t at) {
  // Between two ASCII characters only CR LF is one letter: a column of an
  // ASCII line is found without a call.
  if (at > 0 && at < text.size()) {
    const auto before = static_cast<unsigned char>(text[at - 1]);
    const auto next = static_cast<unsigned char>(text[at]);
    if (before < 0x80 && next < 0x80 && !(before == '\r' && next == '\n'))
      return at;
  }
  return detail::boundaryFrom(text, codePage, at);
}

// The clusters of `text` in reverse order, each as it was.
void reverseClusters(char *text, std::size_t size, const CodePage &codePage);

// The length in UTF-16 units of the longest start of `text` made of whole
// clusters at most `units` long: a text limited in units is cut before the
// letter that does not fit, never between the halves of a surrogate pair.
std::size_t unitsWithin(std::u16string_view text, std::size_t units);

} // namespace graphemes

} // namespace marrowen
