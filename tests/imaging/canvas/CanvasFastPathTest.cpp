// The fast paths of the 8-bit channel formats and the row split over threads must give
// exactly the bytes of the general path, on random images of odd sizes.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "imaging/canvas/Canvas.h"
#include "imaging/image/Imaging.h"
#include "support/TestImages.h"

namespace pixolan::imaging {
namespace {

using F = TImageFormatId;
using namespace test;

struct Size {
  int32_t w, h;
};
const Size kSizes[] = {{1, 1}, {37, 23}, {61, 5}, {3, 17}, {1, 9}};
const F kFormats[] = {F::A8R8G8B8, F::R8G8B8};

// Labels built by streaming: concatenating onto a temporary string trips a false
// -Wrestrict of g++ 12 at -O3.
template <class... Parts>
std::string Label(const Parts&... parts) {
  std::ostringstream out;
  (out << ... << parts);
  return out.str();
}

struct Operation {
  std::string name;
  std::function<void(TImagingCanvas&)> run;
};

TConvolutionFilterFree Box(int32_t rows, int32_t cols) {
  return {std::vector<std::vector<int32_t>>(size_t(rows), std::vector<int32_t>(size_t(cols), 1)),
          rows * cols, 0.0f};
}

std::vector<Operation> Operations() {
  std::vector<Operation> ops;
  // Kernels with zero weights, negative weights, even sizes and large divisors.
  const TConvolutionFilterFree kernels[] = {
      Box(1, 5),
      Box(3, 3),
      Box(5, 1),
      {{{1, 4, 1}}, 6, 0.0f},
      {{{0, 1, 0}, {1, -4, 1}, {0, 1, 0}, {2, 0, 2}}, -1, 0.0f},
      {{{1, 2}, {3, 4}}, 10, 0.0f},
      {{{0, 0, 1, 0, 0}, {0, 3, 7, 3, 0}, {1, 7, 1000, 7, 1}}, 1049, 0.0f},
  };
  for (const TConvolutionFilterFree& k : kernels) {
    const std::string shape = Label(k.Kernel.size(), "x", k.Kernel[0].size());
    ops.push_back({Label("convolve ", shape), [k](TImagingCanvas& c) { c.ConvolveFree(k); }});
    for (float strength : {0.35f, -0.7f, 1.5f})
      ops.push_back({Label("sharpen free ", shape, " ", strength),
                     [k, strength](TImagingCanvas& c) { c.SharpenKernelFree(k, strength); }});
  }
  for (float strength : {0.0643125f, 1.5f, -0.25f}) {
    ops.push_back({Label("sharpen 3x3 ", strength),
                   [strength](TImagingCanvas& c) { c.SharpenKernel3x3(strength); }});
    ops.push_back({Label("sharpen 5x5 ", strength),
                   [strength](TImagingCanvas& c) { c.SharpenKernel5x5(strength); }});
  }
  const int32_t laplace[] = {0, -1, 0, -1, 5, -1, 0, -1, 0};
  ops.push_back({"square with bias",
                 [laplace](TImagingCanvas& c) { c.Convolve(laplace, 3, true, 0.125f, 2); }});
  ops.push_back({"square unclamped",
                 [laplace](TImagingCanvas& c) { c.Convolve(laplace, 3, false, -0.3f, 1); }});

  for (float contrast : {-300.0f, -35.0f, 0.0f, 12.5f, 100.0f, 300.0f})
    for (float brightness : {-100.0f, 0.0f, 10.0f, 77.0f})
      ops.push_back({Label("contrast ", contrast, " ", brightness),
                     [=](TImagingCanvas& c) { c.AdjustContrastBrightness(contrast, brightness); }});
  for (float amount : {-100.0f, -33.0f, 50.0f, 300.0f})
    ops.push_back(
        {Label("saturation ", amount), [=](TImagingCanvas& c) { c.AdjustSaturation(amount); }});
  ops.push_back(
      {"channel saturation", [](TImagingCanvas& c) { c.AdjustChannelSaturation(-100, 35, 270); }});
  ops.push_back({"shift", [](TImagingCanvas& c) { c.ShiftChannels(30, -299, 150); }});
  ops.push_back({"gamma", [](TImagingCanvas& c) { c.AdjustGamma(2.2f, 0.45f, 1e-7f); }});
  ops.push_back({"gamma one", [](TImagingCanvas& c) { c.AdjustGamma(1, 3, 0.9f); }});
  ops.push_back({"invert", [](TImagingCanvas& c) { c.InvertColors(); }});
  for (int flags = 0; flags < 8; ++flags) {
    const bool r = flags & 1, g = flags & 2, b = flags & 4;
    ops.push_back(
        {Label("full ", flags), [=](TImagingCanvas& c) { c.FilterChannelsFull(r, g, b); }});
    ops.push_back(
        {Label("zero ", flags), [=](TImagingCanvas& c) { c.FilterChannelsZero(r, g, b); }});
    ops.push_back(
        {Label("inverse ", flags), [=](TImagingCanvas& c) { c.FilterChannelsInvert(r, g, b); }});
  }
  for (int flags = 0; flags < 16; ++flags) {
    const bool cy = flags & 1, m = flags & 2, y = flags & 4, k = flags & 8;
    ops.push_back({Label("inks remove ", flags),
                   [=](TImagingCanvas& c) { c.FilterInksRemove(cy, m, y, k); }});
    ops.push_back(
        {Label("inks raw ", flags), [=](TImagingCanvas& c) { c.FilterInksKeepRaw(cy, m, y, k); }});
    ops.push_back({Label("inks saturate ", flags),
                   [=](TImagingCanvas& c) { c.FilterInksSaturate(cy, m, y, k); }});
  }
  return ops;
}

// A clip rectangle that may reach beyond the image on any side.
TRect RandomClip(std::mt19937& rng, int32_t w, int32_t h) {
  auto coord = [&](int32_t extent) { return int32_t(rng() % uint32_t(extent + 4)) - 2; };
  TRect r{coord(w), coord(h), coord(w), coord(h)};
  if (r.Right < r.Left) std::swap(r.Left, r.Right);
  if (r.Bottom < r.Top) std::swap(r.Top, r.Bottom);
  return r;
}

TEST(CanvasFastPath, FiltersGiveTheBytesOfTheGeneralPath) {
  const std::vector<Operation> ops = Operations();
  std::mt19937 rng(4242);
  uint32_t seed = 1;
  for (F format : kFormats) {
    for (const Size& size : kSizes) {
      const int32_t bpp = GetFormatDescriptor(format)->BytesPerPixel;
      const std::vector<uint8_t> bytes = RandomBytes(size_t(size.w * size.h * bpp), seed++);
      for (const Operation& op : ops) {
        const TRect clips[] = {{0, 0, size.w, size.h}, RandomClip(rng, size.w, size.h)};
        for (const TRect& clip : clips) {
          TImageData reference = MakeImage(size.w, size.h, format, bytes);
          {
            TImagingCanvas canvas(reference);
            canvas.SetFastPathsEnabled(false);
            canvas.ClipRect = clip;
            op.run(canvas);
          }
          struct Variant {
            bool fast;
            int32_t threads;
          };
          for (const Variant v : {Variant{true, 1}, Variant{true, 3}, Variant{false, 3}}) {
            TImageData image = MakeImage(size.w, size.h, format, bytes);
            TImagingCanvas canvas(image);
            canvas.SetFastPathsEnabled(v.fast);
            canvas.SetThreadCount(v.threads);
            canvas.ClipRect = clip;
            op.run(canvas);
            ASSERT_EQ(BytesOf(image), BytesOf(reference))
                << op.name << " on " << FormatName(format) << " " << size.w << "x" << size.h
                << " clip " << clip.Left << "," << clip.Top << "," << clip.Right << ","
                << clip.Bottom << (v.fast ? " fast" : " general") << " threads " << v.threads;
          }
        }
      }
    }
  }
}

TEST(CanvasFastPath, FastCanvasGivesTheBytesOfTheGeneralCanvas) {
  const std::vector<uint8_t> bytes = RandomBytes(29 * 13 * 4, 99);
  TImageData general = MakeImage(29, 13, F::A8R8G8B8, bytes);
  TImageData fast = MakeImage(29, 13, F::A8R8G8B8, bytes);
  TImagingCanvas g(general);
  g.SetFastPathsEnabled(false);
  TFastARGB32Canvas f(fast);
  for (TImagingCanvas* c : {&g, static_cast<TImagingCanvas*>(&f)}) {
    c->SharpenKernel5x5(0.8f);
    c->AdjustSaturation(40);
    c->SetPenColor(TPixel32::FromColor(0x80FF4020u));
    c->PenWidth = 3;
    c->Rectangle({2, 2, 20, 11});
    c->SetPixel32(5, 5, TPixel32::FromColor(0x12345678u));
  }
  EXPECT_EQ(BytesOf(fast), BytesOf(general));
  EXPECT_EQ(f.GetPixel32(5, 5).Color(), g.GetPixel32(5, 5).Color());
  EXPECT_EQ(f.GetPixel32(28, 12).Color(), g.GetPixel32(28, 12).Color());
}

TEST(CanvasFastPath, BlendingGivesTheBytesOfTheGeneralPath) {
  std::mt19937 rng(77);
  uint32_t seed = 500;
  for (F srcFormat : kFormats) {
    for (F dstFormat : kFormats) {
      for (const Size& srcSize : kSizes) {
        const int32_t sbpp = GetFormatDescriptor(srcFormat)->BytesPerPixel;
        const int32_t dbpp = GetFormatDescriptor(dstFormat)->BytesPerPixel;
        const Size dstSize{srcSize.h + 4, srcSize.w + 2};
        const auto srcBytes = RandomBytes(size_t(srcSize.w * srcSize.h * sbpp), seed++);
        const auto dstBytes = RandomBytes(size_t(dstSize.w * dstSize.h * dbpp), seed++);
        for (int32_t opacity : {0, 1, 33, 50, 99, 100, 150, -20}) {
          for (bool keyed : {false, true}) {
            const TRect srcRect = RandomClip(rng, srcSize.w, srcSize.h);
            const int32_t dx = int32_t(rng() % 9) - 4, dy = int32_t(rng() % 9) - 4;
            // A key taken from a source pixel, so that some pixels match.
            const uint8_t* keyPixel =
                srcBytes.data() + (rng() % uint32_t(srcSize.w * srcSize.h)) * sbpp;
            const float key[3] = {keyPixel[2] / 255.0f, keyPixel[1] / 255.0f, keyPixel[0] / 255.0f};
            std::vector<uint8_t> results[2];
            for (bool fast : {false, true}) {
              TImageData src = MakeImage(srcSize.w, srcSize.h, srcFormat, srcBytes);
              TImageData dst = MakeImage(dstSize.w, dstSize.h, dstFormat, dstBytes);
              TImagingCanvas s(src), d(dst);
              s.SetFastPathsEnabled(fast);
              if (keyed)
                s.DrawOpacityColorKey(srcRect, d, dx, dy, opacity, key[0], key[1], key[2]);
              else
                s.DrawOpacity(srcRect, d, dx, dy, opacity);
              results[fast] = BytesOf(dst);
            }
            ASSERT_EQ(results[1], results[0])
                << FormatName(srcFormat) << " onto " << FormatName(dstFormat) << " opacity "
                << opacity << (keyed ? " keyed" : "");
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace pixolan::imaging
