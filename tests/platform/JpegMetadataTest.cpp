// JPEG metadata carried from a source to a result, checked with exiftool as the independent
// reader; fixtures are the engine's own JPEGs with metadata added by exiftool.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "imaging/formats/JpegFormat.h"
#include "imaging/io/Options.h"
#include "imaging/io/Registry.h"
#include "platform/AtomicFileWriter.h"
#include "platform/JpegMetadata.h"
#include "platform/UniqueFd.h"
#include "support/Bytes.h"
#include "support/ErrorOf.h"
#include "support/ExternalOracles.h"
#include "support/Files.h"
#include "support/FormatBytes.h"
#include "support/TempFolder.h"
#include "support/TestImages.h"

namespace pixolan::platform {
namespace {

namespace fs = std::filesystem;
using TBytes = std::vector<uint8_t>;
using TTags = std::map<std::string, std::string>;
using test::ErrorOf;
using test::Quote;
using test::ReadFileBytes;
using test::TTempFolder;
using test::WriteFileBytes;
using test::WriteFileText;

const fs::path kJpegSuite = fs::path(PIXOLAN_TESTDATA_DIR) / "jpeg" / "jpegsuite";
const fs::path kRgbProfile = fs::path(PIXOLAN_TESTDATA_DIR) / "gif" / "pygif" / "sRGB.icc";
const std::string kSoftware = "\"Orvanta Pixolan\"";

// ---- Fixtures ---------------------------------------------------------------------------

imaging::TJpegFileFormat& Jpeg() {
  auto* format = imaging::FindFileFormatByClass<imaging::TJpegFileFormat>();
  if (!format) throw std::runtime_error("the JPEG handler is not registered");
  return *format;
}

// A JPEG of random pixels from the engine's writer.
TBytes EngineJpeg(int32_t width, int32_t height, uint32_t seed, bool progressive = false,
                  imaging::TImageFormatId format = imaging::TImageFormatId::R8G8B8) {
  const imaging::TImageData image = test::ImageWithRuns(width, height, format, seed, 5);
  return test::SaveBytes(Jpeg(), image, {{imaging::kOptionJpegProgressive, progressive ? 1 : 0}});
}

// Runs exiftool with the arguments (already quoted where needed); fails the test when it
// does not succeed or warns, as it does of a tag it does not know.
void Exiftool(const TTempFolder& folder, const std::string& arguments) {
  ASSERT_TRUE(test::HaveTool("exiftool")) << "exiftool is missing (scripts/install-deps.sh)";
  const fs::path log = folder / "exiftool.log";
  ASSERT_TRUE(test::RunCommand("exiftool -q " + arguments + " >/dev/null", log))
      << arguments << ": " << test::ReadFileText(log);
  EXPECT_EQ(test::ReadFileText(log), "") << arguments;
}

// The metadata groups of exiftool's -G1 names that stand for carried metadata: EXIF
// directories, IPTC, XMP namespaces and the parts of an ICC profile. Left out: what
// exiftool reports of the file and the JFIF header, and XMP-x:XMPToolkit, which names
// whoever serialised the packet last.
bool IsMetadataTag(const std::string& key) {
  static const std::vector<std::string> kGroups = {
      "IFD0:", "IFD1:", "ExifIFD:", "GPS:", "InteropIFD:", "IPTC:", "XMP-", "ICC"};
  if (key == "XMP-x:XMPToolkit") return false;
  return std::any_of(kGroups.begin(), kGroups.end(),
                     [&](const std::string& group) { return key.rfind(group, 0) == 0; });
}

// Skips one JSON value of exiftool's output starting at `at`; returns the position after it.
size_t SkipJsonValue(const std::string& text, size_t at) {
  int depth = 0;
  for (size_t i = at; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') {
      for (++i; i < text.size() && text[i] != '"'; ++i)
        if (text[i] == '\\') ++i;
      if (depth == 0) return i + 1;
    } else if (c == '[' || c == '{') {
      ++depth;
    } else if (c == ']' || c == '}') {
      if (depth == 0) return i;
      if (--depth == 0) return i + 1;
    } else if (depth == 0 && c == ',') {
      return i;
    }
  }
  return text.size();
}

// The tags exiftool -j -G1 reads from one file: "Group:Tag" -> the value as JSON text.
TTags ParseExiftoolJson(const std::string& text) {
  TTags tags;
  size_t i = text.find('{');
  const auto skipSpace = [&] {
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  };
  if (i == std::string::npos) return tags;
  ++i;
  for (;;) {
    skipSpace();
    if (i >= text.size() || text[i] != '"') break;
    const size_t keyEnd = text.find('"', i + 1);
    const std::string key = text.substr(i + 1, keyEnd - i - 1);
    i = text.find(':', keyEnd) + 1;
    skipSpace();
    const size_t end = SkipJsonValue(text, i);
    tags[key] = text.substr(i, end - i);
    while (!tags[key].empty() && std::isspace(static_cast<unsigned char>(tags[key].back())))
      tags[key].pop_back();
    i = end;
    skipSpace();
    if (i < text.size() && text[i] == ',') ++i;
  }
  return tags;
}

// The metadata tags of a file as exiftool reads them, values as numbers where they are.
TTags MetadataTags(const TTempFolder& folder, const fs::path& file) {
  const fs::path json = folder / (file.filename().string() + ".json");
  const fs::path log = folder / "exiftool.log";
  EXPECT_TRUE(test::RunCommand("exiftool -j -G1 -a -n " + Quote(file) + " >" + Quote(json), log))
      << test::ReadFileText(log);
  TTags tags;
  for (const auto& [key, value] : ParseExiftoolJson(test::ReadFileText(json)))
    if (IsMetadataTag(key)) tags[key] = value;
  return tags;
}

// ---- The marker structure, read independently of the code under test --------------------

struct TSegment {
  uint8_t Marker;
  TBytes Bytes;  // the whole segment, marker included; for the scan, everything to the end
};

// The segments before the first scan, then the scan and everything after it as one.
std::vector<TSegment> Segments(std::span<const uint8_t> jpeg) {
  std::vector<TSegment> segments;
  size_t at = 2;
  segments.push_back({0xD8, TBytes(jpeg.begin(), jpeg.begin() + 2)});
  while (at + 4 <= jpeg.size() && jpeg[at] == 0xFF) {
    const uint8_t marker = jpeg[at + 1];
    const size_t size = marker == 0xDA ? jpeg.size() - at : 2 + test::Be16(jpeg, at + 2);
    if (size > jpeg.size() - at) break;
    segments.push_back(
        {marker, TBytes(jpeg.begin() + ptrdiff_t(at), jpeg.begin() + ptrdiff_t(at + size))});
    at += size;
    if (marker == 0xDA) break;
  }
  return segments;
}

// Segments that hold metadata: APP1 (EXIF, XMP), APP2 (ICC), APP13 (IPTC), COM.
bool IsMetadataSegment(uint8_t marker) {
  return marker == 0xE1 || marker == 0xE2 || marker == 0xED || marker == 0xFE;
}

// Everything but the metadata: the start marker, JFIF/Adobe headers, tables, frame header,
// and the scans with the end marker.
std::vector<TBytes> ImageSegments(std::span<const uint8_t> jpeg) {
  std::vector<TBytes> kept;
  for (TSegment& segment : Segments(jpeg))
    if (!IsMetadataSegment(segment.Marker)) kept.push_back(std::move(segment.Bytes));
  return kept;
}

// ---- Carrying, as exiftool sees it --------------------------------------------------------

// exiftool arguments that give a source its metadata; "{thumb}" stands for a small JPEG,
// "{xmp}" for an XMP packet with a namespace of its own, "{icc}" for an RGB profile.
struct TCarryCase {
  const char* Name;
  std::string Arguments;
  bool Empty;
  int Orientation;  // what TJpegMetadata::Orientation reports
  // Tags the source must have for the case to show anything (exiftool -G1 names).
  std::vector<std::string> SourceHas;
};

const std::string kExifTags =
    "-EXIF:Make=Testmaker -EXIF:Model='Model 7' -EXIF:Artist='A. Artist' "
    "-EXIF:Copyright='(c) Somebody' -EXIF:ImageDescription='A harbour at dusk' "
    "-EXIF:DateTimeOriginal='2024:05:06 07:08:09' -EXIF:ExposureTime=0.004 -EXIF:FNumber=2.8 "
    "-EXIF:ISO=200 -EXIF:FocalLength=35 -EXIF:XResolution=300 -EXIF:YResolution=300 "
    "-EXIF:ResolutionUnit=2 -EXIF:UserComment='umlauts: äöü' -EXIF:Software='Camera 1.0' "
    "-EXIF:ExifImageWidth=4000 -EXIF:ExifImageHeight=3000 -EXIF:ColorSpace=1 "
    "-GPS:GPSLatitude=48.1375 -GPS:GPSLatitudeRef=N -GPS:GPSLongitude=11.575 "
    "-GPS:GPSLongitudeRef=E -GPS:GPSAltitude=519 ";
const std::string kIptcTags =
    "-IPTC:Keywords=harbour -IPTC:Keywords=dusk -IPTC:City=Kiel -IPTC:By-line='A. Artist' "
    "-IPTC:ObjectName='Harbour' -IPTC:Caption-Abstract='Boats at dusk' ";
const std::string kXmpTags =
    "-XMP-dc:Title='Harbour' -XMP-dc:Subject=harbour -XMP-dc:Subject=dusk "
    "-XMP-dc:Creator='A. Artist' -XMP-xmp:Rating=4 -XMP-xmp:CreatorTool='Editor 2' "
    "-XMP-photoshop:City=Kiel -XMP-exif:ExifImageWidth=4000 -XMP-exif:ExifImageHeight=3000 "
    "-XMP-tiff:ImageWidth=4000 -XMP-tiff:ImageHeight=3000 ";

const TCarryCase kCarryCases[] = {
    {"NoMetadata", "", true, 1, {}},
    {"ExifLittleEndian",
     kExifTags + "-EXIF:Orientation=6",
     false,
     6,
     {"IFD0:Orientation", "ExifIFD:ExifImageWidth", "GPS:GPSLatitude"}},
    {"ExifBigEndian",
     "-ExifByteOrder=MM " + kExifTags + "-EXIF:Orientation=8",
     false,
     8,
     {"IFD0:Orientation", "ExifIFD:ExifImageWidth", "GPS:GPSLatitude"}},
    {"ExifWithThumbnail",
     kExifTags + "'-ThumbnailImage<={thumb}'",
     false,
     1,
     {"IFD1:ThumbnailImage"}},
    {"IptcOnly", kIptcTags, false, 1, {"IPTC:Keywords", "IPTC:Caption-Abstract"}},
    {"XmpOnly",
     kXmpTags + "-XMP-tiff:Orientation=3",
     false,
     1,
     {"XMP-tiff:Orientation", "XMP-exif:ExifImageWidth", "XMP-tiff:ImageHeight", "XMP-dc:Subject"}},
    {"XmpOfItsOwnNamespace", "'-XMP<={xmp}'", false, 1, {"XMP-pxt:Label", "XMP-dc:Format"}},
    {"Everything",
     kExifTags + kIptcTags + kXmpTags +
         "-EXIF:Orientation=3 -XMP-tiff:Orientation=3 '-ThumbnailImage<={thumb}' "
         "-XMP-xmp:ThumbnailFormat=JPEG -XMP-xmp:ThumbnailWidth=16 '-ICC_Profile<={icc}'",
     false,
     3,
     {"IFD0:Orientation", "IPTC:Keywords", "XMP-tiff:Orientation", "XMP-xmp:Rating",
      "IFD1:ThumbnailImage", "XMP-xmp:ThumbnailWidth", "ICC-header:ColorSpaceData"}},
};

const char kOwnNamespacePacket[] =
    "<?xpacket begin='' id='W5M0MpCehiHzreSzNTczkc9d'?>\n"
    "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF "
    "xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>\n"
    "<rdf:Description rdf:about='' xmlns:pxt='http://example.org/pixolan-test/1.0/' "
    "xmlns:dc='http://purl.org/dc/elements/1.1/'>\n"
    "<pxt:Batch>7</pxt:Batch><pxt:Label>night shots</pxt:Label>\n"
    "<dc:format>image/jpeg</dc:format>\n"
    "</rdf:Description></rdf:RDF></x:xmpmeta>\n<?xpacket end='w'?>";

// A source with the case's metadata, written in the folder; returns its path.
fs::path MakeSource(const TTempFolder& folder, const TCarryCase& c, uint32_t seed) {
  const fs::path source = folder / (std::string(c.Name) + ".jpg");
  WriteFileBytes(source, EngineJpeg(64, 48, seed));
  std::string arguments = c.Arguments;
  const auto substitute = [&](const std::string& name, const fs::path& file) {
    const size_t at = arguments.find(name);
    if (at != std::string::npos) arguments.replace(at, name.size(), file.string());
  };
  if (arguments.find("{thumb}") != std::string::npos) {
    WriteFileBytes(folder / "thumb.jpg", EngineJpeg(16, 12, seed + 1));
    substitute("{thumb}", folder / "thumb.jpg");
  }
  if (arguments.find("{xmp}") != std::string::npos) {
    WriteFileText(folder / "own.xmp", kOwnNamespacePacket);
    substitute("{xmp}", folder / "own.xmp");
  }
  substitute("{icc}", kRgbProfile);
  if (!arguments.empty())
    Exiftool(folder, "-overwrite_original -n " + arguments + " " + Quote(source));
  return source;
}

void PrintTo(const TCarryCase& c, std::ostream* out) {
  *out << c.Name;
}

class JpegMetadataCarryTest : public ::testing::TestWithParam<TCarryCase> {};

void CheckCarriedTags(const TCarryCase& c, TResultOrientation orientation);

// The result, of another size than the source and the size its EXIF claims, gets the
// source's tags with Software naming this program, the dimensions of the result and no
// thumbnail, and Orientation upright when its pixels were turned; nothing else changes,
// and its image data is the encoder's.
TEST_P(JpegMetadataCarryTest, ResultCarriesTheSourceTags) {
  for (const TResultOrientation orientation :
       {TResultOrientation::AsSource, TResultOrientation::Upright}) {
    SCOPED_TRACE(orientation == TResultOrientation::Upright ? "upright" : "as the source");
    CheckCarriedTags(GetParam(), orientation);
  }
}

void CheckCarriedTags(const TCarryCase& c, TResultOrientation orientation) {
  const TTempFolder folder;
  const fs::path source = MakeSource(folder, c, 11);

  const std::optional<TJpegMetadata> metadata = ReadJpegMetadata(source.string());
  ASSERT_TRUE(metadata);
  EXPECT_EQ(metadata->Empty(), c.Empty);
  EXPECT_EQ(metadata->Orientation(), c.Orientation);

  const TBytes encoded = EngineJpeg(40, 24, 12);
  TBytes result = encoded;
  EmbedJpegMetadata(*metadata, result, orientation);
  EXPECT_EQ(ImageSegments(result), ImageSegments(encoded));
  const fs::path target = folder / "result.jpg";
  WriteFileAtomically(target.string(), result);

  const TTags before = MetadataTags(folder, source);
  for (const std::string& key : c.SourceHas) EXPECT_TRUE(before.count(key)) << key;
  TTags after = MetadataTags(folder, target);
  TTags expected;
  for (const auto& [key, value] : before) {
    // The thumbnail's EXIF directory and its XMP description.
    if (key.rfind("IFD1:", 0) == 0 || key.rfind("XMP-xmp:Thumbnail", 0) == 0) continue;
    expected[key] = value;
  }
  const auto change = [&](const std::string& key, const std::string& value) {
    if (expected.count(key)) expected[key] = value;
  };
  if (orientation == TResultOrientation::Upright) {
    change("IFD0:Orientation", "1");
    change("XMP-tiff:Orientation", "1");
  }
  change("ExifIFD:ExifImageWidth", "40");
  change("ExifIFD:ExifImageHeight", "24");
  change("XMP-exif:ExifImageWidth", "40");
  change("XMP-exif:ExifImageHeight", "24");
  change("XMP-tiff:ImageWidth", "40");
  change("XMP-tiff:ImageHeight", "24");
  expected["IFD0:Software"] = kSoftware;
  expected["XMP-xmp:CreatorTool"] = kSoftware;
  expected["XMP-tiff:Software"] = kSoftware;
  // exiftool adds the pointers of the directories it finds; they follow the layout.
  for (TTags* tags : {&expected, &after})
    for (const char* pointer : {"IFD0:ExifOffset", "IFD0:GPSInfo", "ExifIFD:InteropOffset"})
      tags->erase(pointer);
  EXPECT_EQ(after, expected);
  if (c.Arguments.find("ExifByteOrder=MM") != std::string::npos) {
    const TBytes file = ReadFileBytes(target);
    const std::string text(file.begin(), file.end());
    EXPECT_NE(text.find(std::string("Exif\0\0MM", 8)), std::string::npos)
        << "the EXIF byte order changed";
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, JpegMetadataCarryTest, ::testing::ValuesIn(kCarryCases),
                         [](const auto& p) { return std::string(p.param.Name); });

// ---- The image data -----------------------------------------------------------------------

// A source with EXIF, IPTC and XMP, read once for the tests below.
const TJpegMetadata& FullMetadata() {
  static const TJpegMetadata metadata = [] {
    const TTempFolder folder;
    const std::optional<TJpegMetadata> read =
        ReadJpegMetadata(MakeSource(folder, kCarryCases[std::size(kCarryCases) - 1], 5).string());
    if (!read) throw std::runtime_error("the full-metadata source did not read");
    return *read;
  }();
  return metadata;
}

struct TEncoderCase {
  const char* Name;
  int32_t Width, Height;
  bool Progressive;
  imaging::TImageFormatId Format;
};

// Whatever the encoder made, embedding changes metadata segments only: the tables, frame
// header, scans and end marker come out byte for byte.
TEST(JpegMetadataTest, ImageDataStaysByteForByte) {
  using F = imaging::TImageFormatId;
  const TEncoderCase cases[] = {
      {"baseline", 64, 48, false, F::R8G8B8}, {"progressive", 64, 48, true, F::R8G8B8},
      {"gray", 33, 17, false, F::Gray8},      {"single pixel", 1, 1, false, F::R8G8B8},
      {"large", 1000, 700, true, F::R8G8B8},
  };
  for (const TEncoderCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TBytes encoded = EngineJpeg(c.Width, c.Height, 3, c.Progressive, c.Format);
    TBytes result = encoded;
    EmbedJpegMetadata(FullMetadata(), result);
    EXPECT_EQ(ImageSegments(result), ImageSegments(encoded));
    EXPECT_EQ(Segments(result).back().Bytes, Segments(encoded).back().Bytes);
    EXPECT_GT(result.size(), encoded.size() + 1000) << "no metadata was written";
  }
}

// Every conformance file (baseline, extended, progressive, lossless, arithmetic coding,
// restart intervals, DNL, comments) reads, and takes metadata with its image data
// unchanged. The metadata library drops the frame header of some JPEG-LS files (a marker
// it does not know); those are refused and left as they were.
TEST(JpegMetadataTest, EveryConformanceFileTakesMetadata) {
  size_t files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(kJpegSuite)) {
    if (entry.path().extension() != ".jpg") continue;
    ++files;
    SCOPED_TRACE(entry.path().string());
    std::optional<TJpegMetadata> read;
    ASSERT_NO_THROW(read = ReadJpegMetadata(entry.path().string()));
    ASSERT_TRUE(read);
    const TBytes original = ReadFileBytes(entry.path());
    TBytes result = original;
    const std::string error =
        ErrorOf<EJpegMetadataError>([&] { EmbedJpegMetadata(FullMetadata(), result); });
    if (error != "no error") {
      EXPECT_EQ(entry.path().parent_path().filename(), "ls") << error;
      EXPECT_NE(error.find("the metadata library"), std::string::npos) << error;
      EXPECT_EQ(result, original);
      continue;
    }
    EXPECT_EQ(ImageSegments(result), ImageSegments(original));
  }
  EXPECT_GE(files, 300u);
}

// ---- Files that are not JPEGs, and damaged ones ------------------------------------------

// An engine JPEG with one more segment right after its start marker.
TBytes WithSegment(uint8_t marker, const std::string& payload) {
  TBytes jpeg = EngineJpeg(16, 16, 3);
  TBytes segment = {0xFF, marker};
  test::AddBe16(segment, uint32_t(payload.size() + 2));
  segment.insert(segment.end(), payload.begin(), payload.end());
  jpeg.insert(jpeg.begin() + 2, segment.begin(), segment.end());
  return jpeg;
}

TBytes Prefix(const TBytes& bytes, size_t size) {
  return TBytes(bytes.begin(), bytes.begin() + ptrdiff_t(size));
}

const std::string kExifStart("Exif\0\0", 6);
const std::string kXmpStart("http://ns.adobe.com/xap/1.0/\0", 29);

struct TReadCase {
  const char* Name;
  // Makes the file to read in the folder, returns its path.
  std::function<fs::path(const TTempFolder&)> Make;
  // "value", "empty" (a value without metadata), "none" (nullopt), or a part of the error.
  std::string Expected;
};

fs::path FileOf(const TTempFolder& folder, const TBytes& bytes) {
  const fs::path file = folder / "file.jpg";
  WriteFileBytes(file, bytes);
  return file;
}

const TReadCase kReadCases[] = {
    {"empty file", [](const auto& f) { return FileOf(f, {}); }, "none"},
    {"start marker alone",
     [](const auto& f) {
       return FileOf(f, {0xFF, 0xD8});
     },
     "none"},
    {"png",
     [](const auto& f) {
       return FileOf(f, {0x89, 'P', 'N', 'G', 13, 10, 26, 10});
     },
     "none"},
    {"folder", [](const auto& f) { return f.Path(); }, "none"},
    {"named pipe",
     [](const auto& f) {
       const fs::path pipe = f / "pipe.jpg";
       EXPECT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
       return pipe;
     },
     "none"},
    {"missing file", [](const auto& f) { return f / "gone.jpg"; }, "No such file or directory"},
    {"cut inside a segment",
     [](const auto& f) { return FileOf(f, Prefix(EngineJpeg(16, 16, 3), 30)); },
     "it ends before its image data"},
    {"end before any scan",
     [](const auto& f) {
       return FileOf(f, {0xFF, 0xD8, 0xFF, 0xD9});
     },
     "misplaced marker"},
    {"segment length below 2",
     [](const auto& f) {
       return FileOf(f, {0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x01, 0xFF, 0xDA});
     },
     "wrong length"},
    {"bytes between segments",
     [](const auto& f) {
       TBytes jpeg = EngineJpeg(16, 16, 3);
       jpeg.insert(jpeg.begin() + 2, {0xFF, 0xFE, 0x00, 0x03, 'x', 'y', 'z'});
       return FileOf(f, jpeg);
     },
     "outside any segment"},
    {"header over the limit",
     [](const auto& f) {
       // APP15 segments of 64 KiB each, one more than the limit holds.
       TBytes jpeg = EngineJpeg(16, 16, 3);
       const size_t count = kMaxJpegHeaderBytes / 65537 + 1;
       TBytes segments;
       segments.reserve(count * 65537);
       for (size_t i = 0; i < count; ++i) {
         segments.insert(segments.end(), {0xFF, 0xEF, 0xFF, 0xFF});
         segments.resize(segments.size() + 65533, 0);
       }
       jpeg.insert(jpeg.begin() + 2, segments.begin(), segments.end());
       return FileOf(f, jpeg);
     },
     "larger than 16 MiB"},
    {"fill bytes before a marker",
     [](const auto& f) {
       TBytes jpeg = EngineJpeg(16, 16, 3);
       jpeg.insert(jpeg.begin() + 2, 100000, 0xFF);
       return FileOf(f, jpeg);
     },
     "empty"},
    {"no metadata", [](const auto& f) { return FileOf(f, EngineJpeg(16, 16, 3)); }, "empty"},
    {"exif of garbage",
     [](const auto& f) { return FileOf(f, WithSegment(0xE1, kExifStart + "garbage!garbage!")); },
     "This does not look like a TIFF image"},
    {"exif directory far outside",
     [](const auto& f) {
       return FileOf(f, WithSegment(0xE1, kExifStart + std::string("II*\0\xF0\xFF\xFF\x7F", 8)));
     },
     "This does not look like a TIFF image"},
    {"exif entry larger than the file",
     [](const auto& f) {
       // Two IFD0 entries: Make, ASCII, 2^31-1 characters at offset 38; Model "M7".
       const std::string tiff(
           "II*\0\x08\0\0\0\x02\0"
           "\x0F\x01\x02\0\xFF\xFF\xFF\x7F\x26\0\0\0"
           "\x10\x01\x02\0\x03\0\0\0M7\0\0"
           "\0\0\0\0",
           38);
       return FileOf(f, WithSegment(0xE1, kExifStart + tiff + "Testmaker"));
     },
     "value"},
    {"xmp of broken xml",
     [](const auto& f) {
       return FileOf(f, WithSegment(0xE1, kXmpStart + "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf"));
     },
     "empty"},
    {"iptc of garbage",
     [](const auto& f) {
       // The IPTC resource claims 4 GiB.
       const std::string resource(
           "Photoshop 3.0\0"
           "8BIM\x04\x04\0\0\xFF\xFF\xFF\xF0",
           26);
       return FileOf(f, WithSegment(0xED, resource));
     },
     "empty"},
};

void PrintTo(const TReadCase& c, std::ostream* out) {
  *out << c.Name;
}

// Sends this process's stderr to a file while it lives.
class TStderrCapture {
 public:
  explicit TStderrCapture(const fs::path& file)
      : saved_(::dup(2)), file_(::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600)) {
    std::fflush(stderr);
    ::dup2(file_.Get(), 2);
  }
  ~TStderrCapture() {
    std::fflush(stderr);
    std::cerr.flush();
    ::dup2(saved_.Get(), 2);
  }
  TStderrCapture(const TStderrCapture&) = delete;
  TStderrCapture& operator=(const TStderrCapture&) = delete;

