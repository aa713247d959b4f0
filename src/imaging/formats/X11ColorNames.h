// The color names of the X Window System, as XPM files use them ("AliceBlue", "gray50").
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace pixolan::imaging {

struct TX11Color {
  std::string_view Name;  // lower case, without blanks
  uint32_t Rgb;           // 0xRRGGBB
};

extern const TX11Color kX11Colors[];
extern const size_t kX11ColorCount;

// The color of an X11 name, matched ignoring case and blanks ("Alice Blue" = "aliceblue").
std::optional<uint32_t> FindX11Color(std::string_view name);

}  // namespace pixolan::imaging
