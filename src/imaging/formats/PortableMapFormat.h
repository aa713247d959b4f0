// The portable maps: PBM (*.pbm), PGM (*.pgm), PPM (*.ppm), PAM (*.pam) and PFM (*.pfm).
#pragma once

#include <atomic>
#include <cstdint>

#include "imaging/io/FileFormat.h"
#include "imaging/io/Options.h"

namespace pixolan::imaging {

// Which of the five maps a handler writes.
enum class TPortableMapKind { Bitmap, Graymap, Pixmap, Arbitrary, FloatMap };

// Reading is shared by the five handlers; each accepts only its own magic numbers.
//
// P1..P6: header tokens are separated by blanks, tabs, CR and LF, and "#" starts a comment
// that runs to the end of the line (also between raster samples of the plain formats).
// PBM (P1, P4) gives Gray8 with 1 (black) -> 0 and 0 -> 255; PGM (P2, P5) gives Gray8 or
// Gray16, PPM (P3, P6) R8G8B8 or R16G16B16. A MAXVAL up to 255 gives one-byte samples,
// above that two bytes; samples are stretched to the full range of the format (v * 255 div
// MAXVAL or v * 65535 div MAXVAL) and a sample above MAXVAL counts as MAXVAL. Two-byte
// samples are big-endian, unless the first header line ends with CR LF: such files come
// from writers that stored them little-endian.
//
// PAM (P7): the header lines WIDTH, HEIGHT, DEPTH, MAXVAL, optional TUPLTYPE, in any order,
// then ENDHDR. BLACKANDWHITE gives Gray8 (0 and 1 -> 0 and 255), GRAYSCALE Gray8/Gray16,
// RGB R8G8B8/R16G16B16, BLACKANDWHITE_ALPHA A8Gray8, GRAYSCALE_ALPHA A8Gray8/A16Gray16,
// RGB_ALPHA A8R8G8B8/A16R16G16B16; without TUPLTYPE the DEPTH 1..4 picks the gray or color
// type. Other types, the floating point ones among them, and a DEPTH that does not fit the
// type are refused.
//
// PFM: "Pf" gives R32F, "PF" A32B32G32R32F with alpha 1.0; rows are stored bottom first; a
// positive scale means big-endian floats, its size is not applied.
//
// Every size is checked against the bytes the file still holds before the image is
// allocated; bad input raises EImagingError.
class TPortableMapFileFormat : public TImageFileFormat {
 public:
  // PGM and PPM: binary (P5, P6) rather than plain text (P2, P3) data. Bound to
  // kOptionPgmSaveBinary and kOptionPpmSaveBinary; the other maps have one way to write.
  std::atomic<int32_t> SaveBinary{1};

  bool ReadImages(TIOHandle& handle, TDynImageDataArray& images, bool onlyFirst) override;
  bool WriteImages(TIOHandle& handle, TImageSpan images, const TSaveSelection& selection) override;
  void ConvertForWriting(TImageData& image,
                         const TFormatDescriptor& sourceDescriptor) const override;
  bool TestContent(TIOHandle& handle) override;

 protected:
  // magics: the two characters after "P" that the handler accepts (the same twice for one).
  TPortableMapFileFormat(TPortableMapKind kind, const char* name, const char* masks,
                         char plainMagic, char binaryMagic);

 private:
  TPortableMapKind kind_;
  char plainMagic_;
  char binaryMagic_;
};

// Read only.
class TPBMFileFormat : public TPortableMapFileFormat {
 public:
  TPBMFileFormat();
};

// Writes Gray8 and Gray16; other images become Gray8, or Gray16 when they have more than
// 8 bits a channel.
class TPGMFileFormat : public TPortableMapFileFormat {
 public:
  TPGMFileFormat();
};

// Writes R8G8B8 and R16G16B16 (samples R, G, B); other images become one of them by depth.
class TPPMFileFormat : public TPortableMapFileFormat {
 public:
  TPPMFileFormat();
};

// Writes binary gray or RGB, with or without alpha, 8 or 16 bits a sample as the source.
class TPAMFileFormat : public TPortableMapFileFormat {
 public:
  TPAMFileFormat();
};

// Writes R32F ("Pf") and A32B32G32R32F ("PF", alpha dropped) little-endian, scale -1;
// color and indexed images become A32B32G32R32F, the others R32F.
class TPFMFileFormat : public TPortableMapFileFormat {
 public:
  TPFMFileFormat();
};

}  // namespace pixolan::imaging
