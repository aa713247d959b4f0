#include "input/FolderWatch.h"

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <vector>

namespace pixolan::input {
namespace {

namespace fs = std::filesystem;

// A watcher that fails to tell anything apart (a folder full of partial downloads) must
// not make the set grow without end.
constexpr size_t kMaxUnsettled = 4096;

std::string Normal(std::string_view path) {
  std::string normal = fs::path(path).lexically_normal().string();
  while (normal.size() > 1 && normal.ends_with('/')) normal.pop_back();
  return normal;
}

bool FolderExists(const std::string& folder) {
  std::error_code error;
  return !folder.empty() && fs::is_directory(folder, error);
}

bool Watched(const TWatchSettings& settings, std::string_view path) {
  return FolderExists(settings.Folder) && IsInsideFolder(settings.Folder, path);
}

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool Vanished(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR);
}

// add2list shows nothing while the watcher adds; whatever OkForAll was before comes back,
// so that an event arriving during a scan does not unmute the scan's messages.
class TQuietAdd {
 public:
  explicit TQuietAdd(TListMessages& messages) : messages_(messages), before_(messages.OkForAll()) {
    messages_.SetOkForAll(true);
  }
  ~TQuietAdd() { messages_.SetOkForAll(before_); }
  TQuietAdd(const TQuietAdd&) = delete;
  TQuietAdd& operator=(const TQuietAdd&) = delete;

 private:
  TListMessages& messages_;
  bool before_;
};

}  // namespace

bool IsInsideFolder(std::string_view folder, std::string_view path) {
  const std::string base = Normal(folder);
  const std::string normal = Normal(path);
  if (base.empty()) return false;
  if (base == "/") return normal.size() > 1 && normal.front() == '/';
  return normal.size() > base.size() && normal.starts_with(base) && normal[base.size()] == '/';
}

bool SamePath(std::string_view a, std::string_view b) {
  return Normal(a) == Normal(b);
}

TFolderWatch::TFolderWatch(TInputList& list) : list_(list) {}

size_t TFolderWatch::FindLast(const std::string& path) const {
  const std::string normal = Normal(path);
  for (size_t i = list_.Count(); i-- > 0;)
    if (Normal(list_.Entry(i).Path) == normal) return i;
  return list_.Count();
}

bool TFolderWatch::Add(const std::string& path) {
  TAddResult result;
  {
    TQuietAdd quiet(list_.Messages());
    result = list_.add2list(path);
  }
  if (result == TAddResult::Added) {
    unsettled_.erase(Normal(path));
    return true;
  }
  // Also when the file is gone already: a file written under a temporary name and renamed
  // into place is often renamed before its creation is handled, and the rename must then
  // add it under its final name.
  if (result == TAddResult::NotAnImage && unsettled_.size() < kMaxUnsettled)
    unsettled_.insert(Normal(path));
  return false;
}

bool TFolderWatch::swCreate(const TWatchSettings& settings, const std::string& path) {
  if (!Watched(settings, path)) return false;
  if (!settings.Subfolders &&
      Normal(fs::path(Normal(path)).parent_path().string()) != Normal(settings.Folder))
    return false;
  return Add(path);
}

bool TFolderWatch::swDelete(const TWatchSettings& settings, const std::string& path) {
  if (!Watched(settings, path)) return false;
  unsettled_.erase(Normal(path));
  const size_t index = FindLast(path);
  if (index == list_.Count()) return false;
  const size_t indexes[] = {index};
  list_.DeleteSelected(indexes);
  return true;
}

bool TFolderWatch::swRenameItem(const TWatchSettings& settings, const std::string& oldPath,
                                const std::string& newPath) {
  if (!Watched(settings, oldPath)) return false;
  const bool wasUnsettled = unsettled_.erase(Normal(oldPath)) > 0;
  const size_t index = FindLast(oldPath);
  if (index == list_.Count()) return wasUnsettled && swCreate(settings, newPath);
  if (FindLast(newPath) == list_.Count()) return list_.RenameListItem(index, newPath);
  // Renamed over a listed file: one entry for the one file that is left.
  const size_t indexes[] = {index};
  list_.DeleteSelected(indexes);
  list_.UpdateListItem(FindLast(newPath));
  return true;
}

bool TFolderWatch::swUpdateItem(const TWatchSettings& settings, const std::string& path) {
  if (!Watched(settings, path)) return false;
  const size_t index = FindLast(path);
  if (index < list_.Count()) return list_.UpdateListItem(index);
  return unsettled_.contains(Normal(path)) && swCreate(settings, path);
}

bool TFolderWatch::swDeleteFolder(const TWatchSettings& settings, const std::string& folder) {
  if (!FolderExists(settings.Folder) || !IsInsideFolder(settings.Folder, folder)) return false;
  std::erase_if(unsettled_, [&](const std::string& path) { return IsInsideFolder(folder, path); });
  std::vector<size_t> inside;
  for (size_t i = 0; i < list_.Count(); ++i)
    if (IsInsideFolder(folder, list_.Entry(i).Path)) inside.push_back(i);
  list_.DeleteSelected(inside);
  return !inside.empty();
}

bool TFolderWatch::Resynchronize(const TWatchSettings& settings) {
  if (!FolderExists(settings.Folder)) return false;
  std::vector<size_t> vanished;
  std::vector<std::string> present;
  for (size_t i = 0; i < list_.Count(); ++i) {
    const std::string& path = list_.Entry(i).Path;
    if (!IsInsideFolder(settings.Folder, path)) continue;
    if (Vanished(path))
      vanished.push_back(i);
    else
      present.push_back(path);
  }
  list_.DeleteSelected(vanished);
  bool changed = !vanished.empty();
  // Reading an entry again moves it in the sort order, so each is found by its path.
  for (const std::string& path : present) changed = list_.UpdateListItem(FindLast(path)) || changed;
  const std::vector<std::string> waiting(unsettled_.begin(), unsettled_.end());
  for (const std::string& path : waiting) {
    unsettled_.erase(path);
    if (IsInsideFolder(settings.Folder, path) && IsRegularFile(path))
      changed = swCreate(settings, path) || changed;
  }
  return changed;
}

bool TFolderWatch::Deliver(const TWatchSettings& settings, const TWatchEvent& event) {
  switch (event.Kind) {
    case TWatchEventKind::Created:
      return swCreate(settings, event.Path);
    case TWatchEventKind::Deleted:
      return swDelete(settings, event.Path);
    case TWatchEventKind::Renamed:
      return swRenameItem(settings, event.Path, event.NewPath);
    case TWatchEventKind::Changed:
      return swUpdateItem(settings, event.Path);
    case TWatchEventKind::FolderGone:
      return swDeleteFolder(settings, event.Path);
    case TWatchEventKind::Overflow:
      return Resynchronize(settings);
  }
  return false;
}

}  // namespace pixolan::input
