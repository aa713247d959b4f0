#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "imaging/formats/TiffFormat.h"
#include "imaging/image/Imaging.h"
#include "imaging/io/Options.h"
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

TTiffFileFormat& Tiff() {
  return *FindFileFormatByClass<TTiffFileFormat>();
}

// ---- Files built byte by byte ---------------------------------------------------------

// One IFD entry of a little-endian classic TIFF: SHORT or LONG values; a value that does
// not fit the entry is placed after the directory.
struct TTag {
  uint16_t Id;
  uint16_t Type;  // 3 SHORT, 4 LONG
  std::vector<uint32_t> Values;
};

// A little-endian TIFF with one directory at offset 8 holding `tags` (sorted by the caller),
// followed by the out-of-line values and then `data`. Offsets into `data` are given
// relative to its start; DataOffset() tells where it lands.
struct TTiffBuilder {
  std::vector<TTag> Tags;
  std::vector<uint8_t> Data;
  uint32_t NextIfd = 0;

  size_t OutOfLineBytes() const {
    size_t n = 0;
    for (const TTag& t : Tags) {
      const size_t bytes = t.Values.size() * (t.Type == 3 ? 2 : 4);
      if (bytes > 4) n += bytes;
    }
    return n;
  }
  uint32_t DataOffset() const { return uint32_t(8 + 2 + Tags.size() * 12 + 4 + OutOfLineBytes()); }

  std::vector<uint8_t> Build() const {
    std::vector<uint8_t> b = {'I', 'I', 42, 0};
    Add32(b, 8);
    Add16(b, uint32_t(Tags.size()));
    size_t extra = 8 + 2 + Tags.size() * 12 + 4;
    std::vector<uint8_t> outOfLine;
    for (const TTag& t : Tags) {
      Add16(b, t.Id);
      Add16(b, t.Type);
      Add32(b, uint32_t(t.Values.size()));
      std::vector<uint8_t> values;
      for (uint32_t v : t.Values) t.Type == 3 ? Add16(values, v) : Add32(values, v);
      if (values.size() <= 4) {
        values.resize(4, 0);
        b.insert(b.end(), values.begin(), values.end());
      } else {
        Add32(b, uint32_t(extra + outOfLine.size()));
        outOfLine.insert(outOfLine.end(), values.begin(), values.end());
      }
    }
    Add32(b, NextIfd);
    b.insert(b.end(), outOfLine.begin(), outOfLine.end());
    b.insert(b.end(), Data.begin(), Data.end());
    return b;
  }
};

// A gray 8-bit page of width x height with one strip of `data` compressed by `compression`.
TTiffBuilder GrayPage(uint32_t width, uint32_t height, uint16_t compression,
                      const std::vector<uint8_t>& data) {
  TTiffBuilder t;
  t.Data = data;
  t.Tags = {{256, 4, {width}},       {257, 4, {height}}, {258, 3, {8}},
            {259, 3, {compression}}, {262, 3, {1}},      {273, 4, {0}},
            {277, 3, {1}},           {278, 4, {height}}, {279, 4, {uint32_t(data.size())}}};
  t.Tags[5].Values[0] = t.DataOffset();
  return t;
}

// ---- Content test ---------------------------------------------------------------------

TEST(TiffFormat, ContentTestTakesBothByteOrdersAndBigTiff) {
  const struct {
    std::vector<uint8_t> Bytes;
    bool Accepted;
  } cases[] = {
      {{'I', 'I', 42, 0, 8, 0, 0, 0}, true},
      {{'M', 'M', 0, 42, 0, 0, 0, 8}, true},
      {{'I', 'I', 43, 0, 8, 0, 0, 0}, true},
      {{'M', 'M', 0, 43, 0, 8, 0, 0}, true},
      {{'I', 'I', 0, 42, 8, 0, 0, 0}, false},
      {{'M', 'M', 42, 0, 0, 0, 0, 8}, false},
      {{'I', 'I', 42}, false},
      {{'B', 'M', 42, 0}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.Bytes));
    EXPECT_EQ(ContentAccepted(Tiff(), c.Bytes), c.Accepted);
  }
}

// ---- Conformance corpus ---------------------------------------------------------------

