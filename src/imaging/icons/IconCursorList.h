// Icon (.ico) and cursor (.cur) files: the list of images a file holds, read and written
// by our own code in the published layout (IconCursorPrivate.h).
//
// Entries are device-independent bitmaps of 1, 4, 8, 24 or 32 bits per pixel with their
// AND masks, or PNG files (as 256 x 256 icons carry them), which the PNG handler decodes.
// Cursors are read like icons; their hot spot stays in the directory fields.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "imaging/canvas/Bitmap.h"
#include "imaging/image/ImagingTypes.h"
#include "imaging/io/ImagingIO.h"

namespace pixolan::imaging {

// Every failure of the icon classes. An EImagingError, so that callers that handle engine
// failures handle these too.
class EIconException : public EImagingError {
 public:
  using EImagingError::EImagingError;
};

// What the bit count of an entry says about its colors.
enum class TIconColorDepth : uint8_t {
  TwoColors = 0,    // 1 bit
  Colors16 = 1,     // 4 bits
  Colors256 = 2,    // 8 bits
  Grays256 = 3,     // 8-bit gray (PNG entries only)
  TrueColor24 = 4,  // 24 bits
  TrueColor32 = 5,  // 32 bits, or any PNG entry with alpha or more than 8 bits a sample
};

// Size and bits per pixel (1, 4, 8, 24 or 32) of an entry as its data gives them.
struct TIconImageInfo {
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t BitsPerPixel = 0;
};

class TIconCursorList;

// One image of an icon or cursor file: its directory entry, its data as stored and the
// decoded color pixels and AND mask.
class TIconCursorImage {
 public:
  TIconCursorImage(const TIconCursorImage&) = delete;
  TIconCursorImage& operator=(const TIconCursorImage&) = delete;

  // A 32-bit entry made from pixels (B, G, R, A) and a mask of one byte a pixel, nonzero
  // where the AND mask is set. Raises "Invalid size specified in width or height: ..."
  // for an empty bitmap or a side beyond 256 pixels, and when the mask does not fit.
  static std::unique_ptr<TIconCursorImage> Create32Bit(const TBitmap32& pixels,
                                                       const std::vector<uint8_t>& mask);

  // The directory entry as read or as it will be written.
  uint8_t Width = 0;  // 0 stands for 256
  uint8_t Height = 0;
  uint8_t ColorCount = 0;
  uint8_t Reserved = 0;
  uint16_t PlanesOrHotSpotX = 0;
  uint16_t BitCountOrHotSpotY = 0;
  uint32_t BytesInRes = 0;
  uint32_t ImageOffset = 0;

  TIconColorDepth ColorDepth() const { return colorDepth_; }
  TIconImageInfo ImageInfo() const { return info_; }
  // 2^bits for entries of 1, 4 and 8 bits; 0 for true-color entries.
  int32_t Colors() const;
  // The color table of an entry of 8 bits or less; raises "Palette index out of range:
  // (Index = %d)" beyond it.
  TPixel32 PaletteEntry(int32_t index) const;
  int32_t PaletteSize() const { return int32_t(palette_.size()); }
  // Whether the colors carry their own transparency (a 32-bit entry with any nonzero alpha,
  // or a PNG entry); the AND mask is then not used for drawing.
  bool HasAlpha() const { return hasAlpha_; }
  bool IsPng() const { return isPng_; }

  // The color pixels, B, G, R, A, top row first; alpha is 255 for entries without alpha.
  const TBitmap32& Image() const { return image_; }
  // One byte a pixel, top row first: 1 where the AND mask is set (transparent).
  const std::vector<uint8_t>& Mask() const { return mask_; }
  // The image data as stored in the file (from ImageOffset, BytesInRes bytes).
  const std::vector<uint8_t>& ResourceData() const { return data_; }

