// The registry of file format handlers: finding a handler for a file, detecting a file's
// format by content, and the whole-image load and save entry points.
//
// The registry holds one instance of each handler class, in registration order, for the
// life of the process; every search runs in that order. The built-in handlers (the table
// in formats/BuiltinFormats.cpp) are created on the registry's first use, whichever entry
// point comes first, so no caller has to remember to register them. Registration and
// lookups are guarded, so concurrent loads may look up handlers while another thread
// registers.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <typeindex>
#include <typeinfo>
#include <vector>

#include "imaging/image/ImagingTypes.h"
#include "imaging/io/FileFormat.h"
#include "imaging/io/ImagingIO.h"

namespace pixolan::imaging {

namespace detail {
using THandlerFactory = std::unique_ptr<TImageFileFormat> (*)();
TImageFileFormat* RegisterFileFormat(std::type_index type, THandlerFactory factory);
TImageFileFormat* FindFileFormatByType(std::type_index type);
// Creates the built-in handlers unless the registry has been used already. For the option
// entry points, whose ids the handlers bind when they are created.
void EnsureBuiltinFormats();
}  // namespace detail

// Creates the one instance of handler class T and appends it to the registry, after the
// built-in handlers. A second registration of the same class is ignored. Returns the
// registered instance.
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

// All registered handlers in registry order.
std::vector<TImageFileFormat*> FileFormats();

// First handler whose extensions contain ext (case ignored; a leading dot is allowed).
TImageFileFormat* FindFileFormatByExt(std::string_view ext);
// First handler one of whose masks matches the file-name part of fileName.
TImageFileFormat* FindFileFormatByFileName(std::string_view fileName);

// The handler of the file's format, or null when no handler recognises it or the file
// cannot be read. Handlers whose masks match the name are asked first, then all handlers.
TImageFileFormat* DetectFileFormat(const std::string& fileName);
// The handler of the data at the stream's position, or null. The position is left where
// it was.
TImageFileFormat* DetectStreamFormat(TStream& stream);

// Loads the first image of a file whose format is detected by content. The file is opened
// once: the handler that recognised it reads from the same open file. False, with image
// untouched, when no handler recognises it (or it cannot be opened); loading failures
// raise EImagingError "Error while loading images from file ...".
bool ImageLoadFile(const std::string& fileName, TImageData& image);
// As ImageLoadFile, converted to `format` (which must be a format ImageConvert makes); the
// handler may decode straight into it. False also when the conversion fails.
bool ImageLoadFileAs(const std::string& fileName, TImageFormatId format, TImageData& image);
// As ImageLoadFile from the stream's position; raises when the stream has no data left.
bool ImageLoadStream(TStream& stream, TImageData& image);
// Saves one image into the stream with the handler found by extension; false without one.
bool ImageSaveStream(std::string_view ext, TStream& stream, const TImageData& image);

}  // namespace pixolan::imaging
