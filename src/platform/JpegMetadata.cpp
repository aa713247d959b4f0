#include "platform/JpegMetadata.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exiv2/exiv2.hpp>
#include <map>
#include <mutex>
#include <span>
#include <system_error>
#include <utility>

#include "platform/UniqueFd.h"

namespace pixolan::platform {

struct TJpegMetadata::TData {
  Exiv2::ExifData Exif;
  Exiv2::IptcData Iptc;
  // The packet, not the library's decoded form: that names each property's namespace by a
  // prefix that means whatever the process-wide table says at the time, and another file
  // read meanwhile may give the prefix to another namespace.
  std::string XmpPacket;
  // The source's EXIF byte order; maker notes are laid out for it.
  Exiv2::ByteOrder Order = Exiv2::invalidByteOrder;
  // The ICC profile; empty when there was none or it was damaged.
  std::vector<uint8_t> Icc;
  int Orientation = 1;
};

namespace {

// ---- The marker structure of a JPEG header ------------------------------------------

constexpr uint8_t kMarkerSoi = 0xD8;
constexpr uint8_t kMarkerEoi = 0xD9;
constexpr uint8_t kMarkerSos = 0xDA;

// Frame headers: SOF0..SOF15 less DHT (C4), JPG (C8) and DAC (CC), which share the range.
bool IsFrameHeader(uint8_t marker) {
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Markers that stand alone, without a length: TEM and the restart markers.
bool IsStandalone(uint8_t marker) {
  return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7);
}

constexpr char kIccSignature[] = "ICC_PROFILE";  // with its terminating zero: 12 bytes

// Segments the metadata library writes: APP1 (EXIF, XMP), APP2 holding an ICC profile,
// APP13 (IPTC), COM. Everything else belongs to the image.
bool IsMetadataSegment(uint8_t marker, std::span<const uint8_t> payload) {
  if (marker == 0xE2)
    return payload.size() >= sizeof kIccSignature &&
           std::memcmp(payload.data(), kIccSignature, sizeof kIccSignature) == 0;
  return marker == 0xE1 || marker == 0xED || marker == 0xFE;
}

// Everything of a JPEG before its first scan.
struct TJpegHeader {
  std::vector<uint8_t> Bytes;  // from the start-of-image marker to the scan's marker
  int32_t Width = 0;           // of the frame header; 0 when there was none
  int32_t Height = 0;
  int32_t Components = 0;
  // Where in Bytes the segments that are not metadata lie (begin, end), in file order.
  std::vector<std::pair<size_t, size_t>> ImageSegments;

  std::span<const uint8_t> Segment(size_t index) const {
    const auto [begin, end] = ImageSegments[index];
    return std::span<const uint8_t>(Bytes).subspan(begin, end - begin);
  }
};

class THeaderFault : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Walks the segments from the start of the data up to the first start-of-scan marker,
// copying them. nullopt when the data does not start like a JPEG (FF D8 FF). Raises
// THeaderFault for a broken structure or a header over kMaxJpegHeaderBytes.
// `read(into, count)` fills exactly count bytes or returns false at the end of the data.
template <class Read>
std::optional<TJpegHeader> ScanHeaderFrom(Read&& read) {
  TJpegHeader header;
  std::vector<uint8_t>& bytes = header.Bytes;
  // Appends count bytes from the data; false at its end.
  const auto take = [&](size_t count) {
    if (count > kMaxJpegHeaderBytes - bytes.size())
      throw THeaderFault("its header is larger than " + std::to_string(kMaxJpegHeaderBytes >> 20) +
                         " MiB");
    const size_t at = bytes.size();
    bytes.resize(at + count);
    if (read(bytes.data() + at, count)) return true;
    bytes.resize(at);
    return false;
  };
  if (!take(3) || bytes[0] != 0xFF || bytes[1] != kMarkerSoi || bytes[2] != 0xFF)
    return std::nullopt;
  for (;;) {
    // At a marker: one or more FF (fill bytes may pad), then the code. bytes ends in FF.
    const size_t markerStart = bytes.size() - 1;
    uint8_t marker = 0xFF;
    while (marker == 0xFF) {
      if (!take(1)) throw THeaderFault("it ends before its image data");
      marker = bytes.back();
    }
    if (marker == kMarkerSos) {
      bytes.resize(markerStart);
      return header;
    }
    if (marker == 0x00 || marker == kMarkerEoi || marker == kMarkerSoi)
      throw THeaderFault("its header holds a misplaced marker");
    std::span<const uint8_t> payload;
    if (!IsStandalone(marker)) {
      if (!take(2)) throw THeaderFault("it ends before its image data");
      const size_t length = size_t(bytes[bytes.size() - 2]) << 8 | bytes.back();
      if (length < 2) throw THeaderFault("a segment of its header has a wrong length");
      const size_t at = bytes.size();
      if (!take(length - 2)) throw THeaderFault("it ends before its image data");
      payload = std::span<const uint8_t>(bytes).subspan(at);
      if (IsFrameHeader(marker) && payload.size() >= 6) {
        header.Height = int32_t(payload[1] << 8 | payload[2]);
        header.Width = int32_t(payload[3] << 8 | payload[4]);
        header.Components = payload[5];
      }
    }
    if (!IsMetadataSegment(marker, payload))
      header.ImageSegments.emplace_back(markerStart, bytes.size());
    if (!take(1)) throw THeaderFault("it ends before its image data");
    if (bytes.back() != 0xFF) throw THeaderFault("its header holds data outside any segment");
  }
}

std::optional<TJpegHeader> ScanHeader(std::span<const uint8_t> data) {
  size_t position = 0;
  return ScanHeaderFrom([&](uint8_t* into, size_t count) {
    if (count > data.size() - position) return false;
    std::memcpy(into, data.data() + position, count);
    position += count;
    return true;
  });
}

std::string SystemReason(int error) {
  return std::error_code(error, std::generic_category()).message();
}

// Reads a file through a buffer: the header is walked a byte or two at a time.
class TBufferedReader {
 public:
  explicit TBufferedReader(int fd) : fd_(fd), buffer_(size_t(64) << 10) {}

