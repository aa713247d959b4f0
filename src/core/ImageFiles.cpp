#include "core/ImageFiles.h"

#include <span>

#include "imaging/FileFormat.h"
#include "imaging/Imaging.h"
#include "imaging/Registry.h"

namespace pixolan::core {

using namespace imaging;

bool LoadSourceImage(const std::string& path, TImageData& image, std::string* error) {
  RegisterBuiltinFormats();
  const std::string ext = DetectFileFormat(path);
  TImageFileFormat* handler = ext.empty() ? nullptr : FindFileFormatByExt(ext);
  if (!handler) {
    if (error) *error = "The file is not an image in a format that can be read.";
    return false;
  }
  ImageFree(image);
  try {
    TDynImageDataArray images;
    if (!handler->LoadFile(path, images, true) || images.empty()) {
      if (error) *error = "The file holds no image that can be read.";
      return false;
    }
    // Only the first page or frame of a multi-image file is converted.
    TImageData first = std::move(images.front());
    images.clear();
    if (!ImageConvert(first, TImageFormatId::A8R8G8B8)) {
      if (error) *error = "The image could not be converted for processing.";
      return false;
    }
    image = std::move(first);
    return true;
  } catch (const std::exception& e) {
    if (error) *error = e.what();
    return false;
  }
}

bool SaveResultImage(const std::string& path, const TImageData& image) {
  RegisterBuiltinFormats();
  TImageFileFormat* handler = FindFileFormatByFileName(path);
  if (!handler || !ImageIsValid(image)) return false;
  return handler->SaveFile(path, std::span<const TImageData>(&image, 1), true);
}

}  // namespace pixolan::core
