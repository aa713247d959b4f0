// Rectangle copies and fills, color replacement, flips and right-angle rotation, and the
// clipping and source preparation that the resampling shares with them.
#include "imaging/geometry/Geometry.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "imaging/geometry/ResampleInternal.h"
#include "imaging/image/Errors.h"
#include "imaging/image/Imaging.h"
#include "imaging/palette/Palette.h"

namespace pixolan::imaging {

namespace {

using F = TImageFormatId;

int32_t Saturate(int64_t v) {
  return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

int64_t RoundPixels(double v) {
  return RoundEven(std::clamp(v, -9.0e18, 9.0e18));
}

// One axis of ClipCopyBounds, in 64 bits so that far-out rectangles cannot overflow.
void ClipCopyAxis(int64_t& s, int64_t& d, int64_t& extent, int64_t srcSize, int64_t dstSize) {
  if (d < 0) s -= d, extent += d, d = 0;
  if (s < 0) d -= s, extent += s, s = 0;
  if (s + extent > srcSize) extent = srcSize - s;
  if (d + extent > dstSize) extent = dstSize - d;
}

// One axis of ClipStretchBounds. The ratio of the unclipped extents scales every carried
// cut, so that the visible part keeps the mapping of the whole rectangle.
void ClipStretchAxis(int64_t& s, int64_t& sExtent, int64_t& d, int64_t& dExtent, int64_t srcSize,
                     int64_t dstSize) {
  if (sExtent <= 0 || dExtent <= 0) return;
  const double ratio = double(dExtent) / double(sExtent);
  if (d < 0) {
    const int64_t cut = -d;
    const int64_t carried = RoundPixels(double(cut) / ratio);
    d = 0, dExtent -= cut;
    s += carried, sExtent -= carried;
  }
  if (s < 0) {
    const int64_t cut = -s;
    const int64_t carried = RoundPixels(double(cut) * ratio);
    s = 0, sExtent -= cut;
    d += carried, dExtent -= carried;
  }
  if (s + sExtent > srcSize) {
    const int64_t cut = s + sExtent - srcSize;
    sExtent -= cut;
    dExtent -= RoundPixels(double(cut) * ratio);
  }
  if (d + dExtent > dstSize) {
    const int64_t cut = d + dExtent - dstSize;
    dExtent -= cut;
    sExtent -= RoundPixels(double(cut) / ratio);
  }
}

const TFormatDescriptor& DescriptorOf(const TImageData& image) {
  return *GetFormatDescriptor(image.Format);
}

int64_t RowBytes(const TImageData& image) {
  return int64_t(image.Width) * DescriptorOf(image).BytesPerPixel;
}

uint8_t* PixelAt(TImageData& image, int32_t x, int32_t y) {
  return image.bits() + int64_t(y) * RowBytes(image) +
         int64_t(x) * DescriptorOf(image).BytesPerPixel;
}

// A new image of the rectangle's pixels in the source's (uncompressed) format.
void ExtractRect(const TImageData& src, int32_t x, int32_t y, int32_t width, int32_t height,
                 TImageData& part) {
  const TFormatDescriptor& d = DescriptorOf(src);
  ImageCreate(width, height, src.Format, part);
  if (src.palette() && part.palette())
    std::memcpy(part.palette(), src.palette(), size_t(d.PaletteSize) * sizeof(TPixel32));
  const int64_t srcStride = RowBytes(src), rowBytes = int64_t(width) * d.BytesPerPixel;
  const uint8_t* from = src.bits() + int64_t(y) * srcStride + int64_t(x) * d.BytesPerPixel;
  for (int32_t r = 0; r < height; ++r)
    std::memcpy(part.bits() + r * rowBytes, from + r * srcStride, size_t(rowBytes));
}

// Replaces a non-indexed image by an indexed one whose indices pick the nearest entries
// of `palette`, which the new image carries.
void MatchToPalette(TImageData& image, const TPixel32* palette, const TFormatDescriptor& indexed) {
  const TFormatDescriptor& d = DescriptorOf(image);
  TImageData matched;
  ImageCreate(image.Width, image.Height, indexed.Format, matched);
  std::memcpy(matched.palette(), palette, size_t(indexed.PaletteSize) * sizeof(TPixel32));
  const int64_t count = int64_t(image.Width) * image.Height;
  const uint8_t* p = image.bits();
  // Runs of one color are common in the areas being copied; remember the last match.
  TPixel32 lastColor{};
  uint8_t lastIndex = 0;
  bool haveLast = false;
  for (int64_t i = 0; i < count; ++i, p += d.BytesPerPixel) {
    const TPixel32 c = d.ReadPixel32(d, p, image.palette());
    if (!haveLast || !(c == lastColor)) {
      lastColor = c;
      lastIndex = uint8_t(std::max(PaletteFindColor(palette, indexed.PaletteSize, c), 0));
      haveLast = true;
    }
    matched.bits()[i] = lastIndex;
  }
  image = std::move(matched);
}

template <int Bpp>
void CopyPixel(uint8_t* to, const uint8_t* from, int bpp) {
  if constexpr (Bpp > 0)
    std::memcpy(to, from, Bpp);
  else
    std::memcpy(to, from, size_t(bpp));
}

// dst(x, y) = src(map(x, y)) for the three rotations, in square tiles so that the column
// walks through the old image stay within the cache.
template <int Bpp>
void RotatePixels(const TImageData& from, TImageData& to, int angle) {
  const int bpp = DescriptorOf(from).BytesPerPixel;
  const int32_t w = from.Width, h = from.Height;
  const int64_t srcStride = int64_t(w) * bpp, dstStride = int64_t(to.Width) * bpp;
  const uint8_t* s = from.bits();
  uint8_t* d = to.bits();
  if (angle == 180) {
    for (int32_t y = 0; y < h; ++y) {
      const uint8_t* row = s + int64_t(h - 1 - y) * srcStride;
      uint8_t* out = d + int64_t(y) * dstStride;
      for (int32_t x = 0; x < w; ++x)
        CopyPixel<Bpp>(out + int64_t(x) * bpp, row + int64_t(w - 1 - x) * bpp, bpp);
    }
    return;
  }
  constexpr int32_t kTile = 64;
  for (int32_t ty = 0; ty < to.Height; ty += kTile) {
    for (int32_t tx = 0; tx < to.Width; tx += kTile) {
      const int32_t yEnd = std::min(ty + kTile, to.Height), xEnd = std::min(tx + kTile, to.Width);
      for (int32_t y = ty; y < yEnd; ++y) {
        uint8_t* out = d + int64_t(y) * dstStride;
        for (int32_t x = tx; x < xEnd; ++x) {
          // 90: old (W - 1 - y, x); 270: old (y, H - 1 - x).
          const int32_t ox = angle == 90 ? w - 1 - y : y;
          const int32_t oy = angle == 90 ? x : h - 1 - x;
          CopyPixel<Bpp>(out + int64_t(x) * bpp, s + int64_t(oy) * srcStride + int64_t(ox) * bpp,
                         bpp);
        }
      }
    }
  }
}

// Runs `edit` on the image, or on an A8R8G8B8 copy of a compressed image that then
// replaces it, encoded at its own size. The image stays unchanged when `edit` throws.
template <typename Edit>
void EditDecoded(TImageData& image, Edit&& edit) {
  if (!DescriptorOf(image).IsCompressed) {
    edit(image);
    return;
  }
  TImageData decoded;
  detail::DecodeForEditing(image, decoded);
  edit(decoded);
  detail::EncodeKeepingSize(decoded, image.Format);
  image = std::move(decoded);
}

}  // namespace

namespace detail {

void DecodeForEditing(const TImageData& image, TImageData& decoded) {
  ImageClone(image, decoded);
  ImageConvert(decoded, F::A8R8G8B8);
}

void EncodeKeepingSize(TImageData& image, TImageFormatId format) {
  const TFormatDescriptor& fd = *GetFormatDescriptor(format);
  int32_t fitWidth = image.Width, fitHeight = image.Height;
  if (fd.IsCompressed) fd.FitDimensions(format, fitWidth, fitHeight);
  if (fitWidth == image.Width && fitHeight == image.Height) {
    ImageConvert(image, format);
    return;
  }
  // The converter would stretch the image to whole blocks; pad with the edge pixels
  // instead and keep the record's own width and height.
  const int bpp = DescriptorOf(image).BytesPerPixel;
  TImageData padded;
  ImageCreate(fitWidth, fitHeight, image.Format, padded);
  const int64_t rowBytes = RowBytes(image), paddedStride = RowBytes(padded);
  for (int32_t y = 0; y < fitHeight; ++y) {
    uint8_t* out = padded.bits() + y * paddedStride;
    std::memcpy(out, image.bits() + std::min(y, image.Height - 1) * rowBytes, size_t(rowBytes));
    for (int64_t x = image.Width; x < fitWidth; ++x)
      std::memcpy(out + x * bpp, out + (image.Width - 1) * int64_t(bpp), size_t(bpp));
  }
  ImageConvert(padded, format);
  padded.Width = image.Width;
  padded.Height = image.Height;
  if (!ImageIsValid(padded))
    throw EImagingError("Encoding into " + FormatName(format) + " gave an invalid image.");
  image = std::move(padded);
}

TResampleSource PrepareSource(const TImageData& src, int32_t x, int32_t y, int32_t width,
                              int32_t height, TImageFormatId format, const TPixel32* palette,
                              const uint8_t* writeTarget, TImageData& holder) {
  format = ResolveFormat(format);
  const TFormatDescriptor& td = *GetFormatDescriptor(format);
  if (src.Format == format && src.bits() != writeTarget)
    return {src.bits(), RowBytes(src), 0, 0, &td, src.palette()};

  const TFormatDescriptor& sd = DescriptorOf(src);
  if (sd.IsCompressed) {
    TImageData decoded;
    ImageClone(src, decoded);
    ImageConvert(decoded, sd.DecodedFormat);
    ExtractRect(decoded, x, y, width, height, holder);
  } else {
    ExtractRect(src, x, y, width, height, holder);
  }
  if (holder.Format != format) {
    if (td.IsIndexed && palette && !DescriptorOf(holder).IsIndexed)
      MatchToPalette(holder, palette, td);
    else
      ImageConvert(holder, format);
  }
  return {holder.bits(), RowBytes(holder), x, y, &td, holder.palette()};
}

}  // namespace detail

void ClipRectBounds(int32_t& x, int32_t& y, int32_t& width, int32_t& height, int32_t imageWidth,
                    int32_t imageHeight) {
  auto axis = [](int32_t& start, int32_t& extent, int32_t size) {
    int64_t s = start, e = extent;
    if (s < 0) e += s, s = 0;
    if (s + e > size) e = std::max<int64_t>(size - s, 0);
    start = Saturate(s);
    extent = Saturate(e);
  };
  axis(x, width, imageWidth);
  axis(y, height, imageHeight);
}

void ClipCopyBounds(int32_t& srcX, int32_t& srcY, int32_t& width, int32_t& height, int32_t& dstX,
                    int32_t& dstY, int32_t srcImageWidth, int32_t srcImageHeight,
                    int32_t dstImageWidth, int32_t dstImageHeight) {
  int64_t sx = srcX, sy = srcY, w = width, h = height, dx = dstX, dy = dstY;
  ClipCopyAxis(sx, dx, w, srcImageWidth, dstImageWidth);
  ClipCopyAxis(sy, dy, h, srcImageHeight, dstImageHeight);
  srcX = Saturate(sx), srcY = Saturate(sy), width = Saturate(w), height = Saturate(h);
  dstX = Saturate(dx), dstY = Saturate(dy);
}

void ClipStretchBounds(int32_t& srcX, int32_t& srcY, int32_t& srcWidth, int32_t& srcHeight,
                       int32_t& dstX, int32_t& dstY, int32_t& dstWidth, int32_t& dstHeight,
                       int32_t srcImageWidth, int32_t srcImageHeight, int32_t dstImageWidth,
                       int32_t dstImageHeight) {
  int64_t sx = srcX, sy = srcY, sw = srcWidth, sh = srcHeight;
  int64_t dx = dstX, dy = dstY, dw = dstWidth, dh = dstHeight;
  ClipStretchAxis(sx, sw, dx, dw, srcImageWidth, dstImageWidth);
  ClipStretchAxis(sy, sh, dy, dh, srcImageHeight, dstImageHeight);
  srcX = Saturate(sx), srcY = Saturate(sy), srcWidth = Saturate(sw), srcHeight = Saturate(sh);
  dstX = Saturate(dx), dstY = Saturate(dy), dstWidth = Saturate(dw), dstHeight = Saturate(dh);
}

bool ImageCopyRect(const TImageData& src, int32_t srcX, int32_t srcY, int32_t width, int32_t height,
                   TImageData& dst, int32_t dstX, int32_t dstY) {
  if (!ImageIsValid(src) || !ImageIsValid(dst)) return false;
  ClipCopyBounds(srcX, srcY, width, height, dstX, dstY, src.Width, src.Height, dst.Width,
                 dst.Height);
  if (width <= 0 || height <= 0) return false;
  try {
    EditDecoded(dst, [&](TImageData& target) {
      TImageData holder;
      const detail::TResampleSource source = detail::PrepareSource(
          src, srcX, srcY, width, height, target.Format, target.palette(), target.bits(), holder);
      const size_t rowBytes = size_t(width) * size_t(DescriptorOf(target).BytesPerPixel);
      for (int32_t r = 0; r < height; ++r)
        std::memcpy(PixelAt(target, dstX, dstY + r), source.Pixel(srcX, srcY + r), rowBytes);
    });
  } catch (const std::exception&) {
    RaiseImaging("Error while copying rect from image " + ImageDescribe(src) + " to image " +
                 ImageDescribe(dst) + ".");
  }
  return true;
}

bool ImageFillRect(TImageData& image, int32_t x, int32_t y, int32_t width, int32_t height,
                   const void* fillColor) {
  if (!ImageIsValid(image)) return false;
  ClipRectBounds(x, y, width, height, image.Width, image.Height);
  if (width <= 0 || height <= 0) return false;
  try {
    if (!fillColor) throw EImagingError("No fill color given.");
    EditDecoded(image, [&](TImageData& target) {
      const int bpp = DescriptorOf(target).BytesPerPixel;
      uint8_t* first = PixelAt(target, x, y);
      switch (bpp) {
        case 1:
          std::memset(first, *static_cast<const uint8_t*>(fillColor), size_t(width));
          break;
        case 2: {
          uint16_t v;
          std::memcpy(&v, fillColor, 2);
          for (int32_t i = 0; i < width; ++i) std::memcpy(first + 2 * int64_t(i), &v, 2);
          break;
        }
        case 4: {
          uint32_t v;
          std::memcpy(&v, fillColor, 4);
          for (int32_t i = 0; i < width; ++i) std::memcpy(first + 4 * int64_t(i), &v, 4);
          break;
        }
        default:
          for (int32_t i = 0; i < width; ++i)
            std::memcpy(first + int64_t(i) * bpp, fillColor, size_t(bpp));
      }
      // The first row is the pattern of all others.
      const size_t rowBytes = size_t(width) * size_t(bpp);
      for (int32_t r = 1; r < height; ++r) std::memcpy(PixelAt(target, x, y + r), first, rowBytes);
    });
  } catch (const std::exception&) {
    RaiseImaging(FormatText("Error while filling rectangle X:%d Y:%d W:%d H:%d in image ", x, y,
                            width, height) +
                 ImageDescribe(image));
  }
  return true;
}

bool ImageReplaceColor(TImageData& image, int32_t x, int32_t y, int32_t width, int32_t height,
                       const void* oldColor, const void* newColor) {
  if (!ImageIsValid(image)) return false;
  ClipRectBounds(x, y, width, height, image.Width, image.Height);
  if (width <= 0 || height <= 0) return false;
  try {
    if (!oldColor || !newColor) throw EImagingError("No color given.");
    EditDecoded(image, [&](TImageData& target) {
      const int bpp = DescriptorOf(target).BytesPerPixel;
      for (int32_t r = 0; r < height; ++r) {
        uint8_t* p = PixelAt(target, x, y + r);
        if (bpp == 4) {
          uint32_t from, to;
          std::memcpy(&from, oldColor, 4);
          std::memcpy(&to, newColor, 4);
          for (int32_t i = 0; i < width; ++i, p += 4) {
            uint32_t v;
            std::memcpy(&v, p, 4);
            if (v == from) std::memcpy(p, &to, 4);
          }
        } else {
          for (int32_t i = 0; i < width; ++i, p += bpp)
            if (std::memcmp(p, oldColor, size_t(bpp)) == 0) std::memcpy(p, newColor, size_t(bpp));
        }
      }
    });
  } catch (const std::exception&) {
    RaiseImaging(
        FormatText("Error while replacing colors in rectangle X:%d Y:%d W:%d H:%d of image ", x, y,
                   width, height) +
        ImageDescribe(image));
  }
  return true;
}

bool ImageFlipVertical(TImageData& image) {
  if (!ImageIsValid(image)) return false;
  try {
    EditDecoded(image, [](TImageData& target) {
      const int64_t rowBytes = RowBytes(target);
      std::vector<uint8_t> buffer(static_cast<size_t>(rowBytes));
      for (int32_t i = 0; i < target.Height / 2; ++i) {
        uint8_t* top = target.bits() + i * rowBytes;
        uint8_t* bottom = target.bits() + (target.Height - 1 - i) * rowBytes;
        std::memcpy(buffer.data(), top, size_t(rowBytes));
        std::memcpy(top, bottom, size_t(rowBytes));
        std::memcpy(bottom, buffer.data(), size_t(rowBytes));
      }
    });
  } catch (const std::exception&) {
    RaiseImaging("Error while flipping image. " + ImageDescribe(image));
  }
  return true;
}

bool ImageMirror(TImageData& image) {
  if (!ImageIsValid(image)) return false;
  try {
    EditDecoded(image, [](TImageData& target) {
      const int bpp = DescriptorOf(target).BytesPerPixel;
      const int64_t rowBytes = RowBytes(target);
      uint8_t buffer[16];
      for (int32_t y = 0; y < target.Height; ++y) {
        uint8_t* row = target.bits() + y * rowBytes;
        for (int32_t x = 0; x < target.Width / 2; ++x) {
          uint8_t* left = row + int64_t(x) * bpp;
          uint8_t* right = row + int64_t(target.Width - 1 - x) * bpp;
          std::memcpy(buffer, left, size_t(bpp));
          std::memcpy(left, right, size_t(bpp));
          std::memcpy(right, buffer, size_t(bpp));
        }
      }
    });
  } catch (const std::exception&) {
    RaiseImaging("Error while mirroring image. " + ImageDescribe(image));
  }
  return true;
}

bool ImageRotateRightAngle(TImageData& image, int32_t angle) {
  if (!ImageIsValid(image)) return false;
  try {
    if (angle % 90 != 0)
      throw EImagingError("The angle " + std::to_string(angle) + " is not a multiple of 90.");
    int32_t turn = angle < -360 || angle > 360 ? angle % 360 : angle;
    if (turn == 0 || turn == 360 || turn == -360) return true;
    if (turn < 0) turn += 360;

    EditDecoded(image, [turn](TImageData& target) {
      const bool swapSides = turn != 180;
      TImageData rotated;
      ImageCreate(swapSides ? target.Height : target.Width,
                  swapSides ? target.Width : target.Height, target.Format, rotated);
      switch (DescriptorOf(target).BytesPerPixel) {
        case 1:
          RotatePixels<1>(target, rotated, turn);
          break;
        case 3:
          RotatePixels<3>(target, rotated, turn);
          break;
        case 4:
          RotatePixels<4>(target, rotated, turn);
          break;
        default:
          RotatePixels<0>(target, rotated, turn);
      }
      rotated.Palette = std::move(target.Palette);
      target = std::move(rotated);
    });
  } catch (const std::exception&) {
    RaiseImaging(FormatText("Error while rotating image %s by %d degrees",
                            ImageDescribe(image).c_str(), angle));
  }
  return true;
}

}  // namespace pixolan::imaging
