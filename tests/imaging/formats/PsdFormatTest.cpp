#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "imaging/formats/PsdFormat.h"
#include "imaging/image/Imaging.h"
#include "imaging/io/Options.h"
#include "imaging/io/Registry.h"
#include "support/Bytes.h"
#include "support/ErrorOf.h"
#include "support/ExternalOracles.h"
#include "support/FormatBytes.h"
#include "support/TempFolder.h"
#include "support/TestImages.h"

namespace pixolan::imaging {
namespace {

using namespace test;
using F = TImageFormatId;

TPSDFileFormat& Psd() {
  return *FindFileFormatByClass<TPSDFileFormat>();
}

// A document in memory: header, the three length-prefixed sections and the composite.
struct TPsdLayout {
  uint16_t Channels = 3;
  uint32_t Width = 1;
  uint32_t Height = 1;
  uint16_t Depth = 8;
  uint16_t Mode = 3;
  uint16_t Version = 1;
  std::vector<uint8_t> ColorModeData = {};
  std::vector<uint8_t> Resources = {};
  std::vector<uint8_t> Layers = {};
  uint16_t Compression = 0;
  std::vector<uint8_t> Data = {};  // after the compression field
};

std::vector<uint8_t> MakePsd(const TPsdLayout& l) {
  std::vector<uint8_t> b = {'8', 'B', 'P', 'S'};
  AddBe16(b, l.Version);
  b.insert(b.end(), 6, 0);
  AddBe16(b, l.Channels);
  AddBe32(b, l.Height);
  AddBe32(b, l.Width);
  AddBe16(b, l.Depth);
  AddBe16(b, l.Mode);
  for (const std::vector<uint8_t>* section : {&l.ColorModeData, &l.Resources, &l.Layers}) {
    AddBe32(b, uint32_t(section->size()));
    b.insert(b.end(), section->begin(), section->end());
  }
  AddBe16(b, l.Compression);
  b.insert(b.end(), l.Data.begin(), l.Data.end());
  return b;
}

// The composite as ImageMagick reads it, 16 bits a sample. It takes colors as stored (by
// default it "unblends" them from white); and it reads a fourth
// channel as transparency only when the layer count says so, so without `alphaToo` alpha
// is left out of the comparison. CMYK documents are turned into RGB on its side too. Frame 1
// is the first layer.
std::string DifferenceToImageMagick(const TImageData& ours, const fs::path& file,
                                    const fs::path& dir, int tolerance, bool alphaToo,
                                    bool cmyk = false, int frame = 0) {
  const fs::path pam = dir / (file.filename().string() + ".pam");
  if (!RunCommand("convert -define psd:alpha-unblend=off " +
                      Quote(file.string() + "[" + std::to_string(frame) + "]") +
                      (cmyk ? " -colorspace sRGB" : "") + " -depth 16 " +
                      Quote("pam:" + pam.string()),
                  dir / "convert.log"))
    return "convert failed on " + file.string();
  TRgba64Pixels theirs;
  std::string error;
  if (!ReadPam16(pam, theirs, error)) return error;
  TRgba64Pixels mine = Pixels64Of(ours);
  if (!alphaToo)
    for (TRgba64Pixels* p : {&mine, &theirs})
      for (TPixel64& pixel : p->Pixels) pixel.A = 65535;
  return Difference64(mine, theirs, tolerance);
}

// ---- Conformance corpus -------------------------------------------------------------

const std::map<std::string, std::string> kRefusedSuiteFiles = {
    {"psd/pillow/combined_larger_than_size.psd", "layer section longer than the file"},
    {"psd/psd-tools/colormodes/4x4_1bit_bitmap.psd", "bitmap mode"},
};

TEST(PsdConformance, EverySuiteFileLoadsOrIsRefusedWithAnError) {
  ExpectCorpusLoadsOrIsRefused(Psd(), "psd", ".psd", 38, kRefusedSuiteFiles);
  // Large-document files (version 2) are not this handler's: refused, never misread.
  for (const fs::path& file : CorpusFiles("psd", ".psb")) {
    TDynImageDataArray images;
    EXPECT_NE(ErrorOf<EImagingError>([&] { Psd().LoadFile(file.string(), images, true); }),
              "no error")
        << CorpusName(file);
  }
}

// Composites compared with ImageMagick's reading at 16 bits a sample. Tolerances: RGB and
// gray agree exactly; ImageMagick takes CMYK through its own color math.
TEST(PsdConformance, CompositesMatchImageMagick) {
  ASSERT_TRUE(HaveTool("convert")) << "ImageMagick's convert is needed as reference reader";
  const std::map<std::string, int> tolerance = {
      {"psd/psd-tools/colormodes/4x4_8bit_cmyk.psd", 257},
      {"psd/psd-tools/colormodes/4x4_16bit_cmyk.psd", 2},
  };
  // Files ImageMagick reads otherwise: 32-bit float samples, multichannel and duotone
  // (its own renderings), Lab (it assumes a D65 white where documents use D50: see
  // LabBecomesSrgb), and indexed documents, which this build of it refuses outright
  // ("improper image header"), the suite's as well as ours.
  const std::set<std::string> skipped = {
      "psd/psd-tools/colormodes/4x4_8bit_lab.psd",
      "psd/psd-tools/colormodes/4x4_16bit_lab.psd",
      "psd/psd-tools/colormodes/4x4_8bit_index_color.psd",
      "psd/psd-tools/32bit5x5.psd",
      "psd/psd-tools/colormodes/4x4_32bit_grayscale.psd",
      "psd/psd-tools/colormodes/4x4_32bit_rgb.psd",
      "psd/psd-tools/colormodes/4x4_16bit_multichannel.psd",
      "psd/psd-tools/colormodes/4x4_8bit_duotone.psd",
  };
  const std::map<std::string, std::string> invalid = InvalidExpectations();
  TTempFolder dir;
  int compared = 0;
  for (const fs::path& file : CorpusFiles("psd", ".psd")) {
    const std::string name = CorpusName(file);
    if (kRefusedSuiteFiles.count(name) || invalid.count(name) || skipped.count(name)) continue;
    TDynImageDataArray images;
    ASSERT_TRUE(Psd().LoadFile(file.string(), images, true)) << name;
    const auto t = tolerance.find(name);
    // One file stores a fourth channel without the negative layer count.
    const bool alphaToo = name != "psd/psd-tools/colormodes/4x4_8bit_rgba.psd";
    EXPECT_EQ(
        DifferenceToImageMagick(images[0], file, dir.Path(), t == tolerance.end() ? 0 : t->second,
                                alphaToo, name.find("cmyk") != std::string::npos),
        "")
        << name;
    ++compared;
  }
  EXPECT_GE(compared, 24);
}

TEST(PsdConformance, RgbaCompositeMatchesItsReference) {
  TDynImageDataArray images;
  ASSERT_TRUE(Psd().LoadFile((TestDataDir() / "psd/pillow/rgba.psd").string(), images, true));
  EXPECT_EQ(images[0].Format, F::A8R8G8B8);
  TTempFolder dir;
  TRgbaPixels expected;
  std::string error;
  ASSERT_TRUE(ReadWithImageMagick(TestDataDir() / "psd/pillow/imagedraw_square.png", dir.Path(),
                                  expected, error))
      << error;
  EXPECT_TRUE(ComparePixels(PixelsOf(images[0]), expected).Same());
}

// ---- Reading ------------------------------------------------------------------------

TEST(PsdReader, EveryModeAndDepthBecomesItsFormat) {
  struct TCase {
    const char* Name;
    TPsdLayout Layout;
    F Format;
    std::vector<uint8_t> Bytes;  // the engine image's bytes
  };
  // Two pixels a case; raw data is channel after channel.
  const TCase cases[] = {
      {"gray 8", {.Channels = 1, .Width = 2, .Mode = 1, .Data = {10, 200}}, F::Gray8, {10, 200}},
      {"duotone 8 is gray",
       {.Channels = 1, .Width = 2, .Mode = 8, .ColorModeData = {1, 2, 3}, .Data = {10, 200}},
       F::Gray8,
       {10, 200}},
      {"gray 8 with alpha",
       {.Channels = 2, .Width = 2, .Mode = 1, .Data = {10, 200, 255, 7}},
       F::A8Gray8,
       {10, 255, 200, 7}},
      {"gray 16, big-endian samples",
       {.Channels = 1, .Width = 2, .Depth = 16, .Mode = 1, .Data = {0x12, 0x34, 0xAB, 0xCD}},
       F::Gray16,
       {0x34, 0x12, 0xCD, 0xAB}},
      {"gray 16 with alpha",
       {.Channels = 2, .Depth = 16, .Mode = 1, .Data = {0x12, 0x34, 0xAB, 0xCD}},
       F::A16Gray16,
       {0x34, 0x12, 0xCD, 0xAB}},
      {"gray 32 float",
       {.Channels = 1, .Depth = 32, .Mode = 1, .Data = {0x3F, 0x80, 0, 0}},
       F::R32F,
       {0, 0, 0x80, 0x3F}},
      {"RGB 8 fills B, G, R from the back",
       {.Width = 2, .Data = {1, 2, 3, 4, 5, 6}},
       F::R8G8B8,
       {5, 3, 1, 6, 4, 2}},
      {"RGB 8 with alpha, a fifth channel skipped",
       {.Channels = 5, .Data = {1, 2, 3, 4, 99}},
       F::A8R8G8B8,
       {3, 2, 1, 4}},
      {"RGB 16",
       {.Depth = 16, .Data = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06}},
       F::R16G16B16,
       {0x06, 0x05, 0x04, 0x03, 0x02, 0x01}},
      {"RGB 16 with alpha",
       {.Channels = 4, .Depth = 16, .Data = {0, 1, 0, 2, 0, 3, 0, 4}},
       F::A16R16G16B16,
       {3, 0, 2, 0, 1, 0, 4, 0}},
      {"multichannel taken as RGB", {.Mode = 7, .Data = {1, 2, 3}}, F::R8G8B8, {3, 2, 1}},
      // 1.0, 0.5, 0.25 and alpha 1.0 added.
      {"RGB 32 float gets alpha 1",
       {.Depth = 32, .Data = {0x3F, 0x80, 0, 0, 0x3F, 0, 0, 0, 0x3E, 0x80, 0, 0}},
       F::A32R32G32B32F,
       {0, 0, 0x80, 0x3E, 0, 0, 0, 0x3F, 0, 0, 0x80, 0x3F, 0, 0, 0x80, 0x3F}},
  };
  for (const TCase& c : cases) {
    const TImageData image = LoadBytes(Psd(), MakePsd(c.Layout));
    EXPECT_EQ(image.Format, c.Format) << c.Name;
    EXPECT_EQ(BytesOf(image), c.Bytes) << c.Name;
  }
}

TEST(PsdReader, IndexedImagesTakeTheColorTable) {
  std::vector<uint8_t> table(768);
  for (int i = 0; i < 256; ++i) table[i] = uint8_t(i), table[256 + i] = 7, table[512 + i] = 9;
  const TImageData image = LoadBytes(
      Psd(),
      MakePsd({.Channels = 1, .Width = 2, .Mode = 2, .ColorModeData = table, .Data = {3, 250}}));
  ASSERT_EQ(image.Format, F::Index8);
  EXPECT_EQ(BytesOf(image), (std::vector<uint8_t>{3, 250}));
  EXPECT_EQ(image.palette()[250], (TPixel32{9, 7, 250, 255}));
  EXPECT_NE(ErrorOf<EImagingError>([&] {
              LoadBytes(
                  Psd(),
                  MakePsd({.Channels = 1, .Mode = 2, .ColorModeData = {1, 2, 3}, .Data = {0}}));
            }).find("color table"),
            std::string::npos);
}

TEST(PsdReader, CmykBecomesOpaqueRgb) {
  // Stored values are 255 - ink. c, m, y, k = 255 - stored; red = 255 - (c + k - k*c/255).
  struct TCase {
    uint8_t C, M, Y, K;  // stored
    TPixel32 Expected;
  };
  const TCase cases[] = {
      {255, 255, 255, 255, {255, 255, 255, 255}},  // no ink: white
      {255, 255, 255, 0, {0, 0, 0, 255}},          // full black
      {0, 255, 255, 255, {255, 255, 0, 255}},      // full cyan: no red
      // c = 155, m = 55, y = 5, k = 50: red 255 - (155 + 50 - 30) = 80, green 255 - (55 + 50
      // - 10) = 160, blue 255 - (5 + 50 - 0) = 200.
      {100, 200, 250, 205, {200, 160, 80, 255}},
  };
  for (const TCase& c : cases)
    for (uint16_t channels : {4, 5}) {
      std::vector<uint8_t> data = {c.C, c.M, c.Y, c.K};
      if (channels == 5) data.push_back(17);  // a fifth channel is ignored
      const TImageData image =
          LoadBytes(Psd(), MakePsd({.Channels = channels, .Mode = 4, .Data = data}));
      EXPECT_EQ(image.Format, F::A8R8G8B8);
      EXPECT_EQ(PixelsOf(image).Pixels[0], c.Expected) << int(c.K) << " " << channels;
    }
}

TEST(PsdReader, LabBecomesSrgb) {
  // L 100, a 0, b 0 is white; L 0 black; L 54.3, a 80.8, b 69.9 (D50) is sRGB red.
  struct TCase {
    std::vector<uint8_t> Lab;
    TPixel32 Expected;
    int Tolerance;
  };
  const TCase cases[] = {
      {{255, 128, 128}, {255, 255, 255, 255}, 1},
      {{0, 128, 128}, {0, 0, 0, 255}, 0},
      {{138, 209, 198}, {0, 0, 255, 255}, 3},
  };
  for (const TCase& c : cases) {
    const TPixel32 p = PixelsOf(LoadBytes(Psd(), MakePsd({.Mode = 9, .Data = c.Lab}))).Pixels[0];
    for (int i = 0; i < 4; ++i)
      EXPECT_NEAR(p[i], c.Expected[i], c.Tolerance) << int(c.Lab[0]) << " channel " << i;
  }
}

TEST(PsdReader, PackBitsRowsAreDecodedWithTheirByteCounts) {
  // 3 channels, 2 rows of 4 pixels: counts for all 6 rows, then the rows.
  std::vector<uint8_t> data;
  for (int i = 0; i < 6; ++i) AddBe16(data, i % 2 ? 5 : 2);
  const std::vector<uint8_t> run = {0xFD, 9};            // 9 four times
  const std::vector<uint8_t> literal = {3, 1, 2, 3, 4};  // 1, 2, 3, 4
  for (int i = 0; i < 6; ++i)
    data.insert(data.end(), (i % 2 ? literal : run).begin(), (i % 2 ? literal : run).end());
  const TImageData image =
      LoadBytes(Psd(), MakePsd({.Width = 4, .Height = 2, .Compression = 1, .Data = data}));
  const std::vector<uint8_t> bytes = BytesOf(image);
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 3),
            (std::vector<uint8_t>{9, 9, 9}));
  EXPECT_EQ(std::vector<uint8_t>(bytes.end() - 3, bytes.end()), (std::vector<uint8_t>{4, 4, 4}));
}

