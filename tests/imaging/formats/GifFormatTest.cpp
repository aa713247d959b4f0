#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "imaging/formats/GifFormat.h"
#include "imaging/formats/GifLzw.h"
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

TGIFFileFormat& Gif() {
  return *FindFileFormatByClass<TGIFFileFormat>();
}

// Loads with LoadAnimated off: the frames as stored.
TDynImageDataArray LoadFrames(const std::vector<uint8_t>& bytes) {
  Gif().LoadAnimated = 0;
  try {
    TDynImageDataArray images = LoadAllBytes(Gif(), bytes);
    Gif().LoadAnimated = 1;
    return images;
  } catch (...) {
    Gif().LoadAnimated = 1;
    throw;
  }
}

std::vector<TPixel32> PixelsOfImage(const TImageData& image) {
  return PixelsOf(image).Pixels;
}

void StorePixelForTest(TImageData& image, int64_t index, TPixel32 color) {
  std::memcpy(image.bits() + index * 4, &color, 4);
}

constexpr TPixel32 Rgb(uint32_t rgb) {
  return TPixel32::FromColor(0xFF000000u | rgb);
}
constexpr TPixel32 kClear = {0, 0, 0, 0};

// ---- Building GIF files -------------------------------------------------------------

struct TFrameLayout {
  int Left = 0, Top = 0, Width = 1, Height = 1;
  std::vector<uint8_t> Pixels{};       // rows top to bottom
  std::vector<uint32_t> LocalTable{};  // 0xRRGGBB; a power of two 2..256, or empty
  bool Interlaced = false;
  int Disposal = -1;                           // -1: no graphic control extension
  int Transparent = -1;                        // transparent index with the flag set
  int MinCodeSize = 0;                         // 0: from the table size
  std::optional<std::vector<uint8_t>> Data{};  // LZW data instead of encoding Pixels
};

struct TGifLayout {
  int Width = 1, Height = 1;
  std::vector<uint32_t> GlobalTable{};
  int Background = 0;
  std::vector<TFrameLayout> Frames{};
  bool Trailer = true;
};

void PutTable(std::vector<uint8_t>& b, const std::vector<uint32_t>& table) {
  for (uint32_t c : table) b.insert(b.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)});
}

uint8_t TableBits(size_t entries) {
  uint8_t bits = 0;
  while ((2u << bits) < entries) ++bits;
  return bits;
}

std::vector<uint8_t> InterlaceOrder(const std::vector<uint8_t>& pixels, int width, int height) {
  std::vector<uint8_t> out;
  for (auto [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
    for (int y = start; y < height; y += step)
      out.insert(out.end(), pixels.begin() + y * width, pixels.begin() + (y + 1) * width);
  return out;
}

std::vector<uint8_t> MakeGif(const TGifLayout& layout) {
  std::vector<uint8_t> b = {'G', 'I', 'F', '8', '9', 'a'};
  Add16(b, layout.Width);
  Add16(b, layout.Height);
  b.push_back(layout.GlobalTable.empty() ? 0x70
                                         : uint8_t(0xF0 | TableBits(layout.GlobalTable.size())));
  b.insert(b.end(), {uint8_t(layout.Background), 0});
  PutTable(b, layout.GlobalTable);
  for (const TFrameLayout& f : layout.Frames) {
    if (f.Disposal >= 0) {
      b.insert(b.end(), {0x21, 0xF9, 4, uint8_t(f.Disposal << 2 | (f.Transparent >= 0 ? 1 : 0)), 10,
                         0, uint8_t(std::max(f.Transparent, 0)), 0});
    }
    b.push_back(0x2C);
    Add16(b, f.Left);
    Add16(b, f.Top);
    Add16(b, f.Width);
    Add16(b, f.Height);
    uint8_t packed = f.Interlaced ? 0x40 : 0;
    if (!f.LocalTable.empty()) packed |= uint8_t(0x80 | TableBits(f.LocalTable.size()));
    b.push_back(packed);
    PutTable(b, f.LocalTable);
    const size_t entries = !f.LocalTable.empty() ? f.LocalTable.size() : layout.GlobalTable.size();
    const int minCodeSize = f.MinCodeSize > 0
                                ? f.MinCodeSize
                                : std::max(2, TableBits(std::max<size_t>(entries, 2)) + 1);
    b.push_back(uint8_t(minCodeSize));
    const std::vector<uint8_t> data =
        f.Data ? *f.Data
               : GifLzwEncode(f.Interlaced ? InterlaceOrder(f.Pixels, f.Width, f.Height) : f.Pixels,
                              minCodeSize);
    for (size_t at = 0; at < data.size(); at += 255) {
      const size_t n = std::min<size_t>(255, data.size() - at);
      b.push_back(uint8_t(n));
      b.insert(b.end(), data.begin() + ptrdiff_t(at), data.begin() + ptrdiff_t(at + n));
    }
    b.push_back(0);
  }
  if (layout.Trailer) b.push_back(0x3B);
  return b;
}

// ---- Conformance corpus -------------------------------------------------------------

// Files the handler refuses although INVALID.tsv does not call them invalid, with the
// reason. A change to this list must be deliberate.
const std::map<std::string, std::string> kRefusedBeyondInvalidList = {
    {"gif/pygif/no-data.gif", "no image descriptor at all: nothing to load"},
    {"gif/pygif/image-zero-width.gif",
     "width 0 becomes the screen's, but the file ends right after the image descriptor (its "
     "trailer is read as the LZW code size 59)"},
    {"gif/pygif/image-zero-height.gif",
     "the descriptor announces a local color table, but the file ends after one byte of it"},
    {"gif/pygif/image-zero-size.gif",
     "the descriptor announces a local color table, but the file ends after one byte of it"},
    {"gif/libgd/invalid/bad_lzw_code.gif", "LZW code beyond the table (no-crash entry)"},
    {"gif/libgd/invalid/truncated_lzw.gif", "file ends inside the image data (no-crash entry)"},
};

// Files INVALID.tsv expects to be rejected that load, with the reason.
const std::map<std::string, std::string> kLoadedDespiteRejectEntry = {
    {"gif/pygif/plain-text.gif",
     "the plain-text extension is followed by a regular 40x8 image descriptor with valid data; "
     "every image descriptor is an image"},
};

TEST(GifConformance, EveryFileLoadsOrIsRefusedWithAnError) {
  const std::map<std::string, std::string> invalid = InvalidExpectations();
  std::map<std::string, std::string> refused, loadedRejects;
  for (const fs::path& file : CorpusFiles("gif", ".gif")) {
    const std::string name = CorpusName(file);
    SCOPED_TRACE(name);
    const auto expectation = invalid.find(name);
    const bool mustReject = expectation != invalid.end() && expectation->second == "reject";
    std::optional<std::string> error;
    try {
      TDynImageDataArray images;
      ASSERT_TRUE(Gif().LoadFile(file.string(), images, false));
      ASSERT_FALSE(images.empty());
      // The program's path: detection by content, first image only.
      TImageData first;
      ASSERT_TRUE(ImageLoadFile(file.string(), first));
      EXPECT_EQ(first.Format, F::A8R8G8B8);
      EXPECT_EQ(BytesOf(first), BytesOf(images[0]));
    } catch (const EImagingError& e) {
      error = e.what();
      // The program's path refuses it too: with an error, or with false when no handler
      // recognises the content.
      TImageData first;
      bool loaded = false;
      try {
        loaded = ImageLoadFile(file.string(), first);
      } catch (const EImagingError&) {
      }
      EXPECT_FALSE(loaded);
    }
    if (error && !mustReject) refused[name] = *error;
    if (!error && mustReject) loadedRejects[name] = "loaded";
  }
  std::set<std::string> refusedNames, expectedRefused, loadedNames, expectedLoaded;
  for (const auto& [name, text] : refused) refusedNames.insert(name + ": " + text);
  for (const auto& [name, text] : kRefusedBeyondInvalidList) expectedRefused.insert(name);
  for (const auto& [name, text] : loadedRejects) loadedNames.insert(name);
  for (const auto& [name, text] : kLoadedDespiteRejectEntry) expectedLoaded.insert(name);
  std::set<std::string> refusedKeys;
  for (const auto& [name, text] : refused) refusedKeys.insert(name);
  EXPECT_EQ(refusedKeys, expectedRefused) << ::testing::PrintToString(refusedNames);
  EXPECT_EQ(loadedNames, expectedLoaded);
}

// Reference pixels of one expected frame, and which of our composed images shows it.
struct TReferenceFrame {
  std::string Key;   // "<corpus file>#<frame>"
  size_t Image = 0;  // index of our composed image
  TRgbaPixels Pixels;
};

// The pygif suite merges images into one displayed frame when no delay separates them; these
// are the images whose composed state is each expected frame.
const std::map<std::string, std::vector<size_t>> kPygifFrameImages = {
    {"animation-multi-image", {0, 2, 4, 6}},
    {"animation-multi-image-explicit-zero-delay", {0, 2, 4, 6}},
    {"dispose-restore-previous", {1, 2, 3, 4}},
    {"images-combine", {3}},
    {"images-overlap", {1}},
    {"high-color", {3}},
};

std::map<std::string, std::string> ReadConf(const fs::path& conf) {
  std::map<std::string, std::string> values;
  std::ifstream in(conf);
  std::string section, line;
  const auto trim = [](std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\r')) s.pop_back();
    while (!s.empty() && s.front() == ' ') s.erase(s.begin());
    return s;
  };
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '[') {
      section = line.substr(1, line.find(']') - 1);
      continue;
    }
    const size_t eq = line.find('=');
    if (eq != std::string::npos)
      values[section + "." + trim(line.substr(0, eq))] = trim(line.substr(eq + 1));
  }
  return values;
}

