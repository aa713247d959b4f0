// Conversions between the text encodings files arrive in and UTF-8, the program's own.
#pragma once

#include <string>
#include <string_view>

namespace pixolan::platform {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

constexpr bool IsHighSurrogate(char32_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}
constexpr bool IsLowSurrogate(char32_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}

// Appends the UTF-8 form of a code point (which the caller keeps within U+10FFFF).
void AppendUtf8(std::string& out, char32_t c);

// True when the bytes are well-formed UTF-8: no overlong forms, no surrogates, nothing
// above U+10FFFF, no cut sequence.
bool IsValidUtf8(std::string_view bytes);

// UTF-16 code units to UTF-8; a surrogate without its partner becomes `replacement`.
std::string Utf8FromUtf16(std::u16string_view units, char32_t replacement = kReplacementCharacter);

// UTF-16 bytes (little or big endian) as code units; an odd last byte is no character and
// is dropped.
std::u16string Utf16FromBytes(std::string_view bytes, bool bigEndian);

// UTF-16 bytes (little or big endian) to UTF-8; an odd last byte is no character and is
// dropped.
std::string Utf8FromUtf16Bytes(std::string_view bytes, bool bigEndian,
                               char32_t replacement = kReplacementCharacter);

// UTF-32 bytes to UTF-8. Code points above U+10FFFF or in the surrogate range become
// `replacement`; a cut last unit is dropped.
std::string Utf8FromUtf32Bytes(std::string_view bytes, bool bigEndian,
                               char32_t replacement = kReplacementCharacter);

// UTF-7 (RFC 2152) to UTF-8: "+" starts a modified-base64 run of UTF-16 units, a
// character outside the base64 alphabet ends it ("-" is then swallowed), "+-" stands for
// "+". Bytes above 0x7F, which UTF-7 never holds, become `replacement`.
std::string Utf8FromUtf7(std::string_view bytes, char32_t replacement = kReplacementCharacter);

// Windows-1252 to UTF-8. Its five unassigned bytes map to the C1 controls of the same
// value, as the Windows conversion functions do.
std::string Utf8FromWindows1252(std::string_view bytes);

// The code points of a UTF-8 text; a byte that starts no valid sequence stands for the
// Latin-1 character of its value, so different texts never read the same.
std::u32string CodePointsOf(std::string_view text);

// UTF-8 to UTF-16 code units; each byte that starts no valid sequence becomes U+FFFD.
std::u16string Utf16FromUtf8(std::string_view text);

}  // namespace pixolan::platform
