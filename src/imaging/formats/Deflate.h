// Standard zlib streams for the network-graphics handlers: inflating with zlib, chunk by
// chunk, and compressing whole buffers with libdeflate or zlib by level.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace pixolan::imaging {

// Inflates one zlib stream whose inflated size is known in advance (the rows an image
// header promises) into a caller's buffer. The compressed data may arrive in pieces, as
// it is split over chunks. Owns its z_stream: every exit path frees it.
class TInflater {
 public:
  // what names the data in messages, e.g. "IDAT".
  explicit TInflater(const char* what);
  ~TInflater();
  TInflater(const TInflater&) = delete;
  TInflater& operator=(const TInflater&) = delete;

  // Inflates input into the output not yet filled. Raises EImagingError for corrupt data
  // (bad check value included) and for data that goes on beyond the output.
  void Feed(std::span<const uint8_t> input, std::span<uint8_t> output);
  // Raises unless the output is full and the stream ended there with a valid check value.
  void Finish(std::span<uint8_t> output);

  uint64_t Produced() const;

 private:
  struct TZStream;
  std::unique_ptr<TZStream> stream_;
  const char* what_;
  bool ended_ = false;
};

// Inflates a whole zlib stream into exactly output.size() bytes; raises as TInflater does.
// Bytes after the end of the stream are ignored.
void InflateExact(std::span<const uint8_t> input, std::span<uint8_t> output, const char* what);

// A standard zlib stream of data at level 0..9 (0 stores). Levels up to 5 (the program's
// default) go through libdeflate, two to three times faster than zlib on whole buffers and
// on the benchmark images never more than 2% larger (level 4 uses libdeflate's 5, as its 4
// fell behind zlib's on drawings). From level 6 zlib itself compresses: there libdeflate's
// output grew up to 5% beyond zlib's on drawings, and only its slow level 12 caught up.
std::vector<uint8_t> DeflateZlib(std::span<const uint8_t> data, int level);

}  // namespace pixolan::imaging
