// Where a result goes: the folder pattern, the name pattern and the format entry of the
// save settings, resolved for one source.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "core/ConversionSettings.h"

namespace pixolan::core {

// All non-overlapping occurrences of from, left to right, in one pass, case-sensitive: a
// replacement's text is not scanned again.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

// "<beibehalten>" and "<keep>" are the same choice in either language: the source's own
// folder, base name or extension.
bool IsKeepText(std::string_view text);

// What a name pattern's counters and sizes stand for.
struct TOutputNameValues {
  size_t Index = 0;               // 0-based position of the source in the list
  size_t Count = 1;               // number of sources in the list
  int32_t Width = 0, Height = 0;  // size of the result
};

// The path a source's result is written to.
//
// In overwrite mode it is the source path itself. Otherwise it is folder + name +
// extension:
// - folder: the source's folder for "<keep>", else the folder pattern with "%ordner%" and
//   "%folder%" replaced by the source's folder; "\" counts as "/" (configurations written
//   on Windows keep working), doubled separators collapse, a leading "~/" is the home
//   folder, and the folder ends in "/";
// - name: the base name for "<keep>" (the file name with every occurrence of its extension
//   removed, so "a.jpg.jpg" gives "a"), else the pattern with "%name%" replaced and then,
//   only while a "%" is left, "%num%" (index + 1), "%0num%" (index + 1 padded with zeros
//   to the digits of count), "%abs%" (count), "%breite%"/"%width%" and
//   "%höhe%"/"%height%" (the result's size), in this order;
// - extension: the source's own for "<keep>", else the format entry's mask before " - "
//   without its "*" (".png"), added even when the name already ends in one.
// Every replacement takes all occurrences left to right in one pass, case-sensitive.
std::string ResolveOutputPath(const ConversionSettings& settings, const std::string& sourcePath,
                              const TOutputNameValues& values);

// The path of a clipboard capture's result, which has no source: the folder as above with
// capturesFolder for the source's folder (also for "<keep>"), the name `name` itself
// ("Zwischenablage" in German, "ClipBoard" otherwise; the name pattern is not used), the
// extension ".jpg" for "<keep>" and the format entry's otherwise. When that path is taken,
// the first free one of name1, name2, ... : captures never replace a file and never ask.
// Overwrite mode does not apply.
std::string ResolveClipboardOutputPath(const ConversionSettings& settings,
                                       const std::string& capturesFolder, std::string_view name,
                                       const std::function<bool(const std::string&)>& taken);

// Whether a folder pattern may start a run: with "%ordner%" and "%folder%" standing for
// a folder, it must be an absolute path ("/" alone included, "~/" meaning the home folder)
// whose last part is not empty and holds none of : ? / > | \ < * ". The parts between are
// not examined.
bool IsValidFolderPath(std::string_view pattern);

// The mask of an output format entry, the text before " - ": "*.png - Portable Network
// Graphics" gives "*.png". Only that part matters to the run.
std::string_view FormatEntryMask(std::string_view entry);

// The folder part of an output path, ending in "/".
std::string FolderOf(const std::string& path);

// Whether a name is taken: anything is there, a dangling link included.
bool PathTaken(const std::string& path);

}  // namespace pixolan::core
