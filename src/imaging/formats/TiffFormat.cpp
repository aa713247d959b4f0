#include "imaging/formats/TiffFormat.h"

#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "imaging/geometry/Geometry.h"
#include "imaging/image/Errors.h"
#include "imaging/image/Imaging.h"

namespace pixolan::imaging {
namespace {

using F = TImageFormatId;

// Largest single allocation libtiff may make for one handle (strip and tile buffers, tag
// arrays). A strip of a legal image can be large, but never this large.
constexpr tmsize_t kMaxLibraryAllocation = tmsize_t(1) << 30;
// Decoded sample bytes of one page (all planes) at most: 16 bytes for each of the engine's
// pixels, the widest format it reads.
constexpr uint64_t kMaxDecodedBytes = uint64_t(kMaxImagePixels) * 16;

// ---- One libtiff handle over a TStream ----------------------------------------------
//
// The callbacks never let an exception into libtiff: a stream failure is kept and reported
// with libtiff's own error. libtiff's errors go to the handle's session, warnings are
// dropped.

struct TTiffSession {
  TStream* Stream = nullptr;
  int64_t Base = 0;  // stream position of the file's first byte
  std::exception_ptr StreamError;
  std::string Error;  // the first error libtiff reported since the last Clear
};

int OnError(TIFF*, void* user, const char* module, const char* format, va_list args) {
  auto& session = *static_cast<TTiffSession*>(user);
  if (session.Error.empty()) {
    char text[512];
    std::vsnprintf(text, sizeof(text), format, args);
    session.Error = module && *module ? std::string(module) + ": " + text : std::string(text);
  }
  return 1;  // handled: libtiff's process-wide handler is not called
}

int OnWarning(TIFF*, void*, const char*, const char*, va_list) {
  return 1;
}

TTiffSession& SessionOf(thandle_t handle) {
  return *static_cast<TTiffSession*>(handle);
}

tmsize_t ReadProc(thandle_t handle, void* buffer, tmsize_t size) {
  TTiffSession& session = SessionOf(handle);
  try {
    return tmsize_t(session.Stream->Read(buffer, int64_t(size)));
  } catch (...) {
    session.StreamError = std::current_exception();
    return -1;
  }
}

tmsize_t WriteProc(thandle_t handle, void* buffer, tmsize_t size) {
  TTiffSession& session = SessionOf(handle);
  try {
    return tmsize_t(session.Stream->Write(buffer, int64_t(size)));
  } catch (...) {
    session.StreamError = std::current_exception();
    return -1;
  }
}

toff_t SeekProc(thandle_t handle, toff_t offset, int whence) {
  TTiffSession& session = SessionOf(handle);
  try {
    int64_t position;
    switch (whence) {
      case SEEK_SET:
        position = session.Stream->Seek(session.Base + int64_t(offset), TSeekOrigin::Begin);
        break;
      case SEEK_CUR:
        position = session.Stream->Seek(int64_t(offset), TSeekOrigin::Current);
        break;
      default:
        position = session.Stream->Seek(int64_t(offset), TSeekOrigin::End);
        break;
    }
    return toff_t(position - session.Base);
  } catch (...) {
    session.StreamError = std::current_exception();
    return toff_t(-1);
  }
}

int CloseProc(thandle_t) {
  return 0;
}

toff_t SizeProc(thandle_t handle) {
  TTiffSession& session = SessionOf(handle);
  try {
    return toff_t(std::max<int64_t>(0, session.Stream->Size() - session.Base));
  } catch (...) {
    session.StreamError = std::current_exception();
    return 0;
  }
}

int MapProc(thandle_t, void**, toff_t*) {
  return 0;
}

void UnmapProc(thandle_t, void*, toff_t) {}

// libtiff still sends a few messages that have no handle to its process-wide handlers;
// those are silenced once, for good, as nothing in this program wants them printed.
void SilenceProcessWideHandlers() {
  static const bool silenced = [] {
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    return true;
  }();
  (void)silenced;
}

struct TOptionsDeleter {
  void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};

class TTiffHandle {
 public:
  // mode "r" or "w"; memory mapping is never used, so every read goes through the stream.
  TTiffHandle(TStream& stream, const char* mode) : session_(std::make_unique<TTiffSession>()) {
    SilenceProcessWideHandlers();
    session_->Stream = &stream;
    session_->Base = stream.Tell();
    const std::unique_ptr<TIFFOpenOptions, TOptionsDeleter> options(TIFFOpenOptionsAlloc());
    if (!options) RaiseImaging("TIFF error: out of memory.");
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), kMaxLibraryAllocation);
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), OnError, session_.get());
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), OnWarning, session_.get());
    const std::string fullMode = std::string(mode) + "m";
    tiff_ = TIFFClientOpenExt("TIFF", fullMode.c_str(), session_.get(), ReadProc, WriteProc,
                              SeekProc, CloseProc, SizeProc, MapProc, UnmapProc, options.get());
    if (!tiff_) Raise(mode[0] == 'r' ? "cannot read the file header" : "cannot start the file");
  }
  ~TTiffHandle() {
    if (tiff_) TIFFClose(tiff_);
  }
  TTiffHandle(const TTiffHandle&) = delete;
  TTiffHandle& operator=(const TTiffHandle&) = delete;

  TIFF* get() const { return tiff_; }
  // Forgets earlier errors, so that the next check sees only what a call reported.
  void Clear() { session_->Error.clear(); }
  bool HasError() const { return !session_->Error.empty() || session_->StreamError; }

  // Raises "TIFF error: <what>" with libtiff's message, or the stream's own failure.
  [[noreturn]] void Raise(const std::string& what) const {
    RaiseLibraryFailure("TIFF", what, session_->Error, session_->StreamError);
  }

 private:
  std::unique_ptr<TTiffSession> session_;  // its address is libtiff's client data
  TIFF* tiff_ = nullptr;
};

