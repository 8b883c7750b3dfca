#pragma once

#include "classlib/codepage.h"
#include "filters/batchedlines.h"
#include "filters/charactercarry.h"

#include <cstdint>
#include <memory>
#include <string>

namespace marrowen {

// The extractors read the raw bytes and pass on nothing but what they find,
// one item per line, each ended by CR LF. A candidate is held across chunks
// and dropped at each file start; one complete at the end of a file is
// passed on then.

// E-mail addresses: a word character starts the part before "@"; the part
// after it runs over the bytes an address may hold there. A UTF-8 letter or
// digit may start an address, and any other UTF-8 character ends one whole.
// Where a letter, digit or mark that an address may not hold cuts a word
// ("müller@x.de", "a@x.münchen.de"), the cut word is not the address the
// text holds: a character directly after such a letter starts nothing, and a
// candidate that such a letter ends is dropped. An address needs a
// "." after the "@"; full stops that end it belong to the sentence, not the
// address. States: 0 searching, 1 before "@", 2 after it.
class TExtractEmails : public TGenericStateMachine {
public:
  TExtractEmails();
  bool processChunk(std::string &chunk) override;
  void startJob() override;
  void startFile() override;
  void endFile() override;
  std::int64_t bufferedLength() override;

private:
  // Passes on the candidate when it is an address; starts searching again.
  void endCandidate();
  // The length of the character that begins `text`; notes whether it goes
  // on with a word.
  std::size_t passOver(std::string_view text);
  // Looks for addresses in `text` (whole characters).
  void scan(std::string_view text);

  std::shared_ptr<const CodePage> tables_;
  CharacterCarry carry_;
  std::string local_;  // the part before "@"
  std::string domain_; // from "@" on
  std::string out_;
  bool afterWord_ = false; // the last character passed over went on with a word
};

// URLs of the schemes ftp://, gopher://, http://, https://, mailto: and
// nntp://, the scheme recognised without regard to case and passed on in
// lower case, the rest as written up to a blank, a line end, a quote or an
// angle or square bracket. A scheme with nothing after it is no URL.
// States: 0 searching, 1 within a scheme, 10 after "http", 20 in the body.
class TExtractURLs : public TGenericStateMachine {
public:
  bool processChunk(std::string &chunk) override;
  void startFile() override;
  void endFile() override;
  std::int64_t bufferedLength() override;

private:
  void endUrl();

  int scheme_ = 0;          // which scheme text is being matched
  std::size_t matched_ = 0; // its characters matched so far
  std::string url_;
  std::string out_;
};

// Passes on only the bodies of a file of mail messages: each message's
// header lines up to the first empty line are dropped, and a line of one "."
// ends the body (the next message's headers follow). States: 0 in a header
// block, 1 in a body.
class TRemoveEmailHeaders : public TBatchedLineFilter {
public:
  void openFile(const std::string &inputName) override;
  void processLine(std::string_view lineEnd) override;
};

// Rotates A-Z and a-z by 13 places within their case.
class TROT13 : public TFilter {
public:
  bool processChunk(std::string &chunk) override;
};

} // namespace marrowen
