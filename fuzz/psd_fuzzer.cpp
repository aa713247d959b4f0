// Decodes arbitrary bytes with the PSD handler from memory; what decodes is written back
// (with or without a layer, as the last input byte chooses) and read again.
#include <cstddef>
#include <cstdint>

#include "FuzzRoundTrip.h"
#include "imaging/formats/PsdFormat.h"

// No limit on the announced size is needed: raw data must hold every row and packed data
// cannot expand more than 64 times, both checked before anything is allocated.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace pixolan::imaging;
  return pixolan::fuzz::DecodeWriteAndReadBack<TPSDFileFormat>(data, size, kOptionPsdSaveAsLayer);
}
