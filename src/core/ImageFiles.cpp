#include "core/ImageFiles.h"

#include <span>

#include "imaging/FileFormat.h"
#include "imaging/Imaging.h"
#include "imaging/Registry.h"

namespace pixolan::core {

using namespace imaging;

bool LoadSourceImage(const std::string& path, TImageData& image) {
  TImageData loaded;
  if (!ImageLoadFile(path, loaded)) return false;
  if (!ImageConvert(loaded, TImageFormatId::A8R8G8B8)) return false;
  image = std::move(loaded);
  return true;
}

bool SaveResultImage(const std::string& path, const TImageData& image) {
  TImageFileFormat* handler = FindFileFormatByFileName(path);
  if (!handler || !ImageIsValid(image)) return false;
  return handler->SaveFile(path, std::span<const TImageData>(&image, 1), true);
}

}  // namespace pixolan::core
