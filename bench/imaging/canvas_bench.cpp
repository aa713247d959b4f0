// Canvas filters and blending on a 4000 x 3000 A8R8G8B8 image: the fast path next to the
// general accessor path it must equal, in megapixels per second.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "imaging/canvas/Canvas.h"
#include "imaging/image/Imaging.h"

namespace {

using namespace pixolan::imaging;

constexpr int32_t kWidth = 4000, kHeight = 3000;

TImageData RandomImage(int32_t w, int32_t h, uint32_t seed) {
  TImageData image;
  ImageCreate(w, h, TImageFormatId::A8R8G8B8, image);
  std::mt19937 rng(seed);
  for (int32_t i = 0; i < image.Size; ++i) image.bits()[i] = uint8_t(rng());
  return image;
}

enum class Path { General, Fast, FastTwoThreads };

void Configure(TImagingCanvas& canvas, Path path) {
  canvas.SetFastPathsEnabled(path != Path::General);
  canvas.SetThreadCount(path == Path::FastTwoThreads ? 2 : 1);
}

template <class Op>
void RunFilter(benchmark::State& state, Path path, Op op) {
  TImageData image = RandomImage(kWidth, kHeight, 1);
  TImagingCanvas canvas(image);
  Configure(canvas, path);
  for (auto _ : state) {
    op(canvas);
    benchmark::DoNotOptimize(image.bits());
    benchmark::ClobberMemory();
  }
  state.counters["MP/s"] = benchmark::Counter(
      double(kWidth) * kHeight * double(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
}

void BM_Sharpen3x3(benchmark::State& state, Path path) {
  RunFilter(state, path, [](TImagingCanvas& c) { c.SharpenKernel3x3(0.0643125f); });
}

// The blur action's box kernel for a horizontal radius of 2: five weights in one row.
void BM_BoxBlur5(benchmark::State& state, Path path) {
  const TConvolutionFilterFree box{{{1, 1, 1, 1, 1}}, 5, 0.0f};
  RunFilter(state, path, [&](TImagingCanvas& c) { c.ConvolveFree(box); });
}

void BM_BoxBlur5x5(benchmark::State& state, Path path) {
  const TConvolutionFilterFree box{std::vector<std::vector<int32_t>>(5, {1, 1, 1, 1, 1}), 25, 0.0f};
  RunFilter(state, path, [&](TImagingCanvas& c) { c.ConvolveFree(box); });
}

void BM_ContrastBrightness(benchmark::State& state, Path path) {
  RunFilter(state, path, [](TImagingCanvas& c) { c.AdjustContrastBrightness(20, 10); });
}

void BM_Saturation(benchmark::State& state, Path path) {
  RunFilter(state, path, [](TImagingCanvas& c) { c.AdjustSaturation(35); });
}

void BM_DrawOpacity1000(benchmark::State& state, Path path) {
  TImageData image = RandomImage(kWidth, kHeight, 2);
  TImageData overlay = RandomImage(1000, 1000, 3);
  TImagingCanvas target(image), source(overlay);
  Configure(source, path);
  for (auto _ : state) {
    source.DrawOpacity(source.ClipRect, target, 1500, 1000, 40);
    benchmark::DoNotOptimize(image.bits());
    benchmark::ClobberMemory();
  }
  state.counters["MP/s"] =
      benchmark::Counter(1.0 * double(state.iterations()), benchmark::Counter::kIsRate);
}

// Process CPU time, so that the threaded variants count the work of every thread.
#define PIXOLAN_CANVAS_BENCH(fn)                                                                   \
  BENCHMARK_CAPTURE(fn, fast, Path::Fast)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond); \
  BENCHMARK_CAPTURE(fn, fast_2_threads, Path::FastTwoThreads)                                      \
      ->MeasureProcessCPUTime()                                                                    \
      ->Unit(benchmark::kMillisecond);                                                             \
  BENCHMARK_CAPTURE(fn, general, Path::General)                                                    \
      ->MeasureProcessCPUTime()                                                                    \
      ->Unit(benchmark::kMillisecond)

PIXOLAN_CANVAS_BENCH(BM_Sharpen3x3);
PIXOLAN_CANVAS_BENCH(BM_BoxBlur5);
PIXOLAN_CANVAS_BENCH(BM_BoxBlur5x5);
PIXOLAN_CANVAS_BENCH(BM_ContrastBrightness);
PIXOLAN_CANVAS_BENCH(BM_Saturation);
BENCHMARK_CAPTURE(BM_DrawOpacity1000, fast, Path::Fast)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DrawOpacity1000, general, Path::General)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
