#include "imaging/formats/BitmapFormat.h"

#include <algorithm>
#include <bit>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "imaging/formats/BitmapFormatPrivate.h"
#include "imaging/image/ByteOrder.h"
#include "imaging/image/Errors.h"
#include "imaging/image/Imaging.h"

namespace pixolan::imaging {
namespace {

using F = TImageFormatId;

enum class TCoding { Rgb, Rle8, Rle4, Rle24, BitFields };

// The fields of every header version, normalised; offsets relative to the file's start.
struct THeader {
  uint32_t HeaderSize = 0;
  int32_t Width = 0;
  int32_t Height = 0;  // absolute value
  bool TopDown = false;
  uint32_t BitCount = 0;
  TCoding Coding = TCoding::Rgb;
  uint32_t Masks[4] = {};  // red, green, blue, alpha
  int64_t PaletteStart = 0;
  int32_t PaletteEntries = 0;
  int32_t EntrySize = 4;
  int64_t PixelOffset = 0;
};

bool IsOS2v2HeaderSize(uint32_t size) {
  return size >= bmp::kOS2MinHeaderSize && size <= bmp::kOS2MaxHeaderSize && size % 4 == 0 &&
         size != bmp::kInfoHeaderSize && size != bmp::kV2HeaderSize && size != bmp::kV3HeaderSize;
}

bool IsKnownHeaderSize(uint32_t size) {
  return size == bmp::kCoreHeaderSize || size == bmp::kInfoHeaderSize ||
         size == bmp::kV2HeaderSize || size == bmp::kV3HeaderSize || size == bmp::kV4HeaderSize ||
         size == bmp::kV5HeaderSize || IsOS2v2HeaderSize(size);
}

// Reads the file header, the info header and the masks that may follow it, and checks
// every field the decoder relies on. `fileSize` counts from the file's start.
THeader ReadHeader(TStream& stream, int64_t fileSize) {
  uint8_t fileHeader[bmp::kFileHeaderSize];
  stream.ReadExact(fileHeader, sizeof(fileHeader), "the bitmap file header");
  if (fileHeader[0] != 'B' || fileHeader[1] != 'M') RaiseImagingFormat("No bitmap signature.");
  THeader h;
  h.PixelOffset = Get32(fileHeader + bmp::kPixelOffsetOffset);

  uint8_t info[bmp::kV5HeaderSize] = {};
  stream.ReadExact(info, 4, "the bitmap info header");
  h.HeaderSize = Get32(info);
  if (!IsKnownHeaderSize(h.HeaderSize))
    RaiseImagingFormat("Bitmap info header of %u bytes belongs to no known bitmap version.",
                       h.HeaderSize);
  stream.ReadExact(info + 4, h.HeaderSize - 4, "the bitmap info header");

  const bool core = h.HeaderSize == bmp::kCoreHeaderSize;
  uint32_t compression = bmp::kBiRgb;
  uint32_t colorsUsed = 0;
  int64_t height = 0;
  if (core) {
    h.Width = Get16(info + bmp::kCoreWidth);
    height = Get16(info + bmp::kCoreHeight);
    h.BitCount = Get16(info + bmp::kCoreBitCount);
  } else {
    h.Width = int32_t(Get32(info + bmp::kInfoWidth));
    height = int32_t(Get32(info + bmp::kInfoHeight));
    h.BitCount = Get16(info + bmp::kInfoBitCount);
    compression = Get32(info + bmp::kInfoCompression);
    colorsUsed = Get32(info + bmp::kInfoClrUsed);
  }
  if (h.Width <= 0) RaiseImagingFormat("Invalid bitmap width %d.", h.Width);
  if (height == 0) RaiseImagingFormat("Invalid bitmap height 0.");
  h.TopDown = height < 0;
  // INT32_MIN has no positive counterpart; it is far beyond any image anyway.
  if (height < -int64_t(INT32_MAX))
    RaiseImagingFormat("Invalid bitmap height %lld.", (long long)height);
  h.Height = int32_t(height < 0 ? -height : height);

  const bool os2v2 = IsOS2v2HeaderSize(h.HeaderSize);
  switch (h.BitCount) {
    case 0:  // the bit count of embedded JPEG and PNG data
      if (!os2v2 && compression == bmp::kBiJpeg)
        RaiseImagingFormat("Bitmaps with embedded JPEG data are not supported.");
      if (!os2v2 && compression == bmp::kBiPng)
        RaiseImagingFormat("Bitmaps with embedded PNG data are not supported.");
      RaiseImagingFormat("Invalid bitmap bit count 0.");
    case 1:
    case 2:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
      break;
    case 64:
      RaiseImagingFormat("64-bit bitmaps are not supported.");
    default:
      RaiseImagingFormat("Invalid bitmap bit count %u.", h.BitCount);
  }

  // Where masks that follow a 40-byte header end: the color table starts there.
  int64_t maskBytes = 0;
  switch (compression) {
    case bmp::kBiRgb:
      h.Coding = TCoding::Rgb;
      break;
    case bmp::kBiRle8:
      if (h.BitCount != 8)
        RaiseImagingFormat("RLE8 compression needs 8 bits per pixel, not %u.", h.BitCount);
      h.Coding = TCoding::Rle8;
      break;
    case bmp::kBiRle4:
      if (h.BitCount != 4)
        RaiseImagingFormat("RLE4 compression needs 4 bits per pixel, not %u.", h.BitCount);
      h.Coding = TCoding::Rle4;
      break;
    case bmp::kBiBitFields:  // also kOS2Huffman1D
    case bmp::kBiAlphaBitFields: {
      if (os2v2) RaiseImagingFormat("OS/2 Huffman 1D compressed bitmaps are not supported.");
      if (h.BitCount < 16)
        RaiseImagingFormat("Bit field compression needs 16, 24 or 32 bits per pixel, not %u.",
                           h.BitCount);
      h.Coding = TCoding::BitFields;
      const bool withAlpha = compression == bmp::kBiAlphaBitFields;
      if (h.HeaderSize == bmp::kInfoHeaderSize) {
        maskBytes = withAlpha ? 16 : 12;
        stream.ReadExact(info + bmp::kInfoRedMask, maskBytes, "the bit field masks");
      }
      h.Masks[0] = Get32(info + bmp::kInfoRedMask);
      h.Masks[1] = Get32(info + bmp::kInfoGreenMask);
      h.Masks[2] = Get32(info + bmp::kInfoBlueMask);
      if (maskBytes == 16 || h.HeaderSize >= bmp::kV3HeaderSize)
        h.Masks[3] = Get32(info + bmp::kInfoAlphaMask);
      break;
    }
    case bmp::kBiJpeg:  // also kOS2Rle24
      if (!os2v2) RaiseImagingFormat("Bitmaps with embedded JPEG data are not supported.");
      if (h.BitCount != 24)
        RaiseImagingFormat("RLE24 compression needs 24 bits per pixel, not %u.", h.BitCount);
      h.Coding = TCoding::Rle24;
      break;
    case bmp::kBiPng:
      RaiseImagingFormat("Bitmaps with embedded PNG data are not supported.");
    default:
      RaiseImagingFormat("Unsupported bitmap compression %u.", compression);
  }

  h.PaletteStart = bmp::kFileHeaderSize + int64_t(h.HeaderSize) + maskBytes;
  if (h.PixelOffset < h.PaletteStart || h.PixelOffset > fileSize)
    RaiseImagingFormat(
        "Bitmap pixel data offset %lld lies outside the pixel data area (%lld..%lld).",
        (long long)h.PixelOffset, (long long)h.PaletteStart, (long long)fileSize);
  if (h.BitCount <= 8) {
    const int32_t maxEntries = 1 << h.BitCount;
    h.EntrySize = core ? 3 : 4;
    int64_t entries =
        core || colorsUsed == 0 ? maxEntries : std::min<int64_t>(colorsUsed, maxEntries);
    // Short tables are common (OS/2 files, writers that trust the color count); what lies
    // between the headers and the pixel data is all there is.
    entries = std::min<int64_t>(entries, (h.PixelOffset - h.PaletteStart) / h.EntrySize);
    if (entries <= 0)
      RaiseImagingFormat("Bitmap with %u bits per pixel has no color table.", h.BitCount);
    h.PaletteEntries = int32_t(entries);
  }
  return h;
}

// Channel extraction for bit-field masks that match no engine format.
struct TMaskChannel {
  uint32_t Mask = 0;
  int Shift = 0;
  uint64_t Max = 0;

