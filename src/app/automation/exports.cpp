#include "app/automation/exports.h"

#include "app/automation/commandline.h"
#include "app/listwindow/listdocument.h"
#include "app/main/mainform.h"
#include "classlib/format.h"
#include "classlib/program.h"
#include "components/dialogrunner.h"
#include "engine/messages.h"
#include "engine/userinterface.h"
#include "filterlist/filterlist.h"
#include "qtext/qtext.h"

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QTextLayout>

#include <memory>

namespace marrowen {

namespace {

// The texts are engine text as the nodes and messages give them, a file name
// inside one as the file system spells it. The clipboard carries UTF-8, so
// every byte that no UTF-8 holds goes as the command file's escape of it
// (commandFileText): the command file reads back as the very names and
// texts, and the report names the file itself, never one spelled with a
// letter in that byte's place.
QString exported(std::string_view bytes) { return QString::fromStdString(commandFileText(bytes)); }

// A command file as exported: a line break inside a name (every one but
// those that end the lines, CR LF) would end its parameter there, so it goes
// as the escape that the command file's reader turns back into it.
QString exportedLines(std::string_view bytes, bool endsLines = true) {
  const std::string text = commandFileText(bytes);
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool lineEnd = endsLines && text.compare(i, 2, "\r\n") == 0;
    if (lineEnd)
      out += "\r\n", ++i;
    else if (text[i] == '\r' || text[i] == '\n')
      out += text[i] == '\r' ? "$'\\015'" : "$'\\012'";
    else
      out += text[i];
  }
  return QString::fromStdString(out);
}

QString treeText(const TFilterList &list, int index, const std::string &prefix) {
  const TFilterList::Entry &entry = list.nodes[static_cast<std::size_t>(index)];
  const int end = subtreeEnd(list, index);
  std::string text = entry.node->getEnabled() ? std::string() : translate(4630, "** DISABLED ** ");
  const std::string mark = end > index + 1 ? "|" : " ";
  text += entry.node->printText(prefix + mark);
  text += prefix + mark + "\r\n";
  QString shown = exported(text);
  for (int child = index + 1; child < end; child = subtreeEnd(list, child)) {
    const bool last = subtreeEnd(list, child) >= end;
    shown += exported(prefix + (last ? "+--" : "|--"));
    shown += treeText(list, child, prefix + (last ? "   " : "|  "));
  }
  return shown;
}

// Whether the node runs enabled children of its own on the text it selects.
bool selectsForChildren(const TFilterList &list, int index) {
  if (list.nodes[static_cast<std::size_t>(index)].node->needGatherer() == ChildChain::Inline)
    return false;
  const int end = subtreeEnd(list, index);
  for (int child = index + 1; child < end; child = subtreeEnd(list, child))
    if (list.nodes[static_cast<std::size_t>(child)].node->getEnabled())
      return true;
  return false;
}

// The command line adds each filter after the last, never as a subfilter of
// another: a node that runs its children on what it selects is written with
// all below it as comments naming each node, rather than as filters that
// would run on the whole text. `commented` gathers the filters written as
// comments, a run of which does not apply them; comment nodes are not among
// them.
std::string commandLines(const TFilterList &list, int index, std::vector<std::string> &commented,
                         bool asComments = false) {
  const TFilterList::Entry &entry = list.nodes[static_cast<std::size_t>(index)];
  if (!entry.node->getEnabled())
    return {};
  asComments = asComments || selectsForChildren(list, index);
  std::string text = entry.node->generateCmdLine();
  if (asComments && !text.starts_with("/{="))
    text = commentCmdLine(entry.node->getTitle());
  if (text.starts_with("/{=") && entry.node->className() != "TCommentObject")
    commented.push_back(entry.node->headingText().substr(1));
  if (!text.empty())
    text += "\r\n";
  const int end = subtreeEnd(list, index);
  for (int child = index + 1; child < end; child = subtreeEnd(list, child))
    text += commandLines(list, child, commented, asComments);
  return text;
}

std::string commandLines(const TFilterList &list) {
  std::vector<std::string> commented;
  return list.count() > 0 ? commandLines(list, 0, commented) : std::string();
}

QString fileNames(const TFilterList &list) {
  QString text;
  for (const FileGridRow &row : list.files)
    text += exported(row.pathMask) + QStringLiteral("\r\n");
  return text;
}

// The option that gives the names after it a row's Subfolders choice.
std::string subfoldersOption(const std::string &choice) {
  if (choice == "All")
    return "/I+";
  if (!choice.empty() && choice[0] >= '1' && choice[0] <= '9')
    return "/I" + choice.substr(0, 1);
  return "/I-";
}

// The rows as the command line adds them again: each name after the options
// that give it its row's Subfolders and Action choices, so that a row the
// window leaves out, or reads less deeply, is not processed by the command.
QString fileArguments(const TFilterList &list) {
  QString text;
  std::string subfolders, action;
  for (const FileGridRow &row : list.files) {
    if (const std::string option = subfoldersOption(row.subfolders); option != subfolders) {
      subfolders = option;
      text += exported(option + "\r\n");
    }
    if (row.action != action && !row.action.empty()) {
      action = row.action;
      text += exported("/ACTION=" + action + "\r\n");
    }
    text += exportedLines(fileNameParameter(row.pathMask), false) + QStringLiteral("\r\n");
  }
  return text;
}

QString displayNameLine() { return exported(std::string(program::displayName) + "\r\n"); }

} // namespace