// Refused by libtiff itself (broken directories and data) or by the size limits.
const std::map<std::string, std::string> kRefusedCorpusFiles = {
    {"tiff/pillow/libtiff_segfault.tif", "65535 samples a pixel: too large to decode"},
    {"tiff/pillow/oom-225817ca0f8c663be7ab4b9e717b02c661e66834.tif", "directory unreadable"},
    {"tiff/pillow/seek_too_large.tif", "directory beyond the end of the file"},
    {"tiff/pillow/crash-0c7e0e8e11ce787078f00b5b0ca409a167f070e0.tif", "strip beyond the file"},
    {"tiff/pillow/crash-0e16d3bfb83be87356d026d66919deaefca44dac.tif", "strip beyond the file"},
    {"tiff/pillow/crash-1152ec2d1a1a71395b6f2ce6721c38924d025bf3.tif", "strip beyond the file"},
    {"tiff/pillow/crash-1185209cf7655b5aed8ae5e77784dfdd18ab59e9.tif", "strip beyond the file"},
    {"tiff/pillow/crash-338516dbd2f0e83caddb8ce256c22db3bd6dc40f.tif", "strip beyond the file"},
    {"tiff/pillow/crash-4f085cc12ece8cde18758d42608bed6a2a2cfb1c.tif", "strip beyond the file"},
    {"tiff/pillow/crash-f46f5b2f43c370fe65706c11449f567ecc345e74.tif", "strip beyond the file"},
    {"tiff/pillow/crash-86214e58da443d2b80820cff9677a38a33dcbbca.tif", "tile beyond the file"},
    {"tiff/image-tiff/invalid/colormap-shl-overflow.tiff", "directory unreadable"},
    {"tiff/image-tiff/invalid/graydepth-invert-overflow-5a0aad5024cc4ff3.tiff",
     "directory unreadable"},
    {"tiff/image-tiff/invalid/graydepth-invert-overflow-9f2f479685f84884.tiff",
     "directory unreadable"},
    {"tiff/image-tiff/invalid/sample-get-lzw-stuck.tiff", "LZW data end early"},
};

TEST(TiffCorpus, EveryFileLoadsOrIsRefused) {
  std::map<std::string, std::string> tif, tiff;
  for (const auto& [name, why] : kRefusedCorpusFiles)
    (name.ends_with(".tif") ? tif : tiff)[name] = why;
  ExpectCorpusLoadsOrIsRefused(Tiff(), "tiff", ".tif", 60, tif);
  ExpectCorpusLoadsOrIsRefused(Tiff(), "tiff", ".tiff", 150, tiff);
}

// How a corpus file's pixels are checked.
enum class TOracle {
  ImageMagick,  // ImageMagick's reading of the file, 16 bits a sample
  Tiff2Rgba,    // libtiff's tiff2rgba, compared with alpha applied (it premultiplies)
  Formula,      // the value pattern the "seq" files were generated with
  None,         // no independent reader takes the file (reason in the table)
};

// Files ImageMagick reads differently, with the reason; tiff2rgba is their oracle.
const std::map<std::string, std::string> kTiff2RgbaFiles = {
    {"tiff/pillow/g4_orientation_2.tif", "ImageMagick ignores Orientation"},
    {"tiff/pillow/g4_orientation_3.tif", "ImageMagick ignores Orientation"},
    {"tiff/pillow/g4_orientation_4.tif", "ImageMagick ignores Orientation"},
    {"tiff/pillow/g4_orientation_6.tif", "ImageMagick ignores Orientation"},
    {"tiff/pillow/g4_orientation_7.tif", "ImageMagick ignores Orientation"},
    {"tiff/pillow/g4_orientation_8.tif", "ImageMagick ignores Orientation"},
    {"tiff/pillow/hopper.Lab.tif", "another CIELab conversion"},
    {"tiff/pillow/tiff_tiled_cmyk_jpeg.tif", "ImageMagick fails"},
    {"tiff/pillow/tiff_strip_planar_16bit_RGBa.tiff", "ImageMagick keeps associated alpha"},
    {"tiff/pillow/tiff_tiled_planar_16bit_RGBa.tiff", "ImageMagick keeps associated alpha"},
    {"tiff/image-tiff/cmyk-4c-8b.tiff", "ImageMagick keeps the CMYK file's alpha"},
    {"tiff/image-tiff/extra_bits_gray_8b.tiff",
     "ImageMagick takes the unspecified extra sample of a gray page for alpha"},
    {"tiff/libtiff/minisblack-2c-8b-alpha.tiff", "ImageMagick ignores the alpha plane"},
    {"tiff/libtiff/ojpeg_chewey_subsamp21_multi_strip.tiff", "another old-JPEG decoder"},
    {"tiff/libtiff/ojpeg_single_strip_no_rowsperstrip.tiff", "ImageMagick fails"},
    {"tiff/libtiff/ojpeg_zackthecat_subsamp22_single_strip.tiff", "another old-JPEG decoder"},
    {"tiff/libtiff/testfax3_bug_513.tiff", "ImageMagick fails"},
};