  explicit TMaskChannel(uint32_t mask) : Mask(mask) {
    if (mask == 0) return;
    Shift = std::countr_zero(mask);
    Max = mask >> Shift;
    if ((Max & (Max + 1)) != 0)
      RaiseImagingFormat("Bit field mask 0x%08X is not contiguous.", mask);
  }
  // Scales to 8 bits with rounding, so that full scale stays full scale.
  uint8_t Extract(uint32_t pixel) const {
    if (Max == 0) return 0;
    return uint8_t((((pixel & Mask) >> Shift) * 255 + Max / 2) / Max);
  }
};

// Engine format whose memory layout is exactly the given masks, or Unknown.
F ExactFormat(uint32_t bitCount, const uint32_t* m) {
  struct TCandidate {
    uint32_t Bits;
    uint32_t R, G, B, A;
    F Format;
  };
  static constexpr TCandidate kCandidates[] = {
      {16, 0xF800, 0x07E0, 0x001F, 0, F::R5G6B5},
      {16, 0x7C00, 0x03E0, 0x001F, 0, F::X1R5G5B5},
      {16, 0x7C00, 0x03E0, 0x001F, 0x8000, F::A1R5G5B5},
      {16, 0x0F00, 0x00F0, 0x000F, 0, F::X4R4G4B4},
      {16, 0x0F00, 0x00F0, 0x000F, 0xF000, F::A4R4G4B4},
      {24, 0xFF0000, 0xFF00, 0xFF, 0, F::R8G8B8},
      {32, 0xFF0000, 0xFF00, 0xFF, 0, F::X8R8G8B8},
      {32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, F::A8R8G8B8},
  };
  for (const TCandidate& c : kCandidates)
    if (c.Bits == bitCount && c.R == m[0] && c.G == m[1] && c.B == m[2] && c.A == m[3])
      return c.Format;
  return F::Unknown;
}

uint32_t LoadPixel(const uint8_t* p, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | p[i];
  return v;
}

// Turns one stored row into one image row.
class TRowDecoder {
 public:
  TRowDecoder(const THeader& h, F format)
      : bits_(h.BitCount),
        format_(format),
        generic_(h.Coding == TCoding::BitFields && ExactFormat(h.BitCount, h.Masks) == F::Unknown),
        r_(h.Masks[0]),
        g_(h.Masks[1]),
        b_(h.Masks[2]),
        a_(h.Masks[3]) {}

