#include "platform/TextRasterizer.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace pixolan::platform {

namespace {

struct TLibraryDeleter {
  void operator()(FT_Library library) const { FT_Done_FreeType(library); }
};
struct TFaceDeleter {
  void operator()(FT_Face face) const { FT_Done_Face(face); }
};
struct TPatternDeleter {
  void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
using TPattern = std::unique_ptr<FcPattern, TPatternDeleter>;

// The next code point of a UTF-8 text; U+FFFD for a broken sequence.
char32_t NextCodePoint(std::string_view text, size_t& at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at++);
  if (lead < 0x80) return lead;
  const int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
  if (extra < 0 || at + size_t(extra) > text.size()) return U'\uFFFD';
  char32_t code = lead & (0x3F >> extra);
  for (int i = 0; i < extra; ++i) {
    if ((byte(at) & 0xC0) != 0x80) return U'\uFFFD';
    code = (code << 6) | (byte(at++) & 0x3F);
  }
  return code;
}

int32_t Ceil26_6(FT_Pos value) {
  return int32_t((value + 63) >> 6);
}

struct TMatch {
  std::string File;
  std::string Family;
  int Index = 0;
  bool Embolden = false;
  bool Slant = false;
};

// The face fontconfig picks for the request, with the substitutions of its configuration.
TMatch MatchFace(const TFontRequest& request) {
  TPattern pattern(FcPatternCreate());
  if (!pattern) throw ETextError("fontconfig cannot create a pattern.");
  FcPatternAddString(pattern.get(), FC_FAMILY,
                     reinterpret_cast<const FcChar8*>(request.Face.c_str()));
  FcPatternAddInteger(pattern.get(), FC_WEIGHT, request.Bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern.get(), FC_SLANT, request.Italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
  FcDefaultSubstitute(pattern.get());
  FcResult result = FcResultNoMatch;
  TPattern match(FcFontMatch(nullptr, pattern.get(), &result));
  FcChar8* file = nullptr;
  if (!match || FcPatternGetString(match.get(), FC_FILE, 0, &file) != FcResultMatch || !file)
    throw ETextError("No font is installed for \"" + request.Face + "\".");
  TMatch found;
  found.File = reinterpret_cast<const char*>(file);
  FcChar8* family = nullptr;
  if (FcPatternGetString(match.get(), FC_FAMILY, 0, &family) == FcResultMatch && family)
    found.Family = reinterpret_cast<const char*>(family);
  FcPatternGetInteger(match.get(), FC_INDEX, 0, &found.Index);
  int weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
  FcPatternGetInteger(match.get(), FC_WEIGHT, 0, &weight);
  FcPatternGetInteger(match.get(), FC_SLANT, 0, &slant);
  // A family without a bold or italic face is drawn bold or slanted by the rasterizer.
  found.Embolden = request.Bold && weight < FC_WEIGHT_DEMIBOLD;
  found.Slant = request.Italic && slant == FC_SLANT_ROMAN;
  return found;
}

}  // namespace

int32_t HeightOfPoints(int32_t points) {
  return -int32_t(std::lround(double(points) * 96.0 / 72.0));
}

TTextBitmap::TTextBitmap(int32_t width, int32_t height, uint32_t color)
    : Width(std::max(width, 0)), Height(std::max(height, 0)) {
  Bgra.resize(size_t(Width) * size_t(Height) * 4);
  for (size_t i = 0; i < Bgra.size(); i += 4) {
    Bgra[i] = uint8_t(color >> 16);
    Bgra[i + 1] = uint8_t(color >> 8);
    Bgra[i + 2] = uint8_t(color);
    Bgra[i + 3] = 255;
  }
}

struct TTextRasterizer::TImpl {
  std::unique_ptr<FT_LibraryRec_, TLibraryDeleter> Library;
  std::unique_ptr<FT_FaceRec_, TFaceDeleter> Face;
  TMatch Match;
  bool Underline = false, StrikeOut = false;
  int32_t Ascent = 0, Descent = 0;
  int32_t UnderlineOffset = 0, UnderlineSize = 1;  // below the baseline
  int32_t StrikeOffset = 0, StrikeSize = 1;        // above the baseline

  FT_GlyphSlot Load(char32_t code, bool render) const {
    FT_Face face = Face.get();
    FT_UInt index = FT_Get_Char_Index(face, FT_ULong(code));
    if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT) != 0)
      throw ETextError("The font \"" + Match.File + "\" cannot load a character.");
    if (Match.Embolden) FT_GlyphSlot_Embolden(face->glyph);
    if (Match.Slant) FT_GlyphSlot_Oblique(face->glyph);
    if (render && FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) != 0)
      throw ETextError("The font \"" + Match.File + "\" cannot draw a character.");
    return face->glyph;
  }
  static int32_t Advance(FT_GlyphSlot glyph) { return int32_t((glyph->advance.x + 32) >> 6); }
};

