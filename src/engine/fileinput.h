#pragma once

#include "engine/answers.h"
#include "engine/inputs.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unordered_map>
#include <utility>
#include <vector>

namespace marrowen {

class TSequentiallyScannedStream;

// One row of the filter list's files grid, as plain data: a path and
// file mask (a folder and a mask, "\" or "/" between the parts, or a
// row beginning with ":" that closes a group), the subfolder depth ("None",
// "1 level" ... "9 levels", "All") and the action ("Add", "Subtract",
// "Ignore").
struct FileGridRow {
  std::string pathMask;
  std::string subfolders;
  std::string action;
};

// Whether `name` matches the file-name mask the way the file lists were
// written for: "*.*" matches every name (with or without a point), "*" any
// run of characters, "?" one character (a valid UTF-8 sequence or a byte),
// letters compared without regard to case, a UTF-8 letter by Unicode.
bool matchesFileMask(std::string_view mask, std::string_view name);

// A stored path and mask with "\" turned into "/" where it parts folders
// (slashesForBackslashes), made absolute against the current folder.
std::string expandPathMask(std::string_view pathMask);

// The input of every job that runs over files. At the start of the job it
// turns its copy of the files grid into one list of files; for each file it
// decides whether to process it (asking when the job lets it, skipping binary
// or read-only files as set), reads it and at its end logs the chain's
// statistics and may delete it.
//
// The list is built group by group: a "Subtract" row only removes names found
// since the last ":" row, never those of groups already closed. A name may
// appear twice (a merged output may rely on it), except that a file already
// rewritten in place by this job is not rewritten again.
//
// A name without wildcards names the file spelt so; only where none is does
// it take the names that differ from it in letter case alone. An input that
// changed while it was read (cut, rewritten, still being written) is an
// error for that input, and its output is not kept.
//
// An input whose output would go into another input of the job (a changed
// extension naming a file that is listed too) is refused: that input would be
// read changed, or its result replaced. So is an input appended to itself,
// which would read its own output for ever. A merged file may be an input,
// except when it is appended to.
//
// Filters that write files of their own ask the job (`isInputFile`) to keep
// off the inputs in the same way.
class TFileInput : public TGenericInput {
public:
  // Binary modes: 0 process every file, 1 skip binary files, 2 ask about
  // them; any other value skips every file as binary.
  TFileInput(std::vector<FileGridRow> grid, bool promptEachFile, bool promptReadOnly,
             int binaryMode, int sampleSize, bool deleteInputFiles);
  ~TFileInput() override;

  void startJob() override;
  bool nextInput() override;
  void openFile(const std::string &name) override;
  std::int64_t readChunk(std::string &chunk) override;
  // Decides "delete input files" and "already processed" from the result
  // the chain reports.
  FileResult closeFile() override;
  void abandonFile() override;
  void endJob() override;
  void abandonJob() override;
  bool isInputFile(const std::string &fileName) override;

  // Whether the first `sampleSize` bytes of the file look binary. A file
  // that cannot be read is logged (message 3990) and counts as text.
  bool isBinaryFile(const std::string &name);
  // The list of files of the job, valid from `startJob` to `endJob`.
  const std::vector<std::string> &fileList() const { return fileList_; }
  // How many times a folder was read while the list was built (tests and
  // benchmarks: each folder once, however many rows name files in it).
  int foldersRead() const { return foldersRead_; }

private:
  using FileId = std::pair<std::uint64_t, std::uint64_t>; // device, inode
  struct FolderListing;

  void buildFileList();
  void closeGroup();
  void subtractFromGroup();
  void scanFolder(const std::string &folder, const std::string &mask, bool listFiles = true);
  std::shared_ptr<FolderListing> listingOf(const std::string &folder);
  void reportUnreadable(const FolderListing &listing, int id, const std::string &name);
  bool confirmFile();
  bool checkBinary();
  bool checkReadOnly();
  // Whether the chain's output replaces the input `name` with its result.
  bool rewritesInPlace(const std::string &name);
  // Raises a stream error when the output for `name` would go into an input.
  void refuseInputAsTarget(const std::string &name);
  // Whether the file `id` is one the job reads: a listed name still leads to
  // it, or the job rewrote it.
  bool isJobFile(const FileId &id);
  void closeStream();
  // Raises a stream error when the input changed while it was read.
  void refuseChangedInput();
  void keepInput(const std::string &name);
  // The inputs of a merged file go once it is written, and stay otherwise.
  void settlePendingDeletes(bool mergedFileWritten);
  void deleteInput(const std::string &name);

  std::vector<std::string> fileList_;
  std::vector<FileGridRow> grid_;
  bool promptEachFile_;
  bool promptReadOnly_;
  int depthLimit_ = 0;
  int binaryMode_;
  int sampleSize_;
  bool deleteInputFiles_;
  bool addMode_ = true;
  std::vector<std::string> currentGroup_;
  std::unordered_map<std::string, int> toSubtract_; // found by the current Subtract row
  int currentDepth_ = 0;
  int listErrors_ = 0; // missing folders and refused files reported while the list is built
  int foundInRow_ = 0; // files the current grid row's scan found
  // The folders the current row's scan entered, by device and inode, and
  // the least depth each was met at: a folder reached by several links (or
  // by a link back to an ancestor) is entered once, and again only for the
  // subfolders a shallower way round still lets in.
  std::map<FileId, int> entered_;
  // Folders read while the list is built: rows that name files one by one
  // read their folder once, not once a row.
  std::unordered_map<std::string, std::shared_ptr<FolderListing>> listings_;
  std::size_t listedNames_ = 0;
  int foldersRead_ = 0;

  std::unique_ptr<TSequentiallyScannedStream> stream_;
  std::string currentFileName_;
  std::string readBuffer_;
  std::size_t readOffset_ = 0;
  bool endOfFile_ = false;
  FileId currentId_{};
  // The input as it was opened, and as it was once the end was read.
  std::optional<struct stat> openedAs_;
  std::optional<struct stat> readAs_;
  std::uint64_t bytesGot_ = 0; // bytes the file gave

  // Files this job has already rewritten in place, as they are after the
  // rewrite.
  std::set<FileId> rewritten_;
  // The files of the list as they were when first needed, each with its
  // index in the list.
  std::optional<std::multimap<FileId, std::size_t>> listedIds_;
  // Inputs of a merged file, deleted once it has been written.
  std::vector<std::string> pendingDeletes_;

  Answer binaryAnswer_ = Answer::None;
  Answer confirmAnswer_ = Answer::None;
  Answer readOnlyAnswer_ = Answer::None;
};

} // namespace marrowen
