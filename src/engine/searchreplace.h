#pragma once

#include "engine/answers.h"
#include "engine/lines.h"

#include <string>
#include <string_view>

namespace marrowen {

// The base of the filters that replace matches. The subclass finds a match,
// puts its text in `pendingText_` and calls `replaceMatch`; the base counts
// it, decides (asking the user when prompting) and appends either the
// decoded, subfiltered replacement or, when the match is kept, its first
// character (a valid multi-byte UTF-8 sequence is one), after which the
// subclass searches on from the next.
//
// The standing answer lives for the job: the file answers (20, 21) hold until
// the next input, the selection answers (25, 26) until the next piece a
// subfilter chain is given, the job answers until the job ends.
class TGenericSearchReplace : public TGenericStateMachine {
public:
  TGenericSearchReplace(bool preserveCase, bool prompt, bool noPromptWhenUnchanged,
                        bool firstMatchOnly);

  bool hasChanged() override;
  std::string getStatistics() override;
  void resetStatistics() override;
  void startFile() override;
  void startJob() override;

  // Checks the replacement's escapes (raising on a malformed one), keeps it
  // as the replacement for later matches and gives the replacement for
  // `found`, still escaped. The query-replace dialog calls it to change the
  // replacement.
  virtual void getReplacement(std::string_view replacement, std::string_view found,
                              std::string &result);

  // Decides about the match in `pendingText_`; returns whether it was
  // replaced. `searchInformation` and `followingText` (what follows the
  // match; the question shows up to 200 bytes of it) are only shown to the
  // user.
  bool replaceMatch(std::string &output, std::string_view replacement,
                    std::string_view searchInformation, std::string_view followingText);

  Answer answer() const { return answer_; }
  int matches() const { return matches_; }
  int replacements() const { return replacements_; }

protected:
  // Whether the standing answer keeps every match for now (2, 21, 23, 24, 26).
  bool answerKeepsMatches() const;
  // The length of the match's first character, which a kept match hands on
  // before the search goes on.
  std::size_t keptLength() const;

  int matches_ = 0;
  int replacements_ = 0;
  std::string searchText_;
  std::string replacement_;
  std::string dialogReplacement_;
  Answer answer_ = Answer::None;
  std::string pendingText_;
  bool preserveCase_;
  bool prompt_;
  bool noPromptWhenUnchanged_;
  bool firstMatchOnly_;
  bool firstMatchDone_ = false;

private:
  bool askUser(const std::string &output, std::string &text, std::string_view searchInformation,
               std::string_view followingText);
  void performReplace(std::string &output, std::string_view text);
};

// The replacement (escaped form) in the case of `found`, as `matchCase`
// gives it, with every escape sequence left exactly as written: "\n" never
// becomes "\N".
std::string matchCaseKeepingEscapes(std::string_view found, std::string_view replacement);

} // namespace marrowen
