// The JPEG handler against libjpeg-turbo's own command-line tools and ImageMagick: decoded
// pixels must equal djpeg's, written files must equal cjpeg's for the same pixels.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "imaging/formats/JpegFormat.h"
#include "imaging/image/Imaging.h"
#include "imaging/io/Options.h"
#include "imaging/io/Registry.h"
#include "support/ErrorOf.h"
#include "support/ExternalOracles.h"
#include "support/Files.h"
#include "support/FormatBytes.h"
#include "support/TempFolder.h"

namespace pixolan::imaging {
namespace {

namespace fs = std::filesystem;
using F = TImageFormatId;
using TBytes = std::vector<uint8_t>;
using test::ErrorOf;
using test::HaveTool;
using test::LoadBytes;
using test::Quote;
using test::ReadFileBytes;
using test::ReadFileText;
using test::SaveBytes;
using test::TTempFolder;
using test::WriteFileBytes;

const fs::path kSuite = fs::path(PIXOLAN_TESTDATA_DIR) / "jpeg" / "jpegsuite";

// ---- Helpers ------------------------------------------------------------------------

int RunShell(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The oracles are installed by scripts/install-deps.sh; a missing one is a failure.
void RequireTools(std::initializer_list<const char*> tools) {
  for (const char* tool : tools)
    ASSERT_TRUE(HaveTool(tool)) << tool << " is missing (scripts/install-deps.sh installs it)";
}

std::string ReadText(const fs::path& path) {
  std::string text = ReadFileText(path);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

// A binary PGM (1 channel) or PPM (3 channels, R, G, B) with 8-bit samples.
struct TPnm {
  int Width = 0, Height = 0, Channels = 0;
  TBytes Pixels;
};

std::optional<TPnm> ReadPnm(const fs::path& path) {
  const TBytes data = ReadFileBytes(path);
  size_t pos = 0;
  const auto token = [&]() -> std::string {
    while (pos < data.size()) {
      if (data[pos] == '#')
        while (pos < data.size() && data[pos] != '\n') ++pos;
      else if (std::isspace(data[pos]))
        ++pos;
      else
        break;
    }
    std::string t;
    while (pos < data.size() && !std::isspace(data[pos])) t += char(data[pos++]);
    return t;
  };
  const std::string magic = token();
  if (magic != "P5" && magic != "P6") return std::nullopt;
  TPnm pnm;
  pnm.Channels = magic == "P5" ? 1 : 3;
  pnm.Width = std::stoi(token());
  pnm.Height = std::stoi(token());
  if (token() != "255") return std::nullopt;
  ++pos;  // the single whitespace after the maximum value
  const size_t size = size_t(pnm.Width) * size_t(pnm.Height) * size_t(pnm.Channels);
  if (data.size() - pos < size) return std::nullopt;
  pnm.Pixels.assign(data.begin() + std::ptrdiff_t(pos), data.begin() + std::ptrdiff_t(pos + size));
  return pnm;
}

// Gray8 as PGM, R8G8B8 as PPM (R, G, B order).
void WritePnm(const fs::path& path, const TImageData& image) {
  const bool gray = image.Format == F::Gray8;
  ASSERT_TRUE(gray || image.Format == F::R8G8B8);
  std::ofstream out(path, std::ios::binary);
  out << (gray ? "P5\n" : "P6\n") << image.Width << ' ' << image.Height << "\n255\n";
  if (gray) {
    out.write(reinterpret_cast<const char*>(image.bits()), image.Size);
    return;
  }
  for (int32_t i = 0; i < image.Width * image.Height; ++i) {
    const uint8_t* p = image.bits() + 3 * i;
    const char rgb[3] = {char(p[2]), char(p[1]), char(p[0])};
    out.write(rgb, 3);
  }
}

TJpegFileFormat& Jpeg() {
  TJpegFileFormat* format = FindFileFormatByClass<TJpegFileFormat>();
  if (!format) throw std::runtime_error("the JPEG handler is not registered");
  return *format;
}

TImageData LoadJpeg(const fs::path& path) {
  TDynImageDataArray images;
  if (!Jpeg().LoadFile(path.string(), images, true) || images.size() != 1)
    throw std::runtime_error("could not load " + path.string());
  return std::move(images.front());
}

// A smooth picture with texture, edges and a varying alpha, of odd size so that partial
// blocks and MCUs are covered.
TImageData MakePhoto(int32_t width, int32_t height, F format) {
  TImageData image;
  ImageCreate(width, height, F::A8R8G8B8, image);
  std::mt19937 rng(7);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      uint8_t* p = image.bits() + 4 * (size_t(y) * size_t(width) + size_t(x));
      const int noise = int(rng() % 17) - 8;
      p[0] = uint8_t(std::clamp(x * 255 / width + noise, 0, 255));
      p[1] = uint8_t(std::clamp(y * 255 / height - noise, 0, 255));
      p[2] = uint8_t(((x / 9 + y / 7) % 2) ? 220 : 35);
      p[3] = uint8_t(x * 7 + y);
    }
  if (format != F::A8R8G8B8) ImageConvert(image, format);
  return image;
}

// Marker segments of a JPEG stream up to the first scan: (marker, payload).
std::vector<std::pair<uint8_t, TBytes>> Segments(const TBytes& jpeg) {
  std::vector<std::pair<uint8_t, TBytes>> segments;
  size_t pos = 2;
  while (pos + 4 <= jpeg.size() && jpeg[pos] == 0xFF) {
    const uint8_t marker = jpeg[pos + 1];
    const size_t length = size_t(jpeg[pos + 2]) << 8 | jpeg[pos + 3];
    if (length < 2 || pos + 2 + length > jpeg.size()) break;
    segments.emplace_back(marker, TBytes(jpeg.begin() + std::ptrdiff_t(pos + 4),
                                         jpeg.begin() + std::ptrdiff_t(pos + 2 + length)));
    if (marker == 0xDA) break;
    pos += 2 + length;
  }
  return segments;
}

// Offset of the first frame header (SOF0..SOF15 without DHT, JPG and DAC).
size_t FrameHeaderOffset(const TBytes& jpeg) {
  size_t pos = 2;
  while (pos + 4 <= jpeg.size()) {
    const uint8_t marker = jpeg[pos + 1];
    if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
      return pos;
    pos += 2 + (size_t(jpeg[pos + 2]) << 8 | jpeg[pos + 3]);
  }
  return 0;
}

// ---- libjpeg used directly, for files the handler cannot write ------------------------

// Encodes raw samples of any component count and colour space at quality 100; the Adobe
// marker is written or left out as asked.
TBytes EncodeWithLibrary(int width, int height, int components, J_COLOR_SPACE space,
                         bool adobeMarker, const TBytes& samples) {
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = JDIMENSION(width);
  info.image_height = JDIMENSION(height);
  info.input_components = components;
  info.in_color_space = space;
  jpeg_set_defaults(&info);
  jpeg_set_colorspace(&info, space);
  info.write_Adobe_marker = adobeMarker ? TRUE : FALSE;
  jpeg_set_quality(&info, 100, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(samples.data() +
                                        size_t(info.next_scanline) * size_t(width * components));
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  TBytes result(buffer, buffer + size);
  jpeg_destroy_compress(&info);
  free(buffer);
  return result;
}

// The CMYK samples as stored in the file.
TBytes DecodeCmykSamples(const TBytes& jpeg) {
  jpeg_decompress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_CMYK;
  jpeg_start_decompress(&info);
  TBytes samples(size_t(info.output_width) * info.output_height * 4);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = samples.data() + size_t(info.output_scanline) * info.output_width * 4;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return samples;
}

// The conversion the handler promises: with ink amounts c and k, red = 255 - (c + k - k *
// c / 255); green and blue alike from m and y.
uint8_t InkToChannel(int ink, int black) {
  return uint8_t(255 - (ink + black - black * ink / 255));
}

// ---- Registration and content test ----------------------------------------------------

TEST(JpegFormat, RegisteredUnderEveryExtension) {
  TJpegFileFormat& jpeg = Jpeg();
  EXPECT_EQ(jpeg.Name, "Joint Photographic Experts Group Image");
  EXPECT_EQ(jpeg.Extensions, (std::vector<std::string>{"jpg", "jpeg", "jfif", "jpe", "jif"}));
  for (const char* ext : {"jpg", "JPEG", "jfif", "jpe", "jif"})
    EXPECT_EQ(FindFileFormatByExt(ext), &jpeg) << ext;
  EXPECT_TRUE(jpeg.CanRead && jpeg.CanWrite && !jpeg.MultiImage);
  TImageFormatSet writable;
  writable.set(size_t(F::Gray8)).set(size_t(F::R8G8B8));
  EXPECT_EQ(jpeg.WritableFormats(), writable);

  TTempFolder dir;
  const TImageData photo = MakePhoto(20, 10, F::R8G8B8);
  WriteFileBytes(dir / "photo.dat", SaveBytes(Jpeg(), photo));
  EXPECT_EQ(DetectFileFormat((dir / "photo.dat").string()), &Jpeg());
  TImageData loaded;
  ASSERT_TRUE(ImageLoadFile((dir / "photo.dat").string(), loaded));
  EXPECT_EQ(loaded.Format, F::R8G8B8);
}

TEST(JpegFormat, ContentTestNeedsTenBytesStartingWithSoi) {
  const struct {
    TBytes Bytes;
    bool Accepted;
  } cases[] = {
      {{0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F'}, true},
      {{0xFF, 0xD8, 0xFF, 0xDB, 0, 0, 0, 0, 0, 0, 0, 0}, true},
      {{0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I'}, false},  // nine bytes
      {{0xFF, 0xD9, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F'}, false},
      {{0xD8, 0xFF, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F'}, false},
      {{}, false},
  };
  for (const auto& c : cases) {
    TBytes data = {1, 2, 3};  // the test starts at the stream's position
    data.insert(data.end(), c.Bytes.begin(), c.Bytes.end());
    TMemoryStream stream(data);
    stream.Seek(3, TSeekOrigin::Begin);
    TIOHandle handle = TStreamIO::OpenRead(stream);
    EXPECT_EQ(Jpeg().TestContent(handle), c.Accepted) << ::testing::PrintToString(c.Bytes);
    EXPECT_EQ(stream.Tell(), 3);
  }
}

// ---- Conformance ------------------------------------------------------------------------

// Every JPEG of the corpus (the suite, and a reference rendering of the BMP suite) either
// decodes to exactly djpeg's pixels (CMYK: to the ink formula over ImageMagick's ink
// values, and to djpeg's rounding within 1) or is refused with the error djpeg reports.
TEST(JpegConformance, CorpusMatchesDjpegOrFailsAsItDoes) {
  RequireTools({"djpeg", "convert"});
  const fs::path corpus = PIXOLAN_TESTDATA_DIR;
  ASSERT_TRUE(fs::is_directory(kSuite)) << kSuite;
  std::vector<fs::path> files;
  size_t suiteFiles = 0;
  for (const auto& entry : fs::recursive_directory_iterator(corpus)) {
    if (!entry.is_regular_file() || !Jpeg().MatchesFileName(entry.path().string())) continue;
    files.push_back(entry.path());
    suiteFiles += entry.path().string().starts_with(kSuite.string());
  }
  std::sort(files.begin(), files.end());
  ASSERT_EQ(suiteFiles, 374u);
  ASSERT_GT(files.size(), suiteFiles);

  // One shell for all references keeps the run short.
  TTempFolder dir;
  std::ostringstream script;
  for (size_t i = 0; i < files.size(); ++i) {
    const std::string out = (dir / std::to_string(i)).string();
    script << "djpeg -pnm " << Quote(files[i]) << " >" << Quote(out + ".pnm") << " 2>"
           << Quote(out + ".err") << "; echo $? >" << Quote(out + ".rc") << "\n";
    if (files[i].filename().string().find("cmyk") != std::string::npos)
      script << "convert " << Quote(files[i]) << " -depth 8 cmyk:" << Quote(out + ".cmyk")
             << " 2>/dev/null\n";
  }
  const std::string scriptText = script.str();
  WriteFileBytes(dir / "refs.sh", TBytes(scriptText.begin(), scriptText.end()));
  ASSERT_EQ(RunShell("sh " + Quote(dir / "refs.sh")), 0);

  std::map<std::string, int> tally;
  for (size_t i = 0; i < files.size(); ++i) {
    const std::string name = fs::relative(files[i], corpus).string();
    SCOPED_TRACE(name);
    const std::string base = (dir / std::to_string(i)).string();
    const int djpegStatus = std::stoi(ReadText(base + ".rc"));
    TDynImageDataArray images;
    if (djpegStatus == 1) {
      const std::string djpegError = ReadText(base + ".err");
      try {
        Jpeg().LoadFile(files[i].string(), images, true);
        ADD_FAILURE() << "loaded although djpeg fails with: " << djpegError;
      } catch (const EImagingError& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find("JPEG Error: "), std::string::npos) << message;
        EXPECT_NE(message.find("(" + djpegError + ")"), std::string::npos)
            << message << "\ndjpeg: " << djpegError;
      }
      ++tally["refused"];
      continue;
    }
    ASSERT_TRUE(Jpeg().LoadFile(files[i].string(), images, true));
    ASSERT_EQ(images.size(), 1u);
    const TImageData& image = images.front();
    const std::optional<TPnm> reference = ReadPnm(base + ".pnm");
    ASSERT_TRUE(reference);
    ASSERT_EQ(image.Width, reference->Width);
    ASSERT_EQ(image.Height, reference->Height);
    const size_t pixels = size_t(image.Width) * size_t(image.Height);
    const uint8_t* p = image.bits();
    const uint8_t* r = reference->Pixels.data();
    switch (image.Format) {
      case F::Gray8:
        ASSERT_EQ(reference->Channels, 1);
        EXPECT_TRUE(std::equal(p, p + pixels, r));
        ++tally["gray"];
        break;
      case F::R8G8B8: {
        ASSERT_EQ(reference->Channels, 3);
        size_t differing = 0;
        for (size_t k = 0; k < pixels; ++k)
          differing +=
              p[3 * k] != r[3 * k + 2] || p[3 * k + 1] != r[3 * k + 1] || p[3 * k + 2] != r[3 * k];
        EXPECT_EQ(differing, 0u);
        ++tally["color"];
        break;
      }
      case F::A8R8G8B8: {
        ASSERT_EQ(reference->Channels, 3);
        const TBytes ink = ReadFileBytes(base + ".cmyk");
        ASSERT_EQ(ink.size(), pixels * 4);
        size_t formulaMisses = 0, djpegMisses = 0;
        for (size_t k = 0; k < pixels; ++k) {
          const uint8_t* q = p + 4 * k;
          const uint8_t* c = ink.data() + 4 * k;
          formulaMisses += q[2] != InkToChannel(c[0], c[3]) || q[1] != InkToChannel(c[1], c[3]) ||
                           q[0] != InkToChannel(c[2], c[3]) || q[3] != 255;
          djpegMisses += std::abs(q[2] - r[3 * k]) > 1 || std::abs(q[1] - r[3 * k + 1]) > 1 ||
                         std::abs(q[0] - r[3 * k + 2]) > 1;
        }
        EXPECT_EQ(formulaMisses, 0u);
        EXPECT_EQ(djpegMisses, 0u);
        ++tally["cmyk"];
        break;
      }
      default:
        ADD_FAILURE() << "unexpected format " << FormatName(image.Format);
    }
  }
  // As the suite's README lists: 175 of its files are refused (12-bit, DNL, lossless,
  // JPEG-LS), 199 decode; the other JPEGs of the corpus all decode.
  EXPECT_EQ(tally["refused"], 175);
  EXPECT_EQ(size_t(tally["gray"] + tally["color"] + tally["cmyk"]), files.size() - 175);
  EXPECT_EQ(tally["cmyk"], 10);
}

// ---- Colour spaces ------------------------------------------------------------------------

// Adobe software stores CMYK inverted (255 - ink) and marks the file with APP14; other
// CMYK files store the ink itself.
TEST(JpegRead, CmykInkFollowsTheAdobeMarker) {
  constexpr int kSize = 16;
  TBytes samples(kSize * kSize * 4);
  // Four flat 8x8 blocks survive quality 100 unchanged; every value differs per channel.
  const uint8_t quadrants[4][4] = {
      {0, 0, 0, 0}, {255, 255, 255, 255}, {10, 200, 40, 30}, {250, 60, 128, 220}};
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x)
      std::memcpy(&samples[size_t(y * kSize + x) * 4], quadrants[(y / 8) * 2 + x / 8], 4);
  for (const bool adobe : {true, false}) {
    SCOPED_TRACE(adobe ? "Adobe" : "plain");
    const TBytes jpeg = EncodeWithLibrary(kSize, kSize, 4, JCS_CMYK, adobe, samples);
    const TBytes stored = DecodeCmykSamples(jpeg);
    const TImageData image = LoadBytes(Jpeg(), jpeg);
    ASSERT_EQ(image.Format, F::A8R8G8B8);
    for (size_t k = 0; k < size_t(kSize * kSize); ++k) {
      int ink[4];
      for (int ch = 0; ch < 4; ++ch)
        ink[ch] = adobe ? 255 - stored[4 * k + ch] : stored[4 * k + ch];
      const uint8_t* q = image.bits() + 4 * k;
      ASSERT_EQ(q[2], InkToChannel(ink[0], ink[3])) << k;
      ASSERT_EQ(q[1], InkToChannel(ink[1], ink[3])) << k;
      ASSERT_EQ(q[0], InkToChannel(ink[2], ink[3])) << k;
      ASSERT_EQ(q[3], 255);
    }
    // No ink is white: with the marker that is stored 255, without it stored 0.
    const uint8_t* white = image.bits() + 4 * (adobe ? 8 : 0);
    EXPECT_EQ(TPixel32::FromColor(0xFFFFFFFF), (TPixel32{white[0], white[1], white[2], white[3]}));
  }
}

// Decoding a colour file straight into A8R8G8B8 must give exactly the pixels of the
// R8G8B8 decode converted afterwards: on random pictures of odd sizes (baseline and
// progressive, several qualities and chroma layouts) and on every JPEG of the test data.
TEST(JpegRead, DecodingIntoFourBytesEqualsDecodingAndConverting) {
  const auto expectSame = [](const std::string& file) {
    SCOPED_TRACE(file);
    TImageData viaConvert, direct;
    std::string convertError, directError;
    bool convertLoaded = false, directLoaded = false;
    try {
      convertLoaded = ImageLoadFile(file, viaConvert) && ImageConvert(viaConvert, F::A8R8G8B8);
    } catch (const std::exception& e) {
      convertError = e.what();
    }
    try {
      directLoaded = ImageLoadFileAs(file, F::A8R8G8B8, direct);
    } catch (const std::exception& e) {
      directError = e.what();
    }
    ASSERT_EQ(directLoaded, convertLoaded);
    EXPECT_EQ(directError, convertError);
    if (!convertLoaded) return;
    ASSERT_EQ(direct.Format, F::A8R8G8B8);
    ASSERT_EQ(direct.Width, viaConvert.Width);
    ASSERT_EQ(direct.Height, viaConvert.Height);
    ASSERT_EQ(direct.Size, viaConvert.Size);
    EXPECT_EQ(std::memcmp(direct.bits(), viaConvert.bits(), size_t(direct.Size)), 0);
  };

  TTempFolder dir;
  std::mt19937 rng(20261210);
  for (int i = 0; i < 24; ++i) {
    const int width = 1 + int(rng() % 97), height = 1 + int(rng() % 61);
    TBytes samples(size_t(width) * size_t(height) * 3);
    // Smooth ramps with noise: both flat and busy blocks.
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        for (int c = 0; c < 3; ++c)
          samples[(size_t(y) * size_t(width) + size_t(x)) * 3 + size_t(c)] =
              uint8_t((x * (c + 1) * 7 + y * 5 + int(rng() % 64)) & 0xFF);
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 40 + int(rng() % 61), TRUE);
    // 4:4:4, 4:2:2, 4:2:0 and 4:4:0.
    const int layout = i % 4;
    info.comp_info[0].h_samp_factor = layout == 1 || layout == 2 ? 2 : 1;
    info.comp_info[0].v_samp_factor = layout == 2 || layout == 3 ? 2 : 1;
    if (i % 3 == 0) jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
      JSAMPROW row = samples.data() + size_t(info.next_scanline) * size_t(width) * 3;
      jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    const TBytes jpeg(buffer, buffer + size);
    jpeg_destroy_compress(&info);
    free(buffer);
    const std::string file = dir.File("random" + std::to_string(i) + ".jpg");
    WriteFileBytes(file, jpeg);
    expectSame(file);
  }

  size_t files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(PIXOLAN_TESTDATA_DIR)) {
    if (!entry.is_regular_file() || !Jpeg().MatchesFileName(entry.path().string())) continue;
    expectSame(entry.path().string());
    ++files;
  }
  EXPECT_GT(files, 374u);
}

TEST(JpegRead, ColourSpaceWithoutPixelFormatIsNotLoaded) {
  const TBytes samples(8 * 8 * 2, 100);
  const TBytes jpeg = EncodeWithLibrary(8, 8, 2, JCS_UNKNOWN, false, samples);
  TMemoryBlockStream stream(jpeg.data(), int64_t(jpeg.size()));
  TDynImageDataArray images;
  EXPECT_FALSE(Jpeg().LoadStream(stream, images, true));
  EXPECT_TRUE(images.empty());
}

// ---- Writing ------------------------------------------------------------------------------

class JpegOptionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Jpeg();
    ASSERT_TRUE(EnginePushOptions());
  }
  void TearDown() override { EnginePopOptions(); }
};

using JpegWrite = JpegOptionsTest;

// Our file must be byte for byte what cjpeg writes for the pixels the handler writes:
// that pins the component count, the quantisation tables of the quality, the progressive
// scan script and the dropped alpha at once.
TEST_F(JpegWrite, EqualsCjpegOfTheWrittenPixels) {
  RequireTools({"cjpeg"});
  const struct {
    F Format;
    int32_t Quality;  // option value
    bool Progressive;
    int ExpectedQuality;
  } cases[] = {
      {F::A8R8G8B8, 90, false, 90}, {F::A8R8G8B8, 101, false, 90}, {F::A8R8G8B8, 0, true, 90},
      {F::X8R8G8B8, 75, false, 75}, {F::R8G8B8, 50, true, 50},     {F::R8G8B8, 100, false, 100},
      {F::Gray8, 90, false, 90},    {F::Gray8, 10, true, 10},      {F::A8Gray8, 80, false, 80},
      {F::Index8, 90, false, 90},   {F::R16G16B16, 95, false, 95}, {F::A1R5G5B5, 1, false, 1},
  };
  TTempFolder dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(FormatName(c.Format) + " quality " + std::to_string(c.Quality) +
                 (c.Progressive ? " progressive" : ""));
    const TImageData image = MakePhoto(61, 37, c.Format);
    ASSERT_TRUE(EngineSetOption(kOptionJpegQuality, c.Quality));
    ASSERT_TRUE(EngineSetOption(kOptionJpegProgressive, c.Progressive));
    const TBytes ours = SaveBytes(Jpeg(), image);
    EXPECT_EQ(EngineGetOption(kOptionJpegQuality), c.ExpectedQuality);

    const bool gray = GetFormatDescriptor(c.Format)->IsGray;
    TImageData written;
    ASSERT_TRUE(ImageClone(image, written));
    ASSERT_TRUE(ImageConvert(written, gray ? F::Gray8 : F::R8G8B8));
    WritePnm(dir / "in.pnm", written);
    ASSERT_EQ(RunShell("cjpeg -quality " + std::to_string(c.ExpectedQuality) + " -baseline" +
                       (c.Progressive ? " -progressive" : "") + " " + Quote(dir / "in.pnm") + " >" +
                       Quote(dir / "ref.jpg")),
              0);
    EXPECT_TRUE(ours == ReadFileBytes(dir / "ref.jpg"));

    const auto segments = Segments(ours);
    const auto frame = std::find_if(segments.begin(), segments.end(), [](const auto& s) {
      return s.first == 0xC0 || s.first == 0xC2;
    });
    ASSERT_NE(frame, segments.end());
    EXPECT_EQ(frame->first, c.Progressive ? 0xC2 : 0xC0);
    EXPECT_EQ(frame->second[5], gray ? 1 : 3);  // component count
  }
}

TEST_F(JpegWrite, DjpegReadsBackWhatWeDecode) {
  RequireTools({"djpeg"});
  TTempFolder dir;
  for (const F format : {F::A8R8G8B8, F::Gray8})
    for (const bool progressive : {false, true}) {
      SCOPED_TRACE(FormatName(format) + (progressive ? " progressive" : ""));
      ASSERT_TRUE(EngineSetOption(kOptionJpegProgressive, progressive));
      const fs::path file = dir / "photo.jpg";
      const TImageData photo = MakePhoto(83, 50, format);
      ASSERT_TRUE(Jpeg().SaveFile(file.string(), TImageSpan(&photo, 1), true));
      ASSERT_EQ(RunShell("djpeg -pnm " + Quote(file) + " >" + Quote(dir / "back.pnm")), 0);
      const std::optional<TPnm> back = ReadPnm(dir / "back.pnm");
      ASSERT_TRUE(back);
      TImageData ours = LoadJpeg(file);
      if (ours.Format == F::R8G8B8) {
        ASSERT_TRUE(ImageSwapChannels(ours, 0, 2));
      }
      ASSERT_EQ(ours.Width * ours.Height * back->Channels, int32_t(back->Pixels.size()));
      EXPECT_TRUE(std::equal(back->Pixels.begin(), back->Pixels.end(), ours.bits()));
    }
}

TEST_F(JpegWrite, LoadingResetsAnInvalidQuality) {
  const TBytes jpeg = SaveBytes(Jpeg(), MakePhoto(8, 8, F::R8G8B8));
  ASSERT_TRUE(EngineSetOption(kOptionJpegQuality, 0));
  EXPECT_EQ(EngineGetOption(kOptionJpegQuality), 0);
  LoadBytes(Jpeg(), jpeg);
  EXPECT_EQ(EngineGetOption(kOptionJpegQuality), 90);
}

TEST_F(JpegWrite, WriteFailureNamesTheStreamError) {
  const TImageData photo = MakePhoto(64, 64, F::R8G8B8);
  uint8_t block[100];
  TMemoryBlockStream stream(TMemoryBlockStream::TWritable{}, block, int64_t(sizeof(block)));
  try {
    Jpeg().SaveStream(stream, TImageSpan(&photo, 1), true);
    FAIL() << "saved into 100 bytes";
  } catch (const EImagingError& e) {
    const std::string message = e.what();
    EXPECT_NE(message.find("JPEG Error: "), std::string::npos) << message;
    EXPECT_NE(message.find("(Output file write error"), std::string::npos) << message;
    EXPECT_NE(message.find("Cannot write data"), std::string::npos) << message;
  }
}

TEST_F(JpegWrite, ImageTooLargeForJpegIsALibraryError) {
  TImageData wide;
  ASSERT_TRUE(ImageCreate(70000, 1, F::Gray8, wide));
  TMemoryStream stream;
  try {
    Jpeg().SaveStream(stream, TImageSpan(&wide, 1), true);
    FAIL() << "saved a 70000 pixel wide JPEG";
  } catch (const EImagingError& e) {
    EXPECT_NE(std::string(e.what()).find("(Maximum supported image dimension is 65500 pixels)"),
              std::string::npos)
        << e.what();
  }
}

// ---- Broken input -------------------------------------------------------------------------

// A stream that fails after a number of bytes, as a disk error would.
class TFailingStream final : public TStream {
 public:
  TFailingStream(TBytes data, int64_t failAt) : data_(std::move(data)), failAt_(failAt) {}
  int64_t Read(void* buffer, int64_t count) override {
    if (position_ + count > failAt_) throw EImagingError("Disk on fire.");
    const int64_t n = std::min(count, int64_t(data_.size()) - position_);
    std::memcpy(buffer, data_.data() + position_, size_t(std::max<int64_t>(n, 0)));
    position_ += std::max<int64_t>(n, 0);
    return std::max<int64_t>(n, 0);
  }
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    position_ = (origin == TSeekOrigin::Begin     ? 0
                 : origin == TSeekOrigin::Current ? position_
                                                  : int64_t(data_.size())) +
                offset;
    return position_;
  }
  int64_t Tell() override { return position_; }
  int64_t Size() override { return int64_t(data_.size()); }

 private:
  TBytes data_;
  int64_t failAt_;
  int64_t position_ = 0;
};

TEST(JpegRead, TruncatedAndGarbageInputGiveClearErrors) {
  Jpeg();
  const TImageData photo = MakePhoto(120, 90, F::R8G8B8);
  const TBytes baseline = SaveBytes(Jpeg(), photo);
  const TBytes progressive = SaveBytes(Jpeg(), photo, {{kOptionJpegProgressive, 1}});
  const TBytes arithmetic = ReadFileBytes(kSuite / "extended_arithmetic" / "32x32x8_ycbcr.jpg");
  ASSERT_FALSE(arithmetic.empty());

  const auto cut = [](const TBytes& b, size_t n) { return TBytes(b.begin(), b.begin() + n); };
  TBytes garbage(4000);
  std::mt19937 rng(3);
  for (auto& b : garbage) b = uint8_t(rng());
  TBytes soiGarbage = garbage;
  soiGarbage[0] = 0xFF;
  soiGarbage[1] = 0xD8;
  TBytes tablesOnly = {0xFF, 0xD8};
  for (const auto& [marker, payload] : Segments(baseline))
    if (marker == 0xDB || marker == 0xC4) {
      tablesOnly.insert(tablesOnly.end(), {0xFF, marker, uint8_t((payload.size() + 2) >> 8),
                                           uint8_t(payload.size() + 2)});
      tablesOnly.insert(tablesOnly.end(), payload.begin(), payload.end());
    }
  tablesOnly.insert(tablesOnly.end(), {0xFF, 0xD9});

  const struct {
    const char* Name;
    TBytes Data;
    const char* Expected;
  } cases[] = {
      {"empty", {}, "does not contain valid image"},
      {"five bytes", cut(baseline, 5), "does not contain valid image"},
      {"cut in the header", cut(baseline, 120), "(Premature end of input file)"},
      {"baseline cut in the data", cut(baseline, baseline.size() * 2 / 3),
       "(Premature end of input file)"},
      {"progressive cut in the data", cut(progressive, progressive.size() * 2 / 3),
       "(Premature end of input file)"},
      {"arithmetic cut in the data", cut(arithmetic, arithmetic.size() * 2 / 3),
       "(Premature end of input file)"},
      {"random bytes", garbage, "does not contain valid image"},
      {"start of image, then random bytes", soiGarbage, "JPEG Error: "},
      {"tables without an image", tablesOnly, "(JPEG datastream contains no image)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string message = ErrorOf<EImagingError>([&] { LoadBytes(Jpeg(), c.Data); });
    EXPECT_NE(message.find(c.Expected), std::string::npos) << message;
    EXPECT_NE(message.find("Error while loading images from stream"), std::string::npos) << message;
  }

  // Only the end-of-image marker missing: the image is complete and loads.
  for (const TBytes* full : {&baseline, &progressive}) {
    const TImageData whole = LoadBytes(Jpeg(), *full);
    const TImageData withoutEoi = LoadBytes(Jpeg(), cut(*full, full->size() - 2));
    EXPECT_TRUE(std::equal(whole.bits(), whole.bits() + whole.Size, withoutEoi.bits()));
  }

  TFailingStream failing(baseline, 300);
  TDynImageDataArray images;
  try {
    Jpeg().LoadStream(failing, images, true);
    ADD_FAILURE() << "loaded from a failing stream";
  } catch (const EImagingError& e) {
    const std::string message = e.what();
    EXPECT_NE(message.find("(Input file read error)"), std::string::npos) << message;
    EXPECT_NE(message.find("Disk on fire."), std::string::npos) << message;
  }
}

// Headers can claim far more than the data holds; such claims are refused before the
// image or libjpeg's buffers are allocated.
TEST(JpegRead, OversizedClaimsAreRefusedBeforeAllocating) {
  Jpeg();
  const auto withSize = [](TBytes jpeg, uint16_t width, uint16_t height) {
    const size_t sof = FrameHeaderOffset(jpeg);
    if (sof == 0) throw std::runtime_error("no frame header");
    jpeg[sof + 5] = uint8_t(height >> 8);
    jpeg[sof + 6] = uint8_t(height);
    jpeg[sof + 7] = uint8_t(width >> 8);
    jpeg[sof + 8] = uint8_t(width);
    return jpeg;
  };
  const TBytes baseline = SaveBytes(Jpeg(), MakePhoto(32, 32, F::R8G8B8));
  const TBytes arithmetic =
      ReadFileBytes(kSuite / "progressive_arithmetic" / "32x32x8_ycbcr_interleaved.jpg");
  ASSERT_FALSE(arithmetic.empty());
  const struct {
    const char* Name;
    TBytes Data;
    const char* Expected;
  } cases[] = {
      {"beyond the pixel limit", withSize(baseline, 65000, 65000),
       "JPEG image of 65000 x 65000 pixels exceeds the limit of 268435456 pixels."},
      {"more than the Huffman data can hold", withSize(baseline, 16000, 16000),
       "JPEG data ends early: an image of 16000 x 16000 pixels needs at least"},
      {"coefficient buffers beyond the memory limit", withSize(arithmetic, 16384, 16384),
       "JPEG image of 16384 x 16384 pixels needs 1536 MiB of decoder memory, more than the "
       "limit of 1024 MiB."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string message = ErrorOf<EImagingError>([&] { LoadBytes(Jpeg(), c.Data); });
    EXPECT_NE(message.find(c.Expected), std::string::npos) << message;
  }
}

// ---- Custom stream ------------------------------------------------------------------------

TEST(JpegCustomIO, ReadsAndWritesThroughTheStreamItIsGiven) {
  const TImageData photo = MakePhoto(40, 24, F::R8G8B8);
  const TBytes jpegData = SaveBytes(Jpeg(), photo);
  TBytes container = {'J', 'U', 'N', 'K', '!', '!', '!'};
  container.insert(container.end(), jpegData.begin(), jpegData.end());
  container.insert(container.end(), {'T', 'A', 'I', 'L'});
  TMemoryStream embedded(container);
  embedded.Seek(7, TSeekOrigin::Begin);

  TCustomIOJpegFileFormat jpeg;
  jpeg.SetCustomIO(&embedded);
  TMemoryStream unrelated;
  TIOHandle handle = TStreamIO::OpenRead(unrelated);
  EXPECT_TRUE(jpeg.TestContent(handle));
  EXPECT_EQ(embedded.Tell(), 7);
  TDynImageDataArray images;
  ASSERT_TRUE(jpeg.ReadImages(handle, images, true));
  const TImageData direct = LoadBytes(Jpeg(), jpegData);
  ASSERT_EQ(images.size(), 1u);
  EXPECT_TRUE(std::equal(direct.bits(), direct.bits() + direct.Size, images[0].bits()));
  // Left just behind the end-of-image marker, for the container to go on.
  EXPECT_EQ(embedded.Tell(), int64_t(7 + jpegData.size()));

  // Its options are its own, not the engine's.
  ASSERT_TRUE(EnginePushOptions());
  jpeg.Quality = 40;
  jpeg.Progressive = 1;
  EngineSetOption(kOptionJpegQuality, 95);
  EngineSetOption(kOptionJpegProgressive, 0);
  EXPECT_EQ(jpeg.Quality.load(), 40);
  TMemoryStream written;
  jpeg.SetCustomIO(&written);
  TIOHandle writeHandle = TStreamIO::OpenWrite(unrelated);
  ASSERT_TRUE(jpeg.WriteImages(writeHandle, TImageSpan(&photo, 1), TSaveSelection{0, 0}));
  EXPECT_EQ(unrelated.Size(), 0);
  EngineSetOption(kOptionJpegQuality, 40);
  EngineSetOption(kOptionJpegProgressive, 1);
  EXPECT_TRUE(written.Data() == SaveBytes(Jpeg(), photo));
  EnginePopOptions();

  jpeg.SetCustomIO(nullptr);
  TMemoryStream plain(jpegData);
  TIOHandle plainHandle = TStreamIO::OpenRead(plain);
  images.clear();
  EXPECT_TRUE(jpeg.ReadImages(plainHandle, images, true));
}

}  // namespace
}  // namespace pixolan::imaging
