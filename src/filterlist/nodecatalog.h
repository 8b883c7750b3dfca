#pragma once

#include "filterlist/filterfile.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace marrowen {

class TListObject;
class TNodeEditor;
class TNodeEditorSite;

// A message text of the catalog: its number and English default.
struct CatalogMessage {
  int id = 0;
  std::string_view text;
  std::string translated() const;
};

// Makes a node of one catalog entry, for the entry's kind.
using NodeFactory = std::unique_ptr<TListObject> (*)(std::int32_t kind);

// One thing a user can add to a filter list: a node class and, for the
// classes that make several filters, the kind (the node's kind, mode or
// pattern type field; 0 for the other classes). The loader, the command
// line, the menus, the wizard and the automation objects all read it.
struct NodeCatalogEntry {
  NodeClassName names;
  std::int32_t kind = 0;
  // The menu caption; for the kinds with a number or a file name in their
  // title, the text before it is filled in.
  CatalogMessage title;
  // The help topic of the node's dialog; 0 for none.
  int helpTopic = 0;
  // A node with the values the user chose last (the settings store).
  NodeFactory createDefault = nullptr;
  // A node that invites the user to type its text or pattern; the default
  // node where there is nothing to type.
  NodeFactory createWithPrompt = nullptr;
  // False for the entries that only old files hold (and the list's own top
  // node): the loader reads them, no menu offers them.
  bool offered = true;
};

// A node class a filter file may name, with a blank node for the loader to fill.
struct NodeClassEntry {
  NodeClassName names;
  std::unique_ptr<TListObject> (*createBlank)();
};

// Every entry, class by class in the order of the menus.
std::span<const NodeCatalogEntry> nodeCatalog();
// Every node class a filter file may name.
std::span<const NodeClassEntry> nodeClasses();
// Their names alone.
std::span<const NodeClassName> nodeClassNames();
// The entry of a class and kind; none when the catalog has no such entry.
const NodeCatalogEntry *findCatalogEntry(std::string_view className, std::int32_t kind);
// The entry a node was made from (its class and kind).
const NodeCatalogEntry *catalogEntryOf(const TListObject &node);

// Registers every node class with the process-wide class registry the
// loader reads with. Idempotent.
void registerNodeClasses();

// What the windows open to edit a node: a dialog made for the window that
// shows it, which owns it. The catalog keeps one factory a node class; the
// windows register theirs at start-up, the catalog itself knows nothing of
// windows.
using NodeDialogFactory =
    std::function<std::unique_ptr<TNodeEditor>(TListObject &node, TNodeEditorSite &window)>;
// Replaces the factory of `className`; an empty one removes it.
void registerNodeDialog(std::string_view className, NodeDialogFactory factory);
// The factory of `className`; empty when none is registered.
NodeDialogFactory nodeDialogFactory(std::string_view className);

} // namespace marrowen
