#pragma once

#include "grid/data/font.h"
#include "grid/data/variant.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace marrowen {

class ComponentReader;
class ComponentWriter;
class Published;
class TComponent;

enum class PropKind { Integer, Boolean, Enumeration, Set, Double, String, Font, Component };

// One published property of a class: how to read and write it, its default
// (Unassigned: always stored) and an optional stored test. Enumerations and
// sets carry their member names; their values travel as ordinals and bit sets.
struct PublishedProperty {
  std::string_view name;
  PropKind kind;
  std::function<Variant(const Published &)> get;
  std::function<void(Published &, const Variant &)> set;
  Variant defaultValue;
  std::function<bool(const Published &)> stored;
  std::span<const std::string_view> members;
  // Font properties: the object's own font (null when it has none) and its setter.
  std::function<const TFont *(const Published &)> getFont;
  std::function<void(Published &, const TFont *)> setFont;
  // Component references: the component and its setter.
  std::function<TComponent *(const Published &)> getComponent;
  std::function<void(Published &, TComponent *)> setComponent;
  // Integers a stream may give; a count or size outside is refused as damaged.
  std::int32_t low = INT32_MIN;
  std::int32_t high = INT32_MAX;
};

// What a stream may ask of a grid: far beyond any form's grid, and small
// enough that a damaged number can neither take all the memory nor overflow
// the sums of sizes.
inline constexpr std::int32_t maxStreamedCols = 65536;
inline constexpr std::int32_t maxStreamedRows = 4194304;
inline constexpr std::int32_t maxStreamedExtent = 16777215;
// A grid's own least size: the window is drawn whole into memory, so no more
// than the widest screen.
inline constexpr std::int32_t maxStreamedWindowExtent = 8192;

inline PublishedProperty withRange(PublishedProperty p, std::int32_t low, std::int32_t high) {
  p.low = low;
  p.high = high;
  return p;
}

// Reads an integer that counts or sizes something; one outside low..high is
// refused with "Invalid property value" where it stands.
std::int32_t readBoundedInteger(ComponentReader &reader, std::int32_t low, std::int32_t high);

// An object with a published-property table. The stream code, copying and
// resetting walk the table rather than naming each property.
class Published {
public:
  virtual ~Published() = default;
  virtual std::span<const PublishedProperty> publishedProperties() const = 0;
  const PublishedProperty *findProperty(std::string_view name) const;

  // Streamed properties beyond the table ("Combo", legacy entries).
  virtual void writeDefinedProperties(ComponentWriter &writer, std::string_view prefix) const;
  virtual bool readDefinedProperty(std::string_view name, ComponentReader &reader);

  // Whether the property is written: its stored test, else a value unlike the default.
  bool isStored(const PublishedProperty &property) const;
};

// Writes the stored properties of `object` under `prefix` ("Col."), then its
// defined properties. A font is written as its own properties under
// "<name>.".
void writePublished(ComponentWriter &writer, const Published &object, std::string_view prefix);
// Reads the value of property `name` (already without the prefix); answers
// false, reading nothing, for a name the object does not have.
bool readPublished(ComponentReader &reader, Published &object, std::string_view name,
                   const std::function<TComponent *(std::string_view)> &findComponent = {});

// Copies every published property of `source` to the same-named property of
// `dest`, except the ";"-separated names of `exclude`.
void CopyPublishedProperties(Published &dest, const Published &source, std::string_view exclude);
void CopyPublishedProperty(std::string_view name, Published &dest, const Published &source);

// Builders for the tables, over a class's getter and setter.
template <class C, class T, class S = T, class GC = C, class SC = C>
PublishedProperty publishedValue(std::string_view name, PropKind kind, T (GC::*getter)() const,
                                 void (SC::*setter)(S), Variant defaultValue = {},
                                 std::type_identity_t<bool (C::*)() const> stored = nullptr,
                                 std::span<const std::string_view> members = {}) {
  PublishedProperty p;
  p.name = name;
  p.kind = kind;
  p.get = [getter](const Published &o) {
    const T v = (static_cast<const C &>(o).*getter)();
    if constexpr (std::is_same_v<T, bool> || std::is_same_v<T, double>)
      return Variant(v);
    else if constexpr (std::is_convertible_v<T, std::string_view> || std::is_same_v<T, std::string>)
      return Variant(std::string(v));
    else
      return Variant(static_cast<std::int32_t>(v));
  };
  p.set = [setter](Published &o, const Variant &v) {
    using Plain = std::remove_cvref_t<S>;
    if constexpr (std::is_same_v<Plain, bool>)
      (static_cast<C &>(o).*setter)(v.toBoolean());
    else if constexpr (std::is_same_v<Plain, double>)
      (static_cast<C &>(o).*setter)(v.toDouble());
    else if constexpr (std::is_same_v<Plain, std::string>)
      (static_cast<C &>(o).*setter)(v.toString());
    else
      (static_cast<C &>(o).*setter)(static_cast<Plain>(v.toInteger()));
  };
  p.defaultValue = std::move(defaultValue);
  if (stored)
    p.stored = [stored](const Published &o) { return (static_cast<const C &>(o).*stored)(); };
  p.members = members;
  return p;
}

} // namespace marrowen
