#include "classlib/componentstream.h"

#include "classlib/format.h"

#include <cmath>
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

class NoClasses : public ComponentClasses {
public:
  std::unique_ptr<StreamableComponent> create(std::string_view) const override { return nullptr; }
};

} // namespace

const ComponentClasses &noComponentClasses() {
  static const NoClasses none;
  return none;
}

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

void StreamableComponent::writeDefinedProperties(ComponentWriter &) const {}

bool StreamableComponent::readDefinedProperty(std::string_view, ComponentReader &) { return false; }

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

namespace {

void appendLength(std::string &out, std::size_t size) {
  if (size > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
    throw EWriteError("Stream write error: value too long");
  const auto n = static_cast<std::uint32_t>(size);
  for (int i = 0; i < 4; ++i)
    out.push_back(static_cast<char>((n >> (8 * i)) & 0xFF));
}

// The 80-bit extended form: sign and 15-bit exponent (bias 16383) above a
// 64-bit mantissa whose integer bit is explicit.
void toExtended(double value, unsigned char out[10]) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  const unsigned sign = static_cast<unsigned>(bits >> 63);
  const int exponent = static_cast<int>((bits >> 52) & 0x7FF);
  std::uint64_t fraction = bits & ((std::uint64_t(1) << 52) - 1);
  std::uint64_t mantissa;
  int e;
  if (exponent == 0 && fraction == 0) {
    mantissa = 0;
    e = 0;
  } else if (exponent == 0x7FF) {
    mantissa = (std::uint64_t(1) << 63) | (fraction << 11);
    e = 0x7FFF;
  } else if (exponent == 0) { // subnormal: normalise
    int shift = 0;
    while (!(fraction & (std::uint64_t(1) << 52))) {
      fraction <<= 1;
      ++shift;
    }
    mantissa = fraction << 11;
    e = 1 - 1023 - shift + 16383;
  } else {
    mantissa = (std::uint64_t(1) << 63) | (fraction << 11);
    e = exponent - 1023 + 16383;
  }
  for (int i = 0; i < 8; ++i)
    out[i] = static_cast<unsigned char>(mantissa >> (8 * i));
  out[8] = static_cast<unsigned char>(e & 0xFF);
  out[9] = static_cast<unsigned char>(((e >> 8) & 0x7F) | (sign << 7));
}

double fromExtended(const unsigned char in[10]) {
  std::uint64_t mantissa = 0;
  for (int i = 0; i < 8; ++i)
    mantissa |= std::uint64_t(in[i]) << (8 * i);
  const int e = in[8] | ((in[9] & 0x7F) << 8);
  const bool negative = in[9] & 0x80;
  double value;
  if (e == 0x7FFF)
    value = (mantissa << 1) ? std::numeric_limits<double>::quiet_NaN()
                            : std::numeric_limits<double>::infinity();
  else
    value = std::ldexp(static_cast<double>(mantissa), e - 16383 - 63);
  return negative ? -value : value;
}

} // namespace

void ComponentWriter::writeIdent(std::string_view name) {
  writeValue(ValueType::Ident);
  writeName(name);
}

void ComponentWriter::writeBinary(std::string_view bytes) {
  writeValue(ValueType::Binary);
  appendLength(out_, bytes.size());
  out_.append(bytes);
}

void ComponentWriter::writeSet(const std::vector<std::string_view> &members) {
  writeValue(ValueType::Set);
  for (std::string_view member : members)
    writeName(member);
  writeName({});
}

void ComponentWriter::writeDouble(double value) {
  unsigned char bytes[10];
  toExtended(value, bytes);
  writeValue(ValueType::Extended);
  out_.append(reinterpret_cast<const char *>(bytes), 10);
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
  if (component.tag() != 0) {
    writeName(tagPropertyName);
    writeInteger(component.tag());
  }
  component.writePublishedProperties(*this);
  if (const std::string_view property = component.definedPropertyName(); !property.empty()) {
    writeName(property);
    component.writeData(*this);
  }
  component.writeDefinedProperties(*this);
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
                                 const ComponentClasses &registry)
    : bytes_(bytes), sourceName_(std::move(sourceName)), registry_(registry) {}

ComponentReader::ComponentReader(std::string_view bytes, std::string sourceName)
    : ComponentReader(bytes, std::move(sourceName), noComponentClasses()) {}

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

std::string ComponentReader::readIdent() {
  const std::size_t at = pos_;
  if (readValue() != ValueType::Ident)
    failAt(at, invalidPropertyValueText);
  return readName();
}

std::string ComponentReader::readBinary() {
  const std::size_t at = pos_;
  if (readValue() != ValueType::Binary)
    failAt(at, invalidPropertyValueText);
  const std::size_t lengthAt = pos_;
  const auto *p = reinterpret_cast<const unsigned char *>(take(4));
  const std::uint32_t v = std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) |
                          (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
  const std::size_t length = checkedLength(static_cast<std::int32_t>(v), lengthAt);
  return std::string(take(length), length);
}

std::vector<std::string> ComponentReader::readSet() {
  const std::size_t at = pos_;
  if (readValue() != ValueType::Set)
    failAt(at, invalidPropertyValueText);
  std::vector<std::string> members;
  for (std::string member = readName(); !member.empty(); member = readName())
    members.push_back(std::move(member));
  return members;
}

double ComponentReader::readDouble() {
  const std::size_t at = pos_;
  switch (nextValue()) {
  case ValueType::Extended: {
    readValue();
    unsigned char bytes[10];
    std::memcpy(bytes, take(10), 10);
    return fromExtended(bytes);
  }
  case ValueType::Double: {
    readValue();
    double value;
    std::memcpy(&value, take(8), 8);
    return value;
  }
  case ValueType::Int8:
  case ValueType::Int16:
  case ValueType::Int32:
    return readInteger();
  default:
    failAt(at, invalidPropertyValueText);
  }
}

void ComponentReader::readCollectionBegin() {
  const std::size_t at = pos_;
  if (readValue() != ValueType::Collection)
    failAt(at, invalidPropertyValueText);
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
    if (sameName(name, tagPropertyName)) {
      component.setTag(readInteger());
      continue;
    }
    const std::string_view defined = component.definedPropertyName();
    if (!defined.empty() && sameName(name, defined)) {
      component.readData(*this);
      continue;
    }
    if (!component.readDefinedProperty(name, *this))
      failAt(at, Format(unknownPropertyText, {shownName(name)}));
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
  case ValueType::Ident:
    readName();
    return;
  case ValueType::Nil:
    return;
  case ValueType::Extended:
    take(10);
    return;
  case ValueType::Double:
    take(8);
    return;
  case ValueType::Binary:
    pos_ = at;
    readBinary();
    return;
  case ValueType::Set:
    pos_ = at;
    readSet();
    return;
  case ValueType::Collection:
    pos_ = at;
    skipCollection();
    return;
  }
  failAt(at, invalidPropertyValueText);
}

// Items are lists of named properties, so the names must be read as names.
void ComponentReader::skipCollection() {
  NestingGuard guard(*this);
  readCollectionBegin();
  while (!endOfList()) {
    if (nextValue() != ValueType::List)
      readInteger(); // the item's order
    readListBegin();
    while (!endOfList()) {
      readName();
      readRawValue();
    }
    readListEnd();
  }
  readListEnd();
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
                                                    const ComponentClasses &registry,
                                                    int fileType) {
  std::string bytes;
  ComponentWriter writer(bytes);
  writer.writeComponent(component);
  ComponentReader reader(bytes, {}, registry);
  reader.setFileTypeRead(fileType);
  return reader.readComponent();
}

} // namespace marrowen
