// Tests of the 4x4 block codecs: hand-built blocks with known pixels for every decoder, the
// memory each call may touch, and round trips whose errors are bounded by what the formats can
// hold (constant, two-valued, gradient and random images).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "imaging/formats/BlockCodecs.h"

namespace pixolan::imaging::blocks {
namespace {

using Bytes = std::vector<uint8_t>;
using CodecFn = void (*)(const uint8_t*, int, int, uint8_t*);

struct Codec {
  const char* name;
  CodecFn encode;
  CodecFn decode;
  int blockBytes;
  int channels;               // bytes a pixel, in and out: 4 (B, G, R, A) or 1 (gray)
  bool redGreenOnly = false;  // ATI2N: decodes blue 0 and alpha 255
};

const Codec kDXT1{"DXT1", EncodeDXT1, DecodeDXT1, 8, 4};
const Codec kDXT3{"DXT3", EncodeDXT3, DecodeDXT3, 16, 4};
const Codec kDXT5{"DXT5", EncodeDXT5, DecodeDXT5, 16, 4};
const Codec kBTC{"BTC", EncodeBTC, DecodeBTC, 4, 1};
const Codec kATI1N{"ATI1N", EncodeATI1N, DecodeATI1N, 8, 1};
const Codec kATI2N{"ATI2N", EncodeATI2N, DecodeATI2N, 16, 4, true};
const Codec kAllCodecs[] = {kDXT1, kDXT3, kDXT5, kBTC, kATI1N, kATI2N};

size_t BlockBufferSize(const Codec& c, int w, int h) {
  return size_t(w / 4) * size_t(h / 4) * size_t(c.blockBytes);
}

Bytes Encode(const Codec& c, const Bytes& image, int w, int h) {
  Bytes blocks(BlockBufferSize(c, w, h));
  c.encode(image.data(), w, h, blocks.data());
  return blocks;
}

Bytes Decode(const Codec& c, const Bytes& blocks, int w, int h) {
  Bytes image(size_t(w) * size_t(h) * size_t(c.channels));
  c.decode(blocks.data(), w, h, image.data());
  return image;
}

Bytes RoundTrip(const Codec& c, const Bytes& image, int w, int h) {
  return Decode(c, Encode(c, image, w, h), w, h);
}

// Deterministic across standard libraries: only mt19937's raw output is used.
struct Random {
  std::mt19937 engine;
  explicit Random(uint32_t seed) : engine(seed) {}
  int Next(int n) { return int(engine() % uint32_t(n)); }
};

// ---------------------------------------------------------------------------------------------
// Decoding of hand-built blocks.

using Px = std::array<uint8_t, 4>;  // B, G, R, A

struct KnownBlock {
  std::string name;
  CodecFn decode;
  int channels;
  Bytes block;
  Bytes expected;  // 16 pixels
};

// Expected pixels: pixel i (i = y*4 + x) is palette[index[i]].
Bytes Pixels(const std::vector<Px>& palette, const std::array<int, 16>& index) {
  Bytes out;
  for (int k : index) out.insert(out.end(), palette[k].begin(), palette[k].end());
  return out;
}

Bytes GrayPixels(const std::vector<uint8_t>& palette, const std::array<int, 16>& index) {
  Bytes out;
  for (int k : index) out.push_back(palette[k]);
  return out;
}

// Index pattern of the color index bytes E4 E4 E4 E4 (each row 0, 1, 2, 3).
constexpr std::array<int, 16> kRowsE4 = {0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3};
// Of the 3-bit alpha index bytes 88 C6 FA 88 C6 FA (pixel i has index i % 8).
constexpr std::array<int, 16> kAlphaRamp = {0, 1, 2, 3, 4, 5, 6, 7, 0, 1, 2, 3, 4, 5, 6, 7};

// Endpoints used below: 0xADA9 = (21, 45, 9) expands by bit replication to R 173, G 182, B 74;
// 0x18FE = (3, 7, 30) to R 24, G 28, B 247. Interpolants truncate: (2*173 + 24)/3 = 123,
// (2*182 + 28)/3 = 130 (rounding would give 131), (2*74 + 247)/3 = 131; (173 + 2*24)/3 = 73,
// (182 + 2*28)/3 = 79, (74 + 2*247)/3 = 189; midpoints (24+173)/2 = 98, (28+182)/2 = 105,
// (247+74)/2 = 160.
const Px kEndA{74, 182, 173, 255};
const Px kEndB{247, 28, 24, 255};
const Px kTwoThirdsA{131, 130, 123, 255};
const Px kTwoThirdsB{189, 79, 73, 255};
const Px kMidpoint{160, 105, 98, 255};
const Px kTransparent{0, 0, 0, 0};

// Alpha palettes. 8-value mode, a0 200 > a1 10: ((7-k)*200 + k*10)/7 for k = 1..6.
// 6-value mode, a0 10 <= a1 203: ((5-k)*10 + k*203)/5 for k = 1..4, then 0 and 255.
const std::vector<uint8_t> kAlpha8 = {200, 10, 172, 145, 118, 91, 64, 37};
const std::vector<uint8_t> kAlpha6 = {10, 203, 48, 87, 125, 164, 0, 255};

Bytes WithAlpha(Bytes pixels, const std::vector<uint8_t>& alphaPalette,
                const std::array<int, 16>& index) {
  for (int i = 0; i < 16; ++i) pixels[4 * i + 3] = alphaPalette[index[i]];
  return pixels;
}

std::vector<KnownBlock> KnownBlocks() {
  std::vector<KnownBlock> cases;
  cases.push_back({"DXT1_FourColor",
                   DecodeDXT1,
                   4,
                   {0xA9, 0xAD, 0xFE, 0x18, 0xE4, 0xE4, 0xE4, 0xE4},
                   Pixels({kEndA, kEndB, kTwoThirdsA, kTwoThirdsB}, kRowsE4)});
  // c0 < c1: 3-color mode. Index bytes 1B (3 2 1 0), E4 (0 1 2 3), FF (3s), 00 (0s).
  cases.push_back({"DXT1_ThreeColorTransparent",
                   DecodeDXT1,
                   4,
                   {0xFE, 0x18, 0xA9, 0xAD, 0x1B, 0xE4, 0xFF, 0x00},
                   Pixels({kEndB, kEndA, kMidpoint, kTransparent},
                          {3, 2, 1, 0, 0, 1, 2, 3, 3, 3, 3, 3, 0, 0, 0, 0})});
  // Equal endpoints are 3-color mode too: index 3 is transparent, 2 and 1 are the color.
  // 0x8410 = (16, 32, 16) expands to R 132, G 130, B 132.
  const Px gray{132, 130, 132, 255};
  cases.push_back(
      {"DXT1_EqualEndpoints",
       DecodeDXT1,
       4,
       {0x10, 0x84, 0x10, 0x84, 0xFF, 0xAA, 0x00, 0x55},
       Pixels({gray, gray, gray, kTransparent}, {3, 3, 3, 3, 2, 2, 2, 2, 0, 0, 0, 0, 1, 1, 1, 1})});
  // DXT3: explicit alpha nibbles 0..15 (alpha i*17), then a color block with c0 < c1 that is
  // still read in 4-color mode: index 3 is the other two-thirds point, not transparent.
  {
    Bytes expected = Pixels({kEndB, kEndA, kTwoThirdsB, kTwoThirdsA}, kRowsE4);
    for (int i = 0; i < 16; ++i) expected[4 * i + 3] = uint8_t(i * 17);
    cases.push_back({"DXT3_ExplicitAlphaAndFourColorAlways",
                     DecodeDXT3,
                     4,
                     {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE,  //
                      0xFE, 0x18, 0xA9, 0xAD, 0xE4, 0xE4, 0xE4, 0xE4},
                     expected});
  }
  // DXT5, 8-value alpha; color c0 0x0000 < c1 0xFFFF with every index 3: (0 + 2*255)/3 = 170.
  {
    const Px gray170{170, 170, 170, 255};
    cases.push_back({"DXT5_EightValueAlpha",
                     DecodeDXT5,
                     4,
                     {200, 10, 0x88, 0xC6, 0xFA, 0x88, 0xC6, 0xFA,  //
                      0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
                     WithAlpha(Pixels({gray170}, {}), kAlpha8, kAlphaRamp)});
  }
  {
    const Px white{255, 255, 255, 255};
    cases.push_back({"DXT5_SixValueAlpha",
                     DecodeDXT5,
                     4,
                     {10, 203, 0x88, 0xC6, 0xFA, 0x88, 0xC6, 0xFA,  //
                      0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
                     WithAlpha(Pixels({white}, {}), kAlpha6, kAlphaRamp)});
  }
  // BTC: lower 20, upper 230, bit field 0xA55A (bit i set = upper).
  cases.push_back({"BTC",
                   DecodeBTC,
                   1,
                   {20, 230, 0x5A, 0xA5},
                   GrayPixels({20, 230}, {0, 1, 0, 1, 1, 0, 1, 0, 1, 0, 1, 0, 0, 1, 0, 1})});
  cases.push_back({"ATI1N_EightValue",
                   DecodeATI1N,
                   1,
                   {200, 10, 0x88, 0xC6, 0xFA, 0x88, 0xC6, 0xFA},
                   GrayPixels(kAlpha8, kAlphaRamp)});
  cases.push_back({"ATI1N_SixValue",
                   DecodeATI1N,
                   1,
                   {10, 203, 0x88, 0xC6, 0xFA, 0x88, 0xC6, 0xFA},
                   GrayPixels(kAlpha6, kAlphaRamp)});
  // ATI2N: red from the first block, green from the second; blue 0, alpha 255.
  {
    Bytes expected;
    for (int i = 0; i < 16; ++i) {
      const int k = kAlphaRamp[i];
      expected.insert(expected.end(), {0, kAlpha6[k], kAlpha8[k], 255});
    }
    cases.push_back({"ATI2N",
                     DecodeATI2N,
                     4,
                     {200, 10, 0x88, 0xC6, 0xFA, 0x88, 0xC6, 0xFA,  //
                      10, 203, 0x88, 0xC6, 0xFA, 0x88, 0xC6, 0xFA},
                     expected});
  }
  return cases;
}

class BlockCodecsDecodeTest : public testing::TestWithParam<KnownBlock> {};

TEST_P(BlockCodecsDecodeTest, DecodesToTheKnownPixels) {
  const KnownBlock& c = GetParam();
  ASSERT_EQ(c.expected.size(), size_t(16 * c.channels));
  Bytes out(16 * size_t(c.channels), 0x5A);
  c.decode(c.block.data(), 4, 4, out.data());
  for (int i = 0; i < 16; ++i) {
    for (int ch = 0; ch < c.channels; ++ch) {
      EXPECT_EQ(int(out[i * c.channels + ch]), int(c.expected[i * c.channels + ch]))
          << "pixel " << i << " channel " << ch;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Blocks, BlockCodecsDecodeTest, testing::ValuesIn(KnownBlocks()),
                         [](const auto& p) { return p.param.name; });

// ---------------------------------------------------------------------------------------------
// Per-codec properties.

class BlockCodecsTest : public testing::TestWithParam<Codec> {};

INSTANTIATE_TEST_SUITE_P(Formats, BlockCodecsTest, testing::ValuesIn(kAllCodecs),
                         [](const auto& p) { return std::string(p.param.name); });

// Neither direction reads or writes outside width*height pixels and the block buffer: both
// buffers sit between guard bytes that must stay untouched, and the inputs are followed by
// bytes that would change the output if they were read.
TEST_P(BlockCodecsTest, StaysInsideItsBuffers) {
  const Codec& c = GetParam();
  const int w = 8, h = 12;
  const size_t guard = 64;
  const size_t imageBytes = size_t(w) * h * c.channels;
  const size_t blockBytes = BlockBufferSize(c, w, h);
  Random rng(7);

  Bytes image(guard + imageBytes + guard, 0xA5);
  for (size_t i = 0; i < imageBytes; ++i) image[guard + i] = uint8_t(rng.Next(256));
  Bytes blocks(guard + blockBytes + guard, 0xC3);
  c.encode(image.data() + guard, w, h, blocks.data() + guard);
  for (size_t i = 0; i < guard; ++i) {
    ASSERT_EQ(blocks[i], 0xC3) << "wrote before the block buffer";
    ASSERT_EQ(blocks[guard + blockBytes + i], 0xC3) << "wrote past the block buffer";
  }
  // The same image with different bytes around it encodes the same.
  Bytes image2 = image;
  std::fill(image2.begin(), image2.begin() + guard, 0x11);
  std::fill(image2.end() - guard, image2.end(), 0xEE);
  Bytes blocks2(blockBytes);
  c.encode(image2.data() + guard, w, h, blocks2.data());
  EXPECT_TRUE(std::equal(blocks2.begin(), blocks2.end(), blocks.begin() + guard));

  Bytes decoded(guard + imageBytes + guard, 0x3C);
  c.decode(blocks.data() + guard, w, h, decoded.data() + guard);
  for (size_t i = 0; i < guard; ++i) {
    ASSERT_EQ(decoded[i], 0x3C) << "wrote before the image";
    ASSERT_EQ(decoded[guard + imageBytes + i], 0x3C) << "wrote past the image";
  }
  std::fill(blocks.begin(), blocks.begin() + guard, 0x00);
  std::fill(blocks.end() - guard, blocks.end(), 0xFF);
  Bytes decoded2(imageBytes);
  c.decode(blocks.data() + guard, w, h, decoded2.data());
  EXPECT_TRUE(std::equal(decoded2.begin(), decoded2.end(), decoded.begin() + guard));
}

// Blocks are stored row of blocks by row of blocks: block k of a 12x8 image (3x2 blocks) is
// the one at (k % 3, k / 3), and decodes alone, as a 4x4 image, to that part of the image.
TEST_P(BlockCodecsTest, StoresBlocksRowByRow) {
  const Codec& c = GetParam();
  const int w = 12, h = 8;
  Bytes image(size_t(w) * h * c.channels);
  // Six distinct block values that every format holds exactly: RGB corners of the cube (0 and
  // 255 are exact in 5 and 6 bits) for DXT, anything for the one- and two-channel formats.
  auto value = [&](int k, int ch) -> uint8_t {
    if (c.channels == 1) return uint8_t(10 + 40 * k);
    if (c.redGreenOnly)
      return ch == 0 ? 0 : ch == 3 ? 255 : uint8_t(ch == 1 ? 40 * k : 250 - 30 * k);
    return ch == 3 ? 255 : ((k + 1) >> ch) & 1 ? 255 : 0;
  };
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      for (int ch = 0; ch < c.channels; ++ch)
        image[(size_t(y) * w + x) * c.channels + ch] = value((y / 4) * 3 + x / 4, ch);
    }
  }
  const Bytes blocks = Encode(c, image, w, h);
  const Bytes whole = Decode(c, blocks, w, h);
  EXPECT_EQ(whole, image);
  for (int k = 0; k < 6; ++k) {
    const Bytes one(blocks.begin() + k * c.blockBytes, blocks.begin() + (k + 1) * c.blockBytes);
    const Bytes alone = Decode(c, one, 4, 4);
    for (int y = 0; y < 4; ++y) {
      for (int x = 0; x < 4 * c.channels; ++x) {
        const size_t at = (size_t((k / 3) * 4 + y) * w + (k % 3) * 4) * c.channels + x;
        ASSERT_EQ(alone[size_t(y) * 4 * c.channels + x], image[at]) << "block " << k;
      }
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Round trips.

int Expand5(int v) {
  return (v << 3) | (v >> 2);
}
int Expand6(int v) {
  return (v << 2) | (v >> 4);
}

bool Is565Exact(int r, int g, int b) {
  return Expand5(r >> 3) == r && Expand6(g >> 2) == g && Expand5(b >> 3) == b;
}

// Squared RGB error of storing the color at RGB565 precision.
int Quantisation565Error(int r, int g, int b) {
  auto best = [](int v, int bits) {
    int e = 1 << 30;
    for (int q = 0; q < (1 << bits); ++q) {
      const int d = (bits == 5 ? Expand5(q) : Expand6(q)) - v;
      e = std::min(e, d * d);
    }
    return e;
  };
  return best(r, 5) + best(g, 6) + best(b, 5);
}

struct ErrorStats {
  int maxError = 0;      // largest absolute channel difference
  double meanError = 0;  // mean absolute channel difference
};

// Compares the channels `first`..`last` of two images of `channels` bytes a pixel.
ErrorStats Compare(const Bytes& a, const Bytes& b, int channels, int first, int last) {
  ErrorStats s;
  long total = 0, count = 0;
  for (size_t i = 0; i < a.size(); i += size_t(channels)) {
    for (int ch = first; ch <= last; ++ch) {
      const int d = std::abs(int(a[i + ch]) - int(b[i + ch]));
      s.maxError = std::max(s.maxError, d);
      total += d;
      ++count;
    }
  }
  s.meanError = double(total) / double(count);
  return s;
}

// The channels that carry the image's values: color (B, G, R), gray, or red and green.
ErrorStats CompareValues(const Codec& c, const Bytes& a, const Bytes& b) {
  if (c.channels == 1) return Compare(a, b, 1, 0, 0);
  return Compare(a, b, 4, c.redGreenOnly ? 1 : 0, 2);
}

Bytes MakeImage(const Codec& c, int w, int h, const std::function<int(int, int, int)>& value) {
  Bytes image(size_t(w) * h * c.channels);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      for (int ch = 0; ch < c.channels; ++ch) {
        image[(size_t(y) * w + x) * c.channels + ch] = uint8_t(std::clamp(value(x, y, ch), 0, 255));
      }
    }
  }
  return image;
}

// An image of n 4x4 blocks side by side; value(block, pixel of the block, channel).
Bytes BlockStrip(const Codec& c, int n, const std::function<int(int, int, int)>& value) {
  return MakeImage(c, 4 * n, 4,
                   [&](int x, int y, int ch) { return value(x / 4, y * 4 + x % 4, ch); });
}

// What a format keeps of the channels besides their values: ATI2N decodes blue 0 and alpha 255,
// DXT1 alpha is 0 below 128 and 255 from there on, DXT3 alpha is the nearest multiple of 17,
// DXT5 alpha is within `dxt5AlphaError`.
void ExpectOtherChannels(const Codec& c, const Bytes& in, const Bytes& out, int dxt5AlphaError) {
  for (size_t i = 0; c.channels == 4 && i < in.size(); i += 4) {
    const std::string name = c.name;
    if (c.redGreenOnly) {
      ASSERT_EQ(out[i], 0) << "blue of ATI2N";
      ASSERT_EQ(out[i + 3], 255) << "alpha of ATI2N";
    } else if (name == "DXT1") {
      ASSERT_EQ(out[i + 3], in[i + 3] < 128 ? 0 : 255) << "alpha of DXT1";
    } else if (name == "DXT3") {
      ASSERT_EQ(out[i + 3], (in[i + 3] + 8) / 17 * 17) << "alpha of DXT3";
    } else {
      ASSERT_LE(std::abs(out[i + 3] - in[i + 3]), dxt5AlphaError) << "alpha of DXT5";
    }
  }
}

// Constant blocks come back exactly where the format holds the value: gray, red-green and
// DXT5 alpha always, DXT colors when they are RGB565 expansions. Other colors come within 1
// per channel: the single-color tables reach every 8-bit value that closely through an
// interpolated palette entry.
TEST_P(BlockCodecsTest, ConstantBlocksRoundTrip) {
  const Codec& c = GetParam();
  Random rng(11);
  std::vector<std::array<int, 4>> values;  // B, G, R, A; gray formats take B
  for (int v = 0; v < 256; ++v) values.push_back({v, v, v, 255 - v});
  for (int i = 0; i < 256; ++i) {
    values.push_back({rng.Next(256), rng.Next(256), rng.Next(256), rng.Next(256)});
  }
  for (int i = 0; i < 64; ++i) {
    values.push_back({Expand5(rng.Next(32)), Expand6(rng.Next(64)), Expand5(rng.Next(32)), 255});
  }
  if (std::string(c.name) == "DXT1") {
    for (auto& v : values) v[3] = 255;  // transparency has its own test
  }
  const int n = int(values.size());
  const Bytes image =
      BlockStrip(c, n, [&](int k, int, int ch) { return values[size_t(k)][size_t(ch)]; });
  const Bytes out = RoundTrip(c, image, 4 * n, 4);
  ExpectOtherChannels(c, image, out, 0);
  const bool dxt = c.channels == 4 && !c.redGreenOnly;
  for (int k = 0; k < n; ++k) {
    const auto& v = values[size_t(k)];
    const int allowed = dxt && !Is565Exact(v[2], v[1], v[0]) ? 1 : 0;
    for (int i = 0; i < 16; ++i) {
      const size_t at = (size_t(i / 4) * 4 * n + 4 * k + i % 4) * c.channels;
      for (int ch = c.redGreenOnly ? 1 : 0; ch < std::min(c.channels, 3); ++ch) {
        ASSERT_LE(std::abs(out[at + ch] - v[size_t(ch)]), allowed)
            << "value #" << k << " channel " << ch;
      }
    }
  }
}

// Blocks of two values in a random pattern. Gray, red-green and alpha blocks come back exactly
// (BTC's two means are the values; the alpha blocks take them as endpoints). DXT colors do at
// least as well, block by block, as storing each color at RGB565 precision: the two colors
// are the principal-axis endpoints the fit starts from.
TEST_P(BlockCodecsTest, TwoValuedBlocksRoundTrip) {
  const Codec& c = GetParam();
  const std::string name = c.name;
  Random rng(12);
  const int n = 300;
  std::vector<std::array<int, 8>> pairs;  // two B, G, R, A values
  std::vector<int> patterns;
  for (int k = 0; k < n; ++k) {
    std::array<int, 8> p{};
    for (int& v : p) v = rng.Next(256);
    if (name == "DXT1") p[3] = p[7] = 255;
    if (name == "DXT3") p[3] = 17 * (p[3] % 16), p[7] = 17 * (p[7] % 16);
    pairs.push_back(p);
    patterns.push_back(1 + rng.Next(0xFFFE));  // both values present
  }
  const Bytes image = BlockStrip(c, n, [&](int k, int i, int ch) {
    return pairs[size_t(k)][size_t(ch + ((patterns[size_t(k)] >> i) & 1 ? 4 : 0))];
  });
  const Bytes out = RoundTrip(c, image, 4 * n, 4);
  ExpectOtherChannels(c, image, out, 0);
  if (c.channels == 1 || c.redGreenOnly) {
    EXPECT_EQ(CompareValues(c, image, out).maxError, 0);
    return;
  }
  for (int k = 0; k < n; ++k) {
    long error = 0, bound = 0;
    for (int i = 0; i < 16; ++i) {
      const size_t at = (size_t(i / 4) * 4 * n + 4 * k + i % 4) * 4;
      for (int ch = 0; ch < 3; ++ch) {
        const int d = int(out[at + ch]) - int(image[at + ch]);
        error += d * d;
      }
      bound += Quantisation565Error(image[at + 2], image[at + 1], image[at]);
    }
    EXPECT_LE(error, bound) << "block " << k;
  }
  const ErrorStats s = CompareValues(c, image, out);
  EXPECT_LE(s.maxError, 6);
  EXPECT_LE(s.meanError, 2.0);
}

// Error bounds of the smooth and random images below, per format: at most about 1.3 times what
// the encoders reach (gradients: what the formats allow). The DXT blend bound is tighter: the
// principal-axis endpoints alone, without the least-squares refinement, give a mean error of
// 7.4 there, the full fit 6.04.
struct QualityBounds {
  int rampMax;  // ramp along x: within each block the colors lie on a line
  double rampMean;
  int planeMax;  // ramp along x and y: a plane of colors, which a line only approaches
  double planeMean;
  double blendMean;  // blocks blended from two random colors, plus noise
  double noiseMean;  // uniform noise
};

QualityBounds BoundsOf(const Codec& c) {
  const std::string name = c.name;
  // Two levels a block: a ramp of 4 steps per block is off by 2 everywhere.
  if (name == "BTC") return {2, 2.0, 3, 2.0, 15.0, 33.0};
  if (name == "ATI1N" || name == "ATI2N") return {1, 0.3, 1, 0.3, 3.5, 8.0};
  return {5, 1.75, 10, 3.0, 6.6, 46.0};  // DXT colors
}

// Smooth images: a ramp along x, and one along both axes. Alpha ramps too (except in DXT1).
TEST_P(BlockCodecsTest, GradientsStayClose) {
  const Codec& c = GetParam();
  const QualityBounds b = BoundsOf(c);
  const auto alpha = [&](int a) { return std::string(c.name) == "DXT1" ? 255 : a; };
  const Bytes ramp = MakeImage(c, 64, 16, [&](int x, int, int ch) {
    const int v[4] = {4 * x, 255 - 3 * x, 40 + 2 * x, alpha(255 - x)};
    return v[ch];
  });
  const Bytes plane = MakeImage(c, 64, 64, [&](int x, int y, int ch) {
    const int v[4] = {4 * x, 4 * y, 2 * (x + y), alpha(255 - x - y)};
    return v[ch];
  });
  for (const auto& [image, h, maxError, meanError] :
       {std::tuple{ramp, 16, b.rampMax, b.rampMean},
        std::tuple{plane, 64, b.planeMax, b.planeMean}}) {
    const Bytes out = RoundTrip(c, image, 64, h);
    ExpectOtherChannels(c, image, out, 1);
    const ErrorStats s = CompareValues(c, image, out);
    EXPECT_LE(s.maxError, maxError) << "64x" << h;
    EXPECT_LE(s.meanError, meanError) << "64x" << h;
  }
}

// Random images: blocks blended from two random colors with noise (texture-like), and noise.
TEST_P(BlockCodecsTest, RandomImagesStayClose) {
  const Codec& c = GetParam();
  const QualityBounds b = BoundsOf(c);
  const int w = 64, h = 64;
  for (const bool noise : {false, true}) {
    Random rng(noise ? 13 : 14);
    std::vector<std::array<int, 8>> ends;
    for (int k = 0; k < (w / 4) * (h / 4); ++k) {
      std::array<int, 8> e{};
      for (int& v : e) v = rng.Next(256);
      ends.push_back(e);
    }
    const Bytes image = MakeImage(c, w, h, [&](int x, int y, int ch) {
      if (ch == 3 && std::string(c.name) == "DXT1") return 255;  // transparency: own test
      if (noise) return rng.Next(256);
      const auto& e = ends[size_t((y / 4) * (w / 4) + x / 4)];
      const int t = ((x % 4) * 5 + (y % 4) * 3) % 17;  // position on the line, 0..16
      return (e[size_t(ch)] * (16 - t) + e[size_t(ch) + 4] * t) / 16 + rng.Next(9) - 4;
    });
    const Bytes out = RoundTrip(c, image, w, h);
    ExpectOtherChannels(c, image, out, noise ? 24 : 16);
    EXPECT_LE(CompareValues(c, image, out).meanError, noise ? b.noiseMean : b.blendMean)
        << (noise ? "noise" : "blend");
  }
}

// ---------------------------------------------------------------------------------------------
// Encoder choices.

// DXT1 blocks with pixels of alpha below 128 use the 3-color mode (c0 <= c1) with index 3 for
// exactly those pixels, which decode as transparent black; the others keep their colors.
struct TransparencyCase {
  const char* name;
  std::array<int, 16> alpha;
};

class BlockCodecsDXT1TransparencyTest : public testing::TestWithParam<TransparencyCase> {};

TEST_P(BlockCodecsDXT1TransparencyTest, TransparentPixelsUseIndexThree) {
  const TransparencyCase& t = GetParam();
  Random rng(21);
  for (int round = 0; round < 20; ++round) {
    // Round 0: one color; 1: two colors; then random colors.
    const std::array<int, 3> a{rng.Next(256), rng.Next(256), rng.Next(256)};
    const std::array<int, 3> b{rng.Next(256), rng.Next(256), rng.Next(256)};
    const Bytes image = MakeImage(kDXT1, 4, 4, [&](int x, int y, int ch) {
      const int i = y * 4 + x;
      if (ch == 3) return t.alpha[size_t(i)];
      if (round == 0) return a[size_t(ch)];
      if (round == 1) return (i % 3 ? a : b)[size_t(ch)];
      return rng.Next(256);
    });
    const Bytes block = Encode(kDXT1, image, 4, 4);
    const Bytes out = Decode(kDXT1, block, 4, 4);
    const bool anyTransparent =
        std::any_of(t.alpha.begin(), t.alpha.end(), [](int v) { return v < 128; });
    const uint16_t c0 = uint16_t(block[0] | block[1] << 8), c1 = uint16_t(block[2] | block[3] << 8);
    if (anyTransparent) {
      EXPECT_LE(c0, c1) << "round " << round;
    }
    long error = 0, bound = 0;
    for (int i = 0; i < 16; ++i) {
      const size_t at = size_t(i) * 4;
      const int index = (block[4 + i / 4] >> (2 * (i % 4))) & 3;
      if (t.alpha[size_t(i)] < 128) {
        EXPECT_EQ(index, 3) << "pixel " << i;
        EXPECT_EQ(out[at] | out[at + 1] | out[at + 2] | out[at + 3], 0) << "pixel " << i;
        continue;
      }
      EXPECT_EQ(out[at + 3], 255) << "pixel " << i;
      for (int ch = 0; ch < 3; ++ch)
        error += (out[at + ch] - image[at + ch]) * (out[at + ch] - image[at + ch]);
      bound += Quantisation565Error(image[at + 2], image[at + 1], image[at]);
    }
    // One and two colors: no worse than RGB565 precision (the 3-color mode holds both
    // endpoints and, for one color, the midpoint of the best pair).
    if (round < 2) {
      EXPECT_LE(error, bound) << "round " << round;
    }
  }
}

constexpr std::array<int, 16> Alphas(int transparentMask, int low, int high) {
  std::array<int, 16> a{};
  for (int i = 0; i < 16; ++i) a[size_t(i)] = (transparentMask >> i) & 1 ? low : high;
  return a;
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, BlockCodecsDXT1TransparencyTest,
    testing::Values(TransparencyCase{"Opaque", Alphas(0x0000, 0, 255)},
                    TransparencyCase{"AllTransparent", Alphas(0xFFFF, 0, 255)},
                    TransparencyCase{"Checkerboard", Alphas(0x5A5A, 0, 255)},
                    TransparencyCase{"OneOpaquePixel", Alphas(0xFFFE, 10, 200)},
                    TransparencyCase{"OneTransparentPixel", Alphas(0x0100, 0, 255)},
                    TransparencyCase{"Threshold127And128", Alphas(0x00FF, 127, 128)}),
    [](const auto& p) { return std::string(p.param.name); });

// Alpha blocks (ATI1N here; DXT5 alpha and ATI2N share the encoder) choose the mode with the
// smaller error: the 6-value mode when 0 and 255 sit apart from a cluster of values, the
// 8-value mode for values spread over the range.
struct AlphaModeCase {
  const char* name;
  std::array<int, 16> values;
  bool eightValues;
  int maxError;
};

class BlockCodecsAlphaModeTest : public testing::TestWithParam<AlphaModeCase> {};

TEST_P(BlockCodecsAlphaModeTest, PicksTheModeWithTheSmallerError) {
  const AlphaModeCase& t = GetParam();
  const Bytes image(t.values.begin(), t.values.end());
  const Bytes block = Encode(kATI1N, image, 4, 4);
  EXPECT_EQ(block[0] > block[1], t.eightValues) << int(block[0]) << " " << int(block[1]);
  EXPECT_LE(Compare(image, Decode(kATI1N, block, 4, 4), 1, 0, 0).maxError, t.maxError);
  // DXT5 stores the same alpha block.
  Bytes rgba(64, 128);
  for (int i = 0; i < 16; ++i) rgba[size_t(4 * i + 3)] = image[size_t(i)];
  const Bytes dxt5 = Encode(kDXT5, rgba, 4, 4);
  EXPECT_TRUE(std::equal(block.begin(), block.end(), dxt5.begin()));
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, BlockCodecsAlphaModeTest,
    testing::Values(
        // 6 values between 100 and 110 hold the cluster within 1; 0 and 255 exactly.
        AlphaModeCase{"ClusterWithBlackAndWhite",
                      {0, 255, 100, 102, 104, 106, 108, 110, 0, 255, 101, 103, 105, 107, 109, 110},
                      false,
                      1},
        AlphaModeCase{"EvenRamp",
                      {0, 17, 34, 51, 68, 85, 102, 119, 136, 153, 170, 187, 204, 221, 238, 255},
                      true,
                      9},
        AlphaModeCase{"TwoValues",
                      {30, 200, 30, 200, 30, 30, 200, 200, 30, 200, 30, 200, 30, 30, 200, 200},
                      true,
                      0},
        // 0, 255 and one value between: exact only with the 6-value mode.
        AlphaModeCase{"BlackWhiteAndGray",
                      {0, 255, 128, 255, 128, 0, 255, 0, 0, 128, 0, 0, 255, 255, 128, 255},
                      false,
                      0},
        AlphaModeCase{
            "Constant", {77, 77, 77, 77, 77, 77, 77, 77, 77, 77, 77, 77, 77, 77, 77, 77}, false, 0},
        AlphaModeCase{"EightLevels",
                      {10, 40, 70, 100, 130, 160, 190, 220, 10, 40, 70, 100, 130, 160, 190, 220},
                      true,
                      1}),
    [](const auto& p) { return std::string(p.param.name); });

// Absolute-moment BTC: threshold at the block mean, each level the rounded mean of its side.
struct BTCCase {
  const char* name;
  std::array<int, 16> values;
  Bytes block;
};

class BlockCodecsBTCTest : public testing::TestWithParam<BTCCase> {};

TEST_P(BlockCodecsBTCTest, EncodesTheMomentPreservingLevels) {
  const BTCCase& t = GetParam();
  const Bytes image(t.values.begin(), t.values.end());
  EXPECT_EQ(Encode(kBTC, image, 4, 4), t.block);
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, BlockCodecsBTCTest,
    testing::Values(
        // Mean 82.5: 10 and 20 below (level 15), 100 and 200 above (level 150).
        BTCCase{"FourLevels",
                {10, 10, 10, 10, 20, 20, 20, 20, 100, 100, 100, 100, 200, 200, 200, 200},
                {15, 150, 0x00, 0xFF}},
        // Mean exactly 8: the 8 goes up. Below: 8/4 = 2; above: 120/12 = 10.
        BTCCase{"ValueAtTheMean",
                {2, 2, 2, 2, 8, 9, 9, 9, 10, 10, 10, 10, 11, 11, 11, 12},
                {2, 10, 0xF0, 0xFF}},
        // Mean exactly 8 again, but here the level changes with the side the 8s take:
        // below = 4, above = (8*4 + 12*4 + 8*4) / 12 = 9.33.
        BTCCase{"MeanValueCountsAsUpper",
                {4, 4, 4, 4, 8, 8, 8, 8, 12, 12, 12, 12, 8, 8, 8, 8},
                {4, 9, 0xF0, 0xFF}},
        // Means of 0.5 and 100.5 round up.
        BTCCase{"HalvesRoundUp",
                {0, 0, 0, 0, 1, 1, 1, 1, 100, 100, 100, 100, 101, 101, 101, 101},
                {1, 101, 0x00, 0xFF}},
        BTCCase{"OneBrightPixel",
                {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 255},
                {0, 255, 0x00, 0x80}},
        // Nothing below the mean: both levels the value, every bit set.
        BTCCase{"Constant",
                {42, 42, 42, 42, 42, 42, 42, 42, 42, 42, 42, 42, 42, 42, 42, 42},
                {42, 42, 0xFF, 0xFF}}),
    [](const auto& p) { return std::string(p.param.name); });

// ---------------------------------------------------------------------------------------------
// Conformance: the top-level surfaces of Pillow's DDS test files decode exactly to Pillow's
// reference PNGs. The PNGs are not decoded here: the hashes are FNV-1a 64 of their pixels as
// an independent decoder (ImageMagick) reads them, in this engine's layout (B, G, R, A bytes,
// or gray bytes).

uint64_t Fnv1a(const Bytes& bytes) {
  uint64_t h = 0xcbf29ce484222325ull;
  for (uint8_t b : bytes) h = (h ^ b) * 0x100000001b3ull;
  return h;
}

struct ConformanceCase {
  const char* file;
  const Codec* codec;
  uint64_t referenceHash;
};

class BlockCodecsConformanceTest : public testing::TestWithParam<ConformanceCase> {};

TEST_P(BlockCodecsConformanceTest, MatchesTheReferenceDecode) {
  const ConformanceCase& t = GetParam();
  const std::string path = std::string(PIXOLAN_TESTDATA_DIR) + "/dds/pillow/" + t.file;
  std::ifstream in(path, std::ios::binary);
  ASSERT_TRUE(in) << "missing conformance file " << path;
  const Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GE(file.size(), 128u);
  auto u32 = [&](size_t at) {
    return uint32_t(file[at]) | uint32_t(file[at + 1]) << 8 | uint32_t(file[at + 2]) << 16 |
           uint32_t(file[at + 3]) << 24;
  };
  const int h = int(u32(12)), w = int(u32(16));
  const size_t data = std::string(file.begin() + 84, file.begin() + 88) == "DX10" ? 148 : 128;
  ASSERT_GE(file.size(), data + BlockBufferSize(*t.codec, w, h));
  const Bytes blocks(file.begin() + long(data),
                     file.begin() + long(data + BlockBufferSize(*t.codec, w, h)));
  EXPECT_EQ(Fnv1a(Decode(*t.codec, blocks, w, h)), t.referenceHash);
}

INSTANTIATE_TEST_SUITE_P(
    Pillow, BlockCodecsConformanceTest,
    testing::Values(ConformanceCase{"dxt1-rgb-4bbp-noalpha_MipMaps-1.dds", &kDXT1,
                                    0x746f724caab4262eull},
                    ConformanceCase{"bc1.dds", &kDXT1, 0x746f724caab4262eull},
                    ConformanceCase{"dxt3-argb-8bbp-explicitalpha_MipMaps-1.dds", &kDXT3,
                                    0x18d5a26757ae8363ull},
                    ConformanceCase{"dxt5-argb-8bbp-interpolatedalpha_MipMaps-1.dds", &kDXT5,
                                    0x67d121abbb4c3370ull},
                    ConformanceCase{"ati1.dds", &kATI1N, 0x0e27bc127bf94adfull},
                    ConformanceCase{"bc4u.dds", &kATI1N, 0x0e27bc127bf94adfull},
                    ConformanceCase{"ati2.dds", &kATI2N, 0x6f64b91b43925fe6ull},
                    ConformanceCase{"bc5u.dds", &kATI2N, 0x6f64b91b43925fe6ull}),
    [](const auto& p) {
      std::string name = p.param.file;
      name = name.substr(0, name.find('.'));
      std::replace_if(
          name.begin(), name.end(), [](char ch) { return !std::isalnum(uint8_t(ch)); }, '_');
      return name;
    });

}  // namespace
}  // namespace pixolan::imaging::blocks
