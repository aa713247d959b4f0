#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "input/InotifyWatcher.h"
#include "support/Files.h"
#include "support/TempFolder.h"

namespace pixolan::input {

void PrintTo(const TWatchEvent& event, std::ostream* out) {
  static const char* const kinds[] = {"Created", "Deleted",    "Renamed",
                                      "Changed", "FolderGone", "Overflow"};
  *out << kinds[int(event.Kind)] << " " << event.Path;
  if (!event.NewPath.empty()) *out << " -> " << event.NewPath;
}

namespace {

namespace fs = std::filesystem;
using K = TWatchEventKind;

class InotifyWatcherTest : public testing::Test {
 protected:
  std::string Path(const std::string& name) const { return folder_.File(name); }
  void Write(const std::string& name, std::string_view text = "bytes") {
    test::WriteFileText(folder_ / name, text);
  }
  // Collects events until `done` says the awaited ones are there. The limit only keeps a
  // broken watcher from hanging the test; it is no measure of speed.
  std::vector<TWatchEvent> Until(TInotifyWatcher& watcher,
                                 const std::function<bool(const std::vector<TWatchEvent>&)>& done) {
    std::vector<TWatchEvent> events;
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!done(events) && std::chrono::steady_clock::now() < limit) {
      pollfd fd{watcher.Fd(), POLLIN, 0};
      if (::poll(&fd, 1, 100) > 0) {
        const std::vector<TWatchEvent> more = watcher.ReadEvents();
        events.insert(events.end(), more.begin(), more.end());
      }
    }
    return events;
  }
  // Waits for the event, returning everything read up to it.
  std::vector<TWatchEvent> UntilEvent(TInotifyWatcher& watcher, const TWatchEvent& awaited) {
    return Until(watcher, [&](const std::vector<TWatchEvent>& events) {
      return std::find(events.begin(), events.end(), awaited) != events.end();
    });
  }
  // A file written after the others: once its creation is seen, everything before it was
  // reported too.
  std::vector<TWatchEvent> Settle(TInotifyWatcher& watcher) {
    Write("marker");
    std::vector<TWatchEvent> events = UntilEvent(watcher, {K::Created, Path("marker"), {}});
    std::erase(events, TWatchEvent{K::Created, Path("marker"), {}});
    fs::remove(Path("marker"));
    UntilEvent(watcher, {K::Deleted, Path("marker"), {}});
    return events;
  }

