#include "imaging/formats/PsdFormat.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "imaging/image/ByteOrder.h"
#include "imaging/image/Errors.h"
#include "imaging/image/Imaging.h"

namespace pixolan::imaging {
namespace {

using F = TImageFormatId;

// The 26-byte header: signature, version, six reserved bytes, channels, height, width,
// depth and color mode, all big-endian.
constexpr int kHeaderSize = 26;
constexpr char kSignature[4] = {'8', 'B', 'P', 'S'};
constexpr int kVersionAt = 4;
constexpr int kChannelsAt = 12;
constexpr int kHeightAt = 14;
constexpr int kWidthAt = 18;
constexpr int kDepthAt = 22;
constexpr int kModeAt = 24;

constexpr uint16_t kModeBitmap = 0;
constexpr uint16_t kModeGray = 1;
constexpr uint16_t kModeIndexed = 2;
constexpr uint16_t kModeRGB = 3;
constexpr uint16_t kModeCMYK = 4;
constexpr uint16_t kModeMultichannel = 7;
constexpr uint16_t kModeDuotone = 8;
constexpr uint16_t kModeLab = 9;

constexpr uint16_t kRaw = 0;
constexpr uint16_t kPackBits = 1;

constexpr int kMaxChannels = 56;
constexpr int kColorTableSize = 768;
// A PackBits run packet gives 128 bytes for 2: the most any packed data can expand.
constexpr int64_t kMaxPackBitsExpansion = 64;

const char* ModeName(uint16_t mode) {
  switch (mode) {
    case kModeBitmap:
      return "bitmap";
    case kModeGray:
      return "grayscale";
    case kModeIndexed:
      return "indexed";
    case kModeRGB:
      return "RGB";
    case kModeCMYK:
      return "CMYK";
    case kModeMultichannel:
      return "multichannel";
    case kModeDuotone:
      return "duotone";
    case kModeLab:
      return "Lab";
    default:
      return "unknown";
  }
}

// The engine format of a composite, or Unknown when the reader does not take it.
F FormatFor(uint16_t mode, uint16_t depth, uint16_t channels) {
  switch (mode) {
    case kModeGray:
    case kModeDuotone:
      if (depth == 8) return channels == 1 ? F::Gray8 : F::A8Gray8;
      if (depth == 16) return channels == 1 ? F::Gray16 : F::A16Gray16;
      if (depth == 32 && channels == 1) return F::R32F;
      break;
    case kModeIndexed:
      if (depth == 8) return F::Index8;
      break;
    case kModeRGB:
    case kModeMultichannel:
    case kModeLab:
    case kModeCMYK:
      // CMYK needs its black channel; the others their three colors.
      if (channels < (mode == kModeCMYK ? 4 : 3)) break;
      if (depth == 8) return channels == 3 ? F::R8G8B8 : F::A8R8G8B8;
      if (depth == 16) return channels == 3 ? F::R16G16B16 : F::A16R16G16B16;
      if (depth == 32) return F::A32R32G32B32F;
      break;
    default:
      break;
  }
  return F::Unknown;
}

// Bounds-checked reading of the document, which is read whole into memory: its sections
// are located by lengths that must all fit in what is left.
class TReader {
 public:
  explicit TReader(std::span<const uint8_t> data) : data_(data) {}

  size_t Left() const { return data_.size() - pos_; }
  size_t Position() const { return pos_; }
  const uint8_t* Take(size_t count, const char* what) {
    if (count > Left())
      RaiseImagingFormat("PSD file is truncated in %s (%zu bytes needed, %zu left).", what, count,
                         Left());
    const uint8_t* p = data_.data() + pos_;
    pos_ += count;
    return p;
  }
  uint16_t Be16(const char* what) { return GetBe16(Take(2, what)); }
  uint32_t Be32(const char* what) { return GetBe32(Take(4, what)); }
  // Skips a section that starts with its 32-bit length.
  void SkipSection(const char* what) {
    const uint32_t length = Be32(what);
    Take(length, what);
  }

