#include "engine/outputs.h"

#include "classlib/exceptions.h"
#include "classlib/format.h"
#include "classlib/paths.h"
#include "classlib/safefile.h"
#include "engine/job.h"
#include "engine/log.h"
#include "engine/messages.h"
#include "engine/userinterface.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace marrowen {

namespace {

constexpr std::size_t writeThreshold = 32767;

std::string systemErrorText(int error) {
  return std::error_code(error, std::system_category()).message();
}

bool sameNameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    unsigned char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z')
      x -= 'a' - 'A';
    if (y >= 'a' && y <= 'z')
      y -= 'a' - 'A';
    if (x != y)
      return false;
  }
  return true;
}

// The file a target name leads to: a symbolic link is written through, so
// that the link survives and the file it points at gets the new text. A
// link that leads nowhere is refused rather than replaced by a file, and so
// is a folder, which no file can be renamed over.
std::string resolvedTarget(const std::string &name) {
  std::error_code error;
  std::string target = name;
  if (std::filesystem::is_symlink(ReachableName(name).c_str(), error)) {
    std::filesystem::path resolved = std::filesystem::canonical(ReachableName(name).c_str(), error);
    if (error)
      throw EFCreateError(name, systemErrorText(error.value()));
    target = resolved.string();
  }
  if (std::filesystem::is_directory(ReachableName(target).c_str(), error))
    throw EFCreateError(name, systemErrorText(EISDIR));
  return target;
}

std::string fileNamePart(const std::string &name) {
  auto slash = name.rfind('/');
  return slash == std::string::npos ? name : name.substr(slash + 1);
}

std::string folderPart(const std::string &name) {
  auto slash = name.rfind('/');
  if (slash == std::string::npos)
    return ".";
  return slash == 0 ? std::string("/") : name.substr(0, slash);
}

// Opens a file to append to, creating it when it is missing; `created` says
// whether this call made it, so that an append taken back can take the file
// back too. Only a regular file is appended to: a pipe would hold the job
// until a reader came (ENXIO when none is there yet), and neither a pipe nor
// a device can be held, measured or cut back. -1 with errno set: ENXIO for
// anything but a regular file.
int openForAppend(const std::string &name, bool &created) {
  created = false;
  int fd = -1;
  for (int attempt = 0; attempt < 2 && fd < 0; ++attempt) {
    fd = ::open(ReachableName(name).c_str(), O_WRONLY | O_APPEND | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 && errno != ENOENT)
      return -1;
    if (fd < 0) {
      fd = ::open(ReachableName(name).c_str(),
                  O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_NONBLOCK | O_CLOEXEC, 0666);
      created = fd >= 0;
      if (fd < 0 && errno != EEXIST)
        return -1;
    }
  }
  struct stat info {};
  if (fd >= 0 && (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))) {
    ::close(fd);
    errno = ENXIO;
    return -1;
  }
  if (fd >= 0)
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

// Gives a whole text, written into a file without a name, a temporary name
// beside `writeTarget`, registered as `entry`: it replaces its target only by
// a rename. 0, or the errno of the failure.
int nameBeside(int fd, const std::string &writeTarget, std::string &name, TemporaryEntry &entry) {
  std::string pattern = folderPart(writeTarget) + "/KVBXXXXXX";
  int error = 0;
  entry = TemporaryEntry::linkFile(fd, pattern, error);
  if (error == 0)
    name = pattern;
  return error;
}

// The parts of one input that wait without a name, each holding a
// descriptor; later parts of a longer split wait under a temporary name.
constexpr std::size_t maxUnnamedParts = 256;

// Why an append was not taken back: another program wrote to the file.
constexpr const char *othersWroteText =
    "another program wrote to it while this job appended, and its text is left to it";

// Whether a file differs from what `before` recorded: another inode in its
// place, or a size or modification time that moved.
bool changedSince(const struct stat &now, const struct stat &before) {
  return now.st_dev != before.st_dev || now.st_ino != before.st_ino ||
         now.st_size != before.st_size || now.st_mtim.tv_sec != before.st_mtim.tv_sec ||
         now.st_mtim.tv_nsec != before.st_mtim.tv_nsec;
}

} // namespace