// Files no independent reader on this machine decodes.
const std::map<std::string, std::string> kUncheckedFiles = {
    {"tiff/image-tiff/big_g4.tif", "1 x 65537 pixels: beyond ImageMagick's size policy"},
    {"tiff/image-tiff/gradient-1c-64b.tiff", "64-bit integers: ImageMagick and tiff2rgba fail"},
    {"tiff/image-tiff/gradient-3c-64b.tiff", "64-bit integers: ImageMagick and tiff2rgba fail"},
    // ImageMagick reads signed samples as unsigned bit patterns; these are shifted to
    // 0..max here (the "seq" files check that by their formula).
    {"tiff/image-tiff/int16.tif", "signed samples"},
    {"tiff/image-tiff/int16_zstd.tif", "signed samples"},
    {"tiff/image-tiff/int8.tif", "signed samples"},
    {"tiff/image-tiff/int16_rgb.tif", "signed samples"},
    {"tiff/image-tiff/int8_rgb.tif", "signed samples"},
    {"tiff/image-tiff/minisblack-1c-i16b.tiff", "signed samples"},
    {"tiff/image-tiff/minisblack-1c-i8b.tiff", "signed samples"},
    {"tiff/image-tiff/tiled-cmyk-i8.tif", "signed samples"},
    {"tiff/pillow/separate_planar_extra_samples.tiff", "signed samples"},
    {"tiff/image-tiff/tiled-oversize-gray-i8.tif", "signed samples"},
    // ImageMagick does not invert MinIsWhite samples of these depths; libtiff's RGBA
    // reader does for the depths it knows, and so does the engine for all.
    {"tiff/image-tiff/miniswhite-1c-12b.tiff", "MinIsWhite of odd depth"},
    {"tiff/image-tiff/miniswhite-1c-3b.tiff", "MinIsWhite of odd depth"},
    {"tiff/image-tiff/miniswhite-1c-6b.tiff", "MinIsWhite of odd depth"},
};

TOracle OracleOf(const std::string& name) {
  if (kTiff2RgbaFiles.count(name)) return TOracle::Tiff2Rgba;
  if (kUncheckedFiles.count(name)) return TOracle::None;
  const std::string file = fs::path(name).filename().string();
  if (file.starts_with("seq-") && file.find("palette") == std::string::npos &&
      !file.starts_with("seq-4c"))
    return TOracle::Formula;
  return TOracle::ImageMagick;
}

// The value (0..1) of channel c (0 red, 1 green, 2 blue) at pixel index i of a "seq" file:
// gray (i mod 2^bits), contiguous RGB ((3i + c) mod 2^bits), planar RGB
// ((i + 100 c) mod 2^bits), signed ((n mod 256) - 128 shifted to 0..max), float i / 255
// (gray) or (3i + c) / 767 (RGB).
double SeqValue(const std::string& file, int64_t i, int c) {
  // "seq-<channels>c-<i?><bits><b|f>-...", e.g. seq-3c-i16-..., seq-1c-32f-...
  const int channels = file[4] - '0';
  size_t at = 7;
  const bool isSigned = file[at] == 'i';
  if (isSigned) ++at;
  int bits = 0;
  while (at < file.size() && file[at] >= '0' && file[at] <= '9')
    bits = bits * 10 + (file[at++] - '0');
  const bool isFloat = at < file.size() && file[at] == 'f';
  const bool planar = file.find("planar") != std::string::npos;
  const int64_t n = channels == 1 ? i : planar ? i + 100 * c : 3 * i + c;
  if (isFloat) return channels == 1 ? double(n) / 255 : double(n) / 767;
  if (isSigned) {
    const double max = std::pow(2.0, bits) - 1;
    return (double((n % 256) - 128) + std::pow(2.0, bits - 1)) / max;
  }
  const double max = std::pow(2.0, bits) - 1;
  return double(uint64_t(n) % (uint64_t(1) << bits)) / max;
}

