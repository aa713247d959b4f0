#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "imaging/formats/PcxFormat.h"
#include "imaging/image/Imaging.h"
#include "imaging/io/Registry.h"
#include "support/Bytes.h"
#include "support/ErrorOf.h"
#include "support/ExternalOracles.h"
#include "support/Files.h"
#include "support/FormatBytes.h"
#include "support/TempFolder.h"
#include "support/TestImages.h"

namespace pixolan::imaging {
namespace {

using namespace test;
using F = TImageFormatId;

TPCXFileFormat& Pcx() {
  return *FindFileFormatByClass<TPCXFileFormat>();
}

// A PCX file in memory: the header fields given, then the data (already encoded as the
// encoding byte says) and an optional 256-color palette with its marker.
struct TPcxLayout {
  uint8_t Version = 5;
  uint8_t Encoding = 1;
  uint8_t Bits = 8;
  uint8_t Planes = 1;
  uint16_t Width = 1;
  uint16_t Height = 1;
  uint16_t BytesPerLine = 1;
  std::vector<uint8_t> HeaderColors = {};  // up to 48 bytes
  std::vector<uint8_t> Data = {};
  std::vector<uint8_t> VgaPalette = {};  // 768 bytes, or none
};

std::vector<uint8_t> MakePcx(const TPcxLayout& layout) {
  std::vector<uint8_t> b = {10, layout.Version, layout.Encoding, layout.Bits};
  Add16(b, 0);
  Add16(b, 0);
  Add16(b, layout.Width - 1u);
  Add16(b, layout.Height - 1u);
  Add16(b, 72);
  Add16(b, 72);
  std::vector<uint8_t> colors = layout.HeaderColors;
  colors.resize(48);
  b.insert(b.end(), colors.begin(), colors.end());
  b.push_back(0);
  b.push_back(layout.Planes);
  Add16(b, layout.BytesPerLine);
  Add16(b, 1);
  b.resize(128, 0);
  b.insert(b.end(), layout.Data.begin(), layout.Data.end());
  if (!layout.VgaPalette.empty()) {
    b.push_back(12);
    b.insert(b.end(), layout.VgaPalette.begin(), layout.VgaPalette.end());
  }
  return b;
}

// ---- Conformance corpus -------------------------------------------------------------

const std::map<std::string, std::string> kRefusedSuiteFiles = {
    {"pcx/pillow/01r_00.pcx", "bytes per line fewer than the width needs"},
    {"pcx/pillow/ossfuzz-4836216264589312.pcx", "encoding 32"},
};

TEST(PcxConformance, EverySuiteFileLoadsOrIsRefusedWithAnError) {
  ExpectCorpusLoadsOrIsRefused(Pcx(), "pcx", ".pcx", 17, kRefusedSuiteFiles);
}

// ImageMagick shows the set bits of a monochrome file black; the header of this one says
// white, as Pillow and kimageformats (whose mono.pcx rendering agrees with us) read them.
const std::set<std::string> kReadInvertedByImageMagick = {"pcx/pillow/pil184.pcx"};

// kimageformats keeps a rendering of each of its files; the others are compared with what
// ImageMagick reads.
TEST(PcxConformance, PixelsMatchTheSuiteReferences) {
  ASSERT_TRUE(HaveTool("convert")) << "ImageMagick's convert is needed as reference reader";
  TTempFolder dir;
  const std::vector<fs::path> files = CorpusFiles("pcx", ".pcx");
  int compared = 0;
  for (const fs::path& file : files) {
    const std::string name = CorpusName(file);
    if (kRefusedSuiteFiles.count(name)) continue;
    SCOPED_TRACE(name);
    TDynImageDataArray images;
    ASSERT_TRUE(Pcx().LoadFile(file.string(), images, true));
    fs::path reference = file;
    reference.replace_extension(".png");
    if (!fs::exists(reference)) reference = file;
    TRgbaPixels expected;
    std::string error;
    ASSERT_TRUE(ReadWithImageMagick(reference, dir.Path(), expected, error)) << error;
    if (kReadInvertedByImageMagick.count(name))
      for (TPixel32& p : expected.Pixels)
        p = {uint8_t(255 - p.B), uint8_t(255 - p.G), uint8_t(255 - p.R), p.A};
    const TPixelDiff diff = ComparePixels(PixelsOf(images[0]), expected);
    EXPECT_TRUE(diff.Same()) << diff.Text();
    ++compared;
  }
  EXPECT_GE(compared, 15);
}

// netpbm's writer makes every layout it has from a picture of few colors: planar 1-bit
// (1 to 4 planes by the number of colors), packed 1, 2 and 4 bits, 8 bits with a palette
// and 24-bit color; each reads back with the picture's pixels.
TEST(PcxConformance, FilesNetpbmWritesLoadWithTheirPixels) {
  ASSERT_TRUE(HaveTool("ppmtopcx") && HaveTool("convert")) << "netpbm and ImageMagick are needed";
  TTempFolder dir;
  struct TCase {
    int Colors;
    const char* Options;
    int Bits, Planes;
  };
  const TCase cases[] = {
      {2, "", 1, 1},        {4, "", 1, 2},         {8, "", 1, 3},       {16, "", 1, 4},
      {4, "-packed", 2, 1}, {16, "-packed", 4, 1}, {16, "-8bit", 8, 1}, {200, "-24bit", 8, 3},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.Colors) + " colors " + c.Options);
    const fs::path ppm = dir / ("c" + std::to_string(c.Colors) + ".ppm");
    const fs::path pcx = dir / "out.pcx";
    ASSERT_TRUE(RunCommand("convert -size 23x9 plasma:fractal -seed 4 +dither -colors " +
                               std::to_string(c.Colors) + " -depth 8 " + Quote(ppm),
                           dir / "convert.log"));
    ASSERT_TRUE(
        RunCommand("ppmtopcx " + std::string(c.Options) + " " + Quote(ppm) + " >" + Quote(pcx),
                   dir / "ppmtopcx.log"));
    const std::vector<uint8_t> bytes = ReadFileBytes(pcx);
    ASSERT_GT(bytes.size(), 128u);
    EXPECT_EQ(bytes[3], c.Bits);
    EXPECT_EQ(bytes[65], c.Planes);
    TRgbaPixels expected;
    std::string error;
    ASSERT_TRUE(ReadNetpbm(ppm, expected, error)) << error;
    const TImageData image = LoadBytes(Pcx(), bytes);
    EXPECT_TRUE(ComparePixels(PixelsOf(image), expected).Same())
        << ComparePixels(PixelsOf(image), expected).Text();
  }
}