  // Fills exactly count bytes; false at the end of the file. Raises std::system_error.
  bool Read(uint8_t* into, size_t count) {
    while (count > 0) {
      if (position_ == filled_) {
        const ssize_t n = ::read(fd_, buffer_.data(), buffer_.size());
        if (n < 0) {
          if (errno == EINTR) continue;
          throw std::system_error(errno, std::generic_category());
        }
        if (n == 0) return false;
        position_ = 0;
        filled_ = size_t(n);
      }
      const size_t part = std::min(count, filled_ - position_);
      std::memcpy(into, buffer_.data() + position_, part);
      position_ += part;
      into += part;
      count -= part;
    }
    return true;
  }

 private:
  int fd_;
  std::vector<uint8_t> buffer_;
  size_t position_ = 0;
  size_t filled_ = 0;
};

// ---- Exiv2, one call at a time ----------------------------------------------------------

// Held around every use of the library. Besides the settings made once below, Exiv2 keeps
// process-wide tables of XMP namespaces and their prefixes, and decoding a packet adds to
// them: two threads decoding packets that use one prefix for different namespaces have
// been seen to write each other's namespace. The work done under the lock is the header's
// metadata alone, never the image data, so it is small beside decoding and encoding an
// image, and converting several files at once loses little by it.
class TExiv2Lock {
 public:
  TExiv2Lock() : lock_(Mutex()) {
    // Silences the library (it would print warnings about damaged metadata to stderr) and
    // starts its XMP toolkit, once, before any other use.
    static const bool ready = [] {
      Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
      Exiv2::LogMsg::setHandler(nullptr);
      return Exiv2::XmpParser::initialize();
    }();
    if (!ready) throw EJpegMetadataError("the XMP toolkit of the metadata library cannot start");
  }

 private:
  static std::mutex& Mutex() {
    static std::mutex mutex;
    return mutex;
  }