std::string CompareWithFormula(const TImageData& image, const std::string& file) {
  const TRgba64Pixels ours = Pixels64Of(image);
  const bool oneFloatChannel = image.Format == F::R32F;
  // The signed three-sample files are stored as min-is-black with two extra samples.
  const bool gray = file.starts_with("seq-1c") || file.starts_with("seq-3c-i");
  for (int64_t i = 0; i < 256; ++i) {
    for (int c = 0; c < 3; ++c) {
      if (oneFloatChannel && c > 0) break;
      const double expected = SeqValue(file, i, gray ? 0 : c);
      const int channel = 2 - c;  // B, G, R in memory
      const double got = ours.Pixels[size_t(i)][channel] / 65535.0;
      // 8-bit results are within half a step of 1/255; deeper ones of 1/65535.
      const double tolerance =
          image.Format == F::Gray8 || image.Format == F::A8R8G8B8 || image.Format == F::R8G8B8
              ? 0.5 / 255 + 1e-6
              : 1.0 / 65535 + 1e-6;
      if (std::abs(std::min(expected, 1.0) - got) > tolerance)
        return "pixel " + std::to_string(i) + " channel " + std::to_string(c) + ": expected " +
               std::to_string(expected) + ", got " + std::to_string(got);
    }
  }
  return "";
}

// tiff2rgba premultiplies alpha; both sides are compared premultiplied, 8 bits a sample.
std::string CompareWithTiff2Rgba(const TImageData& image, const fs::path& file,
                                 const TTempFolder& temp) {
  const fs::path rgba = temp / (file.filename().string() + ".rgba.tif");
  if (!RunCommand("tiff2rgba -c none " + Quote(file) + " " + Quote(rgba), temp / "tiff2rgba.log"))
    return "tiff2rgba failed";
  // tiff2rgba's output is one plain RGBA strip layout; ImageMagick only converts it to PAM.
  const fs::path pam = temp / (file.filename().string() + ".pam");
  if (!RunCommand("convert " + Quote(rgba) + " -depth 8 " + Quote("pam:" + pam.string()),
                  temp / "convert.log"))
    return "convert failed";
  const std::vector<uint8_t> bytes = ReadFileBytes(pam);
  const std::string text(bytes.begin(), bytes.end());
  const size_t end = text.find("ENDHDR\n");
  const TRgbaPixels ours = PixelsOf(image);
  const size_t count = size_t(ours.Width) * size_t(ours.Height);
  if (end == std::string::npos || text.find("DEPTH 4") == std::string::npos ||
      bytes.size() < end + 7 + count * 4)
    return "unexpected tiff2rgba result";
  const uint8_t* theirs = bytes.data() + end + 7;
  for (size_t i = 0; i < count; ++i) {
    const TPixel32 o = ours.Pixels[i];
    const uint8_t* t = theirs + 4 * i;
    // ImageMagick undid the premultiplication on reading; redo it on both sides.
    const auto pre = [](int v, int a) { return (v * a + 127) / 255; };
    const int oursRgb[3] = {o.R, o.G, o.B};
    if (std::abs(int(o.A) - int(t[3])) > 1)
      return "pixel " + std::to_string(i) + " alpha: ours " + std::to_string(o.A) + ", theirs " +
             std::to_string(t[3]);
    for (int c = 0; c < 3; ++c)
      if (std::abs(pre(oursRgb[c], o.A) - pre(t[c], t[3])) > 2)
        return "pixel " + std::to_string(i) + " channel " + std::to_string(c) + ": ours " +
               std::to_string(oursRgb[c]) + ", theirs " + std::to_string(t[c]);
  }
  return "";
}

