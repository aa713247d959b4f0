#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "imaging/formats/Jpeg2000Format.h"
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

TJpeg2000FileFormat& Jp2() {
  return *FindFileFormatByClass<TJpeg2000FileFormat>();
}

const std::vector<uint8_t> kJp2Signature = {0x00, 0x00, 0x00, 0x0C, 0x6A, 0x50,
                                            0x20, 0x20, 0x0D, 0x0A, 0x87, 0x0A};

TEST(Jpeg2000Format, ContentTestTakesJp2FilesAndCodeStreams) {
  const std::vector<uint8_t> truncatedSignature(kJp2Signature.begin(), kJp2Signature.begin() + 11);
  std::vector<uint8_t> wrongSignature = kJp2Signature;
  wrongSignature[11] = 0x0B;
  const struct {
    std::vector<uint8_t> Bytes;
    bool Accepted;
  } cases[] = {
      {kJp2Signature, true},
      {{0xFF, 0x4F, 0xFF, 0x51, 0, 0x29}, true},
      {truncatedSignature, false},
      {wrongSignature, false},
      {{0xFF, 0x4F, 0xFF, 0x52}, false},
      {{0xFF, 0xD8, 0xFF, 0xE0}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.Bytes));
    EXPECT_EQ(ContentAccepted(Jp2(), c.Bytes), c.Accepted);
  }
}

// ---- Conformance corpus ---------------------------------------------------------------

const std::map<std::string, std::string> kRefusedCorpusFiles = {
    {"jp2/pillow/balloon_eciRGBv2_aware.jp2", "truncated: stream too short"},
    {"jp2/pillow/expected_to_read.jp2", "no jp2h box"},
    {"jp2/pillow/not_enough_data.jp2", "broken boxes, no code stream"},
    {"jp2/pillow/unbound_variable.jp2", "no code stream"},
    {"jp2/pillow/unknown_mode.j2k", "SIZ with five components of zero subsampling"},
    {"jp2/pillow/zero_height.j2k", "image height 0"},
};

TEST(Jpeg2000Corpus, EveryFileLoadsOrIsRefused) {
  std::map<std::string, std::string> jp2, j2k;
  for (const auto& [name, why] : kRefusedCorpusFiles)
    (name.ends_with(".jp2") ? jp2 : j2k)[name] = why;
  ExpectCorpusLoadsOrIsRefused(Jp2(), "jp2", ".jp2", 15, jp2);
  ExpectCorpusLoadsOrIsRefused(Jp2(), "jp2", ".j2k", 25, j2k);
}

// What opj_decompress makes of a file, as a PNG read with 16 bits a sample.
bool ReadWithOpjDecompress(const fs::path& file, const TTempFolder& temp, TRgba64Pixels& out,
                           std::string& error) {
  const fs::path png = temp / (file.filename().string() + ".png");
  if (!RunCommand("opj_decompress -quiet -i " + Quote(file) + " -o " + Quote(png),
                  temp / "opj.log")) {
    error = "opj_decompress failed on " + file.string();
    return false;
  }
  return ReadWithPngtopam(png, temp.Path(), out, error);
}

// Files with an ICC profile, which opj_decompress applies (the engine does no color
// management): ImageMagick's reading, which leaves the samples as stored, is their oracle.
const std::map<std::string, std::string> kImageMagickFiles = {
    {"jp2/t803/file5.jp2", "ICC profile"},
    {"jp2/t803/file7.jp2", "ICC profile"},
    {"jp2/t803/file8.jp2", "ICC profile"},
};

// Files no reader here gives as one picture.
const std::map<std::string, std::string> kUncheckedFiles = {
    {"jp2/t803/p0_06.j2k",
     "four 12-bit components of different subsampling: opj_decompress writes them as separate "
     "files, ImageMagick does not convert the chroma"},
    {"jp2/t803/p1_07.j2k",
     "two components of different subsampling: opj_decompress writes them as separate files"},
};

// Files whose components all share one subsampling: the other decoders give the
// components' own grid, the engine the image's, on which the component's samples start at
// `First` (the image's origin is not on the grid of p1_01).
struct TSubsampling {
  int32_t Dx, Dy, First;
};
const std::map<std::string, TSubsampling> kSubsampledFiles = {
    {"jp2/t803/p0_02.j2k", {2, 1, 0}},
    {"jp2/t803/p0_10.j2k", {4, 4, 0}},
    {"jp2/t803/p1_01.j2k", {2, 1, 1}},
};

