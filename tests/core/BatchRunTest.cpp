#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>

#include "core/BatchRun.h"
#include "core/ImageFiles.h"
#include "imaging/image/Imaging.h"
#include "support/TempFolder.h"

namespace pixolan::core {
namespace {

namespace fs = std::filesystem;
using imaging::TImageData;
using imaging::TImageFormatId;

struct TEvent {
  std::string source, target;
  TFileOutcome outcome;
  std::string message;
};

// Records what the run reports and answers the overwrite question from a script.
class TRecordingFrontEnd : public TBatchFrontEnd {
 public:
  void FileStarted(size_t, size_t, const std::string&) override { ++started; }
  void FileFinished(size_t, const std::string& source, const std::string& target,
                    TFileOutcome outcome, const std::string& message) override {
    events.push_back({source, target, outcome, message});
    if (cancelAfter && events.size() >= cancelAfter) cancel = true;
  }
  TOverwriteAnswer AskOverwrite(const std::string& target) override {
    asked.push_back(target);
    if (answers.empty()) return TOverwriteAnswer::Cancel;
    const TOverwriteAnswer answer = answers.front();
    answers.pop_front();
    return answer;
  }
  bool CancelRequested() override { return cancel; }
  void ShowMessage(const std::string& key, const std::string& argument) override {
    messages.push_back(key + ": " + argument);
  }

  std::vector<TEvent> events;
  std::vector<std::string> asked;
  std::vector<std::string> messages;
  std::deque<TOverwriteAnswer> answers;
  size_t started = 0;
  size_t cancelAfter = 0;
  bool cancel = false;
};

class BatchRunTest : public testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir_ / "in");
    imaging::ImageCreate(5, 4, TImageFormatId::A8R8G8B8, source_);
    for (int i = 0; i < source_.Size; ++i) source_.bits()[i] = uint8_t(i * 13);
    for (int i = 3; i < source_.Size; i += 4) source_.bits()[i] = 255;
    ASSERT_TRUE(SaveResultImage(In("one.bmp"), source_));
    ASSERT_TRUE(SaveResultImage(In("two.tga"), source_));
    std::ofstream(In("broken.gif")) << "GIF89a but nothing more";
    // Results in a folder of their own, under the source's name, as BMP.
    settings_.Conversion.FolderPattern = Out();
    settings_.Conversion.NamePattern = "%name%";
    settings_.Conversion.Format = "*.bmp - Windows Bitmap";
  }
  std::string In(const std::string& name) const { return (dir_ / "in" / name).string(); }
  std::string Out(const std::string& name = "") const {
    return name.empty() ? (dir_ / "out" / "nested").string()
                        : (dir_ / "out" / "nested" / name).string();
  }
  TBatchResult Run(const std::vector<std::string>& sources, TRecordingFrontEnd& frontEnd) {
    return RunBatch(settings_, sources, frontEnd);
  }
  void ExpectSourcePixels(const std::string& path) const {
    TImageData loaded;
    ASSERT_TRUE(LoadSourceImage(path, loaded)) << path;
    ASSERT_EQ(loaded.Size, source_.Size) << path;
    EXPECT_EQ(0, std::memcmp(loaded.bits(), source_.bits(), size_t(source_.Size))) << path;
  }

  test::TTempFolder folder_;
  const fs::path& dir_ = folder_.Path();
  TImageData source_;
  TRunSettings settings_;
};

TEST_F(BatchRunTest, ConvertsInListOrderAndReportsFailuresPerFile) {
  TRecordingFrontEnd frontEnd;
  const TBatchResult result = Run({In("one.bmp"), In("broken.gif"), In("two.tga")}, frontEnd);
  EXPECT_EQ(result.Converted, 2u);
  EXPECT_EQ(result.Failed, 1u);
  EXPECT_FALSE(result.Cancelled);
  ASSERT_EQ(frontEnd.events.size(), 3u);
  EXPECT_EQ(frontEnd.events[0].target, Out("one.bmp"));
  EXPECT_EQ(frontEnd.events[1].outcome, TFileOutcome::Failed);
  EXPECT_NE(frontEnd.events[1].message.find("Error while loading images from file"),
            std::string::npos)
      << frontEnd.events[1].message;
  EXPECT_EQ(frontEnd.events[2].target, Out("two.bmp"));
  EXPECT_FALSE(fs::exists(Out("broken.bmp")));
  ExpectSourcePixels(Out("one.bmp"));
  ExpectSourcePixels(Out("two.bmp"));
}

TEST_F(BatchRunTest, OutputPathsFollowThePatternsOfTheSnapshot) {
  settings_.Conversion.FolderPattern = "%ordner%/neu";
  settings_.Conversion.NamePattern = "%0num%-%abs% %name% (%breite%x%höhe%)";
  settings_.Conversion.Format = "<keep>";
  TRecordingFrontEnd frontEnd;
  Run({In("one.bmp"), In("two.tga")}, frontEnd);
  ASSERT_EQ(frontEnd.events.size(), 2u);
  EXPECT_EQ(frontEnd.events[0].target, In("neu/1-2 one (5x4).bmp"));
  EXPECT_EQ(frontEnd.events[1].target, In("neu/2-2 two (5x4).tga"));
  ExpectSourcePixels(In("neu/1-2 one (5x4).bmp"));
  ExpectSourcePixels(In("neu/2-2 two (5x4).tga"));
}

