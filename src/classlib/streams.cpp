#include "classlib/streams.h"

#include "classlib/exceptions.h"
#include "classlib/format.h"
#include "classlib/utf8.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace marrowen {

namespace {

const char *const readErrorText = "Stream read error";
const char *const writeErrorText = "Stream write error";

int whenceOf(TSeekOrigin origin) {
  switch (origin) {
  case TSeekOrigin::soBeginning:
    return SEEK_SET;
  case TSeekOrigin::soCurrent:
    return SEEK_CUR;
  case TSeekOrigin::soEnd:
    return SEEK_END;
  }
  return SEEK_SET;
}

} // namespace

std::int64_t TStream::Size() {
  std::int64_t here = Position();
  std::int64_t size = Seek(0, TSeekOrigin::soEnd);
  Seek(here, TSeekOrigin::soBeginning);
  return size;
}

void TStream::ReadBuffer(void *buffer, std::size_t count) {
  if (count != 0 && Read(buffer, count) != count)
    throw EStreamError(readErrorText);
}

void TStream::WriteBuffer(const void *buffer, std::size_t count) {
  if (count != 0 && Write(buffer, count) != count)
    throw EStreamError(writeErrorText);
}

std::int64_t TStream::CopyFrom(TStream &source, std::int64_t count) {
  if (count < 0)
    throw EStreamError(readErrorText);
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  std::vector<char> buffer(static_cast<std::size_t>(std::min<std::int64_t>(count, 1 << 16)));
  std::int64_t left = count;
  while (left > 0) {
    auto n = static_cast<std::size_t>(std::min<std::int64_t>(left, buffer.size()));
    source.ReadBuffer(buffer.data(), n);
    WriteBuffer(buffer.data(), n);
    left -= static_cast<std::int64_t>(n);
  }
  return count;
}

std::string TStream::ReadAll() {
  std::string out;
  try {
    std::int64_t left = Size() - Position();
    if (left > 0)
      out.reserve(static_cast<std::size_t>(left));
  } catch (const EStreamError &) {
    // Pipes have no size; read without reserving.
  }
  char buffer[1 << 16];
  for (;;) {
    std::size_t n = Read(buffer, sizeof buffer);
    if (n == 0)
      break;
    out.append(buffer, n);
  }
  return out;
}

TFileStream::TFileStream(const std::string &fileName, TFileMode mode) : fileName_(fileName) {
  int flags = O_CLOEXEC;
  switch (mode) {
  case TFileMode::fmOpenRead:
    flags |= O_RDONLY;
    break;
  case TFileMode::fmOpenWrite:
    flags |= O_WRONLY;
    break;
  case TFileMode::fmOpenReadWrite:
    flags |= O_RDWR;
    break;
  case TFileMode::fmCreate:
    flags |= O_RDWR | O_CREAT | O_TRUNC;
    break;
  }
  do
    fd_ = ::open(fileName.c_str(), flags, 0666);
  while (fd_ < 0 && errno == EINTR);
  int reason = fd_ < 0 ? errno : 0;
  struct stat st;
  if (fd_ >= 0 && (::fstat(fd_, &st) != 0 || S_ISDIR(st.st_mode))) {
    ::close(fd_);
    fd_ = -1;
    reason = EISDIR;
  }
  if (fd_ < 0) {
    if (mode == TFileMode::fmCreate)
      throw EFCreateError(fileName, std::error_code(reason, std::system_category()).message());
    throw EFOpenError(fileName);
  }
}

TFileStream::~TFileStream() {
  if (fd_ >= 0)
    ::close(fd_);
}

