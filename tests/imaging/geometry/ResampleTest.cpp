#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numeric>
#include <string>

#include "imaging/geometry/Geometry.h"
#include "imaging/geometry/Resample.h"
#include "imaging/geometry/ResampleInternal.h"
#include "imaging/image/Imaging.h"
#include "support/TestImages.h"

namespace pixolan::imaging {
namespace {

using F = TImageFormatId;
using R = TResizeFilter;
using Bytes = std::vector<uint8_t>;
using namespace test;

// A one-row A8R8G8B8 image whose pixel x holds x in its first three bytes, so that a
// nearest-neighbour result names the source columns it took.
TImageData ColumnRuler(int32_t width, int32_t height = 1) {
  TImageData image;
  ImageCreate(width, height, F::A8R8G8B8, image);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      const int32_t v = width > 1 ? x : y;
      uint8_t* p = image.bits() + (int64_t(y) * width + x) * 4;
      p[0] = uint8_t(v), p[1] = uint8_t(v >> 8), p[2] = uint8_t(v >> 16), p[3] = 255;
    }
  return image;
}

std::vector<int32_t> ColumnsOf(const TImageData& image) {
  std::vector<int32_t> columns;
  for (int32_t i = 0; i < image.Width * image.Height; ++i) {
    const uint8_t* p = image.bits() + int64_t(i) * 4;
    columns.push_back(p[0] | p[1] << 8 | p[2] << 16);
  }
  return columns;
}

// ---- mapping tables ----

struct TableCase {
  const char* what;
  int32_t srcLow, srcHigh, dstSpan;
  R filter;
  std::vector<std::vector<TContributor>> expected;
};

// Worked out by hand from the centres, candidate ranges and kernels.
const TableCase kTableCases[] = {
    {"bilinear 2 to 4: centres -0.25, 0.25, 0.75, 1.25 with clamped neighbours",
     0,
     2,
     4,
     R::Bilinear,
     {{{0, 0.25f}, {0, 0.75f}},
      {{0, 0.75f}, {1, 0.25f}},
      {{0, 0.25f}, {1, 0.75f}},
      {{1, 0.75f}, {1, 0.25f}}}},
    {"bilinear 4 to 2: support widened to 2, zero weights skipped",
     0,
     4,
     2,
     R::Bilinear,
     {{{0, 0.125f}, {0, 0.375f}, {1, 0.375f}, {2, 0.125f}},
      {{1, 0.125f}, {2, 0.375f}, {3, 0.375f}, {3, 0.125f}}}},
    {"bilinear 4 to 2 at an offset: indices are absolute",
     10,
     14,
     2,
     R::Bilinear,
     {{{10, 0.125f}, {10, 0.375f}, {11, 0.375f}, {12, 0.125f}},
      {{11, 0.125f}, {12, 0.375f}, {13, 0.375f}, {13, 0.125f}}}},
    {"equal spans: one full weight each", 3, 5, 2, R::Bilinear, {{{3, 1.0f}}, {{4, 1.0f}}}},
    {"bicubic at equal spans hits the kernel zeros",
     0,
     3,
     3,
     R::Bicubic,
     {{{0, 1.0f}}, {{1, 1.0f}}, {{2, 1.0f}}}},
    {"single source pixel", 7, 8, 3, R::Bicubic, {{{7, 1.0f}}, {{7, 1.0f}}, {{7, 1.0f}}}},
};

TEST(MappingTable, WorkedExamples) {
  for (const TableCase& c : kTableCases) {
    SCOPED_TRACE(c.what);
    const TMappingTable table = BuildMappingTable(c.srcLow, c.srcHigh, c.dstSpan, c.filter);
    ASSERT_EQ(table.size(), c.expected.size());
    for (size_t i = 0; i < table.size(); ++i) {
      ASSERT_EQ(table[i].size(), c.expected[i].size()) << "cluster " << i;
      for (size_t k = 0; k < table[i].size(); ++k) {
        EXPECT_EQ(table[i][k].Pixel, c.expected[i][k].Pixel) << "cluster " << i << " entry " << k;
        EXPECT_EQ(table[i][k].Weight, c.expected[i][k].Weight) << "cluster " << i << " entry " << k;
      }
    }
  }
}

// Only the middle contributor carries the correction; the others are the kernel values.
TEST(MappingTable, BicubicClustersSumToOneThroughTheirMiddleContributor) {
  const int32_t spans[][2] = {{10, 25}, {25, 10}, {7, 3}, {3, 7}, {100, 33}, {33, 100}, {5, 1}};
  for (const auto& span : spans) {
    SCOPED_TRACE(std::to_string(span[0]) + " to " + std::to_string(span[1]));
    const TMappingTable table = BuildMappingTable(0, span[0], span[1], R::Bicubic);
    const float scale = float(span[1]) / float(span[0]);
    for (size_t i = 0; i < table.size(); ++i) {
      const TCluster& cluster = table[i];
      double sum = 0;
      for (const TContributor& c : cluster) {
        sum += c.Weight;
        EXPECT_GE(c.Pixel, 0);
        EXPECT_LT(c.Pixel, span[0]);
      }
      EXPECT_NEAR(sum, 1.0, 1e-6) << "cluster " << i;
      // Rebuild the raw weights in the cluster's order: all but the middle one must match.
      const double centre = (double(i) + 0.5) / double(scale) - 0.5;
      const float support = scale < 1 ? 2.0f / scale : 2.0f;
      std::vector<float> raw;
      for (auto l = int64_t(std::floor(centre - support));
           l <= int64_t(std::ceil(centre + support)); ++l) {
        const float w = scale < 1
                            ? scale * FilterKernel(R::Bicubic, float(double(scale) * (centre - l)))
                            : FilterKernel(R::Bicubic, float(centre - l));
        if (w != 0.0f) raw.push_back(w);
      }
      ASSERT_EQ(raw.size(), cluster.size());
      for (size_t k = 0; k < cluster.size(); ++k) {
        if (k != (cluster.size() - 1) / 2) {
          EXPECT_EQ(cluster[k].Weight, raw[k]);
        }
      }
    }
  }
}

TEST(MappingTable, EdgePixelRepeatsNearTheBorder) {
  const TMappingTable table = BuildMappingTable(0, 10, 25, R::Bicubic);
  int zeros = 0;
  for (const TContributor& c : table.front()) zeros += c.Pixel == 0;
  EXPECT_GE(zeros, 2);
  int lasts = 0;
  for (const TContributor& c : table.back()) lasts += c.Pixel == 9;
  EXPECT_GE(lasts, 2);
}

TEST(MappingTable, RefusesEmptySpansAndFiltersWithoutKernel) {
  EXPECT_THROW(BuildMappingTable(0, 0, 4, R::Bilinear), EImagingError);
  EXPECT_THROW(BuildMappingTable(0, 4, 0, R::Bilinear), EImagingError);
  EXPECT_THROW(BuildMappingTable(0, 4, 2, R::Nearest), EImagingError);
  EXPECT_THROW(BuildMappingTable(0, 4, 2, TResizeFilter(7)), EImagingError);
}

TEST(FilterKernel, ValuesAtTheKnots) {
  EXPECT_EQ(FilterKernel(R::Bilinear, 0.0f), 1.0f);
  EXPECT_EQ(FilterKernel(R::Bilinear, -0.25f), 0.75f);
  EXPECT_EQ(FilterKernel(R::Bilinear, 1.0f), 0.0f);
  EXPECT_EQ(FilterKernel(R::Bicubic, 0.0f), 1.0f);
  EXPECT_EQ(FilterKernel(R::Bicubic, 1.0f), 0.0f);
  EXPECT_EQ(FilterKernel(R::Bicubic, -2.0f), 0.0f);
  EXPECT_EQ(FilterKernel(R::Bicubic, 0.5f), 0.5625f);
  EXPECT_EQ(FilterKernel(R::Bicubic, 1.5f), -0.0625f);
}

// ---- filtered results ----

struct RowCase {
  const char* what;
  F format;
  Bytes input;  // two pixels
  R filter;
  Bytes expected;  // four pixels
};

const RowCase kRowCases[] = {
    {"gray8 bilinear 0/255 row", F::Gray8, {0, 255}, R::Bilinear, {0, 64, 191, 255}},
    {"argb bilinear rounds each channel",
     F::A8R8G8B8,
     {0, 255, 10, 255, 255, 0, 11, 255},
     R::Bilinear,
     {0, 255, 10, 255, 64, 191, 10, 255, 191, 64, 11, 255, 255, 0, 11, 255}},
    {"xrgb leaves the fourth byte alone",
     F::X8R8G8B8,
     {0, 0, 0, 99, 255, 255, 255, 99},
     R::Bilinear,
     {0, 0, 0, 0, 64, 64, 64, 0, 191, 191, 191, 0, 255, 255, 255, 0}},
    // 0.25 * 65535 = 16383.75 and 0.75 * 65535 = 49151.25 through the float accessors.
    {"gray16 through the float accessors",
     F::Gray16,
     {0, 0, 0xFF, 0xFF},
     R::Bilinear,
     {0, 0, 0x00, 0x40, 0xFF, 0xBF, 0xFF, 0xFF}},
};

TEST(ImageResize, BilinearEnlargementOfATwoPixelRow) {
  for (const RowCase& c : kRowCases) {
    SCOPED_TRACE(c.what);
    TImageData image = MakeImage(2, 1, c.format, c.input);
    ASSERT_TRUE(ImageResize(image, 4, 1, c.filter));
    EXPECT_EQ(image.Width, 4);
    EXPECT_EQ(image.Format, c.format);
    EXPECT_EQ(BytesOf(image), c.expected);
  }
}

TEST(ImageResize, ConstantImagesStayConstant) {
  const TPixel32 kColor{40, 120, 200, 255};
  const F formats[] = {F::Gray8, F::R8G8B8, F::A8R8G8B8, F::A16R16G16B16, F::R5G6B5};
  const int32_t sizes[][4] = {{17, 9, 40, 23}, {40, 23, 17, 9}, {4000, 1, 1, 1}, {1, 1, 4000, 3}};
  for (F format : formats) {
    for (const auto& s : sizes) {
      for (R filter : {R::Bilinear, R::Bicubic}) {
        SCOPED_TRACE(FormatName(format) + " " + std::to_string(s[0]) + "x" + std::to_string(s[1]) +
                     " filter " + std::to_string(int(filter)));
        TImageData image;
        ImageCreate(s[0], s[1], F::A8R8G8B8, image);
        ImageFillRect(image, 0, 0, s[0], s[1], &kColor);
        ImageConvert(image, format);
        TImageData expected;
        ImageCreate(s[2], s[3], F::A8R8G8B8, expected);
        ImageFillRect(expected, 0, 0, s[2], s[3], &kColor);
        ImageConvert(expected, format);
        ASSERT_TRUE(ImageResize(image, s[2], s[3], filter));
        EXPECT_EQ(BytesOf(image), BytesOf(expected));
      }
    }
  }
}

// Resizing from a source that is only read gives the bytes (and palette) of the in-place
// resize, leaves the source as it was, and refuses what the in-place resize refuses.
TEST(ImageResize, ResizingIntoAnotherImageEqualsResizingInPlace) {
  const F formats[] = {F::Gray8, F::R8G8B8, F::A8R8G8B8, F::A16R16G16B16, F::Index8};
  const int32_t sizes[][4] = {{37, 23, 11, 7}, {11, 7, 37, 23}, {64, 48, 17, 31}};
  uint32_t seed = 1;
  for (F format : formats)
    for (const auto& s : sizes)
      for (R filter : {R::Nearest, R::Bilinear, R::Bicubic}) {
        SCOPED_TRACE(FormatName(format) + " " + std::to_string(s[0]) + "x" + std::to_string(s[1]) +
                     " filter " + std::to_string(int(filter)));
        TImageData source =
            MakeImage(s[0], s[1], F::A8R8G8B8, RandomBytes(size_t(s[0] * s[1] * 4), ++seed));
        ASSERT_TRUE(ImageConvert(source, format));
        const Bytes before = BytesOf(source);
        TImageData inPlace;
        ASSERT_TRUE(ImageClone(source, inPlace));
        ASSERT_TRUE(ImageResize(inPlace, s[2], s[3], filter));
        TImageData into;
        ASSERT_TRUE(ImageResizeTo(source, s[2], s[3], filter, into));
        EXPECT_EQ(BytesOf(source), before);
        EXPECT_EQ(into.Format, inPlace.Format);
        EXPECT_EQ(into.Width, inPlace.Width);
        EXPECT_EQ(BytesOf(into), BytesOf(inPlace));
        ASSERT_EQ(into.palette() == nullptr, inPlace.palette() == nullptr);
        if (into.palette()) {
          EXPECT_EQ(std::memcmp(into.palette(), inPlace.palette(),
                                size_t(GetFormatDescriptor(format)->PaletteSize) * 4),
                    0);
        }
        TImageData untouched;
        EXPECT_FALSE(ImageResizeTo(source, s[0], s[1], filter, untouched));
        EXPECT_FALSE(ImageIsValid(untouched));
      }
}

TEST(ImageResize, BilinearEnlargementKeepsTheCorners) {
  TImageData image = MakeImage(2, 2, F::Gray8, {10, 200, 90, 30});
  ASSERT_TRUE(ImageResize(image, 8, 8, R::Bilinear));
  EXPECT_EQ(image.bits()[0], 10);
  EXPECT_EQ(image.bits()[7], 200);
  EXPECT_EQ(image.bits()[56], 90);
  EXPECT_EQ(image.bits()[63], 30);
}

// ---- nearest neighbour ----

TEST(ImageResize, NearestThreeToSevenTakesColumnsOfStep28086) {
  TImageData image = MakeImage(3, 1, F::Gray8, {10, 20, 30});
  ASSERT_TRUE(ImageResize(image, 7, 1, R::Nearest));
  EXPECT_EQ(BytesOf(image), (Bytes{10, 10, 10, 20, 20, 30, 30}));
}

// The 16.16 rule with its 32-bit arithmetic, written out independently.
std::vector<int32_t> Columns1616(int32_t srcSpan, int32_t dstSpan) {
  const int32_t step = int32_t(srcSpan * 65536) / dstSpan;
  std::vector<int32_t> columns;
  int32_t accumulator = 0;
  for (int32_t i = 0; i < dstSpan; ++i, accumulator += step) columns.push_back(accumulator >> 16);
  return columns;
}

TEST(ImageResize, NearestMatchesThe1616RuleWhereverItIsDefined) {
  const int32_t spans[][2] = {{3, 7},     {7, 3},     {100, 33},     {33, 100},     {1, 5},
                              {5, 1},     {32767, 1}, {32767, 7},    {32767, 9999}, {1000, 32767},
                              {32767, 2}, {255, 256}, {32000, 31999}};
  for (const auto& s : spans) {
    SCOPED_TRACE(std::to_string(s[0]) + " to " + std::to_string(s[1]));
    TImageData row = ColumnRuler(s[0]);
    ASSERT_TRUE(ImageResize(row, s[1], 1, R::Nearest));
    EXPECT_EQ(ColumnsOf(row), Columns1616(s[0], s[1]));
  }
}

struct WideCase {
  int32_t srcSpan, dstSpan;
  std::vector<int32_t> expected;  // exact: floor(i * srcSpan / dstSpan) for these spans
};

TEST(ImageResize, NearestWorksBeyond32767Pixels) {
  const WideCase cases[] = {
      {40000, 7, {0, 5714, 11428, 17142, 22857, 28571, 34285}},
      {100000, 3, {0, 33333, 66666}},
      {65536, 5, {0, 13107, 26214, 39321, 52428}},
  };
  for (const WideCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.srcSpan) + " to " + std::to_string(c.dstSpan));
    TImageData row = ColumnRuler(c.srcSpan);
    ASSERT_TRUE(ImageResize(row, c.dstSpan, 1, R::Nearest));
    EXPECT_EQ(ColumnsOf(row), c.expected);
    TImageData column = ColumnRuler(1, c.srcSpan);
    ASSERT_TRUE(ImageResize(column, 1, c.dstSpan, R::Nearest));
    EXPECT_EQ(ColumnsOf(column), c.expected);
  }
  // Halving a 40000-pixel row takes every second column exactly.
  TImageData row = ColumnRuler(40000);
  ASSERT_TRUE(ImageResize(row, 20000, 1, R::Nearest));
  const std::vector<int32_t> columns = ColumnsOf(row);
  for (int32_t i = 0; i < 20000; ++i) ASSERT_EQ(columns[size_t(i)], 2 * i);
}

