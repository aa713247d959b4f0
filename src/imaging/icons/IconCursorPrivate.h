// On-disk layout of icon (.ico) and cursor (.cur) files. All values are little-endian.
//
// A file is a 6-byte header, one 16-byte directory entry per image and then the image
// data, each either a device-independent bitmap without file header (info header, color
// table, XOR pixels bottom row first, then a 1-bit AND mask) or a complete PNG file.
#pragma once

#include <cstdint>

namespace pixolan::imaging::ico {

// Header: reserved (0), resource type, number of entries.
inline constexpr int kHeaderSize = 6;
inline constexpr int kHeaderReserved = 0;
inline constexpr int kHeaderType = 2;
inline constexpr int kHeaderCount = 4;
inline constexpr uint16_t kTypeIcon = 1;
inline constexpr uint16_t kTypeCursor = 2;
// More entries than this are taken for a file that is not an icon at all.
inline constexpr uint16_t kMaxEntries = 64;

// Directory entry. Width and height are bytes in which 0 stands for 256 pixels; for
// cursors the planes and bit count words hold the hot spot instead.
inline constexpr int kEntrySize = 16;
inline constexpr int kEntryWidth = 0;
inline constexpr int kEntryHeight = 1;
inline constexpr int kEntryColorCount = 2;
inline constexpr int kEntryReserved = 3;
inline constexpr int kEntryPlanesOrHotSpotX = 4;
inline constexpr int kEntryBitCountOrHotSpotY = 6;
inline constexpr int kEntryBytesInRes = 8;
inline constexpr int kEntryImageOffset = 12;

// The largest side an icon can have: the directory's size bytes cannot say more.
inline constexpr int32_t kMaxSide = 256;

// A whole file is copied into memory before it is parsed; 64 entries of 256 x 256 32-bit
// pixels take some 17 MB, so anything beyond this is not an icon worth reading.
inline constexpr int64_t kMaxFileSize = int64_t(256) << 20;

}  // namespace pixolan::imaging::ico
