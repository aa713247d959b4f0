// Working storage of the median-cut quantizer, exposed for tests and benchmarks.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "imaging/image/ImagingTypes.h"

namespace pixolan::imaging::quantizer {

inline constexpr int32_t kHistogramBuckets = 32768;
inline constexpr int32_t kMinColors = 2;
inline constexpr int32_t kMaxColors = 4096;

// Histogram bucket of an already masked color.
constexpr int32_t HistogramBucket(TPixel32 c) {
  return (11 * c.B + c.A + 59 * c.R + 119 * c.G) & (kHistogramBuckets - 1);
}

// One box of the color space. Bounds are int32 so that an empty box can say 256..-1.
struct TColorBox {
  int32_t MinA = 256, MaxA = -1;
  int32_t MinR = 256, MaxR = -1;
  int32_t MinG = 256, MaxG = -1;
  int32_t MinB = 256, MaxB = -1;
  int32_t Total = 0;  // pixels of all colors in the box
  TPixel32 Average;
  // The box's histogram entries are EntryOrder()[First, Last).
  int32_t First = 0;
  int32_t Last = 0;

  bool Contains(TPixel32 c) const {
    return c.A >= MinA && c.A <= MaxA && c.R >= MinR && c.R <= MaxR && c.G >= MinG && c.G <= MaxG &&
           c.B >= MinB && c.B <= MaxB;
  }
};

// One quantizer run: histogram of masked colors, box splitting, palette and mapping. Each
// run owns its storage, so independent runs may proceed on several threads.
//
// Entry order: box 0 takes the entries bucket by bucket from 0 to 32767, each bucket's list
// from its head (newest color first). A split keeps the relative order of the entries on
// both sides, so the order stays deterministic. No result depends on it: bounds, counts and
// sums do not care about order.
class TMedianCut {
 public:
  explicit TMedianCut(uint8_t mask);

  // Counts count pixels of the given (unmasked) color.
  void AddColor(TPixel32 pixel, int32_t count = 1);
  // Splits into at most n boxes (n already clamped), computes their averages, widens their
  // ranges with the mask and sorts them by pixel count, largest first.
  void BuildBoxes(int32_t n);
  // Fills n entries: box averages, then opaque black.
  void FillPalette(TPixel32* palette, int32_t n) const;

  // Index of the first box in sorted order whose ranges hold the unmasked pixel, else 0.
  // Uses the histogram to find the pixel's own box; see IndexOfByScan for the plain rule.
  int32_t IndexOf(TPixel32 pixel) const;
  // Same result by testing every box in order; the reference for IndexOf.
  int32_t IndexOfByScan(TPixel32 pixel) const;

  int32_t DistinctColors() const { return int32_t(entries_.size()); }
  // Sorted boxes after BuildBoxes.
  const std::vector<TColorBox>& Boxes() const { return boxes_; }
  // Colors (masked) and counts of one bucket, in list order.
  std::vector<std::pair<TPixel32, int32_t>> BucketContents(int32_t bucket) const;
  // Colors of the entries in box order (see the class comment), after BuildBoxes.
  std::vector<TPixel32> EntryOrder() const;

 private:
  // The histogram: 12 bytes per distinct color, linked by arena index into the bucket lists.
  struct TEntry {
    uint32_t Color;  // masked B, G, R, A bytes as TPixel32::Color()
    int32_t Count;
    int32_t Next;  // next entry of the same bucket, -1 at the end
  };
  // A histogram color in box order.
  struct TItem {
    uint32_t Color;
    int32_t Count;
    int32_t Entry;
  };
  static constexpr int kInitialSlotBits = 12;
  static constexpr size_t kInitialSlots = size_t(1) << kInitialSlotBits;

  // Entry of a masked color, or -1. The 32768 bucket lists fix the entries' order, but a
  // photo can hold a million colors and walking lists of dozens per pixel would dominate;
  // an open-addressing index over the same entries keeps every lookup short.
  int32_t Find(uint32_t maskedColor) const;
  size_t SlotOf(uint32_t maskedColor) const;
  void GrowSlots();
  void Rebuild(TColorBox& box) const;

  uint32_t maskWord_;
  uint8_t mask_;
  // With a mask of contiguous high bits the widened ranges of different boxes never
  // overlap, so a pixel's own box is the only one that holds it.
  bool disjointRanges_;
  std::vector<int32_t> heads_;
  std::vector<TEntry> entries_;
  int slotBits_ = kInitialSlotBits;
  std::vector<int32_t> slots_;       // entry indices, -1 for a free slot
  std::vector<TItem> items_;         // grouped by box
  std::vector<int32_t> entryIndex_;  // palette index of each entry's box
  std::vector<TColorBox> boxes_;
};

// ImageReduceColors with the reduction mask given instead of read from the engine options.
bool ReduceColors(TImageData& image, int32_t maxColors, uint8_t mask);

}  // namespace pixolan::imaging::quantizer
