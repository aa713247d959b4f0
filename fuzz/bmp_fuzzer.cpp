// Decodes arbitrary bytes with the Windows bitmap handler from memory; what decodes is
// written back (run-length encoded or not, as the last input byte chooses) and read again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "imaging/Imaging.h"
#include "imaging/Options.h"
#include "imaging/Registry.h"
#include "imaging/formats/BitmapFormat.h"

namespace {

using namespace pixolan::imaging;

// A run-length bitmap may announce up to 2^28 pixels with a handful of bytes (an early end
// of bitmap leaves the rest at index 0), and the engine accepts that many. Such inputs only
// slow the fuzzer down (each one is decoded, converted, written and read again), so more
// than 64K pixels are skipped. Uncompressed claims are checked against the data before
// anything is allocated, so little is lost.
bool ClaimsTooManyPixels(const uint8_t* data, size_t size) {
  if (size < 26) return false;
  const auto u16 = [&](size_t at) { return uint32_t(data[at] | data[at + 1] << 8); };
  const auto i32 = [&](size_t at) { return int64_t(int32_t(u16(at) | u16(at + 2) << 16)); };
  int64_t width = 0, height = 0;
  if (u16(14) == 12 && u16(16) == 0) {
    width = u16(18), height = u16(20);
  } else {
    width = i32(18), height = i32(22);
  }
  return std::llabs(width) * std::llabs(height) > (int64_t(1) << 16);
}

void Check(bool condition) {
  if (!condition) std::abort();
}

// Colors of an image as A8R8G8B8, alpha left out: whether alpha survives a round trip
// depends on the alpha rules (all-zero alpha reads back as none).
std::vector<uint8_t> Colors(const TImageData& image) {
  TImageData clone;
  Check(ImageClone(image, clone) && ImageConvert(clone, TImageFormatId::A8R8G8B8));
  std::vector<uint8_t> colors;
  for (int32_t i = 0; i < clone.Size; i += 4)
    colors.insert(colors.end(), clone.bits() + i, clone.bits() + i + 3);
  return colors;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static TBitmapFileFormat* const bmp = [] {
    RegisterBuiltinFormats();
    return FindFileFormatByClass<TBitmapFileFormat>();
  }();
  if (ClaimsTooManyPixels(data, size)) return 0;
  const bool rle = size > 0 && (data[size - 1] & 1);

  TMemoryBlockStream stream(data, int64_t(size));
  TDynImageDataArray images;
  try {
    if (!bmp->LoadStream(stream, images, true)) std::abort();  // refusals raise
  } catch (const EImagingError&) {
    return 0;
  }
  Check(images.size() == 1 && ImageIsValid(images[0]));
  const TImageData& image = images[0];

  EngineSetOption(kOptionBitmapRLE, rle);
  TMemoryStream saved;
  Check(bmp->SaveStream(saved, TImageSpan(&image, 1), true));
  TMemoryBlockStream again(saved.Data().data(), int64_t(saved.Data().size()));
  TDynImageDataArray reloaded;
  Check(bmp->LoadStream(again, reloaded, true) && reloaded.size() == 1);
  Check(reloaded[0].Width == image.Width && reloaded[0].Height == image.Height);
  Check(Colors(reloaded[0]) == Colors(image));
  return 0;
}
