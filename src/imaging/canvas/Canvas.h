// Drawing surface over one image: pen and fill, lines and rectangles, blended drawing,
// convolution, point transforms and channel filters. Every pixel operation works in
// TPixelFP through the format's accessors, so one implementation serves every ordinary
// pixel format; the 8-bit channel formats A8R8G8B8 and R8G8B8 also have fast paths that
// produce exactly the bytes of the accessor path.
#pragma once

#include <bitset>
#include <cstdint>
#include <span>
#include <vector>

#include "imaging/image/Formats.h"
#include "imaging/image/ImagingTypes.h"

namespace pixolan::imaging {

// Failures of the canvas itself (construction, unusable kernels, a stale image).
class EImagingCanvasError : public EImagingError {
 public:
  using EImagingError::EImagingError;
};

// Right and bottom are exclusive.
struct TRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;

  constexpr int32_t Width() const { return Right - Left; }
  constexpr int32_t Height() const { return Bottom - Top; }
  constexpr bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  friend constexpr bool operator==(const TRect&, const TRect&) = default;
};

enum class TPenMode : int32_t { Solid = 0, Clear = 1 };
enum class TFillMode : int32_t { Solid = 0, Clear = 1 };

// A kernel of any size: rows run vertically, the entries of a row horizontally; every row
// must be as long as the first.
struct TConvolutionFilterFree {
  std::vector<std::vector<int32_t>> Kernel;
  int32_t Divisor = 1;
  float Bias = 0.0f;
};

// A square kernel stored as its weights row by row, followed by Divisor and Bias.
template <int N>
struct TConvolutionFilter {
  int32_t Kernel[N][N];
  int32_t Divisor;
  float Bias;
};
using TConvolutionFilter3x3 = TConvolutionFilter<3>;
using TConvolutionFilter5x5 = TConvolutionFilter<5>;

// Weights summing to 1: a flat area of value v becomes v * (1 + strength) when sharpened.
inline constexpr TConvolutionFilter3x3 Sharpen3x3Kernel = {
    {{-1, -1, -1}, {-1, 9, -1}, {-1, -1, -1}}, 1, 0.0f};
inline constexpr TConvolutionFilter5x5 Sharpen5x5Kernel = {{{-1, -1, -1, -1, -1},
                                                            {-1, -1, -1, -1, -1},
                                                            {-1, -1, 25, -1, -1},
                                                            {-1, -1, -1, -1, -1},
                                                            {-1, -1, -1, -1, -1}},
                                                           1,
                                                           0.0f};

namespace detail {
// What a row-wise filter needs from its canvas: the checked image, ClipRect within it, the
// thread count and whether the fast path applies.
struct CanvasRowJob {
  TImageData* Image = nullptr;
  const TFormatDescriptor* Format = nullptr;
  TRect Clip;
  int32_t Threads = 1;
  bool Fast = false;
};
}  // namespace detail

// Pixel formats a canvas class accepts, indexed by format id.
using TCanvasFormatSet = std::bitset<kMaxFormatSetId + 1>;

// A canvas never owns its image; the image must outlive it. When the image's buffer is
// replaced (resize, rotation, conversion) every operation notices the changed size or
// format and re-reads the canvas state, ClipRect included, before it touches a pixel.
// Drawing and filters never raise for coordinates: everything is clipped to ClipRect, which
// is itself kept within the image.
class TImagingCanvas {
 public:
  // Raises EImagingCanvasError for a null or invalid image or a format outside
  // WritableFormats() (every ordinary format; no compressed one).
  explicit TImagingCanvas(TImageData* image);
  explicit TImagingCanvas(TImageData& image) : TImagingCanvas(&image) {}
  virtual ~TImagingCanvas() = default;
  TImagingCanvas(const TImagingCanvas&) = delete;
  TImagingCanvas& operator=(const TImagingCanvas&) = delete;

  // All drawing is limited to this rectangle; the whole image after construction and after
  // UpdateCanvasState. Parts outside the image are ignored.
  TRect ClipRect;
  int32_t PenWidth = 1;
  TPenMode PenMode = TPenMode::Solid;
  TFillMode FillMode = TFillMode::Solid;

