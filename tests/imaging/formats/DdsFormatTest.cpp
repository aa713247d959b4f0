#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "imaging/formats/DdsFormat.h"
#include "imaging/geometry/Resample.h"
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

TDDSFileFormat& Dds() {
  return *FindFileFormatByClass<TDDSFileFormat>();
}

// Header fields as they lie in a file.
constexpr size_t kFlags = 8, kHeight = 12, kWidth = 16, kLinearSize = 20, kDepth = 24,
                 kMipMapCount = 28, kPfFlags = 80, kFourCC = 84, kBitCount = 88, kMasks = 92,
                 kCaps = 108, kCaps2 = 112;

// A file in memory: the 128-byte header with the given fields, then the data.
struct TDdsLayout {
  uint32_t Width = 1;
  uint32_t Height = 1;
  uint32_t Flags = 0x1007;
  uint32_t Depth = 0;
  uint32_t MipMapCount = 0;
  uint32_t PfFlags = 0x40;
  const char* FourCC = "\0\0\0\0";
  uint32_t BitCount = 32;
  uint32_t Masks[4] = {0xFF0000, 0xFF00, 0xFF, 0};
  uint32_t Caps = 0x1000;
  uint32_t Caps2 = 0;
  std::vector<uint8_t> Dx10 = {};  // the extended header, when the code is "DX10"
  std::vector<uint8_t> Data = {};
};

std::vector<uint8_t> MakeDds(const TDdsLayout& l) {
  std::vector<uint8_t> b(128 + l.Dx10.size() + l.Data.size(), 0);
  std::memcpy(b.data(), "DDS ", 4);
  const auto put = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + size_t(i)] = uint8_t(v >> (8 * i));
  };
  put(4, 124);
  put(kFlags, l.Flags);
  put(kHeight, l.Height);
  put(kWidth, l.Width);
  put(kDepth, l.Depth);
  put(kMipMapCount, l.MipMapCount);
  put(76, 32);
  put(kPfFlags, l.PfFlags);
  std::memcpy(b.data() + kFourCC, l.FourCC, 4);
  put(kBitCount, l.BitCount);
  for (int i = 0; i < 4; ++i) put(kMasks + 4 * size_t(i), l.Masks[i]);
  put(kCaps, l.Caps);
  put(kCaps2, l.Caps2);
  std::copy(l.Dx10.begin(), l.Dx10.end(), b.begin() + 128);
  std::copy(l.Data.begin(), l.Data.end(), b.begin() + 128 + ptrdiff_t(l.Dx10.size()));
  return b;
}

std::vector<uint8_t> Dx10Header(uint32_t dxgi, uint32_t dimension = 3, uint32_t misc = 0,
                                uint32_t arraySize = 1) {
  std::vector<uint8_t> x;
  for (uint32_t v : {dxgi, dimension, misc, arraySize, 0u}) Add32(x, v);
  return x;
}

// Random pixels with runs; block formats get random blocks.
TImageData TestImage(int32_t width, int32_t height, F format, uint32_t seed) {
  return ImageWithRuns(width, height, format, seed, 3);
}

// ---- Conformance corpus -------------------------------------------------------------

const std::map<std::string, std::string> kRefusedSuiteFiles = {
    {"dds/pillow/DXGI_FORMAT_BC7_UNORM_SRGB.dds", "BC7"},
    {"dds/pillow/bc7-argb-8bpp_MipMaps-1.dds", "BC7"},
    {"dds/pillow/bc6h.dds", "BC6H"},
    {"dds/pillow/bc6h_sf.dds", "BC6H"},
    {"dds/pillow/bc5_snorm.dds", "signed BC5"},
    {"dds/pillow/bc5s.dds", "signed BC5"},
    {"dds/pillow/timeout-041dd17dfde800360a47a172269df127af138c6b.dds", "no texture bit"},
    {"dds/pillow/timeout-52d106579505547091ef69b58341351a37c23e31.dds", "YUV flag"},
    {"dds/pillow/timeout-755a4d204f4208e3597ac3391edebee196462bd0.dds", "no texture bit"},
    {"dds/pillow/timeout-c60a3d7314213624607bfb3e38d551a8b24a7435.dds", "truncated"},
    {"dds/pillow/unimplemented_dxgi_format.dds", "DXGI format 93"},
    {"dds/pillow/unimplemented_pfflags.dds", "flags 0x8"},
    {"dds/pillow/unimplemented_pixel_format.dds", "code 0"},
    {"dds/pillow/unsupported_bitcount.dds", "24-bit luminance"},
};

