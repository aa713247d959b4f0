#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "imaging/formats/TargaFormat.h"
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

TTargaFileFormat& Tga() {
  return *FindFileFormatByClass<TTargaFileFormat>();
}

// A Targa file in memory: header, ID, color map and pixel data as given, and optionally a
// version 2 footer whose extension area holds an attribute type.
struct TTgaLayout {
  uint8_t Type = 2;
  uint8_t Depth = 24;
  uint8_t Descriptor = 0x20;
  uint16_t Width = 1;
  uint16_t Height = 1;
  uint8_t MapType = 0;
  uint16_t MapFirst = 0;
  uint16_t MapLength = 0;
  uint8_t MapEntryBits = 0;
  std::vector<uint8_t> Id = {};
  std::vector<uint8_t> Map = {};
  std::vector<uint8_t> Pixels = {};
  int AttributeType = -1;  // -1: no footer
};

std::vector<uint8_t> MakeTga(const TTgaLayout& layout) {
  std::vector<uint8_t> b = {uint8_t(layout.Id.size()), layout.MapType, layout.Type};
  Add16(b, layout.MapFirst);
  Add16(b, layout.MapLength);
  b.push_back(layout.MapEntryBits);
  Add16(b, 0);
  Add16(b, 0);
  Add16(b, layout.Width);
  Add16(b, layout.Height);
  b.push_back(layout.Depth);
  b.push_back(layout.Descriptor);
  b.insert(b.end(), layout.Id.begin(), layout.Id.end());
  b.insert(b.end(), layout.Map.begin(), layout.Map.end());
  b.insert(b.end(), layout.Pixels.begin(), layout.Pixels.end());
  if (layout.AttributeType >= 0) {
    const size_t extension = b.size();
    std::vector<uint8_t> area(495, 0);
    area[0] = 495 & 0xFF;
    area[1] = 495 >> 8;
    area[494] = uint8_t(layout.AttributeType);
    b.insert(b.end(), area.begin(), area.end());
    Add32(b, uint32_t(extension));
    b.insert(b.end(), 4, 0);
    const char signature[] = "TRUEVISION-XFILE.";
    b.insert(b.end(), signature, signature + sizeof(signature));
  }
  return b;
}

// ---- Conformance corpus -------------------------------------------------------------

const std::map<std::string, std::string> kRefusedSuiteFiles = {
    {"tga/pillow/cross_scan_line_truncated.tga", "run-length data truncated"},
    {"tga/pillow/p_8.tga", "8-bit color map entries; header only"},
    {"tga/image-rs/invalid/bad-color-map.tga", "0x0 image"},
    {"tga/image-rs/invalid/flip-zero-height.tga", "image type 163"},
    {"tga/image-rs/invalid/flip-zero-height2.tga", "no image data"},
    {"tga/image-rs/invalid/orientation-zero-width.tga", "no image data"},
    {"tga/image-rs/invalid/overfull-image.tga", "run-length data truncated"},
    {"tga/image-rs/invalid/sixteen-bit-gray-colormap.tga", "no image data"},
    {"tga/image-rs/invalid/sixteen-bit-gray-colormap2.tga", "gray with 32 bits per pixel"},
    {"tga/image-rs/invalid/slice-copy-length.tga", "no pixel data"},
};

TEST(TgaConformance, EverySuiteFileLoadsOrIsRefusedWithAnError) {
  ExpectCorpusLoadsOrIsRefused(Tga(), "tga", ".tga", 51, kRefusedSuiteFiles);
}

// Targa file and the PNG rendering its suite expects, relative to tga/.
std::vector<std::pair<std::string, std::string>> ReferencePairs() {
  std::vector<std::pair<std::string, std::string>> pairs = {
      {"pillow/common/1x1_l_bl_raw.tga", "pillow/common/1x1_l.png"},
      {"pillow/common/1x1_l_bl_rle.tga", "pillow/common/1x1_l.png"},
      {"pillow/common/1x1_l_tl_raw.tga", "pillow/common/1x1_l.png"},
      {"pillow/common/1x1_l_tl_rle.tga", "pillow/common/1x1_l.png"},
      {"pillow/200x32_p_bl_raw_origin.tga", "pillow/common/200x32_p.png"},
      {"pillow/cross_scan_line.tga", "pillow/cross_scan_line.png"},
      {"pillow/p_16.tga", "pillow/p_16.png"},
  };
  for (const char* mode : {"l", "la", "p", "rgb", "rgba"})
    for (const char* variant : {"bl_raw", "bl_rle", "tl_raw", "tl_rle"})
      pairs.push_back({std::string("pillow/common/200x32_") + mode + "_" + variant + ".tga",
                       std::string("pillow/common/200x32_") + mode + ".png"});
  for (const char* name : {"cbw8", "ccm8", "ctc24", "ubw8", "ucm8", "utc16", "utc24", "utc32"})
    pairs.push_back(
        {std::string("truevision/") + name + ".tga", std::string("truevision/") + name + ".png"});
  for (const char* name : {"b5-attrib", "b5-cmap", "b5-noattrib", "b5-unused-cmap", "bottom_left",
                           "bottom_right", "cmap_offset", "top_left", "top_right"})
    pairs.push_back({std::string("image-rs/") + name + ".tga",
                     std::string("image-rs/reference/") + name + ".tga.png"});
  return pairs;
}

