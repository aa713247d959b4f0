// On-disk layout of ZSoft Paintbrush (PCX) files. All values are little-endian.
#pragma once

#include <cstdint>

namespace pixolan::imaging::pcx {

// The 128-byte file header.
inline constexpr int kHeaderSize = 128;
inline constexpr int kManufacturer = 0;  // always kZSoft
inline constexpr int kVersion = 1;       // 0, 2 (with palette), 3 (without), 4, 5 (256 colors)
inline constexpr int kEncoding = 2;      // 0 raw, 1 run-length
inline constexpr int kBitsPerPixel = 3;  // bits of one pixel in one plane: 1, 2, 4 or 8
inline constexpr int kXMin = 4;          // the image window, inclusive
inline constexpr int kYMin = 6;
inline constexpr int kXMax = 8;
inline constexpr int kYMax = 10;
inline constexpr int kColorMap = 16;  // 16 R, G, B triples
inline constexpr int kPlanes = 65;
inline constexpr int kBytesPerLine = 66;  // of one plane of one row, padding included
inline constexpr int kPaletteInfo = 68;   // 1 color, 2 gray; many writers leave it 0 or unset

inline constexpr uint8_t kZSoft = 10;
inline constexpr uint8_t kVersionWithoutPalette = 3;

// Run-length coding: a byte with both top bits set repeats the next byte (its low six bits)
// times; any other byte stands for itself.
inline constexpr uint8_t kRunMark = 0xC0;
inline constexpr uint8_t kRunCountMask = 0x3F;
inline constexpr int kMaxRun = 63;

// The 256-color palette of 8-bit images: a marker byte, then 256 R, G, B triples, at the
// very end of the file.
inline constexpr uint8_t kPaletteMarker = 12;
inline constexpr int kVgaPaletteSize = 1 + 256 * 3;

// Colors of the EGA's default palette, for files whose version says the header carries none.
inline constexpr uint8_t kEgaPalette[16][3] = {
    {0, 0, 0},     {0, 0, 170},     {0, 170, 0},    {0, 170, 170},   {170, 0, 0},   {170, 0, 170},
    {170, 85, 0},  {170, 170, 170}, {85, 85, 85},   {85, 85, 255},   {85, 255, 85}, {85, 255, 255},
    {255, 85, 85}, {255, 85, 255},  {255, 255, 85}, {255, 255, 255},
};

}  // namespace pixolan::imaging::pcx
