// Canvas construction, state, pixel access, pen and fill drawing and blended drawing.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "imaging/canvas/Canvas.h"
#include "imaging/image/Imaging.h"
#include "support/TestImages.h"

namespace pixolan::imaging {
namespace {

using F = TImageFormatId;
using namespace test;

constexpr TPixel32 kRed = TPixel32::FromColor(0xFFFF0000u);

uint32_t At(const TImageData& image, int32_t x, int32_t y) {
  uint32_t v;
  std::memcpy(&v, image.bits() + (int64_t(y) * image.Width + x) * 4, 4);
  return v;
}

int CountColor(const TImageData& image, uint32_t color) {
  int n = 0;
  for (int32_t y = 0; y < image.Height; ++y)
    for (int32_t x = 0; x < image.Width; ++x) n += At(image, x, y) == color;
  return n;
}

// --- construction ---

TEST(CanvasConstruction, RefusesNullInvalidAndCompressedImages) {
  try {
    TImagingCanvas canvas(static_cast<TImageData*>(nullptr));
    FAIL() << "null image accepted";
  } catch (const EImagingCanvasError& e) {
    EXPECT_STREQ(e.what(),
                 "Invalid pointer (0000000000000000) to TImageData passed to TImagingCanvas "
                 "constructor.");
  }

  TImageData empty;
  try {
    TImagingCanvas canvas(empty);
    FAIL() << "empty image accepted";
  } catch (const EImagingCanvasError& e) {
    EXPECT_EQ(std::string(e.what()), "Invalid image data passed to TImagingCanvas constructor (" +
                                         ImageDescribe(empty) + ").");
  }

  TImageData dxt;
  ASSERT_TRUE(ImageCreate(8, 8, F::DXT1, dxt));
  try {
    TImagingCanvas canvas(dxt);
    FAIL() << "compressed image accepted";
  } catch (const EImagingCanvasError& e) {
    EXPECT_STREQ(e.what(),
                 "Image passed to TImagingCanvas constructor is in unsupported format (DXT1)");
  }
}

TEST(CanvasConstruction, CanvasErrorIsAnImagingError) {
  TImageData empty;
  EXPECT_THROW(TImagingCanvas{empty}, EImagingError);
}

TEST(CanvasConstruction, AcceptsEveryOrdinaryFormat) {
  for (F format : AllFormats()) {
    TImageData image;
    ASSERT_TRUE(ImageCreate(3, 2, format, image)) << FormatName(format);
    const bool ordinary = !GetFormatDescriptor(format)->IsCompressed;
    if (ordinary)
      EXPECT_NO_THROW(TImagingCanvas{image}) << FormatName(format);
    else
      EXPECT_THROW(TImagingCanvas{image}, EImagingCanvasError) << FormatName(format);
  }
}

TEST(CanvasConstruction, FastCanvasAcceptsOnlyARGB32) {
  TImageData rgb;
  ImageCreate(2, 2, F::R8G8B8, rgb);
  try {
    TFastARGB32Canvas canvas(rgb);
    FAIL() << "R8G8B8 accepted";
  } catch (const EImagingCanvasError& e) {
    EXPECT_STREQ(e.what(),
                 "Image passed to TImagingCanvas constructor is in unsupported format (R8G8B8)");
  }
  TImageData argb = Filled(2, 2, 0);
  EXPECT_NO_THROW(TFastARGB32Canvas{argb});
}

TEST(CanvasConstruction, InitialState) {
  TImageData image = Filled(7, 5, 0);
  TImagingCanvas canvas(image);
  EXPECT_EQ(&canvas.ImageRef(), &image);
  EXPECT_EQ(canvas.ClipRect, (TRect{0, 0, 7, 5}));
  EXPECT_EQ(canvas.PenWidth, 1);
  EXPECT_EQ(canvas.PenMode, TPenMode::Solid);
  EXPECT_EQ(canvas.FillMode, TFillMode::Solid);
  EXPECT_EQ(canvas.PenColor32().Color(), 0xFFFFFFFFu);
  EXPECT_EQ(canvas.FillColor32().Color(), 0xFF000000u);
  EXPECT_FLOAT_EQ(canvas.PenColorFP().R, 1.0f);
  EXPECT_FLOAT_EQ(canvas.FillColorFP().A, 1.0f);
  EXPECT_FLOAT_EQ(canvas.FillColorFP().G, 0.0f);
  EXPECT_EQ(canvas.DataSize(), image.Size);
  EXPECT_EQ(canvas.Descriptor().Format, F::A8R8G8B8);
}

// --- state after the image changed ---

TEST(CanvasState, ReadsTheImageAgainAfterItsBufferWasReplaced) {
  TImageData image = Filled(4, 4, 0);
  TImagingCanvas canvas(image);
  ImageCreate(9, 6, F::R8G8B8, image);
  canvas.SetFillColor(kRed);
  canvas.FillRect({-100, -100, 100, 100});
  EXPECT_EQ(canvas.ClipRect, (TRect{0, 0, 9, 6}));
  EXPECT_EQ(canvas.Descriptor().Format, F::R8G8B8);
  for (int32_t i = 0; i < 9 * 6; ++i) {
    EXPECT_EQ(image.bits()[i * 3 + 2], 255);
    EXPECT_EQ(image.bits()[i * 3 + 0], 0);
  }
}

TEST(CanvasState, RefusesAnImageThatBecameUnusable) {
  TImageData image = Filled(4, 4, 0);
  TImagingCanvas canvas(image);
  ImageConvert(image, F::DXT5);
  EXPECT_THROW(canvas.InvertColors(), EImagingCanvasError);
  ImageFree(image);
  EXPECT_THROW(canvas.FillRect({0, 0, 1, 1}), EImagingCanvasError);

  TImageData argb = Filled(4, 4, 0);
  TFastARGB32Canvas fast(argb);
  ImageConvert(argb, F::R8G8B8);
  EXPECT_THROW(fast.GetPixel32(0, 0), EImagingCanvasError);
}

// --- pixel access ---

TEST(CanvasPixels, SettersClipGettersRefuseOutsideTheImage) {
  TImageData image = Filled(4, 3, 0x11223344u);
  TImagingCanvas canvas(image);
  TFastARGB32Canvas fast(image);
  for (TImagingCanvas* c : {&canvas, static_cast<TImagingCanvas*>(&fast)}) {
    c->ClipRect = {1, 1, 3, 2};
    c->SetPixel32(0, 0, kRed);  // outside the clip: ignored
    c->SetPixel32(2, 1, kRed);
    EXPECT_EQ(At(image, 0, 0), 0x11223344u);
    EXPECT_EQ(At(image, 2, 1), 0xFFFF0000u);
    // Reading does not clip, but stays within the image.
    EXPECT_EQ(c->GetPixel32(0, 0).Color(), 0x11223344u);
    EXPECT_THROW(c->GetPixel32(4, 0), EImagingCanvasError);
    EXPECT_THROW(c->GetPixel32(0, -1), EImagingCanvasError);
    c->SetPixel32(2, 1, TPixel32::FromColor(0x11223344u));
  }
  canvas.SetPixelFP(1, 1, {0.0f, 1.0f, 0.0f, 1.0f});
  EXPECT_EQ(At(image, 1, 1), 0xFF00FF00u);
  EXPECT_FLOAT_EQ(canvas.GetPixelFP(1, 1).G, 1.0f);
  EXPECT_THROW(canvas.GetPixelFP(-1, 0), EImagingCanvasError);
}

TEST(CanvasPixels, PenColorIsWrittenInTheImagesFormat) {
  struct Case {
    F format;
    std::vector<uint8_t> expected;  // the first pixel after filling with opaque white
  };
  const Case cases[] = {
      {F::Gray8, {255}},
      {F::R8G8B8, {255, 255, 255}},
      {F::R5G6B5, {0xFF, 0xFF}},
      {F::A16Gray16, {0xFF, 0xFF, 0xFF, 0xFF}},
      {F::X8R8G8B8, {255, 255, 255, 0}},
  };
  for (const Case& c : cases) {
    TImageData image;
    ImageCreate(3, 3, c.format, image);
    TImagingCanvas canvas(image);
    canvas.SetFillColor(TPixel32::FromColor(0xFFFFFFFFu));
    canvas.FillRect({0, 0, 3, 3});
    const std::vector<uint8_t> bytes = BytesOf(image);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + int64_t(c.expected.size())),
              c.expected)
        << FormatName(c.format);
  }

