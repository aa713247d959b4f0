#include "platform/TextEncoding.h"

#include <cstdint>

namespace pixolan::platform {

namespace {

void AppendUtf16(std::u16string& out, char32_t c) {
  if (c < 0x10000) {
    out.push_back(char16_t(c));
  } else {
    c -= 0x10000;
    out.push_back(char16_t(0xD800 + (c >> 10)));
    out.push_back(char16_t(0xDC00 + (c & 0x3FF)));
  }
}

// The code point of the valid UTF-8 sequence at bytes[i], and its length; length 0 when
// no valid sequence starts there.
char32_t DecodeUtf8At(std::string_view bytes, size_t i, size_t& length) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const unsigned char b = p[i];
  length = 0;
  if (b < 0x80) {
    length = 1;
    return b;
  }
  size_t n = 0;
  char32_t c = 0, minimum = 0;
  if (b >= 0xC2 && b <= 0xDF) {
    n = 2, c = b & 0x1F, minimum = 0x80;
  } else if (b >= 0xE0 && b <= 0xEF) {
    n = 3, c = b & 0x0F, minimum = 0x800;
  } else if (b >= 0xF0 && b <= 0xF4) {
    n = 4, c = b & 0x07, minimum = 0x10000;
  } else {
    return 0;
  }
  if (i + n > bytes.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    const unsigned char t = p[i + k];
    if ((t & 0xC0) != 0x80) return 0;
    c = c << 6 | (t & 0x3F);
  }
  if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  length = n;
  return c;
}

int Base64Value(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

}  // namespace

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(char(c));
  } else if (c < 0x800) {
    out.push_back(char(0xC0 | (c >> 6)));
    out.push_back(char(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(char(0xE0 | (c >> 12)));
    out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(char(0x80 | (c & 0x3F)));
  } else {
    out.push_back(char(0xF0 | (c >> 18)));
    out.push_back(char(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(char(0x80 | (c & 0x3F)));
  }
}

bool IsValidUtf8(std::string_view bytes) {
  for (size_t i = 0, length = 0; i < bytes.size(); i += length) {
    DecodeUtf8At(bytes, i, length);
    if (length == 0) return false;
  }
  return true;
}

std::string Utf8FromUtf16(std::u16string_view units, char32_t replacement) {
  std::string out;
  out.reserve(units.size());
  for (size_t i = 0; i < units.size(); ++i) {
    char32_t c = units[i];
    if (IsHighSurrogate(c) && i + 1 < units.size() && IsLowSurrogate(units[i + 1])) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
    } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
      c = replacement;
    }
    AppendUtf8(out, c);
  }
  return out;
}

std::u16string Utf16FromBytes(std::string_view bytes, bool bigEndian) {
  std::u16string units;
  units.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto b0 = static_cast<unsigned char>(bytes[i]);
    const auto b1 = static_cast<unsigned char>(bytes[i + 1]);
    units.push_back(bigEndian ? char16_t(b0 << 8 | b1) : char16_t(b1 << 8 | b0));
  }
  return units;
}

std::string Utf8FromUtf16Bytes(std::string_view bytes, bool bigEndian, char32_t replacement) {
  return Utf8FromUtf16(Utf16FromBytes(bytes, bigEndian), replacement);
}

std::string Utf8FromUtf32Bytes(std::string_view bytes, bool bigEndian, char32_t replacement) {
  std::string out;
  out.reserve(bytes.size() / 4);
  for (size_t i = 0; i + 3 < bytes.size(); i += 4) {
    uint32_t c = 0;
    for (size_t k = 0; k < 4; ++k) {
      const auto b = static_cast<unsigned char>(bytes[i + (bigEndian ? k : 3 - k)]);
      c = c << 8 | b;
    }
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = replacement;
    AppendUtf8(out, c);
  }
  return out;
}

std::string Utf8FromUtf7(std::string_view bytes, char32_t replacement) {
  std::string out;
  out.reserve(bytes.size());
  // Units wait here until something that is not a unit follows, so that a surrogate pair
  // split over two runs still pairs up.
  std::u16string units;
  bool inBase64 = false;
  uint32_t bits = 0;
  int bitCount = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (inBase64) {
      if (const int value = Base64Value(c); value >= 0) {
        bits = (bits << 6 | uint32_t(value)) & 0xFFFFFF;
        bitCount += 6;
        if (bitCount >= 16) {
          bitCount -= 16;
          units.push_back(char16_t(bits >> bitCount));
        }
        continue;
      }
      // Leftover bits of a run are padding.
      inBase64 = false;
      if (c == '-') continue;
    } else if (c == '+') {
      if (i + 1 < bytes.size() && bytes[i + 1] == '-') {
        units.push_back(u'+');
        ++i;
      } else {
        inBase64 = true;
        bits = 0;
        bitCount = 0;
      }
      continue;
    }
    if (c < 0x80) {
      units.push_back(char16_t(c));
    } else {
      out += Utf8FromUtf16(units, replacement);
      units.clear();
      AppendUtf8(out, replacement);
    }
  }
  return out + Utf8FromUtf16(units, replacement);
}

std::string Utf8FromWindows1252(std::string_view bytes) {
  static constexpr char16_t kHigh[32] = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  std::string out;
  out.reserve(bytes.size());
  for (const char ch : bytes) {
    const auto b = static_cast<unsigned char>(ch);
    AppendUtf8(out, b >= 0x80 && b < 0xA0 ? char32_t(kHigh[b - 0x80]) : char32_t(b));
  }
  return out;
}

std::u32string CodePointsOf(std::string_view text) {
  std::u32string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    size_t length = 0;
    const char32_t c = DecodeUtf8At(text, i, length);
    if (length == 0) {
      out.push_back(static_cast<unsigned char>(text[i]));
      ++i;
    } else {
      out.push_back(c);
      i += length;
    }
  }
  return out;
}

std::u16string Utf16FromUtf8(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    size_t length = 0;
    const char32_t c = DecodeUtf8At(text, i, length);
    if (length == 0) {
      out.push_back(char16_t(kReplacementCharacter));
      ++i;
    } else {
      AppendUtf16(out, c);
      i += length;
    }
  }
  return out;
}

}  // namespace pixolan::platform
