#include "imaging/formats/NetworkGraphicsFormat.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cinttypes>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "imaging/formats/Deflate.h"
#include "imaging/formats/JpegFormat.h"
#include "imaging/formats/NetworkGraphicsFormatPrivate.h"
#include "imaging/image/ByteOrder.h"
#include "imaging/image/Errors.h"
#include "imaging/image/Imaging.h"
#include "imaging/io/Options.h"

namespace pixolan::imaging {

using namespace ng;

namespace {

using F = TImageFormatId;

constexpr const char* kChunkEndsEarly = "Error when reading %s chunk data. File may be corrupted.";

// Decoded bytes one load may hold (the images of an MNG and the inflated rows together):
// a single image at the engine's pixel limit still fits.
constexpr int64_t kMaxLoadBytes = int64_t(1) << 31;

// Deflate cannot expand data by more than about 1032:1 (258 bytes from a 2-bit code), so
// compressed data beyond this ratio cannot fill the rows a header promises.
constexpr int64_t kMaxInflateRatio = 1032;
constexpr int64_t kInflateSlack = 1024;

constexpr int kFilterNone = 0;
constexpr int kFilterSub = 1;
constexpr int kFilterUp = 2;
constexpr int kFilterAverage = 3;
constexpr int kFilterPaeth = 4;
constexpr int kFilterDefault = 5;
constexpr int kFilterAdaptive = 6;

class TLoadBudget {
 public:
  void Take(int64_t bytes) {
    if (bytes > kMaxLoadBytes - used_)
      throw EImagingError(FormatText("The images of the file need more than %" PRId64
                                     " bytes of memory together.",
                                     kMaxLoadBytes));
    used_ += bytes;
  }

 private:
  int64_t used_ = 0;
};

std::string ChunkName(uint32_t type) {
  std::string name(4, '?');
  for (int i = 0; i < 4; ++i) {
    const char c = char(type >> (24 - 8 * i));
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) name[size_t(i)] = c;
  }
  return name;
}

bool ValidChunkType(uint32_t type) {
  for (int i = 0; i < 4; ++i) {
    const char c = char(type >> (24 - 8 * i));
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return false;
  }
  return true;
}

uint32_t ChunkCrc(uint32_t type, const uint8_t* data, size_t length) {
  uint8_t typeBytes[4];
  PutBe32(typeBytes, type);
  const uLong crc = crc32(0L, typeBytes, 4);
  // zlib counts in 32 bits (chunk data never exceed 2^31 - 1 bytes), and takes a null
  // buffer as a request for the initial value.
  return length ? uint32_t(crc32(crc, data, uInt(length))) : uint32_t(crc);
}

// ---- Chunk reader --------------------------------------------------------------------

struct TChunk {
  uint32_t Type = 0;
  std::vector<uint8_t> Data;
};

class TChunkReader {
 public:
  explicit TChunkReader(TStream& stream) : stream_(stream) {}

  // The next chunk whose CRC holds (ancillary chunks with a bad one are skipped); false
  // when the data end between chunks.
  bool Next(TChunk& chunk) {
    for (;;) {
      uint8_t head[kChunkHeaderSize];
      const int64_t n = stream_.Read(head, sizeof(head));
      if (n == 0) return false;
      if (n != int64_t(sizeof(head)))
        throw EImagingError("The data end inside a chunk header. File may be corrupted.");
      const uint32_t length = GetBe32(head);
      const uint32_t type = GetBe32(head + 4);
      if (!ValidChunkType(type))
        throw EImagingError(FormatText("Invalid chunk type %02X %02X %02X %02X.", head[4], head[5],
                                       head[6], head[7]));
      const std::string name = ChunkName(type);
      // Checked against the bytes left before anything is allocated.
      const int64_t left = stream_.Size() - stream_.Tell();
      if (length > kMaxChunkLength || int64_t(length) + int64_t(kChunkCrcSize) > left)
        throw EImagingError(FormatText(kChunkEndsEarly, name.c_str()));
      chunk.Data.resize(length);
      uint8_t crcBytes[kChunkCrcSize];
      if (stream_.Read(chunk.Data.data(), length) != int64_t(length) ||
          stream_.Read(crcBytes, sizeof(crcBytes)) != int64_t(sizeof(crcBytes)))
        throw EImagingError(FormatText(kChunkEndsEarly, name.c_str()));
      if (ChunkCrc(type, chunk.Data.data(), length) != GetBe32(crcBytes)) {
        if (IsCritical(type))
          throw EImagingError(
              FormatText("CRC error in %s chunk. File may be corrupted.", name.c_str()));
        continue;
      }
      chunk.Type = type;
      return true;
    }
  }