QString getTextRepresentation(const TFilterList &list, const std::string &loadedName) {
  QString text = displayNameLine();
  text += exported(translateFormat(
      4650, "\r\nFilter Title: %s\r\n\r\nFilter List\r\n-----------\r\n", {loadedName}));
  if (list.count() > 0)
    text += treeText(list, 0, "");
  text += exported(translate(4660, "\r\nFiles List\r\n----------\r\n"));
  text += fileNames(list);
  text += exported(translateFormat(4670, "\r\nComments\r\n--------\r\n%s", {list.comments}));
  return text;
}

QString getCmdLineRepresentation(const TFilterList &list) {
  QString text = displayNameLine();
  text += exported(translate(4700, "Copy this information into a text file,\r\nand load it into "
                                   "Marrowen via the command\r\nline using the /Z=commandfile "
                                   "parameter.\r\n\r\n"));
  text += exportedLines(commandLines(list));
  return text + fileArguments(list);
}

QString getPerlRepresentation(const TFilterList &list) {
  return exported("#!/usr/bin/perl\r\n\r\n" + commandLines(list));
}

std::vector<std::string> filtersWrittenAsComments(const TFilterList &list) {
  std::vector<std::string> commented;
  if (list.count() > 0)
    commandLines(list, 0, commented);
  return commented;
}

QString getTextRepresentation(FilterListTarget &window) {
  window.storeEditor();
  return getTextRepresentation(window.filterList(), window.fileName());
}

QString getCmdLineRepresentation(FilterListTarget &window) {
  window.storeEditor();
  return getCmdLineRepresentation(window.filterList());
}

QString getPerlRepresentation(FilterListTarget &window) {
  window.storeEditor();
  return getPerlRepresentation(window.filterList());
}

