// PNG coding of a 1920x1080 A8R8G8B8 image (the program's save path: Paeth rows, level 5)
// and decoding it back, also with the reference library's decoder on the same bytes (and on
// the PNG files of the folder PIXOLAN_BENCH_PNG_DIR when it is set, e.g. the corpus's
// png-rgba); and the deflate choice itself, the handlers' DeflateZlib (libdeflate
// up to level 5, zlib above) against zlib alone on the same filtered rows, with the
// compressed size as a counter so that the two can be compared level by level.
#include <benchmark/benchmark.h>
#include <png.h>
#include <zlib.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

#include "imaging/formats/Deflate.h"
#include "imaging/formats/NetworkGraphicsFormat.h"
#include "imaging/image/ByteOrder.h"
#include "imaging/image/Imaging.h"
#include "imaging/io/ImagingIO.h"
#include "imaging/io/Options.h"
#include "imaging/io/Registry.h"

namespace {

using namespace pixolan::imaging;

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

// Photo: smooth gradients and waves with sensor-like noise. Drawing: flat areas with hard
// edges, as in screenshots and diagrams.
TImageData MakeImage(bool photo) {
  TImageData image;
  ImageCreate(kWidth, kHeight, TImageFormatId::A8R8G8B8, image);
  std::mt19937 rng(7);
  std::normal_distribution<float> noise(0.0f, 3.0f);
  uint8_t* p = image.bits();
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x, p += 4) {
      if (photo) {
        const float base = 110 + 60 * std::sin(x * 0.011f) * std::cos(y * 0.017f) + y * 0.05f;
        for (int c = 0; c < 3; ++c)
          p[c] = uint8_t(std::clamp(
              base + c * 25 + 20 * std::sin((x + y * c) * 0.003f) + noise(rng), 0.0f, 255.0f));
        p[3] = 255;
      } else {
        const int cell = (x / 160 + y / 90 * 3) % 7;
        p[0] = uint8_t(cell * 36);
        p[1] = uint8_t(255 - cell * 30);
        p[2] = uint8_t((x / 16) % 2 ? 40 : 200);
        p[3] = 255;
      }
    }
  }
  return image;
}

std::vector<uint8_t> Save(const TImageData& image, int level) {
  TPNGFileFormat& png = *FindFileFormatByClass<TPNGFileFormat>();
  EngineSetOption(kOptionPngCompressLevel, level);
  TMemoryStream stream;
  png.SaveStream(stream, TImageSpan(&image, 1), true);
  EngineSetOption(kOptionPngCompressLevel, 5);
  return stream.Data();
}

// The filtered rows the handler compresses: the IDAT of a level-0 save, inflated.
std::vector<uint8_t> FilteredRows(const TImageData& image) {
  const std::vector<uint8_t> stored = Save(image, 0);
  size_t at = 8;
  while (std::memcmp(stored.data() + at + 4, "IDAT", 4) != 0) at += 12 + GetBe32(&stored[at]);
  const uint32_t length = GetBe32(&stored[at]);
  std::vector<uint8_t> rows(size_t(kHeight) * (size_t(kWidth) * 4 + 1));
  InflateExact(std::span<const uint8_t>(stored.data() + at + 8, length), rows, "IDAT");
  return rows;
}

void BM_SavePng(benchmark::State& state) {
  const TImageData image = MakeImage(state.range(0) != 0);
  size_t bytes = 0;
  for (auto _ : state) bytes = Save(image, 5).size();
  state.counters["bytes"] = double(bytes);
  state.SetItemsProcessed(int64_t(state.iterations()) * kWidth * kHeight);
}
BENCHMARK(BM_SavePng)->ArgName("photo")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_LoadPng(benchmark::State& state) {
  TPNGFileFormat& png = *FindFileFormatByClass<TPNGFileFormat>();
  const std::vector<uint8_t> file = Save(MakeImage(state.range(0) != 0), 5);
  for (auto _ : state) {
    TMemoryBlockStream stream(file.data(), int64_t(file.size()));
    TDynImageDataArray images;
    png.LoadStream(stream, images, true);
    benchmark::DoNotOptimize(images);
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kWidth * kHeight);
}
BENCHMARK(BM_LoadPng)->ArgName("photo")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// The reference decoder into the same B,G,R,A layout our loader ends in.
void ReferenceDecode(const std::vector<uint8_t>& file, std::vector<uint8_t>& pixels) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) std::abort();
  image.format = PNG_FORMAT_BGRA;
  pixels.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) std::abort();
}

