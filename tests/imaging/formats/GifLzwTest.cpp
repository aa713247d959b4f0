#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "imaging/formats/GifLzw.h"
#include "imaging/image/ImagingTypes.h"

namespace pixolan::imaging {
namespace {

// Packs codes least significant bit first, as GIF does, for hand-made streams.
class TBitWriter {
 public:
  void Put(int code, int width) {
    buffer_ |= uint64_t(code) << count_;
    count_ += width;
    while (count_ >= 8) {
      bytes_.push_back(uint8_t(buffer_));
      buffer_ >>= 8;
      count_ -= 8;
    }
  }
  std::vector<uint8_t> Bytes() const {
    std::vector<uint8_t> out = bytes_;
    if (count_ > 0) out.push_back(uint8_t(buffer_));
    return out;
  }

 private:
  std::vector<uint8_t> bytes_;
  uint64_t buffer_ = 0;
  int count_ = 0;
};

// Writes codes with the widths a GIF decoder expects: a table entry is made for every code
// but the first after a clear, and the width grows when the next free code reaches a power
// of two, up to 12 bits; a full table keeps 12-bit codes.
class TCodeStream {
 public:
  explicit TCodeStream(int minCodeSize) : minCodeSize_(minCodeSize) { Reset(); }
  int Clear() const { return 1 << minCodeSize_; }
  int End() const { return Clear() + 1; }
  int Width() const { return width_; }

  void Code(int code) {
    writer_.Put(code, width_);
    if (code == Clear()) {
      Reset();
      return;
    }
    if (code == End()) return;
    if (!first_ && next_ < 4096) {
      ++next_;
      if (next_ == (1 << width_) && width_ < 12) ++width_;
    }
    first_ = false;
  }
  std::vector<uint8_t> Bytes() const { return writer_.Bytes(); }

 private:
  void Reset() {
    width_ = minCodeSize_ + 1;
    next_ = End() + 1;
    first_ = true;
  }

