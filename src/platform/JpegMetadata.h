// Carrying the metadata of a JPEG source (EXIF, IPTC, XMP and the ICC colour profile)
// into a JPEG result, through Exiv2.
//
// The result is the converted image: its pixels are the source's pixels as decoded (no
// turn from the EXIF Orientation is applied on loading), after whatever the conversion did
// to them. The carried metadata is made to describe that image, not the source:
// - Software (EXIF 0x0131, XMP tiff:Software) and XMP xmp:CreatorTool name this program.
// - Orientation (EXIF and XMP tiff:Orientation, where present) is carried while the
//   result's pixels lie as the source's did, so viewers keep showing a phone's portrait
//   upright. When the conversion turned or mirrored the pixels (the user made them
//   upright as the program shows them: stored, unturned), it becomes 1, "stored upright":
//   a carried 6 would make every viewer turn them once more. See TResultOrientation.
// - Pixel dimensions (EXIF PixelXDimension/PixelYDimension and ImageWidth/ImageLength,
//   XMP exif:PixelXDimension, exif:PixelYDimension, tiff:ImageWidth, tiff:ImageLength,
//   where present) are set to the result's frame size.
// - The embedded thumbnail (EXIF IFD1, XMP xmp:Thumbnails) is dropped: it shows the
//   unconverted image, and file browsers would show that instead of the result. Making a
//   new one would need the image engine, which this layer does not reach.
// - The ICC colour profile is carried when its colour space is the result's (an RGB
//   profile into a three-component JPEG, a gray one into a one-component JPEG): the pixels
//   keep the source's values, and without their profile viewers would take them for sRGB.
//   A profile of another kind (the CMYK profile of a CMYK source converted to RGB) no
//   longer describes the pixels and is left out.
// Every other tag is carried unchanged, in the source's EXIF byte order. The JPEG comment
// and other Photoshop resources than IPTC are not carried.
//
// Exiv2 never prints (it is silenced before its first use) and is entered by one call at a
// time: it keeps process-wide XMP namespace tables that decoding a packet changes. So
// several threads may read and embed at once, each on its own data; they take turns for
// the metadata work alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace pixolan::platform {

// What the Software fields of every carried metadata say.
inline constexpr std::string_view kMetadataSoftware = "Orvanta Pixolan";

// Largest JPEG header (everything before the first scan: metadata, tables, frame header)
// ReadJpegMetadata takes in. A header's segments are at most 64 KiB each, but a file may
// hold any number of them; real files stay far below this (EXIF 64 KiB, an ICC profile a
// few MiB at most), so more is refused instead of being read into memory.
inline constexpr size_t kMaxJpegHeaderBytes = size_t(16) << 20;

// Reading or embedding failed. The message names the file (when there is one) and the
// reason: the system's, the metadata library's or the structure found.
class EJpegMetadataError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Whether the result's pixels still lie as the source's: then the source's Orientation
// describes them too. Upright: the conversion turned or mirrored them, and they are now
// meant as stored.
enum class TResultOrientation { AsSource, Upright };

// The EXIF, IPTC, XMP and ICC profile of one JPEG file, as read. A value: copies are
// cheap and share the (never changed) data, so one may be handed between threads.
class TJpegMetadata {
 public:
  // No metadata at all; embedding it still writes the Software fields.
  TJpegMetadata();

  // Whether the file had no EXIF, IPTC, XMP or ICC profile.
  bool Empty() const;
  // The source's EXIF Orientation, 1..8 as the EXIF standard numbers them (1 stored
  // upright, 3 turned by 180 degrees, 6 needs a quarter turn clockwise, 8 anticlockwise,
  // 2, 4, 5, 7 mirrored); 1 when the tag is missing or out of range.
  int Orientation() const;

  // One EXIF field as a file information view shows it.
  struct TField {
    std::string Tag;    // the EXIF tag's name: "Make", "DateTimeOriginal", ...
    std::string Value;  // as the metadata library reads it out: "1/60 s", "F2.8", "4.2 mm"
  };
  // Those of the fields that say how a photo was taken which the file has, in this order:
  // Make, Model, DateTimeOriginal, ExposureTime, FNumber, ISOSpeedRatings, FocalLength.
  // Values are cut to kMaxFieldLength bytes: they come from the file and are shown whole.
  std::vector<TField> MainFields() const;
  static constexpr size_t kMaxFieldLength = 200;

  struct TData;  // the library's objects; defined where they are used

 private:
  explicit TJpegMetadata(std::shared_ptr<const TData> data);
  friend std::optional<TJpegMetadata> ReadJpegMetadata(const std::string& path);
  friend void EmbedJpegMetadata(const TJpegMetadata& metadata, std::vector<uint8_t>& jpegBytes,
                                TResultOrientation orientation);

  std::shared_ptr<const TData> data_;
};

// The metadata of the JPEG file at path. nullopt when the file is not a JPEG (it does not
// start with a start-of-image marker, or it is no regular file: a named pipe or device is
// never read). A JPEG without metadata gives an empty TJpegMetadata, so its result still
// gets the Software fields. Only the header is read (at most kMaxJpegHeaderBytes), never
// the image data. Raises EJpegMetadataError when the file cannot be opened or read, when
// its header is damaged or too large, or when the metadata library refuses the metadata;
// such a file is still convertible, and callers decide whether the result goes without
// metadata. Metadata the library can read around (a broken XMP packet, a bad EXIF entry)
// is left out silently, and so is a damaged ICC profile.
std::optional<TJpegMetadata> ReadJpegMetadata(const std::string& path);

// Writes metadata, with the changes described at the top of this file, into the encoded
// JPEG in jpegBytes, replacing any EXIF, IPTC, XMP, ICC profile and comment it has. The
// image data is not recompressed: the frame header, tables and every byte from the first
// scan on stay as they were, which is checked. Raises EJpegMetadataError when jpegBytes is
// no JPEG, when the library would change the image data (it does not know the markers of
// every JPEG variant), or when the metadata cannot be written whole (EXIF or XMP that no
// longer fits the 64 KiB of a JPEG segment); jpegBytes is then unchanged. The result is
// meant for an atomic write (WriteFileAtomically), so that no file is ever half-written.
void EmbedJpegMetadata(const TJpegMetadata& metadata, std::vector<uint8_t>& jpegBytes,
                       TResultOrientation orientation = TResultOrientation::AsSource);

}  // namespace pixolan::platform
