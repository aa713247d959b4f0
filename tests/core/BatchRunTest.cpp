#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>

#include "core/BatchRun.h"
#include "core/ImageFiles.h"
#include "imaging/image/Imaging.h"
#include "support/Files.h"
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

// Records what the run reports, also as one log of every call in the order they came,
// and answers the overwrite question from a script.
class TRecordingFrontEnd : public TBatchFrontEnd {
 public:
  void FileStarted(size_t index, size_t count, const std::string&) override {
    ++started;
    log.push_back("started " + std::to_string(index) + "/" + std::to_string(count));
  }
  void FileFinished(size_t index, const std::string& source, const std::string& target,
                    TFileOutcome outcome, const std::string& message) override {
    events.push_back({source, target, outcome, message});
    log.push_back("finished " + std::to_string(index) + " " + std::to_string(int(outcome)) + " " +
                  fs::path(target).filename().string() + " " + message);
    if (cancelAfter && events.size() >= cancelAfter) cancel = true;
  }
  TOverwriteAnswer AskOverwrite(const std::string& target) override {
    asked.push_back(target);
    log.push_back("ask " + fs::path(target).filename().string());
    if (answers.empty()) return TOverwriteAnswer::Cancel;
    const TOverwriteAnswer answer = answers.front();
    answers.pop_front();
    return answer;
  }
  bool CancelRequested() override { return cancel; }
  void ShowMessage(const std::string& key, const std::string& argument) override {
    messages.push_back(key + ": " + argument);
    log.push_back(key + " " + fs::path(argument).filename().string());
  }
  bool ReportSaveError(const std::string& target) override {
    TBatchFrontEnd::ReportSaveError(target);
    return okForAllOnSaveErrors;
  }

  std::vector<TEvent> events;
  std::vector<std::string> asked;
  std::vector<std::string> messages;
  std::vector<std::string> log;
  std::deque<TOverwriteAnswer> answers;
  size_t started = 0;
  size_t cancelAfter = 0;
  bool cancel = false;
  bool okForAllOnSaveErrors = false;
};

// The temporary files of the atomic writer left in a folder tree.
std::vector<std::string> TemporaryFilesIn(const fs::path& folder) {
  std::vector<std::string> found;
  std::error_code ec;
  for (const auto& entry : fs::recursive_directory_iterator(folder, ec))
    if (entry.path().filename().string().starts_with(".pixolan-"))
      found.push_back(entry.path().string());
  return found;
}

