// Graphics Interchange Format: reading every image of a file (optionally composed into the
// frames of the animation) and writing one or more Index8 images.
#pragma once

#include <atomic>
#include <cstdint>

#include "imaging/io/FileFormat.h"

namespace pixolan::imaging {

// Reading gives one Index8 image per image descriptor, with the frame's local color table,
// else the global one, else a 3-3-2 bit-split palette; the transparent index of a graphic
// control extension has alpha 0. With LoadAnimated (the default) every frame is instead
// composed onto the logical screen as an A8R8G8B8 image, honouring the disposal methods, so
// the first image of a load is the first frame as a viewer shows it.
//
// Writing converts every image to Index8 (median cut) and writes a GIF89a file whose screen
// spans the largest image; each image follows with a graphic control extension (delay 0.65 s,
// no transparency) and a 256-entry local color table at (0, 0).
//
// Limits: images beyond 65535 pixels in either direction cannot be written; a frame whose
// LZW data could not fill it even at the code's maximum expansion is refused before it is
// allocated, and one load holds at most 2 GiB of decoded images.
class TGIFFileFormat : public TImageFileFormat {
 public:
  TGIFFileFormat();

  // Non-zero: compose the frames onto the logical screen (A8R8G8B8). Zero: return each
  // frame as it is stored (Index8, the frame's own size). This property has no engine
  // option id: the id it would take (56) belongs to JPEG 2000's CodeStreamOnly, so the
  // program always loads composed frames.
  std::atomic<int32_t> LoadAnimated{1};

  bool ReadImages(TIOHandle& handle, TDynImageDataArray& images, bool onlyFirst) override;
  bool WriteImages(TIOHandle& handle, TImageSpan images, const TSaveSelection& selection) override;
  void ConvertForWriting(TImageData& image,
                         const TFormatDescriptor& sourceDescriptor) const override;
  bool TestContent(TIOHandle& handle) override;
};

}  // namespace pixolan::imaging
