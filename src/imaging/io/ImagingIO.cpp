#include "imaging/io/ImagingIO.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <system_error>

namespace pixolan::imaging {

namespace {

// Largest single read or write handed to the kernel; larger transfers loop.
constexpr int64_t kMaxSystemTransfer = int64_t(1) << 30;

// Target of a seek, checked: positions are never negative and never overflow.
int64_t SeekTarget(int64_t position, int64_t size, int64_t offset, TSeekOrigin origin,
                   const std::string& what) {
  int64_t base = 0;
  switch (origin) {
    case TSeekOrigin::Begin:
      base = 0;
      break;
    case TSeekOrigin::Current:
      base = position;
      break;
    case TSeekOrigin::End:
      base = size;
      break;
  }
  int64_t target = 0;
  if (__builtin_add_overflow(base, offset, &target) || target < 0)
    throw EImagingError("Cannot seek to offset " + std::to_string(offset) + " from " +
                        std::to_string(base) + " in " + what + ".");
  return target;
}

std::string SystemReason(int error) {
  return std::error_code(error, std::generic_category()).message();
}

}  // namespace

// ---- TStream ------------------------------------------------------------------------

void TStream::ReadExact(void* buffer, int64_t count, const char* what) {
  const int64_t n = Read(buffer, count);
  if (n != count)
    throw EImagingError(std::string("Unexpected end of data while reading ") + what + " (" +
                        std::to_string(n) + " of " + std::to_string(count) + " bytes).");
}

void TStream::WriteExact(const void* buffer, int64_t count) {
  const int64_t n = Write(buffer, count);
  if (n != count)
    throw EImagingError("Cannot write data: only " + std::to_string(n) + " of " +
                        std::to_string(count) + " bytes were written.");
}

// ---- TFileStream --------------------------------------------------------------------

TFileStream::TFileStream(const std::string& fileName, TFileMode mode) : fileName_(fileName) {
  int flags = O_CLOEXEC;
  switch (mode) {
    case TFileMode::Read:
      // Without O_NONBLOCK, opening a named pipe waits for a writer that may never come;
      // it changes nothing for a regular file, and anything else is refused below.
      flags |= O_RDONLY | O_NONBLOCK;
      break;
    case TFileMode::Create:
      flags |= O_RDWR | O_CREAT | O_TRUNC;
      break;
    case TFileMode::CreateNew:
      flags |= O_RDWR | O_CREAT | O_EXCL;
      break;
  }
  do {
    fd_ = ::open(fileName.c_str(), flags, 0666);
  } while (fd_ < 0 && errno == EINTR);
  if (fd_ < 0) RaiseSystem(mode == TFileMode::Read ? "open" : "create");

  struct stat st {};
  if (::fstat(fd_, &st) != 0) {
    const int error = errno;
    ::close(fd_);
    fd_ = -1;
    errno = error;
    RaiseSystem("examine");
  }
  // Directories open fine for reading on Linux, and pipes cannot seek: both would only
  // fail later with a less helpful message.
  if (!S_ISREG(st.st_mode)) {
    ::close(fd_);
    fd_ = -1;
    throw EImagingError("Cannot open \"" + fileName + "\": not a regular file.");
  }
  if (mode == TFileMode::Read) ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
  writable_ = mode != TFileMode::Read;
  fileSize_ = writable_ ? 0 : int64_t(st.st_size);
  buffer_ = std::make_unique<uint8_t[]>(size_t(kBufferSize));
}

TFileStream::TFileStream(TBorrowedDescriptor file, const std::string& fileName)
    : fileName_(fileName) {
  struct stat st {};
  if (::fstat(file.Descriptor, &st) != 0) RaiseSystem("examine");
  if (!S_ISREG(st.st_mode))
    throw EImagingError("Cannot use \"" + fileName + "\": not a regular file.");
  const int flags = ::fcntl(file.Descriptor, F_GETFL);
  if (flags < 0) RaiseSystem("examine");
  fd_ = file.Descriptor;
  ownsFd_ = false;
  writable_ = (flags & O_ACCMODE) != O_RDONLY;
  fileSize_ = int64_t(st.st_size);
  buffer_ = std::make_unique<uint8_t[]>(size_t(kBufferSize));
}

TFileStream::~TFileStream() {
  if (fd_ < 0) return;
  try {
    Flush();
  } catch (...) {
    // A destructor cannot report; Close is the way to learn about write failures.
  }
  if (ownsFd_) ::close(fd_);
}

void TFileStream::CheckOpen() const {
  if (fd_ < 0) throw EImagingError("File \"" + fileName_ + "\" is closed.");
}

void TFileStream::RaiseSystem(const char* action) const {
  throw EImagingError(std::string("Cannot ") + action + " file \"" + fileName_ +
                      "\": " + SystemReason(errno) + ".");
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
  CheckOpen();
  if (count <= 0) return 0;
  if (dirty_) Flush();  // later reads must see what was written
  auto* out = static_cast<uint8_t*>(buffer);
  int64_t total = 0;
  while (count > 0) {
    const int64_t bufferEnd = bufferStart_ + bufferLength_;
    if (position_ >= bufferStart_ && position_ < bufferEnd) {
      const int64_t n = std::min(count, bufferEnd - position_);
      std::memcpy(out, buffer_.get() + (position_ - bufferStart_), size_t(n));
      out += n;
      position_ += n;
      total += n;
      count -= n;
      continue;
    }
    // Large reads bypass the buffer; small ones refill it from the current position.
    const bool direct = count >= kBufferSize;
    uint8_t* target = direct ? out : buffer_.get();
    const int64_t want = direct ? std::min(count, kMaxSystemTransfer) : kBufferSize;
    ssize_t got = 0;
    do {
      got = ::pread(fd_, target, size_t(want), off_t(position_));
    } while (got < 0 && errno == EINTR);
    if (got < 0) RaiseSystem("read");
    if (got == 0) break;
    if (direct) {
      out += got;
      position_ += got;
      total += got;
      count -= got;
    } else {
      bufferStart_ = position_;
      bufferLength_ = got;
    }
  }
  return total;
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
  CheckOpen();
  if (!writable_) throw EImagingError("File \"" + fileName_ + "\" is not open for writing.");
  if (count <= 0) return 0;
  if (count > std::numeric_limits<int64_t>::max() - position_)
    throw EImagingError("Cannot write beyond the largest offset of file \"" + fileName_ + "\".");
  if (dirty_ && position_ != bufferStart_ + bufferLength_) Flush();
  if (!dirty_) {
    // Start a fresh write buffer; the read cache may cover what is about to change.
    bufferStart_ = position_;
    bufferLength_ = 0;
  }
  const auto* in = static_cast<const uint8_t*>(buffer);
  if (bufferLength_ + count > kBufferSize) {
    Flush();
    bufferStart_ = position_;
    bufferLength_ = 0;
    if (count >= kBufferSize) {
      int64_t done = 0;
      while (done < count) {
        const int64_t want = std::min(count - done, kMaxSystemTransfer);
        ssize_t put = 0;
        do {
          put = ::pwrite(fd_, in + done, size_t(want), off_t(position_ + done));
        } while (put < 0 && errno == EINTR);
        if (put < 0) RaiseSystem("write");
        done += put;
      }
      position_ += count;
      fileSize_ = std::max(fileSize_, position_);
      return count;
    }
  }
  std::memcpy(buffer_.get() + bufferLength_, in, size_t(count));
  bufferLength_ += count;
  dirty_ = true;
  position_ += count;
  return count;
}

void TFileStream::Flush() {
  if (!dirty_ || fd_ < 0) return;
  // Cleared first: a failed write is reported once, not again by every later call.
  dirty_ = false;
  int64_t done = 0;
  while (done < bufferLength_) {
    ssize_t put = 0;
    do {
      put = ::pwrite(fd_, buffer_.get() + done, size_t(bufferLength_ - done),
                     off_t(bufferStart_ + done));
    } while (put < 0 && errno == EINTR);
    if (put < 0) {
      bufferLength_ = 0;
      RaiseSystem("write");
    }
    done += put;
  }
  fileSize_ = std::max(fileSize_, bufferStart_ + bufferLength_);
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  CheckOpen();
  position_ = SeekTarget(position_, Size(), offset, origin, "file \"" + fileName_ + "\"");
  return position_;
}

int64_t TFileStream::Size() {
  CheckOpen();
  return dirty_ ? std::max(fileSize_, bufferStart_ + bufferLength_) : fileSize_;
}

void TFileStream::Close() {
  if (fd_ < 0) return;
  try {
    Flush();
  } catch (...) {
    if (ownsFd_) ::close(fd_);
    fd_ = -1;
    throw;
  }
  if (!ownsFd_) {
    fd_ = -1;
    return;
  }
  const int result = ::close(fd_);
  fd_ = -1;
  // Some file systems report delayed write errors only here.
  if (result != 0 && writable_ && errno != EINTR) RaiseSystem("close");
}

// ---- TMemoryStream ------------------------------------------------------------------

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
  const int64_t size = Size();
  if (count <= 0 || position_ >= size) return 0;
  const int64_t n = std::min(count, size - position_);
  std::memcpy(buffer, data_.data() + position_, size_t(n));
  position_ += n;
  return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  if (count > int64_t(data_.max_size()) - position_)
    throw EImagingError("Memory stream cannot grow by " + std::to_string(count) + " bytes.");
  const int64_t end = position_ + count;
  if (end > Size()) data_.resize(size_t(end));  // a gap after a seek past the end is zeroed
  std::memcpy(data_.data() + position_, buffer, size_t(count));
  position_ = end;
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  position_ = SeekTarget(position_, Size(), offset, origin, "memory stream");
  return position_;
}

