#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "imaging/formats/NetworkGraphicsFormat.h"
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

TPNGFileFormat& Png() {
  return *FindFileFormatByClass<TPNGFileFormat>();
}
TMNGFileFormat& Mng() {
  return *FindFileFormatByClass<TMNGFileFormat>();
}
TJNGFileFormat& Jng() {
  return *FindFileFormatByClass<TJNGFileFormat>();
}

// ---- Files built byte by byte (zlib is the independent deflate and CRC here) ------------

const std::vector<uint8_t> kPngSig = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
const std::vector<uint8_t> kMngSig = {0x8A, 'M', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
const std::vector<uint8_t> kJngSig = {0x8B, 'J', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

std::vector<uint8_t> Chunk(const std::string& type, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> out;
  AddBe32(out, uint32_t(data.size()));
  out.insert(out.end(), type.begin(), type.end());
  out.insert(out.end(), data.begin(), data.end());
  uLong crc = crc32(0, reinterpret_cast<const Bytef*>(type.data()), 4);
  // zlib takes a null buffer as a request for the initial value.
  if (!data.empty()) crc = crc32(crc, data.data(), uInt(data.size()));
  AddBe32(out, uint32_t(crc));
  return out;
}

std::vector<uint8_t> Zlib(const std::vector<uint8_t>& raw, int level = 6) {
  uLongf size = compressBound(uLong(raw.size()));
  std::vector<uint8_t> out(size);
  compress2(out.data(), &size, raw.data(), uLong(raw.size()), level);
  out.resize(size);
  return out;
}

std::vector<uint8_t> Inflate(const std::vector<uint8_t>& data, size_t size) {
  std::vector<uint8_t> out(size);
  uLongf n = uLongf(size);
  EXPECT_EQ(uncompress(out.data(), &n, data.data(), uLong(data.size())), Z_OK);
  out.resize(n);
  return out;
}

std::vector<uint8_t> Ihdr(uint32_t width, uint32_t height, int depth, int colorType, int filter = 0,
                          int interlace = 0) {
  std::vector<uint8_t> data;
  AddBe32(data, width);
  AddBe32(data, height);
  data.insert(data.end(),
              {uint8_t(depth), uint8_t(colorType), 0, uint8_t(filter), uint8_t(interlace)});
  return Chunk("IHDR", data);
}

std::vector<uint8_t> Join(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// A PNG of filter-0 rows.
std::vector<uint8_t> SimplePng(uint32_t width, uint32_t height, int depth, int colorType,
                               const std::vector<std::vector<uint8_t>>& rows,
                               const std::vector<uint8_t>& extraChunks = {}) {
  std::vector<uint8_t> raw;
  for (const auto& row : rows) {
    raw.push_back(0);
    raw.insert(raw.end(), row.begin(), row.end());
  }
  return Join({kPngSig, Ihdr(width, height, depth, colorType), extraChunks,
               Chunk("IDAT", Zlib(raw)), Chunk("IEND", {})});
}

struct TChunkView {
  std::string Type;
  std::vector<uint8_t> Data;
};

std::vector<TChunkView> ChunksOf(const std::vector<uint8_t>& file) {
  std::vector<TChunkView> chunks;
  size_t at = 8;
  while (at + 12 <= file.size()) {
    const uint32_t length = Be32(file, at);
    TChunkView c;
    c.Type.assign(file.begin() + ptrdiff_t(at + 4), file.begin() + ptrdiff_t(at + 8));
    c.Data.assign(file.begin() + ptrdiff_t(at + 8), file.begin() + ptrdiff_t(at + 8 + length));
    chunks.push_back(c);
    at += 12 + length;
  }
  return chunks;
}

std::vector<std::string> TypesOf(const std::vector<TChunkView>& chunks) {
  std::vector<std::string> types;
  for (const auto& c : chunks) types.push_back(c.Type);
  return types;
}

std::string LoadError(TImageFileFormat& handler, const std::vector<uint8_t>& bytes) {
  return ErrorOf<EImagingError>([&] { LoadBytes(handler, bytes); });
}

// The loader wraps the handler's message; the test looks for the handler's part.
#define EXPECT_CONTAINS(text, part) \
  EXPECT_NE(std::string(text).find(part), std::string::npos) << (text)

// ---- Conformance corpus -------------------------------------------------------------------

const std::map<std::string, std::string> kRefusedSuiteFiles = {
    {"png/pngsuite/xc1n0g08.png", "color type 1"},
    {"png/pngsuite/xc9n2c08.png", "color type 9"},
    {"png/pngsuite/xcrn0g04.png", "signature damaged by CR bytes"},
    {"png/pngsuite/xcsn0g01.png", "IDAT CRC"},
    {"png/pngsuite/xd0n2c08.png", "bit depth 0"},
    {"png/pngsuite/xd3n2c08.png", "bit depth 3"},
    {"png/pngsuite/xd9n2c08.png", "bit depth 99"},
    {"png/pngsuite/xdtn0g01.png", "no IDAT"},
    {"png/pngsuite/xhdn0g08.png", "IHDR CRC"},
    {"png/pngsuite/xlfn0g04.png", "signature damaged by LF bytes"},
    {"png/pngsuite/xs1n0g01.png", "signature"},
    {"png/pngsuite/xs2n0g01.png", "signature"},
    {"png/pngsuite/xs4n0g01.png", "signature"},
    {"png/pngsuite/xs7n0g01.png", "signature"},
};

std::map<std::string, std::string> RefusedLibpngFiles() {
  std::map<std::string, std::string> refused = {
      {"png/libpng/crashers/bad_iCCP.png", "IHDR CRC"},
      {"png/libpng/crashers/badadler.png", "Adler-32"},
      {"png/libpng/crashers/badcrc.png", "IDAT CRC"},
      {"png/libpng/crashers/huge_IDAT.png", "IDAT beyond the file"},
  };
  for (const char* chunk : {"bKGD", "cHRM", "eXIf", "gAMA", "hIST", "iCCP", "iTXt",
                            "juNK_unsafe_to_copy", "juNk_safe_to_copy", "pCAL", "pHYs", "sCAL",
                            "sPLT", "sRGB", "sTER", "tEXt", "tIME", "zTXt"})
    refused[std::string("png/libpng/crashers/huge_") + chunk +
            (std::string(chunk).size() > 4 ? ".png" : "_chunk.png")] = "chunk beyond the file";
  return refused;
}

TEST(PngConformance, EverySuiteFileLoadsOrIsRefusedWithAnError) {
  ExpectCorpusLoadsOrIsRefused(Png(), "png/pngsuite", ".png", 175, kRefusedSuiteFiles);
  ExpectCorpusLoadsOrIsRefused(Png(), "png/libpng", ".png", 32, RefusedLibpngFiles());
}

// RGB files with a tRNS color key whose key pixels pngtopam (netpbm 11.01) leaves opaque;
// ImageMagick makes them transparent, as the format says.
const std::set<std::string> kPngtopamMissesTheRgbKey = {
    "png/pngsuite/tbbn2c16.png", "png/pngsuite/tbgn2c16.png", "png/pngsuite/tbrn2c08.png"};

// Every file that loads has the pixels netpbm's pngtopam reads, sample for sample: all
// color types and depths, Adam7, palettes with tRNS, color keys and odd sizes.
TEST(PngConformance, PixelsMatchPngtopamExactly) {
  ASSERT_TRUE(HaveTool("pngtopam")) << "netpbm's pngtopam is needed";
  ASSERT_TRUE(HaveTool("convert")) << "ImageMagick's convert is needed";
  TTempFolder dir;
  int compared = 0;
  for (const fs::path& file : CorpusFiles("png/pngsuite", ".png")) {
    const std::string name = CorpusName(file);
    if (kRefusedSuiteFiles.count(name)) continue;
    TDynImageDataArray images;
    ASSERT_TRUE(Png().LoadFile(file.string(), images, true)) << name;
    TRgba64Pixels theirs;
    std::string error;
    ASSERT_TRUE(ReadWithPngtopam(file, dir.Path(), theirs, error)) << error;
    TRgba64Pixels ours = Pixels64Of(images[0]);
    if (kPngtopamMissesTheRgbKey.count(name)) {
      // Alpha from ImageMagick (its gamma handling touches colors only), colors from
      // pngtopam where the pixel is visible.
      TRgbaPixels magick;
      ASSERT_TRUE(ReadWithImageMagick(file, dir.Path(), magick, error)) << error;
      ASSERT_EQ(magick.Pixels.size(), ours.Pixels.size()) << name;
      for (size_t i = 0; i < ours.Pixels.size(); ++i) {
        EXPECT_EQ(ours.Pixels[i].A, magick.Pixels[i].A * 257) << name << " pixel " << i;
        if (ours.Pixels[i].A == 0) ours.Pixels[i] = theirs.Pixels[i];
        theirs.Pixels[i].A = ours.Pixels[i].A;
      }
    }
    EXPECT_EQ(Difference64(ours, theirs, 0), "") << name;
    ++compared;
  }
  EXPECT_EQ(compared, 161);
}

TEST(PngConformance, PixelFormatsFollowColorTypeAndDepth) {
  const struct {
    const char* file;
    F format;
  } cases[] = {
      {"basn0g01.png", F::Gray8},        {"basn0g02.png", F::Gray8},
      {"basn0g04.png", F::Gray8},        {"basn0g08.png", F::Gray8},
      {"basn0g16.png", F::Gray16},       {"basn2c08.png", F::R8G8B8},
      {"basn2c16.png", F::R16G16B16},    {"basn3p01.png", F::Index8},
      {"basn3p08.png", F::Index8},       {"basn4a08.png", F::A8Gray8},
      {"basn4a16.png", F::A16Gray16},    {"basn6a08.png", F::A8R8G8B8},
      {"basn6a16.png", F::A16R16G16B16}, {"tbbn0g04.png", F::A8Gray8},
      {"tbbn2c16.png", F::A16R16G16B16}, {"tbrn2c08.png", F::A8R8G8B8},
      {"basi0g16.png", F::Gray16},       {"tbgn3p08.png", F::Index8},
  };
  for (const auto& c : cases) {
    TDynImageDataArray images;
    ASSERT_TRUE(Png().LoadFile((TestDataDir() / "png/pngsuite" / c.file).string(), images, true));
    EXPECT_EQ(images[0].Format, c.format) << c.file;
  }
}

// ---- PNG reading ----------------------------------------------------------------------------

TEST(PngReader, ColorKeyPixelsTakeTheBackgroundColorWithAlphaZero) {
  const std::vector<uint8_t> rgbRow = {10, 20, 30, 1, 2, 3};
  std::vector<uint8_t> trns, bkgd;
  for (int v : {10, 20, 30}) AddBe16(trns, uint32_t(v));
  for (int v : {255, 255, 255}) AddBe16(bkgd, uint32_t(v));
  const struct {
    const char* name;
    std::vector<uint8_t> chunks;
    TPixel32 keyed;
  } cases[] = {
      {"with bKGD", Join({Chunk("tRNS", trns), Chunk("bKGD", bkgd)}), Bgra(255, 255, 255, 0)},
      {"without bKGD", Chunk("tRNS", trns), Bgra(30, 20, 10, 0)},
  };
  for (const auto& c : cases) {
    const TImageData image = LoadBytes(Png(), SimplePng(2, 1, 8, 2, {rgbRow}, c.chunks));
    ASSERT_EQ(image.Format, F::A8R8G8B8) << c.name;
    EXPECT_EQ(ImageGetPixel32(image, 0, 0), c.keyed) << c.name;
    EXPECT_EQ(ImageGetPixel32(image, 1, 0), Bgra(3, 2, 1, 255)) << c.name;
  }
}

TEST(PngReader, GrayKeysAreScaledLikeTheSamples) {
  // 4-bit gray: samples 3 and 5; key 3, background 15 (white once scaled by 17).
  std::vector<uint8_t> trns, bkgd;
  AddBe16(trns, 3);
  AddBe16(bkgd, 15);
  const TImageData image = LoadBytes(
      Png(), SimplePng(2, 1, 4, 0, {{0x35}}, Join({Chunk("tRNS", trns), Chunk("bKGD", bkgd)})));
  ASSERT_EQ(image.Format, F::A8Gray8);
  EXPECT_EQ(BytesOf(image), (std::vector<uint8_t>{255, 0, 5 * 17, 255}));
  // 16-bit gray keeps 16-bit samples.
  std::vector<uint8_t> key16;
  AddBe16(key16, 0x1234);
  const TImageData wide =
      LoadBytes(Png(), SimplePng(2, 1, 16, 0, {{0x12, 0x34, 0xAB, 0xCD}}, Chunk("tRNS", key16)));
  ASSERT_EQ(wide.Format, F::A16Gray16);
  EXPECT_EQ(BytesOf(wide), (std::vector<uint8_t>{0x34, 0x12, 0, 0, 0xCD, 0xAB, 0xFF, 0xFF}));
}

TEST(PngReader, PaletteIsFilledUpWithOpaqueWhite) {
  const std::vector<uint8_t> plte = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  const TImageData image =
      LoadBytes(Png(), SimplePng(4, 1, 8, 3, {{0, 1, 2, 3}},
                                 Join({Chunk("PLTE", plte), Chunk("tRNS", {0x40, 0x80})})));
  ASSERT_EQ(image.Format, F::Index8);
  const TPixel32* p = image.palette();
  EXPECT_EQ(p[0], Bgra(3, 2, 1, 0x40));
  EXPECT_EQ(p[1], Bgra(6, 5, 4, 0x80));
  EXPECT_EQ(p[2], Bgra(9, 8, 7, 255));
  EXPECT_EQ(p[3], Bgra(12, 11, 10, 255));
  for (int i = 4; i < 256; ++i) EXPECT_EQ(p[i], Bgra(255, 255, 255, 255)) << i;
  EXPECT_EQ(BytesOf(image), (std::vector<uint8_t>{0, 1, 2, 3}));
}

TEST(PngReader, SixteenBitSamplesBecomeLittleEndianInEngineOrder) {
  const std::vector<uint8_t> rgb = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06};
  const std::vector<uint8_t> rgba = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};
  EXPECT_EQ(BytesOf(LoadBytes(Png(), SimplePng(1, 1, 16, 2, {rgb}))),
            (std::vector<uint8_t>{0x06, 0x05, 0x04, 0x03, 0x02, 0x01}));
  EXPECT_EQ(BytesOf(LoadBytes(Png(), SimplePng(1, 1, 16, 6, {rgba}))),
            (std::vector<uint8_t>{0x06, 0x05, 0x04, 0x03, 0x02, 0x01, 0x08, 0x07}));
  EXPECT_EQ(BytesOf(LoadBytes(Png(), SimplePng(1, 1, 16, 4, {{0x01, 0x02, 0x03, 0x04}}))),
            (std::vector<uint8_t>{0x02, 0x01, 0x04, 0x03}));
}

TEST(PngReader, ZlibStreamMaySpreadOverManyIdatChunks) {
  const TImageData image = ImageWithRuns(37, 11, F::A8R8G8B8, 7, 3);
  const std::vector<uint8_t> file = SaveBytes(Png(), image);
  for (size_t piece : {1u, 7u, 1000u}) {
    std::vector<uint8_t> split = kPngSig;
    for (const TChunkView& c : ChunksOf(file)) {
      if (c.Type != "IDAT") {
        const auto bytes = Chunk(c.Type, c.Data);
        split.insert(split.end(), bytes.begin(), bytes.end());
        continue;
      }
      for (size_t at = 0; at < c.Data.size(); at += piece) {
        const std::vector<uint8_t> part(
            c.Data.begin() + ptrdiff_t(at),
            c.Data.begin() + ptrdiff_t(std::min(at + piece, c.Data.size())));
        const auto bytes = Chunk("IDAT", part);
        split.insert(split.end(), bytes.begin(), bytes.end());
      }
    }
    EXPECT_EQ(BytesOf(LoadBytes(Png(), split)), BytesOf(image)) << piece;
  }
}

TEST(PngReader, AncillaryChunksWithABadCrcAreSkipped) {
  std::vector<uint8_t> trns;
  for (int v : {10, 20, 30}) AddBe16(trns, uint32_t(v));
  std::vector<uint8_t> badTrns = Chunk("tRNS", trns);
  badTrns.back() ^= 1;
  std::vector<uint8_t> badText = Chunk("tEXt", {'a', 0, 'b'});
  badText.back() ^= 1;
  const TImageData image =
      LoadBytes(Png(), SimplePng(1, 1, 8, 2, {{10, 20, 30}}, Join({badTrns, badText})));
  EXPECT_EQ(image.Format, F::R8G8B8);
  EXPECT_EQ(BytesOf(image), (std::vector<uint8_t>{30, 20, 10}));
}

TEST(PngReader, BrokenFilesAreRefusedWithAReason) {
  const std::vector<uint8_t> row = {0, 0, 0};
  const std::vector<uint8_t> good = SimplePng(1, 1, 8, 2, {row});
  std::vector<uint8_t> badIhdrCrc = good;
  badIhdrCrc[8 + 8 + 13] ^= 1;
  std::vector<uint8_t> cutShort(good.begin(), good.end() - 20);
  std::vector<uint8_t> badAdler = Zlib({0, 0, 0, 0});
  badAdler.back() ^= 1;
  std::vector<uint8_t> manyZeros(100 * 1000 * 1000, 0);
  const std::vector<uint8_t> bomb = Zlib(manyZeros, 9);
  manyZeros = {};
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
    const char* message;
  } cases[] = {
      {"chunk longer than the file", cutShort,
       "Error when reading IDAT chunk data. File may be corrupted."},
      {"IHDR CRC", badIhdrCrc, "CRC error in IHDR chunk"},
      {"color type 5", SimplePng(1, 1, 8, 5, {row}), "color type 5 is not valid"},
      {"bit depth 16 indexed", SimplePng(1, 1, 16, 3, {row}), "bit depth 16 is not valid"},
      {"no PLTE", SimplePng(1, 1, 8, 3, {{0}}), "has no PLTE chunk"},
      {"no IDAT", Join({kPngSig, Ihdr(1, 1, 8, 0), Chunk("IEND", {})}), "has no IDAT chunk"},
      {"no IHDR", Join({kPngSig, Chunk("IEND", {})}), "does not start with an IHDR chunk"},
      {"filter type 5",
       Join({kPngSig, Ihdr(1, 1, 8, 0), Chunk("IDAT", Zlib({5, 0})), Chunk("IEND", {})}),
       "Invalid row filter type 5"},
      {"too much data",
       Join({kPngSig, Ihdr(1, 1, 8, 0), Chunk("IDAT", Zlib({0, 0, 0})), Chunk("IEND", {})}),
       "inflate to more than the 2 bytes"},
      {"too little data",
       Join({kPngSig, Ihdr(2, 2, 8, 0), Chunk("IDAT", Zlib({0, 0, 0})), Chunk("IEND", {})}),
       "end after 3 of 6 bytes"},
      {"bad Adler-32",
       Join({kPngSig, Ihdr(1, 3, 8, 0), Chunk("IDAT", badAdler), Chunk("IEND", {})}),
       "data are corrupt"},
      {"beyond the pixel limit",
       Join({kPngSig, Ihdr(100000, 100000, 8, 0), Chunk("IDAT", Zlib({0, 0})), Chunk("IEND", {})}),
       "exceeds the limit of 268435456 pixels"},
      {"more rows than the data can hold",
       Join({kPngSig, Ihdr(16000, 16000, 8, 6), Chunk("IDAT", Zlib({0, 0})), Chunk("IEND", {})}),
       "cannot inflate to the"},
      {"zero width", Join({kPngSig, Ihdr(0, 1, 8, 0), Chunk("IDAT", Zlib({0})), Chunk("IEND", {})}),
       "size 0x1 is not valid"},
      {"a bomb behind a 1x1 header",
       Join({kPngSig, Ihdr(1, 1, 8, 0), Chunk("IDAT", bomb), Chunk("IEND", {})}),
       "inflate to more than the 2 bytes"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_CONTAINS(LoadError(Png(), c.bytes), c.message);
  }
}

// ---- PNG writing ----------------------------------------------------------------------------

struct TPngFormatCase {
  F Format;
  int ColorType;
  int Depth;
};
const TPngFormatCase kPngFormats[] = {
    {F::Index8, 3, 8},     {F::Gray8, 0, 8},         {F::A8Gray8, 4, 8},
    {F::Gray16, 0, 16},    {F::A16Gray16, 4, 16},    {F::R8G8B8, 2, 8},
    {F::A8R8G8B8, 6, 8},   {F::R16G16B16, 2, 16},    {F::A16R16G16B16, 6, 16},
    {F::B16G16R16, 2, 16}, {F::A16B16G16R16, 6, 16},
};

TImageData WriterImage(F format, int32_t width = 13, int32_t height = 7) {
  TImageData image = ImageWithRuns(width, height, format, uint32_t(int(format) * 31 + width), 4);
  FillRandomOpaquePalette(image, 3);
  return image;
}

TEST(PngWriter, ChunksAndHeaderFollowThePixelFormat) {
  for (const TPngFormatCase& c : kPngFormats) {
    SCOPED_TRACE(FormatName(c.Format));
    TImageData image = WriterImage(c.Format);
    const std::vector<TChunkView> opaque = ChunksOf(SaveBytes(Png(), image));
    const std::vector<std::string> expected =
        c.Format == F::Index8 ? std::vector<std::string>{"IHDR", "PLTE", "IDAT", "IEND"}
                              : std::vector<std::string>{"IHDR", "IDAT", "IEND"};
    EXPECT_EQ(TypesOf(opaque), expected);
    const std::vector<uint8_t>& ihdr = opaque[0].Data;
    ASSERT_EQ(ihdr.size(), 13u);
    EXPECT_EQ(Be32(ihdr, 0), 13u);
    EXPECT_EQ(Be32(ihdr, 4), 7u);
    EXPECT_EQ(ihdr[8], c.Depth);
    EXPECT_EQ(ihdr[9], c.ColorType);
    EXPECT_EQ(ihdr[10] | ihdr[11] | ihdr[12], 0);
    if (c.Format == F::Index8) {
      ASSERT_EQ(opaque[1].Data.size(), 768u);
      EXPECT_EQ(opaque[1].Data[3 * 5], image.palette()[5].R);
      EXPECT_EQ(opaque[1].Data[3 * 5 + 2], image.palette()[5].B);
      image.palette()[200].A = 7;
      const std::vector<TChunkView> translucent = ChunksOf(SaveBytes(Png(), image));
      EXPECT_EQ(TypesOf(translucent),
                (std::vector<std::string>{"IHDR", "PLTE", "tRNS", "IDAT", "IEND"}));
      ASSERT_EQ(translucent[2].Data.size(), 256u);
      EXPECT_EQ(translucent[2].Data[200], 7);
      EXPECT_EQ(translucent[2].Data[0], 255);
    }
  }
}

TEST(PngWriter, PreFilterChoosesTheRowFilters) {
  const struct {
    F format;
    int preFilter;
    int expected;  // -1: any filter of 0..4 per row
  } cases[] = {
      {F::A8R8G8B8, 0, 0}, {F::A8R8G8B8, 1, 1}, {F::A8R8G8B8, 2, 2},  {F::A8R8G8B8, 3, 3},
      {F::A8R8G8B8, 4, 4}, {F::A8R8G8B8, 5, 4}, {F::A8R8G8B8, 6, -1}, {F::A8R8G8B8, 9, 4},
      {F::R8G8B8, 5, 4},   {F::Gray8, 5, 0},    {F::A8Gray8, 5, 0},   {F::Index8, 5, 0},
      {F::Index8, 6, 0},   {F::Index8, 2, 2},   {F::Gray16, 6, -1},   {F::R16G16B16, -1, 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(FormatName(c.format) + " PreFilter " + std::to_string(c.preFilter));
    const TImageData image = WriterImage(c.format);
    const std::vector<TChunkView> chunks =
        ChunksOf(SaveBytes(Png(), image, {{kOptionPngPreFilter, c.preFilter}}));
    const size_t rowBytes = size_t(image.Size / image.Height);
    const std::vector<uint8_t> raw = Inflate(chunks[chunks.size() - 2].Data, 1 << 20);
    ASSERT_EQ(raw.size(), size_t(image.Height) * (rowBytes + 1));
    std::set<int> seen;
    for (int32_t y = 0; y < image.Height; ++y) {
      const int filter = raw[size_t(y) * (rowBytes + 1)];
      seen.insert(filter);
      if (c.expected >= 0) {
        EXPECT_EQ(filter, c.expected) << "row " << y;
      }
      EXPECT_LE(filter, 4);
    }
    if (c.expected < 0) {
      EXPECT_GT(seen.size(), 1u) << "the adaptive choice varies by row";
    }
    // Whatever the filters, the pixels come back.
    EXPECT_EQ(
        BytesOf(LoadBytes(Png(), SaveBytes(Png(), image, {{kOptionPngPreFilter, c.preFilter}}))),
        BytesOf(image));
  }
}

TEST(PngWriter, CompressLevelSetsTheZlibLevel) {
  const TImageData image = WriterImage(F::A8R8G8B8, 200, 50);
  std::map<int, size_t> sizes;
  for (int level : {-1, 0, 1, 5, 9, 10}) {
    const std::vector<uint8_t> file = SaveBytes(Png(), image, {{kOptionPngCompressLevel, level}});
    const std::vector<TChunkView> chunks = ChunksOf(file);
    const std::vector<uint8_t>& idat = chunks[1].Data;
    sizes[level] = idat.size();
    EXPECT_EQ((idat[0] << 8 | idat[1]) % 31, 0) << "a zlib header, level " << level;
    EXPECT_EQ(Inflate(idat, 1 << 20).size(), size_t(image.Size + image.Height)) << level;
    EXPECT_EQ(BytesOf(LoadBytes(Png(), file)), BytesOf(image)) << level;
  }
  EXPECT_GT(sizes[0], size_t(image.Size));  // stored
  EXPECT_LE(sizes[9], sizes[5]);
  EXPECT_LE(sizes[5], sizes[1]);
  EXPECT_LT(sizes[9], sizes[1]);
  EXPECT_EQ(sizes[-1], sizes[5]);
  EXPECT_EQ(sizes[10], sizes[5]);
}

TEST(PngWriter, OwnReaderGetsBackFormatAndPixels) {
  for (const TPngFormatCase& c : kPngFormats) {
    for (int32_t width : {1, 5, 64}) {
      const TImageData image = WriterImage(c.Format, width, 9);
      const TImageData loaded = LoadBytes(Png(), SaveBytes(Png(), image));
      // Red-first 16-bit formats come back in the engine's blue-first order.
      const F expected = c.Format == F::B16G16R16      ? F::R16G16B16
                         : c.Format == F::A16B16G16R16 ? F::A16R16G16B16
                                                       : c.Format;
      ASSERT_EQ(loaded.Format, expected) << FormatName(c.Format);
      EXPECT_TRUE(Pixels64Of(loaded).Pixels == Pixels64Of(image).Pixels)
          << FormatName(c.Format) << " width " << width;
      if (c.Format == F::Index8) {
        for (int i = 0; i < 256; ++i) EXPECT_EQ(loaded.palette()[i], image.palette()[i]) << i;
      }
    }
  }
}

TEST(PngWriter, IndependentCheckersAndReadersAgree) {
  ASSERT_TRUE(HaveTool("pngcheck")) << "pngcheck is needed";
  ASSERT_TRUE(HaveTool("pngtopam")) << "netpbm's pngtopam is needed";
  ASSERT_TRUE(HaveTool("convert")) << "ImageMagick's convert is needed";
  TTempFolder dir;
  for (const TPngFormatCase& c : kPngFormats) {
    for (int filter : {0, 5, 6}) {
      SCOPED_TRACE(FormatName(c.Format) + " filter " + std::to_string(filter));
      const TImageData image = WriterImage(c.Format, 21, 6);
      const fs::path file = dir / "out.png";
      WriteFileBytes(file, SaveBytes(Png(), image, {{kOptionPngPreFilter, filter}}));
      EXPECT_TRUE(RunCommand("pngcheck -q " + Quote(file) + " >/dev/null", dir / "pngcheck.log"));
      TRgba64Pixels netpbm;
      std::string error, why;
      ASSERT_TRUE(ReadWithPngtopam(file, dir.Path(), netpbm, error)) << error;
      EXPECT_EQ(Difference64(Pixels64Of(image), netpbm, 0), "");
      TRgbaPixels magick;
      ASSERT_TRUE(ReadWithImageMagick(file, dir.Path(), magick, error)) << error;
      EXPECT_TRUE(ComparePixels(PixelsOf(image), magick).MaxColorDelta <= 1) << "ImageMagick";
    }
  }
}

TEST(PngWriter, OtherFormatsAreConvertedToTheNearestWritableOne) {
  const struct {
    F from;
    F written;
  } cases[] = {
      {F::R5G6B5, F::R8G8B8},
      {F::A1R5G5B5, F::A8R8G8B8},
      {F::X8R8G8B8, F::R8G8B8},
      {F::Gray32, F::Gray16},
      {F::A32R32G32B32F, F::A16R16G16B16},
      {F::R32F, F::R16G16B16},
      {F::A16R16G16B16F, F::A16R16G16B16},
  };
  for (const auto& c : cases) {
    const TImageData image = WriterImage(c.from, 4, 3);
    const TImageData loaded = LoadBytes(Png(), SaveBytes(Png(), image));
    EXPECT_EQ(loaded.Format, c.written) << FormatName(c.from);
  }
}

// ---- MNG --------------------------------------------------------------------------------------

TEST(MngWriter, MhdrThenEveryImageAsAnEmbeddedPngThenMend) {
  const TImageData image = WriterImage(F::A8R8G8B8, 9, 4);
  const std::vector<uint8_t> file = SaveBytes(Mng(), image);
  ASSERT_TRUE(std::equal(kMngSig.begin(), kMngSig.end(), file.begin()));
  const std::vector<TChunkView> chunks = ChunksOf(file);
  EXPECT_EQ(TypesOf(chunks), (std::vector<std::string>{"MHDR", "IHDR", "IDAT", "IEND", "MEND"}));
  const std::vector<uint8_t>& mhdr = chunks[0].Data;
  ASSERT_EQ(mhdr.size(), 28u);
  const std::vector<uint32_t> fields = {Be32(mhdr, 0),  Be32(mhdr, 4),  Be32(mhdr, 8),
                                        Be32(mhdr, 12), Be32(mhdr, 16), Be32(mhdr, 20),
                                        Be32(mhdr, 24)};
  EXPECT_EQ(fields, (std::vector<uint32_t>{9, 4, 0, 0, 1, 0, 473}));

  TDynImageDataArray images;
  images.push_back(WriterImage(F::Gray8, 3, 12));
  images.push_back(WriterImage(F::Index8, 20, 2));
  images.push_back(WriterImage(F::A16R16G16B16, 5, 5));
  const std::vector<uint8_t> series = SaveBytes(Mng(), TImageSpan(images));
  const std::vector<TChunkView> seriesChunks = ChunksOf(series);
  EXPECT_EQ(Be32(seriesChunks[0].Data, 0), 20u);
  EXPECT_EQ(Be32(seriesChunks[0].Data, 4), 12u);
  EXPECT_EQ(Be32(seriesChunks[0].Data, 16), 3u);
  const TDynImageDataArray loaded = LoadAllBytes(Mng(), series);
  ASSERT_EQ(loaded.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(loaded[i].Format, images[i].Format) << i;
    EXPECT_EQ(BytesOf(loaded[i]), BytesOf(images[i])) << i;
  }
  EXPECT_EQ(LoadAllBytes(Mng(), series, true).size(), 1u);
}

TEST(MngWriter, LossyCompressionEmbedsJngImages) {
  const TImageData image = Filled(16, 8, 0x80336699);
  const std::vector<uint8_t> file =
      SaveBytes(Mng(), image, {{kOptionMngLossyCompression, 1}, {kOptionMngQuality, 95}});
  EXPECT_EQ(TypesOf(ChunksOf(file)),
            (std::vector<std::string>{"MHDR", "JHDR", "JDAT", "IDAT", "IEND", "MEND"}));
  const TImageData loaded = LoadBytes(Mng(), file);
  ASSERT_EQ(loaded.Format, F::A8R8G8B8);
  const TPixel32 p = ImageGetPixel32(loaded, 3, 3);
  EXPECT_EQ(p.A, 0x80);
  EXPECT_NEAR(p.R, 0x33, 2);
  EXPECT_NEAR(p.G, 0x66, 2);
  EXPECT_NEAR(p.B, 0x99, 2);
}

TEST(MngReader, AFileWithoutImagesGivesAnEmptyFrame) {
  std::vector<uint8_t> mhdr;
  for (uint32_t v : {7u, 3u, 0u, 0u, 0u, 0u, 1u}) AddBe32(mhdr, v);
  const TImageData image =
      LoadBytes(Mng(), Join({kMngSig, Chunk("MHDR", mhdr), Chunk("TERM", {0}), Chunk("MEND", {})}));
  EXPECT_EQ(image.Format, F::A8R8G8B8);
  EXPECT_EQ(image.Width, 7);
  EXPECT_EQ(image.Height, 3);
  EXPECT_EQ(BytesOf(image), std::vector<uint8_t>(7 * 3 * 4, 0));
  EXPECT_CONTAINS(LoadError(Mng(), Join({kPngSig, Chunk("MHDR", mhdr)})),
                  "does not contain valid image");
}

TEST(MngReader, IntrapixelFilteredRowsGetGreenAddedBack) {
  std::vector<uint8_t> mhdr;
  for (uint32_t v : {2u, 1u, 0u, 0u, 0u, 0u, 1u}) AddBe32(mhdr, v);
  // Red and blue are stored minus green, modulo the sample range.
  const std::vector<uint8_t> rows8 = {0, 0xF0, 0x20, 0x10, 5, 6, 7};
  const std::vector<uint8_t> rows16 = {0, 0xFF, 0xF0, 0x00, 0x20, 0x00, 0x10};
  const struct {
    int depth;
    std::vector<uint8_t> raw;
    std::vector<uint8_t> expected;
  } cases[] = {
      {8, rows8, {0x30, 0x20, 0x10, 13, 6, 11}},
      {16, rows16, {0x30, 0x00, 0x20, 0x00, 0x10, 0x00}},
  };
  for (const auto& c : cases) {
    const uint32_t width = c.depth == 8 ? 2 : 1;
    const std::vector<uint8_t> file =
        Join({kMngSig, Chunk("MHDR", mhdr), Ihdr(width, 1, c.depth, 2, 64),
              Chunk("IDAT", Zlib(c.raw)), Chunk("IEND", {}), Chunk("MEND", {})});
    EXPECT_EQ(BytesOf(LoadBytes(Mng(), file)), c.expected) << c.depth;
    // A plain PNG knows no filter method 64.
    EXPECT_CONTAINS(LoadError(Png(), Join({kPngSig, Ihdr(width, 1, c.depth, 2, 64),
                                           Chunk("IDAT", Zlib(c.raw)), Chunk("IEND", {})})),
                    "filter method 64");
  }
}

TEST(MngConformance, CorpusFilesLoadEveryEmbeddedImage) {
  const struct {
    const char* file;
    size_t images;
  } cases[] = {{"mng-jng/imagemagick/input.mng", 6}, {"mng-jng/libmng/linux.mng", 20}};
  for (const auto& c : cases) {
    TDynImageDataArray images;
    ASSERT_TRUE(Mng().LoadFile((TestDataDir() / c.file).string(), images, false)) << c.file;
    EXPECT_EQ(images.size(), c.images) << c.file;
    TDynImageDataArray first;
    ASSERT_TRUE(Mng().LoadFile((TestDataDir() / c.file).string(), first, true));
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(BytesOf(first[0]), BytesOf(images[0]));
  }
}

// ---- JNG --------------------------------------------------------------------------------------

TEST(JngWriter, AlphaIsWrittenAsUnfilteredPngRows) {
  TImageData image = WriterImage(F::A8R8G8B8, 10, 6);
  const std::vector<uint8_t> file = SaveBytes(Jng(), image);
  ASSERT_TRUE(std::equal(kJngSig.begin(), kJngSig.end(), file.begin()));
  const std::vector<TChunkView> chunks = ChunksOf(file);
  EXPECT_EQ(TypesOf(chunks), (std::vector<std::string>{"JHDR", "JDAT", "IDAT", "IEND"}));
  const std::vector<uint8_t>& jhdr = chunks[0].Data;
  ASSERT_EQ(jhdr.size(), 16u);
  EXPECT_EQ(std::vector<uint8_t>(jhdr.begin() + 8, jhdr.end()),
            (std::vector<uint8_t>{14, 8, 8, 0, 8, 0, 0, 0}));
  const std::vector<uint8_t> raw = Inflate(chunks[2].Data, 1000);
  ASSERT_EQ(raw.size(), 6u * 11u);
  for (int y = 0; y < 6; ++y) {
    EXPECT_EQ(raw[size_t(y) * 11], 0) << y;
    for (int x = 0; x < 10; ++x)
      EXPECT_EQ(raw[size_t(y) * 11 + 1 + size_t(x)], ImageGetPixel32(image, x, y).A);
  }
  const TImageData loaded = LoadBytes(Jng(), file);
  ASSERT_EQ(loaded.Format, F::A8R8G8B8);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 10; ++x)
      EXPECT_EQ(ImageGetPixel32(loaded, x, y).A, ImageGetPixel32(image, x, y).A);
}

TEST(JngWriter, HeaderAndChunksFollowFormatAndOptions) {
  const struct {
    F format;
    int lossyAlpha;
    int progressive;
    std::vector<uint8_t> jhdrTail;
    std::vector<std::string> chunks;
    F loaded;
  } cases[] = {
      {F::R8G8B8, 0, 0, {10, 8, 8, 0, 0, 0, 0, 0}, {"JHDR", "JDAT", "IEND"}, F::R8G8B8},
      {F::Gray8, 0, 0, {8, 8, 8, 0, 0, 0, 0, 0}, {"JHDR", "JDAT", "IEND"}, F::Gray8},
      {F::A8Gray8, 0, 0, {12, 8, 8, 0, 8, 0, 0, 0}, {"JHDR", "JDAT", "IDAT", "IEND"}, F::A8Gray8},
      {F::A8R8G8B8, 1, 0, {14, 8, 8, 0, 8, 8, 0, 0}, {"JHDR", "JDAT", "JDAA", "IEND"}, F::A8R8G8B8},
      {F::R8G8B8, 0, 1, {10, 8, 8, 8, 0, 0, 0, 0}, {"JHDR", "JDAT", "IEND"}, F::R8G8B8},
      {F::R16G16B16, 0, 0, {10, 8, 8, 0, 0, 0, 0, 0}, {"JHDR", "JDAT", "IEND"}, F::R8G8B8},
      {F::A16Gray16, 0, 0, {12, 8, 8, 0, 8, 0, 0, 0}, {"JHDR", "JDAT", "IDAT", "IEND"}, F::A8Gray8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(FormatName(c.format));
    const TImageData image = Filled(8, 8, 0xC0408020);
    TImageData source;
    ImageClone(image, source);
    ImageConvert(source, c.format);
    const std::vector<uint8_t> file =
        SaveBytes(Jng(), source,
                  {{kOptionJngLossyAlpha, c.lossyAlpha}, {kOptionJngProgressive, c.progressive}});
    const std::vector<TChunkView> chunks = ChunksOf(file);
    EXPECT_EQ(TypesOf(chunks), c.chunks);
    EXPECT_EQ(std::vector<uint8_t>(chunks[0].Data.begin() + 8, chunks[0].Data.end()), c.jhdrTail);
    const TImageData loaded = LoadBytes(Jng(), file);
    EXPECT_EQ(loaded.Format, c.loaded);
    const TPixel32 p = ImageGetPixel32(loaded, 4, 4), q = ImageGetPixel32(source, 4, 4);
    for (int ch = 0; ch < 4; ++ch) EXPECT_NEAR(p[ch], q[ch], 3) << ch;
  }
}

TEST(JngReader, TwelveBitColorDataStayZero) {
  std::vector<uint8_t> jhdr;
  AddBe32(jhdr, 3);
  AddBe32(jhdr, 2);
  jhdr.insert(jhdr.end(), {10, 12, 8, 0, 0, 0, 0, 0});
  const TImageData image = LoadBytes(
      Jng(), Join({kJngSig, Chunk("JHDR", jhdr), Chunk("JDAT", {1, 2, 3}), Chunk("IEND", {})}));
  EXPECT_EQ(image.Format, F::R8G8B8);
  EXPECT_EQ(BytesOf(image), std::vector<uint8_t>(3 * 2 * 3, 0));
}

TEST(JngReader, BrokenFilesAreRefusedWithAReason) {
  const std::vector<uint8_t> file = SaveBytes(Jng(), Filled(8, 8, 0x80102030));
  const std::vector<TChunkView> chunks = ChunksOf(file);
  const auto withJhdr = [&](uint32_t width, std::vector<uint8_t> tail, bool keepData = true) {
    std::vector<uint8_t> jhdr;
    AddBe32(jhdr, width);
    AddBe32(jhdr, 8);
    jhdr.insert(jhdr.end(), tail.begin(), tail.end());
    std::vector<uint8_t> out = Join({kJngSig, Chunk("JHDR", jhdr)});
    for (size_t i = 1; i < chunks.size() && keepData; ++i) {
      const auto bytes = Chunk(chunks[i].Type, chunks[i].Data);
      out.insert(out.end(), bytes.begin(), bytes.end());
    }
    return out;
  };
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
    const char* message;
  } cases[] = {
      {"JPEG data of another size", withJhdr(9, {14, 8, 8, 0, 8, 0, 0, 0}),
       "JDAT data of 8x8 pixels differ from the 9x8 pixels"},
      {"color type 9", withJhdr(8, {9, 8, 8, 0, 8, 0, 0, 0}), "color type 9 is not valid"},
      {"sample depth 16", withJhdr(8, {14, 16, 8, 0, 8, 0, 0, 0}), "sample depth 16 is not valid"},
      {"alpha compression 3", withJhdr(8, {14, 8, 8, 0, 8, 3, 0, 0}), "alpha compression method 3"},
      {"JPEG alpha of 4 bits", withJhdr(8, {14, 8, 8, 0, 4, 8, 0, 0}),
       "alpha sample depth 4 is not valid"},
      {"no JDAT", withJhdr(8, {10, 8, 8, 0, 0, 0, 0, 0}, false), "has no JDAT chunk"},
      {"beyond the pixel limit", withJhdr(40000000, {10, 8, 8, 0, 0, 0, 0, 0}),
       "exceeds the limit"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_CONTAINS(LoadError(Jng(), c.bytes), c.message);
  }
}

TEST(JngConformance, CorpusFilesMatchImageMagick) {
  ASSERT_TRUE(HaveTool("convert")) << "ImageMagick's convert is needed";
  TTempFolder dir;
  const std::vector<fs::path> files = CorpusFiles("mng-jng/imagemagick", ".jng");
  ASSERT_GE(files.size(), 12u);
  for (const fs::path& file : files) {
    const std::string name = CorpusName(file);
    TDynImageDataArray images;
    ASSERT_TRUE(Jng().LoadFile(file.string(), images, true)) << name;
    TRgbaPixels theirs;
    std::string error;
    ASSERT_TRUE(ReadWithImageMagick(file, dir.Path(), theirs, error)) << error;
    const TPixelDiff diff = ComparePixels(PixelsOf(images[0]), theirs);
    EXPECT_FALSE(diff.SizeDiffers) << name;
    EXPECT_EQ(diff.AlphaPixels, 0) << name << ": " << diff.Text();
    EXPECT_LE(diff.MaxColorDelta, 2) << name << ": " << diff.Text();
  }
}

// ImageMagick reads what the MNG and JNG writers make: the same pixels as the source for
// embedded PNG, the same pixels as our own decoder for the lossy JPEG data.
TEST(NetworkGraphicsWriters, ImageMagickReadsWrittenMngAndJng) {
  ASSERT_TRUE(HaveTool("convert")) << "ImageMagick's convert is needed";
  TTempFolder dir;
  const TImageData image = WriterImage(F::A8R8G8B8, 24, 16);
  const struct {
    TImageFileFormat* handler;
    const char* name;
    int lossyAlpha;
    bool lossy;
  } cases[] = {
      {&Mng(), "out.mng", 0, false},
      {&Jng(), "out.jng", 0, true},
      {&Jng(), "out-jdaa.jng", 1, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<uint8_t> bytes =
        c.handler == &Mng() ? SaveBytes(Mng(), image)
                            : SaveBytes(Jng(), image, {{kOptionJngLossyAlpha, c.lossyAlpha}});
    WriteFileBytes(dir / c.name, bytes);
    TRgbaPixels magick;
    std::string error;
    ASSERT_TRUE(ReadWithImageMagick(dir / c.name, dir.Path(), magick, error)) << error;
    const TImageData ours = c.lossy ? LoadBytes(*c.handler, bytes) : TImageData();
    const TPixelDiff diff = ComparePixels(PixelsOf(c.lossy ? ours : image), magick);
    EXPECT_FALSE(diff.SizeDiffers);
    EXPECT_EQ(diff.AlphaPixels, 0) << diff.Text();
    EXPECT_LE(diff.MaxColorDelta, c.lossy ? 2 : 0) << diff.Text();
  }
}

// ---- Handlers -------------------------------------------------------------------------------

TEST(NetworkGraphicsHandlers, DescribeThemselvesAndBindTheirOptions) {
  const struct {
    TImageFileFormat* handler;
    const char* name;
    const char* ext;
    bool multi;
    std::vector<std::pair<int32_t, int32_t>> options;  // id, default
    size_t writable;
  } cases[] = {
      {&Png(), "Portable Network Graphics", "png", false, {{25, 5}, {26, 5}}, 11},
      {&Mng(),
       "Multiple Network Graphics",
       "mng",
       true,
       {{28, 0}, {29, 0}, {30, 5}, {31, 5}, {32, 90}, {33, 0}},
       11},
      {&Jng(),
       "JPEG Network Graphics",
       "jng",
       false,
       {{40, 0}, {41, 5}, {42, 5}, {43, 90}, {44, 0}},
       4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.handler->Name, c.name);
    EXPECT_EQ(c.handler->Extensions, std::vector<std::string>{c.ext});
    EXPECT_TRUE(c.handler->CanRead && c.handler->CanWrite);
    EXPECT_EQ(c.handler->MultiImage, c.multi);
    EXPECT_EQ(c.handler->WritableFormats().count(), c.writable);
    for (const auto& [id, value] : c.options) EXPECT_EQ(EngineGetOption(id), value) << id;
  }
  EngineSetOption(kOptionMngLossyCompression, 1);
  EXPECT_EQ(Mng().WritableFormats().count(), 4u);
  EngineSetOption(kOptionMngLossyCompression, 0);
}

TEST(NetworkGraphicsHandlers, ContentTestsTellTheSignaturesApart) {
  const struct {
    TImageFileFormat* handler;
    std::vector<uint8_t> accepted;
  } cases[] = {{&Png(), kPngSig}, {&Mng(), kMngSig}, {&Jng(), kJngSig}};
  for (const auto& c : cases) {
    for (const auto& other : cases) {
      EXPECT_EQ(ContentAccepted(*c.handler, other.accepted), c.handler == other.handler)
          << c.handler->Name << " on " << other.handler->Name;
    }
    EXPECT_FALSE(ContentAccepted(*c.handler,
                                 std::vector<uint8_t>(c.accepted.begin(), c.accepted.end() - 1)));
  }
}

TEST(NetworkGraphicsHandlers, PngContentIsFoundWhateverTheFileIsCalled) {
  TTempFolder dir;
  const TImageData image = WriterImage(F::A8R8G8B8, 3, 3);
  const std::vector<uint8_t> bytes = SaveBytes(Png(), image);
  for (const char* name : {"picture.png", "picture.jpg", "picture"}) {
    WriteFileBytes(dir / name, bytes);
    EXPECT_EQ(DetectFileFormat((dir / name).string()), &Png()) << name;
    TImageData loaded;
    ASSERT_TRUE(ImageLoadFile((dir / name).string(), loaded)) << name;
    EXPECT_EQ(BytesOf(loaded), BytesOf(image)) << name;
  }
}

}  // namespace
}  // namespace pixolan::imaging