  void Decode(const uint8_t* src, uint8_t* dst, int32_t width) const {
    if (bits_ < 8) {
      const uint32_t valueMask = (1u << bits_) - 1;
      for (int32_t x = 0; x < width; ++x) {
        const uint32_t bitPos = uint32_t(x) * bits_;
        const uint32_t shift = 8 - bits_ - bitPos % 8;
        dst[x] = uint8_t((src[bitPos / 8] >> shift) & valueMask);
      }
      return;
    }
    const int bytes = int(bits_ / 8);
    if (!generic_) {
      std::memcpy(dst, src, size_t(width) * bytes);
      if (format_ == F::X8R8G8B8)
        for (int32_t x = 0; x < width; ++x) dst[x * 4 + 3] = 0;
      return;
    }
    const int outBytes = format_ == F::R8G8B8 ? 3 : 4;
    for (int32_t x = 0; x < width; ++x) {
      const uint32_t v = LoadPixel(src + size_t(x) * bytes, bytes);
      uint8_t* o = dst + size_t(x) * outBytes;
      o[0] = b_.Extract(v);
      o[1] = g_.Extract(v);
      o[2] = r_.Extract(v);
      if (outBytes == 4) o[3] = a_.Extract(v);
    }
  }

 private:
  uint32_t bits_;
  F format_;
  bool generic_;
  TMaskChannel r_, g_, b_, a_;
};

// Pixel format of the loaded image before the alpha rules.
F ChooseFormat(const THeader& h) {
  if (h.BitCount <= 8) return F::Index8;
  if (h.Coding == TCoding::BitFields) {
    const F exact = ExactFormat(h.BitCount, h.Masks);
    if (exact != F::Unknown) return exact;
    if (h.Masks[3] != 0) return F::A8R8G8B8;
    return h.BitCount == 32 ? F::X8R8G8B8 : F::R8G8B8;
  }
  switch (h.BitCount) {
    case 16:
      return F::A1R5G5B5;
    case 24:
      return F::R8G8B8;
    default:
      return F::A8R8G8B8;
  }
}

void ReadUncompressed(TStream& stream, const THeader& h, TImageData& image, int64_t available) {
  const int64_t rowBits = int64_t(h.Width) * h.BitCount;
  const int64_t rowBytes = (rowBits + 31) / 32 * 4;
  // The last row's padding is sometimes left out; its pixels must be there.
  const int64_t lastRowBytes = (rowBits + 7) / 8;
  const int64_t needed = rowBytes * (h.Height - 1) + lastRowBytes;
  if (needed > available)
    RaiseImagingFormat("Bitmap pixel data is truncated: %lld bytes needed, %lld present.",
                       (long long)needed, (long long)available);
  if (!ImageCreate(h.Width, h.Height, ChooseFormat(h), image))
    RaiseImagingFormat("Cannot create a %dx%d image.", h.Width, h.Height);
  const TFormatDescriptor& d = *GetFormatDescriptor(image.Format);
  const TRowDecoder decoder(h, image.Format);
  std::vector<uint8_t> row(static_cast<size_t>(rowBytes));
  const size_t stride = size_t(h.Width) * d.BytesPerPixel;
  for (int32_t r = 0; r < h.Height; ++r) {
    stream.ReadExact(row.data(), r + 1 == h.Height ? lastRowBytes : rowBytes, "bitmap rows");
    const int32_t y = h.TopDown ? r : h.Height - 1 - r;
    decoder.Decode(row.data(), image.bits() + size_t(y) * stride, h.Width);
  }
}

// Decodes RLE4, RLE8 and OS/2 RLE24 data. Runs and literal blocks that reach past the end
// of a row are cut there; a delta or end of line past the last row ends the bitmap.
// Pixels the data never sets keep index 0 (black for RLE24).
void DecodeRunLength(const uint8_t* data, size_t size, const THeader& h, TImageData& image) {
  const int64_t w = h.Width, height = h.Height;
  const int64_t bpp = h.Coding == TCoding::Rle24 ? 3 : 1;
  int64_t x = 0, y = 0;  // y counts stored rows
  size_t pos = 0;
  const auto rowStart = [&]() {
    const int64_t imageRow = h.TopDown ? y : height - 1 - y;
    return image.bits() + size_t(imageRow * w * bpp);
  };
  const auto need = [&](size_t bytes) {
    if (size - pos < bytes)
      RaiseImagingFormat("Bitmap run-length data ends before the end of the bitmap.");
  };
  while (y < height) {
    need(2);
    const uint8_t first = data[pos++];
    if (first > 0) {
      // Encoded run of `first` pixels.
      const size_t valueBytes = size_t(bpp);
      need(h.Coding == TCoding::Rle24 ? valueBytes : 1);
      const uint8_t* value = data + pos;
      pos += h.Coding == TCoding::Rle24 ? valueBytes : 1;
      const int64_t n = std::min<int64_t>(first, w - x);
      uint8_t* row = rowStart();
      for (int64_t i = 0; i < n; ++i, ++x) {
        if (h.Coding == TCoding::Rle4)
          row[x] = uint8_t(i % 2 == 0 ? value[0] >> 4 : value[0] & 0x0F);
        else
          std::memcpy(row + x * bpp, value, size_t(bpp));
      }
      continue;
    }
    const uint8_t second = data[pos++];
    if (second == bmp::kRleEndOfLine) {
      x = 0;
      ++y;
    } else if (second == bmp::kRleEndOfBitmap) {
      return;
    } else if (second == bmp::kRleDelta) {
      need(2);
      x = std::min<int64_t>(x + data[pos], w);
      y += data[pos + 1];
      pos += 2;
    } else {
      // Literal block of `second` pixels, padded to a 16-bit boundary.
      const int64_t count = second;
      const size_t bytes = size_t(h.Coding == TCoding::Rle4 ? (count + 1) / 2 : count * bpp);
      need(bytes);
      const uint8_t* literal = data + pos;
      pos = std::min(size, pos + bytes + bytes % 2);
      const int64_t n = std::min<int64_t>(count, w - x);
      uint8_t* row = rowStart();
      for (int64_t i = 0; i < n; ++i, ++x) {
        if (h.Coding == TCoding::Rle4)
          row[x] = uint8_t(i % 2 == 0 ? literal[i / 2] >> 4 : literal[i / 2] & 0x0F);
        else
          std::memcpy(row + x * bpp, literal + i * bpp, size_t(bpp));
      }
    }
  }
}

void ReadRunLength(TStream& stream, const THeader& h, TImageData& image, int64_t available) {
  if (available < 2) RaiseImagingFormat("Bitmap run-length data is missing.");
  std::vector<uint8_t> data(static_cast<size_t>(available));
  stream.ReadExact(data.data(), available, "bitmap run-length data");
  if (!ImageCreate(h.Width, h.Height, ChooseFormat(h), image))
    RaiseImagingFormat("Cannot create a %dx%d image.", h.Width, h.Height);
  DecodeRunLength(data.data(), data.size(), h, image);
}

// Without an alpha mask the spare bit or byte is alpha only when some pixel uses it.
void ApplyAlphaRule(TImageData& image) {
  const size_t pixels = size_t(image.Width) * image.Height;
  const uint8_t* p = image.bits();
  if (image.Format == F::A1R5G5B5) {
    for (size_t i = 0; i < pixels; ++i)
      if (p[i * 2 + 1] & 0x80) return;
    image.Format = F::X1R5G5B5;
  } else if (image.Format == F::A8R8G8B8) {
    for (size_t i = 0; i < pixels; ++i)
      if (p[i * 4 + 3] != 0) return;
    image.Format = F::X8R8G8B8;
  }
}

// 8-bit run-length encoding of one image, bottom row first, buffered in 8192-byte blocks.
class TRle8Writer {
 public:
  explicit TRle8Writer(TIOHandle& handle) : handle_(handle) { buffer_.reserve(kBlock + 600); }

