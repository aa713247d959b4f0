// Action 1: fit or fill the target box.
#include <algorithm>

#include "core/actions/Actions.h"
#include "imaging/geometry/Resample.h"

namespace pixolan::core::actions {

TResizePlan PlanResize(const ConversionSettings& settings, long double scale, int32_t width,
                       int32_t height) {
  int32_t tw = Scaled(scale, settings.TargetWidth);
  int32_t th = Scaled(scale, settings.TargetHeight);
  const int64_t w = width, h = height;
  const bool larger = settings.ResizeIfLarger, smaller = settings.ResizeIfSmaller;
  const bool turn = settings.LandscapePortrait;
  bool resize = larger && smaller;
  if (larger && !smaller)
    resize = !(w < tw && h < th) && !(turn && w < th && h < tw);
  else if (!larger && smaller)
    resize = !(w > tw && h > th) && !(turn && w > th && h > tw);
  if (!resize) return {};

  const bool orientationsDiffer = (width > height) != (tw > th);
  if (!settings.KeepProportions) {
    if (turn && orientationsDiffer) return {true, {th, tw}};
    return {true, {tw, th}};
  }
  if (turn && orientationsDiffer) std::swap(tw, th);
  const double r = std::min(double(tw) / width, double(th) / height);
  // A thin image would round to no pixels at all and fail; it keeps one row or column.
  // A box without pixels still fails.
  const auto side = [r](int32_t length, int32_t limit) {
    return std::min(std::max(RoundHalfEven(length * r), 1), limit);
  };
  return {true, {side(width, tw), side(height, th)}};
}

void Resize(imaging::TImageData& image, const TActionContext& context) {
  if (image.Width <= 0 || image.Height <= 0) return;
  const TResizePlan plan = PlanResize(context.Settings, context.Scale, image.Width, image.Height);
  if (!plan.Resize) return;
  imaging::ImageResize(image, plan.Size.Width, plan.Size.Height,
                       imaging::TResizeFilter(context.Settings.ResizeFilter));
}

bool ResizeInto(const imaging::TImageData& image, imaging::TImageData& result,
                const TActionContext& context) {
  if (image.Width <= 0 || image.Height <= 0) return false;
  const TResizePlan plan = PlanResize(context.Settings, context.Scale, image.Width, image.Height);
  if (!plan.Resize) return false;
  return imaging::ImageResizeTo(image, plan.Size.Width, plan.Size.Height,
                                imaging::TResizeFilter(context.Settings.ResizeFilter), result);
}

}  // namespace pixolan::core::actions
