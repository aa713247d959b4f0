// The rules by which a control's text becomes a value: whole numbers, decimals and color
// texts. Settings keep texts; whoever needs a value reads it through these.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pixolan::core {

// The 32-bit integer a text stands for: an optional sign and decimal digits, nothing else
// (no blanks), within the 32-bit range.
std::optional<int32_t> ParseIntegerText(std::string_view text);
// True when ParseIntegerText accepts the text; an empty text is not an integer.
bool IsIntegerText(std::string_view text);
// The integer of a text, or fallback when it is none.
int32_t IntegerOrDefault(std::string_view text, int32_t fallback);

// The number a decimal text stands for: an optional sign, digits with at most one
// decimal separator ("," or "." alike, so "1,0" and "1.0" both read 1) and an optional
// exponent; at least one digit. Texts written in either language read the same.
std::optional<double> ParseDecimalText(std::string_view text);
bool IsDecimalText(std::string_view text);

// A color text is "#" and six hexadecimal digits RRGGBB. Every "#" is ignored; the rest
// must be exactly six hexadecimal digits. The result is a Windows color value: red in bits
// 0-7, green in 8-15, blue in 16-23.
std::optional<uint32_t> ParseColorText(std::string_view text);
// "#RRGGBB" with upper-case digits for a Windows color value.
std::string ColorText(uint32_t windowsColor);
// The text on a color field is black when red + green + blue >= 500, else white.
bool ContrastFontIsBlack(uint32_t windowsColor);

}  // namespace pixolan::core
