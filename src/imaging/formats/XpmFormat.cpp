#include "imaging/formats/XpmFormat.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "imaging/formats/X11ColorNames.h"
#include "imaging/image/Errors.h"
#include "imaging/image/Imaging.h"
#include "platform/AsciiCase.h"

namespace pixolan::imaging {
namespace {

constexpr char kSignature[] = "/* XPM */";
constexpr int32_t kMaxCharsPerPixel = 8;
// The whole file is read into memory; an XPM of the largest image the engine takes is
// far smaller than this.
constexpr int64_t kMaxFileSize = int64_t(1) << 30;

struct TNamedColor {
  std::string_view Name;
  uint32_t Color;  // AARRGGBB
};

// The engine's own names come first, so "gray" and "green" keep their values here even
// though X11 has other ones.
constexpr TNamedColor kNamedColors[] = {
    {"transparent", 0x00000000}, {"none", 0x00000000},    {"black", 0xFF000000},
    {"blue", 0xFF0000FF},        {"green", 0xFF008000},   {"cyan", 0xFF00FFFF},
    {"red", 0xFFFF0000},         {"magenta", 0xFFFF00FF}, {"yellow", 0xFFFFFF00},
    {"white", 0xFFFFFFFF},       {"gray", 0xFFC0C0C0},    {"silver", 0xFFC0C0C0},
    {"fuchsia", 0xFFFF00FF},     {"dkblue", 0xFF000080},  {"dkgreen", 0xFF008000},
    {"dkcyan", 0xFF008080},      {"dkred", 0xFF800000},   {"dkmagenta", 0xFF800080},
    {"dkyellow", 0xFF808000},    {"maroon", 0xFF800000},  {"olive", 0xFF808000},
    {"navy", 0xFF000080},        {"purple", 0xFF800080},  {"teal", 0xFF008080},
    {"lime", 0xFF00FF00},        {"aqua", 0xFF00FFFF},
};

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The C string literals of the file in order; comments and all other C text are passed
// over.
class TStringScanner {
 public:
  TStringScanner(const char* data, size_t size) : p_(data), end_(data + size) {}

  bool Next(std::string& out) {
    out.clear();
    while (p_ < end_) {
      if (*p_ == '/' && p_ + 1 < end_ && p_[1] == '*') {
        const char* close = Find(p_ + 2, "*/");
        p_ = close ? close + 2 : end_;
      } else if (*p_ == '/' && p_ + 1 < end_ && p_[1] == '/') {
        const char* newline = static_cast<const char*>(std::memchr(p_, '\n', size_t(end_ - p_)));
        p_ = newline ? newline + 1 : end_;
      } else if (*p_ == '"') {
        for (++p_; p_ < end_ && *p_ != '"'; ++p_) {
          if (*p_ == '\\' && p_ + 1 < end_) ++p_;
          out += *p_;
        }
        if (p_ >= end_) RaiseImagingFormat("XPM string is not closed.");
        ++p_;
        return true;
      } else {
        ++p_;
      }
    }
    return false;
  }
  int64_t Left() const { return end_ - p_; }

 private:
  const char* Find(const char* from, std::string_view what) const {
    const auto found = std::search(from, end_, what.begin(), what.end());
    return found == end_ ? nullptr : found;
  }

  const char* p_;
  const char* end_;
};

std::vector<std::string_view> Words(std::string_view text) {
  std::vector<std::string_view> words;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t start = text.find_first_not_of(" \t", pos);
    if (start == std::string_view::npos) break;
    const size_t stop = std::min(text.find_first_of(" \t", start), text.size());
    words.push_back(text.substr(start, stop - start));
    pos = stop;
  }
  return words;
}

// The color text of one color table entry (after its pixel characters): the value of key
// "c", else of "g", "g4" or "m". Values may hold blanks ("light goldenrod").
std::string ColorText(std::string_view definition) {
  static constexpr std::string_view kKeys[] = {"c", "g", "g4", "m", "s"};
  std::array<std::string, 5> values;
  int current = -1;
  for (std::string_view word : Words(definition)) {
    const auto key = std::find(std::begin(kKeys), std::end(kKeys), word);
    if (key != std::end(kKeys) && (current < 0 || !values[size_t(current)].empty())) {
      current = int(key - std::begin(kKeys));
      values[size_t(current)].clear();
      continue;
    }
    if (current < 0)
      RaiseImagingFormat("XPM color entry \"%.40s\" has no key.", std::string(definition).c_str());
    std::string& value = values[size_t(current)];
    if (!value.empty()) value += ' ';
    value += word;
  }
  for (size_t i = 0; i < 4; ++i)
    if (!values[i].empty()) return values[i];
  RaiseImagingFormat("XPM color entry \"%.40s\" has no color.", std::string(definition).c_str());
}

// Pixel characters as a number, for the color lookup.
uint64_t PixelKey(const char* chars, int32_t count) {
  uint64_t key = 0;
  for (int32_t i = 0; i < count; ++i) key = key << 8 | uint8_t(chars[i]);
  return key;
}

std::vector<char> ReadWholeFile(TStream& stream) {
  const int64_t size = stream.Size() - stream.Tell();
  if (size > kMaxFileSize)
    RaiseImagingFormat("XPM file of %lld bytes exceeds the limit of %lld bytes.", (long long)size,
                       (long long)kMaxFileSize);
  std::vector<char> data(static_cast<size_t>(std::max<int64_t>(size, 0)));
  stream.ReadExact(data.data(), int64_t(data.size()), "the XPM file");
  return data;
}

}  // namespace

