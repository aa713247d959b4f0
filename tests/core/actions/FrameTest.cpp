#include <gtest/gtest.h>

#include "core/actions/Actions.h"
#include "imaging/image/Imaging.h"
#include "support/TestImages.h"

namespace pixolan::core::actions {
namespace {

using imaging::ImageGetPixel32;

constexpr uint32_t kImage = 0xFF102030;
constexpr uint32_t kRed = 0x0000FF;  // Windows color value: red in the low byte

struct TWidthCase {
  const char* Text;
  long double Scale;
  int32_t Width;
};

TEST(FrameTest, WidthFallsBackToOneAndNeverDropsBelowOne) {
  const TWidthCase cases[] = {{"5", 1, 5},    {"0", 1, 1},      {"abc", 1, 1},
                              {"5", 0.1L, 1}, {"25", 0.5L, 12}, {"-3", 1, 1}};
  for (const TWidthCase& c : cases) {
    ConversionSettings s;
    s.FrameWidth = c.Text;
    EXPECT_EQ(FrameWidth(s, c.Scale), c.Width) << c.Text;
  }
}

TEST(FrameTest, ColorCarriesTheTransparencyAsAlpha) {
  const std::pair<const char*, uint32_t> cases[] = {{"0", 0xFFFF0000},   {"50", 0x80FF0000},
                                                    {"100", 0x00FF0000}, {"abc", 0xFFFF0000},
                                                    {"150", 0x00FF0000}, {"-50", 0xFFFF0000}};
  for (const auto& [text, color] : cases) {
    ConversionSettings s;
    s.FrameColor = kRed;
    s.FrameTransparency = text;
    EXPECT_EQ(FrameColor(s).Color(), color) << text;
  }
}

struct TFrameCase {
  const char* Name;
  bool Enlarge;
  const char* Width;
  int32_t ResultWidth, ResultHeight;
  // Frame rows at the top and the bottom (and columns at the left and the right).
  int32_t Top, Bottom;
};

TEST(FrameTest, DrawsInsideOrAroundTheImage) {
  const TFrameCase cases[] = {
      {"enlarge by 5", true, "5", 74, 58, 5, 5},
      {"inside, width 5", false, "5", 64, 48, 3, 3},
      {"inside, width 4", false, "4", 64, 48, 2, 3},
      {"inside, width 0 draws one pixel", false, "0", 64, 48, 1, 1},
  };
  for (const TFrameCase& c : cases) {
    SCOPED_TRACE(c.Name);
    ConversionSettings s;
    s.FrameEnlarge = c.Enlarge;
    s.FrameWidth = c.Width;
    s.FrameColor = kRed;
    imaging::TImageData image = test::Filled(64, 48, kImage);
    Frame(image, {s});
    ASSERT_EQ(image.Width, c.ResultWidth);
    ASSERT_EQ(image.Height, c.ResultHeight);
    const int32_t midX = image.Width / 2, midY = image.Height / 2;
    const auto at = [&](int32_t x, int32_t y) { return ImageGetPixel32(image, x, y).Color(); };
    EXPECT_EQ(at(midX, c.Top - 1), 0xFFFF0000u);
    EXPECT_EQ(at(midX, c.Top), kImage);
    EXPECT_EQ(at(c.Top - 1, midY), 0xFFFF0000u);
    EXPECT_EQ(at(c.Top, midY), kImage);
    EXPECT_EQ(at(midX, image.Height - c.Bottom), 0xFFFF0000u);
    EXPECT_EQ(at(midX, image.Height - c.Bottom - 1), kImage);
    EXPECT_EQ(at(image.Width - c.Bottom, midY), 0xFFFF0000u);
    EXPECT_EQ(at(image.Width - c.Bottom - 1, midY), kImage);
  }
}

}  // namespace
}  // namespace pixolan::core::actions
