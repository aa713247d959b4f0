#include <gtest/gtest.h>

#include "core/actions/Actions.h"
#include "imaging/image/Imaging.h"
#include "support/TestImages.h"

namespace pixolan::core::actions {
namespace {

struct TChannelCase {
  const char* Name;
  TChannelMode Mode;
  bool Red, Green, Blue;
  const char* Missing;
  uint32_t Before, After;  // 0xAARRGGBB
};

TEST(ColorChannelsTest, RemovedChannelsBecomeWhiteBlackOrTheirNegative) {
  const TChannelCase cases[] = {
      {"all kept", TChannelMode::Rgb, true, true, true, "Weiß", 0x80336699, 0x80336699},
      {"only red kept, black", TChannelMode::Rgb, true, false, false, "Schwarz", 0x80336699,
       0x80330000},
      {"blue removed, white", TChannelMode::Rgb, true, true, false, "Weiß", 0x80336699, 0x803366FF},
      {"red removed, negative", TChannelMode::Rgb, false, true, true, "Negativ", 0x80336699,
       0x80CC6699},
      {"English names", TChannelMode::Rgb, false, true, true, "Black", 0x80336699, 0x80006699},
      {"unknown replacement: no filter", TChannelMode::Rgb, false, false, false, "Grau", 0x80336699,
       0x80336699},
      {"CMYK, all kept, gray stays", TChannelMode::Cmyk, true, true, true, "Weiß", 0xFF808080,
       0xFF808080},
      {"CMYK, all kept, a primary stays", TChannelMode::Cmyk, true, true, true, "White", 0xFFFF0000,
       0xFFFF0000},
  };
  for (const TChannelCase& c : cases) {
    SCOPED_TRACE(c.Name);
    ConversionSettings s;
    s.ChannelMode = c.Mode;
    s.KeepRed = c.Red;
    s.KeepGreen = c.Green;
    s.KeepBlue = c.Blue;
    s.MissingChannels = c.Missing;
    imaging::TImageData image = test::Filled(2, 2, c.Before);
    ColorChannels(image, {s});
    EXPECT_EQ(imaging::ImageGetPixel32(image, 1, 1).Color(), c.After);
  }
}

}  // namespace
}  // namespace pixolan::core::actions
