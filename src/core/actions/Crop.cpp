// Action 7: cut pixels off the sides, or keep only strips at given sides.
#include <algorithm>

#include "core/ValueText.h"
#include "core/actions/Actions.h"
#include "imaging/geometry/Geometry.h"
#include "imaging/image/Errors.h"
#include "imaging/image/Imaging.h"

namespace pixolan::core::actions {

imaging::TRect PlanCrop(const ConversionSettings& settings, long double scale, int32_t width,
                        int32_t height) {
  const std::optional<int32_t> left = ParseIntegerText(settings.CropLeft);
  const std::optional<int32_t> right = ParseIntegerText(settings.CropRight);
  const std::optional<int32_t> top = ParseIntegerText(settings.CropTop);
  const std::optional<int32_t> bottom = ParseIntegerText(settings.CropBottom);
  if (!left || !right || !top || !bottom) return {};
  // A negative amount (only an edited configuration holds one) would reach outside the
  // image; it counts as nothing.
  const auto amount = [&](int32_t value) -> int64_t { return std::max(Scaled(scale, value), 0); };
  const int64_t l = amount(*left), r = amount(*right), t = amount(*top), b = amount(*bottom);
  const int64_t w = width, h = height;
  if (l + r + t + b == 0) return {};
  if (!settings.CropKeep) {
    if (l + r >= w || t + b >= h) return {};
    return {int32_t(l), int32_t(t), int32_t(w - r), int32_t(h - b)};
  }
  const int64_t nw = std::min(l + r == 0 ? w : l + r, w);
  const int64_t nh = std::min(t + b == 0 ? h : t + b, h);
  // Keeping more of one side than the image has keeps the whole width (height), not a
  // strip that starts outside the image.
  const int64_t x = l == 0 && r > 0 ? w - nw : 0;
  const int64_t y = t == 0 && b > 0 ? h - nh : 0;
  return {int32_t(x), int32_t(y), int32_t(x + nw), int32_t(y + nh)};
}

void Crop(imaging::TImageData& image, const TActionContext& context) {
  const imaging::TRect rect = PlanCrop(context.Settings, context.Scale, image.Width, image.Height);
  if (rect.IsEmpty()) return;
  imaging::TImageData cropped;
  if (!imaging::ImageCreate(rect.Width(), rect.Height(), image.Format, cropped))
    imaging::RaiseImaging("The cropped image could not be created.");
  imaging::ImageCopyRect(image, rect.Left, rect.Top, rect.Width(), rect.Height(), cropped, 0, 0);
  image = std::move(cropped);
}

}  // namespace pixolan::core::actions