 private:
  TStream& stream_;
};

void ExpectSignature(TStream& stream, const uint8_t (&signature)[kSignatureSize]) {
  uint8_t bytes[kSignatureSize];
  stream.ReadExact(bytes, sizeof(bytes), "the file signature");
  if (std::memcmp(bytes, signature, sizeof(bytes)) != 0)
    throw EImagingError("The file signature is not valid.");
}

bool SignatureAt(TIOHandle& handle, const uint8_t (&signature)[kSignatureSize]) {
  uint8_t bytes[kSignatureSize];
  const int64_t start = handle.Tell();
  const int64_t n = handle.Read(bytes, sizeof(bytes));
  handle.Seek(start, TSeekOrigin::Begin);
  return n == int64_t(sizeof(bytes)) && std::memcmp(bytes, signature, sizeof(bytes)) == 0;
}

// ---- Embedded images as chunks -------------------------------------------------------

// A palette chunk's entries (R, G, B), as far as the file gives them.
struct TPaletteData {
  bool Present = false;
  std::vector<uint8_t> Rgb;
  std::vector<uint8_t> Alpha;  // tRNS of an indexed image
};

struct TPngChunks {
  TPngHeader Header;
  TPaletteData Palette;
  std::optional<std::vector<uint8_t>> Transparency;
  std::optional<std::vector<uint8_t>> Background;
  std::vector<uint8_t> Idat;
};

struct TJngChunks {
  TJngHeader Header;
  std::vector<uint8_t> Jdat;
  std::vector<uint8_t> Jdaa;
  std::vector<uint8_t> Idat;
};

TPngHeader ParsePngHeader(const TChunk& chunk) {
  if (chunk.Data.size() < TPngHeader::kSize)
    throw EImagingError(FormatText(kChunkEndsEarly, "IHDR"));
  const uint8_t* p = chunk.Data.data();
  TPngHeader h;
  h.Width = GetBe32(p);
  h.Height = GetBe32(p + 4);
  h.BitDepth = p[8];
  h.ColorType = p[9];
  h.Compression = p[10];
  h.Filter = p[11];
  h.Interlace = p[12];
  return h;
}

TJngHeader ParseJngHeader(const TChunk& chunk) {
  if (chunk.Data.size() < TJngHeader::kSize)
    throw EImagingError(FormatText(kChunkEndsEarly, "JHDR"));
  const uint8_t* p = chunk.Data.data();
  TJngHeader h;
  h.Width = GetBe32(p);
  h.Height = GetBe32(p + 4);
  h.ColorType = p[8];
  h.SampleDepth = p[9];
  h.Compression = p[10];
  h.Interlace = p[11];
  h.AlphaSampleDepth = p[12];
  h.AlphaCompression = p[13];
  h.AlphaFilter = p[14];
  h.AlphaInterlace = p[15];
  return h;
}

void Append(std::vector<uint8_t>& to, const std::vector<uint8_t>& data) {
  to.insert(to.end(), data.begin(), data.end());
}

// Reads the chunks after an IHDR up to IEND (a file that ends cleanly without IEND is
// accepted). globalPalette is an MNG's own palette, used by images with an empty PLTE.
TPngChunks ReadPngChunks(TChunkReader& reader, const TChunk& ihdr,
                         const TPaletteData* globalPalette) {
  TPngChunks png;
  png.Header = ParsePngHeader(ihdr);
  TChunk chunk;
  while (reader.Next(chunk)) {
    if (chunk.Type == kIEND) break;
    if (chunk.Type == kIHDR) throw EImagingError("The PNG image has a second IHDR chunk.");
    if (chunk.Type == kIDAT) {
      Append(png.Idat, chunk.Data);
    } else if (chunk.Type == kPLTE && png.Idat.empty()) {
      if (chunk.Data.empty() && globalPalette && globalPalette->Present) {
        png.Palette.Present = true;
        png.Palette.Rgb = globalPalette->Rgb;
        if (png.Palette.Alpha.empty()) png.Palette.Alpha = globalPalette->Alpha;
        continue;
      }
      if (chunk.Data.size() % 3 != 0 || chunk.Data.size() > 256 * 3 || chunk.Data.empty())
        throw EImagingError(
            FormatText("The PLTE chunk has an invalid length of %zu bytes.", chunk.Data.size()));
      png.Palette.Present = true;
      png.Palette.Rgb = chunk.Data;
    } else if (chunk.Type == kTRNS && png.Idat.empty()) {
      png.Transparency = chunk.Data;
    } else if (chunk.Type == kBKGD && png.Idat.empty()) {
      png.Background = chunk.Data;
    }
  }
  if (png.Idat.empty()) throw EImagingError("The PNG image has no IDAT chunk.");
  return png;
}

TJngChunks ReadJngChunks(TChunkReader& reader, const TChunk& jhdr) {
  TJngChunks jng;
  jng.Header = ParseJngHeader(jhdr);
  bool separated = false;
  TChunk chunk;
  while (reader.Next(chunk)) {
    if (chunk.Type == kIEND) break;
    if (chunk.Type == kJHDR) throw EImagingError("The JNG image has a second JHDR chunk.");
    if (chunk.Type == kJSEP) separated = true;
    // With sample depth 20 only the 8-bit data before JSEP are used.
    if (chunk.Type == kJDAT && !separated) Append(jng.Jdat, chunk.Data);
    if (chunk.Type == kJDAA) Append(jng.Jdaa, chunk.Data);
    if (chunk.Type == kIDAT) Append(jng.Idat, chunk.Data);
  }
  return jng;
}

// ---- Rows ----------------------------------------------------------------------------

uint8_t PaethPredictor(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a);
  const int pb = std::abs(p - b);
  const int pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return uint8_t(a);
  if (pb <= pc) return uint8_t(b);
  return uint8_t(c);
}

// Undoes one row's filter in place; prior is the previous unfiltered row of the pass
// (zeros for the first).
void Unfilter(int filter, uint8_t* row, const uint8_t* prior, size_t length, size_t bpp) {
  switch (filter) {
    case kFilterNone:
      break;
    case kFilterSub:
      for (size_t i = bpp; i < length; ++i) row[i] = uint8_t(row[i] + row[i - bpp]);
      break;
    case kFilterUp:
      for (size_t i = 0; i < length; ++i) row[i] = uint8_t(row[i] + prior[i]);
      break;
    case kFilterAverage:
      for (size_t i = 0; i < bpp && i < length; ++i) row[i] = uint8_t(row[i] + prior[i] / 2);
      for (size_t i = bpp; i < length; ++i)
        row[i] = uint8_t(row[i] + (int(row[i - bpp]) + int(prior[i])) / 2);
      break;
    case kFilterPaeth:
      for (size_t i = 0; i < bpp && i < length; ++i) row[i] = uint8_t(row[i] + prior[i]);
      for (size_t i = bpp; i < length; ++i)
        row[i] = uint8_t(row[i] + PaethPredictor(row[i - bpp], prior[i], prior[i - bpp]));
      break;
    default:
      throw EImagingError(FormatText("Invalid row filter type %d.", filter));
  }
}

// Filters one row into out (length bytes); prior is the previous raw row (zeros first).
void FilterRow(int filter, const uint8_t* row, const uint8_t* prior, size_t length, size_t bpp,
               uint8_t* out) {
  for (size_t i = 0; i < length; ++i) {
    const int a = i >= bpp ? row[i - bpp] : 0;
    const int b = prior[i];
    const int c = i >= bpp ? prior[i - bpp] : 0;
    int predicted = 0;
    switch (filter) {
      case kFilterSub:
        predicted = a;
        break;
      case kFilterUp:
        predicted = b;
        break;
      case kFilterAverage:
        predicted = (a + b) / 2;
        break;
      case kFilterPaeth:
        predicted = PaethPredictor(a, b, c);
        break;
      default:
        break;
    }
    out[i] = uint8_t(row[i] - predicted);
  }
}