std::vector<std::string> SplitList(const std::string& text) {
  std::vector<std::string> out;
  std::stringstream s(text);
  for (std::string item; std::getline(s, item, ',');)
    if (!item.empty()) out.push_back(item);
  return out;
}

std::vector<TReferenceFrame> PygifReferences(const std::string& test) {
  const fs::path dir = TestDataDir() / "gif/pygif";
  const std::map<std::string, std::string> conf = ReadConf(dir / (test + ".conf"));
  const int width = std::stoi(conf.at("config.width"));
  const int height = std::stoi(conf.at("config.height"));
  const std::vector<std::string> frames = SplitList(conf.at("config.frames"));
  const auto mapping = kPygifFrameImages.find(test);
  std::vector<TReferenceFrame> result;
  for (size_t i = 0; i < frames.size(); ++i) {
    const std::vector<uint8_t> rgba = ReadFileBytes(dir / conf.at(frames[i] + ".pixels"));
    EXPECT_EQ(rgba.size(), size_t(width) * height * 4) << test;
    TReferenceFrame frame;
    frame.Key = "gif/pygif/" + test + ".gif#" + std::to_string(i);
    frame.Image = mapping != kPygifFrameImages.end() ? mapping->second.at(i) : i;
    frame.Pixels.Width = width;
    frame.Pixels.Height = height;
    frame.Pixels.HasAlpha = true;
    for (size_t p = 0; p + 3 < rgba.size(); p += 4)
      frame.Pixels.Pixels.push_back({rgba[p + 2], rgba[p + 1], rgba[p], rgba[p + 3]});
    result.push_back(std::move(frame));
  }
  return result;
}

// Why composed frames differ from the suites' expected frames.
constexpr const char* kStartsFromBackground =
    "the first frame, and every frame after a restore-to-previous frame, starts from the "
    "palette entry at the background index (opaque) unless the frame has a transparent index; "
    "the reference starts from transparent";
constexpr const char* kDisposedToBackground =
    "restore to background fills the frame's rectangle with the next frame's palette entry at "
    "the background index (opaque) when the frame has no transparent index; the reference "
    "clears it to transparent";
constexpr const char* kRefusedFile = "the file is refused (see kRefusedBeyondInvalidList)";

