// Pen and fill drawing: spans, lines and rectangles, filled as runs of one raw pixel.
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "imaging/canvas/Canvas.h"
#include "imaging/geometry/Geometry.h"

namespace pixolan::imaging {

void TImagingCanvas::FillWithColor(int64_t left, int64_t top, int64_t right, int64_t bottom,
                                   const TPixelFP& color) {
  TImageData& image = CheckedImage();
  const TRect clip = EffectiveClip();
  left = std::max<int64_t>(left, clip.Left);
  top = std::max<int64_t>(top, clip.Top);
  right = std::min<int64_t>(right, clip.Right);
  bottom = std::min<int64_t>(bottom, clip.Bottom);
  if (right <= left || bottom <= top) return;
  descriptor_.WritePixelFP(descriptor_, rawColor_, image.palette(), color);
  ImageFillRect(image, int32_t(left), int32_t(top), int32_t(right - left), int32_t(bottom - top),
                rawColor_);
}

void TImagingCanvas::FillSpan(int32_t x1, int32_t x2, int32_t y, const uint8_t* rawColor) {
  TImageData& image = CheckedImage();
  const TRect clip = EffectiveClip();
  if (y < clip.Top || y >= clip.Bottom) return;
  const int32_t left = std::max(x1, clip.Left), right = std::min(x2, clip.Right);
  if (right <= left) return;
  ImageFillRect(image, left, y, right - left, 1, rawColor);
}

void TImagingCanvas::HorzLine(int32_t x1, int32_t x2, int32_t y) {
  if (PenMode == TPenMode::Clear) return;
  if (x2 < x1) std::swap(x1, x2);
  const int64_t half = PenWidth / 2, odd = PenWidth % 2;
  FillWithColor(x1, int64_t(y) - half, x2, int64_t(y) + half + odd, penColorFP_);
}

void TImagingCanvas::VertLine(int32_t x, int32_t y1, int32_t y2) {
  if (PenMode == TPenMode::Clear) return;
  if (y2 < y1) std::swap(y1, y2);
  const int64_t half = PenWidth / 2, odd = PenWidth % 2;
  FillWithColor(int64_t(x) - half, y1, int64_t(x) + half + odd, y2, penColorFP_);
}

namespace {

__extension__ typedef __int128 Int128;

// floor(a / b) for b > 0.
int64_t FloorDiv(Int128 a, Int128 b) {
  Int128 q = a / b;
  if (a % b != 0 && a < 0) --q;
  return int64_t(q);
}

}  // namespace

void TImagingCanvas::Line(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  if (PenMode == TPenMode::Clear) return;
  TImageData& image = CheckedImage();
  const TRect clip = EffectiveClip();
  if (clip.IsEmpty()) return;
  descriptor_.WritePixelFP(descriptor_, rawColor_, image.palette(), penColorFP_);
  const size_t bpp = size_t(descriptor_.BytesPerPixel);
  // One pixel per step along the longer axis, the other coordinate rounded from the exact
  // slope (halves up). Only the steps inside the clip are visited, so lines with far-away
  // ends cost no more than short ones.
  const bool xMajor = std::llabs(int64_t(x2) - x1) >= std::llabs(int64_t(y2) - y1);
  int64_t a1 = xMajor ? x1 : y1, b1 = xMajor ? y1 : x1;
  int64_t a2 = xMajor ? x2 : y2, b2 = xMajor ? y2 : x2;
  if (a2 < a1) std::swap(a1, a2), std::swap(b1, b2);
  const int64_t low = xMajor ? clip.Left : clip.Top, high = xMajor ? clip.Right : clip.Bottom;
  const int64_t da = a2 - a1, db = b2 - b1;
  for (int64_t a = std::max(a1, low); a <= std::min(a2, high - 1); ++a) {
    const int64_t b = da == 0 ? b1 : b1 + FloorDiv(Int128(2) * (a - a1) * db + da, Int128(2) * da);
    const int64_t x = xMajor ? a : b, y = xMajor ? b : a;
    if (x >= clip.Left && x < clip.Right && y >= clip.Top && y < clip.Bottom)
      std::memcpy(PixelAt(int32_t(x), int32_t(y)), rawColor_, bpp);
  }
}

void TImagingCanvas::FrameRect(const TRect& rect) {
  if (PenMode == TPenMode::Clear) return;
  const int64_t half = PenWidth / 2, odd = PenWidth % 2;
  // Rectangles near the ends of the coordinate range must not wrap around.
  auto saturate = [](int64_t v) { return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
  // The pen is centred on the outermost rows and columns; the horizontal runs also cover
  // the corners.
  const int32_t left = saturate(int64_t(rect.Left) - half);
  const int32_t right = saturate(int64_t(rect.Right) + half + odd - 1);
  HorzLine(left, right, rect.Top);
  HorzLine(left, right, saturate(int64_t(rect.Bottom) - 1));
  VertLine(rect.Left, rect.Top, rect.Bottom);
  VertLine(saturate(int64_t(rect.Right) - 1), rect.Top, rect.Bottom);
}

void TImagingCanvas::FillRect(const TRect& rect) {
  if (FillMode == TFillMode::Clear) return;
  FillWithColor(rect.Left, rect.Top, rect.Right, rect.Bottom, fillColorFP_);
}

void TImagingCanvas::Rectangle(const TRect& rect) {
  FillRect(rect);
  FrameRect(rect);
}

}  // namespace pixolan::imaging