TEST(DdsConformance, EverySuiteFileLoadsOrIsRefusedWithAnError) {
  ExpectCorpusLoadsOrIsRefused(Dds(), "dds", ".dds", 37, kRefusedSuiteFiles);
}

// The top surface against the suite's reference rendering, read by netpbm (PNG) or
// ImageMagick (GIF).
TEST(DdsConformance, TopSurfacesMatchTheReferences) {
  ASSERT_TRUE(HaveTool("pngtopam")) << "netpbm's pngtopam is needed as reference reader";
  const std::vector<std::pair<std::string, std::string>> pairs = {
      {"dxt1-rgb-4bbp-noalpha_MipMaps-1.dds", "dxt1-rgb-4bbp-noalpha_MipMaps-1.png"},
      {"bc1.dds", "dxt1-rgb-4bbp-noalpha_MipMaps-1.png"},
      {"bc1_typeless.dds", "dxt1-rgb-4bbp-noalpha_MipMaps-1.png"},
      {"dxt3-argb-8bbp-explicitalpha_MipMaps-1.dds", "dxt3-argb-8bbp-explicitalpha_MipMaps-1.png"},
      {"dxt5-argb-8bbp-interpolatedalpha_MipMaps-1.dds",
       "dxt5-argb-8bbp-interpolatedalpha_MipMaps-1.png"},
      {"hopper.dds", "hopper.png"},
      {"bgr15.dds", "bgr15.png"},
      {"uncompressed_l.dds", "uncompressed_l.png"},
      {"uncompressed_la.dds", "uncompressed_la.png"},
      {"uncompressed_rgb.dds", "uncompressed_rgb.png"},
      {"argb-32bpp_MipMaps-1.dds", "argb-32bpp_MipMaps-1.png"},
      {"DXGI_FORMAT_R8G8B8A8_UNORM_SRGB.dds", "DXGI_FORMAT_R8G8B8A8_UNORM_SRGB.png"},
      {"ati1.dds", "ati1.png"},
      {"bc4u.dds", "ati1.png"},
      {"bc4_typeless.dds", "bc4_unorm.png"},
      {"bc4_unorm.dds", "bc4_unorm.png"},
      {"ati2.dds", "bc5_unorm.png"},
      {"bc5u.dds", "bc5_unorm.png"},
      {"bc5_typeless.dds", "bc5_unorm.png"},
      {"bc5_unorm.dds", "bc5_unorm.png"},
      {"palette.dds", "transparent.gif"},
  };
  const fs::path suite = TestDataDir() / "dds/pillow";
  TTempFolder dir;
  for (const auto& [dds, reference] : pairs) {
    TDynImageDataArray images;
    ASSERT_TRUE(Dds().LoadFile((suite / dds).string(), images, true)) << dds;
    TRgba64Pixels expected;
    std::string error;
    const bool png = reference.ends_with(".png");
    if (png) {
      ASSERT_TRUE(ReadWithPngtopam(suite / reference, dir.Path(), expected, error)) << error;
    } else {
      ASSERT_TRUE(ReadWithImageMagick16(suite / reference, dir.Path(), expected, error)) << error;
    }
    EXPECT_EQ(Difference64(Pixels64Of(images[0]), expected, 0), "") << dds;
  }
}

TEST(DdsConformance, LoadedPropertiesAndEverySurface) {
  struct TCase {
    const char* File;
    int32_t Levels;
    int32_t Width, Height;
  };
  const TCase cases[] = {
      {"hopper.dds", 8, 128, 128},
      {"ati1.dds", 7, 64, 64},
      {"bc5_unorm.dds", 9, 256, 256},
      {"dxt3-argb-8bbp-explicitalpha_MipMaps-1.dds", 1, 256, 256},
  };
  for (const TCase& c : cases) {
    TDynImageDataArray images;
    ASSERT_TRUE(Dds().LoadFile((TestDataDir() / "dds/pillow" / c.File).string(), images, false))
        << c.File;
    ASSERT_EQ(int32_t(images.size()), c.Levels) << c.File;
    for (int32_t l = 0; l < c.Levels; ++l) {
      EXPECT_EQ(images[size_t(l)].Width, std::max(1, c.Width >> l)) << c.File;
      EXPECT_EQ(images[size_t(l)].Height, std::max(1, c.Height >> l)) << c.File;
    }
    EXPECT_EQ(EngineGetOption(kOptionDdsLoadedMipMapCount), c.Levels) << c.File;
    EXPECT_EQ(EngineGetOption(kOptionDdsLoadedCubeMap), 0);
    EXPECT_EQ(EngineGetOption(kOptionDdsLoadedVolume), 0);
    EXPECT_EQ(EngineGetOption(kOptionDdsLoadedDepth), 1);
    // Only the first when asked for it.
    ASSERT_TRUE(Dds().LoadFile((TestDataDir() / "dds/pillow" / c.File).string(), images, true));
    EXPECT_EQ(images.size(), 1u);
  }
}