  std::lock_guard<std::mutex> lock_;
};

// ---- What the carried metadata says of the result -------------------------------------

constexpr uint16_t kOrientationUpright = 1;

// Sets a dimension tag that the source has to the result's value, keeping its type where
// the value fits.
void SetExifDimension(Exiv2::ExifData& exif, const char* key, int32_t value) {
  const auto found = exif.findKey(Exiv2::ExifKey(key));
  if (found == exif.end()) return;
  if (found->typeId() == Exiv2::unsignedShort && value <= 0xFFFF)
    *found = uint16_t(value);
  else
    *found = uint32_t(value);
}

void SetXmpIfPresent(Exiv2::XmpData& xmp, const char* key, const std::string& value) {
  const auto found = xmp.findKey(Exiv2::XmpKey(key));
  if (found != xmp.end()) found->setValue(value);
}

void DescribeResult(Exiv2::ExifData& exif, Exiv2::XmpData& xmp, const TJpegHeader& result,
                    TResultOrientation orientation) {
  const std::string software(kMetadataSoftware);
  exif["Exif.Image.Software"] = software;
  xmp["Xmp.xmp.CreatorTool"] = software;
  xmp["Xmp.tiff.Software"] = software;

  if (orientation == TResultOrientation::Upright) {
    const auto found = exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
    if (found != exif.end()) *found = kOrientationUpright;
    SetXmpIfPresent(xmp, "Xmp.tiff.Orientation", std::to_string(kOrientationUpright));
  }

  if (result.Width > 0 && result.Height > 0) {
    SetExifDimension(exif, "Exif.Photo.PixelXDimension", result.Width);
    SetExifDimension(exif, "Exif.Photo.PixelYDimension", result.Height);
    SetExifDimension(exif, "Exif.Image.ImageWidth", result.Width);
    SetExifDimension(exif, "Exif.Image.ImageLength", result.Height);
    SetXmpIfPresent(xmp, "Xmp.exif.PixelXDimension", std::to_string(result.Width));
    SetXmpIfPresent(xmp, "Xmp.exif.PixelYDimension", std::to_string(result.Height));
    SetXmpIfPresent(xmp, "Xmp.tiff.ImageWidth", std::to_string(result.Width));
    SetXmpIfPresent(xmp, "Xmp.tiff.ImageLength", std::to_string(result.Height));
  }

  Exiv2::ExifThumb(exif).erase();
  for (auto it = xmp.begin(); it != xmp.end();) {
    if (it->key().rfind("Xmp.xmp.Thumbnails", 0) == 0)
      it = xmp.erase(it);
    else
      ++it;
  }
}

// ---- The colour profile ------------------------------------------------------------------

constexpr size_t kIccHeaderSize = 128;

// A profile whose header is whole and whose size field is the size found.
bool IsWholeIccProfile(std::span<const uint8_t> profile) {
  if (profile.size() < kIccHeaderSize) return false;
  const uint32_t size = uint32_t(profile[0]) << 24 | uint32_t(profile[1]) << 16 |
                        uint32_t(profile[2]) << 8 | profile[3];
  return size == profile.size() && std::memcmp(profile.data() + 36, "acsp", 4) == 0;
}

// Whether the profile's colour space is the one of a JPEG with that many components. A
// result's pixels are the source's as decoded, in the source's colour space, so its
// profile still describes them, unless the conversion changed the kind of data: the CMYK
// profile of a CMYK source says nothing of its RGB result.
bool IccFits(std::span<const uint8_t> profile, int32_t components) {
  const char* space = components == 1   ? "GRAY"
                      : components == 3 ? "RGB "
                      : components == 4 ? "CMYK"
                                        : nullptr;
  return space && std::memcmp(profile.data() + 16, space, 4) == 0;
}

}  // namespace

// ---- TJpegMetadata ----------------------------------------------------------------------

TJpegMetadata::TJpegMetadata() : data_(std::make_shared<const TData>()) {}

TJpegMetadata::TJpegMetadata(std::shared_ptr<const TData> data) : data_(std::move(data)) {}

bool TJpegMetadata::Empty() const {
  return data_->Exif.empty() && data_->Iptc.empty() && data_->XmpPacket.empty() &&
         data_->Icc.empty();
}

int TJpegMetadata::Orientation() const {
  return data_->Orientation;
}

std::vector<TJpegMetadata::TField> TJpegMetadata::MainFields() const {
  static constexpr std::string_view kKeys[] = {
      "Exif.Image.Make",         "Exif.Image.Model",   "Exif.Photo.DateTimeOriginal",
      "Exif.Photo.ExposureTime", "Exif.Photo.FNumber", "Exif.Photo.ISOSpeedRatings",
      "Exif.Photo.FocalLength",
  };
  std::vector<TField> fields;
  const TExiv2Lock lock;
  for (const std::string_view key : kKeys) {
    const auto found = data_->Exif.findKey(Exiv2::ExifKey(std::string(key)));
    if (found == data_->Exif.end() || found->count() == 0) continue;
    std::string value;
    try {
      value = found->print(&data_->Exif);
    } catch (const std::exception&) {
      continue;  // a value the library cannot read out is not shown
    }
    // ASCII fields keep their padding of zeros and blanks.
    while (!value.empty() && (value.back() == '\0' || value.back() == ' ')) value.pop_back();
    if (value.empty()) continue;
    if (value.size() > kMaxFieldLength) value.resize(kMaxFieldLength);
    fields.push_back({std::string(key.substr(key.rfind('.') + 1)), std::move(value)});
  }
  return fields;
}

// ---- Reading ----------------------------------------------------------------------------

std::optional<TJpegMetadata> ReadJpegMetadata(const std::string& path) {
  const std::string context = "Cannot read the metadata of \"" + path + "\": ";
  // O_NONBLOCK: opening a named pipe must not wait for a writer; it is refused below.
  TUniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!file) throw EJpegMetadataError(context + SystemReason(errno) + ".");
  struct stat st;
  if (::fstat(file.Get(), &st) != 0) throw EJpegMetadataError(context + SystemReason(errno) + ".");
  if (!S_ISREG(st.st_mode)) return std::nullopt;