  int minCodeSize_;
  int width_ = 0;
  int next_ = 0;
  bool first_ = true;
  TBitWriter writer_;
};

std::vector<uint8_t> Decode(const std::vector<uint8_t>& data, int minCodeSize,
                            size_t maxPixels = 1 << 24) {
  return GifLzwDecode(data, minCodeSize, maxPixels);
}

// ---- Decoder on hand-made streams ---------------------------------------------------

struct THandStream {
  std::string Name;
  int MinCodeSize;
  std::function<void(TCodeStream&)> Write;
  std::vector<uint8_t> Expected;  // ignored when Fails
  bool Fails = false;
};

TEST(GifLzwDecoder, HandMadeStreams) {
  const std::vector<THandStream> cases = {
      {"clear, literal, end", 2, [](TCodeStream& s) { s.Code(4), s.Code(1), s.Code(5); }, {1}},
      {"no clear code at the start", 2, [](TCodeStream& s) { s.Code(3), s.Code(5); }, {3}},
      // Four 4-bit codes fill two bytes exactly: no padding bits to be read as codes.
      {"no end code",
       3,
       [](TCodeStream& s) { s.Code(8), s.Code(2), s.Code(2), s.Code(3); },
       {2, 2, 3}},
      // The code being defined right now: previous string plus its own first pixel.
      {"code defined by itself",
       2,
       [](TCodeStream& s) { s.Code(4), s.Code(1), s.Code(6), s.Code(7), s.Code(5); },
       {1, 1, 1, 1, 1, 1}},
      {"clears in a row",
       3,
       [](TCodeStream& s) { s.Code(8), s.Code(8), s.Code(7), s.Code(8), s.Code(8), s.Code(0); },
       {7, 0}},
      {"largest minimum code size", 11, [](TCodeStream& s) { s.Code(2048), s.Code(200); }, {200}},
      {"code beyond the next free one",
       2,
       [](TCodeStream& s) { s.Code(4), s.Code(1), s.Code(7); },
       {},
       true},
      {"table code right after a clear", 2, [](TCodeStream& s) { s.Code(4), s.Code(6); }, {}, true},
      {"table code at the very start", 2, [](TCodeStream& s) { s.Code(7); }, {}, true},
      {"literal beyond a byte", 9, [](TCodeStream& s) { s.Code(512), s.Code(300); }, {}, true},
  };
  for (const THandStream& c : cases) {
    SCOPED_TRACE(c.Name);
    TCodeStream stream(c.MinCodeSize);
    c.Write(stream);
    if (c.Fails) {
      try {
        Decode(stream.Bytes(), c.MinCodeSize);
        ADD_FAILURE() << "no error";
      } catch (const EImagingError& e) {
        EXPECT_STREQ(e.what(), "Error when decoding GIF LZW data");
      }
    } else {
      EXPECT_EQ(Decode(stream.Bytes(), c.MinCodeSize), c.Expected);
    }
  }
}

TEST(GifLzwDecoder, RefusesMinimumCodeSizesOutside2To11) {
  const std::vector<uint8_t> data = {0x00};
  for (int size : {0, 1, 12, 255}) {
    SCOPED_TRACE(size);
    EXPECT_THROW(Decode(data, size), EImagingError);
  }
  for (int size = 2; size <= 11; ++size) EXPECT_NO_THROW(Decode(data, size));
}

// A full table is kept until the next clear code: 12-bit codes go on, referring to entries
// made before the table filled up, and a clear code brings back the short codes.
TEST(GifLzwDecoder, KeepsDecodingWithFullTable) {
  TCodeStream stream(2);
  std::vector<uint8_t> expected;
  stream.Code(stream.Clear());
  // Literals only: each makes one entry (the first excepted) until all 4096 codes exist.
  for (int i = 0; i < 4200; ++i) {
    stream.Code(i % 4);
    expected.push_back(uint8_t(i % 4));
  }
  ASSERT_EQ(stream.Width(), 12);
  // Entry e holds the literals at positions e - 6 and e - 5: entry 6 the first two (0, 1),
  // the last entry, 4095, those at 4089 and 4090.
  stream.Code(6);
  expected.insert(expected.end(), {0, 1});
  stream.Code(4095);
  expected.insert(expected.end(), {uint8_t(4089 % 4), uint8_t(4090 % 4)});
  stream.Code(stream.Clear());
  ASSERT_EQ(stream.Width(), 3);
  stream.Code(3);
  stream.Code(2);
  expected.insert(expected.end(), {3, 2});
  stream.Code(stream.End());
  EXPECT_EQ(Decode(stream.Bytes(), 2), expected);
}

TEST(GifLzwDecoder, StopsAtTheLimitAndAfterTheEnd) {
  TCodeStream stream(2);
  stream.Code(4);
  stream.Code(1);
  stream.Code(6);  // 1, 1
  stream.Code(5);
  const std::vector<uint8_t> bytes = stream.Bytes();
  EXPECT_EQ(Decode(bytes, 2, 2), (std::vector<uint8_t>{1, 1}));

  TGifLzwDecoder decoder(bytes, 2);
  uint8_t out[8] = {};
  EXPECT_EQ(decoder.Read(out, 1), 1u);
  EXPECT_FALSE(decoder.Finished());
  EXPECT_EQ(decoder.Read(out, 8), 2u);
  EXPECT_TRUE(decoder.Finished());
  EXPECT_EQ(decoder.Read(out, 8), 0u);
  EXPECT_TRUE(Decode({}, 8).empty());
}

// ---- Round trips ----------------------------------------------------------------------

struct TRoundTrip {
  std::string Name;
  int MinCodeSize;
  std::vector<uint8_t> Pixels;
};

std::vector<uint8_t> RandomPixels(size_t count, int bits, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> out(count);
  for (auto& p : out) p = uint8_t(rng() & ((1u << bits) - 1));
  return out;
}

// Runs of random length and value: long strings that fill the table with deep chains.
std::vector<uint8_t> RunPixels(size_t count, int bits, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> out;
  while (out.size() < count) {
    const size_t run = 1 + rng() % 300;
    out.insert(out.end(), std::min(run, count - out.size()), uint8_t(rng() & ((1u << bits) - 1)));
  }
  return out;
}

TEST(GifLzwCodec, RoundTrips) {
  std::vector<TRoundTrip> cases = {
      {"empty", 8, {}},
      {"one pixel", 2, {3}},
      {"one pixel, 8 bits", 8, {255}},
      {"constant 1x65535", 8, std::vector<uint8_t>(65535, 7)},
      {"constant two-color", 2, std::vector<uint8_t>(100000, 0)},
      {"ramp", 8, {}},
  };
  for (int i = 0; i < 70000; ++i) cases.back().Pixels.push_back(uint8_t(i));
  for (int bits = 2; bits <= 8; ++bits) {
    // Random pixels fill the 4096-entry table every few thousand codes: many clear codes.
    cases.push_back({"random " + std::to_string(bits) + " bits", bits,
                     RandomPixels(300000, bits, uint32_t(bits))});
    cases.push_back({"runs " + std::to_string(bits) + " bits", bits,
                     RunPixels(300000, bits, uint32_t(100 + bits))});
  }
  // Two-color data written with the smallest code size GIF allows.
  cases.push_back({"random 1 bit", 2, RandomPixels(200000, 1, 7)});
  for (const TRoundTrip& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::vector<uint8_t> encoded = GifLzwEncode(c.Pixels, c.MinCodeSize);
    EXPECT_EQ(Decode(encoded, c.MinCodeSize, c.Pixels.size() + 10), c.Pixels);

    // Feeding the encoder in pieces and draining the decoder in odd chunks changes nothing.
    std::vector<uint8_t> pieces;
    TGifLzwEncoder encoder(c.MinCodeSize, pieces);
    for (size_t at = 0; at < c.Pixels.size(); at += 777)
      encoder.Add(std::span(c.Pixels).subspan(at, std::min<size_t>(777, c.Pixels.size() - at)));
    encoder.Finish();
    EXPECT_EQ(pieces, encoded);
    TGifLzwDecoder decoder(encoded, c.MinCodeSize);
    std::vector<uint8_t> drained;
    uint8_t chunk[13];
    for (size_t n; (n = decoder.Read(chunk, 1 + drained.size() % 13)) > 0;)
      drained.insert(drained.end(), chunk, chunk + n);
    EXPECT_EQ(drained, c.Pixels);
  }
}

// Strings grow by one pixel per code, so n equal pixels need about sqrt(2n) codes; an
// encoder that did not extend its strings would need one code per pixel.
TEST(GifLzwEncoder, ConstantRunsGrowLongStrings) {
  const std::vector<uint8_t> encoded = GifLzwEncode(std::vector<uint8_t>(65535, 0), 8);
  // 361 codes of 9 or 10 bits.
  EXPECT_LT(encoded.size(), 450u);
  EXPECT_GT(encoded.size(), 380u);
}

TEST(GifLzwEncoder, RefusesValuesAndSizesItCannotCode) {
  std::vector<uint8_t> out;
  EXPECT_THROW(TGifLzwEncoder(1, out), EImagingError);
  EXPECT_THROW(TGifLzwEncoder(9, out), EImagingError);
  TGifLzwEncoder encoder(2, out);
  const std::vector<uint8_t> tooLarge = {1, 4};
  EXPECT_THROW(encoder.Add(tooLarge), EImagingError);
}

}  // namespace
}  // namespace pixolan::imaging