  test::TTempFolder folder_;
};

TEST_F(InotifyWatcherTest, ReportsFilesCreatedChangedRenamedAndDeleted) {
  TInotifyWatcher watcher(Path("") + "/");
  EXPECT_EQ(watcher.Folder(), folder_.Path().string());
  Write("a.png");
  EXPECT_EQ(Settle(watcher), (std::vector<TWatchEvent>{{K::Created, Path("a.png"), {}}}));
  // Read before the next write: the kernel merges a repeated event that was not read yet.
  Write("a.png", "again");
  fs::rename(Path("a.png"), Path("b.png"));
  fs::remove(Path("b.png"));
  const std::vector<TWatchEvent> expected = {{K::Changed, Path("a.png"), {}},
                                             {K::Renamed, Path("a.png"), Path("b.png")},
                                             {K::Deleted, Path("b.png"), {}}};
  EXPECT_EQ(Settle(watcher), expected);
}

TEST_F(InotifyWatcherTest, AHalfWrittenFileIsCreatedWhenItsWriterClosesIt) {
  TInotifyWatcher watcher(Path(""));
  std::ofstream writer(Path("big.png"), std::ios::binary);
  writer << "first half";
  writer.flush();
  EXPECT_EQ(Settle(watcher), std::vector<TWatchEvent>{});
  writer << "second half";
  writer.close();
  EXPECT_EQ(Settle(watcher), (std::vector<TWatchEvent>{{K::Created, Path("big.png"), {}}}));
}

TEST_F(InotifyWatcherTest, FilesMovedInAreCreatedAndMovedOutAreDeleted) {
  fs::create_directories(folder_ / "watched");
  fs::create_directories(folder_ / "outside");
  Write("outside/in.png");
  TInotifyWatcher watcher(Path("watched"));
  fs::rename(Path("outside/in.png"), Path("watched/in.png"));
  UntilEvent(watcher, {K::Created, Path("watched/in.png"), {}});
  fs::rename(Path("watched/in.png"), Path("outside/back.png"));
  EXPECT_EQ(UntilEvent(watcher, {K::Deleted, Path("watched/in.png"), {}}),
            (std::vector<TWatchEvent>{{K::Deleted, Path("watched/in.png"), {}}}));
}

TEST_F(InotifyWatcherTest, NewSubfoldersAreWatchedAndBringTheirFiles) {
  fs::create_directories(folder_ / "old/deep");
  TInotifyWatcher watcher(Path(""));
  EXPECT_EQ(watcher.WatchedFolders(), 3u);

  fs::create_directories(folder_ / "new/inner");
  Write("new/inner/a.png");
  UntilEvent(watcher, {K::Created, Path("new/inner/a.png"), {}});
  Write("new/inner/b.png");
  UntilEvent(watcher, {K::Created, Path("new/inner/b.png"), {}});
  Write("old/deep/c.png");
  UntilEvent(watcher, {K::Created, Path("old/deep/c.png"), {}});

  // A folder moved in from outside brings the files it holds.
  const test::TTempFolder outside;
  fs::create_directories(outside / "moved");
  test::WriteFileText(outside / "moved/d.png", "bytes");
  fs::rename(outside / "moved", folder_ / "moved");
  UntilEvent(watcher, {K::Created, Path("moved/d.png"), {}});
}

TEST_F(InotifyWatcherTest, AFolderRenamedInsideRenamesItsFilesAndStaysWatched) {
  fs::create_directories(folder_ / "before/sub");
  Write("before/sub/a.png");
  TInotifyWatcher watcher(Path(""));
  fs::rename(Path("before"), Path("after"));
  UntilEvent(watcher, {K::Renamed, Path("before/sub/a.png"), Path("after/sub/a.png")});
  Write("after/sub/b.png");
  const std::vector<TWatchEvent> events = Settle(watcher);
  EXPECT_EQ(std::count(events.begin(), events.end(),
                       TWatchEvent{K::Created, Path("after/sub/b.png"), {}}),
            1);

  fs::rename(Path("after"),
             folder_.Path().parent_path() / (folder_.Path().filename().string() + "-moved-out"));
  UntilEvent(watcher, {K::FolderGone, Path("after"), {}});
  fs::remove_all(folder_.Path().string() + "-moved-out");
  EXPECT_EQ(watcher.WatchedFolders(), 1u);
}

TEST_F(InotifyWatcherTest, AnOverflowWatchesAgainAndTellsTheHandlersToResynchronize) {
  TInotifyWatcher watcher(Path(""));
  // More events than the kernel queues (16384 by default): two for each empty file.
  std::ifstream limitFile("/proc/sys/fs/inotify/max_queued_events");
  size_t limit = 16384;
  limitFile >> limit;
  ASSERT_LT(limit, 200000u) << "the queue is too long to overflow in a test";
  for (size_t i = 0; i <= limit / 2; ++i) Write(std::to_string(i).append(".f"), "");
  fs::create_directories(folder_ / "sub");
  const std::vector<TWatchEvent> events =
      UntilEvent(watcher, {K::Overflow, folder_.Path().string(), {}});
  ASSERT_FALSE(events.empty());
  Write("sub/after.png");
  UntilEvent(watcher, {K::Created, Path("sub/after.png"), {}});
}

// The watched folder may be a link (a pictures folder kept elsewhere); links below it are
// not followed, as a folder scan does not follow them.
TEST_F(InotifyWatcherTest, FollowsALinkToTheWatchedFolderOnly) {
  fs::create_directories(folder_ / "real/inner");
  fs::create_directories(folder_ / "other");
  fs::create_directory_symlink(Path("real"), Path("link"));
  fs::create_directory_symlink(Path("other"), Path("real/to-other"));
  TInotifyWatcher watcher(Path("link"));
  EXPECT_EQ(watcher.WatchedFolders(), 2u);  // link (real) and link/inner
  Write("other/unseen.png");
  Write("real/inner/a.png");
  EXPECT_EQ(UntilEvent(watcher, {K::Created, Path("link/inner/a.png"), {}}),
            (std::vector<TWatchEvent>{{K::Created, Path("link/inner/a.png"), {}}}));
}

TEST_F(InotifyWatcherTest, RefusesWhatIsNoFolderAndClosesItsDescriptor) {
  Write("file");
  for (const std::string& path : {Path("file"), Path("missing"), std::string()})
    EXPECT_THROW(TInotifyWatcher watcher(path), EWatchError) << path;
  int fd = -1;
  {
    TInotifyWatcher watcher(Path(""));
    fd = watcher.Fd();
    EXPECT_NE(::fcntl(fd, F_GETFD), -1);
  }
  errno = 0;
  EXPECT_EQ(::fcntl(fd, F_GETFD), -1);
  EXPECT_EQ(errno, EBADF);
}

}  // namespace
}  // namespace pixolan::input