  std::optional<TJpegHeader> header;
  try {
    TBufferedReader reader(file.Get());
    header = ScanHeaderFrom([&](uint8_t* into, size_t count) { return reader.Read(into, count); });
  } catch (const THeaderFault& e) {
    throw EJpegMetadataError(context + e.what() + ".");
  } catch (const std::system_error& e) {
    throw EJpegMetadataError(context + SystemReason(e.code().value()) + ".");
  }
  if (!header) return std::nullopt;

  // The library sees the header and an end-of-image marker, nothing of the image data.
  std::vector<uint8_t>& bytes = header->Bytes;
  bytes.push_back(0xFF);
  bytes.push_back(kMarkerEoi);
  auto data = std::make_shared<TJpegMetadata::TData>();
  try {
    const TExiv2Lock lock;
    auto image = Exiv2::ImageFactory::open(bytes.data(), long(bytes.size()));
    image->readMetadata();
    data->Exif = image->exifData();
    data->Iptc = image->iptcData();
    // A packet the library cannot decode is left out, as it would be on writing.
    if (!image->xmpData().empty()) data->XmpPacket = image->xmpPacket();
    data->Order = image->byteOrder();
    const auto orientation = data->Exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
    if (orientation != data->Exif.end() && orientation->count() >= 1) {
      const long value = orientation->toLong(0);
      if (value >= 1 && value <= 8) data->Orientation = int(value);
    }
    if (image->iccProfileDefined()) {
      const Exiv2::DataBuf& icc = *image->iccProfile();
      const std::span<const uint8_t> profile(icc.pData_, size_t(std::max(icc.size_, 0L)));
      if (IsWholeIccProfile(profile)) data->Icc.assign(profile.begin(), profile.end());
    }
  } catch (const std::exception& e) {
    throw EJpegMetadataError(context + e.what() + ".");
  }
  return TJpegMetadata(std::move(data));
}

// ---- Embedding --------------------------------------------------------------------------