// One pixel for each sample of a component subsampled by dx, dy.
TRgba64Pixels Subsampled(const TRgba64Pixels& image, const TSubsampling& s) {
  TRgba64Pixels out;
  out.Width = (image.Width - s.First + s.Dx - 1) / s.Dx;
  out.Height = (image.Height + s.Dy - 1) / s.Dy;
  for (int32_t y = 0; y < image.Height; y += s.Dy)
    for (int32_t x = s.First; x < image.Width; x += s.Dx)
      out.Pixels.push_back(image.Pixels[size_t(y) * size_t(image.Width) + size_t(x)]);
  return out;
}

TEST(Jpeg2000Corpus, PixelsAgreeWithOpenJpegsDecoder) {
  TTempFolder temp;
  const std::map<std::string, std::string> invalid = InvalidExpectations();
  size_t checked = 0;
  for (const char* ext : {".jp2", ".j2k"}) {
    for (const fs::path& file : CorpusFiles("jp2", ext)) {
      const std::string name = CorpusName(file);
      if (invalid.count(name) || kUncheckedFiles.count(name)) continue;
      SCOPED_TRACE(name);
      TDynImageDataArray images;
      ASSERT_TRUE(Jp2().LoadFile(file.string(), images, true));
      TRgba64Pixels theirs;
      std::string error;
      if (kImageMagickFiles.count(name))
        ASSERT_TRUE(ReadWithImageMagick16(file, temp.Path(), theirs, error)) << error;
      else
        ASSERT_TRUE(ReadWithOpjDecompress(file, temp, theirs, error)) << error;
      TRgba64Pixels ours = Pixels64Of(images[0]);
      const auto subsampling = kSubsampledFiles.find(name);
      if (subsampling != kSubsampledFiles.end()) ours = Subsampled(ours, subsampling->second);
      // Of its 257 components the engine takes three for RGB, opj_decompress a fourth for
      // alpha, though nothing marks it so.
      if (name == "jp2/t803/p0_13.j2k")
        for (TPixel64& p : theirs.Pixels) p.A = 65535;
      // Precisions other than 8 and 16 bits are scaled on both sides, each rounding its own
      // way: one 8-bit step apart at most.
      EXPECT_EQ(Difference64(ours, theirs, 257), "");
      ++checked;
    }
  }
  EXPECT_GE(checked, 25u);
}

// ---- Writing --------------------------------------------------------------------------

const F kWritableFormats[] = {F::Gray8,  F::A8Gray8,  F::Gray16,    F::A16Gray16,
                              F::R8G8B8, F::A8R8G8B8, F::R16G16B16, F::A16R16G16B16};

TEST(Jpeg2000Format, LosslessFilesDecodeToExactlyTheSavedPixels) {
  TTempFolder temp;
  for (const F format : kWritableFormats) {
    for (int32_t codeStream : {0, 1}) {
      // 5 x 3 is too small for six resolution levels; 67 x 41 is not.
      for (const int32_t width : {5, 67}) {
        SCOPED_TRACE(FormatName(format) + (codeStream ? " J2K" : " JP2") + " width " +
                     std::to_string(width));
        const TImageData image = ImageWithRuns(width, width == 5 ? 3 : 41, format, 11, 4);
        const std::vector<uint8_t> bytes = SaveBytes(
            Jp2(), image,
            {{kOptionJpeg2000LosslessCompression, 1}, {kOptionJpeg2000CodeStreamOnly, codeStream}});
        const TImageData back = LoadBytes(Jp2(), bytes);
        ASSERT_EQ(back.Format, format);
        EXPECT_EQ(BytesOf(back), BytesOf(image));
        // And OpenJPEG's own tool sees the same.
        const fs::path file = temp / (codeStream ? "saved.j2k" : "saved.jp2");
        WriteFileBytes(file, bytes);
        TRgba64Pixels theirs;
        std::string error;
        ASSERT_TRUE(ReadWithOpjDecompress(file, temp, theirs, error)) << error;
        EXPECT_EQ(Difference64(Pixels64Of(image), theirs, 0), "");
      }
    }
  }
}