struct TPass {
  int X0, Y0, DX, DY;
};
constexpr TPass kAdam7[7] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                             {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
constexpr TPass kSinglePass = {0, 0, 1, 1};

int64_t PassExtent(int64_t size, int start, int step) {
  return size > start ? (size - start + step - 1) / step : 0;
}

int ChannelsOf(uint8_t colorType) {
  switch (colorType) {
    case kColorGray:
    case kColorIndexed:
      return 1;
    case kColorGrayAlpha:
      return 2;
    case kColorRgb:
      return 3;
    case kColorRgba:
      return 4;
    default:
      return 0;
  }
}

bool ValidBitDepth(uint8_t colorType, uint8_t depth) {
  switch (colorType) {
    case kColorGray:
      return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case kColorIndexed:
      return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case kColorRgb:
    case kColorGrayAlpha:
    case kColorRgba:
      return depth == 8 || depth == 16;
    default:
      return false;
  }
}

void CheckDimensions(uint32_t width, uint32_t height, const char* what) {
  if (width == 0 || height == 0 || width > kMaxChunkLength || height > kMaxChunkLength)
    throw EImagingError(FormatText("The %s image size %ux%u is not valid.", what, width, height));
  if (int64_t(width) * int64_t(height) > kMaxImagePixels)
    throw EImagingError(FormatText("The %s image of %ux%u pixels exceeds the limit of %" PRId64
                                   " pixels.",
                                   what, width, height, kMaxImagePixels));
}

// Refuses a claim of rawSize inflated bytes that compressed bytes cannot back.
void CheckInflateClaim(int64_t rawSize, size_t compressed, const char* what) {
  if (rawSize > int64_t(compressed) * kMaxInflateRatio + kInflateSlack)
    throw EImagingError(FormatText("%zu bytes of %s data cannot inflate to the %" PRId64
                                   " bytes the header declares.",
                                   compressed, what, rawSize));
}

// Where the rows of a PNG-coded image go: the image's format, and for gray and color images
// with a tRNS key the key (in file sample values) and what its pixels become.
struct TRowTarget {
  uint8_t ColorType = 0;
  uint8_t Depth = 0;
  int OutBytes = 0;  // bytes per pixel of the image
  bool Keyed = false;
  uint16_t Key[3] = {};          // gray, or R, G, B
  uint16_t Replacement[3] = {};  // scaled to the image's sample size
};

// Reads sample i of a row of 1-, 2-, 4- or 8-bit samples.
inline int PackedSample(const uint8_t* row, int64_t i, int depth) {
  if (depth == 8) return row[i];
  const int64_t bit = i * depth;
  return (row[bit >> 3] >> (8 - depth - int(bit & 7))) & ((1 << depth) - 1);
}

// Writes count pixels of a row (file layout) to dst, step bytes apart.
void ExpandRow(const TRowTarget& t, const uint8_t* row, int64_t count, uint8_t* dst, int64_t step) {
  const int depth = t.Depth;
  switch (t.ColorType) {
    case kColorIndexed:
      for (int64_t i = 0; i < count; ++i, dst += step)
        dst[0] = uint8_t(PackedSample(row, i, depth));
      break;
    case kColorGray:
      if (depth == 16) {
        for (int64_t i = 0; i < count; ++i, dst += step) {
          const uint16_t g = GetBe16(row + 2 * i);
          if (!t.Keyed) {
            Put16(dst, g);
          } else if (g == t.Key[0]) {
            Put16(dst, t.Replacement[0]);
            Put16(dst + 2, 0);
          } else {
            Put16(dst, g);
            Put16(dst + 2, 0xFFFF);
          }
        }
      } else {
        const int scale = 255 / ((1 << depth) - 1);
        for (int64_t i = 0; i < count; ++i, dst += step) {
          const int s = PackedSample(row, i, depth);
          if (!t.Keyed) {
            dst[0] = uint8_t(s * scale);
          } else if (s == t.Key[0]) {
            dst[0] = uint8_t(t.Replacement[0]);
            dst[1] = 0;
          } else {
            dst[0] = uint8_t(s * scale);
            dst[1] = 0xFF;
          }
        }
      }
      break;
    case kColorGrayAlpha:
      if (depth == 16) {
        for (int64_t i = 0; i < count; ++i, dst += step) {
          Put16(dst, GetBe16(row + 4 * i));
          Put16(dst + 2, GetBe16(row + 4 * i + 2));
        }
      } else {
        for (int64_t i = 0; i < count; ++i, dst += step) {
          dst[0] = row[2 * i];
          dst[1] = row[2 * i + 1];
        }
      }
      break;
    case kColorRgb:
      if (depth == 16) {
        for (int64_t i = 0; i < count; ++i, dst += step) {
          const uint8_t* p = row + 6 * i;
          const uint16_t r = GetBe16(p), g = GetBe16(p + 2), b = GetBe16(p + 4);
          const bool key = t.Keyed && r == t.Key[0] && g == t.Key[1] && b == t.Key[2];
          if (key) {
            Put16(dst, t.Replacement[2]);
            Put16(dst + 2, t.Replacement[1]);
            Put16(dst + 4, t.Replacement[0]);
            Put16(dst + 6, 0);
          } else {
            Put16(dst, b);
            Put16(dst + 2, g);
            Put16(dst + 4, r);
            if (t.Keyed) Put16(dst + 6, 0xFFFF);
          }
        }
      } else {
        for (int64_t i = 0; i < count; ++i, dst += step) {
          const uint8_t* p = row + 3 * i;
          const bool key = t.Keyed && p[0] == t.Key[0] && p[1] == t.Key[1] && p[2] == t.Key[2];
          if (key) {
            dst[0] = uint8_t(t.Replacement[2]);
            dst[1] = uint8_t(t.Replacement[1]);
            dst[2] = uint8_t(t.Replacement[0]);
            dst[3] = 0;
          } else {
            dst[0] = p[2];
            dst[1] = p[1];
            dst[2] = p[0];
            if (t.Keyed) dst[3] = 0xFF;
          }
        }
      }
      break;
    case kColorRgba:
      if (depth == 16) {
        for (int64_t i = 0; i < count; ++i, dst += step) {
          const uint8_t* p = row + 8 * i;
          Put16(dst, GetBe16(p + 4));
          Put16(dst + 2, GetBe16(p + 2));
          Put16(dst + 4, GetBe16(p));
          Put16(dst + 6, GetBe16(p + 6));
        }
      } else {
        for (int64_t i = 0; i < count; ++i, dst += step) {
          const uint8_t* p = row + 4 * i;
          dst[0] = p[2];
          dst[1] = p[1];
          dst[2] = p[0];
          dst[3] = p[3];
        }
      }
      break;
    default:
      break;
  }
}

// MNG's intrapixel differencing stores red and blue minus green; adding green back, modulo
// the sample range, restores them.
void UndoIntrapixel(uint8_t* row, int64_t count, int channels, int depth) {
  if (depth == 16) {
    for (int64_t i = 0; i < count; ++i) {
      uint8_t* p = row + i * channels * 2;
      const uint32_t g = GetBe16(p + 2);
      PutBe16(p, (GetBe16(p) + g) & 0xFFFF);
      PutBe16(p + 4, (GetBe16(p + 4) + g) & 0xFFFF);
    }
  } else {
    for (int64_t i = 0; i < count; ++i) {
      uint8_t* p = row + i * channels;
      p[0] = uint8_t(p[0] + p[1]);
      p[2] = uint8_t(p[2] + p[1]);
    }
  }
}

// Bytes of the filtered rows (each with its filter byte) of all passes.
int64_t RawRowsSize(int64_t width, int64_t height, int bitsPerPixel, bool interlaced) {
  int64_t size = 0;
  for (int p = 0; p < (interlaced ? 7 : 1); ++p) {
    const TPass& pass = interlaced ? kAdam7[p] : kSinglePass;
    const int64_t w = PassExtent(width, pass.X0, pass.DX);
    const int64_t h = PassExtent(height, pass.Y0, pass.DY);
    if (w > 0 && h > 0) size += h * (1 + (w * bitsPerPixel + 7) / 8);
  }
  return size;
}

// Inflates and unfilters the rows of a PNG-coded image and hands each to store(pass, y in
// pass, row, pixels in row).
template <class Store>
void DecodeRows(const std::vector<uint8_t>& idat, int64_t width, int64_t height, int channels,
                int depth, bool interlaced, bool intrapixel, TLoadBudget& budget, Store&& store) {
  const int bitsPerPixel = channels * depth;
  const size_t bpp = size_t(std::max(1, bitsPerPixel / 8));
  const int passes = interlaced ? 7 : 1;
  const int64_t rawSize = RawRowsSize(width, height, bitsPerPixel, interlaced);
  CheckInflateClaim(rawSize, idat.size(), "IDAT");
  budget.Take(rawSize);
  std::vector<uint8_t> raw(static_cast<size_t>(rawSize));
  InflateExact(idat, raw, "IDAT");

  uint8_t* at = raw.data();
  std::vector<uint8_t> zeros;
  for (int p = 0; p < passes; ++p) {
    const TPass& pass = interlaced ? kAdam7[p] : kSinglePass;
    const int64_t w = PassExtent(width, pass.X0, pass.DX);
    const int64_t h = PassExtent(height, pass.Y0, pass.DY);
    if (w == 0 || h == 0) continue;
    const size_t rowBytes = size_t((w * bitsPerPixel + 7) / 8);
    zeros.assign(rowBytes, 0);
    const uint8_t* prior = zeros.data();
    for (int64_t y = 0; y < h; ++y) {
      uint8_t* row = at + 1;
      Unfilter(at[0], row, prior, rowBytes, bpp);
      prior = row;
      at += rowBytes + 1;
    }
    // Intrapixel differencing applies to the unfiltered rows, so it is undone after every
    // row of the pass has served as the prior of the next.
    at -= int64_t(h) * int64_t(rowBytes + 1);
    for (int64_t y = 0; y < h; ++y) {
      uint8_t* row = at + 1;
      if (intrapixel) UndoIntrapixel(row, w, channels, depth);
      store(pass, y, row, w);
      at += rowBytes + 1;
    }
  }
}

TImageData DecodePng(const TPngChunks& png, TLoadBudget& budget, bool inMng) {
  const TPngHeader& h = png.Header;
  CheckDimensions(h.Width, h.Height, "PNG");
  const int channels = ChannelsOf(h.ColorType);
  if (channels == 0)
    throw EImagingError(FormatText("The PNG color type %d is not valid.", h.ColorType));
  if (!ValidBitDepth(h.ColorType, h.BitDepth))
    throw EImagingError(FormatText("The PNG bit depth %d is not valid for color type %d.",
                                   h.BitDepth, h.ColorType));
  if (h.Compression != 0)
    throw EImagingError(FormatText("The PNG compression method %d is not known.", h.Compression));
  const bool intrapixel = inMng && h.Filter == kFilterIntrapixel &&
                          (h.ColorType == kColorRgb || h.ColorType == kColorRgba);
  if (h.Filter != 0 && !intrapixel)
    throw EImagingError(FormatText("The PNG filter method %d is not known.", h.Filter));
  if (h.Interlace > 1)
    throw EImagingError(FormatText("The PNG interlace method %d is not known.", h.Interlace));
  if (h.ColorType == kColorIndexed && !png.Palette.Present)
    throw EImagingError("The indexed PNG image has no PLTE chunk.");

  TRowTarget target;
  target.ColorType = h.ColorType;
  target.Depth = h.BitDepth;
  const bool sixteen = h.BitDepth == 16;
  F format = F::Unknown;
  switch (h.ColorType) {
    case kColorGray:
      format = sixteen ? F::Gray16 : F::Gray8;
      break;
    case kColorRgb:
      format = sixteen ? F::R16G16B16 : F::R8G8B8;
      break;
    case kColorIndexed:
      format = F::Index8;
      break;
    case kColorGrayAlpha:
      format = sixteen ? F::A16Gray16 : F::A8Gray8;
      break;
    default:
      format = sixteen ? F::A16R16G16B16 : F::A8R8G8B8;
      break;
  }

  // A color key turns gray and color images into their alpha twins.
  const std::vector<uint8_t>* trns = png.Transparency ? &*png.Transparency : nullptr;
  const std::vector<uint8_t>* bkgd = png.Background ? &*png.Background : nullptr;
  const int keyChannels = h.ColorType == kColorGray ? 1 : h.ColorType == kColorRgb ? 3 : 0;
  if (keyChannels > 0 && trns && trns->size() >= size_t(2 * keyChannels)) {
    target.Keyed = true;
    format = format == F::Gray8    ? F::A8Gray8
             : format == F::Gray16 ? F::A16Gray16
             : format == F::R8G8B8 ? F::A8R8G8B8
                                   : F::A16R16G16B16;
    const bool haveBackground = bkgd && bkgd->size() >= size_t(2 * keyChannels);
    const int scale = sixteen ? 1 : 255 / ((1 << h.BitDepth) - 1);
    const uint16_t sampleMax = uint16_t(sixteen ? 0xFFFF : (1 << h.BitDepth) - 1);
    for (int c = 0; c < keyChannels; ++c) {
      target.Key[c] = GetBe16(trns->data() + 2 * c);
      const uint16_t source = haveBackground ? GetBe16(bkgd->data() + 2 * c) : target.Key[c];
      target.Replacement[c] = uint16_t(std::min(source, sampleMax) * scale);
    }
  }

  const TFormatDescriptor& d = *GetFormatDescriptor(format);
  target.OutBytes = d.BytesPerPixel;
  const int64_t imageBytes = int64_t(h.Width) * h.Height * d.BytesPerPixel;
  // The rows are checked against the compressed data before the image is allocated.
  CheckInflateClaim(RawRowsSize(h.Width, h.Height, channels * h.BitDepth, h.Interlace == 1),
                    png.Idat.size(), "IDAT");
  budget.Take(imageBytes);
  TImageData image;
  if (!ImageCreate(int32_t(h.Width), int32_t(h.Height), format, image))
    throw EImagingError(FormatText("Cannot create a %ux%u PNG image.", h.Width, h.Height));

  if (format == F::Index8) {
    TPixel32* palette = image.palette();
    std::fill_n(palette, 256, TPixel32::FromColor(0xFFFFFFFF));
    const std::vector<uint8_t>& rgb = png.Palette.Rgb;
    for (size_t i = 0; i < rgb.size() / 3; ++i)
      palette[i] = {rgb[3 * i + 2], rgb[3 * i + 1], rgb[3 * i], 255};
    const std::vector<uint8_t>& alpha = trns ? *trns : png.Palette.Alpha;
    for (size_t i = 0; i < alpha.size() && i < 256; ++i) palette[i].A = alpha[i];
  }

  const int64_t stride = int64_t(h.Width) * d.BytesPerPixel;
  uint8_t* bits = image.bits();
  DecodeRows(png.Idat, h.Width, h.Height, channels, h.BitDepth, h.Interlace == 1, intrapixel,
             budget, [&](const TPass& pass, int64_t y, const uint8_t* row, int64_t count) {
               uint8_t* dst = bits + (pass.Y0 + y * pass.DY) * stride + pass.X0 * d.BytesPerPixel;
               ExpandRow(target, row, count, dst, int64_t(pass.DX) * d.BytesPerPixel);
             });
  return image;
}

// ---- JNG reading -----------------------------------------------------------------------

// The frame size of JPEG data, from its first start-of-frame marker; false when the data
// end before one.
bool JpegFrameSize(const std::vector<uint8_t>& data, uint32_t& width, uint32_t& height) {
  size_t at = 2;  // after the start-of-image marker
  while (at + 4 <= data.size()) {
    if (data[at] != 0xFF) return false;
    const uint8_t marker = data[at + 1];
    if (marker == 0xFF) {  // fill byte
      ++at;
      continue;
    }
    const size_t length = GetBe16(&data[at + 2]);
    // Every start of frame but DHT (C4), JPG (C8) and DAC (CC).
    const bool frame =
        marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame) {
      if (at + 9 > data.size()) return false;
      height = GetBe16(&data[at + 5]);
      width = GetBe16(&data[at + 7]);
      return true;
    }
    at += 2 + length;
  }
  return false;
}

