#pragma once

#include <string>

class QPrinter;
class QWidget;

namespace marrowen {

class FilterListTarget;
class TFilterList;

// A filter list described as text, every line ending in CR LF: the report
// (also what is printed), the command file that "/Z=" reads back, and a
// Perl outline. `loadedName` is the filter file's full path, empty for a
// list never saved. The target's open editor is stored first.
std::string getTextRepresentation(const TFilterList &list, const std::string &loadedName);
std::string getCmdLineRepresentation(const TFilterList &list);
std::string getPerlRepresentation(const TFilterList &list);
std::string getTextRepresentation(FilterListTarget &window);
std::string getCmdLineRepresentation(FilterListTarget &window);
std::string getPerlRepresentation(FilterListTarget &window);

// Prints `text` in a fixed-pitch font, wrapped and paginated; false with
// `error` set when the printer cannot be opened (nothing is printed then).
bool printText(const std::string &text, QPrinter &printer, std::string &error);

// The main window's export, print and printer-setup commands, acting on its
// active filter-list window.
void installExportCommands();

} // namespace marrowen