// The code stream of a lossy save is sized by the quality: raw / (raw * 100 / (115 - q)^2 +
// 550 + 142 * (channels - 1)) is the compression ratio.
TEST(Jpeg2000Format, QualitySetsTheSizeOfLossyCodeStreams) {
  TTempFolder temp;
  const TImageData image = ImageWithRuns(100, 100, F::A8R8G8B8, 5, 1000);
  const struct {
    int32_t Quality;
    double Target;
  } cases[] = {
      {80, 40000.0 * 100 / (35 * 35) + 550 + 426},  // about 4241 bytes
      {50, 40000.0 * 100 / (65 * 65) + 550 + 426},
      {100, 40000.0 * 100 / (15 * 15) + 550 + 426},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Quality);
    const std::vector<uint8_t> bytes = SaveBytes(
        Jp2(), image, {{kOptionJpeg2000Quality, c.Quality}, {kOptionJpeg2000CodeStreamOnly, 1}});
    // OpenJPEG's rate control may overshoot by a few bytes of markers.
    EXPECT_LE(double(bytes.size()), 1.01 * c.Target);
    EXPECT_GE(double(bytes.size()), 0.9 * c.Target);
    const fs::path file = temp / "lossy.j2k";
    WriteFileBytes(file, bytes);
    TRgba64Pixels theirs;
    std::string error;
    ASSERT_TRUE(ReadWithOpjDecompress(file, temp, theirs, error)) << error;
    EXPECT_EQ(Difference64(Pixels64Of(LoadBytes(Jp2(), bytes)), theirs, 0), "");
  }
  EXPECT_NEAR(cases[0].Target, 4241, 1);
}

TEST(Jpeg2000Format, QualityOutsideItsRangeIsTheDefault) {
  const TImageData image = ImageWithRuns(40, 30, F::R8G8B8, 8, 1000);
  const std::vector<uint8_t> atDefault = SaveBytes(Jp2(), image, {{kOptionJpeg2000Quality, 80}});
  for (const int32_t quality : {0, 101, -5})
    EXPECT_EQ(SaveBytes(Jp2(), image, {{kOptionJpeg2000Quality, quality}}), atDefault) << quality;
  EXPECT_NE(SaveBytes(Jp2(), image, {{kOptionJpeg2000Quality, 30}}), atDefault);
}

TEST(Jpeg2000Format, CodeStreamOnlyLeavesOutTheBoxes) {
  const TImageData image = Filled(8, 8, 0xFF336699);
  const std::vector<uint8_t> jp2 = SaveBytes(Jp2(), image);
  const std::vector<uint8_t> j2k = SaveBytes(Jp2(), image, {{kOptionJpeg2000CodeStreamOnly, 1}});
  EXPECT_TRUE(std::equal(kJp2Signature.begin(), kJp2Signature.end(), jp2.begin()));
  EXPECT_EQ(std::vector<uint8_t>(j2k.begin(), j2k.begin() + 4),
            (std::vector<uint8_t>{0xFF, 0x4F, 0xFF, 0x51}));
  EXPECT_EQ(LoadBytes(Jp2(), j2k).Format, F::A8R8G8B8);
}

TEST(Jpeg2000Format, OtherFormatsAreConvertedForWriting) {
  const struct {
    F From, To;
  } cases[] = {
      {F::Index8, F::A8R8G8B8},
      {F::X8R8G8B8, F::R8G8B8},
      {F::R5G6B5, F::R8G8B8},
      {F::B16G16R16, F::R16G16B16},
      {F::A16B16G16R16, F::A16R16G16B16},
      {F::A32R32G32B32F, F::A16R16G16B16},
      {F::R32F, F::Gray16},
      {F::Gray32, F::Gray16},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(FormatName(c.From));
    TImageData image;
    ASSERT_TRUE(ImageCreate(8, 8, c.From, image));
    EXPECT_EQ(LoadBytes(Jp2(), SaveBytes(Jp2(), image)).Format, c.To);
  }
}

// ---- Crafted input --------------------------------------------------------------------

// A code stream's main header (SIZ with 8-bit unsigned components, COD for no wavelet
// levels, QCD) and one empty tile.
std::vector<uint8_t> CodeStream(uint32_t width, uint32_t height, uint32_t tileWidth,
                                uint32_t tileHeight, int components) {
  std::vector<uint8_t> b = {0xFF, 0x4F, 0xFF, 0x51};
  AddBe16(b, uint32_t(38 + 3 * components));
  AddBe16(b, 0);
  for (uint32_t v : {width, height, 0u, 0u, tileWidth, tileHeight, 0u, 0u}) AddBe32(b, v);
  AddBe16(b, uint32_t(components));
  for (int c = 0; c < components; ++c) b.insert(b.end(), {7, 1, 1});
  b.insert(b.end(), {0xFF, 0x52, 0, 12, 0, 0, 0, 1, 0, 0, 4, 4, 0, 1});
  b.insert(b.end(), {0xFF, 0x5C, 0, 4, 0x40, 0x40});
  b.insert(b.end(), {0xFF, 0x90, 0, 10, 0, 0, 0, 0, 0, 14, 0, 1, 0xFF, 0x93, 0xFF, 0xD9});
  return b;
}

