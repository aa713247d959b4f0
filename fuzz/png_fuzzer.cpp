// Decodes arbitrary bytes with the PNG handler from memory; what decodes is written back
// with the row filter and compression level the last input byte chooses and must read
// back byte for byte in the same pixel format.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "NetworkGraphicsFuzz.h"
#include "imaging/formats/NetworkGraphicsFormat.h"
#include "imaging/image/Imaging.h"
#include "imaging/io/Options.h"
#include "imaging/io/Registry.h"

namespace {

using namespace pixolan::imaging;

using pixolan::fuzz::Check;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static TPNGFileFormat* const png = FindFileFormatByClass<TPNGFileFormat>();
  if (pixolan::fuzz::ClaimsTooManyPixels(data, size)) return 0;
  const uint8_t knob = size > 0 ? data[size - 1] : 0;

  std::optional<TDynImageDataArray> decoded = pixolan::fuzz::Decode(*png, data, size, true);
  if (!decoded) return 0;
  const TDynImageDataArray& images = *decoded;
  Check(images.size() == 1 && ImageIsValid(images[0]));
  const TImageData& image = images[0];

  EngineSetOption(kOptionPngPreFilter, knob % 7);
  EngineSetOption(kOptionPngCompressLevel, (knob >> 3) % 10);
  TMemoryStream saved;
  Check(png->SaveStream(saved, TImageSpan(&image, 1), true));
  TMemoryBlockStream again(saved.Data().data(), int64_t(saved.Data().size()));
  TDynImageDataArray reloaded;
  Check(png->LoadStream(again, reloaded, true) && reloaded.size() == 1);
  const TImageData& back = reloaded[0];
  Check(back.Format == image.Format && back.Width == image.Width && back.Height == image.Height);
  Check(std::memcmp(back.bits(), image.bits(), size_t(image.Size)) == 0);
  if (image.Palette)
    Check(std::memcmp(back.palette(), image.palette(), 256 * sizeof(TPixel32)) == 0);
  return 0;
}
