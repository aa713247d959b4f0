// The program as a process: what signals do to a run in progress.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "core/ImageFiles.h"
#include "imaging/image/Imaging.h"
#include "support/Files.h"
#include "support/TempFolder.h"

extern char** environ;

namespace pixolan::cli {
namespace {

namespace fs = std::filesystem;

constexpr int kSources = 6;

// Big enough sources that a run takes a while, with content that does not compress away.
class CliProcess : public testing::Test {
 protected:
  void SetUp() override {
    imaging::TImageData image;
    imaging::ImageCreate(1600, 1200, imaging::TImageFormatId::A8R8G8B8, image);
    uint32_t state = 12345;
    for (int i = 0; i < image.Size; ++i) {
      state = state * 1664525u + 1013904223u;
      image.bits()[i] = uint8_t(state >> 24);
    }
    fs::create_directories(folder_.File("in"));
    for (int i = 0; i < kSources; ++i) {
      const std::string source = folder_.File("in/source" + std::to_string(i) + ".bmp");
      ASSERT_TRUE(core::SaveResultImage(source, image));
      sources_.push_back(source);
    }
    original_ = test::ReadFileBytes(sources_.front());
  }

  // Starts a run of every source into out, and sends signal as soon as the first result is
  // there. Returns the wait status.
  int RunAndSignal(int signal, const std::vector<std::string>& extra = {}) {
    std::vector<std::string> args = {PIXOLAN_CLI_PROGRAM,
                                     "--no-start-config",
                                     "-q",
                                     "-o",
                                     folder_.File("out"),
                                     "-n",
                                     "%name%",
                                     "-f",
                                     "png"};
    args.insert(args.end(), extra.begin(), extra.end());
    args.insert(args.end(), sources_.begin(), sources_.end());
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string log = folder_.File("stderr.txt");
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, log.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t child = -1;
    const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    EXPECT_EQ(spawned, 0);
    if (spawned != 0) return -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!fs::exists(folder_.File("out/source0.png")) &&
           std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ::kill(child, signal);
    int status = 0;
    ::waitpid(child, &status, 0);
    return status;
  }

  std::vector<std::string> FilesIn(const std::string& folder) const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
      names.push_back(entry.path().filename().string());
    return names;
  }

  // Every result that is there is complete: it loads with the sources' size.
  void ExpectOnlyWholeResults() const {
    for (int i = 0; i < kSources; ++i) {
      const std::string result = folder_.File("out/source" + std::to_string(i) + ".png");
      if (!fs::exists(result)) continue;
      imaging::TImageData loaded;
      EXPECT_NO_THROW(EXPECT_TRUE(core::LoadSourceImage(result, loaded))) << result;
      EXPECT_EQ(loaded.Width, 1600) << result;
    }
    for (const std::string& source : sources_)
      EXPECT_EQ(test::ReadFileBytes(source), original_) << source;
  }

  test::TTempFolder folder_;
  std::vector<std::string> sources_;
  std::vector<uint8_t> original_;
};

TEST_F(CliProcess, SigintAndSigtermStopCleanlyWithTheirStatus) {
  for (const int signal : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signal);
    fs::remove_all(folder_.File("out"));
    const int status = RunAndSignal(signal, {"-j", "2"});
    ASSERT_TRUE(WIFEXITED(status)) << test::ReadFileText(folder_.File("stderr.txt"));
    EXPECT_EQ(WEXITSTATUS(status), 128 + signal);
    const std::vector<std::string> results = FilesIn(folder_.File("out"));
    EXPECT_GE(results.size(), 1u);
    EXPECT_LT(results.size(), size_t(kSources));
    for (const std::string& name : results) EXPECT_FALSE(name.starts_with(".pixolan-")) << name;
    EXPECT_TRUE(FilesIn(folder_.File("in")).size() == size_t(kSources));
    ExpectOnlyWholeResults();
  }
}

TEST_F(CliProcess, AKilledRunLeavesSourcesIntactAndNoHalfWrittenResult) {
  // Deleting originals is the risky mode: a source may only go once its result is whole.
  const int status = RunAndSignal(SIGKILL, {"-j", "2", "--set", "out_deleteoriginal=1"});
  ASSERT_TRUE(WIFSIGNALED(status));
  for (int i = 0; i < kSources; ++i) {
    const std::string result = folder_.File("out/source" + std::to_string(i) + ".png");
    // A source is gone only when its complete result is there.
    if (!fs::exists(sources_[size_t(i)])) {
      EXPECT_TRUE(fs::exists(result)) << result;
    }
  }
  sources_.erase(std::remove_if(sources_.begin(), sources_.end(),
                                [](const std::string& s) { return !fs::exists(s); }),
                 sources_.end());
  ExpectOnlyWholeResults();
}

}  // namespace
}  // namespace pixolan::cli
