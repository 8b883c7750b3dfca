#include "grid/data/published.h"

#include "classlib/collation.h"
#include "classlib/componentstream.h"
#include "grid/data/component.h"
#include "grid/data/gridutils.h"

#include <algorithm>

namespace marrowen {

namespace {

constexpr std::string_view fontStyleNames[] = {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"};

std::string memberName(const PublishedProperty &p, std::int32_t ordinal) {
  if (ordinal >= 0 && static_cast<std::size_t>(ordinal) < p.members.size())
    return std::string(p.members[ordinal]);
  return std::to_string(ordinal);
}

std::int32_t memberOrdinal(const PublishedProperty &p, std::string_view name, ComponentReader &r,
                           std::size_t at) {
  for (std::size_t i = 0; i < p.members.size(); ++i)
    if (sameName(p.members[i], name))
      return static_cast<std::int32_t>(i);
  r.failAt(at, invalidPropertyValueText);
}

// The class library writes a font as Charset, Color, Height, Name, Style; the
// height is negative for a size in points at 96 pixels per inch.
void writeFont(ComponentWriter &w, const TFont &font, const std::string &prefix) {
  w.writeName(prefix + "Charset");
  w.writeInteger(font.Charset());
  w.writeName(prefix + "Color");
  w.writeInteger(font.Color());
  w.writeName(prefix + "Height");
  w.writeInteger(-(font.Size() * 96 + 36) / 72);
  w.writeName(prefix + "Name");
  w.writeString(font.Name());
  w.writeName(prefix + "Style");
  std::vector<std::string_view> styles;
  for (int i = 0; i < 4; ++i)
    if (font.Style() & (1 << i))
      styles.push_back(fontStyleNames[i]);
  w.writeSet(styles);
}

bool readFontProperty(ComponentReader &r, TFont &font, std::string_view name) {
  if (sameName(name, "Charset"))
    font.SetCharset(static_cast<std::uint8_t>(r.readInteger()));
  else if (sameName(name, "Color"))
    font.SetColor(r.readInteger());
  else if (sameName(name, "Height"))
    font.SetSize((-r.readInteger() * 72 + 48) / 96);
  else if (sameName(name, "Size"))
    font.SetSize(r.readInteger());
  else if (sameName(name, "Name"))
    font.SetName(r.readString());
  else if (sameName(name, "Style")) {
    std::uint8_t style = 0;
    for (const std::string &member : r.readSet())
      for (int i = 0; i < 4; ++i)
        if (sameName(member, fontStyleNames[i]))
          style |= static_cast<std::uint8_t>(1 << i);
    font.SetStyle(style);
  } else if (sameName(name, "Pitch")) {
    const std::string pitch = r.readIdent();
    font.SetPitch(sameName(pitch, "fpFixed")      ? TFontPitch::fpFixed
                  : sameName(pitch, "fpVariable") ? TFontPitch::fpVariable
                                                  : TFontPitch::fpDefault);
  } else
    return false;
  return true;
}

} // namespace

const PublishedProperty *Published::findProperty(std::string_view name) const {
  for (const PublishedProperty &p : publishedProperties())
    if (sameName(p.name, name))
      return &p;
  return nullptr;
}

void Published::writeDefinedProperties(ComponentWriter &, std::string_view) const {}

bool Published::readDefinedProperty(std::string_view, ComponentReader &) { return false; }

bool Published::isStored(const PublishedProperty &p) const {
  if (p.stored)
    return p.stored(*this);
  switch (p.kind) {
  case PropKind::Font:
    return p.getFont(*this) != nullptr;
  case PropKind::Component:
    return p.getComponent(*this) != nullptr;
  default:
    return p.defaultValue.isEmpty() || !VarSameValue(p.get(*this), p.defaultValue);
  }
}

void writePublished(ComponentWriter &w, const Published &object, std::string_view prefix) {
  for (const PublishedProperty &p : object.publishedProperties()) {
    if (!object.isStored(p))
      continue;
    const std::string name = std::string(prefix) + std::string(p.name);
    if (p.kind == PropKind::Font) {
      if (const TFont *font = p.getFont(object))
        writeFont(w, *font, name + ".");
      continue;
    }
    w.writeName(name);
    switch (p.kind) {
    case PropKind::Integer:
      w.writeInteger(p.get(object).toInteger());
      break;
    case PropKind::Boolean:
      w.writeBoolean(p.get(object).toBoolean());
      break;
    case PropKind::Enumeration:
      w.writeIdent(memberName(p, p.get(object).toInteger()));
      break;
    case PropKind::Set: {
      const std::int32_t bits = p.get(object).toInteger();
      std::vector<std::string_view> members;
      for (std::size_t i = 0; i < p.members.size(); ++i)
        if (bits & (1 << i))
          members.push_back(p.members[i]);
      w.writeSet(members);
      break;
    }
    case PropKind::Double:
      w.writeDouble(p.get(object).toDouble());
      break;
    case PropKind::String:
      w.writeString(p.get(object).toString());
      break;
    case PropKind::Component:
      if (TComponent *c = p.getComponent(object))
        w.writeIdent(c->Name());
      else
        w.writeNil();
      break;
    case PropKind::Font:
      break;
    }
  }
  object.writeDefinedProperties(w, prefix);
}

std::int32_t readBoundedInteger(ComponentReader &reader, std::int32_t low, std::int32_t high) {
  const std::size_t at = reader.position();
  const std::int32_t value = reader.readInteger();
  if (value < low || value > high)
    reader.failAt(at, invalidPropertyValueText);
  return value;
}

bool readPublished(ComponentReader &r, Published &object, std::string_view name,
                   const std::function<TComponent *(std::string_view)> &findComponent) {
  std::size_t dot = name.find('.');
  const PublishedProperty *p = object.findProperty(name.substr(0, dot));
  // A nested value published on its own ("Constraints.MaxHeight").
  if (!p && dot != std::string_view::npos && (p = object.findProperty(name)))
    dot = std::string_view::npos;
  if (!p)
    return object.readDefinedProperty(name, r);
  if (p->kind == PropKind::Font) {
    if (dot == std::string_view::npos)
      return false;
    TFont font;
    if (const TFont *own = p->getFont(object))
      font.Assign(*own);
    if (!readFontProperty(r, font, name.substr(dot + 1)))
      return false;
    p->setFont(object, &font);
    return true;
  }
  if (dot != std::string_view::npos)
    return false;
  const std::size_t at = r.position();
  switch (p->kind) {
  case PropKind::Integer:
    p->set(object, Variant(readBoundedInteger(r, p->low, p->high)));
    break;
  case PropKind::Boolean:
    p->set(object, Variant(r.readBoolean()));
    break;
  case PropKind::Enumeration: {
    const std::string ident = r.readIdent();
    p->set(object, Variant(memberOrdinal(*p, ident, r, at)));
    break;
  }
  case PropKind::Set: {
    std::int32_t bits = 0;
    for (const std::string &member : r.readSet())
      bits |= 1 << memberOrdinal(*p, member, r, at);
    p->set(object, Variant(bits));
    break;
  }
  case PropKind::Double:
    p->set(object, Variant(r.readDouble()));
    break;
  case PropKind::String:
    p->set(object, Variant(r.readString()));
    break;
  case PropKind::Component:
    if (r.nextValue() == ValueType::Nil) {
      r.readValue();
      p->setComponent(object, nullptr);
    } else {
      const std::string ident = r.readIdent();
      if (findComponent)
        p->setComponent(object, findComponent(ident));
    }
    break;
  case PropKind::Font:
    break;
  }
  return true;
}

void CopyPublishedProperty(std::string_view name, Published &dest, const Published &source) {
  const PublishedProperty *from = source.findProperty(name);
  const PublishedProperty *to = dest.findProperty(name);
  if (!from || !to || from->kind != to->kind)
    return;
  switch (from->kind) {
  case PropKind::Font:
    to->setFont(dest, from->getFont(source));
    break;
  case PropKind::Component:
    to->setComponent(dest, from->getComponent(source));
    break;
  default:
    to->set(dest, from->get(source));
  }
}

void CopyPublishedProperties(Published &dest, const Published &source, std::string_view exclude) {
  std::vector<std::string> excluded;
  std::string rest(exclude), item;
  while (!rest.empty()) {
    CutAtSeparator(rest, item, ';');
    const std::size_t b = item.find_first_not_of(' ');
    const std::size_t e = item.find_last_not_of(' ');
    if (b != std::string::npos)
      excluded.push_back(item.substr(b, e - b + 1));
  }
  // A name excludes the values nested in it too.
  for (const PublishedProperty &p : source.publishedProperties())
    if (std::none_of(excluded.begin(), excluded.end(), [&](const std::string &x) {
          return AnsiSameText(x, p.name) || AnsiSameText(x, p.name.substr(0, p.name.find('.')));
        }))
      CopyPublishedProperty(p.name, dest, source);
}

} // namespace marrowen