// Differences between our composed frames and the suites' expected frames, each with the rule
// that causes it. A change to this list must be deliberate.
const std::map<std::string, std::string> kReferenceDifferences = {
    {"gif/peterdn/animated_transparent_firstframerestoreprev_loop.gif#1", kStartsFromBackground},
    {"gif/peterdn/animated_transparent_firstframerestoreprev_loop.gif#2", kStartsFromBackground},
    {"gif/peterdn/animated_transparent_firstframerestoreprev_loop.gif#3", kStartsFromBackground},
    {"gif/peterdn/animated_transparent_loop.gif#2", kDisposedToBackground},
    {"gif/peterdn/animated_transparent_loop.gif#3", kDisposedToBackground},
    {"gif/peterdn/animated_transparent_loop_frames_out_of_bounds.gif#2", kDisposedToBackground},
    {"gif/peterdn/animated_transparent_loop_frames_out_of_bounds.gif#3", kDisposedToBackground},
    {"gif/peterdn/animated_transparent_restoreprev_loop.gif#2", kStartsFromBackground},
    {"gif/peterdn/animated_transparent_restoreprev_loop.gif#3", kStartsFromBackground},
    {"gif/pygif/dispose-restore-background.gif#0", kStartsFromBackground},
    {"gif/pygif/dispose-restore-background.gif#1", kDisposedToBackground},
    {"gif/pygif/dispose-restore-background.gif#2", kDisposedToBackground},
    {"gif/pygif/dispose-restore-background.gif#3", kDisposedToBackground},
    {"gif/pygif/image-inside-bg.gif#0", kStartsFromBackground},
    {"gif/pygif/image-outside-bg.gif#0", kStartsFromBackground},
    {"gif/pygif/image-overlap-bg.gif#0", kStartsFromBackground},
    {"gif/pygif/missing-pixels.gif#0", kStartsFromBackground},
    {"gif/pygif/image-zero-height.gif#0", kRefusedFile},
    {"gif/pygif/image-zero-size.gif#0", kRefusedFile},
    {"gif/pygif/image-zero-width.gif#0", kRefusedFile},
    {"gif/pygif/no-data.gif#0", kRefusedFile},
};

TEST(GifConformance, ComposedFramesMatchTheSuiteReferences) {
  ASSERT_TRUE(HaveTool("convert")) << "ImageMagick's convert is needed to read the PNG references";
  TTempFolder dir;
  std::vector<std::pair<fs::path, std::vector<TReferenceFrame>>> cases;
  for (const fs::path& gif : CorpusFiles("gif/peterdn", ".gif")) {
    const std::string stem = gif.stem().string();
    std::vector<TReferenceFrame> frames;
    for (size_t i = 0;; ++i) {
      fs::path png = gif.parent_path() / "frames" / (stem + "-" + std::to_string(i) + ".png");
      if (i == 0 && !fs::exists(png)) png = gif.parent_path() / "frames" / (stem + ".png");
      if (!fs::exists(png) || (i > 0 && stem.rfind("static", 0) == 0)) break;
      TReferenceFrame frame;
      frame.Key = CorpusName(gif) + "#" + std::to_string(i);
      frame.Image = i;
      std::string error;
      ASSERT_TRUE(ReadWithImageMagick(png, dir.Path(), frame.Pixels, error)) << error;
      frames.push_back(std::move(frame));
    }
    ASSERT_FALSE(frames.empty()) << gif;
    cases.emplace_back(gif, std::move(frames));
  }
  std::ifstream tests(TestDataDir() / "gif/pygif/TESTS");
  for (std::string test; std::getline(tests, test);) {
    if (test.empty()) continue;
    std::vector<TReferenceFrame> frames = PygifReferences(test);
    if (!frames.empty())
      cases.emplace_back(TestDataDir() / "gif/pygif" / (test + ".gif"), std::move(frames));
  }
  ASSERT_GT(cases.size(), 80u);

  std::map<std::string, std::string> differences;
  for (const auto& [gif, frames] : cases) {
    SCOPED_TRACE(gif.string());
    TDynImageDataArray images;
    try {
      ASSERT_TRUE(Gif().LoadFile(gif.string(), images, false));
    } catch (const EImagingError& e) {
      for (const TReferenceFrame& frame : frames) differences[frame.Key] = "refused";
      continue;
    }
    for (const TReferenceFrame& frame : frames) {
      if (frame.Image >= images.size()) {
        differences[frame.Key] = "no such image";
        continue;
      }
      const TPixelDiff diff = ComparePixels(PixelsOf(images[frame.Image]), frame.Pixels);
      if (!diff.Same()) differences[frame.Key] = diff.Text();
    }
  }
  std::set<std::string> actual, expected;
  std::string text;
  for (const auto& [key, what] : differences) {
    actual.insert(key);
    text += "\n  " + key + ": " + what;
  }
  for (const auto& [key, why] : kReferenceDifferences) expected.insert(key);
  EXPECT_EQ(actual, expected) << text;
}

// ---- Handler and registry -------------------------------------------------------------

TEST(GifFormat, RegisteredBetweenTargaAndJpegAndDetectedByContent) {
  EXPECT_EQ(FindFileFormatByExt("GIF"), &Gif());
  EXPECT_EQ(Gif().Name, "Graphics Interchange Format");
  EXPECT_TRUE(Gif().CanRead && Gif().CanWrite && Gif().MultiImage);
  const std::vector<TImageFileFormat*> formats = FileFormats();
  const auto position = [&](const std::string& ext) {
    return std::find(formats.begin(), formats.end(), FindFileFormatByExt(ext)) - formats.begin();
  };
  EXPECT_LT(position("tga"), position("gif"));
  EXPECT_LT(position("gif"), position("jpg"));

  TTempFolder dir;
  const std::vector<uint8_t> bytes = MakeGif({.Width = 2,
                                              .Height = 1,
                                              .GlobalTable = {0, 0xFFFFFF},
                                              .Frames = {{.Width = 2, .Pixels = {0, 1}}}});
  WriteFileBytes(dir / "picture.dat", bytes);
  EXPECT_EQ(DetectFileFormat((dir / "picture.dat").string()), &Gif());
  TImageData image;
  ASSERT_TRUE(ImageLoadFile((dir / "picture.dat").string(), image));
  EXPECT_EQ(PixelsOfImage(image), (std::vector<TPixel32>{Rgb(0), Rgb(0xFFFFFF)}));
}

