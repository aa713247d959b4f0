#include "platform/AtomicFileWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <random>
#include <system_error>

namespace pixolan::platform {

namespace {

// The kernel's own limit on the links followed while resolving one path.
constexpr int kMaxLinkHops = 40;
// Largest single write handed to the kernel; larger writes loop.
constexpr size_t kMaxTransfer = size_t(1) << 30;
constexpr int kTemporaryNameAttempts = 16;

std::string Reason(int error) {
  return std::error_code(error, std::generic_category()).message();
}

std::string StepFailed(const std::string& step, int error) {
  return step + " failed: " + Reason(error);
}

[[noreturn]] void Raise(TFileWriteFailure failure, int error, const std::string& target,
                        const std::string& detail) {
  throw EFileWriteError(failure, error, "Cannot write file \"" + target + "\": " + detail + ".");
}

std::string KindText(mode_t mode) {
  if (S_ISDIR(mode)) return "it is a folder";
  if (S_ISFIFO(mode)) return "it is a named pipe";
  if (S_ISCHR(mode)) return "it is a character device";
  if (S_ISBLK(mode)) return "it is a block device";
  if (S_ISSOCK(mode)) return "it is a socket";
  return "it is not a regular file";
}

// The end of the chain of symbolic links that starts at target, as opening target would
// reach it. An end that does not exist is where the file will be created.
std::string ResolveLinkChain(const std::string& target) {
  std::string path = target;
  for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    // st_size is the length of the link text, except on file systems that report 0.
    std::string link(size_t(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
    for (;;) {
      const ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
      if (n < 0) {
        const int error = errno;
        Raise(TFileWriteFailure::Io, error, target,
              StepFailed("reading the symbolic link \"" + path + "\"", error));
      }
      if (size_t(n) < link.size()) {
        link.resize(size_t(n));
        break;
      }
      link.resize(link.size() * 2);  // the link changed meanwhile and grew
    }
    // A relative link is relative to the folder that holds it.
    if (link.empty() || link.front() != '/') {
      const size_t slash = path.rfind('/');
      if (slash != std::string::npos) link = path.substr(0, slash + 1) + link;
    }
    path = std::move(link);
  }
  Raise(TFileWriteFailure::Io, ELOOP, target, StepFailed("following its symbolic links", ELOOP));
}

}  // namespace

TAtomicFileWriter::TAtomicFileWriter(const std::string& target, TAtomicWriteOptions options)
    : options_(options),
      target_(options.Link == TLinkAtTarget::WriteThrough ? ResolveLinkChain(target) : target) {
  const size_t slash = target_.rfind('/');
  name_ = slash == std::string::npos ? target_ : target_.substr(slash + 1);
  if (name_.empty() || name_ == "." || name_ == "..") {
    struct stat st;
    if (::stat(target_.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
      Raise(TFileWriteFailure::NotRegularFile, 0, target_, KindText(st.st_mode));
    Raise(TFileWriteFailure::Io, EINVAL, target_, "the path does not end in a file name");
  }
  const std::string folder = slash == std::string::npos ? std::string(".")
                             : slash == 0               ? std::string("/")
                                                        : target_.substr(0, slash);
  // Read access: fsync of a folder needs a descriptor that is not O_PATH.
  folder_ = TUniqueFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!folder_) {
    const int error = errno;
    Raise(TFileWriteFailure::Io, error, target_, StepFailed("opening its folder", error));
  }
  const std::string prefix =
      slash == std::string::npos ? std::string() : target_.substr(0, slash + 1);

  struct stat found;
  if (::fstatat(folder_.Get(), name_.c_str(), &found, AT_SYMLINK_NOFOLLOW) != 0) {
    const int error = errno;
    if (error != ENOENT)
      Raise(TFileWriteFailure::Io, error, target_, StepFailed("examining it", error));
    CreateTemporary(prefix, 0666);
    return;
  }
  existed_ = true;
  const bool regular = CheckReplaceable(found);
  if (options_.Existing == TExistingTarget::Refuse)
    Raise(TFileWriteFailure::TargetExists, 0, target_, "it exists already");
  // Never created with more permissions than the file it replaces ends up with.
  CreateTemporary(prefix, regular ? found.st_mode & 0666 : 0666);
  if (!regular) return;
  // Owner first: chown clears setuid and setgid, and the mode set after it is the one meant.
  struct stat created;
  if (::fstat(file_.Get(), &created) == 0 &&
      (created.st_uid != found.st_uid || created.st_gid != found.st_gid) &&
      ::fchown(file_.Get(), found.st_uid, found.st_gid) != 0) {
    // Only a privileged process may give a file away; an ordinary user replacing someone
    // else's file in a shared folder keeps the result as their own.
  }
  if (::fchmod(file_.Get(), found.st_mode & 07777 & ~mode_t(S_ISUID | S_ISGID)) != 0) {
    // File systems without permissions refuse this; the file is no less usable.
  }
}

TAtomicFileWriter::~TAtomicFileWriter() {
  if (!finished_) Discard();
}

bool TAtomicFileWriter::CheckReplaceable(const struct stat& found) {
  if (S_ISREG(found.st_mode)) return true;
  if (S_ISLNK(found.st_mode)) return false;
  Fail(TFileWriteFailure::NotRegularFile, 0, KindText(found.st_mode));
}

void TAtomicFileWriter::CreateTemporary(const std::string& prefix, mode_t mode) {
  std::random_device random;
  for (int attempt = 1;; ++attempt) {
    const uint64_t bits = uint64_t(random()) << 32 | random();
    char name[32];
    std::snprintf(name, sizeof name, ".pixolan-%016" PRIx64 ".tmp", bits);
    temporaryName_ = name;
    temporaryPath_ = prefix + temporaryName_;
    // O_EXCL: a clash with another writer's file, or a link planted under the name, fails
    // instead of being shared or followed.
    const int fd =
        ::openat(folder_.Get(), name, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode_t(mode));
    if (fd >= 0) {
      file_ = TUniqueFd(fd);
      haveTemporary_ = true;
      return;
    }
    const int error = errno;
    if (error != EEXIST || attempt == kTemporaryNameAttempts)
      Raise(TFileWriteFailure::Io, error, target_,
            StepFailed("creating a temporary file in its folder", error));
  }
}

void TAtomicFileWriter::CheckActive() const {
  if (finished_)
    throw std::logic_error("The write of file \"" + target_ + "\" is already finished.");
}

void TAtomicFileWriter::Discard() noexcept {
  file_.Reset();
  if (haveTemporary_) ::unlinkat(folder_.Get(), temporaryName_.c_str(), 0);
  haveTemporary_ = false;
  finished_ = true;
}

void TAtomicFileWriter::Fail(TFileWriteFailure failure, int error, const std::string& detail) {
  Discard();
  Raise(failure, error, target_, detail);
}

void TAtomicFileWriter::Write(const void* data, size_t size) {
  CheckActive();
  const auto* bytes = static_cast<const uint8_t*>(data);
  while (size > 0) {
    const ssize_t n = ::write(file_.Get(), bytes, std::min(size, kMaxTransfer));
    if (n <= 0) {
      // A regular file takes at least one byte or says why not; 0 would loop forever.
      const int error = n < 0 ? errno : ENOSPC;
      if (error == EINTR) continue;
      Fail(TFileWriteFailure::Io, error, StepFailed("writing", error));
    }
    bytes += n;
    size -= size_t(n);
  }
}

void TAtomicFileWriter::Commit() {
  CheckActive();
  bool replacing = existed_;
  if (options_.Existing == TExistingTarget::Replace) {
    struct stat found;
    if (::fstatat(folder_.Get(), name_.c_str(), &found, AT_SYMLINK_NOFOLLOW) == 0) {
      CheckReplaceable(found);
      replacing = true;
    } else if (const int error = errno; error != ENOENT) {
      Fail(TFileWriteFailure::Io, error, StepFailed("examining it", error));
    }
  }
  const bool sync = options_.Sync || replacing;
  if (sync && ::fsync(file_.Get()) != 0) {
    const int error = errno;
    Fail(TFileWriteFailure::Io, error, StepFailed("syncing", error));
  }
  if (!file_.Close()) {
    const int error = errno;
    Fail(TFileWriteFailure::Io, error, StepFailed("closing", error));
  }
  RenameIntoPlace();
  haveTemporary_ = false;
  finished_ = true;
  // Makes the rename itself durable: without it a power cut could bring back the old
  // name, or with the file and no name at all.
  if (sync && ::fsync(folder_.Get()) != 0) {
    const int error = errno;
    // EINVAL: the file system does not sync folders, so there is nothing more to do.
    if (error != EINVAL)
      Raise(TFileWriteFailure::Io, error, target_, StepFailed("syncing its folder", error));
  }
  folder_.Reset();
}

void TAtomicFileWriter::RenameIntoPlace() {
  const int folder = folder_.Get();
  const char* from = temporaryName_.c_str();
  const char* to = name_.c_str();
  if (options_.Existing == TExistingTarget::Replace) {
    if (::renameat(folder, from, folder, to) != 0) {
      const int error = errno;
      Fail(TFileWriteFailure::Io, error, StepFailed("renaming the temporary file over it", error));
    }
    return;
  }
  if (::renameat2(folder, from, folder, to, RENAME_NOREPLACE) == 0) return;
  int error = errno;
  if (error == EINVAL || error == ENOSYS || error == EOPNOTSUPP) {
    // File systems without RENAME_NOREPLACE: link refuses an existing name just as
    // atomically, at the price of a moment with two names for the result.
    if (::linkat(folder, from, folder, to, 0) == 0) {
      if (::unlinkat(folder, from, 0) != 0) {
        // The result is in place; the extra name was just made in the same folder, so
        // removing it does not fail in practice, and retrying would not help.
      }
      return;
    }
    error = errno;
  }
  if (error == EEXIST) Fail(TFileWriteFailure::TargetExists, 0, "it exists already");
  Fail(TFileWriteFailure::Io, error, StepFailed("renaming the temporary file to it", error));
}

void WriteFileAtomically(const std::string& target, std::span<const uint8_t> bytes,
                         TAtomicWriteOptions options) {
  TAtomicFileWriter writer(target, options);
  writer.Write(bytes.data(), bytes.size());
  writer.Commit();
}

}  // namespace pixolan::platform