TEST(ImageResize, FilteredResamplingOfWideRows) {
  TImageData row = ColumnRuler(40000);
  ASSERT_TRUE(ImageResize(row, 4, 1, R::Bilinear));
  // The second byte holds x >> 8, a ramp; the triangle of each output averages it around
  // the centre (i + 0.5) * 10000 - 0.5, away from the clamped edges exactly there.
  for (int32_t i = 0; i < 4; ++i) {
    EXPECT_EQ(row.bits()[i * 4 + 3], 255);
    if (i > 0) {
      EXPECT_GT(row.bits()[i * 4 + 1], row.bits()[i * 4 - 3]);
    }
  }
  EXPECT_NEAR(row.bits()[5], 58, 1);
  EXPECT_NEAR(row.bits()[9], 97, 1);
}

// ---- formats and record handling ----

TEST(ImageResize, IndexedImagesUseNearestAndKeepThePalette) {
  TImageData image = MakeImage(3, 1, F::Index8, {5, 9, 200});
  for (int i = 0; i < 256; ++i)
    image.palette()[i] = TPixel32::FromColor(0xFF000000u | i * 0x010203u);
  const std::vector<TPixel32> palette(image.palette(), image.palette() + 256);
  for (R filter : {R::Bicubic, R::Bilinear, TResizeFilter(9)}) {
    TImageData copy;
    ImageClone(image, copy);
    ASSERT_TRUE(ImageResize(copy, 7, 1, filter));
    EXPECT_EQ(BytesOf(copy), (Bytes{5, 5, 5, 9, 9, 200, 200}));
    ASSERT_NE(copy.palette(), nullptr);
    EXPECT_TRUE(std::equal(palette.begin(), palette.end(), copy.palette()));
  }
}

