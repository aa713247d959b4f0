#include <gtest/gtest.h>

#include <algorithm>

#include "platform/TextRasterizer.h"

namespace pixolan::platform {
namespace {

constexpr uint32_t kBlack = 0x000000, kWhite = 0xFFFFFF;

TFontRequest Font(const char* face, int32_t height = -21) {
  return {.Face = face, .Height = height};
}

// How many pixels of the bitmap are not the background white.
size_t Inked(const TTextBitmap& bitmap) {
  size_t count = 0;
  for (size_t i = 0; i < bitmap.Bgra.size(); i += 4)
    if (bitmap.Bgra[i] != 255 || bitmap.Bgra[i + 1] != 255 || bitmap.Bgra[i + 2] != 255) ++count;
  return count;
}

// Whether row y is dark from x = left to right - 1.
bool DarkRow(const TTextBitmap& bitmap, int32_t y, int32_t left, int32_t right) {
  for (int32_t x = left; x < right; ++x)
    if (bitmap.Bgra[(size_t(y) * size_t(bitmap.Width) + size_t(x)) * 4] > 64) return false;
  return true;
}

size_t DarkRows(const TTextBitmap& bitmap, int32_t width) {
  size_t rows = 0;
  for (int32_t y = 0; y < bitmap.Height; ++y) rows += DarkRow(bitmap, y, 0, width);
  return rows;
}

TEST(TextRasterizerTest, FaceNamesResolveThroughFontconfigSubstitution) {
  const std::pair<const char*, const char*> cases[] = {
      {"Courier New", "Liberation Mono"},
      {"Arial", "Liberation Sans"},
      {"Times New Roman", "Liberation Serif"},
      {"DejaVu Sans Mono", "DejaVu Sans Mono"},
  };
  for (const auto& [face, family] : cases) {
    const TTextRasterizer rasterizer(Font(face));
    EXPECT_EQ(rasterizer.Family(), family) << face;
  }
}

// A face nobody has installed is not an error: fontconfig's substitute draws the text.
TEST(TextRasterizerTest, AMissingFaceFallsBackToWhatFontconfigChooses) {
  const TTextRasterizer rasterizer(Font("No Such Face Anywhere 4711"));
  EXPECT_FALSE(rasterizer.Family().empty());
  EXPECT_NE(rasterizer.Family(), "No Such Face Anywhere 4711");
  EXPECT_GT(rasterizer.TextWidth("Wg"), 0);
  EXPECT_GT(rasterizer.TextHeight(), 0);
}

TEST(TextRasterizerTest, PointsBecomeNegativeHeightsAt96Dpi) {
  const std::pair<int32_t, int32_t> cases[] = {
      {16, -21}, {12, -16}, {9, -12}, {10, -13}, {72, -96}};
  for (const auto& [points, height] : cases) EXPECT_EQ(HeightOfPoints(points), height) << points;
}

TEST(TextRasterizerTest, MeasuresWholePixelAdvancesAndOneHeightForEveryText) {
  const TTextRasterizer mono(Font("Courier New"));
  const int32_t one = mono.TextWidth("W");
  // The metric-compatible face keeps the 0.6 em advance: 21 * 0.6 = 12.6, whole pixels.
  EXPECT_EQ(one, 13);
  EXPECT_EQ(mono.TextWidth("abc"), 3 * one);
  EXPECT_EQ(mono.TextWidth("äöü"), 3 * one);
  EXPECT_EQ(mono.TextWidth(""), 0);
  EXPECT_GT(mono.TextHeight(), 21);
  EXPECT_LT(mono.TextHeight(), 28);
  // A positive height is the cell: asking for the cell the em height gave gives it again.
  const TTextRasterizer cell(Font("Courier New", mono.TextHeight()));
  EXPECT_NEAR(cell.TextHeight(), mono.TextHeight(), 1);
  EXPECT_THROW(TTextRasterizer(Font("Courier New", 0)), ETextError);
}

TEST(TextRasterizerTest, DrawsTheCellBackgroundAndTheTextInItsColor) {
  const TTextRasterizer rasterizer(Font("DejaVu Sans"));
  const int32_t width = rasterizer.TextWidth("Wg");
  TTextBitmap bitmap(width + 20, rasterizer.TextHeight() + 20, kWhite);
  // Dark teal, a color no 256-color palette is sure to hold.
  constexpr uint32_t kTeal = 0x605010;  // Windows value: red 0x10, green 0x50, blue 0x60
  rasterizer.DrawText(bitmap, 10, 10, "Wg", kTeal, 0x0000FF);
  const auto pixel = [&](int32_t x, int32_t y) {
    const uint8_t* p = bitmap.Bgra.data() + (size_t(y) * size_t(bitmap.Width) + size_t(x)) * 4;
    return uint32_t(p[2]) | uint32_t(p[1]) << 8 | uint32_t(p[0]) << 16 | uint32_t(p[3]) << 24;
  };
  EXPECT_EQ(pixel(9, 10), 0xFFFFFFFFu);           // outside the cell
  EXPECT_EQ(pixel(10, 10), 0xFF0000FFu);          // the cell's red background
  EXPECT_EQ(pixel(width + 10, 10), 0xFFFFFFFFu);  // just right of the cell
  size_t exact = 0;
  for (int32_t y = 0; y < bitmap.Height; ++y)
    for (int32_t x = 0; x < bitmap.Width; ++x) exact += pixel(x, y) == (0xFF000000u | kTeal);
  EXPECT_GT(exact, 10u);
}

TEST(TextRasterizerTest, BoldItalicUnderlineAndStrikeOutChangeTheDrawing) {
  const auto draw = [](TFontRequest request) {
    const TTextRasterizer rasterizer(request);
    TTextBitmap bitmap(rasterizer.TextWidth("lll"), rasterizer.TextHeight(), kWhite);
    rasterizer.DrawText(bitmap, 0, 0, "lll", kBlack, kWhite);
    return bitmap;
  };
  TFontRequest plain = Font("Liberation Sans");
  TFontRequest bold = plain, italic = plain, underline = plain, strike = plain;
  bold.Bold = true;
  italic.Italic = true;
  underline.Underline = true;
  strike.StrikeOut = true;
  const TTextBitmap regular = draw(plain);
  EXPECT_GT(Inked(draw(bold)), Inked(regular) + 10);
  EXPECT_NE(draw(italic).Bgra, regular.Bgra);
  // Underline and strike-out are lines across the whole text; plain "lll" has none.
  const int32_t width = regular.Width;
  EXPECT_EQ(DarkRows(regular, width), 0u);
  const TTextBitmap underlined = draw(underline), struck = draw(strike);
  EXPECT_GE(DarkRows(underlined, width), 1u);
  EXPECT_GE(DarkRows(struck, width), 1u);
  // The underline lies below the strike-out line.
  int32_t underlineRow = 0, strikeRow = 0;
  for (int32_t y = 0; y < regular.Height; ++y) {
    if (DarkRow(underlined, y, 0, width)) underlineRow = y;
    if (DarkRow(struck, y, 0, width) && strikeRow == 0) strikeRow = y;
  }
  EXPECT_GT(underlineRow, strikeRow);
}

}  // namespace
}  // namespace pixolan::platform