// Decodes JPEG data that must show a width x height image; a different frame size is
// refused before the JPEG decoder allocates anything for it.
TImageData DecodeJpegData(const std::vector<uint8_t>& data, uint32_t width, uint32_t height,
                          const char* what) {
  uint32_t frameWidth = 0, frameHeight = 0;
  if (JpegFrameSize(data, frameWidth, frameHeight) &&
      (frameWidth != width || frameHeight != height))
    throw EImagingError(
        FormatText("The JNG %s data of %ux%u pixels differ from the %ux%u "
                   "pixels of the JHDR chunk.",
                   what, frameWidth, frameHeight, width, height));
  TMemoryBlockStream stream(data.data(), int64_t(data.size()));
  TIOHandle handle = TStreamIO::OpenRead(stream);
  TCustomIOJpegFileFormat jpeg;
  jpeg.SetCustomIO(&stream);
  TDynImageDataArray images;
  if (!jpeg.ReadImages(handle, images, true) || images.empty())
    throw EImagingError(FormatText("The %s data hold no JPEG image.", what));
  return std::move(images[0]);
}

// The 8-bit alpha plane of a JNG image.
std::vector<uint8_t> DecodeJngAlpha(const TJngChunks& jng, TLoadBudget& budget) {
  const TJngHeader& h = jng.Header;
  const size_t pixels = size_t(h.Width) * h.Height;
  std::vector<uint8_t> alpha(pixels, 0xFF);
  if (h.AlphaCompression == kJngJpeg) {
    if (jng.Jdaa.empty()) throw EImagingError("The JNG image has no JDAA chunk.");
    TImageData plane = DecodeJpegData(jng.Jdaa, h.Width, h.Height, "JDAA");
    if (uint32_t(plane.Width) != h.Width || uint32_t(plane.Height) != h.Height)
      throw EImagingError("The JNG alpha image differs in size from the color image.");
    ImageConvert(plane, F::Gray8);
    std::memcpy(alpha.data(), plane.bits(), pixels);
    return alpha;
  }
  // PNG-coded alpha: rows of a gray image of the alpha sample depth.
  if (jng.Idat.empty()) throw EImagingError("The JNG image has no IDAT chunk for its alpha.");
  const int depth = h.AlphaSampleDepth;
  const int scale = depth >= 8 ? 1 : 255 / ((1 << depth) - 1);
  DecodeRows(jng.Idat, h.Width, h.Height, 1, depth, false, false, budget,
             [&](const TPass&, int64_t y, const uint8_t* row, int64_t count) {
               uint8_t* dst = alpha.data() + y * int64_t(h.Width);
               for (int64_t x = 0; x < count; ++x)
                 dst[x] = depth == 16 ? row[2 * x] : uint8_t(PackedSample(row, x, depth) * scale);
             });
  return alpha;
}