TEST(PsdReader, BadHeadersAndLengthsAreRefusedWithAReason) {
  std::vector<uint8_t> counts;
  AddBe16(counts, 200);  // more than the data holds
  struct TCase {
    const char* Name;
    std::vector<uint8_t> Bytes;
    const char* Reason;
  };
  std::vector<uint8_t> truncatedHeader = MakePsd({.Data = {1, 2, 3}});
  truncatedHeader.resize(20);
  std::vector<uint8_t> longSection = MakePsd({.Data = {1, 2, 3}});
  longSection[26 + 4 + 2] = 0x10;  // image resources of 4096 bytes
  const TCase cases[] = {
      {"bitmap mode", MakePsd({.Channels = 1, .Depth = 1, .Mode = 0, .Data = {0}}), "bitmap mode"},
      {"indexed at depth 16", MakePsd({.Channels = 1, .Depth = 16, .Mode = 2}), "indexed mode"},
      {"RGB with two channels", MakePsd({.Channels = 2, .Data = {1, 2}}), "RGB mode"},
      {"no channels", MakePsd({.Channels = 0}), "channel count"},
      {"zero width", MakePsd({.Width = 0}), "size"},
      {"beyond the pixel limit", MakePsd({.Width = 1 << 15, .Height = 1 << 14}), "larger"},
      {"ZIP compression", MakePsd({.Compression = 2, .Data = {1, 2, 3}}), "compression 2"},
      {"section longer than the file", longSection, "truncated in the image resources"},
      {"raw data short", MakePsd({.Width = 2, .Data = {1, 2, 3, 4, 5}}), "truncated"},
      {"row counts beyond the data",
       MakePsd({.Channels = 1, .Mode = 1, .Compression = 1, .Data = counts}), "truncated"},
      {"PackBits row short",
       MakePsd({.Channels = 1, .Width = 4, .Mode = 1, .Compression = 1, .Data = {0, 2, 0, 7}}),
       "short"},
      {"PackBits row overrun",
       MakePsd({.Channels = 1, .Width = 1, .Mode = 1, .Compression = 1, .Data = {0, 2, 0xFE, 7}}),
       "overruns"},
  };
  for (const TCase& c : cases) {
    const std::string error = ErrorOf<EImagingError>([&] { LoadAllBytes(Psd(), c.Bytes); });
    EXPECT_NE(error.find(c.Reason), std::string::npos) << c.Name << ": " << error;
  }
  // A version 2 document and a short header are not taken for this format at all.
  EXPECT_FALSE(ContentAccepted(Psd(), MakePsd({.Version = 2})));
  EXPECT_FALSE(ContentAccepted(Psd(), truncatedHeader));
  EXPECT_TRUE(ContentAccepted(Psd(), MakePsd({.Data = {1, 2, 3}})));
}

