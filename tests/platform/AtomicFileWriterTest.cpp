#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "platform/AtomicFileWriter.h"
#include "platform/UniqueFd.h"
#include "support/Files.h"
#include "support/TempFolder.h"

namespace pixolan::platform {
namespace {

namespace fs = std::filesystem;

using test::ReadFileText;
using test::WriteFileText;

std::span<const uint8_t> Bytes(std::string_view text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

struct stat LinkStatus(const fs::path& path) {
  struct stat st {};
  EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
  return st;
}

mode_t ModeBits(const fs::path& path) {
  return LinkStatus(path).st_mode & 07777;
}

// Sets the umask for one test and puts the old one back.
class TUmaskScope {
 public:
  explicit TUmaskScope(mode_t mask) : old_(::umask(mask)) {}
  ~TUmaskScope() { ::umask(old_); }
  TUmaskScope(const TUmaskScope&) = delete;
  TUmaskScope& operator=(const TUmaskScope&) = delete;

 private:
  mode_t old_;
};

bool IsTemporaryName(const std::string& name) {
  static constexpr std::string_view kPrefix = ".pixolan-", kSuffix = ".tmp";
  if (name.size() != kPrefix.size() + 16 + kSuffix.size() || !name.starts_with(kPrefix) ||
      !name.ends_with(kSuffix))
    return false;
  return std::all_of(name.begin() + kPrefix.size(), name.end() - kSuffix.size(),
                     [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
}

// A folder of its own per test. Every test ends by checking that no temporary file was
// left in it, at any depth.
class AtomicFileWriterTest : public ::testing::Test {
 protected:
  void TearDown() override { ExpectNoTemporaryFiles(); }

  fs::path Path(const std::string& name) const { return folder_ / name; }

  // Every leftover whose name looks like one of the writer's temporary files.
  std::vector<std::string> TemporaryFiles() const {
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(folder_)) {
      const std::string name = entry.path().filename().string();
      if (name.starts_with(".pixolan-")) found.push_back(entry.path().string());
    }
    return found;
  }
  void ExpectNoTemporaryFiles() const { EXPECT_EQ(TemporaryFiles(), std::vector<std::string>{}); }

  std::vector<std::string> Entries(const fs::path& folder) const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  test::TTempFolder temp_;
  const fs::path& folder_ = temp_.Path();
};

// Runs body and returns the EFileWriteError it raised, or nothing.
template <class F>
std::optional<EFileWriteError> CatchWriteError(F&& body) {
  try {
    body();
  } catch (const EFileWriteError& e) {
    return e;
  }
  return std::nullopt;
}

std::string Refusal(const fs::path& target, const std::string& detail) {
  return "Cannot write file \"" + target.string() + "\": " + detail + ".";
}

// ---- Writing ---------------------------------------------------------------------------

TEST_F(AtomicFileWriterTest, WritesUnderATemporaryNameBesideTheTargetUntilCommit) {
  const fs::path target = Path("out.bin");
  TAtomicFileWriter writer(target.string());
  EXPECT_EQ(writer.Target(), target.string());
  const fs::path temporary = writer.TemporaryPath();
  EXPECT_EQ(temporary.parent_path(), folder_);
  EXPECT_TRUE(IsTemporaryName(temporary.filename().string())) << temporary;
  EXPECT_TRUE(fs::is_regular_file(temporary));
  EXPECT_EQ(::fcntl(writer.Descriptor(), F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);

  // Write and the descriptor reach the same file; callers may patch what they wrote.
  writer.Write("hello world", 11);
  ASSERT_EQ(::pwrite(writer.Descriptor(), "J", 1, 0), 1);
  EXPECT_FALSE(fs::exists(target));
  EXPECT_EQ(ReadFileText(temporary), "Jello world");

  writer.Commit();
  EXPECT_EQ(ReadFileText(target), "Jello world");
  EXPECT_FALSE(fs::exists(temporary));
  EXPECT_EQ(writer.Descriptor(), -1);
  EXPECT_THROW(writer.Commit(), std::logic_error);
  EXPECT_THROW(writer.Write("x", 1), std::logic_error);
}

TEST_F(AtomicFileWriterTest, NewFileGetsTheModeOfAnyCreatedFile) {
  const struct {
    mode_t umask;
    bool sync;
  } cases[] = {{022, false}, {077, true}, {002, false}, {0, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE("umask " + std::to_string(c.umask) + (c.sync ? " with sync" : ""));
    const fs::path target = Path("new.bin");
    fs::remove(target);
    {
      const TUmaskScope umask(c.umask);
      WriteFileAtomically(target.string(), Bytes("new content"), {.Sync = c.sync});
    }
    EXPECT_EQ(ReadFileText(target), "new content");
    EXPECT_TRUE(S_ISREG(LinkStatus(target).st_mode));
    EXPECT_EQ(ModeBits(target), 0666 & ~c.umask);
    EXPECT_EQ(LinkStatus(target).st_uid, ::geteuid());
  }
}

TEST_F(AtomicFileWriterTest, ReplacedFileKeepsItsModeWithoutSetuidAndSetgid) {
  const struct {
    mode_t before;
    mode_t after;
  } cases[] = {
      {0600, 0600}, {0644, 0644}, {0400, 0400}, {06755, 0755}, {04700, 0700}, {02640, 0640},
  };
  const TUmaskScope umask(022);
  for (const auto& c : cases) {
    SCOPED_TRACE("mode " + std::to_string(c.before));
    const fs::path target = Path("old.bin");
    WriteFileText(target, "old content");
    ASSERT_EQ(::chmod(target.c_str(), c.before), 0);
    ASSERT_EQ(ModeBits(target), c.before);
    WriteFileAtomically(target.string(), Bytes("new content"));
    EXPECT_EQ(ReadFileText(target), "new content");
    EXPECT_EQ(ModeBits(target), c.after);
    fs::remove(target);
  }
}

// Returns false when there is no unprivileged user to become.
bool DropPrivileges() {
  return ::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0;
}

// Exit codes: 0 written, 1 write error, 3 could not drop privileges.
[[noreturn]] void WriteAsUnprivilegedUser(const std::string& target) {
  if (!DropPrivileges()) std::_Exit(3);
  try {
    WriteFileAtomically(target, Bytes("theirs now"));
  } catch (const EFileWriteError&) {
    std::_Exit(1);
  }
  std::_Exit(0);
}

TEST_F(AtomicFileWriterTest, ReplacedFileKeepsOwnerAndGroupWherePermitted) {
  if (::geteuid() != 0) GTEST_SKIP() << "giving files away needs root";
  const fs::path target = Path("owned.bin");
  WriteFileText(target, "old content");
  ASSERT_EQ(::chown(target.c_str(), 65534, 65534), 0);
  ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
  WriteFileAtomically(target.string(), Bytes("new content"));
  EXPECT_EQ(ReadFileText(target), "new content");
  EXPECT_EQ(LinkStatus(target).st_uid, 65534u);
  EXPECT_EQ(LinkStatus(target).st_gid, 65534u);
  EXPECT_EQ(ModeBits(target), 0640);

  // An ordinary user cannot give the result back to root: not an error, it becomes theirs.
  ASSERT_EQ(::chown(target.c_str(), 0, 0), 0);
  ASSERT_EQ(::chmod(target.c_str(), 0666), 0);
  ASSERT_EQ(::chmod(folder_.c_str(), 0777), 0);
  EXPECT_EXIT(WriteAsUnprivilegedUser(target.string()), ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(ReadFileText(target), "theirs now");
  EXPECT_EQ(LinkStatus(target).st_uid, 65534u);
  EXPECT_EQ(ModeBits(target), 0666);
}

// The chosen behaviour, documented in the header: the rename gives the name a new file.
TEST_F(AtomicFileWriterTest, ReplacingAHardLinkedFileLeavesItsOtherNamesTheOldContent) {
  const fs::path target = Path("name.bin"), other = Path("other-name.bin");
  WriteFileText(target, "shared content");
  fs::create_hard_link(target, other);
  WriteFileAtomically(target.string(), Bytes("new content"));
  EXPECT_EQ(ReadFileText(target), "new content");
  EXPECT_EQ(ReadFileText(other), "shared content");
  EXPECT_EQ(LinkStatus(other).st_nlink, 1u);
  EXPECT_EQ(LinkStatus(target).st_nlink, 1u);
}

TEST_F(AtomicFileWriterTest, UncommittedWriterLeavesTheTargetAsItWas) {
  for (const bool exists : {false, true}) {
    SCOPED_TRACE(exists ? "existing target" : "new target");
    const fs::path target = Path("kept.bin");
    if (exists) WriteFileText(target, "old content");
    {
      TAtomicFileWriter writer(target.string());
      writer.Write("half", 4);
      ASSERT_TRUE(fs::exists(writer.TemporaryPath()));
    }
    EXPECT_EQ(fs::exists(target), exists);
    if (exists) {
      EXPECT_EQ(ReadFileText(target), "old content");
    }
    ExpectNoTemporaryFiles();
    fs::remove(target);
  }
}

// ---- Symbolic links --------------------------------------------------------------------

TEST_F(AtomicFileWriterTest, SymbolicLinkAtTheTargetIsReplacedAndItsFileKept) {
  fs::create_directory(Path("elsewhere"));
  const fs::path outside = Path("elsewhere/precious.bin");
  const fs::path pipe = Path("elsewhere/pipe");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  const struct {
    const char* what;
    fs::path pointsTo;
    bool sync;
  } cases[] = {
      {"absolute link to a file in another folder", outside, false},
      {"the same with sync", outside, true},
      {"relative link", "elsewhere/precious.bin", false},
      {"dangling link", "elsewhere/missing.bin", false},
      {"link to a named pipe", pipe, false},
      {"link to a folder", Path("elsewhere"), false},
  };
  const TUmaskScope umask(022);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    WriteFileText(outside, "precious content");
    const fs::path target = Path("link.bin");
    fs::create_symlink(c.pointsTo, target);
    WriteFileAtomically(target.string(), Bytes("new content"), {.Sync = c.sync});
    EXPECT_TRUE(S_ISREG(LinkStatus(target).st_mode));
    // A new file: the link's own mode (0777) means nothing for it.
    EXPECT_EQ(ModeBits(target), 0644);
    EXPECT_EQ(ReadFileText(target), "new content");
    EXPECT_EQ(ReadFileText(outside), "precious content");
    EXPECT_TRUE(S_ISFIFO(LinkStatus(pipe).st_mode));
    EXPECT_EQ(Entries(Path("elsewhere")), (std::vector<std::string>{"pipe", "precious.bin"}));
    fs::remove(target);
  }
}

TEST_F(AtomicFileWriterTest, WriteThroughWritesTheFileAtTheEndOfTheLinkChain) {
  fs::create_directory(Path("real"));
  const fs::path file = Path("real/settings.ini");
  const struct {
    const char* what;
    std::vector<std::pair<fs::path, fs::path>> links;  // link, what it points to
    bool fileExists;
  } cases[] = {
      {"absolute link", {{Path("a.ini"), file}}, true},
      {"relative chain across folders",
       {{Path("a.ini"), "b.ini"},
        {Path("b.ini"), "real/c.ini"},
        {Path("real/c.ini"), "settings.ini"}},
       true},
      {"dangling link creates its file", {{Path("a.ini"), "real/settings.ini"}}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.fileExists) {
      WriteFileText(file, "old");
      ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    }
    for (const auto& [link, pointee] : c.links) fs::create_symlink(pointee, link);
    {
      TAtomicFileWriter writer(Path("a.ini").string(), {.Link = TLinkAtTarget::WriteThrough});
      EXPECT_EQ(fs::path(writer.Target()).filename(), "settings.ini");
      EXPECT_EQ(fs::path(writer.TemporaryPath()).parent_path(), Path("real"));
      writer.Write("new", 3);
      writer.Commit();
    }
    for (const auto& [link, pointee] : c.links) {
      EXPECT_TRUE(fs::is_symlink(fs::symlink_status(link))) << link;
      EXPECT_EQ(fs::read_symlink(link), pointee);
    }
    EXPECT_EQ(ReadFileText(file), "new");
    if (c.fileExists) {
      EXPECT_EQ(ModeBits(file), 0640);
    }
    for (const auto& link : c.links) fs::remove(link.first);
    fs::remove(file);
  }
}

// ---- Refusals --------------------------------------------------------------------------

TEST_F(AtomicFileWriterTest, SpecialFilesAtTheTargetAreRefusedUntouched) {
  const fs::path target = Path("target");
  TUniqueFd socketFd;
  const auto makeSocket = [&] {
    socketFd = TUniqueFd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    ASSERT_TRUE(socketFd);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(target.string().size(), sizeof address.sun_path);
    std::strcpy(address.sun_path, target.c_str());
    ASSERT_EQ(::bind(socketFd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address),
              0);
  };
  const struct {
    const char* what;
    std::function<void()> make;
    TAtomicWriteOptions options;
    std::string refusedPath;
    std::string detail;
    mode_t type;
  } cases[] = {
      {"named pipe",
       [&] { ASSERT_EQ(::mkfifo(target.c_str(), 0600), 0); },
       {},
       target,
       "it is a named pipe",
       S_IFIFO},
      {"named pipe, refusing existing files",
       [&] { ASSERT_EQ(::mkfifo(target.c_str(), 0600), 0); },
       {.Existing = TExistingTarget::Refuse},
       target,
       "it is a named pipe",
       S_IFIFO},
      {"empty folder",
       [&] { fs::create_directory(target); },
       {},
       target,
       "it is a folder",
       S_IFDIR},
      {"folder reached through a link, written through",
       [&] {
         fs::create_directory(Path("dir"));
         fs::create_symlink("dir", target);
       },
       {.Link = TLinkAtTarget::WriteThrough},
       Path("dir"),
       "it is a folder",
       S_IFLNK},
      {"socket", makeSocket, {.Sync = true}, target, "it is a socket", S_IFSOCK},
      {"device reached through a link, written through",
       [&] { fs::create_symlink("/dev/null", target); },
       {.Link = TLinkAtTarget::WriteThrough},
       "/dev/null",
       "it is a character device",
       S_IFLNK},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    c.make();
    const std::vector<std::string> before = Entries(folder_);
    const auto error =
        CatchWriteError([&] { WriteFileAtomically(target.string(), Bytes("data"), c.options); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->Failure(), TFileWriteFailure::NotRegularFile);
    EXPECT_EQ(error->what(), Refusal(c.refusedPath, c.detail));
    EXPECT_EQ(LinkStatus(target).st_mode & S_IFMT, c.type);
    EXPECT_EQ(Entries(folder_), before);
    fs::remove_all(target);
    fs::remove_all(Path("dir"));
    socketFd.Reset();
  }
  EXPECT_EQ(Entries(folder_), std::vector<std::string>{});
}

TEST_F(AtomicFileWriterTest, RefuseModeNeverReplacesWhatExists) {
  const fs::path target = Path("result.bin");
  const struct {
    const char* what;
    std::function<void()> make;
  } existing[] = {
      {"regular file", [&] { WriteFileText(target, "theirs"); }},
      {"link to a file",
       [&] {
         WriteFileText(Path("pointee"), "theirs");
         fs::create_symlink("pointee", target);
       }},
      {"dangling link", [&] { fs::create_symlink("missing", target); }},
  };
  const TAtomicWriteOptions refuse{.Existing = TExistingTarget::Refuse};
  for (const auto& c : existing) {
    // Found when the writer is made: refused before anything is written.
    {
      SCOPED_TRACE(std::string(c.what) + " before the write");
      c.make();
      const auto error =
          CatchWriteError([&] { TAtomicFileWriter writer(target.string(), refuse); });
      ASSERT_TRUE(error);
      EXPECT_EQ(error->Failure(), TFileWriteFailure::TargetExists);
      EXPECT_EQ(error->what(), Refusal(target, "it exists already"));
      EXPECT_TRUE(fs::exists(fs::symlink_status(target)));
      if (fs::exists(target)) {
        EXPECT_EQ(ReadFileText(target), "theirs");
      }
      ExpectNoTemporaryFiles();
      fs::remove(target);
      fs::remove(Path("pointee"));
    }
    // Appearing while the file is written, after any check the caller could make: the
    // rename itself refuses it.
    {
      SCOPED_TRACE(std::string(c.what) + " appearing during the write");
      TAtomicFileWriter writer(target.string(), refuse);
      writer.Write("mine", 4);
      c.make();
      const auto error = CatchWriteError([&] { writer.Commit(); });
      ASSERT_TRUE(error);
      EXPECT_EQ(error->Failure(), TFileWriteFailure::TargetExists);
      EXPECT_EQ(error->what(), Refusal(target, "it exists already"));
      EXPECT_TRUE(fs::exists(fs::symlink_status(target)));
      if (fs::exists(target)) {
        EXPECT_EQ(ReadFileText(target), "theirs");
      }
      EXPECT_EQ(writer.Descriptor(), -1);
      ExpectNoTemporaryFiles();
      fs::remove(target);
      fs::remove(Path("pointee"));
    }
  }
  // With nothing in the way the file is written.
  WriteFileAtomically(target.string(), Bytes("mine"), refuse);
  EXPECT_EQ(ReadFileText(target), "mine");
}

TEST_F(AtomicFileWriterTest, ReplaceModeLooksAgainAtCommit) {
  const fs::path target = Path("late.bin");
  {
    SCOPED_TRACE("named pipe appearing during the write");
    TAtomicFileWriter writer(target.string());
    writer.Write("mine", 4);
    ASSERT_EQ(::mkfifo(target.c_str(), 0600), 0);
    const auto error = CatchWriteError([&] { writer.Commit(); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->Failure(), TFileWriteFailure::NotRegularFile);
    EXPECT_EQ(error->what(), Refusal(target, "it is a named pipe"));
    EXPECT_TRUE(S_ISFIFO(LinkStatus(target).st_mode));
    ExpectNoTemporaryFiles();
    fs::remove(target);
  }
  {
    SCOPED_TRACE("regular file appearing during the write");
    TAtomicFileWriter writer(target.string());
    writer.Write("mine", 4);
    WriteFileText(target, "theirs");
    writer.Commit();
    EXPECT_EQ(ReadFileText(target), "mine");
  }
}

// ---- Failures --------------------------------------------------------------------------

TEST_F(AtomicFileWriterTest, FailedStepsNameTheStepAndTheReason) {
  WriteFileText(Path("plain"), "x");
  fs::create_symlink("loop-b", Path("loop-a"));
  fs::create_symlink("loop-a", Path("loop-b"));
  const struct {
    const char* what;
    fs::path target;
    TAtomicWriteOptions options;
    int error;
    std::string detail;
  } cases[] = {
      {"missing folder",
       Path("missing/x.bin"),
       {},
       ENOENT,
       "opening its folder failed: No such file or directory"},
      {"below a file",
       Path("plain/x.bin"),
       {},
       ENOTDIR,
       "opening its folder failed: Not a directory"},
      {"links in a loop",
       Path("loop-a"),
       {.Link = TLinkAtTarget::WriteThrough},
       ELOOP,
       "following its symbolic links failed: Too many levels of symbolic links"},
      {"no file name", folder_.string() + "/", {}, 0, "it is a folder"},
      {"empty path", "", {}, EINVAL, "the path does not end in a file name"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto error =
        CatchWriteError([&] { WriteFileAtomically(c.target.string(), Bytes("data"), c.options); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->Errno(), c.error);
    EXPECT_EQ(error->what(), Refusal(c.target, c.detail));
  }
  EXPECT_EQ(Entries(folder_), (std::vector<std::string>{"loop-a", "loop-b", "plain"}));
  EXPECT_EQ(ReadFileText(Path("plain")), "x");
}

// A failed rename (here: the temporary file was removed by someone else, as a cleaner of
// stale files might) leaves the target as it was.
TEST_F(AtomicFileWriterTest, FailedRenameKeepsTheTarget) {
  const fs::path target = Path("kept.bin");
  const struct {
    TExistingTarget existing;
    bool targetExists;
    std::string detail;
  } cases[] = {
      {TExistingTarget::Replace, true,
       "renaming the temporary file over it failed: No such file or directory"},
      {TExistingTarget::Refuse, false,
       "renaming the temporary file to it failed: No such file or directory"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.detail);
    if (c.targetExists) WriteFileText(target, "old content");
    TAtomicFileWriter writer(target.string(), {.Existing = c.existing});
    writer.Write("new content", 11);
    ASSERT_EQ(::unlink(writer.TemporaryPath().c_str()), 0);
    const auto error = CatchWriteError([&] { writer.Commit(); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->Failure(), TFileWriteFailure::Io);
    EXPECT_EQ(error->Errno(), ENOENT);
    EXPECT_EQ(error->what(), Refusal(target, c.detail));
    EXPECT_EQ(fs::exists(target), c.targetExists);
    if (c.targetExists) {
      EXPECT_EQ(ReadFileText(target), "old content");
    }
    fs::remove(target);
  }
}

// Runs in a child process, so that the file size limit does not outlive it. A write
// beyond the limit fails with EFBIG, as a full disk fails with ENOSPC, also for root.
// Exit codes: 0 the right error, 1 no error, 2 another error, 3 no limit.
[[noreturn]] void WriteBeyondTheFileSizeLimit(const std::string& target) {
  std::signal(SIGXFSZ, SIG_IGN);
  const rlimit limit{64, 64};
  if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) std::_Exit(3);
  try {
    TAtomicFileWriter writer(target);
    const std::string data(200, 'n');
    writer.Write(data.data(), data.size());
  } catch (const EFileWriteError& e) {
    const bool right = e.Failure() == TFileWriteFailure::Io && e.Errno() == EFBIG &&
                       e.what() == Refusal(target, "writing failed: File too large");
    std::_Exit(right ? 0 : 2);
  }
  std::_Exit(1);
}

TEST_F(AtomicFileWriterTest, FailedWriteKeepsTheTarget) {
  for (const bool exists : {false, true}) {
    SCOPED_TRACE(exists ? "existing target" : "new target");
    const fs::path target = Path("limited.bin");
    if (exists) WriteFileText(target, "old content");
    EXPECT_EXIT(WriteBeyondTheFileSizeLimit(target.string()), ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(fs::exists(target), exists);
    if (exists) {
      EXPECT_EQ(ReadFileText(target), "old content");
    }
    ExpectNoTemporaryFiles();
    fs::remove(target);
  }
}

}  // namespace
}  // namespace pixolan::platform