// A JP2 file around a code stream: signature, file type, a header box and the code stream
// box.
std::vector<uint8_t> Jp2Wrapped(const std::vector<uint8_t>& codeStream) {
  std::vector<uint8_t> b = kJp2Signature;
  AddBe32(b, 20);
  b.insert(b.end(), {'f', 't', 'y', 'p', 'j', 'p', '2', ' ', 0, 0, 0, 0, 'j', 'p', '2', ' '});
  AddBe32(b, 8 + 22);
  b.insert(b.end(), {'j', 'p', '2', 'h'});
  AddBe32(b, 22);
  b.insert(b.end(), {'i', 'h', 'd', 'r', 0, 0, 0xCD, 1, 0, 0, 0, 1, 1, 1, 7, 7, 0, 0});
  AddBe32(b, uint32_t(8 + codeStream.size()));
  b.insert(b.end(), {'j', 'p', '2', 'c'});
  b.insert(b.end(), codeStream.begin(), codeStream.end());
  return b;
}

TEST(Jpeg2000Format, ClaimsTheEngineOrTheDataCannotBackAreRefused) {
  const struct {
    const char* Name;
    std::vector<uint8_t> Bytes;
    const char* Expected;
  } cases[] = {
      {"more pixels than the engine takes", CodeStream(70000, 70000, 70000, 70000, 1),
       "exceeds the limit"},
      {"more tiles than the data can hold", CodeStream(4000, 4000, 10, 10, 3), "tiles"},
      {"decoded samples beyond the memory limit", CodeStream(16000, 16000, 16000, 16000, 3), "MiB"},
      // Found by fuzzing: OpenJPEG sets up every tile's parameters when it reads the header.
      {"a tile for every pixel of 257 components", CodeStream(1, 52481, 1, 1, 257), "tiles"},
      {"the same inside a JP2 file", Jp2Wrapped(CodeStream(1, 52481, 1, 1, 257)), "tiles"},
      {"cut off in the header", std::vector<uint8_t>(kJp2Signature), "JPEG 2000 error"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string error = ErrorOf<EImagingError>([&] { LoadBytes(Jp2(), c.Bytes); });
    EXPECT_NE(error.find(c.Expected), std::string::npos) << error;
  }
}

// OpenJPEG's messages become the error's text and never reach the terminal.
TEST(Jpeg2000Format, LibraryMessagesNeverReachStandardError) {
  TTempFolder temp;
  const int saved = dup(2);
  const int capture = open((temp / "stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(capture, 0);
  dup2(capture, 2);
  for (const fs::path& file : CorpusFiles("jp2/pillow", ".j2k")) {
    TDynImageDataArray images;
    try {
      Jp2().LoadFile(file.string(), images, true);
    } catch (const EImagingError&) {
    }
  }
  std::vector<uint8_t> broken = SaveBytes(Jp2(), Filled(64, 64, 0xFF102030));
  broken.resize(broken.size() / 2);
  const std::string error = ErrorOf<EImagingError>([&] { LoadBytes(Jp2(), broken); });
  fflush(stderr);
  dup2(saved, 2);
  close(saved);
  close(capture);
  EXPECT_EQ(ReadFileText(temp / "stderr.txt"), "");
  EXPECT_NE(error.find("JPEG 2000 error"), std::string::npos) << error;
}

TEST(Jpeg2000Format, ReadsFromTheStreamsPosition) {
  const TImageData image = ImageWithRuns(9, 7, F::R8G8B8, 2, 3);
  std::vector<uint8_t> bytes(50, 0x11);
  const std::vector<uint8_t> jp2 =
      SaveBytes(Jp2(), image, {{kOptionJpeg2000LosslessCompression, 1}});
  bytes.insert(bytes.end(), jp2.begin(), jp2.end());
  TMemoryStream stream(bytes);
  stream.Seek(50, TSeekOrigin::Begin);
  TDynImageDataArray images;
  ASSERT_TRUE(Jp2().LoadStream(stream, images, true));
  EXPECT_EQ(BytesOf(images[0]), BytesOf(image));
}

}  // namespace
}  // namespace pixolan::imaging
