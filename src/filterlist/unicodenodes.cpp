#include "filterlist/unicodenodes.h"

#include "classlib/format.h"
#include "engine/filter.h"
#include "engine/messages.h"
#include "filters/unicodemap.h"

namespace marrowen {

namespace {

using UnicodeMapField = NodeField<TUnicodeMapObject>;
// The entries, a list of pairs, are stored before the table. Files before
// type 43 kept no range and read as 0 .. 127; a new node starts with none
// (0 .. 0).
const UnicodeMapField unicodeMapFields[] = {
    {"startValue", &TUnicodeMapObject::startValue, 0, "", 43},
    {"endValue", &TUnicodeMapObject::endValue, 127, "", 43},
};

} // namespace

std::span<const UnicodeMapField> TUnicodeMapObject::fields() { return unicodeMapFields; }

std::unique_ptr<TUnicodeMapObject> TUnicodeMapObject::CreateDefault() {
  return std::make_unique<TUnicodeMapObject>();
}

std::vector<std::string> TUnicodeMapObject::fromList() const {
  std::vector<std::string> list;
  list.reserve(entries.size());
  for (const UnicodeMapEntry &entry : entries)
    list.push_back(entry.from);
  return list;
}

std::vector<std::string> TUnicodeMapObject::toList() const {
  std::vector<std::string> list;
  list.reserve(entries.size());
  for (const UnicodeMapEntry &entry : entries)
    list.push_back(entry.to);
  return list;
}

std::string TUnicodeMapObject::getTitle() const { return translate(3500, "Unicode map"); }

std::string TUnicodeMapObject::printText(std::string_view indent) const {
  std::string text = shortTitle(*this) + "\r\n";
  for (const UnicodeMapEntry &entry : entries)
    text += translateFormat(3510, "%s  %s [%s]\r\n", {indent, entry.from, entry.to});
  return text;
}

std::unique_ptr<TFilter> TUnicodeMapObject::add_this_filter(TFilterList &) {
  try {
    return std::make_unique<TUnicodeMap>(fromList(), toList());
  } catch (Exception &e) {
    e.setMessage(Format("%s: %s", {shortTitle(*this), e.message()}));
    throw;
  }
}

void TUnicodeMapObject::writeData(ComponentWriter &writer) const {
  TListObject::writeData(writer);
  writer.writeListBegin();
  for (const UnicodeMapEntry &entry : entries) {
    writer.writeString(entry.from);
    writer.writeString(entry.to);
  }
  writer.writeListEnd();
  writeFields(*this, writer, fields());
}

void TUnicodeMapObject::readData(ComponentReader &reader) {
  TListObject::readData(reader);
  entries.clear();
  reader.readListBegin();
  while (!reader.endOfList()) {
    UnicodeMapEntry entry;
    entry.from = reader.readString();
    entry.to = reader.readString();
    entries.push_back(std::move(entry));
  }
  reader.readListEnd();
  readFields(*this, reader, fields());
}

} // namespace marrowen
