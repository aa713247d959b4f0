// Decodes arbitrary bytes with the JPEG 2000 handler from memory; what decodes is written
// back losslessly (as a JP2 file or a code stream, as the last input byte chooses) and must
// read back to the same pixels, or lossily at the quality that byte picks and read back to
// the same size.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>

#include "NetworkGraphicsFuzz.h"
#include "imaging/formats/Jpeg2000Format.h"
#include "imaging/image/ByteOrder.h"
#include "imaging/image/Imaging.h"
#include "imaging/io/Options.h"
#include "imaging/io/Registry.h"

namespace {

using namespace pixolan::imaging;
using pixolan::fuzz::Check;

// OpenJPEG keeps 32 bits for every sample of every component, and a code stream can claim
// a large image in a few bytes. Inputs whose SIZ markers claim more than 16M samples are
// skipped here, so that runs stay fast and below libFuzzer's memory cap; the refusals
// above that are covered by the unit tests.
bool ClaimsManySamples(const uint8_t* data, size_t size) {
  for (size_t i = 0; i + 40 <= size; ++i) {
    if (data[i] != 0xFF || data[i + 1] != 0x51) continue;
    const uint64_t width = GetBe32(data + i + 6), height = GetBe32(data + i + 10);
    const uint64_t x0 = GetBe32(data + i + 14), y0 = GetBe32(data + i + 18);
    const uint64_t components = GetBe16(data + i + 38);
    const uint64_t w = width > x0 ? width - x0 : 0, h = height > y0 ? height - y0 : 0;
    if (w * h * std::max<uint64_t>(components, 1) > (uint64_t(1) << 24)) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static TJpeg2000FileFormat* const jp2 = FindFileFormatByClass<TJpeg2000FileFormat>();
  if (ClaimsManySamples(data, size)) return 0;
  const uint8_t knob = size > 0 ? data[size - 1] : 0;

  std::optional<TDynImageDataArray> decoded = pixolan::fuzz::Decode(*jp2, data, size, true);
  if (!decoded) return 0;
  Check(decoded->size() == 1 && ImageIsValid((*decoded)[0]));
  const TImageData& image = (*decoded)[0];

  const bool lossless = (knob & 1) != 0;
  EngineSetOption(kOptionJpeg2000LosslessCompression, lossless);
  EngineSetOption(kOptionJpeg2000CodeStreamOnly, (knob >> 1) & 1);
  EngineSetOption(kOptionJpeg2000Quality, (knob >> 2) % 101);
  TMemoryStream saved;
  Check(jp2->SaveStream(saved, TImageSpan(&image, 1), true));
  TMemoryBlockStream again(saved.Data().data(), int64_t(saved.Data().size()));
  TDynImageDataArray reloaded;
  Check(jp2->LoadStream(again, reloaded, true) && reloaded.size() == 1);
  const TImageData& back = reloaded[0];
  Check(back.Format == image.Format && back.Width == image.Width && back.Height == image.Height);
  if (lossless) Check(std::memcmp(back.bits(), image.bits(), size_t(image.Size)) == 0);
  return 0;
}
