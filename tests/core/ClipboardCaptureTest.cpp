#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/ClipboardCapture.h"
#include "core/ImageFiles.h"
#include "imaging/image/Imaging.h"
#include "support/RecordingMessages.h"
#include "support/TempFolder.h"
#include "support/TestImages.h"

namespace pixolan::core {
namespace {

using imaging::TImageData;
using imaging::TImageFormatId;

const std::string kPng = "*.png - Portable Network Graphics";

// 3 x 2 with every pixel different; the last one is half transparent.
TImageData Captured() {
  return test::MakeImage(3, 2, TImageFormatId::A8R8G8B8,
                         {0x10, 0x20, 0x30, 0xFF, 0x40, 0x50, 0x60, 0xFF, 0x70, 0x80, 0x90, 0xFF,
                          0xA0, 0xB0, 0xC0, 0xFF, 0x01, 0x02, 0x03, 0xFF, 0x11, 0x22, 0x33, 0x80});
}

TImageData Loaded(const std::string& path) {
  TImageData image;
  EXPECT_TRUE(LoadSourceImage(path, image)) << path;
  return image;
}

TRunSettings Settings(const std::string& folder, const std::string& format) {
  TRunSettings settings;
  settings.Conversion.FolderPattern = folder;
  settings.Conversion.Format = format;
  return settings;
}

TEST(ClipboardCapture, NumbersTheCapturesInTheCapturesFolder) {
  const test::TTempFolder folder;
  test::TRecordingMessages messages;
  const TRunSettings settings = Settings("<keep>", "<keep>");
  std::vector<std::string> written;
  for (int i = 0; i < 3; ++i)
    written.push_back(
        SaveClipboardCapture(Captured(), settings, folder.Path().string(), "ClipBoard", messages)
            .value_or("none"));
  EXPECT_EQ(written,
            (std::vector<std::string>{folder.File("ClipBoard.jpg"), folder.File("ClipBoard1.jpg"),
                                      folder.File("ClipBoard2.jpg")}));
  EXPECT_TRUE(messages.Shown.empty());
  const TImageData jpeg = Loaded(written[0]);
  EXPECT_EQ(jpeg.Width, 3);
  EXPECT_EQ(jpeg.Height, 2);
}

// The folder pattern with the captures folder for the source's, created when missing, and
// the format entry's extension; PNG keeps the pixels, which lose only their alpha.
TEST(ClipboardCapture, FollowsTheFolderPatternAndTheFormat) {
  const test::TTempFolder folder;
  struct TCase {
    std::string folderPattern, format, expected;
  };
  const TCase cases[] = {
      {"%ordner%\\neu", kPng, folder.File("neu/Zwischenablage.png")},
      {"%folder%/a//b", "*.bmp - Windows Bitmap", folder.File("a/b/Zwischenablage.bmp")},
      {(folder / "elsewhere").string(), kPng, folder.File("elsewhere/Zwischenablage.png")},
  };
  for (const TCase& c : cases) {
    test::TRecordingMessages messages;
    const std::optional<std::string> written =
        SaveClipboardCapture(Captured(), Settings(c.folderPattern, c.format),
                             folder.Path().string(), "Zwischenablage", messages);
    ASSERT_EQ(written, c.expected) << c.folderPattern;
    EXPECT_TRUE(messages.Shown.empty());
    TImageData expected = Captured();
    ASSERT_TRUE(imaging::ImageConvert(expected, TImageFormatId::R8G8B8));
    ASSERT_TRUE(imaging::ImageConvert(expected, TImageFormatId::A8R8G8B8));
    EXPECT_EQ(test::BytesOf(Loaded(*written)), test::BytesOf(expected)) << c.folderPattern;
  }
}

TEST(ClipboardCapture, RunsTheActionsAndSavesTheUnchangedImageWhenOneFails) {
  const test::TTempFolder folder;
  TRunSettings settings = Settings("<keep>", kPng);
  settings.Conversion.Enabled[int(ActionId::RotateMirror)] = true;
  settings.Conversion.MirrorLeftRight = true;
  test::TRecordingMessages messages;
  const std::optional<std::string> mirrored =
      SaveClipboardCapture(Captured(), settings, folder.Path().string(), "ClipBoard", messages);
  ASSERT_TRUE(mirrored);
  const TImageData result = Loaded(*mirrored);
  TImageData expected = Captured();
  ASSERT_TRUE(imaging::ImageConvert(expected, TImageFormatId::R8G8B8));
  ASSERT_TRUE(imaging::ImageConvert(expected, TImageFormatId::A8R8G8B8));
  EXPECT_TRUE(imaging::ImageGetPixel32(result, 0, 0) == imaging::ImageGetPixel32(expected, 2, 0));
  EXPECT_TRUE(messages.Shown.empty());

  // A zero-size box makes the resize fail.
  settings.Conversion.Enabled[int(ActionId::Resize)] = true;
  settings.Conversion.ActionStep[int(ActionId::Resize)] = 1;
  settings.Conversion.TargetWidth = 0;
  settings.Conversion.TargetHeight = 0;
  settings.Conversion.Enabled[int(ActionId::RotateMirror)] = false;
  const std::optional<std::string> unchanged =
      SaveClipboardCapture(Captured(), settings, folder.Path().string(), "ClipBoard", messages);
  ASSERT_EQ(unchanged, folder.File("ClipBoard1.png"));
  EXPECT_EQ(messages.Shown, std::vector<std::string>{"konvertierfehler: ClipboardFile"});
  EXPECT_EQ(test::BytesOf(Loaded(*unchanged)), test::BytesOf(expected));
}

// Nothing is written and the reason is shown; the folder and its files stay as they were.
TEST(ClipboardCapture, ReportsWhatKeepsItFromBeingSaved) {
  const test::TTempFolder folder;
  { std::ofstream(folder.File("file")) << "x"; }
  struct TCase {
    std::string folderPattern, format, expected;
  };
  const TCase cases[] = {
      {"", kPng, "keinordner: "},
      {"relative/folder", kPng, "ordnerfalsch: relative/folder"},
      {"%ordner%file/below", kPng, "speicherfehler: " + folder.File("file/below/ClipBoard.png")},
      {"<keep>", "*.xyz - Nothing", "speicherfehler: " + folder.File("ClipBoard.xyz")},
  };
  for (const TCase& c : cases) {
    test::TRecordingMessages messages;
    EXPECT_EQ(SaveClipboardCapture(Captured(), Settings(c.folderPattern, c.format),
                                   folder.Path().string() + "/", "ClipBoard", messages),
              std::nullopt)
        << c.folderPattern;
    EXPECT_EQ(messages.Shown, std::vector<std::string>{c.expected});
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"file"});
  }
}

TEST(ClipboardCapture, NeverReplacesAFileEvenInOverwriteMode) {
  const test::TTempFolder folder;
  { std::ofstream(folder.File("ClipBoard.png")) << "kept"; }
  TRunSettings settings = Settings("<keep>", kPng);
  settings.Conversion.OverwriteOriginal = true;
  test::TRecordingMessages messages;
  EXPECT_EQ(
      SaveClipboardCapture(Captured(), settings, folder.Path().string(), "ClipBoard", messages),
      folder.File("ClipBoard1.png"));
  std::ifstream kept(folder.File("ClipBoard.png"));
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "kept");
}

}  // namespace
}  // namespace pixolan::core
