#pragma once

#include "engine/answers.h"
#include "engine/lines.h"

#include <cstdint>
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
// A letter typed in the replacement (not given by an escape) is written in
// the form of the text it goes into, as the last character beyond ASCII
// before the end of the match has it: in code-page text as the code page's
// byte where the code page holds every letter typed (else in UTF-8, and the
// log says once for the file that it now mixes the two), in UTF-8 text as
// UTF-8. The subclass notes the original text it passes, in order.
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
  // Sets the replacement (escaped form) the dialog starts from too.
  void setReplacement(const std::string &replacement);
  // Takes note of original text, in order: what the filter passed on and
  // the text up to the end of a match before it is replaced.
  void noteText(std::string_view original) {
    if (formsTyped_)
      noteTextForm(original);
  }
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
  void noteTextForm(std::string_view original);
  // `text` (escaped) with its typed letters in the form of the text noted.
  std::string inTextForm(std::string_view text);

  enum class TextForm : std::uint8_t { Unknown, CodePage, Utf8 };
  TextForm textForm_ = TextForm::Unknown;
  // Whether a replacement holds a typed byte of 128 or more, whose form
  // the text decides.
  bool formsTyped_ = false;
  bool mixingLogged_ = false;
};

// The replacement (escaped form) in the case of `found`, as `matchCase`
// gives it, with every escape sequence left exactly as written: "\n" never
// becomes "\N".
std::string matchCaseKeepingEscapes(std::string_view found, std::string_view replacement);

} // namespace marrowen
