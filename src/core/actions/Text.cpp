// Action 11: render a text, size it, place it and blend it in.
#include <algorithm>
#include <cstring>
#include <vector>

#include "core/OutputPath.h"
#include "core/TextPlaceholders.h"
#include "core/ValueText.h"
#include "core/actions/Actions.h"
#include "imaging/geometry/Resample.h"
#include "imaging/image/Errors.h"
#include "imaging/image/Imaging.h"
#include "imaging/palette/Quantizer.h"
#include "platform/TextRasterizer.h"

namespace pixolan::core::actions {

namespace {

constexpr int32_t kMargin = 15;

// The lines of a text split at every CR LF pair; a final line break gives a final empty
// line, and a lone CR or LF stays in its line.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", start)) {
    lines.push_back(text.substr(start, at - start));
    start = at + 2;
  }
  lines.push_back(text.substr(start));
  return lines;
}

// A Windows color value of a pixel (red in the low byte).
uint32_t WindowsColor(imaging::TPixel32 pixel) {
  return uint32_t(pixel.R) | uint32_t(pixel.G) << 8 | uint32_t(pixel.B) << 16;
}

}  // namespace

imaging::TImageData RenderTextImage(const ConversionSettings& settings, const std::string& text) {
  const std::vector<std::string> lines = Lines(text);
  const TTextFont& font = settings.TextFont;
  const platform::TTextRasterizer rasterizer({.Face = font.Face,
                                              .Height = platform::HeightOfPoints(font.Size),
                                              .Bold = font.Bold,
                                              .Italic = font.Italic,
                                              .Underline = font.Underline,
                                              .StrikeOut = font.StrikeOut});
  const int64_t lineHeight = int64_t(rasterizer.TextHeight()) + 4;
  int64_t widest = 0;
  for (const std::string& line : lines)
    widest = std::max<int64_t>(widest, rasterizer.TextWidth(line));
  const int64_t width = widest + 2 * kMargin;
  const int64_t height = int64_t(lines.size()) * lineHeight + 2 * kMargin;
  if (width * height > imaging::kMaxImagePixels)
    imaging::RaiseImaging("The text of " + std::to_string(lines.size()) + " lines needs " +
                          std::to_string(width) + " x " + std::to_string(height) +
                          " pixels, more than an image may have.");
  platform::TTextBitmap bitmap(int32_t(width), int32_t(height), settings.TextBackground);
  for (size_t i = 0; i < lines.size(); ++i)
    rasterizer.DrawText(bitmap, kMargin, int32_t(kMargin + int64_t(i) * lineHeight), lines[i],
                        settings.TextColor, settings.TextBackground);
  imaging::TImageData image;
  if (!imaging::ImageCreate(bitmap.Width, bitmap.Height, imaging::TImageFormatId::A8R8G8B8, image))
    imaging::RaiseImaging("The text image could not be created.");
  std::memcpy(image.bits(), bitmap.Bgra.data(), bitmap.Bgra.size());
  imaging::ImageConvert(image, imaging::TImageFormatId::R8G8B8);
  return image;
}

void Text(imaging::TImageData& image, const TActionContext& context) {
  const ConversionSettings& s = context.Settings;
  imaging::TImageData overlay =
      RenderTextImage(s, ExpandTextPlaceholders(s.Text, context.SourcePath));
  const TSize size = OverlaySize(s.TextSize, s.TextWidth, s.TextHeight, context.Scale, image.Width,
                                 image.Height, overlay.Width, overlay.Height);
  imaging::ImageResize(overlay, size.Width, size.Height, imaging::TResizeFilter::Bilinear);
  const TOverlayPlacement placement{.Position = s.TextPosition,
                                    .ImageSizeMode = s.TextSize == TOverlaySize::ImageSize,
                                    .OffsetX = s.TextOffsetX,
                                    .OffsetY = s.TextOffsetY,
                                    .Margin = kMargin,
                                    .FromRight = s.TextFromRight,
                                    .FromBottom = s.TextFromBottom};
  const TPoint at = PlaceOverlay(placement, context.Scale, image.Width, image.Height, overlay.Width,
                                 overlay.Height);
  const int32_t transparency = IntegerOrDefault(s.TextTransparency, 0);
  uint32_t key = 0;
  if (s.TextTransparentBackground) {
    // Two colors, so anti-aliased edges join the text or the background; the corner lies
    // in the margin and gives the background's color.
    imaging::ImageReduceColors(overlay, 2);
    key = WindowsColor(imaging::ImageGetPixel32(overlay, 0, 0));
  }
  DrawOverlay(overlay, image, at, transparency, s.TextTransparentBackground ? &key : nullptr);
}

}  // namespace pixolan::core::actions
