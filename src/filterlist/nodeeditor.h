#pragma once

#include <string>

namespace marrowen {

class TListObject;

// The dialog side of a node shown on the filter-list window's editor panel:
// its controls hold the user's edits until they are copied into the node.
// Each dialog knows the fields of the node classes it edits.
class TNodeEditor {
public:
  virtual ~TNodeEditor() = default;
  // Sets the controls from the node's fields (and dims what depends on them).
  virtual void putToScreen(TListObject &node) = 0;
  // Copies the controls into the node's fields.
  virtual void getFromScreen(TListObject &node) = 0;
  // Whether the controls' values differ from the node's fields.
  virtual bool isDifferent(const TListObject &node) const = 0;
};

// The window side, which the filter-list window implements: it holds the
// editor panel and its heading, makes and owns the dialogs shown there, and
// answers what the dialogs ask of their window.
class TNodeEditorSite {
public:
  virtual ~TNodeEditorSite() = default;

  // The heading above the editor panel.
  virtual void setFilterHeading(const std::string &heading) = 0;
  // The dialog of `node`: `current` when it was made for the node's class,
  // else a new one (`current` is then released); none when the class has no
  // dialog, which leaves the panel empty.
  virtual TNodeEditor *editorFor(TListObject &node, TNodeEditor *current) = 0;
  // Puts the dialog on the panel, sized to it, and shows it.
  virtual void placeEditor(TNodeEditor &editor) = 0;
  // Releases a dialog once the events already on their way to it are
  // handled; no node touches it afterwards.
  virtual void releaseEditor(TNodeEditor *editor) = 0;

  // --- What the dialogs ask of their window ---
  // A control's value changed: the list is marked changed when the shown
  // node's values now differ from the dialog's.
  virtual void fieldChanged() {}
  virtual void statusBarText(const std::string &) {}
  virtual void statusBarError(const std::string &) {}
  // The output node's dialog: the Go button's caption and hint.
  virtual void setTestMode(bool) {}
  // The input node's dialog: whether the input reads the files grid.
  virtual void setInputFromFiles(bool) {}
  // Compiles a pattern as a check, the result shown in the status bar.
  virtual void testRegExp(const std::string &) {}
  // A map file was saved: the window's list of map files takes it in.
  virtual void mapFilesChanged() {}
};

} // namespace marrowen