// ---- Reading ------------------------------------------------------------------------

TEST(DdsReader, PixelFormatDescriptionsBecomeTheirFormats) {
  struct TCase {
    const char* Name;
    TDdsLayout Layout;
    F Format;
    std::vector<TPixel32> Pixels;  // the pixel as A8R8G8B8
  };
  const TCase cases[] = {
      {"32-bit with alpha",
       {.PfFlags = 0x41, .Masks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, .Data = {1, 2, 3, 4}},
       F::A8R8G8B8,
       {{1, 2, 3, 4}}},
      {"32-bit, alpha mask without the alpha flag",
       {.Masks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, .Data = {1, 2, 3, 4}},
       F::X8R8G8B8,
       {{1, 2, 3, 255}}},
      {"24-bit", {.BitCount = 24, .Data = {1, 2, 3}}, F::R8G8B8, {{1, 2, 3, 255}}},
      {"16-bit 565",
       {.BitCount = 16, .Masks = {0xF800, 0x7E0, 0x1F, 0}, .Data = {0x1F, 0xF8}},
       F::R5G6B5,
       {{255, 0, 255, 255}}},
      {"16-bit 1555",
       {.PfFlags = 0x41,
        .BitCount = 16,
        .Masks = {0x7C00, 0x3E0, 0x1F, 0x8000},
        .Data = {0xE0, 0x83}},
       F::A1R5G5B5,
       {{0, 255, 0, 255}}},
      {"16-bit 4444",
       {.PfFlags = 0x41, .BitCount = 16, .Masks = {0xF00, 0xF0, 0xF, 0xF000}, .Data = {0x0F, 0x80}},
       F::A4R4G4B4,
       {{255, 0, 0, 136}}},
      {"8-bit 332",
       {.BitCount = 8, .Masks = {0xE0, 0x1C, 0x3, 0}, .Data = {0xE0}},
       F::R3G3B2,
       {{0, 0, 255, 255}}},
      // Red and blue exchanged: no engine layout, decoded by the masks.
      {"32-bit ABGR",
       {.PfFlags = 0x41, .Masks = {0xFF, 0xFF00, 0xFF0000, 0xFF000000}, .Data = {1, 2, 3, 4}},
       F::A8R8G8B8,
       {{3, 2, 1, 4}}},
      {"16-bit 2:10:10:10 cut to 8 bits",
       {.PfFlags = 0x41,
        .Masks = {0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000},
        .Data = {0xFF, 0x03, 0, 0xC0}},
       F::A8R8G8B8,
       {{0, 0, 255, 255}}},
      {"luminance 8 whatever its mask",
       {.PfFlags = 0x20000, .BitCount = 8, .Masks = {0xFF000000}, .Data = {77}},
       F::Gray8,
       {{77, 77, 77, 255}}},
      {"luminance 16",
       {.PfFlags = 0x20000, .BitCount = 16, .Masks = {0xFFFF}, .Data = {0, 0x80}},
       F::Gray16,
       {{127, 127, 127, 255}}},
      {"luminance and alpha 8:8",
       {.PfFlags = 0x20001, .BitCount = 16, .Masks = {0xFF, 0, 0, 0xFF00}, .Data = {77, 9}},
       F::A8Gray8,
       {{77, 77, 77, 9}}},
      {"luminance and alpha 4:4",
       {.PfFlags = 0x20001, .BitCount = 8, .Masks = {0x0F, 0, 0, 0xF0}, .Data = {0x3F}},
       F::A8Gray8,
       {{255, 255, 255, 51}}},
      {"alpha only",
       {.PfFlags = 0x2, .BitCount = 8, .Masks = {0, 0, 0, 0xFF}, .Data = {200}},
       F::A8R8G8B8,
       {{0, 0, 0, 200}}},
      {"masks all zero",
       {.BitCount = 24, .Masks = {0, 0, 0, 0}, .Data = {1, 2, 3}},
       F::X8R8G8B8,
       {{0, 0, 0, 255}}},
      {"four-character code 116",
       {.PfFlags = 4,
        .FourCC = "t\0\0\0",
        .Data = {0, 0, 0x80, 0x3F, 0, 0, 0, 0x3F, 0, 0, 0, 0, 0, 0, 0x80, 0x3F}},
       F::A32B32G32R32F,  // red 1.0, green 0.5, blue 0, alpha 1.0
       {{0, 127, 255, 255}}},
      {"DX10 R8G8B8A8",
       {.PfFlags = 4, .FourCC = "DX10", .Dx10 = Dx10Header(28), .Data = {1, 2, 3, 4}},
       F::A8R8G8B8,
       {{3, 2, 1, 4}}},
      {"DX10 B8G8R8X8",
       {.PfFlags = 4, .FourCC = "DX10", .Dx10 = Dx10Header(88), .Data = {1, 2, 3, 0}},
       F::X8R8G8B8,
       {{1, 2, 3, 255}}},
  };
  for (const TCase& c : cases) {
    const TImageData image = LoadBytes(Dds(), MakeDds(c.Layout));
    EXPECT_EQ(image.Format, c.Format) << c.Name;
    EXPECT_EQ(PixelsOf(image).Pixels, c.Pixels) << c.Name;
  }
}