 private:
  TUniqueFd saved_;
  TUniqueFd file_;
};

class JpegMetadataReadTest : public ::testing::TestWithParam<TReadCase> {};

// A file is a JPEG with metadata, one without, no JPEG, or refused with the reason; the
// library's complaints about damaged metadata never reach stderr, and whatever was read
// can be embedded.
TEST_P(JpegMetadataReadTest, ReadsOrRefuses) {
  const TReadCase& c = GetParam();
  const TTempFolder folder;
  const fs::path file = c.Make(folder);
  const fs::path log = folder / "stderr.log";
  std::string outcome;
  {
    const TStderrCapture capture(log);
    try {
      const std::optional<TJpegMetadata> read = ReadJpegMetadata(file.string());
      outcome = !read ? "none" : read->Empty() ? "empty" : "value";
      if (read) {
        TBytes result = EngineJpeg(8, 8, 4);
        EmbedJpegMetadata(*read, result);
      }
    } catch (const EJpegMetadataError& e) {
      outcome = e.what();
      EXPECT_NE(outcome.find(file.string()), std::string::npos) << outcome;
    }
  }
  if (c.Expected == "none" || c.Expected == "empty" || c.Expected == "value")
    EXPECT_EQ(outcome, c.Expected);
  else
    EXPECT_NE(outcome.find(c.Expected), std::string::npos) << outcome;
  EXPECT_EQ(test::ReadFileText(log), "");
}

