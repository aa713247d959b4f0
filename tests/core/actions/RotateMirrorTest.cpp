#include <gtest/gtest.h>

#include "core/actions/Actions.h"
#include "imaging/image/Errors.h"
#include "imaging/image/Imaging.h"
#include "support/TestImages.h"

namespace pixolan::core::actions {
namespace {

using imaging::ImageGetPixel32;
using imaging::TImageData;

// Every pixel of a 3x2 image carries its position: blue = x, green = y.
TImageData Numbered() {
  TImageData image = test::Filled(3, 2, 0xFF000000);
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 3; ++x)
      imaging::ImageSetPixel32(image, x, y, test::Bgra(uint8_t(x), uint8_t(y), 0, 255));
  return image;
}

struct TRotateCase {
  const char* Name;
  bool Mirror, Flip, Rotate;
  const char* Angle;
  int32_t Width, Height;
  // Where the source's top-left pixel (0, 0) ends up.
  int32_t CornerX, CornerY;
};

TEST(RotateMirrorTest, MirrorsFlipsThenRotates) {
  const TRotateCase cases[] = {
      {"nothing", false, false, false, "90°", 3, 2, 0, 0},
      {"mirror left-right", true, false, false, "90°", 3, 2, 2, 0},
      {"upside down", false, true, false, "90°", 3, 2, 0, 1},
      {"both: half a turn", true, true, false, "90°", 3, 2, 2, 1},
      {"90 counter-clockwise", false, false, true, "90°", 2, 3, 0, 2},
      {"180", false, false, true, "180°", 3, 2, 2, 1},
      {"270", false, false, true, "270°", 2, 3, 1, 0},
      {"mirror before the rotation", true, false, true, "90°", 2, 3, 0, 0},
  };
  for (const TRotateCase& c : cases) {
    SCOPED_TRACE(c.Name);
    ConversionSettings s;
    s.MirrorLeftRight = c.Mirror;
    s.FlipUpsideDown = c.Flip;
    s.Rotate = c.Rotate;
    s.RotateAngle = c.Angle;
    TImageData image = Numbered();
    RotateMirror(image, {s});
    ASSERT_EQ(image.Width, c.Width);
    ASSERT_EQ(image.Height, c.Height);
    EXPECT_EQ(ImageGetPixel32(image, c.CornerX, c.CornerY).Color(), 0xFF000000u);
  }
}

TEST(RotateMirrorTest, AnAngleThatIsNoNumberFails) {
  ConversionSettings s;
  s.Rotate = true;
  s.RotateAngle = "quer";
  TImageData image = Numbered();
  EXPECT_THROW(RotateMirror(image, {s}), imaging::EImagingError);
}

}  // namespace
}  // namespace pixolan::core::actions
