// Action 3: channel change or colorizing, gamma, negative, channel swap, color reduction.
#include <optional>

#include "core/ValueText.h"
#include "core/actions/Actions.h"
#include "imaging/image/Imaging.h"
#include "imaging/palette/Quantizer.h"

namespace pixolan::core::actions {

namespace {

// The engine's channel number of a channel name in either language.
std::optional<int> ChannelNumber(const std::string& name) {
  if (name == "Rot" || name == "Red") return 2;
  if (name == "Grün" || name == "Green") return 1;
  if (name == "Blau" || name == "Blue") return 0;
  if (name == "Alpha") return 3;
  return std::nullopt;
}

// A gamma of 0 or below would divide by zero; the tiny value drives the channel to 0.
float Gamma(double value) {
  return value <= 0.0 ? 1e-7f : float(value);
}

}  // namespace

void Color(imaging::TImageData& image, const TActionContext& context) {
  const ConversionSettings& s = context.Settings;
  {
    imaging::TImagingCanvas canvas(image);
    if (s.ColorRed != "0" || s.ColorGreen != "0" || s.ColorBlue != "0") {
      const float r = float(IntegerOrDefault(s.ColorRed, 0));
      const float g = float(IntegerOrDefault(s.ColorGreen, 0));
      const float b = float(IntegerOrDefault(s.ColorBlue, 0));
      if (s.Colorize)
        canvas.ShiftChannels(r, g, b);
      else
        canvas.AdjustChannelSaturation(r, g, b);
    }
    if (s.Gamma) {
      const std::optional<double> r = ParseDecimalText(s.GammaRed);
      const std::optional<double> g = ParseDecimalText(s.GammaGreen);
      const std::optional<double> b = ParseDecimalText(s.GammaBlue);
      if (r && g && b && (*r != 1.0 || *g != 1.0 || *b != 1.0))
        canvas.AdjustGamma(Gamma(*r), Gamma(*g), Gamma(*b));
    }
    if (s.Negative) canvas.InvertColors();
  }
  if (s.SwapChannels) {
    const std::optional<int> first = ChannelNumber(s.SwapFirst);
    const std::optional<int> second = ChannelNumber(s.SwapSecond);
    // An unknown name (only an edited configuration can hold one) swaps nothing.
    if (first && second && *first != *second) imaging::ImageSwapChannels(image, *first, *second);
  }
  if (s.ReduceColors)
    if (const std::optional<int32_t> count = ParseIntegerText(s.ColorCount))
      imaging::ImageReduceColors(image, *count);
}

}  // namespace pixolan::core::actions