TEST(ImageResize, CurrentSizeAndInvalidImagesChangeNothing) {
  TImageData image = MakeImage(3, 2, F::A8R8G8B8, RandomBytes(24, 1));
  const uint8_t* bits = image.bits();
  EXPECT_FALSE(ImageResize(image, 3, 2, R::Bicubic));
  EXPECT_EQ(image.bits(), bits);

  TImageData empty;
  EXPECT_FALSE(ImageResize(empty, 4, 4, R::Bilinear));
  TImageData broken = MakeImage(3, 2, F::A8R8G8B8, RandomBytes(24, 1));
  broken.Size = 7;
  EXPECT_FALSE(ImageResize(broken, 4, 4, R::Bilinear));
  EXPECT_EQ(broken.Width, 3);
}

TEST(ImageResize, UnknownFilterKeepsTheImage) {
  TImageData image = MakeImage(3, 2, F::A8R8G8B8, RandomBytes(24, 2));
  const Bytes before = BytesOf(image);
  EXPECT_FALSE(ImageResize(image, 6, 4, TResizeFilter(3)));
  EXPECT_EQ(image.Width, 3);
  EXPECT_EQ(BytesOf(image), before);
}

TEST(ImageResize, SizesBelowOneAndOverLimitRaise) {
  TImageData image = MakeImage(3, 2, F::Gray8, RandomBytes(6, 3));
  try {
    ImageResize(image, 0, 5, R::Bilinear);
    FAIL() << "no exception";
  } catch (const EImagingError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Error while resizing image.  Image @", 0), 0u)
        << e.what();
  }
  try {
    ImageResize(image, 20000, 20000, R::Nearest);
    FAIL() << "no exception";
  } catch (const EImagingError& e) {
    EXPECT_NE(std::string(e.what()).find("Exception Message: Error while creating image data"),
              std::string::npos)
        << e.what();
  }
  EXPECT_EQ(image.Width, 3);
  EXPECT_EQ(image.Height, 2);
}

