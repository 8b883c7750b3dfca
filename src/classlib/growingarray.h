#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

namespace marrowen {

// Plain values in one block that grows by realloc, which moves a large
// block by mapping its pages anew rather than copying them: a file's worth
// of lines is read in without being copied again at every doubling, and a
// block of a gigabyte never stands beside a copy of itself.
template <class T> class GrowingArray {
  static_assert(std::is_trivially_copyable_v<T>);

public:
  GrowingArray() = default;
  GrowingArray(const GrowingArray &) = delete;
  GrowingArray &operator=(const GrowingArray &) = delete;
  GrowingArray(GrowingArray &&other) noexcept { swap(other); }
  GrowingArray &operator=(GrowingArray &&other) noexcept {
    swap(other);
    return *this;
  }
  ~GrowingArray() { std::free(data_); }

  void append(const T *items, std::size_t count) {
    if (count == 0)
      return;
    if (count > capacity_ - size_)
      grow(count);
    std::memcpy(data_ + size_, items, count * sizeof(T));
    size_ += count;
  }
  void push_back(T item) { append(&item, 1); }
  // Drops the first `count` values.
  void eraseFront(std::size_t count) {
    count = std::min(count, size_);
    if (count < size_)
      std::memmove(data_, data_ + count, (size_ - count) * sizeof(T));
    size_ -= count;
  }
  // Empties the block; `release` gives its memory back too.
  void clear(bool release) {
    size_ = 0;
    if (release) {
      std::free(data_);
      data_ = nullptr;
      capacity_ = 0;
    }
  }
  void swap(GrowingArray &other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    std::swap(capacity_, other.capacity_);
  }
  std::size_t size() const { return size_; }
  std::size_t capacity() const { return capacity_; }
  T *data() { return data_; }
  const T *data() const { return data_; }
  T &operator[](std::size_t index) { return data_[index]; }
  const T &operator[](std::size_t index) const { return data_[index]; }

protected:
  // Room for `count` more values; what lies past the size is undefined.
  void reserveMore(std::size_t count) {
    if (count > capacity_ - size_)
      grow(count);
  }
  // Room for `count` values in all, no more when the block must grow.
  void reserveExactly(std::size_t count) {
    if (count <= capacity_)
      return;
    void *grown = std::realloc(data_, count * sizeof(T));
    if (!grown)
      throw std::bad_alloc();
    data_ = static_cast<T *>(grown);
    capacity_ = count;
  }
  void setSize(std::size_t size) { size_ = size; }

private:
  void grow(std::size_t count) {
    const std::size_t most = std::numeric_limits<std::size_t>::max() / sizeof(T) / 2;
    if (count > most - size_)
      throw std::bad_alloc();
    const std::size_t capacity = std::max({size_ + count, capacity_ * 2, 64 / sizeof(T) + 1});
    void *grown = std::realloc(data_, capacity * sizeof(T));
    if (!grown)
      throw std::bad_alloc();
    data_ = static_cast<T *>(grown);
    capacity_ = capacity;
  }

  T *data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

// Bytes that grow as a GrowingArray does, with the few string operations a
// line filter changes its line with. A line of any length is held once: it
// grows, and takes text in or out anywhere, within its own block.
class GrowingText : public GrowingArray<char> {
public:
  // Blocks above this size are given back when the text is emptied, so one
  // long line does not keep its memory for every short one after it.
  static constexpr std::size_t keptCapacity = 1 << 20;

  // Never null, as a string's, even before the first byte.
  char *data() {
    char *bytes = GrowingArray::data();
    return bytes ? bytes : &noBytes_;
  }
  const char *data() const {
    const char *bytes = GrowingArray::data();
    return bytes ? bytes : &noBytes_;
  }
  bool empty() const { return size() == 0; }
  char *begin() { return data(); }
  char *end() { return data() + size(); }
  operator std::string_view() const { return std::string_view(data(), size()); }
  std::string_view substr(std::size_t from, std::size_t count = std::string_view::npos) const {
    return std::string_view(*this).substr(from, count);
  }
  std::string str() const { return std::string(std::string_view(*this)); }
  friend bool operator==(const GrowingText &text, std::string_view other) {
    return std::string_view(text) == other;
  }

  using GrowingArray::append;
  void append(std::string_view text) { GrowingArray::append(text.data(), text.size()); }
  void append(std::size_t count, char c) { insert(size(), count, c); }
  // The text becomes `text`, which may lie within this block; the block
  // grows as for an append.
  void assign(std::string_view text) {
    if (text.size() > capacity()) {
      setSize(0);
      reserveMore(text.size());
    }
    if (!text.empty())
      std::memmove(data(), text.data(), text.size());
    setSize(text.size());
  }
  // The text becomes `first` and `second` one after the other, in a block
  // of just that size when it must grow. `first` may lie within this block
  // (a line cut to its end), `second` not.
  void assign(std::string_view first, std::string_view second) {
    const std::size_t size = first.size() + second.size();
    if (size > capacity()) {
      GrowingText fresh;
      fresh.reserveExactly(size);
      fresh.append(first);
      fresh.append(second);
      swap(fresh);
      return;
    }
    if (!first.empty())
      std::memmove(data(), first.data(), first.size());
    if (!second.empty())
      std::memcpy(data() + first.size(), second.data(), second.size());
    setSize(size);
  }
  void insert(std::size_t at, std::string_view text) {
    if (text.empty())
      return;
    if (text.data() >= data() && text.data() < data() + capacity()) {
      const std::string copy(text);
      insert(at, copy);
      return;
    }
    openGap(at, text.size());
    std::memcpy(data() + at, text.data(), text.size());
  }
  void insert(std::size_t at, std::size_t count, char c) {
    if (count == 0)
      return;
    openGap(at, count);
    std::memset(data() + at, c, count);
  }
  void erase(std::size_t at, std::size_t count) {
    count = std::min(count, size() - at);
    if (count == 0)
      return;
    std::memmove(data() + at, data() + at + count, size() - at - count);
    setSize(size() - count);
  }
  // Cuts the text to `count` bytes; never lengthens it.
  void truncate(std::size_t count) { setSize(std::min(count, size())); }
  // Empties the text, giving back a large block.
  void clear() { GrowingArray::clear(capacity() > keptCapacity); }

private:
  static inline char noBytes_ = 0;

  void openGap(std::size_t at, std::size_t count) {
    const std::size_t tail = size() - at;
    reserveMore(count);
    std::memmove(data() + at + count, data() + at, tail);
    setSize(size() + count);
  }
};

} // namespace marrowen
