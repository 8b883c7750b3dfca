#include "screens.h"

#include "app/common/patternmenu.h"
#include "app/nodedialogs/descriptiondialogs.h"
#include "app/nodedialogs/iodialogs.h"
#include "app/nodedialogs/linedialogs.h"
#include "app/nodedialogs/unicodemapform.h"
#include "filterlist/descriptionnodes.h"
#include "filterlist/ionodes.h"
#include "filterlist/linenodes.h"
#include "filterlist/unicodenodes.h"

#include <QAction>
#include <QMenu>
#include <QPlainTextEdit>

namespace marrowen {

namespace {

// The window the dialogs are shown in, reduced to what they tell it.
class ScreenSite : public TNodeEditorSite {
public:
  void setFilterHeading(const std::string &) override {}
  TNodeEditor *editorFor(TListObject &, TNodeEditor *current) override { return current; }
  void placeEditor(TNodeEditor &) override {}
  void releaseEditor(TNodeEditor *) override {}
};

// A dialog of class Form showing `node`, at the size of the editor panel.
template <class Form> QImage dialogShowing(TListObject &node) {
  ScreenSite site;
  auto form = TdefaultForm1::Create<Form>(nullptr, &site);
  form->putToScreen(node);
  form->resize(520, 380);
  return renderWidget(*form);
}

template <class Form, class Node>
Screen screenOf(const char *name, std::function<void(Node &)> set) {
  return {QString::fromLatin1(name), [set] {
            Node node;
            set(node);
            return dialogShowing<Form>(node);
          }};
}

QImage patternMenu() {
  QPlainTextEdit field;
  TmenuForm &menus = TmenuForm::instance();
  menus.preparePopup(&field, false);
  for (QMenu *menu : {menus.regexpSubmenu(), menus.fieldSubmenu(), menus.matchedSubmenu(),
                      menus.patternSubmenu()})
    menu->menuAction()->setVisible(true);
  menus.memoMenuPopup();
  QImage image = renderWidget(*menus.memoMenu());
  menus.memoMenu()->hide();
  return image;
}

QImage unicodeMap() {
  ScreenSite site;
  TunicodeMapForm form(nullptr, &site);
  TUnicodeMapObject node;
  node.startValue = 65;
  node.endValue = 70;
  for (int code = 65; code <= 70; ++code)
    node.entries.push_back({std::to_string(code), unicodeDefaultText(code)});
  node.entries.push_back({"8364", "\\x80"});
  form.putToScreen(node);
  form.resize(560, 360);
  return renderWidget(form);
}

} // namespace

std::vector<Screen> dialogScreens() {
  std::vector<Screen> screens{{QStringLiteral("patternMenu"), patternMenu},
                              {QStringLiteral("unicodeMapForm"), unicodeMap}};
  screens.push_back(screenOf<TinputForm, TInputObject>("inputForm", [](TInputObject &n) {
    n.inputFromFile = true, n.skipBinary = 1, n.binarySampleSize = 100, n.promptOnReadOnly = true;
  }));
  screens.push_back(screenOf<TinputForm, TInputObject>("inputForm-clipboard",
                                                       [](TInputObject &n) { n.skipBinary = 0; }));
  screens.push_back(screenOf<ToutputForm, TOutputObject>("outputForm", [](TOutputObject &n) {
    n.outputToFile = 1, n.testMode = true, n.changeExtension = true, n.newExtension = ".txt";
    n.newBaseDir = "/tmp/out";
  }));
  screens.push_back(screenOf<ToutputForm, TOutputObject>("outputForm-merged", [](TOutputObject &n) {
    n.outputToFile = 2, n.singleFilename = "merged.txt";
  }));
  screens.push_back(screenOf<TdescriptionForm, TDescriptionObject>(
      "descriptionForm", [](TDescriptionObject &n) { n.kind = 5; }));
  screens.push_back(screenOf<TnumberForm, TNumberObject>(
      "numberForm", [](TNumberObject &n) { n.kind = 2, n.number = 72; }));
  screens.push_back(screenOf<TstringForm, TStringObject>("stringForm", [](TStringObject &n) {
    n.kind = 1, n.text = "Report\\t2026\r\n=====", n.useString = true;
  }));
  screens.push_back(screenOf<TstringForm, TStringObject>("stringForm-file", [](TStringObject &n) {
    n.kind = 4, n.fileName = "/home/user/stopwords.txt", n.useString = false;
  }));
  screens.push_back(screenOf<TlineNumberForm, TLineNumberObject>(
      "lineNumberForm", [](TLineNumberObject &n) { n.dontNumberBlank = true; }));
  screens.push_back(screenOf<TexcludeLinesForm, THeadTailObject>(
      "excludeLinesForm", [](THeadTailObject &n) { n.include = 1, n.fromEnd = 1; }));
  screens.push_back(screenOf<TsortForm, TSortObject>(
      "sortForm", [](TSortObject &n) { n.sortType = 4, n.removeDuplicates = true; }));
  screens.push_back(screenOf<TmathForm, TMathsObject>(
      "mathForm", [](TMathsObject &n) { n.operation = 5, n.operand = 200; }));
  for (int kind = 0; kind <= 5; ++kind)
    screens.push_back(screenOf<TdeleteColForm, TDeleteColumnsObject>(
        ("deleteColForm-" + std::to_string(kind)).c_str(), [kind](TDeleteColumnsObject &n) {
          n.kind = kind, n.method = kind % 5, n.param1 = 2, n.param2 = 8;
        }));
  return screens;
}

} // namespace marrowen
