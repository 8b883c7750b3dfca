#pragma once

#include "filterlist/listobject.h"
#include "filterlist/nodefields.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace marrowen {

// Puts a number in front of every line, formatted by a format of the
// user's that may hold escapes; blank lines may be left out of the
// numbering.
class TLineNumberObject : public TListObject {
public:
  std::int32_t start = 1;
  std::int32_t increment = 1;
  // Blank lines do not advance the number.
  bool skipBlankIncrement = false;
  // Blank lines get no number.
  bool dontNumberBlank = false;
  // A format for one integer, escaped as typed.
  std::string format = "%5.5d ";

  // The stored fields, in stored order.
  static std::span<const NodeField<TLineNumberObject>> fields();
  static std::unique_ptr<TLineNumberObject> CreateDefault();
  static std::unique_ptr<TLineNumberObject> CreateWith(std::int32_t start, std::int32_t increment);
  void rememberDefaults() const override;

  int iconIndex() const override { return 8; }
  std::string getTitle() const override;
  std::string printText(std::string_view indent) const override;
  std::string generateCmdLine() const override;
  // Raises 8610 when the decoded format cannot format one integer (an
  // escape error first when the format cannot be decoded).
  std::unique_ptr<TFilter> add_this_filter(TFilterList &list) override;

  std::string_view className() const override { return "TLineNumberObject"; }
  std::string_view definedPropertyName() const override { return "LineNumberObject"; }
  void writeData(ComponentWriter &writer) const override;
  void readData(ComponentReader &reader) override;
};

// Keeps or drops a count of lines or bytes at the start or the end of every
// file. Each of the three choices is a number whose non-zero values all
// mean the second choice.
class THeadTailObject : public TListObject {
public:
  // 0 keep, otherwise drop.
  std::int32_t include = 0;
  std::int32_t count = 10;
  // 0 lines, otherwise bytes.
  std::int32_t units = 0;
  // 0 from the start of the file, otherwise from its end.
  std::int32_t fromEnd = 0;

  // The stored fields, in stored order.
  static std::span<const NodeField<THeadTailObject>> fields();
  static std::unique_ptr<THeadTailObject> CreateDefault();
  // The wizard's node: drop 10 lines at the start or the end.
  static std::unique_ptr<THeadTailObject> CreateWith(std::int32_t fromEnd);
  void rememberDefaults() const override;

  std::string getTitle() const override;
  std::unique_ptr<TFilter> add_this_filter(TFilterList &list) override;

  std::string_view className() const override { return "THeadTailObject"; }
  std::string_view definedPropertyName() const override { return "HeadTailObject"; }
  void writeData(ComponentWriter &writer) const override;
  void readData(ComponentReader &reader) override;
};

// Sorts the lines of every file.
class TSortObject : public TListObject {
public:
  bool removeDuplicates = false;
  // Descending.
  bool reverseOrder = false;
  // 0 ANSI without case, 1 ANSI with case, 2 ASCII without case, 3 ASCII
  // with case, 4 numeric, 5 line length. Another value is kept as stored
  // and refused when the node is built.
  std::int32_t sortType = 0;

  // The stored fields, in stored order.
  static std::span<const NodeField<TSortObject>> fields();
  static std::unique_ptr<TSortObject> CreateDefault();
  void rememberDefaults() const override;

  int iconIndex() const override { return 11; }
  std::string getTitle() const override;
  // Raises 8820 for a sort type outside 0..5.
  std::unique_ptr<TFilter> add_this_filter(TFilterList &list) override;

  std::string_view className() const override { return "TSortObject"; }
  std::string_view definedPropertyName() const override { return "SortObject"; }
  void writeData(ComponentWriter &writer) const override;
  void readData(ComponentReader &reader) override;
};

// Arithmetic on every byte with one operand: 0 +, 1 -, 2 *, 3 Div, 4 Mod,
// 5 Xor, 6 And, 7 Or, 8 Not, 9 shift left, 10 shift right, 11 rotate left,
// 12 rotate right.
class TMathsObject : public TListObject {
public:
  std::int32_t operation = 0;
  std::int32_t operand = 0;

  // The stored fields, in stored order.
  static std::span<const NodeField<TMathsObject>> fields();
  static std::unique_ptr<TMathsObject> CreateDefault();
  void rememberDefaults() const override;

  int iconIndex() const override { return 3; }
  std::string getTitle() const override;
  // Div and Mod by 0 are refused.
  std::unique_ptr<TFilter> add_this_filter(TFilterList &list) override;

  std::string_view className() const override { return "TMathsObject"; }
  std::string_view definedPropertyName() const override { return "MathsObject"; }
  void writeData(ComponentWriter &writer) const override;
  void readData(ComponentReader &reader) override;
};

// Deletes a range of columns, or selects a range of lines, columns, bytes,
// CSV fields or tab-delimited fields for its children to work on alone. The
// range is a locate method with two values (see LocateRange).
class TDeleteColumnsObject : public TListObject {
public:
  enum Kind : std::int32_t {
    DeleteColumns = 0,
    SelectLines = 1,
    SelectColumns = 2,
    SelectBytes = 3,
    SelectCSVFields = 4,
    SelectTabFields = 5,
  };

  std::int32_t method = 0;
  std::int32_t param1 = 1;
  std::int32_t param2 = 20;
  std::int32_t kind = DeleteColumns;

  // A new node of `kind`, its range from the defaults remembered for that kind.
  // The stored fields, in stored order.
  static std::span<const NodeField<TDeleteColumnsObject>> fields();
  static std::unique_ptr<TDeleteColumnsObject> CreateDefault(std::int32_t kind);
  // A new node of `kind` with the range 1 .. 10.
  static std::unique_ptr<TDeleteColumnsObject> CreateWith(std::int32_t kind);
  std::int32_t catalogKind() const override { return kind; }
  void rememberDefaults() const override;

  bool canParent() const override { return kind >= SelectLines && kind <= SelectTabFields; }
  ChildChain needGatherer() const override {
    return canParent() ? ChildChain::Gathered : ChildChain::Inline;
  }
  std::string getTitle() const override;
  // Raises 8960, 8970 or 8980 for a range that ends before it starts, and
  // 8990 for a way of selecting that has no filter.
  std::unique_ptr<TFilter> add_this_filter(TFilterList &list) override;

  std::string_view className() const override { return "TDeleteColumnsObject"; }
  std::string_view definedPropertyName() const override { return "DeleteColumnsObject"; }
  void writeData(ComponentWriter &writer) const override;
  void readData(ComponentReader &reader) override;
};

// The settings-store prefix of the remembered range of a column node's
// kind ("deleteColumns." ...), empty for a kind outside 0..5.
std::string_view columnSettingsPrefix(std::int32_t kind);

} // namespace marrowen
