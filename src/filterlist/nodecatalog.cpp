#include "filterlist/nodecatalog.h"

#include "engine/messages.h"
#include "filterlist/classregistry.h"
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

#include <map>
#include <mutex>
#include <shared_mutex>
#include <vector>

namespace marrowen {

std::string CatalogMessage::translated() const {
  return id == 0 ? std::string(text) : translate(id, text);
}

namespace {

template <class T> std::unique_ptr<TListObject> blank() { return std::make_unique<T>(); }

// The factories of the classes whose makers take no kind.
template <class T> std::unique_ptr<TListObject> byDefault(std::int32_t) {
  return T::CreateDefault();
}
template <class T> std::unique_ptr<TListObject> byDefaultOfKind(std::int32_t kind) {
  return T::CreateDefault(kind);
}

std::unique_ptr<TListObject> description(std::int32_t kind) {
  return TDescriptionObject::CreateWith(kind);
}
std::unique_ptr<TListObject> search(std::int32_t kind) {
  auto node = TSearchObject::CreateDefault();
  node->patternType = kind;
  return node;
}
std::unique_ptr<TListObject> searchWithPrompt(std::int32_t kind) {
  return TSearchObject::CreateWithPrompt(kind);
}
std::unique_ptr<TListObject> grepWithPrompt(std::int32_t kind) {
  return TGrepObject::CreateWithPrompt(kind);
}
std::unique_ptr<TListObject> insertColumnWithPrompt(std::int32_t) {
  return TInsertColumnObject::CreateWithPrompt();
}
std::unique_ptr<TListObject> veryOld(std::int32_t) { return std::make_unique<TListObject>(); }

// Class table: the order in which the loader registers them.
constexpr NodeClassEntry classTable[] = {
    {{"TListObject", "ListObject"}, blank<TListObject>},
    {{"TInputObject", "InputObject"}, blank<TInputObject>},
    {{"TOutputObject", "OutputObject"}, blank<TOutputObject>},
    {{"TDescriptionObject", "DescriptionObject"}, blank<TDescriptionObject>},
    {{"TNumberObject", "NumberObject"}, blank<TNumberObject>},
    {{"TStringObject", "StringObject"}, blank<TStringObject>},
    {{"TLineNumberObject", "LineNumberObject"}, blank<TLineNumberObject>},
    {{"THeadTailObject", "HeadTailObject"}, blank<THeadTailObject>},
    {{"TSortObject", "SortObject"}, blank<TSortObject>},
    {{"TMathsObject", "MathsObject"}, blank<TMathsObject>},
    {{"TDeleteColumnsObject", "DeleteColumnsObject"}, blank<TDeleteColumnsObject>},
    {{"TSearchObject", "SearchObject"}, blank<TSearchObject>},
    {{"TGrepObject", "GrepObject"}, blank<TGrepObject>},
    {{"TEOLObject", "EOLObject"}, blank<TEOLObject>},
    {{"TUserObject", "UserObject"}, blank<TUserObject>},
    {{"TMergeObject", "MergeObject"}, blank<TMergeObject>},
    {{"TSplitObject", "SplitObject"}, blank<TSplitObject>},
    {{"TDuplicateObject", "DuplicateObject"}, blank<TDuplicateObject>},
    {{"TExecuteObject", "ExecuteObject"}, blank<TExecuteObject>},
    {{"TInsertColumnObject", "InsertColumnObject"}, blank<TInsertColumnObject>},
    {{"TConcordanceObject", "ConcordanceObject"}, blank<TConcordanceObject>},
    {{"TCommentObject", "CommentObject"}, blank<TCommentObject>},
    // The list's top node stores itself under the base class's property.
    {{"TFilterCommentObject", "ListObject"}, blank<TFilterCommentObject>},
    {{"TScriptObject", "ScriptObject"}, blank<TScriptObject>},
    {{"TDatabaseObject", "DatabaseObject"}, blank<TDatabaseObject>},
    {{"TUnicodeMapObject", "UnicodeMapObject"}, blank<TUnicodeMapObject>},
};

const NodeClassName &namesOf(std::string_view className) {
  for (const NodeClassEntry &entry : classTable)
    if (entry.names.className == className)
      return entry.names;
  static const NodeClassName none{};
  return none;
}

// The help contexts of the input, output and line-number dialogs, whose
// pages F1 there opens.
constexpr int inputOutputHelp = 1500;
constexpr int lineNumbersHelp = 1490;

std::vector<NodeCatalogEntry> buildCatalog() {
  std::vector<NodeCatalogEntry> catalog;
  auto add = [&](std::string_view className, std::int32_t kind, CatalogMessage title, int help,
                 NodeFactory createDefault, NodeFactory createWithPrompt = nullptr,
                 bool offered = true) {
    catalog.push_back({namesOf(className), kind, title, help, createDefault,
                       createWithPrompt ? createWithPrompt : createDefault, offered});
  };
  add("TInputObject", 0, {6810, "File input:"}, inputOutputHelp, byDefault<TInputObject>);
  add("TOutputObject", 0, {6990, "File output:"}, inputOutputHelp, byDefault<TOutputObject>);
  for (std::int32_t kind = firstDescriptionKind; kind <= lastDescriptionKind; ++kind) {
    const KindListing listing = *descriptionKindListing(kind);
    // Only old files hold the first duplicate and concordance filters.
    const bool obsolete =
        kind == static_cast<std::int32_t>(TDescriptionKind::ObsoleteRemoveDuplicates) ||
        kind == static_cast<std::int32_t>(TDescriptionKind::ObsoleteConcordance);
    add("TDescriptionObject", kind, listing.title, listing.helpTopic, description, nullptr,
        !obsolete);
  }
  for (std::int32_t kind = 0; auto listing = numberKindListing(kind); ++kind)
    add("TNumberObject", kind, listing->title, listing->helpTopic, byDefaultOfKind<TNumberObject>);
  for (std::int32_t kind = 0; auto listing = textKindListing(kind); ++kind)
    add("TStringObject", kind, listing->title, listing->helpTopic, byDefaultOfKind<TStringObject>);
  add("TLineNumberObject", 0, {8590, "Add line numbers (%d,%d) Format: %s"}, lineNumbersHelp,
      byDefault<TLineNumberObject>);
  add("THeadTailObject", 0, {8620, "Include %d lines from start of file"}, 0,
      byDefault<THeadTailObject>);
  add("TSortObject", 0, {8700, "Ascending ANSI sort (case insensitive)"}, 0,
      byDefault<TSortObject>);
  add("TMathsObject", 0, {8840, "Char maths: "}, 0, byDefault<TMathsObject>);
  constexpr CatalogMessage columnTitles[] = {
      {9000, " &Delete column "},     {9010, " &Select lines "},
      {9020, " &Select columns "},    {9030, " &Select bytes "},
      {9040, " &Select CSV fields "}, {9050, " &Select tab-delimited fields "}};
  constexpr int columnHelp[] = {720, 1400, 1430, 0, 1410, 1420};
  for (std::int32_t kind = TDeleteColumnsObject::DeleteColumns;
       kind <= TDeleteColumnsObject::SelectTabFields; ++kind)
    add("TDeleteColumnsObject", kind, columnTitles[kind], columnHelp[kind],
        byDefaultOfKind<TDeleteColumnsObject>);
  constexpr CatalogMessage searchTitles[] = {
      {9310, "Replace"},        {9320, "Pattern"},
      {9330, "Sounds like"},    {9340, "Edit distance (thresh=%d)"},
      {9350, "Perl pattern"},   {9360, "Brief-style pattern"},
      {9370, "MS Word pattern"}};
  for (std::int32_t type = 0; type < 7; ++type)
    add("TSearchObject", type, searchTitles[type], 0, search, searchWithPrompt);
  constexpr CatalogMessage grepTitles[] = {
      {5640, "Select lines matching"}, {5650, "Select lines NOT matching"}, {5660, "Extract"}};
  constexpr int grepHelp[] = {1160, 1260, 1250};
  for (std::int32_t kind = 0; kind < 3; ++kind)
    add("TGrepObject", kind, grepTitles[kind], grepHelp[kind], byDefaultOfKind<TGrepObject>,
        grepWithPrompt);
  add("TEOLObject", 0, {9580, "Convert End of Lines - "}, 0, byDefault<TEOLObject>);
  add("TUserObject", 0, {9720, "Map"}, 0, byDefault<TUserObject>);
  constexpr CatalogMessage mergeTitles[] = {{5300, "Merge into %s"},
                                            {5310, "Only show lines found in %s"},
                                            {5320, "Remove lines found in %s"},
                                            {5330, "Link filter %s"}};
  constexpr int mergeHelp[] = {850, 870, 890, 1240};
  for (std::int32_t kind = 0; kind < 4; ++kind)
    add("TMergeObject", kind, mergeTitles[kind], mergeHelp[kind], byDefaultOfKind<TMergeObject>);
  add("TSplitObject", 0, {5490, "Split at %d bytes"}, 0, byDefault<TSplitObject>);
  add("TDuplicateObject", 0, {5550, "Remove duplicate lines"}, 730,
      byDefaultOfKind<TDuplicateObject>);
  add("TDuplicateObject", 1, {5560, "Count duplicate lines"}, 860,
      byDefaultOfKind<TDuplicateObject>);
  add("TExecuteObject", 0, {5820, "Run %s"}, 0, byDefault<TExecuteObject>);
  add("TInsertColumnObject", 0, {5860, "Insert column %d [%s]"}, 0, byDefault<TInsertColumnObject>,
      insertColumnWithPrompt);
  // The sentence mode builds no filter, and a file does not store the mode:
  // only the word mode is listed.
  add("TConcordanceObject", 0, {0, "Word concordance"}, 0, byDefaultOfKind<TConcordanceObject>);
  add("TCommentObject", 0, {0, "Comment"}, 0, byDefault<TCommentObject>);
  add("TScriptObject", 0, {0, "Script"}, 0, byDefault<TScriptObject>);
  add("TDatabaseObject", 0, {5970, "Database %s"}, 0, byDefault<TDatabaseObject>);
  add("TUnicodeMapObject", 0, {3500, "Unicode map"}, 1480, byDefault<TUnicodeMapObject>);
  add("TFilterCommentObject", 0, {5840, "Filter options"}, 0, byDefault<TFilterCommentObject>,
      nullptr, false);
  add("TListObject", 0, {6800, "Error - very old filter loaded"}, 0, veryOld, nullptr, false);
  return catalog;
}

std::shared_mutex dialogLock;
std::map<std::string, NodeDialogFactory, std::less<>> &dialogFactories() {
  static std::map<std::string, NodeDialogFactory, std::less<>> factories;
  return factories;
}

} // namespace

std::span<const NodeCatalogEntry> nodeCatalog() {
  static const std::vector<NodeCatalogEntry> catalog = buildCatalog();
  return catalog;
}

std::span<const NodeClassEntry> nodeClasses() { return classTable; }

std::span<const NodeClassName> nodeClassNames() {
  static const std::vector<NodeClassName> names = [] {
    std::vector<NodeClassName> all;
    for (const NodeClassEntry &entry : classTable)
      all.push_back(entry.names);
    return all;
  }();
  return names;
}

const NodeCatalogEntry *findCatalogEntry(std::string_view className, std::int32_t kind) {
  for (const NodeCatalogEntry &entry : nodeCatalog())
    if (entry.names.className == className && entry.kind == kind)
      return &entry;
  return nullptr;
}

const NodeCatalogEntry *catalogEntryOf(const TListObject &node) {
  return findCatalogEntry(node.className(), node.catalogKind());
}

int TListObject::helpContext() const {
  const NodeCatalogEntry *entry = catalogEntryOf(*this);
  return entry ? entry->helpTopic : 0;
}

void registerNodeClasses() {
  static std::once_flag once;
  std::call_once(once, [] {
    ClassRegistry &registry = globalClassRegistry();
    for (const NodeClassEntry &entry : classTable)
      registry.registerClass(entry.names.className, entry.createBlank);
  });
}

void registerNodeDialog(std::string_view className, NodeDialogFactory factory) {
  std::unique_lock lock(dialogLock);
  auto &factories = dialogFactories();
  if (factory)
    factories.insert_or_assign(std::string(className), std::move(factory));
  else if (auto found = factories.find(className); found != factories.end())
    factories.erase(found);
}

NodeDialogFactory nodeDialogFactory(std::string_view className) {
  std::shared_lock lock(dialogLock);
  const auto &factories = dialogFactories();
  auto found = factories.find(className);
  return found == factories.end() ? NodeDialogFactory() : found->second;
}

} // namespace marrowen
