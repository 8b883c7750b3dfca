#pragma once

#include "engine/lines.h"
#include "filters/ranges.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace marrowen {

// Runs a range of fields of every line through the subfilters as a text of
// its own and leaves the other fields as they are. A line is split as
// comma-separated values (double quotes enclose a value that may hold
// commas; a doubled quote inside stands for one) or at tabs. Every field
// keeps its quotes and the comma or tab that ends it, so the fields put
// together are the line itself; the subfilters see the selected fields that
// way too.
//
// A range that ends before the first field (last < 0) leaves the line as it
// is without running the subfilters; otherwise they run, on an empty text
// when no selected field exists, and their output takes the range's place.
// A range whose start lies after its end selects nothing at its start.
class TCSVfield : public TProcessLines {
public:
  TCSVfield(LocateRange range, bool csv);

  void processLine(std::string_view lineEnd) override;

private:
  // Fills `fieldEnds_` with the offset after each field of the current line.
  void splitCsv();
  void splitTabs();

  LocateRange range_;
  bool csv_;
  std::vector<std::size_t> fieldEnds_;
  std::string out_;
};

} // namespace marrowen
