// Every text of every window in German and English: the main window, its menus, the
// dialogs, the renamer and the shortcut window; the named texts other parts read (status
// lines, count suffixes, dialog titles) and the count label rule.
#pragma once

#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "lang/Language.h"

namespace pixolan::lang {

// The window title, the same in both languages.
inline constexpr std::string_view kWindowTitle = "Pixolan - Orvanta";

// One text of a control. Property is "caption" (label, check box, radio button), "text"
// (button, panel), "hint" (tooltip), "column N" (a column title of the input list) or
// "item N" (an entry of a list).
struct TControlText {
  std::string_view Control;
  std::string_view Property;
  std::string_view German;
  std::string_view English;
};

// Every text the main window sets on a language switch, area by area.
std::span<const TControlText> MainWindowTexts();
// The text of a control's property; nullopt for controls that keep their form text.
std::optional<std::string_view> MainWindowText(std::string_view control, std::string_view property,
                                               TLanguage language);

// A text of a control of some window: the menus (window "Tprog") and the dialogs.
// Property is "caption", "column N" or "shortcut" (a menu entry's key); a label with two
// states has one property per state ("caption active" / "caption inactive").
struct TWindowText {
  std::string_view Window;
  std::string_view Control;
  std::string_view Property;
  std::string_view German;
  std::string_view English;
};
std::span<const TWindowText> MenuTexts();
std::span<const TWindowText> DialogTexts();
// Any window's text: the main window's table and menus for "Tprog", the dialogs' tables
// for the others; nullopt for a text the tables do not list.
std::optional<std::string_view> WindowText(std::string_view window, std::string_view control,
                                           std::string_view property, TLanguage language);

// A group of the image open dialog's filter: its name and patterns ("*.bmp").
struct TFilterGroup {
  std::string Name;
  std::vector<std::string> Patterns;
};
// The groups in order; the first reads every pattern of the others.
std::vector<TFilterGroup> ImageOpenFilter(TLanguage language);

// A text other parts read by name ("TextChooseFolder", "TextImagesSuffix", the renamer's
// status texts, the names the shell registrations use, ...).
struct TNamedText {
  std::string_view Name;
  std::string_view German;
  std::string_view English;
};
std::span<const TNamedText> LanguageTexts();
// Raises std::invalid_argument for a name the table lacks.
std::string_view LanguageText(std::string_view name, TLanguage language);

// The count label of the input list: the count and " Bild"/" Image" for exactly 1,
// " Bilder"/" Images" otherwise.
std::string CountLabel(size_t count, TLanguage language);

}  // namespace pixolan::lang
