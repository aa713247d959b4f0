// Reads arbitrary bytes as an icon or cursor file, as the program does; what loads is
// written back as an icon and read again, and a list that loads saves to the same entries.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "NetworkGraphicsFuzz.h"
#include "imaging/icons/IconCursorFile.h"
#include "imaging/icons/IconCursorList.h"
#include "imaging/image/Imaging.h"

using namespace pixolan::imaging;
using pixolan::fuzz::Check;

namespace {

// Reads the list again from what it saved: the same images, entry by entry.
void CheckListRoundTrip(TIconCursorList& list) {
  TMemoryStream saved;
  list.SaveToStream(saved);
  TIconCursorList again;
  TMemoryBlockStream stream(saved.Data().data(), int64_t(saved.Data().size()));
  again.LoadFromStream(stream);
  Check(again.Count() == list.Count() && again.IsCursor == list.IsCursor);
  for (int32_t i = 0; i < list.Count(); ++i) {
    const TBitmap32& a = list[i].Image();
    const TBitmap32& b = again[i].Image();
    Check(a.Width() == b.Width() && a.Height() == b.Height());
    Check(std::memcmp(a.Bits(), b.Bits(), size_t(a.BytesPerLine()) * size_t(a.Height())) == 0);
    Check(list[i].Mask() == again[i].Mask());
  }
}

}  // namespace

// Bitmap entries must have their pixels in the input, so their size is bounded by it; PNG
// entries are not (deflate), and claims beyond 4M pixels are skipped, as for the PNG
// targets, to stay below libFuzzer's memory cap.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (pixolan::fuzz::ClaimsTooManyPixels(data, size)) return 0;
  TImageData image;
  try {
    TMemoryBlockStream stream(data, int64_t(size));
    LoadIconCursorImage(stream, image);
  } catch (const EImagingError&) {
    return 0;
  }
  Check(ImageIsValid(image) && image.Format == TImageFormatId::A8R8G8B8);

  TIconCursorList list;
  TMemoryBlockStream stream(data, int64_t(size));
  list.LoadFromStream(stream);  // it loaded above, so every entry reads
  CheckListRoundTrip(list);

  if (image.Width > 256 || image.Height > 256) return 0;
  TMemoryStream written;
  WriteIconCursorImage(image, written);
  TMemoryBlockStream back(written.Data().data(), int64_t(written.Data().size()));
  TImageData reread;
  LoadIconCursorImage(back, reread);
  Check(reread.Width == image.Width && reread.Height == image.Height);
  return 0;
}