TEST(DdsReader, PaletteEntriesAreRgbaAndComeFirst) {
  std::vector<uint8_t> data(1024, 0);
  data[4 * 7 + 0] = 10, data[4 * 7 + 1] = 20, data[4 * 7 + 2] = 30, data[4 * 7 + 3] = 40;
  data.insert(data.end(), {7, 0});
  const TImageData image =
      LoadBytes(Dds(), MakeDds({.Width = 2, .PfFlags = 0x20, .BitCount = 8, .Data = data}));
  ASSERT_EQ(image.Format, F::Index8);
  EXPECT_EQ(BytesOf(image), (std::vector<uint8_t>{7, 0}));
  EXPECT_EQ(image.palette()[7], (TPixel32{30, 20, 10, 40}));
}

TEST(DdsReader, CubeFacesAndVolumeSlicesInFileOrder) {
  // Gray 2x2 surfaces whose bytes all hold the surface's number.
  const auto surfaces = [](std::vector<int> sizes) {
    std::vector<uint8_t> data;
    for (size_t i = 0; i < sizes.size(); ++i) data.insert(data.end(), size_t(sizes[i]), uint8_t(i));
    return data;
  };
  struct TCase {
    const char* Name;
    TDdsLayout Layout;
    std::vector<int32_t> Widths;
    int32_t Cube, Volume, Levels, Depth;
  };
  const TCase cases[] = {
      {"cube map of three faces with two levels",
       {.Width = 2,
        .Height = 2,
        .Flags = 0x21007,
        .MipMapCount = 2,
        .PfFlags = 0x20000,
        .BitCount = 8,
        .Caps = 0x401008,
        .Caps2 = 0x200 | 0x400 | 0x1000 | 0x8000,
        .Data = surfaces({4, 1, 4, 1, 4, 1})},
       {2, 1, 2, 1, 2, 1},
       1,
       0,
       2,
       3},
      {"volume of three slices with two levels",
       {.Width = 2,
        .Height = 2,
        .Flags = 0x821007,
        .Depth = 3,
        .MipMapCount = 2,
        .PfFlags = 0x20000,
        .BitCount = 8,
        .Caps = 0x401008,
        .Caps2 = 0x200000,
        .Data = surfaces({4, 4, 4, 1})},
       {2, 2, 2, 1},
       0,
       1,
       2,
       3},
      {"DX10 array of two",
       {.Width = 2,
        .Height = 2,
        .PfFlags = 4,
        .FourCC = "DX10",
        .Dx10 = Dx10Header(61, 3, 0, 2),
        .Data = surfaces({4, 4})},
       {2, 2},
       0,
       0,
       1,
       2},
  };
  for (const TCase& c : cases) {
    const TDynImageDataArray images = LoadAllBytes(Dds(), MakeDds(c.Layout));
    ASSERT_EQ(images.size(), c.Widths.size()) << c.Name;
    for (size_t i = 0; i < images.size(); ++i) {
      EXPECT_EQ(images[i].Width, c.Widths[i]) << c.Name << " " << i;
      EXPECT_EQ(images[i].bits()[0], i) << c.Name << " " << i;
    }
    EXPECT_EQ(EngineGetOption(kOptionDdsLoadedCubeMap), c.Cube) << c.Name;
    EXPECT_EQ(EngineGetOption(kOptionDdsLoadedVolume), c.Volume) << c.Name;
    EXPECT_EQ(EngineGetOption(kOptionDdsLoadedMipMapCount), c.Levels) << c.Name;
    EXPECT_EQ(EngineGetOption(kOptionDdsLoadedDepth), c.Depth) << c.Name;
  }
}