TImageData DecodeJng(const TJngChunks& jng, TLoadBudget& budget) {
  const TJngHeader& h = jng.Header;
  CheckDimensions(h.Width, h.Height, "JNG");
  const bool gray = h.ColorType == kJngGray || h.ColorType == kJngGrayAlpha;
  const bool alpha = h.ColorType == kJngGrayAlpha || h.ColorType == kJngColorAlpha;
  if (!gray && h.ColorType != kJngColor && h.ColorType != kJngColorAlpha)
    throw EImagingError(FormatText("The JNG color type %d is not valid.", h.ColorType));
  if (h.SampleDepth != 8 && h.SampleDepth != 12 && h.SampleDepth != 20)
    throw EImagingError(FormatText("The JNG sample depth %d is not valid.", h.SampleDepth));
  if (h.Compression != kJngJpeg)
    throw EImagingError(FormatText("The JNG compression method %d is not known.", h.Compression));
  if (alpha) {
    const int d = h.AlphaSampleDepth;
    const bool jpegAlpha = h.AlphaCompression == kJngJpeg;
    if (h.AlphaCompression != 0 && !jpegAlpha)
      throw EImagingError(
          FormatText("The JNG alpha compression method %d is not known.", h.AlphaCompression));
    if (jpegAlpha ? d != 8 : (d != 1 && d != 2 && d != 4 && d != 8 && d != 16))
      throw EImagingError(FormatText("The JNG alpha sample depth %d is not valid.", d));
    if (!jpegAlpha && (h.AlphaFilter != 0 || h.AlphaInterlace != 0))
      throw EImagingError("The JNG alpha filter or interlace method is not known.");
  }

  const int64_t pixels = int64_t(h.Width) * h.Height;
  budget.Take(pixels * 4);
  TImageData image;
  if (h.SampleDepth == 12) {
    // 12-bit samples are not decoded: the color stays zero.
    if (!ImageCreate(int32_t(h.Width), int32_t(h.Height), F::R8G8B8, image))
      throw EImagingError("Cannot create the JNG image.");
  } else {
    if (jng.Jdat.empty()) throw EImagingError("The JNG image has no JDAT chunk.");
    image = DecodeJpegData(jng.Jdat, h.Width, h.Height, "JDAT");
    if (uint32_t(image.Width) != h.Width || uint32_t(image.Height) != h.Height)
      throw EImagingError(
          FormatText("The JNG JPEG data of %dx%d pixels differ from the %ux%u "
                     "pixels of the JHDR chunk.",
                     image.Width, image.Height, h.Width, h.Height));
    ImageConvert(image, gray ? F::Gray8 : F::R8G8B8);
  }
  if (!alpha) return image;

  const std::vector<uint8_t> plane = DecodeJngAlpha(jng, budget);
  const bool grayImage = image.Format == F::Gray8;
  ImageConvert(image, grayImage ? F::A8Gray8 : F::A8R8G8B8);
  const int bytes = grayImage ? 2 : 4;
  uint8_t* bits = image.bits();
  for (int64_t i = 0; i < pixels; ++i) bits[i * bytes + bytes - 1] = plane[size_t(i)];
  return image;
}

// ---- Writing -----------------------------------------------------------------------------

struct TWriteOptions {
  int PreFilter = kDefaultPngPreFilter;
  int CompressLevel = kDefaultPngCompressLevel;
  bool LossyCompression = false;
  bool LossyAlpha = false;
  int Quality = kDefaultNgQuality;
  bool Progressive = false;
};

void PutChunk(TStream& stream, uint32_t type, const uint8_t* data, size_t length) {
  uint8_t head[kChunkHeaderSize];
  PutBe32(head, uint32_t(length));
  PutBe32(head + 4, type);
  stream.WriteExact(head, sizeof(head));
  if (length) stream.WriteExact(data, int64_t(length));
  uint8_t crc[kChunkCrcSize];
  PutBe32(crc, ChunkCrc(type, data, length));
  stream.WriteExact(crc, sizeof(crc));
}

void PutChunk(TStream& stream, uint32_t type, const std::vector<uint8_t>& data) {
  PutChunk(stream, type, data.data(), data.size());
}