TEST(ImageResize, CompressedImagesKeepTheirFormatAndNewSize) {
  const TPixel32 red{0, 0, 255, 255};
  TImageData image;
  ImageCreate(7, 6, F::DXT1, image);
  ImageFillRect(image, 0, 0, 7, 6, &red);
  for (const auto& size : {std::pair{4, 4}, std::pair{5, 3}, std::pair{13, 6}}) {
    TImageData copy;
    ImageClone(image, copy);
    ASSERT_TRUE(ImageResize(copy, size.first, size.second, R::Bicubic));
    EXPECT_EQ(copy.Format, F::DXT1);
    EXPECT_EQ(copy.Width, size.first);
    EXPECT_EQ(copy.Height, size.second);
    ASSERT_TRUE(ImageIsValid(copy));
    ImageConvert(copy, F::A8R8G8B8);
    for (int32_t i = 0; i < copy.Width * copy.Height; ++i)
      ASSERT_EQ(reinterpret_cast<const TPixel32*>(copy.bits())[i], red) << "pixel " << i;
  }
}

// ---- stretching ----

TEST(ImageStretchRect, ClippingKeepsTheMappingOfTheVisiblePart) {
  struct Case {
    const char* what;
    int32_t sx, sw, dx, dw, dstWidth;
    std::vector<int32_t> expected;  // source columns; -1 = untouched
  };
  const Case cases[] = {
      {"left half cut off the destination", 0, 4, -4, 8, 4, {2, 2, 3, 3}},
      {"right half cut off the destination", 0, 4, 2, 8, 6, {-1, -1, 0, 0, 1, 1}},
      {"source starts left of the image", -2, 6, 0, 3, 3, {-1, 0, 2}},
      {"source reaches past the image", 2, 4, 0, 8, 8, {2, 2, 3, 3, -1, -1, -1, -1}},
      {"reduction clipped on the left", 0, 8, -1, 4, 4, {2, 4, 6, -1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TImageData src = ColumnRuler(c.sw > 4 && c.sx >= 0 ? 8 : 4);
    TImageData dst;
    ImageCreate(c.dstWidth, 1, F::A8R8G8B8, dst);
    std::memset(dst.bits(), 0xFF, size_t(dst.Size));
    ASSERT_TRUE(ImageStretchRect(src, c.sx, 0, c.sw, 1, dst, c.dx, 0, c.dw, 1, R::Nearest));
    std::vector<int32_t> columns = ColumnsOf(dst);
    for (int32_t& v : columns)
      if (v == 0xFFFFFF) v = -1;
    EXPECT_EQ(columns, c.expected);
  }
}

TEST(ClipStretchBounds, CarriesCutsOverScaledAndRounded) {
  struct Case {
    int32_t in[8];  // sx, sy, sw, sh, dx, dy, dw, dh
    int32_t images[4];
    int32_t out[8];
  };
  const Case cases[] = {
      {{0, 0, 4, 4, -4, 0, 8, 8}, {4, 4, 4, 8}, {2, 0, 2, 4, 0, 0, 4, 8}},
      {{-1, 0, 3, 3, 0, 0, 9, 9}, {3, 3, 9, 9}, {0, 0, 2, 3, 3, 0, 6, 9}},
      // A carried cut of 1.5 pixels rounds to 2.
      {{0, 0, 10, 10, 0, 0, 3, 3}, {5, 10, 3, 3}, {0, 0, 5, 10, 0, 0, 1, 3}},
      {{0, 0, 3, 1, 0, 0, 2, 1}, {3, 1, 1, 1}, {0, 0, 1, 1, 0, 0, 1, 1}},
      {{0, 0, 4, 4, 10, 10, 4, 4}, {4, 4, 8, 8}, {0, 0, -2, -2, 10, 10, -2, -2}},
  };
  for (const Case& c : cases) {
    int32_t v[8];
    std::copy(c.in, c.in + 8, v);
    ClipStretchBounds(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], c.images[0], c.images[1],
                      c.images[2], c.images[3]);
    EXPECT_TRUE(std::equal(v, v + 8, c.out))
        << v[0] << " " << v[1] << " " << v[2] << " " << v[3] << " " << v[4] << " " << v[5] << " "
        << v[6] << " " << v[7];
  }
}

TEST(ImageStretchRect, EqualClippedExtentsCopy) {
  TImageData src = MakeImage(3, 2, F::A8R8G8B8, RandomBytes(24, 4));
  TImageData dst;
  ImageCreate(4, 3, F::A8R8G8B8, dst);
  ASSERT_TRUE(ImageStretchRect(src, 0, 0, 3, 2, dst, 1, 1, 3, 2, TResizeFilter(42)));
  for (int32_t y = 0; y < 2; ++y)
    EXPECT_EQ(0, std::memcmp(dst.bits() + ((y + 1) * 4 + 1) * 4, src.bits() + y * 12, 12));
}

TEST(ImageStretchRect, IndexedDestinationForcesNearest) {
  TImageData src = MakeImage(3, 1, F::Index8, {1, 2, 3});
  TImageData dst;
  ImageCreate(7, 1, F::Index8, dst);
  ASSERT_TRUE(ImageStretchRect(src, 0, 0, 3, 1, dst, 0, 0, 7, 1, R::Bicubic));
  EXPECT_EQ(BytesOf(dst), (Bytes{1, 1, 1, 2, 2, 3, 3}));
}

TEST(ImageStretchRect, ColorsBoundForAnIndexedImageUseItsPalette) {
  const TPixel32 red{0, 0, 255, 255}, green{0, 255, 0, 255}, blue{255, 0, 0, 255};
  TImageData src;
  ImageCreate(2, 1, F::A8R8G8B8, src);
  std::memcpy(src.bits(), &green, 4);
  std::memcpy(src.bits() + 4, &blue, 4);
  TImageData dst;
  ImageCreate(4, 1, F::Index8, dst);
  dst.palette()[7] = red, dst.palette()[8] = green, dst.palette()[9] = blue;
  ASSERT_TRUE(ImageStretchRect(src, 0, 0, 2, 1, dst, 0, 0, 4, 1, R::Bilinear));
  EXPECT_EQ(BytesOf(dst), (Bytes{8, 8, 9, 9}));
  EXPECT_EQ(dst.palette()[7], red);
}

TEST(ImageStretchRect, SourceOfAnotherFormatIsConverted) {
  TImageData src = MakeImage(2, 1, F::R8G8B8, {0, 0, 0, 255, 255, 255});
  TImageData dst;
  ImageCreate(4, 1, F::A8R8G8B8, dst);
  ASSERT_TRUE(ImageStretchRect(src, 0, 0, 2, 1, dst, 0, 0, 4, 1, R::Bilinear));
  EXPECT_EQ(BytesOf(dst),
            (Bytes{0, 0, 0, 255, 64, 64, 64, 255, 191, 191, 191, 255, 255, 255, 255, 255}));
  EXPECT_EQ(src.Format, F::R8G8B8);
}

TEST(ImageStretchRect, CompressedDestinationKeepsFormatAndSize) {
  const TPixel32 white{255, 255, 255, 255};
  TImageData src;
  ImageCreate(2, 2, F::A8R8G8B8, src);
  ImageFillRect(src, 0, 0, 2, 2, &white);
  for (const auto& size : {std::pair{8, 8}, std::pair{6, 5}}) {
    TImageData dst;
    ImageCreate(size.first, size.second, F::DXT5, dst);
    ASSERT_TRUE(ImageStretchRect(src, 0, 0, 2, 2, dst, 1, 1, 3, 3, R::Bicubic));
    EXPECT_EQ(dst.Format, F::DXT5);
    EXPECT_EQ(dst.Width, size.first);
    EXPECT_EQ(dst.Height, size.second);
    ImageConvert(dst, F::A8R8G8B8);
    const auto* p = reinterpret_cast<const TPixel32*>(dst.bits());
    EXPECT_EQ(p[size.first + 1], white);
    EXPECT_EQ(p[3 * size.first + 3], white);
    EXPECT_EQ(p[0].A, 0);
  }
}

TEST(ImageStretchRect, OverlappingSourceAndDestinationReadTheOriginal) {
  TImageData image = MakeImage(4, 1, F::Gray8, {10, 20, 30, 40});
  ASSERT_TRUE(ImageStretchRect(image, 0, 0, 2, 1, image, 0, 0, 4, 1, R::Nearest));
  EXPECT_EQ(BytesOf(image), (Bytes{10, 10, 20, 20}));
  image = MakeImage(4, 1, F::Gray8, {0, 255, 30, 40});
  ASSERT_TRUE(ImageStretchRect(image, 0, 0, 2, 1, image, 0, 0, 4, 1, R::Bilinear));
  EXPECT_EQ(BytesOf(image), (Bytes{0, 64, 191, 255}));
}

TEST(ImageStretchRect, NothingDrawnGivesFalse) {
  TImageData src = MakeImage(2, 2, F::Gray8, {1, 2, 3, 4});
  TImageData dst = MakeImage(4, 4, F::Gray8, Bytes(16, 9));
  TImageData invalid;
  EXPECT_FALSE(ImageStretchRect(invalid, 0, 0, 2, 2, dst, 0, 0, 4, 4, R::Bilinear));
  EXPECT_FALSE(ImageStretchRect(src, 0, 0, 2, 2, invalid, 0, 0, 4, 4, R::Bilinear));
  EXPECT_FALSE(ImageStretchRect(src, 0, 0, 2, 2, dst, 4, 0, 4, 4, R::Bilinear));
  EXPECT_FALSE(ImageStretchRect(src, 2, 0, 2, 2, dst, 0, 0, 4, 4, R::Bilinear));
  EXPECT_FALSE(ImageStretchRect(src, 0, 0, 0, 2, dst, 0, 0, 4, 4, R::Bilinear));
  EXPECT_FALSE(ImageStretchRect(src, 0, 0, 2, 2, dst, 0, 0, 3, 3, TResizeFilter(-1)));
  EXPECT_EQ(BytesOf(dst), Bytes(16, 9));
}

// ---- fast paths against the general path ----

struct FastCase {
  int32_t srcWidth, srcHeight;
  int32_t sx, sy, sw, sh;  // source rectangle
  int32_t dstWidth, dstHeight;
  int32_t dx, dy, dw, dh;  // destination rectangle
};

const FastCase kFastCases[] = {
    {37, 29, 0, 0, 37, 29, 101, 67, 0, 0, 101, 67},  // enlarging
    {101, 67, 0, 0, 101, 67, 37, 29, 0, 0, 37, 29},  // reducing
    {53, 11, 0, 0, 53, 11, 19, 41, 0, 0, 19, 41},    // one axis each way
    {61, 47, 5, 3, 49, 39, 40, 30, 3, 2, 33, 25},    // rectangles inside both images
    {1, 1, 0, 0, 1, 1, 9, 7, 0, 0, 9, 7},            // one pixel
    {9, 7, 0, 0, 9, 7, 1, 1, 0, 0, 1, 1},            // to one pixel
    {4000, 2, 0, 0, 4000, 2, 3, 2, 0, 0, 1, 2},      // 4000 -> 1
    {1, 3, 0, 0, 1, 3, 4000, 3, 0, 0, 4000, 3},      // 1 -> 4000
    {2, 4000, 0, 0, 2, 4000, 2, 1, 0, 0, 2, 1},      // 4000 -> 1 vertically
    {3, 1, 0, 0, 3, 1, 3, 4000, 0, 0, 3, 4000},      // 1 -> 4000 vertically
    {1000, 3, 1, 0, 997, 3, 77, 5, 2, 1, 71, 3},     // strong reduction, odd offsets
    {40000, 1, 0, 0, 40000, 1, 5, 1, 0, 0, 5, 1},    // wider than 32767
    {7, 5, 1, 1, 5, 3, 1001, 17, 0, 0, 1001, 17},    // strong enlargement
};

// Every byte of the destination, and every bit of the unrounded sums (a reordered or fused
// float sum rarely moves a rounded byte, but it changes the bits).
TEST(ResampleFast, EqualsTheGeneralPathByteForByte) {
  const F formats[] = {F::Gray8, F::A8Gray8, F::R8G8B8, F::A8R8G8B8, F::X8R8G8B8};
  const detail::TSimdLevel levels[] = {detail::TSimdLevel::Portable, detail::TSimdLevel::SSE2,
                                       detail::TSimdLevel::AVX2};
  uint32_t seed = 100;
  for (F format : formats) {
    const TFormatDescriptor& d = *GetFormatDescriptor(format);
    for (const FastCase& c : kFastCases) {
      TImageData src = MakeImage(c.srcWidth, c.srcHeight, format,
                                 RandomBytes(size_t(c.srcWidth) * c.srcHeight * 4, ++seed));
      const Bytes background = RandomBytes(size_t(c.dstWidth) * c.dstHeight * 4, ++seed);
      const detail::TResampleSource source{
          src.bits(), int64_t(c.srcWidth) * d.BytesPerPixel, 0, 0, &d, nullptr};
      const size_t sumCount = size_t(c.dw) * size_t(c.dh) * size_t(d.Channels);
      for (R filter : {R::Bilinear, R::Bicubic}) {
        SCOPED_TRACE(FormatName(format) + " " + std::to_string(c.sw) + "x" + std::to_string(c.sh) +
                     " to " + std::to_string(c.dw) + "x" + std::to_string(c.dh) + " filter " +
                     std::to_string(int(filter)));
        auto target = [&](TImageData& image, float* sums) {
          const int64_t stride = int64_t(c.dstWidth) * d.BytesPerPixel;
          return detail::TResampleTarget{
              image.bits() + c.dy * stride + int64_t(c.dx) * d.BytesPerPixel, stride, &d, nullptr,
              sums};
        };
        TImageData general = MakeImage(c.dstWidth, c.dstHeight, format, background);
        std::vector<float> generalSums(sumCount, -1.0f);
        detail::ResampleFilteredGeneral(source, c.sx, c.sy, c.sw, c.sh, target(general, nullptr),
                                        c.dw, c.dh, filter);
        detail::ResampleFilteredGeneral(source, c.sx, c.sy, c.sw, c.sh,
                                        target(general, generalSums.data()), c.dw, c.dh, filter);
        for (detail::TSimdLevel level : levels) {
          if (!detail::SimdLevelAvailable(level)) continue;
          for (int32_t threads : {1, 3}) {
            SCOPED_TRACE("level " + std::to_string(int(level)) + " threads " +
                         std::to_string(threads));
            TImageData fast = MakeImage(c.dstWidth, c.dstHeight, format, background);
            ASSERT_TRUE(detail::ResampleFilteredFast(source, c.sx, c.sy, c.sw, c.sh,
                                                     target(fast, nullptr), c.dw, c.dh, filter,
                                                     threads, level));
            const Bytes a = BytesOf(general), b = BytesOf(fast);
            const auto diff = std::mismatch(a.begin(), a.end(), b.begin());
            ASSERT_TRUE(diff.first == a.end())
                << "first difference at byte " << (diff.first - a.begin()) << ": general "
                << int(*diff.first) << ", fast " << int(*diff.second);

            std::vector<float> fastSums(sumCount, -2.0f);
            ASSERT_TRUE(detail::ResampleFilteredFast(source, c.sx, c.sy, c.sw, c.sh,
                                                     target(fast, fastSums.data()), c.dw, c.dh,
                                                     filter, threads, level));
            for (size_t i = 0; i < sumCount; ++i)
              ASSERT_EQ(0, std::memcmp(&generalSums[i], &fastSums[i], sizeof(float)))
                  << "sum " << i << ": general " << generalSums[i] << ", fast " << fastSums[i];
            EXPECT_EQ(BytesOf(fast), b) << "writing the sums touched the pixels";
          }
        }
      }
    }
  }
}

TEST(ResampleFast, OtherFormatsAreLeftToTheGeneralPath) {
  const TFormatDescriptor& d = *GetFormatDescriptor(F::R16G16B16);
  uint8_t pixels[6 * 4] = {};
  const detail::TResampleSource source{pixels, 12, 0, 0, &d, nullptr};
  const detail::TResampleTarget target{pixels, 12, &d, nullptr};
  EXPECT_FALSE(detail::ResampleFilteredFast(source, 0, 0, 2, 2, target, 1, 1, R::Bilinear));
}

TEST(ImageResize, ThreadCountDoesNotChangeTheResult) {
  const TImageData source = MakeImage(123, 77, F::A8R8G8B8, RandomBytes(123 * 77 * 4, 7));
  TImageData single, parallel;
  ImageClone(source, single);
  ImageClone(source, parallel);
  ASSERT_TRUE(ImageResize(single, 50, 31, R::Bicubic));
  SetResampleThreadCount(4);
  const bool resized = ImageResize(parallel, 50, 31, R::Bicubic);
  SetResampleThreadCount(1);
  ASSERT_TRUE(resized);
  EXPECT_EQ(BytesOf(single), BytesOf(parallel));
}

}  // namespace
}  // namespace pixolan::imaging