TEST(DdsReader, BadHeadersAndShortDataAreRefusedWithAReason) {
  struct TCase {
    const char* Name;
    TDdsLayout Layout;
    const char* Reason;
  };
  const TCase cases[] = {
      {"zero width", {.Width = 0, .Data = {1, 2, 3, 4}}, "size"},
      {"beyond the pixel limit", {.Width = 1 << 15, .Height = 1 << 14}, "larger"},
      {"short pixel data", {.Width = 2, .Data = {1, 2, 3, 4, 5}}, "truncated"},
      {"mip levels short",
       {.Width = 2,
        .Height = 2,
        .Flags = 0x21007,
        .MipMapCount = 2,
        .PfFlags = 0x20000,
        .BitCount = 8,
        .Data = {1, 2, 3, 4}},
       "truncated"},
      {"palette short",
       {.PfFlags = 0x20, .BitCount = 8, .Data = std::vector<uint8_t>(1000)},
       "truncated"},
      {"bit count 12", {.BitCount = 12, .Data = {1, 2}}, "12 bits"},
      {"luminance 32", {.PfFlags = 0x20000, .Data = {1, 2, 3, 4}}, "luminance"},
      {"YUV", {.PfFlags = 0x200, .Data = {1, 2, 3, 4}}, "YUV"},
      {"no description", {.PfFlags = 0x8, .Data = {1, 2, 3, 4}}, "flags 0x8"},
      {"unknown code", {.PfFlags = 4, .FourCC = "ABCD", .Data = {1, 2, 3, 4}}, "\"ABCD\""},
      {"signed BC4", {.PfFlags = 4, .FourCC = "BC4S", .Data = std::vector<uint8_t>(8)}, "\"BC4S\""},
      {"DX10 BC7",
       {.PfFlags = 4, .FourCC = "DX10", .Dx10 = Dx10Header(98), .Data = std::vector<uint8_t>(16)},
       "DXGI format 98"},
      {"DX10 header short", {.PfFlags = 4, .FourCC = "DX10", .Dx10 = {1, 2, 3}}, "extended header"},
      {"cube map without faces", {.Caps2 = 0x200, .Data = {1, 2, 3, 4}}, "no faces"},
      {"DX10 array beyond reason",
       {.PfFlags = 4, .FourCC = "DX10", .Dx10 = Dx10Header(61, 3, 0, 1u << 30), .Data = {1}},
       "too large"},
      {"volume beyond reason",
       {.Flags = 0x801007,
        .Depth = 1u << 30,
        .PfFlags = 0x20000,
        .BitCount = 8,
        .Caps2 = 0x200000,
        .Data = {1}},
       "too large"},
  };
  for (const TCase& c : cases) {
    const std::string error =
        ErrorOf<EImagingError>([&] { LoadAllBytes(Dds(), MakeDds(c.Layout)); });
    EXPECT_NE(error.find(c.Reason), std::string::npos) << c.Name << ": " << error;
  }
  // The content test wants the texture capability and the header size.
  EXPECT_TRUE(ContentAccepted(Dds(), MakeDds({.Data = {1, 2, 3, 4}})));
  EXPECT_FALSE(ContentAccepted(Dds(), MakeDds({.Caps = 0, .Data = {1, 2, 3, 4}})));
  std::vector<uint8_t> wrongSize = MakeDds({.Data = {1, 2, 3, 4}});
  wrongSize[4] = 100;
  EXPECT_FALSE(ContentAccepted(Dds(), wrongSize));
}

