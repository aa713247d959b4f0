// What typing into a control, choosing a combo box entry and leaving a control do to its
// text: the rules a front end applies before it changes the store.
#pragma once

#include <cstddef>
#include <string_view>

#include "config/SettingsStore.h"

namespace pixolan::config {

inline constexpr char32_t kBackspace = 0x08;

struct TKeyOutcome {
  // The key goes into the box.
  bool Accepted = true;
  // The front end shows NumbersOnlyMessage in an information box with an OK button.
  bool ShowNumbersOnlyMessage = false;
  // The box is emptied before the key goes in, so that the key starts a new text.
  bool ClearFirst = false;
};

// The effect of typing key into the control at index, given its current text in the
// store. Number boxes accept their characters while their text is a valid number or
// still empty (or only a sign or separator), and always accept Backspace, so that a box
// can never get stuck; read-only lists take no key; name and folder boxes drop the
// characters a file name or folder cannot hold. Controls without a rule accept any key.
TKeyOutcome KeyPressed(const SettingsStore& store, size_t index, char32_t key);

// "In diesem Feld sind nur Zahleneingaben erlaubt." / "In this box only numerical entries
// are allowed."
std::string_view NumbersOnlyMessage(TLanguage language);

// "Benutzer..", "Custom.." and "Benutzerdefiniert..": the entries that clear a combo box
// for typing instead of becoming its text.
bool IsCustomItem(std::string_view item);

// The user chose entry `item` (of the items in the store's language) of the combo box at
// index. "Benutzer.." / "Custom.." / "Benutzerdefiniert.." clear the box for typing
// and return true: the front end then deselects the entry and puts the focus into the
// box. Any other entry becomes the text (as a user change) and false is returned. An item
// out of range changes nothing.
bool ItemChosen(SettingsStore& store, size_t index, size_t item);

// The control at index lost the focus: an empty box gets its value back (size and offset
// boxes their default, the crop boxes and the vertical blur radius their first entry,
// the horizontal blur radius and sharpen radius their second entry, the output folder
// its first and the output name its second entry).
void FocusLeft(SettingsStore& store, size_t index);

}  // namespace pixolan::config
