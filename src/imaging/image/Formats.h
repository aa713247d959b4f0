// Pixel format descriptors, packed layouts and single-pixel accessors.
#pragma once

#include <cstdint>
#include <string>

#include "imaging/image/ImagingTypes.h"

namespace pixolan::imaging {

struct TFormatDescriptor;

// Bit layout of the packed 8- and 16-bit formats. Max is (1 << bits) - 1, or 1 for a
// channel without bits so that divisions by it stay defined.
struct TPackedChannel {
  uint32_t Mask = 0;
  uint8_t Shift = 0;
  uint8_t Max = 1;
  uint8_t Bits = 0;
};
struct TPackedLayout {
  TPackedChannel A, R, G, B;
};

using TByteSizeFunc = int64_t (*)(TImageFormatId format, int64_t width, int64_t height);
using TFitDimensionsFunc = void (*)(TImageFormatId format, int32_t& width, int32_t& height);
using TReadPixel32Func = TPixel32 (*)(const TFormatDescriptor& d, const uint8_t* pixel,
                                      const TPixel32* palette);
using TWritePixel32Func = void (*)(const TFormatDescriptor& d, uint8_t* pixel,
                                   const TPixel32* palette, TPixel32 color);
using TReadPixelFPFunc = TPixelFP (*)(const TFormatDescriptor& d, const uint8_t* pixel,
                                      const TPixel32* palette);
using TWritePixelFPFunc = void (*)(const TFormatDescriptor& d, uint8_t* pixel,
                                   const TPixel32* palette, const TPixelFP& color);

struct TFormatDescriptor {
  TImageFormatId Format = TImageFormatId::Unknown;
  char Name[16] = {};
  int32_t BytesPerPixel = 0;  // 0 for compressed formats
  int32_t Channels = 0;
  int32_t PaletteSize = 0;
  bool IsGray = false;
  bool HasAlpha = false;
  bool IsFloat = false;
  bool UsesPackedLayout = false;
  bool RedBlueSwapped = false;
  TImageFormatId RedBlueTwin = TImageFormatId::Unknown;
  bool IsIndexed = false;
  bool IsCompressed = false;
  const TPackedLayout* Layout = nullptr;
  // Byte size of an image; 64-bit so that callers can refuse overflowing sizes.
  TByteSizeFunc ByteSize = nullptr;
  TFitDimensionsFunc FitDimensions = nullptr;
  // Null for compressed formats: their pixels are reached by converting first.
  TReadPixel32Func ReadPixel32 = nullptr;
  TReadPixelFPFunc ReadPixelFP = nullptr;
  TWritePixel32Func WritePixel32 = nullptr;
  TWritePixelFPFunc WritePixelFP = nullptr;
  TImageFormatId DecodedFormat = TImageFormatId::Unknown;
};

// Descriptor of a format, or null when the id has none (Unknown, unused ids).
// Default resolves to the descriptor of A8R8G8B8.
const TFormatDescriptor* GetFormatDescriptor(TImageFormatId format);
bool FormatDescriptorOf(TImageFormatId format, TFormatDescriptor& descriptor);
std::string FormatName(TImageFormatId format);
// Default becomes A8R8G8B8; every other id is returned as it is.
TImageFormatId ResolveFormat(TImageFormatId format);
// All ids that have a descriptor, in ascending order (Default excluded).
const std::vector<TImageFormatId>& AllFormats();

// Gray weights and float scales, kept as 32-bit floats as the conversions use them.
inline constexpr float kGrayWeightR = 0.299f;
inline constexpr float kGrayWeightG = 0.587f;
inline constexpr float kGrayWeightB = 0.114f;
inline constexpr float kInv255 = 1.0f / 255.0f;
inline constexpr float kInv65535 = 1.0f / 65535.0f;

// Rounding of the engine: nearest integer, halves to the even neighbour.
int64_t RoundEven(double v);

// IEEE 754 binary16 conversion. Narrowing rounds the mantissa to nearest with halves
// rounded up; values below the half range become zero; infinities and NaN are kept.
uint16_t FloatToHalf(float value);
float HalfToFloat(uint16_t half);

// Integer intermediates used by the conversion routines (exposed for tests and fast paths).
TPixel64 ReadChannelPixel64(const TFormatDescriptor& d, const uint8_t* pixel);
void WriteChannelPixel64(const TFormatDescriptor& d, uint8_t* pixel, const TPixel64& value);
// Gray and alpha of a gray pixel as 16-bit values.
void ReadGrayPixel16(const TFormatDescriptor& d, const uint8_t* pixel, uint16_t& gray,
                     uint16_t& alpha);
void WriteGrayPixel16(const TFormatDescriptor& d, uint8_t* pixel, uint16_t gray, uint16_t alpha);
TPixelFP ReadFloatPixel(const TFormatDescriptor& d, const uint8_t* pixel);
void WriteFloatPixel(const TFormatDescriptor& d, uint8_t* pixel, const TPixelFP& value);

}  // namespace pixolan::imaging
