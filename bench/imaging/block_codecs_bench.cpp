// Encode and decode speed of the 4x4 block codecs on a 256x256 texture-like image.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "imaging/formats/BlockCodecs.h"

namespace {

using namespace pixolan::imaging::blocks;
using CodecFn = void (*)(const uint8_t*, int, int, uint8_t*);

constexpr int kSize = 256;

// Color ramps with noise, the kind of content textures have, so the encoders take their full
// path (the single-color shortcut would flatter them on flat images).
std::vector<uint8_t> MakeImage(int channels) {
  std::mt19937 rng(5);
  std::vector<uint8_t> image(size_t(kSize) * kSize * size_t(channels));
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      for (int ch = 0; ch < channels; ++ch) {
        int v = (x * (ch + 1) + y * (3 - ch) + int(rng() % 24)) & 255;
        if (ch == 3) v = 128 + v / 2;  // opaque for DXT1, still varied for DXT3/DXT5
        image[(size_t(y) * kSize + x) * size_t(channels) + size_t(ch)] = uint8_t(v);
      }
    }
  }
  return image;
}

void BM_Encode(benchmark::State& state, CodecFn encode, int blockBytes, int channels) {
  const std::vector<uint8_t> image = MakeImage(channels);
  std::vector<uint8_t> blocks(size_t(kSize / 4) * (kSize / 4) * size_t(blockBytes));
  for (auto _ : state) {
    encode(image.data(), kSize, kSize, blocks.data());
    benchmark::DoNotOptimize(blocks.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * int64_t(kSize) * kSize);
}

void BM_Decode(benchmark::State& state, CodecFn encode, CodecFn decode, int blockBytes,
               int channels) {
  const std::vector<uint8_t> image = MakeImage(channels);
  std::vector<uint8_t> blocks(size_t(kSize / 4) * (kSize / 4) * size_t(blockBytes));
  encode(image.data(), kSize, kSize, blocks.data());
  std::vector<uint8_t> out(image.size());
  for (auto _ : state) {
    decode(blocks.data(), kSize, kSize, out.data());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * int64_t(kSize) * kSize);
}

BENCHMARK_CAPTURE(BM_Encode, DXT1, EncodeDXT1, 8, 4);
BENCHMARK_CAPTURE(BM_Encode, DXT3, EncodeDXT3, 16, 4);
BENCHMARK_CAPTURE(BM_Encode, DXT5, EncodeDXT5, 16, 4);
BENCHMARK_CAPTURE(BM_Encode, BTC, EncodeBTC, 4, 1);
BENCHMARK_CAPTURE(BM_Encode, ATI1N, EncodeATI1N, 8, 1);
BENCHMARK_CAPTURE(BM_Encode, ATI2N, EncodeATI2N, 16, 4);
BENCHMARK_CAPTURE(BM_Decode, DXT1, EncodeDXT1, DecodeDXT1, 8, 4);
BENCHMARK_CAPTURE(BM_Decode, DXT3, EncodeDXT3, DecodeDXT3, 16, 4);
BENCHMARK_CAPTURE(BM_Decode, DXT5, EncodeDXT5, DecodeDXT5, 16, 4);
BENCHMARK_CAPTURE(BM_Decode, BTC, EncodeBTC, DecodeBTC, 4, 1);
BENCHMARK_CAPTURE(BM_Decode, ATI1N, EncodeATI1N, DecodeATI1N, 8, 1);
BENCHMARK_CAPTURE(BM_Decode, ATI2N, EncodeATI2N, DecodeATI2N, 16, 4);

}  // namespace
