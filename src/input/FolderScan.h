// Folder scans: FindFiles enumerates the files of a folder by extension, AddOrdner adds
// what it finds to the input list while a front end shows the progress.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "input/FormatFilter.h"
#include "input/InputList.h"
#include "lang/Language.h"

namespace pixolan::input {

// Appends to `list` the path of every file below `folder` whose name ends in one of the
// extensions (ASCII letters compare without case, so "*.jpg" finds "photo.JPG"), as
// `folder` + "/" + name. With `recursive`, the subfolders come first, each searched
// depth-first before its own files; then the folder's own matches, grouped by extension
// in the set's order. Entries are taken in name order (bytewise), so a scan gives the
// same list on every run and file system. Hidden entries count. Links to folders are not
// followed into, and no folder is searched twice, so a scan always ends; a folder that
// cannot be read is skipped. Every other entry that is not a folder (a link to a file, a
// pipe) is listed: add2list decides about it without opening what is not a regular file.
void FindFiles(std::vector<std::string>& list, const std::string& folder,
               std::span<const std::string> extensions, bool recursive);

// The progress of a scan as a front end shows it. The scan calls, in this order:
// Searching once, Analyzing once with the number found, Analyzed after each found file
// with the number analyzed so far, and Finished once, also when the scan was cancelled.
// CancelRequested is asked after each analyzed file; when it says yes the scan calls
// ClearCancelRequest and stops, keeping what it added. Implementations must not throw.
class TScanFrontEnd {
 public:
  virtual ~TScanFrontEnd() = default;
  virtual void Searching() {}
  virtual void Analyzing(size_t /*found*/) {}
  // A drop of `count` files and folders is being added (TScanPhase::Adding); its items
  // then report as Analyzed. A front end that does not tell the two apart shows it as a
  // scan's analysis.
  virtual void Adding(size_t count) { Analyzing(count); }
  virtual void Analyzed(size_t /*analyzed*/, size_t /*found*/) {}
  virtual bool CancelRequested() { return false; }
  virtual void ClearCancelRequest() {}
  virtual void Finished() {}
};

// Adding: the files and folders of a drop, whose count shows as "12 Images added".
enum class TScanPhase { Searching, Analyzing, Adding };

// The texts of the progress window: title ("Searching for Images" / "Analyzing Images"),
// found line ("12 Images found", while adding a drop "12 Images added") and analyzed line
// ("3 Images analyzed").
struct TScanProgressTexts {
  std::string Title;
  std::string FoundLine;
  std::string AnalyzedLine;
};
TScanProgressTexts ScanProgressTexts(TScanPhase phase, size_t found, size_t analyzed,
                                     lang::TLanguage language);

struct TScanResult {
  size_t Found = 0;     // paths FindFiles gave
  size_t Analyzed = 0;  // of them, passed to add2list or found vanished
  size_t Added = 0;
  bool Cancelled = false;
};

// Scans `folder` with the settings and adds every file found that still exists through
// add2list, in the order FindFiles gives. OkForAll of the list's messages is set for the
// scan's duration, so files that are not images or are listed already are skipped
// silently; it is cleared at the end. Does nothing (and calls no front end) when `folder`
// is empty or no existing folder.
TScanResult AddOrdner(TInputList& list, const std::string& folder, const TScanSettings& settings,
                      TScanFrontEnd& frontEnd);

}  // namespace pixolan::input