// ---- Reading ------------------------------------------------------------------------

// The best compression ratio a scheme can reach (decoded bytes per stored byte), or 0 when
// no useful bound is known (fax codes, newer schemes): their pages are bounded by the pixel
// limit alone.
uint64_t MaxCompressionRatio(uint16_t compression) {
  switch (compression) {
    case COMPRESSION_NONE:
      return 1;
    case COMPRESSION_PACKBITS:
      return 64;  // two bytes repeat one byte 128 times
    case COMPRESSION_DEFLATE:
    case COMPRESSION_ADOBE_DEFLATE:
      return 1100;  // deflate's 258-byte matches in 2 bits, with room for the stream's frame
    case COMPRESSION_LZW:
      return 2800;  // a 12-bit code stands for at most 4096 bytes
    case COMPRESSION_JPEG:
      return 2048;  // every 8x8 block needs a few bits
    default:
      return 0;
  }
}

struct TPageInfo {
  uint32_t Width = 0, Height = 0;
  uint16_t Bits = 1, Samples = 1, Planar = PLANARCONFIG_CONTIG, SampleFormat = SAMPLEFORMAT_UINT;
  uint16_t Photometric = 0xFFFF, Compression = COMPRESSION_NONE, Orientation = ORIENTATION_TOPLEFT;
  bool HasPhotometric = false;
  bool Swapped = false;
  uint16_t ExtraCount = 0;
  const uint16_t* Extra = nullptr;
};

TPageInfo PageInfoOf(TIFF* tif) {
  TPageInfo p;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &p.Width);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &p.Height);
  TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &p.Bits);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &p.Samples);
  TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &p.Planar);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &p.SampleFormat);
  TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &p.Compression);
  TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &p.Orientation);
  TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &p.ExtraCount, &p.Extra);
  p.HasPhotometric = TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &p.Photometric) == 1;
  p.Swapped = TIFFIsByteSwapped(tif) != 0;
  return p;
}

// How the samples of a page map onto the engine's format, when it is read without
// libtiff's RGBA reader.
struct TLayout {
  F Format = F::Unknown;
  int Samples = 0;  // samples per pixel in the file
  int Inks = 0;     // 1 gray/palette, 3 RGB (or CMY), 4 CMYK
  bool Cmyk = false;
  bool MinIsWhite = false;
  int Alpha = -1;  // sample index of alpha, or -1
  bool Associated = false;
  int OutColor = 0;  // color channels of the engine's format (3 for gray float to RGB)
  bool OutAlpha = false;
  int Bits = 0;  // bits per file sample
  bool Float = false;
  bool Signed = false;
  bool Planar = false;   // one plane per sample
  bool Swapped = false;  // the file's byte order is not the machine's
};

// Fills in alpha and the samples' kind. The first extra sample is alpha when it is marked
// so, and also when it is unspecified on a color page, as libtiff's RGBA reader and other
// readers take it (as straight alpha here). Further extra samples are skipped.
bool SetSamples(const TPageInfo& p, TLayout& l) {
  if (p.Samples < l.Inks) return false;
  l.Samples = p.Samples;
  l.Bits = p.Bits;
  l.Float = p.SampleFormat == SAMPLEFORMAT_IEEEFP;
  l.Signed = p.SampleFormat == SAMPLEFORMAT_INT;
  l.Planar = p.Planar == PLANARCONFIG_SEPARATE && p.Samples > 1;
  l.Swapped = p.Swapped;
  if (p.Samples > l.Inks && p.ExtraCount > 0 &&
      (p.Extra[0] == EXTRASAMPLE_ASSOCALPHA || p.Extra[0] == EXTRASAMPLE_UNASSALPHA ||
       (p.Extra[0] == EXTRASAMPLE_UNSPECIFIED && l.Inks >= 3))) {
    l.Alpha = l.Inks;
    l.Associated = p.Extra[0] == EXTRASAMPLE_ASSOCALPHA;
  }
  l.OutColor = l.Inks == 1 ? 1 : 3;
  l.OutAlpha = l.Alpha >= 0;
  return true;
}

