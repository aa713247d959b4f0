#include "input/FileLists.h"

#include <sys/stat.h>

#include "input/TextFiles.h"

namespace pixolan::input {

TSaveFileListResult SaveFileList(const TInputList& list, const std::string& fileName) {
  if (list.Count() == 0) return TSaveFileListResult::NoFiles;
  std::string text;
  for (const InputListEntry& entry : list.Entries()) text.append(entry.Path).append("\r\n");
  return WriteTextFile(text, fileName, kEncodingUtf8) ? TSaveFileListResult::Written
                                                      : TSaveFileListResult::Refused;
}

std::string_view NoFilesToStoreText(lang::TLanguage language) {
  return lang::InLanguage(language, "Keine Dateien zum Speichern in der Dateiliste.",
                          "There are no files to store in your file list.");
}

std::vector<std::string> FileListPaths(std::string_view text) {
  std::vector<std::string> paths;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    if (end > start) paths.emplace_back(text.substr(start, end - start));
    start = end + 2;
  }
  return paths;
}

size_t OpenFileList(TInputList& list, const std::string& fileName) {
  size_t added = 0;
  for (const std::string& path : FileListPaths(ReadTextFile(fileName))) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) continue;
    if (list.add2list(path) == TAddResult::Added) ++added;
  }
  return added;
}

}  // namespace pixolan::input