INSTANTIATE_TEST_SUITE_P(Files, JpegMetadataReadTest, ::testing::ValuesIn(kReadCases),
                         [](const auto& p) {
                           std::string name = p.param.Name;
                           std::replace(name.begin(), name.end(), ' ', '_');
                           return name;
                         });

// The fields a file information view shows come in their fixed order, read out as the
// library words them, whatever order the file keeps them in; absent ones are left out and
// an overlong text is cut.
TEST(JpegMetadataTest, MainFieldsAreReadOutInTheirOrder) {
  const TTempFolder folder;
  const fs::path photo = folder / "photo.jpg";
  WriteFileBytes(photo, EngineJpeg(16, 16, 3));
  Exiftool(folder,
           "-overwrite_original -EXIF:FocalLength#=4.2 -EXIF:FNumber#=2.8 "
           "-EXIF:ExposureTime=1/60 -EXIF:Model=" +
               std::string(300, 'M') +
               " -EXIF:Make=Acme '-EXIF:DateTimeOriginal=2024:05:06 07:08:09' " + Quote(photo));
  const std::optional<TJpegMetadata> metadata = ReadJpegMetadata(photo.string());
  ASSERT_TRUE(metadata);
  std::vector<std::string> fields;
  for (const TJpegMetadata::TField& field : metadata->MainFields())
    fields.push_back(field.Tag + "=" + field.Value);
  EXPECT_EQ(fields, (std::vector<std::string>{
                        "Make=Acme", "Model=" + std::string(TJpegMetadata::kMaxFieldLength, 'M'),
                        "DateTimeOriginal=2024:05:06 07:08:09", "ExposureTime=1/60 s",
                        "FNumber=F2.8", "FocalLength=4.2 mm"}));

  WriteFileBytes(photo, EngineJpeg(16, 16, 3));
  const std::optional<TJpegMetadata> none = ReadJpegMetadata(photo.string());
  ASSERT_TRUE(none);
  EXPECT_TRUE(none->MainFields().empty());
}

