// Decodes arbitrary bytes with the JPEG handler from memory; what decodes is written back
// with quality and progressive mode taken from the last input byte and read again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "imaging/formats/JpegFormat.h"
#include "imaging/image/Imaging.h"
#include "imaging/io/Options.h"
#include "imaging/io/Registry.h"

namespace {

using namespace pixolan::imaging;
using F = TImageFormatId;

// The engine accepts up to 2^28 pixels and libjpeg 1 GiB of working memory, together more
// than libFuzzer's 2 GB memory cap. Arithmetic-coded data can claim such sizes in a few
// bytes legitimately, so inputs whose frame headers claim more than 4 megapixels are
// skipped here (the refusal paths above that size are covered by the unit tests).
bool ClaimsLargeImage(const uint8_t* data, size_t size) {
  for (size_t i = 0; i + 9 <= size; ++i) {
    if (data[i] != 0xFF) continue;
    const uint8_t m = data[i + 1];
    if (m < 0xC0 || m > 0xCF || m == 0xC4 || m == 0xC8 || m == 0xCC) continue;
    const uint32_t height = uint32_t(data[i + 5]) << 8 | data[i + 6];
    const uint32_t width = uint32_t(data[i + 7]) << 8 | data[i + 8];
    if (uint64_t(width) * height > (uint64_t(1) << 22)) return true;
  }
  return false;
}

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static TJpegFileFormat* const jpeg = FindFileFormatByClass<TJpegFileFormat>();
  if (ClaimsLargeImage(data, size)) return 0;

  TMemoryBlockStream stream(data, int64_t(size));
  TDynImageDataArray images;
  try {
    if (!jpeg->LoadStream(stream, images, true)) return 0;
  } catch (const EImagingError&) {
    return 0;
  }
  Check(images.size() == 1 && ImageIsValid(images[0]));
  const TImageData& image = images[0];
  Check(image.Format == F::Gray8 || image.Format == F::R8G8B8 || image.Format == F::A8R8G8B8);

  const uint8_t knob = size > 0 ? data[size - 1] : 0;
  EngineSetOption(kOptionJpegQuality, knob >> 1);  // 0..127: out-of-range values become 90
  EngineSetOption(kOptionJpegProgressive, knob & 1);
  TMemoryStream written;
  Check(jpeg->SaveStream(written, TImageSpan(&image, 1), true));
  written.Seek(0, TSeekOrigin::Begin);
  TDynImageDataArray again;
  Check(jpeg->LoadStream(written, again, true) && again.size() == 1);
  Check(again[0].Width == image.Width && again[0].Height == image.Height);
  Check(again[0].Format == (image.Format == F::Gray8 ? F::Gray8 : F::R8G8B8));
  return 0;
}
