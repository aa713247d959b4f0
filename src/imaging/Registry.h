// The registry of file format handlers: finding a handler for a file, detecting a file's
// format by content, and the whole-image load and save entry points.
//
// The registry holds one instance of each handler class, in registration order, for the
// life of the process; every search runs in that order. Registration and lookups are
// guarded, so concurrent loads may look up handlers while another thread registers.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <typeindex>
#include <typeinfo>
#include <vector>

#include "FileFormat.h"
#include "ImagingIO.h"
#include "ImagingTypes.h"

namespace pixolan::imaging {

namespace detail {
using THandlerFactory = std::unique_ptr<TImageFileFormat> (*)();
TImageFileFormat* RegisterFileFormat(std::type_index type, THandlerFactory factory);
TImageFileFormat* FindFileFormatByType(std::type_index type);
}  // namespace detail

// Creates the one instance of handler class T and appends it to the registry. A second
// registration of the same class is ignored. Returns the registered instance.
template <class T>
T* RegisterFileFormat() {
  static_assert(std::is_base_of_v<TImageFileFormat, T>, "handlers derive from TImageFileFormat");
  return static_cast<T*>(detail::RegisterFileFormat(
      typeid(T), []() -> std::unique_ptr<TImageFileFormat> { return std::make_unique<T>(); }));
}

// The registered instance of handler class T, or null.
template <class T>
T* FindFileFormatByClass() {
  return static_cast<T*>(detail::FindFileFormatByType(typeid(T)));
}

// Registers the built-in handlers in their fixed order. Safe to call any number of times
// from any thread; the work is done once.
void RegisterBuiltinFormats();

// All registered handlers in registry order.
std::vector<TImageFileFormat*> FileFormats();

// First handler whose extensions contain ext (case ignored; a leading dot is allowed).
TImageFileFormat* FindFileFormatByExt(std::string_view ext);
// First handler one of whose masks matches the file-name part of fileName.
TImageFileFormat* FindFileFormatByFileName(std::string_view fileName);

// Main extension of the file's format, or "" when no handler recognises it or the file
// cannot be read. Handlers whose masks match the name are asked first, then all handlers.
std::string DetectFileFormat(const std::string& fileName);
// Main extension of the format of the data at the stream's position, or "". The position
// is left where it was.
std::string DetectStreamFormat(TStream& stream);

// Loads the first image of a file whose format is detected by content. False, with image
// untouched, when no handler recognises it; loading failures raise EImagingError.
bool ImageLoadFile(const std::string& fileName, TImageData& image);
// As ImageLoadFile from the stream's position; raises when the stream has no data left.
bool ImageLoadStream(TStream& stream, TImageData& image);
// Saves one image into the stream with the handler found by extension; false without one.
bool ImageSaveStream(std::string_view ext, TStream& stream, const TImageData& image);

}  // namespace pixolan::imaging
