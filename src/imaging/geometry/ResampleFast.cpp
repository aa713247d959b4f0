// Filtered resampling of the 8-bit channel formats, vectorised across channels and
// pixels. Every output byte equals the general path's: each float sum starts at zero and
// adds weight x value in contributor order with separate roundings (never fused), only
// several sums run side by side. The horizontal table is padded to one length with zero
// weights after the real contributors; adding an exact zero leaves a sum unchanged.
#if defined(__clang__)
#pragma clang fp contract(off)
#elif defined(__GNUC__)
#pragma GCC optimize("fp-contract=off")
#endif

#include <algorithm>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "imaging/geometry/ResampleInternal.h"
#include "imaging/image/Imaging.h"

#if defined(__x86_64__) || defined(__i386__)
#define PIXOLAN_RESAMPLE_X86 1
#include <immintrin.h>
#endif

namespace pixolan::imaging::detail {

namespace {

using F = TImageFormatId;

// Destination pixels per group of the transposed table of one-byte pixels.
constexpr int kGroup = 8;

struct Plan {
  int bpp = 0, channels = 0;
  int32_t minX = 0;
  int64_t lineCount = 0;  // floats per line = source bytes per row span
  int32_t dstWidth = 0;
  int32_t taps = 0;  // contributors per destination column after padding
  // dstWidth x taps, offsets (in floats) into the line and weights. Padding entries
  // continue the run of columns of their cluster; the line has room for them.
  std::vector<int32_t> index;
  std::vector<float> weight;
  // Per destination pixel: its contributors are consecutive columns, so the line can be
  // read without the index.
  std::vector<uint8_t> consecutive;
  // Pixels of 2 to 4 bytes on AVX2: the weights of destination pixels 2p and 2p + 1 side
  // by side, [p][k][2].
  std::vector<float> pairWeight;
  // One-byte pixels: the same, transposed in groups of kGroup destination pixels.
  std::vector<int32_t> groupIndex;
  std::vector<float> groupWeight;
  // Row y's contributors are rows/rowWeight[rowStart[y] .. rowStart[y + 1]).
  std::vector<int64_t> rowStart;
  std::vector<const uint8_t*> rows;  // column minX of each contributing source row
  std::vector<float> rowWeight;
};

using VerticalFn = void (*)(const uint8_t* const* rows, const float* weights, int64_t n,
                            int64_t count, float* line);
// Where a destination row goes: its pixels, or for the tests the unrounded sums
// (Channels floats per pixel) when Sums is set.
struct RowOut {
  uint8_t* Bytes = nullptr;
  float* Sums = nullptr;
};

using HorizontalFn = void (*)(const Plan& plan, const float* line, const RowOut& out);

uint8_t ByteOf(float v) {
  return uint8_t(std::clamp<int64_t>(RoundEven(double(v)), 0, 255));
}

// ---- portable ----

// Scalar sums in the general path's order, for the columns a vector block leaves over.
void VerticalTail(const uint8_t* const* rows, const float* weights, int64_t n, int64_t from,
                  int64_t count, float* line) {
  for (int64_t o = from; o < count; ++o) {
    float sum = 0.0f;
    for (int64_t j = 0; j < n; ++j) sum += weights[j] * float(rows[j][o]);
    line[o] = sum;
  }
}

// Fixed-size blocks let the compiler keep the sums in vector registers.
void VerticalPortable(const uint8_t* const* rows, const float* weights, int64_t n, int64_t count,
                      float* line) {
  constexpr int64_t kBlock = 16;
  int64_t o = 0;
  for (; o + kBlock <= count; o += kBlock) {
    float acc[kBlock] = {};
    for (int64_t j = 0; j < n; ++j) {
      const uint8_t* r = rows[j] + o;
      const float w = weights[j];
      for (int64_t e = 0; e < kBlock; ++e) acc[e] += w * float(r[e]);
    }
    std::copy(acc, acc + kBlock, line + o);
  }
  VerticalTail(rows, weights, n, o, count, line);
}

void HorizontalPortable(const Plan& plan, const float* line, const RowOut& out) {
  const int32_t taps = plan.taps;
  for (int32_t x = 0; x < plan.dstWidth; ++x) {
    const int32_t* index = &plan.index[size_t(x) * size_t(taps)];
    const float* weight = &plan.weight[size_t(x) * size_t(taps)];
    // Four lanes whatever the channel count (the line has room past its end), so that the
    // compiler can keep them in one vector register.
    float sum[4] = {};
    for (int32_t k = 0; k < taps; ++k) {
      const float* value = line + index[k];
      for (int ch = 0; ch < 4; ++ch) sum[ch] += weight[k] * value[ch];
    }
    if (out.Sums)
      std::copy(sum, sum + plan.channels, out.Sums + int64_t(x) * plan.channels);
    else
      for (int ch = 0; ch < plan.channels; ++ch)
        out.Bytes[int64_t(x) * plan.bpp + ch] = ByteOf(sum[ch]);
  }
}

#if PIXOLAN_RESAMPLE_X86

// ---- SSE2 ----

// Rounds half to even (the default rounding mode, as RoundEven uses) and clamps to bytes;
// the float clamp keeps the integer conversion in range.
inline __m128i BytesOf(__m128 v) {
  v = _mm_min_ps(_mm_max_ps(v, _mm_set1_ps(-1.0f)), _mm_set1_ps(256.0f));
  const __m128i i = _mm_cvtps_epi32(v);
  const __m128i words = _mm_packs_epi32(i, i);
  return _mm_packus_epi16(words, words);
}

// Destination pixel x of 2 to 4 bytes.
inline void EmitPixel(__m128 v, const RowOut& out, int32_t x, const Plan& plan) {
  if (out.Sums) {
    float sums[4];
    _mm_storeu_ps(sums, v);
    std::copy(sums, sums + plan.channels, out.Sums + int64_t(x) * plan.channels);
    return;
  }
  const uint32_t bytes = uint32_t(_mm_cvtsi128_si32(BytesOf(v)));
  uint8_t* to = out.Bytes + int64_t(x) * plan.bpp;
  if (plan.channels == 4)
    std::memcpy(to, &bytes, 4);
  else
    std::memcpy(to, &bytes, size_t(plan.channels));
}

// Up to four one-byte destination pixels from first on.
inline void EmitGray(__m128 v, const RowOut& out, int32_t first, int32_t count) {
  count = std::min(count, 4);
  if (count <= 0) return;
  if (out.Sums) {
    float sums[4];
    _mm_storeu_ps(sums, v);
    std::copy(sums, sums + count, out.Sums + first);
    return;
  }
  const uint32_t bytes = uint32_t(_mm_cvtsi128_si32(BytesOf(v)));
  std::memcpy(out.Bytes + first, &bytes, size_t(count));
}

void VerticalSSE2(const uint8_t* const* rows, const float* weights, int64_t n, int64_t count,
                  float* line) {
  const __m128i zero = _mm_setzero_si128();
  int64_t o = 0;
  for (; o + 16 <= count; o += 16) {
    __m128 a0 = _mm_setzero_ps(), a1 = a0, a2 = a0, a3 = a0;
    for (int64_t j = 0; j < n; ++j) {
      const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[j] + o));
      const __m128i lo = _mm_unpacklo_epi8(b, zero), hi = _mm_unpackhi_epi8(b, zero);
      const __m128 w = _mm_set1_ps(weights[j]);
      a0 = _mm_add_ps(a0, _mm_mul_ps(w, _mm_cvtepi32_ps(_mm_unpacklo_epi16(lo, zero))));
      a1 = _mm_add_ps(a1, _mm_mul_ps(w, _mm_cvtepi32_ps(_mm_unpackhi_epi16(lo, zero))));
      a2 = _mm_add_ps(a2, _mm_mul_ps(w, _mm_cvtepi32_ps(_mm_unpacklo_epi16(hi, zero))));
      a3 = _mm_add_ps(a3, _mm_mul_ps(w, _mm_cvtepi32_ps(_mm_unpackhi_epi16(hi, zero))));
    }
    _mm_storeu_ps(line + o, a0);
    _mm_storeu_ps(line + o + 4, a1);
    _mm_storeu_ps(line + o + 8, a2);
    _mm_storeu_ps(line + o + 12, a3);
  }
  VerticalTail(rows, weights, n, o, count, line);
}

