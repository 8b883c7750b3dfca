#include "classlib/componentstream.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <initializer_list>
#include <map>

using namespace marrowen;

namespace {

std::string bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values)
    s.push_back(static_cast<char>(v));
  return s;
}

template <class Write> std::string written(Write write) {
  std::string out;
  ComponentWriter writer(out);
  write(writer);
  return out;
}

// Classes made by name, as the filter lists' registry makes them.
class TestClasses : public ComponentClasses {
public:
  std::map<std::string, std::function<std::unique_ptr<StreamableComponent>()>> factories;
  std::unique_ptr<StreamableComponent> create(std::string_view className) const override {
    auto it = factories.find(std::string(className));
    return it == factories.end() ? nullptr : it->second();
  }
};

} // namespace

TEST(ComponentStream, IntegersUseTheSmallestTag) {
  struct Case {
    std::int32_t value;
    std::string stored;
  };
  const Case cases[] = {
      {0, bytes({0x02, 0x00})},
      {1, bytes({0x02, 0x01})},
      {127, bytes({0x02, 0x7F})},
      {-128, bytes({0x02, 0x80})},
      {128, bytes({0x03, 0x80, 0x00})},
      {200, bytes({0x03, 0xC8, 0x00})},
      {-129, bytes({0x03, 0x7F, 0xFF})},
      {32767, bytes({0x03, 0xFF, 0x7F})},
      {-32768, bytes({0x03, 0x00, 0x80})},
      {32768, bytes({0x04, 0x00, 0x80, 0x00, 0x00})},
      {40000, bytes({0x04, 0x40, 0x9C, 0x00, 0x00})},
      {-32769, bytes({0x04, 0xFF, 0x7F, 0xFF, 0xFF})},
      {INT32_MAX, bytes({0x04, 0xFF, 0xFF, 0xFF, 0x7F})},
      {INT32_MIN, bytes({0x04, 0x00, 0x00, 0x00, 0x80})},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(written([&](ComponentWriter &w) { w.writeInteger(c.value); }), c.stored);
    ComponentReader reader(c.stored);
    EXPECT_EQ(reader.readInteger(), c.value);
    EXPECT_TRUE(reader.atEnd());
  }
}

TEST(ComponentStream, ReaderAcceptsAnyIntegerWidth) {
  const std::string stored = bytes({0x04, 0x05, 0, 0, 0, 0x03, 0xFE, 0xFF, 0x02, 0x07});
  ComponentReader reader(stored);
  EXPECT_EQ(reader.readInteger(), 5);
  EXPECT_EQ(reader.readInteger(), -2);
  EXPECT_EQ(reader.readInteger(), 7);
}

TEST(ComponentStream, StringsUpTo255BytesUseTheShortTag) {
  const std::string s255(255, 'a'), s256(256, 'b');
  EXPECT_EQ(written([&](ComponentWriter &w) { w.writeString(s255); }), bytes({0x06, 0xFF}) + s255);
  EXPECT_EQ(written([&](ComponentWriter &w) { w.writeString(s256); }),
            bytes({0x0C, 0x00, 0x01, 0x00, 0x00}) + s256);
  EXPECT_EQ(written([&](ComponentWriter &w) { w.writeString(""); }), bytes({0x06, 0x00}));
}

TEST(ComponentStream, EveryValueTypeRoundTrips) {
  std::string binary;
  for (int c = 0; c < 256; ++c)
    binary.push_back(static_cast<char>(c));
  const std::string longText = binary + binary + std::string("\0\r\n", 3);
  const std::string out = written([&](ComponentWriter &w) {
    w.writeInteger(-7);
    w.writeInteger(-3000);
    w.writeInteger(100000);
    w.writeBoolean(true);
    w.writeBoolean(false);
    w.writeString(std::string("a\0b", 3));
    w.writeString(longText);
    w.writeListBegin();
    w.writeString("x");
    w.writeListBegin();
    w.writeListEnd();
    w.writeListEnd();
    w.writeName("enabled");
  });
  ComponentReader reader(out);
  EXPECT_EQ(reader.readInteger(), -7);
  EXPECT_EQ(reader.readInteger(), -3000);
  EXPECT_EQ(reader.readInteger(), 100000);
  EXPECT_TRUE(reader.readBoolean());
  EXPECT_FALSE(reader.readBoolean());
  EXPECT_EQ(reader.readString(), std::string("a\0b", 3));
  EXPECT_EQ(reader.readString(), longText);
  reader.readListBegin();
  EXPECT_FALSE(reader.endOfList());
  EXPECT_EQ(reader.readString(), "x");
  reader.readListBegin();
  EXPECT_TRUE(reader.endOfList());
  reader.readListEnd();
  reader.readListEnd();
  EXPECT_EQ(reader.readName(), "enabled");
  EXPECT_TRUE(reader.atEnd());
}