 private:
  std::span<const uint8_t> data_;
  size_t pos_ = 0;
};

// --- Color conversions -------------------------------------------------------------

// Ink amounts c and k (0 none .. max full) to the color channel value.
uint32_t CmykChannel(uint32_t c, uint32_t k, uint32_t max) {
  return max - std::min(max, c + k - k * c / max);
}

// CMYK stored as 255 - ink (or 65535 - ink) in B, G, R, A positions K, Y, M, C.
template <class T>
void CmykToRgb(TImageData& image, uint32_t max) {
  T* p = reinterpret_cast<T*>(image.bits());
  const size_t pixels = size_t(image.Width) * size_t(image.Height);
  for (size_t i = 0; i < pixels; ++i, p += 4) {
    const uint32_t k = max - p[0], y = max - p[1], m = max - p[2], c = max - p[3];
    p[2] = T(CmykChannel(c, k, max));
    p[1] = T(CmykChannel(m, k, max));
    p[0] = T(CmykChannel(y, k, max));
    p[3] = T(max);
  }
}

void CmykFloatToRgb(TImageData& image) {
  float* p = reinterpret_cast<float*>(image.bits());
  const size_t pixels = size_t(image.Width) * size_t(image.Height);
  for (size_t i = 0; i < pixels; ++i, p += 4) {
    const float k = 1 - p[0], y = 1 - p[1], m = 1 - p[2], c = 1 - p[3];
    p[2] = std::clamp(1 - (c + k - k * c), 0.0f, 1.0f);
    p[1] = std::clamp(1 - (m + k - k * m), 0.0f, 1.0f);
    p[0] = std::clamp(1 - (y + k - k * y), 0.0f, 1.0f);
    p[3] = 1;
  }
}

// CIE L*a*b* (D50, as documents store it) to sRGB (D65), each result 0..1.
void LabToRgb(double l, double a, double b, double rgb[3]) {
  const double fy = (l + 16) / 116, fx = fy + a / 500, fz = fy - b / 200;
  const auto inverse = [](double t) {
    return t > 6.0 / 29 ? t * t * t : 3 * (6.0 / 29) * (6.0 / 29) * (t - 4.0 / 29);
  };
  const double x50 = 0.9642 * inverse(fx), y50 = inverse(fy), z50 = 0.8249 * inverse(fz);
  // Bradford adaptation to D65.
  const double x = 0.9555766 * x50 - 0.0230393 * y50 + 0.0631636 * z50;
  const double y = -0.0282895 * x50 + 1.0099416 * y50 + 0.0210077 * z50;
  const double z = 0.0122982 * x50 - 0.0204830 * y50 + 1.3299098 * z50;
  const double linear[3] = {3.2404542 * x - 1.5371385 * y - 0.4985314 * z,
                            -0.9692660 * x + 1.8760108 * y + 0.0415560 * z,
                            0.0556434 * x - 0.2040259 * y + 1.0572252 * z};
  for (int i = 0; i < 3; ++i) {
    const double c = std::clamp(linear[i], 0.0, 1.0);
    rgb[i] = c <= 0.0031308 ? 12.92 * c : 1.055 * std::pow(c, 1 / 2.4) - 0.055;
  }
}

// Lab stored with L, a, b in R, G, B positions, 0..max each (a and b offset by half).
template <class T>
void LabToRgb(TImageData& image, uint32_t max) {
  const int channels = GetFormatDescriptor(image.Format)->Channels;
  T* p = reinterpret_cast<T*>(image.bits());
  const size_t pixels = size_t(image.Width) * size_t(image.Height);
  for (size_t i = 0; i < pixels; ++i, p += channels) {
    double rgb[3];
    LabToRgb(p[2] * 100.0 / max, p[1] * 255.0 / max - 128, p[0] * 255.0 / max - 128, rgb);
    p[2] = T(RoundEven(rgb[0] * max));
    p[1] = T(RoundEven(rgb[1] * max));
    p[0] = T(RoundEven(rgb[2] * max));
  }
}

// --- Reading -----------------------------------------------------------------------

// Where file channel i lands in a pixel: the color positions fill from the back (red,
// green, blue into the engine's B, G, R order) and, for formats with alpha, the channel
// after the colors is alpha. -1 for channels the format has no room for.
int PositionOf(int fileChannel, const TFormatDescriptor& d, bool cmyk) {
  const int channels = d.Channels;
  if (fileChannel >= channels) return -1;
  if (d.HasAlpha && !cmyk) {
    if (fileChannel == channels - 1) return channels - 1;
    return channels - 2 - fileChannel;
  }
  return channels - 1 - fileChannel;
}

// Puts one decoded row of big-endian samples into a channel of the image.
void ScatterRow(const uint8_t* row, TImageData& image, int32_t y, int position, int sampleBytes) {
  const int bpp = GetFormatDescriptor(image.Format)->BytesPerPixel;
  uint8_t* dst = image.bits() + size_t(y) * size_t(image.Width) * size_t(bpp) +
                 size_t(position) * size_t(sampleBytes);
  for (int32_t x = 0; x < image.Width; ++x, dst += bpp, row += sampleBytes) {
    if (sampleBytes == 1) {
      dst[0] = row[0];
    } else if (sampleBytes == 2) {
      Put16(dst, GetBe16(row));
    } else {
      Put32(dst, GetBe32(row));
    }
  }
}

void FillAlpha(TImageData& image) {
  float* p = reinterpret_cast<float*>(image.bits());
  const size_t pixels = size_t(image.Width) * size_t(image.Height);
  for (size_t i = 0; i < pixels; ++i) p[i * 4 + 3] = 1.0f;
}

// --- Writing -----------------------------------------------------------------------

struct TChannelPlan {
  int Position;  // sample position in the engine pixel
  int16_t Id;    // layer channel id: 0, 1, 2, ... and -1 for alpha
};

// The channels of an image in document order: red, green, blue (or gray, or index), then
// alpha.
std::vector<TChannelPlan> ChannelsOf(const TFormatDescriptor& d) {
  std::vector<TChannelPlan> plan;
  const int colors = d.HasAlpha ? d.Channels - 1 : d.Channels;
  for (int i = 0; i < colors; ++i) plan.push_back({colors - 1 - i, int16_t(i)});
  if (d.HasAlpha) plan.push_back({d.Channels - 1, -1});
  return plan;
}

// One channel row taken out of the pixels, samples big-endian.
void GatherRow(const TImageData& image, int32_t y, int position, int sampleBytes,
               std::vector<uint8_t>& row) {
  const int bpp = GetFormatDescriptor(image.Format)->BytesPerPixel;
  row.resize(size_t(image.Width) * size_t(sampleBytes));
  const uint8_t* src = image.bits() + size_t(y) * size_t(image.Width) * size_t(bpp) +
                       size_t(position) * size_t(sampleBytes);
  uint8_t* dst = row.data();
  for (int32_t x = 0; x < image.Width; ++x, src += bpp, dst += sampleBytes) {
    if (sampleBytes == 1) {
      dst[0] = src[0];
    } else if (sampleBytes == 2) {
      PutBe16(dst, Get16(src));
    } else {
      PutBe32(dst, Get32(src));
    }
  }
}

// A channel's data: with PackBits the table of row byte counts, then the rows.
struct TEncodedChannel {
  std::vector<uint16_t> RowCounts;
  std::vector<uint8_t> Data;
};

TEncodedChannel EncodeChannel(const TImageData& image, const TChannelPlan& channel, int sampleBytes,
                              bool packBits) {
  TEncodedChannel out;
  const size_t rowBytes = size_t(image.Width) * size_t(sampleBytes);
  // PackBits never needs more than one header byte for 128 bytes, and one more for the
  // last byte of a row.
  out.Data.reserve(size_t(image.Height) * (rowBytes + rowBytes / 128 + 2));
  std::vector<uint8_t> row;
  for (int32_t y = 0; y < image.Height; ++y) {
    GatherRow(image, y, channel.Position, sampleBytes, row);
    if (!packBits) {
      out.Data.insert(out.Data.end(), row.begin(), row.end());
      continue;
    }
    const size_t before = out.Data.size();
    psd::PackBitsEncodeRow(row, out.Data);
    const size_t count = out.Data.size() - before;
    // Rows of up to 30000 samples, the documents' own limit, always fit; wider ones
    // could not be described, and we do not write what we cannot read back.
    if (count > 0xFFFF)
      RaiseImagingFormat("A row of %d pixels is too wide for a PSD file.", image.Width);
    out.RowCounts.push_back(uint16_t(count));
  }
  return out;
}

void AppendBe16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(uint8_t(v >> 8));
  out.push_back(uint8_t(v));
}

void AppendBe32(std::vector<uint8_t>& out, uint32_t v) {
  AppendBe16(out, v >> 16);
  AppendBe16(out, v);
}

void PatchBe32(std::vector<uint8_t>& out, size_t at, size_t value) {
  if (value > 0xFFFFFFFFu) RaiseImagingFormat("The image is too large for a PSD file.");
  PutBe32(out.data() + at, uint32_t(value));
}

// The layer and mask section with one layer that holds the whole image: its channels are
// the composite's, PackBits-encoded.
void AppendLayerSection(const TImageData& image, const std::vector<TChannelPlan>& channels,
                        const std::vector<TEncodedChannel>& encoded, std::vector<uint8_t>& out) {
  const TFormatDescriptor& d = *GetFormatDescriptor(image.Format);
  const size_t sectionAt = out.size();
  AppendBe32(out, 0);
  const size_t infoAt = out.size();
  AppendBe32(out, 0);
  // A negative count says that the first alpha channel is the merged image's
  // transparency.
  AppendBe16(out, d.HasAlpha ? 0xFFFF : 1);
  AppendBe32(out, 0);  // top
  AppendBe32(out, 0);  // left
  AppendBe32(out, uint32_t(image.Height));
  AppendBe32(out, uint32_t(image.Width));
  AppendBe16(out, uint32_t(channels.size()));
  for (size_t i = 0; i < channels.size(); ++i) {
    const size_t length = 2 + encoded[i].RowCounts.size() * 2 + encoded[i].Data.size();
    AppendBe16(out, uint16_t(channels[i].Id));
    const size_t at = out.size();
    AppendBe32(out, 0);
    PatchBe32(out, at, length);
  }
  for (const char* text : {"8BIM", "norm"}) out.insert(out.end(), text, text + 4);
  out.insert(out.end(), {255, 0, 0, 0});  // opacity, clipping, flags, filler
  AppendBe32(out, 16);                    // extra data
  AppendBe32(out, 0);                     // layer mask data
  AppendBe32(out, 0);                     // blending ranges
  const char name[] = "\x07Layer 0";
  out.insert(out.end(), name, name + 8);
  for (const TEncodedChannel& c : encoded) {
    AppendBe16(out, kPackBits);
    for (uint16_t count : c.RowCounts) AppendBe16(out, count);
    out.insert(out.end(), c.Data.begin(), c.Data.end());
  }
  // The layer info is padded to an even length, and the global layer mask info (empty)
  // follows it inside the section.
  if ((out.size() - infoAt - 4) % 2) out.push_back(0);
  PatchBe32(out, infoAt, out.size() - infoAt - 4);
  AppendBe32(out, 0);
  PatchBe32(out, sectionAt, out.size() - sectionAt - 4);
}

}  // namespace

