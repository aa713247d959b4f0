// Convolution, point transforms and channel filters of the canvas on known pixels.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "imaging/canvas/Canvas.h"
#include "imaging/image/Imaging.h"
#include "support/TestImages.h"

namespace pixolan::imaging {
namespace {

using F = TImageFormatId;
using namespace test;
using Bytes = std::vector<uint8_t>;

// A one-row A8R8G8B8 image of gray pixels with the given values and alpha 255.
TImageData GrayRow(const std::vector<uint8_t>& values) {
  Bytes bytes;
  for (uint8_t v : values) bytes.insert(bytes.end(), {v, v, v, 255});
  return MakeImage(int32_t(values.size()), 1, F::A8R8G8B8, bytes);
}

std::vector<uint8_t> RedOf(const TImageData& image) {
  std::vector<uint8_t> red;
  for (int32_t i = 0; i < image.Width * image.Height; ++i) red.push_back(image.bits()[i * 4 + 2]);
  return red;
}

// A one-pixel A32R32G32B32F image: the float formats store results unrounded.
TImageData FloatPixel(float r, float g, float b, float a = 1.0f) {
  TImageData image;
  ImageCreate(1, 1, F::A32R32G32B32F, image);
  const float bgra[4] = {b, g, r, a};
  std::memcpy(image.bits(), bgra, 16);
  return image;
}

TPixelFP FloatOf(const TImageData& image) {
  TPixelFP p;
  std::memcpy(&p, image.bits(), 16);
  return p;
}

// --- convolution ---

TEST(CanvasConvolution, KernelsAtTheBordersRepeatTheEdgePixels) {
  struct Case {
    const char* what;
    std::vector<std::vector<int32_t>> kernel;
    int32_t divisor;
    std::vector<uint8_t> input, expected;
  };
  const Case cases[] = {
      {"identity", {{1}}, 1, {0, 30, 60, 90}, {0, 30, 60, 90}},
      {"3-mean", {{1, 1, 1}}, 3, {0, 30, 60, 90}, {10, 30, 60, 80}},
      {"5-mean on a step", {{1, 1, 1, 1, 1}}, 5, {0, 0, 0, 250, 250}, {0, 50, 100, 150, 200}},
      {"divisor below 2 means 1", {{1, 1}}, -4, {10, 20, 30}, {20, 30, 50}},
      {"left-leaning even kernel", {{0, 1}}, 1, {10, 20, 30}, {10, 20, 30}},
      {"shift by one", {{1, 0, 0}}, 1, {10, 20, 30}, {10, 10, 20}},
      {"negative sums clamp to 0", {{-1}}, 1, {10, 20, 30}, {0, 0, 0}},
      {"large sums clamp to 1", {{4}}, 1, {10, 100, 200}, {40, 255, 255}},
      {"vertical kernel on one row", {{1}, {1}, {1}}, 3, {7, 8, 9}, {7, 8, 9}},
      {"one pixel", {{1, 1, 1}, {1, 1, 1}, {1, 1, 1}}, 9, {77}, {77}},
  };
  for (const Case& c : cases) {
    for (bool fast : {true, false}) {
      TImageData image = GrayRow(c.input);
      TImagingCanvas canvas(image);
      canvas.SetFastPathsEnabled(fast);
      canvas.ConvolveFree({c.kernel, c.divisor, 0.5f});  // the bias is not used
      EXPECT_EQ(RedOf(image), c.expected) << c.what << (fast ? " fast" : " general");
      for (int32_t i = 0; i < image.Width; ++i) EXPECT_EQ(image.bits()[i * 4 + 3], 255);
    }
  }
}

TEST(CanvasConvolution, VerticalNeighboursAndTheClipRectangle) {
  // 3 x 4 gray image, a vertical 3-mean limited to the middle column and rows 1..3:
  // neighbours beyond the clip repeat the clip's edge rows, pixels outside stay.
  const std::vector<uint8_t> values = {0, 30, 90, 3, 60, 6, 9, 90, 9, 12, 210, 12};
  for (bool fast : {true, false}) {
    TImageData image = GrayRow(values);
    image.Width = 3;
    image.Height = 4;
    TImagingCanvas canvas(image);
    canvas.SetFastPathsEnabled(fast);
    canvas.ClipRect = {1, 1, 2, 4};
    canvas.ConvolveFree({{{1}, {1}, {1}}, 3, 0.0f});
    EXPECT_EQ(RedOf(image), (std::vector<uint8_t>{0, 30, 90, 3, 70, 6, 9, 120, 9, 12, 170, 12}));
  }
}

TEST(CanvasConvolution, SharpenKeepsOrScalesFlatAreas) {
  struct Case {
    int size;
    float strength;
    uint8_t flat, expected;
  };
  const Case cases[] = {
      {3, 0.0f, 100, 100}, {3, 0.5f, 100, 150}, {5, 0.5f, 100, 150},
      {3, -0.5f, 100, 50}, {5, 1.5f, 120, 255}, {3, 1.0f, 0, 0},
  };
  for (const Case& c : cases) {
    for (bool fast : {true, false}) {
      TImageData image = GrayRow(std::vector<uint8_t>(35, c.flat));
      image.Width = 7;
      image.Height = 5;
      TImagingCanvas canvas(image);
      canvas.SetFastPathsEnabled(fast);
      if (c.size == 3)
        canvas.SharpenKernel3x3(c.strength);
      else
        canvas.SharpenKernel5x5(c.strength);
      EXPECT_EQ(RedOf(image), std::vector<uint8_t>(35, c.expected))
          << c.size << "x" << c.size << " strength " << c.strength;
    }
  }
}

TEST(CanvasConvolution, SharpenWithZeroStrengthOrDivisorChangesNothing) {
  const Bytes bytes = RandomBytes(9 * 7 * 4, 11);
  for (bool fast : {true, false}) {
    TImageData image = MakeImage(9, 7, F::A8R8G8B8, bytes);
    TImagingCanvas canvas(image);
    canvas.SetFastPathsEnabled(fast);
    canvas.SharpenKernel3x3(0.0f);
    canvas.SharpenKernel5x5(0.0f);
    canvas.SharpenKernelFree({{{-1, 2, -1}, {3, 4, 5}}, 0, 0.0f}, 2.0f);
    canvas.ConvolveFree({{{1}}, 1, 0.0f});
    EXPECT_EQ(BytesOf(image), bytes);
  }
}

TEST(CanvasConvolution, AddsTheEdgeResponseToThePixel) {
  // Radius-1 free kernel on a 3 x 1 row: own + (sum of weights * values) * strength / divisor.
  TImageData image = GrayRow({0, 255, 0});
  TImagingCanvas canvas(image);
  canvas.SharpenKernelFree({{{-1, 2, -1}}, 2, 0.0f}, 0.25f);
  // Middle: 1 + (-0 + 2 - 0) * 0.25 / 2 = 1.25 -> 255; sides: 0 + (-0 + 0 - 1) * 0.125 < 0.
  EXPECT_EQ(RedOf(image), (std::vector<uint8_t>{0, 255, 0}));

  TImageData mid = GrayRow({100, 100, 200});
  TImagingCanvas midCanvas(mid);
  midCanvas.SharpenKernelFree({{{-1, 2, -1}}, 2, 0.0f}, 1.0f);
  // 100 + (-100 + 200 - 100) / 2 = 100; 100 + (-100 + 200 - 200) / 2 = 50;
  // 200 + (-100 + 400 - 200) / 2 = 250.
  EXPECT_EQ(RedOf(mid), (std::vector<uint8_t>{100, 50, 250}));
}

TEST(CanvasConvolution, SquareKernelWithBiasAndOptionalClamp) {
  TImageData black = GrayRow({0, 0});
  TImagingCanvas canvas(black);
  const int32_t one[] = {1};
  canvas.Convolve(one, 1, true, 0.1f, 1);  // 0.1 * 255 = 25.5 -> 26
  EXPECT_EQ(RedOf(black), (std::vector<uint8_t>{26, 26}));

  TImageData fp = FloatPixel(0.5f, 0.25f, 0.75f, 0.5f);
  TImagingCanvas fpCanvas(fp);
  const int32_t three[] = {0, 0, 0, 0, 3, 0, 0, 0, 0};
  fpCanvas.Convolve(three, 3, false, 0.0f, 1);
  EXPECT_FLOAT_EQ(FloatOf(fp).R, 1.5f);
  EXPECT_FLOAT_EQ(FloatOf(fp).G, 0.75f);
  EXPECT_FLOAT_EQ(FloatOf(fp).B, 2.25f);
  EXPECT_FLOAT_EQ(FloatOf(fp).A, 0.5f);
  fpCanvas.Convolve3x3({{{0, 0, 0}, {0, 1, 0}, {0, 0, 0}}, 1, 0.0f});  // clamps
  EXPECT_FLOAT_EQ(FloatOf(fp).R, 1.0f);
  EXPECT_FLOAT_EQ(FloatOf(fp).G, 0.75f);
  fpCanvas.Convolve5x5(Sharpen5x5Kernel);
  EXPECT_FLOAT_EQ(FloatOf(fp).G, 0.75f);  // on one pixel the weights sum to 1
}

TEST(CanvasConvolution, RefusesKernelsWithoutShape) {
  TImageData image = GrayRow({1, 2, 3});
  TImagingCanvas canvas(image);
  EXPECT_THROW(canvas.ConvolveFree({{}, 1, 0.0f}), EImagingCanvasError);
  EXPECT_THROW(canvas.ConvolveFree({{{}}, 1, 0.0f}), EImagingCanvasError);
  EXPECT_THROW(canvas.SharpenKernelFree({{{1, 2}, {3}}, 1, 0.0f}, 1.0f), EImagingCanvasError);
  const int32_t four[] = {1, 2, 3, 4};
  EXPECT_THROW(canvas.Convolve(four, 3, true, 0.0f, 1), EImagingCanvasError);
  EXPECT_THROW(canvas.Convolve(four, 0, true, 0.0f, 1), EImagingCanvasError);
  EXPECT_EQ(RedOf(image), (std::vector<uint8_t>{1, 2, 3}));
}

TEST(CanvasConvolution, OtherFormatsGoThroughTheirAccessors) {
  for (F format : {F::A16R16G16B16, F::A32R32G32B32F, F::X8R8G8B8, F::A16B16G16R16F}) {
    TImageData image;
    ImageCreate(5, 3, format, image);
    const Bytes bytes = RandomBytes(size_t(image.Size), 5);
    TImageData source = MakeImage(5, 3, F::A8R8G8B8, bytes);
    ImageConvert(source, format);
    const Bytes before = BytesOf(source);
    TImagingCanvas canvas(source);
    canvas.ConvolveFree({{{1}}, 1, 0.0f});
    EXPECT_EQ(BytesOf(source), before) << FormatName(format);
  }
}

// --- point transforms and channel filters ---

TEST(CanvasPointTransforms, KnownValuesOnFloatPixels) {
  struct Case {
    const char* what;
    void (*apply)(TImagingCanvas&);
    float r, g, b;
    float er, eg, eb;
  };
  const Case cases[] = {
      {"contrast 100", [](TImagingCanvas& c) { c.AdjustContrastBrightness(100, 0); }, 0.25f, 0.75f,
       0.5f, 0.0f, 1.0f, 0.5f},
      {"brightness 10", [](TImagingCanvas& c) { c.AdjustContrastBrightness(0, 10); }, 0.0f, 0.5f,
       0.2f, 0.1f, 0.6f, 0.3f},
      {"gamma 2", [](TImagingCanvas& c) { c.AdjustGamma(2, 2, 2); }, 0.25f, 0.0f, 1.0f, 0.5f, 0.0f,
       1.0f},
      {"gamma blue only", [](TImagingCanvas& c) { c.AdjustGamma(1, 1, 2); }, 0.25f, 0.25f, 0.25f,
       0.25f, 0.25f, 0.5f},
      {"gamma near 0", [](TImagingCanvas& c) { c.AdjustGamma(1e-7f, 1, 1); }, 0.99f, 0.5f, 0.5f,
       0.0f, 0.5f, 0.5f},
      {"shift red 30", [](TImagingCanvas& c) { c.ShiftChannels(30, 0, 0); }, 0.2f, 0.2f, 0.2f, 0.3f,
       0.2f, 0.2f},
      {"shift 300 and -300", [](TImagingCanvas& c) { c.ShiftChannels(300, -300, 0); }, 0.0f, 1.0f,
       0.4f, 1.0f, 0.0f, 0.4f},
      {"saturation -100 gives gray", [](TImagingCanvas& c) { c.AdjustSaturation(-100); }, 0.2f,
       0.5f, 0.8f, 0.5f, 0.5f, 0.5f},
      {"saturation 50", [](TImagingCanvas& c) { c.AdjustSaturation(50); }, 0.2f, 0.5f, 0.8f, 0.05f,
       0.5f, 0.95f},
      {"green saturation 100", [](TImagingCanvas& c) { c.AdjustChannelSaturation(0, 100, 0); },
       0.2f, 0.5f, 0.2f, 0.2f, 0.7f, 0.2f},
      {"invert", [](TImagingCanvas& c) { c.InvertColors(); }, 0.25f, 1.0f, 0.0f, 0.75f, 0.0f, 1.0f},
      {"channels full without blue",
       [](TImagingCanvas& c) { c.FilterChannelsFull(true, true, false); }, 0.2f, 0.4f, 0.6f, 0.2f,
       0.4f, 1.0f},
      {"channels zero keeping red",
       [](TImagingCanvas& c) { c.FilterChannelsZero(true, false, false); }, 0.2f, 0.4f, 0.6f, 0.2f,
       0.0f, 0.0f},
      {"channels invert without red",
       [](TImagingCanvas& c) { c.FilterChannelsInvert(false, true, true); }, 0.2f, 0.4f, 0.6f, 0.8f,
       0.4f, 0.6f},
      // (0.2, 0.4, 0.6): C 0.8, M 0.6, Y 0.4, K 0.4; the chromatic inks relative to 1 - K
      // are 2/3, 1/3 and 0.
      {"inks keep all", [](TImagingCanvas& c) { c.FilterInksRemove(true, true, true, true); }, 0.2f,
       0.4f, 0.6f, 0.2f, 0.4f, 0.6f},
      {"inks remove cyan", [](TImagingCanvas& c) { c.FilterInksRemove(false, true, true, true); },
       0.2f, 0.4f, 0.6f, 0.6f, 0.4f, 0.6f},
      {"inks remove black", [](TImagingCanvas& c) { c.FilterInksRemove(true, true, true, false); },
       0.2f, 0.4f, 0.6f, 1.0f / 3.0f, 2.0f / 3.0f, 1.0f},
      {"inks saturate magenta",
       [](TImagingCanvas& c) { c.FilterInksSaturate(true, false, true, true); }, 0.2f, 0.4f, 0.6f,
       0.2f, 0.0f, 0.6f},
      {"inks saturate black",
       [](TImagingCanvas& c) { c.FilterInksSaturate(true, true, true, false); }, 0.2f, 0.4f, 0.6f,
       0.0f, 0.0f, 0.0f},
      // Raw cyan 0.8 put back: 0.6 * 0.8 + 0.4 = 0.88.
      {"inks raw cyan", [](TImagingCanvas& c) { c.FilterInksKeepRaw(false, true, true, false); },
       0.2f, 0.4f, 0.6f, 0.12f, 0.4f, 0.6f},
  };
  for (const Case& c : cases) {
    TImageData image = FloatPixel(c.r, c.g, c.b, 0.25f);
    TImagingCanvas canvas(image);
    c.apply(canvas);
    const TPixelFP p = FloatOf(image);
    EXPECT_NEAR(p.R, c.er, 1e-6) << c.what;
    EXPECT_NEAR(p.G, c.eg, 1e-6) << c.what;
    EXPECT_NEAR(p.B, c.eb, 1e-6) << c.what;
    EXPECT_EQ(p.A, 0.25f) << c.what;
  }
}

TEST(CanvasPointTransforms, KnownBytes) {
  struct Case {
    const char* what;
    void (*apply)(TImagingCanvas&);
    Bytes input, expected;  // B, G, R, A
  };
  const Case cases[] = {
      {"brightness 10 on black is 26",
       [](TImagingCanvas& c) { c.AdjustContrastBrightness(0, 10); },
       {0, 0, 0, 77},
       {26, 26, 26, 77}},
      {"contrast clamps",
       [](TImagingCanvas& c) { c.AdjustContrastBrightness(300, 0); },
       {0, 50, 255, 9},
       {0, 0, 255, 9}},
      {"invert", [](TImagingCanvas& c) { c.InvertColors(); }, {10, 128, 255, 1}, {245, 127, 0, 1}},
      {"zero keeps red",
       [](TImagingCanvas& c) { c.FilterChannelsZero(true, false, false); },
       {10, 20, 30, 40},
       {0, 0, 30, 40}},
      {"full replaces blue",
       [](TImagingCanvas& c) { c.FilterChannelsFull(true, true, false); },
       {10, 20, 30, 40},
       {255, 20, 30, 40}},
      {"invert replaces red",
       [](TImagingCanvas& c) { c.FilterChannelsInvert(false, true, true); },
       {10, 20, 30, 40},
       {10, 20, 225, 40}},
      {"all channels kept",
       [](TImagingCanvas& c) { c.FilterChannelsInvert(true, true, true); },
       {10, 20, 30, 40},
       {10, 20, 30, 40}},
      {"gamma with zero base",
       [](TImagingCanvas& c) { c.AdjustGamma(0.5f, 0.5f, 0.5f); },
       {0, 255, 0, 255},
       {0, 255, 0, 255}},
      {"colorize red 300 on black",
       [](TImagingCanvas& c) { c.ShiftChannels(300, 0, 0); },
       {0, 0, 0, 255},
       {0, 0, 255, 255}},
      {"colorize red -300 on white",
       [](TImagingCanvas& c) { c.ShiftChannels(-300, 0, 0); },
       {255, 255, 255, 255},
       {255, 255, 0, 255}},
  };
  for (const Case& c : cases) {
    for (bool fast : {true, false}) {
      TImageData image = MakeImage(1, 1, F::A8R8G8B8, c.input);
      TImagingCanvas canvas(image);
      canvas.SetFastPathsEnabled(fast);
      c.apply(canvas);
      EXPECT_EQ(BytesOf(image), c.expected) << c.what << (fast ? " fast" : " general");
    }
  }
}

TEST(CanvasPointTransforms, InkFiltersKeepingEveryInkChangeNothing) {
  // Gray pixels, pure primaries and arbitrary colors all come back.
  Bytes bytes = {0, 0,   0, 255, 255, 255, 255, 255, 128, 128, 128, 255, 0,   0, 255, 255,
                 0, 255, 0, 255, 255, 0,   0,   255, 0,   255, 255, 255, 255, 0, 255, 255};
  const Bytes random = RandomBytes(64 * 4, 21);
  bytes.insert(bytes.end(), random.begin(), random.end());
  const int32_t pixels = int32_t(bytes.size() / 4);
  for (bool fast : {true, false}) {
    TImageData image = MakeImage(pixels, 1, F::A8R8G8B8, bytes);
    TImagingCanvas canvas(image);
    canvas.SetFastPathsEnabled(fast);
    canvas.FilterInksRemove(true, true, true, true);
    canvas.FilterInksSaturate(true, true, true, true);
    canvas.FilterInksKeepRaw(true, true, true, true);
    EXPECT_EQ(BytesOf(image), bytes);
  }
}

TEST(CanvasPointTransforms, OnlyTheClipRectangleChanges) {
  const Bytes bytes = RandomBytes(6 * 5 * 4, 8);
  TImageData image = MakeImage(6, 5, F::A8R8G8B8, bytes);
  TImagingCanvas canvas(image);
  canvas.ClipRect = {2, 1, 4, 3};
  canvas.InvertColors();
  for (int32_t y = 0; y < 5; ++y)
    for (int32_t x = 0; x < 6; ++x) {
      const bool inside = x >= 2 && x < 4 && y >= 1 && y < 3;
      for (int c = 0; c < 4; ++c) {
        const size_t i = size_t((y * 6 + x) * 4 + c);
        const uint8_t expected = inside && c < 3 ? uint8_t(255 - bytes[i]) : bytes[i];
        EXPECT_EQ(image.bits()[i], expected) << x << "," << y << " channel " << c;
      }
    }
}

TEST(CanvasPointTransforms, GrayAndIndexedImagesAreWrittenThroughTheirFormats) {
  TImageData gray = MakeImage(2, 1, F::Gray8, {0, 200});
  TImagingCanvas g(gray);
  g.InvertColors();
  EXPECT_EQ(BytesOf(gray), (Bytes{255, 55}));

  TImageData indexed = MakeImage(2, 1, F::Index8, {0, 1});
  indexed.palette()[0] = TPixel32::FromColor(0xFF000000u);
  indexed.palette()[1] = TPixel32::FromColor(0xFFFFFFFFu);
  TImagingCanvas i(indexed);
  i.InvertColors();
  EXPECT_EQ(BytesOf(indexed), (Bytes{1, 0}));
}

}  // namespace
}  // namespace pixolan::imaging
