#include "screens.h"

#include "app/common/forminfo.h"
#include "app/jobs/queryreplace.h"
#include "app/nodedialogs/commentdialogs.h"
#include "app/nodedialogs/eoldialogs.h"
#include "app/nodedialogs/filedialogs.h"
#include "app/nodedialogs/scriptdialogs.h"
#include "app/nodedialogs/searchdialogs.h"
#include "app/nodedialogs/utilitydialogs.h"
#include "classlib/registry.h"
#include "components/dialogrunner.h"
#include "filterlist/commentnodes.h"
#include "filterlist/eolnodes.h"
#include "filterlist/filenodes.h"
#include "filterlist/nodeeditor.h"
#include "filterlist/scriptnodes.h"
#include "filterlist/searchnodes.h"
#include "filterlist/settings.h"
#include "filterlist/utilitynodes.h"

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

// A filter-list window that only holds the dialog.
class PanelSite : public TNodeEditorSite {
public:
  void setFilterHeading(const std::string &) override {}
  TNodeEditor *editorFor(TListObject &, TNodeEditor *current) override { return current; }
  void placeEditor(TNodeEditor &) override {}
  void releaseEditor(TNodeEditor *) override {}
};

// The dialog of a node made by `make` (a class's new node of `kind`), as the
// editor panel shows it.
template <class Form, class Node>
Screen nodeDialog(QString name, std::function<std::unique_ptr<Node>()> make) {
  return {std::move(name), [make] {
            SettingsSandbox sandbox;
            PanelSite site;
            auto node = make();
            auto form = TdefaultForm1::Create<Form>(nullptr, &site);
            form->putToScreen(*node);
            form->resize(560, 320);
            return renderWidget(*form);
          }};
}

} // namespace

std::vector<Screen> nodeDialogScreens() {
  std::vector<Screen> screens = {
      {"query_replace", [] { return queryReplace(false); }},
      {"query_replace_selection", [] { return queryReplace(true); }},
      nodeDialog<TsearchForm, TSearchObject>("dialog_search",
                                             [] {
                                               auto node = TSearchObject::CreateDefault();
                                               node->searchString = "colour";
                                               node->replaceString = "color";
                                               return node;
                                             }),
      nodeDialog<TsearchForm, TSearchObject>("dialog_search_perl",
                                             [] {
                                               auto node = TSearchObject::CreateWithPrompt(4);
                                               node->promptOnReplace = true;
                                               return node;
                                             }),
      nodeDialog<TEOLForm, TEOLObject>("dialog_end_of_line",
                                       [] { return TEOLObject::CreateDefault(); }),
      nodeDialog<TmapForm, TUserObject>("dialog_character_map",
                                        [] { return TUserObject::CreateDefault(); }),
      nodeDialog<TsplitForm, TSplitObject>("dialog_split",
                                           [] { return TSplitObject::CreateDefault(); }),
      nodeDialog<TduplicatesForm, TDuplicateObject>(
          "dialog_duplicates", [] { return TDuplicateObject::CreateDefault(0); }),
      nodeDialog<TexecuteForm, TExecuteObject>("dialog_external_program",
                                               [] { return TExecuteObject::CreateDefault(); }),
      nodeDialog<TinsertColForm, TInsertColumnObject>(
          "dialog_insert_column", [] { return TInsertColumnObject::CreateWithPrompt(); }),
      nodeDialog<TconcordanceForm, TConcordanceObject>(
          "dialog_concordance", [] { return TConcordanceObject::CreateDefault(0); }),
      nodeDialog<TcommentForm, TCommentObject>(
          "dialog_comment",
          [] { return TCommentObject::CreateWith("Tidy the letters\r\nbefore they are sent."); }),
      nodeDialog<TfilterOptions, TFilterCommentObject>(
          "dialog_filter_options", [] { return TFilterCommentObject::CreateDefault(); }),
      nodeDialog<TscriptForm, TScriptObject>("dialog_script",
                                             [] { return TScriptObject::CreateDefault(); }),
      nodeDialog<TdataForm, TDatabaseObject>("dialog_database",
                                             [] { return TDatabaseObject::CreateDefault(); }),
  };
  static const char *grepKinds[] = {"dialog_select_matching", "dialog_select_not_matching",
                                    "dialog_extract"};
  for (int kind = 0; kind < 3; ++kind)
    screens.push_back(nodeDialog<TgrepForm, TGrepObject>(
        grepKinds[kind], [kind] { return TGrepObject::CreateDefault(kind); }));
  static const char *mergeKinds[] = {"dialog_merge", "dialog_only_lines_found_in",
                                     "dialog_remove_lines_found_in", "dialog_link_filter"};
  for (int kind = 0; kind < 4; ++kind)
    screens.push_back(nodeDialog<TmergeForm, TMergeObject>(
        mergeKinds[kind], [kind] { return TMergeObject::CreateDefault(kind); }));
  return screens;
}

} // namespace marrowen
