// Computes previews on a thread of its own, so that the window never waits for a decoder or
// an action: the latest request wins, and the reduced source stays cached between requests.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/ConversionSettings.h"
#include "core/Preview.h"

namespace pixolan::core {

struct TPreviewRequest {
  uint64_t Generation = 0;  // handed back with the outcome
  std::string Path;
  std::string Zoom;
  TPreviewSize Box;
  // The cache holds the source reduced for one path, zoom and box (the box only for zooms
  // that follow it) of one epoch: a new epoch loads the file again.
  uint64_t CacheEpoch = 0;
  // The actions to apply; none when empty.
  std::optional<ConversionSettings> Settings;
};

struct TPreviewOutcome {
  uint64_t Generation = 0;
  // False when the source could not be loaded: Result is empty and Error may say why.
  bool Loaded = false;
  TPreviewResult Result;
  std::string Error;
  // What the pipeline showed, as (catalogue key, argument), in order.
  std::vector<std::pair<std::string, std::string>> Messages;
};

class TPreviewRenderer {
 public:
  // Called on the renderer's thread with each outcome; must not throw.
  using TDeliver = std::function<void(TPreviewOutcome outcome)>;

  explicit TPreviewRenderer(TDeliver deliver);
  // Waits for a preview in progress, drops a waiting request and ends the thread.
  ~TPreviewRenderer();
  TPreviewRenderer(const TPreviewRenderer&) = delete;
  TPreviewRenderer& operator=(const TPreviewRenderer&) = delete;

  // Replaces the request that waits, if any: of a burst only the last is computed.
  void Request(TPreviewRequest request);
  // How many requests were computed so far.
  size_t Renders() const { return renders_.load(); }

 private:
  struct TCache {
    bool Valid = false;
    std::string Path, Zoom;
    TPreviewSize Box;
    uint64_t Epoch = 0;
    TPreviewSource Source;
  };
  void Run();
  TPreviewOutcome Render(const TPreviewRequest& request);

  TDeliver deliver_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::optional<TPreviewRequest> waiting_;
  bool stopping_ = false;
  std::atomic<size_t> renders_{0};
  TCache cache_;  // only the renderer's thread touches it
  std::thread thread_;
};

}  // namespace pixolan::core
