// The per-image pipeline: the enabled actions in the order list's order.
#pragma once

#include <string>

#include "core/ConversionSettings.h"
#include "core/MessageSink.h"
#include "imaging/image/ImagingTypes.h"

namespace pixolan::core {

// Applies the enabled actions of settings to a working copy of image. For step 0..10 the
// actions are tested in the fixed sequence Resize, Rotate and mirror, Color, Contrast/
// brightness/saturation, Blur, Sharpen, Crop, Frame, Color channels, Watermark (only with a
// path), Text (only with a text); each runs at its own step, so the steps decide the order.
// scale (> 0) multiplies the pixel distances taken from the settings (1 for runs; the
// preview passes its reduction).
//
// Never raises. When an action fails, messages gets "konvertierfehler" with sourcePath, no
// later action runs, result is a copy of the unchanged input and the return is false. The
// input is only read, so a caller may keep it for the failure case.
bool Konvertieren(const imaging::TImageData& image, const std::string& sourcePath,
                  imaging::TImageData& result, long double scale,
                  const ConversionSettings& settings, TMessageSink& messages);

// The same conversion with the result in place of image. When an action fails, image keeps
// the unchanged input. Without a working copy where none is needed: no action runs, or the
// first one is a resize, which reads the input and makes a new image.
bool Konvertieren(imaging::TImageData& image, const std::string& sourcePath, long double scale,
                  const ConversionSettings& settings, TMessageSink& messages);

}  // namespace pixolan::core
