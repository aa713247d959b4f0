// On-disk layout of Truevision Targa files: header fields, image types and the version 2
// footer. All values are little-endian.
#pragma once

#include <cstdint>

namespace pixolan::imaging::tga {

// The 18-byte file header.
inline constexpr int kHeaderSize = 18;
inline constexpr int kIdLength = 0;
inline constexpr int kColorMapType = 1;  // 0 none, 1 present
inline constexpr int kImageType = 2;
inline constexpr int kColorMapFirst = 3;      // index of the first map entry
inline constexpr int kColorMapLength = 5;     // number of map entries
inline constexpr int kColorMapEntrySize = 7;  // bits per map entry
inline constexpr int kWidth = 12;
inline constexpr int kHeight = 14;
inline constexpr int kPixelDepth = 16;
inline constexpr int kDescriptor = 17;

// Image types; adding kRleFlag gives the run-length encoded variant.
inline constexpr uint8_t kNoImage = 0;
inline constexpr uint8_t kColorMapped = 1;
inline constexpr uint8_t kTrueColor = 2;
inline constexpr uint8_t kGray = 3;
inline constexpr uint8_t kRleFlag = 8;

// Image descriptor: attribute (alpha) bits per pixel and the origin.
inline constexpr uint8_t kAlphaBitsMask = 0x0F;
inline constexpr uint8_t kRightToLeft = 0x10;
inline constexpr uint8_t kTopToBottom = 0x20;

// Run-length packet header: the top bit marks a run, the low seven bits hold count - 1.
inline constexpr uint8_t kRunPacket = 0x80;
inline constexpr int kMaxPacketPixels = 128;

// Version 2 footer (the last 26 bytes): extension area offset, developer directory
// offset, then the signature below including its final zero byte.
inline constexpr int kFooterSize = 26;
inline constexpr char kFooterSignature[] = "TRUEVISION-XFILE.";  // 17 bytes + zero = 18
inline constexpr int kSignatureOffset = 8;

// Extension area: 495 bytes, starting with its own size; the attribute type says what the
// alpha (attribute) bits mean.
inline constexpr int kExtensionSize = 495;
inline constexpr int kAttributeTypeOffset = 494;
inline constexpr uint8_t kAttributesNone = 0;           // no alpha data
inline constexpr uint8_t kAttributesIgnore = 1;         // undefined, may be ignored
inline constexpr uint8_t kAttributesRetain = 2;         // undefined, should be retained
inline constexpr uint8_t kAttributesAlpha = 3;          // useful alpha channel
inline constexpr uint8_t kAttributesPremultiplied = 4;  // pre-multiplied alpha

}  // namespace pixolan::imaging::tga