  TImageData indexed;
  ImageCreate(2, 2, F::Index8, indexed);
  indexed.palette()[7] = kRed;
  TImagingCanvas canvas(indexed);
  canvas.SetFillColor(kRed);
  canvas.FillRect({0, 0, 2, 2});
  EXPECT_EQ(BytesOf(indexed), (std::vector<uint8_t>{7, 7, 7, 7}));
}

// --- lines and rectangles ---

struct FrameCase {
  int32_t penWidth;
  int coveredPixels;             // on a 10 x 10 image
  int top, left, bottom, right;  // fully covered rows and columns at each side
};

int CoveredRowsFromTop(const TImageData& image, uint32_t color, bool fromBottom) {
  int rows = 0;
  for (int32_t i = 0; i < image.Height; ++i) {
    const int32_t y = fromBottom ? image.Height - 1 - i : i;
    bool full = true;
    for (int32_t x = 0; x < image.Width; ++x) full = full && At(image, x, y) == color;
    if (!full) break;
    ++rows;
  }
  return rows;
}

int CoveredColumnsFromLeft(const TImageData& image, uint32_t color, bool fromRight) {
  int columns = 0;
  for (int32_t i = 0; i < image.Width; ++i) {
    const int32_t x = fromRight ? image.Width - 1 - i : i;
    bool full = true;
    for (int32_t y = 0; y < image.Height; ++y) full = full && At(image, x, y) == color;
    if (!full) break;
    ++columns;
  }
  return columns;
}

