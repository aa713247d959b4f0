// The one snapshot a run works from: everything the store says about the actions, the
// output and the saving, taken when the run starts. Whoever filled the store (the window,
// a configuration file, command-line flags), the run sees only this.
#pragma once

#include <cstdint>

#include "core/ConversionSettings.h"

namespace pixolan::core {

// The output settings window: how JPEG, JNG, MNG and PSD results are coded.
struct TSaveSettings {
  int32_t Quality = 95;  // 1..100 for JPEG, JNG and MNG
  bool Progressive = false;
  bool PsdLayers = true;

  bool operator==(const TSaveSettings&) const = default;
};

struct TRunSettings {
  ConversionSettings Conversion;  // the actions and the output group
  TSaveSettings Save;

  bool operator==(const TRunSettings&) const = default;
};

// Sets the engine's output options from the save settings: the quality and progressive
// coding of JPEG, JNG and MNG and the PSD layer. Options of handlers this build lacks are
// not bound, and setting them does nothing. The options are process-wide, so a run sets
// them once before its first file.
void ApplySaveSettings(const TSaveSettings& save);

}  // namespace pixolan::core