// Pixels of 2 to 4 bytes: one vector per contributor holds all channels of a pixel; two
// pixels at a time keep two independent chains of additions going.
void HorizontalPixelsSSE2(const Plan& plan, const float* line, const RowOut& out) {
  const size_t taps = size_t(plan.taps);
  int32_t x = 0;
  for (; x + 2 <= plan.dstWidth; x += 2) {
    const int32_t* i0 = &plan.index[size_t(x) * taps];
    const float* w0 = &plan.weight[size_t(x) * taps];
    __m128 a0 = _mm_setzero_ps(), a1 = a0;
    for (size_t k = 0; k < taps; ++k) {
      a0 = _mm_add_ps(a0, _mm_mul_ps(_mm_set1_ps(w0[k]), _mm_loadu_ps(line + i0[k])));
      a1 = _mm_add_ps(a1, _mm_mul_ps(_mm_set1_ps(w0[taps + k]), _mm_loadu_ps(line + i0[taps + k])));
    }
    EmitPixel(a0, out, x, plan);
    EmitPixel(a1, out, x + 1, plan);
  }
  if (x < plan.dstWidth) {
    const int32_t* i0 = &plan.index[size_t(x) * taps];
    const float* w0 = &plan.weight[size_t(x) * taps];
    __m128 acc = _mm_setzero_ps();
    for (size_t k = 0; k < taps; ++k)
      acc = _mm_add_ps(acc, _mm_mul_ps(_mm_set1_ps(w0[k]), _mm_loadu_ps(line + i0[k])));
    EmitPixel(acc, out, x, plan);
  }
}

