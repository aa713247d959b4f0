// Decodes arbitrary bytes with the MNG handler from memory, every image or only the first
// as the last input byte chooses; what decodes is written back (as embedded PNG or, by the
// same byte, JNG images) and must read back as the same number of images of the same
// sizes, with the same pixels when written as PNG.
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
  static TMNGFileFormat* const mng = FindFileFormatByClass<TMNGFileFormat>();
  if (pixolan::fuzz::ClaimsTooManyPixels(data, size)) return 0;
  const uint8_t knob = size > 0 ? data[size - 1] : 0;
  const bool onlyFirst = knob & 1;
  const bool lossy = (knob & 2) != 0;

  std::optional<TDynImageDataArray> decoded = pixolan::fuzz::Decode(*mng, data, size, onlyFirst);
  if (!decoded) return 0;
  const TDynImageDataArray& images = *decoded;
  Check(!images.empty() && (!onlyFirst || images.size() == 1));
  for (const TImageData& image : images) Check(ImageIsValid(image));

  EngineSetOption(kOptionMngLossyCompression, lossy);
  EngineSetOption(kOptionMngLossyAlpha, (knob & 4) != 0);
  TMemoryStream saved;
  Check(mng->SaveStream(saved, images, false));
  EngineSetOption(kOptionMngLossyCompression, 0);
  TMemoryBlockStream again(saved.Data().data(), int64_t(saved.Data().size()));
  TDynImageDataArray reloaded;
  Check(mng->LoadStream(again, reloaded, false) && reloaded.size() == images.size());
  for (size_t i = 0; i < images.size(); ++i) {
    Check(reloaded[i].Width == images[i].Width && reloaded[i].Height == images[i].Height);
    if (!lossy)
      Check(reloaded[i].Format == images[i].Format &&
            std::memcmp(reloaded[i].bits(), images[i].bits(), size_t(images[i].Size)) == 0);
  }
  return 0;
}
