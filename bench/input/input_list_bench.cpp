// Listing a folder of photos: FindFiles alone, then add2list over every file found, once
// with every column (each file's first image decoded, as the window's list shows it) and
// once with the paths only (the format detected from the first bytes, as the command line
// lists files that its run decodes anyway). The difference is what the command line saves
// per batch by not decoding every file twice. 24 JPEG files of 1600x1200 in a temporary
// folder.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "core/ImageFiles.h"
#include "imaging/image/Imaging.h"
#include "input/FolderScan.h"
#include "input/InputList.h"

namespace {

using namespace pixolan;

constexpr int kFiles = 24;

class TSilentMessages final : public input::TListMessages {
 public:
  bool OkForAll() const override { return true; }
  void SetOkForAll(bool) override {}
  void ShowMessage(std::string_view, std::string_view) override {}
};

// A folder of photos, made once and removed at exit.
class TPhotoFolder {
 public:
  TPhotoFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "pixolan-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    path_ = pattern;
    imaging::TImageData image;
    imaging::ImageCreate(1600, 1200, imaging::TImageFormatId::A8R8G8B8, image);
    uint8_t* p = image.bits();
    for (int y = 0; y < 1200; ++y)
      for (int x = 0; x < 1600; ++x, p += 4) {
        const double wave = 100 + 60 * std::sin(x * 0.013) * std::cos(y * 0.019);
        p[0] = uint8_t(wave), p[1] = uint8_t(wave + 40), p[2] = uint8_t(255 - wave), p[3] = 255;
      }
    for (int i = 0; i < kFiles; ++i)
      if (!core::SaveResultImage(path_ + "/photo" + std::to_string(i) + ".jpg", image))
        std::abort();
  }
  ~TPhotoFolder() { std::filesystem::remove_all(path_); }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

const TPhotoFolder& Photos() {
  static const TPhotoFolder folder;
  return folder;
}

void BM_FindFiles(benchmark::State& state) {
  const std::vector<std::string> extensions = {".jpg", ".png"};
  for (auto _ : state) {
    std::vector<std::string> found;
    input::FindFiles(found, Photos().Path(), extensions, true);
    benchmark::DoNotOptimize(found.data());
  }
}
BENCHMARK(BM_FindFiles);

void BM_ListFolder(benchmark::State& state, input::TListDetail detail) {
  std::vector<std::string> found;
  input::FindFiles(found, Photos().Path(), std::vector<std::string>{".jpg"}, false);
  TSilentMessages messages;
  input::TListOptions options;
  options.Detail = detail;
  options.DecimalSeparator = ".";
  for (auto _ : state) {
    input::TInputList list(messages, options);
    for (const std::string& path : found) list.add2list(path);
    if (list.Count() != found.size()) state.SkipWithError("a photo was refused");
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(found.size()));
}
BENCHMARK_CAPTURE(BM_ListFolder, Columns, input::TListDetail::Columns)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ListFolder, PathsOnly, input::TListDetail::PathsOnly)
    ->Unit(benchmark::kMillisecond);

}  // namespace
