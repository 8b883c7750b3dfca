#pragma once

#include "classlib/componentstream.h"

#include <string>
#include <vector>

namespace marrowen {

class TdgBaseGrid;

// A grid as one record of a component stream, as a form resource carries it:
// its published properties, then its defined properties.
class TdgGridStreamer : public StreamableComponent {
public:
  explicit TdgGridStreamer(TdgBaseGrid &grid) : grid_(grid) {}

  std::string_view className() const override { return "TdgGrid"; }
  std::string_view definedPropertyName() const override { return {}; }
  void writeData(ComponentWriter &) const override {}
  void readData(ComponentReader &) override {}
  void writePublishedProperties(ComponentWriter &writer) const override;
  bool readPublishedProperty(std::string_view name, ComponentReader &reader) override;
  void writeDefinedProperties(ComponentWriter &writer) const override;
  bool readDefinedProperty(std::string_view name, ComponentReader &reader) override;

  // The published properties the record named, in the order read.
  std::vector<std::string> NamesRead;
  // A published property read and dropped; none when empty.
  std::string_view PassOver;

private:
  TdgBaseGrid &grid_;
};

// Writes the grid as a root record; reads one into a grid, which is loading
// meanwhile and runs Loaded at the end, and answers the published
// properties the record named. The one named `passOver` is not applied.
std::string writeGrid(const TdgBaseGrid &grid);
std::vector<std::string> readGrid(TdgBaseGrid &grid, std::string_view bytes,
                                  std::string_view passOver = {});

} // namespace marrowen
