#include "core/ImageFiles.h"

#include <span>

#include "imaging/icons/IconCursorFile.h"
#include "imaging/image/Imaging.h"
#include "imaging/io/FileFormat.h"
#include "imaging/io/Registry.h"

namespace pixolan::core {

using namespace imaging;

bool LoadSourceImage(const std::string& path, TImageData& image) {
  TImageData loaded;
  if (IsIconCursorFileName(path)) {
    LoadIconCursorFile(path, loaded);
    image = std::move(loaded);
    return true;
  }
  if (!ImageLoadFileAs(path, TImageFormatId::A8R8G8B8, loaded)) return false;
  image = std::move(loaded);
  return true;
}

TImageFileFormat* ResultFormatOf(const std::string& path) {
  if (IsIconCursorFileName(path)) return &IconCursorFileFormat();
  return FindFileFormatByFileName(path);
}

std::vector<TImageFileFormat*> ImageFileFormats() {
  std::vector<TImageFileFormat*> formats = FileFormats();
  formats.push_back(&IconCursorFileFormat());
  return formats;
}

bool SaveResultImage(const std::string& path, const TImageData& image,
                     const TSaveFileOptions& options) {
  TImageFileFormat* format = ResultFormatOf(path);
  return format && SaveResultImage(*format, path, image, options);
}

bool SaveResultImage(TImageFileFormat& format, const std::string& path, const TImageData& image,
                     const TSaveFileOptions& options) {
  if (!ImageIsValid(image)) return false;
  return format.SaveFile(path, std::span<const TImageData>(&image, 1), true, options);
}

bool EncodeResultImage(TImageFileFormat& format, const TImageData& image,
                       std::vector<uint8_t>& bytes) {
  if (!ImageIsValid(image)) return false;
  TMemoryStream stream;
  if (!format.SaveStream(stream, std::span<const TImageData>(&image, 1), true)) return false;
  bytes = stream.Release();
  return true;
}

}  // namespace pixolan::core
