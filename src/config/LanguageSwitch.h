// Switching the interface language of the whole program.
#pragma once

#include "config/SettingsStore.h"

namespace pixolan::config {

// The language menu's command: the process language becomes `language` and the store's
// texts follow (editable combo boxes exchange their tokens, the order list is
// re-labelled, the preview zoom returns to its first entry). The preview is switched off
// for the switch and back on afterwards when it was on, so that listeners recompute it
// once rather than for every text that changes; windows then take their texts from the
// language tables.
void sprachealles(SettingsStore& store, TLanguage language);

}  // namespace pixolan::config
