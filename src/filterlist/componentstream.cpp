#include "filterlist/componentstream.h"

#include "classlib/format.h"
#include "filterlist/classregistry.h"

#include <cstring>
#include <limits>

namespace marrowen {

namespace {

std::string readErrorMessage(const std::string &detail, const std::string &sourceName,
                             std::size_t position) {
  if (sourceName.empty())
    return Format("%s (at byte %d of the stream)", {detail, position});
  return Format("Error reading %s: %s (at byte %d)", {sourceName, detail, position});
}

// A name read from a damaged file, fit to show: control bytes become \xHH.
std::string shownName(std::string_view name) {
  static constexpr char hex[] = "0123456789ABCDEF";
  std::string shown;
  shown.reserve(name.size());
  for (unsigned char c : name) {
    if (c < 32 || c == 127) {
      shown += "\\x";
      shown += hex[c >> 4];
      shown += hex[c & 15];
    } else {
      shown += static_cast<char>(c);
    }
  }
  return shown;
}

unsigned char asciiLower(unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; }

} // namespace

EReadError::EReadError(std::string detail, std::string sourceName, std::size_t position)
    : EFilerError(readErrorMessage(detail, sourceName, position)), detail_(std::move(detail)),
      sourceName_(std::move(sourceName)), position_(position) {}

bool sameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (asciiLower(static_cast<unsigned char>(a[i])) !=
        asciiLower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

void StreamableComponent::writePublishedProperties(ComponentWriter &) const {}

bool StreamableComponent::readPublishedProperty(std::string_view, ComponentReader &) {
  return false;
}

// ---------------------------------------------------------------------------
// Writing

void ComponentWriter::writeValue(ValueType type) { out_.push_back(static_cast<char>(type)); }

void ComponentWriter::writeInteger(std::int32_t value) {
  char data[5];
  std::size_t size;
  if (value >= -128 && value <= 127) {
    data[0] = static_cast<char>(ValueType::Int8);
    data[1] = static_cast<char>(static_cast<std::uint8_t>(value));
    size = 2;
  } else if (value >= -32768 && value <= 32767) {
    const auto v = static_cast<std::uint16_t>(value);
    data[0] = static_cast<char>(ValueType::Int16);
    data[1] = static_cast<char>(v & 0xFF);
    data[2] = static_cast<char>(v >> 8);
    size = 3;
  } else {
    const auto v = static_cast<std::uint32_t>(value);
    data[0] = static_cast<char>(ValueType::Int32);
    for (int i = 0; i < 4; ++i)
      data[1 + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    size = 5;
  }
  out_.append(data, size);
}

void ComponentWriter::writeBoolean(bool value) {
  writeValue(value ? ValueType::True : ValueType::False);
}

void ComponentWriter::writeString(std::string_view text) {
  if (text.size() <= 255) {
    writeValue(ValueType::String);
    out_.push_back(static_cast<char>(text.size()));
  } else {
    if (text.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
      throw EWriteError("Stream write error: text too long");
    writeValue(ValueType::LString);
    const auto n = static_cast<std::uint32_t>(text.size());
    for (int i = 0; i < 4; ++i)
      out_.push_back(static_cast<char>((n >> (8 * i)) & 0xFF));
  }
  out_.append(text);
}

void ComponentWriter::writeName(std::string_view name) {
  if (name.size() > 255)
    throw EWriteError(Format("Stream write error: name too long: %s", {name}));
  out_.push_back(static_cast<char>(name.size()));
  out_.append(name);
}

void ComponentWriter::writeSignature() { out_.append(streamSignature); }

void ComponentWriter::writeComponent(const StreamableComponent &component) {
  writeName(component.className());
  writeName({}); // components in these streams carry no name
  component.writePublishedProperties(*this);
  if (const std::string_view property = component.definedPropertyName(); !property.empty()) {
    writeName(property);
    component.writeData(*this);
  }
  writeListEnd(); // end of properties
  writeListEnd(); // no children
}

void ComponentWriter::writeRootComponent(const StreamableComponent &root) {
  writeSignature();
  writeComponent(root);
}

void ComponentWriter::writeRaw(std::string_view bytes) { out_.append(bytes); }

// ---------------------------------------------------------------------------
// Reading

// Counts one level of components or lists for as long as it lives.
class ComponentReader::NestingGuard {
public:
  explicit NestingGuard(ComponentReader &reader) : reader_(reader) {
    if (reader_.nesting_ >= maxNesting)
      reader_.fail(nestingTooDeepText);
    ++reader_.nesting_;
  }
  ~NestingGuard() { --reader_.nesting_; }
  NestingGuard(const NestingGuard &) = delete;
  NestingGuard &operator=(const NestingGuard &) = delete;

private:
  ComponentReader &reader_;
};

ComponentReader::ComponentReader(std::string_view bytes, std::string sourceName,
                                 const ClassRegistry &registry)
    : bytes_(bytes), sourceName_(std::move(sourceName)), registry_(registry) {}

ComponentReader::ComponentReader(std::string_view bytes, std::string sourceName)
    : ComponentReader(bytes, std::move(sourceName), globalClassRegistry()) {}

void ComponentReader::setWarningHandler(std::function<void(const std::string &)> handler) {
  warningHandler_ = std::move(handler);
}

void ComponentReader::warn(const std::string &message) {
  warnings_.push_back(message);
  if (warningHandler_)
    warningHandler_(message);
}

void ComponentReader::fail(std::string_view detail) const { failAt(pos_, detail); }

void ComponentReader::failAt(std::size_t position, std::string_view detail) const {
  throw EReadError(std::string(detail), sourceName_, position);
}

const char *ComponentReader::take(std::size_t count) {
  if (count > remaining())
    fail(readErrorText);
  const char *p = bytes_.data() + pos_;
  pos_ += count;
  return p;
}

std::uint8_t ComponentReader::readByte() { return static_cast<std::uint8_t>(*take(1)); }

std::size_t ComponentReader::checkedLength(std::int64_t length, std::size_t at) const {
  if (length < 0 || static_cast<std::uint64_t>(length) > remaining())
    failAt(at, readErrorText);
  return static_cast<std::size_t>(length);
}

ValueType ComponentReader::nextValue() const {
  if (atEnd())
    fail(readErrorText);
  return static_cast<ValueType>(bytes_[pos_]);
}

ValueType ComponentReader::readValue() { return static_cast<ValueType>(readByte()); }

void ComponentReader::readListBegin() {
  const std::size_t at = pos_;
  if (readValue() != ValueType::List)
    failAt(at, invalidPropertyValueText);
}

void ComponentReader::readListEnd() {
  const std::size_t at = pos_;
  if (readValue() != ValueType::Null)
    failAt(at, invalidPropertyValueText);
}

std::int32_t ComponentReader::readInteger() {
  const std::size_t at = pos_;
  switch (readValue()) {
  case ValueType::Int8:
    return static_cast<std::int8_t>(readByte());
  case ValueType::Int16: {
    const auto *p = reinterpret_cast<const unsigned char *>(take(2));
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
  }
  case ValueType::Int32: {
    const auto *p = reinterpret_cast<const unsigned char *>(take(4));
    const std::uint32_t v = std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) |
                            (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
    return static_cast<std::int32_t>(v);
  }
  default:
    failAt(at, invalidPropertyValueText);
  }
}

bool ComponentReader::readBoolean() {
  const std::size_t at = pos_;
  switch (readValue()) {
  case ValueType::True:
    return true;
  case ValueType::False:
    return false;
  default:
    // Taking any other tag as false would read the value's data as the
    // values that follow it.
    failAt(at, invalidPropertyValueText);
  }
}

std::string ComponentReader::readString() {
  const std::size_t at = pos_;
  std::size_t length;
  switch (readValue()) {
  case ValueType::String:
    length = checkedLength(readByte(), at);
    break;
  case ValueType::LString: {
    const auto *p = reinterpret_cast<const unsigned char *>(take(4));
    const std::uint32_t v = std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) |
                            (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
    length = checkedLength(static_cast<std::int32_t>(v), at);
    break;
  }
  default:
    failAt(at, invalidPropertyValueText);
  }
  return std::string(take(length), length);
}

std::string ComponentReader::readName() {
  const std::size_t at = pos_;
  const std::size_t length = checkedLength(readByte(), at);
  return std::string(take(length), length);
}

void ComponentReader::readSignature() {
  const std::size_t at = pos_;
  if (remaining() < streamSignature.size() ||
      bytes_.substr(pos_, streamSignature.size()) != streamSignature)
    failAt(at, invalidImageText);
  pos_ += streamSignature.size();
}

void ComponentReader::readProperties(StreamableComponent &component) {
  while (!endOfList()) {
    const std::size_t at = pos_;
    const std::string name = readName();
    if (component.readPublishedProperty(name, *this))
      continue;
    const std::string_view defined = component.definedPropertyName();
    if (defined.empty() || !sameName(name, defined))
      failAt(at, Format(unknownPropertyText, {shownName(name)}));
    component.readData(*this);
  }
  readListEnd();
}

std::unique_ptr<StreamableComponent> ComponentReader::readComponent() {
  NestingGuard guard(*this);
  const std::size_t at = pos_;
  const std::string className = readName();
  std::unique_ptr<StreamableComponent> component = registry_.create(className);
  if (!component)
    failAt(at, Format(classNotFoundText, {shownName(className)}));
  readName(); // the component name, never used
  readProperties(*component);
  // The streams of filter files hold no child components.
  if (!endOfList())
    fail(invalidImageText);
  readListEnd();
  return component;
}

void ComponentReader::readRootComponent(StreamableComponent &root) {
  NestingGuard guard(*this);
  readSignature();
  readName(); // the root's class name is not checked
  readName();
  readProperties(root);
  if (!endOfList())
    fail(invalidImageText);
  readListEnd();
}

// Iterative, so a run of list starts cannot exhaust the call stack; the
// nesting bound still applies.
void ComponentReader::skipValue(int &depth) {
  const std::size_t at = pos_;
  switch (readValue()) {
  case ValueType::Null:
    if (depth == 0)
      failAt(at, invalidPropertyValueText);
    --depth;
    --nesting_;
    return;
  case ValueType::List:
    if (nesting_ >= maxNesting)
      failAt(at, nestingTooDeepText);
    ++depth;
    ++nesting_;
    return;
  case ValueType::Int8:
    take(1);
    return;
  case ValueType::Int16:
    take(2);
    return;
  case ValueType::Int32:
    take(4);
    return;
  case ValueType::False:
  case ValueType::True:
    return;
  case ValueType::String:
  case ValueType::LString:
    pos_ = at;
    readString();
    return;
  }
  failAt(at, invalidPropertyValueText);
}

std::string ComponentReader::readRawValue() {
  const std::size_t start = pos_;
  const int nestingBefore = nesting_;
  int depth = 0;
  try {
    do
      skipValue(depth);
    while (depth > 0);
  } catch (...) {
    nesting_ = nestingBefore;
    throw;
  }
  return std::string(bytes_.substr(start, pos_ - start));
}

std::string ComponentReader::readRawValues() {
  const std::size_t start = pos_;
  while (!endOfList())
    readRawValue();
  return std::string(bytes_.substr(start, pos_ - start));
}

std::unique_ptr<StreamableComponent> cloneComponent(const StreamableComponent &component,
                                                    const ClassRegistry &registry, int fileType) {
  std::string bytes;
  ComponentWriter writer(bytes);
  writer.writeComponent(component);
  ComponentReader reader(bytes, {}, registry);
  reader.setFileTypeRead(fileType);
  return reader.readComponent();
}

} // namespace marrowen
