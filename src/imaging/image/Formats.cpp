#include "imaging/image/Formats.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "imaging/image/ByteOrder.h"
#include "imaging/palette/Palette.h"

namespace pixolan::imaging {

namespace {

using F = TImageFormatId;

float LoadFloat(const uint8_t* p) {
  float v;
  std::memcpy(&v, p, 4);
  return v;
}
void StoreFloat(uint8_t* p, float v) {
  std::memcpy(p, &v, 4);
}

uint8_t ClampByte(int64_t v) {
  return uint8_t(std::clamp<int64_t>(v, 0, 255));
}
uint16_t ClampWord(int64_t v) {
  return uint16_t(std::clamp<int64_t>(v, 0, 65535));
}

// Float channel to byte/word: clamped as a double first, so that infinities and huge values
// saturate instead of overflowing the integer conversion; NaN counts as 0.
uint8_t FloatToByte(float v) {
  if (std::isnan(v)) return 0;
  return ClampByte(RoundEven(std::clamp(double(v) * 255.0, 0.0, 255.0)));
}
uint16_t FloatToWord(float v) {
  if (std::isnan(v)) return 0;
  return ClampWord(RoundEven(std::clamp(double(v) * 65535.0, 0.0, 65535.0)));
}

uint8_t GrayOfBytes(uint8_t r, uint8_t g, uint8_t b) {
  return ClampByte(
      RoundEven(double(kGrayWeightR) * r + double(kGrayWeightG) * g + double(kGrayWeightB) * b));
}

TPackedLayout MakeLayout(int a, int r, int g, int b) {
  auto channel = [](int bits, int shift) {
    TPackedChannel c;
    c.Bits = uint8_t(bits);
    c.Shift = uint8_t(shift);
    c.Max = bits ? uint8_t((1u << bits) - 1) : 1;
    c.Mask = bits ? ((1u << bits) - 1) << shift : 0;
    return c;
  };
  TPackedLayout l;
  l.A = channel(a, r + g + b);
  l.R = channel(r, g + b);
  l.G = channel(g, b);
  l.B = channel(b, 0);
  return l;
}

const TPackedLayout kLayoutX5R1G1B1 = MakeLayout(0, 1, 1, 1);
const TPackedLayout kLayoutR3G3B2 = MakeLayout(0, 3, 3, 2);
const TPackedLayout kLayoutR5G6B5 = MakeLayout(0, 5, 6, 5);
const TPackedLayout kLayoutA1R5G5B5 = MakeLayout(1, 5, 5, 5);
const TPackedLayout kLayoutA4R4G4B4 = MakeLayout(4, 4, 4, 4);
const TPackedLayout kLayoutX1R5G5B5 = MakeLayout(0, 5, 5, 5);
const TPackedLayout kLayoutX4R4G4B4 = MakeLayout(0, 4, 4, 4);

int64_t OrdinaryByteSize(TImageFormatId format, int64_t width, int64_t height) {
  const TFormatDescriptor* d = GetFormatDescriptor(format);
  if (!d || width <= 0 || height <= 0) return 0;
  return width * height * d->BytesPerPixel;
}

void OrdinaryFit(TImageFormatId, int32_t&, int32_t&) {}

int64_t RoundUp4(int64_t v) {
  return (v + 3) / 4 * 4;
}

int64_t CompressedByteSize(TImageFormatId format, int64_t width, int64_t height) {
  if (width <= 0 || height <= 0) return 0;
  const int64_t w = RoundUp4(width), h = RoundUp4(height);
  switch (format) {
    case F::DXT1:
    case F::ATI1N:
      return w * h / 2;
    case F::DXT3:
    case F::DXT5:
    case F::ATI2N:
      return w * h;
    case F::BTC:
      return w * h / 4;
    default:
      return 0;
  }
}

void CompressedFit(TImageFormatId, int32_t& width, int32_t& height) {
  width = int32_t(RoundUp4(width));
  height = int32_t(RoundUp4(height));
}

// --- generic accessors over the integer and float intermediates ---

TPixel32 GenericReadPixel32(const TFormatDescriptor& d, const uint8_t* p, const TPixel32* palette) {
  switch (d.Format) {
    case F::A8R8G8B8:
      return {p[0], p[1], p[2], p[3]};
    case F::R8G8B8:
      return {p[0], p[1], p[2], 255};
    case F::Index8:
      return palette ? palette[p[0]] : TPixel32{};
    default:
      break;
  }
  if (d.IsFloat) {
    const TPixelFP f = ReadFloatPixel(d, p);
    return {FloatToByte(f.B), FloatToByte(f.G), FloatToByte(f.R), FloatToByte(f.A)};
  }
  if (d.IsGray) {
    uint16_t g, a;
    ReadGrayPixel16(d, p, g, a);
    const uint8_t g8 = uint8_t(g * 255u / 65535u);
    return {g8, g8, g8, uint8_t(a * 255u / 65535u)};
  }
  const TPixel64 v = ReadChannelPixel64(d, p);
  return {uint8_t(v.B * 255u / 65535u), uint8_t(v.G * 255u / 65535u), uint8_t(v.R * 255u / 65535u),
          uint8_t(v.A * 255u / 65535u)};
}

void GenericWritePixel32(const TFormatDescriptor& d, uint8_t* p, const TPixel32* palette,
                         TPixel32 c) {
  switch (d.Format) {
    case F::A8R8G8B8:
      p[0] = c.B, p[1] = c.G, p[2] = c.R, p[3] = c.A;
      return;
    case F::R8G8B8:
      p[0] = c.B, p[1] = c.G, p[2] = c.R;
      return;
    case F::Index8: {
      // No entry at all within reach cannot be expressed as an index; take the first.
      const int32_t index = palette ? PaletteFindColor(palette, d.PaletteSize, c) : 0;
      p[0] = uint8_t(std::max(index, 0));
      return;
    }
    default:
      break;
  }
  if (d.IsFloat) {
    WriteFloatPixel(d, p, {c.B * kInv255, c.G * kInv255, c.R * kInv255, c.A * kInv255});
    return;
  }
  if (d.IsGray) {
    const uint32_t g = GrayOfBytes(c.R, c.G, c.B);
    WriteGrayPixel16(d, p, uint16_t(g * 65535u / 255u), uint16_t(c.A * 65535u / 255u));
    return;
  }
  TPixel64 v;
  v.B = uint16_t(c.B * 65535u / 255u);
  v.G = uint16_t(c.G * 65535u / 255u);
  v.R = uint16_t(c.R * 65535u / 255u);
  v.A = uint16_t(c.A * 65535u / 255u);
  WriteChannelPixel64(d, p, v);
}

TPixelFP GenericReadPixelFP(const TFormatDescriptor& d, const uint8_t* p, const TPixel32* palette) {
  switch (d.Format) {
    case F::A8R8G8B8:
      return {p[0] * kInv255, p[1] * kInv255, p[2] * kInv255, p[3] * kInv255};
    case F::R8G8B8:
      return {p[0] * kInv255, p[1] * kInv255, p[2] * kInv255, 1.0f};
    case F::Index8: {
      const TPixel32 c = palette ? palette[p[0]] : TPixel32{};
      return {c.B * kInv255, c.G * kInv255, c.R * kInv255, c.A * kInv255};
    }
    case F::Gray8:
      return {p[0] * kInv255, p[0] * kInv255, p[0] * kInv255, 1.0f};
    case F::A8Gray8:
      return {p[0] * kInv255, p[0] * kInv255, p[0] * kInv255, p[1] * kInv255};
    default:
      break;
  }
  if (d.IsFloat) return ReadFloatPixel(d, p);
  if (d.IsGray) {
    uint16_t g, a;
    ReadGrayPixel16(d, p, g, a);
    return {g * kInv65535, g * kInv65535, g * kInv65535, a * kInv65535};
  }
  const TPixel64 v = ReadChannelPixel64(d, p);
  return {v.B * kInv65535, v.G * kInv65535, v.R * kInv65535, v.A * kInv65535};
}

void GenericWritePixelFP(const TFormatDescriptor& d, uint8_t* p, const TPixel32* palette,
                         const TPixelFP& c) {
  switch (d.Format) {
    case F::A8R8G8B8:
      p[0] = FloatToByte(c.B), p[1] = FloatToByte(c.G), p[2] = FloatToByte(c.R);
      p[3] = FloatToByte(c.A);
      return;
    case F::R8G8B8:
      p[0] = FloatToByte(c.B), p[1] = FloatToByte(c.G), p[2] = FloatToByte(c.R);
      return;
    case F::Index8: {
      const TPixel32 c32{FloatToByte(c.B), FloatToByte(c.G), FloatToByte(c.R), FloatToByte(c.A)};
      const int32_t index = palette ? PaletteFindColor(palette, d.PaletteSize, c32) : 0;
      p[0] = uint8_t(std::max(index, 0));
      return;
    }
    default:
      break;
  }
  if (d.IsFloat) {
    WriteFloatPixel(d, p, c);
    return;
  }
  if (d.IsGray) {
    const float gray = c.R * kGrayWeightR + c.G * kGrayWeightG + c.B * kGrayWeightB;
    WriteGrayPixel16(d, p, FloatToWord(gray), FloatToWord(c.A));
    return;
  }
  TPixel64 v;
  v.B = FloatToWord(c.B), v.G = FloatToWord(c.G), v.R = FloatToWord(c.R), v.A = FloatToWord(c.A);
  WriteChannelPixel64(d, p, v);
}

struct DescriptorTable {
  std::array<TFormatDescriptor, 256> table{};
  std::array<bool, 256> present{};
  std::vector<TImageFormatId> ids;

