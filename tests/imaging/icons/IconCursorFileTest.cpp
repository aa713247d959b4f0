#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "imaging/icons/IconCursorFile.h"
#include "imaging/icons/IconCursorList.h"
#include "imaging/image/Errors.h"
#include "imaging/image/Imaging.h"
#include "imaging/io/Registry.h"
#include "support/Bytes.h"
#include "support/ErrorOf.h"
#include "support/ExternalOracles.h"
#include "support/Files.h"
#include "support/TempFolder.h"
#include "support/TestImages.h"

namespace pixolan::imaging {
namespace {

namespace fs = std::filesystem;

TImageData Decode(const std::vector<uint8_t>& bytes) {
  TMemoryBlockStream stream(bytes.data(), int64_t(bytes.size()));
  TImageData image;
  LoadIconCursorImage(stream, image);
  return image;
}

std::vector<uint8_t> Encode(const TImageData& image) {
  TMemoryStream stream;
  WriteIconCursorImage(image, stream);
  return stream.Data();
}

// A picture whose bottom-left pixel is white, with white elsewhere too, some
// semi-transparent pixels and one fully transparent one of another color.
TImageData KeyedPicture(int32_t width, int32_t height) {
  TImageData image;
  ImageCreate(width, height, TImageFormatId::A8R8G8B8, image);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      TPixel32 p{uint8_t(x * 37), uint8_t(y * 11), uint8_t(x + y), 255};
      if ((x + 2 * y) % 5 == 0) p = {255, 255, 255, 255};
      if ((x * y) % 7 == 3) p.A = uint8_t(64 + x % 100);
      ImageSetPixel32(image, x, y, p);
    }
  ImageSetPixel32(image, 0, height - 1, {255, 255, 255, 255});
  ImageSetPixel32(image, width - 1, 0, {9, 9, 9, 0});
  return image;
}

// What the written icon shows: pixels exactly the bottom-left color, and transparent ones,
// become transparent; everything else is kept.
test::TRgbaPixels ExpectedFromKey(const TImageData& image) {
  test::TRgbaPixels pixels = test::PixelsOf(image);
  const TPixel32 key = pixels.Pixels[size_t(image.Height - 1) * size_t(image.Width)];
  for (TPixel32& p : pixels.Pixels)
    if (p == key || p.A == 0) p = {0, 0, 0, 0};
  return pixels;
}

TEST(IconCursorFile, WrittenIconsKeyTheBottomLeftColorAndKeepAlpha) {
  const struct {
    const char* Name;
    TImageData Image;
  } cases[] = {
      {"keyed picture", KeyedPicture(37, 19)},
      {"one color, all transparent", test::Filled(5, 3, 0xFF336699)},
      {"largest size", KeyedPicture(256, 256)},
      {"gray source", test::MakeImage(3, 2, TImageFormatId::Gray8, {10, 20, 30, 40, 10, 60})},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.Name);
    const std::vector<uint8_t> bytes = Encode(test.Image);
    // One 32-bit icon entry; the directory stores 256 as 0.
    EXPECT_EQ(test::Le16(bytes, 2), 1);
    EXPECT_EQ(test::Le16(bytes, 4), 1);
    EXPECT_EQ(bytes[6], uint8_t(test.Image.Width));
    EXPECT_EQ(bytes[7], uint8_t(test.Image.Height));
    EXPECT_EQ(test::Le16(bytes, 12), 32);
    EXPECT_EQ(test::Le32(bytes, 14), bytes.size() - 22);
    const test::TRgbaPixels expected = ExpectedFromKey(test.Image);
    const test::TPixelDiff diff = test::ComparePixels(test::PixelsOf(Decode(bytes)), expected);
    EXPECT_TRUE(diff.Same()) << diff.Text();
    // Readers that know no alpha see the same transparency through the AND mask.
    TIconCursorList list;
    TMemoryBlockStream stream(bytes.data(), int64_t(bytes.size()));
    list.LoadFromStream(stream);
    for (size_t i = 0; i < expected.Pixels.size(); ++i)
      ASSERT_EQ(list[0].Mask()[i], expected.Pixels[i].A == 0 ? 1 : 0) << "pixel " << i;
  }
}

