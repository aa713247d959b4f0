// JPEG 2000 handler (*.jp2, *.j2k, *.j2c, *.jpx, *.jpc), coded by OpenJPEG.
#pragma once

#include <atomic>
#include <cstdint>

#include "imaging/io/FileFormat.h"
#include "imaging/io/Options.h"

namespace pixolan::imaging {

inline constexpr int32_t kDefaultJpeg2000Quality = 80;

// Most memory the decoded samples of one image may take in OpenJPEG, which keeps 32 bits a
// sample for every component (and about as much again for the tile being decoded). A
// header that asks for more is refused before decoding starts: 1 GiB holds an RGB image of
// 89 million pixels.
inline constexpr int64_t kMaxJpeg2000DecodedBytes = int64_t(1) << 30;

// Reads JP2 files and bare code streams through OpenJPEG on the engine's stream: gray,
// gray + alpha, RGB and RGBA images become Gray8/A8Gray8/R8G8B8/A8R8G8B8 for precisions up
// to 8 bits and the 16-bit formats for deeper ones; other precisions are scaled to the
// format's range, signed samples shifted to start at 0, subsampled components spread over
// the full grid, sYCC turned into RGB and CMYK into RGB. Images with more than four
// components keep the first three as RGB. OpenJPEG's palettes and channel definitions are
// applied by the library. Its errors become EImagingError "JPEG 2000 error: ..."; warnings
// and information are dropped, nothing is printed.
//
// Writes one image as a JP2 file, or a bare code stream with CodeStreamOnly: 6 resolution
// levels (fewer for images too small for them), one quality layer, the reversible 5/3
// transform with LosslessCompression, otherwise the irreversible 9/7 transform at the rate
// raw / (raw * 100 / (115 - Quality)^2 + 550 + 142 * (channels - 1)), raw being the image's
// bytes.
class TJpeg2000FileFormat : public TImageFileFormat {
 public:
  TJpeg2000FileFormat();

  std::atomic<int32_t> Quality{kDefaultJpeg2000Quality};  // kOptionJpeg2000Quality, 1..100
  std::atomic<int32_t> CodeStreamOnly{0};                 // kOptionJpeg2000CodeStreamOnly
  std::atomic<int32_t> LosslessCompression{0};            // kOptionJpeg2000LosslessCompression

  bool ReadImages(TIOHandle& handle, TDynImageDataArray& images, bool onlyFirst) override;
  bool WriteImages(TIOHandle& handle, TImageSpan images, const TSaveSelection& selection) override;
  void ConvertForWriting(TImageData& image,
                         const TFormatDescriptor& sourceDescriptor) const override;
  // The JP2 signature box, or a code stream's SOC marker followed by SIZ.
  bool TestContent(TIOHandle& handle) override;
  // Quality outside 1..100 becomes 80.
  void ValidateOptions() override;
};

}  // namespace pixolan::imaging