TEST(CanvasDrawing, FrameOverTheWholeImage) {
  const FrameCase cases[] = {
      {0, 0, 0, 0, 0, 0},  {1, 36, 1, 1, 1, 1}, {2, 51, 1, 1, 2, 2}, {3, 64, 2, 2, 2, 2},
      {4, 75, 2, 2, 3, 3}, {5, 84, 3, 3, 3, 3}, {-3, 0, 0, 0, 0, 0}, {30, 100, 10, 10, 10, 10},
  };
  for (const FrameCase& c : cases) {
    TImageData image = Filled(10, 10, 0xFF000000u);
    TImagingCanvas canvas(image);
    canvas.FillMode = TFillMode::Clear;
    canvas.PenWidth = c.penWidth;
    canvas.SetPenColor(kRed);
    canvas.Rectangle(canvas.ClipRect);
    SCOPED_TRACE("pen width " + std::to_string(c.penWidth));
    EXPECT_EQ(CountColor(image, kRed.Color()), c.coveredPixels);
    if (c.coveredPixels == 0) continue;
    EXPECT_EQ(CoveredRowsFromTop(image, kRed.Color(), false), c.top);
    EXPECT_EQ(CoveredRowsFromTop(image, kRed.Color(), true), c.bottom);
    EXPECT_EQ(CoveredColumnsFromLeft(image, kRed.Color(), false), c.left);
    EXPECT_EQ(CoveredColumnsFromLeft(image, kRed.Color(), true), c.right);
  }
}

TEST(CanvasDrawing, RectangleFillsThenFramesAndHonoursTheModes) {
  TImageData image = Filled(6, 6, 0);
  TImagingCanvas canvas(image);
  canvas.SetPenColor(kRed);
  canvas.SetFillColor(TPixel32::FromColor(0xFF0000FFu));
  canvas.Rectangle({1, 1, 5, 5});
  EXPECT_EQ(CountColor(image, kRed.Color()), 12);  // the 4x4 outline
  EXPECT_EQ(CountColor(image, 0xFF0000FFu), 4);    // its 2x2 inside
  EXPECT_EQ(CountColor(image, 0u), 36 - 16);

  TImageData clear = Filled(6, 6, 0);
  TImagingCanvas clearCanvas(clear);
  clearCanvas.PenMode = TPenMode::Clear;
  clearCanvas.FillMode = TFillMode::Clear;
  clearCanvas.Rectangle({0, 0, 6, 6});
  clearCanvas.HorzLine(0, 6, 2);
  clearCanvas.VertLine(2, 0, 6);
  clearCanvas.Line(0, 0, 5, 5);
  EXPECT_EQ(CountColor(clear, 0u), 36);
}

