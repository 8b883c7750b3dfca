#include "screens.h"

#include "app/common/forminfo.h"
#include "app/listwindow/childform.h"
#include "app/nodedialogs/descriptiondialogs.h"
#include "app/nodedialogs/iodialogs.h"
#include "app/nodedialogs/linedialogs.h"
#include "classlib/paths.h"
#include "classlib/registry.h"
#include "filterlist/commentnodes.h"
#include "filterlist/descriptionnodes.h"
#include "filterlist/linenodes.h"
#include "filterlist/searchnodes.h"
#include "filterlist/settings.h"
#include "grid/widget/dgbasegrid.h"

#include <QTabWidget>
#include <QTemporaryDir>

#include <memory>

namespace marrowen {

namespace {

// A window over a nested list with a disabled node, some files and texts,
// its settings and program folder its own.
QImage childFormPage(const char *page) {
  QTemporaryDir dir;
  SettingsStore store((dir.path() + "/settings.ini").toStdString());
  useSettingsStore(&store);
  TFormInfo::useStore(&store);
  overrideProgramFolder(dir.path().toStdString() + "/");
  registerInputOutputDialogs();
  registerDescriptionDialogs();
  registerLineDialogs();
  QImage image;
  {
    TchildForm form(1);
    form.resize(760, 460);
    form.addFilter(TDescriptionObject::CreateWith(5));
    auto search = std::make_unique<TSearchObject>();
    search->searchString = "colou?r";
    search->replaceString = "hue";
    search->patternType = 1;
    form.addFilter(std::move(search));
    form.addFilter(TCommentObject::CreateWith("Only the lines with a number"));
    form.addFilter(TLineNumberObject::CreateWith(10, 10));
    form.MoveTreeNode(5, 4);
    form.addFilter(TDescriptionObject::CreateWith(11));
    form.filterTree().node(6).setEnabled(false);
    form.addFile("/home/user/letters/*.txt");
    form.newFileGroupButtonClick();
    form.addFile("/home/user/notes/*.md");
    form.comments->setBytes("Upper-cases the letters, then numbers the lines.\r\n");
    form.scratchPad->setBytes("colour -> hue\r\n");
    form.trialInput->setBytes("The colour of the sky\r\nline two\r\n");
    form.trialOutput->setBytes("THE HUE OF THE SKY\r\n10 LINE TWO\r\n");
    form.selectItem(2);
    form.setFilterHasChanged(false);
    QWidget *pages[] = {form.filesTab, form.filtersTab, form.commentsSheet, form.scratchPadSheet,
                        form.trialSheet};
    for (QWidget *widget : pages)
      if (widget->objectName() == page)
        form.Tabs->setCurrentWidget(widget);
    image = renderWidget(form);
  }
  overrideProgramFolder("");
  TFormInfo::useStore(nullptr);
  useSettingsStore(nullptr);
  return image;
}

} // namespace

std::vector<Screen> childFormScreens() {
  std::vector<Screen> screens;
  for (const char *page :
       {"filesTab", "filtersTab", "commentsSheet", "scratchPadSheet", "trialSheet"})
    screens.push_back(
        {QStringLiteral("childform-") + page, [page] { return childFormPage(page); }});
  return screens;
}

} // namespace marrowen
