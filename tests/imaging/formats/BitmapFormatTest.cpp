#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "imaging/formats/BitmapFormat.h"
#include "imaging/image/Imaging.h"
#include "imaging/io/Options.h"
#include "imaging/io/Registry.h"
#include "support/Bytes.h"
#include "support/ExternalOracles.h"
#include "support/FormatBytes.h"
#include "support/TempFolder.h"
#include "support/TestImages.h"

namespace pixolan::imaging {
namespace {

using namespace test;
using F = TImageFormatId;

TBitmapFileFormat& Bmp() {
  return *FindFileFormatByClass<TBitmapFileFormat>();
}

// A bitmap file in memory: file header, a 40-byte (or other) info header, extra bytes
// (masks, color table) and pixel data. Sizes and offsets are filled in.
struct TBmpLayout {
  int32_t Width = 1;
  int32_t Height = 1;
  uint16_t BitCount = 8;
  uint32_t Compression = 0;
  uint32_t HeaderSize = 40;
  uint32_t ColorsUsed = 0;
  std::vector<uint8_t> Extra = {};       // after the info header
  std::vector<uint8_t> Pixels = {};      // at the pixel data offset
  std::vector<uint8_t> HeaderTail = {};  // fields after the first 40 bytes of the header
};

std::vector<uint8_t> MakeBmp(const TBmpLayout& layout) {
  std::vector<uint8_t> b = {'B', 'M'};
  const uint32_t offset = 14 + layout.HeaderSize + uint32_t(layout.Extra.size());
  Add32(b, offset + uint32_t(layout.Pixels.size()));
  Add32(b, 0);
  Add32(b, offset);
  Add32(b, layout.HeaderSize);
  Add32(b, uint32_t(layout.Width));
  Add32(b, uint32_t(layout.Height));
  Add16(b, 1);
  Add16(b, layout.BitCount);
  Add32(b, layout.Compression);
  Add32(b, uint32_t(layout.Pixels.size()));
  Add32(b, 2835);
  Add32(b, 2835);
  Add32(b, layout.ColorsUsed);
  Add32(b, 0);
  b.insert(b.end(), layout.HeaderTail.begin(), layout.HeaderTail.end());
  b.resize(14 + layout.HeaderSize, 0);
  b.insert(b.end(), layout.Extra.begin(), layout.Extra.end());
  b.insert(b.end(), layout.Pixels.begin(), layout.Pixels.end());
  return b;
}

std::vector<uint8_t> Palette(std::initializer_list<uint32_t> colors) {
  std::vector<uint8_t> table;
  for (uint32_t c : colors) Add32(table, c);
  return table;
}

// ---- Conformance corpus -------------------------------------------------------------

// Files the handler refuses. Each has its reason; a change to this list must be deliberate.
const std::map<std::string, std::string> kRefusedSuiteFiles = {
    {"bmp/bmpsuite/b/badbitcount.bmp", "bit count 30000"},
    {"bmp/bmpsuite/b/badheadersize.bmp", "66-byte info header"},
    {"bmp/bmpsuite/b/badwidth.bmp", "negative width"},
    {"bmp/bmpsuite/b/reallybig.bmp", "pixel data far shorter than 3000000x2000000 needs"},
    {"bmp/bmpsuite/b/shortfile.bmp", "truncated pixel data"},
    {"bmp/bmpsuite/q/pal1huffmsb.bmp", "OS/2 Huffman 1D compression"},
    {"bmp/bmpsuite/q/rgb24jpeg.bmp", "embedded JPEG"},
    {"bmp/bmpsuite/q/rgb24png.bmp", "embedded PNG"},
    {"bmp/bmpsuite/q/rgba64.bmp", "64-bit pixels"},
    {"bmp/bmpsuite/x/ba-bm.bmp", "OS/2 bitmap array, not a bitmap (\"BA\" signature)"},
};

TEST(BmpConformance, EverySuiteFileLoadsOrIsRefusedWithAnError) {
  ExpectCorpusLoadsOrIsRefused(Bmp(), "bmp/bmpsuite", ".bmp", 91, kRefusedSuiteFiles);
}

// Bitmap and the suite's rendering of how it should look.
const std::vector<std::pair<std::string, std::string>> kReferencePairs = {
    {"g/pal1.bmp", "pal1.png"},
    {"g/pal1bg.bmp", "pal1bg.png"},
    {"g/pal1wb.bmp", "pal1.png"},
    {"g/pal4.bmp", "pal4.png"},
    {"g/pal4gs.bmp", "pal4gs.png"},
    {"g/pal4rle.bmp", "pal4.png"},
    {"g/pal8-0.bmp", "pal8.png"},
    {"g/pal8.bmp", "pal8.png"},
    {"g/pal8gs.bmp", "pal8gs.png"},
    {"g/pal8nonsquare.bmp", "pal8nonsquare-e.png"},
    {"g/pal8os2.bmp", "pal8.png"},
    {"g/pal8rle.bmp", "pal8.png"},
    {"g/pal8topdown.bmp", "pal8.png"},
    {"g/pal8v4.bmp", "pal8.png"},
    {"g/pal8v5.bmp", "pal8.png"},
    {"g/pal8w124.bmp", "pal8w124.png"},
    {"g/pal8w125.bmp", "pal8w125.png"},
    {"g/pal8w126.bmp", "pal8w126.png"},
    {"g/rgb16-565.bmp", "rgb16-565.png"},
    {"g/rgb16-565pal.bmp", "rgb16-565.png"},
    {"g/rgb16.bmp", "rgb16.png"},
    {"g/rgb16bfdef.bmp", "rgb16.png"},
    {"g/rgb24.bmp", "rgb24.png"},
    {"g/rgb24pal.bmp", "rgb24.png"},
    {"g/rgb32.bmp", "rgb24.png"},
    {"g/rgb32bf.bmp", "rgb24.png"},
    {"g/rgb32bfdef.bmp", "rgb24.png"},
    {"q/pal1p1.bmp", "pal1p1.png"},
    {"q/pal2.bmp", "pal2.png"},
    {"q/pal2color.bmp", "pal2color.png"},
    {"q/pal4rlecut.bmp", "pal4rlecut-0.png"},
    {"q/pal4rletrns.bmp", "pal4rletrns-0.png"},
    {"q/pal8offs.bmp", "pal8.png"},
    {"q/pal8os2-hs.bmp", "pal8.png"},
    {"q/pal8os2-sz.bmp", "pal8.png"},
    {"q/pal8os2sp.bmp", "pal8.png"},
    {"q/pal8os2v2-16.bmp", "pal8.png"},
    {"q/pal8os2v2-40sz.bmp", "pal8.png"},
    {"q/pal8os2v2-sz.bmp", "pal8.png"},
    {"q/pal8os2v2.bmp", "pal8.png"},
    {"q/pal8oversizepal.bmp", "pal8.png"},
    {"q/pal8rlecut.bmp", "pal8rlecut-0.png"},
    {"q/pal8rletrns.bmp", "pal8rletrns-0.png"},
    {"q/rgb16-231.bmp", "rgb16-231.png"},
    {"q/rgb16-3103.bmp", "rgb16-3103.png"},
    // The suite's renderings for a reader that takes a set spare bit or byte as alpha, as
    // this one does when the header has no alpha mask.
    {"q/rgb16faketrns.bmp", "rgb16faketrns.png"},
    {"q/rgb32fakealpha.bmp", "fakealpha.png"},
    {"q/rgb24largepal.bmp", "rgb24.png"},
    {"q/rgb24lprof.bmp", "rgb24.png"},
    {"q/rgb24prof.bmp", "rgb24.png"},
    {"q/rgb24prof2.bmp", "rgb24.png"},
    {"q/rgb24rle24.bmp", "pal8.png"},
    {"q/rgb32-111110.bmp", "rgb24.png"},
    {"q/rgb32-7187.bmp", "rgb32-7187.png"},
    {"q/rgb32-xbgr.bmp", "rgb24.png"},
    {"q/rgb32h52.bmp", "rgb24.png"},
    {"q/rgba16-1924.bmp", "rgba16-1924.png"},
    {"q/rgba16-4444.bmp", "rgba16-4444.png"},
    {"q/rgba16-5551.bmp", "rgba16-5551.png"},
    {"q/rgba32-1.bmp", "rgba32.png"},
    {"q/rgba32-1010102.bmp", "rgba32-1010102.png"},
    {"q/rgba32-2.bmp", "rgba32.png"},
    {"q/rgba32-61754.bmp", "rgba32-61754.png"},
    {"q/rgba32-81284.bmp", "rgba32-81284.png"},
    {"q/rgba32abf.bmp", "rgba32.png"},
    {"q/rgba32h56.bmp", "rgba32.png"},
    {"b/rgb16-880.bmp", "rgb16-880.png"},
};

// Why a loaded bitmap may differ from its reference rendering.
enum class TDifference {
  // Exact 16-bit layouts load as the engine's packed formats, whose conversion scales a
  // channel as v * 255 / max truncated; the reference rounds. Ours is one lower at most.
  EngineTruncatesPackedChannels,
  // The reference of these bit-field files scales by truncation, while the decoder of
  // unusual masks rounds (as the references of the 16-bit and 10-bit files do).
  ReferenceTruncates,
  // 11-bit channels cannot hold every 8-bit value of the source picture the reference
  // shows; one step either way.
  ElevenBitChannelsMissTheSource,
  // The embedded color profile swaps red and green back; profiles are not applied.
  ColorProfileIgnored,
};

const std::map<std::string, TDifference> kExpectedDifferences = {
    {"g/rgb16-565.bmp", TDifference::EngineTruncatesPackedChannels},
    {"g/rgb16-565pal.bmp", TDifference::EngineTruncatesPackedChannels},
    {"g/rgb16.bmp", TDifference::EngineTruncatesPackedChannels},
    {"g/rgb16bfdef.bmp", TDifference::EngineTruncatesPackedChannels},
    {"q/rgb16faketrns.bmp", TDifference::EngineTruncatesPackedChannels},
    {"q/rgba16-5551.bmp", TDifference::EngineTruncatesPackedChannels},
    {"q/rgb32-7187.bmp", TDifference::ReferenceTruncates},
    {"q/rgba32-61754.bmp", TDifference::ReferenceTruncates},
    {"q/rgba32-81284.bmp", TDifference::ReferenceTruncates},
    {"q/rgb32-111110.bmp", TDifference::ElevenBitChannelsMissTheSource},
    {"q/rgb24prof2.bmp", TDifference::ColorProfileIgnored},
};

// Whether every pixel's difference follows the rule (alpha always equal).
bool FollowsRule(TDifference rule, const TRgbaPixels& ours, const TRgbaPixels& ref,
                 std::string& why) {
  for (size_t i = 0; i < ours.Pixels.size(); ++i) {
    const TPixel32 o = ours.Pixels[i], r = ref.Pixels[i];
    std::ostringstream at;
    at << "pixel " << i << ": ours " << int(o.R) << "," << int(o.G) << "," << int(o.B) << ","
       << int(o.A) << " reference " << int(r.R) << "," << int(r.G) << "," << int(r.B) << ","
       << int(r.A);
    if (o.A != r.A) {
      why = "alpha differs at " + at.str();
      return false;
    }
    if (o.A == 0) continue;
    for (int c = 0; c < 3; ++c) {
      const int d = int(o[c]) - int(r[c]);
      bool ok = false;
      switch (rule) {
        case TDifference::EngineTruncatesPackedChannels:
          ok = d == 0 || d == -1;
          break;
        case TDifference::ReferenceTruncates:
          ok = d == 0 || d == 1;
          break;
        case TDifference::ElevenBitChannelsMissTheSource:
          ok = d >= -1 && d <= 1;
          break;
        case TDifference::ColorProfileIgnored:
          ok = o[c] == r[c == 0 ? 0 : 3 - c];  // blue stays, red and green swapped
          break;
      }
      if (!ok) {
        why = at.str();
        return false;
      }
    }
  }
  return true;
}

TEST(BmpConformance, PixelsMatchTheSuiteReferences) {
  ASSERT_TRUE(HaveTool("convert")) << "ImageMagick's convert is needed as reference reader";
  TTempFolder dir;
  const fs::path suite = TestDataDir() / "bmp/bmpsuite";
  std::set<std::string> differing;
  for (const auto& [bmp, reference] : kReferencePairs) {
    TDynImageDataArray images;
    ASSERT_TRUE(Bmp().LoadFile((suite / bmp).string(), images, true)) << bmp;
    TRgbaPixels expected;
    std::string error;
    ASSERT_TRUE(ReadWithImageMagick(suite / "reference" / reference, dir.Path(), expected, error))
        << error;
    const TRgbaPixels ours = PixelsOf(images[0]);
    const TPixelDiff diff = ComparePixels(ours, expected);
    if (diff.Same()) continue;
    differing.insert(bmp);
    const auto rule = kExpectedDifferences.find(bmp);
    if (rule == kExpectedDifferences.end()) {
      ADD_FAILURE() << bmp << " differs from " << reference << ": " << diff.Text();
      continue;
    }
    std::string why;
    ASSERT_FALSE(diff.SizeDiffers) << bmp;
    EXPECT_TRUE(FollowsRule(rule->second, ours, expected, why))
        << bmp << " differs beyond its explanation: " << why;
  }
  for (const auto& [bmp, rule] : kExpectedDifferences)
    EXPECT_TRUE(differing.count(bmp)) << bmp << " no longer differs; drop it from the list";
}

// ---- Reading ------------------------------------------------------------------------

TEST(BmpReader, ThirtyTwoBitsWithZeroFourthBytesAreOpaque) {
  const std::vector<uint8_t> pixels = {10, 20, 30, 0, 40, 50, 60, 0};
  TImageData image = LoadBytes(Bmp(), MakeBmp({.Width = 2, .BitCount = 32, .Pixels = pixels}));
  EXPECT_EQ(image.Format, F::X8R8G8B8);
  ASSERT_TRUE(ImageConvert(image, F::A8R8G8B8));
  EXPECT_EQ(BytesOf(image), (std::vector<uint8_t>{10, 20, 30, 255, 40, 50, 60, 255}));
}

TEST(BmpReader, SpareBitsBecomeAlphaOnlyWhenSomePixelSetsThem) {
  struct TCase {
    const char* Name;
    uint16_t BitCount;
    std::vector<uint8_t> Pixels;
    F Expected;
  };
  const TCase cases[] = {
      {"32 bits, one fourth byte set", 32, {10, 20, 30, 0, 40, 50, 60, 7}, F::A8R8G8B8},
      {"16 bits, no top bit", 16, {0x1F, 0x7C, 0xE0, 0x03, 0, 0}, F::X1R5G5B5},
      {"16 bits, one top bit", 16, {0x1F, 0x7C, 0xE0, 0x83, 0, 0}, F::A1R5G5B5},
  };
  for (const TCase& c : cases) {
    std::vector<uint8_t> pixels = c.Pixels;
    pixels.resize(8, 0);  // rows are padded to 4 bytes
    TImageData image =
        LoadBytes(Bmp(), MakeBmp({.Width = 2, .BitCount = c.BitCount, .Pixels = pixels}));
    EXPECT_EQ(image.Format, c.Expected) << c.Name;
    EXPECT_EQ(std::vector<uint8_t>(pixels.begin(), pixels.begin() + image.Size), BytesOf(image))
        << c.Name;
  }
}

TEST(BmpReader, OneBitGivesIndex8WithTwoFileColorsAndOpaqueBlackRest) {
  // 10 pixels, most significant bit first: 1011001110 -> bytes 0xB3, 0x80, padded to 4.
  TImageData image = LoadBytes(Bmp(), MakeBmp({.Width = 10,
                                               .BitCount = 1,
                                               .Extra = Palette({0x00112233, 0x00AABBCC}),
                                               .Pixels = {0xB3, 0x80, 0, 0}}));
  ASSERT_EQ(image.Format, F::Index8);
  EXPECT_EQ(BytesOf(image), (std::vector<uint8_t>{1, 0, 1, 1, 0, 0, 1, 1, 1, 0}));
  EXPECT_EQ(image.palette()[0], (TPixel32{0x33, 0x22, 0x11, 255}));
  EXPECT_EQ(image.palette()[1], (TPixel32{0xCC, 0xBB, 0xAA, 255}));
  for (int i = 2; i < 256; ++i) EXPECT_EQ(image.palette()[i], (TPixel32{0, 0, 0, 255})) << i;
}

TEST(BmpReader, RowOrderFollowsTheSignOfTheHeight) {
  const std::vector<uint8_t> rows = {1, 2, 0, 0, 3, 4, 0, 0};  // two rows of two indices
  const std::vector<uint8_t> table = Palette({0, 0x0000FF});
  EXPECT_EQ(
      BytesOf(LoadBytes(Bmp(), MakeBmp({.Width = 2, .Height = 2, .Extra = table, .Pixels = rows}))),
      (std::vector<uint8_t>{3, 4, 1, 2}));
  EXPECT_EQ(BytesOf(LoadBytes(Bmp(),
                              MakeBmp({.Width = 2, .Height = -2, .Extra = table, .Pixels = rows}))),
            (std::vector<uint8_t>{1, 2, 3, 4}));
}

// Run-length streams: escapes, deltas, and runs or literal blocks that reach past the row.
TEST(BmpReader, RunLengthStreamsAreDecodedAndClippedToTheRows) {
  struct TCase {
    const char* Name;
    uint16_t BitCount;
    uint32_t Compression;
    int32_t Width, Height;
    std::vector<uint8_t> Data;
    std::vector<uint8_t> Expected;  // image rows, top first
  };
  const TCase cases[] = {
      {"RLE8: run, end of line, literal, run past the row end, delta, end of bitmap",
       8,
       1,
       4,
       3,
       {3, 5, 0, 0, 0, 3, 7, 8, 9, 0, 5, 4, 0, 0, 0, 2, 1, 0, 1, 6, 0, 1},
       {0, 6, 0, 0, 7, 8, 9, 4, 5, 5, 5, 0}},
      {"RLE4: alternating run, literal past the row end",
       4,
       2,
       4,
       2,
       {3, 0x12, 0, 0, 0, 5, 0xAB, 0xCD, 0xE0, 0, 0, 1},
       {10, 11, 12, 13, 1, 2, 1, 0}},
      {"RLE8: delta past the last row ends the bitmap",
       8,
       1,
       2,
       2,
       {2, 9, 0, 2, 0, 5},
       {0, 0, 9, 9}},
      {"RLE8 top-down", 8, 1, 2, -2, {2, 9, 0, 0, 1, 3, 0, 1}, {9, 9, 3, 0}},
  };
  for (const TCase& c : cases) {
    TImageData image = LoadBytes(Bmp(), MakeBmp({.Width = c.Width,
                                                 .Height = c.Height,
                                                 .BitCount = c.BitCount,
                                                 .Compression = c.Compression,
                                                 .Extra = Palette({0, 0xFFFFFF}),
                                                 .Pixels = c.Data}));
    EXPECT_EQ(BytesOf(image), c.Expected) << c.Name;
  }
}

TEST(BmpReader, OS2RunLength24IsDecoded) {
  // Run of two, literal of three (nine bytes and a pad byte), end of bitmap.
  const std::vector<uint8_t> data = {2, 1, 2, 3, 0, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0, 0, 1};
  TImageData image = LoadBytes(
      Bmp(),
      MakeBmp({.Width = 5, .BitCount = 24, .Compression = 4, .HeaderSize = 64, .Pixels = data}));
  EXPECT_EQ(image.Format, F::R8G8B8);
  EXPECT_EQ(BytesOf(image), (std::vector<uint8_t>{1, 2, 3, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
}

TEST(BmpReader, BitFieldsMapToTheNearestFormat) {
  struct TCase {
    const char* Name;
    uint16_t BitCount;
    uint32_t Compression;
    std::vector<uint32_t> Masks;
    std::vector<uint8_t> Pixel;  // one pixel, padded to 4 bytes
    F Format;
    std::vector<uint8_t> Bytes;  // the loaded pixel
  };
  const TCase cases[] = {
      {"5-6-5", 16, 3, {0xF800, 0x07E0, 0x001F}, {0x34, 0x12, 0, 0}, F::R5G6B5, {0x34, 0x12}},
      {"4-4-4-4",
       16,
       6,
       {0x0F00, 0x00F0, 0x000F, 0xF000},
       {0x34, 0x12, 0, 0},
       F::A4R4G4B4,
       {0x34, 0x12}},
      {"5-5-5 spelled out, spare bit ignored",
       16,
       3,
       {0x7C00, 0x03E0, 0x001F},
       {0x34, 0x92, 0, 0},
       F::X1R5G5B5,
       {0x34, 0x92}},
      {"8-8-8 without alpha mask, spare byte cleared",
       32,
       3,
       {0xFF0000, 0xFF00, 0xFF},
       {1, 2, 3, 4},
       F::X8R8G8B8,
       {1, 2, 3, 0}},
      {"8-8-8-8 with alpha mask of zeros stays transparent",
       32,
       6,
       {0xFF0000, 0xFF00, 0xFF, 0xFF000000},
       {1, 2, 3, 0},
       F::A8R8G8B8,
       {1, 2, 3, 0}},
      // R 1023 -> 255, G 512 -> 128, B 1 -> 0, A 2 of 3 -> 170: scaled with rounding.
      {"10-10-10-2",
       32,
       6,
       {0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000},
       {0x01, 0x00, 0xF8, 0xBF},
       F::A8R8G8B8,
       {0, 128, 255, 170}},
      // 2-3-1 bits: R 2 of 3 -> 170, G 5 of 7 -> 182, B 1 -> 255.
      {"2-3-1 without alpha",
       16,
       3,
       {0x30, 0x0E, 0x01},
       {0x2B, 0, 0, 0},
       F::R8G8B8,
       {255, 182, 170}},
      {"channels in the high bits",
       32,
       3,
       {0xFF000000, 0x00FF0000, 0x0000FF00},
       {0, 30, 20, 10},
       F::X8R8G8B8,
       {30, 20, 10, 0}},
  };
  for (const TCase& c : cases) {
    std::vector<uint8_t> masks;
    for (uint32_t m : c.Masks) Add32(masks, m);
    TImageData image = LoadBytes(Bmp(), MakeBmp({.BitCount = c.BitCount,
                                                 .Compression = c.Compression,
                                                 .Extra = masks,
                                                 .Pixels = c.Pixel}));
    EXPECT_EQ(image.Format, c.Format) << c.Name;
    EXPECT_EQ(BytesOf(image), c.Bytes) << c.Name;
  }
}

TEST(BmpReader, MasksInsideLongerHeadersAreUsed) {
  // A 56-byte header holds all four masks.
  std::vector<uint8_t> tail;
  for (uint32_t m : {0x0F00u, 0x00F0u, 0x000Fu, 0xF000u}) Add32(tail, m);
  TImageData image = LoadBytes(Bmp(), MakeBmp({.BitCount = 16,
                                               .Compression = 3,
                                               .HeaderSize = 56,
                                               .Pixels = {0x34, 0x12, 0, 0},
                                               .HeaderTail = tail}));
  EXPECT_EQ(image.Format, F::A4R4G4B4);
}

TEST(BmpReader, BadHeadersAndDataAreRefusedWithAReason) {
  struct TCase {
    const char* Name;
    TBmpLayout Layout;
    size_t CutTo = 0;  // when non-zero, the file is cut to this many bytes
    const char* Reason;
  };
  std::vector<uint8_t> oddMasks;
  for (uint32_t m : {0xF00Fu, 0x00F0u, 0x0F00u}) Add32(oddMasks, m);
  const TCase cases[] = {
      {"66-byte header", {.HeaderSize = 66, .Pixels = {0, 0, 0, 0}}, 0, "no known bitmap version"},
      {"zero width", {.Width = 0, .Pixels = {0, 0, 0, 0}}, 0, "Invalid bitmap width 0"},
      {"negative width", {.Width = -3, .Pixels = {0, 0, 0, 0}}, 0, "Invalid bitmap width -3"},
      {"zero height", {.Height = 0, .Pixels = {0, 0, 0, 0}}, 0, "Invalid bitmap height 0"},
      {"3 bits", {.BitCount = 3, .Pixels = {0, 0, 0, 0}}, 0, "Invalid bitmap bit count 3"},
      {"64 bits", {.BitCount = 64, .Pixels = std::vector<uint8_t>(8)}, 0, "64-bit"},
      {"embedded JPEG", {.BitCount = 0, .Compression = 4, .HeaderSize = 124}, 0, "embedded JPEG"},
      {"embedded PNG, bit count 0", {.BitCount = 0, .Compression = 5}, 0, "embedded PNG"},
      {"bit count 0", {.BitCount = 0, .Pixels = {0, 0, 0, 0}}, 0, "bit count 0"},
      {"embedded JPEG, 24 bits",
       {.BitCount = 24, .Compression = 4, .Pixels = {0, 0, 0, 0}},
       0,
       "embedded JPEG"},
      {"embedded PNG",
       {.BitCount = 24, .Compression = 5, .Pixels = {0, 0, 0, 0}},
       0,
       "embedded PNG"},
      {"OS/2 Huffman", {.BitCount = 1, .Compression = 3, .HeaderSize = 64}, 0, "Huffman"},
      {"RLE8 with 4 bits", {.BitCount = 4, .Compression = 1, .Pixels = {0, 1}}, 0, "RLE8"},
      {"bit fields with 8 bits",
       {.BitCount = 8, .Compression = 3, .Pixels = {0, 0, 0, 0}},
       0,
       "Bit field compression needs"},
      {"mask with a gap",
       {.BitCount = 16, .Compression = 3, .Extra = oddMasks, .Pixels = {0, 0, 0, 0}},
       0,
       "not contiguous"},
      {"no color table", {.BitCount = 8, .Pixels = {0, 0, 0, 0}}, 0, "no color table"},
      {"truncated rows",
       {.Width = 4, .Height = 2, .BitCount = 24, .Pixels = std::vector<uint8_t>(20)},
       0,
       "truncated"},
      {"run-length data ends early",
       {.Width = 2, .Height = 2, .Compression = 1, .Extra = Palette({0}), .Pixels = {2, 1, 0, 0}},
       0,
       "ends before the end"},
      {"file cut inside the header", {.Pixels = {0, 0, 0, 0}}, 30, "info header"},
  };
  for (const TCase& c : cases) {
    std::vector<uint8_t> bytes = MakeBmp(c.Layout);
    if (c.CutTo) bytes.resize(c.CutTo);
    try {
      LoadBytes(Bmp(), bytes);
      ADD_FAILURE() << c.Name << " was loaded";
    } catch (const EImagingError& e) {
      EXPECT_NE(std::string(e.what()).find(c.Reason), std::string::npos)
          << c.Name << ": " << e.what();
    }
  }
}

TEST(BmpReader, PixelDataOffsetIsHonouredAndChecked) {
  std::vector<uint8_t> table = Palette({0, 0xFFFFFF});
  // Two unused bytes between the color table and the pixels.
  std::vector<uint8_t> extra = table;
  extra.insert(extra.end(), {0xEE, 0xEE});
  std::vector<uint8_t> bytes = MakeBmp({.Width = 2, .Extra = extra, .Pixels = {1, 0, 0, 0}});
  EXPECT_EQ(BytesOf(LoadBytes(Bmp(), bytes)), (std::vector<uint8_t>{1, 0}));
  // An offset into the header or past the end is refused.
  for (uint32_t offset : {20u, 4000u}) {
    bytes[10] = uint8_t(offset), bytes[11] = uint8_t(offset >> 8);
    EXPECT_THROW(LoadBytes(Bmp(), bytes), EImagingError) << offset;
  }
}

// ---- Writing ------------------------------------------------------------------------

TEST(BmpWriter, A8R8G8B8GivesAPlain32BitFile) {
  const TImageData image = MakeImage(3, 2, F::A8R8G8B8, RandomBytes(24, 7));
  const std::vector<uint8_t> file = SaveBytes(Bmp(), image, {{kOptionBitmapRLE, true}});
  ASSERT_EQ(file.size(), 54u + 4 * 3 * 2);
  EXPECT_EQ(file[0], 'B');
  EXPECT_EQ(file[1], 'M');
  EXPECT_EQ(Le32(file, 2), file.size());
  EXPECT_EQ(Le32(file, 6), 0u);
  EXPECT_EQ(Le32(file, 10), 54u);
  EXPECT_EQ(Le32(file, 14), 40u);
  EXPECT_EQ(Le32(file, 18), 3u);
  EXPECT_EQ(Le32(file, 22), 2u);
  EXPECT_EQ(Le16(file, 26), 1u);
  EXPECT_EQ(Le16(file, 28), 32u);
  EXPECT_EQ(Le32(file, 30), 0u);
  EXPECT_EQ(Le32(file, 34), 24u);
  EXPECT_EQ(Le32(file, 38), 2835u);
  EXPECT_EQ(Le32(file, 42), 2835u);
  EXPECT_EQ(Le32(file, 46), 0u);
  EXPECT_EQ(Le32(file, 50), 0u);
  // Bottom row first, alpha as the fourth byte.
  const std::vector<uint8_t> bytes = BytesOf(image);
  EXPECT_EQ(std::vector<uint8_t>(file.begin() + 54, file.begin() + 66),
            std::vector<uint8_t>(bytes.begin() + 12, bytes.end()));
  EXPECT_EQ(std::vector<uint8_t>(file.begin() + 66, file.end()),
            std::vector<uint8_t>(bytes.begin(), bytes.begin() + 12));
}

TEST(BmpWriter, HeaderCompressionMasksAndOffsetsPerFormat) {
  struct TCase {
    F Format;
    bool Rle;
    uint32_t HeaderSize, BitCount, Compression, PixelOffset;
    std::vector<uint32_t> Masks;  // red, green, blue (and alpha) where written
  };
  const TCase cases[] = {
      {F::Index8, false, 40, 8, 0, 54 + 1024, {}},
      {F::Index8, true, 40, 8, 1, 54 + 1024, {}},
      {F::R5G6B5, true, 40, 16, 3, 66, {0xF800, 0x07E0, 0x001F}},
      {F::X4R4G4B4, true, 40, 16, 3, 66, {0x0F00, 0x00F0, 0x000F}},
      {F::X1R5G5B5, true, 40, 16, 0, 54, {}},
      {F::A1R5G5B5, true, 108, 16, 3, 122, {0x7C00, 0x03E0, 0x001F, 0x8000}},
      {F::A4R4G4B4, true, 108, 16, 3, 122, {0x0F00, 0x00F0, 0x000F, 0xF000}},
      {F::R8G8B8, true, 40, 24, 0, 54, {}},
      {F::X8R8G8B8, true, 40, 32, 0, 54, {}},
  };
  for (const TCase& c : cases) {
    const TImageFormatId f = c.Format;
    TImageData image;
    ASSERT_TRUE(ImageCreate(5, 3, f, image));
    const std::vector<uint8_t> file = SaveBytes(Bmp(), image, {{kOptionBitmapRLE, c.Rle}});
    const std::string name = FormatName(f) + (c.Rle ? " RLE" : "");
    EXPECT_EQ(Le32(file, 14), c.HeaderSize) << name;
    EXPECT_EQ(Le16(file, 28), c.BitCount) << name;
    EXPECT_EQ(Le32(file, 30), c.Compression) << name;
    EXPECT_EQ(Le32(file, 10), c.PixelOffset) << name;
    EXPECT_EQ(Le32(file, 2), file.size()) << name;
    EXPECT_EQ(Le32(file, 34), file.size() - c.PixelOffset) << name;
    // Masks follow a 40-byte header and sit at the same place inside a 108-byte one.
    for (size_t i = 0; i < c.Masks.size(); ++i)
      EXPECT_EQ(Le32(file, 54 + 4 * i), c.Masks[i]) << name << " mask " << i;
    if (!c.Rle || c.BitCount != 8) {
      const size_t rowBytes = (5 * c.BitCount / 8 + 3) / 4 * 4;
      EXPECT_EQ(file.size(), c.PixelOffset + rowBytes * 3) << name;
    }
  }
}

TEST(BmpWriter, PaletteEntriesAreWrittenAsBlueGreenRedAlpha) {
  TImageData image;
  ASSERT_TRUE(ImageCreate(2, 1, F::Index8, image));
  for (int i = 0; i < 256; ++i)
    image.palette()[i] = {uint8_t(i), uint8_t(i + 1), uint8_t(i + 2), 77};
  const std::vector<uint8_t> file = SaveBytes(Bmp(), image, {{kOptionBitmapRLE, false}});
  for (int i : {0, 1, 128, 255}) {
    const size_t at = 54 + 4 * size_t(i);
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + at, file.begin() + at + 4),
              (std::vector<uint8_t>{uint8_t(i), uint8_t(i + 1), uint8_t(i + 2), 77}));
  }
}

TEST(BmpWriter, SpareBitsAreWrittenAsZero) {
  // Set, they would be read back as alpha.
  const TImageData x8 = MakeImage(1, 1, F::X8R8G8B8, {1, 2, 3, 99});
  EXPECT_EQ(SaveBytes(Bmp(), x8, {{kOptionBitmapRLE, false}})[54 + 3], 0);
  const TImageData x1 = MakeImage(1, 1, F::X1R5G5B5, {0xFF, 0xFF});
  EXPECT_EQ(SaveBytes(Bmp(), x1, {{kOptionBitmapRLE, false}})[54 + 1], 0x7F);
}

// RLE8 as the encoder defines it: runs of equal bytes, literal blocks of three or more
// bytes up to the next pair of equal bytes (padded to even length), pairs otherwise.
TEST(BmpWriter, RunLengthEncodingIsExact) {
  struct TCase {
    const char* Name;
    std::vector<uint8_t> Row;
    std::vector<uint8_t> Encoded;  // without the end-of-line escape
  };
  std::vector<uint8_t> longRun(300, 9);
  const TCase cases[] = {
      {"run, odd literal, run, single",
       {1, 1, 1, 2, 3, 4, 5, 5, 6},
       {3, 1, 0, 3, 2, 3, 4, 0, 2, 5, 1, 6}},
      {"even literal", {7, 8, 7, 8}, {0, 4, 7, 8, 7, 8}},
      {"two singles are pairs", {1, 2, 3, 3}, {1, 1, 1, 2, 2, 3}},
      {"runs longer than 255", longRun, {255, 9, 45, 9}},
      {"one pixel", {4}, {1, 4}},
  };
  for (const TCase& c : cases) {
    const int32_t width = int32_t(c.Row.size());
    // Two rows: the case's row at the bottom, a run of 0 above it.
    std::vector<uint8_t> pixels(size_t(width), 0);
    pixels.insert(pixels.end(), c.Row.begin(), c.Row.end());
    const TImageData image = MakeImage(width, 2, F::Index8, pixels);
    const std::vector<uint8_t> file = SaveBytes(Bmp(), image, {{kOptionBitmapRLE, true}});
    std::vector<uint8_t> expected = c.Encoded;
    expected.insert(expected.end(), {0, 0});
    for (int32_t left = width; left > 0; left -= 255)
      expected.insert(expected.end(), {uint8_t(std::min(left, 255)), 0});
    expected.insert(expected.end(), {0, 0, 0, 1});
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + 1078, file.end()), expected) << c.Name;
    EXPECT_EQ(Le32(file, 30), 1u);
  }
}

TEST(BmpWriter, ConvertsOtherFormatsAsTheRulesSay) {
  struct TCase {
    F Source;
    F Loaded;  // format of the written file, read back
  };
  const TCase cases[] = {
      {F::Gray8, F::Index8},           {F::Gray16, F::Index8},          {F::A8Gray8, F::A8R8G8B8},
      {F::R3G3B2, F::X1R5G5B5},        {F::X5R1G1B1, F::X1R5G5B5},      {F::R16G16B16, F::R8G8B8},
      {F::A16R16G16B16, F::A8R8G8B8},  {F::B16G16R16, F::R8G8B8},       {F::R32F, F::R8G8B8},
      {F::A32R32G32B32F, F::A8R8G8B8}, {F::A16B16G16R16F, F::A8R8G8B8}, {F::DXT1, F::A8R8G8B8},
  };
  for (const TCase& c : cases) {
    TImageData image;
    ASSERT_TRUE(ImageCreate(4, 4, c.Source, image));
    // Alpha must be non-zero somewhere, or a 32-bit file reads back as X8R8G8B8.
    if (!GetFormatDescriptor(c.Source)->IsCompressed)
      for (int32_t i = 0; i < image.Size; ++i) image.bits()[i] = uint8_t(i * 37 + 11);
    const TImageData loaded =
        LoadBytes(Bmp(), SaveBytes(Bmp(), image, {{kOptionBitmapRLE, false}}));
    EXPECT_EQ(loaded.Format, c.Loaded) << FormatName(c.Source);
    const TRgbaPixels expected = PixelsOf(image), actual = PixelsOf(loaded);
    EXPECT_TRUE(ComparePixels(actual, expected).MaxColorDelta <= 8) << FormatName(c.Source);
  }
}

// Random images of every writable format, with and without RLE and at odd widths.

std::vector<TWriterCase> WriterCases() {
  std::vector<TWriterCase> cases;
  for (F f : {F::Index8, F::R5G6B5, F::A1R5G5B5, F::A4R4G4B4, F::X1R5G5B5, F::X4R4G4B4, F::R8G8B8,
              F::A8R8G8B8, F::X8R8G8B8})
    for (bool rle : {false, true})
      for (int32_t width : {1, 3, 6, 13})
        if (rle == false || f == F::Index8) cases.push_back({f, rle, width});
  return cases;
}

TImageData WriterImage(const TWriterCase& c) {
  TImageData image =
      ImageWithRuns(c.Width, 5, c.Format, uint32_t(c.Width * 131 + int(c.Format)), 5);
  FillRandomOpaquePalette(image, 5);
  return image;
}

TEST(BmpWriter, IndependentReadersSeeTheSamePixels) {
  ASSERT_TRUE(HaveTool("convert")) << "ImageMagick's convert is needed";
  ASSERT_TRUE(HaveTool("bmptoppm")) << "netpbm's bmptoppm is needed";
  TTempFolder dir;
  for (const TWriterCase& c : WriterCases()) {
    const TImageData image = WriterImage(c);
    const fs::path file = dir / "out.bmp";
    EngineSetOption(kOptionBitmapRLE, c.Rle);
    ASSERT_TRUE(Bmp().SaveFile(file.string(), TImageSpan(&image, 1), true)) << CaseName(c);
    EngineSetOption(kOptionBitmapRLE, 1);
    std::string error, why;
    TRgbaPixels magick, netpbm;
    ASSERT_TRUE(ReadWithImageMagick(file, dir.Path(), magick, error)) << CaseName(c) << error;
    EXPECT_TRUE(SameAtPrecision(image, magick, true, why))
        << CaseName(c) << " ImageMagick: " << why;
    const fs::path ppm = dir / "out.ppm";
    ASSERT_TRUE(RunCommand("bmptoppm " + Quote(file) + " >" + Quote(ppm), dir / "bmptoppm.log"))
        << CaseName(c);
    ASSERT_TRUE(ReadNetpbm(ppm, netpbm, error)) << error;
    // bmptoppm takes masks only from longer headers; after a 40-byte header it assumes
    // 5-5-5 (the suite's g/rgb16-565.bmp, laid out the same way, fares no better).
    if (c.Format == F::R5G6B5 || c.Format == F::X4R4G4B4) continue;
    EXPECT_TRUE(SameAtPrecision(image, netpbm, false, why)) << CaseName(c) << " netpbm: " << why;
  }
}

TEST(BmpWriter, OwnReaderGetsBackFormatAndPixels) {
  for (const TWriterCase& c : WriterCases()) {
    const TImageData image = WriterImage(c);
    const TImageData loaded =
        LoadBytes(Bmp(), SaveBytes(Bmp(), image, {{kOptionBitmapRLE, c.Rle}}));
    ASSERT_EQ(loaded.Format, image.Format) << CaseName(c);
    std::vector<uint8_t> expected = BytesOf(image);
    // Spare bits are written as zero.
    if (image.Format == F::X8R8G8B8)
      for (size_t i = 3; i < expected.size(); i += 4) expected[i] = 0;
    if (image.Format == F::X1R5G5B5)
      for (size_t i = 1; i < expected.size(); i += 2) expected[i] &= 0x7F;
    EXPECT_EQ(BytesOf(loaded), expected) << CaseName(c);
    if (image.palette()) {
      for (int i = 0; i < 256; ++i) EXPECT_EQ(loaded.palette()[i], image.palette()[i]) << i;
    }
  }
}

TEST(BmpHandler, DescribesItselfAndBindsUseRLE) {
  TBitmapFileFormat& bmp = Bmp();
  EXPECT_EQ(bmp.Name, "Windows Bitmap Image");
  EXPECT_EQ(bmp.Extensions, (std::vector<std::string>{"bmp", "dib"}));
  EXPECT_TRUE(bmp.CanRead && bmp.CanWrite && !bmp.MultiImage);
  EXPECT_EQ(FindFileFormatByExt("dib"), &bmp);
  std::vector<F> writable;
  for (F f : AllFormats())
    if (bmp.WritableFormats().test(size_t(f))) writable.push_back(f);
  EXPECT_EQ(writable, (std::vector<F>{F::Index8, F::R5G6B5, F::A1R5G5B5, F::A4R4G4B4, F::X1R5G5B5,
                                      F::X4R4G4B4, F::R8G8B8, F::A8R8G8B8, F::X8R8G8B8}));
  EXPECT_EQ(EngineGetOption(kOptionBitmapRLE), 1);
  const std::vector<uint8_t> header = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  for (size_t size : {13u, 14u}) {
    std::vector<uint8_t> bytes = header;
    bytes.resize(size, 0);
    SCOPED_TRACE(size);
    EXPECT_EQ(ContentAccepted(bmp, bytes), size == 14);
  }
}

TEST(BmpHandler, BitmapContentIsFoundWhateverTheFileIsCalled) {
  TTempFolder dir;
  const TImageData image = MakeImage(2, 2, F::R8G8B8, RandomBytes(12, 9));
  const std::vector<uint8_t> bytes = SaveBytes(Bmp(), image, {{kOptionBitmapRLE, false}});
  for (const char* name : {"picture.bmp", "picture.xyz", "picture.tga"}) {
    WriteFileBytes(dir / name, bytes);
    EXPECT_EQ(DetectFileFormat((dir / name).string()), &Bmp()) << name;
    TImageData loaded;
    ASSERT_TRUE(ImageLoadFile((dir / name).string(), loaded)) << name;
    EXPECT_EQ(BytesOf(loaded), BytesOf(image)) << name;
  }
}

}  // namespace
}  // namespace pixolan::imaging