  TImageData& ImageRef() const { return *image_; }
  const TFormatDescriptor& Descriptor() const { return descriptor_; }
  int32_t DataSize() const { return dataSize_; }

  void SetPenColor(TPixel32 color);
  void SetFillColor(TPixel32 color);
  TPixel32 PenColor32() const { return penColor32_; }
  const TPixelFP& PenColorFP() const { return penColorFP_; }
  TPixel32 FillColor32() const { return fillColor32_; }
  const TPixelFP& FillColorFP() const { return fillColorFP_; }

  // The getters read any pixel of the image regardless of ClipRect and raise
  // EImagingCanvasError outside the image; the setters ignore points outside ClipRect.
  virtual TPixel32 GetPixel32(int32_t x, int32_t y);
  virtual TPixelFP GetPixelFP(int32_t x, int32_t y);
  virtual void SetPixel32(int32_t x, int32_t y, TPixel32 color);
  virtual void SetPixelFP(int32_t x, int32_t y, const TPixelFP& color);
  // Fills x1 <= x < x2 of row y (clipped) with one raw pixel of the image's format.
  virtual void FillSpan(int32_t x1, int32_t x2, int32_t y, const uint8_t* rawColor);
  // Re-reads the image's size, format and descriptor and resets ClipRect to the whole
  // image. Raises EImagingCanvasError when the image became invalid or unsupported.
  virtual void UpdateCanvasState();

