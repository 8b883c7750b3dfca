#pragma once

#include "classlib/componentstream.h"
#include "engine/answers.h"
#include "filterlist/filterfile.h"
#include "filterlist/settings.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace marrowen {

class TFilter;
class TFilterList;
class TNodeEditor;
class TNodeEditorSite;

// Asks the user a question with Yes, No and Cancel.
// The windows supply a message box; nodes never show one themselves.
using ConfirmPrompt = std::function<Answer(const std::string &text)>;

// How a node's children are built, valued as the system numbers the choice:
// inline after the node's filter, as a subfilter chain ended by a gatherer
// (the parent takes their text back), or ended by an ignore-flush filter
// (their text goes straight on).
enum class ChildChain : int { Inline = 0, Gathered = 1, PassedOn = 2 };

// The command-line comment ("/{=") holding `text`, escaped so that it stays
// on one line and the command line reads back the same text.
std::string commentCmdLine(std::string_view text);

// One node of a filter list: the settings of one filter, with its tree
// caption, report and command-line texts, its record in a filter file and
// the runtime filter(s) it makes for a job. A disabled node makes nothing.
//
// The base class itself is only ever read from very old filter files; the
// node classes override what they need.
class TListObject : public StreamableComponent {
public:
  TListObject() = default;

  // The tree image of the node.
  virtual int iconIndex() const { return 1; }
  // Whether the user may nest nodes under this one.
  virtual bool canParent() const { return false; }
  virtual bool getEnabled() const { return enabled_; }
  void setEnabled(bool value) { enabled_ = value; }
  // The stored flag, whatever getEnabled answers.
  bool enabledField() const { return enabled_; }

  // Prepares the node for unattended runs, asking whether to switch off
  // what would stop one; false when the user cancels.
  virtual bool automationCheck(const ConfirmPrompt &ask);

  // The tree caption and the first line of a report.
  virtual std::string getTitle() const;
  // Whether the title names a file (or a command or connection that names
  // one): a window then shows it as it shows names, each byte that no UTF-8
  // holds apart from every letter.
  virtual bool titleNamesFiles() const { return false; }
  // The node's part of the filter-list report, each detail line after `indent`.
  virtual std::string printText(std::string_view indent) const;
  // The node's part of an exported command line. A node whose settings its
  // options cannot carry writes its title as a comment ("/{="), which the
  // command line reads back as a comment node showing that title.
  virtual std::string generateCmdLine() const;
  // The runtime filter(s) of the node, none when it makes no filter. Raises
  // with the node's message when its settings are invalid.
  virtual std::unique_ptr<TFilter> add_this_filter(TFilterList &list);
  // None when the node is disabled, else add_this_filter.
  std::unique_ptr<TFilter> add_filter(TFilterList &list);
  // How the node's children are built.
  virtual ChildChain needGatherer() const { return ChildChain::Inline; }

  // The kind of the node's catalog entry: its kind, mode or pattern type
  // field where its class makes several filters, else 0.
  virtual std::int32_t catalogKind() const { return 0; }
  // The help topic of the node's dialog, from the node catalog; 0 for none.
  int helpContext() const;

  // Writes the node's fields to the settings store as the defaults of the
  // next new node of its class (after the dialog was copied into the node).
  virtual void rememberDefaults() const {}

  // The editor heading: a blank, then the short title with control bytes
  // and DEL (after the first position) shown as blanks.
  std::string headingText() const;

  // A number naming this node object for the rest of the run, given at the
  // first request and never given to another node; a copy gets its own.
  // Other programs hold nodes by it while the tree moves them around.
  std::uint32_t handle() const;

  // --- The node on the window's editor panel ---
  // While shown, the dialog's controls hold the user's edits; the fields
  // catch up only through getFromScreen (on removal, before a job or a save).

  // The dialog while the node is on screen, and the window showing it.
  TNodeEditor *editorForm = nullptr;
  TNodeEditorSite *childForm = nullptr;
  bool shown = false;
  // The dialog is being filled from the node: changes are not edits.
  bool filling = false;

  // Shows the node on the window's editor panel; nothing when it is shown.
  void showOnScreen(TNodeEditorSite &window);
  // Copies the dialog into the node and releases the dialog; nothing when
  // the node is not shown.
  void removeFromScreen();
  // Whether the user's edits differ from the node's fields; false while the
  // dialog is being filled.
  bool hasChanged() const;
  // Makes the node's dialog (reusing one of its class) and fills it.
  void putToScreen();
  // With a dialog: copies it into the fields and remembers them as defaults
  // (a node the command line made, only once the user changed its dialog).
  void getFromScreen();
  bool isDifferent() const;
  // Forgets the dialog without touching it, as when the node is moved to
  // another place in the tree.
  void clearEditorLink();

  // --- Streaming ---
  std::string_view className() const override { return "TListObject"; }
  std::string_view definedPropertyName() const override { return "ListObject"; }
  void writePublishedProperties(ComponentWriter &writer) const override;
  bool readPublishedProperty(std::string_view name, ComponentReader &reader) override;
  // The common part: the enabled flag.
  void writeData(ComponentWriter &writer) const override;
  void readData(ComponentReader &reader) override;

private:
  // Not copied with the node: a copy is another node.
  struct Handle {
    std::uint32_t value = 0;
    Handle() = default;
    Handle(const Handle &) {}
    Handle &operator=(const Handle &) { return *this; }
  };
  bool enabled_ = true;
  mutable Handle handle_;
  // Made while the command line is read: its values are the command line's,
  // not the user's, until the user changes one in its dialog.
  bool unconfirmed_ = !nodeDefaultsRemembered();
};

// "  [X] " for a set flag, "  [ ] " for a clear one: the option lines of reports.
std::string outputOption(bool flag);

// A node's title cut to its first 100 bytes followed by " ..." when longer:
// every tree caption and the node names in build errors.
std::string shortTitle(const TListObject &node);

// A stored setting (a kind, a method) that no filter answers to, met while
// the chain is built: the node must not be left out quietly. The value stays
// stored as it is, so saving the list does not change the file.
[[noreturn]] void raiseUnknownSetting(const TListObject &node, std::string_view setting,
                                      std::int32_t value);

// A path stored by the Windows program ("c:\data\in.txt") as this system
// opens it: backslashes become "/" (unless the name as written names a file:
// slashesForBackslashes) and a drive prefix is dropped. The stored text itself
// is never changed.
std::string localPath(std::string_view storedPath);

// Stands in for a node class whose filters are not built yet, so that a
// filter file holding one still loads, shows and saves back unchanged. It
// keeps the values after the common part as they were read; building an
// enabled one raises an error naming it.
class TPlaceholderObject : public TListObject {
public:
  explicit TPlaceholderObject(const NodeClassName &names) : names_(names) {}

  std::string getTitle() const override;
  std::unique_ptr<TFilter> add_this_filter(TFilterList &list) override;

  std::string_view className() const override { return names_.className; }
  std::string_view definedPropertyName() const override { return names_.propertyName; }
  // Raises EWriteError when the values came from a file of another type:
  // they are in that type's layout and cannot be written as the current one.
  void writeData(ComponentWriter &writer) const override;
  void readData(ComponentReader &reader) override;

private:
  NodeClassName names_;
  std::string values_;
  int fileTypeRead_ = currentFileType;
};

} // namespace marrowen
