// Truevision Targa handler (*.tga).
#pragma once

#include <atomic>
#include <cstdint>

#include "imaging/io/FileFormat.h"
#include "imaging/io/Options.h"

namespace pixolan::imaging {

// Reads raw and run-length encoded Targa files of every origin, turned upright:
// color-mapped (8-bit indices, 15/16/24/32-bit map entries, any first-entry index) →
// Index8; true color 15 → X1R5G5B5, 16 → A1R5G5B5, 24 → R8G8B8, 32 → A8R8G8B8; gray 8 →
// Gray8 and gray + alpha 16 → A8Gray8. The attribute type of a version 2 extension area
// decides what the alpha bits mean (none, alpha or pre-multiplied alpha, which is turned
// into straight alpha). Without one, alpha that is zero in every pixel (or map entry) is no
// alpha: such images become X1R5G5B5, X8R8G8B8 or Gray8, with opaque map entries.
//
// Writes one image, top row first, raw or run-length encoded (UseRLE): Index8 with a
// 24-bit color map, Gray8, A1R5G5B5, R8G8B8 and A8R8G8B8. Images wider or higher than
// 65535 pixels cannot be stored and raise EImagingError.
class TTargaFileFormat : public TImageFileFormat {
 public:
  TTargaFileFormat();

  // Whether images are written run-length encoded. kOptionTargaRLE, default false.
  std::atomic<int32_t> UseRLE{0};

  bool ReadImages(TIOHandle& handle, TDynImageDataArray& images, bool onlyFirst) override;
  bool WriteImages(TIOHandle& handle, TImageSpan images, const TSaveSelection& selection) override;
  void ConvertForWriting(TImageData& image,
                         const TFormatDescriptor& sourceDescriptor) const override;
  bool TestContent(TIOHandle& handle) override;
};

}  // namespace pixolan::imaging
