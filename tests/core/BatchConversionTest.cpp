#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "core/BatchConversion.h"
#include "core/ImageFiles.h"
#include "imaging/Imaging.h"
#include "support/TempFolder.h"

namespace pixolan::core {
namespace {

namespace fs = std::filesystem;
using imaging::TImageData;
using imaging::TImageFormatId;

struct Event {
  std::string source, target;
  TFileOutcome outcome;
  std::string message;
};

class RecordingReporter : public TBatchReporter {
 public:
  void FileStarted(size_t, size_t, const std::string&) override { ++started; }
  void FileFinished(size_t, const std::string& source, const std::string& target,
                    TFileOutcome outcome, const std::string& message) override {
    events.push_back({source, target, outcome, message});
    if (cancelAfter && events.size() >= cancelAfter) cancel = true;
  }
  bool CancelRequested() override { return cancel; }

  std::vector<Event> events;
  size_t started = 0;
  size_t cancelAfter = 0;
  bool cancel = false;
};

class BatchConversionTest : public testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir_ / "in");
    TImageData image;
    imaging::ImageCreate(5, 4, TImageFormatId::A8R8G8B8, image);
    for (int i = 0; i < image.Size; ++i) image.bits()[i] = uint8_t(i * 13);
    for (int i = 3; i < image.Size; i += 4) image.bits()[i] = 255;
    ASSERT_TRUE(SaveResultImage(In("one.bmp"), image));
    ASSERT_TRUE(SaveResultImage(In("two.tga"), image));
    std::ofstream(In("broken.gif")) << "GIF89a but nothing more";
  }

  std::string In(const std::string& name) const { return (dir_ / "in" / name).string(); }
  std::string Out(const std::string& name = "") const {
    return name.empty() ? (dir_ / "out" / "nested").string()
                        : (dir_ / "out" / "nested" / name).string();
  }

  test::TTempFolder folder_;
  const fs::path dir_ = folder_.Path();
};

TEST_F(BatchConversionTest, ConvertsInListOrderAndReportsFailuresPerFile) {
  TBatchJob job{{In("one.bmp"), In("broken.gif"), In("two.tga")}, Out(), "bmp"};
  RecordingReporter reporter;
  const TBatchResult result = RunBatch(job, reporter);
  EXPECT_EQ(result.Converted, 2u);
  EXPECT_EQ(result.Failed, 1u);
  ASSERT_EQ(reporter.events.size(), 3u);
  EXPECT_EQ(reporter.events[0].target, Out("one.bmp"));
  EXPECT_EQ(reporter.events[1].outcome, TFileOutcome::Failed);
  EXPECT_FALSE(reporter.events[1].message.empty());
  EXPECT_EQ(reporter.events[2].target, Out("two.bmp"));
  EXPECT_FALSE(fs::exists(Out("broken.bmp")));

  // Both results hold the same pixels as their sources.
  TImageData a, b;
  ASSERT_TRUE(LoadSourceImage(Out("one.bmp"), a));
  ASSERT_TRUE(LoadSourceImage(Out("two.bmp"), b));
  ASSERT_EQ(a.Size, b.Size);
  EXPECT_EQ(0, std::memcmp(a.bits(), b.bits(), size_t(a.Size)));
}

TEST_F(BatchConversionTest, ExistingResultsAreSkippedOrOverwrittenAsAsked) {
  fs::create_directories(Out());
  std::ofstream(Out("one.tga")) << "old";
  struct Case {
    TExistingFilePolicy policy;
    TFileOutcome outcome;
    bool replaced;
  } cases[] = {{TExistingFilePolicy::Skip, TFileOutcome::Skipped, false},
               {TExistingFilePolicy::Overwrite, TFileOutcome::Converted, true}};
  for (const Case& c : cases) {
    TBatchJob job{{In("one.bmp")}, Out(), "tga", c.policy};
    RecordingReporter reporter;
    RunBatch(job, reporter);
    ASSERT_EQ(reporter.events.size(), 1u);
    EXPECT_EQ(reporter.events[0].outcome, c.outcome);
    EXPECT_EQ(fs::file_size(Out("one.tga")) != 3, c.replaced);
  }
}

TEST_F(BatchConversionTest, KeepFormatUnknownExtensionAndCancel) {
  RecordingReporter keep;
  RunBatch(TBatchJob{{In("two.tga")}, Out(), ""}, keep);
  EXPECT_TRUE(fs::exists(Out("two.tga")));

  RecordingReporter unknown;
  const TBatchResult result = RunBatch(TBatchJob{{In("one.bmp")}, Out(), "xyz"}, unknown);
  EXPECT_EQ(result.Failed, 1u);
  EXPECT_FALSE(fs::exists(Out("one.xyz")));

  RecordingReporter cancelling;
  cancelling.cancelAfter = 1;
  const TBatchResult cancelled =
      RunBatch(TBatchJob{{In("one.bmp"), In("two.tga")}, Out(), "gif"}, cancelling);
  EXPECT_TRUE(cancelled.Cancelled);
  EXPECT_EQ(cancelling.events.size(), 1u);
  EXPECT_FALSE(fs::exists(Out("two.gif")));
}

TEST_F(BatchConversionTest, OutputFolderThatCannotBeMadeRaises) {
  std::ofstream((dir_ / "file").string()) << "x";
  RecordingReporter reporter;
  EXPECT_THROW(
      RunBatch(TBatchJob{{In("one.bmp")}, (dir_ / "file" / "sub").string(), "bmp"}, reporter),
      imaging::EImagingError);
  EXPECT_TRUE(reporter.events.empty());
}

}  // namespace
}  // namespace pixolan::core
