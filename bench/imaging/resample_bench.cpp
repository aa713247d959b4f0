// Resizing 4000x3000 A8R8G8B8 to 1024x768 with each filter: the vectorised fast path next
// to the general path it must equal, single-threaded. PIXOLAN_BENCH_PPM may name a binary
// PPM of that size to resize instead of the built-in photo-like image
// (bench/compare_resize_imagemagick.sh uses it to time the same pixels as its reference).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>

#include "imaging/geometry/Resample.h"
#include "imaging/geometry/ResampleInternal.h"
#include "imaging/image/Imaging.h"

namespace {

using namespace pixolan::imaging;
using F = TImageFormatId;
using R = TResizeFilter;
using Level = detail::TSimdLevel;

constexpr int32_t kSrcWidth = 4000, kSrcHeight = 3000;
constexpr int32_t kDstWidth = 1024, kDstHeight = 768;

// Binary PPM (P6, maxval 255) as A8R8G8B8; false when the file is not one of the size.
bool LoadPPM(const char* path, TImageData& image) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int width = 0, height = 0, maxval = 0;
  in >> magic >> width >> height >> maxval;
  in.get();
  if (!in || magic != "P6" || maxval != 255 || width != kSrcWidth || height != kSrcHeight)
    return false;
  std::vector<uint8_t> rgb(size_t(width) * size_t(height) * 3);
  in.read(reinterpret_cast<char*>(rgb.data()), std::streamsize(rgb.size()));
  if (!in) return false;
  ImageCreate(width, height, F::A8R8G8B8, image);
  for (size_t i = 0; i < size_t(width) * size_t(height); ++i) {
    uint8_t* p = image.bits() + i * 4;
    p[0] = rgb[i * 3 + 2], p[1] = rgb[i * 3 + 1], p[2] = rgb[i * 3], p[3] = 255;
  }
  return true;
}

// Smooth gradients with some grain, roughly what a photograph offers.
const TImageData& Source() {
  static const TImageData image = [] {
    TImageData made;
    if (const char* path = std::getenv("PIXOLAN_BENCH_PPM"); path && LoadPPM(path, made))
      return made;
    ImageCreate(kSrcWidth, kSrcHeight, F::A8R8G8B8, made);
    std::mt19937 rng(1);
    for (int32_t y = 0; y < kSrcHeight; ++y)
      for (int32_t x = 0; x < kSrcWidth; ++x) {
        uint8_t* p = made.bits() + (int64_t(y) * kSrcWidth + x) * 4;
        const double u = x / 400.0, v = y / 300.0;
        p[0] = uint8_t(
            std::clamp(128 + 100 * std::sin(u) * std::cos(v) + int(rng() % 16), 0.0, 255.0));
        p[1] = uint8_t(std::clamp(128 + 100 * std::sin(u + v) + int(rng() % 16), 0.0, 255.0));
        p[2] = uint8_t(std::clamp(128 + 100 * std::cos(u * v) + int(rng() % 16), 0.0, 255.0));
        p[3] = 255;
      }
    return made;
  }();
  return image;
}

void SetCounters(benchmark::State& state) {
  state.counters["src MP/s"] =
      benchmark::Counter(double(kSrcWidth) * kSrcHeight * double(state.iterations()) / 1e6,
                         benchmark::Counter::kIsRate);
}

template <bool Fast>
void BM_Resample(benchmark::State& state, R filter, Level level) {
  const TImageData& src = Source();
  const TFormatDescriptor& d = *GetFormatDescriptor(F::A8R8G8B8);
  if (Fast && !detail::SimdLevelAvailable(level)) {
    state.SkipWithError("instruction set not available");
    return;
  }
  TImageData dst;
  ImageCreate(kDstWidth, kDstHeight, F::A8R8G8B8, dst);
  const detail::TResampleSource source{src.bits(), int64_t(kSrcWidth) * 4, 0, 0, &d, nullptr};
  const detail::TResampleTarget target{dst.bits(), int64_t(kDstWidth) * 4, &d, nullptr};
  for (auto _ : state) {
    if constexpr (Fast)
      detail::ResampleFilteredFast(source, 0, 0, kSrcWidth, kSrcHeight, target, kDstWidth,
                                   kDstHeight, filter, 1, level);
    else
      detail::ResampleFilteredGeneral(source, 0, 0, kSrcWidth, kSrcHeight, target, kDstWidth,
                                      kDstHeight, filter);
    benchmark::DoNotOptimize(dst.bits());
    benchmark::ClobberMemory();
  }
  SetCounters(state);
}

void BM_ResampleFast(benchmark::State& state, R filter, Level level) {
  BM_Resample<true>(state, filter, level);
}
void BM_ResampleGeneral(benchmark::State& state, R filter, Level level) {
  BM_Resample<false>(state, filter, level);
}

BENCHMARK_CAPTURE(BM_ResampleFast, bilinear, R::Bilinear, Level::Best)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ResampleGeneral, bilinear, R::Bilinear, Level::Best)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ResampleFast, bicubic, R::Bicubic, Level::Best)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ResampleGeneral, bicubic, R::Bicubic, Level::Best)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ResampleFast, bicubic_avx2, R::Bicubic, Level::AVX2)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ResampleFast, bicubic_sse2, R::Bicubic, Level::SSE2)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ResampleFast, bicubic_portable, R::Bicubic, Level::Portable)
    ->Unit(benchmark::kMillisecond);

// The whole call as the resize action makes it (the new buffer's allocation included, the
// copy of the source excluded), on one thread or on two.
void BM_ImageResize(benchmark::State& state, R filter, int32_t threads) {
  const TImageData& src = Source();
  SetResampleThreadCount(threads);
  for (auto _ : state) {
    state.PauseTiming();
    TImageData image;
    ImageClone(src, image);
    state.ResumeTiming();
    ImageResize(image, kDstWidth, kDstHeight, filter);
    benchmark::DoNotOptimize(image.bits());
  }
  SetResampleThreadCount(1);
  SetCounters(state);
}

BENCHMARK_CAPTURE(BM_ImageResize, nearest, R::Nearest, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ImageResize, bilinear, R::Bilinear, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ImageResize, bicubic, R::Bicubic, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ImageResize, bicubic_2_threads, R::Bicubic, 2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