// The layouts copied sample for sample: contiguous 8/16/32-bit unsigned and 16/32-bit float
// samples of min-is-black, RGB and 8-bit palette pages. Unknown otherwise.
TLayout NativeLayoutOf(const TPageInfo& p) {
  TLayout l;
  if (!p.HasPhotometric || (p.Planar != PLANARCONFIG_CONTIG && p.Samples > 1)) return l;
  const bool isFloat = p.SampleFormat == SAMPLEFORMAT_IEEEFP;
  if (!isFloat && p.SampleFormat != SAMPLEFORMAT_UINT) return l;
  if (isFloat ? (p.Bits != 16 && p.Bits != 32) : (p.Bits != 8 && p.Bits != 16 && p.Bits != 32))
    return l;
  if (p.Photometric == PHOTOMETRIC_MINISBLACK || p.Photometric == PHOTOMETRIC_PALETTE)
    l.Inks = 1;
  else if (p.Photometric == PHOTOMETRIC_RGB)
    l.Inks = 3;
  else
    return l;
  if (!SetSamples(p, l)) return TLayout{};
  const bool alpha = l.Alpha >= 0;
  if (p.Photometric == PHOTOMETRIC_PALETTE) {
    if (p.Bits == 8 && !isFloat && p.Samples == 1) l.Format = F::Index8;
  } else if (isFloat) {
    if (l.Inks == 1 && !alpha) {
      l.Format = p.Bits == 16 ? F::R16F : F::R32F;
    } else {
      // The engine's float formats with color all have alpha: opaque unless the file has it.
      l.Format = p.Bits == 16 ? F::A16R16G16B16F : F::A32R32G32B32F;
      l.OutColor = 3;
      l.OutAlpha = true;
    }
  } else if (l.Inks == 1) {
    if (p.Bits == 8) l.Format = alpha ? F::A8Gray8 : F::Gray8;
    if (p.Bits == 16) l.Format = alpha ? F::A16Gray16 : F::Gray16;
    if (p.Bits == 32 && !alpha) l.Format = F::Gray32;
  } else {
    if (p.Bits == 8) l.Format = alpha ? F::A8R8G8B8 : F::R8G8B8;
    if (p.Bits == 16) l.Format = alpha ? F::A16R16G16B16 : F::R16G16B16;
  }
  return l;
}

// What neither the copy above nor libtiff's RGBA reader takes: gray, RGB and CMYK samples of
// any depth up to 32 bits, 64-bit integers and floats, signed samples and separate planes.
// Samples are scaled to 8 bits (depths up to 8), 16 bits or 32-bit floats.
TLayout GenericLayoutOf(const TPageInfo& p) {
  TLayout l;
  if (!p.HasPhotometric) return l;
  switch (p.Photometric) {
    case PHOTOMETRIC_MINISBLACK:
      l.Inks = 1;
      break;
    case PHOTOMETRIC_MINISWHITE:
      l.Inks = 1;
      l.MinIsWhite = true;
      break;
    case PHOTOMETRIC_RGB:
      l.Inks = 3;
      break;
    case PHOTOMETRIC_SEPARATED:
      // Three inks are cyan, magenta and yellow without black.
      l.Inks = p.Samples >= 4 ? 4 : 3;
      l.Cmyk = true;
      break;
    default:
      return l;
  }
  if (p.SampleFormat == SAMPLEFORMAT_IEEEFP) {
    if (p.Bits != 16 && p.Bits != 32 && p.Bits != 64) return l;
  } else if (p.SampleFormat == SAMPLEFORMAT_UINT || p.SampleFormat == SAMPLEFORMAT_INT) {
    if (p.Bits < 1 || (p.Bits > 32 && p.Bits != 64)) return l;
  } else {
    return l;
  }
  if (!SetSamples(p, l)) return TLayout{};
  const bool alpha = l.Alpha >= 0;
  if (l.Float) {
    l.Format = l.Inks == 1 && !alpha ? F::R32F : F::A32R32G32B32F;
    l.OutColor = l.Format == F::R32F ? 1 : 3;
    l.OutAlpha = l.Format != F::R32F;
  } else if (l.OutColor == 1) {
    l.Format = p.Bits <= 8 ? (alpha ? F::A8Gray8 : F::Gray8) : (alpha ? F::A16Gray16 : F::Gray16);
  } else {
    l.Format =
        p.Bits <= 8 ? (alpha ? F::A8R8G8B8 : F::R8G8B8) : (alpha ? F::A16R16G16B16 : F::R16G16B16);
  }
  return l;
}

template <class T>
void CopyPixelsAs(const uint8_t* source, uint8_t* target, uint32_t count, const TLayout& l,
                  T opaque) {
  const T* s = reinterpret_cast<const T*>(source);
  T* d = reinterpret_cast<T*>(target);
  const int outChannels = l.OutColor + (l.OutAlpha ? 1 : 0);
  for (uint32_t i = 0; i < count; ++i, s += l.Samples, d += outChannels) {
    if (l.Inks == 3) {
      d[0] = s[2];
      d[1] = s[1];
      d[2] = s[0];
    } else if (l.OutColor == 3) {
      d[0] = d[1] = d[2] = s[0];
    } else {
      d[0] = s[0];
    }
    if (l.OutAlpha) d[l.OutColor] = l.Alpha >= 0 ? s[l.Alpha] : opaque;
  }
}

// Converts `count` contiguous pixels of a native layout (samples in the machine's byte
// order, as libtiff delivers them) into the engine's layout.
void CopyNative(const uint8_t* source, uint8_t* target, uint32_t count, const TLayout& l) {
  const bool isFloat = l.Float;
  switch (l.Bits) {
    case 8:
      CopyPixelsAs<uint8_t>(source, target, count, l, 0xFF);
      break;
    case 16:
      CopyPixelsAs<uint16_t>(source, target, count, l, isFloat ? FloatToHalf(1.0f) : 0xFFFF);
      break;
    default:
      if (isFloat)
        CopyPixelsAs<float>(source, target, count, l, 1.0f);
      else
        CopyPixelsAs<uint32_t>(source, target, count, l, 0xFFFFFFFFu);
      break;
  }
}

