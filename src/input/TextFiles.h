// Text files in the encodings the program writes and the byte order marks it reads: the
// file lists of the input list use them.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace pixolan::input {

// Encodings by their code page numbers, as callers name them.
inline constexpr int kEncodingUtf16 = 1200;
inline constexpr int kEncodingUtf8 = 65001;

// A text file that cannot be read or written; the message names the file and the system's
// reason.
class ETextFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Writes the UTF-8 `text` to fileName with a byte order mark: FF FE and UTF-16LE for
// kEncodingUtf16, EF BB BF and the bytes as they are for kEncodingUtf8. False, with
// nothing written, when the name ends in ".bmp", ".gif", ".jpg" or ".jpeg" (any letter
// case): a text must never take the place of an image. The file is replaced atomically,
// so a failed write leaves an existing file as it was; a link at fileName is written
// through. Raises ETextFileError when the file cannot be written and
// std::invalid_argument for another encoding.
bool WriteTextFile(std::string_view text, const std::string& fileName, int encoding);

// The text of a file as UTF-8, without its byte order mark. The first bytes of a file of
// at least two bytes decide, in this order: EF BB BF UTF-8; "+/v8" UTF-7; FF FE 00 00
// UTF-32LE; 00 00 FE FF UTF-32BE; FF FE UTF-16LE; FE FF UTF-16BE. UTF-32 code points
// above U+10FFFF or in the surrogate range, and unpaired UTF-16 surrogates, become "?".
// Anything else is read in the system's 8-bit code page. Raises ETextFileError when the
// file cannot be read or is not a regular file (a named pipe is never opened for
// reading, so it cannot block the program).
std::string ReadTextFile(const std::string& fileName);

}  // namespace pixolan::input
