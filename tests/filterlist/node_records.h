#pragma once

// Helpers of the node tests: one node record read as a file of a given type
// would hold it, a node's record written back, a node's filter or a whole
// list's chain run over a text.

#include "classlib/componentstream.h"
#include "classlib/exceptions.h"
#include "engine/filter.h"
#include "engine/inputs.h"
#include "engine/outputs.h"
#include "filterlist/classregistry.h"
#include "filterlist/commentnodes.h"
#include "filterlist/filterlist.h"
#include "filterlist/ionodes.h"
#include "filterlist/listobject.h"
#include "filterlist/nodecatalog.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace marrowen::testing {

// Reads one node record with the given file type; the whole record must be used.
template <class Node>
std::unique_ptr<Node> readNodeRecord(const std::string &record, int fileType) {
  registerNodeClasses();
  ComponentReader reader(record, "node.fll", globalClassRegistry());
  reader.setFileTypeRead(fileType);
  auto component = reader.readComponent();
  EXPECT_TRUE(reader.atEnd());
  auto *node = dynamic_cast<Node *>(component.get());
  EXPECT_NE(node, nullptr);
  if (node)
    component.release();
  return std::unique_ptr<Node>(node);
}

inline std::string recordOf(const StreamableComponent &node) {
  std::string out;
  ComponentWriter writer(out);
  writer.writeComponent(node);
  return out;
}

// Writes the node, reads it back as a current file and writes it again: the
// two records must be the same bytes.
template <class Node> std::unique_ptr<Node> roundTrip(const Node &node) {
  const std::string first = recordOf(node);
  auto copy = readNodeRecord<Node>(first, currentFileType);
  if (copy) {
    EXPECT_EQ(recordOf(*copy), first);
  }
  return copy;
}

inline std::string int16(int v) {
  return std::string{0x03, static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
}

inline std::string int32(std::int32_t v) {
  const auto u = static_cast<std::uint32_t>(v);
  return std::string{0x04, static_cast<char>(u & 0xFF), static_cast<char>((u >> 8) & 0xFF),
                     static_cast<char>((u >> 16) & 0xFF), static_cast<char>(u >> 24)};
}

// Runs `text` through `chain` as one file named "in.txt", in chunks of
// `chunkSize` bytes, and gives what reached its end.
inline std::string runChain(std::unique_ptr<TFilter> chain, const std::string &text,
                            std::size_t chunkSize = 4096) {
  struct Collect : TFilter {
    std::string out;
    bool processChunk(std::string &chunk) override {
      out += chunk;
      return true;
    }
  };
  auto collect = std::make_unique<Collect>();
  Collect *sink = collect.get();
  chain->lastFilter()->setNext(std::move(collect));
  chain->attachJob(nullptr);
  chain->startJob();
  chain->setInputFilename("in.txt");
  chain->reset();
  for (std::size_t pos = 0; pos < text.size(); pos += chunkSize) {
    std::string chunk = text.substr(pos, chunkSize);
    chain->processChunk(chunk);
  }
  chain->flush();
  chain->endJob();
  return sink->out;
}

// The node's filter run over `text`.
inline std::string runNode(TListObject &node, const std::string &text,
                           std::size_t chunkSize = 4096) {
  TFilterList list;
  std::unique_ptr<TFilter> filter = node.add_filter(list);
  EXPECT_NE(filter, nullptr);
  if (!filter)
    return {};
  return runChain(std::move(filter), text, chunkSize);
}

// Makes `list` [top, input, output]: files in, files out.
inline void makeList(TFilterList &list) {
  list.nodes.clear();
  list.addNode(TFilterCommentObject::CreateDefault(), 0);
  auto input = std::make_unique<TInputObject>();
  input->inputFromFile = true;
  list.addNode(std::move(input), 1);
  auto output = std::make_unique<TOutputObject>();
  output->outputToFile = 1;
  list.addNode(std::move(output), 1);
}

// Inserts `node` before the output node.
inline void addFilter(TFilterList &list, std::unique_ptr<TListObject> node, int level = 1) {
  list.insertNode(list.count() - 1, std::move(node), level, true);
}

using LevelledNodes = std::vector<std::pair<std::unique_ptr<TListObject>, int>>;

// Makes `list` [top, input, nodes..., output] with the nodes at the levels given.
inline void fillList(TFilterList &list, LevelledNodes nodes) {
  list.resetToDefault();
  int at = 2;
  for (auto &[node, level] : nodes)
    list.insertNode(at++, std::move(node), level, true);
}

// Runs the list's inner chain over `text` as one file, in chunks of
// `chunkSize` bytes.
inline std::string runList(TFilterList &list, const std::string &text,
                           std::size_t chunkSize = 4096) {
  int errorIndex = -1;
  return runChain(list.createFilters(false, true, errorIndex), text, chunkSize);
}

// Saves `list` as first.fll in `dir` and loads that file into `loaded`; gives
// the file's path.
inline std::string saveAndLoad(const TFilterList &list, const TempFolder &dir,
                               TFilterList &loaded) {
  const std::string first = dir.file("first.fll");
  list.saveToFile(first);
  loaded.loadFromFile(first);
  return first;
}

// Saves `loaded` again: the bytes must be those of `first`, the file it came from.
inline void expectSavedAgainTheSame(const TFilterList &loaded, const TempFolder &dir,
                                    const std::string &first) {
  const std::string second = dir.file("second.fll");
  loaded.saveToFile(second);
  EXPECT_EQ(readFile(second), readFile(first));
}

// Runs the list's inner chain over `text`, read by a string input the way a
// job reads a file, and gives what reached the output.
inline std::string runInnerChain(TFilterList &list, const std::string &text) {
  int errorIndex = 0;
  std::unique_ptr<TFilter> chain = list.createFilters(false, true, errorIndex);
  std::string result;
  TStringInput input("text");
  input.setText(text);
  input.setNext(std::move(chain));
  input.lastFilter()->setNext(std::make_unique<TStringOutput>(result));
  input.runInput();
  return result;
}

// The message the node raises while its filter is made, or "(built)".
inline std::string buildError(TListObject &node) {
  TFilterList list;
  try {
    node.add_filter(list);
  } catch (const Exception &e) {
    return e.message();
  }
  return "(built)";
}

// The path as the Windows program stored it: a drive and backslashes.
inline std::string windowsForm(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  return "c:" + path;
}

// The path of the filter-list fuzz seed `file` in the source tree.
inline std::string fuzzSeedPath(std::string_view file) {
  return (std::filesystem::path(MARROWEN_SOURCE_DIR) / "fuzz" /
          "corpus" / "filterlist" / file)
      .string();
}

// The stored bytes of the seed at `seed`. With MARROWEN_WRITE_FUZZ_SEEDS=1 the
// seed is first written from `bytes`: how a change of a stored layout reaches
// the corpus.
inline std::string storedFuzzSeed(const std::string &seed, const std::string &bytes) {
  if (const char *write = std::getenv("MARROWEN_WRITE_FUZZ_SEEDS"); write && *write == '1')
    writeFile(seed, bytes);
  return readFile(seed);
}

} // namespace marrowen::testing
