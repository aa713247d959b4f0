#include "imaging/formats/TargaFormat.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "imaging/formats/TargaFormatPrivate.h"
#include "imaging/image/ByteOrder.h"
#include "imaging/image/Errors.h"
#include "imaging/image/Imaging.h"

namespace pixolan::imaging {
namespace {

using F = TImageFormatId;

// What the alpha (attribute) bits of the pixels or map entries mean.
enum class TAlphaKind {
  Unknown,        // no extension area says: alpha counts when it is not zero everywhere
  None,           // no alpha: the bits are ignored
  Straight,       // alpha channel
  Premultiplied,  // alpha channel; colors are multiplied by it
};

TAlphaKind AlphaKindOf(std::optional<uint8_t> attributeType) {
  if (!attributeType) return TAlphaKind::Unknown;
  switch (*attributeType) {
    case tga::kAttributesNone:
    case tga::kAttributesIgnore:
    case tga::kAttributesRetain:
      return TAlphaKind::None;
    case tga::kAttributesAlpha:
      return TAlphaKind::Straight;
    case tga::kAttributesPremultiplied:
      return TAlphaKind::Premultiplied;
    default:
      return TAlphaKind::Unknown;
  }
}

// The attribute type of the version 2 extension area, when the file has a valid one.
std::optional<uint8_t> ReadAttributeType(TStream& stream, int64_t start, int64_t fileSize) {
  if (fileSize < tga::kHeaderSize + tga::kFooterSize) return std::nullopt;
  uint8_t footer[tga::kFooterSize];
  stream.Seek(start + fileSize - tga::kFooterSize, TSeekOrigin::Begin);
  stream.ReadExact(footer, sizeof(footer), "the TGA footer");
  if (std::memcmp(footer + tga::kSignatureOffset, tga::kFooterSignature,
                  sizeof(tga::kFooterSignature)) != 0)
    return std::nullopt;
  const int64_t offset = Get32(footer);
  if (offset < tga::kHeaderSize || offset + tga::kExtensionSize > fileSize - tga::kFooterSize)
    return std::nullopt;
  uint8_t extension[tga::kExtensionSize];
  stream.Seek(start + offset, TSeekOrigin::Begin);
  stream.ReadExact(extension, sizeof(extension), "the TGA extension area");
  if (Get16(extension) < tga::kExtensionSize) return std::nullopt;
  return extension[tga::kAttributeTypeOffset];
}

// 5-bit channels scale as the engine's packed formats do, so a color map entry and a
// 16-bit pixel of the same value give the same color.
uint8_t Scale5(uint32_t v) {
  return uint8_t((v & 31) * 255 / 31);
}

uint8_t Unpremultiply(uint8_t c, uint8_t a) {
  if (a == 0) return 0;
  return uint8_t(std::min<uint32_t>(255, (uint32_t(c) * 255 + a / 2) / a));
}

// Decodes the color map into a 256-entry palette; entries the map does not define are
// opaque black.
void BuildPalette(const uint8_t* map, uint32_t first, uint32_t length, uint32_t entryBits,
                  TAlphaKind alpha, TPixel32* palette) {
  std::fill(palette, palette + 256, TPixel32{0, 0, 0, 255});
  const uint32_t entryBytes = (entryBits + 7) / 8;
  const uint32_t end = std::min<uint32_t>(first + length, 256);
  bool anyAlpha = false;
  for (uint32_t index = first; index < end; ++index) {
    const uint8_t* e = map + size_t(index - first) * entryBytes;
    TPixel32 c;
    if (entryBits <= 16) {
      const uint32_t v = Get16(e);
      c = {Scale5(v), Scale5(v >> 5), Scale5(v >> 10),
           uint8_t(entryBits == 16 && (v & 0x8000) ? 255 : 0)};
      if (entryBits == 15) c.A = 255;
    } else {
      c = {e[0], e[1], e[2], uint8_t(entryBits == 32 ? e[3] : 255)};
    }
    if (entryBits == 16 || entryBits == 32) anyAlpha |= c.A != 0;
    palette[index] = c;
  }
  const bool hasAlphaBits = entryBits == 16 || entryBits == 32;
  for (uint32_t index = first; index < end; ++index) {
    TPixel32& c = palette[index];
    if (!hasAlphaBits || alpha == TAlphaKind::None || (alpha == TAlphaKind::Unknown && !anyAlpha))
      c.A = 255;
    else if (alpha == TAlphaKind::Premultiplied)
      c = {Unpremultiply(c.B, c.A), Unpremultiply(c.G, c.A), Unpremultiply(c.R, c.A), c.A};
  }
}

void DecodeRunLength(const uint8_t* data, size_t size, uint8_t* out, size_t pixels, size_t bpp) {
  size_t pos = 0;
  size_t filled = 0;
  const auto need = [&](size_t bytes) {
    if (size - pos < bytes) RaiseImagingFormat("TGA run-length data is truncated.");
  };
  while (filled < pixels) {
    need(1);
    const uint8_t header = data[pos++];
    const size_t count = size_t(header & 0x7F) + 1;
    // Packets may run on into the next row; one that runs past the last pixel is cut.
    const size_t take = std::min(count, pixels - filled);
    uint8_t* dst = out + filled * bpp;
    if (header & tga::kRunPacket) {
      need(bpp);
      for (size_t i = 0; i < take; ++i) std::memcpy(dst + i * bpp, data + pos, bpp);
      pos += bpp;
    } else {
      need(take * bpp);
      std::memcpy(dst, data + pos, take * bpp);
      pos += std::min(size - pos, count * bpp);
    }
    filled += take;
  }
}

// Stored rows run bottom to top unless the descriptor says otherwise, and pixels may run
// right to left: both are turned so that the image is upright.
void Reorient(TImageData& image, bool bottomUp, bool rightToLeft) {
  const size_t bpp = size_t(GetFormatDescriptor(image.Format)->BytesPerPixel);
  const size_t stride = size_t(image.Width) * bpp;
  uint8_t* bits = image.bits();
  if (bottomUp) {
    for (int32_t top = 0, bottom = image.Height - 1; top < bottom; ++top, --bottom)
      std::swap_ranges(bits + size_t(top) * stride, bits + size_t(top + 1) * stride,
                       bits + size_t(bottom) * stride);
  }
  if (rightToLeft) {
    for (int32_t y = 0; y < image.Height; ++y) {
      uint8_t* row = bits + size_t(y) * stride;
      for (int32_t l = 0, r = image.Width - 1; l < r; ++l, --r)
        std::swap_ranges(row + size_t(l) * bpp, row + size_t(l + 1) * bpp, row + size_t(r) * bpp);
    }
  }
}

// Applies the meaning of the alpha bits to a true-color or gray image.
void ApplyAlpha(TImageData& image, TAlphaKind alpha) {
  const size_t pixels = size_t(image.Width) * image.Height;
  uint8_t* p = image.bits();
  switch (image.Format) {
    case F::A1R5G5B5: {
      bool any = false;
      for (size_t i = 0; i < pixels && !any; ++i) any = (p[i * 2 + 1] & 0x80) != 0;
      if (alpha == TAlphaKind::None || (alpha == TAlphaKind::Unknown && !any))
        image.Format = F::X1R5G5B5;
      break;
    }
    case F::A8R8G8B8: {
      bool any = false;
      for (size_t i = 0; i < pixels && !any; ++i) any = p[i * 4 + 3] != 0;
      if (alpha == TAlphaKind::None || (alpha == TAlphaKind::Unknown && !any)) {
        for (size_t i = 0; i < pixels; ++i) p[i * 4 + 3] = 0;
        image.Format = F::X8R8G8B8;
      } else if (alpha == TAlphaKind::Premultiplied) {
        for (size_t i = 0; i < pixels; ++i)
          for (int c = 0; c < 3; ++c) p[i * 4 + c] = Unpremultiply(p[i * 4 + c], p[i * 4 + 3]);
      }
      break;
    }
    case F::A8Gray8: {
      bool any = false;
      for (size_t i = 0; i < pixels && !any; ++i) any = p[i * 2 + 1] != 0;
      if (alpha == TAlphaKind::None || (alpha == TAlphaKind::Unknown && !any)) {
        TImageData gray;
        ImageCreate(image.Width, image.Height, F::Gray8, gray);
        for (size_t i = 0; i < pixels; ++i) gray.bits()[i] = p[i * 2];
        image = std::move(gray);
      } else if (alpha == TAlphaKind::Premultiplied) {
        for (size_t i = 0; i < pixels; ++i) p[i * 2] = Unpremultiply(p[i * 2], p[i * 2 + 1]);
      }
      break;
    }
    default:
      break;
  }
}

F FormatOf(uint8_t kind, uint32_t depth) {
  switch (kind) {
    case tga::kColorMapped:
      if (depth == 8) return F::Index8;
      break;
    case tga::kTrueColor:
      if (depth == 15) return F::X1R5G5B5;
      if (depth == 16) return F::A1R5G5B5;
      if (depth == 24) return F::R8G8B8;
      if (depth == 32) return F::A8R8G8B8;
      break;
    case tga::kGray:
      if (depth == 8) return F::Gray8;
      if (depth == 16) return F::A8Gray8;
      break;
    default:
      break;
  }
  RaiseImagingFormat("Unsupported TGA pixel depth %u for image type %u.", depth, kind);
}

// Run-length encodes one row: runs of two or more equal pixels become run packets, the
// rest raw packets; packets never cross rows.
void EncodeRow(const uint8_t* row, int32_t width, size_t bpp, std::vector<uint8_t>& out) {
  const auto same = [&](int32_t a, int32_t b) {
    return std::memcmp(row + size_t(a) * bpp, row + size_t(b) * bpp, bpp) == 0;
  };
  int32_t pos = 0;
  while (pos < width) {
    int32_t run = 1;
    while (pos + run < width && run < tga::kMaxPacketPixels && same(pos, pos + run)) ++run;
    if (run >= 2) {
      out.push_back(uint8_t(tga::kRunPacket | (run - 1)));
      out.insert(out.end(), row + size_t(pos) * bpp, row + size_t(pos + 1) * bpp);
      pos += run;
      continue;
    }
    int32_t literal = 1;
    while (pos + literal < width && literal < tga::kMaxPacketPixels &&
           !(pos + literal + 1 < width && same(pos + literal, pos + literal + 1)))
      ++literal;
    out.push_back(uint8_t(literal - 1));
    out.insert(out.end(), row + size_t(pos) * bpp, row + size_t(pos + literal) * bpp);
    pos += literal;
  }
}

}  // namespace

TTargaFileFormat::TTargaFileFormat() {
  Name = "Truevision Targa Image";
  CanRead = true;
  CanWrite = true;
  MultiImage = false;
  for (F f : {F::Index8, F::Gray8, F::A1R5G5B5, F::R8G8B8, F::A8R8G8B8})
    WritableFormatSet.set(size_t(f));
  AddMasks("*.tga");
  BindOption(kOptionTargaRLE, UseRLE);
}

bool TTargaFileFormat::TestContent(TIOHandle& handle) {
  const int64_t start = handle.Tell();
  uint8_t h[tga::kHeaderSize];
  const int64_t read = handle.Read(h, sizeof(h));
  handle.Seek(start, TSeekOrigin::Begin);
  if (read != int64_t(sizeof(h))) return false;
  const uint8_t type = h[tga::kImageType];
  const uint8_t depth = h[tga::kPixelDepth];
  const uint8_t entry = h[tga::kColorMapEntrySize];
  // The header has no signature; these fields are all there is to tell it by.
  return h[tga::kColorMapType] <= 1 && (type <= 3 || (type >= 9 && type <= 11)) &&
         (depth == 1 || depth == 8 || depth == 15 || depth == 16 || depth == 24 || depth == 32) &&
         (entry == 0 || entry == 15 || entry == 16 || entry == 24 || entry == 32);
}

bool TTargaFileFormat::ReadImages(TIOHandle& handle, TDynImageDataArray& images, bool) {
  TStream& stream = handle.Stream();
  const int64_t start = stream.Tell();
  const int64_t fileSize = stream.Size() - start;
  uint8_t h[tga::kHeaderSize];
  stream.ReadExact(h, sizeof(h), "the TGA header");

  const uint8_t type = h[tga::kImageType];
  const uint8_t kind = type & ~tga::kRleFlag;
  const bool rle = (type & tga::kRleFlag) != 0;
  if (kind == tga::kNoImage)
    RaiseImagingFormat("TGA file holds no image data (image type %u).", type);
  if (kind > tga::kGray || (type & ~(tga::kRleFlag | 3)) != 0)
    RaiseImagingFormat("Unsupported TGA image type %u.", type);
  const uint8_t mapType = h[tga::kColorMapType];
  if (mapType > 1) RaiseImagingFormat("Invalid TGA color map type %u.", mapType);
  const int32_t width = Get16(h + tga::kWidth);
  const int32_t height = Get16(h + tga::kHeight);
  if (width == 0 || height == 0) RaiseImagingFormat("Invalid TGA image size %dx%d.", width, height);
  const uint32_t depth = h[tga::kPixelDepth];
  const F format = FormatOf(kind, depth);
  const uint32_t mapFirst = Get16(h + tga::kColorMapFirst);
  const uint32_t mapLength = mapType ? Get16(h + tga::kColorMapLength) : 0;
  const uint32_t entryBits = h[tga::kColorMapEntrySize];
  if (kind == tga::kColorMapped) {
    if (mapType != 1 || mapLength == 0)
      RaiseImagingFormat("Color-mapped TGA file without color map.");
    if (entryBits != 15 && entryBits != 16 && entryBits != 24 && entryBits != 32)
      RaiseImagingFormat("Unsupported TGA color map entry size %u.", entryBits);
  }

  const TAlphaKind alpha = AlphaKindOf(ReadAttributeType(stream, start, fileSize));

  // The image ID is skipped; a color map of a true-color or gray image is read past.
  const int64_t mapStart = tga::kHeaderSize + int64_t(h[tga::kIdLength]);
  const int64_t mapBytes = int64_t(mapLength) * ((entryBits + 7) / 8);
  const int64_t dataStart = mapStart + mapBytes;
  if (dataStart > fileSize) RaiseImagingFormat("TGA file is truncated before its pixel data.");
  std::vector<uint8_t> map;
  if (kind == tga::kColorMapped) {
    map.resize(size_t(mapBytes));
    stream.Seek(start + mapStart, TSeekOrigin::Begin);
    stream.ReadExact(map.data(), mapBytes, "the TGA color map");
  }

  const size_t bpp = size_t(GetFormatDescriptor(format)->BytesPerPixel);
  const int64_t pixels = int64_t(width) * height;
  const int64_t available = fileSize - dataStart;
  // Checked against the data before anything is allocated: raw data holds every pixel,
  // and no packet (at least 1 + bpp bytes) gives more than 128 pixels.
  if (rle ? pixels > available / int64_t(1 + bpp) * tga::kMaxPacketPixels
          : pixels * int64_t(bpp) > available)
    RaiseImagingFormat(
        "TGA pixel data is truncated: %dx%d pixels need more than the %lld bytes present.", width,
        height, (long long)available);

  TImageData image;
  if (!ImageCreate(width, height, format, image))
    RaiseImagingFormat("Cannot create a %dx%d image.", width, height);
  stream.Seek(start + dataStart, TSeekOrigin::Begin);
  if (rle) {
    // A valid stream never needs more than one header byte per pixel on top of the pixels.
    const int64_t limit = std::min<int64_t>(available, pixels * int64_t(bpp + 1));
    std::vector<uint8_t> data(static_cast<size_t>(limit));
    stream.ReadExact(data.data(), limit, "TGA run-length data");
    DecodeRunLength(data.data(), data.size(), image.bits(), size_t(pixels), bpp);
  } else {
    stream.ReadExact(image.bits(), pixels * int64_t(bpp), "TGA pixel data");
  }

  const uint8_t descriptor = h[tga::kDescriptor];
  Reorient(image, (descriptor & tga::kTopToBottom) == 0, (descriptor & tga::kRightToLeft) != 0);
  if (format == F::Index8)
    BuildPalette(map.data(), mapFirst, mapLength, entryBits, alpha, image.palette());
  else
    ApplyAlpha(image, alpha);
  images.push_back(std::move(image));
  return true;
}

void TTargaFileFormat::ConvertForWriting(TImageData& image, const TFormatDescriptor& d) const {
  F target;
  if (d.IsGray)
    target = d.HasAlpha ? F::A8R8G8B8 : F::Gray8;
  else if (d.IsIndexed)
    target = F::Index8;
  else if (d.HasAlpha)
    target = F::A8R8G8B8;
  else if (d.UsesPackedLayout)
    target = F::A1R5G5B5;
  else
    target = F::R8G8B8;
  ImageConvert(image, target);
}

bool TTargaFileFormat::WriteImages(TIOHandle& handle, TImageSpan images,
                                   const TSaveSelection& selection) {
  const TWritableImage writable = MakeWritableCopy(images[size_t(selection.SaveFirst)]);
  if (!writable) return false;
  const TImageData& image = writable.Image();
  if (image.Width > 0xFFFF || image.Height > 0xFFFF)
    RaiseImagingFormat("A %dx%d image is too large for a TGA file (at most 65535 pixels a side).",
                       image.Width, image.Height);
  const TFormatDescriptor& d = *GetFormatDescriptor(image.Format);
  const size_t bpp = size_t(d.BytesPerPixel);
  const bool rle = UseRLE.load() != 0;
  const bool palette = image.palette() != nullptr;

  uint8_t h[tga::kHeaderSize] = {};
  h[tga::kColorMapType] = palette ? 1 : 0;
  h[tga::kImageType] = uint8_t((d.IsIndexed ? tga::kColorMapped
                                : d.IsGray  ? tga::kGray
                                            : tga::kTrueColor) |
                               (rle ? tga::kRleFlag : 0));
  if (palette) {
    Put16(h + tga::kColorMapLength, uint32_t(d.PaletteSize));
    h[tga::kColorMapEntrySize] = 24;
  }
  Put16(h + tga::kWidth, uint32_t(image.Width));
  Put16(h + tga::kHeight, uint32_t(image.Height));
  h[tga::kPixelDepth] = uint8_t(8 * bpp);
  h[tga::kDescriptor] = uint8_t(tga::kTopToBottom | (image.Format == F::A8R8G8B8   ? 8
                                                     : image.Format == F::A1R5G5B5 ? 1
                                                                                   : 0));
  TStream& stream = handle.Stream();
  stream.WriteExact(h, sizeof(h));
  if (palette) {
    std::vector<uint8_t> map;
    map.reserve(size_t(d.PaletteSize) * 3);
    for (int32_t i = 0; i < d.PaletteSize; ++i) {
      const TPixel32 e = image.palette()[i];
      map.insert(map.end(), {e.B, e.G, e.R});
    }
    stream.WriteExact(map.data(), int64_t(map.size()));
  }
  const size_t stride = size_t(image.Width) * bpp;
  if (!rle) {
    stream.WriteExact(image.bits(), int64_t(stride) * image.Height);
    return true;
  }
  std::vector<uint8_t> out;
  for (int32_t y = 0; y < image.Height; ++y) {
    EncodeRow(image.bits() + size_t(y) * stride, image.Width, bpp, out);
    if (out.size() >= 8192 || y + 1 == image.Height) {
      stream.WriteExact(out.data(), int64_t(out.size()));
      out.clear();
    }
  }
  return true;
}

}  // namespace pixolan::imaging