TEST(DdsReader, DetectedByContent) {
  const std::vector<uint8_t> bytes = SaveBytes(Dds(), Filled(3, 2, 0xFF102030));
  TMemoryBlockStream stream(bytes.data(), int64_t(bytes.size()));
  EXPECT_EQ(DetectStreamFormat(stream), &Dds());
  TImageData image;
  ASSERT_TRUE(ImageLoadStream(stream, image));
  EXPECT_EQ(ImageGetPixel32(image, 2, 1), (TPixel32{0x30, 0x20, 0x10, 0xFF}));
}

// ---- Writing ------------------------------------------------------------------------

TEST(DdsWriter, HeaderOfAnArgbImage) {
  const std::vector<uint8_t> b = SaveBytes(Dds(), Filled(5, 3, 0x80112233));
  EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "DDS ");
  EXPECT_EQ(Le32(b, 4), 124u);
  EXPECT_EQ(Le32(b, kFlags), 0x81007u);
  EXPECT_EQ(Le32(b, kHeight), 3u);
  EXPECT_EQ(Le32(b, kWidth), 5u);
  EXPECT_EQ(Le32(b, kLinearSize), 60u);
  EXPECT_EQ(Le32(b, kDepth), 0u);
  EXPECT_EQ(Le32(b, kMipMapCount), 0u);
  EXPECT_EQ(Le32(b, 76), 32u);
  EXPECT_EQ(Le32(b, kPfFlags), 0x41u);
  EXPECT_EQ(Le32(b, kBitCount), 32u);
  EXPECT_EQ(Le32(b, kMasks), 0xFF0000u);
  EXPECT_EQ(Le32(b, kMasks + 4), 0xFF00u);
  EXPECT_EQ(Le32(b, kMasks + 8), 0xFFu);
  EXPECT_EQ(Le32(b, kMasks + 12), 0xFF000000u);
  EXPECT_EQ(Le32(b, kCaps), 0x1000u);
  EXPECT_EQ(Le32(b, kCaps2), 0u);
  EXPECT_EQ(b.size(), 128u + 60u);
  EXPECT_EQ(Le32(b, 128), 0x80112233u);
}

TEST(DdsWriter, EveryFormatDescribesItselfAndReadsBack) {
  struct TCase {
    F Source;
    F Written;
    uint32_t PfFlags;
    uint32_t Code;  // or the bit count
    uint32_t Masks[4];
  };
  const TCase cases[] = {
      {F::Gray8, F::Gray8, 0x20000, 8, {0xFF, 0, 0, 0}},
      {F::A8Gray8, F::A8Gray8, 0x20001, 16, {0xFF, 0, 0, 0xFF00}},
      {F::Gray16, F::Gray16, 0x20000, 16, {0xFFFF, 0, 0, 0}},
      {F::R3G3B2, F::R3G3B2, 0x40, 8, {0xE0, 0x1C, 0x3, 0}},
      {F::R5G6B5, F::R5G6B5, 0x40, 16, {0xF800, 0x7E0, 0x1F, 0}},
      {F::A1R5G5B5, F::A1R5G5B5, 0x41, 16, {0x7C00, 0x3E0, 0x1F, 0x8000}},
      {F::A4R4G4B4, F::A4R4G4B4, 0x41, 16, {0xF00, 0xF0, 0xF, 0xF000}},
      {F::X1R5G5B5, F::X1R5G5B5, 0x40, 16, {0x7C00, 0x3E0, 0x1F, 0}},
      {F::X4R4G4B4, F::X4R4G4B4, 0x40, 16, {0xF00, 0xF0, 0xF, 0}},
      {F::R8G8B8, F::R8G8B8, 0x40, 24, {0xFF0000, 0xFF00, 0xFF, 0}},
      {F::A8R8G8B8, F::A8R8G8B8, 0x41, 32, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}},
      {F::X8R8G8B8, F::X8R8G8B8, 0x40, 32, {0xFF0000, 0xFF00, 0xFF, 0}},
      {F::A16B16G16R16, F::A16B16G16R16, 4, 36, {}},
      {F::R32F, F::R32F, 4, 114, {}},
      {F::A32B32G32R32F, F::A32B32G32R32F, 4, 116, {}},
      {F::R16F, F::R16F, 4, 111, {}},
      {F::A16B16G16R16F, F::A16B16G16R16F, 4, 113, {}},
      {F::DXT1, F::DXT1, 4, 0x31545844, {}},
      {F::DXT3, F::DXT3, 4, 0x33545844, {}},
      {F::DXT5, F::DXT5, 4, 0x35545844, {}},
      // Conversions for writing.
      {F::Index8, F::A8R8G8B8, 0x41, 32, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}},
      {F::ATI1N, F::A8R8G8B8, 0x41, 32, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}},
      {F::A16R16G16B16F, F::A16B16G16R16F, 4, 113, {}},
      {F::A32R32G32B32F, F::A32B32G32R32F, 4, 116, {}},
      {F::A16Gray16, F::A8Gray8, 0x20001, 16, {0xFF, 0, 0, 0xFF00}},
      {F::Gray32, F::Gray16, 0x20000, 16, {0xFFFF, 0, 0, 0}},
      {F::R16G16B16, F::A16B16G16R16, 4, 36, {}},
      {F::X5R1G1B1, F::X8R8G8B8, 0x40, 32, {0xFF0000, 0xFF00, 0xFF, 0}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(FormatName(c.Source));
    TImageData image = TestImage(9, 6, c.Source, 5);
    FillRandomOpaquePalette(image, 2);
    const std::vector<uint8_t> b = SaveBytes(Dds(), image);
    EXPECT_EQ(Le32(b, kPfFlags), c.PfFlags);
    EXPECT_EQ(Le32(b, c.PfFlags == 4 ? kFourCC : kBitCount), c.Code);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(Le32(b, kMasks + 4 * size_t(i)), c.Masks[i]) << i;
    const TImageData back = LoadBytes(Dds(), b);
    ASSERT_EQ(back.Format, c.Written);
    TImageData expected;
    ImageClone(image, expected);
    ImageConvert(expected, c.Written);
    EXPECT_EQ(BytesOf(back), BytesOf(expected));
  }
}

