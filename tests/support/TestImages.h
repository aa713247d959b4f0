// Engine images with known pixels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "imaging/image/Imaging.h"

namespace pixolan::test {

constexpr imaging::TPixel32 Bgra(uint8_t b, uint8_t g, uint8_t r, uint8_t a) {
  return {b, g, r, a};
}

// An image of the given format whose bytes are exactly `bytes` (width x height pixels).
imaging::TImageData MakeImage(int32_t width, int32_t height, imaging::TImageFormatId format,
                              const std::vector<uint8_t>& bytes);

// An A8R8G8B8 image of one color, given as 0xAARRGGBB.
imaging::TImageData Filled(int32_t width, int32_t height, uint32_t color);

std::vector<uint8_t> BytesOf(const imaging::TImageData& image);

std::vector<uint8_t> RandomBytes(size_t count, uint32_t seed);

// Random pixels where every `runEvery`-th pixel repeats its predecessor, so that
// run-length coders meet runs as well as literal stretches. Block formats get random blocks.
imaging::TImageData ImageWithRuns(int32_t width, int32_t height, imaging::TImageFormatId format,
                                  uint32_t seed, size_t runEvery);

// Fills the palette of an indexed image (if it has one) with random opaque colors.
void FillRandomOpaquePalette(imaging::TImageData& image, uint32_t seed);

// One case of a writer test over formats, compression and widths.
struct TWriterCase {
  imaging::TImageFormatId Format;
  bool Rle;
  int32_t Width;
};

std::string CaseName(const TWriterCase& c);

}  // namespace pixolan::test