// ---- Reading ------------------------------------------------------------------------

TEST(PcxReader, LayoutsAndEncodingsGiveTheirPixels) {
  std::vector<uint8_t> gray(768);
  for (int i = 0; i < 256; ++i) gray[size_t(i) * 3] = uint8_t(255 - i);
  struct TCase {
    const char* Name;
    TPcxLayout Layout;
    F Format;
    std::vector<uint8_t> Bits;
  };
  const TCase cases[] = {
      // 2x2, indices 0 1 / 2 3 in two planes: plane 0 holds bit 0, plane 1 bit 1.
      {"1 bit x 2 planes, raw",
       {.Encoding = 0,
        .Bits = 1,
        .Planes = 2,
        .Width = 2,
        .Height = 2,
        .Data = {0x40, 0x00, 0x40, 0xC0}},
       F::Index8,
       {0, 1, 2, 3}},
      {"4 bits packed",
       {.Bits = 4, .Width = 3, .BytesPerLine = 2, .Data = {0x1F, 0x20}},
       F::Index8,
       {1, 15, 2}},
      {"2 bits packed",
       {.Bits = 2, .Width = 5, .BytesPerLine = 2, .Data = {0x1B, 0x80}},
       F::Index8,
       {0, 1, 2, 3, 2}},
      {"8 bits with a run across rows and a literal above 0xC0",
       {.Width = 3,
        .Height = 2,
        .BytesPerLine = 3,
        .Data = {0xC4, 7, 0xC1, 0xC5, 9},
        .VgaPalette = gray},
       F::Index8,
       {7, 7, 7, 7, 0xC5, 9}},
      {"24-bit planes red, green, blue",
       {.Planes = 3, .Width = 2, .BytesPerLine = 2, .Data = {1, 2, 3, 4, 5, 6}},
       F::R8G8B8,
       {5, 3, 1, 6, 4, 2}},
      {"32-bit planes red, green, blue, alpha",
       {.Encoding = 0, .Planes = 4, .Width = 1, .Data = {1, 2, 3, 4}},
       F::A8R8G8B8,
       {3, 2, 1, 4}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TImageData image = LoadBytes(Pcx(), MakePcx(c.Layout));
    EXPECT_EQ(image.Format, c.Format);
    EXPECT_EQ(BytesOf(image), c.Bits);
  }
}

TEST(PcxReader, PalettesComeFromTheHeaderTheEndOrTheDefaults) {
  const std::vector<uint8_t> colors = {10, 20, 30, 40, 50, 60};
  std::vector<uint8_t> vga(768, 0);
  vga[3] = 200, vga[4] = 100, vga[5] = 50;
  struct TCase {
    const char* Name;
    TPcxLayout Layout;
    TPixel32 Entry0, Entry1;
  };
  const TCase cases[] = {
      {"header colors",
       {.Bits = 1, .Width = 8, .HeaderColors = colors, .Data = {0x0F}},
       {30, 20, 10, 255},
       {60, 50, 40, 255}},
      {"monochrome without colors is black and white",
       {.Bits = 1, .Width = 8, .Data = {0x0F}},
       {0, 0, 0, 255},
       {255, 255, 255, 255}},
      {"version 3 has the default colors",
       {.Version = 3,
        .Bits = 1,
        .Planes = 4,
        .Width = 8,
        .HeaderColors = colors,
        .Data = {0, 0, 0, 0}},
       {0, 0, 0, 255},
       {170, 0, 0, 255}},
      {"256 colors at the end",
       {.Width = 1, .Data = {1}, .VgaPalette = vga},
       {0, 0, 0, 255},
       {50, 100, 200, 255}},
      {"8 bits without a palette are gray levels",
       {.Width = 1, .Data = {1}},
       {0, 0, 0, 255},
       {1, 1, 1, 255}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TImageData image = LoadBytes(Pcx(), MakePcx(c.Layout));
    ASSERT_EQ(image.Format, F::Index8);
    EXPECT_EQ(image.palette()[0], c.Entry0);
    EXPECT_EQ(image.palette()[1], c.Entry1);
  }
}

TEST(PcxReader, BrokenFilesAreRefusedWithTheirFault) {
  struct TCase {
    const char* Name;
    TPcxLayout Layout;
    const char* Fault;
  };
  const TCase cases[] = {
      {"bytes per line too few", {.Width = 5, .BytesPerLine = 4, .Data = {0, 0, 0, 0}}, "too few"},
      {"no bytes per line", {.Width = 1, .BytesPerLine = 0}, "too few"},
      {"2 bits in 3 planes",
       {.Bits = 2, .Planes = 3, .Width = 4, .Data = {0, 0, 0}},
       "Unsupported PCX layout"},
      {"raw data cut short",
       {.Encoding = 0, .Width = 4, .Height = 4, .BytesPerLine = 4, .Data = {1, 2, 3}},
       "truncated"},
      {"run-length data cut short",
       {.Width = 4, .Height = 2, .BytesPerLine = 4, .Data = {0xC3, 1, 2}},
       "truncated"},
      {"run mark at the end", {.Width = 2, .BytesPerLine = 2, .Data = {5, 0xC2}}, "truncated"},
      {"claims more than runs can give",
       {.Width = 60000, .Height = 60000, .BytesPerLine = 60000, .Data = {0xFF, 0}},
       "truncated"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::vector<uint8_t> bytes = MakePcx(c.Layout);
    const std::string message = ErrorOf<EImagingError>([&] { LoadBytes(Pcx(), bytes); });
    EXPECT_NE(message.find(c.Fault), std::string::npos) << message;
  }
}

TEST(PcxReader, ContentTestChecksTheHeaderFields) {
  const std::vector<uint8_t> good = MakePcx({.Width = 1, .Data = {1}});
  EXPECT_TRUE(ContentAccepted(Pcx(), good));
  // Field offset, a value that is refused.
  const std::pair<size_t, uint8_t> refusals[] = {{0, 11}, {1, 1},  {1, 6},  {2, 2},
                                                 {3, 3},  {3, 16}, {65, 0}, {65, 5}};
  for (const auto& [offset, value] : refusals) {
    std::vector<uint8_t> bad = good;
    bad[offset] = value;
    EXPECT_FALSE(ContentAccepted(Pcx(), bad)) << offset << "=" << int(value);
  }
  // Writers leave the palette information 0 or unset; it does not decide.
  std::vector<uint8_t> stray = good;
  stray[68] = 0x87, stray[69] = 0x8F;
  EXPECT_TRUE(ContentAccepted(Pcx(), stray));
  EXPECT_FALSE(ContentAccepted(Pcx(), std::vector<uint8_t>(good.begin(), good.begin() + 127)));
}

}  // namespace
}  // namespace pixolan::imaging
