// A recursive folder watcher over inotify. It watches a folder and every folder below it
// (new subfolders included) and turns the kernel's notifications into the events the
// folder-watch handlers take, with full paths. It never blocks and starts no thread: the
// caller polls Fd() (a QSocketNotifier in the window) and calls ReadEvents() when it is
// readable, so the events are handled on the caller's thread.
#pragma once

#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "input/FolderWatch.h"

namespace pixolan::input {

// The folder cannot be watched (no folder, no inotify instance left, no permission).
class EWatchError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TInotifyWatcher {
 public:
  // Starts watching `folder` and every folder below it; links to folders are not followed.
  // Raises EWatchError when the folder itself cannot be watched; subfolders that cannot be
  // (the user's watch limit reached) are counted in MissedFolders and left out.
  explicit TInotifyWatcher(const std::string& folder);
  ~TInotifyWatcher();
  TInotifyWatcher(const TInotifyWatcher&) = delete;
  TInotifyWatcher& operator=(const TInotifyWatcher&) = delete;

  // Readable when events are waiting; non-blocking, closed with the watcher.
  int Fd() const;
  // The watched folder as given, without a trailing separator; event paths begin with it.
  const std::string& Folder() const;
  size_t WatchedFolders() const;
  size_t MissedFolders() const;

  // Everything the kernel has queued, in order; empty when nothing is waiting.
  // - A file counts as Created once it is settled: when a file created during the watch is
  //   closed after writing, when it is moved in from outside, or when a link to a file
  //   appears. Writing and closing any other file is Changed.
  // - A rename inside the watched tree is Renamed (old, new); a file moved out is Deleted.
  // - A folder created or moved in gets watched, and the files already in it are Created
  //   (a file may thus be reported twice; the handlers add it once). A folder renamed
  //   inside the tree reports each of its files as Renamed; one moved out or deleted is
  //   FolderGone.
  // - When the kernel's queue overflowed, every folder is watched again and one Overflow
  //   tells the handlers to compare the list with the folder.
  std::vector<TWatchEvent> ReadEvents();

 private:
  struct TImpl;
  std::unique_ptr<TImpl> impl_;
};

}  // namespace pixolan::input
