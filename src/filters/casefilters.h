#pragma once

#include "classlib/codepage.h"
#include "filters/bytetable.h"
#include "engine/lines.h"

#include <cstdint>
#include <memory>
#include <random>

namespace marrowen {

// The case filters read the character tables of the system code page. Each
// takes a snapshot when it is made and again at every job start, so a job
// works with one consistent set while another job may switch code pages.

// Maps every byte through one table of the code page, in place.
class TCaseTableFilter : public TFilter {
public:
  bool processChunk(std::string &chunk) override;
  void startJob() override;

protected:
  TCaseTableFilter();
  // The table to apply, made from a fresh snapshot of the character tables.
  virtual ByteTable makeTable(const CodePage &tables) const = 0;
  // Takes the snapshot; each concrete filter calls it once it is made.
  void takeTables();

private:
  ByteTable table_{};
  // Set when the table changes nothing but the ASCII letters a-z (or A-Z)
  // among the bytes below 128: ASCII runs then take a word-at-a-time path.
  enum class AsciiPath { None, Upper, Lower } asciiPath_ = AsciiPath::None;
};

class TConvertToLowerCase : public TCaseTableFilter {
public:
  TConvertToLowerCase() { takeTables(); }

protected:
  ByteTable makeTable(const CodePage &tables) const override { return tables.lowerMap(); }
};

class TConvertToUpperCase : public TCaseTableFilter {
public:
  TConvertToUpperCase() { takeTables(); }

protected:
  ByteTable makeTable(const CodePage &tables) const override { return tables.upperMap(); }
};

// An upper-case byte becomes lower case and every other byte upper case.
class TConvertToToggleCase : public TCaseTableFilter {
public:
  TConvertToToggleCase() { takeTables(); }

protected:
  ByteTable makeTable(const CodePage &tables) const override;
};

// Each byte lower or upper case by the toss of a coin. The generator is the
// filter's own, seeded from the clock at every job start, so jobs running
// side by side never share one.
class TConvertToRandomCase : public TFilter {
public:
  TConvertToRandomCase();
  bool processChunk(std::string &chunk) override;
  void startJob() override;

private:
  std::shared_ptr<const CodePage> tables_;
  std::mt19937_64 generator_;
};

// The first letter of each word upper case, the rest of the word lower case;
// digits and "_" continue a word but never begin one. State 1: in a word.
class TConvertToTitleCase : public TGenericStateMachine {
public:
  TConvertToTitleCase();
  bool processChunk(std::string &chunk) override;
  void startJob() override;

private:
  std::shared_ptr<const CodePage> tables_;
};

// The first letter of each sentence (and of each file) upper case; nothing
// is lowered. A sentence ends at one of ! " ' ( . : < ?. State 1: within a
// sentence after its first letter.
class TConvertToSentenceCase : public TGenericStateMachine {
public:
  TConvertToSentenceCase();
  bool processChunk(std::string &chunk) override;
  void startJob() override;

private:
  std::shared_ptr<const CodePage> tables_;
};

} // namespace marrowen
