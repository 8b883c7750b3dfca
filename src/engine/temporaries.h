#pragma once

#include <cstdint>
#include <string>

namespace marrowen {

// The temporary files and folders that running jobs hold, so that a program
// ended before its jobs could finish (a signal, the quit watchdog) still
// removes them. Safe from any thread.
//
// An entry registers one path for as long as it lives; it never removes the
// path itself: its holder removes it, or renames it over its target, and
// then lets the entry go.
class TemporaryEntry {
public:
  TemporaryEntry() = default;
  explicit TemporaryEntry(const std::string &path);
  TemporaryEntry(TemporaryEntry &&other) noexcept;
  TemporaryEntry &operator=(TemporaryEntry &&other) noexcept;
  TemporaryEntry(const TemporaryEntry &) = delete;
  TemporaryEntry &operator=(const TemporaryEntry &) = delete;
  ~TemporaryEntry();

private:
  std::uint64_t id_ = 0;
};

// A program that a job started in a process group of its own, registered
// for as long as it may run: a program that ends before its jobs could stop
// it ends the group too. Its holder ends and reaps the program itself.
class TemporaryProgram {
public:
  TemporaryProgram() = default;
  explicit TemporaryProgram(int processGroup);
  TemporaryProgram(TemporaryProgram &&other) noexcept;
  TemporaryProgram &operator=(TemporaryProgram &&other) noexcept;
  TemporaryProgram(const TemporaryProgram &) = delete;
  TemporaryProgram &operator=(const TemporaryProgram &) = delete;
  ~TemporaryProgram();

private:
  std::uint64_t id_ = 0;
};

// Kills every registered program group, then removes every registered path
// (a folder with all it holds); from then on each one as soon as it is
// registered: for a program about to end.
void removeAllTemporaries();

} // namespace marrowen
