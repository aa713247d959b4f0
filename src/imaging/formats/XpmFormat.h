// X Window Pixmap reader (*.xpm).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "imaging/image/ImagingTypes.h"
#include "imaging/io/FileFormat.h"

namespace pixolan::imaging {

// Reads XPM 3 files (C source whose first line is "/* XPM */") into A8R8G8B8: the values
// string (width, height, colors, characters per pixel; hot spot and extensions ignored),
// the color table and the pixel rows, with any number of characters per pixel up to 8.
// A color is "#" and 3, 6, 9 or 12 hexadecimal digits, or a name (see XpmColor); the
// color key "c" is used, else "g", "g4" or "m". Sizes are checked against the file
// before the image is allocated. A color that cannot be read, a pixel without color and a
// missing row raise EImagingError: such a file cannot be shown as its author meant.
// Read only.
class TXPMFileFormat : public TImageFileFormat {
 public:
  TXPMFileFormat();

  bool ReadImages(TIOHandle& handle, TDynImageDataArray& images, bool onlyFirst) override;
  bool TestContent(TIOHandle& handle) override;
};

// The color of an XPM color text: "#" and hexadecimal digits; the engine's own names
// ("none", "transparent", "dkblue", "gray" = C0C0C0, ...) compared in lower case; then the
// X11 color names, ignoring case and blanks. Nothing for anything else.
std::optional<TPixel32> XpmColor(std::string_view text);

}  // namespace pixolan::imaging
