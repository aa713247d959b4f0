// File lists: the input list's paths saved to and read from a text file, one path a line.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "input/InputList.h"
#include "lang/Language.h"

namespace pixolan::input {

enum class TSaveFileListResult {
  Written,
  NoFiles,  // the list is empty: nothing is written, the front end shows NoFilesToStoreText
  Refused,  // the name ends in ".bmp", ".gif", ".jpg" or ".jpeg": nothing written or shown
};

// Writes every entry's path followed by CR LF, in list order, as UTF-8 with byte order
// mark. Raises ETextFileError when the file cannot be written (an existing file then
// stays as it was).
TSaveFileListResult SaveFileList(const TInputList& list, const std::string& fileName);

// "There are no files to store in your file list." in the language.
std::string_view NoFilesToStoreText(lang::TLanguage language);

// The non-empty pieces of a file list's text, split at each CR LF pair. A line ended by
// LF alone is not split there.
std::vector<std::string> FileListPaths(std::string_view text);

// Reads a file list (any encoding ReadTextFile knows) and passes every path in it that
// names an existing file (not a folder) to add2list, in file order; the list is not
// cleared first. Returns how many were added. Raises ETextFileError when the file cannot
// be read.
size_t OpenFileList(TInputList& list, const std::string& fileName);

}  // namespace pixolan::input
