// What the preview's cache saves: the first preview of a 4000x3000 JPEG photo (decode,
// bilinear reduction to the 501x245 box, actions on the reduced image), a change of an
// action setting afterwards (the actions again on the cached reduced image), and as the
// baseline the same actions on the full-size image, which a preview without reduction
// would run on every change.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "core/ImageFiles.h"
#include "core/Pipeline.h"
#include "core/Preview.h"
#include "imaging/image/Imaging.h"

namespace {

using namespace pixolan;

constexpr core::TPreviewSize kBox{501, 245};

class TSilent final : public core::TMessageSink {
 public:
  void ShowMessage(const std::string&, const std::string&) override {}
};

// A photo in a temporary folder, made once and removed at exit.
class TPhoto {
 public:
  TPhoto() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "pixolan-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    folder_ = pattern;
    imaging::TImageData image;
    imaging::ImageCreate(4000, 3000, imaging::TImageFormatId::A8R8G8B8, image);
    uint8_t* p = image.bits();
    for (int y = 0; y < 3000; ++y)
      for (int x = 0; x < 4000; ++x, p += 4) {
        const double wave = 100 + 60 * std::sin(x * 0.013) * std::cos(y * 0.019);
        p[0] = uint8_t(wave), p[1] = uint8_t(wave + 40), p[2] = uint8_t(255 - wave), p[3] = 255;
      }
    path_ = (folder_ / "photo.jpg").string();
    if (!core::SaveResultImage(path_, image)) std::abort();
  }
  ~TPhoto() { std::filesystem::remove_all(folder_); }
  const std::string& Path() const { return path_; }

 private:
  std::filesystem::path folder_;
  std::string path_;
};

const TPhoto& Photo() {
  static const TPhoto photo;
  return photo;
}

// Contrast and sharpen: point and neighbourhood work on every pixel.
core::ConversionSettings Actions() {
  core::ConversionSettings settings;
  settings.Enabled[int(core::ActionId::ContrastBrightnessSaturation)] = true;
  settings.Contrast = "30";
  settings.Enabled[int(core::ActionId::Sharpen)] = true;
  settings.ActionStep[int(core::ActionId::Sharpen)] = 1;
  return settings;
}

void BM_FirstPreview(benchmark::State& state) {
  const core::ConversionSettings settings = Actions();
  TSilent messages;
  for (auto _ : state) {
    core::TPreviewSource source;
    if (!core::LoadPreviewSource(Photo().Path(), "<Adjust>", kBox, source)) std::abort();
    core::TPreviewResult result = core::RenderPreview(source, Photo().Path(), &settings, messages);
    benchmark::DoNotOptimize(result.Image.bits());
  }
}

void BM_PreviewFromCache(benchmark::State& state) {
  const core::ConversionSettings settings = Actions();
  TSilent messages;
  core::TPreviewSource source;
  if (!core::LoadPreviewSource(Photo().Path(), "<Adjust>", kBox, source)) std::abort();
  for (auto _ : state) {
    core::TPreviewResult result = core::RenderPreview(source, Photo().Path(), &settings, messages);
    benchmark::DoNotOptimize(result.Image.bits());
  }
}

void BM_ActionsAtFullSize(benchmark::State& state) {
  const core::ConversionSettings settings = Actions();
  TSilent messages;
  imaging::TImageData image;
  if (!core::LoadSourceImage(Photo().Path(), image)) std::abort();
  for (auto _ : state) {
    imaging::TImageData result;
    core::Konvertieren(image, Photo().Path(), result, 1.0L, settings, messages);
    benchmark::DoNotOptimize(result.bits());
  }
}

BENCHMARK(BM_FirstPreview)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PreviewFromCache)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ActionsAtFullSize)->Unit(benchmark::kMillisecond);

}  // namespace
