// The engine's input/output layer: byte streams and the handles that file format
// handlers read from and write to.
//
// A handler never opens files itself. The load and save entry points open a handle on a
// file, on the caller's stream or on a memory block and pass it down; the handle carries
// its own operations, so several loads and saves may run at the same time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "imaging/image/ImagingTypes.h"

namespace pixolan::imaging {

enum class TSeekOrigin { Begin, Current, End };

// A seekable sequence of bytes. Positions are absolute offsets from the start.
// Read and Write return the number of bytes transferred (short at the end of the data or
// of a fixed block); real I/O failures raise EImagingError. Seeking before the start
// raises; seeking past the end is allowed (reads there return 0).
class TStream {
 public:
  virtual ~TStream() = default;

  virtual int64_t Read(void* buffer, int64_t count) = 0;
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  // Returns the new position.
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
  virtual int64_t Tell() = 0;
  virtual int64_t Size() = 0;
  // Pushes buffered data to the underlying store.
  virtual void Flush() {}
  // Ends the use of an owned stream: flushes and releases its resource, raising when data
  // could not be written. Handles only call it on streams they own.
  virtual void Close() { Flush(); }

  bool Eof() { return Tell() >= Size(); }
  // Reads exactly count bytes or raises EImagingError naming what was being read.
  void ReadExact(void* buffer, int64_t count, const char* what);
  // Writes exactly count bytes or raises EImagingError.
  void WriteExact(const void* buffer, int64_t count);
};

// How TFileStream opens its file.
enum class TFileMode {
  Read,       // existing regular file, read only
  Create,     // create or truncate, read and write
  CreateNew,  // create; fails when the name exists (temporary files)
};

// Buffered stream over a POSIX file: reads and writes go through one 16384-byte buffer,
// so handlers may read and write a few bytes at a time. Written data reaches the file on
// Flush, Close, a seek away from the buffered range, or when the buffer is full.
class TFileStream final : public TStream {
 public:
  static constexpr int64_t kBufferSize = 16384;

  // Raises EImagingError with the system's reason when the file cannot be opened.
  TFileStream(const std::string& fileName, TFileMode mode);

  // An open regular file that stays the caller's, such as the temporary file of an atomic
  // write: the stream reads and writes it by offset (starting at 0, with the file's current
  // size) and never closes it. Close and the destructor only flush. fileName is used in
  // messages. Raises EImagingError when the descriptor is not an open regular file.
  struct TBorrowedDescriptor {
    int Descriptor = -1;
  };
  TFileStream(TBorrowedDescriptor file, const std::string& fileName);

  // Closes without reporting errors; call Close to learn whether buffered data was written.
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Tell() override { return position_; }
  int64_t Size() override;
  void Flush() override;
  // Flushes and closes the file (a borrowed one is only flushed and let go); raises when
  // either fails. Further use raises.
  void Close() override;

  const std::string& FileName() const { return fileName_; }

 private:
  void CheckOpen() const;
  [[noreturn]] void RaiseSystem(const char* action) const;

  std::string fileName_;
  int fd_ = -1;
  bool ownsFd_ = true;
  bool writable_ = false;
  int64_t position_ = 0;
  int64_t fileSize_ = 0;  // size of the file as written so far (buffer excluded)
  std::unique_ptr<uint8_t[]> buffer_;
  int64_t bufferStart_ = 0;  // file offset of buffer_[0]
  int64_t bufferLength_ = 0;
  bool dirty_ = false;  // buffer holds data not yet written to the file
};

// Growable stream in memory that owns its bytes. Useful for saving to memory and for tests.
class TMemoryStream final : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::vector<uint8_t> data) : data_(std::move(data)) {}

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Tell() override { return position_; }
  int64_t Size() override { return int64_t(data_.size()); }

  const std::vector<uint8_t>& Data() const { return data_; }
  // Hands the bytes over; the stream is empty afterwards.
  std::vector<uint8_t> Release() {
    position_ = 0;
    return std::exchange(data_, {});
  }

 private:
  std::vector<uint8_t> data_;
  int64_t position_ = 0;
};

