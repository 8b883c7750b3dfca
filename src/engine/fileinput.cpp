#include "engine/fileinput.h"

#include "classlib/asciitext.h"
#include "classlib/exceptions.h"
#include "classlib/format.h"
#include "classlib/paths.h"
#include "classlib/utf8.h"
#include "engine/escapes.h"
#include "engine/job.h"
#include "engine/log.h"
#include "engine/messages.h"
#include "engine/utilities.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace marrowen {

namespace {

// Reads from a file a block at a time, far larger than a chunk, so that a
// large file costs few system calls.
constexpr std::size_t readBlockSize = 64 * 1024;

// The length of the character of `text` at `at` that a mask takes as one:
// a valid UTF-8 sequence, or a single byte, as names are shown.
std::size_t nameCharacterLength(std::string_view text, std::size_t at) {
  return utf8::characterLength(text.substr(at));
}

// Whether the characters at the start of `mask` and `name` are one letter
// but for case: ASCII through the shared folding, a UTF-8 letter by Unicode
// and any other byte by the code page, as the engine compares letters.
// The code page is taken at the first byte beyond ASCII.
bool sameNameCharacter(std::string_view mask, std::string_view name,
                       std::shared_ptr<const CodePage> &codePage) {
  const auto m = static_cast<unsigned char>(mask[0]);
  const auto n = static_cast<unsigned char>(name[0]);
  if (m < 0x80 && n < 0x80)
    return asciiUpper(m) == asciiUpper(n);
  if (!codePage)
    codePage = charTables();
  return utf8::sameIgnoringCase(utf8::characterAt(mask), utf8::characterAt(name), *codePage);
}

bool matchFrom(std::string_view mask, std::string_view name) {
  // Iterative wildcard match with one backtracking point: the last "*". A
  // "?" takes one character, so that "caf?.txt" finds "café.txt".
  std::shared_ptr<const CodePage> codePage;
  std::size_t m = 0, n = 0, starMask = std::string_view::npos, starName = 0;
  while (n < name.size()) {
    if (m < mask.size() && mask[m] == '*') {
      starMask = m++;
      starName = n;
      continue;
    }
    if (m < mask.size()) {
      const std::size_t nameLength = nameCharacterLength(name, n);
      if (mask[m] == '?') {
        ++m;
        n += nameLength;
        continue;
      }
      if (sameNameCharacter(mask.substr(m), name.substr(n), codePage)) {
        m += nameCharacterLength(mask, m);
        n += nameLength;
        continue;
      }
    }
    if (starMask == std::string_view::npos)
      return false;
    m = starMask + 1;
    starName += nameCharacterLength(name, starName);
    n = starName;
  }
  while (m < mask.size() && mask[m] == '*')
    ++m;
  return m == mask.size();
}

struct DirCloser {
  void operator()(DIR *dir) const { ::closedir(dir); }
};

// What a scan keeps of the folders it read, at most: a scan over a whole tree
// reads each folder once anyway, and only rows naming files one by one come
// back to a folder.
constexpr std::size_t maxListedNames = 1 << 20;

} // namespace

bool matchesFileMask(std::string_view mask, std::string_view name) {
  if (mask == "*.*" || mask == "*")
    return true;
  return matchFrom(mask, name);
}

