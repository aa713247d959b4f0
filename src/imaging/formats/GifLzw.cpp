#include "imaging/formats/GifLzw.h"

#include <algorithm>
#include <bit>
#include <memory>

#include "imaging/image/ImagingTypes.h"

namespace pixolan::imaging {

namespace {

constexpr int kMaxCodeWidth = 12;

[[noreturn]] void RaiseLzw() {
  throw EImagingError(kGifLzwErrorMessage);
}

}  // namespace

// ---- Decoder ------------------------------------------------------------------------

TGifLzwDecoder::TGifLzwDecoder(std::span<const uint8_t> data, int minCodeSize)
    : data_(data), minCodeSize_(minCodeSize) {
  // A minimum code size of 1 would make the first table entry a power of two, which the
  // code-width rule below does not meet; no encoder writes it.
  if (minCodeSize < kGifLzwMinCodeSizeLow || minCodeSize > kGifLzwMinCodeSizeHigh) RaiseLzw();
  clearCode_ = 1 << minCodeSize;
  endCode_ = clearCode_ + 1;
  for (int c = 0; c < std::min(clearCode_, 256); ++c) {
    suffix_[c] = uint8_t(c);
    first_[c] = uint8_t(c);
    prefix_[c] = 0;
  }
  ResetTable();
}

void TGifLzwDecoder::ResetTable() {
  codeWidth_ = minCodeSize_ + 1;
  nextCode_ = endCode_ + 1;
  previousCode_ = -1;
}

int TGifLzwDecoder::NextCode() {
  while (bitCount_ < codeWidth_) {
    if (bytePos_ >= data_.size()) return -1;
    bitBuffer_ |= uint32_t(data_[bytePos_++]) << bitCount_;
    bitCount_ += 8;
  }
  const int code = int(bitBuffer_ & ((1u << codeWidth_) - 1));
  bitBuffer_ >>= codeWidth_;
  bitCount_ -= codeWidth_;
  return code;
}

uint8_t TGifLzwDecoder::PushString(int code) {
  const uint8_t firstPixel = first_[code];
  // Table entries chain back to a literal; each link is one pixel, last pixel first.
  while (code > endCode_) {
    pending_[pendingLength_++] = suffix_[code];
    code = prefix_[code];
  }
  pending_[pendingLength_++] = uint8_t(code);
  return firstPixel;
}

size_t TGifLzwDecoder::Read(uint8_t* out, size_t count) {
  size_t produced = 0;
  while (produced < count) {
    if (pendingLength_ > 0) {
      const size_t n = std::min(size_t(pendingLength_), count - produced);
      for (size_t i = 0; i < n; ++i) out[produced++] = pending_[--pendingLength_];
      continue;
    }
    if (finished_) break;
    const int code = NextCode();
    if (code < 0 || code == endCode_) {
      finished_ = true;
      break;
    }
    if (code == clearCode_) {
      ResetTable();
      continue;
    }
    // Literals beyond a byte exist only with minimum code sizes above 8; no color table
    // reaches them.
    if (code < clearCode_ && code > 255) RaiseLzw();
    if (previousCode_ < 0) {
      // After a clear code only a literal can follow: the table holds nothing else yet.
      if (code >= clearCode_) RaiseLzw();
      pending_[pendingLength_++] = uint8_t(code);
      previousCode_ = code;
      continue;
    }
    uint8_t firstPixel;
    if (code < nextCode_) {
      firstPixel = PushString(code);
    } else if (code == nextCode_ && nextCode_ < kGifLzwMaxCodes) {
      // The code being defined right now: the previous string and its own first pixel.
      firstPixel = first_[previousCode_];
      pending_[pendingLength_++] = firstPixel;
      PushString(previousCode_);
    } else {
      RaiseLzw();
    }
    // A full table stays as it is until the next clear code.
    if (nextCode_ < kGifLzwMaxCodes) {
      prefix_[nextCode_] = uint16_t(previousCode_);
      suffix_[nextCode_] = firstPixel;
      first_[nextCode_] = first_[previousCode_];
      ++nextCode_;
      if (nextCode_ == (1 << codeWidth_) && codeWidth_ < kMaxCodeWidth) ++codeWidth_;
    }
    previousCode_ = code;
  }
  return produced;
}

std::vector<uint8_t> GifLzwDecode(std::span<const uint8_t> data, int minCodeSize,
                                  size_t maxPixels) {
  auto decoder = std::make_unique<TGifLzwDecoder>(data, minCodeSize);
  std::vector<uint8_t> pixels;
  uint8_t chunk[4096];
  while (pixels.size() < maxPixels) {
    const size_t n = decoder->Read(chunk, std::min(sizeof(chunk), maxPixels - pixels.size()));
    if (n == 0) break;
    pixels.insert(pixels.end(), chunk, chunk + n);
  }
  return pixels;
}

// ---- Encoder ------------------------------------------------------------------------

TGifLzwEncoder::TGifLzwEncoder(int minCodeSize, std::vector<uint8_t>& output)
    : output_(output), minCodeSize_(minCodeSize) {
  if (minCodeSize < 2 || minCodeSize > 8)
    throw EImagingError("GIF LZW minimum code size must be 2..8.");
  clearCode_ = 1 << minCodeSize;
  endCode_ = clearCode_ + 1;
  hashKeys_.assign(kHashSize, 0);
  hashCodes_.assign(kHashSize, 0);
  ResetTable();
  Emit(clearCode_);
}

void TGifLzwEncoder::ResetTable() {
  freeCode_ = endCode_ + 1;
  std::fill(hashKeys_.begin(), hashKeys_.end(), 0u);
}

void TGifLzwEncoder::Emit(int code) {
  // The decoder adds its table entry one code later than the encoder and widens its codes
  // when that entry reaches a power of two, so the width follows the decoder's count.
  const int width =
      std::min(kMaxCodeWidth, int(std::bit_width(unsigned(endCode_ + codesSinceClear_))));
  bitBuffer_ |= uint32_t(code) << bitCount_;
  bitCount_ += width;
  while (bitCount_ >= 8) {
    output_.push_back(uint8_t(bitBuffer_));
    bitBuffer_ >>= 8;
    bitCount_ -= 8;
  }
  codesSinceClear_ = code == clearCode_ ? 0 : codesSinceClear_ + 1;
}

int TGifLzwEncoder::Find(int prefix, uint8_t pixel, size_t& slot) const {
  // Keys are offset by one so that 0 marks an empty slot.
  const uint32_t key = (uint32_t(prefix) << 8 | pixel) + 1;
  slot = size_t((key * 2654435761u) % kHashSize);
  while (hashKeys_[slot] != 0) {
    if (hashKeys_[slot] == key) return hashCodes_[slot];
    if (++slot == kHashSize) slot = 0;
  }
  return -1;
}

void TGifLzwEncoder::Add(std::span<const uint8_t> pixels) {
  if (finished_) throw EImagingError("GIF LZW encoder used after Finish.");
  for (const uint8_t pixel : pixels) {
    if (pixel >= clearCode_)
      throw EImagingError("Pixel value " + std::to_string(pixel) +
                          " does not fit the GIF LZW minimum code size " +
                          std::to_string(minCodeSize_) + ".");
    if (current_ < 0) {
      current_ = pixel;
      continue;
    }
    size_t slot = 0;
    const int code = Find(current_, pixel, slot);
    if (code >= 0) {
      current_ = code;
      continue;
    }
    Emit(current_);
    hashKeys_[slot] = (uint32_t(current_) << 8 | pixel) + 1;
    hashCodes_[slot] = uint16_t(freeCode_);
    // Starting over when the table is full keeps the codes adapting to the image; the
    // decoder has not made its last entry yet, so nothing is lost.
    if (++freeCode_ == kGifLzwMaxCodes) {
      Emit(clearCode_);
      ResetTable();
    }
    current_ = pixel;
  }
}

void TGifLzwEncoder::Finish() {
  if (finished_) return;
  if (current_ >= 0) Emit(current_);
  Emit(endCode_);
  if (bitCount_ > 0) output_.push_back(uint8_t(bitBuffer_));
  bitBuffer_ = 0;
  bitCount_ = 0;
  finished_ = true;
}

std::vector<uint8_t> GifLzwEncode(std::span<const uint8_t> pixels, int minCodeSize) {
  std::vector<uint8_t> output;
  TGifLzwEncoder encoder(minCodeSize, output);
  encoder.Add(pixels);
  encoder.Finish();
  return output;
}

}  // namespace pixolan::imaging