TEST(DdsWriter, ImageMagickReadsWhatWeWrite) {
  ASSERT_TRUE(HaveTool("convert")) << "ImageMagick's convert is needed as reference reader";
  TTempFolder dir;
  for (F format : {F::A8R8G8B8, F::X8R8G8B8, F::R8G8B8, F::R5G6B5, F::A1R5G5B5, F::A4R4G4B4,
                   F::Gray8, F::DXT1, F::DXT3, F::DXT5}) {
    SCOPED_TRACE(FormatName(format));
    const TImageData image = TestImage(16, 8, format, 9);
    const fs::path file = dir / "out.dds";
    WriteFileBytes(file, SaveBytes(Dds(), image));
    TRgbaPixels theirs;
    std::string error;
    ASSERT_TRUE(ReadWithImageMagick(file, dir.Path(), theirs, error)) << error;
    std::string why;
    EXPECT_TRUE(SameAtPrecision(image, theirs, GetFormatDescriptor(format)->HasAlpha, why)) << why;
  }
}

TEST(DdsWriter, MipLevelsAreResizedAndConvertedToTheFirstImage) {
  TDynImageDataArray images;
  images.push_back(ImageWithRuns(8, 4, F::A8R8G8B8, 1, 3));
  images.push_back(ImageWithRuns(4, 2, F::R8G8B8, 2, 3));    // right size, other format
  images.push_back(ImageWithRuns(5, 5, F::A8R8G8B8, 3, 3));  // wrong size
  images.push_back(Filled(1, 1, 0xFF0000FF));
  images.push_back(Filled(1, 1, 0xFF00FF00));  // beyond the levels an 8x4 image has
  const std::vector<uint8_t> b = SaveBytes(Dds(), images);
  EXPECT_EQ(Le32(b, kFlags), 0xA1007u);
  EXPECT_EQ(Le32(b, kCaps), 0x401008u);
  EXPECT_EQ(Le32(b, kMipMapCount), 4u);
  const TDynImageDataArray back = LoadAllBytes(Dds(), b);
  ASSERT_EQ(back.size(), 4u);
  TImageData level1;
  ImageClone(images[1], level1);
  ImageConvert(level1, F::A8R8G8B8);
  EXPECT_EQ(BytesOf(back[1]), BytesOf(level1));
  TImageData level2;
  ImageResizeTo(images[2], 2, 1, TResizeFilter::Bilinear, level2);
  EXPECT_EQ(BytesOf(back[2]), BytesOf(level2));
  EXPECT_EQ(BytesOf(back[3]), BytesOf(images[3]));

  // Block formats are resized through their pixels and encoded again.
  TDynImageDataArray blocks;
  blocks.push_back(TestImage(8, 8, F::DXT1, 4));
  blocks.push_back(TestImage(3, 3, F::DXT5, 5));
  const TDynImageDataArray blocksBack = LoadAllBytes(Dds(), SaveBytes(Dds(), blocks));
  ASSERT_EQ(blocksBack.size(), 2u);
  TImageData expected;
  ImageClone(blocks[1], expected);
  ImageConvert(expected, F::A8R8G8B8);
  ImageResize(expected, 4, 4, TResizeFilter::Bilinear);
  ImageConvert(expected, F::DXT1);
  EXPECT_EQ(blocksBack[1].Format, F::DXT1);
  EXPECT_EQ(BytesOf(blocksBack[1]), BytesOf(expected));
}

