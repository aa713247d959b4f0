// ZSoft Paintbrush reader (*.pcx).
#pragma once

#include "imaging/io/FileFormat.h"

namespace pixolan::imaging {

// Reads raw and run-length encoded PCX files of every layout the format has:
// 1 bit x 1..4 planes (bit i of the index from plane i), 2 and 4 bits x 1 plane → Index8
// with the 16 colors of the header (the EGA's default colors for version 3 files, which
// carry none; black and white for a monochrome file whose two header colors are equal); 8 bits x 1
// plane → Index8 with the 256-color palette at the end of the file, or gray levels when the file
// has none; 8 bits x 3 planes → R8G8B8 and x 4 planes → A8R8G8B8 (planes red, green, blue, alpha).
//
// Runs may cross rows. The data are checked against what the file holds before the image
// is allocated (a run of two bytes gives at most 63 bytes), and rows are decoded one at a
// time, so the padding a header claims costs no memory. Read only.
class TPCXFileFormat : public TImageFileFormat {
 public:
  TPCXFileFormat();

  bool ReadImages(TIOHandle& handle, TDynImageDataArray& images, bool onlyFirst) override;
  bool TestContent(TIOHandle& handle) override;
};

}  // namespace pixolan::imaging
