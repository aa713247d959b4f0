// JPEG load and save of a 12-megapixel photo-like file through the handler, next to
// libjpeg-turbo called directly with the same settings (the floor the handler adds to).
//
// The file is $PIXOLAN_BENCH_JPEG when set, else the benchmark corpus's first 12 MP file
// (/tmp/pixbench/corpus/jpeg-12mp/p12-01.jpg, made by make-corpus.sh), else a 4000x3000
// plasma picture at quality 92, 4:2:0 that ImageMagick makes once in the temporary folder.
#include <benchmark/benchmark.h>

// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "imaging/formats/JpegFormat.h"
#include "imaging/image/Imaging.h"
#include "imaging/io/Options.h"
#include "imaging/io/Registry.h"

namespace {

namespace fs = std::filesystem;
using namespace pixolan::imaging;
using F = TImageFormatId;

std::string MakeSourceFile() {
  if (const char* env = std::getenv("PIXOLAN_BENCH_JPEG")) return env;
  const fs::path corpus = "/tmp/pixbench/corpus/jpeg-12mp/p12-01.jpg";
  if (fs::exists(corpus)) return corpus.string();
  const fs::path made = fs::temp_directory_path() / "pixolan-jpeg-bench-12mp.jpg";
  if (!fs::exists(made)) {
    const std::string part = made.string() + ".part.jpg";
    const std::string command =
        "convert -size 4000x3000 -seed 12 plasma:fractal -blur 0x1 -attenuate 0.3 "
        "+noise gaussian -sampling-factor 2x2 -quality 92 '" +
        part + "' && mv '" + part + "' '" + made.string() + "'";
    if (std::system(command.c_str()) != 0) throw std::runtime_error("convert failed");
  }
  return made.string();
}

struct TCorpus {
  std::string Path;
  std::vector<uint8_t> Bytes;
  TImageData Argb;                  // what the program saves
  TImageData Rgb;                   // what the handler loads
  std::vector<uint8_t> RgbSamples;  // libjpeg's own decoding (R, G, B)
  int Width = 0, Height = 0;
};

std::vector<uint8_t> DecodeWithLibrary(jpeg_decompress_struct& info, int& width, int& height) {
  jpeg_read_header(&info, TRUE);
  jpeg_start_decompress(&info);
  width = int(info.output_width);
  height = int(info.output_height);
  const size_t stride = size_t(info.output_width) * size_t(info.output_components);
  std::vector<uint8_t> samples;
  samples.resize(stride * info.output_height);
  JSAMPROW rows[16];
  while (info.output_scanline < info.output_height) {
    const JDIMENSION first = info.output_scanline;
    const JDIMENSION count = std::min<JDIMENSION>(16, info.output_height - first);
    for (JDIMENSION i = 0; i < count; ++i) rows[i] = samples.data() + (first + i) * stride;
    jpeg_read_scanlines(&info, rows, count);
  }
  jpeg_finish_decompress(&info);
  return samples;
}

const TCorpus& Corpus() {
  static const TCorpus corpus = [] {
    TCorpus c;
    c.Path = MakeSourceFile();
    std::ifstream in(c.Path, std::ios::binary);
    c.Bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!ImageLoadFile(c.Path, c.Rgb)) throw std::runtime_error("cannot load " + c.Path);
    ImageClone(c.Rgb, c.Argb);
    ImageConvert(c.Argb, F::A8R8G8B8);
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, c.Bytes.data(), static_cast<unsigned long>(c.Bytes.size()));
    c.RgbSamples = DecodeWithLibrary(info, c.Width, c.Height);
    jpeg_destroy_decompress(&info);
    return c;
  }();
  return corpus;
}

TJpegFileFormat& Jpeg() {
  return *FindFileFormatByClass<TJpegFileFormat>();
}

