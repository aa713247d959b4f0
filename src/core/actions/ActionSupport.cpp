// Rounding and the overlay placement the watermark and the text share.
#include <algorithm>
#include <cmath>

#include "core/ValueText.h"
#include "core/actions/Actions.h"
#include "imaging/geometry/Geometry.h"
#include "imaging/geometry/Resample.h"
#include "imaging/image/Errors.h"
#include "imaging/image/Imaging.h"

namespace pixolan::core::actions {

using imaging::TImageData;

int32_t RoundHalfEven(long double value) {
  // nearbyint rounds halves to even in the default rounding mode, which nothing changes.
  const long double rounded = std::nearbyint(value);
  if (!(rounded >= INT32_MIN && rounded <= INT32_MAX))
    imaging::RaiseImaging("The value " + std::to_string(double(value)) +
                          " is outside the range of pixel sizes.");
  return int32_t(rounded);
}

int32_t Scaled(long double scale, int32_t value) {
  return RoundHalfEven(scale * value);
}

namespace {

// A sum of pixel positions that does not fit a 32-bit position is refused.
int32_t Checked(int64_t value) {
  if (value < INT32_MIN || value > INT32_MAX)
    imaging::RaiseImaging("The overlay position " + std::to_string(value) +
                          " is outside the range of pixel positions.");
  return int32_t(value);
}

}  // namespace

TPoint PlaceOverlay(const TOverlayPlacement& placement, long double scale, int32_t imageWidth,
                    int32_t imageHeight, int32_t width, int32_t height) {
  if (placement.Position == TOverlayPosition::Centered) {
    if (placement.ImageSizeMode) return {};
    return {RoundHalfEven((int64_t(imageWidth) - width) / 2.0L),
            RoundHalfEven((int64_t(imageHeight) - height) / 2.0L)};
  }
  const auto offset = [&](const std::string& text) {
    const std::optional<int32_t> value = ParseIntegerText(text);
    return value ? Scaled(scale, Checked(int64_t(*value) - placement.Margin)) : 0;
  };
  TPoint at{offset(placement.OffsetX), offset(placement.OffsetY)};
  if (placement.FromRight) at.X = Checked(int64_t(imageWidth) - at.X - width);
  if (placement.FromBottom) at.Y = Checked(int64_t(imageHeight) - at.Y - height);
  return at;
}

TSize OverlaySize(TOverlaySize mode, const std::string& userWidth, const std::string& userHeight,
                  long double scale, int32_t imageWidth, int32_t imageHeight, int32_t width,
                  int32_t height) {
  switch (mode) {
    case TOverlaySize::ImageSize:
      return {imageWidth, imageHeight};
    case TOverlaySize::UserDefined: {
      const std::optional<int32_t> w = ParseIntegerText(userWidth);
      const std::optional<int32_t> h = ParseIntegerText(userHeight);
      if (w && h) return {Scaled(scale, *w), Scaled(scale, *h)};
      return {width, height};
    }
    case TOverlaySize::Own:
      break;
  }
  return {Scaled(scale, width), Scaled(scale, height)};
}

void DrawOverlay(TImageData& overlay, TImageData& image, TPoint at, int32_t transparency,
                 const uint32_t* key) {
  if (transparency >= 100) return;
  // A transparency below 0 would extrapolate beyond the overlay's colors.
  transparency = std::max(transparency, 0);
  const int32_t w = overlay.Width, h = overlay.Height;
  if (transparency == 0 && !key) {
    imaging::ImageCopyRect(overlay, 0, 0, w, h, image, at.X, at.Y);
    return;
  }
  imaging::TImagingCanvas target(image);
  imaging::TImagingCanvas from(overlay);
  const imaging::TRect rect{0, 0, w, h};
  if (key) {
    from.DrawOpacityColorKey(rect, target, at.X, at.Y, 100 - transparency,
                             float(*key & 0xFF) / 255.0f, float((*key >> 8) & 0xFF) / 255.0f,
                             float((*key >> 16) & 0xFF) / 255.0f);
  } else {
    from.DrawOpacity(rect, target, at.X, at.Y, 100 - transparency);
  }
}

}  // namespace pixolan::core::actions
