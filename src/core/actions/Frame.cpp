// Action 8: a frame inside the image or around it.
#include <algorithm>

#include "core/ValueText.h"
#include "core/actions/Actions.h"
#include "imaging/geometry/Geometry.h"
#include "imaging/image/Errors.h"
#include "imaging/image/Imaging.h"

namespace pixolan::core::actions {

int32_t FrameWidth(const ConversionSettings& settings, long double scale) {
  return std::max(Scaled(scale, IntegerOrDefault(settings.FrameWidth, 1)), 1);
}

imaging::TPixel32 FrameColor(const ConversionSettings& settings) {
  const int32_t t = IntegerOrDefault(settings.FrameTransparency, 0);
  // A transparency outside 0..100 would wrap the alpha byte; it is held to the range.
  const int32_t alpha = std::clamp(RoundHalfEven(2.55L * (100.0L - t)), 0, 255);
  const uint32_t c = settings.FrameColor;
  return {uint8_t((c >> 16) & 0xFF), uint8_t((c >> 8) & 0xFF), uint8_t(c & 0xFF), uint8_t(alpha)};
}

void Frame(imaging::TImageData& image, const TActionContext& context) {
  const int32_t f = FrameWidth(context.Settings, context.Scale);
  const imaging::TPixel32 color = FrameColor(context.Settings);
  if (context.Settings.FrameEnlarge) {
    const int64_t width = int64_t(image.Width) + 2 * int64_t(f);
    const int64_t height = int64_t(image.Height) + 2 * int64_t(f);
    if (!imaging::ImageIsValid(image) || width > INT32_MAX || height > INT32_MAX)
      imaging::RaiseImaging("A frame of " + std::to_string(f) + " pixels cannot enlarge " +
                            imaging::ImageDescribe(image) + ".");
    imaging::TImageData framed;
    if (!imaging::ImageCreate(int32_t(width), int32_t(height), image.Format, framed))
      imaging::RaiseImaging("The framed image could not be created.");
    imaging::ImageFillRect(framed, 0, 0, framed.Width, framed.Height, &color);
    imaging::ImageCopyRect(image, 0, 0, image.Width, image.Height, framed, f, f);
    image = std::move(framed);
    return;
  }
  imaging::TImagingCanvas canvas(image);
  canvas.FillMode = imaging::TFillMode::Clear;
  canvas.SetPenColor(color);
  canvas.PenWidth = std::clamp(f, 0, 1000);
  canvas.Rectangle(canvas.ClipRect);
}

}  // namespace pixolan::core::actions