// Icons end at 256 pixels a side; a larger image is refused before anything is written.
TEST(IconCursorFile, ImagesBeyond256PixelsAreRefusedWithoutAFile) {
  const test::TTempFolder folder;
  for (const auto& [width, height] : {std::pair{257, 16}, std::pair{16, 300}}) {
    const TImageData image = test::Filled(width, height, 0xFF102030);
    const std::string error = test::ErrorOf<EIconException>([&] {
      IconCursorFileFormat().SaveFile(folder.File("big.ico"), TImageSpan(&image, 1), true);
    });
    EXPECT_EQ(error, FormatText("An icon can be at most 256 x 256 pixels, but the image is %d x %d "
                                "pixels; resize it first.",
                                width, height));
    EXPECT_TRUE(folder.Entries().empty());
  }
}

TEST(IconCursorFile, CursorNamesGetIconResources) {
  const test::TTempFolder folder;
  const TImageData image = KeyedPicture(8, 8);
  for (const char* name : {"a.cur", "b.CUR", "c.ico"}) {
    ASSERT_TRUE(IsIconCursorFileName(name)) << name;
    ASSERT_TRUE(IconCursorFileFormat().SaveFile(folder.File(name), TImageSpan(&image, 1), true));
    EXPECT_EQ(test::ReadFileBytes(folder / name), Encode(image)) << name;
  }
  EXPECT_FALSE(IsIconCursorFileName("icon.png"));
  EXPECT_FALSE(IsIconCursorFileName("ico"));
}

// ImageMagick reads what we write with the same pixels and transparency.
TEST(IconCursorFile, ImageMagickReadsWrittenIcons) {
  ASSERT_TRUE(test::HaveTool("convert")) << "ImageMagick is needed";
  const test::TTempFolder folder;
  const struct {
    const char* Name;
    TImageData Image;
  } cases[] = {
      {"keyed.ico", KeyedPicture(37, 19)},
      {"large.ico", KeyedPicture(256, 256)},
      {"cursor.cur", KeyedPicture(32, 32)},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.Name);
    const fs::path file = folder / test.Name;
    ASSERT_TRUE(IconCursorFileFormat().SaveFile(file.string(), TImageSpan(&test.Image, 1), true));
    // ImageMagick reads .cur by its own cursor reader; the data is an icon either way.
    const fs::path asIcon = folder / (std::string(test.Name) + ".ico");
    fs::copy_file(file, asIcon);
    test::TRgbaPixels theirs;
    std::string error;
    ASSERT_TRUE(test::ReadWithImageMagick(asIcon, folder.Path(), theirs, error)) << error;
    const test::TPixelDiff diff = test::ComparePixels(theirs, ExpectedFromKey(test.Image));
    EXPECT_TRUE(diff.Same()) << diff.Text();
  }
}

// A reader of the published layout in a few lines of Python's standard library: for each
// pixel, top row first, the 32-bit color and alpha and the AND mask bit.
constexpr char kPythonIconReader[] = R"(import struct, sys
data = open(sys.argv[1], 'rb').read()
reserved, kind, count = struct.unpack_from('<HHH', data, 0)
w, h, colors, _, planes, bits, size, offset = struct.unpack_from('<BBBBHHII', data, 6)
header, width, height2, _, bitcount = struct.unpack_from('<IiiHH', data, offset)
height = height2 // 2
print(reserved, kind, count, w, h, bits, bitcount, width, height, int(size == len(data) - offset))
pixels = offset + header
mask = pixels + width * height * 4
stride = (width + 31) // 32 * 4
for y in range(height):
    row = height - 1 - y
    for x in range(width):
        b, g, r, a = data[pixels + (row * width + x) * 4:][:4]
        m = data[mask + row * stride + x // 8] >> (7 - x % 8) & 1
        print(b, g, r, a, m)
)";

