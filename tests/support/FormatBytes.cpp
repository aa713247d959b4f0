#include "support/FormatBytes.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "imaging/io/ImagingIO.h"
#include "imaging/io/Options.h"

namespace pixolan::test {

using namespace imaging;

namespace {

class TOptionScope {
 public:
  explicit TOptionScope(TOptionValues options) : pushed_(options.size() > 0) {
    if (!pushed_) return;
    if (!EnginePushOptions()) throw std::runtime_error("the engine's option stack is full");
    for (const auto& [id, value] : options) {
      if (!EngineSetOption(id, value)) {
        EnginePopOptions();
        throw std::runtime_error("engine option " + std::to_string(id) + " is not bound");
      }
    }
  }
  ~TOptionScope() {
    if (pushed_) EnginePopOptions();
  }
  TOptionScope(const TOptionScope&) = delete;
  TOptionScope& operator=(const TOptionScope&) = delete;

 private:
  bool pushed_;
};

}  // namespace

TDynImageDataArray LoadAllBytes(TImageFileFormat& handler, std::span<const uint8_t> bytes,
                                bool onlyFirst) {
  TMemoryBlockStream stream(bytes.data(), int64_t(bytes.size()));
  TDynImageDataArray images;
  if (!handler.LoadStream(stream, images, onlyFirst))
    throw std::runtime_error("load returned false");
  return images;
}

TImageData LoadBytes(TImageFileFormat& handler, std::span<const uint8_t> bytes) {
  TDynImageDataArray images = LoadAllBytes(handler, bytes, true);
  if (images.size() != 1)
    throw std::runtime_error("load gave " + std::to_string(images.size()) + " images, not one");
  return std::move(images.front());
}

std::vector<uint8_t> SaveBytes(TImageFileFormat& handler, TImageSpan images, TOptionValues options,
                               bool onlyFirst) {
  const TOptionScope scope(options);
  TMemoryStream stream;
  if (!handler.SaveStream(stream, images, onlyFirst))
    throw std::runtime_error("save returned false");
  return stream.Data();
}

std::vector<uint8_t> SaveBytes(TImageFileFormat& handler, const TImageData& image,
                               TOptionValues options) {
  return SaveBytes(handler, TImageSpan(&image, 1), options, true);
}

bool ContentAccepted(TImageFileFormat& handler, std::span<const uint8_t> bytes) {
  TMemoryBlockStream stream(bytes.data(), int64_t(bytes.size()));
  TIOHandle handle = TStreamIO::OpenRead(stream);
  const bool accepted = handler.TestContent(handle);
  EXPECT_EQ(handle.Tell(), 0) << "the content test moved the position";
  return accepted;
}

}  // namespace pixolan::test
