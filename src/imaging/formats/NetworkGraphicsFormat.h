// The network-graphics formats: PNG, MNG (a sequence of embedded PNG and JNG images) and
// JNG (JPEG-coded color with optional PNG- or JPEG-coded alpha). One chunk reader and one
// chunk writer serve all three.
#pragma once

#include <atomic>
#include <cstdint>

#include "imaging/io/FileFormat.h"

namespace pixolan::imaging {

inline constexpr int32_t kDefaultPngPreFilter = 5;
inline constexpr int32_t kDefaultPngCompressLevel = 5;
inline constexpr int32_t kDefaultNgQuality = 90;

// Shared options and chunk coding of the three handlers.
//
// Reading refuses, before allocating, an image beyond the engine's pixel limit or one
// whose compressed data could not inflate to the rows its header promises, and keeps the
// decoded bytes of one load within a budget. Critical chunks with a bad CRC are errors;
// ancillary ones are skipped. A chunk that ends early raises "Error when reading %s chunk
// data. File may be corrupted.".
class TNetworkGraphicsFileFormat : public TImageFileFormat {
 public:
  // Row filter: 0..4 that filter on every row; 5 Paeth for RGB(A) and none otherwise; 6 a
  // choice per row for 8- and 16-bit samples of non-indexed images. Else 5.
  std::atomic<int32_t> PreFilter{kDefaultPngPreFilter};
  // zlib level 0..9, else 5.
  std::atomic<int32_t> CompressLevel{kDefaultPngCompressLevel};
  // Write JNG rather than PNG images (always set for JNG, an option for MNG).
  std::atomic<int32_t> LossyCompression{0};
  // JNG alpha as JPEG (JDAA) rather than PNG-coded rows (IDAT).
  std::atomic<int32_t> LossyAlpha{0};
  // JPEG quality 1..100 (else 90) and progressive coding of JNG color data.
  std::atomic<int32_t> Quality{kDefaultNgQuality};
  std::atomic<int32_t> Progressive{0};

  void ValidateOptions() override;

 protected:
  TNetworkGraphicsFileFormat() = default;
};

// Reads every color type and bit depth (interlaced or not) and writes IHDR, PLTE, tRNS,
// one IDAT and IEND.
class TPNGFileFormat : public TNetworkGraphicsFileFormat {
 public:
  TPNGFileFormat();
  bool ReadImages(TIOHandle& handle, TDynImageDataArray& images, bool onlyFirst) override;
  bool WriteImages(TIOHandle& handle, TImageSpan images, const TSaveSelection& selection) override;
  void ConvertForWriting(TImageData& image,
                         const TFormatDescriptor& sourceDescriptor) const override;
  bool TestContent(TIOHandle& handle) override;
};

// Reads one image per embedded PNG or JNG (an MNG without any gives one empty image of the
// frame size) and writes every image as an embedded PNG, or JNG with LossyCompression.
// Other MNG control chunks are skipped when reading and never written.
class TMNGFileFormat : public TNetworkGraphicsFileFormat {
 public:
  TMNGFileFormat();
  TImageFormatSet WritableFormats() const override;
  bool ReadImages(TIOHandle& handle, TDynImageDataArray& images, bool onlyFirst) override;
  bool WriteImages(TIOHandle& handle, TImageSpan images, const TSaveSelection& selection) override;
  void ConvertForWriting(TImageData& image,
                         const TFormatDescriptor& sourceDescriptor) const override;
  bool TestContent(TIOHandle& handle) override;
};

// Reads JNG color data of sample depth 8 (12-bit data are not decoded: the color stays
// zero) with PNG- or JPEG-coded alpha; writes Gray8, A8Gray8, R8G8B8 and A8R8G8B8.
class TJNGFileFormat : public TNetworkGraphicsFileFormat {
 public:
  TJNGFileFormat();
  bool ReadImages(TIOHandle& handle, TDynImageDataArray& images, bool onlyFirst) override;
  bool WriteImages(TIOHandle& handle, TImageSpan images, const TSaveSelection& selection) override;
  void ConvertForWriting(TImageData& image,
                         const TFormatDescriptor& sourceDescriptor) const override;
  bool TestContent(TIOHandle& handle) override;
};

}  // namespace pixolan::imaging
