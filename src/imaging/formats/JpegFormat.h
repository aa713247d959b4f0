// JPEG files, coded by libjpeg: TJpegFileFormat, and TCustomIOJpegFileFormat, which codes
// JPEG data on a stream its user sets (the JPEG parts of JNG files).
#pragma once

#include <atomic>
#include <cstdint>

#include "imaging/image/ImagingTypes.h"
#include "imaging/io/FileFormat.h"
#include "imaging/io/ImagingIO.h"
#include "imaging/io/Options.h"

namespace pixolan::imaging {

inline constexpr int32_t kDefaultJpegQuality = 90;

// Largest amount of working memory libjpeg may take for one image (coefficient buffers
// of progressive and multi-scan files). A progressive 4:2:0 colour image of the engine's
// full 2^28 pixels needs 768 MiB; a header that asks for more is refused before anything
// is allocated.
inline constexpr int64_t kMaxJpegLibraryMemory = int64_t(1) << 30;

// Reads baseline, extended and progressive JPEG files (Huffman or arithmetic coding,
// 8-bit samples) and writes baseline or progressive ones.
//
// Reading: grayscale files become Gray8, RGB and YCbCr files R8G8B8, CMYK and YCCK files
// A8R8G8B8 (opaque). CMYK samples carry ink amounts; files with an Adobe APP14 marker store
// them inverted, as Adobe software writes them. Other colour spaces make ReadImages return
// false. Library warnings (corrupt data that libjpeg can decode around) are ignored, but
// a file whose coded data is cut off is an error; a Huffman-coded file that lacks only its
// end-of-image marker still loads. Library errors raise EImagingError
// "JPEG Error: <code> (<text>)".
//
// Writing: gray formats are written as one grayscale component, everything else as
// three components (alpha dropped), at Quality with baseline-compatible quantisation
// tables, progressive when Progressive is set.
class TJpegFileFormat : public TImageFileFormat {
 public:
  TJpegFileFormat();

  // Bound to kOptionJpegQuality and kOptionJpegProgressive in the registered instance.
  std::atomic<int32_t> Quality{kDefaultJpegQuality};
  std::atomic<int32_t> Progressive{0};

  bool ReadImages(TIOHandle& handle, TDynImageDataArray& images, bool onlyFirst) override;
  bool WriteImages(TIOHandle& handle, TImageSpan images, const TSaveSelection& selection) override;
  void ConvertForWriting(TImageData& image,
                         const TFormatDescriptor& sourceDescriptor) const override;
  // The first two of 10 bytes are 0xFF 0xD8 (start of image).
  bool TestContent(TIOHandle& handle) override;
  // Quality outside 1..100 becomes 90.
  void ValidateOptions() override;

 protected:
  enum class TOptionBinding { Bind, None };
  explicit TJpegFileFormat(TOptionBinding binding);

  // Reads one image from the stream's position; the stream is left just after the
  // end-of-image marker. A colour image comes as R8G8B8, or as A8R8G8B8 (opaque) when
  // `wanted` asks for that: the same pixels, without a conversion pass.
  bool ReadJpeg(TStream& stream, TDynImageDataArray& images,
                TImageFormatId wanted = TImageFormatId::Unknown);
  // Writes one image at the stream's position.
  bool WriteJpeg(TStream& stream, const TImageData& image);
  static bool TestJpegContent(TStream& stream);
};

// A JPEG handler that reads and writes through a stream set by its user instead of the
// handle it is given, for formats that embed JPEG data (JNG). It is not registered and
// binds no options: its owner sets Quality and Progressive directly.
class TCustomIOJpegFileFormat : public TJpegFileFormat {
 public:
  TCustomIOJpegFileFormat();

  // Every content test, read and write uses this stream from its current position; null
  // goes back to the handle. The stream must outlive its use.
  void SetCustomIO(TStream* stream) { customIO_ = stream; }
  TStream* CustomIO() const { return customIO_; }

  bool ReadImages(TIOHandle& handle, TDynImageDataArray& images, bool onlyFirst) override;
  bool WriteImages(TIOHandle& handle, TImageSpan images, const TSaveSelection& selection) override;
  bool TestContent(TIOHandle& handle) override;

 private:
  TStream& StreamOf(TIOHandle& handle) { return customIO_ ? *customIO_ : handle.Stream(); }

  TStream* customIO_ = nullptr;
};

}  // namespace pixolan::imaging