// Image data of any size: a chunk holds at most 2^31 - 1 bytes, so data beyond that
// (images of several GiB) continue in further chunks of the same type.
void PutDataChunks(TStream& stream, uint32_t type, const std::vector<uint8_t>& data) {
  size_t done = 0;
  do {
    const size_t n = std::min<size_t>(data.size() - done, kMaxChunkLength);
    PutChunk(stream, type, data.data() + done, n);
    done += n;
  } while (done < data.size());
}

struct TPngLayout {
  uint8_t ColorType = 0;
  uint8_t BitDepth = 8;
};

TPngLayout PngLayoutOf(const TFormatDescriptor& d) {
  if (d.IsIndexed) return {kColorIndexed, 8};
  const uint8_t depth = uint8_t(8 * d.BytesPerPixel / d.Channels);
  if (d.IsGray) return {d.HasAlpha ? kColorGrayAlpha : kColorGray, depth};
  return {d.HasAlpha ? kColorRgba : kColorRgb, depth};
}

// One image row in file layout: red first, 16-bit samples big-endian.
void SerializeRow(const TFormatDescriptor& d, const uint8_t* src, int64_t width, uint8_t* out) {
  const int channels = d.Channels;
  const bool color = !d.IsGray && !d.IsIndexed;
  if (d.BytesPerPixel == channels) {
    if (!color) {
      std::memcpy(out, src, size_t(width * channels));
      return;
    }
    for (int64_t i = 0; i < width; ++i, src += channels, out += channels) {
      out[0] = src[2];
      out[1] = src[1];
      out[2] = src[0];
      if (channels == 4) out[3] = src[3];
    }
    return;
  }
  // 16-bit words; the engine stores blue first unless the format is red-blue swapped.
  const bool swap = color && !d.RedBlueSwapped;
  for (int64_t i = 0; i < width; ++i, src += 2 * channels, out += 2 * channels) {
    for (int c = 0; c < channels; ++c) {
      const int from = swap && c < 3 ? 2 - c : c;
      PutBe16(out + 2 * c, Get16(src + 2 * from));
    }
  }
}

int RowFilterFor(int preFilter, const TPngLayout& layout) {
  if (preFilter >= kFilterNone && preFilter <= kFilterPaeth) return preFilter;
  if (preFilter == kFilterAdaptive)
    return layout.BitDepth >= 8 && layout.ColorType != kColorIndexed ? kFilterAdaptive
                                                                     : kFilterNone;
  return layout.ColorType == kColorRgb || layout.ColorType == kColorRgba ? kFilterPaeth
                                                                         : kFilterNone;
}

// Filters rows (height rows of rowBytes each, produced by row(y, out)) into one buffer
// with a filter byte before each row.
template <class Row>
std::vector<uint8_t> FilteredRows(int64_t height, size_t rowBytes, size_t bpp, int filter,
                                  Row&& row) {
  std::vector<uint8_t> out(size_t(height) * (rowBytes + 1));
  std::vector<uint8_t> current(rowBytes), prior(rowBytes, 0);
  std::vector<uint8_t> trial(filter == kFilterAdaptive ? rowBytes : 0);
  uint8_t* at = out.data();
  for (int64_t y = 0; y < height; ++y) {
    row(y, current.data());
    int chosen = filter;
    if (filter == kFilterAdaptive) {
      // Least sum of absolute differences, the usual heuristic.
      uint64_t best = UINT64_MAX;
      for (int f = kFilterNone; f <= kFilterPaeth; ++f) {
        FilterRow(f, current.data(), prior.data(), rowBytes, bpp, trial.data());
        uint64_t sum = 0;
        for (size_t i = 0; i < rowBytes; ++i) sum += uint64_t(std::abs(int(int8_t(trial[i]))));
        if (sum < best) best = sum, chosen = f;
      }
    }
    at[0] = uint8_t(chosen);
    FilterRow(chosen, current.data(), prior.data(), rowBytes, bpp, at + 1);
    at += rowBytes + 1;
    std::swap(current, prior);
  }
  return out;
}

void WritePng(TStream& stream, const TImageData& image, const TWriteOptions& options) {
  const TFormatDescriptor& d = *GetFormatDescriptor(image.Format);
  const TPngLayout layout = PngLayoutOf(d);
  uint8_t ihdr[TPngHeader::kSize];
  PutBe32(ihdr, uint32_t(image.Width));
  PutBe32(ihdr + 4, uint32_t(image.Height));
  ihdr[8] = layout.BitDepth;
  ihdr[9] = layout.ColorType;
  ihdr[10] = 0;
  ihdr[11] = 0;
  ihdr[12] = 0;
  PutChunk(stream, kIHDR, ihdr, sizeof(ihdr));

  if (d.IsIndexed) {
    const TPixel32* palette = image.palette();
    std::vector<uint8_t> plte(256 * 3), trns(256);
    bool translucent = false;
    for (int i = 0; i < 256; ++i) {
      plte[size_t(3 * i)] = palette[i].R;
      plte[size_t(3 * i + 1)] = palette[i].G;
      plte[size_t(3 * i + 2)] = palette[i].B;
      trns[size_t(i)] = palette[i].A;
      translucent |= palette[i].A != 255;
    }
    PutChunk(stream, kPLTE, plte);
    if (translucent) PutChunk(stream, kTRNS, trns);
  }

  const size_t rowBytes = size_t(image.Width) * size_t(d.BytesPerPixel);
  const size_t bpp = size_t(d.BytesPerPixel);
  const uint8_t* bits = image.bits();
  const std::vector<uint8_t> rows =
      FilteredRows(image.Height, rowBytes, bpp, RowFilterFor(options.PreFilter, layout),
                   [&](int64_t y, uint8_t* out) {
                     SerializeRow(d, bits + y * int64_t(rowBytes), image.Width, out);
                   });
  PutDataChunks(stream, kIDAT, DeflateZlib(rows, options.CompressLevel));
  PutChunk(stream, kIEND, nullptr, 0);
}

std::vector<uint8_t> EncodeJpegData(const TImageData& image, int quality, bool progressive) {
  TMemoryStream stream;
  TIOHandle handle = TStreamIO::OpenWrite(stream);
  TCustomIOJpegFileFormat jpeg;
  jpeg.SetCustomIO(&stream);
  jpeg.Quality.store(quality);
  jpeg.Progressive.store(progressive ? 1 : 0);
  const TSaveSelection selection;
  if (!jpeg.WriteImages(handle, TImageSpan(&image, 1), selection))
    throw EImagingError("Cannot encode the JNG JPEG data.");
  return stream.Data();
}