TEST(CanvasDrawing, LinesAreOrderedCentredAndClipped) {
  struct Case {
    const char* what;
    int32_t penWidth;
    bool horizontal;
    int32_t a, b, at;
    TRect clip;
    TRect expected;  // the colored pixels form exactly this rectangle
  };
  const Case cases[] = {
      {"horizontal", 1, true, 2, 6, 3, {0, 0, 10, 8}, {2, 3, 6, 4}},
      {"ends swapped", 1, true, 6, 2, 3, {0, 0, 10, 8}, {2, 3, 6, 4}},
      {"three wide", 3, true, 0, 10, 3, {0, 0, 10, 8}, {0, 2, 10, 5}},
      {"two wide", 2, true, 0, 10, 3, {0, 0, 10, 8}, {0, 2, 10, 4}},
      {"beyond the image", 1, true, -50, 50, 7, {0, 0, 10, 8}, {0, 7, 10, 8}},
      {"clipped", 5, true, 0, 10, 3, {2, 2, 7, 4}, {2, 2, 7, 4}},
      {"vertical", 1, false, 1, 5, 4, {0, 0, 10, 8}, {4, 1, 5, 5}},
      {"vertical four wide", 4, false, 5, 1, 4, {0, 0, 10, 8}, {2, 1, 6, 5}},
      {"clip beyond the image", 1, true, 0, 10, 0, {-5, -5, 50, 50}, {0, 0, 10, 1}},
  };
  for (const Case& c : cases) {
    TImageData image = Filled(10, 8, 0);
    TImagingCanvas canvas(image);
    canvas.PenWidth = c.penWidth;
    canvas.ClipRect = c.clip;
    if (c.horizontal)
      canvas.HorzLine(c.a, c.b, c.at);
    else
      canvas.VertLine(c.at, c.a, c.b);
    for (int32_t y = 0; y < 8; ++y)
      for (int32_t x = 0; x < 10; ++x) {
        const bool inside = x >= c.expected.Left && x < c.expected.Right && y >= c.expected.Top &&
                            y < c.expected.Bottom;
        EXPECT_EQ(At(image, x, y), inside ? 0xFFFFFFFFu : 0u) << c.what << " at " << x << "," << y;
      }
  }
}

TEST(CanvasDrawing, LinesStepAlongTheLongerAxis) {
  struct Case {
    const char* what;
    int32_t x1, y1, x2, y2;
    std::vector<std::pair<int32_t, int32_t>> pixels;  // exactly these, on a 5 x 5 image
  };
  const Case cases[] = {
      {"diagonal beyond the image", -2, -2, 6, 6, {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}}},
      {"both ends included", 4, 2, 1, 2, {{1, 2}, {2, 2}, {3, 2}, {4, 2}}},
      {"shallow, halves rounded up", 0, 0, 4, 2, {{0, 0}, {1, 1}, {2, 1}, {3, 2}, {4, 2}}},
      {"steep", 2, 4, 1, 0, {{1, 0}, {1, 1}, {2, 2}, {2, 3}, {2, 4}}},
      {"single point", 3, 1, 3, 1, {{3, 1}}},
      {"ends far away", INT32_MIN, 2, INT32_MAX, 2, {{0, 2}, {1, 2}, {2, 2}, {3, 2}, {4, 2}}},
      {"outside", -9, -1, 9, -1, {}},
  };
  for (const Case& c : cases) {
    TImageData image = Filled(5, 5, 0);
    TImagingCanvas canvas(image);
    canvas.Line(c.x1, c.y1, c.x2, c.y2);
    EXPECT_EQ(CountColor(image, 0xFFFFFFFFu), int(c.pixels.size())) << c.what;
    for (const auto& [x, y] : c.pixels) EXPECT_EQ(At(image, x, y), 0xFFFFFFFFu) << c.what;
  }
}

TEST(CanvasDrawing, FillSpanAndFillRectAreClipped) {
  TImageData image = Filled(6, 4, 0);
  TImagingCanvas canvas(image);
  const uint32_t raw = 0x80402010u;
  canvas.ClipRect = {1, 0, 5, 4};
  canvas.FillSpan(-10, 10, 2, reinterpret_cast<const uint8_t*>(&raw));
  canvas.FillSpan(0, 6, 9, reinterpret_cast<const uint8_t*>(&raw));  // below the image
  EXPECT_EQ(CountColor(image, raw), 4);
  EXPECT_EQ(At(image, 0, 2), 0u);
  EXPECT_EQ(At(image, 1, 2), raw);

  canvas.FillRect({3, -7, 100, 1});
  EXPECT_EQ(At(image, 3, 0), 0xFF000000u);
  EXPECT_EQ(At(image, 4, 0), 0xFF000000u);
  EXPECT_EQ(At(image, 5, 0), 0u);
  EXPECT_EQ(CountColor(image, 0xFF000000u), 2);
}

