// The language rules of the stored texts: how a language switch rewrites the text of an
// editable combo box or a fixed list, and the items each combo box shows in a language.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "config/SettingsStore.h"

namespace pixolan::config {

// The entry's text as it reads in language `to`. Editable combo boxes keep what the user
// typed with their German or English tokens exchanged ("<beibehalten>" and "<keep>",
// "%ordner%" and "%folder%", "Bikubisch" and "Bicubic", ...); the fixed lists keep the
// chosen entry; the preview zoom returns to its first entry; decimal texts take the
// language's separator. Texts without a rule come back unchanged.
std::string TranslatedText(const TSettingEntry& entry, std::string_view text, TLanguage to);

// The items of a combo box in a language.
std::vector<std::string> ComboItems(const TSettingEntry& entry, TLanguage language);

}  // namespace pixolan::config