// Bytes that are no JPEG, or a damaged one, are refused and left as they were.
TEST(JpegMetadataTest, EmbeddingRefusesWhatIsNoJpeg) {
  const TBytes jpeg = EngineJpeg(16, 16, 3);
  const struct {
    const char* Name;
    TBytes Bytes;
    const char* Error;
  } cases[] = {
      {"empty", {}, "it is not JPEG data"},
      {"png", {0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 0}, "it is not JPEG data"},
      {"cut in its header", Prefix(jpeg, 40), "it ends before its image data"},
      {"end before any scan", {0xFF, 0xD8, 0xFF, 0xD9}, "misplaced marker"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TBytes bytes = c.Bytes;
    const std::string error =
        ErrorOf<EJpegMetadataError>([&] { EmbedJpegMetadata(FullMetadata(), bytes); });
    EXPECT_NE(error.find(c.Error), std::string::npos) << error;
    EXPECT_EQ(bytes, c.Bytes);
  }
}

// EXIF that fills its segment to the brim and grows with the longer Software text no longer
// fits; the metadata library would empty its largest tag to make it fit. That is refused
// rather than done silently, and the bytes stay as they were. (The sizes are those at which
// the library still reads the source's tags and no longer fits them on writing.)
TEST(JpegMetadataTest, ExifThatOutgrowsItsSegmentIsRefused) {
  const TTempFolder folder;
  const fs::path source = folder / "full.jpg";
  WriteFileBytes(source, EngineJpeg(16, 16, 3));
  WriteFileText(folder / "description.txt", std::string(32000, 'd'));
  WriteFileText(folder / "artist.txt", std::string(33400, 'a'));
  Exiftool(folder, "-overwrite_original -Software=Cam " +
                       Quote("-ImageDescription<=" + (folder / "description.txt").string()) + " " +
                       Quote("-Artist<=" + (folder / "artist.txt").string()) + " " + Quote(source));
  const TTags tags = MetadataTags(folder, source);
  ASSERT_EQ(tags.count("IFD0:Artist"), 1u);
  ASSERT_EQ(tags.at("IFD0:Artist").size(), 33400u + 2);  // in quotes

  const std::optional<TJpegMetadata> metadata = ReadJpegMetadata(source.string());
  ASSERT_TRUE(metadata);
  const TBytes encoded = EngineJpeg(16, 16, 4);
  TBytes result = encoded;
  const std::string error =
      ErrorOf<EJpegMetadataError>([&] { EmbedJpegMetadata(*metadata, result); });
  EXPECT_NE(error.find("too large for a JPEG segment"), std::string::npos) << error;
  EXPECT_EQ(result, encoded);
}

// ---- Threads ------------------------------------------------------------------------------

// Files are converted several at once: threads that read and embed at the same time, each
// source with an XMP namespace nobody has seen yet, get what one thread alone gets.
TEST(JpegMetadataTest, ThreadsReadAndEmbedAtOnce) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 8;
  const TTempFolder folder;
  const auto sourceOf = [&](int i) { return folder / ("source" + std::to_string(i) + ".jpg"); };
  for (int i = 0; i < kThreads; ++i) {
    const std::string ns = "http://example.org/pixolan-threads/" + std::to_string(i) + "/";
    std::string packet = kOwnNamespacePacket;
    const std::string old = "http://example.org/pixolan-test/1.0/";
    packet.replace(packet.find(old), old.size(), ns);
    const fs::path xmp = folder / ("own" + std::to_string(i) + ".xmp");
    WriteFileText(xmp, packet);
    WriteFileBytes(sourceOf(i), EngineJpeg(32, 24, uint32_t(20 + i)));
    Exiftool(folder, "-overwrite_original -n " + kExifTags + kIptcTags +
                         Quote("-XMP<=" + xmp.string()) + " " + Quote(sourceOf(i)));
  }
  const TBytes encoded = EngineJpeg(24, 16, 9);

  // results[thread][source]
  std::vector<std::vector<TBytes>> results(kThreads, std::vector<TBytes>(kThreads));
  std::vector<std::string> errors(kThreads);
  {
    std::vector<std::jthread> threads;
    for (int t = 0; t < kThreads; ++t)
      threads.emplace_back([&, t] {
        try {
          for (int round = 0; round < kRounds; ++round) {
            // Every thread goes through all sources, starting at a different one.
            for (int k = 0; k < kThreads; ++k) {
              const int i = (t + k + round) % kThreads;
              const fs::path file = sourceOf(i);
              const std::optional<TJpegMetadata> read = ReadJpegMetadata(file.string());
              if (!read) throw std::runtime_error("no metadata in " + file.string());
              TBytes result = encoded;
              EmbedJpegMetadata(*read, result);
              if (results[t][i].empty())
                results[t][i] = std::move(result);
              else if (results[t][i] != result)
                throw std::runtime_error("two rounds differ for " + file.string());
            }
          }
        } catch (const std::exception& e) {
          errors[t] = e.what();
        }
      });
  }
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(errors[t], "") << "thread " << t;
  for (int i = 0; i < kThreads; ++i) {
    TBytes alone = encoded;
    EmbedJpegMetadata(*ReadJpegMetadata(sourceOf(i).string()), alone);
    const std::string text(alone.begin(), alone.end());
    EXPECT_NE(text.find("pixolan-threads/" + std::to_string(i) + "/"), std::string::npos);
    for (int t = 0; t < kThreads; ++t)
      EXPECT_EQ(results[t][i], alone) << "thread " << t << ", file " << i;
  }
}