TEST(PsdReader, DetectedByContentAndSavedByExtension) {
  const std::vector<uint8_t> bytes = SaveBytes(Psd(), Filled(3, 2, 0xFF102030));
  TMemoryBlockStream stream(bytes.data(), int64_t(bytes.size()));
  EXPECT_EQ(DetectStreamFormat(stream), &Psd());
  TTempFolder dir;
  WriteFileBytes(dir / "document.bin", bytes);
  TImageData image;
  ASSERT_TRUE(ImageLoadFile(dir.File("document.bin"), image));
  EXPECT_EQ(ImageGetPixel32(image, 2, 1), (TPixel32{0x30, 0x20, 0x10, 0xFF}));
  EXPECT_EQ(FindFileFormatByFileName("x.PDD"), &Psd());
}

// ---- PackBits -----------------------------------------------------------------------

TEST(PsdPackBits, RowsAreEncodedExactlyAsDescribed) {
  struct TCase {
    const char* Name;
    std::vector<uint8_t> Row;
    std::vector<uint8_t> Packed;
  };
  const TCase cases[] = {
      {"one byte", {5}, {0, 5}},
      {"two bytes: the last is a packet of its own", {5, 6}, {0, 5, 0, 6}},
      {"two equal bytes are no run", {5, 5}, {0, 5, 0, 5}},
      {"three equal bytes are a run", {5, 5, 5}, {0xFE, 5}},
      {"run ending the row takes the last byte", {1, 5, 5, 5}, {0, 1, 0xFE, 5}},
      {"literal ends before the next run", {1, 2, 7, 7, 7, 3}, {1, 1, 2, 0xFE, 7, 0, 3}},
      {"pair inside a literal", {1, 4, 4, 2, 3}, {3, 1, 4, 4, 2, 0, 3}},
  };
  for (const TCase& c : cases) {
    std::vector<uint8_t> out;
    psd::PackBitsEncodeRow(c.Row, out);
    EXPECT_EQ(out, c.Packed) << c.Name;
    std::vector<uint8_t> back(c.Row.size());
    psd::PackBitsDecodeRow(out, back);
    EXPECT_EQ(back, c.Row) << c.Name;
  }
  // Long runs and literals split at 128 bytes.
  std::vector<uint8_t> row(300, 9);
  std::vector<uint8_t> out;
  psd::PackBitsEncodeRow(row, out);
  EXPECT_EQ(out, (std::vector<uint8_t>{0x81, 9, 0x81, 9, 0xD5, 9}));  // 128 + 128 + 44
  row.clear();
  for (int i = 0; i < 200; ++i) row.push_back(uint8_t(i));
  out.clear();
  psd::PackBitsEncodeRow(row, out);
  ASSERT_EQ(out.size(), 1 + 128 + 1 + 71 + 2u);
  EXPECT_EQ(out[0], 127);
  EXPECT_EQ(out[129], 70);
  EXPECT_EQ(out[201], 0);
  std::vector<uint8_t> back(row.size());
  psd::PackBitsDecodeRow(out, back);
  EXPECT_EQ(back, row);
}

