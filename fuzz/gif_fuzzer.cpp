// Decodes arbitrary bytes with the GIF handler from memory, composed or frame by frame and
// with or without onlyFirst as the last input byte chooses; what decodes is written back
// and read again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "imaging/formats/GifFormat.h"
#include "imaging/image/Imaging.h"
#include "imaging/io/Registry.h"

namespace {

using namespace pixolan::imaging;
using F = TImageFormatId;

// The handler accepts screens up to 2^28 pixels and up to 2 GiB of decoded images per load,
// more than libFuzzer's 2 GB memory cap. A screen costs 4 bytes a pixel for every composed
// frame whatever the data, so inputs with large screens are skipped here (their refusal is
// covered by the unit tests): 16K pixels when every frame is composed, 1M for one frame, which
// also keeps the runs fast enough to explore the block structure.
bool ScreenTooLarge(const uint8_t* data, size_t size, bool onlyFirst) {
  if (size < 10) return false;
  const uint64_t pixels = uint64_t(data[6] | data[7] << 8) * uint64_t(data[8] | data[9] << 8);
  return pixels > (onlyFirst ? (uint64_t(1) << 20) : (uint64_t(1) << 14));
}

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static TGIFFileFormat* const gif = FindFileFormatByClass<TGIFFileFormat>();
  const uint8_t knob = size > 0 ? data[size - 1] : 0;
  const bool onlyFirst = knob & 1;
  const bool animated = (knob & 2) == 0;
  if (ScreenTooLarge(data, size, onlyFirst)) return 0;

  gif->LoadAnimated = animated ? 1 : 0;
  TMemoryBlockStream stream(data, int64_t(size));
  TDynImageDataArray images;
  try {
    if (!gif->LoadStream(stream, images, onlyFirst)) std::abort();  // refusals raise
  } catch (const EImagingError&) {
    return 0;
  }
  Check(!images.empty() && (!onlyFirst || images.size() == 1));
  const int32_t screenWidth = data[6] | data[7] << 8;
  const int32_t screenHeight = data[8] | data[9] << 8;
  for (const TImageData& image : images) {
    Check(ImageIsValid(image));
    if (animated) {
      Check(image.Format == F::A8R8G8B8 && image.Width == screenWidth &&
            image.Height == screenHeight);
    } else {
      Check(image.Format == F::Index8 && image.Width <= screenWidth &&
            image.Height <= screenHeight);
    }
  }

  // Index8 frames are written as they are: their indices come back unchanged.
  TMemoryStream written;
  Check(gif->SaveStream(written, images, false));
  const std::vector<uint8_t>& bytes = written.Data();
  TMemoryBlockStream again(bytes.data(), int64_t(bytes.size()));
  TDynImageDataArray reread;
  gif->LoadAnimated = 0;
  Check(gif->LoadStream(again, reread, false));
  Check(reread.size() == images.size());
  for (size_t i = 0; i < images.size(); ++i) {
    Check(reread[i].Width == images[i].Width && reread[i].Height == images[i].Height);
    if (!animated)
      Check(std::memcmp(reread[i].bits(), images[i].bits(), size_t(images[i].Size)) == 0);
  }
  return 0;
}