namespace psd {

void PackBitsEncodeRow(std::span<const uint8_t> row, std::vector<uint8_t>& out) {
  const size_t n = row.size();
  const auto runAt = [&](size_t pos) {
    return pos + 2 < n && row[pos] == row[pos + 1] && row[pos] == row[pos + 2];
  };
  size_t pos = 0;
  while (pos < n) {
    if (runAt(pos)) {
      size_t run = 3;
      while (pos + run < n && run < 128 && row[pos + run] == row[pos]) ++run;
      out.push_back(uint8_t(1 - int(run)));
      out.push_back(row[pos]);
      pos += run;
      continue;
    }
    const size_t start = pos;
    while (pos + 1 < n && pos - start < 128 && !runAt(pos)) ++pos;
    if (pos > start) {
      out.push_back(uint8_t(pos - start - 1));
      out.insert(out.end(), row.begin() + ptrdiff_t(start), row.begin() + ptrdiff_t(pos));
    }
    if (pos + 1 == n) {
      out.push_back(0);
      out.push_back(row[pos]);
      ++pos;
    }
  }
}

void PackBitsDecodeRow(std::span<const uint8_t> packed, std::span<uint8_t> out) {
  size_t in = 0, filled = 0;
  while (in < packed.size() && filled < out.size()) {
    const int header = int8_t(packed[in++]);
    if (header == -128) continue;
    if (header >= 0) {
      const size_t count = size_t(header) + 1;
      if (count > packed.size() - in || count > out.size() - filled)
        RaiseImagingFormat("PSD PackBits data overruns its row.");
      std::memcpy(out.data() + filled, packed.data() + in, count);
      in += count;
      filled += count;
    } else {
      const size_t count = size_t(1 - header);
      if (in >= packed.size() || count > out.size() - filled)
        RaiseImagingFormat("PSD PackBits data overruns its row.");
      std::memset(out.data() + filled, packed[in++], count);
      filled += count;
    }
  }
  if (filled < out.size())
    RaiseImagingFormat("PSD PackBits row is short: %zu of %zu bytes.", filled, out.size());
}

}  // namespace psd

