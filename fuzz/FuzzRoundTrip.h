// The shared body of the fuzz targets whose handler also writes: decode the input from
// memory, write what decoded back (with the option the last input byte chooses) and read
// it again; any broken promise aborts so that the fuzzer records it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "imaging/image/Imaging.h"
#include "imaging/io/Options.h"
#include "imaging/io/Registry.h"

namespace pixolan::fuzz {

using namespace pixolan::imaging;

inline void Check(bool condition) {
  if (!condition) std::abort();
}

// Colors of an image as A8R8G8B8, alpha left out: whether alpha survives a round trip
// depends on the alpha rules (all-zero alpha reads back as none).
inline std::vector<uint8_t> Colors(const TImageData& image) {
  TImageData clone;
  Check(ImageClone(image, clone) && ImageConvert(clone, TImageFormatId::A8R8G8B8));
  std::vector<uint8_t> colors;
  for (int32_t i = 0; i < clone.Size; i += 4)
    colors.insert(colors.end(), clone.bits() + i, clone.bits() + i + 3);
  return colors;
}

// Decodes with handler T; refusals must raise EImagingError, never return false. What
// decodes must save with the option `optionId` set from the last input byte and read back
// to the same size and colors.
template <class T>
int DecodeWriteAndReadBack(const uint8_t* data, size_t size, int32_t optionId) {
  static T* const handler = FindFileFormatByClass<T>();
  const bool option = size > 0 && (data[size - 1] & 1);

  TMemoryBlockStream stream(data, int64_t(size));
  TDynImageDataArray images;
  try {
    if (!handler->LoadStream(stream, images, true)) std::abort();
  } catch (const EImagingError&) {
    return 0;
  }
  Check(images.size() == 1 && ImageIsValid(images[0]));
  const TImageData& image = images[0];

  EngineSetOption(optionId, option);
  TMemoryStream saved;
  Check(handler->SaveStream(saved, TImageSpan(&image, 1), true));
  TMemoryBlockStream again(saved.Data().data(), int64_t(saved.Data().size()));
  TDynImageDataArray reloaded;
  Check(handler->LoadStream(again, reloaded, true) && reloaded.size() == 1);
  Check(reloaded[0].Width == image.Width && reloaded[0].Height == image.Height);
  Check(Colors(reloaded[0]) == Colors(image));
  return 0;
}

}  // namespace pixolan::fuzz
