// Action 2: mirror, flip, then rotate by a right angle.
#include "core/ValueText.h"
#include "core/actions/Actions.h"
#include "imaging/geometry/Geometry.h"
#include "imaging/image/Errors.h"

namespace pixolan::core::actions {

void RotateMirror(imaging::TImageData& image, const TActionContext& context) {
  const ConversionSettings& s = context.Settings;
  if (s.MirrorLeftRight) imaging::ImageMirror(image);
  if (s.FlipUpsideDown) imaging::ImageFlipVertical(image);
  if (!s.Rotate) return;
  std::string text = s.RotateAngle;
  if (const size_t degree = text.find("°"); degree != std::string::npos)
    text.erase(degree, std::string("°").size());
  const std::optional<int32_t> angle = ParseIntegerText(text);
  if (!angle) imaging::RaiseImaging("The rotation angle \"" + s.RotateAngle + "\" is no number.");
  imaging::ImageRotateRightAngle(image, *angle);
}

}  // namespace pixolan::core::actions
