// Decodes arbitrary bytes with the portable-map handler whose magic number they start with;
// what PGM, PPM, PAM and PFM decode is written back (PGM and PPM as binary or plain text, as
// the last input byte chooses) and read again.
#include <cstddef>
#include <cstdint>

#include "FuzzDecode.h"
#include "FuzzRoundTrip.h"
#include "imaging/formats/PortableMapFormat.h"

// Every size is checked against the bytes the input holds (a plain sample takes at least
// one character), so the input's size bounds what a load allocates.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace pixolan::imaging;
  using namespace pixolan::fuzz;
  switch (size >= 2 ? data[1] : 0) {
    case '1':
    case '4':
      return DecodeOnly<TPBMFileFormat>(data, size);
    case '2':
    case '5':
      return DecodeWriteAndReadBack<TPGMFileFormat>(data, size, kOptionPgmSaveBinary);
    case '3':
    case '6':
      return DecodeWriteAndReadBack<TPPMFileFormat>(data, size, kOptionPpmSaveBinary);
    case '7':
      return DecodeWriteAndReadBack<TPAMFileFormat>(data, size, kOptionPgmSaveBinary);
    default:
      return DecodeWriteAndReadBack<TPFMFileFormat>(data, size, kOptionPgmSaveBinary);
  }
}
