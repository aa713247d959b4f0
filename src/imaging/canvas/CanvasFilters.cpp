// Convolution, point transforms and channel filters of the canvas.
//
// Each operation has one definition of its per-pixel arithmetic (the inline functions and
// operation structs below). The general path reads and writes every pixel through the
// format's accessors; the fast path of the byte-channel formats reads bytes through a table
// taken from the accessor, runs the same arithmetic in the same order and rounds as the
// writer does, so both produce the same bytes.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "imaging/canvas/Canvas.h"
#include "imaging/canvas/CanvasInternal.h"
#include "imaging/image/Imaging.h"

namespace pixolan::imaging {

namespace {

using detail::ByteReadTable;
using detail::PackByte;

// --- convolution ---

enum class ConvolveMode { Replace, Add };

struct ConvolveParams {
  ConvolveMode Mode = ConvolveMode::Replace;
  float Factor = 1.0f;  // replace: 1 / Divisor
  bool UseBias = false;
  float Bias = 0.0f;
  float Strength = 0.0f;  // add
  int32_t Divisor = 0;    // add
  bool Clamp = true;
};

// NaN becomes 0, as the writers store it; min and max keep this free of branches.
inline float Clamp01(float v) {
  v = v > 0.0f ? v : 0.0f;
  return v < 1.0f ? v : 1.0f;
}

// One channel's new value from its own value and its weighted sum, one function per kind
// of parameters so that the fast path can run each over a whole row.
inline float ReplaceChannel(float sum, float factor) {
  return sum * factor;
}
inline float ReplaceBiasChannel(float sum, float factor, float bias) {
  return sum * factor + bias;
}
inline float AddChannel(float own, float sum, float strength) {
  return own + sum * strength;  // dividing by 1 is exact, so it is left out
}
inline float AddDividedChannel(float own, float sum, float strength, float divisor) {
  return own + sum * strength / divisor;
}

enum class ChannelKind { Replace, ReplaceBias, Add, AddDivided, Keep };

inline ChannelKind KindOf(const ConvolveParams& p) {
  if (p.Mode == ConvolveMode::Replace)
    return p.UseBias ? ChannelKind::ReplaceBias : ChannelKind::Replace;
  if (p.Divisor == 1) return ChannelKind::Add;
  return p.Divisor != 0 ? ChannelKind::AddDivided : ChannelKind::Keep;
}

inline float ConvolveChannel(const ConvolveParams& p, float own, float sum) {
  float v = own;
  switch (KindOf(p)) {
    case ChannelKind::Replace:
      v = ReplaceChannel(sum, p.Factor);
      break;
    case ChannelKind::ReplaceBias:
      v = ReplaceBiasChannel(sum, p.Factor, p.Bias);
      break;
    case ChannelKind::Add:
      v = AddChannel(own, sum, p.Strength);
      break;
    case ChannelKind::AddDivided:
      v = AddDividedChannel(own, sum, p.Strength, float(p.Divisor));
      break;
    case ChannelKind::Keep:
      break;
  }
  return p.Clamp ? Clamp01(v) : v;
}

// ConvolveChannel over a row of own values and sums, the sums replaced by the results.
void ConvolveChannelRow(const ConvolveParams& p, const float* own, float* sum, int32_t n) {
  const float factor = p.Factor, bias = p.Bias, strength = p.Strength;
  const float divisor = float(p.Divisor);
  switch (KindOf(p)) {
    case ChannelKind::Replace:
      for (int32_t x = 0; x < n; ++x) sum[x] = ReplaceChannel(sum[x], factor);
      break;
    case ChannelKind::ReplaceBias:
      for (int32_t x = 0; x < n; ++x) sum[x] = ReplaceBiasChannel(sum[x], factor, bias);
      break;
    case ChannelKind::Add:
      for (int32_t x = 0; x < n; ++x) sum[x] = AddChannel(own[x], sum[x], strength);
      break;
    case ChannelKind::AddDivided:
      for (int32_t x = 0; x < n; ++x) sum[x] = AddDividedChannel(own[x], sum[x], strength, divisor);
      break;
    case ChannelKind::Keep:
      for (int32_t x = 0; x < n; ++x) sum[x] = own[x];
      break;
  }
  if (p.Clamp)
    for (int32_t x = 0; x < n; ++x) sum[x] = Clamp01(sum[x]);
}

inline TPixelFP ConvolveResult(const ConvolveParams& p, TPixelFP own, float sumR, float sumG,
                               float sumB) {
  own.R = ConvolveChannel(p, own.R, sumR);
  own.G = ConvolveChannel(p, own.G, sumG);
  own.B = ConvolveChannel(p, own.B, sumB);
  if (p.Clamp) own.A = Clamp01(own.A);
  return own;
}

struct ConvolveJob {
  TImageData* Image;
  const TImageData* Source;  // general path: the clone every neighbourhood is read from
  // Fast path: where the unchanged bytes of each clip row (from Clip.Top on) are read.
  std::vector<const uint8_t*> SourceRows;
  const TFormatDescriptor* Format;
  TRect Clip;
  int32_t Rows, Cols;
  std::vector<float> Weights;  // Rows x Cols, row by row
  ConvolveParams Params;
};

inline int32_t ClampCoord(int64_t v, int32_t low, int32_t high) {
  return int32_t(std::clamp<int64_t>(v, low, high));
}

void ConvolveRowsGeneral(const ConvolveJob& job, int32_t y0, int32_t y1) {
  const TFormatDescriptor& d = *job.Format;
  const TImageData& src = *job.Source;
  TImageData& image = *job.Image;
  const int64_t bpp = d.BytesPerPixel;
  const TRect& clip = job.Clip;
  for (int32_t y = y0; y < y1; ++y) {
    for (int32_t x = clip.Left; x < clip.Right; ++x) {
      float sumR = 0.0f, sumG = 0.0f, sumB = 0.0f;
      for (int32_t i = 0; i < job.Rows; ++i) {
        const int32_t sy = ClampCoord(int64_t(y) + i - job.Rows / 2, clip.Top, clip.Bottom - 1);
        const uint8_t* row = src.bits() + int64_t(sy) * src.Width * bpp;
        for (int32_t j = 0; j < job.Cols; ++j) {
          const int32_t sx = ClampCoord(int64_t(x) + j - job.Cols / 2, clip.Left, clip.Right - 1);
          const TPixelFP p = d.ReadPixelFP(d, row + sx * bpp, src.palette());
          const float w = job.Weights[size_t(i) * size_t(job.Cols) + size_t(j)];
          sumR += w * p.R;
          sumG += w * p.G;
          sumB += w * p.B;
        }
      }
      uint8_t* own = image.bits() + (int64_t(y) * image.Width + x) * bpp;
      const TPixelFP result =
          ConvolveResult(job.Params, d.ReadPixelFP(d, own, image.palette()), sumR, sumG, sumB);
      d.WritePixelFP(d, own, image.palette(), result);
    }
  }
}

// Byte-channel rows: each source row is turned once into three float planes padded by the
// repeated edge pixels, and every kernel tap is added to a whole row of sums at a time, so
// each pixel's sums see the taps in the order of the general path while the loop runs
// across pixels. Zero weights are skipped: times a pixel (finite, not negative) they add +0,
// which leaves every sum as it is, at most turning -0 into +0, and both give the same byte.
void ConvolveRowsBytes(const ConvolveJob& job, const ByteReadTable& table, int32_t y0, int32_t y1) {
  TImageData& image = *job.Image;
  const int32_t bpp = job.Format->BytesPerPixel;
  const TRect& clip = job.Clip;
  const int32_t width = clip.Width();
  const int32_t halfCols = job.Cols / 2;
  const size_t padded = size_t(width) + size_t(job.Cols) - 1;

  struct CachedRow {
    int32_t SourceY = -1;
    std::vector<float> Plane[3];  // red, green, blue
  };
  std::vector<CachedRow> cache(size_t(job.Rows));
  for (CachedRow& c : cache)
    for (auto& plane : c.Plane) plane.resize(padded);
  auto sourceRow = [&](int32_t sy) -> const CachedRow& {
    CachedRow& c = cache[size_t(sy - clip.Top) % size_t(job.Rows)];
    if (c.SourceY != sy) {
      const uint8_t* p = job.SourceRows[size_t(sy - clip.Top)] + int64_t(clip.Left) * bpp;
      float* planes[3] = {c.Plane[0].data(), c.Plane[1].data(), c.Plane[2].data()};
      const float* tableR = table.Channel[2];
      const float* tableG = table.Channel[1];
      const float* tableB = table.Channel[0];
      float* r = planes[0] + halfCols;
      float* g = planes[1] + halfCols;
      float* b = planes[2] + halfCols;
      for (int32_t x = 0; x < width; ++x, p += bpp) {
        r[x] = tableR[p[2]];
        g[x] = tableG[p[1]];
        b[x] = tableB[p[0]];
      }
      // The pads repeat the edge pixels.
      for (float* plane : planes) {
        std::fill(plane, plane + halfCols, plane[halfCols]);
        std::fill(plane + halfCols + width, plane + padded, plane[halfCols + width - 1]);
      }
      c.SourceY = sy;
    }
    return c;
  };

  struct Tap {
    const CachedRow* Row;
    int32_t Offset;
    float Weight;
  };
  std::vector<Tap> taps;
  taps.reserve(size_t(job.Rows) * size_t(job.Cols));
  std::vector<float> sums[3];
  for (auto& s : sums) s.resize(size_t(width));
  std::vector<float> results(size_t(width) * size_t(bpp));
  const ConvolveParams params = job.Params;
  for (int32_t y = y0; y < y1; ++y) {
    taps.clear();
    for (int32_t i = 0; i < job.Rows; ++i) {
      const int32_t sy = ClampCoord(int64_t(y) + i - job.Rows / 2, clip.Top, clip.Bottom - 1);
      const CachedRow& row = sourceRow(sy);
      for (int32_t j = 0; j < job.Cols; ++j) {
        const float w = job.Weights[size_t(i) * size_t(job.Cols) + size_t(j)];
        if (w != 0.0f) taps.push_back({&row, j, w});
      }
    }
    // Blocks of pixels keep their sums in registers while every tap is added in kernel
    // order; the pixels after the last block, or all of them without SSE2, one by one.
    constexpr int32_t kBlock = 16;
    for (int c = 0; c < 3; ++c) {
      float* sum = sums[c].data();
      int32_t x = 0;
#if defined(__SSE2__)
      for (; x + kBlock <= width; x += kBlock) {
        __m128 a0 = _mm_setzero_ps(), a1 = a0, a2 = a0, a3 = a0;
        for (const Tap& t : taps) {
          const float* in = t.Row->Plane[c].data() + t.Offset + x;
          const __m128 w = _mm_set1_ps(t.Weight);
          a0 = _mm_add_ps(a0, _mm_mul_ps(w, _mm_loadu_ps(in)));
          a1 = _mm_add_ps(a1, _mm_mul_ps(w, _mm_loadu_ps(in + 4)));
          a2 = _mm_add_ps(a2, _mm_mul_ps(w, _mm_loadu_ps(in + 8)));
          a3 = _mm_add_ps(a3, _mm_mul_ps(w, _mm_loadu_ps(in + 12)));
        }
        _mm_storeu_ps(sum + x, a0);
        _mm_storeu_ps(sum + x + 4, a1);
        _mm_storeu_ps(sum + x + 8, a2);
        _mm_storeu_ps(sum + x + 12, a3);
      }
#endif
      for (; x < width; ++x) {
        float acc = 0.0f;
        for (const Tap& t : taps) acc += t.Weight * t.Row->Plane[c][size_t(t.Offset + x)];
        sum[x] = acc;
      }
    }
    // The pixel's own red, green and blue are those of the unchanged source row y, whose
    // planes are cached already; the channels are computed plane by plane across the row.
    const CachedRow& own = sourceRow(y);
    for (int c = 0; c < 3; ++c) {
      const float* ownPlane = own.Plane[c].data() + halfCols;
      float* sum = sums[c].data();
      ConvolveChannelRow(params, ownPlane, sum, width);
    }
    uint8_t* out = image.bits() + (int64_t(y) * image.Width + clip.Left) * bpp;
    const float* r = sums[0].data();
    const float* g = sums[1].data();
    const float* b = sums[2].data();
    if (bpp == 4) {
      float* a = results.data();
      for (int32_t x = 0; x < width; ++x) a[x] = table.Channel[3][out[int64_t(x) * 4 + 3]];
      if (params.Clamp)
        for (int32_t x = 0; x < width; ++x) a[x] = Clamp01(a[x]);
      detail::PackPlanesBGRA(b, g, r, a, out, size_t(width));
    } else {
      float* q = results.data();
      for (int32_t x = 0; x < width; ++x, q += 3) {
        q[0] = b[x];
        q[1] = g[x];
        q[2] = r[x];
      }
      detail::PackBytes(results.data(), out, results.size());
    }
  }
}

void CheckKernel(const TConvolutionFilterFree& filter) {
  const size_t rows = filter.Kernel.size();
  const size_t cols = rows ? filter.Kernel[0].size() : 0;
  if (rows == 0 || cols == 0) throw EImagingCanvasError("Convolution kernel has no weights.");
  for (size_t i = 1; i < rows; ++i) {
    if (filter.Kernel[i].size() != cols)
      throw EImagingCanvasError("Row " + std::to_string(i) + " of the convolution kernel has " +
                                std::to_string(filter.Kernel[i].size()) +
                                " weights, the first row " + std::to_string(cols) + ".");
  }
}

// --- point transforms ---

// An operation whose channels each depend on that channel alone; the fast path turns it
// into one byte table per channel.
template <class Derived>
struct PerChannelOp {
  static constexpr bool kPerChannel = true;
  TPixelFP Apply(TPixelFP p) const {
    const Derived& self = static_cast<const Derived&>(*this);
    p.B = self.Channel(0, p.B);
    p.G = self.Channel(1, p.G);
    p.R = self.Channel(2, p.R);
    return p;
  }
};

struct ContrastBrightnessOp : PerChannelOp<ContrastBrightnessOp> {
  float Contrast, Brightness;  // already divided by 100
  float Channel(int, float c) const { return c + (c - 0.5f) * Contrast + Brightness; }
};

struct ShiftOp : PerChannelOp<ShiftOp> {
  float Shift[3];  // blue, green, red; already divided by 300
  float Channel(int ch, float c) const { return c + Shift[ch]; }
};

// x^0 = 1 and 0^y = 0 for y > 0, whatever the library's pow says about them.
inline float Power(float base, float exponent) {
  if (exponent == 0.0f) return 1.0f;
  if (base == 0.0f && exponent > 0.0f) return 0.0f;
  return std::pow(base, exponent);
}

struct GammaOp : PerChannelOp<GammaOp> {
  float Exponent[3];  // 1 / gamma for blue, green, red
  float Channel(int ch, float c) const { return Power(c, Exponent[ch]); }
};

struct InvertOp : PerChannelOp<InvertOp> {
  float Channel(int, float c) const { return 1.0f - c; }
};

enum class ChannelFill { Full, Zero, Invert };

struct ChannelFilterOp : PerChannelOp<ChannelFilterOp> {
  ChannelFill Fill;
  bool Keep[3];  // blue, green, red
  float Channel(int ch, float c) const {
    if (Keep[ch]) return c;
    switch (Fill) {
      case ChannelFill::Full:
        return 1.0f;
      case ChannelFill::Zero:
        return 0.0f;
      case ChannelFill::Invert:
        break;
    }
    return 1.0f - c;
  }
};

struct SaturationOp {
  static constexpr bool kPerChannel = false;
  float Amount[3];  // blue, green, red; already divided by 100
  TPixelFP Apply(TPixelFP p) const {
    const float m = (p.R + p.G + p.B) / 3.0f;
    p.R = p.R + (p.R - m) * Amount[2];
    p.G = p.G + (p.G - m) * Amount[1];
    p.B = p.B + (p.B - m) * Amount[0];
    return p;
  }
};

enum class InkFill { Remove, KeepRaw, Saturate };

struct InkFilterOp {
  static constexpr bool kPerChannel = false;
  InkFill Fill;
  bool KeepC, KeepM, KeepY, KeepK;
  float Removed(bool keep, float reduced, float raw) const {
    if (keep) return reduced;
    switch (Fill) {
      case InkFill::Remove:
        return 0.0f;
      case InkFill::Saturate:
        return 1.0f;
      case InkFill::KeepRaw:
        break;
    }
    return raw;
  }
  TPixelFP Apply(TPixelFP p) const {
    const float c0 = 1.0f - p.R, m0 = 1.0f - p.G, y0 = 1.0f - p.B;
    float k = std::min(std::min(c0, m0), y0);
    // The chromatic inks as fractions of what the black leaves, the inverse of the final
    // recombination: without the division, keeping every ink would still wash out every
    // color that is neither gray nor of full brightness.
    const float rest = 1.0f - k;
    auto reduce = [&](float ink) { return rest > 0.0f ? (ink - k) / rest : 0.0f; };
    float c = Removed(KeepC, reduce(c0), c0);
    float m = Removed(KeepM, reduce(m0), m0);
    float y = Removed(KeepY, reduce(y0), y0);
    if (!KeepK && Fill == InkFill::Remove) k = 0.0f;
    if (!KeepK && Fill == InkFill::Saturate) k = 1.0f;
    c = (1.0f - k) * c + k;
    m = (1.0f - k) * m + k;
    y = (1.0f - k) * y + k;
    p.R = 1.0f - c;
    p.G = 1.0f - m;
    p.B = 1.0f - y;
    return p;
  }
};

template <class Op>
void RunPointOp(const detail::CanvasRowJob& job, const Op& op) {
  if (job.Clip.IsEmpty()) return;
  TImageData& image = *job.Image;
  const TFormatDescriptor& d = *job.Format;
  const int32_t bpp = d.BytesPerPixel;
  const int32_t width = job.Clip.Width();
  auto rowStart = [&](int32_t y) {
    return image.bits() + (int64_t(y) * image.Width + job.Clip.Left) * bpp;
  };

  if (!job.Fast) {
    detail::ParallelRows(job.Clip.Top, job.Clip.Bottom, job.Threads, [&](int32_t y0, int32_t y1) {
      for (int32_t y = y0; y < y1; ++y) {
        uint8_t* p = rowStart(y);
        for (int32_t x = 0; x < width; ++x, p += bpp)
          d.WritePixelFP(d, p, image.palette(), op.Apply(d.ReadPixelFP(d, p, image.palette())));
      }
    });
    return;
  }

  const ByteReadTable table(d);
  if constexpr (Op::kPerChannel) {
    uint8_t map[4][256];
    for (int v = 0; v < 256; ++v) {
      for (int c = 0; c < 3; ++c) map[c][v] = PackByte(op.Channel(c, table.Channel[c][v]));
      map[3][v] = PackByte(table.Channel[3][v]);
    }
    detail::ParallelRows(job.Clip.Top, job.Clip.Bottom, job.Threads, [&](int32_t y0, int32_t y1) {
      const int32_t step = bpp, count = width;
      for (int32_t y = y0; y < y1; ++y) {
        uint8_t* p = rowStart(y);
        for (int32_t x = 0; x < count; ++x, p += step) {
          p[0] = map[0][p[0]];
          p[1] = map[1][p[1]];
          p[2] = map[2][p[2]];
          if (step == 4) p[3] = map[3][p[3]];
        }
      }
    });
  } else {
    const float fixedAlpha = table.Channel[3][0];
    detail::ParallelRows(job.Clip.Top, job.Clip.Bottom, job.Threads, [&](int32_t y0, int32_t y1) {
      // Planes of blue, green, red and alpha, so that the arithmetic runs across pixels.
      const size_t n = size_t(width);
      std::vector<float> planes(n * 4), interleaved(bpp == 3 ? n * 3 : 0);
      float* b = planes.data();
      float* g = b + n;
      float* r = g + n;
      float* a = r + n;
      const Op rowOp = op;
      const int32_t step = bpp;
      for (int32_t y = y0; y < y1; ++y) {
        const uint8_t* p = rowStart(y);
        for (size_t x = 0; x < n; ++x, p += step) {
          b[x] = table.Channel[0][p[0]];
          g[x] = table.Channel[1][p[1]];
          r[x] = table.Channel[2][p[2]];
          a[x] = step == 4 ? table.Channel[3][p[3]] : fixedAlpha;
        }
        for (size_t x = 0; x < n; ++x) {
          const TPixelFP v = rowOp.Apply({b[x], g[x], r[x], a[x]});
          b[x] = v.B;
          g[x] = v.G;
          r[x] = v.R;
          a[x] = v.A;
        }
        if (step == 4) {
          detail::PackPlanesBGRA(b, g, r, a, rowStart(y), n);
          continue;
        }
        for (size_t x = 0; x < n; ++x) {
          interleaved[x * 3] = b[x];
          interleaved[x * 3 + 1] = g[x];
          interleaved[x * 3 + 2] = r[x];
        }
        detail::PackBytes(interleaved.data(), rowStart(y), interleaved.size());
      }
    });
  }
}

}  // namespace

// --- convolution entry points ---

void TImagingCanvas::RunConvolution(const TConvolutionFilterFree& filter, int mode, float strength,
                                    bool clamp, float bias) {
  CheckKernel(filter);
  const detail::CanvasRowJob rows = RowJob();
  TImageData& image = *rows.Image;
  const TRect clip = rows.Clip;
  if (clip.IsEmpty()) return;

  ConvolveJob job;
  job.Image = &image;
  job.Format = &Descriptor();
  job.Clip = clip;
  job.Rows = int32_t(filter.Kernel.size());
  job.Cols = int32_t(filter.Kernel[0].size());
  job.Weights.reserve(size_t(job.Rows) * size_t(job.Cols));
  for (const auto& row : filter.Kernel)
    for (int32_t w : row) job.Weights.push_back(float(w));
  job.Params.Mode = ConvolveMode(mode);
  job.Params.Factor = filter.Divisor < 2 ? 1.0f : 1.0f / float(filter.Divisor);
  job.Params.Strength = strength;
  job.Params.Divisor = filter.Divisor;
  job.Params.Clamp = clamp;
  job.Params.UseBias = bias != 0.0f;
  job.Params.Bias = bias;

  // Every neighbourhood is read from unchanged pixels, so results never feed back into the
  // pass. The general path reads a copy of the image. The fast path converts each source row
  // before it is overwritten and keeps it while it is needed; only rows near the border of
  // two bands, which the neighbouring band may overwrite first, are copied.
  TImageData source;
  std::vector<uint8_t> borderRows;
  if (rows.Fast) {
    const int64_t rowBytes = int64_t(image.Width) * Descriptor().BytesPerPixel;
    const int32_t bands = detail::BandCount(clip.Top, clip.Bottom, rows.Threads);
    const int32_t above = job.Rows / 2, below = job.Rows - 1 - job.Rows / 2;
    job.SourceRows.resize(size_t(clip.Height()));
    for (int32_t y = clip.Top; y < clip.Bottom; ++y)
      job.SourceRows[size_t(y - clip.Top)] = image.bits() + y * rowBytes;
    std::vector<int32_t> copied;
    for (int32_t band = 1; band < bands; ++band) {
      const int32_t border = detail::BandStart(clip.Top, clip.Bottom, bands, band);
      for (int64_t y = std::max<int64_t>(int64_t(border) - above, clip.Top);
           y < std::min<int64_t>(int64_t(border) + below, clip.Bottom); ++y)
        if (copied.empty() || copied.back() < y) copied.push_back(int32_t(y));
    }
    borderRows.resize(copied.size() * size_t(rowBytes));
    for (size_t i = 0; i < copied.size(); ++i) {
      uint8_t* copy = borderRows.data() + i * size_t(rowBytes);
      std::memcpy(copy, image.bits() + copied[i] * rowBytes, size_t(rowBytes));
      job.SourceRows[size_t(copied[i] - clip.Top)] = copy;
    }
    const ByteReadTable table(Descriptor());
    detail::ParallelRows(clip.Top, clip.Bottom, rows.Threads,
                         [&](int32_t y0, int32_t y1) { ConvolveRowsBytes(job, table, y0, y1); });
  } else {
    ImageClone(image, source);
    job.Source = &source;
    detail::ParallelRows(clip.Top, clip.Bottom, rows.Threads,
                         [&](int32_t y0, int32_t y1) { ConvolveRowsGeneral(job, y0, y1); });
  }
}

void TImagingCanvas::Convolve(std::span<const int32_t> kernel, int32_t size, bool clamp, float bias,
                              int32_t divisor) {
  if (size <= 0 || int64_t(kernel.size()) != int64_t(size) * size)
    throw EImagingCanvasError("Square convolution kernel of size " + std::to_string(size) +
                              " needs " + std::to_string(int64_t(size) * size) + " weights, not " +
                              std::to_string(kernel.size()) + ".");
  TConvolutionFilterFree filter;
  filter.Kernel.resize(size_t(size));
  for (int32_t i = 0; i < size; ++i)
    filter.Kernel[size_t(i)].assign(kernel.begin() + int64_t(i) * size,
                                    kernel.begin() + int64_t(i + 1) * size);
  filter.Divisor = divisor;
  RunConvolution(filter, int(ConvolveMode::Replace), 0.0f, clamp, bias);
}

void TImagingCanvas::Convolve3x3(const TConvolutionFilter3x3& filter) {
  Convolve(std::span<const int32_t>(&filter.Kernel[0][0], 9), 3, true, filter.Bias, filter.Divisor);
}

void TImagingCanvas::Convolve5x5(const TConvolutionFilter5x5& filter) {
  Convolve(std::span<const int32_t>(&filter.Kernel[0][0], 25), 5, true, filter.Bias,
           filter.Divisor);
}

void TImagingCanvas::ConvolveFree(const TConvolutionFilterFree& filter) {
  RunConvolution(filter, int(ConvolveMode::Replace), 0.0f, true, 0.0f);
}

namespace {

template <int N>
TConvolutionFilterFree ToFree(const TConvolutionFilter<N>& filter) {
  TConvolutionFilterFree free;
  free.Kernel.resize(N);
  for (int i = 0; i < N; ++i) free.Kernel[size_t(i)].assign(filter.Kernel[i], filter.Kernel[i] + N);
  free.Divisor = filter.Divisor;
  free.Bias = filter.Bias;
  return free;
}

}  // namespace

void TImagingCanvas::SharpenKernel3x3(float strength) {
  SharpenKernelFree(ToFree(Sharpen3x3Kernel), strength);
}

void TImagingCanvas::SharpenKernel5x5(float strength) {
  SharpenKernelFree(ToFree(Sharpen5x5Kernel), strength);
}

void TImagingCanvas::SharpenKernelFree(const TConvolutionFilterFree& filter, float strength) {
  RunConvolution(filter, int(ConvolveMode::Add), strength, true, 0.0f);
}

// --- point transforms and channel filters ---

void TImagingCanvas::AdjustContrastBrightness(float contrast, float brightness) {
  ContrastBrightnessOp op;
  op.Contrast = contrast / 100.0f;
  op.Brightness = brightness / 100.0f;
  RunPointOp(RowJob(), op);
}

void TImagingCanvas::AdjustSaturation(float amount) {
  AdjustChannelSaturation(amount, amount, amount);
}

void TImagingCanvas::AdjustChannelSaturation(float red, float green, float blue) {
  SaturationOp op;
  op.Amount[0] = blue / 100.0f;
  op.Amount[1] = green / 100.0f;
  op.Amount[2] = red / 100.0f;
  RunPointOp(RowJob(), op);
}

void TImagingCanvas::ShiftChannels(float red, float green, float blue) {
  ShiftOp op;
  op.Shift[0] = blue / 300.0f;
  op.Shift[1] = green / 300.0f;
  op.Shift[2] = red / 300.0f;
  RunPointOp(RowJob(), op);
}

void TImagingCanvas::AdjustGamma(float red, float green, float blue) {
  GammaOp op;
  op.Exponent[0] = 1.0f / blue;
  op.Exponent[1] = 1.0f / green;
  op.Exponent[2] = 1.0f / red;
  RunPointOp(RowJob(), op);
}

void TImagingCanvas::InvertColors() {
  RunPointOp(RowJob(), InvertOp{});
}

void TImagingCanvas::FilterChannelsFull(bool keepRed, bool keepGreen, bool keepBlue) {
  RunPointOp(RowJob(), ChannelFilterOp{{}, ChannelFill::Full, {keepBlue, keepGreen, keepRed}});
}

void TImagingCanvas::FilterChannelsZero(bool keepRed, bool keepGreen, bool keepBlue) {
  RunPointOp(RowJob(), ChannelFilterOp{{}, ChannelFill::Zero, {keepBlue, keepGreen, keepRed}});
}

void TImagingCanvas::FilterChannelsInvert(bool keepRed, bool keepGreen, bool keepBlue) {
  RunPointOp(RowJob(), ChannelFilterOp{{}, ChannelFill::Invert, {keepBlue, keepGreen, keepRed}});
}

void TImagingCanvas::FilterInksRemove(bool keepCyan, bool keepMagenta, bool keepYellow,
                                      bool keepBlack) {
  RunPointOp(RowJob(), InkFilterOp{InkFill::Remove, keepCyan, keepMagenta, keepYellow, keepBlack});
}

void TImagingCanvas::FilterInksKeepRaw(bool keepCyan, bool keepMagenta, bool keepYellow,
                                       bool keepBlack) {
  RunPointOp(RowJob(), InkFilterOp{InkFill::KeepRaw, keepCyan, keepMagenta, keepYellow, keepBlack});
}

void TImagingCanvas::FilterInksSaturate(bool keepCyan, bool keepMagenta, bool keepYellow,
                                        bool keepBlack) {
  RunPointOp(RowJob(),
             InkFilterOp{InkFill::Saturate, keepCyan, keepMagenta, keepYellow, keepBlack});
}

}  // namespace pixolan::imaging
