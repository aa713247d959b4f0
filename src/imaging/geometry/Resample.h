// Resizing and rectangle stretching with nearest-neighbour, bilinear and bicubic filters.
#pragma once

#include <cstdint>
#include <vector>

#include "imaging/image/ImagingTypes.h"

namespace pixolan::imaging {

// Filter numbers as settings store them; any other value is a filter the engine lacks.
enum class TResizeFilter : int32_t {
  Nearest = 0,
  Bilinear = 1,
  Bicubic = 2,
};

// One source pixel's share in a destination pixel of one axis.
struct TContributor {
  int32_t Pixel = 0;  // absolute source coordinate
  float Weight = 0.0f;
};
// The contributors of one destination pixel, in the order they are accumulated.
using TCluster = std::vector<TContributor>;
// One cluster per destination pixel of an axis.
using TMappingTable = std::vector<TCluster>;

// True for the three filters above.
bool IsResizeFilter(TResizeFilter filter);
// Kernel value and support radius of the bilinear and bicubic filters, in 32-bit floats;
// 0 for the nearest-neighbour filter and unknown values.
float FilterKernel(TResizeFilter filter, float x);
float FilterRadius(TResizeFilter filter);

// Maps the source span srcLow..srcHigh-1 onto dstSpan destination pixels for a bilinear or
// bicubic filter. Weights of exactly 0 are dropped, indices are clamped to the span (edge
// pixels repeat) and every cluster's weights are made to sum to 1 by correcting its middle
// contributor. Raises EImagingError for an empty span or a filter without kernel.
TMappingTable BuildMappingTable(int32_t srcLow, int32_t srcHigh, int32_t dstSpan,
                                TResizeFilter filter);

// Replaces the image by a resampled one of newWidth x newHeight pixels in the same format;
// the palette is kept and indexed images are always resampled by nearest neighbour.
// False, with nothing changed, for an invalid image, for the current size, and for an
// unknown filter on a format that would use it. A size below 1 x 1 raises EImagingError.
bool ImageResize(TImageData& image, int32_t newWidth, int32_t newHeight, TResizeFilter filter);
// The same resampling from a source that is only read; the new image goes to result. False,
// with result untouched, where ImageResize returns false.
bool ImageResizeTo(const TImageData& image, int32_t newWidth, int32_t newHeight,
                   TResizeFilter filter, TImageData& result);

// Resamples a rectangle of src into a rectangle of dst, which keeps its format. Both
// rectangles are clipped to their images keeping the mapping of the visible part; equal
// extents after clipping make it a plain ImageCopyRect. Indexed destinations force the
// nearest-neighbour filter; compressed destinations are decoded for the operation and
// encoded again at their own size. False when nothing was drawn.
bool ImageStretchRect(const TImageData& src, int32_t srcX, int32_t srcY, int32_t srcWidth,
                      int32_t srcHeight, TImageData& dst, int32_t dstX, int32_t dstY,
                      int32_t dstWidth, int32_t dstHeight, TResizeFilter filter);

// Threads the filtered resampling of the 8-bit formats may split destination rows over.
// The result is the same for every count; the default is 1 so that callers that already
// work in parallel (one image per thread) do not oversubscribe the machine.
void SetResampleThreadCount(int32_t count);
int32_t ResampleThreadCount();

}  // namespace pixolan::imaging
