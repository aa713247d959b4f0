// Action 4: contrast and brightness, then saturation.
#include "core/ValueText.h"
#include "core/actions/Actions.h"

namespace pixolan::core::actions {

void ContrastBrightnessSaturation(imaging::TImageData& image, const TActionContext& context) {
  const ConversionSettings& s = context.Settings;
  imaging::TImagingCanvas canvas(image);
  if (s.Contrast != "0" || s.Brightness != "0")
    canvas.AdjustContrastBrightness(float(IntegerOrDefault(s.Contrast, 0)),
                                    float(IntegerOrDefault(s.Brightness, 0)));
  if (s.Saturation != "0") canvas.AdjustSaturation(float(IntegerOrDefault(s.Saturation, 0)));
}

}  // namespace pixolan::core::actions