// ---- TMemoryBlockStream -------------------------------------------------------------

TMemoryBlockStream::TMemoryBlockStream(const void* data, int64_t size)
    : data_(static_cast<const uint8_t*>(data)), size_(std::max<int64_t>(size, 0)) {
  if (!data_ && size_ > 0) throw EImagingError("Memory block without data.");
}

TMemoryBlockStream::TMemoryBlockStream(TWritable, void* block, int64_t capacity)
    : data_(static_cast<const uint8_t*>(block)),
      writable_(static_cast<uint8_t*>(block)),
      capacity_(std::max<int64_t>(capacity, 0)) {
  if (!block && capacity_ > 0) throw EImagingError("Memory block without data.");
}

int64_t TMemoryBlockStream::Read(void* buffer, int64_t count) {
  if (count <= 0 || position_ >= size_) return 0;
  const int64_t n = std::min(count, size_ - position_);
  std::memcpy(buffer, data_ + position_, size_t(n));
  position_ += n;
  return n;
}

int64_t TMemoryBlockStream::Write(const void* buffer, int64_t count) {
  if (!writable_) throw EImagingError("Cannot write to a read-only memory block.");
  if (count <= 0 || position_ >= capacity_) return 0;
  const int64_t n = std::min(count, capacity_ - position_);
  if (position_ > size_)
    std::memset(writable_ + size_, 0, size_t(position_ - size_));  // no stale bytes in a gap
  std::memcpy(writable_ + position_, buffer, size_t(n));
  position_ += n;
  size_ = std::max(size_, position_);
  return n;
}

