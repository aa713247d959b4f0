// Median-cut color reduction.
#include "imaging/palette/Quantizer.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "imaging/image/Errors.h"
#include "imaging/image/Imaging.h"
#include "imaging/io/Options.h"
#include "imaging/palette/QuantizerInternal.h"

namespace pixolan::imaging {
namespace quantizer {
namespace {

// Weights of the extent score: the luminance weights 0.299, 0.587 and 0.114 times 2048, so
// that boxes are cut where the eye sees the largest spread; alpha counts half.
constexpr int32_t kWeightA = 1024;
constexpr int32_t kWeightR = 612;
constexpr int32_t kWeightG = 1202;
constexpr int32_t kWeightB = 234;

// Bit positions of the channels in TPixel32::Color().
constexpr int kShiftA = 24;
constexpr int kShiftR = 16;
constexpr int kShiftG = 8;
constexpr int kShiftB = 0;

constexpr int32_t Channel(uint32_t color, int shift) {
  return int32_t((color >> shift) & 0xFF);
}

int32_t Score(const TColorBox& b) {
  return std::max({(b.MaxA - b.MinA) * kWeightA, (b.MaxR - b.MinR) * kWeightR,
                   (b.MaxG - b.MinG) * kWeightG, (b.MaxB - b.MinB) * kWeightB});
}

}  // namespace

TMedianCut::TMedianCut(uint8_t mask)
    : maskWord_(uint32_t(mask) * 0x01010101u),
      mask_(mask),
      disjointRanges_(((255u - mask) & (256u - mask)) == 0),
      heads_(kHistogramBuckets, -1),
      slots_(kInitialSlots, -1) {}

size_t TMedianCut::SlotOf(uint32_t maskedColor) const {
  // Fibonacci hashing spreads neighbouring colors over the whole table.
  return size_t((uint64_t(maskedColor) * 0x9E3779B97F4A7C15ull) >> (64 - slotBits_));
}

int32_t TMedianCut::Find(uint32_t maskedColor) const {
  const size_t wrap = slots_.size() - 1;
  for (size_t s = SlotOf(maskedColor);; s = (s + 1) & wrap) {
    const int32_t e = slots_[s];
    if (e < 0 || entries_[size_t(e)].Color == maskedColor) return e;
  }
}

void TMedianCut::GrowSlots() {
  ++slotBits_;
  slots_.assign(size_t(1) << slotBits_, -1);
  const size_t wrap = slots_.size() - 1;
  for (size_t e = 0; e < entries_.size(); ++e) {
    size_t s = SlotOf(entries_[e].Color);
    while (slots_[s] >= 0) s = (s + 1) & wrap;
    slots_[s] = int32_t(e);
  }
}

void TMedianCut::AddColor(TPixel32 pixel, int32_t count) {
  const uint32_t masked = pixel.Color() & maskWord_;
  const int32_t found = Find(masked);
  if (found >= 0) {
    entries_[size_t(found)].Count += count;
    return;
  }
  const int32_t index = int32_t(entries_.size());
  int32_t& head = heads_[size_t(HistogramBucket(TPixel32::FromColor(masked)))];
  entries_.push_back({masked, count, head});
  head = index;
  // Kept at most half full so that a lookup rarely probes more than two slots.
  if (entries_.size() * 2 > slots_.size()) {
    GrowSlots();
  } else {
    const size_t wrap = slots_.size() - 1;
    size_t s = SlotOf(masked);
    while (slots_[s] >= 0) s = (s + 1) & wrap;
    slots_[s] = index;
  }
}

void TMedianCut::Rebuild(TColorBox& box) const {
  box.MinA = box.MinR = box.MinG = box.MinB = 256;
  box.MaxA = box.MaxR = box.MaxG = box.MaxB = -1;
  box.Total = 0;
  for (int32_t k = box.First; k < box.Last; ++k) {
    const TItem& e = items_[size_t(k)];
    const int32_t a = Channel(e.Color, kShiftA), r = Channel(e.Color, kShiftR);
    const int32_t g = Channel(e.Color, kShiftG), b = Channel(e.Color, kShiftB);
    box.MinA = std::min(box.MinA, a), box.MaxA = std::max(box.MaxA, a);
    box.MinR = std::min(box.MinR, r), box.MaxR = std::max(box.MaxR, r);
    box.MinG = std::min(box.MinG, g), box.MaxG = std::max(box.MaxG, g);
    box.MinB = std::min(box.MinB, b), box.MaxB = std::max(box.MaxB, b);
    box.Total += e.Count;
  }
}

void TMedianCut::BuildBoxes(int32_t n) {
  boxes_.clear();
  items_.clear();
  entryIndex_.clear();
  // Without any pixel there is nothing to describe: no box, and an all-black palette.
  if (entries_.empty()) return;

  // Copies in box order, so that splitting and averaging read memory in sequence.
  items_.reserve(entries_.size());
  for (int32_t bucket = 0; bucket < kHistogramBuckets; ++bucket) {
    for (int32_t e = heads_[size_t(bucket)]; e >= 0; e = entries_[size_t(e)].Next) {
      items_.push_back({entries_[size_t(e)].Color, entries_[size_t(e)].Count, e});
    }
  }
  boxes_.reserve(size_t(n));
  boxes_.emplace_back();
  boxes_[0].Last = int32_t(items_.size());
  Rebuild(boxes_[0]);

  std::vector<int32_t> scores{Score(boxes_[0])};
  while (int32_t(boxes_.size()) < n) {
    const auto best = std::max_element(scores.begin(), scores.end());  // first of equals
    const int32_t score = *best;
    // Every box with more than one color has a positive score; nothing is left to split.
    if (score <= 0) break;
    const size_t index = size_t(best - scores.begin());
    TColorBox& box = boxes_[index];

    int shift, lo, hi;
    if ((box.MaxA - box.MinA) * kWeightA == score) {
      shift = kShiftA, lo = box.MinA, hi = box.MaxA;
    } else if ((box.MaxR - box.MinR) * kWeightR == score) {
      shift = kShiftR, lo = box.MinR, hi = box.MaxR;
    } else if ((box.MaxG - box.MinG) * kWeightG == score) {
      shift = kShiftG, lo = box.MinG, hi = box.MaxG;
    } else {
      shift = kShiftB, lo = box.MinB, hi = box.MaxB;
    }
    const int32_t split = (lo + hi) / 2;
    // Both sides are non-empty: lo <= split < hi.
    const auto middle =
        std::stable_partition(items_.begin() + box.First, items_.begin() + box.Last,
                              [&](const TItem& e) { return Channel(e.Color, shift) <= split; });

    TColorBox upper;
    upper.First = int32_t(middle - items_.begin());
    upper.Last = box.Last;
    box.Last = upper.First;
    Rebuild(box);
    Rebuild(upper);
    scores[index] = Score(box);
    scores.push_back(Score(upper));
    boxes_.push_back(upper);  // box is not used past this point: push_back may reallocate
  }

  for (TColorBox& box : boxes_) {
    // 64-bit sums: 255 times the pixel count of a large image does not fit 32 bits.
    int64_t sumA = 0, sumR = 0, sumG = 0, sumB = 0, total = 0;
    for (int32_t k = box.First; k < box.Last; ++k) {
      const TItem& e = items_[size_t(k)];
      sumA += int64_t(Channel(e.Color, kShiftA)) * e.Count;
      sumR += int64_t(Channel(e.Color, kShiftR)) * e.Count;
      sumG += int64_t(Channel(e.Color, kShiftG)) * e.Count;
      sumB += int64_t(Channel(e.Color, kShiftB)) * e.Count;
      total += e.Count;
    }
    box.Average = {uint8_t(sumB / total), uint8_t(sumG / total), uint8_t(sumR / total),
                   uint8_t(sumA / total)};

    // Pixels are mapped unmasked, so each range must cover the bits the mask dropped.
    const int32_t m = mask_, rest = 255 - mask_;
    box.MinA &= m, box.MinR &= m, box.MinG &= m, box.MinB &= m;
    box.MaxA = (box.MaxA & m) + rest, box.MaxR = (box.MaxR & m) + rest;
    box.MaxG = (box.MaxG & m) + rest, box.MaxB = (box.MaxB & m) + rest;
  }

  // Stable, so that among equal counts the earlier box comes first.
  std::stable_sort(boxes_.begin(), boxes_.end(),
                   [](const TColorBox& a, const TColorBox& b) { return a.Total > b.Total; });

  entryIndex_.assign(entries_.size(), 0);
  for (size_t p = 0; p < boxes_.size(); ++p) {
    for (int32_t k = boxes_[p].First; k < boxes_[p].Last; ++k) {
      entryIndex_[size_t(items_[size_t(k)].Entry)] = int32_t(p);
    }
  }
}

void TMedianCut::FillPalette(TPixel32* palette, int32_t n) const {
  const int32_t used = std::min(n, int32_t(boxes_.size()));
  for (int32_t i = 0; i < used; ++i) palette[i] = boxes_[size_t(i)].Average;
  std::fill(palette + used, palette + n, TPixel32::FromColor(0xFF000000u));
}

int32_t TMedianCut::IndexOfByScan(TPixel32 pixel) const {
  for (size_t p = 0; p < boxes_.size(); ++p) {
    if (boxes_[p].Contains(pixel)) return int32_t(p);
  }
  return 0;
}

int32_t TMedianCut::IndexOf(TPixel32 pixel) const {
  if (boxes_.empty()) return 0;
  const int32_t e = Find(pixel.Color() & maskWord_);
  if (e < 0) return IndexOfByScan(pixel);
  // The entry's own box always holds the pixel; only an earlier box can win over it.
  const int32_t own = entryIndex_[size_t(e)];
  if (!disjointRanges_) {
    for (int32_t p = 0; p < own; ++p) {
      if (boxes_[size_t(p)].Contains(pixel)) return p;
    }
  }
  return own;
}

std::vector<std::pair<TPixel32, int32_t>> TMedianCut::BucketContents(int32_t bucket) const {
  std::vector<std::pair<TPixel32, int32_t>> result;
  if (bucket < 0 || bucket >= kHistogramBuckets) return result;
  for (int32_t e = heads_[size_t(bucket)]; e >= 0; e = entries_[size_t(e)].Next) {
    result.emplace_back(TPixel32::FromColor(entries_[size_t(e)].Color), entries_[size_t(e)].Count);
  }
  return result;
}

std::vector<TPixel32> TMedianCut::EntryOrder() const {
  std::vector<TPixel32> result;
  result.reserve(items_.size());
  for (const TItem& e : items_) result.push_back(TPixel32::FromColor(e.Color));
  return result;
}

namespace {

[[noreturn]] void RaiseQuantizerError(int32_t pixelCount, int32_t n, const char* reason) {
  char text[256];
  std::snprintf(text, sizeof(text), "Error while quantizing %d pixels to %d colors: %s.",
                int(pixelCount), int(n), reason);
  RaiseImaging(text);
}

// Calls fn(pixel, first, run length) for each run of equal pixels; photos and drawings
// repeat neighbours often, and a run costs one histogram lookup instead of one per pixel.
template <typename Read, typename Fn>
void ForEachRunOf(int32_t pixelCount, Read&& read, Fn&& fn) {
  if (pixelCount <= 0) return;
  TPixel32 pixel = read(0);
  int32_t first = 0;
  for (int32_t k = 1; k < pixelCount; ++k) {
    const TPixel32 next = read(k);
    if (next == pixel) continue;
    fn(pixel, first, k - first);
    pixel = next;
    first = k;
  }
  fn(pixel, first, pixelCount - first);
}

// The two 8-bit channel layouts are read directly (the same bytes ReadPixel32 gives).
template <typename Fn>
void ForEachRun(int32_t pixelCount, const uint8_t* source, const TFormatDescriptor& d, Fn&& fn) {
  switch (d.Format) {
    case TImageFormatId::A8R8G8B8:
    case TImageFormatId::Default:
      ForEachRunOf(
          pixelCount,
          [source](int32_t k) -> TPixel32 {
            const uint8_t* p = source + size_t(k) * 4;
            return {p[0], p[1], p[2], p[3]};
          },
          fn);
      break;
    case TImageFormatId::R8G8B8:
      ForEachRunOf(
          pixelCount,
          [source](int32_t k) -> TPixel32 {
            const uint8_t* p = source + size_t(k) * 3;
            return {p[0], p[1], p[2], 255};
          },
          fn);
      break;
    default: {
      const size_t bpp = size_t(d.BytesPerPixel);
      ForEachRunOf(
          pixelCount,
          [&d, source, bpp](int32_t k) {
            return d.ReadPixel32(d, source + size_t(k) * bpp, nullptr);
          },
          fn);
      break;
    }
  }
}

void StoreIndices(uint8_t* indices, int indexBytes, int32_t first, int32_t count, int32_t index) {
  switch (indexBytes) {
    case 1:
      std::fill_n(indices + first, count, uint8_t(index));
      break;
    case 2: {
      const uint16_t v = uint16_t(index);
      for (int32_t k = 0; k < count; ++k) std::memcpy(indices + size_t(first + k) * 2, &v, 2);
      break;
    }
    default: {
      const uint32_t v = uint32_t(index);
      for (int32_t k = 0; k < count; ++k) std::memcpy(indices + size_t(first + k) * 4, &v, 4);
      break;
    }
  }
}

// The steps of a color reduction; false when a conversion refused the image.
bool ReduceColorsSteps(TImageData& image, int32_t maxColors, uint8_t mask) {
  const TImageFormatId original = image.Format;
  if (!ImageConvert(image, TImageFormatId::A8R8G8B8)) return false;
  {
    const int64_t pixels = int64_t(image.Width) * image.Height;
    if (pixels > INT32_MAX) return false;
    const int32_t pixelCount = int32_t(pixels);
    std::vector<uint16_t> indices(static_cast<size_t>(pixelCount));
    std::vector<TPixel32> palette(static_cast<size_t>(maxColors));
    MedianCutQuantizer(pixelCount, image.bits(), *GetFormatDescriptor(TImageFormatId::A8R8G8B8),
                       reinterpret_cast<uint8_t*>(indices.data()), 2, palette.data(),
                       kQuantAllSteps, mask, maxColors);
    uint8_t* bits = image.bits();
    for (int32_t i = 0; i < pixelCount; ++i) {
      const TPixel32 c = palette[indices[size_t(i)]];
      uint8_t* p = bits + size_t(i) * 4;
      p[0] = c.B, p[1] = c.G, p[2] = c.R, p[3] = c.A;
    }
  }  // indices and palette are released before the conversion back needs its memory
  return ImageConvert(image, original);
}

}  // namespace

bool ReduceColors(TImageData& image, int32_t maxColors, uint8_t mask) {
  if (!ImageIsValid(image)) return false;
  maxColors = std::clamp(maxColors, 2, 65535);
  const auto raise = [&] {
    char text[64];
    std::snprintf(text, sizeof(text), "Error while reducing number of colors of image to %d. ",
                  int(maxColors));
    RaiseImaging(text + ImageDescribe(image));
  };
  bool done = false;
  try {
    done = ReduceColorsSteps(image, maxColors, mask);
  } catch (...) {
    raise();
  }
  if (!done) raise();
  return true;
}

}  // namespace quantizer

void MedianCutQuantizer(int32_t pixelCount, const uint8_t* source,
                        const TFormatDescriptor& sourceFormat, uint8_t* indices, int indexBytes,
                        TPixel32* palette, uint32_t steps, uint8_t mask, int32_t n) {
  using namespace quantizer;
  n = std::clamp(n, kMinColors, kMaxColors);
  const bool add = (steps & kQuantAddPixels) != 0 && pixelCount > 0;
  const bool build = (steps & kQuantBuildPalette) != 0;
  const bool map = (steps & kQuantMapPixels) != 0 && pixelCount > 0;

  if (pixelCount < 0) RaiseQuantizerError(pixelCount, n, "negative pixel count");
  if (add || map) {
    if (source == nullptr) RaiseQuantizerError(pixelCount, n, "no source pixels");
    if (sourceFormat.IsIndexed || sourceFormat.IsCompressed ||
        sourceFormat.ReadPixel32 == nullptr || sourceFormat.BytesPerPixel <= 0) {
      RaiseQuantizerError(pixelCount, n, "source format has no readable color pixels");
    }
  }
  if (build && palette == nullptr) RaiseQuantizerError(pixelCount, n, "no palette");
  if (map) {
    if (indices == nullptr) RaiseQuantizerError(pixelCount, n, "no index buffer");
    if (indexBytes != 1 && indexBytes != 2 && indexBytes != 4) {
      RaiseQuantizerError(pixelCount, n, "index width is not 1, 2 or 4 bytes");
    }
    // Larger indices would be cut to their low byte and point at the wrong colors.
    if (indexBytes == 1 && n > 256) {
      RaiseQuantizerError(pixelCount, n, "8-bit indices cannot address that many colors");
    }
  }

  // The run owns its storage: a fresh histogram is the cleared one, whatever the steps.
  TMedianCut cut(mask);
  if (add) {
    ForEachRun(pixelCount, source, sourceFormat,
               [&](TPixel32 pixel, int32_t, int32_t run) { cut.AddColor(pixel, run); });
  }
  if (build) {
    cut.BuildBoxes(n);
    cut.FillPalette(palette, n);
  }
  if (map) {
    ForEachRun(pixelCount, source, sourceFormat, [&](TPixel32 pixel, int32_t first, int32_t run) {
      StoreIndices(indices, indexBytes, first, run, cut.IndexOf(pixel));
    });
  }
}

bool ImageReduceColors(TImageData& image, int32_t maxColors) {
  return quantizer::ReduceColors(image, maxColors, ColorReductionMask());
}

}  // namespace pixolan::imaging
