#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "imaging/formats/PortableMapFormat.h"
#include "imaging/image/Imaging.h"
#include "imaging/io/Options.h"
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

template <class T>
T& Handler() {
  return *FindFileFormatByClass<T>();
}

std::vector<uint8_t> Text(std::string_view text) {
  return {text.begin(), text.end()};
}

std::vector<uint8_t> Concat(std::string_view header, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> bytes = Text(header);
  bytes.insert(bytes.end(), data.begin(), data.end());
  return bytes;
}

// The first image of bytes, found by content as the program loads files.
TImageData LoadDetected(const std::vector<uint8_t>& bytes) {
  TMemoryBlockStream stream(bytes.data(), int64_t(bytes.size()));
  TImageData image;
  if (!ImageLoadStream(stream, image)) throw std::runtime_error("not recognised");
  return image;
}

// ---- Conformance corpus -------------------------------------------------------------

// Float maps go through ImageMagick's 16-bit quantum; stretched integer samples are
// truncated here (v * 65535 div MAXVAL) where ImageMagick rounds.
int ToleranceFor(const TImageData& image) {
  return GetFormatDescriptor(image.Format)->IsFloat ? 2 : 1;
}

// The image with 16 bits a sample as other readers show it: R32F, the engine's format of
// one-channel float maps, holds the red channel only, which they show as gray.
TRgba64Pixels Shown64(const TImageData& image) {
  TRgba64Pixels pixels = Pixels64Of(image);
  if (image.Format == F::R32F)
    for (TPixel64& p : pixels.Pixels) p.G = p.B = p.R;
  return pixels;
}

const std::map<std::string, std::string> kRefusedSuiteFiles = {
    {"pnm/pillow/negative_size.ppm", "no blank after the magic; height beyond 32 bits"},
    {"pnm/imagemagick/input_p7.p7", "XV thumbnail, not PAM"},
};

// Every corpus file either loads (through detection, as the program loads it) with the
// pixels ImageMagick reads, or is refused with an error.
TEST(PortableMapConformance, SuiteFilesLoadAsImageMagickReadsThemOrAreRefused) {
  ASSERT_TRUE(HaveTool("convert")) << "ImageMagick's convert is needed as reference reader";
  TTempFolder dir;
  const std::map<std::string, std::string> invalid = InvalidExpectations();
  std::vector<fs::path> files;
  for (const char* ext : {".pbm", ".pgm", ".ppm", ".pnm", ".pfm", ".p7"})
    for (const fs::path& file : CorpusFiles("pnm", ext)) files.push_back(file);
  ASSERT_GE(files.size(), 20u);
  std::map<std::string, std::string> refused;
  for (const fs::path& file : files) {
    const std::string name = CorpusName(file);
    TImageData image;
    try {
      if (!ImageLoadFile(file.string(), image)) {
        refused[name] = "not recognised by any handler";
        continue;
      }
    } catch (const EImagingError& e) {
      refused[name] = e.what();
      continue;
    }
    TRgba64Pixels theirs;
    std::string error;
    ASSERT_TRUE(ReadWithImageMagick16(file, dir.Path(), theirs, error)) << error;
    const int tolerance = ToleranceFor(image);
    EXPECT_EQ(Difference64(Shown64(image), theirs, tolerance), "") << name;
  }
  for (const auto& [name, why] : kRefusedSuiteFiles)
    EXPECT_TRUE(refused.count(name)) << name << " should be refused (" << why << ")";
  for (const auto& [name, message] : refused)
    EXPECT_TRUE(kRefusedSuiteFiles.count(name)) << name << " was refused: " << message;
  for (const auto& [name, expectation] : invalid)
    if (name.rfind("pnm/", 0) == 0 && expectation == "reject") {
      EXPECT_TRUE(refused.count(name)) << name << " must be refused";
    }
}