TEST(TiffCorpus, PixelsAgreeWithIndependentReaders) {
  TTempFolder temp;
  // Malformed files have no reference; they only must not crash (the test above).
  const std::map<std::string, std::string> invalid = InvalidExpectations();
  size_t checked = 0;
  for (const char* ext : {".tif", ".tiff"}) {
    for (const fs::path& file : CorpusFiles("tiff", ext)) {
      const std::string name = CorpusName(file);
      if (invalid.count(name)) continue;
      SCOPED_TRACE(name);
      TDynImageDataArray images;
      ASSERT_TRUE(Tiff().LoadFile(file.string(), images, true));
      const TImageData& image = images[0];
      std::string difference;
      switch (OracleOf(name)) {
        case TOracle::None:
          continue;
        case TOracle::Formula:
          difference = CompareWithFormula(image, file.filename().string());
          break;
        case TOracle::Tiff2Rgba:
          difference = CompareWithTiff2Rgba(image, file, temp);
          break;
        case TOracle::ImageMagick: {
          TRgba64Pixels theirs;
          std::string error;
          ASSERT_TRUE(ReadWithImageMagick16(file, temp.Path(), theirs, error)) << error;
          TRgba64Pixels ours = Pixels64Of(image);
          // One-channel float images hold red only; the other reader shows gray.
          if (image.Format == F::R32F || image.Format == F::R16F)
            for (size_t i = 0; i < ours.Pixels.size(); ++i)
              ours.Pixels[i].G = ours.Pixels[i].B = ours.Pixels[i].R;
          // Samples scaled from other depths may round differently by one 8-bit step.
          difference = Difference64(ours, theirs, 257);
          break;
        }
      }
      EXPECT_EQ(difference, "");
      ++checked;
    }
  }
  EXPECT_GE(checked, 150u);
}

TEST(TiffCorpus, EveryPageOfMultiPageFilesLoads) {
  const struct {
    const char* File;
    size_t Pages;
  } cases[] = {
      {"tiff/pillow/multipage.tiff", 3},
      {"tiff/libtiff/test_two_ifds.tif", 2},
      {"tiff/image-tiff/seq/seq-1c-8b-multipage-adeefdcc.tiff", 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.File);
    TDynImageDataArray images;
    ASSERT_TRUE(Tiff().LoadFile((TestDataDir() / c.File).string(), images, false));
    EXPECT_EQ(images.size(), c.Pages);
  }
  // Third page of the generated file: value (y * 16 + x) + 2 * 50.
  TDynImageDataArray pages;
  Tiff().LoadFile((TestDataDir() / cases[2].File).string(), pages, false);
  ASSERT_EQ(pages[2].Format, F::Gray8);
  EXPECT_EQ(pages[2].bits()[0], 100);
  EXPECT_EQ(pages[2].bits()[17], 117);
}

// Directory chains that loop end: every page is read once, or the load is refused.
TEST(TiffCorpus, LoopingDirectoryChainsEnd) {
  for (const char* file :
       {"tiff/libtiff/test_ifd_loop_to_first.tif", "tiff/libtiff/test_ifd_loop_to_self.tif",
        "tiff/libtiff/test_ifd_loop_subifd.tif"}) {
    SCOPED_TRACE(file);
    TDynImageDataArray images;
    try {
      Tiff().LoadFile((TestDataDir() / file).string(), images, false);
      EXPECT_LE(images.size(), 11u);
    } catch (const EImagingError& e) {
      EXPECT_NE(std::string(e.what()).find("TIFF"), std::string::npos) << e.what();
    }
  }
}

// ---- Writing --------------------------------------------------------------------------

const F kWritableFormats[] = {F::Index8,    F::Gray8,        F::A8Gray8, F::Gray16,
                              F::Gray32,    F::A16Gray16,    F::R8G8B8,  F::A8R8G8B8,
                              F::R16G16B16, F::A16R16G16B16, F::R32F,    F::A32R32G32B32F,
                              F::R16F,      F::A16R16G16B16F};

bool WrittenAsJpeg(F format, int32_t compression) {
  return compression == kTiffCompressionJpeg && (format == F::Gray8 || format == F::R8G8B8);
}

// Smooth enough for JPEG, varied enough for the lossless schemes.
TImageData TestPicture(F format, int32_t width, int32_t height) {
  TImageData image = ImageWithRuns(width, height, format, 7, 5);
  FillRandomOpaquePalette(image, 3);
  if (format == F::Gray8 || format == F::R8G8B8) {
    const size_t bpp = size_t(GetFormatDescriptor(format)->BytesPerPixel);
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x)
        for (size_t c = 0; c < bpp; ++c)
          image.bits()[(size_t(y) * size_t(width) + size_t(x)) * bpp + c] =
              uint8_t((x * 3 + y * 2 + int(c) * 40) & 0xFF);
  }
  return image;
}

