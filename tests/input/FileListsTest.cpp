#include <gtest/gtest.h>

#include <filesystem>

#include "core/ImageFiles.h"
#include "input/FileLists.h"
#include "input/TextFiles.h"
#include "support/Files.h"
#include "support/RecordingListMessages.h"
#include "support/TempFolder.h"
#include "support/TestImages.h"

namespace pixolan::input {
namespace {

namespace fs = std::filesystem;

TEST(FileLists, SavedListOpensToTheSamePathsInTheSameOrder) {
  const test::TTempFolder folder;
  test::TRecordingListMessages messages;
  TInputList list(messages, test::FixedListOptions());
  EXPECT_EQ(SaveFileList(list, folder.File("list.txt")), TSaveFileListResult::NoFiles);
  EXPECT_FALSE(fs::exists(folder / "list.txt"));
  EXPECT_EQ(NoFilesToStoreText(lang::TLanguage::En),
            "There are no files to store in your file list.");

  // Names beyond ASCII and one that is no valid UTF-8 survive the round trip.
  std::vector<std::string> paths;
  for (const std::string name : {"b.bmp", "\xC3\xA4pfel.bmp", "c\xE9.bmp"}) {
    paths.push_back(folder.File(name));
    ASSERT_TRUE(core::SaveResultImage(paths.back(), test::Filled(1, 1, 0xFF000000)));
    list.add2list(paths.back());
  }
  ASSERT_EQ(SaveFileList(list, folder.File("list.txt")), TSaveFileListResult::Written);
  std::string expected = "\xEF\xBB\xBF";
  for (const std::string& path : list.Paths()) expected += path + "\r\n";
  EXPECT_EQ(test::ReadFileText(folder / "list.txt"), expected);
  EXPECT_EQ(SaveFileList(list, folder.File("list.jpg")), TSaveFileListResult::Refused);

  TInputList opened(messages, test::FixedListOptions());
  EXPECT_EQ(OpenFileList(opened, folder.File("list.txt")), 3u);
  EXPECT_EQ(opened.Paths(), list.Paths());
  // Opening again adds nothing, and the duplicates are reported as add2list does.
  EXPECT_EQ(OpenFileList(opened, folder.File("list.txt")), 0u);
  EXPECT_EQ(messages.Shown.size(), 3u);
}

TEST(FileLists, OnlyCrLfSplitsAndLinesNamingNoFileAreSkipped) {
  EXPECT_EQ(FileListPaths("a\r\n\r\nb\r\n"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(FileListPaths("a\nb\rc"), (std::vector<std::string>{"a\nb\rc"}));
  EXPECT_EQ(FileListPaths(""), std::vector<std::string>{});

  const test::TTempFolder folder;
  const std::string image = folder.File("x.bmp");
  ASSERT_TRUE(core::SaveResultImage(image, test::Filled(1, 1, 0xFF000000)));
  test::WriteFileText(folder / "lf.txt", image + "\n" + image + "\n");
  test::WriteFileText(folder / "mixed.txt",
                      folder.File("gone.bmp") + "\r\n" + folder.Path().string() + "\r\n" + image);
  test::TRecordingListMessages messages;
  TInputList list(messages, test::FixedListOptions());
  EXPECT_EQ(OpenFileList(list, folder.File("lf.txt")), 0u);
  EXPECT_EQ(OpenFileList(list, folder.File("mixed.txt")), 1u);
  EXPECT_EQ(list.Paths(), std::vector<std::string>{image});
  // The LF-only file was one line naming no file: skipped without a message.
  EXPECT_TRUE(messages.Shown.empty());
  EXPECT_THROW(OpenFileList(list, folder.File("missing.txt")), ETextFileError);
}

}  // namespace
}  // namespace pixolan::input