// --- TGenericOutput ---

bool TGenericOutput::hasChanged() { return false; }

void TGenericOutput::setInputFilename(const std::string &name) {
  inputFileName_ = name;
  TFilter::setInputFilename(name);
}

std::string TGenericOutput::getInputFilename() { return fileNamePart(inputFileName_); }

std::string TGenericOutput::getFullInputFilename() { return inputFileName_; }

std::string TGenericOutput::getGlobalVar(const std::string &name) {
  if (inSubchain())
    return TFilter::getGlobalVar(name);
  for (const auto &[key, value] : variables_)
    if (sameNameIgnoringCase(key, name))
      return value;
  return {};
}

void TGenericOutput::setGlobalVar(const std::string &name, const std::string &value) {
  if (inSubchain()) {
    TFilter::setGlobalVar(name, value);
    return;
  }
  for (auto it = variables_.begin(); it != variables_.end(); ++it)
    if (sameNameIgnoringCase(it->first, name)) {
      if (value.empty())
        variables_.erase(it);
      else
        it->second = value;
      return;
    }
  if (!value.empty())
    variables_.emplace_back(name, value);
}

// --- TFileOutput ---

TFileOutput::TFileOutput(Options options)
    : retainDate_(options.retainDate), changeExtension_(options.changeExtension),
      newExtension_(std::move(options.newExtension)), useOutputFolder_(options.useOutputFolder),
      outputFolder_(std::move(options.outputFolder)),
      keepFolderStructure_(options.keepFolderStructure), append_(options.append),
      testMode_(options.testMode) {
  if (changeExtension_ && newExtension_.find('.') == std::string::npos)
    newExtension_.insert(0, 1, '.');
  if (useOutputFolder_) {
    // An empty folder would put every output at the root of the file system.
    if (outputFolder_.empty())
      throw Exception("The output folder is empty");
    if (outputFolder_.back() != '/')
      outputFolder_ += '/';
  }
  writeBuffer_.reserve(2 * writeThreshold);
}

TFileOutput::~TFileOutput() {
  for (const HeldPart &part : heldParts_) {
    if (part.fd >= 0)
      ::close(part.fd);
    if (!part.writtenName.empty())
      ::unlink(ReachableName(part.writtenName).c_str());
  }
  if (fd_ >= 0) {
    const bool cutBack =
        append_ && !appendTargetReplaced() && cutBackAppend().empty() && holdsWhatItHeld();
    ::close(fd_);
    if ((!append_ || (cutBack && appendCreated_)) && !writtenFileName_.empty())
      ::unlink(ReachableName(writtenFileName_).c_str());
  }
}

std::string TFileOutput::outputName(const std::string &inputName) const {
  std::string name = inputName;
  if (changeExtension_) {
    auto slash = name.rfind('/');
    auto start = slash == std::string::npos ? 0 : slash + 1;
    auto point = name.rfind('.');
    if (point != std::string::npos && point >= start)
      name.resize(point);
    name += newExtension_;
  }
  if (useOutputFolder_) {
    std::string relative = keepFolderStructure_ ? name : fileNamePart(name);
    if (!relative.empty() && relative.front() == '/')
      relative.erase(0, 1);
    name = outputFolder_ + relative;
  }
  if (testMode_)
    name += ".dCv";
  return name;
}

std::string TFileOutput::partName(const std::string &target, std::string_view partSuffix,
                                  bool testMode) {
  constexpr std::string_view testCopy = ".dCv";
  const bool hasTestCopy =
      testMode && target.size() >= testCopy.size() &&
      target.compare(target.size() - testCopy.size(), testCopy.size(), testCopy) == 0;
  std::string name = target;
  name.insert(hasTestCopy ? name.size() - testCopy.size() : name.size(), partSuffix);
  return name;
}

void TFileOutput::startJob() {
  writtenFor_.clear();
  TGenericOutput::startJob();
}

