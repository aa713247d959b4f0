// Decodes arbitrary bytes with the Windows bitmap handler from memory; what decodes is
// written back (run-length encoded or not, as the last input byte chooses) and read again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "FuzzRoundTrip.h"
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (ClaimsTooManyPixels(data, size)) return 0;
  return pixolan::fuzz::DecodeWriteAndReadBack<TBitmapFileFormat>(data, size, kOptionBitmapRLE);
}
