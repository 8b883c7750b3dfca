#pragma once

#include "filterlist/listobject.h"
#include "filterlist/nodefields.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace marrowen {

// Search and replace in one of the dialects (exact text, pattern, sounds
// like, edit distance, Perl, Brief-style and Word-style pattern). Its
// children work only on the text it finds, each found text being run
// through them as a text of its own.
//
// Both texts are kept as the user typed them, escapes included. A pattern
// type outside 0..6 is kept as stored and refused only when the node is
// built.
class TSearchObject : public TListObject {
public:
  std::string searchString;
  std::string replaceString;
  bool ignoreCase = true;
  bool wholeWord = false;
  // The replacement follows the case of the found text.
  bool caseSensitiveReplace = false;
  // 0 exact text, 1 pattern, 2 sounds like, 3 edit distance, 4 Perl pattern,
  // 5 Brief-style pattern, 6 Word-style pattern.
  std::int32_t patternType = 0;
  bool promptOnReplace = false;
  // No question when the replacement equals the found text.
  bool skipPromptIdentical = false;
  bool firstOnly = false;
  // Bytes the pattern filters hold before they search.
  std::int32_t bufferSize = 4096;
  // The largest edit distance that still counts as found.
  std::int32_t threshold = 2;
  bool greedy = true;
  bool allowComments = false;
  bool dotMatchesNewLines = true;

  // A new node from the remembered defaults.
  // The stored fields, in stored order.
  static std::span<const NodeField<TSearchObject>> fields();
  static std::unique_ptr<TSearchObject> CreateDefault();
  // A new node of the wizard: the defaults, `type` and texts that tell the
  // user what to type in their place.
  static std::unique_ptr<TSearchObject> CreateWithPrompt(std::int32_t type);
  std::int32_t catalogKind() const override { return patternType; }
  void rememberDefaults() const override;

  int iconIndex() const override { return 10; }
  bool canParent() const override { return true; }
  ChildChain needGatherer() const override { return ChildChain::Gathered; }
  bool automationCheck(const ConfirmPrompt &ask) override;
  std::string getTitle() const override;
  std::string printText(std::string_view indent) const override;
  std::string generateCmdLine() const override;
  // Whether "/S" and "/R" carry every setting that decides what the node
  // does: the command line makes the rest as a plain new node has them.
  bool fitsCommandLine() const;
  // Raises 9540 when the search text is blank (the escape error first when
  // it cannot be decoded) and 9530 for a pattern type outside 0..6.
  std::unique_ptr<TFilter> add_this_filter(TFilterList &list) override;

  std::string_view className() const override { return "TSearchObject"; }
  std::string_view definedPropertyName() const override { return "SearchObject"; }
  // The ignore-case flag is stored inverted, as "match case".
  void writeData(ComponentWriter &writer) const override;
  void readData(ComponentReader &reader) override;
};

// Selects lines by a pattern: the lines that match (kind 0), those that do
// not (kind 1), or, extracting (kind 2), only the matched texts. The
// children of the two selecting kinds work only on the selected lines.
class TGrepObject : public TListObject {
public:
  // The stored kind: which lines are kept, or the matches alone.
  enum Kind : std::int32_t { SelectMatching = 0, SelectNotMatching = 1, Extract = 2 };

  bool includeLineNumbers = true;
  // A line naming the file before its first selected line.
  bool includeFileName = true;
  bool ignoreCase = true;
  // Only the number of selected lines (or matches) is passed on.
  bool countMatches = false;
  // In the engine's own pattern syntax; never empty in a node that builds.
  std::string pattern;
  // Lines passed on before and after each selected line.
  std::int32_t contextBefore = 0;
  std::int32_t contextAfter = 0;
  // 0 select lines matching, 1 select lines not matching, 2 extract; any
  // other value makes no filter.
  std::int32_t kind = 0;

  // A new node of `kind`, every other field from the remembered defaults.
  // The stored fields, in stored order.
  static std::span<const NodeField<TGrepObject>> fields();
  static std::unique_ptr<TGrepObject> CreateDefault(std::int32_t kind);
  // A new node of the wizard: plain selection with a text that tells the
  // user what to type in place of the pattern.
  static std::unique_ptr<TGrepObject> CreateWithPrompt(std::int32_t kind);
  std::int32_t catalogKind() const override { return kind; }
  void rememberDefaults() const override;

  bool canParent() const override { return kind == SelectMatching || kind == SelectNotMatching; }
  ChildChain needGatherer() const override { return ChildChain::PassedOn; }
  std::string getTitle() const override;
  std::string printText(std::string_view indent) const override;
  // Raises 5760 for a blank pattern and 5770, naming the node, in place of
  // any error the filter raises (a pattern that does not compile).
  std::unique_ptr<TFilter> add_this_filter(TFilterList &list) override;

  std::string_view className() const override { return "TGrepObject"; }
  std::string_view definedPropertyName() const override { return "GrepObject"; }
  void writeData(ComponentWriter &writer) const override;
  void readData(ComponentReader &reader) override;
};

} // namespace marrowen