// ---- The colour profile -----------------------------------------------------------------

// A colour profile goes with the pixels it describes: an RGB profile into an RGB result, a
// gray one into a gray result, byte for byte; neither into the other kind.
TEST(JpegMetadataTest, ColourProfileGoesWhereItsColourSpaceFits) {
  using F = imaging::TImageFormatId;
  const TBytes rgb = ReadFileBytes(kRgbProfile);
  ASSERT_GT(rgb.size(), 128u) << kRgbProfile;
  TBytes gray = rgb;
  std::copy_n("GRAY", 4, gray.begin() + 16);
  const struct {
    const char* Name;
    const TBytes& Profile;
    F Result;
    bool Carried;
  } cases[] = {
      {"rgb into rgb", rgb, F::R8G8B8, true},
      {"rgb into gray", rgb, F::Gray8, false},
      {"gray into gray", gray, F::Gray8, true},
      {"gray into rgb", gray, F::R8G8B8, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const TTempFolder folder;
    const fs::path profile = folder / "profile.icc", source = folder / "source.jpg";
    WriteFileBytes(profile, c.Profile);
    WriteFileBytes(source, EngineJpeg(32, 24, 6));
    Exiftool(folder, "-overwrite_original " + Quote("-ICC_Profile<=" + profile.string()) + " " +
                         Quote(source));
    const std::optional<TJpegMetadata> metadata = ReadJpegMetadata(source.string());
    ASSERT_TRUE(metadata);
    EXPECT_FALSE(metadata->Empty());

    const TBytes encoded = EngineJpeg(20, 10, 7, false, c.Result);
    TBytes result = encoded;
    EmbedJpegMetadata(*metadata, result);
    EXPECT_EQ(ImageSegments(result), ImageSegments(encoded));
    const fs::path target = folder / "result.jpg", carried = folder / "carried.icc";
    WriteFileBytes(target, result);
    ASSERT_TRUE(
        test::RunCommand("exiftool -b -ICC_Profile " + Quote(target) + " >" + Quote(carried),
                         folder / "exiftool.log"));
    EXPECT_EQ(ReadFileBytes(carried), c.Carried ? c.Profile : TBytes());
  }
}

}  // namespace
}  // namespace pixolan::platform
