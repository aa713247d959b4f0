// Action 5: box or Gaussian blur.
#include <cmath>

#include "core/ValueText.h"
#include "core/actions/Actions.h"
#include "imaging/image/Errors.h"

namespace pixolan::core::actions {

namespace {

int32_t Radius(const std::string& text) {
  return std::max(IntegerOrDefault(text, 0), 0);
}

void CheckRadius(int32_t radius) {
  if (radius > kMaxBlurRadius)
    imaging::RaiseImaging("The blur radius " + std::to_string(radius) +
                          " is larger than the largest radius " + std::to_string(kMaxBlurRadius) +
                          ".");
}

}  // namespace

imaging::TConvolutionFilterFree GaussianKernel(int32_t h, int32_t v, bool vertical) {
  CheckRadius(h);
  CheckRadius(v);
  const int32_t m = std::max(h, v);
  const long double s = (m + 1) / 3.0L;
  const long double m4 = static_cast<long double>(m) * m * m * m;
  const int32_t radius = vertical ? v : h;
  std::vector<int32_t> weights;
  // 64 bits for the sum; below the radius limit it also fits the 32-bit divisor.
  int64_t sum = 0;
  for (int32_t d = -radius; d <= radius; ++d) {
    // The constant e as the design writes it, not the exact one, so weights match.
    const long double g =
        std::pow(2.71828183L, -(long double)d * d / (2 * s * s)) / (6.283185307179586L * s * s);
    weights.push_back(RoundHalfEven(m4 * g * 10));
    sum += weights.back();
  }
  imaging::TConvolutionFilterFree filter;
  if (vertical)
    for (int32_t w : weights) filter.Kernel.push_back({w});
  else
    filter.Kernel.push_back(weights);
  filter.Divisor = int32_t(sum);
  return filter;
}

void Blur(imaging::TImageData& image, const TActionContext& context) {
  const ConversionSettings& s = context.Settings;
  const int32_t h = Radius(s.BlurHorizontal);
  const int32_t v = s.BlurVertical == "~" ? h : Radius(s.BlurVertical);
  if (h == 0 && v == 0) return;
  CheckRadius(h);
  CheckRadius(v);
  imaging::TImagingCanvas canvas(image);
  if (s.BlurGaussian) {
    canvas.ConvolveFree(GaussianKernel(h, v, true));
    canvas.ConvolveFree(GaussianKernel(h, v, false));
    return;
  }
  imaging::TConvolutionFilterFree box;
  box.Kernel.assign(size_t(2 * v + 1), std::vector<int32_t>(size_t(2 * h + 1), 1));
  box.Divisor = (2 * v + 1) * (2 * h + 1);
  canvas.ConvolveFree(box);
}

}  // namespace pixolan::core::actions
