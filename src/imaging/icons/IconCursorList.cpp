#include "imaging/icons/IconCursorList.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "imaging/formats/BitmapFormatPrivate.h"
#include "imaging/formats/NetworkGraphicsFormat.h"
#include "imaging/formats/NetworkGraphicsFormatPrivate.h"
#include "imaging/icons/IconCursorPrivate.h"
#include "imaging/image/ByteOrder.h"
#include "imaging/image/Errors.h"
#include "imaging/image/Imaging.h"
#include "imaging/io/Registry.h"
#include "platform/AtomicFileWriter.h"

namespace pixolan::imaging {

namespace {

constexpr char kCorrupt[] = "Can not load icon from file: The file could be corrupt.";

[[noreturn]] void RaiseCorrupt() {
  throw EIconException(kCorrupt);
}

[[noreturn]] void RaiseInvalidSize(int64_t width, int64_t height) {
  throw EIconException(
      FormatText("Invalid size specified in width or height: (Width = %lld, Height = %lld)",
                 static_cast<long long>(width), static_cast<long long>(height)));
}

// Bytes of one row of a bitmap: rows are padded to whole 32-bit words.
uint64_t RowBytes(uint64_t width, uint64_t bits) {
  return (width * bits + 31) / 32 * 4;
}

// The directory's size byte: 0 stands for 256.
uint8_t SizeByte(int32_t side) {
  return side >= ico::kMaxSide ? 0 : uint8_t(side);
}

TIconColorDepth DepthOfBits(uint16_t bits) {
  switch (bits) {
    case 1:
      return TIconColorDepth::TwoColors;
    case 4:
      return TIconColorDepth::Colors16;
    case 8:
      return TIconColorDepth::Colors256;
    case 24:
      return TIconColorDepth::TrueColor24;
    case 32:
      return TIconColorDepth::TrueColor32;
    default:
      throw EIconException(FormatText("Invalid color depth in bitmap header: (BPP = %d)", bits));
  }
}

// How a PNG entry ranks among the others, from its IHDR: palette and gray images by their
// sample depth (16-bit gray as true color), true color by whether it has alpha or more
// than 8 bits a sample.
std::pair<TIconColorDepth, int32_t> DepthOfPng(uint8_t depth, uint8_t colorType) {
  constexpr uint8_t kGray = 0, kRgb = 2, kPalette = 3;
  if (colorType == kGray || colorType == kPalette) {
    if (depth <= 1) return {TIconColorDepth::TwoColors, 1};
    if (depth <= 4) return {TIconColorDepth::Colors16, 4};
    if (depth <= 8)
      return colorType == kGray ? std::pair{TIconColorDepth::Grays256, 8}
                                : std::pair{TIconColorDepth::Colors256, 8};
    return {TIconColorDepth::TrueColor24, 24};
  }
  if (colorType == kRgb && depth <= 8) return {TIconColorDepth::TrueColor24, 24};
  return {TIconColorDepth::TrueColor32, 32};
}

uint8_t Blend(uint32_t source, uint32_t sourceAlpha, uint32_t target, uint32_t targetWeight,
              uint32_t total) {
  return uint8_t((source * sourceAlpha * 255 + target * targetWeight + total / 2) / total);
}

}  // namespace

// ---- TIconCursorImage ---------------------------------------------------------------

std::unique_ptr<TIconCursorImage> TIconCursorImage::Create32Bit(const TBitmap32& pixels,
                                                                const std::vector<uint8_t>& mask) {
  const int32_t width = pixels.Width(), height = pixels.Height();
  if (pixels.Empty() || width > ico::kMaxSide || height > ico::kMaxSide)
    RaiseInvalidSize(width, height);
  if (mask.size() != size_t(width) * size_t(height))
    throw EIconException("The icon mask does not have one value for every pixel.");
  const size_t xorStride = size_t(width) * 4;
  const size_t andStride = RowBytes(uint64_t(width), 1);
  const size_t xorSize = xorStride * size_t(height), andSize = andStride * size_t(height);
  std::unique_ptr<TIconCursorImage> image(new TIconCursorImage);
  std::vector<uint8_t>& data = image->data_;
  data.assign(bmp::kInfoHeaderSize + xorSize + andSize, 0);
  uint8_t* header = data.data();
  Put32(header, bmp::kInfoHeaderSize);
  Put32(header + bmp::kInfoWidth, uint32_t(width));
  // The height covers the color rows and the mask rows.
  Put32(header + bmp::kInfoHeight, uint32_t(height) * 2);
  Put16(header + bmp::kInfoPlanes, 1);
  Put16(header + bmp::kInfoBitCount, 32);
  Put32(header + bmp::kInfoCompression, bmp::kBiRgb);
  Put32(header + bmp::kInfoImageSize, uint32_t(xorSize + andSize));
  uint8_t* colors = header + bmp::kInfoHeaderSize;
  uint8_t* andMask = colors + xorSize;
  for (int32_t y = 0; y < height; ++y) {
    const size_t row = size_t(height - 1 - y);  // bottom row first
    std::memcpy(colors + row * xorStride, pixels.ScanLine(y), xorStride);
    uint8_t* andRow = andMask + row * andStride;
    for (int32_t x = 0; x < width; ++x)
      if (mask[size_t(y) * size_t(width) + size_t(x)]) andRow[x >> 3] |= uint8_t(0x80 >> (x & 7));
  }
  image->Width = SizeByte(width);
  image->Height = SizeByte(height);
  image->PlanesOrHotSpotX = 1;
  image->BitCountOrHotSpotY = 32;
  image->BytesInRes = uint32_t(data.size());
  // Decoding what was encoded gives the entry exactly the state a reader sees.
  image->DecodeBitmap();
  return image;
}

int32_t TIconCursorImage::Colors() const {
  return info_.BitsPerPixel <= 8 ? int32_t(1) << info_.BitsPerPixel : 0;
}

TPixel32 TIconCursorImage::PaletteEntry(int32_t index) const {
  if (index < 0 || index >= PaletteSize())
    throw EIconException(FormatText("Palette index out of range: (Index = %d)", index));
  return palette_[size_t(index)];
}

void TIconCursorImage::Load(const std::vector<uint8_t>& file, size_t entry) {
  if (file.size() < entry || file.size() - entry < size_t(ico::kEntrySize)) RaiseCorrupt();
  const uint8_t* e = file.data() + entry;
  Width = e[ico::kEntryWidth];
  Height = e[ico::kEntryHeight];
  ColorCount = e[ico::kEntryColorCount];
  Reserved = e[ico::kEntryReserved];
  PlanesOrHotSpotX = Get16(e + ico::kEntryPlanesOrHotSpotX);
  BitCountOrHotSpotY = Get16(e + ico::kEntryBitCountOrHotSpotY);
  BytesInRes = Get32(e + ico::kEntryBytesInRes);
  ImageOffset = Get32(e + ico::kEntryImageOffset);
  if (ImageOffset >= file.size()) RaiseCorrupt();
  // BytesInRes bounds the entry's data, except where it cannot be right: some writers put
  // more into it than the file has, others (cursor writers among them) a number too small
  // for even the bitmap header. The data then ends with the file, and the decoders below
  // still refuse it when it is too short for its pixels.
  uint64_t end = uint64_t(ImageOffset) + BytesInRes;
  if (BytesInRes < bmp::kInfoHeaderSize || end > file.size()) end = file.size();
  data_.assign(file.begin() + ImageOffset, file.begin() + ptrdiff_t(end));
  if (data_.size() >= ng::kSignatureSize &&
      std::memcmp(data_.data(), ng::kPngSignature, ng::kSignatureSize) == 0)
    DecodePng();
  else
    DecodeBitmap();
}

void TIconCursorImage::DecodeBitmap() {
  const std::vector<uint8_t>& d = data_;
  if (d.size() < bmp::kInfoHeaderSize) RaiseCorrupt();
  const uint32_t headerSize = Get32(d.data());
  if (headerSize < bmp::kInfoHeaderSize || headerSize > d.size()) RaiseCorrupt();
  const uint16_t bits = Get16(d.data() + bmp::kInfoBitCount);
  colorDepth_ = DepthOfBits(bits);
  const auto width = int32_t(Get32(d.data() + bmp::kInfoWidth));
  // The stored height covers the color rows and the mask rows below them.
  const int32_t height = int32_t(Get32(d.data() + bmp::kInfoHeight)) / 2;
  if (width <= 0 || height <= 0 || int64_t(width) * height > kMaxImagePixels)
    RaiseInvalidSize(width, height);
  const uint32_t compression = Get32(d.data() + bmp::kInfoCompression);
  if (compression != bmp::kBiRgb)
    throw EIconException(FormatText(
        "Unsupported compression in icon bitmap header: (Compression = %u)", compression));

  uint64_t position = headerSize;
  palette_.clear();
  if (bits <= 8) {
    // A color table may be shorter than the bit count allows when the header says so.
    uint32_t entries = uint32_t(1) << bits;
    const uint32_t used = Get32(d.data() + bmp::kInfoClrUsed);
    if (used >= 1 && used < entries) entries = used;
    if (position + uint64_t(entries) * 4 > d.size()) RaiseCorrupt();
    for (uint32_t i = 0; i < entries; ++i) {
      const uint8_t* c = d.data() + position + 4 * i;
      palette_.push_back({c[0], c[1], c[2], 255});
    }
    position += uint64_t(entries) * 4;
  }
  const uint64_t xorStride = RowBytes(uint64_t(width), bits);
  const uint64_t xorSize = xorStride * uint64_t(height);
  if (position + xorSize > d.size()) RaiseCorrupt();
  const uint8_t* colors = d.data() + position;
  // Writers that leave the mask short or out are common enough, and the colors are all
  // there: rows without mask data count as opaque.
  const uint64_t andStride = RowBytes(uint64_t(width), 1);
  const uint64_t andRows =
      std::min<uint64_t>(uint64_t(height), (d.size() - position - xorSize) / andStride);
  const uint8_t* andMask = colors + xorSize;

  image_.SetSize(width, height);
  mask_.assign(size_t(width) * size_t(height), 0);
  const TPixel32 outside{0, 0, 0, 255};  // an index beyond a short color table
  bool anyAlpha = false;
  for (int32_t y = 0; y < height; ++y) {
    const uint64_t row = uint64_t(height - 1 - y);  // bottom row first
    const uint8_t* source = colors + row * xorStride;
    uint8_t* target = image_.ScanLine(y);
    for (int32_t x = 0; x < width; ++x) {
      TPixel32 p;
      if (bits <= 8) {
        const uint32_t bitOffset = uint32_t(x) * bits;
        const uint32_t shift = 8 - bits - bitOffset % 8;
        const uint32_t index = (source[bitOffset / 8] >> shift) & ((1u << bits) - 1);
        p = index < palette_.size() ? palette_[index] : outside;
      } else if (bits == 24) {
        p = {source[3 * x], source[3 * x + 1], source[3 * x + 2], 255};
      } else {
        p = {source[4 * x], source[4 * x + 1], source[4 * x + 2], source[4 * x + 3]};
        anyAlpha = anyAlpha || p.A != 0;
      }
      std::memcpy(target + 4 * x, &p, 4);
      if (row < andRows && (andMask[row * andStride + uint32_t(x) / 8] & (0x80 >> (x & 7))))
        mask_[size_t(y) * size_t(width) + size_t(x)] = 1;
    }
  }
  // A 32-bit entry whose fourth bytes are all zero predates alpha: its mask decides.
  hasAlpha_ = anyAlpha;
  if (bits == 32 && !anyAlpha)
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x) image_.ScanLine(y)[4 * x + 3] = 255;
  isPng_ = false;
  info_ = {width, height, bits};
}

