#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
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

TEST_F(PreviewRendererTest, TheCacheServesUntilANewEpoch) {
  TOutcomes outcomes;
  TPreviewRenderer renderer(outcomes.Deliver());
  renderer.Request(Request(1));
  const TPreviewOutcome first = outcomes.WaitFor(1);
  ASSERT_TRUE(first.Loaded);
  EXPECT_EQ(first.Result.Image.Width, 100);
  EXPECT_EQ(first.Result.Estimated, (TPreviewSize{200, 100}));

  // Gone from the disk, the source still renders from the cache, now with an action.
  std::filesystem::remove(path_);
  TPreviewRequest withActions = Request(2);
  withActions.Settings.emplace();
  withActions.Settings->Enabled[int(ActionId::RotateMirror)] = true;
  withActions.Settings->Rotate = true;
  renderer.Request(withActions);
  const TPreviewOutcome second = outcomes.WaitFor(2);
  ASSERT_TRUE(second.Loaded);
  EXPECT_EQ(second.Result.Image.Width, 50);
  EXPECT_EQ(second.Result.Image.Height, 100);
  EXPECT_EQ(second.Result.Estimated, (TPreviewSize{100, 200}));

  // A new epoch reads the file again, which has gone: nothing to show, and no exception.
  renderer.Request(Request(3, 1));
  const TPreviewOutcome third = outcomes.WaitFor(3);
  EXPECT_FALSE(third.Loaded);
  EXPECT_EQ(third.Result.Image.Width, 0);
  EXPECT_EQ(renderer.Renders(), 3u);
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
