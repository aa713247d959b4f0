#include "imaging/Registry.h"

#include <mutex>
#include <shared_mutex>

#include "imaging/Imaging.h"
#include "imaging/Options.h"
#include "imaging/formats/BitmapFormat.h"
#include "imaging/formats/GifFormat.h"
#include "imaging/formats/JpegFormat.h"
#include "imaging/formats/TargaFormat.h"

namespace pixolan::imaging {

namespace {

struct TRegistryEntry {
  std::type_index Type;
  std::unique_ptr<TImageFileFormat> Format;
};

class THandlerRegistry {
 public:
  // Handlers unbind their options when this registry is destroyed at exit, so the option
  // registry must be constructed first (and is therefore destroyed later).
  THandlerRegistry() { EnsureOptionRegistry(); }

  TImageFileFormat* Register(std::type_index type, detail::THandlerFactory factory) {
    // Serialises registrations so that a class is never constructed twice (its option
    // bindings would go to the wrong instance). Recursive: a handler's constructor may
    // register a helper class.
    std::lock_guard registering(registerMutex_);
    if (TImageFileFormat* existing = Find(type)) return existing;
    // Constructed outside the list lock: constructors may look up other handlers.
    std::unique_ptr<TImageFileFormat> format = factory();
    TImageFileFormat* result = format.get();
    std::unique_lock lock(listMutex_);
    entries_.push_back({type, std::move(format)});
    return result;
  }

  TImageFileFormat* Find(std::type_index type) const {
    std::shared_lock lock(listMutex_);
    for (const TRegistryEntry& entry : entries_)
      if (entry.Type == type) return entry.Format.get();
    return nullptr;
  }

  std::vector<TImageFileFormat*> All() const {
    std::shared_lock lock(listMutex_);
    std::vector<TImageFileFormat*> result;
    result.reserve(entries_.size());
    for (const TRegistryEntry& entry : entries_) result.push_back(entry.Format.get());
    return result;
  }

 private:
  std::recursive_mutex registerMutex_;
  mutable std::shared_mutex listMutex_;
  std::vector<TRegistryEntry> entries_;
};

THandlerRegistry& Handlers() {
  static THandlerRegistry registry;
  return registry;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// Runs a handler's content probe from the start position. A probe that throws counts as
// a rejection: one handler choking on foreign data must not hide the format of another.
bool ProbeContent(TImageFileFormat& format, TIOHandle& handle, int64_t start) {
  try {
    handle.Seek(start, TSeekOrigin::Begin);
    return format.TestContent(handle);
  } catch (const std::exception&) {
    return false;
  }
}

// The two passes of detection: handlers whose masks match the name first (skipped when
// there is no name), then every handler.
std::string Detect(TIOHandle& handle, std::string_view fileName, bool byName) {
  const std::vector<TImageFileFormat*> formats = FileFormats();
  const int64_t start = handle.Tell();
  if (byName)
    for (TImageFileFormat* format : formats)
      if (format->MatchesFileName(fileName) && ProbeContent(*format, handle, start))
        return format->MainExtension();
  for (TImageFileFormat* format : formats)
    if (ProbeContent(*format, handle, start)) return format->MainExtension();
  return std::string();
}

// Keeps the first image of a load and frees the rest.
bool TakeFirst(bool loaded, TDynImageDataArray& images, TImageData& image) {
  if (!loaded || images.empty()) return false;
  image = std::move(images.front());
  ImageArrayFree(images);
  return true;
}

}  // namespace

namespace detail {

TImageFileFormat* RegisterFileFormat(std::type_index type, THandlerFactory factory) {
  return Handlers().Register(type, factory);
}

TImageFileFormat* FindFileFormatByType(std::type_index type) {
  return Handlers().Find(type);
}

}  // namespace detail

void RegisterBuiltinFormats() {
  static std::once_flag once;
  std::call_once(once, [] {
    // The order below is the order of every search; detection relies on it (a handler
    // with a weak probe must come after the ones it could mistake). Each handler family
    // registers its classes here as it lands:
    //   xpm:       TXPMFileFormat
    //   pcx:       TPCXFileFormat
    //   psd:       TPSDFileFormat
    //   tiff:      TTiffFileFormat
    //   jpeg2000:  TJpeg2000FileFormat
    //   pnm:       TPBMFileFormat, TPGMFileFormat, TPPMFileFormat, TPAMFileFormat,
    //              TPFMFileFormat
    //   tga:       TTargaFileFormat
    //   dds:       TDDSFileFormat
    //   gif:       TGIFFileFormat
    //   jpeg:      TJpegFileFormat
    //   png_mng_jng: TPNGFileFormat, TMNGFileFormat, TJNGFileFormat
    //   bmp:       TBitmapFileFormat
    // JPEG 2000 registers before GIF so that option 56 binds to its CodeStreamOnly field.
    Handlers();
    RegisterFileFormat<TTargaFileFormat>();
    RegisterFileFormat<TGIFFileFormat>();
    RegisterFileFormat<TJpegFileFormat>();
    RegisterFileFormat<TBitmapFileFormat>();
  });
}

std::vector<TImageFileFormat*> FileFormats() {
  return Handlers().All();
}

TImageFileFormat* FindFileFormatByExt(std::string_view ext) {
  if (!ext.empty() && ext.front() == '.') ext.remove_prefix(1);
  if (ext.empty()) return nullptr;
  for (TImageFileFormat* format : FileFormats())
    for (const std::string& candidate : format->Extensions)
      if (EqualsIgnoreCase(candidate, ext)) return format;
  return nullptr;
}

TImageFileFormat* FindFileFormatByFileName(std::string_view fileName) {
  for (TImageFileFormat* format : FileFormats())
    if (format->MatchesFileName(fileName)) return format;
  return nullptr;
}

std::string DetectFileFormat(const std::string& fileName) {
  try {
    TIOHandle handle = TFileIO::OpenRead(fileName);
    return Detect(handle, fileName, true);
  } catch (const std::exception&) {
    return std::string();
  }
}

std::string DetectStreamFormat(TStream& stream) {
  try {
    const int64_t start = stream.Tell();
    TIOHandle handle = TStreamIO::OpenRead(stream);
    std::string result = Detect(handle, std::string_view(), false);
    stream.Seek(start, TSeekOrigin::Begin);
    return result;
  } catch (const std::exception&) {
    return std::string();
  }
}

bool ImageLoadFile(const std::string& fileName, TImageData& image) {
  TImageFileFormat* format = FindFileFormatByExt(DetectFileFormat(fileName));
  if (!format) return false;
  ImageFree(image);
  TDynImageDataArray images;
  return TakeFirst(format->LoadFile(fileName, images, true), images, image);
}

bool ImageLoadStream(TStream& stream, TImageData& image) {
  if (stream.Tell() >= stream.Size())
    throw EImagingError("Input stream has no data. Check Position property.");
  TImageFileFormat* format = FindFileFormatByExt(DetectStreamFormat(stream));
  if (!format) return false;
  ImageFree(image);
  TDynImageDataArray images;
  return TakeFirst(format->LoadStream(stream, images, true), images, image);
}

bool ImageSaveStream(std::string_view ext, TStream& stream, const TImageData& image) {
  TImageFileFormat* format = FindFileFormatByExt(ext);
  if (!format) return false;
  return format->SaveStream(stream, TImageSpan(&image, 1), true);
}

}  // namespace pixolan::imaging
