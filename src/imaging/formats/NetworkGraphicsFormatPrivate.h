// On-disk layout of PNG, MNG and JNG files: signatures, chunk types and header chunks.
// Every multi-byte field is big-endian.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pixolan::imaging::ng {

// The first 8 bytes of each format: a byte with the top bit set (catches 7-bit transfers),
// the name, CR LF (catches line-end conversion), Ctrl-Z and LF.
inline constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
inline constexpr uint8_t kMngSignature[8] = {0x8A, 'M', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
inline constexpr uint8_t kJngSignature[8] = {0x8B, 'J', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
inline constexpr size_t kSignatureSize = 8;

// A chunk is length (4), type (4), data (length), CRC-32 over type and data (4).
inline constexpr size_t kChunkHeaderSize = 8;
inline constexpr size_t kChunkCrcSize = 4;
inline constexpr uint32_t kMaxChunkLength = 0x7FFFFFFF;

constexpr uint32_t ChunkType(const char (&name)[5]) {
  return uint32_t(uint8_t(name[0])) << 24 | uint32_t(uint8_t(name[1])) << 16 |
         uint32_t(uint8_t(name[2])) << 8 | uint32_t(uint8_t(name[3]));
}

// Bit 5 of the first type byte (lower case) marks an ancillary chunk: a reader may skip it.
constexpr bool IsCritical(uint32_t type) {
  return (type & 0x20000000u) == 0;
}

inline constexpr uint32_t kIHDR = ChunkType("IHDR");
inline constexpr uint32_t kPLTE = ChunkType("PLTE");
inline constexpr uint32_t kIDAT = ChunkType("IDAT");
inline constexpr uint32_t kIEND = ChunkType("IEND");
inline constexpr uint32_t kTRNS = ChunkType("tRNS");
inline constexpr uint32_t kBKGD = ChunkType("bKGD");
inline constexpr uint32_t kMHDR = ChunkType("MHDR");
inline constexpr uint32_t kMEND = ChunkType("MEND");
inline constexpr uint32_t kJHDR = ChunkType("JHDR");
inline constexpr uint32_t kJDAT = ChunkType("JDAT");
inline constexpr uint32_t kJDAA = ChunkType("JDAA");
// Separates the 8-bit from the 12-bit JPEG data of a JNG with sample depth 20.
inline constexpr uint32_t kJSEP = ChunkType("JSEP");

// IHDR, 13 bytes.
struct TPngHeader {
  static constexpr size_t kSize = 13;
  uint32_t Width = 0;
  uint32_t Height = 0;
  uint8_t BitDepth = 0;     // bits per sample (per index for color type 3)
  uint8_t ColorType = 0;    // 0 gray, 2 RGB, 3 indexed, 4 gray+alpha, 6 RGBA
  uint8_t Compression = 0;  // 0 = deflate
  uint8_t Filter = 0;       // 0 = adaptive filtering; MNG adds 64 (intrapixel differencing)
  uint8_t Interlace = 0;    // 0 none, 1 Adam7
};

inline constexpr uint8_t kColorGray = 0;
inline constexpr uint8_t kColorRgb = 2;
inline constexpr uint8_t kColorIndexed = 3;
inline constexpr uint8_t kColorGrayAlpha = 4;
inline constexpr uint8_t kColorRgba = 6;
inline constexpr uint8_t kFilterIntrapixel = 64;

// JHDR, 16 bytes.
struct TJngHeader {
  static constexpr size_t kSize = 16;
  uint32_t Width = 0;
  uint32_t Height = 0;
  uint8_t ColorType = 0;         // 8 gray, 10 color, 12 gray+alpha, 14 color+alpha
  uint8_t SampleDepth = 0;       // 8, 12, or 20 (8-bit data, JSEP, 12-bit data)
  uint8_t Compression = 0;       // 8 = JPEG
  uint8_t Interlace = 0;         // 0 sequential, 8 progressive
  uint8_t AlphaSampleDepth = 0;  // 0 without alpha, else 1, 2, 4, 8 or 16
  uint8_t AlphaCompression = 0;  // 0 PNG-coded (IDAT), 8 JPEG-coded (JDAA)
  uint8_t AlphaFilter = 0;       // PNG filter method of IDAT alpha
  uint8_t AlphaInterlace = 0;    // 0
};

inline constexpr uint8_t kJngGray = 8;
inline constexpr uint8_t kJngColor = 10;
inline constexpr uint8_t kJngGrayAlpha = 12;
inline constexpr uint8_t kJngColorAlpha = 14;
inline constexpr uint8_t kJngJpeg = 8;
inline constexpr uint8_t kJngProgressive = 8;

// MHDR, 28 bytes.
struct TMngHeader {
  static constexpr size_t kSize = 28;
  uint32_t FrameWidth = 0;
  uint32_t FrameHeight = 0;
  uint32_t TicksPerSecond = 0;
  uint32_t NominalLayerCount = 0;
  uint32_t NominalFrameCount = 0;
  uint32_t NominalPlayTime = 0;
  uint32_t SimplicityProfile = 0;
};

// The simplicity profile every written MHDR carries, as files of the program always have.
inline constexpr uint32_t kWriteSimplicityProfile = 473;

}  // namespace pixolan::imaging::ng