// Sample k of a row, as a value in 0..1 for integers (signed ones shifted so that the
// smallest is 0) and as stored for floats. libtiff hands 16-, 32- and 64-bit samples over in
// the machine's byte order and leaves the other depths packed most significant bit first,
// except that it reverses the bytes of 24-bit samples from files of the other byte order.
double SampleValue(const uint8_t* row, size_t k, const TLayout& l) {
  if (l.Float) {
    if (l.Bits == 16) {
      uint16_t h;
      std::memcpy(&h, row + 2 * k, 2);
      return HalfToFloat(h);
    }
    if (l.Bits == 32) {
      float f;
      std::memcpy(&f, row + 4 * k, 4);
      return f;
    }
    double d;
    std::memcpy(&d, row + 8 * k, 8);
    return d;
  }
  int bits = l.Bits;
  uint64_t v;
  switch (bits) {
    case 8:
      v = row[k];
      break;
    case 16: {
      uint16_t w;
      std::memcpy(&w, row + 2 * k, 2);
      v = w;
      break;
    }
    case 24: {
      const uint8_t* b = row + 3 * k;
      v = l.Swapped ? uint64_t(b[0]) | uint64_t(b[1]) << 8 | uint64_t(b[2]) << 16
                    : uint64_t(b[0]) << 16 | uint64_t(b[1]) << 8 | uint64_t(b[2]);
      break;
    }
    case 32: {
      uint32_t w;
      std::memcpy(&w, row + 4 * k, 4);
      v = w;
      break;
    }
    case 64:
      std::memcpy(&v, row + 8 * k, 8);
      v >>= 32;  // the top 32 bits carry everything the engine can keep
      bits = 32;
      break;
    default: {
      const size_t bit = k * size_t(bits);
      const size_t first = bit / 8, last = (bit + size_t(bits) - 1) / 8;
      uint64_t window = 0;
      for (size_t i = first; i <= last; ++i) window = window << 8 | row[i];
      v = window >> ((last + 1) * 8 - (bit + size_t(bits)));
      break;
    }
  }
  const uint64_t max = (uint64_t(1) << bits) - 1;
  v &= max;
  if (l.Signed) v ^= uint64_t(1) << (bits - 1);
  return double(v) / double(max);
}

template <class T>
T Quantized(double v) {
  if constexpr (std::is_floating_point_v<T>) {
    return T(v);
  } else {
    const double max = double(std::numeric_limits<T>::max());
    return T(std::lround(std::clamp(v, 0.0, 1.0) * max));
  }
}

template <class T>
void CopyGenericAs(const uint8_t* const* planes, uint8_t* target, uint32_t count,
                   const TLayout& l) {
  T* d = reinterpret_cast<T*>(target);
  const int outChannels = l.OutColor + (l.OutAlpha ? 1 : 0);
  for (uint32_t i = 0; i < count; ++i, d += outChannels) {
    const auto sample = [&](int c) {
      return l.Planar ? SampleValue(planes[c], i, l)
                      : SampleValue(planes[0], size_t(i) * size_t(l.Samples) + size_t(c), l);
    };
    double r, g, b;
    if (l.Cmyk) {
      // Samples are ink amounts: red = (1 - c)(1 - k), green and blue alike.
      const double white = l.Inks == 4 ? 1.0 - sample(3) : 1.0;
      r = (1.0 - sample(0)) * white;
      g = (1.0 - sample(1)) * white;
      b = (1.0 - sample(2)) * white;
    } else if (l.Inks == 3) {
      r = sample(0), g = sample(1), b = sample(2);
    } else {
      r = g = b = l.MinIsWhite ? 1.0 - sample(0) : sample(0);
    }
    if (l.OutColor == 3) {
      d[0] = Quantized<T>(b);
      d[1] = Quantized<T>(g);
      d[2] = Quantized<T>(r);
    } else {
      d[0] = Quantized<T>(r);
    }
    if (l.OutAlpha) d[l.OutColor] = Quantized<T>(l.Alpha >= 0 ? sample(l.Alpha) : 1.0);
  }
}

void CopyGeneric(const uint8_t* const* planes, uint8_t* target, uint32_t count, const TLayout& l) {
  if (l.Float)
    CopyGenericAs<float>(planes, target, count, l);
  else if (l.Bits <= 8)
    CopyGenericAs<uint8_t>(planes, target, count, l);
  else
    CopyGenericAs<uint16_t>(planes, target, count, l);
}

template <class T>
T Unpremultiplied(T c, T a, uint32_t max) {
  if (a == 0) return 0;
  return T(std::min<uint64_t>(max, (uint64_t(c) * max + a / 2) / a));
}

// Associated (premultiplied) alpha becomes the engine's straight alpha.
void Unpremultiply(TImageData& image) {
  const TFormatDescriptor& d = *GetFormatDescriptor(image.Format);
  const size_t pixels = size_t(image.Width) * size_t(image.Height);
  const int colors = d.Channels - 1;
  uint8_t* bits = image.bits();
  switch (image.Format) {
    case F::A8Gray8:
    case F::A8R8G8B8:
      for (size_t i = 0; i < pixels; ++i) {
        uint8_t* p = bits + i * size_t(d.Channels);
        for (int c = 0; c < colors; ++c) p[c] = Unpremultiplied<uint8_t>(p[c], p[colors], 255);
      }
      break;
    case F::A16Gray16:
    case F::A16R16G16B16:
      for (size_t i = 0; i < pixels; ++i) {
        uint16_t* p = reinterpret_cast<uint16_t*>(bits) + i * size_t(d.Channels);
        for (int c = 0; c < colors; ++c) p[c] = Unpremultiplied<uint16_t>(p[c], p[colors], 65535);
      }
      break;
    case F::A32R32G32B32F:
      for (size_t i = 0; i < pixels; ++i) {
        float* p = reinterpret_cast<float*>(bits) + i * 4;
        for (int c = 0; c < 3; ++c) p[c] = p[3] != 0.0f ? p[c] / p[3] : 0.0f;
      }
      break;
    case F::A16R16G16B16F:
      for (size_t i = 0; i < pixels; ++i) {
        uint16_t* p = reinterpret_cast<uint16_t*>(bits) + i * 4;
        const float a = HalfToFloat(p[3]);
        for (int c = 0; c < 3; ++c) p[c] = FloatToHalf(a != 0.0f ? HalfToFloat(p[c]) / a : 0.0f);
      }
      break;
    default:
      break;
  }
}

