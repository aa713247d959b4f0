#include <gtest/gtest.h>

#include "core/actions/Actions.h"
#include "imaging/image/Errors.h"
#include "support/TestImages.h"

namespace pixolan::core::actions {
namespace {

struct TResizeCase {
  const char* Name;
  int32_t BoxWidth, BoxHeight;
  bool Proportions, Distinction, Larger, Smaller;
  long double Scale;
  int32_t Width, Height;
  bool Resize;
  int32_t NewWidth, NewHeight;
};

TEST(ResizeTest, PlansTheSizeAsTheOptionsSay) {
  const TResizeCase cases[] = {
      {"defaults", 640, 480, true, true, true, true, 1, 1600, 1200, true, 640, 480},
      {"portrait turns the box", 640, 480, true, true, true, true, 1, 1200, 1600, true, 480, 640},
      {"portrait, no distinction", 640, 480, true, false, true, true, 1, 1200, 1600, true, 360,
       480},
      {"only larger: a smaller image stays", 640, 480, true, true, true, false, 1, 300, 200, false,
       0, 0},
      {"only smaller: enlarged", 640, 480, true, true, false, true, 1, 300, 200, true, 640, 427},
      {"only smaller: not larger in both", 640, 480, true, true, false, true, 1, 1000, 300, true,
       640, 192},
      {"only smaller: larger in both stays", 640, 480, true, true, false, true, 1, 1000, 900, false,
       0, 0},
      {"only larger: smaller than the turned box stays", 640, 480, true, true, true, false, 1, 470,
       630, false, 0, 0},
      {"only larger: distinction off, inside the box is not", 640, 480, true, false, true, false, 1,
       470, 630, true, 358, 480},
      {"neither", 640, 480, true, true, false, false, 1, 1600, 1200, false, 0, 0},
      {"proportions off, turned", 800, 600, false, true, true, true, 1, 1200, 1600, true, 600, 800},
      {"proportions off, not turned", 800, 600, false, false, true, true, 1, 1200, 1600, true, 800,
       600},
      {"square image is not landscape", 640, 480, false, true, true, true, 1, 500, 500, true, 480,
       640},
      {"halves go to the even neighbour", 5, 100, true, false, true, true, 1, 2, 1, true, 5, 2},
      {"a thin image keeps one row", 640, 480, true, true, true, true, 1, 3000, 1, true, 640, 1},
      {"a box without width gives no width", 0, 480, true, false, true, true, 1, 300, 200, true, 0,
       1},
      {"preview scale shrinks the box", 640, 480, true, true, true, true, 0.25L, 1600, 1200, true,
       160, 120},
  };
  for (const TResizeCase& c : cases) {
    SCOPED_TRACE(c.Name);
    ConversionSettings s;
    s.TargetWidth = c.BoxWidth;
    s.TargetHeight = c.BoxHeight;
    s.KeepProportions = c.Proportions;
    s.LandscapePortrait = c.Distinction;
    s.ResizeIfLarger = c.Larger;
    s.ResizeIfSmaller = c.Smaller;
    const TResizePlan plan = PlanResize(s, c.Scale, c.Width, c.Height);
    EXPECT_EQ(plan.Resize, c.Resize);
    if (c.Resize) {
      EXPECT_EQ(plan.Size, (TSize{c.NewWidth, c.NewHeight}));
    }
  }
}

TEST(ResizeTest, ResizesTheImageAndFailsOnAZeroBox) {
  ConversionSettings s;
  s.TargetWidth = 64;
  s.TargetHeight = 48;
  s.ResizeFilter = 2;
  imaging::TImageData image = test::Filled(160, 120, 0xFF204060);
  Resize(image, {s});
  EXPECT_EQ(image.Width, 64);
  EXPECT_EQ(image.Height, 48);
  // A constant image stays constant through the filter.
  EXPECT_EQ(imaging::ImageGetPixel32(image, 31, 17).Color(), 0xFF204060u);

  s.TargetWidth = 0;
  EXPECT_THROW(Resize(image, {s}), imaging::EImagingError);
}

TEST(ResizeTest, RoundsHalvesToEvenAndRefusesValuesBeyond32Bits) {
  const std::pair<long double, int32_t> cases[] = {{2.5L, 2}, {3.5L, 4},   {-2.5L, -2},
                                                   {0.5L, 0}, {12.5L, 12}, {2.4999L, 2}};
  for (const auto& [value, rounded] : cases) EXPECT_EQ(RoundHalfEven(value), rounded) << value;
  EXPECT_THROW(RoundHalfEven(3e9L), imaging::EImagingError);
  EXPECT_EQ(Scaled(0.5L, 25), 12);
}

}  // namespace
}  // namespace pixolan::core::actions