void TIconCursorImage::DecodePng() {
  TPNGFileFormat* png = FindFileFormatByClass<TPNGFileFormat>();
  if (!png) throw EIconException("Icon entries in PNG format cannot be read: no PNG handler.");
  TDynImageDataArray images;
  try {
    TIOHandle handle = TMemoryIO::OpenRead(data_.data(), int64_t(data_.size()));
    handle.SetWantedFormat(TImageFormatId::A8R8G8B8);
    if (!png->ReadImages(handle, images, true)) images.clear();
  } catch (const EImagingError&) {
    throw EIconException(ComposeErrorMessage(kCorrupt));
  }
  if (images.empty() || !ImageIsValid(images[0]) ||
      !ImageConvert(images[0], TImageFormatId::A8R8G8B8))
    RaiseCorrupt();
  const TImageData& decoded = images[0];
  // The PNG reader has checked that an IHDR chunk of 13 bytes follows the signature.
  constexpr size_t kIhdrDepth = ng::kSignatureSize + ng::kChunkHeaderSize + 8;
  if (data_.size() < kIhdrDepth + 2) RaiseCorrupt();
  const auto [depth, bits] = DepthOfPng(data_[kIhdrDepth], data_[kIhdrDepth + 1]);
  colorDepth_ = depth;
  palette_.clear();
  image_.SetSize(decoded.Width, decoded.Height);
  std::memcpy(image_.Bits(), decoded.bits(), size_t(decoded.Size));
  mask_.assign(size_t(decoded.Width) * size_t(decoded.Height), 0);
  for (size_t i = 0; i < mask_.size(); ++i) mask_[i] = decoded.bits()[4 * i + 3] == 0;
  hasAlpha_ = true;
  isPng_ = true;
  info_ = {decoded.Width, decoded.Height, bits};
}