// One-byte pixels: four destination pixels side by side.
void HorizontalGraySSE2(const Plan& plan, const float* line, const RowOut& out) {
  const int32_t taps = plan.taps;
  for (int32_t g = 0; g * kGroup < plan.dstWidth; ++g) {
    for (int half = 0; half < kGroup / 4; ++half) {
      const int32_t first = g * kGroup + half * 4;
      if (first >= plan.dstWidth) break;
      __m128 acc = _mm_setzero_ps();
      for (int32_t k = 0; k < taps; ++k) {
        const size_t at = (size_t(g) * size_t(taps) + size_t(k)) * kGroup + size_t(half) * 4;
        const int32_t* i = &plan.groupIndex[at];
        const __m128 v = _mm_setr_ps(line[i[0]], line[i[1]], line[i[2]], line[i[3]]);
        acc = _mm_add_ps(acc, _mm_mul_ps(_mm_loadu_ps(&plan.groupWeight[at]), v));
      }
      EmitGray(acc, out, first, plan.dstWidth - first);
    }
  }
}

// ---- AVX2 ----

__attribute__((target("avx2"))) inline __m256 Widen8(const uint8_t* p) {
  return _mm256_cvtepi32_ps(
      _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))));
}

__attribute__((target("avx2"))) void VerticalAVX2(const uint8_t* const* rows, const float* weights,
                                                  int64_t n, int64_t count, float* line) {
  int64_t o = 0;
  for (; o + 32 <= count; o += 32) {
    __m256 a0 = _mm256_setzero_ps(), a1 = a0, a2 = a0, a3 = a0;
    for (int64_t j = 0; j < n; ++j) {
      const uint8_t* p = rows[j] + o;
      const __m256 w = _mm256_set1_ps(weights[j]);
      a0 = _mm256_add_ps(a0, _mm256_mul_ps(w, Widen8(p)));
      a1 = _mm256_add_ps(a1, _mm256_mul_ps(w, Widen8(p + 8)));
      a2 = _mm256_add_ps(a2, _mm256_mul_ps(w, Widen8(p + 16)));
      a3 = _mm256_add_ps(a3, _mm256_mul_ps(w, Widen8(p + 24)));
    }
    _mm256_storeu_ps(line + o, a0);
    _mm256_storeu_ps(line + o + 8, a1);
    _mm256_storeu_ps(line + o + 16, a2);
    _mm256_storeu_ps(line + o + 24, a3);
  }
  for (; o + 8 <= count; o += 8) {
    __m256 a = _mm256_setzero_ps();
    for (int64_t j = 0; j < n; ++j)
      a = _mm256_add_ps(a, _mm256_mul_ps(_mm256_set1_ps(weights[j]), Widen8(rows[j] + o)));
    _mm256_storeu_ps(line + o, a);
  }
  VerticalTail(rows, weights, n, o, count, line);
}