void TFileOutput::refuseOutputOfAnotherInput() const {
  struct stat target {};
  if (writtenFor_.empty() || ::stat(ReachableName(writeTarget_).c_str(), &target) != 0)
    return;
  const auto written = writtenFor_.find({target.st_dev, target.st_ino});
  // The same input listed twice writes the same output again.
  if (written != writtenFor_.end() && written->second != inputFileName_)
    throw EStreamError(
        Format("Not writing the output of [%s] over [%s]: this job wrote it for [%s]",
               {loggedName(inputFileName_), loggedName(targetName_), loggedName(written->second)}));
}

void TFileOutput::noteWritten(const std::string &file, const std::string &input) {
  struct stat written {};
  if (::stat(ReachableName(file).c_str(), &written) == 0)
    writtenFor_[{written.st_dev, written.st_ino}] = input;
}

void TFileOutput::setInputFilename(const std::string &name) {
  // Parts that an earlier input never settled are no part of this one.
  dropHeldParts();
  inputOfParts_ = name;
  TGenericOutput::setInputFilename(name);
}

namespace {

// What `name` adds to `input` when it names one of its parts: a point and the
// part number; empty otherwise.
std::string_view partSuffixOf(std::string_view name, std::string_view input) {
  if (input.empty() || name.size() < input.size() + 2 || name.substr(0, input.size()) != input)
    return {};
  std::string_view suffix = name.substr(input.size());
  if (suffix.front() != '.' || suffix.find_first_not_of("0123456789", 1) != std::string_view::npos)
    return {};
  return suffix;
}

} // namespace

void TFileOutput::openFile(const std::string &name) {
  if (fd_ >= 0)
    discardFile();
  // A part of a split input is written under the part's name, but the input
  // is still the file read: filters before the split (a script asking for
  // its name) and the kept date see that file, not a part that is no file.
  const std::string_view partSuffix = partSuffixOf(name, inputOfParts_);
  inputFileName_ = partSuffix.empty() ? name : inputOfParts_;
  targetBaseName_ = name;
  writeError_.clear();
  writeBuffer_.clear();
  written_ = 0;
  inputStart_ = 0;

  // The input's date; none when it cannot be read (never the previous file's).
  inputInfo_.reset();
  replacesInput_ = false;
  struct stat info {};
  if (::stat(ReachableName(inputFileName_).c_str(), &info) == 0)
    inputInfo_ = info;

  isPart_ = !partSuffix.empty();
  targetName_ = partSuffix.empty() ? outputName(name)
                                   : partName(outputName(inputOfParts_), partSuffix, testMode_);
  if (useOutputFolder_)
    if (const int error = createFolders(folderPart(targetName_)))
      throw EFCreateError(targetName_, systemErrorText(error));
  // The input checked its first part's name; a later part may meet another
  // input of the job, which would be lost before (or after) it is read.
  if (isPart_ && job() && job()->isInputFile(targetName_))
    throw EStreamError(Format(append_ ? "Not appending the output of [%s] to [%s]: that file is an "
                                        "input of this job"
                                      : "Not writing the output of [%s] over [%s]: that file is an "
                                        "input of this job",
                              {loggedName(inputOfParts_), loggedName(targetName_)}));
  if (append_) {
    writtenFileName_ = targetName_;
    fd_ = openForAppend(targetName_, appendCreated_);
    if (fd_ < 0 && errno == ENXIO) {
      writtenFileName_.clear();
      throw EStreamError(Format("Couldn't append to file [%s]: it is not a regular file",
                                {loggedName(targetName_)}));
    }
    if (fd_ >= 0) {
      const int refused = lockForWriting(fd_);
      if (refused == EAGAIN || refused == EACCES) {
        // The other writer may already be appending to the file this call
        // made: it stays, and so does what the other wrote.
        ::close(fd_);
        fd_ = -1;
        appendCreated_ = false;
        writtenFileName_.clear();
        throw EStreamError(Format("Couldn't append to file [%s]: another program is writing it",
                                  {loggedName(targetName_)}));
      }
      // A file system that keeps no locks (ENOLCK) is appended to as before.
    }
    struct stat held {};
    appendStart_ = fd_ >= 0 && ::fstat(fd_, &held) == 0 ? held.st_size : 0;
    lastWriteEnd_ = appendStart_;
    othersWrote_ = false;
  } else {
    writeTarget_ = resolvedTarget(targetName_);
    refuseOutputOfAnotherInput();
    struct stat target {};
    replacesInput_ = inputInfo_ && ::stat(ReachableName(writeTarget_).c_str(), &target) == 0 &&
                     target.st_dev == inputInfo_->st_dev && target.st_ino == inputInfo_->st_ino;
    // The new text goes into a file without a name, named only once it is
    // whole: a program killed meanwhile leaves nothing beside the target.
    // Where the file system makes no such file, a named temporary,
    // registered for removal, stands in.
    fd_ = ::open(ReachableName(folderPart(writeTarget_)).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC,
                 0600);
    unnamed_ = fd_ >= 0;
    writtenFileName_.clear();
    if (!unnamed_) {
      std::string pattern = folderPart(writeTarget_) + "/KVBXXXXXX";
      temporary_ = TemporaryEntry::createFile(pattern, 0, fd_);
      writtenFileName_ = fd_ >= 0 ? pattern : std::string();
    }
  }
  if (fd_ < 0)
    throw EFCreateError(targetName_, systemErrorText(errno));
  TFilter::openFile(name);
}