// The files whose pixels differ from their reference, and why. 16-bit pixels and 15/16-bit
// map entries scale their 5-bit channels as the engine's packed formats do (v * 255 / 31,
// truncated), where image-rs rounds: ours is one lower at most. b5-attrib declares one
// alpha bit, has no extension area and sets the bit in some pixels only, so the others
// are transparent; image-rs ignores the bit (ImageMagick reads it as alpha, as we do).
const std::map<std::string, bool> kExpectedDifferences = {
    // file -> whether alpha differs too
    {"image-rs/b5-attrib.tga", true},
    {"image-rs/b5-cmap.tga", false},
    {"image-rs/b5-noattrib.tga", false},
    {"image-rs/b5-unused-cmap.tga", false},
};

TEST(TgaConformance, PixelsMatchTheSuiteReferences) {
  ASSERT_TRUE(HaveTool("convert")) << "ImageMagick's convert is needed as reference reader";
  TTempFolder dir;
  const fs::path suites = TestDataDir() / "tga";
  std::set<std::string> differing;
  for (const auto& [tga, reference] : ReferencePairs()) {
    TDynImageDataArray images;
    ASSERT_TRUE(Tga().LoadFile((suites / tga).string(), images, true)) << tga;
    TRgbaPixels expected;
    std::string error;
    ASSERT_TRUE(ReadWithImageMagick(suites / reference, dir.Path(), expected, error)) << error;
    const TRgbaPixels ours = PixelsOf(images[0]);
    const TPixelDiff diff = ComparePixels(ours, expected);
    if (diff.Same()) continue;
    differing.insert(tga);
    const auto rule = kExpectedDifferences.find(tga);
    if (rule == kExpectedDifferences.end()) {
      ADD_FAILURE() << tga << " differs from " << reference << ": " << diff.Text();
      continue;
    }
    ASSERT_FALSE(diff.SizeDiffers) << tga;
    for (size_t i = 0; i < ours.Pixels.size(); ++i) {
      const TPixel32 o = ours.Pixels[i], r = expected.Pixels[i];
      for (int c = 0; c < 3; ++c)
        EXPECT_TRUE(o[c] == r[c] || o[c] + 1 == r[c]) << tga << " pixel " << i << " channel " << c;
      EXPECT_EQ(r.A, 255) << tga;
      if (!rule->second) {
        EXPECT_EQ(o.A, 255) << tga << " pixel " << i;
      }
    }
    if (rule->second) {
      EXPECT_GT(diff.AlphaPixels, 0) << tga;
    }
  }
  for (const auto& [tga, alpha] : kExpectedDifferences)
    EXPECT_TRUE(differing.count(tga)) << tga << " no longer differs; drop it from the list";
}

// Single pixels that Pillow's tests check in files without a reference rendering.
TEST(TgaConformance, PixelsPillowChecks) {
  struct TCase {
    const char* File;
    int32_t X, Y;
    TPixel32 Expected;
  };
  const TCase cases[] = {
      {"pillow/rgb32rle_top_right.tga", 90, 90, {0, 0, 0, 255}},
      {"pillow/rgb32rle_bottom_right.tga", 90, 90, {0, 255, 0, 255}},
      // Pillow reads the attribute bit of these two pixels the other way round; a set bit
      // is opaque here, as in ImageMagick and in TrueVision's own utc16.tga.
      {"pillow/rgba16.tga", 0, 0, {255, 0, 172, 0}},
      {"pillow/rgba16.tga", 1, 0, {82, 255, 0, 255}},
  };
  for (const TCase& c : cases) {
    TDynImageDataArray images;
    ASSERT_TRUE(Tga().LoadFile((TestDataDir() / "tga" / c.File).string(), images, true));
    const TRgbaPixels pixels = PixelsOf(images[0]);
    EXPECT_EQ(pixels.Pixels[size_t(c.Y) * pixels.Width + c.X], c.Expected) << c.File;
  }
}

