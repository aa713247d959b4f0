// The preview's rules without a window: how far the zoom text reduces the source, the
// scale factor the pipeline gets, the full-size result the preview stands for, and where
// the picture sits in its box.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/ConversionSettings.h"
#include "core/MessageSink.h"
#include "imaging/image/ImagingTypes.h"

namespace pixolan::core {

struct TPreviewSize {
  int32_t Width = 0;
  int32_t Height = 0;
  friend bool operator==(const TPreviewSize&, const TPreviewSize&) = default;
};

// Enlarging zooms stop at this many pixels (or at the source's own size, if that is more):
// "1600%" of a photo would otherwise ask for gigabytes. The proportions are kept.
inline constexpr int64_t kMaxPreviewPixels = int64_t(1) << 24;

// Whether the zoom text's size depends on the box: "<Anpassen>"/"<Adjust>" and
// "<Fenstergröße>"/"<Window Size>".
bool ZoomFollowsBox(std::string_view zoom);

// The size a source of `source` pixels is reduced to for the zoom text, in a box of `box`
// (its client size). Either language's texts work:
// - "<Anpassen>"/"<Adjust>": only when the source does not fit (box width <= width + 6 or
//   box height <= height + 6): d = min(box width / width, box height / height) and the
//   size max(1, round(width * d) - 14) x max(1, round(height * d) - 14);
// - "<Fenstergröße>"/"<Window Size>": the same size rule always, so small images grow;
// - "<Originalgröße>"/"<Original Size>": unchanged;
// - anything else: without its "%" signs, an integer N gives max(1, round(N * width / 100))
//   x max(1, round(N * height / 100)) ("100" and other texts: unchanged).
// Rounding is exact, halves to even. A size that would pass kMaxPreviewPixels is scaled
// down to it. An empty source stays as it is.
TPreviewSize PreviewReducedSize(std::string_view zoom, TPreviewSize source, TPreviewSize box);

// The pipeline's scale factor: the reduced width over the source width; 1 when the source
// width is below 1.
long double PreviewScale(int32_t reducedWidth, int32_t sourceWidth);

// The full-size result a preview result of `shown` pixels stands for: each side divided by
// the scale factor, rounded (halves to even). The resize action's box of 640 x 480 makes a
// 4000 x 3000 source's preview 50 x 37 at 313 / 4000, which stands for 639 x 473.
TPreviewSize EstimatedResultSize(TPreviewSize shown, int32_t reducedWidth, int32_t sourceWidth);

// Where the picture (the image with a frame of `frame` pixels on every side) sits in the
// box's scrollable content.
struct TPreviewPlacement {
  TPreviewSize Picture;  // image + 2 * frame
  int32_t Left = 0, Top = 0;
  // The scroll range; 0 x 0 when the picture fits and the box does not scroll.
  TPreviewSize Scroll;
  friend bool operator==(const TPreviewPlacement&, const TPreviewPlacement&) = default;
};

// A picture that fits with 3 pixels to spare on each side (picture + 6 < box, both ways)
// is centred without scrolling. Otherwise the scroll range is the picture + 4 both ways,
// and each side where the picture is too large (picture + 6 > box) starts at 2, the other
// is centred. Centring truncates halves towards zero. The picture, frame included, is
// what must fit and what the range covers, so a wide frame never hides part of it.
TPreviewPlacement PlacePreview(TPreviewSize image, int32_t frame, TPreviewSize box);

// The cache of the preview: the source reduced for a zoom, before any action.
struct TPreviewSource {
  imaging::TImageData Reduced;  // A8R8G8B8
  TPreviewSize Source;          // the size of the loaded source
};

// Reduces a loaded source (A8R8G8B8) for the zoom text in the box, with the bilinear
// filter. Raises EImagingError when the engine cannot resample it.
TPreviewSource MakePreviewSource(imaging::TImageData image, std::string_view zoom,
                                 TPreviewSize box);

// Loads the file with LoadSourceImage and reduces it. False, with source untouched, when no
// handler recognises the file; a file that cannot be read raises as LoadSourceImage does.
bool LoadPreviewSource(const std::string& path, std::string_view zoom, TPreviewSize box,
                       TPreviewSource& source);

// A preview image and the full-size result it stands for.
struct TPreviewResult {
  imaging::TImageData Image;  // A8R8G8B8
  TPreviewSize Estimated;
  long double Scale = 1.0L;
};

// Runs the pipeline on (a copy of) the reduced source with its scale factor, when
// `settings` is given; without settings the reduced source is shown as it is. The
// pipeline's messages go to messages (an action that fails shows the unchanged image).
TPreviewResult RenderPreview(const TPreviewSource& source, const std::string& sourcePath,
                             const ConversionSettings* settings, TMessageSink& messages);

}  // namespace pixolan::core
