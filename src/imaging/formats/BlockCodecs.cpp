// Encoders and decoders of the 4x4 block formats DXT1, DXT3, DXT5 (S3TC / BC1-BC3), BTC
// (absolute-moment block truncation coding), ATI1N (BC4) and ATI2N (BC5).
//
// Decoding follows the published block layouts with integer interpolants that truncate:
// (2*c0 + c1) / 3, (c0 + 2*c1) / 3 and (c0 + c1) / 2 per color channel, ((7-k)*a0 + k*a1) / 7
// and ((5-k)*a0 + k*a1) / 5 for alpha. The published formats give the interpolants as real values
// and let implementations differ by about one unit; truncation is what common software decoders
// do (Pillow's reference decodes of its DXT1/3/5, ATI1 and ATI2 test files match this code
// exactly, see the conformance tests), and the encoders judge candidates by exactly this palette.
//
// Encoding, per block:
// - Color (DXT1/3/5): a block of one color uses precomputed single-color tables, which give per
//   channel the endpoint pair whose interpolated palette entry comes closest to the 8-bit value
//   (within 1 for every value, exact for RGB565 expansions). Other blocks start from the
//   extremes of their colors projected on the principal axis (power iteration on the
//   covariance), refine the endpoints by least squares on the chosen indices, then step single
//   5/6-bit endpoint components while that lowers the error. Indices always go to the nearest
//   palette entry. DXT1 fits both the 4-color and the 3-color mode and keeps the better one; a
//   block with pixels of alpha below 128 uses the 3-color mode, index 3 (transparent black)
//   marking exactly those pixels, which take no part in the fit.
// - Alpha (DXT5, ATI1N, ATI2N): the 8-value mode from the block's max/min and the 6-value mode
//   from the min/max of the values other than 0 and 255 (which that mode holds as fixed
//   entries); each is refined by least squares and the smaller error wins. One- and two-valued
//   blocks are exact.
// - BTC: absolute-moment BTC: threshold at the block mean (values equal to it go up); lower =
//   rounded mean of the pixels below, upper = rounded mean of the others.
// Errors are plain sums of squared channel differences, without perceptual weights: these
// formats carry masks and normal maps (ATI2N) as often as photographs, and the round trip is
// judged per channel.
#include "imaging/formats/BlockCodecs.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "imaging/image/ByteOrder.h"

