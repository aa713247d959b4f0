// Decodes arbitrary bytes with the Targa handler from memory; what decodes is written back
// (run-length encoded or not, as the last input byte chooses) and read again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "imaging/Imaging.h"
#include "imaging/Options.h"
#include "imaging/Registry.h"
#include "imaging/formats/TargaFormat.h"

namespace {

using namespace pixolan::imaging;

// No limit on the announced size is needed here: the reader refuses any claim that its
// data cannot hold (at most 128 pixels per run-length packet) before it allocates.

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
  static TTargaFileFormat* const tga = [] {
    RegisterBuiltinFormats();
    return FindFileFormatByClass<TTargaFileFormat>();
  }();
  const bool rle = size > 0 && (data[size - 1] & 1);

  TMemoryBlockStream stream(data, int64_t(size));
  TDynImageDataArray images;
  try {
    if (!tga->LoadStream(stream, images, true)) std::abort();  // refusals raise
  } catch (const EImagingError&) {
    return 0;
  }
  Check(images.size() == 1 && ImageIsValid(images[0]));
  const TImageData& image = images[0];

  EngineSetOption(kOptionTargaRLE, rle);
  TMemoryStream saved;
  Check(tga->SaveStream(saved, TImageSpan(&image, 1), true));
  TMemoryBlockStream again(saved.Data().data(), int64_t(saved.Data().size()));
  TDynImageDataArray reloaded;
  Check(tga->LoadStream(again, reloaded, true) && reloaded.size() == 1);
  Check(reloaded[0].Width == image.Width && reloaded[0].Height == image.Height);
  Check(Colors(reloaded[0]) == Colors(image));
  return 0;
}