// ---- Reading ------------------------------------------------------------------------

TEST(TgaReader, EveryDepthBecomesItsFormat) {
  struct TCase {
    const char* Name;
    TTgaLayout Layout;
    F Format;
    std::vector<TPixel32> Pixels;  // the two pixels as A8R8G8B8
  };
  const std::vector<uint8_t> map24 = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  const TCase cases[] = {
      {"true color 24",
       {.Width = 2, .Pixels = {1, 2, 3, 4, 5, 6}},
       F::R8G8B8,
       {{1, 2, 3, 255}, {4, 5, 6, 255}}},
      {"true color 32",
       {.Depth = 32, .Descriptor = 0x28, .Width = 2, .Pixels = {1, 2, 3, 4, 5, 6, 7, 0}},
       F::A8R8G8B8,
       {{1, 2, 3, 4}, {5, 6, 7, 0}}},
      {"true color 32, alpha zero everywhere",
       {.Depth = 32, .Width = 2, .Pixels = {1, 2, 3, 0, 5, 6, 7, 0}},
       F::X8R8G8B8,
       {{1, 2, 3, 255}, {5, 6, 7, 255}}},
      // 0x7FFF white, 0x801F blue; the top bit of 15-bit pixels is never alpha.
      {"true color 15",
       {.Depth = 15, .Width = 2, .Pixels = {0xFF, 0x7F, 0x1F, 0x80}},
       F::X1R5G5B5,
       {{255, 255, 255, 255}, {255, 0, 0, 255}}},
      {"true color 16, one attribute bit",
       {.Depth = 16, .Descriptor = 0x21, .Width = 2, .Pixels = {0xFF, 0x7F, 0x1F, 0x80}},
       F::A1R5G5B5,
       {{255, 255, 255, 0}, {255, 0, 0, 255}}},
      {"true color 16, no attribute bit set",
       {.Depth = 16, .Descriptor = 0x21, .Width = 2, .Pixels = {0xFF, 0x7F, 0x1F, 0x00}},
       F::X1R5G5B5,
       {{255, 255, 255, 255}, {255, 0, 0, 255}}},
      {"gray 8",
       {.Type = 3, .Depth = 8, .Width = 2, .Pixels = {9, 200}},
       F::Gray8,
       {{9, 9, 9, 255}, {200, 200, 200, 255}}},
      {"gray and alpha 16",
       {.Type = 3, .Depth = 16, .Descriptor = 0x28, .Width = 2, .Pixels = {9, 255, 200, 7}},
       F::A8Gray8,
       {{9, 9, 9, 255}, {200, 200, 200, 7}}},
      {"gray and alpha 16, alpha zero everywhere",
       {.Type = 3, .Depth = 16, .Width = 2, .Pixels = {9, 0, 200, 0}},
       F::Gray8,
       {{9, 9, 9, 255}, {200, 200, 200, 255}}},
      // Map entries 5..7; index 4 lies before the map and shows as opaque black.
      {"color map 24, first entry 5",
       {.Type = 1,
        .Depth = 8,
        .Width = 2,
        .MapType = 1,
        .MapFirst = 5,
        .MapLength = 3,
        .MapEntryBits = 24,
        .Map = map24,
        .Pixels = {7, 4}},
       F::Index8,
       {{7, 8, 9, 255}, {0, 0, 0, 255}}},
      {"color map 15",
       {.Type = 1,
        .Depth = 8,
        .Width = 2,
        .MapType = 1,
        .MapLength = 2,
        .MapEntryBits = 15,
        .Map = {0x00, 0x7C, 0x1F, 0x80},
        .Pixels = {0, 1}},
       F::Index8,
       {{0, 0, 255, 255}, {255, 0, 0, 255}}},
      {"color map 16 with attribute bits",
       {.Type = 1,
        .Depth = 8,
        .Width = 2,
        .MapType = 1,
        .MapLength = 2,
        .MapEntryBits = 16,
        .Map = {0x00, 0x7C, 0x1F, 0x80},
        .Pixels = {0, 1}},
       F::Index8,
       {{0, 0, 255, 0}, {255, 0, 0, 255}}},
      {"color map 32",
       {.Type = 1,
        .Depth = 8,
        .Width = 2,
        .MapType = 1,
        .MapLength = 2,
        .MapEntryBits = 32,
        .Map = {1, 2, 3, 4, 5, 6, 7, 8},
        .Pixels = {1, 0}},
       F::Index8,
       {{5, 6, 7, 8}, {1, 2, 3, 4}}},
      {"ID field and an unused color map are skipped",
       {.Width = 2,
        .MapType = 1,
        .MapLength = 2,
        .MapEntryBits = 24,
        .Id = {'i', 'd', '!'},
        .Map = {9, 9, 9, 9, 9, 9},
        .Pixels = {1, 2, 3, 4, 5, 6}},
       F::R8G8B8,
       {{1, 2, 3, 255}, {4, 5, 6, 255}}},
  };
  for (const TCase& c : cases) {
    const TImageData image = LoadBytes(Tga(), MakeTga(c.Layout));
    EXPECT_EQ(image.Format, c.Format) << c.Name;
    EXPECT_EQ(PixelsOf(image).Pixels, c.Pixels) << c.Name;
  }
}

