#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "imaging/image/Imaging.h"
#include "support/TestImages.h"

namespace pixolan::imaging {
namespace {

using F = TImageFormatId;

TEST(ImageCreate, ZeroSizeGivesEmptyRecordAndFalse) {
  TImageData image;
  ImageCreate(4, 4, F::A8R8G8B8, image);
  EXPECT_FALSE(ImageCreate(0, 10, F::A8R8G8B8, image));
  EXPECT_EQ(image.Width, 0);
  EXPECT_EQ(image.Height, 0);
  EXPECT_EQ(image.Format, F::Unknown);
  EXPECT_EQ(image.Size, 0);
  EXPECT_EQ(image.bits(), nullptr);
  EXPECT_EQ(image.palette(), nullptr);
}

TEST(ImageCreate, DefaultBecomesA8R8G8B8AndIndex8GetsZeroedPalette) {
  TImageData argb;
  ASSERT_TRUE(ImageCreate(3, 2, F::Default, argb));
  EXPECT_EQ(argb.Format, F::A8R8G8B8);
  EXPECT_EQ(argb.Size, 24);
  EXPECT_EQ(argb.palette(), nullptr);
  for (int i = 0; i < argb.Size; ++i) EXPECT_EQ(argb.bits()[i], 0);

  TImageData indexed;
  ASSERT_TRUE(ImageCreate(3, 2, F::Index8, indexed));
  ASSERT_NE(indexed.palette(), nullptr);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(indexed.palette()[i].Color(), 0u);
}

TEST(ImageCreate, ByteSizesPerFormat) {
  struct Case {
    F format;
    int32_t w, h, size;
  } cases[] = {
      {F::Gray8, 5, 3, 15},         {F::R8G8B8, 5, 3, 45}, {F::A16R16G16B16, 2, 2, 32},
      {F::A32R32G32B32F, 1, 1, 16}, {F::DXT1, 5, 3, 16},   {F::DXT3, 5, 3, 32},
      {F::DXT5, 4, 4, 16},          {F::BTC, 5, 5, 16},    {F::ATI1N, 1, 1, 8},
      {F::ATI2N, 9, 1, 48},
  };
  for (const Case& c : cases) {
    TImageData image;
    ASSERT_TRUE(ImageCreate(c.w, c.h, c.format, image)) << FormatName(c.format);
    EXPECT_EQ(image.Size, c.size) << FormatName(c.format);
    EXPECT_TRUE(ImageIsValid(image));
  }
}

TEST(ImageCreate, RefusesOversizedImagesWithClearError) {
  struct Case {
    int32_t w, h;
    F format;
  } cases[] = {
      {100000, 100000, F::A8R8G8B8},    // beyond 2^28 pixels
      {16384, 16385, F::Gray8},         // one row beyond 2^28 pixels
      {16384, 8192, F::A32R32G32B32F},  // 2^27 pixels, but 2 GiB of bytes
      {-1, 5, F::A8R8G8B8},
      {5, 5, F(7)},  // id without descriptor
  };
  for (const Case& c : cases) {
    TImageData image;
    try {
      ImageCreate(c.w, c.h, c.format, image);
      ADD_FAILURE() << "accepted " << c.w << "x" << c.h;
    } catch (const EImagingError& e) {
      const std::string expected =
          "Error while creating image data with params: Width=" + std::to_string(c.w) +
          " Height=" + std::to_string(c.h) + " Format=" + FormatName(c.format) + ".";
      EXPECT_EQ(std::string(e.what()).rfind(expected, 0), 0u) << e.what();
      EXPECT_NE(std::string(e.what()).find(" Exception Message: "), std::string::npos);
    }
  }
}

TEST(ImageCreate, LargestAllowedPixelCountIsAccepted) {
  TImageData image;
  EXPECT_TRUE(ImageCreate(16384, 16384, F::Gray8, image));  // exactly 2^28 pixels
  EXPECT_EQ(image.Size, 1 << 28);
}

TEST(ImageIsValid, ChecksFormatAndSizeNotBits) {
  TImageData image;
  EXPECT_FALSE(ImageIsValid(image));
  ASSERT_TRUE(ImageCreate(4, 4, F::R8G8B8, image));
  image.Size = 47;
  EXPECT_FALSE(ImageIsValid(image));
  image.Size = 48;
  image.Format = F(226);
  EXPECT_FALSE(ImageIsValid(image));
  image.Format = F::R8G8B8;
  image.Bits.reset();
  EXPECT_TRUE(ImageIsValid(image));  // the test does not look at the pixels
}

TEST(ImageClone, DeepCopiesBitsAndPalette) {
  TImageData source = test::MakeImage(2, 1, F::Index8, {1, 2});
  source.palette()[1] = TPixel32{1, 2, 3, 4};
  TImageData clone;
  ASSERT_TRUE(ImageClone(source, clone));
  EXPECT_NE(clone.bits(), source.bits());
  EXPECT_NE(clone.palette(), source.palette());
  EXPECT_EQ(test::BytesOf(clone), test::BytesOf(source));
  EXPECT_EQ(clone.palette()[1], (TPixel32{1, 2, 3, 4}));

  const uint8_t* bits = source.bits();
  EXPECT_TRUE(ImageClone(source, source));  // onto itself: the buffer survives
  EXPECT_EQ(source.bits(), bits);
  EXPECT_EQ(source.bits()[1], 2);

  TImageData invalid;
  EXPECT_FALSE(ImageClone(invalid, clone));
  EXPECT_TRUE(ImageIsValid(clone));
}

TEST(ImageArray, ValidityAndFree) {
  TDynImageDataArray images;
  EXPECT_FALSE(ImageArrayIsValid(images));
  images.emplace_back();
  ImageCreate(1, 1, F::Gray8, images.back());
  EXPECT_TRUE(ImageArrayIsValid(images));
  images.emplace_back();
  EXPECT_FALSE(ImageArrayIsValid(images));
  ImageArrayFree(images);
  EXPECT_TRUE(images.empty());
}

TEST(ImageDescribe, SizeUnitsAndInvalidRecord) {
  TImageData big, small, invalid;
  ImageCreate(100, 100, F::A8R8G8B8, big);
  ImageCreate(10, 10, F::A8R8G8B8, small);
  const std::string b = ImageDescribe(big), s = ImageDescribe(small);
  EXPECT_NE(b.find("info: Width = 100px, Height = 100px, Format = A8R8G8B8, Size = 39 KiB, Bits @"),
            std::string::npos)
      << b;
  EXPECT_NE(s.find("Size = 400 B, Bits @"), std::string::npos) << s;
  EXPECT_EQ(b.rfind("Image @", 0), 0u);
  EXPECT_EQ(ImageDescribe(invalid).rfind(
                "Access violation encountered when getting info on image at address ", 0),
            0u);

  TImageData large;
  ImageCreate(2000, 1000, F::A8R8G8B8, large);
  EXPECT_NE(ImageDescribe(large).find("Size = 7,812 KiB"), std::string::npos);
}

TEST(ImageSwapChannels, PerFormatFamily) {
  TImageData argb = test::MakeImage(1, 1, F::A8R8G8B8, {1, 2, 3, 4});
  EXPECT_TRUE(ImageSwapChannels(argb, 0, 2));
  EXPECT_EQ(test::BytesOf(argb), (std::vector<uint8_t>{3, 2, 1, 4}));
  EXPECT_TRUE(ImageSwapChannels(argb, 3, 1));
  EXPECT_EQ(test::BytesOf(argb), (std::vector<uint8_t>{3, 4, 1, 2}));
  EXPECT_FALSE(ImageSwapChannels(argb, 1, 1));

  TImageData indexed = test::MakeImage(1, 1, F::Index8, {0});
  indexed.palette()[0] = TPixel32{10, 20, 30, 40};
  EXPECT_TRUE(ImageSwapChannels(indexed, 2, 3));
  EXPECT_EQ(indexed.palette()[0], (TPixel32{10, 20, 40, 30}));

  TImageData grayAlpha = test::MakeImage(1, 1, F::A8Gray8, {100, 50});
  EXPECT_TRUE(ImageSwapChannels(grayAlpha, 3, 0));
  EXPECT_EQ(test::BytesOf(grayAlpha), (std::vector<uint8_t>{50, 100}));

  // Red/blue exchange of a swapped 16-bit format moves the memory words 0 and 2.
  TImageData words = test::MakeImage(1, 1, F::B16G16R16, {1, 0, 2, 0, 3, 0});
  EXPECT_TRUE(ImageSwapChannels(words, 2, 0));
  EXPECT_EQ(test::BytesOf(words), (std::vector<uint8_t>{3, 0, 2, 0, 1, 0}));

  TImageData rgb = test::MakeImage(1, 1, F::R8G8B8, {1, 2, 3});
  try {
    ImageSwapChannels(rgb, 3, 0);
    ADD_FAILURE() << "alpha of R8G8B8 swapped";
  } catch (const EImagingError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Error while swapping channels of image. Image @", 0),
              0u);
  }
}

TEST(PixelAccess, ReadAndWriteThroughDescriptors) {
  TImageData gray = test::MakeImage(2, 1, F::Gray16, {0, 0, 0x34, 0x12});
  EXPECT_EQ(ImageGetPixel32(gray, 1, 0), (TPixel32{18, 18, 18, 255}));  // 0x1234*255/65535
  ImageSetPixel32(gray, 0, 0, TPixel32{10, 20, 30, 255});               // gray 22
  EXPECT_EQ(test::BytesOf(gray)[0] | test::BytesOf(gray)[1] << 8, 22 * 257);

  TImageData half;
  ImageCreate(1, 1, F::A16R16G16B16F, half);
  ImageSetPixelFP(half, 0, 0, TPixelFP{0.5f, 1.0f, 0.25f, 1.0f});
  EXPECT_EQ(ImageGetPixel32(half, 0, 0), (TPixel32{128, 255, 64, 255}));  // round half even

  TImageData indexed = test::MakeImage(1, 1, F::Index8, {0});
  indexed.palette()[0] = TPixel32::FromColor(0xFF000000);
  indexed.palette()[7] = TPixel32{200, 100, 50, 255};
  ImageSetPixel32(indexed, 0, 0, TPixel32{190, 100, 50, 255});
  EXPECT_EQ(indexed.bits()[0], 7);

  TPixelFP fp;
  TImageData argb = test::MakeImage(1, 1, F::A8R8G8B8, {255, 0, 51, 255});
  ImageGetPixelFP(argb, 0, 0, fp);
  EXPECT_FLOAT_EQ(fp.B, 1.0f);
  EXPECT_FLOAT_EQ(fp.R, 51 * kInv255);

  // Out-of-range floats saturate in every writer instead of wrapping.
  ImageSetPixelFP(argb, 0, 0, TPixelFP{INFINITY, -INFINITY, NAN, 1e30f});
  EXPECT_EQ(ImageGetPixel32(argb, 0, 0), (TPixel32{255, 0, 0, 255}));
  TImageData words;
  ImageCreate(1, 1, F::A16R16G16B16, words);
  ImageSetPixelFP(words, 0, 0, TPixelFP{INFINITY, -1e30f, 0.5f, 1.0f});
  EXPECT_EQ(ImageGetPixel32(words, 0, 0), (TPixel32{255, 0, 127, 255}));

  EXPECT_THROW(ImageGetPixel32(argb, 1, 0), EImagingError);
  EXPECT_THROW(ImageSetPixel32(argb, 0, -1, TPixel32{}), EImagingError);
}

}  // namespace
}  // namespace pixolan::imaging
