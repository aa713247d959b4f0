// The eleven image actions. Each reads its values from the snapshot with its own fallbacks,
// works on the working image in place and raises EImagingError when it fails; the pipeline
// turns a failure into "konvertierfehler".
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "core/ConversionSettings.h"
#include "core/MessageSink.h"
#include "imaging/canvas/Canvas.h"
#include "imaging/image/ImagingTypes.h"

namespace pixolan::core::actions {

// What every action may use besides the image.
struct TActionContext {
  TActionContext(const ConversionSettings& settings, long double scale = 1.0L,
                 std::string sourcePath = {}, TMessageSink* messages = nullptr)
      : Settings(settings), Scale(scale), SourcePath(std::move(sourcePath)), Messages(messages) {}

  const ConversionSettings& Settings;
  long double Scale;
  std::string SourcePath;
  TMessageSink* Messages;  // null: messages go nowhere
};

// Nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4); raises when the
// value lies outside the 32-bit range, so no size silently wraps.
int32_t RoundHalfEven(long double value);
// round(scale * value).
int32_t Scaled(long double scale, int32_t value);

void Resize(imaging::TImageData& image, const TActionContext& context);
// Resize from an image that is only read into result. False, with result untouched, when
// Resize would leave the image as it is.
bool ResizeInto(const imaging::TImageData& image, imaging::TImageData& result,
                const TActionContext& context);
void RotateMirror(imaging::TImageData& image, const TActionContext& context);
void Color(imaging::TImageData& image, const TActionContext& context);
void ContrastBrightnessSaturation(imaging::TImageData& image, const TActionContext& context);
void Blur(imaging::TImageData& image, const TActionContext& context);
void Sharpen(imaging::TImageData& image, const TActionContext& context);
void Crop(imaging::TImageData& image, const TActionContext& context);
void Frame(imaging::TImageData& image, const TActionContext& context);
void ColorChannels(imaging::TImageData& image, const TActionContext& context);
void Watermark(imaging::TImageData& image, const TActionContext& context);
void Text(imaging::TImageData& image, const TActionContext& context);

// --- the pieces the actions are made of, for tests ---

struct TSize {
  int32_t Width = 0;
  int32_t Height = 0;
  friend bool operator==(const TSize&, const TSize&) = default;
};

// Resize: whether a width x height image is resized at all, and to which size.
struct TResizePlan {
  bool Resize = false;
  TSize Size;
};
TResizePlan PlanResize(const ConversionSettings& settings, long double scale, int32_t width,
                       int32_t height);

// Blur radii larger than this are refused: the box kernel would hold millions of weights
// and the Gaussian weights' 32-bit sum would overflow.
inline constexpr int32_t kMaxBlurRadius = 500;
// Sharpen radii larger than this are refused: the kernel's centre weight (2r+1)^2 must stay
// a 32-bit integer and the kernel small enough to run.
inline constexpr int32_t kMaxSharpenRadius = 500;

// The vertical (2v+1 rows, 1 column) and horizontal (1 row, 2h+1 columns) Gaussian passes.
imaging::TConvolutionFilterFree GaussianKernel(int32_t h, int32_t v, bool vertical);
// The sharpen strength of a strength text: n^3 / 1000000 * 1.5, n = 1 for a non-number.
float SharpenStrength(const std::string& text);

// Crop: the rectangle of the working image that becomes the result; empty when the image
// stays as it is.
imaging::TRect PlanCrop(const ConversionSettings& settings, long double scale, int32_t width,
                        int32_t height);

// Frame: its width after scaling (at least 1) and its color as a raw A8R8G8B8 pixel.
int32_t FrameWidth(const ConversionSettings& settings, long double scale);
imaging::TPixel32 FrameColor(const ConversionSettings& settings);

// Watermark and text: how the overlay of width x height is placed on a working image of
// imageWidth x imageHeight.
struct TOverlayPlacement {
  TOverlayPosition Position = TOverlayPosition::Centered;
  bool ImageSizeMode = false;
  std::string OffsetX, OffsetY;
  int32_t Margin = 0;  // subtracted from the offsets before scaling
  bool FromRight = true, FromBottom = true;
};
struct TPoint {
  int32_t X = 0;
  int32_t Y = 0;
  friend bool operator==(const TPoint&, const TPoint&) = default;
};
TPoint PlaceOverlay(const TOverlayPlacement& placement, long double scale, int32_t imageWidth,
                    int32_t imageHeight, int32_t width, int32_t height);
// The size an overlay of width x height gets before it is placed.
TSize OverlaySize(TOverlaySize mode, const std::string& userWidth, const std::string& userHeight,
                  long double scale, int32_t imageWidth, int32_t imageHeight, int32_t width,
                  int32_t height);
// Draws overlay on image at (x, y): nothing at transparency >= 100, an opaque copy at 0
// without key, else blended with opacity 100 - transparency, leaving out key-colored pixels
// when key is given (a Windows color value).
void DrawOverlay(imaging::TImageData& overlay, imaging::TImageData& image, TPoint at,
                 int32_t transparency, const uint32_t* key);

// Text: the lines of text (split at CR LF) drawn with the snapshot's font and colors into an
// R8G8B8 image, 15 pixels of background around them, each line the font's height + 4.
imaging::TImageData RenderTextImage(const ConversionSettings& settings, const std::string& text);

}  // namespace pixolan::core::actions