  // x1 <= x < x2, PenWidth rows centred on y; nothing when PenMode is Clear.
  virtual void HorzLine(int32_t x1, int32_t x2, int32_t y);
  // y1 <= y < y2, PenWidth columns centred on x.
  virtual void VertLine(int32_t x, int32_t y1, int32_t y2);
  // One-pixel line from (x1, y1) to (x2, y2), both ends included, in the pen color: one pixel
  // per step along the longer axis, the other coordinate rounded (halves up).
  virtual void Line(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
  // The pen centred on the outermost rows and columns of rect.
  void FrameRect(const TRect& rect);
  // Fills rect with the fill color; nothing when FillMode is Clear.
  virtual void FillRect(const TRect& rect);
  // FillRect, then FrameRect.
  void Rectangle(const TRect& rect);

  // Blends srcRect of this canvas's image onto dst at (dstX, dstY): every channel,
  // alpha included, becomes d - (d - s) * opacityPercent / 100. Clipped against this image
  // and dst's ClipRect. Drawing an image onto itself reads from a copy of the source.
  void DrawOpacity(const TRect& srcRect, TImagingCanvas& dst, int32_t dstX, int32_t dstY,
                   int32_t opacityPercent);
  // As DrawOpacity, but leaves the destination where the source pixel matches the key:
  // trunc(channel * 100) equal for red, green and blue (alpha is not compared). The key
  // components are 0..1.
  void DrawOpacityColorKey(const TRect& srcRect, TImagingCanvas& dst, int32_t dstX, int32_t dstY,
                           int32_t opacityPercent, float keyR, float keyG, float keyB);

  // Square kernel of size x size weights (row by row), replacing each pixel's red, green
  // and blue by sum / divisor + bias; with clamp the channels are limited to 0..1 before
  // they are written.
  virtual void Convolve(std::span<const int32_t> kernel, int32_t size, bool clamp, float bias,
                        int32_t divisor);
  void Convolve3x3(const TConvolutionFilter3x3& filter);
  void Convolve5x5(const TConvolutionFilter5x5& filter);
  // Replaces red, green and blue of each ClipRect pixel by the weighted sum of its
  // neighbourhood (edge pixels repeat) times 1 / Divisor (1 when Divisor < 2). Bias is
  // not used. Raises EImagingCanvasError for an empty or ragged kernel.
  void ConvolveFree(const TConvolutionFilterFree& filter);
  // Adds the weighted sum times strength / Divisor to each pixel's red, green and blue
  // (nothing when Divisor is 0).
  void SharpenKernel3x3(float strength);
  void SharpenKernel5x5(float strength);
  void SharpenKernelFree(const TConvolutionFilterFree& filter, float strength);

  // Point transforms over ClipRect; alpha is kept and the writer clamps.
  void AdjustContrastBrightness(float contrast, float brightness);
  void AdjustSaturation(float amount);
  void AdjustChannelSaturation(float red, float green, float blue);
  void ShiftChannels(float red, float green, float blue);
  void AdjustGamma(float red, float green, float blue);
  void InvertColors();

  // A channel whose flag is clear becomes 1, 0 or its inverse; alpha is kept.
  void FilterChannelsFull(bool keepRed, bool keepGreen, bool keepBlue);
  void FilterChannelsZero(bool keepRed, bool keepGreen, bool keepBlue);
  void FilterChannelsInvert(bool keepRed, bool keepGreen, bool keepBlue);
  // The pixel split into cyan, magenta, yellow and black; a removed ink becomes 0, 1 or its
  // value before the black was taken out.
  void FilterInksRemove(bool keepCyan, bool keepMagenta, bool keepYellow, bool keepBlack);
  void FilterInksKeepRaw(bool keepCyan, bool keepMagenta, bool keepYellow, bool keepBlack);
  void FilterInksSaturate(bool keepCyan, bool keepMagenta, bool keepYellow, bool keepBlack);

  // The pixel formats this class accepts.
  virtual TCanvasFormatSet WritableFormats() const;
  static TCanvasFormatSet OrdinaryFormats();

  // The fast paths of the 8-bit channel formats are on by default; off, every pixel goes
  // through the format's accessors. Both give the same bytes.
  void SetFastPathsEnabled(bool enabled) { fastPaths_ = enabled; }
  bool FastPathsEnabled() const { return fastPaths_; }
  // Rows of convolutions and point transforms may be split over this many threads
  // (0: one per hardware thread). The result does not depend on it. Default 1.
  void SetThreadCount(int32_t threads) { threads_ = threads; }
  int32_t ThreadCount() const { return threads_; }

 protected:
  TImagingCanvas(TImageData* image, const TCanvasFormatSet& accepted);

  // Re-reads the state when the image changed since the last update; then the image.
  TImageData& CheckedImage();
  // ClipRect intersected with the image.
  TRect EffectiveClip() const;
  uint8_t* PixelAt(int32_t x, int32_t y) const;
  detail::CanvasRowJob RowJob();

 private:
  void Init(TImageData* image, const TCanvasFormatSet& accepted);
  void FillWithColor(int64_t left, int64_t top, int64_t right, int64_t bottom,
                     const TPixelFP& color);
  void DrawBlended(const TRect& srcRect, TImagingCanvas& dst, int32_t dstX, int32_t dstY,
                   int32_t opacityPercent, const float* key);
  void RunConvolution(const TConvolutionFilterFree& filter, int mode, float strength, bool clamp,
                      float bias);

  TImageData* image_ = nullptr;
  int32_t dataSize_ = 0;
  TImageFormatId stateFormat_ = TImageFormatId::Unknown;
  int32_t stateWidth_ = 0;
  int32_t stateHeight_ = 0;
  TPixelFP penColorFP_;
  TPixel32 penColor32_;
  TPixelFP fillColorFP_;
  TPixel32 fillColor32_;
  uint8_t rawColor_[16] = {};
  TFormatDescriptor descriptor_;
  bool fastPaths_ = true;
  int32_t threads_ = 1;
};

// Canvas restricted to A8R8G8B8 with direct 32-bit pixel access. The state update needs
// nothing of its own: pixel addresses are taken from the image on every access, and the
// inherited update already refuses a format outside WritableFormats().
class TFastARGB32Canvas : public TImagingCanvas {
 public:
  explicit TFastARGB32Canvas(TImageData* image);
  explicit TFastARGB32Canvas(TImageData& image) : TFastARGB32Canvas(&image) {}

  TPixel32 GetPixel32(int32_t x, int32_t y) override;
  void SetPixel32(int32_t x, int32_t y, TPixel32 color) override;
  TCanvasFormatSet WritableFormats() const override;
  static TCanvasFormatSet ARGB32Formats();
};

}  // namespace pixolan::imaging