// Writes an image of Gray8, A8Gray8, R8G8B8 or A8R8G8B8 as JHDR, JDAT, alpha, IEND.
void WriteJng(TStream& stream, const TImageData& image, const TWriteOptions& options) {
  const bool gray = image.Format == F::Gray8 || image.Format == F::A8Gray8;
  const bool alpha = image.Format == F::A8Gray8 || image.Format == F::A8R8G8B8;
  uint8_t jhdr[TJngHeader::kSize];
  PutBe32(jhdr, uint32_t(image.Width));
  PutBe32(jhdr + 4, uint32_t(image.Height));
  jhdr[8] = gray ? (alpha ? kJngGrayAlpha : kJngGray) : (alpha ? kJngColorAlpha : kJngColor);
  jhdr[9] = 8;
  jhdr[10] = kJngJpeg;
  jhdr[11] = options.Progressive ? kJngProgressive : 0;
  jhdr[12] = alpha ? 8 : 0;
  jhdr[13] = alpha && options.LossyAlpha ? kJngJpeg : 0;
  jhdr[14] = 0;
  jhdr[15] = 0;

  // Everything is coded before the first byte is written.
  std::vector<uint8_t> jdat;
  std::vector<uint8_t> alphaData;
  if (!alpha) {
    jdat = EncodeJpegData(image, options.Quality, options.Progressive);
  } else {
    TImageData color;
    ImageClone(image, color);
    ImageConvert(color, gray ? F::Gray8 : F::R8G8B8);
    jdat = EncodeJpegData(color, options.Quality, options.Progressive);
    TImageData plane;
    if (!ImageCreate(image.Width, image.Height, F::Gray8, plane))
      throw EImagingError("Cannot create the JNG alpha plane.");
    const int bytes = gray ? 2 : 4;
    const int64_t pixels = int64_t(image.Width) * image.Height;
    for (int64_t i = 0; i < pixels; ++i) plane.bits()[i] = image.bits()[i * bytes + bytes - 1];
    if (options.LossyAlpha) {
      alphaData = EncodeJpegData(plane, options.Quality, false);
    } else {
      const size_t rowBytes = size_t(image.Width);
      const std::vector<uint8_t> rows =
          FilteredRows(image.Height, rowBytes, 1, RowFilterFor(options.PreFilter, {kColorGray, 8}),
                       [&](int64_t y, uint8_t* out) {
                         std::memcpy(out, plane.bits() + y * int64_t(rowBytes), rowBytes);
                       });
      alphaData = DeflateZlib(rows, options.CompressLevel);
    }
  }
  PutChunk(stream, kJHDR, jhdr, sizeof(jhdr));
  PutDataChunks(stream, kJDAT, jdat);
  if (alpha) PutDataChunks(stream, options.LossyAlpha ? kJDAA : kIDAT, alphaData);
  PutChunk(stream, kIEND, nullptr, 0);
}

TImageFormatSet PngWritableFormats() {
  TImageFormatSet set;
  for (F f : {F::Index8, F::Gray8, F::A8Gray8, F::Gray16, F::A16Gray16, F::R8G8B8, F::A8R8G8B8,
              F::R16G16B16, F::A16R16G16B16, F::B16G16R16, F::A16B16G16R16})
    set.set(size_t(f));
  return set;
}

TImageFormatSet JngWritableFormats() {
  TImageFormatSet set;
  for (F f : {F::Gray8, F::A8Gray8, F::R8G8B8, F::A8R8G8B8}) set.set(size_t(f));
  return set;
}

F PngTargetFormat(const TFormatDescriptor& d) {
  if (d.IsIndexed) return F::Index8;
  const bool wide = !d.IsCompressed && !d.UsesPackedLayout &&
                    (d.IsFloat || d.BytesPerPixel / std::max(1, d.Channels) >= 2);
  if (d.IsGray) {
    if (d.HasAlpha) return wide ? F::A16Gray16 : F::A8Gray8;
    return wide ? F::Gray16 : F::Gray8;
  }
  if (d.HasAlpha) return wide ? F::A16R16G16B16 : F::A8R8G8B8;
  return wide ? F::R16G16B16 : F::R8G8B8;
}

F JngTargetFormat(const TFormatDescriptor& d) {
  // An indexed image may carry alpha in its palette.
  if (d.IsIndexed) return F::A8R8G8B8;
  if (d.IsGray) return d.HasAlpha ? F::A8Gray8 : F::Gray8;
  return d.HasAlpha ? F::A8R8G8B8 : F::R8G8B8;
}

}  // namespace

// ---- TNetworkGraphicsFileFormat -----------------------------------------------------------

void TNetworkGraphicsFileFormat::ValidateOptions() {
  const int32_t filter = PreFilter.load();
  if (filter < kFilterNone || filter > kFilterAdaptive) PreFilter.store(kFilterDefault);
  const int32_t level = CompressLevel.load();
  if (level < 0 || level > 9) CompressLevel.store(kDefaultPngCompressLevel);
  const int32_t quality = Quality.load();
  if (quality < 1 || quality > 100) Quality.store(kDefaultNgQuality);
}

namespace {

TWriteOptions OptionsOf(const TNetworkGraphicsFileFormat& f) {
  TWriteOptions o;
  o.PreFilter = f.PreFilter.load();
  o.CompressLevel = f.CompressLevel.load();
  o.LossyCompression = f.LossyCompression.load() != 0;
  o.LossyAlpha = f.LossyAlpha.load() != 0;
  o.Quality = f.Quality.load();
  o.Progressive = f.Progressive.load() != 0;
  // Values are read once; a concurrent change may still slip past ValidateOptions.
  if (o.PreFilter < kFilterNone || o.PreFilter > kFilterAdaptive) o.PreFilter = kFilterDefault;
  if (o.CompressLevel < 0 || o.CompressLevel > 9) o.CompressLevel = kDefaultPngCompressLevel;
  if (o.Quality < 1 || o.Quality > 100) o.Quality = kDefaultNgQuality;
  return o;
}

}  // namespace

// ---- TPNGFileFormat -------------------------------------------------------------------------

TPNGFileFormat::TPNGFileFormat() {
  Name = "Portable Network Graphics";
  CanRead = true;
  CanWrite = true;
  WritableFormatSet = PngWritableFormats();
  AddMasks("*.png");
  BindOption(kOptionPngPreFilter, PreFilter);
  BindOption(kOptionPngCompressLevel, CompressLevel);
}

bool TPNGFileFormat::TestContent(TIOHandle& handle) {
  return SignatureAt(handle, kPngSignature);
}

bool TPNGFileFormat::ReadImages(TIOHandle& handle, TDynImageDataArray& images, bool) {
  TStream& stream = handle.Stream();
  ExpectSignature(stream, kPngSignature);
  TChunkReader reader(stream);
  TChunk chunk;
  if (!reader.Next(chunk) || chunk.Type != kIHDR)
    throw EImagingError("The PNG file does not start with an IHDR chunk.");
  TLoadBudget budget;
  const TPngChunks png = ReadPngChunks(reader, chunk, nullptr);
  images.push_back(DecodePng(png, budget, false));
  return true;
}

void TPNGFileFormat::ConvertForWriting(TImageData& image,
                                       const TFormatDescriptor& sourceDescriptor) const {
  ImageConvert(image, PngTargetFormat(sourceDescriptor));
}

bool TPNGFileFormat::WriteImages(TIOHandle& handle, TImageSpan images,
                                 const TSaveSelection& selection) {
  const TWritableImage writable = MakeWritableCopy(images[size_t(selection.SaveFirst)]);
  if (!writable) return false;
  TStream& stream = handle.Stream();
  stream.WriteExact(kPngSignature, sizeof(kPngSignature));
  WritePng(stream, writable.Image(), OptionsOf(*this));
  return true;
}

// ---- TMNGFileFormat -------------------------------------------------------------------------

