#include "imaging/formats/BuiltinFormats.h"

#include "imaging/formats/BitmapFormat.h"
#include "imaging/formats/DdsFormat.h"
#include "imaging/formats/GifFormat.h"
#include "imaging/formats/JpegFormat.h"
#include "imaging/formats/NetworkGraphicsFormat.h"
#include "imaging/formats/PcxFormat.h"
#include "imaging/formats/PortableMapFormat.h"
#include "imaging/formats/PsdFormat.h"
#include "imaging/formats/TargaFormat.h"
#include "imaging/formats/XpmFormat.h"

namespace pixolan::imaging {

namespace {

template <class T>
TBuiltinFormat Entry() {
  return {typeid(T), []() -> std::unique_ptr<TImageFileFormat> { return std::make_unique<T>(); }};
}

}  // namespace

std::span<const TBuiltinFormat> BuiltinFormats() {
  // The order is the order of every search, and detection relies on it: a handler with a
  // weak content probe must come after the handlers whose files it could mistake for its
  // own. The families not built yet take their places as they land:
  //   -> TXPMFileFormat, TPCXFileFormat,
  //   -> TPSDFileFormat,
  //   TTiffFileFormat,
  //   TJpeg2000FileFormat (before GIF: it claims option kOptionJpeg2000CodeStreamOnly, which
  //   GIF's LoadAnimated also asks for),
  //   -> TPBMFileFormat, TPGMFileFormat, TPPMFileFormat, TPAMFileFormat, TPFMFileFormat,
  //   -> TTargaFileFormat, TDDSFileFormat,
  //   -> TGIFFileFormat, TJpegFileFormat,
  //   -> TPNGFileFormat, TMNGFileFormat, TJNGFileFormat,
  //   -> TBitmapFileFormat.
  static const TBuiltinFormat table[] = {
      Entry<TXPMFileFormat>(),    Entry<TPCXFileFormat>(), Entry<TPSDFileFormat>(),
      Entry<TPBMFileFormat>(),    Entry<TPGMFileFormat>(), Entry<TPPMFileFormat>(),
      Entry<TPAMFileFormat>(),    Entry<TPFMFileFormat>(), Entry<TTargaFileFormat>(),
      Entry<TDDSFileFormat>(),    Entry<TGIFFileFormat>(), Entry<TJpegFileFormat>(),
      Entry<TPNGFileFormat>(),    Entry<TMNGFileFormat>(), Entry<TJNGFileFormat>(),
      Entry<TBitmapFileFormat>(),
  };
  return table;
}

}  // namespace pixolan::imaging
