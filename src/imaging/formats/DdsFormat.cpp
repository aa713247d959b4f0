#include "imaging/formats/DdsFormat.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string>
#include <vector>

#include "imaging/geometry/Resample.h"
#include "imaging/image/ByteOrder.h"
#include "imaging/image/Errors.h"
#include "imaging/image/Imaging.h"

namespace pixolan::imaging {
namespace {

using F = TImageFormatId;

// The file starts with "DDS " and the 124-byte header; all values are little-endian.
constexpr int kHeaderSize = 128;
constexpr uint32_t kHeaderLength = 124;
constexpr int kSizeAt = 4;
constexpr int kFlagsAt = 8;
constexpr int kHeightAt = 12;
constexpr int kWidthAt = 16;
constexpr int kLinearSizeAt = 20;
constexpr int kDepthAt = 24;
constexpr int kMipMapCountAt = 28;
constexpr int kPixelFormatAt = 76;  // 32 bytes: size, flags, code, bit count, four masks
constexpr int kPfFlagsAt = 80;
constexpr int kFourCCAt = 84;
constexpr int kBitCountAt = 88;
constexpr int kMasksAt = 92;  // red, green, blue, alpha
constexpr int kCapsAt = 108;
constexpr int kCaps2At = 112;

// The extended header that follows when the code is "DX10".
constexpr int kDx10Size = 20;

constexpr uint32_t kFlagsBase = 0x81007;  // caps, height, width, pixel format, linear size
constexpr uint32_t kFlagMipMapCount = 0x20000;
constexpr uint32_t kFlagDepth = 0x800000;

constexpr uint32_t kPfAlphaPixels = 0x1;
constexpr uint32_t kPfAlpha = 0x2;
constexpr uint32_t kPfFourCC = 0x4;
constexpr uint32_t kPfPalette8 = 0x20;
constexpr uint32_t kPfRGB = 0x40;
constexpr uint32_t kPfYUV = 0x200;
constexpr uint32_t kPfLuminance = 0x20000;

constexpr uint32_t kCapsComplex = 0x8;
constexpr uint32_t kCapsTexture = 0x1000;
constexpr uint32_t kCapsMipMap = 0x400000;
constexpr uint32_t kCaps2CubeMap = 0x200;
constexpr uint32_t kCaps2FirstFace = 0x400;  // then one bit for each of the six faces
constexpr uint32_t kCaps2Volume = 0x200000;

constexpr uint32_t kDx10MiscCube = 0x4;
constexpr uint32_t kDx10Texture3D = 4;

constexpr int kPaletteBytes = 1024;
constexpr int kMaxLevels = 32;
// Far beyond any real texture; keeps a header from asking for millions of tiny images.
constexpr int64_t kMaxSurfaces = 65536;

constexpr uint32_t Code(const char (&text)[5]) {
  return uint32_t(uint8_t(text[0])) | uint32_t(uint8_t(text[1])) << 8 |
         uint32_t(uint8_t(text[2])) << 16 | uint32_t(uint8_t(text[3])) << 24;
}

// How stored pixels become the engine's.
enum class TDecode {
  Copy,     // the stored layout is the engine format's
  SwapRB,   // 8-bit R, G, B, A into A8R8G8B8
  Masks,    // channels picked out by masks
  Palette,  // 8-bit indices into the file's palette
};

struct TLayout {
  F Format = F::Unknown;
  TDecode Decode = TDecode::Copy;
  uint32_t Bits = 0;       // bits per stored pixel; 0 for block formats
  uint32_t Masks[4] = {};  // red, green, blue, alpha (TDecode::Masks)
  bool Luminance = false;  // masks give gray (red mask) and alpha
};

std::string CodeText(uint32_t code) {
  std::string text;
  for (int i = 0; i < 4; ++i) {
    const char c = char(code >> (8 * i));
    if (c < 32 || c > 126) return FormatText("%u", code);
    text += c;
  }
  return "\"" + text + "\"";
}

TLayout Copy(F format) {
  const TFormatDescriptor& d = *GetFormatDescriptor(format);
  return {format, TDecode::Copy, uint32_t(d.BytesPerPixel) * 8, {}, false};
}

TLayout FromFourCC(uint32_t code) {
  switch (code) {
    case Code("DXT1"):
      return Copy(F::DXT1);
    case Code("DXT2"):  // pre-multiplied alpha, read as it is stored
    case Code("DXT3"):
      return Copy(F::DXT3);
    case Code("DXT4"):
    case Code("DXT5"):
      return Copy(F::DXT5);
    case Code("ATI1"):
    case Code("BC4U"):
      return Copy(F::ATI1N);
    case Code("ATI2"):
    case Code("BC5U"):
      return Copy(F::ATI2N);
    case 36:
      return Copy(F::A16B16G16R16);
    case 111:
      return Copy(F::R16F);
    case 113:
      return Copy(F::A16B16G16R16F);
    case 114:
      return Copy(F::R32F);
    case 116:
      return Copy(F::A32B32G32R32F);
    default:
      break;
  }
  RaiseImagingFormat("DDS pixel format %s is not supported.", CodeText(code).c_str());
}

TLayout FromDxgi(uint32_t dxgi) {
  switch (dxgi) {
    case 2:
      return Copy(F::A32B32G32R32F);
    case 10:
      return Copy(F::A16B16G16R16F);
    case 11:
      return Copy(F::A16B16G16R16);
    case 27:  // R8G8B8A8: typeless, unsigned, sRGB
    case 28:
    case 29:
      return {F::A8R8G8B8, TDecode::SwapRB, 32, {}, false};
    case 41:
      return Copy(F::R32F);
    case 54:
      return Copy(F::R16F);
    case 56:
      return Copy(F::Gray16);
    case 61:
      return Copy(F::Gray8);
    case 65:  // alpha only
      return {F::A8R8G8B8, TDecode::Masks, 8, {0, 0, 0, 0xFF}, false};
    case 70:  // BC1: typeless, unsigned, sRGB
    case 71:
    case 72:
      return Copy(F::DXT1);
    case 73:
    case 74:
    case 75:
      return Copy(F::DXT3);
    case 76:
    case 77:
    case 78:
      return Copy(F::DXT5);
    case 79:  // BC4 typeless, unsigned
    case 80:
      return Copy(F::ATI1N);
    case 82:  // BC5 typeless, unsigned
    case 83:
      return Copy(F::ATI2N);
    case 85:
      return Copy(F::R5G6B5);
    case 86:
      return Copy(F::A1R5G5B5);
    case 87:  // B8G8R8A8: unsigned, typeless, sRGB
    case 90:
    case 91:
      return Copy(F::A8R8G8B8);
    case 88:
      return Copy(F::X8R8G8B8);
    case 115:
      return Copy(F::A4R4G4B4);
    default:
      break;
  }
  RaiseImagingFormat("DDS DXGI format %u is not supported.", dxgi);
}

// The engine format whose layout the masks describe exactly, or Unknown.
F ExactFormat(uint32_t bits, const uint32_t m[4]) {
  if (bits == 32 || bits == 24) {
    if (m[0] != 0xFF0000 || m[1] != 0xFF00 || m[2] != 0xFF) return F::Unknown;
    if (bits == 24) return m[3] == 0 ? F::R8G8B8 : F::Unknown;
    return m[3] == 0xFF000000 ? F::A8R8G8B8 : m[3] == 0 ? F::X8R8G8B8 : F::Unknown;
  }
  for (F f : {F::R5G6B5, F::A1R5G5B5, F::X1R5G5B5, F::A4R4G4B4, F::X4R4G4B4, F::R3G3B2}) {
    const TFormatDescriptor& d = *GetFormatDescriptor(f);
    const TPackedLayout& l = *d.Layout;
    if (uint32_t(d.BytesPerPixel) * 8 == bits && l.R.Mask == m[0] && l.G.Mask == m[1] &&
        l.B.Mask == m[2] && (d.HasAlpha ? l.A.Mask : 0) == m[3])
      return f;
  }
  return F::Unknown;
}

TLayout FromMasks(uint32_t pfFlags, uint32_t bits, const uint32_t masks[4]) {
  if (pfFlags & kPfYUV) RaiseImagingFormat("DDS YUV pixel formats are not supported.");
  if (bits != 8 && bits != 16 && bits != 24 && bits != 32)
    RaiseImagingFormat("DDS pixel format with %u bits per pixel is not supported.", bits);
  const bool alpha = (pfFlags & (kPfAlphaPixels | kPfAlpha)) != 0;
  uint32_t m[4] = {masks[0], masks[1], masks[2], alpha ? masks[3] : 0};
  if (pfFlags & kPfLuminance) {
    if (bits > 16)
      RaiseImagingFormat("DDS luminance with %u bits per pixel is not supported.", bits);
    if (!alpha && bits == 8) return Copy(F::Gray8);
    if (!alpha && m[0] == 0xFFFF) return Copy(F::Gray16);
    if (alpha && bits == 16 && m[0] == 0xFF && m[3] == 0xFF00) return Copy(F::A8Gray8);
    return {alpha ? F::A8Gray8 : F::Gray8, TDecode::Masks, bits, {m[0], 0, 0, m[3]}, true};
  }
  if (!(pfFlags & kPfRGB)) m[0] = m[1] = m[2] = 0;  // alpha only
  if (const F exact = ExactFormat(bits, m); exact != F::Unknown) return Copy(exact);
  return {m[3] ? F::A8R8G8B8 : F::X8R8G8B8, TDecode::Masks, bits, {m[0], m[1], m[2], m[3]}, false};
}

int64_t StoredSize(const TLayout& layout, int64_t width, int64_t height) {
  const TFormatDescriptor& d = *GetFormatDescriptor(layout.Format);
  if (d.IsCompressed) return d.ByteSize(layout.Format, width, height);
  return (width * layout.Bits + 7) / 8 * height;
}

// A channel picked out by its mask and scaled to 0..255; 0 for an empty mask.
struct TMaskChannel {
  uint32_t Mask = 0;
  int Shift = 0;
  uint64_t Max = 1;