TEST(DdsWriter, CubeMapsAndVolumesNeedEnoughImages) {
  TDynImageDataArray six;
  for (uint32_t i = 0; i < 6; ++i) six.push_back(Filled(4, 4, 0xFF000000 | i));
  struct TCase {
    const char* Name;
    TOptionValues Options;
    size_t Images;
    uint32_t Flags, Caps, Caps2, Depth, MipMaps;
    size_t Surfaces;
  };
  const TCase cases[] = {
      {"cube of six faces",
       {{kOptionDdsSaveCubeMap, 1}, {kOptionDdsSaveDepth, 6}},
       6,
       0x81007,
       0x1008,
       0xFE00,
       0,
       0,
       6},
      {"cube of three faces, two levels",
       {{kOptionDdsSaveCubeMap, 1}, {kOptionDdsSaveDepth, 3}, {kOptionDdsSaveMipMapCount, 2}},
       6,
       0xA1007,
       0x401008,
       0x1E00,
       0,
       2,
       6},
      {"cube short of images: a texture",
       {{kOptionDdsSaveCubeMap, 1}, {kOptionDdsSaveDepth, 6}},
       5,
       0xA1007,
       0x401008,
       0,
       0,
       3,
       3},
      {"cube wins over volume",
       {{kOptionDdsSaveCubeMap, 1}, {kOptionDdsSaveVolume, 1}, {kOptionDdsSaveDepth, 2}},
       2,
       0x81007,
       0x1008,
       0x0E00,
       0,
       0,
       2},
      {"volume of four slices, two levels",
       {{kOptionDdsSaveVolume, 1}, {kOptionDdsSaveDepth, 4}, {kOptionDdsSaveMipMapCount, 2}},
       6,
       0x8A1007,
       0x401008,
       0x200000,
       4,
       2,
       6},
      {"volume short of images: a texture",
       {{kOptionDdsSaveVolume, 1}, {kOptionDdsSaveDepth, 4}, {kOptionDdsSaveMipMapCount, 2}},
       5,
       0xA1007,
       0x401008,
       0,
       0,
       3,
       3},
      {"counts below 1 become 1",
       {{kOptionDdsSaveVolume, 1}, {kOptionDdsSaveDepth, -3}, {kOptionDdsSaveMipMapCount, 0}},
       1,
       0x881007,
       0x1008,
       0x200000,
       1,
       0,
       1},
  };
  for (const TCase& c : cases) {
    const std::vector<uint8_t> b = SaveBytes(Dds(), TImageSpan(six.data(), c.Images), c.Options);
    EXPECT_EQ(Le32(b, kFlags), c.Flags) << c.Name;
    EXPECT_EQ(Le32(b, kCaps), c.Caps) << c.Name;
    EXPECT_EQ(Le32(b, kCaps2), c.Caps2) << c.Name;
    EXPECT_EQ(Le32(b, kDepth), c.Depth) << c.Name;
    EXPECT_EQ(Le32(b, kMipMapCount), c.MipMaps) << c.Name;
    const TDynImageDataArray back = LoadAllBytes(Dds(), b);
    EXPECT_EQ(back.size(), c.Surfaces) << c.Name;
    if (!back.empty()) {
      EXPECT_EQ(ImageGetPixel32(back.back(), 0, 0).B, c.Surfaces - 1) << c.Name;
    }
  }
}

}  // namespace
}  // namespace pixolan::imaging