// Files written by netpbm's own tools, which the corpus lacks: odd maximum values, PAM of
// every tuple type, plain and binary 16-bit data.
TEST(PortableMapConformance, FilesNetpbmWritesLoadWithItsPixels) {
  ASSERT_TRUE(HaveTool("pamtopam") && HaveTool("convert")) << "netpbm and ImageMagick are needed";
  TTempFolder dir;
  const fs::path source = dir / "source.ppm";
  ASSERT_TRUE(RunCommand("convert -size 37x11 gradient:'#103070-#f0a010' -depth 8 " + Quote(source),
                         dir / "make.log"));
  struct TCase {
    const char* Name;
    const char* Command;  // reads source.ppm in the folder, writes to stdout
    F Format;
  };
  const TCase cases[] = {
      {"maxval1000.ppm", "pamdepth 1000 source.ppm", F::R16G16B16},
      {"maxval15.pgm", "ppmtopgm source.ppm | pamdepth 15", F::Gray8},
      {"plain16.pgm", "ppmtopgm source.ppm | pamdepth 65535 | pnmtoplainpnm", F::Gray16},
      {"plain.ppm", "pnmtoplainpnm source.ppm", F::R8G8B8},
      {"bits.pbm", "ppmtopgm source.ppm | pgmtopbm", F::Gray8},
      {"plainbits.pbm", "ppmtopgm source.ppm | pgmtopbm | pnmtoplainpnm", F::Gray8},
      {"rgb.pam", "pamtopam <source.ppm", F::R8G8B8},
      {"gray16.pam", "ppmtopgm source.ppm | pamdepth 65535 | pamtopam", F::Gray16},
      {"rgba.pam",
       "pamtopam <source.ppm | pamstack -tupletype=RGB_ALPHA - "
       "<(ppmtopgm source.ppm)",
       F::A8R8G8B8},
      {"bw.pam", "ppmtopgm source.ppm | pgmtopbm | pamtopam", F::Gray8},
      {"float.pfm", "pamtopfm source.ppm", F::A32B32G32R32F},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const fs::path file = dir / c.Name;
    ASSERT_TRUE(RunCommand("cd " + Quote(dir.Path()) + " && bash -c " +
                               Quote(std::string(c.Command)) + " >" + Quote(file),
                           dir / "netpbm.log"))
        << ReadFileText(dir / "netpbm.log");
    TImageData image;
    ASSERT_TRUE(ImageLoadFile(file.string(), image));
    EXPECT_EQ(image.Format, c.Format);
    TRgba64Pixels theirs;
    std::string error;
    ASSERT_TRUE(ReadWithImageMagick16(file, dir.Path(), theirs, error)) << error;
    const int tolerance = ToleranceFor(image);
    EXPECT_EQ(Difference64(Shown64(image), theirs, tolerance), "");
  }
}

// ---- Reading ------------------------------------------------------------------------