TEST(CanvasDrawing, OnePixelImage) {
  TImageData image = Filled(1, 1, 0);
  TImagingCanvas canvas(image);
  canvas.FillMode = TFillMode::Clear;
  canvas.SetPenColor(kRed);
  canvas.Rectangle(canvas.ClipRect);
  EXPECT_EQ(At(image, 0, 0), kRed.Color());
}

// --- blended drawing ---

TEST(CanvasBlend, OpacityZeroKeepsAndHundredCopiesIncludingAlpha) {
  const std::vector<uint8_t> srcBytes = RandomBytes(5 * 4 * 4, 1);
  const std::vector<uint8_t> dstBytes = RandomBytes(5 * 4 * 4, 2);
  for (bool fast : {true, false}) {
    TImageData src = MakeImage(5, 4, F::A8R8G8B8, srcBytes);
    TImageData dst = MakeImage(5, 4, F::A8R8G8B8, dstBytes);
    TImagingCanvas s(src), d(dst);
    s.SetFastPathsEnabled(fast);
    s.DrawOpacity({0, 0, 5, 4}, d, 0, 0, 0);
    EXPECT_EQ(BytesOf(dst), dstBytes);
    s.DrawOpacity({0, 0, 5, 4}, d, 0, 0, 100);
    EXPECT_EQ(BytesOf(dst), srcBytes);
  }
}

TEST(CanvasBlend, MixesEveryChannelByTheOpacity) {
  struct Case {
    uint32_t src, dst;
    int32_t opacity;
    uint32_t expected;
  };
  const Case cases[] = {
      // 0 - (0 - 1) * 0.5 = 0.5 -> 127.5, halves to even: 128; alpha mixes the same way.
      {0xFFFFFFFFu, 0x00000000u, 50, 0x80808080u},
      {0xC8C8C8C8u, 0x64646464u, 50, 0x96969696u},   // 200 and 100 -> 150
      {0xFF0000FFu, 0xFF00FF00u, 25, 0xFF00BF40u},   // 255 * 0.75 = 191.25, 255 * 0.25 = 63.75
      {0x00FF0000u, 0x0000FF00u, 150, 0x00FF0000u},  // beyond 100 the writer clamps
  };
  for (const Case& c : cases) {
    for (bool fast : {true, false}) {
      TImageData src = Filled(2, 2, c.src), dst = Filled(2, 2, c.dst);
      TImagingCanvas s(src), d(dst);
      s.SetFastPathsEnabled(fast);
      s.DrawOpacity(s.ClipRect, d, 0, 0, c.opacity);
      EXPECT_EQ(At(dst, 1, 1), c.expected) << std::hex << c.src << " over " << c.dst;
    }
  }
}

TEST(CanvasBlend, ColorKeySkipsMatchingSourcePixels) {
  for (bool fast : {true, false}) {
    TImageData src = Filled(3, 1, 0xFFFFFFFFu);
    std::memcpy(src.bits() + 4, "\x10\x20\x30\xFF", 4);
    std::memcpy(src.bits() + 8, "\xFF\xFF\xFE\x00", 4);  // red 254: trunc(99.6) = 99
    TImageData dst = Filled(3, 1, 0xFF000000u);
    TImagingCanvas s(src), d(dst);
    s.SetFastPathsEnabled(fast);
    s.DrawOpacityColorKey({0, 0, 3, 1}, d, 0, 0, 100, 1.0f, 1.0f, 1.0f);
    EXPECT_EQ(At(dst, 0, 0), 0xFF000000u);
    EXPECT_EQ(At(dst, 1, 0), 0xFF302010u);
    EXPECT_EQ(At(dst, 2, 0), 0x00FEFFFFu);

    // The key compares hundredths: 128/255 and 129/255 both truncate to 50.
    TImageData gray = Filled(2, 1, 0xFF808080u);
    std::memcpy(gray.bits() + 4, "\x81\x81\x81\xFF", 4);
    TImageData under = Filled(2, 1, 0xFF000000u);
    TImagingCanvas g(gray), u(under);
    g.SetFastPathsEnabled(fast);
    g.DrawOpacityColorKey({0, 0, 2, 1}, u, 0, 0, 100, 128 / 255.0f, 128 / 255.0f, 128 / 255.0f);
    EXPECT_EQ(CountColor(under, 0xFF000000u), 2);
  }
}