TEST(ComponentStream, NameLongerThan255BytesCannotBeWritten) {
  std::string out;
  ComponentWriter writer(out);
  EXPECT_THROW(writer.writeName(std::string(256, 'n')), EWriteError);
}

TEST(ComponentStream, WrongTagsAreInvalidValues) {
  struct Case {
    const char *what;
    std::string stored;
    std::function<void(ComponentReader &)> read;
  };
  const Case cases[] = {
      {"string where an integer is due", bytes({0x06, 0x00}),
       [](ComponentReader &r) { r.readInteger(); }},
      {"integer where a string is due", bytes({0x02, 0x00}),
       [](ComponentReader &r) { r.readString(); }},
      {"string where a Boolean is due", bytes({0x06, 0x01, 0x09}),
       [](ComponentReader &r) { r.readBoolean(); }},
      {"unknown tag 0x05", bytes({0x05}), [](ComponentReader &r) { r.readInteger(); }},
      {"no list start", bytes({0x00}), [](ComponentReader &r) { r.readListBegin(); }},
      {"no list end", bytes({0x01}), [](ComponentReader &r) { r.readListEnd(); }},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    ComponentReader reader(c.stored, "x.fll");
    try {
      c.read(reader);
      ADD_FAILURE() << "no error";
    } catch (const EReadError &e) {
      EXPECT_EQ(e.detail(), invalidPropertyValueText);
      EXPECT_EQ(e.position(), 0u);
    }
  }
}

TEST(ComponentStream, LengthsBeyondTheBytesLeftAreReadErrors) {
  struct Case {
    const char *what;
    std::string stored;
  };
  const Case cases[] = {
      {"short string past the end", bytes({0x06, 0x05, 'a', 'b'})},
      {"long string past the end", bytes({0x0C, 0x10, 0x00, 0x00, 0x00, 'a'})},
      {"negative long string length", bytes({0x0C, 0xFF, 0xFF, 0xFF, 0xFF, 'a'})},
      {"huge long string length", bytes({0x0C, 0xFF, 0xFF, 0xFF, 0x7F})},
      {"length cut short", bytes({0x0C, 0x01, 0x00})},
      {"no length at all", bytes({0x06})},
      {"nothing", ""},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    ComponentReader reader(c.stored, "/tmp/damaged.fll");
    try {
      reader.readString();
      ADD_FAILURE() << "no error";
    } catch (const EReadError &e) {
      EXPECT_EQ(e.detail(), readErrorText);
      EXPECT_NE(e.message().find("/tmp/damaged.fll"), std::string::npos) << e.message();
    }
  }
}

TEST(ComponentStream, TruncatedIntegersAndNamesAreReadErrors) {
  for (const std::string &stored :
       {bytes({0x03, 0x01}), bytes({0x04, 1, 2, 3}), bytes({0x02}), std::string()}) {
    ComponentReader reader(stored);
    EXPECT_THROW(reader.readInteger(), EReadError);
  }
  const std::string name = bytes({0x05, 'a', 'b'});
  ComponentReader names(name);
  EXPECT_THROW(names.readName(), EReadError);
}

