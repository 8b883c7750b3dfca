#pragma once

#include "classlib/componentstream.h"
#include "filterlist/nodefields.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace marrowen {

class ClassRegistry;

// The file type every writer emits. Readers consult the type found in the
// stream (ComponentReader::fileTypeRead) and give the fields that an older
// type lacks their defaults.
inline constexpr int currentFileType = 47;

// The filter list's root record: class "TFilterList", defined property "FilterList".
inline constexpr std::string_view filterListClassName = "TFilterList";
inline constexpr std::string_view filterListPropertyName = "FilterList";

// A list's log options: kept by the list, shown by its top node, stored in
// the file's version record.
struct LogOptions {
  bool enabled = false;
  std::string fileName;
  // False: the log file is overwritten at the start of each job.
  bool append = false;
  // No log file is written for a job with fewer log lines.
  std::int32_t lineThreshold = 0;

  bool operator==(const LogOptions &) const = default;
};

// The log options' fields, in stored order, with the defaults and settings
// of a new list.
std::span<const NodeField<LogOptions>> logOptionFields();

// The first record of a filter list: the list's texts, its files grid as
// strings ("mask|" followed by a sub-folder letter and an action letter) and
// its log options. Reading it sets the reader's file type to the type stored.
class TVersion : public StreamableComponent {
public:
  std::vector<std::string> fileList;
  std::string comments;
  std::string scratchPad;
  std::string trialInput;
  // A version read from a file of type 1 to 3 keeps blank options; types 4
  // to 40 get true, "marrowen.log", true, 500.
  LogOptions log;

  std::string_view className() const override { return "TVersion"; }
  std::string_view definedPropertyName() const override { return "Version"; }
  void writeData(ComponentWriter &writer) const override;
  void readData(ComponentReader &reader) override;

  bool operator==(const TVersion &other) const {
    return fileList == other.fileList && comments == other.comments &&
           scratchPad == other.scratchPad && trialInput == other.trialInput && log == other.log;
  }
};

// A node class a filter file may name, with its defined property.
struct NodeClassName {
  std::string_view className;
  std::string_view propertyName;
};

// The published property every node record stores before its defined
// property, as a Boolean.
inline constexpr std::string_view enabledPropertyName = "enabled";

// The common part that every node's defined value begins with: the enabled flag.
void writeNodeCommonPart(ComponentWriter &writer, bool enabled);
// Reads the common part as the file type being read stored it: before type 6
// a text came first (dropped); before type 18 there is no flag and the node
// is enabled.
bool readNodeCommonPart(ComponentReader &reader);

// Registers, for every class of `names` not yet registered, a factory that
// asks `makePlaceholder` for a stand-in, so that a file naming a class whose
// node is not built yet still loads (and saves back unchanged when the
// stand-in keeps its raw values).
void registerPlaceholderClasses(
    ClassRegistry &registry, std::span<const NodeClassName> names,
    std::function<std::unique_ptr<StreamableComponent>(const NodeClassName &)> makePlaceholder);

// One node of a list as the "FilterList" value stores it.
struct FilterListItem {
  int level;
  bool expanded;
  const StreamableComponent *node;
};

// Writes the "FilterList" value: list start, the version record (always of
// the current file type), then level, expanded flag and record of each node,
// list end. Levels must lie in 0..32767.
void writeFilterListValue(ComponentWriter &writer, const TVersion &version,
                          std::span<const FilterListItem> items);

// Called for every record of a "FilterList" value in file order: the version
// record and the nodes alike, each with the level and expanded flag in force
// (level 1 and expanded until the file type, 29 on, stores them).
using FilterListItemHandler =
    std::function<void(std::unique_ptr<StreamableComponent> component, int level, bool expanded)>;

// Reads the "FilterList" value. A level outside 0..32767 is an invalid value.
void readFilterListValue(ComponentReader &reader, const FilterListItemHandler &handler);

// The bytes of a whole filter file whose root record is `root` (a filter list).
std::string filterFileBytes(const StreamableComponent &root);

// Reads a filter file's bytes into `root`. Any failure of the reading, also
// one raised by a component's own readData, comes out as EReadError naming
// the reader's source.
void readFilterFileBytes(ComponentReader &reader, StreamableComponent &root);

// The whole file's bytes. A file that cannot be opened raises EFOpenError; a
// failed read raises EReadError naming the file.
std::string loadFileBytes(const std::string &fileName);

// Replaces the file `fileName` with `bytes` through a temporary file in the
// same folder, renamed over the target only once it is written whole, so a
// failed write leaves the old file as it was. Raises EFCreateError when the
// target is read-only (its owner may not write it), the name is empty or the
// temporary file cannot be made, and EWriteError when it cannot be written or
// moved.
void writeFileBytesSafely(const std::string &fileName, std::string_view bytes);

} // namespace marrowen