  struct Flags {
    bool gray = false, alpha = false, fl = false, swapped = false, indexed = false,
         compressed = false;
  };

  void Add(TImageFormatId id, const char* name, int bpp, int channels, Flags f,
           TImageFormatId twin = F::Unknown, const TPackedLayout* layout = nullptr,
           TImageFormatId decoded = F::Unknown) {
    TFormatDescriptor d;
    d.Format = id;
    std::strncpy(d.Name, name, sizeof(d.Name) - 1);
    d.BytesPerPixel = bpp;
    d.Channels = channels;
    d.PaletteSize = f.indexed ? 256 : 0;
    d.IsGray = f.gray;
    d.HasAlpha = f.alpha;
    d.IsFloat = f.fl;
    d.UsesPackedLayout = layout != nullptr;
    d.RedBlueSwapped = f.swapped;
    d.RedBlueTwin = twin;
    d.IsIndexed = f.indexed;
    d.IsCompressed = f.compressed;
    d.Layout = layout;
    d.DecodedFormat = decoded;
    if (f.compressed) {
      d.ByteSize = CompressedByteSize;
      d.FitDimensions = CompressedFit;
    } else {
      d.ByteSize = OrdinaryByteSize;
      d.FitDimensions = OrdinaryFit;
      d.ReadPixel32 = GenericReadPixel32;
      d.WritePixel32 = GenericWritePixel32;
      d.ReadPixelFP = GenericReadPixelFP;
      d.WritePixelFP = GenericWritePixelFP;
    }
    table[size_t(id)] = d;
    present[size_t(id)] = true;
    ids.push_back(id);
  }

