#include "input/FolderScan.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>
#include <utility>

#include "lang/WindowTexts.h"
#include "platform/AsciiCase.h"

namespace pixolan::input {

namespace fs = std::filesystem;

namespace {

struct TFolderEntry {
  std::string Name;
  bool IsFolder = false;  // a folder or a link to one: never listed as a file
  bool Descend = false;   // a folder itself, searched when recursive
};

// The entries of a folder in name order; none when it cannot be read.
std::vector<TFolderEntry> ReadFolder(const std::string& folder) {
  std::vector<TFolderEntry> entries;
  std::error_code error;
  fs::directory_iterator it(folder, error);
  for (; !error && it != fs::directory_iterator(); it.increment(error)) {
    TFolderEntry entry;
    entry.Name = it->path().filename().string();
    std::error_code typeError;
    const fs::file_status own = it->symlink_status(typeError);
    if (fs::is_directory(own)) {
      entry.IsFolder = entry.Descend = true;
    } else if (fs::is_symlink(own)) {
      entry.IsFolder = fs::is_directory(it->status(typeError));
    }
    entries.push_back(std::move(entry));
  }
  std::sort(entries.begin(), entries.end(),
            [](const TFolderEntry& a, const TFolderEntry& b) { return a.Name < b.Name; });
  return entries;
}

using TFolderId = std::pair<dev_t, ino_t>;

void FindFilesIn(std::vector<std::string>& list, const std::string& folder,
                 std::span<const std::string> extensions, bool recursive,
                 std::set<TFolderId>& searched) {
  const std::vector<TFolderEntry> entries = ReadFolder(folder);
  if (recursive) {
    for (const TFolderEntry& entry : entries) {
      if (!entry.Descend) continue;
      const std::string subfolder = folder + entry.Name + "/";
      // A folder mounted inside itself would otherwise be searched without end.
      struct stat st {};
      if (::stat(subfolder.c_str(), &st) != 0 || !searched.insert({st.st_dev, st.st_ino}).second)
        continue;
      FindFilesIn(list, subfolder, extensions, recursive, searched);
    }
  }
  for (const std::string& ext : extensions) {
    for (const TFolderEntry& entry : entries)
      if (!entry.IsFolder && platform::EndsWithIgnoreAsciiCase(entry.Name, ext))
        list.push_back(folder + entry.Name);
  }
}

// OkForAll is set for the scan and cleared when it ends, however it ends.
class TSilentScan {
 public:
  explicit TSilentScan(TListMessages& messages) : messages_(messages) {
    messages_.SetOkForAll(true);
  }
  ~TSilentScan() { messages_.SetOkForAll(false); }
  TSilentScan(const TSilentScan&) = delete;
  TSilentScan& operator=(const TSilentScan&) = delete;

 private:
  TListMessages& messages_;
};

}  // namespace

void FindFiles(std::vector<std::string>& list, const std::string& folder,
               std::span<const std::string> extensions, bool recursive) {
  if (folder.empty()) return;
  const std::string withSeparator = folder.ends_with('/') ? folder : folder + "/";
  std::set<TFolderId> searched;
  struct stat st {};
  if (::stat(withSeparator.c_str(), &st) == 0) searched.insert({st.st_dev, st.st_ino});
  FindFilesIn(list, withSeparator, extensions, recursive, searched);
}

TScanProgressTexts ScanProgressTexts(TScanPhase phase, size_t found, size_t analyzed,
                                     lang::TLanguage language) {
  return {
      std::string(lang::LanguageText(
          phase == TScanPhase::Searching ? "TextSearchingImages" : "TextAnalyzingImages",
          language)),
      std::to_string(found) +
          std::string(lang::LanguageText(
              phase == TScanPhase::Adding ? "TextImagesAdded" : "TextImagesFound", language)),
      std::to_string(analyzed) + std::string(lang::LanguageText("TextImagesAnalyzed", language))};
}

TScanResult AddOrdner(TInputList& list, const std::string& folder, const TScanSettings& settings,
                      TScanFrontEnd& frontEnd) {
  TScanResult result;
  std::error_code error;
  if (folder.empty() || !fs::is_directory(folder, error)) return result;
  const TSilentScan silent(list.Messages());
  frontEnd.Searching();
  std::vector<std::string> found;
  FindFiles(found, folder, settings.Extensions, settings.Recursive);
  result.Found = found.size();
  frontEnd.Analyzing(found.size());
  for (const std::string& path : found) {
    // Files that vanished since the search are skipped.
    if (fs::exists(path, error) && list.add2list(path) == TAddResult::Added) ++result.Added;
    frontEnd.Analyzed(++result.Analyzed, found.size());
    if (frontEnd.CancelRequested()) {
      frontEnd.ClearCancelRequest();
      result.Cancelled = true;
      break;
    }
  }
  frontEnd.Finished();
  return result;
}

}  // namespace pixolan::input
