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

std::string readFile(const std::string &name);
void writeFile(const std::string &name, std::string_view content);
bool fileExists(const std::string &name);

} // namespace marrowen::testing