  // Draws the entry at (x, y) as an icon is drawn on a 32-bit surface: entries with alpha
  // are blended over the target (a zero target receives their pixels unchanged); others
  // replace the target where the mask is clear (opaque) and combine with it by exclusive
  // or where it is set, which leaves the target's alpha, so a zero target stays
  // transparent there. Parts outside the target are clipped.
  void Draw(TBitmap32& target, int32_t x, int32_t y) const;

  TIconCursorList* Owner() const { return owner_; }

 private:
  friend class TIconCursorList;
  TIconCursorImage() = default;

  // Reads the directory entry at offset `entry` of the file and decodes its image data.
  void Load(const std::vector<uint8_t>& file, size_t entry);
  void DecodeBitmap();
  void DecodePng();

  TIconCursorList* owner_ = nullptr;
  TIconColorDepth colorDepth_ = TIconColorDepth::TrueColor32;
  TIconImageInfo info_;
  bool hasAlpha_ = false;
  bool isPng_ = false;
  std::vector<TPixel32> palette_;
  TBitmap32 image_;
  std::vector<uint8_t> mask_;
  std::vector<uint8_t> data_;
};

enum class TIconSortKey : uint8_t { None = 0, ColorDepth = 1, Size = 2 };
enum class TIconSortDirection : uint8_t { Ascending = 0, Descending = 1 };

// The images of one icon or cursor file, in file order until sorted.
class TIconCursorList {
 public:
  TIconCursorList() = default;
  TIconCursorList(const TIconCursorList&) = delete;
  TIconCursorList& operator=(const TIconCursorList&) = delete;

  // Raised after every change of the list.
  std::function<void()> OnChange;
  // The file's resource type is 2 (cursor). Saving writes type 2 when set.
  bool IsCursor = false;
  // The order of the last Sort.
  TIconSortKey SortKey = TIconSortKey::None;
  TIconSortDirection SortDirection = TIconSortDirection::Ascending;

  // Replaces the list by the images of the file. The header must have reserved 0, type 1
  // or 2 and 1 to 64 entries, else "Not a valid icon file header."; every entry is read,
  // and when any fails, "Some icons could not be loaded due to the following errors: "
  // with each failure's message on a line of its own is raised; the entries that were read
  // stay in the list. Raises EIconException for a file that cannot be opened.
  void LoadFromFile(const std::string& fileName);
  void LoadFromStream(TStream& stream);
  // Writes the header, every directory entry and every image's data. At least one image
  // is required. SaveToFile replaces the file only when everything was written.
  void SaveToFile(const std::string& fileName);
  void SaveToStream(TStream& stream);

  // Orders the images: key ColorDepth compares bits per pixel, then width + height; key
  // Size the other way round; Descending puts the largest first. Equal images keep their
  // order, so the first of two alike stays first.
  void Sort(TIconSortKey key, TIconSortDirection direction);

  // Add and Insert raise "Can not add Nil entries to icon list." for null; indexes out of
  // range raise "Icon list index out of bounds: (%d)".
  TIconCursorImage& Add(std::unique_ptr<TIconCursorImage> image);
  TIconCursorImage& Insert(int32_t index, std::unique_ptr<TIconCursorImage> image);
  void Delete(int32_t index);
  // Removes and frees the image; returns its former index, or -1 when it is not listed.
  int32_t Remove(const TIconCursorImage* image);
  int32_t IndexOf(const TIconCursorImage* image) const;
  void Clear();
  int32_t Count() const { return int32_t(items_.size()); }
  TIconCursorImage& operator[](int32_t index);
  const TIconCursorImage& operator[](int32_t index) const;

  // The whole file last read or written.
  const std::vector<uint8_t>& Data() const { return data_; }

 private:
  void Changed();
  void CheckIndex(int32_t index, int32_t limit) const;

  std::vector<std::unique_ptr<TIconCursorImage>> items_;
  std::vector<uint8_t> data_;
};

}  // namespace pixolan::imaging