// Stream over a memory block owned by the caller: read-only over const bytes, or
// writable within a fixed capacity (writes beyond it are cut short). Size is the length
// of the data: the whole block when reading, the bytes written so far when writing.
class TMemoryBlockStream final : public TStream {
 public:
  TMemoryBlockStream(const void* data, int64_t size);
  // Writing needs the tag, so that a plain pointer to mutable bytes still gives a reader.
  struct TWritable {};
  TMemoryBlockStream(TWritable, void* block, int64_t capacity);

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Tell() override { return position_; }
  int64_t Size() override { return size_; }

 private:
  const uint8_t* data_ = nullptr;
  uint8_t* writable_ = nullptr;
  int64_t capacity_ = 0;
  int64_t size_ = 0;
  int64_t position_ = 0;
};

// What a handler receives: an open file, the caller's stream or a memory block. The
// handler uses only these operations and never learns which one it is. A handle owns
// what the entry point opened for it and only borrows the caller's stream.
class TIOHandle {
 public:
  // A moved-from handle behaves as a closed one.
  TIOHandle(TIOHandle&& other) noexcept
      : owned_(std::move(other.owned_)),
        stream_(std::exchange(other.stream_, nullptr)),
        wantedFormat_(other.wantedFormat_) {}
  TIOHandle& operator=(TIOHandle&& other) noexcept {
    owned_ = std::move(other.owned_);
    stream_ = std::exchange(other.stream_, nullptr);
    wantedFormat_ = other.wantedFormat_;
    return *this;
  }
  ~TIOHandle() = default;

  bool Eof() { return Stream().Eof(); }
  int64_t Seek(int64_t offset, TSeekOrigin origin) { return Stream().Seek(offset, origin); }
  int64_t Tell() { return Stream().Tell(); }
  int64_t Read(void* buffer, int64_t count) { return Stream().Read(buffer, count); }
  int64_t Write(const void* buffer, int64_t count) { return Stream().Write(buffer, count); }
  int64_t Size() { return Stream().Size(); }
  // Pushes written data through and releases what the handle owns (a borrowed stream is
  // only flushed); raises when buffered data cannot be written. Using the handle
  // afterwards raises.
  void Close();

  // The underlying stream, for codec libraries that need callbacks (JPEG, TIFF) and for
  // the helpers of TStream. Raises on a closed handle.
  TStream& Stream();

  // The pixel format the caller will convert loaded images to. A handler may decode
  // straight into it when that gives the same pixels as its own format plus the
  // conversion; Unknown (the default) asks for the handler's own format.
  TImageFormatId WantedFormat() const { return wantedFormat_; }
  void SetWantedFormat(TImageFormatId format) { wantedFormat_ = format; }

 private:
  friend struct TFileIO;
  friend struct TStreamIO;
  friend struct TMemoryIO;
  explicit TIOHandle(std::unique_ptr<TStream> owned);
  explicit TIOHandle(TStream& borrowed);

  std::unique_ptr<TStream> owned_;
  TStream* stream_ = nullptr;
  TImageFormatId wantedFormat_ = TImageFormatId::Unknown;
};

// The three input/output tables. Each opens handles on one kind of source or target.

// Files, through TFileStream. Reading opens read only; writing creates or truncates.
struct TFileIO {
  static TIOHandle OpenRead(const std::string& fileName);
  static TIOHandle OpenWrite(const std::string& fileName);
};

// The caller's stream, from its current position; the handle does not own it.
struct TStreamIO {
  static TIOHandle OpenRead(TStream& stream);
  static TIOHandle OpenWrite(TStream& stream);
};

// Memory blocks owned by the caller. A write handle's Size is the number of bytes written.
struct TMemoryIO {
  static TIOHandle OpenRead(const void* data, int64_t size);
  static TIOHandle OpenWrite(void* block, int64_t capacity);
};

}  // namespace pixolan::imaging