TEST(TgaReader, ExtensionAreaSaysWhatAlphaMeans) {
  struct TCase {
    int AttributeType;
    F Format;
    std::vector<TPixel32> Pixels;
  };
  // B, G, R, A = (100, 50, 20, 128) and (10, 20, 30, 0).
  const std::vector<uint8_t> pixels = {100, 50, 20, 128, 10, 20, 30, 0};
  const TCase cases[] = {
      {0, F::X8R8G8B8, {{100, 50, 20, 255}, {10, 20, 30, 255}}},
      {1, F::X8R8G8B8, {{100, 50, 20, 255}, {10, 20, 30, 255}}},
      {2, F::X8R8G8B8, {{100, 50, 20, 255}, {10, 20, 30, 255}}},
      {3, F::A8R8G8B8, {{100, 50, 20, 128}, {10, 20, 30, 0}}},
      // Pre-multiplied: 100 * 255 / 128 = 199.2, 50 -> 99.6, 20 -> 39.8, rounded.
      {4, F::A8R8G8B8, {{199, 100, 40, 128}, {0, 0, 0, 0}}},
      {9, F::A8R8G8B8, {{100, 50, 20, 128}, {10, 20, 30, 0}}},  // unknown: as without
  };
  for (const TCase& c : cases) {
    const TImageData image = LoadBytes(Tga(), MakeTga({.Depth = 32,
                                                       .Descriptor = 0x28,
                                                       .Width = 2,
                                                       .Pixels = pixels,
                                                       .AttributeType = c.AttributeType}));
    EXPECT_EQ(image.Format, c.Format) << c.AttributeType;
    const TRgbaPixels loaded = PixelsOf(image);
    EXPECT_EQ(loaded.Pixels, c.Pixels) << c.AttributeType;
  }
  // Alpha declared useful stays, even when it is zero everywhere.
  EXPECT_EQ(
      LoadBytes(Tga(), MakeTga({.Depth = 32, .Pixels = {1, 2, 3, 0}, .AttributeType = 3})).Format,
      F::A8R8G8B8);
  // No alpha: 16-bit pixels, gray and alpha, and map entries lose theirs.
  EXPECT_EQ(
      LoadBytes(Tga(), MakeTga({.Depth = 16, .Pixels = {0, 0x80}, .AttributeType = 0})).Format,
      F::X1R5G5B5);
  EXPECT_EQ(
      LoadBytes(Tga(), MakeTga({.Type = 3, .Depth = 16, .Pixels = {5, 9}, .AttributeType = 2}))
          .Format,
      F::Gray8);
  const TImageData mapped = LoadBytes(Tga(), MakeTga({.Type = 1,
                                                      .Depth = 8,
                                                      .MapType = 1,
                                                      .MapLength = 1,
                                                      .MapEntryBits = 32,
                                                      .Map = {100, 50, 20, 128},
                                                      .Pixels = {0},
                                                      .AttributeType = 4}));
  EXPECT_EQ(mapped.palette()[0], (TPixel32{199, 100, 40, 128}));
}

TEST(TgaReader, AllFourOriginsComeOutUpright) {
  // Stored pixels 1..6 in a 3x2 gray image; the expected image rows top first.
  struct TCase {
    uint8_t Descriptor;
    std::vector<uint8_t> Expected;
  };
  const TCase cases[] = {
      {0x00, {4, 5, 6, 1, 2, 3}},  // bottom left
      {0x10, {6, 5, 4, 3, 2, 1}},  // bottom right
      {0x20, {1, 2, 3, 4, 5, 6}},  // top left
      {0x30, {3, 2, 1, 6, 5, 4}},  // top right
  };
  for (const TCase& c : cases)
    for (bool rle : {false, true}) {
      const std::vector<uint8_t> raw = {1, 2, 3, 4, 5, 6};
      const std::vector<uint8_t> packed = {5, 1, 2, 3, 4, 5, 6};  // one raw packet of 6
      const TImageData image = LoadBytes(Tga(), MakeTga({.Type = uint8_t(rle ? 11 : 3),
                                                         .Depth = 8,
                                                         .Descriptor = c.Descriptor,
                                                         .Width = 3,
                                                         .Height = 2,
                                                         .Pixels = rle ? packed : raw}));
      EXPECT_EQ(BytesOf(image), c.Expected) << int(c.Descriptor) << (rle ? " RLE" : "");
    }
}