  DescriptorTable() {
    Add(F::Index8, "Index8", 1, 1, {.indexed = true});
    Add(F::Gray8, "Gray8", 1, 1, {.gray = true});
    Add(F::A8Gray8, "A8Gray8", 2, 2, {.gray = true, .alpha = true});
    Add(F::Gray16, "Gray16", 2, 1, {.gray = true});
    Add(F::Gray32, "Gray32", 4, 1, {.gray = true});
    Add(F::Gray64, "Gray64", 8, 1, {.gray = true});
    Add(F::A16Gray16, "A16Gray16", 4, 2, {.gray = true, .alpha = true});
    Add(F::X5R1G1B1, "X5R1G1B1", 1, 3, {}, F::Unknown, &kLayoutX5R1G1B1);
    Add(F::R3G3B2, "R3G3B2", 1, 3, {}, F::Unknown, &kLayoutR3G3B2);
    Add(F::R5G6B5, "R5G6B5", 2, 3, {}, F::Unknown, &kLayoutR5G6B5);
    Add(F::A1R5G5B5, "A1R5G5B5", 2, 4, {.alpha = true}, F::Unknown, &kLayoutA1R5G5B5);
    Add(F::A4R4G4B4, "A4R4G4B4", 2, 4, {.alpha = true}, F::Unknown, &kLayoutA4R4G4B4);
    Add(F::X1R5G5B5, "X1R5G5B5", 2, 3, {}, F::Unknown, &kLayoutX1R5G5B5);
    Add(F::X4R4G4B4, "X4R4G4B4", 2, 3, {}, F::Unknown, &kLayoutX4R4G4B4);
    Add(F::R8G8B8, "R8G8B8", 3, 3, {});
    Add(F::A8R8G8B8, "A8R8G8B8", 4, 4, {.alpha = true});
    Add(F::X8R8G8B8, "X8R8G8B8", 4, 3, {});
    Add(F::R16G16B16, "R16G16B16", 6, 3, {}, F::B16G16R16);
    Add(F::A16R16G16B16, "A16R16G16B16", 8, 4, {.alpha = true}, F::A16B16G16R16);
    Add(F::B16G16R16, "B16G16R16", 6, 3, {.swapped = true}, F::R16G16B16);
    Add(F::A16B16G16R16, "A16B16G16R16", 8, 4, {.alpha = true, .swapped = true}, F::A16R16G16B16);
    Add(F::R32F, "R32F", 4, 1, {.fl = true});
    Add(F::A32R32G32B32F, "A32R32G32B32F", 16, 4, {.alpha = true, .fl = true}, F::A32B32G32R32F);
    Add(F::A32B32G32R32F, "A32B32G32R32F", 16, 4, {.alpha = true, .fl = true, .swapped = true},
        F::A32R32G32B32F);
    Add(F::R16F, "R16F", 2, 1, {.fl = true});
    Add(F::A16R16G16B16F, "A16R16G16B16F", 8, 4, {.alpha = true, .fl = true}, F::A16B16G16R16F);
    Add(F::A16B16G16R16F, "A16B16G16R16F", 8, 4, {.alpha = true, .fl = true, .swapped = true},
        F::A16R16G16B16F);
    Add(F::DXT1, "DXT1", 0, 4, {.alpha = true, .compressed = true}, F::Unknown, nullptr,
        F::A8R8G8B8);
    Add(F::DXT3, "DXT3", 0, 4, {.alpha = true, .compressed = true}, F::Unknown, nullptr,
        F::A8R8G8B8);
    Add(F::DXT5, "DXT5", 0, 4, {.alpha = true, .compressed = true}, F::Unknown, nullptr,
        F::A8R8G8B8);
    Add(F::BTC, "BTC", 0, 1, {.compressed = true}, F::Unknown, nullptr, F::Gray8);
    Add(F::ATI1N, "ATI1N", 0, 1, {.compressed = true}, F::Unknown, nullptr, F::Gray8);
    Add(F::ATI2N, "ATI2N", 0, 2, {.compressed = true}, F::Unknown, nullptr, F::A8R8G8B8);
  }
};

const DescriptorTable& Table() {
  static const DescriptorTable table;
  return table;
}

}  // namespace

int64_t RoundEven(double v) {
  return int64_t(std::nearbyint(v));
}

const TFormatDescriptor* GetFormatDescriptor(TImageFormatId format) {
  format = ResolveFormat(format);
  const auto index = uint32_t(format);
  if (index >= 256) return nullptr;
  const DescriptorTable& t = Table();
  return t.present[index] ? &t.table[index] : nullptr;
}

bool FormatDescriptorOf(TImageFormatId format, TFormatDescriptor& descriptor) {
  const TFormatDescriptor* d = GetFormatDescriptor(format);
  if (!d) return false;
  descriptor = *d;
  return true;
}

std::string FormatName(TImageFormatId format) {
  const TFormatDescriptor* d = GetFormatDescriptor(format);
  return d ? std::string(d->Name) : std::string("Unknown and unsupported format");
}

TImageFormatId ResolveFormat(TImageFormatId format) {
  return format == F::Default ? F::A8R8G8B8 : format;
}

const std::vector<TImageFormatId>& AllFormats() {
  return Table().ids;
}

// --- half floats ---

uint16_t FloatToHalf(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, 4);
  const uint32_t sign = (bits >> 16) & 0x8000u;
  int32_t exponent = int32_t((bits >> 23) & 0xFF) - (127 - 15);
  uint32_t mantissa = bits & 0x007FFFFFu;