int64_t TMemoryBlockStream::Seek(int64_t offset, TSeekOrigin origin) {
  position_ = SeekTarget(position_, size_, offset, origin, "memory block");
  return position_;
}

// ---- TIOHandle and the tables -------------------------------------------------------

TIOHandle::TIOHandle(std::unique_ptr<TStream> owned)
    : owned_(std::move(owned)), stream_(owned_.get()) {}

TIOHandle::TIOHandle(TStream& borrowed) : stream_(&borrowed) {}

TStream& TIOHandle::Stream() {
  if (!stream_) throw EImagingError("Input/output handle is closed.");
  return *stream_;
}

void TIOHandle::Close() {
  if (!stream_) return;
  TStream* stream = stream_;
  stream_ = nullptr;
  if (owned_) {
    std::unique_ptr<TStream> owned = std::move(owned_);
    owned->Close();
  } else {
    stream->Flush();
  }
}

TIOHandle TFileIO::OpenRead(const std::string& fileName) {
  return TIOHandle(std::make_unique<TFileStream>(fileName, TFileMode::Read));
}

TIOHandle TFileIO::OpenWrite(const std::string& fileName) {
  return TIOHandle(std::make_unique<TFileStream>(fileName, TFileMode::Create));
}

TIOHandle TStreamIO::OpenRead(TStream& stream) {
  return TIOHandle(stream);
}

TIOHandle TStreamIO::OpenWrite(TStream& stream) {
  return TIOHandle(stream);
}

TIOHandle TMemoryIO::OpenRead(const void* data, int64_t size) {
  return TIOHandle(std::make_unique<TMemoryBlockStream>(data, size));
}

TIOHandle TMemoryIO::OpenWrite(void* block, int64_t capacity) {
  return TIOHandle(
      std::make_unique<TMemoryBlockStream>(TMemoryBlockStream::TWritable{}, block, capacity));
}

}  // namespace pixolan::imaging