// ---- Writing ------------------------------------------------------------------------

// Field offsets of a written file without color table and image resources.
constexpr size_t kLayerSectionAt = 26 + 4 + 4;

TEST(PsdWriter, LayerFieldsOfAnRgbaImage) {
  const TImageData image = ImageWithRuns(5, 3, F::A8R8G8B8, 11, 3);
  const std::vector<uint8_t> b = SaveBytes(Psd(), image, {{kOptionPsdSaveAsLayer, 1}});
  EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "8BPS");
  EXPECT_EQ(Be16(b, 4), 1);
  EXPECT_EQ(Be16(b, 12), 4);  // channels
  EXPECT_EQ(Be32(b, 14), 3u);
  EXPECT_EQ(Be32(b, 18), 5u);
  EXPECT_EQ(Be16(b, 22), 8);
  EXPECT_EQ(Be16(b, 24), 3);  // RGB
  const size_t section = kLayerSectionAt;
  const uint32_t sectionLength = Be32(b, section);
  const uint32_t infoLength = Be32(b, section + 4);
  EXPECT_EQ(infoLength % 2, 0u);
  // The layer info, then the empty global layer mask info, fill the section.
  EXPECT_EQ(sectionLength, infoLength + 8);
  EXPECT_EQ(Be32(b, section + 8 + infoLength), 0u);
  size_t at = section + 8;
  EXPECT_EQ(int16_t(Be16(b, at)), -1);  // first alpha channel is the transparency
  EXPECT_EQ(Be32(b, at + 2), 0u);
  EXPECT_EQ(Be32(b, at + 6), 0u);
  EXPECT_EQ(Be32(b, at + 10), 3u);
  EXPECT_EQ(Be32(b, at + 14), 5u);
  EXPECT_EQ(Be16(b, at + 18), 4);
  at += 20;
  std::vector<int16_t> ids;
  uint32_t channelBytes = 0;
  for (int i = 0; i < 4; ++i, at += 6) {
    ids.push_back(int16_t(Be16(b, at)));
    channelBytes += Be32(b, at + 2);
    // Compression field, three row counts and at least two bytes a row.
    EXPECT_GE(Be32(b, at + 2), 2 + 3 * 2 + 3 * 2u) << i;
  }
  EXPECT_EQ(ids, (std::vector<int16_t>{0, 1, 2, -1}));
  EXPECT_EQ(std::string(b.begin() + ptrdiff_t(at), b.begin() + ptrdiff_t(at) + 8), "8BIMnorm");
  EXPECT_EQ(b[at + 8], 255);  // opacity
  EXPECT_EQ(Be32(b, at + 12), 16u);
  EXPECT_EQ(Be32(b, at + 16), 0u);
  EXPECT_EQ(Be32(b, at + 20), 0u);
  EXPECT_EQ(std::string(b.begin() + ptrdiff_t(at) + 24, b.begin() + ptrdiff_t(at) + 32),
            "\x07Layer 0");
  at += 32;
  EXPECT_EQ(Be16(b, at), 1);  // the first channel's own compression field
  // The channel data end where the padded layer info ends.
  EXPECT_LE(infoLength - (at - section - 8) - channelBytes, 1u);
  const size_t composite = section + 4 + sectionLength;
  EXPECT_EQ(Be16(b, composite), 1);  // PackBits
}

