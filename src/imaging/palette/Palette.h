// Palette helpers: nearest-color search, gray and bit-split palettes, channel exchange.
#pragma once

#include <cstdint>

#include "imaging/image/ImagingTypes.h"

namespace pixolan::imaging {

// Index of the first entry equal to color, else of the first nearest entry by the sum of
// absolute channel differences; -1 when every entry is at the largest distance (1020).
int32_t PaletteFindColor(const TPixel32* palette, int32_t entries, TPixel32 color);
// Entry i = (i, i, i) with alpha 255.
void PaletteFillGray(TPixel32* palette, int32_t entries);
// Bit-split palette: the index's low bits are blue, then green, then red.
void PaletteFillCustom(TPixel32* palette, int32_t entries, int32_t rBits, int32_t gBits,
                       int32_t bBits, uint8_t alpha);
// Exchanges two channels (0 blue, 1 green, 2 red, 3 alpha) of every entry.
void PaletteSwapChannels(TPixel32* palette, int32_t entries, int32_t channelA, int32_t channelB);

}  // namespace pixolan::imaging
