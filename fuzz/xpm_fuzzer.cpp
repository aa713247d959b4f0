// Decodes arbitrary bytes with the XPM handler from memory (it only reads).
#include <cstddef>
#include <cstdint>

#include "FuzzDecode.h"
#include "imaging/formats/XpmFormat.h"

// Every pixel takes its characters in the file, which is checked before the image is
// allocated, so the input's size bounds what a load allocates.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return pixolan::fuzz::DecodeOnly<pixolan::imaging::TXPMFileFormat>(data, size);
}