  if (exponent <= 0) {
    // Too small even for a subnormal half: zero with the sign kept.
    if (exponent < -10) return uint16_t(sign);
    mantissa |= 0x00800000u;
    const int shift = 14 - exponent;
    const uint32_t half = 1u << (shift - 1);
    mantissa = (mantissa + half) >> shift;
    return uint16_t(sign | mantissa);
  }
  if (exponent == 0xFF - (127 - 15)) {
    if (mantissa == 0) return uint16_t(sign | 0x7C00u);
    // Keep NaN a NaN even when its payload lives only in the low bits.
    mantissa >>= 13;
    return uint16_t(sign | 0x7C00u | mantissa | (mantissa == 0));
  }
  if (mantissa & 0x00001000u) {
    mantissa += 0x00002000u;
    if (mantissa & 0x00800000u) {
      mantissa = 0;
      exponent += 1;
    }
  }
  if (exponent > 30) return uint16_t(sign | 0x7C00u);  // overflow to infinity
  return uint16_t(sign | (uint32_t(exponent) << 10) | (mantissa >> 13));
}

float HalfToFloat(uint16_t half) {
  const uint32_t sign = uint32_t(half & 0x8000u) << 16;
  int32_t exponent = (half >> 10) & 0x1F;
  uint32_t mantissa = half & 0x03FFu;
  uint32_t bits;
  if (exponent == 0) {
    if (mantissa == 0) {
      bits = sign;
    } else {
      // Subnormal half: normalise into a float.
      while (!(mantissa & 0x0400u)) {
        mantissa <<= 1;
        exponent -= 1;
      }
      exponent += 1;
      mantissa &= ~0x0400u;
      bits = sign | uint32_t(exponent + (127 - 15)) << 23 | mantissa << 13;
    }
  } else if (exponent == 31) {
    bits = sign | 0x7F800000u | mantissa << 13;
  } else {
    bits = sign | uint32_t(exponent + (127 - 15)) << 23 | mantissa << 13;
  }
  float f;
  std::memcpy(&f, &bits, 4);
  return f;
}

