#include <gtest/gtest.h>

#include "config/ActionHints.h"

namespace pixolan::config {
namespace {

using lang::TLanguage;

TEST(ActionHintsTest, BlurNamesTheFilterItsRadiiStandFor) {
  const struct {
    std::string_view Horizontal, Vertical;
    TLanguage Language;
    std::string_view Hint;
  } cases[] = {
      {"1", "~", TLanguage::De, "Dies entspricht einem Filter von 3 x 3 Pixeln."},
      {"2", "0", TLanguage::En, "This equates to a Filter of 5 x 1 Pixels."},
      {"0", "~", TLanguage::En, "This equates to a Filter of 1 x 1 Pixels."},
      {"2147483647", "~", TLanguage::En,
       "This equates to a Filter of 4294967295 x 4294967295 Pixels."},
      {"", "~", TLanguage::De, "Bitte überprüfen Sie Ihre Eingabe."},
      {"3", "abc", TLanguage::En, "Please correct your Values."},
      {"-1", "1", TLanguage::En, "Please correct your Values."},
  };
  for (const auto& c : cases)
    EXPECT_EQ(BlurFilterHint(c.Horizontal, c.Vertical, c.Language), c.Hint)
        << c.Horizontal << " " << c.Vertical;
}

TEST(ActionHintsTest, SharpenNamesTheKernelItsRadiusStandsFor) {
  const struct {
    std::string_view Radius;
    TLanguage Language;
    std::string_view Hint;
  } cases[] = {
      {"1", TLanguage::De, "Pixel (entspricht 3x3 Pixel)"},
      {"3", TLanguage::En, "Pixel (equates to 7x7 Pixel)"},
      {"", TLanguage::En, "Please correct your Values."},
      {"-2", TLanguage::De, "Bitte überprüfen Sie Ihre Eingabe."},
  };
  for (const auto& c : cases)
    EXPECT_EQ(SharpenRadiusHint(c.Radius, c.Language), c.Hint) << c.Radius;
}

}  // namespace
}  // namespace pixolan::config