TEST(TgaReader, RunLengthPacketsMayCrossRowsAndAreCutAtTheEnd) {
  struct TCase {
    const char* Name;
    std::vector<uint8_t> Data;
    std::vector<uint8_t> Expected;
  };
  const TCase cases[] = {
      {"run over the row end, then raw", {0x83, 7, 0x01, 8, 9}, {7, 7, 7, 7, 8, 9}},
      {"raw over the row end, then run", {0x03, 1, 2, 3, 4, 0x81, 5}, {1, 2, 3, 4, 5, 5}},
      {"run past the last pixel", {0xFF, 3}, {3, 3, 3, 3, 3, 3}},
      {"raw past the last pixel", {0x07, 1, 2, 3, 4, 5, 6, 7, 8}, {1, 2, 3, 4, 5, 6}},
  };
  for (const TCase& c : cases) {
    const TImageData image = LoadBytes(
        Tga(), MakeTga({.Type = 11, .Depth = 8, .Width = 3, .Height = 2, .Pixels = c.Data}));
    EXPECT_EQ(BytesOf(image), c.Expected) << c.Name;
  }
}

TEST(TgaReader, BadHeadersAndShortDataAreRefusedWithAReason) {
  struct TCase {
    const char* Name;
    TTgaLayout Layout;
    const char* Reason;
  };
  const TCase cases[] = {
      {"no image data", {.Type = 0, .Pixels = {0, 0, 0}}, "no image data"},
      {"zero width", {.Width = 0, .Pixels = {0, 0, 0}}, "Invalid TGA image size 0x1"},
      {"zero height", {.Height = 0, .Pixels = {0, 0, 0}}, "Invalid TGA image size 1x0"},
      {"gray with 32 bits", {.Type = 3, .Depth = 32, .Pixels = {0, 0, 0, 0}}, "pixel depth 32"},
      {"true color with 8 bits", {.Depth = 8, .Pixels = {0}}, "pixel depth 8"},
      {"one bit", {.Type = 3, .Depth = 1, .Pixels = {0}}, "pixel depth 1"},
      {"16-bit indices",
       {.Type = 1,
        .Depth = 16,
        .MapType = 1,
        .MapLength = 1,
        .MapEntryBits = 24,
        .Map = {0, 0, 0},
        .Pixels = {0, 0}},
       "pixel depth 16"},
      {"color-mapped without map", {.Type = 1, .Depth = 8, .Pixels = {0}}, "without color map"},
      {"map entries of 8 bits",
       {.Type = 1,
        .Depth = 8,
        .MapType = 1,
        .MapLength = 1,
        .MapEntryBits = 8,
        .Map = {0},
        .Pixels = {0}},
       "not contain valid image"},
      {"map type 2", {.MapType = 2, .Pixels = {0, 0, 0}}, "not contain valid image"},
      {"truncated raw data", {.Width = 2, .Pixels = {1, 2, 3, 4, 5}}, "truncated"},
      {"truncated run-length data",
       {.Type = 10, .Width = 3, .Pixels = {0x81, 1, 2, 3}},
       "truncated"},
      {"truncated color map",
       {.Type = 1, .Depth = 8, .MapType = 1, .MapLength = 3, .MapEntryBits = 24, .Map = {1, 2, 3}},
       "truncated before its pixel data"},
      {"ID longer than the file", {.Id = std::vector<uint8_t>(40, 1)}, "truncated"},
  };
  for (const TCase& c : cases) {
    std::vector<uint8_t> bytes = MakeTga(c.Layout);
    if (std::string(c.Name) == "ID longer than the file") bytes.resize(30);
    try {
      LoadBytes(Tga(), bytes);
      ADD_FAILURE() << c.Name << " was loaded";
    } catch (const EImagingError& e) {
      EXPECT_NE(std::string(e.what()).find(c.Reason), std::string::npos)
          << c.Name << ": " << e.what();
    }
  }
}

