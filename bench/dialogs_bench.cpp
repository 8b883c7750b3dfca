// dialogs_bench [FACTOR]: the node dialogs at their largest. The Unicode map
// editor's Default, Clear and Delete over 0..65535 on 65,536 rows, and a map
// node of 65,536 entries shown and left, each within 1 s; each node dialog
// made, translated and filled, and left, within 30 ms (the median of five, so
// that one slice the machine gave elsewhere does not make the figure).
// FACTOR scales every limit (ctest passes ten times what a quiet machine
// needs). Prints each time; fails when one is over.

#include "app/nodedialogs/commentdialogs.h"
#include "app/nodedialogs/descriptiondialogs.h"
#include "app/nodedialogs/dialogbase.h"
#include "app/nodedialogs/eoldialogs.h"
#include "app/nodedialogs/filedialogs.h"
#include "app/nodedialogs/iodialogs.h"
#include "app/nodedialogs/linedialogs.h"
#include "app/nodedialogs/scriptdialogs.h"
#include "app/nodedialogs/searchdialogs.h"
#include "app/nodedialogs/unicodemapform.h"
#include "app/nodedialogs/utilitydialogs.h"
#include "filterlist/commentnodes.h"
#include "filterlist/descriptionnodes.h"
#include "filterlist/eolnodes.h"
#include "filterlist/filenodes.h"
#include "filterlist/ionodes.h"
#include "filterlist/linenodes.h"
#include "filterlist/scriptnodes.h"
#include "filterlist/searchnodes.h"
#include "filterlist/unicodenodes.h"
#include "filterlist/utilitynodes.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSpinBox>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

using namespace marrowen;

namespace {

class QuietSite : public TNodeEditorSite {
public:
  void setFilterHeading(const std::string &) override {}
  TNodeEditor *editorFor(TListObject &, TNodeEditor *current) override { return current; }
  void placeEditor(TNodeEditor &) override {}
  void releaseEditor(TNodeEditor *) override {}
};

int failures = 0;

// The median of `runs` runs of the step.
void timed(const char *what, double limitMs, const std::function<void()> &step, int runs = 1) {
  std::vector<double> times;
  for (int run = 0; run < runs; ++run) {
    QElapsedTimer timer;
    timer.start();
    step();
    times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
  }
  std::nth_element(times.begin(), times.begin() + runs / 2, times.end());
  const double ms = times[static_cast<std::size_t>(runs / 2)];
  std::printf("%-48s %9.2f ms (limit %.0f ms)\n", what, ms, limitMs);
  if (ms > limitMs)
    ++failures;
}

} // namespace