TEST(ComponentStream, ErrorMessageNamesTheFileAndTheByte) {
  const std::string stored = bytes({0x02, 0x01, 0x06, 0x03, 'a'});
  ComponentReader reader(stored, "c:\\lists\\x.fll");
  reader.readInteger();
  try {
    reader.readString();
    FAIL();
  } catch (const EStreamError &e) {
    EXPECT_EQ(e.message(), "Error reading c:\\lists\\x.fll: Stream read error (at byte 2)");
  }
}

TEST(ComponentStream, RawValuesAreKeptByteForByte) {
  const std::string run =
      bytes({0x09, 0x02, 0x05, 0x03, 0x01, 0x02, 0x04, 1,    2, 3, 4, 0x01, 0x06,
             0x01, 'z',  0x01, 0x00, 0x00, 0x08, 0x0C, 0x01, 0, 0, 0, 'q'});
  const std::string stored = run + bytes({0x00});
  ComponentReader reader(stored);
  EXPECT_EQ(reader.readRawValues(), run);
  EXPECT_TRUE(reader.endOfList());

  const std::string two = bytes({0x01, 0x02, 0x01, 0x00, 0x09});
  ComponentReader one(two);
  EXPECT_EQ(one.readRawValue(), bytes({0x01, 0x02, 0x01, 0x00}));
  EXPECT_EQ(one.readRawValue(), bytes({0x09}));
}

TEST(ComponentStream, NestingIsBounded) {
  std::string deep(ComponentReader::maxNesting + 1, '\x01');
  deep += std::string(ComponentReader::maxNesting + 1, '\x00');
  ComponentReader tooDeep(deep, "deep.fll");
  try {
    tooDeep.readRawValue();
    FAIL();
  } catch (const EReadError &e) {
    EXPECT_EQ(e.detail(), nestingTooDeepText);
  }

  std::string fits(ComponentReader::maxNesting, '\x01');
  fits += std::string(ComponentReader::maxNesting, '\x00');
  ComponentReader ok(fits);
  EXPECT_EQ(ok.readRawValue(), fits);
}

namespace {

// A component whose value holds another component record, or nothing.
class Matryoshka : public StreamableComponent {
public:
  std::unique_ptr<StreamableComponent> inner;
  std::string_view className() const override { return "TMatryoshka"; }
  std::string_view definedPropertyName() const override { return "Inner"; }
  void writeData(ComponentWriter &w) const override {
    w.writeBoolean(inner != nullptr);
    if (inner)
      w.writeComponent(*inner);
  }
  void readData(ComponentReader &r) override {
    if (r.readBoolean())
      inner = r.readComponent();
  }
};

std::string nestedRecords(int depth) {
  auto outer = std::make_unique<Matryoshka>();
  for (int i = 1; i < depth; ++i) {
    auto next = std::make_unique<Matryoshka>();
    next->inner = std::move(outer);
    outer = std::move(next);
  }
  return written([&](ComponentWriter &w) { w.writeComponent(*outer); });
}

} // namespace

TEST(ComponentStream, ComponentNestingIsBounded) {
  TestClasses registry;
  registry.factories["TMatryoshka"] = [] { return std::make_unique<Matryoshka>(); };
  const std::string fits = nestedRecords(ComponentReader::maxNesting);
  ComponentReader ok(fits, {}, registry);
  EXPECT_NE(ok.readComponent(), nullptr);
  EXPECT_TRUE(ok.atEnd());

  const std::string deep = nestedRecords(ComponentReader::maxNesting + 1);
  ComponentReader tooDeep(deep, "deep.fll", registry);
  try {
    tooDeep.readComponent();
    FAIL();
  } catch (const EReadError &e) {
    EXPECT_EQ(e.detail(), nestingTooDeepText);
  }
}

TEST(ComponentStream, RawValuesRejectUnknownTagsAndStrayEnds) {
  for (const std::string &stored : {bytes({0x05, 0x00}), bytes({0x07, 0x00}), bytes({0x01}),
                                    bytes({0x06, 0x09, 'a'}), bytes({0xFF})}) {
    ComponentReader reader(stored);
    EXPECT_THROW(reader.readRawValues(), EReadError);
  }
  const std::string end = bytes({0x00});
  ComponentReader strayEnd(end);
  EXPECT_THROW(strayEnd.readRawValue(), EReadError);
}

