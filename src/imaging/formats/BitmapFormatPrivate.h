// On-disk layout of Windows and OS/2 bitmaps: field offsets, sizes and codes.
// All values are little-endian; offsets are relative to the structure's start.
#pragma once

#include <cstdint>

namespace pixolan::imaging::bmp {

// File header (14 bytes): "BM", file size, two reserved words, pixel data offset.
inline constexpr int kFileHeaderSize = 14;
inline constexpr int kFileSizeOffset = 2;
inline constexpr int kPixelOffsetOffset = 10;

// Info header sizes. 12 is the OS/2 1.x core header with 16-bit dimensions; 40 the
// Windows 3 header; 52 and 56 add the color (and alpha) masks; 108 and 124 are the
// version 4 and 5 headers. OS/2 2.x headers may stop after any field from 16 to 64 bytes.
inline constexpr uint32_t kCoreHeaderSize = 12;
inline constexpr uint32_t kInfoHeaderSize = 40;
inline constexpr uint32_t kV2HeaderSize = 52;
inline constexpr uint32_t kV3HeaderSize = 56;
inline constexpr uint32_t kV4HeaderSize = 108;
inline constexpr uint32_t kV5HeaderSize = 124;
inline constexpr uint32_t kOS2MinHeaderSize = 16;
inline constexpr uint32_t kOS2MaxHeaderSize = 64;

// Core header (after its size field): width and height as unsigned 16-bit, planes, bits.
inline constexpr int kCoreWidth = 4;
inline constexpr int kCoreHeight = 6;
inline constexpr int kCorePlanes = 8;
inline constexpr int kCoreBitCount = 10;

// Info header fields (version 3 and later, and the OS/2 2.x header).
inline constexpr int kInfoWidth = 4;
inline constexpr int kInfoHeight = 8;  // negative: top row first
inline constexpr int kInfoPlanes = 12;
inline constexpr int kInfoBitCount = 14;
inline constexpr int kInfoCompression = 16;
inline constexpr int kInfoImageSize = 20;
inline constexpr int kInfoXPelsPerMeter = 24;
inline constexpr int kInfoYPelsPerMeter = 28;
inline constexpr int kInfoClrUsed = 32;
inline constexpr int kInfoClrImportant = 36;
inline constexpr int kInfoRedMask = 40;  // header of 52 bytes and more
inline constexpr int kInfoGreenMask = 44;
inline constexpr int kInfoBlueMask = 48;
inline constexpr int kInfoAlphaMask = 52;  // header of 56 bytes and more
inline constexpr int kInfoCSType = 56;     // version 4: color space, endpoints, gamma follow

// Compression codes. The OS/2 2.x header gives 3 and 4 other meanings.
inline constexpr uint32_t kBiRgb = 0;
inline constexpr uint32_t kBiRle8 = 1;
inline constexpr uint32_t kBiRle4 = 2;
inline constexpr uint32_t kBiBitFields = 3;
inline constexpr uint32_t kBiJpeg = 4;
inline constexpr uint32_t kBiPng = 5;
inline constexpr uint32_t kBiAlphaBitFields = 6;
inline constexpr uint32_t kOS2Huffman1D = 3;
inline constexpr uint32_t kOS2Rle24 = 4;

// Run-length escapes: a zero count followed by one of these.
inline constexpr uint8_t kRleEndOfLine = 0;
inline constexpr uint8_t kRleEndOfBitmap = 1;
inline constexpr uint8_t kRleDelta = 2;

// What the writer puts in both resolution fields: 72 dpi.
inline constexpr int32_t kPixelsPerMeter = 2835;

}  // namespace pixolan::imaging::bmp
