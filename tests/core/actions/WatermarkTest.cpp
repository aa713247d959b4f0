#include <gtest/gtest.h>

#include "core/ImageFiles.h"
#include "core/Pipeline.h"
#include "core/actions/Actions.h"
#include "imaging/image/Imaging.h"
#include "support/Files.h"
#include "support/RecordingMessages.h"
#include "support/TempFolder.h"
#include "support/TestImages.h"

namespace pixolan::core::actions {
namespace {

using imaging::ImageGetPixel32;
using imaging::TImageData;

struct TPlaceCase {
  const char* Name;
  TOverlayPosition Position;
  bool ImageSizeMode;
  const char *OffsetX, *OffsetY;
  int32_t Margin;
  bool FromRight, FromBottom;
  long double Scale;
  int32_t Width, Height;  // of the overlay, on 800x600
  TPoint At;
};

TEST(OverlayTest, PlacesTheOverlay) {
  using P = TOverlayPosition;
  const TPlaceCase cases[] = {
      {"default offsets from the right and the bottom",
       P::UserDefined,
       false,
       "100",
       "100",
       0,
       true,
       true,
       1,
       200,
       50,
       {500, 450}},
      {"from the left and the top",
       P::UserDefined,
       false,
       "100",
       "20",
       0,
       false,
       false,
       1,
       200,
       50,
       {100, 20}},
      {"offsets that are no numbers count as 0",
       P::UserDefined,
       false,
       "x",
       "",
       0,
       false,
       true,
       1,
       200,
       50,
       {0, 550}},
      {"offsets are scaled",
       P::UserDefined,
       false,
       "100",
       "25",
       0,
       false,
       false,
       0.5L,
       200,
       50,
       {50, 12}},
      {"the text margin comes off before scaling",
       P::UserDefined,
       false,
       "100",
       "100",
       15,
       true,
       true,
       1,
       200,
       50,
       {515, 465}},
      {"centred, halves to even",
       P::Centered,
       false,
       "100",
       "100",
       0,
       true,
       true,
       1,
       201,
       51,
       {300, 274}},
      {"centred in image-size mode",
       P::Centered,
       true,
       "100",
       "100",
       0,
       true,
       true,
       1,
       800,
       600,
       {0, 0}},
      {"centred, larger than the image",
       P::Centered,
       false,
       "",
       "",
       0,
       true,
       true,
       1,
       1000,
       700,
       {-100, -50}},
  };
  for (const TPlaceCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TOverlayPlacement placement{c.Position, c.ImageSizeMode, c.OffsetX,   c.OffsetY,
                                      c.Margin,   c.FromRight,     c.FromBottom};
    EXPECT_EQ(PlaceOverlay(placement, c.Scale, 800, 600, c.Width, c.Height), c.At);
  }
}

struct TSizeCase {
  const char* Name;
  TOverlaySize Mode;
  const char *Width, *Height;
  long double Scale;
  TSize Size;
};

TEST(OverlayTest, SizesTheOverlay) {
  using S = TOverlaySize;
  const TSizeCase cases[] = {
      {"own size", S::Own, "640", "480", 1, {30, 20}},
      {"own size in the preview", S::Own, "640", "480", 0.25L, {8, 5}},
      {"the image's size", S::ImageSize, "640", "480", 0.25L, {800, 600}},
      {"user-defined, scaled", S::UserDefined, "640", "480", 0.5L, {320, 240}},
      {"user-defined that is no number keeps the size", S::UserDefined, "640", "x", 1, {30, 20}},
  };
  for (const TSizeCase& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(OverlaySize(c.Mode, c.Width, c.Height, c.Scale, 800, 600, 30, 20), c.Size);
  }
}

class WatermarkTest : public testing::Test {
 protected:
  void SetUp() override {
    // A 4x2 watermark: white on the left half, red on the right half.
    TImageData mark = test::Filled(4, 2, 0xFFFFFFFF);
    for (int32_t y = 0; y < 2; ++y)
      for (int32_t x = 2; x < 4; ++x)
        imaging::ImageSetPixel32(mark, x, y, imaging::TPixel32::FromColor(0xFFFF0000));
    ASSERT_TRUE(SaveResultImage(MarkPath(), mark));
    settings_.Enabled[int(ActionId::Watermark)] = true;
    settings_.WatermarkPath = MarkPath();
  }
  std::string MarkPath() const { return folder_.File("mark.tga"); }

