#include "imaging/io/Options.h"

#include <algorithm>
#include <mutex>
#include <optional>
#include <vector>

#include "imaging/image/Formats.h"
#include "imaging/io/Registry.h"

namespace pixolan::imaging {

namespace {

constexpr size_t kInitialSlots = 256;
constexpr int32_t kGrowthMargin = 256;

std::atomic<int32_t> gColorReductionMask{255};
std::atomic<int32_t> gLoadOverrideFormat{0};
std::atomic<int32_t> gSaveOverrideFormat{0};

// Set when the registry has been destroyed at exit; bindings removed after that are
// ignored instead of touching a dead object. Trivially destructible, so always readable.
bool gRegistryGone = false;

class TOptionRegistry {
 public:
  TOptionRegistry() : slots_(kInitialSlots, nullptr) {
    Bind(kOptionColorReductionMask, &gColorReductionMask);
    Bind(kOptionLoadOverrideFormat, &gLoadOverrideFormat);
    Bind(kOptionSaveOverrideFormat, &gSaveOverrideFormat);
  }
  ~TOptionRegistry() { gRegistryGone = true; }
  TOptionRegistry(const TOptionRegistry&) = delete;
  TOptionRegistry& operator=(const TOptionRegistry&) = delete;

  bool Register(int32_t id, std::atomic<int32_t>* variable) {
    std::lock_guard lock(mutex_);
    return Bind(id, variable);
  }

  bool Unregister(int32_t id, const std::atomic<int32_t>* variable) {
    std::lock_guard lock(mutex_);
    if (id < 0 || size_t(id) >= slots_.size() || slots_[size_t(id)] != variable) return false;
    slots_[size_t(id)] = nullptr;
    return true;
  }

  bool Set(int32_t id, int32_t value) {
    std::lock_guard lock(mutex_);
    std::atomic<int32_t>* slot = Slot(id);
    if (!slot) return false;
    slot->store(Adjust(id, value), std::memory_order_relaxed);
    return true;
  }

  int32_t Get(int32_t id) {
    std::lock_guard lock(mutex_);
    std::atomic<int32_t>* slot = Slot(id);
    return slot ? slot->load(std::memory_order_relaxed) : OptionInvalid;
  }

  bool Push() {
    std::lock_guard lock(mutex_);
    if (stack_.size() >= size_t(kOptionStackDepth)) return false;
    std::vector<std::optional<int32_t>> saved(slots_.size());
    for (size_t i = 0; i < slots_.size(); ++i)
      if (slots_[i]) saved[i] = slots_[i]->load(std::memory_order_relaxed);
    stack_.push_back(std::move(saved));
    return true;
  }

  bool Pop() {
    std::lock_guard lock(mutex_);
    if (stack_.empty()) return false;
    const std::vector<std::optional<int32_t>> saved = std::move(stack_.back());
    stack_.pop_back();
    // Ids bound after the push keep their values; ids unbound since are skipped.
    const size_t n = std::min(saved.size(), slots_.size());
    for (size_t i = 0; i < n; ++i)
      if (saved[i] && slots_[i]) slots_[i]->store(*saved[i], std::memory_order_relaxed);
    return true;
  }

 private:
  bool Bind(int32_t id, std::atomic<int32_t>* variable) {
    if (id < 0 || id > kMaxOptionId || !variable) return false;
    if (size_t(id) >= slots_.size()) slots_.resize(size_t(id) + kGrowthMargin, nullptr);
    if (slots_[size_t(id)]) return false;
    slots_[size_t(id)] = variable;
    return true;
  }

  std::atomic<int32_t>* Slot(int32_t id) const {
    if (id < 0 || size_t(id) >= slots_.size()) return nullptr;
    return slots_[size_t(id)];
  }

  static int32_t Adjust(int32_t id, int32_t value) {
    switch (id) {
      case kOptionColorReductionMask:
        return std::clamp(value, 0, 255);
      case kOptionLoadOverrideFormat:
      case kOptionSaveOverrideFormat:
        return GetFormatDescriptor(TImageFormatId(value)) ? value : 0;
      default:
        return value;
    }
  }

  std::mutex mutex_;
  std::vector<std::atomic<int32_t>*> slots_;
  std::vector<std::vector<std::optional<int32_t>>> stack_;
};

TOptionRegistry& Registry() {
  static TOptionRegistry registry;
  return registry;
}

TImageFormatId OverrideFormat(const std::atomic<int32_t>& variable) {
  const auto format = TImageFormatId(variable.load(std::memory_order_relaxed));
  return GetFormatDescriptor(format) ? format : TImageFormatId::Unknown;
}

}  // namespace

bool RegisterEngineOption(int32_t id, std::atomic<int32_t>* variable) {
  return Registry().Register(id, variable);
}

bool UnregisterEngineOption(int32_t id, const std::atomic<int32_t>* variable) {
  if (gRegistryGone) return false;
  return Registry().Unregister(id, variable);
}

// The handlers bind their options when the registry creates them, so every entry point
// that reads or sets option values makes sure they exist: an option set before the first
// load must reach its handler.
bool EngineSetOption(int32_t id, int32_t value) {
  detail::EnsureBuiltinFormats();
  return Registry().Set(id, value);
}

int32_t EngineGetOption(int32_t id) {
  detail::EnsureBuiltinFormats();
  return Registry().Get(id);
}

bool EnginePushOptions() {
  detail::EnsureBuiltinFormats();
  return Registry().Push();
}

bool EnginePopOptions() {
  detail::EnsureBuiltinFormats();
  return Registry().Pop();
}

uint8_t ColorReductionMask() {
  return uint8_t(std::clamp(gColorReductionMask.load(std::memory_order_relaxed), 0, 255));
}

TImageFormatId LoadOverrideFormat() {
  return OverrideFormat(gLoadOverrideFormat);
}

TImageFormatId SaveOverrideFormat() {
  return OverrideFormat(gSaveOverrideFormat);
}

void EnsureOptionRegistry() {
  Registry();
}

}  // namespace pixolan::imaging