TEST_F(BatchRunTest, ExistingResultsFollowTheAnswers) {
  using A = TOverwriteAnswer;
  const struct {
    const char* name;
    std::vector<A> answers;
    size_t questions;
    std::vector<bool> replaced;
    bool cancelled;
  } cases[] = {
      {"no, then yes", {A::No, A::Yes}, 2, {false, true}, false},
      {"yes for all", {A::YesForAll}, 1, {true, true}, false},
      {"no for all", {A::NoForAll}, 1, {false, false}, false},
      {"cancel", {A::Cancel}, 1, {false, false}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::create_directories(Out());
    for (const char* name : {"one.bmp", "two.bmp"}) std::ofstream(Out(name)) << "old";
    TRecordingFrontEnd frontEnd;
    frontEnd.answers.assign(c.answers.begin(), c.answers.end());
    const TBatchResult result = Run({In("one.bmp"), In("two.tga")}, frontEnd);
    EXPECT_EQ(frontEnd.asked.size(), c.questions);
    EXPECT_EQ(frontEnd.asked.front(), Out("one.bmp"));
    EXPECT_EQ(result.Cancelled, c.cancelled);
    EXPECT_EQ(fs::file_size(Out("one.bmp")) != 3, c.replaced[0]);
    EXPECT_EQ(fs::file_size(Out("two.bmp")) != 3, c.replaced[1]);
    if (c.replaced[1]) ExpectSourcePixels(Out("two.bmp"));
  }
}

TEST_F(BatchRunTest, DeletesTheOriginalOnlyWhenTheResultIsAnotherFile) {
  settings_.Conversion.DeleteOriginal = true;
  TRecordingFrontEnd newFile;
  Run({In("one.bmp")}, newFile);
  ASSERT_EQ(newFile.events.at(0).outcome, TFileOutcome::Converted) << newFile.events[0].message;
  EXPECT_FALSE(fs::exists(In("one.bmp")));
  ExpectSourcePixels(Out("one.bmp"));

  // Overwriting the source: the result is the source, which stays.
  settings_.Conversion.OverwriteOriginal = true;
  TRecordingFrontEnd sameFile;
  sameFile.answers = {TOverwriteAnswer::Yes};
  Run({In("two.tga")}, sameFile);
  ASSERT_EQ(sameFile.events.at(0).outcome, TFileOutcome::Converted) << sameFile.events[0].message;
  EXPECT_EQ(sameFile.events[0].target, In("two.tga"));
  ExpectSourcePixels(In("two.tga"));
}

TEST_F(BatchRunTest, FailuresOfOneFileLeaveTheOthers) {
  std::ofstream((dir_ / "file").string()) << "x";
  const struct {
    const char* name;
    std::string folder, format;
  } cases[] = {
      {"a format no handler saves", Out(), "*.xyz - Unknown"},
      {"a folder that cannot be made", (dir_ / "file" / "sub").string(), "*.bmp - Windows Bitmap"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    settings_.Conversion.FolderPattern = c.folder;
    settings_.Conversion.Format = c.format;
    TRecordingFrontEnd frontEnd;
    const TBatchResult result = Run({In("one.bmp"), In("missing.bmp")}, frontEnd);
    EXPECT_EQ(result.Failed, 2u);
    ASSERT_EQ(frontEnd.events.size(), 2u);
    EXPECT_FALSE(frontEnd.events[0].message.empty());
    EXPECT_EQ(frontEnd.events[1].message, "The file does not exist.");
  }
  EXPECT_FALSE(fs::exists(Out("one.xyz")));
  EXPECT_TRUE(fs::exists(In("one.bmp")));
}

TEST_F(BatchRunTest, SourcesThatAreNoImageFilesSayWhy) {
  fs::create_directories(dir_ / "in" / "folder.bmp");
  std::ofstream(In("empty.bmp")).close();
  std::ofstream(In("text.bmp")) << "this is not an image";
  ASSERT_EQ(::mkfifo(In("pipe.bmp").c_str(), 0600), 0);
  const struct {
    const char* name;
    std::string message;
  } cases[] = {
      {"missing.bmp", "The file does not exist."},
      {"folder.bmp", "This is a folder, not a file."},
      {"pipe.bmp", "This is not a regular file (a named pipe, device or socket)."},
      {"empty.bmp", "The file is empty."},
      {"text.bmp", "The file is not an image in a format that can be read."},
  };
  std::vector<std::string> sources;
  for (const auto& c : cases) sources.push_back(In(c.name));
  sources.push_back(In("one.bmp"));
  TRecordingFrontEnd frontEnd;
  const TBatchResult result = Run(sources, frontEnd);
  ASSERT_EQ(frontEnd.events.size(), std::size(cases) + 1);
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(frontEnd.events[i].outcome, TFileOutcome::Failed) << cases[i].name;
    EXPECT_EQ(frontEnd.events[i].message, cases[i].message) << cases[i].name;
  }
  EXPECT_EQ(result.Converted, 1u);
  EXPECT_TRUE(fs::is_fifo(In("pipe.bmp")));
}

TEST_F(BatchRunTest, ALaterSourceNeverReplacesAnEarlierResultOfTheRun) {
  // one.bmp and one.tga both become nested/one.bmp; even "yes for all" keeps the first.
  ASSERT_TRUE(SaveResultImage(In("one.tga"), source_));
  TRecordingFrontEnd frontEnd;
  frontEnd.answers = {TOverwriteAnswer::YesForAll};
  const TBatchResult result = Run({In("one.bmp"), In("one.tga"), In("two.tga")}, frontEnd);
  ASSERT_EQ(frontEnd.events.size(), 3u);
  EXPECT_EQ(frontEnd.events[0].outcome, TFileOutcome::Converted);
  EXPECT_EQ(frontEnd.events[1].outcome, TFileOutcome::Failed);
  EXPECT_EQ(frontEnd.events[1].target, Out("one.bmp"));
  EXPECT_EQ(frontEnd.events[1].message,
            "An earlier file of this run was already saved under this name.");
  EXPECT_EQ(frontEnd.events[2].outcome, TFileOutcome::Converted);
  EXPECT_TRUE(frontEnd.asked.empty());
  EXPECT_EQ(result.Converted, 2u);
}

TEST_F(BatchRunTest, CancelStopsBeforeTheNextFile) {
  TRecordingFrontEnd frontEnd;
  frontEnd.cancelAfter = 1;
  const TBatchResult result = Run({In("one.bmp"), In("two.tga")}, frontEnd);
  EXPECT_TRUE(result.Cancelled);
  EXPECT_EQ(result.Converted, 1u);
  EXPECT_EQ(frontEnd.events.size(), 1u);
  EXPECT_FALSE(fs::exists(Out("two.bmp")));
}

TEST(OutputSettingsCheck, RefusesWhatCannotStartARun) {
  const struct {
    std::string folder, name;
    std::optional<std::string> key;
  } cases[] = {
      {"<keep>", "%name%-1", std::nullopt},  {"<beibehalten>", "x", std::nullopt},
      {"/tmp/out", "x", std::nullopt},       {"%folder%/neu", "x", std::nullopt},
      {"~/Pictures", "x", std::nullopt},     {"", "x", "keinordner"},
      {"relative/out", "x", "ordnerfalsch"}, {"/tmp/a:b", "x", "ordnerfalsch"},
      {"/tmp/out", "", "keinname"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.folder + " | " + c.name);
    ConversionSettings settings;
    settings.FolderPattern = c.folder;
    settings.NamePattern = c.name;
    const std::optional<TRunRefusal> refusal = CheckOutputSettings(settings);
    EXPECT_EQ(refusal ? std::optional(refusal->Key) : std::nullopt, c.key);
    if (refusal && refusal->Key == "ordnerfalsch") {
      EXPECT_EQ(refusal->Argument, c.folder);
    }
  }
}

TEST_F(BatchRunTest, TheActionsRunBeforeTheResultIsNamedAndSaved) {
  settings_.Conversion.NamePattern = "%name% (%breite%x%höhe%)";
  settings_.Conversion.Enabled[int(ActionId::RotateMirror)] = true;
  settings_.Conversion.Rotate = true;
  TRecordingFrontEnd frontEnd;
  const TBatchResult result = Run({In("one.bmp")}, frontEnd);
  EXPECT_EQ(result.Converted, 1u);
  EXPECT_TRUE(frontEnd.messages.empty());
  TImageData saved;
  ASSERT_TRUE(LoadSourceImage(Out("one (4x5).bmp"), saved));
  EXPECT_EQ(saved.Width, 4);
  EXPECT_EQ(saved.Height, 5);
}

TEST_F(BatchRunTest, AFailedActionIsReportedAndTheUnchangedImageSaved) {
  settings_.Conversion.Enabled[int(ActionId::Resize)] = true;
  settings_.Conversion.TargetWidth = 0;  // the engine refuses a zero size
  TRecordingFrontEnd frontEnd;
  const TBatchResult result = Run({In("one.bmp"), In("two.tga")}, frontEnd);
  EXPECT_EQ(frontEnd.messages, (std::vector<std::string>{"konvertierfehler: " + In("one.bmp"),
                                                         "konvertierfehler: " + In("two.tga")}));
  EXPECT_EQ(result.Converted, 2u);
  ExpectSourcePixels(Out("one.bmp"));
  ExpectSourcePixels(Out("two.bmp"));
}

}  // namespace
}  // namespace pixolan::core
