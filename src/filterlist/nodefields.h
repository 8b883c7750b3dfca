#pragma once

#include "classlib/codepage.h"
#include "classlib/componentstream.h"
#include "classlib/graphemes.h"
#include "engine/escapes.h"
#include "filterlist/settings.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

namespace marrowen {

// A field's value, whatever its type, as a dialog reads and sets it.
using FieldValue = std::variant<bool, std::int32_t, std::string>;

// One stored field of a node class: the member it lives in, the name a
// dialog binds a control to, its default, the setting that keeps the value
// the user chose last (none when empty) and the first file type that stores
// it. A class lists its fields in the order its record stores them; the
// table drives creating, remembering, writing and reading, and what does
// not fit a table (a field that depends on another, a value converted on
// load) stays as code beside it.
template <class Node> struct NodeField {
  std::string_view name;
  std::variant<bool Node::*, std::int32_t Node::*, std::string Node::*> member;
  std::variant<bool, std::int32_t, std::string_view> defaultValue;
  std::string_view settingName;
  int sinceFileType = 1;
  // A Boolean stored as its opposite.
  bool inverted = false;
  // A string kept and stored at most this many bytes long; 0: no limit.
  std::size_t maxLength = 0;
};

// `text` cut to the field's greatest length before the letter that does not
// fit: half a UTF-8 letter, or a letter without its marks, at the end of a
// folder would name another folder.
template <class Node>
std::string_view cutToFieldLength(const NodeField<Node> &field, std::string_view text) {
  return field.maxLength == 0 ? text : graphemes::cutToBytes(text, *charTables(), field.maxLength);
}

// Each field set to its default.
template <class Node> void applyFieldDefaults(Node &node, std::span<const NodeField<Node>> fields) {
  for (const NodeField<Node> &field : fields)
    std::visit(
        [&](auto member) {
          using T = std::remove_reference_t<decltype(node.*member)>;
          if constexpr (std::is_same_v<T, std::string>)
            node.*member = std::string(std::get<std::string_view>(field.defaultValue));
          else
            node.*member = std::get<T>(field.defaultValue);
        },
        field.member);
}

// Each field from its setting, with its default when the setting is absent.
// A class that keeps one set of settings a kind puts the kind's prefix
// before each name.
template <class Node>
void readFieldSettings(Node &node, std::span<const NodeField<Node>> fields,
                       std::string_view prefix = {}) {
  for (const NodeField<Node> &field : fields) {
    if (field.settingName.empty())
      continue;
    const std::string name = std::string(prefix) + std::string(field.settingName);
    std::visit(
        [&](auto member) {
          using T = std::remove_reference_t<decltype(node.*member)>;
          if constexpr (std::is_same_v<T, bool>)
            node.*member = readBoolSetting(name, std::get<bool>(field.defaultValue));
          else if constexpr (std::is_same_v<T, std::int32_t>)
            node.*member = readIntegerSetting(name, std::get<std::int32_t>(field.defaultValue));
          else
            node.*member = cutToFieldLength(
                field, readStringSetting(name, std::get<std::string_view>(field.defaultValue)));
        },
        field.member);
  }
}

// Each field with a setting, written to it (after `prefix`).
template <class Node>
void writeFieldSettings(const Node &node, std::span<const NodeField<Node>> fields,
                        std::string_view prefix = {}) {
  for (const NodeField<Node> &field : fields) {
    if (field.settingName.empty())
      continue;
    const std::string name = std::string(prefix) + std::string(field.settingName);
    std::visit(
        [&](auto member) {
          using T = std::remove_cvref_t<decltype(node.*member)>;
          if constexpr (std::is_same_v<T, bool>)
            writeBoolSetting(name, node.*member);
          else if constexpr (std::is_same_v<T, std::int32_t>)
            writeIntegerSetting(name, node.*member);
          else
            writeStringSetting(name, node.*member);
        },
        field.member);
  }
}

// The fields in stored order, as the current file type stores them.
template <class Node>
void writeFields(const Node &node, ComponentWriter &writer,
                 std::span<const NodeField<Node>> fields) {
  for (const NodeField<Node> &field : fields)
    std::visit(
        [&](auto member) {
          using T = std::remove_cvref_t<decltype(node.*member)>;
          if constexpr (std::is_same_v<T, bool>)
            writer.writeBoolean(field.inverted ? !(node.*member) : node.*member);
          else if constexpr (std::is_same_v<T, std::int32_t>)
            writer.writeInteger(node.*member);
          else
            writer.writeString(cutToFieldLength(field, node.*member));
        },
        field.member);
}

// The fields in stored order; those the file's type does not store yet
// take their defaults.
template <class Node>
void readFields(Node &node, ComponentReader &reader, std::span<const NodeField<Node>> fields) {
  const int type = reader.fileTypeRead();
  for (const NodeField<Node> &field : fields)
    std::visit(
        [&](auto member) {
          using T = std::remove_reference_t<decltype(node.*member)>;
          const bool stored = type >= field.sinceFileType;
          if constexpr (std::is_same_v<T, bool>)
            node.*member = stored ? reader.readBoolean() != field.inverted
                                  : std::get<bool>(field.defaultValue);
          else if constexpr (std::is_same_v<T, std::int32_t>)
            node.*member =
                stored ? reader.readInteger() : std::get<std::int32_t>(field.defaultValue);
          else
            node.*member = stored ? std::string(cutToFieldLength(field, reader.readString()))
                                  : std::string(std::get<std::string_view>(field.defaultValue));
        },
        field.member);
}

// The field named `name` (as the class spells it); none when there is none.
template <class Node>
const NodeField<Node> *findField(std::span<const NodeField<Node>> fields, std::string_view name) {
  for (const NodeField<Node> &field : fields)
    if (field.name == name)
      return &field;
  return nullptr;
}

template <class Node> FieldValue fieldValue(const Node &node, const NodeField<Node> &field) {
  return std::visit([&](auto member) { return FieldValue(node.*member); }, field.member);
}

// Sets the field from a value of its own type; false (and nothing set) for
// a value of another type.
template <class Node>
bool setFieldValue(Node &node, const NodeField<Node> &field, const FieldValue &value) {
  return std::visit(
      [&](auto member) {
        using T = std::remove_reference_t<decltype(node.*member)>;
        const T *given = std::get_if<T>(&value);
        if (!given)
          return false;
        node.*member = *given;
        return true;
      },
      field.member);
}

} // namespace marrowen
