#include "engine/lines.h"

#include "support/awkward_text.h"
#include "support/chunk_harness.h"
#include "support/filter_fixtures.h"

#include <gtest/gtest.h>

#include <random>

namespace marrowen {
namespace {

using testing::expectChunkInvariant;
using testing::printable;
using testing::runFilesInChunks;
using testing::runInChunks;

// Shows each line as "number:line|end;" so the tests see the (line, end)
// sequence and the line counter.
class LineShower : public TProcessLines {
public:
  void processLine(std::string_view lineEnd) override {
    std::string shown = std::to_string(lineCounter_) + ":" + printable(currentLine_) + "|" +
                        printable(lineEnd) + ";";
    sendToNext(shown);
  }
};

testing::FilterFactory shower() {
  return [] { return std::make_unique<LineShower>(); };
}

// Refuses every chunk: the input should stop reading. Keeps what it is given.
class Refuser : public TFilter {
public:
  bool processChunk(std::string &chunk) override {
    got += chunk;
    return false;
  }
  std::string got;
};

// A filter that sends line by line must not swallow its successor's "stop".
TEST(LineCutting, AStopFromAfterTheLineFilterReachesTheInput) {
  LineShower lines;
  lines.setNext(std::make_unique<Refuser>());
  lines.reset();
  std::string chunk = "a\nb\n";
  EXPECT_FALSE(lines.processChunk(chunk));
  EXPECT_FALSE(lines.putLine("c", "\n"));
  lines.reset();
  std::string partial = "no line end yet";
  EXPECT_TRUE(lines.processChunk(partial)) << "nothing was sent, so nothing said stop";
  // A long line goes on in pieces, each whatever the one before was answered,
  // as the whole line would have gone; the stop still comes back.
  TextPieceSizeForTests pieces(2);
  TProcessLines plain;
  auto refuser = std::make_unique<Refuser>();
  Refuser &seen = *refuser;
  plain.setNext(std::move(refuser));
  plain.reset();
  std::string longLine = "abcde\n";
  EXPECT_FALSE(plain.processChunk(longLine));
  std::string scratch;
  EXPECT_FALSE(plain.sendCopyToNext("fghij", scratch));
  EXPECT_EQ(seen.got, "abcde\nfghij");
}

TEST(LineCutting, SameLinesAtEverySplitPoint) {
  const std::string text = "a\r\nb\rc\n\r\rd";
  const std::string expected = "1:a|\\r\\n;2:b|\\r;3:c|\\n;4:|\\r;5:|\\r;6:d|;";
  EXPECT_EQ(expectChunkInvariant(shower(), text), expected);
  for (std::size_t cut = 0; cut <= text.size(); ++cut) {
    std::string out;
    LineShower filter;
    filter.setNext(std::make_unique<testing::StringSink>(out));
    filter.reset();
    for (std::string piece : {text.substr(0, cut), text.substr(cut)})
      if (!piece.empty())
        filter.processChunk(piece);
    filter.flush();
    EXPECT_EQ(out, expected) << "cut at " << cut;
  }
}

// The lines of a whole text, cut the simple way, in LineShower's form.
std::string referenceLines(const std::string &text) {
  std::string out;
  std::string line;
  int number = 1;
  auto emit = [&](std::string_view end) {
    out += std::to_string(number++) + ":" + printable(line) + "|" + printable(end) + ";";
    line.clear();
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n')
      emit("\n");
    else if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
      emit("\r\n"), ++i;
    else if (text[i] == '\r')
      emit("\r");
    else
      line += text[i];
  }
  if (!line.empty())
    emit("");
  return out;
}

TEST(LineCutting, RandomTextsMatchASimpleCutterInEveryChunking) {
  std::mt19937 random(12345);
  const char alphabet[] = {'a', 'b', '\r', '\n'};
  for (int round = 0; round < 300; ++round) {
    std::string text(random() % 40, ' ');
    for (char &c : text)
      c = alphabet[random() % 4];
    EXPECT_EQ(expectChunkInvariant(shower(), text), referenceLines(text)) << printable(text);
  }
}

TEST(LineCutting, LineEndsAtTheEndOfAFile) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},                           // an empty file emits nothing
      {"\n", "1:|\\n;"},                  // one empty line
      {"x\r", "1:x|\\r;"},                // a lone CR at the end
      {"\r", "1:|\\r;"},                  //
      {"last", "1:last|;"},               // no final line end
      {"a\n\nb", "1:a|\\n;2:|\\n;3:b|;"}, //
      {"a\r\n", "1:a|\\r\\n;"},           //
      {std::string("n\0l\n", 4), "1:n\\x00l|\\n;"},
  };
  for (const auto &[text, expected] : cases)
    EXPECT_EQ(expectChunkInvariant(shower(), text), expected) << printable(text);
}

TEST(LineCutting, ChunkInvariantOnAwkwardTexts) { testing::expectSoundOnAwkwardTexts(shower()); }

TEST(LineCutting, EachFileStartsAfreshWithoutAPendingCr) {
  auto files = runFilesInChunks(shower(), {"a\r", "\nb"}, 1);
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[0], "1:a|\\r;");
  EXPECT_EQ(files[1], "1:|\\n;2:b|;");
}

TEST(LineCutting, LongLinesGrowAcrossChunksAndCountAsBuffered) {
  LineShower filter;
  filter.reset();
  std::string chunk(5000, 'x');
  filter.processChunk(chunk);
  EXPECT_EQ(filter.bufferedLength(), 5000);
  chunk = std::string(3000, 'y') + "\r";
  filter.processChunk(chunk);
  EXPECT_EQ(filter.bufferedLength(), 8000);
  std::string text(10000, 'z');
  text[4096] = '\n';
  EXPECT_EQ(runInChunks(shower(), text, 7), runInChunks(shower(), text, 0));
}

TEST(LineCutting, PutLineWhileAPartialLineIsHeldLosesNothing) {
  // A line filter that takes lines whole from another line filter, after
  // raw bytes left it holding "a" (or a CR).
  auto feed = [](std::string first, std::string_view line, std::string_view end) {
    std::string out;
    LineShower filter;
    filter.setNext(std::make_unique<testing::StringSink>(out));
    filter.reset();
    if (!first.empty())
      filter.processChunk(first);
    filter.putLine(line, end);
    filter.flush();
    return out;
  };
  EXPECT_EQ(feed("", "whole", "\n"), "1:whole|\\n;");
  EXPECT_EQ(feed("a", "b", "\n"), "1:ab|\\n;");
  EXPECT_EQ(feed("a\r", "b", "\r\n"), "1:a|\\r;2:b|\\r\\n;");
  EXPECT_EQ(feed("a", "b", ""), "1:ab|;");
}

TEST(LineCutting, BaseProcessLinePassesLinesOnWhole) {
  auto plain = [] {
    auto first = std::make_unique<TProcessLines>();
    first->setNext(std::make_unique<LineShower>());
    return std::unique_ptr<TFilter>(std::move(first));
  };
  EXPECT_EQ(expectChunkInvariant(plain, "a\r\nb\rc"), "1:a|\\r\\n;2:b|\\r;3:c|;");
}

} // namespace
} // namespace marrowen
