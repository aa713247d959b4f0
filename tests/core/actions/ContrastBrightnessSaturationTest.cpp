#include <gtest/gtest.h>

#include "core/actions/Actions.h"
#include "imaging/image/Imaging.h"
#include "support/TestImages.h"

namespace pixolan::core::actions {
namespace {

struct TCbsCase {
  const char *Name, *Contrast, *Brightness, *Saturation;
  uint32_t Before, After;  // 0xAARRGGBB
};

TEST(ContrastBrightnessSaturationTest, ChangesEveryChannelAndKeepsAlpha) {
  const TCbsCase cases[] = {
      {"neutral", "0", "0", "0", 0xFF336699, 0xFF336699},
      {"contrast 100 spreads from the middle", "100", "0", "0", 0x80407FC0, 0x80017FFF},
      {"brightness 10 on black", "0", "10", "0", 0xFF000000, 0xFF1A1A1A},
      {"contrast that is no number with brightness 20", "abc", "20", "0", 0xFF000000, 0xFF333333},
      {"saturation -100 turns gray", "0", "0", "-100", 0xFF306090, 0xFF606060},
      {"saturation 100 doubles the distance from gray", "0", "0", "100", 0xFF506070, 0xFF406080},
  };
  for (const TCbsCase& c : cases) {
    SCOPED_TRACE(c.Name);
    ConversionSettings s;
    s.Contrast = c.Contrast;
    s.Brightness = c.Brightness;
    s.Saturation = c.Saturation;
    imaging::TImageData image = test::Filled(3, 3, c.Before);
    ContrastBrightnessSaturation(image, {s});
    EXPECT_EQ(imaging::ImageGetPixel32(image, 1, 1).Color(), c.After);
  }
}

}  // namespace
}  // namespace pixolan::core::actions
