#include "input/InputList.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <exception>
#include <optional>
#include <utility>

#include "core/ImageFiles.h"
#include "core/ValueText.h"
#include "imaging/icons/IconCursorFile.h"
#include "imaging/image/Imaging.h"
#include "imaging/io/Registry.h"
#include "lang/WindowTexts.h"
#include "platform/AsciiCase.h"

namespace pixolan::input {

namespace {

std::string_view FileNameOf(std::string_view path) {
  const size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// From the last dot of the file name on; empty without a dot.
std::string_view ExtensionOf(std::string_view path) {
  const std::string_view name = FileNameOf(path);
  const size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}

std::string UpperAscii(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = platform::UpperAscii(c);
  return upper;
}

bool IsIconName(std::string_view path) {
  const std::string ext = UpperAscii(ExtensionOf(path));
  return ext == ".ICO" || ext == ".CUR";
}

// Whether the file starts like an icon or cursor file; false when it cannot be read.
bool HasIconHeader(const std::string& path) {
  try {
    imaging::TIOHandle handle = imaging::TFileIO::OpenRead(path);
    return imaging::IconCursorFileFormat().TestContent(handle);
  } catch (const imaging::EImagingError&) {
    return false;
  }
}

// The size of a regular file; nullopt for anything else (missing, folder, pipe, device),
// which add2list must not open.
std::optional<uint64_t> RegularFileSize(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return uint64_t(st.st_size);
}

int Sign(auto a, auto b) {
  return a < b ? -1 : b < a ? 1 : 0;
}

}  // namespace

const std::string& InputListEntry::Column(TListColumn column) const {
  switch (column) {
    case TListColumn::Name:
      return Name;
    case TListColumn::Type:
      return Type;
    case TListColumn::Width:
      return Width;
    case TListColumn::Height:
      return Height;
    case TListColumn::Size:
      return Size;
    case TListColumn::Path:
      break;
  }
  return Path;
}

void TCatalogueListMessages::ShowMessage(std::string_view key, std::string_view argument) {
  ++shown_;
  if (lang::meldungzeigen(frontEnd_, key, argument)) okForAll_ = true;
}

std::string ListName(std::string_view path) {
  const std::string_view ext = ExtensionOf(path);
  std::string name(FileNameOf(path));
  if (ext.empty()) return name;
  for (size_t at = name.find(ext); at != std::string::npos; at = name.find(ext, at))
    name.erase(at, ext.size());
  return name;
}

std::string ListType(std::string_view path) {
  std::string type = UpperAscii(ExtensionOf(path));
  std::erase(type, '.');
  return type;
}

std::string SizeText(uint64_t bytes, std::string_view decimalSeparator) {
  // Exact integer arithmetic: the kilobytes are bytes * 125 / 128 thousandths.
  __extension__ typedef unsigned __int128 TWide;
  int integerDigits = 0;
  for (uint64_t kilobytes = bytes / 1024; kilobytes > 0; kilobytes /= 10) ++integerDigits;
  // Eight significant digits leave 8 - integerDigits decimals, at most the three shown.
  const int decimals = integerDigits == 0 ? 3 : std::min(3, 8 - integerDigits);
  TWide unit = 1;  // in thousandths
  for (int i = decimals; i < 3; ++i) unit *= 10;
  const TWide thousandths =
      (TWide(bytes) * 250 + 128 * unit) / (256 * unit) * unit;  // halves away from zero
  std::string whole;
  for (TWide kilobytes = thousandths / 1000; whole.empty() || kilobytes > 0; kilobytes /= 10)
    whole.insert(whole.begin(), char('0' + int(kilobytes % 10)));
  const int fraction = int(thousandths % 1000);
  std::string text = whole;
  text.append(decimalSeparator);
  text.push_back(char('0' + fraction / 100));
  text.push_back(char('0' + fraction / 10 % 10));
  text.push_back(char('0' + fraction % 10));
  return text + " KB";
}

TInputList::TInputList(TListMessages& messages, TListOptions options)
    : messages_(messages), options_(std::move(options)) {
  if (options_.DecimalSeparator.empty())
    options_.DecimalSeparator = platform::UserDecimalSeparator();
  if (!options_.CompareText) options_.CompareText = platform::UserTextCompareIgnoreCase();
}

TAddResult TInputList::Refuse(std::string_view key, const std::string& path) {
  if (!messages_.OkForAll()) messages_.ShowMessage(key, path);
  return key == "dateischoninliste" ? TAddResult::AlreadyListed : TAddResult::NotAnImage;
}

bool TInputList::ReadColumns(InputListEntry& entry, bool decodedSize) const {
  const std::optional<uint64_t> fileSize = RegularFileSize(entry.Path);
  if (!fileSize) return false;
  const bool icon = IsIconName(entry.Path);
  // Icon and cursor files are read by their name, never found by content detection: for
  // them the icon header stands in for it.
  if (icon ? options_.Detail == TListDetail::PathsOnly && !HasIconHeader(entry.Path)
           : !imaging::DetectFileFormat(entry.Path))
    return false;
  entry.Name = ListName(entry.Path);
  entry.Type = ListType(entry.Path);
  if (options_.Detail == TListDetail::PathsOnly) return true;
  imaging::TImageData image;
  try {
    // A file no handler takes is no image either: it gets no entry of width 0.
    if (!core::LoadSourceImage(entry.Path, image)) return false;
  } catch (const std::exception&) {
    return false;
  }
  entry.Width = std::to_string(image.Width);
  entry.Height = std::to_string(image.Height);
  const uint64_t decoded = uint64_t(image.Width) * uint64_t(image.Height) * 4;
  entry.Size = SizeText(decodedSize || icon ? decoded : *fileSize, options_.DecimalSeparator);
  return true;
}

TAddResult TInputList::add2list(const std::string& path) {
  if (Contains(path)) return Refuse("dateischoninliste", path);
  InputListEntry entry;
  entry.Path = path;
  if (!ReadColumns(entry, false)) return Refuse("formatfehler", path);
  Insert(std::move(entry));
  return TAddResult::Added;
}

bool TInputList::UpdateListItem(size_t index) {
  if (index >= entries_.size()) return false;
  InputListEntry entry = entries_[index];
  if (!ReadColumns(entry, true)) return false;
  entries_.erase(entries_.begin() + std::ptrdiff_t(index));
  paths_.erase(entry.Path);
  Insert(std::move(entry));
  return true;
}

bool TInputList::RenameListItem(size_t index, const std::string& newPath) {
  if (index >= entries_.size() || Contains(newPath)) return false;
  InputListEntry entry = entries_[index];
  entry.Path = newPath;
  entry.Name = ListName(newPath);
  entry.Type = ListType(newPath);
  InputListEntry read = entry;
  if (ReadColumns(read, true)) entry = std::move(read);
  paths_.erase(entries_[index].Path);
  entries_.erase(entries_.begin() + std::ptrdiff_t(index));
  Insert(std::move(entry));
  return true;
}

void TInputList::Insert(InputListEntry entry) {
  const auto at = std::upper_bound(
      entries_.begin(), entries_.end(), entry,
      [this](const InputListEntry& a, const InputListEntry& b) { return qulistCompare(a, b) < 0; });
  paths_.insert(entry.Path);
  entries_.insert(at, std::move(entry));
}

std::vector<std::string> TInputList::Paths() const {
  std::vector<std::string> paths;
  paths.reserve(entries_.size());
  for (const InputListEntry& entry : entries_) paths.push_back(entry.Path);
  return paths;
}

int TInputList::qulistCompare(const InputListEntry& first, const InputListEntry& second) const {
  const InputListEntry& a = descending_ ? second : first;
  const InputListEntry& b = descending_ ? first : second;
  switch (sortColumn_) {
    case TListColumn::Width:
    case TListColumn::Height:
      return Sign(core::IntegerOrDefault(a.Column(sortColumn_), 0),
                  core::IntegerOrDefault(b.Column(sortColumn_), 0));
    case TListColumn::Size: {
      // The text as written in the list's separator, read back as a decimal number.
      const auto value = [this](std::string_view text) {
        if (text.ends_with(" KB")) text.remove_suffix(3);
        const std::string& separator = options_.DecimalSeparator;
        std::string number(text.substr(0, text.find(separator)));
        if (number.size() < text.size()) {
          number.push_back('.');
          number.append(text.substr(number.size() - 1 + separator.size()));
        }
        return core::ParseDecimalText(number).value_or(0.0);
      };
      return Sign(value(a.Size), value(b.Size));
    }
    case TListColumn::Name:
    case TListColumn::Type:
    case TListColumn::Path:
      break;
  }
  return options_.CompareText(a.Column(sortColumn_), b.Column(sortColumn_));
}

void TInputList::qulistColumnClick(TListColumn column) {
  sortColumn_ = column;
  descending_ = column == lastClicked_ ? !descending_ : false;
  lastClicked_ = column;
  std::stable_sort(
      entries_.begin(), entries_.end(),
      [this](const InputListEntry& a, const InputListEntry& b) { return qulistCompare(a, b) < 0; });
}

void TInputList::DeleteSelected(std::span<const size_t> indexes) {
  std::vector<size_t> sorted(indexes.begin(), indexes.end());
  std::sort(sorted.begin(), sorted.end());
  sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
  // From the last to the first, so the indexes still to come stay valid.
  for (auto it = sorted.rbegin(); it != sorted.rend(); ++it) {
    if (*it >= entries_.size()) continue;
    paths_.erase(entries_[*it].Path);
    entries_.erase(entries_.begin() + std::ptrdiff_t(*it));
  }
}

void TInputList::DeleteAll() {
  entries_.clear();
  paths_.clear();
}

size_t TInputList::RemoveVanished() {
  std::vector<size_t> vanished;
  for (size_t i = 0; i < entries_.size(); ++i) {
    struct stat st {};
    if (::stat(entries_[i].Path.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR))
      vanished.push_back(i);
  }
  DeleteSelected(vanished);
  return vanished.size();
}

std::string TInputList::CountLabel(lang::TLanguage language) const {
  return lang::CountLabel(entries_.size(), language);
}

}  // namespace pixolan::input
