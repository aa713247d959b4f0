// The interface language: "de" or "en", one per process.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Folders.h"

namespace pixolan::lang {

enum class TLanguage { De, En };

// "de" or "en"; nullopt for anything else.
std::optional<TLanguage> LanguageFromCode(std::string_view code);
std::string_view LanguageCode(TLanguage language);

using platform::ProcessEnvironment;
using platform::TEnvironment;

// The language a process starts in. Marker files named "de" and "en" in `folder` decide
// ("de" wins when both exist). With neither, the locale decides: the first set and
// non-empty of LC_ALL, LC_MESSAGES and LANG (the order in which the C library looks
// them up) gives "de" when it starts with "de", anything else (or nothing) "en".
TLanguage StartLanguage(const std::filesystem::path& folder, const TEnvironment& environment);

// The interface language of the process; "de" until set. Every window and message reads
// it, so a switch reaches all of them at once.
TLanguage CurrentLanguage();
void SetCurrentLanguage(TLanguage language);

// The text of the language: german or english.
inline std::string_view InLanguage(TLanguage language, std::string_view german,
                                   std::string_view english) {
  return language == TLanguage::De ? german : english;
}

}  // namespace pixolan::lang
