// Icon and cursor files as the program reads and writes them: one image out of a file, one
// image into a file. They live beside the handler registry rather than in it (the content
// of a file never makes it an icon, its name does), but TIconCursorFileFormat gives them
// the handler interface, so saving takes the same safe road as every other format.
#pragma once

#include <string>
#include <string_view>

#include "imaging/image/ImagingTypes.h"
#include "imaging/io/FileFormat.h"
#include "imaging/io/ImagingIO.h"

namespace pixolan::imaging {

// Whether the file name ends in ".ico" or ".cur", in any letter case.
bool IsIconCursorFileName(std::string_view fileName);

// The image a file shows: the entry with the most bits per pixel and, among those, the
// largest width + height (the first of equals), drawn on a transparent 32-bit bitmap.
// The result is A8R8G8B8; 32-bit and PNG entries keep their alpha, others are opaque where
// the AND mask is clear and transparent where it is set. Cursors are read the same way.
// Failures raise EIconException (see TIconCursorList::LoadFromStream).
void LoadIconCursorImage(TStream& stream, TImageData& image);
void LoadIconCursorFile(const std::string& fileName, TImageData& image);

// Writes the image as an icon (resource type 1, also for cursor names) with one 32-bit
// entry. Every pixel exactly the color of the bottom-left pixel becomes transparent, as do
// pixels that already are (alpha 0); their AND mask bits are set and their colors zero.
// An image beyond 256 pixels in either direction is refused with EIconException.
void WriteIconCursorImage(const TImageData& image, TStream& stream);

// The handler interface over the two functions above, for *.ico and *.cur. It is not in
// the registry: content detection never picks it, and it claims no content of its own.
class TIconCursorFileFormat : public TImageFileFormat {
 public:
  TIconCursorFileFormat();
  bool ReadImages(TIOHandle& handle, TDynImageDataArray& images, bool onlyFirst) override;
  bool WriteImages(TIOHandle& handle, TImageSpan images, const TSaveSelection& selection) override;
  void ConvertForWriting(TImageData& image,
                         const TFormatDescriptor& sourceDescriptor) const override;
  // A header the reader accepts: reserved 0, type 1 or 2, 1 to 64 entries.
  bool TestContent(TIOHandle& handle) override;
};

// The one instance, made on first use and only read afterwards, like the registry's.
TIconCursorFileFormat& IconCursorFileFormat();

}  // namespace pixolan::imaging
