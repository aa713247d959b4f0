#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "imaging/geometry/Geometry.h"
#include "imaging/image/Imaging.h"
#include "support/ErrorOf.h"
#include "support/TestImages.h"

namespace pixolan::imaging {
namespace {

using F = TImageFormatId;
using Bytes = std::vector<uint8_t>;
using namespace test;

// Gray8 image whose pixels count up from 1, row by row.
TImageData Counting(int32_t width, int32_t height) {
  Bytes bytes(size_t(width) * size_t(height));
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i + 1);
  return MakeImage(width, height, F::Gray8, bytes);
}

// A compressed image of any size: created at that size (conversion would round it up to
// whole blocks) and filled.
TImageData CompressedSolid(int32_t width, int32_t height, F format, TPixel32 color) {
  TImageData image;
  ImageCreate(width, height, format, image);
  ImageFillRect(image, 0, 0, width, height, &color);
  return image;
}

// ---- clipping ----

TEST(ClipRectBounds, IntersectsWithTheImage) {
  struct Case {
    int32_t in[4];
    int32_t out[4];
  };
  const Case cases[] = {
      {{-5, 0, 8, 10}, {0, 0, 3, 10}},     // X = -5, Width = 8 on a 10-wide image
      {{7, 2, 8, 3}, {7, 2, 3, 3}},        // cut at the right edge
      {{2, -3, 4, 5}, {2, 0, 4, 2}},       // cut at the top
      {{12, 0, 4, 4}, {12, 0, 0, 4}},      // starts beyond the image: never below 0
      {{-20, 0, 5, 4}, {0, 0, -15, 4}},    // ends before the image
      {{-5, -5, 30, 30}, {0, 0, 10, 10}},  // covers the image
  };
  for (const Case& c : cases) {
    int32_t v[4] = {c.in[0], c.in[1], c.in[2], c.in[3]};
    ClipRectBounds(v[0], v[1], v[2], v[3], 10, 10);
    EXPECT_TRUE(std::equal(v, v + 4, c.out)) << v[0] << " " << v[1] << " " << v[2] << " " << v[3];
  }
}

TEST(ClipCopyBounds, DestinationFirstThenSourceThenRightEdges) {
  struct Case {
    const char* what;
    int32_t in[6];  // sx, sy, w, h, dx, dy
    int32_t out[6];
  };
  // Source 6 x 4, destination 5 x 5.
  const Case cases[] = {
      {"negative destination X", {0, 0, 4, 2, -2, 1}, {2, 0, 2, 2, 0, 1}},
      {"negative source Y", {1, -1, 3, 3, 0, 0}, {1, 0, 3, 2, 0, 1}},
      {"both negative", {-1, 0, 4, 1, -2, 0}, {1, 0, 2, 1, 0, 0}},
      {"cut at the source's right edge", {4, 0, 5, 1, 0, 0}, {4, 0, 2, 1, 0, 0}},
      {"cut at the destination's bottom edge", {0, 0, 2, 4, 0, 3}, {0, 0, 2, 2, 0, 3}},
      {"far outside stays empty",
       {0, 0, 2, 2, -2147483647, 0},
       {2147483647, 0, -2147483645, 2, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    int32_t v[6];
    std::copy(c.in, c.in + 6, v);
    ClipCopyBounds(v[0], v[1], v[2], v[3], v[4], v[5], 6, 4, 5, 5);
    EXPECT_TRUE(std::equal(v, v + 6, c.out))
        << v[0] << " " << v[1] << " " << v[2] << " " << v[3] << " " << v[4] << " " << v[5];
  }
}

// ---- copy ----

TEST(ImageCopyRect, NegativeDestinationCopiesTheVisiblePartFromMatchingColumns) {
  const TImageData src = Counting(4, 2);  // 1 2 3 4 / 5 6 7 8
  TImageData dst = MakeImage(3, 3, F::Gray8, Bytes(9, 0));
  ASSERT_TRUE(ImageCopyRect(src, 0, 0, 4, 2, dst, -2, 1));
  EXPECT_EQ(BytesOf(dst), (Bytes{0, 0, 0, 3, 4, 0, 7, 8, 0}));
}

TEST(ImageCopyRect, ConvertsTheSourceOnACopy) {
  const TImageData src = MakeImage(2, 1, F::R8G8B8, {1, 2, 3, 4, 5, 6});
  TImageData dst;
  ImageCreate(3, 1, F::A8R8G8B8, dst);
  ASSERT_TRUE(ImageCopyRect(src, 0, 0, 2, 1, dst, 1, 0));
  EXPECT_EQ(BytesOf(dst), (Bytes{0, 0, 0, 0, 1, 2, 3, 255, 4, 5, 6, 255}));
  EXPECT_EQ(src.Format, F::R8G8B8);
}

TEST(ImageCopyRect, IndexedToIndexedCopiesIndices) {
  const TImageData src = MakeImage(2, 1, F::Index8, {17, 200});
  TImageData dst;
  ImageCreate(2, 1, F::Index8, dst);
  ASSERT_TRUE(ImageCopyRect(src, 0, 0, 2, 1, dst, 0, 0));
  EXPECT_EQ(BytesOf(dst), (Bytes{17, 200}));
}

TEST(ImageCopyRect, ColorsIntoAnIndexedImageMatchItsPalette) {
  TImageData src = Filled(2, 1, 0xFFFA0000u);
  const TPixel32 gray{128, 128, 128, 255};
  std::memcpy(src.bits() + 4, &gray, 4);
  TImageData dst;
  ImageCreate(3, 1, F::Index8, dst);
  dst.palette()[3] = {0, 0, 255, 255};
  dst.palette()[4] = {130, 130, 130, 255};
  ASSERT_TRUE(ImageCopyRect(src, 0, 0, 2, 1, dst, 1, 0));
  EXPECT_EQ(BytesOf(dst), (Bytes{0, 3, 4}));
}

TEST(ImageCopyRect, OverlappingCopyWithinOneImage) {
  TImageData image = Counting(5, 1);
  ASSERT_TRUE(ImageCopyRect(image, 0, 0, 4, 1, image, 1, 0));
  EXPECT_EQ(BytesOf(image), (Bytes{1, 1, 2, 3, 4}));
  image = Counting(5, 1);
  ASSERT_TRUE(ImageCopyRect(image, 1, 0, 4, 1, image, 0, 0));
  EXPECT_EQ(BytesOf(image), (Bytes{2, 3, 4, 5, 5}));
}

TEST(ImageCopyRect, CompressedDestinationIsDecodedAndEncodedAtItsSize) {
  const TPixel32 red{0, 0, 255, 255}, blue{255, 0, 0, 255};
  for (const auto& size : {std::pair{8, 8}, std::pair{7, 5}}) {
    TImageData dst = CompressedSolid(size.first, size.second, F::DXT1, red);
    const TImageData src = Filled(4, 4, blue.Color());
    ASSERT_TRUE(ImageCopyRect(src, 0, 0, 4, 4, dst, 4, 0));
    EXPECT_EQ(dst.Format, F::DXT1);
    EXPECT_EQ(dst.Width, size.first);
    EXPECT_EQ(dst.Height, size.second);
    ImageConvert(dst, F::A8R8G8B8);
    const auto* p = reinterpret_cast<const TPixel32*>(dst.bits());
    EXPECT_EQ(p[0], red);
    EXPECT_EQ(p[4], blue);
    EXPECT_EQ(p[size.first * 3 + 3], red);
  }
}

TEST(ImageCopyRect, EmptyOrInvalidGivesFalse) {
  const TImageData src = Counting(2, 2);
  TImageData dst = MakeImage(2, 2, F::Gray8, Bytes(4, 0));
  TImageData invalid;
  EXPECT_FALSE(ImageCopyRect(src, 0, 0, 2, 2, dst, 2, 0));
  EXPECT_FALSE(ImageCopyRect(src, 0, 0, 0, 2, dst, 0, 0));
  EXPECT_FALSE(ImageCopyRect(invalid, 0, 0, 2, 2, dst, 0, 0));
  EXPECT_FALSE(ImageCopyRect(src, 0, 0, 2, 2, invalid, 0, 0));
  EXPECT_EQ(BytesOf(dst), Bytes(4, 0));
}

// ---- fill and replace ----

TEST(ImageFillRect, FillsOnlyTheClippedRectangle) {
  TImageData image = Filled(10, 10, 0);
  const TPixel32 color{1, 2, 3, 4};
  ASSERT_TRUE(ImageFillRect(image, -5, 0, 8, 10, &color));
  const auto* p = reinterpret_cast<const TPixel32*>(image.bits());
  for (int32_t y = 0; y < 10; ++y)
    for (int32_t x = 0; x < 10; ++x)
      ASSERT_EQ(p[y * 10 + x], x <= 2 ? color : TPixel32{}) << x << "," << y;
}

TEST(ImageFillRect, EveryPixelWidth) {
  const F formats[] = {F::Gray8,  F::R5G6B5,       F::R8G8B8,
                       F::Gray32, F::A16R16G16B16, F::A32R32G32B32F};
  for (F format : formats) {
    SCOPED_TRACE(FormatName(format));
    const int bpp = GetFormatDescriptor(format)->BytesPerPixel;
    const Bytes color = RandomBytes(size_t(bpp), uint32_t(bpp));
    const Bytes background = RandomBytes(size_t(5 * 4 * bpp), 99);
    TImageData image = MakeImage(5, 4, format, background);
    ASSERT_TRUE(ImageFillRect(image, 1, 1, 3, 2, color.data()));
    for (int32_t y = 0; y < 4; ++y)
      for (int32_t x = 0; x < 5; ++x) {
        const bool inside = x >= 1 && x <= 3 && y >= 1 && y <= 2;
        const size_t at = size_t(y * 5 + x) * size_t(bpp);
        ASSERT_EQ(
            0, std::memcmp(image.bits() + at, inside ? color.data() : &background[at], size_t(bpp)))
            << x << "," << y;
      }
  }
}

TEST(ImageFillRect, CompressedImagesTakeATPixel32) {
  const TPixel32 green{0, 255, 0, 255};
  TImageData image;
  ImageCreate(5, 6, F::DXT3, image);
  ASSERT_TRUE(ImageFillRect(image, 0, 0, 5, 6, &green));
  EXPECT_EQ(image.Format, F::DXT3);
  EXPECT_EQ(image.Width, 5);
  EXPECT_EQ(image.Height, 6);
  ImageConvert(image, F::A8R8G8B8);
  for (int32_t i = 0; i < 30; ++i) ASSERT_EQ(reinterpret_cast<TPixel32*>(image.bits())[i], green);
}

TEST(ImageFillRect, EmptyRectangleOrMissingColor) {
  TImageData image = Counting(4, 4);
  const uint8_t v = 0;
  EXPECT_FALSE(ImageFillRect(image, 4, 0, 3, 3, &v));
  EXPECT_FALSE(ImageFillRect(image, 0, 0, 0, 3, &v));
  TImageData invalid;
  EXPECT_FALSE(ImageFillRect(invalid, 0, 0, 1, 1, &v));
  EXPECT_EQ(BytesOf(image), BytesOf(Counting(4, 4)));
  const std::string message =
      ErrorOf<EImagingError>([&] { ImageFillRect(image, -1, 1, 3, 9, nullptr); });
  EXPECT_EQ(message.rfind("Error while filling rectangle X:0 Y:1 W:2 H:3 in image Image @", 0), 0u)
      << message;
}

TEST(ImageReplaceColor, ReplacesExactMatchesInsideTheRectangle) {
  struct Case {
    F format;
    Bytes pixels;  // 3 x 2
    Bytes oldColor, newColor;
    Bytes expected;
  };
  const Case cases[] = {
      {F::Gray8, {5, 6, 5, 5, 5, 7}, {5}, {9}, {5, 6, 9, 5, 9, 7}},
      {F::R8G8B8,
       {1, 2, 3, 1, 2, 4, 1, 2, 3, 1, 2, 3, 1, 2, 3, 0, 0, 0},
       {1, 2, 3},
       {7, 7, 7},
       {1, 2, 3, 1, 2, 4, 7, 7, 7, 1, 2, 3, 7, 7, 7, 0, 0, 0}},
      {F::A8R8G8B8,
       {1, 1, 1, 1, 1, 1, 1, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2, 2, 2},
       {1, 1, 1, 1},
       {3, 3, 3, 3},
       {1, 1, 1, 1, 1, 1, 1, 0, 3, 3, 3, 3, 1, 1, 1, 1, 3, 3, 3, 3, 2, 2, 2, 2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(FormatName(c.format));
    TImageData image = MakeImage(3, 2, c.format, c.pixels);
    // Columns 1..2 only; the rectangle reaches past the right edge.
    ASSERT_TRUE(ImageReplaceColor(image, 1, 0, 9, 2, c.oldColor.data(), c.newColor.data()));
    EXPECT_EQ(BytesOf(image), c.expected);
  }
}

TEST(ImageReplaceColor, ErrorNamesTheClippedRectangle) {
  TImageData image = Counting(4, 4);
  const uint8_t v = 1;
  const std::string message =
      ErrorOf<EImagingError>([&] { ImageReplaceColor(image, 2, -1, 5, 3, &v, nullptr); });
  EXPECT_EQ(message.rfind("Error while replacing colors in rectangle X:2 Y:0 W:2 H:2 of image", 0),
            0u)
      << message;
}

// ---- flip, mirror, rotate ----

TEST(ImageFlipAndMirror, ExchangeRowsAndColumns) {
  struct Case {
    int32_t width, height;
    Bytes flipped, mirrored;
  };
  const Case cases[] = {
      {3, 2, {4, 5, 6, 1, 2, 3}, {3, 2, 1, 6, 5, 4}},
      {2, 3, {5, 6, 3, 4, 1, 2}, {2, 1, 4, 3, 6, 5}},
      {1, 1, {1}, {1}},
  };
  for (const Case& c : cases) {
    TImageData image = Counting(c.width, c.height);
    ASSERT_TRUE(ImageFlipVertical(image));
    EXPECT_EQ(BytesOf(image), c.flipped);
    image = Counting(c.width, c.height);
    ASSERT_TRUE(ImageMirror(image));
    EXPECT_EQ(BytesOf(image), c.mirrored);
  }
}

TEST(ImageFlipAndMirror, MovesWholePixels) {
  TImageData image = MakeImage(3, 1, F::R8G8B8, {1, 2, 3, 4, 5, 6, 7, 8, 9});
  ASSERT_TRUE(ImageMirror(image));
  EXPECT_EQ(BytesOf(image), (Bytes{7, 8, 9, 4, 5, 6, 1, 2, 3}));
  image = MakeImage(1, 2, F::A16R16G16B16, RandomBytes(16, 5));
  const Bytes before = BytesOf(image);
  ASSERT_TRUE(ImageFlipVertical(image));
  Bytes expected(before.begin() + 8, before.end());
  expected.insert(expected.end(), before.begin(), before.begin() + 8);
  EXPECT_EQ(BytesOf(image), expected);
}

TEST(ImageFlipAndMirror, CompressedImagesKeepTheirSize) {
  TImageData image = CompressedSolid(6, 5, F::DXT5, {0, 0, 255, 255});
  const TPixel32 white{255, 255, 255, 255};
  ImageFillRect(image, 0, 0, 6, 1, &white);
  ASSERT_TRUE(ImageFlipVertical(image));
  EXPECT_EQ(image.Width, 6);
  EXPECT_EQ(image.Height, 5);
  ImageConvert(image, F::A8R8G8B8);
  EXPECT_EQ(reinterpret_cast<TPixel32*>(image.bits())[4 * 6], white);
  EXPECT_NE(reinterpret_cast<TPixel32*>(image.bits())[0], white);
}

struct RotationCase {
  int32_t angle;
  int32_t width, height;
  Bytes expected;
};

// The 3 x 2 image 1 2 3 / 4 5 6; positive angles turn counter-clockwise.
const RotationCase kRotations[] = {
    {90, 2, 3, {3, 6, 2, 5, 1, 4}},   {-270, 2, 3, {3, 6, 2, 5, 1, 4}},
    {450, 2, 3, {3, 6, 2, 5, 1, 4}},  {180, 3, 2, {6, 5, 4, 3, 2, 1}},
    {-180, 3, 2, {6, 5, 4, 3, 2, 1}}, {540, 3, 2, {6, 5, 4, 3, 2, 1}},
    {270, 2, 3, {4, 1, 5, 2, 6, 3}},  {-90, 2, 3, {4, 1, 5, 2, 6, 3}},
    {-450, 2, 3, {4, 1, 5, 2, 6, 3}}, {0, 3, 2, {1, 2, 3, 4, 5, 6}},
    {360, 3, 2, {1, 2, 3, 4, 5, 6}},  {-360, 3, 2, {1, 2, 3, 4, 5, 6}},
    {720, 3, 2, {1, 2, 3, 4, 5, 6}},
};

TEST(ImageRotateRightAngle, CornersAndDirections) {
  for (const RotationCase& c : kRotations) {
    SCOPED_TRACE(c.angle);
    TImageData image = Counting(3, 2);
    ASSERT_TRUE(ImageRotateRightAngle(image, c.angle));
    EXPECT_EQ(image.Width, c.width);
    EXPECT_EQ(image.Height, c.height);
    EXPECT_EQ(BytesOf(image), c.expected);
  }
}

TEST(ImageRotateRightAngle, FourByTwoTopLeftIsTheOldTopRight) {
  TImageData image = MakeImage(4, 2, F::A8R8G8B8, RandomBytes(32, 11));
  const Bytes before = BytesOf(image);
  TImageData minus = MakeImage(4, 2, F::A8R8G8B8, before);
  TImageData clockwise = MakeImage(4, 2, F::A8R8G8B8, before);
  ASSERT_TRUE(ImageRotateRightAngle(image, 90));
  EXPECT_EQ(image.Width, 2);
  EXPECT_EQ(image.Height, 4);
  EXPECT_EQ(0, std::memcmp(image.bits(), &before[12], 4));
  ASSERT_TRUE(ImageRotateRightAngle(minus, -90));
  ASSERT_TRUE(ImageRotateRightAngle(clockwise, 270));
  EXPECT_EQ(BytesOf(minus), BytesOf(clockwise));
  // The old bottom-left corner is the clockwise turn's top-left.
  EXPECT_EQ(0, std::memcmp(clockwise.bits(), &before[16], 4));
}

TEST(ImageRotateRightAngle, LargeImagesAcrossTiles) {
  // Four quarter turns give the image back; crosses tile borders in both directions.
  for (F format : {F::Gray8, F::R8G8B8, F::A8R8G8B8, F::A16Gray16, F::A32R32G32B32F}) {
    SCOPED_TRACE(FormatName(format));
    const int bpp = GetFormatDescriptor(format)->BytesPerPixel;
    const Bytes bytes = RandomBytes(size_t(131 * 70 * bpp), 12);
    TImageData image = MakeImage(131, 70, format, bytes);
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(ImageRotateRightAngle(image, 90));
    EXPECT_EQ(BytesOf(image), bytes);
    ASSERT_TRUE(ImageRotateRightAngle(image, 180));
    ASSERT_TRUE(ImageRotateRightAngle(image, -180));
    EXPECT_EQ(BytesOf(image), bytes);
  }
}

TEST(ImageRotateRightAngle, KeepsPaletteAndCompressedFormat) {
  TImageData indexed = MakeImage(3, 2, F::Index8, {1, 2, 3, 4, 5, 6});
  indexed.palette()[2] = {9, 8, 7, 6};
  ASSERT_TRUE(ImageRotateRightAngle(indexed, 90));
  EXPECT_EQ(BytesOf(indexed), (Bytes{3, 6, 2, 5, 1, 4}));
  ASSERT_NE(indexed.palette(), nullptr);
  EXPECT_EQ(indexed.palette()[2], (TPixel32{9, 8, 7, 6}));

  TImageData compressed = Filled(8, 4, 0xFFFF0000u);
  ImageConvert(compressed, F::ATI2N);
  ASSERT_TRUE(ImageRotateRightAngle(compressed, 270));
  EXPECT_EQ(compressed.Format, F::ATI2N);
  EXPECT_EQ(compressed.Width, 4);
  EXPECT_EQ(compressed.Height, 8);
  EXPECT_TRUE(ImageIsValid(compressed));
}

TEST(ImageRotateRightAngle, AnglesOffTheRightAnglesRaise) {
  TImageData image = Counting(3, 2);
  const std::string message = ErrorOf<EImagingError>([&] { ImageRotateRightAngle(image, 45); });
  EXPECT_EQ(message.rfind("Error while rotating image Image @", 0), 0u) << message;
  EXPECT_NE(message.find(" by 45 degrees"), std::string::npos) << message;
  EXPECT_EQ(BytesOf(image), BytesOf(Counting(3, 2)));
}

TEST(Geometry, InvalidImagesGiveFalse) {
  TImageData empty;
  TImageData broken = Counting(2, 2);
  broken.Size = 3;
  const uint8_t v = 0;
  for (TImageData* image : {&empty, &broken}) {
    EXPECT_FALSE(ImageFillRect(*image, 0, 0, 1, 1, &v));
    EXPECT_FALSE(ImageReplaceColor(*image, 0, 0, 1, 1, &v, &v));
    EXPECT_FALSE(ImageFlipVertical(*image));
    EXPECT_FALSE(ImageMirror(*image));
    EXPECT_FALSE(ImageRotateRightAngle(*image, 90));
    EXPECT_FALSE(ImageRotateRightAngle(*image, 45));
  }
  EXPECT_EQ(broken.Width, 2);
}

}  // namespace
}  // namespace pixolan::imaging
