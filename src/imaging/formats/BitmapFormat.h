// Windows bitmap handler (*.bmp, *.dib).
#pragma once

#include <atomic>
#include <cstdint>

#include "imaging/io/FileFormat.h"
#include "imaging/io/Options.h"

namespace pixolan::imaging {

// Reads OS/2 1.x and 2.x and Windows 3 to 5 bitmaps with 1, 2, 4, 8, 16, 24 and 32 bits per
// pixel, uncompressed, RLE4, RLE8, OS/2 RLE24 and bit fields (also with an alpha mask).
// Palette bitmaps become Index8 with a 256-entry opaque palette; 16- and 32-bit bitmaps
// keep their own packed or 8-bit layout when an engine format has exactly those masks and
// are widened to A8R8G8B8 (with alpha) or R8G8B8 / X8R8G8B8 otherwise. Without an alpha
// mask, a 16-bit bitmap whose top bit is never set is X1R5G5B5 and a 32-bit bitmap whose
// fourth bytes are all zero is X8R8G8B8; otherwise that bit or byte is kept as alpha.
// Embedded JPEG and PNG data, 64-bit pixels and OS/2 Huffman data are refused.
//
// Writes one image: Index8 (RLE8 when UseRLE is set), the 16-bit formats (bit fields where
// the layout is not the default 5-5-5), R8G8B8 and the 32-bit formats, bottom row first.
class TBitmapFileFormat : public TImageFileFormat {
 public:
  TBitmapFileFormat();

  // Whether 8-bit images are written run-length encoded. kOptionBitmapRLE, default true.
  std::atomic<int32_t> UseRLE{1};

  bool ReadImages(TIOHandle& handle, TDynImageDataArray& images, bool onlyFirst) override;
  bool WriteImages(TIOHandle& handle, TImageSpan images, const TSaveSelection& selection) override;
  void ConvertForWriting(TImageData& image,
                         const TFormatDescriptor& sourceDescriptor) const override;
  bool TestContent(TIOHandle& handle) override;
};

}  // namespace pixolan::imaging