void SetPixels(benchmark::State& state) {
  const TCorpus& c = Corpus();
  state.counters["MP/s"] = benchmark::Counter(
      double(c.Width) * c.Height * double(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
}

// ---- Loading ----------------------------------------------------------------------

void BM_LoadFile_Pixolan(benchmark::State& state) {
  const TCorpus& c = Corpus();
  for (auto _ : state) {
    TDynImageDataArray images;
    if (!Jpeg().LoadFile(c.Path, images, true)) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(images.front().bits());
  }
  SetPixels(state);
}

// Loading for the program's working format: decoded straight into A8R8G8B8, and the
// former way, decoded as R8G8B8 and converted.
void BM_LoadFileAsArgb_Direct(benchmark::State& state) {
  const TCorpus& c = Corpus();
  for (auto _ : state) {
    TImageData image;
    if (!ImageLoadFileAs(c.Path, F::A8R8G8B8, image)) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(image.bits());
  }
  SetPixels(state);
}

void BM_LoadFileAsArgb_Convert(benchmark::State& state) {
  const TCorpus& c = Corpus();
  for (auto _ : state) {
    TImageData image;
    if (!ImageLoadFile(c.Path, image) || !ImageConvert(image, F::A8R8G8B8))
      state.SkipWithError("load failed");
    benchmark::DoNotOptimize(image.bits());
  }
  SetPixels(state);
}

// The library's own stdio source, decoding into a fresh buffer each time as a load must.
void BM_LoadFile_Libjpeg(benchmark::State& state) {
  const TCorpus& c = Corpus();
  for (auto _ : state) {
    FILE* file = std::fopen(c.Path.c_str(), "rb");
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    int width = 0, height = 0;
    std::vector<uint8_t> samples = DecodeWithLibrary(info, width, height);
    jpeg_destroy_decompress(&info);
    std::fclose(file);
    benchmark::DoNotOptimize(samples.data());
  }
  SetPixels(state);
}

void BM_LoadMemory_Pixolan(benchmark::State& state) {
  const TCorpus& c = Corpus();
  for (auto _ : state) {
    TMemoryBlockStream stream(c.Bytes.data(), int64_t(c.Bytes.size()));
    TDynImageDataArray images;
    if (!Jpeg().LoadStream(stream, images, true)) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(images.front().bits());
  }
  SetPixels(state);
}

void BM_LoadMemory_Libjpeg(benchmark::State& state) {
  const TCorpus& c = Corpus();
  for (auto _ : state) {
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, c.Bytes.data(), static_cast<unsigned long>(c.Bytes.size()));
    int width = 0, height = 0;
    std::vector<uint8_t> samples = DecodeWithLibrary(info, width, height);
    jpeg_destroy_decompress(&info);
    benchmark::DoNotOptimize(samples.data());
  }
  SetPixels(state);
}

// ---- Saving -------------------------------------------------------------------------

// libjpeg's defaults at the quality with baseline tables, from its own R, G, B decoding.
void EncodeWithLibrary(jpeg_compress_struct& info, const TCorpus& c, int quality) {
  info.image_width = JDIMENSION(c.Width);
  info.image_height = JDIMENSION(c.Height);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  const size_t stride = size_t(c.Width) * 3;
  JSAMPROW rows[16];
  while (info.next_scanline < info.image_height) {
    const JDIMENSION first = info.next_scanline;
    const JDIMENSION count = std::min<JDIMENSION>(16, info.image_height - first);
    for (JDIMENSION i = 0; i < count; ++i)
      rows[i] = const_cast<JSAMPROW>(c.RgbSamples.data() + (first + i) * stride);
    jpeg_write_scanlines(&info, rows, count);
  }
  jpeg_finish_compress(&info);
}

void BM_SaveMemory_Pixolan(benchmark::State& state, F format) {
  const TCorpus& c = Corpus();
  const TImageData& image = format == F::A8R8G8B8 ? c.Argb : c.Rgb;
  EnginePushOptions();
  EngineSetOption(kOptionJpegQuality, int32_t(state.range(0)));
  for (auto _ : state) {
    TMemoryStream stream;
    if (!Jpeg().SaveStream(stream, TImageSpan(&image, 1), true)) state.SkipWithError("failed");
    benchmark::DoNotOptimize(stream.Data().data());
  }
  EnginePopOptions();
  SetPixels(state);
}

void BM_SaveMemory_Libjpeg(benchmark::State& state) {
  const TCorpus& c = Corpus();
  for (auto _ : state) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    EncodeWithLibrary(info, c, int(state.range(0)));
    jpeg_destroy_compress(&info);
    benchmark::DoNotOptimize(buffer);
    std::free(buffer);
  }
  SetPixels(state);
}

void BM_SaveFile_Pixolan(benchmark::State& state) {
  const TCorpus& c = Corpus();
  const std::string target = (fs::temp_directory_path() / "pixolan-jpeg-bench-out.jpg").string();
  EnginePushOptions();
  EngineSetOption(kOptionJpegQuality, int32_t(state.range(0)));
  for (auto _ : state)
    if (!Jpeg().SaveFile(target, TImageSpan(&c.Argb, 1), true)) state.SkipWithError("failed");
  EnginePopOptions();
  fs::remove(target);
  SetPixels(state);
}

void BM_SaveFile_Libjpeg(benchmark::State& state) {
  const TCorpus& c = Corpus();
  const std::string target = (fs::temp_directory_path() / "pixolan-jpeg-bench-lib.jpg").string();
  for (auto _ : state) {
    FILE* file = std::fopen(target.c_str(), "wb");
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    EncodeWithLibrary(info, c, int(state.range(0)));
    jpeg_destroy_compress(&info);
    std::fclose(file);
  }
  fs::remove(target);
  SetPixels(state);
}

constexpr int kRepetitions = 9;

#define PIXOLAN_JPEG_BENCH(...)                                                               \
  __VA_ARGS__->Unit(benchmark::kMillisecond)                                                  \
      ->Repetitions(kRepetitions)                                                             \
      ->ComputeStatistics(                                                                    \
          "min",                                                                              \
          [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }) \
      ->ReportAggregatesOnly(true)

PIXOLAN_JPEG_BENCH(BENCHMARK(BM_LoadFile_Pixolan));
PIXOLAN_JPEG_BENCH(BENCHMARK(BM_LoadFile_Libjpeg));
PIXOLAN_JPEG_BENCH(BENCHMARK(BM_LoadFileAsArgb_Direct));
PIXOLAN_JPEG_BENCH(BENCHMARK(BM_LoadFileAsArgb_Convert));
PIXOLAN_JPEG_BENCH(BENCHMARK(BM_LoadMemory_Pixolan));
PIXOLAN_JPEG_BENCH(BENCHMARK(BM_LoadMemory_Libjpeg));
PIXOLAN_JPEG_BENCH(BENCHMARK_CAPTURE(BM_SaveMemory_Pixolan, ARGB, F::A8R8G8B8)->Arg(90)->Arg(95));
PIXOLAN_JPEG_BENCH(BENCHMARK_CAPTURE(BM_SaveMemory_Pixolan, RGB, F::R8G8B8)->Arg(90)->Arg(95));
PIXOLAN_JPEG_BENCH(BENCHMARK(BM_SaveMemory_Libjpeg)->Arg(90)->Arg(95));
PIXOLAN_JPEG_BENCH(BENCHMARK(BM_SaveFile_Pixolan)->Arg(90)->Arg(95));
PIXOLAN_JPEG_BENCH(BENCHMARK(BM_SaveFile_Libjpeg)->Arg(90)->Arg(95));

}  // namespace
