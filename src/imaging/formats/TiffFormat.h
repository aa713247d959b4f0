// Tagged Image File Format handler (*.tif, *.tiff), coded by libtiff.
#pragma once

#include <atomic>
#include <cstdint>

#include "imaging/io/FileFormat.h"
#include "imaging/io/Options.h"

namespace pixolan::imaging {

// CompressionIndex values: what each writes.
inline constexpr int32_t kTiffCompressionNone = 0;
inline constexpr int32_t kTiffCompressionLZW = 1;  // the default
inline constexpr int32_t kTiffCompressionPackBits = 2;
inline constexpr int32_t kTiffCompressionDeflate = 3;
inline constexpr int32_t kTiffCompressionJpeg = 4;

// Most pages one load reads, and the most pixels all of them may hold together; a chain of
// directories beyond either is refused instead of read on.
inline constexpr int32_t kMaxTiffPages = 4096;
inline constexpr int64_t kMaxTiffTotalPixels = int64_t(1) << 30;

// Reads classic and BigTIFF files through libtiff on the engine's stream: every directory
// (page) becomes one image (only the first with onlyFirst), stored in strips or tiles.
// Contiguous samples with photometric min-is-black, RGB or palette and 8/16/32-bit unsigned
// or 16/32-bit float samples are read as they are: Gray8, Gray16, Gray32, R16F, R32F,
// A8Gray8, A16Gray16, R8G8B8, A8R8G8B8, R16G16B16, A16R16G16B16, A16R16G16B16F,
// A32R32G32B32F and Index8 for 8-bit palettes. The first extra sample is alpha when marked
// so (associated alpha is turned into straight alpha), and also when it is unspecified on
// an RGB page, as other readers take it; further extra samples are skipped. The
// Orientation tag flips the picture as libtiff's RGBA reader does.
//
// Every other layout (bilevel, 2/4-bit, MinIsWhite, YCbCr, CMYK, Lab, old JPEG, separate
// planes, ...) is read through libtiff's RGBA reader into A8R8G8B8, which, like libtiff's
// tools, keeps what it could decode of a damaged strip. What that reader refuses or fails
// on (other depths up to 32 bits, 64-bit samples, signed samples, 16-bit and float CMYK,
// such layouts in separate planes) is read sample by sample when the page is gray, RGB or
// CMYK: depths up to 8 bits become 8-bit formats, deeper ones 16-bit formats, floats
// A32R32G32B32F or R32F; signed samples are shifted so that the smallest value is 0.
//
// Before anything is allocated the reader checks the page against the engine's pixel
// limit, the decoded bytes of its samples, its tile size and, for the compression schemes
// whose best ratio is known, the stored strip and tile bytes that must back the claim; a
// load of every page stops at kMaxTiffPages pages or kMaxTiffTotalPixels pixels, and
// libtiff itself ends directory chains that loop. Errors that libtiff reports become
// EImagingError "TIFF error: ..."; its warnings are dropped, and nothing is printed.
//
// Writes one directory per selected image: Index8 (with ColorMap), gray, gray + alpha, RGB
// and RGBA at 8/16 bits, Gray32, and the float formats, in strips of libtiff's default
// size; alpha is marked as unassociated alpha in ExtraSamples. CompressionIndex picks none,
// LZW, PackBits, Deflate or JPEG; JPEG becomes LZW for images that are not 8-bit gray or
// RGB without alpha.
class TTiffFileFormat : public TImageFileFormat {
 public:
  TTiffFileFormat();

  // kOptionTiffCompressionIndex: 0..4, anything else becomes 1 (LZW).
  std::atomic<int32_t> CompressionIndex{kTiffCompressionLZW};

  bool ReadImages(TIOHandle& handle, TDynImageDataArray& images, bool onlyFirst) override;
  bool WriteImages(TIOHandle& handle, TImageSpan images, const TSaveSelection& selection) override;
  void ConvertForWriting(TImageData& image,
                         const TFormatDescriptor& sourceDescriptor) const override;
  // "II*\0" or "MM\0*" (and their BigTIFF forms with 43) in the first 4 bytes.
  bool TestContent(TIOHandle& handle) override;
  void ValidateOptions() override;
};

}  // namespace pixolan::imaging
