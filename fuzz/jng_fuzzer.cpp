// Decodes arbitrary bytes with the JNG handler from memory; what decodes is written back
// with the alpha coding and progressive flag the last input byte chooses and must read
// back at the same size with the same alpha presence (JPEG coding is lossy).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
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
  static TJNGFileFormat* const jng = FindFileFormatByClass<TJNGFileFormat>();
  if (pixolan::fuzz::ClaimsTooManyPixels(data, size)) return 0;
  const uint8_t knob = size > 0 ? data[size - 1] : 0;

  std::optional<TDynImageDataArray> decoded = pixolan::fuzz::Decode(*jng, data, size, true);
  if (!decoded) return 0;
  const TDynImageDataArray& images = *decoded;
  Check(images.size() == 1 && ImageIsValid(images[0]));
  const TImageData& image = images[0];
  const TImageFormatId f = image.Format;
  Check(f == TImageFormatId::Gray8 || f == TImageFormatId::A8Gray8 || f == TImageFormatId::R8G8B8 ||
        f == TImageFormatId::A8R8G8B8);

  EngineSetOption(kOptionJngLossyAlpha, knob & 1);
  EngineSetOption(kOptionJngProgressive, (knob >> 1) & 1);
  TMemoryStream saved;
  Check(jng->SaveStream(saved, TImageSpan(&image, 1), true));
  TMemoryBlockStream again(saved.Data().data(), int64_t(saved.Data().size()));
  TDynImageDataArray reloaded;
  Check(jng->LoadStream(again, reloaded, true) && reloaded.size() == 1);
  Check(reloaded[0].Width == image.Width && reloaded[0].Height == image.Height &&
        reloaded[0].Format == f);
  return 0;
}
