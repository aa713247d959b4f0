// Conversion between A8R8G8B8 and the other 8-bit channel formats: the fast paths next
// to the general per-pixel path they must equal, in megapixels per second.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "imaging/image/ConvertInternal.h"
#include "imaging/image/Imaging.h"

namespace {

using namespace pixolan::imaging;
using F = TImageFormatId;

constexpr int64_t kPixels = 4000 * 3000;

template <bool Fast>
void BM_Convert(benchmark::State& state, F from, F to) {
  const TFormatDescriptor& sd = *GetFormatDescriptor(from);
  const TFormatDescriptor& td = *GetFormatDescriptor(to);
  std::vector<uint8_t> src(size_t(kPixels * sd.BytesPerPixel)),
      dst(size_t(kPixels * td.BytesPerPixel));
  std::mt19937 rng(1);
  for (auto& b : src) b = uint8_t(rng());
  for (auto _ : state) {
    if constexpr (Fast)
      detail::ConvertPixelsFast(src.data(), sd, nullptr, dst.data(), td, kPixels);
    else
      detail::ConvertPixelsGeneric(src.data(), sd, nullptr, dst.data(), td, kPixels);
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  state.counters["MP/s"] = benchmark::Counter(double(kPixels) * double(state.iterations()) / 1e6,
                                              benchmark::Counter::kIsRate);
}

void BM_ConvertFast(benchmark::State& state, F from, F to) {
  BM_Convert<true>(state, from, to);
}
void BM_ConvertGeneral(benchmark::State& state, F from, F to) {
  BM_Convert<false>(state, from, to);
}

#define PIXOLAN_CONVERT_BENCH(name, from, to)                                             \
  BENCHMARK_CAPTURE(BM_ConvertFast, name, F::from, F::to)->Unit(benchmark::kMillisecond); \
  BENCHMARK_CAPTURE(BM_ConvertGeneral, name, F::from, F::to)->Unit(benchmark::kMillisecond)

PIXOLAN_CONVERT_BENCH(ARGB_to_RGB, A8R8G8B8, R8G8B8);
PIXOLAN_CONVERT_BENCH(RGB_to_ARGB, R8G8B8, A8R8G8B8);
PIXOLAN_CONVERT_BENCH(ARGB_to_Gray8, A8R8G8B8, Gray8);
PIXOLAN_CONVERT_BENCH(Gray8_to_ARGB, Gray8, A8R8G8B8);
PIXOLAN_CONVERT_BENCH(ARGB_to_XRGB, A8R8G8B8, X8R8G8B8);
PIXOLAN_CONVERT_BENCH(XRGB_to_ARGB, X8R8G8B8, A8R8G8B8);

// The whole ImageConvert call, buffer allocation included.
void BM_ImageConvertRGBToARGB(benchmark::State& state) {
  TImageData source;
  ImageCreate(4000, 3000, F::R8G8B8, source);
  for (auto _ : state) {
    TImageData image;
    ImageClone(source, image);
    ImageConvert(image, F::A8R8G8B8);
    benchmark::DoNotOptimize(image.bits());
  }
  state.counters["MP/s"] = benchmark::Counter(double(kPixels) * double(state.iterations()) / 1e6,
                                              benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ImageConvertRGBToARGB)->Unit(benchmark::kMillisecond);

}  // namespace
