// Layered image documents (*.psd, *.pdd): the merged composite image.
#pragma once

#include <atomic>
#include <cstdint>
#include <span>
#include <vector>

#include "imaging/io/FileFormat.h"
#include "imaging/io/Options.h"

namespace pixolan::imaging {

// Reads the composite image of version 1 documents, raw or PackBits-compressed:
// grayscale and duotone → Gray8/Gray16 (A8Gray8/A16Gray16 with a second channel), R32F at
// depth 32; indexed at depth 8 → Index8 with the document's color table; RGB, CMYK,
// multichannel and Lab → R8G8B8/R16G16B16 (A8R8G8B8/A16R16G16B16 with a fourth channel),
// A32R32G32B32F at depth 32. CMYK becomes opaque RGB, 8- and 16-bit Lab becomes sRGB.
// Bitmap mode and the combinations outside this list are refused with an EImagingError
// that names them.
//
// Writes one image: the composite with PackBits (raw for float images) and, while
// SaveAsLayer is set, the same pixels as one layer named "Layer 0" for images of 8 and 16
// bits a channel.
class TPSDFileFormat : public TImageFileFormat {
 public:
  TPSDFileFormat();

  // Whether a layer is written besides the composite. kOptionPsdSaveAsLayer, default on.
  std::atomic<int32_t> SaveAsLayer{1};

  bool ReadImages(TIOHandle& handle, TDynImageDataArray& images, bool onlyFirst) override;
  bool WriteImages(TIOHandle& handle, TImageSpan images, const TSaveSelection& selection) override;
  void ConvertForWriting(TImageData& image,
                         const TFormatDescriptor& sourceDescriptor) const override;
  bool TestContent(TIOHandle& handle) override;
};

namespace psd {

// PackBits as the writer uses it on every row: runs of 3 to 128 equal bytes become run
// packets, everything else literal packets of at most 128 bytes, and the last byte of a
// row that does not end a run is a literal packet of its own.
void PackBitsEncodeRow(std::span<const uint8_t> row, std::vector<uint8_t>& out);
// Decodes one PackBits row into exactly out.size() bytes; raises EImagingError when the
// packets give fewer bytes or more.
void PackBitsDecodeRow(std::span<const uint8_t> packed, std::span<uint8_t> out);

}  // namespace psd

}  // namespace pixolan::imaging
