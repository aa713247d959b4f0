// The placeholders of the text overlay: parts of the source path, the date and time, and
// character ranges of the name and path. (Output names have placeholders of their own.)
#pragma once

#include <ctime>
#include <functional>
#include <string>

namespace pixolan::core {

// The local date and time at the moment it is asked for.
using TClock = std::function<std::tm()>;
std::tm LocalNow();

// The text with its placeholders replaced for the source path (a full path, or
// "ClipboardFile"). A text without "%" is returned as it is. In this order, each for all
// non-overlapping occurrences, case-sensitive:
// - "%filepath%" the path, "%filename%" the file name, "%name%" the base name, "%path%"
//   the folder ending in "/", "%ext%" the extension without ".";
// - "%yy%", "%yyyy%", "%mm%", "%m%", "%tt%", "%t%", "%dd%", "%d%", "%hh%", "%h%", "%ii%",
//   "%i%", "%ss%", "%s%": year, month, day, hour, minute, second, the doubled forms with two
//   digits; the clock is read for each one present;
// - "%name;A-B%", "%path;A-B%", "%filepath;A-B%": characters A to B (1-based, inclusive) of
//   the base name, the folder, the path; a start below 1 starts at the first character
//   without shortening the count; the placeholder stays when B < A or a number is beyond
//   32 bits.
std::string ExpandTextPlaceholders(const std::string& text, const std::string& sourcePath,
                                   const TClock& now = LocalNow);

}  // namespace pixolan::core
