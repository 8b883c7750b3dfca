#include "engine/inputs.h"

#include "classlib/exceptions.h"
#include "engine/lines.h"
#include "engine/mergesplit.h"
#include "engine/outputs.h"
#include "engine/userinterface.h"
#include "support/list_input.h"
#include "support/recording_job.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <filesystem>
#include <functional>

namespace marrowen {
namespace {

using testing::ListInput;
using testing::RecordingJob;
using testing::TempFolder;

// Records the size of every chunk it sees and may act on the n-th one.
class ChunkProbe : public TFilter {
public:
  bool processChunk(std::string &chunk) override {
    sizes.push_back(chunk.size());
    if (onChunk)
      onChunk(sizes.size());
    return sendToNext(chunk);
  }
  std::int64_t bufferedLength() override { return held; }

  std::vector<std::size_t> sizes;
  std::function<void(std::size_t chunkNumber)> onChunk;
  std::int64_t held = 0;
};

TEST(ReadLoop, ReadCountsAtChunkBoundaries) {
  struct Case {
    std::size_t length;
    int reads;
    std::vector<std::size_t> chunks;
  };
  const Case cases[] = {{0, 1, {}},
                        {4095, 1, {4095}},
                        {4096, 2, {4096}},
                        {4097, 2, {4096, 1}},
                        {8192, 3, {4096, 4096}}};
  for (const auto &c : cases) {
    auto input = std::make_unique<ListInput>(
        std::vector<std::pair<std::string, std::string>>{{"in", std::string(c.length, 'x')}});
    auto probe = std::make_unique<ChunkProbe>();
    ChunkProbe *seen = probe.get();
    std::string out;
    probe->setNext(std::make_unique<TStringOutput>(out));
    input->setNext(std::move(probe));
    input->runInput();
    EXPECT_EQ(input->reads, c.reads) << c.length << " bytes";
    EXPECT_EQ(seen->sizes, c.chunks) << c.length << " bytes";
    EXPECT_EQ(out.size(), c.length);
  }
}

// A chain of a list input over files in a folder, a probe and a file output.
struct FileChain {
  RecordingJob job;
  std::unique_ptr<ListInput> input;
  ChunkProbe *probe;