  explicit TMaskChannel(uint32_t mask) : Mask(mask) {
    if (mask == 0) return;
    Shift = std::countr_zero(mask);
    Max = (uint64_t(1) << std::bit_width(mask >> Shift)) - 1;
  }
  uint8_t operator()(uint32_t v) const {
    return Mask ? uint8_t(uint64_t((v & Mask) >> Shift) * 255 / Max) : 0;
  }
};

void DecodeMasks(const TLayout& layout, const uint8_t* src, TImageData& image) {
  const TMaskChannel r(layout.Masks[0]), g(layout.Masks[1]), b(layout.Masks[2]), a(layout.Masks[3]);
  const size_t bytes = layout.Bits / 8;
  const size_t pixels = size_t(image.Width) * size_t(image.Height);
  uint8_t* dst = image.bits();
  for (size_t i = 0; i < pixels; ++i, src += bytes) {
    uint32_t v = 0;
    for (size_t k = 0; k < bytes; ++k) v |= uint32_t(src[k]) << (8 * k);
    const uint8_t alpha = layout.Masks[3] ? a(v) : 255;
    if (layout.Luminance) {
      *dst++ = r(v);
      if (image.Format == F::A8Gray8) *dst++ = alpha;
    } else {
      *dst++ = b(v);
      *dst++ = g(v);
      *dst++ = r(v);
      *dst++ = alpha;
    }
  }
}

// One stored surface: its size, read in file order.
struct TSurface {
  int32_t Width;
  int32_t Height;
};

int32_t LevelSize(int32_t size, int level) {
  return std::max(1, size >> level);
}

int LevelsFor(int32_t width, int32_t height) {
  int levels = 1;
  while ((width >> levels) > 0 || (height >> levels) > 0) ++levels;
  return levels;
}

void PutField(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  Put32(out.data() + at, v);
}

// The 32-byte pixel format block of a writable format: flags, code, bit count, masks.
void WritePixelFormat(const TFormatDescriptor& d, uint8_t* pf) {
  Put32(pf, 32);
  uint32_t flags = 0, code = 0, bits = 0, masks[4] = {};
  if (d.IsFloat || d.IsCompressed || d.BytesPerPixel > 4) {
    flags = kPfFourCC;
    switch (d.Format) {
      case F::A16B16G16R16:
        code = 36;
        break;
      case F::R32F:
        code = 114;
        break;
      case F::A32B32G32R32F:
        code = 116;
        break;
      case F::R16F:
        code = 111;
        break;
      case F::A16B16G16R16F:
        code = 113;
        break;
      case F::DXT1:
        code = Code("DXT1");
        break;
      case F::DXT3:
        code = Code("DXT3");
        break;
      default:
        code = Code("DXT5");
        break;
    }
  } else if (d.IsGray) {
    flags = kPfLuminance | (d.HasAlpha ? kPfAlphaPixels : 0);
    bits = uint32_t(d.BytesPerPixel) * 8;
    masks[0] = d.Format == F::Gray16 ? 0xFFFF : 0xFF;
    if (d.HasAlpha) masks[3] = 0xFF00;
  } else {
    flags = kPfRGB | (d.HasAlpha ? kPfAlphaPixels : 0);
    bits = uint32_t(d.BytesPerPixel) * 8;
    if (d.BytesPerPixel >= 3) {
      masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF;
      if (d.HasAlpha) masks[3] = 0xFF000000;
    } else {
      const TPackedLayout& l = *d.Layout;
      masks[0] = l.R.Mask, masks[1] = l.G.Mask, masks[2] = l.B.Mask;
      if (d.HasAlpha) masks[3] = l.A.Mask;
    }
  }
  Put32(pf + 4, flags);
  Put32(pf + 8, code);
  Put32(pf + 12, bits);
  for (int i = 0; i < 4; ++i) Put32(pf + 16 + 4 * i, masks[i]);
}

}  // namespace

TDDSFileFormat::TDDSFileFormat() {
  Name = "DirectDraw Surface";
  CanRead = true;
  CanWrite = true;
  MultiImage = true;
  for (F f : {F::Gray8,    F::A8Gray8,       F::Gray16,       F::R3G3B2,   F::R5G6B5,
              F::A1R5G5B5, F::A4R4G4B4,      F::X1R5G5B5,     F::X4R4G4B4, F::R8G8B8,
              F::A8R8G8B8, F::X8R8G8B8,      F::A16B16G16R16, F::R32F,     F::A32B32G32R32F,
              F::R16F,     F::A16B16G16R16F, F::DXT1,         F::DXT3,     F::DXT5})
    WritableFormatSet.set(size_t(f));
  AddMasks("*.dds");
  BindOption(kOptionDdsLoadedCubeMap, LoadedCubeMap);
  BindOption(kOptionDdsLoadedVolume, LoadedVolume);
  BindOption(kOptionDdsLoadedMipMapCount, LoadedMipMapCount);
  BindOption(kOptionDdsLoadedDepth, LoadedDepth);
  BindOption(kOptionDdsSaveCubeMap, SaveCubeMap);
  BindOption(kOptionDdsSaveVolume, SaveVolume);
  BindOption(kOptionDdsSaveMipMapCount, SaveMipMapCount);
  BindOption(kOptionDdsSaveDepth, SaveDepth);
}

void TDDSFileFormat::ValidateOptions() {
  if (SaveCubeMap.load() != 0) SaveVolume = 0;
  if (SaveMipMapCount.load() < 1) SaveMipMapCount = 1;
  if (SaveDepth.load() < 1) SaveDepth = 1;
}

bool TDDSFileFormat::TestContent(TIOHandle& handle) {
  const int64_t start = handle.Tell();
  uint8_t h[kHeaderSize];
  const int64_t read = handle.Read(h, sizeof(h));
  handle.Seek(start, TSeekOrigin::Begin);
  return read == kHeaderSize && std::memcmp(h, "DDS ", 4) == 0 &&
         Get32(h + kSizeAt) == kHeaderLength && (Get32(h + kCapsAt) & kCapsTexture) != 0;
}

bool TDDSFileFormat::ReadImages(TIOHandle& handle, TDynImageDataArray& images, bool onlyFirst) {
  TStream& stream = handle.Stream();
  const int64_t start = stream.Tell();
  int64_t left = stream.Size() - start;
  uint8_t h[kHeaderSize];
  stream.ReadExact(h, sizeof(h), "the DDS header");
  left -= kHeaderSize;
  if (std::memcmp(h, "DDS ", 4) != 0 || Get32(h + kSizeAt) != kHeaderLength)
    RaiseImagingFormat("DDS header is invalid.");

  const uint32_t flags = Get32(h + kFlagsAt);
  const uint32_t height = Get32(h + kHeightAt);
  const uint32_t width = Get32(h + kWidthAt);
  const uint32_t caps = Get32(h + kCapsAt);
  const uint32_t caps2 = Get32(h + kCaps2At);
  const uint32_t pfFlags = Get32(h + kPfFlagsAt);
  if (width < 1 || height < 1) RaiseImagingFormat("Invalid DDS image size %ux%u.", width, height);
  if (int64_t(width) * height > kMaxImagePixels)
    RaiseImagingFormat("A DDS surface of %ux%u pixels is larger than the engine takes.", width,
                       height);

  // What the header says is stored: levels, cube faces (or texture array elements) and
  // volume slices.
  bool cube = (caps2 & kCaps2CubeMap) != 0;
  int faces = 1;
  if (cube) faces = std::popcount(caps2 & (0x3Fu * kCaps2FirstFace));
  bool volume = !cube && (caps2 & kCaps2Volume) != 0 && (flags & kFlagDepth) != 0;
  int64_t depth = volume ? std::max<uint32_t>(1, Get32(h + kDepthAt)) : 1;
  int levels = 1;
  if ((flags & kFlagMipMapCount) || (caps & kCapsMipMap))
    levels = std::clamp<int>(int(std::min<uint32_t>(Get32(h + kMipMapCountAt), kMaxLevels)), 1,
                             LevelsFor(int32_t(width), int32_t(height)));

  TLayout layout;
  const uint32_t bits = Get32(h + kBitCountAt);
  uint32_t masks[4];
  for (int i = 0; i < 4; ++i) masks[i] = Get32(h + kMasksAt + 4 * i);
  if (pfFlags & kPfFourCC) {
    const uint32_t code = Get32(h + kFourCCAt);
    if (code == Code("DX10")) {
      uint8_t x[kDx10Size];
      stream.ReadExact(x, sizeof(x), "the DDS extended header");
      left -= kDx10Size;
      layout = FromDxgi(Get32(x));
      const uint32_t arraySize = std::max<uint32_t>(1, Get32(x + 12));
      if (arraySize > kMaxSurfaces)
        RaiseImagingFormat("DDS texture array of %u elements is too large.", arraySize);
      cube = (Get32(x + 8) & kDx10MiscCube) != 0;
      faces = int(arraySize) * (cube ? 6 : 1);
      volume = !cube && Get32(x + 4) == kDx10Texture3D;
      depth = volume ? std::max<uint32_t>(1, Get32(h + kDepthAt)) : 1;
    } else {
      layout = FromFourCC(code);
    }
  } else if (pfFlags & kPfPalette8) {
    layout = {F::Index8, TDecode::Palette, 8, {}, false};
  } else if (pfFlags & (kPfRGB | kPfLuminance | kPfAlpha | kPfYUV)) {
    layout = FromMasks(pfFlags, bits, masks);
  } else {
    RaiseImagingFormat("DDS pixel format flags 0x%X describe no known format.", pfFlags);
  }

  // Every surface in file order; its sizes and the whole data are checked against what
  // the file holds before anything is allocated.
  std::vector<TSurface> surfaces;
  int64_t total = 0;
  const auto add = [&](int32_t w, int32_t h2) {
    if (int64_t(surfaces.size()) >= kMaxSurfaces)
      RaiseImagingFormat("DDS file declares more than %lld surfaces.", (long long)kMaxSurfaces);
    surfaces.push_back({w, h2});
    total += StoredSize(layout, w, h2);
  };
  if (volume) {
    if (depth > kMaxSurfaces)
      RaiseImagingFormat("DDS volume depth %lld is too large.", (long long)depth);
    for (int l = 0; l < levels; ++l)
      for (int64_t s = 0; s < std::max<int64_t>(1, depth >> l); ++s)
        add(LevelSize(int32_t(width), l), LevelSize(int32_t(height), l));
  } else {
    for (int f = 0; f < faces; ++f)
      for (int l = 0; l < levels; ++l)
        add(LevelSize(int32_t(width), l), LevelSize(int32_t(height), l));
  }
  if (surfaces.empty()) RaiseImagingFormat("DDS cube map holds no faces.");

  const int64_t paletteBytes = layout.Decode == TDecode::Palette ? kPaletteBytes : 0;
  const int64_t needed = paletteBytes + (onlyFirst ? StoredSize(layout, width, height) : total);
  if (needed > left)
    RaiseImagingFormat("DDS data is truncated: %ux%u surfaces need %lld bytes, %lld are present.",
                       width, height, (long long)needed, (long long)left);
  uint8_t palette[kPaletteBytes];
  if (paletteBytes) stream.ReadExact(palette, paletteBytes, "the DDS palette");

  std::vector<uint8_t> stored;
  for (const TSurface& s : surfaces) {
    TImageData image;
    if (!ImageCreate(s.Width, s.Height, layout.Format, image))
      RaiseImagingFormat("Cannot create a %dx%d image.", s.Width, s.Height);
    const int64_t size = StoredSize(layout, s.Width, s.Height);
    if (layout.Decode == TDecode::Copy || layout.Decode == TDecode::Palette) {
      stream.ReadExact(image.bits(), size, "DDS surface data");
    } else if (layout.Decode == TDecode::SwapRB) {
      stream.ReadExact(image.bits(), size, "DDS surface data");
      for (int64_t i = 0; i < size; i += 4) std::swap(image.bits()[i], image.bits()[i + 2]);
    } else {
      stored.resize(size_t(size));
      stream.ReadExact(stored.data(), size, "DDS surface data");
      DecodeMasks(layout, stored.data(), image);
    }
    if (layout.Decode == TDecode::Palette)
      for (int i = 0; i < 256; ++i)
        image.palette()[i] = {palette[4 * i + 2], palette[4 * i + 1], palette[4 * i],
                              palette[4 * i + 3]};
    images.push_back(std::move(image));
    if (onlyFirst) break;
  }

  LoadedCubeMap = cube ? 1 : 0;
  LoadedVolume = volume ? 1 : 0;
  LoadedMipMapCount = levels;
  LoadedDepth = int32_t(volume ? depth : faces);
  return true;
}

void TDDSFileFormat::ConvertForWriting(TImageData& image, const TFormatDescriptor& d) const {
  F target;
  if (d.IsIndexed || d.IsCompressed)
    target = F::A8R8G8B8;
  else if (d.IsFloat)
    target = d.Format == F::A16R16G16B16F ? F::A16B16G16R16F : F::A32B32G32R32F;
  else if (d.IsGray)
    target = d.HasAlpha ? F::A8Gray8 : d.BytesPerPixel == 1 ? F::Gray8 : F::Gray16;
  else if (d.BytesPerPixel >= 5)
    target = F::A16B16G16R16;
  else if (d.HasAlpha)
    target = F::A8R8G8B8;
  else
    target = F::X8R8G8B8;
  ImageConvert(image, target);
}

bool TDDSFileFormat::WriteImages(TIOHandle& handle, TImageSpan images,
                                 const TSaveSelection& selection) {
  const TImageSpan selected = images.subspan(
      size_t(selection.SaveFirst), size_t(selection.SaveLast) - size_t(selection.SaveFirst) + 1);
  const TWritableImage first = MakeWritableCopy(selected[0]);
  if (!first) return false;
  const TImageData& main = first.Image();
  const TFormatDescriptor& d = *GetFormatDescriptor(main.Format);
  const int64_t count = int64_t(selected.size());
  const int maxLevels = LevelsFor(main.Width, main.Height);

  // What the options ask for, when enough images are selected; otherwise a plain texture.
  bool cube = SaveCubeMap.load() != 0;
  bool volume = !cube && SaveVolume.load() != 0;
  const int faces = std::min(SaveDepth.load(), 6);
  const int32_t depth = SaveDepth.load();
  int levels = std::min(SaveMipMapCount.load(), maxLevels);
  std::vector<std::pair<int32_t, int32_t>> sizes;  // of every surface in file order
  if (cube && count >= int64_t(faces) * levels) {
    for (int f = 0; f < faces; ++f)
      for (int l = 0; l < levels; ++l)
        sizes.push_back({LevelSize(main.Width, l), LevelSize(main.Height, l)});
  } else {
    cube = false;
  }
  if (volume) {
    int64_t needed = 0;
    for (int l = 0; l < levels; ++l) needed += std::max(1, depth >> l);
    if (count >= needed) {
      for (int l = 0; l < levels; ++l)
        for (int s = 0; s < std::max(1, depth >> l); ++s)
          sizes.push_back({LevelSize(main.Width, l), LevelSize(main.Height, l)});
    } else {
      volume = false;
    }
  }
  if (!cube && !volume) {
    levels = int(std::min<int64_t>(count, maxLevels));
    for (int l = 0; l < levels; ++l)
      sizes.push_back({LevelSize(main.Width, l), LevelSize(main.Height, l)});
  }

  std::vector<uint8_t> header(kHeaderSize, 0);
  std::memcpy(header.data(), "DDS ", 4);
  uint32_t flags = kFlagsBase, caps = kCapsTexture, caps2 = 0;
  if (levels > 1) {
    flags |= kFlagMipMapCount;
    caps |= kCapsComplex | kCapsMipMap;
    PutField(header, kMipMapCountAt, uint32_t(levels));
  }
  if (cube) {
    caps |= kCapsComplex;
    caps2 = kCaps2CubeMap;
    for (int f = 0; f < faces; ++f) caps2 |= kCaps2FirstFace << f;
  }
  if (volume) {
    flags |= kFlagDepth;
    caps |= kCapsComplex;
    caps2 = kCaps2Volume;
    PutField(header, kDepthAt, uint32_t(depth));
  }
  PutField(header, kSizeAt, kHeaderLength);
  PutField(header, kFlagsAt, flags);
  PutField(header, kHeightAt, uint32_t(main.Height));
  PutField(header, kWidthAt, uint32_t(main.Width));
  PutField(header, kLinearSizeAt, uint32_t(main.Size));
  WritePixelFormat(d, header.data() + kPixelFormatAt);
  PutField(header, kCapsAt, caps);
  PutField(header, kCaps2At, caps2);
  TStream& stream = handle.Stream();
  stream.WriteExact(header.data(), kHeaderSize);
  stream.WriteExact(main.bits(), main.Size);

  for (size_t i = 1; i < sizes.size(); ++i) {
    const TImageData& source = selected[i];
    if (!ImageIsValid(source)) return false;
    const auto [w, h] = sizes[i];
    if (source.Width == w && source.Height == h && source.Format == main.Format) {
      stream.WriteExact(source.bits(), source.Size);
      continue;
    }
    TImageData surface;
    ImageClone(source, surface);
    if (surface.Width != w || surface.Height != h) {
      // Block formats are resampled through their decoded pixels.
      const TFormatDescriptor& sd = *GetFormatDescriptor(surface.Format);
      if (sd.IsCompressed) ImageConvert(surface, sd.DecodedFormat);
      ImageResize(surface, w, h, TResizeFilter::Bilinear);
    }
    if (surface.Format != main.Format) ImageConvert(surface, main.Format);
    stream.WriteExact(surface.bits(), surface.Size);
  }
  return true;
}

}  // namespace pixolan::imaging