TEST(GifFormat, ContentTestNeedsThirteenBytesAndAKnownVersion) {
  const std::vector<uint8_t> valid =
      MakeGif({.GlobalTable = {0, 0xFFFFFF}, .Frames = {{.Pixels = {1}}}});
  const auto accepted = [](const std::vector<uint8_t>& bytes) {
    return ContentAccepted(Gif(), bytes);
  };
  EXPECT_TRUE(accepted(valid));
  std::vector<uint8_t> gif87 = valid;
  gif87[4] = '7';
  EXPECT_TRUE(accepted(gif87));
  EXPECT_TRUE(accepted(std::vector<uint8_t>(valid.begin(), valid.begin() + 13)));
  EXPECT_FALSE(accepted(std::vector<uint8_t>(valid.begin(), valid.begin() + 12)));
  for (const char* version : {"90a", "89b", "87A"}) {
    std::vector<uint8_t> other = valid;
    std::copy_n(version, 3, other.begin() + 3);
    EXPECT_FALSE(accepted(other)) << version;
  }
}

// The GIF option would take kOptionJpeg2000CodeStreamOnly, which belongs to JPEG 2000:
// setting that id never turns the composition off.
TEST(GifFormat, LoadAnimatedHasNoEngineOption) {
  const int32_t saved = EngineGetOption(56);
  EngineSetOption(56, 0);
  EXPECT_EQ(Gif().LoadAnimated.load(), 1);
  const std::vector<uint8_t> bytes =
      MakeGif({.Width = 2, .GlobalTable = {0, 0xFFFFFF}, .Frames = {{.Pixels = {1}}}});
  EXPECT_EQ(LoadAllBytes(Gif(), bytes)[0].Format, F::A8R8G8B8);
  if (saved != OptionInvalid) EngineSetOption(56, saved);
}

// ---- Reading --------------------------------------------------------------------------

TEST(GifRead, FramesAsStoredWithTheirColorTables) {
  const std::vector<uint8_t> bytes = MakeGif({
      .Width = 4,
      .Height = 4,
      .GlobalTable = {0x102030, 0x405060},
      .Frames = {{.Width = 2, .Height = 1, .Pixels = {1, 0}},
                 {.Left = 1,
                  .Top = 2,
                  .Width = 1,
                  .Height = 2,
                  .Pixels = {3, 2},
                  .LocalTable = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF},
                  .Disposal = 1,
                  .Transparent = 2}},
  });
  const TDynImageDataArray frames = LoadFrames(bytes);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0].Format, F::Index8);
  EXPECT_EQ(frames[0].Width, 2);
  EXPECT_EQ(frames[0].Height, 1);
  EXPECT_EQ(BytesOf(frames[0]), (std::vector<uint8_t>{1, 0}));
  EXPECT_EQ(frames[0].palette()[0], Rgb(0x102030));
  EXPECT_EQ(frames[0].palette()[1], Rgb(0x405060));
  EXPECT_EQ(frames[0].palette()[2], kClear) << "entries beyond the table stay empty";
  EXPECT_EQ(frames[1].Width, 1);
  EXPECT_EQ(frames[1].Height, 2);
  EXPECT_EQ(BytesOf(frames[1]), (std::vector<uint8_t>{3, 2}));
  EXPECT_EQ(frames[1].palette()[0], Rgb(0xFF0000));
  EXPECT_EQ(frames[1].palette()[2], TPixel32::FromColor(0x000000FF)) << "transparent entry";
  EXPECT_EQ(frames[1].palette()[3], Rgb(0xFFFFFF));

  // Only the first with onlyFirst.
  Gif().LoadAnimated = 0;
  EXPECT_EQ(LoadAllBytes(Gif(), bytes, true).size(), 1u);
  Gif().LoadAnimated = 1;
  EXPECT_EQ(LoadAllBytes(Gif(), bytes, true).size(), 1u);
}

TEST(GifRead, FileWithoutColorTableUsesTheBitSplitPalette) {
  const std::vector<uint8_t> bytes = MakeGif(
      {.Width = 3, .Frames = {{.Width = 3, .Pixels = {0, 0b11100000, 255}, .MinCodeSize = 8}}});
  const TDynImageDataArray frames = LoadFrames(bytes);
  const TPixel32* palette = frames[0].palette();
  EXPECT_EQ(palette[0], Rgb(0x000000));
  EXPECT_EQ(palette[0b11100000], Rgb(0xFF0000));
  EXPECT_EQ(palette[0b00011100], Rgb(0x00FF00));
  EXPECT_EQ(palette[0b00000011], Rgb(0x0000FF));
  EXPECT_EQ(palette[255], Rgb(0xFFFFFF));
  EXPECT_EQ(PixelsOfImage(LoadAllBytes(Gif(), bytes)[0]),
            (std::vector<TPixel32>{Rgb(0), Rgb(0xFF0000), Rgb(0xFFFFFF)}));
}

TEST(GifRead, InterlacedFramesAreDeinterlaced) {
  for (int height : {1, 2, 3, 4, 5, 8, 9, 17}) {
    SCOPED_TRACE(height);
    TFrameLayout frame{.Width = 3, .Height = height};
    for (int i = 0; i < 3 * height; ++i) frame.Pixels.push_back(uint8_t(i % 7));
    TGifLayout layout{
        .Width = 3, .Height = height, .GlobalTable = {0, 1, 2, 3, 4, 5, 6, 7}, .Frames = {frame}};
    const TDynImageDataArray plain = LoadFrames(MakeGif(layout));
    layout.Frames[0].Interlaced = true;
    const TDynImageDataArray interlaced = LoadFrames(MakeGif(layout));
    EXPECT_EQ(BytesOf(interlaced[0]), frame.Pixels);
    EXPECT_EQ(BytesOf(plain[0]), frame.Pixels);
  }
}

