#pragma once

#include <string>
#include <string_view>

namespace marrowen::testing {

// A fresh folder under the system's temporary folder, removed with
// everything in it when the object goes.
class TempFolder {
public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder &) = delete;
  TempFolder &operator=(const TempFolder &) = delete;

  const std::string &path() const { return path_; }
  // path() + "/" + name
  std::string file(std::string_view name) const;
  // The names in the folder (not below it), sorted.
  std::string listing() const;

private:
  std::string path_;
};

void writeFile(const std::string &name, std::string_view bytes);
std::string readFile(const std::string &name);
bool fileExists(const std::string &name);

} // namespace marrowen::testing