bool TFileOutput::writeBuffer() {
  const bool written = writeBytes(writeBuffer_);
  writeBuffer_.clear();
  return written;
}

bool TFileOutput::write(std::string_view bytes) {
  if (append_)
    return writeLines(bytes);
  if (bytes.size() <= writeThreshold) {
    writeBuffer_.append(bytes);
    return writeBuffer_.size() <= writeThreshold || writeBuffer();
  }
  // A long text goes straight after what the buffer holds, not through it.
  return writeBuffer() && writeBytes(bytes);
}

bool TFileOutput::writeLines(std::string_view bytes) {
  writeBuffer_.append(bytes);
  while (writeBuffer_.size() > writeThreshold) {
    const std::size_t lineEnd = writeBuffer_.rfind('\n');
    // A line longer than a block goes out in writes of its own.
    const std::size_t whole = lineEnd == std::string::npos ? writeBuffer_.size() : lineEnd + 1;
    if (!writeBytes(std::string_view(writeBuffer_).substr(0, whole)))
      return false;
    writeBuffer_.erase(0, whole);
  }
  return true;
}

bool TFileOutput::writeBytes(std::string_view bytes) {
  const char *data = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0 && writeError_.empty()) {
    ssize_t written = ::write(fd_, data, left);
    if (written < 0 && errno == EINTR)
      continue;
    if (written <= 0) {
      writeError_ = systemErrorText(written < 0 ? errno : ENOSPC);
      break;
    }
    data += written;
    left -= static_cast<std::size_t>(written);
    written_ += written;
    if (append_) {
      // Where this write landed: right after the last one, unless another
      // program appended between them.
      const off_t end = ::lseek(fd_, 0, SEEK_CUR);
      othersWrote_ = othersWrote_ || end < 0 || end - written != lastWriteEnd_;
      lastWriteEnd_ = end;
    }
  }
  return writeError_.empty();
}

bool TFileOutput::processChunk(std::string &chunk) {
  if (fd_ < 0 || !writeError_.empty())
    return false;
  if (!write(chunk))
    return false;
  return sendToNext(chunk);
}

bool TFileOutput::putLine(std::string_view line, std::string_view lineEnd) {
  if (next())
    return TFilter::putLine(line, lineEnd);
  if (fd_ < 0 || !writeError_.empty())
    return false;
  return write(line) && write(lineEnd);
}

void TFileOutput::markInputStart() {
  inputStart_ = written_ + static_cast<std::int64_t>(writeBuffer_.size());
}

void TFileOutput::takeBackInput() {
  if (fd_ < 0 || !writeError_.empty())
    return;
  if (inputStart_ >= written_) {
    writeBuffer_.resize(static_cast<std::size_t>(inputStart_ - written_));
    return;
  }
  writeBuffer_.clear();
  const off_t length = static_cast<off_t>((append_ ? appendStart_ : 0) + inputStart_);
  // What another program appended meanwhile is not the job's to cut.
  struct stat now {};
  if (append_ && (othersWrote_ || ::fstat(fd_, &now) != 0 || now.st_size != lastWriteEnd_)) {
    writeError_ = othersWroteText;
    return;
  }
  // Should the file not go back, the whole merged file fails rather than
  // keep part of the input.
  if (::ftruncate(fd_, length) != 0 || (!append_ && ::lseek(fd_, length, SEEK_SET) < 0)) {
    writeError_ = systemErrorText(errno);
    return;
  }
  written_ = inputStart_;
  lastWriteEnd_ = length;
}

