#include "imaging/geometry/NearestResample.h"

#include <cstring>
#include <vector>

namespace pixolan::imaging {

void ResampleNearest(const uint8_t* src, int64_t srcStride, int32_t srcWidth, int32_t srcHeight,
                     uint8_t* dst, int64_t dstStride, int32_t dstWidth, int32_t dstHeight,
                     int32_t bytesPerPixel) {
  if (srcWidth <= 0 || srcHeight <= 0 || dstWidth <= 0 || dstHeight <= 0) return;
  const int64_t stepX = (int64_t(srcWidth) << 16) / dstWidth;
  const int64_t stepY = (int64_t(srcHeight) << 16) / dstHeight;

  // Column offsets are the same for every row.
  std::vector<int64_t> columns(static_cast<size_t>(dstWidth));
  int64_t accumulator = 0;
  for (int32_t x = 0; x < dstWidth; ++x, accumulator += stepX)
    columns[size_t(x)] = (accumulator >> 16) * bytesPerPixel;

  accumulator = 0;
  for (int32_t y = 0; y < dstHeight; ++y, accumulator += stepY) {
    const uint8_t* srcRow = src + (accumulator >> 16) * srcStride;
    uint8_t* dstRow = dst + int64_t(y) * dstStride;
    for (int32_t x = 0; x < dstWidth; ++x)
      std::memcpy(dstRow + int64_t(x) * bytesPerPixel, srcRow + columns[size_t(x)],
                  size_t(bytesPerPixel));
  }
}

}  // namespace pixolan::imaging
