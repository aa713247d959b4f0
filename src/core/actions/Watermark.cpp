// Action 10: load a second image, size it, place it and blend it in.
#include <exception>

#include "core/ImageFiles.h"
#include "core/ValueText.h"
#include "core/actions/Actions.h"
#include "imaging/geometry/Resample.h"
#include "imaging/image/Imaging.h"

namespace pixolan::core::actions {

namespace {

// The watermark as the program's loader reads it; false when it cannot be read at all.
bool LoadWatermark(const std::string& path, imaging::TImageData& watermark) {
  try {
    return LoadSourceImage(path, watermark) && imaging::ImageIsValid(watermark);
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

void Watermark(imaging::TImageData& image, const TActionContext& context) {
  const ConversionSettings& s = context.Settings;
  imaging::TImageData watermark;
  if (!LoadWatermark(s.WatermarkPath, watermark)) {
    // The image itself is still converted; only the watermark is missing.
    if (context.Messages) context.Messages->ShowMessage("formatfehler", s.WatermarkPath);
    return;
  }
  const TSize size =
      OverlaySize(s.WatermarkSize, s.WatermarkWidth, s.WatermarkHeight, context.Scale, image.Width,
                  image.Height, watermark.Width, watermark.Height);
  imaging::ImageResize(watermark, size.Width, size.Height, imaging::TResizeFilter::Bilinear);
  const TOverlayPlacement placement{.Position = s.WatermarkPosition,
                                    .ImageSizeMode = s.WatermarkSize == TOverlaySize::ImageSize,
                                    .OffsetX = s.WatermarkOffsetX,
                                    .OffsetY = s.WatermarkOffsetY,
                                    .Margin = 0,
                                    .FromRight = s.WatermarkFromRight,
                                    .FromBottom = s.WatermarkFromBottom};
  const TPoint at = PlaceOverlay(placement, context.Scale, image.Width, image.Height,
                                 watermark.Width, watermark.Height);
  const uint32_t key = s.WatermarkKeyColorOn ? s.WatermarkKeyColor : 0;
  DrawOverlay(watermark, image, at, IntegerOrDefault(s.WatermarkTransparency, 0),
              s.WatermarkKeyColorOn ? &key : nullptr);
}

}  // namespace pixolan::core::actions