void TFileOutput::closeStream() {
  if (::close(fd_) != 0 && writeError_.empty())
    writeError_ = systemErrorText(errno);
  fd_ = -1;
}

std::string TFileOutput::cutBackAppend() {
  struct stat now {};
  const ReachableName target(targetName_);
  if ((fd_ >= 0 ? ::fstat(fd_, &now) : ::stat(target.c_str(), &now)) != 0)
    return systemErrorText(errno);
  if (written_ == 0 && !othersWrote_)
    return {}; // nothing of this job's is in it
  // Another program that appends without a lock may still write between
  // this look and the cut: the best that can be done without its lock.
  if (othersWrote_ || now.st_size != lastWriteEnd_)
    return othersWroteText;
  const auto length = static_cast<off_t>(appendStart_);
  while ((fd_ >= 0 ? ::ftruncate(fd_, length) : ::truncate(target.c_str(), length)) != 0)
    if (errno != EINTR)
      return systemErrorText(errno);
  lastWriteEnd_ = appendStart_;
  written_ = 0;
  return {};
}

void TFileOutput::discardFile() {
  bool removeCreated = false;
  // A target another program put in the file's place is that program's.
  if (append_ && !appendTargetReplaced()) {
    const bool grown = written_ > 0;
    if (const std::string failure = cutBackAppend(); !failure.empty())
      logError(Format("Couldn't cut file [%s] back to its former %d bytes:%s%s",
                      {loggedName(targetName_), appendStart_, failure, holdsPartialText()}));
    else if (appendCreated_)
      removeCreated = holdsWhatItHeld();
    else if (grown)
      logInfo(Format("File [%s] was cut back to the %d bytes it held before",
                     {loggedName(targetName_), appendStart_}));
  }
  closeStream();
  if (!append_ || removeCreated)
    removeWrittenFile();
  writtenFileName_.clear();
  temporary_ = TemporaryEntry();
}

std::string TFileOutput::holdsPartialText() const {
  struct stat now {};
  if (::stat(ReachableName(targetName_).c_str(), &now) != 0)
    return {};
  return Format("; it now holds %d bytes, part of this job's text among them",
                {static_cast<std::int64_t>(now.st_size)});
}

bool TFileOutput::appendTargetReplaced() const {
  struct stat open {
  }, named{};
  return fd_ >= 0 && ::fstat(fd_, &open) == 0 &&
         (::stat(ReachableName(targetName_).c_str(), &named) != 0 || named.st_dev != open.st_dev ||
          named.st_ino != open.st_ino);
}

bool TFileOutput::holdsWhatItHeld() const {
  struct stat now {};
  return (fd_ >= 0 ? ::fstat(fd_, &now) : ::stat(ReachableName(targetName_).c_str(), &now)) == 0 &&
         now.st_size == appendStart_;
}

// Says what the target of a failed or stopped append holds, as its length
// now shows, never what was only attempted. A file that only this append
// made goes with it, as it was not there.

void TFileOutput::settleFailedAppend(const std::string &cutFailure) {
  struct stat now {};
  const bool known = ::stat(ReachableName(targetName_).c_str(), &now) == 0;
  const int unknownBecause = known ? 0 : errno;
  const bool cutBack = cutFailure.empty();
  if (cutBack && appendCreated_ && holdsWhatItHeld() && removeFile(targetName_)) {
    if (!writeError_.empty())
      logError(Format("Couldn't write file [%s]:%s", {loggedName(targetName_), writeError_}));
    return;
  }
  if (cutBack && writeError_.empty())
    return;                  // a stop, taken back whole
  if (writeError_.empty()) { // a stop whose text could not be taken back
    logError(Format("Couldn't cut file [%s] back to its former %d bytes:%s%s",
                    {loggedName(targetName_), appendStart_, cutFailure, holdsPartialText()}));
    return;
  }
  std::string holds;
  if (cutBack)
    holds = Format("it was cut back to the %d bytes it held before", {appendStart_});
  else if (known)
    holds = Format("it could not be cut back to the %d bytes it held before (%s) and now holds "
                   "%d bytes, part of this job's text among them",
                   {appendStart_, cutFailure, static_cast<std::int64_t>(now.st_size)});
  else
    holds = Format("what it now holds is not known (%s)", {systemErrorText(unknownBecause)});
  logError(
      Format("Couldn't write file [%s]:%s; %s", {loggedName(targetName_), writeError_, holds}));
}

