#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "imaging/formats/BuiltinFormats.h"
#include "imaging/io/Options.h"
#include "imaging/io/Registry.h"

namespace pixolan::imaging {
namespace {

// The built-in handlers in registry order, as a fixed list: name, masks, load, save.
struct TExpectedFormat {
  const char* name;
  std::vector<std::string> masks;
  bool canRead, canWrite;
};
const TExpectedFormat kExpected[] = {
    {"X Window Pixmap", {"*.xpm"}, true, false},
    {"ZSoft Paintbrush Image", {"*.pcx"}, true, false},
    {"Photoshop Image", {"*.psd", "*.pdd"}, true, true},
    {"Portable Bit Map", {"*.pbm"}, true, false},
    {"Portable Gray Map", {"*.pgm"}, true, true},
    {"Portable Pixel Map", {"*.ppm"}, true, true},
    {"Portable Arbitrary Map", {"*.pam"}, true, true},
    {"Portable Float Map", {"*.pfm"}, true, true},
    {"Truevision Targa Image", {"*.tga"}, true, true},
    {"DirectDraw Surface", {"*.dds"}, true, true},
    {"Graphics Interchange Format", {"*.gif"}, true, true},
    {"Joint Photographic Experts Group Image",
     {"*.jpg", "*.jpeg", "*.jfif", "*.jpe", "*.jif"},
     true,
     true},
    {"Portable Network Graphics", {"*.png"}, true, true},
    {"Multiple Network Graphics", {"*.mng"}, true, true},
    {"JPEG Network Graphics", {"*.jng"}, true, true},
    {"Windows Bitmap Image", {"*.bmp", "*.dib"}, true, true},
};

TEST(BuiltinFormats, TheRegistryStartsWithTheTableInItsOrder) {
  const std::vector<TImageFileFormat*> formats = FileFormats();
  ASSERT_GE(formats.size(), std::size(kExpected));
  ASSERT_EQ(BuiltinFormats().size(), std::size(kExpected));
  for (size_t i = 0; i < std::size(kExpected); ++i) {
    SCOPED_TRACE(kExpected[i].name);
    EXPECT_EQ(formats[i]->Name, kExpected[i].name);
    EXPECT_EQ(formats[i]->Masks, kExpected[i].masks);
    EXPECT_EQ(formats[i]->CanRead, kExpected[i].canRead);
    EXPECT_EQ(formats[i]->CanWrite, kExpected[i].canWrite);
    const TImageFileFormat& format = *formats[i];
    EXPECT_EQ(std::type_index(typeid(format)), BuiltinFormats()[i].Type);
  }
}

// Runs in a fresh process (the death test re-executes this program for this test alone),
// where nothing has used the registry yet: the first use from any entry point, racing on
// several threads, finds every built-in handler with its options bound, exactly once.
TEST(BuiltinFormatsDeathTest, FirstUseFromAnyThreadCreatesThemOnce) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        // An option set before any load must reach its handler.
        if (!EngineSetOption(kOptionJpegQuality, 77)) std::exit(2);
        std::vector<std::thread> threads;
        std::vector<size_t> counts(8);
        for (size_t t = 0; t < counts.size(); ++t)
          threads.emplace_back([&counts, t] {
            counts[t] = t % 2 ? FileFormats().size()
                              : (FindFileFormatByExt("bmp") ? std::size(kExpected) : 0);
          });
        for (std::thread& thread : threads) thread.join();
        for (size_t count : counts)
          if (count != std::size(kExpected)) std::exit(3);
        std::exit(EngineGetOption(kOptionJpegQuality) == 77 ? 0 : 4);
      },
      testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace pixolan::imaging
