// Median-cut color reduction.
#pragma once

#include <cstdint>

#include "Formats.h"
#include "ImagingTypes.h"

namespace pixolan::imaging {

// Steps of one quantizer run; the program always passes all of them.
enum TQuantizerSteps : uint32_t {
  kQuantClearHistogram = 1,
  kQuantAddPixels = 2,
  kQuantBuildPalette = 4,
  kQuantMapPixels = 8,
  kQuantAllSteps = 15,
};

// Reduces the colors of the given pixels to at most N (clamped to 2..4096).
// Source: pixelCount pixels of sourceFormat (any ordinary, non-indexed format, read as
// TPixel32). Indices: pixelCount indices of indexBytes (1, 2 or 4) bytes each. Palette:
// N entries, filled with the box averages, then opaque black. mask is the reduction mask
// (engine option 128). Working storage is per call, so runs may proceed in parallel.
void MedianCutQuantizer(int32_t pixelCount, const uint8_t* source,
                        const TFormatDescriptor& sourceFormat, uint8_t* indices, int indexBytes,
                        TPixel32* palette, uint32_t steps, uint8_t mask, int32_t n);

// Limits the number of distinct colors (MaxColors clamped to 2..65535, at most 4096
// effective); the image keeps its format and size.
bool ImageReduceColors(TImageData& image, int32_t maxColors);

}  // namespace pixolan::imaging
