// A fresh folder for a test's files.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace pixolan::test {

// Made with mkdtemp below the system's temporary folder, so parallel runs never share one;
// removed with everything in it when the object goes away.
class TTempFolder {
 public:
  TTempFolder();
  ~TTempFolder();
  TTempFolder(const TTempFolder&) = delete;
  TTempFolder& operator=(const TTempFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::filesystem::path operator/(std::string_view name) const { return path_ / name; }
  // The path of a file in the folder, as the string most engine calls take.
  std::string File(std::string_view name) const { return (path_ / name).string(); }
  // Names of the folder's entries, sorted.
  std::vector<std::string> Entries() const;

 private:
  std::filesystem::path path_;
};

}  // namespace pixolan::test