std::size_t TFileStream::Read(void *buffer, std::size_t count) {
  auto *p = static_cast<char *>(buffer);
  std::size_t done = 0;
  while (done < count) {
    ssize_t n = ::read(fd_, p + done, std::min<std::size_t>(count - done, 1u << 30));
    if (n < 0) {
      if (errno == EINTR)
        continue;
      // A failing disk must be told apart from a damaged file: the name
      // and the system's reason.
      throw EFReadError(fileName_, std::error_code(errno, std::system_category()).message());
    }
    if (n == 0)
      break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

std::size_t TFileStream::Write(const void *buffer, std::size_t count) {
  const auto *p = static_cast<const char *>(buffer);
  std::size_t done = 0;
  while (done < count) {
    ssize_t n = ::write(fd_, p + done, std::min<std::size_t>(count - done, 1u << 30));
    if (n < 0 && errno == EINTR)
      continue;
    // A full or failing disk is told by the name and the system's reason,
    // as a read's failure is.
    if (n <= 0)
      throw EFWriteError(fileName_,
                         std::error_code(n < 0 ? errno : ENOSPC, std::system_category()).message());
    done += static_cast<std::size_t>(n);
  }
  return done;
}

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  off_t r = ::lseek(fd_, static_cast<off_t>(offset), whenceOf(origin));
  if (r < 0)
    throw EStreamError("Stream seek error");
  return r;
}

std::int64_t TFileStream::Size() {
  struct stat st;
  if (::fstat(fd_, &st) != 0)
    throw EStreamError(readErrorText);
  return st.st_size;
}

void TFileStream::SetSize(std::int64_t size) {
  if (size < 0 || ::ftruncate(fd_, static_cast<off_t>(size)) != 0)
    throw EStreamError(writeErrorText);
  if (Position() > size)
    Seek(size, TSeekOrigin::soBeginning);
}

void TFileStream::Close() {
  if (fd_ < 0)
    return;
  // The descriptor is gone whatever close answers; retrying could close
  // another file's.
  if (::close(std::exchange(fd_, -1)) != 0 && errno != EINTR)
    throw EFWriteError(fileName_, std::error_code(errno, std::system_category()).message());
}

void TFileStream::Flush() {
  if (::fsync(fd_) != 0)
    throw EStreamError(writeErrorText);
}

std::size_t TMemoryStream::Read(void *buffer, std::size_t count) {
  auto size = static_cast<std::int64_t>(data_.size());
  if (position_ >= size || count == 0)
    return 0;
  std::size_t n = std::min<std::size_t>(count, static_cast<std::size_t>(size - position_));
  std::memcpy(buffer, data_.data() + position_, n);
  position_ += static_cast<std::int64_t>(n);
  return n;
}

std::size_t TMemoryStream::Write(const void *buffer, std::size_t count) {
  if (count == 0)
    return 0;
  auto end = checkedAdd<std::int64_t>(position_, checkedCast<std::int64_t>(count));
  if (end > static_cast<std::int64_t>(data_.size()))
    data_.resize(static_cast<std::size_t>(end));
  std::memcpy(data_.data() + position_, buffer, count);
  position_ = end;
  return count;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  std::int64_t base = origin == TSeekOrigin::soBeginning ? 0
                      : origin == TSeekOrigin::soCurrent ? position_
                                                         : static_cast<std::int64_t>(data_.size());
  std::int64_t target;
  if (__builtin_add_overflow(base, offset, &target) || target < 0)
    throw EStreamError("Stream seek error");
  position_ = target;
  return position_;
}

void TMemoryStream::SetSize(std::int64_t size) {
  if (size < 0)
    throw EStreamError(writeErrorText);
  data_.resize(checkedCast<std::size_t>(size));
  position_ = std::min(position_, size);
}

void TMemoryStream::Clear() {
  data_.clear();
  position_ = 0;
}

void TMemoryStream::LoadFromStream(TStream &source) {
  source.SetPosition(0);
  data_ = source.ReadAll();
  position_ = 0;
}

void TMemoryStream::LoadFromFile(const std::string &fileName) {
  TFileStream file(fileName, TFileMode::fmOpenRead);
  LoadFromStream(file);
}

void TMemoryStream::SaveToStream(TStream &target) { target.WriteBuffer(data_); }

void TMemoryStream::SaveToFile(const std::string &fileName) {
  TFileStream file(fileName, TFileMode::fmCreate);
  SaveToStream(file);
}

std::string readFileBytes(const std::string &fileName) {
  TFileStream file(fileName, TFileMode::fmOpenRead);
  return file.ReadAll();
}

namespace {

EStreamError tooLarge(const std::string &fileName, std::size_t limit) {
  return EStreamError(Format("Cannot read file %s: it is larger than %d bytes",
                             {fileName, static_cast<std::int64_t>(limit)}));
}

// Opens without blocking (a pipe with no writer would wait for ever) and
// checks that `fileName` is a regular file within `limit`. The caller closes
// the descriptor.
int openRegularFile(const std::string &fileName, std::size_t limit) {
  int fd;
  do
    fd = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  while (fd < 0 && errno == EINTR);
  if (fd < 0)
    throw EFOpenError(fileName, std::error_code(errno, std::system_category()).message());
  struct stat info {};
  const char *refusal = nullptr;
  if (::fstat(fd, &info) != 0)
    refusal = "Its kind cannot be told";
  else if (S_ISDIR(info.st_mode))
    refusal = "It is a folder";
  else if (!S_ISREG(info.st_mode))
    refusal = "It is not a regular file";
  if (refusal) {
    ::close(fd);
    throw EFOpenError(fileName, refusal);
  }
  if (static_cast<std::uint64_t>(info.st_size) > limit) {
    ::close(fd);
    throw tooLarge(fileName, limit);
  }
  return fd;
}

} // namespace

void checkRegularFile(const std::string &fileName, std::size_t limit) {
  ::close(openRegularFile(fileName, limit));
}

std::string readRegularFile(const std::string &fileName, std::size_t limit) {
  const int fd = openRegularFile(fileName, limit);
  std::string bytes;
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0) {
      ::close(fd);
      throw EStreamError(readErrorText);
    }
    if (n == 0)
      break;
    // A file that grows while it is read is held to the same limit.
    if (bytes.size() + static_cast<std::size_t>(n) > limit) {
      ::close(fd);
      throw tooLarge(fileName, limit);
    }
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return bytes;
}

std::string readSettingsFile(const std::string &fileName, std::size_t limit) {
  std::string bytes = readRegularFile(fileName, limit);
  bytes.erase(0, bytes.size() - utf8::withoutByteOrderMark(bytes).size());
  return bytes;
}

} // namespace marrowen
