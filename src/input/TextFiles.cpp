#include "input/TextFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <span>

#include "platform/AsciiCase.h"
#include "platform/AtomicFileWriter.h"
#include "platform/TextEncoding.h"
#include "platform/UniqueFd.h"

namespace pixolan::input {

namespace {

// The extension of the file-name part, with its dot; empty when there is none.
std::string_view ExtensionOf(std::string_view fileName) {
  const size_t slash = fileName.rfind('/');
  const size_t dot = fileName.rfind('.');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return {};
  return fileName.substr(dot);
}

bool IsImageName(std::string_view fileName) {
  const std::string_view ext = ExtensionOf(fileName);
  for (const std::string_view image : {".bmp", ".gif", ".jpg", ".jpeg"})
    if (platform::EqualsIgnoreAsciiCase(ext, image)) return true;
  return false;
}

std::string SystemReason(int error) {
  return std::strerror(error);
}

std::string ReadBytes(const std::string& fileName) {
  // O_NONBLOCK: opening a named pipe must not wait for a writer; regular files ignore it.
  platform::TUniqueFd file(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!file) throw ETextFileError("Cannot read " + fileName + ": " + SystemReason(errno));
  struct stat st {};
  if (::fstat(file.Get(), &st) != 0)
    throw ETextFileError("Cannot read " + fileName + ": " + SystemReason(errno));
  if (!S_ISREG(st.st_mode)) throw ETextFileError("Cannot read " + fileName + ": not a file");
  std::string bytes;
  bytes.reserve(size_t(st.st_size));
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(file.Get(), buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      throw ETextFileError("Cannot read " + fileName + ": " + SystemReason(errno));
    }
    bytes.append(buffer, size_t(n));
  }
  return bytes;
}

bool StartsWith(std::string_view bytes, std::initializer_list<uint8_t> mark) {
  if (bytes.size() < mark.size()) return false;
  size_t i = 0;
  for (const uint8_t b : mark)
    if (static_cast<uint8_t>(bytes[i++]) != b) return false;
  return true;
}

// The 8-bit code page of a Linux system is UTF-8; a file that is no valid UTF-8 comes from
// a Windows system and is read in its usual code page, Windows-1252, as configuration
// files are.
std::string FromSystemCodePage(std::string_view bytes) {
  if (platform::IsValidUtf8(bytes)) return std::string(bytes);
  return platform::Utf8FromWindows1252(bytes);
}

}  // namespace

bool WriteTextFile(std::string_view text, const std::string& fileName, int encoding) {
  if (encoding != kEncodingUtf16 && encoding != kEncodingUtf8)
    throw std::invalid_argument("no text encoding " + std::to_string(encoding));
  if (IsImageName(fileName)) return false;
  std::string bytes;
  if (encoding == kEncodingUtf16) {
    const std::u16string units = platform::Utf16FromUtf8(text);
    bytes.reserve(2 + 2 * units.size());
    bytes += "\xFF\xFE";
    for (const char16_t unit : units) {
      bytes.push_back(char(unit & 0xFF));
      bytes.push_back(char(unit >> 8));
    }
  } else {
    bytes.reserve(3 + text.size());
    bytes.append("\xEF\xBB\xBF").append(text);
  }
  try {
    platform::WriteFileAtomically(
        fileName, std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()),
        {.Link = platform::TLinkAtTarget::WriteThrough});
  } catch (const platform::EFileWriteError& e) {
    throw ETextFileError(e.what());
  }
  return true;
}

std::string ReadTextFile(const std::string& fileName) {
  const std::string bytes = ReadBytes(fileName);
  const std::string_view view = bytes;
  if (bytes.size() < 2) return FromSystemCodePage(view);
  if (StartsWith(view, {0xEF, 0xBB, 0xBF})) return std::string(view.substr(3));
  if (view.starts_with("+/v8")) {
    // The mark is U+FEFF in a base64 run; decoded with the rest, it is the first character.
    std::string text = platform::Utf8FromUtf7(view, U'?');
    if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
    return text;
  }
  if (StartsWith(view, {0xFF, 0xFE, 0x00, 0x00}))
    return platform::Utf8FromUtf32Bytes(view.substr(4), false, U'?');
  if (StartsWith(view, {0x00, 0x00, 0xFE, 0xFF}))
    return platform::Utf8FromUtf32Bytes(view.substr(4), true, U'?');
  if (StartsWith(view, {0xFF, 0xFE}))
    return platform::Utf8FromUtf16Bytes(view.substr(2), false, U'?');
  if (StartsWith(view, {0xFE, 0xFF}))
    return platform::Utf8FromUtf16Bytes(view.substr(2), true, U'?');
  return FromSystemCodePage(view);
}

}  // namespace pixolan::input