// A width or height of 0, or one beyond the screen, becomes the screen's. The data keeps its
// stored layout: an oversized frame shows its top-left part, not rows wrapped at the screen
// width.
TEST(GifRead, FrameSizesAreClampedToTheScreen) {
  const std::vector<uint32_t> table = {0, 1, 2, 3, 4, 5, 6, 7};
  {
    SCOPED_TRACE("wider and higher than the screen");
    const TDynImageDataArray frames = LoadFrames(
        MakeGif({.Width = 2,
                 .Height = 2,
                 .GlobalTable = table,
                 .Frames = {{.Width = 3, .Height = 3, .Pixels = {1, 2, 3, 4, 5, 6, 7, 0, 1}}}}));
    EXPECT_EQ(frames[0].Width, 2);
    EXPECT_EQ(frames[0].Height, 2);
    EXPECT_EQ(BytesOf(frames[0]), (std::vector<uint8_t>{1, 2, 4, 5}));
  }
  {
    SCOPED_TRACE("interlaced and higher than the screen");
    TFrameLayout frame{.Width = 1, .Height = 5, .Pixels = {1, 2, 3, 4, 5}, .Interlaced = true};
    const TDynImageDataArray frames =
        LoadFrames(MakeGif({.Width = 1, .Height = 3, .GlobalTable = table, .Frames = {frame}}));
    EXPECT_EQ(BytesOf(frames[0]), (std::vector<uint8_t>{1, 2, 3}));
  }
  {
    SCOPED_TRACE("width 0");
    const TDynImageDataArray frames = LoadFrames(MakeGif(
        {.Width = 2,
         .Height = 2,
         .GlobalTable = table,
         .Frames = {
             {.Width = 0, .Height = 1, .Data = GifLzwEncode(std::vector<uint8_t>{1, 2}, 3)}}}));
    EXPECT_EQ(frames[0].Width, 2);
    EXPECT_EQ(frames[0].Height, 1);
    EXPECT_EQ(BytesOf(frames[0]), (std::vector<uint8_t>{1, 2}));
  }
}

// Short data leaves the rest of the frame at index 0; extra data is ignored; a missing
// trailer or an unknown block after an image ends the file quietly.
TEST(GifRead, ToleratesShortAndLongDataAndMissingTrailer) {
  const std::vector<uint32_t> table = {0x111111, 0x222222, 0x333333, 0x444444};
  TGifLayout layout{
      .Width = 2,
      .Height = 2,
      .GlobalTable = table,
      .Frames = {{.Width = 2, .Height = 2, .Data = GifLzwEncode(std::vector<uint8_t>{3}, 2)}}};
  EXPECT_EQ(BytesOf(LoadFrames(MakeGif(layout))[0]), (std::vector<uint8_t>{3, 0, 0, 0}));
  layout.Frames[0].Data = GifLzwEncode(std::vector<uint8_t>{1, 2, 3, 1, 2, 3, 3, 3}, 2);
  layout.Trailer = false;
  EXPECT_EQ(BytesOf(LoadFrames(MakeGif(layout))[0]), (std::vector<uint8_t>{1, 2, 3, 1}));
  std::vector<uint8_t> bytes = MakeGif(layout);
  bytes.insert(bytes.end(), {0x00, 0x2C, 0x01});
  EXPECT_EQ(LoadFrames(bytes).size(), 1u);
}

TEST(GifRead, ExtensionsAreSkipped) {
  std::vector<uint8_t> bytes = MakeGif({.GlobalTable = {0, 0xFFFFFF}, .Frames = {{.Pixels = {1}}}});
  const size_t imageAt = 13 + 6;
  ASSERT_EQ(bytes[imageAt], 0x2C);
  std::vector<uint8_t> extensions = {0x21, 0xFE, 3,   'a', 'b', 'c', 0,  // comment
                                     0x21, 0x01, 12,  0,   0,   0,   0,   8,   0,   8,
                                     0,    8,    8,   1,   0,   2,   'h', 'i', 0,  // plain text
                                     0x21, 0xFF, 11,  'N', 'E', 'T', 'S', 'C', 'A', 'P',
                                     'E',  '2',  '.', '0', 3,   1,   0,   0,   0,  // application
                                     0x21, 0x2A, 0,                                // unknown, empty
                                     0x21, 0xF9, 2,   0,   0,   0};                // short control
  bytes.insert(bytes.begin() + imageAt, extensions.begin(), extensions.end());
  const TDynImageDataArray images = LoadAllBytes(Gif(), bytes);
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(PixelsOfImage(images[0]), (std::vector<TPixel32>{Rgb(0xFFFFFF)}));
}

struct TBadGif {
  std::string Name;
  std::vector<uint8_t> Bytes;
  std::string Message;  // part of the error text
};

TEST(GifRead, BrokenFilesGiveClearErrors) {
  const std::vector<uint32_t> two = {0, 0xFFFFFF};
  const std::vector<uint8_t> valid =
      MakeGif({.Width = 2, .GlobalTable = two, .Frames = {{.Width = 2, .Pixels = {1, 0}}}});
  std::vector<TBadGif> cases = {
      {"no image", MakeGif({.GlobalTable = two}), "holds no image"},
      {"zero screen width", MakeGif({.Width = 0, .GlobalTable = two, .Frames = {{.Pixels = {1}}}}),
       "logical screen has no pixels"},
      {"invalid LZW code",
       MakeGif({.GlobalTable = two, .Frames = {{.Data = std::vector<uint8_t>{0x0F}}}}),
       "Error when decoding GIF LZW data"},
      {"LZW code size 12",
       MakeGif(
           {.GlobalTable = two, .Frames = {{.MinCodeSize = 12, .Data = std::vector<uint8_t>{0}}}}),
       "Error when decoding GIF LZW data"},
      {"index beyond the table",
       MakeGif({.GlobalTable = two, .Frames = {{.Pixels = {2}, .MinCodeSize = 2}}}),
       "pixel index 2 lies beyond the 2-entry color table"},
      {"screen beyond the engine's limit",
       MakeGif({.Width = 65535, .Height = 65535, .GlobalTable = two, .Frames = {{.Pixels = {1}}}}),
       "exceeds the limit"},
  };
  // Cut inside the header, the color table, the image descriptor and the image data.
  for (size_t length : {size_t(13), size_t(16), size_t(22), valid.size() - 3, valid.size() - 2})
    cases.push_back({"cut to " + std::to_string(length),
                     std::vector<uint8_t>(valid.begin(), valid.begin() + ptrdiff_t(length)),
                     "Unexpected end of data"});
  for (const TBadGif& c : cases) {
    SCOPED_TRACE(c.Name);
    try {
      LoadAllBytes(Gif(), c.Bytes);
      ADD_FAILURE() << "loaded";
    } catch (const EImagingError& e) {
      EXPECT_NE(std::string(e.what()).find("Error while loading images from stream"),
                std::string::npos)
          << e.what();
      EXPECT_NE(std::string(e.what()).find(c.Message), std::string::npos) << e.what();
    }
  }
}

