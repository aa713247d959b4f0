#include "imaging/icons/IconCursorFile.h"

#include <cstring>
#include <memory>
#include <vector>

#include "imaging/canvas/Bitmap.h"
#include "imaging/icons/IconCursorList.h"
#include "imaging/icons/IconCursorPrivate.h"
#include "imaging/image/ByteOrder.h"
#include "imaging/image/Errors.h"
#include "imaging/image/Imaging.h"

namespace pixolan::imaging {

bool IsIconCursorFileName(std::string_view fileName) {
  return MatchesFileNameMask(fileName, "*.ico") || MatchesFileNameMask(fileName, "*.cur");
}

void LoadIconCursorImage(TStream& stream, TImageData& image) {
  TIconCursorList list;
  list.LoadFromStream(stream);
  // Two stable sorts: the second key decides, the first breaks its ties.
  list.Sort(TIconSortKey::Size, TIconSortDirection::Descending);
  list.Sort(TIconSortKey::ColorDepth, TIconSortDirection::Descending);
  const TIconCursorImage& chosen = list[0];
  TBitmap32 bitmap(chosen.ImageInfo().Width, chosen.ImageInfo().Height);
  chosen.Draw(bitmap, 0, 0);
  BitmapToImage(bitmap, image);
}

void LoadIconCursorFile(const std::string& fileName, TImageData& image) {
  std::unique_ptr<TFileStream> file;
  try {
    file = std::make_unique<TFileStream>(fileName, TFileMode::Read);
  } catch (const EImagingError& e) {
    throw EIconException(e.what());
  }
  LoadIconCursorImage(*file, image);
}

void WriteIconCursorImage(const TImageData& image, TStream& stream) {
  // The directory cannot state a larger side, and scaling the image down is the user's
  // choice (the resize action), not something a save should do behind their back.
  if (image.Width > ico::kMaxSide || image.Height > ico::kMaxSide)
    throw EIconException(FormatText(
        "An icon can be at most %d x %d pixels, but the image is %d x %d pixels; resize it "
        "first.",
        ico::kMaxSide, ico::kMaxSide, image.Width, image.Height));
  TBitmap32 bitmap;
  ImageToBitmap(image, bitmap);
  const int32_t width = bitmap.Width(), height = bitmap.Height();
  uint8_t key[4];
  std::memcpy(key, bitmap.ScanLine(height - 1), 4);
  std::vector<uint8_t> mask(size_t(width) * size_t(height), 0);
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = bitmap.ScanLine(y);
    for (int32_t x = 0; x < width; ++x) {
      uint8_t* p = row + 4 * x;
      if (std::memcmp(p, key, 4) != 0 && p[3] != 0) continue;
      // Black under a set mask bit: readers that ignore alpha draw such a pixel by
      // exclusive or, which leaves the background as it is.
      std::memset(p, 0, 4);
      mask[size_t(y) * size_t(width) + size_t(x)] = 1;
    }
  }
  TIconCursorList list;
  list.Add(TIconCursorImage::Create32Bit(bitmap, mask));
  list.SaveToStream(stream);
}

// ---- TIconCursorFileFormat -----------------------------------------------------------

TIconCursorFileFormat::TIconCursorFileFormat() {
  Name = "Windows Icon and Cursor";
  AddMasks("*.ico,*.cur");
  CanRead = true;
  CanWrite = true;
  WritableFormatSet.set(size_t(TImageFormatId::A8R8G8B8));
}

bool TIconCursorFileFormat::ReadImages(TIOHandle& handle, TDynImageDataArray& images, bool) {
  TImageData image;
  LoadIconCursorImage(handle.Stream(), image);
  images.push_back(std::move(image));
  return true;
}

bool TIconCursorFileFormat::WriteImages(TIOHandle& handle, TImageSpan images,
                                        const TSaveSelection& selection) {
  const TWritableImage writable = MakeWritableCopy(images[size_t(selection.SaveFirst)]);
  if (!writable) return false;
  WriteIconCursorImage(writable.Image(), handle.Stream());
  return true;
}

void TIconCursorFileFormat::ConvertForWriting(TImageData& image, const TFormatDescriptor&) const {
  ImageConvert(image, TImageFormatId::A8R8G8B8);
}

bool TIconCursorFileFormat::TestContent(TIOHandle& handle) {
  const int64_t start = handle.Tell();
  uint8_t header[ico::kHeaderSize];
  const bool complete = handle.Read(header, sizeof(header)) == int64_t(sizeof(header));
  handle.Seek(start, TSeekOrigin::Begin);
  if (!complete) return false;
  const uint16_t type = Get16(header + ico::kHeaderType);
  const uint16_t count = Get16(header + ico::kHeaderCount);
  return Get16(header + ico::kHeaderReserved) == 0 &&
         (type == ico::kTypeIcon || type == ico::kTypeCursor) && count >= 1 &&
         count <= ico::kMaxEntries;
}

TIconCursorFileFormat& IconCursorFileFormat() {
  static TIconCursorFileFormat format;
  return format;
}

}  // namespace pixolan::imaging
