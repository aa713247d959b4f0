#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/ImageFiles.h"
#include "core/Preview.h"
#include "imaging/image/Imaging.h"
#include "support/ErrorOf.h"
#include "support/Files.h"
#include "support/RecordingMessages.h"
#include "support/TempFolder.h"
#include "support/TestImages.h"

namespace pixolan::core {
namespace {

using imaging::TImageData;
using imaging::TImageFormatId;

constexpr TPreviewSize kPhoto{4000, 3000};
constexpr TPreviewSize kBox{501, 245};

struct TZoomCase {
  const char* Zoom;
  TPreviewSize Source, Box, Expected;
};

TEST(PreviewTest, TheZoomTextDecidesTheReducedSize) {
  const TZoomCase cases[] = {
      // d = min(501 / 4000, 245 / 3000): round(326.67) - 14 and 245 - 14.
      {"<Anpassen>", kPhoto, kBox, {313, 231}},
      {"<Adjust>", kPhoto, kBox, {313, 231}},
      // Small images stay as they are, unless the window size is asked for.
      {"<Adjust>", {100, 80}, kBox, {100, 80}},
      {"<Window Size>", {100, 80}, kBox, {292, 231}},
      {"<Fenstergröße>", {100, 80}, kBox, {292, 231}},
      // Within 6 pixels of the box counts as not fitting: d = 1.06.
      {"<Adjust>", {100, 80}, {106, 200}, {92, 71}},
      {"<Adjust>", {100, 80}, {107, 87}, {100, 80}},
      // A box not laid out yet gives the smallest image, never an empty one.
      {"<Adjust>", {100, 80}, {0, 0}, {1, 1}},
      {"<Original Size>", kPhoto, kBox, kPhoto},
      {"<Originalgröße>", kPhoto, kBox, kPhoto},
      {"100%", kPhoto, kBox, kPhoto},
      {"50%", {640, 480}, kBox, {320, 240}},
      {"50", {640, 480}, kBox, {320, 240}},
      {"5%0%", {640, 480}, kBox, {320, 240}},  // every "%" goes
      {"1600%", {100, 80}, kBox, {1600, 1280}},
      // Halves go to the even neighbour: 2.5 -> 2, 1.5 -> 2; nothing shrinks below 1.
      {"50%", {5, 3}, kBox, {2, 2}},
      {"10%", {3, 3}, kBox, {1, 1}},
      {"0%", {640, 480}, kBox, {1, 1}},
      // Texts that are no whole number leave the image as it is.
      {"12.5%", {640, 480}, kBox, {640, 480}},
      {"abc", {640, 480}, kBox, {640, 480}},
      {"", {640, 480}, kBox, {640, 480}},
      {"%", {640, 480}, kBox, {640, 480}},
      {"<Adjust>", {0, 0}, kBox, {0, 0}},
  };
  for (const TZoomCase& c : cases) {
    SCOPED_TRACE(std::string(c.Zoom) + " on " + std::to_string(c.Source.Width) + "x" +
                 std::to_string(c.Source.Height));
    const TPreviewSize size = PreviewReducedSize(c.Zoom, c.Source, c.Box);
    EXPECT_EQ(size.Width, c.Expected.Width);
    EXPECT_EQ(size.Height, c.Expected.Height);
  }
}

TEST(PreviewTest, EnlargingZoomsStopAtTheBudgetKeepingTheProportions) {
  for (const char* zoom : {"1600%", "2147483647%"}) {
    SCOPED_TRACE(zoom);
    const TPreviewSize size = PreviewReducedSize(zoom, kPhoto, kBox);
    EXPECT_LE(int64_t(size.Width) * size.Height, kMaxPreviewPixels);
    EXPECT_GT(int64_t(size.Width) * size.Height, kMaxPreviewPixels * 99 / 100);
    EXPECT_NEAR(double(size.Width) / size.Height, 4.0 / 3.0, 0.01);
  }
  // A source above the budget is never reduced by it: original size stays original.
  const TPreviewSize huge{8000, 6000};
  EXPECT_EQ(PreviewReducedSize("100%", huge, kBox), huge);
  EXPECT_EQ(PreviewReducedSize("125%", huge, kBox), huge);
}

TEST(PreviewTest, TheEstimateDividesByTheScaleFactor) {
  struct TCase {
    TPreviewSize Shown;
    int32_t Reduced, Source;
    TPreviewSize Expected;
  };
  const TCase cases[] = {
      {{50, 37}, 313, 4000, {639, 473}},   // round(638.98), round(472.84)
      {{320, 240}, 320, 640, {640, 480}},  // no action changed the size
      {{313, 231}, 313, 4000, {4000, 2952}},
      {{10, 10}, 10, 0, {10, 10}},  // no source width: factor 1
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(EstimatedResultSize(c.Shown, c.Reduced, c.Source), c.Expected)
        << c.Shown.Width << "x" << c.Shown.Height;
  }
  EXPECT_EQ(PreviewScale(313, 4000), 313.0L / 4000.0L);
  EXPECT_EQ(PreviewScale(313, 0), 1.0L);
}

TEST(PreviewTest, ThePictureIsCentredOrScrolled) {
  struct TCase {
    const char* Name;
    TPreviewSize Image;
    int32_t Frame;
    TPreviewSize Box;
    TPreviewPlacement Expected;
  };
  const TCase cases[] = {
      {"fits, centred with its frame", {313, 231}, 1, kBox, {{315, 233}, 93, 6, {0, 0}}},
      {"fits, halves truncated", {100, 80}, 0, kBox, {{100, 80}, 200, 82, {0, 0}}},
      {"larger both ways", {640, 480}, 0, kBox, {{640, 480}, 2, 2, {644, 484}}},
      {"only wider: the height is centred", {640, 100}, 0, kBox, {{640, 100}, 2, 72, {644, 104}}},
      // 495 + 6 is not below 501: the box scrolls, but the picture is not larger than it.
      {"on the edge", {495, 100}, 0, kBox, {{495, 100}, 3, 72, {499, 104}}},
      // The frame counts: a picture of 400 x 240 does not fit 245 pixels with 3 to spare.
      {"a wide frame scrolls", {200, 40}, 100, kBox, {{400, 240}, 50, 2, {404, 244}}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TPreviewPlacement p = PlacePreview(c.Image, c.Frame, c.Box);
    EXPECT_EQ(p.Picture, c.Expected.Picture);
    EXPECT_EQ(p.Left, c.Expected.Left);
    EXPECT_EQ(p.Top, c.Expected.Top);
    EXPECT_EQ(p.Scroll, c.Expected.Scroll);
  }
}

ConversionSettings ResizeTo640x480() {
  ConversionSettings settings;
  settings.Enabled[int(ActionId::Resize)] = true;
  settings.TargetWidth = 640;
  settings.TargetHeight = 480;
  settings.ResizeFilter = 1;
  return settings;
}

TEST(PreviewTest, TheResizeActionRunsAtThePreviewScale) {
  const TPreviewSource source =
      MakePreviewSource(test::Filled(kPhoto.Width, kPhoto.Height, 0xFF336699), "<Adjust>", kBox);
  ASSERT_EQ(source.Reduced.Width, 313);
  ASSERT_EQ(source.Reduced.Height, 231);
  EXPECT_EQ(source.Source, kPhoto);
  // A flat image stays flat through the bilinear reduction.
  EXPECT_EQ(imaging::ImageGetPixel32(source.Reduced, 156, 115).Color(), 0xFF336699u);

  struct TCase {
    const char* Name;
    bool Actions;
    TPreviewSize Shown, Estimated;
  };
  const TCase cases[] = {
      // The action's box becomes round(x * 640) x round(x * 480) = 50 x 38; the image keeps
      // its proportions at 50 x 37, which stands for 639 x 473.
      {"with the resize action", true, {50, 37}, {639, 473}},
      {"without actions", false, {313, 231}, {4000, 2952}},
  };
  const ConversionSettings settings = ResizeTo640x480();
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    test::TRecordingMessages messages;
    const TPreviewResult result =
        RenderPreview(source, "/in/photo.png", c.Actions ? &settings : nullptr, messages);
    EXPECT_EQ(result.Image.Width, c.Shown.Width);
    EXPECT_EQ(result.Image.Height, c.Shown.Height);
    EXPECT_EQ(result.Image.Format, TImageFormatId::A8R8G8B8);
    EXPECT_EQ(result.Estimated, c.Estimated);
    EXPECT_EQ(result.Scale, 313.0L / 4000.0L);
    EXPECT_TRUE(messages.Shown.empty());
  }
  // The cache is only read: the next rendering starts from the same reduced image.
  EXPECT_EQ(source.Reduced.Width, 313);
}

TEST(PreviewTest, SourcesOfOtherFormatsArriveAsA8R8G8B8) {
  TImageData gray = test::MakeImage(4, 2, TImageFormatId::Gray8, {0, 50, 100, 150, 200, 250, 1, 2});
  const TPreviewSource source = MakePreviewSource(std::move(gray), "<Original Size>", kBox);
  EXPECT_EQ(source.Reduced.Format, TImageFormatId::A8R8G8B8);
  EXPECT_EQ(imaging::ImageGetPixel32(source.Reduced, 2, 0).Color(), 0xFF646464u);
}

TEST(PreviewTest, LoadingReadsTheFileAndRefusesWhatIsNoImage) {
  const test::TTempFolder folder;
  ASSERT_TRUE(SaveResultImage(folder.File("small.bmp"), test::Filled(640, 480, 0xFF102030)));
  TPreviewSource source;
  ASSERT_TRUE(LoadPreviewSource(folder.File("small.bmp"), "50%", kBox, source));
  EXPECT_EQ(source.Source, (TPreviewSize{640, 480}));
  EXPECT_EQ(source.Reduced.Width, 320);
  EXPECT_EQ(source.Reduced.Height, 240);

  // No handler knows the content: false, and the cache keeps what it had.
  test::WriteFileText(folder / "text.png", "no image at all");
  EXPECT_FALSE(LoadPreviewSource(folder.File("text.png"), "50%", kBox, source));
  EXPECT_EQ(source.Reduced.Width, 320);

  // A bitmap cut short is recognised but cannot be read: the loader's error.
  std::vector<uint8_t> bytes = test::ReadFileBytes(folder / "small.bmp");
  bytes.resize(100);
  test::WriteFileBytes(folder / "cut.bmp", bytes);
  EXPECT_NE(test::ErrorOf<imaging::EImagingError>(
                [&] { LoadPreviewSource(folder.File("cut.bmp"), "50%", kBox, source); }),
            "no error");
}

}  // namespace
}  // namespace pixolan::core
