// GIF LZW coding of a 1000x1000 image, and a whole save and load through the handler.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "imaging/formats/GifFormat.h"
#include "imaging/formats/GifLzw.h"
#include "imaging/image/Imaging.h"
#include "imaging/io/ImagingIO.h"
#include "imaging/io/Registry.h"

namespace {

using namespace pixolan::imaging;

constexpr int kSide = 1000;

// Noise: the code table fills every few thousand pixels (worst case). Bands: long runs as in
// drawings and screenshots (best case).
std::vector<uint8_t> Indices(bool noise) {
  std::mt19937 rng(42);
  std::vector<uint8_t> out(size_t(kSide) * kSide);
  for (size_t i = 0; i < out.size(); ++i)
    out[i] = noise ? uint8_t(rng()) : uint8_t((i % kSide) / 40 + (i / kSide) / 100 * 25);
  return out;
}

void BM_LzwEncode(benchmark::State& state) {
  const std::vector<uint8_t> pixels = Indices(state.range(0) != 0);
  for (auto _ : state) benchmark::DoNotOptimize(GifLzwEncode(pixels, 8));
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(pixels.size()));
}
BENCHMARK(BM_LzwEncode)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_LzwDecode(benchmark::State& state) {
  const std::vector<uint8_t> pixels = Indices(state.range(0) != 0);
  const std::vector<uint8_t> data = GifLzwEncode(pixels, 8);
  for (auto _ : state) benchmark::DoNotOptimize(GifLzwDecode(data, 8, pixels.size()));
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(pixels.size()));
}
BENCHMARK(BM_LzwDecode)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The program's path: an A8R8G8B8 image saved as GIF (quantized) and loaded as composed frame.
void BM_SaveAndLoadArgb(benchmark::State& state) {
  TGIFFileFormat& gif = *FindFileFormatByClass<TGIFFileFormat>();
  TImageData image;
  ImageCreate(kSide, kSide, TImageFormatId::A8R8G8B8, image);
  const std::vector<uint8_t> indices = Indices(false);
  for (size_t i = 0; i < indices.size(); ++i) {
    const TPixel32 c = {uint8_t(indices[i] * 3), uint8_t(indices[i] * 7), indices[i], 255};
    std::memcpy(image.bits() + i * 4, &c, 4);
  }
  for (auto _ : state) {
    TMemoryStream stream;
    gif.SaveStream(stream, TImageSpan(&image, 1), true);
    stream.Seek(0, TSeekOrigin::Begin);
    TDynImageDataArray loaded;
    gif.LoadStream(stream, loaded, true);
    benchmark::DoNotOptimize(loaded);
  }
}
BENCHMARK(BM_SaveAndLoadArgb)->Unit(benchmark::kMillisecond);

}  // namespace
