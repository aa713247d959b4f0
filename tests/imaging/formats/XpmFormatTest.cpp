#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "imaging/formats/X11ColorNames.h"
#include "imaging/formats/XpmFormat.h"
#include "imaging/image/Imaging.h"
#include "imaging/io/Registry.h"
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

TXPMFileFormat& Xpm() {
  return *FindFileFormatByClass<TXPMFileFormat>();
}

std::vector<uint8_t> Text(std::string_view text) {
  return {text.begin(), text.end()};
}

TPixel32 PixelAt(const TImageData& image, int32_t x, int32_t y) {
  return reinterpret_cast<const TPixel32*>(
      image.bits())[size_t(y) * size_t(image.Width) + size_t(x)];
}

// ---- Conformance corpus -------------------------------------------------------------

const std::map<std::string, std::string> kRefusedSuiteFiles = {
    {"xpm/libgd/bug00185_damaged.xpm", "a pixel row missing"},
    {"xpm/libgd/invalid_color.xpm", "unknown color name"},
};

TEST(XpmConformance, EverySuiteFileLoadsOrIsRefusedWithAnError) {
  ExpectCorpusLoadsOrIsRefused(Xpm(), "xpm", ".xpm", 9, kRefusedSuiteFiles);
}

// Pillow's files against the PNG they were made from, ImageMagick's file against what
// ImageMagick reads, and the pixels libgd's tests check.
TEST(XpmConformance, PixelsMatchTheSuiteReferences) {
  ASSERT_TRUE(HaveTool("convert")) << "ImageMagick's convert is needed as reference reader";
  TTempFolder dir;
  const fs::path root = TestDataDir() / "xpm";
  // Each file against what ImageMagick reads from it: they hold "#" colors only.
  const std::pair<const char*, const char*> references[] = {
      {"pillow/hopper.xpm", "pillow/hopper.xpm"},
      {"pillow/hopper_bpp2.xpm", "pillow/hopper_bpp2.xpm"},
      {"pillow/hopper_rgb.xpm", "pillow/hopper_rgb.xpm"},
      {"imagemagick/input.xpm", "imagemagick/input.xpm"},
  };
  for (const auto& [file, reference] : references) {
    SCOPED_TRACE(std::string(file) + " against " + reference);
    TDynImageDataArray images;
    ASSERT_TRUE(Xpm().LoadFile((root / file).string(), images, true));
    TRgbaPixels expected;
    std::string error;
    ASSERT_TRUE(ReadWithImageMagick(root / reference, dir.Path(), expected, error)) << error;
    const TPixelDiff diff = ComparePixels(PixelsOf(images[0]), expected);
    EXPECT_TRUE(diff.Same()) << diff.Text();
  }
  struct TPoint {
    const char* File;
    int32_t X, Y;
    TPixel32 Expected;
  };
  const TPoint points[] = {
      {"libgd/bug00166.xpm", 1, 1, {0xCC, 0xBB, 0xAA, 255}},
      {"libgd/bug00166.xpm", 0, 0, {0, 0, 0, 0}},
      {"libgd/color_name.xpm", 2, 2, {0, 0xFF, 0xFF, 255}},     // yellow
      {"libgd/color_name.xpm", 0, 1, {0xFF, 0xF8, 0xF0, 255}},  // AliceBlue
      {"libgd/color_name.xpm", 0, 4, {0xB3, 0xDE, 0xF5, 255}},  // wheat
      {"libgd/color_name.xpm", 1, 1, {0xFF, 0, 0, 255}},        // blue
  };
  for (const TPoint& p : points) {
    TDynImageDataArray images;
    ASSERT_TRUE(Xpm().LoadFile((root / p.File).string(), images, true)) << p.File;
    EXPECT_EQ(PixelAt(images[0], p.X, p.Y), p.Expected) << p.File << " " << p.X << "," << p.Y;
  }
}