// A frame of 65535x65535 (about 4 GB) claimed by a few bytes of data is refused before it
// is allocated: no code stands for more than 4096 pixels.
TEST(GifRead, HugeFrameClaimsAreRefusedBeforeAllocating) {
  const std::vector<uint8_t> data = GifLzwEncode(std::vector<uint8_t>(100, 1), 2);
  const std::vector<uint8_t> bytes =
      MakeGif({.Width = 65535,
               .Height = 65535,
               .GlobalTable = {0, 0xFFFFFF},
               .Frames = {{.Width = 65535, .Height = 65535, .Data = data}}});
  try {
    LoadFrames(bytes);
    ADD_FAILURE() << "loaded";
  } catch (const EImagingError& e) {
    EXPECT_NE(std::string(e.what()).find("cannot fill a 65535x65535 frame"), std::string::npos)
        << e.what();
  }
  // A long thin frame that its data does fill loads.
  const std::vector<uint8_t> line = GifLzwEncode(std::vector<uint8_t>(65535, 1), 2);
  const TDynImageDataArray frames =
      LoadFrames(MakeGif({.Width = 65535,
                          .Height = 1,
                          .GlobalTable = {0, 0xFFFFFF},
                          .Frames = {{.Width = 65535, .Height = 1, .Data = line}}}));
  EXPECT_EQ(frames[0].Width, 65535);
}

// Every prefix of a valid animation and every single-byte corruption loads or fails with
// EImagingError.
TEST(GifRead, TruncatedAndCorruptedFilesNeverCrash) {
  std::vector<TFrameLayout> frames;
  for (int i = 0; i < 3; ++i) {
    TFrameLayout f{.Left = i,
                   .Top = i,
                   .Width = 5,
                   .Height = 4,
                   .Interlaced = i == 1,
                   .Disposal = i + 1,
                   .Transparent = i == 2 ? 1 : -1};
    for (int p = 0; p < 20; ++p) f.Pixels.push_back(uint8_t((p * (i + 3)) % 4));
    if (i == 1) f.LocalTable = {0xFF0000, 0x00FF00, 0x0000FF, 0x123456};
    frames.push_back(f);
  }
  const std::vector<uint8_t> valid = MakeGif({.Width = 7,
                                              .Height = 6,
                                              .GlobalTable = {0, 0xFFFFFF, 0x808080, 0x404040},
                                              .Background = 2,
                                              .Frames = frames});
  ASSERT_EQ(LoadAllBytes(Gif(), valid).size(), 3u);
  int loaded = 0, refused = 0;
  const auto attempt = [&](const std::vector<uint8_t>& bytes) {
    try {
      const TDynImageDataArray images = LoadAllBytes(Gif(), bytes);
      for (const TImageData& image : images) EXPECT_TRUE(ImageIsValid(image));
      ++loaded;
    } catch (const EImagingError&) {
      ++refused;
    }
  };
  for (size_t length = 0; length < valid.size(); ++length)
    attempt(std::vector<uint8_t>(valid.begin(), valid.begin() + ptrdiff_t(length)));
  for (size_t at = 6; at < valid.size(); ++at)
    for (uint8_t value : {uint8_t(0), uint8_t(0xFF), uint8_t(valid[at] ^ 0x55)}) {
      std::vector<uint8_t> bytes = valid;
      bytes[at] = value;
      attempt(bytes);
    }
  EXPECT_GT(loaded, 0);
  EXPECT_GT(refused, 0);
}

// ---- Composing ------------------------------------------------------------------------

// The first frame smaller than the screen with a transparent index: transparent outside the
// frame and at the frame's transparent pixels.
TEST(GifCompose, TransparentFirstFrameOnALargerScreen) {
  const std::vector<uint8_t> bytes = MakeGif({.Width = 4,
                                              .Height = 3,
                                              .GlobalTable = {0xFF0000, 0x00FF00},
                                              .Background = 0,
                                              .Frames = {{.Left = 1,
                                                          .Top = 1,
                                                          .Width = 2,
                                                          .Height = 1,
                                                          .Pixels = {0, 1},
                                                          .Disposal = 0,
                                                          .Transparent = 1}}});
  const TDynImageDataArray images = LoadAllBytes(Gif(), bytes, true);
  ASSERT_EQ(images[0].Format, F::A8R8G8B8);
  ASSERT_EQ(images[0].Width, 4);
  ASSERT_EQ(images[0].Height, 3);
  const TPixel32 green = TPixel32::FromColor(0x0000FF00);  // the transparent entry
  std::vector<TPixel32> expected(12, green);
  expected[5] = Rgb(0xFF0000);
  EXPECT_EQ(PixelsOfImage(images[0]), expected);

  // Without a transparent index the rest of the screen shows the background entry.
  const std::vector<uint8_t> opaque =
      MakeGif({.Width = 4,
               .Height = 3,
               .GlobalTable = {0xFF0000, 0x00FF00},
               .Background = 1,
               .Frames = {{.Left = 1, .Top = 1, .Width = 2, .Height = 1, .Pixels = {0, 0}}}});
  expected.assign(12, Rgb(0x00FF00));
  expected[5] = expected[6] = Rgb(0xFF0000);
  EXPECT_EQ(PixelsOfImage(LoadAllBytes(Gif(), opaque, true)[0]), expected);
}

// Screen 3x1; palette: 0 black, 1 red, 2 green, 3 blue; background index 3 (blue).
struct TComposeCase {
  std::string Name;
  std::vector<TFrameLayout> Frames{};
  std::vector<std::vector<uint32_t>> Expected;  // 0xAARRGGBB per composed image
};

