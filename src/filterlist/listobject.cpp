#include "filterlist/listobject.h"

#include "classlib/format.h"
#include "classlib/graphemes.h"
#include "classlib/paths.h"
#include "classlib/scopeexit.h"
#include "engine/escapes.h"
#include "engine/filter.h"
#include "engine/messages.h"
#include "filterlist/nodeeditor.h"
#include "filterlist/settings.h"

#include <algorithm>
#include <atomic>

namespace marrowen {

bool TListObject::automationCheck(const ConfirmPrompt &) { return true; }

std::string TListObject::getTitle() const {
  return translate(6800, "Error - very old filter loaded");
}

std::string TListObject::printText(std::string_view) const { return getTitle() + "\r\n"; }

std::string commentCmdLine(std::string_view text) {
  return "/{=" + escapeControlCharsReversibly(text);
}

std::string TListObject::generateCmdLine() const { return commentCmdLine(getTitle()); }

std::unique_ptr<TFilter> TListObject::add_this_filter(TFilterList &) { return nullptr; }

std::unique_ptr<TFilter> TListObject::add_filter(TFilterList &list) {
  if (!getEnabled())
    return nullptr;
  return add_this_filter(list);
}

std::string TListObject::headingText() const {
  std::string heading = " " + shortTitle(*this);
  for (std::size_t i = 1; i < heading.size(); ++i) {
    const auto byte = static_cast<unsigned char>(heading[i]);
    if (byte < 32 || byte == 127)
      heading[i] = ' ';
  }
  return heading;
}

std::uint32_t TListObject::handle() const {
  static std::atomic<std::uint32_t> last{0};
  if (handle_.value == 0) {
    // Four thousand million nodes in one run are out of reach; were they
    // not, a handle must still never name two nodes.
    const std::uint32_t next = last.fetch_add(1) + 1;
    if (next == 0)
      throw ERangeError("No node handles left");
    handle_.value = next;
  }
  return handle_.value;
}

void TListObject::showOnScreen(TNodeEditorSite &window) {
  if (shown)
    return;
  shown = true;
  window.setFilterHeading(headingText());
  childForm = &window;
  ScopeExit guard{[this] { filling = false; }};
  filling = true;
  putToScreen();
  if (editorForm)
    window.placeEditor(*editorForm);
}

void TListObject::removeFromScreen() {
  if (!shown)
    return;
  shown = false;
  if (!editorForm)
    return;
  TNodeEditor *editor = editorForm;
  TNodeEditorSite *window = childForm;
  // The dialog goes whatever the copy does, so no node is left pointing at it.
  struct ReleaseGuard {
    TListObject &node;
    TNodeEditor *editor;
    TNodeEditorSite *window;
    ~ReleaseGuard() {
      node.editorForm = nullptr;
      node.childForm = nullptr;
      if (window)
        window->releaseEditor(editor);
    }
  } release{*this, editor, window};
  getFromScreen();
}

bool TListObject::hasChanged() const { return !filling && isDifferent(); }

void TListObject::putToScreen() {
  if (!childForm)
    return;
  editorForm = childForm->editorFor(*this, editorForm);
  if (!editorForm)
    return;
  const bool wasFilling = filling;
  filling = true;
  ScopeExit guard{[this, wasFilling] { filling = wasFilling; }};
  editorForm->putToScreen(*this);
}

void TListObject::getFromScreen() {
  if (!editorForm)
    return;
  if (editorForm->isDifferent(*this))
    unconfirmed_ = false;
  editorForm->getFromScreen(*this);
  if (nodeDefaultsRemembered() && !unconfirmed_)
    rememberDefaults();
}

bool TListObject::isDifferent() const { return editorForm && editorForm->isDifferent(*this); }

void TListObject::clearEditorLink() {
  editorForm = nullptr;
  childForm = nullptr;
  shown = false;
  filling = false;
}

// The published property is read through getEnabled, as the class library
// streams it: the input, output and top nodes always store true there, while
// the common part keeps the flag itself.
void TListObject::writePublishedProperties(ComponentWriter &writer) const {
  writer.writeName(enabledPropertyName);
  writer.writeBoolean(getEnabled());
}

bool TListObject::readPublishedProperty(std::string_view name, ComponentReader &reader) {
  if (!sameName(name, enabledPropertyName))
    return false;
  enabled_ = reader.readBoolean();
  return true;
}

void TListObject::writeData(ComponentWriter &writer) const {
  writeNodeCommonPart(writer, enabled_);
}

void TListObject::readData(ComponentReader &reader) { enabled_ = readNodeCommonPart(reader); }

std::string outputOption(bool flag) { return flag ? "  [X] " : "  [ ] "; }

std::string shortTitle(const TListObject &node) {
  std::string title = node.getTitle();
  // A hundred characters, never a letter cut from its marks.
  const std::size_t at = graphemes::prefixWithin(title, *charTables(), 100);
  if (at < title.size()) {
    title.resize(at);
    title += " ...";
  }
  return title;
}

void raiseUnknownSetting(const TListObject &node, std::string_view setting, std::int32_t value) {
  throw Exception(Format("Error: '%s' has an unknown %s (%d)", {shortTitle(node), setting, value}));
}

std::string localPath(std::string_view storedPath) {
  std::string path = slashesForBackslashes(std::string(storedPath));
  const bool drive = path.size() >= 2 && path[1] == ':' &&
                     ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
  if (drive)
    path.erase(0, 2);
  return path;
}

// ---------------------------------------------------------------------------

std::string TPlaceholderObject::getTitle() const { return std::string(names_.propertyName); }

std::unique_ptr<TFilter> TPlaceholderObject::add_this_filter(TFilterList &) {
  throw Exception(Format("The filter '%s' cannot be run by this version", {shortTitle(*this)}));
}

void TPlaceholderObject::writeData(ComponentWriter &writer) const {
  if (fileTypeRead_ != currentFileType)
    throw EWriteError(Format("The filter '%s' was read from an older filter file and cannot be "
                             "saved by this version",
                             {shortTitle(*this)}));
  TListObject::writeData(writer);
  writer.writeRaw(values_);
}

void TPlaceholderObject::readData(ComponentReader &reader) {
  fileTypeRead_ = reader.fileTypeRead();
  TListObject::readData(reader);
  values_ = reader.readRawValues();
}

} // namespace marrowen
