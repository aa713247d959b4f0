// Icon and cursor files built byte by byte, independently of the engine's writer.
#pragma once

#include <cstdint>
#include <vector>

#include "imaging/image/ImagingTypes.h"

namespace pixolan::test {

// One bitmap entry: pixels top row first. For 1, 4 and 8 bits Values are palette indexes
// (the color table is padded with black to 2^bits entries); for 24 and 32 bits they are
// colors (TPixel32::Color, alpha used by 32 bits only). Mask holds 1 where the AND mask is
// set; empty means all clear.
struct TIconBitmapLayout {
  int32_t Width = 0;
  int32_t Height = 0;
  uint16_t Bits = 32;
  std::vector<imaging::TPixel32> Palette;
  std::vector<uint32_t> Values;
  std::vector<uint8_t> Mask;
};

// The entry's data: info header (height doubled for the mask), color table, XOR rows and
// AND rows, bottom row first, rows padded to 32 bits.
std::vector<uint8_t> IconBitmapData(const TIconBitmapLayout& layout);

// A directory entry and its data.
struct TIconEntry {
  uint8_t Width = 0;  // 0 stands for 256
  uint8_t Height = 0;
  uint16_t PlanesOrHotSpotX = 1;
  uint16_t BitCountOrHotSpotY = 32;
  std::vector<uint8_t> Data;
};

// The entry of a bitmap, with the directory fields its layout gives.
TIconEntry IconEntryOf(const TIconBitmapLayout& layout);

// Header (reserved 0, type, count), directory and data in entry order.
std::vector<uint8_t> IconFileBytes(uint16_t type, const std::vector<TIconEntry>& entries);

}  // namespace pixolan::test
