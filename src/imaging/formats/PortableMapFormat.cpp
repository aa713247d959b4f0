#include "imaging/formats/PortableMapFormat.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/image/ByteOrder.h"
#include "imaging/image/Errors.h"
#include "imaging/image/Imaging.h"
#include "platform/AsciiCase.h"

namespace pixolan::imaging {
namespace {

using F = TImageFormatId;

constexpr bool IsBlank(int c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Where file sample c of a pixel goes within the engine's pixel, by channel count: gray,
// gray + alpha, and R, G, B (+ A) into the engine's B, G, R, A order.
constexpr int kPositions[5][4] = {{}, {0}, {0, 1}, {2, 1, 0}, {2, 1, 0, 3}};

// Byte reader over the stream with a buffer of its own: headers and plain-text rasters are
// read a character at a time. It also notes how the first header line ends, which decides
// the byte order of two-byte samples.
class TMapReader {
 public:
  explicit TMapReader(TStream& stream) : stream_(stream), size_(stream.Size()) {}

  int Peek() {
    if (pos_ == len_ && !Fill()) return -1;
    return buffer_[pos_];
  }
  int Get() {
    const int c = Peek();
    if (c < 0) return c;
    ++pos_;
    if (c == '\n' && !sawLineFeed_) {
      sawLineFeed_ = true;
      crlf_ = previous_ == '\r';
    }
    previous_ = c;
    return c;
  }
  // Bytes not read yet.
  int64_t Left() { return size_ - stream_.Tell() + int64_t(len_ - pos_); }
  void ReadBytes(uint8_t* out, size_t count, const char* what) {
    const size_t buffered = std::min(count, len_ - pos_);
    std::memcpy(out, buffer_.data() + pos_, buffered);
    pos_ += buffered;
    if (count > buffered) stream_.ReadExact(out + buffered, int64_t(count - buffered), what);
  }
  // Whether the first header line ended with CR LF.
  bool FirstLineEndsWithCrLf() const { return crlf_; }

 private:
  bool Fill() {
    const int64_t n = stream_.Read(buffer_.data(), int64_t(buffer_.size()));
    pos_ = 0;
    len_ = size_t(std::max<int64_t>(n, 0));
    return len_ > 0;
  }

  TStream& stream_;
  int64_t size_;
  std::vector<uint8_t> buffer_ = std::vector<uint8_t>(16384);
  size_t pos_ = 0;
  size_t len_ = 0;
  int previous_ = -1;
  bool sawLineFeed_ = false;
  bool crlf_ = false;
};

// "#" runs to the end of the line; the line end itself stays, it separates tokens.
void SkipComment(TMapReader& reader) {
  for (int c = reader.Peek(); c >= 0 && c != '\n' && c != '\r'; c = reader.Peek()) reader.Get();
}

void SkipBlanksAndComments(TMapReader& reader) {
  for (int c = reader.Peek(); c >= 0; c = reader.Peek()) {
    if (c == '#')
      SkipComment(reader);
    else if (IsBlank(c))
      reader.Get();
    else
      break;
  }
}

// The next header token; header numbers and the PFM scale are short, so anything longer
// is not a portable map.
std::string Token(TMapReader& reader, const char* what) {
  SkipBlanksAndComments(reader);
  std::string token;
  for (int c = reader.Peek(); c >= 0 && !IsBlank(c) && c != '#'; c = reader.Peek()) {
    if (token.size() >= 40) RaiseImagingFormat("Portable map %s is too long.", what);
    token += char(reader.Get());
  }
  if (token.empty()) RaiseImagingFormat("Portable map header ends before its %s.", what);
  return token;
}

int32_t ParseNumber(std::string_view text, const char* what, int32_t low, int32_t high) {
  int64_t value = 0;
  const bool digits =
      !text.empty() && text.size() <= 10 &&
      std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (digits)
    for (char c : text) value = value * 10 + (c - '0');
  if (!digits || value < low || value > high)
    RaiseImagingFormat("Invalid portable map %s \"%.40s\" (expected %d..%d).", what,
                       std::string(text).c_str(), low, high);
  return int32_t(value);
}

int32_t NumberToken(TMapReader& reader, const char* what, int32_t low, int32_t high) {
  return ParseNumber(Token(reader, what), what, low, high);
}

// The single blank that ends a header before binary data (a comment may come first). A
// file whose first line ends with CR LF ends its header the same way.
void EndOfHeader(TMapReader& reader) {
  if (reader.Peek() == '#') SkipComment(reader);
  const int c = reader.Get();
  if (!IsBlank(c)) RaiseImagingFormat("Portable map header is not followed by its data.");
  if (c == '\r' && reader.FirstLineEndsWithCrLf() && reader.Peek() == '\n') reader.Get();
}

// What the header says about the samples and the image they make.
struct TMapLayout {
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t Channels = 1;
  int32_t MaxVal = 255;
  bool Plain = false;       // samples as decimal text (P1, P2, P3)
  bool Bits = false;        // PBM: one bit a sample, 1 is black
  bool BlackWhite = false;  // PAM black-and-white types: 0 and 1
  F Format = F::Unknown;
};

void CheckSize(const TMapLayout& layout) {
  if (int64_t(layout.Width) * layout.Height > kMaxImagePixels)
    RaiseImagingFormat("Portable map of %dx%d pixels exceeds the limit of %lld pixels.",
                       layout.Width, layout.Height, (long long)kMaxImagePixels);
}

F IntegerFormat(int32_t channels, bool wide) {
  switch (channels) {
    case 1:
      return wide ? F::Gray16 : F::Gray8;
    case 2:
      return wide ? F::A16Gray16 : F::A8Gray8;
    case 3:
      return wide ? F::R16G16B16 : F::R8G8B8;
    default:
      return wide ? F::A16R16G16B16 : F::A8R8G8B8;
  }
}

void ReadPamHeader(TMapReader& reader, TMapLayout& layout) {
  // The rest of the magic line must be empty: "P7 332" starts an XV thumbnail, no PAM.
  std::string line;
  const auto readLine = [&]() {
    line.clear();
    for (int c = reader.Get(); c != '\n'; c = reader.Get()) {
      if (c < 0) RaiseImagingFormat("PAM header ends before ENDHDR.");
      if (line.size() >= 4096) RaiseImagingFormat("PAM header line is too long.");
      line += char(c);
    }
    const auto blank = [](char c) { return IsBlank(c); };
    while (!line.empty() && blank(line.back())) line.pop_back();
    line.erase(line.begin(), std::find_if_not(line.begin(), line.end(), blank));
  };
  readLine();
  if (!line.empty())
    RaiseImagingFormat("Not a PAM header: \"P7\" is followed by \"%.40s\".", line.c_str());
  int32_t width = -1, height = -1, depth = -1, maxval = -1;
  std::string tupleType;
  for (;;) {
    readLine();
    if (line.empty() || line[0] == '#') continue;
    const size_t split = std::min(line.find_first_of(" \t"), line.size());
    const std::string key = line.substr(0, split);
    const size_t valueStart = line.find_first_not_of(" \t", split);
    const std::string value = valueStart == std::string::npos ? "" : line.substr(valueStart);
    if (key == "ENDHDR") break;
    int32_t* field = key == "WIDTH"    ? &width
                     : key == "HEIGHT" ? &height
                     : key == "DEPTH"  ? &depth
                     : key == "MAXVAL" ? &maxval
                                       : nullptr;
    if (field) {
      if (*field >= 0) RaiseImagingFormat("PAM header names %s twice.", key.c_str());
      *field = key == "MAXVAL" ? ParseNumber(value, "MAXVAL", 1, 65535)
                               : ParseNumber(value, key.c_str(), 1, INT32_MAX);
    } else if (key == "TUPLTYPE") {
      if (tupleType.size() + value.size() > 256) RaiseImagingFormat("PAM tuple type is too long.");
      tupleType += (tupleType.empty() ? "" : " ") + value;
    } else {
      RaiseImagingFormat("Unknown PAM header line \"%.40s\".", line.c_str());
    }
  }
  if (width < 0 || height < 0 || depth < 0 || maxval < 0)
    RaiseImagingFormat("PAM header lacks WIDTH, HEIGHT, DEPTH or MAXVAL.");

  struct TTuple {
    const char* Name;
    int32_t Depth;
    bool BlackWhite;
  };
  static constexpr TTuple kTuples[] = {
      {"BLACKANDWHITE", 1, true},       {"GRAYSCALE", 1, false},       {"RGB", 3, false},
      {"BLACKANDWHITE_ALPHA", 2, true}, {"GRAYSCALE_ALPHA", 2, false}, {"RGB_ALPHA", 4, false},
  };
  const TTuple* tuple = nullptr;
  if (tupleType.empty()) {
    // Older writers leave the type out; the depth then tells gray from color.
    if (depth <= 4) tuple = &kTuples[depth == 1 ? 1 : depth == 2 ? 4 : depth == 3 ? 2 : 5];
  } else {
    for (const TTuple& t : kTuples)
      if (platform::EqualsIgnoreAsciiCase(tupleType, t.Name)) tuple = &t;
    if (!tuple && (platform::EqualsIgnoreAsciiCase(tupleType, "GRAYSCALEFP") ||
                   platform::EqualsIgnoreAsciiCase(tupleType, "RGBFP")))
      RaiseImagingFormat("PAM tuple type \"%s\" (floating point samples) is not supported.",
                         tupleType.c_str());
    if (!tuple) RaiseImagingFormat("Unsupported PAM tuple type \"%.40s\".", tupleType.c_str());
  }
  if (!tuple || tuple->Depth != depth)
    RaiseImagingFormat("PAM depth %d does not fit tuple type \"%.40s\".", depth, tupleType.c_str());
  layout.Width = width;
  layout.Height = height;
  layout.Channels = depth;
  layout.MaxVal = maxval;
  layout.BlackWhite = tuple->BlackWhite;
  layout.Format = IntegerFormat(depth, maxval > 255 && !tuple->BlackWhite);
}

// Checked before anything is allocated: binary rows hold every sample, and a plain sample
// takes at least a character (PBM) or a digit and a blank.
void CheckIntegerData(TMapReader& reader, const TMapLayout& layout) {
  const int64_t samples = int64_t(layout.Width) * layout.Channels * layout.Height;
  const int64_t rowBytes =
      layout.Bits ? (int64_t(layout.Width) + 7) / 8
                  : int64_t(layout.Width) * layout.Channels * (layout.MaxVal > 255 ? 2 : 1);
  const int64_t left = reader.Left();
  const bool enough = layout.Plain ? (layout.Bits ? samples <= left : samples <= (left + 1) / 2)
                                   : rowBytes * layout.Height <= left;
  if (!enough)
    RaiseImagingFormat(
        "Portable map data is truncated: %dx%d pixels need more than the %lld bytes present.",
        layout.Width, layout.Height, (long long)left);
}

// Decodes the integer samples (P1..P7) into the image.
void ReadIntegerSamples(TMapReader& reader, const TMapLayout& layout, TImageData& image) {
  const int32_t channels = layout.Channels;
  const size_t fileBytes = layout.Bits ? 0 : layout.MaxVal > 255 ? 2 : 1;
  const size_t outBytes =
      size_t(GetFormatDescriptor(image.Format)->BytesPerPixel) / size_t(channels);
  const int64_t samplesPerRow = int64_t(layout.Width) * channels;
  const int64_t rowBytes =
      layout.Bits ? (int64_t(layout.Width) + 7) / 8 : samplesPerRow * int64_t(fileBytes);

  // Sample value -> stored value, for every value up to MAXVAL.
  std::vector<uint16_t> scale(size_t(layout.MaxVal) + 1);
  const uint32_t top = outBytes == 2 ? 65535 : 255;
  for (uint32_t v = 0; v <= uint32_t(layout.MaxVal); ++v)
    scale[v] =
        uint16_t(layout.Bits         ? (v ? 0 : 255)
                 : layout.BlackWhite ? (v ? 255 : 0)
                                     : uint32_t(uint64_t(v) * top / uint32_t(layout.MaxVal)));
  const uint32_t maxval = uint32_t(layout.MaxVal);
  const bool littleEndian = reader.FirstLineEndsWithCrLf();
  const int* position = kPositions[channels];
  const size_t stride = size_t(layout.Width) * size_t(channels) * outBytes;

  std::vector<uint8_t> row(layout.Plain ? 0 : size_t(rowBytes));
  const auto plainSample = [&]() -> uint32_t {
    SkipBlanksAndComments(reader);
    int c = reader.Get();
    if (layout.Bits) {
      if (c != '0' && c != '1') RaiseImagingFormat("Invalid PBM sample in plain data.");
      return uint32_t(c - '0');
    }
    if (c < '0' || c > '9')
      RaiseImagingFormat("Invalid or missing sample in plain portable map data.");
    uint32_t v = 0;
    for (;; c = reader.Get()) {
      v = std::min<uint32_t>(v * 10 + uint32_t(c - '0'), 1u << 20);
      const int next = reader.Peek();
      if (next < '0' || next > '9') break;
    }
    return v;
  };
  for (int32_t y = 0; y < layout.Height; ++y) {
    if (!layout.Plain) reader.ReadBytes(row.data(), row.size(), "portable map data");
    uint8_t* out = image.bits() + size_t(y) * stride;
    if (!layout.Plain && fileBytes == 1 && outBytes == 1 && maxval == 255 && !layout.BlackWhite) {
      // The common case, samples stored as they are: no lookup, only the channel order.
      for (int32_t x = 0; x < layout.Width; ++x)
        for (int32_t c = 0; c < channels; ++c)
          out[size_t(x) * size_t(channels) + size_t(position[c])] =
              row[size_t(x) * size_t(channels) + size_t(c)];
      continue;
    }
    for (int64_t i = 0, x = 0; x < layout.Width; ++x) {
      for (int32_t c = 0; c < channels; ++c, ++i) {
        uint32_t v;
        if (layout.Plain)
          v = plainSample();
        else if (layout.Bits)
          v = (row[size_t(i / 8)] >> (7 - i % 8)) & 1;
        else if (fileBytes == 1)
          v = row[size_t(i)];
        else
          v = littleEndian ? Get16(&row[size_t(i) * 2]) : GetBe16(&row[size_t(i) * 2]);
        const uint16_t stored = scale[std::min(v, maxval)];
        const size_t at = (size_t(x) * size_t(channels) + size_t(position[c])) * outBytes;
        if (outBytes == 1)
          out[at] = uint8_t(stored);
        else
          Put16(out + at, stored);
      }
    }
  }
}

void ReadFloatMap(TMapReader& reader, bool color, TDynImageDataArray& images) {
  TMapLayout layout;
  layout.Width = NumberToken(reader, "width", 1, INT32_MAX);
  layout.Height = NumberToken(reader, "height", 1, INT32_MAX);
  CheckSize(layout);
  std::string scaleText = Token(reader, "scale");
  double scale = 0;
  const char* first = scaleText.data() + (scaleText[0] == '+' ? 1 : 0);
  const char* last = scaleText.data() + scaleText.size();
  const auto [end, error] = std::from_chars(first, last, scale);
  if (error != std::errc() || end != last || !std::isfinite(scale) || scale == 0)
    RaiseImagingFormat("Invalid PFM scale \"%.40s\".", scaleText.c_str());
  EndOfHeader(reader);

  const int32_t channels = color ? 3 : 1;
  const int64_t rowBytes = int64_t(layout.Width) * channels * 4;
  if (rowBytes * layout.Height > reader.Left())
    RaiseImagingFormat("PFM data is truncated: %dx%d pixels need more than the %lld bytes present.",
                       layout.Width, layout.Height, (long long)reader.Left());
  TImageData image;
  ImageCreateForOverwrite(layout.Width, layout.Height, color ? F::A32B32G32R32F : F::R32F, image);
  const bool bigEndian = scale > 0;
  std::vector<uint8_t> row(static_cast<size_t>(rowBytes));
  const size_t outChannels = color ? 4 : 1;
  for (int32_t y = 0; y < layout.Height; ++y) {
    reader.ReadBytes(row.data(), row.size(), "PFM data");
    // Rows are stored bottom first.
    uint8_t* out =
        image.bits() + size_t(layout.Height - 1 - y) * size_t(layout.Width) * outChannels * 4;
    for (int32_t x = 0; x < layout.Width; ++x) {
      for (int32_t c = 0; c < channels; ++c) {
        const uint8_t* s = &row[(size_t(x) * size_t(channels) + size_t(c)) * 4];
        const uint32_t bitsValue = bigEndian ? GetBe32(s) : Get32(s);
        float value;
        std::memcpy(&value, &bitsValue, 4);
        std::memcpy(out + (size_t(x) * outChannels + size_t(c)) * 4, &value, 4);
      }
      if (color) {
        const float alpha = 1.0f;
        std::memcpy(out + (size_t(x) * outChannels + 3) * 4, &alpha, 4);
      }
    }
  }
  images.push_back(std::move(image));
}

// ---- Writing ---------------------------------------------------------------------------

// Writes the rows' samples in file order, binary (big-endian when two bytes) or as plain
// decimal text in lines of at most 70 characters.
void WriteIntegerSamples(TStream& stream, const TImageData& image, int32_t channels,
                         size_t sampleBytes, bool plain) {
  const int* position = kPositions[channels];
  const size_t samplesPerRow = size_t(image.Width) * size_t(channels);
  const size_t stride = samplesPerRow * sampleBytes;
  std::vector<uint8_t> out;
  out.reserve(plain ? samplesPerRow * 7 : stride);
  for (int32_t y = 0; y < image.Height; ++y) {
    const uint8_t* row = image.bits() + size_t(y) * stride;
    size_t lineLength = 0;
    for (size_t i = 0; i < samplesPerRow; ++i) {
      const size_t at =
          (i / size_t(channels) * size_t(channels) + size_t(position[i % size_t(channels)])) *
          sampleBytes;
      const uint32_t v = sampleBytes == 1 ? row[at] : Get16(row + at);
      if (!plain) {
        if (sampleBytes == 2) out.push_back(uint8_t(v >> 8));
        out.push_back(uint8_t(v));
        continue;
      }
      char text[8];
      const auto [end, error] = std::to_chars(text, text + sizeof(text), v);
      const size_t length = size_t(end - text);
      if (lineLength > 0 && lineLength + 1 + length > 70) {
        out.push_back('\n');
        lineLength = 0;
      } else if (lineLength > 0) {
        out.push_back(' ');
        ++lineLength;
      }
      out.insert(out.end(), text, end);
      lineLength += length;
    }
    if (plain) out.push_back('\n');
    if (out.size() >= 65536 || y + 1 == image.Height) {
      stream.WriteExact(out.data(), int64_t(out.size()));
      out.clear();
    }
  }
}

void WriteText(TStream& stream, const std::string& text) {
  stream.WriteExact(text.data(), int64_t(text.size()));
}

// Whether the image needs an alpha channel: a format with alpha, or an indexed image one
// of whose pixels uses a palette entry that is not opaque (unused entries of a short palette
// are often left zero).
bool HasVisibleAlpha(const TImageData& image, const TFormatDescriptor& d) {
  if (d.HasAlpha) return true;
  if (!d.IsIndexed || !image.palette() || d.BytesPerPixel != 1) return false;
  bool used[256] = {};
  for (int32_t i = 0; i < image.Size; ++i) used[image.bits()[i]] = true;
  for (int i = 0; i < std::min(d.PaletteSize, 256); ++i)
    if (used[i] && image.palette()[i].A != 255) return true;
  return false;
}

// More than 8 bits a channel: written with two-byte samples.
bool IsDeep(const TFormatDescriptor& d) {
  return !d.IsIndexed && !d.UsesPackedLayout && d.Channels > 0 && d.BytesPerPixel / d.Channels > 1;
}

}  // namespace

TPortableMapFileFormat::TPortableMapFileFormat(TPortableMapKind kind, const char* name,
                                               const char* masks, char plainMagic, char binaryMagic)
    : kind_(kind), plainMagic_(plainMagic), binaryMagic_(binaryMagic) {
  Name = name;
  CanRead = true;
  CanWrite = kind != TPortableMapKind::Bitmap;
  MultiImage = false;
  AddMasks(masks);
}

TPBMFileFormat::TPBMFileFormat()
    : TPortableMapFileFormat(TPortableMapKind::Bitmap, "Portable Bit Map", "*.pbm", '1', '4') {}

TPGMFileFormat::TPGMFileFormat()
    : TPortableMapFileFormat(TPortableMapKind::Graymap, "Portable Gray Map", "*.pgm", '2', '5') {
  for (F f : {F::Gray8, F::Gray16}) WritableFormatSet.set(size_t(f));
  BindOption(kOptionPgmSaveBinary, SaveBinary);
}

TPPMFileFormat::TPPMFileFormat()
    : TPortableMapFileFormat(TPortableMapKind::Pixmap, "Portable Pixel Map", "*.ppm", '3', '6') {
  for (F f : {F::R8G8B8, F::R16G16B16}) WritableFormatSet.set(size_t(f));
  BindOption(kOptionPpmSaveBinary, SaveBinary);
}

TPAMFileFormat::TPAMFileFormat()
    : TPortableMapFileFormat(TPortableMapKind::Arbitrary, "Portable Arbitrary Map", "*.pam", '7',
                             '7') {
  for (F f : {F::Gray8, F::A8Gray8, F::Gray16, F::A16Gray16, F::R8G8B8, F::A8R8G8B8, F::R16G16B16,
              F::A16R16G16B16})
    WritableFormatSet.set(size_t(f));
}

TPFMFileFormat::TPFMFileFormat()
    : TPortableMapFileFormat(TPortableMapKind::FloatMap, "Portable Float Map", "*.pfm", 'F', 'f') {
  for (F f : {F::R32F, F::A32B32G32R32F}) WritableFormatSet.set(size_t(f));
}

bool TPortableMapFileFormat::TestContent(TIOHandle& handle) {
  const int64_t start = handle.Tell();
  uint8_t magic[4] = {};
  const int64_t read = handle.Read(magic, sizeof(magic));
  handle.Seek(start, TSeekOrigin::Begin);
  return read >= 3 && magic[0] == 'P' && (magic[1] == plainMagic_ || magic[1] == binaryMagic_) &&
         IsBlank(magic[2]);
}

bool TPortableMapFileFormat::ReadImages(TIOHandle& handle, TDynImageDataArray& images, bool) {
  TMapReader reader(handle.Stream());
  if (reader.Get() != 'P') RaiseImagingFormat("Not a portable map: no \"P\" magic.");
  const int magic = reader.Get();
  if (magic == 'F' || magic == 'f') {
    ReadFloatMap(reader, magic == 'F', images);
    return true;
  }
  TMapLayout layout;
  if (magic == '7') {
    ReadPamHeader(reader, layout);
  } else if (magic >= '1' && magic <= '6') {
    const int type = (magic - '1') % 3;  // 0 bitmap, 1 graymap, 2 pixmap
    layout.Plain = magic <= '3';
    layout.Bits = type == 0;
    layout.Channels = type == 2 ? 3 : 1;
    layout.Width = NumberToken(reader, "width", 1, INT32_MAX);
    layout.Height = NumberToken(reader, "height", 1, INT32_MAX);
    layout.MaxVal = layout.Bits ? 1 : NumberToken(reader, "maximum value", 1, 65535);
    // A plain raster may start right after the header's last token; binary data starts
    // after exactly one blank.
    if (!layout.Plain) EndOfHeader(reader);
    layout.Format = layout.Bits ? F::Gray8 : IntegerFormat(layout.Channels, layout.MaxVal > 255);
  } else {
    RaiseImagingFormat("Unknown portable map type \"P%c\".",
                       magic > ' ' && magic < 127 ? char(magic) : '?');
  }
  CheckSize(layout);
  CheckIntegerData(reader, layout);
  TImageData image;
  ImageCreateForOverwrite(layout.Width, layout.Height, layout.Format, image);
  ReadIntegerSamples(reader, layout, image);
  images.push_back(std::move(image));
  return true;
}

void TPortableMapFileFormat::ConvertForWriting(TImageData& image,
                                               const TFormatDescriptor& d) const {
  const bool deep = IsDeep(d);
  F target;
  switch (kind_) {
    case TPortableMapKind::Graymap:
      target = deep ? F::Gray16 : F::Gray8;
      break;
    case TPortableMapKind::Pixmap:
      target = deep ? F::R16G16B16 : F::R8G8B8;
      break;
    case TPortableMapKind::Arbitrary:
      target = IntegerFormat((d.IsGray ? 1 : 3) + (HasVisibleAlpha(image, d) ? 1 : 0), deep);
      break;
    case TPortableMapKind::FloatMap:
      target = d.IsGray || (d.Channels == 1 && !d.IsIndexed) ? F::R32F : F::A32B32G32R32F;
      break;
    default:
      return;
  }
  ImageConvert(image, target);
}

bool TPortableMapFileFormat::WriteImages(TIOHandle& handle, TImageSpan images,
                                         const TSaveSelection& selection) {
  if (kind_ == TPortableMapKind::Bitmap)
    return TImageFileFormat::WriteImages(handle, images, selection);
  const TWritableImage writable = MakeWritableCopy(images[size_t(selection.SaveFirst)]);
  if (!writable) return false;
  const TImageData& image = writable.Image();
  const TFormatDescriptor& d = *GetFormatDescriptor(image.Format);
  TStream& stream = handle.Stream();

  if (kind_ == TPortableMapKind::FloatMap) {
    const int32_t channels = image.Format == F::R32F ? 1 : 3;
    const size_t inChannels = image.Format == F::R32F ? 1 : 4;
    // A negative scale says little-endian; its size, 1, leaves the samples as they are.
    WriteText(stream, FormatText("P%c\n%d\n%d\n-1\n", channels == 1 ? 'f' : 'F', image.Width,
                                 image.Height));
    std::vector<uint8_t> row(size_t(image.Width) * size_t(channels) * 4);
    for (int32_t y = image.Height - 1; y >= 0; --y) {
      const uint8_t* in = image.bits() + size_t(y) * size_t(image.Width) * inChannels * 4;
      for (int32_t x = 0; x < image.Width; ++x)
        for (int32_t c = 0; c < channels; ++c) {
          uint32_t v;
          std::memcpy(&v, in + (size_t(x) * inChannels + size_t(c)) * 4, 4);
          Put32(&row[(size_t(x) * size_t(channels) + size_t(c)) * 4], v);
        }
      stream.WriteExact(row.data(), int64_t(row.size()));
    }
    return true;
  }

  const size_t sampleBytes = size_t(d.BytesPerPixel / d.Channels);
  const uint32_t maxval = sampleBytes == 2 ? 65535 : 255;
  if (kind_ == TPortableMapKind::Arbitrary) {
    static const char* const kTypes[] = {"", "GRAYSCALE", "GRAYSCALE_ALPHA", "RGB", "RGB_ALPHA"};
    WriteText(stream,
              FormatText("P7\nWIDTH %d\nHEIGHT %d\nDEPTH %d\nMAXVAL %u\nTUPLTYPE %s\nENDHDR\n",
                         image.Width, image.Height, d.Channels, maxval, kTypes[d.Channels]));
    WriteIntegerSamples(stream, image, d.Channels, sampleBytes, false);
    return true;
  }
  const bool binary = SaveBinary.load() != 0;
  WriteText(stream, FormatText("P%c\n%d\n%d\n%u\n", binary ? binaryMagic_ : plainMagic_,
                               image.Width, image.Height, maxval));
  WriteIntegerSamples(stream, image, d.Channels, sampleBytes, !binary);
  return true;
}

}  // namespace pixolan::imaging
