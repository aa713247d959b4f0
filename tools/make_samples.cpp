// Draws the bundled sample images with the engine's own writers:
//   pixolan-make-samples FOLDER
// The pictures are synthetic (gradients, rings, a checker with soft alpha), small, and the
// same on every run, so the samples folder can be remade at any time.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

#include "core/ImageFiles.h"
#include "imaging/image/Imaging.h"

namespace {

using namespace pixolan::imaging;

TImageData Draw(int width, int height, TPixel32 (*shade)(double x, double y)) {
  TImageData image;
  ImageCreate(width, height, TImageFormatId::A8R8G8B8, image);
  auto* pixels = reinterpret_cast<TPixel32*>(image.bits());
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      pixels[y * width + x] = shade((x + 0.5) / width, (y + 0.5) / height);
  return image;
}

uint8_t Byte(double v) {
  return uint8_t(std::lround(std::clamp(v, 0.0, 1.0) * 255.0));
}

// A sky over hills with a sun: smooth areas and hard edges, as in a photograph.
TPixel32 Landscape(double x, double y) {
  const double hill = 0.62 + 0.08 * std::sin(x * 9.0) + 0.04 * std::sin(x * 23.0 + 1.0);
  const double sun = std::hypot((x - 0.72) * 4.0 / 3.0, y - 0.28);  // 4:3 pictures
  if (y > hill) {
    const double t = (y - hill) / (1.0 - hill);
    return {Byte(0.15 + 0.1 * t), Byte(0.45 - 0.2 * t + 0.05 * std::sin(x * 80.0)),
            Byte(0.2 + 0.1 * t), 255};
  }
  if (sun < 0.09) return {Byte(0.55), Byte(0.9), Byte(1.0), 255};
  return {Byte(0.95 - 0.3 * y), Byte(0.7 - 0.2 * y), Byte(0.35 + 0.2 * y), 255};
}

// Concentric rings in a few flat colors: a picture that suits a palette.
TPixel32 Rings(double x, double y) {
  static const TPixel32 colors[] = {{40, 40, 200, 255},
                                    {60, 180, 240, 255},
                                    {200, 120, 30, 255},
                                    {240, 240, 240, 255},
                                    {30, 30, 30, 255}};
  const int ring = int(std::hypot(x - 0.5, y - 0.5) * 14.0);
  return colors[ring % 5];
}

// A checker whose alpha fades from opaque to clear across the picture.
TPixel32 FadingChecker(double x, double y) {
  const bool dark = (int(x * 8) + int(y * 8)) % 2 == 0;
  const uint8_t alpha = Byte(1.0 - 0.8 * x);
  return dark ? TPixel32{Byte(0.6), Byte(0.2), Byte(0.2), alpha}
              : TPixel32{Byte(0.2), Byte(0.8), Byte(0.9), alpha};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: pixolan-make-samples FOLDER\n");
    return 2;
  }
  const std::filesystem::path folder(argv[1]);
  try {
    std::filesystem::create_directories(folder);
    const struct {
      const char* name;
      int width, height;
      TPixel32 (*shade)(double, double);
    } samples[] = {
        {"landscape.jpg", 640, 480, Landscape},
        {"rings.gif", 240, 180, Rings},
        {"landscape-small.bmp", 160, 120, Landscape},
        {"checker-alpha.tga", 128, 128, FadingChecker},
    };
    for (const auto& s : samples) {
      const TImageData image = Draw(s.width, s.height, s.shade);
      const std::string path = (folder / s.name).string();
      if (!pixolan::core::SaveResultImage(path, image)) {
        std::fprintf(stderr, "pixolan-make-samples: cannot save %s\n", path.c_str());
        return 1;
      }
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "pixolan-make-samples: %s\n", e.what());
    return 1;
  }
  return 0;
}
