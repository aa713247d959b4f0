#include "imaging/formats/Jpeg2000Format.h"

#include <openjpeg.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "imaging/image/ByteOrder.h"
#include "imaging/image/Errors.h"
#include "imaging/image/Imaging.h"

namespace pixolan::imaging {
namespace {

using F = TImageFormatId;

constexpr uint8_t kJp2Signature[12] = {0x00, 0x00, 0x00, 0x0C, 0x6A, 0x50,
                                       0x20, 0x20, 0x0D, 0x0A, 0x87, 0x0A};
constexpr uint8_t kCodeStreamStart[4] = {0xFF, 0x4F, 0xFF, 0x51};  // SOC, SIZ
constexpr OPJ_SIZE_T kStreamBufferSize = 65536;
constexpr OPJ_UINT32 kResolutionLevels = 6;
// A code stream holds at most 65535 tiles, and each needs a tile-part header (SOT, SOD).
constexpr uint64_t kMaxTiles = 65535;
constexpr uint64_t kMinTileBytes = 14;
// OpenJPEG keeps about a kilobyte of coding parameters for every component of every tile.
constexpr uint64_t kMaxTileComponents = uint64_t(1) << 18;

// ---- Per-call state reached from OpenJPEG's callbacks -------------------------------
//
// The callbacks never let an exception into OpenJPEG: a stream failure is kept and
// reported with the library's own error.

struct TJ2kSession {
  TStream* Stream = nullptr;
  int64_t Base = 0;  // stream position of the data's first byte
  std::exception_ptr StreamError;
  std::string Error;  // the first error OpenJPEG reported
};

void OnError(const char* message, void* user) {
  auto& session = *static_cast<TJ2kSession*>(user);
  if (!session.Error.empty() || !message) return;
  session.Error = message;
  while (!session.Error.empty() && (session.Error.back() == '\n' || session.Error.back() == ' '))
    session.Error.pop_back();
}

void OnMessage(const char*, void*) {}

OPJ_SIZE_T ReadProc(void* buffer, OPJ_SIZE_T size, void* user) {
  auto& session = *static_cast<TJ2kSession*>(user);
  try {
    const int64_t count = session.Stream->Read(buffer, int64_t(size));
    return count > 0 ? OPJ_SIZE_T(count) : OPJ_SIZE_T(-1);
  } catch (...) {
    session.StreamError = std::current_exception();
    return OPJ_SIZE_T(-1);
  }
}

OPJ_SIZE_T WriteProc(void* buffer, OPJ_SIZE_T size, void* user) {
  auto& session = *static_cast<TJ2kSession*>(user);
  try {
    session.Stream->WriteExact(buffer, int64_t(size));
    return size;
  } catch (...) {
    session.StreamError = std::current_exception();
    return OPJ_SIZE_T(-1);
  }
}

OPJ_OFF_T SkipProc(OPJ_OFF_T count, void* user) {
  auto& session = *static_cast<TJ2kSession*>(user);
  try {
    session.Stream->Seek(int64_t(count), TSeekOrigin::Current);
    return count;
  } catch (...) {
    session.StreamError = std::current_exception();
    return -1;
  }
}

OPJ_BOOL SeekProc(OPJ_OFF_T position, void* user) {
  auto& session = *static_cast<TJ2kSession*>(user);
  try {
    session.Stream->Seek(session.Base + int64_t(position), TSeekOrigin::Begin);
    return OPJ_TRUE;
  } catch (...) {
    session.StreamError = std::current_exception();
    return OPJ_FALSE;
  }
}

struct TCodecDeleter {
  void operator()(opj_codec_t* codec) const { opj_destroy_codec(codec); }
};
struct TStreamDeleter {
  void operator()(opj_stream_t* stream) const { opj_stream_destroy(stream); }
};
struct TImageDeleter {
  void operator()(opj_image_t* image) const { opj_image_destroy(image); }
};
using TCodec = std::unique_ptr<opj_codec_t, TCodecDeleter>;
using TJ2kStream = std::unique_ptr<opj_stream_t, TStreamDeleter>;
using TJ2kImage = std::unique_ptr<opj_image_t, TImageDeleter>;

// A codec and a stream over the engine's stream, with the session their callbacks share.
class TJ2kCoder {
 public:
  TJ2kCoder(TStream& stream, bool input, OPJ_CODEC_FORMAT format)
      : session_(std::make_unique<TJ2kSession>()) {
    session_->Stream = &stream;
    session_->Base = stream.Tell();
    codec_.reset(input ? opj_create_decompress(format) : opj_create_compress(format));
    stream_.reset(opj_stream_create(kStreamBufferSize, input ? OPJ_TRUE : OPJ_FALSE));
    if (!codec_ || !stream_) RaiseImaging("JPEG 2000 error: out of memory.");
    opj_set_error_handler(codec_.get(), OnError, session_.get());
    opj_set_warning_handler(codec_.get(), OnMessage, session_.get());
    opj_set_info_handler(codec_.get(), OnMessage, session_.get());
    opj_stream_t* s = stream_.get();
    opj_stream_set_user_data(s, session_.get(), nullptr);
    if (input) {
      opj_stream_set_read_function(s, ReadProc);
      opj_stream_set_user_data_length(
          s, OPJ_UINT64(std::max<int64_t>(0, stream.Size() - session_->Base)));
    } else {
      opj_stream_set_write_function(s, WriteProc);
    }
    opj_stream_set_skip_function(s, SkipProc);
    opj_stream_set_seek_function(s, SeekProc);
  }