void TFileOutput::removeWrittenFile() {
  if (!writtenFileName_.empty())
    removeFile(writtenFileName_);
}

OutputTarget TFileOutput::outputTarget(const std::string &inputName) {
  return {outputName(inputName), false, testMode_, append_};
}

FileResult TFileOutput::closeFile() {
  if (fd_ < 0) {
    // Nothing was opened for this input, so nothing holds its text.
    FileResult result = TFilter::closeFile();
    result.failed = true;
    return result;
  }
  // A stopped input's text is not kept: what it holds back (for an append,
  // a line cut short) goes no further.
  if (isAborted())
    writeBuffer_.clear();
  else
    writeBuffer();
  const bool complete = writeError_.empty() && !isAborted();
  const bool replaced = append_ && appendTargetReplaced();
  const std::string cutFailure = append_ && !complete ? cutBackAppend() : std::string();
  std::int64_t size = 0;
  struct stat info {};
  if (::fstat(fd_, &info) == 0)
    size = info.st_size;
  if (retainDate_ && inputInfo_ && complete) {
    timespec times[2] = {inputInfo_->st_mtim, inputInfo_->st_mtim};
    ::futimens(fd_, times);
  }
  struct stat target {};
  bool targetExists = !append_ && ::stat(ReachableName(writeTarget_).c_str(), &target) == 0;
  // Only a file lends its mode; a folder in the target's place does not.
  if (!append_)
    ::fchmod(fd_,
             targetExists && S_ISREG(target.st_mode) ? (target.st_mode & 07777) : newFileMode());
  const bool readOnlyTarget = targetExists && !(target.st_mode & S_IWUSR);
  // A whole part waits for its input's end without a name where it can, so
  // that a program killed meanwhile leaves nothing behind.
  const bool holdUnnamed =
      isPart_ && unnamed_ && complete && !readOnlyTarget && heldParts_.size() < maxUnnamedParts;
  if (unnamed_ && complete && !holdUnnamed)
    if (int error = nameBeside(fd_, writeTarget_, writtenFileName_, temporary_))
      writeError_ = systemErrorText(error);
  int heldFd = -1;
  if (holdUnnamed)
    heldFd = std::exchange(fd_, -1);
  else
    closeStream();

  bool written = false;
  if (replaced) {
    // The job's text went with the file taken away; the one there now is
    // left to the program that put it there.
    if (!isAborted())
      logError(Format("Couldn't append to file [%s]: another program replaced or removed it while "
                      "this job appended, and what this job appended went with the file it took "
                      "away",
                      {loggedName(targetName_)}));
  } else if (append_) {
    written = complete && writeError_.empty();
    if (written && isPart_) {
      HeldPart part{-1, {}, {}, targetName_, targetName_, size};
      part.appended = true;
      part.created = appendCreated_;
      part.appendStart = appendStart_;
      part.appendEnd = othersWrote_ ? -1 : lastWriteEnd_;
      part.device = info.st_dev;
      part.inode = info.st_ino;
      heldParts_.push_back(std::move(part));
    }
    // A close that failed after every byte went out (a network disk whose
    // write-back failed) leaves the text's fate open: it is taken back by
    // name now that the descriptor is gone.
    if (complete && !written)
      settleFailedAppend(cutBackAppend());
    else if (!complete)
      settleFailedAppend(cutFailure);
  } else if (isAborted()) {
    removeWrittenFile();
  } else if (!writeError_.empty()) {
    // A short write never reaches the target: what was there stays.
    logError(Format("Couldn't write file [%s]:%s", {loggedName(targetName_), writeError_}));
    removeWrittenFile();
  } else if (replacesInput_ && (!targetExists || changedSince(target, *inputInfo_))) {
    // Another program wrote to the input while the job read it: the new
    // text lacks what it wrote.
    logError(Format("File [%s] was changed during the job: it was left as it is and its new "
                    "text discarded",
                    {loggedName(targetName_)}));
    removeWrittenFile();
  } else if (targetExists && heldForWriting(writeTarget_)) {
    // Renamed over, the file would take another job's append away with it.
    logError(Format("Couldn't replace file [%s]: another program is writing it",
                    {loggedName(targetName_)}));
    removeWrittenFile();
  } else if (readOnlyTarget) {
    // A read-only target is kept; the new text stays in the
    // temporary file for the user.
    std::string reason = systemErrorText(EACCES);
    logError(
        translateFormat(5110, "Couldn't delete file [%s]:%s", {loggedName(targetName_), reason}));
    logError(translateFormat(3900, "Couldn't move file [%s] to [%s]:%s",
                             {loggedName(writtenFileName_), loggedName(targetName_), reason}));
  } else if (isPart_) {
    heldParts_.push_back(
        {heldFd, writtenFileName_, std::move(temporary_), targetName_, writeTarget_, size});
    written = true;
    writtenFileName_.clear(); // held, not the file's own to remove
  } else if (::rename(ReachableName(writtenFileName_).c_str(),
                      ReachableName(writeTarget_).c_str()) != 0) {
    // Nobody would look for the text under a random name: it goes, and
    // the file counts as failed.
    logError(translateFormat(
        3900, "Couldn't move file [%s] to [%s]:%s",
        {loggedName(writtenFileName_), loggedName(targetName_), systemErrorText(errno)}));
    removeWrittenFile();
  } else {
    written = true;
    noteWritten(writeTarget_, inputFileName_);
  }
  writtenFileName_.clear();
  temporary_ = TemporaryEntry();
  // Only a target that now holds the text is reported as written; a part
  // once it is in place.
  if (written && !isPart_ && job())
    job()->logOutputFile(targetName_, size);
  FileResult result = TFilter::closeFile();
  result.target = {targetName_, false, testMode_, append_};
  result.failed = result.failed || !written;
  return result;
}

