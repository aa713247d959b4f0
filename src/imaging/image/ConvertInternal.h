// Pixel conversion routines behind ImageConvert, exposed for tests and benchmarks that
// prove the fast paths byte-identical to the general path.
#pragma once

#include <cstdint>

#include "imaging/image/Formats.h"

namespace pixolan::imaging::detail {

// The general path: converts count pixels one by one through the integer or float
// intermediates. The target must not be indexed (that needs the whole image).
void ConvertPixelsGeneric(const uint8_t* src, const TFormatDescriptor& srcFormat,
                          const TPixel32* srcPalette, uint8_t* dst,
                          const TFormatDescriptor& dstFormat, int64_t count);

// The fast paths for the 8-bit formats; false when the pair has none.
bool ConvertPixelsFast(const uint8_t* src, const TFormatDescriptor& srcFormat,
                       const TPixel32* srcPalette, uint8_t* dst, const TFormatDescriptor& dstFormat,
                       int64_t count);

// Gray of three bytes with the gray weights, rounded half to even.
uint8_t GrayOfBytes(uint8_t r, uint8_t g, uint8_t b);

}  // namespace pixolan::imaging::detail