TEST(CanvasBlend, ClipsAgainstSourceImageAndDestinationClipRect) {
  struct Case {
    const char* what;
    TRect srcRect;
    int32_t dstX, dstY;
    TRect dstClip;
    // Destination pixel (x, y) takes source pixel (x - dx, y - dy) inside `covered`.
    TRect covered;
    int32_t dx, dy;
  };
  const Case cases[] = {
      {"whole", {0, 0, 4, 3}, 1, 1, {0, 0, 6, 5}, {1, 1, 5, 4}, 1, 1},
      {"negative target", {0, 0, 4, 3}, -2, -1, {0, 0, 6, 5}, {0, 0, 2, 2}, -2, -1},
      {"source beyond its image", {-1, -1, 9, 9}, 0, 0, {0, 0, 6, 5}, {1, 1, 5, 4}, 1, 1},
      {"cut at the right", {0, 0, 4, 3}, 4, 3, {0, 0, 6, 5}, {4, 3, 6, 5}, 4, 3},
      {"clip rectangle", {0, 0, 4, 3}, 0, 0, {1, 1, 3, 6}, {1, 1, 3, 3}, 0, 0},
      {"clip beyond the image", {0, 0, 4, 3}, 3, 3, {-9, -9, 99, 99}, {3, 3, 6, 5}, 3, 3},
      {"inverted rectangle", {3, 3, 1, 1}, 0, 0, {0, 0, 6, 5}, {0, 0, 0, 0}, 0, 0},
  };
  const std::vector<uint8_t> srcBytes = RandomBytes(4 * 3 * 4, 7);
  for (const Case& c : cases) {
    for (bool fast : {true, false}) {
      TImageData src = MakeImage(4, 3, F::A8R8G8B8, srcBytes);
      TImageData dst = Filled(6, 5, 0x01020304u);
      TImagingCanvas s(src), d(dst);
      s.SetFastPathsEnabled(fast);
      d.ClipRect = c.dstClip;
      s.DrawOpacity(c.srcRect, d, c.dstX, c.dstY, 100);
      for (int32_t y = 0; y < 5; ++y)
        for (int32_t x = 0; x < 6; ++x) {
          const bool inside = x >= c.covered.Left && x < c.covered.Right && y >= c.covered.Top &&
                              y < c.covered.Bottom;
          EXPECT_EQ(At(dst, x, y), inside ? At(src, x - c.dx, y - c.dy) : 0x01020304u)
              << c.what << " at " << x << "," << y;
        }
    }
  }
}

TEST(CanvasBlend, DrawingOntoItselfReadsTheUnchangedSource) {
  const std::vector<uint8_t> bytes = RandomBytes(5 * 2 * 4, 3);
  for (bool fast : {true, false}) {
    TImageData image = MakeImage(5, 2, F::A8R8G8B8, bytes);
    TImagingCanvas canvas(image);
    canvas.SetFastPathsEnabled(fast);
    canvas.DrawOpacity({0, 0, 4, 2}, canvas, 1, 0, 100);
    for (int32_t y = 0; y < 2; ++y)
      for (int32_t x = 1; x < 5; ++x) {
        uint32_t original;
        std::memcpy(&original, bytes.data() + (y * 5 + x - 1) * 4, 4);
        EXPECT_EQ(At(image, x, y), original);
      }
  }
}

TEST(CanvasBlend, FormatsMeetThroughTheirFloatValues) {
  // An R8G8B8 source reads alpha 1; an R8G8B8 destination stores no alpha.
  TImageData rgb = MakeImage(1, 1, F::R8G8B8, {10, 20, 30});
  TImageData argb = Filled(1, 1, 0x00000000u);
  TImagingCanvas r(rgb), a(argb);
  r.DrawOpacity(r.ClipRect, a, 0, 0, 100);
  EXPECT_EQ(At(argb, 0, 0), 0xFF1E140Au);

  TImageData gray = MakeImage(1, 1, F::Gray8, {0});
  TImageData white = Filled(1, 1, 0xFFFFFFFFu);
  TImagingCanvas w(white), g(gray);
  w.DrawOpacity(w.ClipRect, g, 0, 0, 100);
  EXPECT_EQ(gray.bits()[0], 255);
}

}  // namespace
}  // namespace pixolan::imaging