  opj_codec_t* Codec() const { return codec_.get(); }
  opj_stream_t* Stream() const { return stream_.get(); }

  // Raises "JPEG 2000 error: <what>" with OpenJPEG's message, or the stream's own failure.
  [[noreturn]] void Raise(const std::string& what) const {
    RaiseLibraryFailure("JPEG 2000", what, session_->Error, session_->StreamError);
  }

 private:
  std::unique_ptr<TJ2kSession> session_;  // its address is OpenJPEG's user data
  TCodec codec_;
  TJ2kStream stream_;
};

// ---- Reading ------------------------------------------------------------------------

// The image and tile geometry of a code stream's SIZ marker.
struct TSiz {
  uint64_t Width = 0, Height = 0;  // of the image area
  uint64_t Tiles = 0;
  uint32_t Components = 0;
  uint64_t Samples = 0;  // of all components, subsampling applied
};

// Reads the SIZ marker at the code stream's start (SOC, then SIZ). False when it is not
// there or cut off; OpenJPEG then reports the fault itself.
bool ReadSiz(TStream& stream, int64_t at, TSiz& siz) {
  uint8_t h[42];
  stream.Seek(at, TSeekOrigin::Begin);
  if (stream.Read(h, 42) != 42 || std::memcmp(h, kCodeStreamStart, 4) != 0) return false;
  const uint64_t x1 = GetBe32(h + 8), y1 = GetBe32(h + 12), x0 = GetBe32(h + 16),
                 y0 = GetBe32(h + 20), tw = GetBe32(h + 24), th = GetBe32(h + 28),
                 tx0 = GetBe32(h + 32), ty0 = GetBe32(h + 36);
  siz.Components = GetBe16(h + 40);
  if (x1 <= x0 || y1 <= y0 || tw == 0 || th == 0 || tx0 > x0 || ty0 > y0 || siz.Components == 0)
    return false;
  siz.Width = x1 - x0;
  siz.Height = y1 - y0;
  siz.Tiles = ((x1 - tx0 + tw - 1) / tw) * ((y1 - ty0 + th - 1) / th);
  // Component subsampling: a few bytes each; the components are counted at full size when
  // the list is cut off (the marker is then broken anyway).
  std::vector<uint8_t> comps(size_t(siz.Components) * 3);
  const bool complete = stream.Read(comps.data(), int64_t(comps.size())) == int64_t(comps.size());
  for (uint32_t c = 0; c < siz.Components; ++c) {
    const uint64_t dx = complete ? std::max<uint8_t>(comps[size_t(c) * 3 + 1], 1) : 1;
    const uint64_t dy = complete ? std::max<uint8_t>(comps[size_t(c) * 3 + 2], 1) : 1;
    siz.Samples +=
        ((x1 + dx - 1) / dx - (x0 + dx - 1) / dx) * ((y1 + dy - 1) / dy - (y0 + dy - 1) / dy);
  }
  return true;
}

// Where the code stream starts: at once in a bare code stream, in the jp2c box of a JP2
// file. -1 when no such box is found among the first boxes.
int64_t CodeStreamStart(TStream& stream, int64_t start, int64_t size, bool codeStream) {
  if (codeStream) return start;
  int64_t at = start;
  for (int box = 0; box < 256 && at + 8 <= start + size; ++box) {
    uint8_t h[16];
    stream.Seek(at, TSeekOrigin::Begin);
    if (stream.Read(h, 8) != 8) return -1;
    uint64_t length = GetBe32(h);
    int64_t header = 8;
    if (length == 1) {
      if (stream.Read(h + 8, 8) != 8) return -1;
      length = uint64_t(GetBe32(h + 8)) << 32 | GetBe32(h + 12);
      header = 16;
    }
    if (std::memcmp(h + 4, "jp2c", 4) == 0) return at + header;
    if (length == 0 || length < uint64_t(header) || length > uint64_t(start + size - at)) return -1;
    at += int64_t(length);
  }
  return -1;
}

// Refuses what the SIZ marker claims beyond the engine's limits or beyond what the data
// can hold, before OpenJPEG reads the header: it sets up coding parameters for every tile
// and component at once, so a few bytes claiming 50000 tiles of 257 components would cost
// gigabytes there.
void CheckSiz(TStream& stream, int64_t start, int64_t size, bool codeStream) {
  const int64_t at = CodeStreamStart(stream, start, size, codeStream);
  TSiz siz;
  const bool found = at >= 0 && ReadSiz(stream, at, siz);
  stream.Seek(start, TSeekOrigin::Begin);
  if (!found) return;
  if (siz.Width * siz.Height > uint64_t(kMaxImagePixels))
    RaiseImagingFormat("JPEG 2000 image of %llu x %llu pixels exceeds the limit of %lld pixels.",
                       static_cast<unsigned long long>(siz.Width),
                       static_cast<unsigned long long>(siz.Height),
                       static_cast<long long>(kMaxImagePixels));
  const uint64_t codeStreamBytes = uint64_t(start + size - at);
  if (siz.Tiles > kMaxTiles || siz.Tiles * kMinTileBytes > codeStreamBytes ||
      siz.Tiles * siz.Components > kMaxTileComponents)
    RaiseImagingFormat(
        "JPEG 2000 code stream claims %llu tiles of %u components, which its %llu bytes cannot "
        "hold.",
        static_cast<unsigned long long>(siz.Tiles), siz.Components,
        static_cast<unsigned long long>(codeStreamBytes));
  if (siz.Samples * 4 > uint64_t(kMaxJpeg2000DecodedBytes))
    RaiseImagingFormat(
        "JPEG 2000 image of %llu x %llu pixels needs %llu MiB to decode, more than "
        "the limit of %lld MiB.",
        static_cast<unsigned long long>(siz.Width), static_cast<unsigned long long>(siz.Height),
        static_cast<unsigned long long>(siz.Samples * 4 >> 20),
        static_cast<long long>(kMaxJpeg2000DecodedBytes >> 20));
}

// The value of a decoded sample, shifted to 0..max for signed components.
int64_t SampleAt(const opj_image_comp_t& comp, uint32_t x, uint32_t y, uint32_t imageX0,
                 uint32_t imageY0) {
  // Subsampled components cover the grid with every sample spread over dx x dy pixels.
  const int64_t cx = std::clamp<int64_t>(int64_t((imageX0 + x) / comp.dx) - comp.x0, 0, comp.w - 1);
  const int64_t cy = std::clamp<int64_t>(int64_t((imageY0 + y) / comp.dy) - comp.y0, 0, comp.h - 1);
  int64_t v = comp.data[size_t(cy) * comp.w + size_t(cx)];
  if (comp.sgnd) v += int64_t(1) << (comp.prec - 1);
  return std::clamp<int64_t>(v, 0, (int64_t(1) << comp.prec) - 1);
}

enum class TColorModel { Gray, Rgb, Ycc, Cmyk };

// Copies the decoded components into the engine's layout, scaled to its 8- or 16-bit range.
void FillImage(const opj_image_t& decoded, TColorModel model, int colors, bool alpha,
               TImageData& image) {
  const TFormatDescriptor& d = *GetFormatDescriptor(image.Format);
  const bool wide = d.BytesPerPixel / d.Channels == 2;
  const uint32_t outMax = wide ? 65535 : 255;
  const int outChannels = d.Channels;
  const uint32_t width = uint32_t(image.Width), height = uint32_t(image.Height);
  const int inComps = model == TColorModel::Cmyk ? 4 : colors;
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      int64_t raw[5] = {};
      double v[5] = {};
      for (int c = 0; c < inComps + (alpha ? 1 : 0); ++c) {
        const opj_image_comp_t& comp = decoded.comps[c];
        raw[c] = SampleAt(comp, x, y, decoded.x0, decoded.y0);
        v[c] = double(raw[c]) / double((int64_t(1) << comp.prec) - 1);
      }
      double out[4] = {};
      if (model == TColorModel::Ycc) {
        // sYCC, turned into RGB exactly as the reference decoder's tools do it (with
        // single-precision factors and truncation), so that both give the same samples.
        const uint32_t prec = decoded.comps[0].prec;
        const int64_t offset = int64_t(1) << (prec - 1), upb = (int64_t(1) << prec) - 1;
        const int64_t yy = raw[0], cb = raw[1] - offset, cr = raw[2] - offset;
        const int64_t rgb[3] = {
            yy + int64_t(1.402 * float(cr)),
            yy - int64_t(0.344 * float(cb) + 0.714 * float(cr)),
            yy + int64_t(1.772 * float(cb)),
        };
        for (int c = 0; c < 3; ++c)
          out[c] = double(std::clamp<int64_t>(rgb[c], 0, upb)) / double(upb);
      } else if (model == TColorModel::Cmyk) {
        for (int c = 0; c < 3; ++c) out[c] = (1.0 - v[c]) * (1.0 - v[3]);
      } else {
        for (int c = 0; c < colors; ++c) out[c] = v[c];
      }
      if (alpha) out[colors == 1 ? 1 : 3] = v[inComps];
      const size_t at = (size_t(y) * width + x) * size_t(outChannels);
      const auto put = [&](int channel, double value) {
        const uint32_t q = uint32_t(std::lround(std::clamp(value, 0.0, 1.0) * outMax));
        if (wide)
          reinterpret_cast<uint16_t*>(image.bits())[at + size_t(channel)] = uint16_t(q);
        else
          image.bits()[at + size_t(channel)] = uint8_t(q);
      };
      if (colors == 1) {
        put(0, out[0]);
        if (alpha) put(1, out[1]);
      } else {
        put(0, out[2]);  // B, G, R in memory
        put(1, out[1]);
        put(2, out[0]);
        if (alpha) put(3, out[3]);
      }
    }
  }
}

