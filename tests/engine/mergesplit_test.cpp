#include "engine/mergesplit.h"

#include "classlib/codepage.h"
#include "classlib/exceptions.h"
#include "classlib/utf8.h"
#include "engine/escapes.h"
#include "engine/lines.h"
#include "support/awkward_text.h"
#include "support/chunk_harness.h"
#include "support/list_input.h"
#include "support/recording_job.h"
#include "support/temp_folder.h"
#include "support/utf8_corpus.h"

#include <gtest/gtest.h>

#include <functional>

namespace marrowen {
namespace {

using testing::chunkSplits;
using testing::ListInput;
using testing::readFile;
using testing::RecordingJob;
using testing::runFilesInChunks;
using testing::TempFolder;
using testing::writeFile;

using Parts = std::vector<std::string>;

// The parts a splitter makes of `text`, the same however the text is cut.
Parts partsOf(const testing::FilterFactory &make, const std::string &text) {
  Parts whole = runFilesInChunks(make, {text}, 0);
  for (std::size_t split : chunkSplits)
    EXPECT_EQ(runFilesInChunks(make, {text}, split), whole) << "cut in pieces of " << split;
  return whole;
}

TEST(SplitAtSize, AFullPartIsClosedAtOnce) {
  auto split10 = [] { return std::make_unique<TSplitAtSize>(10); };
  EXPECT_EQ(partsOf(split10, std::string(20, 'a')),
            (Parts{std::string(10, 'a'), std::string(10, 'a'), ""}));
  std::string text = "0123456789abcdefghijABCDE";
  EXPECT_EQ(partsOf(split10, text), (Parts{"0123456789", "abcdefghij", "ABCDE"}));
  EXPECT_EQ(partsOf(split10, "short"), (Parts{"short"}));
}

TEST(SplitAtSize, ASizeBelowOneIsRefused) {
  EXPECT_THROW(TSplitAtSize(0), Exception);
  EXPECT_THROW(TSplitAtSize(-5), Exception);
}

TEST(SplitAtChar, ModesAndCounts) {
  struct Case {
    int mode;
    int count;
    const char *text;
    Parts parts;
  };
  const Case cases[] = {
      {0, 1, "a;b", {"a", ";b"}}, // the character begins the next part
      {1, 1, "a;b", {"a;", "b"}}, // it ends the current part
      {2, 1, "a;b", {"a", "b"}},  // it is dropped
      {1, 2, "a;b;c;d", {"a;b;", "c;d"}}, {0, 2, "a;b;c;d;e", {"a;b", ";c;d", ";e"}},
      {1, 0, "a;b", {"a;", "b"}}, // a count below 1 counts as 1
      {1, 1, "a;", {"a;", ""}},
  };
  for (const auto &c : cases) {
    auto make = [&] { return std::make_unique<TSplitAtChar>(';', c.mode, c.count); };
    EXPECT_EQ(partsOf(make, c.text), c.parts) << "mode " << c.mode << " count " << c.count;
  }
}

// A character of 128 or more chosen by its code splits at that character
// written in UTF-8 or as the code page's byte, never at a byte within
// another character, as Python finds the character in the text read as UTF-8
// with every other byte the code page's. UTF-8 text gives UTF-8 parts.
TEST(SplitAtChar, ACharacterAbove127IsTheSameCharacterInUtf8AndTheCodePage) {
  const std::string model = R"py(import sys
t = sys.stdin.buffer.read().decode("utf-8", "surrogateescape")
def character(b):
    try:
        return bytes([b]).decode("cp1252")
    except UnicodeDecodeError:
        return chr(b)
cases = []
for b in range(128, 256):
    forms = (character(b), chr(0xDC00 + b))
    mode, count = b % 3, 1 + b % 2
    parts, part, seen = [], "", 0
    for c in t:
        if c in forms:
            seen += 1
            if seen == count:
                seen = 0
                parts.append(part + c if mode == 1 else part)
                part = c if mode == 0 else ""
                continue
        part += c
    parts.append(part)
    cases.append("\0".join(parts))
sys.stdout.buffer.write("\1".join(cases).encode("utf-8", "surrogateescape"))
)py";
  auto cut = [](std::string_view text, char at) {
    Parts pieces(1);
    for (char c : text)
      if (c == at)
        pieces.emplace_back();
      else
        pieces.back().push_back(c);
    return pieces;
  };
  std::string utf8Text = "Cæsar\n";
  for (const std::string &line : testing::utf8CorpusLines())
    utf8Text += line + "\n";
  std::string everyCharacter;
  for (int b = 0x80; b <= 0xFF; ++b)
    everyCharacter += std::string(1, static_cast<char>(b)) + (b % 16 == 15 ? "\r\n" : " ");
  utf8Text += charTables()->toUtf8(everyCharacter);
  for (const std::string &text : {utf8Text, testing::windows1252HighBytes()}) {
    const auto expected = testing::pythonOutput(model, text);
    if (!expected)
      GTEST_SKIP() << "python3 cannot be run here: the comparison is skipped";
    const Parts cases = cut(*expected, '\1');
    ASSERT_EQ(cases.size(), 128u);
    for (int b = 0x80; b <= 0xFF; ++b) {
      auto make = [b] {
        return std::make_unique<TSplitAtChar>(static_cast<char>(b), b % 3, 1 + b % 2);
      };
      const Parts parts = partsOf(make, text);
      EXPECT_EQ(parts, cut(cases[b - 0x80], '\0')) << "character " << b;
      for (const std::string &part : parts)
        EXPECT_TRUE(text != utf8Text || utf8::isValid(part)) << "character " << b;
    }
  }
}

TEST(SplitFiles, PartsAreTheSameHoweverTheInputIsCutAndLoseNothing) {
  struct Case {
    testing::FilterFactory make;
    bool dropsNul; // mode 2 at every NUL: the parts hold the text without them
  };
  const Case cases[] = {
      {[] { return std::make_unique<TSplitAtSize>(4096); }, false},
      {[] { return std::make_unique<TSplitAtSize>(7); }, false},
      {[] { return std::make_unique<TSplitAtChar>('\r', 0, 1); }, false},
      {[] { return std::make_unique<TSplitAtChar>('\r', 1, 2); }, false},
      {[] { return std::make_unique<TSplitAtChar>('\0', 2, 1); }, true},
  };
  for (const auto &text : testing::awkwardAndEdgeTexts())
    for (const auto &c : cases) {
      std::string joined;
      for (const auto &part : partsOf(c.make, text))
        joined += part;
      std::string expected = text;
      if (c.dropsNul)
        std::erase(expected, '\0');
      EXPECT_EQ(joined, expected) << testing::printable(text.substr(0, 40));
    }
}

TEST(SplitFiles, PartsAreNamedAfterTheInputsTargetAndNoneReplacesAnother) {
  struct Case {
    FileOutputOptions options;
    const char *listing;
  };
  const Case cases[] = {
      {{}, "in.csv.000 in.csv.001 in.csv.002"},
      // A changed extension once named every part in.txt, each replacing the last.
      {{.changeExtension = true, .newExtension = "txt"}, "in.txt.000 in.txt.001 in.txt.002"},
      {{.testMode = true}, "in.csv.000.dCv in.csv.001.dCv in.csv.002.dCv"},
  };
  for (const Case &c : cases) {
    TempFolder folder;
    ListInput input({{folder.file("in.csv"), "0123456789abcdefghijxxxxx"}});
    input.setNext(std::make_unique<TSplitAtSize>(10));
    input.lastFilter()->setNext(std::make_unique<TFileOutput>(c.options));
    input.runInput();
    const std::string listing = c.listing;
    EXPECT_EQ(folder.listing(), listing);
    const std::string first = listing.substr(0, listing.find(' '));
    EXPECT_EQ(input.outputTarget(folder.file("in.csv")).fileName, folder.file(first));
    EXPECT_EQ(readFile(folder.file(first)), "0123456789");
    EXPECT_EQ(readFile(folder.file(listing.substr(listing.rfind(' ') + 1))), "xxxxx");
  }
}

// An input that fails (a read error, or another program changing it) or is
// stopped after some of its parts were written leaves none of them, and the
// files that held those names stay as they were; the inputs around it keep
// theirs. Parts appended to their files are cut back, and a merged file
// takes back every part of the input, not only its last.
TEST(SplitFiles, AnInputThatFailsOrIsStoppedHalfWayLeavesNoneOfItsParts) {
  struct Meddled : ListInput {
    using ListInput::ListInput;
    std::function<void()> atChunk20;
    std::int64_t readChunk(std::string &chunk) override {
      if (currentInputName().ends_with("b.txt") && ++bChunks == 20)
        atChunk20();
      return ListInput::readChunk(chunk);
    }
    int bChunks = 0;
  };
  enum Kind { Files, Appended, Merged };
  for (const Kind kind : {Files, Appended, Merged})
    for (const bool stop : {false, true}) {
      SCOPED_TRACE(std::to_string(kind) + (stop ? " stopped" : " failed"));
      TempFolder folder;
      writeFile(folder.file("b.txt.001"), "an earlier run's part");
      RecordingJob job;
      Meddled input({{folder.file("a.txt"), "one"},
                     {folder.file("b.txt"), std::string(100000, 'b')},
                     {folder.file("c.txt"), "three"}});
      input.atChunk20 = [&] {
        if (stop)
          job.terminate();
        else
          throw EStreamError("read failed");
      };
      input.setNext(std::make_unique<TSplitAtSize>(10000));
      if (kind == Merged)
        input.lastFilter()->setNext(std::make_unique<TMergeFiles>(folder.file("merged.txt")));
      input.lastFilter()->setNext(
          std::make_unique<TFileOutput>(FileOutputOptions{.append = kind == Appended}));
      input.attachJob(&job);
      input.runInput();
      if (kind == Merged) {
        EXPECT_EQ(folder.listing(), stop ? "b.txt.001" : "b.txt.001 merged.txt");
        const std::string merged = readFile(folder.file("merged.txt"));
        EXPECT_TRUE(merged == (stop ? "" : "onethree")) << merged.size() << " bytes";
      } else {
        EXPECT_EQ(folder.listing(), stop ? "a.txt.000 b.txt.001" : "a.txt.000 b.txt.001 c.txt.000");
        EXPECT_EQ(job.argumentsOf("logOutputFile").size(), stop ? 1u : 2u);
      }
      EXPECT_TRUE(readFile(folder.file("b.txt.001")) == "an earlier run's part");
      EXPECT_EQ(job.errors,
                stop ? std::vector<std::string>{} : std::vector<std::string>{"read failed"});
    }
}

TEST(MergeFiles, ThreeInputsInInputOrderIntoOneFile) {
  TempFolder folder;
  for (const char *name : {"a.txt", "b.txt", "c.txt"})
    writeFile(folder.file(name), "input");
  writeFile(folder.file("merged.txt"), "old merged");

  // Filters before the merge see each input's own name.
  struct NameTagger : TFilter {
    bool processChunk(std::string &chunk) override {
      chunk = getInputFilename() + ":" + chunk;
      return sendToNext(chunk);
    }
  };
  RecordingJob job;
  ListInput input({{folder.file("a.txt"), "one\n"},
                   {folder.file("b.txt"), std::string(5000, '2') + "\n"},
                   {folder.file("c.txt"), "three\n"}});
  input.setNext(std::make_unique<NameTagger>());
  input.lastFilter()->setNext(std::make_unique<TMergeFiles>(folder.file("merged.txt")));
  input.lastFilter()->setNext(std::make_unique<TFileOutput>());
  input.attachJob(&job);
  input.runInput();

  EXPECT_EQ(readFile(folder.file("merged.txt")), "a.txt:one\nb.txt:" + std::string(4096, '2') +
                                                     "b.txt:" + std::string(904, '2') +
                                                     "\nc.txt:three\n");
  EXPECT_EQ(job.argumentsOf("logOutputFile"), std::vector<std::string>{folder.file("merged.txt")});
  EXPECT_EQ(folder.listing(), "a.txt b.txt c.txt merged.txt");
  EXPECT_EQ(readFile(folder.file("a.txt")), "input");
  EXPECT_TRUE(job.errors.empty());
}

// A read that fails half-way through the middle input, after a few chunks
// (still in the write buffer) or after many (already on disk), also after a
// line cutter before the merge has passed a long line on, which goes to the
// file without the write buffer.
TEST(MergeFiles, AnInputThatFailsHalfWayLeavesNoneOfItsTextInTheMergedFile) {
  struct FailingRead : ListInput {
    using ListInput::ListInput;
    int failAt = 0;
    std::int64_t readChunk(std::string &chunk) override {
      if (currentInputName().ends_with("b.txt") && --failAt == 0)
        throw EStreamError("read failed");
      return ListInput::readChunk(chunk);
    }
  };
  for (bool append : {false, true})
    for (int failAt : {3, 20, 40}) {
      TempFolder folder;
      writeFile(folder.file("merged.txt"), append ? "old\n" : "");
      RecordingJob job;
      FailingRead input(
          {{folder.file("a.txt"), "one\n"},
           {folder.file("b.txt"), std::string(100000, 'b') + "\n" + std::string(100000, 'b')},
           {folder.file("c.txt"), "three\n"}});
      input.failAt = failAt;
      if (failAt == 40)
        input.setNext(std::make_unique<TProcessLines>());
      input.lastFilter()->setNext(std::make_unique<TMergeFiles>(folder.file("merged.txt")));
      input.lastFilter()->setNext(
          std::make_unique<TFileOutput>(FileOutputOptions{.append = append}));
      input.attachJob(&job);
      input.runInput();
      const std::string merged = readFile(folder.file("merged.txt"));
      EXPECT_TRUE(merged == (append ? "old\n" : "") + std::string("one\nthree\n"))
          << "append " << append << " failing at read " << failAt << ": " << merged.size()
          << " bytes";
      EXPECT_EQ(job.errors, std::vector<std::string>{"read failed"});
    }
}

TEST(MergeFiles, AnAbortedJobLeavesTheMergedTargetAsItWas) {
  TempFolder folder;
  writeFile(folder.file("merged.txt"), "old merged");
  RecordingJob job;
  ListInput input({{folder.file("a.txt"), "one"}, {folder.file("b.txt"), "two"}});
  input.setNext(std::make_unique<TMergeFiles>(folder.file("merged.txt")));
  input.lastFilter()->setNext(std::make_unique<TFileOutput>());
  input.attachJob(&job);
  job.terminate();
  input.runInput();
  EXPECT_EQ(readFile(folder.file("merged.txt")), "old merged");
  EXPECT_EQ(folder.listing(), "merged.txt");
}

} // namespace
} // namespace marrowen
