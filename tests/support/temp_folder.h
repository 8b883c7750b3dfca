#pragma once

#include <string>
#include <string_view>

namespace marrowen::testing {

// A fresh folder under the system's temporary folder, removed with all it
// holds when the object goes. path() ends in "/".
class TempFolder {
public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder &) = delete;
  TempFolder &operator=(const TempFolder &) = delete;

  const std::string &path() const { return path_; }
  std::string file(std::string_view name) const { return path_ + std::string(name); }
  // The names in the folder (not below it), sorted, separated by blanks.
  std::string listing() const;

private:
  std::string path_;
};

// Makes a folder the process's current folder for as long as it lives, as
// when the program is started there.
class WorkingFolder {
public:
  explicit WorkingFolder(const std::string &folder);
  ~WorkingFolder();
  WorkingFolder(const WorkingFolder &) = delete;
  WorkingFolder &operator=(const WorkingFolder &) = delete;

private:
  std::string previous_;
};

// Stands in for a full disk while it lives: a write that would make a file
// longer than `bytes` fails (the file-size signal is ignored meanwhile).
class FileSizeLimit {
public:
  explicit FileSizeLimit(unsigned long long bytes);
  ~FileSizeLimit();
  FileSizeLimit(const FileSizeLimit &) = delete;
  FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
  unsigned long long savedCurrent_ = 0;
  void (*savedHandler_)(int) = nullptr;
};

std::string readFile(const std::string &name);
void writeFile(const std::string &name, std::string_view content);
bool fileExists(const std::string &name);

// Another writer on a file: it holds the file open for appending, with the
// advisory write lock a writer takes, until it goes.
class HeldForWriting {
public:
  explicit HeldForWriting(const std::string &name);
  ~HeldForWriting();
  HeldForWriting(const HeldForWriting &) = delete;
  HeldForWriting &operator=(const HeldForWriting &) = delete;
  bool held() const { return held_; }

private:
  int fd_ = -1;
  bool held_ = false;
};

} // namespace marrowen::testing
