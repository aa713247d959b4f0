#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "imaging/formats/BlockCodecs.h"
#include "imaging/geometry/NearestResample.h"
#include "imaging/image/ConvertInternal.h"
#include "imaging/image/Errors.h"
#include "imaging/image/Imaging.h"
#include "imaging/io/Options.h"
#include "imaging/palette/Palette.h"
#include "imaging/palette/Quantizer.h"

namespace pixolan::imaging {

namespace {

using F = TImageFormatId;

enum class Kind { Indexed, Gray, Float, Channel };

Kind KindOf(const TFormatDescriptor& d) {
  if (d.IsIndexed) return Kind::Indexed;
  if (d.IsGray) return Kind::Gray;
  if (d.IsFloat) return Kind::Float;
  return Kind::Channel;
}

bool Is32BitChannel(F f) {
  return f == F::A8R8G8B8 || f == F::X8R8G8B8;
}
bool IsByteChannel(F f) {
  return f == F::R8G8B8 || Is32BitChannel(f);
}

uint16_t ClampWord(int64_t v) {
  return uint16_t(std::clamp<int64_t>(v, 0, 65535));
}

// Float channel to a 16-bit value: clamped to 0..1 first; NaN counts as 0.
uint16_t FloatToWord(float v) {
  if (!(v > 0.0f)) return 0;
  if (v >= 1.0f) return 65535;
  return ClampWord(RoundEven(double(v) * 65535.0));
}

uint8_t FloatToByte(float v) {
  if (!(v > 0.0f)) return 0;
  if (v >= 1.0f) return 255;
  return uint8_t(std::clamp<int64_t>(RoundEven(double(v) * 255.0), 0, 255));
}

uint16_t Gray16Of(uint16_t r, uint16_t g, uint16_t b) {
  return ClampWord(
      RoundEven(double(kGrayWeightR) * r + double(kGrayWeightG) * g + double(kGrayWeightB) * b));
}

// The gray weights are 32-bit floats, all whole multiples of 2^-27, so integer tables
// scaled by 2^27 give exactly the sums (and ties) of the floating-point formula.
struct GrayTables {
  std::array<int64_t, 256> r{}, g{}, b{};
  GrayTables() {
    for (int v = 0; v < 256; ++v) {
      r[size_t(v)] = int64_t(double(kGrayWeightR) * 134217728.0) * v;
      g[size_t(v)] = int64_t(double(kGrayWeightG) * 134217728.0) * v;
      b[size_t(v)] = int64_t(double(kGrayWeightB) * 134217728.0) * v;
    }
  }
};
const GrayTables kGray;

inline uint8_t GrayOfBytesFast(uint8_t r, uint8_t g, uint8_t b) {
  const int64_t sum = kGray.r[r] + kGray.g[g] + kGray.b[b];
  // Round half to even without a branch: a remainder above one half, or exactly one half
  // with an odd quotient, carries into the quotient. White stays at 255 (weights sum to
  // just above 1, far below half a step).
  constexpr int64_t half = int64_t(1) << 26;
  return uint8_t((sum + (half - 1) + ((sum >> 27) & 1)) >> 27);
}

TPixel64 Pixel64OfGray(uint16_t gray, uint16_t alpha) {
  return {gray, gray, gray, alpha};
}

TPixel64 Pixel64OfFloat(const TPixelFP& f) {
  return {FloatToWord(f.B), FloatToWord(f.G), FloatToWord(f.R), FloatToWord(f.A)};
}

// Palette bytes widened by 257 so that 255 stays full scale in 16-bit targets.
TPixel64 Pixel64OfEntry(TPixel32 c) {
  return {uint16_t(c.B * 257u), uint16_t(c.G * 257u), uint16_t(c.R * 257u), uint16_t(c.A * 257u)};
}

void ConvertOnePixel(const uint8_t* s, const TFormatDescriptor& sd, const TPixel32* spal,
                     uint8_t* t, const TFormatDescriptor& td) {
  const Kind from = KindOf(sd), to = KindOf(td);
  switch (from) {
    case Kind::Channel: {
      if (to == Kind::Channel) {
        if (sd.Format == F::R8G8B8 && Is32BitChannel(td.Format)) {
          t[0] = s[0], t[1] = s[1], t[2] = s[2];
          t[3] = td.HasAlpha ? 255 : 0;
        } else if (Is32BitChannel(sd.Format) && td.Format == F::R8G8B8) {
          t[0] = s[0], t[1] = s[1], t[2] = s[2];
        } else {
          WriteChannelPixel64(td, t, ReadChannelPixel64(sd, s));
        }
      } else if (to == Kind::Gray) {
        if (IsByteChannel(sd.Format) && td.Format == F::Gray8) {
          t[0] = detail::GrayOfBytes(s[2], s[1], s[0]);
        } else {
          const TPixel64 v = ReadChannelPixel64(sd, s);
          WriteGrayPixel16(td, t, Gray16Of(v.R, v.G, v.B), v.A);
        }
      } else if (to == Kind::Float) {
        const TPixel64 v = ReadChannelPixel64(sd, s);
        WriteFloatPixel(td, t,
                        {v.B * kInv65535, v.G * kInv65535, v.R * kInv65535, v.A * kInv65535});
      }
      return;
    }
    case Kind::Gray: {
      uint16_t g, a;
      if (to == Kind::Channel) {
        if (sd.Format == F::Gray8 && IsByteChannel(td.Format)) {
          t[0] = t[1] = t[2] = s[0];
          if (Is32BitChannel(td.Format)) t[3] = td.HasAlpha ? 255 : 0;
        } else {
          ReadGrayPixel16(sd, s, g, a);
          WriteChannelPixel64(td, t, Pixel64OfGray(g, a));
        }
      } else if (to == Kind::Gray) {
        if (sd.Format == F::Gray8 && td.Format == F::Gray16) {
          const uint16_t v = uint16_t(s[0] << 8);
          std::memcpy(t, &v, 2);
        } else if (sd.Format == F::Gray16 && td.Format == F::Gray8) {
          uint16_t v;
          std::memcpy(&v, s, 2);
          t[0] = uint8_t(v >> 8);
        } else {
          ReadGrayPixel16(sd, s, g, a);
          WriteGrayPixel16(td, t, g, a);
        }
      } else if (to == Kind::Float) {
        ReadGrayPixel16(sd, s, g, a);
        WriteFloatPixel(td, t, {g * kInv65535, g * kInv65535, g * kInv65535, a * kInv65535});
      }
      return;
    }
    case Kind::Float: {
      const TPixelFP f = ReadFloatPixel(sd, s);
      if (to == Kind::Channel) {
        WriteChannelPixel64(td, t, Pixel64OfFloat(f));
      } else if (to == Kind::Gray) {
        const double gray =
            (double(kGrayWeightR) * f.R + double(kGrayWeightG) * f.G + double(kGrayWeightB) * f.B) *
            65535.0;
        const uint16_t g16 =
            std::isnan(gray) ? 0 : ClampWord(RoundEven(std::clamp(gray, -1.0, 65536.0)));
        WriteGrayPixel16(td, t, g16, FloatToWord(f.A));
      } else if (to == Kind::Float) {
        WriteFloatPixel(td, t, f);
      }
      return;
    }
    case Kind::Indexed: {
      const TPixel32 c = spal ? spal[s[0]] : TPixel32{};
      if (to == Kind::Channel) {
        if (td.Format == F::R8G8B8 || td.Format == F::A8R8G8B8) {
          t[0] = c.B, t[1] = c.G, t[2] = c.R;
          if (td.Format == F::A8R8G8B8) t[3] = c.A;
        } else {
          WriteChannelPixel64(td, t, Pixel64OfEntry(c));
        }
      } else if (to == Kind::Gray) {
        const uint8_t g8 = detail::GrayOfBytes(c.R, c.G, c.B);
        if (td.Format == F::Gray8)
          t[0] = g8;
        else
          WriteGrayPixel16(td, t, uint16_t(g8 * 65535u / 255u), uint16_t(c.A * 257u));
      } else if (to == Kind::Float) {
        WriteFloatPixel(td, t, {c.B * kInv255, c.G * kInv255, c.R * kInv255, c.A * kInv255});
      }
      return;
    }
  }
}

// Checked byte size of an image in a format, refusing what the 32-bit Size cannot hold.
int32_t CheckedByteSize(const TFormatDescriptor& d, int32_t width, int32_t height) {
  const int64_t size = d.ByteSize(d.Format, width, height);
  if (size <= 0 || size > INT32_MAX)
    throw EImagingError("The converted image would need " + std::to_string(size) +
                        " bytes, more than an image may hold.");
  return int32_t(size);
}

// Converts an ordinary image to an indexed one.
void ConvertToIndexed(const TImageData& image, const TFormatDescriptor& sd,
                      const TFormatDescriptor& td, uint8_t* dst, TPixel32* palette) {
  const int64_t count = int64_t(image.Width) * image.Height;
  const uint8_t* s = image.bits();
  switch (KindOf(sd)) {
    case Kind::Gray: {
      PaletteFillGray(palette, td.PaletteSize);
      if (sd.Format == F::Gray8) {
        std::memcpy(dst, s, size_t(count));
        return;
      }
      int log2Entries = 0;
      while ((1 << (log2Entries + 1)) <= td.PaletteSize) ++log2Entries;
      for (int64_t i = 0; i < count; ++i, s += sd.BytesPerPixel) {
        uint16_t g, a;
        ReadGrayPixel16(sd, s, g, a);
        dst[i] = uint8_t(g >> (16 - log2Entries));
      }
      return;
    }
    case Kind::Float: {
      const TFormatDescriptor& argb = *GetFormatDescriptor(F::A8R8G8B8);
      auto bytes = AllocBits(size_t(count) * 4);
      for (int64_t i = 0; i < count; ++i, s += sd.BytesPerPixel) {
        const TPixelFP f = ReadFloatPixel(sd, s);
        uint8_t* p = bytes.get() + i * 4;
        p[0] = FloatToByte(f.B), p[1] = FloatToByte(f.G), p[2] = FloatToByte(f.R);
        p[3] = FloatToByte(f.A);
      }
      MedianCutQuantizer(int32_t(count), bytes.get(), argb, dst, 1, palette, kQuantAllSteps,
                         uint8_t(EngineGetOption(kOptionColorReductionMask)), td.PaletteSize);
      return;
    }
    case Kind::Channel:
      MedianCutQuantizer(int32_t(count), s, sd, dst, 1, palette, kQuantAllSteps,
                         uint8_t(EngineGetOption(kOptionColorReductionMask)), td.PaletteSize);
      return;
    case Kind::Indexed:
      std::memcpy(dst, s, size_t(count));
      std::memcpy(palette, image.palette(), size_t(td.PaletteSize) * 4);
      return;
  }
}

void ConvertOrdinary(TImageData& image, const TFormatDescriptor& sd, const TFormatDescriptor& td) {
  const int32_t size = CheckedByteSize(td, image.Width, image.Height);
  auto bits = AllocBits(size_t(size));
  std::unique_ptr<TPixel32[]> palette;
  if (td.PaletteSize > 0) palette = AllocPalette(size_t(td.PaletteSize));

  if (td.IsIndexed) {
    ConvertToIndexed(image, sd, td, bits.get(), palette.get());
  } else {
    const int64_t count = int64_t(image.Width) * image.Height;
    if (!detail::ConvertPixelsFast(image.bits(), sd, image.palette(), bits.get(), td, count))
      detail::ConvertPixelsGeneric(image.bits(), sd, image.palette(), bits.get(), td, count);
  }
  image.Bits = std::move(bits);
  image.Palette = std::move(palette);
  image.Size = size;
  image.Format = td.Format;
}

using BlockCodec = void (*)(const uint8_t*, int, int, uint8_t*);

BlockCodec DecoderOf(F f) {
  switch (f) {
    case F::DXT1:
      return blocks::DecodeDXT1;
    case F::DXT3:
      return blocks::DecodeDXT3;
    case F::DXT5:
      return blocks::DecodeDXT5;
    case F::BTC:
      return blocks::DecodeBTC;
    case F::ATI1N:
      return blocks::DecodeATI1N;
    case F::ATI2N:
      return blocks::DecodeATI2N;
    default:
      return nullptr;
  }
}

BlockCodec EncoderOf(F f) {
  switch (f) {
    case F::DXT1:
      return blocks::EncodeDXT1;
    case F::DXT3:
      return blocks::EncodeDXT3;
    case F::DXT5:
      return blocks::EncodeDXT5;
    case F::BTC:
      return blocks::EncodeBTC;
    case F::ATI1N:
      return blocks::EncodeATI1N;
    case F::ATI2N:
      return blocks::EncodeATI2N;
    default:
      return nullptr;
  }
}

// Compressed image -> its decoded format, at its own width and height.
void Decompress(TImageData& image, const TFormatDescriptor& sd) {
  const TFormatDescriptor& dd = *GetFormatDescriptor(sd.DecodedFormat);
  int32_t fw = image.Width, fh = image.Height;
  sd.FitDimensions(sd.Format, fw, fh);
  auto full = AllocBits(size_t(int64_t(fw) * fh * dd.BytesPerPixel));
  DecoderOf(sd.Format)(image.bits(), fw, fh, full.get());

  const int32_t size = CheckedByteSize(dd, image.Width, image.Height);
  auto bits = AllocBits(size_t(size));
  const int64_t row = int64_t(image.Width) * dd.BytesPerPixel;
  for (int32_t y = 0; y < image.Height; ++y)
    std::memcpy(bits.get() + y * row, full.get() + int64_t(y) * fw * dd.BytesPerPixel, size_t(row));
  image.Bits = std::move(bits);
  image.Palette.reset();
  image.Size = size;
  image.Format = dd.Format;
}

// Ordinary image already in the target's decoded format -> compressed target; sizes that
// are not multiples of 4 are first resized by nearest-neighbour sampling.
void Compress(TImageData& image, const TFormatDescriptor& td) {
  const TFormatDescriptor& dd = *GetFormatDescriptor(td.DecodedFormat);
  int32_t fw = image.Width, fh = image.Height;
  td.FitDimensions(td.Format, fw, fh);
  const int32_t size = CheckedByteSize(td, fw, fh);
  if (fw != image.Width || fh != image.Height) {
    if (int64_t(fw) * fh > kMaxImagePixels)
      throw EImagingError("The padded image exceeds the pixel limit.");
    auto resized = AllocBits(size_t(int64_t(fw) * fh * dd.BytesPerPixel));
    ResampleNearest(image.bits(), int64_t(image.Width) * dd.BytesPerPixel, image.Width,
                    image.Height, resized.get(), int64_t(fw) * dd.BytesPerPixel, fw, fh,
                    dd.BytesPerPixel);
    image.Bits = std::move(resized);
    image.Width = fw;
    image.Height = fh;
    image.Size = int32_t(int64_t(fw) * fh * dd.BytesPerPixel);
  }
  auto bits = AllocBits(size_t(size));
  EncoderOf(td.Format)(image.bits(), fw, fh, bits.get());
  image.Bits = std::move(bits);
  image.Palette.reset();
  image.Size = size;
  image.Format = td.Format;
}

}  // namespace

namespace detail {

uint8_t GrayOfBytes(uint8_t r, uint8_t g, uint8_t b) {
  return GrayOfBytesFast(r, g, b);
}

void ConvertPixelsGeneric(const uint8_t* src, const TFormatDescriptor& sd,
                          const TPixel32* srcPalette, uint8_t* dst, const TFormatDescriptor& td,
                          int64_t count) {
  for (int64_t i = 0; i < count; ++i, src += sd.BytesPerPixel, dst += td.BytesPerPixel)
    ConvertOnePixel(src, sd, srcPalette, dst, td);
}

bool ConvertPixelsFast(const uint8_t* s, const TFormatDescriptor& sd, const TPixel32* srcPalette,
                       uint8_t* t, const TFormatDescriptor& td, int64_t count) {
  const F from = sd.Format, to = td.Format;
  if (from == F::R8G8B8 && Is32BitChannel(to)) {
    const uint8_t fourth = to == F::A8R8G8B8 ? 255 : 0;
    for (int64_t i = 0; i < count; ++i, s += 3, t += 4)
      t[0] = s[0], t[1] = s[1], t[2] = s[2], t[3] = fourth;
    return true;
  }
  if (Is32BitChannel(from) && to == F::R8G8B8) {
    for (int64_t i = 0; i < count; ++i, s += 4, t += 3) t[0] = s[0], t[1] = s[1], t[2] = s[2];
    return true;
  }
  if (Is32BitChannel(from) && Is32BitChannel(to)) {
    // Through the 16-bit intermediate the colour bytes survive unchanged; the fourth
    // byte is opaque alpha for A8R8G8B8 and zero for X8R8G8B8.
    const uint32_t fourth = to == F::A8R8G8B8 ? 0xFF000000u : 0u;
    for (int64_t i = 0; i < count; ++i, s += 4, t += 4) {
      uint32_t v;
      std::memcpy(&v, s, 4);
      v = (v & 0x00FFFFFFu) | fourth;
      std::memcpy(t, &v, 4);
    }
    return true;
  }
  if (IsByteChannel(from) && to == F::Gray8) {
    const int step = sd.BytesPerPixel;
    for (int64_t i = 0; i < count; ++i, s += step) t[i] = GrayOfBytesFast(s[2], s[1], s[0]);
    return true;
  }
  if (from == F::Gray8 && IsByteChannel(to)) {
    if (to == F::R8G8B8) {
      for (int64_t i = 0; i < count; ++i, t += 3) t[0] = t[1] = t[2] = s[i];
    } else {
      const uint32_t fourth = to == F::A8R8G8B8 ? 0xFF000000u : 0u;
      for (int64_t i = 0; i < count; ++i, t += 4) {
        const uint32_t v = s[i] * 0x010101u | fourth;
        std::memcpy(t, &v, 4);
      }
    }
    return true;
  }
  if (from == F::Index8 && (to == F::A8R8G8B8 || to == F::R8G8B8) && srcPalette) {
    if (to == F::A8R8G8B8) {
      for (int64_t i = 0; i < count; ++i, t += 4) std::memcpy(t, &srcPalette[s[i]], 4);
    } else {
      for (int64_t i = 0; i < count; ++i, t += 3) std::memcpy(t, &srcPalette[s[i]], 3);
    }
    return true;
  }
  return false;
}

}  // namespace detail

bool ImageConvert(TImageData& image, TImageFormatId format) {
  format = ResolveFormat(format);
  const TFormatDescriptor* td = GetFormatDescriptor(format);
  const TFormatDescriptor* sd = GetFormatDescriptor(image.Format);
  if (!td || !sd || !ImageIsValid(image)) return false;
  if (sd == td) return true;
  try {
    if (sd->RedBlueTwin == format) {
      ImageSwapChannels(image, 2, 0);
      image.Format = format;
    } else if (sd->IsCompressed || td->IsCompressed) {
      if (sd->IsCompressed) Decompress(image, *sd);
      if (td->IsCompressed) {
        const TFormatDescriptor& nearest = *GetFormatDescriptor(td->DecodedFormat);
        if (image.Format != nearest.Format)
          ConvertOrdinary(image, *GetFormatDescriptor(image.Format), nearest);
        Compress(image, *td);
      } else if (image.Format != format) {
        ConvertOrdinary(image, *GetFormatDescriptor(image.Format), *td);
      }
    } else {
      ConvertOrdinary(image, *sd, *td);
    }
  } catch (const std::exception&) {
    RaiseImaging("Error while converting image to format \"" + FormatName(format) + "\". " +
                 ImageDescribe(image));
  }
  return true;
}

}  // namespace pixolan::imaging
