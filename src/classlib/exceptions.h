#pragma once

#include <cstddef>
#include <exception>
#include <string>

namespace marrowen {

// The base of every failure the program reports: it carries the text shown to
// the user, already looked up and formatted.
class Exception : public std::exception {
public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const std::string &message() const noexcept { return message_; }
  void setMessage(std::string message) { message_ = std::move(message); }
  const char *what() const noexcept override { return message_.c_str(); }

private:
  std::string message_;
};

class EConvertError : public Exception {
public:
  using Exception::Exception;
};

class EStreamError : public Exception {
public:
  using Exception::Exception;
};

// "Cannot open file %s"
class EFOpenError : public EStreamError {
public:
  explicit EFOpenError(const std::string &fileName);
  // "Cannot open file %s. %s" with the reason.
  EFOpenError(const std::string &fileName, const std::string &reason);
};

// "Cannot create file %s", and the system's reason when one is given (with
// no name, "Cannot create file. %s").
class EFCreateError : public EStreamError {
public:
  explicit EFCreateError(const std::string &fileName);
  EFCreateError(const std::string &fileName, const std::string &reason);
};

// The quiet abort: ends a run without a message to the user.
class EAbort : public Exception {
public:
  EAbort() : Exception("Operation aborted") {}
  using Exception::Exception;
};

// A failure of guarded integer arithmetic. Raised deep in a computation, it
// learns on its way out where it arose, so that the user is told more than
// the bare text.
class EIntError : public Exception {
public:
  using Exception::Exception;
  // What raised it (a filter's node), set once by the first that knows;
  // empty until then.
  std::string origin;
};

class ERangeError : public EIntError {
public:
  ERangeError() : EIntError("Range check error") {}
  using EIntError::EIntError;
};

class EIntOverflow : public EIntError {
public:
  EIntOverflow() : EIntError("Arithmetic overflow") {}
  using EIntError::EIntError;
};

// A file that could not be read: "Cannot read file %s. %s", with the
// system's reason.
class EFReadError : public EStreamError {
public:
  EFReadError(const std::string &fileName, const std::string &reason);
};

class EFWriteError : public EStreamError {
public:
  EFWriteError(const std::string &fileName, const std::string &reason);
};

// Guarded arithmetic: integer results that would wrap raise instead.
template <class T> T checkedAdd(T a, T b) {
  T r;
  if (__builtin_add_overflow(a, b, &r))
    throw EIntOverflow();
  return r;
}

template <class T> T checkedSub(T a, T b) {
  T r;
  if (__builtin_sub_overflow(a, b, &r))
    throw EIntOverflow();
  return r;
}

template <class T> T checkedMul(T a, T b) {
  T r;
  if (__builtin_mul_overflow(a, b, &r))
    throw EIntOverflow();
  return r;
}

// Converts with a range check: a value the target type cannot hold raises.
template <class To, class From> To checkedCast(From v) {
  To r;
  if (__builtin_add_overflow(v, 0, &r))
    throw ERangeError();
  return r;
}

// An index into a container of `size` elements; out of range raises.
inline std::size_t checkedIndex(long long index, std::size_t size) {
  if (index < 0 || static_cast<unsigned long long>(index) >= size)
    throw ERangeError();
  return static_cast<std::size_t>(index);
}

} // namespace marrowen
