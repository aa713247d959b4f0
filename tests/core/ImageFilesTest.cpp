#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "core/ImageFiles.h"
#include "imaging/Imaging.h"
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

TEST_F(ImageFilesTest, UnreadableSourcesGiveFalseWithReason) {
  std::ofstream(Path("empty.png")).close();
  std::ofstream(Path("text.bmp")) << "this is not an image";
  std::ofstream(Path("truncated.bmp")) << "BM\x10\x00";
  struct Case {
    std::string name;
  } cases[] = {{"empty.png"}, {"text.bmp"}, {"truncated.bmp"}, {"missing.gif"}};
  for (const Case& c : cases) {
    TImageData image;
    std::string error;
    EXPECT_FALSE(LoadSourceImage(Path(c.name), image, &error)) << c.name;
    EXPECT_FALSE(error.empty()) << c.name;
    EXPECT_FALSE(imaging::ImageIsValid(image));
  }
}

TEST_F(ImageFilesTest, MultiFrameFilesGiveTheirFirstFrame) {
  const std::string gif = std::string(PIXOLAN_TESTDATA_DIR) + "/gif/peterdn/animated_loop.gif";
  ASSERT_TRUE(fs::exists(gif)) << gif;
  TImageData image;
  ASSERT_TRUE(LoadSourceImage(gif, image));
  EXPECT_EQ(image.Format, TImageFormatId::A8R8G8B8);
  EXPECT_GT(image.Width, 0);
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

}  // namespace
}  // namespace pixolan::core