// --- intermediates ---

TPixel64 ReadChannelPixel64(const TFormatDescriptor& d, const uint8_t* p) {
  TPixel64 v;
  if (d.UsesPackedLayout) {
    const uint32_t packed = d.BytesPerPixel == 1 ? p[0] : Get16(p);
    // Scaling to 8 bits and then by 257 keeps full scale at full scale (31 -> 65535).
    auto expand = [packed](const TPackedChannel& c) {
      return uint16_t(((packed & c.Mask) >> c.Shift) * 255u / c.Max * 257u);
    };
    const TPackedLayout& l = *d.Layout;
    v.B = expand(l.B);
    v.G = expand(l.G);
    v.R = expand(l.R);
    v.A = l.A.Bits ? expand(l.A) : 65535;
    return v;
  }
  switch (d.Format) {
    case F::R8G8B8:
    case F::X8R8G8B8:
      v = {uint16_t(p[0] * 257u), uint16_t(p[1] * 257u), uint16_t(p[2] * 257u), 65535};
      break;
    case F::A8R8G8B8:
      v = {uint16_t(p[0] * 257u), uint16_t(p[1] * 257u), uint16_t(p[2] * 257u),
           uint16_t(p[3] * 257u)};
      break;
    case F::R16G16B16:
    case F::B16G16R16:
      v = {Get16(p), Get16(p + 2), Get16(p + 4), 65535};
      break;
    case F::A16R16G16B16:
    case F::A16B16G16R16:
      v = {Get16(p), Get16(p + 2), Get16(p + 4), Get16(p + 6)};
      break;
    default:
      break;
  }
  if (d.RedBlueSwapped) std::swap(v.R, v.B);
  return v;
}

void WriteChannelPixel64(const TFormatDescriptor& d, uint8_t* p, const TPixel64& value) {
  if (d.UsesPackedLayout) {
    const TPackedLayout& l = *d.Layout;
    auto pack = [](const TPackedChannel& c, uint16_t v) -> uint32_t {
      if (!c.Bits) return 0;
      return ((uint32_t(v / 256) << c.Bits) >> 8) << c.Shift;
    };
    const uint32_t packed =
        pack(l.A, value.A) | pack(l.R, value.R) | pack(l.G, value.G) | pack(l.B, value.B);
    if (d.BytesPerPixel == 1)
      p[0] = uint8_t(packed);
    else
      Put16(p, uint16_t(packed));
    return;
  }
  TPixel64 v = value;
  if (d.RedBlueSwapped) std::swap(v.R, v.B);
  auto to8 = [](uint16_t c) { return uint8_t(c * 255u / 65535u); };
  switch (d.Format) {
    case F::R8G8B8:
      p[0] = to8(v.B), p[1] = to8(v.G), p[2] = to8(v.R);
      break;
    case F::X8R8G8B8:
      p[0] = to8(v.B), p[1] = to8(v.G), p[2] = to8(v.R), p[3] = 0;
      break;
    case F::A8R8G8B8:
      p[0] = to8(v.B), p[1] = to8(v.G), p[2] = to8(v.R), p[3] = to8(v.A);
      break;
    case F::R16G16B16:
    case F::B16G16R16:
      Put16(p, v.B), Put16(p + 2, v.G), Put16(p + 4, v.R);
      break;
    case F::A16R16G16B16:
    case F::A16B16G16R16:
      Put16(p, v.B), Put16(p + 2, v.G), Put16(p + 4, v.R), Put16(p + 6, v.A);
      break;
    default:
      break;
  }
}

