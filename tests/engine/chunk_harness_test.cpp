#include "support/chunk_harness.h"

#include <gtest/gtest.h>

namespace marrowen {
namespace {

using testing::isChunkInvariant;
using testing::runFilesInChunks;

// Marks every chunk it sees: its output depends on how the input is cut.
class ChunkMarker : public TFilter {
public:
  bool processChunk(std::string &chunk) override {
    chunk += "|";
    return sendToNext(chunk);
  }
};

TEST(ChunkHarness, CatchesAFilterThatDependsOnChunkBoundaries) {
  auto marker = [] { return std::make_unique<ChunkMarker>(); };
  auto result = isChunkInvariant(marker, "abcdefghij");
  EXPECT_FALSE(result);
  EXPECT_NE(std::string(result.message()).find("byte by byte"), std::string::npos)
      << result.message();
  // A single short chunk gives the same result every way.
  EXPECT_TRUE(isChunkInvariant(marker, "a"));
}

TEST(ChunkHarness, PassesEveryControlCallPerInput) {
  struct Framer : TFilter {
    void startFile() override { started = true; }
    void endFile() override {
      std::string end = started ? "]" : "?";
      sendToNext(end);
    }
    bool started = false;
  };
  auto framer = [] { return std::make_unique<Framer>(); };
  EXPECT_EQ(runFilesInChunks(framer, {"", "x"}, 1), (std::vector<std::string>{"]", "x]"}));
  EXPECT_EQ(testing::printable(std::string("a\r\n\0\xff", 5)), "a\\r\\n\\x00\\xff");
}

} // namespace
} // namespace marrowen
