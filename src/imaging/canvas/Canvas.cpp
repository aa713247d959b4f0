// Canvas construction, state and single-pixel access.
#include "imaging/canvas/Canvas.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <exception>
#include <string>
#include <thread>
#include <vector>

#include "imaging/canvas/CanvasInternal.h"
#include "imaging/image/Errors.h"
#include "imaging/image/Imaging.h"

namespace pixolan::imaging {

namespace {

TPixelFP ToFloat(TPixel32 c) {
  return {c.B * kInv255, c.G * kInv255, c.R * kInv255, c.A * kInv255};
}

}  // namespace

namespace detail {

void ParallelRows(int32_t top, int32_t bottom, int32_t threads,
                  const std::function<void(int32_t, int32_t)>& body) {
  if (bottom <= top) return;
  const int32_t bands = BandCount(top, bottom, threads);
  if (bands == 1) {
    body(top, bottom);
    return;
  }
  std::vector<std::exception_ptr> errors(static_cast<size_t>(bands));
  auto bandStart = [&](int32_t band) { return BandStart(top, bottom, bands, band); };
  std::vector<std::thread> workers;
  workers.reserve(size_t(bands - 1));
  for (int32_t band = 0; band < bands - 1; ++band) {
    workers.emplace_back([&, band] {
      try {
        body(bandStart(band), bandStart(band + 1));
      } catch (...) {
        errors[size_t(band)] = std::current_exception();
      }
    });
  }
  try {
    body(bandStart(bands - 1), bottom);
  } catch (...) {
    errors[size_t(bands - 1)] = std::current_exception();
  }
  for (std::thread& t : workers) t.join();
  for (const std::exception_ptr& e : errors)
    if (e) std::rethrow_exception(e);
}

}  // namespace detail

TCanvasFormatSet TImagingCanvas::OrdinaryFormats() {
  TCanvasFormatSet set;
  for (TImageFormatId f : AllFormats()) {
    const auto id = int32_t(f);
    if (id >= 10 && id <= 219) set.set(size_t(id));
  }
  return set;
}

TCanvasFormatSet TImagingCanvas::WritableFormats() const {
  return OrdinaryFormats();
}

TImagingCanvas::TImagingCanvas(TImageData* image) {
  Init(image, OrdinaryFormats());
}

TImagingCanvas::TImagingCanvas(TImageData* image, const TCanvasFormatSet& accepted) {
  Init(image, accepted);
}

void TImagingCanvas::Init(TImageData* image, const TCanvasFormatSet& accepted) {
  if (image == nullptr)
    throw EImagingCanvasError("Invalid pointer (" + PointerText(image) +
                              ") to TImageData passed to TImagingCanvas constructor.");
  if (!ImageIsValid(*image))
    throw EImagingCanvasError("Invalid image data passed to TImagingCanvas constructor (" +
                              ImageDescribe(*image) + ").");
  const auto id = int32_t(image->Format);
  if (id < 0 || id > kMaxFormatSetId || !accepted.test(size_t(id)))
    throw EImagingCanvasError(
        "Image passed to TImagingCanvas constructor is in unsupported format (" +
        FormatName(image->Format) + ")");
  image_ = image;
  PenWidth = 1;
  SetPenColor(TPixel32::FromColor(0xFFFFFFFFu));
  SetFillColor(TPixel32::FromColor(0xFF000000u));
  FillMode = TFillMode::Solid;
  PenMode = TPenMode::Solid;
  // The base version: a derived class's override is not reachable yet and runs from the
  // derived constructor.
  TImagingCanvas::UpdateCanvasState();
}

void TImagingCanvas::UpdateCanvasState() {
  TImageData& image = *image_;
  if (!ImageIsValid(image))
    throw EImagingCanvasError("Image of the canvas is no longer valid (" + ImageDescribe(image) +
                              ").");
  const auto id = int32_t(image.Format);
  if (id < 0 || id > kMaxFormatSetId || !WritableFormats().test(size_t(id)))
    throw EImagingCanvasError("Image of the canvas is now in unsupported format (" +
                              FormatName(image.Format) + ")");
  dataSize_ = image.Size;
  stateFormat_ = image.Format;
  stateWidth_ = image.Width;
  stateHeight_ = image.Height;
  ClipRect = {0, 0, image.Width, image.Height};
  descriptor_ = *GetFormatDescriptor(image.Format);
}

TImageData& TImagingCanvas::CheckedImage() {
  TImageData& image = *image_;
  if (image.Size != dataSize_ || image.Format != stateFormat_ || image.Width != stateWidth_ ||
      image.Height != stateHeight_ || !ImageIsValid(image))
    UpdateCanvasState();
  return image;
}

TRect TImagingCanvas::EffectiveClip() const {
  TRect r;
  r.Left = std::max(ClipRect.Left, 0);
  r.Top = std::max(ClipRect.Top, 0);
  r.Right = std::min(ClipRect.Right, image_->Width);
  r.Bottom = std::min(ClipRect.Bottom, image_->Height);
  if (r.Right < r.Left) r.Right = r.Left;
  if (r.Bottom < r.Top) r.Bottom = r.Top;
  return r;
}

uint8_t* TImagingCanvas::PixelAt(int32_t x, int32_t y) const {
  return image_->bits() + (int64_t(y) * image_->Width + x) * descriptor_.BytesPerPixel;
}

detail::CanvasRowJob TImagingCanvas::RowJob() {
  detail::CanvasRowJob job;
  job.Image = &CheckedImage();
  job.Format = &descriptor_;
  job.Clip = EffectiveClip();
  int64_t threads = threads_;
  if (threads <= 0) threads = std::max(1u, std::thread::hardware_concurrency());
  job.Threads = int32_t(std::clamp<int64_t>(threads, 1, std::max(job.Clip.Height(), 1)));
  job.Fast = fastPaths_ && detail::IsByteChannelFormat(descriptor_.Format);
  return job;
}

void TImagingCanvas::SetPenColor(TPixel32 color) {
  penColor32_ = color;
  penColorFP_ = ToFloat(color);
}

void TImagingCanvas::SetFillColor(TPixel32 color) {
  fillColor32_ = color;
  fillColorFP_ = ToFloat(color);
}

namespace {

[[noreturn]] void RaiseOutside(int32_t x, int32_t y, const TImageData& image) {
  throw EImagingCanvasError("Pixel " + std::to_string(x) + "," + std::to_string(y) +
                            " lies outside the image. " + ImageDescribe(image));
}

bool Inside(const TRect& r, int32_t x, int32_t y) {
  return x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom;
}

}  // namespace

TPixel32 TImagingCanvas::GetPixel32(int32_t x, int32_t y) {
  TImageData& image = CheckedImage();
  if (x < 0 || y < 0 || x >= image.Width || y >= image.Height) RaiseOutside(x, y, image);
  return descriptor_.ReadPixel32(descriptor_, PixelAt(x, y), image.palette());
}

TPixelFP TImagingCanvas::GetPixelFP(int32_t x, int32_t y) {
  TImageData& image = CheckedImage();
  if (x < 0 || y < 0 || x >= image.Width || y >= image.Height) RaiseOutside(x, y, image);
  return descriptor_.ReadPixelFP(descriptor_, PixelAt(x, y), image.palette());
}

void TImagingCanvas::SetPixel32(int32_t x, int32_t y, TPixel32 color) {
  TImageData& image = CheckedImage();
  if (!Inside(EffectiveClip(), x, y)) return;
  descriptor_.WritePixel32(descriptor_, PixelAt(x, y), image.palette(), color);
}

void TImagingCanvas::SetPixelFP(int32_t x, int32_t y, const TPixelFP& color) {
  TImageData& image = CheckedImage();
  if (!Inside(EffectiveClip(), x, y)) return;
  descriptor_.WritePixelFP(descriptor_, PixelAt(x, y), image.palette(), color);
}

TCanvasFormatSet TFastARGB32Canvas::ARGB32Formats() {
  TCanvasFormatSet set;
  set.set(size_t(TImageFormatId::A8R8G8B8));
  return set;
}

TCanvasFormatSet TFastARGB32Canvas::WritableFormats() const {
  return ARGB32Formats();
}

TFastARGB32Canvas::TFastARGB32Canvas(TImageData* image) : TImagingCanvas(image, ARGB32Formats()) {}

TPixel32 TFastARGB32Canvas::GetPixel32(int32_t x, int32_t y) {
  TImageData& image = CheckedImage();
  if (x < 0 || y < 0 || x >= image.Width || y >= image.Height) RaiseOutside(x, y, image);
  TPixel32 c;
  std::memcpy(&c, PixelAt(x, y), 4);
  return c;
}

void TFastARGB32Canvas::SetPixel32(int32_t x, int32_t y, TPixel32 color) {
  CheckedImage();
  if (!Inside(EffectiveClip(), x, y)) return;
  std::memcpy(PixelAt(x, y), &color, 4);
}

}  // namespace pixolan::imaging