std::string TiffInfo(const fs::path& file, const TTempFolder& temp) {
  const fs::path out = temp / "tiffinfo.txt";
  if (!RunCommand("tiffinfo " + Quote(file) + " >" + Quote(out), temp / "tiffinfo.log"))
    return "tiffinfo failed: " + ReadFileText(temp / "tiffinfo.log");
  const std::string log = ReadFileText(temp / "tiffinfo.log");
  if (!log.empty()) return "tiffinfo complained: " + log;
  return ReadFileText(out);
}

TEST(TiffFormat, EveryWritableFormatAndCompressionReadsBack) {
  TTempFolder temp;
  for (const F format : kWritableFormats) {
    for (int32_t compression = 0; compression <= 4; ++compression) {
      SCOPED_TRACE(FormatName(format) + " compression " + std::to_string(compression));
      const TImageData image = TestPicture(format, 37, 21);
      const std::vector<uint8_t> bytes =
          SaveBytes(Tiff(), image, {{kOptionTiffCompressionIndex, compression}});
      const fs::path file = temp / "written.tif";
      WriteFileBytes(file, bytes);
      const std::string info = TiffInfo(file, temp);
      EXPECT_EQ(info.find("tiffinfo"), std::string::npos) << info;

      const TImageData back = LoadBytes(Tiff(), bytes);
      ASSERT_EQ(back.Format, format);
      ASSERT_EQ(back.Width, image.Width);
      ASSERT_EQ(back.Height, image.Height);
      if (WrittenAsJpeg(format, compression)) {
        EXPECT_NE(info.find("Compression Scheme: JPEG"), std::string::npos) << info;
        int64_t error = 0;
        for (int32_t i = 0; i < image.Size; ++i)
          error += std::abs(int(back.bits()[i]) - int(image.bits()[i]));
        EXPECT_LT(double(error) / image.Size, 3.0);
      } else {
        EXPECT_EQ(BytesOf(back), BytesOf(image));
        if (format == F::Index8) {
          EXPECT_EQ(std::memcmp(back.palette(), image.palette(), 256 * 4), 0);
        }
      }
    }
  }
}

// libtiff's own reader and ImageMagick see the pixels that were written.
TEST(TiffFormat, WrittenFilesReadTheSameElsewhere) {
  TTempFolder temp;
  for (const F format : {F::Index8, F::Gray8, F::A8Gray8, F::R8G8B8, F::A8R8G8B8, F::Gray16,
                         F::R16G16B16, F::A16R16G16B16}) {
    for (int32_t compression : {kTiffCompressionNone, kTiffCompressionLZW, kTiffCompressionPackBits,
                                kTiffCompressionDeflate}) {
      SCOPED_TRACE(FormatName(format) + " compression " + std::to_string(compression));
      TImageData image = TestPicture(format, 19, 13);
      const fs::path file = temp / "written.tif";
      WriteFileBytes(file, SaveBytes(Tiff(), image, {{kOptionTiffCompressionIndex, compression}}));
      // libtiff's RGBA reader passes gray with unassociated alpha through without
      // premultiplying it, unlike every other layout, so its result says nothing there.
      if (format != F::A8Gray8) {
        EXPECT_EQ(CompareWithTiff2Rgba(image, file, temp), "");
      }
      TRgba64Pixels theirs;
      std::string error;
      ASSERT_TRUE(ReadWithImageMagick16(file, temp.Path(), theirs, error)) << error;
      EXPECT_EQ(Difference64(Pixels64Of(image), theirs, 0), "");
    }
  }
}