void BM_LoadPngReference(benchmark::State& state) {
  const std::vector<uint8_t> file = Save(MakeImage(state.range(0) != 0), 5);
  std::vector<uint8_t> pixels;
  for (auto _ : state) {
    ReferenceDecode(file, pixels);
    benchmark::DoNotOptimize(pixels.data());
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kWidth * kHeight);
}
BENCHMARK(BM_LoadPngReference)->ArgName("photo")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// Every PNG of PIXOLAN_BENCH_PNG_DIR, read into memory once; decoded per iteration by ours
// (as the program loads: to A8R8G8B8) or by the reference decoder.
std::vector<std::vector<uint8_t>> FolderFiles() {
  std::vector<std::vector<uint8_t>> files;
  const char* folder = std::getenv("PIXOLAN_BENCH_PNG_DIR");
  if (!folder) return files;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().extension() != ".png") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    files.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  return files;
}

void BM_LoadFolder(benchmark::State& state) {
  const std::vector<std::vector<uint8_t>> files = FolderFiles();
  if (files.empty()) {
    state.SkipWithError("PIXOLAN_BENCH_PNG_DIR names no folder with PNG files");
    return;
  }
  TPNGFileFormat& png = *FindFileFormatByClass<TPNGFileFormat>();
  std::vector<uint8_t> pixels;
  for (auto _ : state) {
    for (const std::vector<uint8_t>& file : files) {
      if (state.range(0) == 0) {
        TMemoryBlockStream stream(file.data(), int64_t(file.size()));
        TDynImageDataArray images;
        png.LoadStream(stream, images, true);
        ImageConvert(images.front(), TImageFormatId::A8R8G8B8);
        benchmark::DoNotOptimize(images);
      } else {
        ReferenceDecode(file, pixels);
        benchmark::DoNotOptimize(pixels.data());
      }
    }
  }
}
BENCHMARK(BM_LoadFolder)->ArgName("reference")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Arguments: photo (1) or drawing (0), zlib level.
void BM_DeflateEngine(benchmark::State& state) {
  const std::vector<uint8_t> rows = FilteredRows(MakeImage(state.range(0) != 0));
  size_t bytes = 0;
  for (auto _ : state) bytes = DeflateZlib(rows, int(state.range(1))).size();
  state.counters["bytes"] = double(bytes);
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(rows.size()));
}

void BM_DeflateZlib(benchmark::State& state) {
  const std::vector<uint8_t> rows = FilteredRows(MakeImage(state.range(0) != 0));
  std::vector<uint8_t> out(compressBound(uLong(rows.size())));
  uLongf bytes = 0;
  for (auto _ : state) {
    bytes = uLongf(out.size());
    compress2(out.data(), &bytes, rows.data(), uLong(rows.size()), int(state.range(1)));
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["bytes"] = double(bytes);
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(rows.size()));
}

void Levels(benchmark::internal::Benchmark* b) {
  b->ArgNames({"photo", "level"})->Unit(benchmark::kMillisecond);
  for (int photo : {1, 0})
    for (int level : {1, 3, 4, 5, 6, 9}) b->Args({photo, level});
}
BENCHMARK(BM_DeflateEngine)->Apply(Levels);
BENCHMARK(BM_DeflateZlib)->Apply(Levels);

}  // namespace
