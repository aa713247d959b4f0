#include <algorithm>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <exception>

#include "imaging/image/Errors.h"
#include "imaging/image/Imaging.h"
#include "imaging/palette/Palette.h"

namespace pixolan::imaging {

namespace {

// Whole number with thousands separators, as sizes are shown in messages.
std::string GroupedNumber(int64_t v) {
  std::string digits = std::to_string(v < 0 ? -v : v);
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return v < 0 ? "-" + out : out;
}

// Element size of formats whose channels are separate bytes, words or floats, for the
// in-place channel exchange; 0 for formats that go through the 16-bit intermediate.
int ChannelElementSize(TImageFormatId f) {
  switch (f) {
    case TImageFormatId::R8G8B8:
    case TImageFormatId::A8R8G8B8:
      return 1;
    case TImageFormatId::R16G16B16:
    case TImageFormatId::B16G16R16:
    case TImageFormatId::A16R16G16B16:
    case TImageFormatId::A16B16G16R16:
    case TImageFormatId::A16R16G16B16F:
    case TImageFormatId::A16B16G16R16F:
      return 2;
    case TImageFormatId::A32R32G32B32F:
    case TImageFormatId::A32B32G32R32F:
      return 4;
    default:
      return 0;
  }
}

void CheckPixelAccess(const TImageData& image, int32_t x, int32_t y, const TFormatDescriptor*& d) {
  d = GetFormatDescriptor(image.Format);
  if (!ImageIsValid(image) || !d)
    throw EImagingError("Pixel access on an invalid image. " + ImageDescribe(image));
  if (d->IsCompressed)
    throw EImagingError("Pixel access needs a decompressed image. " + ImageDescribe(image));
  if (x < 0 || y < 0 || x >= image.Width || y >= image.Height)
    throw EImagingError(FormatText("Pixel %d,%d lies outside the image. ", x, y) +
                        ImageDescribe(image));
}

const uint8_t* PixelAddress(const TImageData& image, const TFormatDescriptor& d, int32_t x,
                            int32_t y) {
  return image.bits() + (int64_t(y) * image.Width + x) * d.BytesPerPixel;
}

}  // namespace

std::unique_ptr<uint8_t[]> AllocBits(size_t bytes) {
  return std::make_unique<uint8_t[]>(bytes);  // value-initialised: zero-filled
}

std::unique_ptr<uint8_t[]> AllocBitsForOverwrite(size_t bytes) {
  return std::make_unique_for_overwrite<uint8_t[]>(bytes);
}

std::unique_ptr<TPixel32[]> AllocPalette(size_t entries) {
  return std::make_unique<TPixel32[]>(entries);
}

void ImageInit(TImageData& image) {
  // Drop ownership without freeing is impossible with owning pointers; a fresh record
  // is the safe equivalent of zeroing all six fields.
  image = TImageData();
}

namespace {

bool CreateImage(int32_t width, int32_t height, TImageFormatId format, TImageData& image,
                 bool zeroFill) {
  const TImageFormatId resolved = ResolveFormat(format);
  try {
    const TFormatDescriptor* d = GetFormatDescriptor(resolved);
    if (width < 0 || height < 0) throw EImagingError("Negative image dimensions.");
    if (!d) throw EImagingError("Format has no descriptor.");
    ImageFree(image);
    if (int64_t(width) * height > kMaxImagePixels)
      throw EImagingError(FormatText("%" PRId64 " pixels exceed the limit of %" PRId64 " pixels.",
                                     int64_t(width) * height, kMaxImagePixels));
    const int64_t size = d->ByteSize(resolved, width, height);
    if (size > INT32_MAX)
      throw EImagingError(
          FormatText("%" PRId64 " bytes exceed the limit of %d bytes.", size, INT32_MAX));
    if (size <= 0) return false;
    TImageData created;
    created.Width = width;
    created.Height = height;
    created.Format = resolved;
    created.Size = int32_t(size);
    created.Bits = zeroFill ? AllocBits(size_t(size)) : AllocBitsForOverwrite(size_t(size));
    if (d->PaletteSize > 0) created.Palette = AllocPalette(size_t(d->PaletteSize));
    image = std::move(created);
  } catch (const std::exception&) {
    RaiseImaging(
        FormatText("Error while creating image data with params: Width=%d Height=%d "
                   "Format=%s.",
                   width, height, FormatName(resolved).c_str()));
  }
  return ImageIsValid(image);
}

}  // namespace

bool ImageCreate(int32_t width, int32_t height, TImageFormatId format, TImageData& image) {
  return CreateImage(width, height, format, image, true);
}

bool ImageCreateForOverwrite(int32_t width, int32_t height, TImageFormatId format,
                             TImageData& image) {
  return CreateImage(width, height, format, image, false);
}

bool ImageIsValid(const TImageData& image) {
  const auto id = int32_t(image.Format);
  if (id < 0 || id > 225) return false;
  const TFormatDescriptor* d = GetFormatDescriptor(image.Format);
  if (!d) return false;
  if (image.Width < 0 || image.Height < 0) return false;
  const int64_t size = d->ByteSize(image.Format, image.Width, image.Height);
  return size > 0 && size == image.Size;
}

void ImageFree(TImageData& image) {
  image = TImageData();
}

void ImageArrayFree(TDynImageDataArray& images) {
  images.clear();
}

bool ImageArrayIsValid(const TDynImageDataArray& images) {
  if (images.empty()) return false;
  return std::all_of(images.begin(), images.end(),
                     [](const TImageData& i) { return ImageIsValid(i); });
}

bool ImageClone(const TImageData& image, TImageData& clone) {
  if (!ImageIsValid(image)) return false;
  // Cloning a record onto itself keeps it as it is.
  if (&image == &clone) return true;
  try {
    const TFormatDescriptor* d = GetFormatDescriptor(image.Format);
    TImageData copy;
    copy.Width = image.Width;
    copy.Height = image.Height;
    copy.Format = image.Format;
    copy.Size = image.Size;
    if (d->PaletteSize > 0) {
      copy.Palette = AllocPalette(size_t(d->PaletteSize));
      if (image.palette()) std::memcpy(copy.palette(), image.palette(), size_t(d->PaletteSize) * 4);
    }
    copy.Bits = std::make_unique_for_overwrite<uint8_t[]>(size_t(image.Size));
    std::memcpy(copy.bits(), image.bits(), size_t(image.Size));
    clone = std::move(copy);
  } catch (const std::exception&) {
    RaiseImaging("Error while cloning image. " + ImageDescribe(image));
  }
  return true;
}

bool ImageSwapChannels(TImageData& image, int channelA, int channelB) {
  if (channelA == channelB || !ImageIsValid(image)) return false;
  try {
    if (channelA < 0 || channelA > 3 || channelB < 0 || channelB > 3)
      throw EImagingError("Channel index outside 0..3.");
    const TFormatDescriptor& d = *GetFormatDescriptor(image.Format);
    const bool touchesAlpha = channelA == 3 || channelB == 3;
    const int64_t pixels = int64_t(image.Width) * image.Height;

    if (d.IsCompressed) {
      const TImageFormatId original = image.Format;
      ImageConvert(image, TImageFormatId::A8R8G8B8);
      ImageSwapChannels(image, channelA, channelB);
      ImageConvert(image, original);
      return true;
    }
    if (d.IsIndexed) {
      PaletteSwapChannels(image.palette(), d.PaletteSize, channelA, channelB);
      return true;
    }
    if (image.Format == TImageFormatId::R8G8B8 && touchesAlpha)
      throw EImagingError("The format has no alpha channel.");

    const int element = ChannelElementSize(image.Format);
    if (element > 0 && (!touchesAlpha || d.HasAlpha)) {
      // Memory position of a logical channel (0 blue .. 3 alpha).
      auto position = [&](int c) { return d.RedBlueSwapped && c != 1 && c != 3 ? 2 - c : c; };
      const int pa = position(channelA) * element, pb = position(channelB) * element;
      uint8_t* p = image.bits();
      uint8_t tmp[4];
      for (int64_t i = 0; i < pixels; ++i, p += d.BytesPerPixel) {
        std::memcpy(tmp, p + pa, size_t(element));
        std::memmove(p + pa, p + pb, size_t(element));
        std::memcpy(p + pb, tmp, size_t(element));
      }
      return true;
    }
    uint8_t* p = image.bits();
    if (d.IsGray) {
      for (int64_t i = 0; i < pixels; ++i, p += d.BytesPerPixel) {
        uint16_t g, a;
        ReadGrayPixel16(d, p, g, a);
        if (touchesAlpha && d.HasAlpha) {
          WriteGrayPixel16(d, p, a, g);
          continue;
        }
        TPixel64 v{g, g, g, a};
        std::swap(v[channelA], v[channelB]);
        const double gray =
            double(kGrayWeightR) * v.R + double(kGrayWeightG) * v.G + double(kGrayWeightB) * v.B;
        WriteGrayPixel16(d, p, uint16_t(std::clamp<int64_t>(RoundEven(gray), 0, 65535)), v.A);
      }
      return true;
    }
    if (d.IsFloat) {
      for (int64_t i = 0; i < pixels; ++i, p += d.BytesPerPixel) {
        TPixelFP v = ReadFloatPixel(d, p);
        std::swap(v[channelA], v[channelB]);
        WriteFloatPixel(d, p, v);
      }
      return true;
    }
    for (int64_t i = 0; i < pixels; ++i, p += d.BytesPerPixel) {
      TPixel64 v = ReadChannelPixel64(d, p);
      std::swap(v[channelA], v[channelB]);
      WriteChannelPixel64(d, p, v);
    }
  } catch (const std::exception&) {
    RaiseImaging("Error while swapping channels of image. " + ImageDescribe(image));
  }
  return true;
}

TPixel32 ImageGetPixel32(const TImageData& image, int32_t x, int32_t y) {
  const TFormatDescriptor* d;
  CheckPixelAccess(image, x, y, d);
  return d->ReadPixel32(*d, PixelAddress(image, *d, x, y), image.palette());
}

void ImageSetPixel32(TImageData& image, int32_t x, int32_t y, TPixel32 pixel) {
  const TFormatDescriptor* d;
  CheckPixelAccess(image, x, y, d);
  d->WritePixel32(*d, const_cast<uint8_t*>(PixelAddress(image, *d, x, y)), image.palette(), pixel);
}

void ImageGetPixelFP(const TImageData& image, int32_t x, int32_t y, TPixelFP& pixel) {
  const TFormatDescriptor* d;
  CheckPixelAccess(image, x, y, d);
  pixel = d->ReadPixelFP(*d, PixelAddress(image, *d, x, y), image.palette());
}

void ImageSetPixelFP(TImageData& image, int32_t x, int32_t y, const TPixelFP& pixel) {
  const TFormatDescriptor* d;
  CheckPixelAccess(image, x, y, d);
  d->WritePixelFP(*d, const_cast<uint8_t*>(PixelAddress(image, *d, x, y)), image.palette(), pixel);
}

std::string ImageDescribe(const TImageData& image) {
  if (!ImageIsValid(image))
    return "Access violation encountered when getting info on image at address " +
           PointerText(&image) + ".";
  const bool small = image.Size <= 8192;
  const int64_t size = small ? image.Size : image.Size / 1024;
  return "Image @" + PointerText(&image) + " info: Width = " + std::to_string(image.Width) +
         "px, Height = " + std::to_string(image.Height) +
         "px, Format = " + FormatName(image.Format) + ", Size = " + GroupedNumber(size) +
         (small ? " B" : " KiB") + ", Bits @" + PointerText(image.bits()) + ", Palette @" +
         PointerText(image.palette()) + ".";
}

}  // namespace pixolan::imaging
