#include "core/ValueText.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace pixolan::core {

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<int32_t> ParseIntegerText(std::string_view text) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return std::nullopt;
  // Accumulate as a negative number so that the most negative 32-bit value fits.
  int64_t value = 0;
  for (; i < text.size(); ++i) {
    if (!IsDigit(text[i])) return std::nullopt;
    value = value * 10 - (text[i] - '0');
    if (value < std::numeric_limits<int32_t>::min()) return std::nullopt;
  }
  if (!negative) {
    value = -value;
    if (value > std::numeric_limits<int32_t>::max()) return std::nullopt;
  }
  return static_cast<int32_t>(value);
}

bool IsIntegerText(std::string_view text) {
  return ParseIntegerText(text).has_value();
}

int32_t IntegerOrDefault(std::string_view text, int32_t fallback) {
  return ParseIntegerText(text).value_or(fallback);
}

std::optional<double> ParseDecimalText(std::string_view text) {
  std::string normalized;
  size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) normalized += text[i++];
  size_t digits = 0;
  bool separator = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (IsDigit(c)) {
      ++digits;
      normalized += c;
    } else if ((c == ',' || c == '.') && !separator) {
      separator = true;
      normalized += '.';
    } else {
      break;
    }
  }
  if (digits == 0) return std::nullopt;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    normalized += 'e';
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) normalized += text[i++];
    size_t exponentDigits = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i, ++exponentDigits) normalized += text[i];
    if (exponentDigits == 0) return std::nullopt;
  }
  if (i != text.size()) return std::nullopt;
  // from_chars does not look at the C locale, so the normalized "." always works.
  std::string_view digitsText = normalized;
  if (digitsText.starts_with('+')) digitsText.remove_prefix(1);
  double value = 0;
  const auto [end, error] =
      std::from_chars(digitsText.data(), digitsText.data() + digitsText.size(), value);
  if (error != std::errc() || end != digitsText.data() + digitsText.size() || !std::isfinite(value))
    return std::nullopt;
  return value;
}

bool IsDecimalText(std::string_view text) {
  return ParseDecimalText(text).has_value();
}

std::optional<uint32_t> ParseColorText(std::string_view text) {
  uint32_t rgb = 0;
  int count = 0;
  for (char c : text) {
    if (c == '#') continue;
    const int value = HexValue(c);
    if (value < 0 || ++count > 6) return std::nullopt;
    rgb = rgb << 4 | static_cast<uint32_t>(value);
  }
  if (count != 6) return std::nullopt;
  const uint32_t red = rgb >> 16 & 0xFF, green = rgb >> 8 & 0xFF, blue = rgb & 0xFF;
  return red | green << 8 | blue << 16;
}

std::string ColorText(uint32_t windowsColor) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text = "#";
  for (int shift : {0, 8, 16}) {
    const uint32_t channel = windowsColor >> shift & 0xFF;
    text += kDigits[channel >> 4];
    text += kDigits[channel & 0xF];
  }
  return text;
}

bool ContrastFontIsBlack(uint32_t windowsColor) {
  const uint32_t sum =
      (windowsColor & 0xFF) + (windowsColor >> 8 & 0xFF) + (windowsColor >> 16 & 0xFF);
  return sum >= 500;
}

}  // namespace pixolan::core