// Huge images announced by 18 bytes of header and 5 of data. The handler's own check
// against the bytes left must refuse them, not the engine's pixel limit, which
// 16384 x 16383 stays below.
TEST(TgaReader, HugeClaimsAreRefusedBeforeAllocating) {
  const struct {
    uint8_t Type;
    uint16_t Width, Height;
  } cases[] = {{2, 65535, 65535}, {10, 65535, 65535}, {2, 16384, 16383}, {10, 16384, 16383}};
  for (const auto& c : cases) {
    const std::vector<uint8_t> bytes = MakeTga({.Type = c.Type,
                                                .Depth = 32,
                                                .Width = c.Width,
                                                .Height = c.Height,
                                                .Pixels = {0xFF, 1, 2, 3, 4}});
    const std::string expected = "TGA pixel data is truncated: " + std::to_string(c.Width) + "x" +
                                 std::to_string(c.Height) +
                                 " pixels need more than the 5 bytes present.";
    const std::string message = ErrorOf<EImagingError>([&] { LoadBytes(Tga(), bytes); });
    EXPECT_NE(message.find(expected), std::string::npos) << int(c.Type) << ": " << message;
  }
}

// ---- Writing ------------------------------------------------------------------------

TEST(TgaWriter, A8R8G8B8GivesUncompressedTopDown32BitWithAlphaBits) {
  const TImageData image = MakeImage(3, 2, F::A8R8G8B8, RandomBytes(24, 3));
  const std::vector<uint8_t> file = SaveBytes(Tga(), image, {{kOptionTargaRLE, false}});
  ASSERT_EQ(file.size(), 18u + 24);
  EXPECT_EQ(std::vector<uint8_t>(file.begin(), file.begin() + 18),
            (std::vector<uint8_t>{0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 2, 0, 32, 0x28}));
  EXPECT_EQ(std::vector<uint8_t>(file.begin() + 18, file.end()), BytesOf(image));
}

TEST(TgaWriter, HeaderPerFormatAndCompression) {
  struct TCase {
    F Format;
    uint8_t MapType, Type, Depth, Descriptor;
  };
  const TCase cases[] = {
      {F::Index8, 1, 1, 8, 0x20},  {F::Gray8, 0, 3, 8, 0x20},     {F::A1R5G5B5, 0, 2, 16, 0x21},
      {F::R8G8B8, 0, 2, 24, 0x20}, {F::A8R8G8B8, 0, 2, 32, 0x28},
  };
  for (const TCase& c : cases)
    for (bool rle : {false, true}) {
      TImageData image;
      ASSERT_TRUE(ImageCreate(300, 2, c.Format, image));
      if (image.palette())
        for (int i = 0; i < 256; ++i) image.palette()[i] = {uint8_t(i), 1, 2, 9};
      const std::vector<uint8_t> file = SaveBytes(Tga(), image, {{kOptionTargaRLE, rle}});
      const std::string name = FormatName(c.Format) + (rle ? " RLE" : "");
      ASSERT_GE(file.size(), 18u) << name;
      const bool mapped = c.MapType == 1;
      std::vector<uint8_t> expected = {0,
                                       c.MapType,
                                       uint8_t(c.Type + (rle ? 8 : 0)),
                                       0,
                                       0,
                                       0,
                                       uint8_t(mapped ? 1 : 0),
                                       uint8_t(mapped ? 24 : 0),
                                       0,
                                       0,
                                       0,
                                       0,
                                       44,
                                       1,
                                       2,
                                       0,
                                       c.Depth,
                                       c.Descriptor};
      EXPECT_EQ(std::vector<uint8_t>(file.begin(), file.begin() + 18), expected) << name;
      const size_t mapBytes = mapped ? 768 : 0;
      if (mapped) {
        // Entries as blue, green, red triples.
        EXPECT_EQ(std::vector<uint8_t>(file.begin() + 18 + 3 * 200, file.begin() + 18 + 3 * 201),
                  (std::vector<uint8_t>{200, 1, 2}));
      }
      // All-zero rows: raw, or per row three packets of 128 + 128 + 44 pixels.
      const size_t bpp = size_t(c.Depth / 8);
      EXPECT_EQ(file.size(), 18 + mapBytes + (rle ? 2 * 3 * (1 + bpp) : 600 * bpp)) << name;
    }
}

