// DirectDraw surfaces (*.dds): textures with mip-map levels, cube maps and volumes.
#pragma once

#include <atomic>
#include <cstdint>

#include "imaging/io/FileFormat.h"
#include "imaging/io/Options.h"

namespace pixolan::imaging {

// Reads every stored surface, each an image of its own in file order: the main level and
// its mip-map levels, every level of every cube face, every slice of every volume level.
// Pixel formats described by channel masks become the engine format with the same layout
// (A8R8G8B8, X8R8G8B8, R8G8B8, R5G6B5, A1R5G5B5, X1R5G5B5, A4R4G4B4, X4R4G4B4, R3G3B2,
// Gray8, Gray16, A8Gray8); other masks are decoded into A8R8G8B8, X8R8G8B8, Gray8 or A8Gray8.
// Four-character codes give DXT1/3/5 (DXT2 and DXT4 read as DXT3 and DXT5), ATI1N (ATI1,
// BC4U), ATI2N (ATI2, BC5U), the 16-bit and float formats, and through the extended header
// the matching unsigned formats; 8-bit palettes give Index8. Signed, BC6H and BC7 data are
// refused with an EImagingError.
//
// Writes a plain texture with as many mip-map levels as images are selected (at most what
// the first image's size allows), or a cube map or volume as the Save options say; every
// surface in the first image's format and at the size of its position.
class TDDSFileFormat : public TImageFileFormat {
 public:
  TDDSFileFormat();

  // What the last load found: cube map, volume, levels, and the cube faces or volume
  // slices (1 for a plain texture).
  std::atomic<int32_t> LoadedCubeMap{0};
  std::atomic<int32_t> LoadedVolume{0};
  std::atomic<int32_t> LoadedMipMapCount{0};
  std::atomic<int32_t> LoadedDepth{0};
  // What the next save writes: cube map (faces = SaveDepth, at most six) or volume (slices
  // = SaveDepth), each with SaveMipMapCount levels.
  std::atomic<int32_t> SaveCubeMap{0};
  std::atomic<int32_t> SaveVolume{0};
  std::atomic<int32_t> SaveMipMapCount{1};
  std::atomic<int32_t> SaveDepth{1};

  bool ReadImages(TIOHandle& handle, TDynImageDataArray& images, bool onlyFirst) override;
  bool WriteImages(TIOHandle& handle, TImageSpan images, const TSaveSelection& selection) override;
  void ConvertForWriting(TImageData& image,
                         const TFormatDescriptor& sourceDescriptor) const override;
  bool TestContent(TIOHandle& handle) override;
  void ValidateOptions() override;
};

}  // namespace pixolan::imaging