TEST(IconCursorFile, PythonReadsTheColorsAlphaAndMaskWeWrite) {
  ASSERT_TRUE(test::HaveTool("python3")) << "python3 is needed";
  const test::TTempFolder folder;
  test::WriteFileText(folder / "read_icon.py", kPythonIconReader);
  for (const auto& [width, height] : {std::pair{37, 19}, std::pair{256, 256}}) {
    SCOPED_TRACE(testing::Message() << width << "x" << height);
    const TImageData image = KeyedPicture(width, height);
    const fs::path file = folder / "keyed.cur";
    ASSERT_TRUE(IconCursorFileFormat().SaveFile(file.string(), TImageSpan(&image, 1), true));
    ASSERT_TRUE(test::RunCommand("python3 " + test::Quote(folder / "read_icon.py") + " " +
                                     test::Quote(file) + " >" + test::Quote(folder / "out.txt"),
                                 folder / "python.log"))
        << test::ReadFileText(folder / "python.log");
    std::istringstream out(test::ReadFileText(folder / "out.txt"));
    int reserved, kind, count, w, h, bits, bitCount, pixelsWide, pixelsHigh, sizeMatches;
    out >> reserved >> kind >> count >> w >> h >> bits >> bitCount >> pixelsWide >> pixelsHigh >>
        sizeMatches;
    EXPECT_EQ(reserved, 0);
    EXPECT_EQ(kind, 1);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(w, width % 256);
    EXPECT_EQ(h, height % 256);
    EXPECT_EQ(bits, 32);
    EXPECT_EQ(bitCount, 32);
    EXPECT_EQ(sizeMatches, 1);
    ASSERT_EQ(pixelsWide, width);
    ASSERT_EQ(pixelsHigh, height);
    const test::TRgbaPixels expected = ExpectedFromKey(image);
    for (size_t i = 0; i < expected.Pixels.size(); ++i) {
      int b, g, r, a, m;
      ASSERT_TRUE(out >> b >> g >> r >> a >> m) << "pixel " << i;
      const TPixel32 e = expected.Pixels[i];
      ASSERT_EQ(a, e.A) << "pixel " << i;
      ASSERT_EQ(m, e.A == 0 ? 1 : 0) << "pixel " << i;
      if (e.A != 0) {
        ASSERT_EQ((TPixel32{uint8_t(b), uint8_t(g), uint8_t(r), uint8_t(a)}), e) << "pixel " << i;
      }
    }
  }
}

// The other decoders' expected pictures of corpus icons: the entry we pick is theirs too.
TEST(IconCursorFile, CorpusIconsMatchTheirReferencePictures) {
  const fs::path corpus = test::TestDataDir() / "ico-cur";
  const struct {
    const char* Icon;
    const char* Reference;
  } cases[] = {
      {"image-rs/bmp-24bpp-mask.ico", "image-rs/reference/bmp-24bpp-mask.ico.png"},
      {"image-rs/bmp-32bpp-alpha.ico", "image-rs/reference/bmp-32bpp-alpha.ico.png"},
      {"image-rs/png-32bpp-alpha.ico", "image-rs/reference/png-32bpp-alpha.ico.png"},
      {"image-rs/png_l8.ico", "image-rs/reference/png_l8.ico.png"},
      {"image-rs/png_rgb8.ico", "image-rs/reference/png_rgb8.ico.png"},
      {"image-rs/smile.ico", "image-rs/reference/smile.ico.png"},
      {"image-rs/lenient-bpp.ico", "image-rs/reference/lenient-bpp.ico.png"},
      {"image-rs/multiple_entries_with_different_bit_depth.ico",
       "image-rs/reference/multiple_entries_with_different_bit_depth.ico.png"},
      {"image-rs/two-entry-order-test.ico", "image-rs/reference/two-entry-order-test.ico.png"},
      {"pillow/hopper_mask.ico", "pillow/hopper_mask.png"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.Icon);
    TImageData ours, reference;
    LoadIconCursorFile((corpus / test.Icon).string(), ours);
    ASSERT_TRUE(ImageLoadFile((corpus / test.Reference).string(), reference));
    const test::TPixelDiff diff =
        test::ComparePixels(test::PixelsOf(ours), test::PixelsOf(reference));
    EXPECT_TRUE(diff.Same()) << diff.Text();
  }
}

// Every icon and cursor of the corpus loads or is refused with an error, never crashes.
TEST(IconCursorFile, CorpusFilesLoadOrAreRefused) {
  const std::map<std::string, std::string> refusals = {
      {"ico-cur/image-rs/invalid/Bad_smile-incorrect-image-length.ico",
       "the entry's data is shorter than its pixels"},
      {"ico-cur/pillow/decompression_bomb.ico", "65535 x 32767 pixels claimed by 176 bytes"},
      {"ico-cur/image-rs/invalid/crash-981fee302fe0fc543ee48292cc3d6ace7e97e633.ico",
       "run-length compression in an icon bitmap"},
      {"ico-cur/image-rs/invalid/oom-0d0085eb7f66ea55d9119206235cd29e089b9140.ico",
       "PNG entry with a bad IHDR checksum"},
      {"ico-cur/image-rs/invalid/oom-ff076e7064c13ec1f8e2c5bbbfb7a77a08db2361.ico",
       "PNG entry with a bad IHDR checksum"},
  };
  test::ExpectCorpusLoadsOrIsRefused(IconCursorFileFormat(), "ico-cur", ".ico", 20, refusals);
  test::ExpectCorpusLoadsOrIsRefused(IconCursorFileFormat(), "ico-cur", ".cur", 4,
                                     {{"ico-cur/pillow/no_cursors.cur", "no entries"}});
}

}  // namespace
}  // namespace pixolan::imaging