bool printText(const QString &text, QPrinter &printer, std::string &error) {
  QPainter painter;
  if (!painter.begin(&printer)) {
    error = "The printer cannot be opened";
    return false;
  }
  QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  font.setPointSize(10);
  painter.setFont(font);
  const QFontMetricsF metrics(font, &printer);
  const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
  const qreal width = page.width();
  const qreal lineHeight = metrics.lineSpacing();
  qreal y = 0;
  // The pages the print dialog chose, counted from 1; none chosen is every
  // page. A page left out takes no sheet: the next one chosen starts it.
  const QPageRanges chosen =
      printer.printRange() == QPrinter::PageRange ? printer.pageRanges() : QPageRanges();
  int pageNumber = 1;
  bool sheetUsed = false;
  const auto pageChosen = [&] { return chosen.isEmpty() || chosen.contains(pageNumber); };
  QStringList lines = text.split(QStringLiteral("\r\n"));
  if (!lines.isEmpty() && lines.back().isEmpty())
    lines.removeLast();
  for (const QString &line : lines) {
    // A long line wraps; nothing is cut at the page's edge.
    QTextLayout layout(line, font, &printer);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    std::vector<QTextLine> parts;
    for (QTextLine part = layout.createLine(); part.isValid(); part = layout.createLine()) {
      part.setLineWidth(width);
      parts.push_back(part);
    }
    layout.endLayout();
    const int rows = std::max<int>(1, static_cast<int>(parts.size()));
    for (int row = 0; row < rows; ++row) {
      if (y + lineHeight > page.height()) {
        ++pageNumber;
        y = 0;
        if (sheetUsed && pageChosen()) {
          printer.newPage();
          sheetUsed = false;
        }
      }
      if (pageChosen()) {
        if (row < static_cast<int>(parts.size()))
          parts[static_cast<std::size_t>(row)].draw(
              &painter, QPointF(0, y - parts[static_cast<std::size_t>(row)].y()));
        sheetUsed = true;
      }
      y += lineHeight;
    }
  }
  painter.end();
  return true;
}

namespace {

// The active window, when it has a list to export.
FilterListWindow *activeListWindow() {
  TmainForm *main = TmainForm::instance();
  FilterListWindow *child = main ? main->activeChildForm() : nullptr;
  return child && child->listTarget() ? child : nullptr;
}

FilterListTarget *activeTarget() {
  FilterListWindow *child = activeListWindow();
  return child ? child->listTarget() : nullptr;
}

QPrinter &sharedPrinter() {
  static QPrinter printer;
  return printer;
}

void toClipboard(const QString &text) { QApplication::clipboard()->setText(text); }

// A run of the command file ends well without the filters it holds as
// comments: the user learns which they are while the copy is still fresh.
void tellFiltersWrittenAsComments(const TFilterList &list) {
  const std::vector<std::string> commented = filtersWrittenAsComments(list);
  if (commented.empty())
    return;
  constexpr std::size_t shown = 15;
  std::string names;
  for (std::size_t i = 0; i < commented.size() && i < shown; ++i)
    names += "\n" + commented[i];
  if (commented.size() > shown)
    names += Format("\n... and %d more", {static_cast<std::int64_t>(commented.size() - shown)});
  showMessageBox(TmainForm::instance(), QMessageBox::Information, toQString(program::displayName),
                 toQString(Format("The command line is on the clipboard. These filters have no "
                                  "command-line form and are written in it as comments: a run "
                                  "of it leaves them out, yet ends with status 0.\n%s",
                                  {names})));
}

} // namespace

void installExportCommands() {
  auto &commands = mainFormHooks().commands;
  commands.Exportfilter1 = [] {
    if (FilterListTarget *window = activeTarget())
      toClipboard(getTextRepresentation(*window));
  };
  commands.Exportcommandline1 = [] {
    if (FilterListTarget *window = activeTarget()) {
      toClipboard(getCmdLineRepresentation(*window));
      tellFiltersWrittenAsComments(window->filterList());
    }
  };
  commands.ExportPerl1 = [] {
    if (FilterListTarget *window = activeTarget())
      toClipboard(getPerlRepresentation(*window));
  };
  commands.Print1 = [] {
    FilterListWindow *child = activeListWindow();
    if (!child)
      return;
    FilterListTarget *window = child->listTarget();
    QPrintDialog dialog(&sharedPrinter(), TmainForm::instance());
    // Nothing is printed of a window that went while the dialog ran.
    if (DialogRunner::exec(dialog, child->widget()) != QDialog::Accepted)
      return;
    std::string error;
    if (!printText(getTextRepresentation(*window), sharedPrinter(), error))
      showMessageBox(TmainForm::instance(), QMessageBox::Critical, toQString(program::displayName),
                     toQString(error));
  };
  commands.Printersetup1 = [] {
    if (!activeTarget())
      return;
    QPageSetupDialog dialog(&sharedPrinter(), TmainForm::instance());
    DialogRunner::exec(dialog);
  };
}

} // namespace marrowen