std::string expandPathMask(std::string_view pathMask) {
  std::string path = slashesForBackslashes(std::string(pathMask));
  if (path.empty() || path.front() != '/') {
    std::string current;
    if (char *folder = ::getcwd(nullptr, 0)) {
      current = folder;
      std::free(folder);
    }
    path = current + '/' + path;
  }
  // One spelling per file: names found through "a/../b", "./" or "//" must
  // equal those found through "b", or a Subtract row would miss them.
  std::vector<std::string_view> parts;
  std::string_view rest = path;
  while (!rest.empty()) {
    auto slash = rest.find('/');
    std::string_view part = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    if (part.empty() || part == ".")
      continue;
    if (part == "..") {
      if (!parts.empty())
        parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  std::string expanded;
  for (std::string_view part : parts)
    expanded.append("/").append(part);
  if (expanded.empty() || path.back() == '/')
    expanded += '/';
  return expanded;
}

// One folder as the scan reads it: its entries sorted so that every run
// lists them alike, with the kind the folder gives for each, and, made when
// first wanted, its subfolders and an index of its names for masks without
// wildcards.
struct TFileInput::FolderListing {
  int error = 0; // why the folder could not be read; 0 when it was
  FileId id{};
  std::vector<std::pair<std::string, unsigned char>> entries; // name, d_type
  std::optional<std::vector<std::pair<std::string, FileId>>> subfolders;
  std::optional<std::unordered_multimap<std::string, std::size_t>> byFoldedName;
  bool searched = false; // the status line has named it
};

TFileInput::TFileInput(std::vector<FileGridRow> grid, bool promptEachFile, bool promptReadOnly,
                       int binaryMode, int sampleSize, bool deleteInputFiles)
    : grid_(std::move(grid)), promptEachFile_(promptEachFile), promptReadOnly_(promptReadOnly),
      binaryMode_(binaryMode), sampleSize_(std::max(sampleSize, 0)),
      deleteInputFiles_(deleteInputFiles) {}

TFileInput::~TFileInput() { closeStream(); }

// --- Building the file list ---

void TFileInput::startJob() {
  if (job())
    job()->setStatusText(translate(3910, "Building file list"));
  fileList_.clear();
  rewritten_.clear();
  listedIds_.reset();
  buildFileList();
  if (job())
    job()->setStatusText(translate(3920, "Processing files..."));
  TAbstractInput::startJob();
  if (job())
    job()->setTotalFiles(static_cast<int>(std::min<std::size_t>(fileList_.size(), INT32_MAX)));
}

void TFileInput::buildFileList() {
  std::vector<std::string> unmatched; // rows that added no file
  listErrors_ = 0;
  foldersRead_ = 0;
  for (const FileGridRow &row : grid_) {
    if (isAborted())
      break;
    const std::string &pathMask = row.pathMask;
    if (pathMask.empty())
      continue;
    if (pathMask.front() == ':') {
      closeGroup();
      continue;
    }
    if (row.action == "Ignore")
      continue;
    addMode_ = row.action != "Subtract";
    if (!row.subfolders.empty()) {
      char first = static_cast<char>(asciiUpper(static_cast<unsigned char>(row.subfolders[0])));
      if (first == 'I' || first == 'A')
        depthLimit_ = 255;
      else if (first == 'N' || first == 'E')
        depthLimit_ = 0;
      else if (first >= '1' && first <= '9')
        depthLimit_ = first - '0' + 1;
    }
    currentDepth_ = 0;
    entered_.clear();
    const std::size_t found = currentGroup_.size();
    const int missing = listErrors_;
    foundInRow_ = 0;
    std::string spec = expandPathMask(pathMask);
    // A folder named without a mask stands for all its files, as the list
    // window and the command line add a folder: a name typed into the grid or
    // given by another program must run what the exported command line runs.
    struct stat info {};
    if (spec.back() != '/' && spec.find_first_of("*?") == std::string::npos &&
        ::stat(ReachableName(spec).c_str(), &info) == 0 && S_ISDIR(info.st_mode))
      spec += "/*.*";
    const std::size_t slash = spec.rfind('/');
    const std::string folder = spec.substr(0, slash + 1);
    const std::string name = spec.substr(slash + 1);
    scanFolder(folder, name);
    // A folder named as an input (the list keeps it as all its files) whose
    // files all lie in its subfolders must not pass unseen beside the other
    // inputs.
    if (addMode_ && name == "*.*" && depthLimit_ <= 1 && foundInRow_ == 0 &&
        listErrors_ == missing && folder.size() > 1) {
      ++listErrors_;
      logError(Format("Skipping folder [%s]: it holds no file of its own, and the files in its "
                      "subfolders are read only with /I+ (Subfolders \"All\")",
                      {loggedName(folder.substr(0, folder.size() - 1))}));
      continue;
    }
    // A file named without wildcards that is not there is as much a failure
    // as a missing folder (which the scan reports itself): the job would
    // otherwise run over nothing and say nothing.
    FileId folderId{};
    if (foundInRow_ == 0 && name.find_first_of("*?") == std::string::npos &&
        listErrors_ == missing && fileIdOf(folder, folderId)) {
      ++listErrors_;
      logError(Format("no file matches %s", {loggedName(spec)}));
    }
    if (!addMode_)
      subtractFromGroup();
    else if (currentGroup_.size() == found && listErrors_ == missing)
      unmatched.push_back(pathMask); // unless a missing folder or a pipe said why
  }
  // The grid and what was read of the folders were only needed to build the
  // list.
  std::vector<FileGridRow>().swap(grid_);
  listings_.clear();
  listedNames_ = 0;
  entered_.clear();
  closeGroup();
  std::vector<std::string>().swap(currentGroup_);
  // A misspelt name must not pass for a job that had nothing to do.
  if (fileList_.empty() && !isAborted()) {
    if (unmatched.empty() && listErrors_ == 0)
      logError("There is no file to process");
    for (const std::string &mask : unmatched)
      logError(Format("no file matches %s", {loggedName(mask)}));
  }
}

// Each name found by a "Subtract" row removes its first occurrence from the
// group; done in one pass, so a large group costs no more than its length.
void TFileInput::subtractFromGroup() {
  if (toSubtract_.empty())
    return;
  std::erase_if(currentGroup_, [this](const std::string &name) {
    auto found = toSubtract_.find(name);
    if (found == toSubtract_.end() || found->second == 0)
      return false;
    --found->second;
    return true;
  });
  toSubtract_.clear();
}

void TFileInput::closeGroup() {
  fileList_.insert(fileList_.end(), std::make_move_iterator(currentGroup_.begin()),
                   std::make_move_iterator(currentGroup_.end()));
  currentGroup_.clear();
}

std::shared_ptr<TFileInput::FolderListing> TFileInput::listingOf(const std::string &folder) {
  if (auto known = listings_.find(folder); known != listings_.end())
    return known->second;
  auto listing = std::make_shared<FolderListing>();
  struct stat info {};
  std::unique_ptr<DIR, DirCloser> dir;
  // However deep the folder lies: its name may be longer than the system
  // takes in one.
  const ReachableName reached(folder);
  if (::stat(reached.c_str(), &info) == 0)
    dir.reset(::opendir(reached.c_str()));
  if (!dir) {
    listing->error = reached.error() != 0 ? reached.error() : errno;
  } else {
    ++foldersRead_;
    listing->id = {static_cast<std::uint64_t>(info.st_dev),
                   static_cast<std::uint64_t>(info.st_ino)};
    while (dirent *entry = ::readdir(dir.get())) {
      std::string_view name = entry->d_name;
      if (name != "." && name != "..")
        listing->entries.emplace_back(name, entry->d_type);
    }
    std::sort(listing->entries.begin(), listing->entries.end());
  }
  if (listedNames_ > maxListedNames) {
    listings_.clear();
    listedNames_ = 0;
  }
  listedNames_ += listing->entries.size();
  listings_.emplace(folder, listing);
  return listing;
}

// A folder that is not there is "Path not found" as it always was; one that
// is there but cannot be read says why.
void TFileInput::reportUnreadable(const FolderListing &listing, int id, const std::string &name) {
  ++listErrors_;
  if (listing.error == ENOENT || listing.error == ENOTDIR)
    logError(translateFormat(id, "Path not found: %s", {loggedName(name)}));
  else
    logError(Format("Cannot read folder %s. %s",
                    {loggedName(name), std::string_view(std::strerror(listing.error))}));
}

// The mask is the row's own, passed down and never copied: a row may name a
// file of any length, and every level of subfolders would hold its copy.
void TFileInput::scanFolder(const std::string &folder, const std::string &mask, bool listFiles) {
  ++currentDepth_;
  struct DepthGuard {
    int &depth;
    ~DepthGuard() { --depth; }
  } depthGuard{currentDepth_};

  // Held here: a long scan may let the listings go while this one is in use.
  const std::shared_ptr<FolderListing> listing = listingOf(folder);
  if (currentDepth_ < depthLimit_) {
    if (listing->error != 0)
      return reportUnreadable(*listing, 3940, folder);
    entered_.try_emplace(listing->id, currentDepth_);
    if (!listing->subfolders) {
      // Links to folders are followed, as a folder of their own.
      listing->subfolders.emplace();
      for (const auto &[name, type] : listing->entries) {
        struct stat info {};
        if (type != DT_DIR && type != DT_LNK && type != DT_UNKNOWN)
          continue;
        if (::stat(ReachableName(folder + name).c_str(), &info) == 0) {
          if (S_ISDIR(info.st_mode))
            listing->subfolders->emplace_back(name,
                                              FileId{static_cast<std::uint64_t>(info.st_dev),
                                                     static_cast<std::uint64_t>(info.st_ino)});
        } else if (errno == ELOOP) {
          // A link that leads round in a circle could be a folder no one
          // can enter; the user learns of it rather than miss its files.
          ++listErrors_;
          logError(Format("Cannot read folder %s. %s",
                          {loggedName(folder + name), std::string_view(std::strerror(ELOOP))}));
        }
      }
    }
    const int depth = currentDepth_ + 1;
    for (const auto &[name, id] : *listing->subfolders) {
      if (isAborted())
        break;
      auto [at, fresh] = entered_.try_emplace(id, depth);
      if (!fresh && at->second <= depth)
        continue; // entered already, with as many levels below it
      at->second = depth;
      // Its files were listed when it was first entered.
      scanFolder(folder + name + "/", mask, fresh);
    }
  }
  if (!listFiles)
    return;

  // Shown once a folder: rows naming files one by one search the same
  // folders again, from what was read of them.
  if (job() && !listing->searched) {
    listing->searched = true;
    job()->setStatusText(translateFormat(3950, "Searching folder %s", {loggedName(folder)}));
  }

  if (listing->error != 0)
    return reportUnreadable(*listing, 3960,
                            listing->error == ENOENT || listing->error == ENOTDIR ? folder + mask
                                                                                  : folder);
  auto consider = [&](const std::string &name) {
    std::string path = folder + name;
    // Regular files only (through links): opening a pipe would wait for a
    // writer for ever, and a device may never end. Folders are no inputs;
    // anything else named is, and the user learns why it was left out.
    struct stat info {};
    if (::stat(ReachableName(path).c_str(), &info) != 0 || S_ISDIR(info.st_mode))
      return;
    if (!S_ISREG(info.st_mode)) {
      if (addMode_) {
        ++listErrors_;
        logError(Format(
            "Skipping [%s]: it is a %s, not a regular file",
            {loggedName(path), std::string_view(S_ISFIFO(info.st_mode)   ? "pipe"
                                                : S_ISSOCK(info.st_mode) ? "socket"
                                                : S_ISBLK(info.st_mode)  ? "block device"
                                                                         : "character device")}));
      }
      return;
    }
    ++foundInRow_;
    if (addMode_)
      currentGroup_.push_back(std::move(path));
    else
      ++toSubtract_[std::move(path)];
  };
  if (mask.find_first_of("*?") == std::string::npos) {
    // A name without wildcards names the file spelt so, as the shell does:
    // names differing in case are other files here. Only where there is none
    // does it match the names equal to it but for letter case (lists written
    // for Windows), looked up, not compared with every name of the folder.
    const auto exact = std::lower_bound(
        listing->entries.begin(), listing->entries.end(), mask,
        [](const auto &entry, const std::string &name) { return entry.first < name; });
    if (exact != listing->entries.end() && exact->first == mask)
      return consider(mask);
    // Folded as a mask compares letters, so "ÉTÉ.TXT" finds "été.txt" as
    // "REPORT.TXT" finds "report.txt".
    const auto codePage = charTables();
    const auto folded = [&](std::string_view name) {
      std::string out;
      utf8::appendFolded(name, *codePage, out);
      return out;
    };
    if (!listing->byFoldedName) {
      listing->byFoldedName.emplace();
      for (std::size_t i = 0; i < listing->entries.size(); ++i)
        listing->byFoldedName->emplace(folded(listing->entries[i].first), i);
    }
    auto [first, last] = listing->byFoldedName->equal_range(folded(mask));
    std::vector<std::size_t> found;
    for (auto it = first; it != last; ++it)
      found.push_back(it->second);
    std::sort(found.begin(), found.end());
    for (std::size_t i : found)
      consider(listing->entries[i].first);
    return;
  }
  for (const auto &[name, type] : listing->entries) {
    if (isAborted())
      break;
    if (matchesFileMask(mask, name))
      consider(name);
  }
}

// --- Choosing the next file ---

namespace {

// Yes and Yes to All process the file, No and No to All skip it; any other
// answer cancels the job.
bool processOnAnswer(JobSink &job, Answer answer) {
  switch (answer) {
  case Answer::Yes:
  case Answer::YesToAll:
    return true;
  case Answer::No:
  case Answer::NoToAll:
    return false;
  default:
    job.terminate();
    return false;
  }
}

} // namespace

bool TFileInput::confirmFile() {
  if (confirmAnswer_ == Answer::NoToAll)
    return false;
  if (confirmAnswer_ == Answer::YesToAll)
    return true;
  if (!(job() && job()->deferLogging() && promptEachFile_))
    return true;
  confirmAnswer_ = job()->askQuestion(
      translateFormat(3970, "%s\r\n\r\nProcess this file?", {loggedName(currentInputName_)}));
  return processOnAnswer(*job(), confirmAnswer_);
}

// "No to All" and "Yes to All" answer the question for every later binary
// (or read-only) file; files that are neither are never held back by them.
bool TFileInput::checkBinary() {
  switch (binaryMode_) {
  case 0:
    return true;
  case 1:
    return !isBinaryFile(currentInputName_);
  case 2:
    if (binaryAnswer_ == Answer::YesToAll || !(job() && job()->deferLogging()))
      return true;
    if (!isBinaryFile(currentInputName_))
      return true;
    if (binaryAnswer_ == Answer::NoToAll)
      return false;
    binaryAnswer_ = job()->askQuestion(
        translateFormat(4000, "%s\r\n\r\nappears to be a binary file. Process it?",
                        {loggedName(currentInputName_)}));
    if (binaryAnswer_ == Answer::Cancel) {
      job()->terminate();
      return false;
    }
    return binaryAnswer_ != Answer::No && binaryAnswer_ != Answer::NoToAll;
  default:
    return false;
  }
}

bool TFileInput::checkReadOnly() {
  if (!promptReadOnly_ || readOnlyAnswer_ == Answer::YesToAll || !(job() && job()->deferLogging()))
    return true;
  // The owner's write bit, not access(): a process running as root may
  // write anything, but the user still marked the file read-only.
  struct stat info {};
  if (::stat(ReachableName(currentInputName_).c_str(), &info) != 0 || (info.st_mode & S_IWUSR))
    return true;
  if (readOnlyAnswer_ == Answer::NoToAll)
    return false;
  readOnlyAnswer_ = job()->askQuestion(translateFormat(
      4020, "%s\r\n\r\nis Read Only. Process this file?", {loggedName(currentInputName_)}));
  return processOnAnswer(*job(), readOnlyAnswer_);
}

bool TFileInput::rewritesInPlace(const std::string &name) {
  const OutputTarget target = outputTarget(name);
  return target.toFile() && !target.merged && !target.testMode && sameFile(target.fileName, name);
}

bool TFileInput::nextInput() {
  auto skipFile = [this](const std::string &line, bool binary = false) {
    logInfo(line);
    if (!job())
      return;
    if (binary)
      job()->incBinarySkipped();
    else
      job()->incNonBinarySkipped();
  };
  while (inputIndex_ >= 0 && static_cast<std::size_t>(inputIndex_) < fileList_.size()) {
    currentInputName_ = fileList_[static_cast<std::size_t>(inputIndex_)];
    FileId id{};
    if (!rewritten_.empty() && fileIdOf(currentInputName_, id) && rewritten_.count(id) &&
        rewritesInPlace(currentInputName_)) {
      skipFile(Format("Skipping file already processed in this job [%s]",
                      {loggedName(currentInputName_)}));
    } else if (!confirmFile()) {
      skipFile(translateFormat(3980, "User skipping file [%s]", {loggedName(currentInputName_)}));
    } else if (!checkBinary()) {
      skipFile(translateFormat(4010, "Skipping binary file [%s]", {loggedName(currentInputName_)}),
               true);
    } else if (!checkReadOnly()) {
      skipFile(
          translateFormat(4030, "Skipping read only file [%s]", {loggedName(currentInputName_)}));
    } else {
      ++inputIndex_;
      return true;
    }
    if (job())
      job()->incProcessedFiles();
    if (isAborted())
      break;
    ++inputIndex_;
  }
  ++inputIndex_;
  return false;
}

bool TFileInput::isBinaryFile(const std::string &name) {
  // The buffer grows with what the file gives: a filter file may ask for a
  // sample of 2 GB, which a small file must not cost.
  const auto wanted = static_cast<std::size_t>(sampleSize_);
  std::string sample;
  std::size_t n = 0;
  try {
    TSequentiallyScannedStream stream(name);
    while (n < wanted) {
      sample.resize(std::min(wanted, n + std::max<std::size_t>(n, readBlockSize)));
      const std::size_t got = stream.Read(sample.data() + n, sample.size() - n);
      n += got;
      if (n < sample.size())
        break;
    }
  } catch (const std::exception &) {
    logError(
        translateFormat(3990, "Couldn't open file to check if binary: %s", {loggedName(name)}));
    return false;
  }
  // Bytes that never occur in text; tab, line feed, form feed, carriage
  // return, Ctrl-Z and escape do.
  static constexpr auto controlIsBinary = [] {
    std::array<bool, 32> table{};
    for (int c = 0; c < 32; ++c)
      table[c] = !(c == 9 || c == 10 || c == 12 || c == 13 || c == 26 || c == 27);
    return table;
  }();
  // A valid UTF-8 sequence is text, every byte of it, and so is one the end
  // of the sample cuts short (not one the file itself ends in); it neither
  // makes nor continues a run of bytes of 128 or more.
  const std::string_view read(sample.data(), n);
  const std::size_t cutShort = n - (n == wanted ? utf8::incompleteTail(read) : 0);
  std::int64_t textBytes = 0;
  int highRun = 0;
  for (std::size_t i = 0; i < n; ++i) {
    unsigned char c = static_cast<unsigned char>(sample[i]);
    if (c < 32 && controlIsBinary[c])
      return true;
    if (c >= 128) {
      std::size_t sequence = i >= cutShort ? n - i : utf8::sequenceLength(read.substr(i));
      if (sequence) {
        textBytes += static_cast<std::int64_t>(sequence);
        highRun = 0;
        i += sequence - 1;
        continue;
      }
      if (++highRun == 4)
        return true;
    } else {
      highRun = 0;
    }
    if (c >= 1 && c <= 128)
      ++textBytes;
  }
  return 5 * textBytes < 4 * (static_cast<std::int64_t>(n) - 1);
}

// --- Reading a file ---

void TFileInput::refuseInputAsTarget(const std::string &name) {
  const OutputTarget target = outputTarget(name);
  FileId targetId{}, inputId{};
  // A file that does not exist yet is nobody's input.
  if (!target.toFile() || !fileIdOf(target.fileName, targetId))
    return;
  const char *refusal = target.append ? "Not appending the output of [%s] to [%s]: that file is an "
                                        "input of this job"
                                      : "Not writing the output of [%s] over [%s]: that file is an "
                                        "input of this job";
  if (target.fileName == name || (fileIdOf(name, inputId) && inputId == targetId)) {
    if (target.append)
      throw EStreamError(Format(refusal, {loggedName(name), loggedName(target.fileName)}));
    return;
  }
  if (target.merged)
    return;
  if (isJobFile(targetId))
    throw EStreamError(Format(refusal, {loggedName(name), loggedName(target.fileName)}));
}

bool TFileInput::isJobFile(const FileId &id) {
  if (rewritten_.count(id))
    return true;
  if (!listedIds_) {
    listedIds_.emplace();
    for (std::size_t i = 0; i < fileList_.size(); ++i)
      if (FileId listed{}; fileIdOf(fileList_[i], listed))
        listedIds_->emplace(listed, i);
  }
  // An input rewritten in place or deleted since has left its inode free
  // for a new file: the id counts only while a listed name still leads there.
  auto [first, last] = listedIds_->equal_range(id);
  for (auto it = first; it != last; ++it)
    if (FileId now{}; fileIdOf(fileList_[it->second], now) && now == id)
      return true;
  return false;
}

bool TFileInput::isInputFile(const std::string &fileName) {
  FileId id{};
  return fileIdOf(fileName, id) && isJobFile(id);
}

void TFileInput::openFile(const std::string &name) {
  closeStream();
  currentFileName_ = name;
  refuseInputAsTarget(name);
  try {
    stream_ = std::make_unique<TSequentiallyScannedStream>(name);
  } catch (const EStreamError &error) {
    throw EStreamError(loggedLine(error.message()));
  }
  struct stat info {};
  if (::fstat(stream_->Handle(), &info) != 0) {
    closeStream();
    throw EStreamError(loggedLine(EFOpenError(name).message()));
  }
  currentId_ = {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
  inputSize_ = static_cast<std::int64_t>(info.st_size);
  openedAs_ = info;
  readAs_.reset();
  bytesGot_ = 0;
  readBuffer_.clear();
  readBuffer_.reserve(readBlockSize);
  readOffset_ = 0;
  endOfFile_ = false;
  if (job())
    job()->logInputFile(name, inputSize_);
  TGenericInput::openFile(name);
}

std::int64_t TFileInput::readChunk(std::string &chunk) {
  chunk.clear();
  while (chunk.size() < static_cast<std::size_t>(chunkSize)) {
    if (readOffset_ == readBuffer_.size()) {
      if (endOfFile_ || !stream_)
        break;
      readBuffer_.resize(readBlockSize);
      std::size_t got = 0;
      try {
        got = stream_->Read(readBuffer_.data(), readBuffer_.size());
      } catch (const EStreamError &error) {
        readBuffer_.clear();
        readOffset_ = 0;
        throw EStreamError(loggedLine(error.message()));
      } catch (...) {
        readBuffer_.clear();
        readOffset_ = 0;
        throw;
      }
      // The stream fills the block unless the file ends first.
      endOfFile_ = got < readBuffer_.size();
      bytesGot_ += got;
      readBuffer_.resize(got);
      readOffset_ = 0;
      if (endOfFile_) {
        struct stat info {};
        if (::fstat(stream_->Handle(), &info) == 0)
          readAs_ = info;
      }
      if (got == 0)
        break;
    }
    std::size_t n = std::min(static_cast<std::size_t>(chunkSize) - chunk.size(),
                             readBuffer_.size() - readOffset_);
    chunk.append(readBuffer_, readOffset_, n);
    readOffset_ += n;
  }
  return static_cast<std::int64_t>(chunk.size());
}

void TFileInput::closeStream() { stream_.reset(); }

void TFileInput::abandonFile() {
  closeStream();
  TGenericInput::abandonFile();
}

// Another program that cut, rewrote or added to the input while the job read
// it (a live log, too) leaves a text that is none of its versions: the output
// made from it must not look whole. Checked at the end of the read, however
// the input ended.
void TFileInput::refuseChangedInput() {
  if (!openedAs_ || !stream_ || isAborted())
    return;
  struct stat now {};
  if (!readAs_ && ::fstat(stream_->Handle(), &now) == 0)
    readAs_ = now;
  const struct stat &before = *openedAs_;
  const bool changed = !readAs_ || readAs_->st_size != before.st_size ||
                       readAs_->st_mtim.tv_sec != before.st_mtim.tv_sec ||
                       readAs_->st_mtim.tv_nsec != before.st_mtim.tv_nsec ||
                       // A file the system makes as it is read (under /proc) tells no size.
                       (endOfFile_ && bytesGot_ != static_cast<std::uint64_t>(before.st_size) &&
                        before.st_size != 0);
  if (changed)
    throw EStreamError(Format("File [%s] was changed while it was read (another program may be "
                              "writing it): its output is not kept",
                              {loggedName(currentFileName_)}));
}

FileResult TFileInput::closeFile() {
  refuseChangedInput();
  closeStream();
  std::string().swap(readBuffer_);
  readOffset_ = 0;
  logStatistics("");
  bool inPlace = rewritesInPlace(currentFileName_);
  FileResult result = TGenericInput::closeFile();

  // Whether the result went back into the input: the target (the merged
  // file when inputs are merged) is the input, by name or by device and
  // inode, as it was opened or as it is now.
  const OutputTarget &target = result.target;
  bool wroteInput = inPlace;
  if (target.toFile()) {
    FileId targetId{};
    wroteInput = wroteInput || sameFile(target.fileName, currentFileName_) ||
                 (fileIdOf(target.fileName, targetId) && targetId == currentId_);
  }
  // Only the file as it is now holds the result. The file as it was opened
  // is either that same file (an appending output) or gone, its inode free
  // for a new file, or still reached through another link that holds the
  // untransformed text: none of those has been processed.
  if (inPlace && !isAborted()) {
    FileId after{};
    if (fileIdOf(currentFileName_, after))
      rewritten_.insert(after);
  }

  if (deleteInputFiles_) {
    // Without a file output (the clipboard) the text is not kept anywhere
    // that would let the input go.
    if (isAborted() || result.failed || wroteInput || !target.toFile())
      keepInput(currentFileName_);
    else if (target.merged)
      pendingDeletes_.push_back(currentFileName_); // once the merged file is in place
    else
      deleteInput(currentFileName_);
  }
  return result;
}

void TFileInput::keepInput(const std::string &name) {
  logInfo(Format("Keeping input file [%s]: its output was not written elsewhere in full",
                 {loggedName(name)}));
}

void TFileInput::deleteInput(const std::string &name) {
  logInfo(translateFormat(3930, "Deleting input file [%s]", {loggedName(name)}));
  removeFile(name);
}

void TFileInput::endJob() {
  std::vector<std::string>().swap(fileList_);
  listedIds_.reset();
  TFilter::endJob();
  // The merged file is complete only now; an abort or a failure to write it
  // keeps every input it was made from.
  const std::optional<FileResult> merged = mergedFileResult();
  settlePendingDeletes(!isAborted() && merged && !merged->failed);
}

// The merged file was not written: every input it was made from stays.
void TFileInput::abandonJob() {
  closeStream();
  std::vector<std::string>().swap(fileList_);
  listedIds_.reset();
  TFilter::abandonJob();
  settlePendingDeletes(false);
}

void TFileInput::settlePendingDeletes(bool mergedFileWritten) {
  for (const std::string &name : pendingDeletes_)
    mergedFileWritten ? deleteInput(name) : keepInput(name);
  pendingDeletes_.clear();
}

} // namespace marrowen
