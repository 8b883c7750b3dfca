#pragma once

#include "classlib/exceptions.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace marrowen {

class ComponentReader;
class ComponentWriter;

// The class library's binary component stream, in which filter files are
// written: every value is a one-byte tag followed by its data, integers
// little-endian. Texts and names are 8-bit byte strings, stored as they are.
enum class ValueType : std::uint8_t {
  Null = 0x00, // end of a list or of a record's properties
  List = 0x01,
  Int8 = 0x02,
  Int16 = 0x03,
  Int32 = 0x04,
  Extended = 0x05, // 80-bit floating point
  String = 0x06,   // up to 255 bytes: one length byte
  Ident = 0x07,    // an identifier: one length byte
  False = 0x08,
  True = 0x09,
  Binary = 0x0A,  // 4-byte length, then the bytes
  Set = 0x0B,     // member names, ended by an empty name
  LString = 0x0C, // 4-byte length
  Nil = 0x0D,
  Collection = 0x0E, // items, each a list of properties, ended by 0x00
  Double = 0x11,
};

// The four bytes that open a stream holding a root component.
inline constexpr std::string_view streamSignature = "TPF0";

// Errors of component streaming. A damaged or truncated stream raises
// EReadError, whose message names the stream's source (the file) and the
// byte where reading failed.
class EFilerError : public EStreamError {
public:
  using EStreamError::EStreamError;
};

class EReadError : public EFilerError {
public:
  EReadError(std::string detail, std::string sourceName, std::size_t position);

  // The class library's own text ("Stream read error", "Class %s not found", ...).
  const std::string &detail() const { return detail_; }
  const std::string &sourceName() const { return sourceName_; }
  std::size_t position() const { return position_; }

private:
  std::string detail_;
  std::string sourceName_;
  std::size_t position_;
};

class EWriteError : public EFilerError {
public:
  using EFilerError::EFilerError;
};

// Class library texts of the stream errors.
inline constexpr std::string_view readErrorText = "Stream read error";
inline constexpr std::string_view invalidImageText = "Invalid stream format";
inline constexpr std::string_view invalidPropertyValueText = "Invalid property value";
inline constexpr std::string_view classNotFoundText = "Class %s not found";
inline constexpr std::string_view unknownPropertyText = "Property %s does not exist";
inline constexpr std::string_view nestingTooDeepText = "Components or lists nested too deeply";

// The name of the class library's published property StreamableComponent::tag.
inline constexpr std::string_view tagPropertyName = "Tag";

// A component that can be written to and read from a component stream: a
// filter list, its version header and every node. A record holds the class
// name, an empty component name, the published properties, then the one
// defined property, whose value is exactly the run of values that writeData
// emits; readData must consume exactly that run.
class StreamableComponent {
public:
  virtual ~StreamableComponent() = default;

  // The name the class is registered under, for example "TSortObject".
  virtual std::string_view className() const = 0;

  // The name of the class's one defined property ("SortObject"); empty when
  // the class streams nothing of its own.
  virtual std::string_view definedPropertyName() const = 0;
  virtual void writeData(ComponentWriter &writer) const = 0;
  virtual void readData(ComponentReader &reader) = 0;

  // Defined properties beyond the one above, each written as its name and
  // its value; reading answers false for a name the class does not define.
  virtual void writeDefinedProperties(ComponentWriter &writer) const;
  virtual bool readDefinedProperty(std::string_view name, ComponentReader &reader);

  // Published properties come before the defined property. A class writes
  // each as its name (ComponentWriter::writeName) and one value.
  virtual void writePublishedProperties(ComponentWriter &writer) const;
  // Reads the value of the published property `name` and answers true, or
  // answers false (reading nothing) when the class publishes no such property.
  virtual bool readPublishedProperty(std::string_view name, ComponentReader &reader);

  // The class library's own published property of every component, a number
  // for the user's own use. The writer stores it first, while it is not 0,
  // and the reader takes it from any record, so a file another program
  // wrote with it loads and saves without losing it.
  std::int32_t tag() const { return tag_; }
  void setTag(std::int32_t tag) { tag_ = tag; }

private:
  std::int32_t tag_ = 0;
};

// The classes a stream may name: makes a blank component of a class for the
// reader to fill, or answers null for a class it does not know.
class ComponentClasses {
public:
  virtual ~ComponentClasses() = default;
  virtual std::unique_ptr<StreamableComponent> create(std::string_view className) const = 0;
};

// Knows no class: a reader made with it reads values, not components.
const ComponentClasses &noComponentClasses();

// Whether two class or property names are the same; ASCII letters match
// regardless of case, every other byte only itself, as the class library
// compares names.
bool sameName(std::string_view a, std::string_view b);

// Appends stream values to a byte buffer. Each value is written in its
// shortest form: integers with the smallest tag that holds them, strings of
// up to 255 bytes with the short tag.
class ComponentWriter {
public:
  explicit ComponentWriter(std::string &out) : out_(out) {}

