#include "filterlist/linenodes.h"

#include "classlib/exceptions.h"
#include "classlib/format.h"
#include "engine/escapes.h"
#include "engine/filter.h"
#include "engine/messages.h"
#include "filterlist/nodefields.h"
#include "filterlist/settings.h"
#include "filters/bytemaths.h"
#include "filters/fields.h"
#include "filters/headtail.h"
#include "filters/linebuffer.h"
#include "filters/linefilters.h"
#include "filters/ranges.h"

#include <array>

namespace marrowen {

using namespace std::string_view_literals;

namespace {

// A numbered message text and its English default, as the title tables hold them.
struct Message {
  int id;
  const char *text;
};

} // namespace

// ---------------------------------------------------------------------------
// Line numbers

namespace {

using LineNumberField = NodeField<TLineNumberObject>;
const LineNumberField lineNumberFields[] = {
    {"start", &TLineNumberObject::start, 1, "lineNumberStart"},
    {"increment", &TLineNumberObject::increment, 1, "lineNumberInc"},
    {"skipBlankIncrement", &TLineNumberObject::skipBlankIncrement, false, "skipBlankIncrement", 22},
    {"dontNumberBlank", &TLineNumberObject::dontNumberBlank, false, "dontNumberBlank", 22},
    {"format", &TLineNumberObject::format, "%5.5d "sv, "lineNumberFormat", 25},
};

} // namespace

std::span<const LineNumberField> TLineNumberObject::fields() { return lineNumberFields; }

std::unique_ptr<TLineNumberObject> TLineNumberObject::CreateDefault() {
  auto node = std::make_unique<TLineNumberObject>();
  readFieldSettings<TLineNumberObject>(*node, fields());
  return node;
}

std::unique_ptr<TLineNumberObject> TLineNumberObject::CreateWith(std::int32_t start,
                                                                 std::int32_t increment) {
  auto node = std::make_unique<TLineNumberObject>();
  node->start = start;
  node->increment = increment;
  return node;
}

void TLineNumberObject::rememberDefaults() const { writeFieldSettings(*this, fields()); }

std::string TLineNumberObject::getTitle() const {
  return translateFormat(8590, "Add line numbers (%d,%d) Format: %s", {start, increment, format});
}

std::string TLineNumberObject::printText(std::string_view indent) const {
  return translateFormat(8600,
                         "Add line numbers\r\n%s  Start line %d\r\n%s  Increment %d\r\n%s%sDon't "
                         "increment on blank lines\r\n%s%sDon't number blank lines\r\n%s  Format "
                         "%s\r\n",
                         {indent, start, indent, increment, indent,
                          outputOption(skipBlankIncrement), indent, outputOption(dontNumberBlank),
                          indent, format});
}

std::string TLineNumberObject::generateCmdLine() const {
  // "/AL" carries the numbers alone; the command line gives the rest as
  // CreateWith does.
  const auto plain = CreateWith(start, increment);
  if (format != plain->format || skipBlankIncrement != plain->skipBlankIncrement ||
      dontNumberBlank != plain->dontNumberBlank)
    return TListObject::generateCmdLine();
  return Format("/AL=%d,%d", {start, increment});
}

std::unique_ptr<TFilter> TLineNumberObject::add_this_filter(TFilterList &) {
  std::string decoded = decodeEscapes(format);
  if (!formatAccepts(decoded, {std::int32_t{110}}))
    throw Exception(translateFormat(8610, "Line number format %s is invalid", {format}));
  return std::make_unique<TAddLineNumbers>(start, increment, skipBlankIncrement, dontNumberBlank,
                                           std::move(decoded));
}

void TLineNumberObject::writeData(ComponentWriter &writer) const {
  TListObject::writeData(writer);
  writeFields(*this, writer, fields());
}

void TLineNumberObject::readData(ComponentReader &reader) {
  TListObject::readData(reader);
  readFields(*this, reader, fields());
}

// ---------------------------------------------------------------------------
// Head and tail

namespace {

using HeadTailField = NodeField<THeadTailObject>;
const HeadTailField headTailFields[] = {
    {"include", &THeadTailObject::include, 0, "HeadInclude"},
    {"count", &THeadTailObject::count, 10, "HeadCount"},
    {"units", &THeadTailObject::units, 0, "HeadLines"},
    {"fromEnd", &THeadTailObject::fromEnd, 0, "HeadStart"},
};

} // namespace

std::span<const HeadTailField> THeadTailObject::fields() { return headTailFields; }

std::unique_ptr<THeadTailObject> THeadTailObject::CreateDefault() {
  auto node = std::make_unique<THeadTailObject>();
  readFieldSettings<THeadTailObject>(*node, fields());
  return node;
}

std::unique_ptr<THeadTailObject> THeadTailObject::CreateWith(std::int32_t fromEnd) {
  auto node = std::make_unique<THeadTailObject>();
  node->include = 1;
  node->count = 10;
  node->units = 0;
  node->fromEnd = fromEnd;
  return node;
}

void THeadTailObject::rememberDefaults() const { writeFieldSettings(*this, fields()); }

std::string THeadTailObject::getTitle() const {
  // By exclude x 4 + chars x 2 + from end.
  static constexpr std::array<Message, 8> titles{{
      {8620, "Include %d lines from start of file"},
      {8630, "Include %d lines from end of file"},
      {8640, "Include %d chars from start of file"},
      {8650, "Include %d chars from end of file"},
      {8660, "Exclude %d lines from start of file"},
      {8670, "Exclude %d lines from end of file"},
      {8680, "Exclude %d chars from start of file"},
      {8690, "Exclude %d chars from end of file"},
  }};
  const Message &m = titles[(include != 0 ? 4 : 0) + (units != 0 ? 2 : 0) + (fromEnd != 0 ? 1 : 0)];
  return translateFormat(m.id, m.text, {count});
}

std::unique_ptr<TFilter> THeadTailObject::add_this_filter(TFilterList &) {
  const bool keep = include == 0;
  if (fromEnd != 0) {
    if (units != 0)
      return std::make_unique<TIncludeExcludeBytesFromEnd>(count, keep);
    return std::make_unique<TIncludeExcludeLinesFromEnd>(count, keep);
  }
  if (units != 0)
    return std::make_unique<TIncludeExcludeBytesFromStart>(count, keep);
  return std::make_unique<TIncludeExcludeLinesFromStart>(count, keep);
}

void THeadTailObject::writeData(ComponentWriter &writer) const {
  TListObject::writeData(writer);
  writeFields(*this, writer, fields());
}

void THeadTailObject::readData(ComponentReader &reader) {
  TListObject::readData(reader);
  readFields(*this, reader, fields());
}

// ---------------------------------------------------------------------------
// Sort

namespace {

std::string invalidSortType() { return translate(8820, "Invalid sort type"); }

} // namespace

namespace {

using SortField = NodeField<TSortObject>;
// The sort type is stored as such from type 42 on; older types are read
// beside the table.
const SortField sortFields[] = {
    {"removeDuplicates", &TSortObject::removeDuplicates, false, "SortincludeDuplicates"},
    {"reverseOrder", &TSortObject::reverseOrder, false, "SortreverseOrder"},
    {"sortType", &TSortObject::sortType, 0, "sortType", 42},
};

} // namespace

std::span<const SortField> TSortObject::fields() { return sortFields; }

std::unique_ptr<TSortObject> TSortObject::CreateDefault() {
  auto node = std::make_unique<TSortObject>();
  readFieldSettings<TSortObject>(*node, fields());
  return node;
}

void TSortObject::rememberDefaults() const { writeFieldSettings(*this, fields()); }

std::string TSortObject::getTitle() const {
  // By sort type x 2 + descending.
  static constexpr std::array<Message, 12> titles{{
      {8700, "Ascending ANSI sort (case insensitive)"},
      {8710, "Descending ANSI sort (case insensitive)"},
      {8720, "Ascending ANSI sort (case sensitive)"},
      {8730, "Descending ANSI sort (case sensitive)"},
      {8740, "Ascending ASCII sort (case insensitive)"},
      {8750, "Descending ASCII sort (case insensitive)"},
      {8760, "Ascending ASCII sort (case sensitive)"},
      {8770, "Descending ASCII sort (case sensitive)"},
      {8780, "Ascending numeric sort"},
      {8790, "Descending numeric sort"},
      {8800, "Ascending sort by length of line"},
      {8810, "Descending sort by length of line"},
  }};
  std::string title;
  if (sortType >= 0 && sortType <= 5) {
    const Message &m = titles[static_cast<std::size_t>(sortType * 2 + (reverseOrder ? 1 : 0))];
    title = translate(m.id, m.text);
  } else {
    title = invalidSortType();
  }
  if (removeDuplicates)
    title += translate(8830, ", remove duplicates");
  return title;
}

std::unique_ptr<TFilter> TSortObject::add_this_filter(TFilterList &) {
  // The sort filter would pass the lines on in the file's order; a node
  // that says it sorts must not quietly leave them unsorted.
  if (sortType < 0 || sortType > 5)
    throw Exception(invalidSortType());
  return std::make_unique<TSortLines>(reverseOrder, sortType, removeDuplicates);
}

void TSortObject::writeData(ComponentWriter &writer) const {
  TListObject::writeData(writer);
  writeFields(*this, writer, fields());
}

void TSortObject::readData(ComponentReader &reader) {
  TListObject::readData(reader);
  readFields(*this, reader, fields());
  const int type = reader.fileTypeRead();
  if (type < 42)
    // From type 26 a flag in its place said whether to ignore case.
    sortType = type >= 26 && reader.readBoolean() ? 0 : 1;
}

// ---------------------------------------------------------------------------
// Byte maths

namespace {

using MathsField = NodeField<TMathsObject>;
const MathsField mathsFields[] = {
    {"operation", &TMathsObject::operation, 0, "mathsOperation"},
    {"operand", &TMathsObject::operand, 0, "mathsOperand"},
};

} // namespace

std::span<const MathsField> TMathsObject::fields() { return mathsFields; }

std::unique_ptr<TMathsObject> TMathsObject::CreateDefault() {
  auto node = std::make_unique<TMathsObject>();
  readFieldSettings<TMathsObject>(*node, fields());
  return node;
}

void TMathsObject::rememberDefaults() const { writeFieldSettings(*this, fields()); }

std::string TMathsObject::getTitle() const {
  std::string title = translate(8840, "Char maths: ");
  switch (operation) {
  case 0:
    title += "+";
    break;
  case 1:
    title += "-";
    break;
  case 2:
    title += "*";
    break;
  case 3:
    title += translate(8850, "Div");
    break;
  case 4:
    title += translate(8860, "Mod");
    break;
  case 5:
    title += translate(8870, "Xor");
    break;
  case 6:
    title += translate(8880, "And");
    break;
  case 7:
    title += translate(8890, "Or");
    break;
  case 8:
    title += translate(8900, "Not");
    break;
  case 9:
    title += translate(8910, "Shift left");
    break;
  case 10:
    title += translate(8920, "Shift right");
    break;
  case 11:
    title += translate(8930, "Rotate left");
    break;
  case 12:
    title += translate(8940, "Rotate right");
    break;
  default:
    break;
  }
  if (operation != 8)
    title += " " + std::to_string(operand);
  return title;
}

std::unique_ptr<TFilter> TMathsObject::add_this_filter(TFilterList &) {
  return std::make_unique<TMathsOperation>(operation, operand);
}

void TMathsObject::writeData(ComponentWriter &writer) const {
  TListObject::writeData(writer);
  writeFields(*this, writer, fields());
}

void TMathsObject::readData(ComponentReader &reader) {
  TListObject::readData(reader);
  readFields(*this, reader, fields());
}

// ---------------------------------------------------------------------------
// Columns, lines, bytes and fields by range

std::string_view columnSettingsPrefix(std::int32_t kind) {
  static constexpr std::array<std::string_view, 6> prefixes{
      "deleteColumns.", "selectLines.", "selectColumns.",
      "selectBytes.",   "selectCSV.",   "selectTab.",
  };
  if (kind < 0 || kind > 5)
    return {};
  return prefixes[static_cast<std::size_t>(kind)];
}

namespace {

using ColumnsField = NodeField<TDeleteColumnsObject>;
// The settings are kept a kind apart, under the kind's prefix.
const ColumnsField columnsFields[] = {
    {"method", &TDeleteColumnsObject::method, 0, "method"},
    {"param1", &TDeleteColumnsObject::param1, 1, "param1"},
    {"param2", &TDeleteColumnsObject::param2, 20, "param2"},
    {"kind", &TDeleteColumnsObject::kind, 0, "", 33},
};

} // namespace

std::span<const ColumnsField> TDeleteColumnsObject::fields() { return columnsFields; }

std::unique_ptr<TDeleteColumnsObject> TDeleteColumnsObject::CreateDefault(std::int32_t kind) {
  auto node = std::make_unique<TDeleteColumnsObject>();
  node->kind = kind;
  if (const std::string_view prefix = columnSettingsPrefix(kind); !prefix.empty())
    readFieldSettings<TDeleteColumnsObject>(*node, fields(), prefix);
  return node;
}

std::unique_ptr<TDeleteColumnsObject> TDeleteColumnsObject::CreateWith(std::int32_t kind) {
  auto node = CreateDefault(kind);
  node->method = 0;
  node->param1 = 1;
  node->param2 = 10;
  return node;
}

void TDeleteColumnsObject::rememberDefaults() const {
  if (const std::string_view prefix = columnSettingsPrefix(kind); !prefix.empty())
    writeFieldSettings(*this, fields(), prefix);
}

std::string TDeleteColumnsObject::getTitle() const {
  // Message 6100 + 50 x kind + 10 x method.
  static constexpr std::array<std::array<const char *, 5>, 6> titles{{
      {"Delete columns %d .. %d", "Delete %1:d columns starting at column %0:d",
       "Delete %1:d columns starting at column END - %0:d", "Delete column %d .. column END - %d",
       "Delete column END - %d .. column END - %d"},
      {"Select lines %d .. %d", "Select %1:d lines starting at line %0:d",
       "Select %1:d lines starting at line END - %0:d", "Select line %d .. line END - %d",
       "Select line END - %d .. line END - %d"},
      {"Select columns %d .. %d", "Select %1:d columns starting at column %0:d",
       "Select %1:d columns starting at column END - %0:d", "Select column %d .. column END - %d",
       "Select column END - %d .. column END - %d"},
      {"Select bytes %d .. %d", "Select %1:d bytes starting at byte %0:d",
       "Select %1:d bytes starting at byte END - %0:d", "Select byte %d .. byte END - %d",
       "Select byte END - %d .. byte END - %d"},
      {"Select CSV fields %d .. %d", "Select %1:d CSV fields starting at field %0:d",
       "Select %1:d CSV fields starting at field END - %0:d",
       "Select CSV field %d .. field END - %d", "Select CSV field END - %d .. field END - %d"},
      {"Select tab fields %d .. %d", "Select %1:d tab fields starting at field %0:d",
       "Select %1:d tab fields starting at field END - %0:d",
       "Select tab field %d .. field END - %d", "Select tab field END - %d .. field END - %d"},
  }};
  if (kind < 0 || kind > 5 || method < 0 || method > 4)
    return translateFormat(8950, "error: filterType:%d locateMethod:%d", {kind, method});
  return translateFormat(6100 + 50 * kind + 10 * method,
                         titles[static_cast<std::size_t>(kind)][static_cast<std::size_t>(method)],
                         {param1, param2});
}

namespace {

[[noreturn]] void notImplemented() { throw Exception(translate(8990, "Not implemented yet")); }

} // namespace

std::unique_ptr<TFilter> TDeleteColumnsObject::add_this_filter(TFilterList &) {
  // Lines answer an unknown method below, as they answer every kind they lack.
  if ((method < 0 || method > 4) && kind != SelectLines)
    raiseUnknownSetting(*this, "field method", method);
  if (method == 0 && param2 < param1)
    throw Exception(translate(8960, "End value must be greater than or equal to Start"));
  // In 64 bits, so that a value at the integer limit cannot wrap.
  if (method == 2 && std::int64_t{param1} + 1 < param2)
    throw Exception(translate(8970, "Length must be less than END-start value"));
  if (method == 4 && param1 < param2)
    throw Exception(translate(8980, "Start value must be greater than or equal to End"));

  const LocateRange range{method, param1, param2};
  switch (kind) {
  case DeleteColumns:
    return std::make_unique<TRemoveColumns>(range);
  case SelectLines:
    switch (method) {
    case 0:
    case 1:
      return std::make_unique<TSelectLinesBasic>(param1, method == 1, param2);
    case 2:
      return std::make_unique<TSelectLinesLengthFromEnd>(param1, param2);
    case 3:
      return std::make_unique<TSelectLinesOffsetToEnd>(param1, param2);
    case 4:
      return std::make_unique<TSelectLinesEndOffsets>(param1, param2);
    default:
      notImplemented();
    }
  case SelectColumns:
    return std::make_unique<TSelectColumns>(range);
  case SelectCSVFields:
    return std::make_unique<TCSVfield>(range, true);
  case SelectTabFields:
    return std::make_unique<TCSVfield>(range, false);
  default:
    // Bytes have no selector: without a filter the children would be left
    // out and the node would quietly do nothing.
    notImplemented();
  }
}

void TDeleteColumnsObject::writeData(ComponentWriter &writer) const {
  TListObject::writeData(writer);
  writeFields(*this, writer, fields());
}

void TDeleteColumnsObject::readData(ComponentReader &reader) {
  TListObject::readData(reader);
  readFields(*this, reader, fields());
}

} // namespace marrowen