// Weights of two destination pixels for one contributor: four lanes each.
__attribute__((target("avx2"))) inline __m256 PairWeight(const float* pair) {
  const __m128 two = _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(pair)));
  return _mm256_permutevar8x32_ps(_mm256_castps128_ps256(two),
                                  _mm256_setr_epi32(0, 0, 0, 0, 1, 1, 1, 1));
}

__attribute__((target("avx2"))) inline __m256 PairValue(const float* a, const float* b) {
  return _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_loadu_ps(a)), _mm_loadu_ps(b), 1);
}

// Eight destination pixels of 2 to 4 bytes as four pairs: independent sums hide the latency
// of the additions each sum waits for. Consecutive clusters read the line without index.
template <bool Consecutive>
__attribute__((target("avx2"))) inline void EightPixelsAVX2(const Plan& plan, const float* line,
                                                            int32_t x, const RowOut& out) {
  const size_t taps = size_t(plan.taps);
  const int bpp = plan.bpp;
  const int32_t* index = &plan.index[size_t(x) * taps];
  const float* pair = &plan.pairWeight[size_t(x) * taps];
  __m256 acc[4] = {_mm256_setzero_ps(), _mm256_setzero_ps(), _mm256_setzero_ps(),
                   _mm256_setzero_ps()};
  if constexpr (Consecutive) {
    const float* p[8];
    for (size_t i = 0; i < 8; ++i) p[i] = line + index[i * taps];
    for (size_t k = 0; k < taps; ++k, pair += 2) {
      const size_t step = k * size_t(bpp);
      for (size_t q = 0; q < 4; ++q)
        acc[q] =
            _mm256_add_ps(acc[q], _mm256_mul_ps(PairWeight(pair + q * 2 * taps),
                                                PairValue(p[2 * q] + step, p[2 * q + 1] + step)));
    }
  } else {
    for (size_t k = 0; k < taps; ++k, pair += 2)
      for (size_t q = 0; q < 4; ++q)
        acc[q] =
            _mm256_add_ps(acc[q], _mm256_mul_ps(PairWeight(pair + q * 2 * taps),
                                                PairValue(line + index[2 * q * taps + k],
                                                          line + index[(2 * q + 1) * taps + k])));
  }
  for (int q = 0; q < 4; ++q) {
    EmitPixel(_mm256_castps256_ps128(acc[q]), out, x + 2 * q, plan);
    EmitPixel(_mm256_extractf128_ps(acc[q], 1), out, x + 2 * q + 1, plan);
  }
}

__attribute__((target("avx2"))) void HorizontalPixelsAVX2(const Plan& plan, const float* line,
                                                          const RowOut& out) {
  const size_t taps = size_t(plan.taps);
  int32_t x = 0;
  for (; x + 8 <= plan.dstWidth; x += 8) {
    const uint8_t* run = &plan.consecutive[size_t(x)];
    if (std::all_of(run, run + 8, [](uint8_t c) { return c != 0; }))
      EightPixelsAVX2<true>(plan, line, x, out);
    else
      EightPixelsAVX2<false>(plan, line, x, out);
  }
  for (; x < plan.dstWidth; ++x) {
    const int32_t* i0 = &plan.index[size_t(x) * taps];
    const float* w0 = &plan.weight[size_t(x) * taps];
    __m128 acc = _mm_setzero_ps();
    for (size_t k = 0; k < taps; ++k)
      acc = _mm_add_ps(acc, _mm_mul_ps(_mm_set1_ps(w0[k]), _mm_loadu_ps(line + i0[k])));
    EmitPixel(acc, out, x, plan);
  }
}

