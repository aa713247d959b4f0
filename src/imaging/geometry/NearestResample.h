// Nearest-neighbour resampling of raw pixel rows, shared by format conversion and the
// resize operations.
#pragma once

#include <cstdint>

namespace pixolan::imaging {

// Copies whole pixels of bytesPerPixel bytes from a srcWidth x srcHeight rectangle (rows
// srcStride bytes apart) into a dstWidth x dstHeight rectangle (rows dstStride apart).
// The source coordinate of destination pixel i is (i * step) >> 16 with
// step = (srcSpan << 16) / dstSpan, accumulated; 64-bit arithmetic keeps spans beyond
// 32767 pixels exact.
void ResampleNearest(const uint8_t* src, int64_t srcStride, int32_t srcWidth, int32_t srcHeight,
                     uint8_t* dst, int64_t dstStride, int32_t dstWidth, int32_t dstHeight,
                     int32_t bytesPerPixel);

}  // namespace pixolan::imaging