TEST(PortableMapReader, HeadersAndSamplesGiveTheirPixels) {
  struct TCase {
    const char* Name;
    std::vector<uint8_t> File;
    F Format;
    std::vector<uint8_t> Bits;
  };
  const TCase cases[] = {
      {"comments between every token and inside the raster",
       Text("P2 #c\n# line\n3#w\n 1 #h\n\t255 # max\n0 #s\n128\r\n255\n"),
       F::Gray8,
       {0, 128, 255}},
      {"plain bitmap without separators",
       Text("P1\n3 2\n010\n1 0 1"),
       F::Gray8,
       {255, 0, 255, 0, 255, 0}},
      {"packed bitmap rows are byte-padded",
       Concat("P4\n9 2\n", {0x80, 0x80, 0x00, 0x00}),
       F::Gray8,
       {0, 255, 255, 255, 255, 255, 255, 255, 0, 255, 255, 255, 255, 255, 255, 255, 255, 255}},
      {"maximum value 15 is stretched", Concat("P5 3 1 15\n", {0, 7, 15}), F::Gray8, {0, 119, 255}},
      {"samples above the maximum count as the maximum",
       Concat("P5 2 1 100\n", {50, 200}),
       F::Gray8,
       {127, 255}},
      {"maximum value 256 has two-byte samples",
       Concat("P5\n2 1\n256\n", {0, 128, 1, 0}),
       F::Gray16,
       {0xFF, 0x7F, 0xFF, 0xFF}},
      {"16-bit samples are big-endian",
       Concat("P5\n2 1\n65535\n", {0x12, 0x34, 0xAB, 0xCD}),
       F::Gray16,
       {0x34, 0x12, 0xCD, 0xAB}},
      {"a first line ending in CR LF means little-endian",
       Concat("P5\r\n2 1\r\n65535\r\n", {0x12, 0x34, 0xAB, 0xCD}),
       F::Gray16,
       {0x12, 0x34, 0xAB, 0xCD}},
      {"pixmap samples go into B, G, R",
       Concat("P6\n1 1\n255\n", {10, 20, 30}),
       F::R8G8B8,
       {30, 20, 10}},
      {"plain pixmap", Text("P3 2 1 255  1 2 3  4 5 6"), F::R8G8B8, {3, 2, 1, 6, 5, 4}},
      {"PAM lines in any order, with comments",
       Concat("P7\n# made by hand\nTUPLTYPE RGB_ALPHA\nMAXVAL 255\nDEPTH 4\nHEIGHT 1\nWIDTH 1\n"
              "ENDHDR\n",
              {1, 2, 3, 4}),
       F::A8R8G8B8,
       {3, 2, 1, 4}},
      {"PAM tuple type ignores case",
       Concat("P7\nWIDTH 1\nHEIGHT 1\nDEPTH 2\nMAXVAL 65535\n"
              "TUPLTYPE grayscale_alpha\nENDHDR\n",
              {0x01, 0x02, 0x03, 0x04}),
       F::A16Gray16,
       {0x02, 0x01, 0x04, 0x03}},
      {"PAM without tuple type takes its depth",
       Concat("P7\nWIDTH 1\nHEIGHT 1\nDEPTH 3\nMAXVAL 255\nENDHDR\n", {7, 8, 9}),
       F::R8G8B8,
       {9, 8, 7}},
      {"PAM black and white",
       Concat("P7\nWIDTH 2\nHEIGHT 1\nDEPTH 2\nMAXVAL 1\n"
              "TUPLTYPE BLACKANDWHITE_ALPHA\nENDHDR\n",
              {0, 1, 1, 0}),
       F::A8Gray8,
       {0, 255, 255, 0}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TImageData image = LoadDetected(c.File);
    EXPECT_EQ(image.Format, c.Format);
    EXPECT_EQ(BytesOf(image), c.Bits);
  }
}

TEST(PortableMapReader, FloatMapsAreReadBottomRowFirstInTheirByteOrder) {
  const auto floats = [](std::initializer_list<float> values, bool bigEndian) {
    std::vector<uint8_t> bytes;
    for (float v : values) {
      uint32_t u;
      std::memcpy(&u, &v, 4);
      for (int i = 0; i < 4; ++i) bytes.push_back(uint8_t(u >> (bigEndian ? 24 - 8 * i : 8 * i)));
    }
    return bytes;
  };
  for (bool bigEndian : {false, true}) {
    SCOPED_TRACE(bigEndian ? "big-endian" : "little-endian");
    const TImageData gray = LoadDetected(Concat(bigEndian ? "Pf\n1 2\n2.5\n" : "Pf\n1 2\n-1.0\n",
                                                floats({0.25f, 0.75f}, bigEndian)));
    ASSERT_EQ(gray.Format, F::R32F);
    float v[2];
    std::memcpy(v, gray.bits(), 8);
    EXPECT_EQ(v[0], 0.75f);
    EXPECT_EQ(v[1], 0.25f);

    const TImageData color = LoadDetected(
        Concat(bigEndian ? "PF 1 1 1\n" : "PF 1 1 -1\n", floats({0.5f, 0.25f, 2.0f}, bigEndian)));
    ASSERT_EQ(color.Format, F::A32B32G32R32F);
    float rgba[4];
    std::memcpy(rgba, color.bits(), 16);
    EXPECT_EQ(rgba[0], 0.5f);
    EXPECT_EQ(rgba[1], 0.25f);
    EXPECT_EQ(rgba[2], 2.0f);
    EXPECT_EQ(rgba[3], 1.0f);
  }
}

TEST(PortableMapReader, BrokenFilesAreRefusedWithTheirFault) {
  struct TCase {
    const char* Name;
    std::vector<uint8_t> File;
    const char* Fault;  // part of the message
  };
  const TCase cases[] = {
      {"zero width", Text("P5 0 1 255\n\x01"), "width \"0\""},
      {"maximum value 0", Text("P5 1 1 0\n\x01"), "maximum value \"0\""},
      {"maximum value beyond 16 bits", Text("P5 1 1 65536\n\x01"), "maximum value \"65536\""},
      {"sign in a number", Text("P2 -1 1 255\n1"), "width \"-1\""},
      {"header cut short", Text("P6 10 10"), "ends before its maximum value"},
      {"binary data cut short", Text("P6 4 4 255\n123456"), "truncated"},
      {"plain data cut short", Text("P2 4 4 255\n1 2 3"), "truncated"},
      {"plain data with a letter", Text("P2 2 1 255\n1 x 3 4 5 6"), "Invalid or missing sample"},
      {"plain bitmap with a 2", Text("P1 2 1 0 2"), "Invalid PBM sample"},
      {"more pixels than the engine takes", Text("P5 100000 100000 255\n"), "exceeds the limit"},
      {"XV thumbnail", Text("P7 332\n#END_OF_COMMENTS\n1 1 255\n\x01"), "Not a PAM header"},
      {"PAM depth that does not fit its type",
       Text("P7\nWIDTH 1\nHEIGHT 1\nDEPTH 3\nMAXVAL 255\nTUPLTYPE GRAYSCALE\nENDHDR\n\x01\x02\x03"),
       "does not fit"},
      {"PAM of an unknown type",
       Text("P7\nWIDTH 1\nHEIGHT 1\nDEPTH 1\nMAXVAL 255\nTUPLTYPE CMYK\nENDHDR\n\x01"),
       "Unsupported PAM tuple type"},
      {"PAM float type",
       Text("P7\nWIDTH 1\nHEIGHT 1\nDEPTH 3\nMAXVAL 255\nTUPLTYPE RGBFP\nENDHDR\n"),
       "floating point"},
      {"PAM without ENDHDR", Text("P7\nWIDTH 1\nHEIGHT 1\nDEPTH 1\nMAXVAL 255\n"), "before ENDHDR"},
      {"PAM without HEIGHT", Text("P7\nWIDTH 1\nDEPTH 1\nMAXVAL 255\nENDHDR\n\x01"), "lacks"},
      {"PAM line twice", Text("P7\nWIDTH 1\nWIDTH 1\nHEIGHT 1\nDEPTH 1\nMAXVAL 255\nENDHDR\n"),
       "twice"},
      {"PAM unknown line", Text("P7\nWIDTH 1\nHEIGHT 1\nCOLORS 1\nENDHDR\n"), "Unknown PAM header"},
      {"PFM scale zero", Text("Pf 1 1 0\n\x01\x02\x03\x04"), "Invalid PFM scale"},
      {"PFM scale with a comma", Text("Pf 1 1 -1,0\n\x01\x02\x03\x04"), "Invalid PFM scale"},
      {"PFM data cut short", Text("PF 2 2 -1\n\x01\x02\x03\x04"), "truncated"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string message = ErrorOf<EImagingError>([&] { LoadDetected(c.File); });
    EXPECT_NE(message.find(c.Fault), std::string::npos) << message;
  }
}

TEST(PortableMapReader, EachHandlerAcceptsOnlyItsOwnMagicNumbers) {
  struct TCase {
    TImageFileFormat* Handler;
    std::string Accepted;  // magic characters after "P"
  };
  const TCase cases[] = {
      {&Handler<TPBMFileFormat>(), "14"}, {&Handler<TPGMFileFormat>(), "25"},
      {&Handler<TPPMFileFormat>(), "36"}, {&Handler<TPAMFileFormat>(), "7"},
      {&Handler<TPFMFileFormat>(), "Ff"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Handler->Name);
    for (char magic : std::string("1234567Ffx")) {
      for (char blank : std::string(" \t\r\nx")) {
        const std::vector<uint8_t> head = {'P', uint8_t(magic), uint8_t(blank), '1'};
        const bool expected = c.Accepted.find(magic) != std::string::npos && blank != 'x';
        EXPECT_EQ(ContentAccepted(*c.Handler, head), expected) << magic << int(blank);
      }
    }
  }
}

// ---- Writing ------------------------------------------------------------------------

TEST(PortableMapWriter, HeadersAreWrittenAsTheProgramPromises) {
  const TImageData rgba = Filled(3, 2, 0x80FF4020);
  struct TCase {
    TImageFileFormat* Handler;
    TOptionValues Options;
    std::string Header;
  };
  const TCase cases[] = {
      {&Handler<TPGMFileFormat>(), {}, "P5\n3\n2\n255\n"},
      {&Handler<TPGMFileFormat>(), {{kOptionPgmSaveBinary, 0}}, "P2\n3\n2\n255\n"},
      {&Handler<TPPMFileFormat>(), {}, "P6\n3\n2\n255\n"},
      {&Handler<TPPMFileFormat>(), {{kOptionPpmSaveBinary, 0}}, "P3\n3\n2\n255\n"},
      {&Handler<TPAMFileFormat>(),
       {},
       "P7\nWIDTH 3\nHEIGHT 2\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n"},
      {&Handler<TPFMFileFormat>(), {}, "PF\n3\n2\n-1\n"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Header);
    const std::vector<uint8_t> bytes = SaveBytes(*c.Handler, rgba, c.Options);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + std::ptrdiff_t(c.Header.size())),
              c.Header);
  }
  EXPECT_EQ(EngineGetOption(kOptionPgmSaveBinary), 1);
  EXPECT_EQ(EngineGetOption(kOptionPpmSaveBinary), 1);
}

