// Decodes arbitrary bytes with the DirectDraw surface handler from memory; the first
// surface is written back (as a plain texture or a one-face cube map, as the last input byte
// chooses) and read again.
#include <cstddef>
#include <cstdint>

#include "FuzzRoundTrip.h"
#include "imaging/formats/DdsFormat.h"

// No limit on the announced size is needed: every surface the header declares is checked
// against the data before anything is allocated.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace pixolan::imaging;
  return pixolan::fuzz::DecodeWriteAndReadBack<TDDSFileFormat>(data, size, kOptionDdsSaveCubeMap);
}
