// "Reset all Settings": a fixed set of controls back to fixed values.
#pragma once

#include "config/SettingsStore.h"

namespace pixolan::config {

// Sets the controls of the reset, in its order, each as the user would change it: the
// main window's texts, check boxes, radio buttons, scroll bars, memo and panels; the
// order list sorted into the action numbers 01 to 11 (and the steps recomputed); the
// format filter, the output settings, the renamer and its filter; the visible areas, the
// autosave choice ("Never") and the auto-close choice (off). Texts are set in German
// whatever the store's language. Every control the reset does not name keeps its value
// (the watch and clipboard boxes, deleting the originals, the watermark file, the color
// channels group, colorizing, the text font, the other panels, window placements, the
// PSD layers, the renamer's search boxes, the save-profile dialog and the shortcuts).
// Writes no file.
void KonfigurationLadenStandard(SettingsStore& store);

}  // namespace pixolan::config
