// The run carries a JPEG source's metadata into a JPEG result, as exiftool (an independent
// reader) sees it.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "core/BatchRun.h"
#include "core/ImageFiles.h"
#include "imaging/image/Imaging.h"
#include "support/ExternalOracles.h"
#include "support/TempFolder.h"

namespace pixolan::core {
namespace {

namespace fs = std::filesystem;
using imaging::TImageData;
using imaging::TImageFormatId;

class TQuietFrontEnd : public TBatchFrontEnd {
 public:
  void FileStarted(size_t, size_t, const std::string&) override {}
  void FileFinished(size_t, const std::string&, const std::string&, TFileOutcome outcome,
                    const std::string& message) override {
    outcomes.push_back(outcome);
    notes.push_back(message);
  }
  TOverwriteAnswer AskOverwrite(const std::string&) override { return TOverwriteAnswer::Yes; }
  void ShowMessage(const std::string& key, const std::string&) override { messages.push_back(key); }
  std::vector<TFileOutcome> outcomes;
  std::vector<std::string> notes, messages;
};

class BatchRunMetadata : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(test::HaveTool("exiftool")) << "exiftool is missing (scripts/install-deps.sh)";
    TImageData image;
    imaging::ImageCreate(40, 30, TImageFormatId::A8R8G8B8, image);
    for (int i = 0; i < image.Size; ++i) image.bits()[i] = uint8_t(i * 11);
    ASSERT_TRUE(SaveResultImage(folder_.File("photo.jpg"), image));
    ASSERT_TRUE(SaveResultImage(folder_.File("plain.bmp"), image));
    ASSERT_TRUE(
        test::RunCommand("exiftool -q -overwrite_original -Make=Pixcam -Artist=Anna "
                         "-Orientation#=6 -XMP-dc:Subject=Harbour " +
                             test::Quote(folder_.File("photo.jpg")),
                         folder_.File("exiftool.log")));
    settings_.Conversion.FolderPattern = folder_.File("out");
    settings_.Conversion.NamePattern = "%name%";
  }

  // Tag name -> value, as exiftool prints them with their groups.
  std::map<std::string, std::string> Tags(const std::string& path) const {
    const std::string listing = folder_.File("tags.txt");
    EXPECT_TRUE(test::RunCommand("exiftool -q -s -G1 -n -EXIF:all -XMP:all " + test::Quote(path) +
                                     " > " + test::Quote(listing),
                                 folder_.File("exiftool.log")));
    std::map<std::string, std::string> tags;
    std::istringstream in(test::ReadFileText(listing));
    for (std::string line; std::getline(in, line);) {
      const size_t colon = line.find(" : ");
      if (colon == std::string::npos) continue;
      // "[IFD0]          Make     : Pixcam" gives "[IFD0] Make".
      const size_t group = line.find(']');
      if (group == std::string::npos || group > colon) continue;
      std::string name = line.substr(group + 1, colon - group - 1);
      name.erase(0, name.find_first_not_of(' '));
      name.erase(name.find_last_not_of(' ') + 1);
      tags[line.substr(0, group + 1) + " " + name] = line.substr(colon + 3);
    }
    return tags;
  }

  TBatchResult Run(const std::string& source, const std::string& format) {
    settings_.Conversion.Format = format;
    return RunBatch(settings_, std::vector<std::string>{source}, frontEnd_);
  }

  test::TTempFolder folder_;
  TRunSettings settings_;
  TQuietFrontEnd frontEnd_;
};

TEST_F(BatchRunMetadata, AJpegResultCarriesTheSourcesTagsWithTheProgramAsSoftware) {
  EXPECT_EQ(Run(folder_.File("photo.jpg"), "*.jpg - JPEG-Image").Converted, 1u);
  const auto tags = Tags(folder_.File("out/photo.jpg"));
  EXPECT_EQ(tags.at("[IFD0] Software"), "Orvanta Pixolan");
  EXPECT_EQ(tags.at("[XMP-xmp] CreatorTool"), "Orvanta Pixolan");
  EXPECT_EQ(tags.at("[IFD0] Make"), "Pixcam");
  EXPECT_EQ(tags.at("[IFD0] Artist"), "Anna");
  EXPECT_EQ(tags.at("[XMP-dc] Subject"), "Harbour");
  // The pixels lie as the source's, so its orientation still describes them.
  EXPECT_EQ(tags.at("[IFD0] Orientation"), "6");
  EXPECT_EQ(frontEnd_.messages, std::vector<std::string>{});
}