TEST(TgaWriter, RunLengthEncodingKeepsPacketsWithinRows) {
  struct TCase {
    const char* Name;
    std::vector<uint8_t> Row;
    std::vector<uint8_t> Encoded;
  };
  std::vector<uint8_t> longRun(130, 4), literal(130);
  for (size_t i = 0; i < literal.size(); ++i) literal[i] = uint8_t(i);
  std::vector<uint8_t> literalPackets = {0x7F};
  literalPackets.insert(literalPackets.end(), literal.begin(), literal.begin() + 128);
  literalPackets.insert(literalPackets.end(), {0x01, 128, 129});
  const TCase cases[] = {
      {"run, raw, run", {5, 5, 5, 6, 7, 8, 8}, {0x82, 5, 0x01, 6, 7, 0x81, 8}},
      {"runs of more than 128", longRun, {0xFF, 4, 0x81, 4}},
      {"raw stretches of more than 128", literal, literalPackets},
      {"single pixel", {9}, {0x00, 9}},
  };
  for (const TCase& c : cases) {
    // The row twice: the first row's last pixel equals the second row's first, which a
    // packet crossing rows would merge.
    std::vector<uint8_t> pixels = c.Row;
    pixels.insert(pixels.end(), c.Row.begin(), c.Row.end());
    const TImageData image = MakeImage(int32_t(c.Row.size()), 2, F::Gray8, pixels);
    const std::vector<uint8_t> file = SaveBytes(Tga(), image, {{kOptionTargaRLE, true}});
    std::vector<uint8_t> expected = c.Encoded;
    expected.insert(expected.end(), c.Encoded.begin(), c.Encoded.end());
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + 18, file.end()), expected) << c.Name;
  }
}

TEST(TgaWriter, RefusesSidesBeyond16Bits) {
  TImageData image;
  ASSERT_TRUE(ImageCreate(65536, 1, F::Gray8, image));
  TMemoryStream stream;
  EXPECT_THROW(Tga().SaveStream(stream, TImageSpan(&image, 1), true), EImagingError);
}

TEST(TgaWriter, ConvertsOtherFormatsAsTheRulesSay) {
  struct TCase {
    F Source;
    F Loaded;  // format of the written file, read back
  };
  const TCase cases[] = {
      {F::Gray16, F::Gray8},           {F::A8Gray8, F::A8R8G8B8},  {F::R5G6B5, F::A1R5G5B5},
      {F::X1R5G5B5, F::A1R5G5B5},      {F::X4R4G4B4, F::A1R5G5B5}, {F::A4R4G4B4, F::A8R8G8B8},
      {F::X8R8G8B8, F::R8G8B8},        {F::R16G16B16, F::R8G8B8},  {F::R32F, F::R8G8B8},
      {F::A32R32G32B32F, F::A8R8G8B8}, {F::DXT1, F::A8R8G8B8},
  };
  for (const TCase& c : cases) {
    TImageData image;
    ASSERT_TRUE(ImageCreate(4, 4, c.Source, image));
    if (!GetFormatDescriptor(c.Source)->IsCompressed)
      for (int32_t i = 0; i < image.Size; ++i) image.bits()[i] = uint8_t(i * 37 + 11);
    const TImageData loaded = LoadBytes(Tga(), SaveBytes(Tga(), image, {{kOptionTargaRLE, false}}));
    EXPECT_EQ(loaded.Format, c.Loaded) << FormatName(c.Source);
    EXPECT_LE(ComparePixels(PixelsOf(loaded), PixelsOf(image)).MaxColorDelta, 8)
        << FormatName(c.Source);
  }
}

std::vector<TWriterCase> WriterCases() {
  std::vector<TWriterCase> cases;
  for (F f : {F::Index8, F::Gray8, F::A1R5G5B5, F::R8G8B8, F::A8R8G8B8})
    for (bool rle : {false, true})
      for (int32_t width : {1, 3, 6, 13}) cases.push_back({f, rle, width});
  return cases;
}

// Run packets occur, also across row ends.
TImageData WriterImage(const TWriterCase& c) {
  TImageData image = ImageWithRuns(c.Width, 5, c.Format, uint32_t(c.Width * 17 + int(c.Format)), 4);
  FillRandomOpaquePalette(image, 8);
  return image;
}

TEST(TgaWriter, IndependentReadersSeeTheSamePixels) {
  ASSERT_TRUE(HaveTool("convert")) << "ImageMagick's convert is needed";
  ASSERT_TRUE(HaveTool("tgatoppm")) << "netpbm's tgatoppm is needed";
  TTempFolder dir;
  for (const TWriterCase& c : WriterCases()) {
    const TImageData image = WriterImage(c);
    const fs::path file = dir / "out.tga";
    EngineSetOption(kOptionTargaRLE, c.Rle);
    ASSERT_TRUE(Tga().SaveFile(file.string(), TImageSpan(&image, 1), true)) << CaseName(c);
    EngineSetOption(kOptionTargaRLE, 0);
    std::string error, why;
    TRgbaPixels magick, netpbm, netpbmAlpha;
    ASSERT_TRUE(ReadWithImageMagick(file, dir.Path(), magick, error)) << CaseName(c) << error;
    EXPECT_TRUE(SameAtPrecision(image, magick, true, why))
        << CaseName(c) << " ImageMagick: " << why;
    const fs::path ppm = dir / "out.ppm", pgm = dir / "alpha.pgm";
    ASSERT_TRUE(
        RunCommand("tgatoppm --alphaout=" + Quote(pgm) + " " + Quote(file) + " >" + Quote(ppm),
                   dir / "tgatoppm.log"))
        << CaseName(c);
    ASSERT_TRUE(ReadNetpbm(ppm, netpbm, error)) << CaseName(c) << error;
    // tgatoppm's alpha map holds the alpha of 32-bit pixels only (it is all zero for 16-bit
    // pixels, whatever their attribute bit, as for pillow/rgba16.tga).
    const bool alpha = image.Format == F::A8R8G8B8;
    if (alpha) {
      ASSERT_TRUE(ReadNetpbm(pgm, netpbmAlpha, error)) << CaseName(c) << error;
      for (size_t i = 0; i < netpbm.Pixels.size(); ++i)
        netpbm.Pixels[i].A = netpbmAlpha.Pixels[i].B;
    }
    EXPECT_TRUE(SameAtPrecision(image, netpbm, alpha, why)) << CaseName(c) << " netpbm: " << why;
  }
}

