#include "imaging/canvas/Bitmap.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>

#include "imaging/image/Errors.h"
#include "imaging/image/Imaging.h"

namespace pixolan::imaging {

namespace {}  // namespace

TBitmap32::TBitmap32(int32_t width, int32_t height) {
  SetSize(width, height);
}

void TBitmap32::SetSize(int32_t width, int32_t height) {
  if (width < 0 || height < 0 || int64_t(width) * height > kMaxImagePixels)
    throw EImagingError("Bitmap size " + std::to_string(width) + "x" + std::to_string(height) +
                        " is negative or exceeds the limit of " + std::to_string(kMaxImagePixels) +
                        " pixels.");
  if (width == 0 || height == 0) {
    bits_.reset();
    width_ = height_ = 0;
    return;
  }
  bits_ = AllocBits(size_t(width) * size_t(height) * 4);
  width_ = width;
  height_ = height;
}

void ImageToBitmap(const TImageData& image, TBitmap32& bitmap) {
  if (!ImageIsValid(image))
    RaiseImaging("Cannot find compatible bitmap format for image " + ImageDescribe(image));
  TImageData converted;
  const TImageData* source = &image;
  if (image.Format != TImageFormatId::A8R8G8B8) {
    ImageClone(image, converted);
    if (!ImageConvert(converted, TImageFormatId::A8R8G8B8))
      RaiseImaging("Cannot find compatible bitmap format for image " + ImageDescribe(image));
    source = &converted;
  }
  TBitmap32 result(source->Width, source->Height);
  // Image rows and bitmap rows have the same length and order.
  std::memcpy(result.Bits(), source->bits(), size_t(source->Size));
  bitmap = std::move(result);
}

void BitmapToImage(const TBitmap32& bitmap, TImageData& image) {
  if (bitmap.Empty())
    RaiseImaging("Cannot find compatible data format for bitmap " + PointerText(&bitmap));
  TImageData result;
  ImageCreate(bitmap.Width(), bitmap.Height(), TImageFormatId::A8R8G8B8, result);
  std::memcpy(result.bits(), bitmap.Bits(), size_t(result.Size));
  image = std::move(result);
}

}  // namespace pixolan::imaging