namespace pixolan::imaging::blocks {
namespace {

constexpr int kPixels = 16;
constexpr int64_t kNoFit = std::numeric_limits<int64_t>::max();

// ---------------------------------------------------------------------------------------------
// Block iteration and pixel gathering. Only whole 4x4 blocks are visited: width / 4 by
// height / 4 of them, matching the block buffer's (width/4)*(height/4)*blockBytes.

template <typename Fn>
void ForEachBlock(int width, int height, size_t blockBytes, Fn&& fn) {
  if (width < 4 || height < 4) return;
  const size_t blocksX = size_t(width) / 4;
  const size_t blocksY = size_t(height) / 4;
  size_t offset = 0;
  for (size_t by = 0; by < blocksY; ++by) {
    for (size_t bx = 0; bx < blocksX; ++bx) {
      fn(bx * 4, by * 4, offset);
      offset += blockBytes;
    }
  }
}

// Copies the 4x4 block at (x0, y0) of an image with `channels` bytes a pixel into `block`
// (pixel i = y*4 + x, channels interleaved).
void GatherBlock(const uint8_t* image, int width, int channels, size_t x0, size_t y0,
                 uint8_t* block) {
  for (size_t y = 0; y < 4; ++y) {
    const uint8_t* row = image + ((y0 + y) * size_t(width) + x0) * size_t(channels);
    std::copy(row, row + 4 * channels, block + y * 4 * size_t(channels));
  }
}

void ScatterBlock(const uint8_t* block, int width, int channels, size_t x0, size_t y0,
                  uint8_t* image) {
  for (size_t y = 0; y < 4; ++y) {
    uint8_t* row = image + ((y0 + y) * size_t(width) + x0) * size_t(channels);
    const uint8_t* from = block + y * 4 * size_t(channels);
    std::copy(from, from + 4 * channels, row);
  }
}

uint64_t LoadLE(const uint8_t* p, int bytes) {
  uint64_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

void StoreLE(uint8_t* p, int bytes, uint64_t v) {
  for (int i = 0; i < bytes; ++i) p[i] = uint8_t(v >> (8 * i));
}

// ---------------------------------------------------------------------------------------------
// RGB565 and the color palette.

int Expand5(int v) {
  return (v << 3) | (v >> 2);
}
int Expand6(int v) {
  return (v << 2) | (v >> 4);
}

struct Rgb {
  int r = 0, g = 0, b = 0;
};

Rgb Unpack565(uint16_t c) {
  return {Expand5(c >> 11), Expand6((c >> 5) & 63), Expand5(c & 31)};
}
uint16_t Pack565(int r5, int g6, int b5) {
  return uint16_t((r5 << 11) | (g6 << 5) | b5);
}

struct ColorPalette {
  Rgb entry[4];
  bool threeColor = false;  // index 2 is the midpoint and index 3 transparent black
};

// The palette the decoder builds. `dxt1` selects the mode by endpoint order; DXT3/DXT5 color
// blocks are always in 4-color mode.
ColorPalette MakeColorPalette(uint16_t c0, uint16_t c1, bool dxt1) {
  ColorPalette p;
  const Rgb a = Unpack565(c0);
  const Rgb b = Unpack565(c1);
  p.entry[0] = a;
  p.entry[1] = b;
  if (!dxt1 || c0 > c1) {
    p.entry[2] = {(2 * a.r + b.r) / 3, (2 * a.g + b.g) / 3, (2 * a.b + b.b) / 3};
    p.entry[3] = {(a.r + 2 * b.r) / 3, (a.g + 2 * b.g) / 3, (a.b + 2 * b.b) / 3};
  } else {
    p.threeColor = true;
    p.entry[2] = {(a.r + b.r) / 2, (a.g + b.g) / 2, (a.b + b.b) / 2};
    p.entry[3] = {0, 0, 0};
  }
  return p;
}

// Decodes the 8-byte color block at `src` into BGRA pixels; alpha is 255, or 0 for index 3
// in 3-color mode.
void DecodeColorBlock(const uint8_t* src, bool dxt1, uint8_t* bgra) {
  const ColorPalette p = MakeColorPalette(Get16(src), Get16(src + 2), dxt1);
  const uint32_t indices = uint32_t(LoadLE(src + 4, 4));
  for (int i = 0; i < kPixels; ++i) {
    const int k = (indices >> (2 * i)) & 3;
    const Rgb& c = p.entry[k];
    uint8_t* px = bgra + 4 * i;
    px[0] = uint8_t(c.b);
    px[1] = uint8_t(c.g);
    px[2] = uint8_t(c.r);
    px[3] = (p.threeColor && k == 3) ? 0 : 255;
  }
}

// ---------------------------------------------------------------------------------------------
// The alpha block (DXT5 alpha, ATI1N, each half of ATI2N).

std::array<int, 8> MakeAlphaPalette(int a0, int a1) {
  std::array<int, 8> p{};
  p[0] = a0;
  p[1] = a1;
  if (a0 > a1) {
    for (int k = 1; k <= 6; ++k) p[k + 1] = ((7 - k) * a0 + k * a1) / 7;
  } else {
    for (int k = 1; k <= 4; ++k) p[k + 1] = ((5 - k) * a0 + k * a1) / 5;
    p[6] = 0;
    p[7] = 255;
  }
  return p;
}

// Decodes the 8-byte alpha block at `src` into 16 values written `stride` bytes apart.
void DecodeAlphaBlock(const uint8_t* src, uint8_t* out, int stride) {
  const std::array<int, 8> p = MakeAlphaPalette(src[0], src[1]);
  const uint64_t indices = LoadLE(src + 2, 6);
  for (int i = 0; i < kPixels; ++i) out[i * stride] = uint8_t(p[(indices >> (3 * i)) & 7]);
}

struct AlphaFit {
  int a0 = 0, a1 = 0;
  uint64_t indices = 0;
  int64_t error = kNoFit;
};

AlphaFit EvaluateAlpha(const int* values, int a0, int a1) {
  AlphaFit fit;
  fit.a0 = a0;
  fit.a1 = a1;
  fit.error = 0;
  const std::array<int, 8> p = MakeAlphaPalette(a0, a1);
  for (int i = 0; i < kPixels; ++i) {
    int best = 0;
    int bestErr = std::numeric_limits<int>::max();
    for (int k = 0; k < 8; ++k) {
      const int d = values[i] - p[k];
      if (d * d < bestErr) {
        bestErr = d * d;
        best = k;
      }
    }
    fit.indices |= uint64_t(best) << (3 * i);
    fit.error += bestErr;
  }
  return fit;
}

// Weight of endpoint a0 in palette entry k (a1 gets 1 - weight); negative for the fixed 0 and
// 255 of the 6-value mode, which take no part in a fit.
double AlphaWeight(bool eightValues, int k) {
  if (k == 0) return 1.0;
  if (k == 1) return 0.0;
  if (eightValues) return (8 - k) / 7.0;
  return k <= 5 ? (6 - k) / 5.0 : -1.0;
}

// Least-squares endpoints for the indices of `fit`, in the same mode. False if the indices do
// not determine two endpoints.
bool RefineAlpha(const int* values, const AlphaFit& fit, int& a0, int& a1) {
  const bool eight = fit.a0 > fit.a1;
  double aa = 0, ab = 0, bb = 0, ax = 0, bx = 0;
  for (int i = 0; i < kPixels; ++i) {
    const double w = AlphaWeight(eight, int((fit.indices >> (3 * i)) & 7));
    if (w < 0) continue;
    const double v = 1.0 - w;
    aa += w * w;
    ab += w * v;
    bb += v * v;
    ax += w * values[i];
    bx += v * values[i];
  }
  const double det = aa * bb - ab * ab;
  if (std::fabs(det) < 1e-9) return false;
  a0 = std::clamp(int(std::lround((bb * ax - ab * bx) / det)), 0, 255);
  a1 = std::clamp(int(std::lround((aa * bx - ab * ax) / det)), 0, 255);
  // Keep the mode: a0 > a1 selects 8 values. Swapping the endpoints mirrors the interpolants.
  if (eight ? a0 < a1 : a0 > a1) std::swap(a0, a1);
  if (eight && a0 == a1) return false;
  return true;
}

void EncodeAlphaBlock(const int* values, uint8_t* dst) {
  int lo = 255, hi = 0, innerLo = 255, innerHi = 0;
  for (int i = 0; i < kPixels; ++i) {
    lo = std::min(lo, values[i]);
    hi = std::max(hi, values[i]);
    if (values[i] != 0 && values[i] != 255) {
      innerLo = std::min(innerLo, values[i]);
      innerHi = std::max(innerHi, values[i]);
    }
  }
  AlphaFit best;
  if (lo == hi) {
    best = EvaluateAlpha(values, lo, lo);  // 6-value mode, every index 0: exact
  } else {
    if (innerLo > innerHi) innerLo = innerHi = 0;  // only 0 and 255: the fixed entries hold both
    const AlphaFit starts[2] = {EvaluateAlpha(values, hi, lo),
                                EvaluateAlpha(values, innerLo, innerHi)};
    for (AlphaFit fit : starts) {
      for (int round = 0; round < 2 && fit.error > 0; ++round) {
        int a0 = 0, a1 = 0;
        if (!RefineAlpha(values, fit, a0, a1)) break;
        const AlphaFit refined = EvaluateAlpha(values, a0, a1);
        if (refined.error >= fit.error) break;
        fit = refined;
      }
      if (fit.error < best.error) best = fit;
    }
  }
  dst[0] = uint8_t(best.a0);
  dst[1] = uint8_t(best.a1);
  StoreLE(dst + 2, 6, best.indices);
}

// ---------------------------------------------------------------------------------------------
// Color block encoder.

int Nearest5(int v) {
  int q = (v * 31 + 127) / 255;
  for (int c = std::max(q - 1, 0); c <= std::min(q + 1, 31); ++c)
    if (std::abs(Expand5(c) - v) < std::abs(Expand5(q) - v)) q = c;
  return q;
}

int Nearest6(int v) {
  int q = (v * 63 + 127) / 255;
  for (int c = std::max(q - 1, 0); c <= std::min(q + 1, 63); ++c)
    if (std::abs(Expand6(c) - v) < std::abs(Expand6(q) - v)) q = c;
  return q;
}

// Best endpoint pair (e0, e1) for reproducing one 8-bit value by the decoder's interpolant.
struct SingleColorEntry {
  uint8_t e0 = 0, e1 = 0;
};

struct SingleColorTables {
  // [0]: 4-color mode, value (2*E0 + E1) / 3 (index 2); [1]: 3-color mode, (E0 + E1) / 2.
  SingleColorEntry red[2][256], green[2][256], blue[2][256];
};

void BuildSingleColorTable(int bits, bool midpoint, SingleColorEntry* table) {
  const int levels = 1 << bits;
  for (int v = 0; v < 256; ++v) {
    int bestErr = 1 << 30;
    for (int e0 = 0; e0 < levels; ++e0) {
      const int x0 = bits == 5 ? Expand5(e0) : Expand6(e0);
      for (int e1 = 0; e1 < levels; ++e1) {
        const int x1 = bits == 5 ? Expand5(e1) : Expand6(e1);
        const int value = midpoint ? (x0 + x1) / 2 : (2 * x0 + x1) / 3;
        // Ties go to the closer endpoints: then decoders that round differently agree too.
        const int err = std::abs(value - v) * 1024 + std::abs(x0 - x1);
        if (err < bestErr) {
          bestErr = err;
          table[v] = {uint8_t(e0), uint8_t(e1)};
        }
      }
    }
  }
}

const SingleColorTables& GetSingleColorTables() {
  static const SingleColorTables tables = [] {
    SingleColorTables t;
    for (int mode = 0; mode < 2; ++mode) {
      BuildSingleColorTable(5, mode == 1, t.red[mode]);
      BuildSingleColorTable(6, mode == 1, t.green[mode]);
      BuildSingleColorTable(5, mode == 1, t.blue[mode]);
    }
    return t;
  }();
  return tables;
}

struct ColorInput {
  Rgb px[kPixels];
  // The same channels as planes, for the evaluation loops to vectorise.
  int32_t r[kPixels], g[kPixels], b[kPixels];
  bool transparent[kPixels] = {};
  bool anyTransparent = false;
  bool dxt1 = false;
};

struct ColorFit {
  uint16_t c0 = 0, c1 = 0;
  uint32_t indices = 0;
  int64_t error = kNoFit;
};

// Indices and error of the endpoints (c0, c1) as the decoder reads them; kNoFit when the mode
// those endpoints select cannot hold the block's transparent pixels. Every candidate of the
// encoder goes through here, so it is written as fixed-length loops over channel planes.
ColorFit EvaluateColor(const ColorInput& in, uint16_t c0, uint16_t c1) {
  ColorFit fit;
  fit.c0 = c0;
  fit.c1 = c1;
  const ColorPalette p = MakeColorPalette(c0, c1, in.dxt1);
  if (in.anyTransparent && !p.threeColor) return fit;
  int32_t bestErr[kPixels], best[kPixels];
  for (int i = 0; i < kPixels; ++i) {
    bestErr[i] = std::numeric_limits<int32_t>::max();
    best[i] = 0;
  }
  const int usable = p.threeColor ? 3 : 4;  // index 3 of the 3-color mode is transparent
  for (int k = 0; k < usable; ++k) {
    const Rgb e = p.entry[k];
    for (int i = 0; i < kPixels; ++i) {
      const int32_t dr = in.r[i] - e.r, dg = in.g[i] - e.g, db = in.b[i] - e.b;
      const int32_t err = dr * dr + dg * dg + db * db;
      const bool better = err < bestErr[i];
      bestErr[i] = better ? err : bestErr[i];
      best[i] = better ? k : best[i];
    }
  }
  fit.error = 0;
  for (int i = 0; i < kPixels; ++i) {
    if (in.transparent[i]) {
      fit.indices |= 3u << (2 * i);
    } else {
      fit.indices |= uint32_t(best[i]) << (2 * i);
      fit.error += bestErr[i];
    }
  }
  return fit;
}

// Orders two endpoints for the wanted DXT1 mode (4-color: c0 > c1; 3-color: c0 <= c1). Either
// order gives the same interpolants, so nothing else changes. DXT3/DXT5 use the 4-color order
// too, so their blocks also decode right in decoders that check the order there.
void OrderEndpoints(bool threeColor, uint16_t& c0, uint16_t& c1) {
  if (threeColor ? c0 > c1 : c0 < c1) std::swap(c0, c1);
}

void KeepBetter(const ColorFit& fit, ColorFit& best) {
  if (fit.error < best.error) best = fit;
}

uint16_t Quantize565(const double* rgb) {
  auto channel = [](double v) { return std::clamp(int(std::lround(v)), 0, 255); };
  return Pack565(Nearest5(channel(rgb[0])), Nearest6(channel(rgb[1])), Nearest5(channel(rgb[2])));
}

ColorFit FitSingleColor(const ColorInput& in, const Rgb& c, bool threeColor) {
  const SingleColorTables& t = GetSingleColorTables();
  const int mode = threeColor ? 1 : 0;
  const SingleColorEntry r = t.red[mode][c.r], g = t.green[mode][c.g], b = t.blue[mode][c.b];
  uint16_t c0 = Pack565(r.e0, g.e0, b.e0);
  uint16_t c1 = Pack565(r.e1, g.e1, b.e1);
  OrderEndpoints(threeColor, c0, c1);
  return EvaluateColor(in, c0, c1);
}

// Least-squares endpoints for the indices of `fit`: minimises sum |w*A + (1-w)*B - x|^2 over
// the pixels, w being endpoint A's weight in the pixel's palette entry.
bool RefineColor(const ColorInput& in, const ColorFit& fit, bool threeColor, double* a, double* b) {
  static constexpr double kWeights4[4] = {1.0, 0.0, 2.0 / 3.0, 1.0 / 3.0};
  static constexpr double kWeights3[4] = {1.0, 0.0, 0.5, -1.0};
  const double* weights = threeColor ? kWeights3 : kWeights4;
  double aa = 0, ab = 0, bb = 0, ax[3] = {}, bx[3] = {};
  for (int i = 0; i < kPixels; ++i) {
    if (in.transparent[i]) continue;
    const double w = weights[(fit.indices >> (2 * i)) & 3];
    if (w < 0) continue;
    const double v = 1.0 - w;
    const double x[3] = {double(in.px[i].r), double(in.px[i].g), double(in.px[i].b)};
    aa += w * w;
    ab += w * v;
    bb += v * v;
    for (int ch = 0; ch < 3; ++ch) {
      ax[ch] += w * x[ch];
      bx[ch] += v * x[ch];
    }
  }
  const double det = aa * bb - ab * ab;
  if (std::fabs(det) < 1e-9) return false;
  for (int ch = 0; ch < 3; ++ch) {
    a[ch] = (bb * ax[ch] - ab * bx[ch]) / det;
    b[ch] = (aa * bx[ch] - ab * ax[ch]) / det;
  }
  return true;
}

// Extremes of the opaque pixels along their principal axis. False if they are all one color.
bool PrincipalEndpoints(const ColorInput& in, double* a, double* b) {
  double mean[3] = {}, n = 0;
  for (int i = 0; i < kPixels; ++i) {
    if (in.transparent[i]) continue;
    mean[0] += in.px[i].r;
    mean[1] += in.px[i].g;
    mean[2] += in.px[i].b;
    n += 1;
  }
  if (n == 0) return false;
  for (double& m : mean) m /= n;
  double cov[3][3] = {};
  for (int i = 0; i < kPixels; ++i) {
    if (in.transparent[i]) continue;
    const double d[3] = {in.px[i].r - mean[0], in.px[i].g - mean[1], in.px[i].b - mean[2]};
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 3; ++c) cov[r][c] += d[r] * d[c];
  }
  // Power iteration from the covariance column of the largest variance: that column has a
  // component along the principal axis unless the variance is spread evenly over orthogonal
  // directions, where any of them serves.
  int start = 0;
  for (int ch = 1; ch < 3; ++ch)
    if (cov[ch][ch] > cov[start][start]) start = ch;
  if (cov[start][start] <= 0) return false;
  double axis[3] = {cov[0][start], cov[1][start], cov[2][start]};
  for (int iter = 0; iter < 8; ++iter) {
    double next[3];
    for (int r = 0; r < 3; ++r)
      next[r] = cov[r][0] * axis[0] + cov[r][1] * axis[1] + cov[r][2] * axis[2];
    const double len = std::sqrt(next[0] * next[0] + next[1] * next[1] + next[2] * next[2]);
    if (len < 1e-12) break;
    for (int r = 0; r < 3; ++r) axis[r] = next[r] / len;
  }
  double tMin = std::numeric_limits<double>::max(), tMax = std::numeric_limits<double>::lowest();
  for (int i = 0; i < kPixels; ++i) {
    if (in.transparent[i]) continue;
    const double t = (in.px[i].r - mean[0]) * axis[0] + (in.px[i].g - mean[1]) * axis[1] +
                     (in.px[i].b - mean[2]) * axis[2];
    tMin = std::min(tMin, t);
    tMax = std::max(tMax, t);
  }
  for (int ch = 0; ch < 3; ++ch) {
    a[ch] = mean[ch] + axis[ch] * tMax;
    b[ch] = mean[ch] + axis[ch] * tMin;
  }
  return true;
}

// Local search around the endpoints: steps each 5/6-bit component of either endpoint by one
// while that lowers the error. Least squares optimises the real-valued endpoints; this fixes
// what rounding them to RGB565 and the truncating interpolation lose.
ColorFit PolishColor(const ColorInput& in, ColorFit fit, bool threeColor) {
  static constexpr int kShift[3] = {11, 5, 0};
  static constexpr int kMax[3] = {31, 63, 31};
  for (int pass = 0; pass < 4 && fit.error > 0 && fit.error != kNoFit; ++pass) {
    bool improved = false;
    for (int end = 0; end < 2; ++end) {
      for (int ch = 0; ch < 3; ++ch) {
        for (int step : {-1, 1}) {
          uint16_t c[2] = {fit.c0, fit.c1};
          const int v = ((c[end] >> kShift[ch]) & kMax[ch]) + step;
          if (v < 0 || v > kMax[ch]) continue;
          c[end] = uint16_t((c[end] & ~(kMax[ch] << kShift[ch])) | (v << kShift[ch]));
          OrderEndpoints(threeColor, c[0], c[1]);
          const ColorFit next = EvaluateColor(in, c[0], c[1]);
          if (next.error < fit.error) {
            fit = next;
            improved = true;
          }
        }
      }
    }
    if (!improved) break;
  }
  return fit;
}

// Fits the endpoints for one mode: principal-axis start, then least-squares rounds while they
// lower the error, then the local search, unless the error is still more than 1/16 above
// `rival`, the best of the other mode: the search gains a few percent at most, and skipping it
// for a mode that will lose saves DXT1 a quarter of its time.
ColorFit FitColorMode(const ColorInput& in, const double* startA, const double* startB,
                      bool threeColor, int64_t rival = kNoFit) {
  uint16_t c0 = Quantize565(startA), c1 = Quantize565(startB);
  OrderEndpoints(threeColor, c0, c1);
  ColorFit fit = EvaluateColor(in, c0, c1);
  for (int round = 0; round < 3 && fit.error > 0 && fit.error != kNoFit; ++round) {
    double a[3], b[3];
    if (!RefineColor(in, fit, threeColor, a, b)) break;
    c0 = Quantize565(a);
    c1 = Quantize565(b);
    OrderEndpoints(threeColor, c0, c1);
    const ColorFit refined = EvaluateColor(in, c0, c1);
    if (refined.error >= fit.error) break;
    fit = refined;
  }
  if (rival != kNoFit && fit.error > rival + rival / 16) return fit;
  return PolishColor(in, fit, threeColor);
}

// Encodes the 16 BGRA pixels of `bgra` into the 8-byte color block `dst`.
void EncodeColorBlock(const uint8_t* bgra, bool dxt1, uint8_t* dst) {
  ColorInput in;
  in.dxt1 = dxt1;
  int opaque = 0;
  bool oneColor = true;
  Rgb first;
  for (int i = 0; i < kPixels; ++i) {
    const uint8_t* px = bgra + 4 * i;
    in.px[i] = {px[2], px[1], px[0]};
    in.r[i] = px[2];
    in.g[i] = px[1];
    in.b[i] = px[0];
    in.transparent[i] = dxt1 && px[3] < 128;
    if (in.transparent[i]) continue;
    if (opaque == 0) first = in.px[i];
    oneColor = oneColor && in.px[i].r == first.r && in.px[i].g == first.g && in.px[i].b == first.b;
    ++opaque;
  }
  in.anyTransparent = opaque < kPixels;

  ColorFit best;
  if (opaque == 0) {
    best.c0 = best.c1 = 0;  // equal endpoints: 3-color mode, every index 3
    best.indices = 0xFFFFFFFFu;
  } else if (oneColor) {
    if (!in.anyTransparent) KeepBetter(FitSingleColor(in, first, false), best);
    if (dxt1) KeepBetter(FitSingleColor(in, first, true), best);
  } else {
    double a[3] = {}, b[3] = {};
    PrincipalEndpoints(in, a, b);  // never false here: the opaque pixels differ
    if (!in.anyTransparent) KeepBetter(FitColorMode(in, a, b, false), best);
    if (dxt1) KeepBetter(FitColorMode(in, a, b, true, best.error), best);
  }
  Put16(dst, best.c0);
  Put16(dst + 2, best.c1);
  StoreLE(dst + 4, 4, best.indices);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Decoders.

void DecodeDXT1(const uint8_t* src, int width, int height, uint8_t* dst) {
  ForEachBlock(width, height, 8, [&](size_t x0, size_t y0, size_t offset) {
    uint8_t block[kPixels * 4];
    DecodeColorBlock(src + offset, true, block);
    ScatterBlock(block, width, 4, x0, y0, dst);
  });
}

void DecodeDXT3(const uint8_t* src, int width, int height, uint8_t* dst) {
  ForEachBlock(width, height, 16, [&](size_t x0, size_t y0, size_t offset) {
    uint8_t block[kPixels * 4];
    DecodeColorBlock(src + offset + 8, false, block);
    const uint64_t alpha = LoadLE(src + offset, 8);
    for (int i = 0; i < kPixels; ++i) block[4 * i + 3] = uint8_t(((alpha >> (4 * i)) & 15) * 17);
    ScatterBlock(block, width, 4, x0, y0, dst);
  });
}

void DecodeDXT5(const uint8_t* src, int width, int height, uint8_t* dst) {
  ForEachBlock(width, height, 16, [&](size_t x0, size_t y0, size_t offset) {
    uint8_t block[kPixels * 4];
    DecodeColorBlock(src + offset + 8, false, block);
    DecodeAlphaBlock(src + offset, block + 3, 4);
    ScatterBlock(block, width, 4, x0, y0, dst);
  });
}

void DecodeBTC(const uint8_t* src, int width, int height, uint8_t* dst) {
  ForEachBlock(width, height, 4, [&](size_t x0, size_t y0, size_t offset) {
    const uint8_t* s = src + offset;
    const uint16_t bits = Get16(s + 2);
    uint8_t block[kPixels];
    for (int i = 0; i < kPixels; ++i) block[i] = (bits >> i) & 1 ? s[1] : s[0];
    ScatterBlock(block, width, 1, x0, y0, dst);
  });
}

void DecodeATI1N(const uint8_t* src, int width, int height, uint8_t* dst) {
  ForEachBlock(width, height, 8, [&](size_t x0, size_t y0, size_t offset) {
    uint8_t block[kPixels];
    DecodeAlphaBlock(src + offset, block, 1);
    ScatterBlock(block, width, 1, x0, y0, dst);
  });
}

void DecodeATI2N(const uint8_t* src, int width, int height, uint8_t* dst) {
  ForEachBlock(width, height, 16, [&](size_t x0, size_t y0, size_t offset) {
    uint8_t block[kPixels * 4];
    for (int i = 0; i < kPixels; ++i) {
      block[4 * i + 0] = 0;
      block[4 * i + 3] = 255;
    }
    DecodeAlphaBlock(src + offset, block + 2, 4);      // red
    DecodeAlphaBlock(src + offset + 8, block + 1, 4);  // green
    ScatterBlock(block, width, 4, x0, y0, dst);
  });
}

// ---------------------------------------------------------------------------------------------
// Encoders.

void EncodeDXT1(const uint8_t* src, int width, int height, uint8_t* dst) {
  ForEachBlock(width, height, 8, [&](size_t x0, size_t y0, size_t offset) {
    uint8_t block[kPixels * 4];
    GatherBlock(src, width, 4, x0, y0, block);
    EncodeColorBlock(block, true, dst + offset);
  });
}

void EncodeDXT3(const uint8_t* src, int width, int height, uint8_t* dst) {
  ForEachBlock(width, height, 16, [&](size_t x0, size_t y0, size_t offset) {
    uint8_t block[kPixels * 4];
    GatherBlock(src, width, 4, x0, y0, block);
    uint64_t alpha = 0;
    for (int i = 0; i < kPixels; ++i) {
      // Nearest multiple of 17; 17 is odd, so there are no ties.
      alpha |= uint64_t((block[4 * i + 3] + 8) / 17) << (4 * i);
    }
    StoreLE(dst + offset, 8, alpha);
    EncodeColorBlock(block, false, dst + offset + 8);
  });
}

void EncodeDXT5(const uint8_t* src, int width, int height, uint8_t* dst) {
  ForEachBlock(width, height, 16, [&](size_t x0, size_t y0, size_t offset) {
    uint8_t block[kPixels * 4];
    GatherBlock(src, width, 4, x0, y0, block);
    int alpha[kPixels];
    for (int i = 0; i < kPixels; ++i) alpha[i] = block[4 * i + 3];
    EncodeAlphaBlock(alpha, dst + offset);
    EncodeColorBlock(block, false, dst + offset + 8);
  });
}

void EncodeBTC(const uint8_t* src, int width, int height, uint8_t* dst) {
  ForEachBlock(width, height, 4, [&](size_t x0, size_t y0, size_t offset) {
    uint8_t block[kPixels];
    GatherBlock(src, width, 1, x0, y0, block);
    int sum = 0;
    for (uint8_t v : block) sum += v;
    int lowSum = 0, lowCount = 0, highSum = 0, highCount = 0;
    uint16_t bits = 0;
    for (int i = 0; i < kPixels; ++i) {
      if (block[i] * kPixels >= sum) {  // at or above the mean, compared without division
        bits = uint16_t(bits | (1u << i));
        highSum += block[i];
        ++highCount;
      } else {
        lowSum += block[i];
        ++lowCount;
      }
    }
    // The maximum is never below the mean, so highCount >= 1.
    const int high = (highSum + highCount / 2) / highCount;
    const int low = lowCount ? (lowSum + lowCount / 2) / lowCount : high;
    uint8_t* d = dst + offset;
    d[0] = uint8_t(low);
    d[1] = uint8_t(high);
    Put16(d + 2, bits);
  });
}

void EncodeATI1N(const uint8_t* src, int width, int height, uint8_t* dst) {
  ForEachBlock(width, height, 8, [&](size_t x0, size_t y0, size_t offset) {
    uint8_t block[kPixels];
    GatherBlock(src, width, 1, x0, y0, block);
    int values[kPixels];
    for (int i = 0; i < kPixels; ++i) values[i] = block[i];
    EncodeAlphaBlock(values, dst + offset);
  });
}

void EncodeATI2N(const uint8_t* src, int width, int height, uint8_t* dst) {
  ForEachBlock(width, height, 16, [&](size_t x0, size_t y0, size_t offset) {
    uint8_t block[kPixels * 4];
    GatherBlock(src, width, 4, x0, y0, block);
    int red[kPixels], green[kPixels];
    for (int i = 0; i < kPixels; ++i) {
      red[i] = block[4 * i + 2];
      green[i] = block[4 * i + 1];
    }
    EncodeAlphaBlock(red, dst + offset);
    EncodeAlphaBlock(green, dst + offset + 8);
  });
}

}  // namespace pixolan::imaging::blocks
