#pragma once

#include "filterlist/listobject.h"
#include "filterlist/nodefields.h"

#include <cstdint>
#include <span>
#include <string>

namespace marrowen {

// Where a list's text comes from: the files of the list's files grid, or the
// clipboard. Always enabled, whatever is stored.
class TInputObject : public TListObject {
public:
  bool promptEachFile = false;
  // 0 process binary files, 1 skip them, 2 ask for each.
  std::int32_t skipBinary = 0;
  bool inputFromFile = false;
  // Bytes examined to decide whether a file is binary.
  std::int32_t binarySampleSize = 0;
  bool promptOnReadOnly = false;
  bool deleteInput = false;

  // A new node from the remembered defaults; it never starts deleting inputs.
  // The stored fields, in stored order.
  static std::span<const NodeField<TInputObject>> fields();
  static std::unique_ptr<TInputObject> CreateDefault();
  void rememberDefaults() const override;

  int iconIndex() const override { return inputFromFile ? 14 : 13; }
  bool getEnabled() const override { return true; }
  bool automationCheck(const ConfirmPrompt &ask) override;
  std::string getTitle() const override;
  std::string printText(std::string_view indent) const override;
  std::string generateCmdLine() const override;
  std::unique_ptr<TFilter> add_this_filter(TFilterList &list) override;

  std::string_view className() const override { return "TInputObject"; }
  std::string_view definedPropertyName() const override { return "InputObject"; }
  void writeData(ComponentWriter &writer) const override;
  void readData(ComponentReader &reader) override;
};

// Where a list's result goes. Always enabled, whatever is stored.
class TOutputObject : public TListObject {
public:
  enum TOutputKind : std::int32_t { clipboard = 0, files = 1, mergedFile = 2 };
  // The longest output extension and folder a filter file keeps, in bytes.
  static constexpr std::size_t shortStringLength = 255;
  // Refuses a name longer than that, `what` naming it ("The output
  // folder"): the limit as it is counted, in bytes.
  static std::string longerThanKeptText(std::string_view what);

  bool testMode = false;
  bool retainDate = false;
  std::int32_t outputToFile = clipboard;
  bool changeExtension = false;
  std::string newExtension; // at most shortStringLength bytes stored
  bool changeBaseDir = false;
  std::string newBaseDir; // at most shortStringLength bytes stored
  bool keepStructure = false;
  std::string singleFilename;
  bool appendMode = false;

  // The stored fields, in stored order.
  static std::span<const NodeField<TOutputObject>> fields();
  // A new node from the remembered defaults. The output folder's first
  // default is the system's temporary folder.
  static std::unique_ptr<TOutputObject> CreateDefault();
  void rememberDefaults() const override;

  int iconIndex() const override {
    return outputToFile == files || outputToFile == mergedFile ? 14 : 13;
  }
  bool getEnabled() const override { return true; }
  // Whether the window shows test mode: test copies of files are written.
  bool showsTestMode() const { return testMode && outputToFile == files; }
  std::string getTitle() const override;
  bool titleNamesFiles() const override { return outputToFile != clipboard; }
  std::string printText(std::string_view indent) const override;
  std::string generateCmdLine() const override;
  std::unique_ptr<TFilter> add_this_filter(TFilterList &list) override;

  std::string_view className() const override { return "TOutputObject"; }
  std::string_view definedPropertyName() const override { return "OutputObject"; }
  void writeData(ComponentWriter &writer) const override;
  void readData(ComponentReader &reader) override;
};

} // namespace marrowen
