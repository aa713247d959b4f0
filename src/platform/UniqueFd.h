// Ownership of a POSIX file descriptor.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <utility>

namespace pixolan::platform {

// Owns one descriptor (or none, -1) and closes it when destroyed. The destructor cannot
// report a failed close; call Close where that matters, as close may carry a delayed
// write error.
class TUniqueFd {
 public:
  TUniqueFd() = default;
  explicit TUniqueFd(int fd) noexcept : fd_(fd) {}
  TUniqueFd(TUniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  TUniqueFd& operator=(TUniqueFd&& other) noexcept {
    if (this != &other) {
      Reset();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  ~TUniqueFd() { Reset(); }
  TUniqueFd(const TUniqueFd&) = delete;
  TUniqueFd& operator=(const TUniqueFd&) = delete;

  int Get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }

  // Closes now; false, with errno set, when the close reported an error. The descriptor
  // is released either way: Linux never leaves it open after close, not even on EINTR,
  // which is therefore no failure.
  bool Close() noexcept {
    if (fd_ < 0) return true;
    return ::close(std::exchange(fd_, -1)) == 0 || errno == EINTR;
  }
  // Hands the descriptor to a new owner (one that closes it itself); -1 when there was none.
  int Release() noexcept { return std::exchange(fd_, -1); }
  // Closes without looking at the result.
  void Reset() noexcept {
    if (fd_ >= 0) ::close(std::exchange(fd_, -1));
  }

 private:
  int fd_ = -1;
};

}  // namespace pixolan::platform
