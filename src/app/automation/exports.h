#pragma once

#include <QString>

#include <string>
#include <vector>

class QPrinter;
class QWidget;

namespace marrowen {

class FilterListTarget;
class TFilterList;

// A filter list described as text, every line ending in CR LF: the report
// (also what is printed), the command file that "/Z=" reads back, and a
// Perl outline; names and texts in them byte for byte, a byte that no UTF-8
// holds as the command file's escape of it (commandFileText).
// `loadedName` is the filter file's full path, empty for a list never
// saved. The target's open editor is stored first.
QString getTextRepresentation(const TFilterList &list, const std::string &loadedName);
QString getCmdLineRepresentation(const TFilterList &list);
QString getPerlRepresentation(const TFilterList &list);
// The enabled filters the command file holds only as comments, which a run
// of it does not apply, by their tree captions; comment filters are not
// among them.
std::vector<std::string> filtersWrittenAsComments(const TFilterList &list);
QString getTextRepresentation(FilterListTarget &window);
QString getCmdLineRepresentation(FilterListTarget &window);
QString getPerlRepresentation(FilterListTarget &window);

// Prints `text` in a fixed-pitch font, wrapped and paginated; false with
// `error` set when the printer cannot be opened (nothing is printed then).
bool printText(const QString &text, QPrinter &printer, std::string &error);

// The main window's export, print and printer-setup commands, acting on its
// active filter-list window.
void installExportCommands();

} // namespace marrowen
