// The file information window of the input list's context menu.
#include <gtest/gtest.h>

#include <QLabel>
#include <filesystem>
#include <map>
#include <string>

#include "core/ImageFiles.h"
#include "input/InputList.h"
#include "support/ExternalOracles.h"
#include "support/QtApplication.h"
#include "support/RecordingListMessages.h"
#include "support/TempFolder.h"
#include "support/TestImages.h"
#include "ui/FileInformationWindow.h"

namespace pixolan::ui {
namespace {

namespace fs = std::filesystem;
using lang::TLanguage;
using TLines = std::map<std::string, std::string>;  // objectName -> "caption value"

class InputAreaFileInformationTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { test::Application(); }

  // The list's entry for an image written by the engine at path.
  const input::InputListEntry& Listed(const fs::path& path, int32_t width, int32_t height) {
    EXPECT_TRUE(core::SaveResultImage(path.string(), test::Filled(width, height, 0xFF808080)));
    EXPECT_EQ(list_.add2list(path.string()), input::TAddResult::Added);
    return list_.Entry(list_.Count() - 1);
  }

  static TLines Lines(const input::InputListEntry& entry, TLanguage language) {
    TLines lines;
    for (const TFileInformationLine& line : FileInformationLines(entry, language))
      lines[line.Name] = line.Caption + " " + line.Value;
    return lines;
  }

  test::TTempFolder folder_;
  test::TRecordingListMessages messages_;
  input::TInputList list_{messages_, test::FixedListOptions()};
};

TEST_F(InputAreaFileInformationTest, ShowsWhereWhatAndHowBigInEitherLanguage) {
  const fs::path path = folder_ / "photo.png";
  const input::InputListEntry& entry = Listed(path, 7, 5);
  const std::string bytes = std::to_string(fs::file_size(path));
  struct TCase {
    TLanguage Language;
    TLines Expected;
  };
  for (const TCase& c : {
           TCase{TLanguage::En,
                 {{"info_name", "File: photo.png"},
                  {"info_folder", "Folder: " + folder_.Path().string()},
                  {"info_size",
                   "Size: " + input::SizeText(fs::file_size(path), ".") + " (" + bytes + " bytes)"},
                  {"info_dimensions", "Dimensions: 7 x 5 pixels"},
                  {"info_format", "Format: Portable Network Graphics"}}},
           TCase{TLanguage::De,
                 {{"info_name", "Datei: photo.png"},
                  {"info_folder", "Ordner: " + folder_.Path().string()},
                  {"info_size", "Größe: " + input::SizeText(fs::file_size(path), ",") + " (" +
                                    bytes + " Bytes)"},
                  {"info_dimensions", "Abmessungen: 7 x 5 Pixel"},
                  {"info_format", "Format: Portable Network Graphics"}}},
       }) {
    TLines lines = Lines(entry, c.Language);
    // Dates are the file system's; they are there, with their caption.
    for (const char* date : {"info_modified", "info_read"}) {
      EXPECT_TRUE(lines.contains(date)) << date;
      lines.erase(date);
    }
    lines.erase("info_created");  // only where the file system keeps it
    EXPECT_EQ(lines, c.Expected);
  }
}

TEST_F(InputAreaFileInformationTest, APhotoShowsItsMainExifFields) {
  const fs::path path = folder_ / "photo.jpg";
  Listed(path, 8, 8);
  ASSERT_TRUE(test::HaveTool("exiftool")) << "exiftool is missing (scripts/install-deps.sh)";
  ASSERT_TRUE(
      test::RunCommand("exiftool -q -overwrite_original -EXIF:Make=Acme "
                       "-EXIF:Model=Snap '-EXIF:DateTimeOriginal=2024:05:06 07:08:09' " +
                           test::Quote(path) + " >/dev/null",
                       folder_ / "exiftool.log"));
  const TLines lines = Lines(list_.Entry(0), TLanguage::De);
  EXPECT_EQ(lines.at("info_exif_Make"), "Kamerahersteller: Acme");
  EXPECT_EQ(lines.at("info_exif_Model"), "Kameramodell: Snap");
  EXPECT_EQ(lines.at("info_exif_DateTimeOriginal"), "Aufnahmedatum: 2024:05:06 07:08:09");
  EXPECT_FALSE(lines.contains("info_exif_FNumber"));
  EXPECT_EQ(lines.at("info_format"), "Format: Joint Photographic Experts Group Image");

  // The window shows each value under its name.
  const TFileInformationWindow window(list_.Entry(0), TLanguage::En);
  EXPECT_EQ(window.windowTitle().toStdString(), "File Information");
  EXPECT_EQ(window.findChild<QLabel*>("info_exif_Model")->text().toStdString(), "Snap");
}

TEST_F(InputAreaFileInformationTest, AFileThatIsGoneShowsOnlyItsName) {
  const fs::path path = folder_ / "gone.png";
  const input::InputListEntry entry = Listed(path, 2, 2);
  fs::remove(path);
  const TLines lines = Lines(entry, TLanguage::En);
  EXPECT_EQ(lines, (TLines{{"info_name", "File: gone.png"},
                           {"info_folder", "Folder: " + folder_.Path().string()},
                           {"info_dimensions", "Dimensions: 2 x 2 pixels"}}));
}

}  // namespace
}  // namespace pixolan::ui