// The flips libtiff's RGBA reader applies for each Orientation value (it does not
// transpose the left-hand ones either), so that both read paths agree.
void ApplyOrientation(TImageData& image, uint16_t orientation) {
  switch (orientation) {
    case ORIENTATION_TOPRIGHT:
    case ORIENTATION_RIGHTTOP:
      ImageMirror(image);
      break;
    case ORIENTATION_BOTRIGHT:
    case ORIENTATION_RIGHTBOT:
      ImageMirror(image);
      ImageFlipVertical(image);
      break;
    case ORIENTATION_BOTLEFT:
    case ORIENTATION_LEFTBOT:
      ImageFlipVertical(image);
      break;
    default:
      break;
  }
}

void ReadPalette(TIFF* tif, TTiffHandle& handle, TImageData& image) {
  uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
  if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &red, &green, &blue) || !red || !green || !blue)
    handle.Raise("palette image without ColorMap");
  // Some writers store 8-bit values in the 16-bit map; libtiff's RGBA reader takes a map
  // without any value above 255 that way, and so does this one.
  bool eightBit = true;
  for (int i = 0; i < 256 && eightBit; ++i)
    eightBit = red[i] < 256 && green[i] < 256 && blue[i] < 256;
  const int shift = eightBit ? 0 : 8;
  TPixel32* palette = image.palette();
  for (int i = 0; i < 256; ++i)
    palette[i] = {uint8_t(blue[i] >> shift), uint8_t(green[i] >> shift), uint8_t(red[i] >> shift),
                  255};
}

// Reads the strips or tiles of a page and hands each block of rows over: one buffer per
// plane (one for contiguous samples), the bytes of one row in each, and where the block
// lies in the image.
template <class Sink>
void ReadBlocks(TTiffHandle& handle, const TPageInfo& p, const TLayout& l, Sink&& sink) {
  TIFF* tif = handle.get();
  // Planes past the last one used (extra samples that are skipped) are not read.
  const int planes = l.Planar ? std::max(l.Inks, l.Alpha + 1) : 1;
  const uint64_t rowBits = uint64_t(l.Planar ? 1 : l.Samples) * uint64_t(l.Bits);
  std::vector<std::unique_ptr<uint8_t[]>> buffers(static_cast<size_t>(planes));
  std::vector<const uint8_t*> rows(static_cast<size_t>(planes));
  if (!TIFFIsTiled(tif)) {
    uint32_t rowsPerStrip = p.Height;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    rowsPerStrip = std::clamp<uint32_t>(rowsPerStrip, 1, p.Height);
    const tmsize_t scanline = TIFFScanlineSize(tif);
    if (scanline <= 0 || uint64_t(scanline) * 8 < uint64_t(p.Width) * rowBits)
      handle.Raise("invalid scanline size");
    for (auto& buffer : buffers)
      buffer = std::make_unique_for_overwrite<uint8_t[]>(size_t(scanline) * rowsPerStrip);
    const uint32_t strips = (p.Height - 1) / rowsPerStrip + 1;
    for (uint32_t strip = 0; strip < strips; ++strip) {
      const uint32_t first = strip * rowsPerStrip;
      const uint32_t count = std::min(rowsPerStrip, p.Height - first);
      const tmsize_t wanted = tmsize_t(count) * scanline;
      for (int plane = 0; plane < planes; ++plane) {
        const uint32_t index = strip + uint32_t(plane) * strips;
        if (TIFFReadEncodedStrip(tif, index, buffers[size_t(plane)].get(), wanted) != wanted)
          handle.Raise(FormatText("cannot read strip %u", index));
      }
      for (uint32_t r = 0; r < count; ++r) {
        for (int plane = 0; plane < planes; ++plane)
          rows[size_t(plane)] = buffers[size_t(plane)].get() + size_t(r) * size_t(scanline);
        sink(rows.data(), 0u, first + r, p.Width);
      }
    }
    return;
  }
  uint32_t tileWidth = 0, tileHeight = 0;
  TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileWidth);
  TIFFGetField(tif, TIFFTAG_TILELENGTH, &tileHeight);
  const tmsize_t tileSize = TIFFTileSize(tif);
  const tmsize_t tileRow = TIFFTileRowSize(tif);
  if (tileWidth == 0 || tileHeight == 0 || tileSize <= 0 || tileRow <= 0 ||
      uint64_t(tileRow) * 8 < uint64_t(tileWidth) * rowBits ||
      uint64_t(tileSize) < uint64_t(tileRow) * tileHeight)
    handle.Raise("invalid tile size");
  for (auto& buffer : buffers) buffer = std::make_unique_for_overwrite<uint8_t[]>(size_t(tileSize));
  for (uint32_t y = 0; y < p.Height; y += tileHeight) {
    for (uint32_t x = 0; x < p.Width; x += tileWidth) {
      for (int plane = 0; plane < planes; ++plane) {
        const uint32_t tile = TIFFComputeTile(tif, x, y, 0, uint16_t(plane));
        if (TIFFReadEncodedTile(tif, tile, buffers[size_t(plane)].get(), tileSize) != tileSize)
          handle.Raise(FormatText("cannot read tile %u", tile));
      }
      const uint32_t count = std::min(tileHeight, p.Height - y);
      const uint32_t columns = std::min(tileWidth, p.Width - x);
      for (uint32_t r = 0; r < count; ++r) {
        for (int plane = 0; plane < planes; ++plane)
          rows[size_t(plane)] = buffers[size_t(plane)].get() + size_t(r) * size_t(tileRow);
        sink(rows.data(), x, y + r, columns);
      }
    }
  }
}