bool TFileOutput::settleParts(bool keep) {
  if (!keep || isAborted()) {
    dropHeldParts();
    return false;
  }
  bool allInPlace = true;
  for (HeldPart &part : heldParts_) {
    if (part.appended) {
      if (job())
        job()->logOutputFile(part.target, part.size);
      continue;
    }
    int error = 0;
    if (part.fd >= 0) {
      error = nameBeside(part.fd, part.writeTarget, part.writtenName, part.temporary);
      if (::close(std::exchange(part.fd, -1)) != 0 && error == 0)
        error = errno;
    }
    if (error != 0) {
      logError(
          Format("Couldn't write file [%s]:%s", {loggedName(part.target), systemErrorText(error)}));
      if (!part.writtenName.empty())
        removeFile(part.writtenName);
      allInPlace = false;
    } else if (heldForWriting(part.writeTarget)) {
      logError(Format("Couldn't replace file [%s]: another program is writing it",
                      {loggedName(part.target)}));
      removeFile(part.writtenName);
      allInPlace = false;
    } else if (::rename(ReachableName(part.writtenName).c_str(),
                        ReachableName(part.writeTarget).c_str()) != 0) {
      logError(translateFormat(
          3900, "Couldn't move file [%s] to [%s]:%s",
          {loggedName(part.writtenName), loggedName(part.target), systemErrorText(errno)}));
      removeFile(part.writtenName);
      allInPlace = false;
    } else {
      noteWritten(part.writeTarget, inputOfParts_);
      if (job())
        job()->logOutputFile(part.target, part.size);
    }
  }
  heldParts_.clear();
  return allInPlace && TFilter::settleParts(keep);
}

void TFileOutput::dropHeldParts() {
  for (const HeldPart &part : heldParts_) {
    if (part.appended)
      takeBackAppendedPart(part);
    if (part.fd >= 0)
      ::close(part.fd);
    if (!part.writtenName.empty())
      removeFile(part.writtenName);
  }
  heldParts_.clear();
}

