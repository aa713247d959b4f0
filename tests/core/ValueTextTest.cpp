#include <gtest/gtest.h>

#include "core/ValueText.h"

namespace pixolan::core {
namespace {

TEST(ValueRules, IntegerTexts) {
  const struct {
    std::string_view text;
    std::optional<int32_t> value;
  } cases[] = {
      {"0", 0},
      {"640", 640},
      {"-10", -10},
      {"+7", 7},
      {"007", 7},
      {"2147483647", 2147483647},
      {"-2147483648", -2147483647 - 1},
      {"2147483648", std::nullopt},
      {"-2147483649", std::nullopt},
      {"99999999999999999999", std::nullopt},
      {"", std::nullopt},
      {"-", std::nullopt},
      {"+", std::nullopt},
      {"abc", std::nullopt},
      {" 640", std::nullopt},
      {"640 ", std::nullopt},
      {"1,0", std::nullopt},
      {"1.5", std::nullopt},
      {"12abc", std::nullopt},
      {"--1", std::nullopt},
      {"~", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.text));
    EXPECT_EQ(ParseIntegerText(c.text), c.value);
    EXPECT_EQ(IsIntegerText(c.text), c.value.has_value());
    EXPECT_EQ(IntegerOrDefault(c.text, -77), c.value.value_or(-77));
  }
}

TEST(ValueRules, DecimalTextsAcceptCommaAndPoint) {
  const struct {
    std::string_view text;
    std::optional<double> value;
  } cases[] = {
      {"1,0", 1.0},
      {"1.0", 1.0},
      {"0,25", 0.25},
      {"0.25", 0.25},
      {"128", 128.0},
      {"-1,5", -1.5},
      {"+2", 2.0},
      {",5", 0.5},
      {"5,", 5.0},
      {"1e2", 100.0},
      {"1,5E-1", 0.15},
      {"", std::nullopt},
      {",", std::nullopt},
      {"1,0,0", std::nullopt},
      {"1.0,5", std::nullopt},
      {"abc", std::nullopt},
      {" 1", std::nullopt},
      {"1 ", std::nullopt},
      {"1e", std::nullopt},
      {"1e400", std::nullopt},
      {"nan", std::nullopt},
      {"inf", std::nullopt},
      {"~", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.text));
    const std::optional<double> value = ParseDecimalText(c.text);
    ASSERT_EQ(value.has_value(), c.value.has_value());
    if (value) {
      EXPECT_DOUBLE_EQ(*value, *c.value);
    }
    EXPECT_EQ(IsDecimalText(c.text), c.value.has_value());
  }
}

TEST(ValueRules, ColorTextsBecomeWindowsColorsWithRedLow) {
  const struct {
    std::string_view text;
    std::optional<uint32_t> color;
  } cases[] = {
      {"#FF0000", 0x0000FF},      {"#00FF00", 0x00FF00},
      {"#0000FF", 0xFF0000},      {"#123456", 0x563412},
      {"#abcdef", 0xEFCDAB},      {"123456", 0x563412},  // the "#" may be missing
      {"##12#3456", 0x563412},                           // every "#" is ignored
      {"#12345", std::nullopt},                          // five digits: not a color
      {"#1234567", std::nullopt}, {"#12345G", std::nullopt},
      {"#-12345", std::nullopt},  {"# 12345", std::nullopt},
      {"", std::nullopt},         {"#", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.text));
    EXPECT_EQ(ParseColorText(c.text), c.color);
    if (c.color) {
      EXPECT_EQ(ParseColorText(ColorText(*c.color)), c.color);
    }
  }
  EXPECT_EQ(ColorText(0x563412), "#123456");
  EXPECT_EQ(ColorText(0xEFCDAB), "#ABCDEF");
}

TEST(ValueRules, ContrastFontIsBlackFromASumOf500) {
  const struct {
    uint32_t color;
    bool black;
  } cases[] = {
      {*ParseColorText("#FFFF00"), true},   // yellow: 510
      {*ParseColorText("#FF0000"), false},  // red: 255
      {*ParseColorText("#FFFFFF"), true},  {*ParseColorText("#000000"), false},
      {*ParseColorText("#F5FF00"), true},   // 245 + 255 = 500
      {*ParseColorText("#F4FF00"), false},  // 499
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ColorText(c.color));
    EXPECT_EQ(ContrastFontIsBlack(c.color), c.black);
  }
}

}  // namespace
}  // namespace pixolan::core