std::optional<TPixel32> XpmColor(std::string_view text) {
  if (!text.empty() && text[0] == '#') {
    const std::string_view digits = text.substr(1);
    const size_t n = digits.size() / 3;
    if (n < 1 || n > 4 || digits.size() % 3 != 0) return std::nullopt;
    uint32_t channels[3];
    for (size_t c = 0; c < 3; ++c) {
      uint32_t v = 0;
      for (size_t i = 0; i < n; ++i) {
        const int d = HexDigit(digits[c * n + i]);
        if (d < 0) return std::nullopt;
        v = v << 4 | uint32_t(d);
      }
      // One digit is repeated ("#abc" is "#aabbcc"); of longer ones the first two count,
      // as 16-bit X11 colors are cut to 8 bits.
      channels[c] = n == 1 ? v * 17 : v >> (4 * (n - 2));
    }
    return TPixel32{uint8_t(channels[2]), uint8_t(channels[1]), uint8_t(channels[0]), 255};
  }
  const std::string lower = platform::ToLowerAscii(text);
  for (const TNamedColor& named : kNamedColors)
    if (named.Name == lower) return TPixel32::FromColor(named.Color);
  if (const std::optional<uint32_t> rgb = FindX11Color(text))
    return TPixel32::FromColor(0xFF000000 | *rgb);
  return std::nullopt;
}

TXPMFileFormat::TXPMFileFormat() {
  Name = "X Window Pixmap";
  CanRead = true;
  CanWrite = false;
  MultiImage = false;
  AddMasks("*.xpm");
}

bool TXPMFileFormat::TestContent(TIOHandle& handle) {
  const int64_t start = handle.Tell();
  char head[sizeof(kSignature) - 1];
  const int64_t read = handle.Read(head, sizeof(head));
  handle.Seek(start, TSeekOrigin::Begin);
  return read == int64_t(sizeof(head)) && std::memcmp(head, kSignature, sizeof(head)) == 0;
}

bool TXPMFileFormat::ReadImages(TIOHandle& handle, TDynImageDataArray& images, bool) {
  const std::vector<char> file = ReadWholeFile(handle.Stream());
  TStringScanner strings(file.data(), file.size());
  std::string text;
  if (!strings.Next(text)) RaiseImagingFormat("XPM file holds no values string.");

  int64_t values[4] = {};
  const std::vector<std::string_view> words = Words(text);
  for (size_t i = 0; i < 4; ++i) {
    const auto [end, error] =
        i < words.size()
            ? std::from_chars(words[i].data(), words[i].data() + words[i].size(), values[i])
            : std::from_chars_result{nullptr, std::errc::invalid_argument};
    if (error != std::errc() || end != words[i].data() + words[i].size())
      RaiseImagingFormat("Invalid XPM values \"%.60s\".", text.c_str());
  }
  const int64_t width = values[0], height = values[1], colors = values[2], cpp = values[3];
  if (width < 1 || height < 1 || width > INT32_MAX || height > INT32_MAX || colors < 1 || cpp < 1 ||
      cpp > kMaxCharsPerPixel)
    RaiseImagingFormat("Invalid XPM values \"%.60s\".", text.c_str());
  if (width * height > kMaxImagePixels)
    RaiseImagingFormat("XPM image of %lldx%lld pixels exceeds the limit of %lld pixels.",
                       (long long)width, (long long)height, (long long)kMaxImagePixels);
  // Every pixel takes its characters in the file, and every color entry at least its own.
  if (width * cpp * height > strings.Left() || colors * cpp > strings.Left())
    RaiseImagingFormat(
        "XPM file is truncated: %lldx%lld pixels and %lld colors need more than "
        "the %lld bytes present.",
        (long long)width, (long long)height, (long long)colors, (long long)strings.Left());
  const int32_t charsPerPixel = int32_t(cpp);

  std::unordered_map<uint64_t, TPixel32> table;
  for (int64_t i = 0; i < colors; ++i) {
    if (!strings.Next(text))
      RaiseImagingFormat("XPM file ends after %lld of %lld colors.", (long long)i,
                         (long long)colors);
    if (text.size() < size_t(charsPerPixel))
      RaiseImagingFormat("XPM color entry \"%.40s\" is too short.", text.c_str());
    const std::string color = ColorText(std::string_view(text).substr(size_t(charsPerPixel)));
    const std::optional<TPixel32> value = XpmColor(color);
    if (!value) RaiseImagingFormat("Unknown XPM color \"%.60s\".", color.c_str());
    // The first entry of a pixel counts, as a reader that stops at the first match does.
    table.emplace(PixelKey(text.data(), charsPerPixel), *value);
  }

  TImageData image;
  if (!ImageCreateForOverwrite(int32_t(width), int32_t(height), TImageFormatId::A8R8G8B8, image))
    RaiseImagingFormat("Cannot create a %lldx%lld image.", (long long)width, (long long)height);
  auto* out = reinterpret_cast<TPixel32*>(image.bits());
  for (int64_t y = 0; y < height; ++y) {
    if (!strings.Next(text))
      RaiseImagingFormat("XPM file ends after %lld of %lld pixel rows.", (long long)y,
                         (long long)height);
    if (int64_t(text.size()) < width * cpp)
      RaiseImagingFormat("XPM pixel row %lld is too short.", (long long)y);
    for (int64_t x = 0; x < width; ++x) {
      const char* chars = text.data() + x * cpp;
      const auto found = table.find(PixelKey(chars, charsPerPixel));
      if (found == table.end())
        RaiseImagingFormat("XPM pixel \"%.*s\" in row %lld has no color.", charsPerPixel, chars,
                           (long long)y);
      *out++ = found->second;
    }
  }
  images.push_back(std::move(image));
  return true;
}

}  // namespace pixolan::imaging
