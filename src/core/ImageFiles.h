// The program's only way to read and write image files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "imaging/image/ImagingTypes.h"
#include "imaging/io/FileFormat.h"

namespace pixolan::core {

// Fills image with the first image of the file at path (the first page or frame of a
// multi-image file), converted to A8R8G8B8. The format is detected from the content, not
// the name, and the file is opened once. False, with image untouched, when no handler
// recognises the file; a file a handler recognises but cannot read raises EImagingError
// "Error while loading images from file ..." with the handler's reason. Files named *.ico
// or *.cur are read by the icon reader whatever they hold (LoadIconCursorFile); its
// failures raise EIconException.
bool LoadSourceImage(const std::string& path, imaging::TImageData& image);

// The handler that writes files named like path, chosen by the extension alone; null when
// no handler has a mask for it. Icon and cursor names get the icon writer.
imaging::TImageFileFormat* ResultFormatOf(const std::string& path);

// Every format the program reads or writes: the registry's handlers, then the icon and
// cursor files, which live outside it.
std::vector<imaging::TImageFileFormat*> ImageFileFormats();

// Writes image to path in the format the path's extension names. False, with nothing
// written, when no handler saves that extension or the image is invalid. The file appears
// only when the writer succeeded: a failed save leaves an existing file as it was, and a
// link at path is replaced, never written through. With options.RefuseExisting a file at
// path (also one appearing during the save) is never replaced: EFileExistsError. Writer
// failures raise EImagingError.
bool SaveResultImage(const std::string& path, const imaging::TImageData& image,
                     const imaging::TSaveFileOptions& options = {});
// As above with the handler the caller already found with ResultFormatOf(path).
bool SaveResultImage(imaging::TImageFileFormat& format, const std::string& path,
                     const imaging::TImageData& image,
                     const imaging::TSaveFileOptions& options = {});

// Encodes image as format writes it into bytes (replaced), ready for
// imaging::WriteEncodedFile. False when the handler does not write it or the image is
// invalid; writer failures raise EImagingError.
bool EncodeResultImage(imaging::TImageFileFormat& format, const imaging::TImageData& image,
                       std::vector<uint8_t>& bytes);

}  // namespace pixolan::core
