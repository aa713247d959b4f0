// The resampling paths behind ImageStretchRect, exposed for the tests and benchmarks that
// prove the fast paths byte-identical to the general path, and the helpers the geometric
// operations share with it.
#pragma once

#include <cstdint>

#include "imaging/geometry/Resample.h"
#include "imaging/image/Formats.h"

namespace pixolan::imaging::detail {

// Pixels of one format addressed by the absolute coordinates of the image they came from:
// Bits points at pixel (X0, Y0). The mapping tables always use absolute coordinates
// because their float centres depend on them.
struct TResampleSource {
  const uint8_t* Bits = nullptr;
  int64_t Stride = 0;
  int32_t X0 = 0, Y0 = 0;
  const TFormatDescriptor* Format = nullptr;
  const TPixel32* Palette = nullptr;

  const uint8_t* Pixel(int32_t x, int32_t y) const {
    return Bits + int64_t(y - Y0) * Stride + int64_t(x - X0) * Format->BytesPerPixel;
  }
};

// The destination rectangle: Bits points at its top-left pixel. When Sums is set (tests of
// the 8-bit formats), the unrounded float results go there instead, Channels floats per
// pixel and rows of the rectangle's width, so that paths can be compared bit for bit.
struct TResampleTarget {
  uint8_t* Bits = nullptr;
  int64_t Stride = 0;
  const TFormatDescriptor* Format = nullptr;
  const TPixel32* Palette = nullptr;
  float* Sums = nullptr;
};

// Instruction sets the fast path can use; Best picks the widest the processor has.
enum class TSimdLevel { Best, Portable, SSE2, AVX2 };
// Whether the processor (and the build) can run a level.
bool SimdLevelAvailable(TSimdLevel level);

// The general filtered path: both mapping tables, a line buffer of four floats per
// contributing source column, vertical then horizontal accumulation in contributor order.
// Formats with one byte per channel work on their first Channels bytes and round half to
// even; all others go through ReadPixelFP/WritePixelFP. Source and destination share the
// format, which must not be compressed. The filter must be bilinear or bicubic.
void ResampleFilteredGeneral(const TResampleSource& src, int32_t srcX, int32_t srcY,
                             int32_t srcWidth, int32_t srcHeight, const TResampleTarget& dst,
                             int32_t dstWidth, int32_t dstHeight, TResizeFilter filter);

// The same result for Gray8, A8Gray8, R8G8B8, A8R8G8B8 and X8R8G8B8, vectorised across
// channels and pixels with the float operations in the general path's order; destination
// rows may be split over threads. False, with nothing done, for any other format.
bool ResampleFilteredFast(const TResampleSource& src, int32_t srcX, int32_t srcY, int32_t srcWidth,
                          int32_t srcHeight, const TResampleTarget& dst, int32_t dstWidth,
                          int32_t dstHeight, TResizeFilter filter, int32_t threads = 1,
                          TSimdLevel level = TSimdLevel::Best);

// Compressed images are edited as A8R8G8B8: DecodeForEditing gives a decoded copy, and
// EncodeKeepingSize compresses it back into `format` at its own width and height (the
// block padding repeats the edge pixels instead of stretching the image to whole blocks).
void DecodeForEditing(const TImageData& image, TImageData& decoded);
void EncodeKeepingSize(TImageData& image, TImageFormatId format);

// Pixels of a rectangle of src in the format `format`, for copying or resampling into an
// image of that format whose palette is `palette` (null for other formats). Uses src in
// place when it already has the format and does not share its buffer with `writeTarget`;
// otherwise `holder` receives a converted copy. Colors bound for an indexed format with a
// palette are matched against that palette, so that the indices mean what they show.
TResampleSource PrepareSource(const TImageData& src, int32_t x, int32_t y, int32_t width,
                              int32_t height, TImageFormatId format, const TPixel32* palette,
                              const uint8_t* writeTarget, TImageData& holder);

}  // namespace pixolan::imaging::detail