  void writeValue(ValueType type);
  void writeInteger(std::int32_t value);
  void writeBoolean(bool value);
  void writeString(std::string_view text);
  void writeIdent(std::string_view name);
  void writeNil() { writeValue(ValueType::Nil); }
  void writeBinary(std::string_view bytes);
  // Member names of a set; the stream keeps no order but the one given.
  void writeSet(const std::vector<std::string_view> &members);
  void writeDouble(double value);
  void writeCollectionBegin() { writeValue(ValueType::Collection); }
  void writeListBegin() { writeValue(ValueType::List); }
  void writeListEnd() { writeValue(ValueType::Null); }
  // A class, component or property name: a length byte and the bytes, no tag.
  // A name longer than 255 bytes raises EWriteError.
  void writeName(std::string_view name);
  void writeSignature();
  // One component record: class name, empty name, properties, 0x00, no children, 0x00.
  void writeComponent(const StreamableComponent &component);
  // The signature and the root component's record.
  void writeRootComponent(const StreamableComponent &root);
  // Bytes captured by ComponentReader::readRawValue(s), written back unchanged.
  void writeRaw(std::string_view bytes);

  const std::string &bytes() const { return out_; }

private:
  std::string &out_;
};

// Reads stream values from a byte buffer that it does not own. Every length
// read is checked against the bytes that remain, and components and lists may
// nest only maxNesting deep, so a damaged stream raises EReadError and never
// reads past its end or allocates beyond its size.
//
// The reader is also the context of one load: it carries the file type found
// in the stream being read (fileTypeRead), which every readData consults to
// skip the fields its file type lacks, and the host's handler for warnings
// that the reading raises.
class ComponentReader {
public:
  static constexpr int maxNesting = 32;

  // `sourceName` names the stream in error messages (the file name; empty for
  // a memory stream). `classes` creates the components the stream names.
  ComponentReader(std::string_view bytes, std::string sourceName, const ComponentClasses &classes);
  // Reads values only: every component record is of an unknown class.
  explicit ComponentReader(std::string_view bytes, std::string sourceName = {});
  // The reader does not own its bytes: a temporary string would vanish under it.
  ComponentReader(std::string &&bytes, std::string sourceName, const ComponentClasses &) = delete;
  explicit ComponentReader(std::string &&bytes, std::string sourceName = {}) = delete;

  int fileTypeRead() const { return fileTypeRead_; }
  void setFileTypeRead(int type) { fileTypeRead_ = type; }

  // Warnings go to the host's handler (a message box in the windows); without
  // one they are only collected.
  void setWarningHandler(std::function<void(const std::string &)> handler);
  void warn(const std::string &message);
  const std::vector<std::string> &warnings() const { return warnings_; }

  const std::string &sourceName() const { return sourceName_; }
  const ComponentClasses &registry() const { return registry_; }
  std::size_t position() const { return pos_; }
  std::size_t remaining() const { return bytes_.size() - pos_; }
  bool atEnd() const { return pos_ == bytes_.size(); }

  // The tag of the next value, not consumed.
  ValueType nextValue() const;
  ValueType readValue();
  // Whether the next tag is 0x00 (the end of a list or of properties).
  bool endOfList() const { return nextValue() == ValueType::Null; }
  void readListBegin();
  void readListEnd();

  std::int32_t readInteger();
  std::string readIdent();
  std::string readBinary();
  std::vector<std::string> readSet();
  // An extended, a double or an integer value.
  double readDouble();
  void readCollectionBegin();
  // 0x09 is true, 0x08 false; any other tag is an invalid value.
  bool readBoolean();
  std::string readString();
  std::string readName();
  void readSignature();

  // Reads one component record and returns the component, created through
  // the registry by the record's class name.
  std::unique_ptr<StreamableComponent> readComponent();
  // Reads the signature and the root record into `root`; the stored class
  // name of the root is not checked.
  void readRootComponent(StreamableComponent &root);

  // Skips one value (a list with everything in it counts as one) and returns
  // its bytes, so that a reader which does not know a value can keep it.
  std::string readRawValue();
  // Reads values up to, not including, the next 0x00 outside a list: the
  // rest of a defined property's run.
  std::string readRawValues();

  // Raises EReadError with `detail` at the current position.
  [[noreturn]] void fail(std::string_view detail) const;
  [[noreturn]] void failAt(std::size_t position, std::string_view detail) const;

private:
  class NestingGuard;

  std::uint8_t readByte();
  const char *take(std::size_t count);
  std::size_t checkedLength(std::int64_t length, std::size_t at) const;
  void readProperties(StreamableComponent &component);
  void skipValue(int &depth);
  void skipCollection();

  std::string_view bytes_;
  std::size_t pos_ = 0;
  std::string sourceName_;
  const ComponentClasses &registry_;
  int fileTypeRead_ = 0;
  int nesting_ = 0;
  std::function<void(const std::string &)> warningHandler_;
  std::vector<std::string> warnings_;
};

// A copy of `component` made by writing its record to memory and reading it
// back with file type `fileType`.
std::unique_ptr<StreamableComponent> cloneComponent(const StreamableComponent &component,
                                                    const ComponentClasses &registry, int fileType);

} // namespace marrowen
