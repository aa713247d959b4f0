// Blended drawing of one canvas onto another, with an optional color key.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "imaging/canvas/Canvas.h"
#include "imaging/canvas/CanvasInternal.h"
#include "imaging/image/Imaging.h"

namespace pixolan::imaging {

namespace {

// Both paths blend through these, so the fast path repeats the float operations exactly.
inline float Blend(float d, float s, float t) {
  return d - (d - s) * t;
}

struct ColorKey {
  float R, G, B;  // trunc(key * 100)
  bool Matches(float r, float g, float b) const {
    return std::trunc(r * 100.0f) == R && std::trunc(g * 100.0f) == G &&
           std::trunc(b * 100.0f) == B;
  }
};

struct Placement {
  int32_t SrcX, SrcY, DstX, DstY, Width, Height;
};

// Clipping as for copying a rectangle: the target start is moved onto the destination's
// clip rectangle (the source start moves with it), a negative source start onto 0, then
// the extent is cut at the source image's and the clip rectangle's right and bottom edges.
// 64-bit arithmetic: rectangles from callers may lie anywhere.
bool ClipPlacement(const TRect& srcRect, int32_t srcWidth, int32_t srcHeight, const TRect& clip,
                   int32_t dstX, int32_t dstY, Placement& out) {
  int64_t sx = srcRect.Left, sy = srcRect.Top;
  int64_t w = int64_t(srcRect.Right) - srcRect.Left, h = int64_t(srcRect.Bottom) - srcRect.Top;
  int64_t dx = dstX, dy = dstY;
  if (dx < clip.Left) {
    const int64_t shift = clip.Left - dx;
    sx += shift, w -= shift, dx = clip.Left;
  }
  if (dy < clip.Top) {
    const int64_t shift = clip.Top - dy;
    sy += shift, h -= shift, dy = clip.Top;
  }
  if (sx < 0) w += sx, dx -= sx, sx = 0;
  if (sy < 0) h += sy, dy -= sy, sy = 0;
  w = std::min({w, srcWidth - sx, clip.Right - dx});
  h = std::min({h, srcHeight - sy, clip.Bottom - dy});
  if (w <= 0 || h <= 0) return false;
  out = {int32_t(sx), int32_t(sy), int32_t(dx), int32_t(dy), int32_t(w), int32_t(h)};
  return true;
}

void BlendGeneral(const TImageData& src, const TFormatDescriptor& sd, TImageData& dst,
                  const TFormatDescriptor& dd, const Placement& p, float t, const ColorKey* key) {
  for (int32_t y = 0; y < p.Height; ++y) {
    const uint8_t* s = src.bits() + (int64_t(p.SrcY + y) * src.Width + p.SrcX) * sd.BytesPerPixel;
    uint8_t* d = dst.bits() + (int64_t(p.DstY + y) * dst.Width + p.DstX) * dd.BytesPerPixel;
    for (int32_t x = 0; x < p.Width; ++x, s += sd.BytesPerPixel, d += dd.BytesPerPixel) {
      const TPixelFP sp = sd.ReadPixelFP(sd, s, src.palette());
      if (key && key->Matches(sp.R, sp.G, sp.B)) continue;
      TPixelFP dp = dd.ReadPixelFP(dd, d, dst.palette());
      for (int c = 0; c < 4; ++c) dp[c] = Blend(dp[c], sp[c], t);
      dd.WritePixelFP(dd, d, dst.palette(), dp);
    }
  }
}

// Byte-channel formats on both sides: table reads, the blend into a row of floats and one
// vectorised rounding pass, no accessor calls.
void BlendBytes(const TImageData& src, const TFormatDescriptor& sd, TImageData& dst,
                const TFormatDescriptor& dd, const Placement& p, float t, const ColorKey* key) {
  const detail::ByteReadTable sr(sd), dr(dd);
  bool match[3][256] = {};
  if (key) {
    for (int v = 0; v < 256; ++v) {
      match[0][v] = std::trunc(sr.Channel[0][v] * 100.0f) == key->B;
      match[1][v] = std::trunc(sr.Channel[1][v] * 100.0f) == key->G;
      match[2][v] = std::trunc(sr.Channel[2][v] * 100.0f) == key->R;
    }
  }
  const int sbpp = sd.BytesPerPixel, dbpp = dd.BytesPerPixel;
  // A source without alpha reads the same alpha for every pixel.
  const float fixedSrcAlpha = sr.Channel[3][0];
  std::vector<float> blended(size_t(p.Width) * size_t(dbpp));
  std::vector<uint8_t> packed(key ? blended.size() : 0);
  std::vector<bool> skip(key ? size_t(p.Width) : 0);
  for (int32_t y = 0; y < p.Height; ++y) {
    const uint8_t* s = src.bits() + (int64_t(p.SrcY + y) * src.Width + p.SrcX) * sbpp;
    uint8_t* d = dst.bits() + (int64_t(p.DstY + y) * dst.Width + p.DstX) * dbpp;
    float* out = blended.data();
    for (int32_t x = 0; x < p.Width; ++x) {
      const uint8_t* sp = s + int64_t(x) * sbpp;
      const uint8_t* dp = d + int64_t(x) * dbpp;
      float* q = out + int64_t(x) * dbpp;
      for (int c = 0; c < 3; ++c) q[c] = Blend(dr.Channel[c][dp[c]], sr.Channel[c][sp[c]], t);
      if (dbpp == 4)
        q[3] = Blend(dr.Channel[3][dp[3]], sbpp == 4 ? sr.Channel[3][sp[3]] : fixedSrcAlpha, t);
      if (key) skip[size_t(x)] = match[0][sp[0]] && match[1][sp[1]] && match[2][sp[2]];
    }
    if (!key) {
      detail::PackBytes(out, d, blended.size());
      continue;
    }
    // Keyed pixels keep their bytes as they are.
    detail::PackBytes(out, packed.data(), packed.size());
    for (int32_t x = 0; x < p.Width; ++x)
      if (!skip[size_t(x)])
        std::memcpy(d + int64_t(x) * dbpp, packed.data() + int64_t(x) * dbpp, size_t(dbpp));
  }
}

}  // namespace

void TImagingCanvas::DrawOpacity(const TRect& srcRect, TImagingCanvas& dst, int32_t dstX,
                                 int32_t dstY, int32_t opacityPercent) {
  DrawBlended(srcRect, dst, dstX, dstY, opacityPercent, nullptr);
}

void TImagingCanvas::DrawOpacityColorKey(const TRect& srcRect, TImagingCanvas& dst, int32_t dstX,
                                         int32_t dstY, int32_t opacityPercent, float keyR,
                                         float keyG, float keyB) {
  const float key[3] = {keyR, keyG, keyB};
  DrawBlended(srcRect, dst, dstX, dstY, opacityPercent, key);
}

void TImagingCanvas::DrawBlended(const TRect& srcRect, TImagingCanvas& dst, int32_t dstX,
                                 int32_t dstY, int32_t opacityPercent, const float* keyRGB) {
  TImageData& src = CheckedImage();
  TImageData& target = dst.CheckedImage();
  Placement p;
  if (!ClipPlacement(srcRect, src.Width, src.Height, dst.EffectiveClip(), dstX, dstY, p)) return;

  const float t = float(opacityPercent) / 100.0f;
  ColorKey key{};
  if (keyRGB) {
    key = {std::trunc(keyRGB[0] * 100.0f), std::trunc(keyRGB[1] * 100.0f),
           std::trunc(keyRGB[2] * 100.0f)};
  }
  const ColorKey* keyUsed = keyRGB ? &key : nullptr;

  // Drawing an image onto itself must not read pixels it has already blended.
  TImageData copy;
  const TImageData* source = &src;
  if (&src == &target) {
    ImageClone(src, copy);
    source = &copy;
  }
  const TFormatDescriptor& sd = Descriptor();
  const TFormatDescriptor& dd = dst.Descriptor();
  if (FastPathsEnabled() && detail::IsByteChannelFormat(sd.Format) &&
      detail::IsByteChannelFormat(dd.Format))
    BlendBytes(*source, sd, target, dd, p, t, keyUsed);
  else
    BlendGeneral(*source, sd, target, dd, p, t, keyUsed);
}

}  // namespace pixolan::imaging
