// TIFF coding of a 2000x1500 RGB photo-like image with LZW and Deflate, against libtiff's
// own tiffcp on the same files. Each pair does the same work: "Decode" reads the compressed
// file and writes it uncompressed (tiffcp -c none), "Encode" reads the uncompressed file and
// writes it compressed (tiffcp -c lzw / -c zip). tiffcp runs as a program, so its times
// include a process start (about a millisecond). On a shared machine wall times wander, so
// the tiffcp rows also count the program's own CPU time ("cpu_ms", user + system), to set
// against the CPU column of the engine's rows. The in-memory rows time the handler alone.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "imaging/formats/TiffFormat.h"
#include "imaging/image/Imaging.h"
#include "imaging/io/ImagingIO.h"
#include "imaging/io/Options.h"
#include "imaging/io/Registry.h"

namespace {

using namespace pixolan::imaging;
namespace fs = std::filesystem;

constexpr int kWidth = 2000;
constexpr int kHeight = 1500;

// Smooth gradients and waves with sensor-like noise.
TImageData MakePhoto() {
  TImageData image;
  ImageCreate(kWidth, kHeight, TImageFormatId::R8G8B8, image);
  std::mt19937 rng(7);
  std::normal_distribution<float> noise(0.0f, 3.0f);
  uint8_t* p = image.bits();
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x, p += 3) {
      const float base = 110 + 60 * std::sin(x * 0.011f) * std::cos(y * 0.017f) + y * 0.05f;
      for (int c = 0; c < 3; ++c)
        p[c] = uint8_t(std::clamp(base + c * 25 + 20 * std::sin((x + y * c) * 0.003f) + noise(rng),
                                  0.0f, 255.0f));
    }
  }
  return image;
}

TTiffFileFormat& Tiff() {
  return *FindFileFormatByClass<TTiffFileFormat>();
}

void Save(const TImageData& image, int32_t compression, const std::string& file) {
  EngineSetOption(kOptionTiffCompressionIndex, compression);
  TFileStream stream(file, TFileMode::Create);
  Tiff().SaveStream(stream, TImageSpan(&image, 1), true);
  stream.Close();
}

// The files both sides work on, made once per run.
struct TFiles {
  fs::path Folder = fs::temp_directory_path() / ("pixolan-tiff-bench-" + std::to_string(getpid()));
  TImageData Image = MakePhoto();

  TFiles() {
    fs::create_directories(Folder);
    Save(Image, kTiffCompressionNone, Path("none"));
    Save(Image, kTiffCompressionLZW, Path("lzw"));
    Save(Image, kTiffCompressionDeflate, Path("deflate"));
  }
  ~TFiles() { fs::remove_all(Folder); }
  std::string Path(const std::string& name) const { return (Folder / (name + ".tif")).string(); }
};

TFiles& Files() {
  static TFiles files;
  return files;
}

// CPU time (user + system) the finished child processes used so far, in milliseconds.
double ChildrenCpuMs() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  const auto ms = [](const timeval& t) { return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3; };
  return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// Runs the command once per iteration and reports its CPU time per run.
void RunTiffcp(benchmark::State& state, const std::string& command) {
  const double before = ChildrenCpuMs();
  for (auto _ : state)
    if (std::system(command.c_str()) != 0) state.SkipWithError("tiffcp failed");
  state.counters["cpu_ms"] =
      benchmark::Counter((ChildrenCpuMs() - before) / double(state.iterations()));
}

const char* NameOf(int32_t compression) {
  return compression == kTiffCompressionLZW ? "lzw" : "deflate";
}

void BM_OursDecode(benchmark::State& state) {
  const int32_t compression = int32_t(state.range(0));
  const std::string in = Files().Path(NameOf(compression)), out = Files().Path("ours-out");
  for (auto _ : state) {
    TDynImageDataArray images;
    Tiff().LoadFile(in, images, true);
    Save(images[0], kTiffCompressionNone, out);
  }
  state.SetLabel(NameOf(compression));
}

void BM_TiffcpDecode(benchmark::State& state) {
  const int32_t compression = int32_t(state.range(0));
  const std::string command =
      "tiffcp -c none " + Files().Path(NameOf(compression)) + " " + Files().Path("tiffcp-out");
  RunTiffcp(state, command);
  state.SetLabel(NameOf(compression));
}

void BM_OursEncode(benchmark::State& state) {
  const int32_t compression = int32_t(state.range(0));
  const std::string in = Files().Path("none"), out = Files().Path("ours-out");
  for (auto _ : state) {
    TDynImageDataArray images;
    Tiff().LoadFile(in, images, true);
    Save(images[0], compression, out);
  }
  state.SetLabel(NameOf(compression));
}

void BM_TiffcpEncode(benchmark::State& state) {
  const int32_t compression = int32_t(state.range(0));
  const std::string command = std::string("tiffcp -c ") +
                              (compression == kTiffCompressionLZW ? "lzw " : "zip ") +
                              Files().Path("none") + " " + Files().Path("tiffcp-out");
  RunTiffcp(state, command);
  state.SetLabel(NameOf(compression));
}

// The handler alone, from and to memory.
void BM_DecodeInMemory(benchmark::State& state) {
  const int32_t compression = int32_t(state.range(0));
  EngineSetOption(kOptionTiffCompressionIndex, compression);
  TMemoryStream saved;
  Tiff().SaveStream(saved, TImageSpan(&Files().Image, 1), true);
  for (auto _ : state) {
    TMemoryBlockStream stream(saved.Data().data(), int64_t(saved.Data().size()));
    TDynImageDataArray images;
    Tiff().LoadStream(stream, images, true);
    benchmark::DoNotOptimize(images[0].bits());
  }
  state.SetLabel(NameOf(compression));
}

void BM_EncodeInMemory(benchmark::State& state) {
  const int32_t compression = int32_t(state.range(0));
  for (auto _ : state) {
    EngineSetOption(kOptionTiffCompressionIndex, compression);
    TMemoryStream saved;
    Tiff().SaveStream(saved, TImageSpan(&Files().Image, 1), true);
    benchmark::DoNotOptimize(saved.Data().data());
  }
  state.SetLabel(NameOf(compression));
}

#define PIXOLAN_TIFF_BENCH(name)      \
  BENCHMARK(name)                     \
      ->Arg(kTiffCompressionLZW)      \
      ->Arg(kTiffCompressionDeflate)  \
      ->Unit(benchmark::kMillisecond) \
      ->UseRealTime()                 \
      ->Repetitions(5)                \
      ->ReportAggregatesOnly(true)

PIXOLAN_TIFF_BENCH(BM_OursDecode);
PIXOLAN_TIFF_BENCH(BM_TiffcpDecode);
PIXOLAN_TIFF_BENCH(BM_OursEncode);
PIXOLAN_TIFF_BENCH(BM_TiffcpEncode);
PIXOLAN_TIFF_BENCH(BM_DecodeInMemory);
PIXOLAN_TIFF_BENCH(BM_EncodeInMemory);

}  // namespace