// ---- Writing ------------------------------------------------------------------------

OPJ_UINT32 ResolutionLevels(uint32_t width, uint32_t height) {
  // Every level halves the image; the smallest must keep at least one pixel.
  OPJ_UINT32 levels = 1;
  uint32_t side = std::min(width, height);
  while (levels < kResolutionLevels && side > 1) {
    side /= 2;
    ++levels;
  }
  return levels;
}

}  // namespace

TJpeg2000FileFormat::TJpeg2000FileFormat() {
  Name = "JPEG 2000 Image";
  CanRead = true;
  CanWrite = true;
  MultiImage = false;
  for (F f : {F::Gray8, F::A8Gray8, F::Gray16, F::A16Gray16, F::R8G8B8, F::A8R8G8B8, F::R16G16B16,
              F::A16R16G16B16})
    WritableFormatSet.set(size_t(f));
  AddMasks("*.jp2,*.j2k,*.j2c,*.jpx,*.jpc");
  BindOption(kOptionJpeg2000Quality, Quality);
  BindOption(kOptionJpeg2000CodeStreamOnly, CodeStreamOnly);
  BindOption(kOptionJpeg2000LosslessCompression, LosslessCompression);
}

void TJpeg2000FileFormat::ValidateOptions() {
  const int32_t quality = Quality.load();
  if (quality < 1 || quality > 100) Quality.store(kDefaultJpeg2000Quality);
}