TPSDFileFormat::TPSDFileFormat() {
  Name = "Photoshop Image";
  CanRead = true;
  CanWrite = true;
  MultiImage = false;
  for (F f : {F::Index8, F::Gray8, F::A8Gray8, F::Gray16, F::A16Gray16, F::R8G8B8, F::A8R8G8B8,
              F::R16G16B16, F::A16R16G16B16, F::R32F, F::A32R32G32B32F})
    WritableFormatSet.set(size_t(f));
  AddMasks("*.psd,*.pdd");
  BindOption(kOptionPsdSaveAsLayer, SaveAsLayer);
}

bool TPSDFileFormat::TestContent(TIOHandle& handle) {
  const int64_t start = handle.Tell();
  uint8_t h[kHeaderSize];
  const int64_t read = handle.Read(h, sizeof(h));
  handle.Seek(start, TSeekOrigin::Begin);
  return read == kHeaderSize && std::memcmp(h, kSignature, 4) == 0 && GetBe16(h + kVersionAt) == 1;
}

bool TPSDFileFormat::ReadImages(TIOHandle& handle, TDynImageDataArray& images, bool) {
  TStream& stream = handle.Stream();
  const int64_t left = stream.Size() - stream.Tell();
  if (left < kHeaderSize) RaiseImagingFormat("PSD file is shorter than its header.");
  std::vector<uint8_t> file(static_cast<size_t>(left));
  stream.ReadExact(file.data(), left, "the PSD file");
  TReader r(file);

  const uint8_t* h = r.Take(kHeaderSize, "the header");
  if (std::memcmp(h, kSignature, 4) != 0) RaiseImagingFormat("PSD signature is missing.");
  if (const uint16_t version = GetBe16(h + kVersionAt); version != 1)
    RaiseImagingFormat("PSD version %u is not supported.", version);
  const uint16_t channels = GetBe16(h + kChannelsAt);
  const uint32_t height = GetBe32(h + kHeightAt);
  const uint32_t width = GetBe32(h + kWidthAt);
  const uint16_t depth = GetBe16(h + kDepthAt);
  const uint16_t mode = GetBe16(h + kModeAt);
  if (channels < 1 || channels > kMaxChannels)
    RaiseImagingFormat("PSD channel count %u is out of range.", channels);
  if (width < 1 || height < 1) RaiseImagingFormat("Invalid PSD image size %ux%u.", width, height);
  if (int64_t(width) * height > kMaxImagePixels)
    RaiseImagingFormat("A PSD image of %ux%u pixels is larger than the engine takes.", width,
                       height);
  const F format = FormatFor(mode, depth, channels);
  if (format == F::Unknown)
    RaiseImagingFormat("PSD images in %s mode (%u) with %u channels of %u bits are not supported.",
                       ModeName(mode), mode, channels, depth);

  const uint32_t colorModeLength = r.Be32("the color mode data length");
  const uint8_t* colorTable = r.Take(colorModeLength, "the color mode data");
  if (format == F::Index8 && colorModeLength < kColorTableSize)
    RaiseImagingFormat("Indexed PSD file has a color table of %u bytes instead of %d.",
                       colorModeLength, kColorTableSize);
  r.SkipSection("the image resources");
  r.SkipSection("the layer and mask information");

  const uint16_t compression = r.Be16("the image data compression");
  if (compression != kRaw && compression != kPackBits)
    RaiseImagingFormat("PSD image data compression %u is not supported.", compression);

  const TFormatDescriptor& d = *GetFormatDescriptor(format);
  const int sampleBytes = depth / 8;
  const size_t rowBytes = size_t(width) * size_t(sampleBytes);
  const bool cmyk = mode == kModeCMYK;
  // Only the channels the format has room for are decoded; they come first.
  const int used = std::min<int>(channels, d.Channels);
  const size_t rows = size_t(height) * channels;
  // Checked before anything is allocated: raw data holds every row, packed data cannot
  // expand more than PackBits allows.
  const size_t usedBytes = rowBytes * height * size_t(used);
  if (compression == kRaw
          ? usedBytes > r.Left()
          : rows * 2 > r.Left() || usedBytes / kMaxPackBitsExpansion > r.Left() - rows * 2)
    RaiseImagingFormat("PSD image data is truncated: %ux%u pixels need more than %zu bytes.", width,
                       height, r.Left());

  TImageData image;
  if (!ImageCreate(int32_t(width), int32_t(height), format, image))
    RaiseImagingFormat("Cannot create a %ux%u image.", width, height);

  if (compression == kRaw) {
    for (int c = 0; c < used; ++c) {
      const int position = PositionOf(c, d, cmyk);
      for (uint32_t y = 0; y < height; ++y)
        ScatterRow(r.Take(rowBytes, "the image data"), image, int32_t(y), position, sampleBytes);
    }
  } else {
    const uint8_t* counts = r.Take(rows * 2, "the row byte counts");
    std::vector<uint8_t> row(rowBytes);
    for (int c = 0; c < used; ++c) {
      const int position = PositionOf(c, d, cmyk);
      for (uint32_t y = 0; y < height; ++y) {
        const size_t count = GetBe16(counts + 2 * (size_t(c) * height + y));
        psd::PackBitsDecodeRow({r.Take(count, "the image data"), count}, row);
        ScatterRow(row.data(), image, int32_t(y), position, sampleBytes);
      }
    }
  }

  if (format == F::Index8) {
    TPixel32* palette = image.palette();
    for (int i = 0; i < 256; ++i)
      palette[i] = {colorTable[512 + i], colorTable[256 + i], colorTable[i], 255};
  } else if (cmyk) {
    if (depth == 8) CmykToRgb<uint8_t>(image, 255);
    if (depth == 16) CmykToRgb<uint16_t>(image, 65535);
    if (depth == 32) CmykFloatToRgb(image);
  } else if (mode == kModeLab) {
    if (depth == 8) LabToRgb<uint8_t>(image, 255);
    if (depth == 16) LabToRgb<uint16_t>(image, 65535);
  }
  if (format == F::A32R32G32B32F && channels == 3) FillAlpha(image);
  images.push_back(std::move(image));
  return true;
}

