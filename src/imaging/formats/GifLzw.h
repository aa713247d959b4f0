// The variable-length LZW code of GIF image data: a pull decoder and a streaming encoder.
//
// Codes are packed least significant bit first. With a minimum code size m the first
// 2^m codes are literal pixel values, 2^m is the clear code and 2^m + 1 the end code;
// codes start m + 1 bits wide and grow to at most 12 bits (4096 codes).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace pixolan::imaging {

// Largest number of codes a GIF LZW table holds.
inline constexpr int kGifLzwMaxCodes = 4096;
// Longest pixel string a single code can stand for: every table entry is one pixel longer
// than an earlier one.
inline constexpr int kGifLzwMaxStringLength = kGifLzwMaxCodes;

// Minimum code sizes the decoder accepts. GIF writers use 2..8 (2 also for two-color
// images); larger values only widen the literal range and still fit the 12-bit code limit,
// so 9..11 are decoded as well (their literals must still be byte values).
inline constexpr int kGifLzwMinCodeSizeLow = 2;
inline constexpr int kGifLzwMinCodeSizeHigh = 11;

// The message of every failure of the codec.
inline constexpr const char* kGifLzwErrorMessage = "Error when decoding GIF LZW data";

// Decodes one LZW stream (the concatenated sub-block payloads of one image) on demand.
// A missing end code is tolerated: the stream then ends with the data. When the table is
// full, decoding goes on with the full table until a clear code arrives, as encoders that
// defer the clear expect. A code that is neither in the table nor the next one to be made,
// a literal beyond a byte value or a minimum code size outside 2..11 raises EImagingError
// with "Error when decoding GIF LZW data".
class TGifLzwDecoder {
 public:
  // data must outlive the decoder.
  TGifLzwDecoder(std::span<const uint8_t> data, int minCodeSize);

  // Writes up to count pixels; fewer only when the stream has ended (end code or end of
  // data), after which every call returns 0.
  size_t Read(uint8_t* out, size_t count);
  // True once the end code or the end of the data was reached.
  bool Finished() const { return finished_ && pendingLength_ == 0; }

 private:
  // Next code from the bit stream, or -1 when fewer bits than one code are left.
  int NextCode();
  void ResetTable();
  // Pushes the string of code onto pending_ (reversed) and returns its first pixel.
  uint8_t PushString(int code);

  std::span<const uint8_t> data_;
  size_t bytePos_ = 0;
  uint32_t bitBuffer_ = 0;
  int bitCount_ = 0;

  int minCodeSize_;
  int clearCode_;
  int endCode_;
  int codeWidth_ = 0;
  int nextCode_ = 0;
  int previousCode_ = -1;
  uint8_t previousFirst_ = 0;
  bool finished_ = false;

  uint16_t prefix_[kGifLzwMaxCodes];
  uint8_t suffix_[kGifLzwMaxCodes];
  uint8_t first_[kGifLzwMaxCodes];
  // The string being handed out, last pixel at index 0.
  uint8_t pending_[kGifLzwMaxStringLength + 1];
  int pendingLength_ = 0;
};

// Decodes a whole stream into at most maxPixels pixels.
std::vector<uint8_t> GifLzwDecode(std::span<const uint8_t> data, int minCodeSize, size_t maxPixels);

// Encodes pixels (each below 2^minCodeSize, minCodeSize 2..8) as one LZW stream. The stream
// starts with a clear code, emits a clear code whenever the table becomes full, and ends with
// the end code. Output bytes are appended to the caller's buffer as they are completed, so a
// writer can pass them on in sub-blocks while encoding.
class TGifLzwEncoder {
 public:
  TGifLzwEncoder(int minCodeSize, std::vector<uint8_t>& output);

  // Raises EImagingError for a pixel value that does not fit the minimum code size.
  void Add(std::span<const uint8_t> pixels);
  // Writes the last code, the end code and the final partial byte. Call once.
  void Finish();

 private:
  void Emit(int code);
  void ResetTable();
  // Code of the string prefix + pixel, or -1; slot receives where it would be stored.
  int Find(int prefix, uint8_t pixel, size_t& slot) const;

  std::vector<uint8_t>& output_;
  int minCodeSize_;
  int clearCode_;
  int endCode_;
  int freeCode_ = 0;
  // Codes emitted since the last clear code; the decoder's table, and so the code width,
  // follows this count one code behind the encoder's own table.
  int codesSinceClear_ = 0;
  int current_ = -1;  // code of the string matched so far, -1 before the first pixel
  uint32_t bitBuffer_ = 0;
  int bitCount_ = 0;
  bool finished_ = false;

  // Open-addressed table of (prefix, pixel) -> code; a prime above the 4096 codes keeps the
  // probe chains short.
  static constexpr size_t kHashSize = 5003;
  std::vector<uint32_t> hashKeys_;
  std::vector<uint16_t> hashCodes_;
};

// Convenience form of the encoder for a complete pixel buffer.
std::vector<uint8_t> GifLzwEncode(std::span<const uint8_t> pixels, int minCodeSize);

}  // namespace pixolan::imaging