bool TJpeg2000FileFormat::TestContent(TIOHandle& handle) {
  uint8_t id[12] = {};
  const int64_t count = handle.Read(id, int64_t(sizeof(id)));
  if (count > 0) handle.Seek(-count, TSeekOrigin::Current);
  if (count >= 4 && std::memcmp(id, kCodeStreamStart, 4) == 0) return true;
  return count == int64_t(sizeof(id)) && std::memcmp(id, kJp2Signature, sizeof(id)) == 0;
}

bool TJpeg2000FileFormat::ReadImages(TIOHandle& handle, TDynImageDataArray& images, bool) {
  TStream& stream = handle.Stream();
  const int64_t start = stream.Tell();
  const int64_t dataBytes = stream.Size() - start;
  uint8_t id[4] = {};
  const int64_t count = stream.Read(id, 4);
  stream.Seek(start, TSeekOrigin::Begin);
  const bool codeStream = count == 4 && std::memcmp(id, kCodeStreamStart, 4) == 0;
  CheckSiz(stream, start, dataBytes, codeStream);

  TJ2kCoder coder(stream, true, codeStream ? OPJ_CODEC_J2K : OPJ_CODEC_JP2);
  opj_dparameters_t parameters;
  opj_set_default_decoder_parameters(&parameters);
  if (!opj_setup_decoder(coder.Codec(), &parameters)) coder.Raise("cannot set up the decoder");
  opj_image_t* rawHeader = nullptr;
  const bool headerRead = opj_read_header(coder.Stream(), coder.Codec(), &rawHeader);
  TJ2kImage image(rawHeader);
  if (!headerRead || !image) coder.Raise("cannot read the header");

  // What the components mean is known after decoding, when OpenJPEG has applied the file's
  // palette and channel definitions and set its color space. All are decoded: OpenJPEG
  // skips the inverse color transform when asked for only some of them.
  const uint32_t comps = image->numcomps;
  // The header again, for a file whose SIZ marker was not found above.
  const uint64_t pixels = uint64_t(image->x1 - std::min(image->x0, image->x1)) *
                          uint64_t(image->y1 - std::min(image->y0, image->y1));
  if (pixels == 0 || pixels > uint64_t(kMaxImagePixels) ||
      pixels * comps * 4 > uint64_t(kMaxJpeg2000DecodedBytes))
    RaiseImagingFormat("JPEG 2000 image of %u x %u pixels in %u components cannot be decoded.",
                       image->x1 - std::min(image->x0, image->x1),
                       image->y1 - std::min(image->y0, image->y1), comps);
  if (!opj_decode(coder.Codec(), coder.Stream(), image.get()) ||
      !opj_end_decompress(coder.Codec(), coder.Stream()))
    coder.Raise("cannot decode the image");
  const uint32_t available = std::min<uint32_t>(image->numcomps, 4);
  if (available == 0) coder.Raise("the decoder delivered no components");

  TColorModel model = TColorModel::Rgb;
  int colors = 3;
  bool alpha = false;
  if (image->color_space == OPJ_CLRSPC_CMYK && available == 4) {
    model = TColorModel::Cmyk;
  } else if (image->color_space == OPJ_CLRSPC_GRAY || available <= 2) {
    model = TColorModel::Gray;
    colors = 1;
    alpha = available >= 2;
  } else {
    // Four components are RGB and alpha; a fifth and more are not decoded.
    alpha = available == 4 && comps == 4;
    if (image->color_space == OPJ_CLRSPC_SYCC ||
        // Subsampled chroma without a color space says YCC too, as the reference decoder's
        // tools take it.
        (image->color_space != OPJ_CLRSPC_SRGB && image->comps[0].dx == 1 &&
         image->comps[0].dy == 1 && (image->comps[1].dx > 1 || image->comps[1].dy > 1)))
      model = TColorModel::Ycc;
  }
  const uint32_t needed = uint32_t((model == TColorModel::Cmyk ? 4 : colors) + (alpha ? 1 : 0));

  uint32_t precision = 0;
  for (uint32_t c = 0; c < needed; ++c) {
    const opj_image_comp_t& comp = image->comps[c];
    if (!comp.data || comp.w == 0 || comp.h == 0 || comp.prec == 0 || comp.prec > 31 ||
        comp.dx == 0 || comp.dy == 0)
      coder.Raise(FormatText("component %u was not decoded", c));
    precision = std::max(precision, comp.prec);
  }
  const bool wide = precision > 8;
  F format;
  if (colors == 1)
    format = wide ? (alpha ? F::A16Gray16 : F::Gray16) : (alpha ? F::A8Gray8 : F::Gray8);
  else
    format = wide ? (alpha ? F::A16R16G16B16 : F::R16G16B16) : (alpha ? F::A8R8G8B8 : F::R8G8B8);
  TImageData result;
  if (!ImageCreateForOverwrite(int32_t(image->x1 - image->x0), int32_t(image->y1 - image->y0),
                               format, result))
    coder.Raise("cannot create the image");
  FillImage(*image, model, colors, alpha, result);
  images.push_back(std::move(result));
  return true;
}

