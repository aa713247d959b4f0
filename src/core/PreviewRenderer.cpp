#include "core/PreviewRenderer.h"

#include <exception>
#include <new>

#include "core/MessageSink.h"

namespace pixolan::core {

namespace {

class TCollectedMessages final : public TMessageSink {
 public:
  explicit TCollectedMessages(std::vector<std::pair<std::string, std::string>>& messages)
      : messages_(messages) {}
  void ShowMessage(const std::string& key, const std::string& argument) override {
    try {
      messages_.emplace_back(key, argument);
    } catch (const std::bad_alloc&) {
      // A message lost for want of memory must not end the preview.
    }
  }

 private:
  std::vector<std::pair<std::string, std::string>>& messages_;
};

}  // namespace

TPreviewRenderer::TPreviewRenderer(TDeliver deliver)
    : deliver_(std::move(deliver)), thread_([this] { Run(); }) {}

TPreviewRenderer::~TPreviewRenderer() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
    waiting_.reset();
  }
  wake_.notify_one();
  thread_.join();
}

void TPreviewRenderer::Request(TPreviewRequest request) {
  {
    const std::lock_guard lock(mutex_);
    waiting_ = std::move(request);
  }
  wake_.notify_one();
}

void TPreviewRenderer::Run() {
  for (;;) {
    TPreviewRequest request;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || waiting_.has_value(); });
      if (stopping_) return;
      request = std::move(*waiting_);
      waiting_.reset();
    }
    TPreviewOutcome outcome = Render(request);
    ++renders_;
    deliver_(std::move(outcome));
  }
}

TPreviewOutcome TPreviewRenderer::Render(const TPreviewRequest& request) {
  TPreviewOutcome outcome;
  outcome.Generation = request.Generation;
  const bool followsBox = ZoomFollowsBox(request.Zoom);
  const bool cached = cache_.Valid && cache_.Path == request.Path && cache_.Zoom == request.Zoom &&
                      cache_.Epoch == request.CacheEpoch &&
                      (!followsBox || cache_.Box == request.Box);
  try {
    if (!cached) {
      cache_.Valid = false;
      if (!LoadPreviewSource(request.Path, request.Zoom, request.Box, cache_.Source)) {
        outcome.Error = "No image format recognises the file.";
        return outcome;
      }
      cache_.Path = request.Path;
      cache_.Zoom = request.Zoom;
      cache_.Box = request.Box;
      cache_.Epoch = request.CacheEpoch;
      cache_.Valid = true;
    }
    TCollectedMessages messages(outcome.Messages);
    outcome.Result = RenderPreview(cache_.Source, request.Path,
                                   request.Settings ? &*request.Settings : nullptr, messages);
    outcome.Loaded = true;
  } catch (const std::exception& e) {
    // A file that cannot be read (or memory that runs out) shows nothing; the window goes
    // on as before.
    outcome.Loaded = false;
    outcome.Result = {};
    outcome.Error = e.what();
  } catch (...) {
    outcome.Loaded = false;
    outcome.Result = {};
  }
  return outcome;
}

}  // namespace pixolan::core
