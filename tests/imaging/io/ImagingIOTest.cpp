#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <vector>

#include "imaging/io/ImagingIO.h"
#include "platform/UniqueFd.h"
#include "support/Files.h"
#include "support/TempFolder.h"

namespace pixolan::imaging {
namespace {

namespace fs = std::filesystem;

using test::ReadFileBytes;
using test::TTempFolder;
using test::WriteFileBytes;

constexpr int64_t kBuf = TFileStream::kBufferSize;

// Bytes whose value depends on the offset with a period far beyond the buffer size, so
// that a block read from the wrong place cannot look right.
std::vector<uint8_t> Pattern(int64_t size, int salt = 0) {
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  for (int64_t i = 0; i < size; ++i) bytes[size_t(i)] = uint8_t(i * 131 + i / 256 + salt);
  return bytes;
}

// Writes the whole pattern in chunks of one size and reads it back in chunks of another;
// the sizes straddle the buffer in every combination that matters.
TEST(FileStream, ChunkedWriteAndReadAcrossBufferBoundary) {
  struct Case {
    int64_t writeChunk, readChunk;
  };
  const Case cases[] = {{1, 1},        {7, 3},           {kBuf - 1, 5},
                        {kBuf, kBuf},  {kBuf + 1, 100},  {5, kBuf + 3},
                        {3 * kBuf, 1}, {1000, 3 * kBuf}, {kBuf / 2 + 1, kBuf - 1}};
  TTempFolder dir;
  const std::vector<uint8_t> data = Pattern(3 * kBuf + 1234);
  for (const Case& c : cases) {
    SCOPED_TRACE("write " + std::to_string(c.writeChunk) + " read " + std::to_string(c.readChunk));
    const std::string name = dir.File("chunks.bin");
    {
      TFileStream out(name, TFileMode::Create);
      for (int64_t pos = 0; pos < int64_t(data.size()); pos += c.writeChunk) {
        const int64_t n = std::min<int64_t>(c.writeChunk, int64_t(data.size()) - pos);
        ASSERT_EQ(out.Write(data.data() + pos, n), n);
        EXPECT_EQ(out.Tell(), pos + n);
        EXPECT_EQ(out.Size(), pos + n);
      }
      out.Close();
    }
    EXPECT_EQ(ReadFileBytes(name), data);

    TFileStream in(name, TFileMode::Read);
    std::vector<uint8_t> back;
    std::vector<uint8_t> chunk(size_t(c.readChunk));
    while (!in.Eof()) {
      const int64_t got = in.Read(chunk.data(), c.readChunk);
      ASSERT_GT(got, 0);
      back.insert(back.end(), chunk.begin(), chunk.begin() + got);
    }
    EXPECT_EQ(back, data);
    EXPECT_EQ(in.Read(chunk.data(), 1), 0);
  }
}

TEST(FileStream, SeeksAndReadsAroundTheBufferBoundary) {
  TTempFolder dir;
  const std::string name = dir.File("seek.bin");
  const int64_t size = 2 * kBuf + 77;
  const std::vector<uint8_t> data = Pattern(size, 9);
  WriteFileBytes(name, data);

  struct Case {
    int64_t offset;
    TSeekOrigin origin;
    int64_t count;
    int64_t expectPosition;  // after the seek
    int64_t expectRead;
  };
  // Run in order on one stream: each seek starts where the previous read ended.
  const Case cases[] = {
      {kBuf - 4, TSeekOrigin::Begin, 8, kBuf - 4, 8},              // spans the first boundary
      {-8, TSeekOrigin::Current, 4, kBuf - 4, 4},                  // back into the old buffer
      {0, TSeekOrigin::Current, 1, kBuf, 1},                       // exactly at the boundary
      {-(kBuf + 1), TSeekOrigin::Current, kBuf + 2, 0, kBuf + 2},  // large read from 0
      {-10, TSeekOrigin::End, 100, size - 10, 10},                 // short read at the end
      {2 * kBuf - 1, TSeekOrigin::Begin, kBuf, 2 * kBuf - 1, 78},
      {5, TSeekOrigin::End, 4, size + 5, 0},                     // past the end
      {3, TSeekOrigin::Begin, 2 * kBuf + 74, 3, 2 * kBuf + 74},  // everything else
  };
  TFileStream in(name, TFileMode::Read);
  EXPECT_EQ(in.Size(), size);
  for (const Case& c : cases) {
    SCOPED_TRACE("seek " + std::to_string(c.offset));
    ASSERT_EQ(in.Seek(c.offset, c.origin), c.expectPosition);
    std::vector<uint8_t> got(size_t(c.count));
    ASSERT_EQ(in.Read(got.data(), c.count), c.expectRead);
    got.resize(size_t(c.expectRead));
    const int64_t from = std::min(c.expectPosition, size);
    EXPECT_TRUE(std::equal(got.begin(), got.end(), data.begin() + from));
    EXPECT_EQ(in.Tell(), c.expectPosition + c.expectRead);
    EXPECT_EQ(in.Eof(), c.expectPosition + c.expectRead >= size);
  }
}

// Writers patch headers after the fact (sizes, offsets); the patches may straddle the
// buffer and must not be lost or reordered with buffered data.
TEST(FileStream, PatchesBehindTheBufferAndReadsBackUnflushedData) {
  TTempFolder dir;
  const std::string name = dir.File("patch.bin");
  std::vector<uint8_t> expected = Pattern(kBuf + 500);
  TFileStream out(name, TFileMode::Create);
  out.WriteExact(expected.data(), int64_t(expected.size()));

  const uint8_t patch[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  ASSERT_EQ(out.Seek(kBuf - 4, TSeekOrigin::Begin), kBuf - 4);
  out.WriteExact(patch, 8);
  std::copy(patch, patch + 8, expected.begin() + (kBuf - 4));

  // Read back what is still only in the buffer.
  uint8_t back[8] = {};
  out.Seek(kBuf - 4, TSeekOrigin::Begin);
  ASSERT_EQ(out.Read(back, 8), 8);
  EXPECT_TRUE(std::equal(back, back + 8, patch));

  // Seek past the end and write: the gap reads as zeros.
  out.Seek(10, TSeekOrigin::End);
  out.WriteExact(patch, 3);
  expected.resize(expected.size() + 10, 0);
  expected.insert(expected.end(), patch, patch + 3);
  EXPECT_EQ(out.Size(), int64_t(expected.size()));
  EXPECT_TRUE(out.Eof());

  out.Seek(0, TSeekOrigin::Begin);
  out.WriteExact(patch, 2);
  std::copy(patch, patch + 2, expected.begin());
  out.Close();
  EXPECT_EQ(ReadFileBytes(name), expected);
}

TEST(FileStream, CreateTruncatesAndReadRefusesToWrite) {
  TTempFolder dir;
  const std::string name = dir.File("old.bin");
  WriteFileBytes(name, Pattern(5000));
  {
    TFileStream out(name, TFileMode::Create);
    EXPECT_EQ(out.Size(), 0);
    out.WriteExact("abc", 3);
    out.Close();
  }
  EXPECT_EQ(ReadFileBytes(name), (std::vector<uint8_t>{'a', 'b', 'c'}));

  TFileStream in(name, TFileMode::Read);
  EXPECT_THROW(in.Write("x", 1), EImagingError);
  EXPECT_THROW(in.Seek(-1, TSeekOrigin::Begin), EImagingError);
  EXPECT_THROW(in.Seek(-4, TSeekOrigin::End), EImagingError);
  EXPECT_EQ(in.Tell(), 0);
  in.Close();
  char c;
  EXPECT_THROW(in.Read(&c, 1), EImagingError);
}

// The temporary file of an atomic save stays its writer's: the stream buffers into it
// and lets go of it without closing it.
TEST(FileStream, BorrowedDescriptorIsWrittenButNeverClosed) {
  TTempFolder dir;
  const std::string name = dir.File("borrowed.bin");
  WriteFileBytes(name, Pattern(10, 1));
  const platform::TUniqueFd fd(::open(name.c_str(), O_RDWR | O_CLOEXEC));
  ASSERT_TRUE(fd);
  std::vector<uint8_t> expected = Pattern(2 * kBuf + 3, 2);
  {
    TFileStream stream(TFileStream::TBorrowedDescriptor{fd.Get()}, name);
    EXPECT_EQ(stream.Size(), 10);
    stream.WriteExact(expected.data(), 5);
    EXPECT_EQ(ReadFileBytes(name), Pattern(10, 1));  // still in the buffer
    stream.WriteExact(expected.data() + 5, int64_t(expected.size()) - 5);
    stream.Close();
    EXPECT_THROW(stream.Write("x", 1), EImagingError);
  }
  EXPECT_NE(::fcntl(fd.Get(), F_GETFD), -1);
  EXPECT_EQ(ReadFileBytes(name), expected);
  {
    // Without Close the destructor flushes, and still leaves the descriptor open.
    TFileStream stream(TFileStream::TBorrowedDescriptor{fd.Get()}, name);
    EXPECT_EQ(stream.Size(), int64_t(expected.size()));
    stream.WriteExact("ab", 2);
  }
  EXPECT_NE(::fcntl(fd.Get(), F_GETFD), -1);
  expected[0] = 'a';
  expected[1] = 'b';
  EXPECT_EQ(ReadFileBytes(name), expected);

  const platform::TUniqueFd readOnly(::open(name.c_str(), O_RDONLY | O_CLOEXEC));
  TFileStream reader(TFileStream::TBorrowedDescriptor{readOnly.Get()}, name);
  EXPECT_THROW(reader.Write("x", 1), EImagingError);
  const platform::TUniqueFd folder(
      ::open(dir.File("").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  EXPECT_THROW(TFileStream(TFileStream::TBorrowedDescriptor{folder.Get()}, "folder"),
               EImagingError);
}

TEST(FileStream, OpenFailuresNameTheFile) {
  TTempFolder dir;
  const std::string missing = dir.File("missing.bin");
  const std::string existing = dir.File("exists.bin");
  WriteFileBytes(existing, {1});
  struct Case {
    std::string name;
    TFileMode mode;
  };
  const Case cases[] = {
      {missing, TFileMode::Read},
      {dir.File(""), TFileMode::Read},  // a folder
      {dir.File("no/such/folder.bin"), TFileMode::Create},
      {existing, TFileMode::CreateNew},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      TFileStream stream(c.name, c.mode);
      ADD_FAILURE() << "opened";
    } catch (const EImagingError& e) {
      EXPECT_NE(std::string(e.what()).find(c.name), std::string::npos) << e.what();
    }
  }
  EXPECT_EQ(ReadFileBytes(existing), std::vector<uint8_t>{1});
}

// A named pipe given as a source must be refused at once: waiting for a writer would hang
// a whole batch run.
TEST(FileStream, NamedPipeIsRefusedWithoutWaitingForAWriter) {
  TTempFolder dir;
  const std::string pipe = dir.File("source.gif");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  std::future<std::string> opened = std::async(std::launch::async, [&] {
    try {
      TFileStream stream(pipe, TFileMode::Read);
      return std::string("opened");
    } catch (const EImagingError& e) {
      return std::string(e.what());
    }
  });
  if (opened.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
    // Release the blocked open so the test ends and reports instead of hanging.
    const platform::TUniqueFd writer(::open(pipe.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
    ADD_FAILURE() << "opening a named pipe waited for a writer";
  }
  EXPECT_EQ(opened.get(), "Cannot open \"" + pipe + "\": not a regular file.");
}

TEST(MemoryStream, GrowsZeroFillsGapsAndReadsBack) {
  TMemoryStream s;
  s.WriteExact("abcd", 4);
  EXPECT_EQ(s.Seek(3, TSeekOrigin::End), 7);
  s.WriteExact("xy", 2);
  EXPECT_EQ(s.Data(), (std::vector<uint8_t>{'a', 'b', 'c', 'd', 0, 0, 0, 'x', 'y'}));
  s.Seek(2, TSeekOrigin::Begin);
  char buf[16] = {};
  EXPECT_EQ(s.Read(buf, 16), 7);
  EXPECT_EQ(std::string(buf, 2), "cd");
  EXPECT_TRUE(s.Eof());
  EXPECT_THROW(s.Seek(-10, TSeekOrigin::Current), EImagingError);
}

TEST(MemoryBlockStream, ReadOnlyViewAndFixedCapacityBlock) {
  const uint8_t bytes[5] = {1, 2, 3, 4, 5};
  TMemoryBlockStream view(static_cast<const void*>(bytes), 5);
  uint8_t buf[8] = {};
  view.Seek(3, TSeekOrigin::Begin);
  EXPECT_EQ(view.Read(buf, 8), 2);
  EXPECT_EQ(buf[0], 4);
  EXPECT_THROW(view.Write(buf, 1), EImagingError);

  // Mutable bytes without the tag are read, not taken as an empty block to write into.
  std::vector<uint8_t> mutableBytes = {7, 8};
  TMemoryBlockStream reader(mutableBytes.data(), 2);
  EXPECT_EQ(reader.Size(), 2);
  EXPECT_EQ(reader.Read(buf, 8), 2);

  uint8_t block[6];
  std::fill(block, block + 6, 0xEE);
  TMemoryBlockStream writable(TMemoryBlockStream::TWritable{}, block, 6);
  EXPECT_EQ(writable.Size(), 0);
  writable.Seek(2, TSeekOrigin::Begin);
  EXPECT_EQ(writable.Write(bytes, 5), 4);  // cut at the capacity
  EXPECT_EQ(writable.Size(), 6);
  EXPECT_EQ(writable.Write(bytes, 1), 0);
  EXPECT_EQ(std::vector<uint8_t>(block, block + 6), (std::vector<uint8_t>{0, 0, 1, 2, 3, 4}));
}

TEST(IOHandle, StreamTableWorksFromTheCurrentPositionAndBorrows) {
  TMemoryStream stream(Pattern(100));
  stream.Seek(40, TSeekOrigin::Begin);
  {
    TIOHandle handle = TStreamIO::OpenRead(stream);
    EXPECT_EQ(handle.Tell(), 40);
    uint8_t b = 0;
    ASSERT_EQ(handle.Read(&b, 1), 1);
    EXPECT_EQ(b, Pattern(100)[40]);
    TIOHandle moved = std::move(handle);
    EXPECT_THROW(handle.Tell(), EImagingError);  // a moved-from handle is closed
    moved.Close();
    EXPECT_THROW(moved.Tell(), EImagingError);
  }
  // The caller's stream outlives the handle and keeps the position the handle left.
  EXPECT_EQ(stream.Tell(), 41);
  EXPECT_EQ(stream.Size(), 100);
}

TEST(IOHandle, FileTableWritesOnCloseAndReadsBack) {
  TTempFolder dir;
  const std::string name = dir.File("handle.bin");
  const std::vector<uint8_t> data = Pattern(kBuf + 10);
  TIOHandle out = TFileIO::OpenWrite(name);
  ASSERT_EQ(out.Write(data.data(), 100), 100);
  ASSERT_EQ(out.Write(data.data() + 100, int64_t(data.size()) - 100), int64_t(data.size()) - 100);
  out.Close();
  EXPECT_EQ(ReadFileBytes(name), data);

  TIOHandle in = TFileIO::OpenRead(name);
  EXPECT_EQ(in.Size(), int64_t(data.size()));
  in.Seek(kBuf, TSeekOrigin::Begin);
  uint8_t tail[10];
  EXPECT_EQ(in.Read(tail, 20), 10);
  EXPECT_TRUE(in.Eof());
  EXPECT_TRUE(std::equal(tail, tail + 10, data.begin() + kBuf));

  const uint8_t bytes[3] = {7, 8, 9};
  TIOHandle memory = TMemoryIO::OpenRead(bytes, 3);
  memory.Seek(1, TSeekOrigin::Begin);
  uint8_t b = 0;
  EXPECT_EQ(memory.Read(&b, 1), 1);
  EXPECT_EQ(b, 8);
}

TEST(Stream, ExactHelpersRaiseOnShortTransfers) {
  TMemoryStream s(std::vector<uint8_t>{1, 2, 3});
  uint8_t buf[4];
  try {
    s.ReadExact(buf, 4, "the header");
    ADD_FAILURE();
  } catch (const EImagingError& e) {
    EXPECT_STREQ(e.what(), "Unexpected end of data while reading the header (3 of 4 bytes).");
  }
  uint8_t block[2];
  TMemoryBlockStream small(TMemoryBlockStream::TWritable{}, block, 2);
  EXPECT_THROW(small.WriteExact(buf, 3), EImagingError);
}

}  // namespace
}  // namespace pixolan::imaging