TMNGFileFormat::TMNGFileFormat() {
  Name = "Multiple Network Graphics";
  CanRead = true;
  CanWrite = true;
  MultiImage = true;
  WritableFormatSet = PngWritableFormats();
  AddMasks("*.mng");
  BindOption(kOptionMngLossyCompression, LossyCompression);
  BindOption(kOptionMngLossyAlpha, LossyAlpha);
  BindOption(kOptionMngPreFilter, PreFilter);
  BindOption(kOptionMngCompressLevel, CompressLevel);
  BindOption(kOptionMngQuality, Quality);
  BindOption(kOptionMngProgressive, Progressive);
}

TImageFormatSet TMNGFileFormat::WritableFormats() const {
  return LossyCompression.load() != 0 ? JngWritableFormats() : WritableFormatSet;
}

bool TMNGFileFormat::TestContent(TIOHandle& handle) {
  return SignatureAt(handle, kMngSignature);
}

bool TMNGFileFormat::ReadImages(TIOHandle& handle, TDynImageDataArray& images, bool onlyFirst) {
  TStream& stream = handle.Stream();
  ExpectSignature(stream, kMngSignature);
  TChunkReader reader(stream);
  TChunk chunk;
  if (!reader.Next(chunk) || chunk.Type != kMHDR)
    throw EImagingError("The MNG file does not start with an MHDR chunk.");
  if (chunk.Data.size() < TMngHeader::kSize)
    throw EImagingError(FormatText(kChunkEndsEarly, "MHDR"));
  const uint32_t frameWidth = GetBe32(chunk.Data.data());
  const uint32_t frameHeight = GetBe32(chunk.Data.data() + 4);

  TLoadBudget budget;
  TPaletteData globalPalette;
  TDynImageDataArray result;
  while (reader.Next(chunk)) {
    if (chunk.Type == kMEND) break;
    if (chunk.Type == kIHDR) {
      const TPngChunks png = ReadPngChunks(reader, chunk, &globalPalette);
      result.push_back(DecodePng(png, budget, true));
    } else if (chunk.Type == kJHDR) {
      const TJngChunks jng = ReadJngChunks(reader, chunk);
      result.push_back(DecodeJng(jng, budget));
    } else if (chunk.Type == kPLTE) {
      globalPalette.Present = !chunk.Data.empty();
      globalPalette.Rgb.assign(
          chunk.Data.begin(),
          chunk.Data.begin() + ptrdiff_t(std::min<size_t>(chunk.Data.size() / 3 * 3, 256 * 3)));
    } else if (chunk.Type == kTRNS) {
      globalPalette.Alpha = chunk.Data;
    }
    if (onlyFirst && !result.empty()) break;
  }
  if (result.empty()) {
    // A file without images still gives its (empty) frame.
    CheckDimensions(frameWidth, frameHeight, "MNG frame");
    TImageData empty;
    budget.Take(int64_t(frameWidth) * frameHeight * 4);
    if (!ImageCreate(int32_t(frameWidth), int32_t(frameHeight), F::A8R8G8B8, empty))
      throw EImagingError("Cannot create the MNG frame image.");
    result.push_back(std::move(empty));
  }
  images = std::move(result);
  return true;
}

void TMNGFileFormat::ConvertForWriting(TImageData& image,
                                       const TFormatDescriptor& sourceDescriptor) const {
  ImageConvert(image, LossyCompression.load() != 0 ? JngTargetFormat(sourceDescriptor)
                                                   : PngTargetFormat(sourceDescriptor));
}

bool TMNGFileFormat::WriteImages(TIOHandle& handle, TImageSpan images,
                                 const TSaveSelection& selection) {
  const TWriteOptions options = OptionsOf(*this);
  uint32_t width = 0;
  uint32_t height = 0;
  for (int32_t i = selection.SaveFirst; i <= selection.SaveLast; ++i) {
    width = std::max(width, uint32_t(images[size_t(i)].Width));
    height = std::max(height, uint32_t(images[size_t(i)].Height));
  }
  // Every image is made writable before the first byte goes out, so a failed conversion
  // leaves the target untouched.
  std::vector<TWritableImage> writables;
  for (int32_t i = selection.SaveFirst; i <= selection.SaveLast; ++i) {
    writables.push_back(MakeWritableCopy(images[size_t(i)]));
    if (!writables.back()) return false;
  }

  TStream& stream = handle.Stream();
  stream.WriteExact(kMngSignature, sizeof(kMngSignature));
  uint8_t mhdr[TMngHeader::kSize] = {};
  PutBe32(mhdr, width);
  PutBe32(mhdr + 4, height);
  PutBe32(mhdr + 16, uint32_t(writables.size()));
  PutBe32(mhdr + 24, kWriteSimplicityProfile);
  PutChunk(stream, kMHDR, mhdr, sizeof(mhdr));
  for (const TWritableImage& w : writables) {
    if (options.LossyCompression)
      WriteJng(stream, w.Image(), options);
    else
      WritePng(stream, w.Image(), options);
  }
  PutChunk(stream, kMEND, nullptr, 0);
  return true;
}

// ---- TJNGFileFormat -------------------------------------------------------------------------

TJNGFileFormat::TJNGFileFormat() {
  Name = "JPEG Network Graphics";
  CanRead = true;
  CanWrite = true;
  WritableFormatSet = JngWritableFormats();
  LossyCompression.store(1);
  AddMasks("*.jng");
  BindOption(kOptionJngLossyAlpha, LossyAlpha);
  BindOption(kOptionJngPreFilter, PreFilter);
  BindOption(kOptionJngCompressLevel, CompressLevel);
  BindOption(kOptionJngQuality, Quality);
  BindOption(kOptionJngProgressive, Progressive);
}

bool TJNGFileFormat::TestContent(TIOHandle& handle) {
  return SignatureAt(handle, kJngSignature);
}

bool TJNGFileFormat::ReadImages(TIOHandle& handle, TDynImageDataArray& images, bool) {
  TStream& stream = handle.Stream();
  ExpectSignature(stream, kJngSignature);
  TChunkReader reader(stream);
  TChunk chunk;
  if (!reader.Next(chunk) || chunk.Type != kJHDR)
    throw EImagingError("The JNG file does not start with a JHDR chunk.");
  TLoadBudget budget;
  const TJngChunks jng = ReadJngChunks(reader, chunk);
  images.push_back(DecodeJng(jng, budget));
  return true;
}

void TJNGFileFormat::ConvertForWriting(TImageData& image,
                                       const TFormatDescriptor& sourceDescriptor) const {
  ImageConvert(image, JngTargetFormat(sourceDescriptor));
}

bool TJNGFileFormat::WriteImages(TIOHandle& handle, TImageSpan images,
                                 const TSaveSelection& selection) {
  const TWritableImage writable = MakeWritableCopy(images[size_t(selection.SaveFirst)]);
  if (!writable) return false;
  TStream& stream = handle.Stream();
  TWriteOptions options = OptionsOf(*this);
  options.LossyCompression = true;
  // Coded into memory first, so that a failure leaves the target empty.
  TMemoryStream coded;
  coded.WriteExact(kJngSignature, sizeof(kJngSignature));
  WriteJng(coded, writable.Image(), options);
  stream.WriteExact(coded.Data().data(), int64_t(coded.Data().size()));
  return true;
}

}  // namespace pixolan::imaging
