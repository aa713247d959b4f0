// The engine's stand-in for a device-independent bitmap: a top-down buffer of 32-bit
// pixels in B, G, R, A byte order with no gap between rows (the layout of a 32-bit ARGB
// image on little-endian machines), so that the preview, the text overlay and the clipboard
// can wrap its pixels directly.
#pragma once

#include <cstdint>
#include <memory>

#include "imaging/image/ImagingTypes.h"

namespace pixolan::imaging {

class TBitmap32 {
 public:
  TBitmap32() = default;
  // A zero-filled bitmap; raises EImagingError for negative or oversized dimensions.
  TBitmap32(int32_t width, int32_t height);
  TBitmap32(TBitmap32&&) noexcept = default;
  TBitmap32& operator=(TBitmap32&&) noexcept = default;
  TBitmap32(const TBitmap32&) = delete;
  TBitmap32& operator=(const TBitmap32&) = delete;

  // Replaces the pixels by a zero-filled buffer of the new size (0 x 0 empties it).
  void SetSize(int32_t width, int32_t height);

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  int32_t BytesPerLine() const { return width_ * 4; }
  bool Empty() const { return width_ == 0 || height_ == 0; }
  uint8_t* Bits() { return bits_.get(); }
  const uint8_t* Bits() const { return bits_.get(); }
  // Row y (0 = top); y must lie within the bitmap.
  uint8_t* ScanLine(int32_t y) { return bits_.get() + int64_t(y) * BytesPerLine(); }
  const uint8_t* ScanLine(int32_t y) const { return bits_.get() + int64_t(y) * BytesPerLine(); }

 private:
  int32_t width_ = 0;
  int32_t height_ = 0;
  std::unique_ptr<uint8_t[]> bits_;
};

// Copies the image into the bitmap, which is resized to the image. Every format is
// converted (on a copy) to A8R8G8B8 first, so formats without alpha arrive opaque. Raises
// "Cannot find compatible bitmap format for image %s" for an invalid image.
void ImageToBitmap(const TImageData& image, TBitmap32& bitmap);
// Replaces the image by an A8R8G8B8 copy of the bitmap; the fourth byte of each pixel
// becomes alpha unchanged. Raises "Cannot find compatible data format for bitmap %p" for
// an empty bitmap.
void BitmapToImage(const TBitmap32& bitmap, TImageData& image);

}  // namespace pixolan::imaging
