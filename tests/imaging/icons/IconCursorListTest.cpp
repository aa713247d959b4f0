#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "imaging/formats/NetworkGraphicsFormat.h"
#include "imaging/icons/IconCursorFile.h"
#include "imaging/icons/IconCursorList.h"
#include "imaging/image/Imaging.h"
#include "imaging/io/Registry.h"
#include "support/Bytes.h"
#include "support/ErrorOf.h"
#include "support/ExternalOracles.h"
#include "support/Files.h"
#include "support/FormatBytes.h"
#include "support/IconFiles.h"
#include "support/TempFolder.h"
#include "support/TestImages.h"

namespace pixolan::imaging {
namespace {

using test::IconEntryOf;
using test::IconFileBytes;
using test::TIconBitmapLayout;
using test::TIconEntry;

constexpr char kCorrupt[] = "Can not load icon from file: The file could be corrupt.";

TImageData Decode(const std::vector<uint8_t>& bytes) {
  TMemoryBlockStream stream(bytes.data(), int64_t(bytes.size()));
  TImageData image;
  LoadIconCursorImage(stream, image);
  return image;
}

void LoadList(TIconCursorList& list, const std::vector<uint8_t>& bytes) {
  TMemoryBlockStream stream(bytes.data(), int64_t(bytes.size()));
  list.LoadFromStream(stream);
}

// An entry of one color: palette index 0 for palette depths, the color itself otherwise.
TIconBitmapLayout Solid(int32_t width, int32_t height, uint16_t bits, TPixel32 color) {
  TIconBitmapLayout layout{width, height, bits, {}, {}, {}};
  if (bits <= 8) layout.Palette = {color};
  layout.Values.assign(size_t(width) * size_t(height), bits <= 8 ? 0 : color.Color());
  return layout;
}

struct TSelectionCase {
  const char* Name;
  std::vector<TIconBitmapLayout> Entries;
  size_t Chosen;
};

// Deepest first; of equal depth the largest width + height; of equals the first.
TEST(IconCursorList, TheProgramTakesTheDeepestThenLargestEntry) {
  const TPixel32 a{10, 20, 30, 255}, b{40, 50, 60, 255}, c{70, 80, 90, 255};
  const TSelectionCase cases[] = {
      {"32-bit beats 4 and 8 bits of the same size",
       {Solid(16, 16, 4, a), Solid(32, 32, 8, b), Solid(32, 32, 32, c)},
       2},
      {"48x48 beats 16x16 of equal depth", {Solid(16, 16, 8, a), Solid(48, 48, 8, b)}, 1},
      {"a small 32-bit entry beats a large 8-bit one",
       {Solid(16, 16, 32, a), Solid(48, 48, 8, b)},
       0},
      {"the first of two equal entries", {Solid(4, 4, 8, a), Solid(4, 4, 8, b)}, 0},
      // The directory stores 256 as 0; the entry still counts as the largest.
      {"a 256x256 entry beats 48x48", {Solid(48, 48, 24, a), Solid(256, 256, 24, b)}, 1},
  };
  for (const TSelectionCase& test : cases) {
    SCOPED_TRACE(test.Name);
    std::vector<TIconEntry> entries;
    for (const TIconBitmapLayout& layout : test.Entries) entries.push_back(IconEntryOf(layout));
    const TImageData image = Decode(IconFileBytes(1, entries));
    const TIconBitmapLayout& chosen = test.Entries[test.Chosen];
    EXPECT_EQ(image.Format, TImageFormatId::A8R8G8B8);
    EXPECT_EQ(image.Width, chosen.Width);
    EXPECT_EQ(image.Height, chosen.Height);
    const TPixel32 expected =
        chosen.Bits <= 8 ? chosen.Palette[0] : TPixel32::FromColor(chosen.Values[0]);
    EXPECT_EQ(ImageGetPixel32(image, image.Width - 1, image.Height - 1), expected);
  }
}

TEST(IconCursorList, SortOrdersByKeyAndDirection) {
  const TPixel32 black{0, 0, 0, 255};
  TIconCursorList list;
  LoadList(list, IconFileBytes(1, {IconEntryOf(Solid(32, 32, 4, black)),
                                   IconEntryOf(Solid(16, 16, 32, black)),
                                   IconEntryOf(Solid(48, 48, 8, black))}));
  const auto order = [&] {
    std::vector<std::pair<int32_t, int32_t>> sizes;
    for (int32_t i = 0; i < list.Count(); ++i)
      sizes.emplace_back(list[i].ImageInfo().Width, list[i].ImageInfo().BitsPerPixel);
    return sizes;
  };
  using P = std::vector<std::pair<int32_t, int32_t>>;
  list.Sort(TIconSortKey::Size, TIconSortDirection::Ascending);
  EXPECT_EQ(order(), (P{{16, 32}, {32, 4}, {48, 8}}));
  list.Sort(TIconSortKey::Size, TIconSortDirection::Descending);
  EXPECT_EQ(order(), (P{{48, 8}, {32, 4}, {16, 32}}));
  list.Sort(TIconSortKey::ColorDepth, TIconSortDirection::Ascending);
  EXPECT_EQ(order(), (P{{32, 4}, {48, 8}, {16, 32}}));
  EXPECT_EQ(list.SortKey, TIconSortKey::ColorDepth);
  EXPECT_EQ(list.SortDirection, TIconSortDirection::Ascending);
}

TEST(IconCursorList, BadHeadersAreRefused) {
  const std::vector<uint8_t> valid = IconFileBytes(1, {IconEntryOf(Solid(2, 2, 32, {}))});
  const auto with = [&](size_t at, uint8_t value) {
    std::vector<uint8_t> bytes = valid;
    bytes[at] = value;
    return bytes;
  };
  const struct {
    const char* Name;
    std::vector<uint8_t> Bytes;
  } cases[] = {
      {"count 0", with(4, 0)},
      {"count 65", with(4, 65)},
      {"type 3", with(2, 3)},
      {"type 0", with(2, 0)},
      {"reserved 1", with(0, 1)},
      {"five bytes", std::vector<uint8_t>(valid.begin(), valid.begin() + 5)},
      {"no bytes", {}},
  };
  for (const auto& test : cases) {
    TIconCursorList list;
    EXPECT_EQ(test::ErrorOf<EIconException>([&] { LoadList(list, test.Bytes); }),
              "Not a valid icon file header.")
        << test.Name;
  }
}

// Every entry is tried; the messages of all that fail are collected, and one failure fails
// the file.
TEST(IconCursorList, EntryFailuresAreCollected) {
  TIconEntry badDepth = IconEntryOf(Solid(2, 2, 24, {1, 2, 3, 255}));
  badDepth.Data[14] = 16;
  TIconEntry truncated = IconEntryOf(Solid(8, 8, 24, {}));
  truncated.Data.resize(60);  // header, then 20 of 192 color bytes
  TIconEntry notPng = IconEntryOf(Solid(2, 2, 32, {}));
  // A 1x1 PNG header whose checksum is wrong, padded beyond the size of a bitmap header.
  notPng.Data.assign({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0,
                      13,   'I', 'H', 'D', 'R',  0,    0,    0,    1, 0, 0,
                      0,    1,   8,   6,   0,    0,    0,    1,    2, 3, 4});
  notPng.Data.resize(48);
  std::vector<uint8_t> bytes =
      IconFileBytes(1, {IconEntryOf(Solid(2, 2, 32, {})), badDepth, truncated, notPng,
                        IconEntryOf(Solid(2, 2, 8, {})), IconEntryOf(Solid(2, 2, 8, {}))});
  // The last entry's data would start beyond the file.
  bytes[6 + 5 * 16 + 15] = 0x01;
  TIconCursorList list;
  const std::string error = test::ErrorOf<EIconException>([&] { LoadList(list, bytes); });
  EXPECT_EQ(error, std::string("Some icons could not be loaded due to the following errors: \r\n") +
                       "Invalid color depth in bitmap header: (BPP = 16)\r\n" + kCorrupt + "\r\n" +
                       kCorrupt + " Exception Message: " +
                       "CRC error in IHDR chunk. File may be corrupted.\r\n" + kCorrupt + "\r\n")
      << error;
  EXPECT_EQ(list.Count(), 2);  // the readable ones
}

// BytesInRes bounds an entry's data unless it cannot be right: then the file's end does,
// and the pixels must still all be there.
TEST(IconCursorList, ImpossibleDataSizesFallBackToTheFileEnd) {
  const std::vector<uint8_t> good =
      IconFileBytes(1, {IconEntryOf(Solid(4, 4, 24, {5, 6, 7, 255}))});
  const auto withSize = [&](uint32_t bytesInRes, size_t keep) {
    std::vector<uint8_t> bytes(good.begin(), good.begin() + ptrdiff_t(keep));
    for (int b = 0; b < 4; ++b) bytes[6 + 8 + b] = uint8_t(bytesInRes >> 8 * b);
    return bytes;
  };
  const uint32_t size = uint32_t(good.size() - 22);
  const struct {
    const char* Name;
    std::vector<uint8_t> Bytes;
    bool Loads;
  } cases[] = {
      {"too small for a header", withSize(8, good.size()), true},
      {"beyond the end of the file", withSize(size + 1000, good.size()), true},
      {"beyond the end, mask cut short", withSize(size, good.size() - 10), true},
      {"beyond the end, colors cut short", withSize(size, 22 + 40 + 20), false},
      {"large enough for a header, too small for the colors", withSize(60, good.size()), false},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.Name);
    if (test.Loads) {
      EXPECT_EQ(ImageGetPixel32(Decode(test.Bytes), 3, 0), (TPixel32{5, 6, 7, 255}));
    } else {
      EXPECT_NE(test::ErrorOf<EIconException>([&] { Decode(test.Bytes); }).find(kCorrupt),
                std::string::npos);
    }
  }
}

// What drawing gives for each bit depth: the mask makes pixels transparent unless the
// colors carry alpha of their own. Nine pixels a row cross byte and word boundaries.
TEST(IconCursorList, EveryBitDepthDrawsWithItsMask) {
  const int32_t w = 9, h = 2;
  std::vector<uint8_t> mask(w * h, 0);
  mask[1] = mask[8] = mask[9 + 4] = 1;
  const struct {
    uint16_t Bits;
    bool Alpha;
  } cases[] = {{1, false}, {4, false}, {8, false}, {24, false}, {32, false}, {32, true}};
  for (const auto& test : cases) {
    SCOPED_TRACE(testing::Message() << test.Bits << " bits" << (test.Alpha ? " with alpha" : ""));
    TIconBitmapLayout layout{w, h, test.Bits, {}, {}, mask};
    std::vector<TPixel32> expected;
    const int colors = test.Bits <= 8 ? 1 << test.Bits : 0;
    for (int i = 0; i < colors; ++i)
      layout.Palette.push_back({uint8_t(i * 7), uint8_t(255 - i), uint8_t(i * 3 + 1), 255});
    for (int i = 0; i < w * h; ++i) {
      if (test.Bits <= 8) {
        const int index = (i * 5 + 1) % colors;
        layout.Values.push_back(uint32_t(index));
        expected.push_back(layout.Palette[size_t(index)]);
      } else {
        const uint8_t alpha = test.Alpha ? uint8_t(i * 15) : 0;
        const TPixel32 color{uint8_t(i * 11), uint8_t(i * 13 + 2), uint8_t(200 - i), alpha};
        layout.Values.push_back(color.Color());
        expected.push_back({color.B, color.G, color.R, test.Alpha ? alpha : uint8_t(255)});
      }
      if (!test.Alpha && mask[size_t(i)]) expected.back().A = 0;
    }
    const TImageData image = Decode(IconFileBytes(1, {IconEntryOf(layout)}));
    ASSERT_EQ(image.Width, w);
    ASSERT_EQ(image.Height, h);
    for (int i = 0; i < w * h; ++i) {
      const TPixel32 got = ImageGetPixel32(image, i % w, i / w);
      EXPECT_EQ(got.A, expected[size_t(i)].A) << "pixel " << i;
      if (expected[size_t(i)].A != 0) {
        EXPECT_EQ(got, expected[size_t(i)]) << "pixel " << i;
      }
    }
  }
}

TEST(IconCursorList, DrawingCombinesWithWhatIsThere) {
  TIconBitmapLayout masked = Solid(2, 1, 24, {1, 2, 3, 255});
  masked.Mask = {1, 0};
  TIconBitmapLayout translucent = Solid(1, 1, 32, {200, 100, 0, 128});
  TIconCursorList list;
  LoadList(list, IconFileBytes(1, {IconEntryOf(masked), IconEntryOf(translucent)}));
  TBitmap32 target(2, 1);
  for (int i = 0; i < 8; i += 4) {
    const uint8_t opaque[4] = {10, 20, 30, 255};
    std::memcpy(target.Bits() + i, opaque, 4);
  }
  list[0].Draw(target, 0, 0);
  // Set mask: exclusive or with the screen; clear mask: the entry's color.
  EXPECT_EQ(std::vector<uint8_t>(target.Bits(), target.Bits() + 8),
            (std::vector<uint8_t>{11, 22, 29, 255, 1, 2, 3, 255}));
  list[1].Draw(target, 1, 0);
  list[1].Draw(target, 5, 5);  // entirely outside: nothing happens
  EXPECT_EQ(std::vector<uint8_t>(target.Bits() + 4, target.Bits() + 8),
            (std::vector<uint8_t>{101, 51, 1, 255}));
}

// Modern icons carry their 256x256 entry as a PNG file; it is decoded with the PNG handler.
TEST(IconCursorList, PngEntriesAreDecoded) {
  TImageData png;
  ImageCreate(256, 256, TImageFormatId::A8R8G8B8, png);
  for (int32_t y = 0; y < 256; ++y)
    for (int32_t x = 0; x < 256; ++x)
      ImageSetPixel32(png, x, y, {uint8_t(x), uint8_t(y), uint8_t(x ^ y), uint8_t(x + y)});
  TIconEntry pngEntry{0, 0, 1, 32, test::SaveBytes(*FindFileFormatByClass<TPNGFileFormat>(), png)};
  const std::vector<uint8_t> bytes =
      IconFileBytes(1, {IconEntryOf(Solid(32, 32, 32, {1, 2, 3, 255})), pngEntry});
  TIconCursorList list;
  LoadList(list, bytes);
  EXPECT_TRUE(list[1].IsPng());
  EXPECT_EQ(list[1].ColorDepth(), TIconColorDepth::TrueColor32);
  const TImageData image = Decode(bytes);
  ASSERT_EQ(image.Width, 256);
  ASSERT_EQ(image.Height, 256);
  // Fully transparent pixels keep no color.
  const test::TPixelDiff diff = test::ComparePixels(test::PixelsOf(image), test::PixelsOf(png));
  EXPECT_TRUE(diff.Same()) << diff.Text();
}

TEST(IconCursorList, CursorsReadLikeIcons) {
  TIconEntry entry = IconEntryOf(Solid(4, 4, 8, {9, 8, 7, 255}));
  entry.PlanesOrHotSpotX = 3;
  entry.BitCountOrHotSpotY = 2;
  const std::vector<uint8_t> bytes = IconFileBytes(2, {entry});
  TIconCursorList list;
  LoadList(list, bytes);
  EXPECT_TRUE(list.IsCursor);
  EXPECT_EQ(list[0].PlanesOrHotSpotX, 3);
  EXPECT_EQ(list[0].BitCountOrHotSpotY, 2);
  EXPECT_EQ(list[0].ImageInfo().BitsPerPixel, 8);
  EXPECT_EQ(list[0].Colors(), 256);
  EXPECT_EQ(list[0].PaletteEntry(0), (TPixel32{9, 8, 7, 255}));
  EXPECT_EQ(test::ErrorOf<EIconException>([&] { list[0].PaletteEntry(256); }),
            "Palette index out of range: (Index = 256)");
  EXPECT_EQ(ImageGetPixel32(Decode(bytes), 3, 3), (TPixel32{9, 8, 7, 255}));
  // Saving what was read gives the file back, type 2 included.
  TMemoryStream saved;
  list.SaveToStream(saved);
  EXPECT_EQ(saved.Data(), bytes);
  const test::TTempFolder folder;
  list.SaveToFile(folder.File("copy.cur"));
  EXPECT_EQ(test::ReadFileBytes(folder / "copy.cur"), bytes);
  EXPECT_EQ(list.Data(), bytes);
}

TEST(IconCursorList, EditsAreCheckedAndReported) {
  TIconCursorList list;
  int changes = 0;
  list.OnChange = [&] { ++changes; };
  TBitmap32 pixels(2, 2);
  TIconCursorImage& first = list.Add(TIconCursorImage::Create32Bit(pixels, {0, 0, 0, 0}));
  TIconCursorImage& second = list.Insert(0, TIconCursorImage::Create32Bit(pixels, {1, 1, 1, 1}));
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(list.IndexOf(&first), 1);
  EXPECT_EQ(first.Owner(), &list);
  EXPECT_EQ(list.Remove(&second), 0);
  EXPECT_EQ(list.Remove(&second), -1);
  EXPECT_EQ(changes, 3);
  EXPECT_EQ(test::ErrorOf<EIconException>([&] { list.Add(nullptr); }),
            "Can not add Nil entries to icon list.");
  EXPECT_EQ(test::ErrorOf<EIconException>([&] { list.Delete(1); }),
            "Icon list index out of bounds: (1)");
  EXPECT_EQ(test::ErrorOf<EIconException>([&] { list.Insert(-1, nullptr); }),
            "Can not add Nil entries to icon list.");
  EXPECT_EQ(test::ErrorOf<EIconException>([&] {
              list.Insert(3, TIconCursorImage::Create32Bit(pixels, {0, 0, 0, 0}));
            }),
            "Icon list index out of bounds: (3)");
  TBitmap32 tooWide(257, 1);
  EXPECT_EQ(test::ErrorOf<EIconException>(
                [&] { TIconCursorImage::Create32Bit(tooWide, std::vector<uint8_t>(257)); }),
            "Invalid size specified in width or height: (Width = 257, Height = 1)");
  list.Clear();
  TMemoryStream out;
  EXPECT_EQ(test::ErrorOf<EIconException>([&] { list.SaveToStream(out); }),
            "In order to save an icon file, there must at least be one icon in the list.");
}

}  // namespace
}  // namespace pixolan::imaging
