#include "imaging/formats/Deflate.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <string>

#include "imaging/image/Errors.h"

namespace pixolan::imaging {

struct TInflater::TZStream {
  z_stream Z{};
};

TInflater::TInflater(const char* what) : stream_(std::make_unique<TZStream>()), what_(what) {
  if (inflateInit(&stream_->Z) != Z_OK)
    throw EImagingError(FormatText("Cannot start inflating the %s data.", what_));
}

TInflater::~TInflater() {
  inflateEnd(&stream_->Z);
}

uint64_t TInflater::Produced() const {
  return stream_->Z.total_out;
}

void TInflater::Feed(std::span<const uint8_t> input, std::span<uint8_t> output) {
  z_stream& z = stream_->Z;
  const uint8_t* next = input.data();
  size_t left = input.size();
  // Bytes after the end of the stream carry nothing and are ignored, as other readers do.
  while (left > 0 && !ended_) {
    const size_t room = output.size() - size_t(z.total_out);
    // One spare byte of output tells data beyond the declared size from a stream that
    // merely has not reached its check value yet.
    uint8_t spare = 0;
    z.next_in = const_cast<Bytef*>(next);
    z.avail_in = uInt(std::min<size_t>(left, UINT_MAX));  // zlib counts in 32 bits
    z.next_out = room ? output.data() + z.total_out : &spare;
    z.avail_out = room ? uInt(std::min<size_t>(room, UINT_MAX)) : 1;
    const uInt inBefore = z.avail_in;
    const uInt outBefore = z.avail_out;
    const int status = inflate(&z, Z_NO_FLUSH);
    if (!room && z.avail_out == 0)
      throw EImagingError(
          FormatText("The %s data inflate to more than the %zu bytes the header declares.", what_,
                     output.size()));
    const size_t used = inBefore - z.avail_in;
    next += used;
    left -= used;
    if (status == Z_STREAM_END) {
      ended_ = true;
    } else if (status != Z_OK && status != Z_BUF_ERROR) {
      throw EImagingError(
          FormatText("The %s data are corrupt (%s).", what_, z.msg ? z.msg : "zlib error"));
    } else if (used == 0 && z.avail_out == outBefore) {
      throw EImagingError(FormatText("The %s data are corrupt.", what_));
    }
  }
}

void TInflater::Finish(std::span<uint8_t> output) {
  if (stream_->Z.total_out < output.size())
    throw EImagingError(FormatText("The %s data end after %llu of %zu bytes.", what_,
                                   static_cast<unsigned long long>(stream_->Z.total_out),
                                   output.size()));
  if (!ended_)
    throw EImagingError(FormatText("The %s data lack the end of their zlib stream.", what_));
}

namespace {

struct TDecompressorDeleter {
  void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

}  // namespace

void InflateExact(std::span<const uint8_t> input, std::span<uint8_t> output, const char* what) {
  // A whole stream into a buffer of known size is what libdeflate does fastest (it decodes
  // the images of the benchmark about a third faster than zlib). It stops at the end of the
  // buffer, so a stream that inflates further cannot make it work without bound. Anything
  // it does not accept goes through zlib, whose messages say what exactly is wrong.
  const std::unique_ptr<libdeflate_decompressor, TDecompressorDeleter> decompressor(
      libdeflate_alloc_decompressor());
  if (decompressor) {
    size_t consumed = 0, produced = 0;
    const libdeflate_result result =
        libdeflate_zlib_decompress_ex(decompressor.get(), input.data(), input.size(), output.data(),
                                      output.size(), &consumed, &produced);
    if (result == LIBDEFLATE_SUCCESS && produced == output.size()) return;
  }
  TInflater inflater(what);
  inflater.Feed(input, output);
  inflater.Finish(output);
}

namespace {

struct TCompressorDeleter {
  void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

constexpr int kHighestLibdeflateLevel = 5;

std::vector<uint8_t> DeflateWithZlib(std::span<const uint8_t> data, int level) {
  uLongf size = compressBound(uLong(data.size()));
  std::vector<uint8_t> out(size);
  if (compress2(out.data(), &size, data.data(), uLong(data.size()), level) != Z_OK)
    throw EImagingError(FormatText("Cannot compress the image data at level %d.", level));
  out.resize(size);
  return out;
}

}  // namespace

std::vector<uint8_t> DeflateZlib(std::span<const uint8_t> data, int level) {
  if (level > kHighestLibdeflateLevel) return DeflateWithZlib(data, level);
  const std::unique_ptr<libdeflate_compressor, TCompressorDeleter> compressor(
      libdeflate_alloc_compressor(level == 4 ? 5 : level));
  if (!compressor) throw EImagingError(FormatText("Cannot compress at level %d.", level));
  std::vector<uint8_t> out(libdeflate_zlib_compress_bound(compressor.get(), data.size()));
  const size_t n =
      libdeflate_zlib_compress(compressor.get(), data.data(), data.size(), out.data(), out.size());
  if (n == 0) throw EImagingError("Cannot compress the image data.");
  out.resize(n);
  return out;
}

}  // namespace pixolan::imaging
