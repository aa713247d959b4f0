#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <mutex>
#include <vector>

#include "core/ImageFiles.h"
#include "core/PreviewRenderer.h"
#include "support/Files.h"
#include "support/TempFolder.h"
#include "support/TestImages.h"

namespace pixolan::core {
namespace {

// Keeps every outcome; the test waits for the one it needs.
class TOutcomes {
 public:
  TPreviewRenderer::TDeliver Deliver() {
    return [this](TPreviewOutcome outcome) {
      const std::lock_guard lock(mutex_);
      outcomes_.push_back(std::move(outcome));
      arrived_.notify_all();
    };
  }
  // The outcome of generation, once it arrived.
  TPreviewOutcome WaitFor(uint64_t generation) {
    std::unique_lock lock(mutex_);
    const bool arrived = arrived_.wait_for(lock, std::chrono::seconds(60), [&] {
      for (const TPreviewOutcome& o : outcomes_)
        if (o.Generation == generation) return true;
      return false;
    });
    if (!arrived) throw std::runtime_error("no outcome");
    for (TPreviewOutcome& o : outcomes_)
      if (o.Generation == generation) return std::move(o);
    return {};
  }
  std::vector<uint64_t> Generations() {
    const std::lock_guard lock(mutex_);
    std::vector<uint64_t> generations;
    for (const TPreviewOutcome& o : outcomes_) generations.push_back(o.Generation);
    return generations;
  }

 private:
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::vector<TPreviewOutcome> outcomes_;
};

class PreviewRendererTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SaveResultImage(path_, test::Filled(200, 100, 0xFF204060))); }
  TPreviewRequest Request(uint64_t generation, uint64_t epoch = 0) const {
    return {.Generation = generation,
            .Path = path_,
            .Zoom = "50%",
            .Box = {300, 200},
            .CacheEpoch = epoch,
            .Settings = std::nullopt};
  }

  test::TTempFolder folder_;
  std::string path_ = folder_.File("source.bmp");
};

TEST_F(PreviewRendererTest, TheCacheServesUntilSomethingItWasReducedForChanges) {
  TOutcomes outcomes;
  TPreviewRenderer renderer(outcomes.Deliver());
  uint64_t generation = 0;
  const auto render = [&](TPreviewRequest request) {
    request.Generation = ++generation;
    renderer.Request(std::move(request));
    return outcomes.WaitFor(generation);
  };
  const TPreviewOutcome first = render(Request(0));
  ASSERT_TRUE(first.Loaded);
  EXPECT_EQ(first.Result.Image.Width, 100);
  EXPECT_EQ(first.Result.Estimated, (TPreviewSize{200, 100}));

  // Other actions run on the cached source.
  TPreviewRequest rotated = Request(0);
  rotated.Settings.emplace();
  rotated.Settings->Enabled[int(ActionId::RotateMirror)] = true;
  rotated.Settings->Rotate = true;
  const TPreviewOutcome second = render(rotated);
  ASSERT_TRUE(second.Loaded);
  EXPECT_EQ(second.Result.Image.Width, 50);
  EXPECT_EQ(second.Result.Image.Height, 100);
  EXPECT_EQ(second.Result.Estimated, (TPreviewSize{100, 200}));
  EXPECT_EQ(renderer.Loads(), 1u);

  struct TCase {
    const char* Name;
    std::function<void(TPreviewRequest&)> Change;
    bool Loads;
  };
  const TCase cases[] = {
      {"a box the zoom does not follow",
       [](TPreviewRequest& r) {
         r.Box = {90, 90};
       },
       false},
      {"a new epoch", [](TPreviewRequest& r) { r.CacheEpoch = 1; }, true},
      {"another zoom", [](TPreviewRequest& r) { r.Zoom = "<Adjust>"; }, true},
      {"a box the zoom follows",
       [](TPreviewRequest& r) {
         r.Box = {80, 80};
       },
       true},
      {"nothing", [](TPreviewRequest&) {}, false},
      {"the file written again",
       [this](TPreviewRequest&) {
         ASSERT_TRUE(SaveResultImage(path_, test::Filled(20, 10, 0xFF000000)));
       },
       true},
  };
  TPreviewRequest request = Request(0);
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const size_t loads = renderer.Loads();
    c.Change(request);
    EXPECT_TRUE(render(request).Loaded);
    EXPECT_EQ(renderer.Loads() - loads, c.Loads ? 1u : 0u);
  }
  EXPECT_EQ(render(request).Result.Estimated, (TPreviewSize{20, 10}));

  // Gone from the disk: nothing to show, and no exception.
  std::filesystem::remove(path_);
  const TPreviewOutcome gone = render(request);
  EXPECT_FALSE(gone.Loaded);
  EXPECT_EQ(gone.Result.Image.Width, 0);
}

TEST_F(PreviewRendererTest, OfTheRequestsThatWaitOnlyTheLastIsComputed) {
  std::promise<void> busy, release;
  std::shared_future<void> released = release.get_future().share();
  TOutcomes outcomes;
  const TPreviewRenderer::TDeliver keep = outcomes.Deliver();
  // The first outcome holds the renderer until every other request is in.
  TPreviewRenderer renderer([&](TPreviewOutcome outcome) {
    if (outcome.Generation == 1) {
      busy.set_value();
      released.wait();
    }
    keep(std::move(outcome));
  });
  renderer.Request(Request(1));
  busy.get_future().wait();
  for (uint64_t generation = 2; generation <= 20; ++generation)
    renderer.Request(Request(generation));
  release.set_value();
  outcomes.WaitFor(20);
  EXPECT_EQ(outcomes.Generations(), (std::vector<uint64_t>{1, 20}));
  EXPECT_EQ(renderer.Renders(), 2u);
}

TEST_F(PreviewRendererTest, AFileThatCannotBeReadShowsNothing) {
  struct TCase {
    const char* Name;
    std::vector<uint8_t> Bytes;
  };
  std::vector<uint8_t> cut = test::ReadFileBytes(path_);
  cut.resize(60);
  const TCase cases[] = {
      {"no image", {'h', 'e', 'l', 'l', 'o'}},
      {"a bitmap cut short", cut},
      {"empty", {}},
  };
  TOutcomes outcomes;
  TPreviewRenderer renderer(outcomes.Deliver());
  uint64_t generation = 0;
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string path = folder_.File(std::string(c.Name) + ".bmp");
    test::WriteFileBytes(path, c.Bytes);
    TPreviewRequest request = Request(++generation);
    request.Path = path;
    renderer.Request(request);
    const TPreviewOutcome outcome = outcomes.WaitFor(generation);
    EXPECT_FALSE(outcome.Loaded);
    EXPECT_EQ(outcome.Result.Image.Width, 0);
  }
}

}  // namespace
}  // namespace pixolan::core