TEST(PortableMapWriter, BitmapsAreReadOnly) {
  EXPECT_FALSE(Handler<TPBMFileFormat>().CanWrite);
  TMemoryStream stream;
  EXPECT_FALSE(ImageSaveStream("pbm", stream, Filled(2, 2, 0xFF000000)));
  EXPECT_EQ(stream.Size(), 0);
}

// A 16-color palette leaves its other entries zero, transparent black: only a color the
// pixels use decides whether the PAM gets an alpha channel.
TEST(PortableMapWriter, IndexedImagesGetAlphaWhenAUsedColorIsTransparent) {
  for (bool transparentUsed : {false, true}) {
    SCOPED_TRACE(transparentUsed ? "transparent color used" : "only opaque colors used");
    TImageData image = MakeImage(2, 1, F::Index8, {0, uint8_t(transparentUsed ? 20 : 1)});
    image.palette()[0] = {10, 20, 30, 255};
    image.palette()[1] = {40, 50, 60, 255};
    image.palette()[20] = {70, 80, 90, 0};
    const TImageData back =
        LoadBytes(Handler<TPAMFileFormat>(), SaveBytes(Handler<TPAMFileFormat>(), image));
    EXPECT_EQ(back.Format, transparentUsed ? F::A8R8G8B8 : F::R8G8B8);
    const std::vector<uint8_t> expected = transparentUsed
                                              ? std::vector<uint8_t>{10, 20, 30, 255, 70, 80, 90, 0}
                                              : std::vector<uint8_t>{10, 20, 30, 40, 50, 60};
    EXPECT_EQ(BytesOf(back), expected);
  }
}

