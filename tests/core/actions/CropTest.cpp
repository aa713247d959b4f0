#include <gtest/gtest.h>

#include "core/actions/Actions.h"
#include "imaging/image/Imaging.h"
#include "support/TestImages.h"

namespace pixolan::core::actions {
namespace {

using imaging::TRect;

struct TCropCase {
  const char* Name;
  bool Keep;
  const char *Left, *Right, *Top, *Bottom;
  long double Scale;
  int32_t Width, Height;
  TRect Rect;  // empty: the image stays
};

TEST(CropTest, PlansTheRectangleThatRemains) {
  const TCropCase cases[] = {
      {"cut 10 everywhere", false, "10", "10", "10", "10", 1, 100, 80, {10, 10, 90, 70}},
      {"cut the whole width", false, "60", "40", "0", "0", 1, 100, 80, {}},
      {"cut nothing", false, "0", "0", "0", "0", 1, 100, 80, {}},
      {"a box that is no number", false, "10", "abc", "10", "10", 1, 100, 80, {}},
      {"keep left 100", true, "100", "0", "0", "0", 1, 640, 480, {0, 0, 100, 480}},
      {"keep right 100 and bottom 50",
       true,
       "0",
       "100",
       "0",
       "50",
       1,
       640,
       480,
       {540, 430, 640, 480}},
      {"keep left and right: a strip from the left",
       true,
       "10",
       "20",
       "0",
       "0",
       1,
       640,
       480,
       {0, 0, 30, 480}},
      {"keep left 700 of 640", true, "700", "0", "0", "0", 1, 640, 480, {0, 0, 640, 480}},
      {"keep right 700 of 640 keeps the whole width",
       true,
       "0",
       "700",
       "0",
       "0",
       1,
       640,
       480,
       {0, 0, 640, 480}},
      {"keep bottom 900 of 480 keeps the whole height",
       true,
       "0",
       "0",
       "0",
       "900",
       1,
       640,
       480,
       {0, 0, 640, 480}},
      {"keep nothing", true, "0", "0", "0", "0", 1, 640, 480, {}},
      {"negative amounts count as nothing",
       false,
       "-10",
       "10",
       "0",
       "0",
       1,
       100,
       80,
       {0, 0, 90, 80}},
      {"preview scale rounds halves to even",
       false,
       "25",
       "0",
       "0",
       "0",
       0.5L,
       100,
       80,
       {12, 0, 100, 80}},
  };
  for (const TCropCase& c : cases) {
    SCOPED_TRACE(c.Name);
    ConversionSettings s;
    s.CropKeep = c.Keep;
    s.CropLeft = c.Left;
    s.CropRight = c.Right;
    s.CropTop = c.Top;
    s.CropBottom = c.Bottom;
    EXPECT_EQ(PlanCrop(s, c.Scale, c.Width, c.Height), c.Rect);
  }
}

TEST(CropTest, CopiesTheRectangleIntoANewImage) {
  ConversionSettings s;
  s.CropLeft = std::to_string(1);
  s.CropTop = std::to_string(2);
  imaging::TImageData image =
      test::MakeImage(4, 4, imaging::TImageFormatId::A8R8G8B8, test::RandomBytes(64, 3));
  const imaging::TPixel32 corner = imaging::ImageGetPixel32(image, 1, 2);
  Crop(image, {s});
  ASSERT_EQ(image.Width, 3);
  ASSERT_EQ(image.Height, 2);
  EXPECT_EQ(imaging::ImageGetPixel32(image, 0, 0).Color(), corner.Color());
}

}  // namespace
}  // namespace pixolan::core::actions