  explicit FileChain(std::vector<std::pair<std::string, std::string>> inputs) {
    input = std::make_unique<ListInput>(std::move(inputs));
    auto probeFilter = std::make_unique<ChunkProbe>();
    probe = probeFilter.get();
    probeFilter->setNext(std::make_unique<TFileOutput>());
    input->setNext(std::move(probeFilter));
    input->attachJob(&job);
  }
};

TEST(ReadLoop, AbortInTheMiddleOfAFileLeavesTheTargetAndNoTemporaryFile) {
  TempFolder folder;
  testing::writeFile(folder.file("a.txt"), "original");
  FileChain chain({{folder.file("a.txt"), std::string(3 * 4096, 'n')}});
  chain.probe->onChunk = [&](std::size_t) { chain.job.terminate(); };
  chain.input->runInput();
  EXPECT_EQ(chain.probe->sizes.size(), 1u) << "stops before the next chunk";
  EXPECT_EQ(testing::readFile(folder.file("a.txt")), "original");
  EXPECT_EQ(folder.listing(), "a.txt");
}

TEST(ReadLoop, AStreamErrorAbandonsOnlyItsInput) {
  TempFolder folder;
  testing::writeFile(folder.file("a.txt"), "original a");
  testing::writeFile(folder.file("b.txt"), "original b");
  FileChain chain(
      {{folder.file("a.txt"), std::string(3 * 4096, 'n')}, {folder.file("b.txt"), "new b"}});
  chain.probe->onChunk = [](std::size_t n) {
    if (n == 2)
      throw EStreamError("disk gone");
  };
  chain.input->runInput();
  EXPECT_EQ(chain.job.errors, std::vector<std::string>{"disk gone"});
  EXPECT_EQ(testing::readFile(folder.file("a.txt")), "original a");
  EXPECT_EQ(testing::readFile(folder.file("b.txt")), "new b");
  EXPECT_EQ(folder.listing(), "a.txt b.txt");
}

// The first file's last chunk ends in a CR, then its reading fails: the
// next file's leading LF is a line end of its own, not the CR's partner.
TEST(ReadLoop, AFileAbandonedAfterACarriageReturnLeavesNoneForTheNext) {
  RecordingJob job;
  ListInput input({{"a", std::string(4095, 'x') + "\r" + "more"}, {"b", "\nb\n"}});
  auto probe = std::make_unique<ChunkProbe>();
  probe->onChunk = [](std::size_t n) {
    if (n == 2)
      throw EStreamError("disk gone");
  };
  std::string out;
  probe->setNext(std::make_unique<TProcessLines>());
  probe->lastFilter()->setNext(std::make_unique<TStringOutput>(out));
  input.setNext(std::move(probe));
  input.attachJob(&job);
  input.runInput();
  EXPECT_EQ(job.errors, std::vector<std::string>{"disk gone"});
  EXPECT_EQ(out, "\nb\n");
}

// Part of the input's text would pass for all of it: what the append added
// goes, though the write buffer had gone out in blocks already.
TEST(ReadLoop, AStreamErrorInAppendModeTakesBackWhatWasAppended) {
  TempFolder folder;
  testing::writeFile(folder.file("log.txt"), "before\n");
  RecordingJob job;
  ListInput input({{folder.file("log.txt"), std::string(20 * 4096, 'n')}});
  auto probe = std::make_unique<ChunkProbe>();
  probe->onChunk = [](std::size_t n) {
    if (n == 10)
      throw EStreamError("disk gone");
  };
  probe->setNext(std::make_unique<TFileOutput>(TFileOutput::Options{.append = true}));
  input.setNext(std::move(probe));
  input.attachJob(&job);
  input.runInput();
  EXPECT_EQ(testing::readFile(folder.file("log.txt")), "before\n");
  EXPECT_NE(
      std::find(job.logLines.begin(), job.logLines.end(),
                "File [" + folder.file("log.txt") + "] was cut back to the 7 bytes it held before"),
      job.logLines.end());
  EXPECT_EQ(folder.listing(), "log.txt");
}

// A stop from deep inside a filter (a long match) and a failing filter both
// end the job before its end: whatever the output, no temporary file stays,
// and the merged file's target is not written.
TEST(ReadLoop, AJobEndedByAnExceptionLeavesNoTemporaryFileForAnyOutput) {
  for (int kind = 0; kind < 8; ++kind) {
    const bool stop = kind >= 4; // in place, output folder, merged, split
    SCOPED_TRACE(kind);
    TempFolder folder;
    const std::string out = folder.file("out/");
    testing::writeFile(folder.file("b.txt"), "original b");
    std::filesystem::create_directory(out);
    FileChain chain(
        {{folder.file("a.txt"), std::string(3 * 4096, 'a')}, {folder.file("b.txt"), "bbbb"}});
    auto output = std::make_unique<TFileOutput>(
        TFileOutput::Options{.useOutputFolder = kind % 4 != 0, .outputFolder = out});
    std::unique_ptr<TFilter> tail = std::move(output);
    if (kind % 4 >= 2) {
      tail = kind % 4 == 2 ? std::unique_ptr<TFilter>(std::make_unique<TMergeFiles>(out + "all"))
                           : std::make_unique<TSplitAtSize>(5000);
      tail->setNext(std::make_unique<TFileOutput>());
    }
    chain.probe->setNext(std::move(tail));
    chain.probe->onChunk = [&](std::size_t n) {
      if (n < 4)
        return;
      if (!stop)
        throw Exception("filter failed");
      chain.job.terminate();
      throw EAbort();
    };
    EXPECT_THROW(chain.input->runInput(), Exception);
    for (const auto &entry : std::filesystem::recursive_directory_iterator(folder.path()))
      EXPECT_FALSE(entry.path().filename().string().starts_with("KVB")) << entry.path();
    EXPECT_EQ(testing::readFile(folder.file("b.txt")), "original b");
    EXPECT_FALSE(testing::fileExists(out + "all"));
  }
}

TEST(ReadLoop, ARunningChainRefusesToRunAgain) {
  TempFolder folder;
  FileChain chain({{folder.file("a.txt"), "text"}});
  std::string refusal;
  chain.probe->onChunk = [&](std::size_t) {
    try {
      chain.input->runInput();
    } catch (const Exception &e) {
      refusal = e.message();
    }
  };
  chain.input->runInput();
  EXPECT_FALSE(refusal.empty());
  EXPECT_EQ(testing::readFile(folder.file("a.txt")), "text");
}

// What the chain holds back (a sort holds the whole file) is not done yet;
// holding more than was read leaves the bar at 0, not below.
TEST(ReadLoop, ProgressLeavesOutWhatTheChainHolds) {
  TempFolder folder;
  for (const std::int64_t held : {std::int64_t{2000}, std::int64_t{1} << 20}) {
    FileChain chain({{folder.file("a.txt"), std::string(10000, 'n')}});
    chain.probe->held = held;
    chain.input->runInput();
    chain.probe->held = 0;
    const std::vector<int> shown =
        held == 2000 ? std::vector<int>{0, 20, 61, 80} : std::vector<int>{0, 0, 0, 0};
    EXPECT_EQ(chain.job.fileProgress, shown);
    EXPECT_EQ(chain.job.processedFiles, 1);
  }
}

TEST(ReadLoop, ProgressCountsWhatWasPassedOn) {
  TempFolder folder;
  FileChain chain({{folder.file("a.txt"), std::string(8192, 'n')}});
  chain.input->runInput();
  EXPECT_EQ(chain.job.fileProgress, (std::vector<int>{0, 50, 100, 100}));
  EXPECT_EQ(chain.job.argumentsOf("setStatusFileName"),
            std::vector<std::string>{folder.file("a.txt")});
}

TEST(StringInput, TheTextIsConsumedByARun) {
  std::string out;
  TStringInput input("typed");
  input.setNext(std::make_unique<TStringOutput>(out));
  EXPECT_EQ(input.getInputFilename(), "typed");
  EXPECT_EQ(input.getFullInputFilename(), "typed");
  std::string text(5000, 'a');
  input.setText(text);
  input.runInput();
  EXPECT_EQ(out, text);
  input.runInput();
  EXPECT_EQ(out, "") << "a second run without setText delivers nothing";
  input.setText("again");
  input.runInput();
  EXPECT_EQ(out, "again");
}

TEST(StringInput, ReportsToItsJob) {
  RecordingJob job;
  std::string out;
  TStringInput input("typed");
  input.setNext(std::make_unique<TStringOutput>(out));
  input.setText("abc");
  input.attachJob(&job);
  input.runInput();
  EXPECT_EQ(job.inputFiles,
            (std::vector<std::pair<std::string, std::int64_t>>{{"Trial Input", 3}}));
  EXPECT_EQ(job.argumentsOf("setStatusText"),
            std::vector<std::string>{"Processing trial run input..."});
  EXPECT_EQ(job.argumentsOf("setStatusFileName"), std::vector<std::string>{"Trial Input"});
}

TEST(ClipboardInput, ReadsTheClipboardOnceAndWritesItBack) {
  setUserInterface(nullptr);
  setClipboardText(std::string(5000, 'c'));
  RecordingJob job;
  TClipboardInput input;
  auto probe = std::make_unique<ChunkProbe>();
  ChunkProbe *seen = probe.get();
  probe->setNext(std::make_unique<TClipboardOutput>());
  input.setNext(std::move(probe));
  input.attachJob(&job);
  input.runInput();
  EXPECT_EQ(seen->sizes, (std::vector<std::size_t>{4096, 904}));
  EXPECT_EQ(userInterface()->clipboardText(), std::string(5000, 'c'));
  EXPECT_EQ(job.argumentsOf("toggleClipboardButton").size(), 1u);
  EXPECT_EQ(job.outputFiles,
            (std::vector<std::pair<std::string, std::int64_t>>{{"Clipboard", 5000}}));
  EXPECT_GE(job.synchronizedCalls, 2) << "the clipboard is reached on the user-interface thread";
  EXPECT_EQ(job.argumentsOf("setStatusText"), std::vector<std::string>{"Processing clipboard..."});
}

// With no clipboard another program shares, a clipboard job reads nothing and
// writes nothing and says why; a job that fails, that way or in a filter,
// still gives the window's clipboard button back, once.
TEST(ClipboardInput, NoSharedClipboardRunsNothingAndAnyEndGivesTheButtonBack) {
  struct Unshared : HeadlessUserInterface {
    bool hasSharedClipboard() override { return false; }
  };
  struct Failing : TFilter {
    bool processChunk(std::string &) override { throw Exception("failed"); }
  };
  auto unshared = std::make_shared<Unshared>();
  setUserInterface(unshared);
  unshared->setClipboardText("kept");
  for (bool fromClipboard : {true, false}) {
    RecordingJob job;
    std::unique_ptr<TGenericInput> input;
    if (fromClipboard)
      input = std::make_unique<TClipboardInput>();
    else
      input = std::make_unique<ListInput>(
          std::vector<std::pair<std::string, std::string>>{{"x", "text"}});
    input->setNext(std::make_unique<TClipboardOutput>());
    input->attachJob(&job);
    input->runInput();
    ASSERT_EQ(job.errors.size(), 1u);
    EXPECT_NE(job.errors[0].find(fromClipboard ? "no clipboard to read the input from"
                                               : "no clipboard to put the output on"),
              std::string::npos)
        << job.errors[0];
    EXPECT_EQ(job.argumentsOf("toggleClipboardButton").size(), fromClipboard ? 1u : 0u);
    EXPECT_TRUE(job.outputFiles.empty());
    EXPECT_EQ(unshared->clipboardText(), "kept");
  }
  setUserInterface(nullptr);
  setClipboardText("text");
  RecordingJob job;
  TClipboardInput input;
  input.setNext(std::make_unique<Failing>());
  input.attachJob(&job);
  EXPECT_THROW(input.runInput(), Exception);
  EXPECT_EQ(job.argumentsOf("toggleClipboardButton").size(), 1u);
}

TEST(ClipboardOutput, StopsAtTheFirstNul) {
  setUserInterface(nullptr);
  TStringInput input("typed");
  input.setNext(std::make_unique<TClipboardOutput>());
  input.setText(std::string("before\0after", 12));
  input.runInput();
  EXPECT_EQ(userInterface()->clipboardText(), "before");
}

TEST(AdhocOutput, ShowsTheTrialOutputThroughTheJob) {
  RecordingJob job;
  std::string shown;
  TStringInput input("trial");
  auto output = std::make_unique<TAdhocOutput>([&](const std::string &text) { shown = text; });
  TAdhocOutput *adhoc = output.get();
  input.setNext(std::move(output));
  input.setText("trial text");
  input.attachJob(&job);
  input.runInput();
  EXPECT_EQ(shown, "trial text");
  EXPECT_EQ(adhoc->result(), "trial text");
  EXPECT_EQ(job.argumentsOf("logOutputFile"), std::vector<std::string>{"Trial Run"});
}

} // namespace
} // namespace marrowen