void TPSDFileFormat::ConvertForWriting(TImageData& image, const TFormatDescriptor& d) const {
  F target;
  if (d.IsFloat)
    target = d.Channels == 1 ? F::R32F : F::A32R32G32B32F;
  else if (d.IsGray)
    target = d.HasAlpha ? F::A16Gray16 : F::Gray16;
  else if (d.RedBlueTwin != F::Unknown && WritableFormats().test(size_t(d.RedBlueTwin)))
    target = d.RedBlueTwin;
  else
    target = d.HasAlpha ? F::A8R8G8B8 : F::R8G8B8;
  ImageConvert(image, target);
}

bool TPSDFileFormat::WriteImages(TIOHandle& handle, TImageSpan images,
                                 const TSaveSelection& selection) {
  const TWritableImage writable = MakeWritableCopy(images[size_t(selection.SaveFirst)]);
  if (!writable) return false;
  const TImageData& image = writable.Image();
  const TFormatDescriptor& d = *GetFormatDescriptor(image.Format);
  const int sampleBytes = d.BytesPerPixel / d.Channels;
  const bool packBits = !d.IsFloat;

  uint8_t h[kHeaderSize] = {};
  std::memcpy(h, kSignature, 4);
  PutBe16(h + kVersionAt, 1);
  PutBe16(h + kChannelsAt, uint32_t(d.Channels));
  PutBe32(h + kHeightAt, uint32_t(image.Height));
  PutBe32(h + kWidthAt, uint32_t(image.Width));
  PutBe16(h + kDepthAt, uint32_t(8 * sampleBytes));
  PutBe16(h + kModeAt, d.IsIndexed                   ? kModeIndexed
                       : d.IsGray || d.Channels == 1 ? kModeGray
                                                     : kModeRGB);
  std::vector<uint8_t> out(h, h + kHeaderSize);
  if (d.IsIndexed) {
    AppendBe32(out, kColorTableSize);
    const TPixel32* palette = image.palette();
    for (int c : {2, 1, 0})
      for (int i = 0; i < 256; ++i) out.push_back(palette[i][c]);
  } else {
    AppendBe32(out, 0);
  }
  AppendBe32(out, 0);  // image resources

  const std::vector<TChannelPlan> channels = ChannelsOf(d);
  std::vector<TEncodedChannel> encoded;
  for (const TChannelPlan& c : channels)
    encoded.push_back(EncodeChannel(image, c, sampleBytes, packBits));
  // Float images are written raw and get no layer.
  if (SaveAsLayer.load() != 0 && packBits)
    AppendLayerSection(image, channels, encoded, out);
  else
    AppendBe32(out, 0);

  AppendBe16(out, packBits ? kPackBits : kRaw);
  for (const TEncodedChannel& c : encoded)
    for (uint16_t count : c.RowCounts) AppendBe16(out, count);
  TStream& stream = handle.Stream();
  stream.WriteExact(out.data(), int64_t(out.size()));
  for (const TEncodedChannel& c : encoded) stream.WriteExact(c.Data.data(), int64_t(c.Data.size()));
  return true;
}

}  // namespace pixolan::imaging