void TIconCursorImage::Draw(TBitmap32& target, int32_t x, int32_t y) const {
  const int32_t width = image_.Width(), height = image_.Height();
  for (int32_t row = 0; row < height; ++row) {
    const int64_t ty = int64_t(y) + row;
    if (ty < 0 || ty >= target.Height()) continue;
    const uint8_t* source = image_.ScanLine(row);
    uint8_t* line = target.ScanLine(int32_t(ty));
    for (int32_t column = 0; column < width; ++column) {
      const int64_t tx = int64_t(x) + column;
      if (tx < 0 || tx >= target.Width()) continue;
      const uint8_t* s = source + 4 * column;
      uint8_t* t = line + 4 * tx;
      if (hasAlpha_) {
        // Straight alpha, source over target.
        const uint32_t sa = s[3], ta = t[3];
        if (sa == 0) continue;
        if (sa == 255 || ta == 0) {
          std::memcpy(t, s, 4);
          continue;
        }
        const uint32_t targetWeight = ta * (255 - sa);
        const uint32_t total = sa * 255 + targetWeight;
        for (int c = 0; c < 3; ++c) t[c] = Blend(s[c], sa, t[c], targetWeight, total);
        t[3] = uint8_t((total + 127) / 255);
      } else if (mask_[size_t(row) * size_t(width) + size_t(column)]) {
        for (int c = 0; c < 3; ++c) t[c] ^= s[c];
      } else {
        std::memcpy(t, s, 3);
        t[3] = 255;
      }
    }
  }
}