// One-byte pixels: eight destination pixels per vector, gathered from the line.
__attribute__((target("avx2"))) void HorizontalGrayAVX2(const Plan& plan, const float* line,
                                                        const RowOut& out) {
  const int32_t taps = plan.taps;
  for (int32_t g = 0; g * kGroup < plan.dstWidth; ++g) {
    __m256 acc = _mm256_setzero_ps();
    for (int32_t k = 0; k < taps; ++k) {
      const size_t at = (size_t(g) * size_t(taps) + size_t(k)) * kGroup;
      const __m256i i = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(&plan.groupIndex[at]));
      acc = _mm256_add_ps(acc, _mm256_mul_ps(_mm256_loadu_ps(&plan.groupWeight[at]),
                                             _mm256_i32gather_ps(line, i, 4)));
    }
    const int32_t first = g * kGroup;
    EmitGray(_mm256_castps256_ps128(acc), out, first, plan.dstWidth - first);
    EmitGray(_mm256_extractf128_ps(acc, 1), out, first + 4, plan.dstWidth - first - 4);
  }
}

#endif  // PIXOLAN_RESAMPLE_X86

bool IsFastFormat(F f) {
  return f == F::Gray8 || f == F::A8Gray8 || f == F::R8G8B8 || f == F::A8R8G8B8 || f == F::X8R8G8B8;
}

TSimdLevel ResolveLevel(TSimdLevel level) {
  if (level == TSimdLevel::Best) {
    if (SimdLevelAvailable(TSimdLevel::AVX2)) return TSimdLevel::AVX2;
    if (SimdLevelAvailable(TSimdLevel::SSE2)) return TSimdLevel::SSE2;
    return TSimdLevel::Portable;
  }
  return SimdLevelAvailable(level) ? level : TSimdLevel::Portable;
}

Plan MakePlan(const TResampleSource& src, int32_t srcX, int32_t srcY, int32_t srcWidth,
              int32_t srcHeight, const TFormatDescriptor& d, int32_t dstWidth, int32_t dstHeight,
              TResizeFilter filter, bool grouped, bool paired) {
  const TMappingTable horizontal = BuildMappingTable(srcX, srcX + srcWidth, dstWidth, filter);
  const TMappingTable vertical = BuildMappingTable(srcY, srcY + srcHeight, dstHeight, filter);
  Plan plan;
  plan.bpp = d.BytesPerPixel;
  plan.channels = d.Channels;
  plan.dstWidth = dstWidth;

  int32_t minX = INT32_MAX, maxX = INT32_MIN;
  size_t taps = 1;
  for (const TCluster& cluster : horizontal) {
    taps = std::max(taps, cluster.size());
    for (const TContributor& c : cluster)
      minX = std::min(minX, c.Pixel), maxX = std::max(maxX, c.Pixel);
  }
  plan.minX = minX;
  plan.lineCount = (int64_t(maxX) - minX + 1) * plan.bpp;
  plan.taps = int32_t(taps);
  plan.index.resize(size_t(dstWidth) * taps);
  plan.weight.resize(size_t(dstWidth) * taps);
  plan.consecutive.resize(size_t(dstWidth));
  for (size_t x = 0; x < size_t(dstWidth); ++x) {
    const TCluster& cluster = horizontal[x];
    int32_t* index = &plan.index[x * taps];
    bool consecutive = true;
    for (size_t k = 0; k < taps; ++k) {
      const bool real = k < cluster.size();
      index[k] = real ? (cluster[k].Pixel - minX) * plan.bpp : index[k - 1] + plan.bpp;
      plan.weight[x * taps + k] = real ? cluster[k].Weight : 0.0f;
      consecutive = consecutive && index[k] == index[0] + int32_t(k) * plan.bpp;
    }
    plan.consecutive[x] = consecutive;
  }
  if (paired) {
    plan.pairWeight.assign((size_t(dstWidth) + 1) / 2 * taps * 2, 0.0f);
    for (size_t x = 0; x < size_t(dstWidth); ++x)
      for (size_t k = 0; k < taps; ++k)
        plan.pairWeight[((x / 2) * taps + k) * 2 + x % 2] = plan.weight[x * taps + k];
  }
  if (grouped) {
    const size_t groups = (size_t(dstWidth) + kGroup - 1) / kGroup;
    plan.groupIndex.assign(groups * taps * kGroup, 0);
    plan.groupWeight.assign(groups * taps * kGroup, 0.0f);
    for (size_t x = 0; x < size_t(dstWidth); ++x)
      for (size_t k = 0; k < taps; ++k) {
        const size_t at = ((x / kGroup) * taps + k) * kGroup + x % kGroup;
        plan.groupIndex[at] = plan.index[x * taps + k];
        plan.groupWeight[at] = plan.weight[x * taps + k];
      }
  }

  plan.rowStart.reserve(size_t(dstHeight) + 1);
  plan.rowStart.push_back(0);
  for (const TCluster& cluster : vertical) {
    for (const TContributor& c : cluster) {
      plan.rows.push_back(src.Pixel(minX, c.Pixel));
      plan.rowWeight.push_back(c.Weight);
    }
    plan.rowStart.push_back(int64_t(plan.rows.size()));
  }
  return plan;
}

}  // namespace

