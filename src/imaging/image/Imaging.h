// Life cycle, conversion and pixel access of TImageData records.
#pragma once

#include <cstdint>
#include <string>

#include "imaging/image/Formats.h"
#include "imaging/image/ImagingTypes.h"

namespace pixolan::imaging {

// Largest image the engine accepts: more pixels than this, or a byte size beyond the
// 32-bit Size field, is refused with EImagingError instead of exhausting memory.
inline constexpr int64_t kMaxImagePixels = int64_t(1) << 28;

void ImageInit(TImageData& image);
// Frees what the image holds and creates a zero-filled image (with a zeroed palette for
// indexed formats). False, with the record zeroed, when the byte size is 0.
bool ImageCreate(int32_t width, int32_t height, TImageFormatId format, TImageData& image);
// As ImageCreate, but the pixel bytes are left unset, for callers that write every one.
bool ImageCreateForOverwrite(int32_t width, int32_t height, TImageFormatId format,
                             TImageData& image);
bool ImageIsValid(const TImageData& image);
void ImageFree(TImageData& image);
void ImageArrayFree(TDynImageDataArray& images);
bool ImageArrayIsValid(const TDynImageDataArray& images);
// Deep copy; false when the source is invalid.
bool ImageClone(const TImageData& image, TImageData& clone);
// Converts in place; false for an invalid image or a target without descriptor.
bool ImageConvert(TImageData& image, TImageFormatId format);
bool ImageSwapChannels(TImageData& image, int channelA, int channelB);

TPixel32 ImageGetPixel32(const TImageData& image, int32_t x, int32_t y);
void ImageSetPixel32(TImageData& image, int32_t x, int32_t y, TPixel32 pixel);
void ImageGetPixelFP(const TImageData& image, int32_t x, int32_t y, TPixelFP& pixel);
void ImageSetPixelFP(TImageData& image, int32_t x, int32_t y, const TPixelFP& pixel);

// The text error messages use to describe an image.
std::string ImageDescribe(const TImageData& image);

}  // namespace pixolan::imaging
