#pragma once

// Stand-ins for the node classes and the filter list, just enough to drive
// the component stream the way they will.

#include "classlib/componentstream.h"
#include "filterlist/classregistry.h"
#include "filterlist/filterfile.h"
#include "filterlist/nodecatalog.h"

#include <memory>
#include <string>
#include <vector>

namespace marrowen::testing {

// Published "enabled", then the common part every node's data begins with.
class TestNodeBase : public StreamableComponent {
public:
  bool enabled = true;

  void writePublishedProperties(ComponentWriter &writer) const override {
    writer.writeName(enabledPropertyName);
    writer.writeBoolean(enabled);
  }
  bool readPublishedProperty(std::string_view name, ComponentReader &reader) override {
    if (!sameName(name, enabledPropertyName))
      return false;
    enabled = reader.readBoolean();
    return true;
  }
  void writeData(ComponentWriter &writer) const override { writeNodeCommonPart(writer, enabled); }
  void readData(ComponentReader &reader) override { enabled = readNodeCommonPart(reader); }
};

// The sort node's stored fields with their file-type gates.
class TestSortNode : public TestNodeBase {
public:
  bool removeDuplicates = false;
  bool reverseOrder = false;
  int sortType = 0;

  std::string_view className() const override { return "TSortObject"; }
  std::string_view definedPropertyName() const override { return "SortObject"; }
  void writeData(ComponentWriter &writer) const override {
    TestNodeBase::writeData(writer);
    writer.writeBoolean(removeDuplicates);
    writer.writeBoolean(reverseOrder);
    writer.writeInteger(sortType);
  }
  void readData(ComponentReader &reader) override {
    TestNodeBase::readData(reader);
    removeDuplicates = reader.readBoolean();
    reverseOrder = reader.readBoolean();
    if (reader.fileTypeRead() >= 42)
      sortType = reader.readInteger();
    else if (reader.fileTypeRead() >= 26)
      sortType = reader.readBoolean() ? 0 : 1;
    else
      sortType = 1;
  }
};

// A node whose class is not built: keeps its values as raw bytes.
class RawNode : public TestNodeBase {
public:
  explicit RawNode(const NodeClassName &names) : names_(names) {}
  std::string data;

  std::string_view className() const override { return names_.className; }
  std::string_view definedPropertyName() const override { return names_.propertyName; }
  void writeData(ComponentWriter &writer) const override { writer.writeRaw(data); }
  void readData(ComponentReader &reader) override { data = reader.readRawValues(); }

private:
  NodeClassName names_;
};

// The root record of a filter file.
class TestFilterList : public StreamableComponent {
public:
  struct Item {
    int level;
    bool expanded;
    std::unique_ptr<StreamableComponent> node;
  };
  TVersion version;
  std::vector<Item> items;
  bool versionSeen = false;

  std::string_view className() const override { return filterListClassName; }
  std::string_view definedPropertyName() const override { return filterListPropertyName; }
  void writeData(ComponentWriter &writer) const override {
    std::vector<FilterListItem> stored;
    for (const Item &item : items)
      stored.push_back({item.level, item.expanded, item.node.get()});
    writeFilterListValue(writer, version, stored);
  }
  void readData(ComponentReader &reader) override {
    readFilterListValue(reader,
                        [this](std::unique_ptr<StreamableComponent> c, int level, bool expanded) {
                          if (auto *v = dynamic_cast<TVersion *>(c.get())) {
                            version = *v;
                            versionSeen = true;
                          } else {
                            items.push_back({level, expanded, std::move(c)});
                          }
                        });
  }
};

// TVersion, the sort node and raw stand-ins for every other node class.
inline ClassRegistry &testRegistry() {
  struct Filled {
    ClassRegistry registry;
    Filled() {
      registry.registerClass<TVersion>("TVersion");
      registry.registerClass<TestSortNode>("TSortObject");
      registerPlaceholderClasses(registry, nodeClassNames(), [](const NodeClassName &names) {
        return std::make_unique<RawNode>(names);
      });
    }
  };
  static Filled filled;
  return filled.registry;
}

} // namespace marrowen::testing