TEST(PsdWriter, WithoutLayerTheSectionIsEmpty) {
  for (F format : {F::A8R8G8B8, F::A32R32G32B32F}) {
    const TImageData image = ImageWithRuns(4, 2, format, 5, 2);
    for (int layer : {0, 1}) {
      const std::vector<uint8_t> b = SaveBytes(Psd(), image, {{kOptionPsdSaveAsLayer, layer}});
      // Float images never get a layer.
      if (layer == 1 && format == F::A8R8G8B8) {
        EXPECT_GT(Be32(b, kLayerSectionAt), 0u);
        continue;
      }
      EXPECT_EQ(Be32(b, kLayerSectionAt), 0u) << FormatName(format);
      EXPECT_EQ(Be16(b, kLayerSectionAt + 4), format == F::A32R32G32B32F ? 0 : 1);
    }
  }
}

TEST(PsdWriter, CompositeRowCountsAndPackBitsData) {
  // Gray 3x2: rows {1, 1, 1} and {1, 2, 3}.
  const TImageData image = MakeImage(3, 2, F::Gray8, {1, 1, 1, 1, 2, 3});
  const std::vector<uint8_t> b = SaveBytes(Psd(), image, {{kOptionPsdSaveAsLayer, 0}});
  const size_t composite = kLayerSectionAt + 4;
  const std::vector<uint8_t> tail(b.begin() + ptrdiff_t(composite), b.end());
  EXPECT_EQ(tail, (std::vector<uint8_t>{0, 1, 0, 2, 0, 5, 0xFE, 1, 1, 1, 2, 0, 3}));
  EXPECT_EQ(Be16(b, 24), 1);  // gray mode
}

