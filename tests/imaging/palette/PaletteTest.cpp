#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <string>
#include <vector>

#include "imaging/palette/Palette.h"
#include "support/ErrorOf.h"
#include "support/TestImages.h"

namespace pixolan::imaging {
namespace {

using namespace test;

// Addresses appear as 16 upper-case hex digits, like in every engine message.
std::string WithAddress(const char* format, const void* palette, int entries) {
  char address[32];
  std::snprintf(address, sizeof(address), "%016" PRIXPTR, reinterpret_cast<uintptr_t>(palette));
  char text[160];
  std::snprintf(text, sizeof(text), format, address, entries);
  return text;
}

struct FindCase {
  const char* name;
  std::vector<TPixel32> palette;
  TPixel32 color;
  int32_t expected;
};

TEST(PaletteFindColorTest, ExactThenNearestFirstWins) {
  const TPixel32 black = Bgra(0, 0, 0, 255);
  const std::vector<FindCase> cases = {
      {"first of two exact entries",
       {Bgra(1, 1, 1, 255), Bgra(9, 9, 9, 9), Bgra(9, 9, 9, 9)},
       Bgra(9, 9, 9, 9),
       1},
      {"exact beats an earlier near entry",
       {Bgra(10, 10, 10, 254), Bgra(10, 10, 10, 255)},
       Bgra(10, 10, 10, 255),
       1},
      // Distances 2 and 2: the first of equally close entries wins.
      {"first of equally near",
       {Bgra(0, 0, 0, 0), Bgra(12, 10, 10, 10), Bgra(10, 8, 10, 10)},
       Bgra(10, 10, 10, 10),
       1},
      {"nearest by channel sum",
       {Bgra(0, 0, 0, 255), Bgra(100, 0, 0, 255), Bgra(60, 60, 0, 255)},
       Bgra(70, 50, 0, 255),
       2},
      {"transparent white against opaque black", {black}, Bgra(255, 255, 255, 0), -1},
      {"one step closer than the worst distance", {black}, Bgra(255, 255, 254, 0), 0},
      {"empty palette", {}, black, -1},
  };
  for (const FindCase& c : cases) {
    std::vector<TPixel32> palette = c.palette;
    palette.push_back(Bgra(1, 2, 3, 4));  // never a null pointer, even for zero entries
    EXPECT_EQ(PaletteFindColor(palette.data(), int32_t(c.palette.size()), c.color), c.expected)
        << c.name;
  }
}

TEST(PaletteFillTest, GrayRamp) {
  std::vector<TPixel32> palette(300, Bgra(7, 7, 7, 7));
  PaletteFillGray(palette.data(), 256);
  for (int i = 0; i < 256; ++i) {
    ASSERT_EQ(palette[size_t(i)], Bgra(uint8_t(i), uint8_t(i), uint8_t(i), 255)) << i;
  }
  EXPECT_EQ(palette[256], Bgra(7, 7, 7, 7));  // nothing written beyond the entries

  // Longer ramps stay white instead of wrapping back to black.
  PaletteFillGray(palette.data(), 300);
  EXPECT_EQ(palette[299], Bgra(255, 255, 255, 255));

  PaletteFillGray(palette.data(), 0);
  PaletteFillGray(palette.data(), -5);
  EXPECT_EQ(palette[0], Bgra(0, 0, 0, 255));
}

TEST(PaletteFillTest, CustomThreeThreeTwo) {
  std::vector<TPixel32> palette(256, Bgra(7, 7, 7, 7));
  PaletteFillCustom(palette.data(), 256, 3, 3, 2, 255);
  EXPECT_EQ(palette[0], Bgra(0, 0, 0, 255));
  EXPECT_EQ(palette[255], Bgra(255, 255, 255, 255));
  EXPECT_EQ(palette[1], Bgra(85, 0, 0, 255));       // low two bits: blue, 1 * 255 / 3
  EXPECT_EQ(palette[1 << 2], Bgra(0, 36, 0, 255));  // next three: green, 1 * 255 / 7
  EXPECT_EQ(palette[1 << 5], Bgra(0, 0, 36, 255));  // top three: red
  EXPECT_EQ(palette[0b11001101], Bgra(85, 109, 218, 255));
}

TEST(PaletteFillTest, CustomLimitsAndZeroBits) {
  // More entries than colors: the rest is zeroed.
  std::vector<TPixel32> palette(8, Bgra(7, 7, 7, 7));
  PaletteFillCustom(palette.data(), 8, 0, 0, 2, 128);
  EXPECT_EQ(palette[0], Bgra(0, 0, 0, 128));
  EXPECT_EQ(palette[1], Bgra(85, 0, 0, 128));
  EXPECT_EQ(palette[2], Bgra(170, 0, 0, 128));
  EXPECT_EQ(palette[3], Bgra(255, 0, 0, 128));
  for (size_t i = 4; i < 8; ++i) EXPECT_EQ(palette[i], TPixel32{}) << i;

  // Fewer entries than colors: only those are written.
  std::vector<TPixel32> small(4, Bgra(7, 7, 7, 7));
  PaletteFillCustom(small.data(), 2, 1, 1, 1, 255);
  EXPECT_EQ(small[1], Bgra(255, 0, 0, 255));
  EXPECT_EQ(small[2], Bgra(7, 7, 7, 7));

  PaletteFillCustom(small.data(), 0, 3, 3, 2, 255);
  EXPECT_EQ(small[0], Bgra(0, 0, 0, 255));
}

TEST(PaletteSwapChannelsTest, ExchangesChannelsOfEveryEntry) {
  std::vector<TPixel32> palette = {Bgra(1, 2, 3, 4), Bgra(5, 6, 7, 8), Bgra(9, 9, 9, 9)};
  PaletteSwapChannels(palette.data(), 2, 0, 2);
  EXPECT_EQ(palette[0], Bgra(3, 2, 1, 4));
  EXPECT_EQ(palette[1], Bgra(7, 6, 5, 8));
  PaletteSwapChannels(palette.data(), 2, 3, 1);
  EXPECT_EQ(palette[0], Bgra(3, 4, 1, 2));
  PaletteSwapChannels(palette.data(), 2, 2, 2);
  EXPECT_EQ(palette[0], Bgra(3, 4, 1, 2));
  EXPECT_EQ(palette[2], Bgra(9, 9, 9, 9));
}

TEST(PaletteErrorsTest, NullPaletteAndBadArguments) {
  std::vector<TPixel32> palette(4);
  TPixel32* p = palette.data();
  const TPixel32* none = nullptr;
  EXPECT_EQ(ErrorOf<EImagingError>([&] { PaletteFindColor(none, 3, TPixel32{}); }),
            "Error while finding color in palette @0000000000000000 with 3 entries.");
  EXPECT_EQ(ErrorOf<EImagingError>([&] { PaletteFillGray(nullptr, 256); }),
            "Error while filling grayscale palette @0000000000000000 with 256 entries.");
  EXPECT_EQ(ErrorOf<EImagingError>([&] { PaletteFillCustom(nullptr, 0, 3, 3, 2, 255); }),
            "Error while filling custom palette @0000000000000000 with 0 entries.");
  EXPECT_EQ(ErrorOf<EImagingError>([&] { PaletteFillCustom(p, 4, 9, 0, 0, 255); }),
            WithAddress("Error while filling custom palette @%s with %d entries.", p, 4));
  EXPECT_EQ(ErrorOf<EImagingError>([&] { PaletteFillCustom(p, 4, 0, -1, 0, 255); }),
            WithAddress("Error while filling custom palette @%s with %d entries.", p, 4));
  const std::string swapMessage =
      WithAddress("Error while swapping channels of palette @%s with %d entries.", p, 4);
  EXPECT_EQ(ErrorOf<EImagingError>([&] { PaletteSwapChannels(p, 4, 0, 4); }), swapMessage);
  EXPECT_EQ(ErrorOf<EImagingError>([&] { PaletteSwapChannels(p, 4, -1, 2); }), swapMessage);
  EXPECT_EQ(ErrorOf<EImagingError>([&] { PaletteSwapChannels(nullptr, 4, 0, 1); }),
            "Error while swapping channels of palette @0000000000000000 with 4 entries.");
}

}  // namespace
}  // namespace pixolan::imaging