// ---- TIconCursorList ----------------------------------------------------------------

void TIconCursorList::Changed() {
  if (OnChange) OnChange();
}

void TIconCursorList::CheckIndex(int32_t index, int32_t limit) const {
  if (index < 0 || index >= limit)
    throw EIconException(FormatText("Icon list index out of bounds: (%d)", index));
}

void TIconCursorList::LoadFromFile(const std::string& fileName) {
  std::unique_ptr<TFileStream> file;
  try {
    file = std::make_unique<TFileStream>(fileName, TFileMode::Read);
  } catch (const EImagingError& e) {
    throw EIconException(e.what());
  }
  LoadFromStream(*file);
}

void TIconCursorList::LoadFromStream(TStream& stream) {
  Clear();
  const int64_t size = stream.Size() - stream.Tell();
  if (size > ico::kMaxFileSize)
    throw EIconException(FormatText("The icon file is too large: %lld bytes (at most %lld).",
                                    static_cast<long long>(size),
                                    static_cast<long long>(ico::kMaxFileSize)));
  data_.assign(size_t(std::max<int64_t>(size, 0)), 0);
  stream.ReadExact(data_.data(), int64_t(data_.size()), "icon file");

  const uint8_t* header = data_.data();
  if (data_.size() < size_t(ico::kHeaderSize) || Get16(header + ico::kHeaderReserved) != 0)
    throw EIconException("Not a valid icon file header.");
  const uint16_t type = Get16(header + ico::kHeaderType);
  const uint16_t count = Get16(header + ico::kHeaderCount);
  if ((type != ico::kTypeIcon && type != ico::kTypeCursor) || count < 1 || count > ico::kMaxEntries)
    throw EIconException("Not a valid icon file header.");
  IsCursor = type == ico::kTypeCursor;

  std::string errors;
  for (uint16_t i = 0; i < count; ++i) {
    std::unique_ptr<TIconCursorImage> image(new TIconCursorImage);
    try {
      image->Load(data_, size_t(ico::kHeaderSize) + size_t(i) * ico::kEntrySize);
    } catch (const EImagingError& e) {
      errors += e.what();
      errors += "\r\n";
      continue;
    }
    image->owner_ = this;
    items_.push_back(std::move(image));
  }
  Changed();
  if (!errors.empty())
    throw EIconException("Some icons could not be loaded due to the following errors: \r\n" +
                         errors);
}

