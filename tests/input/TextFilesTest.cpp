#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "input/TextFiles.h"
#include "support/ErrorOf.h"
#include "support/Files.h"
#include "support/TempFolder.h"

namespace pixolan::input {
namespace {

namespace fs = std::filesystem;

TEST(TextFiles, WriteGivesTheByteOrderMarkAndTheEncoding) {
  const test::TTempFolder folder;
  const std::string text = "a\xC3\xA4\xF0\x9F\x98\x80\r\n";  // a, ä, U+1F600, CR LF
  ASSERT_TRUE(WriteTextFile(text, folder.File("u8.txt"), kEncodingUtf8));
  EXPECT_EQ(test::ReadFileText(folder / "u8.txt"), "\xEF\xBB\xBF" + text);
  ASSERT_TRUE(WriteTextFile(text, folder.File("u16.txt"), kEncodingUtf16));
  EXPECT_EQ(test::ReadFileText(folder / "u16.txt"), std::string("\xFF\xFE"
                                                                "a\0\xE4\0\x3D\xD8\x00\xDE\r\0\n\0",
                                                                14));
  for (const char* name : {"u8.txt", "u16.txt"})
    EXPECT_EQ(ReadTextFile(folder.File(name)), text) << name;
  EXPECT_THROW(WriteTextFile(text, folder.File("x.txt"), 1252), std::invalid_argument);
}

TEST(TextFiles, ImageNamesAreNeverWritten) {
  const test::TTempFolder folder;
  test::WriteFileText(folder / "keep.JPG", "image bytes");
  for (const char* name : {"keep.JPG", "a.bmp", "a.gif", "a.jpeg", "a.Jpeg"}) {
    EXPECT_FALSE(WriteTextFile("text", folder.File(name), kEncodingUtf8)) << name;
  }
  EXPECT_EQ(test::ReadFileText(folder / "keep.JPG"), "image bytes");
  EXPECT_EQ(folder.Entries(), std::vector<std::string>{"keep.JPG"});
  // Only the extension counts.
  EXPECT_TRUE(WriteTextFile("text", folder.File("a.jpg.txt"), kEncodingUtf8));
  fs::create_directory(folder / "d.png");
  EXPECT_TRUE(WriteTextFile("text", folder.File("d.png/list"), kEncodingUtf8));
}

TEST(TextFiles, EveryByteOrderMarkIsRead) {
  const test::TTempFolder folder;
  const struct {
    std::string bytes, text;
  } cases[] = {
      {std::string("\xEF\xBB\xBF"
                   "ab\xC3\xA4"),
       "ab\xC3\xA4"},
      // UTF-7: the mark as a run of its own, and sharing its run with the next characters.
      {"+/v8-a+AOQ-b",
       "a\xC3\xA4"
       "b"},
      {"+/v8A5A-!", "\xC3\xA4!"},
      {"+/v8-1+-1", "1+1"},
      {std::string("\xFF\xFE\0\0a\0\0\0\x00\xF6\x01\0\0\0\x11\0\x00\xD8\0\0", 20),
       "a\xF0\x9F\x98\x80??"},  // above U+10FFFF, a surrogate
      {std::string("\0\0\xFE\xFF\0\0\0a\0\x01\xF6\x00", 12), "a\xF0\x9F\x98\x80"},
      {std::string("\xFF\xFE"
                   "a\0\x3D\xD8\x00\xDE\x00\xDCz",
                   11),
       "a\xF0\x9F\x98\x80?"},  // a lone low surrogate; the odd last byte is no character
      {std::string("\xFE\xFF\0a\xD8\x3D\xDE\x00", 8), "a\xF0\x9F\x98\x80"},
      // Without a mark: UTF-8 when valid, else the Windows code page of the file's origin.
      {"plain \xC3\xA4", "plain \xC3\xA4"},
      {"caf\xE9 \x80", "caf\xC3\xA9 \xE2\x82\xAC"},
      {"\xE9", "\xC3\xA9"},
      {"", ""},
  };
  for (const auto& c : cases) {
    test::WriteFileText(folder / "t.txt", c.bytes);
    EXPECT_EQ(ReadTextFile(folder.File("t.txt")), c.text) << testing::PrintToString(c.bytes);
  }
}

TEST(TextFiles, WhatCannotBeReadIsAnErrorAndAPipeNeverBlocks) {
  const test::TTempFolder folder;
  ASSERT_EQ(::mkfifo(folder.File("pipe").c_str(), 0600), 0);
  EXPECT_EQ(test::ErrorOf<ETextFileError>([&] { ReadTextFile(folder.File("pipe")); }),
            "Cannot read " + folder.File("pipe") + ": not a file");
  EXPECT_EQ(test::ErrorOf<ETextFileError>([&] { ReadTextFile(folder.File("missing")); }),
            "Cannot read " + folder.File("missing") + ": No such file or directory");
  EXPECT_THROW(ReadTextFile(folder.Path().string()), ETextFileError);
  EXPECT_THROW(WriteTextFile("x", folder.File("no/such/folder.txt"), kEncodingUtf8),
               ETextFileError);
}

}  // namespace
}  // namespace pixolan::input
