#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "imaging/image/Imaging.h"
#include "imaging/io/Options.h"
#include "imaging/palette/Quantizer.h"
#include "imaging/palette/QuantizerInternal.h"
#include "support/ErrorOf.h"
#include "support/TestImages.h"

namespace pixolan::imaging {
namespace {

using namespace test;
using quantizer::TMedianCut;

const TPixel32 kOpaqueBlack = Bgra(0, 0, 0, 255);

const TFormatDescriptor& Argb() {
  return *GetFormatDescriptor(TImageFormatId::A8R8G8B8);
}

struct Quantized {
  std::vector<TPixel32> palette;
  std::vector<uint32_t> indices;
};

// Runs all steps over A8R8G8B8 pixels (TPixel32 has the same byte order).
Quantized Quantize(const std::vector<TPixel32>& pixels, int32_t n, uint8_t mask = 255,
                   int indexBytes = 2) {
  Quantized q;
  q.palette.assign(size_t(std::clamp(n, 2, 4096)), Bgra(1, 2, 3, 4));
  std::vector<uint8_t> raw(pixels.size() * size_t(indexBytes));
  MedianCutQuantizer(int32_t(pixels.size()), reinterpret_cast<const uint8_t*>(pixels.data()),
                     Argb(), raw.data(), indexBytes, q.palette.data(), kQuantAllSteps, mask, n);
  for (size_t i = 0; i < pixels.size(); ++i) {
    uint32_t v = 0;
    std::memcpy(&v, raw.data() + i * size_t(indexBytes), size_t(indexBytes));
    q.indices.push_back(v);
  }
  return q;
}

// Photo-like content: smooth gradients with a little noise, some of it translucent.
std::vector<TPixel32> RandomPixels(size_t count, uint32_t seed, bool alpha = true) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> noise(-6, 6);
  std::vector<TPixel32> pixels(count);
  for (size_t i = 0; i < count; ++i) {
    const auto ch = [&](int base) { return uint8_t(std::clamp(base + noise(rng), 0, 255)); };
    pixels[i] = Bgra(ch(int(i * 7 % 256)), ch(int(i / 3 % 256)), ch(int(i * 13 / 5 % 256)),
                     alpha ? ch(int(i % 5) * 60) : 255);
  }
  return pixels;
}

std::vector<TPixel32> Repeat(std::initializer_list<std::pair<TPixel32, int>> runs) {
  std::vector<TPixel32> pixels;
  for (const auto& [color, count] : runs) pixels.insert(pixels.end(), size_t(count), color);
  return pixels;
}

TEST(QuantizerHistogramTest, BucketOfMaskedBytes) {
  EXPECT_EQ(quantizer::HistogramBucket(Bgra(10, 20, 30, 255)), 4515);
  EXPECT_EQ(quantizer::HistogramBucket(Bgra(0, 0, 0, 0)), 0);
  EXPECT_EQ(quantizer::HistogramBucket(Bgra(255, 255, 255, 255)), 48450 & 32767);

  // Counting happens on masked bytes: 0x1F and 0x12 fall together under 0xF0.
  TMedianCut cut(0xF0);
  cut.AddColor(Bgra(0x1F, 0x2E, 0x3D, 0xFF));
  cut.AddColor(Bgra(0x12, 0x23, 0x34, 0xF5), 3);
  const TPixel32 masked = Bgra(0x10, 0x20, 0x30, 0xF0);
  const auto bucket = cut.BucketContents(quantizer::HistogramBucket(masked));
  ASSERT_EQ(bucket.size(), 1u);
  EXPECT_EQ(bucket[0].first, masked);
  EXPECT_EQ(bucket[0].second, 4);
  EXPECT_EQ(cut.DistinctColors(), 1);
}

TEST(QuantizerHistogramTest, NewColorsGoToTheFrontAndBoxZeroTakesBucketsInOrder) {
  // (B 11, A 244) lands in the same bucket 4515 as (B 10, A 255).
  const TPixel32 first = Bgra(10, 20, 30, 255), second = Bgra(11, 20, 30, 244);
  TMedianCut cut(255);
  cut.AddColor(first);
  cut.AddColor(second);
  cut.AddColor(first);
  const auto bucket = cut.BucketContents(4515);
  ASSERT_EQ(bucket.size(), 2u);
  EXPECT_EQ(bucket[0], std::make_pair(second, 1));
  EXPECT_EQ(bucket[1], std::make_pair(first, 2));

  // Buckets 11 and 12; within bucket 12 the newer color comes first. The split on alpha
  // at 6 keeps the relative order on both sides.
  TMedianCut order(255);
  order.AddColor(Bgra(0, 0, 0, 12));
  order.AddColor(Bgra(1, 0, 0, 1));
  order.AddColor(Bgra(0, 0, 0, 11));
  order.BuildBoxes(1);
  EXPECT_EQ(order.EntryOrder(),
            (std::vector<TPixel32>{Bgra(0, 0, 0, 11), Bgra(1, 0, 0, 1), Bgra(0, 0, 0, 12)}));
  order.BuildBoxes(2);
  EXPECT_EQ(order.EntryOrder(),
            (std::vector<TPixel32>{Bgra(1, 0, 0, 1), Bgra(0, 0, 0, 11), Bgra(0, 0, 0, 12)}));
}

// Worked by hand: green 0..200 gives the largest score (240400), so the first cut is
// green <= 100; then box 0 (red 0..103, score 63036) is cut at red 51. Counts 1, 1, 2
// sort to box 2, box 0, box 1: equal counts keep their order.
TEST(MedianCutQuantizerTest, HandComputedBoxesAveragesAndMapping) {
  const TPixel32 black = Bgra(0, 0, 0, 255), green = Bgra(0, 200, 0, 255);
  const TPixel32 red1 = Bgra(10, 0, 100, 255), red2 = Bgra(20, 0, 103, 255);
  const Quantized q = Quantize({red1, black, green, red2}, 3);
  EXPECT_EQ(q.palette, (std::vector<TPixel32>{Bgra(15, 0, 101, 255), black, green}));
  EXPECT_EQ(q.indices, (std::vector<uint32_t>{0, 1, 2, 0}));
}

struct SplitCase {
  const char* name;
  std::vector<TPixel32> pixels;
  int32_t n;
  std::vector<TPixel32> palette;
};

TEST(MedianCutQuantizerTest, SplitAxisAndBoxChoice) {
  const std::vector<SplitCase> cases = {
      {"alpha only",
       Repeat({{Bgra(0, 0, 0, 0), 2}, {Bgra(0, 0, 0, 255), 1}}),
       2,
       {Bgra(0, 0, 0, 0), Bgra(0, 0, 0, 255)}},
      // Alpha extent 100 scores 102400, green extent 80 only 96160.
      {"alpha before green",
       {Bgra(0, 0, 0, 0), Bgra(0, 0, 0, 100), Bgra(0, 80, 0, 100)},
       2,
       {Bgra(0, 40, 0, 100), Bgra(0, 0, 0, 0)}},
      // Green extent 200 scores 240400, red extent 255 only 156060.
      {"green before red",
       {Bgra(0, 0, 0, 255), Bgra(0, 0, 255, 255), Bgra(0, 200, 0, 255)},
       2,
       {Bgra(0, 0, 127, 255), Bgra(0, 200, 0, 255)}},
      // Red 39 * 612 = blue 102 * 234 = 23868: red comes first among equal scores.
      {"red wins a tie with blue",
       {Bgra(0, 0, 0, 255), Bgra(0, 0, 39, 255), Bgra(102, 0, 0, 255)},
       2,
       {Bgra(51, 0, 0, 255), Bgra(0, 0, 39, 255)}},
      // After the first cut both boxes score 12020; the first one is cut again.
      {"first of equally scored boxes",
       {Bgra(0, 0, 0, 255), Bgra(0, 10, 0, 255), Bgra(0, 200, 0, 255), Bgra(0, 210, 0, 255)},
       3,
       {Bgra(0, 205, 0, 255), Bgra(0, 0, 0, 255), Bgra(0, 10, 0, 255)}},
  };
  for (const SplitCase& c : cases) {
    EXPECT_EQ(Quantize(c.pixels, c.n).palette, c.palette) << c.name;
  }
}

TEST(MedianCutQuantizerTest, FewColorsAreKeptAndThePaletteIsPaddedWithOpaqueBlack) {
  const TPixel32 a = Bgra(10, 20, 30, 255), b = Bgra(200, 100, 50, 128), c = Bgra(5, 5, 5, 0);
  const std::vector<TPixel32> pixels = Repeat({{b, 3}, {a, 5}, {c, 1}, {b, 3}});
  const Quantized q = Quantize(pixels, 256, 255, 1);
  ASSERT_EQ(q.palette.size(), 256u);
  EXPECT_EQ(q.palette[0], b);  // 6 pixels
  EXPECT_EQ(q.palette[1], a);
  EXPECT_EQ(q.palette[2], c);
  for (size_t i = 3; i < 256; ++i) ASSERT_EQ(q.palette[i], kOpaqueBlack) << i;
  for (size_t i = 0; i < pixels.size(); ++i) EXPECT_EQ(q.palette[q.indices[i]], pixels[i]) << i;
}

TEST(MedianCutQuantizerTest, MaskMergesNearColorsAndWidensRanges) {
  // Under 0xF0 both 0x12 and 0x1E count as 0x10, and opaque alpha as 0xF0.
  const std::vector<TPixel32> pixels = {Bgra(0, 0, 0x12, 255), Bgra(0, 0, 0x80, 255),
                                        Bgra(0, 0, 0x1E, 255)};
  const Quantized q = Quantize(pixels, 4, 0xF0);
  EXPECT_EQ(q.palette, (std::vector<TPixel32>{Bgra(0, 0, 0x10, 0xF0), Bgra(0, 0, 0x80, 0xF0),
                                              kOpaqueBlack, kOpaqueBlack}));
  EXPECT_EQ(q.indices, (std::vector<uint32_t>{0, 1, 0}));

  TMedianCut cut(0xF0);
  for (const TPixel32& p : pixels) cut.AddColor(p);
  cut.BuildBoxes(4);
  const quantizer::TColorBox& box = cut.Boxes()[0];
  EXPECT_EQ(box.MinR, 0x10);
  EXPECT_EQ(box.MaxR, 0x1F);
  EXPECT_EQ(box.MinA, 0xF0);
  EXPECT_EQ(box.MaxA, 0xFF);
  // A color outside every box maps to index 0.
  EXPECT_EQ(cut.IndexOf(Bgra(0, 0, 0x40, 255)), 0);
  EXPECT_EQ(cut.IndexOf(Bgra(0, 0, 0x8F, 0xF0)), 1);
}

TEST(MedianCutQuantizerTest, HistogramMappingEqualsTheFirstContainingBox) {
  const std::vector<TPixel32> pixels = RandomPixels(8000, 7);
  const std::vector<TPixel32> probes = RandomPixels(1000, 99);  // mostly colors absent from pixels
  for (const uint8_t mask : {0xFF, 0xF8, 0xC0, 0x00, 0x0F, 0x5A}) {
    for (const int32_t n : {2, 16, 256, 4096}) {
      TMedianCut cut(mask);
      for (const TPixel32& p : pixels) cut.AddColor(p);
      cut.BuildBoxes(n);
      ASSERT_LE(int32_t(cut.Boxes().size()), n);
      for (const auto* set : {&pixels, &probes}) {
        for (const TPixel32& p : *set) {
          ASSERT_EQ(cut.IndexOf(p), cut.IndexOfByScan(p))
              << "mask " << int(mask) << " n " << n << " color " << std::hex << p.Color();
        }
      }
    }
  }
}

TEST(MedianCutQuantizerTest, BoxesSortedByCountWithAveragesInsideTheirRanges) {
  const std::vector<TPixel32> pixels = RandomPixels(30000, 3);
  TMedianCut cut(255);
  for (const TPixel32& p : pixels) cut.AddColor(p);
  cut.BuildBoxes(256);
  ASSERT_EQ(cut.Boxes().size(), 256u);
  int64_t total = 0;
  for (size_t i = 0; i < cut.Boxes().size(); ++i) {
    const quantizer::TColorBox& box = cut.Boxes()[i];
    if (i > 0) {
      EXPECT_GE(cut.Boxes()[i - 1].Total, box.Total);
    }
    EXPECT_TRUE(box.Contains(box.Average)) << i;
    total += box.Total;
  }
  EXPECT_EQ(total, int64_t(pixels.size()));
}

TEST(MedianCutQuantizerTest, IndexWidthsStoreTheSameIndices) {
  const std::vector<TPixel32> pixels = RandomPixels(5000, 11);
  const Quantized one = Quantize(pixels, 200, 255, 1);
  for (const int width : {2, 4}) {
    const Quantized q = Quantize(pixels, 200, 255, width);
    EXPECT_EQ(q.palette, one.palette) << width;
    EXPECT_EQ(q.indices, one.indices) << width;
  }
  EXPECT_GT(*std::max_element(one.indices.begin(), one.indices.end()), 150u);
}

TEST(MedianCutQuantizerTest, ColorCountIsClamped) {
  const std::vector<TPixel32> pixels = RandomPixels(40000, 5);
  const Quantized low = Quantize(pixels, 1);
  EXPECT_EQ(low.palette.size(), 2u);
  EXPECT_EQ(std::set<uint32_t>(low.indices.begin(), low.indices.end()).size(), 2u);

  std::vector<TPixel32> palette(4096);
  std::vector<uint16_t> indices(pixels.size());
  MedianCutQuantizer(int32_t(pixels.size()), reinterpret_cast<const uint8_t*>(pixels.data()),
                     Argb(), reinterpret_cast<uint8_t*>(indices.data()), 2, palette.data(),
                     kQuantAllSteps, 255, 100000);
  EXPECT_EQ(std::set<uint16_t>(indices.begin(), indices.end()).size(), 4096u);
  EXPECT_NE(palette[4095], kOpaqueBlack);
}

TEST(MedianCutQuantizerTest, NoPixelsGiveAnOpaqueBlackPalette) {
  std::vector<TPixel32> palette(16, Bgra(1, 2, 3, 4));
  uint8_t dummy = 0;
  MedianCutQuantizer(0, &dummy, Argb(), &dummy, 1, palette.data(), kQuantAllSteps, 255, 16);
  for (const TPixel32& p : palette) EXPECT_EQ(p, kOpaqueBlack);
}

TEST(MedianCutQuantizerTest, OtherSourceFormatsQuantizeTheirPixel32Values) {
  const std::vector<TPixel32> pixels = RandomPixels(64 * 64, 21);
  for (const TImageFormatId format :
       {TImageFormatId::R8G8B8, TImageFormatId::X8R8G8B8, TImageFormatId::Gray8,
        TImageFormatId::A8Gray8, TImageFormatId::R5G6B5, TImageFormatId::A16R16G16B16,
        TImageFormatId::A32R32G32B32F, TImageFormatId::A16B16G16R16F}) {
    TImageData image;
    ASSERT_TRUE(ImageCreate(64, 64, TImageFormatId::A8R8G8B8, image));
    std::memcpy(image.bits(), pixels.data(), pixels.size() * 4);
    ASSERT_TRUE(ImageConvert(image, format));
    const TFormatDescriptor& d = *GetFormatDescriptor(format);
    std::vector<TPixel32> read(pixels.size());
    for (size_t i = 0; i < read.size(); ++i) {
      read[i] = d.ReadPixel32(d, image.bits() + i * size_t(d.BytesPerPixel), nullptr);
    }
    const Quantized expected = Quantize(read, 64);

    std::vector<TPixel32> palette(64);
    std::vector<uint8_t> indices(pixels.size());
    MedianCutQuantizer(int32_t(pixels.size()), image.bits(), d, indices.data(), 1, palette.data(),
                       kQuantAllSteps, 255, 64);
    EXPECT_EQ(palette, expected.palette) << FormatName(format);
    EXPECT_EQ(std::vector<uint32_t>(indices.begin(), indices.end()), expected.indices)
        << FormatName(format);
  }
}

TEST(MedianCutQuantizerTest, RunsInParallelWithTheSameResults) {
  std::vector<std::vector<TPixel32>> images;
  std::vector<Quantized> sequential;
  for (uint32_t seed = 1; seed <= 4; ++seed) {
    images.push_back(RandomPixels(60000, seed));
    sequential.push_back(Quantize(images.back(), 256, seed == 2 ? 0xF8 : 0xFF));
  }
  EXPECT_EQ(Quantize(images[0], 256).indices, sequential[0].indices);  // repeatable

  std::vector<Quantized> parallel(images.size());
  std::vector<std::thread> threads;
  for (size_t i = 0; i < images.size(); ++i) {
    threads.emplace_back([&, i] { parallel[i] = Quantize(images[i], 256, i == 1 ? 0xF8 : 0xFF); });
  }
  for (std::thread& t : threads) t.join();
  for (size_t i = 0; i < images.size(); ++i) {
    EXPECT_EQ(parallel[i].palette, sequential[i].palette) << i;
    EXPECT_EQ(parallel[i].indices, sequential[i].indices) << i;
  }
}

TEST(MedianCutQuantizerTest, BadArgumentsRaise) {
  std::vector<TPixel32> pixels(4, Bgra(1, 2, 3, 4));
  std::vector<TPixel32> palette(300);
  std::vector<uint8_t> indices(16);
  const uint8_t* src = reinterpret_cast<const uint8_t*>(pixels.data());
  const auto run = [&](const TFormatDescriptor& d, int width, int32_t n, int32_t count = 4) {
    return ErrorOf<EImagingError>([&] {
      MedianCutQuantizer(count, src, d, indices.data(), width, palette.data(), kQuantAllSteps, 255,
                         n);
    });
  };
  EXPECT_EQ(run(Argb(), 3, 16),
            "Error while quantizing 4 pixels to 16 colors: index width is not 1, 2 or 4 bytes.");
  EXPECT_EQ(run(Argb(), 1, 300),
            "Error while quantizing 4 pixels to 300 colors: 8-bit indices cannot address that "
            "many colors.");
  EXPECT_EQ(run(*GetFormatDescriptor(TImageFormatId::Index8), 1, 16),
            "Error while quantizing 4 pixels to 16 colors: source format has no readable color "
            "pixels.");
  EXPECT_EQ(run(*GetFormatDescriptor(TImageFormatId::DXT1), 1, 16),
            "Error while quantizing 4 pixels to 16 colors: source format has no readable color "
            "pixels.");
  EXPECT_EQ(run(Argb(), 1, 16, -1),
            "Error while quantizing -1 pixels to 16 colors: negative pixel count.");
}

// --- ImageReduceColors ---

TImageData MakeImage(int32_t width, int32_t height, const std::vector<TPixel32>& pixels,
                     TImageFormatId format = TImageFormatId::A8R8G8B8) {
  TImageData image;
  EXPECT_TRUE(ImageCreate(width, height, TImageFormatId::A8R8G8B8, image));
  std::memcpy(image.bits(), pixels.data(), size_t(width) * size_t(height) * 4);
  EXPECT_TRUE(ImageConvert(image, format));
  return image;
}

std::vector<TPixel32> PixelsOf(const TImageData& image) {
  std::vector<TPixel32> pixels;
  for (int32_t y = 0; y < image.Height; ++y) {
    for (int32_t x = 0; x < image.Width; ++x) pixels.push_back(ImageGetPixel32(image, x, y));
  }
  return pixels;
}

size_t DistinctColors(const std::vector<TPixel32>& pixels) {
  std::set<uint32_t> colors;
  for (const TPixel32& p : pixels) colors.insert(p.Color());
  return colors.size();
}

TEST(ImageReduceColorsTest, PixelsBecomeTheirPaletteEntries) {
  const std::vector<TPixel32> pixels = RandomPixels(100 * 80, 13);
  TImageData image = MakeImage(100, 80, pixels);
  ASSERT_TRUE(quantizer::ReduceColors(image, 50, 0xF8));
  const Quantized q = Quantize(pixels, 50, 0xF8);
  const std::vector<TPixel32> reduced = PixelsOf(image);
  for (size_t i = 0; i < pixels.size(); ++i) {
    ASSERT_EQ(reduced[i], q.palette[q.indices[i]]) << i;
  }
  EXPECT_LE(DistinctColors(reduced), 50u);
  EXPECT_EQ(image.Format, TImageFormatId::A8R8G8B8);
}

TEST(ImageReduceColorsTest, KeepsFormatSizeAndFewColors) {
  const std::vector<TPixel32> three =
      Repeat({{Bgra(10, 20, 30, 255), 6}, {Bgra(0, 128, 255, 255), 4}, {Bgra(90, 90, 90, 255), 2}});
  TImageData image = MakeImage(4, 3, three, TImageFormatId::R8G8B8);
  ASSERT_TRUE(ImageReduceColors(image, 256));
  EXPECT_EQ(image.Format, TImageFormatId::R8G8B8);
  EXPECT_EQ(image.Width, 4);
  EXPECT_EQ(image.Height, 3);
  EXPECT_EQ(PixelsOf(image), three);
}

TEST(ImageReduceColorsTest, AtLeastTwoAndAtMost4096Colors) {
  const std::vector<TPixel32> pixels = RandomPixels(200 * 100, 17);
  ASSERT_GT(DistinctColors(pixels), 4096u);
  for (const auto& [maxColors, expected] :
       std::vector<std::pair<int32_t, size_t>>{{1, 2}, {-7, 2}, {65535, 4096}, {1000000, 4096}}) {
    TImageData image = MakeImage(200, 100, pixels);
    ASSERT_TRUE(ImageReduceColors(image, maxColors));
    EXPECT_EQ(DistinctColors(PixelsOf(image)), expected) << maxColors;
  }
}

TEST(ImageReduceColorsTest, IndexedImageIsReducedAndStaysIndexed) {
  const std::vector<TPixel32> pixels = RandomPixels(32 * 32, 23, false);
  TImageData image = MakeImage(32, 32, pixels, TImageFormatId::Index8);
  ASSERT_GT(DistinctColors(PixelsOf(image)), 2u);
  ASSERT_TRUE(ImageReduceColors(image, 2));
  EXPECT_EQ(image.Format, TImageFormatId::Index8);
  EXPECT_EQ(DistinctColors(PixelsOf(image)), 2u);
}

TEST(ImageReduceColorsTest, InvalidImageIsLeftAlone) {
  TImageData empty;
  EXPECT_FALSE(ImageReduceColors(empty, 16));
  TImageData broken;
  ASSERT_TRUE(ImageCreate(4, 4, TImageFormatId::A8R8G8B8, broken));
  broken.Size = 3;
  EXPECT_FALSE(ImageReduceColors(broken, 16));
}

TEST(ImageReduceColorsTest, FailureNamesCountAndImage) {
  // The validity test does not look at Bits: a record without pixels must not be read.
  TImageData image;
  image.Width = 2;
  image.Height = 2;
  image.Format = TImageFormatId::A8R8G8B8;
  image.Size = 16;
  ASSERT_TRUE(ImageIsValid(image));
  EXPECT_EQ(ErrorOf<EImagingError>([&] { ImageReduceColors(image, 1); }),
            "Error while reducing number of colors of image to 2. " + ImageDescribe(image) +
                " Exception Message: Error while quantizing 4 pixels to 2 colors: no source "
                "pixels.");
}

TEST(ImageReduceColorsTest, UsesTheReductionMaskOption) {
  const std::vector<TPixel32> pixels = RandomPixels(64 * 64, 29);
  TImageData expected = MakeImage(64, 64, pixels);
  ASSERT_TRUE(quantizer::ReduceColors(expected, 64, 0xE0));
  TImageData unmasked = MakeImage(64, 64, pixels);
  ASSERT_TRUE(quantizer::ReduceColors(unmasked, 64, 0xFF));
  ASSERT_NE(PixelsOf(expected), PixelsOf(unmasked));

  ASSERT_TRUE(EnginePushOptions());
  ASSERT_TRUE(EngineSetOption(kOptionColorReductionMask, 0xE0));
  TImageData image = MakeImage(64, 64, pixels);
  const bool reduced = ImageReduceColors(image, 64);
  EnginePopOptions();
  ASSERT_TRUE(reduced);
  EXPECT_EQ(PixelsOf(image), PixelsOf(expected));
}

}  // namespace
}  // namespace pixolan::imaging