  void Row(const uint8_t* row, int32_t width) {
    int32_t pos = 0;
    while (pos < width) {
      int32_t run = 1;
      while (pos + run < width && run < 255 && row[pos + run] == row[pos]) ++run;
      int32_t literal = 0;
      if (run == 1) {
        // Bytes up to the next pair of equal bytes.
        while (pos + literal < width && literal < 255 &&
               !(pos + literal + 1 < width && row[pos + literal] == row[pos + literal + 1]))
          ++literal;
      }
      if (run > 1 || literal < 3) {
        Put(uint8_t(run));
        Put(row[pos]);
        pos += run;
      } else {
        Put(0);
        Put(uint8_t(literal));
        for (int32_t i = 0; i < literal; ++i) Put(row[pos + i]);
        if (literal % 2) Put(0);
        pos += literal;
      }
    }
    Put(0);
    Put(bmp::kRleEndOfLine);
  }

  void Finish() {
    Put(0);
    Put(bmp::kRleEndOfBitmap);
    Flush();
  }

 private:
  static constexpr size_t kBlock = 8192;

  void Put(uint8_t b) {
    buffer_.push_back(b);
    if (buffer_.size() >= kBlock) Flush();
  }
  void Flush() {
    handle_.Stream().WriteExact(buffer_.data(), int64_t(buffer_.size()));
    buffer_.clear();
  }

