#include "imaging/io/Registry.h"

#include <mutex>
#include <optional>
#include <shared_mutex>

#include "imaging/formats/BuiltinFormats.h"
#include "imaging/image/Imaging.h"
#include "imaging/io/Options.h"
#include "platform/AsciiCase.h"

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

// Set on the thread that creates the built-in handlers while it does: a handler's
// constructor may look up the handlers created before it, and must then get the registry
// as it stands instead of waiting for the creation it is part of.
thread_local bool creatingBuiltins = false;

THandlerRegistry& Handlers() {
  static THandlerRegistry registry;
  static std::once_flag builtinsCreated;
  if (!creatingBuiltins) {
    std::call_once(builtinsCreated, [] {
      creatingBuiltins = true;
      try {
        for (const TBuiltinFormat& builtin : BuiltinFormats())
          registry.Register(builtin.Type, builtin.Create);
      } catch (...) {
        creatingBuiltins = false;
        throw;
      }
      creatingBuiltins = false;
    });
  }
  return registry;
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
// there is no name), then every handler. The handle is left at the start position.
TImageFileFormat* Detect(TIOHandle& handle, std::string_view fileName, bool byName) {
  const std::vector<TImageFileFormat*> formats = FileFormats();
  const int64_t start = handle.Tell();
  TImageFileFormat* found = nullptr;
  if (byName)
    for (TImageFileFormat* format : formats)
      if (format->MatchesFileName(fileName) && ProbeContent(*format, handle, start)) {
        found = format;
        break;
      }
  if (!found)
    for (TImageFileFormat* format : formats)
      if (ProbeContent(*format, handle, start)) {
        found = format;
        break;
      }
  handle.Seek(start, TSeekOrigin::Begin);
  return found;
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

void EnsureBuiltinFormats() {
  Handlers();
}

}  // namespace detail

std::vector<TImageFileFormat*> FileFormats() {
  return Handlers().All();
}

TImageFileFormat* FindFileFormatByExt(std::string_view ext) {
  if (!ext.empty() && ext.front() == '.') ext.remove_prefix(1);
  if (ext.empty()) return nullptr;
  for (TImageFileFormat* format : FileFormats())
    for (const std::string& candidate : format->Extensions)
      if (platform::EqualsIgnoreAsciiCase(candidate, ext)) return format;
  return nullptr;
}

TImageFileFormat* FindFileFormatByFileName(std::string_view fileName) {
  for (TImageFileFormat* format : FileFormats())
    if (format->MatchesFileName(fileName)) return format;
  return nullptr;
}

TImageFileFormat* DetectFileFormat(const std::string& fileName) {
  try {
    TIOHandle handle = TFileIO::OpenRead(fileName);
    return Detect(handle, fileName, true);
  } catch (const std::exception&) {
    return nullptr;
  }
}

TImageFileFormat* DetectStreamFormat(TStream& stream) {
  try {
    const int64_t start = stream.Tell();
    TIOHandle handle = TStreamIO::OpenRead(stream);
    TImageFileFormat* result = Detect(handle, std::string_view(), false);
    stream.Seek(start, TSeekOrigin::Begin);
    return result;
  } catch (const std::exception&) {
    return nullptr;
  }
}

bool ImageLoadFile(const std::string& fileName, TImageData& image) {
  return ImageLoadFileAs(fileName, TImageFormatId::Unknown, image);
}

bool ImageLoadFileAs(const std::string& fileName, TImageFormatId format, TImageData& image) {
  std::optional<TIOHandle> handle;
  TImageFileFormat* handler = nullptr;
  try {
    handle.emplace(TFileIO::OpenRead(fileName));
    handler = Detect(*handle, fileName, true);
  } catch (const std::exception&) {
    // As detection: a file that cannot be opened or probed has no format.
    return false;
  }
  if (!handler) return false;
  ImageFree(image);
  handle->SetWantedFormat(format);
  TDynImageDataArray images;
  if (!TakeFirst(handler->LoadFile(*handle, fileName, images, true), images, image)) return false;
  return format == TImageFormatId::Unknown || ImageConvert(image, format);
}

bool ImageLoadStream(TStream& stream, TImageData& image) {
  if (stream.Tell() >= stream.Size())
    throw EImagingError("Input stream has no data. Check Position property.");
  TImageFileFormat* format = DetectStreamFormat(stream);
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