TEST(TiffFormat, ProgramImagesBecomeLzwRgbWithUnassociatedAlpha) {
  TTempFolder temp;
  const fs::path file = temp / "program.tif";
  WriteFileBytes(file, SaveBytes(Tiff(), Filled(5, 4, 0x80FF0000)));
  const std::string info = TiffInfo(file, temp);
  EXPECT_NE(info.find("Compression Scheme: LZW"), std::string::npos) << info;
  EXPECT_NE(info.find("Bits/Sample: 8"), std::string::npos) << info;
  EXPECT_NE(info.find("Samples/Pixel: 4"), std::string::npos) << info;
  EXPECT_NE(info.find("Extra Samples: 1<unassoc-alpha>"), std::string::npos) << info;
  EXPECT_NE(info.find("Photometric Interpretation: RGB color"), std::string::npos) << info;
}

// JPEG carries only 8-bit gray and RGB: alpha, palettes, deeper and float samples fall back
// to LZW; values outside 0..4 are LZW as well.
TEST(TiffFormat, CompressionIndexPicksTheSchemeWithJpegFallback) {
  TTempFolder temp;
  const struct {
    F Format;
    int32_t Index;
    const char* Scheme;
  } cases[] = {
      {F::R8G8B8, 0, "None"},    {F::R8G8B8, 1, "LZW"},  {F::R8G8B8, 2, "PackBits"},
      {F::R8G8B8, 3, "Deflate"}, {F::R8G8B8, 4, "JPEG"}, {F::Gray8, 4, "JPEG"},
      {F::A8R8G8B8, 4, "LZW"},   {F::Index8, 4, "LZW"},  {F::R16G16B16, 4, "LZW"},
      {F::R32F, 4, "LZW"},       {F::A8Gray8, 4, "LZW"}, {F::R8G8B8, 5, "LZW"},
      {F::R8G8B8, 101, "LZW"},   {F::R8G8B8, -1, "LZW"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(FormatName(c.Format) + " index " + std::to_string(c.Index));
    const fs::path file = temp / "scheme.tif";
    WriteFileBytes(file, SaveBytes(Tiff(), TestPicture(c.Format, 16, 16),
                                   {{kOptionTiffCompressionIndex, c.Index}}));
    const std::string info = TiffInfo(file, temp);
    EXPECT_NE(info.find(std::string("Compression Scheme: ") + c.Scheme + "\n"), std::string::npos)
        << info;
  }
}

TEST(TiffFormat, SeveralImagesBecomePagesOfOneFile) {
  std::vector<TImageData> images;
  images.push_back(TestPicture(F::A8R8G8B8, 8, 6));
  images.push_back(TestPicture(F::Gray16, 3, 9));
  images.push_back(TestPicture(F::Index8, 12, 2));
  const std::vector<uint8_t> bytes = SaveBytes(Tiff(), TImageSpan(images), {}, false);
  const TDynImageDataArray back = LoadAllBytes(Tiff(), bytes);
  ASSERT_EQ(back.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(back[i].Format, images[i].Format);
    EXPECT_EQ(BytesOf(back[i]), BytesOf(images[i]));
  }
  EXPECT_EQ(LoadAllBytes(Tiff(), bytes, true).size(), 1u);
}

// Formats outside the writable set are converted to their nearest writable one.
TEST(TiffFormat, OtherFormatsAreConvertedForWriting) {
  const struct {
    F From, To;
  } cases[] = {
      {F::X8R8G8B8, F::R8G8B8},
      {F::R5G6B5, F::R8G8B8},
      {F::A1R5G5B5, F::A8R8G8B8},
      {F::B16G16R16, F::R16G16B16},
      {F::A16B16G16R16, F::A16R16G16B16},
      {F::A32B32G32R32F, F::A32R32G32B32F},
      {F::A16B16G16R16F, F::A16R16G16B16F},
      {F::Gray64, F::Gray32},
      {F::DXT1, F::A8R8G8B8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(FormatName(c.From));
    TImageData image;
    ASSERT_TRUE(ImageCreate(8, 8, c.From, image));
    EXPECT_EQ(LoadBytes(Tiff(), SaveBytes(Tiff(), image)).Format, c.To);
  }
}

// ---- Crafted input --------------------------------------------------------------------

TEST(TiffFormat, ClaimsTheDataCannotBackAreRefusedBeforeDecoding) {
  // A huge tile on a small image.
  TTiffBuilder hugeTile = GrayPage(16, 16, 1, std::vector<uint8_t>(64, 0));
  hugeTile.Tags = {{256, 4, {16}}, {257, 4, {16}}, {258, 3, {8}},         {259, 3, {1}},
                   {262, 3, {1}},  {277, 3, {1}},  {322, 4, {65536 * 4}}, {323, 4, {65536 * 4}},
                   {324, 4, {0}},  {325, 4, {64}}};
  hugeTile.Tags[8].Values[0] = hugeTile.DataOffset();

  const struct {
    const char* Name;
    std::vector<uint8_t> Bytes;
    const char* Expected;
  } cases[] = {
      {"more pixels than the engine takes", GrayPage(70000, 70000, 1, {0}).Build(),
       "exceeds the limit"},
      {"LZW strip far too short", GrayPage(8000, 8000, 5, {0x80, 0, 0}).Build(), "too short"},
      {"uncompressed strip too short", GrayPage(100, 100, 1, std::vector<uint8_t>(500)).Build(),
       "too short"},
      {"tile far larger than the image", hugeTile.Build(), "tile of"},
      {"no pixels", GrayPage(0, 10, 1, {0}).Build(), "TIFF"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string error = ErrorOf<EImagingError>([&] { LoadBytes(Tiff(), c.Bytes); });
    EXPECT_NE(error.find(c.Expected), std::string::npos) << error;
  }
}

TEST(TiffFormat, ADirectoryChainThatPointsBackEnds) {
  TTiffBuilder page = GrayPage(2, 2, 1, {1, 2, 3, 4});
  page.NextIfd = 8;  // the first directory again
  const std::vector<uint8_t> bytes = page.Build();
  TMemoryBlockStream stream(bytes.data(), int64_t(bytes.size()));
  TDynImageDataArray images;
  try {
    Tiff().LoadStream(stream, images, false);
    EXPECT_EQ(images.size(), 1u);
  } catch (const EImagingError& e) {
    EXPECT_NE(std::string(e.what()).find("directory"), std::string::npos) << e.what();
  }
  EXPECT_EQ(LoadBytes(Tiff(), bytes).bits()[3], 4);
}

// libtiff's messages become the error's text and never reach the terminal.
TEST(TiffFormat, LibraryMessagesNeverReachStandardError) {
  TTempFolder temp;
  std::vector<uint8_t> broken = GrayPage(64, 64, 5, RandomBytes(300, 9)).Build();
  const int saved = dup(2);
  const int capture = open((temp / "stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(capture, 0);
  dup2(capture, 2);
  std::string error;
  for (const auto& [name, why] : kRefusedCorpusFiles) {
    TDynImageDataArray images;
    try {
      Tiff().LoadFile((TestDataDir() / name).string(), images, false);
    } catch (const EImagingError&) {
    }
  }
  error = ErrorOf<EImagingError>([&] { LoadBytes(Tiff(), broken); });
  // Warnings too: an unknown tag and a missing Photometric.
  TTiffBuilder odd = GrayPage(2, 2, 1, {1, 2, 3, 4});
  odd.Tags.erase(odd.Tags.begin() + 4);
  odd.Tags.push_back({65000, 3, {1}});
  odd.Tags[4].Values[0] = odd.DataOffset();
  try {
    LoadBytes(Tiff(), odd.Build());
  } catch (const EImagingError&) {
  }
  fflush(stderr);
  dup2(saved, 2);
  close(saved);
  close(capture);
  EXPECT_EQ(ReadFileText(temp / "stderr.txt"), "");
  EXPECT_NE(error.find("TIFF error"), std::string::npos) << error;
  EXPECT_NE(error.find("strip 0"), std::string::npos) << error;
}

// The handle starts where the stream stands: a TIFF inside a larger stream loads, and its
// offsets count from its own first byte.
TEST(TiffFormat, ReadsFromTheStreamsPosition) {
  std::vector<uint8_t> bytes(100, 0xEE);
  const std::vector<uint8_t> tiff = SaveBytes(Tiff(), TestPicture(F::R8G8B8, 9, 7));
  bytes.insert(bytes.end(), tiff.begin(), tiff.end());
  TMemoryStream stream(bytes);
  stream.Seek(100, TSeekOrigin::Begin);
  TDynImageDataArray images;
  ASSERT_TRUE(Tiff().LoadStream(stream, images, true));
  EXPECT_EQ(BytesOf(images[0]), BytesOf(TestPicture(F::R8G8B8, 9, 7)));
}

}  // namespace
}  // namespace pixolan::imaging
