// Decodes arbitrary bytes with the TIFF handler from memory, one page or all of them as the
// last input byte chooses; the first page is written back with the compression that byte
// picks and must read back to the same pixels (JPEG: the same size).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>

#include "NetworkGraphicsFuzz.h"
#include "imaging/formats/TiffFormat.h"
#include "imaging/image/Imaging.h"
#include "imaging/io/Options.h"
#include "imaging/io/Registry.h"

namespace {

using namespace pixolan::imaging;
using pixolan::fuzz::Check;
using F = TImageFormatId;

// The handler accepts pages up to 2^28 pixels when the stored data could back them, and fax
// codes can back a large page with a few bytes. Inputs with an ImageWidth and ImageLength
// entry (classic or BigTIFF, either byte order) that multiply to more than 4M pixels are
// skipped here, so that runs stay fast and below libFuzzer's memory cap; the refusals above
// that size are covered by the unit tests.
bool ClaimsLargePage(const uint8_t* data, size_t size) {
  if (size < 8) return false;
  const bool little = data[0] == 'I';
  const auto get = [&](size_t at, int bytes) {
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) {
      const uint64_t b = data[at + size_t(i)];
      v |= little ? b << (8 * i) : b << (8 * (bytes - 1 - i));
    }
    return v;
  };
  uint64_t width = 0, height = 0;
  for (size_t i = 8; i + 12 <= size; ++i) {
    const uint64_t tag = get(i, 2);
    if (tag != 256 && tag != 257) continue;
    const uint64_t type = get(i + 2, 2);
    // Classic entries keep the value at +8, BigTIFF ones at +12; both are taken.
    for (const size_t at : {i + 8, i + 12}) {
      if (at + 4 > size) continue;
      const uint64_t v = type == 3 ? get(at, 2) : get(at, 4);
      (tag == 256 ? width : height) = std::max(tag == 256 ? width : height, v);
    }
  }
  return width * height > (uint64_t(1) << 22);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static TTiffFileFormat* const tiff = FindFileFormatByClass<TTiffFileFormat>();
  if (ClaimsLargePage(data, size)) return 0;
  const uint8_t knob = size > 0 ? data[size - 1] : 0;

  std::optional<TDynImageDataArray> decoded =
      pixolan::fuzz::Decode(*tiff, data, size, (knob & 0x80) == 0);
  if (!decoded) return 0;
  const TDynImageDataArray& images = *decoded;
  Check(!images.empty());
  for (const TImageData& page : images) Check(ImageIsValid(page));
  const TImageData& image = images[0];

  const int32_t compression = knob % 5;
  EngineSetOption(kOptionTiffCompressionIndex, compression);
  TMemoryStream saved;
  Check(tiff->SaveStream(saved, TImageSpan(&image, 1), true));
  TMemoryBlockStream again(saved.Data().data(), int64_t(saved.Data().size()));
  TDynImageDataArray reloaded;
  Check(tiff->LoadStream(again, reloaded, true) && reloaded.size() == 1);
  const TImageData& back = reloaded[0];
  Check(back.Format == image.Format && back.Width == image.Width && back.Height == image.Height);
  const bool lossy = compression == kTiffCompressionJpeg &&
                     (image.Format == F::Gray8 || image.Format == F::R8G8B8);
  if (!lossy) {
    Check(std::memcmp(back.bits(), image.bits(), size_t(image.Size)) == 0);
    if (image.Palette)
      Check(std::memcmp(back.palette(), image.palette(), 256 * sizeof(TPixel32)) == 0);
  }
  return 0;
}