TTextRasterizer::TTextRasterizer(const TFontRequest& request) : impl_(std::make_unique<TImpl>()) {
  if (request.Height == 0) throw ETextError("A font height of 0 has no size.");
  impl_->Match = MatchFace(request);
  FT_Library library = nullptr;
  if (FT_Init_FreeType(&library) != 0) throw ETextError("FreeType cannot start.");
  impl_->Library.reset(library);
  FT_Face face = nullptr;
  if (FT_New_Face(library, impl_->Match.File.c_str(), impl_->Match.Index, &face) != 0)
    throw ETextError("The font file \"" + impl_->Match.File + "\" cannot be read.");
  impl_->Face.reset(face);
  // A positive height is the cell, ascent + descent; negative the em height.
  FT_UInt pixels = FT_UInt(std::abs(int64_t(request.Height)));
  if (request.Height > 0 && face->ascender - face->descender > 0)
    pixels = FT_UInt(std::max<int64_t>(1, std::lround(double(request.Height) * face->units_per_EM /
                                                      double(face->ascender - face->descender))));
  if (FT_Set_Pixel_Sizes(face, 0, pixels) != 0)
    throw ETextError("The font \"" + impl_->Match.File + "\" has no size " +
                     std::to_string(pixels) + ".");
  impl_->Ascent = Ceil26_6(face->size->metrics.ascender);
  impl_->Descent = Ceil26_6(-face->size->metrics.descender);
  const FT_Fixed scale = face->size->metrics.y_scale;
  impl_->Underline = request.Underline;
  impl_->StrikeOut = request.StrikeOut;
  impl_->UnderlineOffset =
      std::max(1, int32_t(std::lround(-FT_MulFix(face->underline_position, scale) / 64.0)));
  impl_->UnderlineSize =
      std::max(1, int32_t(std::lround(FT_MulFix(face->underline_thickness, scale) / 64.0)));
  const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  if (os2 && os2->yStrikeoutSize > 0) {
    impl_->StrikeOffset = int32_t(std::lround(FT_MulFix(os2->yStrikeoutPosition, scale) / 64.0));
    impl_->StrikeSize =
        std::max(1, int32_t(std::lround(FT_MulFix(os2->yStrikeoutSize, scale) / 64.0)));
  } else {
    impl_->StrikeOffset = impl_->Ascent / 3;
    impl_->StrikeSize = impl_->UnderlineSize;
  }
}

TTextRasterizer::~TTextRasterizer() = default;

const std::string& TTextRasterizer::FontFile() const {
  return impl_->Match.File;
}
const std::string& TTextRasterizer::Family() const {
  return impl_->Match.Family;
}

int32_t TTextRasterizer::TextWidth(std::string_view text) const {
  int64_t width = 0;
  for (size_t at = 0; at < text.size();)
    width += TImpl::Advance(impl_->Load(NextCodePoint(text, at), false));
  return int32_t(std::min<int64_t>(width, INT32_MAX));
}

int32_t TTextRasterizer::TextHeight() const {
  return impl_->Ascent + impl_->Descent;
}

void TTextRasterizer::DrawText(TTextBitmap& bitmap, int32_t x, int32_t y, std::string_view text,
                               uint32_t color, uint32_t background) const {
  const uint8_t fg[3] = {uint8_t(color >> 16), uint8_t(color >> 8), uint8_t(color)};
  const uint8_t bg[3] = {uint8_t(background >> 16), uint8_t(background >> 8), uint8_t(background)};
  // Coverage 0..255 of the pixel (px, py) blends the color over what is there.
  const auto cover = [&](int64_t px, int64_t py, unsigned coverage) {
    if (px < 0 || py < 0 || px >= bitmap.Width || py >= bitmap.Height || coverage == 0) return;
    uint8_t* pixel = bitmap.Bgra.data() + (size_t(py) * size_t(bitmap.Width) + size_t(px)) * 4;
    for (int c = 0; c < 3; ++c)
      pixel[c] = uint8_t((pixel[c] * (255 - coverage) + fg[c] * coverage + 127) / 255);
  };
  const auto fill = [&](int64_t left, int64_t top, int64_t right, int64_t bottom,
                        const uint8_t* rgb) {
    for (int64_t py = std::max<int64_t>(top, 0); py < std::min<int64_t>(bottom, bitmap.Height);
         ++py)
      for (int64_t px = std::max<int64_t>(left, 0); px < std::min<int64_t>(right, bitmap.Width);
           ++px) {
        uint8_t* pixel = bitmap.Bgra.data() + (size_t(py) * size_t(bitmap.Width) + size_t(px)) * 4;
        std::copy(rgb, rgb + 3, pixel);
        pixel[3] = 255;
      }
  };
  const int64_t width = TextWidth(text);
  fill(x, y, x + width, int64_t(y) + TextHeight(), bg);
  const int64_t baseline = int64_t(y) + impl_->Ascent;
  int64_t pen = x;
  for (size_t at = 0; at < text.size();) {
    const FT_GlyphSlot glyph = impl_->Load(NextCodePoint(text, at), true);
    const FT_Bitmap& map = glyph->bitmap;
    for (unsigned row = 0; row < map.rows; ++row)
      for (unsigned col = 0; col < map.width; ++col)
        cover(pen + glyph->bitmap_left + col, baseline - glyph->bitmap_top + row,
              map.buffer[int64_t(row) * map.pitch + col]);
    pen += TImpl::Advance(glyph);
  }
  if (impl_->Underline) {
    const int64_t top = baseline + impl_->UnderlineOffset - impl_->UnderlineSize / 2;
    fill(x, top, x + width, top + impl_->UnderlineSize, fg);
  }
  if (impl_->StrikeOut) {
    const int64_t top = baseline - impl_->StrikeOffset;
    fill(x, top, x + width, top + impl_->StrikeSize, fg);
  }
}

}  // namespace pixolan::platform