  // Runs the action on a 10x6 image of one blue and returns the image.
  TImageData Apply() {
    TImageData image = test::Filled(10, 6, 0xFF0000FF);
    Watermark(image, {settings_, 1.0L, "/in/a.png", &messages_});
    return image;
  }

  test::TTempFolder folder_;
  ConversionSettings settings_;
  test::TRecordingMessages messages_;
};

TEST_F(WatermarkTest, BlendsByTransparencyAndKeyColor) {
  struct {
    const char* Name;
    const char* Transparency;
    bool Key;
    uint32_t White, Red;  // the image where the watermark's white and red halves lie
  } cases[] = {
      {"transparency 100 draws nothing", "100", false, 0xFF0000FF, 0xFF0000FF},
      {"transparency 0 copies exactly", "0", false, 0xFFFFFFFF, 0xFFFF0000},
      {"transparency that is no number counts as 0", "viel", false, 0xFFFFFFFF, 0xFFFF0000},
      {"half and half", "50", false, 0xFF8080FF, 0xFF800080},
      {"white key leaves the image", "50", true, 0xFF0000FF, 0xFF800080},
      {"white key at transparency 0", "0", true, 0xFF0000FF, 0xFFFF0000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    settings_.WatermarkTransparency = c.Transparency;
    settings_.WatermarkKeyColorOn = c.Key;
    const TImageData image = Apply();
    // Centred: the 4x2 mark starts at (3, 2).
    EXPECT_EQ(ImageGetPixel32(image, 3, 2).Color(), c.White);
    EXPECT_EQ(ImageGetPixel32(image, 6, 3).Color(), c.Red);
    EXPECT_EQ(ImageGetPixel32(image, 2, 2).Color(), 0xFF0000FFu);
    EXPECT_EQ(ImageGetPixel32(image, 7, 3).Color(), 0xFF0000FFu);
  }
  EXPECT_TRUE(messages_.Shown.empty());
}

TEST_F(WatermarkTest, StretchesOverTheWholeImageInImageSizeMode) {
  settings_.WatermarkSize = TOverlaySize::ImageSize;
  settings_.WatermarkTransparency = std::to_string(0);
  const TImageData image = Apply();
  EXPECT_EQ(ImageGetPixel32(image, 0, 0).Color(), 0xFFFFFFFFu);
  EXPECT_EQ(ImageGetPixel32(image, 9, 5).Color(), 0xFFFF0000u);
}

TEST_F(WatermarkTest, AWatermarkThatCannotBeReadIsReportedAndTheImageStillConverted) {
  test::WriteFileText(folder_ / "broken.gif", "GIF89a and nothing else");
  for (const std::string& path : {folder_.File("missing.png"), folder_.File("broken.gif")}) {
    SCOPED_TRACE(path);
    messages_.Shown.clear();
    settings_.WatermarkPath = path;
    settings_.Enabled[int(ActionId::RotateMirror)] = true;
    settings_.Rotate = true;
    settings_.ActionStep[int(ActionId::RotateMirror)] = 10;
    const TImageData source = test::Filled(10, 6, 0xFF0000FF);
    TImageData result;
    EXPECT_TRUE(Konvertieren(source, "/in/a.png", result, 1.0L, settings_, messages_));
    EXPECT_EQ(messages_.Shown, std::vector<std::string>{"formatfehler: " + path});
    // The later rotation still ran.
    EXPECT_EQ(result.Width, 6);
  }
}

}  // namespace
}  // namespace pixolan::core::actions
