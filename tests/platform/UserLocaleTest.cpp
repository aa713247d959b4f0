#include <gtest/gtest.h>

#include "platform/UserLocale.h"
#include "support/ScopedEnvironment.h"

namespace pixolan::platform {
namespace {

TEST(UserLocale, TheCLocaleAndUnknownLocalesUseThePoint) {
  for (const char* locale : {"C", "C.UTF-8", "xx_NOWHERE.UTF-8"}) {
    const test::TScopedEnvironment all("LC_ALL", locale);
    EXPECT_EQ(UserDecimalSeparator(), ".") << locale;
  }
}

TEST(UserLocale, TextsCompareWithoutLetterCase) {
  const test::TScopedEnvironment all("LC_ALL", "C.UTF-8");
  const TTextCompare compare = UserTextCompareIgnoreCase();
  EXPECT_EQ(compare("Photo", "pHOTO"), 0);
  EXPECT_LT(compare("apple", "Banana"), 0);
  EXPECT_GT(compare("Zebra", "apple"), 0);
  EXPECT_LT(compare("a", "ab"), 0);
  EXPECT_NE(compare("c\xE9", "c\xC3\xA9x"), 0);
  const test::TScopedEnvironment unknown("LC_ALL", "xx_NOWHERE.UTF-8");
  EXPECT_EQ(UserTextCompareIgnoreCase()("ABC", "abc"), 0);
}

}  // namespace
}  // namespace pixolan::platform
