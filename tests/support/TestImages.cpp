#include "support/TestImages.h"

#include <algorithm>
#include <cstring>
#include <random>

namespace pixolan::test {

using namespace imaging;

TImageData MakeImage(int32_t width, int32_t height, TImageFormatId format,
                     const std::vector<uint8_t>& bytes) {
  TImageData image;
  ImageCreate(width, height, format, image);
  if (!bytes.empty())
    std::memcpy(image.bits(), bytes.data(), std::min<size_t>(bytes.size(), size_t(image.Size)));
  return image;
}

TImageData Filled(int32_t width, int32_t height, uint32_t color) {
  TImageData image;
  ImageCreate(width, height, TImageFormatId::A8R8G8B8, image);
  const TPixel32 pixel = TPixel32::FromColor(color);
  for (int32_t i = 0; i < width * height; ++i) std::memcpy(image.bits() + i * 4, &pixel, 4);
  return image;
}

std::vector<uint8_t> BytesOf(const TImageData& image) {
  return std::vector<uint8_t>(image.bits(), image.bits() + image.Size);
}

std::vector<uint8_t> RandomBytes(size_t count, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> bytes(count);
  for (auto& b : bytes) b = uint8_t(rng());
  return bytes;
}

TImageData ImageWithRuns(int32_t width, int32_t height, TImageFormatId format, uint32_t seed,
                         size_t runEvery) {
  const TFormatDescriptor& descriptor = *GetFormatDescriptor(format);
  // Block formats have no pixels to repeat: random blocks.
  if (descriptor.IsCompressed)
    return MakeImage(width, height, format,
                     RandomBytes(size_t(descriptor.ByteSize(format, width, height)), seed));
  const size_t bpp = size_t(descriptor.BytesPerPixel);
  std::vector<uint8_t> bytes = RandomBytes(size_t(width) * size_t(height) * bpp, seed);
  for (size_t i = 0; i + 2 * bpp < bytes.size(); i += runEvery * bpp)
    std::copy_n(bytes.begin() + ptrdiff_t(i), bpp, bytes.begin() + ptrdiff_t(i + bpp));
  return MakeImage(width, height, format, bytes);
}

void FillRandomOpaquePalette(TImageData& image, uint32_t seed) {
  if (!image.palette()) return;
  const std::vector<uint8_t> colors = RandomBytes(256 * 3, seed);
  for (int i = 0; i < 256; ++i)
    image.palette()[i] = {colors[size_t(i) * 3], colors[size_t(i) * 3 + 1],
                          colors[size_t(i) * 3 + 2], 255};
}

std::string CaseName(const TWriterCase& c) {
  return FormatName(c.Format) + (c.Rle ? " RLE" : "") + " width " + std::to_string(c.Width);
}

}  // namespace pixolan::test
