// What the user's locale (LC_ALL, LC_NUMERIC, LC_COLLATE, LANG) says about numbers and
// the order of texts. Read from the environment's locale without changing the process's
// own, which stays "C" so that number formatting elsewhere never depends on it.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace pixolan::platform {

// The user's decimal separator ("," in de_DE, "." in en_US); "." when the locale is
// unknown or not installed.
std::string UserDecimalSeparator();

// Compares two UTF-8 texts as the user's locale orders them, without regard to letter
// case: negative, 0 or positive. Texts equal but for case compare 0.
using TTextCompare = std::function<int(std::string_view a, std::string_view b)>;
// A comparison bound to the user's collation as it is when called; byte values decide
// where the locale is unknown.
TTextCompare UserTextCompareIgnoreCase();

}  // namespace pixolan::platform
