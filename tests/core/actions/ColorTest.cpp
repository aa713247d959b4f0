#include <gtest/gtest.h>

#include <set>

#include "core/actions/Actions.h"
#include "imaging/image/Imaging.h"
#include "support/TestImages.h"

namespace pixolan::core::actions {
namespace {

using TBox = std::string ConversionSettings::*;
using TFlag = bool ConversionSettings::*;

struct TColorCase {
  const char* Name;
  TFlag Flag;  // switched on when set
  TBox Box1;
  const char* Text1;
  TBox Box2;
  const char* Text2;
  uint32_t Before, After;  // 0xAARRGGBB of a one-color image
};

TEST(ColorTest, TheFiveStepsChangeThePixelsAsTheyShould) {
  using S = ConversionSettings;
  const TColorCase cases[] = {
      {"all values \"0\": nothing", nullptr, nullptr, "", nullptr, "", 0xFF336699, 0xFF336699},
      {"\"00\" runs a transform that changes nothing", nullptr, &S::ColorRed, "00", nullptr, "",
       0xFF336699, 0xFF336699},
      {"colorize red 300 on black", &S::Colorize, &S::ColorRed, "300", nullptr, "", 0xFF000000,
       0xFFFF0000},
      {"colorize red -300 on white", &S::Colorize, &S::ColorRed, "-300", nullptr, "", 0xFFFFFFFF,
       0xFF00FFFF},
      {"green 100 doubles the distance from gray", nullptr, &S::ColorGreen, "100", nullptr, "",
       0xFF336633, 0xFF338833},
      {"a value that is no number counts as 0", nullptr, &S::ColorGreen, "viel", nullptr, "",
       0xFF336633, 0xFF336633},
      {"gamma 2 on blue only", &S::Gamma, &S::GammaBlue, "2", nullptr, "", 0xFF404040, 0xFF404080},
      {"gamma with a box that is no number: skipped", &S::Gamma, &S::GammaBlue, "2", &S::GammaRed,
       "x", 0xFF404040, 0xFF404040},
      {"gamma 0 drives the channel to 0", &S::Gamma, &S::GammaRed, "0", nullptr, "", 0xFFF0F0F0,
       0xFF00F0F0},
      {"negative keeps alpha", &S::Negative, nullptr, "", nullptr, "", 0x80102030, 0x80EFDFCF},
      {"swap red and blue", &S::SwapChannels, nullptr, "", nullptr, "", 0xFF112233, 0xFF332211},
      {"swap in English: green and blue", &S::SwapChannels, &S::SwapFirst, "Green", nullptr, "",
       0xFF112233, 0xFF113322},
      {"swap with an unknown name: nothing", &S::SwapChannels, &S::SwapFirst, "Lila", nullptr, "",
       0xFF112233, 0xFF112233},
  };
  for (const TColorCase& c : cases) {
    SCOPED_TRACE(c.Name);
    ConversionSettings s;
    if (c.Flag) s.*c.Flag = true;
    if (c.Box1) s.*c.Box1 = c.Text1;
    if (c.Box2) s.*c.Box2 = c.Text2;
    imaging::TImageData image = test::Filled(4, 3, c.Before);
    Color(image, {s});
    EXPECT_EQ(imaging::ImageGetPixel32(image, 2, 1).Color(), c.After);
  }
}

TEST(ColorTest, ReducesToTheGivenNumberOfColorsAndOneMeansTwo) {
  for (const char* count : {"2", "1", "4"}) {
    ConversionSettings s;
    s.ReduceColors = true;
    s.ColorCount = count;
    imaging::TImageData image = test::MakeImage(16, 16, imaging::TImageFormatId::A8R8G8B8,
                                                test::RandomBytes(16 * 16 * 4, 11));
    for (int32_t i = 3; i < image.Size; i += 4) image.bits()[i] = 255;
    Color(image, {s});
    std::set<uint32_t> colors;
    for (int32_t y = 0; y < 16; ++y)
      for (int32_t x = 0; x < 16; ++x) colors.insert(imaging::ImageGetPixel32(image, x, y).Color());
    EXPECT_EQ(colors.size(), std::max<size_t>(2, size_t(std::stoi(count)))) << count;
  }
}

}  // namespace
}  // namespace pixolan::core::actions