void ReadWithLayout(TTiffHandle& handle, const TPageInfo& p, const TLayout& l, bool native,
                    TImageData& image) {
  const size_t pixelBytes = size_t(GetFormatDescriptor(l.Format)->BytesPerPixel);
  const size_t stride = size_t(p.Width) * pixelBytes;
  uint8_t* bits = image.bits();
  ReadBlocks(handle, p, l,
             [&](const uint8_t* const* rows, uint32_t x, uint32_t y, uint32_t columns) {
               uint8_t* target = bits + size_t(y) * stride + size_t(x) * pixelBytes;
               if (native)
                 CopyNative(rows[0], target, columns, l);
               else
                 CopyGeneric(rows, target, columns, l);
             });
}

void ReadThroughRgba(TTiffHandle& handle, const TPageInfo& p, TImageData& image) {
  TIFF* tif = handle.get();
  if (!ImageCreate(int32_t(p.Width), int32_t(p.Height), F::A8R8G8B8, image))
    handle.Raise("cannot create the image");
  handle.Clear();
  // As libtiff's own tools do, a strip or tile that fails to decode leaves what it could
  // (fax pages without their last line end decode this way) instead of failing the page.
  if (!TIFFReadRGBAImageOriented(tif, p.Width, p.Height, reinterpret_cast<uint32_t*>(image.bits()),
                                 ORIENTATION_TOPLEFT, 0))
    handle.Raise("cannot read the image data");
  // libtiff delivers R, G, B, A bytes with alpha premultiplied, whatever the file stored.
  uint8_t* px = image.bits();
  const size_t pixels = size_t(p.Width) * p.Height;
  for (size_t i = 0; i < pixels; ++i, px += 4) {
    std::swap(px[0], px[2]);
    if (px[3] != 255)
      for (int c = 0; c < 3; ++c) px[c] = Unpremultiplied<uint8_t>(px[c], px[3], 255);
  }
}

// Refuses a page whose claims the engine or the file cannot back, before allocating.
void CheckPageBudget(TTiffHandle& handle, const TPageInfo& p, int64_t fileSize) {
  TIFF* tif = handle.get();
  if (p.Width == 0 || p.Height == 0)
    RaiseImagingFormat("TIFF error: invalid image size %ux%u.", p.Width, p.Height);
  if (uint64_t(p.Width) * p.Height > uint64_t(kMaxImagePixels))
    RaiseImagingFormat("TIFF image of %u x %u pixels exceeds the limit of %lld pixels.", p.Width,
                       p.Height, static_cast<long long>(kMaxImagePixels));
  if (p.Bits == 0 || p.Samples == 0)
    RaiseImagingFormat("TIFF error: invalid sample layout (%u samples of %u bits).", p.Samples,
                       p.Bits);
  // Samples of every plane, in bits, without libtiff's row rounding.
  const uint64_t sampleBits = uint64_t(p.Width) * p.Height * p.Samples * p.Bits;
  const uint64_t decoded = sampleBits / 8;
  if (decoded > kMaxDecodedBytes)
    RaiseImagingFormat(
        "TIFF image of %u x %u pixels with %u samples of %u bits is too large to decode.", p.Width,
        p.Height, p.Samples, p.Bits);
  if (TIFFIsTiled(tif)) {
    const uint64_t tile = TIFFTileSize64(tif);
    // A tile may reach past the image, but not to hold far more than the image itself.
    if (tile == 0 || tile > std::max<uint64_t>(decoded * 4, uint64_t(1) << 24))
      RaiseImagingFormat("TIFF error: tile of %llu bytes for an image of %llu bytes.",
                         static_cast<unsigned long long>(tile),
                         static_cast<unsigned long long>(decoded));
  }
  const uint64_t ratio = MaxCompressionRatio(p.Compression);
  if (ratio == 0) return;
  const uint32_t chunks = TIFFIsTiled(tif) ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
  uint64_t stored = 0;
  for (uint32_t i = 0; i < chunks && stored < uint64_t(fileSize); ++i)
    stored += TIFFGetStrileByteCount(tif, i);
  stored = std::min<uint64_t>(stored, uint64_t(std::max<int64_t>(fileSize, 0)));
  // Uncompressed data may end a few bytes early in the last row of files that other
  // readers accept; one row of slack keeps those.
  const uint64_t slack = ratio == 1 ? uint64_t(p.Width) * p.Samples * p.Bits / 8 + 1 : 0;
  if (stored * ratio + slack < decoded)
    RaiseImagingFormat(
        "TIFF data too short: %u x %u pixels of %llu bytes cannot come from %llu stored bytes.",
        p.Width, p.Height, static_cast<unsigned long long>(decoded),
        static_cast<unsigned long long>(stored));
}

