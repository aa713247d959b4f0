// Shared limits of the PNG, MNG and JNG fuzz targets.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pixolan::fuzz {

// The handlers accept images up to 2^28 pixels as long as the compressed data could back
// them, which a 4 KiB input can for some 4 MB of rows; a header chunk of more than 4M
// pixels is skipped here (its refusal and budget are covered by the unit tests) so that
// runs stay fast and below libFuzzer's memory cap. Every IHDR or JHDR of the input counts.
inline bool ClaimsTooManyPixels(const uint8_t* data, size_t size) {
  constexpr uint64_t kMaxPixels = uint64_t(1) << 22;
  for (size_t i = 4; i + 12 <= size; ++i) {
    const bool header = (data[i] == 'I' || data[i] == 'J' || data[i] == 'M') &&
                        data[i + 1] == 'H' && data[i + 2] == 'D' && data[i + 3] == 'R';
    if (!header) continue;
    const auto be32 = [&](size_t at) {
      return uint64_t(data[at]) << 24 | uint64_t(data[at + 1]) << 16 | uint64_t(data[at + 2]) << 8 |
             uint64_t(data[at + 3]);
    };
    if (be32(i + 4) * be32(i + 8) > kMaxPixels) return true;
  }
  return false;
}

}  // namespace pixolan::fuzz
