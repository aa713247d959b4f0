#include "lang/Language.h"

#include <atomic>
#include <system_error>

namespace pixolan::lang {

namespace {

// The design makes the interface language process-wide.
std::atomic<TLanguage> currentLanguage{TLanguage::De};

bool MarkerExists(const std::filesystem::path& folder, std::string_view name) {
  std::error_code error;
  return std::filesystem::exists(folder / name, error);
}

}  // namespace

std::optional<TLanguage> LanguageFromCode(std::string_view code) {
  if (code == "de") return TLanguage::De;
  if (code == "en") return TLanguage::En;
  return std::nullopt;
}

std::string_view LanguageCode(TLanguage language) {
  return language == TLanguage::De ? "de" : "en";
}

TLanguage StartLanguage(const std::filesystem::path& folder, const TEnvironment& environment) {
  if (MarkerExists(folder, "de")) return TLanguage::De;
  if (MarkerExists(folder, "en")) return TLanguage::En;
  for (std::string_view name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const std::optional<std::string> value = environment(name);
    if (value && !value->empty()) return value->starts_with("de") ? TLanguage::De : TLanguage::En;
  }
  return TLanguage::En;
}

TLanguage CurrentLanguage() {
  return currentLanguage.load();
}

void SetCurrentLanguage(TLanguage language) {
  currentLanguage.store(language);
}

}  // namespace pixolan::lang