TEST(GifCompose, DisposalMethods) {
  const uint32_t K = 0xFF000000, R = 0xFFFF0000, G = 0xFF00FF00, B = 0xFF0000FF;
  const uint32_t T = 0x000000FF;  // the blue entry made transparent
  const uint32_t TG = 0x0000FF00;
  const auto px = [](int left, std::vector<uint8_t> pixels, int disposal, int transparent = -1) {
    return TFrameLayout{.Left = left,
                        .Width = int(pixels.size()),
                        .Pixels = pixels,
                        .Disposal = disposal,
                        .Transparent = transparent};
  };
  const std::vector<TComposeCase> cases = {
      {"keep", {px(0, {1, 1, 1}, 1), px(1, {2}, 1)}, {{R, R, R}, {R, G, R}}},
      {"unspecified keeps too", {px(0, {1, 1, 1}, 0), px(2, {2}, 0)}, {{R, R, R}, {R, R, G}}},
      {"background: the next frame's background entry",
       {px(0, {1, 1}, 2), px(2, {2}, 0)},
       {{R, R, B}, {B, B, G}}},
      {"background: the disposed frame's transparent entry",
       {px(0, {1, 1}, 2, 2), px(2, {0}, 0)},
       {{R, R, TG}, {TG, TG, K}}},
      {"transparent pixels leave what is below",
       {px(0, {1, 1, 1}, 1), px(0, {3, 2, 3}, 1, 3)},
       {{R, R, R}, {R, G, R}}},
      // Restore to previous: start from the background entry and replay the earlier frames
      // that kept their pixels.
      {"previous",
       {px(0, {1}, 1), px(1, {2}, 3), px(2, {0}, 1)},
       {{R, B, B}, {R, G, B}, {R, B, K}}},
      {"previous with a transparent current frame: its transparent entry fills",
       {px(0, {1}, 1), px(1, {2}, 3), px(2, {3}, 1, 3)},
       {{R, B, B}, {R, G, B}, {R, T, T}}},
      {"previous after the first frame",
       {px(0, {2, 2, 2}, 3), px(1, {1}, 0)},
       {{G, G, G}, {B, R, B}}},
      // The replay starts at the last frame that covers the screen and restores to the
      // background; later restore-to-background frames clear their rectangle.
      {"replay from the last full-screen background frame",
       {px(0, {1, 1, 1}, 1), px(0, {2, 2, 2}, 2), px(0, {0}, 1), px(1, {0}, 2), px(2, {1}, 3),
        px(2, {2}, 1)},
       {{R, R, R}, {G, G, G}, {K, B, B}, {K, K, B}, {K, B, R}, {K, B, G}}},
      {"frames outside the screen are clipped",
       {px(2, {1, 1, 1}, 1), px(5, {2}, 2), px(0, {0}, 1)},
       {{B, B, R}, {B, B, R}, {K, B, R}}},
  };
  for (const TComposeCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::vector<uint8_t> bytes = MakeGif({.Width = 3,
                                                .Height = 1,
                                                .GlobalTable = {0, 0xFF0000, 0x00FF00, 0x0000FF},
                                                .Background = 3,
                                                .Frames = c.Frames});
    const TDynImageDataArray images = LoadAllBytes(Gif(), bytes);
    ASSERT_EQ(images.size(), c.Expected.size());
    for (size_t i = 0; i < images.size(); ++i) {
      std::vector<TPixel32> expected;
      for (uint32_t color : c.Expected[i]) expected.push_back(TPixel32::FromColor(color));
      EXPECT_EQ(PixelsOfImage(images[i]), expected) << "image " << i;
    }
    // The first image alone is the same as the first of all.
    EXPECT_EQ(BytesOf(LoadAllBytes(Gif(), bytes, true)[0]), BytesOf(images[0]));
  }
}

// ---- Writing --------------------------------------------------------------------------

// The file layout, byte for byte, for a two-color image: the local table has 256 entries,
// the unused ones black.
TEST(GifWrite, LayoutOfATwoColorImage) {
  TImageData image;
  ASSERT_TRUE(ImageCreate(3, 2, F::A8R8G8B8, image));
  for (int i = 0; i < 6; ++i)
    StorePixelForTest(image, i,
                      i % 2 ? TPixel32::FromColor(0xFF336699) : TPixel32::FromColor(0xFFFFFFFF));
  const std::vector<uint8_t> bytes = SaveBytes(Gif(), TImageSpan(&image, 1));
  const std::vector<uint8_t> head = {'G', 'I', 'F',  '8',  '9', 'a', 3,  0, 2,   0, 0x70,
                                     0,   0,   0x21, 0xF9, 4,   0,   65, 0, 0,   0, 0x2C,
                                     0,   0,   0,    0,    3,   0,   2,  0, 0x87};
  ASSERT_GT(bytes.size(), head.size() + 768 + 3);
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + ptrdiff_t(head.size())), head);
  const uint8_t* table = bytes.data() + head.size();
  std::set<uint32_t> used;
  for (int e = 0; e < 2; ++e)
    used.insert(uint32_t(table[3 * e]) << 16 | table[3 * e + 1] << 8 | table[3 * e + 2]);
  EXPECT_EQ(used, (std::set<uint32_t>{0x336699, 0xFFFFFF}));
  for (int e = 2; e < 256; ++e)
    EXPECT_EQ(table[3 * e] | table[3 * e + 1] | table[3 * e + 2], 0) << e;
  size_t at = head.size() + 768;
  EXPECT_EQ(bytes[at++], 8) << "LZW minimum code size";
  while (bytes[at] != 0) {
    EXPECT_LE(bytes[at], 255);
    at += 1 + bytes[at];
    ASSERT_LT(at, bytes.size());
  }
  EXPECT_EQ(at + 2, bytes.size());
  EXPECT_EQ(bytes.back(), 0x3B);

  // What we wrote reads back as the same picture.
  EXPECT_EQ(PixelsOfImage(LoadAllBytes(Gif(), bytes)[0]), PixelsOfImage(image));
}

TEST(GifWrite, SeveralImagesShareAScreenOfTheLargestSize) {
  TImageData a, b;
  ASSERT_TRUE(ImageCreate(5, 2, F::Index8, a));
  ASSERT_TRUE(ImageCreate(3, 4, F::Gray8, b));
  const std::vector<TImageData> images = [&] {
    std::vector<TImageData> v;
    v.push_back(std::move(a));
    v.push_back(std::move(b));
    return v;
  }();
  const std::vector<uint8_t> bytes = SaveBytes(Gif(), images);
  EXPECT_EQ(bytes[6] | bytes[7] << 8, 5);
  EXPECT_EQ(bytes[8] | bytes[9] << 8, 4);
  const TDynImageDataArray frames = LoadFrames(bytes);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0].Width, 5);
  EXPECT_EQ(frames[1].Height, 4);
  // With onlyFirst only the first image is written.
  EXPECT_EQ(LoadFrames(SaveBytes(Gif(), images, {}, true)).size(), 1u);
}

