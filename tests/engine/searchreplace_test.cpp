#include "engine/searchreplace.h"

#include "classlib/exceptions.h"
#include "engine/escapes.h"
#include "engine/subchain.h"
#include "support/chunk_harness.h"
#include "support/filter_fixtures.h"
#include "support/recording_job.h"

#include <gtest/gtest.h>

namespace marrowen {
namespace {

using testing::RecordingJob;
using testing::runFilesInChunks;

// Replaces every occurrence of a fixed text within each chunk.
class WordReplace : public TGenericSearchReplace {
public:
  WordReplace(std::string search, std::string replacement, bool preserveCase = false,
              bool prompt = true, bool noPromptWhenUnchanged = false, bool firstOnly = false)
      : TGenericSearchReplace(preserveCase, prompt, noPromptWhenUnchanged, firstOnly) {
    searchText_ = std::move(search);
    replacement_ = std::move(replacement);
  }
  bool processChunk(std::string &chunk) override {
    std::string out;
    std::size_t pos = 0;
    while (pos < chunk.size()) {
      std::size_t hit = chunk.find(searchText_, pos);
      if (hit == std::string::npos) {
        out.append(chunk, pos);
        break;
      }
      out.append(chunk, pos, hit - pos);
      pendingText_ = chunk.substr(hit, searchText_.size());
      std::string_view after = std::string_view(chunk).substr(hit + searchText_.size());
      bool replaced = replaceMatch(out, replacement_, "info", after);
      pos = replaced ? hit + searchText_.size() : hit + 1;
    }
    return sendToNext(out);
  }
};

struct AnswerCase {
  const char *name;
  std::vector<int> answers;
  std::vector<std::string> inputs;
  std::vector<std::string> outputs;
  std::size_t questions;
  bool terminated = false;
};

TEST(ReplaceAnswers, TransitionsInTheMainChain) {
  const AnswerCase cases[] = {
      {"replace asks again", {6, 7}, {"x x"}, {"Y x"}, 2},
      {"skip asks again", {7, 6}, {"x x"}, {"x Y"}, 2},
      {"replace file, then ask in the next file",
       {20, 7, 7},
       {"x x x", "x x"},
       {"Y Y Y", "x x"},
       3},
      {"skip file, then ask in the next file", {21, 6, 6}, {"x x x", "x x"}, {"x x x", "Y Y"}, 3},
      {"replace job", {22}, {"x x x", "x x"}, {"Y Y Y", "Y Y"}, 1},
      {"always skip", {23}, {"x x x", "x x"}, {"x x x", "x x"}, 1},
      {"selection answers end with the file", {25, 7, 7}, {"x x x", "x x"}, {"Y Y Y", "x x"}, 3},
      {"skip selection ends with the file", {26, 6, 6}, {"x x x", "x x"}, {"x x x", "Y Y"}, 3},
      {"cancel keeps and stops the job", {2}, {"x x x", "x x"}, {"x x x", "x x"}, 1, true},
      {"stop keeps and stops the job", {24}, {"x x x", "x x"}, {"x x x", "x x"}, 1, true},
      {"any other answer keeps every later match", {9}, {"x x x", "x x"}, {"x x x", "x x"}, 1},
  };
  for (const auto &c : cases) {
    RecordingJob job;
    for (int answer : c.answers)
      job.replaceAnswers.push_back(static_cast<Answer>(answer));
    auto outputs = runFilesInChunks([] { return std::make_unique<WordReplace>("x", "Y"); },
                                    c.inputs, 0, {&job});
    EXPECT_EQ(outputs, c.outputs) << c.name;
    EXPECT_EQ(job.replaceQuestions.size(), c.questions) << c.name;
    EXPECT_EQ(job.isAborted(), c.terminated) << c.name;
  }
}

testing::FilterFactory selectorWithReplace() {
  return [] {
    auto selector = std::make_unique<testing::PieceSelector>();
    testing::giveSubfilters(*selector, std::make_unique<WordReplace>("x", "Y"));
    return selector;
  };
}

TEST(ReplaceAnswers, TransitionsInASubfilterChain) {
  const AnswerCase cases[] = {
      // 25 and 26 hold for one selected piece.
      {"selection answers", {25, 7, 26, 6}, {"x x;x x", "x;x"}, {"Y Y;x x", "Y;Y"}, 5},
      // 20 and 21 hold across the pieces of a file, and end with the input.
      {"replace file", {20, 7, 7}, {"x x;x x", "x;x"}, {"Y Y;Y Y", "x;x"}, 3},
      {"skip file", {21, 6, 6}, {"x x;x x", "x;x"}, {"x x;x x", "Y;Y"}, 3},
      {"replace job", {22}, {"x;x", "x;x"}, {"Y;Y", "Y;Y"}, 1},
  };
  for (const auto &c : cases) {
    RecordingJob job;
    for (int answer : c.answers)
      job.replaceAnswers.push_back(static_cast<Answer>(answer));
    auto outputs = runFilesInChunks(selectorWithReplace(), c.inputs, 0, {&job});
    EXPECT_EQ(outputs, c.outputs) << c.name;
    EXPECT_EQ(job.replaceQuestions.size(), c.questions) << c.name;
    for (const auto &question : job.replaceQuestions)
      EXPECT_TRUE(question.inSelection) << c.name;
  }
}

TEST(ReplaceAnswers, TheQuestionCarriesContextAndTheDialogMayEditTheReplacement) {
  RecordingJob job;
  job.editReplace = [](QueryReplaceRequest &request) { request.replacement = "Z"; };
  std::string before(300, 'b');
  auto outputs = runFilesInChunks([] { return std::make_unique<WordReplace>("x", "Y"); },
                                  {before + "x" + "after"}, 0, {&job, "/in/file.txt"});
  EXPECT_EQ(outputs[0], before + "Zafter");
  ASSERT_EQ(job.replaceQuestions.size(), 1u);
  const auto &question = job.replaceQuestions[0];
  EXPECT_EQ(question.textBefore, std::string(200, 'b'));
  EXPECT_EQ(question.found, "x");
  EXPECT_EQ(question.textAfter, "after");
  EXPECT_EQ(question.replacement, "Y");
  EXPECT_EQ(question.searchInformation, "info");
  EXPECT_EQ(question.fileName, "/in/file.txt");
  EXPECT_EQ(question.lastAnswer, Answer::None);
  EXPECT_FALSE(question.inSelection);

  // The 200 bytes on either side end between whole letters: an accent
  // written after its letter is shown with it or not at all.
  const std::string accented = "e\xCC\x81";
  runFilesInChunks([] { return std::make_unique<WordReplace>("x", "Y"); },
                   {accented + std::string(198, 'b') + "x" + std::string(198, 'a') + accented}, 0,
                   {&job});
  ASSERT_EQ(job.replaceQuestions.size(), 2u);
  EXPECT_EQ(job.replaceQuestions[1].textBefore, std::string(198, 'b'));
  EXPECT_EQ(job.replaceQuestions[1].textAfter, std::string(198, 'a'));
}

TEST(ReplaceAnswers, TheStandingAnswerIsClearedAtTheStartOfAJob) {
  RecordingJob job;
  job.replaceAnswers = {Answer::ReplaceJob, Answer::ReplaceJob};
  WordReplace filter("x", "Y");
  std::string out;
  filter.setNext(std::make_unique<testing::StringSink>(out));
  filter.attachJob(&job);
  for (int run = 0; run < 2; ++run) {
    filter.startJob();
    filter.reset();
    std::string chunk = "x x";
    filter.processChunk(chunk);
    filter.flush();
    filter.endJob();
  }
  EXPECT_EQ(out, "Y YY Y");
  EXPECT_EQ(job.replaceQuestions.size(), 2u) << "the second job asks again";
}

TEST(SearchReplace, PreserveCaseLeavesEscapeSequencesAlone) {
  const std::pair<std::string, std::string> cases[] = {
      {"HELLO", "A\nB\tC"}, {"hello", "a\nb\tc"}, {"Hello", "A\nb\tc"}};
  for (const auto &[found, expected] : cases) {
    auto make = [found = found] {
      return std::make_unique<WordReplace>(found, "a\\nb\\tc", true, false);
    };
    EXPECT_EQ(runFilesInChunks(make, {found}, 0)[0], expected) << found;
  }
  EXPECT_EQ(matchCaseKeepingEscapes("HELLO", "x\\x4a\\\\n\\cz"), "X\\x4a\\\\N\\cz");
  // Letters whose other case is longer or shorter move the escapes after
  // them: "ﬁ" becomes "FI", "ı" becomes "I" and "ɐ" the three-byte "Ɐ".
  const char *moved[][3] = {
      {"STRASSE", "\xef\xac\x81n\\n", "FIN\\n"},
      {"STRASSE", "\xc9\x90\\n\xc4\xb1", "\xe2\xb1\xaf\\nI"},
      {"abc", "\xc4\xb0\\t", "i\xcc\x87\\t"},
      {"aBC", "x\xef\xac\x81\\n", "xFI\\n"},
      {"HELLO", "\xe9t\xe9\\n", "\xc9T\xc9\\n"}, // Windows-1252 bytes as the code page has them
  };
  for (const auto &[found, replacement, expected] : moved)
    EXPECT_EQ(matchCaseKeepingEscapes(found, replacement), expected) << replacement;
}

TEST(SearchReplace, PreserveCaseNeverTurnsABackslashAndLetterIntoAnEscape) {
  // "\T", "\N", "\X41" and "\C" are plain text (a backslash and a capital);
  // lowered they would read as a tab, a line feed, an "A" and a control byte.
  const std::pair<std::string, std::string> cases[] = {
      {"\\Tab", "\\Tab"}, {"A\\N", "a\\N"},       {"\\X41", "\\X41"},
      {"\\Cq", "\\Cq"},   {"\\Qu\\t", "\\qu\\t"}, // no escape either way: lowered like the rest
  };
  for (const auto &[replacement, expected] : cases) {
    EXPECT_EQ(matchCaseKeepingEscapes("hello", replacement), expected) << replacement;
    auto make = [replacement = replacement] {
      return std::make_unique<WordReplace>("hello", replacement, true, false);
    };
    EXPECT_EQ(runFilesInChunks(make, {"hello"}, 0)[0], decodeEscapes(expected)) << replacement;
  }
}

TEST(SearchReplace, NoPromptWhenUnchangedComparesTheDecodedReplacement) {
  RecordingJob job;
  job.defaultReplaceAnswer = Answer::Skip;
  auto make = [] { return std::make_unique<WordReplace>("\t", "\\t", false, true, true); };
  std::string statistics;
  testing::ChunkRunOptions options;
  options.job = &job;
  options.afterRun = [&](TFilter &head) { statistics = head.getStatistics(); };
  auto outputs = runFilesInChunks(make, {"a\tb"}, 0, options);
  EXPECT_EQ(outputs[0], "a\tb");
  EXPECT_TRUE(job.replaceQuestions.empty());
  EXPECT_EQ(statistics, "1 replace(s) performed") << "counted as a replacement";
}

TEST(SearchReplace, StatisticsAndFirstMatchOnly) {
  RecordingJob job;
  job.replaceAnswers = {Answer::Replace, Answer::Skip, Answer::Replace};
  std::string shown;
  bool changed = false;
  testing::ChunkRunOptions options;
  options.job = &job;
  options.afterRun = [&](TFilter &head) {
    shown = head.getStatistics();
    changed = head.hasChanged();
  };
  auto outputs = runFilesInChunks([] { return std::make_unique<WordReplace>("x", "Y"); }, {"x x x"},
                                  0, options);
  EXPECT_EQ(outputs[0], "Y x Y");
  EXPECT_EQ(shown, "2 replace(s) performed, 1 skipped");
  EXPECT_TRUE(changed);

  auto firstOnly = [] {
    return std::make_unique<WordReplace>("x", "Y", false, false, false, true);
  };
  options.job = nullptr;
  options.afterRun = [&](TFilter &head) {
    shown = head.getStatistics();
    head.resetStatistics();
    EXPECT_EQ(head.getStatistics(), "0 replace(s) performed");
  };
  outputs = runFilesInChunks(firstOnly, {"x x", "x x"}, 0, options);
  EXPECT_EQ(outputs, (std::vector<std::string>{"Y x", "Y x"}));
  EXPECT_EQ(shown, "1 replace(s) performed, 1 skipped");
}

TEST(SearchReplace, GetReplacementChecksEscapesAndKeepsTheText) {
  WordReplace filter("x", "Y", true, false);
  std::string result;
  filter.getReplacement("new\\n", "ABC", result);
  EXPECT_EQ(result, "NEW\\n");
  EXPECT_THROW(filter.getReplacement("bad\\x4", "abc", result), Exception);
}

TEST(SearchReplace, WithoutAJobTheHostAsksOrReplaces) {
  auto outputs =
      runFilesInChunks([] { return std::make_unique<WordReplace>("x", "Y"); }, {"x x"}, 0);
  EXPECT_EQ(outputs[0], "Y Y") << "headless, nobody to ask: replace";
}

} // namespace
} // namespace marrowen
