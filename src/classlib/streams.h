#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace marrowen {

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

// A sequence of bytes with a position, 64-bit throughout. Read and Write move
// as many bytes as they can and say how many; ReadBuffer and WriteBuffer
// insist on all of them.
class TStream {
public:
  virtual ~TStream() = default;

  // Reads up to `count` bytes; fewer only at the end of the data. An error of
  // the device raises EStreamError (a file stream: EFReadError, naming the
  // file and the reason).
  virtual std::size_t Read(void *buffer, std::size_t count) = 0;
  // Writes `count` bytes or raises EStreamError ("Stream write error").
  virtual std::size_t Write(const void *buffer, std::size_t count) = 0;
  // Returns the new position. A position before the start raises EStreamError.
  virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;

  virtual std::int64_t Size();
  virtual void SetSize(std::int64_t size) = 0;

  std::int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(std::int64_t position) { Seek(position, TSeekOrigin::soBeginning); }

  // Raise EStreamError ("Stream read error" / "Stream write error") unless
  // every byte was moved.
  void ReadBuffer(void *buffer, std::size_t count);
  void WriteBuffer(const void *buffer, std::size_t count);
  void WriteBuffer(const std::string &bytes) { WriteBuffer(bytes.data(), bytes.size()); }

  // Copies `count` bytes from `source` at its position; 0 copies the whole of
  // `source` from its start. Returns the number copied.
  std::int64_t CopyFrom(TStream &source, std::int64_t count);

  // The rest of the stream from its position.
  std::string ReadAll();
};

enum class TFileMode {
  fmOpenRead,      // an existing file, reading only
  fmOpenWrite,     // an existing file, writing only
  fmOpenReadWrite, // an existing file, both
  fmCreate,        // created or emptied, both
};

// A stream over one file descriptor, closed with the stream. Folders are not
// files: opening one for reading fails like a missing file.
class TFileStream : public TStream {
public:
  // Raises EFOpenError ("Cannot open file %s") or, for fmCreate,
  // EFCreateError ("Cannot create file %s").
  TFileStream(const std::string &fileName, TFileMode mode);
  ~TFileStream() override;
  TFileStream(const TFileStream &) = delete;
  TFileStream &operator=(const TFileStream &) = delete;

  std::size_t Read(void *buffer, std::size_t count) override;
  std::size_t Write(const void *buffer, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  std::int64_t Size() override;
  void SetSize(std::int64_t size) override;

  const std::string &FileName() const { return fileName_; }
  int Handle() const { return fd_; }

  // Forces the written bytes to the device; raises EStreamError on failure.
  void Flush();
  // Closes the file now; a failure (a network disk's write-back) raises
  // EFWriteError naming the file, where the destructor would say nothing.
  void Close();

protected:
  // Takes over `fd`, open on `fileName`.
  TFileStream(std::string fileName, int fd) : fileName_(std::move(fileName)), fd_(fd) {}

private:
  std::string fileName_;
  int fd_ = -1;
};

// A stream over bytes held in memory.
class TMemoryStream : public TStream {
public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::string bytes) : data_(std::move(bytes)) {}

  std::size_t Read(void *buffer, std::size_t count) override;
  std::size_t Write(const void *buffer, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  std::int64_t Size() override { return static_cast<std::int64_t>(data_.size()); }
  void SetSize(std::int64_t size) override;

  const std::string &Data() const { return data_; }
  char *Memory() { return data_.data(); }
  void Clear();
  void LoadFromStream(TStream &source);
  void LoadFromFile(const std::string &fileName);
  void SaveToStream(TStream &target);
  void SaveToFile(const std::string &fileName);

private:
  std::string data_;
  std::int64_t position_ = 0;
};

// The whole content of a file (EFOpenError when it cannot be opened).
std::string readFileBytes(const std::string &fileName);

// The whole content of a regular file of at most `limit` bytes, for files
// that are read whole before anything else happens (command files, file
// lists, reference lists). A pipe, a device or a folder is refused at once,
// without waiting for a writer or reading without end (EFOpenError with the
// reason); a longer file raises EStreamError naming the limit.
std::string readRegularFile(const std::string &fileName, std::size_t limit);
// The same checks without the reading.
void checkRegularFile(const std::string &fileName, std::size_t limit);
// A file the program reads as its own settings or commands (a command file,
// a list of files or of lines to find, a layout), read as readRegularFile
// reads it, without the UTF-8 byte-order mark many editors write at its
// start: unseen by the user, it must not become part of the first line. The
// files a job processes keep theirs.
std::string readSettingsFile(const std::string &fileName, std::size_t limit);
// What a list or a command file may hold.
inline constexpr std::size_t listFileLimit = 8 * 1024 * 1024;

} // namespace marrowen
