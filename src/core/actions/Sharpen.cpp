// Action 6: sharpen with the fixed 3x3 and 5x5 kernels or a larger one.
#include "core/ValueText.h"
#include "core/actions/Actions.h"
#include "imaging/image/Errors.h"

namespace pixolan::core::actions {

float SharpenStrength(const std::string& text) {
  const std::optional<int32_t> value = ParseIntegerText(text);
  const double n = value ? double(*value) : 1.0;
  return float(n * n * n / 1000000.0 * 1.5);
}

void Sharpen(imaging::TImageData& image, const TActionContext& context) {
  const ConversionSettings& s = context.Settings;
  const float strength = SharpenStrength(s.SharpenStrength);
  imaging::TImagingCanvas canvas(image);
  if (s.SharpenRadius == "1") return canvas.SharpenKernel3x3(strength);
  if (s.SharpenRadius == "2") return canvas.SharpenKernel5x5(strength);
  int32_t r = IntegerOrDefault(s.SharpenRadius, 0);
  if (r < -1) r = 1;
  if (r == -1) imaging::RaiseImaging("The sharpen radius -1 gives no kernel.");
  if (r > kMaxSharpenRadius)
    imaging::RaiseImaging("The sharpen radius " + std::to_string(r) +
                          " is larger than the largest radius " +
                          std::to_string(kMaxSharpenRadius) + ".");
  const int32_t k = 2 * r + 1;
  imaging::TConvolutionFilterFree kernel;
  kernel.Kernel.assign(size_t(k), std::vector<int32_t>(size_t(k), -1));
  kernel.Kernel[size_t(r)][size_t(r)] = k * k;
  kernel.Divisor = 1;
  canvas.SharpenKernelFree(kernel, strength);
}

}  // namespace pixolan::core::actions
