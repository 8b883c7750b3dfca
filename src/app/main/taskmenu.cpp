#include "app/main/taskmenu.h"

#include "app/jobs/windowjobhost.h"
#include "app/main/mainform.h"
#include "classlib/asciitext.h"
#include "classlib/paths.h"
#include "components/dialogrunner.h"
#include "components/kitutils.h"
#include "engine/escapes.h"
#include "engine/inputs.h"
#include "engine/messages.h"
#include "filterlist/filterlist.h"
#include "qtext/qtext.h"

#include <QAction>
#include <QMenu>

#include <algorithm>
#include <filesystem>
#include <vector>

namespace marrowen {

namespace {

constexpr int taskItemTag = 1003;

void showError(const char *text) {
  TmainForm *main = TmainForm::instance();
  showMessageBox(main, QMessageBox::Critical, main ? main->windowTitle() : QString(),
                 messageToQString(text));
}

} // namespace

void refreshMenu(QMenu *menu, QAction *divider, const QString &hint, int helpContext,
                 const std::function<void(QAction *)> &handler, const std::string &folder,
                 const std::string &extension) {
  if (!menu || !divider || menu->actions().isEmpty() || !menu->actions().contains(divider))
    return;
  const auto items = menu->actions();
  for (auto it = items.rbegin(); it != items.rend(); ++it)
    if ((*it)->property("tag").toInt() == taskItemTag)
      delete *it;
  // The folder as the file system spells its names: a name that is no UTF-8
  // is as much a file as any other, and a letter whose capital is longer
  // (ß) must not move where the extension is cut off.
  std::vector<std::string> names;
  std::error_code error;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
       it.increment(error))
    names.push_back(it->path().filename().native());
  std::sort(names.begin(), names.end());
  const std::string lowerExtension = asciiLowerCase(extension);
  for (const std::string &name : names) {
    // Only names in the extension: "a.map~" or "a.map.bak" are another
    // program's copies, not ours to load.
    const std::string lowerName = asciiLowerCase(name);
    if (!lowerName.ends_with(lowerExtension))
      continue;
    const std::size_t p = lowerName.find(lowerExtension);
    if (p == 0 || p == std::string::npos)
      continue;
    const std::string full = includeTrailingSeparator(folder) + name;
    if (std::error_code notFile; !std::filesystem::is_regular_file(full, notFile))
      continue;
    const std::string caption = name.substr(0, p);
    QAction *item = menu->addAction(menuCaptionOf(fileNameToQString(caption)));
    item->setProperty("caption", QByteArray(caption.data(), qsizetype(caption.size())));
    item->setProperty("tag", taskItemTag);
    item->setProperty("helpContext", helpContext);
    item->setStatusTip(hint);
    item->setData(QByteArray(full.data(), qsizetype(full.size())));
    QObject::connect(item, &QAction::triggered, item, [handler, item] { handler(item); });
  }
}

namespace {

std::string bytesOf(const QVariant &value) {
  const QByteArray bytes = value.toByteArray();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

} // namespace

std::string menuItemFile(const QAction *item) { return bytesOf(item->data()); }
std::string menuItemCaption(const QAction *item) { return bytesOf(item->property("caption")); }

std::string taskMenuFolder() { return fileForReading("TaskMenu/"); }

void refreshTaskBarList() {
  TmainForm *main = TmainForm::instance();
  if (!main)
    return;
  QMenu *menu = main->taskMenu();
  refreshMenu(menu, menu ? menu->findChild<QAction *>(QStringLiteral("taskBarDivider")) : nullptr,
              toQString(translate(4340, "Click here to load and run this filter")), 1470,
              TaskMenuClick, taskMenuFolder(), ".fll");
}

void TaskMenuClick(QAction *item) {
  TmainForm *main = TmainForm::instance();
  if (!main || !item)
    return;
  // The item's own file: rebuilding the name from the caption would load
  // another file, or none where letter case matters.
  const std::string fileName = menuItemFile(item);
  const std::string caption = menuItemCaption(item);
  QAction *force = main->findChild<QAction *>(QStringLiteral("Forceclipboard1"));
  TFilterList list;
  std::unique_ptr<TFilter> chain;
  try {
    // The file's own log options: the top node a load makes holds only the
    // remembered defaults, and the file's log would never be written.
    FilterFileLoadOptions options;
    options.wantOptions = true;
    list.loadFromFile(fileName, options);
  } catch (const std::exception &error) {
    showError(error.what());
    return;
  }
  try {
    int errorIndex = -1;
    chain = list.createFilters(force && force->isChecked(), false, errorIndex);
  } catch (const std::exception &) {
    chain.reset();
  }
  auto *input = dynamic_cast<TGenericInput *>(chain.get());
  if (!input) {
    main->statusBarError(toQString(translate(4330, "Error - no filters have been specified")));
    return;
  }
  chain.release();
  JobOptions options;
  options.playSound = main->settings().playSound;
  options.soundFile = main->settings().soundFile;
  options.lineLimit = list.log.lineThreshold;
  options.appendToLog = list.log.append;
  options.logFileName = unquote(list.log.fileName);
  options.loggingOn = list.log.enabled;
  options.filterName = caption;
  options.closeStatusWhenDone = true;
  options.deferLogging = true;
  try {
    main->jobHost().startJob(std::unique_ptr<TGenericInput>(input), std::move(options));
  } catch (const std::exception &error) {
    showError(error.what());
    return;
  }
  main->lower();
}

void installTaskMenu() { mainFormHooks().refreshTaskBarList = refreshTaskBarList; }

} // namespace marrowen