// Every case runs with one job and with several: the front end must not see a difference.
class BatchRunTest : public testing::TestWithParam<size_t> {
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
    return RunBatch(settings_, sources, frontEnd, GetParam());
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

TEST_P(BatchRunTest, ConvertsInListOrderAndReportsFailuresPerFile) {
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

TEST_P(BatchRunTest, OutputPathsFollowThePatternsOfTheSnapshot) {
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

TEST_P(BatchRunTest, ExistingResultsFollowTheAnswers) {
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

TEST_P(BatchRunTest, DeletesTheOriginalOnlyWhenTheResultIsAnotherFile) {
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

TEST_P(BatchRunTest, FailuresOfOneFileLeaveTheOthers) {
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

TEST_P(BatchRunTest, SourcesThatAreNoImageFilesSayWhy) {
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

TEST_P(BatchRunTest, ALaterSourceNeverReplacesAnEarlierResultOfTheRun) {
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

TEST_P(BatchRunTest, CancelStopsBeforeTheNextFile) {
  TRecordingFrontEnd frontEnd;
  frontEnd.cancelAfter = 1;
  const TBatchResult result = Run({In("one.bmp"), In("two.tga")}, frontEnd);
  EXPECT_TRUE(result.Cancelled);
  EXPECT_EQ(result.Converted, 1u);
  EXPECT_EQ(frontEnd.events.size(), 1u);
  EXPECT_FALSE(fs::exists(Out("two.bmp")));
}

TEST_P(BatchRunTest, TheFrontEndHearsOfEveryFileInListOrder) {
  // Each file goes through a failing action (a message per file), one name clashes with an
  // earlier result, one result exists already, one source is missing and one is broken:
  // whatever the number of jobs, the calls come in this order with these answers.
  settings_.Conversion.Enabled[int(ActionId::Resize)] = true;
  settings_.Conversion.TargetWidth = 0;
  settings_.Conversion.NamePattern = "%num%-%name%";
  ASSERT_TRUE(SaveResultImage(In("three.bmp"), source_));
  fs::create_directories(Out());
  std::ofstream(Out("3-two.bmp")) << "old";
  std::ofstream(Out("5-three.bmp")) << "old";
  TRecordingFrontEnd frontEnd;
  frontEnd.answers = {TOverwriteAnswer::No, TOverwriteAnswer::Yes};
  const TBatchResult result =
      Run({In("one.bmp"), In("broken.gif"), In("two.tga"), In("missing.bmp"), In("three.bmp")},
          frontEnd);
  const std::vector<std::string> expected = {
      "started 0/5",
      "konvertierfehler one.bmp",
      "finished 0 0 1-one.bmp ",
      "started 1/5",
      "finished 1 2  " + frontEnd.events.at(1).message,
      "started 2/5",
      "konvertierfehler two.tga",
      "ask 3-two.bmp",
      "finished 2 1 3-two.bmp The file already exists.",
      "started 3/5",
      "finished 3 2  The file does not exist.",
      "started 4/5",
      "konvertierfehler three.bmp",
      "ask 5-three.bmp",
      "finished 4 0 5-three.bmp ",
  };
  EXPECT_EQ(frontEnd.log, expected);
  EXPECT_EQ(result.Converted, 2u);
  EXPECT_EQ(result.Skipped, 1u);
  EXPECT_EQ(result.Failed, 2u);
  EXPECT_EQ(fs::file_size(Out("3-two.bmp")), 3u);
  ExpectSourcePixels(Out("5-three.bmp"));
}

TEST_P(BatchRunTest, ASourceAnEarlierFileRemovedIsMissingAtItsTurn) {
  // Deleting originals: the second entry names the file the first one deleted, even when
  // it was read before the first result was saved.
  settings_.Conversion.DeleteOriginal = true;
  settings_.Conversion.NamePattern = "%num%";
  TRecordingFrontEnd frontEnd;
  const TBatchResult result =
      Run({In("one.bmp"), In("one.bmp"), In("two.tga"), In("two.tga")}, frontEnd);
  ASSERT_EQ(frontEnd.events.size(), 4u);
  EXPECT_EQ(frontEnd.events[1].message, "The file does not exist.");
  EXPECT_EQ(frontEnd.events[3].message, "The file does not exist.");
  EXPECT_EQ(result.Converted, 2u);
  ExpectSourcePixels(Out("1.bmp"));
  ExpectSourcePixels(Out("3.bmp"));
  EXPECT_FALSE(fs::exists(Out("2.bmp")));
}

TEST_P(BatchRunTest, AResultThatCannotBeWrittenIsASavingErrorAndLeavesNothing) {
  std::ofstream((dir_ / "file").string()) << "x";
  fs::create_directories(Out("taken.bmp"));
  const struct {
    const char* name;
    std::string folder, pattern;
    TOverwriteAnswer answer;
  } cases[] = {
      {"a folder that cannot be made", (dir_ / "file" / "sub").string(), "%name%",
       TOverwriteAnswer::Yes},
      {"a name too long for the file system", Out(), std::string(300, 'n'), TOverwriteAnswer::Yes},
      {"a folder where the result goes", Out(), "taken", TOverwriteAnswer::Yes},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    settings_.Conversion.FolderPattern = c.folder;
    settings_.Conversion.NamePattern = c.pattern;
    TRecordingFrontEnd frontEnd;
    frontEnd.answers = {c.answer};
    const TBatchResult result = Run({In("one.bmp")}, frontEnd);
    EXPECT_EQ(result.Failed, 1u);
    ASSERT_EQ(frontEnd.events.size(), 1u);
    EXPECT_EQ(frontEnd.messages,
              std::vector<std::string>{"speicherfehler: " + frontEnd.events[0].target});
    EXPECT_FALSE(frontEnd.events[0].message.empty());
    EXPECT_EQ(TemporaryFilesIn(dir_), std::vector<std::string>{});
    EXPECT_TRUE(fs::is_directory(Out("taken.bmp")));
  }
}

TEST_P(BatchRunTest, OkForAllSilencesLaterSavingErrorsOfTheRun) {
  settings_.Conversion.FolderPattern = (dir_ / "in" / "one.bmp" / "sub").string();
  TRecordingFrontEnd frontEnd;
  frontEnd.okForAllOnSaveErrors = true;
  const TBatchResult result = Run({In("one.bmp"), In("two.tga")}, frontEnd);
  EXPECT_EQ(result.Failed, 2u);
  EXPECT_EQ(frontEnd.messages.size(), 1u);
}

TEST_P(BatchRunTest, AFullOrReadOnlyFileSystemIsASavingErrorAndLeavesNoPartialFile) {
  // 200 x 200 as a 32-bit bitmap needs 160 KB; one.bmp fits into 64 KB.
  TImageData big;
  imaging::ImageCreate(200, 200, TImageFormatId::A8R8G8B8, big);
  ASSERT_TRUE(SaveResultImage(In("big.bmp"), big));
  const struct {
    const char* name;
    unsigned long flags;
    size_t converted;
  } cases[] = {
      {"full", 0, 1},
      {"read-only", MS_RDONLY, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path small = dir_ / c.name;
    fs::create_directories(small);
    if (::mount("tmpfs", small.c_str(), "tmpfs", c.flags, "size=64k") != 0)
      GTEST_SKIP() << "cannot mount a small file system here: " << std::strerror(errno);
    struct TUnmount {
      const fs::path& path;
      ~TUnmount() { ::umount(path.c_str()); }
    } unmount{small};
    settings_.Conversion.FolderPattern = small.string();
    TRecordingFrontEnd frontEnd;
    const TBatchResult result = Run({In("big.bmp"), In("one.bmp")}, frontEnd);
    ASSERT_EQ(frontEnd.events.size(), 2u);
    EXPECT_EQ(frontEnd.events[0].outcome, TFileOutcome::Failed);
    EXPECT_EQ(frontEnd.messages.at(0), "speicherfehler: " + (small / "big.bmp").string());
    EXPECT_EQ(result.Converted, c.converted);
    EXPECT_EQ(TemporaryFilesIn(small), std::vector<std::string>{});
    EXPECT_FALSE(fs::exists(small / "big.bmp"));
    if (c.converted) ExpectSourcePixels((small / "one.bmp").string());
  }
}

TEST_P(BatchRunTest, AFailedSaveNeverCostsTheSource) {
  // The source on a file system that turns read-only: its result cannot replace it. And
  // deleting originals into a full file system: the source stays when its result failed.
  const fs::path mounted = dir_ / "mounted";
  fs::create_directories(mounted);
  if (::mount("tmpfs", mounted.c_str(), "tmpfs", 0, "size=64k") != 0)
    GTEST_SKIP() << "cannot mount a small file system here: " << std::strerror(errno);
  struct TUnmount {
    const fs::path& path;
    ~TUnmount() { ::umount(path.c_str()); }
  } unmount{mounted};
  const std::string source = (mounted / "one.bmp").string();
  ASSERT_TRUE(SaveResultImage(source, source_));
  ASSERT_EQ(::mount("tmpfs", mounted.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=64k"), 0);

  settings_.Conversion.OverwriteOriginal = true;
  TRecordingFrontEnd overwrite;
  overwrite.answers = {TOverwriteAnswer::YesForAll};
  EXPECT_EQ(Run({source}, overwrite).Failed, 1u);
  ExpectSourcePixels(source);

  settings_.Conversion.OverwriteOriginal = false;
  settings_.Conversion.DeleteOriginal = true;
  ASSERT_EQ(::mount("tmpfs", mounted.c_str(), "tmpfs", MS_REMOUNT, "size=64k"), 0);
  TImageData big;
  imaging::ImageCreate(200, 200, TImageFormatId::A8R8G8B8, big);
  ASSERT_TRUE(SaveResultImage(In("big.bmp"), big));
  settings_.Conversion.FolderPattern = mounted.string();
  TRecordingFrontEnd deleting;
  EXPECT_EQ(Run({In("big.bmp")}, deleting).Failed, 1u);
  EXPECT_TRUE(fs::exists(In("big.bmp")));
  EXPECT_FALSE(fs::exists(mounted / "big.bmp"));
}

TEST_P(BatchRunTest, EveryJobCountWritesTheSameBytes) {
  // Text, watermark and sharpening on every file, into JPEG and PNG: the threads share the
  // handlers, the engine's options and the font machinery, and must not disturb each other.
  TImageData photo;
  imaging::ImageCreate(96, 64, TImageFormatId::A8R8G8B8, photo);
  for (int i = 0; i < photo.Size; ++i) photo.bits()[i] = uint8_t((i * 37) ^ (i >> 7));
  std::vector<std::string> sources;
  for (int i = 0; i < 8; ++i) {
    sources.push_back(In("photo" + std::to_string(i) + ".bmp"));
    ASSERT_TRUE(SaveResultImage(sources.back(), photo));
  }
  settings_.Conversion.NamePattern = "%name%-%0num%";
  settings_.Conversion.Enabled[int(ActionId::Text)] = true;
  settings_.Conversion.Text = "%name% Ärger";
  settings_.Conversion.Enabled[int(ActionId::Watermark)] = true;
  settings_.Conversion.WatermarkPath = In("one.bmp");
  settings_.Conversion.Enabled[int(ActionId::Sharpen)] = true;
  const auto runInto = [&](const std::string& folder, const std::string& format, size_t jobs) {
    settings_.Conversion.FolderPattern = (dir_ / folder).string();
    settings_.Conversion.Format = format;
    TRecordingFrontEnd frontEnd;
    EXPECT_EQ(RunBatch(settings_, sources, frontEnd, jobs).Converted, sources.size());
    EXPECT_EQ(frontEnd.messages, std::vector<std::string>{});
  };
  for (const char* format : {"*.jpg - JPEG-Image", "*.png - Portable Network Graphics"}) {
    SCOPED_TRACE(format);
    runInto("one", format, 1);
    runInto("many", format, GetParam());
    for (const auto& entry : fs::directory_iterator(dir_ / "one"))
      EXPECT_EQ(test::ReadFileBytes(entry.path()),
                test::ReadFileBytes(dir_ / "many" / entry.path().filename()))
          << entry.path();
    fs::remove_all(dir_ / "one");
    fs::remove_all(dir_ / "many");
  }
}

INSTANTIATE_TEST_SUITE_P(Jobs, BatchRunTest, testing::Values(size_t(1), size_t(3)),
                         [](const testing::TestParamInfo<size_t>& param) {
                           return std::to_string(param.param) + "Jobs";
                         });

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

TEST_P(BatchRunTest, TheActionsRunBeforeTheResultIsNamedAndSaved) {
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

TEST_P(BatchRunTest, AFailedActionIsReportedAndTheUnchangedImageSaved) {
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
