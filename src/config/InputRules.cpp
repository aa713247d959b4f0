#include "config/InputRules.h"

#include <optional>
#include <string>

#include "config/StoreLanguage.h"
#include "core/ValueText.h"

namespace pixolan::config {

namespace {

enum class TFamily {
  Free,
  DigitsWithMessage,  // 0-9 only; anything else shows the numbers-only message
  SignedInteger,      // 0-9 and "-" while the text is an integer
  Decimal,            // 0-9 and a separator while the text is a decimal
  Percentage,         // 0-9 while the text is an integer within 0..100
  Quality,            // 0-9 unless the text is a number outside 1..100
  Digits,             // 0-9 only, silently
  ReadOnly,           // no key
  Zoom,               // 0-9 and "%"; a text starting with "<" is emptied first
  OutputFolder,       // no " * < > ? |; "<keep>" is emptied first
  OutputName,         // no " * / : < > ? \ |; "<keep>" is emptied first
  FolderPath,         // no " * < > ? |
  FileName,           // no " * / : < > ? \ |
  FilterText,         // no " * / < > ? |
};

enum class TLeave { Keep, Initial, FirstItem, SecondItem };

struct TRule {
  std::string_view Section, Name;
  TFamily Family;
  TLeave Leave = TLeave::Keep;
};

// Folder boxes take the native separator "/" (and "\", which folder patterns accept too);
// name boxes take neither.
constexpr TRule kRules[] = {
    {"PBED", "inp_ordner", TFamily::FolderPath},
    {"PBCB", "vor_resize", TFamily::Zoom},
    {"PBCB", "out_ordner", TFamily::OutputFolder, TLeave::FirstItem},
    {"PBCB", "out_name", TFamily::OutputName, TLeave::SecondItem},
    {"PBCB", "out_format", TFamily::ReadOnly},
    {"PBCB", "act_sizebenutzer_x", TFamily::DigitsWithMessage, TLeave::Initial},
    {"PBCB", "act_sizebenutzer_y", TFamily::DigitsWithMessage, TLeave::Initial},
    {"PBCB", "act_sizemethode", TFamily::ReadOnly},
    {"PBCB", "act_drehencb", TFamily::ReadOnly},
    {"PBCB", "act_farberedcb", TFamily::DigitsWithMessage},
    {"PBCB", "act_farbevert1", TFamily::ReadOnly},
    {"PBCB", "act_farbevert2", TFamily::ReadOnly},
    {"PBCB", "act_farbe_r", TFamily::SignedInteger},
    {"PBCB", "act_farbe_g", TFamily::SignedInteger},
    {"PBCB", "act_farbe_b", TFamily::SignedInteger},
    {"PBCB", "act_farberot", TFamily::Decimal},
    {"PBCB", "act_farbegruen", TFamily::Decimal},
    {"PBCB", "act_farbeblau", TFamily::Decimal},
    {"PBCB", "act_farbekontrast", TFamily::SignedInteger},
    {"PBCB", "act_farbehelligkeit", TFamily::SignedInteger},
    {"PBCB", "act_farbesaettigung", TFamily::SignedInteger},
    {"PBCB", "act_zuschlinks", TFamily::DigitsWithMessage, TLeave::FirstItem},
    {"PBCB", "act_zuschrechts", TFamily::DigitsWithMessage, TLeave::FirstItem},
    {"PBCB", "act_zuschoben", TFamily::DigitsWithMessage, TLeave::FirstItem},
    {"PBCB", "act_zuschunten", TFamily::DigitsWithMessage, TLeave::FirstItem},
    {"PBCB", "act_wz_transpwert", TFamily::Percentage},
    {"PBCB", "act_wz_p_benutzer_pixelou", TFamily::DigitsWithMessage, TLeave::Initial},
    {"PBCB", "act_wz_p_benutzer_pixellr", TFamily::DigitsWithMessage, TLeave::Initial},
    {"PBCB", "act_wz_benutzer_x", TFamily::DigitsWithMessage, TLeave::Initial},
    {"PBCB", "act_wz_benutzer_y", TFamily::DigitsWithMessage, TLeave::Initial},
    {"PBCB", "act_randbreite", TFamily::DigitsWithMessage, TLeave::Initial},
    {"PBCB", "act_randtransp", TFamily::Percentage},
    {"PBCB", "act_channels_zufarbe", TFamily::ReadOnly},
    {"PBCB", "act_text_transpwert", TFamily::Percentage},
    {"PBCB", "act_text_p_benutzer_pixelou", TFamily::DigitsWithMessage, TLeave::Initial},
    {"PBCB", "act_text_p_benutzer_pixellr", TFamily::DigitsWithMessage, TLeave::Initial},
    {"PBCB", "act_text_benutzer_x", TFamily::DigitsWithMessage, TLeave::Initial},
    {"PBCB", "act_text_benutzer_y", TFamily::DigitsWithMessage, TLeave::Initial},
    {"PBCB", "act_weich_gr_h", TFamily::DigitsWithMessage, TLeave::SecondItem},
    {"PBCB", "act_weich_gr_v", TFamily::DigitsWithMessage, TLeave::FirstItem},
    {"PBCB", "act_hart_st", TFamily::SignedInteger},
    {"PBCB", "act_hart_gr", TFamily::DigitsWithMessage, TLeave::SecondItem},
    {"EACB", "out_quality", TFamily::Quality},
    {"DUED", "quordner", TFamily::FolderPath},
    {"DUED", "suchenalt", TFamily::FileName},
    {"DUED", "suchenneu", TFamily::FileName},
    {"DUCB", "maske", TFamily::FileName},
    {"DUCB", "numstart", TFamily::Digits},
    {"DFED", "filter", TFamily::FilterText},
};

const TRule* RuleOf(const TSettingEntry& entry) {
  for (const TRule& rule : kRules)
    if (rule.Section == entry.Section && rule.Name == entry.Name) return &rule;
  return nullptr;
}

bool IsDigit(char32_t key) {
  return key >= '0' && key <= '9';
}

bool IsOneOf(char32_t key, std::u32string_view set) {
  return set.find(key) != std::u32string_view::npos;
}

bool IsKeepToken(std::string_view text) {
  return text == "<keep>" || text == "<beibehalten>";
}

TKeyOutcome Refused() {
  return {.Accepted = false};
}

}  // namespace

bool IsCustomItem(std::string_view item) {
  return item == "Benutzer.." || item == "Custom.." || item == "Benutzerdefiniert..";
}

std::string_view NumbersOnlyMessage(TLanguage language) {
  return language == TLanguage::De ? "In diesem Feld sind nur Zahleneingaben erlaubt."
                                   : "In this box only numerical entries are allowed.";
}

TKeyOutcome KeyPressed(const SettingsStore& store, size_t index, char32_t key) {
  const TSettingEntry& entry = store.Entry(index);
  const TRule* rule = RuleOf(entry);
  if (!rule) return {};
  const std::string& text = entry.Text;
  const bool backspace = key == kBackspace;
  switch (rule->Family) {
    case TFamily::Free:
      return {};
    case TFamily::ReadOnly:
      return Refused();
    case TFamily::DigitsWithMessage:
      if (IsDigit(key) || backspace) return {};
      return {.Accepted = false, .ShowNumbersOnlyMessage = true};
    case TFamily::Digits:
      return IsDigit(key) || backspace ? TKeyOutcome{} : Refused();
    case TFamily::SignedInteger: {
      if (backspace) return {};
      const bool valid = text.empty() || text == "-" || core::IsIntegerText(text);
      return valid && (IsDigit(key) || key == '-') ? TKeyOutcome{} : Refused();
    }
    case TFamily::Decimal: {
      if (backspace) return {};
      const bool valid = text.empty() || text == "," || text == "." || core::IsDecimalText(text);
      return valid && (IsDigit(key) || key == ',' || key == '.') ? TKeyOutcome{} : Refused();
    }
    case TFamily::Percentage: {
      if (backspace) return {};
      const std::optional<int32_t> value = core::ParseIntegerText(text);
      const bool valid = text.empty() || (value && *value >= 0 && *value <= 100);
      return valid && IsDigit(key) ? TKeyOutcome{} : Refused();
    }
    case TFamily::Quality: {
      if (backspace) return {};
      const std::optional<int32_t> value = core::ParseIntegerText(text);
      const bool outOfRange = value && (*value <= 0 || *value > 100);
      return !outOfRange && IsDigit(key) ? TKeyOutcome{} : Refused();
    }
    case TFamily::Zoom:
      if (!IsDigit(key) && key != '%' && !backspace) return Refused();
      return {.ClearFirst = text.starts_with('<')};
    case TFamily::OutputFolder:
      if (IsOneOf(key, U"\"*<>?|")) return Refused();
      return {.ClearFirst = IsKeepToken(text)};
    case TFamily::OutputName:
      if (IsOneOf(key, U"\"*/:<>?\\|")) return Refused();
      return {.ClearFirst = IsKeepToken(text)};
    case TFamily::FolderPath:
      return IsOneOf(key, U"\"*<>?|") ? Refused() : TKeyOutcome{};
    case TFamily::FileName:
      return IsOneOf(key, U"\"*/:<>?\\|") ? Refused() : TKeyOutcome{};
    case TFamily::FilterText:
      return IsOneOf(key, U"\"*/<>?|") ? Refused() : TKeyOutcome{};
  }
  return {};
}

bool ItemChosen(SettingsStore& store, size_t index, size_t item) {
  const std::vector<std::string> items = ComboItems(store.Entry(index), store.Language());
  if (item >= items.size()) return false;
  if (IsCustomItem(items[item])) {
    store.SetText(index, "", TChangeSource::User);
    return true;
  }
  store.SetText(index, items[item], TChangeSource::User);
  return false;
}

void FocusLeft(SettingsStore& store, size_t index) {
  const TSettingEntry& entry = store.Entry(index);
  const TRule* rule = RuleOf(entry);
  if (!rule || !entry.Text.empty()) return;
  const std::vector<std::string> items = ComboItems(entry, store.Language());
  switch (rule->Leave) {
    case TLeave::Keep:
      return;
    case TLeave::Initial:
      store.SetText(index, entry.InitialText, TChangeSource::User);
      return;
    case TLeave::FirstItem:
      if (!items.empty()) store.SetText(index, items[0], TChangeSource::User);
      return;
    case TLeave::SecondItem:
      if (items.size() > 1) store.SetText(index, items[1], TChangeSource::User);
      return;
  }
}

}  // namespace pixolan::config
