// Folder watching: the handlers that apply what a watcher reports about the watched folder
// to the input list. Files created there are added, deleted ones leave, renamed ones keep
// their entry under the new name and changed ones are read again. The handlers read the
// folder and the subfolder rule at each event, so they follow the folder box even when
// the watcher still reports on the folder it was started for.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_set>

#include "input/InputList.h"

namespace pixolan::input {

enum class TWatchEventKind {
  Created,     // a settled file: written and closed, moved in, or linked
  Deleted,     // a file deleted or moved out of the watched tree
  Renamed,     // a file renamed inside the watched tree: Path -> NewPath
  Changed,     // a file written again
  FolderGone,  // a folder deleted or moved out; Path is the folder
  Overflow,    // events were lost; Path is the watched folder
};

struct TWatchEvent {
  TWatchEventKind Kind = TWatchEventKind::Created;
  std::string Path;
  std::string NewPath;  // of Renamed only
  bool operator==(const TWatchEvent&) const = default;
};

// What the handlers read at each event: the folder box (inp_ordner) and "Search
// Subfolders" (inp_uv).
struct TWatchSettings {
  std::string Folder;
  bool Subfolders = true;
};

// True when `path` lies inside `folder`, at any depth. Both are compared as written after
// collapsing doubled separators, "." and ".." and a trailing separator, and case matters:
// names that differ in case are different files here. A folder "/pics" does not take
// "/pics2/a.png".
bool IsInsideFolder(std::string_view folder, std::string_view path);
// The same comparison for two paths.
bool SamePath(std::string_view a, std::string_view b);

class TFolderWatch {
 public:
  explicit TFolderWatch(TInputList& list);
  TFolderWatch(const TFolderWatch&) = delete;
  TFolderWatch& operator=(const TFolderWatch&) = delete;

  // Each handler does nothing unless the folder of `settings` exists and the event's path
  // (the old path of a rename) lies inside it, and changes at most one entry. They return
  // whether the list changed, so that the window reloads its view and the preview only
  // then; the same event delivered twice changes the list once.

  // Adds the file through add2list with the list's messages suppressed: files that are no
  // images are skipped silently (the scan's format filter does not apply). Without
  // Subfolders only files directly in the folder count. A file that cannot be read yet
  // (written by a program that closes it before it is complete, or renamed from its
  // temporary name before the event was handled) is remembered and added when a later
  // change or rename reports it readable.
  bool swCreate(const TWatchSettings& settings, const std::string& path);
  // Removes the last entry of the path; files in subfolders count whatever Subfolders says.
  bool swDelete(const TWatchSettings& settings, const std::string& path);
  // The last entry of the old path takes the new one and is read again. When the new path
  // is listed already (a file renamed over a listed one), the old entry leaves and the
  // other is read again. An unlisted file adds nothing, unless it is one that swCreate
  // could not read yet.
  bool swRenameItem(const TWatchSettings& settings, const std::string& oldPath,
                    const std::string& newPath);
  // Reads the last entry of the path again; an unlisted file is added only when swCreate
  // could not read it before.
  bool swUpdateItem(const TWatchSettings& settings, const std::string& path);
  // A folder below the watched one went away: its entries leave.
  bool swDeleteFolder(const TWatchSettings& settings, const std::string& folder);
  // Events were lost: entries inside the folder whose files are gone leave, the others
  // are read again.
  bool Resynchronize(const TWatchSettings& settings);

  // Passes the event to its handler.
  bool Deliver(const TWatchSettings& settings, const TWatchEvent& event);

  // Files that swCreate could not read, still waiting for a change (for tests).
  size_t Unsettled() const { return unsettled_.size(); }

 private:
  // Index of the last entry with the path, or Count() when none has it.
  size_t FindLast(const std::string& path) const;
  bool Add(const std::string& path);

  TInputList& list_;
  std::unordered_set<std::string> unsettled_;
};

}  // namespace pixolan::input
