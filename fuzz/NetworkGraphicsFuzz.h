// What the PNG, MNG and JNG fuzz targets share: the size limit, the decode from memory
// and the check that aborts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>

#include "imaging/image/ByteOrder.h"
#include "imaging/io/FileFormat.h"
#include "imaging/io/ImagingIO.h"

namespace pixolan::fuzz {

// A broken invariant: libFuzzer reports the abort as a finding.
inline void Check(bool condition) {
  if (!condition) std::abort();
}

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
    if (uint64_t(imaging::GetBe32(data + i + 4)) * imaging::GetBe32(data + i + 8) > kMaxPixels)
      return true;
  }
  return false;
}

// The images the handler reads from the bytes, or nullopt when it refuses them. A handler
// that returns false instead of raising breaks its contract.
inline std::optional<imaging::TDynImageDataArray> Decode(imaging::TImageFileFormat& handler,
                                                         const uint8_t* data, size_t size,
                                                         bool onlyFirst) {
  imaging::TMemoryBlockStream stream(data, int64_t(size));
  imaging::TDynImageDataArray images;
  try {
    Check(handler.LoadStream(stream, images, onlyFirst));
  } catch (const imaging::EImagingError&) {
    return std::nullopt;
  }
  return images;
}

}  // namespace pixolan::fuzz