int main(int argc, char **argv) {
  if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
  const double factor = argc > 1 ? std::atof(argv[1]) : 1.0;
  QApplication app(argc, argv);
  QuietSite site;

  TunicodeMapForm form(nullptr, &site);
  form.startValue()->setValue(0);
  form.endValue()->setValue(65535);
  timed("Unicode map: Default over 0..65535", 1000 * factor, [&] { form.defaultButtonClick(); });
  timed("Unicode map: Clear over 0..65535 (65,536 rows)", 1000 * factor,
        [&] { form.clearButtonClick(); });
  timed("Unicode map: Default over 0..65535 (65,536 rows)", 1000 * factor,
        [&] { form.defaultButtonClick(); });
  timed("Unicode map: Delete over 0..65535 (65,536 rows)", 1000 * factor,
        [&] { form.deleteButtonClick(); });

  TUnicodeMapObject node;
  for (int code = 0; code <= 65535; ++code)
    node.entries.push_back({std::to_string(code), unicodeDefaultText(code)});
  TUnicodeMapObject copy;
  timed("Unicode map node of 65,536 entries shown and left", 1000 * factor, [&] {
    TunicodeMapForm shown(nullptr, &site);
    shown.putToScreen(node);
    shown.getFromScreen(copy);
  });
  if (copy.entries != node.entries) {
    std::printf("the map came back changed\n");
    ++failures;
  }

  // Selecting another node: the dialog left, then the next one made,
  // translated and filled.
  TInputObject input;
  input.inputFromFile = true;
  TOutputObject output;
  output.outputToFile = 1;
  TStringObject text;
  text.text = "> ";
  TNumberObject number;
  number.kind = 2;
  number.number = 80;
  TDescriptionObject description;
  description.kind = 5;
  TLineNumberObject lines;
  THeadTailObject headTail;
  TSortObject sort;
  TMathsObject maths;
  TDeleteColumnsObject columns;
  columns.kind = 4;
  auto select = [&](const char *what, TListObject &shown, auto make) {
    timed(
        what, 30 * factor,
        [&] {
          auto form = make();
          form->putToScreen(shown);
          form->getFromScreen(shown);
        },
        5);
  };
  auto make = [&site]<class Form>(Form *) {
    return [&site] { return TdefaultForm1::Create<Form>(nullptr, &site); };
  };
  select("Select the input node", input, make(static_cast<TinputForm *>(nullptr)));
  select("Select the output node", output, make(static_cast<ToutputForm *>(nullptr)));
  select("Select a built-in node", description, make(static_cast<TdescriptionForm *>(nullptr)));
  select("Select a number node", number, make(static_cast<TnumberForm *>(nullptr)));
  select("Select a text node", text, make(static_cast<TstringForm *>(nullptr)));
  select("Select a line-number node", lines, make(static_cast<TlineNumberForm *>(nullptr)));
  select("Select a head/tail node", headTail, make(static_cast<TexcludeLinesForm *>(nullptr)));
  select("Select a sort node", sort, make(static_cast<TsortForm *>(nullptr)));
  select("Select a maths node", maths, make(static_cast<TmathForm *>(nullptr)));
  select("Select a column node", columns, make(static_cast<TdeleteColForm *>(nullptr)));

  TSearchObject search;
  search.searchString = "colou?r";
  search.patternType = 4;
  TGrepObject grep;
  grep.pattern = "^[a-z]+$";
  TEOLObject eol;
  TUserObject map;
  TMergeObject merge;
  TSplitObject split;
  TDuplicateObject duplicates;
  TExecuteObject execute;
  TInsertColumnObject insert;
  TConcordanceObject concordance;
  TCommentObject comment;
  TFilterCommentObject options;
  TScriptObject script;
  script.script = TScriptObject::defaultScript();
  TDatabaseObject database;
  select("Select a search node", search, make(static_cast<TsearchForm *>(nullptr)));
  select("Select a line-selection node", grep, make(static_cast<TgrepForm *>(nullptr)));
  select("Select an end-of-line node", eol, make(static_cast<TEOLForm *>(nullptr)));
  select("Select a character-map node", map, make(static_cast<TmapForm *>(nullptr)));
  select("Select a merge node", merge, make(static_cast<TmergeForm *>(nullptr)));
  select("Select a split node", split, make(static_cast<TsplitForm *>(nullptr)));
  select("Select a duplicates node", duplicates, make(static_cast<TduplicatesForm *>(nullptr)));
  select("Select an external-program node", execute, make(static_cast<TexecuteForm *>(nullptr)));
  select("Select an insert-column node", insert, make(static_cast<TinsertColForm *>(nullptr)));
  select("Select a concordance node", concordance, make(static_cast<TconcordanceForm *>(nullptr)));
  select("Select a comment node", comment, make(static_cast<TcommentForm *>(nullptr)));
  select("Select the filter options", options, make(static_cast<TfilterOptions *>(nullptr)));
  select("Select a script node", script, make(static_cast<TscriptForm *>(nullptr)));
  select("Select a database node", database, make(static_cast<TdataForm *>(nullptr)));
  return failures == 0 ? 0 : 1;
}
