#include "filterlist/filterfile.h"

#include "classlib/format.h"
#include "classlib/program.h"
#include "classlib/safefile.h"
#include "classlib/streams.h"
#include "engine/messages.h"
#include "filterlist/classregistry.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace marrowen {

namespace {

constexpr std::int32_t maxLevel = 32767;

} // namespace

// ---------------------------------------------------------------------------
// TVersion

namespace {

const NodeField<LogOptions> logFields[] = {
    {"enabled", &LogOptions::enabled, true, "logging.enabled"},
    {"fileName", &LogOptions::fileName, program::defaultLogName, "logging.filename"},
    {"append", &LogOptions::append, true, "logging.append"},
    {"lineThreshold", &LogOptions::lineThreshold, 500, "logging.threshold"},
};

} // namespace

std::span<const NodeField<LogOptions>> logOptionFields() { return logFields; }

void TVersion::writeData(ComponentWriter &writer) const {
  writer.writeInteger(currentFileType);
  writer.writeString(comments);
  writer.writeString(scratchPad);
  writer.writeString(trialInput);
  writer.writeListBegin();
  for (const std::string &entry : fileList)
    writer.writeString(entry);
  writer.writeListEnd();
  writeFields(log, writer, logOptionFields());
}

void TVersion::readData(ComponentReader &reader) {
  const std::size_t at = reader.position();
  const std::int32_t type = reader.readInteger();
  // No writer ever stored a type below 1; such a number means damage, and
  // would make every later gate of the file meaningless.
  if (type < 1)
    reader.failAt(at, invalidPropertyValueText);
  reader.setFileTypeRead(type);
  if (type > currentFileType)
    reader.warn(translateFormat(6790,
                                "Warning: The filter being read is from a later version of "
                                "%s. It may not load successfully (expecting file type <= "
                                "%d, reading type: %d)",
                                {program::displayName, currentFileType, type}));

  comments = type >= 4 ? reader.readString() : std::string();
  if (type >= 19) {
    scratchPad = reader.readString();
    trialInput = reader.readString();
  } else {
    scratchPad.clear();
    trialInput.clear();
  }
  fileList.clear();
  if (type >= 4) {
    reader.readListBegin();
    while (!reader.endOfList())
      fileList.push_back(reader.readString());
    reader.readListEnd();
  }
  if (type >= 41)
    readFields(log, reader, logOptionFields());
  else if (type >= 4)
    applyFieldDefaults(log, logOptionFields());
}

// ---------------------------------------------------------------------------
// Node classes

void writeNodeCommonPart(ComponentWriter &writer, bool enabled) { writer.writeBoolean(enabled); }

bool readNodeCommonPart(ComponentReader &reader) {
  if (reader.fileTypeRead() < 6)
    reader.readString();
  if (reader.fileTypeRead() < 18)
    return true;
  return reader.readBoolean();
}

void registerPlaceholderClasses(
    ClassRegistry &registry, std::span<const NodeClassName> names,
    std::function<std::unique_ptr<StreamableComponent>(const NodeClassName &)> makePlaceholder) {
  for (const NodeClassName &entry : names)
    if (!registry.isRegistered(entry.className))
      registry.registerClass(entry.className,
                             [entry, makePlaceholder] { return makePlaceholder(entry); });
}

// ---------------------------------------------------------------------------
// The "FilterList" value

void writeFilterListValue(ComponentWriter &writer, const TVersion &version,
                          std::span<const FilterListItem> items) {
  writer.writeListBegin();
  writer.writeComponent(version);
  for (const FilterListItem &item : items) {
    if (item.level < 0 || item.level > maxLevel || item.node == nullptr)
      throw ERangeError();
    writer.writeInteger(item.level);
    writer.writeBoolean(item.expanded);
    writer.writeComponent(*item.node);
  }
  writer.writeListEnd();
}

void readFilterListValue(ComponentReader &reader, const FilterListItemHandler &handler) {
  reader.readListBegin();
  reader.setFileTypeRead(1);
  std::int32_t level = 1;
  bool expanded = true;
  while (!reader.endOfList()) {
    if (reader.fileTypeRead() >= 29) {
      const std::size_t at = reader.position();
      level = reader.readInteger();
      if (level < 0 || level > maxLevel)
        reader.failAt(at, invalidPropertyValueText);
      expanded = reader.readBoolean();
    }
    handler(reader.readComponent(), level, expanded);
  }
  reader.readListEnd();
}

// ---------------------------------------------------------------------------
// Files

std::string filterFileBytes(const StreamableComponent &root) {
  std::string bytes;
  ComponentWriter writer(bytes);
  writer.writeRootComponent(root);
  return bytes;
}

void readFilterFileBytes(ComponentReader &reader, StreamableComponent &root) {
  try {
    reader.readRootComponent(root);
  } catch (const EReadError &) {
    throw;
  } catch (const Exception &e) {
    // A component's own reading failed (a value out of range, a conversion):
    // still a damaged file, and the user must learn which one.
    throw EReadError(e.message(), reader.sourceName(), reader.position());
  }
}

std::string loadFileBytes(const std::string &fileName) {
  std::error_code ec;
  // Only a regular file: a device or a pipe named here would be read without end.
  if (!std::filesystem::is_regular_file(fileName, ec))
    throw EFOpenError(fileName);
  try {
    return readFileBytes(fileName);
  } catch (const EFOpenError &) {
    throw;
  } catch (const EStreamError &) {
    throw EReadError(std::string(readErrorText), fileName, 0);
  }
}

void writeFileBytesSafely(const std::string &fileName, std::string_view bytes) {
  namespace fs = std::filesystem;
  // The system's answer for no name at all would blame a permission.
  if (fileName.empty())
    throw EFCreateError(fileName, "The file name is empty");
  std::error_code ec;
  fs::path target(fileName);
  // Write through a link to the file it names, so the link survives.
  if (fs::is_symlink(target, ec)) {
    const fs::path resolved = fs::weakly_canonical(target, ec);
    if (!ec)
      target = resolved;
  }

  // Renaming over a file needs no write permission on it; the user who
  // marked the file read-only still means it to stay as it is. A folder, a
  // pipe or a device in the target's place is no filter file to replace.
  if (const fs::file_status current = fs::status(target, ec); !ec && fs::exists(current)) {
    if (fs::is_directory(current))
      throw EFCreateError(fileName, "It is a folder");
    if (!fs::is_regular_file(current))
      throw EFCreateError(fileName, "It is not a regular file");
    if ((current.permissions() & fs::perms::owner_write) == fs::perms::none)
      throw EFCreateError(fileName, std::error_code(EACCES, std::system_category()).message());
  }

  const FileReplaceResult written = replaceOrRewriteFileContents(target.string(), bytes);
  if (!written.created)
    throw EFCreateError(fileName, std::error_code(written.error, std::system_category()).message());
  if (!written)
    throw EWriteError(
        Format("Stream write error: %s: %s",
               {fileName, std::error_code(written.error, std::system_category()).message()}));
}

} // namespace marrowen