bool SimdLevelAvailable(TSimdLevel level) {
  switch (level) {
    case TSimdLevel::Best:
    case TSimdLevel::Portable:
      return true;
#if PIXOLAN_RESAMPLE_X86
    case TSimdLevel::SSE2:
      return __builtin_cpu_supports("sse2");
    case TSimdLevel::AVX2:
      return __builtin_cpu_supports("avx2");
#endif
    default:
      return false;
  }
}

bool ResampleFilteredFast(const TResampleSource& src, int32_t srcX, int32_t srcY, int32_t srcWidth,
                          int32_t srcHeight, const TResampleTarget& dst, int32_t dstWidth,
                          int32_t dstHeight, TResizeFilter filter, int32_t threads,
                          TSimdLevel level) {
  const TFormatDescriptor& d = *dst.Format;
  if (!IsFastFormat(d.Format)) return false;
  level = ResolveLevel(level);

  VerticalFn vertical = VerticalPortable;
  HorizontalFn horizontal = HorizontalPortable;
#if PIXOLAN_RESAMPLE_X86
  if (level == TSimdLevel::SSE2) {
    vertical = VerticalSSE2;
    horizontal = d.BytesPerPixel == 1 ? HorizontalGraySSE2 : HorizontalPixelsSSE2;
  } else if (level == TSimdLevel::AVX2) {
    vertical = VerticalAVX2;
    horizontal = d.BytesPerPixel == 1 ? HorizontalGrayAVX2 : HorizontalPixelsAVX2;
  }
#endif
  const bool grouped = d.BytesPerPixel == 1 && level != TSimdLevel::Portable;
  const bool paired = d.BytesPerPixel > 1 && level == TSimdLevel::AVX2;
  const Plan plan = MakePlan(src, srcX, srcY, srcWidth, srcHeight, d, dstWidth, dstHeight, filter,
                             grouped, paired);

  // Room for the padding entries, and for vector loads of four floats at the last one.
  const size_t lineFloats = size_t(plan.lineCount) + size_t(plan.taps + 1) * size_t(plan.bpp) + 4;
  const int32_t parts = std::clamp(threads, 1, std::max(dstHeight, 1));
  std::vector<std::vector<float>> lines(size_t(parts), std::vector<float>(lineFloats, 0.0f));
  auto run = [&](int32_t part) {
    const int32_t yBegin = int32_t(int64_t(dstHeight) * part / parts);
    const int32_t yEnd = int32_t(int64_t(dstHeight) * (part + 1) / parts);
    float* line = lines[size_t(part)].data();
    for (int32_t y = yBegin; y < yEnd; ++y) {
      const int64_t first = plan.rowStart[size_t(y)];
      vertical(&plan.rows[size_t(first)], &plan.rowWeight[size_t(first)],
               plan.rowStart[size_t(y) + 1] - first, plan.lineCount, line);
      const RowOut out{dst.Bits + int64_t(y) * dst.Stride,
                       dst.Sums ? dst.Sums + int64_t(y) * dstWidth * plan.channels : nullptr};
      horizontal(plan, line, out);
    }
  };

  std::vector<std::thread> workers;
  int32_t started = 1;
  try {
    for (; started < parts; ++started) workers.emplace_back(run, started);
  } catch (const std::exception&) {
    // Without more threads the caller does the remaining parts itself.
  }
  run(0);
  for (int32_t part = started; part < parts; ++part) run(part);
  for (std::thread& worker : workers) worker.join();
  return true;
}

}  // namespace pixolan::imaging::detail
