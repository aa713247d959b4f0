#include "imaging/formats/PcxFormat.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "imaging/formats/PcxFormatPrivate.h"
#include "imaging/image/ByteOrder.h"
#include "imaging/image/Errors.h"
#include "imaging/image/Imaging.h"

namespace pixolan::imaging {
namespace {

using F = TImageFormatId;

bool IsKnownLayout(uint32_t bits, uint32_t planes) {
  return (bits == 1 && planes >= 1 && planes <= 4) || ((bits == 2 || bits == 4) && planes == 1) ||
         (bits == 8 && (planes == 1 || planes == 3 || planes == 4));
}

// Run-length decoding a row at a time; a run left over at the end of a row continues in the
// next, as some writers let runs cross rows.
class TRunDecoder {
 public:
  TRunDecoder(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  void Row(uint8_t* out, size_t count) {
    size_t filled = 0;
    while (filled < count) {
      if (pending_ > 0) {
        const size_t take = std::min(pending_, count - filled);
        std::memset(out + filled, value_, take);
        filled += take;
        pending_ -= take;
        continue;
      }
      if (pos_ >= size_) RaiseImagingFormat("PCX run-length data is truncated.");
      const uint8_t b = data_[pos_++];
      if ((b & pcx::kRunMark) != pcx::kRunMark) {
        out[filled++] = b;
        continue;
      }
      if (pos_ >= size_) RaiseImagingFormat("PCX run-length data is truncated.");
      pending_ = b & pcx::kRunCountMask;
      value_ = data_[pos_++];
    }
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  size_t pending_ = 0;
  uint8_t value_ = 0;
};

void FillPalette(const uint8_t* header, uint32_t version, uint32_t bits, uint32_t planes,
                 TPixel32* palette) {
  for (int i = 0; i < 16; ++i) {
    const uint8_t* c = version == pcx::kVersionWithoutPalette ? pcx::kEgaPalette[i]
                                                              : header + pcx::kColorMap + 3 * i;
    palette[i] = {c[2], c[1], c[0], 255};
  }
  // Many monochrome files leave the header colors zero: such a file is black and white,
  // not all black.
  if (bits == 1 && planes == 1 && palette[0] == palette[1]) {
    palette[0] = {0, 0, 0, 255};
    palette[1] = {255, 255, 255, 255};
  }
}

}  // namespace

TPCXFileFormat::TPCXFileFormat() {
  Name = "ZSoft Paintbrush Image";
  CanRead = true;
  CanWrite = false;
  MultiImage = false;
  AddMasks("*.pcx");
}

bool TPCXFileFormat::TestContent(TIOHandle& handle) {
  const int64_t start = handle.Tell();
  uint8_t h[pcx::kHeaderSize];
  const int64_t read = handle.Read(h, sizeof(h));
  handle.Seek(start, TSeekOrigin::Begin);
  if (read != int64_t(sizeof(h))) return false;
  const uint8_t version = h[pcx::kVersion];
  // The palette information field is not looked at: valid files carry 0 or stray bytes there.
  return h[pcx::kManufacturer] == pcx::kZSoft && (version == 0 || (version >= 2 && version <= 5)) &&
         h[pcx::kEncoding] <= 1 &&
         (h[pcx::kBitsPerPixel] == 1 || h[pcx::kBitsPerPixel] == 2 || h[pcx::kBitsPerPixel] == 4 ||
          h[pcx::kBitsPerPixel] == 8) &&
         h[pcx::kPlanes] >= 1 && h[pcx::kPlanes] <= 4;
}

bool TPCXFileFormat::ReadImages(TIOHandle& handle, TDynImageDataArray& images, bool) {
  TStream& stream = handle.Stream();
  const int64_t start = stream.Tell();
  const int64_t fileSize = stream.Size() - start;
  uint8_t h[pcx::kHeaderSize];
  stream.ReadExact(h, sizeof(h), "the PCX header");

  const uint32_t version = h[pcx::kVersion];
  const uint32_t bits = h[pcx::kBitsPerPixel];
  const uint32_t planes = h[pcx::kPlanes];
  const bool rle = h[pcx::kEncoding] == 1;
  if (h[pcx::kManufacturer] != pcx::kZSoft || h[pcx::kEncoding] > 1)
    RaiseImagingFormat("Not a PCX file.");
  if (!IsKnownLayout(bits, planes))
    RaiseImagingFormat("Unsupported PCX layout: %u bits per pixel in %u planes.", bits, planes);
  const int32_t xMin = Get16(h + pcx::kXMin), xMax = Get16(h + pcx::kXMax);
  const int32_t yMin = Get16(h + pcx::kYMin), yMax = Get16(h + pcx::kYMax);
  if (xMax < xMin || yMax < yMin)
    RaiseImagingFormat("Invalid PCX image window (%d, %d)-(%d, %d).", xMin, yMin, xMax, yMax);
  const int32_t width = xMax - xMin + 1;
  const int32_t height = yMax - yMin + 1;
  const size_t bytesPerLine = Get16(h + pcx::kBytesPerLine);
  if (bytesPerLine * 8 < size_t(width) * bits)
    RaiseImagingFormat("PCX bytes per line (%zu) are too few for %d pixels of %u bits.",
                       bytesPerLine, width, bits);

  // An 8-bit single-plane image has its palette in the last 769 bytes.
  const bool vgaLayout = bits == 8 && planes == 1;
  bool vgaPalette = false;
  uint8_t vga[pcx::kVgaPaletteSize];
  if (vgaLayout && fileSize >= pcx::kHeaderSize + pcx::kVgaPaletteSize) {
    stream.Seek(start + fileSize - pcx::kVgaPaletteSize, TSeekOrigin::Begin);
    stream.ReadExact(vga, sizeof(vga), "the PCX palette");
    vgaPalette = vga[0] == pcx::kPaletteMarker;
    stream.Seek(start + pcx::kHeaderSize, TSeekOrigin::Begin);
  }
  const int64_t available = fileSize - pcx::kHeaderSize - (vgaPalette ? pcx::kVgaPaletteSize : 0);
  const size_t lineBytes = bytesPerLine * planes;
  const int64_t total = int64_t(lineBytes) * height;
  // Checked before anything is allocated: raw data hold every byte, and no run (two
  // bytes) gives more than 63.
  if (rle ? total > (available + 1) / 2 * pcx::kMaxRun : total > available)
    RaiseImagingFormat("PCX data is truncated: %dx%d pixels need more than the %lld bytes present.",
                       width, height, (long long)available);

  const F format = bits != 8 || planes == 1 ? F::Index8 : planes == 3 ? F::R8G8B8 : F::A8R8G8B8;
  TImageData image;
  if (!ImageCreateForOverwrite(width, height, format, image))
    RaiseImagingFormat("Cannot create a %dx%d image.", width, height);

  // A valid run-length stream never needs more than two bytes for one decoded byte.
  const int64_t dataSize = rle ? std::min(available, total * 2) : total;
  std::vector<uint8_t> data(static_cast<size_t>(dataSize));
  stream.ReadExact(data.data(), dataSize, "PCX image data");
  TRunDecoder decoder(data.data(), data.size());
  std::vector<uint8_t> line(lineBytes);
  const size_t bpp = size_t(GetFormatDescriptor(format)->BytesPerPixel);
  for (int32_t y = 0; y < height; ++y) {
    if (rle)
      decoder.Row(line.data(), line.size());
    else
      std::memcpy(line.data(), data.data() + size_t(y) * lineBytes, lineBytes);
    uint8_t* out = image.bits() + size_t(y) * size_t(width) * bpp;
    if (format != F::Index8) {
      for (int32_t x = 0; x < width; ++x) {
        uint8_t* p = out + size_t(x) * bpp;
        p[2] = line[size_t(x)];
        p[1] = line[bytesPerLine + size_t(x)];
        p[0] = line[2 * bytesPerLine + size_t(x)];
        if (bpp == 4) p[3] = line[3 * bytesPerLine + size_t(x)];
      }
    } else if (bits == 1) {
      for (int32_t x = 0; x < width; ++x) {
        uint8_t index = 0;
        for (uint32_t p = 0; p < planes; ++p)
          index |= uint8_t(((line[p * bytesPerLine + size_t(x) / 8] >> (7 - x % 8)) & 1) << p);
        out[x] = index;
      }
    } else {
      const uint32_t mask = (1u << bits) - 1;
      for (int32_t x = 0; x < width; ++x) {
        const size_t bit = size_t(x) * bits;
        out[x] = uint8_t((line[bit / 8] >> (8 - bits - bit % 8)) & mask);
      }
    }
  }

  if (format == F::Index8) {
    TPixel32* palette = image.palette();
    if (vgaPalette) {
      for (int i = 0; i < 256; ++i)
        palette[i] = {vga[1 + 3 * i + 2], vga[1 + 3 * i + 1], vga[1 + 3 * i], 255};
    } else if (vgaLayout) {
      // Without its palette an 8-bit image is taken as gray levels rather than all black.
      for (int i = 0; i < 256; ++i) palette[i] = {uint8_t(i), uint8_t(i), uint8_t(i), 255};
    } else {
      FillPalette(h, version, bits, planes, palette);
    }
  }
  images.push_back(std::move(image));
  return true;
}

}  // namespace pixolan::imaging
