// The shared body of the fuzz targets of read-only handlers: decode the input from memory
// and check what comes back; any broken promise aborts so that the fuzzer records it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "imaging/image/Imaging.h"
#include "imaging/io/Registry.h"

namespace pixolan::fuzz {

using namespace pixolan::imaging;

// Decodes with handler T; refusals must raise EImagingError, never return false, and what
// decodes is one valid image whose every pixel can be read.
template <class T>
int DecodeOnly(const uint8_t* data, size_t size) {
  static T* const handler = FindFileFormatByClass<T>();
  TMemoryBlockStream stream(data, int64_t(size));
  TDynImageDataArray images;
  try {
    if (!handler->LoadStream(stream, images, true)) std::abort();
  } catch (const EImagingError&) {
    return 0;
  }
  if (images.size() != 1 || !ImageIsValid(images[0])) std::abort();
  TImageData converted;
  if (!ImageClone(images[0], converted) || !ImageConvert(converted, TImageFormatId::A8R8G8B8))
    std::abort();
  return 0;
}

}  // namespace pixolan::fuzz
