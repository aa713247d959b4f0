// What tells whether a file changed since it was last looked at.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <string>

namespace pixolan::platform {

// The file's identity (device and inode), size and modification and change times. Two
// equal stamps mean the same content as far as the file system tells: a file replaced by
// a rename has another inode, one written in place another time.
struct TFileStamp {
  bool Exists = false;
  dev_t Device = 0;
  ino_t Inode = 0;
  off_t Size = 0;
  int64_t ModifiedNs = 0;
  int64_t ChangedNs = 0;

  static TFileStamp Of(const struct stat& st) {
    const auto ns = [](const timespec& t) { return int64_t(t.tv_sec) * 1'000'000'000 + t.tv_nsec; };
    return {true, st.st_dev, st.st_ino, st.st_size, ns(st.st_mtim), ns(st.st_ctim)};
  }
  bool operator==(const TFileStamp&) const = default;
};

// The stamp of the file at path, following links; a stamp with Exists false when there is
// nothing to examine there.
inline TFileStamp FileStampOf(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? TFileStamp::Of(st) : TFileStamp();
}

}  // namespace pixolan::platform
