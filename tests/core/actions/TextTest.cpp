#include <gtest/gtest.h>

#include "core/actions/Actions.h"
#include "imaging/image/Imaging.h"
#include "platform/TextRasterizer.h"
#include "support/TestImages.h"

namespace pixolan::core::actions {
namespace {

using imaging::ImageGetPixel32;
using imaging::TImageData;

constexpr uint32_t kGray = 0xFF808080;

// The line height the snapshot's font gives: its cell height + 4.
int32_t LineHeight(const ConversionSettings& s) {
  const platform::TTextRasterizer rasterizer({.Face = s.TextFont.Face,
                                              .Height = platform::HeightOfPoints(s.TextFont.Size),
                                              .Bold = s.TextFont.Bold});
  return rasterizer.TextHeight() + 4;
}

int32_t TextWidth(const ConversionSettings& s, const char* text) {
  const platform::TTextRasterizer rasterizer({.Face = s.TextFont.Face,
                                              .Height = platform::HeightOfPoints(s.TextFont.Size),
                                              .Bold = s.TextFont.Bold});
  return rasterizer.TextWidth(text);
}

struct TLinesCase {
  const char* Text;
  int32_t Lines;
  const char* Widest;
};

TEST(TextTest, TheTextImageHoldsTheLinesWithAMarginOf15) {
  const TLinesCase cases[] = {
      {"abc", 1, "abc"},     {"abc\r\nlonger line", 2, "longer line"},
      {"abc\r\n", 2, "abc"}, {"a lone\nline feed", 1, "a lone\nline feed"},
      {"", 1, ""},
  };
  const ConversionSettings s;
  for (const TLinesCase& c : cases) {
    SCOPED_TRACE(c.Text);
    const TImageData image = RenderTextImage(s, c.Text);
    EXPECT_EQ(image.Format, imaging::TImageFormatId::R8G8B8);
    EXPECT_EQ(image.Width, TextWidth(s, c.Widest) + 30);
    EXPECT_EQ(image.Height, c.Lines * LineHeight(s) + 30);
    EXPECT_EQ(ImageGetPixel32(image, 14, 14).Color(), 0xFFFFFFFFu);
  }
}

class TextOverlayTest : public testing::Test {
 protected:
  void SetUp() override { s_.Enabled[int(ActionId::Text)] = true; }
  TImageData Apply(const std::string& source = "/in/a.png") {
    TImageData image = test::Filled(300, 200, kGray);
    Text(image, {s_, 1.0L, source});
    return image;
  }
  ConversionSettings s_;
};

TEST_F(TextOverlayTest, DefaultsBlendAWhiteBoxHalfIntoTheCentre) {
  const TImageData text = RenderTextImage(s_, "abc");
  const TImageData image = Apply();
  const int32_t x = RoundHalfEven((300 - text.Width) / 2.0L);
  const int32_t y = RoundHalfEven((200 - text.Height) / 2.0L);
  EXPECT_EQ(ImageGetPixel32(image, x, y).Color(), 0xFFBFBFBFu);  // half white, half gray
  EXPECT_EQ(ImageGetPixel32(image, x - 1, y).Color(), kGray);
  EXPECT_EQ(ImageGetPixel32(image, x + text.Width - 1, y + text.Height - 1).Color(), 0xFFBFBFBFu);
  EXPECT_EQ(ImageGetPixel32(image, x + text.Width, y + text.Height).Color(), kGray);
}

TEST_F(TextOverlayTest, PlacesTheTextItselfAtTheOffsetsFromTheEdges) {
  s_.TextTransparency = std::to_string(0);
  s_.TextPosition = TOverlayPosition::UserDefined;
  const TImageData text = RenderTextImage(s_, "abc");
  const TImageData image = Apply();
  // The box's margin reaches 15 pixels past the offsets of 100 from the right and bottom.
  const int32_t right = 300 - 100 + 15, bottom = 200 - 100 + 15;
  EXPECT_EQ(ImageGetPixel32(image, right - 1, bottom - 1).Color(), 0xFFFFFFFFu);
  EXPECT_EQ(ImageGetPixel32(image, right, bottom - 1).Color(), kGray);
  EXPECT_EQ(ImageGetPixel32(image, right - 1, bottom).Color(), kGray);
  EXPECT_EQ(ImageGetPixel32(image, right - text.Width, bottom - text.Height).Color(), 0xFFFFFFFFu);
  EXPECT_EQ(ImageGetPixel32(image, right - text.Width - 1, bottom - text.Height).Color(), kGray);
}

TEST_F(TextOverlayTest, ATransparentBackgroundLeavesOnlyTheTextPixels) {
  s_.TextTransparency = std::to_string(0);
  s_.TextTransparentBackground = true;
  s_.TextSize = TOverlaySize::ImageSize;
  const TImageData image = Apply();
  size_t gray = 0, other = 0;
  for (int32_t y = 0; y < image.Height; ++y)
    for (int32_t x = 0; x < image.Width; ++x)
      ++(ImageGetPixel32(image, x, y).Color() == kGray ? gray : other);
  EXPECT_EQ(ImageGetPixel32(image, 0, 0).Color(), kGray);
  EXPECT_GT(other, 100u);  // the stretched letters
  EXPECT_GT(gray, other);
}

TEST_F(TextOverlayTest, ImageSizeModeStretchesTheBoxOverTheWholeImage) {
  s_.TextTransparency = std::to_string(0);
  s_.TextSize = TOverlaySize::ImageSize;
  const TImageData image = Apply();
  EXPECT_EQ(ImageGetPixel32(image, 0, 0).Color(), 0xFFFFFFFFu);
  EXPECT_EQ(ImageGetPixel32(image, 299, 199).Color(), 0xFFFFFFFFu);
}

TEST_F(TextOverlayTest, PlaceholdersAreExpandedForTheSource) {
  s_.Text = "%name%";
  const TImageData expanded = Apply("/Bilder/Urlaub.jpg");
  s_.Text = "Urlaub";
  EXPECT_EQ(test::BytesOf(expanded), test::BytesOf(Apply("/other/file.png")));
  s_.Text = "Urlaut";
  EXPECT_NE(test::BytesOf(expanded), test::BytesOf(Apply("/other/file.png")));
}

}  // namespace
}  // namespace pixolan::core::actions
