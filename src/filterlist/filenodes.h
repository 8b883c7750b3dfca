#pragma once

#include "filterlist/listobject.h"
#include "filterlist/nodefields.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace marrowen {

// One named file put to one of four uses: every input merged into it (kind
// 0), only the lines it lists kept (1), the lines it lists removed (2), or
// the filters of another filter file built in the node's place (3). The
// name is kept as typed, quotes and Windows spelling included; it is
// unquoted and made local only when the filter is built.
class TMergeObject : public TListObject {
public:
  // The stored kind: what the named file is for.
  enum Kind : std::int32_t {
    Merge = 0,
    OnlyShowLinesFoundIn = 1,
    RemoveLinesFoundIn = 2,
    LinkFilterFile = 3,
  };

  std::string fileName;
  // 0 merge, 1 only show lines found in, 2 remove lines found in, 3 link a
  // filter file; any other value makes no filter.
  std::int32_t kind = 0;

  // A new node of `kind` with the file name last chosen for that kind.
  // The stored fields, in stored order.
  static std::span<const NodeField<TMergeObject>> fields();
  static std::unique_ptr<TMergeObject> CreateDefault(std::int32_t kind);
  static std::unique_ptr<TMergeObject> CreateWith(std::int32_t kind, std::string fileName);
  void rememberDefaults() const override;

  // The settings name that remembers the file of `kind`; empty for another kind.
  static std::string_view settingName(std::int32_t kind);
  // The help topic of the node's dialog; 0 for another kind.
  std::int32_t catalogKind() const override { return kind; }

  std::string getTitle() const override;
  bool titleNamesFiles() const override { return true; }
  // Raises 5350 for a file name that is blank, quotes removed; linking
  // raises as linkFile does.
  std::unique_ptr<TFilter> add_this_filter(TFilterList &list) override;

  // The filters between the input and the output node of the filter file
  // `fileName`, built as a chain of their own. A file that cannot be loaded
  // raises 5340; one that does not validate raises the filter list's own
  // message. Links inside the file are followed in turn; a file that links
  // back to one being linked, or links nested too deeply, raise an error
  // naming the file.
  static std::unique_ptr<TFilter> linkFile(const std::string &fileName);

  std::string_view className() const override { return "TMergeObject"; }
  std::string_view definedPropertyName() const override { return "MergeObject"; }
  void writeData(ComponentWriter &writer) const override;
  void readData(ComponentReader &reader) override;
};

// Cuts the output into several files: after every `size` bytes (type 0), or
// at every `count`-th occurrence of a byte (type 1).
class TSplitObject : public TListObject {
public:
  std::int32_t size = 1457664;
  // 0 split at a size, 1 split at a character; another value refuses to build.
  std::int32_t type = 0;
  // The byte value to split at, 0..255.
  std::int32_t character = 12;
  std::int32_t count = 1;
  // 0 the byte begins the next file, 1 it ends the previous one, any other
  // value drops it.
  std::int32_t position = 0;

  // The stored fields, in stored order.
  static std::span<const NodeField<TSplitObject>> fields();
  static std::unique_ptr<TSplitObject> CreateDefault();
  void rememberDefaults() const override;

  std::string getTitle() const override;
  // Raises 5540 for an unknown type, and a range error naming the node for
  // a character outside 0..255.
  std::unique_ptr<TFilter> add_this_filter(TFilterList &list) override;

  std::string_view className() const override { return "TSplitObject"; }
  std::string_view definedPropertyName() const override { return "SplitObject"; }
  void writeData(ComponentWriter &writer) const override;
  void readData(ComponentReader &reader) override;
};

} // namespace marrowen
