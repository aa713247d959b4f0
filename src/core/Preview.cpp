#include "core/Preview.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "core/ImageFiles.h"
#include "core/Pipeline.h"
#include "core/ValueText.h"
#include "imaging/geometry/Resample.h"
#include "imaging/image/Errors.h"
#include "imaging/image/Imaging.h"

namespace pixolan::core {

namespace {

using imaging::TImageData;
using imaging::TImageFormatId;

// num / den rounded to the nearest integer, halves to the even neighbour; den > 0. Exact,
// so a box edge that decides the zoom is met to the pixel.
int64_t RoundRatio(int64_t num, int64_t den) {
  int64_t quotient = num / den;
  int64_t remainder = num % den;
  if (remainder < 0) {
    remainder += den;
    --quotient;
  }
  if (2 * remainder > den || (2 * remainder == den && quotient % 2 != 0)) ++quotient;
  return quotient;
}

int32_t AtLeastOne(int64_t value) {
  return int32_t(std::clamp<int64_t>(value, 1, INT32_MAX));
}

bool IsAdjust(std::string_view zoom) {
  return zoom == "<Anpassen>" || zoom == "<Adjust>";
}
bool IsWindowSize(std::string_view zoom) {
  return zoom == "<Fenstergröße>" || zoom == "<Window Size>";
}

// A size before the budget: sides may pass the 32-bit range.
struct TWideSize {
  int64_t Width, Height;
};

// The box size rule of both box zooms: the side that limits d meets the box exactly.
TWideSize FitToBox(TPreviewSize source, TPreviewSize box) {
  const int64_t w = source.Width, h = source.Height;
  const int64_t bw = std::max(box.Width, 0), bh = std::max(box.Height, 0);
  int64_t width = bw, height = bh;
  if (bw * h <= bh * w) {
    height = RoundRatio(h * bw, w);
  } else {
    width = RoundRatio(w * bh, h);
  }
  return {std::max<int64_t>(width - 14, 1), std::max<int64_t>(height - 14, 1)};
}

TPreviewSize WithinBudget(TWideSize size, TPreviewSize source) {
  const long double pixels = static_cast<long double>(size.Width) * size.Height;
  const int64_t limit = std::max(kMaxPreviewPixels, int64_t(source.Width) * source.Height);
  if (pixels <= limit) return {AtLeastOne(size.Width), AtLeastOne(size.Height)};
  const long double f = std::sqrt(limit / pixels);
  return {AtLeastOne(int64_t(std::floor(size.Width * f))),
          AtLeastOne(int64_t(std::floor(size.Height * f)))};
}

// The offset that centres `length` in `extent`, halves truncated towards zero.
int32_t Centred(int32_t extent, int32_t length) {
  return (extent - length) / 2;
}

}  // namespace

bool ZoomFollowsBox(std::string_view zoom) {
  return IsAdjust(zoom) || IsWindowSize(zoom);
}

TPreviewSize PreviewReducedSize(std::string_view zoom, TPreviewSize source, TPreviewSize box) {
  if (source.Width < 1 || source.Height < 1) return source;
  if (IsAdjust(zoom)) {
    const bool fits = box.Width > source.Width + 6 && box.Height > source.Height + 6;
    return fits ? source : WithinBudget(FitToBox(source, box), source);
  }
  if (IsWindowSize(zoom)) return WithinBudget(FitToBox(source, box), source);
  std::string digits;
  for (char c : zoom)
    if (c != '%') digits += c;
  const std::optional<int32_t> percent = ParseIntegerText(digits);
  if (!percent || *percent == 100) return source;
  return WithinBudget({std::max<int64_t>(RoundRatio(int64_t(*percent) * source.Width, 100), 1),
                       std::max<int64_t>(RoundRatio(int64_t(*percent) * source.Height, 100), 1)},
                      source);
}

long double PreviewScale(int32_t reducedWidth, int32_t sourceWidth) {
  if (sourceWidth < 1) return 1.0L;
  return static_cast<long double>(reducedWidth) / sourceWidth;
}

TPreviewSize EstimatedResultSize(TPreviewSize shown, int32_t reducedWidth, int32_t sourceWidth) {
  // Dividing by reducedWidth / sourceWidth, done on integers so the result is exact.
  if (sourceWidth < 1 || reducedWidth < 1) return shown;
  const auto scaled = [&](int32_t length) {
    return int32_t(std::clamp<int64_t>(RoundRatio(int64_t(length) * sourceWidth, reducedWidth),
                                       INT32_MIN, INT32_MAX));
  };
  return {scaled(shown.Width), scaled(shown.Height)};
}

TPreviewPlacement PlacePreview(TPreviewSize image, int32_t frame, TPreviewSize box) {
  TPreviewPlacement placement;
  placement.Picture = {image.Width + 2 * frame, image.Height + 2 * frame};
  const TPreviewSize& picture = placement.Picture;
  placement.Left = Centred(box.Width, picture.Width);
  placement.Top = Centred(box.Height, picture.Height);
  const bool tooWide = picture.Width + 6 > box.Width;
  const bool tooHigh = picture.Height + 6 > box.Height;
  const bool fits = picture.Width + 6 < box.Width && picture.Height + 6 < box.Height;
  if (fits) return placement;
  placement.Scroll = {picture.Width + 4, picture.Height + 4};
  if (tooWide) placement.Left = 2;
  if (tooHigh) placement.Top = 2;
  return placement;
}

TPreviewSource MakePreviewSource(TImageData image, std::string_view zoom, TPreviewSize box) {
  TPreviewSource source;
  source.Source = {image.Width, image.Height};
  if (imaging::ImageIsValid(image) && image.Format != TImageFormatId::A8R8G8B8 &&
      !imaging::ImageConvert(image, TImageFormatId::A8R8G8B8))
    imaging::RaiseImaging("The preview cannot convert the image to A8R8G8B8.");
  const TPreviewSize reduced = PreviewReducedSize(zoom, source.Source, box);
  if (imaging::ImageIsValid(image) && reduced != source.Source)
    imaging::ImageResize(image, reduced.Width, reduced.Height, imaging::TResizeFilter::Bilinear);
  source.Reduced = std::move(image);
  return source;
}

bool LoadPreviewSource(const std::string& path, std::string_view zoom, TPreviewSize box,
                       TPreviewSource& source) {
  TImageData image;
  if (!LoadSourceImage(path, image)) return false;
  source = MakePreviewSource(std::move(image), zoom, box);
  return true;
}

TPreviewResult RenderPreview(const TPreviewSource& source, const std::string& sourcePath,
                             const ConversionSettings* settings, TMessageSink& messages) {
  TPreviewResult result;
  const TImageData& reduced = source.Reduced;
  result.Scale = PreviewScale(reduced.Width, source.Source.Width);
  if (settings) {
    Konvertieren(reduced, sourcePath, result.Image, result.Scale, *settings, messages);
  } else {
    imaging::ImageClone(reduced, result.Image);
  }
  if (imaging::ImageIsValid(result.Image) && result.Image.Format != TImageFormatId::A8R8G8B8)
    imaging::ImageConvert(result.Image, TImageFormatId::A8R8G8B8);
  result.Estimated = EstimatedResultSize({result.Image.Width, result.Image.Height}, reduced.Width,
                                         source.Source.Width);
  return result;
}

}  // namespace pixolan::core
