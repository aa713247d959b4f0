#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <set>

#include "imaging/image/ConvertInternal.h"
#include "imaging/image/Imaging.h"
#include "support/TestImages.h"

namespace pixolan::imaging {
namespace {

using F = TImageFormatId;
using Bytes = std::vector<uint8_t>;

Bytes Words(std::initializer_list<uint16_t> words) {
  Bytes b;
  for (uint16_t w : words) b.push_back(uint8_t(w)), b.push_back(uint8_t(w >> 8));
  return b;
}
Bytes Floats(std::initializer_list<float> floats) {
  Bytes b(floats.size() * 4);
  std::memcpy(b.data(), floats.begin(), b.size());
  return b;
}
Bytes Dwords(std::initializer_list<uint32_t> values) {
  Bytes b(values.size() * 4);
  std::memcpy(b.data(), values.begin(), b.size());
  return b;
}

struct PixelCase {
  const char* what;
  F from;
  Bytes input;
  F to;
  Bytes expected;
};

// One pixel converted by the rules of each routine; expectations worked out by hand.
const PixelCase kPixelCases[] = {
    {"rgb to argb sets opaque alpha", F::R8G8B8, {10, 20, 30}, F::A8R8G8B8, {10, 20, 30, 255}},
    {"rgb to xrgb leaves fourth byte 0", F::R8G8B8, {10, 20, 30}, F::X8R8G8B8, {10, 20, 30, 0}},
    {"argb to rgb", F::A8R8G8B8, {10, 20, 30, 40}, F::R8G8B8, {10, 20, 30}},
    {"argb to xrgb", F::A8R8G8B8, {10, 20, 30, 40}, F::X8R8G8B8, {10, 20, 30, 0}},
    {"xrgb to argb", F::X8R8G8B8, {10, 20, 30, 99}, F::A8R8G8B8, {10, 20, 30, 255}},
    {"argb to gray8 on bytes", F::A8R8G8B8, {10, 20, 30, 40}, F::Gray8, {22}},
    {"argb to a8gray8 through gray16", F::A8R8G8B8, {10, 20, 30, 40}, F::A8Gray8, {21, 40}},
    {"argb to gray16", F::A8R8G8B8, {10, 20, 30, 40}, F::Gray16, Words({5615})},
    {"gray8 to gray16 shifts", F::Gray8, {200}, F::Gray16, Words({51200})},
    {"gray16 to gray8 shifts", F::Gray16, Words({51400}), F::Gray8, {200}},
    {"gray8 to argb", F::Gray8, {200}, F::A8R8G8B8, {200, 200, 200, 255}},
    {"gray8 to xrgb", F::Gray8, {200}, F::X8R8G8B8, {200, 200, 200, 0}},
    {"a8gray8 to argb keeps alpha", F::A8Gray8, {100, 50}, F::A8R8G8B8, {100, 100, 100, 50}},
    {"gray16 to a16gray16", F::Gray16, Words({1000}), F::A16Gray16, Words({1000, 65535})},
    {"gray32 keeps upper word", F::Gray32, Dwords({0xABCD1234u}), F::Gray16, Words({0xABCD})},
    {"gray16 to gray32 replicates", F::Gray16, Words({0xABCD}), F::Gray32, Dwords({0xABCDABCDu})},
    {"gray16 to float", F::Gray16, Words({65535}), F::A32R32G32B32F,
     Floats({65535 * kInv65535, 65535 * kInv65535, 65535 * kInv65535, 65535 * kInv65535})},
    {"argb to r5g6b5 blue", F::A8R8G8B8, {255, 0, 0, 255}, F::R5G6B5, Words({0x001F})},
    {"argb to r5g6b5 mid", F::A8R8G8B8, {131, 129, 131, 255}, F::R5G6B5, Words({0x8410})},
    {"r5g6b5 mid to argb", F::R5G6B5, Words({0x8410}), F::A8R8G8B8, {131, 129, 131, 255}},
    {"r5g6b5 white stays white", F::R5G6B5, Words({0xFFFF}), F::A8R8G8B8, {255, 255, 255, 255}},
    {"a1r5g5b5 alpha below half", F::A8R8G8B8, {0, 0, 255, 127}, F::A1R5G5B5, Words({0x7C00})},
    {"a1r5g5b5 alpha from half", F::A8R8G8B8, {0, 0, 255, 128}, F::A1R5G5B5, Words({0xFC00})},
    {"a1r5g5b5 to argb", F::A1R5G5B5, Words({0x83E0}), F::A8R8G8B8, {0, 255, 0, 255}},
    {"a4r4g4b4", F::A8R8G8B8, {0, 128, 255, 255}, F::A4R4G4B4, Words({0xFF80})},
    {"x4r4g4b4 red", F::X4R4G4B4, Words({0x0F00}), F::A8R8G8B8, {0, 0, 255, 255}},
    {"x1r5g5b5 ignores x bit", F::X1R5G5B5, Words({0xFFFF}), F::R8G8B8, {255, 255, 255}},
    {"x5r1g1b1", F::A8R8G8B8, {255, 0, 255, 255}, F::X5R1G1B1, {5}},
    {"r3g3b2 white", F::R8G8B8, {255, 255, 255}, F::R3G3B2, {0xFF}},
    {"r3g3b2 red to rgb", F::R3G3B2, {0xE0}, F::R8G8B8, {0, 0, 255}},
    {"r3g3b2 mid", F::R3G3B2, {0x49}, F::R8G8B8, {85, 72, 72}},
    {"argb to a16r16g16b16",
     F::A8R8G8B8,
     {10, 20, 30, 255},
     F::A16R16G16B16,
     Words({2570, 5140, 7710, 65535})},
    {"a16r16g16b16 truncates to bytes",
     F::A16R16G16B16,
     Words({0x1234, 0, 65535, 65535}),
     F::A8R8G8B8,
     {18, 0, 255, 255}},
    {"a16b16g16r16 red first in memory",
     F::A16B16G16R16,
     Words({65535, 0, 0, 65535}),
     F::A8R8G8B8,
     {0, 0, 255, 255}},
    {"r16g16b16 to b16g16r16 exchanges words", F::R16G16B16, Words({1, 2, 3}), F::B16G16R16,
     Words({3, 2, 1})},
    {"r32f red only, half rounds to even", F::R32F, Floats({0.5f}), F::A8R8G8B8, {0, 0, 127, 255}},
    {"float clamped",
     F::A32R32G32B32F,
     Floats({1.5f, -0.5f, 0.25f, 1.0f}),
     F::A8R8G8B8,
     {255, 0, 63, 255}},
    {"float infinities saturate, NaN is 0",
     F::A32R32G32B32F,
     Floats({INFINITY, -INFINITY, NAN, 2.0f}),
     F::A8R8G8B8,
     {255, 0, 0, 255}},
    {"a32b32g32r32f red first",
     F::A32B32G32R32F,
     Floats({1, 0, 0, 1}),
     F::A8R8G8B8,
     {0, 0, 255, 255}},
    {"float to gray8", F::A32R32G32B32F, Floats({0, 0, 1, 1}), F::Gray8, {76}},
    {"float to half", F::A32R32G32B32F, Floats({1.0f, 0.5f, 1.0f / 3.0f, 65520.0f}),
     F::A16R16G16B16F, Words({0x3C00, 0x3800, 0x3555, 0x7C00})},
    {"half subnormals and range", F::A32R32G32B32F,
     Floats({std::ldexp(1.0f, -25), std::ldexp(1.0f, -26), 65519.0f, -2.0f}), F::A16R16G16B16F,
     Words({0x0001, 0x0000, 0x7BFF, 0xC000})},
    {"half to float", F::A16R16G16B16F, Words({0x0001, 0x3C00, 0xFC00, 0x3555}), F::A32R32G32B32F,
     Floats({std::ldexp(1.0f, -24), 1.0f, -INFINITY, 0.333251953125f})},
    {"r16f reads red", F::R16F, Words({0x3800}), F::A32R32G32B32F, Floats({0, 0, 0.5f, 1})},
    {"argb to float",
     F::A8R8G8B8,
     {0, 255, 51, 255},
     F::A32R32G32B32F,
     Floats({0, 65535 * kInv65535, 13107 * kInv65535, 65535 * kInv65535})},
    {"gray8 to index8 copies", F::Gray8, {200}, F::Index8, {200}},
    {"gray16 to index8 shifts", F::Gray16, Words({51400}), F::Index8, {200}},
};

TEST(ImageConvert, PixelRulesTable) {
  for (const PixelCase& c : kPixelCases) {
    TImageData image = test::MakeImage(1, 1, c.from, c.input);
    ASSERT_TRUE(ImageConvert(image, c.to)) << c.what;
    EXPECT_EQ(image.Format, c.to) << c.what;
    EXPECT_EQ(test::BytesOf(image), c.expected) << c.what;
  }
}

TEST(ImageConvert, IndexedSourcesUsePaletteEntries) {
  struct Case {
    F to;
    Bytes expected;
  } cases[] = {
      {F::A8R8G8B8, {10, 20, 30, 40}},
      {F::R8G8B8, {10, 20, 30}},
      {F::Gray8, {22}},
      {F::A16Gray16, Words({22 * 257, 40 * 257})},
      {F::A16R16G16B16, Words({2570, 5140, 7710, 10280})},
      {F::X8R8G8B8, {10, 20, 30, 0}},
  };
  for (const Case& c : cases) {
    TImageData image = test::MakeImage(1, 1, F::Index8, {5});
    image.palette()[5] = TPixel32{10, 20, 30, 40};
    ASSERT_TRUE(ImageConvert(image, c.to));
    EXPECT_EQ(test::BytesOf(image), c.expected) << FormatName(c.to);
    EXPECT_EQ(image.palette(), nullptr);
  }
}

// Every ordinary format pair keeps opaque black black and opaque white white. The one
// exception is deliberate: Gray8 -> Gray16 shifts (255 -> 65280) instead of scaling.
TEST(ImageConvert, BlackAndWhiteSurviveEveryPair) {
  std::vector<F> formats;
  for (F f : AllFormats())
    if (!GetFormatDescriptor(f)->IsCompressed && f != F::R32F && f != F::R16F) formats.push_back(f);
  for (F from : formats) {
    for (F to : formats) {
      if (from == F::Gray8 && to == F::Gray16) continue;
      TImageData image = test::MakeImage(2, 1, F::A8R8G8B8, {0, 0, 0, 255, 255, 255, 255, 255});
      ASSERT_TRUE(ImageConvert(image, from));
      ASSERT_TRUE(ImageConvert(image, to));
      ASSERT_TRUE(ImageConvert(image, F::A8R8G8B8));
      EXPECT_EQ(test::BytesOf(image), (Bytes{0, 0, 0, 255, 255, 255, 255, 255}))
          << FormatName(from) << " -> " << FormatName(to);
    }
  }
}

// Values a format can hold come back unchanged from a round trip through it.
TEST(ImageConvert, RoundTripsThroughFormatsThatHoldTheValue) {
  const Bytes any = test::RandomBytes(4 * 7 * 5, 11);
  Bytes opaque = any, gray, grayAlpha;
  for (size_t i = 0; i < opaque.size(); i += 4) opaque[i + 3] = 255;
  for (size_t i = 0; i < any.size(); i += 4) {
    const uint8_t g = any[i];
    gray.insert(gray.end(), {g, g, g, 255});
    grayAlpha.insert(grayAlpha.end(), {g, g, g, any[i + 3]});
  }
  struct Case {
    F format;
    const Bytes* pixels;
  } cases[] = {
      {F::A8R8G8B8, &any},      {F::A16R16G16B16, &any},  {F::A16B16G16R16, &any},
      {F::A32R32G32B32F, &any}, {F::A32B32G32R32F, &any}, {F::R8G8B8, &opaque},
      {F::X8R8G8B8, &opaque},   {F::R16G16B16, &opaque},  {F::B16G16R16, &opaque},
      {F::Gray8, &gray},        {F::Gray16, &gray},       {F::Gray32, &gray},
      {F::Gray64, &gray},       {F::A8Gray8, &grayAlpha}, {F::A16Gray16, &grayAlpha},
      {F::Index8, &any},  // 35 colors fit the palette
  };
  for (const Case& c : cases) {
    TImageData image = test::MakeImage(7, 5, F::A8R8G8B8, *c.pixels);
    ASSERT_TRUE(ImageConvert(image, c.format));
    ASSERT_TRUE(ImageConvert(image, F::A8R8G8B8));
    EXPECT_EQ(test::BytesOf(image), *c.pixels) << FormatName(c.format);
  }
}

TEST(ImageConvert, RedBlueTwinsSwapInPlace) {
  TImageData image = test::MakeImage(1, 1, F::R16G16B16, Words({1, 2, 3}));
  const uint8_t* bits = image.bits();
  ASSERT_TRUE(ImageConvert(image, F::B16G16R16));
  EXPECT_EQ(image.bits(), bits);  // no new buffer
  EXPECT_EQ(test::BytesOf(image), Words({3, 2, 1}));
}

TEST(ImageConvert, SameFormatUnknownTargetAndInvalidImage) {
  TImageData image = test::MakeImage(1, 1, F::A8R8G8B8, {1, 2, 3, 4});
  const uint8_t* bits = image.bits();
  EXPECT_TRUE(ImageConvert(image, F::Default));
  EXPECT_EQ(image.bits(), bits);
  EXPECT_FALSE(ImageConvert(image, F(7)));
  EXPECT_EQ(image.Format, F::A8R8G8B8);
  TImageData empty;
  EXPECT_FALSE(ImageConvert(empty, F::Gray8));
}

TEST(ImageConvert, CompressedTargetsPadToBlocks) {
  TImageData image = test::MakeImage(5, 3, F::A8R8G8B8, Bytes(5 * 3 * 4, 0));
  for (int i = 0; i < 15; ++i) std::memcpy(image.bits() + i * 4, "\x00\x00\xFF\xFF", 4);
  ASSERT_TRUE(ImageConvert(image, F::DXT1));
  EXPECT_EQ(image.Width, 8);
  EXPECT_EQ(image.Height, 4);
  EXPECT_EQ(image.Size, 16);
  ASSERT_TRUE(ImageConvert(image, F::A8R8G8B8));
  for (int i = 0; i < 32; ++i)  // pure red is exact in 5:6:5
    EXPECT_EQ(TPixel32::FromColor(*reinterpret_cast<uint32_t*>(image.bits() + i * 4)).Color(),
              0xFFFF0000u);
}

TEST(ImageConvert, CompressedSourcesDecodeToTheirOwnSize) {
  TImageData gray = test::MakeImage(6, 6, F::Gray8, Bytes(36, 77));
  ASSERT_TRUE(ImageConvert(gray, F::ATI1N));
  EXPECT_EQ(gray.Width, 8);
  gray.Width = 6;  // a record may describe fewer pixels than its blocks cover
  gray.Height = 5;
  ASSERT_TRUE(ImageIsValid(gray));
  ASSERT_TRUE(ImageConvert(gray, F::R8G8B8));
  EXPECT_EQ(gray.Size, 6 * 5 * 3);
  for (int i = 0; i < gray.Size; ++i) EXPECT_EQ(gray.bits()[i], 77);

  TImageData btc = test::MakeImage(4, 4, F::Gray8, Bytes(16, 200));
  ASSERT_TRUE(ImageConvert(btc, F::BTC));
  ASSERT_TRUE(ImageConvert(btc, F::DXT5));  // compressed to compressed
  ASSERT_TRUE(ImageConvert(btc, F::Gray8));
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(btc.bits()[i], 200, 4);
}

TEST(ImageConvert, ToIndexedKeepsFewColorsExactly) {
  const Bytes pixels = {0, 0, 255, 255, 0, 255, 0, 255, 255, 0, 0, 255, 0, 0, 255, 255};
  TImageData image = test::MakeImage(4, 1, F::A8R8G8B8, pixels);
  ASSERT_TRUE(ImageConvert(image, F::Index8));
  std::set<uint32_t> used;
  for (int i = 0; i < 4; ++i) used.insert(image.palette()[image.bits()[i]].Color());
  EXPECT_EQ(used, (std::set<uint32_t>{0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu}));
  EXPECT_EQ(image.bits()[0], image.bits()[3]);
}

// The fast paths must give exactly the bytes of the general per-pixel path.
TEST(ConvertFastPaths, MatchGeneralPathOnRandomImages) {
  const F pairs[][2] = {
      {F::R8G8B8, F::A8R8G8B8}, {F::R8G8B8, F::X8R8G8B8},   {F::A8R8G8B8, F::R8G8B8},
      {F::X8R8G8B8, F::R8G8B8}, {F::A8R8G8B8, F::X8R8G8B8}, {F::X8R8G8B8, F::A8R8G8B8},
      {F::A8R8G8B8, F::Gray8},  {F::R8G8B8, F::Gray8},      {F::X8R8G8B8, F::Gray8},
      {F::Gray8, F::A8R8G8B8},  {F::Gray8, F::R8G8B8},      {F::Gray8, F::X8R8G8B8},
      {F::Index8, F::A8R8G8B8}, {F::Index8, F::R8G8B8},
  };
  const int sizes[][2] = {{1, 1}, {7, 3}, {333, 17}};
  for (const auto& pair : pairs) {
    const TFormatDescriptor& sd = *GetFormatDescriptor(pair[0]);
    const TFormatDescriptor& td = *GetFormatDescriptor(pair[1]);
    for (const auto& size : sizes) {
      const int64_t count = int64_t(size[0]) * size[1];
      const Bytes src = test::RandomBytes(size_t(count * sd.BytesPerPixel), uint32_t(count));
      const Bytes paletteBytes = test::RandomBytes(1024, 99);
      const auto* palette = reinterpret_cast<const TPixel32*>(paletteBytes.data());
      Bytes fast(size_t(count * td.BytesPerPixel), 0xAA), general(fast.size(), 0x55);
      ASSERT_TRUE(detail::ConvertPixelsFast(src.data(), sd, palette, fast.data(), td, count));
      detail::ConvertPixelsGeneric(src.data(), sd, palette, general.data(), td, count);
      EXPECT_EQ(fast, general) << FormatName(pair[0]) << " -> " << FormatName(pair[1]);
    }
  }
}

// The integer gray of the fast path equals round-half-even of the float formula for
// every byte triple along the diagonals and a dense random sample.
TEST(ConvertFastPaths, GrayMatchesFloatFormula) {
  auto reference = [](int r, int g, int b) {
    return int(std::nearbyint(double(kGrayWeightR) * r + double(kGrayWeightG) * g +
                              double(kGrayWeightB) * b));
  };
  std::mt19937 rng(5);
  for (int i = 0; i < 200000; ++i) {
    const int r = int(rng() & 255), g = int(rng() & 255), b = int(rng() & 255);
    ASSERT_EQ(detail::GrayOfBytes(uint8_t(r), uint8_t(g), uint8_t(b)), reference(r, g, b));
  }
  for (int v = 0; v < 256; ++v)
    ASSERT_EQ(detail::GrayOfBytes(uint8_t(v), uint8_t(v), uint8_t(v)), v);
}

}  // namespace
}  // namespace pixolan::imaging