void TIconCursorList::SaveToStream(TStream& stream) {
  if (items_.empty())
    throw EIconException(
        "In order to save an icon file, there must at least be one icon in the list.");
  if (items_.size() > ico::kMaxEntries)
    throw EIconException(FormatText("An icon file holds at most %d images, not %d.",
                                    int(ico::kMaxEntries), int(items_.size())));
  uint64_t offset = uint64_t(ico::kHeaderSize) + uint64_t(ico::kEntrySize) * items_.size();
  std::vector<uint8_t> file(size_t(offset), 0);
  Put16(file.data() + ico::kHeaderType, IsCursor ? ico::kTypeCursor : ico::kTypeIcon);
  Put16(file.data() + ico::kHeaderCount, uint32_t(items_.size()));
  for (size_t i = 0; i < items_.size(); ++i) {
    TIconCursorImage& image = *items_[i];
    if (offset + image.data_.size() > UINT32_MAX)
      throw EIconException("The images are too large for one icon file.");
    image.ImageOffset = uint32_t(offset);
    image.BytesInRes = uint32_t(image.data_.size());
    uint8_t* e = file.data() + ico::kHeaderSize + i * ico::kEntrySize;
    e[ico::kEntryWidth] = image.Width;
    e[ico::kEntryHeight] = image.Height;
    e[ico::kEntryColorCount] = image.ColorCount;
    e[ico::kEntryReserved] = image.Reserved;
    Put16(e + ico::kEntryPlanesOrHotSpotX, image.PlanesOrHotSpotX);
    Put16(e + ico::kEntryBitCountOrHotSpotY, image.BitCountOrHotSpotY);
    Put32(e + ico::kEntryBytesInRes, image.BytesInRes);
    Put32(e + ico::kEntryImageOffset, image.ImageOffset);
    offset += image.data_.size();
  }
  for (const auto& image : items_)
    file.insert(file.end(), image->data_.begin(), image->data_.end());
  stream.WriteExact(file.data(), int64_t(file.size()));
  data_ = std::move(file);
}

void TIconCursorList::SaveToFile(const std::string& fileName) {
  TMemoryStream memory;
  SaveToStream(memory);
  try {
    platform::TAtomicFileWriter file(fileName);
    file.Write(memory.Data().data(), memory.Data().size());
    file.Commit();
  } catch (const platform::EFileWriteError& e) {
    throw EIconException(e.what());
  }
}

void TIconCursorList::Sort(TIconSortKey key, TIconSortDirection direction) {
  SortKey = key;
  SortDirection = direction;
  if (key == TIconSortKey::None) return;
  const auto compare = [key](const TIconCursorImage& a, const TIconCursorImage& b) {
    const TIconImageInfo x = a.ImageInfo(), y = b.ImageInfo();
    const int64_t bits = int64_t(x.BitsPerPixel) - y.BitsPerPixel;
    const int64_t size = (int64_t(x.Width) + x.Height) - (int64_t(y.Width) + y.Height);
    if (key == TIconSortKey::ColorDepth) return bits != 0 ? bits : size;
    return size != 0 ? size : bits;
  };
  const bool descending = direction == TIconSortDirection::Descending;
  std::stable_sort(items_.begin(), items_.end(), [&](const auto& a, const auto& b) {
    const int64_t c = compare(*a, *b);
    return descending ? c > 0 : c < 0;
  });
  Changed();
}

TIconCursorImage& TIconCursorList::Add(std::unique_ptr<TIconCursorImage> image) {
  return Insert(Count(), std::move(image));
}

TIconCursorImage& TIconCursorList::Insert(int32_t index, std::unique_ptr<TIconCursorImage> image) {
  if (!image) throw EIconException("Can not add Nil entries to icon list.");
  CheckIndex(index, Count() + 1);
  image->owner_ = this;
  TIconCursorImage& added = *image;
  items_.insert(items_.begin() + index, std::move(image));
  Changed();
  return added;
}

void TIconCursorList::Delete(int32_t index) {
  CheckIndex(index, Count());
  items_.erase(items_.begin() + index);
  Changed();
}

int32_t TIconCursorList::Remove(const TIconCursorImage* image) {
  const int32_t index = IndexOf(image);
  if (index >= 0) Delete(index);
  return index;
}

int32_t TIconCursorList::IndexOf(const TIconCursorImage* image) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i].get() == image) return int32_t(i);
  return -1;
}

void TIconCursorList::Clear() {
  items_.clear();
  Changed();
}

TIconCursorImage& TIconCursorList::operator[](int32_t index) {
  CheckIndex(index, Count());
  return *items_[size_t(index)];
}

const TIconCursorImage& TIconCursorList::operator[](int32_t index) const {
  CheckIndex(index, Count());
  return *items_[size_t(index)];
}

}  // namespace pixolan::imaging
