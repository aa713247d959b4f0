// Copies between engine images and the 32-bit top-down B, G, R, A bitmap.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "imaging/canvas/Bitmap.h"
#include "imaging/image/Imaging.h"
#include "support/TestImages.h"

namespace pixolan::imaging {
namespace {

using F = TImageFormatId;
using namespace test;
using Bytes = std::vector<uint8_t>;

Bytes BitmapBytes(const TBitmap32& bitmap) {
  return Bytes(bitmap.Bits(), bitmap.Bits() + int64_t(bitmap.BytesPerLine()) * bitmap.Height());
}

TEST(Bitmap, SizeRowsAndLimits) {
  TBitmap32 bitmap(3, 2);
  EXPECT_EQ(bitmap.Width(), 3);
  EXPECT_EQ(bitmap.Height(), 2);
  EXPECT_EQ(bitmap.BytesPerLine(), 12);
  EXPECT_EQ(bitmap.ScanLine(1), bitmap.Bits() + 12);
  EXPECT_EQ(BitmapBytes(bitmap), Bytes(24, 0));
  bitmap.SetSize(0, 5);
  EXPECT_TRUE(bitmap.Empty());
  EXPECT_EQ(bitmap.Bits(), nullptr);
  EXPECT_THROW(TBitmap32(-1, 2), EImagingError);
  EXPECT_THROW(TBitmap32(1 << 15, 1 << 15), EImagingError);
}

TEST(Bitmap, ImagesArriveAsTopDownBGRA) {
  struct Case {
    const char* what;
    F format;
    Bytes pixels;    // two pixels in the image's format
    Bytes expected;  // the two bitmap pixels
  };
  const Case cases[] = {
      {"argb unchanged, alpha included",
       F::A8R8G8B8,
       {1, 2, 3, 4, 5, 6, 7, 0},
       {1, 2, 3, 4, 5, 6, 7, 0}},
      {"rgb gets opaque alpha", F::R8G8B8, {1, 2, 3, 4, 5, 6}, {1, 2, 3, 255, 4, 5, 6, 255}},
      {"xrgb gets opaque alpha",
       F::X8R8G8B8,
       {1, 2, 3, 0, 4, 5, 6, 0},
       {1, 2, 3, 255, 4, 5, 6, 255}},
      {"gray spreads", F::Gray8, {9, 200}, {9, 9, 9, 255, 200, 200, 200, 255}},
      {"r5g6b5 widens", F::R5G6B5, {0x1F, 0x00, 0x00, 0xF8}, {255, 0, 0, 255, 0, 0, 255, 255}},
  };
  for (const Case& c : cases) {
    TImageData image = MakeImage(2, 1, c.format, c.pixels);
    TBitmap32 bitmap;
    ImageToBitmap(image, bitmap);
    EXPECT_EQ(bitmap.Width(), 2) << c.what;
    EXPECT_EQ(bitmap.Height(), 1) << c.what;
    EXPECT_EQ(BitmapBytes(bitmap), c.expected) << c.what;
    EXPECT_EQ(BytesOf(image), c.pixels) << c.what << ": the image itself is left alone";
  }

  TImageData indexed = MakeImage(2, 1, F::Index8, {1, 0});
  indexed.palette()[0] = TPixel32::FromColor(0xFF102030u);
  indexed.palette()[1] = TPixel32::FromColor(0x80405060u);
  TBitmap32 bitmap;
  ImageToBitmap(indexed, bitmap);
  EXPECT_EQ(BitmapBytes(bitmap), (Bytes{0x60, 0x50, 0x40, 0x80, 0x30, 0x20, 0x10, 0xFF}));
}

TEST(Bitmap, RowsKeepTheirOrderBothWays) {
  const Bytes bytes = RandomBytes(7 * 5 * 4, 3);
  TImageData image = MakeImage(7, 5, F::A8R8G8B8, bytes);
  TBitmap32 bitmap(1, 1);
  ImageToBitmap(image, bitmap);
  ASSERT_EQ(bitmap.Width(), 7);
  EXPECT_EQ(Bytes(bitmap.ScanLine(4), bitmap.ScanLine(4) + 28),
            Bytes(bytes.begin() + 4 * 28, bytes.end()));

  TImageData back;
  ImageCreate(2, 2, F::Gray8, back);
  BitmapToImage(bitmap, back);
  EXPECT_EQ(back.Format, F::A8R8G8B8);
  EXPECT_EQ(back.Width, 7);
  EXPECT_EQ(back.Height, 5);
  EXPECT_EQ(BytesOf(back), bytes);
}

TEST(Bitmap, OnePixel) {
  TBitmap32 bitmap(1, 1);
  std::memcpy(bitmap.Bits(), "\x0A\x0B\x0C\x00", 4);
  TImageData image;
  BitmapToImage(bitmap, image);
  EXPECT_EQ(BytesOf(image), (Bytes{10, 11, 12, 0}));  // alpha 0 stays 0
}

TEST(Bitmap, RefusesWhatCannotBeCopied) {
  TImageData empty;
  TBitmap32 bitmap(2, 2);
  try {
    ImageToBitmap(empty, bitmap);
    FAIL() << "invalid image copied";
  } catch (const EImagingError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Cannot find compatible bitmap format for image " + ImageDescribe(empty));
  }
  EXPECT_EQ(bitmap.Width(), 2);

  TBitmap32 none;
  TImageData image = MakeImage(1, 1, F::Gray8, {5});
  try {
    BitmapToImage(none, image);
    FAIL() << "empty bitmap copied";
  } catch (const EImagingError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Cannot find compatible data format for bitmap ", 0), 0u);
  }
  EXPECT_EQ(BytesOf(image), Bytes{5});
}

}  // namespace
}  // namespace pixolan::imaging
