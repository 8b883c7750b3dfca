#include "screens.h"

#include "app/forminfo.h"
#include "app/queryreplace.h"
#include "classlib/registry.h"
#include "components/dialogrunner.h"
#include "filterlist/settings.h"

#include <QTemporaryDir>

#include <memory>

namespace marrowen {

namespace {

// The dialogs remember their places and the nodes their defaults: both go
// to a store of the screenshot's own.
class SettingsSandbox {
public:
  SettingsSandbox()
      : store_(std::make_unique<SettingsStore>(dir_.filePath("settings.ini").toStdString())) {
    useSettingsStore(store_.get());
    TFormInfo::useStore(store_.get());
  }
  ~SettingsSandbox() {
    TFormInfo::useStore(nullptr);
    useSettingsStore(nullptr);
  }

private:
  QTemporaryDir dir_;
  std::unique_ptr<SettingsStore> store_;
};

QImage queryReplace(bool inSelection) {
  SettingsSandbox sandbox;
  TTQueryReplace dialog;
  QueryReplaceRequest request;
  request.textBefore = "The quick brown fox\r\njumps over the ";
  request.found = "lazy";
  request.textAfter = " dog.\r\nThe end.";
  request.replacement = "sleepy";
  request.fileName = "/home/user/documents/letters/fox.txt";
  request.searchInformation = "Replace [lazy] with [sleepy]";
  request.inSelection = inSelection;
  QImage image;
  ScopedDialogRunner runner([&](QDialog &shown) {
    image = renderWidget(shown);
    return static_cast<int>(Answer::Cancel);
  });
  dialog.confirmReplace(request);
  return image;
}

} // namespace

std::vector<Screen> dialogScreens() {
  return {{"query_replace", [] { return queryReplace(false); }},
          {"query_replace_selection", [] { return queryReplace(true); }}};
}

} // namespace marrowen