void TJpeg2000FileFormat::ConvertForWriting(TImageData& image, const TFormatDescriptor& d) const {
  F target;
  if (d.RedBlueTwin != F::Unknown && WritableFormats().test(size_t(d.RedBlueTwin)))
    target = d.RedBlueTwin;
  else if (d.IsIndexed)
    target = F::A8R8G8B8;  // the palette may carry alpha
  else if (d.IsGray && d.Channels == 1 && !d.IsFloat)
    target = d.BytesPerPixel > 1 ? F::Gray16 : F::Gray8;
  else if (d.IsGray)
    target = d.BytesPerPixel > 2 ? F::A16Gray16 : F::A8Gray8;
  else if (d.IsFloat && d.Channels == 1)
    target = F::Gray16;
  else if (d.IsFloat || d.BytesPerPixel > 4)
    target = d.HasAlpha ? F::A16R16G16B16 : F::R16G16B16;
  else
    target = d.HasAlpha ? F::A8R8G8B8 : F::R8G8B8;
  ImageConvert(image, target);
}

bool TJpeg2000FileFormat::WriteImages(TIOHandle& handle, TImageSpan images,
                                      const TSaveSelection& selection) {
  const TWritableImage writable = MakeWritableCopy(images[size_t(selection.SaveFirst)]);
  if (!writable) return false;
  const TImageData& source = writable.Image();
  const TFormatDescriptor& d = *GetFormatDescriptor(source.Format);
  const uint32_t channels = uint32_t(d.Channels);
  const uint32_t sampleBytes = uint32_t(d.BytesPerPixel) / channels;
  const uint32_t width = uint32_t(source.Width), height = uint32_t(source.Height);
  const bool gray = d.IsGray;

  std::vector<opj_image_cmptparm_t> parameters(channels);
  for (opj_image_cmptparm_t& p : parameters) {
    std::memset(&p, 0, sizeof(p));
    p.dx = p.dy = 1;
    p.w = width;
    p.h = height;
    p.prec = 8 * sampleBytes;
    p.sgnd = 0;
  }
  TJ2kImage image(
      opj_image_create(channels, parameters.data(), gray ? OPJ_CLRSPC_GRAY : OPJ_CLRSPC_SRGB));
  if (!image) RaiseImaging("JPEG 2000 error: out of memory.");
  image->x0 = image->y0 = 0;
  image->x1 = width;
  image->y1 = height;
  if (d.HasAlpha) image->comps[channels - 1].alpha = 1;
  // The engine keeps B, G, R(, A); the file's components are R, G, B(, A).
  const size_t pixels = size_t(width) * height;
  for (uint32_t c = 0; c < channels; ++c) {
    const uint32_t from = gray || c == 3 ? c : 2 - c;
    OPJ_INT32* out = image->comps[c].data;
    if (sampleBytes == 1) {
      const uint8_t* in = source.bits() + from;
      for (size_t i = 0; i < pixels; ++i) out[i] = in[i * channels];
    } else {
      const uint16_t* in = reinterpret_cast<const uint16_t*>(source.bits()) + from;
      for (size_t i = 0; i < pixels; ++i) out[i] = in[i * channels];
    }
  }

  opj_cparameters_t settings;
  opj_set_default_encoder_parameters(&settings);
  settings.numresolution = int(ResolutionLevels(width, height));
  settings.tcp_numlayers = 1;
  settings.cp_disto_alloc = 1;
  settings.tcp_mct = channels >= 3 ? 1 : 0;
  if (LosslessCompression.load() != 0) {
    settings.irreversible = 0;
    settings.tcp_rates[0] = 0;
  } else {
    int32_t quality = Quality.load();
    if (quality < 1 || quality > 100) quality = kDefaultJpeg2000Quality;
    const double raw = double(width) * height * d.BytesPerPixel;
    const double target =
        raw * 100.0 / double((115 - quality) * (115 - quality)) + 550 + 142.0 * (channels - 1);
    settings.irreversible = 1;
    settings.tcp_rates[0] = float(raw / target);
  }

  TJ2kCoder coder(handle.Stream(), false,
                  CodeStreamOnly.load() != 0 ? OPJ_CODEC_J2K : OPJ_CODEC_JP2);
  if (!opj_setup_encoder(coder.Codec(), &settings, image.get()))
    coder.Raise("cannot set up the encoder");
  if (!opj_start_compress(coder.Codec(), image.get(), coder.Stream()) ||
      !opj_encode(coder.Codec(), coder.Stream()) ||
      !opj_end_compress(coder.Codec(), coder.Stream()))
    coder.Raise("cannot encode the image");
  return true;
}

}  // namespace pixolan::imaging