TEST(ComponentStream, GridValueKindsRoundTripAndTruncationIsAReadError) {
  const std::string binary("\0\x01\xFF", 3);
  const std::string out = written([&](ComponentWriter &w) {
    w.writeIdent("taRightJustify");
    w.writeBinary(binary);
    w.writeSet({"spoAutoRepeat", "spoKeyEdit"});
    w.writeSet({});
    w.writeNil();
    w.writeDouble(1.0);
    w.writeDouble(-0.1);
    w.writeDouble(2.5e-310); // subnormal
    w.writeCollectionBegin();
    w.writeListBegin();
    w.writeName("DataCol");
    w.writeInteger(2);
    w.writeListEnd();
    w.writeListEnd();
  });
  EXPECT_EQ(out.substr(out.find('\x05', 40), 11),
            bytes({0x05, 0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F})); // 1.0 as an extended
  ComponentReader reader(out);
  EXPECT_EQ(reader.readIdent(), "taRightJustify");
  EXPECT_EQ(reader.readBinary(), binary);
  EXPECT_EQ(reader.readSet(), (std::vector<std::string>{"spoAutoRepeat", "spoKeyEdit"}));
  EXPECT_TRUE(reader.readSet().empty());
  EXPECT_EQ(reader.readValue(), ValueType::Nil);
  EXPECT_EQ(reader.readDouble(), 1.0);
  EXPECT_EQ(reader.readDouble(), -0.1);
  EXPECT_EQ(reader.readDouble(), 2.5e-310);
  const std::size_t collectionAt = reader.position();
  EXPECT_EQ(reader.readRawValue(), out.substr(collectionAt));
  EXPECT_TRUE(reader.atEnd());

  // Every cut through the run fails with the read error at a byte inside it.
  for (std::size_t n = 1; n < out.size(); ++n) {
    const std::string cut = out.substr(0, n);
    ComponentReader damaged(cut, "grid.dfm");
    try {
      while (true)
        damaged.readRawValue();
    } catch (const EReadError &e) {
      EXPECT_LE(e.position(), n);
      EXPECT_NE(e.message().find("grid.dfm"), std::string::npos);
    }
  }
}

namespace {

// A record with its own defined property and two more, "Data" only while set.
class TwoEntries : public StreamableComponent {
public:
  std::string data;
  int count = 0;
  std::string_view className() const override { return "TTwoEntries"; }
  std::string_view definedPropertyName() const override { return "Main"; }
  void writeData(ComponentWriter &w) const override { w.writeInteger(7); }
  void readData(ComponentReader &r) override { EXPECT_EQ(r.readInteger(), 7); }
  void writeDefinedProperties(ComponentWriter &w) const override {
    w.writeName("Count");
    w.writeInteger(count);
    if (!data.empty()) {
      w.writeName("Data");
      w.writeBinary(data);
    }
  }
  bool readDefinedProperty(std::string_view name, ComponentReader &r) override {
    if (sameName(name, "Count"))
      count = r.readInteger();
    else if (sameName(name, "Data"))
      data = r.readBinary();
    else
      return false;
    return true;
  }
};

} // namespace

TEST(ComponentStream, ARecordMayDefineSeveralProperties) {
  TestClasses classes;
  classes.factories["TTwoEntries"] = [] { return std::make_unique<TwoEntries>(); };
  TwoEntries with, without;
  with.data = std::string("\0\x01", 2);
  with.count = 3;
  for (const TwoEntries *record : {&with, &without}) {
    const std::string out = written([&](ComponentWriter &w) { w.writeComponent(*record); });
    EXPECT_EQ(out.find("Data") != std::string::npos, !record->data.empty());
    ComponentReader reader(out, {}, classes);
    auto read = reader.readComponent();
    const auto &back = dynamic_cast<const TwoEntries &>(*read);
    EXPECT_EQ(back.data, record->data);
    EXPECT_EQ(back.count, record->count);
    EXPECT_TRUE(reader.atEnd());
  }
}
