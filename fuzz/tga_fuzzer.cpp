// Decodes arbitrary bytes with the Targa handler from memory; what decodes is written back
// (run-length encoded or not, as the last input byte chooses) and read again.
#include <cstddef>
#include <cstdint>

#include "FuzzRoundTrip.h"
#include "imaging/formats/TargaFormat.h"

// No limit on the announced size is needed here: the reader refuses any claim that its
// data cannot hold (at most 128 pixels per run-length packet) before it allocates.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace pixolan::imaging;
  return pixolan::fuzz::DecodeWriteAndReadBack<TTargaFileFormat>(data, size, kOptionTargaRLE);
}
