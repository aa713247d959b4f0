// Decodes arbitrary bytes with the PCX handler from memory (it only reads).
#include <cstddef>
#include <cstdint>

#include "FuzzDecode.h"
#include "imaging/formats/PcxFormat.h"

// The claimed size is checked against the data before anything is allocated (a two-byte
// run gives at most 63 bytes), so the input's size bounds what a load allocates.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return pixolan::fuzz::DecodeOnly<pixolan::imaging::TPCXFileFormat>(data, size);
}