TEST(TgaWriter, OwnReaderGetsBackFormatAndPixels) {
  for (const TWriterCase& c : WriterCases()) {
    const TImageData image = WriterImage(c);
    const TImageData loaded = LoadBytes(Tga(), SaveBytes(Tga(), image, {{kOptionTargaRLE, c.Rle}}));
    ASSERT_EQ(loaded.Format, image.Format) << CaseName(c);
    EXPECT_EQ(BytesOf(loaded), BytesOf(image)) << CaseName(c);
    if (image.palette()) {
      for (int i = 0; i < 256; ++i) EXPECT_EQ(loaded.palette()[i], image.palette()[i]) << i;
    }
  }
}

TEST(TgaHandler, DescribesItselfAndBindsUseRLE) {
  TTargaFileFormat& tga = Tga();
  EXPECT_EQ(tga.Name, "Truevision Targa Image");
  EXPECT_EQ(tga.Extensions, (std::vector<std::string>{"tga"}));
  EXPECT_TRUE(tga.CanRead && tga.CanWrite && !tga.MultiImage);
  std::vector<F> writable;
  for (F f : AllFormats())
    if (tga.WritableFormats().test(size_t(f))) writable.push_back(f);
  EXPECT_EQ(writable, (std::vector<F>{F::Index8, F::Gray8, F::A1R5G5B5, F::R8G8B8, F::A8R8G8B8}));
  EXPECT_EQ(EngineGetOption(kOptionTargaRLE), 0);
}

TEST(TgaHandler, ContentTestChecksTypeDepthAndMapEntrySize) {
  struct TCase {
    uint8_t MapType, Type, EntryBits, Depth;
    bool Accepted;
  };
  const TCase cases[] = {
      {0, 2, 0, 24, true},  {1, 1, 24, 8, true},  {1, 1, 15, 8, true},  {1, 1, 16, 8, true},
      {1, 1, 32, 8, true},  {0, 11, 0, 8, true},  {0, 0, 0, 8, true},   {0, 3, 0, 1, true},
      {0, 4, 0, 8, false},  {0, 12, 0, 8, false}, {0, 2, 0, 12, false}, {1, 1, 8, 8, false},
      {2, 2, 0, 24, false},
  };
  for (const TCase& c : cases) {
    const std::vector<uint8_t> header = {0, c.MapType, c.Type, 0, 0, 0, 0, c.EntryBits, 0,
                                         0, 0,         0,      1, 0, 1, 0, c.Depth,     0};
    for (size_t size : {17u, 18u}) {
      SCOPED_TRACE(testing::Message()
                   << int(c.MapType) << " " << int(c.Type) << " " << int(c.EntryBits) << " "
                   << int(c.Depth) << " size " << size);
      EXPECT_EQ(ContentAccepted(Tga(), std::span(header).first(size)), c.Accepted && size == 18);
    }
  }
}

TEST(TgaHandler, TargaFilesAreDetectedAndLoaded) {
  TTempFolder dir;
  const TImageData image = MakeImage(2, 2, F::A8R8G8B8, RandomBytes(16, 4));
  WriteFileBytes(dir / "picture.tga", SaveBytes(Tga(), image, {{kOptionTargaRLE, true}}));
  EXPECT_EQ(DetectFileFormat((dir / "picture.tga").string()), &Tga());
  TImageData loaded;
  ASSERT_TRUE(ImageLoadFile((dir / "picture.tga").string(), loaded));
  EXPECT_EQ(BytesOf(loaded), BytesOf(image));
}

}  // namespace
}  // namespace pixolan::imaging
