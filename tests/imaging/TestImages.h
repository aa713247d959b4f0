// Small helpers shared by the engine tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "imaging/Imaging.h"

namespace pixolan::imaging::test {

// An image of the given format whose bytes are exactly `bytes` (width x height pixels).
inline TImageData MakeImage(int32_t width, int32_t height, TImageFormatId format,
                            const std::vector<uint8_t>& bytes) {
  TImageData image;
  ImageCreate(width, height, format, image);
  std::memcpy(image.bits(), bytes.data(), std::min<size_t>(bytes.size(), size_t(image.Size)));
  return image;
}

inline std::vector<uint8_t> BytesOf(const TImageData& image) {
  return std::vector<uint8_t>(image.bits(), image.bits() + image.Size);
}

inline std::vector<uint8_t> RandomBytes(size_t count, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> bytes(count);
  for (auto& b : bytes) b = uint8_t(rng());
  return bytes;
}

// Fills the palette of an indexed image (if it has one) with random opaque colors.
inline void FillRandomOpaquePalette(TImageData& image, uint32_t seed) {
  if (!image.palette()) return;
  const std::vector<uint8_t> colors = RandomBytes(256 * 3, seed);
  for (int i = 0; i < 256; ++i)
    image.palette()[i] = {colors[size_t(i) * 3], colors[size_t(i) * 3 + 1],
                          colors[size_t(i) * 3 + 2], 255};
}

}  // namespace pixolan::imaging::test
