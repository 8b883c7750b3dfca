#include "filterlist/filenodes.h"

#include "classlib/format.h"
#include "engine/escapes.h"
#include "engine/filter.h"
#include "engine/mergesplit.h"
#include "engine/messages.h"
#include "filterlist/filterlist.h"
#include "filterlist/nodefields.h"
#include "filterlist/settings.h"
#include "filters/linebuffer.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

namespace marrowen {

using namespace std::string_view_literals;

// ---------------------------------------------------------------------------
// File-reference node

namespace {

constexpr std::string_view defaultMergeFileName = "merge.txt";

// Links nest no deeper than components in a filter file may.
constexpr std::size_t maxLinkDepth = 32;

// The filter files being linked on this thread, outermost first, so that a
// file linking back to one of them is refused instead of recursing forever.
// Each build runs on one thread; builds on other threads have their own.
thread_local std::vector<std::string> filesBeingLinked;

std::string linkIdentity(const std::string &path) {
  std::error_code error;
  std::filesystem::path canonical = std::filesystem::weakly_canonical(path, error);
  if (error)
    return path;
  return canonical.string();
}

class LinkGuard {
public:
  LinkGuard(const std::string &path, const std::string &shownName) {
    if (filesBeingLinked.size() >= maxLinkDepth)
      throw Exception(
          Format("Link filter %s: links are nested more than %d deep", {shownName, maxLinkDepth}));
    std::string identity = linkIdentity(path);
    if (std::find(filesBeingLinked.begin(), filesBeingLinked.end(), identity) !=
        filesBeingLinked.end())
      throw Exception(
          Format("Link filter %s links back to a filter file that links to it", {shownName}));
    filesBeingLinked.push_back(std::move(identity));
  }
  ~LinkGuard() { filesBeingLinked.pop_back(); }
  LinkGuard(const LinkGuard &) = delete;
  LinkGuard &operator=(const LinkGuard &) = delete;
};

} // namespace

std::string_view TMergeObject::settingName(std::int32_t kind) {
  switch (kind) {
  case Merge:
    return "mergeFilename";
  case OnlyShowLinesFoundIn:
    return "OnlyShowLinesFoundIn";
  case RemoveLinesFoundIn:
    return "RemoveLinesFoundIn";
  case LinkFilterFile:
    return "LinkFilterFile";
  default:
    return {};
  }
}

namespace {

using MergeField = NodeField<TMergeObject>;
// The file name is remembered under a name by kind (`settingName`), beside
// the table.
const MergeField mergeFields[] = {
    {"fileName", &TMergeObject::fileName, ""sv, ""},
    {"kind", &TMergeObject::kind, 0, "", 11},
};

} // namespace

std::span<const MergeField> TMergeObject::fields() { return mergeFields; }

std::unique_ptr<TMergeObject> TMergeObject::CreateDefault(std::int32_t kind) {
  auto node = std::make_unique<TMergeObject>();
  node->kind = kind;
  const std::string_view name = settingName(kind);
  node->fileName = name.empty() ? std::string(defaultMergeFileName)
                                : readStringSetting(name, defaultMergeFileName);
  return node;
}

std::unique_ptr<TMergeObject> TMergeObject::CreateWith(std::int32_t kind, std::string fileName) {
  auto node = std::make_unique<TMergeObject>();
  node->kind = kind;
  node->fileName = std::move(fileName);
  return node;
}

void TMergeObject::rememberDefaults() const {
  const std::string_view name = settingName(kind);
  if (!name.empty())
    writeStringSetting(name, fileName);
}

std::string TMergeObject::getTitle() const {
  switch (kind) {
  case Merge:
    return translateFormat(5300, "Merge into %s", {fileName});
  case OnlyShowLinesFoundIn:
    return translateFormat(5310, "Only show lines found in %s", {fileName});
  case RemoveLinesFoundIn:
    return translateFormat(5320, "Remove lines found in %s", {fileName});
  case LinkFilterFile:
    return translateFormat(5330, "Link filter %s", {fileName});
  default:
    return {};
  }
}

std::unique_ptr<TFilter> TMergeObject::add_this_filter(TFilterList &) {
  // A pair of quotes round nothing is as blank as no name: the lines-found
  // filters would take it for an empty list and drop every line.
  const std::string name = unquote(fileName);
  if (name.empty())
    throw Exception(translateFormat(5350, "Filename for '%s' is blank", {shortTitle(*this)}));
  switch (kind) {
  case Merge:
    return std::make_unique<TMergeFiles>(localPath(name));
  case OnlyShowLinesFoundIn:
    return std::make_unique<TOnlyShowLinesFoundIn>(localPath(name));
  case RemoveLinesFoundIn:
    return std::make_unique<TRemoveLinesFoundIn>(localPath(name));
  case LinkFilterFile:
    return linkFile(name);
  default:
    return nullptr;
  }
}

std::unique_ptr<TFilter> TMergeObject::linkFile(const std::string &fileName) {
  const std::string path = localPath(fileName);
  LinkGuard guard(path, fileName);
  TFilterList linked;
  try {
    // A folder or a device (a pipe, /dev/zero) is no filter file, and
    // reading one could wait or run on forever.
    if (!std::filesystem::is_regular_file(path))
      throw EFOpenError(path);
    linked.loadFromFile(path, {.wantOptions = false});
  } catch (...) {
    throw Exception(translateFormat(5340, "Couldn't open link filter file %s", {fileName}));
  }
  int errorIndex = -1;
  return linked.createFilters(false, true, errorIndex);
}

void TMergeObject::writeData(ComponentWriter &writer) const {
  TListObject::writeData(writer);
  writeFields(*this, writer, fields());
}

void TMergeObject::readData(ComponentReader &reader) {
  TListObject::readData(reader);
  readFields(*this, reader, fields());
}

// ---------------------------------------------------------------------------
// Split node

namespace {

using SplitField = NodeField<TSplitObject>;
const SplitField splitFields[] = {
    {"size", &TSplitObject::size, 1457664, "SplitSize"},
    {"type", &TSplitObject::type, 0, "rsplitType", 23},
    {"character", &TSplitObject::character, 12, "rsplitChar", 23},
    {"count", &TSplitObject::count, 1, "rsplitCharCount", 23},
    {"position", &TSplitObject::position, 0, "rsplitCharPosition", 23},
};

} // namespace

std::span<const SplitField> TSplitObject::fields() { return splitFields; }

std::unique_ptr<TSplitObject> TSplitObject::CreateDefault() {
  auto node = std::make_unique<TSplitObject>();
  readFieldSettings<TSplitObject>(*node, fields());
  return node;
}

void TSplitObject::rememberDefaults() const { writeFieldSettings(*this, fields()); }

std::string TSplitObject::getTitle() const {
  if (type == 0)
    return translateFormat(5490, "Split at %d bytes", {size});
  std::string title;
  switch (position) {
  case 0:
    title = translateFormat(5500, "Split before char %d", {character});
    break;
  case 1:
    title = translateFormat(5510, "Split after char %d", {character});
    break;
  default:
    title = translateFormat(5520, "Split at char %d", {character});
    break;
  }
  if (count > 0)
    title += translateFormat(5530, " count %d", {count});
  return title;
}

std::unique_ptr<TFilter> TSplitObject::add_this_filter(TFilterList &) {
  switch (type) {
  case 0:
    return std::make_unique<TSplitAtSize>(size);
  case 1:
    // Any other value would split at some other byte than the one shown.
    if (character < 0 || character > 255)
      throw ERangeError(Format("%s: %s", {shortTitle(*this), ERangeError().message()}));
    return std::make_unique<TSplitAtChar>(static_cast<char>(character), position, count);
  default:
    throw Exception(translate(5540, "Invalid split object type"));
  }
}

void TSplitObject::writeData(ComponentWriter &writer) const {
  TListObject::writeData(writer);
  writeFields(*this, writer, fields());
}

void TSplitObject::readData(ComponentReader &reader) {
  TListObject::readData(reader);
  readFields(*this, reader, fields());
}

} // namespace marrowen
