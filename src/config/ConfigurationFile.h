// Configuration files (".pxc"): writing the whole store and applying a configuration or
// profile to it.
#pragma once

#include <cstdint>
#include <limits>
#include <string>

#include "config/SettingsStore.h"

namespace pixolan::config {

// The screen the windows are placed on; placements larger than it are ignored.
struct TScreenSize {
  int32_t Width = 0;
  int32_t Height = 0;
  // For front ends without a screen: every stored placement is taken.
  static TScreenSize Unlimited() {
    return {std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::max()};
  }
};

// Where a load comes from. Start-up covers the start configuration and configurations
// named on the command line: a stored maximized main window is then maximized. Loaded
// from the menu or a dialog, it only moves to the top-left corner.
enum class TLoadOrigin { StartUp, Menu };

// Writes a full configuration of the store into fileName: every stored control of every
// window under its section, the order list, the text font, both window placements, the
// visible areas, the autosave choice and the auto-close choice. An existing file is
// updated in place: keys the store does not know stay as they are. The file is written
// once, as a whole, so a failure leaves it as it was; it raises EConfigWriteError
// ("Unable to write to <file>").
void KonfigurationSpeichern(const SettingsStore& store, const std::string& fileName);

// Writes a profile of the store into fileName: the autosave choice ("AS"), then for each
// group ticked in the save-profile dialog, in the dialog's order, the main window's edit
// boxes, combo boxes, radio buttons, check boxes, scroll bars and memo whose direct parent
// is one of the group's panels, in creation order (the memo's line breaks as U+001F);
// the order list when "Order of Actions" is ticked and the text font when the text
// group is. Nothing is removed from an existing file, so a profile saved over a full
// configuration keeps its other keys. Written once, as a whole; raises EConfigWriteError
// ("Unable to write to <file>").
void KonfigurationSpeichernProfil(const SettingsStore& store, const std::string& fileName);

// Applies a configuration or profile file to the store, control by control in creation
// order, each as a program write (so later controls see the values loaded before them).
// Every read defaults to the control's current value, so missing or unreadable sections,
// keys and values leave the control as it is; a missing or unreadable file changes
// nothing but the steps that always run: the visible areas default to shown, the font
// styles to off, the delete-originals box is switched off, the order list is repaired
// and the texts are brought into the store's language. Never raises.
void KonfigurationLaden(SettingsStore& store, const std::string& fileName, TLoadOrigin origin,
                        TScreenSize screen);

}  // namespace pixolan::config