TEST(PsdWriter, EveryFormatReadsBackThroughOursAndImageMagick) {
  ASSERT_TRUE(HaveTool("convert")) << "ImageMagick's convert is needed as reference reader";
  struct TCase {
    F Source;
    F Written;
  };
  const TCase cases[] = {
      {F::Index8, F::Index8},
      {F::Gray8, F::Gray8},
      {F::A8Gray8, F::A8Gray8},
      {F::Gray16, F::Gray16},
      {F::A16Gray16, F::A16Gray16},
      {F::R8G8B8, F::R8G8B8},
      {F::A8R8G8B8, F::A8R8G8B8},
      {F::R16G16B16, F::R16G16B16},
      {F::A16R16G16B16, F::A16R16G16B16},
      {F::R32F, F::R32F},
      {F::A32R32G32B32F, F::A32R32G32B32F},
      {F::X8R8G8B8, F::R8G8B8},
      {F::A16B16G16R16, F::A16R16G16B16},
      {F::Gray32, F::Gray16},
      {F::R16F, F::R32F},
      {F::A1R5G5B5, F::A8R8G8B8},
  };
  TTempFolder dir;
  for (const TCase& c : cases)
    for (int layer : {0, 1}) {
      SCOPED_TRACE(FormatName(c.Source) + (layer ? " with layer" : ""));
      TImageData image = ImageWithRuns(37, 5, c.Source, 7, 4);
      FillRandomOpaquePalette(image, 3);
      const std::vector<uint8_t> saved = SaveBytes(Psd(), image, {{kOptionPsdSaveAsLayer, layer}});
      const TImageData back = LoadBytes(Psd(), saved);
      ASSERT_EQ(back.Format, c.Written);
      TImageData expected;
      ImageClone(image, expected);
      ImageConvert(expected, c.Written);
      EXPECT_EQ(BytesOf(back), BytesOf(expected));
      // ImageMagick refuses indexed documents (see above) and rounds float samples.
      if (GetFormatDescriptor(c.Written)->IsFloat || c.Written == F::Index8) continue;
      const fs::path file = dir / "out.psd";
      WriteFileBytes(file, saved);
      EXPECT_EQ(DifferenceToImageMagick(back, file, dir.Path(), 0, layer == 1), "");
      // The layer holds the same pixels.
      if (layer == 1) {
        EXPECT_EQ(DifferenceToImageMagick(back, file, dir.Path(), 0, true, false, 1), "");
      }
    }
}

}  // namespace
}  // namespace pixolan::imaging