TEST_F(BatchRunMetadata, TurnedPixelsAreMarkedUpright) {
  settings_.Conversion.Enabled[int(ActionId::RotateMirror)] = true;
  settings_.Conversion.Rotate = true;
  EXPECT_EQ(Run(folder_.File("photo.jpg"), "*.jpg - JPEG-Image").Converted, 1u);
  const auto tags = Tags(folder_.File("out/photo.jpg"));
  EXPECT_EQ(tags.at("[IFD0] Orientation"), "1");
  EXPECT_EQ(tags.at("[IFD0] Make"), "Pixcam");
}

TEST_F(BatchRunMetadata, OnlyJpegToJpegCarriesMetadata) {
  const struct {
    std::string source, format, result;
  } cases[] = {
      {"photo.jpg", "*.png - Portable Network Graphics", "out/photo.png"},
      {"photo.jpg", "*.bmp - Windows Bitmap", "out/photo.bmp"},
      {"plain.bmp", "*.jpg - JPEG-Image", "out/plain.jpg"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.result);
    EXPECT_EQ(Run(folder_.File(c.source), c.format).Converted, 1u);
    const auto tags = Tags(folder_.File(c.result));
    EXPECT_EQ(tags.count("[IFD0] Software"), 0u);
    EXPECT_EQ(tags.count("[IFD0] Make"), 0u);
    EXPECT_EQ(tags.count("[XMP-dc] Subject"), 0u);
  }
}

TEST_F(BatchRunMetadata, OverwritingTheSourceKeepsItsMetadata) {
  settings_.Conversion.OverwriteOriginal = true;
  EXPECT_EQ(Run(folder_.File("photo.jpg"), "<keep>").Converted, 1u);
  const auto tags = Tags(folder_.File("photo.jpg"));
  EXPECT_EQ(tags.at("[IFD0] Make"), "Pixcam");
  EXPECT_EQ(tags.at("[IFD0] Software"), "Orvanta Pixolan");
}

TEST_F(BatchRunMetadata, MetadataThatCannotBeCarriedLeavesTheResultWithoutIt) {
  // An EXIF segment whose TIFF header is garbage.
  std::vector<uint8_t> bytes = test::ReadFileBytes(folder_.File("plain.bmp"));
  TImageData image;
  ASSERT_TRUE(LoadSourceImage(folder_.File("plain.bmp"), image));
  ASSERT_TRUE(SaveResultImage(folder_.File("damaged.jpg"), image));
  bytes = test::ReadFileBytes(folder_.File("damaged.jpg"));
  const uint8_t exif[] = {0xFF, 0xE1, 0x00, 0x10, 'E',  'x', 'i', 'f', 0,
                          0,    'X',  'X',  0x2A, 0x00, 0,   0,   0,   8};
  bytes.insert(bytes.begin() + 2, std::begin(exif), std::end(exif));
  test::WriteFileBytes(folder_.File("damaged.jpg"), bytes);

  const TBatchResult result = Run(folder_.File("damaged.jpg"), "*.jpg - JPEG-Image");
  EXPECT_EQ(result.Converted, 1u);
  EXPECT_EQ(frontEnd_.messages, std::vector<std::string>{"speicherfehler"});
  EXPECT_TRUE(frontEnd_.notes.at(0).starts_with("Saved without the source's metadata: "))
      << frontEnd_.notes.at(0);
  TImageData saved;
  EXPECT_TRUE(LoadSourceImage(folder_.File("out/damaged.jpg"), saved));
}

}  // namespace
}  // namespace pixolan::core