namespace {

// Writes the metadata into the header through the library and returns the new header,
// still followed by the scan's marker. exif receives the EXIF as it was meant to be
// written. The library is given the header and the scan's marker alone: it would copy the
// image data through small buffers, at a cost that grows with the image, while it holds
// the lock.
std::vector<uint8_t> WriteThroughLibrary(const TJpegMetadata::TData& source,
                                         const TJpegHeader& header, Exiv2::ExifData& exif,
                                         TResultOrientation orientation) {
  std::vector<uint8_t> input = header.Bytes;
  input.push_back(0xFF);
  input.push_back(kMarkerSos);
  const TExiv2Lock lock;
  exif = source.Exif;
  Exiv2::XmpData xmp;
  if (!source.XmpPacket.empty() && Exiv2::XmpParser::decode(xmp, source.XmpPacket) != 0)
    xmp.clear();
  DescribeResult(exif, xmp, header, orientation);
  auto image = Exiv2::ImageFactory::open(input.data(), long(input.size()));
  image->setExifData(exif);
  image->setIptcData(source.Iptc);
  image->setXmpData(xmp);
  if (!source.Icc.empty() && IccFits(source.Icc, header.Components)) {
    Exiv2::DataBuf icc(source.Icc.data(), long(source.Icc.size()));
    image->setIccProfile(icc, true);
  }
  image->setByteOrder(source.Order == Exiv2::invalidByteOrder ? Exiv2::littleEndian : source.Order);
  image->writeMetadata();
  Exiv2::BasicIo& io = image->io();
  const long size = io.open() == 0 ? io.size() : 0;
  std::vector<uint8_t> written(size_t(std::max(size, 0L)));
  if (size <= 0 || io.read(written.data(), size) != size)
    throw EJpegMetadataError("the written data cannot be read");
  return written;
}

// Whether the library kept every segment that is not metadata, in order. It does not know
// every marker (those of JPEG-LS, for one) and would then write a different image, or a
// broken one.
bool SameImageSegments(const TJpegHeader& original, const TJpegHeader& written) {
  if (written.ImageSegments.size() != original.ImageSegments.size()) return false;
  for (size_t i = 0; i < original.ImageSegments.size(); ++i) {
    const std::span<const uint8_t> before = original.Segment(i), after = written.Segment(i);
    if (!std::equal(before.begin(), before.end(), after.begin(), after.end())) return false;
  }
  return true;
}

// Tags of more bytes than this are the ones the library empties to make EXIF that outgrew
// the 64 KiB of its segment fit; it says so only in a log message.
constexpr long kLargeExifTag = 4096;

// The first large EXIF tag meant to be written that the written header lacks, or holds with
// fewer bytes; empty when none. Smaller tags may go missing too, but only ones the library
// cannot write at all (an unknown tag 0 of a damaged source, a pointer to a directory that
// came out empty), which is no different from reading around them.
std::string LostExifTag(const Exiv2::ExifData& meant, const std::vector<uint8_t>& writtenHeader) {
  std::vector<uint8_t> input = writtenHeader;
  input.push_back(0xFF);
  input.push_back(kMarkerEoi);
  const TExiv2Lock lock;
  auto image = Exiv2::ImageFactory::open(input.data(), long(input.size()));
  image->readMetadata();
  std::map<std::string, long> written;
  for (const Exiv2::Exifdatum& datum : image->exifData()) written[datum.key()] = datum.size();
  for (const Exiv2::Exifdatum& datum : meant) {
    if (datum.size() <= kLargeExifTag) continue;
    const auto found = written.find(datum.key());
    if (found == written.end() || found->second < datum.size()) return datum.key();
  }
  return {};
}

}  // namespace

void EmbedJpegMetadata(const TJpegMetadata& metadata, std::vector<uint8_t>& jpegBytes,
                       TResultOrientation orientation) {
  const std::string context = "Cannot write metadata into the JPEG result: ";
  try {
    const std::optional<TJpegHeader> header = ScanHeader(jpegBytes);
    if (!header) throw EJpegMetadataError("it is not JPEG data");
    Exiv2::ExifData exif;
    const std::vector<uint8_t> written =
        WriteThroughLibrary(*metadata.data_, *header, exif, orientation);

    std::optional<TJpegHeader> writtenHeader;
    try {
      writtenHeader = ScanHeader(written);
    } catch (const THeaderFault&) {
    }
    if (!writtenHeader || writtenHeader->Bytes.size() + 2 != written.size())
      throw EJpegMetadataError("the metadata library wrote a damaged header");
    if (!SameImageSegments(*header, *writtenHeader))
      throw EJpegMetadataError("the metadata library changed the image data");
    if (const std::string lost = LostExifTag(exif, writtenHeader->Bytes); !lost.empty())
      throw EJpegMetadataError("the EXIF data is too large for a JPEG segment (" + lost +
                               " would be emptied)");

    // The new header in place of the old one; the image data from the scan's marker on
    // moves, within the buffer where its capacity allows, and is not copied elsewhere.
    const std::vector<uint8_t>& newHeader = writtenHeader->Bytes;
    const size_t oldSize = header->Bytes.size(), newSize = newHeader.size();
    if (newSize > oldSize)
      jpegBytes.insert(jpegBytes.begin() + std::ptrdiff_t(oldSize), newSize - oldSize, 0);
    else
      jpegBytes.erase(jpegBytes.begin() + std::ptrdiff_t(newSize),
                      jpegBytes.begin() + std::ptrdiff_t(oldSize));
    std::copy(newHeader.begin(), newHeader.end(), jpegBytes.begin());
  } catch (const std::exception& e) {
    // THeaderFault, the library's errors and the ones above, each with the reason alone.
    throw EJpegMetadataError(context + e.what() + ".");
  }
}

}  // namespace pixolan::platform
