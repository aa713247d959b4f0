// The engine's image record, pixel formats, pixel value types and error type.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace pixolan::imaging {

// Pixel formats. The numeric ids are stored in files and options; never renumber.
enum class TImageFormatId : int32_t {
  Unknown = 0,
  Default = 1,  // stands for A8R8G8B8 wherever a target format is taken
  Index8 = 10,
  Gray8 = 40,
  A8Gray8 = 41,
  Gray16 = 42,
  Gray32 = 43,
  Gray64 = 44,
  A16Gray16 = 45,
  X5R1G1B1 = 80,
  R3G3B2 = 81,
  R5G6B5 = 82,
  A1R5G5B5 = 83,
  A4R4G4B4 = 84,
  X1R5G5B5 = 85,
  X4R4G4B4 = 86,
  R8G8B8 = 87,
  A8R8G8B8 = 88,
  X8R8G8B8 = 89,
  R16G16B16 = 90,
  A16R16G16B16 = 91,
  B16G16R16 = 92,
  A16B16G16R16 = 93,
  R32F = 170,
  A32R32G32B32F = 171,
  A32B32G32R32F = 172,
  R16F = 173,
  A16R16G16B16F = 174,
  A16B16G16R16F = 175,
  DXT1 = 220,
  DXT3 = 221,
  DXT5 = 222,
  BTC = 223,
  ATI1N = 224,
  ATI2N = 225,
};

// Highest id a format set can hold (the writable-format sets of handlers).
inline constexpr int kMaxFormatSetId = 231;

// 32-bit AARRGGBB color; in memory B, G, R, A.
struct TPixel32 {
  uint8_t B = 0, G = 0, R = 0, A = 0;

  static constexpr TPixel32 FromColor(uint32_t c) {
    return {uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16), uint8_t(c >> 24)};
  }
  constexpr uint32_t Color() const {
    return uint32_t(B) | uint32_t(G) << 8 | uint32_t(R) << 16 | uint32_t(A) << 24;
  }
  // Channel by index: 0 blue, 1 green, 2 red, 3 alpha.
  uint8_t& operator[](int i) { return reinterpret_cast<uint8_t*>(this)[i]; }
  uint8_t operator[](int i) const { return reinterpret_cast<const uint8_t*>(this)[i]; }
  friend constexpr bool operator==(const TPixel32&, const TPixel32&) = default;
};
static_assert(sizeof(TPixel32) == 4);

// Four unsigned 16-bit channels, B, G, R, A: the intermediate of integer conversions.
struct TPixel64 {
  uint16_t B = 0, G = 0, R = 0, A = 0;

  uint16_t& operator[](int i) { return i == 0 ? B : i == 1 ? G : i == 2 ? R : A; }
  uint16_t operator[](int i) const { return i == 0 ? B : i == 1 ? G : i == 2 ? R : A; }
  friend constexpr bool operator==(const TPixel64&, const TPixel64&) = default;
};
static_assert(sizeof(TPixel64) == 8);

// Four floats B, G, R, A, nominally 0..1.
struct TPixelFP {
  float B = 0, G = 0, R = 0, A = 0;

  float& operator[](int i) { return i == 0 ? B : i == 1 ? G : i == 2 ? R : A; }
  float operator[](int i) const { return i == 0 ? B : i == 1 ? G : i == 2 ? R : A; }
};

// Engine failure. The message names the operation and describes the image.
class EImagingError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One image: rows top to bottom without padding. Owns Bits and Palette; a record
// can be moved but copying goes through ImageClone so that deep copies are explicit.
struct TImageData {
  int32_t Width = 0;
  int32_t Height = 0;
  TImageFormatId Format = TImageFormatId::Unknown;
  int32_t Size = 0;
  std::unique_ptr<uint8_t[]> Bits;
  std::unique_ptr<TPixel32[]> Palette;

  TImageData() = default;
  TImageData(TImageData&&) noexcept = default;
  TImageData& operator=(TImageData&&) noexcept = default;
  TImageData(const TImageData&) = delete;
  TImageData& operator=(const TImageData&) = delete;

  uint8_t* bits() { return Bits.get(); }
  const uint8_t* bits() const { return Bits.get(); }
  TPixel32* palette() { return Palette.get(); }
  const TPixel32* palette() const { return Palette.get(); }
};

using TDynImageDataArray = std::vector<TImageData>;

// Allocates a zero-filled buffer; with AllocBitsForOverwrite, whose bytes are unset, the
// engine's only ways to get pixel memory.
std::unique_ptr<uint8_t[]> AllocBits(size_t bytes);
std::unique_ptr<uint8_t[]> AllocBitsForOverwrite(size_t bytes);
std::unique_ptr<TPixel32[]> AllocPalette(size_t entries);

}  // namespace pixolan::imaging