// netpbm writes X11 color names with blanks ("light goldenrod yellow") where a color has
// one, and two characters per pixel for many colors; both read back as the picture.
TEST(XpmConformance, FilesNetpbmWritesLoadWithTheirPixels) {
  ASSERT_TRUE(HaveTool("ppmtoxpm") && HaveTool("convert")) << "netpbm and ImageMagick are needed";
  TTempFolder dir;
  // Names whose X11 value the engine's own table does not change.
  const std::string named =
      "convert -size 6x2 xc:white -fill AliceBlue -draw 'point 0,0' -fill wheat -draw 'point 1,0' "
      "-fill DarkSlateGray -draw 'point 2,0' -fill LightGoldenrodYellow -draw 'point 3,0' "
      "-fill 'rgb(1,2,3)' -draw 'point 4,0' -fill navy -draw 'point 0,1' -fill tomato "
      "-draw 'point 1,1' -depth 8 ";
  const std::string many = "convert -size 40x20 plasma:fractal -seed 9 -depth 8 ";
  for (const std::string& make : {named, many}) {
    const fs::path ppm = dir / "source.ppm";
    const fs::path xpm = dir / "out.xpm";
    ASSERT_TRUE(RunCommand(make + Quote(ppm), dir / "convert.log"));
    ASSERT_TRUE(RunCommand("ppmtoxpm -rgb=/usr/share/X11/rgb.txt " + Quote(ppm) + " >" + Quote(xpm),
                           dir / "ppmtoxpm.log"));
    const std::string text = ReadFileText(xpm);
    if (make == named) {
      EXPECT_NE(text.find("light goldenrod yellow"), std::string::npos) << text;
    } else {
      EXPECT_NE(text.find(" 2\""), std::string::npos) << "two characters per pixel expected";
    }
    TRgbaPixels expected;
    std::string error;
    ASSERT_TRUE(ReadNetpbm(ppm, expected, error)) << error;
    const TImageData image = LoadBytes(Xpm(), ReadFileBytes(xpm));
    const TPixelDiff diff = ComparePixels(PixelsOf(image), expected);
    EXPECT_TRUE(diff.Same()) << diff.Text() << "\n" << text.substr(0, 400);
  }
}

// ---- Colors -------------------------------------------------------------------------

TEST(XpmColors, TextsGiveTheirColors) {
  struct TCase {
    const char* Text;
    std::optional<uint32_t> Color;  // AARRGGBB
  };
  const TCase cases[] = {
      {"#abc", 0xFFAABBCC},
      {"#A0B1C2", 0xFFA0B1C2},
      {"#a00b11c22", 0xFFA0B1C2},
      {"#ffff80007fff", 0xFFFF807F},
      {"None", 0x00000000},
      {"transparent", 0x00000000},
      // The engine's own names come before X11's (gray is BEBEBE there, green 00FF00).
      {"gray", 0xFFC0C0C0},
      {"Green", 0xFF008000},
      {"dkYellow", 0xFF808000},
      {"maroon", 0xFF800000},
      // X11 names, matched ignoring case and blanks.
      {"AliceBlue", 0xFFF0F8FF},
      {"alice blue", 0xFFF0F8FF},
      {"ALICEBLUE", 0xFFF0F8FF},
      {"Light Goldenrod Yellow", 0xFFFAFAD2},
      {"gray50", 0xFF7F7F7F},
      {"grey100", 0xFFFFFFFF},
      {"DarkSlateGrey", 0xFF2F4F4F},
      // Not colors.
      {"definitely-not-an-x11-color", std::nullopt},
      {"#12345", std::nullopt},
      {"#", std::nullopt},
      {"#1234567890123", std::nullopt},
      {"#12g", std::nullopt},
      {"", std::nullopt},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Text);
    const std::optional<TPixel32> color = XpmColor(c.Text);
    ASSERT_EQ(color.has_value(), c.Color.has_value());
    if (color) {
      EXPECT_EQ(color->Color(), *c.Color);
    }
  }
}

// The lookup searches the table by halves: it must be sorted, each name once, in the form
// the lookup compares (lower case, no blanks).
TEST(XpmColors, TheX11TableIsSortedAndNormalised) {
  ASSERT_GT(kX11ColorCount, 600u);
  for (size_t i = 0; i < kX11ColorCount; ++i) {
    const std::string_view name = kX11Colors[i].Name;
    EXPECT_EQ(name.find_first_of(" \tABCDEFGHIJKLMNOPQRSTUVWXYZ"), std::string_view::npos) << name;
    if (i > 0) {
      EXPECT_LT(kX11Colors[i - 1].Name, name);
    }
    EXPECT_EQ(FindX11Color(name), kX11Colors[i].Rgb) << name;
  }
}

