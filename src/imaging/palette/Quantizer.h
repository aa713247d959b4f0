// Median-cut color reduction.
#pragma once

#include <cstdint>

#include "imaging/image/Formats.h"
#include "imaging/image/ImagingTypes.h"

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
// (engine option kOptionColorReductionMask). Working storage is per call, so runs may proceed in
// parallel; as every call starts with an empty histogram, a step only has an effect together with
// the steps before it (the program always passes kQuantAllSteps). Boxes are cut by median cut,
// sorted by pixel count (largest first, equal counts in the order they were made) and each
// pixel gets the index of the first box whose ranges hold it, else 0.
// Raises EImagingError for a negative count, missing buffers, a source format without
// readable color pixels (indexed, compressed), an index width other than 1, 2 or 4, or
// 1-byte indices with more than 256 colors.
void MedianCutQuantizer(int32_t pixelCount, const uint8_t* source,
                        const TFormatDescriptor& sourceFormat, uint8_t* indices, int indexBytes,
                        TPixel32* palette, uint32_t steps, uint8_t mask, int32_t n);

// Limits the number of distinct colors (MaxColors clamped to 2..65535, at most 4096
// effective); the image keeps its format and size. The image goes through A8R8G8B8 and
// back, so an indexed image is quantized again on the way back. False for an invalid
// image; a failure inside raises EImagingError naming the count and the image.
bool ImageReduceColors(TImageData& image, int32_t maxColors);

}  // namespace pixolan::imaging
