// Mapping tables, the general filtered path, ImageResize and ImageStretchRect.
//
// The fast paths must reproduce this file's float results bit for bit, so a product and a
// sum are never fused into one rounding here.
#if defined(__clang__)
#pragma clang fp contract(off)
#elif defined(__GNUC__)
#pragma GCC optimize("fp-contract=off")
#endif

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

#include "imaging/geometry/Geometry.h"
#include "imaging/geometry/NearestResample.h"
#include "imaging/geometry/ResampleInternal.h"
#include "imaging/image/Errors.h"
#include "imaging/image/Imaging.h"

namespace pixolan::imaging {

namespace {

using F = TImageFormatId;

std::atomic<int32_t> gThreadCount{1};

// More contributors than this in one table would take gigabytes (only rows of a hundred
// million pixels get there); such requests are refused instead of exhausting memory.
constexpr int64_t kMaxTableContributors = int64_t(1) << 28;

bool IsByteChannelFormat(F f) {
  return f == F::Gray8 || f == F::A8Gray8 || f == F::R8G8B8 || f == F::A8R8G8B8 || f == F::X8R8G8B8;
}

uint8_t ByteOf(float v) {
  return uint8_t(std::clamp<int64_t>(RoundEven(double(v)), 0, 255));
}

std::pair<int32_t, int32_t> ColumnRange(const TMappingTable& table) {
  int32_t lo = INT32_MAX, hi = INT32_MIN;
  for (const TCluster& cluster : table)
    for (const TContributor& c : cluster) lo = std::min(lo, c.Pixel), hi = std::max(hi, c.Pixel);
  return {lo, hi};
}

}  // namespace

bool IsResizeFilter(TResizeFilter filter) {
  return filter == TResizeFilter::Nearest || filter == TResizeFilter::Bilinear ||
         filter == TResizeFilter::Bicubic;
}

float FilterKernel(TResizeFilter filter, float x) {
  const float a = std::fabs(x);
  switch (filter) {
    case TResizeFilter::Bilinear:
      return a < 1.0f ? 1.0f - a : 0.0f;
    case TResizeFilter::Bicubic:
      if (a < 1.0f) return 0.5f * (3.0f * a * a * a - 5.0f * a * a + 2.0f);
      if (a < 2.0f) return 0.5f * (-a * a * a + 5.0f * a * a - 8.0f * a + 4.0f);
      return 0.0f;
    default:
      return 0.0f;
  }
}

float FilterRadius(TResizeFilter filter) {
  switch (filter) {
    case TResizeFilter::Bilinear:
      return 1.0f;
    case TResizeFilter::Bicubic:
      return 2.0f;
    default:
      return 0.0f;
  }
}

TMappingTable BuildMappingTable(int32_t srcLow, int32_t srcHigh, int32_t dstSpan,
                                TResizeFilter filter) {
  const int64_t span = int64_t(srcHigh) - srcLow;
  if (span < 1 || dstSpan < 1)
    throw EImagingError("A mapping table needs source and destination spans of at least 1.");
  if (FilterRadius(filter) == 0.0f)
    throw EImagingError("The filter " + std::to_string(int32_t(filter)) + " has no kernel.");

  TMappingTable table(static_cast<size_t>(dstSpan));
  if (span == 1) {
    for (TCluster& cluster : table) cluster.push_back({srcLow, 1.0f});
    return table;
  }
  const float scale = float(dstSpan) / float(span);
  const bool reducing = scale < 1.0f;
  const float support = reducing ? FilterRadius(filter) / scale : FilterRadius(filter);
  // Every cluster has about 2 * support + 2 candidates.
  if ((2 * int64_t(std::ceil(support)) + 3) * dstSpan > kMaxTableContributors)
    throw EImagingError("Resampling " + std::to_string(span) + " pixels to " +
                        std::to_string(dstSpan) + " needs too large a mapping table.");

  for (int32_t i = 0; i < dstSpan; ++i) {
    TCluster& cluster = table[size_t(i)];
    // The centre stays in double: in float, coordinates of wide images would lose the
    // fraction that decides the weights.
    const double centre = (double(i) + 0.5) / double(scale) + double(srcLow) - 0.5;
    const auto left = int64_t(std::floor(centre - double(support)));
    const auto right = int64_t(std::ceil(centre + double(support)));
    cluster.reserve(size_t(right - left + 1));
    for (int64_t l = left; l <= right; ++l) {
      const float weight =
          reducing ? scale * FilterKernel(filter, float(double(scale) * (centre - double(l))))
                   : FilterKernel(filter, float(centre - double(l)));
      if (weight == 0.0f) continue;
      cluster.push_back({int32_t(std::clamp<int64_t>(l, srcLow, srcHigh - 1)), weight});
    }
    if (cluster.empty()) {
      cluster.push_back(
          {int32_t(std::clamp<int64_t>(int64_t(std::floor(centre)), srcLow, srcHigh - 1)), 1.0f});
      continue;
    }
    float sum = 0.0f;
    for (const TContributor& c : cluster) sum += c.Weight;
    if (sum != 1.0f) cluster[(cluster.size() - 1) / 2].Weight -= sum - 1.0f;
  }
  return table;
}

namespace detail {

void ResampleFilteredGeneral(const TResampleSource& src, int32_t srcX, int32_t srcY,
                             int32_t srcWidth, int32_t srcHeight, const TResampleTarget& dst,
                             int32_t dstWidth, int32_t dstHeight, TResizeFilter filter) {
  const TMappingTable horizontal = BuildMappingTable(srcX, srcX + srcWidth, dstWidth, filter);
  const TMappingTable vertical = BuildMappingTable(srcY, srcY + srcHeight, dstHeight, filter);
  const auto [minX, maxX] = ColumnRange(horizontal);
  const TFormatDescriptor& d = *dst.Format;
  const int bpp = d.BytesPerPixel;
  const bool bytes = IsByteChannelFormat(d.Format);
  const int channels = bytes ? d.Channels : 4;
  std::vector<float> line(size_t(maxX - minX + 1) * 4);

  for (int32_t y = 0; y < dstHeight; ++y) {
    const TCluster& rows = vertical[size_t(y)];
    for (int32_t x = minX; x <= maxX; ++x) {
      float* acc = &line[size_t(x - minX) * 4];
      if (bytes) {
        for (int ch = 0; ch < channels; ++ch) {
          float sum = 0.0f;
          for (const TContributor& c : rows) sum += c.Weight * float(src.Pixel(x, c.Pixel)[ch]);
          acc[ch] = sum;
        }
      } else {
        float sum[4] = {};
        for (const TContributor& c : rows) {
          const TPixelFP p = d.ReadPixelFP(d, src.Pixel(x, c.Pixel), src.Palette);
          for (int ch = 0; ch < 4; ++ch) sum[ch] += c.Weight * p[ch];
        }
        std::copy(sum, sum + 4, acc);
      }
    }

    uint8_t* out = dst.Bits + int64_t(y) * dst.Stride;
    for (int32_t x = 0; x < dstWidth; ++x, out += bpp) {
      float sum[4] = {};
      for (const TContributor& c : horizontal[size_t(x)]) {
        const float* value = &line[size_t(c.Pixel - minX) * 4];
        for (int ch = 0; ch < channels; ++ch) sum[ch] += c.Weight * value[ch];
      }
      if (bytes && dst.Sums) {
        std::copy(sum, sum + channels, dst.Sums + (int64_t(y) * dstWidth + x) * channels);
      } else if (bytes) {
        for (int ch = 0; ch < channels; ++ch) out[ch] = ByteOf(sum[ch]);
      } else {
        d.WritePixelFP(d, out, dst.Palette, {sum[0], sum[1], sum[2], sum[3]});
      }
    }
  }
}

}  // namespace detail

void SetResampleThreadCount(int32_t count) {
  gThreadCount.store(std::clamp(count, 1, 256), std::memory_order_relaxed);
}

int32_t ResampleThreadCount() {
  return gThreadCount.load(std::memory_order_relaxed);
}

bool ImageStretchRect(const TImageData& src, int32_t srcX, int32_t srcY, int32_t srcWidth,
                      int32_t srcHeight, TImageData& dst, int32_t dstX, int32_t dstY,
                      int32_t dstWidth, int32_t dstHeight, TResizeFilter filter) {
  if (!ImageIsValid(src) || !ImageIsValid(dst)) return false;
  ClipStretchBounds(srcX, srcY, srcWidth, srcHeight, dstX, dstY, dstWidth, dstHeight, src.Width,
                    src.Height, dst.Width, dst.Height);
  if (srcWidth == dstWidth && srcHeight == dstHeight)
    return ImageCopyRect(src, srcX, srcY, srcWidth, srcHeight, dst, dstX, dstY);
  if (srcWidth <= 0 || srcHeight <= 0 || dstWidth <= 0 || dstHeight <= 0) return false;

  const TFormatDescriptor& dd = *GetFormatDescriptor(dst.Format);
  const F working = dd.IsCompressed ? F::A8R8G8B8 : dst.Format;
  if (dd.IsIndexed) filter = TResizeFilter::Nearest;
  if (!IsResizeFilter(filter)) return false;

  try {
    TImageData decoded;
    TImageData* target = &dst;
    if (dd.IsCompressed) {
      detail::DecodeForEditing(dst, decoded);
      target = &decoded;
    }
    TImageData holder;
    const detail::TResampleSource source = detail::PrepareSource(
        src, srcX, srcY, srcWidth, srcHeight, working, target->palette(), target->bits(), holder);
    const TFormatDescriptor& wd = *GetFormatDescriptor(working);
    const int64_t stride = int64_t(target->Width) * wd.BytesPerPixel;
    const detail::TResampleTarget out{
        target->bits() + int64_t(dstY) * stride + int64_t(dstX) * wd.BytesPerPixel, stride, &wd,
        target->palette()};

    if (filter == TResizeFilter::Nearest) {
      ResampleNearest(source.Pixel(srcX, srcY), source.Stride, srcWidth, srcHeight, out.Bits,
                      out.Stride, dstWidth, dstHeight, wd.BytesPerPixel);
    } else if (!detail::ResampleFilteredFast(source, srcX, srcY, srcWidth, srcHeight, out, dstWidth,
                                             dstHeight, filter, ResampleThreadCount())) {
      detail::ResampleFilteredGeneral(source, srcX, srcY, srcWidth, srcHeight, out, dstWidth,
                                      dstHeight, filter);
    }
    if (dd.IsCompressed) {
      detail::EncodeKeepingSize(decoded, dst.Format);
      dst = std::move(decoded);
    }
  } catch (const std::exception&) {
    RaiseImaging("Error while stretching rect from image " + ImageDescribe(src) + " to image " +
                 ImageDescribe(dst) + ".");
  }
  return true;
}

bool ImageResizeTo(const TImageData& image, int32_t newWidth, int32_t newHeight,
                   TResizeFilter filter, TImageData& result) {
  if (!ImageIsValid(image) || (newWidth == image.Width && newHeight == image.Height)) return false;
  // A filter the engine lacks would leave the new image blank; keep the old one instead.
  if (!GetFormatDescriptor(image.Format)->IsIndexed && !IsResizeFilter(filter)) return false;
  try {
    if (newWidth < 1 || newHeight < 1)
      throw EImagingError("The new size " + std::to_string(newWidth) + "x" +
                          std::to_string(newHeight) + " is below 1x1 pixels.");
    TImageData resized;
    ImageCreate(newWidth, newHeight, image.Format, resized);
    // The indices are copied as they are, so the new image must mean them the same way.
    if (image.palette() && resized.palette())
      std::memcpy(resized.palette(), image.palette(),
                  size_t(GetFormatDescriptor(image.Format)->PaletteSize) * sizeof(TPixel32));
    ImageStretchRect(image, 0, 0, image.Width, image.Height, resized, 0, 0, newWidth, newHeight,
                     filter);
    result = std::move(resized);
  } catch (const std::exception&) {
    RaiseImaging("Error while resizing image.  " + ImageDescribe(image));
  }
  return true;
}

bool ImageResize(TImageData& image, int32_t newWidth, int32_t newHeight, TResizeFilter filter) {
  TImageData resized;
  if (!ImageResizeTo(image, newWidth, newHeight, filter, resized)) return false;
  if (image.palette()) resized.Palette = std::move(image.Palette);
  image = std::move(resized);
  return true;
}

}  // namespace pixolan::imaging
