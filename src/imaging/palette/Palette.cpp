// Palette helpers: nearest-color search, gray and bit-split palettes, channel exchange.
#include "imaging/palette/Palette.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#include "imaging/image/Errors.h"
#include "imaging/image/Imaging.h"

namespace pixolan::imaging {
namespace {

// format holds "@%s" for the address, printed as the engine prints every address.
[[noreturn]] void RaisePaletteError(const char* format, const void* palette, int32_t entries) {
  RaiseImaging(FormatText(format, PointerText(palette).c_str(), int(entries)));
}

// Largest sum of four absolute byte differences; an entry this far away is no match at all.
constexpr int32_t kWorstDistance = 4 * 255;

}  // namespace

int32_t PaletteFindColor(const TPixel32* palette, int32_t entries, TPixel32 color) {
  if (palette == nullptr) {
    RaisePaletteError("Error while finding color in palette @%s with %d entries.", palette,
                      entries);
  }
  int32_t best = -1;
  int32_t bestDistance = kWorstDistance;
  for (int32_t i = 0; i < entries; ++i) {
    const TPixel32 e = palette[i];
    const int32_t distance = std::abs(int32_t(e.R) - color.R) + std::abs(int32_t(e.G) - color.G) +
                             std::abs(int32_t(e.B) - color.B) + std::abs(int32_t(e.A) - color.A);
    // Every earlier entry was farther away, so the first distance-0 entry is the first exact
    // match; strictly-closer replacement keeps the first of equally close entries.
    if (distance == 0) return i;
    if (distance < bestDistance) {
      bestDistance = distance;
      best = i;
    }
  }
  return best;
}

void PaletteFillGray(TPixel32* palette, int32_t entries) {
  if (palette == nullptr) {
    RaisePaletteError("Error while filling grayscale palette @%s with %d entries.", palette,
                      entries);
  }
  for (int32_t i = 0; i < entries; ++i) {
    // A ramp longer than 256 entries stays white instead of wrapping back to black.
    const uint8_t g = uint8_t(std::min(i, 255));
    palette[i] = {g, g, g, 255};
  }
}

void PaletteFillCustom(TPixel32* palette, int32_t entries, int32_t rBits, int32_t gBits,
                       int32_t bBits, uint8_t alpha) {
  constexpr const char* kMessage = "Error while filling custom palette @%s with %d entries.";
  if (palette == nullptr) RaisePaletteError(kMessage, palette, entries);
  // More than 8 bits per channel cannot be stored in a byte and would overflow the shifts.
  const auto badBits = [](int32_t bits) { return bits < 0 || bits > 8; };
  if (badBits(rBits) || badBits(gBits) || badBits(bBits)) {
    RaisePaletteError(kMessage, palette, entries);
  }
  if (entries <= 0) return;
  std::fill_n(palette, entries, TPixel32{});

  const int32_t rMax = (1 << rBits) - 1;
  const int32_t gMax = (1 << gBits) - 1;
  const int32_t bMax = (1 << bBits) - 1;
  const auto scale = [](int32_t value, int32_t max) {
    return max == 0 ? uint8_t(0) : uint8_t(value * 255 / max);
  };
  const int32_t count = std::min(int32_t(1) << (rBits + gBits + bBits), entries);
  for (int32_t i = 0; i < count; ++i) {
    palette[i].B = scale(i & bMax, bMax);
    palette[i].G = scale((i >> bBits) & gMax, gMax);
    palette[i].R = scale((i >> (bBits + gBits)) & rMax, rMax);
    palette[i].A = alpha;
  }
}

void PaletteSwapChannels(TPixel32* palette, int32_t entries, int32_t channelA, int32_t channelB) {
  if (palette == nullptr || channelA < 0 || channelA > 3 || channelB < 0 || channelB > 3) {
    RaisePaletteError("Error while swapping channels of palette @%s with %d entries.", palette,
                      entries);
  }
  if (channelA == channelB) return;
  for (int32_t i = 0; i < entries; ++i) std::swap(palette[i][channelA], palette[i][channelB]);
}

}  // namespace pixolan::imaging