// As `cutBackAppend` does, by name now that the part is closed: only while
// the name still leads to the file appended to and it ends where the part's
// last write ended, so that nothing another program wrote is cut away.
void TFileOutput::takeBackAppendedPart(const HeldPart &part) {
  const ReachableName target(part.target);
  struct stat now {};
  const bool same =
      ::stat(target.c_str(), &now) == 0 && now.st_dev == part.device && now.st_ino == part.inode;
  if (!same)
    return; // another program's file now: left to it
  std::string failure;
  if (part.appendEnd < 0 || now.st_size != part.appendEnd)
    failure = othersWroteText;
  else if (part.created && part.appendStart == 0)
    failure = ::unlink(target.c_str()) == 0 ? std::string() : systemErrorText(errno);
  else
    failure = ::truncate(target.c_str(), static_cast<off_t>(part.appendStart)) == 0
                  ? std::string()
                  : systemErrorText(errno);
  if (!failure.empty()) {
    ::stat(target.c_str(), &now);
    logError(Format("Couldn't cut file [%s] back to its former %d bytes:%s; it now holds %d "
                    "bytes, part of this job's text among them",
                    {loggedName(part.target), part.appendStart, failure,
                     static_cast<std::int64_t>(now.st_size)}));
  } else if (!part.created) {
    logInfo(Format("File [%s] was cut back to the %d bytes it held before",
                   {loggedName(part.target), part.appendStart}));
  }
}

void TFileOutput::abandonFile() {
  if (fd_ >= 0)
    discardFile();
  dropHeldParts();
  TFilter::abandonFile();
}

// Also the merged file, which stays open from input to input.
void TFileOutput::abandonJob() {
  if (fd_ >= 0)
    discardFile();
  dropHeldParts();
  TFilter::abandonJob();
}

// --- TAccumulateOutput and descendants ---

void TAccumulateOutput::startJob() {
  text_.clear();
  TFilter::startJob();
}

void TAccumulateOutput::openFile(const std::string &name) {
  inputStart_ = text_.size();
  TFilter::openFile(name);
}

FileResult TAccumulateOutput::closeFile() {
  inputStart_ = text_.size();
  return TFilter::closeFile();
}

void TAccumulateOutput::abandonFile() {
  text_.resize(std::min(inputStart_, text_.size()));
  TFilter::abandonFile();
}

bool TAccumulateOutput::processChunk(std::string &chunk) {
  text_.append(chunk);
  sendToNext(chunk);
  return true;
}

void TClipboardOutput::startJob() {
  // Refused before any input is read, so that nothing is done (an input
  // deleted after processing) for an output that nobody could take.
  if (!hasSharedClipboard())
    throw EStreamError("There is no clipboard to put the output on: the program runs without a "
                       "display, and no other program could read it. Nothing was run");
  TAccumulateOutput::startJob();
}

void TClipboardOutput::openFile(const std::string &) { TAccumulateOutput::openFile("Clipboard"); }

void TClipboardOutput::endJob() {
  std::string text = text_.substr(0, text_.find('\0'));
  runOnUserInterface([&] { setClipboardText(text); });
  if (job())
    job()->logOutputFile("Clipboard", static_cast<std::int64_t>(text.size()));
  TFilter::endJob();
}

void TStringOutput::openFile(const std::string &) {
  target_->clear();
  TAccumulateOutput::openFile("String");
}

void TStringOutput::endJob() {
  *target_ = std::move(text_);
  text_.clear();
  TFilter::endJob();
}

TAdhocOutput::TAdhocOutput(std::function<void(const std::string &)> showTrialOutput)
    : showTrialOutput_(std::move(showTrialOutput)) {
  setTarget(result_);
}

void TAdhocOutput::endJob() {
  if (job()) {
    job()->logOutputFile("Trial Run", static_cast<std::int64_t>(text_.size()));
    if (showTrialOutput_)
      job()->runSynchronized([this] { showTrialOutput_(text_); });
  }
  TStringOutput::endJob();
}

} // namespace marrowen
