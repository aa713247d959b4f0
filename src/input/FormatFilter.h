// Which files a folder scan takes: the extension set of the format filter and the
// subfolder setting, both read from the settings store.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "config/SettingsStore.h"

namespace pixolan::input {

// The extensions "All supported Formats" (PFRB.alle) stands for, in search order. ".jpeg"
// follows ".jpg": where file names have short forms, the search for "*.jpg" found ".jpeg"
// files through them, and a photo named "x.jpeg" is an image of every format choice.
std::span<const std::string_view> AllFormatExtensions();

// The check boxes of "Only the following selected Formats" (PFRB.auswahl), in the order
// their extensions are searched; each box is named after its extension without the dot.
std::span<const std::string_view> SelectableFormatBoxes();

struct TScanSettings {
  // With their dot, in search order; an empty set finds nothing.
  std::vector<std::string> Extensions;
  // Subfolders are searched as well ("Search Subfolders", PBCH.inp_uv).
  bool Recursive = true;
};

// Whether the format filter's check box `box` (a family box, a member or a single format)
// can be used: only with "Only the following selected Formats", and a family's members
// only while their family box is ticked. With "All supported Formats" every box is
// disabled, members of a ticked family too, since the scan takes every format anyway.
bool FormatBoxEnabled(const config::SettingsStore& store, std::string_view box);

// The scan settings the store holds: every extension with "All supported Formats", else
// those of the ticked format boxes; and inp_uv.
TScanSettings ScanSettingsOf(const config::SettingsStore& store);

}  // namespace pixolan::input