  TIOHandle& handle_;
  std::vector<uint8_t> buffer_;
};

}  // namespace

TBitmapFileFormat::TBitmapFileFormat() {
  Name = "Windows Bitmap Image";
  CanRead = true;
  CanWrite = true;
  MultiImage = false;
  for (F f : {F::Index8, F::R5G6B5, F::A1R5G5B5, F::A4R4G4B4, F::X1R5G5B5, F::X4R4G4B4, F::R8G8B8,
              F::A8R8G8B8, F::X8R8G8B8})
    WritableFormatSet.set(size_t(f));
  AddMasks("*.bmp,*.dib");
  BindOption(kOptionBitmapRLE, UseRLE);
}

bool TBitmapFileFormat::TestContent(TIOHandle& handle) {
  const int64_t start = handle.Tell();
  uint8_t header[bmp::kFileHeaderSize];
  const int64_t read = handle.Read(header, sizeof(header));
  handle.Seek(start, TSeekOrigin::Begin);
  return read == int64_t(sizeof(header)) && header[0] == 'B' && header[1] == 'M';
}

bool TBitmapFileFormat::ReadImages(TIOHandle& handle, TDynImageDataArray& images, bool) {
  TStream& stream = handle.Stream();
  const int64_t start = stream.Tell();
  const int64_t fileSize = stream.Size() - start;
  const THeader h = ReadHeader(stream, fileSize);

  TImageData image;
  TPixel32 palette[256] = {};
  if (h.PaletteEntries > 0) {
    std::vector<uint8_t> table(size_t(h.PaletteEntries) * h.EntrySize);
    stream.Seek(start + h.PaletteStart, TSeekOrigin::Begin);
    stream.ReadExact(table.data(), int64_t(table.size()), "the bitmap color table");
    for (int32_t i = 0; i < h.PaletteEntries; ++i) {
      const uint8_t* e = table.data() + size_t(i) * h.EntrySize;
      palette[i] = {e[0], e[1], e[2], 255};
    }
  }
  // Indices beyond a short table show as opaque black rather than as holes.
  for (int32_t i = h.PaletteEntries; i < 256; ++i) palette[i] = {0, 0, 0, 255};

  stream.Seek(start + h.PixelOffset, TSeekOrigin::Begin);
  const int64_t available = fileSize - h.PixelOffset;
  if (h.Coding == TCoding::Rle4 || h.Coding == TCoding::Rle8 || h.Coding == TCoding::Rle24)
    ReadRunLength(stream, h, image, available);
  else
    ReadUncompressed(stream, h, image, available);

  if (image.Format == F::Index8) std::copy(palette, palette + 256, image.palette());
  if (h.Coding != TCoding::BitFields) ApplyAlphaRule(image);
  images.push_back(std::move(image));
  return true;
}

void TBitmapFileFormat::ConvertForWriting(TImageData& image, const TFormatDescriptor& d) const {
  F target;
  if (d.IsFloat)
    target = d.HasAlpha ? F::A8R8G8B8 : F::R8G8B8;
  else if (d.IsGray || d.IsIndexed)
    target = d.HasAlpha ? F::A8R8G8B8 : F::Index8;
  else
    target = d.HasAlpha ? F::A8R8G8B8 : d.UsesPackedLayout ? F::X1R5G5B5 : F::R8G8B8;
  ImageConvert(image, target);
}

bool TBitmapFileFormat::WriteImages(TIOHandle& handle, TImageSpan images,
                                    const TSaveSelection& selection) {
  const TWritableImage writable = MakeWritableCopy(images[size_t(selection.SaveFirst)]);
  if (!writable) return false;
  const TImageData& image = writable.Image();
  const TFormatDescriptor& d = *GetFormatDescriptor(image.Format);
  const int32_t bpp = d.BytesPerPixel;
  const bool rle = bpp == 1 && UseRLE.load() != 0;
  const bool bitFields = bpp == 2 && (d.HasAlpha || image.Format != F::X1R5G5B5);
  const uint32_t headerSize = d.HasAlpha && bpp == 2 ? bmp::kV4HeaderSize : bmp::kInfoHeaderSize;

  TStream& stream = handle.Stream();
  const int64_t start = stream.Tell();
  uint8_t fileHeader[bmp::kFileHeaderSize] = {};
  stream.WriteExact(fileHeader, sizeof(fileHeader));

  std::vector<uint8_t> info(headerSize, 0);
  Put32(&info[0], headerSize);
  Put32(&info[bmp::kInfoWidth], uint32_t(image.Width));
  Put32(&info[bmp::kInfoHeight], uint32_t(image.Height));
  Put16(&info[bmp::kInfoPlanes], 1);
  Put16(&info[bmp::kInfoBitCount], uint32_t(8 * bpp));
  Put32(&info[bmp::kInfoCompression], rle         ? bmp::kBiRle8
                                      : bitFields ? bmp::kBiBitFields
                                                  : bmp::kBiRgb);
  Put32(&info[bmp::kInfoXPelsPerMeter], bmp::kPixelsPerMeter);
  Put32(&info[bmp::kInfoYPelsPerMeter], bmp::kPixelsPerMeter);
  uint8_t masks[16] = {};
  if (bitFields) {
    const TPackedLayout& l = *d.Layout;
    Put32(masks, l.R.Mask);
    Put32(masks + 4, l.G.Mask);
    Put32(masks + 8, l.B.Mask);
    Put32(masks + 12, l.A.Mask);
    if (headerSize == bmp::kV4HeaderSize) std::memcpy(&info[bmp::kInfoRedMask], masks, 16);
  }
  stream.WriteExact(info.data(), int64_t(info.size()));
  if (bitFields && headerSize == bmp::kInfoHeaderSize) stream.WriteExact(masks, 12);
  if (image.palette()) {
    std::vector<uint8_t> table(size_t(d.PaletteSize) * 4);
    for (int32_t i = 0; i < d.PaletteSize; ++i) {
      const TPixel32 e = image.palette()[i];
      const uint8_t entry[4] = {e.B, e.G, e.R, e.A};
      std::memcpy(&table[size_t(i) * 4], entry, 4);
    }
    stream.WriteExact(table.data(), int64_t(table.size()));
  }
  const int64_t pixelOffset = stream.Tell() - start;

  const size_t stride = size_t(image.Width) * bpp;
  if (rle) {
    TRle8Writer writer(handle);
    for (int32_t y = image.Height - 1; y >= 0; --y)
      writer.Row(image.bits() + size_t(y) * stride, image.Width);
    writer.Finish();
  } else {
    std::vector<uint8_t> row((stride + 3) / 4 * 4, 0);
    for (int32_t y = image.Height - 1; y >= 0; --y) {
      std::memcpy(row.data(), image.bits() + size_t(y) * stride, stride);
      // The spare bit or byte is read back as alpha when set; formats without alpha
      // must not leave anything there.
      if (image.Format == F::X8R8G8B8)
        for (int32_t x = 0; x < image.Width; ++x) row[size_t(x) * 4 + 3] = 0;
      else if (image.Format == F::X1R5G5B5)
        for (int32_t x = 0; x < image.Width; ++x) row[size_t(x) * 2 + 1] &= 0x7F;
      stream.WriteExact(row.data(), int64_t(row.size()));
    }
  }

  const int64_t end = stream.Tell();
  const int64_t fileSize = end - start;
  if (fileSize > int64_t(UINT32_MAX))
    RaiseImagingFormat("Bitmap of %lld bytes is too large.", (long long)fileSize);
  fileHeader[0] = 'B';
  fileHeader[1] = 'M';
  Put32(fileHeader + bmp::kFileSizeOffset, uint32_t(fileSize));
  Put32(fileHeader + bmp::kPixelOffsetOffset, uint32_t(pixelOffset));
  Put32(&info[bmp::kInfoImageSize], uint32_t(fileSize - pixelOffset));
  stream.Seek(start, TSeekOrigin::Begin);
  stream.WriteExact(fileHeader, sizeof(fileHeader));
  stream.WriteExact(info.data(), int64_t(info.size()));
  stream.Seek(end, TSeekOrigin::Begin);
  return true;
}

}  // namespace pixolan::imaging
