// Median-cut color reduction of a photo-like 1000x1000 image to 256 colors.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "imaging/image/Imaging.h"
#include "imaging/palette/Quantizer.h"
#include "imaging/palette/QuantizerInternal.h"

namespace {

using namespace pixolan::imaging;

constexpr int kSide = 1000;

// Smooth shading with sensor-like noise: many distinct colors, long runs are rare.
const std::vector<TPixel32>& PhotoPixels() {
  static const std::vector<TPixel32> pixels = [] {
    std::mt19937 rng(1234);
    std::normal_distribution<double> noise(0.0, 3.0);
    std::vector<TPixel32> out(size_t(kSide) * kSide);
    for (int y = 0; y < kSide; ++y) {
      for (int x = 0; x < kSide; ++x) {
        const double u = x / double(kSide), v = y / double(kSide);
        const auto ch = [&](double base) {
          return uint8_t(std::clamp(base * 255.0 + noise(rng), 0.0, 255.0));
        };
        out[size_t(y) * kSide + x] = {ch(0.5 + 0.4 * std::sin(6.0 * u + 2.0 * v)),
                                      ch(0.45 + 0.35 * std::cos(5.0 * v - 3.0 * u * v)),
                                      ch(0.3 + 0.6 * u * (1.0 - v)), 255};
      }
    }
    return out;
  }();
  return pixels;
}

void BM_MedianCutQuantizer(benchmark::State& state) {
  const std::vector<TPixel32>& pixels = PhotoPixels();
  const TFormatDescriptor& d = *GetFormatDescriptor(TImageFormatId::A8R8G8B8);
  std::vector<TPixel32> palette(256);
  std::vector<uint8_t> indices(pixels.size());
  for (auto _ : state) {
    MedianCutQuantizer(int32_t(pixels.size()), reinterpret_cast<const uint8_t*>(pixels.data()), d,
                       indices.data(), 1, palette.data(), kQuantAllSteps, uint8_t(state.range(0)),
                       256);
    benchmark::DoNotOptimize(indices.data());
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(pixels.size()));
}
BENCHMARK(BM_MedianCutQuantizer)->Arg(0xFF)->Arg(0xF8)->Unit(benchmark::kMillisecond);

// Baseline of the mapping step: every pixel tested against the boxes in order.
void BM_MapByScanningBoxes(benchmark::State& state) {
  const std::vector<TPixel32>& pixels = PhotoPixels();
  quantizer::TMedianCut cut(255);
  for (const TPixel32& p : pixels) cut.AddColor(p);
  cut.BuildBoxes(256);
  for (auto _ : state) {
    int64_t sum = 0;
    for (const TPixel32& p : pixels) sum += cut.IndexOfByScan(p);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(pixels.size()));
}
BENCHMARK(BM_MapByScanningBoxes)->Unit(benchmark::kMillisecond);

void BM_MapThroughHistogram(benchmark::State& state) {
  const std::vector<TPixel32>& pixels = PhotoPixels();
  quantizer::TMedianCut cut(255);
  for (const TPixel32& p : pixels) cut.AddColor(p);
  cut.BuildBoxes(256);
  for (auto _ : state) {
    int64_t sum = 0;
    for (const TPixel32& p : pixels) sum += cut.IndexOf(p);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(pixels.size()));
}
BENCHMARK(BM_MapThroughHistogram)->Unit(benchmark::kMillisecond);

void BM_ImageReduceColors(benchmark::State& state) {
  const std::vector<TPixel32>& pixels = PhotoPixels();
  TImageData image;
  for (auto _ : state) {
    state.PauseTiming();
    ImageCreate(kSide, kSide, TImageFormatId::A8R8G8B8, image);
    std::memcpy(image.bits(), pixels.data(), pixels.size() * sizeof(TPixel32));
    state.ResumeTiming();
    ImageReduceColors(image, 256);
    benchmark::DoNotOptimize(image.bits());
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(pixels.size()));
}
BENCHMARK(BM_ImageReduceColors)->Unit(benchmark::kMillisecond);

}  // namespace
