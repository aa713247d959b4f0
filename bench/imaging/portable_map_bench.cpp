// Loading 1000x1000 portable maps, PCX and XPM files from memory, and saving the program's
// A8R8G8B8 images as PPM and PAM. The 8-bit PPM of MAXVAL 255 takes the path that stores
// samples as they are; MAXVAL 254 is the same data through the general path, its baseline.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "imaging/formats/PcxFormat.h"
#include "imaging/formats/PortableMapFormat.h"
#include "imaging/formats/XpmFormat.h"
#include "imaging/image/Imaging.h"
#include "imaging/io/ImagingIO.h"
#include "imaging/io/Registry.h"

namespace {

using namespace pixolan::imaging;

constexpr int kSide = 1000;

std::vector<uint8_t> Samples(size_t count, uint32_t top) {
  std::mt19937 rng(7);
  std::vector<uint8_t> out(count);
  for (uint8_t& v : out) v = uint8_t(rng() % (top + 1));
  return out;
}

std::vector<uint8_t> Ppm(int maxval, bool plain) {
  const std::vector<uint8_t> samples =
      Samples(size_t(kSide) * kSide * 3, uint32_t(std::min(maxval, 255)));
  std::string text = std::string(plain ? "P3\n" : "P6\n") + std::to_string(kSide) + " " +
                     std::to_string(kSide) + "\n" + std::to_string(maxval) + "\n";
  std::vector<uint8_t> bytes(text.begin(), text.end());
  for (uint8_t v : samples) {
    if (!plain) {
      if (maxval > 255) bytes.push_back(0);
      bytes.push_back(v);
      continue;
    }
    const std::string number = std::to_string(v) + " ";
    bytes.insert(bytes.end(), number.begin(), number.end());
  }
  return bytes;
}

// 24-bit PCX, run-length coded: runs of 1..8 equal bytes.
std::vector<uint8_t> Pcx() {
  std::vector<uint8_t> b(128, 0);
  b[0] = 10, b[1] = 5, b[2] = 1, b[3] = 8;
  b[8] = uint8_t((kSide - 1) & 0xFF), b[9] = uint8_t((kSide - 1) >> 8);
  b[10] = b[8], b[11] = b[9];
  b[65] = 3, b[66] = uint8_t(kSide & 0xFF), b[67] = uint8_t(kSide >> 8), b[68] = 1;
  std::mt19937 rng(3);
  const size_t total = size_t(kSide) * 3 * kSide;
  for (size_t filled = 0; filled < total;) {
    const size_t run = std::min<size_t>(1 + rng() % 8, total - filled);
    b.push_back(uint8_t(0xC0 | run));
    b.push_back(uint8_t(rng()));
    filled += run;
  }
  return b;
}

// Two characters a pixel, 4096 colors.
std::vector<uint8_t> Xpm() {
  const char* chars = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789+-";
  std::string text = "/* XPM */\nstatic char *b[] = {\n\"" + std::to_string(kSide) + " " +
                     std::to_string(kSide) + " 4096 2\",\n";
  char color[16];
  for (int i = 0; i < 4096; ++i) {
    std::snprintf(color, sizeof(color), "#%06X", i * 4093);
    text += std::string("\"") + chars[i / 64] + chars[i % 64] + " c " + color + "\",\n";
  }
  std::mt19937 rng(5);
  for (int y = 0; y < kSide; ++y) {
    text += '"';
    for (int x = 0; x < kSide; ++x) {
      const uint32_t i = rng() % 4096;
      text += chars[i / 64];
      text += chars[i % 64];
    }
    text += "\",\n";
  }
  text += "};\n";
  return {text.begin(), text.end()};
}

template <class T>
void Load(benchmark::State& state, const std::vector<uint8_t>& bytes) {
  T& handler = *FindFileFormatByClass<T>();
  for (auto _ : state) {
    TMemoryBlockStream stream(bytes.data(), int64_t(bytes.size()));
    TDynImageDataArray images;
    handler.LoadStream(stream, images, true);
    benchmark::DoNotOptimize(images.data());
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kSide * kSide);
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}

void BM_LoadPpm8(benchmark::State& state) {
  Load<TPPMFileFormat>(state, Ppm(255, false));
}
BENCHMARK(BM_LoadPpm8)->Unit(benchmark::kMillisecond);
void BM_LoadPpm8Stretched(benchmark::State& state) {
  Load<TPPMFileFormat>(state, Ppm(254, false));
}
BENCHMARK(BM_LoadPpm8Stretched)->Unit(benchmark::kMillisecond);
void BM_LoadPpm16(benchmark::State& state) {
  Load<TPPMFileFormat>(state, Ppm(65535, false));
}
BENCHMARK(BM_LoadPpm16)->Unit(benchmark::kMillisecond);
void BM_LoadPpmPlain(benchmark::State& state) {
  Load<TPPMFileFormat>(state, Ppm(255, true));
}
BENCHMARK(BM_LoadPpmPlain)->Unit(benchmark::kMillisecond);
void BM_LoadPcx24(benchmark::State& state) {
  Load<TPCXFileFormat>(state, Pcx());
}
BENCHMARK(BM_LoadPcx24)->Unit(benchmark::kMillisecond);
void BM_LoadXpm(benchmark::State& state) {
  Load<TXPMFileFormat>(state, Xpm());
}
BENCHMARK(BM_LoadXpm)->Unit(benchmark::kMillisecond);

// The program's path: an A8R8G8B8 image saved as PPM (converted to R8G8B8) or PAM (as it is).
template <class T>
void Save(benchmark::State& state) {
  T& handler = *FindFileFormatByClass<T>();
  TImageData image;
  ImageCreate(kSide, kSide, TImageFormatId::A8R8G8B8, image);
  const std::vector<uint8_t> samples = Samples(size_t(image.Size), 255);
  std::copy(samples.begin(), samples.end(), image.bits());
  for (auto _ : state) {
    TMemoryStream stream;
    handler.SaveStream(stream, TImageSpan(&image, 1), true);
    benchmark::DoNotOptimize(stream.Data().data());
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kSide * kSide);
}
void BM_SavePpm(benchmark::State& state) {
  Save<TPPMFileFormat>(state);
}
BENCHMARK(BM_SavePpm)->Unit(benchmark::kMillisecond);
void BM_SavePam(benchmark::State& state) {
  Save<TPAMFileFormat>(state);
}
BENCHMARK(BM_SavePam)->Unit(benchmark::kMillisecond);

}  // namespace