// ---- Reading ------------------------------------------------------------------------

TEST(XpmReader, LayoutsOfTheSourceGiveTheirPixels) {
  const TImageData image =
      LoadBytes(Xpm(), Text("/* XPM */\n"
                            "static const char * const icon[] = {\n"
                            "/* width height colors chars */ \"3 2 3 2 0 0\",\n"
                            "// a line comment \"not a string\"\n"
                            "\"aa\tm white c #ff0000\", \"b. s mask c None\",\n"
                            "\"\\\"x c light steel blue\",\n"
                            "/* pixels */\n"
                            "\"aab.\\\"x\", \"\\\"xaab. and more\"};\n"));
  ASSERT_EQ(image.Format, F::A8R8G8B8);
  EXPECT_EQ(PixelAt(image, 0, 0), TPixel32::FromColor(0xFFFF0000));  // "c" before "m"
  EXPECT_EQ(PixelAt(image, 1, 0), TPixel32::FromColor(0));
  EXPECT_EQ(PixelAt(image, 2, 0), TPixel32::FromColor(0xFFB0C4DE));  // escaped quote
  EXPECT_EQ(PixelAt(image, 0, 1), TPixel32::FromColor(0xFFB0C4DE));
  EXPECT_EQ(PixelAt(image, 2, 1), TPixel32::FromColor(0));
}

TEST(XpmReader, BrokenFilesAreRefusedWithTheirFault) {
  struct TCase {
    const char* Name;
    const char* File;
    const char* Fault;
  };
  const TCase cases[] = {
      {"values missing", "/* XPM */ {\"2 2 1\", \"a c red\"}", "Invalid XPM values"},
      {"zero width", "/* XPM */ {\"0 2 1 1\", \"a c red\"}", "Invalid XPM values"},
      {"nine characters a pixel", "/* XPM */ {\"1 1 1 9\", \"aaaaaaaaa c red\", \"aaaaaaaaa\"}",
       "Invalid XPM values"},
      {"more pixels than the file holds", "/* XPM */ {\"100 100 1 1\", \"a c red\", \"a\"}",
       "truncated"},
      {"more than the engine takes", "/* XPM */ {\"100000 100000 1 1\"}", "exceeds the limit"},
      {"color table cut short", "/* XPM */ {\"1 1 3 1\", \"a c red\", \"b c blue\"}",
       "ends after 2 of 3 colors"},
      {"color without key", "/* XPM */ {\"1 1 1 1\", \"a red\", \"a\"}", "has no key"},
      {"color with a symbol only", "/* XPM */ {\"1 1 1 1\", \"a s thing\", \"a\"}", "has no color"},
      {"unknown color name", "/* XPM */ {\"1 1 1 1\", \"a c reddish\", \"a\"}",
       "Unknown XPM color \"reddish\""},
      {"pixel without color", "/* XPM */ {\"2 1 1 1\", \"a c red\", \"ab\"}", "has no color"},
      {"short row", "/* XPM */ {\"3 1 1 1\", \"a c red\", \"aa\", \"   \"}", "too short"},
      {"row missing", "/* XPM */ {\"1 2 1 1\", \"a c red\", \"a\" /* nothing more */ } ",
       "ends after 1 of 2 pixel rows"},
      {"string not closed", "/* XPM */ {\"1 1 1 1\", \"a c red\", \"a", "not closed"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::vector<uint8_t> bytes = Text(c.File);
    const std::string message = ErrorOf<EImagingError>([&] { LoadBytes(Xpm(), bytes); });
    EXPECT_NE(message.find(c.Fault), std::string::npos) << message;
  }
}

TEST(XpmReader, ContentTestWantsTheSignatureFirst) {
  EXPECT_TRUE(ContentAccepted(Xpm(), Text("/* XPM */\nstatic")));
  EXPECT_FALSE(ContentAccepted(Xpm(), Text("/* XPM")));
  EXPECT_FALSE(ContentAccepted(Xpm(), Text("/* XPM2 */")));
  EXPECT_FALSE(ContentAccepted(Xpm(), Text("! XPM2\n")));
  EXPECT_FALSE(ContentAccepted(Xpm(), Text("static char* x = /* XPM */")));
}

}  // namespace
}  // namespace pixolan::imaging