TImageData ReadPage(TTiffHandle& handle, int64_t fileSize) {
  TIFF* tif = handle.get();
  const TPageInfo p = PageInfoOf(tif);
  CheckPageBudget(handle, p, fileSize);
  TLayout layout = NativeLayoutOf(p);
  const bool native = layout.Format != F::Unknown;
  if (!native) {
    // libtiff's RGBA reader takes every other layout it knows; what it refuses, or fails
    // on although it accepted it (16-bit CMYK, some tiled bilevel pages), is read sample by
    // sample when the samples are plain gray, RGB or CMYK.
    // Signed samples are read here too: the RGBA reader takes their bits for unsigned ones.
    layout = GenericLayoutOf(p);
    char why[1024] = {};
    if (!layout.Signed && TIFFRGBAImageOK(tif, why)) {
      TImageData image;
      try {
        ReadThroughRgba(handle, p, image);
        return image;
      } catch (const EImagingError&) {
        if (layout.Format == F::Unknown) throw;
      }
      handle.Clear();
    } else if (layout.Format == F::Unknown) {
      RaiseImagingFormat("TIFF error: this layout cannot be read (%s).", why);
    }
  }
  TImageData image;
  if (!ImageCreate(int32_t(p.Width), int32_t(p.Height), layout.Format, image))
    handle.Raise("cannot create the image");
  ReadWithLayout(handle, p, layout, native, image);
  if (layout.Format == F::Index8) ReadPalette(tif, handle, image);
  if (layout.Associated) Unpremultiply(image);
  ApplyOrientation(image, p.Orientation);
  return image;
}

// ---- Writing ------------------------------------------------------------------------

uint16_t CompressionTag(int32_t index) {
  switch (index) {
    case kTiffCompressionNone:
      return COMPRESSION_NONE;
    case kTiffCompressionPackBits:
      return COMPRESSION_PACKBITS;
    case kTiffCompressionDeflate:
      return COMPRESSION_DEFLATE;
    case kTiffCompressionJpeg:
      return COMPRESSION_JPEG;
    default:
      return COMPRESSION_LZW;
  }
}

// Copies rows into a strip buffer, red and blue exchanged for color formats (the file
// stores R, G, B; the engine B, G, R).
template <class T>
void SwapRedBlue(uint8_t* bytes, size_t pixels, int channels) {
  T* p = reinterpret_cast<T*>(bytes);
  for (size_t i = 0; i < pixels; ++i, p += channels) std::swap(p[0], p[2]);
}

void WritePage(TTiffHandle& handle, const TImageData& image, int32_t compressionIndex) {
  TIFF* tif = handle.get();
  const TFormatDescriptor& d = *GetFormatDescriptor(image.Format);
  const int channels = d.Channels;
  const int bits = 8 * d.BytesPerPixel / channels;
  const bool gray = d.IsGray || channels == 1;
  uint16_t compression = CompressionTag(compressionIndex);
  if (compression == COMPRESSION_JPEG &&
      !(bits == 8 && (channels == 1 || channels == 3) && !d.IsIndexed && !d.IsFloat))
    compression = COMPRESSION_LZW;

  const uint16_t photometric = d.IsIndexed ? PHOTOMETRIC_PALETTE
                               : gray      ? PHOTOMETRIC_MINISBLACK
                                           : PHOTOMETRIC_RGB;
  handle.Clear();
  bool ok = TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(image.Width)) &&
            TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(image.Height)) &&
            TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, photometric) &&
            TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
            TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT) &&
            TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, uint16_t(bits)) &&
            TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, uint16_t(channels)) &&
            TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT,
                         d.IsFloat ? SAMPLEFORMAT_IEEEFP : SAMPLEFORMAT_UINT) &&
            TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
  // Without ExtraSamples other readers take the last sample for unspecified data and lose
  // the alpha channel.
  if (ok && d.HasAlpha) {
    const uint16_t extra[1] = {EXTRASAMPLE_UNASSALPHA};
    ok = TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, uint16_t(1), extra);
  }
  if (ok && d.IsIndexed) {
    uint16_t map[3][256];
    for (int i = 0; i < 256; ++i) {
      const TPixel32 c = image.palette()[i];
      map[0][i] = uint16_t(c.R * 257);
      map[1][i] = uint16_t(c.G * 257);
      map[2][i] = uint16_t(c.B * 257);
    }
    ok = TIFFSetField(tif, TIFFTAG_COLORMAP, map[0], map[1], map[2]);
  }
  const uint32_t rowsPerStrip = ok ? TIFFDefaultStripSize(tif, 0) : 0;
  ok = ok && rowsPerStrip > 0 && TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
  if (!ok || handle.HasError()) handle.Raise("cannot set up the directory");

  const size_t stride = size_t(image.Width) * size_t(d.BytesPerPixel);
  const uint32_t height = uint32_t(image.Height);
  const uint32_t rowsInBuffer = std::min(rowsPerStrip, height);
  const auto buffer = std::make_unique_for_overwrite<uint8_t[]>(stride * rowsInBuffer);
  const bool swap = !gray && !d.IsIndexed;
  for (uint32_t first = 0, strip = 0; first < height; first += rowsPerStrip, ++strip) {
    const uint32_t rows = std::min(rowsPerStrip, height - first);
    const size_t bytes = stride * rows;
    std::memcpy(buffer.get(), image.bits() + size_t(first) * stride, bytes);
    if (swap) {
      const size_t pixels = size_t(image.Width) * rows;
      const int sampleBytes = d.BytesPerPixel / channels;
      if (sampleBytes == 1) SwapRedBlue<uint8_t>(buffer.get(), pixels, channels);
      if (sampleBytes == 2) SwapRedBlue<uint16_t>(buffer.get(), pixels, channels);
      if (sampleBytes == 4) SwapRedBlue<uint32_t>(buffer.get(), pixels, channels);
    }
    handle.Clear();
    if (TIFFWriteEncodedStrip(tif, strip, buffer.get(), tmsize_t(bytes)) < 0 || handle.HasError())
      handle.Raise(FormatText("cannot write strip %u", strip));
  }
  handle.Clear();
  if (!TIFFWriteDirectory(tif) || handle.HasError()) handle.Raise("cannot write the directory");
}

}  // namespace