// Every writer and every format it is given: read back through our reader it gives what
// the conversion rules promise, and netpbm reads the same pixels from the file.
TEST(PortableMapWriter, WhatIsWrittenReadsBackHereAndInNetpbm) {
  ASSERT_TRUE(HaveTool("pamtopam") && HaveTool("pfmtopam")) << "netpbm is needed";
  TTempFolder dir;
  struct TCase {
    TImageFileFormat* Handler;
    F Source;
    F Written;  // what the file holds, as our reader gives it back
    TOptionValues Options;
  };
  TImageFileFormat* pgm = &Handler<TPGMFileFormat>();
  TImageFileFormat* ppm = &Handler<TPPMFileFormat>();
  TImageFileFormat* pam = &Handler<TPAMFileFormat>();
  TImageFileFormat* pfm = &Handler<TPFMFileFormat>();
  const TCase cases[] = {
      {pgm, F::Gray8, F::Gray8, {}},
      {pgm, F::Gray16, F::Gray16, {}},
      {pgm, F::Gray16, F::Gray16, {{kOptionPgmSaveBinary, 0}}},
      {pgm, F::A8R8G8B8, F::Gray8, {}},
      {pgm, F::A16R16G16B16, F::Gray16, {{kOptionPgmSaveBinary, 0}}},
      {ppm, F::R8G8B8, F::R8G8B8, {}},
      {ppm, F::A8R8G8B8, F::R8G8B8, {{kOptionPpmSaveBinary, 0}}},
      {ppm, F::R16G16B16, F::R16G16B16, {}},
      {ppm, F::Index8, F::R8G8B8, {}},
      {ppm, F::A32R32G32B32F, F::R16G16B16, {}},
      {pam, F::Gray8, F::Gray8, {}},
      {pam, F::A8Gray8, F::A8Gray8, {}},
      {pam, F::A16Gray16, F::A16Gray16, {}},
      {pam, F::A8R8G8B8, F::A8R8G8B8, {}},
      {pam, F::X8R8G8B8, F::R8G8B8, {}},
      {pam, F::A16B16G16R16, F::A16R16G16B16, {}},
      {pam, F::R5G6B5, F::R8G8B8, {}},
      {pfm, F::R32F, F::R32F, {}},
      {pfm, F::Gray8, F::R32F, {}},
      {pfm, F::A8R8G8B8, F::A32B32G32R32F, {}},
      {pfm, F::A32B32G32R32F, F::A32B32G32R32F, {}},
  };
  int n = 0;
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Handler->Name + " from " + FormatName(c.Source));
    TImageData source = ImageWithRuns(13, 7, c.Source, 17 + uint32_t(n), 5);
    FillRandomOpaquePalette(source, 3);
    if (GetFormatDescriptor(c.Source)->IsFloat) {
      // Samples inside 0..1, which 16-bit readers can hold.
      for (int32_t i = 0; i < source.Size / 4; ++i) {
        const float v = float(source.bits()[i * 4] % 200) / 199.0f;
        std::memcpy(source.bits() + i * 4, &v, 4);
      }
    }
    const std::vector<uint8_t> bytes = SaveBytes(*c.Handler, source, c.Options);
    const TImageData back = LoadBytes(*c.Handler, bytes);
    EXPECT_EQ(back.Format, c.Written);

    TImageData expected;
    ASSERT_TRUE(ImageClone(source, expected));
    ASSERT_TRUE(ImageConvert(expected, c.Written));
    if (c.Written == F::A32B32G32R32F) {
      // PFM keeps three channels: alpha reads back as 1.
      for (int32_t i = 0; i < expected.Size / 16; ++i) {
        const float one = 1.0f;
        std::memcpy(expected.bits() + i * 16 + 12, &one, 4);
      }
    }
    EXPECT_EQ(BytesOf(back), BytesOf(expected));

    const fs::path file = dir / ("case" + std::to_string(n++) + "." + c.Handler->MainExtension());
    WriteFileBytes(file, bytes);
    const fs::path pamFile = file.string() + ".pam";
    const std::string reader = c.Handler == pfm ? "pfmtopam -maxval 65535 " : "pamtopam <";
    ASSERT_TRUE(RunCommand(reader + Quote(file) + " >" + Quote(pamFile), dir / "netpbm.log"))
        << ReadFileText(dir / "netpbm.log");
    TRgba64Pixels theirs;
    std::string error;
    ASSERT_TRUE(ReadPam16(pamFile, theirs, error)) << error;
    EXPECT_EQ(Difference64(Shown64(back), theirs, c.Handler == pfm ? 1 : 0), "");
  }
}

}  // namespace
}  // namespace pixolan::imaging
