#include "input/InotifyWatcher.h"

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "platform/UniqueFd.h"

namespace pixolan::input {
namespace {

namespace fs = std::filesystem;

// IN_CLOSE_WRITE rather than IN_MODIFY: a file counts once its writer closed it, not at
// every block written. IN_EXCL_UNLINK keeps files deleted while open from reporting.
// Links to folders below the watched one are not followed, as a folder scan does not follow
// them; the watched folder itself may be given as a link.
constexpr uint32_t kFolderMask = IN_CREATE | IN_CLOSE_WRITE | IN_MOVED_FROM | IN_MOVED_TO |
                                 IN_DELETE | IN_ONLYDIR | IN_EXCL_UNLINK;

// Room for a few hundred events per read; the kernel never splits one event.
constexpr size_t kReadBuffer = 64 * 1024;

std::string WithoutTrailingSeparator(std::string folder) {
  while (folder.size() > 1 && folder.ends_with('/')) folder.pop_back();
  return folder;
}

std::string Join(const std::string& folder, std::string_view name) {
  std::string path = folder;
  if (!path.ends_with('/')) path.push_back('/');
  path.append(name);
  return path;
}

// `path` is `folder` or lies below it.
bool AtOrBelow(const std::string& folder, const std::string& path) {
  if (folder == "/") return true;
  return path.starts_with(folder) && (path.size() == folder.size() || path[folder.size()] == '/');
}

bool IsFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsFolderNotLink(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

struct TInotifyWatcher::TImpl {
  platform::TUniqueFd Fd;
  std::string Root;
  std::unordered_map<int, std::string> Folders;  // watch descriptor -> folder
  // Files created during the watch that were not closed after writing yet.
  std::unordered_set<std::string> Unclosed;
  size_t Missed = 0;
  std::vector<char> Buffer = std::vector<char>(kReadBuffer);

  // A rename's first half, waiting for its second (same cookie).
  struct TMovedFrom {
    uint32_t Cookie;
    std::string Path;
    bool Folder;
    size_t Slot;  // index of the file's placeholder event
  };
  std::vector<TMovedFrom> MovedFrom;

  // Watch descriptor of the folder, -1 when it cannot be watched.
  int AddWatch(const std::string& folder) {
    const uint32_t mask = kFolderMask | (folder == Root ? 0 : IN_DONT_FOLLOW);
    const int wd = inotify_add_watch(Fd.Get(), folder.c_str(), mask);
    if (wd < 0) return -1;
    const auto known = Folders.find(wd);
    if (known != Folders.end() && known->second != folder) {
      // The same folder under a second name (a bind mount inside the tree): one name is
      // enough, and descending again would never end.
      if (known->second == Root || IsFolderNotLink(known->second)) return -1;
    }
    Folders[wd] = folder;
    return wd;
  }

  // Watches `folder` and every folder below it; with `found`, appends Created for every
  // file met on the way.
  void WatchTree(const std::string& folder, std::vector<TWatchEvent>* found) {
    std::vector<std::string> pending{folder};
    while (!pending.empty()) {
      const std::string current = std::move(pending.back());
      pending.pop_back();
      if (AddWatch(current) < 0) {
        ++Missed;
        continue;
      }
      std::error_code error;
      for (fs::directory_iterator it(current, fs::directory_options::skip_permission_denied, error),
           end;
           !error && it != end; it.increment(error)) {
        const std::string path = Join(current, it->path().filename().string());
        std::error_code statusError;
        const fs::file_status status = it->symlink_status(statusError);
        if (statusError) continue;
        if (fs::is_directory(status))
          pending.push_back(path);
        else if (found)
          found->push_back({TWatchEventKind::Created, path, {}});
      }
    }
  }

  // Forgets the watches of `folder` and below; with `remove`, asks the kernel to drop them
  // too (a folder moved out of the tree is still watched otherwise).
  void ForgetTree(const std::string& folder, bool remove) {
    for (auto it = Folders.begin(); it != Folders.end();) {
      if (!AtOrBelow(folder, it->second)) {
        ++it;
        continue;
      }
      if (remove) inotify_rm_watch(Fd.Get(), it->first);
      it = Folders.erase(it);
    }
    std::erase_if(Unclosed, [&](const std::string& path) { return AtOrBelow(folder, path); });
  }

  // A folder renamed inside the tree: its watches keep their descriptors under the new
  // names, and each of its files is reported renamed.
  void MoveTree(const std::string& from, const std::string& to, std::vector<TWatchEvent>& events) {
    std::vector<std::pair<int, std::string>> moved;
    for (const auto& [wd, folder] : Folders)
      if (AtOrBelow(from, folder)) moved.emplace_back(wd, to + folder.substr(from.size()));
    for (const auto& [wd, folder] : moved) Folders[wd] = folder;
    std::unordered_set<std::string> unclosed;
    for (auto it = Unclosed.begin(); it != Unclosed.end();) {
      if (AtOrBelow(from, *it)) {
        unclosed.insert(to + it->substr(from.size()));
        it = Unclosed.erase(it);
      } else {
        ++it;
      }
    }
    Unclosed.merge(unclosed);
    std::error_code error;
    for (fs::recursive_directory_iterator
             it(to, fs::directory_options::skip_permission_denied, error),
         end;
         !error && it != end; it.increment(error)) {
      std::error_code statusError;
      if (fs::is_directory(it->symlink_status(statusError)) || statusError) continue;
      const std::string now = it->path().string();
      events.push_back({TWatchEventKind::Renamed, from + now.substr(to.size()), now});
    }
    // Folders made in it between the rename and now have no watch yet.
    WatchTree(to, nullptr);
  }

  void Handle(const inotify_event& event, const std::string& name, std::vector<TWatchEvent>& events,
              bool& overflow) {
    if (event.mask & IN_Q_OVERFLOW) {
      overflow = true;
      return;
    }
    const auto folder = Folders.find(event.wd);
    if (folder == Folders.end()) return;
    if (event.mask & IN_IGNORED) {
      Folders.erase(folder);
      return;
    }
    if (name.empty()) return;  // about the watched folder itself; its parent reports it
    const std::string path = Join(folder->second, name);
    const bool isFolder = (event.mask & IN_ISDIR) != 0;

    if (event.mask & IN_MOVED_TO) {
      const auto from = std::find_if(MovedFrom.begin(), MovedFrom.end(),
                                     [&](const TMovedFrom& m) { return m.Cookie == event.cookie; });
      if (from != MovedFrom.end()) {
        const TMovedFrom moved = *from;
        MovedFrom.erase(from);
        if (moved.Folder) {
          MoveTree(moved.Path, path, events);
        } else {
          if (Unclosed.erase(moved.Path)) Unclosed.insert(path);
          events[moved.Slot] = {TWatchEventKind::Renamed, moved.Path, path};
        }
        return;
      }
      // Moved in from outside: settled, and a folder brings its files.
      if (isFolder)
        WatchTree(path, &events);
      else
        events.push_back({TWatchEventKind::Created, path, {}});
      return;
    }
    if (event.mask & IN_MOVED_FROM) {
      // Deleted unless the second half follows; the placeholder keeps the event's place.
      size_t slot = events.size();
      if (!isFolder) events.push_back({TWatchEventKind::Deleted, path, {}});
      MovedFrom.push_back({event.cookie, path, isFolder, slot});
      return;
    }
    if (isFolder) {
      if (event.mask & IN_CREATE) WatchTree(path, &events);
      if (event.mask & IN_DELETE) {
        ForgetTree(path, false);
        events.push_back({TWatchEventKind::FolderGone, path, {}});
      }
      return;
    }
    if (event.mask & IN_CREATE) {
      // A link appears complete; a new file is reported when its writer closes it.
      struct stat st {};
      if (::lstat(path.c_str(), &st) == 0 &&
          (S_ISLNK(st.st_mode) || (S_ISREG(st.st_mode) && st.st_nlink > 1)))
        events.push_back({TWatchEventKind::Created, path, {}});
      else
        Unclosed.insert(path);
    }
    if (event.mask & IN_CLOSE_WRITE)
      events.push_back(
          {Unclosed.erase(path) ? TWatchEventKind::Created : TWatchEventKind::Changed, path, {}});
    if (event.mask & IN_DELETE) {
      Unclosed.erase(path);
      events.push_back({TWatchEventKind::Deleted, path, {}});
    }
  }

  // After an overflow: folders that went away are forgotten, new ones watched.
  void Rewatch() {
    std::vector<std::string> gone;
    for (const auto& [wd, folder] : Folders)
      if (folder != Root && !IsFolderNotLink(folder)) gone.push_back(folder);
    for (const std::string& folder : gone) ForgetTree(folder, true);
    MovedFrom.clear();
    WatchTree(Root, nullptr);
  }
};

TInotifyWatcher::TInotifyWatcher(const std::string& folder) : impl_(std::make_unique<TImpl>()) {
  TImpl& m = *impl_;
  m.Root = WithoutTrailingSeparator(folder);
  if (m.Root.empty() || !IsFolder(m.Root))
    throw EWatchError("cannot watch \"" + folder + "\": no folder");
  m.Fd = platform::TUniqueFd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
  if (!m.Fd) throw EWatchError("cannot watch \"" + folder + "\": " + std::strerror(errno));
  if (m.AddWatch(m.Root) < 0)
    throw EWatchError("cannot watch \"" + folder + "\": " + std::strerror(errno));
  std::vector<std::string> subfolders;
  std::error_code error;
  for (fs::directory_iterator it(m.Root, fs::directory_options::skip_permission_denied, error), end;
       !error && it != end; it.increment(error)) {
    std::error_code statusError;
    if (fs::is_directory(it->symlink_status(statusError)) && !statusError)
      m.WatchTree(Join(m.Root, it->path().filename().string()), nullptr);
  }
}

TInotifyWatcher::~TInotifyWatcher() = default;

int TInotifyWatcher::Fd() const {
  return impl_->Fd.Get();
}
const std::string& TInotifyWatcher::Folder() const {
  return impl_->Root;
}
size_t TInotifyWatcher::WatchedFolders() const {
  return impl_->Folders.size();
}
size_t TInotifyWatcher::MissedFolders() const {
  return impl_->Missed;
}

std::vector<TWatchEvent> TInotifyWatcher::ReadEvents() {
  TImpl& m = *impl_;
  std::vector<TWatchEvent> events;
  bool overflow = false;
  for (;;) {
    const ssize_t length = ::read(m.Fd.Get(), m.Buffer.data(), m.Buffer.size());
    if (length < 0 && errno == EINTR) continue;
    if (length <= 0) break;  // EAGAIN: nothing more waiting
    for (size_t at = 0; at + sizeof(inotify_event) <= size_t(length);) {
      inotify_event event;
      std::memcpy(&event, m.Buffer.data() + at, sizeof event);
      const size_t size = sizeof(inotify_event) + event.len;
      if (at + size > size_t(length)) break;
      // The name follows the fixed part, padded with zero bytes; copied out so that the
      // fixed part is read aligned.
      std::string name(m.Buffer.data() + at + sizeof(inotify_event), event.len);
      name.resize(std::strlen(name.c_str()));
      m.Handle(event, name, events, overflow);
      at += size;
    }
  }
  // First halves without a second: moved out of the tree. Files already hold their
  // Deleted in place.
  for (const TImpl::TMovedFrom& moved : m.MovedFrom) {
    if (!moved.Folder) {
      m.Unclosed.erase(moved.Path);
      continue;
    }
    m.ForgetTree(moved.Path, true);
    events.push_back({TWatchEventKind::FolderGone, moved.Path, {}});
  }
  m.MovedFrom.clear();
  if (overflow) {
    m.Rewatch();
    events.push_back({TWatchEventKind::Overflow, m.Root, {}});
  }
  return events;
}

}  // namespace pixolan::input
