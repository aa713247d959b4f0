// Pieces shared by the canvas sources: the exact byte arithmetic of the fast paths and the
// row splitting over threads.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "imaging/image/Formats.h"

namespace pixolan::imaging::detail {

// Formats whose red, green and blue are single bytes at offsets 2, 1, 0 (and alpha at 3),
// read as byte * 1/255 and written as round(value * 255): the ones with fast paths.
inline bool IsByteChannelFormat(TImageFormatId f) {
  return f == TImageFormatId::A8R8G8B8 || f == TImageFormatId::R8G8B8;
}

// What the format's ReadPixelFP yields for each byte value of each channel (0 blue ..
// 3 alpha), taken from the accessor itself so that a fast path cannot drift from it.
struct ByteReadTable {
  float Channel[4][256];
  explicit ByteReadTable(const TFormatDescriptor& d) {
    uint8_t pixel[4];
    for (int v = 0; v < 256; ++v) {
      std::memset(pixel, v, sizeof(pixel));
      const TPixelFP f = d.ReadPixelFP(d, pixel, nullptr);
      for (int c = 0; c < 4; ++c) Channel[c][v] = f[c];
    }
  }
};

// The byte WritePixelFP stores for a channel: round(double(v) * 255) with halves to even,
// clamped to 0..255, NaN as 0. The product is exact in double, and the magic constant
// 1.5 * 2^52 rounds in the current (nearest-even) mode exactly as nearbyint does, without a
// library call.
inline uint8_t PackByte(float v) {
  // max(0, d) keeps 0 for NaN; both bounds compile to branch-free min/max.
  const double d = std::min(std::max(0.0, double(v) * 255.0), 255.0);
  constexpr double kRound = 6755399441055744.0;
  return uint8_t(int32_t((d + kRound) - kRound));
}

// PackByte over n values. With SSE2, eight at a time: the same product in double, the same
// bounds (max with 0 first, so NaN gives 0) and a conversion that rounds in the current
// mode, as the magic constant does.
inline void PackBytes(const float* in, uint8_t* out, size_t n) {
  size_t i = 0;
#if defined(__SSE2__)
  const __m128d scale = _mm_set1_pd(255.0), zero = _mm_setzero_pd();
  auto toInts = [&](__m128 f) {
    __m128d lo = _mm_mul_pd(_mm_cvtps_pd(f), scale);
    __m128d hi = _mm_mul_pd(_mm_cvtps_pd(_mm_movehl_ps(f, f)), scale);
    lo = _mm_min_pd(_mm_max_pd(lo, zero), scale);
    hi = _mm_min_pd(_mm_max_pd(hi, zero), scale);
    return _mm_unpacklo_epi64(_mm_cvtpd_epi32(lo), _mm_cvtpd_epi32(hi));
  };
  for (; i + 8 <= n; i += 8) {
    const __m128i a = toInts(_mm_loadu_ps(in + i)), b = toInts(_mm_loadu_ps(in + i + 4));
    const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(a, b), _mm_setzero_si128());
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), bytes);
  }
#endif
  for (; i < n; ++i) out[i] = PackByte(in[i]);
}

// PackByte of four planes into interleaved B, G, R, A bytes.
inline void PackPlanesBGRA(const float* b, const float* g, const float* r, const float* a,
                           uint8_t* out, size_t n) {
  size_t i = 0;
#if defined(__SSE2__)
  const __m128d scale = _mm_set1_pd(255.0), zero = _mm_setzero_pd();
  auto toInts = [&](const float* plane) {
    const __m128 f = _mm_loadu_ps(plane);
    __m128d lo = _mm_mul_pd(_mm_cvtps_pd(f), scale);
    __m128d hi = _mm_mul_pd(_mm_cvtps_pd(_mm_movehl_ps(f, f)), scale);
    lo = _mm_min_pd(_mm_max_pd(lo, zero), scale);
    hi = _mm_min_pd(_mm_max_pd(hi, zero), scale);
    return _mm_unpacklo_epi64(_mm_cvtpd_epi32(lo), _mm_cvtpd_epi32(hi));
  };
  for (; i + 4 <= n; i += 4) {
    const __m128i bg = _mm_packs_epi32(toInts(b + i), toInts(g + i));  // b0..b3 g0..g3
    const __m128i ra = _mm_packs_epi32(toInts(r + i), toInts(a + i));  // r0..r3 a0..a3
    const __m128i br = _mm_unpacklo_epi16(bg, ra);                     // b0 r0 b1 r1 ..
    const __m128i ga = _mm_unpackhi_epi16(bg, ra);                     // g0 a0 g1 a1 ..
    const __m128i lo = _mm_unpacklo_epi16(br, ga);                     // b0 g0 r0 a0 b1 ..
    const __m128i hi = _mm_unpackhi_epi16(br, ga);                     // b2 g2 r2 a2 b3 ..
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i * 4), _mm_packus_epi16(lo, hi));
  }
#endif
  for (; i < n; ++i) {
    out[i * 4 + 0] = PackByte(b[i]);
    out[i * 4 + 1] = PackByte(g[i]);
    out[i * 4 + 2] = PackByte(r[i]);
    out[i * 4 + 3] = PackByte(a[i]);
  }
}

// The bands ParallelRows splits top..bottom-1 into: their number and where each starts.
inline int32_t BandCount(int32_t top, int32_t bottom, int32_t threads) {
  return int32_t(std::clamp<int64_t>(threads, 1, std::max<int64_t>(int64_t(bottom) - top, 1)));
}
inline int32_t BandStart(int32_t top, int32_t bottom, int32_t bands, int32_t band) {
  return int32_t(top + (int64_t(bottom) - top) * band / bands);
}

// Runs body(firstRow, endRow) over the rows top..bottom-1 split into at most `threads`
// bands, the last on the calling thread. The first exception of any band is rethrown.
void ParallelRows(int32_t top, int32_t bottom, int32_t threads,
                  const std::function<void(int32_t, int32_t)>& body);

}  // namespace pixolan::imaging::detail
