// Drawing lines of text into a true-color bitmap with FreeType, the face found through
// fontconfig. Faces that are not installed resolve to what fontconfig substitutes (a
// metric-compatible face where one exists).
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace pixolan::platform {

// Raised when no face can be found or loaded, or a glyph cannot be drawn.
class ETextError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TFontRequest {
  std::string Face;
  // Windows convention: negative = the character (em) height in pixels, positive = the
  // cell height (ascent + descent) in pixels; 0 is refused.
  int32_t Height = -21;
  bool Bold = false;
  bool Italic = false;
  bool Underline = false;
  bool StrikeOut = false;
};

// Windows' text height of a point size at 96 dpi: -round(points * 96 / 72), halves away
// from zero as the platform's MulDiv does.
int32_t HeightOfPoints(int32_t points);

// Rows top to bottom, 4 bytes a pixel in the order B, G, R, A, no gap between rows.
struct TTextBitmap {
  int32_t Width = 0;
  int32_t Height = 0;
  std::vector<uint8_t> Bgra;

  // A bitmap of one opaque color (a Windows color value: red in the low byte).
  TTextBitmap(int32_t width, int32_t height, uint32_t color);
};

class TTextRasterizer {
 public:
  explicit TTextRasterizer(const TFontRequest& request);
  ~TTextRasterizer();
  TTextRasterizer(const TTextRasterizer&) = delete;
  TTextRasterizer& operator=(const TTextRasterizer&) = delete;

  // The file of the face that fontconfig chose, and its family name.
  const std::string& FontFile() const;
  const std::string& Family() const;

  // The width of a UTF-8 text: the sum of its characters' whole-pixel advances.
  int32_t TextWidth(std::string_view text) const;
  // The height of a line: the font's ascent + descent, the same for every text.
  int32_t TextHeight() const;

  // Draws text with its top-left corner at (x, y): the cell TextWidth x TextHeight gets the
  // background first, then the anti-aliased characters (and underline and strike-out) are
  // blended over it in the color. Colors are Windows color values; alpha stays 255. What
  // falls outside the bitmap is cut off.
  void DrawText(TTextBitmap& bitmap, int32_t x, int32_t y, std::string_view text, uint32_t color,
                uint32_t background) const;

 private:
  struct TImpl;
  std::unique_ptr<TImpl> impl_;
};

}  // namespace pixolan::platform
