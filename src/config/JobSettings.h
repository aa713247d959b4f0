// Taking the settings of a run from the store: the action snapshot, the engine's output
// options and the order of the actions.
#pragma once

#include <array>
#include <stdexcept>

#include "config/SettingsStore.h"
#include "core/ConversionSettings.h"
#include "core/RunSettings.h"

namespace pixolan::config {

// The output settings cannot be used for a run (the quality is not a whole number).
class EOutputSettingsError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

using TActionSteps = std::array<int, core::kActionCount + 1>;

// The actions of the order list from top to bottom. An entry whose first two characters
// are an action number 01..11 not used by an entry above keeps that action; every other
// entry (no number, a number out of range, a repeated number) takes one of the actions
// the list lacks, the smallest first. The result is always a permutation of 1..11.
std::array<int, core::kActionCount> RepairedOrder(const SettingsStore& store);

// ActionStep of each action (indexed by ActionId) from the repaired order list.
TActionSteps ActionStepsOf(const SettingsStore& store);

// Recomputes the order after the list changed: rewrites every entry of the list as
// "NN   Label" of its repaired action in the store's language (so a damaged list is
// repaired where the user sees it) and returns the steps.
TActionSteps ReihenFolgeFestlegen(SettingsStore& store);

// Fills settings from the store, as a run, a preview or a clipboard conversion starts.
// When the resize action is on and its user-defined size is checked, a width or height
// that is not an integer switches the resize action off, in the store too (the window
// shows it), and the run goes without resizing. A resize method the store does not know
// leaves settings.ResizeFilter as it was.
void KonvertierWerteSetzen(SettingsStore& store, core::ConversionSettings& settings);

// Only the output group (overwrite, folder, name, format, delete original), which reads the
// store and never changes it: what the output line under the preview needs.
void TakeOutputSettings(const SettingsStore& store, core::ConversionSettings& settings);

// The output settings window: the quality for JPEG, JNG and MNG, progressive coding for the
// same three and PSD layers. A quality that is not a whole number raises
// EOutputSettingsError, with a message in the store's language.
core::TSaveSettings SaveSettingsOf(const SettingsStore& store);

// Sets the engine's output options from the output settings window (SaveSettingsOf); a
// quality that is not a whole number raises before any option is set.
void AusgabeWerteSetzen(const SettingsStore& store);

// The snapshot a run starts with: KonvertierWerteSetzen's settings and the output
// settings window. Raises EOutputSettingsError, before anything changes, for a quality
// that is not a whole number. Every front end starts its runs through this, so the run
// sees the store and nothing else.
core::TRunSettings TakeRunSettings(SettingsStore& store);

}  // namespace pixolan::config