TTiffFileFormat::TTiffFileFormat() {
  Name = "Tagged Image File Format";
  CanRead = true;
  CanWrite = true;
  MultiImage = true;
  for (F f :
       {F::Index8, F::Gray8, F::A8Gray8, F::Gray16, F::Gray32, F::A16Gray16, F::R8G8B8, F::A8R8G8B8,
        F::R16G16B16, F::A16R16G16B16, F::R32F, F::A32R32G32B32F, F::R16F, F::A16R16G16B16F})
    WritableFormatSet.set(size_t(f));
  AddMasks("*.tif,*.tiff");
  BindOption(kOptionTiffCompressionIndex, CompressionIndex);
}

void TTiffFileFormat::ValidateOptions() {
  const int32_t index = CompressionIndex.load();
  if (index < kTiffCompressionNone || index > kTiffCompressionJpeg)
    CompressionIndex.store(kTiffCompressionLZW);
}

bool TTiffFileFormat::TestContent(TIOHandle& handle) {
  uint8_t id[4] = {};
  const int64_t count = handle.Read(id, int64_t(sizeof(id)));
  if (count > 0) handle.Seek(-count, TSeekOrigin::Current);
  if (count != int64_t(sizeof(id))) return false;
  // 42 is the classic format, 43 BigTIFF, which libtiff reads just as well.
  return (id[0] == 'I' && id[1] == 'I' && (id[2] == 42 || id[2] == 43) && id[3] == 0) ||
         (id[0] == 'M' && id[1] == 'M' && id[2] == 0 && (id[3] == 42 || id[3] == 43));
}

bool TTiffFileFormat::ReadImages(TIOHandle& handle, TDynImageDataArray& images, bool onlyFirst) {
  TStream& stream = handle.Stream();
  const int64_t fileSize = stream.Size() - stream.Tell();
  TTiffHandle tiff(stream, "r");
  int64_t totalPixels = 0;
  for (;;) {
    TImageData image = ReadPage(tiff, fileSize);
    totalPixels += int64_t(image.Width) * image.Height;
    images.push_back(std::move(image));
    if (onlyFirst || TIFFLastDirectory(tiff.get())) break;
    if (images.size() >= size_t(kMaxTiffPages))
      RaiseImagingFormat("TIFF file has more than %d pages.", kMaxTiffPages);
    if (totalPixels > kMaxTiffTotalPixels)
      RaiseImagingFormat("TIFF pages hold more than %lld pixels together.",
                         static_cast<long long>(kMaxTiffTotalPixels));
    tiff.Clear();
    // libtiff stops at a directory that was already read, so a looping chain ends here.
    if (!TIFFReadDirectory(tiff.get()) || tiff.HasError())
      tiff.Raise(FormatText("cannot read directory %zu", images.size()));
  }
  return true;
}

void TTiffFileFormat::ConvertForWriting(TImageData& image, const TFormatDescriptor& d) const {
  const TImageFormatSet writable = WritableFormats();
  F target;
  if (d.RedBlueTwin != F::Unknown && writable.test(size_t(d.RedBlueTwin)))
    target = d.RedBlueTwin;
  else if (d.IsIndexed)
    target = F::Index8;
  else if (d.IsFloat)
    target = d.Channels == 1 ? F::R32F : F::A32R32G32B32F;
  else if (d.IsGray)
    target = d.HasAlpha ? F::A16Gray16 : (image.Format == F::Gray64 ? F::Gray32 : F::Gray16);
  else if (d.BytesPerPixel > 4)
    target = d.HasAlpha ? F::A16R16G16B16 : F::R16G16B16;
  else
    target = d.HasAlpha ? F::A8R8G8B8 : F::R8G8B8;
  ImageConvert(image, target);
}

bool TTiffFileFormat::WriteImages(TIOHandle& handle, TImageSpan images,
                                  const TSaveSelection& selection) {
  int32_t compression = CompressionIndex.load();
  if (compression < kTiffCompressionNone || compression > kTiffCompressionJpeg)
    compression = kTiffCompressionLZW;
  TTiffHandle tiff(handle.Stream(), "w");
  for (int32_t i = selection.SaveFirst; i <= selection.SaveLast; ++i) {
    const TWritableImage writable = MakeWritableCopy(images[size_t(i)]);
    if (!writable) return false;
    WritePage(tiff, writable.Image(), compression);
  }
  return true;
}

}  // namespace pixolan::imaging
