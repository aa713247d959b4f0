#include <gtest/gtest.h>

#include <limits>

#include "core/Pipeline.h"
#include "core/actions/Actions.h"
#include "imaging/image/Imaging.h"
#include "support/RecordingMessages.h"
#include "support/TestImages.h"

namespace pixolan::core {
namespace {

using imaging::TImageData;

// A 40x20 image whose pixels all differ, so any move of pixels shows.
TImageData Source() {
  return test::MakeImage(40, 20, imaging::TImageFormatId::A8R8G8B8,
                         test::RandomBytes(40 * 20 * 4, 7));
}

// Rotate by 90 degrees and keep the left 10 columns: the order decides the result's size.
ConversionSettings RotateAndCrop(int rotateStep, int cropStep) {
  ConversionSettings settings;
  settings.Enabled[int(ActionId::RotateMirror)] = true;
  settings.Rotate = true;
  settings.Enabled[int(ActionId::Crop)] = true;
  settings.CropKeep = true;
  settings.CropLeft = "10";
  settings.ActionStep[int(ActionId::RotateMirror)] = rotateStep;
  settings.ActionStep[int(ActionId::Crop)] = cropStep;
  return settings;
}

struct TOrderCase {
  const char* Name;
  int RotateStep, CropStep;
  int32_t Width, Height;
};

TEST(PipelineTest, StepsDecideTheOrderAndEqualStepsRunInTheFixedSequence) {
  const TOrderCase cases[] = {
      {"rotate first", 0, 1, 10, 40},
      {"crop first", 1, 0, 20, 10},
      {"both at step 0: rotate comes first in the sequence", 0, 0, 10, 40},
      {"crop at the last step", 0, 10, 10, 40},
  };
  for (const TOrderCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TImageData source = Source();
    TImageData result;
    test::TRecordingMessages messages;
    EXPECT_TRUE(Konvertieren(source, "/in/a.png", result, 1.0L,
                             RotateAndCrop(c.RotateStep, c.CropStep), messages));
    EXPECT_EQ(result.Width, c.Width);
    EXPECT_EQ(result.Height, c.Height);
    EXPECT_TRUE(messages.Shown.empty());
    // The input is only read.
    EXPECT_EQ(test::BytesOf(source), test::BytesOf(Source()));
  }
}

TEST(PipelineTest, TextOrderedBeforeResizeIsDrawnAtTheSourceSizeAndScaledWithIt) {
  ConversionSettings settings;
  settings.Enabled[int(ActionId::Text)] = true;
  settings.Enabled[int(ActionId::Resize)] = true;
  settings.TargetWidth = 100;
  settings.TargetHeight = 75;
  const TImageData source = test::Filled(400, 300, 0xFF336699);
  const auto run = [&](int textStep, int resizeStep) {
    settings.ActionStep[int(ActionId::Text)] = textStep;
    settings.ActionStep[int(ActionId::Resize)] = resizeStep;
    TImageData result;
    test::TRecordingMessages messages;
    EXPECT_TRUE(Konvertieren(source, "/in/a.png", result, 1.0L, settings, messages));
    return result;
  };
  const TImageData textFirst = run(0, 1), resizeFirst = run(1, 0);
  ASSERT_EQ(textFirst.Width, 100);
  ASSERT_EQ(resizeFirst.Width, 100);
  // The same step by step: text on the source, then the resize.
  TImageData manual;
  imaging::ImageClone(source, manual);
  actions::Text(manual, {settings, 1.0L, "/in/a.png"});
  actions::Resize(manual, {settings});
  EXPECT_EQ(test::BytesOf(textFirst), test::BytesOf(manual));
  EXPECT_NE(test::BytesOf(textFirst), test::BytesOf(resizeFirst));
}

TEST(PipelineTest, AFailingActionLeavesTheInputAsResultAndStopsTheLaterActions) {
  ConversionSettings settings = RotateAndCrop(0, 2);
  // A zero-size box makes the resize fail between the rotation and the crop.
  settings.Enabled[int(ActionId::Resize)] = true;
  settings.ActionStep[int(ActionId::Resize)] = 1;
  settings.TargetWidth = 0;
  settings.TargetHeight = 0;
  const TImageData source = Source();
  TImageData result;
  test::TRecordingMessages messages;
  EXPECT_FALSE(Konvertieren(source, "/in/a.png", result, 1.0L, settings, messages));
  EXPECT_EQ(messages.Shown, std::vector<std::string>{"konvertierfehler: /in/a.png"});
  EXPECT_EQ(result.Width, 40);
  EXPECT_EQ(result.Height, 20);
  EXPECT_EQ(test::BytesOf(result), test::BytesOf(source));
}

TEST(PipelineTest, DisabledActionsAndOverlaysWithoutContentDoNotRun) {
  ConversionSettings settings;
  settings.Rotate = true;  // options alone do nothing while the action is off
  settings.Enabled[int(ActionId::Watermark)] = true;
  settings.WatermarkPath = "";
  settings.Enabled[int(ActionId::Text)] = true;
  settings.Text = "";
  const TImageData source = Source();
  TImageData result;
  test::TRecordingMessages messages;
  EXPECT_TRUE(Konvertieren(source, "/in/a.png", result, 1.0L, settings, messages));
  EXPECT_EQ(test::BytesOf(result), test::BytesOf(source));
  EXPECT_TRUE(messages.Shown.empty());
}

TEST(PipelineTest, TheScaleFactorReducesTheDistancesTakenFromTheSettings) {
  ConversionSettings settings;
  settings.Enabled[int(ActionId::Resize)] = true;
  settings.TargetWidth = 640;
  settings.TargetHeight = 480;
  const TImageData source = test::Filled(400, 300, 0xFF336699);
  TImageData result;
  test::TRecordingMessages messages;
  EXPECT_TRUE(Konvertieren(source, "/in/a.png", result, 0.25L, settings, messages));
  EXPECT_EQ(result.Width, 160);
  EXPECT_EQ(result.Height, 120);
}

TEST(PipelineTest, AScaleFactorThatIsNotPositiveFailsTheConversion) {
  const TImageData source = Source();
  for (const long double scale : {0.0L, -1.0L, std::numeric_limits<long double>::quiet_NaN(),
                                  std::numeric_limits<long double>::infinity()}) {
    TImageData result;
    test::TRecordingMessages messages;
    EXPECT_FALSE(Konvertieren(source, "/in/a.png", result, scale, RotateAndCrop(0, 1), messages))
        << double(scale);
    EXPECT_EQ(messages.Shown.size(), 1u);
    EXPECT_EQ(test::BytesOf(result), test::BytesOf(source));
  }
}

TEST(PipelineTest, AnEmptyImageFailsActionsThatNeedACanvas) {
  ConversionSettings settings;
  settings.Enabled[int(ActionId::ContrastBrightnessSaturation)] = true;
  const TImageData empty;
  TImageData result;
  test::TRecordingMessages messages;
  EXPECT_FALSE(Konvertieren(empty, "ClipboardFile", result, 1.0L, settings, messages));
  EXPECT_EQ(messages.Shown, std::vector<std::string>{"konvertierfehler: ClipboardFile"});
  EXPECT_FALSE(imaging::ImageIsValid(result));
}

// The in-place conversion, which skips the working copy when no action runs or a resize
// comes first, must give the bytes, messages and outcome of the copying one.
TEST(PipelineTest, InPlaceConversionEqualsTheCopyingOne) {
  const auto check = [](const char* name, const ConversionSettings& settings) {
    for (uint32_t seed = 1; seed <= 4; ++seed) {
      SCOPED_TRACE(std::string(name) + ", seed " + std::to_string(seed));
      const int32_t w = int32_t(20 + seed * 13), h = int32_t(10 + seed * 7);
      const TImageData source = test::MakeImage(w, h, imaging::TImageFormatId::A8R8G8B8,
                                                test::RandomBytes(size_t(w * h * 4), seed));
      TImageData copied;
      test::TRecordingMessages copyMessages;
      const bool copiedOk = Konvertieren(source, "/in/a.png", copied, 1.0L, settings, copyMessages);
      TImageData inPlace;
      ASSERT_TRUE(imaging::ImageClone(source, inPlace));
      test::TRecordingMessages inPlaceMessages;
      EXPECT_EQ(Konvertieren(inPlace, "/in/a.png", 1.0L, settings, inPlaceMessages), copiedOk);
      EXPECT_EQ(inPlaceMessages.Shown, copyMessages.Shown);
      EXPECT_EQ(inPlace.Width, copied.Width);
      EXPECT_EQ(inPlace.Height, copied.Height);
      EXPECT_EQ(inPlace.Format, copied.Format);
      EXPECT_EQ(test::BytesOf(inPlace), test::BytesOf(copied));
    }
  };
  ConversionSettings settings;
  check("no action", settings);
  settings.Enabled[int(ActionId::Resize)] = true;
  settings.TargetWidth = 23;
  settings.TargetHeight = 17;
  settings.ResizeFilter = 2;
  check("bicubic resize", settings);
  settings.ResizeFilter = 1;
  check("bilinear resize", settings);
  settings.ResizeFilter = 2;
  settings.ResizeIfSmaller = false;
  settings.TargetWidth = 500;
  settings.TargetHeight = 400;
  check("resize that does not apply", settings);
  settings.ResizeIfSmaller = true;
  settings.TargetWidth = 23;
  settings.TargetHeight = 17;
  settings.Enabled[int(ActionId::Sharpen)] = true;
  check("resize, then sharpen", settings);
  settings.ActionStep[int(ActionId::Sharpen)] = 0;
  settings.ActionStep[int(ActionId::Resize)] = 1;
  check("sharpen, then resize", settings);
  settings.Enabled[int(ActionId::Sharpen)] = false;
  settings.ActionStep[int(ActionId::Resize)] = 0;
  settings.TargetWidth = 0;
  settings.TargetHeight = 0;
  check("failing resize", settings);
  ConversionSettings rotated = RotateAndCrop(1, 2);
  rotated.Enabled[int(ActionId::Resize)] = true;
  rotated.ResizeFilter = 2;
  rotated.TargetWidth = 30;
  rotated.TargetHeight = 20;
  check("resize, rotate, crop", rotated);
}

}  // namespace
}  // namespace pixolan::core
