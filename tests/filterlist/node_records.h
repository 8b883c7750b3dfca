#pragma once

// Helpers of the node tests: one node record read as a file of a given type
// would hold it, a node's record written back, and a node's filter run over
// a text.

#include "classlib/exceptions.h"
#include "engine/filter.h"
#include "filterlist/componentstream.h"
#include "filterlist/filterlist.h"
#include "filterlist/listobject.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

namespace marrowen::testing {

// Reads one node record with the given file type; the whole record must be used.
template <class Node>
std::unique_ptr<Node> readNodeRecord(const std::string &record, int fileType) {
  registerNodeClasses();
  ComponentReader reader(record, "node.fll");
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

} // namespace marrowen::testing