void ReadGrayPixel16(const TFormatDescriptor& d, const uint8_t* p, uint16_t& gray,
                     uint16_t& alpha) {
  alpha = 65535;
  switch (d.Format) {
    case F::Gray8:
      gray = uint16_t(p[0] * 257u);
      break;
    case F::A8Gray8:
      gray = uint16_t(p[0] * 257u);
      alpha = uint16_t(p[1] * 257u);
      break;
    case F::Gray16:
      gray = Get16(p);
      break;
    case F::Gray32:
      gray = uint16_t(Get32(p) >> 16);
      break;
    case F::Gray64: {
      uint64_t g;
      std::memcpy(&g, p, 8);
      gray = uint16_t(g >> 48);
      break;
    }
    case F::A16Gray16:
      gray = Get16(p);
      alpha = Get16(p + 2);
      break;
    default:
      gray = 0;
      break;
  }
}

void WriteGrayPixel16(const TFormatDescriptor& d, uint8_t* p, uint16_t gray, uint16_t alpha) {
  switch (d.Format) {
    case F::Gray8:
      p[0] = uint8_t(gray >> 8);
      break;
    case F::A8Gray8:
      p[0] = uint8_t(gray >> 8);
      p[1] = uint8_t(alpha >> 8);
      break;
    case F::Gray16:
      Put16(p, gray);
      break;
    case F::Gray32:
      // Replicating the word keeps white white at 32 bits; reading takes the upper word.
      Put32(p, uint32_t(gray) * 0x00010001u);
      break;
    case F::Gray64: {
      const uint64_t g = uint64_t(gray) * 0x0001000100010001ull;
      std::memcpy(p, &g, 8);
      break;
    }
    case F::A16Gray16:
      Put16(p, gray);
      Put16(p + 2, alpha);
      break;
    default:
      break;
  }
}

TPixelFP ReadFloatPixel(const TFormatDescriptor& d, const uint8_t* p) {
  TPixelFP v;
  switch (d.Format) {
    case F::R32F:
      v = {0.0f, 0.0f, LoadFloat(p), 1.0f};
      break;
    case F::R16F:
      v = {0.0f, 0.0f, HalfToFloat(Get16(p)), 1.0f};
      break;
    case F::A32R32G32B32F:
    case F::A32B32G32R32F:
      v = {LoadFloat(p), LoadFloat(p + 4), LoadFloat(p + 8), LoadFloat(p + 12)};
      break;
    case F::A16R16G16B16F:
    case F::A16B16G16R16F:
      v = {HalfToFloat(Get16(p)), HalfToFloat(Get16(p + 2)), HalfToFloat(Get16(p + 4)),
           HalfToFloat(Get16(p + 6))};
      break;
    default:
      break;
  }
  if (d.RedBlueSwapped) std::swap(v.R, v.B);
  return v;
}

void WriteFloatPixel(const TFormatDescriptor& d, uint8_t* p, const TPixelFP& value) {
  TPixelFP v = value;
  if (d.RedBlueSwapped) std::swap(v.R, v.B);
  switch (d.Format) {
    case F::R32F:
      StoreFloat(p, v.R);
      break;
    case F::R16F:
      Put16(p, FloatToHalf(v.R));
      break;
    case F::A32R32G32B32F:
    case F::A32B32G32R32F:
      StoreFloat(p, v.B), StoreFloat(p + 4, v.G), StoreFloat(p + 8, v.R);
      StoreFloat(p + 12, v.A);
      break;
    case F::A16R16G16B16F:
    case F::A16B16G16R16F:
      Put16(p, FloatToHalf(v.B)), Put16(p + 2, FloatToHalf(v.G));
      Put16(p + 4, FloatToHalf(v.R)), Put16(p + 6, FloatToHalf(v.A));
      break;
    default:
      break;
  }
}

}  // namespace pixolan::imaging