TEST(GifWrite, RefusesImagesBeyond65535Pixels) {
  TImageData image;
  ASSERT_TRUE(ImageCreate(65536, 1, F::Index8, image));
  TMemoryStream stream;
  EXPECT_THROW(Gif().SaveStream(stream, TImageSpan(&image, 1), true), EImagingError);
  EXPECT_EQ(stream.Size(), 0);
}

struct TWriteCase {
  std::string Name;
  std::vector<TImageData> Images;
  bool Exact = true;  // at most 256 colors: every pixel comes back unchanged
};

TImageData RandomImage(int32_t width, int32_t height, F format, uint32_t seed, int colors) {
  TImageData image;
  ImageCreate(width, height, format, image);
  std::mt19937 rng(seed);
  std::vector<uint32_t> palette(static_cast<size_t>(colors));
  for (auto& c : palette) c = 0xFF000000u | (rng() & 0xFFFFFF);
  if (format == F::Index8) {
    for (int i = 0; i < 256; ++i)
      image.palette()[i] = TPixel32::FromColor(palette[size_t(i) % palette.size()]);
    for (int32_t i = 0; i < image.Size; ++i) image.bits()[i] = uint8_t(rng() % unsigned(colors));
  } else {
    for (int64_t i = 0; i < int64_t(width) * height; ++i)
      StorePixelForTest(image, i, TPixel32::FromColor(palette[rng() % palette.size()]));
  }
  return image;
}

// What we write is read back with the same pixels by two independent readers, and by ours.
TEST(GifWrite, IndependentReadersAgree) {
  ASSERT_TRUE(HaveTool("giftopnm")) << "netpbm's giftopnm is needed as independent reader";
  ASSERT_TRUE(HaveTool("convert")) << "ImageMagick's convert is needed as independent reader";
  std::vector<TWriteCase> cases;
  const auto add = [&](std::string name, std::vector<TImageData> images, bool exact = true) {
    cases.push_back({std::move(name), std::move(images), exact});
  };
  const auto one = [](TImageData image) {
    std::vector<TImageData> v;
    v.push_back(std::move(image));
    return v;
  };
  add("1x1", one(RandomImage(1, 1, F::A8R8G8B8, 1, 1)));
  add("one color 40x30", one(RandomImage(40, 30, F::A8R8G8B8, 2, 1)));
  add("two colors", one(RandomImage(17, 9, F::A8R8G8B8, 3, 2)));
  // 256 random colors: the code table fills every few thousand pixels.
  add("Index8 256 colors 300x200", one(RandomImage(300, 200, F::Index8, 4, 256)));
  add("A8R8G8B8 200 colors 256x256", one(RandomImage(256, 256, F::A8R8G8B8, 5, 200)));
  add("1x16000", one(RandomImage(1, 16000, F::Index8, 6, 3)));
  add("16000x1", one(RandomImage(16000, 1, F::Index8, 7, 256)));
  add("1x65535", one(RandomImage(1, 65535, F::Index8, 6, 3)));
  add("65535x1", one(RandomImage(65535, 1, F::Index8, 7, 256)));
  add("more than 256 colors", one(RandomImage(64, 64, F::A8R8G8B8, 8, 4000)), false);
  {
    std::vector<TImageData> several;
    several.push_back(RandomImage(20, 10, F::A8R8G8B8, 9, 5));
    several.push_back(RandomImage(7, 25, F::Index8, 10, 256));
    several.push_back(RandomImage(1, 1, F::A8R8G8B8, 11, 1));
    add("three images of different sizes", std::move(several));
  }
  TTempFolder dir;
  for (const TWriteCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const fs::path file = dir / "written.gif";
    ASSERT_TRUE(Gif().SaveFile(file.string(), c.Images, false));
    TDynImageDataArray ours;
    ASSERT_TRUE(Gif().LoadFile(file.string(), ours, false));
    ASSERT_EQ(ours.size(), c.Images.size());
    for (size_t i = 0; i < c.Images.size(); ++i) {
      SCOPED_TRACE("image " + std::to_string(i));
      const int32_t w = c.Images[i].Width, h = c.Images[i].Height;
      const fs::path ppm = dir / ("netpbm" + std::to_string(i) + ".ppm");
      ASSERT_TRUE(RunCommand(
          "giftopnm --image=" + std::to_string(i + 1) + " " + Quote(file) + " > " + Quote(ppm),
          dir / "giftopnm.log"))
          << [&] {
               const std::vector<uint8_t> log = ReadFileBytes(dir / "giftopnm.log");
               return std::string(log.begin(), log.end());
             }();
      TRgbaPixels netpbm, magick;
      std::string error;
      ASSERT_TRUE(ReadNetpbm(ppm, netpbm, error)) << error;
      // The installed ImageMagick policy caps width and height at 16000 pixels.
      const bool magickReads = w <= 16000 && h <= 16000;
      if (magickReads) {
        const fs::path frame = dir / ("frame" + std::to_string(i) + ".gif");
        ASSERT_TRUE(RunCommand("convert " + Quote(file.string() + "[" + std::to_string(i) + "]") +
                                   " +repage " + Quote(frame),
                               dir / "convert.log"));
        ASSERT_TRUE(ReadWithImageMagick(frame, dir.Path(), magick, error)) << error;
      }
      // Our composed image shows the frame at the top left of the shared screen.
      TRgbaPixels own = PixelsOf(ours[i]);
      TRgbaPixels ownFrame{.Width = w, .Height = h, .HasAlpha = true, .Pixels = {}};
      for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
          ownFrame.Pixels.push_back(own.Pixels[size_t(y) * own.Width + x]);
      EXPECT_TRUE(ComparePixels(netpbm, ownFrame).Same()) << ComparePixels(netpbm, ownFrame).Text();
      if (magickReads) {
        EXPECT_TRUE(ComparePixels(magick, ownFrame).Same())
            << ComparePixels(magick, ownFrame).Text();
      }
      if (c.Exact) {
        TRgbaPixels source = PixelsOf(c.Images[i]);
        EXPECT_TRUE(ComparePixels(source, ownFrame).Same())
            << ComparePixels(source, ownFrame).Text();
      }
    }
  }
}

}  // namespace
}  // namespace pixolan::imaging
