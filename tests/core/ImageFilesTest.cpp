#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "core/ImageFiles.h"
#include "imaging/icons/IconCursorFile.h"
#include "imaging/icons/IconCursorList.h"
#include "imaging/image/Imaging.h"
#include "imaging/io/FileFormat.h"
#include "imaging/io/Registry.h"
#include "support/ErrorOf.h"
#include "support/Files.h"
#include "support/TempFolder.h"

namespace pixolan::core {
namespace {

namespace fs = std::filesystem;
using imaging::TImageData;
using imaging::TImageFormatId;
using imaging::TPixel32;

class ImageFilesTest : public testing::Test {
 protected:
  std::string Path(const std::string& name) const { return folder_.File(name); }

  // A 3x2 opaque image with distinct pixels.
  static TImageData Sample() {
    TImageData image;
    imaging::ImageCreate(3, 2, TImageFormatId::A8R8G8B8, image);
    for (int i = 0; i < 6; ++i)
      imaging::ImageSetPixel32(
          image, i % 3, i / 3,
          TPixel32{uint8_t(40 * i), uint8_t(200 - 30 * i), uint8_t(7 * i), 255});
    return image;
  }

  test::TTempFolder folder_;
};

TEST_F(ImageFilesTest, LoadDecidesByContentNotByName) {
  const TImageData sample = Sample();
  ASSERT_TRUE(SaveResultImage(Path("a.bmp"), sample));
  // The same bytes under names that promise another format or none at all.
  fs::copy_file(Path("a.bmp"), Path("bitmap.jpg"));
  fs::copy_file(Path("a.bmp"), Path("bitmap.xyz"));
  for (const char* name : {"a.bmp", "bitmap.jpg", "bitmap.xyz"}) {
    TImageData loaded;
    ASSERT_TRUE(LoadSourceImage(Path(name), loaded)) << name;
    EXPECT_EQ(loaded.Format, TImageFormatId::A8R8G8B8);
    ASSERT_EQ(loaded.Size, sample.Size);
    EXPECT_EQ(0, std::memcmp(loaded.bits(), sample.bits(), size_t(sample.Size))) << name;
  }
}

TEST_F(ImageFilesTest, UnreadableSourcesGiveFalseOrTheLoadersReason) {
  std::ofstream(Path("empty.png")).close();
  std::ofstream(Path("text.bmp")) << "this is not an image";
  // A BMP header whose pixel data is missing: the BMP handler takes it and then fails.
  std::string truncated("BM", 2);
  truncated.resize(54, '\0');
  truncated[10] = 54;  // pixel data offset
  truncated[14] = 40;  // info header size
  truncated[18] = 4;   // width
  truncated[22] = 4;   // height
  truncated[26] = 1;   // planes
  truncated[28] = 24;  // bits per pixel
  std::ofstream(Path("truncated.bmp"), std::ios::binary) << truncated;
  // Nothing recognises these: false, image untouched.
  for (const char* name : {"empty.png", "text.bmp", "missing.gif"}) {
    TImageData image = Sample();
    EXPECT_FALSE(LoadSourceImage(Path(name), image)) << name;
    EXPECT_EQ(image.Width, 3) << name;
  }
  // A file its handler cannot read: the loader's error, naming the file and the format.
  TImageData image;
  try {
    LoadSourceImage(Path("truncated.bmp"), image);
    ADD_FAILURE() << "a truncated BMP loaded";
  } catch (const imaging::EImagingError& e) {
    EXPECT_TRUE(std::string(e.what()).starts_with("Error while loading images from file \"" +
                                                  Path("truncated.bmp") + "\" (file format: bmp)."))
        << e.what();
  }
  EXPECT_FALSE(imaging::ImageIsValid(image));
}

TEST_F(ImageFilesTest, MultiFrameFilesGiveTheirFirstFrame) {
  // Two frames of different colors; the result must be the first, not a later one or a
  // blend of them.
  TImageData red, blue;
  imaging::ImageCreate(2, 2, TImageFormatId::A8R8G8B8, red);
  imaging::ImageCreate(2, 2, TImageFormatId::A8R8G8B8, blue);
  for (int i = 0; i < 4; ++i) {
    imaging::ImageSetPixel32(red, i % 2, i / 2, TPixel32{0, 0, 255, 255});
    imaging::ImageSetPixel32(blue, i % 2, i / 2, TPixel32{255, 0, 0, 255});
  }
  imaging::TDynImageDataArray frames;
  frames.push_back(std::move(red));
  frames.push_back(std::move(blue));
  imaging::TImageFileFormat* gif = imaging::FindFileFormatByExt("gif");
  ASSERT_NE(gif, nullptr);
  ASSERT_TRUE(gif->SaveFile(Path("two.gif"), frames, false));
  TImageData image;
  ASSERT_TRUE(LoadSourceImage(Path("two.gif"), image));
  EXPECT_EQ(image.Format, TImageFormatId::A8R8G8B8);
  ASSERT_EQ(image.Width, 2);
  for (int i = 0; i < 4; ++i) {
    const TPixel32 p = imaging::ImageGetPixel32(image, i % 2, i / 2);
    EXPECT_EQ(p.R, 255);
    EXPECT_EQ(p.B, 0);
  }
}

TEST_F(ImageFilesTest, SaveChoosesTheHandlerByExtensionAlone) {
  const TImageData sample = Sample();
  EXPECT_TRUE(SaveResultImage(Path("upper.JPG"), sample));
  std::ifstream jpeg(Path("upper.JPG"), std::ios::binary);
  char magic[2] = {};
  jpeg.read(magic, 2);
  EXPECT_EQ(uint8_t(magic[0]), 0xFF);
  EXPECT_EQ(uint8_t(magic[1]), 0xD8);

  for (const char* name : {"out.xyz", "out", "out.pcx", "out.xpm", "out.pbm"}) {
    EXPECT_FALSE(SaveResultImage(Path(name), sample)) << name;
    EXPECT_FALSE(fs::exists(Path(name))) << name;
  }
  TImageData empty;
  EXPECT_FALSE(SaveResultImage(Path("empty.bmp"), empty));
  EXPECT_FALSE(fs::exists(Path("empty.bmp")));
}

// Icon and cursor names go to the icon reader and writer, whatever the file holds.
TEST_F(ImageFilesTest, IconAndCursorNamesUseTheIconFiles) {
  const TImageData sample = Sample();
  for (const char* name : {"out.ico", "out.CUR"}) {
    SCOPED_TRACE(name);
    ASSERT_EQ(ResultFormatOf(Path(name)), &imaging::IconCursorFileFormat());
    ASSERT_TRUE(SaveResultImage(Path(name), sample));
    EXPECT_EQ(test::ReadFileBytes(Path(name))[2], 1);  // an icon, also under a cursor name
    TImageData loaded;
    ASSERT_TRUE(LoadSourceImage(Path(name), loaded));
    ASSERT_EQ(loaded.Format, TImageFormatId::A8R8G8B8);
    // The bottom-left pixel's color is the transparent one; no other pixel has it.
    for (int32_t i = 0; i < 6; ++i) {
      TPixel32 expected = imaging::ImageGetPixel32(sample, i % 3, i / 3);
      if (i == 3) expected = {0, 0, 0, 0};
      EXPECT_EQ(imaging::ImageGetPixel32(loaded, i % 3, i / 3), expected) << "pixel " << i;
    }
  }
  // The name decides: a PNG file called .ico goes to the icon reader, which refuses it.
  ASSERT_TRUE(SaveResultImage(Path("picture.png"), sample));
  fs::copy_file(Path("picture.png"), Path("picture.ico"));
  TImageData image;
  EXPECT_EQ(
      test::ErrorOf<imaging::EIconException>([&] { LoadSourceImage(Path("picture.ico"), image); }),
      "Not a valid icon file header.");
}

// An image beyond 256 pixels is refused and an existing icon stays as it was.
TEST_F(ImageFilesTest, OversizedIconsAreRefusedAndReplaceNothing) {
  ASSERT_TRUE(SaveResultImage(Path("kept.ico"), Sample()));
  const std::vector<uint8_t> before = test::ReadFileBytes(Path("kept.ico"));
  TImageData tall;
  imaging::ImageCreate(4, 257, TImageFormatId::A8R8G8B8, tall);
  EXPECT_EQ(
      test::ErrorOf<imaging::EIconException>([&] { SaveResultImage(Path("kept.ico"), tall); }),
      "An icon can be at most 256 x 256 pixels, but the image is 4 x 257 pixels; resize it "
      "first.");
  EXPECT_EQ(test::ReadFileBytes(Path("kept.ico")), before);
  EXPECT_EQ(folder_.Entries(), std::vector<std::string>{"kept.ico"});
}

TEST(ImageFileFormats, TheIconFilesFollowTheRegistry) {
  const std::vector<imaging::TImageFileFormat*> registry = imaging::FileFormats();
  const std::vector<imaging::TImageFileFormat*> all = ImageFileFormats();
  ASSERT_EQ(all.size(), registry.size() + 1);
  EXPECT_TRUE(std::equal(registry.begin(), registry.end(), all.begin()));
  EXPECT_EQ(all.back(), &imaging::IconCursorFileFormat());
  EXPECT_TRUE(all.back()->CanRead && all.back()->CanWrite);
}

}  // namespace
}  // namespace pixolan::core
