// The input list: the files a run converts, one entry per file with the texts of its six
// columns, in the order of the current sort column. Every file enters through add2list,
// which refuses duplicates and files that are not images through a message front end.
// The list knows nothing of windows; the window's list view and the command line show it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "lang/Language.h"
#include "lang/Messages.h"
#include "platform/UserLocale.h"

namespace pixolan::input {

enum class TListColumn { Name = 0, Type = 1, Width = 2, Height = 3, Size = 4, Path = 5 };

// One row of the list; all values are display texts. Path, exactly as given to add2list,
// is the entry's identity.
struct InputListEntry {
  std::string Name;    // the file name with every occurrence of its extension removed
  std::string Type;    // the extension in upper case without its dot: "JPG"
  std::string Width;   // of the first image, decimal
  std::string Height;  // of the first image, decimal
  std::string Size;    // SizeText of the file's bytes (decoded bytes for icons)
  std::string Path;

  const std::string& Column(TListColumn column) const;
  bool operator==(const InputListEntry&) const = default;
};

// How much add2list learns of a file.
enum class TListDetail {
  // Every column: the first image is decoded for its width and height. The window's list.
  Columns,
  // For front ends that show no columns (the command line): the duplicate test and the
  // content detection only, and Width, Height and Size stay empty. The run decodes every
  // file anyway; decoding it here as well would double the work of a batch. A file that
  // is detected but cannot be decoded is then reported by the run instead of being
  // refused here.
  PathsOnly,
};

enum class TAddResult { Added, AlreadyListed, NotAnImage };

// Where add2list sends its catalogue messages ("dateischoninliste", "formatfehler", with
// the path). While OkForAll is set, add2list shows none: folder scans and the folder
// watcher set it for their duration, and a front end sets it when the user chooses "OK
// for all".
class TListMessages {
 public:
  virtual ~TListMessages() = default;
  virtual bool OkForAll() const = 0;
  virtual void SetOkForAll(bool okForAll) = 0;
  // Shows the message; must not throw.
  virtual void ShowMessage(std::string_view key, std::string_view argument) = 0;
};

// Catalogue messages through a message front end (the message window, the console), in
// the current interface language. "OK for all" chosen there sets OkForAll.
class TCatalogueListMessages final : public TListMessages {
 public:
  explicit TCatalogueListMessages(lang::TMessageFrontEnd& frontEnd) : frontEnd_(frontEnd) {}
  bool OkForAll() const override { return okForAll_; }
  void SetOkForAll(bool okForAll) override { okForAll_ = okForAll; }
  void ShowMessage(std::string_view key, std::string_view argument) override;
  // How many messages were shown.
  size_t Shown() const { return shown_; }

 private:
  lang::TMessageFrontEnd& frontEnd_;
  bool okForAll_ = false;
  size_t shown_ = 0;
};

struct TListOptions {
  TListDetail Detail = TListDetail::Columns;
  // Decimal separator of the size column; empty: the user's (platform::UserDecimalSeparator).
  std::string DecimalSeparator;
  // How names, types and paths compare when sorting; empty: case-insensitive in the
  // user's locale (platform::UserTextCompareIgnoreCase).
  platform::TTextCompare CompareText;
};

class TInputList {
 public:
  explicit TInputList(TListMessages& messages, TListOptions options = {});
  TInputList(const TInputList&) = delete;
  TInputList& operator=(const TInputList&) = delete;

  // Adds one file: refused with "dateischoninliste" when an entry has exactly this path
  // (case-sensitive), with "formatfehler" when it is no regular file (never opened then),
  // when no handler recognises its content or, with Columns, when its first image cannot
  // be decoded. ".ico" and ".cur" files skip the detection and are decoded directly.
  // Messages are shown unless OkForAll is set. The entry takes its place in the current
  // sort order, after entries that compare equal.
  TAddResult add2list(const std::string& path);

  // Reads the entry's file again (for the folder watcher): name, type, width, height, and
  // the size of the decoded image; the entry then moves to its place in the sort order.
  // False, with the entry unchanged, when the index is past the end or the file is no
  // longer a readable image. With PathsOnly nothing but the detection is repeated.
  bool UpdateListItem(size_t index);
  // The entry's file got a new name (for the folder watcher): the entry takes the path and
  // the name and type it gives, reads the file again as UpdateListItem does (keeping the
  // old width, height and size when it is no longer a readable image) and moves to its
  // place in the sort order. False when the index is past the end or another entry has
  // the new path already.
  bool RenameListItem(size_t index, const std::string& newPath);

  size_t Count() const { return entries_.size(); }
  std::span<const InputListEntry> Entries() const { return entries_; }
  const InputListEntry& Entry(size_t index) const { return entries_.at(index); }
  bool Contains(const std::string& path) const { return paths_.contains(path); }
  // The paths in list order: what a run converts.
  std::vector<std::string> Paths() const;

  // A click on a column header: the clicked column sorts; a second click on the same
  // column reverses the direction, a click on another sorts ascending. The list starts
  // sorted by name ascending, so the first click on "Name" sorts descending.
  void qulistColumnClick(TListColumn column);
  TListColumn SortColumn() const { return sortColumn_; }
  bool Descending() const { return descending_; }
  // Negative, 0 or positive as a sorts before, with or after b: names, types and paths as
  // texts, width and height as integers (0 for a text that is none), sizes as decimal
  // numbers; the descending direction exchanges a and b.
  int qulistCompare(const InputListEntry& a, const InputListEntry& b) const;

  // Deletes the entries at these indexes (any order; repeated or past-the-end indexes are
  // ignored).
  void DeleteSelected(std::span<const size_t> indexes);
  void DeleteAll();
  // Removes the entries whose files no longer exist, as a run does at its end; returns how
  // many left. A file that cannot be examined for another reason stays.
  size_t RemoveVanished();

  // "3 Images", "1 Image", "0 Images" (German "Bilder", "Bild").
  std::string CountLabel(lang::TLanguage language) const;

  TListMessages& Messages() const { return messages_; }
  const TListOptions& Options() const { return options_; }

 private:
  TAddResult Refuse(std::string_view key, const std::string& path);
  // Fills everything but the path from the file; false when it is no readable image.
  bool ReadColumns(InputListEntry& entry, bool decodedSize) const;
  void Insert(InputListEntry entry);

  TListMessages& messages_;
  TListOptions options_;
  std::vector<InputListEntry> entries_;
  std::unordered_set<std::string> paths_;
  TListColumn sortColumn_ = TListColumn::Name;
  TListColumn lastClicked_ = TListColumn::Name;
  bool descending_ = false;
};

// The size column's text: bytes / 1024 rounded to 8 significant digits (halves away from
// zero), written with three decimals, `decimalSeparator` and no thousands separators,
// followed by " KB": 12345 bytes are "12,056 KB" with a German comma.
std::string SizeText(uint64_t bytes, std::string_view decimalSeparator);

// The name and type columns of a path: the file name with every occurrence of its
// extension (compared case-sensitively) removed, and the extension in upper case without
// its dot. "photo.jpg.jpg" gives "photo" and "JPG".
std::string ListName(std::string_view path);
std::string ListType(std::string_view path);

}  // namespace pixolan::input
